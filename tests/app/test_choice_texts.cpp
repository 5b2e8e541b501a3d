// The list helpers: what each filtered or prefixed list carries, since the windows store
// the carried value, not the row.
#include <gtest/gtest.h>

#include "app/choice_texts.h"
#include "tests/app/app_test_util.h"

namespace {

TEST(ChoiceTexts, ListsCarryTheStoredValue) {
  using E = std::vector<std::pair<std::string, int32_t>>;
  const struct { const char *name; choice_list_s list; E expected; int32_t selected_value; } cases[] = {
      {"stop source GPIO2", choice_stop_source_list(10),
       E{{"Stop Checkbox", 0}, {"GPIO0", 8}, {"GPIO1", 9}, {"GPIO2", 10}, {"GPIO3", 11}}, 10},
      {"ppm monitor at 500 kHz", choice_ppm_monitor_list(0.5, 0),
       E{{"Slow Invalidate", 1}, {"High Jitter Tolerance (slowest)", 2}}, 1},
      {"master clock, spread spectrum", choice_master_clock_list(kova_mode_ss_e, 4, nullptr),
       E{{"XO", 1}, {"XO Doubled", 4}, {"Crystal Doubled", 6}}, 4},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    E got;
    for (const auto &i : c.list.items) got.emplace_back(i.text, i.value);
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(ComboBoxUtil_GetSelectedValue(c.list), c.selected_value);
  }
  EXPECT_EQ(ComboBoxUtil_GetSelectedValue(choice_stop_source_list(3)), 0);  // not a GPIO
  EXPECT_EQ(choice_stop_source_value(3), 10u);
  EXPECT_EQ(choice_ppm_monitor_list(1.0, 0).items.size(), 3u);
}

TEST(ChoiceTexts, MaskedLoadRefusesLongTables) {
  recording_dialog_s dialog;
  const char *table[21] = {};
  for (auto &t : table) t = "x";
  choice_list_s list;
  ComboBoxUtil_LoadCharArray(&list, __dev_GpioStr, 4);
  EXPECT_EQ(ComboBoxUtil_LoadCharArrayByMask(&list, table, 21, ~0u), 0);
  EXPECT_EQ(dialog.shown.at(0).first, "Array too long 21");
  EXPECT_EQ(list.items.size(), 4u);  // the list is left as it was
  EXPECT_EQ(ComboBoxUtil_LoadCharArrayByMask(&list, table, 20, 0x80001), 2);
  EXPECT_EQ(list.items[1].value, 19);
}

}  // namespace
