// kovacfg apply, status and the application log, against emulated boards.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

namespace {

using namespace kovacfg_test;





class KovacfgApply : public ::testing::Test {
 protected:
  void SetUp() override { std::remove(state_.c_str()); }
  void TearDown() override { std::remove(state_.c_str()); }
  std::string state_ = tmp("state.bin");
  std::string env() const { return "KOVA_EMULATED_BOARD_STATE=" + state_; }
};

TEST_F(KovacfgApply, WritesTheConfigurationAndOnlyChangesAfterwards) {
  const std::string cfg = "--device 40000 --mode JA --ic1 19.44 --oc1 156.25 --oc2 125";
  auto r = run("apply --emulator=40000 " + cfg + " --json", env());
  ASSERT_EQ(r.status, 0) << r.err;
  auto j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["ok"].get<bool>());
  EXPECT_TRUE(j["dsp_program_written"].get<bool>());
  const int all = j["registers_written"].get<int>();
  EXPECT_GT(all, 300);

  // The chip keeps its registers (state file): a changes-only apply of the same
  // configuration leaves the DSP program in place and sends only the two registers that
  // checking the DSP RAM leaves changed (MCR2, DPLLCR1); one of another output frequency
  // only a few registers.
  const std::string log = tmp("changes.txt");
  std::remove(log.c_str());
  r = run("--log " + log + " apply --emulator=40000 " + cfg + " --changes-only --json", env());
  ASSERT_EQ(r.status, 0) << r.err;
  j = nlohmann::json::parse(r.out);
  EXPECT_FALSE(j["dsp_program_written"].get<bool>());
  EXPECT_EQ(j["registers_written"], 2);
  const std::string text = read_all(log);
  EXPECT_NE(text.find("\nX, 0X00A, 0X03 ; MCR2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nX, 0X40B, 0X06 ; DPLLCR1\n"), std::string::npos) << text;
  std::remove(log.c_str());
  r = run("apply --emulator=40000 --device 40000 --mode JA --ic1 19.44 --oc1 156.25 --oc2 100 --changes-only --json",
          env());
  ASSERT_EQ(r.status, 0) << r.err;
  const int few = nlohmann::json::parse(r.out)["registers_written"].get<int>();
  EXPECT_GT(few, 0);
  EXPECT_LT(few, 40);

  // The status of the configured chip decodes.
  r = run("status --emulator=40000 --json --count 2", env());
  ASSERT_EQ(r.status, 0) << r.err;
  std::stringstream lines(r.out);
  std::string line;
  int n = 0;
  while (std::getline(lines, line)) {
    const auto s = nlohmann::json::parse(line);
    EXPECT_EQ(s["mode"], 3);
    EXPECT_TRUE(s["status_registers"].contains("VALSR1"));
    ++n;
  }
  EXPECT_EQ(n, 2);
}

TEST_F(KovacfgApply, RefusesAChipOfAnotherDevice) {
  const auto r = run("apply --emulator=40089 --device 40000 --oc1 156.25", env());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the board's chip is KX40089; the configuration is for KX40000"), std::string::npos) << r.err;
}

TEST_F(KovacfgApply, NoBoardIsAFailureNotACrash) {
  const auto r = run("apply --oc1 156.25", "KOVA_EMULATED_BOARD= ");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(r.err.empty());
  const auto s = run("status --every -1");
  EXPECT_EQ(s.status, 2);
}

TEST_F(KovacfgApply, TheLogRecordsRegisterWritesAndStages) {
  const std::string log = tmp("log.txt");
  std::remove(log.c_str());
  auto r = run("--log " + log + " apply --emulator --oc1 156.25", env());
  ASSERT_EQ(r.status, 0) << r.err;
  std::string text = read_all(log);
  EXPECT_EQ(text.rfind("Start of Log session; ", 0), 0u);
  EXPECT_NE(text.find("\nX, 0X009, 0X02 ; MCR1\n"), std::string::npos);
  EXPECT_EQ(text.find(">>> CALC EXPERT"), std::string::npos);  // customer mode: no stage lines
  r = run("--log " + log + " --su plan --oc1 156.25");
  ASSERT_EQ(r.status, 0) << r.err;
  text = read_all(log);
  EXPECT_NE(text.find(">>> CALC EXPERT: SUCCESS"), std::string::npos);
  EXPECT_NE(text.find(">>> CALC HAL: SUCCESS"), std::string::npos);
  std::remove(log.c_str());
}

TEST_F(KovacfgApply, ReadbackGivesTheAppliedConfiguration) {
  const std::string cfg = "--device 40112 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --ic2 25 --oc1 156.25 --oc2 100";
  ASSERT_EQ(run("apply --emulator=40112:1 " + cfg, env()).status, 0);
  const auto r = run("readback --emulator=40112:1 --known IC1=19440000 --json", env());
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  const auto f = nlohmann::json::parse(r.out)["fields"];
  EXPECT_EQ(f["kova_device_e"], 40112);
  EXPECT_EQ(f["kova_mode_e"], 3);
  EXPECT_EQ(f["ic2_freq_s"], nlohmann::json({25000000, 1, 1}));
  EXPECT_EQ(f["oc1_freq_s"], nlohmann::json({156250000, 1, 1}));
  EXPECT_EQ(f["oc2_freq_s"], nlohmann::json({100000000, 1, 1}));
  EXPECT_EQ(f["xa_freq_s"], nlohmann::json({114285000, 1, 1}));

  const auto bad = run("readback --emulator --known QQ=5");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--known"), std::string::npos);
}

}  // namespace
