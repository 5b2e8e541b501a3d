// kovacfg plan: the frequency plan (and, as the engine grows, the registers) of a configuration.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/config_options.h"
#include "cli/plan_report.h"
#include "cli/report.h"
#include "hal/calc_expert.h"

namespace {

struct plan_opts_s {
  config_options_s config;
  bool json = false;
  std::string until = "expert";
};

int run_plan(const plan_opts_s &o) {
  hal_api_s hal{};
  option_error_s err;
  if (!config_initialise(o.config, &hal, &err)) {
    delete_api(&hal);
    return cli_bad_options(err.message);
  }
  std::vector<std::string> msgs = drain_messages(&hal);
  if (!messages_failed(msgs)) {
    calc_expert(&hal);
    for (auto &m : drain_messages(&hal)) msgs.push_back(std::move(m));
  }
  if (o.json) {
    cli_print_json(&hal, msgs);
  } else {
    print_plan_text(&hal);
    cli_print_messages(msgs);
  }
  delete_api(&hal);
  return messages_failed(msgs) ? kExitEngineError : kExitOk;
}

void add_plan(CLI::App &app, int *exit_status) {
  static plan_opts_s opts;
  CLI::App *cmd = app.add_subcommand("plan", "Compute the frequency plan of a configuration and print it with the messages");
  add_config_options(cmd, &opts.config, true);
  cmd->add_flag("--json", opts.json, "Print one JSON object: ok, messages and every field");
  cmd->add_option("--until", opts.until, "Last stage to run: expert")->check(CLI::IsMember({"expert"}))->capture_default_str();
  cmd->callback([exit_status] { *exit_status = run_plan(opts); });
}

}  // namespace

KOVACFG_COMMAND(add_plan, 20);
