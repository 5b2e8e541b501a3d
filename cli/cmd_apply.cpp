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

int fail(const std::string &why) {
  std::fprintf(stderr, "kovacfg: %s\n", why.c_str());
  return kExitEngineError;
}

int run_apply(const apply_opts_s &o) {
  hal_api_s hal{};
  option_error_s err;
  if (!config_initialise(o.config, &hal, &err)) {
    delete_api(&hal);
    return cli_bad_options(err.message);
  }
  std::vector<std::string> msgs = drain_messages(&hal);
  if (messages_failed(msgs)) {
    cli_print_messages(msgs);
    delete_api(&hal);
    return kExitEngineError;
  }
  board_session_s session;
  std::string why;
  if (!board_session_open(board_cli_session(o.board), &session, &why)) {
    delete_api(&hal);
    return session.failure == board_session_bad_option_e ? cli_bad_options(why) : fail(why);
  }
  int status = kExitOk;
  {
    shell_board_s shell(session.handle);
    const int32_t chip_device = __dev_ConvertApiToHalPartNumber(session.product_index);
    if (chip_device != hal.kova_device_e) {
      status = fail("the board's chip is " +
                    (chip_device > 0 ? "KX" + std::to_string(chip_device) : std::string("not a known device")) +
                    "; the configuration is for KX" + std::to_string(hal.kova_device_e));
    } else if (!HalStruct_Recalculate(&hal)) {
      status = fail("the configuration does not calculate (kovacfg plan shows why)");
    }
    bool dsp = status == kExitOk && hal.kova_mode_e == kova_mode_ja_e && get_dsp_id_word16(&hal) != 0;
    if (dsp) {
      const uint32_t unknown = dsp_program_unknown_count();
      if (unknown && !session.emulator_installed) {
        status = fail("the DSP program in use has " + std::to_string(unknown) +
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
          status = fail("writing the DSP program failed (FT Error " + std::to_string(kxKovaIo_UsbError()) + ")");
        }
      }
    }
    uint32_t written = 0;
    if (status == kExitOk) {
      if (o.changes_only) {
        // Only what differs from what the chip holds now goes out.
        std::vector<uint8_t> chip(KOVA_REG_COUNT);
        if (kxKovaIo_DutRegRead(&session.handle, 0, KOVA_REG_COUNT, chip.data())) {
          status = fail("reading the chip's registers failed");
        } else {
          seq_written_set(&hal, chip.data());
        }
      }
      if (status == kExitOk) {
        cli_progress_s bar("Writing registers");
        if (!HalUtil_WriteSequence(&__dev_GuiParams, &hal, o.changes_only, [&](uint32_t n) {
              written = n;
              bar(n, 0);
            }))
          status = fail("writing the registers failed after " + std::to_string(written) +
                        " bytes; what did not arrive is sent again by the next apply --changes-only");
      }
    }
    for (auto &m : drain_messages(&hal)) msgs.push_back(std::move(m));
    if (o.json) {
      nlohmann::ordered_json extra;
      extra["registers_written"] = written;
      extra["dsp_program_written"] = dsp && status == kExitOk;
      cli_print_json(&hal, msgs, extra);
    } else if (status == kExitOk) {
      std::printf("Wrote %u register bytes%s to the KX%d on board %s.\n", written,
                  dsp ? " and the DSP program" : "", hal.kova_device_e,
                  o.board.session.board.empty() ? "0" : o.board.session.board.c_str());
    }
  }
  board_session_close(&session);
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
  cmd->add_flag("--json", opts.json, "Print one JSON object: ok, messages, fields, registers_written");
  cmd->callback([exit_status] { *exit_status = run_apply(opts); });
}

}  // namespace

KOVACFG_COMMAND(add_apply, 50);
