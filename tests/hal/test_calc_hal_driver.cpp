// The register calculation driver: order, stops, mode enables, XA pins, clock tree and
// output enables, with hand-set divider plans.
#include <cstring>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// SYN plan: XA 50 MHz into the APLL, VCO 4 GHz, HSDIV1 10 (400 MHz), OC1 = 100 MHz by MSDIV 4,
// OC2 = 25 MHz by MSDIV 4 and LSDIV 4.
void syn_plan(hal_api_s *h) {
  set_fields(h, "xa_apll_freq_s=50000000 vco_hsdiv1x2_u8=20 apllcr1_enhs2_u1=0 oc1_freq_s=100000000 "
      "oc1_msdiv_u8=4 oc1_lsdiv_u32=1 oc1cr3_lssel_u1=0 oc2_freq_s=25000000 oc2_msdiv_u8=4 oc2_lsdiv_u32=4 "
      "oc2cr3_lssel_u1=1 oc3_freq_s=0 oc3_msdiv_u8=1 oc3_lsdiv_u32=1");
  h->ic1_hsdiv_u8 = h->ic2_hsdiv_u8 = h->ic3_hsdiv_u8 = 8;
}

struct Driver : ::testing::Test {
  Hal h;
  std::vector<std::string> run() {
    calc_hal(h.get());
    return drain(h.get());
  }
};

TEST_F(Driver, SynPlanThroughEveryBlock) {
  init_full(h.get(), 40000, kova_mode_syn_e, xa_mode_xo_e, 1);
  syn_plan(h.get());
  set_fields(h.get(), "mcr1_mcsel_u1=1 pllen_dpllen_u1=1");
  EXPECT_TRUE(run().empty());
  expect_fields(h.get(), "mcr1_mcsel_u1=0 pllen_dpllen_u1=0 pllen_apllen_u1=1 mcr1_xab_u2=2 mcr1_dbl_u1=0");
  EXPECT_EQ(fprec_compare(h->apll_input_freq_s, fp(50000000)), 0);
  EXPECT_EQ(fprec_compare(h->hsdiv1_freq_s, fp(400000000)), 0);
  EXPECT_EQ(fprec_compare(h->vco_freq_s, fp(4000000000u)), 0);
  EXPECT_EQ(fprec_compare(h->oc2_msdiv_freq_s, fp(100000000)), 0);
  EXPECT_EQ(fprec_compare(h->oc2_lsdiv_freq_s, fp(25000000)), 0);
  EXPECT_EQ(fprec_compare(h->oc1n_freq_s, fp(100000000)), 0);
  expect_fields(h.get(), "ocen_oc1en_u1=1 ocen_oc2en_u1=1 ocen_oc3en_u1=0");
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 80ull << 33);
  EXPECT_EQ(h->sco_sco_i8, 0u);
}

TEST_F(Driver, ApllInputFromTheFirstInputDividedByAidiv) {
  init_full(h.get(), 40000, kova_mode_syn_e, xa_mode_xo_e, 1);
  syn_plan(h.get());
  set_fields(h.get(), "xa_apll_freq_s=0 ic2_freq_s=100000000 ic2_hsdiv_u8=2 apllcr1_aidiv_u2=1");
  run();
  EXPECT_EQ(fprec_compare(h->ic2_hsdiv_freq_s, fp(50000000)), 0);
  EXPECT_EQ(fprec_compare(h->apll_input_freq_s, fp(25000000)), 0);
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 160ull << 33);
}

TEST_F(Driver, ModeChangeWithoutInitChangesNothing) {
  init_full(h.get(), 40000, kova_mode_syn_e);
  syn_plan(h.get());
  h->kova_mode_e = kova_mode_nco_e;
  hal_api_s before;
  std::memcpy(&before, h.get(), sizeof before);
  EXPECT_EQ(run(), std::vector<std::string>{"ERROR: init_api modes changed or invalid"});
  EXPECT_EQ(std::memcmp(&before, h.get(), sizeof before), 0);
}

TEST(DriverNoInit, RefusesWithoutAnInitialisedObject) {
  calc_hal(nullptr);
  hal_api_s blank{};
  syn_plan(&blank);
  calc_hal(&blank);  // no HAL object: nothing validated, nothing computed
  EXPECT_EQ(blank.oc1cr1_msdiv_u7, 0u);
  EXPECT_EQ(blank.afbdiv1_afbdiv_u42, 0u);
}

