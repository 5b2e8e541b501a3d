// Inverse configuration: register fields, device and modes, divider plan, the frequencies of
// SYN, NCO and SS, the reconciliation with the frequencies the user stated, the APLL test
// register mark and the solver check. The JA side and the settings in user units are in
// inverse_cfg_ja.cpp.
#include "regs/inverse_cfg.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "arith/prime.h"
#include "hal/calc_expert.h"
#include "hal/calc_hal.h"
#include "hal/hal_obj.h"
#include "hal/hal_regcalc.h"
#include "regs/inverse_cfg_internal.h"
#include "regs/regmap_data.h"
#include "regs/status.h"

namespace inv {

namespace {

constexpr u128 kU32Max = 0xFFFFFFFFu;

double u128_to_double(u128 v) {
  return static_cast<double>(static_cast<uint64_t>(v >> 64)) * 18446744073709551616.0 +
         static_cast<double>(static_cast<uint64_t>(v));
}

xfreq reduced(u128 num, u128 den) {
  xfreq r;
  if (den == 0 || num == 0) return r;  // 0 Hz
  const u128 g = gcd128(num, den);
  r.num = num / g;
  r.den = den / g;
  return r;
}

xfreq approximate(double value_hz) {
  xfreq r;
  r.num = 0;
  r.den = 0;
  r.approx = value_hz;
  return r;
}

// f x n split into two 32-bit words, the base taking the common part with `base`.
bool split_with(u128 num, u128 base, uint32_t *f, uint32_t *n) {
  if (base == 0) return false;
  const u128 g = gcd128(num, base);
  const u128 rest = num / g;
  if (g > kU32Max || rest > kU32Max) return false;
  *f = static_cast<uint32_t>(g);
  *n = static_cast<uint32_t>(rest);
  return true;
}

// f x n split through the prime factors: the largest prime powers go to the base first.
bool split_by_factors(u128 num, uint32_t *f, uint32_t *n) {
  if ((num >> 64) != 0) return false;  // two 32-bit words never hold more than 64 bits
  term_s t;
  bigint128 v;
  bigint128Set(&v, static_cast<uint64_t>(num), 0);
  if (factorbigint128(&t, v) != 0) return false;
  uint64_t a = 1, b = 1;
  for (int i = t.count - 1; i >= 0; --i) {
    for (uint32_t e = 0; e < t.t[i].exp; ++e) {
      const uint64_t p = t.t[i].prime;
      if (a * p <= kU32Max) {
        a *= p;
      } else if (b * p <= kU32Max) {
        b *= p;
      } else {
        return false;
      }
    }
  }
  *f = static_cast<uint32_t>(a);
  *n = static_cast<uint32_t>(b);
  return true;
}

}  // namespace

u128 gcd128(u128 a, u128 b) {
  while (b != 0) {
    const u128 t = a % b;
    a = b;
    b = t;
  }
  return a;
}

double hz(const xfreq &x) {
  if (!exact(x)) return x.approx;
  if (x.num == 0) return 0.0;
  return u128_to_double(x.num) / u128_to_double(x.den);
}

xfreq from_fprec(fprec_s p) {
  if (p.m == 0) return xfreq{};
  return reduced(static_cast<u128>(p.f) * p.n, p.m);
}

xfreq from_hz(uint64_t value) { return reduced(value, 1); }

xfreq scale(const xfreq &x, u128 mul, u128 div) {
  if (div == 0 || mul == 0) return xfreq{};
  if (!exact(x)) return approximate(x.approx * u128_to_double(mul) / u128_to_double(div));
  if (x.num == 0) return xfreq{};
  u128 a = x.num, b = x.den;
  u128 g = gcd128(a, div);
  a /= g;
  div /= g;
  g = gcd128(mul, b);
  mul /= g;
  b /= g;
  u128 num, den;
  if (__builtin_mul_overflow(a, mul, &num) || __builtin_mul_overflow(b, div, &den))
    return approximate(hz(x) * u128_to_double(mul) / u128_to_double(div));
  return reduced(num, den);
}

bool to_fprec(const xfreq &x, fprec_s *out, const uint32_t *prefer, int prefer_count) {
  if (exact(x) && x.num == 0) {
    set_fprec_s(out, 0, 1, 1);
    return true;
  }
  if (exact(x) && x.den <= kU32Max) {
    uint32_t f = 0, n = 0;
    bool ok = false;
    if (x.num <= kU32Max) {
      f = static_cast<uint32_t>(x.num);
      n = 1;
      ok = true;
    }
    for (int i = 0; !ok && i < prefer_count; ++i) ok = split_with(x.num, prefer[i], &f, &n);
    for (int i = 0; !ok && i < 6; ++i) ok = split_with(x.num, kReferenceHz[i], &f, &n);
    if (!ok) ok = split_by_factors(x.num, &f, &n);
    if (ok) {
      set_fprec_s(out, f, n, static_cast<uint32_t>(x.den));
      // The base and the denominator share no factor in the reduced form.
      fprec_scale(out, 1, 1);
      return true;
    }
  }
  // No exact record: f / m with the finest m that keeps f within 32 bits (a relative error
  // below 10^-9 for every frequency from 1 Hz up).
  const double v = hz(x);
  if (!(v > 0.0)) {
    set_fprec_s(out, 0, 1, 1);
    return false;
  }
  double m = std::floor(4294967295.0 / v);
  if (m < 1.0) m = 1.0;
  if (m > 4294967295.0) m = 4294967295.0;
  set_fprec_s(out, clamp_u32(jround(v * m)), 1, static_cast<uint32_t>(m));
  fprec_scale(out, 1, 1);
  return false;
}

void store(fprec_s *dst, const xfreq &x, const uint32_t *prefer, int prefer_count) {
  to_fprec(x, dst, prefer, prefer_count);
}

uint32_t afbdiv_shift(const hal_api_s *hal) { return hal->afbbp_afbbp_u8 > 33 ? 33 : hal->afbbp_afbbp_u8; }

ratio_s apll_ratio(const hal_api_s *hal) {
  const u128 afbdiv = hal->afbdiv1_afbdiv_u42 & ((uint64_t{1} << 42) - 1);
  const u128 den_rem = hal->afbden1_afbden_u32;
  const u128 rem = hal->afbrem1_afbrem_u32;
  u128 num, den;
  if (den_rem == 0) {
    num = afbdiv;
    den = u128{1} << 33;
  } else {
    num = afbdiv * den_rem + (rem << afbdiv_shift(hal));
    den = den_rem << 33;
  }
  ratio_s r;
  if (num == 0) {
    r.num = 0;
    r.den = 1;
    return r;
  }
  const u128 g = gcd128(num, den);
  r.num = num / g;
  r.den = den / g;
  return r;
}

fprec_s apll_fbdiv_display(const hal_api_s *hal) {
  const double x = uint64x_2_double(hal->afbdiv1_afbdiv_u42) / kTwo33;
  const double whole = std::floor(x);
  fprec_s r;
  r.m = 1u << 30;
  if (whole >= 1.0) {
    r.f = static_cast<uint32_t>(whole);
    r.n = trunc_u32(1073741824.0 * (x / whole));
  } else {
    r.f = 1;
    r.n = trunc_u32(1073741824.0 * x);
  }
  return r;
}

uint32_t hsdiv_x2_of_code(uint32_t code) {
  static const uint32_t kX2[16] = {8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 20, 22, 24, 26, 28, 30};
  return kX2[code & 15u];
}

#define KOVA_OC_FIELDS(N)                                                                            \
  oc_fields_s {                                                                                      \
    N, &h->oc##N##_freq_s, &h->oc##N##_msdiv_freq_s, &h->oc##N##_lsdiv_freq_s, &h->oc##N##n_freq_s,  \
        &h->oc##N##_msdiv_u8, &h->oc##N##_lsdiv_u32, &h->oc##N##_neg_lsdiv_u32,                      \
        &h->oc##N##cr3_divsel_u1, &h->oc##N##cr3_lssel_u1, &h->oc##N##cr3_neglsd_u1,                 \
        &h->oc##N##cr1_msdiv_u7, &h->ocen_oc##N##en_u1, &h->oc##N##_pw_ns_u16, &h->oc##N##dc_ocdc_u8, \
        &h->oc##N##_align_en, &h->oc##N##_align_nsx10_u16, &h->oc##N##cr1_phen_u1,                   \
        &h->oc##N##ph_phadj_i8                                                                       \
  }

oc_fields_s oc_fields(hal_api_s *h, int n) {
  switch (n) {
    case 1: return KOVA_OC_FIELDS(1);
    case 2: return KOVA_OC_FIELDS(2);
    default: return KOVA_OC_FIELDS(3);
  }
}
#undef KOVA_OC_FIELDS

#define KOVA_IC_FIELDS(N)                                                                    \
  ic_fields_s {                                                                              \
    N, &h->ic##N##_freq_s, &h->ic##N##_hsdiv_freq_s, &h->ic##N##_hsdiv_u8, &h->ic##N##_div_u32, \
        &h->ic##N##_mondiv_u8, &h->icen_ic##N##en_u1                                         \
  }

ic_fields_s ic_fields(hal_api_s *h, int n) {
  switch (n) {
    case 1: return KOVA_IC_FIELDS(1);
    case 2: return KOVA_IC_FIELDS(2);
    default: return KOVA_IC_FIELDS(3);
  }
}
#undef KOVA_IC_FIELDS

xfreq output_to_hsdiv(hal_api_s *hal, int k, const xfreq &oc) {
  const oc_fields_s o = oc_fields(hal, k);
  if (*o.lssel == 1) return scale(oc, static_cast<u128>(*o.lsdiv) * *o.msdiv, 1);
  return scale(oc, *o.msdiv, 1);
}

void hsdiv_to_apll_input(const hal_api_s *hal, int sel, const xfreq &hs, const ratio_s &r, tree_s *t) {
  const uint32_t x2 = sel == 1 ? hal->vco_hsdiv1x2_u8 : hal->vco_hsdiv2x2_u8;
  t->vco = scale(hs, x2, 2);
  t->apll_in = r.num == 0 ? xfreq{} : scale(t->vco, r.den, r.num);
}

void apll_input_forward(const hal_api_s *hal, const ratio_s &r, const xfreq &bypass2, uint32_t spread, tree_s *t) {
  t->vco = scale(t->apll_in, r.num, r.den);
  if (spread != 0 && spread < 2000) t->vco = scale(t->vco, 2000, 2000 - spread);
  t->hs1 = scale(t->vco, 2, hal->vco_hsdiv1x2_u8);
  if (hal->apllcr1_byphs2_u1 == 1) {
    t->hs2 = bypass2;
  } else if (hal->apllcr1_enhs2_u1 == 1) {
    t->hs2 = scale(t->vco, 2, hal->vco_hsdiv2x2_u8);
  } else {
    t->hs2 = xfreq{};
  }
}

void outputs_from_tree(hal_api_s *hal, const tree_s &t, const uint32_t *prefer, int prefer_count) {
  for (int k = 1; k <= 3; ++k) {
    const oc_fields_s o = oc_fields(hal, k);
    if (*o.ocen != 1) {
      set_fprec_s(o.freq, 0, 1, 1);
      set_fprec_s(o.msdiv_freq, 0, 1, 1);
      set_fprec_s(o.lsdiv_freq, 0, 1, 1);
      set_fprec_s(o.n_freq, 0, 1, 1);
      continue;
    }
    const xfreq &src = *o.divsel == 1 ? t.hs2 : t.hs1;
    const xfreq ms = scale(src, 1, *o.msdiv);
    const xfreq ls = *o.lsdiv > 1 ? scale(ms, 1, *o.lsdiv) : xfreq{};
    const xfreq out = *o.msdiv_code == 0 ? src : (*o.lssel == 1 ? ls : ms);
    store(o.msdiv_freq, ms, prefer, prefer_count);
    store(o.lsdiv_freq, ls, prefer, prefer_count);
    store(o.freq, out, prefer, prefer_count);
    store(o.n_freq, *o.neglsd == 1 ? ls : out, prefer, prefer_count);
  }
}

bool input_used_ja(const hal_api_s *hal, int n) {
  const hal_api_s *h = hal;
  const uint32_t hsdiv = n == 1 ? h->ic1_hsdiv_u8 : n == 2 ? h->ic2_hsdiv_u8 : h->ic3_hsdiv_u8;
  const uint32_t div = n == 1 ? h->ic1_div_u32 : n == 2 ? h->ic2_div_u32 : h->ic3_div_u32;
  // The limits are not set while a blank object is rebuilt: the register holds at most 2^20.
  const uint32_t div_max = h->ic_div_max_u32 != 0 ? h->ic_div_max_u32 : (1u << 20);
  return !(hsdiv == 8 && div == div_max);
}

// XA frequency behind a DCO frequency: the frequency word is 2^33 x feedback ratio x DCO /
// DCO PFD clock, and the PFD clock is the XA clock.
uint64_t xa_from_dco(const hal_api_s *hal, double dco_hz) {
  const double z = uint64x_2_double(hal->dfreqz1_freqz_u40);
  const double fb = fprec_s_2_double_mhz(hal->apll_fbdiv_s) * 1e6;
  if (z == 0.0) return 0;
  const int64_t x = jround(fb * kTwo33 * dco_hz / z);
  return x < 0 ? 0 : static_cast<uint64_t>(x);
}

// DCO frequency behind an XA frequency (the inverse of xa_from_dco), to the hertz.
uint64_t dco_from_xa(const hal_api_s *hal, const fprec_s &xa) {
  const double z = uint64x_2_double(hal->dfreqz1_freqz_u40);
  const double fb_mhz = fprec_s_2_double_mhz(hal->apll_fbdiv_s);
  if (fb_mhz == 0.0) return 0;
  const int64_t d = jround(fprec_s_2_double_mhz(xa) * z / fb_mhz / kTwo33);
  return d < 0 ? 0 : static_cast<uint64_t>(d);
}

}  // namespace inv

