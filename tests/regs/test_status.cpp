// Status decode: the registers named in each mode, the raw words gathered from the image and
// the offsets derived from them.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "regs/status.h"
#include "regs_test_util.h"

namespace {

using regs_test::Hal;

// Runs the naming half: every address named, with the image left as it is.
std::vector<uint32_t> named(hal_api_s *h, size_t limit = 100) {
  std::vector<uint32_t> out;
  while (out.size() < limit) {
    const uint32_t a = get_statuses(h);
    if (a == 0) break;
    out.push_back(a);
  }
  return out;
}

void put_le(hal_api_s *h, uint32_t address, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) put_reg(h, address + i, static_cast<uint32_t>(value >> (8 * i)));
}

class StatusDecode : public ::testing::Test {
 protected:
  Hal h;
  void SetUp() override {
    regs_test::init_full(h.get(), kova_device_40112_e, kova_mode_ja_e);
    regs_test::drain(h.get());
    h->dfreqz1_freqz_u40 = uint64_t{1} << 40;
  }
};

TEST_F(StatusDecode, OtherModesNameNothingAndChangeNothing) {
  for (int32_t mode : {kova_mode_syn_e, kova_mode_nco_e, kova_mode_ss_e}) {
    Hal s;
    regs_test::init_full(s.get(), kova_device_40112_e, mode);
    s->get_statuses_mode_e = get_statuses_all_e;
    s->freqoff_rw_i32_0 = 77;
    s->output_freq_offset_ppm_r = 1.5;
    put_le(s.get(), 0x065, 0x12345678, 4);
    EXPECT_EQ(get_statuses(s.get()), 0u) << mode;
    EXPECT_EQ(s->freqoff_rw_i32_0, 77);
    EXPECT_EQ(s->output_freq_offset_ppm_r, 1.5);
    EXPECT_EQ(s.seq()[seq_status_w], 0u);
  }
}

TEST_F(StatusDecode, ModeZeroNamesFrequencyAndPhaseThenDecodes) {
  h->get_statuses_mode_e = get_statuses_freq_phase_e;
  h->dpll_lfint_offset_ppm_r = h->dpll_lfprop_offset_ppm_r = h->ho_freq_offset_ppm_r = 3.0;
  h->fchlim_freq_offset_ppm_r = h->pfix_phase_offset_ns_r = h->pslim_input_phase_ns_r = 3.0;
  h->hooffset_rw_s32_0 = 99;
  EXPECT_EQ(named(h.get()), (std::vector<uint32_t>{0x065, 0x066, 0x067, 0x068, 0x07D, 0x07E, 0x07F, 0x080}));
  EXPECT_EQ(h->dpll_lfint_offset_ppm_r, 0.0);
  EXPECT_EQ(h->dpll_lfprop_offset_ppm_r, 0.0);
  EXPECT_EQ(h->ho_freq_offset_ppm_r, 0.0);
  EXPECT_EQ(h->fchlim_freq_offset_ppm_r, 0.0);
  EXPECT_EQ(h->pfix_phase_offset_ns_r, 0.0);
  EXPECT_EQ(h->pslim_input_phase_ns_r, 0.0);
  EXPECT_EQ(h->hooffset_rw_s32_0, 99);  // extended raw words are not read in mode 0
  // The counter starts over: the next round names the same registers.
  EXPECT_EQ(named(h.get()).size(), KOVA_STATUS_REGS_FREQ_PHASE);
}

TEST_F(StatusDecode, ModeOneNamesTheWholeDpllStatusInOrder) {
  h->get_statuses_mode_e = get_statuses_all_e;
  std::vector<uint32_t> want{0x065, 0x066, 0x067, 0x068, 0x07D, 0x07E, 0x07F, 0x080};
  regs_test::append_range(want, 0x05D, 0x064);
  regs_test::append_range(want, 0x069, 0x073);
  regs_test::append_range(want, 0x075, 0x07A);
  regs_test::append_range(want, 0x095, 0x098);
  regs_test::append_range(want, 0x081, 0x084);
  regs_test::append_range(want, 0x089, 0x094);
  const std::vector<uint32_t> got = named(h.get());
  EXPECT_EQ(got, want);
  EXPECT_EQ(got.size(), KOVA_STATUS_REGS_ALL);
  EXPECT_EQ(std::set<uint32_t>(got.begin(), got.end()).size(), got.size());
  for (uint32_t a : got) EXPECT_TRUE(a >= 0x030 && a <= 0x09F) << a;
}

TEST_F(StatusDecode, AnotherModeValueDecodesAtOnce) {
  h->get_statuses_mode_e = 7;
  put_le(h.get(), 0x07D, 2048, 4);
  h->ho_freq_offset_ppm_r = 4.0;
  EXPECT_EQ(get_statuses(h.get()), 0u);
  EXPECT_EQ(h->input_phase_offset_ns_r, 2.0);
  EXPECT_EQ(h->ho_freq_offset_ppm_r, 0.0);
}

