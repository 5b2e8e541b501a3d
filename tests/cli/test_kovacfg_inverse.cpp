// kovacfg inverse as a user runs it: the registers `kovacfg plan --json` prints, read back as
// JSON, as plain bytes and as a register dump, give back the planned configuration; bad
// options and unreadable files are one-line errors with status 2.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using namespace kovacfg_test;



std::string temp_file(const std::string &name, const std::string &text) {
  const std::string path = ::testing::TempDir() + "/kovacfg_inverse_" + std::to_string(getpid()) + "_" + name;
  std::ofstream(path) << text;
  return path;
}

// Two frequencies [f, n, m] are the same when f1 n1 m2 = f2 n2 m1.
bool same_freq(const nlohmann::json &a, const nlohmann::json &b) {
  using u128 = unsigned __int128;
  return static_cast<u128>(a[0].get<uint64_t>()) * a[1].get<uint64_t>() * b[2].get<uint64_t>() ==
         static_cast<u128>(b[0].get<uint64_t>()) * b[1].get<uint64_t>() * a[2].get<uint64_t>();
}

struct example_s {
  const char *plan;
  const char *known;
  std::vector<const char *> same;    // fields that come back exactly
  std::vector<const char *> freqs;   // frequencies that come back as the same ratio
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

TEST(KovacfgInverse, PlanThenInverseGivesBackTheConfigurationInEveryMode) {
  for (const auto &ex : kExamples) {
    SCOPED_TRACE(ex.plan);
    const auto plan = run(std::string("plan --device 40112 --rev 1 ") + ex.plan + " --json");
    ASSERT_EQ(plan.status, 0) << plan.err;
    const auto pj = nlohmann::json::parse(plan.out);
    ASSERT_TRUE(pj.contains("registers"));
    const std::string path = temp_file("plan.json", plan.out);
    const auto inv = run("inverse " + path + " --rev 1 --known " + ex.known + " --json");
    std::remove(path.c_str());
    ASSERT_EQ(inv.status, 0) << inv.err << inv.out;
    const auto ij = nlohmann::json::parse(inv.out);
    EXPECT_TRUE(ij["ok"].get<bool>()) << ij["messages"];
    const auto &p = pj["fields"], &i = ij["fields"];
    EXPECT_EQ(i["kova_device_e"], 40112);
    EXPECT_EQ(i["kova_device_rev_e"], 1);
    EXPECT_EQ(i["oc_solver_mode_e"], 0);  // the automatic solver chooses the chip's dividers
    for (const char *f : ex.same) EXPECT_EQ(i[f], p[f]) << f;
    for (const char *f : ex.freqs) EXPECT_TRUE(same_freq(i[f], p[f])) << f << ": " << i[f] << " vs " << p[f];
  }
}

// The same registers as 2048 plain bytes and as a register dump whose comments name the
// frequencies: the dump needs no --known.
TEST(KovacfgInverse, PlainBytesAndRegisterDumpsReadTheSame) {
  const auto plan = run("plan --device 40089 --rev 1 --mode SYN --xa 25 --oc1 125 --oc3 50 --json");
  ASSERT_EQ(plan.status, 0) << plan.err;
  const auto regs = nlohmann::json::parse(plan.out)["registers"];
  ASSERT_EQ(regs.size(), 2048u);
  std::string plain, dump = "; KX40089 Register Dump\n;\n; OC3 Output Frequency Hz =     50000000 * (1) / (1)\n";
  char buf[32];
  for (size_t a = 0; a < regs.size(); ++a) {
    std::snprintf(buf, sizeof buf, "%02X%s", regs[a].get<unsigned>(), a % 16 == 15 ? "\n" : " ");
    plain += buf;
    if (a % 16 == 0) {
      std::snprintf(buf, sizeof buf, "%04zX:", a);
      dump += buf;
    }
    std::snprintf(buf, sizeof buf, "  %02X", regs[a].get<unsigned>());
    dump += buf;
    if (a % 16 == 15) dump += "\n";
  }
  const std::string plain_path = temp_file("regs.txt", plain), dump_path = temp_file("dump.txt", dump);
  const auto a = run("inverse " + plain_path + " --known XA=25000000 --json");
  const auto b = run("inverse " + dump_path + " --json");
  std::remove(plain_path.c_str());
  std::remove(dump_path.c_str());
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  for (const auto *r : {&a, &b}) {
    const auto f = nlohmann::json::parse(r->out)["fields"];
    EXPECT_EQ(f["kova_device_e"], 40089);
    EXPECT_TRUE(same_freq(f["oc1_freq_s"], nlohmann::json({125000000, 1, 1}))) << f["oc1_freq_s"];
    EXPECT_TRUE(same_freq(f["oc3_freq_s"], nlohmann::json({50000000, 1, 1}))) << f["oc3_freq_s"];
    EXPECT_TRUE(same_freq(f["xa_freq_s"], nlohmann::json({25000000, 1, 1}))) << f["xa_freq_s"];
    EXPECT_EQ(f["oc2_freq_s"][0], 0);
  }
}

TEST(KovacfgInverse, TextReportAndEngineErrors) {
  const auto plan = run("plan --device 40112 --rev 1 --mode NCO --xa 100 --oc1 156.25 --json");
  ASSERT_EQ(plan.status, 0);
  const std::string path = temp_file("nco.json", plan.out);
  const auto text = run("inverse " + path + " --rev 1 --known OC1=156250000");
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Device:        KX40112 revision 1"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Mode:          NCO"), std::string::npos);
  EXPECT_NE(text.out.find("96.5 MHz"), std::string::npos);  // the DCO, 3.5 MHz below XA
  // Without a known frequency the engine says so: status 1, the message in the JSON.
  const auto none = run("inverse " + path + " --json");
  std::remove(path.c_str());
  EXPECT_EQ(none.status, 1);
  const auto j = nlohmann::json::parse(none.out);
  EXPECT_FALSE(j["ok"].get<bool>());
  EXPECT_EQ(j["messages"].back(), "ERROR: There is no input or output frequency available");
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
    std::string args;
    std::string names;
  } cases[] = {
      {"inverse /nonexistent/image.txt --known OC1=1", "/nonexistent/image.txt"},
      {"inverse " + short_json + " --known OC1=1", short_json},
      {"inverse " + plain_bad + " --known OC1=1", plain_bad},
      {"inverse " + plain_short + " --known OC1=1", plain_short},
      {"inverse " + no_regs + " --known OC1=1", no_regs},
      {"inverse " + plain_short + " --known vco_freq_s=1", "--known"},
      {"inverse " + plain_short + " --known OC1", "--known"},
      {"inverse " + plain_short + " --known OC1=1x", "--known"},
      {"inverse " + plain_short + " --device 12345", "--device"},
      {"inverse " + plain_short + " --rev 2", "--rev"},
      {"inverse", "image"},
  };
  for (const auto &c : cases) {
    const auto r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.names), std::string::npos) << c.args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args;
  }
  for (const auto &p : {short_json, plain_bad, plain_short, no_regs}) std::remove(p.c_str());
}

}  // namespace
