// Shared set-up of the window tests: the application on Qt's offscreen platform, an
// emulated board per test, every message the user would see recorded (questions answered
// yes unless a test says otherwise), waits recorded instead of slept, and a way to answer
// a modal window the way a user would.
#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/app_log.h"
#include "app/user_dialog.h"
#include "board/kxemu.h"
#include "board/kxkovaio.h"

struct recording_dialog_s : user_dialog_s {
  std::vector<std::pair<std::string, std::string>> messages;  // text, title
  bool answer = true;
  void message(const std::string &text, const std::string &title) override { messages.emplace_back(text, title); }
  bool ask_yes_no(const std::string &text, const std::string &title) override {
    messages.emplace_back(text, title);
    return answer;
  }
  bool saw(const std::string &text) const {
    for (const auto &m : messages)
      if (m.first == text) return true;
    return false;
  }
};

// Runs fn on the next modal window that opens (a dialog's exec() blocks the test until
// the window is answered). fn gets the window.
inline void on_next_modal(std::function<void(QWidget *)> fn) {
  auto *timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, fn]() {
    QWidget *w = QApplication::activeModalWidget();
    if (!w) return;
    timer->stop();
    timer->deleteLater();
    fn(w);
  });
  timer->start();
}

struct gui_fixture : ::testing::Test {
  recording_dialog_s dialog;
  std::vector<uint32_t> sleeps;

  static void record_sleep(uint32_t ms, void *ctx) { static_cast<gui_fixture *>(ctx)->sleeps.push_back(ms); }

  // Emulated boards with the given devices ("40112", "40110,40089").
  void install_board(const char *devices) {
    kxemu_remove();
    kxemu_config_s cfg{};
    char err[512];
    ASSERT_TRUE(kxemu_config_parse(devices, &cfg, err, sizeof err)) << err;
    ASSERT_TRUE(kxemu_install(&cfg, err, sizeof err)) << err;
  }

  void SetUp() override {
    __dev_GuiParams = __dev_GuiParamS{};
    app_set_dialog(&dialog);
    kxKovaIo_SleepSet(record_sleep, this);
    install_board("40112");
  }

  void TearDown() override {
    for (QWidget *w : QApplication::topLevelWidgets()) w->close();
    kxKovaIo_EvalBoardClose(&__dev_GuiParams.ioHandle);
    __dev_GuiParams = __dev_GuiParamS{};
    kxemu_remove();
    kxKovaIo_SleepSet(nullptr, nullptr);
    app_set_dialog(nullptr);
  }
};
