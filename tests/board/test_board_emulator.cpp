// The emulated board end to end: failures in the middle of transfers and reconnection,
// several boards, the state kept between runs and the faults armed from outside.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "files/eeprom_image.h"
#include "hal/hal_api.h"
#include "tests/board/board_fixture.h"

namespace {

// The devices given, parsed, with a state file.
kxemu_config_s config(const char *devices, const std::string &state) {
  kxemu_config_s cfg{};
  std::snprintf(cfg.state_path, sizeof cfg.state_path, "%s", state.c_str());
  char err[512];
  EXPECT_TRUE(kxemu_config_parse(devices, &cfg, err, sizeof err)) << err;
  return cfg;
}

// kxemu_install's text, empty when it succeeded.
std::string install_error(const kxemu_config_s &cfg) {
  char err[512] = "";
  return kxemu_install(&cfg, err, sizeof err) ? "" : err;
}

void remove_state(const std::string &path) {
  std::remove(path.c_str());
  std::remove((path + ".lock").c_str());
}

using BoardFaults = open_board_fixture;

TEST_F(BoardFaults, AReadThatTimesOutIsAFailureNotStaleData) {
  arm({.read_timeout_after = 2});  // the two reads of one register read pass, the next read times out
  uint8_t v = 0x77;
  const uint64_t before = kxemu_clock_us();
  EXPECT_EQ(kxKovaIo_DutRegRead(&h, 0x030, 1, &v), 0u);  // two reads: status, then ID1
  EXPECT_EQ(v, 0x19);
  v = 0x77;
  EXPECT_EQ(kxKovaIo_DutRegRead(&h, 0x030, 1, &v), 1u);  // its status read times out
  EXPECT_EQ(FT_ERRNO, 4u);
  EXPECT_GE(kxemu_clock_us() - before, 1000000u);
  EXPECT_EQ(kxKovaIo_DutRegRead(&h, 0x030, 1, &v), 0u);  // one time-out only
  EXPECT_EQ(v, 0x19);
}

TEST_F(BoardFaults, AFailedDspLoadIsNamedAndLeavesTheChipInNormalMode) {
  arm({.read_timeout_after = 9});  // the status read before the data frame (fifth register write)
  const uint32_t words[2] = {1, 2};
  EXPECT_EQ(kxkovaio_DspRamWrite(&h, 0, 2, words, 7), 1u);
  EXPECT_EQ(FT_ERRNO, 4u);
  EXPECT_EQ(messages(), (messages_t{{"The DSP program load failed: read time-out: 0 of 1 bytes arrived", "DSP Load Error"}}));
  EXPECT_EQ(kxemu_dsp_ram(0)[0], 0u);
  EXPECT_EQ(chip_regs(0, {0x40B, 0x00A}), (bytes_t{0, 0}));
}

// Unplugging in the middle of a multi-block write at every possible transfer: the write
// fails with the driver's status, the handles stay until closed, a frame cut off is not
// carried out, and after reconnecting the chip holds the blocks written before the cut.
TEST_F(BoardFaults, UnplugAtEveryTransferOfAMultiBlockWriteThenReconnect) {
  const bytes_t old = pattern(256, 3), fresh = pattern(256, 4);
  ASSERT_EQ(kxKovaIo_DutEepromWrite(&h, 0x200, 256, old.data()), 0u);
  kxemu_stats_clear(0);
  ASSERT_EQ(kxKovaIo_DutEepromWrite(&h, 0x200, 256, fresh.data()), 0u);
  const auto full = kxemu_stats(0);
  const uint32_t transfers = static_cast<uint32_t>(full.writes + full.reads);
  ASSERT_EQ(kxKovaIo_DutEepromWrite(&h, 0x200, 256, old.data()), 0u);
  const uint8_t *ee = kxemu_chip_eeprom(0) + 0x200;

  uint32_t failures = 0;
  for (uint32_t n = 0; n < transfers + 5; ++n) {
    SCOPED_TRACE(n);
    arm({.unplug_after = static_cast<int32_t>(n)});
    if (kxKovaIo_DutEepromWrite(&h, 0x200, 256, fresh.data()) == 0) {
      // The emulated clock runs during polls, so one run may need fewer transfers.
      EXPECT_TRUE(kxemu_plugged(0));
      EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), ee));
    } else {
      ++failures;
      EXPECT_EQ(FT_ERRNO, FT_IO_ERROR);
      EXPECT_FALSE(kxemu_plugged(0));
      bool open = false;
      EXPECT_EQ(kxKovaIo_EvalBoardConnected(&h, &open), 0u);
      EXPECT_TRUE(open);  // the handles stay until the board is closed
      // Whole pages only: each 32-byte page is all old or all new, new ones first.
      uint32_t page = 0;
      while (page < 8 && std::equal(fresh.begin() + 32 * page, fresh.begin() + 32 * (page + 1), ee + 32 * page)) ++page;
      EXPECT_TRUE(std::equal(old.begin() + 32 * page, old.end(), ee + 32 * page));
      ASSERT_EQ(kxKovaIo_EvalBoardClose(&h), 0u);
      kxemu_replug(0);
      open_board();
      // Writing again finishes the job; then the old data goes back for the next round.
      ASSERT_EQ(kxKovaIo_DutEepromWrite(&h, 0x200, 256, fresh.data()), 0u);
      EXPECT_TRUE(std::equal(fresh.begin(), fresh.end(), ee));
    }
    kxemu_faults_set(0, nullptr);
    ASSERT_EQ(kxKovaIo_DutEepromWrite(&h, 0x200, 256, old.data()), 0u);
  }
  EXPECT_GE(failures, transfers - 4);
}

