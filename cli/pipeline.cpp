#include "cli/pipeline.h"

#include "app/app_log.h"
#include "app/run_control.h"
#include "cli/report.h"

cli_message_capture_s::cli_message_capture_s(std::vector<std::string> *msgs) : previous_(&app_dialog()) {
  app_set_dialog(&quiet_);
  HalUtil_SetMessageSink([](const char *m, void *ctx) { static_cast<std::vector<std::string> *>(ctx)->push_back(m); },
                         msgs);
}

cli_message_capture_s::~cli_message_capture_s() {
  HalUtil_SetMessageSink(nullptr, nullptr);
  app_set_dialog(previous_);
}

bool cli_run_pipeline(hal_api_s *hal, const std::string &until, std::vector<std::string> *msgs, bool *regs_built) {
  bool ok = !messages_failed(*msgs);
  *regs_built = false;
  {
    cli_message_capture_s capture(msgs);
    if (ok) ok = HalUtil_CalcExpert(&__dev_GuiParams, hal);
    if (ok && until != "expert") ok = HalUtil_CalcHal(&__dev_GuiParams, hal);
    if (ok && until == "regs") *regs_built = ok = HalUtil_BuildReg(&__dev_GuiParams, hal);
  }
  for (auto &m : drain_messages(hal)) msgs->push_back(std::move(m));  // behind a failed stage's error
  return ok && !messages_failed(*msgs);
}
