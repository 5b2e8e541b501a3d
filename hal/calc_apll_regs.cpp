// APLL registers: the two HSDIV codes behind the VCO, the fractional feedback divider that
// sets the VCO from the APLL input, the loop tuning bytes and two test-control bytes.
//
// The feedback divider is a fixed-point ratio with 33 fraction bits of which only the top
// `fbits` are used (AFBDIV), plus an exact remainder fraction AFBREM / AFBDEN for what the
// fixed-point part cannot hold: the VCO is exact for any ratio whose reduced denominator
// fits in 32 bits.
#include <cmath>

#include "arith/bigint128.h"
#include "arith/fprec.h"
#include "hal/calc_hal.h"
#include "hal/hal_regcalc.h"

namespace {

// HSDIV x2 by code position; the code is 15 minus the position (code 0 divides by 4).
constexpr uint32_t kHsdivX2[16] = {30, 28, 26, 24, 22, 20, 18, 16, 15, 14, 13, 12, 11, 10, 9, 8};

constexpr uint32_t kFracBitsField = 33;  // fraction bits of the AFBDIV register value
constexpr uint64_t kAfbdivMax = (uint64_t{1} << 42) - 1;

int hsdiv_position(uint32_t x2) {
  for (int p = 0; p < 16; ++p)
    if (kHsdivX2[p] == x2) return p;
  return -1;
}

unsigned bit_length(const bigint128 &x) {
  if (x.w[1] != 0) return 128u - static_cast<unsigned>(__builtin_clzll(x.w[1]));
  if (x.w[0] != 0) return 64u - static_cast<unsigned>(__builtin_clzll(x.w[0]));
  return 0;
}

void shift_right(bigint128 *x, unsigned s) {
  if (s == 0) return;
  if (s >= 128) {
    bigint128Set0(x);
  } else if (s >= 64) {
    x->w[0] = x->w[1] >> (s - 64);
    x->w[1] = 0;
  } else {
    x->w[0] = (x->w[0] >> s) | (x->w[1] << (64 - s));
    x->w[1] >>= s;
  }
}

// a x b x c as a 128-bit product; false when it needs more than 128 bits.
bool mul3(bigint128 *dst, uint64_t a, uint64_t b, uint64_t c) {
  bigint128Mpy64x64(dst, a, b);
  uint32_t ovf = 0;
  bigint128x64Mpy(&ovf, dst, dst, c);
  return ovf == 0;
}

bool mul1(bigint128 *dst, uint64_t k) {
  uint32_t ovf = 0;
  bigint128x64Mpy(&ovf, dst, dst, k);
  return ovf == 0;
}

// Feedback divider with b fraction bits; returns true when the remainder's denominator had
// to be truncated to 32 bits.
bool feedback(hal_api_s *h, uint32_t b) {
  const fprec_s &vco = h->vco_freq_s;
  const fprec_s &in = h->apll_input_freq_s;
  // N / D = VCO / APLL input x 2^b.
  bigint128 N, D;
  bool exact = mul3(&N, pow2_u64(b), static_cast<uint64_t>(vco.f) * vco.n, in.m);
  exact = mul3(&D, static_cast<uint64_t>(in.f) * in.n, vco.m, 1) && exact;
  if (h->kova_mode_e == kova_mode_ss_e && h->ss_mode_e == ss_mode_down_e) {
    // Down spread: the VCO sits at the low end of the spread.
    exact = mul1(&N, static_cast<uint32_t>(2000u - h->ss_pctx10)) && exact;
    exact = mul1(&D, 2000) && exact;
  }
  h->afbbp_afbbp_u8 = kFracBitsField - b;

  if (!exact || (D.w[0] == 0 && D.w[1] == 0)) {
    // The ratio's terms do not fit 128 bits, or there is no APLL input: nothing of it can
    // be programmed.
    put_msg(h, "ERROR: int2reg afbdiv1_afbdiv_u42 overflow");
    h->afbdiv1_afbdiv_u42 = kAfbdivMax;
    h->afbden1_afbden_u32 = 1;
    h->afbrem1_afbrem_u32 = 0;
    return false;
  }

  bigint128 Q, R;
  bigint128Div(&Q, &R, &N, &D);
  // AFBDIV = Q x 2^(33 - b): the unused low fraction bits are zero. The whole quotient is
  // checked, so a value past 42 bits never wraps into a small one.
  const unsigned shift = kFracBitsField - b;
  if (Q.w[1] != 0 || Q.w[0] > (kAfbdivMax >> shift)) {
    put_msg(h, "ERROR: int2reg afbdiv1_afbdiv_u42 overflow");
    h->afbdiv1_afbdiv_u42 = kAfbdivMax;
  } else {
    h->afbdiv1_afbdiv_u42 = Q.w[0] << shift;
  }

  // Remainder fraction R / D, reduced; a zero remainder gives 0 / 1.
  bigint128 G;
  bigint128Gcd(&G, &R, &D);
  if (G.w[0] == 0 && G.w[1] == 0) bigint128Set1(&G);
  bigint128 Rr, Dr, rest;
  bigint128Div(&Rr, &rest, &R, &G);
  bigint128Div(&Dr, &rest, &D, &G);
  bool truncated = false;
  const unsigned len = bit_length(Dr);
  if (len > 32) {
    put_msg(h, "Warning: Fbm > 32 bits - truncating to 32 bits");
    shift_right(&Rr, len - 32);
    shift_right(&Dr, len - 32);
    truncated = true;
  }
  h->afbden1_afbden_u32 = static_cast<uint32_t>(
      int2reg(h, "afbden1_afbden_u32", Dr.w[1] != 0 ? -1 : static_cast<int64_t>(Dr.w[0]), 32, 0));
  h->afbrem1_afbrem_u32 = static_cast<uint32_t>(
      int2reg(h, "afbrem1_afbrem_u32", Rr.w[1] != 0 ? -1 : static_cast<int64_t>(Rr.w[0]), 32, 0));
  return truncated;
}

// The row of the tuning table: the bytes for 0x120 .. 0x12C.
const uint8_t *tuning_row(const hal_api_s *h, bool fractional) {
  static const uint8_t kSynFracLow[13] = {0x02, 0, 0, 0, 0, 0xC7, 0x40, 0x5F, 0x00, 0x04, 0xB3, 0x80, 0x40};
  static const uint8_t kSynFracHigh[13] = {0x02, 0, 0, 0, 0, 0xC7, 0x40, 0x5F, 0x00, 0x04, 0xB3, 0x80, 0x80};
  static const uint8_t kSynIntLow[13] = {0x06, 0, 0, 0, 0, 0xC0, 0x60, 0x7F, 0x00, 0x04, 0xB3, 0xC0, 0x80};
  static const uint8_t kSynIntHigh[13] = {0x06, 0, 0, 0, 0, 0xC0, 0x40, 0x7F, 0x00, 0x04, 0xB3, 0xC0, 0x80};
  static const uint8_t kDcoXo[13] = {0x02, 0, 0, 0, 0, 0xC7, 0x40, 0x5F, 0x00, 0x00, 0xB3, 0x80, 0x80};
  static const uint8_t kDcoDoubled[13] = {0x02, 0, 0, 0, 0, 0xC7, 0x40, 0x5F, 0x00, 0x00, 0xB3, 0x80, 0x40};
  static const uint8_t kSs[13] = {0x01, 0, 0, 0, 0, 0xC1, 0x60, 0xA8, 0x00, 0x00, 0xB3, 0x80, 0x80};
  const double in_mhz = fprec_s_2_double_mhz(h->apll_input_freq_s);
  switch (h->kova_mode_e) {
    case kova_mode_syn_e:
      if (fractional) return in_mhz < 80.0 ? kSynFracLow : kSynFracHigh;
      return in_mhz < 50.0 ? kSynIntLow : kSynIntHigh;
    case kova_mode_ss_e:
      return kSs;
    default:
      // NCO and JA by what drives XA; XA disabled, a crystal or an unknown mode take the
      // XO row.
      switch (h->xa_mode_e) {
        case xa_mode_xtal_dbl_e:
        case xa_mode_xo_dbl_e:
        case xa_mode_tcxo_dbl_e:
          return kDcoDoubled;
        default:
          return kDcoXo;
      }
  }
}

}  // namespace

