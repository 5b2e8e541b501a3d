// kovacfg eeprom and kovacfg run as a user runs them: images built, shown, written to an
// emulated board, read back and verified; scripts run offline and on a board.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace kovacfg_test;

bool contains(const std::string &s, const std::string &what) { return s.find(what) != std::string::npos; }

struct KovacfgEeprom : ::testing::Test {
  std::vector<std::string> made;
  std::string path(const std::string &name) {
    made.push_back(tmp("ee_" + name));
    return made.back();
  }
  std::string write(const std::string &name, const std::string &text) {
    path(name);
    return write_tmp("ee_" + name, text);
  }
  void TearDown() override {
    for (const auto &f : made) std::remove(f.c_str());
  }
  // A synthesis-like script and one with a short DSP section.
  std::string syn() {
    return write("syn.mfg",
                 "; Device Type : 40000\n; OC1 Output Frequency Hz =    156250000 * (1) / (1)\n; Register Sequences\n"
                 "X , 0X0009 , 0X85 ; MCR1\nX , 0X0100 , 0X01 ; APLLCR1\nX , 0X0101 , 0X02\nX , 0X0102 , 0X03\n"
                 "W , 10000\nX , 0X000B , 0X01 ; PLLEN\n");
  }
  std::string ja() {
    std::string s = "; Device Type : 40000\n; DSP Code segment start\nX , 0X040B , 0X0C\nX , 0X040E , 0X00\n"
                    "X , 0X040E , 0X00\nX , 0X040B , 0X0D\nX , 0X040E , 0X01 ; Write DSPID LSB\n"
                    "X , 0X040E , 0X00 ; Write DSPID MSB\n";
    for (int b = 0; b < 6; ++b)
      s += "X , 0X040E , 0X1" + std::to_string(b) + (b < 5 ? " ; DSP Addr 0X000 Byte" + std::to_string(b % 3) : " ; DSP Addr 0X13F Byte2") + "\n";
    s += "X , 0X040B , 0X00\n; DSP Code segment stop\n\n; Register Sequences\nX , 0X0400 , 0X11\nW , 1000\nX , 0X000C , 0X07\n";
    return write("ja.mfg", s);
  }
};

}  // namespace

// Whatever the error, the output keeps what it held, and every bad line is named.
TEST_F(KovacfgEeprom, BuildRefusesBadInputsAndWritesNothingOnAnError) {
  const std::string s = syn(), out = path("img.hex");
  EXPECT_EQ(run("eeprom build --format hex -o " + path("img.rec") + " " + s).status, 2);
  EXPECT_EQ(run("eeprom build --size 1000 -o " + out + " " + s).status, 2);
  const std::string bad = write("bad.mfg", "X , 0X100 , 0X01\nX , 0X4000 , 0X01\nW , -5\nX , 0X1\n");
  const struct {
    std::string script;
    std::vector<std::string> said;
  } cases[] = {
      {write("gui.txt", "kova_hal_api_version 0x09111400\n"), {"appear to be GUI configuration files"}},
      {bad, {bad + ":2: register address above 0x3FFF", bad + ":3: negative wait", bad + ":4: malformed register write"}},
      {path("missing.mfg"), {"Could not open"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.script);
    std::ofstream(out) << "the previous image\n";
    const auto r = run("eeprom build -o " + out + " " + c.script + " " + s);
    EXPECT_EQ(r.status, 1);
    for (const auto &line : c.said) EXPECT_TRUE(contains(r.err, line)) << r.err;
    EXPECT_EQ(read_all(out), "the previous image\n");
  }
}

TEST_F(KovacfgEeprom, DamagedFilesAreRefusedWithTheirFault) {
  const std::string hex = path("img.hex"), bytes = path("img.txt");
  ASSERT_EQ(run("eeprom build -o " + hex + " " + syn()).status, 0);
  ASSERT_EQ(run("eeprom build -o " + bytes + " " + syn()).status, 0);
  std::string text = read_all(hex);
  const size_t at = text.find("\n:04");
  text[at + 12] = text[at + 12] == '0' ? '1' : '0';  // a data digit: the record's checksum no longer fits
  auto r = run("eeprom show " + write("bad.hex", text));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "checksum")) << r.err;
  // A byte list changed by hand: the image's own checksum is wrong. It is not programmed
  // unless the user insists.
  text = read_all(bytes);
  size_t b = 0;  // the 21st data byte, in branch 0's code
  for (int data_line = 0; data_line <= 20;) {
    b = text.find('\n', b) + 1;
    if (text[b] != ';') ++data_line;
  }
  text[b + 1] = text[b + 1] == '0' ? '1' : '0';
  const std::string changed = write("changed.txt", text);
  EXPECT_TRUE(contains(run("eeprom show " + changed).out, "WRONG"));
  r = run("eeprom write " + changed + " --emulator=40000");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, changed + " is not a sound boot image: checksum")) << r.err;
  EXPECT_EQ(run("eeprom write " + changed + " --emulator=40000 --force").status, 0);
}

