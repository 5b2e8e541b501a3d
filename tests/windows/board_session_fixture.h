// A session on the emulated board for the windows that act on the chip's registers: a
// configuration of a device and mode, connected (every register written to the chip) or
// offline, and the few ways a user drives a window.
#pragma once
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>
#include <cstdlib>
#include <memory>

#include "app/device_settings.h"
#include "app/run_control.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

struct board_session_fixture : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<QWidget> form;

  void TearDown() override {
    form.reset();
    session.reset();
    gui_fixture::TearDown();
  }
  hal_api_s *hal() { return session->hal(); }
  uint8_t *chip() { return kxemu_chip_regs(0); }
  // The device's configuration in mode, initialised and calculated; on the board when connected.
  void start(const char *device, int32_t mode, bool connected) {
    install_board(device);
    session = std::make_unique<KovaSession>();
    hal_api_s *h = hal();
    h->kova_device_e = std::atoi(device);
    ASSERT_TRUE(__dev_DefaultsForDevType(h, false));
    h->kova_mode_e = mode;
    ASSERT_TRUE(__dev_DefaultsForDevMode(h, false));
    h->init_api_mode_e = init_api_full_e;
    ASSERT_TRUE(HalStruct_Initialize(h) && HalStruct_Recalculate(h));
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
  template <class W>
  void open() {
    form = std::make_unique<W>(session.get());
    form->show();
    dialog.messages.clear();
  }
  template <class T>
  T *find(const QString &name) {
    T *c = form->findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name.toStdString();
    return c;
  }
  // A user's choice in a list.
  void choose(const QString &name, int index) {
    QComboBox *box = find<QComboBox>(name);
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
  void choose_data(const QString &name, int value) { choose(name, find<QComboBox>(name)->findData(value)); }
  void enter(const QString &name, const QString &text) {
    QLineEdit *e = find<QLineEdit>(name);
    e->setFocus();
    e->clear();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
  }
  void click(const QString &name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
  std::string last() const { return dialog.messages.empty() ? "" : dialog.messages.back().first; }
};
