// Output clock solver: VCO candidates, options, sets, weights, the best set and its lists.
#include <gtest/gtest.h>

#include "tests/hal_test_support.h"

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "hal/hal_api.h"
#include "hal/hal_obj.h"
#include "hal/oc_solver.h"

namespace {

using kova_test::expect_fields;
using kova_test::set_fields;

using u128 = unsigned __int128;

using kova_test::drain;

struct Hal : kova_test::Hal {
  const oc_solver_store_s &st() const { return h.hal_obj_p->solver; }
};


bool has_msg(const std::vector<std::string> &msgs, const std::string &start) {
  for (const auto &m : msgs) {
    if (m.rfind(start, 0) == 0) return true;
  }
  return false;
}

// SYN on device 40000 with the APLL fed from 125 MHz (an integer feedback ratio for the VCOs
// of these tests), alignment off unless a test enables it.
void init_syn(hal_api_s *h) {
  h->kova_device_e = kova_device_40000_e;
  h->kova_device_rev_e = 1;
  h->kova_mode_e = kova_mode_syn_e;
  h->xa_mode_e = xa_mode_xo_e;
  h->sysclk_mode_e = sysclk_mode_ro_e;
  h->init_api_mode_e = init_api_full_e;
  init_api(h);
  drain(h);
  set_fprec_s(&h->apll_input_freq_s, 125000000, 1, 1);
}

u128 gcd128(u128 a, u128 b) {
  while (b != 0) {
    const u128 r = a % b;
    a = b;
    b = r;
  }
  return a;
}

// VCO x 2 / (HSDIV x2 x MSDIV x LSDIV) equals the request exactly (both sides as reduced fractions).
bool reproduces(fprec_s vco, uint64_t div_x2, fprec_s req) {
  u128 a = static_cast<u128>(2) * vco.f * vco.n;  // numerator of the divided VCO
  u128 b = static_cast<u128>(vco.m) * div_x2;     // its denominator
  u128 c = static_cast<u128>(req.f) * req.n;
  u128 d = req.m;
  const u128 g1 = gcd128(a, b), g2 = gcd128(c, d);
  a /= g1, b /= g1, c /= g2, d /= g2;
  return a == c && b == d;
}

bool option_reproduces(const oc_option_s &o) {
  return reproduces(o.vco, static_cast<uint64_t>(o.hsdiv_x2) * o.msdiv * o.lsdiv, o.freq) &&
         reproduces(o.vco, o.total_div_x2, o.freq);
}

double mhz(fprec_s f) { return fprec_s_2_double_mhz(f); }

TEST(OcSolver, OneOutputCandidatesAndOptions) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
  EXPECT_EQ(oc_solver_search(h.get()), 0u);
  const oc_solver_store_s &st = h.st();
  ASSERT_GT(st.option_count, 0u);
  // The first candidate is 48 x 156.25 / 2 = 3750 MHz; every VCO is a multiple of 78.125 MHz
  // inside the range.
  EXPECT_EQ(fprec_compare(st.options[0].vco, fprec_s{3750000000u, 1, 1}), 0);
  bool h12_m4 = false, h16_m3 = false, h24_m2 = false, h8 = false;
  for (uint32_t i = 0; i < st.option_count; ++i) {
    const oc_option_s &o = st.options[i];
    const double v = mhz(o.vco);
    EXPECT_GE(v, 3715.0);
    EXPECT_LE(v, 4180.0);
    EXPECT_DOUBLE_EQ(std::fmod(v, 78.125), 0.0);
    EXPECT_TRUE(option_reproduces(o));
    if (v != 3750.0) continue;
    EXPECT_EQ(o.total_div_x2, 48u);
    h12_m4 |= o.hsdiv_x2 == 12 && o.msdiv == 4 && o.lsdiv == 1;
    h16_m3 |= o.hsdiv_x2 == 16 && o.msdiv == 3 && o.lsdiv == 1;
    h24_m2 |= o.hsdiv_x2 == 24 && o.msdiv == 2 && o.lsdiv == 1;
    h8 |= o.hsdiv_x2 == 8;  // 937.5 MHz is above the MSDIV input limit
  }
  EXPECT_TRUE(h12_m4 && h16_m3 && h24_m2);
  EXPECT_FALSE(h8);
  // 3750 MHz through HSDIV 6 weighs 10 x (2 x 35 / 465 + 4 / 11) = 5.1: the lightest.
  ASSERT_GE(st.best_set, 0);
  const oc_solution_s &b = st.sets[st.best_set];
  EXPECT_EQ(b.hsdiv1_x2, 12u);
  EXPECT_EQ(b.hsdiv2_x2, 0u);
  EXPECT_EQ(b.weight, 5u);
}

