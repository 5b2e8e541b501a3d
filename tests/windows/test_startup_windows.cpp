// The initial configuration window, the known frequency window and the frequency
// calculator, driven through their fields and buttons.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <tuple>

#include "app/windows/freq_calc_window.h"
#include "app/windows/initial_config_window.h"
#include "app/windows/known_freq_window.h"
#include "gui_test_support.h"

namespace {

bool same(fprec_s a, fprec_s b) { return a.f == b.f && a.n == b.n && a.m == b.m; }

// ---------------------------------------------------------------------------------------
// Initial configuration.

struct initial_config : gui_fixture {
  void SetUp() override {
    gui_fixture::SetUp();
    session = std::make_unique<KovaSession>();
    ASSERT_TRUE(main_startup(&session->state));
  }
};

TEST_F(initial_config, XaPinKeptOrReplacedOnModeChange) {
  // Mode and XA pin mode; the mode chosen; whether the user is told; the master-clock mode.
  const std::tuple<int32_t, int32_t, int32_t, bool, int32_t> cases[] = {
      {kova_mode_syn_e, xa_mode_xtal_e, kova_mode_ja_e, true, 1},        // Crystal -> XO
      {kova_mode_syn_e, xa_mode_xtal_dbl_e, kova_mode_ja_e, false, 6},   // Crystal Doubled kept
      {kova_mode_ja_e, xa_mode_xo_e, kova_mode_nco_e, false, 1},
      {kova_mode_nco_e, xa_mode_xo_dbl_e, kova_mode_ja_e, true, 1},      // XO Doubled -> XO
  };
  for (const auto &[mode, xa_mode, new_mode, told, master_clock] : cases) {
    SCOPED_TRACE(new_mode);
    dialog.shown.clear();
    hal()->kova_device_e = 40112;
    hal()->kova_mode_e = mode;
    hal()->xa_mode_e = xa_mode;
    InitialConfigForm form(session.get());
    auto *modes = child<QComboBox>(&form, "modeCombo");
    modes->setCurrentIndex(modes->findData(new_mode));
    EXPECT_EQ(dialog.saw("Xa Pin was not updated by the Device Mode Change"), told);
    EXPECT_EQ(form.deviceMode(), new_mode);
    EXPECT_EQ(form.masterClockMode(), master_clock);
  }
}

TEST_F(initial_config, FrequencyWithSevenDecimalsEnterAndEscape) {
  set_fprec_s(&hal()->xa_freq_s, 114285000, 1, 1);
  InitialConfigForm form(session.get());
  form.show();
  auto *freq = child<QLineEdit>(&form, "xaFreqEdit");
  EXPECT_EQ(freq->text(), "114.2850000");
  type_into(&form, "xaFreqEdit", "25");
  EXPECT_EQ(freq->text(), "25.0000000");
  type_into(&form, "xaFreqEdit", "100000.5");  // out of range: the previous value again
  EXPECT_EQ(freq->text(), "25.0000000");
  type_into(&form, "xaFreqEdit", "48", Qt::Key_Escape);
  EXPECT_EQ(freq->text(), "25.0000000");
  EXPECT_TRUE(form.isVisible());  // Escape never closes it
  EXPECT_DOUBLE_EQ(form.xaMhz(), 25.0);
  click_on(&form, "doneButton");
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

// ---------------------------------------------------------------------------------------
// Known frequency and the calculator.

struct known_frequency : gui_fixture {
  hal_api_s object{};
};

TEST_F(known_frequency, DoneNeedsAFrequency) {
  InverseIOFreqForm form(&object);
  form.show();
  click_on(&form, "doneButton");
  type_into(&form, "freqEdit", "0");
  click_on(&form, "doneButton");
  EXPECT_EQ(dialog.shown, decltype(dialog.shown)(2, {"Please select an IO and frequency", ""}));
  EXPECT_TRUE(form.isVisible());
  EXPECT_NE(form.result(), QDialog::Accepted);
}

TEST_F(known_frequency, TypedFrequencyStoredIntoTheChosenClock) {
  // The clock chosen, the MHz typed; the field and the value stored.
  const std::tuple<const char *, const char *, fprec_s hal_api_s::*, fprec_s> cases[] = {
      {"OC1", "156.25", &hal_api_s::oc1_freq_s, {156250000, 1, 1}},
      {"IC3", "19.44", &hal_api_s::ic3_freq_s, {19440000, 1, 1}},
      // Above the 32-bit range of hertz: factored exactly, not wrapped.
      {"XA", "5000", &hal_api_s::xa_freq_s, {500000000, 10, 1}},
  };
  for (const auto &[clock, mhz, field, stored] : cases) {
    SCOPED_TRACE(clock);
    object = hal_api_s{};
    InverseIOFreqForm form(&object);
    form.show();
    choose_text(&form, "clockCombo", clock);
    type_into(&form, "freqEdit", mhz);
    click_on(&form, "doneButton");
    EXPECT_TRUE(same(object.*field, stored));
    EXPECT_EQ(form.result(), QDialog::Accepted);
  }
}

TEST_F(known_frequency, FractionFromTheCalculatorStoredAsDelivered) {
  InverseIOFreqForm form(&object);
  form.show();
  on_next_modal([](QWidget *calc) {
    EXPECT_EQ(calc->windowTitle(), "Calculate IO Frequency");
    type_into(calc, "baseEdit", "622.08");
    type_into(calc, "numeratorEdit", "255");
    type_into(calc, "denominatorEdit", "237");
    click_on(calc, "loadButton");
  });
  click_on(&form, "fracButton");
  EXPECT_EQ(child<QLineEdit>(&form, "freqEdit")->text(), "669.326582");
  click_on(&form, "doneButton");  // IC1, the first entry
  EXPECT_TRUE(same(object.ic1_freq_s, {622080000, 255, 237}));
}

// The numerator is shown as typed products; a refused entry is told and reverted; a typed
// base is taken at once, also when the window is then left without loading.
TEST_F(known_frequency, CalculatorEntries) {
  FrequencyCalcForm calc("Calc", {100000000, 1, 1});
  calc.show();
  auto *num = child<QLineEdit>(&calc, "numeratorEdit");
  type_into(&calc, "numeratorEdit", "4*25");
  EXPECT_EQ(num->text(), "4 * 25");
  EXPECT_EQ(child<QLineEdit>(&calc, "actualEdit")->text(), "10000.0000000");
  type_into(&calc, "numeratorEdit", "4 * 0");
  EXPECT_TRUE(dialog.saw("Component multiple == 0"));
  EXPECT_EQ(num->text(), "4 * 25");
  type_into(&calc, "numeratorEdit", "4x7", Qt::Key_Escape);  // filtered, then reverted
  EXPECT_EQ(num->text(), "4 * 25");
  type_into(&calc, "baseEdit", "5000");  // above 32 bits: a factor of 10 moves into the numerator
  calc.reject();
  EXPECT_TRUE(same(calc.value(), {500000000, 1000, 1}));
}

// A pasted record is loaded at once.
TEST_F(known_frequency, PasteLoads) {
  FrequencyCalcForm calc("Calc", {0, 1, 1});
  EXPECT_TRUE(calc.pasteText("5000\t3\t7\n"));
  EXPECT_TRUE(same(calc.value(), {500000000, 30, 7}));
  EXPECT_EQ(calc.result(), QDialog::Accepted);
}

}  // namespace
