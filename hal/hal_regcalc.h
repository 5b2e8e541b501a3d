// Conversion of computed values into register field values, with the one overflow rule
// every block of the register calculation uses, and the saturating number conversions the
// blocks need so that no field value, however wrong, leads to an undefined conversion.
#pragma once
#include <cstdint>
#include "hal/hal_api.h"

// Rounds value half away from zero and checks it against a register field of `width` bits
// (two's complement when is_signed is 1, unsigned otherwise). A value that does not fit
// posts "ERROR: real2reg NAME overflow" and yields the field's limit: all ones for an
// unsigned field, the largest or smallest value of the side that overflowed for a signed
// one (the side is the sign of the double; NaN counts as negative). A value that does not
// round to a finite 64-bit integer (NaN, infinity, |value| >= 2^63) always overflows.
int64_t real2reg(hal_api_s *hal, const char *name, double value, uint32_t width, int32_t is_signed);

// The same for an integer ("ERROR: int2reg NAME overflow"); the side is the sign of value.
int64_t int2reg(hal_api_s *hal, const char *name, int64_t value, uint32_t width, int32_t is_signed);

// A divider programmed as divider minus 1, computed in unsigned 32-bit arithmetic as the
// chip's registers count: a divider of 0 becomes 4294967295 and overflows any field.
inline uint32_t reg_minus1(uint32_t divider) { return divider - 1u; }

// Truncation toward zero into a signed 64-bit integer; NaN gives 0 and values beyond the
// range give the nearest end.
int64_t trunc_i64(double x);
// Truncation toward zero into an unsigned 32-bit field; NaN and negative values give 0,
// values above the range 4294967295.
uint32_t trunc_u32(double x);
// An integer into an unsigned 32-bit field, clamped to 0 .. 4294967295.
uint32_t clamp_u32(int64_t x);
