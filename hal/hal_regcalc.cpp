#include "hal/hal_regcalc.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kTwo63 = 9223372036854775808.0;

// Largest value of an unsigned field of `width` bits (widths of 63 and more are held to
// the signed 64-bit range the conversions return).
int64_t unsigned_max(uint32_t width) {
  if (width >= 63) return std::numeric_limits<int64_t>::max();
  return (int64_t{1} << width) - 1;
}

int64_t signed_max(uint32_t width) {
  if (width == 0) return 0;
  if (width >= 64) return std::numeric_limits<int64_t>::max();
  return (int64_t{1} << (width - 1)) - 1;
}

int64_t signed_min(uint32_t width) {
  if (width == 0) return 0;
  if (width >= 64) return std::numeric_limits<int64_t>::min();
  return -(int64_t{1} << (width - 1));
}

int64_t overflow(hal_api_s *hal, const char *from, const char *name, uint32_t width,
                 bool is_signed, bool positive_side) {
  put_msgf(hal, "ERROR: %s %s overflow", from, name ? name : "");
  if (!is_signed) return unsigned_max(width);
  return positive_side ? signed_max(width) : signed_min(width);
}

bool fits(int64_t r, uint32_t width, bool is_signed, bool positive_side) {
  if (!is_signed) return r >= 0 && r <= unsigned_max(width);
  return positive_side ? r <= signed_max(width) : r >= signed_min(width);
}

}  // namespace

int64_t real2reg(hal_api_s *hal, const char *name, double value, uint32_t width, int32_t is_signed) {
  const bool sgn = is_signed == 1;
  const bool positive = value >= 0.0;  // NaN takes the negative side
  // Only a value that rounds to a finite 64-bit integer can be checked against the field.
  const double rounded = value >= 0.0 ? std::floor(value + 0.5) : std::ceil(value - 0.5);
  if (!std::isfinite(value) || !(rounded < kTwo63) || !(rounded >= -kTwo63))
    return overflow(hal, "real2reg", name, width, sgn, positive);
  const int64_t r = jround(value);
  if (!fits(r, width, sgn, positive)) return overflow(hal, "real2reg", name, width, sgn, positive);
  return r;
}

int64_t int2reg(hal_api_s *hal, const char *name, int64_t value, uint32_t width, int32_t is_signed) {
  const bool sgn = is_signed == 1;
  const bool positive = value >= 0;
  if (!fits(value, width, sgn, positive)) return overflow(hal, "int2reg", name, width, sgn, positive);
  return value;
}

int64_t trunc_i64(double x) {
  if (std::isnan(x)) return 0;
  if (x >= kTwo63) return std::numeric_limits<int64_t>::max();
  if (x <= -kTwo63) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(x);
}

uint32_t trunc_u32(double x) {
  if (std::isnan(x) || x <= 0.0) return 0;
  if (x >= 4294967295.0) return 4294967295u;
  return static_cast<uint32_t>(x);
}

uint32_t clamp_u32(int64_t x) {
  if (x < 0) return 0;
  if (x > 4294967295LL) return 4294967295u;
  return static_cast<uint32_t>(x);
}