using namespace inv;

namespace {

bool known(const fprec_s &p) { return p.f != 0; }

// The base words a rebuilt record should prefer: the anchor's, then the kept frequencies'.
struct prefer_s {
  uint32_t v[8];
  int count = 0;
  void add(uint32_t f) {
    if (f == 0 || count >= 8) return;
    for (int i = 0; i < count; ++i)
      if (v[i] == f) return;
    v[count++] = f;
  }
};

prefer_s prefer_of(const fprec_s kept[7], uint32_t anchor_f) {
  prefer_s p;
  p.add(anchor_f);
  for (int i = 0; i < 7; ++i) p.add(kept[i].f);
  return p;
}

// Fields whose register rows apply, for the read-back.
bool row_reads(const hal_api_s *hal, const kova_build_row_s &row) {
  switch (row.when) {
    case kova_build_always_e:
    case kova_build_mcr1_e:
    case kova_build_apll_test_e:  // the APLL test registers are always read back
      return true;
    case kova_build_ss_e:
      return hal->dpllcr1_mode_u4 == 2;
    case kova_build_ja_e:
      return hal->dpllcr1_mode_u4 >= 4 && hal->dpllcr1_mode_u4 <= 6;
    case kova_build_pcen0_e:
    case kova_build_pcen1_e: {
      const uint32_t pcen = row.monitor == 1   ? hal->mon1cr2_pcen_u1
                            : row.monitor == 2 ? hal->mon2cr2_pcen_u1
                                               : hal->mon3cr2_pcen_u1;
      return (pcen & 1u) == (row.when == kova_build_pcen1_e ? 1u : 0u);
    }
  }
  return false;
}

bool row_conditional(const kova_build_row_s &row) {
  return row.when == kova_build_ss_e || row.when == kova_build_ja_e || row.when == kova_build_pcen0_e ||
         row.when == kova_build_pcen1_e;
}

void clear_slot_field(hal_api_s *hal, const kova_build_slot_s &s) {
  std::memset(reinterpret_cast<char *>(hal) + s.field_offset, 0, s.field_size);
}

void or_slot_bits(hal_api_s *hal, const kova_build_slot_s &s, uint32_t byte) {
  const uint32_t width = static_cast<uint32_t>(s.reg_high - s.reg_low) + 1u;
  const uint64_t bits = static_cast<uint64_t>((byte >> s.reg_low) & ((1u << width) - 1u)) << s.field_low;
  char *p = reinterpret_cast<char *>(hal) + s.field_offset;
  if (s.field_size == sizeof(uint64_t)) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    v |= bits;
    std::memcpy(p, &v, sizeof v);
  } else {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    v |= static_cast<uint32_t>(bits);
    std::memcpy(p, &v, sizeof v);
  }
}

