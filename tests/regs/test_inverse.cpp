// Inverse configuration from hand-made register images: fields read back from their bits,
// device and mode detection, the divider plan, the anchors and their failures, the settings
// in user units, the reconciliation, the APLL test mark and the solver check.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "hal/calc_expert.h"
#include "hal/calc_hal.h"
#include "hal/calc_hal_views.h"
#include "regs/build_regs.h"
#include "regs/inverse_cfg.h"
#include "regs/regmap_data.h"
#include "regs_test_util.h"

namespace {

using regs_test::Hal;

// A blank object (init_api mode 1): register defaults, nothing known.
void blank(Hal &h) {
  h->init_api_mode_e = init_api_blank_e;
  init_api(h.get());
}

bool has(const std::vector<std::string> &msgs, const std::string &text) {
  for (const auto &m : msgs)
    if (m == text) return true;
  return false;
}

// A planned configuration's image, for the worked examples that need a whole chip.
std::vector<uint8_t> planned(int32_t device, int32_t mode, int32_t xa, const std::function<void(hal_api_s *)> &setup,
                             Hal *keep = nullptr) {
  Hal local;
  Hal &h = keep ? *keep : local;
  regs_test::init_full(h.get(), device, mode, 1, xa);
  setup(h.get());
  calc_expert(h.get());
  for (const auto &m : regs_test::drain(h.get())) EXPECT_EQ(m.find("ERROR"), std::string::npos) << m;
  calc_hal(h.get());
  for (const auto &m : regs_test::drain(h.get())) EXPECT_EQ(m.find("ERROR"), std::string::npos) << m;
  build_regs(h.get());
  std::vector<uint8_t> img(h.img(), h.img() + KOVA_REG_COUNT);
  img[0x031] = static_cast<uint8_t>((img[0x031] & 0xF0) | 1);  // a revision-1 chip
  return img;
}

void load(Hal &h, const std::vector<uint8_t> &img) {
  blank(h);
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) put_reg(h.get(), a, img[a]);
}

uint64_t slot_bits(const hal_api_s *h, const kova_build_slot_s &s) {
  uint64_t v = 0;
  std::memcpy(&v, reinterpret_cast<const char *>(h) + s.field_offset, s.field_size);
  const uint32_t width = static_cast<uint32_t>(s.reg_high - s.reg_low) + 1u;
  return (v >> s.field_low) & ((1u << width) - 1u);
}

// Every bit build_regs packs comes back into the same bit of the same field.
TEST(InverseFields, EveryPackedBitComesBack) {
  std::mt19937_64 rng(7);
  for (int round = 0; round < 60; ++round) {
    const int32_t mode = round % 2 ? kova_mode_ja_e : kova_mode_ss_e;
    Hal src;
    regs_test::init_full(src.get(), kova_device_40112_e, mode);
    for (size_t i = 0; i < kova_build_row_count; ++i)
      for (uint32_t k = 0; k < kova_build_rows[i].slot_count; ++k) {
        const kova_build_slot_s &s = kova_build_rows[i].slot[k];
        char *p = reinterpret_cast<char *>(src.get()) + s.field_offset;
        uint64_t v = 0;
        std::memcpy(&v, p, s.field_size);
        v ^= (rng() & ((1ull << (s.reg_high - s.reg_low + 1)) - 1)) << s.field_low;
        std::memcpy(p, &v, s.field_size);
      }
    src->dpllcr1_mode_u4 = mode == kova_mode_ja_e ? 4 + round % 3 : 2;
    src->pllen_dpllen_u1 = src->pllen_apllen_u1 = 1;
    build_regs(src.get());
    Hal dst;
    load(dst, std::vector<uint8_t>(src.img(), src.img() + KOVA_REG_COUNT));
    inverse_regs_to_fields(dst.get());
    for (size_t i = 0; i < kova_build_row_count; ++i) {
      const kova_build_row_s &row = kova_build_rows[i];
      const uint32_t pcen = row.monitor == 1 ? src->mon1cr2_pcen_u1 : row.monitor == 2 ? src->mon2cr2_pcen_u1
                                                                                         : src->mon3cr2_pcen_u1;
      const bool pcen1 = (pcen & 1) != 0;
      if ((row.when == kova_build_ss_e && mode != kova_mode_ss_e) ||
          (row.when == kova_build_ja_e && mode != kova_mode_ja_e) ||
          (row.when == kova_build_pcen0_e && pcen1) || (row.when == kova_build_pcen1_e && !pcen1))
        continue;
      for (uint32_t k = 0; k < row.slot_count; ++k)
        ASSERT_EQ(slot_bits(dst.get(), row.slot[k]), slot_bits(src.get(), row.slot[k]))
            << "register 0x" << std::hex << row.address << " slot " << k << " round " << std::dec << round;
    }
  }
}

