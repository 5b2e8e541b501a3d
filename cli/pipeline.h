// The configuration pipeline as the commands run it: the stages through the shell's stage
// wrappers (stage lines in the log), each only after the previous one succeeded, with every
// message collected for the command's report.
#pragma once
#include <string>
#include <vector>
#include "hal/hal_api.h"

// Runs the expert calculation, then (unless until is "expert") the register calculation,
// then (when until is "regs") build_regs. Appends the messages to *msgs. True when every
// stage that ran succeeded; *regs_built tells whether the register image was built.
bool cli_run_pipeline(hal_api_s *hal, const std::string &until, std::vector<std::string> *msgs, bool *regs_built);
