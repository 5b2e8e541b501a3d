// kovacfg: the command-line front end of the configuration engine, for scripting,
// production and CI. Exit status: 0 done, 1 the engine or the board reported an error,
// 2 bad options.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <utility>

#include "cli/commands.h"
#include "cli/report.h"

namespace {

std::vector<std::pair<int, cli_add_fn>> &registry() {
  static std::vector<std::pair<int, cli_add_fn>> commands;
  return commands;
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

void cli_print_json(const hal_api_s *hal, const std::vector<std::string> &msgs, const nlohmann::ordered_json &extra) {
  nlohmann::ordered_json j;
  j["ok"] = !messages_failed(msgs);
  j["messages"] = msgs;
  j["fields"] = fields_json(hal);
  for (auto it = extra.begin(); it != extra.end(); ++it) j[it.key()] = it.value();
  std::cout << j.dump(2) << "\n";
}

int main(int argc, char **argv) {
  CLI::App app{"kovacfg: configure and evaluate Kova clock chips"};
  app.require_subcommand(0, 1);
  int exit_status = kExitOk;
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
  } catch (const CLI::ParseError &e) {
    return cli_bad_options(e.what());
  }
  if (app.get_subcommands().empty()) return cli_run_default();
  return exit_status;
}
