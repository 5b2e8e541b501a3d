// Inverse configuration in jitter attenuation: the PFD, DCO, input and XA frequencies from
// one known frequency, the input-monitor clocks, and the settings in user units: DPLL loop,
// holdover, lock and limit settings from the DPLL words, input monitor settings from the
// monitor registers.
//
// Quantised settings (times counted in DSP samples, loop gains) come back as the value the
// registers state; where that value would not program the same register again (a time
// rounded across a sample boundary, a loop gain the bandwidth search passes by), the value
// nearest to it that does is taken, so that reading a chip back and calculating again
// reproduces its registers.
#include <algorithm>
#include <cmath>
#include <functional>

#include "hal/calc_hal.h"
#include "hal/calc_hal_views.h"
#include "hal/hal_regcalc.h"
#include "regs/inverse_cfg.h"
#include "regs/inverse_cfg_internal.h"

namespace inv {

namespace {

bool known(const fprec_s &p) { return p.f != 0; }

}  // namespace

void settle_monitors(hal_api_s *hal);

void xa_derived_clocks(hal_api_s *hal) {
  const fprec_s xa = hal->xa_freq_s;
  fprec_s twice = xa, half = xa;
  fprec_scale(&twice, 2, 1);
  fprec_scale(&half, 1, 2);
  switch (hal->xa_mode_e) {
    case xa_mode_xo_e:
    case xa_mode_tcxo_e:
    case xa_mode_xtal_e:
      hal->up_monclk_freq_s = xa;
      hal->dll_psampclk_freq_s = xa;
      hal->dsp_clk_freq_s = half;
      hal->dco_pfdclk_freq_s = xa;
      break;
    case xa_mode_xtal_dbl_e:
    case xa_mode_xo_dbl_e:
    case xa_mode_tcxo_dbl_e:
      hal->up_monclk_freq_s = twice;
      hal->dll_psampclk_freq_s = twice;
      hal->dsp_clk_freq_s = xa;
      hal->dco_pfdclk_freq_s = xa;
      break;
    default:
      set_fprec_s(&hal->up_monclk_freq_s, 0, 1, 1);
      set_fprec_s(&hal->dll_psampclk_freq_s, 0, 1, 1);
      set_fprec_s(&hal->dsp_clk_freq_s, 0, 1, 1);
      set_fprec_s(&hal->dco_pfdclk_freq_s, 0, 1, 1);
      break;
  }
}

void monitor_clocks(hal_api_s *hal, int n, const xfreq &hsdiv_side, bool used) {
  calc_ic_view_s ic = calc_ic_view(hal, n);
  if (!used || *ic.mondiv == 0) {
    *ic.divclk = 0.0;
    *ic.valtim_rate = 0.0;
    return;
  }
  const double f = hz(hsdiv_side) * 1e-6 / *ic.mondiv;
  *ic.divclk = f;
  const double rate = f * 1e6 / (*ic.pcd + 1.0) / (*ic.ppd + 1.0);
  *ic.valtim_rate = rate * (*ic.jtrtol == 1 ? 1.0 / 256.0 : 1.0 / 8.0);
}

int32_t ja_frequencies(hal_api_s *hal, const fprec_s kept[7], bool *xa_flag) {
  const ratio_s r = apll_ratio(hal);
  tree_s t;
  uint32_t anchor_f = 0;
  bool have = false, xa_anchor = false;
  fprec_s xa = {0, 1, 1};

  auto from_xa = [&](const fprec_s &x) -> bool {
    if (hal->icscr1_fbsel_u2 != 0) {
      put_msg(hal, "ERROR: Can not inverse from XA frequency when in external feedback mode.");
      return false;
    }
    xa = x;
    t.apll_in = from_hz(dco_from_xa(hal, x));
    xa_anchor = true;
    *xa_flag = true;
    return true;
  };

  // Inputs first (an input the chip does not use anchors nothing), then outputs, then XA.
  for (int n = 1; n <= 3 && !have; ++n) {
    if (!known(kept[n - 1]) || !input_used_ja(hal, n)) continue;
    const ic_fields_s ic = ic_fields(hal, n);
    const xfreq pfd = scale(from_fprec(kept[n - 1]), 1, static_cast<u128>(*ic.hsdiv) * *ic.div);
    t.apll_in = scale(pfd, hal->dcofb_div_u32, 1);
    anchor_f = kept[n - 1].f;
    have = true;
  }
  for (int k = 1; k <= 3 && !have; ++k) {
    if (!known(kept[3 + k])) continue;
    const oc_fields_s o = oc_fields(hal, k);
    const xfreq hs = output_to_hsdiv(hal, k, from_fprec(kept[3 + k]));
    anchor_f = kept[3 + k].f;
    have = true;
    if (*o.divsel == 1 && hal->apllcr1_byphs2_u1 == 1) {
      // A bypassed HSDIV2 carries the XA clock: the XA route.
      fprec_s x;
      store(&x, hal->mcr1_dbl_u1 == 1 ? scale(hs, 1, 2) : hs);
      if (!from_xa(x)) return 1;
    } else {
      hsdiv_to_apll_input(hal, *o.divsel == 1 ? 2 : 1, hs, r, &t);
    }
  }
  if (!have && known(kept[3])) {
    anchor_f = kept[3].f;
    have = true;
    if (!from_xa(kept[3])) return 1;
  }
  if (!have) {
    put_msg(hal, "ERROR: There is no input or output frequency available");
    return 1;
  }
  uint32_t prefer[8];
  int prefer_count = 0;
  prefer[prefer_count++] = anchor_f;
  for (int i = 0; i < 7; ++i)
    if (kept[i].f != 0 && kept[i].f != anchor_f) prefer[prefer_count++] = kept[i].f;

  // The DCO drives the APLL; the PFD is the DCO over the DPLL feedback divider.
  const xfreq dco = t.apll_in;
  const xfreq pfd = scale(dco, 1, hal->dcofb_div_u32);
  store(&hal->dco_freq_s, dco, prefer, prefer_count);
  store(&hal->pfd_freq_s, pfd, prefer, prefer_count);
  if (hal->xa_mode_e == xa_mode_disabled_e) {
    set_fprec_s(&hal->xa_freq_s, 0, 1, 1);
  } else if (xa_anchor) {
    hal->xa_freq_s = xa;
  } else {
    store(&hal->xa_freq_s, from_hz(xa_from_dco(hal, hz(dco))), prefer, prefer_count);
  }
  hal->xa_apll_freq_s = hal->xa_freq_s;

  const xfreq xa_clock = scale(from_fprec(hal->xa_freq_s), hal->mcr1_dbl_u1 == 1 ? 2 : 1, 1);
  apll_input_forward(hal, r, xa_clock, 0, &t);
  store(&hal->apll_input_freq_s, t.apll_in, prefer, prefer_count);
  store(&hal->vco_freq_s, t.vco, prefer, prefer_count);
  store(&hal->hsdiv1_freq_s, t.hs1, prefer, prefer_count);
  store(&hal->hsdiv2_freq_s, t.hs2, prefer, prefer_count);
  outputs_from_tree(hal, t, prefer, prefer_count);

  for (int n = 1; n <= 3; ++n) {
    const ic_fields_s ic = ic_fields(hal, n);
    const bool used = input_used_ja(hal, n);
    const xfreq h = used ? scale(pfd, *ic.div, 1) : xfreq{};
    store(ic.hsdiv_freq, h, prefer, prefer_count);
    store(ic.freq, scale(h, *ic.hsdiv, 1), prefer, prefer_count);
    monitor_clocks(hal, n, h, used);
  }
  xa_derived_clocks(hal);
  hal->ss_mode_e = ss_mode_down_e;
  hal->ss_mod_hz = 0;
  hal->ss_pctx10 = 0;
  return 0;
}

int32_t ja_settings(hal_api_s *hal) {
  if (int32_t rc = inverse_dpll_settings(hal)) return rc;
  for (int n = 1; n <= 3; ++n) inverse_monitor_settings(hal, n);
  settle_monitors(hal);
  return 0;
}

}  // namespace inv

