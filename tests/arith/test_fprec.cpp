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

TEST(Fprec, MegahertzGcdAndCompare) {
  const struct { fprec_s p; double mhz; } mhz[] = {
      {rec(2500, 1, 1), 0.0025}, {rec(5, 1, 0), 0.0},
      {rec(4000000000u, 3000000000u, 3000000000u), 4000.0},  // unsigned fields
      // The base is scaled by 1e-6 first, the ratio taken first: other orders round these
      // differently.
      {rec(19440000, 1, 1), 0x1.370a3d70a3d70p+4},
      {rec(1095513149, 506456970, 2127877500), 0x1.04be57580c04ap+8},
      {rec(3098990847u, 3443818038u, 982526258u), 0x1.53714e443d80dp+13}};
  for (const auto &c : mhz) EXPECT_EQ(fprec_s_2_double_mhz(c.p), c.mhz) << c.p.f;
  const uint64_t g[][3] = {{0, 7, 1}, {7, 0, 1}, {0, 0, 1}, {12, 18, 6}, {uint64_t{1} << 63, uint64_t{3} << 62, uint64_t{1} << 62},
                           {18446744073709551557ull, uint64_t{1} << 63, 1}};
  for (const auto &c : g) EXPECT_EQ(gcd(c[0], c[1]), c[2]) << c[0] << " " << c[1];
  const struct { fprec_s a, b; int32_t cmp; } cmp[] = {
      {rec(100, 1, 3), rec(33, 1, 1), 1}, {rec(100, 1, 4), rec(25, 1, 1), 0},
      // 96-bit cross products one apart: (2^32-1)(2^32-3) < (2^32-2)^2.
      {rec(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFEu), rec(0xFFFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFDu), -1},
      {rec(5, 1, 0), rec(5, 1, 1), 0}, {rec(5, 2, 0), rec(9, 1, 1), 1}};  // m = 0 acts as 1
  for (const auto &c : cmp) {
    EXPECT_EQ(fprec_compare(c.a, c.b), c.cmp) << c.a.f;
    EXPECT_EQ(fprec_compare(c.b, c.a), -c.cmp) << c.a.f;
  }
}

TEST(FprecScale, ReductionOverflowAndWrap) {
  const struct { fprec_s in; uint64_t mul, div; int32_t status; fprec_s out; } cases[] = {
      {rec(1000, 1, 1), 1, 2, 0, rec(500, 1, 1)},
      {rec(625000000, 3, 7), 4, 6, 0, rec(625000000, 2, 7)},
      {rec(1000, 6, 8), 1, 1, 0, rec(250, 3, 1)},
      {rec(1, 4000000000u, 3), 3, 1, 0, rec(1, 4000000000u, 1)},  // reduced before narrowing
      {rec(7, 4000000000u, 1), 3, 1, 1, rec(7, 1, 1)},            // a field that does not fit is 1
      {rec(7, 1, 4000000000u), 1, 3, 1, rec(7, 1, 1)},
      {rec(7, 4294967295u, 4294967295u), 1, 1, 0, rec(7, 1, 1)},          // 2^32 - 1 reduces to 1
      {rec(7, 4294967295u, 1), 1, 1, 0, rec(7, 4294967295u, 1)},          // 2^32 - 1 still fits
      {rec(7, 1, 4294967295u), 1, 1, 0, rec(7, 1, 4294967295u)},
      // The 64-bit products wrap: 2^31 x 2^33 = 0, 3 x 0x5555555555555556 = 2.
      {rec(7, 0x80000000u, 1), uint64_t{1} << 33, 1, 0, rec(7, 0, 1)},
      {rec(7, 3, 1), 0x5555555555555556ull, 1, 0, rec(7, 2, 1)},
      // mul 0: n = 0 over the unreduced m (gcd with 0 is 1), which then shares 20 with f.
      {rec(1000, 3, 4), 0, 5, 0, rec(50, 0, 1)},
      {rec(1000, 3, 4), 5, 0, 0, rec(1000, 15, 0)},  // div 0: no frequency, f kept
  };
  for (const auto &c : cases) {
    fprec_s p = c.in;
    EXPECT_EQ(fprec_scale(&p, c.mul, c.div), c.status) << c.in.f << " " << c.mul;
    EXPECT_TRUE(p.f == c.out.f && p.n == c.out.n && p.m == c.out.m) << c.in.f << " " << c.mul;
  }
}

