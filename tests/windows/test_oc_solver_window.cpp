// The output clock solver window driven as a user drives it, on the emulated KX40112: a
// solution picked from the lists and loaded reaches the chip; a mode change the solver
// cannot calculate, or a manual load that breaks a divider limit, changes neither the
// object nor the chip.
#include <QAbstractButton>
#include <QRadioButton>
#include <cstring>
#include <memory>

#include "app/windows/oc_solver_window.h"
#include "output_windows_support.h"

namespace {

struct oc_solver_window_test : gui_fixture {
  std::unique_ptr<KovaSession> session;
  std::unique_ptr<OCSolverForm> form;

  void SetUp() override {
    gui_fixture::SetUp();
    session = std::make_unique<KovaSession>();
    start_synthesis_on_board(session.get(), false);
    form = std::make_unique<OCSolverForm>(session.get());
    form->show();
    dialog.messages.clear();
  }
  void TearDown() override {
    form.reset();
    session.reset();
    gui_fixture::TearDown();
  }
  void click(const char *name) { QTest::mouseClick(child<QAbstractButton>(form.get(), name), Qt::LeftButton); }
  std::vector<uint8_t> image() {
    std::vector<uint8_t> r(KOVA_REG_COUNT);
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) r[a] = static_cast<uint8_t>(get_reg(session->hal(), a));
    return r;
  }
};

TEST_F(oc_solver_window_test, PickedSolutionIsLoadedIntoTheChip) {
  click("selectMode");
  EXPECT_EQ(session->hal()->oc_solver_mode_e, oc_solver_mode_select_e);
  QComboBox *vco = child<QComboBox>(form.get(), "vcoList");
  ASSERT_GE(vco->count(), 2);
  const int other = vco->currentIndex() == 0 ? 1 : 0;
  const QString picked = vco->itemText(other);
  const fprec_s vco0 = session->hal()->vco_freq_s;
  choose_row(form.get(), "vcoList", other);
  EXPECT_EQ(fprec_compare(session->hal()->vco_freq_s, vco0), 0);  // only the load changes the object
  const std::vector<uint8_t> image0 = image();
  click("loadButton");
  EXPECT_TRUE(dialog.messages.empty());
  const hal_api_s *h = session->hal();
  EXPECT_EQ(QString::number(fprec_s_2_double_mhz(h->vco_freq_s), 'f', 6), picked);
  EXPECT_EQ(h->oc_solver_mode_e, oc_solver_mode_select_e);
  EXPECT_NEAR(fprec_s_2_double_mhz(h->oc1_freq_s), 156.25, 1e-9);
  // Every register the load changed reached the chip.
  const std::vector<uint8_t> now = image(), regs = chip_registers();
  int changed = 0;
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a)
    if (now[a] != image0[a]) {
      ++changed;
      EXPECT_EQ(regs[a], now[a]) << std::hex << a;
    }
  EXPECT_GT(changed, 0);
}

// Select recalculates with the solver choosing first: a configuration it cannot solve
// shows the restore message, the previous configuration comes back and select stays off.
TEST_F(oc_solver_window_test, SelectThatCannotCalculateRestores) {
  click("manualMode");
  hal_api_s *h = session->hal();
  ASSERT_EQ(h->oc_solver_mode_e, oc_solver_mode_manual_e);
  h->oc1_freq_s = {1234567, 1, 1};  // no VCO reaches it together with 125 MHz
  const hal_api_s before = *h;
  const std::vector<uint8_t> regs0 = chip_registers();
  click("selectMode");
  EXPECT_TRUE(dialog.saw(OC_SOLVER_RESTORE_TEXT));
  EXPECT_EQ(dialog.messages.back().second, "OCSolverForm");
  EXPECT_EQ(std::memcmp(&before, h, sizeof before), 0);
  EXPECT_EQ(chip_registers(), regs0);
  EXPECT_TRUE(child<QRadioButton>(form.get(), "manualMode")->isChecked());
}

// Typed dividers whose HSDIV frequency (4000 MHz / 4.0) is above the MSDIV limit: the load
// is refused with its message and nothing is written.
TEST_F(oc_solver_window_test, ManualLoadTooFastForMsdivWritesNothing) {
  click("manualMode");
  type_into(form.get(), "vcoEdit", "4000");
  choose_row(form.get(), "hsdiv1List", 0);
  choose_row(form.get(), "oc1HsdivList", 0);
  type_into(form.get(), "oc1MsdivEdit", "4");
  const hal_api_s before = *session->hal();
  const std::vector<uint8_t> regs0 = chip_registers();
  click("loadButton");
  ASSERT_EQ(dialog.messages.size(), 1u);
  EXPECT_EQ(dialog.messages[0].first, "ERROR: OC1 Selected HSDIV frequency too high for MSDIV, it must be <= 850.00 MHz");
  EXPECT_EQ(dialog.messages[0].second, "OCSolverForm");
  EXPECT_EQ(std::memcmp(&before, session->hal(), sizeof before), 0);
  EXPECT_EQ(chip_registers(), regs0);
}

}  // namespace