using BoardEmulator = board_fixture;

TEST_F(BoardEmulator, EachDeviceHasItsIdentityAndBadListsAreNamed) {
  const std::pair<const char *, uint8_t> devices[] = {
      {"40089", 0x71}, {"KX40110:0", 0x00}, {"40112", 0x21}, {"kx40075:1", 0x51}, {"40113:0", 0x30}};
  for (const auto &[list, id2] : devices) {
    install(list);
    EXPECT_EQ(chip_regs(0, {0x030, 0x031}), (bytes_t{0x19, id2})) << list;
  }
  kxemu_config_s cfg{};
  char err[256];
  const std::pair<const char *, const char *> bad[] = {
      {"", "''"}, {"foo", "'foo'"}, {"40001", "'40001'"}, {"40000:2", "'40000:2'"}, {"40000,", "''"}, {"KX", "'KX'"}};
  for (const auto &[list, named] : bad) {
    EXPECT_FALSE(kxemu_config_parse(list, &cfg, err, sizeof err)) << list;
    EXPECT_NE(std::string(err).find(named), std::string::npos) << err;
  }
}

TEST_F(BoardEmulator, SeveralBoardsAreListedAndKeptApart) {
  install("40000,40089:0");
  kxKovaIo_BoardListS list;
  ASSERT_EQ(kxKovaIo_BoardListRefresh(&list, nullptr, nullptr), 0u);
  ASSERT_EQ(list.count, 2u);
  EXPECT_EQ(list.boardInfo[1].locIdA, 0x1011u);
  char serial[FT_SERIAL_LEN];
  uint32_t type = 0, id = 0;
  ASSERT_EQ(FT_GetDeviceInfoDetail(2, nullptr, &type, &id, nullptr, serial, nullptr, nullptr), FT_OK);
  EXPECT_STREQ(serial, "EMU0001A");
  EXPECT_EQ(type, FT_DEVICE_2232H);
  EXPECT_EQ(id, 0x04036010u);  // the bridge's USB vendor and product
  open_board(1);
  uint8_t id2 = 0;
  ASSERT_EQ(kxKovaIo_DutRegRead(&h, 0x031, 1, &id2), 0u);
  EXPECT_EQ(id2, 0x70);
  const uint8_t v = 0xA5;
  ASSERT_EQ(kxKovaIo_DutRegWrite(&h, 0x300, 1, &v), 0u);
  EXPECT_EQ(kxemu_chip_regs(1)[0x300], 0xA5);
  EXPECT_EQ(kxemu_chip_regs(0)[0x300], 0x00);
  EXPECT_EQ(kxemu_wire_count(0, 0), 0u);
}

