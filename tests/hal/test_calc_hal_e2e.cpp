// End to end from the user's configuration: the expert calculation chooses the plan, the
// register calculation turns it into register field values. The plan the expert chose is
// asserted first; the register values are worked out from that plan by hand.
#include "hal/hal_fields.h"
#include "test_calc_hal_configs.h"

namespace {
using namespace calc_test;

constexpr uint64_t kTwo33 = 1ull << 33;

TEST(EndToEnd, SynThreeOutputs) {
  Hal h;
  cfg_syn(h.get());
  EXPECT_FALSE(any_error(recalc(h.get())));
  // Plan: VCO 3750 MHz = 30 x 125 MHz; HSDIV1 6 (625 MHz), HSDIV2 5 (750 MHz).
  ASSERT_EQ(fprec_compare(h->vco_freq_s, fp(3750000000u)), 0);
  ASSERT_EQ(h->vco_hsdiv1x2_u8, 12u);
  ASSERT_EQ(h->vco_hsdiv2x2_u8, 10u);
  ASSERT_EQ(h->oc1_msdiv_u8, 2u);
  ASSERT_EQ(h->oc1_lsdiv_u32, 2u);
  ASSERT_EQ(h->oc2_msdiv_u8, 2u);
  ASSERT_EQ(h->oc2_lsdiv_u32, 3u);
  ASSERT_EQ(h->oc3_msdiv_u8, 2u);
  ASSERT_EQ(h->oc3_lsdiv_u32, 15u);
  ASSERT_EQ(h->oc3cr3_divsel_u1, 1u);

  EXPECT_EQ(h->mcr1_xab_u2, 2u);
  EXPECT_EQ(h->mcr1_mcsel_u1, 0u);
  EXPECT_EQ(h->pllen_dpllen_u1, 0u);
  EXPECT_EQ(h->pllen_apllen_u1, 1u);
  EXPECT_EQ(h->ocen_oc1en_u1 + h->ocen_oc2en_u1 + h->ocen_oc3en_u1, 3u);
  EXPECT_EQ(h->oc1cr1_msdiv_u7, 1u);
  EXPECT_EQ(h->oc1div1_lsdiv_u25, 1u);
  EXPECT_EQ(h->oc2div1_lsdiv_u25, 2u);
  EXPECT_EQ(h->oc3div1_lsdiv_u25, 14u);
  // 10 ns at the 375 MHz MSDIV output: round(3.75) = 4 periods.
  EXPECT_EQ(h->oc3dc_ocdc_u8, 4u);
  EXPECT_NEAR(h->oc3_pw_ns_r, 4 * 1000.0 / 375.0, 1e-9);
  EXPECT_EQ(h->apllcr2_hsdiv1_u4, 4u);
  EXPECT_EQ(h->apllcr2_hsdiv2_u4, 2u);
  EXPECT_EQ(h->apll_afbdiv_fbits_u8, 20u);
  EXPECT_EQ(h->afbbp_afbbp_u8, 13u);
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 30 * kTwo33);
  EXPECT_EQ(h->afbrem1_afbrem_u32, 0u);
  EXPECT_EQ(h->afbden1_afbden_u32, 1u);
  EXPECT_EQ(h->dco1_u8, 0x06u);  // integer feedback, APLL input >= 50 MHz
  EXPECT_EQ(h->plltcr11_u8, 0xC0u);
  EXPECT_EQ(h->dpllcr1_mode_u4, 0u);
  EXPECT_EQ(get_reg(h.get(), 0x631), 0x40u);
  EXPECT_EQ(get_reg(h.get(), 0x621), 0x08u);
}

