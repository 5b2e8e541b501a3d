// Limits by device, mode, system clock and XA mode.
#include <gtest/gtest.h>

#include "tests/hal_test_support.h"

#include <string>
#include <vector>

#include "hal/hal_api.h"

namespace {

using kova_test::Hal;
using kova_test::drain;

void init_full(hal_api_s *h, int32_t device, int32_t mode, int32_t xa, int32_t sysclk) {
  h->kova_device_e = device;
  h->kova_device_rev_e = 0;
  h->kova_mode_e = mode;
  h->xa_mode_e = xa;
  h->sysclk_mode_e = sysclk;
  h->init_api_mode_e = init_api_full_e;
  init_api(h);
}


TEST(Limits, PerDeviceTable) {
  struct row_s {
    int32_t device;
    double ic_diff, oc_cml;
    uint32_t bw_min, bw_max, df_min, df_max;
    double mon_min, mon_diff;
    uint32_t id2;
  } rows[] = {
      {40000, 1250, 1035, 1, 500, 1, 10, 1.0, 3.0, 0xF},  {40075, 650, 650, 1, 500, 1, 10, 1.0, 3.0, 0x5},
      {40089, 1250, 1035, 14, 500, 1, 10, 1.0, 3.0, 0x7}, {40110, 1250, 1035, 0, 0, 0, 0, 0, 0, 0x0},
      {40111, 1250, 1035, 0, 0, 0, 0, 0, 0, 0x1},         {40112, 1250, 1035, 14, 500, 1, 2, 10000, 0, 0x2},
      {40113, 1250, 1035, 14, 500, 1, 2, 10000, 0, 0x3},
  };
  for (const auto &r : rows) {
    Hal h;
    init_full(h.get(), r.device, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e);
    SCOPED_TRACE(r.device);
    EXPECT_TRUE(drain(h.get()).empty());
    EXPECT_EQ(h->ic_diff_max_freq_mhz_r, r.ic_diff);
    EXPECT_EQ(h->oc_cml_max_freq_mhz_r, r.oc_cml);
    EXPECT_EQ(h->dpll_bw_hz_min, r.bw_min);
    EXPECT_EQ(h->dpll_bw_hz_max, r.bw_max);
    EXPECT_EQ(h->dpll_df_min, r.df_min);
    EXPECT_EQ(h->dpll_df_max, r.df_max);
    EXPECT_EQ(h->ic_mon_min_ppm_r, r.mon_min);
    EXPECT_EQ(h->ic_mon_min_diff_ppm_r, r.mon_diff);
    // Device code in ID2's upper nibble, lower nibble of the default kept.
    EXPECT_EQ(get_reg(h.get(), 0x031), r.id2 << 4);
  }
}

TEST(Limits, Id2KeepsTheLowerNibble) {
  Hal h;
  init_full(h.get(), 40089, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e);
  put_reg(h.get(), 0x031, 0xA6);
  h->init_api_mode_e = init_api_limits_e;
  init_api(h.get());
  EXPECT_EQ(get_reg(h.get(), 0x031), 0x76u);
}

TEST(Limits, XaRangeTable) {
  struct row_s {
    int32_t mode, sysclk, xa;
    double min, max;
  } rows[] = {
      {0, 1, 1, 9.72, 156.25}, {0, 1, 2, 9.72, 156.25}, {0, 1, 3, 25, 60},  {0, 1, 4, 25, 60},
      {0, 1, 5, 4.86, 78.125}, {0, 1, 6, 4.86, 78.125}, {1, 0, 1, 80, 130}, {1, 0, 4, 40, 60},
      {1, 0, 5, 40, 65},       {2, 0, 2, 80, 130},      {2, 0, 4, 55, 60},  {2, 0, 6, 40, 65},
      {3, 0, 1, 98, 130},      {3, 0, 4, 40, 60},       {3, 0, 5, 49, 65},  {3, 0, 6, 49, 65},
  };
  for (const auto &r : rows) {
    Hal h;
    init_full(h.get(), 40000, r.mode, r.xa, r.sysclk);
    SCOPED_TRACE(std::to_string(r.mode) + "/" + std::to_string(r.sysclk) + "/" + std::to_string(r.xa));
    EXPECT_EQ(h->xa_min_freq_mhz_r, r.min);
    EXPECT_EQ(h->xa_max_freq_mhz_r, r.max);
  }
}

// The crystal errors can only be reached through a revalidation that runs the limits on an
// object whose XA mode was set to XTAL after the mode-0 validation (validation itself turns
// XTAL into XTAL DBL outside SYN), or in SYN with the system clock on the XA pins, which
// validation also corrects. Run init_api_limits directly for them.
TEST(Limits, CrystalErrorsStopBeforeId2) {
  struct row_s {
    int32_t mode, sysclk;
    const char *msg;
  } rows[] = {
      {0, 0, "ERROR: xa_mode=XTAL is invalid in SYN mode when SYSCLK not RO"},
      {1, 0, "ERROR: xa_mode=XTAL is invalid in NCO or SS mode"},
      {2, 0, "ERROR: xa_mode=XTAL is invalid in NCO or SS mode"},
      {3, 0, "ERROR: xa_mode=XTAL is invalid in JA mode"},
  };
  for (const auto &r : rows) {
    Hal h;
    init_full(h.get(), 40000, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e);
    drain(h.get());
    put_reg(h.get(), 0x031, 0x00);
    h->kova_mode_e = r.mode;
    h->sysclk_mode_e = r.sysclk;
    h->xa_mode_e = xa_mode_xtal_e;
    h->xa_min_freq_mhz_r = h->xa_max_freq_mhz_r = -1;
    init_api_limits(h.get());
    EXPECT_EQ(drain(h.get()), std::vector<std::string>{r.msg});
    EXPECT_EQ(get_reg(h.get(), 0x031), 0u);
    EXPECT_EQ(h->xa_min_freq_mhz_r, -1);
    EXPECT_EQ(h->xa_max_freq_mhz_r, -1);
  }
}

}  // namespace
