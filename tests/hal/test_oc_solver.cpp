// Output clock solver: VCO candidates, options, sets, weights, the best set and its lists.
#include <cmath>
#include <random>

#include "hal/oc_solver.h"
#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;
using kova_test::field;

using u128 = unsigned __int128;

struct OcHal : Hal {
  const oc_solver_store_s &st() const { return h.hal_obj_p->solver; }
  const oc_option_s &opt(uint32_t i) const { return st().options[i]; }
};

// SYN on device 40000 with the APLL fed from 125 MHz (an integer feedback ratio for the VCOs
// of these tests), alignment off unless a test enables it; then the case's own settings.
void init_syn(OcHal &h, const std::string &set = "") {
  init_full(h.get(), kova_device_40000_e, kova_mode_syn_e, xa_mode_xo_e, 1);
  drain(h.get());
  set_fields(h.get(), "apll_input_freq_s=125000000 " + set);
}

u128 gcd128(u128 a, u128 b) {
  while (b != 0) a %= b, std::swap(a, b);
  return a;
}

// VCO x 2 / (HSDIV x2 x MSDIV x LSDIV) equals the request exactly (both sides as reduced fractions).
bool reproduces(fprec_s vco, uint64_t div_x2, fprec_s req) {
  u128 a = static_cast<u128>(2) * vco.f * vco.n, b = static_cast<u128>(vco.m) * div_x2;
  u128 c = static_cast<u128>(req.f) * req.n, d = req.m;
  const u128 g1 = gcd128(a, b), g2 = gcd128(c, d);
  return a / g1 == c / g2 && b / g1 == d / g2;
}

bool option_reproduces(const oc_option_s &o) {
  return reproduces(o.vco, static_cast<uint64_t>(o.hsdiv_x2) * o.msdiv * o.lsdiv, o.freq) &&
         reproduces(o.vco, o.total_div_x2, o.freq);
}

double mhz(fprec_s f) { return fprec_s_2_double_mhz(f); }

TEST(OcSolver, OneOutputOptionsBestSetListingAndApply) {
  OcHal h;
  init_syn(h, "oc1_freq_s=156250000 apllcr1_enhs2_u1=1");  // left alone when the plan needs no HSDIV2
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  const oc_solver_store_s &st = h.st();
  ASSERT_GT(st.option_count, 0u);
  // The first candidate is 48 x 156.25 / 2 = 3750 MHz; every VCO is a multiple of 78.125 MHz
  // inside the range. At 3750 MHz HSDIV 4 (937.5 MHz) is above the MSDIV input limit.
  EXPECT_EQ(fprec_compare(st.options[0].vco, fp(3750000000u)), 0);
  uint32_t splits = 0;
  for (uint32_t i = 0; i < st.option_count; ++i) {
    const oc_option_s &o = st.options[i];
    const double v = mhz(o.vco);
    EXPECT_TRUE(v >= 3715.0 && v <= 4180.0 && std::fmod(v, 78.125) == 0.0 && option_reproduces(o)) << v;
    if (v != 3750.0) continue;
    EXPECT_TRUE(o.total_div_x2 == 48u && o.hsdiv_x2 != 8u);
    splits |= (o.hsdiv_x2 == 12 && o.msdiv == 4 ? 1 : 0) | (o.hsdiv_x2 == 16 && o.msdiv == 3 ? 2 : 0) |
              (o.hsdiv_x2 == 24 && o.msdiv == 2 ? 4 : 0);
  }
  EXPECT_EQ(splits, 7u);
  // 3750 MHz through HSDIV 6 weighs 10 x (2 x 35 / 465 + 4 / 11) = 5.1: the lightest.
  const auto msgs = drain(h.get());
  ASSERT_GE(msgs.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(msgs.begin(), msgs.begin() + 5),
            (std::vector<std::string>{"\n\nBEST: VCO freq  3750.000000 hsdiv1  6.0 hsdiv2  0.0 weight    5",
                                      "    OC1 hsdiv  6.0 msdiv   2 lsdiv      2 jweight    5 fweight    0",
                                      "\n\nList of valid VCO/HSDIV set solutions - every OC divider config\n",
                                      "\n  0 VCO freq  3750.000000 hsdiv1  6.0 hsdiv2  0.0 best weight    5",
                                      "    OC1 freq   156.250000 hsdiv  6.0 msdiv   2 lsdiv      2 jweight    5 fweight    0"}));
  expect_fields(h.get(), "apllcr1_enhs2_u1=1 hsdiv2_freq_s=0,1,1 vco_freq_s=156250000,24,1 vco_hsdiv1x2_u8=12 "
                         "hsdiv1_freq_s=156250000,4,1 oc1_msdiv_u8=2 oc1_lsdiv_u32=2 oc1cr3_lssel_u1=1 oc1cr3_divsel_u1=0 "
                         "oc1_jitter_weight=5 oc1_msdiv_freq_s=156250000,2,1 oc2_msdiv_u8=1 oc2_msdiv_freq_s=0,1,1");
}

