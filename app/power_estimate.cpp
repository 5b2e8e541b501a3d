#include "app/power_estimate.h"

namespace {

// One table of the IDD data: the current in mA of each column for each value of the field
// that selects the entry (at most 8 values).
struct idd_table_s {
  double ma[power_columns_e][8];
};

// ---------------------------------------------------------------------------------------
// The IDD tables, columns 1.8 V typical, 3.3 V typical, 1.8 V maximum, 3.3 V maximum.

// Start values by PLLEN (0x00B): nothing, APLL only, DPLL and APLL.
constexpr double kPllen00[power_columns_e] = {12.6, 0.0, 18.0, 0.0};
constexpr double kPllen01[power_columns_e] = {51.6, 97.5, 64.8, 117.0};
constexpr double kPllen11[power_columns_e] = {85.6, 97.5, 110.4, 117.0};

// XA pins by MCR1.XAB (bits 1..0).
constexpr idd_table_s kXaPins = {{{0, 0, 0, 0}, {0, 12.0, 12.0, 0}, {0, 0, 0, 0}, {0, 14.4, 14.4, 0}}};
// XA doubler by MCR1.DBL (bit 2).
constexpr idd_table_s kXaDoubler = {{{0, 0}, {0, 4.0}, {0, 0}, {0, 4.8}}};
// One input by its ICEN bit.
constexpr idd_table_s kInputEnable = {{{0, 10.0}, {0, 0}, {0, 12.0}, {0, 0}}};
// An enabled input's high-speed divider by ICnCR1 bits 1..0.
constexpr idd_table_s kInputHsdiv = {{{0, 1.0, 2.0, 3.0}, {0, 0, 0, 0}, {0, 1.2, 2.4, 3.6}, {0, 0, 0, 0}}};
// HSDIV2 by APLLCR1.ENHS2 (bit 2).
constexpr idd_table_s kHsdiv2Enable = {{{0, 0}, {0, 19.2}, {0, 0}, {0, 23.0}}};
// Each output by its OCEN bit.
constexpr idd_table_s kOutputEnable[3] = {
    {{{0, 31.0}, {0, 0}, {0, 37.0}, {0, 0}}},
    {{{0, 28.0}, {0, 0}, {0, 33.4}, {0, 0}}},
    {{{0, 28.0}, {0, 0}, {0, 33.4}, {0, 0}}},
};
// An enabled output's signal format by OCnCR2.OCSF (bits 2..0).
constexpr idd_table_s kOutputFormat = {{
    {0, 10.0, 10.0, 2.1, 2.1, 2.1, 2.1, 2.1},
    {0, 17.0, 8.5, 15.9, 15.9, 15.9, 15.9, 15.9},
    {0, 12.0, 12.0, 2.5, 2.5, 2.5, 2.5, 2.5},
    {0, 20.4, 10.2, 21.8, 21.8, 21.8, 21.8, 21.8},
}};
// Always there.
constexpr double kBaseline[power_columns_e] = {0.0, 0.6, 0.0, 5.0};

// Supply voltage of each column and the margin of the maximum figures.
constexpr double kVolts[power_columns_e] = {1.8, 3.3, 1.8, 3.3};
constexpr double kMargin[power_columns_e] = {1.0, 1.0, 1.05, 1.05};

constexpr uint32_t kMcr1 = 0x009, kPllen = 0x00B, kIcen = 0x00C, kOcen = 0x00D, kApllcr1 = 0x100;
constexpr uint32_t kIcCr1[3] = {0x300, 0x320, 0x340};
constexpr uint32_t kOcCr2[3] = {0x201, 0x211, 0x221};

void add(double *acc, const idd_table_s &t, uint32_t index) {
  for (int c = 0; c < power_columns_e; ++c) acc[c] += t.ma[c][index & 7u];
}

}  // namespace

power_estimate_s powerUpdate(const hal_api_s *hal) {
  power_estimate_s e{};
  if (!hal) return e;
  double *acc = e.current_ma;
  auto reg = [hal](uint32_t a) { return get_reg(hal, a) & 0xFFu; };

  const uint32_t pllen = reg(kPllen);
  const double *start = pllen == 0x00 ? kPllen00 : pllen == 0x01 ? kPllen01 : pllen == 0x11 ? kPllen11 : nullptr;
  if (start)
    for (int c = 0; c < power_columns_e; ++c) acc[c] = start[c];

  // The XA pins draw only when the DPLL runs beside the APLL.
  if (pllen == 0x11) {
    const uint32_t mcr1 = reg(kMcr1);
    const uint32_t xab = mcr1 & 3u;
    add(acc, kXaPins, xab);
    if (xab != 0) add(acc, kXaDoubler, (mcr1 >> 2) & 1u);
  }

  if (pllen != 0) {
    const uint32_t icen = reg(kIcen);
    for (uint32_t n = 0; n < 3; ++n) add(acc, kInputEnable, (icen >> n) & 1u);
    for (uint32_t n = 0; n < 3; ++n)
      if ((icen >> n) & 1u) add(acc, kInputHsdiv, reg(kIcCr1[n]) & 3u);

    add(acc, kHsdiv2Enable, (reg(kApllcr1) >> 2) & 1u);

    const uint32_t ocen = reg(kOcen);
    for (uint32_t n = 0; n < 3; ++n) add(acc, kOutputEnable[n], (ocen >> n) & 1u);
    for (uint32_t n = 0; n < 3; ++n)
      if ((ocen >> n) & 1u) add(acc, kOutputFormat, reg(kOcCr2[n]) & 7u);
  }

  for (int c = 0; c < power_columns_e; ++c) {
    acc[c] += kBaseline[c];
    e.power_w[c] = acc[c] * kVolts[c] * kMargin[c] / 1000.0;
  }
  e.typical_total_w = e.power_w[power_typ_18_e] + e.power_w[power_typ_33_e];
  e.max_total_w = e.power_w[power_max_18_e] + e.power_w[power_max_33_e];
  return e;
}

