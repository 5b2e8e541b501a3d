// Register map: the tables themselves (checks that catch a transcription slip), the
// lookups, the layout and segment parsers, and multi-register values.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <string_view>

#include "hal/hal_api.h"
#include "regs/regmap.h"
#include "regs/regmap_data.h"
#include "tests/regs/regs_test_util.h"

namespace {

using regs_test::Hal;

constexpr int32_t kDevices[] = {40000, 40075, 40089, 40110, 40111, 40112, 40113};

// ---- the tables ----

TEST(RegTable, RowsAreAscendingWithUniqueWellFormedNames) {
  std::set<std::string> names;
  for (size_t i = 0; i < kova_reg_row_count; ++i) {
    const kova_reg_row_s &r = kova_reg_rows[i];
    if (i > 0) {
      EXPECT_LT(kova_reg_rows[i - 1].address, r.address) << r.name;
    }
    EXPECT_LE(r.address, KOVA_REG_LAST);
    ASSERT_NE(r.name, nullptr);
    std::string n = r.name;
    EXPECT_FALSE(n.empty());
    EXPECT_EQ(n.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_"),
              std::string::npos)
        << n;
    EXPECT_TRUE(names.insert(n).second) << "duplicate name " << n;
    // A register without a layout has no class columns either.
    if (!r.layout[0]) {
      EXPECT_TRUE(!r.layout[1] && !r.layout[2]) << n;
    }
  }
}

TEST(RegTable, NamedAddressesAndGapsPartitionTheImage) {
  // Every address 0x000..0x7FF is either a named register or in exactly one gap.
  std::vector<int> hits(KOVA_REG_COUNT, 0);
  for (size_t i = 0; i < kova_reg_row_count; ++i) ++hits[kova_reg_rows[i].address];
  for (size_t g = 0; g < kova_reg_gap_count; ++g) {
    const kova_reg_range_s &r = kova_reg_gaps[g];
    ASSERT_LE(r.first, r.last);
    if (g > 0) {
      EXPECT_LT(kova_reg_gaps[g - 1].last, r.first);
    }
    for (uint32_t a = r.first; a <= r.last; ++a) ++hits[a];
  }
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) EXPECT_EQ(hits[a], 1) << std::hex << a;
  // The register space ends at 0x6FF.
  EXPECT_EQ(kova_reg_gaps[kova_reg_gap_count - 1].first, 0x700);
  EXPECT_EQ(kova_reg_gaps[kova_reg_gap_count - 1].last, 0x7FF);
}

TEST(RegTable, EveryLayoutIsEightBitsInSingleBlankSeparatedComponents) {
  for (size_t i = 0; i < kova_reg_row_count; ++i) {
    const kova_reg_row_s &r = kova_reg_rows[i];
    for (const char *text : r.layout) {
      if (!text) continue;
      std::string_view t(text);
      EXPECT_EQ(t.find("  "), std::string_view::npos) << r.name;
      EXPECT_NE(t.front(), ' ') << r.name;
      EXPECT_NE(t.back(), ' ') << r.name;
      uint32_t sum = 0, n = 0;
      size_t pos = 0;
      while (pos <= t.size()) {
        size_t end = t.find(' ', pos);
        if (end == std::string_view::npos) end = t.size();
        uint32_t h, l, w;
        EXPECT_TRUE(BitfieldComponentParse(t.substr(pos, end - pos), &h, &l, &w))
            << r.name << ": " << t.substr(pos, end - pos);
        sum += w;
        ++n;
        pos = end + 1;
      }
      EXPECT_EQ(sum, 8u) << r.name << ": " << text;
      kova_bitfield_s f[8];
      uint32_t count = 0;
      EXPECT_TRUE(kova_layout_parse(text, f, &count)) << r.name;
      EXPECT_EQ(count, n) << r.name;
    }
  }
}

