// DCO frequency word, DPLL feedback, PFD count, lock timeouts and spread spectrum.
#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// VCO 4 GHz, DCO PFD clock 100 MHz: the word is 2^33 x 40; then the case's own settings.
TEST(Dco, FrequencyWordFeedbackAndSpreadSpectrum) {
  const struct { int32_t mode; const char *set, *want, *msg; } cases[] = {
      {kova_mode_nco_e, "", "dfreqz1_freqz_u40=343597383680", nullptr},
      // An APLL remainder above one half lowers the word; exactly one half does not.
      {kova_mode_nco_e, "afbrem1_afbrem_u32=3 afbden1_afbden_u32=4", "dfreqz1_freqz_u40=343597383679", nullptr},
      {kova_mode_nco_e, "afbrem1_afbrem_u32=1 afbden1_afbden_u32=2", "dfreqz1_freqz_u40=343597383680", nullptr},
      // A down spread x 1990 / 2000 before the division; a centre spread keeps the word.
      {kova_mode_ss_e, "ss_mode_e=1 ss_pctx10=10", "dfreqz1_freqz_u40=341879396761", nullptr},
      {kova_mode_ss_e, "ss_mode_e=0 ss_pctx10=10", "dfreqz1_freqz_u40=343597383680", nullptr},
      // +1000 ppb: the VCO in whole hertz, trunc(4e9 x 1.000001) = 4000003999 (the factor is
      // just below 1.000001 in binary).
      {kova_mode_nco_e, "xa_freq_off_ppb_i32=1000", "dfreqz1_freqz_u40=343597727191", nullptr},
      // The word overflows, the PFD clock is 0, or a VCO without a frequency (m = 0) stays
      // without one under an XA offset.
      {kova_mode_nco_e, "dco_pfdclk_freq_s=1000", "dfreqz1_freqz_u40=1099511627775", "ERROR: int2reg dfreqz1_freqz_u40 overflow"},
      {kova_mode_nco_e, "dco_pfdclk_freq_s=0", "", "ERROR: int2reg dfreqz1_freqz_u40 overflow"},
      {kova_mode_nco_e, "vco_freq_s=4000000000,1,0 xa_freq_off_ppb_i32=-50", "dfreqz1_freqz_u40=1099511627775",
       "ERROR: int2reg dfreqz1_freqz_u40 overflow"},
      // JA: 2^8 x 2^40 / (2^33 x 40) x 100 / 100 = 819.2; a divider of 0 overflows.
      {kova_mode_ja_e, "dcofb_div_u32=100", "dfbscl1_fbscale_u16=819 dfbdiv1_fbdiv_u19=99", nullptr},
      {kova_mode_ja_e, "dcofb_div_u32=0", "dfbdiv1_fbdiv_u19=524287", "ERROR: int2reg dfbdiv1_fbdiv_u19 overflow"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.set);
    Hal h;
    init_full(h.get(), 40000, c.mode);
    drain(h.get());
    set_fields(h.get(), std::string("vco_freq_s=4000000000 dco_pfdclk_freq_s=100000000 afbrem1_afbrem_u32=0 "
                                    "afbden1_afbden_u32=1 ") + c.set);
    calc_hal_work_s w{};
    w.dco_pfd_mhz = fprec_s_2_double_mhz(h->dco_pfdclk_freq_s);
    w.dco_mhz = w.dco_adj_mhz = 100.0;
    w.apll_fbdiv_ratio = 40.0;
    calc_dco_regs(h.get(), &w);
    EXPECT_EQ(drain(h.get()), c.msg ? std::vector<std::string>{c.msg} : std::vector<std::string>{});
    expect_fields(h.get(), c.want);
    if (!c.msg && c.mode == kova_mode_nco_e && c.set[0] == 0) {
      EXPECT_DOUBLE_EQ(w.freqz_scale, 8589934592.0 * 40.0);  // the scale describes the same word
    }
  }
  // Spread spectrum: step 2^33 x 40 x (0.005 x 96.5 / 800) / 100, twice that for a centre
  // spread; a count of 1 or 0 overflows (the step divides by it: no crash).
  Hal h;
  init_full(h.get(), 40000, kova_mode_ss_e);
  drain(h.get());
  set_fields(h.get(), "vco_freq_s=4000000000 dco_pfdclk_freq_s=100000000 afbrem1_afbrem_u32=0 afbden1_afbden_u32=1 "
                      "ss_mode_e=1 ss_pctx10=5 ss_cnt_u16=400");
  calc_hal_work_s w{};
  w.dco_pfd_mhz = w.dco_mhz = 100.0;
  w.dco_adj_mhz = 96.5;
  w.apll_fbdiv_ratio = 40.0;
  calc_ss_regs(h.get(), &w);
  expect_fields(h.get(), "dssdec1_decinc_u20=2072322 dsscnt1_sscnt_u12=398");
  h->ss_mode_e = ss_mode_centre_e;
  calc_ss_regs(h.get(), &w);
  EXPECT_EQ(h->dssdec1_decinc_u20, 4144643u);
  EXPECT_TRUE(drain(h.get()).empty());
  h->ss_cnt_u16 = 1;
  calc_ss_regs(h.get(), &w);
  EXPECT_TRUE(has_msg(drain(h.get()), "ERROR: int2reg dsscnt1_sscnt_u12 overflow"));
  h->ss_cnt_u16 = 0;
  calc_ss_regs(h.get(), &w);
  EXPECT_TRUE(has_msg(drain(h.get()), "ERROR: real2reg dssdec1_decinc_u20 overflow"));
  EXPECT_EQ(h->dssdec1_decinc_u20, 8388607u);
}

