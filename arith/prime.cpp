#include "arith/prime.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>

// Factorisation gives the list that trial division over successive primes would give, without
// trying every prime below the largest factor: small primes are divided out directly, the rest
// is split with Pollard's rho (Brent's variant) and each piece is proven prime by Miller-Rabin
// (and a strong Lucas test above the range where a fixed set of Miller-Rabin bases is proven).

namespace {

using u64 = uint64_t;
using u128 = unsigned __int128;

// ---------------------------------------------------------------------------------------------
// Small primes, tried by exact division. For odd p, x is a multiple of p exactly when
// x * p^-1 (mod 2^k) <= (2^k - 1) / p, and that product is then the quotient.

constexpr uint32_t kTrialBound = 4096;

struct small_prime_s {
  uint32_t p;
  u64 inv64;
  u64 lim64;
  u128 inv128;
  u128 lim128;
};

constexpr bool is_small_prime(uint32_t v) {
  if (v < 2) return false;
  for (uint32_t d = 2; d * d <= v; ++d) {
    if (v % d == 0) return false;
  }
  return true;
}

constexpr size_t count_odd_primes_below(uint32_t bound) {
  size_t c = 0;
  for (uint32_t v = 3; v < bound; v += 2) {
    if (is_small_prime(v)) ++c;
  }
  return c;
}

constexpr size_t kSmallPrimeCount = count_odd_primes_below(kTrialBound);

constexpr u128 inverse_mod_2_128(u128 p) {
  u128 x = p;  // correct to 3 bits for odd p; each Newton step doubles that
  for (int i = 0; i < 6; ++i) x *= 2 - p * x;
  return x;
}

constexpr std::array<small_prime_s, kSmallPrimeCount> make_small_primes() {
  std::array<small_prime_s, kSmallPrimeCount> t{};
  size_t i = 0;
  for (uint32_t v = 3; v < kTrialBound; v += 2) {
    if (!is_small_prime(v)) continue;
    const u128 inv = inverse_mod_2_128(v);
    t[i].p = v;
    t[i].inv64 = static_cast<u64>(inv);
    t[i].lim64 = UINT64_MAX / v;
    t[i].inv128 = inv;
    t[i].lim128 = ~static_cast<u128>(0) / v;
    ++i;
  }
  return t;
}

constexpr std::array<small_prime_s, kSmallPrimeCount> kSmallPrimes = make_small_primes();

// First prime that trial division does not try.
constexpr uint32_t first_untried_prime() {
  uint32_t v = kTrialBound;
  while (!is_small_prime(v)) ++v;
  return v;
}

constexpr uint32_t kFirstUntried = first_untried_prime();

constexpr u128 kU64Top = static_cast<u128>(1) << 64;

int ctz128(u128 x) {
  const u64 lo = static_cast<u64>(x);
  if (lo != 0) return __builtin_ctzll(lo);
  return 64 + __builtin_ctzll(static_cast<u64>(x >> 64));
}

u128 gcd128(u128 a, u128 b) {
  if (a == 0) return b;
  if (b == 0) return a;
  const int shift = ctz128(a | b);
  a >>= ctz128(a);
  while (b != 0) {
    b >>= ctz128(b);
    if (a > b) std::swap(a, b);
    b -= a;
  }
  return a << shift;
}

u64 gcd64(u64 a, u64 b) {
  if (a == 0) return b;
  if (b == 0) return a;
  const int shift = __builtin_ctzll(a | b);
  a >>= __builtin_ctzll(a);
  while (b != 0) {
    b >>= __builtin_ctzll(b);
    if (a > b) std::swap(a, b);
    b -= a;
  }
  return a << shift;
}

// ---------------------------------------------------------------------------------------------
// Montgomery arithmetic modulo an odd n, residues kept in [0, n). R = 2^64 or 2^128.

struct mont64_s {
  using word = u64;
  u64 n;
  u64 ninv;  // n^-1 mod 2^64
  u64 one;   // R mod n

