// Life cycle of the configuration object: init_api modes, validation, limits, log, copy.
#include <cstring>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

TEST(InitApi, FullInitialisationSetsDefaultsAndRegisterImage) {
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_ja_e);
  EXPECT_TRUE(drain(h.get()).empty());
  expect_fields(h.get(), "kova_hal_api_version=0x09111400 init_api_mode_e=0 xa_freq_s=114285000 dpll_bw_hz=50");
  // Register defaults, with the device code written into ID2's upper nibble.
  EXPECT_EQ(get_reg(h.get(), 0x030), 0x19u);
  EXPECT_EQ(get_reg(h.get(), 0x031), 0xF0u);
  // Nothing was written to the chip yet.
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) ASSERT_EQ(h.wr()[a], 0) << a;
  EXPECT_FALSE(init_api_modes_changed(h.get()));
  // The limits keep ID2's lower nibble (the device code is 7 on device 40089).
  put_reg(h.get(), 0x031, 0xA6);
  set_fields(h.get(), "kova_device_e=40089 init_api_mode_e=4");
  init_api(h.get());
  EXPECT_EQ(get_reg(h.get(), 0x031), 0x76u);
}

// Validation corrects modes with warnings; errors stop before the limits and defaults and
// leave the snapshot of the modes unset.
TEST(InitApi, ValidationCorrectsOrStops) {
  const struct { int32_t device, mode, xa, sysclk, rev; std::vector<std::string> msgs; const char *want; bool unset; } cases[] = {
      {40110, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e, 0,
       {"WARNING: Invalid kova_mode_e, set to SYN", "WARNING: Invalid sysclk_mode_e, setting to RO"},
       "kova_mode_e=0 sysclk_mode_e=1", false},  // SYN always runs from the ring oscillator
      {40000, kova_mode_nco_e, xa_mode_xtal_e, sysclk_mode_xa_e, 0,
       {"WARNING: Invalid xa_mode_e XTAL, setting to XTAL DBL"}, "xa_mode_e=4", false},
      {40000, kova_mode_syn_e, 7, sysclk_mode_ro_e, 0, {"WARNING: Invalid xa_mode_e, setting to XO"}, "xa_mode_e=1", false},
      // A disabled XA is fine in SYN; XA mode 0 leaves the (zeroed) frequency alone.
      {40000, kova_mode_syn_e, xa_mode_disabled_e, sysclk_mode_ro_e, 0, {}, "xa_freq_s=0,0,0", false},
      {40000, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, 2, {"ERROR: Invalid kova_device_rev_e"},
       "kova_hal_api_version=0", true},
      {40000, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, -1, {"ERROR: Invalid kova_device_rev_e"},
       "kova_hal_api_version=0", true},
      {40001, kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e, 0, {"ERROR: Invalid kova_device_e"}, "", true},
      // JA needs the XA pins as its system clock: the mode defaults after the error are not applied.
      {40000, kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_ro_e, 0, {"ERROR: invalid JA sysclk mode"},
       "mcr1_mcsel_u1=1 pllen_dpllen_u1=0 dpll_bw_hz=0", false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(testing::Message() << c.device << " mode " << c.mode << " xa " << c.xa << " rev " << c.rev);
    Hal h;
    init_full(h.get(), c.device, c.mode, c.xa, c.rev, c.sysclk);
    EXPECT_EQ(drain(h.get()), c.msgs);
    expect_fields(h.get(), c.want);
    EXPECT_EQ(init_api_modes_changed(h.get()), c.unset);
    EXPECT_EQ(drain(h.get()), c.unset ? std::vector<std::string>{"ERROR: init_api modes changed or invalid"}
                                      : std::vector<std::string>{});
    if (c.unset) {
      EXPECT_EQ(get_reg(h.get(), 0x030), 0u);  // the register defaults were not written
    }
  }
  // Mode 5 revalidates: mode 0 corrected XA and the system clock, mode 5 the jitter mode.
  Hal c;
  init_full(c.get(), kova_device_40000_e, kova_mode_nco_e, 0, 0, 7);
  set_fields(c.get(), "jitter_mode_e=9 init_api_mode_e=5");
  init_api(c.get());
  expect_fields(c.get(), "xa_mode_e=1 sysclk_mode_e=0 jitter_mode_e=0");
  EXPECT_EQ(drain(c.get()), (std::vector<std::string>{"WARNING: Invalid xa_mode_e, setting to XO",
                                                       "WARNING: Invalid sysclk_mode_e, setting to XA",
                                                       "WARNING: Invalid jitter_mode_e, setting to RJ"}));
  // A mode field changed after initialisation is detected, as an error.
  c->xa_mode_e = xa_mode_tcxo_e;
  EXPECT_TRUE(init_api_modes_changed(c.get()));
  EXPECT_EQ(msg_level(c.get()), 2u);
}

TEST(InitApi, BlankAndKeepingModes) {
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_ja_e);
  set_fields(h.get(), "oc1_freq_s=156250000 dpll_bw_hz=123 vco_clk_max_mhz_r=1 init_api_mode_e=2");
  put_reg(h.get(), 0x100, 0xAB);
  // Mode 2 (and 4) keep every field and the image, and reset the limits.
  init_api(h.get());
  expect_fields(h.get(), "dpll_bw_hz=123 vco_clk_max_mhz_r=4180 init_api_mode_e=2");
  EXPECT_EQ(get_reg(h.get(), 0x100), 0xABu);
  // Mode 5 revalidates only.
  set_fields(h.get(), "vco_clk_max_mhz_r=1 init_api_mode_e=5");
  init_api(h.get());
  expect_fields(h.get(), "vco_clk_max_mhz_r=1");
  EXPECT_FALSE(init_api_modes_changed(h.get()));
  // Mode 3 keeps the fields but starts a fresh image, without the device code.
  h->init_api_mode_e = init_api_after_load_e;
  init_api(h.get());
  expect_fields(h.get(), "dpll_bw_hz=123");
  EXPECT_TRUE(get_reg(h.get(), 0x100) == 0u && get_reg(h.get(), 0x030) == 0x19u && get_reg(h.get(), 0x031) == 0u);
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
  init_full(h.get(), kova_device_40000_e, kova_mode_ja_e);
  // dpll_bw_hz: not a kept setting
  const std::string user = "oc1_freq_s=156250000 ic1_freq_s=19440000 xa_freq_s=100000000 icen_ic1en_u1=1 "
                           "ic2cr1_pol_u1=1 oc2cr2_drive_u2=3 oc3_pw_ns_u16=7";
  set_fields(h.get(), user + " dpll_bw_hz=99 init_api_mode_e=6");
  // Same mode: inputs are kept too.
  init_api(h.get());
  expect_fields(h.get(), user + " dpll_bw_hz=50");
  // JA to SYN: outputs and options stay, inputs go.
  set_fields(h.get(), "kova_mode_e=0 sysclk_mode_e=1 init_api_mode_e=6");
  init_api(h.get());
  EXPECT_TRUE(drain(h.get()).empty());
  expect_fields(h.get(), "kova_mode_e=0 oc1_freq_s=156250000 oc2cr2_drive_u2=3 oc3_pw_ns_u16=7 ic1_freq_s=0 "
                         "icen_ic1en_u1=0 ic2cr1_pol_u1=0");
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
    EXPECT_TRUE(h->hal_obj_p == nullptr && get_reg(h.get(), 0) == 0u && get_msg(h.get()) == nullptr) << m;
  }
  init_api(nullptr);
}