using namespace inv;

namespace {

// The loop-gain constants of JA (dpll_bw_warp_A_r, _k_r, _C_r); the limits are not set
// while a blank object is rebuilt.
constexpr double kWarpA = 0.989689;
constexpr double kWarpK = -0.339448;
constexpr double kWarpC = 0.019826;
constexpr double kTwoPi = 6.2831853;
// Lock timeouts last at least this many DSP samples (lkto_dsp_ratio_min_r of JA).
constexpr double kLockMinSamples = 8.0;
constexpr uint32_t kLimitOff = 0x7FFFFFFFu;
// PPM modes (icx_mon_ppm_mode_es): accur_lo, plain with 1/8 counting, jitter tolerant.
constexpr int32_t kPpmAccurLo = 0;
constexpr int32_t kPpmJtrtol8 = 1;
constexpr int32_t kPpmJtrtol = 2;

// The nearest value to `start` (within `reach`, not below `lo`, not above `hi`) for which
// `programs` holds; `start` itself when none does.
uint32_t nearest_programming(uint32_t start, uint32_t lo, uint32_t hi, uint32_t reach,
                             const std::function<bool(uint32_t)> &programs) {
  for (uint32_t d = 0; d <= reach; ++d) {
    if (start >= lo + d && start - d <= hi && programs(start - d)) return start - d;
    if (d != 0 && start + d <= hi && start + d >= lo && start + d > start && programs(start + d)) return start + d;
  }
  return start;
}

// Samples in `us` microseconds at `rate`, as the register calculation counts them.
int64_t samples(uint32_t us, double rate) { return trunc_i64((us * 0.001) * (0.001 * rate)); }

// The register calculation's codes of each time setting, to test a value against the
// register it has to program.
uint32_t pfixavg_code(uint32_t us, double rate) {
  const int64_t n = samples(us, rate);
  if (n <= 0) return 0;
  const int64_t c = trunc_i64(double_log2(static_cast<double>(n)));
  return static_cast<uint32_t>(c > 15 ? 15 : c);
}

uint32_t holdover_code(uint32_t us, double rate) {
  const int64_t n = samples(us, rate);
  if (n <= 0) return 0;
  int64_t c = trunc_i64(double_log2(static_cast<double>(n)));
  if (c >= 15) return 15;
  if (static_cast<double>(n) > std::ldexp(1.0, static_cast<int>(c))) ++c;
  return static_cast<uint32_t>(c);
}

uint32_t lol_code(uint32_t us, double rate) {
  const int64_t n = samples(us, rate);
  if (n <= 0) return 255;
  int64_t c = trunc_i64(256.0 / static_cast<double>(n));
  if (c == 0) c = 1;
  if (c > 255) c = 255;
  return static_cast<uint32_t>(c);
}

// Multiplier code and count of a lock timeout of `ms` at DSP rate `rate`.
void lock_code(uint32_t ms, double rate, uint32_t *code, uint32_t *count) {
  const double tick = 1000.0 / rate;
  const double floor_ms = tick * kLockMinSamples;
  const double t = ms == 0 ? 0.0 : (ms > floor_ms ? static_cast<double>(ms) : floor_ms);
  *code = 0;
  *count = 0;
  if (t == 0.0) return;
  if (t <= tick) {
    *count = 1;
    return;
  }
  for (uint32_t c = 0; c <= 3; ++c) {
    const double unit = std::ldexp(tick, 4 * static_cast<int>(c));
    if (63.0 * unit >= t) {
      *code = c;
      *count = static_cast<uint32_t>(trunc_i64(std::ceil(t / unit)));
      return;
    }
  }
  *code = 3;
  *count = 63;
}

uint32_t lock_timeout_ms(uint32_t code, uint32_t count, double rate, double t_us) {
  if (count == 0) return 0;
  const double ms = std::ldexp(1.0, 4 * static_cast<int>(code)) * count * t_us / 1000.0;
  const uint32_t reading = clamp_u32(jround(ms));
  return nearest_programming(reading, 0, 0xFFFFFFFFu, 64, [&](uint32_t v) {
    uint32_t c, k;
    lock_code(v, rate, &c, &k);
    return c == code && k == count;
  });
}

// The register calculation's loop gains for a bandwidth and damping, with s the frequency
// word units per ppb.
double loop_w(uint32_t bw, uint32_t rate) {
  const uint32_t ratio = bw == 0 ? 0 : rate / bw;
  return bw * kTwoPi * (kWarpK * std::exp(-static_cast<double>(ratio) * kWarpC) + kWarpA);
}

int64_t prop_word(uint32_t bw, uint32_t rate, double s) { return jround(1024.0 * (loop_w(bw, rate) * s)); }

int64_t int_word(uint32_t bw, uint32_t df, uint32_t rate, double s) {
  const double w = loop_w(bw, rate);
  const uint32_t df2x4 = 4u * df * df;
  return jround(4096.0 * (((w * w) / df2x4) * (1.0 / rate)) * s);
}

int64_t sext(uint32_t v, int bits) {
  const uint32_t m = 1u << (bits - 1);
  v &= (bits == 32) ? 0xFFFFFFFFu : ((1u << bits) - 1u);
  return static_cast<int64_t>(static_cast<int32_t>((v ^ m) - m));
}

}  // namespace

