// The initial configuration window, the known frequency window and the frequency
// calculator, driven through their fields and buttons.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/windows/freq_calc_window.h"
#include "app/windows/initial_config_window.h"
#include "app/windows/known_freq_window.h"
#include "app/windows/session.h"
#include "gui_test_support.h"

namespace {

template <typename T>
T *child(QWidget *w, const char *name) {
  T *c = w->findChild<T *>(name);
  EXPECT_NE(c, nullptr) << name;
  return c;
}

void type_into(QWidget *w, const char *field, const QString &text, Qt::Key end = Qt::Key_Return) {
  auto *e = child<QLineEdit>(w, field);
  e->setFocus();
  e->selectAll();
  QTest::keyClicks(e, text);
  QTest::keyClick(e, end);
}

void click(QWidget *w, const char *button) { QTest::mouseClick(child<QPushButton>(w, button), Qt::LeftButton); }

bool same(fprec_s a, fprec_s b) { return a.f == b.f && a.n == b.n && a.m == b.m; }

// ---------------------------------------------------------------------------------------
// Initial configuration.

struct initial_config : gui_fixture {
  KovaSession session;
  void SetUp() override {
    gui_fixture::SetUp();
    ASSERT_TRUE(main_startup(&session.state));
  }
};

TEST_F(initial_config, ModesOfferedByTheProduct) {
  const struct {
    int32_t device;
    QStringList modes;
  } cases[] = {
      {40110, {"Frequency Synthesis (APLL-only)", "Numerically Controlled Oscillator", "Spread Spectrum"}},
      {40075, {"Frequency Synthesis (APLL-only)", "Numerically Controlled Oscillator",
               "Jitter Attenuation (DPLL+APLL)"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.device);
    session.hal()->kova_device_e = c.device;
    session.hal()->kova_mode_e = kova_mode_ss_e;
    InitialConfigForm form(&session);
    auto *modes = child<QComboBox>(&form, "modeCombo");
    QStringList texts;
    for (int i = 0; i < modes->count(); ++i) texts << modes->itemText(i);
    EXPECT_EQ(texts, c.modes);
    // The object's mode when offered, else the first.
    EXPECT_EQ(form.deviceMode(), c.modes.contains("Spread Spectrum") ? kova_mode_ss_e : kova_mode_syn_e);
    modes->setCurrentIndex(c.modes.size() - 1);
    EXPECT_EQ(form.deviceMode(), c.device == 40110 ? kova_mode_ss_e : kova_mode_ja_e);
  }
  EXPECT_TRUE(dialog.messages.empty());
}

TEST_F(initial_config, XaPinKeptOrReplacedOnModeChange) {
  const struct {
    int32_t mode, xa_mode, new_mode;
    bool told;
    int32_t master_clock;
  } cases[] = {
      {kova_mode_syn_e, xa_mode_xtal_e, kova_mode_ja_e, true, 1},        // Crystal -> XO
      {kova_mode_syn_e, xa_mode_xtal_dbl_e, kova_mode_ja_e, false, 6},   // Crystal Doubled kept
      {kova_mode_ja_e, xa_mode_xo_e, kova_mode_nco_e, false, 1},
      {kova_mode_nco_e, xa_mode_xo_dbl_e, kova_mode_ja_e, true, 1},      // XO Doubled -> XO
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.new_mode);
    dialog.messages.clear();
    session.hal()->kova_device_e = 40112;
    session.hal()->kova_mode_e = c.mode;
    session.hal()->xa_mode_e = c.xa_mode;
    InitialConfigForm form(&session);
    auto *modes = child<QComboBox>(&form, "modeCombo");
    modes->setCurrentIndex(modes->findData(c.new_mode));
    EXPECT_EQ(dialog.saw("Xa Pin was not updated by the Device Mode Change"), c.told);
    EXPECT_EQ(form.deviceMode(), c.new_mode);
    EXPECT_EQ(form.masterClockMode(), c.master_clock);
  }
}

TEST_F(initial_config, FrequencyWithSevenDecimalsEnterAndEscape) {
  set_fprec_s(&session.hal()->xa_freq_s, 114285000, 1, 1);
  InitialConfigForm form(&session);
  form.show();
  auto *freq = child<QLineEdit>(&form, "xaFreqEdit");
  EXPECT_EQ(freq->text(), "114.2850000");
  EXPECT_DOUBLE_EQ(form.xaMhz(), 114.285);
  type_into(&form, "xaFreqEdit", "25");
  EXPECT_EQ(freq->text(), "25.0000000");
  type_into(&form, "xaFreqEdit", "100000.5");  // out of range: the previous value again
  EXPECT_EQ(freq->text(), "25.0000000");
  type_into(&form, "xaFreqEdit", "48", Qt::Key_Escape);
  EXPECT_EQ(freq->text(), "25.0000000");
  EXPECT_TRUE(form.isVisible());  // Escape never closes it
  EXPECT_DOUBLE_EQ(form.xaMhz(), 25.0);
  click(&form, "doneButton");
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

// ---------------------------------------------------------------------------------------
// Known frequency and the calculator.

struct known_frequency : gui_fixture {
  hal_api_s hal{};
};

TEST_F(known_frequency, DoneNeedsAFrequency) {
  InverseIOFreqForm form(&hal);
  form.show();
  click(&form, "doneButton");
  type_into(&form, "freqEdit", "0");
  click(&form, "doneButton");
  EXPECT_EQ(dialog.messages, decltype(dialog.messages)(2, {"Please select an IO and frequency", ""}));
  EXPECT_TRUE(form.isVisible());
  EXPECT_NE(form.result(), QDialog::Accepted);
}

TEST_F(known_frequency, TypedFrequencyStoredIntoTheChosenClock) {
  const struct {
    const char *clock, *mhz;
    fprec_s hal_api_s::*field;
    fprec_s stored;
  } cases[] = {
      {"OC1", "156.25", &hal_api_s::oc1_freq_s, {156250000, 1, 1}},
      {"IC3", "19.44", &hal_api_s::ic3_freq_s, {19440000, 1, 1}},
      // Above the 32-bit range of hertz: factored exactly, not wrapped.
      {"XA", "5000", &hal_api_s::xa_freq_s, {500000000, 10, 1}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.clock);
    hal = hal_api_s{};
    InverseIOFreqForm form(&hal);
    form.show();
    auto *clock = child<QComboBox>(&form, "clockCombo");
    clock->setCurrentIndex(clock->findText(c.clock));
    type_into(&form, "freqEdit", c.mhz);
    click(&form, "doneButton");
    EXPECT_TRUE(same(hal.*c.field, c.stored));
    EXPECT_EQ(form.result(), QDialog::Accepted);
  }
}

TEST_F(known_frequency, FractionFromTheCalculatorStoredAsDelivered) {
  InverseIOFreqForm form(&hal);
  form.show();
  on_next_modal([](QWidget *calc) {
    EXPECT_EQ(calc->windowTitle(), "Calculate IO Frequency");
    type_into(calc, "baseEdit", "622.08");
    type_into(calc, "numeratorEdit", "255");
    type_into(calc, "denominatorEdit", "237");
    click(calc, "loadButton");
  });
  click(&form, "fracButton");
  EXPECT_EQ(child<QLineEdit>(&form, "freqEdit")->text(), "669.326582");
  click(&form, "doneButton");  // IC1, the first entry
  EXPECT_TRUE(same(hal.ic1_freq_s, {622080000, 255, 237}));
}

TEST_F(known_frequency, CalculatorFactorsBasesAboveThirtyTwoBits) {
  const struct {
    const char *base;
    fprec_s initial, loaded;
  } cases[] = {
      {"5000", {0, 1, 1}, {500000000, 10, 1}},
      {"7200", {0, 1, 12}, {3600000000u, 1, 6}},
      {"25000.5", {0, 3, 1}, {2500050000u, 30, 1}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.base);
    FrequencyCalcForm calc("Calc", c.initial);
    calc.show();
    type_into(&calc, "baseEdit", c.base);
    // Taken as loaded at once, even when the window is then left without loading.
    EXPECT_TRUE(same(calc.value(), c.loaded));
    calc.reject();
    EXPECT_TRUE(same(calc.value(), c.loaded));
  }
}

TEST_F(known_frequency, CalculatorNumeratorEntries) {
  FrequencyCalcForm calc("Calc", {100000000, 1, 1});
  calc.show();
  auto *num = child<QLineEdit>(&calc, "numeratorEdit");
  type_into(&calc, "numeratorEdit", "4*25");
  EXPECT_EQ(num->text(), "4 * 25");
  EXPECT_EQ(child<QLineEdit>(&calc, "actualEdit")->text(), "10000.0000000");
  const struct {
    const char *typed, *message;
  } refused[] = {{"4 * 0", "Component multiple == 0"}, {"65536*65536", "Multiple Overflow"}};
  for (const auto &r : refused) {
    SCOPED_TRACE(r.typed);
    type_into(&calc, "numeratorEdit", r.typed);
    EXPECT_TRUE(dialog.saw(r.message));
    EXPECT_EQ(num->text(), "4 * 25");
  }
  type_into(&calc, "numeratorEdit", "4x7", Qt::Key_Escape);  // filtered, then reverted
  EXPECT_EQ(num->text(), "4 * 25");
  type_into(&calc, "baseEdit", "12..5");
  EXPECT_EQ(child<QLineEdit>(&calc, "baseEdit")->text(), "12.500000");
  click(&calc, "loadButton");
  EXPECT_TRUE(same(calc.value(), {12500000, 100, 1}));
}

TEST_F(known_frequency, PasteKeepsTheFactoredNumerator) {
  FrequencyCalcForm calc("Calc", {0, 1, 1});
  EXPECT_TRUE(calc.pasteText("5000\t3\t7\n"));
  EXPECT_TRUE(same(calc.value(), {500000000, 30, 7}));
  EXPECT_EQ(calc.result(), QDialog::Accepted);
  FrequencyCalcForm refused("Calc", {0, 1, 1});
  EXPECT_FALSE(refused.pasteText("25\t0"));
  EXPECT_TRUE(dialog.saw("Component multiple == 0"));
  EXPECT_TRUE(same(refused.value(), {0, 1, 1}));
}

}  // namespace
