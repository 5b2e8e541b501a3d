// kovacfg status: the chip's DPLL status, fetched and decoded as the status window shows it,
// once or every few seconds.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <utility>
#include <thread>
#include <string>
#include <vector>

#include "app/app_log.h"
#include "app/board_session.h"
#include "app/device_settings.h"
#include "app/main_ops.h"
#include "app/main_view.h"
#include "app/run_control.h"
#include "cli/board_options.h"
#include "cli/commands.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "regs/inverse_cfg.h"
#include "regs/regmap.h"

namespace {

struct status_opts_s {
  board_cli_s board;
  double every = 0;
  int count = 0;
  bool json = false;
  bool raw = false;
};

// Status registers shown raw: validity, the inputs' monitor states and the DPLL state.
constexpr uint32_t kRawStatus[] = {0x04E, 0x04F, 0x050, 0x051, 0x052, 0x056};

// What an input's status register (IC1SR .. IC3SR) and VALSR say of it.
struct input_state_s {
  bool enabled, valid, los, out_of_frequency, lock_timeout;
  std::string text() const {
    if (!enabled) return "not enabled";
    if (valid) return "VALID";
    std::string t = "INVALID";
    const char *sep = ": ";
    for (const auto &[bad, why] : {std::pair{los, "LOS"}, std::pair{out_of_frequency, "out of frequency"},
                                   std::pair{lock_timeout, "lock timeout"}})
      if (bad) t += sep + std::string(why), sep = ", ";
    return t;
  }
};

input_state_s input_state(const hal_api_s *h, int n) {
  const uint32_t sr = get_reg(h, 0x050 + static_cast<uint32_t>(n));
  return {h->*kMainIcEnable[n] != 0, main_input_valid(h, n), (sr & 0x20) != 0, (sr & 0x1C) != 0x1C, (sr & 0x40) != 0};
}

bool dpll_shown(const hal_api_s *h) { return h->kova_mode_e == kova_mode_ja_e; }

std::string now_text() {
  const std::time_t t = std::time(nullptr);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
  return buf;
}

void print_once(const hal_api_s *h, const status_opts_s &o) {
  const std::string time = now_text();
  if (o.json) {
    nlohmann::ordered_json j;
    j["ok"] = true;
    j["messages"] = nlohmann::ordered_json::array();
    j["time"] = time;
    j["mode"] = h->kova_mode_e;
    j["dpll_state"] = dpll_shown(h) ? nlohmann::ordered_json(main_dpll_state_text(static_cast<uint8_t>(get_reg(h, 0x056))))
                                    : nlohmann::ordered_json(nullptr);
    nlohmann::ordered_json inputs = nlohmann::ordered_json::array();
    for (int n = 0; n < 3; ++n) {
      const input_state_s s = input_state(h, n);
      inputs.push_back({{"input", "IC" + std::to_string(n + 1)}, {"state", s.text()}, {"enabled", s.enabled},
                        {"valid", s.valid}, {"los", s.los}, {"out_of_frequency", s.out_of_frequency},
                        {"lock_timeout", s.lock_timeout}});
    }
    j["inputs"] = inputs;
    j["output_freq_offset_ppm_r"] = h->output_freq_offset_ppm_r;
    j["input_phase_offset_ns_r"] = h->input_phase_offset_ns_r;
    j["dpll_lfint_offset_ppm_r"] = h->dpll_lfint_offset_ppm_r;
    j["dpll_lfprop_offset_ppm_r"] = h->dpll_lfprop_offset_ppm_r;
    j["ho_freq_offset_ppm_r"] = h->ho_freq_offset_ppm_r;
    j["fchlim_freq_offset_ppm_r"] = h->fchlim_freq_offset_ppm_r;
    j["pfix_phase_offset_ns_r"] = h->pfix_phase_offset_ns_r;
    j["pslim_input_phase_ns_r"] = h->pslim_input_phase_ns_r;
    nlohmann::ordered_json raw = nlohmann::ordered_json::object();
    for (uint32_t a : kRawStatus) raw[kova_reg_name(a)] = get_reg(h, a);
    j["status_registers"] = raw;
    std::printf("%s\n", j.dump().c_str());
    return;
  }
  // Polling: every line carries the time of its fetch.
  const std::string stamp = o.every > 0 ? time + "  " : "";
  const auto line = [&](const char *label, const std::string &value) {
    std::printf("%s%-27s%s\n", stamp.c_str(), label, value.c_str());
  };
  const auto number = [](const char *format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return std::string(buf);
  };
  const char *mode = kova_mode_label(h->kova_mode_e);
  line("Mode", mode ? mode : "unknown");
  if (dpll_shown(h)) line("DPLL", main_dpll_state_text(static_cast<uint8_t>(get_reg(h, 0x056))));
  for (int n = 0; n < 3; ++n) line(("IC" + std::to_string(n + 1)).c_str(), input_state(h, n).text());
  if (dpll_shown(h)) {
    line("Output frequency offset", number("%+.6f ppm", h->output_freq_offset_ppm_r));
    line("Input phase offset", number("%+.3f ns", h->input_phase_offset_ns_r));
    line("Loop filter (integral)", number("%+.6f ppm", h->dpll_lfint_offset_ppm_r));
    line("Loop filter (proportional)", number("%+.6f ppm", h->dpll_lfprop_offset_ppm_r));
    line("Holdover frequency", number("%+.6f ppm", h->ho_freq_offset_ppm_r));
    line("Frequency-change limit", number("%+.6f ppm", h->fchlim_freq_offset_ppm_r));
    line("Phase fix", number("%+.3f ns", h->pfix_phase_offset_ns_r));
    line("Phase-slope limit input", number("%+.3f ns", h->pslim_input_phase_ns_r));
  }
  if (o.raw)
    for (uint32_t a : kRawStatus) {
      char label[32], value[8];
      std::snprintf(label, sizeof label, "%s (0x%03X)", kova_reg_name(a), a);
      std::snprintf(value, sizeof value, "0x%02X", get_reg(h, a));
      line(label, value);
    }
}

int run_status(const status_opts_s &o) {
  if (!(o.every >= 0 && o.every <= 86400)) return cli_bad_options("--every: a time in seconds from 0 to 86400");
  if (o.count < 0) return cli_bad_options("--count: 0 or more");
  const auto board_failed = [&](const std::string &why) {
    std::fprintf(stderr, "kovacfg: %s\n", why.c_str());
    if (o.json) cli_print_json_failure({"ERROR: " + why});
    return kExitBoard;
  };
  board_session_s session;
  std::string why;
  if (!board_session_open(board_cli_session(o.board), &session, &why)) {
    if (session.failure == board_session_bad_option_e) return cli_bad_options(why);
    return board_failed(why);
  }
  __dev_GuiParams.ioHandle = session.handle;
  hal_api_s hal{};
  hal.init_api_mode_e = init_api_blank_e;
  init_api(&hal);
  int status = kExitOk;
  // The decode needs the chip's mode and its nominal frequency word: read its registers.
  std::vector<uint8_t> regs(KOVA_REG_COUNT);
  if (!__dev_GuiReadReg(&__dev_GuiParams, &hal, 0, KOVA_REG_COUNT, regs.data(), true) ||
      !GuiUtil_EvalBoardConnected(&__dev_GuiParams, &hal)) {
    status = board_failed("reading the chip's registers failed");
  } else {
    inverse_regs_to_fields(&hal);
    // The device as the board session read it from ID2 (its product index): the ID table of
    // the detection does not cover every device.
    const int32_t device = __dev_ConvertApiToHalPartNumber(session.product_index);
    if (device > 0) hal.kova_device_e = device;
    if (inverse_detect_modes(&hal)) {
      std::vector<std::string> msgs = drain_messages(&hal);
      for (const auto &m : msgs) std::fprintf(stderr, "kovacfg: %s\n", m.c_str());
      if (o.json) cli_print_json_failure(msgs);
      status = kExitEngineError;
    }
  }
  cli_progress_s interrupt("");  // Ctrl-C ends the polling
  const int times = o.every > 0 && o.count == 0 ? -1 : o.count == 0 ? 1 : o.count;
  for (int n = 0; status == kExitOk && (times < 0 || n < times); ++n) {
    if (n > 0) {
      // Sleep in short steps so that Ctrl-C ends the polling at once.
      const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(o.every);
      while (!g_cli_interrupted && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (g_cli_interrupted) break;
      if (!o.json) std::printf("\n");
    }
    if (!HalStruct_StatusGet(&hal)) {
      status = board_failed("reading the chip's status failed");
      break;
    }
    print_once(&hal, o);
    std::fflush(stdout);
  }
  __dev_GuiParams.ioHandle = kxKovaIo_HandleS{};
  board_session_close(&session);
  delete_api(&hal);
  return status;
}

void add_status(CLI::App &app, int *exit_status) {
  static status_opts_s opts;
  CLI::App *cmd = app.add_subcommand("status", "Fetch and decode the chip's status: each input VALID or why not, the DPLL state and offsets (once, "
      "or every few seconds with a timestamp on every line)");
  add_board_options(cmd, &opts.board);
  cmd->add_option("--every", opts.every, "Repeat every SECONDS until Ctrl-C (or --count times)");
  cmd->add_option("--count", opts.count, "How many times to fetch (default once; with --every, until Ctrl-C)");
  cmd->add_flag("--json", opts.json,
                "One JSON object per line per fetch: ok, messages, time, mode, dpll_state, inputs, the offsets "
                "and status_registers");
  cmd->add_flag("--raw", opts.raw, "Also print the raw status registers (VALSR1, VALSR2, IC1SR .. IC3SR, DSRR1)");
  cmd->callback([exit_status] { *exit_status = run_status(opts); });
}

}  // namespace

KOVACFG_COMMAND(add_status, 52);
