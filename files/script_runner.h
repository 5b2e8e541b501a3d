// The script runner: loads a configuration script, validates it line by line, runs its
// register writes and waits against the chip (or, offline, against the register image),
// and derives the configuration object from the resulting register values. A plain module:
// the script window (or the command line) shows its text, its run log and its messages.
//
// Command lines, after trimming:
//   X , ADDRESS , DATA [; comment]   register write; hexadecimal, "0X" optional, 16-bit
//                                    address and 8-bit data
//   W , MICROSECONDS [; comment]     wait, decimal 0 to 65535
//   ; ...                            comment; "; DSP Code segment start", "; DSP Code
//                                    segment stop" and "; Register Sequences" are markers,
//                                    other comments may carry device, revision and clocks
// Any other line is ignored.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "files/hal_config_file.h"
#include "hal/hal_api.h"
#include "regs/inverse_cfg.h"

// What a script runs against. Offline (connected false) only the register image changes and
// the board functions are not called. Every function may be null when not connected.
struct script_target_s {
  void *ctx = nullptr;
  bool connected = false;
  // Resets the chip (reset pin). True on success.
  bool (*reset_chip)(void *ctx) = nullptr;
  // Writes consecutive chip registers. True on success.
  bool (*write_regs)(void *ctx, uint32_t address, const uint8_t *data, uint32_t n) = nullptr;
  // Reads consecutive chip registers. True on success.
  bool (*read_regs)(void *ctx, uint32_t address, uint8_t *data, uint32_t n) = nullptr;
  // Writes words to DSP RAM from ram_address (with the identifier when it is 0).
  bool (*write_dsp)(void *ctx, uint32_t ram_address, const uint32_t *words, uint32_t n, uint32_t dsp_id) = nullptr;
  // Pauses the run.
  void (*sleep_ms)(void *ctx, uint32_t ms) = nullptr;
  // A line for the application log with its module number.
  void (*app_log)(void *ctx, const std::string &text, uint32_t module) = nullptr;
  // A message for the user with its window title.
  void (*message)(void *ctx, const std::string &text, const std::string &title) = nullptr;
  // Asks the user for one known clock frequency and stores it in the object (inverse step).
  // False when the user gave none.
  bool (*ask_known_frequency)(void *ctx, hal_api_s *hal) = nullptr;
};

struct script_line_error_s {
  int32_t line;        // 1-based
  std::string reason;  // what is wrong with it
};

struct script_runner_s {
  std::string file_name;
  std::vector<std::string> lines;  // the script text
  bool reinit = false;             // "Re-initialize DUT prior to loading the file"
  bool run_ok = false;             // result of the last validation, run or inverse step
  int32_t marked_line = 0;         // the line to highlight (0: none)
  std::vector<script_line_error_s> errors;  // bad command lines of the last validation or run
  std::vector<std::string> log;             // the run log
  // DSP buffer, filled from the script's DSP section.
  uint32_t dsp_words[KOVA_DSP_WORDS] = {};
  uint32_t dsp_count = 0;  // whole words buffered (beyond 320 counted, not stored)
  uint32_t dsp_bit = 0;    // byte position within the current word: 0, 8 or 16
  uint16_t dsp_addr = 0;   // DSP RAM start address
  uint16_t dsp_id = 0;     // DSP code identifier
};

// Module numbers of the application log lines the runner writes.
constexpr uint32_t SCRIPT_LOG_REGWRITE = 208;

// Loads a script file into the runner (clears the log and the errors). False with *msg set
// when there is no file name or the file cannot be read.
bool script_load_file(script_runner_s *r, const std::string &path, file_message_s *msg);
// Replaces the script text (a line feed ends a line; a carriage return before it is dropped).
void script_load_text(script_runner_s *r, const std::string &text);

// The two command parsers of the runner (the whole line, comment included).
bool ScriptWriteCommandParse(const std::string &line, uint32_t *address, uint32_t *data);
bool ScriptWaitCommandParse(const std::string &line, uint32_t *wait);
// Checks one line: true for a comment, an empty or ignored line and a well-formed command;
// false with the reason for an "X" or "W" line that does not parse.
bool script_check_line(const std::string &line, std::string *reason);

// Validates every line; the first bad line is marked and reported. Sets run_ok.
bool script_validate(script_runner_s *r, const script_target_s *t);

// Runs the script against the target and the object's register image. The object is
// initialised blank first (its register image at reset defaults); the script's comments give
// device, revision and clock frequencies. A script with a bad command line is not run at
// all (its lines are in errors): the object stays as it was and nothing reaches the chip.
// Sets run_ok.
bool script_execute(script_runner_s *r, hal_api_s *hal, const script_target_s *t);

// Derives the configuration from the register values: reads them back from the chip when
// connected, asks for one known frequency when the script named none, then runs the inverse
// configuration and re-initialises the object (init_api mode 2, sequence mode 0). Its
// messages stay in the object's log for the caller. Sets run_ok.
bool script_inverse(script_runner_s *r, hal_api_s *hal, const script_target_s *t,
                    int32_t (*inverse)(hal_api_s *) = inverse_cfg);

// Customer mode's load: validate, run, inverse, with one closing message.
bool script_load_and_apply(script_runner_s *r, hal_api_s *hal, const script_target_s *t,
                           int32_t (*inverse)(hal_api_s *) = inverse_cfg);

// Saves the configuration as a script (sequence mode 3). *msg holds the message to show.
bool script_save_file(hal_api_s *hal, const std::string &path, const char *gui_ver, file_message_s *msg);
