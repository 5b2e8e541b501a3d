// Run control: the burst write sequence (offline, on the emulated board, and when the board
// goes away in the middle), register reads and writes with and without back-fill, the status
// fetch and the NCO offset.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numeric>
#include <set>

#include "app/run_control.h"
#include "board/kxemu.h"
#include "tests/app/app_test_util.h"

namespace {

using burst_s = std::pair<uint32_t, std::vector<uint8_t>>;  // start address, bytes

// n entries with consecutive addresses from `first`, each holding its address's low byte.
std::vector<get_seq_s> ramp(uint32_t first, uint32_t n) {
  std::vector<get_seq_s> out;
  for (uint32_t a = first; a < first + n; ++a) out.push_back({a, a & 0xFF, 0});
  return out;
}
burst_s ramp_burst(uint32_t first, uint32_t n) {
  std::vector<uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), static_cast<uint8_t>(first));
  return {first, bytes};
}

TEST(WriteBursts, ConsecutiveAddressesTravelTogetherUntilAWaitOrAFailure) {
  // The write numbered fail_at fails; waits: the bursts written before each wait.
  const struct {
    std::vector<get_seq_s> in;
    int fail_at;
    bool ok;
    std::vector<burst_s> bursts;
    std::vector<size_t> waits;
  } cases[] = {
      {{{0x100, 1, 0}, {0x101, 2, 0}, {0x102, 3, 0}, {0x200, 4, 0}}, -1, true, {{0x100, {1, 2, 3}}, {0x200, {4}}}, {}},
      // The entry with the wait ends its burst and is not repeated.
      {{{0x10, 1, 0}, {0x11, 2, 10}, {0x12, 3, 0}, {0x13, 4, 0}}, -1, true, {{0x10, {1, 2}}, {0x12, {3, 4}}}, {1}},
      {{{0x10, 1, 0}, {0x20, 2, 0}, {0x30, 3, 0}}, 1, false, {{0x10, {1}}}, {}},
      {{}, -1, true, {}, {}},
      // At 1024 bytes a burst is written; every entry goes out once and in order.
      {ramp(0, 1500), -1, true, {ramp_burst(0, 1024), ramp_burst(1024, 476)}, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.in.size());
    std::vector<burst_s> out;
    std::vector<size_t> waits;
    size_t i = 0;
    const bool ok = seq_write_bursts(
        [&](get_seq_s *rec) {
          if (i >= c.in.size()) return false;
          *rec = c.in[i++];
          return true;
        },
        [&](uint32_t start, const uint8_t *b, uint32_t n) {
          if (static_cast<int>(out.size()) == c.fail_at) return false;
          out.emplace_back(start, std::vector<uint8_t>(b, b + n));
          return true;
        },
        [&](uint32_t) { waits.push_back(out.size()); });
    EXPECT_EQ(out, c.bursts);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(waits, c.waits);
  }
}

// A KX40000 configuration with two inputs and three outputs (not yet calculated).
void configure(hal_api_s *h, int32_t mode = kova_mode_ja_e) {
  h->kova_device_e = kova_device_40000_e;
  h->kova_device_rev_e = 1;
  h->kova_mode_e = mode;
  h->xa_mode_e = xa_mode_xo_e;
  h->sysclk_mode_e = sysclk_mode_xa_e;
  h->init_api_mode_e = init_api_full_e;
  init_api(h);
  set_fprec_s(&h->ic1_freq_s, 19440000, 1, 1);
  set_fprec_s(&h->ic2_freq_s, 25000000, 1, 1);
  h->icen_ic1en_u1 = h->icen_ic2en_u1 = 1;
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
  set_fprec_s(&h->oc2_freq_s, 125000000, 1, 1);
  set_fprec_s(&h->oc3_freq_s, 100000000, 1, 3);
}

// The run-wide state starts afresh for every test; the log holds only the register lines.
__dev_GuiParamS *fresh_run_state() {
  __dev_GuiParams = __dev_GuiParamS{};
  SUDisableCalcChkBxIsChecked = false;
  NCOOffsetValue = 0;
  return &__dev_GuiParams;
}

