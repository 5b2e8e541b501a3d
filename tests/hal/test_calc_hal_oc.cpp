// Output clock registers: divider codes, pulse width, phase alignment and its checks.
#include "hal/hal_obj.h"
#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// One output on HSDIV1 at 1 GHz, MSDIV 10 (100 MHz MSDIV output), LSDIV 4 (25 MHz).
struct OcRegs : ::testing::Test {
  Hal h;
  void SetUp() override {
    init_full(h.get(), 40000, kova_mode_syn_e, xa_mode_xo_e, 1);
    drain(h.get());
    for (int n = 1; n <= 3; ++n) set_output(n, 10, 4, true);
    set_fields(h.get(), "hsdiv1_freq_s=1000000000 hsdiv2_freq_s=500000000");
    h->oc1_align_en = h->oc2_align_en = h->oc3_align_en = 0;
  }
  // Sets an output's plan and the frequencies the clock tree derives from it (1 GHz HSDIV).
  void set_output(int n, uint32_t msdiv, uint32_t lsdiv, bool lssel) {
    const std::string oc = "oc" + std::to_string(n), ms = std::to_string(1000000000 / msdiv),
                      ls = std::to_string(1000000000 / msdiv / lsdiv);
    set_fields(h.get(), oc + "_msdiv_u8=" + std::to_string(msdiv) + " " + oc + "_lsdiv_u32=" + std::to_string(lsdiv) + " " +
                            oc + "cr3_lssel_u1=" + (lssel ? "1 " : "0 ") + oc + "_freq_s=" + (lssel ? ls : ms) + " " + oc +
                            "_msdiv_freq_s=" + ms + " " + oc + "_lsdiv_freq_s=" + (lsdiv > 1 ? ls : "0") + " ocen_" + oc +
                            "en_u1=1");
  }
  std::vector<std::string> run() {
    calc_oc_regs(h.get());
    return drain(h.get());
  }
};

TEST_F(OcRegs, DividerCodesAreDividerMinusOneWithinTheirWidths) {
  set_fields(h.get(), "oc1_msdiv_u8=128 oc2_msdiv_u8=129 oc3_msdiv_u8=0");
  h->oc1_lsdiv_u32 = 1u << 25;
  h->oc2_lsdiv_u32 = (1u << 25) + 1;
  h->oc3_lsdiv_u32 = 0;
  const auto m = run();
  expect_fields(h.get(), "oc1cr1_msdiv_u7=127 oc2cr1_msdiv_u7=127 oc3cr1_msdiv_u7=127 oc1div1_lsdiv_u25=33554431 "
                         "oc2div1_lsdiv_u25=33554431");
  for (const char *f : {"oc1cr1_msdiv_u7", "oc2cr1_msdiv_u7", "oc3cr1_msdiv_u7", "oc1div1_lsdiv_u25", "oc2div1_lsdiv_u25",
                        "oc3div1_lsdiv_u25"}) {
    EXPECT_EQ(has_msg(m, std::string("ERROR: real2reg ") + f + " overflow"), f[2] != '1') << f;
  }
}

TEST_F(OcRegs, PulseWidthCountsMsdivPeriods) {
  // 100 MHz MSDIV output: 10 ns per count.
  // oc2_pw_ns_u16: the whole LSDIV period of 4 counts: cut to 3
  // oc3_pw_ns_u16: 2.6 counts round to 3
  set_fields(h.get(), "oc1_pw_ns_u16=10 oc2_pw_ns_u16=40 oc3_pw_ns_u16=26");
  EXPECT_TRUE(run().empty());
  expect_fields(h.get(), "oc1dc_ocdc_u8=1 oc1_pw_ns_r=10 oc2dc_ocdc_u8=3 oc2_pw_ns_r=30 oc3dc_ocdc_u8=3 oc3_pw_ns_r=30");
  // The count fills all eight bits: 2 us at 10 ns under a 1000-count LSDIV period is 200.
  set_output(1, 10, 1000, true);
  h->oc1_pw_ns_u16 = 2000;
  EXPECT_TRUE(run().empty());
  EXPECT_EQ(h->oc1dc_ocdc_u8, 200u);
}

TEST_F(OcRegs, PulseWidthWithoutLsdivWarnsAndReportsHalfPeriod) {
  set_output(1, 10, 1, false);
  h->oc1_pw_ns_u16 = 10;
  set_output(2, 10, 4, true);
  h->oc2_pw_ns_u16 = 0;  // no request: half the LSDIV period
  set_output(3, 10, 1, false);
  // oc3_freq_s: output off
  set_fields(h.get(), "oc3_freq_s=0 oc3_pw_ns_u16=3");
  const auto m = run();
  EXPECT_EQ(m, std::vector<std::string>{"WARNING: IC1 pulse width setting not configured since lsdiv is not used"});
  expect_fields(h.get(), "oc1dc_ocdc_u8=0 oc1_pw_ns_r=5 oc2dc_ocdc_u8=0 oc2_pw_ns_r=20 oc3dc_ocdc_u8=0 oc3_pw_ns_r=0");
}

