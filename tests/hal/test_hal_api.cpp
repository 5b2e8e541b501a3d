// Life cycle of the configuration object: init_api modes, validation, log, copy.
#include <gtest/gtest.h>

#include "tests/hal_test_support.h"

#include <cstring>
#include <string>
#include <vector>

#include "hal/hal_api.h"
#include "hal/hal_obj.h"

namespace {

using kova_test::expect_fields;
using kova_test::set_fields;

using kova_test::Hal;
using kova_test::drain;

void init_full(hal_api_s *h, int32_t device, int32_t mode, int32_t xa, int32_t sysclk, int32_t rev = 0) {
  h->kova_device_e = device;
  h->kova_device_rev_e = rev;
  h->kova_mode_e = mode;
  h->xa_mode_e = xa;
  h->sysclk_mode_e = sysclk;
  h->jitter_mode_e = 0;
  h->init_api_mode_e = init_api_full_e;
  init_api(h);
}


bool fprec_eq(fprec_s a, uint32_t f, uint32_t n, uint32_t m) { return a.f == f && a.n == n && a.m == m; }

TEST(InitApi, FullInitialisationSetsDefaultsAndRegisterImage) {
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e);
  EXPECT_TRUE(drain(h.get()).empty());
  expect_fields(h.get(), "kova_hal_api_version=0x09111400 init_api_mode_e=0");
  EXPECT_TRUE(fprec_eq(h->xa_freq_s, 114285000, 1, 1));
  EXPECT_EQ(h->dpll_bw_hz, 50u);
  // Register defaults, with the device code written into ID2's upper nibble.
  EXPECT_EQ(get_reg(h.get(), 0x030), 0x19u);
  EXPECT_EQ(get_reg(h.get(), 0x031), 0xF0u);
  // Nothing was written to the chip yet.
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) ASSERT_EQ(h->hal_obj_p->written[a], 0) << a;
  EXPECT_FALSE(init_api_modes_changed(h.get()));
}

TEST(InitApi, ValidationCorrectsModesWithWarnings) {
  Hal a;
  init_full(a.get(), kova_device_40110_e, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e);
  auto msgs = drain(a.get());
  ASSERT_FALSE(msgs.empty());
  EXPECT_EQ(msgs[0], "WARNING: Invalid kova_mode_e, set to SYN");
  EXPECT_EQ(a->kova_mode_e, kova_mode_syn_e);
  EXPECT_EQ(a->sysclk_mode_e, sysclk_mode_ro_e);  // SYN always runs from the ring oscillator
  EXPECT_EQ(msgs.back(), "WARNING: Invalid sysclk_mode_e, setting to RO");
  EXPECT_FALSE(init_api_modes_changed(a.get()));

  Hal b;
  init_full(b.get(), kova_device_40000_e, kova_mode_nco_e, xa_mode_xtal_e, sysclk_mode_xa_e);
  EXPECT_EQ(drain(b.get()), std::vector<std::string>{"WARNING: Invalid xa_mode_e XTAL, setting to XTAL DBL"});
  EXPECT_EQ(b->xa_mode_e, xa_mode_xtal_dbl_e);

  Hal c;
  init_full(c.get(), kova_device_40000_e, kova_mode_nco_e, 0, 7);
  c->jitter_mode_e = 9;
  c->init_api_mode_e = init_api_validate_e;
  init_api(c.get());
  auto cm = drain(c.get());
  // Mode 0 corrected XA and the system clock; mode 5 then corrects the jitter mode.
  EXPECT_EQ(c->xa_mode_e, xa_mode_xo_e);
  EXPECT_EQ(c->sysclk_mode_e, sysclk_mode_xa_e);
  EXPECT_EQ(c->jitter_mode_e, 0);
  EXPECT_EQ(cm, (std::vector<std::string>{"WARNING: Invalid xa_mode_e, setting to XO",
                                          "WARNING: Invalid sysclk_mode_e, setting to XA",
                                          "WARNING: Invalid jitter_mode_e, setting to RJ"}));

  Hal d;
  init_full(d.get(), kova_device_40000_e, kova_mode_syn_e, 7, sysclk_mode_ro_e);
  EXPECT_EQ(d->xa_mode_e, xa_mode_xo_e);
  Hal e;
  init_full(e.get(), kova_device_40000_e, kova_mode_syn_e, xa_mode_disabled_e, sysclk_mode_ro_e);
  EXPECT_TRUE(drain(e.get()).empty());  // disabled XA is fine in SYN
  EXPECT_TRUE(fprec_eq(e->xa_freq_s, 0, 0, 0));  // XA mode 0 leaves the (zeroed) frequency alone
  // A mode field changed after initialisation is detected, as an error.
  e->xa_mode_e = xa_mode_tcxo_e;
  EXPECT_TRUE(init_api_modes_changed(e.get()));
  EXPECT_EQ(msg_level(e.get()), 2u);
}

