#include "arith/fprec.h"

#include <cmath>
#include <cstdint>
#include <limits>

void set_fprec_s(fprec_s *p, uint32_t f, uint32_t n, uint32_t m) {
  p->f = f;
  p->n = n;
  p->m = m;
}

double fprec_s_2_double_mhz(fprec_s p) {
  if (p.m == 0) return 0.0;
  // The order (ratio first, then the scaled base) fixes the last bit of the result,
  // which the configuration text file prints.
  const double q = static_cast<double>(p.n) / static_cast<double>(p.m);
  return q * (static_cast<double>(p.f) * 1e-6);
}

uint64_t gcd(uint64_t a, uint64_t b) {
  // Callers divide by the result without a test, so a zero on either side yields 1.
  if (a == 0) return 1;
  for (;;) {
    if (b == 0) return 1;
    const uint64_t r = a % b;
    if (r == 0) return b;
    a = b;
    b = r;
  }
}

int32_t fprec_scale(fprec_s *p, uint64_t mul, uint64_t div) {
  int32_t status = 0;
  // 64-bit products; they wrap when both factors are large.
  const uint64_t num = static_cast<uint64_t>(p->n) * mul;
  const uint64_t den = static_cast<uint64_t>(p->m) * div;
  const uint64_t g = gcd(num, den);
  const uint64_t rn = num / g;
  const uint64_t rm = den / g;
  if (rn > UINT32_MAX) {
    p->n = 1;
    status = 1;
  } else {
    p->n = static_cast<uint32_t>(rn);
  }
  if (rm > UINT32_MAX) {
    p->m = 1;
    status = 1;
  } else {
    p->m = static_cast<uint32_t>(rm);
  }
  // Take the common factors of the base and the new denominator out of both; the quotients
  // are no larger than the 32-bit fields they came from.
  const uint64_t g2 = gcd(p->f, p->m);
  p->f = static_cast<uint32_t>(p->f / g2);
  p->m = static_cast<uint32_t>(p->m / g2);
  return status;
}

int32_t fprec_compare(fprec_s a, fprec_s b) {
  // f x n x m reaches 96 bits: compare exact 128-bit cross products.
  unsigned __int128 l = static_cast<unsigned __int128>(static_cast<uint64_t>(a.f) * a.n);
  if (b.m != 0) l *= b.m;
  unsigned __int128 r = static_cast<unsigned __int128>(static_cast<uint64_t>(b.f) * b.n);
  if (a.m != 0) r *= a.m;
  if (l > r) return 1;
  if (l < r) return -1;
  return 0;
}

int64_t jround(double x) {
  double r;
  if (x >= 0.0 || std::isnan(x)) {
    r = std::floor(x + 0.5);
  } else {
    r = std::ceil(x - 0.5);
  }
  // A double outside the 64-bit range has no integer: NaN gives the lowest value (so a
  // register conversion rejects it), larger magnitudes saturate.
  if (std::isnan(r)) return std::numeric_limits<int64_t>::min();
  if (r >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (r < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(r);
}

double uint16x_2_double(uint32_t x) { return static_cast<double>(x); }

double uint64x_2_double(uint64_t x) {
  // Two steps: the low 63 bits as a signed value, then the top bit as 2^63.
  double r = static_cast<double>(static_cast<int64_t>(x & 0x7FFFFFFFFFFFFFFFull));
  if ((x >> 63) != 0) r += 9223372036854775808.0;
  return r;
}

double double_log2(double x) { return std::log(x) / std::log(2.0); }

uint64_t pow2_u64(uint32_t k) { return k < 64 ? (uint64_t{1} << k) : 0; }
