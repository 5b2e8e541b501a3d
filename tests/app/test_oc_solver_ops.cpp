// The output clock solver window's rules without a window, on an offline KX40112 in
// synthesis: the cascade of the solver's lists, the output source choices, the manual
// entries and the checks of the load.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "app/oc_solver_ops.h"
#include "synthesis_config.h"
#include "tests/app/app_test_util.h"

namespace {

struct oc_solver_ops_test : ::testing::Test {
  main_state_s s;
  __dev_GuiParamS gui{};
  oc_solver_form_s f;
  recording_dialog_s dialog;

  void SetUp() override {
    s.gui = &gui;
    configure_synthesis(&s.hal, false);
    oc_solver_open(&f, &s);
  }
  void TearDown() override { delete_api(&s.hal); }
};

TEST_F(oc_solver_ops_test, SelectCascadeSetsTheChosenSolution) {
  ASSERT_TRUE(oc_solver_set_mode(&f, oc_solver_mode_select_e));
  // The lists open on the solution in force.
  ASSERT_GE(f.vco.size(), 2u);
  EXPECT_EQ(fprec_compare(f.vco[f.lists[0].selected], s.hal.vco_freq_s), 0);
  // Another VCO: the lists below start again at their first entry and the fields follow.
  const int32_t other = f.lists[0].selected == 0 ? 1 : 0;
  ASSERT_TRUE(oc_solver_choose(&f, 0, other));
  EXPECT_EQ(fprec_compare(f.work.vco_freq_s, f.vco[other]), 0);
  const auto &hsdiv1 = f.lists[1], &msdiv2 = f.lists[oc_list_msdiv(2)];
  ASSERT_FALSE(hsdiv1.values.empty() || msdiv2.values.empty());
  EXPECT_EQ(std::make_tuple(f.work.oc_solver_vco_index, hsdiv1.selected, f.work.vco_hsdiv1x2_u8, msdiv2.selected,
                            f.work.oc2_msdiv_u8, f.dirty),
            std::make_tuple(other, 0, hsdiv1.values[0], 0, msdiv2.values[0], true));
  EXPECT_NE(fprec_compare(s.hal.vco_freq_s, f.vco[other]), 0);  // the object waits for the load
}

// A solver list that got shorter than at its last filling starts at its first entry.
TEST_F(oc_solver_ops_test, ShorterVcoListSelectsItsFirstEntry) {
  ASSERT_TRUE(oc_solver_set_mode(&f, oc_solver_mode_select_e));
  ASSERT_TRUE(oc_solver_choose(&f, 0, static_cast<int32_t>(f.vco.size() - 1)));
  f.vco_seen.push_back(f.vco.back());  // as if the last filling had one entry more
  oc_solver_refresh(&f);
  EXPECT_EQ(f.lists[0].selected, 0);
  EXPECT_EQ(fprec_compare(f.work.vco_freq_s, f.vco[0]), 0);
}

TEST_F(oc_solver_ops_test, OutputSourceChoicesAndTheirFallBack) {
  ASSERT_TRUE(oc_solver_set_mode(&f, oc_solver_mode_manual_e));
  const struct { uint32_t format, lsdiv; int32_t choice, in_force; uint32_t en, neglsd, neg, lssel; } cases[] = {
      {4, 5, oc_source_ocn_lsdiv_e, oc_source_ocn_lsdiv_e, 1, 1, 5, 0},
      {7, 3, oc_source_ocn_lsdiv_e, oc_source_ocn_lsdiv_e, 1, 1, 3, 0},
      {3, 5, oc_source_ocn_lsdiv_e, oc_source_auto_e, 1, 0, 1, 1},  // no N output in HSTL
      {4, 1, oc_source_ocn_lsdiv_e, oc_source_auto_e, 1, 0, 1, 0},  // nothing to divide
      {4, 5, oc_source_msdiv_e, oc_source_msdiv_e, 1, 0, 1, 0},
      {4, 5, oc_source_disabled_e, oc_source_disabled_e, 0, 0, 1, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.format) + " " + std::to_string(c.lsdiv) + " " + kOcSourceText[c.choice]);
    f.work.oc2cr2_ocsf_u3 = c.format;
    f.work.oc2_msdiv_u8 = 8;
    f.work.oc2_lsdiv_u32 = c.lsdiv;
    f.work.oc2_freq_s = {100000000, 1, 1};
    EXPECT_EQ(oc_solver_choose_source(&f, 2, c.choice), c.in_force);
    EXPECT_EQ(std::make_tuple(f.work.ocen_oc2en_u1, f.work.oc2cr3_neglsd_u1, f.work.oc2_neg_lsdiv_u32,
                              f.work.oc2cr3_lssel_u1, f.work.oc2_freq_s.f),
              std::make_tuple(c.en, c.neglsd, c.neg, c.lssel, c.en ? 100000000u : 0u));
  }
  // The select mode has no "From MSDIV" choice.
  ASSERT_TRUE(oc_solver_set_mode(&f, oc_solver_mode_select_e));
  EXPECT_EQ(oc_solver_source_texts(&f).size(), 3u);
  EXPECT_EQ(oc_solver_choose_source(&f, 1, oc_source_msdiv_e), oc_source_auto_e);
}