// Layout component of the register covering bits rh..rl exactly, for class C devices.
bool component_at(uint32_t reg, uint32_t rh, uint32_t rl, kova_bitfield_s *out) {
  const char *layout = kova_reg_bitfields(reg, 40000);
  kova_bitfield_s f[8];
  uint32_t n = 0;
  if (!layout || !kova_layout_parse(layout, f, &n)) return false;
  for (uint32_t i = 0; i < n; ++i)
    if (f[i].reg_high == rh && f[i].reg_low == rl) {
      *out = f[i];
      return true;
    }
  return false;
}

TEST(RegTable, MultiRegisterLayoutsAgreeWithTheRegisterLayouts) {
  std::set<std::string> names;
  for (size_t i = 0; i < KOVA_MULTIREG_COUNT; ++i) {
    const char *text = kova_multireg_layouts[i];
    kova_multireg_s m;
    ASSERT_TRUE(kova_multireg_parse(text, &m)) << text;
    EXPECT_TRUE(names.insert(m.name).second) << m.name;
    // Segment widths add up to the value's width and cover each value bit once.
    uint32_t top = 0, sum = 0;
    uint64_t covered = 0;
    for (uint32_t s = 0; s < m.count; ++s) {
      const kova_multireg_seg_s &g = m.seg[s];
      EXPECT_EQ(g.value_high - g.value_low, g.reg_high - g.reg_low) << text;
      uint64_t bits = kova_multireg_max(g.width) << g.value_low;
      EXPECT_EQ(covered & bits, 0u) << text;
      covered |= bits;
      top = std::max(top, g.value_high + 1);
      sum += g.width;
      // The register piece is where the register's own layout shows that value's bits.
      kova_bitfield_s comp;
      ASSERT_TRUE(component_at(g.reg, g.reg_high, g.reg_low, &comp))
          << text << " segment " << s;
      std::string want = m.name;
      std::string got = comp.name;
      if (got != want) want.erase(want.find_last_not_of("0123456789") + 1);
      EXPECT_EQ(got, want) << text << " segment " << s;
      EXPECT_EQ(comp.high, g.value_high) << text << " segment " << s;
      EXPECT_EQ(comp.low, g.value_low) << text << " segment " << s;
    }
    EXPECT_EQ(sum, m.width) << text;
    EXPECT_EQ(top, m.width) << text;
    EXPECT_EQ(covered, kova_multireg_max(m.width)) << text;
  }
}

// ---- lookups ----

TEST(RegMap, LayoutsFollowTheDeviceClass) {
  EXPECT_STREQ(kova_reg_bitfields(0x044, 40110), "- - - - - - - -");
  EXPECT_STREQ(kova_reg_bitfields(0x044, 40111), "- - - - - - - -");
  EXPECT_STREQ(kova_reg_bitfields(0x044, 40112), "- - - - - IC3 IC2 IC1");
  EXPECT_STREQ(kova_reg_bitfields(0x044, 40000), "- - - - - IC3 IC2 IC1");  // same as B
  EXPECT_STREQ(kova_reg_bitfields(0x050, 40110), "- - - - - - - -");
  EXPECT_STREQ(kova_reg_bitfields(0x050, 40113), "LKCLR LKTO LOS ACVAL PCVAL - VAL VALT");
  EXPECT_STREQ(kova_reg_bitfields(0x050, 40089), "LKCLR LKTO LOS ACVAL PCVAL PPVAL VAL VALT");
  EXPECT_STREQ(kova_reg_bitfields(0x05C, 40075), "IE15 IE14 IE13 IE12 IE11 FLIMIE FCHLIMIE PSLIMIE");
  EXPECT_STREQ(kova_reg_bitfields(0x042, 40110), "- GLOB OC - - APLL INTIE INT");
  for (int32_t d : kDevices) {
    EXPECT_STREQ(kova_reg_bitfields(0x00A, d), "- EXTSS[1:0] AINCDIS - MCLK[2:0]");
    EXPECT_STREQ(kova_reg_bitfields(0x202, d), "SRLSEN DIVSEL NEGLSD LSSEL - - - LSDIV[24]");
    EXPECT_EQ(kova_reg_bitfields(0x120, d), nullptr);  // named, but no layout
    EXPECT_EQ(kova_reg_bitfields(0x467, d), nullptr);
    EXPECT_EQ(kova_reg_bitfields(0x010, d), nullptr);
    EXPECT_EQ(kova_reg_bitfields(0x700, d), nullptr);
  }
  EXPECT_EQ(kova_reg_layout_class(40110), kova_layout_class_a);
  EXPECT_EQ(kova_reg_layout_class(40113), kova_layout_class_b);
  EXPECT_EQ(kova_reg_layout_class(0), kova_layout_class_c);
}