TEST(MessageLog, KeepsTheFirst99AndMarksOverflow) {
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_syn_e);
  ASSERT_EQ(msg_level(h.get()), 0u);
  std::vector<std::string> want = {"ERROR: first"};
  for (int i = 1; i < 101; ++i) want.push_back("info " + std::to_string(i));
  for (const auto &m : want) put_msg(h.get(), m.c_str());
  EXPECT_EQ(msg_level(h.get()), 2u);
  want.resize(99);
  want.push_back("WARNING: MSG buffer full");
  EXPECT_EQ(drain(h.get()), want);
  EXPECT_EQ(msg_level(h.get()), 0u);  // draining empties the log and its level
  // An error posted after the log filled is kept in the last entry (the stage must fail); a
  // full log of information only still reports the overflow as a warning.
  for (int i = 0; i < 101; ++i) put_msg(h.get(), "listing line");
  put_msg(h.get(), "ERROR: kept");
  put_msg(h.get(), "ERROR: a later error does not replace the first");
  EXPECT_EQ(msg_level(h.get()), 2u);
  EXPECT_EQ(drain(h.get()).back(), "ERROR: kept");
  for (int i = 0; i < 100; ++i) put_msg(h.get(), "info");
  EXPECT_EQ(msg_level(h.get()), 0u);
  put_msg(h.get(), "info");
  EXPECT_EQ(msg_level(h.get()), 1u);
  EXPECT_EQ(drain(h.get()).back(), "WARNING: MSG buffer full");
  // A message posted while a reader is part-way through is read in turn; texts are cut to
  // the entry; without an object there is no log.
  put_msg(h.get(), "WARNING: one");
  put_msg(h.get(), "just text");
  EXPECT_EQ(msg_level(h.get()), 1u);
  EXPECT_STREQ(get_msg(h.get()), "WARNING: one");
  put_msgf(h.get(), "ERROR: %s", std::string(2000, 'W').c_str());
  put_msg(h.get(), nullptr);
  EXPECT_STREQ(get_msg(h.get()), "just text");
  const std::string cut = get_msg(h.get());
  EXPECT_TRUE(cut.size() == KOVA_MSG_LEN - 1 && cut.rfind("ERROR: W", 0) == 0) << cut.size();
  EXPECT_STREQ(get_msg(h.get()), "");
  EXPECT_EQ(get_msg(h.get()), nullptr);
  hal_api_s none{};
  put_msg(&none, "x");
  EXPECT_EQ(get_msg(&none), nullptr);
}