int32_t inverse_dpll_settings(hal_api_s *hal) {
  // The DSP rate as the calculation forms it: the PFD record it takes from the first input
  // (the input's base with the reduced ratio over HSDIV and DIV), rounded in doubles.
  fprec_s pfd = hal->pfd_freq_s;
  for (int n = 1; n <= 3; ++n) {
    const ic_fields_s ic = ic_fields(hal, n);
    if (ic.freq->f == 0) continue;
    const uint64_t den = static_cast<uint64_t>(ic.freq->m) * *ic.hsdiv * *ic.div;
    const uint64_t g = gcd(ic.freq->n, den);
    if (den / g <= 0xFFFFFFFFu)
      set_fprec_s(&pfd, ic.freq->f, static_cast<uint32_t>(ic.freq->n / g), static_cast<uint32_t>(den / g));
    break;
  }
  const uint32_t pfd_div = hal->pfd_div_u16;
  hal->dsp_rate_hz_u32 = pfd_div == 0 ? 0 : clamp_u32(jround(fprec_s_2_double_mhz(pfd) * 1e6 / pfd_div));
  const uint32_t rate_u = hal->dsp_rate_hz_u32;
  const double rate = rate_u;

  switch (hal->dpllcr1_mode_u4) {
    case 4: hal->dpll_mode_e = 1; break;
    case 5: hal->dpll_mode_e = 2; break;
    case 6: hal->dpll_mode_e = 0; break;
    default:
      put_msgf(hal, "ERROR: Can not determine dpll_mode_e - dpllcr1_mode = %X", hal->dpllcr1_mode_u4);
      return 1;
  }
  if (hal->dpllcr1_homode_u2 > 2) {
    put_msgf(hal, "ERROR: Can not determine ho_mode_e - dpllcr1_homode = %X", hal->dpllcr1_homode_u2);
    return 1;
  }
  hal->ho_mode_e = static_cast<int32_t>(hal->dpllcr1_homode_u2);

  // The manual phase offset: ns with 10 fraction bits and the opposite sign.
  hal->man_phoff_ps = static_cast<int32_t>(jround(static_cast<int32_t>(hal->dphoff1_phoff_ns_i32_10) * -1000.0 / 1024.0));
  hal->lolthr_ns = hal->phlolns_ro_u16_0;
  const uint32_t h = hal->dpllcr2_crb2 * 16u + hal->dpllcr2_crb1;
  hal->hitless_mode_e = h == 1 ? 1 : h == 16 ? 2 : 0;

  const double z = uint64x_2_double(hal->dfreqz1_freqz_u40);
  // The register calculation's frequency-word units per ppb (freqz_scale x 1e-9), from the
  // feedback ratio and the DCO over its PFD clock, to test settings against their words.
  const double fb = fprec_s_2_double_mhz(hal->apll_fbdiv_s) * 1e6;
  const double pfdclk = fprec_s_2_double_mhz(hal->dco_pfdclk_freq_s);
  const double s = pfdclk == 0.0 ? 0.0 : kTwo33 * fb * (fprec_s_2_double_mhz(hal->dco_freq_s) / pfdclk) * 1e-9;
  if (rate_u == 0) {
    // No DSP rate: nothing is counted in samples.
    hal->hoavgto_us = hal->howaitto_us = hal->lolset_us = hal->lolclr_us = 0;
    hal->phlkto_ms = hal->lkato_ms = hal->pfixavgto_us = 0;
    hal->hofd_ppb_sec = hal->fchlim_ppb_sec = 0;
  } else {
    const double t_us = 1e6 / rate;  // one DSP sample

    // Holdover averaging and wait: 2^code samples; a time the calculation counts as fewer
    // samples than that is moved to the nearest one it counts right.
    auto holdover = [&](uint32_t code) -> uint32_t {
      if (code == 0) return 0;
      const uint32_t reading = trunc_u32(std::ldexp(1.0, static_cast<int>(code)) / (rate * 1e-6));
      return nearest_programming(reading, 1, 0xFFFFFFFFu, 4096,
                                 [&](uint32_t v) { return holdover_code(v, rate) == code; });
    };
    hal->hoavgto_us = holdover(hal->hoavgto_ro_u8_0);
    hal->howaitto_us = holdover(hal->howaitto_ro_u8_0);

    // Loss-of-lock set and clear: 256 / code samples.
    auto lol = [&](uint32_t code, bool round_up) -> uint32_t {
      if (code == 0) return 0;
      const double x = 256.0 / code * t_us;
      const uint32_t reading = clamp_u32(round_up ? static_cast<int64_t>(std::ceil(x)) : jround(x));
      return nearest_programming(reading, 0, 0xFFFFFFFFu, 4096, [&](uint32_t v) { return lol_code(v, rate) == code; });
    };
    hal->lolset_us = lol(hal->phlolset_ro_u8_0, false);
    hal->lolclr_us = lol(hal->phlolclr_ro_u8_0, true);

    hal->phlkto_ms = lock_timeout_ms(hal->phlkto_phlktom_u2, hal->phlkto_phlkto_u6, rate, t_us);
    hal->lkato_ms = lock_timeout_ms(hal->lkato_lkatom_u2, hal->lkato_lkato_u6, rate, t_us);

    // Phase-fix averaging: 2^code samples (at least one sample).
    {
      const uint32_t code = hal->pfixavgto_ro_u8_0;
      const uint32_t reading = clamp_u32(jround(std::ldexp(1.0, static_cast<int>(code & 63u)) * 1000.0 / (rate * 0.001)));
      hal->pfixavgto_us = nearest_programming(reading, 0, 0xFFFFFFFFu, 4096,
                                              [&](uint32_t v) { return pfixavg_code(v, rate) == code; });
    }

    // Limits per DSP sample; a raw word at or above 0x7FFFFFFF turns the limit off.
    auto per_sample = [&](uint32_t raw) -> uint32_t {
      if (raw >= kLimitOff || z == 0.0) return 0;
      const uint32_t reading = clamp_u32(jround(raw * rate * 1e9 / z));
      if (s <= 0.0) return reading;
      return nearest_programming(reading, 1, 0xFFFFFFFFu, 1024, [&](uint32_t v) {
        return jround((v * 1e-9 * (s * 1e9)) / rate) == raw;
      });
    };
    hal->hofd_ppb_sec = per_sample(hal->hofdthr_ro_u32_0);
    hal->fchlim_ppb_sec = per_sample(hal->fchlimthr_ro_u32_0);
  }
  // Phase-slope limit, relative to the proportional gain; frequency-hold limit.
  hal->pslim_ns_sec = 0;
  if (hal->pslimthr_ro_u32_10 < kLimitOff && z != 0.0) {
    const uint32_t raw = hal->pslimthr_ro_u32_10;
    const double b = hal->prop_ro_u32_10 * (1.0 / 1024.0);
    const uint32_t reading = clamp_u32(jround(b * (raw / 1024.0) * 1e9 / z));
    hal->pslim_ns_sec = reading;
    if (s > 0.0 && b != 0.0)
      hal->pslim_ns_sec = nearest_programming(reading, 1, 0xFFFFFFFFu, 1024, [&](uint32_t v) {
        return jround(1024.0 * ((v * 1e-9 * (s * 1e9)) / b)) == raw;
      });
  }
  hal->fqhlim_ppb = 0;
  if (hal->fqhlimthr_ro_u32_0 < kLimitOff && z != 0.0) {
    const uint32_t raw = hal->fqhlimthr_ro_u32_0;
    const uint32_t reading = clamp_u32(jround(raw * 1e9 / z));
    hal->fqhlim_ppb = s <= 0.0 ? reading : nearest_programming(reading, 1, 0xFFFFFFFFu, 1024, [&](uint32_t v) {
      return jround(v * 1e-9 * (s * 1e9)) == raw;
    });
  }

  // Damping and bandwidth from the loop gains.
  hal->dpll_df = 0;
  hal->dpll_bw_hz = 0;
  if (z == 0.0 || rate_u == 0) return 0;
  const double zs = z * 1e-9;
  const double t_s = 1.0 / rate;
  const double p = (hal->prop_ro_u32_10 / 1024.0) / zs;
  const double i = hal->int_ro_u32_12 / 4096.0;
  if (i > 0.0) hal->dpll_df = clamp_u32(jround(0.5 * std::sqrt(zs * t_s * p * p / i)));

  const double x = p / kTwoPi;
  uint32_t bw = 0;
  {
    double b = std::floor(x);
    for (int tries = 0; tries < 1000; ++tries, b += 1.0) {
      const double w = b > 0.0 ? (kWarpA + kWarpK * std::exp(-kWarpC * rate / b)) * b : 0.0;
      if (w > x || std::fabs(w - x) < 0.000001) {
        bw = b < 0.0 ? 0 : clamp_u32(static_cast<int64_t>(b));
        break;
      }
    }
  }

  // Settle bandwidth and damping on values that program the same gains.
  if (s > 0.0) {
    const int64_t prop = hal->prop_ro_u32_10;
    const int64_t integ = hal->int_ro_u32_12;
    bw = nearest_programming(bw, 1, 1000, 1000, [&](uint32_t b) { return prop_word(b, rate_u, s) == prop; });
    if (bw != 0)
      hal->dpll_df = nearest_programming(hal->dpll_df, 1, 255, 255,
                                         [&](uint32_t d) { return int_word(bw, d, rate_u, s) == integ; });
  }
  hal->dpll_bw_hz = bw;
  return 0;
}