TEST(RegMap, BitfieldMapIsAPrefixMatchInTableOrder) {
  EXPECT_STREQ(kova_bitfield_map("LSDIV2"), kova_multireg_layouts[12]);
  EXPECT_STREQ(kova_bitfield_map("DIV2"), kova_multireg_layouts[21]);
  EXPECT_STREQ(kova_bitfield_map("DIV1"), kova_multireg_layouts[14]);
  EXPECT_STREQ(kova_bitfield_map("DIV"), kova_multireg_layouts[14]);
  EXPECT_STREQ(kova_bitfield_map("FREQ"), kova_multireg_layouts[6]);
  EXPECT_STREQ(kova_bitfield_map("FREQZ"), kova_multireg_layouts[38]);
  EXPECT_STREQ(kova_bitfield_map("PP"), kova_multireg_layouts[18]);
  EXPECT_STREQ(kova_bitfield_map("DECINC"), kova_multireg_layouts[41]);
  EXPECT_EQ(kova_bitfield_map("XYZ"), nullptr);
  EXPECT_EQ(kova_bitfield_map("div1"), nullptr);
  EXPECT_EQ(kova_bitfield_map(""), nullptr);
  EXPECT_EQ(kova_bitfield_map("AFBDIV;[7:0:106:7:0]XX"), nullptr);
}

// ---- parsers ----

struct Component {
  uint32_t h = 99, l = 99, w = 99;
  bool ok = false;
};

Component component(std::string_view text) {
  Component c;
  c.ok = BitfieldComponentParse(text, &c.h, &c.l, &c.w);
  return c;
}

TEST(BitfieldComponent, ReadsNamesRangesAndIndexes) {
  const struct { const char *t; uint32_t h, l, w; } cases[] = {
      {"LSDIV[24]", 24, 24, 1}, {"-", 0, 0, 1}, {"  DIV[19:16] ", 19, 16, 4}, {"AFBDIV[41:40]", 41, 40, 2},
      {"DIS_BC_DONE", 0, 0, 1}};
  for (const auto &c : cases) {
    const Component x = component(c.t);
    EXPECT_TRUE(x.ok && x.h == c.h && x.l == c.l && x.w == c.w) << c.t;
  }
  EXPECT_TRUE(IsMultiBitField("MEAS[10:8]"));
  EXPECT_FALSE(IsMultiBitField("MEAS"));
  EXPECT_FALSE(IsMultiBitField(""));
}

TEST(BitfieldComponent, MalformedComponentsFailAsPlainOneBitFields) {
  const char *bad[] = {
      "",           "   ",          "DIV[7:0",     "DIV7:0]",     "DIV[]",      "DIV[:]",
      "DIV[a:0]",   "DIV[7:b]",     "DIV[7:0:1]",  "DIV[0:7]",    "DIV[15:0]",  "DIV[64]",
      "DIV[99999999999999999999]",  "DIV[7:0]]",   "[7:0]",       "DIV[-1]",    "DI V",
      "DIV[7:0]x",  "DIV[[7:0]",    "--",          "A]",          "DIV[ 7 :0",  "N\xff",
  };
  for (const char *t : bad) {
    Component c = component(t);
    EXPECT_FALSE(c.ok) << '"' << t << '"';
    EXPECT_EQ(c.h, 0u) << t;
    EXPECT_EQ(c.l, 0u) << t;
    EXPECT_EQ(c.w, 1u) << t;
  }
  // Null outputs are allowed.
  EXPECT_TRUE(BitfieldComponentParse("X[3:0]", nullptr, nullptr, nullptr));
}

