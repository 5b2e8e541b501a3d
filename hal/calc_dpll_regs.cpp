// DPLL loop, holdover and limit words. The DSP of the DPLL reads fixed-point words whose
// field names end in their number of fraction bits (prop_ro_u32_10 has 10). Frequencies are
// converted to frequency-word units through freqz_scale (units per unit of relative
// frequency); times become counts of DSP samples, mostly powers of two.
#include <cmath>

#include "arith/fprec.h"
#include "hal/calc_hal.h"
#include "hal/hal_regcalc.h"

namespace {

constexpr double kLimitOff = 2147483647.0;  // a limit word that never triggers

uint32_t r2u(hal_api_s *h, const char *name, double v, uint32_t width, int32_t sgn) {
  return static_cast<uint32_t>(real2reg(h, name, v, width, sgn));
}

// Number of DSP samples in `us` microseconds, truncated.
int64_t samples(uint32_t us, double rate) { return trunc_i64((us * 0.001) * (0.001 * rate)); }

// Holdover averaging and wait: log2 of the length in samples, rounded up to a power of two
// (at most 15); the time field is rewritten with the programmed length when it is not 0.
int64_t holdover_code_of(uint32_t us, double rate) {
  const int64_t n = samples(us, rate);
  int64_t code = 0;
  if (n > 0) {
    code = trunc_i64(double_log2(static_cast<double>(n)));
    if (code >= 15) {
      code = 15;
    } else if (static_cast<double>(n) > std::ldexp(1.0, static_cast<int>(code))) {
      code += 1;
    }
  }
  return code;
}

// A user's time rewritten to the time its code programs: the given rounding of the exact
// time t, unless that would give another code on the next recalculation (at DSP rates that
// do not divide a second); then t rounded up, which gives the same code back.
uint32_t settled_time(uint32_t rounded, double t, int64_t code, double rate, int64_t (*code_of)(uint32_t, double)) {
  return code_of(rounded, rate) == code ? rounded : trunc_u32(std::ceil(t));
}

uint32_t holdover_code(hal_api_s *h, const char *name, uint32_t *us, double rate) {
  const int64_t code = holdover_code_of(*us, rate);
  const uint32_t reg = static_cast<uint32_t>(int2reg(h, name, code, 8, 0));
  if (code != 0) {
    const double t = std::ldexp(1.0, static_cast<int>(code)) / (rate * 1e-6);
    *us = settled_time(trunc_u32(t), t, code, rate, holdover_code_of);
  }
  return reg;
}

int64_t pfix_code_of(uint32_t us, double rate) {
  const int64_t n = samples(us, rate);
  int64_t code = 0;
  if (n > 0) {
    code = trunc_i64(double_log2(static_cast<double>(n)));
    if (code > 15) code = 15;
  }
  return code;
}

// Loss-of-lock set and clear rates: 256 / samples (1 to 255); the time field is rewritten
// with what the rate programs.
int64_t lol_code_of(uint32_t us, double rate) {
  const int64_t n = samples(us, rate);
  int64_t code = 255;
  if (n > 0) {
    code = trunc_i64(256.0 / static_cast<double>(n));
    if (code == 0) code = 1;
    if (code > 255) code = 255;
  }
  return code;
}

// The loss-of-lock code, with the user's time rewritten to the time the code programs,
// rounded down unless that would drift (1000 us -> 998 us -> 501 us at 2003 Hz).
int64_t lol_code(uint32_t *us, double rate) {
  const int64_t code = lol_code_of(*us, rate);
  const double t = (256.0 / static_cast<double>(code)) * (1000000.0 / rate);
  *us = settled_time(trunc_u32(std::floor(t)), t, code, rate, lol_code_of);
  return code;
}

}  // namespace

