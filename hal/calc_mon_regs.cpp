// Input dividers and input monitors. Each input passes an HSDIV (1, 2, 4, 8) and, in JA, a
// 20-bit DIV on its way to the DPLL's phase detector. Its monitor checks the clock three
// ways: a single-cycle monitor (SCM) for missing edges, a PPM monitor that counts reference
// clocks over PCD x PPD input cycles, and a coarser percent monitor for wide thresholds.
#include <cmath>
#include <cstdio>

#include "arith/fprec.h"
#include "hal/calc_hal.h"
#include "hal/calc_hal_views.h"
#include "hal/hal_regcalc.h"

namespace {

// Monitor modes (icx_mon_mode_es) and PPM modes (icx_mon_ppm_mode_es).
constexpr int32_t kMonFixedScm = 0;   // monitors off except a fixed SCM
constexpr int32_t kMonOff = 1;        // everything off
constexpr int32_t kMonScmRound = 2;   // SCM count rounded
constexpr int32_t kMonScmGap = 3;     // SCM count rounded up, with gap
constexpr int32_t kPpmAccurLo = 0;    // "accur_lo": PPM monitor with a fast percent check
constexpr int32_t kPpmJtrtol8 = 1;    // plain PPM monitor, 1/8 counting
constexpr int32_t kPpmJtrtol = 2;     // jitter-tolerant scale (JTRTOL = 1)

constexpr uint32_t kPcdMax = 256;
constexpr uint32_t kPpdMax = 1023;
// MONDIV is a 4-bit field holding the pre-divider minus 1.
constexpr uint32_t kMondivField = 16;

// Everything the monitor of one input computes before it is stored.
struct mon_result_s {
  uint32_t mondiv;
  uint32_t scen, pcen, ppen, jtrtol, scgap, losss;
  uint32_t valtime;
  double scc;
  uint32_t pcd, ppd;
  double pcn;  // count in eighths
  int64_t pct, pctm, ppht, pplt, sco;
  double base;
  double divclk, rate, invalid_thr, invalid_lat, valid_lat, hyst, fast_invalid_thr, fast_invalid_lat;
  uint32_t thr, thr2, wait;
  int32_t ppm_mode;
};

// The percent-monitor tolerance: the smallest power-of-two scale 2^m (m = 0 to 7) at which
// ceil(dev / 2^m) fits PCT's 8 bits. False (with 255 and 7) when none does.
bool pct_split(double dev, int64_t *pct, int64_t *pctm) {
  for (int m = 0; m <= 7; ++m) {
    const int64_t p = trunc_i64(std::ceil(dev / std::ldexp(1.0, m)));
    if (p < 256) {
      *pct = p;
      *pctm = m;
      return true;
    }
  }
  *pct = 255;
  *pctm = 7;
  return false;
}

// Deviation of the counted value from `base` at +-u ppm for an expected count T / divclk.
double count_dev(double T, double divclk, double base, double u) {
  const double hi = std::fabs(T / ((1.0 + u * 1e-6) * divclk) - base);
  const double lo = std::fabs(T / ((1.0 - u * 1e-6) * divclk) - base);
  return hi > lo ? hi : lo;
}

// ppm error at which a count of `count` against the expected R / divclk reads.
double ppm_at(double divclk, double R, double count) {
  return std::fabs((divclk - R / count) * 1e6 / divclk);
}

// Counter split with the accur_lo pre-divider search: from the current pre-divider up,
// while the divided clock stays at or above the accur_lo minimum.
bool accur_lo_split(const hal_api_s *h, double f, double ref, mon_result_s *r) {
  const uint32_t max = h->ic_mondiv_max_u8 < kMondivField ? h->ic_mondiv_max_u8 : kMondivField;
  if (r->mondiv > h->ic_mondiv_max_u8) return false;
  double best = 1e6;
  uint32_t best_div = 0, best_pcd = 0, best_ppd = 0;
  for (uint32_t d = r->mondiv; d >= 1 && d <= max; ++d) {
    if (f / d < h->ic_mon_ppm_accur_lo_min_mhz_r) break;
    uint32_t pcd = 0, ppd = 0;
    const double err = mon_counter_split(f / d, ref, &pcd, &ppd);
    if (err < best) {
      best = err;
      best_div = d;
      best_pcd = pcd;
      best_ppd = ppd;
    }
    if (err == 0.0) break;
  }
  if (!(best < 1e6)) return false;
  r->mondiv = best_div;
  r->pcd = best_pcd;
  r->ppd = best_ppd;
  return true;
}

// Percent monitor (wide thresholds). False after posting its error.
bool percent_monitor(hal_api_s *h, double ref, mon_result_s *r) {
  const double divclk = r->divclk;
  r->pcen = 1;
  r->ppen = 0;
  int64_t p = jround(131072.0 * divclk / ref);
  if (p < 1) p = 1;
  if (p > kPcdMax) p = kPcdMax;
  double lo = 0.0, hi = 0.0;
  for (;; --p) {
    if (p == 0) {
      put_msg(h, "ERROR: Input percent monitor not available for 1kHz input frequency and has a narrower "
                 "range of settings for input frequencies below 2kHz.");
      return false;
    }
    const double c = (ref / divclk) * static_cast<double>(p);
    const double e = r->thr * 1e-6 * 1.01;
    lo = c / (1.0 + e);
    hi = c / (1.0 - e);
    if (hi <= 0.95 * 131071.0) break;
  }
  const double pcn = 8.0 * std::ceil((lo + hi) * 0.5 * 0.125);
  r->pcn = pcn;
  r->pcd = static_cast<uint32_t>(p);

  const double dev = std::ceil(std::fmax(std::fabs(pcn - lo), std::fabs(pcn - hi)));
  if (!pct_split(dev, &r->pct, &r->pctm)) put_msg(h, "WARNING: ICx monitor pct too big, setting to MAX");
  const double tol = std::ldexp(static_cast<double>(r->pct), static_cast<int>(r->pctm));

  const double R = ref * static_cast<double>(p);
  const double M = std::fmax(ppm_at(divclk, R, pcn - tol), ppm_at(divclk, R, pcn + tol));
  r->invalid_thr = M + 0.5 * (M - r->thr) + 1000.0;
  r->invalid_lat = 2.0 * 0.001 / (divclk / static_cast<double>(p));
  r->jtrtol = 0;

  int64_t ppd = trunc_i64(std::ceil((divclk / static_cast<double>(p)) * 1e6 * 0.125 / 2000.0));
  if (ppd > kPpdMax) {
    ppd = kPpdMax;
    put_msg(h, "WARNING: ICx monitor ppd set to max");
  }
  r->ppd = static_cast<uint32_t>(ppd < 0 ? 0 : ppd);
  r->base = 1e6;
  r->ppht = r->pplt = r->sco = 0;
  return true;
}

// PPM monitor (narrow thresholds), with the fast percent check of accur_lo.
void ppm_monitor(hal_api_s *h, double ref, mon_result_s *r) {
  const double divclk = r->divclk;
  const double total = static_cast<double>(r->pcd) * static_cast<double>(r->ppd);
  const double thr = r->thr, thr2 = r->thr2;
  const bool accur_lo = r->ppm_mode == kPpmAccurLo;
  r->ppen = 1;
  r->pcen = accur_lo ? 1 : 0;

  // Expected count, in eighths.
  const double x = ref / (divclk / total);
  const double e = thr * 1e-6;
  r->base = static_cast<double>(jround((x / (1.0 - e) + x / (1.0 + e)) * 0.5 * 8.0)) * 0.125;

  // accur_lo moves the count offset into the shared SCO register.
  if (accur_lo) {
    int64_t sco = trunc_i64(1e6 - r->base);
    if (sco < -128 || sco > 127) {
      sco = sco < -128 ? -128 : 127;
      put_msg(h, "WARNING: SCO is limited in PPM monitor accur_lo mode");
    }
    r->sco = sco;
    r->base = 1e6 - static_cast<double>(sco);
  } else {
    r->sco = 0;
  }

  if (thr2 > thr && thr2 - thr < h->ic_mon_min_diff_ppm_r)
    put_msgf(h, "ERROR: The accept and reject thresholds must be >=%gppm apart.", h->ic_mon_min_diff_ppm_r);

  const double T = total * ref;
  int64_t pplt = trunc_i64(std::ceil(count_dev(T, divclk, r->base, thr)));
  const int64_t pplt_max = thr2 > thr ? trunc_i64(511.0 - h->ic_mon_min_diff_ppm_r) : 511;
  if (pplt > pplt_max) {
    pplt = pplt_max;
    put_msg(h, "WARNING: PPLT limited - threshold set to max");
  }

  int64_t ppht;
  if (thr2 <= thr) {
    ppht = pplt;
  } else if (pplt == 510) {
    ppht = 511;
  } else {
    const double d1 = std::fabs(T / ((1.0 + thr2 * 1e-6) * divclk) - r->base);
    const double D = count_dev(T, divclk, r->base, thr2);
    ppht = trunc_i64(std::floor(2.0 * thr2 - (D + 1.0 + 0.5 * (D - d1))));
    if (ppht <= pplt) ppht = pplt + 1;
    if (ppht > 511) {
      ppht = 511;
      put_msg(h, "WARNING: PPHT limited - threshold set to max");
    }
  }

  // Reject threshold: lower PPHT until the reject point sits at thr2.
  const double s = accur_lo ? 1e6 - static_cast<double>(r->sco) : r->base;
  double inv = 0.0;
  for (;;) {
    const double r1 = ppm_at(divclk, T, s - static_cast<double>(ppht));
    const double r2 = ppm_at(divclk, T, s + static_cast<double>(ppht));
    inv = std::fmax(r1, r2) + 1.0 + 0.5 * std::fabs(r1 - r2);
    if (thr2 <= thr || inv - thr2 <= 0.001 || std::isnan(inv)) break;
    ppht -= jround(std::ceil(inv - thr2));
    if (ppht <= pplt) {
      ppht = pplt + 1;
      break;
    }
  }
  r->invalid_thr = inv;
  r->pplt = pplt;
  r->ppht = ppht;

  const double K = total * (r->jtrtol ? 256.0 : 8.0);
  r->invalid_lat = 2.0 * 0.001 / (divclk / K);
  r->hyst = static_cast<double>(ppht - pplt);
  if (r->hyst > 0.0 && thr2 < r->invalid_thr) put_msg(h, "WARNING: icx_mon_invalid_thr_ppm_r > icx_mon_thr2_ppm");

  if (accur_lo) {
    // Fast percent check over PCD input cycles.
    const double pcd = static_cast<double>(r->pcd);
    const double pcn = 8.0 * static_cast<double>(jround((pcd / (divclk / ref)) * 0.125)) + 1.0;
    const double uf = h->ic_mon_ppm_accur_lo_fast_thr_ppm_r != 0.0 ? h->ic_mon_ppm_accur_lo_fast_thr_ppm_r : thr;
    const double R = pcd * ref;
    pct_split(std::ceil(count_dev(R, divclk, pcn, uf)), &r->pct, &r->pctm);
    const double tol = std::ldexp(static_cast<double>(r->pct), static_cast<int>(r->pctm));
    const double f1 = ppm_at(divclk, R, pcn - tol);
    const double f2 = ppm_at(divclk, R, pcn + tol);
    r->pcn = pcn;
    r->fast_invalid_thr = std::fmax(f1, f2) + 0.5 * std::fabs(f1 - f2) + 1000.0;
    r->fast_invalid_lat = 2.0 * 0.001 / (divclk / pcd);
    r->base = 1e6;
  } else {
    r->pcn = 0.0;
    r->pct = r->pctm = 0;
  }
}

// Validation wait: how many measurement periods an input must stay good before it is valid.
void validation_timing(mon_result_s *r) {
  const double rate =
      ((r->divclk / r->pcd) * 1e6 * (r->jtrtol ? 0.00390625 : 0.125)) / static_cast<double>(r->ppd);
  const double period = 1000.0 / rate;
  r->rate = rate;
  const uint32_t requested = r->wait;
  if (requested == 0) {
    if (r->pcen == 0 && r->ppen == 0) {
      r->valtime = 1;
      r->wait = trunc_u32(std::ceil(3.0 * period));
    } else {
      r->valtime = 0;
      r->wait = 0;
    }
  } else {
    const double w = requested < 1 ? 1.0 : static_cast<double>(requested);
    double mult;
    if (r->jtrtol == 0) {
      uint32_t c = 1;
      while (c < 7 && (std::ldexp(1.0, static_cast<int>(c)) + 1.0) * period < w) ++c;
      r->valtime = c;
      mult = std::ldexp(1.0, static_cast<int>(c)) + 1.0;
    } else {
      int64_t c = trunc_i64(std::floor(w / period));
      if (c > 7) c = 7;
      if (c < 0) c = 0;
      r->valtime = static_cast<uint32_t>(c);
      mult = static_cast<double>(c) + 1.0;
    }
    r->wait = trunc_u32(std::floor(mult * period));
  }
  r->valid_lat = static_cast<double>(r->wait) + r->invalid_lat;
}

// The monitor's achieved values and the user fields rewritten with what is used.
void store_results(const calc_ic_view_s &ic, const mon_result_s &r) {
  *ic.mondiv = r.mondiv;
  *ic.scen = r.scen;
  *ic.pcen = r.pcen;
  *ic.ppen = r.ppen;
  *ic.losss = r.losss;
  *ic.scgap = r.scgap;
  *ic.jtrtol = r.jtrtol;
  *ic.divclk = r.divclk;
  *ic.valtim_rate = r.rate;
  *ic.invalid_thr = r.invalid_thr;
  *ic.invalid_lat = r.invalid_lat;
  *ic.valid_lat = r.valid_lat;
  *ic.hyst = r.hyst;
  *ic.fast_invalid_thr = r.fast_invalid_thr;
  *ic.fast_invalid_lat = r.fast_invalid_lat;
  *ic.ppm_mode = r.ppm_mode;
  *ic.thr = r.thr;
  *ic.thr2 = r.thr2;
  *ic.valwait = r.wait;
}

// A monitor that was not counted (modes 0 and 1, an unused input): fixed register values,
// every count zero.
void store_fixed(hal_api_s *h, const calc_ic_view_s &ic, const mon_result_s &r, uint32_t mondiv_code, uint32_t scc,
                 uint32_t valtime) {
  store_results(ic, r);
  *ic.mondiv_code = static_cast<uint32_t>(int2reg(h, "monxcr1_mondiv_u4", mondiv_code, 4, 0));
  *ic.scc = scc;
  *ic.valtime = valtime;
  *ic.pcd = *ic.pcn = *ic.pct = *ic.pctm = *ic.ppn = *ic.ppd = *ic.ppht = *ic.pplt = 0;
}

// A counted monitor: every register value through its conversion. Only such a monitor
// writes the shared SCO register.
void store_registers(hal_api_s *h, const calc_ic_view_s &ic, const mon_result_s &r) {
  store_results(ic, r);
  *ic.valtime = static_cast<uint32_t>(int2reg(h, "monxcr1_valtime_u3", r.valtime, 3, 0));
  *ic.mondiv_code = static_cast<uint32_t>(int2reg(h, "monxcr1_mondiv_u4", reg_minus1(r.mondiv), 4, 0));
  *ic.scc = static_cast<uint32_t>(real2reg(h, "monxcr4_scc", r.scc, 18, 0));
  *ic.pcd = static_cast<uint32_t>(int2reg(h, "monxcr6_pcd_u8", reg_minus1(r.pcd), 8, 0));
  *ic.pcn = static_cast<uint32_t>(real2reg(h, "monxcr7_pcn_u14", r.pcn * 0.125, 14, 0));
  *ic.ppn = static_cast<uint32_t>(real2reg(h, "mon1cr7_ppn_u25", (1e6 - r.base) * 8.0, 25, 1));
  *ic.pct = static_cast<uint32_t>(int2reg(h, "monxcr8_pct_u8", r.pct, 8, 0));
  *ic.pctm = static_cast<uint32_t>(int2reg(h, "monxcr9_pctm_u3", r.pctm, 3, 0));
  *ic.ppd = static_cast<uint32_t>(int2reg(h, "monxcr11_ppd_u10", reg_minus1(r.ppd), 10, 0));
  *ic.ppht = static_cast<uint32_t>(int2reg(h, "monxcr12_ppht_u9", r.ppht, 9, 0));
  *ic.pplt = static_cast<uint32_t>(int2reg(h, "monxcr13_pplt_u9", r.pplt, 9, 0));
  h->sco_sco_i8 = static_cast<uint32_t>(int2reg(h, "sco_sco_i8", r.sco, 8, 1));
}

// Monitor of input n. `f_in` are the three inputs' frequencies after HSDIV (MHz) and
// `ppm_before` their PPM modes as they stood before any monitor ran.
void monitor_one(hal_api_s *h, int n, double ref, const double f_in[3], const int32_t ppm_before[3]) {
  calc_ic_view_s ic = calc_ic_view(h, n);
  mon_result_s r{};
  r.mondiv = h->ic_mondiv_max_u8;
  r.scen = 1;
  r.valtime = 1;
  r.ppm_mode = *ic.ppm_mode;
  r.thr = *ic.thr;
  r.thr2 = *ic.thr2;
  r.wait = *ic.valwait;
  r.jtrtol = r.ppm_mode == kPpmJtrtol ? 1 : 0;

  if (r.thr != 0 && r.thr < 0.99 * h->ic_mon_min_ppm_r) r.thr = trunc_u32(h->ic_mon_min_ppm_r);

  const int32_t mode = *ic.mon_mode;
  if (mode == kMonFixedScm || mode == kMonOff) {
    // Fixed settings: only the SCM of mode 0 stays, with the longest count; the thresholds
    // are cleared and the wait is kept.
    mon_result_s z{};
    z.wait = r.wait;
    z.ppm_mode = r.ppm_mode;
    z.scen = mode == kMonFixedScm ? 1 : 0;
    if (mode == kMonFixedScm)
      store_fixed(h, ic, z, 0, 65535, 7);
    else
      store_fixed(h, ic, z, 0, 0, 0);
    return;
  }

  const double f = f_in[n - 1];
  if (!(f > 0.0)) {
    // Unused input: the SCM stays on with the start values.
    r.scen = 1;
    r.ppen = 0;
    store_fixed(h, ic, r, reg_minus1(r.mondiv), 0, r.valtime);
    return;
  }

  // Pre-divider: the monitor counts at most ic_mon_max_freq_mhz_r.
  if (f <= 10.0) {
    int64_t d = trunc_i64(std::ceil(f / h->ic_mon_max_freq_mhz_r));
    if (d > static_cast<int64_t>(h->ic_mondiv_max_u8)) d = h->ic_mondiv_max_u8;
    // Never a pre-divider of 0, whatever the limits hold.
    r.mondiv = d < 1 ? 1 : static_cast<uint32_t>(d);
  } else {
    r.mondiv = 16;
  }
  if (!(f / r.mondiv <= h->ic_mon_max_freq_mhz_r)) {
    put_msgf(h, "ERROR: IC%d monitor input clock frequency %g > %g MHz", n, f / r.mondiv,
             h->ic_mon_max_freq_mhz_r);
    return;
  }

  // Counter split.
  const int64_t ppm_mon_max = jround(h->ic_mon_ppm_mon_max_r);
  bool split = false;
  bool plain = true;
  if (r.ppm_mode == kPpmAccurLo) {
    bool switch_mode = false;
    for (int k = 0; k < 3; ++k) {
      if (f_in[k] > 0.0 && f_in[k] < h->ic_mon_ppm_accur_lo_min_mhz_r) switch_mode = true;
      if (f_in[k] > 0.0 && f_in[k] != f && ppm_before[k] == kPpmAccurLo) switch_mode = true;
    }
    if (switch_mode) {
      put_msg(h, "WARNING: switching monitor mode to icx_mon_ppm_mode_jtrtol8_e");
      r.ppm_mode = kPpmJtrtol8;
    } else if (!(static_cast<int64_t>(r.thr) > ppm_mon_max)) {
      plain = false;
      split = accur_lo_split(h, f, ref, &r);
    }
  }
  if (plain) split = mon_counter_split(f / r.mondiv, ref, &r.pcd, &r.ppd) < 1e6;
  if (!split) {
    put_msg(h, "ERROR: no PCD PPD solution for PPM monitor");
    return;
  }
  r.divclk = f / r.mondiv;

  // Single-cycle monitor: 1.5 reference periods per input cycle.
  const double scm = ref * 1.5 / r.divclk;
  if (mode == kMonScmRound) {
    r.scc = static_cast<double>(jround(scm)) - 1.0;
    r.scgap = 0;
  } else if (mode == kMonScmGap) {
    r.scc = std::ceil(scm) - 1.0;
    r.scgap = 1;
  }

  const int32_t extlos = *ic.extlos;
  r.losss = extlos >= 0 && extlos <= 4 ? static_cast<uint32_t>(extlos) : 0;

  if (r.thr == 0) {
    r.pcen = r.ppen = 0;
    r.base = 1e6;
    r.ppht = r.pplt = r.pct = r.pctm = r.sco = 0;
    r.pcn = 0.0;
  } else if (static_cast<int64_t>(r.thr) > ppm_mon_max) {
    if (!percent_monitor(h, ref, &r)) return;
  } else {
    ppm_monitor(h, ref, &r);
  }
  r.scen = 1;

  validation_timing(&r);
  store_registers(h, ic, r);
}

}  // namespace

