// Any field values, however wrong: the register calculation ends, and every register field
// it writes stays within its width.
#include <random>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// Values that break arithmetic: zeros, ones, field limits, 32-bit extremes.
uint32_t nasty(std::mt19937 &rng) {
  static const uint32_t pool[] = {0, 1, 2, 3, 7, 8, 15, 16, 100, 127, 128, 255, 256, 1023, 1024, 65535, 1u << 20,
                                  1u << 25, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
  if (rng() % 3 == 0) return rng();
  return pool[rng() % (sizeof pool / sizeof pool[0])];
}

fprec_s nasty_freq(std::mt19937 &rng) {
  switch (rng() % 4) {
    case 0: return fp(0);
    case 1: return fp(nasty(rng), nasty(rng), nasty(rng));
    case 2: return fp(static_cast<uint32_t>(1000 + rng() % 300000000));
    default: return fp(static_cast<uint32_t>(1000000 + rng() % 200000000), 1 + rng() % 7, 1 + rng() % 7);
  }
}

struct width_s {
  const char *name;
  uint32_t *field;
  uint32_t width;
};

TEST(CalcHalRobust, AnyPlanEndsWithFieldsInTheirWidths) {
  std::mt19937 rng(20240611);
  for (int32_t mode : {kova_mode_syn_e, kova_mode_nco_e, kova_mode_ss_e, kova_mode_ja_e}) {
    for (int iter = 0; iter < 400; ++iter) {
      Hal hal;
      hal_api_s *h = hal.get();
      init_full(h, 40000, mode, xa_mode_xo_e, iter % 2);
      drain(h);
      // Plan and options: a mix of sane and broken values.
      for (fprec_s *f : {&h->xa_apll_freq_s, &h->ic1_freq_s, &h->ic2_freq_s, &h->ic3_freq_s, &h->oc1_freq_s,
                         &h->oc2_freq_s, &h->oc3_freq_s, &h->dco_pfdclk_freq_s, &h->dco_freq_s, &h->up_monclk_freq_s,
                         &h->hsdiv1_freq_s})
        *f = nasty_freq(rng);
      for (uint32_t *u : {&h->ic1_hsdiv_u8, &h->ic2_hsdiv_u8, &h->ic3_hsdiv_u8}) *u = 1u << (rng() % 4);
      for (uint32_t *u :
           {&h->ic1_div_u32, &h->ic2_div_u32, &h->ic3_div_u32, &h->oc1_msdiv_u8, &h->oc1_lsdiv_u32, &h->oc2_msdiv_u8,
            &h->oc2_lsdiv_u32, &h->oc3_msdiv_u8, &h->oc3_lsdiv_u32, &h->dcofb_div_u32, &h->pfd_div_u16, &h->ss_cnt_u16,
            &h->dsp_rate_hz_u32, &h->dpll_bw_hz, &h->dpll_df, &h->ss_pctx10, &h->oc1_pw_ns_u16, &h->oc2_pw_ns_u16,
            &h->oc3_pw_ns_u16, &h->oc1_align_nsx10_u16, &h->ic1_mon_thr_ppm, &h->ic1_mon_thr2_ppm,
            &h->ic2_mon_thr_ppm, &h->ic2_mon_thr2_ppm, &h->ic3_mon_thr_ppm, &h->ic1_mon_valwait_ms,
            &h->ic3_mon_valwait_ms, &h->phlkto_ms, &h->lkato_ms, &h->lolset_us, &h->lolclr_us, &h->hoavgto_us,
            &h->howaitto_us, &h->pfixavgto_us, &h->pslim_ns_sec, &h->hofd_ppb_sec, &h->fchlim_ppb_sec,
            &h->fqhlim_ppb, &h->lolthr_ns, &h->jitter_tol_ns_u16, &h->apll_afbdiv_fbits_u8, &h->apllcr1_aidiv_u2})
        *u = nasty(rng);
      for (uint32_t *u : {&h->oc1cr3_divsel_u1, &h->oc2cr3_divsel_u1, &h->oc3cr3_divsel_u1, &h->oc1cr3_lssel_u1,
                          &h->oc2cr3_lssel_u1, &h->oc3cr3_lssel_u1, &h->oc1_align_en, &h->oc2_align_en,
                          &h->oc3_align_en, &h->apllcr1_enhs2_u1, &h->apllcr1_byphs2_u1})
        *u = rng() % 2;
      static const uint32_t kX2[] = {8, 9, 10, 12, 15, 20, 24, 30};
      h->vco_hsdiv1x2_u8 = kX2[rng() % 8];
      h->vco_hsdiv2x2_u8 = kX2[rng() % 8];
      for (int32_t *e : {&h->ic1_mon_mode_e, &h->ic2_mon_mode_e, &h->ic3_mon_mode_e, &h->ic1_mon_ppm_mode_e,
                         &h->ic2_mon_ppm_mode_e, &h->ic3_mon_ppm_mode_e, &h->ic1_mon_extlos_e, &h->hitless_mode_e,
                         &h->ho_mode_e, &h->dpll_mode_e, &h->ss_mode_e})
        *e = static_cast<int32_t>(rng() % 6) - 1;
      h->xa_freq_off_ppb_i32 = static_cast<int32_t>(nasty(rng));
      h->man_phoff_ps = static_cast<int32_t>(nasty(rng));
      if (rng() % 4 == 0) h->ic_mondiv_max_u8 = nasty(rng);  // broken limits too
      if (rng() % 4 == 0) h->lkto_dsp_ratio_min_r = -1.0;

      calc_hal(h);
      drain(h);

      const width_s widths[] = {
          {"oc1cr1_msdiv_u7", &h->oc1cr1_msdiv_u7, 7},     {"oc2div1_lsdiv_u25", &h->oc2div1_lsdiv_u25, 25},
          {"oc3dc_ocdc_u8", &h->oc3dc_ocdc_u8, 8},         {"apllcr2_hsdiv1_u4", &h->apllcr2_hsdiv1_u4, 4},
          {"afbbp_afbbp_u8", &h->afbbp_afbbp_u8, 8},       {"dfbscl1_fbscale_u16", &h->dfbscl1_fbscale_u16, 16},
          {"dfbdiv1_fbdiv_u19", &h->dfbdiv1_fbdiv_u19, 19}, {"dpcnt1_pfdcnt_u14", &h->dpcnt1_pfdcnt_u14, 14},
          {"phlkto_phlkto_u6", &h->phlkto_phlkto_u6, 6},   {"lkato_lkatom_u2", &h->lkato_lkatom_u2, 2},
          {"dsscnt1_sscnt_u12", &h->dsscnt1_sscnt_u12, 12}, {"ic1cr2_div_u20", &h->ic1cr2_div_u20, 20},
          {"mon1cr1_mondiv_u4", &h->mon1cr1_mondiv_u4, 4}, {"mon2cr4_scc_u18", &h->mon2cr4_scc_u18, 18},
          {"mon3cr6_pcd_u8", &h->mon3cr6_pcd_u8, 8},       {"mon1cr7_pcn_u14", &h->mon1cr7_pcn_u14, 14},
          {"mon2cr11_ppd_u10", &h->mon2cr11_ppd_u10, 10},  {"mon3cr12_ppht_u9", &h->mon3cr12_ppht_u9, 9},
          {"mon1cr13_pplt_u9", &h->mon1cr13_pplt_u9, 9},   {"mon2cr9_pctm_u3", &h->mon2cr9_pctm_u3, 3},
          {"mon1cr1_valtime_u3", &h->mon1cr1_valtime_u3, 3}, {"phlolset_ro_u8_0", &h->phlolset_ro_u8_0, 8},
          {"phlolns_ro_u16_0", &h->phlolns_ro_u16_0, 16},  {"houiscale_ro_u16_36", &h->houiscale_ro_u16_36, 16},
          {"hoavgto_ro_u8_0", &h->hoavgto_ro_u8_0, 8},     {"dpllcr1_homode_u2", &h->dpllcr1_homode_u2, 2},
      };
      for (const auto &w : widths) ASSERT_LT(uint64_t{*w.field}, uint64_t{1} << w.width) << w.name << " mode " << mode;
      ASSERT_LT(h->afbdiv1_afbdiv_u42, uint64_t{1} << 42);
      ASSERT_LT(h->dfreqz1_freqz_u40, uint64_t{1} << 40);
      ASSERT_GE(h->oc1ph_phadj_i8, -128);
      ASSERT_LE(h->oc1ph_phadj_i8, 127);
      const int32_t sco = static_cast<int32_t>(h->sco_sco_i8);
      ASSERT_TRUE(sco >= -128 && sco <= 127) << sco;
    }
  }
}

}  // namespace
