// Power estimate window: the figures with three decimals and the bars of the chart follow the
// register image at the main window's status refresh and at the window's own refresh.
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QLabel>

#include "app/windows/power_window.h"
#include "board_session_fixture.h"

namespace {

struct power_window_test : board_session_fixture {
  void SetUp() override {
    board_session_fixture::SetUp();
    start("40112", kova_mode_ja_e, false);
    // Reset defaults, then the DPLL and APLL with the XA pins (XAB 1) and the doubler.
    init_api(hal());
    put_reg(hal(), 0x00B, 0x11);
    put_reg(hal(), 0x009, 0x05);
    open<PowerEstimateForm>();
  }
  std::string shown(const char *name) { return find<QLabel>(name)->text().toStdString(); }
  // The bars, typical set then maximum set, 1.8 V then 3.3 V in each.
  void expect_bars(const std::vector<double> &ma) {
    const std::vector<double> v = bars();
    ASSERT_EQ(v.size(), ma.size());
    for (size_t i = 0; i < v.size(); ++i) EXPECT_NEAR(v[i], ma[i], 1e-9) << "bar " << i;
  }
  std::vector<double> bars() {
    auto *series = qobject_cast<QBarSeries *>(find<QChartView>("currentChart")->chart()->series().value(0));
    std::vector<double> v;
    if (!series) return v;
    for (QBarSet *set : series->barSets())
      for (int i = 0; i < set->count(); ++i) v.push_back(set->at(i));
    return v;
  }
};

TEST_F(power_window_test, FiguresAndChartFollowTheImage) {
  // 85.6 | 97.5 + 12 + 4 + 0.6 | 110.4 | 117 + 14.4 + 4.8 + 5 mA; powers 85.6 x 1.8 = 154.08 mW,
  // 114.1 x 3.3 = 376.53 mW, 110.4 x 1.8 x 1.05 = 208.656 mW, 141.2 x 3.3 x 1.05 = 489.258 mW.
  const char *names[] = {"typCurrent18", "typCurrent33", "maxCurrent18", "maxCurrent33", "typPower18",
                         "typPower33",   "maxPower18",   "maxPower33",   "typPowerTotal", "maxPowerTotal"};
  const char *expected[] = {"85.600", "114.100", "110.400", "141.200", "0.154",
                            "0.377",  "0.209",   "0.489",   "0.531",   "0.698"};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(shown(names[i]), expected[i]) << names[i];
  expect_bars({85.6, 114.1, 110.4, 141.2});
  EXPECT_EQ(shown("noteLabel"), "Estimated values from data sheet IDD electrical table.");

  // The main window's status refresh: a blank image's 12.6, 0.6, 18.0 and 5.0 mA.
  put_reg(hal(), 0x00B, 0x00);
  session->notifyStatusRefreshed();
  EXPECT_EQ(shown("typCurrent18"), "12.600");
  EXPECT_EQ(shown("maxPower33"), "0.017");
  expect_bars({12.6, 0.6, 18.0, 5.0});

  // The window's own refresh: APLL only, MCR1 no longer counted.
  put_reg(hal(), 0x00B, 0x01);
  click("refreshButton");
  EXPECT_EQ(shown("typCurrent33"), "98.100");
  EXPECT_EQ(shown("maxCurrent18"), "64.800");
}

}  // namespace
