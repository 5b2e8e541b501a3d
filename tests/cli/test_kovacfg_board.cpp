// kovacfg board as a user runs it, on emulated boards (and on the USB with no board).
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace kovacfg_test;

// The board tests give the environment first.
run_result_s run(const std::string &env, const std::string &args) { return kovacfg_test::run(args, env); }

std::string temp(const char *name) { return ::testing::TempDir() + "/" + name + "_" + std::to_string(getpid()); }

std::vector<std::string> lines_of(const std::string &path) {
  std::ifstream in(path);
  std::vector<std::string> out;
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}


TEST(KovacfgBoard, WithoutBoardsTheListIsEmpty) {
  const auto r = run("", "board list");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("No evaluation board found"), std::string::npos) << r.out;
  const auto read = run("", "board read 30 1");
  EXPECT_EQ(read.status, 4);
  EXPECT_NE(read.err.find("no evaluation board found"), std::string::npos) << read.err;
}

TEST(KovacfgBoard, EmulatedBoardsAreListedLikeRealOnes) {
  const auto r = run("", "board list --emulator=40000,40089");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\n0 +0/1 +0x00001001 +EMU0000A +Kova Emulated Board A\n)"))) << r.out;
  EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\n1 +2/3 +0x00001011 +EMU0001A +Kova Emulated Board A\n)"))) << r.out;
  const auto env = run("KOVA_EMULATED_BOARD=40112", "board list");
  EXPECT_EQ(env.status, 0);
  EXPECT_EQ(count_lines(env.out), 2) << env.out;
  const auto plain = run("", "board list --emulator");
  EXPECT_NE(plain.out.find("EMU0000A"), std::string::npos);
}