TEST(OcSolver, TwoOutputsShareTheLowestCommonFrequency) {
  OcHal h;
  init_syn(h, "oc1_freq_s=100000000 oc2_freq_s=125000000");
  EXPECT_EQ(oc_solver_search(h.get()), 0u);
  const oc_solver_store_s &st = h.st();
  ASSERT_GT(st.option_count, 0u);
  bool at_4000 = false;
  for (uint32_t i = 0; i < st.option_count; ++i) {
    const oc_option_s &o = st.options[i];
    // F0 = 500 MHz: VCOs are 250 MHz steps from 3750 MHz; OC2 (125 MHz) ranks first.
    EXPECT_TRUE(std::fmod(mhz(o.vco), 250.0) == 0.0 && mhz(o.vco) >= 3750.0 && option_reproduces(o));
    EXPECT_EQ(o.rank, o.output == 2 ? 1u : 2u);
    EXPECT_TRUE(mhz(o.vco) != 3750.0 || o.total_div_x2 == (o.output == 1 ? 75u : 60u));
    at_4000 |= mhz(o.vco) == 4000.0;
  }
  EXPECT_TRUE(at_4000);
  // Equal frequencies, written differently, rank in output order.
  OcHal e;
  init_syn(e, "oc3_freq_s=100000000 oc2_freq_s=300000000,1,3");
  ASSERT_EQ(oc_solver_search(e.get()), 0u);
  ASSERT_GT(e.st().option_count, 0u);
  for (uint32_t i = 0; i < e.st().option_count; ++i) EXPECT_EQ(e.opt(i).rank, e.opt(i).output == 2 ? 1u : 2u);
}

