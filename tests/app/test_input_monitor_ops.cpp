// The input monitor windows' logic without widgets: validation timer lists, status bits,
// refresh periods, the linked threshold rules and the bounded offset history.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/input_monitor_ops.h"

namespace {

std::vector<std::string> texts(const choice_list_s &l) {
  std::vector<std::string> t;
  for (const auto &i : l.items) t.push_back(i.text);
  return t;
}

__dev_InputClockConfigS record(int32_t range, int32_t thr, int32_t thr2, int32_t hyst_off) {
  __dev_InputClockConfigS r{};
  r.monitorMode = 2;  // "ON"
  r.monitorRange = range;
  r.ppm.threshold = thr;
  r.ppm.threshold2 = thr2;
  r.hysteresisOff = hyst_off;
  return r;
}

}  // namespace

TEST(input_monitor_ops, ValidationTimerListsAndSelection) {
  const struct {
    double rate;
    int32_t range, ppm_mode, wait;
    std::vector<std::string> shown;
    int32_t selected;
  } cases[] = {
      {1000.0, 2, 0, 17, {"0", "3", "5", "9", "17", "33", "65", "129"}, 4},
      {300.0, 1, 0, 10, {"0", "10", "16", "30", "56", "110", "216", "430"}, 1},
      {1000.0, 1, 2, 4, {"0", "2", "3", "4", "5", "6", "7", "8"}, 3},
      {1000.0, 2, 0, 7, {"0", "3", "5", "9", "17", "33", "65", "129"}, -1},  // "Select Value"
      {0.0, 2, 0, 0, {"0", "0", "0", "0", "0", "0", "0", "0"}, 0},
      {1000.0, 0, 0, 33, {"0"}, 0},  // monitor off: the disabled list shows 0
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << " Hz range " << c.range << " ppm " << c.ppm_mode);
    const choice_list_s l = input_valwait_list(c.rate, c.range, c.ppm_mode, c.wait);
    EXPECT_EQ(texts(l), c.shown);
    EXPECT_EQ(l.selected, c.selected);
    // The wait an entry stores is the one it shows.
    for (const auto &i : l.items) EXPECT_EQ(std::to_string(input_valwait_ms(c.rate, i.value)), i.text);
  }
  EXPECT_EQ(input_valwait_ms(1e-9, 129), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(input_valwait_ms(std::nan(""), 3), 0);
}

TEST(input_monitor_ops, ValidationTimerListRebuiltWhenRateOrMultipliersChange) {
  input_valwait_memo_s memo;
  const struct {
    double rate;
    int32_t range, ppm_mode;
    bool rebuild;
  } steps[] = {
      {1000.0, 2, 0, true},  {1000.0, 2, 0, false}, {500.0, 2, 0, true},  {500.0, 1, 0, false},
      {500.0, 1, 2, true},   {500.0, 0, 2, true},   {500.0, 0, 0, false}, {500.0, 1, 2, true},
  };
  for (const auto &s : steps)
    EXPECT_EQ(input_valwait_needs_rebuild(&memo, s.rate, s.range, s.ppm_mode), s.rebuild)
        << s.rate << " " << s.range << " " << s.ppm_mode;
}

TEST(input_monitor_ops, StatusBitsAndRefreshPeriods) {
  hal_api_s hal{};
  hal.init_api_mode_e = init_api_blank_e;
  init_api(&hal);
  const struct {
    uint8_t sr;
    input_status_s st;  // LKTO, LOS, SCVAL, VAL, VALT, valid
  } cases[] = {
      {0x1F, {true, true, true, true, true, false}}, {0x5F, {false, true, true, true, true, false}},
      {0x3F, {true, false, true, true, true, false}}, {0x17, {true, true, false, true, true, false}},
      {0x1B, {true, true, false, true, true, false}}, {0x0F, {true, true, false, true, true, false}},
      {0x1D, {true, true, true, false, true, false}}, {0x1E, {true, true, true, true, false, false}},
  };
  put_reg(&hal, 0x04E, 0x10);  // only IC2 valid
  put_reg(&hal, 0x04F, 0x00);
  for (const auto &c : cases) {
    put_reg(&hal, 0x052, c.sr);
    const input_status_s st = input_monitor_status(&hal, 2);
    EXPECT_EQ(st.lock_timeout_good, c.st.lock_timeout_good) << std::hex << int(c.sr);
    EXPECT_EQ(st.loss_of_signal_good, c.st.loss_of_signal_good) << std::hex << int(c.sr);
    EXPECT_EQ(st.monitor_good, c.st.monitor_good) << std::hex << int(c.sr);
    EXPECT_EQ(st.val_good, c.st.val_good) << std::hex << int(c.sr);
    EXPECT_EQ(st.valt_good, c.st.valt_good) << std::hex << int(c.sr);
    EXPECT_FALSE(st.valid);
  }
  EXPECT_TRUE(input_monitor_status(&hal, 1).valid);
  delete_api(&hal);
  const int32_t periods[] = {0, 0, 500, 1000, 2000, 4000, 0};
  for (int32_t i = 0; i < 7; ++i) EXPECT_EQ(input_monitor_refresh_period_ms(i), periods[i]) << i;
}

