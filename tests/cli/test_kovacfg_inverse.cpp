// kovacfg inverse as a user runs it: the registers `kovacfg plan --json` prints, read back as
// JSON and as a register dump, give back the planned configuration.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <string>

namespace {

using namespace kovacfg_test;

// The file's own fields name device and revision, even where its ID2 holds neither (as
// files planned from a loaded configuration did); a register dump, whose comments name the
// frequencies, needs no --known. The modes' own inverse cases and the readers of each
// format are the engine's tests.
TEST(KovacfgInverse, PlanOrDumpThenInverseGivesBackTheConfiguration) {
  const std::string cfg = "--device 40112 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --ic2 25 --oc1 156.25";
  const auto plan = run("plan " + cfg + " --json");
  ASSERT_EQ(plan.status, 0) << plan.err;
  auto pj = json_of(plan);
  pj["registers"][0x031] = 0;
  const std::string path = write_tmp("plan.json", pj.dump()), dump = tmp("dump.txt");
  ASSERT_EQ(run("dump -o " + dump + " " + cfg).status, 0);
  for (const std::string &args : {path + " --known ic1_freq_s=19440000", dump}) {
    SCOPED_TRACE(args);
    const auto inv = run("inverse " + args + " --json");
    ASSERT_EQ(inv.status, 0) << inv.err << inv.out;
    const auto ij = json_of(inv);
    EXPECT_EQ(ij["fields"]["kova_device_e"], 40112);
    EXPECT_EQ(ij["fields"]["kova_device_rev_e"], 1);
    for (const char *f : {"kova_mode_e", "ic1_div_u32", "dcofb_div_u32", "dpll_bw_hz", "oc1_msdiv_u8"})
      EXPECT_EQ(ij["fields"][f], pj["fields"][f]) << f;
    for (const char *f : {"xa_freq_s", "ic2_freq_s", "oc1_freq_s"}) EXPECT_EQ(ij["hz"][f], pj["hz"][f]) << f;
  }
  // The text report; without a known frequency the tool says how to give one.
  EXPECT_TRUE(has(run("inverse " + path + " --known IC1=19.44MHz").out, "Device:        KX40112 revision 1"));
  const auto none = run("inverse " + path + " --json");
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(json_of(none)["messages"][0], "ERROR: There is no input or output frequency available");
  EXPECT_TRUE(has(json_of(none)["messages"].back().get<std::string>(), "--known IC1=19.44MHz"));
}

}  // namespace
