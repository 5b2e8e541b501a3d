// Opening the evaluation board a command works on: a real board on the USB, or an emulated
// one, picked from the board list, connected and routed to the chip, with the chip's product
// index and revision read from its ID2 register. Also the driver set-up around it: the
// backend (emulated boards or libftdi), the USB trace and the USB connection log.
#pragma once
#include <cstdint>
#include <string>

#include "board/kxkovaio.h"

struct board_session_opts_s {
  bool emulator = false;         // use emulated boards instead of the USB
  std::string emulator_devices;  // their devices, e.g. "40000" or "40110,40112:0"; empty:
                                 // KOVA_EMULATED_BOARD, else 40089
  std::string emulator_state;    // their state file; empty: KOVA_EMULATED_BOARD_STATE, else none
  std::string board;             // list index, serial (with or without its channel letter) or
                                 // USB location (0x hexadecimal or decimal); empty: the first
  std::string trace;             // every USB transfer to this file, one line each; empty:
                                 // KOVA_USB_TRACE names the file, if any
  std::string usb_log;           // the USB connection log of the board query goes to this
                                 // file; empty: it is not saved
  bool read_id = true;           // read ID2 after connecting (product_index, revision)
};

// Why an open failed: a bad option or environment setting (a device list, a file that
// cannot be created) or the board itself (none found, unplugged, not answering).
enum board_session_failure_e { board_session_ok_e, board_session_bad_option_e, board_session_board_e };

struct board_session_s {
  kxKovaIo_HandleS handle{};
  int32_t product_index = -1;  // upper four bits of ID2 (0x031); -1 when not read
  int32_t revision = 0;        // lower four bits
  bool emulator_installed = false;
  int32_t board_index = -1;    // the list entry connected
  board_session_failure_e failure = board_session_ok_e;  // after a failed open or list
  bool emulator_state_kept = false;  // the emulated boards have a state file
  bool libftdi_installed = false;    // the session chose the libftdi backend
  bool trace_opened = false;         // the session opened opts.trace
};

// Connects. False with *err set (one line) and s->failure when no such board can be opened
// or its chip cannot be read. The driver: emulated boards when opts.emulator is set or
// KOVA_EMULATED_BOARD names devices, else the emulator a program installed itself, else
// libftdi (real boards).
bool board_session_open(const board_session_opts_s &opts, board_session_s *s, std::string *err);
// Sets up the driver as board_session_open does and reads the board list into *list
// without connecting; board_session_close undoes the set-up. False with *err and
// s->failure set.
bool board_session_list(const board_session_opts_s &opts, board_session_s *s, kxKovaIo_BoardListS *list,
                        std::string *err);
// Disconnects; an emulator installed by board_session_open is removed (its state saved).
void board_session_close(board_session_s *s);
// The same, reporting the first failure in *err: closing the board, or saving the state
// of the emulated boards to their state file (at any time since the open: a command that
// wrote to an emulated board whose state could not be saved has failed).
bool board_session_close(board_session_s *s, std::string *err);

// The list entry a --board selector names: empty, the first entry; a decimal list index;
// the serial of an entry's channel A, with or without its channel letter; or an entry's
// USB location (channel A), hexadecimal with 0x or decimal. Tried in that order. -1 when
// none matches.
int32_t board_session_find(const kxKovaIo_BoardListS &list, const std::string &selector);
// The serial of a driver channel ("" when it has none).
std::string board_session_serial(uint32_t channel);
// A driver status as a user reads it, e.g. "driver status 4, I/O error: ...".
std::string board_session_status_text(uint32_t status);
// Why the last board operation failed: its driver status, and what the transfer that failed
// found ("short write: the board took 0 of 12 bytes", "read time-out: ...").
std::string board_session_failure_text();
