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
// One field's value as readable text (a frequency also in MHz).
std::string field_text(const hal_api_s *hal, const hal_field_s *f);