TEST_F(BoardEmulator, TheStateFileKeepsTheChipBetweenRuns) {
  const std::string path = temp_path("emu_state");
  remove_state(path);
  install("40000,40075", path.c_str());
  open_board(1);
  const bytes_t regs = pattern(16, 5), ee = pattern(64, 6), brd = pattern(40, 7);
  const std::vector<uint32_t> words = {0x111111, 0x222222, 0x333333, 0xFFFFFF};
  ASSERT_EQ(kxKovaIo_DutRegWrite(&h, 0x200, 16, regs.data()), 0u);
  ASSERT_EQ(kxKovaIo_DutEepromWrite(&h, 0x80, 64, ee.data()), 0u);
  ASSERT_EQ(kxKovaIo_EvalBrdEepromWrite(&h, 0x1234, 40, brd.data(), 16), 0u);
  ASSERT_EQ(kxkovaio_DspRamWrite(&h, 0, 4, words.data(), 0x4321), 0u);
  ASSERT_EQ(kxKovaIo_EvalBoardClose(&h), 0u);  // closing saves
  kxemu_remove();
  EXPECT_FALSE(std::ifstream(path + ".tmp." + std::to_string(getpid())).good());  // written through a renamed temporary

  install("40000,40075", path.c_str());
  open_board(1);
  bytes_t back(16), ee_back(64), brd_back(40);
  std::vector<uint32_t> words_back(4);
  ASSERT_EQ(kxKovaIo_DutRegRead(&h, 0x200, 16, back.data()), 0u);
  ASSERT_EQ(kxKovaIo_DutEepromRead(&h, 0x80, 64, ee_back.data()), 0u);
  ASSERT_EQ(kxKovaIo_EvalBrdEepromRead(&h, 0x1234, 40, brd_back.data()), 0u);
  ASSERT_EQ(kxkovaio_DspRamRead(&h, 0, 4, words_back.data()), 0u);
  EXPECT_EQ(std::tuple(back, ee_back, brd_back, words_back), std::tuple(regs, ee, brd, words));
  EXPECT_EQ(kxemu_chip_regs(1)[0x032], 0x21);
  EXPECT_EQ(kxemu_chip_regs(0)[0x200], 0x00);  // board 0 untouched
  kxKovaIo_EvalBoardClose(&h);
  kxemu_remove();

  // Another device in the same slot is refused with a text naming the file.
  const std::string err = install_error(config("40000,40089", path));
  EXPECT_NE(err.find(path), std::string::npos) << err;
  EXPECT_NE(err.find("KX40075"), std::string::npos) << err;
  EXPECT_FALSE(kxemu_active());
  // Under a name of one character, and for fewer boards than the file holds (those named
  // are loaded).
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(::testing::TempDir().c_str()), 0);
  ASSERT_EQ(std::rename(path.c_str(), "k"), 0);
  install("40000,40075", "k");
  EXPECT_EQ(kxemu_chip_regs(1)[0x200], regs[0]);
  kxemu_remove();
  install("40000", "k");
  EXPECT_TRUE(kxemu_active());
  kxemu_remove();
  remove_state("k");
  remove_state(path);
  ASSERT_EQ(chdir(cwd), 0);
  install();
}

TEST_F(BoardEmulator, ACorruptStateFileIsAnErrorNamingIt) {
  const std::string path = temp_path("emu_corrupt");
  remove_state(path);
  install("40000", path.c_str());
  ASSERT_TRUE(kxemu_state_save(nullptr, 0));
  kxemu_remove();
  std::stringstream saved;
  saved << std::ifstream(path).rdbuf();
  const std::string good = saved.str();
  std::string bad_hex = good;
  bad_hex[bad_hex.find("chip-eeprom") + 20] = 'G';
  const std::pair<std::string, const char *> cases[] = {
      {"", "line 1"},
      {"garbage\n", "not an emulated board state file"},
      {good.substr(0, good.size() / 2), "corrupt"},
      {bad_hex, "line 69"},
      {good + "more\n", "after"},
  };
  for (const auto &[text, says] : cases) {
    SCOPED_TRACE(text.substr(0, 60));
    std::ofstream(path) << text;
    const std::string err = install_error(config("40000", path));
    EXPECT_NE(err.find(path), std::string::npos) << err;  // never empty: the install failed
    EXPECT_NE(err.find(says), std::string::npos) << err;
  }
  remove_state(path);
}

