// A progress bar on standard error when it is a terminal; Ctrl-C asks the operation to stop
// at its next safe point (between pages or bursts).
#pragma once
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

inline volatile std::sig_atomic_t g_cli_interrupted = 0;
inline void cli_on_interrupt(int) { g_cli_interrupted = 1; }

struct cli_progress_s {
  const char *what;
  bool tty = isatty(STDERR_FILENO) != 0;
  bool shown = false;
  void (*previous)(int) = nullptr;

  explicit cli_progress_s(const char *w) : what(w) {
    g_cli_interrupted = 0;
    previous = std::signal(SIGINT, cli_on_interrupt);
  }
  ~cli_progress_s() {
    finish();
    std::signal(SIGINT, previous);
  }
  cli_progress_s(const cli_progress_s &) = delete;
  cli_progress_s &operator=(const cli_progress_s &) = delete;

  // Shows done of total (total 0: a count without a bar). False once the user pressed Ctrl-C.
  bool operator()(uint32_t done, uint32_t total) {
    if (tty) {
      if (total) {
        const int width = 40, filled = static_cast<int>(static_cast<uint64_t>(done) * width / total);
        std::fprintf(stderr, "\r%s [%s%s] %u/%u bytes", what, std::string(filled, '#').c_str(),
                     std::string(width - filled, '.').c_str(), done, total);
      } else {
        std::fprintf(stderr, "\r%s %u bytes", what, done);
      }
      std::fflush(stderr);
      shown = true;
    }
    return !g_cli_interrupted;
  }
  void finish() {
    if (shown) std::fprintf(stderr, "\n");
    shown = false;
  }
};
