// End to end, one configuration per mode: the expert calculation chooses the plan, the
// register calculation and build_regs turn it into the register image. The whole image is
// compared with a golden list (every byte that differs from the chip's reset default), whose
// key values were worked out by hand from the plan:
//  SYN: VCO 3750 MHz = 30 x 125 MHz, HSDIV1 6 (code 4), HSDIV2 5 (code 2) -> 0x101 = 0x24;
//       AFBDIV 30 x 2^33 (0x10A = 0x3C), 13 unused fraction bits (0x114); OC3 10 ns at the
//       375 MHz MSDIV output is round(3.75) = 4 periods (0x226).
//  NCO: DCO 96.5 MHz, VCO 3900 MHz, HSDIV1 6.5; 3900 / 96.5 = 7800 / 193 with every fraction
//       bit: AFBDIV 0x50D43A5CD9, AFBDEN 193, AFBREM 103; DFREQZ 39 x 2^33 - 1 (remainder
//       above one half).
//  SS:  the same plan, the feedback at the low end of the 0.5 % down spread; SSCNT 415 from a
//       count of 417 (50 MHz / 30 kHz / 4), DECINC 2003417 = 0x1E91D9.
//  JA:  PFD 312.5 kHz = 10 MHz / 32 = 25 MHz / 80, DCO 354 x PFD, VCO 3750 MHz, DSP rate
//       312500 / 156 = 2003 Hz; SCO 70 from IC2's accur_lo monitor (0x01A), PHLKTO x16 13
//       (0x404), LKATO x256 8 (0x405), FBSCALE 999, phase-slope limit 3898 (0x430), PROP
//       75812340 (0x438..), PHUINS 3276800 (0x45A), IC1 PCD 250 and PPN 50 (0x315, 0x317),
//       IC2 pre-divider 16 (0x330) and PCN 1984 (0x336).
#include <sstream>

#include "hal/hal_fields.h"
#include "regs/build_regs.h"
#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// One user configuration per mode as the application states it before the expert calculation,
// on device 40000 revision 1 (no output alignment by default) with an XO:
//  SYN: XO 125 MHz, three outputs (156.25, 125 and 25 MHz; OC3 with a 10 ns pulse width).
//  NCO: XO 100 MHz (DCO 96.5 MHz), one 100 MHz output.
//  SS:  XO 100 MHz, the default down spread of 0.5 % at 30 kHz, outputs 100 and 50 MHz.
//  JA:  XO 114.285 MHz, IC1 10 MHz (plain PPM monitor) and IC2 25 MHz (accur_lo), outputs
//       156.25 and 100 MHz, the default 50 Hz loop with lock timeouts, holdover averaging and
//       a phase-slope limit.
const char kSyn[] = "oc1_freq_s=156250000 oc2_freq_s=125000000 oc3_freq_s=25000000 oc3_pw_ns_u16=10";
const char kNco[] = "oc1_freq_s=100000000";
const char kSs[] = "oc1_freq_s=100000000 oc2_freq_s=50000000";
const char kJa[] = "ic1_freq_s=10000000 ic2_freq_s=25000000 icen_ic1en_u1=1 icen_ic2en_u1=1 oc1_freq_s=156250000 "
                   "oc2_freq_s=100000000 ic2_mon_ppm_mode_e=0 phlkto_ms=100 lkato_ms=1000 hoavgto_us=1500 "
                   "pslim_ns_sec=1000";

void configure(hal_api_s *h, int32_t mode, const char *set) {
  init_full(h, 40000, mode, xa_mode_xo_e, 1);
  set_fields(h, set);
}

// The expert calculation and the register calculation; the messages of both.
std::vector<std::string> recalc(hal_api_s *h) {
  calc_expert(h);
  std::vector<std::string> msgs = drain(h);
  calc_hal(h);
  for (auto &m : drain(h)) msgs.push_back(m);
  return msgs;
}

// Every byte of the image that differs from the chip's reset default, as "address:value" in hex.
const char kSynImage[] =
    "009:02 00B:01 00D:07 031:F0 100:04 101:24 10A:3C 114:0D 120:06 122:00 125:C0 126:40 127:7F 129:04 "
    "12A:B3 12B:C0 12C:80 200:01 201:01 202:10 203:01 210:01 211:01 212:50 213:02 220:01 221:01 222:50 "
    "223:0E 226:04 300:03 320:03 340:03 401:00 402:00 403:00 404:00 405:00 621:08 631:40";
const char kNcoImage[] =
    "009:12 00B:11 00D:01 031:F0 101:05 102:06 106:D9 107:5C 108:3A 109:D4 10A:50 10C:C1 110:67 122:00 "
    "125:C7 126:40 127:5F 12A:B3 12B:80 12C:80 200:01 201:01 202:10 203:02 211:01 221:01 401:00 402:00 "
    "403:00 404:00 405:00 40B:01 420:FF 421:FF 422:FF 423:FF 424:4D 621:08";
const char kSsImage[] =
    "009:12 00B:11 00D:03 031:F0 100:04 101:45 102:06 106:37 107:56 108:7F 109:A0 10A:50 10C:C1 110:89 "
    "120:01 122:00 125:C1 126:60 127:A8 12A:B3 12B:80 12C:80 200:01 201:01 202:10 203:02 210:0C 211:01 "
    "212:40 221:01 401:00 402:00 403:00 404:00 405:00 40B:02 420:E0 421:7A 422:14 423:CE 424:4D 42C:9F "
    "42D:01 430:D9 431:91 432:1E 621:08";