struct Segment {
  uint32_t vh = 99, vl = 99, reg = 99, rh = 99, rl = 99, w = 99;
  bool ok = false;
};

Segment segment(std::string_view text) {
  Segment s;
  s.ok = BitfieldMappingParse(text, &s.vh, &s.vl, &s.reg, &s.rh, &s.rl, &s.w);
  return s;
}

TEST(BitfieldMapping, ReadsDecimalBitsAndHexadecimalRegister) {
  const struct { const char *t; uint32_t vh, vl, reg, rh, rl, w; } cases[] = {
      {"[41:40:10B:1:0]", 41, 40, 0x10B, 1, 0, 2}, {"[24:24: 202 :0:0]", 24, 24, 0x202, 0, 0, 1},
      {"[7:0:31c:7:0]", 7, 0, 0x31C, 7, 0, 8}};
  for (const auto &c : cases) {
    const Segment s = segment(c.t);
    EXPECT_TRUE(s.ok && s.vh == c.vh && s.vl == c.vl && s.reg == c.reg && s.rh == c.rh && s.rl == c.rl && s.w == c.w)
        << c.t;
  }
}

TEST(BitfieldMapping, MalformedSegmentsFailWithZeros) {
  const char *bad[] = {
      "",                  "[]",                 "[7:0:10B:1:0",      "7:0:10B:1:0]",
      "[7:0:10B:1]",       "[7:0:10B:1:0:0]",    "[x:0:10B:7:0]",     "[7:0:10G:7:0]",
      "[7:0::7:0]",        "[7:0:800:7:0]",      "[7:0:10B:8:1]",     "[64:57:10B:7:0]",
      "[0:7:10B:7:0]",     "[7:0:10B:0:7]",      "[7:0:10B:3:0]",     "[7:0:FFFFFFFFFFFF:7:0]",
      "[99999999999:0:1:7:0]", "[7:0:10B:7:0]]", "[[7:0:10B:7:0]",    "[7:-1:10B:7:0]",
  };
  for (const char *t : bad) {
    Segment s = segment(t);
    EXPECT_FALSE(s.ok) << t;
    EXPECT_EQ(s.vh | s.vl | s.reg | s.rh | s.rl | s.w, 0u) << t;
  }
}

TEST(Parsers, NeverReadBeyondTheTextGiven) {
  // Texts without a terminator in buffers of their exact size (the address sanitizer
  // reports any read past them).
  auto exact = [](const char *s, size_t n) {
    std::unique_ptr<char[]> p(new char[n ? n : 1]);
    std::memcpy(p.get(), s, n);
    return p;
  };
  const char *seg = "[41:40:10B:1:0]";
  for (size_t n = 0; n <= std::strlen(seg); ++n) {
    auto p = exact(seg, n);
    EXPECT_EQ(segment(std::string_view(p.get(), n)).ok, n == std::strlen(seg)) << n;
  }
  const char *comp = "AFBDIV[41:40]";
  for (size_t n = 0; n <= std::strlen(comp); ++n) {
    auto p = exact(comp, n);
    bool ok = component(std::string_view(p.get(), n)).ok;
    EXPECT_EQ(ok, n == std::strlen(comp) || (n >= 1 && n <= 6)) << n;
  }
  const char *multi = kova_multireg_layouts[8];
  for (size_t n = 0; n <= std::strlen(multi); ++n) {
    auto p = exact(multi, n);
    kova_multireg_s m;
    bool ok = kova_multireg_parse(std::string_view(p.get(), n), &m);
    // Valid exactly when the cut falls just after a segment.
    bool at_segment_end = n > 7 && multi[n - 1] == ']';
    EXPECT_EQ(ok, at_segment_end) << n;
  }
}

