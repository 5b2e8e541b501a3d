// Output clock registers: MSDIV and LSDIV codes, the pulse width in MSDIV periods, the phase
// adjust that aligns outputs, and the checks of whether the requested alignment can work
// with the chosen dividers.
#include <cmath>
#include <cstdio>

#include "arith/fprec.h"
#include "hal/calc_hal.h"
#include "hal/calc_hal_views.h"
#include "hal/hal_regcalc.h"

namespace {

// Alignment classes of an output.
enum : int {
  kAlignNone = 0,    // not both enabled and aligned
  kAlignHsdiv = 1,   // aligned, taken straight from the HSDIV
  kAlignMsdiv = 2,   // aligned, MSDIV output
  kAlignLsdiv = 3,   // aligned, LSDIV output
};

bool aligned(const calc_oc_view_s &oc) { return *oc.align_en == 1 && *oc.msdiv > 1; }

int align_class(const calc_oc_view_s &oc) {
  if (!(*oc.ocen == 1 && *oc.align_en == 1)) return kAlignNone;
  if (*oc.msdiv <= 1) return kAlignHsdiv;
  return *oc.lssel != 1 ? kAlignMsdiv : kAlignLsdiv;
}

// Two MSDIVs whose ratio is 2^k (k = 0 to 7) keep their edges in step.
bool pow2_related(uint32_t a, uint32_t b) {
  const double r = a >= b ? static_cast<double>(a) / b : static_cast<double>(b) / a;
  const int64_t x = trunc_i64(1000.0 * r);
  if (x % 1000 != 0) return false;
  switch (x / 1000) {
    case 1: case 2: case 4: case 8: case 16: case 32: case 64: case 128: return true;
    default: return false;
  }
}

void pulse_width(hal_api_s *h, const calc_oc_view_s &oc, char *name, size_t name_len) {
  const double period = 1000.0 / fprec_s_2_double_mhz(*oc.msdiv_freq);
  int64_t count = 0;
  if (*oc.pw_ns != 0) {
    count = jround(*oc.pw_ns / period);
    if (count == 0) count = 1;
  }
  const uint32_t lsdiv = *oc.lsdiv;
  if (lsdiv > 1 && count > 0) {
    // The high time is counted in MSDIV periods and must leave the LSDIV period a low time.
    if (count >= lsdiv) count = static_cast<int64_t>(lsdiv) - 1;
    if (count < 1) count = 1;
    if (count > 255) count = 255;
    std::snprintf(name, name_len, "oc%ddc_ocdc_u8", oc.n);
    *oc.ocdc = static_cast<uint32_t>(int2reg(h, name, count, 8, 0));
    *oc.pw_ns_r = static_cast<double>(count) * period;
  } else if (oc.freq->f == 0) {
    *oc.ocdc = 0;
    *oc.pw_ns_r = 0.0;
  } else {
    if (lsdiv <= 1 && count > 0)
      put_msgf(h, "WARNING: IC%d pulse width setting not configured since lsdiv is not used", oc.n);
    *oc.ocdc = 0;
    const fprec_s &out = lsdiv > 1 ? *oc.lsdiv_freq : *oc.msdiv_freq;
    *oc.pw_ns_r = 0.5 * 1000.0 / fprec_s_2_double_mhz(out);
  }
}

void phase_align(hal_api_s *h, const calc_oc_view_s &oc, char *name, size_t name_len) {
  if (!aligned(oc)) {
    *oc.align_ns_r = 0.0;
    return;
  }
  const fprec_s &hs = *oc.divsel == 0 ? h->hsdiv1_freq_s : h->hsdiv2_freq_s;
  const double hsperiod = 1000.0 / fprec_s_2_double_mhz(hs);
  // The phase adjust counts half periods of the HSDIV clock.
  int64_t steps = jround((*oc.align_nsx10 / 10.0) / (hsperiod * 0.5));
  const int64_t m = static_cast<int64_t>(*oc.msdiv) - 1;
  const int64_t limit = (m % 2 != 0) ? (127 - m) / 2 : (128 - m) / 2;
  if (steps > limit) steps = limit;
  *oc.phen = 1;
  std::snprintf(name, name_len, "oc%dph_phadj_i8", oc.n);
  *oc.phadj = static_cast<int32_t>(int2reg(h, name, steps, 8, 1));
  *oc.align_ns_r = steps == 0 ? 0.0 : static_cast<double>(steps) * hsperiod * 0.5;
}

void alignment_checks(hal_api_s *h, const calc_oc_view_s oc[3]) {
  int cls[3];
  for (int i = 0; i < 3; ++i) cls[i] = align_class(oc[i]);
  bool mixed_sel = false, hsdiv_phase = false, hsdiv_mix = false;
  bool lsdiv_products = false, ls_ms_mix = false, lsdiv_phase = false;
  for (int i = 0; i < 3; ++i) {
    if (cls[i] == kAlignHsdiv && *oc[i].align_nsx10 != 0) hsdiv_phase = true;
    for (int j = i + 1; j < 3; ++j) {
      const int a = cls[i], b = cls[j];
      if (a != kAlignNone && b != kAlignNone && *oc[i].divsel != *oc[j].divsel) mixed_sel = true;
      if ((a == kAlignHsdiv && (b == kAlignMsdiv || b == kAlignLsdiv)) ||
          (b == kAlignHsdiv && (a == kAlignMsdiv || a == kAlignLsdiv)))
        hsdiv_mix = true;
      if (a == kAlignLsdiv && b == kAlignLsdiv) {
        const uint32_t pa = *oc[i].msdiv * *oc[i].lsdiv;
        const uint32_t pb = *oc[j].msdiv * *oc[j].lsdiv;
        if (!pow2_related(*oc[i].msdiv, *oc[j].msdiv) && pa != pb) lsdiv_products = true;
        if (*oc[i].align_nsx10 != *oc[j].align_nsx10) lsdiv_phase = true;
      }
      if (((a == kAlignMsdiv && b == kAlignLsdiv) || (a == kAlignLsdiv && b == kAlignMsdiv)) &&
          !pow2_related(*oc[i].msdiv, *oc[j].msdiv))
        ls_ms_mix = true;
    }
  }
  if (mixed_sel) put_msg(h, "WARNING: OO Align - Mixing different HSDIV selections");
  if (hsdiv_phase) put_msg(h, "WARNING: OO Align - HSDIV output has non-zero phase align");
  if (hsdiv_mix) put_msg(h, "WARNING: OO Align - Mixing HSDIV and non HSDIV outputs");
  if (lsdiv_products)
    put_msg(h, "WARNING: OO Align - LSDIV used on multiple outputs and MSDIV not 2^N and the MSDIV*LSDIV are not the same");
  if (ls_ms_mix) put_msg(h, "WARNING: OO Align - Mixing LSDIV and MSDIV outputs and MSDIV is not 2^N multiples");
  if (lsdiv_phase) put_msg(h, "WARNING: OO Align - LSDIV used on multiple outputs and phase align not the same");
}

}  // namespace

