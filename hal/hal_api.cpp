// Life cycle of the configuration object: init_api in its seven modes, mode validation,
// register defaults, user defaults, copy and delete, and the message log.
#include "hal/hal_api.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hal/hal_obj.h"

namespace {

struct device_row_s {
  int32_t device;
  uint8_t modes;  // bit k set: kova_mode_e k allowed
  bool has_dpll;
};

// Devices of the family and the operating modes each allows (bit 0 SYN, 1 NCO, 2 SS, 3 JA).
constexpr device_row_s kDevices[] = {
    {kova_device_40000_e, 0x0F, true},  {kova_device_40075_e, 0x0B, true},
    {kova_device_40089_e, 0x0B, true},  {kova_device_40110_e, 0x07, false},
    {kova_device_40111_e, 0x07, false}, {kova_device_40112_e, 0x0F, true},
    {kova_device_40113_e, 0x0F, true},
};

const device_row_s *device_row(int32_t device) {
  for (const auto &row : kDevices)
    if (row.device == device) return &row;
  return nullptr;
}

// The six mode fields in snapshot order.
void read_modes(const hal_api_s *hal, int32_t out[hal_snap_count_e]) {
  out[hal_snap_device_e] = hal->kova_device_e;
  out[hal_snap_rev_e] = hal->kova_device_rev_e;
  out[hal_snap_mode_e] = hal->kova_mode_e;
  out[hal_snap_xa_mode_e] = hal->xa_mode_e;
  out[hal_snap_sysclk_e] = hal->sysclk_mode_e;
  out[hal_snap_jitter_e] = hal->jitter_mode_e;
}

void write_modes(hal_api_s *hal, const int32_t in[hal_snap_count_e]) {
  hal->kova_device_e = in[hal_snap_device_e];
  hal->kova_device_rev_e = in[hal_snap_rev_e];
  hal->kova_mode_e = in[hal_snap_mode_e];
  hal->xa_mode_e = in[hal_snap_xa_mode_e];
  hal->sysclk_mode_e = in[hal_snap_sysclk_e];
  hal->jitter_mode_e = in[hal_snap_jitter_e];
}

// Validates the device and corrects the other mode fields in place. False on an error.
bool validate_modes(hal_api_s *hal) {
  if (!device_row(hal->kova_device_e)) {
    put_msg(hal, "ERROR: Invalid kova_device_e");
    return false;
  }
  if (!kova_device_mode_allowed(hal->kova_device_e, hal->kova_mode_e)) {
    put_msg(hal, "WARNING: Invalid kova_mode_e, set to SYN");
    hal->kova_mode_e = kova_mode_syn_e;
  }
  if (static_cast<uint32_t>(hal->kova_device_rev_e) > 1u) {
    put_msg(hal, "ERROR: Invalid kova_device_rev_e");
    return false;
  }
  if (hal->kova_mode_e != kova_mode_syn_e) {
    if (hal->xa_mode_e == xa_mode_xtal_e) {
      put_msg(hal, "WARNING: Invalid xa_mode_e XTAL, setting to XTAL DBL");
      hal->xa_mode_e = xa_mode_xtal_dbl_e;
    } else if (hal->xa_mode_e < xa_mode_xo_e || hal->xa_mode_e > xa_mode_tcxo_dbl_e) {
      put_msg(hal, "WARNING: Invalid xa_mode_e, setting to XO");
      hal->xa_mode_e = xa_mode_xo_e;
    }
  } else if (hal->xa_mode_e < xa_mode_disabled_e || hal->xa_mode_e > xa_mode_tcxo_dbl_e) {
    put_msg(hal, "WARNING: Invalid xa_mode_e, setting to XO");
    hal->xa_mode_e = xa_mode_xo_e;
  }
  if (hal->kova_mode_e == kova_mode_syn_e) {
    if (hal->sysclk_mode_e != sysclk_mode_ro_e) {
      put_msg(hal, "WARNING: Invalid sysclk_mode_e, setting to RO");
      hal->sysclk_mode_e = sysclk_mode_ro_e;
    }
  } else if (hal->sysclk_mode_e < sysclk_mode_xa_e || hal->sysclk_mode_e > sysclk_mode_ro_e) {
    put_msg(hal, "WARNING: Invalid sysclk_mode_e, setting to XA");
    hal->sysclk_mode_e = sysclk_mode_xa_e;
  }
  if (hal->jitter_mode_e < jitter_mode_rj_e || hal->jitter_mode_e > jitter_mode_2_e) {
    put_msg(hal, "WARNING: Invalid jitter_mode_e, setting to RJ");
    hal->jitter_mode_e = jitter_mode_rj_e;
  }
  return true;
}

// XA pin fields by XA mode: mcr1_xab_u2, mcr1_dbl_u1 (mode 0 sets none).
void set_xa_pins(hal_api_s *hal) {
  switch (hal->xa_mode_e) {
    case xa_mode_xo_e:
    case xa_mode_tcxo_e: hal->mcr1_xab_u2 = 2; hal->mcr1_dbl_u1 = 0; break;
    case xa_mode_xtal_e: hal->mcr1_xab_u2 = 1; hal->mcr1_dbl_u1 = 0; break;
    case xa_mode_xtal_dbl_e: hal->mcr1_xab_u2 = 1; hal->mcr1_dbl_u1 = 1; break;
    case xa_mode_xo_dbl_e:
    case xa_mode_tcxo_dbl_e: hal->mcr1_xab_u2 = 2; hal->mcr1_dbl_u1 = 1; break;
    default: break;
  }
}

// Per-output register fields, indexed by output 0..2.
struct oc_fields_s {
  uint32_t *neglsd, *phen, *asquel, *pol, *drive, *stopdis, *srlsen, *ocdc, *stop, *src, *smode, *ocsf;
  int32_t *phadj;
};

oc_fields_s oc_fields(hal_api_s *h, int oc) {
  switch (oc) {
    case 0:
      return {&h->oc1cr3_neglsd_u1, &h->oc1cr1_phen_u1, &h->oc1cr2_asquel_u1, &h->oc1cr2_pol_u1,
              &h->oc1cr2_drive_u2,  &h->oc1cr2_stopdis_u1, &h->oc1cr3_srlsen_u1, &h->oc1dc_ocdc_u8,
              &h->oc1stop_stop_u1,  &h->oc1stop_src_u4, &h->oc1stop_mode_u2, &h->oc1cr2_ocsf_u3,
              &h->oc1ph_phadj_i8};
    case 1:
      return {&h->oc2cr3_neglsd_u1, &h->oc2cr1_phen_u1, &h->oc2cr2_asquel_u1, &h->oc2cr2_pol_u1,
              &h->oc2cr2_drive_u2,  &h->oc2cr2_stopdis_u1, &h->oc2cr3_srlsen_u1, &h->oc2dc_ocdc_u8,
              &h->oc2stop_stop_u1,  &h->oc2stop_src_u4, &h->oc2stop_mode_u2, &h->oc2cr2_ocsf_u3,
              &h->oc2ph_phadj_i8};
    default:
      return {&h->oc3cr3_neglsd_u1, &h->oc3cr1_phen_u1, &h->oc3cr2_asquel_u1, &h->oc3cr2_pol_u1,
              &h->oc3cr2_drive_u2,  &h->oc3cr2_stopdis_u1, &h->oc3cr3_srlsen_u1, &h->oc3dc_ocdc_u8,
              &h->oc3stop_stop_u1,  &h->oc3stop_src_u4, &h->oc3stop_mode_u2, &h->oc3cr2_ocsf_u3,
              &h->oc3ph_phadj_i8};
  }
}

constexpr fprec_s kUnset = {0, 1, 1};

// User defaults of a full initialisation, in their order; stops at the first error.
void set_user_defaults(hal_api_s *h) {
  const uint32_t align = h->kova_device_rev_e == 0 ? 1 : 0;
  h->oc1_align_en = h->oc2_align_en = h->oc3_align_en = align;
  h->oc1_align_nsx10_u16 = h->oc2_align_nsx10_u16 = h->oc3_align_nsx10_u16 = 0;

  h->xa_freq_off_ppb_i32 = 0;
  h->ic1_freq_s = h->ic2_freq_s = h->ic3_freq_s = kUnset;
  h->oc1_freq_s = h->oc2_freq_s = h->oc3_freq_s = kUnset;
  h->xa_disable = 0;
  h->icen_ic1en_u1 = h->icen_ic2en_u1 = h->icen_ic3en_u1 = 0;
  h->ocen_oc1en_u1 = h->ocen_oc2en_u1 = h->ocen_oc3en_u1 = 1;
  h->mcr1_rst_u1 = h->mcr1_vcxo_u1 = h->mcr1_mcsel1_u1 = h->mcr1_roscd_u1 = 0;
  h->mcr2_extss_u2 = h->mcr2_aincdis_u1 = 0;
  for (int oc = 0; oc < 3; ++oc) {
    oc_fields_s f = oc_fields(h, oc);
    *f.neglsd = *f.phen = *f.asquel = *f.pol = *f.drive = *f.stopdis = *f.srlsen = *f.ocdc = 0;
    *f.phadj = 0;
    *f.stop = *f.src = *f.smode = 0;
    *f.ocsf = 1;
  }
  h->apllcr1_aidiv_u2 = h->apllcr1_byphs2_u1 = h->apllcr3_extsw_u1 = h->apllcr3_altmux_u3 = 0;
  h->apllcr4_decph_u1 = h->apllcr4_pdss_u3 = h->apllcr4_incph_u1 = h->apllcr4_piss_u3 = 0;

  // Default XA frequency by mode and XA source (XA mode 0 keeps it).
  if (h->xa_mode_e != xa_mode_disabled_e) {
    const bool osc = h->xa_mode_e == xa_mode_xo_e || h->xa_mode_e == xa_mode_tcxo_e;
    uint32_t f = 0;
    switch (h->kova_mode_e) {
      case kova_mode_syn_e: f = osc ? 125000000u : 50000000u; break;
      case kova_mode_nco_e:
      case kova_mode_ss_e: f = osc ? 100000000u : 55000000u; break;
      default: f = osc ? 114285000u : 49152000u; break;
    }
    set_fprec_s(&h->xa_freq_s, f, 1, 1);
  }

  set_xa_pins(h);
  if (h->kova_mode_e == kova_mode_ja_e && h->xa_mode_e == xa_mode_xtal_e) {
    put_msg(h, "ERROR: invalid JA xa mode");
    return;
  }
  if (h->kova_mode_e == kova_mode_ss_e && h->xa_mode_e == xa_mode_xtal_e) {
    put_msg(h, "ERROR: invalid SS xa mode");
    return;
  }

  h->mcr1_mcsel_u1 = h->sysclk_mode_e == sysclk_mode_xa_e ? 1 : 0;
  if (h->kova_mode_e == kova_mode_ja_e) {
    h->mcr1_mcsel_u1 = 1;
    if (h->sysclk_mode_e == sysclk_mode_ro_e) {
      put_msg(h, "ERROR: invalid JA sysclk mode");
      return;
    }
  }

  if (h->kova_mode_e == kova_mode_syn_e) {
    h->pllen_dpllen_u1 = 0;
    h->pllen_apllen_u1 = 1;
    h->apllcr3_apllmux_u3 = 0;
    h->apll_afbdiv_fbits_u8 = h->appl_fbdiv_fbits_trgt_u8;
    return;
  }
  if (h->kova_mode_e == kova_mode_ss_e) {
    h->ss_mode_e = ss_mode_down_e;
    h->ss_pctx10 = 5;
    h->ss_mod_hz = 30000;
  }
  h->pllen_dpllen_u1 = 1;
  h->pllen_apllen_u1 = 1;
  h->apllcr3_apllmux_u3 = 6;
  h->apll_afbdiv_fbits_u8 = h->appl_fbdiv_fbits_max_u8;
  if (h->kova_mode_e != kova_mode_ja_e) return;

  h->dpll_mode_e = 0;
  h->oc1_neg_lsdiv_u32 = h->oc2_neg_lsdiv_u32 = h->oc3_neg_lsdiv_u32 = 1;
  h->sco_sco_i8 = 0;
  h->ic1cr1_pol_u1 = h->ic2cr1_pol_u1 = h->ic3cr1_pol_u1 = 0;
  struct mon_s {
    int32_t *mode, *ppm_mode, *extlos;
    uint32_t *valwait, *loslt, *thr, *thr2;
  } mons[3] = {
      {&h->ic1_mon_mode_e, &h->ic1_mon_ppm_mode_e, &h->ic1_mon_extlos_e, &h->ic1_mon_valwait_ms,
       &h->ic1_mon_loslt_us, &h->ic1_mon_thr_ppm, &h->ic1_mon_thr2_ppm},
      {&h->ic2_mon_mode_e, &h->ic2_mon_ppm_mode_e, &h->ic2_mon_extlos_e, &h->ic2_mon_valwait_ms,
       &h->ic2_mon_loslt_us, &h->ic2_mon_thr_ppm, &h->ic2_mon_thr2_ppm},
      {&h->ic3_mon_mode_e, &h->ic3_mon_ppm_mode_e, &h->ic3_mon_extlos_e, &h->ic3_mon_valwait_ms,
       &h->ic3_mon_loslt_us, &h->ic3_mon_thr_ppm, &h->ic3_mon_thr2_ppm},
  };
  for (auto &m : mons) {
    *m.mode = 2;
    *m.ppm_mode = 1;
    *m.extlos = 0;
    *m.valwait = 0;
    *m.loslt = 0;
    *m.thr = 100;
    *m.thr2 = 120;
  }
  h->mon3cr2_losss_u3 = 0;
  h->icscr1_revert_u1 = 1;
  h->icscr1_icsel_u2 = 0;
  h->valcr1_ic1_u1 = h->valcr1_ic2_u1 = h->valcr1_ic3_u1 = 1;
  h->ipr1_pri1_u2 = 1;
  h->ipr1_pri2_u2 = 2;
  h->ipr2_pri3_u2 = 3;
  h->jitter_tol_ns_u16 = 0;
  h->ho_mode_e = 0;
  h->phlkto_ms = 0;
  h->lkato_ms = 0;
  h->dpll_bw_hz = 50;
  h->dpll_df = 5;
  h->man_phoff_ps = 0;
  h->lolthr_ns = 10;
  h->lolset_us = 1000;
  h->lolclr_us = 1000;
  h->hoavgto_us = h->howaitto_us = h->pfixavgto_us = 0;
  h->pslim_ns_sec = h->hofd_ppb_sec = h->fchlim_ppb_sec = 0;
  h->fqhlim_ppb = 1000000;
  h->icscr1_fbsel_u2 = 0;
  h->dpllcr2_crb3 = h->dpllcr2_crb4 = h->dpllcr2_crb5 = 0;
  h->dpllcr2_crb6 = h->dpllcr2_crb7 = h->dpllcr2_crb8 = 0;
  const int32_t d = h->kova_device_e;
  h->hitless_mode_e =
      (d == kova_device_40000_e || d == kova_device_40075_e || d == kova_device_40089_e) ? 2 : 0;
}

// The user's frequencies and output options that a mode-6 initialisation keeps.
struct user_settings_s {
  int32_t snapshot_mode;
  fprec_s xa_freq;
  int32_t xa_off;
  fprec_s oc_freq[3];
  fprec_s ic_freq[3];
  uint32_t oc_neg_lsdiv[3], oc_pw[3];
  uint32_t asquel[3], pol[3], drive[3], stopdis[3], ocsf[3];
  uint32_t icen[3];  // ic3, ic2, ic1
  uint32_t icpol[3];
};

void save_user_settings(hal_api_s *h, user_settings_s *s) {
  s->snapshot_mode = h->hal_obj_p ? h->hal_obj_p->snapshot[hal_snap_mode_e] : -1;
  s->xa_freq = h->xa_freq_s;
  s->xa_off = h->xa_freq_off_ppb_i32;
  s->oc_freq[0] = h->oc1_freq_s; s->oc_freq[1] = h->oc2_freq_s; s->oc_freq[2] = h->oc3_freq_s;
  s->ic_freq[0] = h->ic1_freq_s; s->ic_freq[1] = h->ic2_freq_s; s->ic_freq[2] = h->ic3_freq_s;
  s->oc_neg_lsdiv[0] = h->oc1_neg_lsdiv_u32; s->oc_pw[0] = h->oc1_pw_ns_u16;
  s->oc_neg_lsdiv[1] = h->oc2_neg_lsdiv_u32; s->oc_pw[1] = h->oc2_pw_ns_u16;
  s->oc_neg_lsdiv[2] = h->oc3_neg_lsdiv_u32; s->oc_pw[2] = h->oc3_pw_ns_u16;
  for (int oc = 0; oc < 3; ++oc) {
    oc_fields_s f = oc_fields(h, oc);
    s->asquel[oc] = *f.asquel; s->pol[oc] = *f.pol; s->drive[oc] = *f.drive;
    s->stopdis[oc] = *f.stopdis; s->ocsf[oc] = *f.ocsf;
  }
  s->icen[0] = h->icen_ic3en_u1; s->icen[1] = h->icen_ic2en_u1; s->icen[2] = h->icen_ic1en_u1;
  s->icpol[0] = h->ic1cr1_pol_u1; s->icpol[1] = h->ic2cr1_pol_u1; s->icpol[2] = h->ic3cr1_pol_u1;
}

void restore_user_settings(hal_api_s *h, const user_settings_s *s) {
  h->xa_freq_s = s->xa_freq;
  h->xa_freq_off_ppb_i32 = s->xa_off;
  h->oc1_freq_s = s->oc_freq[0]; h->oc2_freq_s = s->oc_freq[1]; h->oc3_freq_s = s->oc_freq[2];
  h->ic1_freq_s = s->ic_freq[0]; h->ic2_freq_s = s->ic_freq[1]; h->ic3_freq_s = s->ic_freq[2];
  h->oc1_neg_lsdiv_u32 = s->oc_neg_lsdiv[0]; h->oc1_pw_ns_u16 = s->oc_pw[0];
  h->oc2_neg_lsdiv_u32 = s->oc_neg_lsdiv[1]; h->oc2_pw_ns_u16 = s->oc_pw[1];
  h->oc3_neg_lsdiv_u32 = s->oc_neg_lsdiv[2]; h->oc3_pw_ns_u16 = s->oc_pw[2];
  for (int oc = 0; oc < 3; ++oc) {
    oc_fields_s f = oc_fields(h, oc);
    *f.asquel = s->asquel[oc]; *f.pol = s->pol[oc]; *f.drive = s->drive[oc];
    *f.stopdis = s->stopdis[oc]; *f.ocsf = s->ocsf[oc];
  }
  h->icen_ic3en_u1 = s->icen[0]; h->icen_ic2en_u1 = s->icen[1]; h->icen_ic1en_u1 = s->icen[2];
  h->ic1cr1_pol_u1 = s->icpol[0]; h->ic2cr1_pol_u1 = s->icpol[1]; h->ic3cr1_pol_u1 = s->icpol[2];
  // Inputs only mean something in jitter attenuation: leaving it for another mode drops them.
  if (s->snapshot_mode != h->kova_mode_e && h->kova_mode_e != kova_mode_ja_e) {
    h->ic1_freq_s = h->ic2_freq_s = h->ic3_freq_s = kUnset;
    h->icen_ic1en_u1 = h->icen_ic2en_u1 = h->icen_ic3en_u1 = 0;
    h->ic1cr1_pol_u1 = h->ic2cr1_pol_u1 = h->ic3cr1_pol_u1 = 0;
  }
}

void release_obj(hal_api_s *hal) {
  std::free(hal->hal_obj_p);
  hal->hal_obj_p = nullptr;
}

}  // namespace