TEST(OcSolver, TwoOutputsShareTheLowestCommonFrequency) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 125000000, 1, 1);
  EXPECT_EQ(oc_solver_search(h.get()), 0u);
  const oc_solver_store_s &st = h.st();
  ASSERT_GT(st.option_count, 0u);
  bool at_4000 = false;
  for (uint32_t i = 0; i < st.option_count; ++i) {
    const oc_option_s &o = st.options[i];
    // F0 = 500 MHz: VCOs are 250 MHz steps from 3750 MHz; OC2 (125 MHz) ranks first.
    EXPECT_DOUBLE_EQ(std::fmod(mhz(o.vco), 250.0), 0.0);
    EXPECT_GE(mhz(o.vco), 3750.0);
    EXPECT_EQ(o.rank, o.output == 2 ? 1u : 2u);
    if (mhz(o.vco) == 3750.0) {
      EXPECT_EQ(o.total_div_x2, o.output == 1 ? 75u : 60u);
    }
    at_4000 |= mhz(o.vco) == 4000.0;
    EXPECT_TRUE(option_reproduces(o));
  }
  EXPECT_TRUE(at_4000);
  // The rank-1 output always sits on HSDIV1 and every option on one of its set's HSDIVs.
  for (uint32_t i = 0; i < st.set_count; ++i) {
    const oc_solution_s &x = st.sets[i];
    for (uint32_t j = 0; j < x.opt_count; ++j) {
      const oc_option_s &o = st.options[x.opt[j]];
      EXPECT_EQ(fprec_compare(o.vco, x.vco), 0);
      EXPECT_TRUE(o.hsdiv_x2 == x.hsdiv1_x2 || o.hsdiv_x2 == x.hsdiv2_x2);
      if (o.rank == 1) {
        EXPECT_EQ(o.hsdiv_x2, x.hsdiv1_x2);
      }
    }
    for (uint32_t k = 0; k < i; ++k) {
      const oc_solution_s &y = st.sets[k];
      EXPECT_FALSE(fprec_compare(x.vco, y.vco) == 0 && x.hsdiv1_x2 == y.hsdiv1_x2 && x.hsdiv2_x2 == y.hsdiv2_x2);
    }
  }
}

TEST(OcSolver, EqualFrequenciesRankInOutputOrder) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc3_freq_s, 100000000, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 300000000, 1, 3);  // the same 100 MHz, written differently
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  const oc_solver_store_s &st = h.st();
  ASSERT_GT(st.option_count, 0u);
  for (uint32_t i = 0; i < st.option_count; ++i) EXPECT_EQ(st.options[i].rank, st.options[i].output == 2 ? 1u : 2u);
}

TEST(OcSolver, LowFrequencyIsScaledByDecades) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 10000, 1, 1);
  EXPECT_EQ(oc_solver_search(h.get()), 0u);
  const oc_solver_store_s &st = h.st();
  ASSERT_GT(st.option_count, 0u);
  // F0 = 10 kHz becomes 1 MHz with c = 100: the first VCO is 7430 x 1 MHz / 2 = 3715 MHz and
  // the total divider x2 is 2 x 100 x 7430 / 2.
  EXPECT_EQ(fprec_compare(st.options[0].vco, fprec_s{3715000000u, 1, 1}), 0);
  EXPECT_EQ(st.options[0].total_div_x2, 743000u);
  // Every VCO step (0.5 MHz) produces options here, so the search stops after ten of them.
  uint32_t vcos = 0;
  for (uint32_t i = 0; i < st.option_count; ++i) {
    EXPECT_TRUE(option_reproduces(st.options[i]));
    if (i == 0 || fprec_compare(st.options[i].vco, st.options[i - 1].vco) != 0) ++vcos;
  }
  EXPECT_EQ(vcos, 10u);
  EXPECT_EQ(mhz(st.options[st.option_count - 1].vco), 3719.5);
}

