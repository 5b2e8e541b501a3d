// kovacfg plan: the frequency plan and the register image of a configuration.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/config_options.h"
#include "cli/pipeline.h"
#include "cli/plan_report.h"
#include "cli/report.h"
#include "regs/regmap.h"

namespace {

struct plan_opts_s {
  config_options_s config;
  bool json = false;
  std::string until = "regs";
};

int run_plan(const plan_opts_s &o) {
  hal_api_s hal{};
  option_error_s err;
  if (!config_initialise(o.config, &hal, &err)) {
    delete_api(&hal);
    return cli_bad_options(err.message);
  }
  std::vector<std::string> msgs = drain_messages(&hal);
  bool regs_built = false;
  cli_run_pipeline(&hal, o.until, &msgs, &regs_built);
  if (o.json) {
    nlohmann::ordered_json extra = nlohmann::ordered_json::object();
    if (regs_built) {
      nlohmann::ordered_json regs = nlohmann::ordered_json::array();
      for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) regs.push_back(get_reg(&hal, a));
      extra["registers"] = regs;
    }
    cli_print_json(&hal, msgs, extra);
  } else {
    print_plan_text(&hal);
    if (regs_built) {
      std::printf("Registers that differ from their reset defaults:\n");
      for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) {
        const uint32_t v = get_reg(&hal, a);
        if (v == kova_regs_defaults(a)) continue;
        const char *name = kova_reg_name(a);
        std::printf("  0x%03X %-10s 0x%02X\n", a, name ? name : "-", v);
      }
    }
    cli_print_messages(msgs);
  }
  delete_api(&hal);
  return messages_failed(msgs) ? kExitEngineError : kExitOk;
}

void add_plan(CLI::App &app, int *exit_status) {
  static plan_opts_s opts;
  CLI::App *cmd = app.add_subcommand("plan", "Compute the frequency plan and the registers of a configuration and print them with the messages");
  add_config_options(cmd, &opts.config);
  cmd->add_flag("--json", opts.json, "Print one JSON object: ok, messages and every field");
  cmd->add_option("--until", opts.until, "Last stage to run: expert (frequency plan), hal (register values) or regs (register image)")
      ->check(CLI::IsMember({"expert", "hal", "regs"}))
      ->capture_default_str();
  cmd->callback([exit_status] { *exit_status = run_plan(opts); });
}

}  // namespace

KOVACFG_COMMAND(add_plan, 20);
