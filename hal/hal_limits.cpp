// Calculation limits by device, operating mode, system clock and XA mode.
#include "hal/hal_api.h"

namespace {

struct device_limits_s {
  int32_t device;
  double ic_diff_max, oc_cml_max;
  bool dpll;  // devices without a DPLL leave the DPLL and monitor limits as they are
  uint32_t bw_min, bw_max, df_min, df_max;
  double mon_min_ppm, mon_min_diff_ppm;
};

constexpr device_limits_s kDeviceLimits[] = {
    {kova_device_40000_e, 1250, 1035, true, 1, 500, 1, 10, 1.0, 3.0},
    {kova_device_40075_e, 650, 650, true, 1, 500, 1, 10, 1.0, 3.0},
    {kova_device_40089_e, 1250, 1035, true, 14, 500, 1, 10, 1.0, 3.0},
    {kova_device_40110_e, 1250, 1035, false, 0, 0, 0, 0, 0, 0},
    {kova_device_40111_e, 1250, 1035, false, 0, 0, 0, 0, 0, 0},
    {kova_device_40112_e, 1250, 1035, true, 14, 500, 1, 2, 10000, 0.0},
    {kova_device_40113_e, 1250, 1035, true, 14, 500, 1, 2, 10000, 0.0},
};

// Device code in the upper nibble of ID2.
uint32_t id2_device_code(int32_t device) {
  switch (device) {
    case kova_device_40000_e: return 0xF;
    case kova_device_40075_e: return 0x5;
    case kova_device_40089_e: return 0x7;
    case kova_device_40110_e: return 0x0;
    case kova_device_40111_e: return 0x1;
    case kova_device_40112_e: return 0x2;
    default: return 0x3;  // 40113
  }
}

struct xa_range_s {
  double min, max;
};

// XA range for the XA source groups: XO/TCXO, XTAL, XTAL DBL, doubled XO/TCXO.
// A zero range marks a combination that is not allowed.
struct xa_row_s {
  xa_range_s osc, xtal, xtal_dbl, osc_dbl;
};

constexpr xa_row_s kXaSynRo = {{9.72, 156.25}, {25, 60}, {25, 60}, {4.86, 78.125}};
constexpr xa_row_s kXaSynXa = {{80, 130}, {0, 0}, {40, 60}, {40, 65}};
constexpr xa_row_s kXaNco = {{80, 130}, {0, 0}, {40, 60}, {40, 65}};
constexpr xa_row_s kXaSs = {{80, 130}, {0, 0}, {55, 60}, {40, 65}};
constexpr xa_row_s kXaJa = {{98, 130}, {0, 0}, {40, 60}, {49, 65}};

}  // namespace