TEST(LockTimeout, MultiplierCountAndRange) {
  Hal h;
  init_full(h.get(), 40000, kova_mode_ja_e);
  drain(h.get());
  const struct { uint32_t ms, rate; double ratio; uint32_t code, count, programmed; bool out; } cases[] = {
      {1, 1000, 2.0, 0, 2, 2, false},      // 1000 Hz, one tick per ms: raised to the floor of 2 ticks
      {100, 1000, 2.0, 1, 7, 112, false},  // 63 < 100 <= 63 x 16
      {0, 1000, 2.0, 0, 0, 0, false},
      {5, 200, 0.5, 0, 1, 5, false},       // tick 5 ms: one tick
      {63 * 4096, 1000, 8.0, 3, 63, 258048, false},  // the longest setting exactly
      {63 * 4096 + 1, 1000, 8.0, 3, 63, 258048, true},
      {10, 0, 8.0, 0, 1, 4294967295u, false},  // an endless tick: one tick, the time saturates
  };
  for (const auto &c : cases) {
    const lock_timeout_s r = calc_lock_timeout(h.get(), c.ms, c.rate, c.ratio, "phlkto_phlkto_u6", "PHLKTO_OUT_OF_RANGE");
    EXPECT_TRUE(r.code == c.code && r.count == c.count && r.programmed_ms == c.programmed) << c.ms << " " << c.rate;
    // Out of range is a plain message: neither an error nor a warning.
    EXPECT_EQ(msg_level(h.get()), 0u);
    EXPECT_EQ(drain(h.get()), c.out ? std::vector<std::string>{"PHLKTO_OUT_OF_RANGE"} : std::vector<std::string>{});
  }
  // The block rewrites both timeouts: tick 0.5 ms, floor 8 ticks = 4 ms; 1000 ms is 2000
  // ticks: code 2 (x256), count ceil(2000 / 256) = 8.
  set_fields(h.get(), "dsp_rate_hz_u32=2000 lkto_dsp_ratio_min_r=8 phlkto_ms=3 lkato_ms=1000 pfd_div_u16=500");
  calc_lock_regs(h.get());
  expect_fields(h.get(), "dpcnt1_pfdcnt_u14=499 phlkto_phlktom_u2=0 phlkto_phlkto_u6=8 phlkto_ms=4 lkato_lkatom_u2=2 "
                         "lkato_lkato_u6=8 lkato_ms=1024");
  h->pfd_div_u16 = 0;
  calc_lock_regs(h.get());
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg dpcnt1_pfdcnt_u14 overflow"});
}

}  // namespace
