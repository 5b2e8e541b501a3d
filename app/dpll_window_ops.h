// The DPLL configuration window without its widgets: its typed and stepped fields with their
// units, ranges and conversions to the configuration object, the reference-switching choices,
// the "Lock" of the DSP rate, the status lines from the phase tables and the layout per device.
#pragma once
#include <cstdint>
#include <string>

#include "app/choice_texts.h"
#include "hal/hal_api.h"

// ---------------------------------------------------------------------------------------
// Typed fields (Enter applies, Escape reverts). The field shows field / factor with the
// given decimals; an entry between min and max (inclusive, in the shown unit) stores
// entry x factor, rounded to the nearest unit of the field.

struct dpll_text_field_s {
  const char *name;   // object name of the widget
  const char *label;
  uint32_t hal_api_s::*field;
  double factor;
  double min, max;
  int decimals;
  const char *tip;
};
constexpr int DPLL_TEXT_FIELD_COUNT = 7;
extern const dpll_text_field_s DPLL_TEXT_FIELDS[DPLL_TEXT_FIELD_COUNT];
const dpll_text_field_s *dpll_text_field(const std::string &name);

std::string dpll_text_shown(const dpll_text_field_s &f, const hal_api_s *h);
// The field value of a typed text; false (value untouched) when it is not a number in range.
bool dpll_text_value(const dpll_text_field_s &f, const std::string &text, uint32_t *value);

// ---------------------------------------------------------------------------------------
// Stepped fields (up-down controls): the field is shown value x factor. The phase adjust
// is signed and has three decimals; the frequency offset limit shows whole ppm of a field
// held in ppb.

struct dpll_number_field_s {
  const char *name;
  const char *label;
  double factor;
  double min, max, step;
  int decimals;
  int64_t (*get)(const hal_api_s *);
  void (*set)(hal_api_s *, int64_t);
};
constexpr int DPLL_NUMBER_FIELD_COUNT = 7;
extern const dpll_number_field_s DPLL_NUMBER_FIELDS[DPLL_NUMBER_FIELD_COUNT];
const dpll_number_field_s *dpll_number_field(const std::string &name);

double dpll_number_shown(const dpll_number_field_s &f, const hal_api_s *h);
// Stores a shown value (held to the field's range) into the object.
void dpll_number_store(const dpll_number_field_s &f, hal_api_s *h, double shown);

// ---------------------------------------------------------------------------------------
// Choices. Each list's position is the value stored.

enum dpll_choice_e {
  dpll_choice_feedback_e,   // icscr1_fbsel_u2: "Internal", IC1..IC3
  dpll_choice_pri1_e,       // ipr1_pri1_u2
  dpll_choice_pri2_e,       // ipr1_pri2_u2
  dpll_choice_pri3_e,       // ipr2_pri3_u2
  dpll_choice_holdover_e,   // ho_mode_e
  dpll_choice_hitless_e,    // hitless_mode_e
  dpll_choice_count_e
};
// The list with the object's value selected.
choice_list_s dpll_choice_list(dpll_choice_e which, const hal_api_s *h);
void dpll_choice_store(dpll_choice_e which, hal_api_s *h, int32_t position);

// External switching: GPIO0..GPIO3 (positions 0 to 3) switch on the external control from
// that pin; "Disabled" (4) switches it off and keeps the pin.
constexpr int32_t DPLL_EXT_SWITCH_DISABLED = 4;
int32_t dpll_ext_switch_position(const hal_api_s *h);
void dpll_ext_switch_store(hal_api_s *h, int32_t position);
// Which inputs the control signal's levels pick: IC1 or IC2, or IC3 or IC2 when IC1 is
// "Unavailable".
std::string dpll_ext_switch_label(const hal_api_s *h);

// "Lock" beside the DSP rate: holds the current PFD divider, or 0 when cleared.
void dpll_lock_store(hal_api_s *h, bool locked);

// ---------------------------------------------------------------------------------------
// Status lines and layout.

struct dpll_status_s {
  std::string selected;      // "Selected Reference:" from PTAB1 bits 1..0
  std::string priority1;     // PTAB1 bits 5..4
  std::string priority2;     // PTAB2 bits 1..0
  std::string holdover_ppm;  // three decimals
  std::string dsp_rate_hz;   // PFD frequency / PFD divider, two decimals; "-" without a divider
};
dpll_status_s dpll_status(const hal_api_s *h);

// The holdover, hitless switching and limit groups exist on every device but KX40112 and
// KX40113.
bool dpll_has_holdover_groups(int32_t device);
// The DPLL runs only in jitter attenuation; in the other modes the settings wait for it.
bool dpll_in_use(const hal_api_s *h);
