// Exact clock frequencies: an integer base frequency in Hz times a rational factor.
#pragma once
#include <cstdint>

// Hz = f * n / m. {0, 1, 1} is a frequency that is not set; m = 0 has no frequency.
struct fprec_s {
  uint32_t f;
  uint32_t n;
  uint32_t m;
};

void set_fprec_s(fprec_s *p, uint32_t f, uint32_t n, uint32_t m);
// Frequency in MHz; 0.0 when m = 0.
double fprec_s_2_double_mhz(fprec_s p);
// Euclid on unsigned 64-bit values; returns 1 (never 0) when either side is 0.
uint64_t gcd(uint64_t a, uint64_t b);
// Multiplies p by mul/div and reduces it. 0 = exact, 1 = a field overflowed 32 bits and was set to 1.
int32_t fprec_scale(fprec_s *p, uint64_t mul, uint64_t div);
// Exact comparison through 128-bit products: 1 if a > b, -1 if a < b, 0 if equal. A zero m acts as 1.
int32_t fprec_compare(fprec_s a, fprec_s b);
// Rounds half away from zero: floor(x + 0.5), or ceil(x - 0.5) below zero. Beyond the 64-bit
// range the result saturates; NaN gives INT64_MIN.
int64_t jround(double x);
// x taken as unsigned 32-bit.
double uint16x_2_double(uint32_t x);
// The low 63 bits converted, plus 2^63 when the top bit is set (two roundings).
double uint64x_2_double(uint64_t x);
// ln(x) / ln(2).
double double_log2(double x);
// 2^k for k < 64, else 0.
uint64_t pow2_u64(uint32_t k);