void inverse_monitor_settings(hal_api_s *hal, int n) {
  calc_ic_view_s ic = calc_ic_view(hal, n);
  const double f = *ic.divclk;
  const double m = fprec_s_2_double_mhz(hal->up_monclk_freq_s);
  uint32_t *loslt = n == 1 ? &hal->ic1_mon_loslt_us : n == 2 ? &hal->ic2_mon_loslt_us : &hal->ic3_mon_loslt_us;

  *ic.extlos = *ic.losss >= 1 && *ic.losss <= 4 ? static_cast<int32_t>(*ic.losss) : 0;
  *loslt = 0;
  *ic.invalid_thr = *ic.invalid_lat = *ic.valid_lat = *ic.hyst = 0.0;
  *ic.fast_invalid_thr = *ic.fast_invalid_lat = 0.0;

  // Mode and PPM mode: what the register calculation programs for each.
  // A monitor that does not count shows no PPM mode; it reads back as the plain PPM mode,
  // because accur_lo on an input changes how the other inputs' monitors are counted.
  bool counted = false;
  if (*ic.scen == 0) {
    *ic.mon_mode = 1;
    *ic.thr = 1;
    *ic.ppm_mode = kPpmJtrtol8;
    *ic.thr2 = 0;
  } else if (*ic.scc == 65535) {
    *ic.mon_mode = 0;
    *ic.thr = 1;
    *ic.ppm_mode = kPpmJtrtol8;
    *ic.thr2 = 0;
  } else {
    counted = true;
    *ic.mon_mode = *ic.scgap == 1 ? 3 : 2;
    *ic.ppm_mode = (*ic.pcen == 1 && *ic.ppen == 1) ? kPpmAccurLo : (*ic.jtrtol == 1 ? kPpmJtrtol : kPpmJtrtol8);
  }

  // An input without a clock (unused) keeps the mode its registers show, without thresholds.
  if (!(f > 0.0)) {
    *ic.thr = *ic.thr2 = 0;
    *ic.valwait = 0;
    return;
  }

  // Validation wait: 2^v + 1 measurement periods (v + 1 with the jitter-tolerant scale);
  // code 0 is the automatic wait, 0.
  const double rate = *ic.valtim_rate;
  const uint32_t v = *ic.valtime;
  *ic.valwait = 0;
  if (rate > 0.0) {
    const double period = 1000.0 / rate;
    const double mult = *ic.jtrtol == 0 ? std::ldexp(1.0, static_cast<int>(v)) + 1.0 : v + 1.0;
    const uint32_t reading = v == 0 ? 0 : trunc_u32(period * mult);
    *ic.valwait = reading;
    if (counted) {
      // The register calculation's code of a wait, to settle on one that programs v again
      // (with only the single-cycle monitor the automatic wait programs code 1, so code 0
      // needs a wait below one period).
      const bool scm_only = *ic.pcen == 0 && *ic.ppen == 0;
      auto code_of = [&](uint32_t w) -> uint32_t {
        if (w == 0) return scm_only ? 1 : 0;
        const double ww = static_cast<double>(w);
        if (*ic.jtrtol == 0) {
          uint32_t c = 1;
          while (c < 7 && (std::ldexp(1.0, static_cast<int>(c)) + 1.0) * period < ww) ++c;
          return c;
        }
        const int64_t c = trunc_i64(std::floor(ww / period));
        return static_cast<uint32_t>(c > 7 ? 7 : c < 0 ? 0 : c);
      };
      *ic.valwait = nearest_programming(reading, 0, 0xFFFFFFFFu, 64, [&](uint32_t w) { return code_of(w) == v; });
    }
  }
  if (!counted) return;

  const double pcd1 = *ic.pcd + 1.0;
  const double d = f / pcd1 / (*ic.ppd * 8.0 + 8.0);
  if (*ic.ppen == 1) {
    // PPM monitor: the count window around the expected count, in eighths. In accur_lo
    // (PCEN set) the expected count is 10^6 less the shared SCO offset, otherwise the PPN
    // word holds it.
    double base;
    if (*ic.pcen == 0) {
      base = 8000000.0 - static_cast<double>(sext(*ic.ppn, 25));
    } else {
      base = 8.0 * (1e6 - static_cast<double>(sext(hal->sco_sco_i8, 8)));
    }
    auto ppm_at = [&](double count) { return std::fabs((d - m / count) * 1e6 / d); };
    const double lt = *ic.pplt * 8.0;
    *ic.thr = trunc_u32(std::floor(std::fmin(ppm_at(base + lt), ppm_at(base - lt))));
    if (*ic.ppht != 0 && *ic.ppht != *ic.pplt) {
      const double ht = *ic.ppht * 8.0;
      *ic.thr2 = trunc_u32(std::ceil(std::fmax(ppm_at(base + ht), ppm_at(base - ht))) + 1.0);
    } else {
      *ic.thr2 = 0;
    }
  } else if (*ic.pcen == 1) {
    // Percent monitor: PCN counts of PCD input cycles, with a tolerance of 2^PCTM x PCT.
    const double l = *ic.pcn * 8.0;
    const double q = std::ldexp(static_cast<double>(*ic.pct), static_cast<int>(*ic.pctm & 7u));
    const double f1 = f / pcd1;
    const double a = std::fabs((f1 - m / (q + l)) * 1e6 / f1 / 1.01);
    const double b = std::fabs((f1 - m / (l - q)) * 1e6 / f1 / 1.01);
    *ic.thr = trunc_u32(std::floor(std::fmin(a, b)));
    *ic.thr2 = 0;
  } else {
    *ic.thr = 0;
    *ic.thr2 = 0;
  }
}

