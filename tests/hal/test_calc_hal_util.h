// Shared helpers of the engine calculation tests, and one user configuration per operating
// mode as the application states them before the expert calculation.
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

// SYN, XO 125 MHz, three outputs (156.25, 125 and 25 MHz; OC3 with a 10 ns pulse width).
// Revision 1: no output alignment by default.
inline void cfg_syn(hal_api_s *h) {
  init_full(h, 40000, kova_mode_syn_e, xa_mode_xo_e, 1);
  set_fields(h, "oc1_freq_s=156250000 oc2_freq_s=125000000 oc3_freq_s=25000000 oc3_pw_ns_u16=10");
}

// NCO, XO 100 MHz (DCO 96.5 MHz), one 100 MHz output.
inline void cfg_nco(hal_api_s *h) {
  init_full(h, 40000, kova_mode_nco_e, xa_mode_xo_e, 1);
  h->oc1_freq_s = fp(100000000);
}

// SS, XO 100 MHz, the default down spread of 0.5 % at 30 kHz, outputs 100 and 50 MHz.
inline void cfg_ss(hal_api_s *h) {
  init_full(h, 40000, kova_mode_ss_e, xa_mode_xo_e, 1);
  set_fields(h, "oc1_freq_s=100000000 oc2_freq_s=50000000");
}

// JA, XO 114.285 MHz, IC1 10 MHz (plain PPM monitor) and IC2 25 MHz (accur_lo), outputs
// 156.25 and 100 MHz, the default 50 Hz loop with lock timeouts, holdover averaging and a
// phase-slope limit.
inline void cfg_ja(hal_api_s *h) {
  init_full(h, 40000, kova_mode_ja_e, xa_mode_xo_e, 1);
  set_fields(h, "ic1_freq_s=10000000 ic2_freq_s=25000000 icen_ic1en_u1=1 icen_ic2en_u1=1 oc1_freq_s=156250000 "
                "oc2_freq_s=100000000 ic2_mon_ppm_mode_e=0 phlkto_ms=100 lkato_ms=1000 hoavgto_us=1500 "
                "pslim_ns_sec=1000");
}

// The expert calculation and the register calculation; the messages of both.
inline std::vector<std::string> recalc(hal_api_s *h) {
  calc_expert(h);
  std::vector<std::string> msgs = drain(h);
  calc_hal(h);
  for (auto &m : drain(h)) msgs.push_back(m);
  return msgs;
}

}  // namespace calc_test
