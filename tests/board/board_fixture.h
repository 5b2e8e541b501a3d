// Shared set-up of the board tests: emulated boards installed per test, waits recorded
// instead of slept, the bytes each channel received, and the queued messages.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "board/ft_driver.h"
#include "board/kxemu.h"
#include "board/kxkovaio.h"

using bytes_t = std::vector<uint8_t>;
using messages_t = std::vector<std::pair<std::string, std::string>>;

// n bytes of a pseudo-random pattern.
inline bytes_t pattern(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  bytes_t b(n);
  for (auto &x : b) x = static_cast<uint8_t>(rng());
  return b;
}

// A file name in the test's temporary folder, unique to this process.
inline std::string temp_path(const std::string &name) {
  return ::testing::TempDir() + "/" + name + "_" + std::to_string(getpid());
}

// The lines of a text file, which is removed.
inline std::vector<std::string> take_lines(const std::string &path) {
  std::vector<std::string> lines;
  {
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
  }
  std::remove(path.c_str());
  return lines;
}

struct board_fixture : ::testing::Test {
  std::vector<uint32_t> sleeps;
  kxKovaIo_HandleS h{};

  static void record_sleep(uint32_t ms, void *ctx) { static_cast<board_fixture *>(ctx)->sleeps.push_back(ms); }

  void install(const char *devices = "40000", const char *state = "") {
    kxemu_config_s cfg{};
    std::snprintf(cfg.state_path, sizeof cfg.state_path, "%s", state);
    char err[512];
    ASSERT_TRUE(kxemu_config_parse(devices, &cfg, err, sizeof err)) << err;
    ASSERT_TRUE(kxemu_install(&cfg, err, sizeof err)) << err;
  }

  // Arms faults on a board (designated fields, the rest left at "never").
  static void arm(const kxemu_faults_s &f, uint32_t board = 0) { kxemu_faults_set(board, &f); }

  void SetUp() override {
    kxKovaIo_MessagesClear();
    kxKovaIo_SleepSet(record_sleep, this);
    FT_ERRNO = 0;
    BoardMode = kxKovaIo_BoardModeNone;
    install();
  }

  void TearDown() override {
    kxKovaIo_EvalBoardClose(&h);
    kxemu_remove();
    kxKovaIo_SleepSet(nullptr, nullptr);
    kxKovaIo_MessagesClear();
  }

  // Opens board b (channels 2b and 2b + 1) routed to the chip, and forgets what the
  // channels received so far.
  void open_board(uint32_t b = 0) {
    uint32_t n = 0;
    ASSERT_EQ(kxKovaIo_ChannelCount(&n), 0u);
    ASSERT_EQ(kxKovaIo_EvalBoardOpen(2 * b, 2 * b + 1, &h), 0u) << "FT_ERRNO " << FT_ERRNO;
    ASSERT_EQ(kxkovaio_SelectFtdi2Dut(&h), FT_OK);
    kxemu_wire_clear(b);
    kxemu_stats_clear(b);
    sleeps.clear();
    kxKovaIo_MessagesClear();
  }

  static std::vector<bytes_t> wire(uint32_t board, uint32_t channel) {
    std::vector<bytes_t> out;
    for (uint32_t i = 0; i < kxemu_wire_count(board, channel); ++i) {
      const uint8_t *p;
      uint32_t n;
      kxemu_wire_get(board, channel, i, &p, &n);
      out.emplace_back(p, p + n);
    }
    return out;
  }

  static messages_t messages() {
    messages_t out;
    kxKovaIo_MessageS m;
    while (kxKovaIo_MessageGet(&m)) out.emplace_back(m.text, m.title);
    return out;
  }
};

// The emulated chip's registers at the addresses given.
inline bytes_t chip_regs(uint32_t board, std::initializer_list<uint32_t> addrs) {
  bytes_t out;
  for (uint32_t a : addrs) out.push_back(kxemu_chip_regs(board)[a]);
  return out;
}

// The tests that start with board 0 open and routed to the chip.
struct open_board_fixture : board_fixture {
  void SetUp() override {
    board_fixture::SetUp();
    open_board();
  }
};