TEST_F(Driver, HsdivOneUnusedTakesTheVcoFromHsdivTwo) {
  init_full(h.get(), 40000, kova_mode_syn_e, xa_mode_xo_e, 1);
  syn_plan(h.get());
  h->oc1cr3_divsel_u1 = h->oc2cr3_divsel_u1 = 1;
  set_fields(h.get(), "apllcr1_enhs2_u1=1 vco_hsdiv2x2_u8=20 vco_hsdiv1x2_u8=8");
  const auto m = run();
  EXPECT_EQ(m, std::vector<std::string>{"WARNING: HSDIV1 is not configured"});
  EXPECT_EQ(fprec_compare(h->vco_freq_s, fp(4000000000u)), 0);
  EXPECT_EQ(h->apllcr2_hsdiv2_u4, 10u);
}

TEST_F(Driver, NoOutputAtAllStopsBeforeTheDividerCodes) {
  init_full(h.get(), 40000, kova_mode_syn_e, xa_mode_xo_e, 1);
  syn_plan(h.get());
  h->oc1_freq_s = h->oc2_freq_s = fp(0);
  set_fields(h.get(), "hsdiv1_freq_s=0 oc1cr1_msdiv_u7=99");
  EXPECT_EQ(run(), (std::vector<std::string>{"WARNING: HSDIV1 is not configured", "ERROR: VCO is not configured"}));
  EXPECT_EQ(h->oc1cr1_msdiv_u7, 99u);
  EXPECT_EQ(fprec_compare(h->vco_freq_s, fp(0)), 0);
}

TEST_F(Driver, NoOutputKeepsAKnownHsdivOneFrequency) {
  init_full(h.get(), 40000, kova_mode_syn_e, xa_mode_xo_e, 1);
  syn_plan(h.get());
  h->oc1_freq_s = h->oc2_freq_s = fp(0);
  h->hsdiv1_freq_s = fp(400000000);
  EXPECT_TRUE(run().empty());
  EXPECT_EQ(fprec_compare(h->vco_freq_s, fp(4000000000u)), 0);
  EXPECT_EQ(h->ocen_oc1en_u1, 0u);
}

TEST_F(Driver, RevisionZeroWithFullAlignmentEnablesEveryOutput) {
  init_full(h.get(), 40000, kova_mode_syn_e, xa_mode_xo_e, 0);
  syn_plan(h.get());
  ASSERT_EQ(h->oc1_align_en, 1u);
  run();
  EXPECT_EQ(h->ocen_oc3en_u1, 1u);
  h->oc3_align_en = 0;
  run();
  EXPECT_EQ(h->ocen_oc3en_u1, 0u);
}

TEST_F(Driver, XaPinsByMode) {
  const struct { int32_t xa; uint32_t xab, dbl; } cases[] = {
      {xa_mode_xo_e, 2, 0}, {xa_mode_xtal_e, 1, 0}, {xa_mode_xtal_dbl_e, 1, 1}, {xa_mode_xo_dbl_e, 2, 1},
      {xa_mode_tcxo_dbl_e, 2, 1},
  };
  for (const auto &c : cases) {
    Hal x;
    init_full(x.get(), 40000, kova_mode_syn_e, c.xa, 1);
    syn_plan(x.get());
    x->mcr1_xab_u2 = 3;
    x->mcr1_dbl_u1 = 3;
    calc_hal(x.get());
    EXPECT_EQ(x->mcr1_xab_u2, c.xab) << c.xa;
    EXPECT_EQ(x->mcr1_dbl_u1, c.dbl) << c.xa;
  }
  for (int32_t xa : {xa_mode_disabled_e, xa_mode_tcxo_e}) {
    Hal x;
    init_full(x.get(), 40000, kova_mode_syn_e, xa, 1);
    syn_plan(x.get());
    x->mcr1_xab_u2 = 3;
    x->mcr1_dbl_u1 = 3;
    calc_hal(x.get());
    EXPECT_EQ(x->mcr1_xab_u2, 3u) << xa;
    EXPECT_EQ(x->mcr1_dbl_u1, 3u) << xa;
  }
}

