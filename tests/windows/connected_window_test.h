// A window on a device's default configuration, written whole to the emulated chip of board 0
// and connected, for the window tests that check what reaches the chip.
#pragma once
#include "board_session_fixture.h"

struct connected_window_test : board_session_fixture {
  void restart() { TearDown(), SetUp(); }
  template <class Form>
  void start(const char *device) {
    install_board(device);
    session = std::make_unique<KovaSession>();
    hal_api_s *h = session->hal();
    h->kova_device_e = std::atoi(device);
    __dev_DefaultsForDevType(h, true);
    h->init_api_mode_e = init_api_full_e;
    ASSERT_TRUE(HalStruct_Initialize(h) && HalStruct_Recalculate(h));
    open_board();
    ASSERT_TRUE(HalUtil_WriteSequence(session->gui(), h, false));
    form = std::make_unique<Form>(session.get());
    form->show();
  }
  using board_session_fixture::chip;
  static uint8_t chip(uint32_t address) { return kxemu_chip_regs(0)[address]; }
};