TEST(KovacfgBoard, ReadsShowTheChipsRegisters) {
  const auto r = run("KOVA_EMULATED_BOARD=40112", "board read 30 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "0x030: 19 21\n");
  const auto def = run("", "board read 0x30 2 --emulator");  // the default device, KX40089 revision 1
  EXPECT_EQ(def.out, "0x030: 19 71\n");
  const auto many = run("", "board read 0 18 --emulator");
  EXPECT_EQ(count_lines(many.out), 2);
  EXPECT_EQ(many.out.substr(0, 7), "0x000: ");
}

TEST(KovacfgBoard, BoardIsChosenByIndexSerialOrLocation) {
  for (const char *sel : {"1", "EMU0001A", "EMU0001", "0x1011", "4113"}) {
    const auto r = run("", std::string("board read 31 1 --emulator=40000,40089:0 --board ") + sel);
    EXPECT_EQ(r.status, 0) << sel << ": " << r.err;
    EXPECT_EQ(r.out, "0x031: 70\n") << sel;
  }
  const auto first = run("", "board read 31 1 --emulator=40000,40089:0");
  EXPECT_EQ(first.out, "0x031: 81\n");
  const auto none = run("", "board read 31 1 --emulator=40000 --board EMU0009A");
  EXPECT_EQ(none.status, 4);
  EXPECT_NE(none.err.find("--board"), std::string::npos) << none.err;
}

TEST(KovacfgBoard, TheStateFileKeepsTheChipBetweenCommands) {
  const std::string state = temp("board_state");
  std::remove(state.c_str());
  const std::string env = "KOVA_EMULATED_BOARD=40000 KOVA_EMULATED_BOARD_STATE=" + state;
  ASSERT_EQ(run(env, "board write 200 12 34 56").status, 0);
  EXPECT_EQ(run(env, "board read 200 3").out, "0x200: 12 34 56\n");
  // A write across a page boundary of the chip's EEPROM lands whole.
  const auto ee = run(env, "board write 1E 1 2 3 4 --eeprom");
  EXPECT_EQ(ee.out, "Wrote 4 bytes at 0x001E.\n");
  EXPECT_EQ(run(env, "board read 1C 8 --eeprom").out, "0x001C: FF FF 01 02 03 04 FF FF\n");
  ASSERT_EQ(run(env, "board write 3FE A B C --board-eeprom --page-size 16").status, 0);
  EXPECT_EQ(run(env, "board read 3FE 3 --board-eeprom").out, "0x03FE: 0A 0B 0C\n");
  // A reset brings the registers back to their defaults; the EEPROMs keep their bytes.
  const auto reset = run(env, "board reset");
  EXPECT_EQ(reset.status, 0) << reset.err;
  EXPECT_EQ(reset.out, "Chip reset.\n");
  EXPECT_EQ(run(env, "board read 200 3").out, "0x200: 00 00 00\n");
  EXPECT_EQ(run(env, "board read 20 2 --eeprom").out, "0x0020: 03 04\n");
  // Without the state file every command starts from a fresh chip.
  EXPECT_EQ(run("KOVA_EMULATED_BOARD=40000", "board read 20 2 --eeprom").out, "0x0020: FF FF\n");
  std::remove(state.c_str());
  std::remove((state + ".lock").c_str());
}

TEST(KovacfgBoard, ACorruptStateFileIsABoardFailureNamingTheFile) {
  const std::string state = temp("board_state_bad");
  std::ofstream(state) << "KOVA EMULATED BOARD STATE 1\nboard 0 KX40000 rev 1\nchip-registers 2048\n00\n";
  const auto r = run("KOVA_EMULATED_BOARD=40000 KOVA_EMULATED_BOARD_STATE=" + state, "board read 0 1");
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find(state), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("line 4"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
  std::remove(state.c_str());
}

// The trace of the option and of the environment are the same; a trace that cannot be
// written to the end fails the command.
TEST(KovacfgBoard, TheUsbTraceIsCompleteOrTheCommandFails) {
  const std::string trace = temp("trace");
  ASSERT_EQ(run("", "board read 31 1 --emulator=40000 --usb-trace " + trace).status, 0);
  const auto lines = lines_of(trace);
  EXPECT_EQ(lines.back(), "A R 81");
  ASSERT_EQ(run("KOVA_USB_TRACE=" + trace, "board read 31 1 --emulator=40000").status, 0);
  EXPECT_EQ(lines_of(trace), lines);
  std::remove(trace.c_str());
  for (const bool option : {true, false}) {
    const auto r = run(option ? "" : "KOVA_USB_TRACE=/dev/full",
                       std::string("board read 31 1 --emulator=40000") + (option ? " --usb-trace /dev/full" : ""));
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_NE(r.err.find("the USB trace /dev/full could not be written: No space left on device"), std::string::npos)
        << r.err;
  }
}

TEST(KovacfgBoard, TheUsbLogIsWrittenOnlyWhenAsked) {
  const std::string log = temp("UsbConnLog");
  std::remove(log.c_str());
  ASSERT_EQ(run("", "board list --emulator=40000,40000").status, 0);
  EXPECT_FALSE(std::ifstream(log).good());
  ASSERT_EQ(run("", "board list --emulator=40000,40000 --usb-log " + log).status, 0);
  const auto lines = lines_of(log);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d: Form opened)"))) << lines[0];
  EXPECT_NE(lines[1].find(": Board query: 4 FTDI channels found"), std::string::npos) << lines[1];
  EXPECT_NE(lines[5].find(": Channel 3: FT2232 B Channel"), std::string::npos) << lines[5];
  std::remove(log.c_str());
}

TEST(KovacfgBoard, BadOptionsGiveOneLineAndStatusTwo) {
  const struct {
    const char *env;
    const char *args;
    const char *names;
  } cases[] = {
      {"", "board read 800 1 --emulator", "ADDR"},
      {"", "board read xyz 1 --emulator", "ADDR"},
      {"", "board read 7FF 2 --emulator", "COUNT"},
      {"", "board read 0 0 --emulator", "COUNT"},
      {"", "board read 0 65537 --eeprom --emulator", "COUNT"},
      {"", "board write 0 100 --emulator", "BYTE"},
      {"", "board write FFFF 1 2 --eeprom --emulator", "BYTE"},
      {"", "board write 0 1 --page-size 512 --board-eeprom --emulator", "--page-size"},
      {"", "board read 0 1 --eeprom --board-eeprom --emulator", "--eeprom"},
      {"", "board read 0 1 --bogus", "--bogus"},
      {"", "board read 0 1 --emulator=40001", "--emulator"},
      {"", "board read 0 1 --emulator --usb-trace /nonexistent-dir/t.txt", "--usb-trace"},
      {"", "board list --emulator --usb-log /nonexistent-dir/x.log", "--usb-log"},
      {"KOVA_EMULATED_BOARD=KX1", "board list", "KOVA_EMULATED_BOARD"},
      {"KOVA_USB_TRACE=/nonexistent-dir/t.txt", "board list --emulator", "KOVA_USB_TRACE"},
      {"KOVA_EMULATED_BOARD_FAULT=melt@1", "board list --emulator", "KOVA_EMULATED_BOARD_FAULT"},
  };
  for (const auto &c : cases) {
    const auto r = run(c.env, c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(count_lines(r.err), 1) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.names), std::string::npos) << c.args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args << ": " << r.out;
  }
}

}  // namespace
