// The register view's core: typed values, bit boxes, pages, the field of a layout component
// (the right channel's value, its bits in the image) and the name filter.
#include <gtest/gtest.h>

#include "app/register_view_ops.h"
#include "regs/regmap_data.h"

namespace {

TEST(RegisterView, TypedValues) {
  struct byte_case {
    const char *text;
    int want;  // -1: refused
  } const bytes[] = {{"a5", 0xA5},  {" A5 ", 0xA5}, {"0xff", 0xFF}, {"0", 0},    {"100", -1}, {"0x", -1},
                     {"-1", -1},    {"+1", -1},     {"", -1},       {"a 5", -1}, {"5g", -1}};
  for (const auto &c : bytes) {
    SCOPED_TRACE(c.text);
    uint8_t v = 0x5A;
    EXPECT_EQ(reg_view_parse_byte(c.text, &v), c.want >= 0);
    EXPECT_EQ(v, c.want >= 0 ? c.want : 0x5A);
  }
  struct field_case {
    const char *text;
    uint64_t max;
    bool ok;
    uint64_t want;
  } const fields[] = {{"7", 7, true, 7},      {"8", 7, false, 0},        {"0x1F", 31, true, 31},
                      {"0X20", 31, false, 0}, {"1.5", 99, false, 0},     {"", 99, false, 0},
                      {"18446744073709551615", ~0ull, true, ~0ull},      {"18446744073709551616", ~0ull, false, 0}};
  for (const auto &c : fields) {
    SCOPED_TRACE(c.text);
    uint64_t v = 0;
    EXPECT_EQ(reg_view_parse_field(c.text, c.max, &v), c.ok);
    EXPECT_EQ(v, c.want);
  }
}

TEST(RegisterView, BitBoxes) {
  struct bit_case {
    uint8_t value;
    int box;
    bool one;
    uint8_t want;
  } const cases[] = {{0x01, 0, true, 0x81}, {0xFF, 7, false, 0xFE}, {0x80, 0, false, 0x00},
                     {0x00, 3, true, 0x10}, {0x81, 0, true, 0x81},  {0x12, 8, true, 0x12}};
  for (const auto &c : cases) EXPECT_EQ(reg_view_bit_apply(c.value, c.box, c.one), c.want) << c.box;
}

TEST(RegisterView, EveryNamedRegisterIsOnItsPageOnce) {
  const std::pair<uint32_t, int> starts[] = {{0x02F, 0}, {0x030, 1}, {0x0FF, 1}, {0x100, 2}, {0x5FF, 5},
                                             {0x600, 6}, {0x7FF, 6}, {0x800, -1}};
  for (const auto &[a, page] : starts) EXPECT_EQ(reg_view_page_of(a), page) << std::hex << a;
  size_t total = 0;
  for (int p = 0; p < REG_VIEW_PAGE_COUNT; ++p) {
    const auto regs = reg_view_page_registers(p);
    for (size_t i = 0; i < regs.size(); ++i) {
      EXPECT_EQ(reg_view_page_of(regs[i]), p) << std::hex << regs[i];
      if (i > 0) {
        EXPECT_LT(regs[i - 1], regs[i]);
      }
    }
    total += regs.size();
  }
  EXPECT_EQ(total, kova_reg_row_count);
  EXPECT_TRUE(reg_view_page_registers(REG_VIEW_PAGE_COUNT).empty());
  EXPECT_EQ(reg_view_panel_title(0x339), "MON2CR10, 0x339");
  EXPECT_EQ(reg_view_panel_title(0x00A), "MCR2, 0x0A");
}

TEST(RegisterView, FieldOfAComponentIsThatRegistersOwn) {
  struct field_case {
    uint32_t address;
    const char *component;
    const char *caption;  // null: no field to edit
  } const cases[] = {
      {0x321, "DIV", "DIV2 (20 Bits)"},          {0x343, "DIV[19:16]", "DIV3 (20 Bits)"},
      {0x202, "LSDIV", "LSDIV1 (25 Bits)"},      {0x223, "LSDIV", "LSDIV3 (25 Bits)"},
      {0x332, "PCN", "PCN2 (9 Bits)"},           {0x332, "SCC", "SCC2 (18 Bits)"},
      {0x00A, "MCLK", "MCLK (3 Bits)"},          {0x009, "RST", nullptr},
      {0x009, "-", nullptr},                     {0x009, "MCLK", nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.address) + " " + c.component);
    reg_view_field_s f{};
    ASSERT_EQ(reg_view_field_find(c.address, kova_device_40112_e, c.component, &f), c.caption != nullptr);
    if (!c.caption) continue;
    EXPECT_EQ(f.caption, c.caption);
    bool here = false;
    for (uint32_t s = 0; s < f.value.count; ++s) here = here || f.value.seg[s].reg == c.address;
    EXPECT_TRUE(here);
  }
}

