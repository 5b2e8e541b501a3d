// A window on a device's default configuration, written whole to the emulated chip of board 0
// and connected, for the window tests that check what reaches the chip.
#pragma once
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "app/run_control.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

struct connected_window_test : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<QWidget> form;

  void TearDown() override {
    form.reset();
    session.reset();
    gui_fixture::TearDown();
  }
  void restart() { TearDown(), SetUp(); }
  template <class Form>
  void start(const char *device) {
    install_board(device);
    session = std::make_unique<KovaSession>();
    hal_api_s *h = session->hal();
    h->kova_device_e = std::atoi(device);
    __dev_DefaultsForDevType(h, true);
    h->init_api_mode_e = init_api_full_e;
    uint32_t n = 0;
    ASSERT_TRUE(HalStruct_Initialize(h) && HalStruct_Recalculate(h));
    ASSERT_EQ(kxKovaIo_ChannelCount(&n), 0u);
    ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &session->gui()->ioHandle), 0u);
    ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&session->gui()->ioHandle), FT_OK);
    ASSERT_TRUE(HalUtil_WriteSequence(session->gui(), h, false));
    form = std::make_unique<Form>(session.get());
    form->show();
  }
  template <class T>
  T *find(const char *name) {
    T *c = form->findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  static uint8_t chip(uint32_t address) { return kxemu_chip_regs(0)[address]; }
};
