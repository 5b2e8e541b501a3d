// kovacfg apply, status, readback and the application log, against emulated boards.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <cstdio>
#include <regex>
#include <string>

namespace {

using namespace kovacfg_test;
using nlohmann::json;

class KovacfgApply : public ::testing::Test {
 protected:
  void SetUp() override { std::remove(state_.c_str()); }
  std::string state_ = tmp("state.bin");
  std::string env() const { return "KOVA_EMULATED_BOARD_STATE=" + state_; }
};

// Without --device and --rev the board's chip decides; a second apply of the same
// configuration sends only what the chip does not hold yet; the log records the writes.
TEST_F(KovacfgApply, WritesTheBoardsChipAndOnlyChangesAfterwards) {
  const std::string cfg = "--mode JA --ic1 19.44 --oc1 156.25 --oc2 125";
  auto r = run("apply --emulator=40000:1 " + cfg + " --json", env());
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = json_of(r);
  EXPECT_EQ(j["fields"]["kova_device_e"], 40000);
  EXPECT_TRUE(j["dsp_program_written"].get<bool>());
  EXPECT_GT(j["registers_written"].get<int>(), 300);
  const std::string log = tmp("changes.txt");
  r = run("--log " + log + " apply --emulator=40000:1 " + cfg + " --changes-only --json", env());
  ASSERT_EQ(r.status, 0) << r.err;
  j = json_of(r);
  EXPECT_FALSE(j["dsp_program_written"].get<bool>());
  EXPECT_EQ(j["registers_written"], 2);  // checking the DSP RAM leaves MCR2 and DPLLCR1 to send
  const std::string text = read_all(log);
  EXPECT_TRUE(has(text, "\nX, 0X00A, 0X03 ; MCR2\n")) << text;
  EXPECT_FALSE(has(text, ">>> CALC EXPERT"));  // customer mode: no stage lines
}

// Exit 4 whenever the board cannot be reached; 1 for what the engine or the chip refuses;
// "ok" is always the exit status being 0, and the messages say why.
TEST_F(KovacfgApply, ExitStatusesAndJsonAgreeInEveryCommand) {
  const struct {
    std::string args, env;
    int status;
    const char *says;
  } cases[] = {
      {"apply --oc1 156.25 --json", "KOVA_EMULATED_BOARD= ", 4, "no evaluation board found"},
      {"apply --emulator=40112 --oc1 4000 --json", "", 1, "ERROR: Invalid OC1 frequency"},
      {"apply --emulator=40089 --device 40000 --oc1 156.25 --json", "", 1,
       "the board's chip is KX40089; the configuration is for KX40000"},
      {"apply --emulator=40112:1 --rev 0 --oc1 156.25 --json", "", 0,
       "WARNING: the configuration is for revision 0; the board's chip is revision 1"},
  };
  for (const auto &c : cases) {
    const auto r = run(c.args, c.env);
    EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
    const auto j = json_of(r);
    ASSERT_TRUE(j.is_object()) << c.args << ": " << r.out;
    EXPECT_EQ(j["ok"].get<bool>(), c.status == 0) << c.args;
    EXPECT_TRUE(has(j["messages"].dump(), c.says)) << c.args << ": " << j["messages"];
  }
}

TEST_F(KovacfgApply, ReadbackGivesTheAppliedConfiguration) {
  ASSERT_EQ(run("apply --emulator=40112:1 --mode JA --xa 114.285 --ic1 19.44 --ic2 25 --oc1 156.25 --oc2 100", env()).status, 0);
  const auto r = run("readback --emulator=40112:1 --known IC1=19.44MHz --json", env());
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  const auto f = json_of(r)["fields"];
  EXPECT_EQ(f["kova_mode_e"], 3);
  EXPECT_EQ(f["oc2_freq_s"], json({100000000, 1, 1}));
  EXPECT_EQ(f["xa_freq_s"], json({114285000, 1, 1}));
}

// status reads as a person does: each input VALID or why not, the DPLL state as text, the
// raw registers only with --raw, and a timestamp on every line when polling.
TEST_F(KovacfgApply, StatusDecodesInputsAndDpllState) {
  const std::string board = "--emulator=40112:1";
  ASSERT_EQ(run("apply " + board + " --mode JA --xa 114.285 --ic1 19.44 --oc1 156.25", env()).status, 0);
  const struct {
    const char *bytes;  // VALSR1, VALSR2, IC1SR .. IC3SR, three more, DSRR1 (0x04E .. 0x056)
    const char *ic1, *dpll;
  } cases[] = {
      {"11 01 1F 1F 1F 00 00 00 10", "VALID", "Tracking; Locked"},
      {"10 01 23 1F 1F 00 00 00 30", "INVALID: LOS, out of frequency", "Tracking; Unlocked"},
  };
  for (const auto &c : cases) {
    ASSERT_EQ(run("board write 04E " + std::string(c.bytes) + " " + board, env()).status, 0);
    const auto r = run("status " + board, env());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, std::string("\nIC1                        ") + c.ic1 + "\n")) << r.out;
    EXPECT_TRUE(has(r.out, std::string("\nDPLL                       ") + c.dpll + "\n")) << r.out;
    EXPECT_FALSE(has(r.out, "VALSR1"));
  }
  EXPECT_TRUE(has(run("status --raw " + board, env()).out, "\nDSRR1 (0x056)              0x30\n"));
  // Every line of the polls stamped: nothing but blank lines is left without the stamped ones.
  const std::string polled = run("status --every 0.01 --count 2 " + board, env()).out;
  const std::regex stamped("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  [^\\n]*\\n");
  EXPECT_GT(std::distance(std::sregex_iterator(polled.begin(), polled.end(), stamped), std::sregex_iterator()), 10);
  EXPECT_EQ(std::regex_replace(polled, stamped, "").find_first_not_of('\n'), std::string::npos) << polled;
}

}  // namespace