TEST(InitApi, ValidationErrorsLeaveTheSnapshotUnset) {
  for (int32_t bad_rev : {2, -1}) {
    Hal h;
    init_full(h.get(), kova_device_40000_e, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, bad_rev);
    EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: Invalid kova_device_rev_e"});
    EXPECT_EQ(h->kova_hal_api_version, 0u);  // limits were not run
    EXPECT_TRUE(init_api_modes_changed(h.get()));
    EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: init_api modes changed or invalid"});
  }
  Hal d;
  init_full(d.get(), 40001, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e);
  EXPECT_EQ(drain(d.get()), std::vector<std::string>{"ERROR: Invalid kova_device_e"});
  EXPECT_TRUE(init_api_modes_changed(d.get()));
  // The register defaults are not written when validation fails.
  EXPECT_EQ(get_reg(d.get(), 0x030), 0u);
}

TEST(InitApi, UserDefaultErrorsStopTheDefaults) {
  // JA needs the XA pins as its system clock.
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_ro_e);
  auto msgs = drain(h.get());
  EXPECT_EQ(msgs, std::vector<std::string>{"ERROR: invalid JA sysclk mode"});
  // pllen_dpllen_u1: the mode defaults after the error were not applied
  expect_fields(h.get(), "mcr1_mcsel_u1=1 pllen_dpllen_u1=0 dpll_bw_hz=0");
}

TEST(InitApi, BlankAndKeepingModes) {
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e);
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
  h->dpll_bw_hz = 123;
  put_reg(h.get(), 0x100, 0xAB);

  // Mode 2 and 4 keep every field and the image, and reset the limits.
  h->vco_clk_max_mhz_r = 1;
  h->init_api_mode_e = init_api_limits_e;
  init_api(h.get());
  expect_fields(h.get(), "dpll_bw_hz=123 vco_clk_max_mhz_r=4180");
  EXPECT_EQ(get_reg(h.get(), 0x100), 0xABu);
  EXPECT_EQ(h->init_api_mode_e, init_api_limits_e);

  // Mode 5 revalidates only.
  h->vco_clk_max_mhz_r = 1;
  h->init_api_mode_e = init_api_validate_e;
  init_api(h.get());
  EXPECT_EQ(h->vco_clk_max_mhz_r, 1);
  EXPECT_FALSE(init_api_modes_changed(h.get()));

  // Mode 3 keeps the fields but starts a fresh image.
  h->init_api_mode_e = init_api_after_load_e;
  init_api(h.get());
  EXPECT_EQ(h->dpll_bw_hz, 123u);
  EXPECT_EQ(get_reg(h.get(), 0x100), 0u);
  EXPECT_EQ(get_reg(h.get(), 0x030), 0x19u);
  EXPECT_EQ(get_reg(h.get(), 0x031), 0x00u);  // mode 3 does not write the device code
  EXPECT_FALSE(init_api_modes_changed(h.get()));

  // Mode 1 clears everything, modes included, and leaves the snapshot unset.
  h->init_api_mode_e = init_api_blank_e;
  init_api(h.get());
  expect_fields(h.get(), "kova_device_e=0 dpll_bw_hz=0 kova_hal_api_version=0");
  EXPECT_EQ(get_reg(h.get(), 0x030), 0x19u);
  EXPECT_TRUE(init_api_modes_changed(h.get()));
}

