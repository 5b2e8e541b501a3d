// Write sequences: the sequence order, the changes-only rules, the chip procedures, the
// bookkeeping, and properties over random register images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "hal/hal_api.h"
#include "hal/hal_obj.h"
#include "regs/build_regs.h"
#include "regs/seq.h"
#include "tests/regs/regs_test_util.h"

namespace {

using regs_test::addresses;
using regs_test::collect;
using regs_test::drain;
using regs_test::Hal;
using regs_test::init_full;
using regs_test::sequence_order;

struct W {
  uint32_t address, value, wait;
};

std::vector<W> plain(const std::vector<get_seq_s> &recs) {
  std::vector<W> out;
  for (const get_seq_s &r : recs) out.push_back({r.address, r.value, r.wait});
  return out;
}

bool operator==(const W &a, const W &b) {
  return a.address == b.address && a.value == b.value && a.wait == b.wait;
}

std::ostream &operator<<(std::ostream &os, const W &w) {
  return os << std::hex << "{0x" << w.address << ", 0x" << w.value << ", " << std::dec << w.wait
            << "}";
}

class Seq : public ::testing::Test {
 protected:
  void SetUp() override { init(0); }
  void init(int32_t rev) {
    init_full(h.get(), 40000, kova_mode_ja_e, rev);
    drain(h.get());
    // No output qualifies for alignment unless a test says so.
    h->oc1_msdiv_u8 = h->oc2_msdiv_u8 = h->oc3_msdiv_u8 = 0;
  }
  void set(uint32_t a, uint32_t v) { put_reg(h.get(), a, v); }
  void mark_written() {
    get_seq_s rec;
    EXPECT_EQ(get_seq(h.get(), get_seq_mark_written_e, &rec), 0u);
  }
  std::vector<W> changes() { return plain(collect(h.get(), get_seq_changes_e)); }
  void qualify_all(uint32_t msdiv = 4) {
    h->oc1_align_en = h->oc2_align_en = h->oc3_align_en = 1;
    h->oc1_msdiv_u8 = h->oc2_msdiv_u8 = h->oc3_msdiv_u8 = msdiv;
    h->oc1ph_phadj_i8 = 1;
    h->oc2ph_phadj_i8 = 2;
    h->oc3ph_phadj_i8 = 3;
  }
  uint32_t word(int w) { return h.seq()[w]; }
  Hal h;
};

// ---- mode 1 ----

TEST_F(Seq, AllRegistersAfterChipResetStartsTheCrystalWithoutDoublerFirst) {
  set(0x009, 0x05);  // crystal on XA/XB with the doubler
  get_seq_s rec;
  EXPECT_EQ(get_seq(h.get(), get_seq_chip_reset_e, &rec), 0u);
  std::vector<W> recs = plain(collect(h.get(), get_seq_all_e));
  ASSERT_GE(recs.size(), 5u);
  EXPECT_EQ(recs[0], (W{0x000, get_reg(h.get(), 0), 0}));
  EXPECT_EQ(recs[1], (W{0x009, 0x01, 10}));
  EXPECT_EQ(recs[2], (W{0x009, 0x05, 0}));
  EXPECT_EQ(recs[3].address, 0x00Au);
  EXPECT_EQ(recs[4].address, 0x600u);
  EXPECT_EQ(recs.size(), sequence_order().size() + 1);
}

// ---- mode 2: plain changes and groups ----

// A chip read back (or what reached it before a write failed) becomes the written image:
// only the registers that differ from it go out.
TEST_F(Seq, WrittenImageCanBeReplaced) {
  mark_written();
  std::vector<uint8_t> chip(KOVA_REG_COUNT);
  ASSERT_TRUE(seq_written_get(h.get(), chip.data()));
  chip[0x301] ^= 0x44;
  chip[0x01B] = 0xE0 | 0x02;  // PACR1's one-shot bits are never held
  set(0x01B, 0x02);
  ASSERT_TRUE(seq_written_set(h.get(), chip.data()));
  EXPECT_EQ(changes(), (std::vector<W>{{0x301, get_reg(h.get(), 0x301), 0}}));
  std::vector<uint8_t> back(KOVA_REG_COUNT);
  ASSERT_TRUE(seq_written_get(h.get(), back.data()));
  EXPECT_EQ(back[0x01B], 0x02);
  hal_api_s none{};
  EXPECT_FALSE(seq_written_set(&none, chip.data()));
  EXPECT_FALSE(seq_written_get(&none, back.data()));
}

TEST_F(Seq, ChangedBytesComeInSequenceOrder) {
  mark_written();
  set(0x00C, 0x03);
  set(0x301, 0x44);
  set(0x612, 0x12);
  set(0x001, 0x99);  // EEPROM offsets are not part of any sequence
  EXPECT_EQ(changes(), (std::vector<W>{{0x612, 0x12, 0}, {0x301, 0x44, 0}, {0x00C, 0x03, 0}}));
  EXPECT_EQ(changes(), std::vector<W>{});
}

TEST_F(Seq, FrequencyAndPhaseOffsetGoOutWhole) {
  for (uint32_t a = 0x420; a <= 0x42B; ++a) set(a, a & 0xFF);
  mark_written();
  set(0x422, 0xEE);
  EXPECT_EQ(changes(), (std::vector<W>{{0x420, 0x20, 0}, {0x421, 0x21, 0}, {0x422, 0xEE, 0},
                                       {0x423, 0x23, 0}, {0x424, 0x24, 0}}));
  set(0x42B, 0x00);
  set(0x425, 0x77);  // DCRB6 between the groups goes out alone
  EXPECT_EQ(changes(), (std::vector<W>{{0x425, 0x77, 0}, {0x428, 0x28, 0}, {0x429, 0x29, 0},
                                       {0x42A, 0x2A, 0}, {0x42B, 0x00, 0}}));
  EXPECT_EQ(word(seq_freq_group_w) + word(seq_phoff_group_w), 0u);
}

// ---- restarts ----

TEST_F(Seq, FeedbackChangeRestartsTheRunningApll) {
  set(0x00B, 0x11);
  set(0x00D, 0x00);
  mark_written();
  set(0x10C, 0x05);
  EXPECT_EQ(changes(), (std::vector<W>{{0x10C, 0x05, 0}, {0x00B, 0x10, 0}, {0x00B, 0x11, 10}}));
  EXPECT_EQ(h.wr()[0x00B], 0x11);

  // With outputs running, switching the APLL off and on restarts the outputs too.
  set(0x00D, 0x05);
  mark_written();
  set(0x113, 0x01);
  EXPECT_EQ(changes(), (std::vector<W>{{0x113, 0x01, 0}, {0x00B, 0x10, 0}, {0x00B, 0x11, 10},
                                       {0x00D, 0x00, 0}, {0x00D, 0x05, 0}}));
}

TEST_F(Seq, NoApllRestartWhileTheApllIsOff) {
  set(0x00B, 0x10);
  mark_written();
  set(0x10F, 0x80);
  set(0x00B, 0x11);
  EXPECT_EQ(changes(), (std::vector<W>{{0x10F, 0x80, 0}, {0x00B, 0x11, 10}}));
}

TEST_F(Seq, PllEnableChangeRestartsRunningOutputs) {
  set(0x00B, 0x11);
  set(0x00D, 0x07);
  mark_written();
  set(0x00B, 0x01);
  EXPECT_EQ(changes(), (std::vector<W>{{0x00B, 0x01, 0}, {0x00D, 0x00, 0}, {0x00D, 0x07, 0}}));
  // Outputs being switched off entirely are not restarted.
  set(0x00B, 0x11);
  set(0x00D, 0x00);
  EXPECT_EQ(changes(), (std::vector<W>{{0x00B, 0x11, 0}, {0x00D, 0x00, 0}}));
  EXPECT_EQ(word(seq_out_restart_w), 1u);  // stays pending until outputs run on both sides
}

// ---- DCO calibration ----

TEST_F(Seq, FeedbackDividerChangeOnAConfiguredChipCalibratesTheDcoFirst) {
  const uint8_t div[5] = {0x11, 0x22, 0x33, 0x44, 0x05};
  for (int i = 0; i < 5; ++i) set(0x106 + i, div[i]);
  set(0x00B, 0x11);
  set(0x00D, 0x00);
  mark_written();
  set(0x106, 0x12);
  std::vector<uint8_t> want_img(h.img(), h.img() + KOVA_REG_COUNT);
  std::vector<W> recs = changes();
  const std::vector<W> want = {
      {0x120, 0x06, 0}, {0x61A, 0x08, 0}, {0x61C, 0x0D, 0}, {0x10A, 0xFE, 0},
      {0x106, 0x00, 0}, {0x107, 0x00, 0}, {0x108, 0x00, 0}, {0x109, 0x00, 0},
      {0x10A, 0x40, 0}, {0x10A, 0x00, 0}, {0x00B, 0x10, 0}, {0x120, 0x02, 0},
      {0x61A, 0x00, 0}, {0x61C, 0x00, 0},
      // The normal order then writes the restored divider and re-enables the APLL.
      {0x106, 0x12, 0}, {0x107, 0x22, 0}, {0x108, 0x33, 0}, {0x109, 0x44, 0},
      {0x10A, 0x05, 0}, {0x00B, 0x11, 10}};
  EXPECT_EQ(recs, want);
  EXPECT_EQ(std::vector<uint8_t>(h.img(), h.img() + KOVA_REG_COUNT), want_img);
  EXPECT_EQ(std::vector<uint8_t>(h.wr(), h.wr() + KOVA_REG_COUNT), want_img);
  EXPECT_EQ(word(seq_dco_step_w), 0u);
  EXPECT_EQ(word(seq_dco_pending_w), 0u);
  EXPECT_EQ(word(seq_apll_restart_w), 0u);
}

TEST_F(Seq, DcoCalibrationStepsAlreadyHeldAreNotHandedOut) {
  // The chip's divider is at its reset value except AFBDIV5: steps writing bytes the chip
  // already holds are skipped.
  set(0x10A, 0x01);
  set(0x00B, 0x00);
  set(0x120, 0x06);
  mark_written();
  set(0x107, 0x80);
  std::vector<W> recs = changes();
  const std::vector<W> want = {
      {0x61A, 0x08, 0}, {0x61C, 0x0D, 0}, {0x10A, 0xFE, 0}, {0x10A, 0x40, 0},
      {0x10A, 0x00, 0}, {0x61A, 0x00, 0}, {0x61C, 0x00, 0}, {0x107, 0x80, 0},
      {0x10A, 0x01, 0}};
  EXPECT_EQ(recs, want);
}

TEST_F(Seq, NoDcoCalibrationFromResetDefaults) {
  get_seq_s rec;
  get_seq(h.get(), get_seq_chip_reset_e, &rec);
  set(0x106, 0x12);
  std::vector<W> recs = changes();
  ASSERT_FALSE(recs.empty());
  EXPECT_NE(recs[0].address, 0x120u);
  EXPECT_EQ(std::count_if(recs.begin(), recs.end(), [](const W &w) { return w.address == 0x61A; }),
            0);
}

// ---- MCR1 waits ----

TEST_F(Seq, CrystalWithDoublerStartsWithoutTheDoubler) {
  set(0x009, 0x02);
  mark_written();
  set(0x009, 0x05);
  set(0x00A, 0x20);
  EXPECT_EQ(changes(), (std::vector<W>{{0x009, 0x01, 10}, {0x009, 0x05, 0}, {0x00A, 0x20, 0}}));
  // Without the doubler: one write with the wait; on a chip already on the crystal, none.
  set(0x009, 0x02);
  mark_written();
  set(0x009, 0x81);
  EXPECT_EQ(changes(), (std::vector<W>{{0x009, 0x81, 10}}));
  set(0x009, 0x85);
  EXPECT_EQ(changes(), (std::vector<W>{{0x009, 0x85, 0}}));
}

// ---- PACR1 ----

TEST_F(Seq, WrittenPacr1NeverHoldsTheOneShotBits) {
  set(0x01B, 0xE1);
  mark_written();
  EXPECT_EQ(h.img()[0x01B], 0x01);
  EXPECT_EQ(h.wr()[0x01B], 0x01);
  set(0x01B, 0xA3);
  EXPECT_EQ(changes(), (std::vector<W>{{0x01B, 0xA3, 0}}));
  EXPECT_EQ(h.wr()[0x01B], 0x03);
  // The image still asks for the one-shot bits, so they go out again.
  EXPECT_EQ(changes(), (std::vector<W>{{0x01B, 0xA3, 0}}));
  set(0x01B, 0xE0);
  get_seq_s rec;
  get_seq(h.get(), get_seq_chip_reset_e, &rec);
  EXPECT_EQ(h.img()[0x01B], 0x00);
  EXPECT_EQ(h.wr()[0x01B], 0x00);
}

// ---- alignment ----

std::vector<W> alignment_steps(uint8_t cr1[3], int32_t ph[3], std::vector<int> outputs) {
  std::vector<W> v;
  for (int n : outputs) {
    v.push_back({0x200u + 0x10u * (n - 1), cr1[n - 1] | 0x80u, 0});
    v.push_back({0x207u + 0x10u * (n - 1), static_cast<uint32_t>(ph[n - 1]) & 0xFF, 0});
  }
  v.push_back({0x01C, 0x10, 0});
  v.push_back({0x01B, 0x20, 0});
  v.push_back({0x01B, 0x40, 0});
  return v;
}

TEST_F(Seq, OutputDividerChangeAlignsAllOutputsOnRevisionZero) {
  qualify_all();
  uint8_t cr1[3] = {0x04, 0x05, 0x06};
  int32_t ph[3] = {0x11, -2, 0x33};
  h->oc1ph_phadj_i8 = ph[0];
  h->oc2ph_phadj_i8 = ph[1];
  h->oc3ph_phadj_i8 = ph[2];
  for (int n = 0; n < 3; ++n) set(0x200 + 0x10 * n, cr1[n]);
  set(0x00D, 0x07);
  mark_written();
  cr1[1] = 0x08;
  set(0x210, cr1[1]);
  std::vector<W> want{{0x210, 0x08, 0}};
  std::vector<W> steps = alignment_steps(cr1, ph, {1, 2, 3});
  want.insert(want.end(), steps.begin(), steps.end());
  EXPECT_EQ(changes(), want);
  EXPECT_EQ(word(seq_align_pending_w), 0u);
  EXPECT_EQ(word(seq_align_step_w), 0u);
  EXPECT_EQ(h.img()[0x200], 0x84);  // the image keeps PHEN and the phase adjust values
  EXPECT_EQ(h.img()[0x217], 0xFE);
  EXPECT_EQ(h.wr()[0x01B], 0x00);

  // Two qualifying outputs are not enough on revision 0.
  h->oc3_msdiv_u8 = 1;
  set(0x214, 0x01);
  EXPECT_EQ(changes(), (std::vector<W>{{0x01B, 0x40, 0}, {0x214, 0x01, 0}}));
}

TEST_F(Seq, RevisionOneAlignsQualifyingOutputsWhenTwoAreEnabled) {
  init(1);
  h->oc1_align_en = 1;
  h->oc2_align_en = 1;
  h->oc3_align_en = 0;
  h->oc1_msdiv_u8 = 1;  // enabled, but the divider is too small
  h->oc2_msdiv_u8 = 2;
  h->oc3_msdiv_u8 = 9;
  h->oc2ph_phadj_i8 = 0x5A;
  set(0x210, 0x02);
  mark_written();
  set(0x203, 0x10);
  uint8_t cr1[3] = {0, 0x02, 0};
  int32_t ph[3] = {0, 0x5A, 0};
  std::vector<W> want{{0x203, 0x10, 0}};
  std::vector<W> steps = alignment_steps(cr1, ph, {2});
  want.insert(want.end(), steps.begin(), steps.end());
  EXPECT_EQ(changes(), want);

  // A single enabled output does not align.
  h->oc2_align_en = 0;
  get_seq_s rec;
  get_seq(h.get(), get_seq_mark_written_e, &rec);
  set(0x203, 0x11);
  EXPECT_EQ(changes(), (std::vector<W>{{0x203, 0x11, 0}}));
  // Nor do two enabled outputs of which none qualifies.
  h->oc2_align_en = 1;
  h->oc2_msdiv_u8 = 1;
  set(0x203, 0x12);
  EXPECT_EQ(changes(), (std::vector<W>{{0x203, 0x12, 0}}));
}

TEST_F(Seq, OutputEnableChangeAlignsInTheSameSequence) {
  qualify_all();
  set(0x00D, 0x07);
  mark_written();
  set(0x00D, 0x03);
  std::vector<W> recs = changes();
  ASSERT_EQ(recs.size(), 1u + 6u + 3u);
  EXPECT_EQ(recs[0], (W{0x00D, 0x03, 0}));
  EXPECT_EQ(recs[1].address, 0x200u);
  EXPECT_EQ(recs.back(), (W{0x01B, 0x40, 0}));
}

TEST_F(Seq, PhaseAdjustCountsForAlignmentOnlyInItsMode) {
  qualify_all();
  set(0x01B, 0x01);  // PACR1 MODE = 1: phase adjust registers do not call for alignment
  mark_written();
  set(0x207, 0x10);
  EXPECT_EQ(changes(), (std::vector<W>{{0x207, 0x10, 0}}));
  set(0x01B, 0x00);
  mark_written();
  set(0x227, 0x10);
  std::vector<W> recs = changes();
  ASSERT_GT(recs.size(), 1u);
  EXPECT_EQ(recs.back(), (W{0x01B, 0x40, 0}));
  // The divider and format registers up to offset 6 of a block call for it in any mode.
  set(0x01B, 0x01);
  mark_written();
  set(0x216, 0x10);
  recs = changes();
  ASSERT_GT(recs.size(), 1u);
  EXPECT_EQ(recs.back(), (W{0x01B, 0x40, 0}));
}

TEST_F(Seq, ChangedAlignmentSettingsAreNoticedAtTheNextRecord) {
  qualify_all();
  mark_written();
  h->oc2_align_nsx10_u16 = 25;
  // Nothing to write: the change is not seen yet.
  EXPECT_EQ(changes(), std::vector<W>{});
  set(0x301, 0x01);
  std::vector<W> recs = changes();
  ASSERT_EQ(recs.size(), 1u + 9u);
  EXPECT_EQ(recs[0], (W{0x301, 0x01, 0}));
  EXPECT_EQ(recs.back(), (W{0x01B, 0x40, 0}));
  EXPECT_EQ(word(seq_align_snap_w + 2), 25u);
}

TEST_F(Seq, AllRegistersModeAlsoRunsTheAlignment) {
  qualify_all();
  get_seq_s rec;
  get_seq(h.get(), get_seq_chip_reset_e, &rec);
  set(0x00D, 0x07);
  std::vector<get_seq_s> recs = collect(h.get(), get_seq_all_e);
  ASSERT_EQ(recs.size(), sequence_order().size() + 9);
  EXPECT_EQ(recs[sequence_order().size() - 1].address, 0x00Du);
  EXPECT_EQ(recs[sequence_order().size()].address, 0x200u);
  EXPECT_EQ(recs.back().address, 0x01Bu);
  EXPECT_EQ(recs.back().value, 0x40u);
}

// ---- modes 0 and 3, errors ----

TEST_F(Seq, ChipResetThenChangesWritesEverythingAwayFromTheDefaults) {
  h->ocen_oc2en_u1 = 1;
  build_regs(h.get());
  h->oc1_align_en = h->oc2_align_en = h->oc3_align_en = 0;
  get_seq_s rec;
  get_seq(h.get(), get_seq_chip_reset_e, &rec);
  std::vector<W> want;
  for (uint32_t a : sequence_order()) {
    uint32_t v = get_reg(h.get(), a);
    if (v == kova_regs_defaults(a)) continue;
    uint32_t wait = (a == 0x00B && (v & 1)) ? 10 : 0;
    want.push_back({a, v, wait});
  }
  ASSERT_FALSE(want.empty());
  EXPECT_EQ(changes(), want);
}

TEST_F(Seq, MissingRecordOrObjectAndUnknownModes) {
  mark_written();
  set(0x301, 0x01);
  get_seq_s rec;
  ASSERT_EQ(get_seq(h.get(), get_seq_changes_e, &rec), 0u + 1u);
  uint32_t cursor = word(seq_cursor_w);
  std::vector<uint8_t> wr(h.wr(), h.wr() + KOVA_REG_COUNT);
  EXPECT_EQ(get_seq(h.get(), get_seq_changes_e, nullptr), 0u);
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: HAL object not initialized."});
  EXPECT_EQ(word(seq_cursor_w), cursor);
  EXPECT_EQ(std::vector<uint8_t>(h.wr(), h.wr() + KOVA_REG_COUNT), wr);
  EXPECT_EQ(get_seq(nullptr, get_seq_all_e, &rec), 0u);
  hal_api_s blank{};
  EXPECT_EQ(get_seq(&blank, get_seq_all_e, &rec), 0u);

  // A mode above 3 only resets the sequencing state.
  EXPECT_NE(word(seq_phase_w), 0u);
  EXPECT_EQ(get_seq(h.get(), 4, &rec), 0u);
  EXPECT_EQ(get_seq(h.get(), -1, &rec), 0u);
  EXPECT_EQ(word(seq_phase_w), 0u);
  EXPECT_EQ(word(seq_cursor_w), 0u);
  EXPECT_EQ(std::vector<uint8_t>(h.wr(), h.wr() + KOVA_REG_COUNT), wr);
}

TEST_F(Seq, ResetInTheMiddleOfACalibrationReturnsTheStepCounters) {
  set(0x106, 0x11);
  mark_written();
  set(0x106, 0x12);
  get_seq_s rec;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(get_seq(h.get(), get_seq_changes_e, &rec), 1u);
  EXPECT_EQ(word(seq_dco_step_w), 5u);
  EXPECT_EQ(word(seq_dco_pending_w), 1u);
  get_seq(h.get(), get_seq_mark_written_e, &rec);
  EXPECT_EQ(word(seq_dco_step_w), 0u);
  EXPECT_EQ(word(seq_dco_pending_w), 0u);
  EXPECT_EQ(word(seq_phase_w), 0u);
}

TEST_F(Seq, CorruptSequencingStateEndsTheSequence) {
  mark_written();
  set(0x301, 0x01);
  h.seq()[seq_phase_w] = 99;
  get_seq_s rec;
  EXPECT_EQ(get_seq(h.get(), get_seq_changes_e, &rec), 0u);
  h.seq()[seq_phase_w] = seq_phase_inputs;
  h.seq()[seq_cursor_w] = 0x9999;
  EXPECT_EQ(get_seq(h.get(), get_seq_all_e, &rec), 0u);
  // The state was reset: the next sequence runs normally.
  EXPECT_EQ(changes(), (std::vector<W>{{0x301, 0x01, 0}}));
}

// ---- properties over random images ----

// Addresses some sequence writes.
std::set<uint32_t> covered() {
  std::vector<uint32_t> v = sequence_order();
  return std::set<uint32_t>(v.begin(), v.end());
}

void randomize(hal_api_s *h, std::mt19937 &rng) {
  hal_obj_s *obj = h->hal_obj_p;
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) obj->regs[a] = static_cast<uint8_t>(rng());
  h->kova_device_rev_e = static_cast<int32_t>(rng() % 2);
  h->oc1_align_en = rng() % 2;
  h->oc2_align_en = rng() % 2;
  h->oc3_align_en = rng() % 2;
  h->oc1_msdiv_u8 = rng() % 4;
  h->oc2_msdiv_u8 = rng() % 4;
  h->oc3_msdiv_u8 = rng() % 4;
  h->oc1_align_nsx10_u16 = rng() % 3;
  h->oc1ph_phadj_i8 = static_cast<int32_t>(rng() % 256) - 128;
  h->oc2ph_phadj_i8 = static_cast<int32_t>(rng() % 256) - 128;
  h->oc3ph_phadj_i8 = static_cast<int32_t>(rng() % 256) - 128;
}