uint32_t apll_tuning_value(const hal_api_s *h, bool fractional, uint32_t address) {
  if (address < 0x120 || address > 0x12C) return 0xFFFFFFFFu;
  return tuning_row(h, fractional)[address - 0x120];
}

bool calc_apll_regs(hal_api_s *h, calc_hal_work_s *w) {
  // HSDIV codes.
  int p = hsdiv_position(h->vco_hsdiv1x2_u8);
  if (p < 0) {
    put_msg(h, "ERROR: vco_hsdiv1x2_u8 is not valid");
    return false;
  }
  h->apllcr2_hsdiv1_u4 = static_cast<uint32_t>(real2reg(h, "apllcr2_hsdiv1", 15 - p, 4, 0));
  if (h->apllcr1_enhs2_u1 != 0) {
    p = hsdiv_position(h->vco_hsdiv2x2_u8);
    if (p < 0) {
      put_msg(h, "ERROR: vco_hsdiv2x2_u8 is not valid");
      return false;
    }
    h->apllcr2_hsdiv2_u4 = static_cast<uint32_t>(real2reg(h, "apllcr2_hsdiv1", 15 - p, 4, 0));
  }

  // Fraction bits: SYN uses the user's (target when unset or at the maximum); the DCO
  // modes always use the maximum.
  const uint32_t fmax = h->appl_fbdiv_fbits_max_u8;
  if (h->kova_mode_e == kova_mode_syn_e) {
    if (h->apll_afbdiv_fbits_u8 > fmax) {
      put_msg(h, "WARN: apll_afbdiv_fbits too large, setting to max");
      h->apll_afbdiv_fbits_u8 = fmax;
    }
    if (h->apll_afbdiv_fbits_u8 == 0 || h->apll_afbdiv_fbits_u8 == fmax)
      h->apll_afbdiv_fbits_u8 = h->appl_fbdiv_fbits_trgt_u8;
  } else {
    h->apll_afbdiv_fbits_u8 = fmax;
  }
  // The register holds 33 fraction bits; more cannot be programmed.
  if (h->apll_afbdiv_fbits_u8 > kFracBitsField) h->apll_afbdiv_fbits_u8 = kFracBitsField;
  if (feedback(h, h->apll_afbdiv_fbits_u8) && h->apll_afbdiv_fbits_u8 != fmax) {
    // More fraction bits take factors of two out of the remainder's denominator.
    h->apll_afbdiv_fbits_u8 = fmax > kFracBitsField ? kFracBitsField : fmax;
    feedback(h, h->apll_afbdiv_fbits_u8);
  }

  // Feedback ratio as a double (the remainder fraction left out), kept as f x n / 2^30.
  const double x = uint64x_2_double(h->afbdiv1_afbdiv_u42) / 8589934592.0;
  const double whole = std::floor(x);
  fprec_s r;
  r.m = 1u << 30;
  if (whole >= 1.0) {
    r.f = static_cast<uint32_t>(whole);
    r.n = trunc_u32(1073741824.0 * (x / whole));
  } else {
    // Below 1 there is no whole part to carry the value: it goes into the numerator.
    r.f = 1;
    r.n = trunc_u32(1073741824.0 * x);
  }
  h->apll_fbdiv_s = r;
  w->apll_fbdiv_ratio = fprec_s_2_double_mhz(h->apll_fbdiv_s) * 1e6;

  // Loop tuning.
  if (h->auto_apll_disable == 0) {
    const bool fractional = (h->afbdiv1_afbdiv_u42 & ((uint64_t{1} << 33) - 1)) != 0 || h->afbrem1_afbrem_u32 != 0;
    uint32_t *fields[13] = {&h->dco1_u8,     &h->dco2_u8,     &h->dco3_u8,     &h->altpll1_u8,   &h->altpll2_u8,
                            &h->plltcr5_u8,  &h->plltcr6_u8,  &h->plltcr7_u8,  &h->plltcr8_u8,   &h->plltcr9_u8,
                            &h->plltcr10_u8, &h->plltcr11_u8, &h->plltcr12_u8};
    for (uint32_t a = 0; a < 13; ++a) *fields[a] = apll_tuning_value(h, fractional, 0x120 + a);
  }

  put_reg(h, 0x631, h->kova_mode_e == kova_mode_syn_e ? 0x40 : 0x00);  // TCCR2
  put_reg(h, 0x621, 0x08);                                              // PLLTCR18
  return true;
}
