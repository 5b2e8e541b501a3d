// Conversion of computed values into register fields: rounding, range and overflow rule.
#include <cmath>
#include <limits>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// Reals round half away from zero; a value that does not fit saturates (unsigned: all ones;
// signed: the limit of the side that overflowed, NaN the negative side) with an overflow
// error naming the field. Integers take the same rule; any is_signed other than 1 is
// unsigned. Even a field of 63 bits cannot hold 2^63.
TEST(RegCalc, RoundingRangeAndOverflow) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const struct { double v; uint32_t width; int32_t is_signed; int64_t want; bool ovf; } reals[] = {
      {127.5, 8, 0, 128, false}, {-0.4, 8, 0, 0, false}, {254.49, 8, 0, 254, false}, {255.5, 8, 0, 255, true},
      {-0.6, 8, 0, 255, true}, {-128.4, 8, 1, -128, false}, {127.49, 8, 1, 127, false}, {127.5, 8, 1, 127, true},
      {-128.5, 8, 1, -128, true}, {2147483647.0, 32, 1, 2147483647, false}, {2147483648.0, 32, 1, 2147483647, true},
      {nan, 16, 0, 65535, true}, {inf, 16, 0, 65535, true}, {-inf, 16, 0, 65535, true}, {1e300, 16, 0, 65535, true},
      {nan, 8, 1, -128, true}, {inf, 8, 1, 127, true}, {-1e300, 32, 1, -2147483648LL, true},
      {9223372036854775808.0, 63, 0, std::numeric_limits<int64_t>::max(), true},
      {static_cast<double>(reg_minus1(0)), 7, 0, 127, true}, {static_cast<double>(reg_minus1(4294967295u)), 32, 0, 4294967294LL, false}};
  Hal h;
  init_full(h.get(), 40000, kova_mode_syn_e);
  drain(h.get());
  for (const auto &c : reals) {
    EXPECT_EQ(real2reg(h.get(), "oc1cr1_msdiv_u7", c.v, c.width, c.is_signed), c.want) << c.v << " " << c.width;
    EXPECT_EQ(drain(h.get()), c.ovf ? std::vector<std::string>{"ERROR: real2reg oc1cr1_msdiv_u7 overflow"}
                                   : std::vector<std::string>{}) << c.v;
  }
  const struct { int64_t v; int32_t is_signed; int64_t want; bool ovf; } ints[] = {
      {-128, 1, -128, false}, {127, 1, 127, false}, {128, 1, 127, true}, {-129, 1, -128, true}, {-1, 0, 255, true},
      {200, 2, 200, false}};
  for (const auto &c : ints) {
    EXPECT_EQ(int2reg(h.get(), "s", c.v, 8, c.is_signed), c.want) << c.v;
    EXPECT_EQ(drain(h.get()), c.ovf ? std::vector<std::string>{"ERROR: int2reg s overflow"} : std::vector<std::string>{});
  }
  EXPECT_EQ(reg_minus1(0), 4294967295u);
}

TEST(RegCalcHelpers, SaturatingTruncations) {
  EXPECT_EQ(trunc_i64(-2.9), -2);
  EXPECT_EQ(trunc_i64(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(trunc_i64(1e30), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(trunc_i64(-1e30), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(trunc_u32(4294967295.9), 4294967295u);
  EXPECT_EQ(trunc_u32(-3.0), 0u);
  EXPECT_EQ(trunc_u32(std::numeric_limits<double>::infinity()), 4294967295u);
  EXPECT_EQ(trunc_u32(12.99), 12u);
  EXPECT_EQ(clamp_u32(-5), 0u);
  EXPECT_EQ(clamp_u32(5000000000LL), 4294967295u);
}

}  // namespace
