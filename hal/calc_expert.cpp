#include "hal/calc_expert.h"

#include <cmath>

#include "hal/ic_solver.h"
#include "hal/oc_solver.h"

namespace {

double mhz(const fprec_s &f) { return fprec_s_2_double_mhz(f); }

// Range checks allow 1 % beyond each limit.
bool in_range(double v, double lo, double hi) { return lo * 0.99 <= v && v <= hi * 1.01; }

fprec_s scaled(fprec_s f, uint64_t mul, uint64_t div) {
  fprec_scale(&f, mul, div);
  return f;
}

fprec_s unset_freq() { return {0, 1, 1}; }

// x rounded (half away from zero) into an unsigned 32-bit word: NaN and negative values give
// 0, values beyond the word saturate.
uint32_t round_u32(double x) {
  if (!(x > 0.0)) return 0;
  if (x >= 4294967295.0) return UINT32_MAX;
  return static_cast<uint32_t>(jround(x));
}

// floor(x) into an unsigned 32-bit word, with the same saturation.
uint32_t floor_u32(double x) {
  if (!(x > 0.0)) return 0;
  if (x >= 4294967295.0) return UINT32_MAX;
  return static_cast<uint32_t>(std::floor(x));
}

uint32_t ceil_u32(double x) {
  if (!(x > 0.0)) return 0;
  if (x >= 4294967295.0) return UINT32_MAX;
  return static_cast<uint32_t>(std::ceil(x));
}

// a / b with a zero divisor read as an infinitely small one.
double ratio(double a, double b) {
  if (b != 0.0) return a / b;
  return a > 0.0 ? INFINITY : 0.0;
}

struct ja_band_s {
  double lo;
  double hi;
  uint32_t code;  // DPLL master-clock range code
};

// The first band holding f (bounds scaled by `scale`), or null.
const ja_band_s *find_band(const ja_band_s *bands, int count, double f, double scale) {
  for (int i = 0; i < count; ++i) {
    if (in_range(f, bands[i].lo * scale, bands[i].hi * scale)) return &bands[i];
  }
  return nullptr;
}

struct ic_refs_s {
  fprec_s *freq;
  uint32_t *hsdiv;
  uint32_t *div;
  fprec_s *hsdiv_freq;
};

ic_refs_s ic_refs(hal_api_s *h, int k) {
  switch (k) {
    case 0: return {&h->ic1_freq_s, &h->ic1_hsdiv_u8, &h->ic1_div_u32, &h->ic1_hsdiv_freq_s};
    case 1: return {&h->ic2_freq_s, &h->ic2_hsdiv_u8, &h->ic2_div_u32, &h->ic2_hsdiv_freq_s};
    default: return {&h->ic3_freq_s, &h->ic3_hsdiv_u8, &h->ic3_div_u32, &h->ic3_hsdiv_freq_s};
  }
}

// Internal clocks from the system clock and the XA. False after an error.
bool internal_clocks(hal_api_s *hal) {
  const int32_t xa = hal->xa_mode_e;
  if (hal->sysclk_mode_e == sysclk_mode_ro_e) {
    set_fprec_s(&hal->up_monclk_freq_s, 100000000, 1, 1);
    hal->dll_psampclk_freq_s = unset_freq();
    hal->dsp_clk_freq_s = unset_freq();
    hal->dco_pfdclk_freq_s = unset_freq();
  } else if (xa == xa_mode_disabled_e) {
    put_msg(hal, "ERROR: XA must be enabled when sysclk != ro");
    return false;
  } else if (xa <= xa_mode_xtal_e) {
    hal->up_monclk_freq_s = hal->xa_freq_s;
    hal->dll_psampclk_freq_s = hal->xa_freq_s;
    hal->dco_pfdclk_freq_s = hal->xa_freq_s;
    hal->dsp_clk_freq_s = scaled(hal->xa_freq_s, 1, 2);
  } else {
    hal->up_monclk_freq_s = scaled(hal->xa_freq_s, 2, 1);
    hal->dll_psampclk_freq_s = hal->up_monclk_freq_s;
    hal->dsp_clk_freq_s = hal->xa_freq_s;
    hal->dco_pfdclk_freq_s = hal->xa_freq_s;
  }
  if (xa == xa_mode_disabled_e)
    hal->xa_apll_freq_s = unset_freq();
  else if (xa <= xa_mode_xtal_e)
    hal->xa_apll_freq_s = hal->xa_freq_s;
  else
    hal->xa_apll_freq_s = scaled(hal->xa_freq_s, 2, 1);
  return true;
}

// XA range, and in JA the DPLL master-clock range code. False after an error.
bool check_xa(hal_api_s *hal) {
  const double f = mhz(hal->xa_freq_s);
  const int32_t mode = hal->kova_mode_e;
  const int32_t xa = hal->xa_mode_e;
  if (mode == kova_mode_syn_e) {
    if (xa != xa_mode_disabled_e && f != 0.0 && !in_range(f, hal->xa_min_freq_mhz_r, hal->xa_max_freq_mhz_r)) {
      put_msgf(hal, "ERROR: XA clock frequency must be in the range %g to %gMHz.", hal->xa_min_freq_mhz_r,
               hal->xa_max_freq_mhz_r);
      return false;
    }
    return true;
  }
  if (mode != kova_mode_ja_e) {
    if (!in_range(f, hal->xa_min_freq_mhz_r, hal->xa_max_freq_mhz_r)) {
      put_msgf(hal, "ERROR: Master clock frequency must be in the range %g to %gMHz.", hal->xa_min_freq_mhz_r,
               hal->xa_max_freq_mhz_r);
      return false;
    }
    return true;
  }

  const ja_band_s bands[3] = {
      {hal->xa_ja100_min_freq_mhz_r, hal->xa_ja100_max_freq_mhz_r, 0},
      {hal->xa_ja114_min_freq_mhz_r, hal->xa_ja114_max_freq_mhz_r, 3},
      {hal->xa_ja125_min_freq_mhz_r, hal->xa_ja125_max_freq_mhz_r, 4},
  };
  const char *const three_bands =
      "ERROR: DPLL master clock frequency must be in one of these ranges: %5.1lf to %5.1lfMHz or %5.1lf to "
      "%5.1lfMHz or %5.1lf to %5.1lfMHz.";
  if (xa == xa_mode_xo_e || xa == xa_mode_tcxo_e) {
    const ja_band_s *b = find_band(bands, 3, f, 1.0);
    if (!b) {
      put_msgf(hal, three_bands, bands[0].lo, bands[0].hi, bands[1].lo, bands[1].hi, bands[2].lo, bands[2].hi);
      return false;
    }
    hal->mcr2_mclk_u3 = b->code;
  } else if (xa == xa_mode_xtal_dbl_e) {
    const ja_band_s *b = find_band(bands, 2, f, 0.5);
    if (!b) {
      put_msgf(hal,
               "ERROR: With the internal clock doubler enabled, the crystal frequency must be in one of these "
               "ranges: %5.1lf to %5.1lfMHz or %5.1lf to %5.1lfMHz.",
               bands[0].lo * 0.5, bands[0].hi * 0.5, bands[1].lo * 0.5, bands[1].hi * 0.5);
      return false;
    }
    hal->mcr2_mclk_u3 = b->code;
  } else if (xa == xa_mode_xo_dbl_e || xa == xa_mode_tcxo_dbl_e) {
    const ja_band_s *b = find_band(bands, 3, f, 0.5);
    if (!b) {
      put_msgf(hal, three_bands, bands[0].lo * 0.5, bands[0].hi * 0.5, bands[1].lo * 0.5, bands[1].hi * 0.5,
               bands[2].lo * 0.5, bands[2].hi * 0.5);
      return false;
    }
    hal->mcr2_mclk_u3 = b->code;
  }
  // The DLL phase-sampling clock is what the DPLL actually runs from.
  const double psamp = mhz(hal->dll_psampclk_freq_s);
  const ja_band_s *b = find_band(bands, 3, psamp, 1.0);
  if (!b) {
    put_msgf(hal, "ERROR: Internal DLL_PSAMP clock frequency error %gMHz.", psamp);
    return false;
  }
  hal->mcr2_mclk_u3 = b->code;
  return true;
}

// Input and output frequency ranges. False after an error.
bool check_io_ranges(hal_api_s *hal) {
  const int32_t mode = hal->kova_mode_e;
  if (mode == kova_mode_syn_e || mode == kova_mode_ja_e) {
    const double max[3] = {hal->ic_diff_max_freq_mhz_r, hal->ic_diff_max_freq_mhz_r, hal->ic_sngl_max_freq_mhz_r};
    for (int k = 0; k < 3; ++k) {
      const double f = mhz(*ic_refs(hal, k).freq);
      if (f != 0.0 && !in_range(f, hal->ic_min_freq_mhz_r, max[k])) {
        put_msgf(hal, "ERROR: Invalid IC%d frequency. Valid range = %g to %gMHz.", k + 1, hal->ic_min_freq_mhz_r,
                 max[k]);
        return false;
      }
    }
  }
  const fprec_s *oc[3] = {&hal->oc1_freq_s, &hal->oc2_freq_s, &hal->oc3_freq_s};
  for (int k = 0; k < 3; ++k) {
    const double f = mhz(*oc[k]);
    if (f != 0.0 && !in_range(f, hal->oc_min_freq_mhz_r, hal->oc_cml_max_freq_mhz_r)) {
      put_msgf(hal, "ERROR: Invalid OC%d frequency - valid range = %g to %g MHz.", k + 1, hal->oc_min_freq_mhz_r,
               hal->oc_cml_max_freq_mhz_r);
      return false;
    }
  }
  return true;
}

// DPLL bandwidth and damping within the device's limits (exact comparisons).
void clamp_dpll(hal_api_s *hal) {
  if (hal->dpll_bw_hz < hal->dpll_bw_hz_min) {
    hal->dpll_bw_hz = hal->dpll_bw_hz_min;
    put_msg(hal, "DPLL BW set to minimum");
  }
  if (hal->dpll_bw_hz > hal->dpll_bw_hz_max) {
    hal->dpll_bw_hz = hal->dpll_bw_hz_max;
    put_msg(hal, "DPLL BW set to maximum");
  }
  if (hal->dpll_df < hal->dpll_df_min) {
    hal->dpll_df = hal->dpll_df_min;
    put_msg(hal, "DPLL DF set to minimum");
  }
  if (hal->dpll_df > hal->dpll_df_max) {
    hal->dpll_df = hal->dpll_df_max;
    put_msg(hal, "DPLL DF set to maximum");
  }
}

// Input high-speed dividers: the first of 1, 2, 4, 8 within the HSDIV limit.
void input_hsdivs(hal_api_s *hal) {
  for (int k = 0; k < 3; ++k) {
    const ic_refs_s ic = ic_refs(hal, k);
    const double f = mhz(*ic.freq);
    if (f > 0.0) {
      const double lim = k == 0 ? hal->ic_hsdiv_max_freq_mhz_r * 1.01 : hal->ic_hsdiv_max_freq_mhz_r;
      for (uint32_t d = 1; d <= 8; d *= 2) {
        if (f / d <= lim) {
          *ic.hsdiv = d;
          break;
        }
      }
      if (*ic.hsdiv == 0) *ic.hsdiv = 8;  // nothing fits and no divider to keep: the largest
    } else {
      *ic.hsdiv = 8;
    }
    *ic.hsdiv_freq = scaled(*ic.freq, 1, *ic.hsdiv);
  }
}

// SYN: every input reaches one common APLL input frequency through 1, 2, 4 or 8.
bool common_apll_input(hal_api_s *hal) {
  double t = mhz(hal->xa_apll_freq_s);
  if (!(t > 0.0)) {
    t = 0.0;
    for (int k = 0; k < 3; ++k) {
      const double f = mhz(*ic_refs(hal, k).hsdiv_freq);
      if (f != 0.0 && (t == 0.0 || f < t)) t = f;
    }
  }
  for (int k = 0; k < 3; ++k) {
    const ic_refs_s ic = ic_refs(hal, k);
    const double f = mhz(*ic.hsdiv_freq);
    if (!(f > 0.0) || !(std::fabs(f - t) > 0.000001)) continue;
    uint32_t p = 16;
    for (uint32_t c = 2; c <= 8; c *= 2) {
      if (std::fabs(f / c - t) < 0.000001) {
        p = c;
        break;
      }
    }
    // The divider takes the product even when it is too large: the object shows how far the
    // calculation got.
    const uint64_t hs = static_cast<uint64_t>(*ic.hsdiv) * p;
    *ic.hsdiv = static_cast<uint32_t>(hs);
    if (hs > 8) {
      put_msgf(hal,
               "ERROR: ICx frequencies must each be divisible by 1, 2, 4 or 8 to a common APLL PFD frequency in "
               "the range %6.2lf to %6.2lfMHz.\nXA does not have an input divider. If XA is used, the common APLL "
               "PFD frequency is %s the XA frequency.",
               hal->apll_input_min_freq_mhz_r, hal->apll_input_max_freq_mhz_r,
               hal->xa_mode_e >= xa_mode_xtal_dbl_e ? "double " : "");
      return false;
    }
    // The HSDIV output now runs at the common frequency; the APLL input is taken from it.
    *ic.hsdiv_freq = scaled(*ic.freq, 1, *ic.hsdiv);
  }
  return true;
}

// JA: the common PFD frequency of the inputs. False after an error.
bool common_pfd(hal_api_s *hal) {
  bool any = false;
  for (int k = 0; k < 3; ++k) any = any || ic_refs(hal, k).hsdiv_freq->f != 0;
  if (!any) {
    put_msg(hal, "WARNING: No valid IC input, setting PFD freq to 1 MHz");
    set_fprec_s(&hal->pfd_freq_s, 1000000, 1, 1);
  } else {
    const uint32_t code = kova_ic_solver(hal);
    if (code & IC_SOLVER_PFD_LOW) {
      put_msg(hal, "ERROR: ICx frequencies must each be divisible by integers to a common DPLL PFD frequency >= 1kHz.");
      return false;
    }
    if (code != 0) {
      put_msgf(hal, "ERROR: Could not solve inputs - condition code = %X.", code);
      return false;
    }
  }
  for (int k = 0; k < 3; ++k) {
    const ic_refs_s ic = ic_refs(hal, k);
    if (ic.hsdiv_freq->f == 0) {
      *ic.hsdiv = 8;
      *ic.div = hal->ic_div_max_u32;
    }
  }
  const double pfd = mhz(hal->pfd_freq_s);
  if (!in_range(pfd, hal->pfd_min_freq_mhz_r, hal->pfd_max_freq_mhz_r)) {
    put_msg(hal, "ERROR: PFD frequency is out of range.");
    return false;
  }
  if (!(ratio(pfd * 1000000.0, hal->dpll_bw_hz) >= hal->dsp_bw_mpy_min_r * 0.99)) {
    put_msgf(hal, "ERROR: DPLL common PFD frequency must be >= %gx DPLL bandwidth.", hal->dsp_bw_mpy_min_r);
    return false;
  }
  return true;
}

// DCO frequency (NCO, SS, JA), spread-spectrum count and DCO feedback divider. False after an error.
bool dco_plan(hal_api_s *hal) {
  const int32_t mode = hal->kova_mode_e;
  const double d = mhz(hal->dco_pfdclk_freq_s);
  if (mode == kova_mode_ss_e) {
    const double p = hal->ss_pctx10 / 10.0;
    double pmax = hal->ss_mod_pct_max;
    if (hal->ss_mode_e == ss_mode_centre_e) pmax = pmax / 2.0;
    if (!in_range(p, hal->ss_mod_pct_min, pmax)) {
      put_msgf(hal, "ERROR: Spread Spectrum modulation percentage must be in the range %g to %g percent.",
               hal->ss_mod_pct_min, pmax);
      return false;
    }
    if (!in_range(hal->ss_mod_hz / 1000.0, hal->ss_mod_khz_min, hal->ss_mod_khz_max)) {
      put_msgf(hal, "ERROR: Spread Spectrum modulation frequency must be in the range %g to %g kHz.",
               hal->ss_mod_khz_min, hal->ss_mod_khz_max);
      return false;
    }
  }
  if (mode == kova_mode_nco_e || mode == kova_mode_ss_e) {
    set_fprec_s(&hal->dco_freq_s, round_u32((d - hal->dco_clk_offset_min_mhz_r) * 1000000), 1, 1);
    if (mode == kova_mode_ss_e) {
      hal->ss_cnt_u16 = round_u32(ratio(mhz(hal->dsp_clk_freq_s) * 1000000.0, hal->ss_mod_hz) * 0.25);
    }
  } else if (mode == kova_mode_ja_e) {
    const double q = std::floor(ratio(d - hal->dco_clk_offset_min_mhz_r, mhz(hal->pfd_freq_s)));
    if (q > hal->dcofbdiv_max_u32) {
      put_msg(hal, "ERROR: DCOFBDIV_OUT_OF_RANGE");
      return false;
    }
    uint32_t div = floor_u32(q);
    if (div == 0) div = 1;
    hal->dcofb_div_u32 = div;
    hal->dco_freq_s = hal->pfd_freq_s;
    if (fprec_scale(&hal->dco_freq_s, div, 1) != 0) {
      put_msg(hal, "ERROR: IC frequency and/or FEC N/M create numbers too large and cannot be reduced");
      return false;
    }
  }
  return true;
}

// The APLL's input frequency. False after an error.
bool apll_input(hal_api_s *hal) {
  if (hal->kova_mode_e == kova_mode_syn_e) {
    const fprec_s *src[4] = {&hal->xa_apll_freq_s, &hal->ic1_hsdiv_freq_s, &hal->ic2_hsdiv_freq_s,
                             &hal->ic3_hsdiv_freq_s};
    fprec_s in = unset_freq();
    for (const fprec_s *s : src) {
      if (s->f != 0) {
        in = *s;
        break;
      }
    }
    // The divider is 2^AIDIV; beyond 2^31 the denominator would not even fit the 64-bit
    // product of the scaling, so that is the same overflow.
    const uint32_t aidiv = hal->apllcr1_aidiv_u2;
    if (aidiv > 31 || fprec_scale(&in, 1, pow2_u64(aidiv)) != 0) {
      put_msg(hal, "ERROR: Input frequency and/or FEC N/M create numbers too large and cannot be reduced");
      return false;
    }
    hal->apll_input_freq_s = in;
  } else {
    hal->apll_input_freq_s = hal->dco_freq_s;
  }
  if (!in_range(mhz(hal->apll_input_freq_s), hal->apll_input_min_freq_mhz_r, hal->apll_input_max_freq_mhz_r)) {
    put_msg(hal, "ERROR: At least one IC or XA input must be configured.");
    return false;
  }
  return true;
}

// JA: PFD divider and DSP rate.
void dsp_rate(hal_api_s *hal) {
  const double p = mhz(hal->pfd_freq_s);
  const double b = hal->dpll_bw_hz;
  const uint32_t lock = hal->pfd_div_lock_u16;
  const uint32_t cap = hal->pfddiv_max_u32;
  if (lock == 0) {
    double d = ratio(p, hal->dsp_bw_mpy_trgt_r * b * 0.000001);
    if (d < hal->pfddiv_min_trgt_u32 * 0.99) d = ratio(p, hal->dsp_bw_mpy_min_r * b * 0.000001);
    uint32_t div = floor_u32(d);
    if (div == 0) div = 1;
    if (div > cap) div = cap;
    const double r = ratio(p * 1000, div);
    bool redo = false;
    if (r > hal->dsp_max_rate_khz_r) {
      div = ceil_u32(ratio(p, hal->dsp_max_rate_khz_r * 0.001));
      redo = true;
    } else if (r < hal->dsp_min_rate_khz_r) {
      div = floor_u32(ratio(p, hal->dsp_min_rate_khz_r * 0.001));
      redo = true;
    }
    if (redo) {
      if (div == 0) div = 1;
      if (div > cap) div = cap;
    }
    hal->pfd_div_u16 = div;
    hal->dsp_rate_hz_u32 = round_u32(ratio(p * 1000000, div));
    if (ratio(hal->dsp_rate_hz_u32, b) < hal->dsp_bw_mpy_min_r * 0.99) {
      put_msg(hal, "WARNING: DSP_RATE/BW_RATIO_BELOW_OPTIMUM");
    }
    return;
  }
  if (lock > cap) {
    put_msg(hal, "ERROR: PFD divider greater than maximum allowed, unlock DSP rate");
    return;
  }
  hal->pfd_div_u16 = lock;
  hal->dsp_rate_hz_u32 = round_u32(p * 1000000 / lock);
  const double q = ratio(hal->dsp_rate_hz_u32, b);
  if (q < hal->dsp_bw_mpy_min_r * 0.99) put_msg(hal, "WARNING: DSP_RATE/BW_RATIO_BELOW_OPTIMUM - DSP rate is locked");
  if (q < hal->dsp_bw_mpy_min_r * 0.5) put_msg(hal, "ERROR: DSP_RATE/BW_RATIO too low - unlock DSP rate");
}

}  // namespace

