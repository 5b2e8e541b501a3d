// kovacfg board: the evaluation boards on the USB (or emulated ones), and direct access to
// a chip's registers, its EEPROM and the board EEPROM.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/board_session.h"
#include "board/kxkovaio.h"
#include "cli/commands.h"

namespace {

enum target_e { target_registers_e, target_eeprom_e, target_board_eeprom_e };

struct board_options_s {
  CLI::Option *emulator = nullptr;
  std::string emulator_devices;
  std::string board;
  std::string trace;
  std::string usb_log;
  bool eeprom = false;
  bool board_eeprom = false;
  uint32_t page_size = 32;
  std::string addr, count;
  std::vector<std::string> bytes;
};

// ---------------------------------------------------------------------------------------
// Output.

void print_board_messages() {
  kxKovaIo_MessageS m;
  while (kxKovaIo_MessageGet(&m)) std::fprintf(stderr, "kovacfg: %s: %s\n", m.title, m.text);
}

// The board could not be reached or read, or refused a transfer: exit status 4, as in every
// command; a failure after the transfers (the emulated board's state not saved) is 1.
constexpr int kExitUnreachable = 4;
int board_failure(const std::string &message, int status = kExitUnreachable) {
  print_board_messages();
  std::fprintf(stderr, "kovacfg: error: %s\n", message.c_str());
  return status;
}

// ---------------------------------------------------------------------------------------
// Arguments.

bool parse_hex(const std::string &text, uint32_t max, uint32_t *value) {
  std::string t = text;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
  if (t.empty() || t.size() > 8 || t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
  const unsigned long v = std::strtoul(t.c_str(), nullptr, 16);
  if (v > max) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

bool parse_dec(const std::string &text, uint32_t max, uint32_t *value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
  if (v > max) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

target_e target_of(const board_options_s &o) {
  return o.eeprom ? target_eeprom_e : o.board_eeprom ? target_board_eeprom_e : target_registers_e;
}

uint32_t space_of(target_e t) { return t == target_registers_e ? 0x800 : 0x10000; }

// ---------------------------------------------------------------------------------------
// Driver, list and board.

board_session_opts_s session_opts(const board_options_s &o) {
  board_session_opts_s so;
  so.emulator = o.emulator && o.emulator->count() > 0;
  so.emulator_devices = o.emulator_devices;
  so.board = o.board;
  so.trace = o.trace;
  so.usb_log = o.usb_log;
  so.read_id = false;  // raw access: no transfers beyond the ones asked for
  return so;
}

int session_failure(const board_session_s &s, const std::string &err) {
  return s.failure == board_session_bad_option_e ? cli_bad_options(err) : board_failure(err);
}

int print_list(const kxKovaIo_BoardListS &list) {
  if (list.count == 0) {
    std::printf("No evaluation board found: no FT2232H channel A on the USB. Connect the board's USB cable.\n");
    return kExitOk;
  }
  std::printf("%-6s %-9s %-11s %-16s %s\n", "Board", "Channels", "Location", "Serial", "Description");
  for (uint32_t k = 0; k < list.count; ++k) {
    const kxKovaIo_BoardEntryS &e = list.boardInfo[k];
    const std::string channels = std::to_string(e.chanA) + "/" +
                                 (e.chanB == KXKOVAIO_NO_CHANNEL ? std::string("-") : std::to_string(e.chanB));
    std::string serial = board_session_serial(e.chanA);
    if (serial.empty()) serial = "-";
    std::printf("%-6u %-9s 0x%08X  %-16s %s\n", k, channels.c_str(), e.locIdA, serial.c_str(), e.descA);
  }
  return kExitOk;
}

// Splits a write at the EEPROM's page boundaries, so that no page write wraps.
template <typename Fn>
uint32_t write_in_pages(uint32_t addr, const std::vector<uint8_t> &data, uint32_t page, Fn write) {
  uint32_t done = 0;
  while (done < data.size()) {
    const uint32_t a = addr + done;
    uint32_t n = page - a % page;
    if (n > data.size() - done) n = static_cast<uint32_t>(data.size() - done);
    // After the first, partial page the rest is aligned: one call writes it page by page.
    if (a % page == 0) n = static_cast<uint32_t>(data.size() - done);
    if (write(a, n, data.data() + done)) return 1;
    done += n;
  }
  return 0;
}

enum op_e { op_read_e, op_write_e, op_reset_e };

int run_op(op_e op, const board_options_s &o) {
  // Arguments first: a bad one is a bad option whatever the board.
  const target_e target = target_of(o);
  uint32_t addr = 0, count = 0;
  std::vector<uint8_t> data;
  if (op != op_reset_e) {
    if (!parse_hex(o.addr, space_of(target) - 1, &addr))
      return cli_bad_options("ADDR: '" + o.addr + "' is not a hexadecimal address below 0x" +
                             (target == target_registers_e ? std::string("800") : std::string("10000")));
    if (op == op_read_e) {
      if (!parse_dec(o.count, 65536, &count) || count == 0)
        return cli_bad_options("COUNT: '" + o.count + "' is not a byte count from 1 to 65536");
    } else {
      for (const auto &b : o.bytes) {
        uint32_t v;
        if (!parse_hex(b, 0xFF, &v)) return cli_bad_options("BYTE: '" + b + "' is not a hexadecimal byte");
        data.push_back(static_cast<uint8_t>(v));
      }
      count = static_cast<uint32_t>(data.size());
    }
    if (count > space_of(target) - addr)
      return cli_bad_options((op == op_read_e ? "COUNT: " : "BYTE: ") + std::to_string(count) +
                             " bytes from 0x" + o.addr + " run past the end of the address space");
  }
  if (o.page_size != 16 && o.page_size != 32 && o.page_size != 64 && o.page_size != 256)
    return cli_bad_options("--page-size: " + std::to_string(o.page_size) + " is not 16, 32, 64 or 256");

  board_session_s session;
  std::string err;
  if (!board_session_open(session_opts(o), &session, &err)) return session_failure(session, err);
  kxKovaIo_HandleS &h = session.handle;
  int result = kExitOk;
  std::string failure;
  if (op == op_reset_e) {
    if (kxKovaIo_DutReset(&h))
      failure = "chip reset failed (" + board_session_failure_text() + ")";
    else
      std::printf("Chip reset.\n");
  } else if (op == op_read_e) {
    std::vector<uint8_t> back(count);
    const uint32_t r = target == target_registers_e ? kxKovaIo_DutRegRead(&h, addr, count, back.data())
                       : target == target_eeprom_e  ? kxKovaIo_DutEepromRead(&h, addr, count, back.data())
                                                    : kxKovaIo_EvalBrdEepromRead(&h, addr, count, back.data());
    if (r) {
      failure = "read failed (" + board_session_failure_text() + ")";
    } else {
      const int digits = target == target_registers_e ? 3 : 4;
      for (uint32_t i = 0; i < count; i += 16) {
        std::printf("0x%0*X:", digits, addr + i);
        for (uint32_t j = i; j < count && j < i + 16; ++j) std::printf(" %02X", back[j]);
        std::printf("\n");
      }
    }
  } else {
    uint32_t r;
    if (target == target_registers_e) {
      r = kxKovaIo_DutRegWrite(&h, addr, count, data.data());
    } else if (target == target_eeprom_e) {
      r = write_in_pages(addr, data, KX_CHIP_EEPROM_PAGE, [&](uint32_t a, uint32_t n, const uint8_t *d) {
        return kxKovaIo_DutEepromWrite(&h, a, n, d);
      });
    } else {
      r = write_in_pages(addr, data, o.page_size, [&](uint32_t a, uint32_t n, const uint8_t *d) {
        return kxKovaIo_EvalBrdEepromWrite(&h, a, n, d, o.page_size);
      });
    }
    if (r)
      failure = "write failed (" + board_session_failure_text() + ")";
    else
      std::printf("Wrote %u byte%s at 0x%0*X.\n", count, count == 1 ? "" : "s", target == target_registers_e ? 3 : 4,
                  addr);
  }
  if (!failure.empty()) result = board_failure(failure);
  if (!board_session_close(&session, &err) && result == kExitOk) result = board_failure(err, kExitEngineError);
  print_board_messages();
  return result;
}

int run_list(const board_options_s &o) {
  board_session_s session;
  std::string err;
  auto list = std::make_unique<kxKovaIo_BoardListS>();
  if (!board_session_list(session_opts(o), &session, list.get(), &err)) return session_failure(session, err);
  const int result = print_list(*list);  // serials come from the driver: before closing
  board_session_close(&session);
  return result;
}

void add_common(CLI::App *cmd, board_options_s *o, bool pick_board) {
  // A flag, so that it never takes the next argument: devices go with "=".
  o->emulator = cmd->add_flag("--emulator{}", o->emulator_devices,
                              "Use emulated boards instead of the USB; --emulator=DEVICES names them, such as 40000 "
                              "or 40000,40089:0 (default: KOVA_EMULATED_BOARD, else 40089)");
  cmd->add_option("--usb-trace", o->trace, "Write every USB transfer to FILE, one line each");
  cmd->add_option("--usb-log", o->usb_log, "Save the USB connection log to FILE");
  if (pick_board)
    cmd->add_option("--board", o->board, "The board to use: list index, serial or USB location (default: the first)");
}

void add_target(CLI::App *cmd, board_options_s *o) {
  auto *ee = cmd->add_flag("--eeprom", o->eeprom, "The chip's own EEPROM instead of its registers");
  auto *brd = cmd->add_flag("--board-eeprom", o->board_eeprom, "The board EEPROM instead of the chip's registers");
  ee->excludes(brd);
}

void add_board(CLI::App &app, int *exit_status) {
  static board_options_s list_o, read_o, write_o, reset_o;
  CLI::App *board = app.add_subcommand("board", "Evaluation boards: list them, read and write a chip, reset it");
  board->require_subcommand(1);

  CLI::App *list = board->add_subcommand("list", "List the evaluation boards on the USB");
  add_common(list, &list_o, false);
  list->callback([exit_status] { *exit_status = run_list(list_o); });

  CLI::App *read = board->add_subcommand("read", "Read COUNT bytes from hexadecimal address ADDR");
  read->add_option("ADDR", read_o.addr, "Address, hexadecimal")->required();
  read->add_option("COUNT", read_o.count, "Number of bytes, decimal")->required();
  add_target(read, &read_o);
  add_common(read, &read_o, true);
  read->callback([exit_status] { *exit_status = run_op(op_read_e, read_o); });

  CLI::App *write = board->add_subcommand("write", "Write bytes (hexadecimal) from hexadecimal address ADDR");
  write->add_option("ADDR", write_o.addr, "Address, hexadecimal")->required();
  write->add_option("BYTE", write_o.bytes, "Bytes, hexadecimal")->required();
  add_target(write, &write_o);
  write->add_option("--page-size", write_o.page_size, "Board EEPROM page size: 16, 32 (default), 64 or 256");
  add_common(write, &write_o, true);
  write->callback([exit_status] { *exit_status = run_op(op_write_e, write_o); });

  CLI::App *reset = board->add_subcommand("reset", "Reset the chip through its reset pin");
  add_common(reset, &reset_o, true);
  reset->callback([exit_status] { *exit_status = run_op(op_reset_e, reset_o); });
}

}  // namespace

KOVACFG_COMMAND(add_board, 80);
