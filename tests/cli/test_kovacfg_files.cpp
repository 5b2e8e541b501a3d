// kovacfg save, load, script and dump, and the files they write read back by the others;
// every write checked to the end.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

using namespace kovacfg_test;

bool has(const std::string &s, const std::string &what) { return s.find(what) != std::string::npos; }

TEST(KovacfgFiles, SaveLoadScriptAndDumpAgree) {
  const char *ja = "--device 40112 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --ic2 25 --oc1 156.25 --oc2 100";
  const std::string cfg = tmp("cfg.txt"), mfg = tmp("cfg.mfg"), dump = tmp("dump.txt"), edited = tmp("edited.txt");
  ASSERT_EQ(run("save " + cfg + " " + ja).out, "GUI Config file successfully saved!\n");
  // The loaded configuration plans to the same fields as the original.
  const auto original = json_of(run(std::string("plan --json ") + ja))["fields"];
  const auto loaded = json_of(run("load " + cfg + " --json"))["fields"];
  for (const char *f : {"oc2_freq_s", "vco_freq_s", "dfreqz1_freqz_u40", "oc2_lsdiv_u32", "appl_fbdiv_max_r"})
    EXPECT_EQ(loaded[f], original[f]) << f;
  ASSERT_EQ(run("script -o " + mfg + " --config " + cfg).status, 0);
  EXPECT_TRUE(has(read_all(mfg), "; DSP Code segment start"));
  // The dump reads back into the configuration it was written from.
  ASSERT_EQ(run("dump -o " + dump + " --config " + cfg).status, 0);
  const auto back = json_of(run("inverse " + dump + " --known IC1=19440000 --json"))["fields"];
  EXPECT_EQ(back["oc2_freq_s"], original["oc2_freq_s"]);
  // A hand-edited value that does not convert is named, not silently dropped.
  std::string text = read_all(cfg);
  const size_t at = text.find(" f=156250000 n=1 m=1");  // OC1
  ASSERT_NE(at, std::string::npos);
  std::ofstream(edited) << text.replace(at, 12, " f=abc");
  const auto r = run("load " + edited);
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
  // /dev/zero never ends: refused at once (every reader is tried in its own tests).
  const auto r = run("load /dev/zero");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(has(r.err, "/dev/zero: not a regular file")) << r.err;
}

}  // namespace
