// Commands of kovacfg register themselves here: each command's source file adds its
// subcommand (with a callback that sets the exit status) through KOVACFG_COMMAND.
#pragma once
#include <string>
#include <vector>
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include "hal/hal_api.h"

// Exit statuses, the same in every command (the table of --help and the README).
constexpr int kExitOk = 0;
constexpr int kExitEngineError = 1;  // the engine, a file or a write reported a failure
constexpr int kExitBadOptions = 2;   // a bad option: one line on standard error names it
// 3: eeprom verify found other contents than the image (eeprom commands only).
constexpr int kExitBoard = 4;        // the board could not be reached or read

// The tool's own version; the engine's is KOVA_HAL_API_VERSION.
constexpr const char *kKovacfgVersion = "0.1";

// Adds one subcommand to the tool; its callback stores the exit status in *exit_status.
using cli_add_fn = void (*)(CLI::App &app, int *exit_status);

// Registers a command; order decides the order in --help. Returns a dummy for static use.
int cli_register(cli_add_fn add, int order);
#define KOVACFG_COMMAND(fn, order) \
  static const int fn##_registered_ [[maybe_unused]] = cli_register(fn, order)

// Prints "kovacfg: error: MESSAGE" on one line and returns kExitBadOptions.
int cli_bad_options(const std::string &message);
std::string cli_upper(std::string s);  // ASCII upper case, for names typed in any case
// Prints the messages under a "Messages:" heading (nothing when there are none).
void cli_print_messages(const std::vector<std::string> &msgs);
// Prints {"ok", "messages", "fields", "hz"} plus the extra members given. ok is the
// command's success (its exit status is 0): the caller passes it, so that a failure found
// outside the messages (a board, a file) cannot print "ok": true.
void cli_print_json(const hal_api_s *hal, const std::vector<std::string> &msgs, bool ok,
                    const nlohmann::ordered_json &extra = nlohmann::ordered_json::object());
// Prints {"ok": false, "messages": [...]} for a command that failed before it had a
// configuration to show (a board that cannot be reached).
void cli_print_json_failure(const std::vector<std::string> &msgs);
