// A KX40112 in synthesis (XA 50 MHz, OC1 156.25 MHz, OC2 125 MHz, OC3 100 MHz or unused),
// initialised and calculated: the configuration the output solver tests start from. Its
// solver offers two VCO frequencies (3750 and 4062.5 MHz).
#pragma once
#include <gtest/gtest.h>

#include "app/device_settings.h"
#include "app/run_control.h"

inline void configure_synthesis(hal_api_s *h, bool oc3) {
  h->kova_device_e = kova_device_40112_e;
  __dev_DefaultsForDevType(h, false);
  h->kova_mode_e = kova_mode_syn_e;
  __dev_DefaultsForDevMode(h, false);
  h->init_api_mode_e = init_api_full_e;
  ASSERT_TRUE(HalStruct_Initialize(h));
  h->xa_freq_s = {50000000, 1, 1};
  h->oc1_freq_s = {156250000, 1, 1};
  h->oc2_freq_s = {125000000, 1, 1};
  if (oc3) h->oc3_freq_s = {100000000, 1, 1};
  ASSERT_TRUE(HalStruct_Recalculate(h));
}
