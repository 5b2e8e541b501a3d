#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "arith/prime.h"
#include "tests/arith/u128_util.h"

namespace {

using factor_map = std::map<uint32_t, uint32_t>;

bool is_prime_by_division(uint64_t v) {
  if (v < 2 || (v % 2 == 0 && v != 2)) return false;
  for (uint64_t d = 3; d * d <= v; d += 2) {
    if (v % d == 0) return false;
  }
  return true;
}

// Factorises v into a list filled with junk and checks the status and the exact list: primes
// increasing, exponents at least 1, every entry from count on cleared.
void expect_factors(u128 v, int32_t status, const factor_map &expected) {
  SCOPED_TRACE(dec(v));
  term_s t;
  std::fill(std::begin(t.t), std::end(t.t), term_entry_s{0xDEAD, 0xBEEF});
  ASSERT_EQ(factorbigint128(&t, big(v)), status);
  ASSERT_GE(t.count, 0);
  factor_map got;
  for (int i = 0; i < t.count; ++i) {
    EXPECT_GE(t.t[i].exp, 1u);
    if (i > 0) {
      EXPECT_LT(t.t[i - 1].prime, t.t[i].prime);
    }
    got[t.t[i].prime] = t.t[i].exp;
  }
  EXPECT_EQ(got, expected);
  for (int i = t.count; i < 200; ++i) {
    ASSERT_TRUE(t.t[i].prime == 0 && t.t[i].exp == 0) << i;
  }
}

// A random prime of exactly 'bits' bits (bits <= 32).
uint32_t random_prime(std::mt19937_64 &rng, unsigned bits) {
  const uint64_t lo = uint64_t{1} << (bits - 1);
  for (;;) {
    uint64_t c = (lo + rng() % lo) | 1;
    while (c < 2 * lo && !is_prime_by_division(c)) c += 2;
    if (c < 2 * lo) return static_cast<uint32_t>(c);
  }
}

TEST(NextPrime, AgreesWithSieveAndWrapsAtTop) {
  std::vector<bool> composite(70100, false);
  for (uint32_t i = 2; i * i < composite.size(); ++i) {
    for (uint32_t j = i * i; j < composite.size(); j += i) composite[j] = true;
  }
  uint32_t next = 2;
  for (uint32_t x = 0; x < 70000; ++x) {
    if (x >= next) {
      for (next = x + 1; composite[next];) ++next;
    }
    ASSERT_EQ(nextPrime(x), next) << x;
  }
  EXPECT_EQ(nextPrime(4293001440u), 4293001469u);  // skips 65521^2, the top divisor
  EXPECT_EQ(nextPrime(4294967290u), 4294967291u);
  EXPECT_EQ(nextPrime(4294967291u), 2u);  // 32-bit: wraps above the largest prime
  EXPECT_EQ(nextPrime(0xFFFFFFFFu), 2u);
}

TEST(FactorBigint128, Examples) {
  const u128 p61 = (static_cast<u128>(1) << 61) - 1, p40 = from_dec("1099511627791");
  const uint32_t p = 4294967291u, q = 4294967279u, r = 4294967231u, s = 4294967197u;
  const struct { u128 v; int32_t status; factor_map f; } cases[] = {
      {40000, 0, {{2, 6}, {5, 4}}},
      {1, 0, {}},
      {0, 0, {}},  // divisible by every prime: no list
      {static_cast<u128>(1) << 127, 0, {{2, 127}}},
      {4099, 0, {{4099, 1}}},  // first prime past the small-prime table
      {static_cast<u128>(625000000) * 19440000 * 156250000, 0, {{2, 17}, {3, 5}, {5, 24}}},
      {UINT64_MAX, 0, {{3, 1}, {5, 1}, {17, 1}, {257, 1}, {641, 1}, {65537, 1}, {6700417, 1}}},
      // Passes Miller-Rabin to the bases 2 .. 31, yet must be split.
      {from_dec("3825123056546413051") << 10, 0, {{2, 10}, {149491, 1}, {747451, 1}, {34233211, 1}}},
      // The largest 32-bit primes.
      {static_cast<u128>(p) * p * p, 0, {{p, 3}}},
      {static_cast<u128>(p) * q * r * s, 0, {{s, 1}, {r, 1}, {q, 1}, {p, 1}}},
      {static_cast<u128>(p) * q * q * 3, 0, {{3, 1}, {q, 2}, {p, 1}}},
      // Prime factors above 32 bits: status 1, the factors below listed.
      {p61 * from_dec("1125899906842597") * 24, 1, {{2, 3}, {3, 1}}},
      {(static_cast<u128>(1) << 127) - 1, 1, {}},
      {4294967311u, 1, {}},  // smallest prime above 2^32
      {from_dec("18446744073709551557") * 4294967291u * 7, 1, {{7, 1}, {4294967291u, 1}}},
      {p40 * p40 * p40, 1, {}},
      {p40 * from_dec("8589934609") * 5, 1, {{5, 1}}},
      // One factor below 2^32 beside a prime far above it: the wide part must still be split.
      {from_dec("18446744073709551629") * q, 1, {{q, 1}}},
      {from_dec("628080025866562937957") * r, 1, {{r, 1}}},
      {from_dec("799739375510530361920766019763") * 33554393, 1, {{33554393, 1}}},
      // 2^128 - 9 = 13 3889 467443687 39463029637 364870227143809.
      {~static_cast<u128>(0) - 8, 1, {{13, 1}, {3889, 1}, {467443687, 1}}},
  };
  for (const auto &c : cases) expect_factors(c.v, c.status, c.f);
}

// Random products of primes: mostly the smallest, some on both sides of the small-prime
// table's end, now and then one of 17 to 32 bits; exponents up to 12.
TEST(FactorBigint128, RandomProducts) {
  std::mt19937_64 rng(12345);
  std::vector<uint32_t> primes;
  for (uint32_t p = 2; p < 6000; ++p) {
    if (is_prime_by_division(p)) primes.push_back(p);
  }
  for (int i = 0; i < 1000; ++i) {
    u128 v = 1;
    factor_map expected;
    for (int k = 1 + static_cast<int>(rng() % 10); k > 0; --k) {
      const uint64_t r = rng() % 8;
      const uint32_t p = r < 5 ? primes[rng() % 40]
                         : r < 7 || i % 8 != 0 ? primes[rng() % primes.size()]
                                               : random_prime(rng, 17 + static_cast<unsigned>(rng() % 16));
      const int e = 1 + static_cast<int>(rng() % (rng() % 3 == 0 ? 12 : 2));
      for (int j = 0; j < e && v <= ~static_cast<u128>(0) / p; ++j) v *= p, ++expected[p];
    }
    expect_factors(v, 0, expected);
    if (HasFailure()) return;
  }
}

TEST(IsPrimeBigint128, SmallValuesLargePrimesAndPseudoprimes) {
  std::mt19937_64 rng(3);
  for (uint64_t i = 0; i < 40000; ++i) {
    const uint64_t v = i < 30000 ? i : rng() >> (24 + rng() % 16);
    ASSERT_EQ(isPrimebigint128(big(v)), is_prime_by_division(v) ? 1 : 0) << v;
  }
  const char *primes[] = {"2305843009213693951", "18446744073709551557", "18446744073709551629",
                          "618970019642690137449562111",             // 2^89 - 1
                          "799739375510530361920766019763",
                          "170141183460469231731687303715884105727",  // 2^127 - 1
                          "340282366920938463463374607431768211297"};  // 2^128 - 159
  for (const char *s : primes) EXPECT_EQ(isPrimebigint128(big(from_dec(s))), 1) << s;
  const char *composites[] = {
      "3215031751",
      "318665857834031151167461",   // strong pseudoprime to the bases 2 .. 37
      "3317044064679887385961981",  // strong pseudoprime to the bases 2 .. 41
      "42535311881159860887629474302258718101",   // strong pseudoprime to base 2
      "340282366920938463463374607431768211455",  // 2^128 - 1
      "340282366920938461286658806734041124249"};  // (2^64 - 59)^2
  for (const char *s : composites) EXPECT_EQ(isPrimebigint128(big(from_dec(s))), 0) << s;
}

}  // namespace