TEST(OcSolver, NoCommonVcoAndOutputsWithoutFrequency) {
  const fprec_s cases[][3] = {
      {{100000000, 1, 1}, {100000001, 1, 1}, {99999999, 1, 1}},  // common frequency far above the VCO
      {{156250000, 0, 1}, {0, 1, 1}, {0, 1, 1}},                  // n = 0: no frequency
      {{156250000, 1, 0}, {125000000, 1, 1}, {0, 1, 1}},          // m = 0: no frequency
      {{4294967295u, 4294967295u, 1}, {0, 1, 1}, {0, 1, 1}},      // far above any VCO
  };
  for (const auto &c : cases) {
    Hal h;
    init_syn(h.get());
    h->oc1_freq_s = c[0];
    h->oc2_freq_s = c[1];
    h->oc3_freq_s = c[2];
    EXPECT_EQ(oc_solver_auto(h.get()), 0);
    const auto msgs = drain(h.get());
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0],
              "ERROR: No VCO and divider solution for the configured output frequencies. A VCO frequency in the "
              "range 3715MHz to 4180MHz must be divisible to each output frequency. Divisors must be integer "
              "multiples of (a) integers 4 to 15 or (b) half divides 4.5 to 7.5.");
    EXPECT_EQ(h.st().best_set, OC_SOLVER_NONE);
    EXPECT_EQ(h->vco_hsdiv1x2_u8, 0u);  // nothing applied
  }
}

TEST(OcSolver, NegativeOutputUsesLsdivFromMsdiv) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1);
  h->oc1_neg_lsdiv_u32 = 4;
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  const auto msgs = drain(h.get());
  EXPECT_FALSE(has_msg(msgs, "ERROR"));
  const oc_solver_store_s &st = h.st();
  uint32_t valid = 0;
  for (uint32_t i = 0; i < st.option_count; ++i) {
    const oc_option_s &o = st.options[i];
    if (!o.valid) {
      EXPECT_TRUE(o.msdiv < 6 || o.lsdiv != 1);
      continue;
    }
    ++valid;
    EXPECT_GE(o.msdiv, 6u);
    EXPECT_EQ(o.lsdiv, 4u);
  }
  EXPECT_GT(valid, 0u);
  EXPECT_GE(h->oc1_msdiv_u8, 6u);
  expect_fields(h.get(), "oc1_lsdiv_u32=4 oc1cr3_lssel_u1=0 oc1cr3_neglsd_u1=1");
  EXPECT_EQ(fprec_compare(h->oc1_msdiv_freq_s, h->oc1_freq_s), 0);
  EXPECT_EQ(fprec_compare(h->oc1_lsdiv_freq_s, fprec_s{25000000, 1, 1}), 0);
}

TEST(OcSolver, NegativeOutputWithoutAnyMsdivOf6) {
  Hal h;
  init_syn(h.get());
  // 850 MHz comes straight from an HSDIV (3825 MHz / 4.5): there is no MSDIV to make OC2P.
  set_fprec_s(&h->oc2_freq_s, 850000000, 1, 1);
  h->oc2_neg_lsdiv_u32 = 2;
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  const auto msgs = drain(h.get());
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0],
            "ERROR: The requested OC2P and OC2N frequency combination is not supported. When OC2N is lower "
            "frequency than OC2P, the medium-speed divider is used to generate OC2P, and the low-speed divider "
            "is used to generate OC2N from OC2P. In this mode the medium-speed divider value must be in the "
            "range 6 to 128.");
  EXPECT_EQ(msgs[1], "ERROR: No valid VCO frequency and HSDIV combination for the requested input frequency combinations.");
  EXPECT_EQ(h.st().best_set, OC_SOLVER_NONE);
}

