// The clock tree rebuilt by the register calculation stays exact or says it cannot.
#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// An output whose divider chain no longer fits 32-bit frequency words: OC1 = 3.85 MHz x
// 1000 / 4651569 through an LSDIV of 2^25 - 1 gives an MSDIV input whose numerator needs 35
// bits. Rebuilt with the overflow replaced, the tree would hold another frequency than the
// chip runs at; the calculation stops with an error instead of programming registers from it.
TEST(CalcHalExactness, AClockTreeThatCannotBeHeldExactlyIsAnError) {
  Hal h;
  init_full(h.get(), 40089, kova_mode_syn_e);
  drain(h.get());
  set_fprec_s(&h->oc1_freq_s, 3850000, 1000, 4651569);
  calc_expert(h.get());
  drain(h.get());
  set_fields(h.get(), "oc1cr3_lssel_u1=1 oc1_lsdiv_u32=33554431");
  calc_hal(h.get());
  bool overflow = false;
  for (const auto &m : drain(h.get())) overflow |= m == "ERROR: fprec_scale oc1_msdiv_freq_s overflow";
  EXPECT_TRUE(overflow);
}

// An ordinary plan rebuilds the same VCO the plan chose.
TEST(CalcHalExactness, AnOrdinaryPlanRebuildsItsVco) {
  Hal h;
  init_full(h.get(), 40089, kova_mode_syn_e);
  drain(h.get());
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 100000000, 1, 3);
  calc_expert(h.get());
  drain(h.get());
  const fprec_s planned = h->vco_freq_s;
  calc_hal(h.get());
  for (const auto &m : drain(h.get())) EXPECT_EQ(m.find("ERROR"), std::string::npos) << m;
  EXPECT_EQ(fprec_compare(planned, h->vco_freq_s), 0);
}

}  // namespace
