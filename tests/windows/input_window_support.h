// Shared set-up of the input window tests: a chip in jitter attenuation with IC1 at
// 19.44 MHz and IC2 at 25 MHz, written whole to the emulated chip when connected; typing
// into a number field as a user does.
#pragma once
#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QtTest/QTest>
#include <memory>

#include "app/main_ops.h"
#include "app/run_control.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

struct input_window_fixture : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<QWidget> form;

  // A fresh board and session (for each case of a table).
  void start(const char *device, bool connected) {
    form.reset();
    session.reset();
    TearDown();
    SetUp();
    install_board(device);
    session = std::make_unique<KovaSession>();
    hal_api_s *h = session->hal();
    h->kova_device_e = std::atoi(device);
    __dev_DefaultsForDevType(h, false);
    h->init_api_mode_e = init_api_full_e;
    ASSERT_TRUE(HalStruct_Initialize(h));
    h->xa_freq_s = {114285000, 1, 1};
    h->ic1_freq_s = {19440000, 1, 1};
    h->ic2_freq_s = {25000000, 1, 1};
    h->icen_ic1en_u1 = h->icen_ic2en_u1 = 1;
    h->oc1_freq_s = {156250000, 1, 1};
    ASSERT_TRUE(HalStruct_Recalculate(h));
    main_adopt_object(&session->state);
    if (connected) {
      ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &session->gui()->ioHandle), 0u);
      ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&session->gui()->ioHandle), FT_OK);
      ASSERT_TRUE(HalUtil_WriteSequence(session->gui(), h, false));
    }
  }
  template <class T>
  T *find(const char *name) {
    T *c = form->findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  void type(const char *name, const char *text) {
    QLineEdit *e = find<QAbstractSpinBox>(name)->findChild<QLineEdit *>();
    e->setFocus();
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
