// The frequency plan of a configuration, as text for people and as JSON for programs.
#pragma once
#include "hal/hal_api.h"

// Prints device and modes, the clock tree (VCO, HSDIVs, outputs with their dividers and
// achieved frequencies, PFD, input dividers, DSP rate).
void print_plan_text(const hal_api_s *hal);
