// The script window without its widgets: the runner's steps on the application's one
// configuration object, against the connected board's chip or, offline, the register image.
// A configuration derived from a script becomes the application's configuration (device,
// input records, configured flag); a customer-mode load that fails anywhere leaves the
// previous configuration in place.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/main_ops.h"
#include "files/script_runner.h"

// What a run needs besides the object: the board's target and the known-frequency window.
struct script_window_ctx_s {
  main_state_s *state = nullptr;
  script_target_s board;                              // the board's own target
  std::function<bool(hal_api_s *)> known_frequency;   // asks for one known clock frequency
};

// The target of a run: the board's chip when connected, else the register image. Messages go
// to the user through MessageError, run lines to the application log. ctx must outlive it.
script_target_s script_window_target(script_window_ctx_s *ctx);

// The steps of the window. Each pauses the status refresh for its duration.
bool script_window_validate(script_window_ctx_s *ctx, script_runner_s *r);
// Runs the script; a failed run leaves the object as it was.
bool script_window_execute(script_window_ctx_s *ctx, script_runner_s *r);
// Derives the configuration from the registers and adopts it; its engine messages go to the
// log (an ERROR is shown and fails the step).
bool script_window_inverse(script_window_ctx_s *ctx, script_runner_s *r);
// Validate, run and derive in one go, with the closing "DUT Config Load" message. On a
// failure of any step the configuration from before comes back.
bool script_window_load_and_apply(script_window_ctx_s *ctx, script_runner_s *r);

// Saves the run log, one line each, through a temporary file. *msg holds the message to show.
bool script_log_save(const std::string &path, const std::vector<std::string> &lines, file_message_s *msg);