// Reads the rows of one kind (unconditional, or those whose condition depends on fields the
// unconditional rows hold). The fields of the rows read are cleared first, except those an
// earlier pass filled, so a field split over registers of both kinds is gathered whole.
void read_rows(hal_api_s *hal, bool conditional, std::vector<uint16_t> *filled) {
  std::vector<size_t> rows;
  for (size_t i = 0; i < kova_build_row_count; ++i) {
    const kova_build_row_s &row = kova_build_rows[i];
    if (row_conditional(row) == conditional && row_reads(hal, row)) rows.push_back(i);
  }
  std::vector<uint16_t> cleared;
  for (size_t i : rows) {
    for (uint32_t s = 0; s < kova_build_rows[i].slot_count; ++s) {
      const kova_build_slot_s &slot = kova_build_rows[i].slot[s];
      if (std::find(filled->begin(), filled->end(), slot.field_offset) != filled->end()) continue;
      clear_slot_field(hal, slot);
      cleared.push_back(slot.field_offset);
    }
  }
  for (size_t i : rows) {
    const kova_build_row_s &row = kova_build_rows[i];
    const uint32_t byte = get_reg(hal, row.address);
    for (uint32_t s = 0; s < row.slot_count; ++s) or_slot_bits(hal, row.slot[s], byte);
  }
  filled->insert(filled->end(), cleared.begin(), cleared.end());
}

