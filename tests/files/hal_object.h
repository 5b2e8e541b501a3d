// What the file tests share: a configuration object initialised with its messages drained
// (by default a KX40000 in jitter attenuation), and paths and contents of scratch files.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "hal/hal_api.h"

struct Hal {
  hal_api_s h{};
  explicit Hal(int32_t device = kova_device_40000_e, int32_t mode = kova_mode_ja_e) {
    h.kova_device_e = device;
    h.kova_mode_e = mode;
    h.xa_mode_e = xa_mode_xo_e;
    h.sysclk_mode_e = mode == kova_mode_syn_e ? sysclk_mode_ro_e : sysclk_mode_xa_e;
    init_api(&h);
    while (get_msg(&h)) {
    }
  }
  ~Hal() { delete_api(&h); }
  Hal(const Hal &) = delete;
  Hal &operator=(const Hal &) = delete;
  hal_api_s *operator->() { return &h; }
  hal_api_s *get() { return &h; }
};

// A file name in the test's temporary folder, unique to this process.
inline std::string temp_path(const std::string &name) {
  return ::testing::TempDir() + "/kova_files_" + std::to_string(getpid()) + "_" + name;
}

inline std::string read_all(const std::string &path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

