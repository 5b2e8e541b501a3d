// Running kovacfg as a user runs it, for the command-line tests.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace kovacfg_test {

struct run_result_s {
  int status;
  std::string out;
  std::string err;
};

// A scratch folder of this process (ctest runs test cases as parallel processes), removed
// with everything in it when the process ends.
struct scratch_s {
  std::string dir = ::testing::TempDir() + "/kovacfg_" + std::to_string(getpid());
  scratch_s() { std::filesystem::create_directories(dir); }
  ~scratch_s() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

// A file name in the scratch folder.
inline std::string tmp(const std::string &name) {
  static const scratch_s scratch;
  return scratch.dir + "/" + name;
}

// Runs kovacfg with the arguments and the environment settings given ("NAME=value ...").
// The board settings of the caller's environment are cleared first, so that a developer's
// own KOVA_EMULATED_BOARD cannot change what a test sees; standard input is empty.
inline run_result_s run(const std::string &args, const std::string &env = "") {
  const std::string err_path = tmp("stderr.txt");
  const std::string cmd = "env -u KOVA_EMULATED_BOARD -u KOVA_EMULATED_BOARD_STATE -u KOVA_USB_TRACE " + env + " " +
                          std::string(KOVACFG_PATH) + " " + args + " 2>" + err_path + " </dev/null";
  run_result_s r{};
  FILE *p = popen(cmd.c_str(), "r");
  if (!p) return {-1, "", "popen failed"};
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  if (FILE *e = fopen(err_path.c_str(), "r")) {
    while ((n = fread(buf, 1, sizeof buf, e)) > 0) r.err.append(buf, n);
    fclose(e);
  }
  return r;
}

// run() with every file kovacfg writes limited to a few kbyte, as on a disk that fills
// up: a write beyond fails with "File too large" (the signal of the limit is ignored).
inline run_result_s run_on_a_full_disk(const std::string &args, const std::string &env = "") {
  return run(args, env + " sh -c 'trap \"\" XFSZ; ulimit -f 4; exec \"$0\" \"$@\"'");
}

inline std::string read_all(const std::string &path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// The lines of a file.
inline std::vector<std::string> lines_of(const std::string &path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// Writes text to a file of tmp(name) and returns its path.
inline std::string write_tmp(const std::string &name, const std::string &text) {
  const std::string path = tmp(name);
  std::ofstream(path) << text;
  return path;
}

// The JSON object a command printed on standard output (discarded when there is none).
inline nlohmann::json json_of(const run_result_s &r) {
  return nlohmann::json::parse(r.out, nullptr, false);
}

}  // namespace kovacfg_test