TEST(OcSolver, RequestsWithoutAPlanSayWhyAndApplyNothing) {
  const std::string no_vco =
      "ERROR: No VCO and divider solution for the configured output frequencies. A VCO frequency in the range 3715MHz "
      "to 4180MHz must be divisible to each output frequency. Divisors must be integer multiples of (a) integers 4 to "
      "15 or (b) half divides 4.5 to 7.5.";
  const struct { const char *set; std::vector<std::string> msgs; } cases[] = {
      {"oc1_freq_s=100000000 oc2_freq_s=100000001 oc3_freq_s=99999999", {no_vco}},  // common frequency far above
      {"oc1_freq_s=156250000,0,1", {no_vco}},                                        // n = 0: no frequency
      {"oc1_freq_s=156250000,1,0 oc2_freq_s=125000000", {no_vco}},                   // m = 0: no frequency
      {"oc1_freq_s=4294967295,4294967295,1", {no_vco}},                              // far above any VCO
      // 850 MHz comes straight from an HSDIV (3825 MHz / 4.5): there is no MSDIV to make OC2P.
      {"oc2_freq_s=850000000 oc2_neg_lsdiv_u32=2",
       {"ERROR: The requested OC2P and OC2N frequency combination is not supported. When OC2N is lower frequency than "
        "OC2P, the medium-speed divider is used to generate OC2P, and the low-speed divider is used to generate OC2N "
        "from OC2P. In this mode the medium-speed divider value must be in the range 6 to 128.",
        "ERROR: No valid VCO frequency and HSDIV combination for the requested input frequency combinations."}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.set);
    OcHal h;
    init_syn(h, c.set);
    EXPECT_EQ(oc_solver_auto(h.get()), 0);
    EXPECT_EQ(drain(h.get()), c.msgs);
    EXPECT_EQ(h.st().best_set, OC_SOLVER_NONE);
    EXPECT_EQ(h->vco_hsdiv1x2_u8, 0u);  // nothing applied
  }
  // Large coprime denominators: the common multiple needs more than 128 bits.
  OcHal m;
  init_syn(m, "oc1_freq_s=4294967291,4294967279,4294967231 oc2_freq_s=4294967197,4294967189,4294967161 "
              "oc3_freq_s=4294967143,4294967111,4294967087");
  EXPECT_NE(oc_solver_search(m.get()) & OC_SOLVER_FLAG_OVERFLOW, 0u);
  EXPECT_EQ(oc_solver_auto(m.get()), 1);
  EXPECT_EQ(drain(m.get()).back(), "ERROR: A math error condition was detected, contact Talvex Support Team!!!");
}

TEST(OcSolver, NegativeOutputUsesLsdivFromMsdiv) {
  OcHal h;
  init_syn(h, "oc1_freq_s=100000000 oc1_neg_lsdiv_u32=4");
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  EXPECT_FALSE(any_error(drain(h.get())));
  uint32_t valid = 0;
  for (uint32_t i = 0; i < h.st().option_count; ++i) {
    const oc_option_s &o = h.opt(i);
    EXPECT_TRUE(o.valid ? o.msdiv >= 6 && o.lsdiv == 4 : o.msdiv < 6 || o.lsdiv != 1) << o.msdiv << " " << o.lsdiv;
    valid += o.valid ? 1 : 0;
  }
  EXPECT_GT(valid, 0u);
  EXPECT_GE(h->oc1_msdiv_u8, 6u);
  expect_fields(h.get(), "oc1_lsdiv_u32=4 oc1cr3_lssel_u1=0 oc1cr3_neglsd_u1=1 oc1_lsdiv_freq_s=25000000 "
                         "oc1_msdiv_freq_s=~100000000");
}

TEST(OcSolver, AlignmentWeightsAreUnsignedWords) {
  // 625 MHz comes from HSDIV 6 alone (MSDIV 1): its entry weight is (1 - 2) + (2 - 2) modulo 2^32.
  OcHal h;
  init_syn(h, "oc1_freq_s=625000000 oc2_freq_s=312500000 oc1_align_en=1 oc2_align_en=1");
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
    EXPECT_TRUE(x.entry_count != 1 || x.weight == 0xFFFFFFFDu);  // three times, modulo 2^32
  }
  EXPECT_TRUE(seen);
  // The best set is the first valid set of the smallest weight, compared as unsigned words.
  ASSERT_GE(st.best_set, 0);
  for (uint32_t i = 0; i < st.set_count; ++i) {
    const uint32_t w = st.sets[i].weight, best = st.sets[st.best_set].weight;
    EXPECT_TRUE(!st.sets[i].valid || (i < static_cast<uint32_t>(st.best_set) ? w > best : w >= best)) << i;
  }
}

