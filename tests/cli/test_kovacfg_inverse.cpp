// kovacfg inverse as a user runs it: the registers `kovacfg plan --json` prints, read back as
// JSON, as plain bytes and as a register dump, give back the planned configuration; bad
// options and unreadable files are one-line errors with status 2.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace kovacfg_test;
const auto temp_file = write_tmp;
bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

struct example_s {
  const char *plan;
  const char *known;
  std::vector<const char *> same;    // fields that come back exactly
  std::vector<const char *> freqs;   // frequencies that come back as the same number of hertz
};

const example_s kExamples[] = {
    {"--mode SYN --xa 50 --oc1 156.25 --oc2 100", "oc1_freq_s=156250000",
     {"kova_mode_e", "xa_mode_e", "vco_hsdiv1x2_u8", "vco_hsdiv2x2_u8", "oc1_msdiv_u8", "oc1_lsdiv_u32", "oc2_msdiv_u8"},
     {"xa_freq_s", "oc1_freq_s", "oc2_freq_s", "oc3_freq_s", "vco_freq_s"}},
    {"--mode NCO --xa 100 --oc1 156.25", "oc1_freq_s=156250000",
     {"kova_mode_e", "sysclk_mode_e", "vco_hsdiv1x2_u8", "oc1_msdiv_u8", "oc1_lsdiv_u32"},
     {"xa_freq_s", "oc1_freq_s", "dco_freq_s", "vco_freq_s"}},
    {"--mode SS --xa 100 --oc1 100", "OC1=100000000",
     {"kova_mode_e", "ss_mode_e", "ss_pctx10", "ss_cnt_u16", "vco_hsdiv1x2_u8", "oc1_msdiv_u8", "oc1_lsdiv_u32"},
     {"xa_freq_s", "oc1_freq_s", "dco_freq_s"}},
    {"--mode JA --xa 114.285 --ic1 19.44 --ic2 25 --oc1 156.25", "ic1_freq_s=19440000",
     {"kova_mode_e", "ic1_div_u32", "ic2_div_u32", "dcofb_div_u32", "pfd_div_u16", "dsp_rate_hz_u32", "dpll_bw_hz",
      "dpll_df", "dpll_mode_e", "ho_mode_e", "oc1_msdiv_u8", "ic1_mon_mode_e"},
     {"xa_freq_s", "ic1_freq_s", "ic2_freq_s", "ic3_freq_s", "oc1_freq_s", "pfd_freq_s"}},
};

// The file's own fields name device and revision, even where its ID2 holds neither (as
// files planned from a loaded configuration did).
TEST(KovacfgInverse, PlanThenInverseGivesBackTheConfigurationInEveryMode) {
  for (const auto &ex : kExamples) {
    SCOPED_TRACE(ex.plan);
    const auto plan = run(std::string("plan --device 40112 --rev 1 ") + ex.plan + " --json");
    ASSERT_EQ(plan.status, 0) << plan.err;
    auto pj = nlohmann::json::parse(plan.out);
    pj["registers"][0x031] = 0;
    const std::string path = temp_file("plan.json", pj.dump());
    const auto inv = run("inverse " + path + " --known " + ex.known + " --json");
    std::remove(path.c_str());
    ASSERT_EQ(inv.status, 0) << inv.err << inv.out;
    const auto ij = nlohmann::json::parse(inv.out);
    EXPECT_TRUE(ij["ok"].get<bool>()) << ij["messages"];
    const auto &p = pj["fields"], &i = ij["fields"];
    EXPECT_EQ(i["kova_device_e"], 40112);
    EXPECT_EQ(i["kova_device_rev_e"], 1);
    EXPECT_EQ(i["oc_solver_mode_e"], 0);  // the automatic solver chooses the chip's dividers
    for (const char *f : ex.same) EXPECT_EQ(i[f], p[f]) << f;
    for (const char *f : ex.freqs) EXPECT_EQ(ij["hz"][f], pj["hz"][f]) << f;
  }
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
  const std::string plain_path = temp_file("regs.txt", plain), dump_path = tmp("dump.txt");
  ASSERT_EQ(run("dump -o " + dump_path + " " + cfg).status, 0);
  const auto a = run("inverse " + plain_path + " --known XA=25MHz --json"), b = run("inverse " + dump_path + " --json");
  std::remove(plain_path.c_str());
  std::remove(dump_path.c_str());
  for (const auto *r : {&a, &b}) {
    ASSERT_EQ(r->status, 0) << r->err;
    const auto j = json_of(*r);
    EXPECT_EQ(j["fields"]["kova_device_e"], 40089);
    EXPECT_EQ(j["fields"]["kova_device_rev_e"], 1);  // ID2 holds the revision, as a chip's does
    EXPECT_EQ(j["hz"]["oc1_freq_s"], 125000000);
    EXPECT_EQ(j["hz"]["oc3_freq_s"], 50000000);
    EXPECT_EQ(j["hz"]["xa_freq_s"], 25000000);
    EXPECT_EQ(j["hz"]["oc2_freq_s"], 0);
  }
}

