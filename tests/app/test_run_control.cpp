// Run control: stages, the burst write sequence (offline, on the emulated board, and when the
// board goes away in the middle), the status fetch and the NCO offset.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "app/app_log.h"
#include "app/run_control.h"
#include "app/user_dialog.h"
#include "board/kxemu.h"
#include "regs/seq.h"

namespace {

struct entry_s {
  uint32_t address, value, wait;
};

struct burst_s {
  uint32_t start;
  std::vector<uint8_t> bytes;
};

// Runs seq_write_bursts over a list of entries; returns the bursts and where the waits fell.
std::vector<burst_s> bursts_of(const std::vector<entry_s> &entries, std::vector<size_t> *wait_after = nullptr,
                               int fail_at = -1, bool *ok = nullptr) {
  std::vector<burst_s> out;
  size_t i = 0;
  const bool r = seq_write_bursts(
      [&](get_seq_s *rec) {
        if (i >= entries.size()) return false;
        *rec = {entries[i].address, entries[i].value, entries[i].wait};
        ++i;
        return true;
      },
      [&](uint32_t start, const uint8_t *b, uint32_t n) {
        if (static_cast<int>(out.size()) == fail_at) return false;
        out.push_back({start, std::vector<uint8_t>(b, b + n)});
        return true;
      },
      [&](uint32_t) {
        if (wait_after) wait_after->push_back(out.size());
      });
  if (ok) *ok = r;
  return out;
}

TEST(WriteBursts, ConsecutiveAddressesTravelTogether) {
  const auto b = bursts_of({{0x100, 1, 0}, {0x101, 2, 0}, {0x102, 3, 0}, {0x200, 4, 0}});
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].start, 0x100u);
  EXPECT_EQ(b[0].bytes, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(b[1].start, 0x200u);
  EXPECT_EQ(b[1].bytes, std::vector<uint8_t>{4});
}

TEST(WriteBursts, AWaitEndsItsBurst) {
  std::vector<size_t> waits;
  const auto b = bursts_of({{0x10, 1, 0}, {0x11, 2, 10}, {0x12, 3, 0}, {0x13, 4, 0}}, &waits);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].bytes, (std::vector<uint8_t>{1, 2}));  // the entry with the wait is in it
  EXPECT_EQ(b[1].start, 0x12u);                         // and is not repeated
  EXPECT_EQ(b[1].bytes, (std::vector<uint8_t>{3, 4}));
  EXPECT_EQ(waits, std::vector<size_t>{1});             // the wait follows the first write
}

TEST(WriteBursts, At1024BytesABurstIsWritten) {
  std::vector<entry_s> e;
  for (uint32_t i = 0; i < 1500; ++i) e.push_back({i, i & 0xFF, 0});
  const auto b = bursts_of(e);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].bytes.size(), 1024u);
  EXPECT_EQ(b[1].start, 1024u);
  EXPECT_EQ(b[1].bytes.size(), 476u);
  // Every entry exactly once and in order.
  std::vector<uint8_t> all = b[0].bytes;
  all.insert(all.end(), b[1].bytes.begin(), b[1].bytes.end());
  for (uint32_t i = 0; i < 1500; ++i) ASSERT_EQ(all[i], i & 0xFF);
}

