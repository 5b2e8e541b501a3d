// Status decode: the DPLL status read-back registers of a chip running in jitter
// attenuation turned into raw status words and offsets in ppm and nanoseconds.
//
// The decode works in two halves. get_statuses first names, one call at a time, the status
// registers it needs; the caller puts the chip's byte of each into the register image and
// calls again. The call after the last name decodes from the image and returns 0.
#pragma once
#include <cstdint>

struct hal_api_s;

// get_statuses_mode_es (field get_statuses_mode_e).
enum : int32_t {
  get_statuses_freq_phase_e = 0,  // frequency offset and phase only
  get_statuses_all_e = 1,         // every DPLL status value
  // any other value: decode from the image at once, without naming registers
};

// Number of registers named before the decode: mode 0 and mode 1.
constexpr uint32_t KOVA_STATUS_REGS_FREQ_PHASE = 8;
constexpr uint32_t KOVA_STATUS_REGS_ALL = 53;

// The next status register address to supply, or 0 when the decode has been done (or the
// chip is not in jitter attenuation, when nothing is decoded). Every address named lies in
// the status block 0x030 to 0x09F.
//
// The ppm offsets divide by the DPLL's nominal frequency word (dfreqz1_freqz_u40); while
// that word is 0 (no DCO configured) there is no nominal frequency to refer to and every
// ppm offset decodes as 0.0.
uint32_t get_statuses(hal_api_s *hal);

// The status register named at step `step` (0 to 52), or 0 past the list.
uint32_t get_statuses_address(uint32_t step);