const char kJaImage[] =
    "009:12 00A:03 00B:11 00C:03 00D:03 01A:46 031:F0 100:04 101:74 102:06 106:E1 107:A4 108:EE 109:CB "
    "10A:43 10C:3B 110:25 122:00 125:C7 126:40 127:5F 12A:B3 12B:80 12C:80 200:01 201:01 202:10 203:01 "
    "210:04 211:01 212:40 221:01 301:1F 311:05 313:10 315:F9 317:32 319:01 31A:5D 31B:76 31C:65 321:4F "
    "330:F0 331:07 333:6D 335:D8 336:C0 337:03 338:38 33A:3E 33B:76 33C:65 340:03 341:FF 342:FF 343:0F "
    "350:F1 351:04 400:40 404:4D 405:88 406:E7 407:03 408:61 409:01 40B:06 40C:02 410:9B 420:51 421:E1 "
    "422:1A 423:A0 424:41 425:80 426:0A 42C:02 430:3A 431:0F 434:BF 435:E5 438:F4 439:CD 43A:84 43B:04 "
    "43C:6A 43D:11 43E:06 440:FF 441:FF 442:FF 443:7F 444:0C 448:AE 449:D3 44A:CC 44B:10 44C:FF 44D:FF "
    "44E:FF 44F:7F 450:6A 451:3E 454:20 456:80 45A:32 621:08";

struct mode_case_s {
  const char *name;
  int32_t mode;
  const char *set, *golden;
};

class EndToEnd : public ::testing::TestWithParam<mode_case_s> {};

TEST_P(EndToEnd, ImageMatchesTheGoldenListAndRecalculationIsStable) {
  Hal h;
  configure(h.get(), GetParam().mode, GetParam().set);
  EXPECT_FALSE(any_error(recalc(h.get())));
  build_regs(h.get());
  EXPECT_TRUE(drain(h.get()).empty());
  uint8_t want[2048];
  for (uint32_t a = 0; a < 2048; ++a) want[a] = static_cast<uint8_t>(kova_regs_defaults(a));
  std::istringstream golden(GetParam().golden);
  for (std::string item; golden >> item;) want[std::stoul(item, nullptr, 16)] = static_cast<uint8_t>(std::stoul(item.substr(4), nullptr, 16));
  for (uint32_t a = 0; a < 2048; ++a) EXPECT_EQ(get_reg(h.get(), a), want[a]) << "register 0x" << std::hex << a;
  // A second and third run over its own results give the same fields: the user's times that
  // are rewritten to the programmed values (timeouts, holdover, loss of lock) program the
  // same codes again.
  hal_api_s first = h.h;
  recalc(h.get());
  recalc(h.get());
  first.hal_obj_p = h->hal_obj_p;
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s *f = &hal_api_fields[i];
    EXPECT_EQ(std::memcmp(hal_field_ptr(&first, f), hal_field_ptr(h.get(), f), f->size), 0) << f->name;
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, EndToEnd,
                         ::testing::Values(mode_case_s{"Syn", kova_mode_syn_e, kSyn, kSynImage},
                                           mode_case_s{"Nco", kova_mode_nco_e, kNco, kNcoImage},
                                           mode_case_s{"Ss", kova_mode_ss_e, kSs, kSsImage},
                                           mode_case_s{"Ja", kova_mode_ja_e, kJa, kJaImage}),
                         [](const auto &i) { return std::string(i.param.name); });

// The times the JA plan reports back in user units. Lock timeouts on a
// 0.4993 ms tick; 2 samples at 2003 Hz are 998.5 us, and 998 us would program one sample, so
// the loss-of-lock time is rounded up.
TEST(EndToEndTimes, ProgrammedTimesComeBackInUserUnits) {
  Hal h;
  configure(h.get(), kova_mode_ja_e, kJa);
  recalc(h.get());
  expect_fields(h.get(), "phlkto_ms=103 lkato_ms=1022 hoavgto_us=1997 lolset_us=999 ic1_mon_invalid_lat_ms_r=140");
}

// An output whose divider chain no longer fits 32-bit frequency words: OC1 = 3.85 MHz x
// 1000 / 4651569 through an LSDIV of 2^25 - 1 gives an MSDIV input whose numerator needs 35
// bits. Rebuilt with the overflow replaced, the tree would hold another frequency than the
// chip runs at; the calculation stops with an error instead. An ordinary plan rebuilds the
// same VCO the plan chose.
TEST(CalcHalExactness, TheClockTreeIsRebuiltExactlyOrNotAtAll) {
  Hal h;
  init_full(h.get(), 40089, kova_mode_syn_e);
  set_fields(h.get(), "oc1_freq_s=3850000,1000,4651569");
  calc_expert(h.get());
  drain(h.get());
  set_fields(h.get(), "oc1cr3_lssel_u1=1 oc1_lsdiv_u32=33554431");
  calc_hal(h.get());
  EXPECT_TRUE(has_msg(drain(h.get()), "ERROR: fprec_scale oc1_msdiv_freq_s overflow"));

  Hal o;
  init_full(o.get(), 40089, kova_mode_syn_e);
  set_fields(o.get(), "oc1_freq_s=156250000 oc2_freq_s=100000000,1,3");
  calc_expert(o.get());
  drain(o.get());
  const fprec_s planned = o->vco_freq_s;
  calc_hal(o.get());
  EXPECT_FALSE(any_error(drain(o.get())));
  EXPECT_EQ(fprec_compare(planned, o->vco_freq_s), 0);
}

}  // namespace