TEST(EndToEnd, Nco) {
  Hal h;
  cfg_nco(h.get());
  EXPECT_FALSE(any_error(recalc(h.get())));
  // Plan: DCO 96.5 MHz, VCO 3900 MHz = 39 x 100 MHz, HSDIV1 6.5, MSDIV 2, LSDIV 3.
  ASSERT_EQ(fprec_compare(h->dco_freq_s, fp(96500000)), 0);
  ASSERT_EQ(fprec_compare(h->vco_freq_s, fp(3900000000u)), 0);
  ASSERT_EQ(h->vco_hsdiv1x2_u8, 13u);

  EXPECT_EQ(h->apllcr2_hsdiv1_u4, 5u);  // divide by 6.5
  EXPECT_EQ(h->apll_afbdiv_fbits_u8, 33u);
  // 3900 / 96.5 = 7800 / 193: every fraction bit, remainder 103 / 193.
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 347157978329ull);
  EXPECT_EQ(h->afbrem1_afbrem_u32, 103u);
  EXPECT_EQ(h->afbden1_afbden_u32, 193u);
  EXPECT_EQ(h->afbbp_afbbp_u8, 0u);
  // 2^33 x 3900 / 100, lowered by one for the remainder above one half.
  EXPECT_EQ(h->dfreqz1_freqz_u40, 39 * kTwo33 - 1);
  EXPECT_EQ(h->dco1_u8, 0x02u);  // the XO row
  EXPECT_EQ(h->plltcr9_u8, 0x00u);
  EXPECT_EQ(h->plltcr12_u8, 0x80u);
  EXPECT_EQ(h->dpllcr1_mode_u4, 1u);
  EXPECT_EQ(get_reg(h.get(), 0x631), 0x00u);
}

TEST(EndToEnd, SpreadSpectrumDown) {
  Hal h;
  cfg_ss(h.get());
  EXPECT_FALSE(any_error(recalc(h.get())));
  ASSERT_EQ(fprec_compare(h->vco_freq_s, fp(3900000000u)), 0);
  ASSERT_EQ(h->ss_cnt_u16, 417u);  // 50 MHz DSP clock / 30 kHz / 4
  ASSERT_EQ(h->ss_mode_e, ss_mode_down_e);
  ASSERT_EQ(h->ss_pctx10, 5u);

  // The feedback sits at the low end: 7800 / 193 x 1995 / 2000.
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 346290083383ull);
  EXPECT_EQ(h->afbrem1_afbrem_u32, 137u);
  EXPECT_EQ(h->afbden1_afbden_u32, 193u);
  EXPECT_EQ(h->dfreqz1_freqz_u40, 334169930464ull);  // 2^33 x 39 x 1995 / 2000
  EXPECT_EQ(h->dssdec1_decinc_u20, 2003417u);
  EXPECT_EQ(h->dsscnt1_sscnt_u12, 415u);
  EXPECT_EQ(h->dco1_u8, 0x01u);  // the SS row
  EXPECT_EQ(h->plltcr7_u8, 0xA8u);
  EXPECT_EQ(h->dpllcr1_mode_u4, 2u);
}

