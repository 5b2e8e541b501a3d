// The main window's operations without a window: the texts and numbers the window shows,
// and which start-up actions a connection offers.
#include <gtest/gtest.h>

#include "app/main_ops.h"
#include "app/main_view.h"

TEST(main_ops, TextsAndNumbersTheWindowShows) {
  const struct {
    uint8_t reg;
    const char *text;
  } states[] = {{0x18, "Tracking; Locked"}, {0x30, "Tracking; Unlocked"}, {0x28, "Holdover"}, {0xC7, "Freerun"}};
  for (const auto &c : states) EXPECT_EQ(main_dpll_state_text(c.reg), c.text) << std::hex << int(c.reg);
  const int32_t periods[] = {0, 1000, 2000, 5000, 5000};
  for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(main_poll_period_ms(i), periods[i]) << i;
  // ppm typed, stored in ppb, rounded half away from zero.
  const struct {
    double ppm;
    int32_t ppb;
  } ppm[] = {{-0.0005, -1}, {0.0005, 1}, {0.0004, 0}, {1e12, INT32_MAX}};
  for (const auto &c : ppm) EXPECT_EQ(main_ppm_to_ppb(c.ppm), c.ppb) << c.ppm;
  hal_api_s hal{};
  hal.init_api_mode_e = init_api_blank_e;
  init_api(&hal);
  put_reg(&hal, 0x04E, 0x10);  // IC2 valid
  put_reg(&hal, 0x04F, 0x01);  // IC3 valid
  EXPECT_FALSE(main_input_valid(&hal, 0));
  EXPECT_TRUE(main_input_valid(&hal, 1));
  EXPECT_TRUE(main_input_valid(&hal, 2));
  put_reg(&hal, 0x04E, 0x01);
  EXPECT_TRUE(main_input_valid(&hal, 0));
  delete_api(&hal);
}

// "Write GUI configuration to DUT" only for a configuration that was initialised and
// written for the connected device and revision; "Read DUT configuration into GUI" only for
// a chip that holds a configuration.
TEST(main_ops, ConnectActionsOffered) {
  main_state_s s;
  __dev_GuiParamS gui{};
  s.gui = &gui;
  s.hal.kova_device_e = kova_device_40112_e;
  s.hal.kova_device_rev_e = 1;
  const struct {
    uint8_t configured;
    int32_t product, revision, status;
    std::vector<int32_t> offered;
  } cases[] = {
      {0, 2, 1, 0, {0}},       {1, 2, 1, 0, {0, 1}}, {1, 2, 0, 0, {0}},
      {1, 3, 1, 0, {0}},       {1, 2, 1, 5, {0, 1, 2}}, {0, 2, 1, 1, {0, 2}},
  };
  for (const auto &c : cases) {
    gui.halConfigured = c.configured;
    EXPECT_EQ(main_connect_offered(&s, c.product, c.revision, c.status), c.offered)
        << int(c.configured) << " " << c.product << " " << c.revision << " " << c.status;
  }
}
