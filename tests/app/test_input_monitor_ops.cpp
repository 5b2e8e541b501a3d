// The input monitor windows' logic without widgets: validation timer lists, status bits,
// refresh periods, the threshold rules the window tests do not reach, and the bounded
// offset history.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "app/input_monitor_ops.h"
#include "tests/app/app_test_util.h"

TEST(input_monitor_ops, ValidationTimerLists) {
  // Rate, range, ppm mode, wait -> the entries shown and the one selected (-1: "Select Value").
  const std::tuple<double, int32_t, int32_t, int32_t, const char *, int32_t> cases[] = {
      {1000.0, 2, 0, 17, "0 3 5 9 17 33 65 129", 4}, {300.0, 1, 0, 10, "0 10 16 30 56 110 216 430", 1},
      {1000.0, 1, 2, 4, "0 2 3 4 5 6 7 8", 3},      {1000.0, 2, 0, 7, "0 3 5 9 17 33 65 129", -1},
      {0.0, 2, 0, 0, "0 0 0 0 0 0 0 0", 0},         {1000.0, 0, 0, 33, "0", 0}};
  for (const auto &[rate, range, ppm_mode, wait, shown, selected] : cases) {
    const choice_list_s l = input_valwait_list(rate, range, ppm_mode, wait);
    std::string texts;
    for (const auto &i : l.items) {
      texts += (texts.empty() ? "" : " ") + i.text;
      EXPECT_EQ(std::to_string(input_valwait_ms(rate, i.value)), i.text);  // stores what it shows
    }
    EXPECT_EQ(texts, shown);
    EXPECT_EQ(l.selected, selected) << shown;
  }
  EXPECT_EQ(input_valwait_ms(1e-9, 129), INT32_MAX);
  // Rebuilt when the rate or the multipliers change, and after the list was disabled.
  input_valwait_memo_s memo;
  const std::tuple<double, int32_t, int32_t, bool> steps[] = {
      {1000, 0, 0, true}, {1000, 2, 0, true}, {1000, 2, 0, false}, {500, 2, 0, true}, {500, 1, 0, false},
      {500, 1, 2, true},  {500, 0, 2, true},   {500, 0, 0, false}, {500, 1, 2, true}};
  for (const auto &[rate, range, ppm_mode, rebuild] : steps)
    EXPECT_EQ(input_valwait_needs_rebuild(&memo, rate, range, ppm_mode), rebuild) << rate << range << ppm_mode;
}

TEST(input_monitor_ops, StatusBitsAndRefreshPeriods) {
  hal_holder o(init_api_blank_e);
  // Status register -> good states of LKTO, LOS, SCVAL, VAL, VALT as bits 4..0.
  const std::pair<uint8_t, int> cases[] = {{0x1F, 0x1F}, {0x5F, 0x0F}, {0x3F, 0x17}, {0x17, 0x1B}, {0x0F, 0x1B}, {0x1D, 0x1D}, {0x1E, 0x1E}};
  for (const auto &[sr, good] : cases) {
    put_reg(&o.h, 0x052, sr);
    const input_status_s t = input_monitor_status(&o.h, 2);
    EXPECT_EQ(t.lock_timeout_good << 4 | t.loss_of_signal_good << 3 | t.monitor_good << 2 | t.val_good << 1 | t.valt_good, good) << int(sr);
  }
  const int32_t periods[] = {0, 0, 500, 1000, 2000, 4000, 0};
  for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(input_monitor_refresh_period_ms(i), periods[i]) << i;
}

