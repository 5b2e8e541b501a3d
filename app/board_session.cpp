#include "app/board_session.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "board/ft_driver.h"
#include "board/kxemu.h"

namespace {

bool fail(board_session_s *s, board_session_failure_e why, const std::string &text, std::string *err) {
  *err = text;
  board_session_close(s);
  s->failure = why;
  return false;
}

// A whole string of digits of the base (10 or 16) that fits 32 bits.
bool parse_u32(const std::string &t, int base, uint32_t *v) {
  const char *set = base == 16 ? "0123456789abcdefABCDEF" : "0123456789";
  if (t.empty() || t.size() > 10 || t.find_first_not_of(set) != std::string::npos) return false;
  const unsigned long long n = std::strtoull(t.c_str(), nullptr, base);
  if (n > 0xFFFFFFFFull) return false;
  *v = static_cast<uint32_t>(n);
  return true;
}

// What a user can do about a board that would not open, from the driver's reason.
std::string open_hint() {
  char why[256] = "";
  switch (ft_open_failure(why, sizeof why)) {
    case ft_open_permission_e:
      return "permission denied on the board's USB device: install the udev rule for the board "
             "(see the README) and plug the board in again, or run as root";
    case ft_open_claimed_e:
      return std::string("the board's USB interface is claimed by another driver or program (") + why +
             "): close the program that uses the board";
    case ft_open_not_found_e:
      return "the board is no longer on the USB: check its cable";
    default:
      return why[0] ? std::string(why) : "";
  }
}

// The driver: emulated boards when asked on the command line or in the environment, the
// emulator the program installed itself, else libftdi; then the USB trace.
bool set_up_driver(const board_session_opts_s &opts, board_session_s *s, std::string *err) {
  const char *env = std::getenv("KOVA_EMULATED_BOARD");
  const bool env_devices = env && *env;
  if (opts.emulator || env_devices) {
    kxemu_config_s cfg{};
    const char *env_state = std::getenv("KOVA_EMULATED_BOARD_STATE");
    const std::string state = !opts.emulator_state.empty() ? opts.emulator_state : env_state ? env_state : "";
    if (state.size() >= sizeof cfg.state_path)
      return fail(s, board_session_bad_option_e, "emulator state file name too long", err);
    std::snprintf(cfg.state_path, sizeof cfg.state_path, "%s", state.c_str());
    const bool from_option = opts.emulator && !opts.emulator_devices.empty();
    const std::string devices = from_option ? opts.emulator_devices : env_devices ? env : "40089";
    char text[1200];
    const char *faults = std::getenv("KOVA_EMULATED_BOARD_FAULT");
    if (faults && *faults) {
      if (!kxemu_faults_parse(faults, &cfg.faults, text, sizeof text))
        return fail(s, board_session_bad_option_e, std::string("KOVA_EMULATED_BOARD_FAULT: ") + text, err);
      cfg.faults_on = true;
    }
    if (!kxemu_config_parse(devices.c_str(), &cfg, text, sizeof text))
      return fail(s, board_session_bad_option_e,
                  std::string(from_option ? "--emulator" : "KOVA_EMULATED_BOARD") + ": " + text, err);
    if (!kxemu_install(&cfg, text, sizeof text)) return fail(s, board_session_board_e, text, err);
    s->emulator_installed = true;
    s->emulator_state_kept = !state.empty();
  } else if (!kxemu_active()) {
    ft_backend_use(ft_libftdi_backend());
    s->libftdi_installed = true;
  }
  if (!opts.trace.empty()) {
    if (!ft_trace_open(opts.trace.c_str()))
      return fail(s, board_session_bad_option_e, "--usb-trace: cannot create " + opts.trace + ": " + std::strerror(errno),
                  err);
    s->trace_opened = true;
  } else if (ft_trace_env_failed()) {
    const char *path = std::getenv("KOVA_USB_TRACE");
    return fail(s, board_session_bad_option_e, std::string("KOVA_USB_TRACE: cannot create ") + (path ? path : ""), err);
  }
  return true;
}

}  // namespace

std::string board_session_serial(uint32_t channel) {
  char serial[FT_SERIAL_LEN] = "";
  FT_GetDeviceInfoDetail(channel, nullptr, nullptr, nullptr, nullptr, serial, nullptr, nullptr);
  return serial;
}

std::string board_session_status_text(uint32_t st) {
  switch (st) {
    case FT_INVALID_HANDLE: return "driver status 1, invalid handle";
    case FT_DEVICE_NOT_FOUND: return "driver status 2, device not found";
    case FT_DEVICE_NOT_OPENED: return "driver status 3, device not opened";
    case FT_IO_ERROR: return "driver status 4, I/O error: the board was unplugged or does not answer";
    case FT_INVALID_PARAMETER: return "driver status 6, invalid parameter";
    case FT_OTHER_ERROR: return "driver status 18, other error";
    default: return "driver status " + std::to_string(st);
  }
}

std::string board_session_failure_text() {
  const std::string transfer = kxKovaIo_TransferError();
  return board_session_status_text(kxKovaIo_UsbError()) + (transfer.empty() ? "" : "; " + transfer);
}