TEST(SeqProperty, MarkedImagesHaveNoChangesAndWriteInOrder) {
  std::mt19937 rng(2024);
  const std::vector<uint32_t> order = sequence_order();
  for (int trial = 0; trial < 100; ++trial) {
    Hal h;
    init_full(h.get(), 40000, kova_mode_ja_e);
    randomize(h.get(), rng);
    get_seq_s rec;
    get_seq(h.get(), get_seq_mark_written_e, &rec);
    ASSERT_EQ(get_seq(h.get(), get_seq_changes_e, &rec), 0u) << "trial " << trial;
    // Mode 1 hands out the image in sequence order, with the crystal wait only when the
    // chip is not already on the crystal (it is: the written image is the image).
    std::vector<get_seq_s> all = collect(h.get(), get_seq_all_e);
    ASSERT_EQ(addresses(all), order) << "trial " << trial;
    for (const get_seq_s &r : all) {
      ASSERT_EQ(r.value, get_reg(h.get(), r.address));
      ASSERT_EQ(r.wait, 0u);
    }
  }
}

TEST(SeqProperty, ReplayingAChangesPassReachesTheImage) {
  std::mt19937 rng(99);
  const std::set<uint32_t> cov = covered();
  const std::vector<uint32_t> cov_list(cov.begin(), cov.end());
  int with_dco = 0, with_alignment = 0, with_restart = 0;
  for (int trial = 0; trial < 400; ++trial) {
    Hal h;
    init_full(h.get(), 40000, kova_mode_ja_e);
    randomize(h.get(), rng);
    get_seq_s rec;
    get_seq(h.get(), get_seq_mark_written_e, &rec);
    std::vector<uint8_t> chip(h.wr(), h.wr() + KOVA_REG_COUNT);

    int changes = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < changes; ++i) {
      // Mostly registers of the sequences, sometimes the procedures' own, sometimes any.
      uint32_t a;
      switch (rng() % 4) {
        case 0: a = 0x106 + rng() % 14; break;                 // APLL feedback
        case 1: a = rng() % KOVA_REG_COUNT; break;
        default: a = cov_list[rng() % cov_list.size()]; break;
      }
      put_reg(h.get(), a, rng());
    }
    if (rng() % 4 == 0) h->oc2_align_nsx10_u16 = 1 + rng() % 5;

    std::vector<get_seq_s> recs = collect(h.get(), get_seq_changes_e, 5000);
    ASSERT_LT(recs.size(), 5000u) << "trial " << trial;
    for (const get_seq_s &r : recs) {
      ASSERT_TRUE(cov.count(r.address)) << std::hex << r.address;
      ASSERT_LE(r.value, 0xFFu);
      chip[r.address] = static_cast<uint8_t>(r.value);
      with_dco += r.address == 0x61C && r.value == 0x0D;
      with_alignment += r.address == 0x01B && r.value == 0x40;
    }
    for (size_t i = 1; i < recs.size(); ++i)
      with_restart += recs[i].address == recs[i - 1].address && recs[i].address == 0x00D;

    for (uint32_t a : cov) {
      uint32_t img = get_reg(h.get(), a);
      ASSERT_EQ(chip[a], img) << "trial " << trial << std::hex << " at 0x" << a;
      // The written image follows, apart from PACR1's one-shot bits.
      uint32_t held = a == 0x01B ? (img & 0x1F) : img;
      ASSERT_EQ(h.wr()[a], held) << "trial " << trial << std::hex << " at 0x" << a;
    }
    // A second pass has only PACR1's one-shot bits left to send.
    std::vector<get_seq_s> again = collect(h.get(), get_seq_changes_e, 5000);
    if (get_reg(h.get(), 0x01B) & 0xE0) {
      ASSERT_EQ(again.size(), 1u) << "trial " << trial;
      EXPECT_EQ(again[0].address, 0x01Bu);
    } else {
      ASSERT_TRUE(again.empty()) << "trial " << trial << " first 0x" << std::hex
                                 << again[0].address;
    }
  }
  // The random passes exercised the procedures.
  EXPECT_GT(with_dco, 20);
  EXPECT_GT(with_alignment, 20);
  EXPECT_GT(with_restart, 5);
}

}  // namespace
