// The configuration pipeline as the commands run it: the stages through the shell's stage
// wrappers (stage lines in the log), each only after the previous one succeeded, with every
// message collected for the command's report.
#pragma once
#include <string>
#include <vector>
#include "app/user_dialog.h"
#include "hal/hal_api.h"

// While it lives, every message the stage wrappers drain goes to *msgs, and the shell's
// error windows stay quiet: the command reports the messages itself.
class cli_message_capture_s {
 public:
  explicit cli_message_capture_s(std::vector<std::string> *msgs);
  ~cli_message_capture_s();
  cli_message_capture_s(const cli_message_capture_s &) = delete;
  cli_message_capture_s &operator=(const cli_message_capture_s &) = delete;

 private:
  struct quiet_dialog_s final : user_dialog_s {
    void message(const std::string &, const std::string &) override {}
    bool ask_yes_no(const std::string &, const std::string &) override { return false; }
  } quiet_;
  user_dialog_s *previous_;
};

// Runs the expert calculation, then (unless until is "expert") the register calculation,
// then (when until is "regs") build_regs. Appends the messages to *msgs. True when every
// stage that ran succeeded; *regs_built tells whether the register image was built.
bool cli_run_pipeline(hal_api_s *hal, const std::string &until, std::vector<std::string> *msgs, bool *regs_built);
