// What the shell-core tests share: a dialog that records what it is shown, a log file of the
// test's own, and an engine object that is released at the end of its scope.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/app_log.h"
#include "app/app_options.h"
#include "app/user_dialog.h"
#include "hal/hal_api.h"

// Installed as the application's dialog while it lives; every message and question is kept
// with its title, and questions get `answer`.
struct recording_dialog_s final : user_dialog_s {
  std::vector<std::pair<std::string, std::string>> shown;  // text, title
  bool answer = false;
  recording_dialog_s() { app_set_dialog(this); }
  ~recording_dialog_s() override { app_set_dialog(nullptr); }
  void message(const std::string &text, const std::string &title) override { shown.emplace_back(text, title); }
  bool ask_yes_no(const std::string &text, const std::string &title) override {
    shown.emplace_back(text, title);
    return answer;
  }
  bool saw(const std::string &text) const {
    return std::any_of(shown.begin(), shown.end(), [&](const auto &m) { return m.first == text; });
  }
};

// An enabled log file for `p`, removed again at the end; the log holds only the register
// lines and the start lines (customer mode).
struct temp_log_s {
  std::string path;
  temp_log_s(__dev_GuiParamS *p, const std::string &tag)
      : path(::testing::TempDir() + "/kova_" + tag + "_" + std::to_string(getpid()) + ".txt") {
    std::remove(path.c_str());
    EXPECT_TRUE(app_set_log_file(p, path));
    p->log.enabled = 1;
    SuperUserModeSet(false);
  }
  ~temp_log_s() {
    SuperUserModeSet(false);
    std::remove(path.c_str());
  }
  std::string text() const { return read(path); }
  static std::string read(const std::string &file) {
    std::ifstream in(file);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
};

// An engine object released when it goes out of scope.
struct hal_holder {
  hal_api_s h{};
  hal_holder() = default;
  // A device's object initialised in `mode` (blank: every register at its reset default).
  explicit hal_holder(int32_t init_mode, int32_t device = 0) {
    h.kova_device_e = device;
    h.init_api_mode_e = init_mode;
    init_api(&h);
  }
  ~hal_holder() { delete_api(&h); }
};
