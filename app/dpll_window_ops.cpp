#include "app/dpll_window_ops.h"

#include <algorithm>
#include <cmath>

#include "app/freq_entry.h"
#include "arith/fprec.h"

namespace {

constexpr const char *kTipBaseNum =
    "In the device these fields are base_num * 2^N format. User input is changed to the closest achievable number.";
constexpr const char *kTipClosest = "User input is changed to the closest achievable number.";

constexpr uint32_t kPtab1 = 0x049, kPtab2 = 0x04A;

std::string reference_text(uint32_t bits) { return bits == 0 ? "None" : "IC" + std::to_string(bits); }

}  // namespace

const dpll_text_field_s DPLL_TEXT_FIELDS[DPLL_TEXT_FIELD_COUNT] = {
    {"hoAvgEdit", "Averaging Window (ms):", &hal_api_s::hoavgto_us, 1000, 0, 100000, 3, kTipBaseNum},
    {"hoWaitEdit", "Throw Away Window (ms):", &hal_api_s::howaitto_us, 1000, 0, 100000, 3, kTipBaseNum},
    {"lolSetEdit", "Loss of Lock Set Delay (us):", &hal_api_s::lolset_us, 1, 0, 100000000, 0, kTipClosest},
    {"lolClrEdit", "Loss of Lock Clear Delay (us):", &hal_api_s::lolclr_us, 1, 0, 100000000, 0, kTipClosest},
    {"phLockTimeoutEdit", "Phase Lock Timeout (sec):", &hal_api_s::phlkto_ms, 1000, 0, 1000, 3, kTipClosest},
    {"lockAlarmTimeoutEdit", "Lock Alarm Timeout (sec):", &hal_api_s::lkato_ms, 1000, 0, 1000, 3, kTipClosest},
    {"phAvgEdit", "Phase Averaging Window (ms):", &hal_api_s::pfixavgto_us, 1000, 0, 1000, 3, kTipClosest},
};

const dpll_text_field_s *dpll_text_field(const std::string &name) {
  for (const auto &f : DPLL_TEXT_FIELDS)
    if (name == f.name) return &f;
  return nullptr;
}

std::string dpll_text_shown(const dpll_text_field_s &f, const hal_api_s *h) {
  return DoubleTextBox_Format(h->*f.field / f.factor, f.decimals);
}

bool dpll_text_value(const dpll_text_field_s &f, const std::string &text, uint32_t *value) {
  double v = 0;
  if (!DoubleTextBox_Validate(text, f.min, f.max, true, &v)) return false;
  // The entry carries at most its shown decimals: 1.001 s is 1001 ms, not 1000.99999.
  *value = static_cast<uint32_t>(jround(v * f.factor));
  return true;
}

#define DPLL_U32(member)                                                      \
  [](const hal_api_s *h) { return static_cast<int64_t>(h->member); },        \
      [](hal_api_s *h, int64_t v) { h->member = static_cast<uint32_t>(v); }

const dpll_number_field_s DPLL_NUMBER_FIELDS[DPLL_NUMBER_FIELD_COUNT] = {
    {"phaseAdjustSpin", "Input-to-Output Phase Adjust (ns):", 1000, -2000000, 200000, 1, 3,
     [](const hal_api_s *h) { return static_cast<int64_t>(h->man_phoff_ps); },
     [](hal_api_s *h, int64_t v) { h->man_phoff_ps = static_cast<int32_t>(v); }},
    {"lockCriteriaSpin", "Phase Lock Criteria (\u00b1 ns):", 1, 0, 62000, 10, 0, DPLL_U32(lolthr_ns)},
    {"phaseSlopeSpin", "Phase Slope Limit (ns/sec):", 1, 0, 1000000000, 1000, 0, DPLL_U32(pslim_ns_sec)},
    {"freqChangeSpin", "Frequency Change Limit (ppb/sec):", 1, 0, 1000000000, 1000, 0, DPLL_U32(fchlim_ppb_sec)},
    {"hoFreqChangeSpin", "Go-to-HO Freq Change Limit (ppb/sec):", 1, 0, 1000000000, 1000, 0,
     DPLL_U32(hofd_ppb_sec)},
    {"freqOffsetSpin", "Frequency Offset Limit (\u00b1 ppm):", 1000, 0, 5000, 1, 0, DPLL_U32(fqhlim_ppb)},
    {"jitterTolSpin", "Jitter Tolerance (ns):", 1, 0, 65535, 100, 0, DPLL_U32(jitter_tol_ns_u16)},
};
#undef DPLL_U32

const dpll_number_field_s *dpll_number_field(const std::string &name) {
  for (const auto &f : DPLL_NUMBER_FIELDS)
    if (name == f.name) return &f;
  return nullptr;
}

