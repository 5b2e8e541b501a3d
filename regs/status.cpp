#include "regs/status.h"

#include "arith/fprec.h"
#include "hal/hal_api.h"
#include "hal/hal_obj.h"
#include "regs/seq.h"

namespace {

// The status registers in the order they are named: frequency offset and phase first (both
// modes), then the rest of the DPLL status block (mode 1 only).
struct addr_range_s {
  uint16_t first;
  uint16_t last;
};

constexpr addr_range_s kStatusRanges[] = {
    {0x065, 0x068}, {0x07D, 0x080},                  // FREQ, PHASE
    {0x05D, 0x064}, {0x069, 0x073}, {0x075, 0x07A},  // LFINT, timers and accumulators
    {0x095, 0x098}, {0x081, 0x084}, {0x089, 0x094},  // HOOFFSET, PFIXOFF, FCHOFF..PROP
};

// Bytes count..1 of the image from `address` on, least significant first, zero-extended.
uint64_t image_le(const hal_api_s *hal, uint32_t address, uint32_t count) {
  uint64_t v = 0;
  for (uint32_t i = count; i-- > 0;) v = (v << 8) | (get_reg(hal, address + i) & 0xFFu);
  return v;
}

int32_t image_i32(const hal_api_s *hal, uint32_t address) {
  return static_cast<int32_t>(static_cast<uint32_t>(image_le(hal, address, 4)));
}

// Offset in ppm of a raw frequency value against the nominal word z: with x = raw x 1e6 / z,
// x - 1e-6 x^2 (the second-order term of the relative offset). No nominal word, no offset.
double ppm_of(double raw, double z) {
  if (z == 0.0) return 0.0;
  const double x = raw * 1e6 / z;
  return x - 1e-6 * x * x;
}

void decode(hal_api_s *hal, int32_t mode) {
  hal->freqoff_rw_i32_0 = image_i32(hal, 0x065);
  hal->phase_ns_rw_32_10 = image_i32(hal, 0x07D);
  if (mode == get_statuses_all_e) {
    hal->lfint_rw_i64_22 = static_cast<int64_t>(image_le(hal, 0x05D, 8));
    hal->hotimer_rw_u16_0 = static_cast<uint32_t>(image_le(hal, 0x069, 2));
    hal->pfixtimer_rw_u16_0 = static_cast<uint32_t>(image_le(hal, 0x06B, 2));
    // The 48-bit accumulators are zero-extended: a set top bit does not make them negative.
    hal->pfixavgacc_rw_s48_x = static_cast<int64_t>(image_le(hal, 0x06D, 6));
    hal->loltimer_rw_s8_0 = static_cast<int32_t>(image_le(hal, 0x073, 1));
    hal->hoavgacc_rw_s48_x = static_cast<int64_t>(image_le(hal, 0x075, 6));
    hal->hooffset_rw_s32_0 = image_i32(hal, 0x095);
    hal->pfixoff_rw_s32_10 = image_i32(hal, 0x081);
    hal->fchoff_rw_32_0 = image_i32(hal, 0x089);
    hal->pslim_ns_rw_32_10 = image_i32(hal, 0x08D);
    hal->prop_rw_32_0 = image_i32(hal, 0x091);
  }

  const double z = uint64x_2_double(hal->dfreqz1_freqz_u40);
  hal->output_freq_offset_ppm_r = ppm_of(hal->freqoff_rw_i32_0, z);
  hal->input_phase_offset_ns_r = hal->phase_ns_rw_32_10 / 1024.0;
  if (mode == get_statuses_all_e) {
    hal->dpll_lfint_offset_ppm_r = ppm_of(static_cast<double>(hal->lfint_rw_i64_22) / 4194304.0, z);
    hal->dpll_lfprop_offset_ppm_r = ppm_of(hal->prop_rw_32_0, z);
    hal->ho_freq_offset_ppm_r = ppm_of(hal->hooffset_rw_s32_0, z);
    hal->fchlim_freq_offset_ppm_r = ppm_of(hal->fchoff_rw_32_0, z);
    hal->pfix_phase_offset_ns_r = hal->pfixoff_rw_s32_10 / 1024.0;
    hal->pslim_input_phase_ns_r = hal->pslim_ns_rw_32_10 / 1024.0;
  } else {
    hal->dpll_lfint_offset_ppm_r = 0.0;
    hal->dpll_lfprop_offset_ppm_r = 0.0;
    hal->ho_freq_offset_ppm_r = 0.0;
    hal->fchlim_freq_offset_ppm_r = 0.0;
    hal->pfix_phase_offset_ns_r = 0.0;
    hal->pslim_input_phase_ns_r = 0.0;
  }
}

}  // namespace

uint32_t get_statuses_address(uint32_t step) {
  for (const addr_range_s &r : kStatusRanges) {
    const uint32_t n = static_cast<uint32_t>(r.last - r.first) + 1u;
    if (step < n) return r.first + step;
    step -= n;
  }
  return 0;
}

uint32_t get_statuses(hal_api_s *hal) {
  hal_obj_s *obj = hal_obj(hal);
  if (!obj || hal->kova_mode_e != kova_mode_ja_e) return 0;
  uint32_t &step = obj->seq[seq_status_w];
  const int32_t mode = hal->get_statuses_mode_e;
  if (mode == get_statuses_freq_phase_e || mode == get_statuses_all_e) {
    const uint32_t count = mode == get_statuses_all_e ? KOVA_STATUS_REGS_ALL : KOVA_STATUS_REGS_FREQ_PHASE;
    if (step < count) return get_statuses_address(step++);
  }
  step = 0;
  decode(hal, mode);
  return 0;
}