TEST(InverseFields, ReadBackIsZeroExtended) {
  Hal h;
  blank(h);
  put_reg(h.get(), 0x207, 0xFD);  // OC1PH
  for (uint32_t a = 0x428; a <= 0x42B; ++a) put_reg(h.get(), a, a == 0x428 ? 0x00 : 0xFF);
  put_reg(h.get(), 0x01A, 0x80);  // SCO
  put_reg(h.get(), 0x100, 0xC0);  // APLLCR1: AIDIV reads bit 7 only
  inverse_regs_to_fields(h.get());
  EXPECT_EQ(h->oc1ph_phadj_i8, 253);
  EXPECT_EQ(static_cast<uint32_t>(h->dphoff1_phoff_ns_i32_10), 0xFFFFFF00u);
  EXPECT_EQ(h->sco_sco_i8, 128u);
  EXPECT_EQ(h->apllcr1_aidiv_u2, 2u);
  put_reg(h.get(), 0x100, 0x40);
  inverse_regs_to_fields(h.get());
  EXPECT_EQ(h->apllcr1_aidiv_u2, 0u);
}

TEST(InverseFields, DpllParameterBytesFollowTheModeRead) {
  Hal h;
  blank(h);
  put_reg(h.get(), 0x42C, 0x34);
  put_reg(h.get(), 0x42D, 0x01);
  put_reg(h.get(), 0x430, 0x11);
  put_reg(h.get(), 0x431, 0x22);
  put_reg(h.get(), 0x432, 0x33);
  h->dsscnt1_sscnt_u12 = h->hoavgto_ro_u8_0 = 99;
  put_reg(h.get(), 0x40B, 0x01);  // NCO: neither
  inverse_regs_to_fields(h.get());
  EXPECT_EQ(h->dsscnt1_sscnt_u12, 99u);
  EXPECT_EQ(h->hoavgto_ro_u8_0, 99u);
  put_reg(h.get(), 0x40B, 0x02);  // SS
  inverse_regs_to_fields(h.get());
  EXPECT_EQ(h->dsscnt1_sscnt_u12, 0x134u);
  EXPECT_EQ(h->dssdec1_decinc_u20, 0x332211u);  // 24 bits, as the calculation writes them
  EXPECT_EQ(h->hoavgto_ro_u8_0, 99u);
  put_reg(h.get(), 0x40B, 0x05);  // JA
  inverse_regs_to_fields(h.get());
  EXPECT_EQ(h->hoavgto_ro_u8_0, 0x34u);
  EXPECT_EQ(h->pfixavgto_ro_u8_0, 0x01u);
}

struct detect_case_s {
  uint8_t id2;
  int32_t preset_device, preset_rev;
  int32_t device, rev;
  const char *error;
};

TEST(InverseDetect, DeviceAndRevisionFromTheIdRegisters) {
  const detect_case_s cases[] = {
      {0x21, 0, 0, 40112, 1, nullptr},
      {0x00, 0, 0, 40110, 0, nullptr},
      {0x11, 0, 0, 40111, 1, nullptr},
      {0x30, 0, 0, 40113, 0, nullptr},
      {0x50, 0, 0, 40075, 0, nullptr},
      {0x71, 0, 0, 40089, 1, nullptr},
      {0x22, 0, 0, 40112, 0, "ERROR: Invalid device rev 0x1922"},
      {0x40, 0, 0, 0, 0, "ERROR: Invalid device ID 0x1940"},
      {0xF1, 40000, 0, 40000, 1, nullptr},  // KX40000 has no ID code: the user names it
      {0xF5, 40000, 1, 40000, 1, nullptr},  // a known revision stays
      {0xF3, 40000, 0, 40000, 0, "ERROR: Invalid device rev 0x19F3"},
  };
  for (const auto &c : cases) {
    Hal h;
    blank(h);
    put_reg(h.get(), 0x031, c.id2);
    put_reg(h.get(), 0x00B, 0x01);
    h->kova_device_e = c.preset_device;
    h->kova_device_rev_e = c.preset_rev;
    inverse_regs_to_fields(h.get());
    const int32_t rc = inverse_detect_modes(h.get());
    const auto msgs = regs_test::drain(h.get());
    SCOPED_TRACE(c.id2);
    if (c.error) {
      EXPECT_EQ(rc, 1);
      EXPECT_TRUE(has(msgs, c.error));
    } else {
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(h->kova_device_e, c.device);
      EXPECT_EQ(h->kova_device_rev_e, c.rev);
    }
  }
}

