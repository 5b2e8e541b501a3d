// Driver of the register calculation and its small blocks: mode enables, XA pins, the
// clock-tree frequencies, the output enables and the DPLL mode code.
#include "hal/calc_hal.h"

#include "arith/fprec.h"
#include "hal/calc_hal_views.h"
#include "hal/hal_regcalc.h"

namespace {

bool freq_set(const fprec_s &p) { return p.f != 0; }

// XA pin settings; modes without a row keep what init_api set from the same table.
void set_xa_pins(hal_api_s *h) {
  switch (h->xa_mode_e) {
    case xa_mode_xo_e: h->mcr1_xab_u2 = 2; h->mcr1_dbl_u1 = 0; break;
    case xa_mode_xtal_e: h->mcr1_xab_u2 = 1; h->mcr1_dbl_u1 = 0; break;
    case xa_mode_xtal_dbl_e: h->mcr1_xab_u2 = 1; h->mcr1_dbl_u1 = 1; break;
    case xa_mode_xo_dbl_e:
    case xa_mode_tcxo_dbl_e: h->mcr1_xab_u2 = 2; h->mcr1_dbl_u1 = 1; break;
    default: break;  // disabled, TCXO, anything else
  }
}

// Scales a rebuilt clock-tree frequency; a record that no longer fits 32-bit words would
// hold another frequency than the chip runs at, so that ends the calculation with an error.
bool scale_exact(hal_api_s *h, fprec_s *f, uint64_t mul, uint64_t div, const char *name) {
  if (fprec_scale(f, mul, div) == 0) return true;
  put_msgf(h, "ERROR: fprec_scale %s overflow", name);
  return false;
}

// Output divider frequencies: the MSDIV output, the LSDIV output and the negative output.
bool set_output_freqs(hal_api_s *h) {
  bool ok = true;
  for (int n = 1; n <= 3; ++n) {
    calc_oc_view_s oc = calc_oc_view(h, n);
    const char *msdiv_name = n == 1 ? "oc1_msdiv_freq_s" : n == 2 ? "oc2_msdiv_freq_s" : "oc3_msdiv_freq_s";
    const char *lsdiv_name = n == 1 ? "oc1_lsdiv_freq_s" : n == 2 ? "oc2_lsdiv_freq_s" : "oc3_lsdiv_freq_s";
    if (*oc.lssel == 1) {
      *oc.lsdiv_freq = *oc.freq;
      *oc.msdiv_freq = *oc.freq;
      ok = scale_exact(h, oc.msdiv_freq, *oc.lsdiv, 1, msdiv_name) && ok;
      *oc.n_freq = *oc.freq;
    } else {
      *oc.msdiv_freq = *oc.freq;
      if (*oc.lsdiv > 1) {
        *oc.lsdiv_freq = *oc.freq;
        ok = scale_exact(h, oc.lsdiv_freq, 1, *oc.lsdiv, lsdiv_name) && ok;
      } else {
        set_fprec_s(oc.lsdiv_freq, 0, 1, 1);
      }
      *oc.n_freq = *oc.neglsd == 1 ? *oc.lsdiv_freq : *oc.freq;
    }
  }
  return ok;
}

// HSDIV output frequency from the first output on that HSDIV: its MSDIV input.
bool hsdiv_from_outputs(hal_api_s *h, uint32_t divsel, fprec_s *out, bool *exact) {
  for (int n = 1; n <= 3; ++n) {
    calc_oc_view_s oc = calc_oc_view(h, n);
    if (*oc.divsel == divsel && freq_set(*oc.freq)) {
      *out = *oc.msdiv_freq;
      *exact = scale_exact(h, out, *oc.msdiv, 1, divsel ? "hsdiv2_freq_s" : "hsdiv1_freq_s");
      return true;
    }
  }
  set_fprec_s(out, 0, 1, 1);
  return false;
}

}  // namespace

