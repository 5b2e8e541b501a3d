// The field table of hal_api_s against the struct, and setting fields from text.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "hal/hal_fields.h"

namespace {

size_t kind_align(hal_field_kind_e k) {
  switch (k) {
    case hal_field_u64_e:
    case hal_field_i64_e:
    case hal_field_dbl_e: return alignof(uint64_t);
    case hal_field_ptr_e: return alignof(void *);
    default: return alignof(uint32_t);
  }
}

size_t kind_size(hal_field_kind_e k) {
  switch (k) {
    case hal_field_u64_e:
    case hal_field_i64_e:
    case hal_field_dbl_e: return 8;
    case hal_field_fprec_e: return 12;
    case hal_field_ptr_e: return sizeof(void *);
    default: return 4;
  }
}

bool ends_with(const std::string &s, const std::string &suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The table covers the struct exactly: fields in order, no gaps but alignment padding, and
// nothing after the last field. A member added to the struct and not the table (or the
// reverse) breaks this.
TEST(FieldTable, CoversTheStructInOrder) {
  ASSERT_EQ(hal_api_field_count, 471u);
  size_t end = 0;
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s &f = hal_api_fields[i];
    SCOPED_TRACE(f.name);
    const size_t a = kind_align(f.kind);
    EXPECT_EQ(f.size, kind_size(f.kind));
    EXPECT_EQ(f.offset, (end + a - 1) / a * a);
    end = f.offset + f.size;
  }
  EXPECT_EQ((end + 7) / 8 * 8, sizeof(hal_api_s));
  EXPECT_STREQ(hal_api_fields[0].name, "kova_hal_api_version");
  EXPECT_STREQ(hal_api_fields[hal_api_field_count - 1].name, "ocdiv_solution_msgs_max");
}

TEST(FieldTable, NamesKindsAndKeywordsAgree) {
  std::set<std::string> names;
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s &f = hal_api_fields[i];
    const std::string n = f.name;
    SCOPED_TRACE(n);
    EXPECT_TRUE(names.insert(n).second) << "duplicate";
    EXPECT_EQ(hal_api_field_find(f.name), &f);
    // The name's suffix states its kind.
    if (ends_with(n, "_s")) {
      EXPECT_EQ(f.kind, hal_field_fprec_e);
    }
    if (ends_with(n, "_e")) {
      EXPECT_EQ(f.kind, hal_field_enum_e);
    }
    if (ends_with(n, "_r")) {
      EXPECT_EQ(f.kind, hal_field_dbl_e);
    }
    if (f.kind == hal_field_fprec_e) {
      EXPECT_TRUE(ends_with(n, "_s"));
    }
    if (f.kind == hal_field_enum_e) {
      EXPECT_TRUE(ends_with(n, "_e"));
    }
    const std::string kw = f.keyword;
    if (f.kind == hal_field_enum_e && !kw.empty()) {
      EXPECT_EQ(kw.rfind("enum ", 0), 0u);
    }
    if (f.kind == hal_field_fprec_e) {
      EXPECT_EQ(kw, "fprec_s");
    }
    if (f.kind == hal_field_dbl_e) {
      EXPECT_EQ(kw, "doublex");
    }
    if (f.kind == hal_field_u64_e) {
      EXPECT_EQ(kw, "uint64x");
    }
    if (f.kind == hal_field_i64_e) {
      EXPECT_EQ(kw, "int64x");
    }
    EXPECT_NE(hal_api_field_group(&f), nullptr);
  }
  EXPECT_EQ(hal_api_field_find("no_such_field"), nullptr);
  EXPECT_EQ(hal_api_field_find(nullptr), nullptr);
  EXPECT_STREQ(hal_api_field_group(hal_api_field_find("vco_clk_max_mhz_r")),
               "Limits (set by init_api per device and mode)");
  EXPECT_STREQ(hal_api_field_group(hal_api_field_find("kova_device_e")), "Device and modes (user inputs)");
}

TEST(FieldTable, SetFromText) {
  hal_api_s h{};
  std::string err;
  auto set = [&](const char *name, const char *text) {
    return hal_field_set_text(&h, hal_api_field_find(name), text, &err);
  };
  EXPECT_TRUE(set("dpll_bw_hz", "0x1F"));
  EXPECT_EQ(h.dpll_bw_hz, 31u);
  EXPECT_TRUE(set("dpll_bw_hz", "010"));  // decimal, never octal
  EXPECT_EQ(h.dpll_bw_hz, 10u);
  EXPECT_TRUE(set("dpll_bw_hz", "4294967295"));
  EXPECT_EQ(h.dpll_bw_hz, 4294967295u);
  for (const char *bad : {"4294967296", "-1", "", " 5", "5 ", "1e3", "0x", "abc", "+5"}) {
    EXPECT_FALSE(set("dpll_bw_hz", bad)) << bad;
    EXPECT_EQ(h.dpll_bw_hz, 4294967295u);
  }
  EXPECT_NE(err.find("dpll_bw_hz"), std::string::npos);

  EXPECT_TRUE(set("man_phoff_ps", "-2147483648"));
  EXPECT_EQ(h.man_phoff_ps, INT32_MIN);
  EXPECT_FALSE(set("man_phoff_ps", "2147483648"));
  EXPECT_TRUE(set("kova_mode_e", "3"));
  EXPECT_EQ(h.kova_mode_e, 3);
  EXPECT_TRUE(set("afbdiv1_afbdiv_u42", "0xFFFFFFFFFFFFFFFF"));
  EXPECT_EQ(h.afbdiv1_afbdiv_u42, UINT64_MAX);
  EXPECT_FALSE(set("afbdiv1_afbdiv_u42", "18446744073709551616"));
  EXPECT_TRUE(set("lfint_rw_i64_22", "-5"));
  EXPECT_EQ(h.lfint_rw_i64_22, -5);

  EXPECT_TRUE(set("vco_clk_max_mhz_r", "4180.5"));
  EXPECT_EQ(h.vco_clk_max_mhz_r, 4180.5);
  for (const char *bad : {"nan", "inf", "1e999", "12x", ""}) EXPECT_FALSE(set("vco_clk_max_mhz_r", bad)) << bad;
  EXPECT_EQ(h.vco_clk_max_mhz_r, 4180.5);

  EXPECT_TRUE(set("oc1_freq_s", "156250000"));
  EXPECT_EQ(h.oc1_freq_s.f, 156250000u);
  EXPECT_EQ(h.oc1_freq_s.n, 1u);
  EXPECT_EQ(h.oc1_freq_s.m, 1u);
  EXPECT_TRUE(set("oc1_freq_s", "100000000,1,3"));
  EXPECT_EQ(h.oc1_freq_s.m, 3u);
  for (const char *bad : {"1,2", "1,2,3,4", "1,,3", ",1,1", "1,2,", "4294967296,1,1", "1;2;3", ""})
    EXPECT_FALSE(set("oc1_freq_s", bad)) << bad;
  EXPECT_EQ(h.oc1_freq_s.f, 100000000u);

  EXPECT_FALSE(set("hal_obj_p", "0"));
  EXPECT_FALSE(hal_field_set_text(&h, nullptr, "1", &err));
  EXPECT_FALSE(hal_field_set_text(&h, hal_api_field_find("dpll_df"), nullptr, &err));
}

}  // namespace