class RunControl : public ::testing::Test {
 protected:
  void SetUp() override { kxKovaIo_SleepSet([](uint32_t, void *) {}, nullptr); }
  void TearDown() override {
    kxKovaIo_EvalBoardClose(&__dev_GuiParams.ioHandle);
    kxemu_remove();
    kxKovaIo_SleepSet(nullptr, nullptr);
    fresh_run_state();
  }
  // The emulated KX40000 connected, with the JA configuration initialised in the object.
  void connect_ja() {
    kxemu_config_s cfg{};
    char err[256];
    ASSERT_TRUE(kxemu_config_parse("40000", &cfg, err, sizeof err)) << err;
    ASSERT_TRUE(kxemu_install(&cfg, err, sizeof err)) << err;
    connect();
    configure(&o_.h);
    ASSERT_TRUE(HalStruct_Reinitialize(&o_.h, init_api_keep_user_e));
  }
  void connect() {
    ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &__dev_GuiParams.ioHandle), 0u);
    ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&__dev_GuiParams.ioHandle), FT_OK);
    ASSERT_TRUE(GuiUtil_EvalBoardConnected(&__dev_GuiParams, &o_.h));
  }
  // A full pass of the sequence, from a copy: its addresses, its entries and the log lines
  // it writes.
  struct sequence_s {
    std::set<uint32_t> addresses;
    uint32_t entries = 0;
    std::string lines;
  };
  sequence_s sequence() {
    hal_holder copy(init_api_blank_e);
    copy_api(&copy.h, &o_.h);
    sequence_s out;
    get_seq_s rec;
    for (; get_seq(&copy.h, get_seq_all_e, &rec); ++out.entries) {
      out.addresses.insert(rec.address);
      out.lines += GuiLogConfigCmdText(static_cast<uint16_t>(rec.address), static_cast<uint8_t>(rec.value), nullptr) + "\n";
      if (rec.wait) out.lines += "W , " + std::to_string(rec.wait) + "\n";
    }
    return out;
  }
  void expect_chip_holds_image(const std::set<uint32_t> &addresses) {
    const uint8_t *chip = kxemu_chip_regs(0);
    for (uint32_t a : addresses) {
      const uint32_t mask = a == 0x01B ? 0x1F : 0xFF;  // PACR1's one-shot bits are not held
      ASSERT_EQ(chip[a] & mask, get_reg(&o_.h, a) & mask) << "register 0x" << std::hex << a;
    }
  }
  std::vector<uint8_t> image(uint32_t first = 0, uint32_t n = KOVA_REG_COUNT) {
    std::vector<uint8_t> out(n);
    for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(get_reg(&o_.h, first + i));
    return out;
  }
  // The board goes away after k more transfers (never for k = -1).
  static void unplug_after(int32_t k) {
    kxemu_faults_s faults;
    faults.unplug_after = k;
    kxemu_faults_set(0, &faults);
  }
  static std::vector<uint8_t> chip(uint32_t first, uint32_t n) {
    return {kxemu_chip_regs(0) + first, kxemu_chip_regs(0) + first + n};
  }
  temp_log_s log_{fresh_run_state(), "rc"};
  recording_dialog_s dialog_;
  hal_holder o_;
};

TEST_F(RunControl, OfflineTheSequenceIsOnlyLoggedAndRegistersGoToTheImage) {
  configure(&o_.h);
  ASSERT_TRUE(HalStruct_Recalculate(&o_.h));
  const auto seq = sequence();
  const auto before = image();
  std::remove(log_.path.c_str());
  EXPECT_FALSE(HalUtil_WriteSequence(&__dev_GuiParams, &o_.h, false));
  EXPECT_EQ(log_.text(), seq.lines);  // every entry, its value and its wait, in order
  EXPECT_EQ(image(), before);
  // Offline reads and writes go to the image, however back-fill is asked for.
  const uint8_t v[3] = {0x5A, 0xA5, 0x3C};
  const uint8_t next = image(0x212, 1)[0];
  ASSERT_NE(next, 0x3C);
  __dev_GuiWriteReg(&__dev_GuiParams, &o_.h, 0x210, 2, v);
  EXPECT_EQ(image(0x210, 3), (std::vector<uint8_t>{0x5A, 0xA5, next}));  // only two written
  std::vector<uint8_t> r(2);
  EXPECT_TRUE(__dev_GuiReadReg(&__dev_GuiParams, &o_.h, 0x210, 2, r.data(), false));
  EXPECT_EQ(r, (std::vector<uint8_t>{0x5A, 0xA5}));
  EXPECT_FALSE(__dev_GuiReadReg(&__dev_GuiParams, &o_.h, 0x210, 2, nullptr));
  EXPECT_FALSE(gui_write_reg_checked(&__dev_GuiParams, &o_.h, 0x210, 2, nullptr, true));
}