TEST(InverseDetect, ModeFromPllenAndDpllMode) {
  const struct {
    uint8_t pllen, dpllcr1;
    int32_t mode;
    const char *error;
  } cases[] = {
      {0x01, 0x00, kova_mode_syn_e, nullptr}, {0x11, 0x01, kova_mode_nco_e, nullptr},
      {0x11, 0x02, kova_mode_ss_e, nullptr},  {0x11, 0x14, kova_mode_ja_e, nullptr},
      {0x11, 0x06, kova_mode_ja_e, nullptr},  {0x11, 0x03, -1, "ERROR: Can not determine kova_mode_e"},
      {0x10, 0x04, -1, "ERROR: Can not determine kova_mode_e - PLLEN 10"},
      {0x00, 0x00, -1, "ERROR: Can not determine kova_mode_e - PLLEN 0"},
  };
  for (const auto &c : cases) {
    Hal h;
    blank(h);
    put_reg(h.get(), 0x031, 0x20);
    put_reg(h.get(), 0x00B, c.pllen);
    put_reg(h.get(), 0x40B, c.dpllcr1);
    inverse_regs_to_fields(h.get());
    const int32_t rc = inverse_detect_modes(h.get());
    const auto msgs = regs_test::drain(h.get());
    if (c.error) {
      EXPECT_EQ(rc, 1) << c.error;
      EXPECT_TRUE(has(msgs, c.error)) << c.error;
    } else {
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(h->kova_mode_e, c.mode) << int(c.pllen) << " " << int(c.dpllcr1);
    }
  }
}

TEST(InverseDetect, XaModeAndSystemClockFromMcr1) {
  const struct {
    uint8_t mcr1;
    int32_t xa_mode;
    uint32_t xa_disable;
    int32_t sysclk;
  } cases[] = {
      {0x00, xa_mode_disabled_e, 1, sysclk_mode_ro_e}, {0x11, xa_mode_xtal_e, 0, sysclk_mode_xa_e},
      {0x15, xa_mode_xtal_dbl_e, 0, sysclk_mode_xa_e}, {0x02, xa_mode_xo_e, 0, sysclk_mode_ro_e},
      {0x16, xa_mode_xo_dbl_e, 0, sysclk_mode_xa_e},   {0x13, 6, 7, sysclk_mode_xa_e},  // XAB 3: unchanged
  };
  for (const auto &c : cases) {
    Hal h;
    blank(h);
    put_reg(h.get(), 0x031, 0x20);
    put_reg(h.get(), 0x00B, 0x01);
    put_reg(h.get(), 0x009, c.mcr1);
    h->xa_mode_e = 6;
    h->xa_disable = 7;
    h->jitter_mode_e = 2;
    inverse_regs_to_fields(h.get());
    ASSERT_EQ(inverse_detect_modes(h.get()), 0);
    EXPECT_EQ(h->xa_mode_e, c.xa_mode) << int(c.mcr1);
    EXPECT_EQ(h->xa_disable, c.xa_disable) << int(c.mcr1);
    EXPECT_EQ(h->sysclk_mode_e, c.sysclk) << int(c.mcr1);
    EXPECT_EQ(h->jitter_mode_e, 0);
  }
}

TEST(InverseDividers, PlanFromTheRegisterCodes) {
  Hal h;
  blank(h);
  put_reg(h.get(), 0x100, 0x04);  // ENHS2
  put_reg(h.get(), 0x101, 0x9F);  // HSDIV2 code 9, HSDIV1 code 15
  put_reg(h.get(), 0x114, 0x21);  // AFBBP 33: no fraction bits
  put_reg(h.get(), 0x200, 0x05);  // OC1 MSDIV 6
  put_reg(h.get(), 0x202, 0x21);  // NEGLSD, LSDIV bit 24
  put_reg(h.get(), 0x203, 0x03);
  put_reg(h.get(), 0x300, 0x02);  // IC1 HSDIV 4
  put_reg(h.get(), 0x301, 0x63);  // IC1 DIV 100
  put_reg(h.get(), 0x310, 0xF0);  // MON1 pre-divider 16
  put_reg(h.get(), 0x410, 0xE7);  // PFD count 999
  put_reg(h.get(), 0x411, 0x03);
  put_reg(h.get(), 0x408, 0x09);  // DCO feedback 10
  inverse_regs_to_fields(h.get());
  h->kova_mode_e = kova_mode_ja_e;
  inverse_divider_plan(h.get());
  EXPECT_EQ(h->vco_hsdiv1x2_u8, 30u);
  EXPECT_EQ(h->vco_hsdiv2x2_u8, 18u);
  EXPECT_EQ(h->apll_afbdiv_fbits_u8, 0u);
  EXPECT_EQ(h->oc1_msdiv_u8, 6u);
  EXPECT_EQ(h->oc1_lsdiv_u32, (1u << 24) + 4u);
  EXPECT_EQ(h->oc1_neg_lsdiv_u32, h->oc1_lsdiv_u32);
  EXPECT_EQ(h->oc2_neg_lsdiv_u32, 1u);
  EXPECT_EQ(h->ic1_hsdiv_u8, 4u);
  EXPECT_EQ(h->ic1_div_u32, 100u);
  EXPECT_EQ(h->ic1_mondiv_u8, 16u);
  EXPECT_EQ(h->pfd_div_u16, 1000u);
  EXPECT_EQ(h->dcofb_div_u32, 10u);
  // Outside JA the input DIVs are not part of the plan; a disabled HSDIV2 has no divider.
  h->kova_mode_e = kova_mode_syn_e;
  h->apllcr1_enhs2_u1 = 0;
  inverse_divider_plan(h.get());
  EXPECT_EQ(h->ic1_div_u32, 0u);
  EXPECT_EQ(h->vco_hsdiv2x2_u8, 0u);
}

