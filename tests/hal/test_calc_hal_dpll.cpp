// DPLL loop, holdover and limit words.
#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// JA defaults of device 40000 with an 8 kHz DSP rate from a 1 MHz PFD (divider 125), a
// 100 MHz DCO PFD clock and the frequency word 2^33 x 40; then the case's own settings.
std::vector<std::string> run_loop(Hal &h, const std::string &set) {
  init_full(h.get(), 40000, kova_mode_ja_e);
  drain(h.get());
  set_fields(h.get(), "dsp_rate_hz_u32=8000 pfd_div_u16=125 pfd_freq_s=1000000 dfreqz1_freqz_u40=343597383680 "
                      "pfixavgto_us=0 hoavgto_us=0 howaitto_us=0 " + set);
  calc_hal_work_s w{};
  w.dco_pfd_mhz = 100.0;
  w.freqz_scale = 8589934592.0 * 40.0;
  calc_dpll_loop_regs(h.get(), &w);
  return drain(h.get());
}

TEST(DpllLoop, WordsFromTheSettings) {
  const struct { const char *set, *want, *msg; } cases[] = {
      // Defaults: bandwidth 50 Hz, damping 5. pfdns = 2^20 x 10 ns / 125; w = 50 x 2 pi x
      // (k exp(-160 C) + A) = 306.45; pfdnscale = 2^52 / (2^33 x 40); fqhlim = 1e6 ppb of the
      // word; loss of lock set and clear 1000 us = 8 samples, rate code 32; hitless mode 2.
      {"", "pfdns_ro_u32_20=83886 prop_ro_u32_10=107822628 int_ro_u32_12=165211 pfdnscale_ro_u16_52=13107 "
           "phuins_ro_u32_10=1024000 houiscale_ro_u16_36=3 phlolns_ro_u16_0=10 pslimthr_ro_u32_10=2147483647 "
           "hofdthr_ro_u32_0=2147483647 fchlimthr_ro_u32_0=2147483647 fqhlimthr_ro_u32_0=343597384 "
           "pslimint_ro_u8_0=32 phlolset_ro_u8_0=32 lolset_us=1000 phlolclr_ro_u8_0=32 lolclr_us=1000 "
           "dpllcr2_crb1=0 dpllcr2_crb2=1 dpllcr1_homode_u2=0", nullptr},
      // Limits in word units per sample; the loss-of-lock threshold widened by 0.6 x 100 ns.
      {"pslim_ns_sec=1000 hofd_ppb_sec=50 fchlim_ppb_sec=200 lolthr_ns=10 jitter_tol_ns_u16=100 man_phoff_ps=1000",
       "pslimthr_ro_u32_10=3341 hofdthr_ro_u32_0=2 fchlimthr_ro_u32_0=9 phlolns_ro_u16_0=70 dphoff1_phoff_ns_i32_10=-1024",
       nullptr},
      {"lolthr_ns=0 jitter_tol_ns_u16=100 man_phoff_ps=-500", "phlolns_ro_u16_0=65535 dphoff1_phoff_ns_i32_10=512",
       nullptr},  // off, whatever the tolerance
      {"hitless_mode_e=1 ho_mode_e=1", "dpllcr2_crb1=1 dpllcr2_crb2=0 dpllcr1_homode_u2=1", nullptr},
      {"hitless_mode_e=5 ho_mode_e=7", "dpllcr2_crb1=0 dpllcr2_crb2=0 dpllcr1_homode_u2=2",
       "WARNING: invalid ho_mode_e, setting FRUN"},
      // Phase-fix averaging rounds down (12 samples: code 3, 1000 us), at least one sample,
      // at most 2^15.
      {"pfixavgto_us=1000", "pfixavgto_ro_u8_0=3 pfixavgto_us=1000", nullptr},
      {"pfixavgto_us=1500", "pfixavgto_ro_u8_0=3 pfixavgto_us=1000", nullptr},
      {"pfixavgto_us=100", "pfixavgto_ro_u8_0=0 pfixavgto_us=125", nullptr},
      {"pfixavgto_us=4000000000", "pfixavgto_ro_u8_0=15 pfixavgto_us=4096000", nullptr},
      // Holdover averaging and wait round up; under one sample the field is kept.
      {"hoavgto_us=1500 howaitto_us=1000", "hoavgto_ro_u8_0=4 hoavgto_us=2000 howaitto_ro_u8_0=3 howaitto_us=1000",
       nullptr},
      {"hoavgto_us=100 howaitto_us=10000000", "hoavgto_ro_u8_0=0 hoavgto_us=100 howaitto_ro_u8_0=15 howaitto_us=4096000",
       nullptr},
      // Loss-of-lock rates: no sample gives 255 (floor(256 / 255 x 125) us); 24 samples 10.
      {"lolset_us=0 lolclr_us=3000", "phlolset_ro_u8_0=255 lolset_us=125 phlolclr_ro_u8_0=10 lolclr_us=3200", nullptr},
      {"lolset_us=100000000", "phlolset_ro_u8_0=1 lolset_us=32000", nullptr},
      // No bandwidth: both gains 0, and the phase-slope limit (divided by the gain) overflows.
      {"dpll_bw_hz=0 pslim_ns_sec=1000", "prop_ro_u32_10=0 pslimthr_ro_u32_10=2147483647",
       "ERROR: real2reg pslimthr_ro_u32_10 overflow"},
      {"dpll_df=0", "", "ERROR: real2reg int_ro_u32_12 overflow"},
      {"dsp_rate_hz_u32=0 pfd_div_u16=0 hoavgto_us=1000", "hoavgto_us=1000", "ERROR: real2reg pfdns_ro_u32_20 overflow"},
      {"dfreqz1_freqz_u40=0", "pfdnscale_ro_u16_52=4294967295 houiscale_ro_u16_36=65535",
       "ERROR: real2reg houiscale_ro_u16_36 overflow"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.set);
    Hal h;
    const auto msgs = run_loop(h, c.set);
    expect_fields(h.get(), c.want);
    if (c.msg) {
      EXPECT_TRUE(has_msg(msgs, c.msg));
    } else {
      EXPECT_TRUE(msgs.empty()) << msgs[0];
    }
  }
}

}  // namespace
