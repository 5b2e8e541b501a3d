// The APLL windows without their widgets: the phase step of one eighth of a VCO period, the
// increment and decrement sources and buttons, the high-speed dividers as shown, and the
// APLL's analog tuning and test registers DCO1 to PLLTCR12 (0x120 to 0x12C).
#pragma once
#include <cstdint>
#include <string>

#include "app/choice_texts.h"
#include "hal/hal_api.h"

// One eighth of a VCO period in ps; 0 without a VCO frequency.
double apll_phase_step_ps(fprec_s vco);
// "31.250 ps"; "-" without a VCO frequency.
std::string apll_phase_step_text(fprec_s vco);
// HSDIV1 (which 1) or HSDIV2 (2), held times two, shown halved with one decimal ("7.5");
// HSDIV2 reads "OFF" while it is not enabled.
std::string apll_hsdiv_text(const hal_api_s *h, int which);

// Phase increment and decrement sources: the window's button (0) or GPIO0 to GPIO3 (1 to 4).
choice_list_s apll_phase_source_list(bool increment, uint32_t source);
// A button acts only while its source is the button.
inline bool apll_button_source(uint32_t source) { return source == 0; }
// One click of "Increment" or "Decrement": the bit the chip reacts to changes.
void apll_phase_click(hal_api_s *h, bool increment);

// The analog tuning and test registers, one byte each, held in the object so that the
// register calculation carries them into the image.
struct apll_test_reg_s {
  uint32_t address;
  const char *name;
  uint32_t hal_api_s::*field;
};
constexpr int APLL_TEST_REG_COUNT = 13;
extern const apll_test_reg_s APLL_TEST_REGS[APLL_TEST_REG_COUNT];

// Parses a byte typed in hexadecimal ("5A", "5a", one or two digits); false for anything else.
bool apll_test_parse(const std::string &text, uint32_t *value);
// A user's value for one register: the calculation stops choosing the tuning values (it
// would put its own back at the next recalculation) and the image takes the byte at once,
// also when building of these registers is switched off.
void apll_test_store(hal_api_s *h, int index, uint32_t value);
// Back to the tuning values the calculation chooses for the configuration.
void apll_test_automatic(hal_api_s *h, bool automatic);
