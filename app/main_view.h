// What the main window's block diagram shows of each block (XA, IC1 to IC3, DPLL, APLL,
// OC1 to OC3): its live frequency, whether it is in use and its state, read from the
// configuration object and the status registers of its image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "hal/hal_api.h"

enum main_block_e {
  main_block_xa_e,
  main_block_ic1_e,
  main_block_ic2_e,
  main_block_ic3_e,
  main_block_dpll_e,
  main_block_apll_e,
  main_block_oc1_e,
  main_block_oc2_e,
  main_block_oc3_e,
  main_block_count_e
};

// How a block is coloured: not in use, in use and good, in use and in a bad state.
enum main_block_state_e { main_block_off_e, main_block_good_e, main_block_bad_e };

struct main_block_view_s {
  std::string title;      // "IC1", "DPLL", or the XA pins' label of the mode
  std::string frequency;  // MHz with six decimals ("" when the block has none)
  std::string state;      // "VALID", "Tracking; Locked", "Disabled", ...
  std::string detail;     // a second line: offsets, the VCO, the output format
  main_block_state_e colour = main_block_off_e;
};

main_block_view_s main_block_view(const hal_api_s *hal, int block);

// Input n (0 to 2) is valid: bit 4n of VALSR2 x 256 + VALSR1 (0x04F, 0x04E) in the image.
bool main_input_valid(const hal_api_s *hal, int n);

// A frequency in MHz with the given decimals ("0.000000" when not set).
std::string main_mhz_text(const fprec_s &f, int decimals = 6);

// The frequency fields of each input and output, by index 0 to 2.
extern fprec_s hal_api_s::*const kMainIcFreq[3];
extern fprec_s hal_api_s::*const kMainOcFreq[3];
extern fprec_s hal_api_s::*const kMainOcNFreq[3];
extern uint32_t hal_api_s::*const kMainIcEnable[3];
extern uint32_t hal_api_s::*const kMainOcFormat[3];

struct hal_field_s;
// The fields of the configuration object that belong to a block, in the object's order
// (by their name: "ic2_", "mon2", "oc3", "dpll", "apll", ...).
std::vector<const hal_field_s *> main_block_fields(int block);
// A field's value as a person reads it: integers in decimal (and hexadecimal for register
// fields), doubles with their significant digits, frequencies as F x N / M Hz and MHz.
std::string main_field_text(const hal_api_s *hal, const hal_field_s *field);