TEST(OcSolver, AlignedOutputsPreferPowerOfTwoMsdivs) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 50000000, 1, 1);
  set_fields(h.get(), "oc1_align_en=1 oc2_align_en=1");
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  const oc_solver_store_s &st = h.st();
  ASSERT_GE(st.best_set, 0);
  const oc_solution_s &b = st.sets[st.best_set];
  ASSERT_GT(b.entry_count, 0u);
  uint32_t e = 0;
  for (uint32_t j = 1; j < b.entry_count; ++j) {
    if (b.entry[j].weight < b.entry[e].weight) e = j;
  }
  EXPECT_EQ(b.weight, 3 * b.entry[e].weight);
  ASSERT_NE(b.best[0], OC_SOLVER_NONE);
  ASSERT_NE(b.best[1], OC_SOLVER_NONE);
  EXPECT_EQ(b.best[0], b.entry[e].opt[0]);
  EXPECT_EQ(b.best[1], b.entry[e].opt[1]);
  const oc_option_s &o1 = st.options[b.best[0]];
  const oc_option_s &o2 = st.options[b.best[1]];
  EXPECT_EQ(o1.hsdiv_x2, o2.hsdiv_x2);
  const uint32_t hi = std::max(o1.msdiv, o2.msdiv), lo = std::min(o1.msdiv, o2.msdiv);
  EXPECT_EQ(hi % lo, 0u);
  EXPECT_EQ((hi / lo) & (hi / lo - 1), 0u);
  // Sets without an entry pay 1000 more than the sum of their best totals.
  for (uint32_t i = 0; i < st.set_count; ++i) {
    const oc_solution_s &x = st.sets[i];
    if (!x.valid || x.entry_count > 0) continue;
    uint32_t sum = 0;
    for (int k = 0; k < 2; ++k) sum += st.options[x.best[k]].total;
    EXPECT_EQ(x.weight, sum + 1000);
  }
}

TEST(OcSolver, AlignmentWeightsAreUnsignedWords) {
  // 625 MHz comes from HSDIV 6 alone (MSDIV 1): its entry weight is (1 - 2) + (2 - 2) modulo 2^32.
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 625000000, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 312500000, 1, 1);
  h->oc1_align_en = h->oc2_align_en = 1;
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  const oc_solver_store_s &st = h.st();
  bool seen = false;
  for (uint32_t i = 0; i < st.set_count; ++i) {
    const oc_solution_s &x = st.sets[i];
    if (!x.valid || x.entry_count == 0) continue;
    const oc_align_entry_s &e = x.entry[0];
    if (e.opt[0] == OC_SOLVER_NONE || st.options[e.opt[0]].msdiv != 1 || st.options[e.opt[1]].msdiv != 2) continue;
    seen = true;
    EXPECT_EQ(e.weight, 0xFFFFFFFFu);
    if (x.entry_count == 1) {
      EXPECT_EQ(x.weight, 0xFFFFFFFDu);  // three times, modulo 2^32
    }
  }
  EXPECT_TRUE(seen);
  // The best set is the first valid set of the smallest weight, compared as unsigned words.
  ASSERT_GE(st.best_set, 0);
  for (uint32_t i = 0; i < st.set_count; ++i) {
    if (!st.sets[i].valid) continue;
    if (i < static_cast<uint32_t>(st.best_set)) {
      EXPECT_GT(st.sets[i].weight, st.sets[st.best_set].weight);
    } else {
      EXPECT_GE(st.sets[i].weight, st.sets[st.best_set].weight);
    }
  }
}

TEST(OcSolver, AlignmentOfAnUnusedOutputBlocksAnchorEntries) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 50000000, 1, 1);
  h->oc1_align_en = h->oc2_align_en = h->oc3_align_en = 1;
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  // Only the "MSDIV alone" entries remain: every chosen option has LSDIV 1.
  const oc_solver_store_s &st = h.st();
  for (uint32_t i = 0; i < st.set_count; ++i) {
    for (uint32_t j = 0; j < st.sets[i].entry_count; ++j) {
      for (int k = 0; k < 3; ++k) {
        const int32_t o = st.sets[i].entry[j].opt[k];
        if (o != OC_SOLVER_NONE) {
          EXPECT_EQ(st.options[o].lsdiv, 1u);
        }
      }
    }
  }
}

TEST(OcSolver, JitterWeightFractionPenaltyInSyn) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
  set_fprec_s(&h->apll_input_freq_s, 40000000, 1, 1);  // 3750 / 40 = 93.75: fraction 1/4
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  const oc_option_s &o = h.st().options[0];  // 3750 MHz, HSDIV 6
  ASSERT_EQ(o.hsdiv_x2, 12u);
  EXPECT_EQ(o.jweight, 35u);  // 10 x (3 + 0.15 + 0.36)
  // Outside SYN the feedback divider has no fraction penalty.
  h->kova_mode_e = kova_mode_ja_e;
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  EXPECT_EQ(h.st().options[0].jweight, 5u);
}