TEST(KovacfgInverse, TextReportAndEngineErrors) {
  const auto plan = run("plan --device 40112 --rev 1 --mode NCO --xa 100 --oc1 156.25 --json");
  ASSERT_EQ(plan.status, 0);
  const std::string path = temp_file("nco.json", plan.out);
  const auto text = run("inverse " + path + " --known OC1=156250000");
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_TRUE(has(text.out, "Device:        KX40112 revision 1")) << text.out;
  EXPECT_TRUE(has(text.out, "Mode:          NCO"));
  EXPECT_TRUE(has(text.out, "96.5 MHz"));  // the DCO, 3.5 MHz below XA
  // Without a known frequency the engine says so, and the tool says how to give one.
  const auto none = run("inverse " + path + " --json");
  std::remove(path.c_str());
  EXPECT_EQ(none.status, 1);
  const auto j = json_of(none);
  EXPECT_FALSE(j["ok"].get<bool>());
  EXPECT_EQ(j["messages"][0], "ERROR: There is no input or output frequency available");
  EXPECT_TRUE(has(j["messages"].back().get<std::string>(), "--known IC1=19.44MHz"));
}

TEST(KovacfgInverse, BadOptionsAndFilesGiveOneLineAndStatusTwo) {
  std::string json2047 = "{\"registers\": [";
  for (int i = 0; i < 2047; ++i) json2047 += i ? ",0" : "0";
  json2047 += "]}";
  const std::string short_json = temp_file("short.json", json2047);
  const std::string plain_bad = temp_file("bad.txt", "19 20 ZZ");
  const std::string plain_short = temp_file("short.txt", "19 20 30");
  const std::string no_regs = temp_file("noregs.json", "{\"fields\": {}}");
  const struct {
    std::string args, names;
  } cases[] = {
      {"inverse /nonexistent/image.txt --known OC1=1", "/nonexistent/image.txt"},
      {"inverse " + short_json + " --known OC1=1", short_json},
      {"inverse " + plain_bad + " --known OC1=1", plain_bad},
      {"inverse " + plain_short + " --known OC1=1", plain_short},
      {"inverse " + no_regs + " --known OC1=1", no_regs},
      {"inverse " + plain_short + " --known vco_freq_s=1", "--known"},
      {"inverse " + plain_short + " --known OC1", "--known"},
      {"inverse " + plain_short + " --known OC1=1x", "--known"},
      {"inverse " + plain_short + " --known OC1=1e-10Hz", "--known"},
      {"inverse " + plain_short + " --device 12345", "--device"},
      {"inverse " + plain_short + " --rev 2", "--rev"},
      {"inverse", "image"},
  };
  for (const auto &c : cases) {
    const auto r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(count_lines(r.err), 1) << c.args << ": " << r.err;
    EXPECT_TRUE(has(r.err, c.names)) << c.args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args;
  }
  for (const auto &p : {short_json, plain_bad, plain_short, no_regs}) std::remove(p.c_str());
}

}  // namespace
