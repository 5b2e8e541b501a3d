// Run control: the burst write sequence (offline, on the emulated board, and when the board
// goes away in the middle), register reads and writes with and without back-fill, the status
// fetch and the NCO offset.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "app/app_log.h"
#include "app/app_options.h"
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
  bool operator==(const burst_s &o) const { return start == o.start && bytes == o.bytes; }
};

// Runs seq_write_bursts over a list of entries; the write numbered fail_at fails.
std::vector<burst_s> bursts_of(const std::vector<entry_s> &entries, std::vector<size_t> *wait_after, int fail_at,
                               bool *ok) {
  std::vector<burst_s> out;
  size_t i = 0;
  *ok = seq_write_bursts(
      [&](get_seq_s *rec) {
        if (i >= entries.size()) return false;
        *rec = {entries[i].address, entries[i].value, entries[i].wait};
        return ++i, true;
      },
      [&](uint32_t start, const uint8_t *b, uint32_t n) {
        if (static_cast<int>(out.size()) == fail_at) return false;
        out.push_back({start, std::vector<uint8_t>(b, b + n)});
        return true;
      },
      [&](uint32_t) { wait_after->push_back(out.size()); });
  return out;
}

TEST(WriteBursts, ConsecutiveAddressesTravelTogetherUntilAWaitOrAFailure) {
  const struct {
    std::vector<entry_s> in;
    int fail_at;
    bool ok;
    std::vector<burst_s> bursts;
    std::vector<size_t> waits;  // bursts written before each wait
  } cases[] = {
      {{{0x100, 1, 0}, {0x101, 2, 0}, {0x102, 3, 0}, {0x200, 4, 0}}, -1, true, {{0x100, {1, 2, 3}}, {0x200, {4}}}, {}},
      // The entry with the wait ends its burst and is not repeated.
      {{{0x10, 1, 0}, {0x11, 2, 10}, {0x12, 3, 0}, {0x13, 4, 0}}, -1, true, {{0x10, {1, 2}}, {0x12, {3, 4}}}, {1}},
      {{{0x10, 1, 0}, {0x20, 2, 0}, {0x30, 3, 0}}, 1, false, {{0x10, {1}}}, {}},
      {{}, -1, true, {}, {}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.in.size());
    std::vector<size_t> waits;
    bool ok = !c.ok;
    EXPECT_EQ(bursts_of(c.in, &waits, c.fail_at, &ok), c.bursts);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(waits, c.waits);
  }
  // At 1024 bytes a burst is written; every entry goes out once and in order.
  std::vector<entry_s> e;
  for (uint32_t i = 0; i < 1500; ++i) e.push_back({i, i & 0xFF, 0});
  std::vector<size_t> waits;
  bool ok = false;
  const auto b = bursts_of(e, &waits, -1, &ok);
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].bytes.size(), 1024u);
  EXPECT_EQ(b[1].start, 1024u);
  for (uint32_t i = 0; i < 1500; ++i) ASSERT_EQ((i < 1024 ? b[0].bytes[i] : b[1].bytes[i - 1024]), i & 0xFF);
}

