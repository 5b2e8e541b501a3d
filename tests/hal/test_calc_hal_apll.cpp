// APLL registers: HSDIV codes, the exact fractional feedback divider, its ratio, tuning.
#include <cmath>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

struct Apll : ::testing::Test {
  Hal h;
  calc_hal_work_s w{};
  void setup(int32_t mode, int32_t xa = xa_mode_xo_e) {
    init_full(h.get(), 40000, mode, xa);
    drain(h.get());
    h->vco_hsdiv1x2_u8 = 16;
    h->apllcr1_enhs2_u1 = 0;
    h->vco_freq_s = fp(4000000000u);
    h->apll_input_freq_s = fp(50000000);
  }
  bool run() { return calc_apll_regs(h.get(), &w); }
  uint32_t tuning(uint32_t address) {
    uint32_t *f[13] = {&h->dco1_u8,     &h->dco2_u8,     &h->dco3_u8,     &h->altpll1_u8,  &h->altpll2_u8,
                       &h->plltcr5_u8,  &h->plltcr6_u8,  &h->plltcr7_u8,  &h->plltcr8_u8,  &h->plltcr9_u8,
                       &h->plltcr10_u8, &h->plltcr11_u8, &h->plltcr12_u8};
    return *f[address - 0x120];
  }
};

TEST_F(Apll, HsdivCodesAreFifteenMinusTablePosition) {
  setup(kova_mode_syn_e);
  const struct { uint32_t x2, code; } cases[] = {{15, 7}, {30, 15}, {8, 0}, {16, 8}, {9, 1}, {24, 12}};
  for (const auto &c : cases) {
    h->vco_hsdiv1x2_u8 = c.x2;
    EXPECT_TRUE(run());
    EXPECT_EQ(h->apllcr2_hsdiv1_u4, c.code) << c.x2;
  }
  h->apllcr1_enhs2_u1 = 1;
  h->vco_hsdiv2x2_u8 = 11;  // divide by 5.5
  EXPECT_TRUE(run());
  EXPECT_EQ(h->apllcr2_hsdiv2_u4, 3u);
}

TEST_F(Apll, InvalidHsdivStopsOnlyWhenUsed) {
  setup(kova_mode_syn_e);
  h->vco_hsdiv2x2_u8 = 17;
  h->apllcr2_hsdiv2_u4 = 9;
  EXPECT_TRUE(run());  // HSDIV2 off: its value is not looked at
  EXPECT_EQ(h->apllcr2_hsdiv2_u4, 9u);
  drain(h.get());

  h->apllcr1_enhs2_u1 = 1;
  h->afbbp_afbbp_u8 = 77;
  EXPECT_FALSE(run());
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: vco_hsdiv2x2_u8 is not valid"});
  EXPECT_EQ(h->afbbp_afbbp_u8, 77u);  // nothing after the codes was computed

  h->vco_hsdiv1x2_u8 = 17;
  EXPECT_FALSE(run());
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: vco_hsdiv1x2_u8 is not valid"});
}

TEST_F(Apll, IntegerFeedbackSyn) {
  setup(kova_mode_syn_e);
  h->apll_afbdiv_fbits_u8 = 0;  // unset: the target, 20
  EXPECT_TRUE(run());
  EXPECT_TRUE(drain(h.get()).empty());
  EXPECT_EQ(h->apll_afbdiv_fbits_u8, 20u);
  EXPECT_EQ(h->afbbp_afbbp_u8, 13u);
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 80ull << 33);
  EXPECT_EQ(h->afbrem1_afbrem_u32, 0u);
  EXPECT_EQ(h->afbden1_afbden_u32, 1u);
  EXPECT_DOUBLE_EQ(w.apll_fbdiv_ratio, 80.0);
  EXPECT_EQ(h->apll_fbdiv_s.f, 80u);
  // SYN, integer feedback, APLL input >= 50 MHz.
  const uint32_t row[13] = {0x06, 0, 0, 0, 0, 0xC0, 0x40, 0x7F, 0x00, 0x04, 0xB3, 0xC0, 0x80};
  for (uint32_t a = 0; a < 13; ++a) EXPECT_EQ(tuning(0x120 + a), row[a]) << a;
  EXPECT_EQ(get_reg(h.get(), 0x631), 0x40u);
  EXPECT_EQ(get_reg(h.get(), 0x621), 0x08u);

  h->apll_input_freq_s = fp(40000000);  // 100: integer, below 50 MHz
  EXPECT_TRUE(run());
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 100ull << 33);
  EXPECT_EQ(tuning(0x126), 0x60u);
}

