// Power estimate: a blank image, one configuration of each chip mode built by the engine, and
// register images that exercise each IDD table entry the configurations leave out. Expected
// figures are worked out by hand from the IDD tables (columns: 1.8 V typ, 3.3 V typ,
// 1.8 V max, 3.3 V max, in mA).
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/app_log.h"
#include "app/device_settings.h"
#include "app/power_estimate.h"
#include "app/run_control.h"

namespace {

struct hal_holder {
  hal_api_s h{};
  ~hal_holder() { delete_api(&h); }
};

void expect_currents(const power_estimate_s &e, const double (&ma)[4]) {
  for (int c = 0; c < power_columns_e; ++c) EXPECT_NEAR(e.current_ma[c], ma[c], 1e-9) << "column " << c;
}

// A blank KX40112 image: every register at its reset default (PLLEN 0x00, nothing enabled).
void blank(hal_holder *o) {
  o->h.kova_device_e = 40112;
  o->h.init_api_mode_e = init_api_full_e;
  init_api(&o->h);
}

TEST(power_estimate, BlankImage) {
  hal_holder o;
  blank(&o);
  // PLLEN 0x00 row 12.6/0/18.0/0, plus the baseline 0/0.6/0/5.0.
  const power_estimate_s e = powerUpdate(&o.h);
  expect_currents(e, {12.6, 0.6, 18.0, 5.0});
  // 12.6 x 1.8 = 22.68 mW; 0.6 x 3.3 = 1.98 mW; 18 x 1.8 x 1.05 = 34.02 mW; 5 x 3.3 x 1.05 =
  // 17.325 mW (shown 0.023, 0.002, 0.034, 0.017).
  const double w[4] = {0.02268, 0.00198, 0.03402, 0.017325};
  for (int c = 0; c < power_columns_e; ++c) EXPECT_NEAR(e.power_w[c], w[c], 1e-12) << "column " << c;
  EXPECT_NEAR(e.typical_total_w, 0.02466, 1e-12);
  EXPECT_NEAR(e.max_total_w, 0.051345, 1e-12);
  EXPECT_EQ(powerUpdate(nullptr).current_ma[power_max_33_e], 0.0);
}

// Output n at hz with a signal format.
void oc(hal_api_s *h, int n, uint32_t hz, uint32_t format) {
  fprec_s *f[3] = {&h->oc1_freq_s, &h->oc2_freq_s, &h->oc3_freq_s};
  uint32_t *sf[3] = {&h->oc1cr2_ocsf_u3, &h->oc2cr2_ocsf_u3, &h->oc3cr2_ocsf_u3};
  *f[n] = {hz, 1, 1}, *sf[n] = format;
}

struct config_case {
  const char *name;
  int32_t mode, xa_mode;
  std::function<void(hal_api_s *)> edit;
  double ma[4];
  double typ_total_w, max_total_w;
};

// Each configuration is a KX40112 with the mode's defaults and the edits, initialised and
// recalculated; the comment lists the registers the engine gives and the sum.
const std::vector<config_case> &configs() {
  static const std::vector<config_case> list = {
      // SYN: PLLEN 0x01, MCR1 0x05, OCEN 0x01, APLLCR1 0x00, OC1CR2 0x01.
      // 51.6 + 31 (OC1) + 10 (CML 800) = 92.6; 97.5 + 17 + 0.6 = 115.1;
      // 64.8 + 37 + 12 = 113.8; 117 + 20.4 + 5 = 142.4. XA pins not counted with PLLEN 0x01.
      // Typ. 92.6 x 1.8 + 115.1 x 3.3 = 546.51 mW; max. (113.8 x 1.8 + 142.4 x 3.3) x 1.05
      // = 708.498 mW.
      {"SYN", kova_mode_syn_e, xa_mode_xtal_dbl_e, [](hal_api_s *h) { oc(h, 0, 156250000, 1); },
       {92.6, 115.1, 113.8, 142.4}, 0.54651, 0.708498},
      // NCO: PLLEN 0x11, MCR1 0x12 (XAB 2, DBL 0), OCEN 0x03, APLLCR1 0x04, OC1CR2 0x01,
      // OC2CR2 0x03. 85.6 + 31 + 28 + 10 + 2.1 = 156.7; 97.5 + 12 (XA) + 19.2 (HSDIV2) + 17 +
      // 15.9 + 0.6 = 162.2; 110.4 + 37 + 33.4 + 12 + 2.5 = 195.3; 117 + 14.4 + 23 + 20.4 +
      // 21.8 + 5 = 201.6. Typ. 282.06 + 535.26 = 817.32 mW; max. (351.54 + 665.28) x 1.05 =
      // 1067.661 mW.
      {"NCO", kova_mode_nco_e, -1, [](hal_api_s *h) { oc(h, 0, 156250000, 1), oc(h, 1, 100000000, 3); },
       {156.7, 162.2, 195.3, 201.6}, 0.81732, 1.067661},
      // SS: PLLEN 0x11, MCR1 0x16 (XAB 2, DBL 1), OCEN 0x05, APLLCR1 0x04, OC1CR2 0x04,
      // OC3CR2 0x06 (OC2CR2 0x01 but OC2 off). 85.6 + 31 + 28 + 2.1 + 2.1 = 148.8; 97.5 + 12 +
      // 4 (doubler) + 19.2 + 15.9 + 15.9 + 0.6 = 165.1; 110.4 + 37 + 33.4 + 2.5 + 2.5 = 185.8;
      // 117 + 14.4 + 4.8 + 23 + 21.8 + 21.8 + 5 = 207.8. Typ. 267.84 + 544.83 = 812.67 mW;
      // max. (334.44 + 685.74) x 1.05 = 1071.189 mW.
      {"SS", kova_mode_ss_e, xa_mode_xo_dbl_e, [](hal_api_s *h) { oc(h, 0, 156250000, 4), oc(h, 2, 125000000, 6); },
       {148.8, 165.1, 185.8, 207.8}, 0.81267, 1.071189},
      // JA: PLLEN 0x11, MCR1 0x12, ICEN 0x03, IC1CR1 0x02, IC2CR1 0x00 (IC3CR1 0x03 but IC3
      // off), OCEN 0x07, APLLCR1 0x04, OCnCR2 0x01, 0x03, 0x04.
      // 85.6 + 2 x 10 (IC1, IC2) + 2 (IC1 HSDIV 2) + 31 + 28 + 28 + 10 + 2.1 + 2.1 = 208.8;
      // 97.5 + 12 + 19.2 + 17 + 15.9 + 15.9 + 0.6 = 178.1;
      // 110.4 + 24 + 2.4 + 37 + 33.4 + 33.4 + 12 + 2.5 + 2.5 = 257.6;
      // 117 + 14.4 + 23 + 20.4 + 21.8 + 21.8 + 5 = 223.4.
      // Typ. 375.84 + 587.73 = 963.57 mW; max. (463.68 + 737.22) x 1.05 = 1260.945 mW.
      {"JA", kova_mode_ja_e, -1,
       [](hal_api_s *h) {
         h->ic1_freq_s = {700000000, 1, 1}, h->ic2_freq_s = {25000000, 1, 1};
         h->icen_ic1en_u1 = h->icen_ic2en_u1 = 1;
         oc(h, 0, 156250000, 1), oc(h, 1, 100000000, 3), oc(h, 2, 25000000, 4);
       },
       {208.8, 178.1, 257.6, 223.4}, 0.96357, 1.260945},
  };
  return list;
}

TEST(power_estimate, ConfigurationOfEachMode) {
  for (const config_case &c : configs()) {
    SCOPED_TRACE(c.name);
    hal_holder o;
    o.h.kova_device_e = 40112;
    ASSERT_TRUE(__dev_DefaultsForDevType(&o.h, false));
    o.h.kova_mode_e = c.mode;
    ASSERT_TRUE(__dev_DefaultsForDevMode(&o.h, false));
    if (c.xa_mode >= 0) o.h.xa_mode_e = c.xa_mode;
    o.h.init_api_mode_e = init_api_full_e;
    ASSERT_TRUE(HalStruct_Initialize(&o.h));
    c.edit(&o.h);
    ASSERT_TRUE(HalStruct_Recalculate(&o.h));
    const power_estimate_s e = powerUpdate(&o.h);
    expect_currents(e, c.ma);
    EXPECT_NEAR(e.typical_total_w, c.typ_total_w, 1e-9);
    EXPECT_NEAR(e.max_total_w, c.max_total_w, 1e-9);
  }
}

// Register images for the entries and rules the configurations above do not reach.
TEST(power_estimate, TableEntriesAndRules) {
  struct reg_case {
    const char *name;
    std::vector<std::pair<uint32_t, uint8_t>> regs;
    double ma[4];
  };
  const std::vector<reg_case> cases = {
      // DPLL bit without the APLL bit: no start row; IC1 enable 10/12 and its HSDIV 3 (3.0/3.6).
      {"PLLEN 0x10", {{0x00B, 0x10}, {0x00C, 0x01}, {0x300, 0x03}}, {13.0, 0.6, 15.6, 5.0}},
      // Nothing counts beyond the start row while PLLEN is 0x00.
      {"PLLEN 0x00, all enabled", {{0x00C, 0x07}, {0x00D, 0x07}, {0x100, 0x04}, {0x009, 0x05}}, {12.6, 0.6, 18.0, 5.0}},
      // XAB 1 (12/14.4) and the doubler (4/4.8) with the DPLL and APLL.
      {"XA pins and doubler", {{0x00B, 0x11}, {0x009, 0x05}}, {85.6, 114.1, 110.4, 141.2}},
      // The doubler is not counted while XAB is 0.
      {"doubler without XA pins", {{0x00B, 0x11}, {0x009, 0x04}}, {85.6, 98.1, 110.4, 122.0}},
      // APLL only: MCR1 is not looked at.
      {"APLL only ignores MCR1", {{0x00B, 0x01}, {0x009, 0x05}}, {51.6, 98.1, 64.8, 122.0}},
      // IC3 alone with HSDIV 2 (2.0/2.4); IC1's divider does not count while IC1 is off.
      {"IC3 HSDIV", {{0x00B, 0x01}, {0x00C, 0x04}, {0x340, 0x02}, {0x300, 0x03}}, {63.6, 98.1, 79.2, 122.0}},
      // IC2 alone with HSDIV 1 (1.0/1.2).
      {"IC2 HSDIV", {{0x00B, 0x01}, {0x00C, 0x02}, {0x320, 0x01}}, {62.6, 98.1, 78.0, 122.0}},
      // OC2 alone (28/33.4) with CML 400 (10/8.5/12/10.2); the others' formats do not count.
      {"OC2 CML 400", {{0x00B, 0x01}, {0x00D, 0x02}, {0x201, 0x01}, {0x211, 0x02}, {0x221, 0x01}},
       {89.6, 106.6, 110.2, 132.2}},
      // Unknown PLLEN starts at 0 and still counts the outputs: OC3 (28/33.4), format 7
      // (2.1/15.9/2.5/21.8), HSDIV2 (19.2/23).
      {"PLLEN 0x03", {{0x00B, 0x03}, {0x00D, 0x04}, {0x221, 0x07}, {0x100, 0x04}}, {30.1, 35.7, 35.9, 49.8}},
  };
  for (const reg_case &c : cases) {
    SCOPED_TRACE(c.name);
    hal_holder o;
    blank(&o);
    for (const auto &[a, v] : c.regs) put_reg(&o.h, a, v);
    expect_currents(powerUpdate(&o.h), c.ma);
  }
}

}  // namespace