TEST(LayoutParse, PlacesComponentsFromBitSevenDown) {
  kova_bitfield_s f[8];
  uint32_t n = 0;
  ASSERT_TRUE(kova_layout_parse("- EXTSS[1:0] AINCDIS - MCLK[2:0]", f, &n));
  ASSERT_EQ(n, 5u);
  EXPECT_STREQ(f[1].name, "EXTSS");
  EXPECT_EQ(f[1].reg_high, 6u);
  EXPECT_EQ(f[1].reg_low, 5u);
  EXPECT_STREQ(f[4].name, "MCLK");
  EXPECT_EQ(f[4].reg_high, 2u);
  EXPECT_EQ(f[4].reg_low, 0u);
  ASSERT_TRUE(kova_layout_parse("SRLSEN DIVSEL NEGLSD LSSEL - - - LSDIV[24]", f, &n));
  EXPECT_STREQ(f[0].name, "SRLSEN");
  EXPECT_EQ(f[0].reg_high, 7u);
  EXPECT_STREQ(f[7].name, "LSDIV");
  EXPECT_EQ(f[7].reg_low, 0u);
  EXPECT_EQ(f[7].high, 24u);

  EXPECT_FALSE(kova_layout_parse("A B C D E F G", f, &n));        // 7 bits
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(kova_layout_parse("A B C D E F G H I", f, &n));    // 9 components
  EXPECT_FALSE(kova_layout_parse("X[7:0] Y", f, &n));             // 9 bits
  EXPECT_FALSE(kova_layout_parse("X[7:0 Y", f, &n));
  EXPECT_FALSE(kova_layout_parse("", f, &n));
}

// ---- multi-register values ----

TEST(MultiReg, AfbdivIsFortyTwoBitsOfSixRegisters) {
  Hal h;
  regs_test::init_full(h.get(), 40000, kova_mode_ja_e);
  kova_multireg_s m;
  ASSERT_TRUE(kova_multireg_find("AFBDIV[41:40]", &m));
  char cap[64];
  kova_multireg_caption("AFBDIV", m.width, cap, sizeof cap);
  EXPECT_STREQ(cap, "AFBDIV (42 Bits)");
  for (uint32_t a = 0x106; a <= 0x10B; ++a) put_reg(h.get(), a, 0xFC);
  EXPECT_EQ(kova_multireg_get(h.get(), &m), 0x0FCFCFCFCFCull);
  kova_multireg_put(h.get(), &m, 0x3FFFFFFFFFFull);
  EXPECT_EQ(get_reg(h.get(), 0x10B), 0xFFu);  // bits 7..2 kept, bits 1..0 set
}

TEST(MultiReg, EveryValueRoundTripsAndLeavesOtherBitsAlone) {
  std::mt19937_64 rng(12345);
  for (size_t i = 0; i < KOVA_MULTIREG_COUNT; ++i) {
    kova_multireg_s m;
    ASSERT_TRUE(kova_multireg_parse(kova_multireg_layouts[i], &m));
    for (int trial = 0; trial < 20; ++trial) {
      std::vector<uint8_t> img(KOVA_REG_COUNT);
      for (uint8_t &b : img) b = static_cast<uint8_t>(rng());
      std::vector<uint8_t> before = img;
      uint64_t v = rng();
      kova_multireg_write(img.data(), &m, v);
      EXPECT_EQ(kova_multireg_read(img.data(), &m), v & kova_multireg_max(m.width)) << m.name;
      // Only the bits of the segments may change.
      std::vector<uint8_t> mask(KOVA_REG_COUNT, 0);
      for (uint32_t s = 0; s < m.count; ++s)
        mask[m.seg[s].reg] |= static_cast<uint8_t>(kova_multireg_max(m.seg[s].width)
                                                   << m.seg[s].reg_low);
      for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a)
        ASSERT_EQ(img[a] & ~mask[a], before[a] & ~mask[a]) << m.name << " at " << a;
    }
  }
}

