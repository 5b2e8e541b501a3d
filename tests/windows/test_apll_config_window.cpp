// The APLL configuration and APLL test registers windows driven as a user drives them, on an
// emulated board: phase steps from the buttons or a GPIO pin, the step of one eighth of a VCO
// period, the dividers, and analog test registers that the chip keeps across recalculations.
// Asserted on the configuration object, the emulated chip's registers and the register
// writes the application made.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>
#include <memory>

#include "app/run_control.h"
#include "app/windows/apll_config_window.h"
#include "app/windows/apll_test_window.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

namespace {

constexpr uint32_t kApllcr4 = 0x103;

struct apll_window_test : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<QWidget> form;
  std::vector<std::string> writes;  // register-write lines of the log

  static void on_log(const char *line, void *ctx) {
    if (std::string(line).rfind("X, 0X", 0) == 0) static_cast<apll_window_test *>(ctx)->writes.push_back(line);
  }
  void TearDown() override {
    app_log_set_listener(nullptr, nullptr);
    form.reset();
    session.reset();
    gui_fixture::TearDown();
  }
  // The KX40112 defaults written whole to the emulated chip, and the window.
  template <class Form>
  void start() {
    session = std::make_unique<KovaSession>();
    hal_api_s *h = session->hal();
    h->kova_device_e = kova_device_40112_e;
    __dev_DefaultsForDevType(h, true);
    h->init_api_mode_e = init_api_full_e;
    ASSERT_TRUE(HalStruct_Initialize(h) && HalStruct_Recalculate(h));
    uint32_t n = 0;
    ASSERT_EQ(kxKovaIo_ChannelCount(&n), 0u);
    ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &session->gui()->ioHandle), 0u);
    ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&session->gui()->ioHandle), FT_OK);
    ASSERT_TRUE(HalUtil_WriteSequence(session->gui(), h, false));
    form = std::make_unique<Form>(session.get());
    form->show();
    app_log_set_listener(&apll_window_test::on_log, this);
  }
  template <class T>
  T *find(const char *name) {
    T *c = form->findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  int writes_to(uint32_t address) const {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "X, 0X%03X,", address);
    int n = 0;
    for (const auto &w : writes) n += w.rfind(prefix, 0) == 0;
    return n;
  }
  uint8_t chip(uint32_t address) const { return kxemu_chip_regs(0)[address]; }
};

TEST_F(apll_window_test, each_click_writes_the_phase_bit_and_two_clicks_bring_it_back) {
  start<ApllConfigForm>();
  auto *inc = find<QPushButton>("incrementButton");
  auto *dec = find<QPushButton>("decrementButton");
  for (auto [button, bit] : {std::pair{inc, 0x08}, {dec, 0x80}}) {
    writes.clear();
    const uint8_t first = chip(kApllcr4);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(chip(kApllcr4), first ^ bit);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(chip(kApllcr4), first);
    EXPECT_EQ(writes_to(kApllcr4), 2);
    EXPECT_EQ(writes.size(), 2u) << "a click writes only APLLCR4";
  }
  EXPECT_EQ(session->hal()->apllcr4_incph_u1, 0u);
  EXPECT_EQ(session->hal()->apllcr4_decph_u1, 0u);
}

TEST_F(apll_window_test, a_gpio_source_is_stored_written_and_disables_its_button) {
  start<ApllConfigForm>();
  auto *incSource = find<QComboBox>("incSourceCombo");
  auto *decSource = find<QComboBox>("decSourceCombo");
  incSource->activated(incSource->findText("GPIO1"));
  decSource->activated(decSource->findText("GPIO3"));
  EXPECT_EQ(session->hal()->apllcr4_piss_u3, 2u);
  EXPECT_EQ(session->hal()->apllcr4_pdss_u3, 4u);
  EXPECT_EQ(chip(kApllcr4) & 0x77, 0x42);
  EXPECT_FALSE(find<QPushButton>("incrementButton")->isEnabled());
  EXPECT_FALSE(find<QPushButton>("decrementButton")->isEnabled());
  incSource->activated(incSource->findText("Increment Button"));
  EXPECT_EQ(session->hal()->apllcr4_piss_u3, 0u);
  EXPECT_TRUE(find<QPushButton>("incrementButton")->isEnabled());
  EXPECT_EQ(incSource->currentText(), "Increment Button");
}

TEST_F(apll_window_test, step_and_dividers_follow_the_vco_and_hsdiv_fields) {
  start<ApllConfigForm>();
  struct {
    uint32_t vco_hz, hsdiv1x2, hsdiv2x2, enhs2;
    const char *step, *hsdiv1, *hsdiv2;
  } const cases[] = {
      {3750000000u, 15, 8, 1, "33.333 ps", "7.5", "4.0"},
      {4000000000u, 30, 12, 0, "31.250 ps", "15.0", "OFF"},
      {0, 8, 8, 1, "-", "4.0", "4.0"},
  };
  for (const auto &c : cases) {
    hal_api_s *h = session->hal();
    h->vco_freq_s = {c.vco_hz, 1, 1};
    h->vco_hsdiv1x2_u8 = c.hsdiv1x2, h->vco_hsdiv2x2_u8 = c.hsdiv2x2, h->apllcr1_enhs2_u1 = c.enhs2;
    session->notifyStatusRefreshed();
    EXPECT_EQ(find<QLabel>("phaseStepLabel")->text(), c.step);
    EXPECT_EQ(find<QLabel>("hsdiv1Label")->text(), c.hsdiv1);
    EXPECT_EQ(find<QLabel>("hsdiv2Label")->text(), c.hsdiv2);
  }
}

TEST_F(apll_window_test, an_edited_test_register_survives_recalculation_until_tuning_is_automatic_again) {
  start<ApllTestRegistersForm>();
  const uint8_t tuned = chip(0x125);
  auto *e = find<QLineEdit>("reg125Edit");
  EXPECT_EQ(e->text(), QString("%1").arg(tuned, 2, 16, QChar('0')).toUpper());
  for (const char *bad : {"", "G"}) {
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, bad);
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(chip(0x125), tuned) << bad;
    EXPECT_EQ(session->hal()->auto_apll_disable, 0u) << bad;
  }
  e->selectAll();
  QTest::keyClicks(e, "5a");
  QTest::keyClick(e, Qt::Key_Return);
  EXPECT_EQ(session->hal()->plltcr5_u8, 0x5Au);
  EXPECT_EQ(chip(0x125), 0x5A);
  EXPECT_EQ(e->text(), "5A");
  EXPECT_EQ(find<QLabel>("chip125Label")->text(), "5A");
  EXPECT_FALSE(find<QCheckBox>("automaticCheck")->isChecked());
  // Another change recalculates: the edited value stays on the chip.
  ASSERT_TRUE(session->change([](hal_api_s *h) { h->apllcr4_incph_u1 ^= 1; }));
  EXPECT_EQ(chip(0x125), 0x5A);
  find<QCheckBox>("automaticCheck")->click();
  EXPECT_EQ(session->hal()->auto_apll_disable, 0u);
  EXPECT_EQ(chip(0x125), tuned);
  EXPECT_EQ(e->text(), QString("%1").arg(tuned, 2, 16, QChar('0')).toUpper());
}

}  // namespace