// A JA configuration with two inputs and three outputs (not yet calculated).
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
    log_ = ::testing::TempDir() + "/kova_rc_" + std::to_string(getpid()) + ".txt";
    std::remove(log_.c_str());
    ASSERT_TRUE(app_set_log_file(&__dev_GuiParams, log_));
    __dev_GuiParams.log.enabled = 1;
    SuperUserModeSet(false);  // the log holds only the register lines
  }
  void TearDown() override {
    kxKovaIo_EvalBoardClose(&__dev_GuiParams.ioHandle);
    kxemu_remove();
    kxKovaIo_SleepSet(nullptr, nullptr);
    app_set_dialog(nullptr);
    delete_api(&h_);
    SUDisableCalcChkBxIsChecked = false;
    NCOOffsetValue = 0;
    __dev_GuiParams = __dev_GuiParamS{};
    std::remove(log_.c_str());
  }
  std::string log_text() {
    std::ifstream in(log_);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
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
  // The log lines a full pass of the sequence writes, and its addresses, from a copy.
  std::set<uint32_t> sequence(uint32_t *entries, std::string *lines) {
    hal_api_s copy{};
    copy.init_api_mode_e = init_api_blank_e;
    init_api(&copy);
    copy_api(&copy, &h_);
    std::set<uint32_t> out;
    get_seq_s rec;
    for (*entries = 0; get_seq(&copy, get_seq_all_e, &rec); ++*entries) {
      out.insert(rec.address);
      *lines += GuiLogConfigCmdText(static_cast<uint16_t>(rec.address), static_cast<uint8_t>(rec.value), nullptr) + "\n";
      if (rec.wait) *lines += "W , " + std::to_string(rec.wait) + "\n";
    }
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
  std::vector<uint8_t> image() {
    std::vector<uint8_t> out(KOVA_REG_COUNT);
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) out[a] = static_cast<uint8_t>(get_reg(&h_, a));
    return out;
  }
  hal_api_s h_;
  quiet_dialog_s dialog_;
  std::string log_;
};

TEST_F(RunControl, OfflineTheSequenceIsOnlyLoggedAndRegistersGoToTheImage) {
  configure_ja(&h_);
  ASSERT_TRUE(HalStruct_Recalculate(&h_));
  uint32_t entries = 0;
  std::string lines;
  sequence(&entries, &lines);
  const auto before = image();
  std::remove(log_.c_str());
  EXPECT_FALSE(HalUtil_WriteSequence(&__dev_GuiParams, &h_, false));
  EXPECT_EQ(log_text(), lines);  // every entry, its value and its wait, in order
  EXPECT_EQ(image(), before);
  // Offline reads and writes go to the image, however back-fill is asked for.
  const uint8_t v[3] = {0x5A, 0xA5, 0x3C};
  const uint32_t next = get_reg(&h_, 0x212);
  ASSERT_NE(next, 0x3Cu);
  __dev_GuiWriteReg(&__dev_GuiParams, &h_, 0x210, 2, v);
  EXPECT_EQ(get_reg(&h_, 0x212), next);  // only the two bytes written
  uint8_t r[2] = {};
  EXPECT_TRUE(__dev_GuiReadReg(&__dev_GuiParams, &h_, 0x210, 2, r, false));
  EXPECT_EQ(r[0], 0x5A);
  EXPECT_EQ(r[1], 0xA5);
  EXPECT_FALSE(__dev_GuiReadReg(&__dev_GuiParams, &h_, 0x210, 2, nullptr));
  EXPECT_FALSE(gui_write_reg_checked(&__dev_GuiParams, &h_, 0x210, 2, nullptr, true));
}

TEST_F(RunControl, OnlineReadsAndWritesBackFillTheImageOnlyWhenAsked) {
  install_board();
  configure_ja(&h_);
  ASSERT_TRUE(HalStruct_Reinitialize(&h_, init_api_keep_user_e));
  uint8_t *chip = kxemu_chip_regs(0);
  const uint32_t a = 0x312;
  const uint8_t held[3] = {static_cast<uint8_t>(get_reg(&h_, a)), static_cast<uint8_t>(get_reg(&h_, a + 1)),
                           static_cast<uint8_t>(get_reg(&h_, a + 2))};
  chip[a] = held[0] ^ 0x11, chip[a + 1] = held[1] ^ 0x22, chip[a + 2] = held[2] ^ 0x44;
  uint8_t r[3] = {};
  ASSERT_TRUE(__dev_GuiReadReg(&__dev_GuiParams, &h_, a, 3, r, false));
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(r[i], chip[a + i]) << i;  // from the chip
    EXPECT_EQ(get_reg(&h_, a + i), held[i]) << i;
  }
  ASSERT_TRUE(__dev_GuiReadReg(&__dev_GuiParams, &h_, a, 3, r, true));
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(get_reg(&h_, a + i), chip[a + i]) << i;

  const uint8_t w[3] = {0x01, 0x02, 0x03};
  EXPECT_TRUE(gui_write_reg_checked(&__dev_GuiParams, &h_, a, 3, w, false));
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(chip[a + i], w[i]) << i;
    EXPECT_NE(get_reg(&h_, a + i), w[i]) << i;
  }
  const uint8_t w2[4] = {0x04, 0x05, 0x06, 0x07};
  const uint32_t after = get_reg(&h_, a + 3);
  ASSERT_NE(after, 0x07u);
  EXPECT_TRUE(gui_write_reg_checked(&__dev_GuiParams, &h_, a, 3, w2, true));
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(get_reg(&h_, a + i), w2[i]) << i;
  EXPECT_EQ(get_reg(&h_, a + 3), after);  // only the bytes written
  // A write the board does not take is reported.
  kxemu_faults_s faults;
  faults.unplug_after = 0;
  kxemu_faults_set(0, &faults);
  EXPECT_FALSE(gui_write_reg_checked(&__dev_GuiParams, &h_, a, 3, w, false));
}

