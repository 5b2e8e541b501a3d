#include "hal/ic_solver.h"

#include <cmath>

#include "arith/bigint128.h"
#include "arith/prime.h"

namespace {

constexpr uint32_t IC_COUNT = 3;
constexpr uint64_t DIV_LIMIT = 1ull << 20;  // the input divider is below 2^20

struct ic_input_s {
  fprec_s freq;
  bool used;
  uint32_t hsdiv;
  uint32_t div;
  bigint128 num;  // HSDIV output x D, in Hz
};

// x truncated to an unsigned 64-bit integer; negative and NaN give 0, large values saturate.
uint64_t trunc_u64(double x) {
  if (!(x > 0.0)) return 0;
  if (x >= 18446744073709551616.0) return UINT64_MAX;
  return static_cast<uint64_t>(x);
}

bool is_zero(const bigint128 &x) { return x.w[0] == 0 && x.w[1] == 0; }

// a > b x c (exact; a product beyond 128 bits is larger than any a).
bool above_product(const bigint128 &a, const bigint128 &b, uint64_t c) {
  uint32_t ov = 0;
  bigint128 p;
  bigint128x64Mpy(&ov, &p, &b, c);
  if (ov) return false;
  return bigint128Compare(&a, &p) > 0;
}

}  // namespace

