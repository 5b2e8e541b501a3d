// kovacfg status: the chip's DPLL status, fetched and decoded as the status window shows it,
// once or every few seconds.
#include <chrono>
#include <cstdio>
#include <thread>
#include <string>
#include <vector>

#include "app/app_log.h"
#include "app/board_session.h"
#include "app/device_settings.h"
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
};

// Status registers shown raw: validity and the inputs' monitor states.
constexpr uint32_t kRawStatus[] = {0x04E, 0x04F, 0x050, 0x051, 0x052};

void print_once(const hal_api_s *h, bool json) {
  if (json) {
    nlohmann::ordered_json j;
    j["mode"] = h->kova_mode_e;
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
  if (h->kova_mode_e != kova_mode_ja_e) {
    std::printf("The chip runs in %s mode: the DPLL status applies to jitter attenuation only.\n",
                kova_mode_label(h->kova_mode_e) ? kova_mode_label(h->kova_mode_e) : "an unknown");
  } else {
    std::printf("Output frequency offset   %+.6f ppm\n", h->output_freq_offset_ppm_r);
    std::printf("Input phase offset        %+.3f ns\n", h->input_phase_offset_ns_r);
    std::printf("Loop filter (integral)    %+.6f ppm\n", h->dpll_lfint_offset_ppm_r);
    std::printf("Loop filter (proportional)%+.6f ppm\n", h->dpll_lfprop_offset_ppm_r);
    std::printf("Holdover frequency        %+.6f ppm\n", h->ho_freq_offset_ppm_r);
    std::printf("Frequency-change limit    %+.6f ppm\n", h->fchlim_freq_offset_ppm_r);
    std::printf("Phase fix                 %+.3f ns\n", h->pfix_phase_offset_ns_r);
    std::printf("Phase-slope limit input   %+.3f ns\n", h->pslim_input_phase_ns_r);
  }
  for (uint32_t a : kRawStatus) std::printf("%-8s (0x%03X)          0x%02X\n", kova_reg_name(a), a, get_reg(h, a));
}

int run_status(const status_opts_s &o) {
  if (!(o.every >= 0 && o.every <= 86400)) return cli_bad_options("--every: a time in seconds from 0 to 86400");
  if (o.count < 0) return cli_bad_options("--count: 0 or more");
  board_session_s session;
  std::string why;
  if (!board_session_open(board_cli_session(o.board), &session, &why)) {
    if (session.failure == board_session_bad_option_e) return cli_bad_options(why);
    std::fprintf(stderr, "kovacfg: %s\n", why.c_str());
    return kExitEngineError;
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
    status = kExitEngineError;
  } else {
    inverse_regs_to_fields(&hal);
    // The device as the board session read it from ID2 (its product index): the ID table of
    // the detection does not cover every device.
    const int32_t device = __dev_ConvertApiToHalPartNumber(session.product_index);
    if (device > 0) hal.kova_device_e = device;
    if (inverse_detect_modes(&hal)) {
      for (const auto &m : drain_messages(&hal)) std::fprintf(stderr, "kovacfg: %s\n", m.c_str());
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
      status = kExitEngineError;
      break;
    }
    print_once(&hal, o.json);
    std::fflush(stdout);
  }
  __dev_GuiParams.ioHandle = kxKovaIo_HandleS{};
  board_session_close(&session);
  delete_api(&hal);
  return status;
}

void add_status(CLI::App &app, int *exit_status) {
  static status_opts_s opts;
  CLI::App *cmd = app.add_subcommand("status", "Fetch and decode the chip's DPLL status (once, or every few seconds)");
  add_board_options(cmd, &opts.board);
  cmd->add_option("--every", opts.every, "Repeat every SECONDS until Ctrl-C (or --count times)");
  cmd->add_option("--count", opts.count, "How many times to fetch (default once; with --every, until Ctrl-C)");
  cmd->add_flag("--json", opts.json, "One JSON object per line per fetch");
  cmd->callback([exit_status] { *exit_status = run_status(opts); });
}

}  // namespace

KOVACFG_COMMAND(add_status, 52);