TEST_F(Apll, FractionalFeedbackKeepsTheExactRemainder) {
  setup(kova_mode_syn_e);
  h->vco_freq_s = fp(3856000000u);  // 80 + 1/3 times 48 MHz
  h->apll_input_freq_s = fp(48000000);
  h->apll_afbdiv_fbits_u8 = 20;
  EXPECT_TRUE(run());
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 84235605ull << 13);  // floor((80 + 1/3) x 2^20) x 2^13
  EXPECT_EQ(h->afbrem1_afbrem_u32, 1u);
  EXPECT_EQ(h->afbden1_afbden_u32, 3u);
  // The ratio as a double leaves the remainder out.
  EXPECT_NEAR(w.apll_fbdiv_ratio, 84235605.0 / 1048576.0, 1e-9);
  EXPECT_EQ(h->apll_fbdiv_s.f, 80u);
  EXPECT_EQ(h->apll_fbdiv_s.m, 1u << 30);
  // SYN, fractional, APLL input below 80 MHz.
  EXPECT_EQ(tuning(0x120), 0x02u);
  EXPECT_EQ(tuning(0x125), 0xC7u);
  EXPECT_EQ(tuning(0x12C), 0x40u);
  h->apll_input_freq_s = fp(96000000);  // fractional, 80 MHz or more
  h->vco_freq_s = fp(3880000000u);
  EXPECT_TRUE(run());
  EXPECT_EQ(tuning(0x12C), 0x80u);
}

TEST_F(Apll, FractionBitsBySynAndDcoModes) {
  setup(kova_mode_syn_e);
  h->apll_afbdiv_fbits_u8 = 40;  // too large: the maximum, which then means the target
  run();
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"WARN: apll_afbdiv_fbits too large, setting to max"});
  EXPECT_EQ(h->apll_afbdiv_fbits_u8, 20u);
  h->apll_afbdiv_fbits_u8 = 12;
  run();
  EXPECT_EQ(h->apll_afbdiv_fbits_u8, 12u);
  EXPECT_EQ(h->afbbp_afbbp_u8, 21u);

}

TEST_F(Apll, TruncatedDenominatorRetriesWithAllFractionBits) {
  setup(kova_mode_syn_e);
  // VCO / input = p / (3 x 2^52) with p odd: with 20 fraction bits the remainder's
  // denominator is 3 x 2^32 (34 bits); with 33 it is 3 x 2^19.
  h->vco_freq_s = fp(4000000001u);
  h->apll_input_freq_s = fp(3221225472u, 4194304, 268435457);
  h->apll_afbdiv_fbits_u8 = 20;
  EXPECT_TRUE(run());
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"Warning: Fbm > 32 bits - truncating to 32 bits"});
  EXPECT_EQ(h->apll_afbdiv_fbits_u8, 33u);
  EXPECT_EQ(h->afbbp_afbbp_u8, 0u);
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 682666669380ull);
  EXPECT_EQ(h->afbrem1_afbrem_u32, 731137u);
  EXPECT_EQ(h->afbden1_afbden_u32, 1572864u);
}

TEST_F(Apll, TruncationAtMaximumFractionBitsShiftsBoth) {
  setup(kova_mode_nco_e);
  // Reduced denominator 3 x 3221225473 = 9663676419 (34 bits): both shifted right by 2.
  h->apll_input_freq_s = fp(3221225473u, 3, 200);
  EXPECT_TRUE(run());
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"Warning: Fbm > 32 bits - truncating to 32 bits"});
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 711111110890ull);
  EXPECT_EQ(h->afbrem1_afbrem_u32, 3412897090u >> 2);
  EXPECT_EQ(h->afbden1_afbden_u32, 9663676419ull >> 2);
}