// A synthesis chip: XA 50 MHz, outputs 156.25 and 100 MHz.
std::vector<uint8_t> syn_chip(Hal *keep = nullptr) {
  return planned(kova_device_40112_e, kova_mode_syn_e, xa_mode_xo_e, [](hal_api_s *h) {
    set_fprec_s(&h->xa_freq_s, 50000000, 1, 1);
    set_fprec_s(&h->oc1_freq_s, 625000000, 1, 4);
    set_fprec_s(&h->oc2_freq_s, 100000000, 1, 1);
  }, keep);
}

TEST(InverseAnchors, WithoutAKnownFrequencyEachModeSaysSo) {
  const struct {
    int32_t mode;
    const char *msg;
  } cases[] = {
      {kova_mode_syn_e, "ERROR: There is no input or output frequency available for inverse configuration function"},
      {kova_mode_nco_e, "ERROR: There is no input or output frequency available"},
      {kova_mode_ss_e, "ERROR: There is no input or output frequency available"},
      {kova_mode_ja_e, "ERROR: There is no input or output frequency available"},
  };
  for (const auto &c : cases) {
    const auto img = planned(kova_device_40112_e, c.mode, xa_mode_xo_e,
                             [](hal_api_s *h) { set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1); });
    Hal h;
    load(h, img);
    set_fprec_s(&h->vco_freq_s, 12345, 1, 1);
    EXPECT_EQ(inverse_cfg(h.get()), 1);
    EXPECT_TRUE(has(regs_test::drain(h.get()), c.msg)) << c.mode;
    EXPECT_EQ(h->kova_mode_e, c.mode);            // the steps before ran
    EXPECT_EQ(h->vco_freq_s.f, 12345u);           // the frequencies did not
  }
}

TEST(InverseAnchors, SynthesisFromAnyKnownFrequencyGivesTheSamePlan) {
  Hal chip;
  const auto img = syn_chip(&chip);
  for (int which = 0; which < 3; ++which) {
    Hal h;
    load(h, img);
    if (which == 0) set_fprec_s(&h->xa_freq_s, 50000000, 1, 1);
    if (which == 1) set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
    if (which == 2) set_fprec_s(&h->oc2_freq_s, 625000000, 4, 25);
    ASSERT_EQ(inverse_cfg(h.get()), 0) << which;
    EXPECT_EQ(fprec_compare(h->xa_freq_s, {50000000, 1, 1}), 0) << which;
    EXPECT_EQ(fprec_compare(h->oc1_freq_s, {156250000, 1, 1}), 0) << which;
    EXPECT_EQ(fprec_compare(h->oc2_freq_s, {100000000, 1, 1}), 0) << which;
    EXPECT_EQ(h->oc3_freq_s.f, 0u);
    EXPECT_EQ(fprec_compare(h->vco_freq_s, chip->vco_freq_s), 0) << which;
    EXPECT_EQ(fprec_compare(h->apll_input_freq_s, chip->apll_input_freq_s), 0) << which;
    EXPECT_EQ(h->up_monclk_freq_s.f, 100000000u);
    EXPECT_EQ(h->oc_solver_mode_e, oc_solver_mode_auto_e);
    EXPECT_EQ(h->auto_apll_disable, 0u);
  }
}

TEST(InverseAnchors, XaRouteRefusesExternalFeedback) {
  for (int32_t mode : {kova_mode_nco_e, kova_mode_ss_e, kova_mode_ja_e}) {
    const auto img = planned(kova_device_40112_e, mode, xa_mode_xo_e, [](hal_api_s *h) {
      set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1);
      h->icscr1_fbsel_u2 = 1;
    });
    Hal h;
    load(h, img);
    set_fprec_s(&h->xa_freq_s, 100000000, 1, 1);
    EXPECT_EQ(inverse_cfg(h.get()), 1) << mode;
    EXPECT_TRUE(has(regs_test::drain(h.get()), "ERROR: Can not inverse from XA frequency when in external feedback mode."));
  }
}

