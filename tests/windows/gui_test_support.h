// Shared set-up of the window tests: the application on Qt's offscreen platform, an emulated
// board per test, every message the user would see recorded (questions answered yes unless a
// test says otherwise), waits skipped, a configuration session on the board, the window under
// test, and the ways a user drives its widgets.
#pragma once
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/device_settings.h"
#include "app/run_control.h"
#include "app/user_dialog.h"
#include "app/windows/session.h"
#include "board/kxemu.h"
#include "board/kxkovaio.h"
#include "tests/app/app_test_util.h"

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

template <class T>
T *child(QWidget *w, const QString &name) {
  T *c = w->findChild<T *>(name);
  EXPECT_NE(c, nullptr) << name.toStdString();
  return c;
}

// Typed into a field (a line edit or a spin box) and applied with Enter, or taken back with
// Escape.
inline void type_into(QWidget *w, const QString &name, const QString &text, Qt::Key key = Qt::Key_Return) {
  QWidget *field = child<QWidget>(w, name);
  ASSERT_NE(field, nullptr);
  auto *e = qobject_cast<QLineEdit *>(field) ? qobject_cast<QLineEdit *>(field) : field->findChild<QLineEdit *>();
  ASSERT_NE(e, nullptr) << name.toStdString();
  field->setFocus();
  e->selectAll();
  QTest::keyClicks(e, text);
  QTest::keyClick(e, key);
}

inline void click_on(QWidget *w, const QString &button) {
  QTest::mouseClick(child<QAbstractButton>(w, button), Qt::LeftButton);
}

// A user's choice of a row of a list, or of the row showing text.
inline void choose_row(QWidget *w, const QString &combo, int row) {
  QComboBox *c = child<QComboBox>(w, combo);
  ASSERT_TRUE(c && row >= 0 && row < c->count()) << combo.toStdString() << " " << row;
  c->setCurrentIndex(row);
  emit c->activated(row);
}
inline void choose_text(QWidget *w, const QString &combo, const QString &text) {
  choose_row(w, combo, child<QComboBox>(w, combo)->findText(text));
}

// The object's register image.
inline std::vector<uint8_t> register_image(const hal_api_s *h) {
  std::vector<uint8_t> r(KOVA_REG_COUNT);
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) r[a] = static_cast<uint8_t>(get_reg(h, a));
  return r;
}

struct gui_fixture : ::testing::Test {
  recording_dialog_s dialog;  // questions answered yes unless a test says otherwise
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<QWidget> form;  // the window under test
  QTemporaryDir dir;

  gui_fixture() { dialog.answer = true; }

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
    kxKovaIo_SleepSet([](uint32_t, void *) {}, nullptr);
    install_board("40112");
  }

  void TearDown() override {
    form.reset();
    session.reset();
    for (QWidget *w : QApplication::topLevelWidgets()) w->close();
    kxKovaIo_EvalBoardClose(&__dev_GuiParams.ioHandle);
    __dev_GuiParams = __dev_GuiParamS{};
    kxemu_remove();
    kxKovaIo_SleepSet(nullptr, nullptr);
    app_set_dialog(nullptr);
  }
  // A fresh board and session, for the next case of a table.
  void restart() {
    TearDown();
    SetUp();
  }

  // A session on the device's defaults (in mode, when one is given), edit made before the
  // calculation, on an emulated board with that device (or board); connected: the board
  // opened and the whole image written to the chip.
  void start(const char *device, bool connected, int32_t mode = -1,
             const std::function<void(hal_api_s *)> &edit = nullptr, const char *board = nullptr) {
    install_board(board ? board : device);
    session = std::make_unique<KovaSession>();
    hal_api_s *h = hal();
    h->kova_device_e = std::atoi(device);
    ASSERT_TRUE(__dev_DefaultsForDevType(h, false));
    if (mode >= 0) {
      h->kova_mode_e = mode;
      ASSERT_TRUE(__dev_DefaultsForDevMode(h, false));
    }
    h->init_api_mode_e = init_api_full_e;
    ASSERT_TRUE(HalStruct_Initialize(h));
    if (edit) edit(h);
    ASSERT_TRUE(HalStruct_Recalculate(h));
    if (!connected) return;
    open_board();
    ASSERT_TRUE(WriteHalChangesToDevice(h, false));
  }
  // Opens channel 1 of board 0 into the session, routed to the chip.
  void open_board() {
    uint32_t n = 0;
    ASSERT_EQ(kxKovaIo_ChannelCount(&n), 0u);
    ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &session->gui()->ioHandle), 0u);
    ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&session->gui()->ioHandle), FT_OK);
  }
  // The window on the session, shown; the messages of its opening forgotten.
  template <class W>
  W *open() {
    auto *w = new W(session.get());
    form.reset(w);
    w->show();
    dialog.shown.clear();
    return w;
  }

  hal_api_s *hal() { return session->hal(); }
  std::vector<uint8_t> image() { return register_image(hal()); }
  static uint8_t *chip() { return kxemu_chip_regs(0); }
  static std::vector<uint8_t> chip_image() { return {chip(), chip() + KOVA_REG_COUNT}; }
  std::string path(const char *name) const { return dir.filePath(name).toStdString(); }
  std::string last() const { return dialog.shown.empty() ? "" : dialog.shown.back().first; }

  template <class T>
  T *find(const QString &name) {
    return child<T>(form.get(), name);
  }
  void type(const QString &field, const QString &text, Qt::Key key = Qt::Key_Return) {
    type_into(form.get(), field, text, key);
  }
  void click(const QString &button) { click_on(form.get(), button); }
  void choose(const QString &combo, int row) { choose_row(form.get(), combo, row); }
  void choose_data(const QString &combo, int value) { choose(combo, find<QComboBox>(combo)->findData(value)); }
};
