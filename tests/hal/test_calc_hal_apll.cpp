// APLL registers: HSDIV codes, the exact fractional feedback divider, its ratio, tuning.
#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// Device 40000 in the mode, HSDIV1 8 (HSDIV2 off), VCO 4 GHz from a 50 MHz APLL input; then
// the case's own settings.
std::vector<std::string> run_apll(Hal &h, int32_t mode, const std::string &set, calc_hal_work_s *w,
                                  int32_t xa = xa_mode_xo_e, bool *ok = nullptr) {
  init_full(h.get(), 40000, mode, xa);
  drain(h.get());
  set_fields(h.get(), "vco_hsdiv1x2_u8=16 apllcr1_enhs2_u1=0 vco_freq_s=4000000000 apll_input_freq_s=50000000 " + set);
  const bool r = calc_apll_regs(h.get(), w);
  if (ok) *ok = r;
  return drain(h.get());
}

TEST(Apll, FeedbackDividerHsdivCodesAndTuning) {
  const struct { int32_t mode; const char *set, *want; double ratio; const char *msg; } cases[] = {
      // HSDIV codes are 15 minus the divider's place in the table of x2 values.
      {kova_mode_syn_e, "vco_hsdiv1x2_u8=15 apllcr1_enhs2_u1=1 vco_hsdiv2x2_u8=30", "apllcr2_hsdiv1_u4=7 apllcr2_hsdiv2_u4=15", 0, nullptr},
      {kova_mode_syn_e, "vco_hsdiv1x2_u8=8 apllcr1_enhs2_u1=1 vco_hsdiv2x2_u8=9", "apllcr2_hsdiv1_u4=0 apllcr2_hsdiv2_u4=1", 0, nullptr},
      {kova_mode_syn_e, "vco_hsdiv1x2_u8=24 apllcr1_enhs2_u1=1 vco_hsdiv2x2_u8=11", "apllcr2_hsdiv1_u4=12 apllcr2_hsdiv2_u4=3", 0, nullptr},
      // HSDIV2 off: its value is not looked at.
      {kova_mode_syn_e, "vco_hsdiv2x2_u8=17 apllcr2_hsdiv2_u4=9", "apllcr2_hsdiv2_u4=9", 0, nullptr},
      // Integer feedback in SYN, unset fraction bits take the target 20; input >= 50 MHz row.
      {kova_mode_syn_e, "apll_afbdiv_fbits_u8=0",
       "apll_afbdiv_fbits_u8=20 afbbp_afbbp_u8=13 afbdiv1_afbdiv_u42=687194767360 afbrem1_afbrem_u32=0 "
       "afbden1_afbden_u32=1 apll_fbdiv_s=80,1073741824,1073741824 dco1_u8=6 dco2_u8=0 dco3_u8=0 altpll1_u8=0 altpll2_u8=0 plltcr5_u8=0xC0 plltcr6_u8=0x40 "
       "plltcr7_u8=0x7F plltcr8_u8=0 plltcr9_u8=4 plltcr10_u8=0xB3 plltcr11_u8=0xC0 plltcr12_u8=0x80",
       80.0, nullptr},
      {kova_mode_syn_e, "apll_input_freq_s=40000000", "afbdiv1_afbdiv_u42=858993459200 plltcr6_u8=0x60", 0, nullptr},
      // 80 + 1/3 times 48 MHz: floor((80 + 1/3) x 2^20) x 2^13 and the exact remainder; the
      // ratio as a double leaves the remainder out. Fractional below 80 MHz, then above.
      {kova_mode_syn_e, "vco_freq_s=3856000000 apll_input_freq_s=48000000 apll_afbdiv_fbits_u8=20",
       "afbdiv1_afbdiv_u42=690058076160 afbrem1_afbrem_u32=1 afbden1_afbden_u32=3 "
       "dco1_u8=2 plltcr5_u8=0xC7 plltcr12_u8=0x40", 84235605.0 / 1048576.0, nullptr},
      {kova_mode_syn_e, "vco_freq_s=3880000000 apll_input_freq_s=96000000",
       "dco1_u8=2 dco2_u8=0 dco3_u8=0 altpll1_u8=0 altpll2_u8=0 plltcr5_u8=0xC7 plltcr6_u8=0x40 plltcr7_u8=0x5F "
       "plltcr8_u8=0 plltcr9_u8=4 plltcr10_u8=0xB3 plltcr11_u8=0x80 plltcr12_u8=0x80", 0, nullptr},
      // Too many fraction bits: the maximum, which then means the target.
      {kova_mode_syn_e, "apll_afbdiv_fbits_u8=40", "apll_afbdiv_fbits_u8=20", 0,
       "WARN: apll_afbdiv_fbits too large, setting to max"},
      {kova_mode_syn_e, "apll_afbdiv_fbits_u8=12", "apll_afbdiv_fbits_u8=12 afbbp_afbbp_u8=21", 0, nullptr},
      // VCO / input = p / (3 x 2^52), p odd: with 20 fraction bits the remainder's
      // denominator is 3 x 2^32 (34 bits), so all 33 are taken, leaving 3 x 2^19.
      {kova_mode_syn_e, "vco_freq_s=4000000001 apll_input_freq_s=3221225472,4194304,268435457 apll_afbdiv_fbits_u8=20",
       "apll_afbdiv_fbits_u8=33 afbbp_afbbp_u8=0 afbdiv1_afbdiv_u42=682666669380 afbrem1_afbrem_u32=731137 "
       "afbden1_afbden_u32=1572864", 0, "Warning: Fbm > 32 bits - truncating to 32 bits"},
      // At the maximum already: the reduced 34-bit denominator and the remainder shift by 2.
      {kova_mode_nco_e, "apll_input_freq_s=3221225473,3,200",
       "afbdiv1_afbdiv_u42=711111110890 afbrem1_afbrem_u32=853224272 afbden1_afbden_u32=2415919104", 0,
       "Warning: Fbm > 32 bits - truncating to 32 bits"},
      // Down spread x 1995 / 2000: 79.8 = 399 / 5; the SS row. Centre spread keeps 80.
      {kova_mode_ss_e, "ss_mode_e=1 ss_pctx10=5",
       "afbdiv1_afbdiv_u42=685476780441 afbrem1_afbrem_u32=3 afbden1_afbden_u32=5 dco1_u8=1 plltcr7_u8=0xA8", 0,
       nullptr},
      {kova_mode_ss_e, "ss_mode_e=0 ss_pctx10=5", "afbdiv1_afbdiv_u42=687194767360", 0, nullptr},
      // 2^31 x 2^20 shifted by 13 bits is 2^64: saturated, not wrapped to 0.
      {kova_mode_syn_e, "vco_freq_s=2147483648 apll_input_freq_s=1 apll_afbdiv_fbits_u8=20",
       "afbdiv1_afbdiv_u42=4398046511103", 0, "ERROR: int2reg afbdiv1_afbdiv_u42 overflow"},
      {kova_mode_syn_e, "apll_input_freq_s=0", "afbden1_afbden_u32=1 afbrem1_afbrem_u32=0", 0,
       "ERROR: int2reg afbdiv1_afbdiv_u42 overflow"},
      // 2^33 x (4e9 x 4e9) x 4e9 needs 129 bits.
      {kova_mode_nco_e, "vco_freq_s=4000000000,4000000000,1 apll_input_freq_s=50000000,1,4000000000",
       "afbdiv1_afbdiv_u42=4398046511103", 0, "ERROR: int2reg afbdiv1_afbdiv_u42 overflow"},
      // A ratio below one still describes the feedback: 0.25 x 2^33.
      {kova_mode_syn_e, "vco_freq_s=25000000 apll_input_freq_s=100000000 apll_afbdiv_fbits_u8=20",
       "afbdiv1_afbdiv_u42=2147483648", 0.25, nullptr},
      // DCO modes: the XO-doubler row; tuning left alone when disabled.
      {kova_mode_nco_e, "", "plltcr9_u8=0 plltcr12_u8=0x40", 0, nullptr},
      {kova_mode_nco_e, "auto_apll_disable=1 dco1_u8=0x5A", "dco1_u8=0x5A", 0, nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.set);
    Hal h;
    calc_hal_work_s w{};
    const auto msgs = run_apll(h, c.mode, c.set, &w, c.set[0] == 0 && c.mode == kova_mode_nco_e ? xa_mode_xo_dbl_e : xa_mode_xo_e);
    expect_fields(h.get(), c.want);
    if (c.ratio != 0) {
      EXPECT_NEAR(w.apll_fbdiv_ratio, c.ratio, 1e-9);
    }
    if (c.msg) {
      EXPECT_EQ(msgs, std::vector<std::string>{c.msg});
    } else {
      EXPECT_TRUE(msgs.empty()) << msgs[0];
    }
  }
}

