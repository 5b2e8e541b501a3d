// Input divider codes and input monitors. The expected values are worked out from the
// monitor's formulas with a 100 MHz monitor reference.
#include <cmath>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

struct Monitor : ::testing::Test {
  Hal h;
  void SetUp() override {
    init_full(h.get(), 40000, kova_mode_ja_e, xa_mode_xo_e);
    drain(h.get());
    h->up_monclk_freq_s = fp(100000000);
    h->ic1_hsdiv_freq_s = h->ic2_hsdiv_freq_s = h->ic3_hsdiv_freq_s = fp(0);
  }
  std::vector<std::string> run() {
    calc_mon_regs(h.get());
    return drain(h.get());
  }
};

TEST_F(Monitor, PlainPpmMonitor) {
  set_fields(h.get(), "ic1_hsdiv_freq_s=10000000 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=1 ic1_mon_thr_ppm=100 "
      "ic1_mon_thr2_ppm=120");
  EXPECT_TRUE(run().empty());
  // t = 100000 = 250 x 400 exactly; one PPM count is one ppm.
  // mon1cr4_scc_u18: 1.5 reference periods per input period, minus 1
  expect_fields(h.get(), "ic1_mondiv_u8=1 mon1cr1_mondiv_u4=0 mon1cr6_pcd_u8=249 mon1cr11_ppd_u10=399 "
      "mon1cr4_scc_u18=14 mon1cr3_scgap_u1=0 mon1cr2_scen_u1=1 mon1cr2_ppen_u1=1 mon1cr2_pcen_u1=0 "
      "mon1cr13_pplt_u9=101 mon1cr12_ppht_u9=118 mon1cr7_ppn_u25=0 mon1cr7_pcn_u14=0 mon1cr10_jtrtol_u1=0 "
      "mon1cr1_valtime_u3=0");
  EXPECT_NEAR(h->ic1_mon_invalid_thr_ppm_r, 119.0278496, 1e-6);
  EXPECT_DOUBLE_EQ(h->ic1_mon_invalid_lat_ms_r, 160.0);
  EXPECT_DOUBLE_EQ(h->ic1_mon_valid_lat_ms_r, 160.0);
  EXPECT_DOUBLE_EQ(h->ic1_mon_hyst_ppm_r, 17.0);
  EXPECT_DOUBLE_EQ(h->ic1_mon_valtim_rate_hz_r, 12.5);
  EXPECT_DOUBLE_EQ(h->ic1_mon_divclk_freq_mhz_r, 10.0);
}

TEST_F(Monitor, AccurLoAddsTheFastPercentCheck) {
  set_fields(h.get(), "ic1_hsdiv_freq_s=10000000 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=0 ic1_mon_thr_ppm=100 "
      "ic1_mon_thr2_ppm=120 sco_sco_i8=77");
  EXPECT_TRUE(run().empty());
  expect_fields(h.get(), "mon1cr2_pcen_u1=1 mon1cr2_ppen_u1=1 mon1cr12_ppht_u9=118 mon1cr13_pplt_u9=101");
  // Fast check over 250 cycles: PCN = 8 x round(312.5) + 1 = 2505 eighths, PCT 6.
  expect_fields(h.get(), "mon1cr7_pcn_u14=313 mon1cr8_pct_u8=6 mon1cr9_pctm_u3=0");
  EXPECT_NEAR(h->ic1_mon_fast_invalid_thr_ppm_r, 7371.0071842, 1e-6);
  EXPECT_DOUBLE_EQ(h->ic1_mon_fast_invalid_lat_ms_r, 0.05);
  expect_fields(h.get(), "sco_sco_i8=0 ic1_mon_ppm_mode_e=0");
}

TEST_F(Monitor, AccurLoSearchesThePreDividerAndMovesTheOffsetIntoSco) {
  set_fields(h.get(), "ic1_hsdiv_freq_s=7777770 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=0 ic1_mon_thr_ppm=50 "
      "ic1_mon_thr2_ppm=60");
  EXPECT_TRUE(run().empty());
  expect_fields(h.get(), "ic1_mondiv_u8=6 mon1cr1_mondiv_u4=5 mon1cr6_pcd_u8=148 mon1cr11_ppd_u10=86 "
      "mon1cr4_scc_u18=115");
  EXPECT_EQ(static_cast<int32_t>(h->sco_sco_i8), -3);
  expect_fields(h.get(), "mon1cr7_pcn_u14=1437 mon1cr8_pct_u8=4 mon1cr13_pplt_u9=51 mon1cr12_ppht_u9=57");
  EXPECT_NEAR(h->ic1_mon_invalid_thr_ppm_r, 59.7206643, 1e-6);
  EXPECT_NEAR(h->ic1_mon_fast_invalid_thr_ppm_r, 1817.7663991, 1e-6);
  EXPECT_NEAR(h->ic1_mon_divclk_freq_mhz_r, 1.296295, 1e-12);
}

