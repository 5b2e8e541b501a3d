// Expert calculation: checks in order, their messages, clamps, DCO, APLL input and DSP rate.
#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

std::vector<std::string> run(hal_api_s *h) {
  calc_expert(h);
  return drain(h);
}

// The errors and warnings of a run (the listing and clamp messages are information; a long
// listing fills the log, which is not a warning about the plan).
std::vector<std::string> errors(const std::vector<std::string> &msgs) {
  std::vector<std::string> out;
  for (const auto &m : msgs) {
    if (m == "WARNING: MSG buffer full") continue;
    if (m.rfind("ERROR", 0) == 0 || m.rfind("WARNING", 0) == 0) out.push_back(m);
  }
  return out;
}

void init(hal_api_s *h, int32_t device, int32_t mode, int32_t xa, int32_t sysclk, int32_t rev = 1) {
  init_full(h, device, mode, xa, rev, sysclk);
  drain(h);
}

// Each check of the calculation with the one error (or warning) it posts, in check order;
// "revalidate" runs the validation again after the settings, so that they are the modes.
TEST(CalcExpert, ChecksPostTheirMessages) {
  const struct {
    int32_t mode, xa, sysclk;
    const char *set;
    std::vector<std::string> errors;
    bool revalidate = false;
  } cases[] = {
      {kova_mode_nco_e, xa_mode_xo_e, sysclk_mode_xa_e, "xa_mode_e=2", {"ERROR: init_api modes changed or invalid"}},
      {kova_mode_syn_e, xa_mode_disabled_e, sysclk_mode_ro_e, "", {"ERROR: At least one IC or XA input must be configured."}},
      {kova_mode_nco_e, xa_mode_xo_e, sysclk_mode_xa_e, "xa_freq_s=79000000",
       {"ERROR: Master clock frequency must be in the range 80 to 130MHz."}},
      {kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e, "xa_freq_s=120000000",
       {"ERROR: DPLL master clock frequency must be in one of these ranges:  98.0 to 104.0MHz or 110.0 to 115.0MHz or "
        "124.0 to 130.0MHz."}},
      {kova_mode_ja_e, xa_mode_xtal_dbl_e, sysclk_mode_xa_e, "xa_freq_s=62000000",
       {"ERROR: With the internal clock doubler enabled, the crystal frequency must be in one of these ranges:  49.0 to  "
        "52.0MHz or  55.0 to  57.5MHz."}},
      {kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, "oc1_freq_s=1100000000",  // above 1035 x 1.01
       {"ERROR: Invalid OC1 frequency - valid range = 1e-06 to 1035 MHz."}},
      {kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, "oc1_freq_s=1045000000 ic3_freq_s=310000000",  // OC1 inside 1 %
       {"ERROR: Invalid IC3 frequency. Valid range = 9.72 to 300MHz."}},
      {kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, "ic3_freq_s=310000000 xa_freq_s=200000000",
       {"ERROR: XA clock frequency must be in the range 9.72 to 156.25MHz."}},
      {kova_mode_syn_e, xa_mode_disabled_e, sysclk_mode_ro_e, "ic1_freq_s=30000000 ic2_freq_s=20000000",
       {"ERROR: ICx frequencies must each be divisible by 1, 2, 4 or 8 to a common APLL PFD frequency in the range   "
        "9.72 to 156.25MHz.\nXA does not have an input divider. If XA is used, the common APLL PFD frequency is  the XA "
        "frequency."}},
      {kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e, "ic1_freq_s=10000001 ic2_freq_s=10000000",
       {"ERROR: ICx frequencies must each be divisible by integers to a common DPLL PFD frequency >= 1kHz."}},
      {kova_mode_ss_e, xa_mode_xo_e, sysclk_mode_xa_e, "ss_mode_e=0 ss_pctx10=6",  // 0.6 % is above half of 1 %
       {"ERROR: Spread Spectrum modulation percentage must be in the range 0 to 0.5 percent."}},
      {kova_mode_ss_e, xa_mode_xo_e, sysclk_mode_xa_e, "ss_mod_hz=0",
       {"ERROR: Spread Spectrum modulation frequency must be in the range 25 to 55 kHz."}},
      {kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, "jitter_mode_e=1", {"ERROR: Unsupported jitter mode"}, true},
      {kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, "apllcr1_aidiv_u2=40",
       {"ERROR: Input frequency and/or FEC N/M create numbers too large and cannot be reduced"}},
      {kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e, "pfd_freq_s=1000000 pfd_div_lock_u16=20000",
       {"WARNING: No valid IC input, setting PFD freq to 1 MHz", "ERROR: PFD divider greater than maximum allowed, unlock DSP rate"}},
      {kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e, "pfd_div_lock_u16=4000",  // 250 Hz: 5 x the bandwidth
       {"WARNING: No valid IC input, setting PFD freq to 1 MHz", "WARNING: DSP_RATE/BW_RATIO_BELOW_OPTIMUM - DSP rate is locked",
        "ERROR: DSP_RATE/BW_RATIO too low - unlock DSP rate"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.set);
    Hal h;
    init(h.get(), kova_device_40000_e, c.mode, c.xa, c.sysclk);
    if (c.mode != kova_mode_ja_e) set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1);
    set_fields(h.get(), c.set);
    if (c.revalidate) {
      h->init_api_mode_e = init_api_validate_e;
      init_api(h.get());
    }
    EXPECT_EQ(errors(run(h.get())), c.errors);
  }
}

