// The list helpers: what each filtered or prefixed list carries, since the windows store
// the carried value, not the row.
#include <gtest/gtest.h>

#include "app/choice_texts.h"
#include "app/user_dialog.h"

namespace {

std::vector<std::pair<std::string, int32_t>> entries(const choice_list_s &l) {
  std::vector<std::pair<std::string, int32_t>> out;
  for (const auto &i : l.items) out.emplace_back(i.text, i.value);
  return out;
}

TEST(ChoiceTexts, ListsCarryTheStoredValue) {
  using E = std::vector<std::pair<std::string, int32_t>>;
  const struct {
    const char *name;
    choice_list_s list;
    E expected;
    int32_t selected_value;
  } cases[] = {
      {"stop source GPIO2", choice_stop_source_list(10),
       E{{"Stop Checkbox", 0}, {"GPIO0", 8}, {"GPIO1", 9}, {"GPIO2", 10}, {"GPIO3", 11}}, 10},
      {"stop source not a GPIO", choice_stop_source_list(3), E{}, 0},
      {"ppm monitor at 500 kHz", choice_ppm_monitor_list(0.5, 0),
       E{{"Slow Invalidate", 1}, {"High Jitter Tolerance (slowest)", 2}}, 1},
      {"ppm monitor at 1 MHz", choice_ppm_monitor_list(1.0, 2), E{}, 2},
      {"feedback", choice_dpll_feedback_list(), E{{"Internal", 0}, {"IC1", 1}, {"IC2", 2}, {"IC3", 3}}, 0},
      {"external switching", choice_dpll_ext_switch_list(),
       E{{"GPIO0", 0}, {"GPIO1", 1}, {"GPIO2", 2}, {"GPIO3", 3}, {"Disabled", 4}}, 0},
      {"master clock, spread spectrum", choice_master_clock_list(kova_mode_ss_e, 4, nullptr),
       E{{"XO", 1}, {"XO Doubled", 4}, {"Crystal Doubled", 6}}, 4},
      {"emulation", choice_emulation_list(), E{}, -1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.expected.empty()) {
      EXPECT_EQ(entries(c.list), c.expected);
    }
    EXPECT_EQ(ComboBoxUtil_GetSelectedValue(c.list), c.selected_value);
  }
  EXPECT_EQ(choice_stop_source_value(3), 10u);
  EXPECT_EQ(choice_stop_source_value(0), 0u);
  EXPECT_EQ(choice_ppm_monitor_list(1.0, 0).items.size(), 3u);
  const choice_list_s emu = choice_emulation_list();
  ASSERT_EQ(emu.items.size(), 8u);
  EXPECT_EQ(emu.items.back().text, "KX40000");
  EXPECT_EQ(emu.items.back().value, 8);
}

TEST(ChoiceTexts, MaskedLoadRefusesLongTables) {
  struct : user_dialog_s {
    std::string last;
    void message(const std::string &text, const std::string &) override { last = text; }
    bool ask_yes_no(const std::string &, const std::string &) override { return false; }
  } dialog;
  app_set_dialog(&dialog);
  const char *table[21] = {};
  for (auto &t : table) t = "x";
  choice_list_s list;
  ComboBoxUtil_LoadCharArray(&list, __dev_GpioStr, 4);
  EXPECT_EQ(ComboBoxUtil_LoadCharArrayByMask(&list, table, 21, ~0u), 0);
  EXPECT_EQ(dialog.last, "Array too long 21");
  EXPECT_EQ(list.items.size(), 4u);  // the list is left as it was
  EXPECT_EQ(ComboBoxUtil_LoadCharArrayByMask(&list, table, 20, 0x80001), 2);
  EXPECT_EQ(list.items[1].value, 19);
  app_set_dialog(nullptr);
}

}  // namespace
