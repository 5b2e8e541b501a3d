// kovacfg run: the script runner. Validates a configuration script, runs its register writes
// and waits offline on the register image or on the chip of a board, and derives the
// configuration from the resulting register values.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/board_session.h"
#include "app/device_settings.h"
#include "app/script_board.h"
#include "cli/commands.h"
#include "cli/report.h"
#include "files/register_dump.h"
#include "files/script_runner.h"

namespace {

constexpr int kExitUnreadable = 4;

struct run_opts_s {
  std::string script;
  bool on_board = false;
  CLI::Option *emulator = nullptr;
  board_session_opts_s session;
  bool reinit = false;
  bool quiet = false;
  bool no_inverse = false;
  std::string known;
  std::string save_regs;
  std::string save_config;
};

void print_message(void *, const std::string &text, const std::string &title) {
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

struct clock_s {
  const char *name;
  fprec_s hal_api_s::*field;
};
constexpr clock_s kClocks[] = {{"XA", &hal_api_s::xa_freq_s},   {"IC1", &hal_api_s::ic1_freq_s},
                               {"IC2", &hal_api_s::ic2_freq_s}, {"IC3", &hal_api_s::ic3_freq_s},
                               {"OC1", &hal_api_s::oc1_freq_s}, {"OC2", &hal_api_s::oc2_freq_s},
                               {"OC3", &hal_api_s::oc3_freq_s}};

// --known CLOCK=HZ: the one frequency the inverse step needs when the script names none.
bool parse_known(const std::string &text, const clock_s **clock, uint32_t *hz) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return false;
  const std::string name = cli_upper(text.substr(0, eq));
  const std::string v = text.substr(eq + 1);
  if (v.empty() || v.size() > 10 || v.find_first_not_of("0123456789") != std::string::npos) return false;
  const unsigned long long n = std::stoull(v);
  if (n == 0 || n > 0xFFFFFFFFull) return false;
  for (const auto &c : kClocks)
    if (name == c.name) {
      *clock = &c;
      *hz = static_cast<uint32_t>(n);
      return true;
    }
  return false;
}

struct known_ctx_s {
  const clock_s *clock = nullptr;
  uint32_t hz = 0;
};

void print_configuration(const hal_api_s *hal) {
  const char *mode = kova_mode_label(hal->kova_mode_e);
  std::printf("Configuration: KX%d revision %d, mode %s\n", hal->kova_device_e, hal->kova_device_rev_e,
              mode ? mode : "?");
  for (const auto &c : kClocks) {
    const fprec_s f = hal->*c.field;
    if (f.f) std::printf("  %-3s %u * (%u) / (%u) Hz\n", c.name, f.f, f.n, f.m);
  }
}

int run_script(run_opts_s o) {
  o.session.emulator = o.emulator->count() > 0;
  known_ctx_s known;
  if (!o.known.empty() && !parse_known(o.known, &known.clock, &known.hz))
    return cli_bad_options("--known: CLOCK=HZ with CLOCK one of XA, IC1, IC2, IC3, OC1, OC2, OC3, not " + o.known);

  script_runner_s r;
  r.reinit = o.reinit;
  file_message_s msg;
  if (!script_load_file(&r, o.script, &msg)) {
    std::fprintf(stderr, "kovacfg: %s\n", msg.text.c_str());
    return kExitEngineError;
  }
  board_session_s s;
  script_target_s t;
  // A board is used when one is named or enabled, as by every other board command.
  const char *emulated = std::getenv("KOVA_EMULATED_BOARD");
  const bool board = o.on_board || o.session.emulator || (emulated && *emulated);
  if (board) {
    std::string err;
    if (!board_session_open(o.session, &s, &err)) {
      if (s.failure == board_session_bad_option_e) return cli_bad_options(err);
      std::fprintf(stderr, "kovacfg: %s\n", err.c_str());
      return kExitUnreadable;
    }
    t = script_board_target(&s.handle);
  }
  t.message = print_message;

  hal_api_s hal{};
  hal.init_api_mode_e = init_api_blank_e;
  init_api(&hal);
  const bool ran = script_validate(&r, &t) && script_execute(&r, &hal, &t);
  // The answer to the inverse step's question, given beforehand: used only when the script
  // names no clock frequency.
  bool named = false;
  for (const auto &c : kClocks) named = named || (hal.*c.field).f != 0;
  if (ran && !named && known.clock) hal.*(known.clock->field) = {known.hz, 1, 1};
  const bool derived = ran && !o.no_inverse && script_inverse(&r, &hal, &t);
  std::string close_error;
  const bool closed = !board || board_session_close(&s, &close_error);

  if (!o.quiet)
    for (const auto &l : r.log) std::printf("%s\n", l.c_str());
  for (const auto &e : r.errors) std::fprintf(stderr, "kovacfg: %s:%d: %s\n", o.script.c_str(), e.line, e.reason.c_str());
  // What the board I/O found wrong on the way (a DSP load that failed, and why).
  kxKovaIo_MessageS m;
  while (board && kxKovaIo_MessageGet(&m)) std::fprintf(stderr, "%s: %s\n", m.title, m.text);
  const std::vector<std::string> msgs = drain_messages(&hal);
  cli_print_messages(msgs);
  int status = ran ? kExitOk : kExitEngineError;
  if (ran) std::printf("Ran %s %s\n", o.script.c_str(), board ? "on the board" : "offline");
  if (ran && !o.no_inverse) {
    if (derived) {
      print_configuration(&hal);
    } else {
      std::fprintf(stderr, "kovacfg: the configuration could not be derived from the registers%s\n",
                   r.log.back() == "Inverse configuration needs one known clock frequency"
                       ? ": the script names no clock frequency; give one with --known CLOCK=HZ"
                       : "");
      status = kExitEngineError;
    }
  }
  if (ran && !o.save_regs.empty()) {
    uint8_t regs[KOVA_REG_COUNT];
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) regs[a] = static_cast<uint8_t>(get_reg(&hal, a));
    file_message_s m;
    if (!register_config_write(o.save_regs.c_str(), regs, false, &m)) {
      std::fprintf(stderr, "kovacfg: %s\n", m.text.c_str());
      status = kExitEngineError;
    }
  }
  if (derived && !o.save_config.empty()) {
    file_message_s m;
    if (!hal_config_save_file(&hal, o.save_config.c_str(), __dev_ConvertHalToApiPartNumber(hal.kova_device_e), &m)) {
      std::fprintf(stderr, "kovacfg: %s\n", m.text.c_str());
      status = kExitEngineError;
    }
  }
  if (!closed) {
    std::fprintf(stderr, "kovacfg: %s\n", close_error.c_str());
    if (status == kExitOk) status = kExitEngineError;
  }
  delete_api(&hal);
  return status;
}

