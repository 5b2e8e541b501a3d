// The application parameter block, the log file and the rule by which the shell drains the
// engine's messages and decides whether an engine stage succeeded.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/device_settings.h"
#include "board/kxkovaio.h"
#include "hal/hal_api.h"

constexpr size_t KOVA_LOG_NAME_LEN = 1024;

struct __dev_LogS {
  char fileName[KOVA_LOG_NAME_LEN];  // at most 1023 characters and a terminating zero
  uint8_t enabled;
};

struct __dev_GuiParamS {
  uint8_t halConfigured;
  kxKovaIo_HandleS ioHandle;
  int32_t devicePartNumber;
  int32_t deviceRevision;
  __dev_LogS log;
  __dev_InputClockConfigS inputClock[3];
  __dev_OutputClockConfigS outputClock[3];
};

// The one parameter block of the run.
extern __dev_GuiParamS __dev_GuiParams;

// Log module identifiers.
enum GuiLogCategoryE : uint32_t {
  kova_log_start_e = 200,
  kova_log_restart_e = 201,
  kova_log_init_e = 204,
  kova_log_expert_e = 205,
  kova_log_hal_e = 206,
  kova_log_build_e = 207,
  kova_log_regwrite_e = 208,
};

enum GuiLogTypeE { kova_log_info_e, kova_log_error_e };

// The command line of the application: "-su", "-ye", "-log FILE" (compared whole and
// case-sensitively; anything else is ignored). home is the user's profile folder; the log
// file goes to its Desktop folder. A "-log" without a file name is ignored, and a name that
// would not fit the parameter block leaves the log off.
void app_parse_args(__dev_GuiParamS *p, const std::vector<std::string> &args, const std::string &home);

// Sets the log file by its full path (empty: none). False when the name is too long; the
// previous name then stays.
bool app_set_log_file(__dev_GuiParamS *p, const std::string &path);

// Also hands every log line (stage lines, engine messages, register writes, whatever the
// log file's filter and state) to a listener, such as the device log of the main window;
// null removes it.
using app_log_listener_fn = void (*)(const char *line, void *ctx);
void app_log_set_listener(app_log_listener_fn fn, void *ctx);

// The log file can be opened for appending (not a directory, its folder exists and may be
// written). False with *err ("FILE: reason") otherwise: a command refuses to start then.
bool app_log_check(const __dev_GuiParamS *p, std::string *err);
// True with *err ("FILE: reason") when a log line could not be written to the end since the
// start (a full disk): the log is incomplete and the command has failed.
bool app_log_failed(std::string *err);

void GuiLog_Main(__dev_GuiParamS *pGuiS, GuiLogTypeE msgType, const char *msgStr, uint32_t moduleId, uint16_t category);
void GuiLogMessage(__dev_GuiParamS *pGuiS, const char *msgStr, uint32_t moduleId, uint16_t category = 0);
void GuiLogError(__dev_GuiParamS *pGuiS, const char *errStr, uint32_t moduleId, uint16_t category = 0);
// A register-write line in the script notation ("X, 0X031, 0X05 ; ID2  //comment"), and a
// "W , n" line after it when waitMs is above 0.
void GuiLogConfigCmd(__dev_GuiParamS *pGuiS, uint16_t regAddr, uint8_t regData, unsigned waitMs, const char *comment);
// The text of that register-write line (without the wait line).
std::string GuiLogConfigCmdText(uint16_t regAddr, uint8_t regData, const char *comment);

// After the log was switched on or off: writes the start line when it is on. Returns the
// text of the log command ("Start Log" or "Stop Log").
std::string app_log_state_process(__dev_GuiParamS *p);

// Also hands every drained message to a sink (a front end that shows the messages of a
// stage itself); null removes it.
using hal_message_sink_fn = void (*)(const char *msg, void *ctx);
void HalUtil_SetMessageSink(hal_message_sink_fn fn, void *ctx);

// Drains the engine's messages into the log; false (after showing it titled "Configuration
// Error") at the first message containing "ERROR", leaving the later ones in the engine's log.
bool HalUtil_GetMessage(__dev_GuiParamS *pGuiS, hal_api_s *hal, uint32_t categoryId);

// First initialisation of a configuration whose device, revision and init mode are set.
bool HalStruct_Initialize(hal_api_s *hal);
