// Register calculation: turns the frequency plan of the expert calculation and the user's
// options into the register field values of hal_api_s (and a few derived frequencies and
// achieved values for display), ready for build_regs to pack into the register image.
#pragma once
#include <cstdint>
#include "hal/hal_api.h"

// Clears the message log, checks the mode snapshot and runs every block in the chip's
// order. Success is the absence of an "ERROR" message in the log afterwards.
void calc_hal(hal_api_s *hal);

// Working values that several blocks of one run share.
struct calc_hal_work_s {
  double dco_pfd_mhz;       // the DCO's PFD clock, MHz
  double dco_mhz;           // DCO frequency, MHz (0 in SYN)
  double dco_adj_mhz;       // DCO frequency corrected by the XA offset, MHz
  double apll_fbdiv_ratio;  // APLL feedback divider as a double
  double freqz_scale;       // 2^33 x feedback ratio x DCO / DCO PFD clock: frequency-word units
};

// The blocks, in the order calc_hal runs them. Each reads the fields the earlier blocks
// wrote; the ones returning bool return false when calc_hal must stop (after posting the
// error).

// Mode enables, XA pins, clock-tree frequencies, SCO reset and output enables (everything
// before the divider codes). Sets dco_pfd_mhz, dco_mhz and dco_adj_mhz.
bool calc_hal_clock_tree(hal_api_s *hal, calc_hal_work_s *work);
// Input HSDIV codes (SYN, JA) and input DIV codes (JA).
bool calc_ic_div_regs(hal_api_s *hal);
// Input monitors of IC1, IC2, IC3 (JA).
void calc_mon_regs(hal_api_s *hal);
// Output clock dividers, pulse widths, phase alignment and the alignment checks.
void calc_oc_regs(hal_api_s *hal);
// APLL: HSDIV codes, feedback divider, tuning and test-control bytes. Sets apll_fbdiv_ratio.
bool calc_apll_regs(hal_api_s *hal, calc_hal_work_s *work);
// freqz_scale and the DCO frequency word (NCO, SS, JA); DPLL feedback scale and divider (JA).
void calc_dco_regs(hal_api_s *hal, calc_hal_work_s *work);
// DPLL mode code by operating mode.
bool calc_dpll_mode_reg(hal_api_s *hal);
// PFD count and the two lock timeouts (JA).
void calc_lock_regs(hal_api_s *hal);
// Spread-spectrum step and count (SS).
void calc_ss_regs(hal_api_s *hal, const calc_hal_work_s *work);
// DPLL loop, holdover and limit words (JA).
void calc_dpll_loop_regs(hal_api_s *hal, const calc_hal_work_s *work);

// Pieces with a life of their own, exposed for the windows and for tests.

// Best split of t = x * 1e6 / ref into pcd (1 to 256) times ppd (1 to 1023) for a monitor:
// returns the absolute error of the product, or 1e6 with pcd = ppd = 0 when no split exists.
double mon_counter_split(double x, double ref, uint32_t *pcd, uint32_t *ppd);

// Lock timeout of `requested_ms` at `dsp_rate_hz`: the multiplier code (0 to 3, each step x16)
// and count (0 to 63), and the timeout they program, in ms. `out_of_range_msg` is posted
// when even the longest setting is too short.
struct lock_timeout_s {
  uint32_t code;
  uint32_t count;
  uint32_t programmed_ms;
};
lock_timeout_s calc_lock_timeout(hal_api_s *hal, uint32_t requested_ms, uint32_t dsp_rate_hz,
                                 double min_dsp_ratio, const char *count_name,
                                 const char *out_of_range_msg);

// APLL tuning byte for register 0x120 .. 0x12C (0xFFFFFFFF for any other address).
uint32_t apll_tuning_value(const hal_api_s *hal, bool fractional, uint32_t address);