// Like a real board, the boards of a state file belong to one process at a time: a second
// process is told "board busy" instead of loading a state the first one will overwrite
// when it ends.
TEST_F(BoardEmulator, AnotherProcessFindsTheBoardBusy) {
  const std::string path = temp_path("emu_shared");
  kxemu_remove();
  const kxemu_config_s cfg = config("40000", path);
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t child = fork();
  if (child == 0) {
    const char ok = install_error(cfg).empty();
    (void)!write(ready[1], &ok, 1);
    char c;
    (void)!read(done[0], &c, 1);
    _exit(0);
  }
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  ASSERT_TRUE(ok);
  EXPECT_EQ(install_error(cfg).rfind("board busy: ", 0), 0u);
  (void)!write(done[1], "x", 1);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(install_error(cfg), "");  // free again once it ended
  remove_state(path);
}

// The products whose chip boots from the board EEPROM (product indices 0 and 2) load
// branch 0 from there when the chip comes out of reset; the others from the chip's own.
TEST_F(BoardEmulator, TheChipBootsFromTheEepromOfItsProduct) {
  auto m = std::make_unique<kova_mfg_data_s>();
  auto ee = std::make_unique<kova_eeprom_data_s>();
  kova_mfg_clear(m.get());
  m->present = 1;
  kova_mfg_parse_text(m.get(), "X , 0X200 , 0X5A\n");
  kova_mfg_data_s *const in[KOVA_EEPROM_BRANCHES] = {m.get(), nullptr, nullptr, nullptr};
  kova_eeprom_build(ee.get(), in, 200, 2048, 0);
  const bytes_t img(ee->image, ee->image + ee->image_len);
  const std::pair<const char *, bool> products[] = {{"40110", true}, {"40112", true}, {"40111", false}, {"40000", false}};
  for (const auto &[device, board_eeprom] : products) {
    SCOPED_TRACE(device);
    install(device);
    std::copy(img.begin(), img.end(), board_eeprom ? kxemu_chip_eeprom(0) : kxemu_board_eeprom(0));
    kxemu_chip_reset(0);
    EXPECT_EQ(kxemu_chip_regs(0)[0x200], kova_regs_defaults(0x200));  // not the boot EEPROM
    std::copy(img.begin(), img.end(), board_eeprom ? kxemu_board_eeprom(0) : kxemu_chip_eeprom(0));
    kxemu_chip_reset(0);
    EXPECT_EQ(kxemu_chip_regs(0)[0x200], 0x5A);
  }
}

TEST(BoardFaultInjection, FaultsArmedFromOutside) {
  // The faults read, as "unplug short-write time-out x time-outs chip-busy board-busy"; from
  // a time-out on, every read times out (0 time-outs: no end).
  const auto text = [](const kxemu_faults_s &f) {
    return std::to_string(f.unplug_after) + " " + std::to_string(f.short_write_after) + " " +
           std::to_string(f.read_timeout_after) + "x" + std::to_string(f.read_timeouts) + " " +
           std::to_string(f.chip_eeprom_stuck_busy) + std::to_string(f.board_eeprom_stuck_busy);
  };
  const std::pair<const char *, const char *> cases[] = {
      {"unplug@37", "37 -1 -1x1 00"},
      {"short-write@12", "-1 12 -1x1 00"},
      {"read-timeout@5, eeprom-busy", "-1 -1 5x0 11"},
      {"unplug@0,short-write@3", "0 3 -1x1 00"},
  };
  char err[256] = "";
  for (const auto &[given, read] : cases) {
    kxemu_faults_s f;
    ASSERT_TRUE(kxemu_faults_parse(given, &f, err, sizeof err)) << err;
    EXPECT_EQ(text(f), read) << given;
  }
  for (const char *given : {"unplug", "unplug@x", "eeprom-busy@2", "melt@1", "unplug@1,"}) {
    kxemu_faults_s f;
    EXPECT_FALSE(kxemu_faults_parse(given, &f, err, sizeof err)) << given;
    EXPECT_NE(std::string(err).find("bad fault"), std::string::npos) << err;
  }
}

}  // namespace