TEST_F(OcRegs, PhaseAdjustCountsHalfHsdivPeriodsUpToTheMsdivLimit) {
  h->oc1_align_en = h->oc2_align_en = h->oc3_align_en = 1;
  h->oc1_align_nsx10_u16 = 25;  // 2.5 ns on a 1 GHz HSDIV: 5 half periods
  set_output(2, 128, 4, true);  // MSDIV 128 allows no adjust
  h->oc2_align_nsx10_u16 = 25;
  set_output(3, 4, 4, true);  // MSDIV 4: at most (127 - 3) / 2 = 62 steps
  h->oc3_align_nsx10_u16 = 1000;
  h->oc1ph_phadj_i8 = h->oc2ph_phadj_i8 = h->oc3ph_phadj_i8 = 99;
  run();
  expect_fields(h.get(), "oc1cr1_phen_u1=1 oc1ph_phadj_i8=5 oc1_align_ns_r=2.5 oc2cr1_phen_u1=1 oc2ph_phadj_i8=0 "
                         "oc2_align_ns_r=0 oc3ph_phadj_i8=62 oc3_align_ns_r=31");

  set_output(1, 5, 1, false);  // m = 4 is even: (128 - 4) / 2 = 62
  // oc2cr3_divsel_u1: HSDIV2 at 500 MHz: 1 ns per step
  set_fields(h.get(), "oc1_align_nsx10_u16=2000 oc2cr3_divsel_u1=1");
  set_output(2, 10, 1, false);
  h->oc2_align_nsx10_u16 = 30;
  run();
  expect_fields(h.get(), "oc1ph_phadj_i8=62 oc2ph_phadj_i8=3 oc2_align_ns_r=3");
  // An HSDIV output is not aligned by the phase adjust: its phase fields stay.
  set_output(1, 1, 1, false);
  set_fields(h.get(), "oc1cr1_phen_u1=0 oc1ph_phadj_i8=-7 oc1_align_ns_r=9");
  run();
  expect_fields(h.get(), "oc1cr1_phen_u1=0 oc1ph_phadj_i8=-7 oc1_align_ns_r=0");
}

TEST_F(OcRegs, AlignmentControlBytesByRevision) {
  put_reg(h.get(), 0x01B, 0x55);
  put_reg(h.get(), 0x01C, 0x55);
  h->oc1_align_en = 1;  // revision 1: one aligned output is enough
  run();
  EXPECT_EQ(get_reg(h.get(), 0x01B), 0x00u);
  EXPECT_EQ(get_reg(h.get(), 0x01C), 0x10u);

  Hal r0;
  init_full(r0.get(), 40000, kova_mode_syn_e, xa_mode_xo_e, 0);
  // oc3_align_en: revision 0 wants all three
  set_fields(r0.get(), "hsdiv1_freq_s=1000000000 oc1_msdiv_u8=4 oc2_msdiv_u8=4 oc3_msdiv_u8=4 oc1_lsdiv_u32=1 "
                       "oc2_lsdiv_u32=1 oc3_lsdiv_u32=1 oc1_align_en=1 oc2_align_en=1 oc3_align_en=0");
  put_reg(r0.get(), 0x01C, 0x55);
  calc_oc_regs(r0.get());
  EXPECT_EQ(get_reg(r0.get(), 0x01C), 0x55u);
  r0->oc3_align_en = 1;
  calc_oc_regs(r0.get());
  EXPECT_EQ(get_reg(r0.get(), 0x01C), 0x10u);
}

TEST_F(OcRegs, AlignmentChecksOnLsdivOutputs) {
  h->oc1_align_en = h->oc2_align_en = 1;
  set_output(1, 4, 5, true);
  set_output(2, 8, 3, true);  // MSDIV 4 and 8 are related by 2: products may differ
  EXPECT_TRUE(run().empty());

  set_output(2, 6, 3, true);  // 4 and 6 are not, and 20 != 18
  EXPECT_EQ(run(), std::vector<std::string>{"WARNING: OO Align - LSDIV used on multiple outputs and MSDIV not 2^N "
                                            "and the MSDIV*LSDIV are not the same"});
  set_output(2, 5, 4, true);  // 20 == 20: the products agree
  h->oc2_align_nsx10_u16 = 10;
  EXPECT_EQ(run(), std::vector<std::string>{"WARNING: OO Align - LSDIV used on multiple outputs and phase align not the same"});
}

TEST_F(OcRegs, AlignmentChecksMixingKinds) {
  h->oc1_align_en = h->oc2_align_en = h->oc3_align_en = 1;
  set_output(1, 1, 1, false);  // class 1, with a phase request
  h->oc1_align_nsx10_u16 = 5;
  set_output(2, 4, 1, false);  // class 2
  set_output(3, 6, 2, true);   // class 3, MSDIV 6 vs 4 not 2^N
  h->oc3cr3_divsel_u1 = 1;
  const auto m = run();
  EXPECT_EQ(m, (std::vector<std::string>{
                   "WARNING: OO Align - Mixing different HSDIV selections",
                   "WARNING: OO Align - HSDIV output has non-zero phase align",
                   "WARNING: OO Align - Mixing HSDIV and non HSDIV outputs",
                   "WARNING: OO Align - Mixing LSDIV and MSDIV outputs and MSDIV is not 2^N multiples",
               }));
  // A disabled output takes no part; MSDIV 4 and 8 are related.
  h->oc3cr3_divsel_u1 = 0;
  set_output(3, 8, 2, true);
  h->ocen_oc1en_u1 = 0;
  EXPECT_TRUE(run().empty());
}

}  // namespace
