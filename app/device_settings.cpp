#include "app/device_settings.h"

#include "app/app_options.h"

const KovaProductDefS KovaProduct[KOVA_PRODUCT_COUNT] = {
    {0, 1, "KX40110", 0, "Kova Synthesis", 40110, 7, 7, {0, 3, 0, 3}},
    {1, 1, "KX40111", 0, "Kova Synthesis", 40111, 7, 7, {1, 3, 0, 3}},
    {2, 1, "KX40112", 0, "Kova JA", 40112, 15, 5, {0, 3, 1, 3}},
    {3, 1, "KX40113", 0, "Kova JA", 40113, 15, 5, {1, 3, 1, 3}},
    {-1, 0, "INVALID", 0, "INVALID", 0, 0, 7, {0, 0, 0, 0}},
    {5, 1, "KX40075", 0, "Kova SyncE", 40075, 11, 7, {1, 3, 1, 3}},
    {-1, 0, "INVALID", 0, "INVALID", 0, 0, 7, {0, 0, 0, 0}},
    {7, 1, "KX40089", 0, "Kova OTN", 40089, 11, 7, {1, 3, 1, 3}},
    {8, 1, "KX40000", 0, "Kova SMode", 40000, 15, 7, {1, 3, 1, 3}},
};

const char *const __dev_DeviceIdStr[KOVA_PRODUCT_COUNT] = {"KX40110", "KX40111", "KX40112", "KX40113", "INVALID",
                                                           "KX40075", "INVALID", "KX40089", "KX40000"};

const DeviceKeyConfigS DeviceKeyConfigSettings[KOVA_PRODUCT_COUNT] = {
    {0, 40110, 1, 0, 1, 1, 0}, {1, 40111, 1, 0, 1, 1, 0}, {2, 40112, 1, 3, 1, 0, 0},
    {3, 40113, 1, 3, 1, 0, 0}, {-1, 0, 0, 0, 0, 0, 0},     {5, 40075, 1, 3, 1, 0, 0},
    {-1, 0, 0, 0, 0, 0, 0},    {7, 40089, 1, 3, 1, 0, 0},  {8, 40000, 1, 3, 1, 0, 0},
};

const char *const __dev_ChipModeStr[4] = {"Frequency Synthesis (APLL-only)", "Numerically Controlled Oscillator",
                                          "Spread Spectrum", "Jitter Attenuation (DPLL+APLL)"};
const char *const __dev_MasterClockModeStr[7] = {"Disabled",   "XO",           "TCXO",           "Crystal",
                                                 "XO Doubled", "TCXO Doubled", "Crystal Doubled"};
const char *const __dev_XaPinsLabelStr[4] = {"XA/XB Pins", "NCO Master Clock", "SS Master Clock", "DPLL Master Clock"};
const char *const __dev_SysclkSourceStr[2] = {"XA/XB Pins", "Ring-Osc"};

