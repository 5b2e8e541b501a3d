// Input divider codes and input monitors. The expected values are worked out from the
// monitor's formulas with a 100 MHz monitor reference.
#include <cmath>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// Checks real fields against "name=value ..." to within 1e-6.
void expect_near(const hal_api_s *h, const std::string &assignments) {
  kova_test::each_field(assignments, [h](const hal_field_s *f, const std::string &v) {
    EXPECT_NEAR(*static_cast<const double *>(hal_field_ptr(h, f)), std::stod(v), 1e-6) << f->name;
  });
}

const char kSwitch[] = "WARNING: switching monitor mode to icx_mon_ppm_mode_jtrtol8_e";
const char kNoSplit[] = "ERROR: no PCD PPD solution for PPM monitor";
// IC1 at 10 MHz, a PPM monitor (jitter-tolerant 8) of 100 and 120 ppm.
const std::string kIc1 = "ic1_hsdiv_freq_s=10000000 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=1 ic1_mon_thr_ppm=100 "
                         "ic1_mon_thr2_ppm=120 ";

TEST(Monitor, RegistersAndReportedFigures) {
  const struct {
    const char *name;
    int32_t device;
    std::string set;
    std::vector<std::string> msgs;
    const char *want, *near;
  } cases[] = {
      // t = 100000 = 250 x 400 exactly; one PPM count is one ppm; SCC 1.5 reference periods per
      // input period, minus 1.
      {"plain ppm", 40000, kIc1, {},
       "ic1_mondiv_u8=1 mon1cr1_mondiv_u4=0 mon1cr6_pcd_u8=249 mon1cr11_ppd_u10=399 mon1cr4_scc_u18=14 "
       "mon1cr3_scgap_u1=0 mon1cr2_scen_u1=1 mon1cr2_ppen_u1=1 mon1cr2_pcen_u1=0 mon1cr13_pplt_u9=101 "
       "mon1cr12_ppht_u9=118 mon1cr7_ppn_u25=0 mon1cr7_pcn_u14=0 mon1cr10_jtrtol_u1=0 mon1cr1_valtime_u3=0",
       "ic1_mon_invalid_thr_ppm_r=119.0278496 ic1_mon_invalid_lat_ms_r=160 ic1_mon_valid_lat_ms_r=160 "
       "ic1_mon_hyst_ppm_r=17 ic1_mon_valtim_rate_hz_r=12.5 ic1_mon_divclk_freq_mhz_r=10"},
      // accur_lo adds the fast check over 250 cycles: PCN = 8 x round(312.5) + 1 = 2505
      // eighths, PCT 6; SCO is written (0 offset).
      {"accur_lo", 40000, kIc1 + "ic1_mon_ppm_mode_e=0 sco_sco_i8=77", {},
       "mon1cr2_pcen_u1=1 mon1cr2_ppen_u1=1 mon1cr12_ppht_u9=118 mon1cr13_pplt_u9=101 mon1cr7_pcn_u14=313 "
       "mon1cr8_pct_u8=6 mon1cr9_pctm_u3=0 sco_sco_i8=0 ic1_mon_ppm_mode_e=0",
       "ic1_mon_fast_invalid_thr_ppm_r=7371.0071842 ic1_mon_fast_invalid_lat_ms_r=0.05"},
      // 7.77777 MHz: the pre-divider search, and the count offset moved into SCO (-3).
      {"accur_lo divided", 40000,
       "ic1_hsdiv_freq_s=7777770 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=0 ic1_mon_thr_ppm=50 ic1_mon_thr2_ppm=60", {},
       "ic1_mondiv_u8=6 mon1cr1_mondiv_u4=5 mon1cr6_pcd_u8=148 mon1cr11_ppd_u10=86 mon1cr4_scc_u18=115 "
       "sco_sco_i8=4294967293 mon1cr7_pcn_u14=1437 mon1cr8_pct_u8=4 mon1cr13_pplt_u9=51 mon1cr12_ppht_u9=57",
       "ic1_mon_invalid_thr_ppm_r=59.7206643 ic1_mon_fast_invalid_thr_ppm_r=1817.7663991 "
       "ic1_mon_divclk_freq_mhz_r=1.296295"},
      // Wide thresholds: a percent monitor; SCC rounded up, with gap. 976.5625 Hz: (2^4 + 1)
      // periods of 1.024 ms are the first to cover 10 ms. A counted monitor writes SCO.
      {"percent", 40000,
       "ic3_hsdiv_freq_s=2000000 ic3_mon_mode_e=3 ic3_mon_ppm_mode_e=1 ic3_mon_thr_ppm=1000 ic3_mon_thr2_ppm=1200 "
       "ic3_mon_valwait_ms=10 sco_sco_i8=5", {},
       "mon3cr2_pcen_u1=1 mon3cr2_ppen_u1=0 mon3cr6_pcd_u8=255 mon3cr7_pcn_u14=1601 mon3cr8_pct_u8=21 "
       "mon3cr9_pctm_u3=0 mon3cr11_ppd_u10=0 mon3cr12_ppht_u9=0 mon3cr13_pplt_u9=0 mon3cr4_scc_u18=74 "
       "mon3cr3_scgap_u1=1 mon3cr1_valtime_u3=4 ic3_mon_valwait_ms=17 sco_sco_i8=0",
       "ic3_mon_invalid_thr_ppm_r=3890.75532 ic3_mon_invalid_lat_ms_r=0.256 ic3_mon_valtim_rate_hz_r=976.5625 "
       "ic3_mon_valid_lat_ms_r=17.256"},
      // Jitter-tolerant scale; no separate reject threshold: PPHT = PPLT; PPN (1e6 - base) x 8 = -31.
      {"jitter tolerant", 40000,
       "ic2_hsdiv_freq_s=7777770 ic2_mon_mode_e=3 ic2_mon_ppm_mode_e=2 ic2_mon_thr_ppm=100 ic2_mon_thr2_ppm=100 "
       "ic2_mon_valwait_ms=25", {},
       "mon2cr10_jtrtol_u1=1 mon2cr6_pcd_u8=173 mon2cr11_ppd_u10=446 mon2cr13_pplt_u9=101 mon2cr12_ppht_u9=101 "
       "mon2cr7_ppn_u25=4294967265 mon2cr1_valtime_u3=0 ic2_mon_valwait_ms=2560",
       "ic2_mon_valid_lat_ms_r=7680.0197486"},
      // Two accur_lo inputs of different frequencies both switch to the plain PPM monitor.
      {"two accur_lo", 40000,
       kIc1 + "ic1_mon_ppm_mode_e=0 ic2_hsdiv_freq_s=7777770 ic2_mon_mode_e=2 ic2_mon_ppm_mode_e=0 "
              "ic2_mon_thr_ppm=100 ic2_mon_thr2_ppm=120", {kSwitch, kSwitch},
       "ic1_mon_ppm_mode_e=1 ic2_mon_ppm_mode_e=1 mon1cr2_pcen_u1=0 mon2cr2_pcen_u1=0 mon1cr12_ppht_u9=118", ""},
      // Below the 1 MHz accur_lo minimum it switches; at the minimum itself it stays.
      {"slow accur_lo", 40000, kIc1 + "ic1_hsdiv_freq_s=500000 ic1_mon_ppm_mode_e=0", {kSwitch}, "ic1_mon_ppm_mode_e=1", ""},
      {"accur_lo minimum", 40000, kIc1 + "ic1_hsdiv_freq_s=1000000 ic1_mon_ppm_mode_e=0", {}, "ic1_mon_ppm_mode_e=0", ""},
      // 101 ppm after 100: too close, and the reject count, which cannot go below the accept
      // count, is one above it; the monitor is still stored.
      {"close thresholds", 40000, kIc1 + "ic1_mon_thr2_ppm=101",
       {"ERROR: The accept and reject thresholds must be >=3ppm apart.",
        "WARNING: icx_mon_invalid_thr_ppm_r > icx_mon_thr2_ppm"},
       "mon1cr13_pplt_u9=101 mon1cr12_ppht_u9=102 mon1cr2_ppen_u1=1", ""},
      // Device 40112 monitors at least 10000 ppm: a percent monitor now.
      {"raised threshold", 40112, kIc1 + "ic1_hsdiv_freq_s=2000000 ic1_mon_thr_ppm=5000 ic1_mon_thr2_ppm=0", {},
       "ic1_mon_thr_ppm=10000 mon1cr2_pcen_u1=1", ""},
      // Fixed modes clear everything but the wait; neither writes SCO.
      {"fixed modes", 40000,
       "ic1_hsdiv_freq_s=10000000 ic2_hsdiv_freq_s=10000000 ic1_mon_mode_e=0 ic2_mon_mode_e=1 ic1_mon_thr_ppm=100 "
       "ic2_mon_thr_ppm=100 ic1_mon_thr2_ppm=120 ic1_mon_valwait_ms=7 ic1_mon_extlos_e=3 ic2_mon_extlos_e=3 "
       "mon1cr6_pcd_u8=9 mon2cr6_pcd_u8=9 sco_sco_i8=12", {},
       "mon1cr2_scen_u1=1 mon1cr4_scc_u18=65535 mon1cr1_valtime_u3=7 mon1cr1_mondiv_u4=0 ic1_mondiv_u8=0 "
       "mon1cr6_pcd_u8=0 mon1cr2_losss_u3=0 ic1_mon_thr_ppm=0 ic1_mon_thr2_ppm=0 ic1_mon_valwait_ms=7 "
       "mon2cr2_scen_u1=0 mon2cr4_scc_u18=0 mon2cr1_valtime_u3=0 mon2cr6_pcd_u8=0 ic2_mondiv_u8=0 sco_sco_i8=12", ""},
      // IC3 unused: its start values; IC1 accur_lo keeps its SCO of -3.
      {"unused input", 40000,
       "ic1_hsdiv_freq_s=7777770 ic1_mon_mode_e=2 ic1_mon_ppm_mode_e=0 ic1_mon_thr_ppm=50 ic1_mon_thr2_ppm=60 "
       "ic3_mon_mode_e=2 ic3_mon_extlos_e=2", {},
       "sco_sco_i8=4294967293 ic3_mondiv_u8=16 mon3cr1_mondiv_u4=15 mon3cr1_valtime_u3=1 mon3cr2_scen_u1=1 "
       "mon3cr2_ppen_u1=0 mon3cr2_losss_u3=0 mon3cr4_scc_u18=0", ""},
      // 300 / 16 > 15.625 MHz; 800 Hz has no percent-monitor setting: those two end, IC3 is done.
      {"errors", 40000,
       "ic1_hsdiv_freq_s=300000000 ic2_hsdiv_freq_s=800 ic3_hsdiv_freq_s=10000000 ic1_mon_mode_e=2 ic2_mon_mode_e=2 "
       "ic3_mon_mode_e=2 ic1_mon_ppm_mode_e=1 ic2_mon_ppm_mode_e=1 ic3_mon_ppm_mode_e=1 ic1_mon_thr_ppm=100 "
       "ic2_mon_thr_ppm=1000 ic3_mon_thr_ppm=100 mon1cr6_pcd_u8=42 mon2cr6_pcd_u8=42 ic1_mondiv_u8=42 ic2_mondiv_u8=42",
       {"ERROR: IC1 monitor input clock frequency 18.75 > 15.625 MHz",
        "ERROR: Input percent monitor not available for 1kHz input frequency and has a narrower range of settings for "
        "input frequencies below 2kHz."},
       "mon1cr6_pcd_u8=42 ic1_mondiv_u8=42 mon2cr6_pcd_u8=42 ic2_mondiv_u8=42 mon3cr6_pcd_u8=249", ""},
      // No counter split (a 1 MHz reference: t = 1e7), directly or through the accur_lo
      // pre-divider search, or no reference at all: the monitor ends without storing.
      {"no split", 40000, kIc1 + "up_monclk_freq_s=1000000 mon1cr6_pcd_u8=42 sco_sco_i8=9", {kNoSplit},
       "mon1cr6_pcd_u8=42 sco_sco_i8=9", ""},
      {"no split accur_lo", 40000, kIc1 + "up_monclk_freq_s=1000000 mon1cr6_pcd_u8=42 ic1_mon_ppm_mode_e=0",
       {kNoSplit}, "mon1cr6_pcd_u8=42", ""},
      {"no reference", 40000, kIc1 + "up_monclk_freq_s=0", {kNoSplit}, "", ""},
      // No threshold: the single-cycle monitor only, with an automatic wait of 3 periods of 80 ms.
      {"no threshold", 40000, kIc1 + "ic1_mon_thr_ppm=0 ic1_mon_valwait_ms=0 ic1_mon_extlos_e=4", {},
       "mon1cr2_pcen_u1=0 mon1cr2_ppen_u1=0 mon1cr2_losss_u3=4 mon1cr1_valtime_u3=1 ic1_mon_valwait_ms=240 "
       "mon1cr6_pcd_u8=249", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    Hal h;
    init_full(h.get(), c.device, kova_mode_ja_e);
    drain(h.get());
    set_fields(h.get(), "up_monclk_freq_s=100000000 ic1_hsdiv_freq_s=0 ic2_hsdiv_freq_s=0 ic3_hsdiv_freq_s=0 " + c.set);
    calc_mon_regs(h.get());
    EXPECT_EQ(drain(h.get()), c.msgs);
    expect_fields(h.get(), c.want);
    expect_near(h.get(), c.near);
  }
}

TEST(IcDiv, CodesAndInvalidValues) {
  Hal h;
  init_full(h.get(), 40000, kova_mode_ja_e);
  set_fields(h.get(), "ic1_hsdiv_u8=8 ic2_hsdiv_u8=1 ic3_hsdiv_u8=4 ic1_div_u32=0 ic2_div_u32=1048576 ic3_div_u32=1000");
  EXPECT_TRUE(calc_ic_div_regs(h.get()));
  EXPECT_TRUE(drain(h.get()).empty());
  expect_fields(h.get(), "ic1cr1_hsdiv_u2=3 ic2cr1_hsdiv_u2=0 ic3cr1_hsdiv_u2=2 ic1_div_u32=1 ic1cr2_div_u20=0 "
                         "ic2cr2_div_u20=1048575 ic3cr2_div_u20=999");
  // Invalid values stop the run; the inputs before them have their codes.
  set_fields(h.get(), "ic1_hsdiv_u8=2 ic2_hsdiv_u8=3 ic3_hsdiv_u8=1 ic3cr1_hsdiv_u2=3");
  EXPECT_FALSE(calc_ic_div_regs(h.get()));
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: INVALID IC2 HSDIV"});
  expect_fields(h.get(), "ic1cr1_hsdiv_u2=1 ic3cr1_hsdiv_u2=3");
  set_fields(h.get(), "ic2_hsdiv_u8=1 ic1_div_u32=10 ic2_div_u32=1048577 ic3_div_u32=5 ic3cr2_div_u20=77");
  EXPECT_FALSE(calc_ic_div_regs(h.get()));
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: INVALID IC2 DIV"});
  expect_fields(h.get(), "ic1cr2_div_u20=9 ic3cr2_div_u20=77");
  // A divider limit beyond the field: the overflow names the input.
  set_fields(h.get(), "ic_div_max_u32=2097152 ic2_div_u32=1048577");
  EXPECT_TRUE(calc_ic_div_regs(h.get()));
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg ic2cr2_div_u20 overflow"});
  // SYN has no DIV codes.
  Hal s;
  init_full(s.get(), 40000, kova_mode_syn_e);
  set_fields(s.get(), "ic1_hsdiv_u8=2 ic2_hsdiv_u8=2 ic3_hsdiv_u8=2 ic1_div_u32=0 ic1cr2_div_u20=55");
  EXPECT_TRUE(calc_ic_div_regs(s.get()));
  expect_fields(s.get(), "ic1cr1_hsdiv_u2=1 ic1_div_u32=0 ic1cr2_div_u20=55");
}

}  // namespace