TEST(RegisterView, FieldWriteKeepsTheOtherBitsAndChannels) {
  hal_api_s h{};
  h.kova_device_e = kova_device_40112_e;
  h.kova_device_rev_e = 1;
  h.init_api_mode_e = init_api_blank_e;
  init_api(&h);
  __dev_GuiParamS gui{};
  for (const bool direct : {false, true}) {  // offline both go to the image
    SCOPED_TRACE(direct);
    for (uint32_t a : {0x301u, 0x302u, 0x303u, 0x321u, 0x322u}) put_reg(&h, a, 0x11);
    put_reg(&h, 0x323, 0xA0);
    const reg_view_io_s io{&gui, &h, direct};
    reg_view_field_s f{};
    ASSERT_TRUE(reg_view_field_find(0x322, kova_device_40112_e, "DIV", &f));
    ASSERT_TRUE(reg_view_field_write(io, f.value, 0xBCDE9));
    EXPECT_EQ(get_reg(&h, 0x321), 0xE9u);
    EXPECT_EQ(get_reg(&h, 0x322), 0xCDu);
    EXPECT_EQ(get_reg(&h, 0x323), 0xABu);
    EXPECT_EQ(reg_view_field_read(io, f.value), 0xBCDE9u);
    for (uint32_t a : {0x301u, 0x302u, 0x303u}) EXPECT_EQ(get_reg(&h, a), 0x11u) << std::hex << a;
    ASSERT_TRUE(reg_view_write_bit(io, 0x321, 0, false));
    EXPECT_EQ(get_reg(&h, 0x321), 0x69u);
  }
  delete_api(&h);
}

TEST(RegisterView, FilterRanksWholeNamesThenBeginningsThenTheRest) {
  struct filter_case {
    const char *text;
    size_t limit;
    uint32_t first;
    const char *first_text;
    size_t count;  // 0: at least one
  } const cases[] = {
      {"mclk", 10, 0x00A, "MCLK in MCR2", 0},  {" mon2cr1 ", 10, 0x330, "MON2CR1", 5},
      {"div", 10, 0x301, "DIV in IC1CR2", 10}, {"b", 3, 0, nullptr, 3},
      {"en", 1, 0x100, "ENHS2 in APLLCR1", 1}, {"  ", 10, 0, nullptr, 0},               {"zzzz", 10, 0, nullptr, 0}, {"-", 10, 0, nullptr, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    const auto found = reg_view_filter(c.text, kova_device_40112_e, c.limit);
    if (c.count) {
      EXPECT_EQ(found.size(), c.count);
    }
    if (!c.first_text) {
      EXPECT_TRUE(c.count || found.empty());
      continue;
    }
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].address, c.first);
    EXPECT_EQ(found[0].text, c.first_text);
  }
  EXPECT_EQ(reg_view_filter("mclk", kova_device_40112_e, 1)[0].field, "MCLK");
}

}  // namespace
