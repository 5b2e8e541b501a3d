// The output configuration window driven as a user drives it, on an emulated KX40112 in
// synthesis: each control stores its field, the change reaches the chip at once, and the
// fields that depend on the signal format and the stop source show or hide.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest/QTest>
#include <functional>
#include <memory>

#include "app/device_settings.h"
#include "app/run_control.h"
#include "app/windows/output_config_window.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

namespace {

struct output_config_window_test : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<OutputConfigForm> form;

  void SetUp() override {
    gui_fixture::SetUp();
    session = std::make_unique<KovaSession>();
    hal_api_s *h = session->hal();
    h->kova_device_e = kova_device_40112_e;
    __dev_DefaultsForDevType(h, false);
    h->kova_mode_e = kova_mode_syn_e;
    __dev_DefaultsForDevMode(h, false);
    h->init_api_mode_e = init_api_full_e;
    ASSERT_TRUE(HalStruct_Initialize(h));
    h->xa_freq_s = {50000000, 1, 1};
    h->oc1_freq_s = {156250000, 1, 1};
    h->oc2_freq_s = {125000000, 1, 1};
    h->oc3_freq_s = {100000000, 1, 1};
    h->oc1_pw_ns_u16 = 2;
    ASSERT_TRUE(HalStruct_Recalculate(h));
    uint32_t n = 0;
    ASSERT_EQ(kxKovaIo_ChannelCount(&n), 0u);
    ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &session->gui()->ioHandle), 0u);
    ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&session->gui()->ioHandle), FT_OK);
    ASSERT_TRUE(WriteHalChangesToDevice(h, false));
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
    T *c = form->findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  void choose(const char *combo, const char *text) {
    QComboBox *c = find<QComboBox>(combo);
    const int i = c->findText(text);
    ASSERT_GE(i, 0) << text;
    c->setCurrentIndex(i);
    emit c->activated(i);
  }
  void type(const char *field, const char *text, Qt::Key key = Qt::Key_Return) {
    QLineEdit *e = find<QLineEdit>(field);
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, key);
  }
  void tick(const char *box) { find<QCheckBox>(box)->click(); }
};

TEST_F(output_config_window_test, EditsReachTheObjectAndTheChip) {
  using self = output_config_window_test;
  const struct {
    const char *what;
    int channel;
    std::function<void(self *)> act;
    std::function<void(const hal_api_s *, const uint8_t *chip, self *)> check;
  } cases[] = {
      {"phase 12.3 ns", 0, [](self *t) { t->type("phaseEdit", "12.3"); },
       [](const hal_api_s *h, const uint8_t *, self *) { EXPECT_EQ(h->oc1_align_nsx10_u16, 123u); }},
      {"phase taken back with Escape", 0, [](self *t) { t->type("phaseEdit", "40", Qt::Key_Escape); },
       [](const hal_api_s *h, const uint8_t *, self *t) {
         EXPECT_EQ(h->oc1_align_nsx10_u16, 123u);
         EXPECT_EQ(t->find<QLineEdit>("phaseEdit")->text(), "12.3");
       }},
      {"stop source GPIO3", 2, [](self *t) { t->choose("stopSourceCombo", "GPIO3"); },
       [](const hal_api_s *h, const uint8_t *chip, self *t) {
         EXPECT_EQ(h->oc3stop_src_u4, 11u);
         EXPECT_EQ((chip[0x228] >> 2) & 0xF, 11);  // OC3STOP SRC[3:0]
         EXPECT_TRUE(t->find<QCheckBox>("stopCheck")->isHidden());
       }},
      {"phase alignment on OC2", 1, [](self *t) { t->tick("alignCheck"); },
       [](const hal_api_s *h, const uint8_t *chip, self *) {
         EXPECT_EQ(h->oc2_align_en, 1u);
         EXPECT_EQ(h->oc2cr1_phen_u1, 1u);
         EXPECT_EQ(chip[0x210] & 0x80, 0x80);  // OC2CR1 PHEN
       }},
      {"drive 3x", 0, [](self *t) { t->choose("driveCombo", "3x"); },
       [](const hal_api_s *h, const uint8_t *chip, self *) {
         EXPECT_EQ(h->oc1cr2_drive_u2, 2u);
         EXPECT_EQ((chip[0x201] >> 4) & 3, 2);  // OC1CR2 DRIVE[1:0]
       }},
      {"50% duty cycle", 0, [](self *t) { t->tick("duty50Check"); },
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
    for (auto &m : dialog.messages) ADD_FAILURE() << m.first;
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
