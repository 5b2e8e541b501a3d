// kovacfg: the command-line front end of the configuration engine, for scripting,
// production and CI. Exit statuses: kExitStatusHelp below, the same for every command.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <iostream>
#include <utility>

#include "app/app_log.h"
#include "app/app_options.h"
#include "app/user_dialog.h"
#include "cli/commands.h"
#include "cli/report.h"

namespace {

std::vector<std::pair<int, cli_add_fn>> &registry() {
  static std::vector<std::pair<int, cli_add_fn>> commands;
  return commands;
}

// Messages of the shell go to standard error as "title: text"; questions are answered by
// --yes (yes) or left unanswered (no), so a script never waits for a person.
struct cli_dialog_s final : user_dialog_s {
  bool yes = false;
  void message(const std::string &text, const std::string &title) override {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
  }
  bool ask_yes_no(const std::string &text, const std::string &title) override {
    std::fprintf(stderr, "%s: %s %s\n", title.c_str(), text.c_str(), yes ? "(yes: --yes)" : "(no: give --yes to answer yes)");
    return yes;
  }
};

const char *const kExitStatusHelp =
    "Exit status (every command):\n"
    "  0  done\n"
    "  1  failed: the engine reported an error, or a file or a write failed\n"
    "  2  bad options: one line on standard error names the option\n"
    "  3  eeprom verify: the EEPROM holds other contents than the image\n"
    "  4  the board could not be reached or read\n";

std::string version_text() {
  char engine[16];
  std::snprintf(engine, sizeof engine, "0x%08X", KOVA_HAL_API_VERSION);
  return std::string("kovacfg ") + kKovacfgVersion + ", engine " + engine;
}

// The exit status once everything written is known to have arrived: a log line or standard
// output that could not be written to the end (a full disk, /dev/full) fails the command.
int written_out(int status) {
  std::string why;
  if (app_log_failed(&why)) {
    std::fprintf(stderr, "kovacfg: --log: %s\n", why.c_str());
    if (status == kExitOk) status = kExitEngineError;
  }
  std::cout.flush();
  errno = 0;
  bool failed = std::fflush(stdout) != 0;
  if (!failed && std::ferror(stdout)) {
    // An earlier write failed: one more byte asks the output for its reason.
    std::clearerr(stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    failed = true;
  }
  if (failed) {
    std::fprintf(stderr, "kovacfg: standard output: %s\n", errno ? std::strerror(errno) : "write error");
    if (status == kExitOk) status = kExitEngineError;
  }
  return status;
}

}  // namespace

int cli_register(cli_add_fn add, int order) {
  registry().emplace_back(order, add);
  return 0;
}

int cli_bad_options(const std::string &message) {
  std::fprintf(stderr, "kovacfg: error: %s\n", message.c_str());
  return kExitBadOptions;
}

void cli_print_messages(const std::vector<std::string> &msgs) {
  if (msgs.empty()) return;
  std::printf("Messages:\n");
  for (const auto &m : msgs) std::printf("  %s\n", m.c_str());
}

void cli_print_json(const hal_api_s *hal, const std::vector<std::string> &msgs, bool ok,
                    const nlohmann::ordered_json &extra) {
  nlohmann::ordered_json j;
  j["ok"] = ok;
  j["messages"] = msgs;
  j["fields"] = fields_json(hal);
  j["hz"] = hz_json(hal);
  for (auto it = extra.begin(); it != extra.end(); ++it) j[it.key()] = it.value();
  std::cout << j.dump(2) << "\n";
}

void cli_print_json_failure(const std::vector<std::string> &msgs) {
  nlohmann::ordered_json j;
  j["ok"] = false;
  j["messages"] = msgs;
  std::cout << j.dump(2) << "\n";
}

int main(int argc, char **argv) {
  CLI::App app{"kovacfg: configure and evaluate Kova clock chips"};
  app.require_subcommand(0, 1);
  app.set_version_flag("--version", version_text(), "Print the tool's and the engine's versions");
  app.footer(kExitStatusHelp);
  int exit_status = kExitOk;
  static cli_dialog_s dialog;
  std::string log_file;
  bool super_user = false;
  app.add_option("--log", log_file, "Append the application log to FILE (stage lines only with --su)");
  app.add_flag("--su", super_user, "Super-user mode: log every line, offer every device");
  app.add_flag("--yes", dialog.yes, "Answer yes to the questions a command asks (for example before a reset)");
  app.parse_complete_callback([&] {
    app_set_dialog(&dialog);
    SuperUserModeSet(super_user);
    if (!log_file.empty()) {
      if (!app_set_log_file(&__dev_GuiParams, log_file)) throw CLI::ValidationError("--log", "file name too long");
      std::string why;
      if (!app_log_check(&__dev_GuiParams, &why)) throw CLI::ValidationError("--log", "cannot append to " + why);
      __dev_GuiParams.log.enabled = 1;
      app_log_state_process(&__dev_GuiParams);
    }
  });
  auto &commands = registry();
  std::stable_sort(commands.begin(), commands.end(),
                   [](const auto &a, const auto &b) { return a.first < b.first; });
  for (const auto &c : commands) c.second(app, &exit_status);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    return cli_bad_options(e.what());
  }
  if (app.get_subcommands().empty()) {
    std::cout << app.help();
    return written_out(kExitOk);
  }
  return written_out(exit_status);
}