TEST_F(RunControl, OnlineReadsAndWritesBackFillTheImageOnlyWhenAsked) {
  connect_ja();
  const uint32_t a = 0x312;
  const auto held = image(a, 3);
  for (uint32_t i = 0; i < 3; ++i) kxemu_chip_regs(0)[a + i] = held[i] ^ (0x11 << i);
  std::vector<uint8_t> r(3);
  ASSERT_TRUE(__dev_GuiReadReg(&__dev_GuiParams, &o_.h, a, 3, r.data(), false));
  EXPECT_EQ(r, chip(a, 3));  // from the chip
  EXPECT_EQ(image(a, 3), held);
  ASSERT_TRUE(__dev_GuiReadReg(&__dev_GuiParams, &o_.h, a, 3, r.data(), true));
  EXPECT_EQ(image(a, 3), chip(a, 3));

  const uint8_t w[4] = {0x01, 0x02, 0x03, 0x04};
  const auto kept = image(a, 4);
  ASSERT_NE(kept, std::vector<uint8_t>(w, w + 4));
  EXPECT_TRUE(gui_write_reg_checked(&__dev_GuiParams, &o_.h, a, 3, w, false));
  EXPECT_EQ(chip(a, 3), std::vector<uint8_t>(w, w + 3));
  EXPECT_EQ(image(a, 4), kept);
  EXPECT_TRUE(gui_write_reg_checked(&__dev_GuiParams, &o_.h, a, 3, w, true));
  EXPECT_EQ(image(a, 4), (std::vector<uint8_t>{w[0], w[1], w[2], kept[3]}));  // only the bytes written
}

TEST_F(RunControl, FullAndChangesOnlyWritesReachTheChip) {
  connect_ja();
  EXPECT_EQ(o_.h.oc2_freq_s.f, 125000000u);  // the user's settings were kept
  const auto seq = sequence();
  std::vector<uint32_t> progress;
  std::remove(log_.path.c_str());
  ASSERT_TRUE(HalUtil_WriteSequence(&__dev_GuiParams, &o_.h, false, [&](uint32_t n) { progress.push_back(n); }));
  expect_chip_holds_image(seq.addresses);
  EXPECT_EQ(log_.text(), seq.lines);
  // Progress counts the bytes written, one per entry of the sequence.
  ASSERT_FALSE(progress.empty());
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_GT(progress[i], progress[i - 1]);
  EXPECT_EQ(progress.back(), seq.entries);

  // One output changes: a changes-only write brings the chip along, and nothing is left.
  set_fprec_s(&o_.h.oc2_freq_s, 100000000, 1, 1);
  ASSERT_TRUE(HalStruct_Recalculate(&o_.h));
  ASSERT_TRUE(WriteHalChangesToDevice(&o_.h, true));
  expect_chip_holds_image(seq.addresses);
  get_seq_s rec;
  EXPECT_EQ(get_seq(&o_.h, get_seq_changes_e, &rec), 0u);
  EXPECT_FALSE(HalStruct_Reinitialize(nullptr, init_api_full_e));
}

// The board goes away at every possible transfer of a write: the write is reported as
// failed, nothing that did not arrive counts as written, and after reconnecting a
// changes-only write leaves the chip holding the image.
TEST_F(RunControl, AnUnpluggedBoardLosesNothing) {
  __dev_GuiParams.log.enabled = 0;  // two hundred writes need no log file
  connect_ja();
  const auto addresses = sequence().addresses;
  hal_holder start(init_api_blank_e);
  copy_api(&start.h, &o_.h);
  const std::vector<uint8_t> chip_reset = chip(0, KOVA_REG_COUNT);
  int failures = 0;
  for (int32_t k = 0; k < 200; ++k) {
    SCOPED_TRACE("unplugged at transfer " + std::to_string(k));
    copy_api(&o_.h, &start.h);
    std::memcpy(kxemu_chip_regs(0), chip_reset.data(), KOVA_REG_COUNT);
    unplug_after(k);
    if (WriteHalChangesToDevice(&o_.h, true)) break;  // the whole write fits in k transfers
    ++failures;
    unplug_after(-1);
    kxemu_replug(0);
    kxKovaIo_EvalBoardClose(&__dev_GuiParams.ioHandle);
    connect();
    ASSERT_TRUE(WriteHalChangesToDevice(&o_.h, true));
    expect_chip_holds_image(addresses);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(failures, 3);
}

TEST_F(RunControl, DisabledCalculationOnlyRewritesTheNcoWord) {
  configure(&o_.h, kova_mode_nco_e);
  ASSERT_TRUE(HalStruct_Recalculate(&o_.h));
  ASSERT_NE(o_.h.dfreqz1_freqz_u40, 0u);
  const auto before = image();
  SUDisableCalcSet(&o_.h, true);  // only sets the flag
  NCOOffsetValue = 100.0;
  set_fprec_s(&o_.h.oc1_freq_s, 125000000, 1, 1);  // not calculated while disabled
  EXPECT_TRUE(HalStruct_Recalculate(&o_.h));
  const auto after = image();
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) {
    if (a < 0x420 || a > 0x424) {
      ASSERT_EQ(after[a], before[a]) << a;
    }
  }
  double ppm = 0;
  ASSERT_EQ(__dev_NcoOffsetGet(&__dev_GuiParams, &o_.h, &ppm), 0);
  EXPECT_NEAR(ppm, 100.0, 1e-3);
  std::remove(log_.path.c_str());
  EXPECT_TRUE(HalUtil_WriteSequence(&__dev_GuiParams, &o_.h, true));  // nothing is sent while disabled
  EXPECT_EQ(log_.text(), "");
  // Enabled again: the new output is calculated and its changes go out (offline, to the log).
  SUDisableCalcSet(&o_.h, false);
  EXPECT_NE(image(), after);
  EXPECT_NE(log_.text(), "");
}

