// The register calculation driver: order, stops, mode enables, XA pins, clock tree and
// output enables, with hand-set divider plans.
#include <cstring>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// SYN plan: XA 50 MHz into the APLL, VCO 4 GHz, HSDIV1 10 (400 MHz), OC1 = 100 MHz by MSDIV 4,
// OC2 = 25 MHz by MSDIV 4 and LSDIV 4.
const char kSynPlan[] = "xa_apll_freq_s=50000000 vco_hsdiv1x2_u8=20 apllcr1_enhs2_u1=0 oc1_freq_s=100000000 oc1_msdiv_u8=4 "
                    "oc1_lsdiv_u32=1 oc1cr3_lssel_u1=0 oc2_freq_s=25000000 oc2_msdiv_u8=4 oc2_lsdiv_u32=4 oc2cr3_lssel_u1=1 "
                    "oc3_freq_s=0 oc3_msdiv_u8=1 oc3_lsdiv_u32=1 ic1_hsdiv_u8=8 ic2_hsdiv_u8=8 ic3_hsdiv_u8=8 ";
// NCO plan: XO 100 MHz, DCO 96.5 MHz (APLL input), VCO 3860 MHz = 40 x DCO.
const char kNcoPlan[] = "dco_pfdclk_freq_s=100000000 dco_freq_s=96500000 vco_hsdiv1x2_u8=20 oc1_freq_s=96500000 oc1_msdiv_u8=4 "
                    "oc1_lsdiv_u32=1 oc1cr3_lssel_u1=0 oc2_freq_s=0 oc3_freq_s=0 oc2_msdiv_u8=1 oc3_msdiv_u8=1 "
                    "oc2_lsdiv_u32=1 oc3_lsdiv_u32=1 ";
// JA plan: XO 100 MHz, IC1 10 MHz / HSDIV 1 / DIV 10 = 1 MHz PFD, DCO = 96 x PFD, VCO 40 x DCO.
const std::string kJaPlan = std::string(kNcoPlan) + "up_monclk_freq_s=100000000 ic1_freq_s=10000000 ic1_hsdiv_u8=1 "
                        "ic1_div_u32=10 ic2_freq_s=0 ic3_freq_s=0 ic2_hsdiv_u8=8 ic3_hsdiv_u8=8 dcofb_div_u32=96 "
                        "pfd_div_u16=125 dsp_rate_hz_u32=8000 oc1_freq_s=96000000 ";

