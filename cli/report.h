// Output of the command-line tool: messages, fields as text, and the JSON object.
#pragma once
#include <string>
#include <vector>
#include <nlohmann/json.hpp>
#include "hal/hal_api.h"
#include "hal/hal_fields.h"

// Drains the message log in order.
std::vector<std::string> drain_messages(hal_api_s *hal);
// True when any message contains "ERROR": the stage failed.
bool messages_failed(const std::vector<std::string> &msgs);
// Every field of hal_api_s by name (fprec_s as [f, n, m]; the private object is left out).
nlohmann::ordered_json fields_json(const hal_api_s *hal);
// A frequency field (an fprec_s named *_freq_s; apll_fbdiv_s is a ratio, not a frequency).
bool hal_field_is_frequency(const hal_field_s *f);
// Every frequency field's value in hertz, by name: a number when it is a whole number of
// hertz, else the exact reduced ratio as "p/q"; null for a record with m = 0 (no frequency).
// [156250000, 24, 1] and [3750000000, 1, 1] both give 3750000000.
nlohmann::ordered_json hz_json(const hal_api_s *hal);
// One frequency record's exact value in hertz, as hz_json gives it.
nlohmann::ordered_json hz_value(fprec_s v);
// One field's value as readable text (a frequency also in MHz).
std::string field_text(const hal_api_s *hal, const hal_field_s *f);
