// Output clock solver: finds every VCO frequency and HSDIV1/HSDIV2 pair that produces all
// requested output frequencies exactly through integer MSDIV and LSDIV dividers, weighs
// every divider choice, picks the lightest solution and keeps the whole table so that the
// alternatives can be listed and chosen.
#pragma once
#include <cstdint>
#include "hal/hal_api.h"

// Search flags.
constexpr uint32_t OC_SOLVER_FLAG_REMAINDER = 0x4;  // an exact division left a remainder
constexpr uint32_t OC_SOLVER_FLAG_OVERFLOW = 0x8;   // a 128-bit product (or a frequency word) overflowed

// The selection lists of get_oc_solver.
enum oc_solver_param_sel_es : int32_t {
  oc_solver_sel_vco_e = 0,        // distinct VCO frequencies (fprec_s)
  oc_solver_sel_hsdiv1_e = 1,     // HSDIV1 x2 values at the selected VCO
  oc_solver_sel_hsdiv2_e = 2,     // HSDIV2 x2 values at the selected VCO and HSDIV1
  oc_solver_sel_oc1_hsdiv_e = 3,  // which HSDIV (1 or 2) OC1's options use in the selected set
  oc_solver_sel_oc1_msdiv_e = 4,
  oc_solver_sel_oc1_lsdiv_e = 5,
  oc_solver_sel_oc2_hsdiv_e = 6,
  oc_solver_sel_oc2_msdiv_e = 7,
  oc_solver_sel_oc2_lsdiv_e = 8,
  oc_solver_sel_oc3_hsdiv_e = 9,
  oc_solver_sel_oc3_msdiv_e = 10,
  oc_solver_sel_oc3_lsdiv_e = 11,
  oc_solver_sel_oc1_jweight_e = 12,
  oc_solver_sel_oc1_fweight_e = 13,
  oc_solver_sel_oc2_jweight_e = 14,
  oc_solver_sel_oc2_fweight_e = 15,
  oc_solver_sel_oc3_jweight_e = 16,
  oc_solver_sel_oc3_fweight_e = 17,
};

// The HSDIV x2 candidates in the order they are tried: 4 to 8 in half steps, then 9 to 15.
constexpr uint32_t OC_SOLVER_HSDIV_X2[16] = {8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 20, 22, 24, 26, 28, 30};

// Runs the search into the HAL object's solver tables and posts its own error messages.
// Returns the search flags (0 also when no valid set was found).
uint32_t oc_solver_search(hal_api_s *hal);

// Automatic solver: searches and applies the best set to the divider fields, posting the
// solution listing. 0 on success or when there is nothing to solve, 1 after a math error.
int32_t oc_solver_auto(hal_api_s *hal);

// Records in the oc_solver_*_index fields the position of the chosen solution in the lists
// that get_oc_solver returns. A value not found leaves its index unchanged.
void oc_solver_set_indexes(hal_api_s *hal);

// Entry `index` of list `sel` of the last search, written to `out` (fprec_s for the VCO list,
// uint32_t otherwise). 0 when the entry exists, 1 otherwise (out unchanged).
int32_t get_oc_solver(hal_api_s *hal, oc_solver_param_sel_es sel, int32_t index, void *out);
