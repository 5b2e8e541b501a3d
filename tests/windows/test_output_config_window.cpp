// The output configuration window driven as a user drives it, on an emulated KX40112 in
// synthesis: each control stores its field, the change reaches the chip at once, and the
// fields that depend on the signal format and the stop source show or hide.
#include <QCheckBox>
#include <QLabel>
#include <functional>
#include <memory>

#include "app/windows/output_config_window.h"
#include "output_windows_support.h"

namespace {

struct output_config_window_test : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<OutputConfigForm> form;

  void SetUp() override {
    gui_fixture::SetUp();
    session = std::make_unique<KovaSession>();
    start_synthesis_on_board(session.get(), true);
    ASSERT_TRUE(session->change([](hal_api_s *h) { h->oc1_pw_ns_u16 = 2; }));
    form = std::make_unique<OutputConfigForm>(session.get());
    form->show();
  }
  void TearDown() override {
    form.reset();
    session.reset();
    gui_fixture::TearDown();
  }
  template <class T>
  T *find(const char *name) {
    return child<T>(form.get(), name);
  }
};

TEST_F(output_config_window_test, EditsReachTheObjectAndTheChip) {
  using self = output_config_window_test;
  const struct {
    const char *what;
    int channel;
    std::function<void(self *)> act;
    std::function<void(const hal_api_s *, const uint8_t *chip, self *)> check;
  } cases[] = {
      {"phase 12.3 ns", 0, [](self *t) { type_into(t->form.get(), "phaseEdit", "12.3"); },
       [](const hal_api_s *h, const uint8_t *, self *) { EXPECT_EQ(h->oc1_align_nsx10_u16, 123u); }},
      {"stop source GPIO3", 2, [](self *t) { choose_row(t->form.get(), "stopSourceCombo", 4); },
       [](const hal_api_s *h, const uint8_t *chip, self *t) {
         EXPECT_EQ(h->oc3stop_src_u4, 11u);
         EXPECT_EQ((chip[0x228] >> 2) & 0xF, 11);  // OC3STOP SRC[3:0]
         EXPECT_TRUE(t->find<QCheckBox>("stopCheck")->isHidden());
       }},
      {"phase alignment on OC2", 1, [](self *t) { t->find<QCheckBox>("alignCheck")->click(); },
       [](const hal_api_s *h, const uint8_t *chip, self *) {
         EXPECT_EQ(h->oc2_align_en, 1u);
         EXPECT_EQ(h->oc2cr1_phen_u1, 1u);
         EXPECT_EQ(chip[0x210] & 0x80, 0x80);  // OC2CR1 PHEN
       }},
      {"50% duty cycle", 0, [](self *t) { t->find<QCheckBox>("duty50Check")->click(); },
       [](const hal_api_s *h, const uint8_t *, self *t) {
         EXPECT_EQ(h->oc1_pw_ns_u16, 0u);
         EXPECT_TRUE(t->find<QLineEdit>("pulseWidthEdit")->isHidden());
       }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    form->selectChannel(c.channel);
    c.act(this);
    const hal_api_s *h = session->hal();
    const uint8_t *chip = kxemu_chip_regs(0);
    c.check(h, chip, this);
    EXPECT_TRUE(dialog.messages.empty());
    // The output's block on the chip holds what the object's image holds.
    const uint32_t base = 0x200 + 0x10 * static_cast<uint32_t>(c.channel);
    for (uint32_t a = base; a < base + 0x10; ++a) EXPECT_EQ(chip[a], get_reg(h, a)) << std::hex << a;
  }
}

TEST_F(output_config_window_test, SignalFormatDecidesTheFieldsShown) {
  const struct {
    uint32_t format;
    bool drive, n;
    const char *p_label;
  } cases[] = {
      {2, false, false, "Frequency (MHz)"},  // CML (400mV)
      {4, true, true, "OC1P Frequency (MHz)"},
      {3, true, false, "Frequency (MHz)"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.format);
    session->change([&c](hal_api_s *h) { h->oc1cr2_ocsf_u3 = c.format; });
    EXPECT_EQ(!find<QComboBox>("driveCombo")->isHidden(), c.drive);
    EXPECT_EQ(!find<QLabel>("nFreqText")->isHidden(), c.n);
    EXPECT_EQ(find<QLabel>("pFreqLabel")->text(), c.p_label);
  }
}

}  // namespace
