// The input status and monitoring window on an emulated board: its choices land in the
// object and on the chip, "Clear Lock Timeout" writes the input's status register, and the
// status the window fetches is charted.
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineSeries>
#include <cmath>

#include "app/windows/input_monitor_window.h"
#include "input_window_support.h"

namespace {

using input_monitor_window_test = input_window_fixture;
using Form = InputRefMonitorForm;

TEST_F(input_monitor_window_test, choices_reach_the_object_and_the_chip) {
  Form *w = start<Form>("40112", true, 0);
  choose("losSourceCombo", 2);
  w->selectChannel(1);
  type("latencySpin", "3000");
  const double rate = session->gui()->inputClock[1].validationTimerRate;
  choose("valwaitCombo", 4);  // 17 base periods
  const hal_api_s *h = session->hal();
  EXPECT_EQ(h->ic1_mon_extlos_e, 2);
  EXPECT_EQ(h->ic2_mon_loslt_us, 3000u);
  EXPECT_EQ(h->ic2_mon_valwait_ms, static_cast<uint32_t>(std::floor(17000.0 / rate)));
  EXPECT_EQ(find<QComboBox>("valwaitCombo")->currentText().toUInt(), h->ic2_mon_valwait_ms);
  expect_chip_holds_the_monitors();
}

TEST_F(input_monitor_window_test, clear_lock_timeout_writes_the_inputs_status_register) {
  start<Form>("40112", true, 2);
  for (uint32_t a = 0x050; a <= 0x052; ++a) kxemu_chip_regs(0)[a] = 0x5F;  // lock timed out
  choose("refreshRateCombo", 1);
  click("refreshButton");
  EXPECT_FALSE(find<QLabel>("lktoIndicator")->property("good").toBool());
  click("clearLockTimeoutButton");
  EXPECT_EQ(kxemu_chip_regs(0)[0x052], 0x80);
  EXPECT_EQ(kxemu_chip_regs(0)[0x051], 0x5F);
  EXPECT_EQ(get_reg(session->hal(), 0x052), 0x80u);  // fetched again at once
  EXPECT_TRUE(find<QLabel>("lktoIndicator")->property("good").toBool());
  start<Form>("40112", false, 2);  // offline nothing is written, not even to the image
  put_reg(session->hal(), 0x052, 0x5F);
  EXPECT_TRUE(input_monitor_clear_lock_timeout(session->gui(), session->hal(), 2));
  EXPECT_EQ(get_reg(session->hal(), 0x052), 0x5Fu);
}

TEST_F(input_monitor_window_test, each_status_refresh_is_charted) {
  Form *w = start<Form>("40112", true, 0);
  uint8_t *chip = kxemu_chip_regs(0);
  chip[0x049] = 0x12;  // IC2 selected
  chip[0x056] = 0x10;  // tracking
  chip[0x066] = 0x10;  // a frequency offset
  chip[0x07E] = 0x04;  // 1 ns
  ASSERT_TRUE(main_status_refresh(&session->state));
  session->notifyStatusRefreshed();  // the main window's refresh
  choose("refreshRateCombo", 1);  // manual
  click("refreshButton");
  chip[0x07E] = 0x08;  // 2 ns
  chip[0x056] = 0x08;  // holdover: the offset is no input's
  click("refreshButton");
  const auto &s = w->history().samples;
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(std::make_pair(s[0].tracked, s[2].tracked), std::make_pair(1, -1));  // IC2, then none
  EXPECT_EQ(std::make_pair(s[1].phase_ns, s[2].phase_ns), std::make_pair(1.0, 2.0));
  EXPECT_EQ(s[0].freq_ppm, session->hal()->output_freq_offset_ppm_r);
  EXPECT_NE(s[0].freq_ppm, 0.0);
  int ic2 = 0, phase = 0;
  for (QAbstractSeries *series : find<QChartView>("offsetChartView")->chart()->series()) {
    const auto *line = static_cast<QLineSeries *>(series);
    ic2 += line->name() == "IC2 (ppm)" ? line->count() : 0;
    phase += line->name() == "DPLL phase (ns)" ? line->count() : 0;
  }
  EXPECT_EQ(std::make_pair(ic2, phase), std::make_pair(2, 3));
}

}  // namespace