void calc_dpll_loop_regs(hal_api_s *h, const calc_hal_work_s *w) {
  const double rate = static_cast<double>(h->dsp_rate_hz_u32);
  const double s = w->freqz_scale * 1e-9;  // frequency-word units per ppb
  const double W = uint64x_2_double(h->dfreqz1_freqz_u40);

  // Hitless switching.
  switch (h->hitless_mode_e) {
    case 0: h->dpllcr2_crb1 = 0; h->dpllcr2_crb2 = 0; break;
    case 1: h->dpllcr2_crb1 = 1; h->dpllcr2_crb2 = 0; break;
    case 2: h->dpllcr2_crb1 = 0; h->dpllcr2_crb2 = 1; break;
    default:
      put_msg(h, "WARNING: invalid hitless mode, setting OFF");
      h->dpllcr2_crb1 = 0;
      h->dpllcr2_crb2 = 0;
      break;
  }
  // Holdover mode.
  if (h->ho_mode_e >= 0 && h->ho_mode_e <= 2) {
    h->dpllcr1_homode_u2 = static_cast<uint32_t>(h->ho_mode_e);
  } else {
    put_msg(h, "WARNING: invalid ho_mode_e, setting FRUN");
    h->dpllcr1_homode_u2 = 2;
  }

  // PFD period in ns.
  h->pfdns_ro_u32_20 = r2u(h, "pfdns_ro_u32_20", 1048576.0 * ((1000.0 / w->dco_pfd_mhz) / h->pfd_div_u16), 32, 0);

  // Loop gains, with the bandwidth warped for low DSP-rate-to-bandwidth ratios.
  const uint32_t ratio = h->dpll_bw_hz == 0 ? 0 : h->dsp_rate_hz_u32 / h->dpll_bw_hz;
  const double wn = h->dpll_bw_hz * 6.2831853 *
                    (h->dpll_bw_warp_k_r * std::exp(-static_cast<double>(ratio) * h->dpll_bw_warp_C_r) +
                     h->dpll_bw_warp_A_r);
  h->prop_ro_u32_10 = r2u(h, "prop_ro_u32_10", 1024.0 * (wn * s), 32, 0);
  const uint32_t df2x4 = 4u * h->dpll_df * h->dpll_df;
  h->int_ro_u32_12 = r2u(h, "int_ro_u32_12", 4096.0 * (((wn * wn) / df2x4) * (1.0 / rate)) * s, 32, 0);
  h->pfdnscale_ro_u16_52 = r2u(h, "pfdnscale_ro_u16_52", 4503599627370496.0 * (1.0 / W), 32, 0);

  // Manual phase offset: ps in, ns with the opposite sign out.
  h->dphoff1_phoff_ns_i32_10 =
      static_cast<int32_t>(real2reg(h, "dphoff1_phoff_ns_i32_10", 1024.0 * (h->man_phoff_ps * -0.001), 32, 1));

  // Phase-fix averaging: length rounded down to a power of two.
  {
    const int64_t code = pfix_code_of(h->pfixavgto_us, rate);
    h->pfixavgto_ro_u8_0 = static_cast<uint32_t>(int2reg(h, "pfixavgto_ro_u8_0", code, 8, 0));
    const double t = std::ldexp(1.0, static_cast<int>(code)) * 1000.0 / (rate * 0.001);
    h->pfixavgto_us = settled_time(clamp_u32(jround(t)), t, code, rate, pfix_code_of);
  }

  // PFD period corrected by the XA offset, and the holdover scale.
  h->phuins_ro_u32_10 = r2u(h, "phuins_ro_u32_10",
                            1024.0 * ((1.0 - h->xa_freq_off_ppb_i32 * 1e-9) * (1000.0 / fprec_s_2_double_mhz(h->pfd_freq_s))),
                            32, 0);
  h->houiscale_ro_u16_36 = r2u(h, "houiscale_ro_u16_36", 1048576.0 * (static_cast<double>(h->phuins_ro_u32_10) / W), 16, 0);

  // Phase loss-of-lock threshold, widened by the jitter tolerance.
  {
    int64_t ns = 65535;
    if (h->lolthr_ns != 0)
      ns = static_cast<uint32_t>(h->lolthr_ns + static_cast<uint32_t>(jround(h->jitter_tol_ns_u16 * h->phlol_jtrtol_scale_r)));
    h->phlolns_ro_u16_0 = static_cast<uint32_t>(int2reg(h, "phlolns_ro_u16_0", ns, 16, 0));
  }
  h->phlolset_ro_u8_0 = static_cast<uint32_t>(int2reg(h, "phlolset_ro_u8_0", lol_code(&h->lolset_us, rate), 8, 0));
  h->phlolclr_ro_u8_0 =
      r2u(h, "phlolclr_ro_u8_0", static_cast<double>(lol_code(&h->lolclr_us, rate)), 8, 0);

  // Phase-slope limit, relative to the proportional gain.
  if (h->pslim_ns_sec == 0) {
    h->pslimthr_ro_u32_10 = static_cast<uint32_t>(kLimitOff);
  } else {
    const double a = h->pslim_ns_sec * 1e-9 * w->freqz_scale;
    const double b = static_cast<double>(h->prop_ro_u32_10) * (1.0 / 1024.0);
    h->pslimthr_ro_u32_10 = r2u(h, "pslimthr_ro_u32_10", 1024.0 * (a / b), 32, 1);
  }
  h->pslimint_ro_u8_0 = 32;

  h->hoavgto_ro_u8_0 = holdover_code(h, "hoavgto_ro_u8_0", &h->hoavgto_us, rate);
  h->howaitto_ro_u8_0 = holdover_code(h, "howaitto_ro_u8_0", &h->howaitto_us, rate);

  // Frequency drift, change and hold limits, per sample or absolute.
  h->hofdthr_ro_u32_0 = h->hofd_ppb_sec == 0
                            ? static_cast<uint32_t>(kLimitOff)
                            : r2u(h, "hofdthr_ro_u32_0", (h->hofd_ppb_sec * 1e-9 * w->freqz_scale) / rate, 32, 1);
  h->fchlimthr_ro_u32_0 = h->fchlim_ppb_sec == 0
                              ? static_cast<uint32_t>(kLimitOff)
                              : r2u(h, "fchlimthr_ro_u32_0", (h->fchlim_ppb_sec * 1e-9 * w->freqz_scale) / rate, 32, 1);
  h->fqhlimthr_ro_u32_0 = h->fqhlim_ppb == 0 ? static_cast<uint32_t>(kLimitOff)
                                             : r2u(h, "fqhlimthr_ro_u32_0", h->fqhlim_ppb * 1e-9 * w->freqz_scale, 32, 1);
}
