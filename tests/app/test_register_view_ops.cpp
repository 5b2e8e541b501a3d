// The register view's core: typed field values, pages, the field of a layout component (the
// right channel's value) and the name filter.
#include <gtest/gtest.h>

#include "app/register_view_ops.h"
#include "regs/regmap_data.h"

namespace {

TEST(RegisterView, TypedFieldValues) {
  // want 1000: refused.
  const struct { const char *text; uint64_t max, want; } fields[] = {
      {"7", 7, 7},      {"8", 7, 1000},   {"0x1F", 31, 31},
      {"0X20", 31, 1000}, {"1.5", 99, 1000}, {"18446744073709551615", ~0ull, ~0ull},
      {"18446744073709551616", ~0ull, 1000}};
  for (const auto &c : fields) {
    uint64_t v = 1000;
    EXPECT_EQ(reg_view_parse_field(c.text, c.max, &v), c.want != 1000) << c.text;
    EXPECT_EQ(v, c.want) << c.text;
  }
}

TEST(RegisterView, EveryNamedRegisterIsOnItsPageOnce) {
  const std::pair<uint32_t, int> starts[] = {{0x02F, 0}, {0x030, 1}, {0x100, 2}, {0x5FF, 5}, {0x7FF, 6}, {0x800, -1}};
  for (const auto &[a, page] : starts) EXPECT_EQ(reg_view_page_of(a), page) << std::hex << a;
  size_t total = 0;
  for (int p = 0; p <= REG_VIEW_PAGE_COUNT; ++p) {
    const auto regs = reg_view_page_registers(p);
    for (size_t i = 0; i < regs.size(); ++i) {
      EXPECT_EQ(reg_view_page_of(regs[i]), p) << std::hex << regs[i];
      EXPECT_TRUE(i == 0 || regs[i - 1] < regs[i]);
    }
    total += regs.size();
  }
  EXPECT_EQ(total, kova_reg_row_count);
}

TEST(RegisterView, FieldOfAComponentIsThatRegistersOwn) {
  const std::tuple<uint32_t, const char *, const char *> cases[] = {  // null caption: no field
      {0x321, "DIV", "DIV2 (20 Bits)"},     {0x343, "DIV[19:16]", "DIV3 (20 Bits)"}, {0x202, "LSDIV", "LSDIV1 (25 Bits)"},
      {0x223, "LSDIV", "LSDIV3 (25 Bits)"}, {0x332, "PCN", "PCN2 (9 Bits)"},         {0x332, "SCC", "SCC2 (18 Bits)"},
      {0x00A, "MCLK", "MCLK (3 Bits)"},     {0x009, "RST", nullptr},                 {0x009, "-", nullptr},
      {0x009, "MCLK", nullptr}};
  for (const auto &[address, component, caption] : cases) {
    SCOPED_TRACE(std::to_string(address) + " " + component);
    reg_view_field_s f{};
    ASSERT_EQ(reg_view_field_find(address, kova_device_40112_e, component, &f), caption != nullptr);
    if (caption) {
      EXPECT_EQ(f.caption, caption);
    }
  }
}

TEST(RegisterView, FilterRanksWholeNamesThenBeginningsThenTheRest) {
  // count 0: any number; first_text null: nothing checked of the first.
  const struct { const char *text; size_t limit, count; uint32_t first; const char *first_text; } cases[] = {
      {"mclk", 10, 0, 0x00A, "MCLK in MCR2"}, {" mon2cr1 ", 10, 5, 0x330, "MON2CR1"}, {"div", 10, 10, 0x301, "DIV in IC1CR2"},
      {"en", 1, 1, 0x100, "ENHS2 in APLLCR1"}, {"b", 3, 3, 0, nullptr}, {"  ", 10, 0, 0, nullptr},
      {"zzzz", 10, 0, 0, nullptr}, {"-", 10, 0, 0, nullptr}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    const auto found = reg_view_filter(c.text, kova_device_40112_e, c.limit);
    EXPECT_EQ(found.size(), c.count ? c.count : c.first_text ? found.size() : 0);
    if (!c.first_text) continue;
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found[0].address, c.first);
    EXPECT_EQ(found[0].text, c.first_text);
  }
}

}  // namespace
