// build_regs: the packing of fields into register bytes and its conditions (the packing table
// itself meets every byte of a whole image in the end-to-end images of each mode and in the
// read-back round trip).
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "regs/build_regs.h"
#include "regs/regmap_data.h"
#include "tests/regs/regs_test_util.h"

namespace {
using namespace regs_test;

class BuildRegs : public ::testing::Test {
 protected:
  void init(int32_t mode) {
    init_full(h.get(), 40000, mode);
    drain(h.get());
  }
  void build(const std::string &fields) {
    set_fields(h.get(), fields);
    build_regs(h.get());
  }
  uint32_t reg(uint32_t a) { return get_reg(h.get(), a); }
  void expect_regs(const std::vector<std::pair<uint32_t, uint32_t>> &want) {
    for (const auto &[a, v] : want) EXPECT_EQ(reg(a), v) << std::hex << a;
  }
  Hal h;
};

TEST_F(BuildRegs, FieldsAreTruncatedToTheirSlots) {
  init(kova_mode_syn_e);
  h->afbdiv1_afbdiv_u42 = 0xFFFFFC0000000000ull | (3ull << 40) | 0x0123456789ull;
  build("ocen_oc1en_u1=2 ocen_oc2en_u1=0 ocen_oc3en_u1=0 sco_sco_i8=0xFFFFFFFE oc2ph_phadj_i8=-128 "
        "ic1cr2_div_u20=0xFFFABCDE");
  // ICDIV's upper nibble is written 0.
  expect_regs({{0x10B, 0x03}, {0x10A, 0x01}, {0x106, 0x89}, {0x00D, 0x00}, {0x01A, 0xFE}, {0x217, 0x80}, {0x301, 0xDE},
               {0x302, 0xBC}, {0x303, 0x0A}});
  // AIDIV keeps only its upper bit.
  set_fields(h.get(), "apllcr1_enhs2_u1=1 apllcr1_byphs2_u1=1");
  for (uint32_t aidiv : {0u, 1u, 2u, 3u}) {
    h->apllcr1_aidiv_u2 = aidiv;
    build_regs(h.get());
    EXPECT_EQ(reg(0x100), (aidiv >= 2 ? 0x80u : 0x00u) | 0x06u) << aidiv;
  }
}

TEST_F(BuildRegs, XaDisableAndApllTestRegisters) {
  // XA disable clears XAB only in synthesis.
  init(kova_mode_syn_e);
  build("mcr1_xab_u2=2 mcr1_dbl_u1=1 mcr1_rst_u1=1 xa_disable=1");
  EXPECT_EQ(reg(0x009), 0x84u);
  build("xa_disable=0");
  EXPECT_EQ(reg(0x009), 0x86u);
  // The APLL test registers only when not disabled.
  put_reg(h.get(), 0x120, 0x5A);
  put_reg(h.get(), 0x12C, 0xA5);
  build("dco1_u8=0x11 plltcr12_u8=0x22 apll_test_build_disable=1");
  expect_regs({{0x120, 0x5A}, {0x12C, 0xA5}});
  build("apll_test_build_disable=0");
  expect_regs({{0x120, 0x11}, {0x12C, 0x22}});
  init(kova_mode_nco_e);
  build("mcr1_xab_u2=1 mcr1_dbl_u1=0 mcr1_mcsel_u1=1 xa_disable=1");
  EXPECT_EQ(reg(0x009), 0x11u);
}

// The DPLL-parameter and spread-spectrum block by mode: synthesis keeps what the image held
// (only DPHOFF is written in every mode, FREQZ without the bits above 39); spread spectrum
// writes the count and the decrement; jitter attenuation the whole block apart from five
// bytes the DSP keeps for itself.
TEST_F(BuildRegs, DpllParameterBlockFollowsTheMode) {
  const uint32_t m = 0xC3;
  const std::vector<std::pair<uint32_t, uint32_t>> ss = {{0x42C, 0xBC}, {0x42D, 0x0A}, {0x430, 0x12}, {0x431, 0xEF},
                                                         {0x432, 0x0D}, {0x425, m},    {0x433, m},    {0x45B, m}};
  const std::vector<std::pair<uint32_t, uint32_t>> ja = {
      {0x425, 0x11}, {0x426, 0x33}, {0x427, 0x22}, {0x42C, 0x44}, {0x42D, 0x55}, {0x430, 0x99}, {0x431, 0x88},
      {0x432, 0x77}, {0x433, 0x66}, {0x434, 0xDD}, {0x437, 0xAA}, {0x438, 0x04}, {0x43B, 0x01}, {0x43C, 0x08},
      {0x43F, 0x05}, {0x440, 0x0C}, {0x443, 0x09}, {0x444, 0x0E}, {0x445, 0x0D}, {0x448, 0x13}, {0x44B, 0x10},
      {0x44C, 0x17}, {0x44F, 0x14}, {0x450, 0x19}, {0x451, 0x18}, {0x454, 0x1A}, {0x456, 0x1B}, {0x457, 0x1C},
      {0x458, 0x20}, {0x45B, 0x1D}, {0x42E, m},    {0x42F, m},    {0x446, m},    {0x447, m},    {0x452, m},
      {0x453, m},    {0x455, m}};
  for (int32_t mode : {kova_mode_syn_e, kova_mode_ss_e, kova_mode_ja_e}) {
    SCOPED_TRACE(mode);
    init(mode);
    for (uint32_t a = 0x425; a <= 0x45B; ++a) put_reg(h.get(), a, m);
    build("phlolset_ro_u8_0=0x11 phlolns_ro_u16_0=0x2233 hoavgto_ro_u8_0=0x44 pfixavgto_ro_u8_0=0x55 "
          "pslimthr_ro_u32_10=0x66778899 pfdns_ro_u32_20=0xAABBCCDD prop_ro_u32_10=0x01020304 "
          "int_ro_u32_12=0x05060708 hofdthr_ro_u32_0=0x090A0B0C houiscale_ro_u16_36=0x0D0E "
          "fqhlimthr_ro_u32_0=0x10111213 fchlimthr_ro_u32_0=0x14151617 pfdnscale_ro_u16_52=0x1819 "
          "pslimint_ro_u8_0=0x1A phlolclr_ro_u8_0=0x1B howaitto_ro_u8_0=0x1C phuins_ro_u32_10=0x1D1E1F20 "
          "dsscnt1_sscnt_u12=0xABC dssdec1_decinc_u20=0xDEF12 dphoff1_phoff_ns_i32_10=-1024 "
          "dfreqz1_freqz_u40=0xFF123456789A");
    expect_regs({{0x428, 0x00}, {0x429, 0xFC}, {0x42A, 0xFF}, {0x42B, 0xFF}, {0x420, 0x9A}, {0x424, 0x12}});
    if (mode == kova_mode_syn_e) {
      for (uint32_t a = 0x425; a <= 0x45B; ++a) {
        EXPECT_TRUE((a >= 0x428 && a <= 0x42B) || reg(a) == m) << std::hex << a;
      }
    }
    expect_regs(mode == kova_mode_ss_e ? ss : mode == kova_mode_ja_e ? ja : std::vector<std::pair<uint32_t, uint32_t>>{});
  }
}

TEST_F(BuildRegs, MonitorPackingFollowsPcen) {
  init(kova_mode_ja_e);
  build("mon2cr2_pcen_u1=1 mon2cr7_pcn_u14=0x3FFF mon2cr8_pct_u8=0x5A mon2cr9_pctm_u3=0x2 "
        "mon2cr7_ppn_u25=0x1000000 mon2cr3_scgap_u1=1 mon2cr4_scc_u18=0x3ABCD");
  expect_regs({{0x332, 0x2B}, {0x336, 0xFF}, {0x337, 0x5A}, {0x338, 0xFA}, {0x333, 0xCD}, {0x334, 0xAB}});
  EXPECT_EQ(reg(0x331) & 0x02u, 0x02u);
  // PCEN 0: the 25-bit count, its top bit in CR3, then bits 23..16, 7..0, 15..8.
  build("mon2cr2_pcen_u1=0 mon2cr7_pcn_u14=0 mon2cr7_ppn_u25=0x1ABCDEF");
  expect_regs({{0x332, 0x2B}, {0x336, 0xAB}, {0x337, 0xEF}, {0x338, 0xCD}});
  EXPECT_EQ(reg(0x331) & 0x02u, 0x00u);
  // Each monitor follows its own PCEN.
  build("mon1cr2_pcen_u1=1 mon1cr7_pcn_u14=0x2001 mon3cr2_pcen_u1=0 mon3cr7_ppn_u25=0x0000101");
  expect_regs({{0x316, 0x01}, {0x356, 0x00}, {0x357, 0x01}, {0x358, 0x01}});
  EXPECT_TRUE((reg(0x312) & 0x20u) == 0x20u && (reg(0x318) & 0xF8u) == 0u);
}

TEST_F(BuildRegs, RegistersOutsideTheTableKeepTheirBytes) {
  init(kova_mode_ja_e);
  std::set<uint32_t> written;
  for (size_t i = 0; i < kova_build_row_count; ++i) written.insert(kova_build_rows[i].address);
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a)
    if (!written.count(a)) put_reg(h.get(), a, a ^ 0x5A);
  build_regs(h.get());
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) {
    EXPECT_TRUE(written.count(a) || reg(a) == ((a ^ 0x5A) & 0xFFu)) << std::hex << a;
  }
  // A changed mode without initialisation leaves the image alone; no object: nothing to do.
  h->kova_mode_e = kova_mode_syn_e;
  const std::vector<uint8_t> before(h.img(), h.img() + KOVA_REG_COUNT);
  build_regs(h.get());
  EXPECT_EQ(std::vector<uint8_t>(h.img(), h.img() + KOVA_REG_COUNT), before);
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: init_api modes changed or invalid"});
  build_regs(nullptr);
}

}  // namespace