TEST(InverseAnchors, NcoXaAndOutputAgree) {
  const auto img = planned(kova_device_40112_e, kova_mode_nco_e, xa_mode_xo_e, [](hal_api_s *h) {
    set_fprec_s(&h->xa_freq_s, 100000000, 1, 1);
    set_fprec_s(&h->oc1_freq_s, 625000000, 1, 4);
  });
  for (bool from_xa : {false, true}) {
    Hal h;
    load(h, img);
    if (from_xa) set_fprec_s(&h->xa_freq_s, 100000000, 1, 1);
    else set_fprec_s(&h->oc1_freq_s, 625000000, 1, 4);
    ASSERT_EQ(inverse_cfg(h.get()), 0);
    EXPECT_EQ(fprec_compare(h->xa_freq_s, {100000000, 1, 1}), 0) << from_xa;
    EXPECT_EQ(fprec_compare(h->dco_freq_s, {96500000, 1, 1}), 0) << from_xa;  // XA less 3.5 MHz
    EXPECT_EQ(fprec_compare(h->oc1_freq_s, {156250000, 1, 1}), 0) << from_xa;
    EXPECT_EQ(fprec_compare(h->dsp_clk_freq_s, {50000000, 1, 1}), 0) << from_xa;
    EXPECT_EQ(h->ss_mode_e, ss_mode_down_e);
    EXPECT_EQ(h->ss_pctx10, 0u);
  }
}

// Spread spectrum: a down spread of P and a centre spread of P/2 program the same step; the
// output frequency tells them apart, the XA frequency cannot.
TEST(InverseAnchors, SpreadSpectrumDownSpreadNeedsAnOutput) {
  const auto img = planned(kova_device_40112_e, kova_mode_ss_e, xa_mode_xo_e, [](hal_api_s *h) {
    set_fprec_s(&h->xa_freq_s, 100000000, 1, 1);
    set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1);
    h->ss_mode_e = ss_mode_down_e;
    h->ss_pctx10 = 8;
    h->ss_mod_hz = 31250;
  });
  Hal a;
  load(a, img);
  set_fprec_s(&a->oc1_freq_s, 100000000, 1, 1);
  ASSERT_EQ(inverse_cfg(a.get()), 0);
  EXPECT_EQ(a->ss_mode_e, ss_mode_down_e);
  EXPECT_EQ(a->ss_pctx10, 8u);
  EXPECT_EQ(fprec_compare(a->xa_freq_s, {100000000, 1, 1}), 0);
  EXPECT_EQ(a->ss_cnt_u16, 400u);  // 50 MHz DSP clock / 31.25 kHz / 4
  EXPECT_EQ(a->ss_mod_hz, 31250u);
  Hal b;
  load(b, img);
  set_fprec_s(&b->xa_freq_s, 100000000, 1, 1);
  ASSERT_EQ(inverse_cfg(b.get()), 0);
  EXPECT_EQ(b->ss_mode_e, ss_mode_centre_e);
  EXPECT_EQ(b->ss_pctx10, 4u);
  EXPECT_EQ(fprec_compare(b->oc1_freq_s, {99600000, 1, 1}), 0);  // the low end of the spread
}

// A jitter-attenuation chip: IC1 19.44 MHz, IC2 25 MHz, OC1 156.25 MHz.
std::vector<uint8_t> ja_chip(const std::function<void(hal_api_s *)> &more = [](hal_api_s *) {}) {
  return planned(kova_device_40112_e, kova_mode_ja_e, xa_mode_xo_e, [&](hal_api_s *h) {
    set_fprec_s(&h->xa_freq_s, 114285000, 1, 1);
    set_fprec_s(&h->ic1_freq_s, 19440000, 1, 1);
    set_fprec_s(&h->ic2_freq_s, 25000000, 1, 1);
    set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
    h->dpll_bw_hz = 100;
    more(h);
  });
}