TEST_F(Monitor, PercentMonitorForWideThresholds) {
  set_fields(h.get(), "ic3_hsdiv_freq_s=2000000 ic3_mon_mode_e=3 ic3_mon_ppm_mode_e=1 ic3_mon_thr_ppm=1000 "
      "ic3_mon_thr2_ppm=1200 ic3_mon_valwait_ms=10 sco_sco_i8=5");
  EXPECT_TRUE(run().empty());
  // mon3cr4_scc_u18: rounded up, with gap
  expect_fields(h.get(), "mon3cr2_pcen_u1=1 mon3cr2_ppen_u1=0 mon3cr6_pcd_u8=255 mon3cr7_pcn_u14=1601 "
      "mon3cr8_pct_u8=21 mon3cr9_pctm_u3=0 mon3cr11_ppd_u10=0 mon3cr12_ppht_u9=0 mon3cr13_pplt_u9=0 "
      "mon3cr4_scc_u18=74 mon3cr3_scgap_u1=1");
  EXPECT_NEAR(h->ic3_mon_invalid_thr_ppm_r, 3890.7553200, 1e-6);
  EXPECT_DOUBLE_EQ(h->ic3_mon_invalid_lat_ms_r, 0.256);
  // 976.5625 Hz: (2^4 + 1) periods of 1.024 ms are the first to cover 10 ms.
  EXPECT_DOUBLE_EQ(h->ic3_mon_valtim_rate_hz_r, 976.5625);
  expect_fields(h.get(), "mon3cr1_valtime_u3=4 ic3_mon_valwait_ms=17");
  EXPECT_DOUBLE_EQ(h->ic3_mon_valid_lat_ms_r, 17.256);
  EXPECT_EQ(h->sco_sco_i8, 0u);  // a counted monitor writes SCO
}

TEST_F(Monitor, JitterTolerantScale) {
  // ic2_mon_thr2_ppm: no separate reject threshold: PPHT = PPLT
  set_fields(h.get(), "ic2_hsdiv_freq_s=7777770 ic2_mon_mode_e=3 ic2_mon_ppm_mode_e=2 ic2_mon_thr_ppm=100 "
      "ic2_mon_thr2_ppm=100 ic2_mon_valwait_ms=25");
  EXPECT_TRUE(run().empty());
  expect_fields(h.get(), "mon2cr10_jtrtol_u1=1 mon2cr6_pcd_u8=173 mon2cr11_ppd_u10=446 mon2cr13_pplt_u9=101 "
      "mon2cr12_ppht_u9=101");
  EXPECT_EQ(static_cast<int32_t>(h->mon2cr7_ppn_u25), -31);  // (1e6 - base) x 8
  expect_fields(h.get(), "mon2cr1_valtime_u3=0 ic2_mon_valwait_ms=2560");
  EXPECT_NEAR(h->ic2_mon_valid_lat_ms_r, 7680.0197486, 1e-6);
}

TEST_F(Monitor, TwoAccurLoInputsOfDifferentFrequenciesBothSwitch) {
  set_fields(h.get(), "ic1_hsdiv_freq_s=10000000 ic2_hsdiv_freq_s=7777770");
  for (int32_t *m : {&h->ic1_mon_mode_e, &h->ic2_mon_mode_e}) *m = 2;
  h->ic1_mon_ppm_mode_e = h->ic2_mon_ppm_mode_e = 0;
  h->ic1_mon_thr_ppm = h->ic2_mon_thr_ppm = 100;
  h->ic1_mon_thr2_ppm = h->ic2_mon_thr2_ppm = 120;
  const auto m = run();
  EXPECT_EQ(count_msg(m, "WARNING: switching monitor mode to icx_mon_ppm_mode_jtrtol8_e"), 2u);
  // mon1cr12_ppht_u9: the plain PPM monitor
  expect_fields(h.get(), "ic1_mon_ppm_mode_e=1 ic2_mon_ppm_mode_e=1 mon1cr2_pcen_u1=0 mon2cr2_pcen_u1=0 "
      "mon1cr12_ppht_u9=118");
}