  explicit mont64_s(u64 modulus) : n(modulus), ninv(0), one(0) {
    u64 x = modulus;
    for (int i = 0; i < 5; ++i) x *= 2 - modulus * x;
    ninv = x;
    one = static_cast<u64>((kU64Top) % modulus);
  }
  // a * b / R mod n for a, b < n: a*b - m*n is a multiple of R, and its high word is
  // the difference of the high words.
  u64 mul(u64 a, u64 b) const {
    const u128 t = static_cast<u128>(a) * b;
    const u64 m = static_cast<u64>(t) * ninv;
    const u64 mh = static_cast<u64>((static_cast<u128>(m) * n) >> 64);
    const u64 th = static_cast<u64>(t >> 64);
    return th >= mh ? th - mh : th - mh + n;
  }
  u64 add(u64 a, u64 b) const {
    const u64 s = a + b;
    return (s < a || s >= n) ? s - n : s;
  }
  u64 sub(u64 a, u64 b) const { return a >= b ? a - b : a - b + n; }
  u64 half(u64 a) const { return (a & 1) == 0 ? a >> 1 : (a >> 1) + (n >> 1) + 1; }
  static u64 gcd(u64 a, u64 b) { return gcd64(a, b); }
};

// 128 x 128 -> 256-bit product.
inline void mul_wide(u128 a, u128 b, u128 *lo, u128 *hi) {
  const u64 a0 = static_cast<u64>(a);
  const u64 a1 = static_cast<u64>(a >> 64);
  const u64 b0 = static_cast<u64>(b);
  const u64 b1 = static_cast<u64>(b >> 64);
  const u128 p00 = static_cast<u128>(a0) * b0;
  const u128 p01 = static_cast<u128>(a0) * b1;
  const u128 p10 = static_cast<u128>(a1) * b0;
  const u128 p11 = static_cast<u128>(a1) * b1;
  const u128 mid = (p00 >> 64) + static_cast<u64>(p01) + static_cast<u64>(p10);
  *lo = static_cast<u64>(p00) | (mid << 64);
  *hi = p11 + (p01 >> 64) + (p10 >> 64) + (mid >> 64);
}

struct mont128_s {
  using word = u128;
  u128 n;
  u128 ninv;  // n^-1 mod 2^128
  u128 one;   // R mod n