namespace {

// Master-clock mode (application order) to XA mode: the doubled choices are ordered
// differently in the application's list.
constexpr int32_t kMasterToXa[7] = {0, 1, 2, 3, 5, 6, 4};

struct input_fields_s {
  uint32_t *enable, *invert;
  fprec_s *freq;
  uint32_t *hsdiv, *div;
  int32_t *mon_mode, *extlos, *ppm_mode;
  uint32_t *loslt, *thr, *thr2, *valwait;
  double *valtim_rate;
};

template <typename H>
input_fields_s input_fields(H *h, int i) {
  auto *m = const_cast<hal_api_s *>(h);
  switch (i) {
    case 0:
      return {&m->icen_ic1en_u1, &m->ic1cr1_pol_u1, &m->ic1_freq_s, &m->ic1_hsdiv_u8, &m->ic1_div_u32,
              &m->ic1_mon_mode_e, &m->ic1_mon_extlos_e, &m->ic1_mon_ppm_mode_e, &m->ic1_mon_loslt_us,
              &m->ic1_mon_thr_ppm, &m->ic1_mon_thr2_ppm, &m->ic1_mon_valwait_ms, &m->ic1_mon_valtim_rate_hz_r};
    case 1:
      return {&m->icen_ic2en_u1, &m->ic2cr1_pol_u1, &m->ic2_freq_s, &m->ic2_hsdiv_u8, &m->ic2_div_u32,
              &m->ic2_mon_mode_e, &m->ic2_mon_extlos_e, &m->ic2_mon_ppm_mode_e, &m->ic2_mon_loslt_us,
              &m->ic2_mon_thr_ppm, &m->ic2_mon_thr2_ppm, &m->ic2_mon_valwait_ms, &m->ic2_mon_valtim_rate_hz_r};
    default:
      return {&m->icen_ic3en_u1, &m->ic3cr1_pol_u1, &m->ic3_freq_s, &m->ic3_hsdiv_u8, &m->ic3_div_u32,
              &m->ic3_mon_mode_e, &m->ic3_mon_extlos_e, &m->ic3_mon_ppm_mode_e, &m->ic3_mon_loslt_us,
              &m->ic3_mon_thr_ppm, &m->ic3_mon_thr2_ppm, &m->ic3_mon_valwait_ms, &m->ic3_mon_valtim_rate_hz_r};
  }
}

struct output_fields_s {
  uint32_t *pol, *asquel, *ocsf, *drive;
  fprec_s *freq_p, *freq_n;
  uint32_t *neg_lsdiv, *neglsd, *srlsen, *pw, *stop_mode, *stop_src, *stopdis, *stop, *align_en, *align;
  uint32_t *divsel, *msdiv, *lsdiv;
  fprec_s *msdiv_freq, *lsdiv_freq;
};

template <typename H>
output_fields_s output_fields(H *h, int i) {
  auto *m = const_cast<hal_api_s *>(h);
  switch (i) {
    case 0:
      return {&m->oc1cr2_pol_u1,     &m->oc1cr2_asquel_u1, &m->oc1cr2_ocsf_u3,   &m->oc1cr2_drive_u2,
              &m->oc1_freq_s,        &m->oc1n_freq_s,      &m->oc1_neg_lsdiv_u32, &m->oc1cr3_neglsd_u1,
              &m->oc1cr3_srlsen_u1,  &m->oc1_pw_ns_u16,    &m->oc1stop_mode_u2,  &m->oc1stop_src_u4,
              &m->oc1cr2_stopdis_u1, &m->oc1stop_stop_u1,  &m->oc1_align_en,     &m->oc1_align_nsx10_u16,
              &m->oc1cr3_divsel_u1,  &m->oc1_msdiv_u8,     &m->oc1_lsdiv_u32,    &m->oc1_msdiv_freq_s,
              &m->oc1_lsdiv_freq_s};
    case 1:
      return {&m->oc2cr2_pol_u1,     &m->oc2cr2_asquel_u1, &m->oc2cr2_ocsf_u3,   &m->oc2cr2_drive_u2,
              &m->oc2_freq_s,        &m->oc2n_freq_s,      &m->oc2_neg_lsdiv_u32, &m->oc2cr3_neglsd_u1,
              &m->oc2cr3_srlsen_u1,  &m->oc2_pw_ns_u16,    &m->oc2stop_mode_u2,  &m->oc2stop_src_u4,
              &m->oc2cr2_stopdis_u1, &m->oc2stop_stop_u1,  &m->oc2_align_en,     &m->oc2_align_nsx10_u16,
              &m->oc2cr3_divsel_u1,  &m->oc2_msdiv_u8,     &m->oc2_lsdiv_u32,    &m->oc2_msdiv_freq_s,
              &m->oc2_lsdiv_freq_s};
    default:
      return {&m->oc3cr2_pol_u1,     &m->oc3cr2_asquel_u1, &m->oc3cr2_ocsf_u3,   &m->oc3cr2_drive_u2,
              &m->oc3_freq_s,        &m->oc3n_freq_s,      &m->oc3_neg_lsdiv_u32, &m->oc3cr3_neglsd_u1,
              &m->oc3cr3_srlsen_u1,  &m->oc3_pw_ns_u16,    &m->oc3stop_mode_u2,  &m->oc3stop_src_u4,
              &m->oc3cr2_stopdis_u1, &m->oc3stop_stop_u1,  &m->oc3_align_en,     &m->oc3_align_nsx10_u16,
              &m->oc3cr3_divsel_u1,  &m->oc3_msdiv_u8,     &m->oc3_lsdiv_u32,    &m->oc3_msdiv_freq_s,
              &m->oc3_lsdiv_freq_s};
  }
}

bool valid_index(int i) { return i >= 0 && i <= 2; }

}  // namespace

int32_t __dev_MasterClockToXaMode(int32_t m) { return m >= 0 && m <= 6 ? kMasterToXa[m] : -1; }

int32_t __dev_XaModeToMasterClock(int32_t xa) {
  for (int32_t m = 0; m <= 6; ++m)
    if (kMasterToXa[m] == xa) return m;
  return -1;
}

int32_t __dev_ConvertApiToHalPartNumber(__dev_DeviceIdE index) {
  return index >= 0 && index < KOVA_PRODUCT_COUNT ? KovaProduct[index].device : -1;
}

__dev_DeviceIdE __dev_ConvertHalToApiPartNumber(int32_t device) {
  for (int32_t i = 0; i < KOVA_PRODUCT_COUNT; ++i)
    if (KovaProduct[i].device == device) return i;
  return -1;
}

