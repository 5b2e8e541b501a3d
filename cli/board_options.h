// The options that pick the evaluation board a command works on.
#pragma once
#include <CLI/CLI.hpp>
#include "app/board_session.h"

struct board_cli_s {
  board_session_opts_s session;
  CLI::Option *emulator = nullptr;
};

// Adds --emulator[=DEVICES] and --board to a command.
inline void add_board_options(CLI::App *cmd, board_cli_s *o) {
  o->emulator = cmd->add_flag("--emulator{}", o->session.emulator_devices,
                              "Use emulated boards instead of the USB; --emulator=DEVICES names them, such as 40000 "
                              "or 40000,40089:0 (default: $KOVA_EMULATED_BOARD, else 40089)");
  cmd->add_option("--board", o->session.board, "The board to use: list index, serial or USB location (default: the first)");
}

// The session options as parsed: --emulator given (with or without devices) selects the emulator.
inline board_session_opts_s board_cli_session(const board_cli_s &o) {
  board_session_opts_s s = o.session;
  s.emulator = o.emulator && o.emulator->count() > 0;
  return s;
}
