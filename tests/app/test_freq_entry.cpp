// Frequency entry: typed MHz, the calculator and the field filters.
#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

#include "app/freq_entry.h"

namespace {

TEST(FrequencyEntry, TypedMegahertzAndRanges) {
  fprec_s f{1, 2, 3};
  ASSERT_TRUE(frequency_from_mhz_text(" 155.52 ", &f));
  EXPECT_EQ(std::make_tuple(f.f, f.n, f.m), std::make_tuple(155520000u, 1u, 1u));
  for (const char *bad : {"", "abc", "1e999", "nan", "-1", "12.5x", "4294.967296", "100000.5"})
    EXPECT_FALSE(frequency_from_mhz_text(bad, &f)) << bad;
  EXPECT_EQ(f.f, 155520000u);  // refused: the previous value stays
  ASSERT_TRUE(frequency_from_mhz_text("4294.967295", &f));
  EXPECT_EQ(f.f, 4294967295u);
  // Every whole number of hertz typed with six decimals comes back as that number;
  // truncating the binary product would lose a hertz on about one value in fifty.
  uint32_t x = 1;
  for (int i = 0; i < 20000; ++i) {
    x = x * 1664525u + 1013904223u;
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", x / 1e6);
    ASSERT_TRUE(frequency_from_mhz_text(text, &f)) << text;
    ASSERT_EQ(f.f, x) << text;
  }
  double v = 7;
  EXPECT_TRUE(DoubleTextBox_Validate("10", 0, 10, true, &v));
  EXPECT_EQ(v, 10);
  EXPECT_FALSE(DoubleTextBox_Validate("10", 0, 10, false, &v));
  EXPECT_FALSE(DoubleTextBox_Validate("0", 0, 10, false, &v));
  EXPECT_EQ(DoubleTextBox_Format(FrequencyTextBox_Calculate(100000000, 1, 3), 7), "33.3333333");
}

TEST(FrequencyEntry, CalculatorFactorsLargeBases) {
  freq_calc_s c{0, 1, 12};
  ASSERT_TRUE(freq_calc_set_base(&c, "7200"));
  EXPECT_EQ(std::make_tuple(c.base_hz, c.numerator, c.denominator), std::make_tuple(3600000000u, 1u, 6u));
  EXPECT_FALSE(freq_calc_set_base(&c, "100001"));
  EXPECT_EQ(c.base_hz, 3600000000u);
  c = {0, 2147483647, 1};  // the numerator never overflows while taking factors
  ASSERT_TRUE(freq_calc_set_base(&c, "99999.999999"));
  EXPECT_EQ(c.numerator, 2147483647u);
  // A pasted base above 32 bits moves its factors into the pasted numerator, not under it.
  std::string err;
  ASSERT_TRUE(freq_calc_paste(&c, "5000\t3\t7", &err)) << err;
  EXPECT_EQ(static_cast<uint64_t>(c.base_hz) * c.numerator, 5000000000ull * 3);
  EXPECT_EQ(c.denominator, 7u);
  EXPECT_FALSE(freq_calc_paste(&c, "10\t0\t1", &err));
  EXPECT_EQ(err, "Component multiple == 0");
}

TEST(FrequencyEntry, NumeratorDenominatorTextAndCharacterFilters) {
  const struct { const char *text; bool accepted; const char *error; } cases[] = {
      {"4 * 0", false, "Component multiple == 0"}, {"4 * x", false, "Unknown Component value"},
      {"65536 * 65536", false, "Multiple Overflow"}, {"2147483647", true, ""}, {"-3", false, nullptr}};
  for (const auto &c : cases) {
    const auto s = FreqMultDivText_Scrub(c.text);
    EXPECT_EQ(s.accepted, c.accepted) << c.text;
    if (c.error) {
      EXPECT_EQ(s.error, c.error) << c.text;
    }
  }
  const auto s = FreqMultDivText_Scrub("4*25");
  EXPECT_EQ(std::make_tuple(s.value, s.text), std::make_tuple(100u, std::string("4 * 25")));
  const struct { freq_field_kind_e field; char c; const char *text; bool selected, ok; } keys[] = {
      {field_frequency_e, '.', "12", false, true},   {field_frequency_e, '.', "1.2", false, false},
      {field_frequency_e, '.', "1.2", true, true},   {field_frequency_e, '-', "", false, false},
      {field_multdiv_e, '*', "", false, true},       {field_hex_e, 'g', "", false, false},
      {field_signed_e, '-', "", false, true},        {field_whole_e, '-', "", false, false}};
  for (const auto &k : keys)
    EXPECT_EQ(entry_char_allowed(k.field, k.c, k.text, k.selected), k.ok)
        << k.field << " '" << k.c << "' after \"" << k.text << '"';
}

}  // namespace
