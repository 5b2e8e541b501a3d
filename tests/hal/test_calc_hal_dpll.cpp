// DPLL loop, holdover and limit words.
#include <cmath>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// JA defaults of device 40000 with an 8 kHz DSP rate from a 1 MHz PFD (divider 125), a
// 100 MHz DCO PFD clock and the frequency word 2^33 x 40.
struct DpllLoop : ::testing::Test {
  Hal h;
  calc_hal_work_s w{};
  void SetUp() override {
    init_full(h.get(), 40000, kova_mode_ja_e);
    drain(h.get());
    h->dsp_rate_hz_u32 = 8000;
    h->pfd_div_u16 = 125;
    h->pfd_freq_s = fp(1000000);
    h->dfreqz1_freqz_u40 = 343597383680ull;
    w.dco_pfd_mhz = 100.0;
    w.freqz_scale = 8589934592.0 * 40.0;
    h->pfixavgto_us = h->hoavgto_us = h->howaitto_us = 0;
  }
  std::vector<std::string> run() {
    calc_dpll_loop_regs(h.get(), &w);
    return drain(h.get());
  }
};

TEST_F(DpllLoop, LoopWordsFromTheDefaults) {
  ASSERT_EQ(h->dpll_bw_hz, 50u);
  ASSERT_EQ(h->dpll_df, 5u);
  EXPECT_TRUE(run().empty());
  EXPECT_EQ(h->pfdns_ro_u32_20, 83886u);  // 2^20 x 10 ns / 125
  // w = 50 x 6.2831853 x (k exp(-160 C) + A) = 306.4503...
  EXPECT_EQ(h->prop_ro_u32_10, 107822628u);
  EXPECT_EQ(h->int_ro_u32_12, 165211u);
  EXPECT_EQ(h->pfdnscale_ro_u16_52, 13107u);  // 2^52 / (2^33 x 40)
  EXPECT_EQ(h->phuins_ro_u32_10, 1024000u);
  EXPECT_EQ(h->houiscale_ro_u16_36, 3u);
  EXPECT_EQ(h->phlolns_ro_u16_0, 10u);  // lolthr 10 ns, no jitter tolerance
  EXPECT_EQ(h->pslimthr_ro_u32_10, 2147483647u);
  EXPECT_EQ(h->hofdthr_ro_u32_0, 2147483647u);
  EXPECT_EQ(h->fchlimthr_ro_u32_0, 2147483647u);
  EXPECT_EQ(h->fqhlimthr_ro_u32_0, 343597384u);  // 1e6 ppb x 1e-9 x 2^33 x 40
  EXPECT_EQ(h->pslimint_ro_u8_0, 32u);
  // lolset = lolclr = 1000 us: 8 samples, rate code 32, the time stays 1000 us.
  EXPECT_EQ(h->phlolset_ro_u8_0, 32u);
  EXPECT_EQ(h->lolset_us, 1000u);
  EXPECT_EQ(h->phlolclr_ro_u8_0, 32u);
  EXPECT_EQ(h->lolclr_us, 1000u);
  EXPECT_EQ(h->dpllcr2_crb1, 0u);
  EXPECT_EQ(h->dpllcr2_crb2, 1u);  // hitless mode 2 on device 40000
  EXPECT_EQ(h->dpllcr1_homode_u2, 0u);
}

TEST_F(DpllLoop, LimitsInWordUnitsPerSample) {
  h->pslim_ns_sec = 1000;
  h->hofd_ppb_sec = 50;
  h->fchlim_ppb_sec = 200;
  h->lolthr_ns = 10;
  h->jitter_tol_ns_u16 = 100;  // widened by 0.6 x 100
  h->man_phoff_ps = 1000;
  run();
  EXPECT_EQ(h->pslimthr_ro_u32_10, 3341u);
  EXPECT_EQ(h->hofdthr_ro_u32_0, 2u);
  EXPECT_EQ(h->fchlimthr_ro_u32_0, 9u);
  EXPECT_EQ(h->phlolns_ro_u16_0, 70u);
  EXPECT_EQ(h->dphoff1_phoff_ns_i32_10, -1024);
  h->lolthr_ns = 0;  // off, whatever the tolerance
  h->man_phoff_ps = -500;
  run();
  EXPECT_EQ(h->phlolns_ro_u16_0, 65535u);
  EXPECT_EQ(h->dphoff1_phoff_ns_i32_10, 512);
}

TEST_F(DpllLoop, ModeSelectionsAndTheirWarnings) {
  h->hitless_mode_e = 1;
  h->ho_mode_e = 1;
  EXPECT_TRUE(run().empty());
  EXPECT_EQ(h->dpllcr2_crb1, 1u);
  EXPECT_EQ(h->dpllcr2_crb2, 0u);
  EXPECT_EQ(h->dpllcr1_homode_u2, 1u);
  h->hitless_mode_e = 5;
  h->ho_mode_e = 7;
  EXPECT_EQ(run(), (std::vector<std::string>{"WARNING: invalid hitless mode, setting OFF",
                                             "WARNING: invalid ho_mode_e, setting FRUN"}));
  EXPECT_EQ(h->dpllcr2_crb1, 0u);
  EXPECT_EQ(h->dpllcr2_crb2, 0u);
  EXPECT_EQ(h->dpllcr1_homode_u2, 2u);
}