TEST(InverseJa, InputsPfdAndUnusedInput) {
  const auto img = ja_chip();
  for (int known : {0, 1, 4}) {
    Hal h;
    load(h, img);
    if (known == 0) set_fprec_s(&h->ic1_freq_s, 19440000, 1, 1);
    if (known == 1) set_fprec_s(&h->ic2_freq_s, 25000000, 1, 1);
    if (known == 4) set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
    ASSERT_EQ(inverse_cfg(h.get()), 0) << known;
    EXPECT_EQ(fprec_compare(h->pfd_freq_s, {40000, 1, 1}), 0) << known;  // gcd of the inputs
    EXPECT_EQ(fprec_compare(h->ic1_freq_s, {19440000, 1, 1}), 0) << known;
    EXPECT_EQ(fprec_compare(h->ic2_freq_s, {25000000, 1, 1}), 0) << known;
    EXPECT_EQ(fprec_compare(h->xa_freq_s, {114285000, 1, 1}), 0) << known;
    // IC3 is programmed as unused: HSDIV 8, the largest DIV.
    EXPECT_EQ(h->ic3_hsdiv_u8, 8u);
    EXPECT_EQ(h->ic3_div_u32, 1u << 20);
    EXPECT_EQ(h->ic3_freq_s.f, 0u);
    EXPECT_EQ(h->ic3_mon_divclk_freq_mhz_r, 0.0);
    EXPECT_GT(h->ic1_mon_divclk_freq_mhz_r, 0.0);
    EXPECT_EQ(h->dpll_bw_hz, 100u);
  }
}

TEST(InverseJa, FromXaTheFrequenciesAreSnappedToReferences) {
  const auto img = ja_chip();
  Hal h;
  load(h, img);
  set_fprec_s(&h->xa_freq_s, 114285000, 1, 1);
  ASSERT_EQ(inverse_cfg(h.get()), 0);
  EXPECT_EQ(fprec_compare(h->ic1_freq_s, {19440000, 1, 1}), 0);
  EXPECT_EQ(fprec_compare(h->oc1_freq_s, {156250000, 1, 1}), 0);
  EXPECT_EQ(h->oc1_freq_s.f, 625000000u);  // expressed against the reference
}

// Settings from the DPLL words, on hand-set fields.
class InverseDpll : public ::testing::Test {
 protected:
  Hal h;
  void SetUp() override {
    blank(h);
    h->kova_mode_e = kova_mode_ja_e;
    h->dpllcr1_mode_u4 = 6;
    set_fprec_s(&h->pfd_freq_s, 1000000, 1, 1);
    h->pfd_div_u16 = 1000;  // DSP rate 1000 Hz: one sample is 1000 us
    h->dfreqz1_freqz_u40 = 300000000000ull;
    h->phlolset_ro_u8_0 = 0;
    h->hofdthr_ro_u32_0 = 0xFFFFFFFFu;
    h->fchlimthr_ro_u32_0 = 0x7FFFFFFFu;
    h->pslimthr_ro_u32_10 = 0x7FFFFFFFu;
    h->fqhlimthr_ro_u32_0 = 0x80000000u;
  }
};

TEST_F(InverseDpll, WorkedExamples) {
  h->phlkto_phlktom_u2 = 1;
  h->phlkto_phlkto_u6 = 2;
  h->dpllcr2_crb2 = 1;
  h->dphoff1_phoff_ns_i32_10 = -1024;
  ASSERT_EQ(inverse_dpll_settings(h.get()), 0);
  EXPECT_EQ(h->dsp_rate_hz_u32, 1000u);
  EXPECT_EQ(h->phlkto_ms, 32u);
  EXPECT_EQ(h->lolset_us, 0u);
  EXPECT_EQ(h->hofd_ppb_sec, 0u);
  EXPECT_EQ(h->fchlim_ppb_sec, 0u);
  EXPECT_EQ(h->pslim_ns_sec, 0u);
  EXPECT_EQ(h->fqhlim_ppb, 0u);
  EXPECT_EQ(h->hitless_mode_e, 2);
  EXPECT_EQ(h->dpll_mode_e, 0);
  EXPECT_EQ(h->man_phoff_ps, 1000);
  h->dpllcr2_crb1 = 1;
  ASSERT_EQ(inverse_dpll_settings(h.get()), 0);
  EXPECT_EQ(h->hitless_mode_e, 0);
  h->dpllcr2_crb2 = 0;
  ASSERT_EQ(inverse_dpll_settings(h.get()), 0);
  EXPECT_EQ(h->hitless_mode_e, 1);
}

TEST_F(InverseDpll, ModeWordsOutsideTheirTablesFail) {
  h->dpllcr1_homode_u2 = 3;
  EXPECT_EQ(inverse_dpll_settings(h.get()), 1);
  EXPECT_TRUE(has(regs_test::drain(h.get()), "ERROR: Can not determine ho_mode_e - dpllcr1_homode = 3"));
  h->dpllcr1_homode_u2 = 1;
  h->dpllcr1_mode_u4 = 0xB;
  EXPECT_EQ(inverse_dpll_settings(h.get()), 1);
  EXPECT_TRUE(has(regs_test::drain(h.get()), "ERROR: Can not determine dpll_mode_e - dpllcr1_mode = B"));
}

