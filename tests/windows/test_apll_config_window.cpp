// The APLL configuration and APLL test registers windows driven as a user drives them, on an
// emulated board: phase steps from the buttons or a GPIO pin, the step of one eighth of a VCO
// period, the dividers, and analog test registers that the chip keeps across recalculations.
// Asserted on the configuration object, the emulated chip's registers and the register
// writes the application logged.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/windows/apll_config_window.h"
#include "app/windows/apll_test_window.h"
#include "gui_test_support.h"

namespace {

constexpr uint32_t kApllcr4 = 0x103;

struct apll_window_test : gui_fixture {
  std::vector<std::string> writes;  // register-write lines of the log

  static void on_log(const char *line, void *ctx) {
    if (std::string(line).rfind("X, ", 0) == 0) static_cast<apll_window_test *>(ctx)->writes.push_back(line);
  }
  void SetUp() override {
    gui_fixture::SetUp();
    start("40112", true);
    app_log_set_listener(&apll_window_test::on_log, this);
  }
  void TearDown() override {
    app_log_set_listener(nullptr, nullptr);
    gui_fixture::TearDown();
  }
};

TEST_F(apll_window_test, two_clicks_write_twice_and_bring_the_bit_back_and_a_gpio_source_disables_the_button) {
  open<ApllConfigForm>();
  for (auto [button, bit] : {std::pair{"incrementButton", 0x08}, {"decrementButton", 0x80}}) {
    writes.clear();
    const uint8_t first = chip()[kApllcr4];
    click(button);
    EXPECT_EQ(chip()[kApllcr4], first ^ bit);
    click(button);
    // Each click writes APLLCR4, and nothing else.
    EXPECT_EQ(writes, (std::vector<std::string>{GuiLogConfigCmdText(kApllcr4, first ^ bit, nullptr),
                                                GuiLogConfigCmdText(kApllcr4, first, nullptr)}));
  }
  // A GPIO source is stored, written and disables its button.
  auto *incSource = find<QComboBox>("incSourceCombo");
  auto *decSource = find<QComboBox>("decSourceCombo");
  incSource->activated(incSource->findText("GPIO1"));
  decSource->activated(decSource->findText("GPIO3"));
  EXPECT_EQ(chip()[kApllcr4] & 0x77, 0x42);  // sources 2 and 4
  EXPECT_FALSE(find<QPushButton>("incrementButton")->isEnabled());
  incSource->activated(incSource->findText("Increment Button"));
  EXPECT_EQ(hal()->apllcr4_piss_u3, 0u);
  EXPECT_TRUE(find<QPushButton>("incrementButton")->isEnabled());
  EXPECT_FALSE(find<QPushButton>("decrementButton")->isEnabled());
}

TEST_F(apll_window_test, step_and_dividers_follow_the_vco_and_hsdiv_fields) {
  open<ApllConfigForm>();
  hal_api_s *h = hal();
  for (const auto &[vco, enhs2, step, hsdiv2] : {std::tuple{3750000000u, 1u, "33.333 ps", "4.0"}, {0u, 0u, "-", "OFF"}}) {
    h->vco_freq_s = {vco, 1, 1}, h->vco_hsdiv1x2_u8 = 15, h->vco_hsdiv2x2_u8 = 8, h->apllcr1_enhs2_u1 = enhs2;
    session->notifyStatusRefreshed();
    EXPECT_EQ(find<QLabel>("phaseStepLabel")->text(), step);
    EXPECT_EQ(find<QLabel>("hsdiv1Label")->text(), "7.5");
    EXPECT_EQ(find<QLabel>("hsdiv2Label")->text(), hsdiv2);
  }
}

TEST_F(apll_window_test, an_edited_test_register_survives_recalculation_until_tuning_is_automatic_again) {
  open<ApllTestRegistersForm>();
  const uint8_t tuned = chip()[0x125];
  auto *e = find<QLineEdit>("reg125Edit");
  QTest::keyClick(e, Qt::Key_Return);  // the value it holds: no edit
  EXPECT_EQ(hal()->auto_apll_disable, 0u);
  type("reg125Edit", "5a");
  EXPECT_EQ(hal()->plltcr5_u8, 0x5Au);
  EXPECT_EQ(chip()[0x125], 0x5A);
  EXPECT_EQ(find<QLabel>("chip125Label")->text(), "5A");
  ASSERT_TRUE(session->change([](hal_api_s *h) { h->apllcr4_incph_u1 ^= 1; }));  // recalculates
  EXPECT_EQ(chip()[0x125], 0x5A);
  find<QCheckBox>("automaticCheck")->click();
  EXPECT_EQ(chip()[0x125], tuned);
  EXPECT_EQ(e->text(), QString::number(tuned, 16).toUpper().rightJustified(2, '0'));
}

}  // namespace