double mon_counter_split(double x, double ref, uint32_t *pcd, uint32_t *ppd) {
  const double t = x * 1e6 / ref;
  double best = 1e6;
  *pcd = 0;
  *ppd = 0;
  for (int64_t d = kPcdMax; d >= 1; --d) {
    const int64_t q = jround(t / static_cast<double>(d));
    if (q < 0 || q >= 1024) continue;
    for (int64_t m = q - 1; m <= q + 1; ++m) {
      // A count of zero cycles (or fewer) is not a setting of the counter.
      if (m < 1) continue;
      const double err = std::fabs(t - static_cast<double>(m) * static_cast<double>(d));
      if (err < best) {
        best = err;
        *pcd = static_cast<uint32_t>(d);
        *ppd = static_cast<uint32_t>(m);
        if (best == 0.0) return 0.0;
      }
    }
  }
  return best;
}

bool calc_ic_div_regs(hal_api_s *h) {
  static const uint32_t kHsdiv[4] = {1, 2, 4, 8};
  for (int n = 1; n <= 3; ++n) {
    calc_ic_view_s ic = calc_ic_view(h, n);
    int code = -1;
    for (int i = 0; i < 4; ++i)
      if (*ic.hsdiv == kHsdiv[i]) code = i;
    if (code < 0) {
      put_msgf(h, "ERROR: INVALID IC%d HSDIV", n);
      return false;
    }
    *ic.hsdiv_code = static_cast<uint32_t>(code);
  }
  if (h->kova_mode_e != kova_mode_ja_e) return true;
  for (int n = 1; n <= 3; ++n) {
    calc_ic_view_s ic = calc_ic_view(h, n);
    if (*ic.div == 0) *ic.div = 1;
    if (*ic.div > h->ic_div_max_u32) {
      put_msgf(h, "ERROR: INVALID IC%d DIV", n);
      return false;
    }
    char name[32];
    std::snprintf(name, sizeof name, "ic%dcr2_div_u20", n);
    *ic.div_code = static_cast<uint32_t>(int2reg(h, name, reg_minus1(*ic.div), 20, 0));
  }
  return true;
}

void calc_mon_regs(hal_api_s *h) {
  const double ref = (1.0 - h->xa_freq_off_ppb_i32 * 1e-9) * fprec_s_2_double_mhz(h->up_monclk_freq_s);
  double f_in[3];
  int32_t ppm_before[3];
  for (int n = 1; n <= 3; ++n) {
    calc_ic_view_s ic = calc_ic_view(h, n);
    f_in[n - 1] = fprec_s_2_double_mhz(*ic.hsdiv_freq);
    ppm_before[n - 1] = *ic.ppm_mode;
  }
  for (int n = 1; n <= 3; ++n) monitor_one(h, n, ref, f_in, ppm_before);
}
