#include "app/input_monitor_ops.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/main_view.h"
#include "app/run_control.h"

namespace {

constexpr uint32_t kRegPtab1 = 0x049, kRegDsrr1 = 0x056;
constexpr uint8_t kDsrr1Tracking = 0x10;

bool valid_input(int input) { return input >= 0 && input < 3; }

bool monitor_on(const __dev_InputClockConfigS &r) { return !choice_monitor_state_is_off(r.monitorMode); }

int32_t clamp32(int32_t v, int32_t lo, int32_t hi) { return std::min(std::max(v, lo), hi); }

}  // namespace

// ---------------------------------------------------------------------------------------
// Validation timer

std::vector<int32_t> input_valwait_multipliers(int32_t range, int32_t ppm_mode) {
  // Without the jitter-tolerant scale the chip counts 2^c + 1 base periods; with it c + 1.
  static const std::vector<int32_t> powers{0, 3, 5, 9, 17, 33, 65, 129};
  static const std::vector<int32_t> counts{0, 2, 3, 4, 5, 6, 7, 8};
  if (range == 1) return ppm_mode >= icx_mon_ppm_mode_jtrtol_e ? counts : powers;
  if (range == 2) return powers;
  return {};
}

int32_t input_valwait_ms(double rate_hz, int32_t k) {
  if (!(rate_hz > 0.0) || k <= 0) return 0;
  const double ms = std::floor(static_cast<double>(k) * 1000.0 / rate_hz);
  if (!(ms < 2147483647.0)) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(ms);
}

choice_list_s input_valwait_list(double rate_hz, int32_t range, int32_t ppm_mode, int32_t wait_ms) {
  choice_list_s list;
  const std::vector<int32_t> ks = input_valwait_multipliers(range, ppm_mode);
  if (ks.empty()) {
    list.items.push_back({"0", 0});
    list.selected = 0;
    return list;
  }
  for (int32_t k : ks) list.items.push_back({std::to_string(input_valwait_ms(rate_hz, k)), k});
  ComboBoxUtil_SelectByText(&list, std::to_string(wait_ms));
  return list;
}

bool input_valwait_needs_rebuild(input_valwait_memo_s *memo, double rate_hz, int32_t range, int32_t ppm_mode) {
  // A disabled list has no multipliers, so it is built again once enabled.
  std::vector<int32_t> ks = input_valwait_multipliers(range, ppm_mode);
  if (memo->built && memo->rate_hz == rate_hz && memo->multipliers == ks) return false;
  memo->built = true;
  memo->rate_hz = rate_hz;
  memo->multipliers = std::move(ks);
  return true;
}

// ---------------------------------------------------------------------------------------
// Status

input_status_s input_monitor_status(const hal_api_s *hal, int input) {
  input_status_s st{};
  if (!hal || !valid_input(input)) return st;
  const uint32_t s = get_reg(hal, INPUT_STATUS_REG_IC1 + static_cast<uint32_t>(input));
  st.lock_timeout_good = !(s & 0x40);
  st.loss_of_signal_good = !(s & 0x20);
  st.monitor_good = (s & 0x1C) == 0x1C;
  st.val_good = (s & 0x02) != 0;
  st.valt_good = (s & 0x01) != 0;
  st.valid = main_input_valid(hal, input);
  return st;
}

bool input_monitor_clear_lock_timeout(__dev_GuiParamS *gui, hal_api_s *hal, int input) {
  if (!gui || !hal || !valid_input(input)) return false;
  if (!GuiUtil_EvalBoardConnected(gui, hal)) return true;
  const uint8_t clear = INPUT_LOCK_TIMEOUT_CLEAR;
  // The byte goes to the chip only: the image keeps the status last fetched.
  return gui_write_reg_checked(gui, hal, INPUT_STATUS_REG_IC1 + static_cast<uint32_t>(input), 1, &clear, false);
}

int32_t input_monitor_refresh_period_ms(int32_t choice) {
  if (choice < 2 || choice >= choice_count(__dev_FormRefreshOptionsStr)) return 0;
  return 500 << (choice - 2);
}

// ---------------------------------------------------------------------------------------
// Input configuration rules

input_config_layout_s input_config_layout(const __dev_InputClockConfigS &r) {
  input_config_layout_s l{};
  const bool on = monitor_on(r);
  const int32_t range = r.monitorRange;
  l.range_shown = on;
  l.ppm_shown = on && range == 1;
  l.accept_shown = on && range != 0;
  l.hysteresis_shown = on && range == 1;
  l.reject_shown = on && range == 1 && r.hysteresisOff == 0;
  if (range == 2) {
    l.accept_label = "Frequency Threshold %";
    l.accept_min = INPUT_COARSE_MIN_PCT;
    l.accept_max = INPUT_COARSE_MAX_PCT;
    l.accept_step = 1;
    l.accept_value = r.ppm.threshold / INPUT_PPM_PER_PCT;
  } else {
    l.accept_label = range == 1 && r.hysteresisOff ? "Frequency Threshold (ppm)" : "Accept Threshold (ppm)";
    l.accept_min = 0;
    l.accept_max = INPUT_FINE_MAX_PPM;
    l.accept_step = INPUT_FINE_STEP_PPM;
    l.accept_value = r.ppm.threshold;
  }
  l.reject_value = r.ppm.threshold2;
  return l;
}