TEST_F(InverseDpll, WithoutAFrequencyWordOrRateNothingIsDividedByZero) {
  h->prop_ro_u32_10 = 1000;
  h->int_ro_u32_12 = 0;
  h->hofdthr_ro_u32_0 = 5;
  h->dfreqz1_freqz_u40 = 0;
  ASSERT_EQ(inverse_dpll_settings(h.get()), 0);
  EXPECT_EQ(h->hofd_ppb_sec, 0u);
  EXPECT_EQ(h->dpll_bw_hz, 0u);
  EXPECT_EQ(h->dpll_df, 0u);
  h->dfreqz1_freqz_u40 = 300000000000ull;
  h->pfd_div_u16 = 0;
  ASSERT_EQ(inverse_dpll_settings(h.get()), 0);
  EXPECT_EQ(h->dsp_rate_hz_u32, 0u);
  EXPECT_EQ(h->phlkto_ms, 0u);
  EXPECT_EQ(h->hofd_ppb_sec, 0u);
}

TEST(InverseMonitor, WorkedExamples) {
  Hal h;
  blank(h);
  set_fprec_s(&h->up_monclk_freq_s, 100000000, 1, 1);
  // Input 1: SCEN 0. Input 2: a PPM monitor whose PPHT equals PPLT.
  h->mon1cr2_scen_u1 = 0;
  h->ic1_mon_divclk_freq_mhz_r = 10.0;
  h->ic1_mon_valtim_rate_hz_r = 12.5;
  h->mon2cr2_scen_u1 = 1;
  h->mon2cr2_ppen_u1 = 1;
  h->mon2cr2_losss_u3 = 3;
  h->mon2cr6_pcd_u8 = 249;   // 250
  h->mon2cr11_ppd_u10 = 399;  // 400: 10^5 input cycles of 10 MHz per 10^6 reference cycles
  h->mon2cr7_ppn_u25 = 0;
  h->mon2cr12_ppht_u9 = h->mon2cr13_pplt_u9 = 101;
  h->mon2cr4_scc_u18 = 14;
  h->ic2_mon_divclk_freq_mhz_r = 10.0;
  h->ic2_mon_valtim_rate_hz_r = 12.5;
  inverse_monitor_settings(h.get(), 1);
  inverse_monitor_settings(h.get(), 2);
  EXPECT_EQ(h->ic1_mon_mode_e, 1);
  EXPECT_EQ(h->ic1_mon_thr_ppm, 1u);
  EXPECT_EQ(h->ic2_mon_mode_e, 2);
  EXPECT_EQ(h->ic2_mon_ppm_mode_e, 1);
  EXPECT_EQ(h->ic2_mon_extlos_e, 3);
  EXPECT_EQ(h->ic2_mon_thr_ppm, 100u);  // 101 counts of 10^6 (the smaller side)
  EXPECT_EQ(h->ic2_mon_thr2_ppm, 0u);
}

TEST(InverseReconcile, KeptIntegerAndReferenceForms) {
  Hal h;
  blank(h);
  const fprec_s kept[7] = {{0, 1, 1}, {0, 1, 1}, {0, 1, 1}, {0, 1, 1}, {625000000, 1, 4}, {0, 1, 1}, {0, 1, 1}};
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);              // equal to the kept one
  set_fprec_s(&h->oc2_freq_s, 200000000, 1, 2);              // an integer
  set_fprec_s(&h->oc3_freq_s, 622080000, 255, 237 * 4);      // OTN rate
  set_fprec_s(&h->ic1_freq_s, 1, 1, 4294967291u);            // no reference holds it in 32 bits
  inverse_reconcile(h.get(), kept, false);
  EXPECT_EQ(h->oc1_freq_s.f, 625000000u);
  EXPECT_EQ(h->oc1_freq_s.m, 4u);
  EXPECT_EQ(h->oc2_freq_s.f, 100000000u);
  EXPECT_EQ(h->oc2_freq_s.m, 1u);
  EXPECT_EQ(h->oc3_freq_s.f, 625000000u);  // the first reference that holds it exactly
  EXPECT_EQ(fprec_compare(h->oc3_freq_s, {622080000, 255, 948}), 0);
  EXPECT_EQ(fprec_compare(h->ic1_freq_s, {1, 1, 4294967291u}), 0);
  // Through rounded words: the nearest reference multiple, unless that moves a low frequency.
  set_fprec_s(&h->oc1_freq_s, 156250001, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 6271, 1, 1);
  inverse_reconcile(h.get(), kept, true);
  EXPECT_EQ(fprec_compare(h->oc1_freq_s, {156250000, 1, 1}), 0);
  EXPECT_EQ(fprec_compare(h->oc2_freq_s, {6271, 1, 1}), 0);
}