bool calc_hal_clock_tree(hal_api_s *h, calc_hal_work_s *w) {
  const int32_t mode = h->kova_mode_e;
  const bool syn = mode == kova_mode_syn_e;
  const bool ja = mode == kova_mode_ja_e;

  // Mode enables; NCO and SS keep what init_api set.
  if (syn) {
    h->mcr1_mcsel_u1 = 0;
    h->pllen_dpllen_u1 = 0;
    h->pllen_apllen_u1 = 1;
  } else if (ja) {
    h->mcr1_mcsel_u1 = 1;
    h->pllen_dpllen_u1 = 1;
    h->pllen_apllen_u1 = 1;
  }
  set_xa_pins(h);

  w->dco_pfd_mhz = fprec_s_2_double_mhz(h->dco_pfdclk_freq_s);

  if (syn || ja) {
    for (int n = 1; n <= 3; ++n) {
      calc_ic_view_s ic = calc_ic_view(h, n);
      *ic.hsdiv_freq = *ic.freq;
      fprec_scale(ic.hsdiv_freq, 1, *ic.hsdiv);
    }
    set_fprec_s(&h->dco_freq_s, 0, 1, 1);
  }

  if (ja) {
    // The PFD frequency is the first used input after its dividers.
    bool found = false;
    for (int n = 1; n <= 3 && !found; ++n) {
      calc_ic_view_s ic = calc_ic_view(h, n);
      if (freq_set(*ic.hsdiv_freq)) {
        h->pfd_freq_s = *ic.hsdiv_freq;
        fprec_scale(&h->pfd_freq_s, 1, *ic.div);
        found = true;
      }
    }
    if (!found) {
      put_msg(h, "WARNING: No valid IC input, setting PFD freq to 1 MHz");
      set_fprec_s(&h->pfd_freq_s, 1000000, 1, 1);
    }
    h->dco_freq_s = h->pfd_freq_s;
    fprec_scale(&h->dco_freq_s, h->dcofb_div_u32, 1);
  }

  w->dco_mhz = syn ? 0.0 : fprec_s_2_double_mhz(h->dco_freq_s);
  w->dco_adj_mhz = (1.0 + h->xa_freq_off_ppb_i32 * 1e-9) * w->dco_mhz;

  // APLL input: XA when present, else the first input, divided by the APLL input divider.
  if (syn) {
    fprec_s in = {0, 1, 1};
    if (freq_set(h->xa_apll_freq_s)) {
      in = h->xa_apll_freq_s;
    } else {
      for (int n = 1; n <= 3; ++n) {
        calc_ic_view_s ic = calc_ic_view(h, n);
        if (freq_set(*ic.hsdiv_freq)) {
          in = *ic.hsdiv_freq;
          break;
        }
      }
    }
    fprec_scale(&in, 1, pow2_u64(h->apllcr1_aidiv_u2));
    h->apll_input_freq_s = in;
  } else {
    h->apll_input_freq_s = h->dco_freq_s;
  }

  if (!set_output_freqs(h)) return false;

  // HSDIV1 keeps a frequency it already has when no output is configured at all.
  bool exact = true;
  const bool no_output = !freq_set(h->oc1_freq_s) && !freq_set(h->oc2_freq_s) && !freq_set(h->oc3_freq_s);
  if (!(no_output && freq_set(h->hsdiv1_freq_s))) {
    if (!hsdiv_from_outputs(h, 0, &h->hsdiv1_freq_s, &exact)) put_msg(h, "WARNING: HSDIV1 is not configured");
  }
  hsdiv_from_outputs(h, 1, &h->hsdiv2_freq_s, &exact);
  if (!exact) return false;

  // VCO from HSDIV1, or from HSDIV2 when HSDIV1 is unused and HSDIV2 is not bypassed.
  if (fprec_s_2_double_mhz(h->hsdiv1_freq_s) > 0.0) {
    h->vco_freq_s = h->hsdiv1_freq_s;
    if (!scale_exact(h, &h->vco_freq_s, h->vco_hsdiv1x2_u8, 2, "vco_freq_s")) return false;
  } else if (h->apllcr1_byphs2_u1 == 0) {
    if (fprec_s_2_double_mhz(h->hsdiv2_freq_s) > 0.0) {
      h->vco_freq_s = h->hsdiv2_freq_s;
      if (!scale_exact(h, &h->vco_freq_s, h->vco_hsdiv2x2_u8, 2, "vco_freq_s")) return false;
    } else {
      set_fprec_s(&h->vco_freq_s, 0, 1, 1);
      put_msg(h, "ERROR: VCO is not configured");
      return false;
    }
  }

  if (syn || ja) h->sco_sco_i8 = static_cast<uint32_t>(real2reg(h, "sco_sco_i8", 0.0, 8, 1));

  // Output enables: revision 0 with alignment on every output keeps all three running.
  if (h->oc1_align_en == 1 && h->oc2_align_en == 1 && h->oc3_align_en == 1 && h->kova_device_rev_e == 0) {
    h->ocen_oc1en_u1 = h->ocen_oc2en_u1 = h->ocen_oc3en_u1 = 1;
  } else if (mode >= kova_mode_syn_e && mode <= kova_mode_ja_e) {
    for (int n = 1; n <= 3; ++n) {
      calc_oc_view_s oc = calc_oc_view(h, n);
      *oc.ocen = fprec_s_2_double_mhz(*oc.freq) > 0.0 ? 1 : 0;
    }
  }
  return true;
}

bool calc_dpll_mode_reg(hal_api_s *h) {
  switch (h->kova_mode_e) {
    case kova_mode_syn_e: h->dpllcr1_mode_u4 = 0; return true;
    case kova_mode_nco_e: h->dpllcr1_mode_u4 = 1; return true;
    case kova_mode_ss_e: h->dpllcr1_mode_u4 = 2; return true;
    case kova_mode_ja_e:
      switch (h->dpll_mode_e) {
        case 0: h->dpllcr1_mode_u4 = 6; break;
        case 1: h->dpllcr1_mode_u4 = 4; break;
        case 2: h->dpllcr1_mode_u4 = 5; break;
        default: break;
      }
      return true;
    default:
      put_msg(h, "ERROR: invalid kova_mode_e");
      return false;
  }
}

void calc_hal(hal_api_s *h) {
  if (!h) return;
  clear_msg_log(h);
  if (init_api_modes_changed(h)) return;

  calc_hal_work_s w{};
  const int32_t mode = h->kova_mode_e;
  const bool ja = mode == kova_mode_ja_e;

  if (!calc_hal_clock_tree(h, &w)) return;
  if (mode == kova_mode_syn_e || ja) {
    if (!calc_ic_div_regs(h)) return;
  }
  if (ja) calc_mon_regs(h);
  calc_oc_regs(h);
  if (!calc_apll_regs(h, &w)) return;
  if (mode == kova_mode_nco_e || mode == kova_mode_ss_e || ja) calc_dco_regs(h, &w);
  if (!calc_dpll_mode_reg(h)) return;
  if (ja) calc_lock_regs(h);
  if (mode == kova_mode_ss_e) {
    calc_ss_regs(h, &w);
    return;
  }
  if (ja) calc_dpll_loop_regs(h, &w);
}