bool kova_device_valid(int32_t device) { return device_row(device) != nullptr; }

bool kova_device_mode_allowed(int32_t device, int32_t mode) {
  const device_row_s *row = device_row(device);
  return row && mode >= 0 && mode <= 3 && (row->modes >> mode & 1u);
}

bool kova_device_has_dpll(int32_t device) {
  const device_row_s *row = device_row(device);
  return row && row->has_dpll;
}

const char *kova_mode_label(int32_t mode) {
  static const char *const labels[] = {"SYN", "NCO", "SS", "JA"};
  return mode >= 0 && mode <= 3 ? labels[mode] : nullptr;
}

const char *xa_mode_label(int32_t xa_mode) {
  static const char *const labels[] = {"disabled", "XO", "TCXO", "XTAL", "XTAL DBL", "XO DBL", "TCXO DBL"};
  return xa_mode >= 0 && xa_mode <= 6 ? labels[xa_mode] : nullptr;
}

const char *sysclk_mode_label(int32_t sysclk) {
  return sysclk == sysclk_mode_xa_e ? "XA" : sysclk == sysclk_mode_ro_e ? "RO" : nullptr;
}

void init_api(hal_api_s *hal) {
  if (!hal) return;
  const int32_t M = hal->init_api_mode_e;
  if (M < 0 || M > 6) {
    std::fprintf(stderr, "ERROR: Invalid init_api mode\n");
    return;
  }
  user_settings_s saved{};
  if (M == init_api_keep_user_e) save_user_settings(hal, &saved);
  if (M == init_api_full_e || M == init_api_blank_e || M == init_api_keep_user_e) {
    int32_t modes[hal_snap_count_e];
    read_modes(hal, modes);
    release_obj(hal);
    std::memset(static_cast<void *>(hal), 0, sizeof(*hal));
    if (M != init_api_blank_e) write_modes(hal, modes);
  }
  const bool fresh_obj = M == init_api_full_e || M == init_api_blank_e ||
                         M == init_api_after_load_e || M == init_api_keep_user_e;
  if (fresh_obj) {
    release_obj(hal);
    hal->hal_obj_p = static_cast<hal_obj_s *>(std::calloc(1, sizeof(hal_obj_s)));
    if (!hal->hal_obj_p) {
      std::fprintf(stderr, "ERROR: Can not create HAL OBJ\n");
      return;
    }
    clear_msg_log(hal);
  }
  hal_obj_s *obj = hal->hal_obj_p;
  // Modes 2, 4 and 5 keep the object they have; without one there is no snapshot to set.
  if (!obj) {
    std::fprintf(stderr, "ERROR: No HAL OBJ, init_api mode %d needs an initialised object\n", M);
    return;
  }
  for (int32_t &w : obj->snapshot) w = -1;
  if (M != init_api_blank_e) {
    if (!validate_modes(hal)) return;
    read_modes(hal, obj->snapshot);
  }
  if (fresh_obj)
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) put_reg(hal, a, kova_regs_defaults(a));
  if (M == init_api_full_e || M == init_api_after_inverse_e || M == init_api_limits_e ||
      M == init_api_keep_user_e) {
    hal->kova_hal_api_version = KOVA_HAL_API_VERSION;
    init_api_limits(hal);
  }
  if (M == init_api_full_e || M == init_api_keep_user_e) set_user_defaults(hal);
  if (M == init_api_keep_user_e) restore_user_settings(hal, &saved);
}

