// Input frequency solver (jitter attenuation): the highest common PFD frequency that every
// used input reaches through its HSDIV (1, 2, 4, 8) and an integer DIV below 2^20, within the
// PFD limits, the DPLL bandwidth and the jitter tolerance.
#pragma once
#include <cstdint>
#include "hal/hal_api.h"

// Condition code flags; 0 means solved.
constexpr uint32_t IC_SOLVER_DEN_HSDIV = 0x001;    // an input's m x HSDIV does not fit in 32 bits
constexpr uint32_t IC_SOLVER_PFD_DEN = 0x002;      // the reduced PFD denominator does not fit in 32 bits
constexpr uint32_t IC_SOLVER_PFD_NUM = 0x004;      // the reduced PFD numerator does not fit / split
constexpr uint32_t IC_SOLVER_FACTOR = 0x008;       // a factorisation failed
constexpr uint32_t IC_SOLVER_DIV_FRACTION = 0x010; // an input's DIV is not an integer
constexpr uint32_t IC_SOLVER_DIV_RANGE = 0x020;    // an input's DIV is 2^20 or more
constexpr uint32_t IC_SOLVER_PRIME_REM = 0x040;    // a division by a prime factor left a remainder
constexpr uint32_t IC_SOLVER_OVERFLOW = 0x080;     // a 128-bit product overflowed
constexpr uint32_t IC_SOLVER_PFD_LOW = 0x100;      // the common PFD frequency is below the minimum
constexpr uint32_t IC_SOLVER_PFD_HIGH = 0x200;     // still above the PFD maximum after reduction
constexpr uint32_t IC_SOLVER_IC_HIGH = 0x400;      // an input is above 8 x the HSDIV limit

// Solves the inputs. Writes the input dividers and pfd_freq_s only when the code is 0; with a
// locked DSP rate a changed PFD posts an error and leaves pfd_freq_s unchanged (code 0).
// An input is used when its frequency record has a value (f, n and m all non-zero).
uint32_t kova_ic_solver(hal_api_s *hal);