TEST_F(oc_solver_ops_test, ManualEntriesHeldToTheirLimits) {
  ASSERT_TRUE(oc_solver_set_mode(&f, oc_solver_mode_manual_e));
  // VCO entries are held to 3715 to 4180 MHz and taken to the hertz, rounded.
  const std::tuple<const char *, bool, uint32_t> vco[] = {
      {"5000", true, 4180000000u}, {"3000", true, 3715000000u},
      {"3800.1234567", true, 3800123457u}, {"abc", false, 3800123457u}};
  for (const auto &[text, taken, hz] : vco) {
    EXPECT_EQ(oc_solver_enter_vco(&f, text), taken) << text;
    EXPECT_EQ(f.work.vco_freq_s.f, hz) << text;
  }
  EXPECT_TRUE(oc_solver_enter_msdiv(&f, 1, "500"));
  EXPECT_TRUE(oc_solver_enter_lsdiv(&f, 1, "99999999999"));
  EXPECT_FALSE(oc_solver_enter_lsdiv(&f, 1, "7x"));
  EXPECT_EQ(std::make_tuple(f.work.oc1_msdiv_u8, f.work.oc1_lsdiv_u32), std::make_tuple(128u, 33554432u));
  // MSDIV 1 passes the HSDIV through: the LSDIV becomes 1 and takes no entry.
  EXPECT_TRUE(oc_solver_enter_msdiv(&f, 1, "0"));
  EXPECT_FALSE(oc_solver_enter_lsdiv(&f, 1, "4"));
  EXPECT_EQ(std::make_tuple(f.work.oc1_msdiv_u8, f.work.oc1_lsdiv_u32), std::make_tuple(1u, 1u));
  // HSDIV2 "OFF" keeps the x2 value 8 and clears the enable.
  ASSERT_TRUE(oc_solver_choose(&f, 2, 1));
  EXPECT_EQ(f.work.apllcr1_enhs2_u1, 1u);
  ASSERT_TRUE(oc_solver_choose(&f, 2, 0));
  EXPECT_EQ(std::make_tuple(f.work.vco_hsdiv2x2_u8, f.work.apllcr1_enhs2_u1), std::make_tuple(8u, 0u));
  EXPECT_EQ(oc_solver_hsdiv_freq_text(&f, 2), "- - - - -");
  // Bypassed, HSDIV2 carries the APLL input (synthesis).
  oc_solver_set_bypass(&f, true);
  EXPECT_EQ(fprec_compare(f.work.hsdiv2_freq_s, f.work.apll_input_freq_s), 0);
  oc_solver_set_bypass(&f, false);
  EXPECT_EQ(f.work.hsdiv2_freq_s.f, 0u);
}

// A load whose dividers break a limit shows why and leaves the object as it was; a sound
// manual load derives each output's frequency from its dividers.
TEST_F(oc_solver_ops_test, ManualLoadChecks) {
  const struct { uint32_t hsdiv1x2, msdiv, neg; const char *error; } cases[] = {
      {8, 4, 1, "ERROR: OC1 Selected HSDIV frequency too high for MSDIV, it must be <= 850.00 MHz"},
      {12, 4, 4,
       "ERROR: OC1 When OCP comes from MSDIV and OCN comes from LSDIV, the MSDIV value must be in the range 6 to 128."},
      {12, 6, 4, nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.hsdiv1x2) + " " + std::to_string(c.msdiv));
    oc_solver_open(&f, &s);
    ASSERT_TRUE(oc_solver_set_mode(&f, oc_solver_mode_manual_e));
    ASSERT_TRUE(oc_solver_enter_vco(&f, "4000"));
    f.work.vco_hsdiv1x2_u8 = c.hsdiv1x2;
    f.work.oc1cr3_divsel_u1 = 0;
    f.work.oc1_msdiv_u8 = c.msdiv;
    f.work.oc1_lsdiv_u32 = 1;
    f.work.oc1_neg_lsdiv_u32 = c.neg;
    const hal_api_s before = s.hal;
    dialog.shown.clear();
    EXPECT_EQ(oc_solver_load(&f), c.error == nullptr);
    if (c.error) {
      EXPECT_EQ(dialog.shown, (decltype(dialog.shown){{c.error, "OCSolverForm"}}));
      EXPECT_EQ(std::memcmp(&before, &s.hal, sizeof before), 0);
    } else {
      EXPECT_EQ(std::make_tuple(s.hal.oc_solver_mode_e, s.hal.oc1_msdiv_u8),
                std::make_tuple(oc_solver_mode_manual_e, c.msdiv));
      EXPECT_EQ(fprec_compare(s.hal.oc1_freq_s, {4000000000u, 1, 6u * c.msdiv}), 0);
      EXPECT_EQ(fprec_compare(s.hal.vco_freq_s, {4000000000u, 1, 1}), 0);
    }
  }
}

}  // namespace
