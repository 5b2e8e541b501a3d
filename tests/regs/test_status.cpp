// Status decode: the registers named in each mode, the raw words gathered from the image and
// the offsets derived from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "regs/status.h"
#include "regs_test_util.h"

namespace {
using namespace regs_test;

// Runs the naming half: every address named, with the image left as it is.
std::vector<uint32_t> named(hal_api_s *h) {
  std::vector<uint32_t> out;
  for (uint32_t a; out.size() < 100 && (a = get_statuses(h)) != 0;) out.push_back(a);
  return out;
}

void put_le(hal_api_s *h, uint32_t address, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) put_reg(h, address + i, static_cast<uint32_t>(value >> (8 * i)));
}

struct StatusDecode : ::testing::Test {
  Hal h;
  void SetUp() override {
    init_full(h.get(), kova_device_40112_e, kova_mode_ja_e);
    drain(h.get());
    h->dfreqz1_freqz_u40 = uint64_t{1} << 40;
    h->get_statuses_mode_e = get_statuses_all_e;
  }
};

TEST_F(StatusDecode, OnlyJaNamesRegistersAndEachModeItsOwn) {
  for (int32_t mode : {kova_mode_syn_e, kova_mode_nco_e, kova_mode_ss_e}) {
    Hal s;
    init_full(s.get(), kova_device_40112_e, mode);
    s->get_statuses_mode_e = get_statuses_all_e;
    s->freqoff_rw_i32_0 = 77;
    put_le(s.get(), 0x065, 0x12345678, 4);
    EXPECT_EQ(get_statuses(s.get()), 0u) << mode;
    EXPECT_EQ(s->freqoff_rw_i32_0, 77);
  }
  const std::vector<uint32_t> got = named(h.get());
  ASSERT_EQ(got.size(), KOVA_STATUS_REGS_ALL);
  EXPECT_EQ(std::set<uint32_t>(got.begin(), got.end()).size(), got.size());
  EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](uint32_t a) { return a >= 0x030 && a <= 0x09F; }));
  // Mode 0 names frequency and phase (the first eight of all), clears the extended offsets
  // and leaves their raw words; the counter starts over each round.
  h->get_statuses_mode_e = get_statuses_freq_phase_e;
  double *extended[] = {&h->ho_freq_offset_ppm_r,    &h->pfix_phase_offset_ns_r,    &h->pslim_input_phase_ns_r,
                        &h->dpll_lfint_offset_ppm_r, &h->dpll_lfprop_offset_ppm_r, &h->fchlim_freq_offset_ppm_r};
  for (double *v : extended) *v = 3.0;
  h->hooffset_rw_s32_0 = 99;
  for (int round = 0; round < 2; ++round)
    EXPECT_EQ(named(h.get()), (std::vector<uint32_t>{0x065, 0x066, 0x067, 0x068, 0x07D, 0x07E, 0x07F, 0x080}));
  EXPECT_EQ(std::vector<uint32_t>(got.begin(), got.begin() + 8), named(h.get()));
  for (double *v : extended) EXPECT_EQ(*v, 0.0);
  EXPECT_EQ(h->hooffset_rw_s32_0, 99);
  // Any other mode value decodes at once.
  h->get_statuses_mode_e = 7;
  put_le(h.get(), 0x07D, 2048, 4);
  EXPECT_EQ(get_statuses(h.get()), 0u);
  EXPECT_EQ(h->input_phase_offset_ns_r, 2.0);
}

TEST_F(StatusDecode, RawWordsAreLittleEndianAndSignedAsTheirFields) {
  // FREQ = -2^31, PHASE = 1 ns; a 48-bit accumulator whose top byte is 0xFF is still positive.
  const struct { uint32_t a; uint64_t v; int bytes; } words[] = {
      {0x065, 0x80000000u, 4},     {0x07D, 1024, 4},      {0x05D, 0xFEDCBA9876543210ull, 8}, {0x069, 0xBEEF, 2},
      {0x06B, 0x1234, 2},          {0x06D, 0x800000000001ull, 6}, {0x073, 0xF0, 1}, {0x075, 0xFF0000000002ull, 6},
      {0x095, 0xFFFFFC00u, 4},     {0x081, 0xFFFFF800u, 4}, {0x08D, 0x00000C00u, 4}, {0x091, 0xFFFFFFFFu, 4}};
  for (const auto &w : words) put_le(h.get(), w.a, w.v, w.bytes);
  named(h.get());
  EXPECT_EQ(static_cast<uint64_t>(h->lfint_rw_i64_22), 0xFEDCBA9876543210ull);
  expect_fields(h.get(), "freqoff_rw_i32_0=-2147483648 input_phase_offset_ns_r=1 hotimer_rw_u16_0=0xBEEF "
                         "pfixtimer_rw_u16_0=0x1234 pfixavgacc_rw_s48_x=0x800000000001 loltimer_rw_s8_0=0xF0 "
                         "hoavgacc_rw_s48_x=0xFF0000000002 hooffset_rw_s32_0=-1024 pfix_phase_offset_ns_r=-2 "
                         "pslim_input_phase_ns_r=3 prop_rw_32_0=-1");
}

TEST_F(StatusDecode, OffsetsInPpmFollowTheNominalWord) {
  // x = raw x 10^6 / Z; ppm = x - 10^-6 x^2.
  // FREQ 2^30, LFINT 2^52 / 2^22 = 2^30, FCHLIM -2^30, PHASE 0.5 ns.
  const struct { uint32_t a; uint64_t v; int bytes; } words[] = {
      {0x065, 1u << 30, 4}, {0x05D, uint64_t{1} << 52, 8}, {0x089, static_cast<uint32_t>(-(1 << 30)), 4}, {0x07D, 512, 4}};
  for (const auto &w : words) put_le(h.get(), w.a, w.v, w.bytes);
  named(h.get());
  const double x = 1073741824.0 * 1e6 / 1099511627776.0;
  EXPECT_DOUBLE_EQ(h->output_freq_offset_ppm_r, x - 1e-6 * x * x);
  EXPECT_DOUBLE_EQ(h->dpll_lfint_offset_ppm_r, x - 1e-6 * x * x);
  EXPECT_DOUBLE_EQ(h->fchlim_freq_offset_ppm_r, -x - 1e-6 * x * x);
  h->dfreqz1_freqz_u40 = 0;  // no nominal word: no offsets, the phase still
  named(h.get());
  EXPECT_EQ(h->output_freq_offset_ppm_r, 0.0);
  EXPECT_EQ(h->dpll_lfint_offset_ppm_r, 0.0);
  EXPECT_EQ(h->input_phase_offset_ns_r, 0.5);
}

}  // namespace
