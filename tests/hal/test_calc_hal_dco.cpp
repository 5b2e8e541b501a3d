// DCO frequency word, DPLL feedback, PFD count, lock timeouts and spread spectrum.
#include <cmath>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

constexpr double kTwo33 = 8589934592.0;

// VCO 4 GHz, DCO PFD clock 100 MHz: the word is 2^33 x 40.
struct Dco : ::testing::Test {
  Hal h;
  calc_hal_work_s w{};
  void setup(int32_t mode) {
    init_full(h.get(), 40000, mode);
    drain(h.get());
    h->vco_freq_s = fp(4000000000u);
    set_fields(h.get(), "dco_pfdclk_freq_s=100000000 afbrem1_afbrem_u32=0 afbden1_afbden_u32=1");
    w.dco_pfd_mhz = 100.0;
    w.dco_mhz = w.dco_adj_mhz = 100.0;
    w.apll_fbdiv_ratio = 40.0;
  }
};

TEST_F(Dco, FrequencyWordIsTwoTo33TimesVcoOverPfdClock) {
  setup(kova_mode_nco_e);
  calc_dco_regs(h.get(), &w);
  EXPECT_TRUE(drain(h.get()).empty());
  EXPECT_EQ(h->dfreqz1_freqz_u40, 343597383680ull);
  EXPECT_DOUBLE_EQ(w.freqz_scale, kTwo33 * 40.0);
  // The word and the scale describe the same thing.
  EXPECT_NEAR(static_cast<double>(h->dfreqz1_freqz_u40), w.freqz_scale, 1.0);
}

TEST_F(Dco, ApllRemainderAboveOneHalfLowersTheWord) {
  setup(kova_mode_nco_e);
  set_fields(h.get(), "afbrem1_afbrem_u32=3 afbden1_afbden_u32=4");
  calc_dco_regs(h.get(), &w);
  EXPECT_EQ(h->dfreqz1_freqz_u40, 343597383679ull);
  set_fields(h.get(), "afbrem1_afbrem_u32=1 afbden1_afbden_u32=2");
  calc_dco_regs(h.get(), &w);
  EXPECT_EQ(h->dfreqz1_freqz_u40, 343597383680ull);
}

TEST_F(Dco, DownSpreadAndXaOffset) {
  setup(kova_mode_ss_e);
  h->ss_mode_e = ss_mode_down_e;
  h->ss_pctx10 = 10;  // x 1990 / 2000 before the division
  calc_dco_regs(h.get(), &w);
  EXPECT_EQ(h->dfreqz1_freqz_u40, 341879396761ull);
  h->ss_mode_e = ss_mode_centre_e;
  calc_dco_regs(h.get(), &w);
  EXPECT_EQ(h->dfreqz1_freqz_u40, 343597383680ull);

  // +1000 ppb: the VCO in whole hertz, trunc(4e9 x 1.000001) = 4000003999 (the factor is
  // just below 1.000001 in binary).
  h->xa_freq_off_ppb_i32 = 1000;
  calc_dco_regs(h.get(), &w);
  EXPECT_EQ(h->dfreqz1_freqz_u40, 343597727191ull);
}

TEST_F(Dco, WordOverflowAndZeroPfdClock) {
  setup(kova_mode_nco_e);
  h->dco_pfdclk_freq_s = fp(1000);
  calc_dco_regs(h.get(), &w);
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg dfreqz1_freqz_u40 overflow"});
  EXPECT_EQ(h->dfreqz1_freqz_u40, (1ull << 40) - 1);
  h->dco_pfdclk_freq_s = fp(0);
  w.dco_pfd_mhz = 0.0;
  calc_dco_regs(h.get(), &w);
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg dfreqz1_freqz_u40 overflow"});
  // A VCO with no frequency (m = 0) stays without one under an XA offset.
  h->dco_pfdclk_freq_s = fp(100000000);
  h->vco_freq_s = fp(4000000000u, 1, 0);
  h->xa_freq_off_ppb_i32 = -50;
  calc_dco_regs(h.get(), &w);
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg dfreqz1_freqz_u40 overflow"});
  EXPECT_EQ(h->dfreqz1_freqz_u40, (1ull << 40) - 1);
}

TEST_F(Dco, JaFeedbackScaleAndDivider) {
  setup(kova_mode_ja_e);
  h->dcofb_div_u32 = 100;
  calc_dco_regs(h.get(), &w);
  // 2^8 x 2^40 / (2^33 x 40) x 100 / 100 = 819.2
  expect_fields(h.get(), "dfbscl1_fbscale_u16=819 dfbdiv1_fbdiv_u19=99");
  EXPECT_TRUE(drain(h.get()).empty());
  h->dcofb_div_u32 = 0;
  calc_dco_regs(h.get(), &w);
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg dfbdiv1_fbdiv_u19 overflow"});
  EXPECT_EQ(h->dfbdiv1_fbdiv_u19, (1u << 19) - 1);
}