TEST(EndToEnd, JitterAttenuationTwoInputs) {
  Hal h;
  cfg_ja(h.get());
  EXPECT_FALSE(any_error(recalc(h.get())));
  // Plan: PFD 312.5 kHz = 10 MHz / 32 = 25 MHz / 80, DCO 354 x PFD = 110.625 MHz,
  // VCO 3750 MHz, DSP rate 312500 / 156 = 2003 Hz.
  ASSERT_EQ(fprec_compare(h->pfd_freq_s, fp(312500)), 0);
  ASSERT_EQ(h->ic1_div_u32, 32u);
  ASSERT_EQ(h->ic2_div_u32, 80u);
  ASSERT_EQ(h->dcofb_div_u32, 354u);
  ASSERT_EQ(fprec_compare(h->vco_freq_s, fp(3750000000u)), 0);
  ASSERT_EQ(h->pfd_div_u16, 156u);
  ASSERT_EQ(h->dsp_rate_hz_u32, 2003u);

  EXPECT_EQ(h->mcr1_mcsel_u1, 1u);
  EXPECT_EQ(h->ic1cr1_hsdiv_u2, 0u);
  EXPECT_EQ(h->ic1cr2_div_u20, 31u);
  EXPECT_EQ(h->ic2cr2_div_u20, 79u);
  EXPECT_EQ(h->ic3cr2_div_u20, 1048575u);  // unused input: the largest divider
  // 3750 / 110.625 = 2000 / 59.
  EXPECT_EQ(h->afbdiv1_afbdiv_u42, 291184223457ull);
  EXPECT_EQ(h->afbrem1_afbrem_u32, 37u);
  EXPECT_EQ(h->afbden1_afbden_u32, 59u);
  EXPECT_EQ(h->dfreqz1_freqz_u40, 281858990417ull);  // floor(2^33 x 3750 / 114.285) - 1
  EXPECT_EQ(h->dfbscl1_fbscale_u16, 999u);
  EXPECT_EQ(h->dfbdiv1_fbdiv_u19, 353u);
  EXPECT_EQ(h->dpcnt1_pfdcnt_u14, 155u);
  EXPECT_EQ(h->dpllcr1_mode_u4, 6u);
  // Lock timeouts with a 0.4993 ms tick.
  EXPECT_EQ(h->phlkto_phlktom_u2, 1u);
  EXPECT_EQ(h->phlkto_phlkto_u6, 13u);
  EXPECT_EQ(h->phlkto_ms, 103u);
  EXPECT_EQ(h->lkato_lkatom_u2, 2u);
  EXPECT_EQ(h->lkato_lkato_u6, 8u);
  EXPECT_EQ(h->lkato_ms, 1022u);
  // Loop words.
  EXPECT_EQ(h->pfdns_ro_u32_20, 58815u);
  EXPECT_EQ(h->prop_ro_u32_10, 75812340u);
  EXPECT_EQ(h->int_ro_u32_12, 397674u);
  EXPECT_EQ(h->pfdnscale_ro_u16_52, 15978u);
  EXPECT_EQ(h->phuins_ro_u32_10, 3276800u);
  EXPECT_EQ(h->houiscale_ro_u16_36, 12u);
  EXPECT_EQ(h->pslimthr_ro_u32_10, 3898u);
  EXPECT_EQ(h->fqhlimthr_ro_u32_0, 281858990u);
  EXPECT_EQ(h->hoavgto_ro_u8_0, 2u);
  EXPECT_EQ(h->hoavgto_us, 1997u);
  EXPECT_EQ(h->phlolset_ro_u8_0, 128u);
  // 2 samples at 2003 Hz are 998.5 us; 998 us would program one sample, so the time is
  // rounded up to keep code 128.
  EXPECT_EQ(h->lolset_us, 999u);
  // IC1: 10 MHz against 114.285 MHz, 250 x 350 cycles, a PPN offset of 50 eighths.
  EXPECT_EQ(h->mon1cr6_pcd_u8, 249u);
  EXPECT_EQ(h->mon1cr11_ppd_u10, 349u);
  EXPECT_EQ(h->mon1cr7_ppn_u25, 50u);
  EXPECT_EQ(h->mon1cr4_scc_u18, 16u);
  EXPECT_EQ(h->mon1cr13_pplt_u9, 101u);
  EXPECT_EQ(h->mon1cr12_ppht_u9, 118u);
  EXPECT_DOUBLE_EQ(h->ic1_mon_invalid_lat_ms_r, 140.0);
  // IC2: accur_lo, pre-divider 16, SCO 70 (the last counted monitor's).
  EXPECT_EQ(h->ic2_mondiv_u8, 16u);
  EXPECT_EQ(h->mon2cr1_mondiv_u4, 15u);
  EXPECT_EQ(h->mon2cr6_pcd_u8, 216u);
  EXPECT_EQ(h->mon2cr11_ppd_u10, 62u);
  EXPECT_EQ(h->mon2cr7_pcn_u14, 1984u);
  EXPECT_EQ(h->mon2cr8_pct_u8, 3u);
  EXPECT_EQ(h->mon2cr2_pcen_u1, 1u);
  EXPECT_EQ(h->sco_sco_i8, 70u);
  // IC3 unused: start values.
  EXPECT_EQ(h->mon3cr1_mondiv_u4, 15u);
  EXPECT_EQ(h->mon3cr1_valtime_u3, 1u);
}

TEST(EndToEnd, RecalculationIsStable) {
  // A second run over its own results gives the same fields: the user's times that are
  // rewritten to the programmed values (loss of lock, holdover) program the same codes again.
  for (auto cfg : {cfg_syn, cfg_nco, cfg_ss, cfg_ja}) {
    Hal h;
    cfg(h.get());
    recalc(h.get());
    hal_api_s first = h.h;
    recalc(h.get());
    recalc(h.get());
    if (h->kova_mode_e == kova_mode_ja_e) {
      EXPECT_EQ(h->lolset_us, 999u);
      EXPECT_EQ(h->phlolset_ro_u8_0, 128u);
    }
    first.hal_obj_p = h->hal_obj_p;
    for (size_t i = 0; i < hal_api_field_count; ++i) {
      const hal_field_s *f = &hal_api_fields[i];
      EXPECT_EQ(std::memcmp(hal_field_ptr(&first, f), hal_field_ptr(h.get(), f), f->size), 0)
          << f->name << " in mode " << h->kova_mode_e;
    }
  }
}

}  // namespace