void copy_api(hal_api_s *dst, const hal_api_s *src) {
  if (!dst || !src || dst == src) return;
  hal_obj_s *keep = dst->hal_obj_p;
  std::memcpy(static_cast<void *>(dst), src, sizeof(*dst));
  dst->hal_obj_p = keep;
  if (keep && src->hal_obj_p) std::memcpy(keep, src->hal_obj_p, sizeof(*keep));
}

void delete_api(hal_api_s *hal) {
  if (hal) release_obj(hal);
}

bool init_api_modes_changed(hal_api_s *hal) {
  const hal_obj_s *obj = hal_obj(hal);
  int32_t modes[hal_snap_count_e];
  read_modes(hal, modes);
  bool changed = !obj;
  for (int i = 0; !changed && i < hal_snap_count_e; ++i)
    changed = obj->snapshot[i] == -1 || obj->snapshot[i] != modes[i];
  if (changed) put_msg(hal, "ERROR: init_api modes changed or invalid");
  return changed;
}

// ---------------------------------------------------------------------------------------
// Message log: 100 entries of 500 characters. When full, the last entry becomes the
// buffer-full warning (or keeps the first error posted after the log filled), so the first
// 99 messages are never lost and an error always reaches the reader.

void clear_msg_log(hal_api_s *hal) {
  hal_obj_s *obj = hal_obj(hal);
  if (!obj) return;
  obj->msg_count = obj->msg_level = obj->msg_read = 0;
}

