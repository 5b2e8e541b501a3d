// kovacfg eeprom and kovacfg run as a user runs them: images built, shown, written to an
// emulated board, read back and verified; scripts run offline and on a board.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <string>

namespace {

using namespace kovacfg_test;

struct KovacfgEeprom : ::testing::Test {
  static std::string path(const std::string &name) { return tmp("ee_" + name); }
  static std::string write(const std::string &name, const std::string &text) { return write_tmp("ee_" + name, text); }
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

// Options that do not fit are refused with 2; on a bad script the output keeps what it held
// and every bad line is named. (The readers' own faults are the files layer's tests.)
TEST_F(KovacfgEeprom, BuildRefusesBadInputsAndWritesNothingOnAnError) {
  const std::string s = syn(), out = path("img.hex");
  EXPECT_EQ(run("eeprom build --format hex -o " + path("img.rec") + " " + s).status, 2);
  EXPECT_EQ(run("eeprom build --size 1000 -o " + out + " " + s).status, 2);
  const std::string bad = write("bad.mfg", "X , 0X100 , 0X01\nX , 0X4000 , 0X01\nW , -5\n");
  std::ofstream(out) << "the previous image\n";
  const auto r = run("eeprom build -o " + out + " " + bad + " " + s);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, bad + ":2: ")) << r.err;
  EXPECT_TRUE(has(r.err, bad + ":3: ")) << r.err;
  EXPECT_EQ(read_all(out), "the previous image\n");
}

// A byte list changed by hand has a wrong image checksum: shown as WRONG, and not programmed
// unless the user insists.
TEST_F(KovacfgEeprom, AChangedImageIsProgrammedOnlyWhenForced) {
  const std::string bytes = path("img.txt");
  ASSERT_EQ(run("eeprom build -o " + bytes + " " + syn()).status, 0);
  std::string text = read_all(bytes);
  size_t b = 0;  // the 21st data byte, in branch 0's code
  for (int data_line = 0; data_line <= 20;) {
    b = text.find('\n', b) + 1;
    if (text[b] != ';') ++data_line;
  }
  text[b + 1] = text[b + 1] == '0' ? '1' : '0';
  const std::string changed = write("changed.txt", text);
  EXPECT_TRUE(has(run("eeprom show " + changed).out, "WRONG"));
  const auto r = run("eeprom write " + changed + " --emulator=40000");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, changed + " is not a sound boot image: checksum")) << r.err;
  EXPECT_EQ(run("eeprom write " + changed + " --emulator=40000 --force").status, 0);
}

// Built, written, read and verified with the default options on a product that boots from
// the board EEPROM, whose state file keeps the EEPROM from one run to the next: the commands
// agree on the same file, and the chip boots from it after a reset.
TEST_F(KovacfgEeprom, WriteReadVerifyAndBootOnAnEmulatedBoard) {
  const std::string img = path("img.rec"), dump = path("dump.hex"), full = path("full.hex");
  ASSERT_EQ(run("eeprom build -o " + img + " " + syn() + " " + ja()).status, 0);
  ASSERT_EQ(run("eeprom build --no-reserve -o " + full + " " + syn()).status, 0);
  const std::string env = "KOVA_EMULATED_BOARD=40112 KOVA_EMULATED_BOARD_STATE=" + path("board.state");
  auto r = run("eeprom write " + img, env);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "board EEPROM, 2048 bytes\n")) << r.out;
  EXPECT_EQ(run("eeprom verify " + img, env).status, 0);
  ASSERT_EQ(run("eeprom read " + dump, env).status, 0);
  EXPECT_EQ(run("eeprom verify " + dump, env).status, 0);
  r = run("eeprom verify " + full, env);
  EXPECT_EQ(r.status, 3);
  EXPECT_TRUE(has(r.err, "First difference at address 0x")) << r.err;
  EXPECT_EQ(run("eeprom write " + img + " --page 48", env).status, 2);
  EXPECT_NE(run("board read 100 3", env).out, "0x100: 01 02 03\n");
  ASSERT_EQ(run("board reset", env).status, 0);
  EXPECT_EQ(run("board read 100 3", env).out, "0x100: 01 02 03\n");
  // On a chip EEPROM with its last 12 bytes reserved, without --yes and without a terminal,
  // the reserved-area question is answered no.
  r = run("eeprom write " + full + " --emulator=40000");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "File extends into reserved area")) << r.err;
  EXPECT_TRUE(has(run("eeprom write " + full + " --emulator=40000 --yes").out, "chip EEPROM, 2048 bytes, last 12 reserved"));
}

// A board that fails halfway, armed from outside, and a state that cannot be kept: the
// command fails and says what happened.
TEST_F(KovacfgEeprom, FailuresHalfwayAreNeverReportedAsSuccess) {
  const std::string img = path("img.hex"), state = path("full.state");
  ASSERT_EQ(run("eeprom build -o " + img + " " + syn()).status, 0);
  const struct {
    std::string env, says;
    int status;
    bool full_disk;
  } cases[] = {
      {"KOVA_EMULATED_BOARD_FAULT=unplug@60", "unplugged", 1, false},
      {"KOVA_EMULATED_BOARD_FAULT=eeprom-busy", "Unable to Read Device Part Number", 4, false},
      {"KOVA_EMULATED_BOARD_STATE=" + state, "cannot save the emulated board state file " + state + ": File too large", 1,
       true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.says);
    const std::string args = "eeprom write " + img + " --emulator=40000";
    const auto r = c.full_disk ? run_on_a_full_disk(args, c.env) : run(args, c.env);
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(has(r.err, c.says)) << r.err;
  }
}

TEST_F(KovacfgEeprom, RunScriptsOfflineAndOnABoard) {
  // These hand-made scripts are no whole configuration: run only.
  const std::string regs = path("regs.cfg");
  auto r = run("run --no-inverse --save-regs " + regs + " " + syn());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "WRITING: Address 0x009 with Value 0x85")) << r.out;
  EXPECT_TRUE(has(r.out, "Ran " + syn() + " offline")) << r.out;
  EXPECT_TRUE(has(read_all(regs), "0x100    0x01    "));
  // Deriving a configuration from them fails, with the reason.
  r = run("run -q " + syn());
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "the configuration could not be derived from the registers")) << r.err;
  r = run("run --no-inverse " + ja() + " --emulator=40000");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "BATCH WRITING: DSP code PASSED")) << r.out;
  EXPECT_TRUE(has(r.err, "Found 2 codewords, expected 320!")) << r.err;
}
