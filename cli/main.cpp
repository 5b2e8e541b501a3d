// kovacfg: the command-line front end of the configuration engine, for scripting,
// production and CI. Exit status: 0 done, 1 the engine reported an error, 2 bad options.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/config_options.h"
#include "cli/report.h"
#include "hal/dsp_program.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitEngineError = 1;
constexpr int kExitBadOptions = 2;

int bad_options(const std::string &message) {
  std::fprintf(stderr, "kovacfg: error: %s\n", message.c_str());
  return kExitBadOptions;
}

void print_messages(const std::vector<std::string> &msgs) {
  if (msgs.empty()) return;
  std::printf("Messages:\n");
  for (const auto &m : msgs) std::printf("  %s\n", m.c_str());
}

const char *label_or(const char *label, const char *fallback) { return label ? label : fallback; }

void print_modes(const hal_api_s *hal) {
  std::printf("Device:        KX%d revision %d\n", hal->kova_device_e, hal->kova_device_rev_e);
  std::printf("Mode:          %s\n", label_or(kova_mode_label(hal->kova_mode_e), "?"));
  std::printf("XA mode:       %d (%s)\n", hal->xa_mode_e, label_or(xa_mode_label(hal->xa_mode_e), "?"));
  std::printf("System clock:  %s\n", label_or(sysclk_mode_label(hal->sysclk_mode_e), "?"));
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

void print_json(const hal_api_s *hal, const std::vector<std::string> &msgs) {
  nlohmann::ordered_json j;
  j["ok"] = !messages_failed(msgs);
  j["messages"] = msgs;
  j["fields"] = fields_json(hal);
  std::cout << j.dump(2) << "\n";
}

// Warns once when a DSP program with unknown words is in use for a DPLL device.
void note_dsp_program(const hal_api_s *hal, bool json) {
  if (json || !kova_device_has_dpll(hal->kova_device_e) || hal->kova_mode_e == kova_mode_syn_e) return;
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
    return bad_options(err.message);
  }
  const auto msgs = drain_messages(&hal);
  if (json) {
    print_json(&hal, msgs);
  } else {
    print_modes(&hal);
    print_messages(msgs);
    std::printf("Limits:\n");
    print_group(&hal, "Limits");
    note_dsp_program(&hal, json);
  }
  delete_api(&hal);
  return messages_failed(msgs) ? kExitEngineError : kExitOk;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"kovacfg: configure and evaluate Kova clock chips"};
  app.require_subcommand(0, 1);

  config_options_s init_opts;
  bool init_json = false;
  CLI::App *init = app.add_subcommand("init", "Initialise a configuration for a device and mode; print its modes, messages and limits");
  add_config_options(init, &init_opts, false);
  init->add_flag("--json", init_json, "Print one JSON object: ok, messages and every field");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    return bad_options(e.what());
  }

  // The main job without a command: initialise the default device.
  if (app.get_subcommands().empty() || init->parsed()) return run_init(init_opts, init_json);
  return kExitOk;
}
