// How typed text becomes an exact frequency: the plain MHz entry, the calculator's base,
// numerator and denominator (with factoring of bases above 32 bits), the rule that an
// output's N frequency divides its P frequency, and the character filters of the fields.
#pragma once
#include <cstdint>
#include <string>
#include "arith/fprec.h"

constexpr double KOVA_FREQ_MAX_MHZ = 100000.0;

// The record's MHz value.
double FrequencyTextBox_Calculate(uint32_t f, uint32_t n, uint32_t m);

// Parses text as a double and accepts it when it lies strictly between min and max, or
// (inclusive) equals one of them; then *value is updated. Returns whether it was accepted.
bool DoubleTextBox_Validate(const std::string &text, double min, double max, bool inclusive, double *value);
// The field text for a value: fixed with the given number of decimals ("F6" is 6).
std::string DoubleTextBox_Format(double value, int decimals);

// A typed MHz value (0 to 100000 inclusive) as {truncate(MHz x 1000000), 1, 1}. False when
// the text is not a number in range (the record is then unchanged).
bool frequency_from_mhz_text(const std::string &text, fprec_s *out);

// The calculator's working triple.
struct freq_calc_s {
  uint32_t base_hz;
  uint32_t numerator;
  uint32_t denominator;
};

// Enters a base in MHz (0 to 100000 inclusive). Bases above 4294.967295 MHz are factored:
// common factors 10, 2, 3, 5 leave base and denominator first, then factors move from the
// base into the numerator. False when the text is refused.
bool freq_calc_set_base(freq_calc_s *calc, const std::string &mhz_text);

// Result of a numerator or denominator entry ("4 * 25").
struct freq_scrub_s {
  bool accepted;
  uint32_t value;      // the product
  std::string text;    // the field rewritten as "4 * 25"
  std::string error;   // "Unknown Component value", "Multiple Overflow", "Component multiple == 0", or empty
};
freq_scrub_s FreqMultDivText_Scrub(const std::string &text);

// A pasted tab-separated "base<TAB>numerator<TAB>denominator", taken numerator, denominator,
// then base (whose factoring multiplies into them). False when a field is refused (the
// fields taken before it stay applied).
bool freq_calc_paste(freq_calc_s *calc, const std::string &text, std::string *error);

// The integer divider from P to N (both MHz), or 0 when N does not divide P.
uint32_t isMultiple(double p_mhz, double n_mhz);

// Character filters of the entry fields. current is the field's text, selected_all whether
// the whole text is selected (the typed character replaces it). Backspace is always allowed.
enum freq_field_kind_e { field_frequency_e, field_multdiv_e, field_hex_e, field_signed_e, field_whole_e };
bool entry_char_allowed(freq_field_kind_e kind, char c, const std::string &current, bool selected_all);