TEST(OcSolver, JitterWeights) {
  OcHal h;
  init_syn(h, "oc1_freq_s=156250000 apll_input_freq_s=40000000");  // 3750 / 40 = 93.75: fraction 1/4
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  ASSERT_EQ(h.opt(0).hsdiv_x2, 12u);  // 3750 MHz, HSDIV 6
  EXPECT_EQ(h.opt(0).jweight, 35u);   // 10 x (3 + 0.15 + 0.36)
  // Outside SYN the feedback divider has no fraction penalty.
  h->kova_mode_e = kova_mode_ja_e;
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  EXPECT_EQ(h.opt(0).jweight, 5u);
  // 3750 MHz / 22.5 = 166.67 MHz: only 7.5 x 3 and 4.5 x 5, both a half divide into an odd
  // MSDIV, which pays for its duty cycle: 10 x (2 x 35 / 465 + (x2 - 8) / 11 + 10).
  init_syn(h, "oc1_freq_s=500000000,1,3");
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  int seen = 0;
  for (uint32_t i = 0; i < h.st().option_count; ++i) {
    if (fprec_compare(h.opt(i).vco, fp(3750000000u)) != 0) continue;
    ++seen;
    EXPECT_EQ(h.opt(i).jweight, h.opt(i).hsdiv_x2 == 15 ? 108u : 102u) << h.opt(i).hsdiv_x2 << " " << h.opt(i).msdiv;
  }
  EXPECT_EQ(seen, 2);
}

TEST(OcSolver, PulseWidthWeight) {
  OcHal h;
  init_syn(h, "oc1_freq_s=156250000 oc1_pw_ns_u16=60000");  // wider than any LSDIV x MSDIV period
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  for (uint32_t i = 0; i < h.st().option_count; ++i) {
    EXPECT_EQ(h.opt(i).fweight, (h.opt(i).msdiv > 1 && h.opt(i).lsdiv > 1) ? 1000u : 0u);
  }
  // The listing shows each option's own feature weight.
  const auto msgs = drain(h.get());
  ASSERT_GE(msgs.size(), 6u);
  EXPECT_EQ(msgs[1], "    OC1 hsdiv  6.0 msdiv   4 lsdiv      1 jweight    5 fweight    0");
  EXPECT_EQ(msgs[4], "    OC1 freq   156.250000 hsdiv  6.0 msdiv   2 lsdiv      2 jweight    5 fweight 1000");
  // Options shared by several sets are weighed once.
  set_fields(h.get(), "oc2_freq_s=125000000");
  ASSERT_EQ(oc_solver_search(h.get()), 0u);
  for (uint32_t i = 0; i < h.st().option_count; ++i) {
    EXPECT_EQ(h.opt(i).fweight, (h.opt(i).output == 1 && h.opt(i).msdiv > 1 && h.opt(i).lsdiv > 1) ? 1000u : 0u);
  }
  // A width of exactly one MSDIV period (HSDIV 6, MSDIV 2 at 3750 MHz: 3.2 ns) costs nothing;
  // under half a period (1 ns) rounds to no period at all: a miss of the whole width.
  for (uint32_t pw : {3u, 1u}) {
    set_fields(h.get(), "oc2_freq_s=0 oc1_pw_ns_u16=" + std::to_string(pw));
    ASSERT_EQ(oc_solver_search(h.get()), 0u);
    EXPECT_EQ(h.opt(0).msdiv, 2u);
    EXPECT_EQ(h.opt(0).fweight, pw == 3 ? 0u : 1000u);
  }
}

TEST(OcSolver, NoOutputGivesTheDefaultPlan) {
  OcHal h;
  init_syn(h, "oc1_freq_s=156250000");
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  drain(h.get());
  set_fields(h.get(), "oc1_freq_s=0 oc1_msdiv_u8=7");
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  EXPECT_TRUE(drain(h.get()).empty());
  expect_fields(h.get(), "vco_freq_s=3750000000 vco_hsdiv1x2_u8=12 vco_hsdiv2x2_u8=0 hsdiv1_freq_s=625000000 "
                         "oc1_msdiv_freq_s=625000000 oc1_msdiv_u8=1");
  // The table of the previous search is gone.
  fprec_s v{7, 7, 7};
  EXPECT_EQ(get_oc_solver(h.get(), oc_solver_sel_vco_e, 0, &v), 1);
}