TEST(OcSolver, HalfDividesIntoAnOddMsdivPayForTheirDutyCycle) {
  // 3750 MHz / 22.5 = 166.67 MHz: only 7.5 x 3 and 4.5 x 5, both a half divide into an odd
  // MSDIV: 10 x (2 x 35 / 465 + (x2 - 8) / 11 + 10).
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 500000000, 1, 3);
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  int seen = 0;
  for (uint32_t i = 0; i < h.st().option_count; ++i) {
    const oc_option_s &o = h.st().options[i];
    if (fprec_compare(o.vco, fprec_s{3750000000u, 1, 1}) != 0) continue;
    ++seen;
    EXPECT_EQ(o.jweight, o.hsdiv_x2 == 15 ? 108u : 102u) << o.hsdiv_x2 << " " << o.msdiv;
  }
  EXPECT_EQ(seen, 2);
}

TEST(OcSolver, PulseWidthWeight) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
  h->oc1_pw_ns_u16 = 60000;  // wider than any LSDIV x MSDIV period: +1000 where both dividers act
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  const oc_solver_store_s &st = h.st();
  for (uint32_t i = 0; i < st.option_count; ++i) {
    const oc_option_s &o = st.options[i];
    EXPECT_EQ(o.fweight, (o.msdiv > 1 && o.lsdiv > 1) ? 1000u : 0u);
  }
  // The listing shows each option's own feature weight.
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  const auto msgs = drain(h.get());
  ASSERT_GE(msgs.size(), 6u);
  EXPECT_EQ(msgs[1], "    OC1 hsdiv  6.0 msdiv   4 lsdiv      1 jweight    5 fweight    0");
  EXPECT_EQ(msgs[4], "    OC1 freq   156.250000 hsdiv  6.0 msdiv   2 lsdiv      2 jweight    5 fweight 1000");
  // Options shared by several sets are weighed once.
  set_fprec_s(&h->oc2_freq_s, 125000000, 1, 1);
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  for (uint32_t i = 0; i < h.st().option_count; ++i) {
    const oc_option_s &o = h.st().options[i];
    EXPECT_EQ(o.fweight, (o.output == 1 && o.msdiv > 1 && o.lsdiv > 1) ? 1000u : 0u);
  }
  h->oc2_freq_s = {0, 1, 1};
  // A width of exactly one MSDIV period (HSDIV 6, MSDIV 2 at 3750 MHz: 3.2 ns) costs nothing.
  h->oc1_pw_ns_u16 = 3;
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  EXPECT_EQ(h.st().options[0].msdiv, 2u);
  EXPECT_EQ(h.st().options[0].fweight, 0u);
  // Under half a period (1 ns) rounds to no period at all: a miss of the whole width.
  h->oc1_pw_ns_u16 = 1;
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  EXPECT_EQ(h.st().options[0].fweight, 1000u);
}

TEST(OcSolver, ListingAndApply) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
  h->apllcr1_enhs2_u1 = 1;  // left alone when the plan needs no HSDIV2
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  EXPECT_EQ(h->apllcr1_enhs2_u1, 1u);
  EXPECT_EQ(h->hsdiv2_freq_s.f, 0u);
  const auto msgs = drain(h.get());
  ASSERT_GE(msgs.size(), 5u);
  EXPECT_EQ(msgs[0], "\n\nBEST: VCO freq  3750.000000 hsdiv1  6.0 hsdiv2  0.0 weight    5");
  EXPECT_EQ(msgs[1], "    OC1 hsdiv  6.0 msdiv   2 lsdiv      2 jweight    5 fweight    0");
  EXPECT_EQ(msgs[2], "\n\nList of valid VCO/HSDIV set solutions - every OC divider config\n");
  EXPECT_EQ(msgs[3], "\n  0 VCO freq  3750.000000 hsdiv1  6.0 hsdiv2  0.0 best weight    5");
  EXPECT_EQ(msgs[4], "    OC1 freq   156.250000 hsdiv  6.0 msdiv   2 lsdiv      2 jweight    5 fweight    0");
  EXPECT_EQ(fprec_compare(h->vco_freq_s, fprec_s{3750000000u, 1, 1}), 0);
  EXPECT_EQ(h->vco_hsdiv1x2_u8, 12u);
  EXPECT_EQ(fprec_compare(h->hsdiv1_freq_s, fprec_s{625000000, 1, 1}), 0);
  expect_fields(h.get(), "oc1_msdiv_u8=2 oc1_lsdiv_u32=2 oc1cr3_lssel_u1=1 oc1cr3_divsel_u1=0");
  EXPECT_EQ(h->oc1_jitter_weight, 5.0);
  EXPECT_EQ(fprec_compare(h->oc1_msdiv_freq_s, fprec_s{312500000, 1, 1}), 0);
  EXPECT_EQ(h->oc2_msdiv_u8, 1u);
  EXPECT_EQ(h->oc2_msdiv_freq_s.f, 0u);
}