// --- Frequencies of SYN -------------------------------------------------------------------

// The synthesis calculation gives an unused input HSDIV 8, as it gives a used input above
// 625 MHz: an input counts as used when its HSDIV is not 8, its enable bit is set, or its
// frequency was stated. (Taken for used, an idle input would come back at 8 times the APLL
// input, a frequency the calculation then rejects or plans for.)
bool input_used_syn(hal_api_s *hal, int n, const fprec_s kept[7]) {
  const ic_fields_s ic = ic_fields(hal, n);
  return *ic.hsdiv != 8 || *ic.icen == 1 || known(kept[n - 1]);
}

int32_t syn_frequencies(hal_api_s *hal, const fprec_s kept[7]) {
  const ratio_s r = apll_ratio(hal);
  const u128 aidiv = u128{1} << (hal->apllcr1_aidiv_u2 & 3u);
  const bool doubled = hal->xa_mode_e >= xa_mode_xtal_dbl_e && hal->xa_mode_e <= xa_mode_tcxo_dbl_e;
  tree_s t;
  uint32_t anchor_f = 0;
  bool have = false;
  for (int n = 1; n <= 3 && !have; ++n) {
    if (!known(kept[n - 1])) continue;
    const ic_fields_s ic = ic_fields(hal, n);
    t.apll_in = scale(from_fprec(kept[n - 1]), 1, static_cast<u128>(*ic.hsdiv) * aidiv);
    anchor_f = kept[n - 1].f;
    have = true;
  }
  if (!have && known(kept[3])) {
    t.apll_in = scale(from_fprec(kept[3]), doubled ? 2 : 1, aidiv);
    anchor_f = kept[3].f;
    have = true;
  }
  for (int k = 1; k <= 3 && !have; ++k) {
    if (!known(kept[3 + k])) continue;
    const oc_fields_s o = oc_fields(hal, k);
    const xfreq hs = output_to_hsdiv(hal, k, from_fprec(kept[3 + k]));
    if (*o.divsel == 1 && hal->apllcr1_byphs2_u1 == 1) {
      t.apll_in = hs;  // a bypassed HSDIV2 carries the APLL input
    } else {
      hsdiv_to_apll_input(hal, *o.divsel == 1 ? 2 : 1, hs, r, &t);
    }
    anchor_f = kept[3 + k].f;
    have = true;
  }
  if (!have) {
    put_msg(hal, "ERROR: There is no input or output frequency available for inverse configuration function");
    return 1;
  }
  const prefer_s pf = prefer_of(kept, anchor_f);

  apll_input_forward(hal, r, t.apll_in, 0, &t);
  store(&hal->apll_input_freq_s, t.apll_in, pf.v, pf.count);
  store(&hal->vco_freq_s, t.vco, pf.v, pf.count);
  store(&hal->hsdiv1_freq_s, t.hs1, pf.v, pf.count);
  store(&hal->hsdiv2_freq_s, t.hs2, pf.v, pf.count);
  outputs_from_tree(hal, t, pf.v, pf.count);

  // Inputs: every used input reaches the APLL input through its HSDIV and the APLL input
  // divider.
  const xfreq A = scale(t.apll_in, aidiv, 1);
  if (hal->xa_mode_e != xa_mode_disabled_e) {
    store(&hal->xa_apll_freq_s, A, pf.v, pf.count);
    store(&hal->xa_freq_s, doubled ? scale(A, 1, 2) : A, pf.v, pf.count);
  } else {
    set_fprec_s(&hal->xa_apll_freq_s, 0, 1, 1);
    set_fprec_s(&hal->xa_freq_s, 0, 1, 1);
  }
  for (int n = 1; n <= 3; ++n) {
    const ic_fields_s ic = ic_fields(hal, n);
    const bool used = input_used_syn(hal, n, kept);
    if (used) {
      store(ic.freq, scale(A, *ic.hsdiv, 1), pf.v, pf.count);
      store(ic.hsdiv_freq, A, pf.v, pf.count);
    } else {
      set_fprec_s(ic.freq, 0, 1, 1);
      set_fprec_s(ic.hsdiv_freq, 0, 1, 1);
    }
    monitor_clocks(hal, n, A, used);
  }
  set_fprec_s(&hal->up_monclk_freq_s, 100000000, 1, 1);
  set_fprec_s(&hal->dll_psampclk_freq_s, 0, 1, 1);
  set_fprec_s(&hal->dsp_clk_freq_s, 0, 1, 1);
  set_fprec_s(&hal->dco_pfdclk_freq_s, 0, 1, 1);
  set_fprec_s(&hal->pfd_freq_s, 0, 1, 1);
  set_fprec_s(&hal->dco_freq_s, 0, 1, 1);
  return 0;
}

