// Unsigned 128-bit integers for exact products of several 32-bit frequency terms.
#pragma once
#include <cstdint>

// w[0] holds the low 64 bits, w[1] the high 64 bits.
struct bigint128 {
  uint64_t w[2];
};

void bigint128Set(bigint128 *dst, uint64_t lo, uint64_t hi);
void bigint128Set0(bigint128 *dst);
void bigint128Set1(bigint128 *dst);
void bigint128Copy(bigint128 *dst, const bigint128 *src);
int32_t bigint128Compare(const bigint128 *a, const bigint128 *b);
// dst = a * b, always exact.
void bigint128Mpy64x64(bigint128 *dst, uint64_t a, uint64_t b);
// dst = src * m modulo 2^128; *overflow is nonzero exactly when the full product needs more than 128 bits.
void bigint128x64Mpy(uint32_t *overflow, bigint128 *dst, const bigint128 *src, uint64_t m);
// dst = a + b modulo 2^128; *carry = carry out of bit 127.
void bigint128Add(uint32_t *carry, bigint128 *dst, const bigint128 *a, const bigint128 *b);
// quot = a / b, rem = a mod b; outputs may alias inputs. b = 0 gives quot = 2^128 - 1, rem = a.
void bigint128Div(bigint128 *quot, bigint128 *rem, const bigint128 *a, const bigint128 *b);
// Euclid: gcd(0, y) = y, gcd(x, 0) = x, gcd(0, 0) = 0.
void bigint128Gcd(bigint128 *dst, const bigint128 *a, const bigint128 *b);
// Divides m and n by their gcd; both zero stay zero.
void bigint128ReduceMN(bigint128 *m, bigint128 *n);