  explicit mont128_s(u128 modulus) : n(modulus), ninv(0), one(0) {
    ninv = inverse_mod_2_128(modulus);
    one = (~static_cast<u128>(0) % modulus + 1) % modulus;  // 2^128 mod n
  }
  u128 reduce(u128 lo, u128 hi) const {
    const u128 m = lo * ninv;
    u128 mlo;
    u128 mhi;
    mul_wide(m, n, &mlo, &mhi);
    return hi >= mhi ? hi - mhi : hi - mhi + n;
  }
  u128 mul(u128 a, u128 b) const {
    u128 lo;
    u128 hi;
    mul_wide(a, b, &lo, &hi);
    return reduce(lo, hi);
  }
  u128 add(u128 a, u128 b) const {
    const u128 s = a + b;
    return (s < a || s >= n) ? s - n : s;
  }
  u128 sub(u128 a, u128 b) const { return a >= b ? a - b : a - b + n; }
  u128 half(u128 a) const { return (a & 1) == 0 ? a >> 1 : (a >> 1) + (n >> 1) + 1; }
  static u128 gcd(u128 a, u128 b) { return gcd128(a, b); }
};

// Montgomery form of a small integer, by doubling and adding R mod n.
template <class M>
typename M::word from_small(const M &mt, u64 a) {
  typename M::word r = 0;
  for (int bit = 63; bit >= 0; --bit) {
    r = mt.add(r, r);
    if ((a >> bit) & 1) r = mt.add(r, mt.one);
  }
  return r;
}

template <class M>
typename M::word pow_mod(const M &mt, typename M::word base, typename M::word e) {
  typename M::word r = mt.one;
  while (e != 0) {
    if (e & 1) r = mt.mul(r, base);
    base = mt.mul(base, base);
    e >>= 1;
  }
  return r;
}

// Strong probable-prime test to the base a (Montgomery form), n - 1 = d * 2^s.
template <class M>
bool strong_probable_prime(const M &mt, typename M::word a, typename M::word d, int s) {
  const typename M::word minus_one = mt.n - mt.one;
  if (a == 0) return true;  // base is a multiple of n: says nothing
  typename M::word x = pow_mod(mt, a, d);
  if (x == mt.one || x == minus_one) return true;
  for (int i = 1; i < s; ++i) {
    x = mt.mul(x, x);
    if (x == minus_one) return true;
    if (x == mt.one) return false;
  }
  return false;
}

// Jacobi symbol (a / n) for odd n.
int jacobi(u128 a, u128 n) {
  a %= n;
  int t = 1;
  while (a != 0) {
    while ((a & 1) == 0) {
      a >>= 1;
      const unsigned r = static_cast<unsigned>(n & 7);
      if (r == 3 || r == 5) t = -t;
    }
    std::swap(a, n);
    if ((a & 3) == 3 && (n & 3) == 3) t = -t;
    a %= n;
  }
  return n == 1 ? t : 0;
}

bool is_square(u128 n) {
  u128 r = static_cast<u128>(std::sqrt(static_cast<long double>(n)));
  if (r > UINT64_MAX) r = UINT64_MAX;
  while (r * r > n) --r;
  while (r < UINT64_MAX && (r + 1) * (r + 1) <= n) ++r;
  return r * r == n;
}

// Strong Lucas probable-prime test with Selfridge's parameters (P = 1, Q = (1 - D) / 4);
// together with the base-2 test this is the Baillie-PSW test. n odd, n >= 2^64.
bool strong_lucas_probable_prime(const mont128_s &mt) {
  const u128 n = mt.n;
  if (is_square(n)) return false;
  int64_t d_sel = 5;
  for (;;) {
    const u128 abs_d = static_cast<u128>(d_sel < 0 ? -d_sel : d_sel);
    int j = jacobi(abs_d, n);
    if (d_sel < 0 && (n & 3) == 3) j = -j;  // (-1 / n) = -1 for n = 3 mod 4
    if (j == -1) break;
    if (j == 0) return false;  // n shares a factor with |D| < n
    d_sel = d_sel < 0 ? -d_sel + 2 : -(d_sel + 2);
  }
  const int64_t q_sel = (1 - d_sel) / 4;
  const u128 dm = d_sel < 0 ? mt.sub(0, from_small(mt, static_cast<u64>(-d_sel)))
                            : from_small(mt, static_cast<u64>(d_sel));
  const u128 qm = q_sel < 0 ? mt.sub(0, from_small(mt, static_cast<u64>(-q_sel)))
                            : from_small(mt, static_cast<u64>(q_sel));
  if (n == ~static_cast<u128>(0)) return false;  // n + 1 would not fit; 2^128 - 1 is composite
  const u128 np1 = n + 1;
  const int s = ctz128(np1);
  const u128 d = np1 >> s;
  // U_1 = 1, V_1 = P = 1, Q^1.
  u128 u = mt.one;
  u128 v = mt.one;
  u128 qk = qm;
  int top = 127;
  while (((d >> top) & 1) == 0) --top;
  for (int bit = top - 1; bit >= 0; --bit) {
    u = mt.mul(u, v);                       // U_2k = U_k V_k
    v = mt.sub(mt.mul(v, v), mt.add(qk, qk));  // V_2k = V_k^2 - 2 Q^k
    qk = mt.mul(qk, qk);
    if ((d >> bit) & 1) {
      const u128 u2 = mt.half(mt.add(u, v));               // U_2k+1 = (P U + V) / 2
      const u128 v2 = mt.half(mt.add(mt.mul(dm, u), v));   // V_2k+1 = (D U + P V) / 2
      u = u2;
      v = v2;
      qk = mt.mul(qk, qm);
    }
  }
  if (u == 0 || v == 0) return true;
  for (int r = 1; r < s; ++r) {
    v = mt.sub(mt.mul(v, v), mt.add(qk, qk));
    qk = mt.mul(qk, qk);
    if (v == 0) return true;
  }
  return false;
}

// Primality of an odd n that has no factor below the trial bound (so n > 41).
bool is_prime_odd(u128 n) {
  if (n < kU64Top) {
    // These seven bases decide every n below 2^64.
    const u64 n64 = static_cast<u64>(n);
    const mont64_s mt(n64);
    const u64 d = (n64 - 1) >> __builtin_ctzll(n64 - 1);
    const int s = __builtin_ctzll(n64 - 1);
    static constexpr u64 kBases[] = {2, 325, 9375, 28178, 450775, 9780504, 1795265022};
    for (u64 b : kBases) {
      const u64 bm = static_cast<u64>((static_cast<u128>(b % n64) << 64) % n64);
      if (!strong_probable_prime(mt, bm, d, s)) return false;
    }
    return true;
  }
  const mont128_s mt(n);
  const int s = ctz128(n - 1);
  const u128 d = (n - 1) >> s;
  // The first thirteen prime bases decide every n below 3317044064679887385961981.
  static constexpr uint32_t kBases[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37, 41};
  const u128 proven = static_cast<u128>(3317044064679887385ull) * 1000000 + 961981;
  if (n < proven) {
    for (uint32_t b : kBases) {
      if (!strong_probable_prime(mt, from_small(mt, b), d, s)) return false;
    }
    return true;
  }
  return strong_probable_prime(mt, from_small(mt, 2), d, s) && strong_lucas_probable_prime(mt);
}

// ---------------------------------------------------------------------------------------------
// Pollard's rho with Brent's cycle search and batched gcds. Returns a proper divisor of the
// composite n, or 0 when the walk with this constant fails or the step budget runs out.

template <class M>
typename M::word rho_divisor(const M &mt, typename M::word c, u64 *budget) {
  using W = typename M::word;
  constexpr u64 kBatch = 128;
  const W n = mt.n;
  auto step = [&](W v) { return mt.add(mt.mul(v, v), c); };
  W y = mt.add(mt.one, mt.one);
  W x = y;
  W ys = y;
  W q = mt.one;
  W g = 1;
  for (u64 r = 1; g == 1; r *= 2) {
    if (*budget < 2 * r) {
      *budget = 0;
      return 0;
    }
    *budget -= 2 * r;
    x = y;
    for (u64 i = 0; i < r; ++i) y = step(y);
    for (u64 k = 0; k < r && g == 1; k += kBatch) {
      ys = y;
      const u64 lim = std::min(kBatch, r - k);
      for (u64 i = 0; i < lim; ++i) {
        y = step(y);
        q = mt.mul(q, mt.sub(x, y));
      }
      g = M::gcd(q, n);
    }
  }
  if (g == n) {
    // The batch hit every factor at once: walk it again one step at a time.
    g = 1;
    for (u64 i = 0; i < kBatch && g == 1; ++i) {
      ys = step(ys);
      g = M::gcd(mt.sub(x, ys), n);
    }
  }
  return (g == 1 || g == n) ? 0 : g;
}

// Step budgets. Below 2^64 a composite always has a prime factor below 2^32, and the walk
// meets it after some 2^17 steps on average. A piece of 2^64 or more may consist of primes that
// do not fit in 32 bits, which no walk of useful length can show: such a piece gets
// kWideBudget steps, and when they find nothing it is taken to have no prime factor below 2^32.
// The walk modulo a prime p below 2^32 closes its cycle within 2^19 steps except with
// probability exp(-2^38 / (2 p)) < 1e-13, and kWideBudget covers the Brent rounds up to that
// length. kTotalBudget bounds a whole call.
constexpr u64 kWideBudget = u64{1} << 20;
constexpr u64 kTotalBudget = u64{1} << 23;

struct split_state_s {
  u64 budget;        // steps left for this call
  bool incomplete;   // a composite piece could not be split
};

u128 find_divisor(u128 n, split_state_s *st) {
  if (n < kU64Top) {
    const mont64_s mt(static_cast<u64>(n));
    for (u64 c = 1; st->budget > 0; ++c) {
      const u64 d = rho_divisor(mt, from_small(mt, c), &st->budget);
      if (d != 0) return d;
    }
    return 0;
  }
  const mont128_s mt(n);
  u64 budget = std::min(st->budget, kWideBudget);
  const u64 start = budget;
  u128 d = 0;
  for (u64 c = 1; budget > 0 && d == 0; ++c) d = rho_divisor(mt, from_small(mt, c), &budget);
  st->budget -= start - budget;
  return d;
}

struct factor_s {
  u128 p;
  uint32_t e;
};

struct factor_list_s {
  factor_s f[130];
  int count;
};

void push_factor(factor_list_s *l, u128 p, uint32_t e) {
  l->f[l->count].p = p;
  l->f[l->count].e = e;
  ++l->count;
}

// Splits n (no factor below the trial bound) into primes, appended with exponent 1.
void split_large(factor_list_s *l, u128 n, split_state_s *st) {
  u128 stack[32];
  int top = 0;
  stack[top++] = n;
  while (top > 0) {
    const u128 c = stack[--top];
    if (is_prime_odd(c)) {
      push_factor(l, c, 1);
      continue;
    }
    const u128 d = find_divisor(c, st);
    if (d == 0) {
      st->incomplete = true;
      continue;
    }
    stack[top++] = d;
    stack[top++] = c / d;
  }
}

}  // namespace