TEST(Apll, InvalidHsdivStopsOnlyWhenUsedAndRowsByXaMode) {
  Hal h;
  calc_hal_work_s w{};
  bool ok = true;
  EXPECT_EQ(run_apll(h, kova_mode_syn_e, "apllcr1_enhs2_u1=1 vco_hsdiv2x2_u8=17 afbbp_afbbp_u8=77", &w, xa_mode_xo_e, &ok),
            std::vector<std::string>{"ERROR: vco_hsdiv2x2_u8 is not valid"});
  EXPECT_FALSE(ok);
  EXPECT_EQ(h->afbbp_afbbp_u8, 77u);  // nothing after the codes was computed
  EXPECT_EQ(run_apll(h, kova_mode_syn_e, "vco_hsdiv1x2_u8=17", &w, xa_mode_xo_e, &ok),
            std::vector<std::string>{"ERROR: vco_hsdiv1x2_u8 is not valid"});
  EXPECT_FALSE(ok);
  run_apll(h, kova_mode_syn_e, "", &w);
  EXPECT_EQ(get_reg(h.get(), 0x631), 0x40u);  // SYN
  EXPECT_EQ(get_reg(h.get(), 0x621), 0x08u);
  // The fractional feedback as an exact record: 80 x n / 2^30.
  run_apll(h, kova_mode_syn_e, "vco_freq_s=3856000000 apll_input_freq_s=48000000 apll_afbdiv_fbits_u8=20", &w);
  EXPECT_EQ(h->apll_fbdiv_s.f, 80u);
  EXPECT_EQ(h->apll_fbdiv_s.m, 1u << 30);
  run_apll(h, kova_mode_ss_e, "", &w);
  EXPECT_EQ(get_reg(h.get(), 0x631), 0x00u);
  // Outside the table; a crystal or no XA in a DCO mode takes the XO row, as does a TCXO.
  EXPECT_EQ(apll_tuning_value(h.get(), false, 0x12D), 0xFFFFFFFFu);
  EXPECT_EQ(apll_tuning_value(h.get(), false, 0x11F), 0xFFFFFFFFu);
  h->kova_mode_e = kova_mode_nco_e;
  for (int32_t xa : {xa_mode_disabled_e, xa_mode_xtal_e}) {
    h->xa_mode_e = xa;
    EXPECT_EQ(apll_tuning_value(h.get(), true, 0x12C), 0x80u) << xa;
  }
  h->kova_mode_e = kova_mode_ja_e;
  h->xa_mode_e = xa_mode_tcxo_e;
  EXPECT_EQ(apll_tuning_value(h.get(), true, 0x12C), 0x80u);
  EXPECT_EQ(apll_tuning_value(h.get(), true, 0x120), 0x02u);
}

}  // namespace