TEST(InitApi, Mode6KeepsUserSettingsAndDropsInputsOutsideJa) {
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e);
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
  set_fprec_s(&h->ic1_freq_s, 19440000, 1, 1);
  set_fprec_s(&h->xa_freq_s, 100000000, 1, 1);
  // dpll_bw_hz: not a kept setting
  set_fields(h.get(), "icen_ic1en_u1=1 ic2cr1_pol_u1=1 oc2cr2_drive_u2=3 oc3_pw_ns_u16=7 dpll_bw_hz=99");

  // Same mode: inputs are kept too.
  h->init_api_mode_e = init_api_keep_user_e;
  init_api(h.get());
  EXPECT_TRUE(fprec_eq(h->ic1_freq_s, 19440000, 1, 1));
  expect_fields(h.get(), "icen_ic1en_u1=1 dpll_bw_hz=50");
  EXPECT_TRUE(fprec_eq(h->xa_freq_s, 100000000, 1, 1));

  // JA to SYN: outputs and options stay, inputs go.
  h->kova_mode_e = kova_mode_syn_e;
  h->sysclk_mode_e = sysclk_mode_ro_e;
  h->init_api_mode_e = init_api_keep_user_e;
  init_api(h.get());
  EXPECT_TRUE(drain(h.get()).empty());
  EXPECT_EQ(h->kova_mode_e, kova_mode_syn_e);
  EXPECT_TRUE(fprec_eq(h->oc1_freq_s, 156250000, 1, 1));
  expect_fields(h.get(), "oc2cr2_drive_u2=3 oc3_pw_ns_u16=7");
  EXPECT_TRUE(fprec_eq(h->ic1_freq_s, 0, 1, 1));
  expect_fields(h.get(), "icen_ic1en_u1=0 ic2cr1_pol_u1=0");
  EXPECT_FALSE(init_api_modes_changed(h.get()));
}

TEST(InitApi, InvalidModeAndMissingObjectAreHarmless) {
  Hal h;
  h->init_api_mode_e = 7;
  init_api(h.get());
  EXPECT_EQ(h->hal_obj_p, nullptr);
  // Modes that keep the object do nothing when there is none yet.
  for (int32_t m : {2, 4, 5}) {
    h->init_api_mode_e = m;
    h->kova_device_e = kova_device_40000_e;
    init_api(h.get());
    EXPECT_EQ(h->hal_obj_p, nullptr);
    EXPECT_EQ(get_reg(h.get(), 0), 0u);
    EXPECT_EQ(get_msg(h.get()), nullptr);
  }
  init_api(nullptr);
}

TEST(MessageLog, KeepsTheFirst99AndMarksOverflow) {
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e);
  ASSERT_EQ(msg_level(h.get()), 0u);
  put_msg(h.get(), "ERROR: first");
  for (int i = 1; i < 101; ++i) put_msg(h.get(), ("info " + std::to_string(i)).c_str());
  EXPECT_EQ(msg_level(h.get()), 2u);
  auto msgs = drain(h.get());
  ASSERT_EQ(msgs.size(), 100u);
  EXPECT_EQ(msgs[0], "ERROR: first");
  EXPECT_EQ(msgs[98], "info 98");
  EXPECT_EQ(msgs[99], "WARNING: MSG buffer full");
  EXPECT_EQ(msg_level(h.get()), 0u);  // draining empties the log and its level

  // An error posted after the log filled is kept in the last entry: the stage must fail.
  for (int i = 0; i < 100; ++i) put_msg(h.get(), "listing line");
  put_msg(h.get(), "more listing");
  put_msg(h.get(), "ERROR: PFD divider greater than maximum allowed, unlock DSP rate");
  put_msg(h.get(), "ERROR: a later error does not replace the first");
  put_msg(h.get(), "more listing");
  EXPECT_EQ(msg_level(h.get()), 2u);
  msgs = drain(h.get());
  ASSERT_EQ(msgs.size(), 100u);
  EXPECT_EQ(msgs[98], "listing line");
  EXPECT_EQ(msgs[99], "ERROR: PFD divider greater than maximum allowed, unlock DSP rate");

  // A full log of information only still reports the overflow as a warning.
  for (int i = 0; i < 100; ++i) put_msg(h.get(), "info");
  EXPECT_EQ(msg_level(h.get()), 0u);
  put_msg(h.get(), "info");
  EXPECT_EQ(msg_level(h.get()), 1u);
  drain(h.get());

  // Drain, post one, drain: exactly that message, then nothing.
  put_msg(h.get(), "WARNING: one");
  EXPECT_EQ(msg_level(h.get()), 1u);
  put_msg(h.get(), "just text");
  EXPECT_EQ(msg_level(h.get()), 1u);
  EXPECT_STREQ(get_msg(h.get()), "WARNING: one");
  put_msg(h.get(), "ERROR: late");  // posted while a reader is part-way through
  EXPECT_STREQ(get_msg(h.get()), "just text");
  EXPECT_STREQ(get_msg(h.get()), "ERROR: late");
  EXPECT_EQ(get_msg(h.get()), nullptr);
}

