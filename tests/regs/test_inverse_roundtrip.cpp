// Reading a chip back gives the configuration that programmed it: for many generated
// configurations of every mode, plan (calc_expert, calc_hal, build_regs), take the register
// image as a chip holds it, rebuild the configuration from it and one known frequency,
// plan again, and compare the register image and the user-level fields.
//
// What cannot come back exactly, and the tolerance the comparisons allow:
// - A TCXO reads back as an XO (both drive the XA pins the same way, MCR1 XAB 2).
// - A loss-of-lock threshold of 0 (off) programs 65535 ns and reads back as 65535.
// - Holdover drift and frequency-change limits (ppb/s) are held per DSP sample; they come
//   back within half a register step (rate x 10^9 / Z ppb/s). The phase-slope limit is held
//   relative to the proportional gain and comes back within half its step.
// - Monitor thresholds: a percent monitor's within one count step of its counts; a reject
//   threshold that PPHT cannot hold (PPHT at its 511 maximum) as the one the chip has. The
//   PPM mode and thresholds of a monitor that does not count are not in the registers.
// - The spread modulation rate comes back as the rate the chip runs: DSP clock / (4 x count);
//   the count is compared exactly.
// - Time settings shorter than two DSP samples (holdover) program nothing and read back 0.
// - When the APLL feedback remainder had to be cut to 32 bits, the frequencies across the
//   APLL from the known one come back as the chip runs them (within 10^-9); planned again
//   they give an exact feedback divider, so the register image is not compared then.
// Fields the calculation rewrites with what it programs (timeouts, averaging times, monitor
// thresholds and waits) are compared after the second plan.
#include <gtest/gtest.h>

#include <utility>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "hal/calc_hal_views.h"
#include "regs/inverse_cfg.h"
#include "regs_test_util.h"

