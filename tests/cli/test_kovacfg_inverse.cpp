// kovacfg inverse as a user runs it: the registers `kovacfg plan --json` prints, read back as
// JSON, as plain bytes and as a register dump, give back the planned configuration; bad
// options and unreadable files are one-line errors with status 2.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <cstdio>
#include <string>

namespace {

using namespace kovacfg_test;
bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// The file's own fields name device and revision, even where its ID2 holds neither (as
// files planned from a loaded configuration did). The modes' own inverse cases are the
// engine's tests.
TEST(KovacfgInverse, PlanThenInverseGivesBackTheConfiguration) {
  const auto plan = run("plan --device 40112 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --ic2 25 --oc1 156.25 --json");
  ASSERT_EQ(plan.status, 0) << plan.err;
  auto pj = nlohmann::json::parse(plan.out);
  pj["registers"][0x031] = 0;
  const std::string path = write_tmp("plan.json", pj.dump());
  const auto inv = run("inverse " + path + " --known ic1_freq_s=19440000 --json");
  ASSERT_EQ(inv.status, 0) << inv.err << inv.out;
  const auto ij = nlohmann::json::parse(inv.out);
  EXPECT_EQ(ij["fields"]["kova_device_e"], 40112);
  EXPECT_EQ(ij["fields"]["kova_device_rev_e"], 1);
  for (const char *f : {"kova_mode_e", "ic1_div_u32", "dcofb_div_u32", "dpll_bw_hz", "oc1_msdiv_u8"})
    EXPECT_EQ(ij["fields"][f], pj["fields"][f]) << f;
  for (const char *f : {"xa_freq_s", "ic2_freq_s", "oc1_freq_s"}) EXPECT_EQ(ij["hz"][f], pj["hz"][f]) << f;
  // The text report; without a known frequency the tool says how to give one.
  EXPECT_TRUE(has(run("inverse " + path + " --known IC1=19.44MHz").out, "Device:        KX40112 revision 1"));
  const auto none = run("inverse " + path + " --json");
  std::remove(path.c_str());
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(json_of(none)["messages"][0], "ERROR: There is no input or output frequency available");
  EXPECT_TRUE(has(json_of(none)["messages"].back().get<std::string>(), "--known IC1=19.44MHz"));
}

// The same registers as 2048 plain bytes and as a register dump, whose comments name the
// frequencies: the dump needs no --known.
TEST(KovacfgInverse, PlainBytesAndRegisterDumpsReadTheSame) {
  const std::string cfg = "--device 40089 --rev 1 --mode SYN --xa 25 --oc1 125 --oc3 50";
  const auto regs = json_of(run("plan " + cfg + " --json"))["registers"];
  ASSERT_EQ(regs.size(), 2048u);
  std::string plain;
  char buf[8];
  for (size_t a = 0; a < regs.size(); ++a) {
    std::snprintf(buf, sizeof buf, "%02X%s", regs[a].get<unsigned>(), a % 16 == 15 ? "\n" : " ");
    plain += buf;
  }
  const std::string plain_path = write_tmp("regs.txt", plain), dump_path = tmp("dump.txt");
  ASSERT_EQ(run("dump -o " + dump_path + " " + cfg).status, 0);
  const auto a = run("inverse " + plain_path + " --known XA=25MHz --json"), b = run("inverse " + dump_path + " --json");
  std::remove(plain_path.c_str());
  std::remove(dump_path.c_str());
  for (const auto *r : {&a, &b}) {
    ASSERT_EQ(r->status, 0) << r->err;
    const auto j = json_of(*r);
    EXPECT_EQ(j["fields"]["kova_device_rev_e"], 1);  // ID2 holds the revision, as a chip's does
    EXPECT_EQ(j["hz"]["oc1_freq_s"], 125000000);
    EXPECT_EQ(j["hz"]["oc3_freq_s"], 50000000);
  }
}

TEST(KovacfgInverse, BadOptionsAndFilesGiveOneLineAndStatusTwo) {
  const std::string plain_short = write_tmp("short.txt", "19 20 30");
  const struct {
    std::string args, names;
  } cases[] = {
      {"inverse /nonexistent/image.txt --known OC1=1", "/nonexistent/image.txt"},
      {"inverse " + plain_short + " --known OC1=1", plain_short},
      {"inverse " + plain_short + " --known OC1=1x", "--known"},
      {"inverse", "image"},
  };
  for (const auto &c : cases) {
    const auto r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(count_lines(r.err), 1) << c.args << ": " << r.err;
    EXPECT_TRUE(has(r.err, c.names)) << c.args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args;
  }
  std::remove(plain_short.c_str());
}

}  // namespace
