#include "cli/pipeline.h"

#include "app/app_log.h"
#include "app/run_control.h"
#include "app/user_dialog.h"
#include "cli/report.h"

namespace {

// Errors reach the report through the collected messages; they need no second display.
struct quiet_dialog_s final : user_dialog_s {
  void message(const std::string &, const std::string &) override {}
  bool ask_yes_no(const std::string &, const std::string &) override { return false; }
};

}  // namespace

bool cli_run_pipeline(hal_api_s *hal, const std::string &until, std::vector<std::string> *msgs, bool *regs_built) {
  quiet_dialog_s quiet;
  user_dialog_s *previous = &app_dialog();
  app_set_dialog(&quiet);
  HalUtil_SetMessageSink([](const char *m, void *ctx) { static_cast<std::vector<std::string> *>(ctx)->push_back(m); },
                         msgs);
  bool ok = !messages_failed(*msgs);
  *regs_built = false;
  if (ok) ok = HalUtil_CalcExpert(&__dev_GuiParams, hal);
  if (ok && until != "expert") ok = HalUtil_CalcHal(&__dev_GuiParams, hal);
  if (ok && until == "regs") *regs_built = ok = HalUtil_BuildReg(&__dev_GuiParams, hal);
  HalUtil_SetMessageSink(nullptr, nullptr);
  app_set_dialog(previous);
  for (auto &m : drain_messages(hal)) msgs->push_back(std::move(m));  // behind a failed stage's error
  return ok && !messages_failed(*msgs);
}
