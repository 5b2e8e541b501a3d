// Power estimate window: the figures with three decimals and the bars of the chart follow the
// register image at the main window's status refresh and at the window's own refresh.
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QLabel>

#include "app/windows/power_window.h"
#include "gui_test_support.h"

namespace {

struct power_window_test : gui_fixture {
  void SetUp() override {
    gui_fixture::SetUp();
    start("40112", false, kova_mode_ja_e);
    // Reset defaults, then the DPLL and APLL with the XA pins (XAB 1) and the doubler.
    init_api(hal());
    put_reg(hal(), 0x00B, 0x11);
    put_reg(hal(), 0x009, 0x05);
    open<PowerEstimateForm>();
  }
  // The figures, the typical and maximum current, then power, of 1.8 V and 3.3 V; the totals.
  std::string figures() {
    std::string s;
    for (const char *name : {"typCurrent18", "typCurrent33", "maxCurrent18", "maxCurrent33", "typPower18",
                             "typPower33", "maxPower18", "maxPower33", "typPowerTotal", "maxPowerTotal"})
      s += find<QLabel>(name)->text().toStdString() + " ";
    return s;
  }
  // The bars to 0.1 mA, typical set then maximum set, 1.8 V then 3.3 V in each.
  QString bars() {
    auto *series = qobject_cast<QBarSeries *>(find<QChartView>("currentChart")->chart()->series().value(0));
    QString s;
    for (QBarSet *set : series ? series->barSets() : QList<QBarSet *>())
      for (int i = 0; i < set->count(); ++i) s += QString::number(set->at(i), 'f', 1) + " ";
    return s;
  }
};

TEST_F(power_window_test, FiguresAndChartFollowTheImage) {
  // Powers: 85.6 x 1.8, 114.1 x 3.3, 110.4 x 1.8 x 1.05, 141.2 x 3.3 x 1.05 mW.
  EXPECT_EQ(figures(), "85.600 114.100 110.400 141.200 0.154 0.377 0.209 0.489 0.531 0.698 ");
  EXPECT_EQ(bars(), "85.6 114.1 110.4 141.2 ");
  EXPECT_EQ(find<QLabel>("noteLabel")->text(), "Estimated values from data sheet IDD electrical table.");

  // The main window's status refresh: a blank image's 12.6, 0.6, 18.0 and 5.0 mA.
  put_reg(hal(), 0x00B, 0x00);
  session->notifyStatusRefreshed();
  EXPECT_EQ(figures(), "12.600 0.600 18.000 5.000 0.023 0.002 0.034 0.017 0.025 0.051 ");
  EXPECT_EQ(bars(), "12.6 0.6 18.0 5.0 ");

  // The window's own refresh: APLL only, MCR1 no longer counted.
  put_reg(hal(), 0x00B, 0x01);
  click("refreshButton");
  EXPECT_EQ(figures().substr(0, 20), "51.600 98.100 64.800");
}

}  // namespace