// NCO plan: XO 100 MHz, DCO 96.5 MHz (APLL input), VCO 3860 MHz = 40 x DCO.
void nco_plan(hal_api_s *h) {
  set_fields(h, "dco_pfdclk_freq_s=100000000 dco_freq_s=96500000 vco_hsdiv1x2_u8=20 oc1_freq_s=96500000 "
      "oc1_msdiv_u8=4 oc1_lsdiv_u32=1 oc1cr3_lssel_u1=0");
  h->oc2_freq_s = h->oc3_freq_s = fp(0);
  h->oc2_msdiv_u8 = h->oc3_msdiv_u8 = h->oc2_lsdiv_u32 = h->oc3_lsdiv_u32 = 1;
}

TEST_F(Driver, NcoKeepsItsEnablesAndProgramsTheDco) {
  init_full(h.get(), 40000, kova_mode_nco_e, xa_mode_xo_e, 1);
  nco_plan(h.get());
  set_fields(h.get(), "mcr1_mcsel_u1=0 pllen_dpllen_u1=0 dpll_mode_e=2 sco_sco_i8=5");
  EXPECT_TRUE(run().empty());
  expect_fields(h.get(), "mcr1_mcsel_u1=0 pllen_dpllen_u1=0 dpllcr1_mode_u4=1 sco_sco_i8=5");
  EXPECT_EQ(fprec_compare(h->apll_input_freq_s, fp(96500000)), 0);
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 40ull << 33);
  EXPECT_EQ(h->dfreqz1_freqz_u40, 8589934592ull * 3860 / 100);  // 2^33 x VCO / 100 MHz, exact
}

// JA plan: XO 100 MHz, IC1 10 MHz / HSDIV 1 / DIV 10 = 1 MHz PFD, DCO = 96 x PFD, VCO 40 x DCO.
void ja_plan(hal_api_s *h) {
  set_fields(h, "dco_pfdclk_freq_s=100000000 up_monclk_freq_s=100000000 ic1_freq_s=10000000 "
      "ic1_hsdiv_u8=1 ic1_div_u32=10");
  h->ic2_freq_s = h->ic3_freq_s = fp(0);
  h->ic2_hsdiv_u8 = h->ic3_hsdiv_u8 = 8;
  set_fields(h, "dcofb_div_u32=96 pfd_div_u16=125 dsp_rate_hz_u32=8000 vco_hsdiv1x2_u8=20 "
      "oc1_freq_s=96000000 oc1_msdiv_u8=4 oc1_lsdiv_u32=1");
  h->oc2_freq_s = h->oc3_freq_s = fp(0);
  h->oc2_msdiv_u8 = h->oc3_msdiv_u8 = h->oc2_lsdiv_u32 = h->oc3_lsdiv_u32 = 1;
}

TEST_F(Driver, JaWithoutInputsRunsOnAOneMegahertzPfd) {
  init_full(h.get(), 40000, kova_mode_ja_e, xa_mode_xo_e, 1);
  ja_plan(h.get());
  set_fields(h.get(), "ic1_freq_s=0 ic1_hsdiv_u8=8");
  const auto m = run();
  EXPECT_EQ(m, std::vector<std::string>{"WARNING: No valid IC input, setting PFD freq to 1 MHz"});
  EXPECT_EQ(fprec_compare(h->pfd_freq_s, fp(1000000)), 0);
  EXPECT_EQ(fprec_compare(h->dco_freq_s, fp(96000000)), 0);
}

TEST_F(Driver, JaModeCodes) {
  init_full(h.get(), 40000, kova_mode_ja_e, xa_mode_xo_e, 1);
  ja_plan(h.get());
  const struct { int32_t dpll_mode; uint32_t code; } cases[] = {{0, 6}, {1, 4}, {2, 5}};
  for (const auto &c : cases) {
    h->dpll_mode_e = c.dpll_mode;
    run();
    EXPECT_EQ(h->dpllcr1_mode_u4, c.code);
  }
  h->dpll_mode_e = 9;  // unknown: the code stays
  run();
  EXPECT_EQ(h->dpllcr1_mode_u4, 5u);
}

TEST_F(Driver, InvalidInputHsdivStopsTheRun) {
  init_full(h.get(), 40000, kova_mode_ja_e, xa_mode_xo_e, 1);
  ja_plan(h.get());
  set_fields(h.get(), "ic3_hsdiv_u8=3 oc1cr1_msdiv_u7=99");
  EXPECT_EQ(run(), std::vector<std::string>{"ERROR: INVALID IC3 HSDIV"});
  EXPECT_EQ(h->oc1cr1_msdiv_u7, 99u);
}

}  // namespace