void calc_oc_regs(hal_api_s *h) {
  calc_oc_view_s oc[3] = {calc_oc_view(h, 1), calc_oc_view(h, 2), calc_oc_view(h, 3)};
  char name[32];
  for (int i = 0; i < 3; ++i) {
    std::snprintf(name, sizeof name, "oc%dcr1_msdiv_u7", oc[i].n);
    *oc[i].msdiv_code = static_cast<uint32_t>(real2reg(h, name, reg_minus1(*oc[i].msdiv), 7, 0));
    std::snprintf(name, sizeof name, "oc%ddiv1_lsdiv_u25", oc[i].n);
    *oc[i].lsdiv_code = static_cast<uint32_t>(real2reg(h, name, reg_minus1(*oc[i].lsdiv), 25, 0));
    pulse_width(h, oc[i], name, sizeof name);
    phase_align(h, oc[i], name, sizeof name);
  }

  // The alignment procedure of the chip runs when the aligned outputs call for it.
  int n_aligned = 0;
  for (int i = 0; i < 3; ++i) n_aligned += aligned(oc[i]) ? 1 : 0;
  if ((h->kova_device_rev_e == 0 && n_aligned == 3) || (h->kova_device_rev_e != 0 && n_aligned > 0)) {
    put_reg(h, 0x01B, 0x00);  // PACR1
    put_reg(h, 0x01C, 0x10);  // PACR2
  }
  alignment_checks(h, oc);
}