// --- Frequencies of NCO and SS ------------------------------------------------------------

// How far the APLL input rebuilt from an output misses the DCO that its own XA clock gives
// (the DCO of NCO and SS runs 3.5 MHz below the XA clock), in Hz.
double dco_mismatch(const hal_api_s *hal, const xfreq &dco) {
  const double d = hz(dco);
  return std::fabs(static_cast<double>(xa_from_dco(hal, d)) - kDcoOffsetHz - d);
}

int32_t dco_frequencies(hal_api_s *hal, const fprec_s kept[7]) {
  const bool ss = hal->kova_mode_e == kova_mode_ss_e;
  const ratio_s r = apll_ratio(hal);
  tree_s t;
  uint32_t anchor_f = 0;
  bool have = false, xa_anchor = false, from_output = false;
  fprec_s xa = {0, 1, 1};

  auto from_xa = [&](const fprec_s &x) -> bool {
    if (hal->icscr1_fbsel_u2 != 0) {
      put_msg(hal, "ERROR: Can not inverse from XA frequency when in external feedback mode.");
      return false;
    }
    xa = x;
    t.apll_in = from_hz(dco_from_xa(hal, x));
    xa_anchor = true;
    return true;
  };

  // NCO takes an output first, SS the XA first.
  const int order_nco[4] = {4, 5, 6, 3};
  const int order_ss[4] = {3, 4, 5, 6};
  const int *order = ss ? order_ss : order_nco;
  for (int i = 0; i < 4 && !have; ++i) {
    const int idx = order[i];
    if (!known(kept[idx])) continue;
    anchor_f = kept[idx].f;
    have = true;
    if (idx == 3) {
      if (!from_xa(kept[3])) return 1;
      continue;
    }
    const int k = idx - 3;
    const oc_fields_s o = oc_fields(hal, k);
    const xfreq hs = output_to_hsdiv(hal, k, from_fprec(kept[idx]));
    if (*o.divsel == 1 && hal->apllcr1_byphs2_u1 == 1) {
      // A bypassed HSDIV2 carries the XA clock.
      fprec_s x;
      store(&x, hal->mcr1_dbl_u1 == 1 ? scale(hs, 1, 2) : hs);
      if (!from_xa(x)) return 1;
    } else {
      hsdiv_to_apll_input(hal, *o.divsel == 1 ? 2 : 1, hs, r, &t);
      from_output = true;
    }
  }
  if (!have) {
    put_msg(hal, "ERROR: There is no input or output frequency available");
    return 1;
  }
  const prefer_s pf = prefer_of(kept, anchor_f);

  // Spread spectrum. The registers of a down spread of P (tenths of a percent) hold the
  // feedback ratio and the frequency word lowered by (2000 - P) / 2000 and the same step as
  // a centre spread of P / 2. An output frequency tells them apart: only the right reading
  // gives an APLL input that is the DCO its XA clock implies.
  uint32_t spread = 0;
  const uint32_t ss_cnt = hal->dsscnt1_sscnt_u12 + 2u;
  const double z = uint64x_2_double(hal->dfreqz1_freqz_u40);
  if (ss && from_output && z != 0.0) {
    const int64_t p = jround(2000.0 * static_cast<double>(hal->dssdec1_decinc_u20) * ss_cnt / z);
    if (p >= 1 && p < 2000) {
      const xfreq down = scale(t.apll_in, 2000 - static_cast<u128>(p), 2000);
      if (dco_mismatch(hal, down) < dco_mismatch(hal, t.apll_in)) {
        t.apll_in = down;
        spread = static_cast<uint32_t>(p);
      }
    }
  }

  // The DCO drives the APLL; the XA frequency follows from the frequency word.
  store(&hal->dco_freq_s, t.apll_in, pf.v, pf.count);
  if (hal->xa_mode_e == xa_mode_disabled_e) {
    set_fprec_s(&hal->xa_freq_s, 0, 1, 1);
  } else if (xa_anchor) {
    hal->xa_freq_s = xa;
  } else {
    store(&hal->xa_freq_s, from_hz(xa_from_dco(hal, hz(t.apll_in))), pf.v, pf.count);
  }
  const xfreq xa_clock = scale(from_fprec(hal->xa_freq_s), hal->mcr1_dbl_u1 == 1 ? 2 : 1, 1);
  apll_input_forward(hal, r, xa_clock, spread, &t);
  store(&hal->apll_input_freq_s, t.apll_in, pf.v, pf.count);
  store(&hal->vco_freq_s, t.vco, pf.v, pf.count);
  store(&hal->hsdiv1_freq_s, t.hs1, pf.v, pf.count);
  store(&hal->hsdiv2_freq_s, t.hs2, pf.v, pf.count);
  outputs_from_tree(hal, t, pf.v, pf.count);
  xa_derived_clocks(hal);
  hal->xa_apll_freq_s = hal->xa_freq_s;
  if (hal->xa_mode_e >= xa_mode_xtal_dbl_e && hal->xa_mode_e <= xa_mode_tcxo_dbl_e)
    fprec_scale(&hal->xa_apll_freq_s, 2, 1);
  for (int n = 1; n <= 3; ++n) {
    const ic_fields_s ic = ic_fields(hal, n);
    set_fprec_s(ic.freq, 0, 1, 1);
    set_fprec_s(ic.hsdiv_freq, 0, 1, 1);
    monitor_clocks(hal, n, xfreq{}, false);
  }

  if (ss) {
    hal->ss_cnt_u16 = ss_cnt;
    const double dsp_hz = fprec_s_2_double_mhz(hal->dsp_clk_freq_s) * 1e6;
    const int64_t mod = jround(dsp_hz / (4.0 * ss_cnt));
    hal->ss_mod_hz = clamp_u32(mod);
    if (spread != 0) {
      hal->ss_mode_e = ss_mode_down_e;
      hal->ss_pctx10 = spread;
    } else {
      hal->ss_mode_e = ss_mode_centre_e;
      const double fb = fprec_s_2_double_mhz(hal->apll_fbdiv_s) * 1e6;
      const double pfd_mhz = fprec_s_2_double_mhz(hal->dco_pfdclk_freq_s);
      const double den = kTwo33 * fb * (pfd_mhz == 0.0 ? 0.0 : fprec_s_2_double_mhz(hal->dco_freq_s) / pfd_mhz);
      hal->ss_pctx10 = den == 0.0 ? 0 : clamp_u32(jround(1000.0 * hal->dssdec1_decinc_u20 * ss_cnt / den));
    }
  } else {
    hal->ss_mode_e = ss_mode_down_e;
    hal->ss_mod_hz = 0;
    hal->ss_pctx10 = 0;
  }
  set_fprec_s(&hal->dll_psampclk_freq_s, 0, 1, 1);
  set_fprec_s(&hal->pfd_freq_s, 0, 1, 1);
  return 0;
}

}  // namespace

