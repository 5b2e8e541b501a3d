// Product table, device and mode defaults, and the monitor thresholds of an input record.
#include <gtest/gtest.h>

#include <tuple>

#include "app/app_options.h"
#include "app/device_settings.h"

namespace {

TEST(DeviceSettings, ProductNumberingAndTheModesOffered) {
  for (int32_t i = 0; i < KOVA_PRODUCT_COUNT; ++i) {
    if (KovaProduct[i].index < 0) continue;
    EXPECT_EQ(__dev_ConvertHalToApiPartNumber(KovaProduct[i].device), i);
    // The offered modes are exactly the ones the engine allows for the device.
    for (int32_t m = 0; m < 4; ++m)
      EXPECT_EQ((KovaProduct[i].modeMask >> m & 1) != 0, kova_device_mode_allowed(KovaProduct[i].device, m))
          << KovaProduct[i].partNumber << " mode " << m;
  }
  EXPECT_EQ(__dev_ConvertApiToHalPartNumber(7), 40089);
  EXPECT_EQ(__dev_ConvertApiToHalPartNumber(9), -1);
  EXPECT_EQ(__dev_ConvertHalToApiPartNumber(40001), -1);
  EXPECT_FALSE(__dev_DevicePartNumberValid(4));  // an empty row
  for (const bool super_user : {true, false}) {  // KX40000 only for super users
    SuperUserModeSet(super_user);
    EXPECT_TRUE(__dev_DevicePartNumberValid(7));
    EXPECT_EQ(__dev_DevicePartNumberValid(8), super_user);
  }
  const int32_t xa[7] = {0, 1, 2, 3, 5, 6, 4};
  for (int32_t m = 0; m < 7; ++m) {
    EXPECT_EQ(__dev_MasterClockToXaMode(m), xa[m]);
    EXPECT_EQ(__dev_XaModeToMasterClock(xa[m]), m);
  }
  EXPECT_EQ(__dev_MasterClockToXaMode(7), -1);
}

TEST(DeviceSettings, DeviceAndModeDefaults) {
  hal_api_s h{};
  h.kova_device_e = 40089;
  ASSERT_TRUE(__dev_DefaultsForDevType(&h));
  EXPECT_EQ(std::make_tuple(h.kova_device_rev_e, h.kova_mode_e, h.sysclk_mode_e),
            std::make_tuple(1, int32_t{kova_mode_ja_e}, int32_t{sysclk_mode_xa_e}));
  h.kova_device_rev_e = 0;  // a connected chip keeps its own revision
  ASSERT_TRUE(__dev_DefaultsForDevType(&h, true));
  EXPECT_EQ(h.kova_device_rev_e, 0);
  h.kova_mode_e = kova_mode_syn_e;
  ASSERT_TRUE(__dev_DefaultsForDevMode(&h));
  EXPECT_EQ(std::make_tuple(h.kova_mode_e, h.sysclk_mode_e),
            std::make_tuple(int32_t{kova_mode_syn_e}, int32_t{sysclk_mode_ro_e}));
  hal_api_s bad{};
  bad.kova_mode_e = 2;  // device 0: the empty rows' device number
  EXPECT_FALSE(__dev_DefaultsForDevType(&bad));
  EXPECT_FALSE(__dev_DefaultsForDevMode(&bad));
  EXPECT_EQ(bad.kova_mode_e, 2);
}

TEST(DeviceSettings, MonitorThresholdDerivation) {
  // Product 7 offers fine monitoring, product 2 (KX40112) does not; -1: not looked at.
  const struct { int32_t product, thr, thr2; bool changed; int32_t want[4]; } cases[] = {
      {7, 3000, 0, true, {10000, -1, 2, -1}},  {2, 3000, 0, true, {10000, -1, -1, -1}}, {7, 300, 100, true, {300, 300, 1, 1}},
      {2, 300, 100, true, {0, 0, 0, -1}},      {7, 100, 120, false, {-1, -1, -1, 0}},  {7, 250000, 700, true, {200000, 0, -1, -1}}};
  for (const auto &c : cases) {
    __dev_InputClockConfigS cfg{};
    cfg.ppm = {1, c.thr, c.thr2};
    EXPECT_EQ(__dev_InputClockMonitorModeDerive(c.product, &cfg), c.changed) << c.product << " " << c.thr;
    const int32_t got[4] = {cfg.ppm.threshold, cfg.ppm.threshold2, cfg.monitorRange, cfg.hysteresisOff};
    for (int k = 0; k < 4; ++k)
      if (c.want[k] >= 0) {
        EXPECT_EQ(got[k], c.want[k]) << c.product << " " << c.thr << " column " << k;
      }
  }
}

}  // namespace
