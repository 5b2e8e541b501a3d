// kovacfg readback: the configuration of the chip on an evaluation board, read and derived
// from its registers. Afterwards the chip counts as holding the derived configuration.
#include <cstdio>
#include <string>
#include <vector>

#include "app/app_log.h"
#include "app/board_session.h"
#include "app/device_settings.h"
#include "app/run_control.h"
#include "cli/board_options.h"
#include "cli/commands.h"
#include "cli/inverse_report.h"
#include "cli/report.h"

namespace {

struct readback_opts_s {
  board_cli_s board;
  std::vector<std::string> known;
  bool json = false;
};

int run_readback(const readback_opts_s &o) {
  hal_api_s hal{};
  hal.init_api_mode_e = init_api_blank_e;
  init_api(&hal);
  std::string why;
  hal_api_s check{};  // the known frequencies are checked before the board is touched
  for (size_t i = 0; why.empty() && i < o.known.size(); ++i) cli_apply_known(o.known[i], &check, &why);
  if (!why.empty()) {
    delete_api(&hal);
    return cli_bad_options(why);
  }
  const auto board_failed = [&](const std::string &text) {
    std::fprintf(stderr, "kovacfg: %s\n", text.c_str());
    if (o.json) cli_print_json_failure({"ERROR: " + text});
    return kExitBoard;
  };
  board_session_s session;
  if (!board_session_open(board_cli_session(o.board), &session, &why)) {
    delete_api(&hal);
    if (session.failure == board_session_bad_option_e) return cli_bad_options(why);
    return board_failed(why);
  }
  __dev_GuiParams.ioHandle = session.handle;
  std::vector<uint8_t> regs(KOVA_REG_COUNT);
  int status = kExitOk;
  if (kxKovaIo_DutRegRead(&session.handle, 0, KOVA_REG_COUNT, regs.data())) {
    status = board_failed("reading the chip's registers failed");
  } else {
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) put_reg(&hal, a, regs[a]);
    // The device as ID2's product index names it: the ID table of the derivation does not
    // cover every device.
    const int32_t device = __dev_ConvertApiToHalPartNumber(session.product_index);
    if (device > 0) hal.kova_device_e = device;
    for (const auto &k : o.known) cli_apply_known(k, &hal, &why);
    status = cli_derive_and_report(&hal, o.json, o.known.empty());
    // The chip holds what was read: the next changes-only write starts from it.
    if (status == kExitOk) seq_written_set(&hal, regs.data());
  }
  __dev_GuiParams.ioHandle = kxKovaIo_HandleS{};
  board_session_close(&session);
  delete_api(&hal);
  return status;
}

void add_readback(CLI::App &app, int *exit_status) {
  static readback_opts_s opts;
  CLI::App *cmd = app.add_subcommand(
      "readback", "Read the chip on an evaluation board and derive its configuration from one known clock frequency");
  add_board_options(cmd, &opts.board);
  cmd->add_option("--known", opts.known,
                  kKnownHelp);
  cmd->add_flag("--json", opts.json, "Print one JSON object: ok, messages, fields and hz");
  cmd->callback([exit_status] { *exit_status = run_readback(opts); });
}

}  // namespace

KOVACFG_COMMAND(add_readback, 54);