TEST(Driver, PlansThroughEveryBlock) {
  const struct {
    const char *name;
    int32_t mode, xa, rev;
    std::string set;
    std::vector<std::string> msgs;
    const char *want;
  } cases[] = {
      // SYN: the DPLL is off and the master clock on the ring oscillator; the clock tree.
      {"syn", kova_mode_syn_e, xa_mode_xo_e, 1, kSynPlan + std::string("mcr1_mcsel_u1=1 pllen_dpllen_u1=1"), {},
       "mcr1_mcsel_u1=0 pllen_dpllen_u1=0 pllen_apllen_u1=1 mcr1_xab_u2=2 mcr1_dbl_u1=0 apll_input_freq_s=~50000000 "
       "hsdiv1_freq_s=~400000000 vco_freq_s=~4000000000 oc2_msdiv_freq_s=~100000000 oc2_lsdiv_freq_s=~25000000 "
       "oc1n_freq_s=~100000000 ocen_oc1en_u1=1 ocen_oc2en_u1=1 ocen_oc3en_u1=0 afbdiv1_afbdiv_u42=687194767360 sco_sco_i8=0"},
      // The APLL input from the first input divided by AIDIV.
      {"aidiv", kova_mode_syn_e, xa_mode_xo_e, 1,
       kSynPlan + std::string("xa_apll_freq_s=0 ic2_freq_s=100000000 ic2_hsdiv_u8=2 apllcr1_aidiv_u2=1"), {},
       "ic2_hsdiv_freq_s=~50000000 apll_input_freq_s=~25000000 afbdiv1_afbdiv_u42=1374389534720"},
      // HSDIV1 unused: the VCO from HSDIV2.
      {"hsdiv2", kova_mode_syn_e, xa_mode_xo_e, 1,
       kSynPlan + std::string("oc1cr3_divsel_u1=1 oc2cr3_divsel_u1=1 apllcr1_enhs2_u1=1 vco_hsdiv2x2_u8=20 vco_hsdiv1x2_u8=8"),
       {"WARNING: HSDIV1 is not configured"}, "vco_freq_s=~4000000000 apllcr2_hsdiv2_u4=10"},
      // No output at all stops before the divider codes, unless HSDIV1's frequency is known.
      {"no output", kova_mode_syn_e, xa_mode_xo_e, 1,
       kSynPlan + std::string("oc1_freq_s=0 oc2_freq_s=0 hsdiv1_freq_s=0 oc1cr1_msdiv_u7=99"),
       {"WARNING: HSDIV1 is not configured", "ERROR: VCO is not configured"}, "oc1cr1_msdiv_u7=99 vco_freq_s=~0"},
      {"known hsdiv1", kova_mode_syn_e, xa_mode_xo_e, 1, kSynPlan + std::string("oc1_freq_s=0 oc2_freq_s=0 hsdiv1_freq_s=400000000"),
       {}, "vco_freq_s=~4000000000 ocen_oc1en_u1=0"},
      // Revision 0 with full alignment enables every output.
      {"rev0 aligned", kova_mode_syn_e, xa_mode_xo_e, 0, kSynPlan, {"WARNING: OO Align - Mixing HSDIV and non HSDIV outputs"},
       "ocen_oc3en_u1=1"},
      {"rev0 partly", kova_mode_syn_e, xa_mode_xo_e, 0, kSynPlan + std::string("oc3_align_en=0"), {}, "ocen_oc3en_u1=0"},
      // NCO keeps its enables and programs the DCO: 2^33 x VCO / 100 MHz, exact.
      {"nco", kova_mode_nco_e, xa_mode_xo_e, 1, kNcoPlan + std::string("mcr1_mcsel_u1=0 pllen_dpllen_u1=0 dpll_mode_e=2 sco_sco_i8=5"),
       {}, "mcr1_mcsel_u1=0 pllen_dpllen_u1=0 dpllcr1_mode_u4=1 sco_sco_i8=5 apll_input_freq_s=~96500000 "
           "afbdiv1_afbdiv_u42=343597383680 dfreqz1_freqz_u40=331571475251"},
      // JA without inputs runs on a 1 MHz PFD; the DPLL mode codes; an unknown mode keeps the code.
      {"ja no input", kova_mode_ja_e, xa_mode_xo_e, 1, kJaPlan + "ic1_freq_s=0 ic1_hsdiv_u8=8",
       {"WARNING: No valid IC input, setting PFD freq to 1 MHz"}, "pfd_freq_s=~1000000 dco_freq_s=~96000000"},
      {"ja mode 0", kova_mode_ja_e, xa_mode_xo_e, 1, kJaPlan + "dpll_mode_e=0", {}, "dpllcr1_mode_u4=6"},
      {"ja mode 1", kova_mode_ja_e, xa_mode_xo_e, 1, kJaPlan + "dpll_mode_e=1", {}, "dpllcr1_mode_u4=4"},
      {"ja mode 2", kova_mode_ja_e, xa_mode_xo_e, 1, kJaPlan + "dpll_mode_e=2", {}, "dpllcr1_mode_u4=5"},
      {"ja mode 9", kova_mode_ja_e, xa_mode_xo_e, 1, kJaPlan + "dpll_mode_e=9 dpllcr1_mode_u4=5", {}, "dpllcr1_mode_u4=5"},
      // An invalid input HSDIV stops the run.
      {"ic hsdiv", kova_mode_ja_e, xa_mode_xo_e, 1, kJaPlan + "ic3_hsdiv_u8=3 oc1cr1_msdiv_u7=99", {"ERROR: INVALID IC3 HSDIV"},
       "oc1cr1_msdiv_u7=99"},
      // The XA pins by XA mode; a disabled XA or a TCXO leaves them.
      {"xa xo", kova_mode_syn_e, xa_mode_xo_e, 1, kSynPlan + std::string("mcr1_xab_u2=3 mcr1_dbl_u1=3"), {}, "mcr1_xab_u2=2 mcr1_dbl_u1=0"},
      {"xa xtal", kova_mode_syn_e, xa_mode_xtal_e, 1, kSynPlan + std::string("mcr1_xab_u2=3 mcr1_dbl_u1=3"), {}, "mcr1_xab_u2=1 mcr1_dbl_u1=0"},
      {"xa xtal dbl", kova_mode_syn_e, xa_mode_xtal_dbl_e, 1, kSynPlan + std::string("mcr1_xab_u2=3 mcr1_dbl_u1=3"), {},
       "mcr1_xab_u2=1 mcr1_dbl_u1=1"},
      {"xa xo dbl", kova_mode_syn_e, xa_mode_xo_dbl_e, 1, kSynPlan + std::string("mcr1_xab_u2=3 mcr1_dbl_u1=3"), {},
       "mcr1_xab_u2=2 mcr1_dbl_u1=1"},
      {"xa tcxo dbl", kova_mode_syn_e, xa_mode_tcxo_dbl_e, 1, kSynPlan + std::string("mcr1_xab_u2=3 mcr1_dbl_u1=3"), {},
       "mcr1_xab_u2=2 mcr1_dbl_u1=1"},
      {"xa off", kova_mode_syn_e, xa_mode_disabled_e, 1, kSynPlan + std::string("mcr1_xab_u2=3 mcr1_dbl_u1=3"), {},
       "mcr1_xab_u2=3 mcr1_dbl_u1=3"},
      {"xa tcxo", kova_mode_syn_e, xa_mode_tcxo_e, 1, kSynPlan + std::string("mcr1_xab_u2=3 mcr1_dbl_u1=3"), {},
       "mcr1_xab_u2=3 mcr1_dbl_u1=3"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    Hal h;
    init_full(h.get(), 40000, c.mode, c.xa, c.rev);
    drain(h.get());
    set_fields(h.get(), c.set);
    calc_hal(h.get());
    EXPECT_EQ(drain(h.get()), c.msgs);
    expect_fields(h.get(), c.want);
  }
}

TEST(Driver, RefusesAChangedModeOrAMissingObject) {
  Hal h;
  init_full(h.get(), 40000, kova_mode_syn_e);
  set_fields(h.get(), kSynPlan + std::string("kova_mode_e=1"));
  hal_api_s before;
  std::memcpy(&before, h.get(), sizeof before);
  calc_hal(h.get());
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: init_api modes changed or invalid"});
  EXPECT_EQ(std::memcmp(&before, h.get(), sizeof before), 0);
  calc_hal(nullptr);
  hal_api_s blank{};
  set_fields(&blank, kSynPlan);
  calc_hal(&blank);  // no HAL object: nothing validated, nothing computed
  EXPECT_TRUE(blank.oc1cr1_msdiv_u7 == 0u && blank.afbdiv1_afbdiv_u42 == 0u);
}

}  // namespace