double dpll_number_shown(const dpll_number_field_s &f, const hal_api_s *h) {
  const int64_t v = f.get(h);
  // Whole-number fields show the whole part of the quotient (ppb held, whole ppm shown).
  if (f.decimals == 0) return static_cast<double>(v / static_cast<int64_t>(f.factor));
  return static_cast<double>(v) / f.factor;
}

void dpll_number_store(const dpll_number_field_s &f, hal_api_s *h, double shown) {
  const double v = std::clamp(shown, f.min, f.max);
  // A value with decimals is taken to its shown precision; whole values are whole already.
  f.set(h, f.decimals > 0 ? jround(v * f.factor) : static_cast<int64_t>(v) * static_cast<int64_t>(f.factor));
}

namespace {

struct choice_field_s {
  const char *const *table;
  int32_t count;
  int32_t hal_api_s::*ifield;
  uint32_t hal_api_s::*ufield;
};

choice_field_s choice_field(dpll_choice_e which) {
  switch (which) {
    case dpll_choice_pri1_e: return {__dev_DpllPriorityStr, 4, nullptr, &hal_api_s::ipr1_pri1_u2};
    case dpll_choice_pri2_e: return {__dev_DpllPriorityStr, 4, nullptr, &hal_api_s::ipr1_pri2_u2};
    case dpll_choice_pri3_e: return {__dev_DpllPriorityStr, 4, nullptr, &hal_api_s::ipr2_pri3_u2};
    case dpll_choice_holdover_e: return {__dev_DpllHoldoverModeStr, 3, &hal_api_s::ho_mode_e, nullptr};
    case dpll_choice_hitless_e: return {__dev_DpllHitlessSwitchStr, 3, &hal_api_s::hitless_mode_e, nullptr};
    default: return {nullptr, 4, nullptr, &hal_api_s::icscr1_fbsel_u2};
  }
}

}  // namespace

choice_list_s dpll_choice_list(dpll_choice_e which, const hal_api_s *h) {
  const choice_field_s c = choice_field(which);
  choice_list_s list;
  if (c.table)
    ComboBoxUtil_LoadCharArray(&list, c.table, c.count);
  else
    list = choice_dpll_feedback_list();
  const int32_t v = c.ifield ? h->*c.ifield : static_cast<int32_t>(h->*c.ufield);
  if (!ComboBoxUtil_SelectByValue(&list, v)) list.selected = -1;
  return list;
}

void dpll_choice_store(dpll_choice_e which, hal_api_s *h, int32_t position) {
  const choice_field_s c = choice_field(which);
  if (position < 0 || position >= c.count) return;
  if (c.ifield)
    h->*c.ifield = position;
  else
    h->*c.ufield = static_cast<uint32_t>(position);
}

int32_t dpll_ext_switch_position(const hal_api_s *h) {
  return h->icscr1_extsw_u1 == 0 ? DPLL_EXT_SWITCH_DISABLED : static_cast<int32_t>(h->mcr2_extss_u2 & 3u);
}

void dpll_ext_switch_store(hal_api_s *h, int32_t position) {
  if (position < 0 || position > DPLL_EXT_SWITCH_DISABLED) return;
  if (position == DPLL_EXT_SWITCH_DISABLED) {
    h->icscr1_extsw_u1 = 0;
    return;
  }
  h->mcr2_extss_u2 = static_cast<uint32_t>(position);
  h->icscr1_extsw_u1 = 1;
}

std::string dpll_ext_switch_label(const hal_api_s *h) {
  return h->ipr1_pri1_u2 != 0 ? "1=IC1, 0=IC2" : "1=IC3, 0=IC2";
}

void dpll_lock_store(hal_api_s *h, bool locked) { h->pfd_div_lock_u16 = locked ? h->pfd_div_u16 : 0; }

dpll_status_s dpll_status(const hal_api_s *h) {
  dpll_status_s s;
  const uint32_t ptab1 = get_reg(h, kPtab1), ptab2 = get_reg(h, kPtab2);
  s.selected = reference_text(ptab1 & 3u);
  s.priority1 = reference_text((ptab1 >> 4) & 3u);
  s.priority2 = reference_text(ptab2 & 3u);
  s.holdover_ppm = DoubleTextBox_Format(h->ho_freq_offset_ppm_r, 3);
  s.dsp_rate_hz = h->pfd_div_u16 == 0
                      ? "-"
                      : DoubleTextBox_Format(fprec_s_2_double_mhz(h->pfd_freq_s) * 1e6 / h->pfd_div_u16, 2);
  return s;
}

bool dpll_has_holdover_groups(int32_t device) {
  return device != kova_device_40112_e && device != kova_device_40113_e;
}

bool dpll_in_use(const hal_api_s *h) { return h->kova_mode_e == kova_mode_ja_e; }
