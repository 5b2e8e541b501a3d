// The configuration derived from register values, as kovacfg inverse and readback print it.
#pragma once
#include <string>
#include "hal/hal_api.h"

// --known FIELD=HZ: a clock field (or its clock name, XA, IC1 .. OC3) and its frequency in Hz
// ("F" or "F,N,M"). False with *why set (naming --known) when the text is refused.
bool cli_apply_known(const std::string &text, hal_api_s *hal, std::string *why);
// Prints device, modes, frequencies with their dividers, and the settings in user units.
void cli_print_configuration(const hal_api_s *h);
// Runs inverse_cfg on the register image (with the known frequencies already set), then
// init_api mode 2, and prints the configuration (or the JSON object). The exit status.
int cli_derive_and_report(hal_api_s *hal, bool json);