TEST_F(Monitor, SlowInputSwitchesAccurLo) {
  // ic1_hsdiv_freq_s: below the 1 MHz accur_lo minimum
  set_fields(h.get(), "ic1_hsdiv_freq_s=500000 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=0 ic1_mon_thr_ppm=100 "
      "ic1_mon_thr2_ppm=120");
  EXPECT_EQ(run(), std::vector<std::string>{"WARNING: switching monitor mode to icx_mon_ppm_mode_jtrtol8_e"});
  EXPECT_EQ(h->ic1_mon_ppm_mode_e, 1);
  // At the minimum itself accur_lo stays.
  set_fields(h.get(), "ic1_hsdiv_freq_s=1000000 ic1_mon_ppm_mode_e=0");
  EXPECT_TRUE(run().empty());
  EXPECT_EQ(h->ic1_mon_ppm_mode_e, 0);
}

TEST_F(Monitor, RejectThresholdJustAboveTheAcceptOneStopsOneCountAbove) {
  // 101 ppm after 100: the reject count cannot go below the accept count, so it is one above.
  set_fields(h.get(), "ic1_hsdiv_freq_s=10000000 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=1 ic1_mon_thr_ppm=100 "
      "ic1_mon_thr2_ppm=101");
  run();
  EXPECT_EQ(h->mon1cr12_ppht_u9, h->mon1cr13_pplt_u9 + 1);
}

TEST_F(Monitor, FixedModesClearEverythingButTheWait) {
  h->ic1_hsdiv_freq_s = h->ic2_hsdiv_freq_s = fp(10000000);
  set_fields(h.get(), "ic1_mon_mode_e=0 ic2_mon_mode_e=1");
  h->ic1_mon_thr_ppm = h->ic2_mon_thr_ppm = 100;
  h->ic1_mon_thr2_ppm = h->ic2_mon_thr2_ppm = 120;
  h->ic1_mon_valwait_ms = 7;
  h->ic1_mon_extlos_e = h->ic2_mon_extlos_e = 3;
  h->mon1cr6_pcd_u8 = h->mon2cr6_pcd_u8 = 9;
  h->sco_sco_i8 = 12;
  EXPECT_TRUE(run().empty());
  // sco_sco_i8: neither writes SCO
  expect_fields(h.get(), "mon1cr2_scen_u1=1 mon1cr4_scc_u18=65535 mon1cr1_valtime_u3=7 mon1cr1_mondiv_u4=0 "
      "ic1_mondiv_u8=0 mon1cr6_pcd_u8=0 mon1cr2_losss_u3=0 ic1_mon_thr_ppm=0 ic1_mon_thr2_ppm=0 "
      "ic1_mon_valwait_ms=7 mon2cr2_scen_u1=0 mon2cr4_scc_u18=0 mon2cr1_valtime_u3=0 mon2cr6_pcd_u8=0 "
      "ic2_mondiv_u8=0 sco_sco_i8=12");
}

TEST_F(Monitor, UnusedInputKeepsTheStartValuesAndSco) {
  // ic1_hsdiv_freq_s: accur_lo with SCO -3
  // ic3_mon_mode_e: IC2 and IC3 unused
  set_fields(h.get(), "ic1_hsdiv_freq_s=7777770 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=0 ic1_mon_thr_ppm=50 "
      "ic1_mon_thr2_ppm=60 ic3_mon_mode_e=2 ic3_mon_extlos_e=2");
  run();
  EXPECT_EQ(static_cast<int32_t>(h->sco_sco_i8), -3);
  expect_fields(h.get(), "ic3_mondiv_u8=16 mon3cr1_mondiv_u4=15 mon3cr1_valtime_u3=1 mon3cr2_scen_u1=1 "
      "mon3cr2_ppen_u1=0 mon3cr2_losss_u3=0 mon3cr4_scc_u18=0");
}