TEST(InverseChecks, ApllTestMarkAndSolverCheck) {
  const auto img = syn_chip();
  Hal a;
  load(a, img);
  put_reg(a.get(), 0x125, get_reg(a.get(), 0x125) ^ 0x01);
  set_fprec_s(&a->oc1_freq_s, 156250000, 1, 1);
  ASSERT_EQ(inverse_cfg(a.get()), 0);
  EXPECT_EQ(a->auto_apll_disable, 1u);

  // 100 MHz from a 4 GHz VCO: the dividers the automatic solver chooses read back as its
  // choice; another split of the same total divider stays as read.
  auto setup = [](hal_api_s *h) {
    set_fprec_s(&h->xa_freq_s, 50000000, 1, 1);
    set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1);
  };
  Hal automatic;
  const auto auto_img = planned(kova_device_40112_e, kova_mode_syn_e, xa_mode_xo_e, setup, &automatic);
  const bool sixteen = automatic->vco_hsdiv1x2_u8 == 16;
  const auto manual_img = planned(kova_device_40112_e, kova_mode_syn_e, xa_mode_xo_e, [&](hal_api_s *h) {
    setup(h);
    h->oc_solver_mode_e = oc_solver_mode_manual_e;
    h->vco_hsdiv1x2_u8 = sixteen ? 20 : 16;
    h->oc1_msdiv_u8 = sixteen ? 4 : 5;
    h->oc1_lsdiv_u32 = 1;
    h->oc2_msdiv_u8 = h->oc3_msdiv_u8 = 1;
    h->oc2_lsdiv_u32 = h->oc3_lsdiv_u32 = 1;
  });
  for (const auto *image : {&auto_img, &manual_img}) {
    Hal b;
    load(b, *image);
    set_fprec_s(&b->oc1_freq_s, 100000000, 1, 1);
    ASSERT_EQ(inverse_cfg(b.get()), 0);
    EXPECT_EQ(fprec_compare(b->xa_freq_s, {50000000, 1, 1}), 0);
    EXPECT_EQ(b->oc_solver_mode_e, image == &auto_img ? oc_solver_mode_auto_e : oc_solver_mode_manual_e);
  }

  // A configuration the calculation rejects fails the check with the calculation's error.
  Hal c;
  load(c, img);
  set_fprec_s(&c->oc1_freq_s, 1562500000, 1, 1);  // ten times the output: an XA far out of range
  EXPECT_EQ(inverse_cfg(c.get()), 1);
  const auto msgs = regs_test::drain(c.get());
  ASSERT_FALSE(msgs.empty());
  EXPECT_NE(msgs.back().find("ERROR"), std::string::npos);
}

}  // namespace

namespace {

// Whatever a chip (or a damaged dump) holds, the read-back ends with a result and a message,
// never with a crash, an endless search or a frequency that is not a number.
TEST(InverseRobustness, RandomImagesEndWithAResult) {
  std::mt19937 rng(11);
  const uint8_t pllen[] = {0x01, 0x11, 0x11, 0x11, 0x10};
  const uint8_t dpllcr1[] = {0x01, 0x02, 0x04, 0x05, 0x06, 0x36, 0x03};
  for (int round = 0; round < 200; ++round) {
    Hal h;
    blank(h);
    for (uint32_t a = 0; a < 0x700; ++a)
      if (rng() % 3 == 0) put_reg(h.get(), a, rng() & 0xFF);
    put_reg(h.get(), 0x030, 0x19);
    put_reg(h.get(), 0x031, 0x20);
    put_reg(h.get(), 0x00B, pllen[rng() % 5]);
    put_reg(h.get(), 0x40B, dpllcr1[rng() % 7]);
    fprec_s *known[] = {&h->oc1_freq_s, &h->ic1_freq_s, &h->xa_freq_s};
    set_fprec_s(known[rng() % 3], 1000000 + rng() % 200000000, 1 + rng() % 7, 1 + rng() % 5);
    const int32_t rc = inverse_cfg(h.get());
    const auto msgs = regs_test::drain(h.get());
    EXPECT_TRUE(rc == 0 || rc == 1) << round;
    if (rc != 0) {
      EXPECT_FALSE(msgs.empty()) << round;
    }
    for (const fprec_s &f : {h->vco_freq_s, h->oc1_freq_s, h->oc2_freq_s, h->oc3_freq_s, h->xa_freq_s, h->ic1_freq_s})
      EXPECT_TRUE(std::isfinite(fprec_s_2_double_mhz(f))) << round;
    EXPECT_TRUE(std::isfinite(h->ic1_mon_divclk_freq_mhz_r)) << round;
  }
}

}  // namespace
