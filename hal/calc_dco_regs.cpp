// DCO and DPLL frequency registers: the DCO's nominal frequency word, the DPLL feedback
// scale and divider, the PFD count, the two lock timeouts and the spread-spectrum step.
//
// The frequency word is 2^33 x VCO / DCO PFD clock: the DCO runs at VCO / feedback ratio,
// and the word counts it in units of 2^-33 of the feedback ratio per PFD clock.
#include <cmath>

#include "arith/bigint128.h"
#include "arith/fprec.h"
#include "hal/calc_hal.h"
#include "hal/hal_regcalc.h"

namespace {

constexpr double kTwo33 = 8589934592.0;
constexpr double kTwo40 = 1099511627776.0;
constexpr uint64_t kFreqzMax = (uint64_t{1} << 40) - 1;

void frequency_word(hal_api_s *h) {
  uint64_t f = h->vco_freq_s.f, n = h->vco_freq_s.n, m = h->vco_freq_s.m;
  if (h->xa_freq_off_ppb_i32 != 0 && m != 0) {
    // The XA offset moves the whole clock tree; the VCO is taken to the hertz. A VCO
    // without a frequency (m = 0) stays without one.
    const uint32_t hz = trunc_u32(static_cast<double>(f) * static_cast<double>(n) / static_cast<double>(m));
    f = trunc_u32(hz * (1.0 + h->xa_freq_off_ppb_i32 * 1e-9));
    n = m = 1;
  }
  const fprec_s &pfd = h->dco_pfdclk_freq_s;
  // A / B = 2^33 x VCO / DCO PFD clock.
  bigint128 A, B;
  uint32_t ovf = 0, o = 0;
  bigint128Mpy64x64(&A, uint64_t{1} << 33, f * n);
  bigint128x64Mpy(&o, &A, &A, pfd.m);
  ovf |= o;
  bigint128Mpy64x64(&B, static_cast<uint64_t>(pfd.f) * pfd.n, m);
  if (h->kova_mode_e == kova_mode_ss_e && h->ss_mode_e == ss_mode_down_e) {
    bigint128x64Mpy(&o, &A, &A, static_cast<uint32_t>(2000u - h->ss_pctx10));
    ovf |= o;
    bigint128x64Mpy(&o, &B, &B, 2000);
    ovf |= o;
  }
  bigint128 W, rest;
  bigint128Div(&W, &rest, &A, &B);
  // A remainder above one half of the APLL's remainder fraction lowers the word by one.
  if (h->afbrem1_afbrem_u32 > h->afbden1_afbden_u32 / 2) {
    if (W.w[0]-- == 0) W.w[1]--;
  }
  if (ovf != 0 || W.w[1] != 0 || W.w[0] > kFreqzMax) {
    put_msg(h, "ERROR: int2reg dfreqz1_freqz_u40 overflow");
    h->dfreqz1_freqz_u40 = kFreqzMax;
  } else {
    h->dfreqz1_freqz_u40 = W.w[0];
  }
}

}  // namespace

void calc_dco_regs(hal_api_s *h, calc_hal_work_s *w) {
  w->freqz_scale = kTwo33 * w->apll_fbdiv_ratio * (w->dco_adj_mhz / w->dco_pfd_mhz);
  frequency_word(h);
  if (h->kova_mode_e != kova_mode_ja_e) return;
  h->dfbscl1_fbscale_u16 = static_cast<uint32_t>(real2reg(
      h, "dfbscl1_fbscale_u16", 256.0 * (kTwo40 / (kTwo33 * w->apll_fbdiv_ratio)) * (w->dco_pfd_mhz / w->dco_adj_mhz),
      16, 0));
  h->dfbdiv1_fbdiv_u19 =
      static_cast<uint32_t>(int2reg(h, "dfbdiv1_fbdiv_u19", reg_minus1(h->dcofb_div_u32), 19, 0));
}

lock_timeout_s calc_lock_timeout(hal_api_s *h, uint32_t requested_ms, uint32_t dsp_rate_hz, double min_dsp_ratio,
                                 const char *count_name, const char *out_of_range_msg) {
  constexpr double M = 63.0;
  const double tick = 1000.0 / static_cast<double>(dsp_rate_hz);  // ms per DSP sample
  const double floor_ms = tick * min_dsp_ratio;
  double t = 0.0;
  if (requested_ms != 0) t = static_cast<double>(requested_ms) > floor_ms ? requested_ms : floor_ms;

  uint32_t c = 0;
  int64_t k = 0;
  if (t == 0.0) {
    c = 0;
    k = 0;
  } else if (t <= tick) {
    c = 0;
    k = 1;
  } else {
    bool found = false;
    for (c = 0; c <= 3; ++c) {
      const double unit = std::ldexp(tick, 4 * static_cast<int>(c));
      if (M * unit >= t) {
        k = trunc_i64(std::ceil(t / unit));
        found = true;
        break;
      }
    }
    if (!found) {
      put_msg(h, out_of_range_msg);
      c = 3;
      k = 63;
    }
  }
  lock_timeout_s r;
  r.code = c;
  r.count = static_cast<uint32_t>(int2reg(h, count_name, k, 6, 0));
  r.programmed_ms = trunc_u32(std::floor(static_cast<double>(r.count) * std::ldexp(1.0, 4 * static_cast<int>(c)) * tick));
  return r;
}

void calc_lock_regs(hal_api_s *h) {
  h->dpcnt1_pfdcnt_u14 = static_cast<uint32_t>(int2reg(h, "dpcnt1_pfdcnt_u14", reg_minus1(h->pfd_div_u16), 14, 0));
  const lock_timeout_s ph = calc_lock_timeout(h, h->phlkto_ms, h->dsp_rate_hz_u32, h->lkto_dsp_ratio_min_r,
                                              "phlkto_phlkto_u6", "PHLKTO_OUT_OF_RANGE");
  h->phlkto_phlktom_u2 = ph.code;
  h->phlkto_phlkto_u6 = ph.count;
  h->phlkto_ms = ph.programmed_ms;
  const lock_timeout_s la = calc_lock_timeout(h, h->lkato_ms, h->dsp_rate_hz_u32, h->lkto_dsp_ratio_min_r,
                                              "lkato_lkato_u6", "LKATO_OUT_OF_RANGE");
  h->lkato_lkatom_u2 = la.code;
  h->lkato_lkato_u6 = la.count;
  h->lkato_ms = la.programmed_ms;
}

void calc_ss_regs(hal_api_s *h, const calc_hal_work_s *w) {
  double p = h->ss_pctx10 * 0.001;
  if (h->ss_mode_e == ss_mode_centre_e) p = 2.0 * p;
  const double step = p * w->dco_adj_mhz / static_cast<double>(2u * h->ss_cnt_u16);
  h->dssdec1_decinc_u20 = static_cast<uint32_t>(
      real2reg(h, "dssdec1_decinc_u20", (kTwo33 * w->apll_fbdiv_ratio) * (step / w->dco_pfd_mhz), 24, 1));
  h->dsscnt1_sscnt_u12 = static_cast<uint32_t>(int2reg(h, "dsscnt1_sscnt_u12", h->ss_cnt_u16 - 2u, 12, 0));
}
