// The field table of hal_api_s against the struct, and setting fields from text.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "hal/hal_fields.h"

namespace {

// The table covers the struct exactly: fields in order, no gaps but alignment padding, and
// nothing after the last field; names are unique and found, and a name's suffix states its
// kind (_s frequency records, _e enumerations, _r reals).
TEST(FieldTable, CoversTheStructInOrderWithNamesThatStateTheirKind) {
  size_t end = 0;
  std::set<std::string> names;
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s &f = hal_api_fields[i];
    const std::string n = f.name, suffix = n.substr(n.size() - 2);
    SCOPED_TRACE(n);
    const bool wide = f.kind == hal_field_u64_e || f.kind == hal_field_i64_e || f.kind == hal_field_dbl_e;
    const size_t size = wide ? 8 : f.kind == hal_field_fprec_e ? 12 : f.kind == hal_field_ptr_e ? sizeof(void *) : 4;
    const size_t align = wide ? alignof(uint64_t) : f.kind == hal_field_ptr_e ? alignof(void *) : alignof(uint32_t);
    EXPECT_EQ(f.size, size);
    EXPECT_EQ(f.offset, (end + align - 1) / align * align);
    end = f.offset + f.size;
    EXPECT_TRUE(names.insert(n).second) << "duplicate";
    EXPECT_EQ(hal_api_field_find(f.name), &f);
    EXPECT_EQ(suffix == "_s", f.kind == hal_field_fprec_e);
    EXPECT_EQ(suffix == "_e", f.kind == hal_field_enum_e);
    EXPECT_TRUE(suffix != "_r" || f.kind == hal_field_dbl_e);
  }
  EXPECT_EQ((end + 7) / 8 * 8, sizeof(hal_api_s));
  EXPECT_EQ(hal_api_field_find("no_such_field"), nullptr);
  EXPECT_EQ(hal_api_field_find(nullptr), nullptr);
  EXPECT_STREQ(hal_api_field_group(hal_api_field_find("kova_device_e")), "Device and modes (user inputs)");
  EXPECT_STREQ(hal_api_field_group(&hal_api_fields[hal_api_field_count - 1]), "Limits (set by init_api per device and mode)");
  EXPECT_EQ(hal_api_field_group(hal_api_fields + hal_api_field_count), nullptr);
}

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
  EXPECT_FALSE(hal_field_set_text(&h, hal_api_field_find("dpll_df"), nullptr, &err));
}

}  // namespace