TEST(WriteBursts, AFailedWriteStopsTheSequence) {
  bool ok = true;
  const auto b = bursts_of({{0x10, 1, 0}, {0x20, 2, 0}, {0x30, 3, 0}}, nullptr, 1, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(b.size(), 1u);
  EXPECT_TRUE(bursts_of({}).empty());
}

// A JA configuration with two inputs and three outputs, initialised and recalculated.
void configure_ja(hal_api_s *h) {
  h->kova_device_e = kova_device_40000_e;
  h->kova_device_rev_e = 1;
  h->kova_mode_e = kova_mode_ja_e;
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

struct quiet_dialog_s final : user_dialog_s {
  std::vector<std::string> shown;
  void message(const std::string &text, const std::string &) override { shown.push_back(text); }
  bool ask_yes_no(const std::string &, const std::string &) override { return false; }
};

class RunControl : public ::testing::Test {
 protected:
  void SetUp() override {
    __dev_GuiParams = __dev_GuiParamS{};
    SUDisableCalcChkBxIsChecked = false;
    NCOOffsetValue = 0;
    app_set_dialog(&dialog_);
    kxKovaIo_SleepSet([](uint32_t, void *) {}, nullptr);
    h_ = hal_api_s{};
  }
  void TearDown() override {
    kxKovaIo_EvalBoardClose(&__dev_GuiParams.ioHandle);
    kxemu_remove();
    kxKovaIo_SleepSet(nullptr, nullptr);
    app_set_dialog(nullptr);
    delete_api(&h_);
    SUDisableCalcChkBxIsChecked = false;
    NCOOffsetValue = 0;
  }
  void install_board() {
    kxemu_config_s cfg{};
    char err[256];
    ASSERT_TRUE(kxemu_config_parse("40000", &cfg, err, sizeof err)) << err;
    ASSERT_TRUE(kxemu_install(&cfg, err, sizeof err)) << err;
    connect();
  }
  void connect() {
    uint32_t n = 0;
    ASSERT_EQ(kxKovaIo_ChannelCount(&n), 0u);
    ASSERT_EQ(kxKovaIo_EvalBoardOpen(0, 1, &__dev_GuiParams.ioHandle), 0u);
    ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&__dev_GuiParams.ioHandle), FT_OK);
    ASSERT_TRUE(GuiUtil_EvalBoardConnected(&__dev_GuiParams, &h_));
  }
  // The addresses a full pass of the sequence writes, from a copy of the configuration.
  std::set<uint32_t> sequence_addresses(uint32_t *entries = nullptr) {
    hal_api_s copy{};
    copy.init_api_mode_e = init_api_blank_e;
    init_api(&copy);
    copy_api(&copy, &h_);
    std::set<uint32_t> out;
    get_seq_s rec;
    uint32_t n = 0;
    while (get_seq(&copy, get_seq_all_e, &rec)) out.insert(rec.address), ++n;
    if (entries) *entries = n;
    delete_api(&copy);
    return out;
  }
  void expect_chip_holds_image(const std::set<uint32_t> &addresses) {
    const uint8_t *chip = kxemu_chip_regs(0);
    for (uint32_t a : addresses) {
      const uint32_t mask = a == 0x01B ? 0x1F : 0xFF;  // PACR1's one-shot bits are not held
      ASSERT_EQ(chip[a] & mask, get_reg(&h_, a) & mask) << "register 0x" << std::hex << a;
    }
  }
  hal_api_s h_;
  quiet_dialog_s dialog_;
};

TEST_F(RunControl, OfflineTheSequenceIsOnlyLogged) {
  configure_ja(&h_);
  ASSERT_TRUE(HalStruct_Recalculate(&h_));
  uint8_t before[KOVA_REG_COUNT];
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) before[a] = static_cast<uint8_t>(get_reg(&h_, a));
  EXPECT_FALSE(HalUtil_WriteSequence(&__dev_GuiParams, &h_, false));
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) ASSERT_EQ(get_reg(&h_, a), before[a]);
  // Offline reads and writes go to the image.
  uint8_t v = 0x5A;
  __dev_GuiWriteReg(&__dev_GuiParams, &h_, 0x210, 1, &v);
  uint8_t r = 0;
  __dev_GuiReadReg(&__dev_GuiParams, &h_, 0x210, 1, &r);
  EXPECT_EQ(r, 0x5A);
}

TEST_F(RunControl, FullAndChangesOnlyWritesReachTheChip) {
  install_board();
  configure_ja(&h_);
  ASSERT_TRUE(HalStruct_Reinitialize(&h_, init_api_keep_user_e));
  uint32_t entries = 0;
  const auto addresses = sequence_addresses(&entries);
  std::vector<uint32_t> progress;
  ASSERT_TRUE(HalUtil_WriteSequence(&__dev_GuiParams, &h_, false, [&](uint32_t n) { progress.push_back(n); }));
  expect_chip_holds_image(addresses);
  // Progress counts the bytes written, one per entry of the sequence.
  ASSERT_FALSE(progress.empty());
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_GT(progress[i], progress[i - 1]);
  EXPECT_EQ(progress.back(), entries);

  // One output changes: a changes-only write brings the chip along.
  set_fprec_s(&h_.oc2_freq_s, 100000000, 1, 1);
  ASSERT_TRUE(HalStruct_Recalculate(&h_));
  ASSERT_TRUE(WriteHalChangesToDevice(&h_, true));
  expect_chip_holds_image(addresses);
  // And nothing is left to send.
  get_seq_s rec;
  EXPECT_EQ(get_seq(&h_, get_seq_changes_e, &rec), 0u);
}

