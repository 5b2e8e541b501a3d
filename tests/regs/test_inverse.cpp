// Inverse configuration from hand-made register images and worked examples: fields read back
// from their bits, device and mode detection, the divider plan, the anchors and their
// failures, the settings in user units, the reconciliation, the APLL test mark, the solver
// check, and random images that must end with a result.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "regs/inverse_cfg.h"
#include "regs_test_util.h"

namespace {
using namespace regs_test;

// A blank object holding the register bytes given.
void blank(Hal &h, const std::vector<std::pair<uint32_t, uint32_t>> &regs = {}) {
  load_blank(h.get());
  for (const auto &[a, v] : regs) put_reg(h.get(), a, v);
}

// The image of a revision-1 KX40112 on an XO planned from the fields given, for the worked
// examples that need a whole chip.
std::vector<uint8_t> planned(int32_t mode, const std::string &fields, Hal *keep = nullptr) {
  Hal local;
  Hal &h = keep ? *keep : local;
  init_full(h.get(), kova_device_40112_e, mode, xa_mode_xo_e, 1);
  set_fields(h.get(), fields);
  std::string why;
  EXPECT_TRUE(plan(h.get(), &why)) << why;
  std::vector<uint8_t> img(h.img(), h.img() + KOVA_REG_COUNT);
  img[0x031] = static_cast<uint8_t>((img[0x031] & 0xF0) | 1);  // a revision-1 chip
  return img;
}

// Reads back a chip holding the image from the frequency given.
int32_t read_back(Hal &h, const std::vector<uint8_t> &img, const std::string &known) {
  load_blank(h.get(), img.data());
  set_fields(h.get(), known);
  return inverse_cfg(h.get());
}

// Fields read from their bits (zero-extended; AIDIV reads bit 7 only; the DPLL-parameter
// bytes as the mode reads them), then the device, revision, mode, XA mode and system clock
// detected, or the error; the round trip reads every device and mode from planned images.
// Each row's registers go over a KX40112 revision 0 in synthesis (ID2 0x20, PLLEN 1) with
// DPLL-parameter bytes.
TEST(InverseRead, FieldsDeviceAndModesFromTheRegisters) {
  struct read_case_s {
    std::vector<std::pair<uint32_t, uint32_t>> regs;
    const char *preset, *want;  // fields set before; the fields read, or the error
  };
  const char *xa = "xa_mode_e=6 xa_disable=7 jitter_mode_e=2";
  const read_case_s cases[] = {
      {{{0x207, 0xFD}, {0x428, 0}, {0x429, 0xFF}, {0x42A, 0xFF}, {0x42B, 0xFF}, {0x01A, 0x80}, {0x100, 0xC0}}, "",
       "oc1ph_phadj_i8=253 dphoff1_phoff_ns_i32_10=-256 sco_sco_i8=128 apllcr1_aidiv_u2=2"},
      {{{0x100, 0x40}}, "", "apllcr1_aidiv_u2=0"},
      // DPLLCR1 mode 1 (NCO) reads neither the spread block nor the DPLL parameters; 2 (SS)
      // the count and all 24 bits of the decrement as the calculation writes them; 5 (JA)
      // the parameters.
      {{{0x40B, 0x01}}, "dsscnt1_sscnt_u12=99 hoavgto_ro_u8_0=99", "dsscnt1_sscnt_u12=99 hoavgto_ro_u8_0=99"},
      {{{0x40B, 0x02}}, "hoavgto_ro_u8_0=99", "dsscnt1_sscnt_u12=0x134 dssdec1_decinc_u20=0x332211 hoavgto_ro_u8_0=99"},
      {{{0x40B, 0x05}}, "", "hoavgto_ro_u8_0=0x34 pfixavgto_ro_u8_0=0x01"},
      {{{0x031, 0x21}}, "", "kova_device_e=40112 kova_device_rev_e=1"},
      {{{0x031, 0x71}}, "", "kova_device_e=40089 kova_device_rev_e=1"},
      {{{0x031, 0x22}}, "", "ERROR: Invalid device rev 0x1922"},
      {{{0x031, 0x40}}, "", "ERROR: Invalid device ID 0x1940"},
      // KX40000 has no ID code: the user names it; a known revision stays.
      {{{0x031, 0xF1}}, "kova_device_e=40000", "kova_device_e=40000 kova_device_rev_e=1"},
      {{{0x031, 0xF5}}, "kova_device_e=40000 kova_device_rev_e=1", "kova_device_e=40000 kova_device_rev_e=1"},
      {{{0x031, 0xF3}}, "kova_device_e=40000", "ERROR: Invalid device rev 0x19F3"},
      // Modes 0 and 3: synthesis and jitter attenuation (DPLLCR1 mode 4 to 6, upper bits aside).
      {{{0x00B, 0x01}, {0x40B, 0x00}}, "", "kova_mode_e=0"},
      {{{0x00B, 0x11}, {0x40B, 0x14}}, "", "kova_mode_e=3"},
      {{{0x00B, 0x11}, {0x40B, 0x06}}, "", "kova_mode_e=3"},
      {{{0x00B, 0x11}, {0x40B, 0x03}}, "", "ERROR: Can not determine kova_mode_e"},
      {{{0x00B, 0x10}, {0x40B, 0x04}}, "", "ERROR: Can not determine kova_mode_e - PLLEN 10"},
      {{{0x00B, 0x00}, {0x40B, 0x00}}, "", "ERROR: Can not determine kova_mode_e - PLLEN 0"},
      // MCR1: XA modes 0 disabled, 3 crystal, 5 XO with the doubler; system clock 0 from XA,
      // 1 from the ring oscillator; XAB 3 changes nothing.
      {{{0x009, 0x00}}, xa, "xa_mode_e=0 xa_disable=1 sysclk_mode_e=1 jitter_mode_e=0"},
      {{{0x009, 0x11}}, xa, "xa_mode_e=3 xa_disable=0 sysclk_mode_e=0 jitter_mode_e=0"},
      {{{0x009, 0x16}}, xa, "xa_mode_e=5 xa_disable=0 sysclk_mode_e=0 jitter_mode_e=0"},
      {{{0x009, 0x13}}, xa, "xa_mode_e=6 xa_disable=7 sysclk_mode_e=0 jitter_mode_e=0"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.want);
    Hal h;
    blank(h, {{0x031, 0x20}, {0x00B, 0x01}, {0x42C, 0x34}, {0x42D, 0x01}, {0x430, 0x11}, {0x431, 0x22}, {0x432, 0x33}});
    for (const auto &[a, v] : c.regs) put_reg(h.get(), a, v);
    set_fields(h.get(), std::string("kova_device_e=0 kova_device_rev_e=0 ") + c.preset);
    inverse_regs_to_fields(h.get());
    const bool error = std::string(c.want).starts_with("ERROR");
    EXPECT_EQ(inverse_detect_modes(h.get()), error ? 1 : 0);
    if (error) {
      EXPECT_TRUE(has_msg(drain(h.get()), c.want));
    } else {
      expect_fields(h.get(), c.want);
    }
  }
}

TEST(InverseDividers, PlanFromTheRegisterCodes) {
  // ENHS2; HSDIV2 code 9, HSDIV1 code 15; AFBBP 33: no fraction bits; OC1 MSDIV 6; NEGLSD,
  // LSDIV bit 24 and 3; IC1 HSDIV 4 and DIV 100; MON1 pre-divider 16; PFD count 999; DCO
  // feedback 10.
  Hal h;
  blank(h, {{0x100, 0x04}, {0x101, 0x9F}, {0x114, 0x21}, {0x200, 0x05}, {0x202, 0x21}, {0x203, 0x03}, {0x300, 0x02},
            {0x301, 0x63}, {0x310, 0xF0}, {0x410, 0xE7}, {0x411, 0x03}, {0x408, 0x09}});
  inverse_regs_to_fields(h.get());
  h->kova_mode_e = kova_mode_ja_e;
  inverse_divider_plan(h.get());
  expect_fields(h.get(), "vco_hsdiv1x2_u8=30 vco_hsdiv2x2_u8=18 apll_afbdiv_fbits_u8=0 oc1_msdiv_u8=6 "
                         "oc1_lsdiv_u32=16777220 oc1_neg_lsdiv_u32=16777220 oc2_neg_lsdiv_u32=1 ic1_hsdiv_u8=4 ic1_div_u32=100 ic1_mondiv_u8=16 pfd_div_u16=1000 "
      "dcofb_div_u32=10");
  // Outside JA the input DIVs are not part of the plan; a disabled HSDIV2 has no divider.
  h->kova_mode_e = kova_mode_syn_e;
  h->apllcr1_enhs2_u1 = 0;
  inverse_divider_plan(h.get());
  expect_fields(h.get(), "ic1_div_u32=0 vco_hsdiv2x2_u8=0");
}

// Without a known frequency each mode says so, after the steps before ran and before the
// frequencies; the XA route refuses external feedback.
TEST(InverseAnchors, MissingOrUnusableAnchorsFail) {
  for (int32_t mode : {kova_mode_syn_e, kova_mode_nco_e, kova_mode_ss_e, kova_mode_ja_e}) {
    SCOPED_TRACE(mode);
    Hal h;
    EXPECT_EQ(read_back(h, planned(mode, "oc1_freq_s=100000000"), "vco_freq_s=12345"), 1);
    EXPECT_TRUE(has_msg(drain(h.get()), mode == kova_mode_syn_e
        ? "ERROR: There is no input or output frequency available for inverse configuration function"
        : "ERROR: There is no input or output frequency available"));
    EXPECT_TRUE(h->kova_mode_e == mode && h->vco_freq_s.f == 12345u);
    if (mode == kova_mode_syn_e) continue;
    Hal x;
    EXPECT_EQ(read_back(x, planned(mode, "oc1_freq_s=100000000 icscr1_fbsel_u2=1"), "xa_freq_s=100000000"), 1);
    EXPECT_TRUE(has_msg(drain(x.get()), "ERROR: Can not inverse from XA frequency when in external feedback mode."));
  }
}

// Spread spectrum: a down spread of P and a centre spread (0) of P/2 program the same step;
// the output frequency tells them apart, the XA frequency cannot (it reads the low end of the
// spread as the output). SS count: 50 MHz DSP clock / 31.25 kHz / 4.
TEST(InverseAnchors, SpreadSpectrumDownSpreadNeedsAnOutput) {
  const auto img = planned(kova_mode_ss_e, "xa_freq_s=100000000 oc1_freq_s=100000000 ss_mode_e=1 ss_pctx10=8 ss_mod_hz=31250");
  Hal a, b;
  ASSERT_EQ(read_back(a, img, "oc1_freq_s=100000000"), 0);
  expect_fields(a.get(), "ss_mode_e=1 ss_pctx10=8 xa_freq_s=100000000 ss_cnt_u16=400 ss_mod_hz=31250");
  ASSERT_EQ(read_back(b, img, "xa_freq_s=100000000"), 0);
  expect_fields(b.get(), "ss_mode_e=0 ss_pctx10=4 oc1_freq_s=~99600000");
}

// A jitter-attenuation chip read from its XA: the frequencies are snapped to references
// (156.25 MHz as 625 MHz / 4).
TEST(InverseJa, FromXaTheFrequenciesAreSnappedToReferences) {
  Hal h;
  const auto img = planned(kova_mode_ja_e, "xa_freq_s=114285000 ic1_freq_s=19440000 ic2_freq_s=25000000 "
                                           "oc1_freq_s=156250000 dpll_bw_hz=100");
  ASSERT_EQ(read_back(h, img, "xa_freq_s=114285000"), 0);
  expect_fields(h.get(), "ic1_freq_s=~19440000 oc1_freq_s=625000000,1,4");
}

// Settings from the DPLL words on hand-set fields (DSP rate 1000 Hz: one sample is 1000 us):
// mode words outside their tables fail; without a frequency word or rate nothing is divided
// by zero.
TEST(InverseDpll, ModeWordsAndMissingWords) {
  Hal h;
  blank(h);
  set_fields(h.get(), "kova_mode_e=3 dpllcr1_mode_u4=6 pfd_freq_s=1000000 pfd_div_u16=1000 dfreqz1_freqz_u40=300000000000 "
                      "phlolset_ro_u8_0=0 hofdthr_ro_u32_0=0xFFFFFFFF fchlimthr_ro_u32_0=0x7FFFFFFF "
                      "pslimthr_ro_u32_10=0x7FFFFFFF fqhlimthr_ro_u32_0=0x80000000 dpllcr1_homode_u2=3");
  EXPECT_EQ(inverse_dpll_settings(h.get()), 1);
  EXPECT_TRUE(has_msg(drain(h.get()), "ERROR: Can not determine ho_mode_e - dpllcr1_homode = 3"));
  set_fields(h.get(), "dpllcr1_homode_u2=1 dpllcr1_mode_u4=0xB");
  EXPECT_EQ(inverse_dpll_settings(h.get()), 1);
  EXPECT_TRUE(has_msg(drain(h.get()), "ERROR: Can not determine dpll_mode_e - dpllcr1_mode = B"));
  set_fields(h.get(), "dpllcr1_mode_u4=6 prop_ro_u32_10=1000 int_ro_u32_12=0 hofdthr_ro_u32_0=5 dfreqz1_freqz_u40=0");
  ASSERT_EQ(inverse_dpll_settings(h.get()), 0);
  expect_fields(h.get(), "hofd_ppb_sec=0 dpll_bw_hz=0 dpll_df=0");
  set_fields(h.get(), "dfreqz1_freqz_u40=300000000000 pfd_div_u16=0");
  ASSERT_EQ(inverse_dpll_settings(h.get()), 0);
  expect_fields(h.get(), "dsp_rate_hz_u32=0 phlkto_ms=0 hofd_ppb_sec=0");
}

TEST(InverseMonitor, WorkedExamples) {
  // Input 1: SCEN 0. Input 2: a PPM monitor whose PPHT equals PPLT; PCD 250 and PPD 400:
  // 10^5 input cycles of 10 MHz per 10^6 reference cycles.
  Hal h;
  blank(h);
  set_fields(h.get(), "up_monclk_freq_s=100000000 mon1cr2_scen_u1=0 ic1_mon_divclk_freq_mhz_r=10 "
                      "ic1_mon_valtim_rate_hz_r=12.5 mon2cr2_scen_u1=1 mon2cr2_ppen_u1=1 mon2cr2_losss_u3=3 "
                      "mon2cr6_pcd_u8=249 mon2cr11_ppd_u10=399 mon2cr7_ppn_u25=0 mon2cr12_ppht_u9=101 mon2cr13_pplt_u9=101 "
                      "mon2cr4_scc_u18=14 ic2_mon_divclk_freq_mhz_r=10 ic2_mon_valtim_rate_hz_r=12.5");
  // Input 3: the same monitor with a reject count of 118 apart from the accept count of
  // 101, as 100 and 120 ppm program it.
  set_fields(h.get(), "mon3cr2_scen_u1=1 mon3cr2_ppen_u1=1 mon3cr6_pcd_u8=249 mon3cr11_ppd_u10=399 mon3cr7_ppn_u25=0 "
                      "mon3cr12_ppht_u9=118 mon3cr13_pplt_u9=101 mon3cr4_scc_u18=14 ic3_mon_divclk_freq_mhz_r=10 "
                      "ic3_mon_valtim_rate_hz_r=12.5");
  for (int n = 1; n <= 3; ++n) inverse_monitor_settings(h.get(), n);
  // ic2_mon_thr_ppm: 101 counts of 10^6 (the smaller side)
  expect_fields(h.get(), "ic1_mon_mode_e=1 ic1_mon_thr_ppm=1 ic2_mon_mode_e=2 ic2_mon_ppm_mode_e=1 "
      "ic2_mon_extlos_e=3 ic2_mon_thr_ppm=100 ic2_mon_thr2_ppm=0 ic3_mon_thr_ppm=100 ic3_mon_thr2_ppm=120");
}

TEST(InverseReconcile, KeptIntegerAndReferenceForms) {
  Hal h;
  blank(h);
  const fprec_s kept[7] = {{0, 1, 1}, {0, 1, 1}, {0, 1, 1}, {0, 1, 1}, {625000000, 1, 4}, {0, 1, 1}, {0, 1, 1}};
  // OC1 equal to the kept one, OC2 an integer, OC3 an OTN rate (on the first reference that
  // holds it exactly), IC1 held by no reference in 32 bits.
  set_fields(h.get(), "oc1_freq_s=156250000 oc2_freq_s=200000000,1,2 oc3_freq_s=622080000,255,948 ic1_freq_s=1,1,4294967291");
  inverse_reconcile(h.get(), kept, false);
  expect_fields(h.get(), "oc1_freq_s=625000000,1,4 oc2_freq_s=100000000 oc3_freq_s=625000000,66096,246875 "
                         "ic1_freq_s=1,1,4294967291");
  // Through rounded words: the nearest reference multiple, unless that moves a low frequency.
  set_fields(h.get(), "oc1_freq_s=156250001 oc2_freq_s=6271");
  inverse_reconcile(h.get(), kept, true);
  expect_fields(h.get(), "oc1_freq_s=625000000,1,4 oc2_freq_s=6271");
}

TEST(InverseChecks, ApllTestMarkAndSolverCheck) {
  // A synthesis chip: XA 50 MHz, outputs 156.25 and 100 MHz; its APLL test mark.
  const auto img = planned(kova_mode_syn_e, "xa_freq_s=50000000 oc1_freq_s=625000000,1,4 oc2_freq_s=100000000");
  auto marked = img;
  marked[0x125] ^= 0x01;
  Hal a;
  ASSERT_EQ(read_back(a, marked, "oc1_freq_s=156250000"), 0);
  EXPECT_EQ(a->auto_apll_disable, 1u);

  // 100 MHz from a 4 GHz VCO: the dividers the automatic solver chooses read back as its
  // choice; another split of the same total divider stays as read.
  const std::string setup = "xa_freq_s=50000000 oc1_freq_s=100000000";
  Hal automatic;
  const auto auto_img = planned(kova_mode_syn_e, setup, &automatic);
  const bool sixteen = automatic->vco_hsdiv1x2_u8 == 16;
  const auto manual_img = planned(kova_mode_syn_e, setup + " oc_solver_mode_e=1 oc1_lsdiv_u32=1 oc2_msdiv_u8=1 "
                                  "oc3_msdiv_u8=1 oc2_lsdiv_u32=1 oc3_lsdiv_u32=1 " +
                                  (sixteen ? "vco_hsdiv1x2_u8=20 oc1_msdiv_u8=4" : "vco_hsdiv1x2_u8=16 oc1_msdiv_u8=5"));
  for (const auto *image : {&auto_img, &manual_img}) {
    Hal b;
    ASSERT_EQ(read_back(b, *image, "oc1_freq_s=100000000"), 0);
    EXPECT_EQ(fprec_compare(b->xa_freq_s, {50000000, 1, 1}), 0);
    EXPECT_EQ(b->oc_solver_mode_e, image == &auto_img ? oc_solver_mode_auto_e : oc_solver_mode_manual_e);
  }

  // A configuration the calculation rejects fails the check with the calculation's error:
  // ten times the output puts the XA far out of range.
  Hal c;
  EXPECT_EQ(read_back(c, img, "oc1_freq_s=1562500000"), 1);
  const auto msgs = drain(c.get());
  ASSERT_FALSE(msgs.empty());
  EXPECT_NE(msgs.back().find("ERROR"), std::string::npos);
}

// Whatever a chip (or a damaged dump) holds, the read-back ends with a result and a message,
// never with a crash, an endless search or a frequency that is not a number.
TEST(InverseRobustness, RandomImagesEndWithAResult) {
  std::mt19937 rng(11);
  const uint8_t pllen[] = {0x01, 0x11, 0x11, 0x11, 0x10};
  const uint8_t dpllcr1[] = {0x01, 0x02, 0x04, 0x05, 0x06, 0x36, 0x03};
  for (int round = 0; round < 200; ++round) {
    Hal h;
    blank(h);
    for (uint32_t a = 0; a < 0x700; ++a)
      if (rng() % 3 == 0) put_reg(h.get(), a, rng() & 0xFF);
    for (auto [a, v] : {std::pair<uint32_t, uint32_t>{0x030, 0x19}, {0x031, 0x20}, {0x00B, pllen[rng() % 5]},
                        {0x40B, dpllcr1[rng() % 7]}})
      put_reg(h.get(), a, v);
    fprec_s *known[] = {&h->oc1_freq_s, &h->ic1_freq_s, &h->xa_freq_s};
    set_fprec_s(known[rng() % 3], 1000000 + rng() % 200000000, 1 + rng() % 7, 1 + rng() % 5);
    const int32_t rc = inverse_cfg(h.get());
    const auto msgs = drain(h.get());
    EXPECT_TRUE(rc == 0 || (rc == 1 && !msgs.empty())) << round;  // a failure says why
    for (const fprec_s &f : {h->vco_freq_s, h->oc1_freq_s, h->oc2_freq_s, h->oc3_freq_s, h->xa_freq_s, h->ic1_freq_s})
      EXPECT_TRUE(std::isfinite(fprec_s_2_double_mhz(f))) << round;
    EXPECT_TRUE(std::isfinite(h->ic1_mon_divclk_freq_mhz_r)) << round;
  }
}

}  // namespace
