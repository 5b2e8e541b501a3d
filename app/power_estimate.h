// Supply current and power estimate of the chip for the configuration its register image
// describes: per-block currents from the chip's IDD table, chosen by the enable and divider
// registers, summed per supply for the typical and the maximum figures. Reads the image only
// (get_reg), so it gives the same figures online and offline.
#pragma once
#include <cstdint>

#include "hal/hal_api.h"

// The four current accumulators, in this order everywhere (tables, results, chart).
enum power_column_e : int {
  power_typ_18_e = 0,  // 1.8 V typical
  power_typ_33_e = 1,  // 3.3 V typical
  power_max_18_e = 2,  // 1.8 V maximum
  power_max_33_e = 3,  // 3.3 V maximum
  power_columns_e = 4,
};

struct power_estimate_s {
  double current_ma[power_columns_e];  // per column
  double power_w[power_columns_e];     // per column; the maximum ones carry a 5 % supply margin
  double typical_total_w;
  double max_total_w;
};

// The estimate of the register image of hal (a null hal gives all zeros).
power_estimate_s powerUpdate(const hal_api_s *hal);

