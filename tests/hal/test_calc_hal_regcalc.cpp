// Conversion of computed values into register fields: rounding, range and overflow rule.
#include <cmath>
#include <limits>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

struct RegCalc : ::testing::Test {
  Hal h;
  void SetUp() override { init_full(h.get(), 40000, kova_mode_syn_e); drain(h.get()); }
  std::vector<std::string> msgs() { return drain(h.get()); }
};

TEST_F(RegCalc, UnsignedRealRoundsHalfAwayAndSaturatesOnOverflow) {
  EXPECT_EQ(real2reg(h.get(), "f", 127.5, 8, 0), 128);
  EXPECT_EQ(real2reg(h.get(), "f", -0.4, 8, 0), 0);  // rounds to zero: accepted
  EXPECT_EQ(real2reg(h.get(), "f", 254.49, 8, 0), 254);
  EXPECT_TRUE(msgs().empty());

  EXPECT_EQ(real2reg(h.get(), "oc1cr1_msdiv_u7", 255.5, 8, 0), 255);
  EXPECT_EQ(msgs(), std::vector<std::string>{"ERROR: real2reg oc1cr1_msdiv_u7 overflow"});
  EXPECT_EQ(real2reg(h.get(), "f", -0.6, 8, 0), 255);
  EXPECT_EQ(msgs(), std::vector<std::string>{"ERROR: real2reg f overflow"});
}

TEST_F(RegCalc, SignedIntegerRangeBothSides) {
  EXPECT_EQ(int2reg(h.get(), "s", -128, 8, 1), -128);
  EXPECT_EQ(int2reg(h.get(), "s", 127, 8, 1), 127);
  EXPECT_TRUE(msgs().empty());
  // After an overflow a signed field holds the limit of the side that overflowed.
  EXPECT_EQ(int2reg(h.get(), "s", 128, 8, 1), 127);
  EXPECT_EQ(int2reg(h.get(), "s", -129, 8, 1), -128);
  EXPECT_EQ(msgs(), (std::vector<std::string>{"ERROR: int2reg s overflow", "ERROR: int2reg s overflow"}));
  EXPECT_EQ(int2reg(h.get(), "u", -1, 8, 0), 255);
  EXPECT_EQ(msgs(), std::vector<std::string>{"ERROR: int2reg u overflow"});
  // Any is_signed other than 1 is unsigned.
  EXPECT_EQ(int2reg(h.get(), "u", 200, 8, 2), 200);
  EXPECT_TRUE(msgs().empty());
}

TEST_F(RegCalc, SignedRealSideFollowsTheDouble) {
  EXPECT_EQ(real2reg(h.get(), "s", -128.4, 8, 1), -128);
  EXPECT_EQ(real2reg(h.get(), "s", 127.49, 8, 1), 127);
  EXPECT_TRUE(msgs().empty());
  EXPECT_EQ(real2reg(h.get(), "s", 127.5, 8, 1), 127);
  EXPECT_EQ(real2reg(h.get(), "s", -128.5, 8, 1), -128);
  EXPECT_EQ(msgs().size(), 2u);
  // A 32-bit signed word: 2^31 - 1 is the largest.
  EXPECT_EQ(real2reg(h.get(), "w", 2147483647.0, 32, 1), 2147483647);
  EXPECT_EQ(real2reg(h.get(), "w", 2147483648.0, 32, 1), 2147483647);
  EXPECT_EQ(msgs().size(), 1u);
}

TEST_F(RegCalc, NonFiniteAndHugeValuesAlwaysOverflow) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(real2reg(h.get(), "a", nan, 16, 0), 65535);
  EXPECT_EQ(real2reg(h.get(), "b", inf, 16, 0), 65535);
  EXPECT_EQ(real2reg(h.get(), "c", -inf, 16, 0), 65535);
  EXPECT_EQ(real2reg(h.get(), "d", 1e300, 16, 0), 65535);
  // Signed: NaN takes the negative side, infinity the positive one.
  EXPECT_EQ(real2reg(h.get(), "e", nan, 8, 1), -128);
  EXPECT_EQ(real2reg(h.get(), "f", inf, 8, 1), 127);
  EXPECT_EQ(real2reg(h.get(), "g", -1e300, 32, 1), -2147483648LL);
  // Even a field of 63 bits cannot hold 2^63.
  EXPECT_EQ(real2reg(h.get(), "h", 9223372036854775808.0, 63, 0), std::numeric_limits<int64_t>::max());
  const auto m = msgs();
  ASSERT_EQ(m.size(), 8u);
  EXPECT_EQ(m[0], "ERROR: real2reg a overflow");
  EXPECT_EQ(m[7], "ERROR: real2reg h overflow");
}

TEST_F(RegCalc, DividerMinusOneOfZeroOverflows) {
  EXPECT_EQ(reg_minus1(0), 4294967295u);
  EXPECT_EQ(real2reg(h.get(), "oc1cr1_msdiv_u7", reg_minus1(0), 7, 0), 127);
  EXPECT_EQ(msgs(), std::vector<std::string>{"ERROR: real2reg oc1cr1_msdiv_u7 overflow"});
  EXPECT_EQ(real2reg(h.get(), "x", reg_minus1(4294967295u), 32, 0), 4294967294LL);
  EXPECT_TRUE(msgs().empty());
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