uint32_t msg_level(const hal_api_s *hal) {
  const hal_obj_s *obj = hal_obj(hal);
  return obj ? obj->msg_level : 0;
}

void put_msg(hal_api_s *hal, const char *text) {
  hal_obj_s *obj = hal_obj(hal);
  if (!obj) return;
  if (!text) text = "";
  if (obj->msg_count < KOVA_MSG_MAX) {
    char *entry = obj->msgs[obj->msg_count];
    std::strncpy(entry, text, KOVA_MSG_LEN - 1);
    entry[KOVA_MSG_LEN - 1] = '\0';
    if (text[0] == 'W' && obj->msg_level == 0) obj->msg_level = 1;
    if (text[0] == 'E') obj->msg_level = 2;
    ++obj->msg_count;
  } else {
    // The last entry marks the overflow. An error must never be lost to it (the stage
    // would pass): an error takes the last entry unless that already holds one.
    char *last = obj->msgs[KOVA_MSG_MAX - 1];
    const bool is_error = text[0] == 'E' || std::strstr(text, "ERROR");
    if (std::strstr(last, "ERROR")) {
      if (is_error) obj->msg_level = 2;
    } else if (is_error) {
      std::strncpy(last, text, KOVA_MSG_LEN - 1);
      last[KOVA_MSG_LEN - 1] = '\0';
      obj->msg_level = 2;
    } else {
      std::strcpy(last, "WARNING: MSG buffer full");
      if (obj->msg_level < 1) obj->msg_level = 1;
    }
  }
}

