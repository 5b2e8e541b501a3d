// The output clock solver window driven as a user drives it, on an emulated KX40112 in
// synthesis with OC1 156.25 MHz and OC2 125 MHz: a solution picked from the lists and
// loaded reaches the chip; a mode change the solver cannot calculate, or a manual load
// that breaks a divider limit, changes neither the object nor the chip.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>
#include <cstring>
#include <memory>

#include "app/device_settings.h"
#include "app/run_control.h"
#include "app/windows/oc_solver_window.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

namespace {

struct oc_solver_window_test : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<OCSolverForm> form;

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
    ASSERT_TRUE(HalStruct_Recalculate(h));
    uint32_t n = 0;
    ASSERT_EQ(kxKovaIo_ChannelCount(&n), 0u);
    ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &session->gui()->ioHandle), 0u);
    ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&session->gui()->ioHandle), FT_OK);
    ASSERT_TRUE(WriteHalChangesToDevice(h, false));
    form = std::make_unique<OCSolverForm>(session.get());
    form->show();
    dialog.messages.clear();
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
  void click(const char *name) { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }
  void choose(const char *combo, int row) {
    QComboBox *c = find<QComboBox>(combo);
    ASSERT_LT(row, c->count()) << combo;
    c->setCurrentIndex(row);
    emit c->activated(row);
  }
  void type(const char *field, const QString &text) {
    QLineEdit *e = find<QLineEdit>(field);
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
    QTest::keyClick(e, Qt::Key_Return);
  }
  static std::vector<uint8_t> chip() {
    const uint8_t *r = kxemu_chip_regs(0);
    return {r, r + KOVA_REG_COUNT};
  }
  std::vector<uint8_t> image() {
    std::vector<uint8_t> r(KOVA_REG_COUNT);
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) r[a] = static_cast<uint8_t>(get_reg(session->hal(), a));
    return r;
  }
};

TEST_F(oc_solver_window_test, PickedSolutionIsLoadedIntoTheChip) {
  click("selectMode");
  EXPECT_EQ(session->hal()->oc_solver_mode_e, oc_solver_mode_select_e);
  QComboBox *vco = find<QComboBox>("vcoList");
  ASSERT_GE(vco->count(), 2);
  const int other = vco->currentIndex() == 0 ? 1 : 0;
  const QString picked = vco->itemText(other);
  const fprec_s vco0 = session->hal()->vco_freq_s;
  choose("vcoList", other);
  EXPECT_EQ(fprec_compare(session->hal()->vco_freq_s, vco0), 0);  // only the load changes the object
  const std::vector<uint8_t> image0 = image();
  click("loadButton");
  EXPECT_TRUE(dialog.messages.empty());
  const hal_api_s *h = session->hal();
  EXPECT_EQ(QString::number(fprec_s_2_double_mhz(h->vco_freq_s), 'f', 6), picked);
  EXPECT_EQ(h->oc_solver_mode_e, oc_solver_mode_select_e);
  EXPECT_NEAR(fprec_s_2_double_mhz(h->oc1_freq_s), 156.25, 1e-9);
  // Every register the load changed reached the chip.
  const std::vector<uint8_t> now = image(), regs = chip();
  int changed = 0;
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a)
    if (now[a] != image0[a]) {
      ++changed;
      EXPECT_EQ(regs[a], now[a]) << std::hex << a;
    }
  EXPECT_GT(changed, 0);
  EXPECT_EQ(find<QComboBox>("vcoList")->currentText(), picked);
}

// Select recalculates with the solver choosing first: a configuration it cannot solve
// shows the restore message, the previous configuration comes back and select stays off.
TEST_F(oc_solver_window_test, SelectThatCannotCalculateRestores) {
  click("manualMode");
  hal_api_s *h = session->hal();
  ASSERT_EQ(h->oc_solver_mode_e, oc_solver_mode_manual_e);
  h->oc1_freq_s = {1234567, 1, 1};  // no VCO reaches it together with 125 MHz
  const hal_api_s before = *h;
  const std::vector<uint8_t> regs0 = chip();
  click("selectMode");
  EXPECT_TRUE(dialog.saw(OC_SOLVER_RESTORE_TEXT));
  EXPECT_EQ(dialog.messages.back().second, "OCSolverForm");
  EXPECT_EQ(std::memcmp(&before, h, sizeof before), 0);
  EXPECT_EQ(chip(), regs0);
  EXPECT_TRUE(find<QRadioButton>("manualMode")->isChecked());
}

// Manual dividers typed in and loaded: an HSDIV frequency above the MSDIV limit is refused
// with nothing written; a sound set reaches the chip.
TEST_F(oc_solver_window_test, ManualLoadChecksTheDividers) {
  const struct {
    int hsdiv_row;  // 0 is 4.0, 4 is 6.0
    const char *msdiv;
    const char *error;
  } cases[] = {
      {0, "4", "ERROR: OC1 Selected HSDIV frequency too high for MSDIV, it must be <= 850.00 MHz"},
      {4, "4", nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.msdiv);
    click("manualMode");
    type("vcoEdit", "4000");
    choose("hsdiv1List", c.hsdiv_row);
    choose("oc1HsdivList", 0);
    type("oc1MsdivEdit", c.msdiv);
    type("oc1LsdivEdit", "1");
    const hal_api_s before = *session->hal();
    const std::vector<uint8_t> regs0 = chip();
    dialog.messages.clear();
    click("loadButton");
    const hal_api_s *h = session->hal();
    if (c.error) {
      ASSERT_EQ(dialog.messages.size(), 1u);
      EXPECT_EQ(dialog.messages[0].first, c.error);
      EXPECT_EQ(dialog.messages[0].second, "OCSolverForm");
      EXPECT_EQ(std::memcmp(&before, h, sizeof before), 0);
      EXPECT_EQ(chip(), regs0);
    } else {
      EXPECT_TRUE(dialog.messages.empty());
      EXPECT_EQ(fprec_compare(h->oc1_freq_s, {4000000000u, 1, 24}), 0);
      EXPECT_EQ(h->oc1_msdiv_u8, 4u);
      EXPECT_NE(chip(), regs0);
      EXPECT_EQ(chip()[0x200] & 0x7F, 3);  // OC1CR1 MSDIV, programmed as divider - 1
    }
  }
}

}  // namespace