TEST_F(StatusDecode, RawWordsAreLittleEndianAndSignedAsTheirFields) {
  h->get_statuses_mode_e = get_statuses_all_e;
  put_le(h.get(), 0x065, 0x80000000u, 4);  // FREQ = -2^31
  put_le(h.get(), 0x07D, 1024, 4);         // PHASE = 1 ns
  put_le(h.get(), 0x05D, 0xFEDCBA9876543210ull, 8);
  put_le(h.get(), 0x069, 0xBEEF, 2);
  put_le(h.get(), 0x06B, 0x1234, 2);
  put_le(h.get(), 0x06D, 0x800000000001ull, 6);
  put_reg(h.get(), 0x073, 0xF0);
  put_le(h.get(), 0x075, 0xFF0000000002ull, 6);  // top byte 0xFF: still positive
  put_le(h.get(), 0x095, 0xFFFFFC00u, 4);
  put_le(h.get(), 0x081, 0xFFFFF800u, 4);
  put_le(h.get(), 0x089, 0x00000010u, 4);
  put_le(h.get(), 0x08D, 0x00000C00u, 4);
  put_le(h.get(), 0x091, 0xFFFFFFFFu, 4);
  named(h.get());
  EXPECT_EQ(h->freqoff_rw_i32_0, INT32_MIN);
  EXPECT_LT(h->output_freq_offset_ppm_r, 0.0);
  EXPECT_EQ(h->phase_ns_rw_32_10, 1024);
  EXPECT_EQ(h->input_phase_offset_ns_r, 1.0);
  EXPECT_EQ(static_cast<uint64_t>(h->lfint_rw_i64_22), 0xFEDCBA9876543210ull);
  EXPECT_EQ(h->hotimer_rw_u16_0, 0xBEEFu);
  EXPECT_EQ(h->pfixtimer_rw_u16_0, 0x1234u);
  EXPECT_EQ(h->pfixavgacc_rw_s48_x, 0x800000000001ll);
  EXPECT_EQ(h->loltimer_rw_s8_0, 0xF0);
  EXPECT_EQ(h->hoavgacc_rw_s48_x, 0xFF0000000002ll);
  EXPECT_GT(h->hoavgacc_rw_s48_x, 0);
  EXPECT_EQ(h->hooffset_rw_s32_0, -1024);
  EXPECT_EQ(h->pfixoff_rw_s32_10, -2048);
  EXPECT_EQ(h->pfix_phase_offset_ns_r, -2.0);
  EXPECT_EQ(h->pslim_input_phase_ns_r, 3.0);
  EXPECT_EQ(h->prop_rw_32_0, -1);
  EXPECT_EQ(h.seq()[seq_status_w], 0u);
}

TEST_F(StatusDecode, OffsetsInPpmFollowTheNominalWord) {
  h->get_statuses_mode_e = get_statuses_all_e;
  // x = raw x 10^6 / Z; ppm = x - 10^-6 x^2.
  const double z = 1099511627776.0;  // 2^40
  put_le(h.get(), 0x065, 1u << 30, 4);
  put_le(h.get(), 0x05D, uint64_t{1} << 52, 8);  // LFINT: 2^52 / 2^22 = 2^30
  put_le(h.get(), 0x089, static_cast<uint32_t>(-(1 << 30)), 4);
  named(h.get());
  const double x = 1073741824.0 * 1e6 / z;
  EXPECT_DOUBLE_EQ(h->output_freq_offset_ppm_r, x - 1e-6 * x * x);
  EXPECT_DOUBLE_EQ(h->dpll_lfint_offset_ppm_r, x - 1e-6 * x * x);
  EXPECT_DOUBLE_EQ(h->fchlim_freq_offset_ppm_r, -x - 1e-6 * x * x);
}

TEST_F(StatusDecode, WithoutANominalWordTheOffsetsAreZero) {
  h->dfreqz1_freqz_u40 = 0;
  h->get_statuses_mode_e = get_statuses_all_e;
  put_le(h.get(), 0x065, 5000, 4);
  put_le(h.get(), 0x095, 7, 4);
  put_le(h.get(), 0x07D, 512, 4);
  named(h.get());
  EXPECT_EQ(h->freqoff_rw_i32_0, 5000);
  EXPECT_EQ(h->output_freq_offset_ppm_r, 0.0);
  EXPECT_EQ(h->ho_freq_offset_ppm_r, 0.0);
  EXPECT_TRUE(std::isfinite(h->dpll_lfint_offset_ppm_r));
  EXPECT_EQ(h->input_phase_offset_ns_r, 0.5);  // phase needs no nominal word
}

}  // namespace
