// Inverse configuration: a configuration rebuilt from register values.
//
// Given a register image read from a chip or loaded from a dump, and at least one known
// clock frequency (xa_freq_s, ic1_freq_s .. ic3_freq_s or oc1_freq_s .. oc3_freq_s with a
// non-zero f), inverse_cfg fills every register field from the image, recognises device,
// revision, operating mode and XA mode, rebuilds the divider plan, the frequencies and the
// user-level settings (DPLL loop, holdover, lock and limit settings, input monitors, spread
// spectrum, output pulse widths and alignment), marks whether the APLL test registers hold
// their computed values, and checks whether the automatic output solver chooses the chip's
// dividers (oc_solver_mode_e 0) or the dividers must stay as read (2).
//
// Run init_api mode 1 before it (a blank object; then load the image and set the known
// frequency) and init_api mode 2 after it.
#pragma once
#include <cstdint>

#include "arith/fprec.h"

struct hal_api_s;

// 0 on success; 1 when a step failed, after posting its message. Fields set by the steps
// before a failure keep their new values.
int32_t inverse_cfg(hal_api_s *hal);

// The steps of inverse_cfg, in its order, for the windows and the tests.

// Every register field that build_regs packs, read back from the same bits, zero-extended.
// The mode-dependent DPLL registers follow DPLLCR1 MODE as read, the monitor registers
// CR3, CR7 to CR9 the monitor's PCEN bit as read.
void inverse_regs_to_fields(hal_api_s *hal);
// Device and revision from ID1/ID2, operating mode from PLLEN and DPLLCR1, XA mode and
// system clock from MCR1. 1 after posting the error.
int32_t inverse_detect_modes(hal_api_s *hal);
// Dividers of the plan from their register codes.
void inverse_divider_plan(hal_api_s *hal);
// Frequencies of the detected mode from one known frequency (kept, in the order IC1, IC2,
// IC3, XA, OC1, OC2, OC3), with the spread-spectrum settings of SS. *xa_flag is set when the
// frequencies had to be rebuilt from XA through rounded words. 1 after posting the error.
int32_t inverse_frequencies(hal_api_s *hal, const fprec_s kept[7], bool *xa_flag);
// Rebuilt frequencies expressed as the user stated them (kept), as integers, or against a
// reference frequency.
void inverse_reconcile(hal_api_s *hal, const fprec_s kept[7], bool xa_flag);
// Settings in user units: the DPLL loop, holdover, lock and limit settings and the input
// monitor settings of JA, the output pulse widths and alignment. They are read on the
// frequencies as reconciled, which the next calculation starts from. 1 after posting the
// DPLL mode error.
int32_t inverse_settings(hal_api_s *hal);
// auto_apll_disable = 1 when 0x120 .. 0x12C differ from the register calculation's values.
void inverse_apll_test_check(hal_api_s *hal);
// Runs the calculation on a copy with the automatic output solver. 1 (with the copy's errors
// posted) when the rebuilt configuration does not calculate.
int32_t inverse_solver_check(hal_api_s *hal);

// Settings in user units (inverse_cfg_ja.cpp).

// DSP rate, DPLL and holdover modes, holdover, lock and limit settings, damping and
// bandwidth from the DPLL registers. 1 after posting the mode error.
int32_t inverse_dpll_settings(hal_api_s *hal);
// Monitor mode, PPM mode, LOS selection, thresholds and validation wait of input n (1 to 3)
// from its monitor registers and monitor clocks.
void inverse_monitor_settings(hal_api_s *hal, int n);