TEST(OcSolver, LongListingEndsWithFullLogWarning) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 1000000, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 2000000, 1, 1);
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  const auto msgs = drain(h.get());
  ASSERT_EQ(msgs.size(), KOVA_MSG_MAX);
  EXPECT_EQ(msgs.back(), "WARNING: MSG buffer full");
  EXPECT_FALSE(has_msg(msgs, "ERROR"));
}

TEST(OcSolver, NoOutputGivesTheDefaultPlan) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  drain(h.get());
  h->oc1_freq_s = {0, 1, 1};
  h->oc1_msdiv_u8 = 7;
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  EXPECT_TRUE(drain(h.get()).empty());
  EXPECT_EQ(fprec_compare(h->vco_freq_s, fprec_s{3750000000u, 1, 1}), 0);
  expect_fields(h.get(), "vco_hsdiv1x2_u8=12 vco_hsdiv2x2_u8=0");
  EXPECT_EQ(fprec_compare(h->hsdiv1_freq_s, fprec_s{625000000, 1, 1}), 0);
  EXPECT_EQ(fprec_compare(h->oc1_msdiv_freq_s, h->hsdiv1_freq_s), 0);
  EXPECT_EQ(h->oc1_msdiv_u8, 1u);
  // The table of the previous search is gone.
  fprec_s v{7, 7, 7};
  EXPECT_EQ(get_oc_solver(h.get(), oc_solver_sel_vco_e, 0, &v), 1);
}

TEST(OcSolver, MathErrorOnOverflow) {
  Hal h;
  init_syn(h.get());
  // Large coprime denominators: the common multiple needs more than 128 bits.
  set_fprec_s(&h->oc1_freq_s, 4294967291u, 4294967279u, 4294967231u);
  set_fprec_s(&h->oc2_freq_s, 4294967197u, 4294967189u, 4294967161u);
  set_fprec_s(&h->oc3_freq_s, 4294967143u, 4294967111u, 4294967087u);
  EXPECT_NE(oc_solver_search(h.get()) & OC_SOLVER_FLAG_OVERFLOW, 0u);
  EXPECT_EQ(oc_solver_auto(h.get()), 1);
  const auto msgs = drain(h.get());
  EXPECT_EQ(msgs.back(), "ERROR: A math error condition was detected, contact Talvex Support Team!!!");
}

TEST(OcSolver, EditedLimitsStillEnd) {
  // Limits far outside the chip's range must neither hang nor overrun the tables.
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 10000, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 1, 1, 1);
  h->vco_clk_min_mhz_r = 0.0;
  h->vco_clk_max_mhz_r = 1e300;
  set_fields(h.get(), "oc_msdiv_max_u8=0xFFFFFFFF oc_lsdiv_max_u32=0xFFFFFFFF");
  h->oc_msdiv_max_freq_mhz_r = 1e300;
  h->oc_lsdiv_max_freq_mhz_r = 1e300;
  oc_solver_search(h.get());
  const oc_solver_store_s &st = h.st();
  EXPECT_LE(st.option_count, OC_SOLVER_MAX_OPTIONS);
  EXPECT_LE(st.set_count, OC_SOLVER_MAX_SETS);
  for (uint32_t i = 0; i < st.set_count; ++i) EXPECT_LE(st.sets[i].opt_count, OC_SOLVER_SET_OPTIONS);
  h->vco_clk_max_mhz_r = NAN;
  h->vco_clk_min_mhz_r = NAN;
  oc_solver_search(h.get());
  EXPECT_EQ(h.st().option_count, 0u);
}

