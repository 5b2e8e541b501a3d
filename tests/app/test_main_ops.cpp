// The main window's operations without a window: the texts and numbers the window shows,
// and which start-up actions a connection offers.
#include <gtest/gtest.h>

#include "app/main_ops.h"
#include "app/main_view.h"
#include "tests/app/app_test_util.h"

TEST(main_ops, TextsAndNumbersTheWindowShows) {
  const std::pair<uint8_t, const char *> states[] = {
      {0x18, "Tracking; Locked"}, {0x30, "Tracking; Unlocked"}, {0x28, "Holdover"}, {0xC7, "Freerun"}};
  for (const auto &[reg, text] : states) EXPECT_EQ(main_dpll_state_text(reg), text) << std::hex << int(reg);
  const int32_t periods[] = {0, 1000, 2000, 5000, 5000};
  for (int32_t i = 0; i < 5; ++i) EXPECT_EQ(main_poll_period_ms(i), periods[i]) << i;
  // ppm typed, stored in ppb, rounded half away from zero.
  const std::pair<double, int32_t> ppm[] = {{-0.0005, -1}, {0.0005, 1}, {0.0004, 0}, {1e12, INT32_MAX}};
  for (const auto &[typed, ppb] : ppm) EXPECT_EQ(main_ppm_to_ppb(typed), ppb) << typed;
  hal_holder o(init_api_blank_e);
  put_reg(&o.h, 0x04E, 0x10);  // IC2 valid
  put_reg(&o.h, 0x04F, 0x01);  // IC3 valid
  EXPECT_EQ(std::vector<bool>({main_input_valid(&o.h, 0), main_input_valid(&o.h, 1), main_input_valid(&o.h, 2)}),
            std::vector<bool>({false, true, true}));
  put_reg(&o.h, 0x04E, 0x01);
  EXPECT_TRUE(main_input_valid(&o.h, 0));
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
  const struct { uint8_t configured; int32_t product, revision, status; std::vector<int32_t> offered; } cases[] = {
      {0, 2, 1, 0, {0}},       {1, 2, 1, 0, {0, 1}}, {1, 2, 0, 0, {0}},
      {1, 3, 1, 0, {0}},       {1, 2, 1, 5, {0, 1, 2}}, {0, 2, 1, 1, {0, 2}},
  };
  for (const auto &c : cases) {
    gui.halConfigured = c.configured;
    EXPECT_EQ(main_connect_offered(&s, c.product, c.revision, c.status), c.offered)
        << int(c.configured) << " " << c.product << " " << c.revision << " " << c.status;
  }
}