TEST(CalcExpert, SynFromInputsSharesTheApllInput) {
  Hal h;
  init(h.get(), kova_device_40000_e, kova_mode_syn_e, xa_mode_disabled_e, sysclk_mode_ro_e);
  // xa_freq_s: not checked with the XA disabled
  set_fields(h.get(), "xa_freq_s=1 ic1_freq_s=40000000 ic2_freq_s=20000000 oc1_freq_s=100000000");
  EXPECT_TRUE(errors(run(h.get())).empty());
  // IC1 is the first input, and its HSDIV output runs at the common 20 MHz.
  expect_fields(h.get(), "up_monclk_freq_s=~100000000 dsp_clk_freq_s=~0 ic1_hsdiv_u8=2 ic2_hsdiv_u8=1 "
                         "ic1_hsdiv_freq_s=~20000000 apll_input_freq_s=~20000000");
  h->apllcr1_aidiv_u2 = 1;
  run(h.get());
  expect_fields(h.get(), "apll_input_freq_s=~10000000");
}

TEST(CalcExpert, DcoModesRunTheDcoBelowTheMasterClock) {
  for (int32_t mode : {kova_mode_nco_e, kova_mode_ss_e}) {
    Hal h;
    init(h.get(), kova_device_40000_e, mode, xa_mode_xo_e, sysclk_mode_xa_e);
    set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1);
    EXPECT_TRUE(errors(run(h.get())).empty());
    // XO 100 MHz: the DCO runs 3.5 MHz below it and feeds the APLL; DSP clock 50 MHz.
    expect_fields(h.get(), "dco_freq_s=~96500000 apll_input_freq_s=~96500000 dsp_clk_freq_s=~50000000");
    EXPECT_EQ(h->ss_cnt_u16, mode == kova_mode_ss_e ? 417u : 0u);  // 50 MHz over 30 kHz / 4
  }
}

// The DPLL bandwidth and damping are clamped to the device's range, as information; the
// clamps compare exactly (501 Hz is above 500).
TEST(CalcExpert, JaBandwidthAndDampingClamps) {
  Hal h;
  init(h.get(), kova_device_40089_e, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e);
  set_fields(h.get(), "dpll_bw_hz=0 dpll_df=11");
  const auto msgs = run(h.get());
  ASSERT_GE(msgs.size(), 2u);
  EXPECT_TRUE(msgs[0] == "DPLL BW set to minimum" && msgs[1] == "DPLL DF set to maximum");
  expect_fields(h.get(), "dpll_bw_hz=14 dpll_df=10");
  h->dpll_bw_hz = 501;
  EXPECT_EQ(run(h.get())[0], "DPLL BW set to maximum");
  EXPECT_EQ(h->dpll_bw_hz, 500u);
}

TEST(CalcExpert, JaTwoInputsThreeOutputs) {
  Hal h;
  init(h.get(), kova_device_40000_e, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e);
  set_fields(h.get(), "ic1_freq_s=19440000 ic2_freq_s=25000000 oc1_freq_s=156250000 oc2_freq_s=125000000 "
                      "oc3_freq_s=10000000 dpll_bw_hz=100");
  EXPECT_TRUE(errors(run(h.get())).empty());
  // XO 114.285 MHz: code 3. DCO feedback: floor((114.285 - 3.5) / 0.04) = 2769; the DCO
  // (110.76 MHz) feeds the APLL. DSP rate: 40 kHz / (40 x 100 Hz) = 10 is below 99, so
  // 40 kHz / (20 x 100 Hz) = 20.
  expect_fields(h.get(), "mcr2_mclk_u3=3 ic1_div_u32=486 ic2_div_u32=625 ic3_hsdiv_u8=8 ic3_div_u32=1048576 "
                         "dcofb_div_u32=2769 pfd_div_u16=20 dsp_rate_hz_u32=2000 pfd_freq_s=~40000 "
                         "dco_freq_s=~110760000 apll_input_freq_s=~110760000");
  // An input whose denominator overflows with its HSDIV: any other code is shown in hex.
  h->ic1_freq_s = {0, 1, 1};
  set_fprec_s(&h->ic2_freq_s, 4000000000u, 150000000, 536870913);
  const auto errs = errors(run(h.get()));
  ASSERT_EQ(errs.size(), 1u);
  EXPECT_EQ(errs[0].rfind("ERROR: Could not solve inputs - condition code = ", 0), 0u) << errs[0];
}

TEST(CalcExpert, SolverErrorsDoNotStopTheCalculationAndUserDividersStay) {
  Hal h;
  init(h.get(), kova_device_40000_e, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e);
  set_fields(h.get(), "oc1_freq_s=100000000 oc2_freq_s=100000001 oc3_freq_s=99999999 pfd_div_u16=0");
  const auto errs = errors(run(h.get()));
  ASSERT_EQ(errs.size(), 2u);
  EXPECT_EQ(errs[1].rfind("ERROR: No VCO and divider solution", 0), 0u);
  EXPECT_EQ(h->pfd_div_u16, 500u);  // the DSP rate was still computed
  // Manual solver mode: the dividers are the user's.
  Hal m;
  init(m.get(), kova_device_40000_e, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e);
  set_fields(m.get(), "oc_solver_mode_e=1 oc1_freq_s=156250000 vco_hsdiv1x2_u8=9 oc1_neg_lsdiv_u32=0");
  EXPECT_TRUE(errors(run(m.get())).empty());
  // oc1_neg_lsdiv_u32: 0 means no OCN divider
  expect_fields(m.get(), "vco_hsdiv1x2_u8=9 oc1_neg_lsdiv_u32=1");
}

}  // namespace
