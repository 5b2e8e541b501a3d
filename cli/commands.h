// Commands of kovacfg register themselves here: each command's source file adds its
// subcommand (with a callback that sets the exit status) through KOVACFG_COMMAND.
#pragma once
#include <string>
#include <vector>
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include "hal/hal_api.h"

constexpr int kExitOk = 0;
constexpr int kExitEngineError = 1;
constexpr int kExitBadOptions = 2;

// Adds one subcommand to the tool; its callback stores the exit status in *exit_status.
using cli_add_fn = void (*)(CLI::App &app, int *exit_status);

// Registers a command; order decides the order in --help. Returns a dummy for static use.
int cli_register(cli_add_fn add, int order);
#define KOVACFG_COMMAND(fn, order) \
  static const int fn##_registered_ [[maybe_unused]] = cli_register(fn, order)

// Prints "kovacfg: error: MESSAGE" on one line and returns kExitBadOptions.
int cli_bad_options(const std::string &message);
// Prints the messages under a "Messages:" heading (nothing when there are none).
void cli_print_messages(const std::vector<std::string> &msgs);
// Prints {"ok", "messages", "fields"} plus the extra members given.
void cli_print_json(const hal_api_s *hal, const std::vector<std::string> &msgs,
                    const nlohmann::ordered_json &extra = nlohmann::ordered_json::object());