namespace {

// The user settings of one input monitor, and its register fields split by what decides
// them: the threshold (counts and enables), the reject threshold (PPHT), the wait (code).
struct mon_user_s {
  int32_t mode, ppm_mode, extlos;
  uint32_t thr, thr2, wait;
};

mon_user_s mon_user(hal_api_s *h, int n) {
  calc_ic_view_s ic = calc_ic_view(h, n);
  return {*ic.mon_mode, *ic.ppm_mode, *ic.extlos, *ic.thr, *ic.thr2, *ic.valwait};
}

void set_mon_user(hal_api_s *h, int n, const mon_user_s &u) {
  calc_ic_view_s ic = calc_ic_view(h, n);
  *ic.mon_mode = u.mode;
  *ic.ppm_mode = u.ppm_mode;
  *ic.extlos = u.extlos;
  *ic.thr = u.thr;
  *ic.thr2 = u.thr2;
  *ic.valwait = u.wait;
}

// Register fields compare within their widths: the calculation stores signed fields
// sign-extended, the read-back zero-extended.
bool eq(uint32_t a, uint32_t b, int bits) { return ((a ^ b) & ((1u << bits) - 1u)) == 0; }

bool same_counts(hal_api_s *a, hal_api_s *b, int n) {
  calc_ic_view_s x = calc_ic_view(a, n), y = calc_ic_view(b, n);
  return eq(*x.mondiv_code, *y.mondiv_code, 4) && eq(*x.scen, *y.scen, 1) && eq(*x.pcen, *y.pcen, 1) &&
         eq(*x.ppen, *y.ppen, 1) && eq(*x.losss, *y.losss, 3) && eq(*x.scgap, *y.scgap, 1) &&
         eq(*x.scc, *y.scc, 18) && eq(*x.pcd, *y.pcd, 8) && eq(*x.pcn, *y.pcn, 14) && eq(*x.ppn, *y.ppn, 25) &&
         eq(*x.pct, *y.pct, 8) && eq(*x.pctm, *y.pctm, 3) && eq(*x.jtrtol, *y.jtrtol, 1) && eq(*x.ppd, *y.ppd, 10) &&
         eq(*x.pplt, *y.pplt, 9);
}

bool same_ppht(hal_api_s *a, hal_api_s *b, int n) { return eq(*calc_ic_view(a, n).ppht, *calc_ic_view(b, n).ppht, 9); }
bool same_code(hal_api_s *a, hal_api_s *b, int n) {
  return eq(*calc_ic_view(a, n).valtime, *calc_ic_view(b, n).valtime, 3);
}

}  // namespace

