// The options that say which configuration a command works on: device, revision, modes,
// individual fields, and the DSP program.
#pragma once
#include <string>
#include <vector>
#include <CLI/CLI.hpp>
#include "hal/hal_api.h"

struct config_options_s {
  std::string device = "40089";
  int rev = 0;
  std::string mode = "SYN";
  std::string xa_mode;  // empty: XO
  std::string sysclk;   // empty: RO in SYN, XA in the other modes
  std::vector<std::string> sets;
  std::string dsp_program;
  std::string config_file;  // start from a configuration text file instead of the device options
  // Frequencies as typed: MHz, or BASE_MHZ:NUMERATOR[:DENOMINATOR] as the calculator takes them.
  std::string xa, ic[3], oc[3];
};

// Reads a typed frequency: "156.25" (MHz) or "BASE:NUM[:DEN]" with the calculator's rules
// (NUM and DEN may be products such as "4*25"; a base above 4294.967295 MHz is factored).
// False with *why set when the text is refused.
bool parse_typed_frequency(const std::string &text, fprec_s *out, std::string *why);

// Adds --device, --rev, --mode, --xa-mode, --sysclk, the frequencies (--xa, --ic1..3,
// --oc1..3), --set, --config and --dsp-program to a command.
void add_config_options(CLI::App *cmd, config_options_s *opts);

// A bad option: the message names the option; the tool exits with status 2.
struct option_error_s {
  std::string message;
};

// Runs init_api mode 0 for the options' device and modes (or loads the --config file and
// reinitialises with init_api mode 3), then applies the --set fields.
// Returns false with *err set when an option is malformed.
bool config_initialise(const config_options_s &opts, hal_api_s *hal, option_error_s *err);
