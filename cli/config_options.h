// The options that say which configuration a command works on: device, revision, modes,
// individual fields, and the DSP program.
#pragma once
#include <string>
#include <vector>
#include <CLI/CLI.hpp>
#include "hal/hal_api.h"

struct config_options_s {
  std::string device;  // empty: not given (the board's chip for apply, else KX40089)
  int rev = -1;        // -1: not given (the board's chip for apply, else 0)
  std::string mode = "SYN";
  std::string xa_mode;  // empty: XO
  std::string sysclk;   // empty: RO in SYN, XA in the other modes
  std::vector<std::string> sets;
  std::string dsp_program;
  std::string config_file;  // start from a configuration text file instead of the device options
  // Frequencies as typed: MHz, or BASE_MHZ:NUMERATOR[:DENOMINATOR] as the calculator takes them.
  std::string xa, ic[3], oc[3];
};

constexpr const char *kDefaultDevice = "40089";

// Reads a typed frequency: "156.25" (MHz) or "BASE:NUM[:DEN]" with the calculator's rules
// (NUM and DEN may be products such as "4*25"; a base above 4294.967295 MHz is factored).
// Only decimal numbers are taken (no hexadecimal, no blank), and a frequency above 0 that
// rounds to 0 Hz is refused. False with *why set when the text is refused.
bool parse_typed_frequency(const std::string &text, fprec_s *out, std::string *why);

// A frequency in hertz as --set and --known take it: "F" or "F,N,M" (F x N / M Hz), or a
// decimal number with a unit, "100MHz", "19.44MHz", "125e6Hz", "2.5GHz", "10kHz", converted
// exactly. Returns 1 when the text carried a unit and was converted into *out, 0 when it
// carries none (the caller reads it as F or F,N,M), -1 with *why set when it is refused.
int parse_frequency_with_unit(const std::string &text, fprec_s *out, std::string *why);

// Adds --device, --rev, --mode, --xa-mode, --sysclk, --config and the options of
// add_config_change_options to a command.
void add_config_options(CLI::App *cmd, config_options_s *opts);
// Adds what changes a configuration once it exists: the frequencies (--xa, --ic1..3,
// --oc1..3), --set and --dsp-program.
void add_config_change_options(CLI::App *cmd, config_options_s *opts);

// The result of config_initialise besides the object: the option error, and the modes that
// were asked for (before init_api had its say).
struct option_error_s {
  std::string message;  // a bad option: the message names the option; the tool exits with 2
  bool warn = true;     // print the option warnings (a --set frequency below 1 kHz) on stderr
  int32_t asked_mode = -1, asked_xa_mode = -1, asked_sysclk = -1;
};

// Runs init_api mode 0 for the options' device and modes (or loads the --config file and
// reinitialises with init_api mode 3), then applies the typed frequencies and the --set
// fields. Register ID2 (0x031) of the image holds the device code and the revision either
// way. Returns false with err->message set when an option is malformed.
bool config_initialise(const config_options_s &opts, hal_api_s *hal, option_error_s *err);

// The header line of a configuration's modes, with what init_api changed: "JA, XA mode 4
// (XTAL DBL; XA mode 3 was asked for and init changed it), system clock XA".
std::string config_modes_text(const hal_api_s *hal, const option_error_s *asked = nullptr);