uint32_t kova_ic_solver(hal_api_s *hal) {
  uint32_t code = 0;
  ic_input_s in[IC_COUNT] = {};
  in[0].freq = hal->ic1_freq_s;
  in[1].freq = hal->ic2_freq_s;
  in[2].freq = hal->ic3_freq_s;
  uint32_t used = 0;
  for (ic_input_s &x : in) {
    x.used = x.freq.f != 0 && x.freq.n != 0 && x.freq.m != 0;
    x.hsdiv = 0;
    x.div = 1;
    used += x.used;
  }

  // 1. PFD maximum in Hz: the limit, the jitter tolerance and the DPLL bandwidth.
  double x_mhz = hal->pfd_max_freq_mhz_r;
  const uint32_t j = hal->jitter_tol_ns_u16;
  if (j > 0) {
    const double v = 1000.0 / j / hal->pfd_jtrtol_scale_r;
    if (v < x_mhz) x_mhz = v;
  }
  if (hal->pfd_div_lock_u16 == 0) {
    const double v = hal->dpll_bw_hz * 0.000001 * hal->pfd_max_freq_BW_ratio_r;
    if (v < x_mhz) x_mhz = v;
  }
  const uint64_t xh = trunc_u64(x_mhz * 1000000.0);

  // 2. Input HSDIV: the first of 1, 2, 4, 8 that brings the input within the HSDIV limit (+1 %).
  const uint64_t lh = trunc_u64(hal->ic_hsdiv_max_freq_mhz_r * 1010000.0);
  for (ic_input_s &x : in) {
    if (!x.used) continue;
    bigint128 fn, fhz, rem, m;
    bigint128Mpy64x64(&fn, x.freq.f, x.freq.n);
    bigint128Set(&m, x.freq.m, 0);
    bigint128Div(&fhz, &rem, &fn, &m);
    x.hsdiv = 8;
    bool fits = false;
    for (uint32_t d = 1; d <= 8 && !fits; d *= 2) {
      bigint128 lim;
      bigint128Mpy64x64(&lim, lh, d);
      if (bigint128Compare(&fhz, &lim) <= 0) {
        x.hsdiv = d;
        fits = true;
      }
    }
    if (!fits) code |= IC_SOLVER_IC_HIGH;
  }

  // 3. Each HSDIV output over the common denominator D = product of m x HSDIV.
  bigint128 d;
  bigint128Set1(&d);
  for (ic_input_s &x : in) {
    if (!x.used) continue;
    const uint64_t mh = static_cast<uint64_t>(x.freq.m) * x.hsdiv;
    if (mh > UINT32_MAX) code |= IC_SOLVER_DEN_HSDIV;
    uint32_t ov = 0;
    bigint128x64Mpy(&ov, &d, &d, mh);
    if (ov) code |= IC_SOLVER_OVERFLOW;
  }
  for (uint32_t k = 0; k < IC_COUNT; ++k) {
    if (!in[k].used) continue;
    bigint128Mpy64x64(&in[k].num, in[k].freq.f, in[k].freq.n);
    for (uint32_t i = 0; i < IC_COUNT; ++i) {
      if (i == k || !in[i].used) continue;
      uint32_t ov = 0;
      bigint128x64Mpy(&ov, &in[k].num, &in[k].num, static_cast<uint64_t>(in[i].freq.m) * in[i].hsdiv);
      if (ov) code |= IC_SOLVER_OVERFLOW;
    }
  }

  // 4. G / D is the highest frequency that divides every HSDIV output by an integer.
  bigint128 g;
  bigint128Set0(&g);
  for (const ic_input_s &x : in) {
    if (x.used) bigint128Gcd(&g, &g, &x.num);
  }

  // 5. Lower G / D to the maximum by removing prime factors, the smallest first.
  term_s factors;
  if (factorbigint128(&factors, g) != 0) {
    code |= IC_SOLVER_FACTOR;
  } else {
    for (int32_t i = 0; i < factors.count; ++i) {
      const uint32_t p = factors.t[i].prime;
      for (uint32_t e = 0; e < factors.t[i].exp; ++e) {
        if (!above_product(g, d, xh)) continue;
        bigint128 q, r, pb;
        bigint128Set(&pb, p, 0);
        bigint128Div(&q, &r, &g, &pb);
        if (!is_zero(r)) code |= IC_SOLVER_PRIME_REM;
        g = q;
      }
    }
    // 6. Still above the maximum.
    if (above_product(g, d, xh)) code |= IC_SOLVER_PFD_HIGH;
  }

  // 7. Below the minimum (no used input leaves no PFD frequency at all).
  {
    const uint64_t pmin = trunc_u64(hal->pfd_min_freq_mhz_r * 1000000.0);
    bigint128 q, r, pm;
    bigint128Div(&q, &r, &g, &d);
    bigint128Set(&pm, pmin, 0);
    const int32_t c = bigint128Compare(&pm, &q);
    if (c > 0 || (c == 0 && !is_zero(r)) || used == 0) code |= IC_SOLVER_PFD_LOW;
  }

  // 8. The PFD frequency as a reduced fraction G' / D'.
  bigint128 gr = g;
  bigint128 dr = d;
  bigint128ReduceMN(&gr, &dr);

  // 9. Input dividers.
  bool solved = false;
  for (ic_input_s &x : in) {
    x.div = 0;
    if (!x.used || is_zero(g)) continue;
    bigint128 q, r;
    bigint128Div(&q, &r, &x.num, &g);
    const bool whole = is_zero(r);
    const bool small = q.w[1] == 0 && q.w[0] < DIV_LIMIT;
    if (!whole) code |= IC_SOLVER_DIV_FRACTION;
    if (!small) code |= IC_SOLVER_DIV_RANGE;
    if (whole && small) {
      x.div = static_cast<uint32_t>(q.w[0]);
      solved = true;
    }
  }

  // 10. The PFD record: D' as m, G' split into a base below 2^32 and a numerator.
  fprec_s pfd_rec = {0, 1, 1};
  if (solved) {
    if (dr.w[1] != 0 || dr.w[0] > UINT32_MAX) code |= IC_SOLVER_PFD_DEN;
    if (gr.w[1] != 0) code |= IC_SOLVER_PFD_NUM;
    term_s gf;
    if (factorbigint128(&gf, gr) != 0) {
      code |= IC_SOLVER_FACTOR;
    } else if (gr.w[1] == 0) {
      uint64_t v = gr.w[0];
      for (int32_t i = gf.count - 1; i >= 0 && v > UINT32_MAX; --i) {
        for (uint32_t e = 0; e < gf.t[i].exp && v > UINT32_MAX; ++e) v /= gf.t[i].prime;
      }
      const uint64_t n = v != 0 ? gr.w[0] / v : 0;
      if (n > UINT32_MAX || v > UINT32_MAX || v == 0) code |= IC_SOLVER_PFD_NUM;
      pfd_rec.f = static_cast<uint32_t>(v);
      pfd_rec.n = static_cast<uint32_t>(n);
      pfd_rec.m = static_cast<uint32_t>(dr.w[0]);
    }
  }

  // 12. Unused or unsolved inputs get the largest dividers.
  for (ic_input_s &x : in) {
    if (x.hsdiv == 0 || x.div == 0 || x.freq.f == 0) {
      x.hsdiv = 8;
      x.div = hal->ic_div_max_u32;
    }
  }

  if (code != 0) return code;

  // 13. Solved: dividers, then the PFD from the first used input.
  hal->ic1_hsdiv_u8 = in[0].hsdiv;
  hal->ic1_div_u32 = in[0].div;
  hal->ic2_hsdiv_u8 = in[1].hsdiv;
  hal->ic2_div_u32 = in[1].div;
  hal->ic3_hsdiv_u8 = in[2].hsdiv;
  hal->ic3_div_u32 = in[2].div;
  fprec_s pfd = pfd_rec;
  for (const ic_input_s &x : in) {
    if (!x.used) continue;
    const uint64_t den = static_cast<uint64_t>(x.freq.m) * x.hsdiv * x.div;
    const uint64_t gg = gcd(x.freq.n, den);
    if (den / gg <= UINT32_MAX) {
      pfd.f = x.freq.f;
      pfd.n = static_cast<uint32_t>(x.freq.n / gg);
      pfd.m = static_cast<uint32_t>(den / gg);
    }
    break;
  }
  if (hal->pfd_div_lock_u16 != 0 && fprec_compare(pfd, hal->pfd_freq_s) != 0) {
    put_msg(hal, "ERROR: DSP rate is locked and new PFD frequency is required: Unlock the DSP rate.");
  } else {
    hal->pfd_freq_s = pfd;
  }
  return code;
}