void init_api_limits(hal_api_s *h) {
  const int32_t mode = h->kova_mode_e;

  for (const auto &d : kDeviceLimits) {
    if (d.device != h->kova_device_e) continue;
    h->ic_diff_max_freq_mhz_r = d.ic_diff_max;
    h->oc_cml_max_freq_mhz_r = d.oc_cml_max;
    if (d.dpll) {
      h->dpll_bw_hz_min = d.bw_min;
      h->dpll_bw_hz_max = d.bw_max;
      h->dpll_df_min = d.df_min;
      h->dpll_df_max = d.df_max;
      h->ic_mon_min_ppm_r = d.mon_min_ppm;
      h->ic_mon_min_diff_ppm_r = d.mon_min_diff_ppm;
    }
  }

  h->ic_sngl_max_freq_mhz_r = 300;
  h->up_monclk_min_freq_mhz_r = 80;
  h->up_monclk_max_freq_mhz_r = 130;
  h->apll_input_min_freq_mhz_r = 9.72;
  h->apll_input_max_freq_mhz_r = 156.25;
  h->vco_clk_min_mhz_r = 3715;
  h->vco_clk_max_mhz_r = 4180;
  h->oc_msdiv_max_freq_mhz_r = 850;
  h->oc_lsdiv_max_freq_mhz_r = 425;
  h->oc_cmos_max_freq_mhz_r = 250;
  h->oc_min_freq_mhz_r = 0.000001;
  h->oc_msdiv_min_u8 = 1;
  h->oc_msdiv_max_u8 = 128;
  h->oc_lsdiv_min_u32 = 1;
  h->oc_lsdiv_max_u32 = 33554432;
  h->appl_fbdiv_fbits_max_u8 = 33;
  h->appl_fbdiv_fbits_trgt_u8 = 20;
  h->dco_clk_offset_min_mhz_r = 3.5;
  h->dco_clk_frac_min_r = 0.5;
  h->apll_test_build_disable = 0;
  h->ocdiv_solution_msgs_max = 10;

  h->appl_fbdiv_max_r = mode == kova_mode_syn_e ? 511.9999 : 127.9999;
  if (mode == kova_mode_syn_e) {
    h->ic_min_freq_mhz_r = h->ic_hsdiv_min_freq_mhz_r = 9.72;
    h->ic_hsdiv_max_freq_mhz_r = 156.25;
  } else if (mode == kova_mode_ja_e) {
    h->ic_min_freq_mhz_r = h->ic_hsdiv_min_freq_mhz_r = 0.001;
    h->ic_hsdiv_max_freq_mhz_r = 250;
  }

  if (mode == kova_mode_ja_e) {
    h->xa_ja100_min_freq_mhz_r = 98;
    h->xa_ja100_max_freq_mhz_r = 104;
    h->xa_ja114_min_freq_mhz_r = 110;
    h->xa_ja114_max_freq_mhz_r = 115;
    h->xa_ja125_min_freq_mhz_r = 124;
    h->xa_ja125_max_freq_mhz_r = 130;
    h->pfd_min_freq_mhz_r = 0.001;
    h->pfd_max_freq_mhz_r = 1.0;
    h->pfd_max_freq_BW_ratio_r = 10000;
    h->pfddiv_min_trgt_u32 = 100;
    h->pfddiv_max_u32 = 16384;
    h->ic_div_max_u32 = 1048576;
    h->dcofbdiv_max_u32 = 524288;
    h->ic_mon_max_freq_mhz_r = 15.625;
    h->ic_mon_ppm_mon_max_r = 500;
    h->ic_mondiv_max_u8 = 16;
    h->ic_mon_ppm_accur_lo_min_mhz_r = 1.0;
    h->ic_mon_ppm_accur_lo_fast_thr_ppm_r = 0.0;
    h->phlol_jtrtol_scale_r = 0.6;
    h->pfd_jtrtol_scale_r = 1.2;
    h->dsp_min_rate_khz_r = 0.05;
    h->dsp_max_rate_khz_r = 12;
    h->dsp_bw_mpy_trgt_r = 40;
    h->dsp_bw_mpy_min_r = 20;
    h->lkto_dsp_ratio_min_r = 8;
    h->dpll_bw_warp_A_r = 0.989689;
    h->dpll_bw_warp_k_r = -0.339448;
    h->dpll_bw_warp_C_r = 0.019826;
  } else if (mode == kova_mode_ss_e) {
    if (h->xa_mode_e == xa_mode_xtal_dbl_e) {
      h->ss_mod_khz_min = 25;
      h->ss_mod_khz_max = 35;
      h->ss_mod_pct_min = 0;
      h->ss_mod_pct_max = 0.5;
    } else if (h->xa_mode_e == xa_mode_xo_e || h->xa_mode_e == xa_mode_tcxo_e ||
               h->xa_mode_e == xa_mode_xo_dbl_e || h->xa_mode_e == xa_mode_tcxo_dbl_e) {
      h->ss_mod_khz_min = 25;
      h->ss_mod_khz_max = 55;
      h->ss_mod_pct_min = 0;
      h->ss_mod_pct_max = 1.0;
    }
  }

  const xa_row_s *row = nullptr;
  const char *xtal_error = nullptr;
  switch (mode) {
    case kova_mode_syn_e:
      if (h->sysclk_mode_e == sysclk_mode_ro_e) {
        row = &kXaSynRo;
      } else {
        row = &kXaSynXa;
        xtal_error = "ERROR: xa_mode=XTAL is invalid in SYN mode when SYSCLK not RO";
      }
      break;
    case kova_mode_nco_e:
      row = &kXaNco;
      xtal_error = "ERROR: xa_mode=XTAL is invalid in NCO or SS mode";
      break;
    case kova_mode_ss_e:
      row = &kXaSs;
      xtal_error = "ERROR: xa_mode=XTAL is invalid in NCO or SS mode";
      break;
    default:
      row = &kXaJa;
      xtal_error = "ERROR: xa_mode=XTAL is invalid in JA mode";
      break;
  }
  const xa_range_s *range = nullptr;
  switch (h->xa_mode_e) {
    case xa_mode_xo_e:
    case xa_mode_tcxo_e: range = &row->osc; break;
    case xa_mode_xtal_e:
      if (xtal_error) {
        put_msg(h, xtal_error);
        return;
      }
      range = &row->xtal;
      break;
    case xa_mode_xtal_dbl_e: range = &row->xtal_dbl; break;
    case xa_mode_xo_dbl_e:
    case xa_mode_tcxo_dbl_e: range = &row->osc_dbl; break;
    default: break;  // XA disabled: no range
  }
  if (range) {
    h->xa_min_freq_mhz_r = range->min;
    h->xa_max_freq_mhz_r = range->max;
  }

  put_reg(h, 0x031, (get_reg(h, 0x031) & 0x0Fu) | id2_device_code(h->kova_device_e) << 4);
}
