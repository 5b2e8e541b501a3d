// kovacfg init: a configuration initialised for a device and mode, with its limits.
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "cli/config_options.h"
#include "cli/report.h"
#include "hal/dsp_program.h"

namespace {

void print_modes(const hal_api_s *hal, const option_error_s *asked) {
  std::printf("Device:        KX%d revision %d\n", hal->kova_device_e, hal->kova_device_rev_e);
  std::printf("Mode:          %s\n", config_modes_text(hal, asked).c_str());
  std::printf("Jitter mode:   %d\n", hal->jitter_mode_e);
  std::printf("XA frequency:  %s\n", field_text(hal, hal_api_field_find("xa_freq_s")).c_str());
}

void print_group(const hal_api_s *hal, const char *group_prefix) {
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s *f = &hal_api_fields[i];
    const char *g = hal_api_field_group(f);
    if (g && std::strncmp(g, group_prefix, std::strlen(group_prefix)) == 0)
      std::printf("  %-38s %s\n", f->name, field_text(hal, f).c_str());
  }
}

// Notes when the DSP program in use has unknown words and the configuration runs the DPLL.
void note_dsp_program(const hal_api_s *hal) {
  if (!kova_device_has_dpll(hal->kova_device_e) || hal->kova_mode_e == kova_mode_syn_e) return;
  const uint32_t unknown = dsp_program_unknown_count();
  if (unknown)
    std::printf("Note: the DSP program in use has %u unknown words; load the real program with "
                "--dsp-program before writing it to a chip.\n", unknown);
}

int run_init(const config_options_s &opts, bool json) {
  hal_api_s hal{};
  option_error_s err;
  if (!config_initialise(opts, &hal, &err)) {
    delete_api(&hal);
    return cli_bad_options(err.message);
  }
  const auto msgs = drain_messages(&hal);
  if (json) {
    cli_print_json(&hal, msgs, !messages_failed(msgs));
  } else {
    print_modes(&hal, &err);
    cli_print_messages(msgs);
    std::printf("Limits:\n");
    print_group(&hal, "Limits");
    note_dsp_program(&hal);
  }
  delete_api(&hal);
  return messages_failed(msgs) ? kExitEngineError : kExitOk;
}

void add_init(CLI::App &app, int *exit_status) {
  static config_options_s opts;
  static bool json = false;
  CLI::App *cmd = app.add_subcommand(
      "init", "Initialise a configuration for a device and mode; print its modes, messages and limits");
  add_config_options(cmd, &opts);
  cmd->add_flag("--json", json, "Print one JSON object: ok, messages, fields and hz");
  cmd->callback([exit_status] { *exit_status = run_init(opts, json); });
}

}  // namespace

KOVACFG_COMMAND(add_init, 10);