// --- Output settings in user units --------------------------------------------------------

// Pulse width and alignment of each output, from OCDC and the phase adjust: the values that
// program the same registers again.
void inv::output_settings(hal_api_s *hal) {
  for (int k = 1; k <= 3; ++k) {
    const oc_fields_s o = oc_fields(hal, k);
    const double ms_mhz = fprec_s_2_double_mhz(*o.msdiv_freq);
    // Pulse width: OCDC periods of the MSDIV output.
    *o.pw_ns = 0;
    if (*o.ocdc != 0 && ms_mhz > 0.0) *o.pw_ns = clamp_u32(jround(*o.ocdc * (1000.0 / ms_mhz)));
    // Alignment: half periods of the HSDIV clock, on an output behind an MSDIV.
    *o.align_en = 0;
    *o.align_nsx10 = 0;
    if (*o.phen == 1 && *o.msdiv > 1) {
      const fprec_s &hs = *o.divsel == 0 ? hal->hsdiv1_freq_s : hal->hsdiv2_freq_s;
      const double hs_mhz = fprec_s_2_double_mhz(hs);
      *o.align_en = 1;
      const int32_t steps = static_cast<int8_t>(static_cast<uint8_t>(*o.phadj & 0xFF));
      if (hs_mhz > 0.0 && steps > 0) *o.align_nsx10 = clamp_u32(jround(steps * (1000.0 / hs_mhz) * 0.5 * 10.0));
    }
  }
}

void inverse_regs_to_fields(hal_api_s *hal) {
  std::vector<uint16_t> filled;
  read_rows(hal, false, &filled);
  read_rows(hal, true, &filled);
}

int32_t inverse_detect_modes(hal_api_s *hal) {
  const uint32_t id = (get_reg(hal, 0x030) << 8) | get_reg(hal, 0x031);
  if (hal->kova_device_e == 0) {
    switch (id & 0xFFF0u) {
      case 0x1900: hal->kova_device_e = kova_device_40110_e; break;
      case 0x1910: hal->kova_device_e = kova_device_40111_e; break;
      case 0x1920: hal->kova_device_e = kova_device_40112_e; break;
      case 0x1930: hal->kova_device_e = kova_device_40113_e; break;
      case 0x1950: hal->kova_device_e = kova_device_40075_e; break;
      case 0x1970: hal->kova_device_e = kova_device_40089_e; break;
      default:
        put_msgf(hal, "ERROR: Invalid device ID 0x%04X", id);
        return 1;
    }
    hal->kova_device_rev_e = 0;
  }
  if (hal->kova_device_rev_e == 0) {
    switch (id & 0xFu) {
      case 0: hal->kova_device_rev_e = 0; break;
      case 1: hal->kova_device_rev_e = 1; break;
      default:
        put_msgf(hal, "ERROR: Invalid device rev 0x%04X", id);
        return 1;
    }
  }

  if (hal->pllen_dpllen_u1 == 0 && hal->pllen_apllen_u1 == 1) {
    hal->kova_mode_e = kova_mode_syn_e;
  } else if (hal->pllen_dpllen_u1 == 1 && hal->pllen_apllen_u1 == 1) {
    switch (hal->dpllcr1_mode_u4) {
      case 1: hal->kova_mode_e = kova_mode_nco_e; break;
      case 2: hal->kova_mode_e = kova_mode_ss_e; break;
      case 4:
      case 5:
      case 6: hal->kova_mode_e = kova_mode_ja_e; break;
      default:
        put_msg(hal, "ERROR: Can not determine kova_mode_e");
        return 1;
    }
  } else {
    put_msgf(hal, "ERROR: Can not determine kova_mode_e - PLLEN %x", get_reg(hal, 0x00B));
    return 1;
  }

  switch (hal->mcr1_xab_u2) {
    case 0:
      hal->xa_mode_e = xa_mode_disabled_e;
      hal->xa_disable = 1;
      break;
    case 1:
      hal->xa_mode_e = hal->mcr1_dbl_u1 == 1 ? xa_mode_xtal_dbl_e : xa_mode_xtal_e;
      hal->xa_disable = 0;
      break;
    case 2:
      hal->xa_mode_e = hal->mcr1_dbl_u1 == 1 ? xa_mode_xo_dbl_e : xa_mode_xo_e;
      hal->xa_disable = 0;
      break;
    default:  // XAB 3 says nothing about the pins
      break;
  }
  hal->sysclk_mode_e = hal->mcr1_mcsel_u1 == 1 ? sysclk_mode_xa_e : sysclk_mode_ro_e;
  hal->jitter_mode_e = jitter_mode_rj_e;
  return 0;
}

