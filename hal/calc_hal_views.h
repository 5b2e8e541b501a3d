// Per-block views of hal_api_s for the register calculation: the fields of output N or of
// input N gathered as pointers, so that one piece of code serves all three blocks.
#pragma once
#include <cstdint>
#include "hal/hal_api.h"

struct calc_oc_view_s {
  int n;  // 1, 2 or 3
  fprec_s *freq;
  uint32_t *pw_ns;
  uint32_t *divsel, *lssel, *neglsd, *msdiv, *lsdiv;
  uint32_t *align_en, *align_nsx10;
  uint32_t *ocen;
  uint32_t *msdiv_code, *lsdiv_code, *ocdc, *phen;
  int32_t *phadj;
  fprec_s *msdiv_freq, *lsdiv_freq, *n_freq;
  double *pw_ns_r, *align_ns_r;
};

struct calc_ic_view_s {
  int n;  // 1, 2 or 3
  fprec_s *freq, *hsdiv_freq;
  uint32_t *hsdiv, *div, *hsdiv_code, *div_code;
  // user settings of the monitor
  int32_t *mon_mode, *ppm_mode, *extlos;
  uint32_t *thr, *thr2, *valwait;
  // monitor register fields
  uint32_t *mondiv_code, *valtime, *scen, *pcen, *ppen, *losss, *scgap, *scc, *pcd, *pcn, *pct,
      *pctm, *ppn, *jtrtol, *ppd, *ppht, *pplt;
  // achieved values
  uint32_t *mondiv;
  double *divclk, *valtim_rate, *invalid_thr, *invalid_lat, *valid_lat, *hyst, *fast_invalid_thr,
      *fast_invalid_lat;
};

#define KOVA_OC_VIEW(N)                                                                       \
  calc_oc_view_s {                                                                            \
    N, &h->oc##N##_freq_s, &h->oc##N##_pw_ns_u16, &h->oc##N##cr3_divsel_u1,                  \
        &h->oc##N##cr3_lssel_u1, &h->oc##N##cr3_neglsd_u1, &h->oc##N##_msdiv_u8,             \
        &h->oc##N##_lsdiv_u32, &h->oc##N##_align_en, &h->oc##N##_align_nsx10_u16,            \
        &h->ocen_oc##N##en_u1, &h->oc##N##cr1_msdiv_u7, &h->oc##N##div1_lsdiv_u25,           \
        &h->oc##N##dc_ocdc_u8, &h->oc##N##cr1_phen_u1, &h->oc##N##ph_phadj_i8,               \
        &h->oc##N##_msdiv_freq_s, &h->oc##N##_lsdiv_freq_s, &h->oc##N##n_freq_s,             \
        &h->oc##N##_pw_ns_r, &h->oc##N##_align_ns_r                                          \
  }

inline calc_oc_view_s calc_oc_view(hal_api_s *h, int n) {
  switch (n) {
    case 1: return KOVA_OC_VIEW(1);
    case 2: return KOVA_OC_VIEW(2);
    default: return KOVA_OC_VIEW(3);
  }
}
#undef KOVA_OC_VIEW

#define KOVA_IC_VIEW(N)                                                                          \
  calc_ic_view_s {                                                                               \
    N, &h->ic##N##_freq_s, &h->ic##N##_hsdiv_freq_s, &h->ic##N##_hsdiv_u8, &h->ic##N##_div_u32, \
        &h->ic##N##cr1_hsdiv_u2, &h->ic##N##cr2_div_u20, &h->ic##N##_mon_mode_e,                 \
        &h->ic##N##_mon_ppm_mode_e, &h->ic##N##_mon_extlos_e, &h->ic##N##_mon_thr_ppm,           \
        &h->ic##N##_mon_thr2_ppm, &h->ic##N##_mon_valwait_ms, &h->mon##N##cr1_mondiv_u4,         \
        &h->mon##N##cr1_valtime_u3, &h->mon##N##cr2_scen_u1, &h->mon##N##cr2_pcen_u1,            \
        &h->mon##N##cr2_ppen_u1, &h->mon##N##cr2_losss_u3, &h->mon##N##cr3_scgap_u1,             \
        &h->mon##N##cr4_scc_u18, &h->mon##N##cr6_pcd_u8, &h->mon##N##cr7_pcn_u14,                \
        &h->mon##N##cr8_pct_u8, &h->mon##N##cr9_pctm_u3, &h->mon##N##cr7_ppn_u25,                \
        &h->mon##N##cr10_jtrtol_u1, &h->mon##N##cr11_ppd_u10, &h->mon##N##cr12_ppht_u9,          \
        &h->mon##N##cr13_pplt_u9, &h->ic##N##_mondiv_u8, &h->ic##N##_mon_divclk_freq_mhz_r,      \
        &h->ic##N##_mon_valtim_rate_hz_r, &h->ic##N##_mon_invalid_thr_ppm_r,                     \
        &h->ic##N##_mon_invalid_lat_ms_r, &h->ic##N##_mon_valid_lat_ms_r,                        \
        &h->ic##N##_mon_hyst_ppm_r, &h->ic##N##_mon_fast_invalid_thr_ppm_r,                      \
        &h->ic##N##_mon_fast_invalid_lat_ms_r                                                    \
  }

inline calc_ic_view_s calc_ic_view(hal_api_s *h, int n) {
  switch (n) {
    case 1: return KOVA_IC_VIEW(1);
    case 2: return KOVA_IC_VIEW(2);
    default: return KOVA_IC_VIEW(3);
  }
}
#undef KOVA_IC_VIEW
