// Prime factor lists of 128-bit integers.
#pragma once
#include <cstdint>
#include "arith/bigint128.h"

struct term_entry_s {
  uint32_t prime;
  uint32_t exp;
};

// Entries 0 .. count-1 hold the distinct prime factors in increasing order with their exponents.
struct term_s {
  int32_t count;
  term_entry_s t[200];
};

// Smallest prime above x (32-bit).
uint32_t nextPrime(uint32_t x);
// 0 on success; 1 when more than 199 distinct primes would be needed or a prime factor
// does not fit in 32 bits (the factors below it are listed). 0 and 1 give an empty list.
int32_t factorbigint128(term_s *factors, bigint128 value);
