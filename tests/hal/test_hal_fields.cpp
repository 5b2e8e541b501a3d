// Setting fields of hal_api_s from text, and looking fields up by name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hal/hal_fields.h"

namespace {

TEST(FieldTable, SetFromText) {
  hal_api_s h{};
  std::string err;
  const struct { const char *name, *text; bool ok; } cases[] = {
      {"dpll_bw_hz", "0x1F", true}, {"dpll_bw_hz", "010", true},  // decimal, never octal
      {"dpll_bw_hz", "4294967295", true}, {"dpll_bw_hz", "4294967296", false}, {"dpll_bw_hz", "-1", false},
      {"dpll_bw_hz", "", false}, {"dpll_bw_hz", " 5", false}, {"dpll_bw_hz", "5 ", false}, {"dpll_bw_hz", "1e3", false},
      {"dpll_bw_hz", "0x", false}, {"dpll_bw_hz", "abc", false}, {"dpll_bw_hz", "+5", false},
      {"man_phoff_ps", "-2147483648", true}, {"man_phoff_ps", "2147483648", false}, {"kova_mode_e", "3", true},
      {"afbdiv1_afbdiv_u42", "0xFFFFFFFFFFFFFFFF", true}, {"afbdiv1_afbdiv_u42", "18446744073709551616", false},
      {"lfint_rw_i64_22", "-5", true}, {"vco_clk_max_mhz_r", "4180.5", true}, {"vco_clk_max_mhz_r", "nan", false},
      {"vco_clk_max_mhz_r", "inf", false}, {"vco_clk_max_mhz_r", "1e999", false}, {"vco_clk_max_mhz_r", "12x", false},
      {"vco_clk_max_mhz_r", "", false}, {"oc1_freq_s", "156250000", true}, {"oc1_freq_s", "100000000,1,3", true},
      {"oc1_freq_s", "1,2", false}, {"oc1_freq_s", "1,2,3,4", false}, {"oc1_freq_s", "1,,3", false},
      {"oc1_freq_s", ",1,1", false}, {"oc1_freq_s", "1,2,", false}, {"oc1_freq_s", "4294967296,1,1", false},
      {"oc1_freq_s", "1;2;3", false}, {"oc1_freq_s", "", false}, {"hal_obj_p", "0", false}};
  for (const auto &c : cases) {
    hal_api_s before;
    std::memcpy(&before, &h, sizeof h);
    err.clear();
    EXPECT_EQ(hal_field_set_text(&h, hal_api_field_find(c.name), c.text, &err), c.ok) << c.name << " " << c.text;
    if (!c.ok) {
      EXPECT_NE(err.find(c.name), std::string::npos) << err;
      EXPECT_EQ(std::memcmp(&before, &h, sizeof h), 0) << c.name << " " << c.text;  // a refused text changes nothing
    }
  }
  EXPECT_EQ(h.dpll_bw_hz, 4294967295u);
  EXPECT_EQ(h.man_phoff_ps, INT32_MIN);
  EXPECT_EQ(h.kova_mode_e, 3);
  EXPECT_EQ(h.afbdiv1_afbdiv_u42, UINT64_MAX);
  EXPECT_EQ(h.lfint_rw_i64_22, -5);
  EXPECT_EQ(h.vco_clk_max_mhz_r, 4180.5);
  EXPECT_TRUE(h.oc1_freq_s.f == 100000000u && h.oc1_freq_s.n == 1u && h.oc1_freq_s.m == 3u);
  hal_field_set_text(&h, hal_api_field_find("dpll_bw_hz"), "010", &err);
  EXPECT_EQ(h.dpll_bw_hz, 10u);
  hal_field_set_text(&h, hal_api_field_find("oc1_freq_s"), "156250000", &err);
  EXPECT_TRUE(h.oc1_freq_s.f == 156250000u && h.oc1_freq_s.n == 1u && h.oc1_freq_s.m == 1u);
  EXPECT_FALSE(hal_field_set_text(&h, nullptr, "1", &err));
  EXPECT_EQ(hal_api_field_find("no_such_field"), nullptr);
  EXPECT_EQ(hal_api_field_find(nullptr), nullptr);
  EXPECT_EQ(hal_api_field_group(hal_api_fields + hal_api_field_count), nullptr);
  EXPECT_FALSE(hal_field_set_text(&h, hal_api_field_find("dpll_df"), nullptr, &err));
}

}  // namespace