choice_list_s input_config_range_list(__dev_DeviceIdE product, int32_t range) {
  // A product the table does not know gets no fine range, as the monitor derivation does.
  const bool known = product >= 0 && product < KOVA_PRODUCT_COUNT;
  const uint32_t mask = known ? static_cast<uint32_t>(KovaProduct[product].monitorMask) : 5u;
  choice_list_s list;
  ComboBoxUtil_LoadCharArrayByMask(&list, __dev_MonitorModeStr, choice_count(__dev_MonitorModeStr), mask);
  if (!ComboBoxUtil_SelectByValue(&list, range)) ComboBoxUtil_SelectByIndex(&list, 0);
  return list;
}

void input_config_choose_state(__dev_InputClockConfigS *r, int32_t state) {
  r->monitorMode = state;
  if (monitor_on(*r)) input_config_choose_range(r, r->monitorRange);
}

void input_config_choose_range(__dev_InputClockConfigS *r, int32_t range) {
  r->monitorRange = range;
  switch (range) {
    case 0:
      r->ppm.threshold = 0;
      r->ppm.threshold2 = 0;
      break;
    case 1:
      r->ppm.threshold = clamp32(r->ppm.threshold, 0, INPUT_FINE_MAX_PPM);
      r->ppm.threshold2 = clamp32(r->ppm.threshold2, 0, INPUT_FINE_MAX_PPM);
      input_config_set_hysteresis_off(r, r->hysteresisOff != 0);
      break;
    case 2:
      r->ppm.threshold = clamp32(r->ppm.threshold, INPUT_COARSE_MIN_PCT * INPUT_PPM_PER_PCT,
                                 INPUT_COARSE_MAX_PCT * INPUT_PPM_PER_PCT);
      r->ppm.threshold2 = 0;
      break;
    default:
      break;
  }
}

void input_config_set_hysteresis_off(__dev_InputClockConfigS *r, bool off) {
  r->hysteresisOff = off ? 1 : 0;
  if (off) r->ppm.threshold2 = 0;
}

void input_config_set_accept(__dev_InputClockConfigS *r, int32_t value) {
  const input_config_layout_s l = input_config_layout(*r);
  value = clamp32(value, l.accept_min, l.accept_max);
  r->ppm.threshold = r->monitorRange == 2 ? value * INPUT_PPM_PER_PCT : value;
  if (l.reject_shown && r->ppm.threshold2 != 0 && r->ppm.threshold2 < r->ppm.threshold)
    r->ppm.threshold2 = r->ppm.threshold;
}

void input_config_set_reject(__dev_InputClockConfigS *r, int32_t value) {
  const input_config_layout_s l = input_config_layout(*r);
  r->ppm.threshold2 = clamp32(value, 0, INPUT_FINE_MAX_PPM);
  if (l.reject_shown && r->ppm.threshold2 != 0 && r->ppm.threshold2 < r->ppm.threshold)
    r->ppm.threshold = r->ppm.threshold2;
}

// ---------------------------------------------------------------------------------------
// Offset history

void input_history_add(input_offset_history_s *h, const input_offset_sample_s &s) {
  if (h->capacity == 0) return;
  while (h->samples.size() >= h->capacity) h->samples.pop_front();
  h->samples.push_back(s);
  while (!h->samples.empty() && h->samples.front().t_s < s.t_s - h->span_s) h->samples.pop_front();
}

bool input_history_sample(const hal_api_s *hal, double t_s, input_offset_sample_s *s) {
  if (!hal || hal->kova_mode_e != kova_mode_ja_e) return false;
  const uint32_t selref = get_reg(hal, kRegPtab1) & 0x03;
  const bool tracking = (get_reg(hal, kRegDsrr1) & kDsrr1Tracking) != 0;
  s->t_s = t_s;
  s->tracked = tracking && selref != 0 ? static_cast<int32_t>(selref) - 1 : -1;
  s->freq_ppm = hal->output_freq_offset_ppm_r;
  s->phase_ns = hal->input_phase_offset_ns_r;
  return true;
}

std::vector<input_history_run> input_history_runs(const input_offset_history_s &h, int series) {
  std::vector<input_history_run> runs;
  bool open = false;
  for (const input_offset_sample_s &s : h.samples) {
    const bool phase = series == INPUT_HISTORY_PHASE_SERIES;
    const double v = phase ? s.phase_ns : s.freq_ppm;
    const bool belongs = (phase || s.tracked == series) && std::isfinite(v);
    if (!belongs) {
      open = false;
      continue;
    }
    if (!open) runs.emplace_back();
    open = true;
    runs.back().emplace_back(s.t_s, v);
  }
  return runs;
}

std::pair<double, double> input_history_value_range(const input_offset_history_s &h, const std::vector<int> &series) {
  double lo = 0.0, hi = 0.0;
  bool any = false;
  for (int k : series)
    for (const input_history_run &run : input_history_runs(h, k))
      for (const auto &p : run) {
        lo = any ? std::min(lo, p.second) : p.second;
        hi = any ? std::max(hi, p.second) : p.second;
        any = true;
      }
  if (!any || (lo == 0.0 && hi == 0.0)) return {-1.0, 1.0};
  double pad = (hi - lo) * 0.1;
  if (pad == 0.0) pad = std::fabs(hi) * 0.1;
  return {lo - pad, hi + pad};
}