bool __dev_DevicePartNumberValid(__dev_DeviceIdE index) {
  switch (index) {
    case 0: case 1: case 2: case 3: case 5: case 7: return true;
    case 8: return !isInCustomerMode();
    default: return false;
  }
}

bool __dev_DefaultsForDevType(hal_api_s *hal, bool board_connected) {
  if (!hal) return false;
  const __dev_DeviceIdE i = __dev_ConvertHalToApiPartNumber(hal->kova_device_e);
  if (i < 0 || KovaProduct[i].index < 0) return false;
  const DeviceKeyConfigS &k = DeviceKeyConfigSettings[i];
  if (!board_connected) hal->kova_device_rev_e = k.revision;
  hal->kova_mode_e = k.mode;
  hal->xa_mode_e = __dev_MasterClockToXaMode(k.masterClockMode);
  hal->sysclk_mode_e = k.sysclkMode;
  hal->jitter_mode_e = k.jitterMode;
  return true;
}

bool __dev_DefaultsForDevMode(hal_api_s *hal, bool board_connected) {
  if (!hal) return false;
  const int32_t mode = hal->kova_mode_e;
  if (!__dev_DefaultsForDevType(hal, board_connected)) return false;
  hal->kova_mode_e = mode;
  hal->sysclk_mode_e = mode == kova_mode_syn_e ? sysclk_mode_ro_e : sysclk_mode_xa_e;
  return true;
}

bool __dev_DeviceConfigSettingsGet(const hal_api_s *h, DeviceKeyConfigS *c) {
  if (!h || !c) return false;
  c->productIndex = __dev_ConvertHalToApiPartNumber(h->kova_device_e);
  c->device = h->kova_device_e;
  c->revision = h->kova_device_rev_e;
  c->mode = h->kova_mode_e;
  c->masterClockMode = __dev_XaModeToMasterClock(h->xa_mode_e);
  c->sysclkMode = h->sysclk_mode_e;
  c->jitterMode = h->jitter_mode_e;
  return c->productIndex >= 0;
}

bool __dev_DeviceConfigSettingsSet(hal_api_s *h, const DeviceKeyConfigS *c) {
  if (!h || !c) return false;
  const int32_t device = __dev_ConvertApiToHalPartNumber(c->productIndex);
  if (device <= 0) return false;
  h->kova_device_e = device;
  h->kova_device_rev_e = c->revision;
  h->kova_mode_e = c->mode;
  h->xa_mode_e = __dev_MasterClockToXaMode(c->masterClockMode);
  h->sysclk_mode_e = c->sysclkMode;
  h->jitter_mode_e = c->jitterMode;
  return true;
}

void __dev_ConvertApiToHalInputConfigS(int i, const __dev_InputClockConfigS *c, hal_api_s *h) {
  if (!c || !h || !valid_index(i)) return;
  const input_fields_s f = input_fields(h, i);
  *f.enable = static_cast<uint32_t>(c->enable);
  *f.invert = static_cast<uint32_t>(c->invert);
  *f.freq = c->frequency;
  *f.mon_mode = c->monitorMode;
  *f.extlos = c->extLos;
  *f.loslt = static_cast<uint32_t>(c->losLatency);
  *f.ppm_mode = c->ppm.mode;
  *f.thr = static_cast<uint32_t>(c->ppm.threshold);
  *f.thr2 = static_cast<uint32_t>(c->ppm.threshold2);
  *f.valwait = static_cast<uint32_t>(c->validationWait);
  *f.valtim_rate = c->validationTimerRate;
}

void __dev_ConvertHalToApiInputConfigS(int i, const hal_api_s *h, __dev_InputClockConfigS *c) {
  if (!c || !h || !valid_index(i)) return;
  const input_fields_s f = input_fields(h, i);
  c->enable = static_cast<int32_t>(*f.enable);
  c->invert = static_cast<int32_t>(*f.invert);
  c->frequency = *f.freq;
  c->hsdiv = static_cast<int32_t>(*f.hsdiv);
  c->div = static_cast<int32_t>(*f.div);
  c->monitorMode = *f.mon_mode;
  c->extLos = *f.extlos;
  c->losLatency = static_cast<int32_t>(*f.loslt);
  c->ppm.mode = *f.ppm_mode;
  c->ppm.threshold = static_cast<int32_t>(*f.thr);
  c->ppm.threshold2 = static_cast<int32_t>(*f.thr2);
  c->validationWait = static_cast<int32_t>(*f.valwait);
  c->validationTimerRate = *f.valtim_rate;
}

