// kovacfg save, load, script and dump, and the files they write read back by the others;
// every write checked to the end.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

namespace {

using namespace kovacfg_test;

const char *kJa = "--device 40112 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --ic2 25 --oc1 156.25 --oc2 100";

bool has(const std::string &s, const std::string &what) { return s.find(what) != std::string::npos; }

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
  EXPECT_TRUE(has(read_all(mfg), "; DSP Code segment start"));

  // The dump reads back into the configuration it was written from.
  r = run("dump -o " + dump + " --config " + cfg);
  ASSERT_EQ(r.status, 0) << r.err;
  r = run("inverse " + dump + " --known IC1=19440000 --json");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  const auto back = nlohmann::json::parse(r.out)["fields"];
  EXPECT_EQ(back["kova_device_rev_e"], 1);
  EXPECT_EQ(back["oc2_freq_s"], original["oc2_freq_s"]);

  // A hand-edited value that does not convert is named, not silently dropped.
  std::string text = read_all(cfg);
  const size_t at = text.find(" f=156250000 n=1 m=1");  // OC1
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 12, " f=abc");
  const std::string edited = tmp("edited.txt");
  std::ofstream(edited) << text;
  r = run("load " + edited);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(has(r.err, edited + ":")) << r.err;
  EXPECT_TRUE(has(r.err, ": oc1_freq_s: the value")) << r.err;

  for (const auto &f : {cfg, mfg, dump, edited}) std::remove(f.c_str());
}

// A file, standard output and the log alike: a write that cannot be completed fails the
// command with the path and the system's reason, and an existing file keeps its content.
// (Every writer of the files layer is tried in its own tests.)
TEST(KovacfgFiles, AWriteThatCannotBeCompletedFailsTheCommand) {
  const std::string old = tmp("old.txt"), previous(100, 'p');
  std::ofstream(old) << previous;
  const struct {
    std::string args, said;
    int status;
  } cases[] = {
      {"save /dev/full --oc1 156.25", "/dev/full: No space left on device", 1},
      {"save " + old + " --oc1 156.25", old + ": File too large", 1},
      {"--log /dev/full plan --oc1 156.25", "--log: /dev/full: No space left on device", 1},
      {"plan --json --oc1 156.25 >/dev/full", "standard output: No space left on device", 1},
      // A log that cannot be opened is refused before any work is done.
      {"--log /proc/x.log save " + old + " --oc1 156.25", "--log: cannot append to /proc/x.log", 2},
      {"--log " + ::testing::TempDir() + " save " + old + " --oc1 156.25", "Is a directory", 2},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = run_on_a_full_disk(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_TRUE(has(r.err, c.said)) << r.err;
    EXPECT_EQ(read_all(old), previous);
  }
  struct stat st {};
  ASSERT_EQ(stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));  // written to, never replaced
  std::remove(old.c_str());
}

TEST(KovacfgFiles, ReadersRefuseWhatIsNoFileOfThisTool) {
  // /dev/zero never ends and a pipe without a writer never answers: both refused at once.
  const std::string fifo = tmp("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string &what : {std::string("/dev/zero"), fifo}) {
    for (const std::string &cmd : {"load " + what, "run " + what}) {
      SCOPED_TRACE(cmd);
      const auto r = run(cmd);
      EXPECT_NE(r.status, 0);
      EXPECT_TRUE(has(r.err, what + ": not a regular file")) << r.err;
    }
  }
  std::remove(fifo.c_str());
  auto r = run("script -o " + tmp("bad.mfg") + " --oc1 4000");  // no solution: nothing is written
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(std::ifstream(tmp("bad.mfg")).good());
}

}  // namespace