namespace inv {

// The monitor thresholds and waits read from the registers are readings of coarse counts;
// the register calculation, run on a probe copy, tells whether a reading programs the same
// counts again. Where it does not, the nearest threshold, reject threshold and wait that do
// are taken.
void settle_monitors(hal_api_s *hal) {
  hal_api_s probe{};
  probe.init_api_mode_e = init_api_blank_e;
  init_api(&probe);
  hal_obj_s *obj = probe.hal_obj_p;
  if (!obj) return;
  probe = *hal;
  probe.hal_obj_p = obj;
  init_api_limits(&probe);

  mon_user_s user[3] = {mon_user(hal, 1), mon_user(hal, 2), mon_user(hal, 3)};
  // Thresholds are 16-bit settings; a reading beyond that comes from registers no threshold
  // programs, and is not searched around. The search reaches a fifth of the value, at most
  // 1024 steps either way.
  auto reach_of = [](uint32_t thr) -> uint32_t { return thr > 65535 ? 0 : std::min<uint32_t>(thr / 5 + 128, 1024); };
  auto run = [&]() {
    for (int k = 1; k <= 3; ++k) set_mon_user(&probe, k, user[k - 1]);
    clear_msg_log(&probe);
    calc_mon_regs(&probe);
  };
  auto search = [&](uint32_t *value, uint32_t reach, const std::function<bool()> &ok) {
    const uint32_t start = *value;
    *value = nearest_programming(start, 0, 0xFFFFFFFFu, reach, [&](uint32_t v) {
      *value = v;
      run();
      return ok();
    });
    if (*value == start) run();
  };

  for (int n = 1; n <= 3; ++n) {
    calc_ic_view_s ic = calc_ic_view(hal, n);
    if (*ic.mon_mode < 2 || !(*ic.divclk > 0.0)) continue;
    mon_user_s &u = user[n - 1];
    run();
    // accur_lo without a threshold shows only in its pre-divider: try the other PPM modes
    // before the threshold.
    for (int32_t ppm : {kPpmAccurLo, kPpmJtrtol8, kPpmJtrtol}) {
      if (same_counts(&probe, hal, n)) break;
      const int32_t was = u.ppm_mode;
      u.ppm_mode = ppm;
      run();
      if (!same_counts(&probe, hal, n)) u.ppm_mode = was;
    }
    run();
    if (!same_counts(&probe, hal, n))
      search(&u.thr, reach_of(u.thr), [&] { return same_counts(&probe, hal, n); });
    if (same_counts(&probe, hal, n) && *ic.ppen == 1 && !same_ppht(&probe, hal, n))
      search(&u.thr2, reach_of(u.thr2), [&] { return same_ppht(&probe, hal, n); });
    if (!same_code(&probe, hal, n)) search(&u.wait, 64, [&] { return same_code(&probe, hal, n); });
  }
  for (int k = 1; k <= 3; ++k) set_mon_user(hal, k, user[k - 1]);
  delete_api(&probe);
}

}  // namespace inv