void add_run(CLI::App &app, int *exit_status) {
  static run_opts_s o;
  CLI::App *cmd = app.add_subcommand(
      "run", "Validate a configuration script, run it (offline on the register image, or with --board or "
             "--emulator on a board's chip) and derive the configuration from the registers. Bad lines are "
             "listed as FILE:LINE: reason. Exit status: 0 done, 1 the script has bad lines, could not be read "
             "or gives no configuration, 2 bad options, 4 the board could not be reached.");
  cmd->add_option("script", o.script, "Configuration script (.mfg)")->required();
  auto *board = cmd->add_option("--board", o.session.board,
                                "Run on this board: list index, serial or USB location (see kovacfg board list)");
  board->each([](const std::string &) { o.on_board = true; });
  o.emulator = cmd->add_flag("--emulator{}", o.session.emulator_devices,
                             "Run on an emulated board; --emulator=DEVICES names the devices, such as 40000 "
                             "(default: KOVA_EMULATED_BOARD, else 40089)");
  cmd->add_flag("--reinit", o.reinit, "Reset the chip and write the reset defaults before the script");
  cmd->add_flag("-q,--quiet", o.quiet, "Do not print the run log");
  cmd->add_flag("--no-inverse", o.no_inverse, "Only run the script; do not derive the configuration");
  cmd->add_option("--known", o.known,
                  "CLOCK=HZ: a known clock frequency for deriving the configuration when the script names none");
  cmd->add_option("--save-regs", o.save_regs, "Write the resulting register values to a register configuration file");
  cmd->add_option("--save-config", o.save_config, "Write the derived configuration to a configuration text file");
  cmd->callback([exit_status] { *exit_status = run_script(o); });
}

}  // namespace

KOVACFG_COMMAND(add_run, 70);
