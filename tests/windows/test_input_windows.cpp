// The input configuration and input status windows on an emulated board: the linked
// threshold rules and the monitor choices driven through the widgets, asserted on the
// configuration object and the chip's monitor registers; "Clear Lock Timeout" writes the
// input's status register; the status the window fetches is charted.
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineSeries>
#include <QSpinBox>
#include <cmath>
#include <tuple>

#include "app/main_ops.h"
#include "app/windows/input_config_window.h"
#include "app/windows/input_monitor_window.h"
#include "gui_test_support.h"

namespace {

struct input_window_test : gui_fixture {
  // A fresh board and session: a chip in jitter attenuation with IC1 at 19.44 MHz and IC2 at
  // 25 MHz, configured as the initial-configuration window does it; the window on one input.
  template <class W>
  W *begin(const char *device, bool connected, int channel) {
    restart();
    install_board(device);
    session = std::make_unique<KovaSession>();
    if (connected) open_board();
    hal()->kova_device_e = std::atoi(device);
    EXPECT_TRUE(main_initial_config(&session->state, kova_mode_ja_e, 1, 114.285));
    EXPECT_TRUE(session->change([](hal_api_s *h) {
      h->ic1_freq_s = {19440000, 1, 1};
      h->ic2_freq_s = {25000000, 1, 1};
      h->oc1_freq_s = {156250000, 1, 1};
      h->icen_ic1en_u1 = h->icen_ic2en_u1 = 1;
    }));
    main_adopt_object(&session->state);
    W *w = open<W>();
    w->selectChannel(channel);
    return w;
  }
  // The chip holds the object's input divider and monitor registers (0x300 to 0x35C).
  void expect_chip_holds_the_monitors() {
    for (uint32_t a = 0x300; a <= 0x35C; ++a) ASSERT_EQ(chip()[a], get_reg(hal(), a)) << std::hex << a;
  }
};
using T = input_window_test;

TEST_F(input_window_test, thresholds_reach_the_object_and_the_chip) {
  // What, device, input; the user's steps; accept and reject stored, reject field shown.
  const std::tuple<const char *, const char *, int, void (*)(T *), uint32_t, uint32_t, bool> cases[] = {
      {"fine: accept 150 raises reject 120", "40089", 1, [](T *t) {
         t->choose_data("monitorRangeCombo", 1);
         t->type("acceptSpin", "100");
         t->type("rejectSpin", "120");
         t->type("acceptSpin", "150");
       }, 150, 150, true},
      {"fine: the hysteresis box clears reject", "40089", 0, [](T *t) {
         t->choose_data("monitorRangeCombo", 1);
         t->type("acceptSpin", "100");
         t->type("rejectSpin", "200");
         t->find<QCheckBox>("hysteresisCheck")->click();
       }, 100, 0, false},
  };
  for (const auto &[what, device, channel, act, thr, thr2, reject_shown] : cases) {
    SCOPED_TRACE(what);
    begin<InputConfigForm>(device, true, channel);
    act(this);
    EXPECT_EQ(channel ? hal()->ic2_mon_thr_ppm : hal()->ic1_mon_thr_ppm, thr);
    EXPECT_EQ(channel ? hal()->ic2_mon_thr2_ppm : hal()->ic1_mon_thr2_ppm, thr2);
    EXPECT_EQ(find<QSpinBox>("rejectSpin")->isVisible(), reject_shown);
    expect_chip_holds_the_monitors();
    EXPECT_EQ(find<QComboBox>("monitorRangeCombo")->count(), 3);  // the KX40089's monitor has all three ranges
  }
}

TEST_F(input_window_test, monitor_choices_reach_the_object_and_the_chip) {
  auto *w = begin<InputRefMonitorForm>("40112", true, 0);
  choose("losSourceCombo", 2);
  w->selectChannel(1);
  type("latencySpin", "3000");
  const double rate = session->gui()->inputClock[1].validationTimerRate;
  choose("valwaitCombo", 4);  // 17 base periods
  EXPECT_EQ(hal()->ic1_mon_extlos_e, 2);
  EXPECT_EQ(hal()->ic2_mon_loslt_us, 3000u);
  EXPECT_EQ(hal()->ic2_mon_valwait_ms, static_cast<uint32_t>(std::floor(17000.0 / rate)));
  EXPECT_EQ(find<QComboBox>("valwaitCombo")->currentText().toUInt(), hal()->ic2_mon_valwait_ms);
  expect_chip_holds_the_monitors();
}

TEST_F(input_window_test, clear_lock_timeout_writes_the_inputs_status_register) {
  begin<InputRefMonitorForm>("40112", true, 2);
  for (uint32_t a = 0x050; a <= 0x052; ++a) chip()[a] = 0x5F;  // lock timed out
  choose("refreshRateCombo", 1);
  click("refreshButton");
  EXPECT_FALSE(find<QLabel>("lktoIndicator")->property("good").toBool());
  click("clearLockTimeoutButton");
  EXPECT_EQ(chip()[0x052], 0x80);
  EXPECT_EQ(chip()[0x051], 0x5F);
  EXPECT_EQ(get_reg(hal(), 0x052), 0x80u);  // fetched again at once
  EXPECT_TRUE(find<QLabel>("lktoIndicator")->property("good").toBool());
}

TEST_F(input_window_test, each_status_refresh_is_charted) {
  auto *w = begin<InputRefMonitorForm>("40112", true, 0);
  chip()[0x049] = 0x12;  // IC2 selected
  chip()[0x056] = 0x10;  // tracking
  chip()[0x066] = 0x10;  // a frequency offset
  chip()[0x07E] = 0x04;  // 1 ns
  ASSERT_TRUE(main_status_refresh(&session->state));
  session->notifyStatusRefreshed();  // the main window's refresh
  choose("refreshRateCombo", 1);     // manual
  click("refreshButton");
  chip()[0x07E] = 0x08;  // 2 ns
  chip()[0x056] = 0x08;  // holdover: the offset is no input's
  click("refreshButton");
  EXPECT_EQ(w->history().samples.size(), 3u);
  int ic2 = 0, phase = 0;
  for (QAbstractSeries *series : find<QChartView>("offsetChartView")->chart()->series()) {
    const auto *line = static_cast<QLineSeries *>(series);
    ic2 += line->name() == "IC2 (ppm)" ? line->count() : 0;
    phase += line->name() == "DPLL phase (ns)" ? line->count() : 0;
  }
  EXPECT_EQ(std::make_pair(ic2, phase), std::make_pair(2, 3));  // IC2 tracked twice, then none
}

}  // namespace
