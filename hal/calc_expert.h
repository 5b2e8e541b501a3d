// Expert calculation: turns the configuration's statement of modes, XA, input and output
// frequencies, DPLL and spread-spectrum settings into the frequency plan (internal clocks,
// DPLL master-clock range, input dividers, PFD, DSP rate and PFD divider, DCO, APLL input,
// VCO and output dividers), checked against the limits of the device and mode.
#pragma once
#include "hal/hal_api.h"

// Clears the message log and posts every message of the run; the run stopped at its first
// "ERROR" message (success is the absence of one).
void calc_expert(hal_api_s *hal);
