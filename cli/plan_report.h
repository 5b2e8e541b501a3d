// The frequency plan of a configuration, as text for people and as JSON for programs.
#pragma once
#include <string>
#include <vector>
#include "cli/config_options.h"
#include "hal/hal_api.h"

// Prints device and modes (with what init changed of the modes asked for), the clock tree
// (VCO, HSDIVs, outputs with their dividers and achieved frequencies, PFD, input dividers,
// DSP rate).
void print_plan_text(const hal_api_s *hal, const option_error_s *asked = nullptr);

// What plan and load print of a calculated configuration. Text: the plan, the registers
// that differ from their reset defaults (when the image was built), then the warnings and
// errors; every message (the output solver's listing too) only when verbose. JSON: ok,
// every message, fields, hz and the 2048 registers (when the image was built).
void cli_report_plan(const hal_api_s *hal, const std::vector<std::string> &msgs, bool regs_built, bool json,
                     bool verbose, const option_error_s *asked);
// Prints the warnings and errors under "Warnings and errors:", and how many other messages
// (the output solver's listing, notes of the calculation) were left out.
void cli_print_notable_messages(const std::vector<std::string> &msgs);