TEST_F(RunControl, NcoOffsetLimits) {
  o_.h.init_api_mode_e = init_api_blank_e;
  init_api(&o_.h);
  o_.h.dfreqz1_freqz_u40 = 0x123456789Aull;
  put_reg(&o_.h, 0x425, 0x5A);  // the register after the 40-bit word is not part of it
  // Each offset set and read back; a refused one changes nothing.
  const std::pair<double, int32_t> sets[] = {{1000.0, 0}, {-1000.0, 0}, {0.5, 0}, {1000.001, -2}, {NAN, -2}};
  double ppm = 0, in_force = 0;
  for (const auto &[set, result] : sets) {
    EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, &o_.h, set), result) << set;
    in_force = result == 0 ? set : in_force;
    EXPECT_EQ(__dev_NcoOffsetGet(&__dev_GuiParams, &o_.h, &ppm), 0);
    EXPECT_NEAR(ppm, in_force, 1e-3) << set;
  }
  EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, nullptr, 1), -1);
  o_.h.dfreqz1_freqz_u40 = 0;
  __dev_NcoOffsetGet(&__dev_GuiParams, &o_.h, &ppm);
  EXPECT_EQ(ppm, 0.0);
  EXPECT_EQ(__dev_NcoOffsetGet(&__dev_GuiParams, &o_.h, nullptr), -1);
  EXPECT_EQ(__dev_NcoOffsetGet(&__dev_GuiParams, nullptr, &ppm), -1);
}

TEST_F(RunControl, StatusFetchFillsTheStatusBlock) {
  connect_ja();
  uint8_t *regs = kxemu_chip_regs(0);
  // A frequency offset word of 2^31, a phase of 1024 (1 ns), a holdover offset (full status
  // only), the last byte of the block and one the decode does not name.
  const std::pair<uint32_t, uint8_t> set[] = {{0x065, 0x00}, {0x066, 0x00}, {0x067, 0x00}, {0x068, 0x80},
                                              {0x07D, 0x00}, {0x07E, 0x04}, {0x07F, 0x00}, {0x080, 0x00},
                                              {0x095, 0x00}, {0x096, 0x01}, {0x097, 0x00}, {0x098, 0x00},
                                              {0x09F, 0x77}};
  for (const auto &[a, v] : set) regs[a] = v;
  uint8_t first = 0;  // the block's first byte, as the chip reads it, differs from the image's
  ASSERT_TRUE(__dev_GuiReadReg(&__dev_GuiParams, &o_.h, 0x030, 1, &first, false));
  put_reg(&o_.h, 0x030, static_cast<uint8_t>(~first));
  ASSERT_TRUE(HalStruct_StatusGet(&o_.h));
  EXPECT_EQ(std::make_tuple(o_.h.freqoff_rw_i32_0, o_.h.input_phase_offset_ns_r, o_.h.hooffset_rw_s32_0),
            std::make_tuple(INT32_MIN, 1.0, 256));
  EXPECT_EQ(std::make_pair(image(0x030, 1)[0], image(0x09F, 1)[0]), std::make_pair(first, uint8_t{0x77}));
  EXPECT_TRUE(dialog_.shown.empty());
  EXPECT_FALSE(HalStruct_StatusGet(nullptr));
}

}  // namespace
