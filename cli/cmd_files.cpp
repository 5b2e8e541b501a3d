// kovacfg save, load, script and dump: a configuration to and from its files.
#include <cstdio>
#include <string>
#include <vector>

#include "app/device_settings.h"
#include "cli/commands.h"
#include "cli/config_options.h"
#include "cli/pipeline.h"
#include "cli/plan_report.h"
#include "cli/report.h"
#include "files/hal_config_file.h"
#include "files/mfg_script.h"
#include "files/register_dump.h"

namespace {

constexpr const char *kToolVersion = "kovacfg 0.1";

struct file_opts_s {
  config_options_s config;
  std::string path;
  bool json = false;
  bool verbose = false;
};

// Initialises the configuration and runs the whole pipeline. kExitOk, or the exit status
// after the messages (or the option error) were printed.
int prepare(const config_options_s &config, hal_api_s *hal, std::vector<std::string> *msgs) {
  option_error_s err;
  if (!config_initialise(config, hal, &err)) return cli_bad_options(err.message);
  *msgs = drain_messages(hal);
  bool regs_built = false;
  if (!cli_run_pipeline(hal, "regs", msgs, &regs_built)) {
    cli_print_messages(*msgs);
    std::fprintf(stderr, "kovacfg: the configuration does not calculate; nothing was written\n");
    return kExitEngineError;
  }
  return kExitOk;
}

int report(const file_message_s &msg, bool ok) {
  std::FILE *out = ok ? stdout : stderr;
  std::string text = msg.text;
  for (char &c : text)
    if (c == '\n') c = ' ';
  std::fprintf(out, "%s%s\n", ok ? "" : "kovacfg: ", text.c_str());
  return ok ? kExitOk : kExitEngineError;
}

int run_save(const file_opts_s &o) {
  hal_api_s hal{};
  std::vector<std::string> msgs;
  int status = prepare(o.config, &hal, &msgs);
  if (status == kExitOk) {
    file_message_s msg;
    const int product = __dev_ConvertHalToApiPartNumber(hal.kova_device_e);
    status = report(msg, hal_config_save_file(&hal, o.path.c_str(), product, &msg));
  }
  delete_api(&hal);
  return status;
}

int run_script(const file_opts_s &o) {
  hal_api_s hal{};
  std::vector<std::string> msgs;
  int status = prepare(o.config, &hal, &msgs);
  if (status == kExitOk) {
    file_message_s msg;
    int32_t code = 0;
    const bool written = mfg_save_file(&hal, o.path.c_str(), kToolVersion, &code, &msg);
    status = report(msg, written && code == 0);
  }
  delete_api(&hal);
  return status;
}

int run_dump(const file_opts_s &o) {
  hal_api_s hal{};
  std::vector<std::string> msgs;
  int status = prepare(o.config, &hal, &msgs);
  if (status == kExitOk) {
    uint8_t regs[KOVA_REG_COUNT];
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) regs[a] = static_cast<uint8_t>(get_reg(&hal, a));
    // The image stands in for the chip, which holds its revision in ID2's low four bits.
    regs[0x031] = static_cast<uint8_t>((regs[0x031] & 0xF0) | (hal.kova_device_rev_e & 0x0F));
    uint32_t dsp[KOVA_DSP_WORDS];
    for (uint32_t i = 0; i < KOVA_DSP_WORDS; ++i) dsp[i] = get_dsp_algo_word24(&hal, i);
    file_message_s msg;
    const int product = __dev_ConvertHalToApiPartNumber(hal.kova_device_e);
    status = report(msg, register_dump_write(&hal, o.path.c_str(), regs, dsp, product, &msg));
  }
  delete_api(&hal);
  return status;
}

// load FILE: the configuration text file, recalculated and printed as plan prints it.
int run_load(const file_opts_s &o) {
  config_options_s config = o.config;
  config.config_file = o.path;
  hal_api_s hal{};
  std::vector<std::string> msgs;
  option_error_s err;
  if (!config_initialise(config, &hal, &err)) {
    delete_api(&hal);
    return cli_bad_options(err.message);
  }
  msgs = drain_messages(&hal);
  bool regs_built = false;
  cli_run_pipeline(&hal, "regs", &msgs, &regs_built);
  cli_report_plan(&hal, msgs, regs_built, o.json, o.verbose, &err);
  delete_api(&hal);
  return messages_failed(msgs) ? kExitEngineError : kExitOk;
}

void add_files(CLI::App &app, int *exit_status) {
  static file_opts_s save, load, script, dump;
  CLI::App *s = app.add_subcommand("save", "Calculate a configuration and save it as a configuration text file");
  s->add_option("file", save.path, "The configuration text file to write")->required();
  add_config_options(s, &save.config);
  s->callback([exit_status] { *exit_status = run_save(save); });

  CLI::App *l = app.add_subcommand("load", "Load a configuration text file, recalculate it and print the plan");
  l->add_option("file", load.path, "The configuration text file to read")->required();
  add_config_change_options(l, &load.config);
  l->add_flag("--json", load.json, "Print one JSON object: ok, every message, fields, hz and registers");
  l->add_flag("-v,--verbose", load.verbose, "Print every message of the calculation");
  l->callback([exit_status] { *exit_status = run_load(load); });

  CLI::App *m = app.add_subcommand("script", "Write the configuration script (.mfg) of a configuration");
  m->add_option("-o,--output", script.path, "The script file to write")->required();
  add_config_options(m, &script.config);
  m->callback([exit_status] { *exit_status = run_script(script); });

  CLI::App *d = app.add_subcommand("dump", "Write the register dump of a configuration's register image");
  d->add_option("-o,--output", dump.path, "The dump file to write")->required();
  add_config_options(d, &dump.config);
  d->callback([exit_status] { *exit_status = run_dump(dump); });
}

}  // namespace

KOVACFG_COMMAND(add_files, 30);