TEST(MultiReg, FindUsesTheComponentNameAndRejectsUnknownOnes) {
  kova_multireg_s m;
  ASSERT_TRUE(kova_multireg_find("DIV[19:16]", &m));  // first entry starting with DIV
  EXPECT_STREQ(m.name, "DIV1");
  EXPECT_EQ(m.width, 20u);
  ASSERT_TRUE(kova_multireg_find("MEAS[10:8]", &m));
  EXPECT_EQ(m.width, 11u);
  EXPECT_EQ(m.seg[0].reg, 0x04Bu);
  EXPECT_FALSE(kova_multireg_find("B[7:0]", &m));
  EXPECT_EQ(m.count, 0u);
  EXPECT_FALSE(kova_multireg_find("[7:0]", &m));
  EXPECT_FALSE(kova_multireg_find("", &m));
}

TEST(MultiReg, MalformedLayoutsFail) {
  const char *bad[] = {
      "AFBDIV[7:0:106:7:0]",                // no ";"
      ";[7:0:106:7:0]",                     // no name
      "A-B;[7:0:106:7:0]",                  // not a name
      "AFBDIV;",                            // no segment
      "AFBDIV;[7:0:106:7:0][15:8:107:7:0",  // last bracket missing
      "AFBDIV;[7:0:106:7:0]x",              // trailing text
      "AFBDIV;[7:0:106:7:0]junk[15:8:107:7:0]",
      "AFBDIV;[7:0:106:7:0][15:8:107:7]",   // malformed segment
      "X;[7:0:1:7:0][7:0:1:7:0][7:0:1:7:0][7:0:1:7:0][7:0:1:7:0][7:0:1:7:0][7:0:1:7:0]"
      "[7:0:1:7:0][7:0:1:7:0]",             // nine segments
  };
  kova_multireg_s m;
  for (const char *t : bad) {
    EXPECT_FALSE(kova_multireg_parse(t, &m)) << t;
    EXPECT_EQ(m.count, 0u) << t;
  }
  // Eight full segments make the largest value, 64 bits; it reads and writes without
  // shifting out of range.
  ASSERT_TRUE(kova_multireg_parse(
      "X;[63:56:1:7:0][55:48:2:7:0][47:40:3:7:0][39:32:4:7:0][31:24:5:7:0][23:16:6:7:0]"
      "[15:8:7:7:0][7:0:8:7:0] ",
      &m));
  EXPECT_EQ(m.width, 64u);
  std::vector<uint8_t> img(KOVA_REG_COUNT, 0);
  kova_multireg_write(img.data(), &m, 0x0123456789ABCDEFull);
  EXPECT_EQ(img[1], 0x01);
  EXPECT_EQ(img[8], 0xEF);
  EXPECT_EQ(kova_multireg_read(img.data(), &m), 0x0123456789ABCDEFull);
}

TEST(Parsers, NullTextsCountAsEmpty) {
  const char *none = kova_reg_bitfields(0x120, 40000);
  ASSERT_EQ(none, nullptr);
  EXPECT_FALSE(IsMultiBitField(none));
  EXPECT_EQ(kova_bitfield_map(none), nullptr);
  uint32_t h, l, w, r, rh, rl;
  EXPECT_FALSE(BitfieldComponentParse(none, &h, &l, &w));
  EXPECT_FALSE(BitfieldMappingParse(none, &h, &l, &r, &rh, &rl, &w));
  kova_bitfield_s f[8];
  EXPECT_FALSE(kova_layout_parse(none, f, &w));
  kova_multireg_s m;
  EXPECT_FALSE(kova_multireg_parse(none, &m));
  EXPECT_FALSE(kova_multireg_find(none, &m));
}

}  // namespace
