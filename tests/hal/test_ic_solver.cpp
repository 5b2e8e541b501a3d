// Input frequency solver: common PFD frequency, prime removal, input dividers, condition codes.
#include "hal/ic_solver.h"
#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// JA on device 40000 (XO 114.285 MHz), DPLL bandwidth 100 Hz, no jitter tolerance; then the
// case's inputs and settings. Unused inputs get the largest dividers.
TEST(IcSolver, CommonPfdAndDividers) {
  const struct { const char *name, *set; uint32_t rc; const char *want, *msg; } cases[] = {
      {"telecom", "ic1_freq_s=19440000 ic2_freq_s=25000000", 0,
       "ic1_hsdiv_u8=1 ic2_hsdiv_u8=1 ic1_div_u32=486 ic2_div_u32=625 pfd_freq_s=19440000,1,486 ic3_hsdiv_u8=8 ic3_div_u32=1048576", nullptr},
      // 10 MHz / 2^4, although 1 MHz would divide it: smaller primes are removed first.
      {"primes", "ic3_freq_s=10000000", 0, "pfd_freq_s=10000000,1,16 ic3_div_u32=16 ic3_hsdiv_u8=1 ic1_div_u32=1048576", nullptr},
      // 100 x 0.000001 x 10000 is just below 1 MHz, so 1 MHz itself is above the limit...
      {"bandwidth", "ic1_freq_s=1000000", 0, "pfd_freq_s=1000000,1,2 ic1_div_u32=2", nullptr},
      // ...unless the DSP rate is locked.
      {"locked", "ic1_freq_s=1000000 pfd_div_lock_u16=100 pfd_freq_s=1000000", 0, "ic1_div_u32=1", nullptr},
      // A locked rate needing a new PFD keeps the old one and writes the dividers.
      {"locked new", "ic1_freq_s=19440000 pfd_div_lock_u16=50 pfd_freq_s=1000000", 0, "pfd_freq_s=1000000 ic1_div_u32=32",
       "ERROR: DSP rate is locked and new PFD frequency is required: Unlock the DSP rate."},
      // 156.25 MHz = 2^4 x 5^10: every 2 removed, then 5s until below the limit.
      {"2s then 5s", "ic1_freq_s=156250000", 0, "pfd_freq_s=156250000,1,400 ic1_div_u32=400", nullptr},
      {"jitter", "ic1_freq_s=10000000 jitter_tol_ns_u16=2000", 0, "pfd_freq_s=10000000,1,32 ic1_div_u32=32", nullptr},  // 1000 / 2000 / 1.2 MHz
      // 1 Hz is below 1 kHz, and the dividers would be 2^20 or more: nothing written.
      {"no common", "ic1_freq_s=10000001 ic2_freq_s=10000000 ic1_div_u32=7 pfd_freq_s=123",
       IC_SOLVER_PFD_LOW | IC_SOLVER_DIV_RANGE, "ic1_div_u32=7 pfd_freq_s=123", nullptr},
      // 800 MHz: above 2 x 252.5 MHz, below 4 x; 252.5 MHz: the limit with its 1 % allowance.
      // HSDIV outputs 200 and 252.5 MHz: 2.5 MHz common, lowered to 625 kHz.
      {"high", "ic1_freq_s=800000000 ic2_freq_s=252500000", 0,
       "ic1_hsdiv_u8=4 ic2_hsdiv_u8=1 pfd_freq_s=800000000,1,1280 ic1_div_u32=320 ic2_div_u32=404", nullptr},
      {"too high", "ic1_freq_s=2100000000", IC_SOLVER_IC_HIGH, "", nullptr},
      // A PFD numerator of exactly 2^32 - 1 still fits its word: it is not divided further.
      {"2^32 - 1", "ic1_freq_s=4294967295,1,5000", 0, "pfd_freq_s=4294967295,1,5000 ic1_div_u32=1", nullptr},
      // No input at all, or only inputs without a value (n or m of 0): no PFD frequency; a
      // valueless input beside a good one is ignored.
      {"none", "", IC_SOLVER_PFD_LOW, "", nullptr},
      {"valueless", "ic1_freq_s=10000000,0,1 ic2_freq_s=10000000,1,0", IC_SOLVER_PFD_LOW, "", nullptr},
      {"valueless beside", "ic1_freq_s=10000000,0,1 ic3_freq_s=10000000", 0, "pfd_freq_s=10000000,1,16 ic1_div_u32=1048576", nullptr},
      // A denominator that overflows 32 bits once multiplied by the HSDIV.
      {"denominator", "ic3_freq_s=4000000000,150000000,536870913", IC_SOLVER_DEN_HSDIV, "", nullptr},
      // A prime base near 2^32 makes the common divisor a large prime: factorising it must
      // not take a trial division over every smaller prime.
      {"large prime", "ic1_freq_s=4294967291,1,5", IC_SOLVER_PFD_LOW | IC_SOLVER_DIV_RANGE, "", nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    Hal h;
    init_full(h.get(), kova_device_40000_e, kova_mode_ja_e);
    set_fields(h.get(), std::string("dpll_bw_hz=100 ") + c.set);
    drain(h.get());
    const uint32_t rc = kova_ic_solver(h.get());
    EXPECT_EQ(rc & c.rc, c.rc);
    EXPECT_EQ(rc == 0, c.rc == 0) << rc;
    expect_fields(h.get(), c.want);
    EXPECT_EQ(drain(h.get()), c.msg ? std::vector<std::string>{c.msg} : std::vector<std::string>{});
  }
}

TEST(IcSolver, FractionalInputsDivideToThePfdExactly) {
  // 622.08 MHz x 255 / 237 (FEC) and 155.52 MHz: HSDIV 4 and 1. The record keeps IC1's base:
  // {f, n / g, m x HSDIV x DIV / g}.
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_ja_e);
  set_fields(h.get(), "dpll_bw_hz=100 ic1_freq_s=622080000,255,237 ic2_freq_s=155520000");
  EXPECT_EQ(kova_ic_solver(h.get()), 0u);
  EXPECT_EQ(h->ic1_hsdiv_u8, 4u);
  fprec_s a = h->ic1_freq_s, b = h->ic2_freq_s;
  fprec_scale(&a, 1, static_cast<uint64_t>(h->ic1_hsdiv_u8) * h->ic1_div_u32);
  fprec_scale(&b, 1, static_cast<uint64_t>(h->ic2_hsdiv_u8) * h->ic2_div_u32);
  EXPECT_TRUE(fprec_compare(a, h->pfd_freq_s) == 0 && fprec_compare(b, h->pfd_freq_s) == 0);
  EXPECT_LE(fprec_s_2_double_mhz(h->pfd_freq_s), 1.0);
  EXPECT_EQ(h->pfd_freq_s.f, 622080000u);
}

}  // namespace
