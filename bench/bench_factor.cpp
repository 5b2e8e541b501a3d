// Factorisation time of 128-bit values: the product of frequency terms that the input solver
// factorises, and values whose prime factors are too large for trial division.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "arith/bigint128.h"
#include "arith/prime.h"

namespace {

using u128 = unsigned __int128;

void run_factor(benchmark::State &state, u128 v) {
  bigint128 value;
  bigint128Set(&value, static_cast<uint64_t>(v), static_cast<uint64_t>(v >> 64));
  term_s factors;
  for (auto _ : state) {
    const int32_t status = factorbigint128(&factors, value);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(factors);
  }
}

// 625 MHz x 19.44 MHz x 156.25 MHz: powers of 2, 3 and 5.
void BM_FactorFrequencyProduct(benchmark::State &state) {
  run_factor(state, static_cast<u128>(625000000) * 19440000 * 156250000);
}
BENCHMARK(BM_FactorFrequencyProduct);

// Three of the largest 32-bit primes: the slowest case whose factors all fit in an entry.
void BM_FactorThreeLargest32BitPrimes(benchmark::State &state) {
  run_factor(state, static_cast<u128>(4294967291u) * 4294967279u * 4294967231u);
}
BENCHMARK(BM_FactorThreeLargest32BitPrimes)->Unit(benchmark::kMicrosecond);

// (2^61 - 1) x a 50-bit prime.
void BM_FactorSemiprime61x50(benchmark::State &state) {
  run_factor(state, ((static_cast<u128>(1) << 61) - 1) * static_cast<u128>(1125899906842597ull));
}
BENCHMARK(BM_FactorSemiprime61x50)->Unit(benchmark::kMillisecond);

// 2^127 - 1, a prime.
void BM_FactorPrime127(benchmark::State &state) {
  run_factor(state, (static_cast<u128>(1) << 127) - 1);
}
BENCHMARK(BM_FactorPrime127)->Unit(benchmark::kMicrosecond);

// (2^64 - 59) x (2^63 - 25), a 127-bit semiprime.
void BM_FactorSemiprime64x63(benchmark::State &state) {
  run_factor(state, static_cast<u128>(18446744073709551557ull) * 9223372036854775783ull);
}
BENCHMARK(BM_FactorSemiprime64x63)->Unit(benchmark::kMillisecond);

}  // namespace