void put_msgf(hal_api_s *hal, const char *fmt, ...) {
  char buf[KOVA_MSG_LEN];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  put_msg(hal, buf);
}

const char *get_msg(hal_api_s *hal) {
  hal_obj_s *obj = hal_obj(hal);
  if (!obj || obj->msg_count == 0) return nullptr;
  const char *entry = obj->msgs[obj->msg_read++];
  if (obj->msg_read == obj->msg_count) obj->msg_count = obj->msg_level = obj->msg_read = 0;
  return entry;
}

// ---------------------------------------------------------------------------------------
// Register image.

uint32_t get_reg(const hal_api_s *hal, uint32_t address) {
  const hal_obj_s *obj = hal_obj(hal);
  if (!obj || address >= KOVA_REG_COUNT) return 0;
  return obj->regs[address];
}

void put_reg(hal_api_s *hal, uint32_t address, uint32_t value) {
  hal_obj_s *obj = hal_obj(hal);
  if (!obj || address >= KOVA_REG_COUNT) return;
  obj->regs[address] = static_cast<uint8_t>(value);
}

uint32_t kova_regs_defaults(uint32_t address) {
  switch (address) {
    case 0x030: return 0x19;  // ID1
    case 0x040: return 0x40;  // CFGSR
    case 0x049: return 0x11;  // PTAB1
    case 0x04A: return 0x32;  // PTAB2
    case 0x04D: return 0x80;  // PASR
    case 0x04E: return 0x11;  // VALSR1
    case 0x04F: return 0x01;  // VALSR2
    case 0x050:               // IC1SR
    case 0x051:               // IC2SR
    case 0x052: return 0x1F;  // IC3SR
    case 0x10C: return 0x01;  // AFBDEN1
    case 0x120: return 0x02;  // DCO1
    case 0x122: return 0x03;  // DCO3
    case 0x401: return 0x07;  // VALCR1
    case 0x402: return 0x21;  // IPR1
    case 0x403: return 0x03;  // IPR2
    case 0x404: return 0x32;  // PHLKTO
    case 0x405: return 0x32;  // LKATO
    case 0x610: return 0x80;  // AFREQ1
    case 0x616: return 0x08;  // ASR1
    case 0x619: return 0x01;  // TRAN1
    case 0x61E: return 0x1E;  // PLLTCR15
    case 0x61F: return 0x03;  // PLLTCR16
    case 0x620: return 0xE0;  // PLLTCR17
    case 0x626: return 0x18;  // TST_IC
    case 0x627: return 0x01;  // IC1TSR
    case 0x628: return 0x01;  // IC2TSR
    default: return 0x00;
  }
}