int32_t board_session_find(const kxKovaIo_BoardListS &list, const std::string &sel) {
  if (sel.empty()) return list.count ? 0 : -1;
  uint32_t v = 0;
  const bool hex = sel.size() > 2 && sel[0] == '0' && (sel[1] == 'x' || sel[1] == 'X');
  const bool dec = !hex && parse_u32(sel, 10, &v);
  if (dec && v < list.count) return static_cast<int32_t>(v);
  for (uint32_t k = 0; k < list.count; ++k) {
    const std::string s = board_session_serial(list.boardInfo[k].chanA);
    if (!s.empty() && (s == sel || s == sel + "A")) return static_cast<int32_t>(k);
  }
  if (dec || (hex && sel.size() <= 10 && parse_u32(sel.substr(2), 16, &v)))
    for (uint32_t k = 0; k < list.count; ++k)
      if (list.boardInfo[k].locIdA == v) return static_cast<int32_t>(k);
  return -1;
}

bool board_session_list(const board_session_opts_s &opts, board_session_s *s, kxKovaIo_BoardListS *list,
                        std::string *err) {
  *s = board_session_s{};
  if (!set_up_driver(opts, s, err)) return false;
  auto log = std::make_unique<kxKovaIo_UsbLogS>();
  kxKovaIo_UsbLogOpen(log.get());
  kxKovaIo_MessagesClear();
  kxKovaIo_TransferErrorSet("");
  const uint32_t failed = kxKovaIo_BoardListRefresh(list, nullptr, log.get());
  if (!opts.usb_log.empty() && !kxKovaIo_UsbLogSave(log.get(), opts.usb_log.c_str()))
    return fail(s, board_session_bad_option_e, "--usb-log: cannot write " + opts.usb_log + ": " + std::strerror(errno),
                err);
  if (failed) {
    char text[600];
    if (ft_backend_env_error(text, sizeof text)) return fail(s, board_session_board_e, text, err);
    return fail(s, board_session_board_e,
                "the board query failed (" + board_session_status_text(kxKovaIo_UsbError()) + ")", err);
  }
  return true;
}

bool board_session_open(const board_session_opts_s &opts, board_session_s *s, std::string *err) {
  auto list = std::make_unique<kxKovaIo_BoardListS>();
  if (!board_session_list(opts, s, list.get(), err)) return false;
  if (list->count == 0)
    return fail(s, board_session_board_e,
                "no evaluation board found: connect the board's USB cable (kovacfg board list shows the boards found)",
                err);
  const int32_t k = board_session_find(*list, opts.board);
  if (k < 0)
    return fail(s, board_session_board_e,
                "--board: no evaluation board '" + opts.board + "' (" + std::to_string(list->count) +
                    " listed): kovacfg board list shows them",
                err);
  const kxKovaIo_BoardEntryS &entry = list->boardInfo[k];
  const std::string which = "board " + std::to_string(k) + " (" + entry.descA + ")";
  if (entry.chanB == KXKOVAIO_NO_CHANNEL) return fail(s, board_session_board_e, which + " has no channel B", err);
  if (kxKovaIo_EvalBoardOpen(entry.chanA, entry.chanB, &s->handle)) {
    const uint32_t st = kxKovaIo_UsbError();
    const std::string hint = open_hint();
    return fail(s, board_session_board_e,
                "cannot open " + which + " (" + board_session_status_text(st) + ")" + (hint.empty() ? "" : ": " + hint),
                err);
  }
  s->board_index = k;
  if (kxkovaio_SelectFtdi2Dut(&s->handle) != FT_OK)
    return fail(s, board_session_board_e, "cannot route the SPI bus to the chip", err);
  if (opts.read_id) {
    uint8_t id2 = 0;
    if (kxKovaIo_DutRegRead(&s->handle, 0x031, 1, &id2))
      return fail(s, board_session_board_e, "Unable to Read Device Part Number (" + board_session_failure_text() + ").",
                  err);
    s->product_index = id2 >> 4;
    s->revision = id2 & 0x0F;
  }
  return true;
}

bool board_session_close(board_session_s *s, std::string *err) {
  std::string first;
  if (kxKovaIo_EvalBoardClose(&s->handle) && s->board_index >= 0)
    first = "closing the board failed (" + board_session_status_text(kxKovaIo_UsbError()) + ")";
  s->handle = kxKovaIo_HandleS{};
  s->board_index = -1;
  if (s->emulator_installed) {
    // The state is saved once more and the boards released; a save that failed on the way
    // (a full disk) means that what was written was not kept.
    char text[1200];
    if (!kxemu_remove(text, sizeof text) && first.empty()) first = text;
  }
  s->emulator_installed = false;
  s->emulator_state_kept = false;
  if (s->libftdi_installed) ft_backend_use(nullptr);
  s->libftdi_installed = false;
  if (s->trace_opened) ft_trace_close();
  s->trace_opened = false;
  char trace[1200];
  if (ft_trace_failed(trace, sizeof trace) && first.empty()) first = trace;
  if (err) *err = first;
  return first.empty();
}

void board_session_close(board_session_s *s) { board_session_close(s, nullptr); }
