// Working storage of the output clock solver, held inside the HAL object so that a
// search allocates nothing. The tables keep the result of the last search: the solver
// window lists its alternatives from them, and copy_api copies them with the HAL object.
// Records refer to each other by index (never by pointer) so that a byte copy stays valid.
#pragma once
#include <cstdint>
#include "arith/fprec.h"

constexpr uint32_t OC_SOLVER_MAX_OPTIONS = 10000;  // option records per search
constexpr uint32_t OC_SOLVER_MAX_SETS = 100;       // solution sets per search
constexpr uint32_t OC_SOLVER_SET_OPTIONS = 100;    // option references per set
constexpr uint32_t OC_SOLVER_SET_ENTRIES = 100;    // alignment entries per set
constexpr int32_t OC_SOLVER_NONE = -1;             // no option / no set

// One way to produce one output at one VCO frequency (eighteen 32-bit words).
struct oc_option_s {
  fprec_s vco;            // VCO frequency
  uint32_t output;        // output number 1 to 3
  uint32_t rank;          // 1 for the highest requested frequency, then 2, 3
  fprec_s freq;           // requested output frequency
  uint64_t total_div_x2;  // VCO / output frequency, in half steps
  uint32_t lsdiv;         // low-speed divider
  uint32_t msdiv;         // medium-speed divider
  uint32_t hsdiv_x2;      // high-speed divider in half steps (8 to 30)
  uint32_t jweight;       // jitter weight
  uint32_t fweight;       // feature weight (pulse width)
  uint32_t valid;         // 1 while the option may be used
  uint32_t total;         // min(jweight + fweight, 10000)
  uint32_t spare;
};
static_assert(sizeof(oc_option_s) == 18 * sizeof(uint32_t));

// A set of outputs that may be aligned together: weight and the option chosen per output.
struct oc_align_entry_s {
  uint32_t weight;
  int32_t opt[3];  // option index for OC1, OC2, OC3, or OC_SOLVER_NONE
};

// One VCO frequency with one HSDIV pair, and the options that fit it.
struct oc_solution_s {
  fprec_s vco;
  uint32_t hsdiv1_x2;
  uint32_t hsdiv2_x2;  // 0 when the set uses HSDIV1 only
  uint16_t opt[OC_SOLVER_SET_OPTIONS];  // option indexes, in the order taken
  uint32_t opt_count;
  uint32_t valid;  // 1 when every used output has at least one valid option in the set
  oc_align_entry_s entry[OC_SOLVER_SET_ENTRIES];
  uint32_t entry_count;
  uint32_t weight;
  int32_t best[3];  // option chosen for OC1, OC2, OC3, or OC_SOLVER_NONE
  // Per output: bit 0 the set holds an option of it on HSDIV1, bit 1 on HSDIV2, bit 2 any.
  uint8_t holds[3];
};

struct oc_solver_store_s {
  oc_option_s options[OC_SOLVER_MAX_OPTIONS];
  oc_solution_s sets[OC_SOLVER_MAX_SETS];
  uint32_t option_count;
  uint32_t set_count;
  int32_t best_set;  // index of the best set, OC_SOLVER_NONE before a search finds one
};