void calc_expert(hal_api_s *hal) {
  if (!hal) return;
  clear_msg_log(hal);
  if (init_api_modes_changed(hal)) return;
  const int32_t mode = hal->kova_mode_e;

  if (!internal_clocks(hal)) return;
  if (hal->jitter_mode_e != jitter_mode_rj_e) {
    put_msg(hal, "ERROR: Unsupported jitter mode");
    return;
  }
  uint32_t *neg[3] = {&hal->oc1_neg_lsdiv_u32, &hal->oc2_neg_lsdiv_u32, &hal->oc3_neg_lsdiv_u32};
  for (uint32_t *n : neg) {
    if (*n == 0) *n = 1;
  }
  if (!check_xa(hal)) return;
  if (!in_range(mhz(hal->up_monclk_freq_s), hal->up_monclk_min_freq_mhz_r, hal->up_monclk_max_freq_mhz_r)) {
    put_msgf(hal, "ERROR: Invalid uP / monitor clock frequency %g - range is %g to %g MHz.",
             mhz(hal->up_monclk_freq_s), hal->up_monclk_min_freq_mhz_r, hal->up_monclk_max_freq_mhz_r);
    return;
  }
  if (!check_io_ranges(hal)) return;
  clamp_dpll(hal);
  if (mode == kova_mode_syn_e || mode == kova_mode_ja_e) input_hsdivs(hal);
  if (mode == kova_mode_syn_e && !common_apll_input(hal)) return;
  if (mode == kova_mode_ja_e && !common_pfd(hal)) return;
  if (!dco_plan(hal)) return;
  if (!apll_input(hal)) return;
  if (hal->oc_solver_mode_e == oc_solver_mode_auto_e) {
    if (oc_solver_auto(hal) != 0) return;
    oc_solver_set_indexes(hal);
  }
  if (mode == kova_mode_ja_e) dsp_rate(hal);
}
