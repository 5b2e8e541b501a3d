// The configuration derived from register values, as kovacfg inverse and readback print it.
#pragma once
#include <string>
#include "hal/hal_api.h"

// The help of --known, the same for inverse and readback.
constexpr const char *kKnownHelp =
    "CLOCK=HZ: a clock frequency known on the chip, in Hz (F or F,N,M) or with a unit (19.44MHz); CLOCK is "
    "XA, IC1 .. IC3, OC1 .. OC3 or its field name (xa_freq_s, ic1_freq_s .. oc3_freq_s)";

// --known FIELD=HZ: a clock field (or its clock name, XA, IC1 .. OC3) and its frequency in Hz
// ("F" or "F,N,M", or with a unit such as "19.44MHz"). False with *why set (naming --known)
// when the text is refused.
bool cli_apply_known(const std::string &text, hal_api_s *hal, std::string *why);
// Prints device, modes, frequencies with their dividers, and the settings in user units.
void cli_print_configuration(const hal_api_s *h);
// Runs inverse_cfg on the register image (with the known frequencies already set), then
// init_api mode 2, and prints the configuration (or the JSON object). no_known: no --known
// was given, so a derivation that lacks a frequency says how to give one. The exit status.
int cli_derive_and_report(hal_api_s *hal, bool json, bool no_known);
