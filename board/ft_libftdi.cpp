// The driver calls on real FTDI bridges through libftdi1 (over libusb). Each USB device
// is listed as one channel per interface, in the order the USB enumerates them, with the
// description and serial of the device followed by the channel letter, and a location
// identifier made of the bus number, the hub port path and the interface number (1 for A,
// 2 for B), so that a B channel's location is its A channel's plus 1.
//
// Opening a channel claims its USB interface; libftdi detaches the kernel's serial driver
// from that interface first. The user needs read and write access to the USB device node
// (a udev rule), otherwise the open fails with ft_open_permission_e.
#include <libftdi1/ftdi.h>
#include <libusb-1.0/libusb.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "board/ft_driver.h"

namespace {

constexpr int kMaxPorts = 7;

// D2XX channel types by the device's release number.
struct chip_kind_s {
  uint16_t bcd;
  uint32_t type;
  int channels;
  bool hispeed;
};
constexpr chip_kind_s kChipKinds[] = {
    {0x0200, 1, 1, false},  // AM
    {0x0400, 0, 1, false},  // BM
    {0x0500, 4, 2, false},  // FT2232C/D
    {0x0600, 5, 1, false},  // FT232R
    {0x0700, FT_DEVICE_2232H, 2, true},
    {0x0800, 7, 4, true},  // FT4232H
    {0x0900, 8, 1, true},  // FT232H
    {0x1000, 9, 1, false},  // X series
};

struct usb_path_s {
  uint8_t bus;
  int nports;
  uint8_t ports[kMaxPorts];
  uint16_t vid;
  uint16_t pid;
};

struct listed_s {
  usb_path_s path;
  int iface;  // 0 = A, 1 = B, ...
  ft_device_info_s info;
};

struct open_s {
  FT_HANDLE handle;
  ftdi_context *ctx;
  usb_path_s path;
  int iface;
  uint32_t read_timeout_ms;
};

struct state_s {
  std::vector<listed_s> list;
  std::vector<open_s> opened;
  FT_HANDLE next_handle = 1;
  ft_open_failure_e failure = ft_open_ok_e;
  char failure_text[256] = "";
};

state_s &st() {
  static state_s s;
  return s;
}

bool same_path(const usb_path_s &a, const usb_path_s &b) {
  return a.bus == b.bus && a.nports == b.nports && std::memcmp(a.ports, b.ports, a.nports) == 0 &&
         a.vid == b.vid && a.pid == b.pid;
}

bool path_of(libusb_device *dev, usb_path_s *path) {
  libusb_device_descriptor d{};
  if (libusb_get_device_descriptor(dev, &d) != 0) return false;
  path->bus = libusb_get_bus_number(dev);
  const int n = libusb_get_port_numbers(dev, path->ports, kMaxPorts);
  path->nports = n < 0 ? 0 : n;
  path->vid = d.idVendor;
  path->pid = d.idProduct;
  return true;
}

// bus, then up to the last five hub ports, then the interface number, one nibble each.
uint32_t location_of(const usb_path_s &p, int iface) {
  uint32_t v = p.bus;
  const int first = p.nports > 5 ? p.nports - 5 : 0;
  for (int i = first; i < p.nports; ++i) v = (v << 4) | (p.ports[i] & 0xFu);
  return (v << 4) | static_cast<uint32_t>(iface + 1);
}

open_s *find_open(FT_HANDLE h) {
  for (auto &o : st().opened)
    if (o.handle == h) return &o;
  return nullptr;
}

FT_STATUS status_of(int rc) { return rc < 0 ? FT_IO_ERROR : FT_OK; }

void set_failure(ft_open_failure_e f, const char *text) {
  st().failure = f;
  std::snprintf(st().failure_text, sizeof st().failure_text, "%s", text);
}

// ---------------------------------------------------------------------------------------

FT_STATUS lf_list(void *, uint32_t *n) {
  state_s &s = st();
  s.list.clear();
  *n = 0;
  ftdi_context *ctx = ftdi_new();
  if (!ctx) return FT_OK;  // no USB subsystem: no channels
  ftdi_device_list *devs = nullptr;
  const int found = ftdi_usb_find_all(ctx, &devs, 0, 0);
  if (found < 0) {
    ftdi_free(ctx);
    return FT_IO_ERROR;
  }
  for (ftdi_device_list *d = devs; d; d = d->next) {
    usb_path_s path{};
    libusb_device_descriptor desc{};
    if (!path_of(d->dev, &path) || libusb_get_device_descriptor(d->dev, &desc) != 0) continue;
    chip_kind_s kind{desc.bcdDevice, 3, 1, false};
    for (const auto &k : kChipKinds)
      if (k.bcd == desc.bcdDevice) kind = k;
    char manufacturer[128] = "", product[128] = "", serial[128] = "";
    const bool strings = ftdi_usb_get_strings(ctx, d->dev, manufacturer, sizeof manufacturer, product,
                                              sizeof product, serial, sizeof serial) == 0;
    for (int ch = 0; ch < kind.channels; ++ch) {
      listed_s l{};
      l.path = path;
      l.iface = ch;
      l.info.type = kind.type;
      l.info.id = static_cast<uint32_t>(desc.idVendor) << 16 | desc.idProduct;
      l.info.locId = location_of(path, ch);
      l.info.flags = kind.hispeed ? FT_FLAGS_HISPEED : 0;
      const char letter = static_cast<char>('A' + ch);
      // Without access to the device its strings cannot be read; the channel is still
      // listed, so that opening it can say why it fails.
      const char *prod = strings ? product : "FT2232H";
      if (kind.channels > 1) {
        std::snprintf(l.info.description, FT_DESC_LEN, "%.*s %c", static_cast<int>(FT_DESC_LEN - 3), prod, letter);
        if (strings && serial[0])
          std::snprintf(l.info.serial, FT_SERIAL_LEN, "%.*s%c", static_cast<int>(FT_SERIAL_LEN - 2), serial, letter);
      } else {
        std::snprintf(l.info.description, FT_DESC_LEN, "%.*s", static_cast<int>(FT_DESC_LEN - 1), prod);
        std::snprintf(l.info.serial, FT_SERIAL_LEN, "%.*s", static_cast<int>(FT_SERIAL_LEN - 1), serial);
      }
      for (const auto &o : s.opened)
        if (same_path(o.path, path) && o.iface == ch) {
          l.info.handle = o.handle;
          l.info.flags |= FT_FLAGS_OPENED;
        }
      s.list.push_back(l);
    }
  }
  ftdi_list_free(&devs);
  ftdi_free(ctx);
  *n = static_cast<uint32_t>(s.list.size());
  return FT_OK;
}

FT_STATUS lf_detail(void *, uint32_t index, ft_device_info_s *info) {
  if (index >= st().list.size()) return FT_DEVICE_NOT_FOUND;
  *info = st().list[index].info;
  return FT_OK;
}

FT_STATUS lf_open(void *, uint32_t index, FT_HANDLE *handle) {
  state_s &s = st();
  set_failure(ft_open_ok_e, "");
  if (index >= s.list.size()) {
    set_failure(ft_open_not_found_e, "no FTDI channel with that index is present");
    return FT_DEVICE_NOT_FOUND;
  }
  const listed_s l = s.list[index];
  ftdi_context *ctx = ftdi_new();
  if (!ctx) {
    set_failure(ft_open_other_e, "libusb could not be initialised");
    return FT_DEVICE_NOT_OPENED;
  }
  ftdi_set_interface(ctx, static_cast<ftdi_interface>(INTERFACE_A + l.iface));
  ftdi_device_list *devs = nullptr;
  libusb_device *dev = nullptr;
  if (ftdi_usb_find_all(ctx, &devs, l.path.vid, l.path.pid) > 0)
    for (ftdi_device_list *d = devs; d && !dev; d = d->next) {
      usb_path_s p{};
      if (path_of(d->dev, &p) && same_path(p, l.path)) dev = d->dev;
    }
  if (!dev) {
    ftdi_list_free(&devs);
    ftdi_free(ctx);
    set_failure(ft_open_not_found_e, "the board is no longer connected");
    return FT_DEVICE_NOT_FOUND;
  }
  // libftdi reports "unable to open device" for every open failure; libusb tells a
  // missing permission apart.
  libusb_device_handle *probe = nullptr;
  const int probe_rc = libusb_open(dev, &probe);
  if (probe) libusb_close(probe);
  if (probe_rc == LIBUSB_ERROR_ACCESS) {
    ftdi_list_free(&devs);
    ftdi_free(ctx);
    set_failure(ft_open_permission_e, "permission denied on the USB device");
    return FT_DEVICE_NOT_OPENED;
  }
  const int rc = ftdi_usb_open_dev(ctx, dev);
  ftdi_list_free(&devs);
  if (rc < 0) {
    char text[256];
    std::snprintf(text, sizeof text, "%s", ftdi_get_error_string(ctx));
    ftdi_free(ctx);
    if (rc == -5 || rc == -11)
      set_failure(ft_open_claimed_e, text);
    else if (probe_rc == LIBUSB_ERROR_NO_DEVICE)
      set_failure(ft_open_not_found_e, text);
    else
      set_failure(ft_open_other_e, text);
    return FT_DEVICE_NOT_OPENED;
  }
  open_s o{};
  o.handle = s.next_handle++;
  if (s.next_handle == 0) s.next_handle = 1;
  o.ctx = ctx;
  o.path = l.path;
  o.iface = l.iface;
  o.read_timeout_ms = 1000;
  s.opened.push_back(o);
  s.list[index].info.handle = o.handle;
  s.list[index].info.flags |= FT_FLAGS_OPENED;
  *handle = o.handle;
  return FT_OK;
}

FT_STATUS lf_reset(void *, FT_HANDLE h) {
  open_s *o = find_open(h);
  return o ? status_of(ftdi_usb_reset(o->ctx)) : FT_INVALID_HANDLE;
}

FT_STATUS lf_usb_parameters(void *, FT_HANDLE h, uint32_t in, uint32_t out) {
  open_s *o = find_open(h);
  if (!o) return FT_INVALID_HANDLE;
  if (in == 0 || out == 0) return FT_INVALID_PARAMETER;
  return status_of(ftdi_read_data_set_chunksize(o->ctx, in)) |
         status_of(ftdi_write_data_set_chunksize(o->ctx, out));
}

FT_STATUS lf_purge(void *, FT_HANDLE h, uint32_t mask) {
  open_s *o = find_open(h);
  if (!o) return FT_INVALID_HANDLE;
  FT_STATUS r = FT_OK;
  if (mask & FT_PURGE_RX) r |= status_of(ftdi_tciflush(o->ctx));
  if (mask & FT_PURGE_TX) r |= status_of(ftdi_tcoflush(o->ctx));
  return r;
}

FT_STATUS lf_chars(void *, FT_HANDLE h, uint8_t ev, uint8_t ev_en, uint8_t err, uint8_t err_en) {
  open_s *o = find_open(h);
  if (!o) return FT_INVALID_HANDLE;
  return status_of(ftdi_set_event_char(o->ctx, ev, ev_en)) | status_of(ftdi_set_error_char(o->ctx, err, err_en));
}

FT_STATUS lf_timeouts(void *, FT_HANDLE h, uint32_t read_ms, uint32_t write_ms) {
  open_s *o = find_open(h);
  if (!o) return FT_INVALID_HANDLE;
  o->read_timeout_ms = read_ms;
  o->ctx->usb_read_timeout = static_cast<int>(read_ms ? read_ms : 1);
  o->ctx->usb_write_timeout = static_cast<int>(write_ms ? write_ms : 1);
  return FT_OK;
}

FT_STATUS lf_latency(void *, FT_HANDLE h, uint8_t ms) {
  open_s *o = find_open(h);
  if (!o) return FT_INVALID_HANDLE;
  if (ms == 0) return FT_INVALID_PARAMETER;
  return status_of(ftdi_set_latency_timer(o->ctx, ms));
}

FT_STATUS lf_bit_mode(void *, FT_HANDLE h, uint8_t mask, uint8_t mode) {
  open_s *o = find_open(h);
  return o ? status_of(ftdi_set_bitmode(o->ctx, mask, mode)) : FT_INVALID_HANDLE;
}

FT_STATUS lf_write(void *, FT_HANDLE h, const uint8_t *bytes, uint32_t n, uint32_t *written) {
  open_s *o = find_open(h);
  if (!o) return FT_INVALID_HANDLE;
  if (n == 0) return FT_OK;
  const int rc = ftdi_write_data(o->ctx, bytes, static_cast<int>(n));
  if (rc < 0) return FT_IO_ERROR;
  *written = static_cast<uint32_t>(rc);
  return FT_OK;
}

// Reads until n bytes have come or the read time-out has passed; fewer bytes than asked
// is not an error for the driver (the caller compares the count).
FT_STATUS lf_read(void *, FT_HANDLE h, uint8_t *bytes, uint32_t n, uint32_t *got) {
  open_s *o = find_open(h);
  if (!o) return FT_INVALID_HANDLE;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(o->read_timeout_ms);
  while (*got < n) {
    const int rc = ftdi_read_data(o->ctx, bytes + *got, static_cast<int>(n - *got));
    if (rc < 0) return FT_IO_ERROR;
    *got += static_cast<uint32_t>(rc);
    if (*got < n && std::chrono::steady_clock::now() >= deadline) break;
    if (rc == 0) {
      timespec ts{0, 200000};  // the bridge sends its status every latency period
      nanosleep(&ts, nullptr);
    }
  }
  return FT_OK;
}

FT_STATUS lf_close(void *, FT_HANDLE h) {
  state_s &s = st();
  for (size_t i = 0; i < s.opened.size(); ++i)
    if (s.opened[i].handle == h) {
      // The handle is gone afterwards even when the device was unplugged and the close
      // of the USB interface fails.
      ftdi_usb_close(s.opened[i].ctx);
      ftdi_free(s.opened[i].ctx);
      for (auto &l : s.list)
        if (l.info.handle == h) {
          l.info.handle = 0;
          l.info.flags &= ~FT_FLAGS_OPENED;
        }
      s.opened.erase(s.opened.begin() + static_cast<long>(i));
      return FT_OK;
    }
  return FT_INVALID_HANDLE;
}

void lf_sleep(void *, uint32_t ms) {
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

ft_open_failure_e lf_failure(void *, char *text, size_t len) {
  if (text && len) std::snprintf(text, len, "%s", st().failure_text);
  return st().failure;
}

const ft_backend_s kLibftdi = {
    "libftdi",  nullptr,       lf_list,   lf_detail,   lf_open,    lf_reset,
    lf_usb_parameters,         lf_purge,  lf_chars,    lf_timeouts, lf_latency,
    lf_bit_mode, lf_write,     lf_read,   lf_close,    lf_sleep,   lf_failure,
};

}  // namespace

const ft_backend_s *ft_libftdi_backend() { return &kLibftdi; }
