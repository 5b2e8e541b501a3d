#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "arith/bigint128.h"
#include "tests/arith/u128_util.h"

namespace {

const u128 kMax = ~static_cast<u128>(0);

// src * m with its overflow indication.
u128 mpy(u128 src, uint64_t m, uint32_t *ov) {
  const bigint128 s = big(src);
  bigint128 d;
  *ov = 99;
  bigint128x64Mpy(ov, &d, &s, m);
  return val(d);
}

TEST(Bigint128, EdgesAndResultsOverTheirOperands) {
  uint32_t ov;
  // Bits above 64 in the high product alone; a carry out of the sum alone; exactly 2^128.
  EXPECT_TRUE(mpy(static_cast<u128>(1) << 104, uint64_t{1} << 30, &ov) == 0 && ov != 0);
  const u128 s = (static_cast<u128>(1) << 65) - 1;
  EXPECT_TRUE(mpy(s, UINT64_MAX, &ov) == s * UINT64_MAX && ov != 0);
  EXPECT_TRUE(mpy(static_cast<u128>(1) << 127, 2, &ov) == 0 && ov != 0);
  EXPECT_TRUE(mpy(static_cast<u128>(1) << 64, UINT64_MAX, &ov) == kMax - UINT64_MAX && ov == 0);
  bigint128 a = big(static_cast<u128>(5) << 64 | 3);
  bigint128x64Mpy(&ov, &a, &a, 7);
  EXPECT_TRUE(val(a) == (static_cast<u128>(35) << 64 | 21));
  a = big(static_cast<u128>(1) << 127);
  bigint128Add(&ov, &a, &a, &a);
  EXPECT_TRUE(val(a) == 0 && ov == 1);
  // Quotient over a and remainder over b, then the other way round.
  bigint128 b = big(1000);
  a = big(1000003);
  bigint128Div(&a, &b, &a, &b);
  EXPECT_TRUE(val(a) == 1000 && val(b) == 3);
  a = big(1000003), b = big(1000);
  bigint128Div(&b, &a, &a, &b);
  EXPECT_TRUE(val(b) == 1000 && val(a) == 3);
  // ReduceMN: both zero stay zero; 0 and n become 0 and 1.
  bigint128 m = big(0), n = big(0);
  bigint128ReduceMN(&m, &n);
  EXPECT_TRUE(val(m) == 0 && val(n) == 0);
  n = big(35);
  bigint128ReduceMN(&m, &n);
  EXPECT_TRUE(val(m) == 0 && val(n) == 1);
}

TEST(Bigint128, RandomAgainstCompilerInteger) {
  std::mt19937_64 rng(7);
  auto draw = [&rng]() -> u128 {  // every magnitude, with zero and all-ones mixed in
    switch (rng() % 8) {
      case 0: return 0;
      case 1: return kMax - rng() % 3;
      case 2: return static_cast<u128>(rng()) << 64;
      default: return ((static_cast<u128>(rng()) << 64) | rng()) >> (rng() % 128);
    }
  };
  for (int i = 0; i < 20000; ++i) {
    const u128 x = draw();
    const u128 y = draw();
    const bigint128 a = big(x);
    const bigint128 b = big(y);
    SCOPED_TRACE(testing::Message() << "case " << i);
    ASSERT_EQ(bigint128Compare(&a, &b), x > y ? 1 : (x < y ? -1 : 0));
    bigint128 d;
    bigint128Copy(&d, &a);
    ASSERT_EQ(bigint128Compare(&d, &a), 0);
    uint32_t flag;
    bigint128Add(&flag, &d, &a, &b);
    ASSERT_TRUE(val(d) == x + y);
    ASSERT_EQ(flag, x + y < x ? 1u : 0u);

    const uint64_t m = b.w[rng() % 2] >> (rng() % 64);
    ASSERT_TRUE(mpy(x, m, &flag) == x * m);
    ASSERT_EQ(flag != 0, m != 0 && x > kMax / m);
    bigint128Mpy64x64(&d, a.w[0], m);
    ASSERT_TRUE(val(d) == static_cast<u128>(a.w[0]) * m);

    bigint128 q;
    bigint128 r;
    bigint128Div(&q, &r, &a, &b);
    ASSERT_TRUE(val(q) == (y == 0 ? kMax : x / y));
    ASSERT_TRUE(val(r) == (y == 0 ? x : x % y));

    bigint128 g;
    bigint128Gcd(&g, &a, &b);
    const u128 gv = val(g);
    if (x == 0 || y == 0) {
      ASSERT_TRUE(gv == (x | y));
      continue;
    }
    // A common divisor whose cofactors are coprime, which ReduceMN leaves.
    ASSERT_TRUE(x % gv == 0 && y % gv == 0);
    bigint128 rm = a;
    bigint128 rn = b;
    bigint128ReduceMN(&rm, &rn);
    ASSERT_TRUE(val(rm) == x / gv && val(rn) == y / gv);
    bigint128Gcd(&g, &rm, &rn);
    ASSERT_TRUE(val(g) == 1);
  }
}

}  // namespace
