// The output configuration and output clock solver windows driven as a user drives them, on
// an emulated KX40112 in synthesis (XA 50 MHz, OC1 156.25 MHz, OC2 125 MHz, OC3 100 MHz or
// unused): each control stores its field and the change reaches the chip at once; the
// fields that depend on the signal format and the stop source show or hide; a solution
// picked from the solver's lists and loaded reaches the chip, while a mode change the solver
// cannot calculate, or a manual load that breaks a divider limit, changes neither the object
// nor the chip.
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <cstring>

#include "app/windows/oc_solver_window.h"
#include "app/windows/output_config_window.h"
#include "gui_test_support.h"

namespace {

struct output_windows_test : gui_fixture {
  void start_synthesis(bool oc3) {
    start("40112", true, kova_mode_syn_e, [oc3](hal_api_s *h) {
      h->xa_freq_s = {50000000, 1, 1};
      h->oc1_freq_s = {156250000, 1, 1};
      h->oc2_freq_s = {125000000, 1, 1};
      if (oc3) h->oc3_freq_s = {100000000, 1, 1};
    });
  }
};

struct output_config_window_test : output_windows_test {
  OutputConfigForm *window = nullptr;

  void SetUp() override {
    gui_fixture::SetUp();
    start_synthesis(true);
    ASSERT_TRUE(session->change([](hal_api_s *h) { h->oc1_pw_ns_u16 = 2; }));
    window = open<OutputConfigForm>();
  }
  // The output's block on the chip holds what the object's image holds.
  void expect_chip_holds_output(uint32_t n) {
    for (uint32_t a = 0x200 + 0x10 * n; a < 0x210 + 0x10 * n; ++a) EXPECT_EQ(chip()[a], get_reg(hal(), a)) << std::hex << a;
  }
};

TEST_F(output_config_window_test, EditsReachTheObjectAndTheChip) {
  type("phaseEdit", "12.3");
  EXPECT_EQ(hal()->oc1_align_nsx10_u16, 123u);
  find<QCheckBox>("duty50Check")->click();
  EXPECT_EQ(hal()->oc1_pw_ns_u16, 0u);
  EXPECT_TRUE(find<QLineEdit>("pulseWidthEdit")->isHidden());
  expect_chip_holds_output(0);

  window->selectChannel(1);
  find<QCheckBox>("alignCheck")->click();
  EXPECT_EQ(hal()->oc2_align_en, 1u);
  EXPECT_EQ(hal()->oc2cr1_phen_u1, 1u);
  EXPECT_EQ(chip()[0x210] & 0x80, 0x80);  // OC2CR1 PHEN
  expect_chip_holds_output(1);

  window->selectChannel(2);
  choose("stopSourceCombo", 4);  // GPIO3
  EXPECT_EQ(hal()->oc3stop_src_u4, 11u);
  EXPECT_EQ((chip()[0x228] >> 2) & 0xF, 11);  // OC3STOP SRC[3:0]
  EXPECT_TRUE(find<QCheckBox>("stopCheck")->isHidden());
  expect_chip_holds_output(2);
  EXPECT_TRUE(dialog.shown.empty()) << last();
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

struct oc_solver_window_test : output_windows_test {
  void SetUp() override {
    gui_fixture::SetUp();
    start_synthesis(false);
    open<OCSolverForm>();
  }
};

TEST_F(oc_solver_window_test, PickedSolutionIsLoadedIntoTheChip) {
  click("selectMode");
  EXPECT_EQ(hal()->oc_solver_mode_e, oc_solver_mode_select_e);
  QComboBox *vco = find<QComboBox>("vcoList");
  ASSERT_GE(vco->count(), 2);
  const int other = vco->currentIndex() == 0 ? 1 : 0;
  const QString picked = vco->itemText(other);
  const fprec_s vco0 = hal()->vco_freq_s;
  choose("vcoList", other);
  EXPECT_EQ(fprec_compare(hal()->vco_freq_s, vco0), 0);  // only the load changes the object
  const std::vector<uint8_t> image0 = image();
  click("loadButton");
  EXPECT_TRUE(dialog.shown.empty()) << last();
  EXPECT_EQ(QString::number(fprec_s_2_double_mhz(hal()->vco_freq_s), 'f', 6), picked);
  EXPECT_EQ(hal()->oc_solver_mode_e, oc_solver_mode_select_e);
  EXPECT_NEAR(fprec_s_2_double_mhz(hal()->oc1_freq_s), 156.25, 1e-9);
  // The load changed the APLL and output registers, and the chip holds them.
  const std::vector<uint8_t> now = image(), regs = chip_image();
  EXPECT_NE(now, image0);
  EXPECT_EQ(std::vector<uint8_t>(regs.begin() + 0x100, regs.begin() + 0x230),
            std::vector<uint8_t>(now.begin() + 0x100, now.begin() + 0x230));
}

// Select recalculates with the solver choosing first: a configuration it cannot solve
// shows the restore message, the previous configuration comes back and select stays off.
TEST_F(oc_solver_window_test, SelectThatCannotCalculateRestores) {
  click("manualMode");
  ASSERT_EQ(hal()->oc_solver_mode_e, oc_solver_mode_manual_e);
  hal()->oc1_freq_s = {1234567, 1, 1};  // no VCO reaches it together with 125 MHz
  const hal_api_s before = *hal();
  const std::vector<uint8_t> regs0 = chip_image();
  click("selectMode");
  EXPECT_EQ(dialog.shown.back(), std::make_pair(std::string(OC_SOLVER_RESTORE_TEXT), std::string("OCSolverForm")));
  EXPECT_EQ(std::memcmp(&before, hal(), sizeof before), 0);
  EXPECT_EQ(chip_image(), regs0);
  EXPECT_TRUE(find<QRadioButton>("manualMode")->isChecked());
}

// Typed dividers whose HSDIV frequency (4000 MHz / 4.0) is above the MSDIV limit: the load
// is refused with its message and nothing is written.
TEST_F(oc_solver_window_test, ManualLoadTooFastForMsdivWritesNothing) {
  click("manualMode");
  type("vcoEdit", "4000");
  choose("hsdiv1List", 0);
  choose("oc1HsdivList", 0);
  type("oc1MsdivEdit", "4");
  const hal_api_s before = *hal();
  const std::vector<uint8_t> regs0 = chip_image();
  click("loadButton");
  ASSERT_EQ(dialog.shown.size(), 1u);
  EXPECT_EQ(dialog.shown[0], std::make_pair(std::string("ERROR: OC1 Selected HSDIV frequency too high for MSDIV, "
                                                           "it must be <= 850.00 MHz"),
                                               std::string("OCSolverForm")));
  EXPECT_EQ(std::memcmp(&before, hal(), sizeof before), 0);
  EXPECT_EQ(chip_image(), regs0);
}

}  // namespace
