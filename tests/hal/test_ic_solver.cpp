// Input frequency solver: common PFD frequency, prime removal, input dividers, condition codes.
#include <gtest/gtest.h>

#include "tests/hal_test_support.h"

#include <string>
#include <vector>

#include "hal/hal_api.h"
#include "hal/ic_solver.h"

namespace {

using kova_test::expect_fields;

using kova_test::Hal;
using kova_test::drain;


// JA on device 40000 (XO 114.285 MHz), DPLL bandwidth 100 Hz, no jitter tolerance.
void init_ja(hal_api_s *h) {
  h->kova_device_e = kova_device_40000_e;
  h->kova_device_rev_e = 0;
  h->kova_mode_e = kova_mode_ja_e;
  h->xa_mode_e = xa_mode_xo_e;
  h->sysclk_mode_e = sysclk_mode_xa_e;
  h->init_api_mode_e = init_api_full_e;
  init_api(h);
  drain(h);
  h->dpll_bw_hz = 100;
}

bool hz_equal(fprec_s a, uint32_t hz) { return fprec_compare(a, fprec_s{hz, 1, 1}) == 0; }

TEST(IcSolver, TwoTelecomInputs) {
  Hal h;
  init_ja(h.get());
  set_fprec_s(&h->ic1_freq_s, 19440000, 1, 1);
  set_fprec_s(&h->ic2_freq_s, 25000000, 1, 1);
  EXPECT_EQ(kova_ic_solver(h.get()), 0u);
  expect_fields(h.get(), "ic1_hsdiv_u8=1 ic2_hsdiv_u8=1 ic1_div_u32=486 ic2_div_u32=625");
  EXPECT_TRUE(hz_equal(h->pfd_freq_s, 40000));
  // The unused input gets the largest dividers.
  expect_fields(h.get(), "ic3_hsdiv_u8=8 ic3_div_u32=1048576");
}

TEST(IcSolver, SmallerPrimesAreRemovedFirst) {
  Hal h;
  init_ja(h.get());
  set_fprec_s(&h->ic3_freq_s, 10000000, 1, 1);
  EXPECT_EQ(kova_ic_solver(h.get()), 0u);
  EXPECT_TRUE(hz_equal(h->pfd_freq_s, 625000));  // 10 MHz / 2^4, although 1 MHz would divide it
  expect_fields(h.get(), "ic3_div_u32=16 ic3_hsdiv_u8=1 ic1_div_u32=1048576");
}

TEST(IcSolver, BandwidthLimitIsComputedInDoubles) {
  // 100 x 0.000001 x 10000 is just below 1 MHz, so 1 MHz itself is above the limit.
  Hal h;
  init_ja(h.get());
  set_fprec_s(&h->ic1_freq_s, 1000000, 1, 1);
  EXPECT_EQ(kova_ic_solver(h.get()), 0u);
  EXPECT_TRUE(hz_equal(h->pfd_freq_s, 500000));
  EXPECT_EQ(h->ic1_div_u32, 2u);
  // With a locked DSP rate the bandwidth does not limit the PFD.
  Hal l;
  init_ja(l.get());
  set_fprec_s(&l->ic1_freq_s, 1000000, 1, 1);
  l->pfd_div_lock_u16 = 100;
  set_fprec_s(&l->pfd_freq_s, 1000000, 1, 1);
  EXPECT_EQ(kova_ic_solver(l.get()), 0u);
  EXPECT_TRUE(drain(l.get()).empty());
  EXPECT_EQ(l->ic1_div_u32, 1u);
}

TEST(IcSolver, JitterToleranceLowersThePfd) {
  Hal h;
  init_ja(h.get());
  set_fprec_s(&h->ic1_freq_s, 10000000, 1, 1);
  h->jitter_tol_ns_u16 = 2000;  // 1000 / 2000 / 1.2 = 0.4167 MHz
  EXPECT_EQ(kova_ic_solver(h.get()), 0u);
  EXPECT_TRUE(hz_equal(h->pfd_freq_s, 312500));
  EXPECT_EQ(h->ic1_div_u32, 32u);
}

TEST(IcSolver, NoCommonDivisorAboveOneKilohertz) {
  Hal h;
  init_ja(h.get());
  set_fprec_s(&h->ic1_freq_s, 10000001, 1, 1);
  set_fprec_s(&h->ic2_freq_s, 10000000, 1, 1);
  h->ic1_div_u32 = 7;
  set_fprec_s(&h->pfd_freq_s, 123, 1, 1);
  // 1 Hz is below 1 kHz, and the dividers would be 2^20 or more.
  EXPECT_EQ(kova_ic_solver(h.get()), IC_SOLVER_PFD_LOW | IC_SOLVER_DIV_RANGE);
  EXPECT_EQ(h->ic1_div_u32, 7u);  // nothing written
  EXPECT_TRUE(hz_equal(h->pfd_freq_s, 123));
}

TEST(IcSolver, HighInputsTakeTheirHsdiv) {
  Hal h;
  init_ja(h.get());
  set_fprec_s(&h->ic1_freq_s, 800000000, 1, 1);  // above 2 x 252.5 MHz, below 4 x
  set_fprec_s(&h->ic2_freq_s, 252500000, 1, 1);  // the limit with its 1 % allowance
  EXPECT_EQ(kova_ic_solver(h.get()), 0u);
  expect_fields(h.get(), "ic1_hsdiv_u8=4 ic2_hsdiv_u8=1");
  // HSDIV outputs 200 and 252.5 MHz: 2.5 MHz common, lowered to 625 kHz.
  EXPECT_TRUE(hz_equal(h->pfd_freq_s, 625000));
  expect_fields(h.get(), "ic1_div_u32=320 ic2_div_u32=404");
  set_fprec_s(&h->ic1_freq_s, 2100000000u, 1, 1);  // beyond 8 x the limit
  EXPECT_NE(kova_ic_solver(h.get()) & IC_SOLVER_IC_HIGH, 0u);
}

TEST(IcSolver, FractionalInputs) {
  // 622.08 MHz x 255 / 237 (FEC) and 155.52 MHz: HSDIV 4 and 1.
  Hal h;
  init_ja(h.get());
  set_fprec_s(&h->ic1_freq_s, 622080000, 255, 237);
  set_fprec_s(&h->ic2_freq_s, 155520000, 1, 1);
  EXPECT_EQ(kova_ic_solver(h.get()), 0u);
  EXPECT_EQ(h->ic1_hsdiv_u8, 4u);
  // Each input divided by its HSDIV and DIV gives the PFD exactly.
  fprec_s a = h->ic1_freq_s, b = h->ic2_freq_s;
  fprec_scale(&a, 1, static_cast<uint64_t>(h->ic1_hsdiv_u8) * h->ic1_div_u32);
  fprec_scale(&b, 1, static_cast<uint64_t>(h->ic2_hsdiv_u8) * h->ic2_div_u32);
  EXPECT_EQ(fprec_compare(a, h->pfd_freq_s), 0);
  EXPECT_EQ(fprec_compare(b, h->pfd_freq_s), 0);
  EXPECT_LE(fprec_s_2_double_mhz(h->pfd_freq_s), 1.0);
  // The record keeps IC1's base: {f, n / g, m x HSDIV x DIV / g}.
  EXPECT_EQ(h->pfd_freq_s.f, 622080000u);
}

TEST(IcSolver, LockedDspRateKeepsTheOldPfd) {
  Hal h;
  init_ja(h.get());
  set_fprec_s(&h->ic1_freq_s, 19440000, 1, 1);
  h->pfd_div_lock_u16 = 50;
  set_fprec_s(&h->pfd_freq_s, 1000000, 1, 1);
  EXPECT_EQ(kova_ic_solver(h.get()), 0u);
  const auto msgs = drain(h.get());
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0], "ERROR: DSP rate is locked and new PFD frequency is required: Unlock the DSP rate.");
  EXPECT_TRUE(hz_equal(h->pfd_freq_s, 1000000));
  EXPECT_EQ(h->ic1_div_u32, 32u);  // 19.44 MHz / 607.5 kHz: the dividers are written
}