TEST(OcSolver, SelectionListsFollowTheRecordedIndexes) {
  Hal h;
  init_syn(h.get());
  set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 125000000, 1, 1);
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  drain(h.get());
  h->oc_solver_vco_index = h->oc_solver_hsdiv1_index = h->oc_solver_hsdiv2_index = -5;
  oc_solver_set_indexes(h.get());
  fprec_s v{};
  ASSERT_EQ(get_oc_solver(h.get(), oc_solver_sel_vco_e, h->oc_solver_vco_index, &v), 0);
  EXPECT_EQ(fprec_compare(v, h->vco_freq_s), 0);
  uint32_t x = 0;
  ASSERT_EQ(get_oc_solver(h.get(), oc_solver_sel_hsdiv1_e, h->oc_solver_hsdiv1_index, &x), 0);
  EXPECT_EQ(x, h->vco_hsdiv1x2_u8);
  ASSERT_EQ(get_oc_solver(h.get(), oc_solver_sel_hsdiv2_e, h->oc_solver_hsdiv2_index, &x), 0);
  EXPECT_EQ(x, h->vco_hsdiv2x2_u8);
  ASSERT_EQ(get_oc_solver(h.get(), oc_solver_sel_oc1_hsdiv_e, h->oc_solver_oc1_hsdiv_index, &x), 0);
  EXPECT_EQ(x, h->oc1cr3_divsel_u1 + 1);
  ASSERT_EQ(get_oc_solver(h.get(), oc_solver_sel_oc2_msdiv_e, h->oc_solver_oc2_ocdiv_index, &x), 0);
  EXPECT_EQ(x, h->oc2_msdiv_u8);
  ASSERT_EQ(get_oc_solver(h.get(), oc_solver_sel_oc2_lsdiv_e, h->oc_solver_oc2_ocdiv_index, &x), 0);
  EXPECT_EQ(x, h->oc2_lsdiv_u32);
  ASSERT_EQ(get_oc_solver(h.get(), oc_solver_sel_oc2_jweight_e, h->oc_solver_oc2_ocdiv_index, &x), 0);
  EXPECT_EQ(x, static_cast<uint32_t>(h->oc2_jitter_weight));

  // The VCO list is increasing, the HSDIV lists ascending and distinct.
  fprec_s prev{0, 1, 1};
  int32_t n = 0;
  for (; get_oc_solver(h.get(), oc_solver_sel_vco_e, n, &v) == 0; ++n) {
    EXPECT_EQ(fprec_compare(v, prev), 1);
    prev = v;
  }
  EXPECT_EQ(n, 2);  // 3750 and 4000 MHz
  uint32_t last = 0;
  for (int32_t i = 0; get_oc_solver(h.get(), oc_solver_sel_hsdiv1_e, i, &x) == 0; ++i) {
    if (i > 0) {
      EXPECT_GT(x, last);
    }
    last = x;
  }
  // Unknown lists and missing entries leave the output alone.
  x = 77;
  EXPECT_EQ(get_oc_solver(h.get(), static_cast<oc_solver_param_sel_es>(18), 0, &x), 1);
  EXPECT_EQ(get_oc_solver(h.get(), oc_solver_sel_hsdiv1_e, 16, &x), 1);
  EXPECT_EQ(get_oc_solver(h.get(), oc_solver_sel_oc3_msdiv_e, 0, &x), 1);  // OC3 unused
  EXPECT_EQ(get_oc_solver(h.get(), oc_solver_sel_vco_e, -1, &v), 1);
  EXPECT_EQ(x, 77u);
  // An index that is not in the list leaves the lists below it empty.
  h->oc_solver_vco_index = 50;
  EXPECT_EQ(get_oc_solver(h.get(), oc_solver_sel_hsdiv1_e, 0, &x), 1);
}