TEST_F(Apll, DownSpreadScalesTheRatio) {
  setup(kova_mode_ss_e, xa_mode_xo_e);
  h->ss_mode_e = ss_mode_down_e;
  h->ss_pctx10 = 5;  // x 1995 / 2000: 79.8 = 399 / 5
  EXPECT_TRUE(run());
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, (8589934592ull * 399 - 3) / 5);
  EXPECT_EQ(h->afbrem1_afbrem_u32, 3u);
  EXPECT_EQ(h->afbden1_afbden_u32, 5u);
  EXPECT_EQ(tuning(0x120), 0x01u);  // the SS row
  EXPECT_EQ(tuning(0x127), 0xA8u);
  EXPECT_EQ(get_reg(h.get(), 0x631), 0x00u);
  // Centre spread leaves the ratio alone.
  h->ss_mode_e = ss_mode_centre_e;
  EXPECT_TRUE(run());
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 80ull << 33);
}

TEST_F(Apll, TuningRowsOfTheDcoModes) {
  setup(kova_mode_nco_e, xa_mode_xo_dbl_e);
  run();
  EXPECT_EQ(tuning(0x129), 0x00u);
  EXPECT_EQ(tuning(0x12C), 0x40u);
  EXPECT_EQ(apll_tuning_value(h.get(), false, 0x12D), 0xFFFFFFFFu);
  EXPECT_EQ(apll_tuning_value(h.get(), false, 0x11F), 0xFFFFFFFFu);
  // A crystal or no XA in a DCO mode takes the XO row.
  h->xa_mode_e = xa_mode_disabled_e;
  EXPECT_EQ(apll_tuning_value(h.get(), true, 0x12C), 0x80u);
  h->xa_mode_e = xa_mode_xtal_e;
  EXPECT_EQ(apll_tuning_value(h.get(), true, 0x12C), 0x80u);
  h->kova_mode_e = kova_mode_ja_e;
  h->xa_mode_e = xa_mode_tcxo_e;
  EXPECT_EQ(apll_tuning_value(h.get(), true, 0x12C), 0x80u);
  EXPECT_EQ(apll_tuning_value(h.get(), true, 0x120), 0x02u);
  // Tuning left alone when disabled.
  h->auto_apll_disable = 1;
  h->dco1_u8 = 0x5A;
  run();
  EXPECT_EQ(h->dco1_u8, 0x5Au);
}

TEST_F(Apll, FeedbackOverflowSaturatesWithoutWrapping) {
  setup(kova_mode_syn_e);
  // 2^31 x 2^20 shifted by 13 bits is 2^64: a 64-bit shift would wrap to 0.
  h->vco_freq_s = fp(2147483648u);
  h->apll_input_freq_s = fp(1);
  h->apll_afbdiv_fbits_u8 = 20;
  run();
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg afbdiv1_afbdiv_u42 overflow"});
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, (1ull << 42) - 1);

  // No APLL input at all: an overflow, a valid remainder fraction, no crash.
  h->apll_input_freq_s = fp(0);
  run();
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg afbdiv1_afbdiv_u42 overflow"});
  EXPECT_EQ(h->afbden1_afbden_u32, 1u);
  EXPECT_EQ(h->afbrem1_afbrem_u32, 0u);
}

TEST_F(Apll, TermsBeyond128BitsOverflow) {
  setup(kova_mode_nco_e);
  // 2^33 x (4e9 x 4e9) x 4e9 needs 129 bits.
  h->vco_freq_s = fp(4000000000u, 4000000000u, 1);
  h->apll_input_freq_s = fp(50000000, 1, 4000000000u);
  run();
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: int2reg afbdiv1_afbdiv_u42 overflow"});
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, (1ull << 42) - 1);
}

TEST_F(Apll, RatioBelowOneStillDescribesTheFeedback) {
  setup(kova_mode_syn_e);
  h->vco_freq_s = fp(25000000);
  h->apll_input_freq_s = fp(100000000);
  h->apll_afbdiv_fbits_u8 = 20;
  run();
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 1ull << 31);  // 0.25 x 2^33
  EXPECT_DOUBLE_EQ(w.apll_fbdiv_ratio, 0.25);
}

}  // namespace