TEST(FprecScale, RandomScalesKeepExactValueInReducedForm) {
  std::mt19937_64 rng(20240601);
  auto draw = [&rng](unsigned max_bits) {  // 1 .. 2^bits, bits random
    const unsigned bits = 1 + static_cast<unsigned>(rng() % max_bits);
    return 1 + rng() % ((uint64_t{1} << bits) - 1);
  };
  int exact = 0;
  for (int i = 0; i < 5000; ++i) {
    const fprec_s in = rec(static_cast<uint32_t>(rng()), static_cast<uint32_t>(draw(32)),
                           static_cast<uint32_t>(draw(32)));
    const uint64_t mul = draw(24);
    const uint64_t div = draw(24);
    fprec_s p = in;
    const int32_t st = fprec_scale(&p, mul, div);
    ASSERT_NE(p.m, 0u);
    ASSERT_EQ(std::gcd(p.n, p.m), 1u) << i;
    if (p.f != 0) {
      ASSERT_EQ(std::gcd(p.f, p.m), 1u) << i;
    }
    if (st != 0) continue;
    // f n mul / (m div) == p.f p.n / p.m; both cross products stay below 2^120.
    const u128 lhs = static_cast<u128>(static_cast<uint64_t>(in.f) * in.n) * mul * p.m;
    const u128 rhs = static_cast<u128>(static_cast<uint64_t>(p.f) * p.n) * in.m * div;
    ASSERT_TRUE(lhs == rhs) << i;
    ++exact;
  }
  EXPECT_GT(exact, 1250);
  EXPECT_LT(exact, 5000);  // some scales overflowed
}

TEST(Fprec, RoundingAndConversions) {
  const struct { double x; int64_t r; } rounds[] = {
      {0.5, 1}, {-0.5, -1}, {1.49999, 1}, {2.5, 3}, {-2.5, -3}, {-0.4, 0},
      {0.49999999999999994, 1},  // x + 0.5 rounds before the floor
      {4611686018427387904.0, INT64_C(4611686018427387904)}, {-9223372036854775808.0, kMin64},
      {9223372036854775808.0, kMax64}, {1e300, kMax64}, {-std::numeric_limits<double>::infinity(), kMin64},
      {std::nan(""), kMin64}};
  for (const auto &c : rounds) EXPECT_EQ(jround(c.x), c.r) << c.x;
  EXPECT_EQ(uint16x_2_double(0xFFFFFFFFu), 4294967295.0);
  EXPECT_EQ(uint64x_2_double(12345), 12345.0);
  EXPECT_EQ(uint64x_2_double(uint64_t{1} << 63), 9223372036854775808.0);
  EXPECT_EQ(uint64x_2_double(UINT64_MAX), 18446744073709551616.0);
  // Two roundings: the low 63 bits (2^62 + 2^10 + 1 -> 2^62 + 2^10), then the sum ties to even.
  EXPECT_EQ(uint64x_2_double((uint64_t{3} << 62) + 1025), 13835058055282163712.0);
  EXPECT_EQ(double_log2(8.0), 3.0);
  EXPECT_NEAR(double_log2(1e6), 19.931568569324174, 1e-12);
  EXPECT_EQ(pow2_u64(0), 1u);
  EXPECT_EQ(pow2_u64(63), 9223372036854775808u);
  EXPECT_EQ(pow2_u64(64), 0u);
}

}  // namespace