// Each rule from a record (monitor on, range, thresholds, hysteresis off): the thresholds
// after it, what the accept field shows and its label.
TEST(input_monitor_ops, ThresholdRules) {
  using R = __dev_InputClockConfigS;
  // Range, accept, reject, hysteresis off; the rule; accept and reject after it, the accept field's value and label.
  const std::tuple<int32_t, int32_t, int32_t, int32_t, void (*)(R *), int32_t, int32_t, int32_t, const char *> cases[] = {
      {1, 100, 120, 0, [](R *r) { input_config_set_accept(r, 110); }, 110, 120, 110, "Accept Threshold (ppm)"},
      {1, 100, 120, 0, [](R *r) { input_config_set_reject(r, 80); }, 80, 80, 80, "Accept Threshold (ppm)"},
      {1, 100, 120, 0, [](R *r) { input_config_choose_range(r, 0); }, 0, 0, 0, "Accept Threshold (ppm)"},
      {1, 100, 120, 0, [](R *r) { input_config_choose_range(r, 2); }, 10000, 0, 1, "Frequency Threshold %"},
      {2, 50000, 0, 0, [](R *r) { input_config_choose_range(r, 1); }, 500, 0, 500, "Accept Threshold (ppm)"},
      {0, 300, 400, 1, [](R *r) { input_config_choose_range(r, 1); }, 300, 0, 300, "Frequency Threshold (ppm)"},
      {2, 300, 0, 0, [](R *r) { input_config_choose_state(r, 3); }, 10000, 0, 1, "Frequency Threshold %"},
  };
  for (const auto &[range, thr, thr2, hyst_off, act, thr_after, thr2_after, shown, label] : cases) {
    R r{};
    r.monitorMode = 2, r.monitorRange = range, r.ppm = {0, thr, thr2}, r.hysteresisOff = hyst_off;
    act(&r);
    const input_config_layout_s l = input_config_layout(r);
    EXPECT_EQ(std::make_pair(r.ppm.threshold, r.ppm.threshold2), std::make_pair(thr_after, thr2_after)) << label;
    EXPECT_EQ(std::make_tuple(l.accept_value, l.accept_label, l.accept_shown),
              std::make_tuple(shown, std::string(label), r.monitorMode >= 2 && r.monitorRange != 0));
  }
  // A range the product's monitor mask does not offer selects the first.
  EXPECT_EQ(input_config_range_list(2, 1).selected, 0);
  EXPECT_EQ(ComboBoxUtil_GetSelectedValue(input_config_range_list(2, 2)), 2);
}

TEST(input_monitor_ops, OffsetHistoryIsBoundedAndBreaksAtGaps) {
  input_offset_history_s h;
  for (int i = 0; i < 3000; ++i) input_history_add(&h, {i * 0.1, 0, 1.0, 2.0});
  EXPECT_EQ(h.samples.size(), h.capacity);
  for (int i = 0; i < 40; ++i) input_history_add(&h, {300.0 + i * 10.0, 0, 1.0, 2.0});
  EXPECT_DOUBLE_EQ(h.samples.front().t_s, 690.0 - h.span_s);  // older than the span dropped
  // IC1 tracked, then IC2, an unusable frequency, IC2 again, then none.
  input_offset_history_s g;
  const double nan = std::nan("");
  for (const input_offset_sample_s &s : {input_offset_sample_s{1, 0, 0.5, 1.0}, {2, 0, 0.25, 1.5}, {3, 1, -2.0, 2.0},
                                         {4, 1, nan, 2.5}, {5, 1, -4.0, 3.0}, {6, -1, 9.0, -1.0}})
    input_history_add(&g, s);
  EXPECT_EQ(input_history_runs(g, 0), (std::vector<input_history_run>{{{1, 0.5}, {2, 0.25}}}));
  EXPECT_EQ(input_history_runs(g, 1), (std::vector<input_history_run>{{{3, -2.0}}, {{5, -4.0}}}));
  EXPECT_EQ(input_history_runs(g, INPUT_HISTORY_PHASE_SERIES).at(0).size(), 6u);
  EXPECT_EQ(input_history_value_range(g, {0, 1, 2}), std::make_pair(-4.0 - 0.45, 0.5 + 0.45));
  EXPECT_EQ(input_history_value_range(g, {2}), std::make_pair(-1.0, 1.0));
}
