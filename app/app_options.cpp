#include "app/app_options.h"

namespace {
bool KOVA_CUSTOMER_VERSION = true;
bool KOVA_AUTO_RESET_DUT = true;
}  // namespace

void SuperUserModeSet(bool on) { KOVA_CUSTOMER_VERSION = !on; }
bool isInCustomerMode() { return KOVA_CUSTOMER_VERSION; }
void AutoResetDutOnConnect(bool on) { KOVA_AUTO_RESET_DUT = on; }
bool isAutoResetDutEnabled() { return KOVA_AUTO_RESET_DUT; }