TEST_F(RunControl, FullAndChangesOnlyWritesReachTheChip) {
  install_board();
  configure_ja(&h_);
  ASSERT_TRUE(HalStruct_Reinitialize(&h_, init_api_keep_user_e));
  EXPECT_EQ(h_.oc2_freq_s.f, 125000000u);  // the user's settings were kept
  uint32_t entries = 0;
  std::string lines;
  const auto addresses = sequence(&entries, &lines);
  std::vector<uint32_t> progress;
  std::remove(log_.c_str());
  ASSERT_TRUE(HalUtil_WriteSequence(&__dev_GuiParams, &h_, false, [&](uint32_t n) { progress.push_back(n); }));
  expect_chip_holds_image(addresses);
  EXPECT_EQ(log_text(), lines);
  // Progress counts the bytes written, one per entry of the sequence.
  ASSERT_FALSE(progress.empty());
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_GT(progress[i], progress[i - 1]);
  EXPECT_EQ(progress.back(), entries);

  // One output changes: a changes-only write brings the chip along, and nothing is left.
  set_fprec_s(&h_.oc2_freq_s, 100000000, 1, 1);
  ASSERT_TRUE(HalStruct_Recalculate(&h_));
  ASSERT_TRUE(WriteHalChangesToDevice(&h_, true));
  expect_chip_holds_image(addresses);
  get_seq_s rec;
  EXPECT_EQ(get_seq(&h_, get_seq_changes_e, &rec), 0u);
  EXPECT_FALSE(HalStruct_Reinitialize(nullptr, init_api_full_e));
}

// The board goes away at every possible transfer of a write: the write is reported as
// failed, nothing that did not arrive counts as written, and after reconnecting a
// changes-only write leaves the chip holding the image.
TEST_F(RunControl, AnUnpluggedBoardLosesNothing) {
  install_board();
  configure_ja(&h_);
  ASSERT_TRUE(HalStruct_Reinitialize(&h_, init_api_keep_user_e));
  uint32_t entries = 0;
  std::string lines;
  const auto addresses = sequence(&entries, &lines);
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
    if (WriteHalChangesToDevice(&h_, true)) break;  // the whole write fits in k transfers
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
  const auto before = image();
  SUDisableCalcSet(&h_, true);  // only sets the flag
  EXPECT_EQ(image(), before);
  NCOOffsetValue = 100.0;
  set_fprec_s(&h_.oc1_freq_s, 125000000, 1, 1);  // not calculated while disabled
  EXPECT_TRUE(HalStruct_Recalculate(&h_));
  const auto after = image();
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) {
    if (a < 0x420 || a > 0x424) {
      ASSERT_EQ(after[a], before[a]) << a;
    }
  }
  double ppm = 0;
  ASSERT_EQ(__dev_NcoOffsetGet(&__dev_GuiParams, &h_, &ppm), 0);
  EXPECT_NEAR(ppm, 100.0, 1e-3);
  std::remove(log_.c_str());
  EXPECT_TRUE(HalUtil_WriteSequence(&__dev_GuiParams, &h_, true));  // nothing is sent while disabled
  EXPECT_EQ(log_text(), "");
  // Enabled again: the new output is calculated and its changes go out (offline, to the log).
  SUDisableCalcSet(&h_, false);
  EXPECT_FALSE(SUDisableCalcChkBxIsChecked);
  EXPECT_NE(image(), after);
  EXPECT_NE(log_text(), "");
}

