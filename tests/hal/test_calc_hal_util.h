// Shared helpers of the engine calculation tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hal/calc_expert.h"
#include "hal/calc_hal.h"
#include "hal/hal_regcalc.h"
#include "tests/hal_test_support.h"

namespace calc_test {

using kova_test::drain;
using kova_test::expect_fields;
using kova_test::Hal;
using kova_test::has_msg;
using kova_test::init_full;
using kova_test::set_fields;

inline bool any_error(const std::vector<std::string> &msgs) {
  for (const auto &m : msgs)
    if (m.find("ERROR") != std::string::npos) return true;
  return false;
}

inline fprec_s fp(uint32_t f, uint32_t n = 1, uint32_t m = 1) { return fprec_s{f, n, m}; }

}  // namespace calc_test
