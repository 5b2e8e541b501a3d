// Shared helpers of the register calculation tests.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hal/calc_expert.h"
#include "hal/calc_hal.h"
#include "hal/hal_api.h"
#include "hal/hal_regcalc.h"
#include "tests/hal_test_support.h"

namespace calc_test {

using kova_test::Hal;
using kova_test::drain;
using kova_test::expect_fields;
using kova_test::set_fields;

inline void init_full(hal_api_s *h, int32_t device, int32_t mode, int32_t xa = xa_mode_xo_e, int32_t rev = 0) {
  h->kova_device_e = device;
  h->kova_device_rev_e = rev;
  h->kova_mode_e = mode;
  h->xa_mode_e = xa;
  h->sysclk_mode_e = mode == kova_mode_syn_e ? sysclk_mode_ro_e : sysclk_mode_xa_e;
  h->jitter_mode_e = 0;
  h->init_api_mode_e = init_api_full_e;
  init_api(h);
}


inline bool has_msg(const std::vector<std::string> &msgs, const std::string &text) {
  return std::find(msgs.begin(), msgs.end(), text) != msgs.end();
}

inline size_t count_msg(const std::vector<std::string> &msgs, const std::string &text) {
  return static_cast<size_t>(std::count(msgs.begin(), msgs.end(), text));
}

inline bool any_error(const std::vector<std::string> &msgs) {
  for (const auto &m : msgs)
    if (m.find("ERROR") != std::string::npos) return true;
  return false;
}

inline fprec_s fp(uint32_t f, uint32_t n = 1, uint32_t m = 1) { return fprec_s{f, n, m}; }

}  // namespace calc_test
