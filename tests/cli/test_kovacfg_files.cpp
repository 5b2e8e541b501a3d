// kovacfg save, load, script and dump, and the files they write read back by the others;
// every write checked to the end.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <sys/stat.h>

#include <fstream>
#include <string>

namespace {

using namespace kovacfg_test;
using nlohmann::json;

// A configuration gives the same registers whether typed or loaded from its saved file; load
// takes the same options as the other commands, and script writes the DSP program.
TEST(KovacfgFiles, SavedAndTypedConfigurationsGiveTheSameImage) {
  const std::string ja = "--device 40112 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --oc1 156.25 --oc2 100";
  const std::string cfg = tmp("ja.cfg"), mfg = tmp("cfg.mfg");
  ASSERT_EQ(run("save " + cfg + " " + ja).out, "GUI Config file successfully saved!\n");
  const auto typed = json_of(run("plan " + ja + " --json")), loaded = json_of(run("plan --config " + cfg + " --json"));
  EXPECT_EQ(typed["registers"], loaded["registers"]);
  EXPECT_EQ(typed["registers"][0x031], 0x21);  // KX40112's code and revision 1, as the chip holds them
  EXPECT_EQ(json_of(run("load " + cfg + " --oc2 125 --json"))["fields"]["oc2_freq_s"], json({125000000, 1, 1}));
  ASSERT_EQ(run("script -o " + mfg + " --config " + cfg).status, 0);
  EXPECT_TRUE(has(read_all(mfg), "; DSP Code segment start"));
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
  // /dev/zero never ends: refused at once (every reader is tried in its own tests).
  const auto r = run("load /dev/zero");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(has(r.err, "/dev/zero: not a regular file")) << r.err;
}

}  // namespace
