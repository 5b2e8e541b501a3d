// Register map: the layouts by device, the layout, component and segment parsers, and
// multi-register values.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string_view>
#include <tuple>

#include "hal/hal_api.h"
#include "regs/regmap.h"
#include "regs/regmap_data.h"

namespace {

// Every layout of the register table parses as eight bits of components; class A, B and C
// layouts of one register; registers without a layout on every device.
TEST(RegMap, LayoutsParseAndFollowTheDeviceClass) {
  for (size_t i = 0; i < kova_reg_row_count; ++i)
    for (const char *text : kova_reg_rows[i].layout) {
      kova_bitfield_s f[8];
      uint32_t count = 0;
      EXPECT_TRUE(!text || kova_layout_parse(text, f, &count)) << kova_reg_rows[i].name;
    }
  EXPECT_STREQ(kova_reg_bitfields(0x050, 40110), "- - - - - - - -");
  EXPECT_STREQ(kova_reg_bitfields(0x050, 40113), "LKCLR LKTO LOS ACVAL PCVAL - VAL VALT");
  EXPECT_STREQ(kova_reg_bitfields(0x050, 40089), "LKCLR LKTO LOS ACVAL PCVAL PPVAL VAL VALT");
  EXPECT_STREQ(kova_reg_bitfields(0x050, 0), "LKCLR LKTO LOS ACVAL PCVAL PPVAL VAL VALT");
  for (int32_t d : {40000, 40075, 40089, 40110, 40111, 40112, 40113}) {
    EXPECT_STREQ(kova_reg_bitfields(0x202, d), "SRLSEN DIVSEL NEGLSD LSSEL - - - LSDIV[24]");
    for (uint32_t a : {0x120u, 0x467u, 0x010u, 0x700u}) EXPECT_EQ(kova_reg_bitfields(a, d), nullptr) << a;  // no layout
  }
}

// ok, high, low, width
using Component = std::tuple<bool, uint32_t, uint32_t, uint32_t>;

Component component(std::string_view text) {
  uint32_t h = 99, l = 99, w = 99;
  const bool ok = BitfieldComponentParse(text, &h, &l, &w);
  return {ok, h, l, w};
}

// ok, value high, value low, register, register high, register low, width
using Segment = std::tuple<bool, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t>;

Segment segment(std::string_view text) {
  uint32_t vh = 99, vl = 99, reg = 99, rh = 99, rl = 99, w = 99;
  const bool ok = BitfieldMappingParse(text, &vh, &vl, &reg, &rh, &rl, &w);
  return {ok, vh, vl, reg, rh, rl, w};
}

// Components read names, ranges and indexes; malformed ones fail as plain one-bit fields.
// Segments read decimal bits and a hexadecimal register; malformed ones fail with zeros.
// Layouts place their components from bit 7 down and fail on anything but eight bits.
TEST(Parsers, ComponentsSegmentsAndLayouts) {
  const struct { const char *t; Component want; } good[] = {
      {"LSDIV[24]", {true, 24, 24, 1}}, {"-", {true, 0, 0, 1}}, {"  DIV[19:16] ", {true, 19, 16, 4}},
      {"AFBDIV[41:40]", {true, 41, 40, 2}}, {"DIS_BC_DONE", {true, 0, 0, 1}}};
  for (const auto &c : good) EXPECT_EQ(component(c.t), c.want) << c.t;
  for (const char *t : {"", "   ", "DIV[7:0", "DIV7:0]", "DIV[]", "DIV[:]", "DIV[a:0]", "DIV[7:b]", "DIV[7:0:1]",
                        "DIV[0:7]", "DIV[15:0]", "DIV[64]", "DIV[99999999999999999999]", "DIV[7:0]]", "[7:0]",
                        "DIV[-1]", "DI V", "DIV[7:0]x", "DIV[[7:0]", "--", "A]", "DIV[ 7 :0", "N\xff"}) {
    EXPECT_EQ(component(t), Component(false, 0, 0, 1)) << '"' << t << '"';
  }
  EXPECT_TRUE(BitfieldComponentParse("X[3:0]", nullptr, nullptr, nullptr));  // null outputs are allowed
  EXPECT_TRUE(IsMultiBitField("MEAS[10:8]") && !IsMultiBitField("MEAS") && !IsMultiBitField(""));
  const struct { const char *t; Segment want; } segs[] = {
      {"[41:40:10B:1:0]", {true, 41, 40, 0x10B, 1, 0, 2}}, {"[24:24: 202 :0:0]", {true, 24, 24, 0x202, 0, 0, 1}},
      {"[7:0:31c:7:0]", {true, 7, 0, 0x31C, 7, 0, 8}}};
  for (const auto &c : segs) EXPECT_EQ(segment(c.t), c.want) << c.t;
  for (const char *t : {"", "[]", "[7:0:10B:1:0", "7:0:10B:1:0]", "[7:0:10B:1]", "[7:0:10B:1:0:0]", "[x:0:10B:7:0]",
                        "[7:0:10G:7:0]", "[7:0::7:0]", "[7:0:800:7:0]", "[7:0:10B:8:1]", "[64:57:10B:7:0]",
                        "[0:7:10B:7:0]", "[7:0:10B:0:7]", "[7:0:10B:3:0]", "[7:0:FFFFFFFFFFFF:7:0]",
                        "[99999999999:0:1:7:0]", "[7:0:10B:7:0]]", "[[7:0:10B:7:0]", "[7:-1:10B:7:0]"}) {
    EXPECT_EQ(segment(t), Segment(false, 0, 0, 0, 0, 0, 0)) << t;
  }
  kova_bitfield_s f[8];
  uint32_t n = 0;
  ASSERT_TRUE(kova_layout_parse("- EXTSS[1:0] AINCDIS - MCLK[2:0]", f, &n));
  ASSERT_EQ(n, 5u);
  EXPECT_TRUE(!std::strcmp(f[1].name, "EXTSS") && f[1].reg_high == 6u && f[1].reg_low == 5u && f[1].high == 1u);
  EXPECT_TRUE(!std::strcmp(f[4].name, "MCLK") && f[4].reg_high == 2u && f[4].reg_low == 0u);
  // 7 bits, 9 components, 9 bits, an open bracket, nothing.
  for (const char *bad : {"A B C D E F G", "A B C D E F G H I", "X[7:0] Y", "X[7:0 Y", ""}) {
    n = 7;
    EXPECT_FALSE(kova_layout_parse(bad, f, &n)) << bad;
    EXPECT_EQ(n, 0u) << bad;
  }
}

// Component texts without a terminator, in buffers of their exact size (the address sanitizer
// reports any read past them), are read within their length; null texts (a register without
// a layout) count as empty.
TEST(Parsers, UnterminatedAndNullTexts) {
  const char *comp = "AFBDIV[41:40]";
  for (size_t n = 0; n <= std::strlen(comp); ++n) {
    const std::vector<char> exact(comp, comp + n);
    EXPECT_EQ(std::get<0>(component(std::string_view(exact.data(), n))), n == std::strlen(comp) || (n >= 1 && n <= 6));
  }
  const char *none = kova_reg_bitfields(0x120, 40000);
  ASSERT_EQ(none, nullptr);
  uint32_t h, l, w, r, rh, rl;
  kova_bitfield_s f[8];
  kova_multireg_s m;
  EXPECT_FALSE(IsMultiBitField(none) || BitfieldComponentParse(none, &h, &l, &w) ||
               BitfieldMappingParse(none, &h, &l, &r, &rh, &rl, &w) || kova_layout_parse(none, f, &w) ||
               kova_multireg_parse(none, &m));
}

TEST(MultiReg, EveryValueRoundTripsAndLeavesOtherBitsAlone) {
  std::mt19937_64 rng(12345);
  for (size_t i = 0; i < KOVA_MULTIREG_COUNT; ++i) {
    kova_multireg_s m;
    ASSERT_TRUE(kova_multireg_parse(kova_multireg_layouts[i], &m));
    std::vector<uint8_t> mask(KOVA_REG_COUNT, 0);  // the bits of the segments
    for (uint32_t s = 0; s < m.count; ++s)
      mask[m.seg[s].reg] |= static_cast<uint8_t>(kova_multireg_max(m.seg[s].width) << m.seg[s].reg_low);
    for (int trial = 0; trial < 20; ++trial) {
      std::vector<uint8_t> img(KOVA_REG_COUNT);
      for (uint8_t &b : img) b = static_cast<uint8_t>(rng());
      const std::vector<uint8_t> before = img;
      const uint64_t v = rng();
      kova_multireg_write(img.data(), &m, v);
      EXPECT_EQ(kova_multireg_read(img.data(), &m), v & kova_multireg_max(m.width)) << m.name;
      for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) ASSERT_EQ(img[a] & ~mask[a], before[a] & ~mask[a]) << m.name << " at " << a;
    }
  }
}

// Nine segments, one more than any layout can hold, fail without overrunning the segment array.
TEST(MultiReg, NineSegmentsFail) {
  kova_multireg_s m;
  EXPECT_FALSE(kova_multireg_parse(
      "X;[7:0:1:7:0][7:0:1:7:0][7:0:1:7:0][7:0:1:7:0][7:0:1:7:0][7:0:1:7:0][7:0:1:7:0][7:0:1:7:0][7:0:1:7:0]", &m));
  EXPECT_EQ(m.count, 0u);
}

}  // namespace
