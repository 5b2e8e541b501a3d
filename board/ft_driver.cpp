// The driver seam: argument checks shared by every backend, the choice of backend, the
// USB trace and the wait.
#include "board/ft_driver.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <ctime>
#include <initializer_list>

#include "board/kxemu.h"

namespace {

// ---------------------------------------------------------------------------------------
// Backend that answers when the environment asked for an emulator that could not be set
// up: no channels, and the list call reports the failure.

FT_STATUS null_list(void *, uint32_t *n) {
  *n = 0;
  return FT_OTHER_ERROR;
}
FT_STATUS null_detail(void *, uint32_t, ft_device_info_s *) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS null_open(void *, uint32_t, FT_HANDLE *) { return FT_DEVICE_NOT_FOUND; }
FT_STATUS null_h(void *, FT_HANDLE) { return FT_INVALID_HANDLE; }
FT_STATUS null_usb(void *, FT_HANDLE, uint32_t, uint32_t) { return FT_INVALID_HANDLE; }
FT_STATUS null_purge(void *, FT_HANDLE, uint32_t) { return FT_INVALID_HANDLE; }
FT_STATUS null_chars(void *, FT_HANDLE, uint8_t, uint8_t, uint8_t, uint8_t) { return FT_INVALID_HANDLE; }
FT_STATUS null_lat(void *, FT_HANDLE, uint8_t) { return FT_INVALID_HANDLE; }
FT_STATUS null_bits(void *, FT_HANDLE, uint8_t, uint8_t) { return FT_INVALID_HANDLE; }
FT_STATUS null_write(void *, FT_HANDLE, const uint8_t *, uint32_t, uint32_t *) { return FT_INVALID_HANDLE; }
FT_STATUS null_read(void *, FT_HANDLE, uint8_t *, uint32_t, uint32_t *) { return FT_INVALID_HANDLE; }

void real_sleep(void *, uint32_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

ft_open_failure_e null_failure(void *, char *text, size_t len) {
  if (text && len) std::snprintf(text, len, "the emulated board could not be set up");
  return ft_open_not_found_e;
}

const ft_backend_s null_backend = {
    "none",      nullptr,    null_list,  null_detail, null_open,  null_h,     null_usb,
    null_purge,  null_chars, null_usb,   null_lat,    null_bits,  null_write, null_read,
    null_h,      real_sleep, null_failure,
};

// ---------------------------------------------------------------------------------------
// Backend choice.

const ft_backend_s *g_backend = nullptr;
bool g_env_failed = false;
char g_env_error[512];

void choose_from_environment() {
  const char *emu = std::getenv("KOVA_EMULATED_BOARD");
  if (emu && *emu) {
    g_env_failed = false;
    g_env_error[0] = 0;
    // kxemu_install_from_env installs the emulator through ft_backend_use.
    if (!kxemu_install_from_env(g_env_error, sizeof g_env_error)) {
      g_env_failed = true;
      g_backend = &null_backend;
    }
    return;
  }
  g_backend = ft_libftdi_backend();
}

const ft_backend_s *backend() {
  if (!g_backend) choose_from_environment();
  return g_backend;
}

// ---------------------------------------------------------------------------------------
// USB trace.

FILE *g_trace = nullptr;
std::string g_trace_path;
int g_trace_errno = 0;  // the first failed write of the trace, kept until it is reported
bool g_trace_env_checked = false;
bool g_trace_env_failed = false;

struct letter_s {
  FT_HANDLE handle;
  char letter;
};
constexpr int kLetterSlots = 64;
letter_s g_letters[kLetterSlots];

void trace_env() {
  if (g_trace_env_checked) return;
  g_trace_env_checked = true;
  const char *path = std::getenv("KOVA_USB_TRACE");
  if (!path || !*path || g_trace) return;
  g_trace = std::fopen(path, "w");
  g_trace_env_failed = g_trace == nullptr;
  g_trace_path = path;
}

char letter_of(FT_HANDLE h) {
  for (const auto &l : g_letters)
    if (l.handle == h) return l.letter;
  return '?';
}

void letter_set(FT_HANDLE h, char letter) {
  for (auto &l : g_letters)
    if (l.handle == 0 || l.handle == h) {
      l = {h, letter};
      return;
    }
}

void letter_clear(FT_HANDLE h) {
  for (auto &l : g_letters)
    if (l.handle == h) l = {0, 0};
}

// A channel's letter from its listing: the description or serial ends in A or B.
char channel_letter(const ft_device_info_s &info) {
  for (const char *s : {info.description, info.serial}) {
    const size_t n = std::strlen(s);
    if (n && (s[n - 1] == 'A' || s[n - 1] == 'B')) return s[n - 1];
  }
  return '?';
}

void trace_bytes(FT_HANDLE h, char dir, const uint8_t *bytes, uint32_t n) {
  trace_env();
  if (!g_trace) return;
  std::fprintf(g_trace, "%c %c", letter_of(h), dir);
  for (uint32_t i = 0; i < n; ++i) std::fprintf(g_trace, " %02X", bytes[i]);
  std::fputc('\n', g_trace);
  if (std::fflush(g_trace) != 0 && !g_trace_errno) g_trace_errno = errno ? errno : EIO;
}

}  // namespace

void ft_backend_use(const ft_backend_s *b) {
  g_backend = b;
  if (b) g_env_failed = false;
}

const ft_backend_s *ft_backend_active() { return backend(); }

bool ft_backend_env_error(char *text, size_t len) {
  backend();
  if (g_env_failed && text && len) std::snprintf(text, len, "%s", g_env_error);
  return g_env_failed;
}

ft_open_failure_e ft_open_failure(char *text, size_t len) {
  const ft_backend_s *b = backend();
  if (text && len) text[0] = 0;
  return b->open_failure ? b->open_failure(b->ctx, text, len) : ft_open_other_e;
}

void ft_sleep_ms(uint32_t ms) {
  const ft_backend_s *b = backend();
  if (b->sleep_ms)
    b->sleep_ms(b->ctx, ms);
  else
    real_sleep(nullptr, ms);
}

bool ft_trace_open(const char *path) {
  g_trace_env_checked = true;
  g_trace_env_failed = false;
  ft_trace_close();
  if (!path) return false;
  g_trace = std::fopen(path, "w");
  g_trace_path = path;
  return g_trace != nullptr;
}

void ft_trace_close() {
  if (g_trace && std::fclose(g_trace) != 0 && !g_trace_errno) g_trace_errno = errno ? errno : EIO;
  g_trace = nullptr;
}

bool ft_trace_failed(char *text, size_t len) {
  if (g_trace && std::fflush(g_trace) != 0 && !g_trace_errno) g_trace_errno = errno ? errno : EIO;
  if (!g_trace_errno) return false;
  if (text && len)
    std::snprintf(text, len, "the USB trace %s could not be written: %s", g_trace_path.c_str(),
                  std::strerror(g_trace_errno));
  g_trace_errno = 0;
  return true;
}

bool ft_trace_env_failed() {
  trace_env();
  return g_trace_env_failed;
}

// ---------------------------------------------------------------------------------------
// The driver calls.

FT_STATUS FT_CreateDeviceInfoList(uint32_t *numDevs) {
  if (!numDevs) return FT_INVALID_PARAMETER;
  *numDevs = 0;
  const ft_backend_s *b = backend();
  return b->create_device_info_list(b->ctx, numDevs);
}

FT_STATUS FT_GetDeviceInfoDetail(uint32_t index, uint32_t *flags, uint32_t *type, uint32_t *id,
                                 uint32_t *locId, char *serialNumber, char *description,
                                 FT_HANDLE *handle) {
  const ft_backend_s *b = backend();
  ft_device_info_s info{};
  const FT_STATUS st = b->get_device_info_detail(b->ctx, index, &info);
  if (st != FT_OK) return st;
  info.serial[FT_SERIAL_LEN - 1] = 0;
  info.description[FT_DESC_LEN - 1] = 0;
  if (flags) *flags = info.flags;
  if (type) *type = info.type;
  if (id) *id = info.id;
  if (locId) *locId = info.locId;
  if (serialNumber) std::memcpy(serialNumber, info.serial, FT_SERIAL_LEN);
  if (description) std::memcpy(description, info.description, FT_DESC_LEN);
  if (handle) *handle = info.handle;
  return FT_OK;
}

FT_STATUS FT_Open(int32_t deviceNumber, FT_HANDLE *handle) {
  if (!handle) return FT_INVALID_PARAMETER;
  *handle = 0;
  if (deviceNumber < 0) return FT_DEVICE_NOT_FOUND;
  const ft_backend_s *b = backend();
  const FT_STATUS st = b->open(b->ctx, static_cast<uint32_t>(deviceNumber), handle);
  if (st == FT_OK && *handle) {
    ft_device_info_s info{};
    char letter = '?';
    if (b->get_device_info_detail(b->ctx, static_cast<uint32_t>(deviceNumber), &info) == FT_OK) {
      info.serial[FT_SERIAL_LEN - 1] = 0;
      info.description[FT_DESC_LEN - 1] = 0;
      letter = channel_letter(info);
    }
    letter_set(*handle, letter);
  }
  return st;
}

FT_STATUS FT_ResetDevice(FT_HANDLE h) {
  if (!h) return FT_INVALID_HANDLE;
  const ft_backend_s *b = backend();
  return b->reset_device(b->ctx, h);
}

FT_STATUS FT_SetUSBParameters(FT_HANDLE h, uint32_t in, uint32_t out) {
  if (!h) return FT_INVALID_HANDLE;
  const ft_backend_s *b = backend();
  return b->set_usb_parameters(b->ctx, h, in, out);
}

FT_STATUS FT_Purge(FT_HANDLE h, uint32_t mask) {
  if (!h) return FT_INVALID_HANDLE;
  const ft_backend_s *b = backend();
  return b->purge(b->ctx, h, mask);
}

FT_STATUS FT_SetChars(FT_HANDLE h, uint8_t ev, uint8_t ev_en, uint8_t err, uint8_t err_en) {
  if (!h) return FT_INVALID_HANDLE;
  const ft_backend_s *b = backend();
  return b->set_chars(b->ctx, h, ev, ev_en, err, err_en);
}

FT_STATUS FT_SetTimeouts(FT_HANDLE h, uint32_t read_ms, uint32_t write_ms) {
  if (!h) return FT_INVALID_HANDLE;
  const ft_backend_s *b = backend();
  return b->set_timeouts(b->ctx, h, read_ms, write_ms);
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, uint8_t ms) {
  if (!h) return FT_INVALID_HANDLE;
  const ft_backend_s *b = backend();
  return b->set_latency_timer(b->ctx, h, ms);
}

FT_STATUS FT_SetBitMode(FT_HANDLE h, uint8_t mask, uint8_t mode) {
  if (!h) return FT_INVALID_HANDLE;
  const ft_backend_s *b = backend();
  return b->set_bit_mode(b->ctx, h, mask, mode);
}

FT_STATUS FT_Write(FT_HANDLE h, const void *buffer, uint32_t n, uint32_t *written) {
  if (written) *written = 0;
  if (!h) return FT_INVALID_HANDLE;
  if (!buffer || !written) return FT_INVALID_PARAMETER;
  const ft_backend_s *b = backend();
  const auto *bytes = static_cast<const uint8_t *>(buffer);
  const FT_STATUS st = b->write(b->ctx, h, bytes, n, written);
  if (*written > n) *written = n;
  trace_bytes(h, 'W', bytes, *written);
  return st;
}

FT_STATUS FT_Read(FT_HANDLE h, void *buffer, uint32_t n, uint32_t *got) {
  if (got) *got = 0;
  if (!h) return FT_INVALID_HANDLE;
  if (!buffer || !got) return FT_INVALID_PARAMETER;
  const ft_backend_s *b = backend();
  auto *bytes = static_cast<uint8_t *>(buffer);
  const FT_STATUS st = b->read(b->ctx, h, bytes, n, got);
  if (*got > n) *got = n;
  trace_bytes(h, 'R', bytes, *got);
  return st;
}

FT_STATUS FT_Close(FT_HANDLE h) {
  if (!h) return FT_INVALID_HANDLE;
  const ft_backend_s *b = backend();
  const FT_STATUS st = b->close(b->ctx, h);
  if (st == FT_OK) letter_clear(h);
  return st;
}