void inverse_divider_plan(hal_api_s *hal) {
  const bool ja = hal->kova_mode_e == kova_mode_ja_e;
  hal->ic1_hsdiv_u8 = 1u << (hal->ic1cr1_hsdiv_u2 & 3u);
  hal->ic2_hsdiv_u8 = 1u << (hal->ic2cr1_hsdiv_u2 & 3u);
  hal->ic3_hsdiv_u8 = 1u << (hal->ic3cr1_hsdiv_u2 & 3u);
  hal->ic1_div_u32 = ja ? hal->ic1cr2_div_u20 + 1 : 0;
  hal->ic2_div_u32 = ja ? hal->ic2cr2_div_u20 + 1 : 0;
  hal->ic3_div_u32 = ja ? hal->ic3cr2_div_u20 + 1 : 0;
  hal->ic1_mondiv_u8 = hal->mon1cr1_mondiv_u4 + 1;
  hal->ic2_mondiv_u8 = hal->mon2cr1_mondiv_u4 + 1;
  hal->ic3_mondiv_u8 = hal->mon3cr1_mondiv_u4 + 1;
  hal->vco_hsdiv1x2_u8 = hsdiv_x2_of_code(hal->apllcr2_hsdiv1_u4);
  hal->vco_hsdiv2x2_u8 = hal->apllcr1_enhs2_u1 == 1 ? hsdiv_x2_of_code(hal->apllcr2_hsdiv2_u4) : 0;
  for (int k = 1; k <= 3; ++k) {
    const oc_fields_s o = oc_fields(hal, k);
    *o.msdiv = *o.msdiv_code + 1;
    const uint32_t code = k == 1 ? hal->oc1div1_lsdiv_u25 : k == 2 ? hal->oc2div1_lsdiv_u25 : hal->oc3div1_lsdiv_u25;
    *o.lsdiv = code + 1;
    *o.neg_lsdiv = *o.neglsd == 1 ? *o.lsdiv : 1;
  }
  // AFBBP holds 33 minus the fraction bits; a value above 33 counts as no fraction bits.
  hal->apll_afbdiv_fbits_u8 = 33 - afbdiv_shift(hal);
  hal->apll_fbdiv_s = apll_fbdiv_display(hal);
  hal->pfd_div_u16 = hal->dpcnt1_pfdcnt_u14 + 1;
  hal->dcofb_div_u32 = hal->dfbdiv1_fbdiv_u19 + 1;
}

int32_t inverse_frequencies(hal_api_s *hal, const fprec_s kept[7], bool *xa_flag) {
  *xa_flag = false;
  int32_t rc = 0;
  switch (hal->kova_mode_e) {
    case kova_mode_syn_e: rc = syn_frequencies(hal, kept); break;
    case kova_mode_nco_e:
    case kova_mode_ss_e: rc = dco_frequencies(hal, kept); break;
    default: rc = ja_frequencies(hal, kept, xa_flag); break;
  }
  return rc;
}

int32_t inverse_settings(hal_api_s *hal) {
  if (hal->kova_mode_e == kova_mode_ja_e)
    if (int32_t rc = ja_settings(hal)) return rc;
  output_settings(hal);
  return 0;
}

namespace {

// The frequency re-expressed exactly with a reference as its base: f = B, n / m = x / B,
// when both fit 32 bits.
bool express_with_reference(const xfreq &x, fprec_s *out) {
  if (!exact(x)) return false;
  for (uint32_t b : kReferenceHz) {
    // x / B = num / (den x B)
    u128 num = x.num, den = x.den * b;
    const u128 g = gcd128(num, den);
    num /= g;
    den /= g;
    if (num <= 0xFFFFFFFFu && den <= 0xFFFFFFFFu) {
      set_fprec_s(out, b, static_cast<uint32_t>(num), static_cast<uint32_t>(den));
      return true;
    }
  }
  return false;
}

// The nearest frequency B x a / b with b dividing 10^7, over the references (the first on a
// tie): for frequencies rebuilt through rounded words. The grid is B / 10^7 (some 60 Hz), far
// coarser than the rounding it is to remove (below 10^-8 of the frequency) for a frequency
// of a few kHz: a snap that moves the frequency by more than 10^-6 of it is not taken.
void snap_to_reference(fprec_s *p) {
  const double x = fprec_s_2_double_mhz(*p) * 1e6;
  double best_err = 0.0;
  bool have = false;
  fprec_s best = *p;
  for (uint32_t b : kReferenceHz) {
    const int64_t r = jround(x / b * 1e7);
    if (r <= 0) continue;
    const uint64_t g = gcd(10000000u, static_cast<uint64_t>(r));
    const uint64_t a = static_cast<uint64_t>(r) / g, m = 10000000u / g;
    if (a > 0xFFFFFFFFu) continue;
    const double err = std::fabs(1.0 - x / (static_cast<double>(a) * b / static_cast<double>(m)));
    if (!have || err < best_err) {
      have = true;
      best_err = err;
      set_fprec_s(&best, b, static_cast<uint32_t>(a), static_cast<uint32_t>(m));
    }
  }
  if (have && best_err <= 1e-6) *p = best;
}

}  // namespace