namespace {

using regs_test::first_error;
using regs_test::Hal;
using regs_test::plan;

struct rng_s {
  std::mt19937_64 g;
  explicit rng_s(uint64_t seed) : g(seed) {}
  uint32_t u(uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(g); }
  bool coin(double p = 0.5) { return std::uniform_real_distribution<double>(0.0, 1.0)(g) < p; }
  template <class T, size_t N>
  T pick(const T (&a)[N]) {
    return a[u(0, N - 1)];
  }
};

// The frequency of index 0 to 6: IC1, IC2, IC3, XA, OC1, OC2, OC3.
fprec_s *freq_at(hal_api_s *h, int i) {
  return i < 3 ? calc_ic_view(h, i + 1).freq : i == 3 ? &h->xa_freq_s : calc_oc_view(h, i - 3).freq;
}

// Outputs reachable from one VCO: VCO / (HSDIV x MSDIV x LSDIV), one or two HSDIVs.
void gen_outputs(rng_s &r, hal_api_s *h) {
  static const double kVco[] = {3750e6, 3906.25e6, 4062.5e6, 3732.48e6, 4043.52e6, 3850e6,
                                3825e6, 3932.16e6, 3840e6,  3993.6e6,  4000e6,    3888e6};
  static const uint32_t kX2[] = {8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 20, 22, 24, 26, 28, 30};
  const double vco = r.pick(kVco);
  const uint32_t hs[2] = {r.pick(kX2), r.pick(kX2)};
  const int count = static_cast<int>(r.u(1, 3));
  const double oc_max = h->kova_device_e == kova_device_40075_e ? 650e6 : 1035e6;
  for (int i = 0; i < count; ++i) {
    const uint32_t x2 = hs[r.coin(0.3) ? 1 : 0];
    uint32_t ms = r.coin(0.15) ? 1 : r.u(2, 128);
    uint32_t ls = r.coin(0.6) ? 1 : r.u(2, 5000);
    // vco x 2 / x2 / ms / ls as an exact record on the VCO's base.
    const uint64_t den = static_cast<uint64_t>(x2) * ms * ls;
    fprec_s f = {static_cast<uint32_t>(vco / 1000.0), 2000, 1};
    fprec_scale(&f, 1, den);
    if (fprec_s_2_double_mhz(f) * 1e6 > oc_max) {
      f = {static_cast<uint32_t>(vco / 1000.0), 2000, 1};
      fprec_scale(&f, 1, 4u * x2);
    }
    *freq_at(h, 4 + i) = f;
  }
  // Random positions: the used outputs need not be the first ones.
  if (r.coin(0.3)) std::swap(h->oc1_freq_s, h->oc3_freq_s);
  for (int n = 1; n <= 3; ++n) {
    const calc_oc_view_s v = calc_oc_view(h, n);
    *v.pw_ns = r.coin(0.3) ? r.u(1, 60) : 0;
    *v.align_en = r.coin(0.4) ? 1 : 0;
    *v.align_nsx10 = *v.align_en && r.coin() ? r.u(0, 50) : 0;
  }
  // Revision 0 runs every output when all three are aligned: only ask that of a full set.
  if (h->kova_device_rev_e == 0 && !(h->oc1_freq_s.f && h->oc2_freq_s.f && h->oc3_freq_s.f)) h->oc3_align_en = 0;
}

void gen_dpll(rng_s &r, hal_api_s *h) {
  h->dpll_bw_hz = r.u(h->dpll_bw_hz_min, h->dpll_bw_hz_max);
  h->dpll_df = r.u(h->dpll_df_min, h->dpll_df_max);
  for (int32_t *e : {&h->ho_mode_e, &h->dpll_mode_e, &h->hitless_mode_e}) *e = static_cast<int32_t>(r.u(0, 2));
  // Each setting is off (0) now and then, else anywhere up to its maximum.
  const struct { uint32_t *f; double off; uint32_t max; } settings[] = {
      {&h->phlkto_ms, 0.2, 20000},       {&h->lkato_ms, 0.2, 20000},       {&h->lolthr_ns, 0.1, 5000},
      {&h->lolset_us, 0.0, 200000},      {&h->lolclr_us, 0.0, 200000},     {&h->hoavgto_us, 0.2, 2000000},
      {&h->howaitto_us, 0.2, 2000000},   {&h->pfixavgto_us, 0.2, 2000000}, {&h->pslim_ns_sec, 0.3, 200000},
      {&h->hofd_ppb_sec, 0.3, 200000},   {&h->fchlim_ppb_sec, 0.3, 200000}, {&h->fqhlim_ppb, 0.3, 2000000}};
  for (const auto &s : settings) *s.f = r.coin(s.off) ? 0 : r.u(1, s.max);
  h->man_phoff_ps = static_cast<int32_t>(r.u(0, 200000)) - 100000;
}

void gen_monitors(rng_s &r, hal_api_s *h) {
  for (int n = 1; n <= 3; ++n) {
    const calc_ic_view_s v = calc_ic_view(h, n);
    *v.mon_mode = static_cast<int32_t>(r.coin(0.7) ? r.u(2, 3) : r.u(0, 1));
    *v.ppm_mode = static_cast<int32_t>(r.u(0, 2));
    *v.extlos = static_cast<int32_t>(r.u(0, 4));
    *v.thr = r.coin(0.1) ? 0 : (r.coin(0.7) ? r.u(5, 500) : r.u(501, 60000));
    *v.thr2 = r.coin(0.5) ? 0 : *v.thr + r.u(5, 200);
    *v.valwait = r.coin(0.3) ? 0 : r.u(1, 3000);
  }
}

const int32_t kSynDevices[] = {40000, 40075, 40089, 40110, 40111, 40112, 40113};
const int32_t kSsDevices[] = {40000, 40110, 40111, 40112, 40113};
const int32_t kJaDevices[] = {40000, 40075, 40089, 40112, 40113};

// Initialises a configuration of the mode with random settings. Returns the index (0 to 6:
// IC1, IC2, IC3, XA, OC1, OC2, OC3) of the frequency the reader will know.
int generate(rng_s &r, int32_t mode, hal_api_s *h) {
  const int32_t device = mode == kova_mode_ss_e ? r.pick(kSsDevices) : mode == kova_mode_ja_e ? r.pick(kJaDevices)
                                                                                              : r.pick(kSynDevices);
  int32_t xa = xa_mode_xo_e;
  double xa_hz = 0.0;
  switch (mode) {
    case kova_mode_syn_e: {
      static const double kXa[] = {10e6, 19.44e6, 25e6, 38.88e6, 50e6, 100e6, 114.285e6, 125e6, 156.25e6};
      xa = r.coin(0.25) ? xa_mode_disabled_e : (r.coin(0.8) ? xa_mode_xo_e : xa_mode_tcxo_e);
      xa_hz = r.pick(kXa);
      break;
    }
    case kova_mode_nco_e:
    case kova_mode_ss_e: {
      static const double kXo[] = {80e6, 100e6, 114.285e6, 125e6, 130e6};
      static const double kDbl[] = {40e6, 50e6, 57.5e6, 62.5e6};
      const int k = static_cast<int>(r.u(0, 4));
      static const int32_t kModes[] = {xa_mode_xo_e, xa_mode_tcxo_e, xa_mode_xo_dbl_e, xa_mode_tcxo_dbl_e, xa_mode_xo_e};
      xa = kModes[k];
      xa_hz = xa >= xa_mode_xtal_dbl_e ? r.pick(kDbl) : r.pick(kXo);
      break;
    }
    default: {
      static const double kXo[] = {100e6, 114.285e6, 125e6, 98.304e6, 122.88e6};
      static const double kDbl[] = {49.152e6, 50e6, 56e6, 62.5e6};
      xa = r.coin(0.6) ? xa_mode_xo_e : r.coin(0.5) ? xa_mode_xo_dbl_e : r.coin() ? xa_mode_xtal_dbl_e : xa_mode_tcxo_e;
      xa_hz = xa >= xa_mode_xtal_dbl_e ? r.pick(kDbl) : r.pick(kXo);
      break;
    }
  }
  regs_test::init_full(h, device, mode, xa, static_cast<int32_t>(r.u(0, 1)));
  regs_test::drain(h);
  set_fprec_s(&h->xa_freq_s, xa == xa_mode_disabled_e ? 0 : static_cast<uint32_t>(xa_hz), 1, 1);
  gen_outputs(r, h);
  std::vector<int> choices;
  for (int k = 4; k < 7; ++k)
    if (freq_at(h, k)->f) choices.push_back(k);
  // Input n at f, when the input takes it (IC3 is the slow one).
  auto add_input = [&](int n, double f, double max) {
    if (f > (n == 2 ? 300e6 : max)) return;
    set_fprec_s(freq_at(h, n), static_cast<uint32_t>(f), 1, 1);
    *(n == 0 ? &h->icen_ic1en_u1 : n == 1 ? &h->icen_ic2en_u1 : &h->icen_ic3en_u1) = 1;
    choices.push_back(n);
  };
  if (mode == kova_mode_syn_e) {
    // Inputs at powers of two of one APLL input frequency.
    const bool inputs = xa == xa_mode_disabled_e || r.coin(0.3);
    static const double kIn[] = {10e6, 19.44e6, 25e6, 40e6, 50e6};
    const double base = xa != xa_mode_disabled_e ? xa_hz : r.pick(kIn);
    for (int n = 0; n < 3 && inputs; ++n) {
      if (n > 0 && r.coin(0.4)) continue;
      add_input(n, base * (1u << r.u(0, 3)), 1250e6);
    }
    if (base >= 40e6 && r.coin(0.2)) h->apllcr1_aidiv_u2 = 2;
    if (r.coin(0.2)) h->apll_afbdiv_fbits_u8 = r.u(1, 33);
  }
  if (mode == kova_mode_ss_e) {
    h->ss_mode_e = static_cast<int32_t>(r.u(0, 1));
    h->ss_pctx10 = h->ss_mode_e == ss_mode_down_e ? r.u(1, 10) : r.u(1, 5);
    h->ss_mod_hz = r.u(25000, 35000);
  }
  if (mode == kova_mode_ja_e) {
    static const double kBase[] = {8e3, 1e6, 2.048e6, 19.44e6, 10e6, 25e6, 15.625e6, 6.48e6};
    const double base = r.pick(kBase);
    for (int n = 0; n < 3; ++n) {
      if (n > 0 && r.coin(0.5)) continue;
      add_input(n, base * r.u(1, base < 1e6 ? 2000 : 16), 650e6);
    }
    gen_dpll(r, h);
    gen_monitors(r, h);
  }
  // In JA the XA route rounds the DCO to the hertz: it is tested on its own. Only an output
  // frequency tells a down spread from a centre spread of half the width.
  const bool down_spread = mode == kova_mode_ss_e && h->ss_mode_e == ss_mode_down_e;
  if (xa != xa_mode_disabled_e && mode != kova_mode_ja_e && !down_spread) choices.push_back(3);
  return choices.empty() ? -1 : choices[r.u(0, static_cast<uint32_t>(choices.size() - 1))];
}

// Counts the configurations and keeps the first failures, each with its configuration.
struct stats_s {
  int planned = 0, tried = 0;
  std::string ctx;
  std::vector<std::string> notes;
  bool fail(const std::string &s) {
    if (notes.size() < 12) notes.push_back(ctx + ": " + s);
    return false;
  }
  bool near(const std::string &name, double got, double want, double tol = 0.0) {
    return std::abs(got - want) <= tol || fail(name + " " + std::to_string(got) + " vs " + std::to_string(want));
  }
  // The named fields of a and b hold the same bytes.
  bool same(hal_api_s *a, hal_api_s *b, std::initializer_list<const char *> names) {
    for (const char *n : names) {
      const hal_field_s *f = hal_api_field_find(n);
      if (std::memcmp(hal_field_ptr(a, f), hal_field_ptr(b, f), f->size) != 0) return fail(n);
    }
    return true;
  }
};

void check_one(int32_t mode, uint64_t seed, stats_s *st) {
  rng_s r(seed);
  Hal p1;
  const int known_idx = generate(r, mode, p1.get());
  std::string why;
  ++st->tried;
  bool truncated = false;
  if (known_idx < 0 || !plan(p1.get(), &why, &truncated)) return;
  // The register calculation rebuilds the VCO from an output's record; a record whose ratio
  // no longer fits 32 bits there leaves a VCO far off its range without an error (and
  // registers that program nothing sensible): such a plan is not a configuration.
  const double vco_mhz = fprec_s_2_double_mhz(p1->vco_freq_s);
  if (vco_mhz < 3715 * 0.99 || vco_mhz > 4180 * 1.01) return;
  ++st->planned;
  st->ctx = "mode " + std::to_string(mode) + " seed " + std::to_string(seed) + " dev " +
            std::to_string(p1->kova_device_e) + " known " + std::to_string(known_idx);

  // The chip: the image, with its revision in the low nibble of ID2.
  std::vector<uint8_t> image(p1.img(), p1.img() + KOVA_REG_COUNT);
  image[0x031] = static_cast<uint8_t>((image[0x031] & 0xF0) | p1->kova_device_rev_e);

  Hal inv;
  regs_test::load_blank(inv.get(), image.data());
  // KX40000 has no code in the ID registers the reader decodes: the user names it.
  if (p1->kova_device_e == kova_device_40000_e) inv->kova_device_e = kova_device_40000_e;
  *freq_at(inv.get(), known_idx) = *freq_at(p1.get(), known_idx);
  if (inverse_cfg(inv.get()) != 0) return (void)st->fail("inverse_cfg failed: " + first_error(inv.get()));
  inv->init_api_mode_e = init_api_after_inverse_e;
  init_api(inv.get());
  regs_test::drain(inv.get());

  // Frequencies and modes as the user stated them.
  if (!st->same(inv.get(), p1.get(), {"kova_device_e", "kova_device_rev_e", "kova_mode_e", "sysclk_mode_e"})) return;
  const int32_t xa_mode = p1->xa_mode_e == xa_mode_tcxo_e ? xa_mode_xo_e
                          : p1->xa_mode_e == xa_mode_tcxo_dbl_e ? xa_mode_xo_dbl_e
                                                                 : p1->xa_mode_e;
  if (!st->near("xa_mode_e", inv->xa_mode_e, xa_mode)) return;
  bool approximate = false;
  for (int i = 0; i < 7; ++i) {
    const fprec_s a = *freq_at(inv.get(), i), b = *freq_at(p1.get(), i);
    if (i == 3 && xa_mode == xa_mode_disabled_e) continue;
    // With the feedback remainder cut to 32 bits, the frequencies on the other side of the
    // APLL from the known one are what the chip runs: within 10^-9 of those asked for.
    const bool across = (i >= 4) != (known_idx >= 4);
    if (truncated && across && b.f != 0 &&
        std::abs(fprec_s_2_double_mhz(a) / fprec_s_2_double_mhz(b) - 1.0) < 1e-9) {
      approximate = approximate || fprec_compare(a, b) != 0;
      continue;
    }
    if (fprec_compare(a, b) != 0)
      return (void)st->fail("frequency " + std::to_string(i) + " " + std::to_string(fprec_s_2_double_mhz(a)) +
                            " != " + std::to_string(fprec_s_2_double_mhz(b)));
  }
  if (mode == kova_mode_ss_e) {
    const double step = fprec_s_2_double_mhz(p1->dsp_clk_freq_s) * 1e6 / (4.0 * p1->ss_cnt_u16 * p1->ss_cnt_u16);
    if (!st->same(inv.get(), p1.get(), {"ss_mode_e", "ss_pctx10", "ss_cnt_u16"}) ||
        !st->near("ss_mod_hz", inv->ss_mod_hz, p1->ss_mod_hz, step + 1.0))
      return;
  }
  // Planned from what the chip runs, the feedback divider comes out exact: it no longer
  // matches the cut one bit for bit.
  if (approximate) return;
  Hal p2;
  regs_test::load_blank(p2.get());
  copy_api(p2.get(), inv.get());
  if (!plan(p2.get(), &why)) return (void)st->fail("second plan failed: " + why);

  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a)
    if (!st->near("register " + std::to_string(a), p2.img()[a], image[a])) return;
  // Divider plan and settings after quantisation.
  if (p2->oc_solver_mode_e != oc_solver_mode_auto_e && p2->oc_solver_mode_e != oc_solver_mode_manual_e)
    return (void)st->fail("oc_solver_mode_e " + std::to_string(p2->oc_solver_mode_e));
  if (!st->same(p2.get(), p1.get(), {"vco_hsdiv1x2_u8", "oc1_msdiv_u8", "oc2_lsdiv_u32", "oc1dc_ocdc_u8", "oc2dc_ocdc_u8",
                                     "oc3dc_ocdc_u8"}) ||
      mode != kova_mode_ja_e)
    return;
  // A loss-of-lock threshold of 0 (off) reads back as 65535; holdover times under two
  // samples read back 0.
  if (p1->lolthr_ns == 0) p1->lolthr_ns = 65535;
  if (p1->hoavgto_ro_u8_0 == 0) p1->hoavgto_us = p2->hoavgto_us;
  if (p1->howaitto_ro_u8_0 == 0) p1->howaitto_us = p2->howaitto_us;
  // The phase-slope limit is held relative to the proportional gain: one step of its word
  // is prop / 2^20 x 10^9 / Z ns/s; the holdover drift and frequency-change limits one DSP
  // sample's step.
  const double z = static_cast<double>(p1->dfreqz1_freqz_u40);
  const double pslim_step = p1->prop_ro_u32_10 / 1048576.0 * 1e9 / z;
  const double step = p1->dsp_rate_hz_u32 * 1e9 / z;
  if (!st->same(p2.get(), p1.get(), {"pfd_div_u16", "dpll_bw_hz", "dpll_df", "ho_mode_e", "dpll_mode_e", "hitless_mode_e",
                                     "phlkto_ms", "lkato_ms", "lolset_us", "lolclr_us", "pfixavgto_us", "man_phoff_ps",
                                     "lolthr_ns", "hoavgto_us", "howaitto_us", "fqhlim_ppb"}) ||
      !st->near("pslim_ns_sec", p2->pslim_ns_sec, p1->pslim_ns_sec, 0.5 * pslim_step + 1.0) ||
      !st->near("hofd_ppb_sec", p2->hofd_ppb_sec, p1->hofd_ppb_sec, 0.5 * step + 1.0) ||
      !st->near("fchlim_ppb_sec", p2->fchlim_ppb_sec, p1->fchlim_ppb_sec, 0.5 * step + 1.0))
    return;
  for (int n = 1; n <= 3; ++n) {
    calc_ic_view_s a = calc_ic_view(p1.get(), n), b = calc_ic_view(p2.get(), n);
    if (*a.divclk == 0.0 || *a.mon_mode < 2) continue;  // unused input, or a monitor without counting
    // The automatic wait of a monitor with only the single-cycle monitor (code 1) reads back
    // as the wait code 1 programs; with the jitter-tolerant scale a wait below one period
    // programs code 0 as the automatic wait does, and reads back 0.
    const bool auto_scm = *a.pcen == 0 && *a.ppen == 0 && *a.valtime == 1;
    const bool below_period = *a.jtrtol == 1 && *a.valtime == 0;
    if (!st->near("monitor mode", *b.mon_mode, *a.mon_mode) || !st->near("monitor extlos", *b.extlos, *a.extlos) ||
        (!auto_scm && !below_period && !st->near("monitor wait", *b.valwait, *a.valwait)))
      return;
    if (*a.ppen == 1) {
      // Several thresholds can program the same counts: the reading is the one nearest the
      // registers' window that does. A centred window (not accur_lo, whose count offset
      // lives in the SCO register all inputs share) reads within 1 ppm. A reject threshold
      // beyond the 9-bit PPHT, or one PPHT only holds as PPLT + 1, comes back as one the
      // chip has.
      const bool centred = *a.pcen == 0;
      const bool held = *a.ppht < 511 && *a.ppht != *a.pplt + 1;
      if (!st->near("monitor ppm mode", *b.ppm_mode, *a.ppm_mode) ||
          (centred && !st->near("monitor threshold", *b.thr, *a.thr, 1.0)) ||
          (centred && held && *a.thr2 > *a.thr && !st->near("monitor second threshold", *b.thr2, *a.thr2, 1.0)))
        return;
    } else if (*a.pcen == 1) {
      // A percent monitor counts PCN x 8 reference cycles with a tolerance of 2^PCTM x PCT:
      // its threshold comes back to within one count step of PCN and of the tolerance.
      const double res = (8.0 + std::ldexp(1.0, static_cast<int>(*a.pctm))) / (8.0 * *a.pcn) * 1e6;
      if (!st->near("percent monitor threshold", *b.thr, *a.thr, res + 1.0)) return;
    }
  }
}

void run_mode(int32_t mode, uint64_t seed0) {
  stats_s st;
  for (uint64_t s = 0; st.planned < 300 && s < 1800; ++s) check_one(mode, seed0 + s, &st);
  EXPECT_GE(st.planned, 300) << "configurations that planned, of " << st.tried;
  for (const auto &n : st.notes) ADD_FAILURE() << n;  // the first failures (a configuration stops at its first)
}

TEST(InverseRoundTrip, Synthesis) { run_mode(kova_mode_syn_e, 1000000); }
TEST(InverseRoundTrip, Nco) { run_mode(kova_mode_nco_e, 2000000); }
TEST(InverseRoundTrip, SpreadSpectrum) { run_mode(kova_mode_ss_e, 3000000); }
TEST(InverseRoundTrip, JitterAttenuation) { run_mode(kova_mode_ja_e, 4000000); }

}  // namespace
