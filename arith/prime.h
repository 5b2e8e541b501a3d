// Prime factor lists of 128-bit integers.
#pragma once
#include <cstdint>
#include "arith/bigint128.h"

struct term_entry_s {
  uint32_t prime;
  uint32_t exp;
};

// Entries 0 .. count-1 hold the distinct prime factors in increasing order with their exponents.
// factorbigint128 sets every entry from count on to {0, 0}.
struct term_s {
  int32_t count;
  term_entry_s t[200];
};

// Smallest prime above x (32-bit arithmetic: above the largest 32-bit prime it wraps round to 2).
uint32_t nextPrime(uint32_t x);
// The list that trial division over successive primes gives. 0 on success; 1 when more than
// 199 distinct primes would be needed or a prime factor does not fit in 32 bits: count then
// holds the primes below 2^32 (all of them, in increasing order) and the larger ones are left
// out. 0 and 1 give an empty list and 0.
// A part of the value of 2^64 or more that a bounded search cannot split is taken to have no
// prime factor below 2^32 (wrong with a probability below 1e-13); the work is bounded for every value.
int32_t factorbigint128(term_s *factors, bigint128 value);
// 1 when value is prime, else 0 (proven below 3.3e24; above, the Baillie-PSW test).
int32_t isPrimebigint128(bigint128 value);