TEST(RegisterImage, AddressesOutsideTheImageAreIgnored) {
  Hal h;
  init_full(h.get(), kova_device_40000_e, kova_mode_syn_e);
  hal_obj_s before = *h->hal_obj_p;
  put_reg(h.get(), 0x800, 0x55);
  put_reg(h.get(), 0xFFFFFFFF, 0x55);
  EXPECT_EQ(std::memcmp(&before, h->hal_obj_p, sizeof before), 0);
  EXPECT_EQ(get_reg(h.get(), 0x800) | get_reg(h.get(), 0xFFFFFFFF), 0u);
  put_reg(h.get(), 0x7FF, 0x1A5);  // only the low byte is stored
  EXPECT_EQ(get_reg(h.get(), 0x7FF), 0xA5u);
}

TEST(CopyApi, CopiesAreIndependentAndDeleteReleases) {
  Hal src, dst;
  init_full(src.get(), kova_device_40000_e, kova_mode_ja_e);
  init_full(dst.get(), kova_device_40110_e, kova_mode_syn_e);
  put_msg(src.get(), "WARNING: pending");
  hal_obj_s *dst_obj = dst->hal_obj_p;
  copy_api(dst.get(), src.get());
  EXPECT_EQ(dst->hal_obj_p, dst_obj);  // each keeps its own object
  EXPECT_TRUE(dst->kova_device_e == kova_device_40000_e && dst->dpll_bw_hz == src->dpll_bw_hz);
  EXPECT_EQ(std::memcmp(dst->hal_obj_p, src->hal_obj_p, sizeof(hal_obj_s)), 0);
  EXPECT_FALSE(init_api_modes_changed(dst.get()));
  put_reg(dst.get(), 0x200, 0x77);
  dst->dpll_bw_hz = 1;
  EXPECT_TRUE(get_reg(src.get(), 0x200) == 0u && src->dpll_bw_hz == 50u);
  EXPECT_EQ(drain(dst.get()), drain(src.get()));
  copy_api(nullptr, src.get());
  copy_api(dst.get(), nullptr);
  copy_api(src.get(), src.get());
  EXPECT_EQ(src->dpll_bw_hz, 50u);
  delete_api(src.get());
  EXPECT_EQ(src->hal_obj_p, nullptr);
  delete_api(src.get());
  delete_api(nullptr);
}

}  // namespace