TEST_F(DpllLoop, PhaseFixAveragingRoundsDown) {
  h->pfixavgto_us = 1000;  // 8 samples: code 3
  run();
  EXPECT_EQ(h->pfixavgto_ro_u8_0, 3u);
  EXPECT_EQ(h->pfixavgto_us, 1000u);
  h->pfixavgto_us = 1500;  // 12 samples: still code 3, and the time becomes 1000 us
  run();
  EXPECT_EQ(h->pfixavgto_ro_u8_0, 3u);
  EXPECT_EQ(h->pfixavgto_us, 1000u);
  h->pfixavgto_us = 100;  // no whole sample: code 0, one sample of 125 us
  run();
  EXPECT_EQ(h->pfixavgto_ro_u8_0, 0u);
  EXPECT_EQ(h->pfixavgto_us, 125u);
  h->pfixavgto_us = 4000000000u;  // far beyond 2^15 samples
  run();
  EXPECT_EQ(h->pfixavgto_ro_u8_0, 15u);
  EXPECT_EQ(h->pfixavgto_us, 4096000u);
}

TEST_F(DpllLoop, HoldoverAveragingAndWaitRoundUp) {
  h->hoavgto_us = 1500;  // 12 samples: up to 16, 2000 us
  h->howaitto_us = 1000;  // 8 samples: code 3, unchanged
  run();
  EXPECT_EQ(h->hoavgto_ro_u8_0, 4u);
  EXPECT_EQ(h->hoavgto_us, 2000u);
  EXPECT_EQ(h->howaitto_ro_u8_0, 3u);
  EXPECT_EQ(h->howaitto_us, 1000u);
  h->hoavgto_us = 100;  // under one sample: code 0 and the field is kept
  h->howaitto_us = 10000000;  // 80000 samples: held at 15
  run();
  EXPECT_EQ(h->hoavgto_ro_u8_0, 0u);
  EXPECT_EQ(h->hoavgto_us, 100u);
  EXPECT_EQ(h->howaitto_ro_u8_0, 15u);
  EXPECT_EQ(h->howaitto_us, 4096000u);
}

TEST_F(DpllLoop, LossOfLockRates) {
  h->lolset_us = 0;  // no sample: rate 255
  h->lolclr_us = 3000;  // 24 samples: 256 / 24 = 10, time 3200 us
  run();
  EXPECT_EQ(h->phlolset_ro_u8_0, 255u);
  EXPECT_EQ(h->lolset_us, 125u);  // floor(256 / 255 x 125)
  EXPECT_EQ(h->phlolclr_ro_u8_0, 10u);
  EXPECT_EQ(h->lolclr_us, 3200u);
  h->lolset_us = 100000000;  // 800000 samples: rate raised to 1
  run();
  EXPECT_EQ(h->phlolset_ro_u8_0, 1u);
  EXPECT_EQ(h->lolset_us, 32000u);
}

// At a DSP rate that does not divide a second the rewritten times must program the same
// codes on the next recalculation: 500 us at 9 kHz is 4 samples (phase-fix code 2, 444.4 us);
// 444 us would be 3 samples and code 1.
TEST_F(DpllLoop, RewrittenTimesProgramTheSameCodesAgain) {
  h->dsp_rate_hz_u32 = 9000;
  h->pfixavgto_us = 500;
  h->lolset_us = 1000;
  h->hoavgto_us = 300;
  run();
  const uint32_t pfix = h->pfixavgto_ro_u8_0, lol = h->phlolset_ro_u8_0, ho = h->hoavgto_ro_u8_0;
  EXPECT_EQ(pfix, 2u);
  EXPECT_EQ(h->pfixavgto_us, 445u);
  for (int i = 0; i < 3; ++i) {
    run();
    EXPECT_EQ(h->pfixavgto_ro_u8_0, pfix);
    EXPECT_EQ(h->phlolset_ro_u8_0, lol);
    EXPECT_EQ(h->hoavgto_ro_u8_0, ho);
  }
  EXPECT_EQ(h->pfixavgto_us, 445u);
}

TEST_F(DpllLoop, ZeroBandwidthRateAndDamping) {
  // No bandwidth: the warp ratio is 0 and both gains are 0; nothing divides by zero.
  h->dpll_bw_hz = 0;
  run();
  EXPECT_EQ(h->prop_ro_u32_10, 0u);
  // The phase-slope limit divides by the proportional gain: overflow to the limit.
  h->pslim_ns_sec = 1000;
  EXPECT_TRUE(has_msg(run(), "ERROR: real2reg pslimthr_ro_u32_10 overflow"));
  EXPECT_EQ(h->pslimthr_ro_u32_10, 2147483647u);

  h->dpll_bw_hz = 50;
  h->dpll_df = 0;
  EXPECT_TRUE(has_msg(run(), "ERROR: real2reg int_ro_u32_12 overflow"));

  h->dpll_df = 5;
  h->dsp_rate_hz_u32 = 0;
  h->pfd_div_u16 = 0;
  h->hoavgto_us = 1000;
  const auto m = run();
  EXPECT_TRUE(has_msg(m, "ERROR: real2reg pfdns_ro_u32_20 overflow"));
  EXPECT_TRUE(has_msg(m, "ERROR: real2reg int_ro_u32_12 overflow"));
  EXPECT_EQ(h->hoavgto_us, 1000u);  // no samples at a zero rate: kept
}

TEST_F(DpllLoop, ZeroFrequencyWordOverflowsTheScales) {
  h->dfreqz1_freqz_u40 = 0;
  const auto m = run();
  EXPECT_TRUE(has_msg(m, "ERROR: real2reg pfdnscale_ro_u16_52 overflow"));
  EXPECT_TRUE(has_msg(m, "ERROR: real2reg houiscale_ro_u16_36 overflow"));
  EXPECT_EQ(h->pfdnscale_ro_u16_52, 4294967295u);
  EXPECT_EQ(h->houiscale_ro_u16_36, 65535u);
}

}  // namespace
