// kovacfg plan: the frequency plan and the register image of a configuration.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/config_options.h"
#include "cli/pipeline.h"
#include "cli/plan_report.h"
#include "cli/report.h"

namespace {

struct plan_opts_s {
  config_options_s config;
  bool json = false;
  bool verbose = false;
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
  cli_report_plan(&hal, msgs, regs_built, o.json, o.verbose, &err);
  delete_api(&hal);
  return messages_failed(msgs) ? kExitEngineError : kExitOk;
}

void add_plan(CLI::App &app, int *exit_status) {
  static plan_opts_s opts;
  CLI::App *cmd = app.add_subcommand("plan", "Compute the frequency plan and the registers of a configuration and print them with the warnings and errors");
  add_config_options(cmd, &opts.config);
  cmd->add_flag("--json", opts.json, "Print one JSON object: ok, every message, fields, hz and registers");
  cmd->add_flag("-v,--verbose", opts.verbose, "Print every message of the calculation (the output solver's listing too)");
  cmd->add_option("--until", opts.until, "Last stage to run: expert (frequency plan), hal (register values) or regs (register image)")
      ->check(CLI::IsMember({"expert", "hal", "regs"}))
      ->capture_default_str();
  cmd->callback([exit_status] { *exit_status = run_plan(opts); });
}

}  // namespace

KOVACFG_COMMAND(add_plan, 20);