// The linked threshold rules: each step from a record, the record and the layout after it.
TEST(input_monitor_ops, ThresholdRules) {
  using R = __dev_InputClockConfigS;
  const struct {
    const char *what;
    R before;
    void (*act)(R *);
    int32_t thr, thr2, hyst_off;
    bool reject_shown;
    const char *label;
    int32_t shown_accept;
  } cases[] = {
      {"coarse shows percent; 5 stores 50000", record(2, 20000, 0, 0), [](R *r) { input_config_set_accept(r, 5); },
       50000, 0, 0, false, "Frequency Threshold %", 5},
      {"accept raises reject", record(1, 100, 120, 0), [](R *r) { input_config_set_accept(r, 150); }, 150, 150, 0,
       true, "Accept Threshold (ppm)", 150},
      {"accept below reject keeps it", record(1, 100, 120, 0), [](R *r) { input_config_set_accept(r, 110); }, 110, 120,
       0, true, "Accept Threshold (ppm)", 110},
      {"reject lowers accept", record(1, 100, 120, 0), [](R *r) { input_config_set_reject(r, 80); }, 80, 80, 0, true,
       "Accept Threshold (ppm)", 80},
      {"reject 0 leaves accept", record(1, 100, 120, 0), [](R *r) { input_config_set_reject(r, 0); }, 100, 0, 0, true,
       "Accept Threshold (ppm)", 100},
      {"hysteresis off hides and clears reject", record(1, 100, 120, 0),
       [](R *r) { input_config_set_hysteresis_off(r, true); }, 100, 0, 1, false, "Frequency Threshold (ppm)", 100},
      {"no hysteresis: accept leaves hidden reject", record(1, 100, 0, 1), [](R *r) { input_config_set_accept(r, 200); },
       200, 0, 1, false, "Frequency Threshold (ppm)", 200},
      {"activity only clears both", record(1, 100, 120, 0), [](R *r) { input_config_choose_range(r, 0); }, 0, 0, 0,
       false, "Accept Threshold (ppm)", 0},
      {"coarse from fine: at least 1 %", record(1, 100, 120, 0), [](R *r) { input_config_choose_range(r, 2); }, 10000,
       0, 0, false, "Frequency Threshold %", 1},
      {"coarse keeps 2.5 %", record(0, 25000, 0, 0), [](R *r) { input_config_choose_range(r, 2); }, 25000, 0, 0, false,
       "Frequency Threshold %", 2},
      {"fine from coarse: at most 500 ppm", record(2, 50000, 0, 0), [](R *r) { input_config_choose_range(r, 1); }, 500,
       0, 0, true, "Accept Threshold (ppm)", 500},
      {"fine with hysteresis off clears reject", record(0, 300, 400, 1), [](R *r) { input_config_choose_range(r, 1); },
       300, 0, 1, false, "Frequency Threshold (ppm)", 300},
      {"percent above 20 is 20", record(2, 20000, 0, 0), [](R *r) { input_config_set_accept(r, 35); }, 200000, 0, 0,
       false, "Frequency Threshold %", 20},
      {"monitor off hides everything", record(2, 20000, 0, 0), [](R *r) { input_config_choose_state(r, 1); }, 20000, 0,
       0, false, "Frequency Threshold %", 2},
      {"monitor on runs the range rule", record(2, 300, 0, 0), [](R *r) { input_config_choose_state(r, 3); }, 10000, 0,
       0, false, "Frequency Threshold %", 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    R r = c.before;
    c.act(&r);
    EXPECT_EQ(r.ppm.threshold, c.thr);
    EXPECT_EQ(r.ppm.threshold2, c.thr2);
    EXPECT_EQ(r.hysteresisOff, c.hyst_off);
    const input_config_layout_s l = input_config_layout(r);
    EXPECT_EQ(l.reject_shown, c.reject_shown);
    EXPECT_EQ(l.accept_label, c.label);
    EXPECT_EQ(l.accept_value, c.shown_accept);
    EXPECT_EQ(l.range_shown, r.monitorMode >= 2);
    EXPECT_EQ(l.ppm_shown && l.hysteresis_shown, r.monitorMode >= 2 && r.monitorRange == 1);
    EXPECT_EQ(l.accept_shown, r.monitorMode >= 2 && r.monitorRange != 0);
  }
  // The ranges a product's monitor mask offers.
  EXPECT_EQ(texts(input_config_range_list(0, 1)).size(), 3u);
  const choice_list_s ja = input_config_range_list(2, 1);
  EXPECT_EQ(texts(ja), (std::vector<std::string>{"Activity only", "Activity and Frequency >= 1%"}));
  EXPECT_EQ(ja.selected, 0);
  EXPECT_EQ(ComboBoxUtil_GetSelectedValue(input_config_range_list(2, 2)), 2);
  EXPECT_EQ(texts(input_config_range_list(-1, 0)).size(), 2u);
}

TEST(input_monitor_ops, OffsetHistoryIsBoundedAndBreaksAtGaps) {
  input_offset_history_s h;
  for (int i = 0; i < 3000; ++i) input_history_add(&h, {i * 0.1, 0, 1.0, 2.0});
  EXPECT_EQ(h.samples.size(), h.capacity);
  EXPECT_DOUBLE_EQ(h.samples.back().t_s, 299.9);
  h.samples.clear();
  for (int i = 0; i < 40; ++i) input_history_add(&h, {i * 10.0, 0, 1.0, 2.0});
  EXPECT_DOUBLE_EQ(h.samples.front().t_s, 390.0 - h.span_s);  // older than the span dropped

  // IC1 tracked, then IC2, a sample with an unusable frequency, IC2 again, then none.
  input_offset_history_s g;
  const double nan = std::nan("");
  const input_offset_sample_s s[] = {{1, 0, 0.5, 1.0},  {2, 0, 0.25, 1.5}, {3, 1, -2.0, 2.0},
                                     {4, 1, nan, 2.5},  {5, 1, -4.0, 3.0}, {6, -1, 9.0, -1.0}};
  for (const auto &x : s) input_history_add(&g, x);
  const std::vector<input_history_run> ic1 = input_history_runs(g, 0), ic2 = input_history_runs(g, 1);
  ASSERT_EQ(ic1.size(), 1u);
  EXPECT_EQ(ic1[0], (input_history_run{{1, 0.5}, {2, 0.25}}));
  ASSERT_EQ(ic2.size(), 2u);
  EXPECT_EQ(ic2[1], (input_history_run{{5, -4.0}}));
  EXPECT_TRUE(input_history_runs(g, 2).empty());
  ASSERT_EQ(input_history_runs(g, INPUT_HISTORY_PHASE_SERIES).size(), 1u);
  EXPECT_EQ(input_history_runs(g, INPUT_HISTORY_PHASE_SERIES)[0].size(), 6u);
  const auto fr = input_history_value_range(g, {0, 1, 2});
  EXPECT_DOUBLE_EQ(fr.first, -4.0 - 0.45);
  EXPECT_DOUBLE_EQ(fr.second, 0.5 + 0.45);
  EXPECT_EQ(input_history_value_range(g, {2}), std::make_pair(-1.0, 1.0));
  input_offset_history_s flat;
  input_history_add(&flat, {0, 0, 5.0, 0.0});
  EXPECT_EQ(input_history_value_range(flat, {0}), std::make_pair(4.5, 5.5));
}

TEST(input_monitor_ops, HistorySampleFromTheStatus) {
  hal_api_s hal{};
  hal.init_api_mode_e = init_api_blank_e;
  init_api(&hal);
  hal.output_freq_offset_ppm_r = 1.25;
  hal.input_phase_offset_ns_r = -3.5;
  input_offset_sample_s s{};
  hal.kova_mode_e = kova_mode_syn_e;
  EXPECT_FALSE(input_history_sample(&hal, 1.0, &s));
  hal.kova_mode_e = kova_mode_ja_e;
  const struct {
    uint8_t ptab1, dsrr1;
    int32_t tracked;
  } cases[] = {{0x13, 0x10, 2}, {0x11, 0x18, 0}, {0x12, 0x08, -1}, {0x10, 0x10, -1}, {0x22, 0x30, 1}};
  for (const auto &c : cases) {
    put_reg(&hal, 0x049, c.ptab1);
    put_reg(&hal, 0x056, c.dsrr1);
    ASSERT_TRUE(input_history_sample(&hal, 7.0, &s));
    EXPECT_EQ(s.tracked, c.tracked) << std::hex << int(c.ptab1) << " " << int(c.dsrr1);
  }
  EXPECT_EQ(s.t_s, 7.0);
  EXPECT_EQ(s.freq_ppm, 1.25);
  EXPECT_EQ(s.phase_ns, -3.5);
  delete_api(&hal);
}
