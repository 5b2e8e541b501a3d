// Opening a board for a command: the --board selector, the driver set-up around the
// connection (trace, connection log, state file) and what is left behind after a failure.
#include "app/board_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <tuple>

#include "board/kxemu.h"
#include "tests/app/app_test_util.h"

namespace {

struct BoardSession : ::testing::Test {
  void SetUp() override {
    unsetenv("KOVA_EMULATED_BOARD");
    unsetenv("KOVA_EMULATED_BOARD_STATE");
    unsetenv("KOVA_USB_TRACE");
  }
  void TearDown() override { kxemu_remove(); }
  // Emulated boards EMU0000A at 0x1001, EMU0001A at 0x1011, EMU0002A at 0x1021.
  std::unique_ptr<kxKovaIo_BoardListS> three_boards() {
    kxemu_config_s cfg{};
    char err[1200];
    EXPECT_TRUE(kxemu_config_parse("40000,40000,40089:0", &cfg, err, sizeof err)) << err;
    EXPECT_TRUE(kxemu_install(&cfg, err, sizeof err)) << err;
    auto list = std::make_unique<kxKovaIo_BoardListS>();
    EXPECT_EQ(kxKovaIo_BoardListRefresh(list.get(), nullptr, nullptr), 0u);
    EXPECT_EQ(list->count, 3u);
    return list;
  }
  static board_session_opts_s emulated(const char *devices) {
    board_session_opts_s o;
    o.emulator = true;
    o.emulator_devices = devices;
    return o;
  }
  board_session_s s;
  std::string err;
};

TEST_F(BoardSession, SelectorNamesAnIndexASerialOrALocation) {
  auto list = three_boards();
  const std::pair<const char *, int32_t> cases[] = {
      {"", 0},          {"2", 2},           {"EMU0001A", 1},    {"EMU0001", 1},     {"0x1021", 2},
      {"4113", 1},      {"3", -1},          {"emu0001a", -1},   {"0x", -1},         {"0x1011z", -1},
      {"+1", -1},       {" 1", -1},         {"0x100001011", -1},  // nine hex digits: not 0x1011 cut short
      {"4294971409", -1},                                          // 0x100001011 in decimal
  };
  for (const auto &[sel, want] : cases) EXPECT_EQ(board_session_find(*list, sel), want) << "'" << sel << "'";
  kxKovaIo_BoardListS empty{};
  EXPECT_EQ(board_session_find(empty, ""), -1);
  // An index wins over a location; hex is always a location.
  list->boardInfo[0].locIdA = 2;
  list->boardInfo[1].locIdA = 7;
  EXPECT_EQ(board_session_find(*list, "2"), 2);
  EXPECT_EQ(board_session_find(*list, "7"), 1);
  EXPECT_EQ(board_session_find(*list, "0x2"), 0);
}

TEST_F(BoardSession, FailuresTellOptionsFromBoardsAndLeaveNothingInstalled) {
  const struct {
    const char *devices, *board;
    std::string trace, usb_log, state;
    board_session_failure_e want;
    const char *text;
  } cases[] = {
      {"40001", "", "", "", "", board_session_bad_option_e, "--emulator: "},
      {"40000", "1", "", "", "", board_session_board_e, "--board: no evaluation board '1' (1 listed): "},
      {"40000", "", "/nonexistent-dir/trace.txt", "", "", board_session_bad_option_e,
       "--usb-trace: cannot create /nonexistent-dir/trace.txt: "},
      {"40000", "", "", "/nonexistent-dir/usb.log", "", board_session_bad_option_e,
       "--usb-log: cannot write /nonexistent-dir/usb.log: "},
      // A state that could never be saved is refused before any work is done.
      {"40000", "", "", "", "/nonexistent-dir/state", board_session_board_e, ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    board_session_opts_s o = emulated(c.devices);
    o.board = c.board;
    o.trace = c.trace;
    o.usb_log = c.usb_log;
    o.emulator_state = c.state;
    s = board_session_s{};
    EXPECT_FALSE(board_session_open(o, &s, &err));
    EXPECT_EQ(s.failure, c.want) << err;
    EXPECT_EQ(err.rfind(c.text, 0), 0u) << err;
    if (!c.state.empty()) {
      EXPECT_NE(err.find(c.state + ".lock"), std::string::npos) << err;
    }
    EXPECT_FALSE(kxemu_active());
    EXPECT_FALSE(s.emulator_installed || s.trace_opened || s.libftdi_installed);
  }
}

// The session removes the emulator it installed, and its trace and connection log end with
// it: a later session without them leaves the files alone. It uses and keeps an emulator the
// program installed itself.
TEST_F(BoardSession, WhatASessionSetsUpEndsWithIt) {
  const std::string trace = ::testing::TempDir() + "/board_session_trace_" + std::to_string(getpid());
  const std::string log = trace + ".log";
  board_session_opts_s o = emulated("40000,40089:0");
  o.board = "EMU0001";
  o.trace = trace;
  o.usb_log = log;
  ASSERT_TRUE(board_session_open(o, &s, &err)) << err;
  EXPECT_EQ(std::make_tuple(s.board_index, s.product_index, s.revision), std::make_tuple(1, 7, 0));
  EXPECT_TRUE(board_session_close(&s, &err)) << err;
  EXPECT_FALSE(kxemu_active());
  const std::string traced = temp_log_s::read(trace), logged = temp_log_s::read(log);
  EXPECT_TRUE(traced.ends_with("\nA R 70\n")) << traced;  // ID2 of a KX40089 revision 0
  EXPECT_NE(logged.find("Board query: 4 FTDI channels found"), std::string::npos) << logged;
  o.trace.clear();
  o.usb_log.clear();
  o.read_id = false;
  ASSERT_TRUE(board_session_open(o, &s, &err)) << err;
  EXPECT_EQ(s.product_index, -1);
  board_session_close(&s);
  EXPECT_EQ(temp_log_s::read(trace), traced);
  EXPECT_EQ(temp_log_s::read(log), logged);
  std::remove(trace.c_str());
  std::remove(log.c_str());
  three_boards();
  board_session_opts_s none;
  none.board = "2";
  ASSERT_TRUE(board_session_open(none, &s, &err)) << err;
  EXPECT_EQ(std::make_tuple(s.board_index, s.product_index, s.emulator_installed), std::make_tuple(2, 7, false));
  board_session_close(&s);
  EXPECT_TRUE(kxemu_active());
}

}  // namespace
