// Working storage of the output clock solver, held inside the HAL object so that a
// search allocates nothing.
#pragma once
#include <cstdint>

struct oc_solver_store_s {
  uint32_t reserved;
};
