// kovacfg save, load, script and dump, and the files they write read back by the others.
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





const char *kJa = "--device 40112 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --ic2 25 --oc1 156.25 --oc2 100";

TEST(KovacfgFiles, SaveLoadScriptAndDumpAgree) {
  const std::string cfg = tmp("cfg.txt"), mfg = tmp("cfg.mfg"), dump = tmp("dump.txt");
  auto r = run("save " + cfg + " " + kJa);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "GUI Config file successfully saved!\n");

  // The loaded configuration plans to the same fields as the original.
  const auto original = nlohmann::json::parse(run(std::string("plan --json ") + kJa).out)["fields"];
  r = run("load " + cfg + " --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto loaded = nlohmann::json::parse(r.out)["fields"];
  for (const char *f : {"oc1_freq_s", "oc2_freq_s", "ic1_freq_s", "vco_freq_s", "pfd_freq_s", "dfreqz1_freqz_u40",
                        "oc1_msdiv_u8", "oc2_lsdiv_u32", "dpll_bw_hz", "appl_fbdiv_max_r"})
    EXPECT_EQ(loaded[f], original[f]) << f;

  r = run("script -o " + mfg + " --config " + cfg);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string script = read_all(mfg);
  EXPECT_NE(script.find("; MFG Mode : JitterAttenuator (3)"), std::string::npos);
  EXPECT_NE(script.find("; DSP Code segment start"), std::string::npos);

  // The dump reads back into the configuration it was written from.
  r = run("dump -o " + dump + " --config " + cfg);
  ASSERT_EQ(r.status, 0) << r.err;
  r = run("inverse " + dump + " --known IC1=19440000 --json");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  const auto back = nlohmann::json::parse(r.out)["fields"];
  EXPECT_EQ(back["kova_device_rev_e"], 1);
  EXPECT_EQ(back["oc2_freq_s"], original["oc2_freq_s"]);
  EXPECT_EQ(back["ic2_freq_s"], original["ic2_freq_s"]);

  for (const auto &f : {cfg, mfg, dump}) std::remove(f.c_str());
}

TEST(KovacfgFiles, FailuresAreReported) {
  auto r = run("save /nonexistent/dir/cfg.txt --oc1 156.25");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Unable to open file for saving!"), std::string::npos) << r.err;
  r = run("script -o " + tmp("bad.mfg") + " --oc1 4000");  // no solution: nothing is written
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::ifstream(tmp("bad.mfg")).good());
  r = run("load /nonexistent/cfg.txt");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("/nonexistent/cfg.txt"), std::string::npos);
  r = run("dump");
  EXPECT_EQ(r.status, 2);
}

}  // namespace