TEST_F(Monitor, ErrorsEndOnlyThatInputsMonitor) {
  // ic1_hsdiv_freq_s: 300 / 16 > 15.625 MHz
  // ic2_hsdiv_freq_s: 800 Hz: no percent-monitor setting
  set_fields(h.get(), "ic1_hsdiv_freq_s=300000000 ic2_hsdiv_freq_s=800 ic3_hsdiv_freq_s=10000000");
  for (int32_t *m : {&h->ic1_mon_mode_e, &h->ic2_mon_mode_e, &h->ic3_mon_mode_e}) *m = 2;
  h->ic1_mon_ppm_mode_e = h->ic2_mon_ppm_mode_e = h->ic3_mon_ppm_mode_e = 1;
  set_fields(h.get(), "ic1_mon_thr_ppm=100 ic2_mon_thr_ppm=1000 ic3_mon_thr_ppm=100");
  h->mon1cr6_pcd_u8 = h->mon2cr6_pcd_u8 = 42;
  h->ic1_mondiv_u8 = h->ic2_mondiv_u8 = 42;
  const auto m = run();
  EXPECT_EQ(m, (std::vector<std::string>{
                   "ERROR: IC1 monitor input clock frequency 18.75 > 15.625 MHz",
                   "ERROR: Input percent monitor not available for 1kHz input frequency and has a narrower range of "
                   "settings for input frequencies below 2kHz.",
               }));
  // mon3cr6_pcd_u8: IC3 still computed
  expect_fields(h.get(), "mon1cr6_pcd_u8=42 ic1_mondiv_u8=42 mon2cr6_pcd_u8=42 ic2_mondiv_u8=42 "
      "mon3cr6_pcd_u8=249");
}

TEST_F(Monitor, NoCounterSplitEndsTheMonitorWithoutStoring) {
  // up_monclk_freq_s: a 1 MHz reference: t = 1e7, beyond any split
  set_fields(h.get(), "up_monclk_freq_s=1000000 ic1_hsdiv_freq_s=10000000 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=1 "
      "ic1_mon_thr_ppm=100 mon1cr6_pcd_u8=42 sco_sco_i8=9");
  EXPECT_EQ(run(), std::vector<std::string>{"ERROR: no PCD PPD solution for PPM monitor"});
  expect_fields(h.get(), "mon1cr6_pcd_u8=42 sco_sco_i8=9");
  // The same through the accur_lo pre-divider search.
  h->ic1_mon_ppm_mode_e = 0;
  EXPECT_EQ(run(), std::vector<std::string>{"ERROR: no PCD PPD solution for PPM monitor"});
  EXPECT_EQ(h->mon1cr6_pcd_u8, 42u);
  // No reference clock at all.
  h->up_monclk_freq_s = fp(0);
  EXPECT_EQ(run(), std::vector<std::string>{"ERROR: no PCD PPD solution for PPM monitor"});
}

TEST_F(Monitor, ThresholdsRaisedAndCheckedApart) {
  // ic1_mon_thr2_ppm: only 1 ppm apart, 3 needed
  set_fields(h.get(), "ic1_hsdiv_freq_s=10000000 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=1 ic1_mon_thr_ppm=100 "
      "ic1_mon_thr2_ppm=101");
  auto m = run();
  EXPECT_TRUE(has_msg(m, "ERROR: The accept and reject thresholds must be >=3ppm apart."));
  EXPECT_EQ(h->mon1cr2_ppen_u1, 1u);  // the monitor is still stored

  Hal d;  // 40112: at least 10000 ppm
  init_full(d.get(), 40112, kova_mode_ja_e);
  drain(d.get());
  set_fields(d.get(), "up_monclk_freq_s=100000000 ic1_hsdiv_freq_s=2000000");
  d->ic2_hsdiv_freq_s = d->ic3_hsdiv_freq_s = fp(0);
  set_fields(d.get(), "ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=1 ic1_mon_thr_ppm=5000");
  calc_mon_regs(d.get());
  // mon1cr2_pcen_u1: a percent monitor now
  expect_fields(d.get(), "ic1_mon_thr_ppm=10000 mon1cr2_pcen_u1=1");
}