// The board goes away at every possible transfer of a write: the write is reported as
// failed, nothing that did not arrive counts as written, and after reconnecting a
// changes-only write leaves the chip holding the image.
TEST_F(RunControl, AnUnpluggedBoardLosesNothing) {
  install_board();
  configure_ja(&h_);
  ASSERT_TRUE(HalStruct_Reinitialize(&h_, init_api_keep_user_e));
  const auto addresses = sequence_addresses();
  hal_api_s start{};
  start.init_api_mode_e = init_api_blank_e;
  init_api(&start);
  copy_api(&start, &h_);
  const std::vector<uint8_t> chip_reset(kxemu_chip_regs(0), kxemu_chip_regs(0) + KOVA_REG_COUNT);

  int failures = 0;
  for (int32_t k = 0; k < 200; ++k) {
    copy_api(&h_, &start);
    std::memcpy(kxemu_chip_regs(0), chip_reset.data(), KOVA_REG_COUNT);
    kxemu_faults_s faults;
    faults.unplug_after = k;
    kxemu_faults_set(0, &faults);
    const bool ok = WriteHalChangesToDevice(&h_, true);
    if (ok) break;  // the whole write fits in k transfers: every burst has been tried
    ++failures;
    kxemu_faults_s none;
    kxemu_faults_set(0, &none);
    kxemu_replug(0);
    kxKovaIo_EvalBoardClose(&__dev_GuiParams.ioHandle);
    connect();
    ASSERT_TRUE(WriteHalChangesToDevice(&h_, true)) << "after unplug at transfer " << k;
    expect_chip_holds_image(addresses);
    if (HasFatalFailure()) {
      ADD_FAILURE() << "unplugged at transfer " << k;
      break;
    }
  }
  EXPECT_GT(failures, 3);
  delete_api(&start);
}

TEST_F(RunControl, DisabledCalculationOnlyRewritesTheNcoWord) {
  h_.kova_device_e = kova_device_40000_e;
  h_.kova_mode_e = kova_mode_nco_e;
  h_.xa_mode_e = xa_mode_xo_e;
  h_.sysclk_mode_e = sysclk_mode_xa_e;
  init_api(&h_);
  set_fprec_s(&h_.oc1_freq_s, 156250000, 1, 1);
  ASSERT_TRUE(HalStruct_Recalculate(&h_));
  ASSERT_NE(h_.dfreqz1_freqz_u40, 0u);
  uint8_t before[KOVA_REG_COUNT];
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) before[a] = static_cast<uint8_t>(get_reg(&h_, a));

  SUDisableCalcChkBxIsChecked = true;
  NCOOffsetValue = 100.0;
  set_fprec_s(&h_.oc1_freq_s, 125000000, 1, 1);  // not calculated while disabled
  EXPECT_TRUE(HalStruct_Recalculate(&h_));
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) {
    if (a < 0x420 || a > 0x424) {
      ASSERT_EQ(get_reg(&h_, a), before[a]) << a;
    }
  }
  double ppm = 0;
  ASSERT_EQ(__dev_NcoOffsetGet(&__dev_GuiParams, &h_, &ppm), 0);
  EXPECT_NEAR(ppm, 100.0, 1e-3);
  EXPECT_TRUE(HalUtil_WriteSequence(&__dev_GuiParams, &h_, true));  // nothing is sent while disabled
}

TEST_F(RunControl, NcoOffsetLimits) {
  h_.init_api_mode_e = init_api_blank_e;
  init_api(&h_);
  h_.dfreqz1_freqz_u40 = 0x123456789Aull;
  EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, &h_, 1000.0), 0);
  EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, &h_, -1000.0), 0);
  double ppm = 0;
  __dev_NcoOffsetGet(&__dev_GuiParams, &h_, &ppm);
  EXPECT_NEAR(ppm, -1000.0, 1e-3);
  EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, &h_, 1000.001), -2);
  EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, &h_, NAN), -2);
  EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, nullptr, 1), -1);
  __dev_NcoOffsetGet(&__dev_GuiParams, &h_, &ppm);
  EXPECT_NEAR(ppm, -1000.0, 1e-3);  // the refused offsets changed nothing
  h_.dfreqz1_freqz_u40 = 0;
  __dev_NcoOffsetGet(&__dev_GuiParams, &h_, &ppm);
  EXPECT_EQ(ppm, 0.0);
  EXPECT_EQ(__dev_NcoOffsetGet(&__dev_GuiParams, &h_, nullptr), -1);
}

TEST_F(RunControl, StatusFetchFillsTheStatusBlock) {
  install_board();
  configure_ja(&h_);
  ASSERT_TRUE(HalStruct_Reinitialize(&h_, init_api_keep_user_e));
  uint8_t *chip = kxemu_chip_regs(0);
  // A frequency offset word of 2^31 and a phase of 1024 (1 ns).
  chip[0x065] = 0x00, chip[0x066] = 0x00, chip[0x067] = 0x00, chip[0x068] = 0x80;
  chip[0x07D] = 0x00, chip[0x07E] = 0x04, chip[0x07F] = 0x00, chip[0x080] = 0x00;
  chip[0x09F] = 0x77;
  ASSERT_TRUE(HalStruct_StatusGet(&h_));
  EXPECT_EQ(h_.freqoff_rw_i32_0, INT32_MIN);
  EXPECT_DOUBLE_EQ(h_.input_phase_offset_ns_r, 1.0);
  EXPECT_EQ(get_reg(&h_, 0x09F), 0x77u);
  EXPECT_TRUE(dialog_.shown.empty());
}

}  // namespace