// Whatever the requests, every valid option of every valid set and the applied plan give each
// requested frequency exactly, and the tables stay within their bounds.
TEST(OcSolver, ChosenPlansReproduceEveryRequest) {
  std::mt19937 rng(2024);
  const uint32_t bases[] = {1, 8, 1000, 10000, 44100, 1544000, 2048000, 10000000, 19440000, 25000000,
                            33333333, 100000000, 155520000, 156250000, 161132812, 212500000, 622080000, 850000000};
  const uint32_t ratios[][2] = {{1, 1}, {1, 1}, {1, 3}, {255, 237}, {66, 64}, {1, 7}, {4, 1}};
  // First some plans known to exist: 156.25, 125 and 100/3 MHz; 622.08 x 255/237 MHz (FEC)
  // with a quarter of it; 1 Hz with 1 kHz; 25, 100 and 312.5 MHz.
  const fprec_s fixed[][3] = {
      {{156250000, 1, 1}, {125000000, 1, 1}, {100000000, 1, 3}},
      {{622080000, 255, 237}, {622080000, 255, 948}, {0, 1, 1}},
      {{1, 1, 1}, {1000, 1, 1}, {0, 1, 1}},
      {{25000000, 1, 1}, {100000000, 1, 1}, {312500000, 1, 1}},
  };
  int solved = 0;
  for (int i = 0; i < 304; ++i) {
    Hal h;
    init_syn(h.get());
    h->oc1_align_en = rng() % 2;
    h->oc2_align_en = rng() % 2;
    h->oc3_align_en = rng() % 2;
    h->oc2_pw_ns_u16 = rng() % 3 == 0 ? 5 : 0;
    fprec_s *req[3] = {&h->oc1_freq_s, &h->oc2_freq_s, &h->oc3_freq_s};
    for (int k = 0; k < 3; ++k) {
      if (i < 4) {
        *req[k] = fixed[i][k];
        continue;
      }
      if (k > 0 && rng() % 3 == 0) continue;
      const auto &r = ratios[rng() % 7];
      set_fprec_s(req[k], bases[rng() % 18], r[0], r[1]);
    }
    const int32_t rc = oc_solver_auto(h.get());
    const auto msgs = drain(h.get());
    const oc_solver_store_s &st = h.st();
    ASSERT_LE(st.option_count, OC_SOLVER_MAX_OPTIONS);
    ASSERT_LE(st.set_count, OC_SOLVER_MAX_SETS);
    if (i < 4) {
      ASSERT_EQ(rc, 0) << i;
      ASSERT_NE(st.best_set, OC_SOLVER_NONE) << i;
      EXPECT_EQ(msgs[0].rfind("\n\nBEST: VCO freq ", 0), 0u) << msgs[0];
    }
    if (rc != 0 || st.best_set == OC_SOLVER_NONE) continue;
    ++solved;
    EXPECT_EQ(h->apllcr1_enhs2_u1, h->vco_hsdiv2x2_u8 != 0 ? 1u : 0u);
    for (uint32_t s = 0; s < st.set_count; ++s) {
      const oc_solution_s &x = st.sets[s];
      ASSERT_LE(x.opt_count, OC_SOLVER_SET_OPTIONS);
      ASSERT_LE(x.entry_count, OC_SOLVER_SET_ENTRIES);
      if (!x.valid) continue;
      for (uint32_t j = 0; j < x.opt_count; ++j) {
        const oc_option_s &o = st.options[x.opt[j]];
        if (o.valid) {
          EXPECT_TRUE(option_reproduces(o)) << i;
        }
      }
    }
    const uint32_t ms[3] = {h->oc1_msdiv_u8, h->oc2_msdiv_u8, h->oc3_msdiv_u8};
    const uint32_t ls[3] = {h->oc1_lsdiv_u32, h->oc2_lsdiv_u32, h->oc3_lsdiv_u32};
    const uint32_t sel[3] = {h->oc1cr3_divsel_u1, h->oc2cr3_divsel_u1, h->oc3cr3_divsel_u1};
    const fprec_s *lsf[3] = {&h->oc1_lsdiv_freq_s, &h->oc2_lsdiv_freq_s, &h->oc3_lsdiv_freq_s};
    for (int k = 0; k < 3; ++k) {
      if (req[k]->f == 0) continue;
      const uint32_t hs = sel[k] ? h->vco_hsdiv2x2_u8 : h->vco_hsdiv1x2_u8;
      EXPECT_TRUE(reproduces(h->vco_freq_s, static_cast<uint64_t>(hs) * ms[k] * ls[k], *req[k])) << i << " OC" << k + 1;
      EXPECT_EQ(fprec_compare(*lsf[k], *req[k]), 0) << i << " OC" << k + 1;
      EXPECT_LE(ms[k], 128u);
      EXPECT_LE(ls[k], 33554432u);
    }
  }
  EXPECT_GT(solved, 60);  // about a third of the random requests have a common VCO
}

}  // namespace
