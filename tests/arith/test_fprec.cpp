#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>

#include "arith/fprec.h"

namespace {

using u128 = unsigned __int128;
constexpr int64_t kMin64 = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax64 = std::numeric_limits<int64_t>::max();

fprec_s rec(uint32_t f, uint32_t n, uint32_t m) {
  fprec_s p;
  set_fprec_s(&p, f, n, m);
  return p;
}

// Scales {f, n, m} and checks the status and the resulting record.
void expect_scale(fprec_s p, uint64_t mul, uint64_t div, int32_t status, fprec_s want) {
  EXPECT_EQ(fprec_scale(&p, mul, div), status);
  EXPECT_EQ(p.f, want.f);
  EXPECT_EQ(p.n, want.n);
  EXPECT_EQ(p.m, want.m);
}

TEST(FprecMhz, ValuesAndLastBit) {
  EXPECT_EQ(fprec_s_2_double_mhz(rec(2500, 1, 1)), 0.0025);
  EXPECT_EQ(fprec_s_2_double_mhz(rec(0, 1, 1)), 0.0);
  EXPECT_EQ(fprec_s_2_double_mhz(rec(5, 1, 0)), 0.0);
  EXPECT_EQ(fprec_s_2_double_mhz(rec(4000000000u, 3000000000u, 3000000000u)), 4000.0);  // unsigned
  // The base is scaled by 1e-6 first: 19440000 Hz is not 19.44 exactly.
  EXPECT_EQ(fprec_s_2_double_mhz(rec(19440000, 1, 1)), 0x1.370a3d70a3d70p+4);
  // Ratio, then scaled base, then product; other orders round these differently.
  EXPECT_EQ(fprec_s_2_double_mhz(rec(1095513149, 506456970, 2127877500)), 0x1.04be57580c04ap+8);
  EXPECT_EQ(fprec_s_2_double_mhz(rec(3098990847u, 3443818038u, 982526258u)), 0x1.53714e443d80dp+13);
}

TEST(Gcd, NeverZero) {
  EXPECT_EQ(gcd(0, 7), 1u);
  EXPECT_EQ(gcd(7, 0), 1u);
  EXPECT_EQ(gcd(0, 0), 1u);
  EXPECT_EQ(gcd(12, 18), 6u);
  EXPECT_EQ(gcd(uint64_t{1} << 63, uint64_t{3} << 62), uint64_t{1} << 62);
  EXPECT_EQ(gcd(18446744073709551557ull, uint64_t{1} << 63), 1u);
}

TEST(FprecScale, ReductionOverflowAndWrap) {
  expect_scale(rec(1000, 1, 1), 1, 2, 0, rec(500, 1, 1));
  expect_scale(rec(625000000, 3, 7), 4, 6, 0, rec(625000000, 2, 7));
  expect_scale(rec(1000, 6, 8), 1, 1, 0, rec(250, 3, 1));
  // Reduced before narrowing: 12e9 / 3 fits.
  expect_scale(rec(1, 4000000000u, 3), 3, 1, 0, rec(1, 4000000000u, 1));
  // A field that does not fit becomes 1.
  expect_scale(rec(7, 4000000000u, 1), 3, 1, 1, rec(7, 1, 1));
  expect_scale(rec(7, 1, 4000000000u), 1, 3, 1, rec(7, 1, 1));
  // The 64-bit products wrap: 2^31 x 2^33 = 0, 3 x 0x5555555555555556 = 2.
  expect_scale(rec(7, 0x80000000u, 1), uint64_t{1} << 33, 1, 0, rec(7, 0, 1));
  expect_scale(rec(7, 3, 1), 0x5555555555555556ull, 1, 0, rec(7, 2, 1));
  // mul 0: n = 0 over the unreduced m (gcd with 0 is 1), which then shares 20 with f.
  expect_scale(rec(1000, 3, 4), 0, 5, 0, rec(50, 0, 1));
  // div 0: no frequency, f kept.
  expect_scale(rec(1000, 3, 4), 5, 0, 0, rec(1000, 15, 0));
}

TEST(FprecScale, RandomScalesKeepExactValueInReducedForm) {
  std::mt19937_64 rng(20240601);
  auto draw = [&rng](unsigned max_bits) {  // 1 .. 2^bits, bits random
    const unsigned bits = 1 + static_cast<unsigned>(rng() % max_bits);
    return 1 + rng() % ((uint64_t{1} << bits) - 1);
  };
  int exact = 0;
  for (int i = 0; i < 20000; ++i) {
    const fprec_s in = rec(static_cast<uint32_t>(rng()), static_cast<uint32_t>(draw(32)),
                           static_cast<uint32_t>(draw(32)));
    const uint64_t mul = draw(24);
    const uint64_t div = draw(24);
    fprec_s p = in;
    const int32_t st = fprec_scale(&p, mul, div);
    ASSERT_NE(p.m, 0u);
    EXPECT_EQ(std::gcd(p.n, p.m), 1u) << i;
    if (p.f != 0) {
      EXPECT_EQ(std::gcd(p.f, p.m), 1u) << i;
    }
    if (st == 0) {
      // f n mul / (m div) == p.f p.n / p.m; both cross products stay below 2^120.
      const u128 lhs = static_cast<u128>(static_cast<uint64_t>(in.f) * in.n) * mul * p.m;
      const u128 rhs = static_cast<u128>(static_cast<uint64_t>(p.f) * p.n) * in.m * div;
      EXPECT_TRUE(lhs == rhs) << i;
      ++exact;
    }
  }
  EXPECT_GT(exact, 5000);
  EXPECT_LT(exact, 20000);  // some scales overflowed
}

TEST(FprecCompare, ExactCrossProductsAndZeroDenominator) {
  EXPECT_EQ(fprec_compare(rec(100, 1, 3), rec(33, 1, 1)), 1);
  EXPECT_EQ(fprec_compare(rec(33, 1, 1), rec(100, 1, 3)), -1);
  EXPECT_EQ(fprec_compare(rec(100, 1, 4), rec(25, 1, 1)), 0);
  // 96-bit cross products one apart: (2^32-1)(2^32-3) < (2^32-2)^2.
  const fprec_s a = rec(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFEu);
  const fprec_s b = rec(0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFDu);
  EXPECT_EQ(fprec_compare(a, b), -1);
  EXPECT_EQ(fprec_compare(b, a), 1);
  // m = 0 acts as 1.
  EXPECT_EQ(fprec_compare(rec(5, 1, 0), rec(5, 1, 1)), 0);
  EXPECT_EQ(fprec_compare(rec(5, 2, 0), rec(9, 1, 1)), 1);
  EXPECT_EQ(fprec_compare(rec(9, 1, 1), rec(5, 2, 0)), -1);
}

TEST(Jround, HalfAwayFromZeroAndRange) {
  EXPECT_EQ(jround(0.5), 1);
  EXPECT_EQ(jround(-0.5), -1);
  EXPECT_EQ(jround(1.49999), 1);
  EXPECT_EQ(jround(2.5), 3);
  EXPECT_EQ(jround(-2.5), -3);
  EXPECT_EQ(jround(-0.4), 0);
  // x + 0.5 rounds before the floor: the largest double below 0.5 gives 1.
  EXPECT_EQ(jround(0.49999999999999994), 1);
  EXPECT_EQ(jround(4611686018427387904.0), INT64_C(4611686018427387904));
  EXPECT_EQ(jround(-9223372036854775808.0), kMin64);
  EXPECT_EQ(jround(9223372036854775808.0), kMax64);
  EXPECT_EQ(jround(1e300), kMax64);
  EXPECT_EQ(jround(-std::numeric_limits<double>::infinity()), kMin64);
  EXPECT_EQ(jround(std::nan("")), kMin64);
}

TEST(Conversions, UnsignedLogAndPowers) {
  EXPECT_EQ(uint16x_2_double(0xFFFFFFFFu), 4294967295.0);
  EXPECT_EQ(uint64x_2_double(12345), 12345.0);
  EXPECT_EQ(uint64x_2_double(uint64_t{1} << 63), 9223372036854775808.0);
  EXPECT_EQ(uint64x_2_double(UINT64_MAX), 18446744073709551616.0);
  // Two roundings: the low 63 bits (2^62 + 2^10 + 1 -> 2^62 + 2^10), then the sum ties to even;
  // one conversion would give 2^63 + 2^62 + 2^11.
  EXPECT_EQ(uint64x_2_double((uint64_t{3} << 62) + 1025), 13835058055282163712.0);
  EXPECT_EQ(double_log2(8.0), 3.0);
  EXPECT_NEAR(double_log2(1e6), 19.931568569324174, 1e-12);
  EXPECT_EQ(pow2_u64(0), 1u);
  EXPECT_EQ(pow2_u64(63), 9223372036854775808u);
  EXPECT_EQ(pow2_u64(64), 0u);
  EXPECT_EQ(pow2_u64(0xFFFFFFFFu), 0u);
}

}  // namespace