TEST(OcSolver, SelectionListsFollowTheRecordedIndexes) {
  OcHal h;
  init_syn(h, "oc1_freq_s=100000000 oc2_freq_s=125000000");
  ASSERT_EQ(oc_solver_auto(h.get()), 0);
  drain(h.get());
  h->oc_solver_vco_index = h->oc_solver_hsdiv1_index = h->oc_solver_hsdiv2_index = -5;
  oc_solver_set_indexes(h.get());
  fprec_s v{};
  ASSERT_EQ(get_oc_solver(h.get(), oc_solver_sel_vco_e, h->oc_solver_vco_index, &v), 0);
  EXPECT_EQ(fprec_compare(v, h->vco_freq_s), 0);
  const struct { oc_solver_param_sel_es sel; int32_t index; uint32_t want; } lists[] = {
      {oc_solver_sel_hsdiv1_e, h->oc_solver_hsdiv1_index, h->vco_hsdiv1x2_u8},
      {oc_solver_sel_hsdiv2_e, h->oc_solver_hsdiv2_index, h->vco_hsdiv2x2_u8},
      {oc_solver_sel_oc1_hsdiv_e, h->oc_solver_oc1_hsdiv_index, h->oc1cr3_divsel_u1 + 1},
      {oc_solver_sel_oc2_msdiv_e, h->oc_solver_oc2_ocdiv_index, h->oc2_msdiv_u8},
      {oc_solver_sel_oc2_lsdiv_e, h->oc_solver_oc2_ocdiv_index, h->oc2_lsdiv_u32},
      {oc_solver_sel_oc2_jweight_e, h->oc_solver_oc2_ocdiv_index, static_cast<uint32_t>(h->oc2_jitter_weight)}};
  uint32_t x = 0;
  for (const auto &l : lists) {
    ASSERT_EQ(get_oc_solver(h.get(), l.sel, l.index, &x), 0) << l.sel;
    EXPECT_EQ(x, l.want) << l.sel;
  }
  // The VCO list is increasing (3750 and 4000 MHz), the HSDIV lists ascending and distinct.
  fprec_s prev{0, 1, 1};
  int32_t n = 0;
  for (; get_oc_solver(h.get(), oc_solver_sel_vco_e, n, &v) == 0; ++n, prev = v) EXPECT_EQ(fprec_compare(v, prev), 1);
  EXPECT_EQ(n, 2);
  uint32_t last = 0;
  for (int32_t i = 0; get_oc_solver(h.get(), oc_solver_sel_hsdiv1_e, i, &x) == 0; ++i, last = x) EXPECT_GT(x, last);
  // Unknown lists, missing entries (OC3 unused) and an index outside the VCO list leave the
  // output alone.
  x = 77;
  EXPECT_EQ(get_oc_solver(h.get(), static_cast<oc_solver_param_sel_es>(18), 0, &x), 1);
  EXPECT_EQ(get_oc_solver(h.get(), oc_solver_sel_hsdiv1_e, 16, &x), 1);
  EXPECT_EQ(get_oc_solver(h.get(), oc_solver_sel_oc3_msdiv_e, 0, &x), 1);
  EXPECT_EQ(get_oc_solver(h.get(), oc_solver_sel_vco_e, -1, &v), 1);
  h->oc_solver_vco_index = 50;
  EXPECT_EQ(get_oc_solver(h.get(), oc_solver_sel_hsdiv1_e, 0, &x), 1);
  EXPECT_EQ(x, 77u);
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
  const char *fixed[] = {"oc1_freq_s=156250000 oc2_freq_s=125000000 oc3_freq_s=100000000,1,3",
                         "oc1_freq_s=622080000,255,237 oc2_freq_s=622080000,255,948", "oc1_freq_s=1 oc2_freq_s=1000",
                         "oc1_freq_s=25000000 oc2_freq_s=100000000 oc3_freq_s=312500000"};
  int solved = 0;
  for (int i = 0; i < 304; ++i) {
    OcHal h;
    init_syn(h, i < 4 ? fixed[i] : "");
    for (int k = 1; k <= 3; ++k) {
      const std::string oc = "oc" + std::to_string(k);
      field<uint32_t>(h.get(), oc + "_align_en") = rng() % 2;
      const auto &r = ratios[rng() % 7];
      if (i >= 4 && (k == 1 || rng() % 3 != 0)) set_fprec_s(&field<fprec_s>(h.get(), oc + "_freq_s"), bases[rng() % 18], r[0], r[1]);
    }
    h->oc2_pw_ns_u16 = rng() % 3 == 0 ? 5 : 0;
    const int32_t rc = oc_solver_auto(h.get());
    const auto msgs = drain(h.get());
    const oc_solver_store_s &st = h.st();
    ASSERT_LE(st.option_count, OC_SOLVER_MAX_OPTIONS);
    ASSERT_LE(st.set_count, OC_SOLVER_MAX_SETS);
    if (i < 4) {
      ASSERT_TRUE(rc == 0 && st.best_set != OC_SOLVER_NONE) << i;
      EXPECT_EQ(msgs[0].rfind("\n\nBEST: VCO freq ", 0), 0u) << msgs[0];
    }
    if (rc != 0 || st.best_set == OC_SOLVER_NONE) continue;
    ++solved;
    EXPECT_EQ(h->apllcr1_enhs2_u1, h->vco_hsdiv2x2_u8 != 0 ? 1u : 0u);
    // Each set's options run from its VCO, the rank-1 output's always on HSDIV1, every other
    // on one of the set's HSDIVs; no two sets are the same.
    for (uint32_t s = 0; s < st.set_count; ++s) {
      const oc_solution_s &x = st.sets[s];
      ASSERT_LE(x.opt_count, OC_SOLVER_SET_OPTIONS);
      ASSERT_LE(x.entry_count, OC_SOLVER_SET_ENTRIES);
      for (uint32_t j = 0; j < x.opt_count; ++j) {
        const oc_option_s &o = st.options[x.opt[j]];
        EXPECT_TRUE(!x.valid || !o.valid || option_reproduces(o)) << i;
        EXPECT_EQ(fprec_compare(o.vco, x.vco), 0) << i;
        EXPECT_EQ(o.hsdiv_x2, o.rank == 1 || o.hsdiv_x2 != x.hsdiv2_x2 ? x.hsdiv1_x2 : x.hsdiv2_x2) << i;
      }
      for (uint32_t k = 0; k < s; ++k) {
        const oc_solution_s &y = st.sets[k];
        EXPECT_FALSE(fprec_compare(x.vco, y.vco) == 0 && x.hsdiv1_x2 == y.hsdiv1_x2 && x.hsdiv2_x2 == y.hsdiv2_x2) << i;
      }
    }
    for (int k = 1; k <= 3; ++k) {
      const std::string oc = "oc" + std::to_string(k);
      const fprec_s req = field<fprec_s>(h.get(), oc + "_freq_s");
      if (req.f == 0) continue;
      const uint32_t hs = field<uint32_t>(h.get(), oc + "cr3_divsel_u1") ? h->vco_hsdiv2x2_u8 : h->vco_hsdiv1x2_u8;
      const uint32_t ms = field<uint32_t>(h.get(), oc + "_msdiv_u8"), ls = field<uint32_t>(h.get(), oc + "_lsdiv_u32");
      EXPECT_TRUE(reproduces(h->vco_freq_s, uint64_t{hs} * ms * ls, req)) << i << " " << oc;
      EXPECT_EQ(fprec_compare(field<fprec_s>(h.get(), oc + "_lsdiv_freq_s"), req), 0) << i << " " << oc;
      EXPECT_TRUE(ms <= 128u && ls <= 33554432u);
    }
  }
  EXPECT_GT(solved, 60);  // about a third of the random requests have a common VCO
}

}  // namespace
