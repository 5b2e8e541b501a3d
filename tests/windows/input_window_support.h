// Shared set-up of the input window tests: a chip in jitter attenuation with IC1 at
// 19.44 MHz and IC2 at 25 MHz, configured as the initial-configuration window does it; a
// user's choices, clicks and typing.
#pragma once
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>
#include <memory>

#include "app/main_ops.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

struct input_window_fixture : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<QWidget> form;

  // A fresh board and session (for each case of a table), and the window on one input.
  template <class W>
  W *start(const char *device, bool connected, int channel) {
    form.reset();
    session.reset();
    TearDown();
    SetUp();
    install_board(device);
    session = std::make_unique<KovaSession>();
    if (connected) {
      EXPECT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &session->gui()->ioHandle) + kxkovaio_SelectFtdi2Dut(&session->gui()->ioHandle), 0u);
    }
    session->hal()->kova_device_e = std::atoi(device);
    EXPECT_TRUE(main_initial_config(&session->state, kova_mode_ja_e, 1, 114.285));
    EXPECT_TRUE(session->change([](hal_api_s *h) {
      h->ic1_freq_s = {19440000, 1, 1}, h->ic2_freq_s = {25000000, 1, 1}, h->oc1_freq_s = {156250000, 1, 1};
      h->icen_ic1en_u1 = h->icen_ic2en_u1 = 1;
    }));
    main_adopt_object(&session->state);
    auto *w = new W(session.get());
    form.reset(w);
    w->selectChannel(channel);
    w->show();
    return w;
  }
  template <class T>
  T *find(const char *name) { T *c = form->findChild<T *>(name); EXPECT_NE(c, nullptr) << name; return c; }
  void choose(const char *combo, int index) { find<QComboBox>(combo)->activated(index); }
  void click(const char *name) { QTest::mouseClick(find<QPushButton>(name), Qt::LeftButton); }
  void type(const char *name, const char *text) {
    QLineEdit *e = find<QAbstractSpinBox>(name)->findChild<QLineEdit *>();
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
  }
  // The chip holds the object's input divider and monitor registers (0x300 to 0x35C).
  void expect_chip_holds_the_monitors() {
    for (uint32_t a = 0x300; a <= 0x35C; ++a)
      ASSERT_EQ(kxemu_chip_regs(0)[a], get_reg(session->hal(), a)) << std::hex << a;
  }
};