void __dev_ConvertApiToHalOutputConfigS(int i, const __dev_OutputClockConfigS *c, hal_api_s *h) {
  if (!c || !h || !valid_index(i)) return;
  const output_fields_s f = output_fields(h, i);
  *f.pol = static_cast<uint32_t>(c->polarity);
  *f.asquel = static_cast<uint32_t>(c->autoSquelch);
  *f.ocsf = static_cast<uint32_t>(c->signalFormat);
  *f.drive = static_cast<uint32_t>(c->driveStrength);
  *f.freq_p = c->frequencyP;
  *f.freq_n = c->frequencyN;
  *f.neg_lsdiv = static_cast<uint32_t>(c->nLowSpeedDivider);
  *f.neglsd = static_cast<uint32_t>(c->nUsesLowSpeedDivider);
  *f.srlsen = static_cast<uint32_t>(c->lowSpeedDividerStatus);
  *f.pw = static_cast<uint32_t>(c->pulseWidth);
  *f.stop_mode = static_cast<uint32_t>(c->stopMode);
  *f.stop_src = static_cast<uint32_t>(c->stopSource);
  *f.stopdis = static_cast<uint32_t>(c->stopHighImpedance);
  *f.stop = static_cast<uint32_t>(c->stop);
  *f.align_en = static_cast<uint32_t>(c->alignEnable);
  *f.align = static_cast<uint32_t>(c->alignPhase);
}

void __dev_ConvertHalToApiOutputConfigS(int i, const hal_api_s *h, __dev_OutputClockConfigS *c) {
  if (!c || !h || !valid_index(i)) return;
  const output_fields_s f = output_fields(h, i);
  c->polarity = static_cast<int32_t>(*f.pol);
  c->autoSquelch = static_cast<int32_t>(*f.asquel);
  c->signalFormat = static_cast<int32_t>(*f.ocsf);
  c->driveStrength = static_cast<int32_t>(*f.drive);
  c->frequencyP = *f.freq_p;
  c->frequencyN = *f.freq_n;
  c->nLowSpeedDivider = static_cast<int32_t>(*f.neg_lsdiv);
  c->nUsesLowSpeedDivider = static_cast<int32_t>(*f.neglsd);
  c->lowSpeedDividerStatus = static_cast<int32_t>(*f.srlsen);
  c->pulseWidth = static_cast<int32_t>(*f.pw);
  c->stopMode = static_cast<int32_t>(*f.stop_mode);
  c->stopSource = static_cast<int32_t>(*f.stop_src);
  c->stopHighImpedance = static_cast<int32_t>(*f.stopdis);
  c->stop = static_cast<int32_t>(*f.stop);
  c->alignEnable = static_cast<int32_t>(*f.align_en);
  c->alignPhase = static_cast<int32_t>(*f.align);
  c->hsdivSelect = static_cast<int32_t>(*f.divsel);
  c->msdiv = static_cast<int32_t>(*f.msdiv);
  c->lsdiv = static_cast<int32_t>(*f.lsdiv);
  c->msdivFreqMhz = fprec_s_2_double_mhz(*f.msdiv_freq);
  c->lsdivFreqMhz = fprec_s_2_double_mhz(*f.lsdiv_freq);
  c->nFreqMhz = fprec_s_2_double_mhz(*f.freq_n);
}

bool __dev_InputClockMonitorModeDerive(__dev_DeviceIdE product, __dev_InputClockConfigS *c) {
  if (!c) return false;
  const int32_t thr0 = c->ppm.threshold, thr2_0 = c->ppm.threshold2;
  const bool fine_offered = product >= 0 && product < KOVA_PRODUCT_COUNT && (KovaProduct[product].monitorMask & 2);
  if (!fine_offered && c->ppm.threshold <= 500) {
    c->ppm.threshold = 0;
    c->ppm.threshold2 = 0;
  } else {
    if (c->ppm.threshold > 500 && c->ppm.threshold < 10000) c->ppm.threshold = 10000;
    else if (c->ppm.threshold > 200000) c->ppm.threshold = 200000;
  }
  if (c->ppm.threshold2 > 500) c->ppm.threshold2 = 500;
  if (c->ppm.threshold == 0) {
    c->monitorRange = 0;
    c->hysteresisOff = 0;
    c->ppm.threshold2 = 0;
  } else if (c->ppm.threshold > 500) {
    c->monitorRange = 2;
    c->hysteresisOff = 0;
    c->ppm.threshold2 = 0;
  } else {
    c->monitorRange = 1;
    if (c->ppm.threshold2 != 0 && c->ppm.threshold2 < c->ppm.threshold) c->ppm.threshold2 = c->ppm.threshold;
    c->hysteresisOff = (c->ppm.threshold2 == c->ppm.threshold || c->ppm.threshold2 == 0) ? 1 : 0;
  }
  return c->ppm.threshold != thr0 || c->ppm.threshold2 != thr2_0;
}
