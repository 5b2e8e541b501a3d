// Power estimate: register images of a blank KX40112, of the configurations the engine builds
// in each chip mode, and images that exercise each IDD table entry those leave out. Expected
// figures are worked out by hand from the IDD tables (columns: 1.8 V typ, 3.3 V typ,
// 1.8 V max, 3.3 V max, in mA).
#include <gtest/gtest.h>

#include "app/power_estimate.h"
#include "tests/app/app_test_util.h"

namespace {

// The totals are the sums of the columns' powers, so five images with different currents in
// each column pin each column's voltage and margin. PLLEN 0x00B, MCR1 0x009, ICEN 0x00C,
// OCEN 0x00D, APLLCR1 0x100, OCnCR2 0x201/0x211/0x221, ICnCR1 0x300/0x320/0x340.
TEST(power_estimate, CurrentsAndPowerOfEachImage) {
  struct reg_case {
    const char *name;
    std::vector<std::pair<uint32_t, uint8_t>> regs;
    double ma[4];
    double typ_total_w = 0, max_total_w = 0;  // 0: not checked
  };
  const std::vector<reg_case> cases = {
      // Reset defaults: PLLEN 0x00 row 12.6/0/18.0/0, plus the baseline 0/0.6/0/5.0.
      // 12.6 x 1.8 + 0.6 x 3.3 = 24.66 mW; (18 x 1.8 + 5 x 3.3) x 1.05 = 51.345 mW.
      {"blank", {}, {12.6, 0.6, 18.0, 5.0}, 0.02466, 0.051345},
      // SYN: 51.6 + 31 (OC1) + 10 (CML 800) = 92.6; 97.5 + 17 + 0.6 = 115.1;
      // 64.8 + 37 + 12 = 113.8; 117 + 20.4 + 5 = 142.4. XA pins not counted with PLLEN 0x01.
      // Typ. 92.6 x 1.8 + 115.1 x 3.3 = 546.51 mW; max. (113.8 x 1.8 + 142.4 x 3.3) x 1.05
      // = 708.498 mW.
      {"SYN", {{0x00B, 0x01}, {0x009, 0x05}, {0x00D, 0x01}, {0x100, 0x00}, {0x201, 0x01}},
       {92.6, 115.1, 113.8, 142.4}, 0.54651, 0.708498},
      // NCO (XAB 2, DBL 0): 85.6 + 31 + 28 + 10 + 2.1 = 156.7; 97.5 + 12 (XA) + 19.2 (HSDIV2) +
      // 17 + 15.9 + 0.6 = 162.2; 110.4 + 37 + 33.4 + 12 + 2.5 = 195.3; 117 + 14.4 + 23 + 20.4 +
      // 21.8 + 5 = 201.6. Typ. 282.06 + 535.26 = 817.32 mW; max. (351.54 + 665.28) x 1.05 =
      // 1067.661 mW.
      {"NCO", {{0x00B, 0x11}, {0x009, 0x12}, {0x00D, 0x03}, {0x100, 0x04}, {0x201, 0x01}, {0x211, 0x03}},
       {156.7, 162.2, 195.3, 201.6}, 0.81732, 1.067661},
      // SS (XAB 2, DBL 1), OC2 off: 85.6 + 31 + 28 + 2.1 + 2.1 = 148.8; 97.5 + 12 + 4 (doubler) +
      // 19.2 + 15.9 + 15.9 + 0.6 = 165.1; 110.4 + 37 + 33.4 + 2.5 + 2.5 = 185.8;
      // 117 + 14.4 + 4.8 + 23 + 21.8 + 21.8 + 5 = 207.8. Typ. 267.84 + 544.83 = 812.67 mW;
      // max. (334.44 + 685.74) x 1.05 = 1071.189 mW.
      {"SS", {{0x00B, 0x11}, {0x009, 0x16}, {0x00D, 0x05}, {0x100, 0x04}, {0x201, 0x04}, {0x211, 0x01}, {0x221, 0x06}},
       {148.8, 165.1, 185.8, 207.8}, 0.81267, 1.071189},
      // JA, IC3 off: 85.6 + 2 x 10 (IC1, IC2) + 2 (IC1 HSDIV 2) + 31 + 28 + 28 + 10 + 2.1 + 2.1 =
      // 208.8; 97.5 + 12 + 19.2 + 17 + 15.9 + 15.9 + 0.6 = 178.1;
      // 110.4 + 24 + 2.4 + 37 + 33.4 + 33.4 + 12 + 2.5 + 2.5 = 257.6;
      // 117 + 14.4 + 23 + 20.4 + 21.8 + 21.8 + 5 = 223.4.
      // Typ. 375.84 + 587.73 = 963.57 mW; max. (463.68 + 737.22) x 1.05 = 1260.945 mW.
      {"JA",
       {{0x00B, 0x11}, {0x009, 0x12}, {0x00C, 0x03}, {0x300, 0x02}, {0x320, 0x00}, {0x340, 0x03}, {0x00D, 0x07},
        {0x100, 0x04}, {0x201, 0x01}, {0x211, 0x03}, {0x221, 0x04}},
       {208.8, 178.1, 257.6, 223.4}, 0.96357, 1.260945},
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
      // IC2 and IC3 (2 x 10/12) with HSDIV 1 (1.0/1.2) and 2 (2.0/2.4); IC1's divider does not
      // count while IC1 is off. 51.6 + 10 + 1 + 10 + 2 = 74.6; 64.8 + 12 + 1.2 + 12 + 2.4 = 92.4.
      {"IC2 and IC3 HSDIV", {{0x00B, 0x01}, {0x00C, 0x06}, {0x320, 0x01}, {0x340, 0x02}, {0x300, 0x03}},
       {74.6, 98.1, 92.4, 122.0}},
      // OC2 alone (28/33.4) with CML 400 (10/8.5/12/10.2); the others' formats do not count.
      {"OC2 CML 400", {{0x00B, 0x01}, {0x00D, 0x02}, {0x201, 0x01}, {0x211, 0x02}, {0x221, 0x01}},
       {89.6, 106.6, 110.2, 132.2}},
      // Unknown PLLEN starts at 0 and still counts the outputs: OC3 (28/33.4), format 7
      // (2.1/15.9/2.5/21.8), HSDIV2 (19.2/23).
      {"PLLEN 0x03", {{0x00B, 0x03}, {0x00D, 0x04}, {0x221, 0x07}, {0x100, 0x04}}, {30.1, 35.7, 35.9, 49.8}},
  };
  for (const reg_case &c : cases) {
    SCOPED_TRACE(c.name);
    hal_holder o(init_api_full_e, kova_device_40112_e);
    for (const auto &[a, v] : c.regs) put_reg(&o.h, a, v);
    const power_estimate_s e = powerUpdate(&o.h);
    for (int col = 0; col < power_columns_e; ++col) EXPECT_NEAR(e.current_ma[col], c.ma[col], 1e-9) << "column " << col;
    if (c.typ_total_w != 0) {
      EXPECT_NEAR(e.typical_total_w, c.typ_total_w, 1e-9);
      EXPECT_NEAR(e.max_total_w, c.max_total_w, 1e-9);
    }
  }
  EXPECT_EQ(powerUpdate(nullptr).current_ma[power_max_33_e], 0.0);
}

}  // namespace