TEST_F(Monitor, NoThresholdMeansScmOnlyWithAutomaticWait) {
  set_fields(h.get(), "ic1_hsdiv_freq_s=10000000 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=1 ic1_mon_thr_ppm=0 "
      "ic1_mon_valwait_ms=0 ic1_mon_extlos_e=4");
  EXPECT_TRUE(run().empty());
  // ic1_mon_valwait_ms: 3 periods of 80 ms
  expect_fields(h.get(), "mon1cr2_pcen_u1=0 mon1cr2_ppen_u1=0 mon1cr2_losss_u3=4 mon1cr1_valtime_u3=1 "
      "ic1_mon_valwait_ms=240 mon1cr6_pcd_u8=249");
}

TEST(CounterSplit, ExactAndMissingSplits) {
  uint32_t pcd = 0, ppd = 0;
  EXPECT_EQ(mon_counter_split(10.0, 100.0, &pcd, &ppd), 0.0);
  EXPECT_EQ(pcd, 250u);
  EXPECT_EQ(ppd, 400u);
  // t = 77777.7: the best product is 174 x 447 = 77778.
  EXPECT_NEAR(mon_counter_split(7.77777, 100.0, &pcd, &ppd), 0.3, 1e-6);
  EXPECT_EQ(pcd, 174u);
  EXPECT_EQ(ppd, 447u);
  // t = 262016 (256 x 1023.5) and above: no split.
  EXPECT_EQ(mon_counter_split(26.2016, 100.0, &pcd, &ppd), 1e6);
  EXPECT_EQ(pcd, 0u);
  EXPECT_EQ(ppd, 0u);
  EXPECT_EQ(mon_counter_split(100.0, 100.0, &pcd, &ppd), 1e6);
  // Tiny counts never give a zero PPD.
  EXPECT_NEAR(mon_counter_split(0.00001, 100.0, &pcd, &ppd), 0.9, 1e-9);
  EXPECT_EQ(ppd, 1u);
}

struct IcDiv : Monitor {};

TEST_F(IcDiv, HsdivAndDivCodes) {
  set_fields(h.get(), "ic1_hsdiv_u8=8 ic2_hsdiv_u8=1 ic3_hsdiv_u8=4 ic1_div_u32=0 ic2_div_u32=1048576 "
      "ic3_div_u32=1000");
  EXPECT_TRUE(calc_ic_div_regs(h.get()));
  EXPECT_TRUE(drain(h.get()).empty());
  expect_fields(h.get(), "ic1cr1_hsdiv_u2=3 ic2cr1_hsdiv_u2=0 ic3cr1_hsdiv_u2=2 ic1_div_u32=1 ic1cr2_div_u20=0 "
      "ic2cr2_div_u20=1048575 ic3cr2_div_u20=999");
}

TEST_F(IcDiv, InvalidValuesStop) {
  set_fields(h.get(), "ic1_hsdiv_u8=2 ic2_hsdiv_u8=3 ic3_hsdiv_u8=1");
  h->ic1cr1_hsdiv_u2 = h->ic3cr1_hsdiv_u2 = 3;
  EXPECT_FALSE(calc_ic_div_regs(h.get()));
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: INVALID IC2 HSDIV"});
  expect_fields(h.get(), "ic1cr1_hsdiv_u2=1 ic3cr1_hsdiv_u2=3");

  set_fields(h.get(), "ic2_hsdiv_u8=1 ic1_div_u32=10 ic2_div_u32=1048577 ic3_div_u32=5 ic3cr2_div_u20=77");
  EXPECT_FALSE(calc_ic_div_regs(h.get()));
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: INVALID IC2 DIV"});
  expect_fields(h.get(), "ic1cr2_div_u20=9 ic3cr2_div_u20=77");

  // A divider limit beyond the field: the overflow names the input.
  h->ic_div_max_u32 = 1u << 21;
  h->ic2_div_u32 = (1u << 20) + 1;
  EXPECT_TRUE(calc_ic_div_regs(h.get()));
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg ic2cr2_div_u20 overflow"});
}

TEST(IcDivSyn, SynHasNoDivCodes) {
  Hal h;
  init_full(h.get(), 40000, kova_mode_syn_e);
  h->ic1_hsdiv_u8 = h->ic2_hsdiv_u8 = h->ic3_hsdiv_u8 = 2;
  set_fields(h.get(), "ic1_div_u32=0 ic1cr2_div_u20=55");
  EXPECT_TRUE(calc_ic_div_regs(h.get()));
  expect_fields(h.get(), "ic1cr1_hsdiv_u2=1 ic1_div_u32=0 ic1cr2_div_u20=55");
}

}  // namespace
