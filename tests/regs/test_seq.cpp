// Write sequences: the sequence order, the changes-only rules, the chip procedures, the
// bookkeeping, and properties over random register images.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "tests/regs/regs_test_util.h"

namespace {
using namespace regs_test;

// All three outputs take part in the alignment, with phase steps 1, 2 and 3.
const char *const kAll = "oc1_align_en=1 oc2_align_en=1 oc3_align_en=1 oc1_msdiv_u8=4 oc2_msdiv_u8=4 oc3_msdiv_u8=4 "
                         "oc1ph_phadj_i8=1 oc2ph_phadj_i8=2 oc3ph_phadj_i8=3";

class Seq : public ::testing::Test {
 protected:
  void SetUp() override { init(); }
  void init() {
    init_full(h.get(), 40000, kova_mode_ja_e);
    drain(h.get());
    // No output qualifies for alignment unless a test says so.
    h->oc1_msdiv_u8 = h->oc2_msdiv_u8 = h->oc3_msdiv_u8 = 0;
  }
  void set(uint32_t a, uint32_t v) { put_reg(h.get(), a, v); }
  void step(int32_t mode) {
    get_seq_s rec;
    EXPECT_EQ(get_seq(h.get(), mode, &rec), 0u);
  }
  void mark_written() { step(get_seq_mark_written_e); }
  std::vector<W> changes() { return collect(h.get(), get_seq_changes_e); }
  uint32_t word(int w) { return h->hal_obj_p->seq[w]; }
  Hal h;
};

// One pass of changes after fields and registers were set: "mark" takes the image as written
// first.
struct pass_s {
  bool mark;
  const char *fields;
  std::vector<std::pair<uint32_t, uint32_t>> set;
  std::vector<W> want;
};

TEST_F(Seq, ChangesComeInSequenceOrderWithTheChipProcedures) {
  const struct { const char *name; std::vector<pass_s> passes; } cases[] = {
      // EEPROM offsets are not part of any sequence; a pass leaves nothing for the next.
      {"order", {{true, "", {}, {}}, {false, "", {{0x00C, 3}, {0x301, 0x44}, {0x612, 0x12}, {0x001, 0x99}},
                                  {{0x612, 0x12}, {0x301, 0x44}, {0x00C, 0x03}}}, {false, "", {}, {}}}},
      // The frequency and phase offset words go out whole; DCRB6 between them goes out alone.
      {"groups", {{true, "", {{0x420, 0x20}, {0x421, 0x21}, {0x422, 0x22}, {0x423, 0x23}, {0x424, 0x24}, {0x428, 0x28},
                          {0x429, 0x29}, {0x42A, 0x2A}, {0x42B, 0x2B}}, {}},
                  {false, "", {{0x422, 0xEE}}, {{0x420, 0x20}, {0x421, 0x21}, {0x422, 0xEE}, {0x423, 0x23}, {0x424, 0x24}}},
                  {false, "", {{0x42B, 0}, {0x425, 0x77}},
                   {{0x425, 0x77}, {0x428, 0x28}, {0x429, 0x29}, {0x42A, 0x2A}, {0x42B, 0x00}}}}},
      // A feedback change restarts the running APLL; with outputs running, the outputs too.
      {"apll restart", {{true, "", {{0x00B, 0x11}, {0x00D, 0}}, {}},
                        {false, "", {{0x10C, 5}}, {{0x10C, 0x05}, {0x00B, 0x10}, {0x00B, 0x11, 10}}},
                        {true, "", {{0x00D, 5}}, {}},
                        {false, "", {{0x113, 1}}, {{0x113, 1}, {0x00B, 0x10}, {0x00B, 0x11, 10}, {0x00D, 0}, {0x00D, 5}}}}},
      {"apll off", {{true, "", {{0x00B, 0x10}}, {}}, {false, "", {{0x10F, 0x80}, {0x00B, 0x11}}, {{0x10F, 0x80}, {0x00B, 0x11, 10}}}}},
      // A PLL enable change restarts running outputs; outputs switched off are not restarted.
      {"pll enable", {{true, "", {{0x00B, 0x11}, {0x00D, 7}}, {}},
                      {false, "", {{0x00B, 0x01}}, {{0x00B, 0x01}, {0x00D, 0x00}, {0x00D, 0x07}}},
                      {false, "", {{0x00B, 0x11}, {0x00D, 0}}, {{0x00B, 0x11}, {0x00D, 0x00}}}}},
      // A feedback divider change on a configured chip calibrates the DCO first; the normal
      // order then writes the restored divider and re-enables the APLL.
      {"dco calibration", {{true, "", {{0x106, 0x11}, {0x107, 0x22}, {0x108, 0x33}, {0x109, 0x44}, {0x10A, 5}, {0x00B, 0x11},
                                   {0x00D, 0}}, {}},
                           {false, "", {{0x106, 0x12}},
                            {{0x120, 0x06}, {0x61A, 0x08}, {0x61C, 0x0D}, {0x10A, 0xFE}, {0x106, 0x00},
                             {0x107, 0x00}, {0x108, 0x00}, {0x109, 0x00}, {0x10A, 0x40}, {0x10A, 0x00},
                             {0x00B, 0x10}, {0x120, 0x02}, {0x61A, 0x00}, {0x61C, 0x00}, {0x106, 0x12},
                             {0x107, 0x22}, {0x108, 0x33}, {0x109, 0x44}, {0x10A, 0x05}, {0x00B, 0x11, 10}}},
                           {false, "", {}, {}}}},
      // Calibration steps writing bytes the chip already holds are skipped.
      {"dco steps held", {{true, "", {{0x10A, 1}, {0x00B, 0}, {0x120, 6}}, {}},
                          {false, "", {{0x107, 0x80}},
                           {{0x61A, 0x08}, {0x61C, 0x0D}, {0x10A, 0xFE}, {0x10A, 0x40}, {0x10A, 0x00},
                            {0x61A, 0x00}, {0x61C, 0x00}, {0x107, 0x80}, {0x10A, 0x01}}}}},
      // A crystal with the doubler starts without it; without the doubler one write with the
      // wait; on a chip already on the crystal, none.
      {"crystal", {{true, "", {{0x009, 2}}, {}}, {false, "", {{0x009, 5}, {0x00A, 0x20}}, {{0x009, 1, 10}, {0x009, 5}, {0x00A, 0x20}}},
                   {true, "", {{0x009, 2}}, {}}, {false, "", {{0x009, 0x81}}, {{0x009, 0x81, 10}}},
                   {false, "", {{0x009, 0x85}}, {{0x009, 0x85}}}}},
      // The written PACR1 never holds the one-shot bits: while the image asks for them they
      // go out again.
      // Alignment on revision 0 when all three outputs qualify (enabled, MSDIV 2 or more): PHEN
      // and the phases, then the trigger; the image keeps PHEN and the phases. Two qualifying
      // outputs are not enough.
      {"align rev 0", {{true, kAll, {{0x200, 4}, {0x210, 5}, {0x220, 6}, {0x00D, 7}}, {}},
                       {false, "oc1ph_phadj_i8=17 oc2ph_phadj_i8=-2 oc3ph_phadj_i8=51", {{0x210, 8}},
                        {{0x210, 0x08}, {0x200, 0x84}, {0x207, 0x11}, {0x210, 0x88}, {0x217, 0xFE}, {0x220, 0x86},
                         {0x227, 0x33}, {0x01C, 0x10}, {0x01B, 0x20}, {0x01B, 0x40}}},
                       {false, "oc3_msdiv_u8=1", {{0x214, 1}}, {{0x01B, 0x40}, {0x214, 0x01}}}}},
      // Revision 1 aligns the qualifying outputs when two are enabled (OC1's MSDIV is too
      // small); not a single enabled output, nor two of which none qualifies.
      {"align rev 1", {{true, "kova_device_rev_e=1 oc1_align_en=1 oc2_align_en=1 oc3_align_en=0 oc1_msdiv_u8=1 "
                              "oc2_msdiv_u8=2 oc3_msdiv_u8=9 oc2ph_phadj_i8=90", {{0x210, 2}}, {}},
                       {false, "", {{0x203, 0x10}},
                        {{0x203, 0x10}, {0x210, 0x82}, {0x217, 0x5A}, {0x01C, 0x10}, {0x01B, 0x20}, {0x01B, 0x40}}},
                       {true, "oc2_align_en=0", {}, {}}, {false, "", {{0x203, 0x11}}, {{0x203, 0x11}}},
                       {false, "oc2_align_en=1 oc2_msdiv_u8=1", {{0x203, 0x12}}, {{0x203, 0x12}}}}},
      // An output enable change aligns in the same sequence. PACR1 MODE 1: the phase adjust
      // registers do not call for alignment, the divider and format registers up to offset 6
      // of a block do; MODE 0: both do. A changed alignment setting is noticed at the next
      // record, not before (the chip holds the phase steps: only the trigger goes out).
      {"align triggers", {{true, kAll, {{0x00D, 7}}, {}},
                          {false, "", {{0x00D, 3}},
                           {{0x00D, 3}, {0x200, 0x80}, {0x207, 1}, {0x210, 0x80}, {0x217, 2}, {0x220, 0x80}, {0x227, 3},
                            {0x01C, 0x10}, {0x01B, 0x20}, {0x01B, 0x40}}},
                          {true, "", {{0x01B, 1}}, {}}, {false, "", {{0x207, 0x10}}, {{0x207, 0x10}}},
                          {false, "", {{0x216, 0x10}}, {{0x216, 0x10}, {0x207, 1}, {0x01B, 0x20}, {0x01B, 0x40}}},
                          {true, "", {{0x01B, 0}}, {}}, {false, "", {{0x227, 0x10}}, {{0x227, 0x10}, {0x227, 3}, {0x01B, 0x20}, {0x01B, 0x40}}},
                          {true, "", {}, {}}, {false, "oc2_align_nsx10_u16=25", {}, {}},
                          {false, "", {{0x301, 1}}, {{0x301, 0x01}, {0x01B, 0x20}, {0x01B, 0x40}}}}},
      {"pacr1", {{true, "", {{0x01B, 0xE1}}, {}}, {false, "", {{0x01B, 0xA3}}, {{0x01B, 0xA3}}}, {false, "", {}, {{0x01B, 0xA3}}}}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    init();
    for (const pass_s &p : c.passes) {
      set_fields(h.get(), p.fields);
      for (const auto &[a, v] : p.set) set(a, v);
      if (p.mark) {
        mark_written();
      } else {
        EXPECT_EQ(changes(), p.want);
      }
    }
    for (uint32_t a : sequence_order()) {
      ASSERT_EQ(h.wr()[a], a == 0x01B ? h.img()[a] & 0x1F : h.img()[a]) << std::hex << a;
    }
    EXPECT_EQ(word(seq_dco_step_w) + word(seq_dco_pending_w) + word(seq_apll_restart_w) + word(seq_align_pending_w) +
                  word(seq_align_step_w),
              0u);
  }
  // After a chip reset the changes are every register of a built image away from its
  // default, in sequence order, with the APLL wait and without a DCO calibration.
  init();
  h->ocen_oc2en_u1 = 1;
  build_regs(h.get());
  step(get_seq_chip_reset_e);
  set(0x106, 0x12);
  std::vector<W> want;
  for (uint32_t a : sequence_order()) {
    const uint32_t v = get_reg(h.get(), a);
    if (v != kova_regs_defaults(a)) want.push_back({a, v, (a == 0x00B && (v & 1)) ? 10u : 0u});
  }
  ASSERT_GT(want.size(), 10u);
  EXPECT_EQ(changes(), want);
  // A chip reset clears PACR1 in both images.
  set(0x01B, 0xE0);
  step(get_seq_chip_reset_e);
  EXPECT_TRUE(h.img()[0x01B] == 0 && h.wr()[0x01B] == 0);
}

TEST_F(Seq, AllRegistersAfterChipResetStartWithTheCrystalAndEndWithTheAlignment) {
  set(0x009, 0x05);  // crystal on XA/XB with the doubler
  step(get_seq_chip_reset_e);
  const std::vector<W> recs = collect(h.get(), get_seq_all_e);
  ASSERT_EQ(recs.size(), sequence_order().size() + 1);
  EXPECT_EQ(std::vector<W>(recs.begin(), recs.begin() + 5),
            (std::vector<W>{{0x000, get_reg(h.get(), 0), 0}, {0x009, 0x01, 10}, {0x009, 0x05},
                            {0x00A, get_reg(h.get(), 0x00A), 0}, {0x600, get_reg(h.get(), 0x600), 0}}));
  // With outputs to align, the alignment follows the sequence order.
  set_fields(h.get(), kAll);
  set(0x00D, 0x07);
  step(get_seq_chip_reset_e);
  const std::vector<W> aligned = collect(h.get(), get_seq_all_e);
  ASSERT_EQ(aligned.size(), recs.size() + 9);
  EXPECT_TRUE(aligned[recs.size() - 1].address == 0x00Du && aligned[recs.size()].address == 0x200u);
  EXPECT_EQ(aligned.back(), (W{0x01B, 0x40}));
}

// A chip read back (or what reached it before a write failed) becomes the written image:
// only the registers that differ from it go out.
TEST_F(Seq, WrittenImageCanBeReplaced) {
  mark_written();
  std::vector<uint8_t> chip(KOVA_REG_COUNT), back(KOVA_REG_COUNT);
  ASSERT_TRUE(seq_written_get(h.get(), chip.data()));
  chip[0x301] ^= 0x44;
  chip[0x01B] = 0xE0 | 0x02;  // PACR1's one-shot bits are never held
  set(0x01B, 0x02);
  ASSERT_TRUE(seq_written_set(h.get(), chip.data()));
  EXPECT_EQ(changes(), (std::vector<W>{{0x301, get_reg(h.get(), 0x301), 0}}));
  ASSERT_TRUE(seq_written_get(h.get(), back.data()));
  EXPECT_EQ(back[0x01B], 0x02);
  hal_api_s none{};
  EXPECT_FALSE(seq_written_set(&none, chip.data()) || seq_written_get(&none, back.data()));
}

// ---- modes 0 and 3, errors ----

TEST_F(Seq, MissingRecordObjectOrStateEndsTheSequence) {
  mark_written();
  set(0x301, 0x01);
  get_seq_s rec;
  ASSERT_EQ(get_seq(h.get(), get_seq_changes_e, &rec), 1u);
  const uint32_t cursor = word(seq_cursor_w);
  const std::vector<uint8_t> wr(h.wr(), h.wr() + KOVA_REG_COUNT);
  EXPECT_EQ(get_seq(h.get(), get_seq_changes_e, nullptr), 0u);
  EXPECT_EQ(drain(h.get()), std::vector<std::string>{"ERROR: HAL object not initialized."});
  EXPECT_EQ(word(seq_cursor_w), cursor);
  hal_api_s blank{};
  EXPECT_EQ(get_seq(nullptr, get_seq_all_e, &rec) + get_seq(&blank, get_seq_all_e, &rec), 0u);
  // A mode above 3 only resets the sequencing state.
  EXPECT_NE(word(seq_phase_w), 0u);
  EXPECT_EQ(get_seq(h.get(), 4, &rec) + get_seq(h.get(), -1, &rec), 0u);
  EXPECT_EQ(word(seq_phase_w) + word(seq_cursor_w), 0u);
  EXPECT_EQ(std::vector<uint8_t>(h.wr(), h.wr() + KOVA_REG_COUNT), wr);
  // A reset in the middle of a calibration returns the step counters.
  set(0x106, 0x11);
  mark_written();
  set(0x106, 0x12);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(get_seq(h.get(), get_seq_changes_e, &rec), 1u);
  EXPECT_TRUE(word(seq_dco_step_w) == 5u && word(seq_dco_pending_w) == 1u);
  mark_written();
  EXPECT_EQ(word(seq_dco_step_w) + word(seq_dco_pending_w) + word(seq_phase_w), 0u);
  // A corrupt state ends the sequence and is reset: the next sequence runs normally.
  set(0x301, 0x02);
  h->hal_obj_p->seq[seq_phase_w] = 99;
  EXPECT_EQ(get_seq(h.get(), get_seq_changes_e, &rec), 0u);
  h->hal_obj_p->seq[seq_phase_w] = seq_phase_inputs;
  h->hal_obj_p->seq[seq_cursor_w] = 0x9999;
  EXPECT_EQ(get_seq(h.get(), get_seq_all_e, &rec), 0u);
  EXPECT_EQ(changes(), (std::vector<W>{{0x301, 0x02}}));
}

// ---- properties over random images ----

void randomize(hal_api_s *h, std::mt19937 &rng) {
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) h->hal_obj_p->regs[a] = static_cast<uint8_t>(rng());
  h->kova_device_rev_e = static_cast<int32_t>(rng() % 2);
  for (uint32_t *f : {&h->oc1_align_en, &h->oc2_align_en, &h->oc3_align_en}) *f = rng() % 2;
  for (uint32_t *f : {&h->oc1_msdiv_u8, &h->oc2_msdiv_u8, &h->oc3_msdiv_u8}) *f = rng() % 4;
  h->oc1_align_nsx10_u16 = rng() % 3;
  for (int32_t *f : {&h->oc1ph_phadj_i8, &h->oc2ph_phadj_i8, &h->oc3ph_phadj_i8}) *f = static_cast<int32_t>(rng() % 256) - 128;
}

// A marked image has no changes and the all-registers sequence hands it out in sequence
// order without the crystal wait (the chip is already on the crystal). Random changes then
// go out in one pass that brings the chip to the image, with the chip procedures.
TEST(SeqProperty, ReplayingAChangesPassReachesTheImage) {
  std::mt19937 rng(99);
  const std::vector<uint32_t> order = sequence_order();
  const std::set<uint32_t> cov(order.begin(), order.end());
  const std::vector<uint32_t> cov_list(cov.begin(), cov.end());
  int with_dco = 0, with_alignment = 0, with_restart = 0;
  for (int trial = 0; trial < 400; ++trial) {
    Hal h;
    init_full(h.get(), 40000, kova_mode_ja_e);
    randomize(h.get(), rng);
    get_seq_s rec;
    get_seq(h.get(), get_seq_mark_written_e, &rec);
    ASSERT_EQ(get_seq(h.get(), get_seq_changes_e, &rec), 0u) << "trial " << trial;
    std::vector<W> in_order;
    for (uint32_t a : order) in_order.push_back({a, get_reg(h.get(), a)});
    ASSERT_EQ(collect(h.get(), get_seq_all_e), in_order) << "trial " << trial;
    std::vector<uint8_t> chip(h.wr(), h.wr() + KOVA_REG_COUNT);
    // Mostly registers of the sequences, sometimes the APLL feedback, sometimes any.
    for (int i = 1 + static_cast<int>(rng() % 8); i > 0; --i) {
      const uint32_t k = rng() % 4;
      put_reg(h.get(), k == 0 ? 0x106 + rng() % 14 : k == 1 ? rng() % KOVA_REG_COUNT : cov_list[rng() % cov_list.size()], rng());
    }
    if (rng() % 4 == 0) h->oc2_align_nsx10_u16 = 1 + rng() % 5;

    const std::vector<W> recs = collect(h.get(), get_seq_changes_e, 5000);
    ASSERT_LT(recs.size(), 5000u) << "trial " << trial;
    for (size_t i = 0; i < recs.size(); ++i) {
      const W &r = recs[i];
      ASSERT_TRUE(cov.count(r.address) && r.value <= 0xFFu) << std::hex << r.address;
      chip[r.address] = static_cast<uint8_t>(r.value);
      with_dco += r.address == 0x61C && r.value == 0x0D;
      with_alignment += r.address == 0x01B && r.value == 0x40;
      with_restart += i > 0 && r.address == 0x00D && recs[i - 1].address == 0x00D;
    }
    // The chip and the written image follow the image, apart from PACR1's one-shot bits.
    for (uint32_t a : cov) {
      const uint32_t img = get_reg(h.get(), a);
      ASSERT_EQ(chip[a], img) << "trial " << trial << std::hex << " at 0x" << a;
      ASSERT_EQ(h.wr()[a], a == 0x01B ? (img & 0x1F) : img) << "trial " << trial << std::hex << " at 0x" << a;
    }
    // A second pass has only PACR1's one-shot bits left to send.
    const uint32_t pacr1 = get_reg(h.get(), 0x01B);
    const std::vector<W> left = (pacr1 & 0xE0) ? std::vector<W>{{0x01B, pacr1}} : std::vector<W>{};
    ASSERT_EQ(collect(h.get(), get_seq_changes_e), left) << "trial " << trial;
  }
  // The random passes exercised the procedures.
  EXPECT_GT(with_dco, 20);
  EXPECT_GT(with_alignment, 20);
  EXPECT_GT(with_restart, 5);
}

}  // namespace