TEST(IcSolver, DegenerateInputs) {
  Hal h;
  init_ja(h.get());
  // No input at all, or only inputs without a value (n or m of 0): no PFD frequency.
  EXPECT_EQ(kova_ic_solver(h.get()), IC_SOLVER_PFD_LOW);
  set_fprec_s(&h->ic1_freq_s, 10000000, 0, 1);
  set_fprec_s(&h->ic2_freq_s, 10000000, 1, 0);
  EXPECT_EQ(kova_ic_solver(h.get()), IC_SOLVER_PFD_LOW);
  // A valueless input beside a good one is ignored.
  set_fprec_s(&h->ic3_freq_s, 10000000, 1, 1);
  EXPECT_EQ(kova_ic_solver(h.get()), 0u);
  EXPECT_TRUE(hz_equal(h->pfd_freq_s, 625000));
  EXPECT_EQ(h->ic1_div_u32, 1048576u);
  // A denominator that overflows 32 bits once multiplied by the HSDIV.
  set_fprec_s(&h->ic3_freq_s, 4000000000u, 150000000, 536870913);
  EXPECT_NE(kova_ic_solver(h.get()) & IC_SOLVER_DEN_HSDIV, 0u);
}

TEST(IcSolver, LargePrimeFactorsAreQuick) {
  // A prime base near 2^32 makes the common divisor a large prime; factorising it must not
  // take a trial division over every smaller prime.
  Hal h;
  init_ja(h.get());
  set_fprec_s(&h->ic1_freq_s, 4294967291u, 1, 5);  // prime / 5 Hz = 858.99 MHz
  EXPECT_EQ(kova_ic_solver(h.get()), IC_SOLVER_PFD_LOW | IC_SOLVER_DIV_RANGE);
  set_fprec_s(&h->ic2_freq_s, 4294967279u, 1, 7);
  EXPECT_NE(kova_ic_solver(h.get()) & IC_SOLVER_PFD_LOW, 0u);
}

}  // namespace
