#include "app/app_log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/app_options.h"
#include "app/user_dialog.h"
#include "regs/regmap.h"
#include "regs/seq.h"

__dev_GuiParamS __dev_GuiParams{};

namespace {
hal_message_sink_fn g_sink = nullptr;
void *g_sink_ctx = nullptr;
std::string g_log_error;  // the first log line that could not be written, and why
}  // namespace

bool app_log_check(const __dev_GuiParamS *p, std::string *err) {
  if (!p || !p->log.fileName[0]) return true;
  FILE *f = std::fopen(p->log.fileName, "a");
  if (!f) {
    if (err) *err = std::string(p->log.fileName) + ": " + std::strerror(errno);
    return false;
  }
  std::fclose(f);
  return true;
}

bool app_log_failed(std::string *err) {
  if (g_log_error.empty()) return false;
  if (err) *err = g_log_error;
  return true;
}

void HalUtil_SetMessageSink(hal_message_sink_fn fn, void *ctx) {
  g_sink = fn;
  g_sink_ctx = fn ? ctx : nullptr;
}

bool app_set_log_file(__dev_GuiParamS *p, const std::string &path) {
  if (!p || path.size() >= KOVA_LOG_NAME_LEN) return false;
  std::memset(p->log.fileName, 0, sizeof p->log.fileName);
  std::memcpy(p->log.fileName, path.data(), path.size());
  return true;
}

void app_parse_args(__dev_GuiParamS *p, const std::vector<std::string> &args, const std::string &home) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (a == "-su") {
      SuperUserModeSet(true);
    } else if (a == "-ye") {
      SuperUserModeSet(true);
      AutoResetDutOnConnect(false);
    } else if (a == "-log") {
      if (i + 1 >= args.size()) break;  // no file name behind it: no log
      const std::string name = args[++i];
      if (p && app_set_log_file(p, home + "/Desktop/" + name)) p->log.enabled = 1;
    }
  }
}

namespace {
app_log_listener_fn g_listener = nullptr;
void *g_listener_ctx = nullptr;
}  // namespace

void app_log_set_listener(app_log_listener_fn fn, void *ctx) {
  g_listener = fn;
  g_listener_ctx = ctx;
}

void GuiLog_Main(__dev_GuiParamS *p, GuiLogTypeE, const char *msgStr, uint32_t moduleId, uint16_t) {
  if (g_listener && msgStr) g_listener(msgStr, g_listener_ctx);
  if (!p || !msgStr || !p->log.fileName[0] || !p->log.enabled) return;
  if (isInCustomerMode() && moduleId != kova_log_start_e && moduleId != kova_log_regwrite_e) return;
  FILE *f = std::fopen(p->log.fileName, "a");
  if (!f) f = std::fopen(p->log.fileName, "w");
  int e = f ? 0 : errno;
  if (f) {
    std::fprintf(f, "%s\n", msgStr);
    if (std::fflush(f) != 0) e = errno;
    if (std::fclose(f) != 0 && !e) e = errno;
  }
  if (e && g_log_error.empty()) g_log_error = std::string(p->log.fileName) + ": " + std::strerror(e);
}

void GuiLogMessage(__dev_GuiParamS *p, const char *msgStr, uint32_t moduleId, uint16_t category) {
  GuiLog_Main(p, kova_log_info_e, msgStr, moduleId, category);
}

void GuiLogError(__dev_GuiParamS *p, const char *errStr, uint32_t moduleId, uint16_t category) {
  GuiLog_Main(p, kova_log_error_e, errStr, moduleId, category);
}

std::string GuiLogConfigCmdText(uint16_t regAddr, uint8_t regData, const char *comment) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "X, 0X%03X, 0X%02X", regAddr, regData);
  std::string line = buf;
  const char *name = kova_reg_name(regAddr);
  if (name && *name) line += std::string(" ; ") + name;
  if (comment) line += std::string("  //") + comment;
  return line;
}

void GuiLogConfigCmd(__dev_GuiParamS *p, uint16_t regAddr, uint8_t regData, unsigned waitMs, const char *comment) {
  GuiLogMessage(p, GuiLogConfigCmdText(regAddr, regData, comment).c_str(), kova_log_regwrite_e);
  if (waitMs > 0) GuiLogMessage(p, ("W , " + std::to_string(waitMs)).c_str(), kova_log_regwrite_e);
}

std::string app_log_state_process(__dev_GuiParamS *p) {
  if (!p || !p->log.fileName[0]) {
    if (p) p->log.enabled = 0;
    return "Start Log";
  }
  if (!p->log.enabled) return "Start Log";
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char when[64];
  std::strftime(when, sizeof when, "%c", &tm);
  GuiLogMessage(p, (std::string("Start of Log session; ") + when).c_str(), kova_log_start_e);
  return "Stop Log";
}

bool HalUtil_GetMessage(__dev_GuiParamS *p, hal_api_s *hal, uint32_t categoryId) {
  if (!p || !hal) return false;
  while (const char *m = get_msg(hal)) {
    if (g_sink) g_sink(m, g_sink_ctx);
    if (std::strstr(m, "ERROR")) {
      const std::string text = m;  // the entry may be reused once the log moves on
      MessageError(text, "Configuration Error");
      GuiLogError(p, text.c_str(), categoryId);
      return false;
    }
    GuiLogMessage(p, m, categoryId);
  }
  return true;
}

bool HalStruct_Initialize(hal_api_s *hal) {
  __dev_GuiParamS *p = &__dev_GuiParams;
  GuiLogMessage(p, ">>> INIT API", kova_log_init_e);
  bool ok = false;
  if (hal) {
    init_api(hal);
    ok = HalUtil_GetMessage(p, hal, kova_log_init_e);
    if (ok) {
      get_seq_s rec;
      get_seq(hal, get_seq_chip_reset_e, &rec);
    }
  }
  GuiLogMessage(p, ok ? ">>> INIT API: SUCCESS" : ">>> INIT API: FAILED", kova_log_init_e);
  return ok;
}
