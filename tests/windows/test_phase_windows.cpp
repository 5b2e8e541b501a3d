// Phase measurement and phase adjustment windows on the emulated board, asserted on the
// chip's phase meter and phase adjustment registers and on the object's alignment fields.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <tuple>

#include "app/windows/phase_windows.h"
#include "gui_test_support.h"

namespace {

struct phase_measure_test : gui_fixture {
  void SetUp() override {
    gui_fixture::SetUp();
    start("40112", true, kova_mode_syn_e);
    hal()->oc1_msdiv_freq_s = {100000000, 1, 1};  // a 10 ns time base
  }
  std::string result() { return find<QLabel>("resultLabel")->text().toStdString(); }
};

TEST_F(phase_measure_test, OpensOnTheChipsSourcesAndResetsTheMeter) {
  chip()[0x01E] = 0x81;  // A: IC2, inverted
  chip()[0x01F] = 0x12;  // B: OC3
  chip()[0x01D] = 0x01;  // OC1 MSDIV
  open<PhaseMeasureForm>();
  EXPECT_EQ((QStringList{find<QComboBox>("sourceA")->currentText(), find<QComboBox>("sourceB")->currentText(),
                         find<QLabel>("periodLabel")->text(), find<QLabel>("resultLabel")->text()}),
            (QStringList{"IC2", "OC3", "= 10.000 ns", "Ready"}));
  EXPECT_TRUE(find<QCheckBox>("invertA")->isChecked());
  EXPECT_EQ(chip()[0x01D], 0x81);
  EXPECT_EQ(chip()[0x04B] & 0x10, 0x10);
  choose("sourceA", 8);  // OC2, code 17
  EXPECT_EQ(chip()[0x01E], 0x91);
  find<QCheckBox>("invertA")->setChecked(false);
  EXPECT_EQ(chip()[0x01E], 0x11);
  // Outside JA the crystal is no time base: the list starts at OC1 MSDIV.
  EXPECT_EQ(find<QComboBox>("timeBase")->itemText(0), "OC1 MSDIV");
  choose("timeBase", 2);
  EXPECT_EQ(chip()[0x01D], 0x83);  // RST from the opening kept
  EXPECT_TRUE(dialog.shown.empty()) << last();
}

TEST_F(phase_measure_test, MeasurementFromTheStatusRegisters) {
  chip()[0x01D] = 0x01;
  open<PhaseMeasureForm>();
  // MABSR1, MABSR2 and the result shown.
  for (const auto &[sr1, sr2, shown] : {std::tuple{0x07, 0xFF, "-10.000"}, {0x03, 0xFF, "10230.000"},
                                        {0x10, 0x05, "50.000"}, {0x04, 0x00, "-10240.000"}, {0x41, 0x00, "Overflow"}}) {
    SCOPED_TRACE(shown);
    click("resetButton");
    chip()[0x01D] = 0x01;
    chip()[0x04B] = static_cast<uint8_t>(sr1);
    chip()[0x04C] = static_cast<uint8_t>(sr2);
    click("startButton");
    EXPECT_EQ(chip()[0x01D], 0x41);  // START set, time base kept
    EXPECT_EQ(result(), shown);
    EXPECT_FALSE(find<QPushButton>("startButton")->isEnabled());
  }
  EXPECT_TRUE(dialog.shown.empty()) << last();
}

TEST_F(phase_measure_test, BusyThatNeverClearsStopsAfterOneHundredReads) {
  open<PhaseMeasureForm>();
  chip()[0x04B] = 0x08;
  // USB reads of one register read and of one register write on this board.
  kxKovaIo_HandleS *io = &session->gui()->ioHandle;
  uint8_t v = 0;
  uint64_t before = kxemu_stats(0).reads;
  ASSERT_EQ(kxKovaIo_DutRegRead(io, 0x04B, 1, &v), 0u);
  const uint64_t per_read = kxemu_stats(0).reads - before;
  before = kxemu_stats(0).reads;
  ASSERT_EQ(kxKovaIo_DutRegWrite(io, 0x01A, 1, &v), 0u);
  const uint64_t per_write = kxemu_stats(0).reads - before;
  before = kxemu_stats(0).reads;
  click("startButton");
  // MABCR1 read and written to set START, then 100 reads of MABSR1.
  EXPECT_EQ(kxemu_stats(0).reads - before, 101 * per_read + per_write);
  EXPECT_EQ(chip()[0x01D] & 0x40, 0x40);
  EXPECT_EQ(result(), "Timeout");
  EXPECT_EQ(last(), "Timeout: the phase meter was still busy after 100 reads; the measurement was stopped.");
}

TEST_F(phase_measure_test, ChipThatDoesNotAnswerIsReported) {
  kxemu_unplug(0);
  form = std::make_unique<PhaseMeasureForm>(session.get());
  EXPECT_EQ(dialog.shown.size(), 1u);  // one message for every read of the opening
  click("startButton");
  EXPECT_EQ(result(), "No answer");
  EXPECT_EQ(dialog.shown.size(), 2u);
  EXPECT_EQ(last(), "No answer from the chip: the phase registers could not be read or written.");
}

struct phase_adjust_test : gui_fixture {
  void SetUp() override {
    gui_fixture::SetUp();
    start("40112", true, kova_mode_ja_e);
    hal()->hsdiv1_freq_s = {1000000000, 1, 1};  // steps of 0.5 ns
    hal()->hsdiv2_freq_s = {500000000, 1, 1};   // steps of 1 ns
    chip()[0x01B] = 0x00;
    chip()[0x01C] = 0x10;
    open<PhaseAdjustForm>();
  }
};

TEST_F(phase_adjust_test, AdjustmentStepsWithinTheDividersBounds) {
  // OC2CR1 (MSDIV code), OC2CR3; typed ns; OC2PH steps and the ns shown.
  const std::tuple<uint8_t, uint8_t, const char *, uint8_t, const char *> cases[] = {
      {0x04, 0x00, "-100", 0xFE, "-1.000"},  // even MSDIV code 4: -2 to 124 steps
      {0x04, 0x00, "100", 124, "62.000"},
      {0x05, 0x00, "-100", 0xFC, "-2.000"},  // odd code 5: -4 to 122
      {0x05, 0x00, "100", 122, "61.000"},
      {0x04, 0x00, "3.2", 6, "3.000"},       // 6.4 steps, rounded
      {0x04, 0x40, "3.2", 3, "3.000"},       // DIVSEL: HSDIV2 clocks the output
      {0x00, 0x00, "-5", 0, "0.000"},        // code 0 allows no step down
      {0x00, 0x00, "500", 127, "63.500"},    // nor more than a signed byte up
      {0x04, 0x00, "1e300", 124, "62.000"},  // a huge entry ends at the bound
      {0x04, 0x00, "nan", 0, "0.000"},      // no steps for what is not a number
  };
  for (const auto &[cr1, cr3, ns, ph, shown] : cases) {
    SCOPED_TRACE(std::string(ns) + " code " + std::to_string(cr1));
    chip()[0x210] = cr1;
    chip()[0x212] = cr3;
    type("adjust1", ns);
    EXPECT_EQ(chip()[0x217], ph);
    EXPECT_EQ(get_reg(hal(), 0x217), ph);
    EXPECT_EQ(find<QLabel>("adjusted1")->text(), shown);
  }
}

TEST_F(phase_adjust_test, EnableSwitchesOffEveryAlignment) {
  hal()->oc1_align_en = hal()->oc2_align_en = hal()->oc3_align_en = 1;
  chip()[0x220] = 0x05;
  find<QCheckBox>("enable2")->setChecked(true);
  EXPECT_EQ(chip()[0x220], 0x85);
  EXPECT_EQ(get_reg(hal(), 0x220), 0x85u);
  EXPECT_EQ(hal()->oc3cr1_phen_u1, 1u);
  EXPECT_EQ(hal()->oc1_align_en + hal()->oc2_align_en + hal()->oc3_align_en, 0u);
  find<QCheckBox>("enable2")->setChecked(false);
  EXPECT_EQ(chip()[0x220], 0x05);
  EXPECT_EQ(hal()->oc3cr1_phen_u1, 0u);
}

TEST_F(phase_adjust_test, SourcesAndCommands) {
  choose("armSource", 2);      // DPLL locks: arm source 3
  choose("triggerSource", 5);  // GPIO1 transition: trigger source 5
  EXPECT_EQ(chip()[0x01C], 0x35);
  auto buttons = [this] {
    return std::make_pair(find<QPushButton>("armButton")->isEnabled(), find<QPushButton>("triggerButton")->isEnabled());
  };
  EXPECT_EQ(buttons(), std::make_pair(false, false));  // armed and triggered by their sources
  find<QCheckBox>("triggerInvert")->setChecked(true);
  choose("armSource", 0);
  choose("triggerSource", 0);
  EXPECT_EQ(chip()[0x01C], 0x10);
  EXPECT_EQ(buttons(), std::make_pair(true, true));
  EXPECT_FALSE(find<QCheckBox>("triggerInvert")->isChecked());
  // The command buttons with trigger inversion and relative mode: PACR1.
  for (const auto &[button, tinv, relative, pacr1] : {std::tuple{"resetButton", false, false, 0x80},
                                                      {"armButton", false, true, 0x21},
                                                      {"triggerButton", true, true, 0x43}}) {
    find<QCheckBox>("triggerInvert")->setChecked(tinv);
    find<QCheckBox>("relativeMode")->setChecked(relative);
    click(button);
    EXPECT_EQ(chip()[0x01B], pacr1) << button;
  }
}

TEST_F(phase_adjust_test, ClosingDerivesTheAlignment) {
  struct close_case {
    uint8_t pacr1;
    uint32_t en[3];
    double ns[3];
  } cases[] = {{0x00, {1, 1, 0}, {3.0, 0.0, 0.0}}, {0x01, {0, 0, 0}, {0.0, 0.0, 0.0}}};
  for (const close_case &c : cases) {
    SCOPED_TRACE(c.pacr1);
    open<PhaseAdjustForm>();
    chip()[0x01B] = c.pacr1;
    chip()[0x200] = 0x84, chip()[0x202] = 0x00, chip()[0x207] = 0x06;  // 6 steps of 0.5 ns
    chip()[0x210] = 0x84, chip()[0x212] = 0x00, chip()[0x217] = 0xFE;  // a step back: no alignment
    chip()[0x220] = 0x04, chip()[0x227] = 0x06;                        // not enabled
    form->close();
    EXPECT_EQ(get_reg(hal(), 0x207), 0x06u);
    EXPECT_EQ(get_reg(hal(), 0x01B), c.pacr1);
    EXPECT_EQ((std::vector<uint32_t>{hal()->oc1_align_en, hal()->oc2_align_en, hal()->oc3_align_en}),
              std::vector<uint32_t>(c.en, c.en + 3));
    EXPECT_EQ((std::vector<double>{hal()->oc1_align_ns_r, hal()->oc2_align_ns_r, hal()->oc3_align_ns_r}),
              std::vector<double>(c.ns, c.ns + 3));
    EXPECT_EQ(hal()->oc1_align_nsx10_u16, c.en[0] ? 30u : 0u);
  }
}

}  // namespace