uint32_t nextPrime(uint32_t x) {
  uint32_t y = x + 1;  // 32-bit: above the largest 32-bit prime it wraps round to 2
  for (;;) {
    if (y < 2 || (y % 2 == 0 && y != 2)) {
      ++y;
      continue;
    }
    if (y == 2) return y;
    const uint32_t lim = static_cast<uint32_t>(std::floor(std::sqrt(static_cast<double>(y)) + 1.0));
    bool prime = true;
    for (uint32_t d = 3; d <= lim; d += 2) {
      if (y % d == 0) {
        prime = false;
        break;
      }
    }
    if (prime) return y;
    ++y;
  }
}

int32_t factorbigint128(term_s *factors, bigint128 value) {
  std::memset(factors, 0, sizeof(*factors));
  u128 x = (static_cast<u128>(value.w[1]) << 64) | value.w[0];
  if (x <= 1) return 0;  // 0 (every prime divides it) and 1 have no factor list

  factor_list_s found;
  found.count = 0;

  const int twos = ctz128(x);
  if (twos > 0) {
    push_factor(&found, 2, static_cast<uint32_t>(twos));
    x >>= twos;
  }

  // Odd primes below the trial bound, with 128-bit words while x needs them.
  size_t i = 0;
  uint32_t untried = kFirstUntried;
  for (; i < kSmallPrimeCount && (x >> 64) != 0; ++i) {
    const small_prime_s &sp = kSmallPrimes[i];
    u128 q = x * sp.inv128;
    if (q <= sp.lim128) {
      uint32_t e = 0;
      do {
        x = q;
        ++e;
        q = x * sp.inv128;
      } while (q <= sp.lim128);
      push_factor(&found, sp.p, e);
    }
  }
  if ((x >> 64) == 0) {
    u64 y = static_cast<u64>(x);
    for (; i < kSmallPrimeCount; ++i) {
      const small_prime_s &sp = kSmallPrimes[i];
      if (static_cast<u64>(sp.p) * sp.p > y) break;
      u64 q = y * sp.inv64;
      if (q <= sp.lim64) {
        uint32_t e = 0;
        do {
          y = q;
          ++e;
          q = y * sp.inv64;
        } while (q <= sp.lim64);
        push_factor(&found, sp.p, e);
      }
    }
    x = y;
  }
  if (i < kSmallPrimeCount) untried = kSmallPrimes[i].p;

  // What is left has no prime factor below 'untried'.
  split_state_s st{kTotalBudget, false};
  if (x > 1) {
    if (x < static_cast<u128>(untried) * untried) {
      push_factor(&found, x, 1);
    } else {
      const int first_large = found.count;
      split_large(&found, x, &st);
      std::sort(found.f + first_large, found.f + found.count,
                [](const factor_s &a, const factor_s &b) { return a.p < b.p; });
    }
  }

  // Entries: distinct primes in increasing order with their exponents. Primes that do not fit
  // in 32 bits are left out, as is any distinct prime past the 199th (no 128-bit value has that
  // many); either of these, or a piece that could not be split, gives status 1.
  int32_t status = st.incomplete ? 1 : 0;
  int32_t count = 0;
  for (int k = 0; k < found.count;) {
    const u128 p = found.f[k].p;
    uint32_t e = 0;
    while (k < found.count && found.f[k].p == p) e += found.f[k++].e;
    if (p > UINT32_MAX || count + 1 >= 200) {
      status = 1;
      if (p > UINT32_MAX) break;
      continue;
    }
    factors->t[count].prime = static_cast<uint32_t>(p);
    factors->t[count].exp = e;
    ++count;
  }
  factors->count = count;
  return status;
}

int32_t isPrimebigint128(bigint128 value) {
  const u128 x = (static_cast<u128>(value.w[1]) << 64) | value.w[0];
  if (x < 2) return 0;
  if ((x & 1) == 0) return x == 2 ? 1 : 0;
  for (const small_prime_s &sp : kSmallPrimes) {
    if (x == sp.p) return 1;
    if (static_cast<u128>(sp.p) * sp.p > x) return 1;
    if (x * sp.inv128 <= sp.lim128) return 0;
  }
  return is_prime_odd(x) ? 1 : 0;
}