TEST_F(RunControl, NcoOffsetLimits) {
  h_.init_api_mode_e = init_api_blank_e;
  init_api(&h_);
  h_.dfreqz1_freqz_u40 = 0x123456789Aull;
  put_reg(&h_, 0x425, 0x5A);  // the register after the 40-bit word is not part of it
  double ppm = 0;
  for (double set : {1000.0, -1000.0, 0.5}) {
    EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, &h_, set), 0);
    __dev_NcoOffsetGet(&__dev_GuiParams, &h_, &ppm);
    EXPECT_NEAR(ppm, set, 1e-3);
  }
  EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, &h_, 1000.001), -2);
  EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, &h_, NAN), -2);
  EXPECT_EQ(__dev_NcoOffsetSet(&__dev_GuiParams, nullptr, 1), -1);
  __dev_NcoOffsetGet(&__dev_GuiParams, &h_, &ppm);
  EXPECT_NEAR(ppm, 0.5, 1e-3);  // the refused offsets changed nothing
  h_.dfreqz1_freqz_u40 = 0;
  __dev_NcoOffsetGet(&__dev_GuiParams, &h_, &ppm);
  EXPECT_EQ(ppm, 0.0);
  EXPECT_EQ(__dev_NcoOffsetGet(&__dev_GuiParams, &h_, nullptr), -1);
  EXPECT_EQ(__dev_NcoOffsetGet(&__dev_GuiParams, nullptr, &ppm), -1);
}

TEST_F(RunControl, StatusFetchFillsTheStatusBlock) {
  install_board();
  configure_ja(&h_);
  ASSERT_TRUE(HalStruct_Reinitialize(&h_, init_api_keep_user_e));
  uint8_t *chip = kxemu_chip_regs(0);
  // A frequency offset word of 2^31, a phase of 1024 (1 ns), a holdover offset (full status
  // only), the last byte of the block and one the decode does not name.
  chip[0x065] = 0x00, chip[0x066] = 0x00, chip[0x067] = 0x00, chip[0x068] = 0x80;
  chip[0x07D] = 0x00, chip[0x07E] = 0x04, chip[0x07F] = 0x00, chip[0x080] = 0x00;
  chip[0x095] = 0x00, chip[0x096] = 0x01, chip[0x097] = 0x00, chip[0x098] = 0x00;
  chip[0x09F] = 0x77;
  uint8_t first = 0;  // the block's first byte, as the chip reads it, differs from the image's
  ASSERT_TRUE(__dev_GuiReadReg(&__dev_GuiParams, &h_, 0x030, 1, &first, false));
  put_reg(&h_, 0x030, static_cast<uint8_t>(~first));
  ASSERT_TRUE(HalStruct_StatusGet(&h_));
  EXPECT_EQ(h_.freqoff_rw_i32_0, INT32_MIN);
  EXPECT_DOUBLE_EQ(h_.input_phase_offset_ns_r, 1.0);
  EXPECT_EQ(get_reg(&h_, 0x09F), 0x77u);
  EXPECT_EQ(get_reg(&h_, 0x030), first);
  EXPECT_EQ(h_.hooffset_rw_s32_0, 256);
  EXPECT_TRUE(dialog_.shown.empty());
  EXPECT_FALSE(HalStruct_StatusGet(nullptr));
}

}  // namespace