// Built, written, read and verified with the default options on a product that boots from
// the board EEPROM, whose state file keeps the EEPROM from one run to the next: the commands
// agree on the same file, and the chip boots from it after a reset.
TEST_F(KovacfgEeprom, WriteReadVerifyAndBootOnAnEmulatedBoard) {
  const std::string img = path("img.rec"), other = path("other.rec"), dump = path("dump.hex"), full = path("full.hex");
  ASSERT_EQ(run("eeprom build -o " + img + " " + syn() + " " + ja()).status, 0);
  ASSERT_EQ(run("eeprom build -o " + other + " " + ja() + " " + syn()).status, 0);
  ASSERT_EQ(run("eeprom build --no-reserve -o " + full + " " + syn()).status, 0);
  const std::string env = "KOVA_EMULATED_BOARD=40112 KOVA_EMULATED_BOARD_STATE=" + path("board.state");
  path("board.state.lock");
  auto r = run("eeprom write " + img, env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "board EEPROM, 2048 bytes\n")) << r.out;
  EXPECT_EQ(run("eeprom verify " + img, env).status, 0);
  ASSERT_EQ(run("eeprom read " + dump, env).status, 0);
  EXPECT_EQ(run("eeprom verify " + dump, env).status, 0);
  r = run("eeprom verify " + other, env);
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(contains(r.err, "First difference at address 0x")) << r.err;
  EXPECT_EQ(run("eeprom verify " + img + " --board 3", env).status, 4);
  EXPECT_EQ(run("eeprom write " + img + " --page 48", env).status, 2);
  EXPECT_NE(run("board read 100 3", env).out, "0x100: 01 02 03\n");
  ASSERT_EQ(run("board reset", env).status, 0);
  EXPECT_EQ(run("board read 100 3", env).out, "0x100: 01 02 03\n");
  // On a chip EEPROM with its last 12 bytes reserved, without --yes and without a terminal,
  // the reserved-area question is answered no.
  r = run("eeprom write " + full + " --emulator=40000");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "File extends into reserved area")) << r.err;
  r = run("eeprom write " + full + " --emulator=40000 --yes");
  EXPECT_TRUE(contains(r.out, "chip EEPROM, 2048 bytes, last 12 reserved")) << r.out;
}

// A second process finds the emulated board busy, as it would a real one, instead of
// undoing the first one's writes when it ends.
TEST_F(KovacfgEeprom, TheEmulatedBoardIsHeldByOneProcess) {
  const std::string env = "KOVA_EMULATED_BOARD=40112 KOVA_EMULATED_BOARD_STATE=" + path("shared.state");
  path("shared.state.lock");
  ASSERT_EQ(run("apply --device 40112 --rev 1 --mode SYN --xa 50 --oc1 156.25", env).status, 0);
  const std::string cmd = "env " + env + " " + KOVACFG_PATH + " status --every 1 --count 3 2>/dev/null";
  FILE *holder = popen(cmd.c_str(), "r");
  ASSERT_NE(holder, nullptr);
  char line[512];
  ASSERT_NE(fgets(line, sizeof line, holder), nullptr);  // it holds the board now
  const auto r = run("board write 210 01", env);
  EXPECT_EQ(r.status, 4);
  EXPECT_TRUE(contains(r.err, "board busy")) << r.err;
  while (fgets(line, sizeof line, holder)) {
  }
  pclose(holder);
  ASSERT_EQ(run("board write 210 01", env).status, 0);  // free once it has ended
  EXPECT_EQ(run("board read 210 1", env).out, "0x210: 01\n");
}

// A board that fails halfway, armed from outside, and a state that cannot be kept: the
// command fails and says what happened.
TEST_F(KovacfgEeprom, FailuresHalfwayAreNeverReportedAsSuccess) {
  const std::string img = path("img.hex");
  ASSERT_EQ(run("eeprom build -o " + img + " " + syn()).status, 0);
  const struct {
    std::string fault;
    const char *said;
  } faults[] = {{"unplug@60", "unplugged"}, {"short-write@60", "short write"}, {"read-timeout@40", "read time-out"},
                {"eeprom-busy", "Unable to Read Device Part Number"}};
  for (const auto &f : faults) {
    SCOPED_TRACE(f.fault);
    const auto r = run("eeprom write " + img + " --emulator=40000", "KOVA_EMULATED_BOARD_FAULT=" + f.fault);
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.err, f.said)) << r.err;
  }
  const std::string state = path("full.state");
  path("full.state.lock");
  const auto r = run_on_a_full_disk("eeprom write " + img + " --emulator=40000", "KOVA_EMULATED_BOARD_STATE=" + state);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "cannot save the emulated board state file " + state + ": File too large")) << r.err;
}

TEST_F(KovacfgEeprom, RunScriptsOfflineAndOnABoard) {
  // These hand-made scripts are no whole configuration: run only.
  auto r = run("run --no-inverse " + syn());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "WRITING: Address 0x009 with Value 0x85")) << r.out;
  EXPECT_TRUE(contains(r.out, "Ran " + syn() + " offline")) << r.out;
  const std::string regs = path("regs.cfg");
  ASSERT_EQ(run("run -q --no-inverse --save-regs " + regs + " " + syn()).status, 0);
  EXPECT_TRUE(contains(read_all(regs), "0x100    0x01    "));
  // Deriving a configuration from them fails, with the reason.
  r = run("run -q " + syn());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, "the configuration could not be derived from the registers")) << r.err;
  const std::string bad = write("bad.mfg", "X , 0X031 , 0X05\nW , 100000\n; fine\nX , 0X1\n");
  r = run("run " + bad);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(contains(r.err, bad + ":2: wait 100000 is beyond 65535 microseconds")) << r.err;
  EXPECT_TRUE(contains(r.err, bad + ":4: ")) << r.err;
  r = run("run --no-inverse " + ja() + " --emulator=40000");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "BATCH WRITING: DSP code PASSED")) << r.out;
  EXPECT_TRUE(contains(r.err, "Found 2 codewords, expected 320!")) << r.err;
}
