// Programming, dumping and verifying EEPROMs on the emulated evaluation board, and the chip
// booting from what was programmed.
#include <gtest/gtest.h>

#include <map>

#include "app/board_session.h"
#include "app/eeprom_program.h"
#include "board/kxemu.h"
#include "files/eeprom_decode.h"
#include "files/script_runner.h"
#include "tests/app/app_test_util.h"
#include "tests/files/eeprom_test_util.h"

using namespace eetest;

namespace {

struct EepromProgram : ::testing::Test {
  board_session_s session;
  std::string dir = ::testing::TempDir() + "/kova_eeprom_" + std::to_string(getpid());
  std::vector<std::string> files;

  // Opens the emulated board; returns how its product's EEPROM is written.
  eeprom_io_s open(const char *devices) {
    kxKovaIo_SleepSet([](uint32_t, void *) {}, nullptr);
    board_session_opts_s o;
    o.emulator = true;
    o.emulator_devices = devices;
    std::string err;
    EXPECT_TRUE(board_session_open(o, &session, &err)) << err;
    eeprom_io_s io;
    io.board = &session.handle;
    io.target = eeprom_product_uses_board(session.product_index) ? eeprom_target_board_e : eeprom_target_chip_e;
    io.reserve12 = eeprom_product_reserve(session.product_index);
    io.part_number = "KX40000";
    return io;
  }
  void TearDown() override {
    board_session_close(&session);
    kxKovaIo_SleepSet(nullptr, nullptr);
    for (const auto &f : files) std::remove(f.c_str());
  }
  std::string file(const std::string &name, const std::string &text = "") {
    files.push_back(dir + "_" + name);
    if (!text.empty()) std::ofstream(files.back()) << text;
    return files.back();
  }
  // An image file from a SYN and a JA configuration, and its bytes as read for writing.
  std::string image(const std::string &name, bool reserve, std::vector<uint8_t> *bytes) {
    const std::string out = file(name);
    kova_eeprom_create_s c;
    EXPECT_TRUE(kova_eeprom_create_file({file("syn.mfg", config_script(kova_mode_syn_e)),
                                         file("ja.mfg", config_script(kova_mode_ja_e))},
                                        out, 200, 2048, reserve, &c))
        << c.text;
    eeprom_image_read_s r;
    eeprom_image_read_for_write(out, 2048, reserve, nullptr, nullptr, &r);
    EXPECT_EQ(r.status, eeprom_read_ok_e) << r.msg.text;
    *bytes = r.bytes;
    return out;
  }
};

TEST_F(EepromProgram, ChipEepromIsWrittenVerifiedBootedFromAndCompared) {
  const eeprom_io_s o = open("40000");
  ASSERT_EQ(std::make_pair(o.target, o.reserve12), std::make_pair(int32_t{eeprom_target_chip_e}, true));
  uint8_t *chip = kxemu_chip_eeprom(0);
  for (int p = 2036; p < 2048; ++p) chip[p] = static_cast<uint8_t>(0xA0 + p - 2036);  // factory data
  std::vector<uint8_t> want;
  const std::string hex = image("two.hex", true, &want);
  // Cancelled between pages: what was written stays, the rest is erased.
  const eeprom_result_s c = eeprom_program_file(o, hex, nullptr, [](uint32_t done, uint32_t) { return done < 512; });
  EXPECT_EQ(std::make_pair(c.status, c.bytes_done), std::make_pair(int32_t{eeprom_cancelled_e}, 512u));
  EXPECT_TRUE(std::equal(want.begin() + 1, want.begin() + 512, chip + 1));
  EXPECT_EQ(chip[512], 0xFF);

  std::vector<uint32_t> progress;
  const eeprom_result_s w = eeprom_program_file(o, hex, nullptr, [&](uint32_t done, uint32_t total) {
    EXPECT_EQ(total, 2036u);
    progress.push_back(done);
    return true;
  });
  ASSERT_EQ(w.status, eeprom_done_e) << w.msg.text;
  EXPECT_EQ(w.msg.text, "2036 bytes written to EEPROM. Read back and compared.");
  // One report per page of 32 bytes, from 0 to the whole.
  ASSERT_EQ(progress.size(), 2036u / 32 + 2);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ(progress.back(), 2036u);
  // Address 0 of the chip's EEPROM space is its selection register, which reads 0x01 there:
  // the image's first byte. The rest is stored; the factory data is left.
  ASSERT_EQ(want[0], 0x01);
  EXPECT_TRUE(std::equal(want.begin() + 1, want.end(), chip + 1));
  for (int p = 2036; p < 2048; ++p) EXPECT_EQ(chip[p], 0xA0 + p - 2036);
  EXPECT_EQ(eeprom_verify_file(o, hex, nullptr).msg.text, "Verified 509 data lines of " + hex);
  // A dump in each encoding verifies too.
  for (const char *ext : {"dump.txt", "dump.hex", "dump.rec"}) {
    const std::string dump = file(ext);
    EXPECT_EQ(eeprom_dump_file(o, dump, nullptr).msg.text, "Wrote 2048 bytes to " + dump);
    EXPECT_EQ(eeprom_verify_file(o, dump, nullptr).status, eeprom_done_e) << ext;
  }
  // A chip whose EEPROM holds a valid image configures itself from branch 0 (the SYN
  // configuration) when it comes out of reset, and sets its EEPROM offset registers.
  ASSERT_EQ(kxKovaIo_DutReset(&session.handle), 0u);
  std::vector<uint8_t> regs(KOVA_REG_COUNT);
  ASSERT_EQ(kxKovaIo_DutRegRead(&session.handle, 0, KOVA_REG_COUNT, regs.data()), 0u);
  // The script holds the registers that differ from their reset values; the last write of
  // each counts.
  const std::string syn = config_script(kova_mode_syn_e);
  std::map<uint32_t, uint32_t> last;
  for (const auto &l : lines_of(syn.substr(syn.find("; Register Sequences")))) {
    uint32_t a, v;
    if (ScriptWriteCommandParse(l, &a, &v) && a != 0x40E) last[a] = v;  // 0x40E: the DSP RAM port
  }
  ASSERT_GT(last.size(), 20u);
  for (const auto &[a, v] : last) {
    const uint32_t mask = a == 0x01B ? 0x1F : 0xFF;  // PACR1's one-shot bits are not held
    EXPECT_EQ(regs[a] & mask, v & mask) << "register 0x" << std::hex << a;
  }
  eeprom_decoded_s d;
  ASSERT_TRUE(eeprom_image_decode(want.data(), want.size(), &d));
  EXPECT_NE(d.branch_offset[0], 0);
  EXPECT_EQ(regs[1] | (regs[2] & 0x1F) << 8, d.branch_offset[0]);  // EEOFF0: branch 0's code

  chip[100] ^= 0x0F;
  chip[1500] ^= 0xFF;
  const eeprom_result_s v = eeprom_verify_file(o, hex, nullptr);
  EXPECT_EQ(v.status, eeprom_differs_e);
  EXPECT_EQ(v.compare.differ_count, 2u);
  char detail[96];
  std::snprintf(detail, sizeof detail, "First difference at address 0x0064: expected 0x%02X, found 0x%02X; 2 bytes differ.",
                want[100], want[100] ^ 0x0F);
  EXPECT_NE(v.msg.text.find(detail), std::string::npos) << v.msg.text;
  kxemu_unplug(0);
  const eeprom_result_s u = eeprom_verify_file(o, hex, nullptr);
  EXPECT_EQ(u.status, eeprom_unreadable_e);
  EXPECT_EQ(u.msg.text.rfind("Cannot read EEPROM: FT Error 0x04", 0), 0u) << u.msg.text;
}

// Board-EEPROM products use the chosen page size, and the written bytes are read back and
// compared, as a programmer does: a cell that did not take fails the write at its address.
TEST_F(EepromProgram, BoardEepromProductsWriteInTheirPagesAndCompare) {
  eeprom_io_s o = open("40110");
  ASSERT_EQ(std::make_pair(o.target, o.reserve12), std::make_pair(int32_t{eeprom_target_board_e}, false));
  o.page_size = 64;
  std::vector<uint8_t> want;
  const std::string hex = image("brd.hex", false, &want);
  int reports = 0;
  ASSERT_EQ(eeprom_program_file(o, hex, nullptr, [&](uint32_t, uint32_t) { return ++reports, true; }).status, eeprom_done_e);
  EXPECT_EQ(reports, 2048 / 64 + 1);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), kxemu_board_eeprom(0)));
  EXPECT_EQ(kxemu_chip_eeprom(0)[0], 0xFF);  // the chip's own EEPROM was not touched
  bool spoiled = false;
  const eeprom_result_s w = eeprom_program_file(o, hex, nullptr, [&](uint32_t done, uint32_t total) {
    if (done == total && !spoiled) kxemu_board_eeprom(0)[0x123] ^= 0x10, spoiled = true;  // once written
    return true;
  });
  EXPECT_EQ(w.status, eeprom_differs_e);
  EXPECT_EQ(w.msg.text.rfind("EEPROM write failed: the read-back differs at address 0x0123", 0), 0u) << w.msg.text;
}

}  // namespace