void inverse_reconcile(hal_api_s *hal, const fprec_s kept[7], bool xa_flag) {
  fprec_s *f[7] = {&hal->ic1_freq_s, &hal->ic2_freq_s, &hal->ic3_freq_s, &hal->xa_freq_s,
                   &hal->oc1_freq_s, &hal->oc2_freq_s, &hal->oc3_freq_s};
  for (int i = 0; i < 7; ++i) {
    if (!known(*f[i])) continue;
    if (xa_flag) {
      if (i != 3) snap_to_reference(f[i]);
      continue;
    }
    if (fprec_compare(*f[i], kept[i]) == 0) {
      *f[i] = kept[i];
      continue;
    }
    // An integer frequency is written {F, 1, 1}; others against a reference frequency.
    const xfreq x = from_fprec(*f[i]);
    fprec_s r;
    if (exact(x) && x.den == 1 && x.num <= 0xFFFFFFFFu) {
      set_fprec_s(f[i], static_cast<uint32_t>(x.num), 1, 1);
    } else if (express_with_reference(x, &r)) {
      *f[i] = r;
    }
  }
}

void inverse_apll_test_check(hal_api_s *hal) {
  const bool fractional =
      (hal->afbdiv1_afbdiv_u42 & ((uint64_t{1} << 33) - 1)) != 0 || hal->afbrem1_afbrem_u32 != 0;
  hal->auto_apll_disable = 0;
  for (uint32_t a = 0x120; a <= 0x12C; ++a)
    if (get_reg(hal, a) != apll_tuning_value(hal, fractional, a)) hal->auto_apll_disable = 1;
}

namespace {

// Posts the errors of the copy's calculation to the configuration's log.
void forward_errors(hal_api_s *hal, hal_api_s *tmp) {
  while (const char *m = get_msg(tmp))
    if (std::strstr(m, "ERROR") != nullptr) put_msg(hal, m);
}

}  // namespace

int32_t inverse_solver_check(hal_api_s *hal) {
  hal->oc_solver_mode_e = oc_solver_mode_manual_e;
  hal_api_s tmp{};
  tmp.init_api_mode_e = init_api_after_load_e;
  init_api(&tmp);
  copy_api(&tmp, hal);
  tmp.init_api_mode_e = init_api_after_inverse_e;
  init_api(&tmp);
  tmp.oc_solver_mode_e = oc_solver_mode_auto_e;
  // The automatic solver enables HSDIV2 when its solution uses it but never disables it: it
  // starts, as a fresh configuration does, without HSDIV2, so that a solution without it is
  // not taken for an error.
  tmp.apllcr1_enhs2_u1 = 0;
  int32_t rc = 0;
  // The expert calculation's errors count as well: calc_hal empties the log first.
  calc_expert(&tmp);
  if (msg_level(&tmp) == 2) {
    forward_errors(hal, &tmp);
    rc = 1;
  } else {
    calc_hal(&tmp);
    if (msg_level(&tmp) == 2) {
      forward_errors(hal, &tmp);
      rc = 1;
    }
  }
  if (rc == 0 && tmp.oc1_msdiv_u8 == hal->oc1_msdiv_u8 && tmp.oc2_msdiv_u8 == hal->oc2_msdiv_u8 &&
      tmp.oc3_msdiv_u8 == hal->oc3_msdiv_u8 && tmp.oc1_lsdiv_u32 == hal->oc1_lsdiv_u32 &&
      tmp.oc2_lsdiv_u32 == hal->oc2_lsdiv_u32 && tmp.oc3_lsdiv_u32 == hal->oc3_lsdiv_u32 &&
      tmp.vco_hsdiv1x2_u8 == hal->vco_hsdiv1x2_u8 && tmp.vco_hsdiv2x2_u8 == hal->vco_hsdiv2x2_u8)
    hal->oc_solver_mode_e = oc_solver_mode_auto_e;
  delete_api(&tmp);
  return rc;
}

int32_t inverse_cfg(hal_api_s *hal) {
  if (!hal || !hal->hal_obj_p) return 1;
  clear_msg_log(hal);
  const fprec_s kept[7] = {hal->ic1_freq_s, hal->ic2_freq_s, hal->ic3_freq_s, hal->xa_freq_s,
                           hal->oc1_freq_s, hal->oc2_freq_s, hal->oc3_freq_s};
  hal->get_statuses_mode_e = get_statuses_all_e;
  inverse_regs_to_fields(hal);
  if (int32_t rc = inverse_detect_modes(hal)) return rc;
  inverse_divider_plan(hal);
  bool xa_flag = false;
  if (int32_t rc = inverse_frequencies(hal, kept, &xa_flag)) return rc;
  inverse_reconcile(hal, kept, xa_flag);
  if (int32_t rc = inverse_settings(hal)) return rc;
  inverse_apll_test_check(hal);
  return inverse_solver_check(hal);
}