TEST(MessageLog, LongTextsAreCutToTheEntry) {
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e);
  const std::string long_text(2000, 'W');
  put_msg(h.get(), long_text.c_str());
  put_msgf(h.get(), "ERROR: %s", long_text.c_str());
  put_msg(h.get(), nullptr);
  const char *a = get_msg(h.get());
  const char *b = get_msg(h.get());
  EXPECT_EQ(std::strlen(a), KOVA_MSG_LEN - 1);
  EXPECT_EQ(std::string(b).substr(0, 8), "ERROR: W");
  EXPECT_EQ(std::strlen(b), KOVA_MSG_LEN - 1);
  EXPECT_STREQ(get_msg(h.get()), "");
  // Without an object there is no log.
  hal_api_s none{};
  put_msg(&none, "x");
  EXPECT_EQ(get_msg(&none), nullptr);
}

TEST(RegisterImage, AddressesOutsideTheImageAreIgnored) {
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e);
  hal_obj_s before = *h->hal_obj_p;
  put_reg(h.get(), 0x800, 0x55);
  put_reg(h.get(), 0xFFFFFFFF, 0x55);
  EXPECT_EQ(std::memcmp(&before, h->hal_obj_p, sizeof before), 0);
  EXPECT_EQ(get_reg(h.get(), 0x800), 0u);
  EXPECT_EQ(get_reg(h.get(), 0xFFFFFFFF), 0u);
  put_reg(h.get(), 0x7FF, 0x1A5);  // only the low byte is stored
  EXPECT_EQ(get_reg(h.get(), 0x7FF), 0xA5u);
}

TEST(CopyApi, CopiesAreIndependent) {
  Hal src, dst;
  init_full(src.get(), kova_device_40000_e, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e);
  init_full(dst.get(), kova_device_40110_e, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e);
  put_msg(src.get(), "WARNING: pending");
  hal_obj_s *dst_obj = dst->hal_obj_p;
  copy_api(dst.get(), src.get());
  EXPECT_EQ(dst->hal_obj_p, dst_obj);  // each keeps its own object
  EXPECT_EQ(dst->kova_device_e, kova_device_40000_e);
  EXPECT_EQ(dst->dpll_bw_hz, src->dpll_bw_hz);
  EXPECT_EQ(std::memcmp(dst->hal_obj_p, src->hal_obj_p, sizeof(hal_obj_s)), 0);
  EXPECT_FALSE(init_api_modes_changed(dst.get()));

  put_reg(dst.get(), 0x200, 0x77);
  dst->dpll_bw_hz = 1;
  EXPECT_EQ(get_reg(src.get(), 0x200), 0u);
  EXPECT_EQ(src->dpll_bw_hz, 50u);
  EXPECT_STREQ(get_msg(dst.get()), "WARNING: pending");
  EXPECT_STREQ(get_msg(src.get()), "WARNING: pending");

  copy_api(nullptr, src.get());
  copy_api(dst.get(), nullptr);
  copy_api(src.get(), src.get());
  EXPECT_EQ(src->dpll_bw_hz, 50u);
}

TEST(CopyApi, DeleteReleasesTheObject) {
  hal_api_s h{};
  init_full(&h, kova_device_40000_e, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e);
  ASSERT_NE(h.hal_obj_p, nullptr);
  delete_api(&h);
  EXPECT_EQ(h.hal_obj_p, nullptr);
  delete_api(&h);
  delete_api(nullptr);
}

}  // namespace