struct LockTimeout : ::testing::Test {
  Hal h;
  void SetUp() override { init_full(h.get(), 40000, kova_mode_ja_e); drain(h.get()); }
  lock_timeout_s lt(uint32_t ms, uint32_t rate, double ratio) {
    return calc_lock_timeout(h.get(), ms, rate, ratio, "phlkto_phlkto_u6", "PHLKTO_OUT_OF_RANGE");
  }
};

TEST_F(LockTimeout, MultiplierAndCount) {
  // 1000 Hz: one tick per ms.
  auto r = lt(1, 1000, 2.0);  // raised to the floor of 2 ticks
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.count, 2u);
  EXPECT_EQ(r.programmed_ms, 2u);
  r = lt(100, 1000, 2.0);  // 63 < 100 <= 63 x 16
  EXPECT_EQ(r.code, 1u);
  EXPECT_EQ(r.count, 7u);
  EXPECT_EQ(r.programmed_ms, 112u);
  r = lt(0, 1000, 2.0);
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.count, 0u);
  EXPECT_EQ(r.programmed_ms, 0u);
  r = lt(5, 200, 0.5);  // tick 5 ms: one tick
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.count, 1u);
  EXPECT_EQ(r.programmed_ms, 5u);
  r = lt(63 * 4096, 1000, 8.0);  // the longest setting exactly
  EXPECT_EQ(r.code, 3u);
  EXPECT_EQ(r.count, 63u);
  EXPECT_TRUE(drain(h.get()).empty());
}

TEST_F(LockTimeout, OutOfRangeIsAPlainMessage) {
  const auto r = lt(63 * 4096 + 1, 1000, 8.0);
  EXPECT_EQ(r.code, 3u);
  EXPECT_EQ(r.count, 63u);
  EXPECT_EQ(r.programmed_ms, 258048u);
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"PHLKTO_OUT_OF_RANGE"});
  lt(300000, 1000, 8.0);
  EXPECT_EQ(msg_level(h.get()), 0u);  // neither an error nor a warning
}

TEST_F(LockTimeout, ZeroDspRateDoesNotFail) {
  // An endless tick: one tick covers any timeout, and the programmed time saturates.
  const auto r = lt(10, 0, 8.0);
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.count, 1u);
  EXPECT_EQ(r.programmed_ms, 4294967295u);
  EXPECT_TRUE(drain(h.get()).empty());
}

TEST_F(LockTimeout, BlockRewritesBothTimeouts) {
  h->dsp_rate_hz_u32 = 2000;  // tick 0.5 ms, floor 8 ticks = 4 ms
  h->lkto_dsp_ratio_min_r = 8.0;
  // lkato_ms: 2000 ticks: code 2 (x256), count ceil(2000 / 256) = 8
  set_fields(h.get(), "phlkto_ms=3 lkato_ms=1000 pfd_div_u16=500");
  calc_lock_regs(h.get());
  expect_fields(h.get(), "dpcnt1_pfdcnt_u14=499 phlkto_phlktom_u2=0 phlkto_phlkto_u6=8 phlkto_ms=4 "
      "lkato_lkatom_u2=2 lkato_lkato_u6=8 lkato_ms=1024");
  h->pfd_div_u16 = 0;
  calc_lock_regs(h.get());
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg dpcnt1_pfdcnt_u14 overflow"});
}

TEST_F(Dco, SpreadSpectrumStepAndCount) {
  setup(kova_mode_ss_e);
  h->ss_mode_e = ss_mode_down_e;
  set_fields(h.get(), "ss_pctx10=5 ss_cnt_u16=400");
  w.dco_adj_mhz = 96.5;
  calc_ss_regs(h.get(), &w);
  // 2^33 x 40 x (0.005 x 96.5 / 800) / 100
  expect_fields(h.get(), "dssdec1_decinc_u20=2072322 dsscnt1_sscnt_u12=398");
  h->ss_mode_e = ss_mode_centre_e;  // twice the spread for the step
  calc_ss_regs(h.get(), &w);
  EXPECT_EQ(h->dssdec1_decinc_u20, 4144643u);
  EXPECT_TRUE(drain(h.get()).empty());
  h->ss_cnt_u16 = 1;
  calc_ss_regs(h.get(), &w);
  EXPECT_TRUE(has_msg(drain(h.get()), "ERROR: int2reg dsscnt1_sscnt_u12 overflow"));
  h->ss_cnt_u16 = 0;  // the step divides by zero: an overflow, not a crash
  calc_ss_regs(h.get(), &w);
  const auto m = drain(h.get());
  EXPECT_TRUE(has_msg(m, "ERROR: real2reg dssdec1_decinc_u20 overflow"));
  EXPECT_EQ(h->dssdec1_decinc_u20, 8388607u);
}

}  // namespace
