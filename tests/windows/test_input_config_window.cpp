// The input configuration window on an emulated board: the linked threshold rules driven
// through the widgets, asserted on the configuration object and the chip's monitor
// registers; the ranges each product's monitor offers.
#include <QCheckBox>
#include <QSpinBox>
#include <tuple>

#include "app/windows/input_config_window.h"
#include "input_window_support.h"

namespace {

struct input_config_window_test : input_window_fixture {
  void range(int32_t value) { choose("monitorRangeCombo", find<QComboBox>("monitorRangeCombo")->findData(value)); }
};
using T = input_config_window_test;

TEST_F(input_config_window_test, thresholds_reach_the_object_and_the_chip) {
  // What, device, input; the user's steps; accept and reject stored, reject field shown.
  const std::tuple<const char *, const char *, int, void (*)(T *), uint32_t, uint32_t, bool> cases[] = {
      {"coarse: 20000 ppm shows 2 %, 5 stores 50000", "40112", 0, [](T *t) {
         t->session->change([](hal_api_s *h) { h->ic1_mon_thr_ppm = 20000; });
         t->range(2);
         EXPECT_EQ(t->find<QSpinBox>("acceptSpin")->value(), 2);
         t->type("acceptSpin", "5");
       }, 50000, 0, false},
      {"fine: accept 150 raises reject 120", "40089", 1,
       [](T *t) { t->range(1), t->type("acceptSpin", "100"), t->type("rejectSpin", "120"), t->type("acceptSpin", "150"); },
       150, 150, true},
      {"fine: the hysteresis box clears reject", "40089", 0,
       [](T *t) { t->range(1), t->type("acceptSpin", "100"), t->type("rejectSpin", "200"), t->find<QCheckBox>("hysteresisCheck")->click(); },
       100, 0, false},
  };
  for (const auto &[what, device, channel, act, thr, thr2, reject_shown] : cases) {
    SCOPED_TRACE(what);
    start<InputConfigForm>(device, true, channel);
    act(this);
    EXPECT_EQ(channel ? session->hal()->ic2_mon_thr_ppm : session->hal()->ic1_mon_thr_ppm, thr);
    EXPECT_EQ(channel ? session->hal()->ic2_mon_thr2_ppm : session->hal()->ic1_mon_thr2_ppm, thr2);
    EXPECT_EQ(find<QSpinBox>("rejectSpin")->isVisible(), reject_shown);
    expect_chip_holds_the_monitors();
    EXPECT_EQ(find<QComboBox>("monitorRangeCombo")->count(), device == std::string("40112") ? 2 : 3);  // monitor mask
  }
}

}  // namespace
