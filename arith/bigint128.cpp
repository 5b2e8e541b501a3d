#include "arith/bigint128.h"

namespace {

using u128 = unsigned __int128;

u128 to_u128(const bigint128 *x) { return (static_cast<u128>(x->w[1]) << 64) | x->w[0]; }

void from_u128(bigint128 *dst, u128 v) {
  dst->w[0] = static_cast<uint64_t>(v);
  dst->w[1] = static_cast<uint64_t>(v >> 64);
}

}  // namespace

void bigint128Set(bigint128 *dst, uint64_t lo, uint64_t hi) {
  dst->w[0] = lo;
  dst->w[1] = hi;
}

void bigint128Set0(bigint128 *dst) { bigint128Set(dst, 0, 0); }

void bigint128Set1(bigint128 *dst) { bigint128Set(dst, 1, 0); }

void bigint128Copy(bigint128 *dst, const bigint128 *src) {
  const bigint128 v = *src;
  *dst = v;
}

int32_t bigint128Compare(const bigint128 *a, const bigint128 *b) {
  if (a->w[1] != b->w[1]) return a->w[1] > b->w[1] ? 1 : -1;
  if (a->w[0] != b->w[0]) return a->w[0] > b->w[0] ? 1 : -1;
  return 0;
}

void bigint128Mpy64x64(bigint128 *dst, uint64_t a, uint64_t b) {
  from_u128(dst, static_cast<u128>(a) * b);
}

void bigint128x64Mpy(uint32_t *overflow, bigint128 *dst, const bigint128 *src, uint64_t m) {
  // Two 64 x 64 products; the high one is shifted up by 64 bits. The product needs more
  // than 128 bits when the high product has bits above 64 or the sum carries out.
  const u128 lo = static_cast<u128>(src->w[0]) * m;
  const u128 hi = static_cast<u128>(src->w[1]) * m;
  const uint64_t hi_low = static_cast<uint64_t>(hi);
  const uint64_t hi_high = static_cast<uint64_t>(hi >> 64);
  const uint64_t top = static_cast<uint64_t>(lo >> 64) + hi_low;
  const bool carry = top < hi_low;
  dst->w[0] = static_cast<uint64_t>(lo);
  dst->w[1] = top;
  *overflow = (hi_high != 0 || carry) ? 1u : 0u;
}

void bigint128Add(uint32_t *carry, bigint128 *dst, const bigint128 *a, const bigint128 *b) {
  const u128 x = to_u128(a);
  const u128 sum = x + to_u128(b);
  *carry = sum < x ? 1u : 0u;
  from_u128(dst, sum);
}

void bigint128Div(bigint128 *quot, bigint128 *rem, const bigint128 *a, const bigint128 *b) {
  const u128 x = to_u128(a);
  const u128 y = to_u128(b);
  u128 q;
  u128 r;
  if (y == 0) {
    // Long division by zero subtracts nothing: every quotient bit is set, a stays over.
    q = ~static_cast<u128>(0);
    r = x;
  } else {
    q = x / y;
    r = x % y;
  }
  from_u128(quot, q);
  from_u128(rem, r);
}

void bigint128Gcd(bigint128 *dst, const bigint128 *a, const bigint128 *b) {
  u128 x = to_u128(a);
  u128 y = to_u128(b);
  while (y != 0) {
    const u128 r = x % y;
    x = y;
    y = r;
  }
  from_u128(dst, x);
}

void bigint128ReduceMN(bigint128 *m, bigint128 *n) {
  bigint128 g;
  bigint128Gcd(&g, m, n);
  const u128 gv = to_u128(&g);
  if (gv == 0) return;  // both zero: nothing to divide
  const u128 rm = to_u128(m) / gv;
  const u128 rn = to_u128(n) / gv;
  from_u128(m, rm);
  from_u128(n, rn);
}
