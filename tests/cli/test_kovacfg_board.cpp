// kovacfg board as a user runs it, on emulated boards (and on the USB with no board).
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <regex>
#include <string>

namespace {

using namespace kovacfg_test;

// The board tests give the environment first.
run_result_s run_in(const std::string &env, const std::string &args) { return kovacfg_test::run(args, env); }

TEST(KovacfgBoard, ListsAndReadsOfRealAndEmulatedBoards) {
  const auto none = run_in("", "board list");
  EXPECT_EQ(none.status, 0) << none.err;
  EXPECT_TRUE(has(none.out, "No evaluation board found")) << none.out;
  EXPECT_EQ(run_in("", "board read 30 1").status, 4);
  const auto r = run_in("", "board list --emulator=40000,40089");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\n1 +2/3 +0x00001011 +EMU0001A +Kova Emulated Board A\n)"))) << r.out;
  EXPECT_EQ(run_in("KOVA_EMULATED_BOARD=40112", "board read 30 2").out, "0x030: 19 21\n");
  EXPECT_EQ(run_in("", "board read 0x30 2 --emulator").out, "0x030: 19 71\n");  // the default, KX40089 revision 1
  // The board is chosen with --board (the selector's forms are the session's tests); the
  // first by default.
  EXPECT_EQ(run_in("", "board read 31 1 --emulator=40000,40089:0 --board EMU0001A").out, "0x031: 70\n");
  EXPECT_EQ(run_in("", "board read 31 1 --emulator=40000,40089:0").out, "0x031: 81\n");
}

TEST(KovacfgBoard, TheStateFileKeepsTheChipBetweenCommands) {
  const std::string state = tmp("board_state");
  const std::string env = "KOVA_EMULATED_BOARD=40000 KOVA_EMULATED_BOARD_STATE=" + state;
  ASSERT_EQ(run_in(env, "board write 200 12 34 56").status, 0);
  EXPECT_EQ(run_in(env, "board read 200 3").out, "0x200: 12 34 56\n");
  // A write across a page boundary of the chip's EEPROM lands whole.
  EXPECT_EQ(run_in(env, "board write 1E 1 2 3 4 --eeprom").out, "Wrote 4 bytes at 0x001E.\n");
  EXPECT_EQ(run_in(env, "board read 1C 8 --eeprom").out, "0x001C: FF FF 01 02 03 04 FF FF\n");
  ASSERT_EQ(run_in(env, "board write 3FE A B C --board-eeprom --page-size 16").status, 0);
  EXPECT_EQ(run_in(env, "board read 3FE 3 --board-eeprom").out, "0x03FE: 0A 0B 0C\n");
  // A reset brings the registers back to their defaults; the EEPROMs keep their bytes.
  EXPECT_EQ(run_in(env, "board reset").out, "Chip reset.\n");
  EXPECT_EQ(run_in(env, "board read 200 3").out, "0x200: 00 00 00\n");
  EXPECT_EQ(run_in(env, "board read 20 2 --eeprom").out, "0x0020: 03 04\n");
  // Without the state file every command starts from a fresh chip.
  EXPECT_EQ(run_in("KOVA_EMULATED_BOARD=40000", "board read 20 2 --eeprom").out, "0x0020: FF FF\n");
}

// The trace of the option ends with the last transfer; one that cannot be written to the end
// fails the command; the connection log only when asked.
TEST(KovacfgBoard, TheUsbTraceIsCompleteOrTheCommandFails) {
  const std::string trace = tmp("trace"), log = tmp("UsbConnLog");
  ASSERT_EQ(run_in("", "board read 31 1 --emulator=40000 --usb-trace " + trace).status, 0);
  EXPECT_EQ(lines_of(trace).back(), "A R 81");
  const auto full = run_in("KOVA_USB_TRACE=/dev/full", "board read 31 1 --emulator=40000");
  EXPECT_EQ(full.status, 1);
  EXPECT_TRUE(has(full.err, "the USB trace /dev/full could not be written: No space left on device")) << full.err;
  ASSERT_EQ(run_in("", "board list --emulator=40000,40000 --usb-log " + log).status, 0);
  const auto logged = lines_of(log);
  ASSERT_EQ(logged.size(), 6u);
  EXPECT_TRUE(std::regex_match(logged[1], std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d: Board query: 4 FTDI channels found)")));
}

}  // namespace
