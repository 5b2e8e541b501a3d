// kovacfg apply: a configuration written to the chip on an evaluation board, the way the
// windows write it: recalculated through the run-control layer, the DSP program loaded in
// jitter attenuation, and the registers sent in bursts.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/app_log.h"
#include "app/board_session.h"
#include "app/run_control.h"
#include "app/device_settings.h"
#include "cli/board_options.h"
#include "cli/commands.h"
#include "cli/config_options.h"
#include "cli/pipeline.h"
#include "cli/plan_report.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "hal/dsp_program.h"
#include "regs/seq.h"

namespace {

struct apply_opts_s {
  config_options_s config;
  board_cli_s board;
  bool changes_only = false;
  bool json = false;
};

// The handle of the open session is the shell's board for the duration of the command.
struct shell_board_s {
  explicit shell_board_s(const kxKovaIo_HandleS &h) { __dev_GuiParams.ioHandle = h; }
  ~shell_board_s() { __dev_GuiParams.ioHandle = kxKovaIo_HandleS{}; }
};

std::string chip_name(int32_t device) {
  return device > 0 ? "KX" + std::to_string(device) : std::string("not a known device");
}

int run_apply(const apply_opts_s &o) {
  hal_api_s hal{};
  option_error_s err;
  if (!config_initialise(o.config, &hal, &err)) {
    delete_api(&hal);
    return cli_bad_options(err.message);
  }
  std::vector<std::string> msgs = drain_messages(&hal);
  int status = kExitOk;
  // A failure found outside the engine: on standard error, and in the JSON's messages.
  const auto fail = [&](int code, const std::string &why) {
    std::fprintf(stderr, "kovacfg: %s\n", why.c_str());
    msgs.push_back("ERROR: " + why);
    status = code;
  };
  board_session_s session;
  bool opened = false;
  if (messages_failed(msgs)) {
    status = kExitEngineError;
    if (!o.json) cli_print_notable_messages(msgs);
  } else {
    std::string why;
    opened = board_session_open(board_cli_session(o.board), &session, &why);
    if (!opened && session.failure == board_session_bad_option_e) {
      delete_api(&hal);
      return cli_bad_options(why);
    }
    if (!opened) fail(kExitBoard, why);
  }
  uint32_t written = 0;
  bool dsp = false;
  if (opened) {
    shell_board_s shell(session.handle);
    const int32_t chip_device = __dev_ConvertApiToHalPartNumber(session.product_index);
    // Device and revision not given: those of the board's chip.
    const bool stated = !o.config.config_file.empty();
    const bool take_device = !stated && o.config.device.empty() && chip_device > 0 && chip_device != hal.kova_device_e;
    const bool take_rev = !stated && o.config.rev < 0 && (session.revision == 0 || session.revision == 1) &&
                          session.revision != hal.kova_device_rev_e;
    if (take_device || take_rev) {
      config_options_s chip = o.config;
      if (take_device) chip.device = std::to_string(chip_device);
      if (take_rev) chip.rev = session.revision;
      delete_api(&hal);
      hal = hal_api_s{};
      option_error_s again;
      again.warn = false;  // the options' warnings were printed once already
      config_initialise(chip, &hal, &again);
      msgs = drain_messages(&hal);
      if (messages_failed(msgs)) {
        status = kExitEngineError;
        if (!o.json) cli_print_notable_messages(msgs);
      }
    }
    if (status == kExitOk && chip_device != hal.kova_device_e) {
      fail(kExitEngineError, "the board's chip is " + chip_name(chip_device) + "; the configuration is for KX" +
                                 std::to_string(hal.kova_device_e));
    } else if (status == kExitOk) {
      if (session.revision != hal.kova_device_rev_e) {
        const std::string w = "the configuration is for revision " + std::to_string(hal.kova_device_rev_e) +
                              "; the board's chip is revision " + std::to_string(session.revision);
        std::fprintf(stderr, "kovacfg: warning: %s\n", w.c_str());
        msgs.push_back("WARNING: " + w);
      }
      bool calculated = false;
      {
        cli_message_capture_s capture(&msgs);
        calculated = HalStruct_Recalculate(&hal);
      }
      for (auto &m : drain_messages(&hal)) msgs.push_back(std::move(m));
      if (!calculated || messages_failed(msgs)) {
        if (!o.json) cli_print_notable_messages(msgs);
        fail(kExitEngineError, "the configuration does not calculate; nothing was written");
      }
    }
    dsp = status == kExitOk && hal.kova_mode_e == kova_mode_ja_e && get_dsp_id_word16(&hal) != 0;
    if (dsp) {
      const uint32_t unknown = dsp_program_unknown_count();
      if (unknown && !session.emulator_installed) {
        fail(kExitEngineError, "the DSP program in use has " + std::to_string(unknown) +
                                   " unknown words: load the real program with --dsp-program before writing a chip");
      } else {
        uint32_t words[KOVA_DSP_WORDS], held[KOVA_DSP_WORDS];
        for (uint32_t i = 0; i < KOVA_DSP_WORDS; ++i) words[i] = get_dsp_algo_word24(&hal, i);
        // A changes-only apply leaves a DSP program in place that is already there: loading
        // it again stops the DPLL and rewrites MCR2 and DPLLCR1.
        const bool loaded = o.changes_only &&
                            kxkovaio_DspRamRead(&session.handle, 0, KOVA_DSP_WORDS, held) == 0 &&
                            std::equal(words, words + KOVA_DSP_WORDS, held);
        if (loaded) {
          dsp = false;
        } else if (kxkovaio_DspRamWrite(&session.handle, 0, KOVA_DSP_WORDS, words, get_dsp_id_word16(&hal))) {
          fail(kExitEngineError, "writing the DSP program failed (FT Error " + std::to_string(kxKovaIo_UsbError()) + ")");
        }
      }
    }
    if (status == kExitOk && o.changes_only) {
      // Only what differs from what the chip holds now goes out.
      std::vector<uint8_t> chip(KOVA_REG_COUNT);
      if (kxKovaIo_DutRegRead(&session.handle, 0, KOVA_REG_COUNT, chip.data()))
        fail(kExitBoard, "reading the chip's registers failed");
      else
        seq_written_set(&hal, chip.data());
    }
    if (status == kExitOk) {
      cli_progress_s bar("Writing registers");
      if (!HalUtil_WriteSequence(&__dev_GuiParams, &hal, o.changes_only, [&](uint32_t n) {
            written = n;
            bar(n, 0);
          }))
        fail(kExitEngineError, "writing the registers failed after " + std::to_string(written) +
                                   " bytes; what did not arrive is sent again by the next apply --changes-only");
    }
    for (auto &m : drain_messages(&hal)) msgs.push_back(std::move(m));
    std::string why;
    // The emulated chip keeps what was written only when its state is saved.
    if (!board_session_close(&session, &why) && status == kExitOk) fail(kExitEngineError, why);
  }
  if (o.json) {
    nlohmann::ordered_json extra;
    extra["registers_written"] = written;
    extra["dsp_program_written"] = dsp && status == kExitOk;
    cli_print_json(&hal, msgs, status == kExitOk, extra);
  } else if (status == kExitOk) {
    std::printf("Wrote %u register bytes%s to the KX%d on board %s.\n", written, dsp ? " and the DSP program" : "",
                hal.kova_device_e, o.board.session.board.empty() ? "0" : o.board.session.board.c_str());
  }
  delete_api(&hal);
  return status;
}

void add_apply(CLI::App &app, int *exit_status) {
  static apply_opts_s opts;
  CLI::App *cmd = app.add_subcommand("apply", "Calculate a configuration and write it to the chip on an evaluation board");
  add_config_options(cmd, &opts.config);
  add_board_options(cmd, &opts.board);
  cmd->add_flag("--changes-only", opts.changes_only,
                "Read the chip first and write only the registers that differ (default: every register)");
  cmd->add_flag("--json", opts.json, "Print one JSON object: ok, messages, fields, hz, registers_written, dsp_program_written");
  cmd->callback([exit_status] { *exit_status = run_apply(opts); });
}

}  // namespace

KOVACFG_COMMAND(add_apply, 50);
