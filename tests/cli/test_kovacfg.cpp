// kovacfg as a user runs it: exit statuses, one-line errors and the JSON interface.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

namespace {

using namespace kovacfg_test;




TEST(Kovacfg, WithoutACommandItPrintsItsHelp) {
  const auto h = run("");
  EXPECT_EQ(h.status, 0) << h.err;
  for (const char *cmd : {"init", "plan", "apply", "status", "inverse", "eeprom", "board"})
    EXPECT_NE(h.out.find(std::string("  ") + cmd + " "), std::string::npos) << cmd;
}

TEST(Kovacfg, InitWithoutOptionsUsesTheDefaultDevice) {
  const auto r = run("init");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("KX40089 revision 0"), std::string::npos);
  EXPECT_NE(r.out.find("Mode:          SYN"), std::string::npos);
  EXPECT_NE(r.out.find("vco_clk_max_mhz_r"), std::string::npos);
}

TEST(Kovacfg, JsonHoldsEveryFieldAndTheMessages) {
  const auto r = run("init --device KX40110 --mode JA --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["ok"].get<bool>());
  ASSERT_EQ(j["messages"].size(), 2u);
  EXPECT_EQ(j["messages"][0], "WARNING: Invalid kova_mode_e, set to SYN");
  const auto &f = j["fields"];
  EXPECT_EQ(f.size(), 470u);  // every field but the private object pointer
  EXPECT_FALSE(f.contains("hal_obj_p"));
  EXPECT_EQ(f["kova_device_e"], 40110);
  EXPECT_EQ(f["kova_mode_e"], 0);
  EXPECT_EQ(f["xa_freq_s"], nlohmann::json({125000000, 1, 1}));
  EXPECT_EQ(f["vco_clk_min_mhz_r"], 3715.0);
  EXPECT_EQ(f["kova_hal_api_version"], 0x09111400);
}

TEST(Kovacfg, ModesAndLimitsFollowTheOptions) {
  const auto r = run("init --device 40000 --rev 1 --mode ja --xa-mode 4 --sysclk XA --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto f = nlohmann::json::parse(r.out)["fields"];
  EXPECT_EQ(f["kova_mode_e"], 3);
  EXPECT_EQ(f["xa_mode_e"], 4);
  EXPECT_EQ(f["kova_device_rev_e"], 1);
  EXPECT_EQ(f["xa_min_freq_mhz_r"], 40.0);
  EXPECT_EQ(f["xa_freq_s"], nlohmann::json({49152000, 1, 1}));
  EXPECT_EQ(f["oc1_align_en"], 0);
}

TEST(Kovacfg, EngineErrorsGiveStatusOne) {
  // JA needs the XA pins as system clock: the engine reports an error.
  const auto r = run("init --device 40000 --mode JA --sysclk RO --json");
  EXPECT_EQ(r.status, 1);
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_FALSE(j["ok"].get<bool>());
  EXPECT_EQ(j["messages"].back(), "ERROR: invalid JA sysclk mode");
}

TEST(Kovacfg, BadOptionsGiveOneLineAndStatusTwo) {
  const struct {
    const char *args;
    const char *names;
  } cases[] = {
      {"init --device 4", "--device"},     {"init --device KX", "--device"},
      {"init --mode FOO", "--mode"},       {"init --xa-mode 7", "--xa-mode"},
      {"init --xa-mode -1", "--xa-mode"},  {"init --xa-mode 1x", "--xa-mode"},
      {"init --sysclk XB", "--sysclk"},    {"init --rev 2", "--rev"},
      {"init --rev x", "--rev"},           {"init --bogus", "--bogus"},
      {"init --dsp-program /nonexistent/p.txt", "--dsp-program"},
  };
  for (const auto &c : cases) {
    const auto r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(count_lines(r.err), 1) << c.args << ": " << r.err;
    EXPECT_NE(r.err.find(c.names), std::string::npos) << c.args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args;
  }
}

TEST(Kovacfg, PlanSetsFieldsAndReportsThePlan) {
  const auto r = run("plan --set oc1_freq_s=156250000 --set oc2_freq_s=100000000,1,3 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_TRUE(j["ok"].get<bool>());
  const auto &f = j["fields"];
  EXPECT_EQ(f["oc2_freq_s"], nlohmann::json({100000000, 1, 3}));
  // The achieved output frequencies equal the requests as exact ratios.
  const auto ratio = [](const nlohmann::json &v) {
    return static_cast<long double>(v[0].get<uint32_t>()) * v[1].get<uint32_t>() / v[2].get<uint32_t>();
  };
  // An output runs from its LSDIV when LSSEL is set, else from its MSDIV.
  const auto achieved = [&](int n) {
    const std::string o = "oc" + std::to_string(n);
    return ratio(f[o + (f[o + "cr3_lssel_u1"] == 1 ? "_lsdiv_freq_s" : "_msdiv_freq_s")]);
  };
  EXPECT_EQ(achieved(1), 156250000.0L);
  EXPECT_NEAR(static_cast<double>(achieved(2)), 100000000.0 / 3, 1e-6);
  EXPECT_GT(f["oc1_msdiv_u8"].get<uint32_t>(), 0u);

  // The register image: all 2048 bytes, with the outputs enabled.
  ASSERT_EQ(j["registers"].size(), 2048u);
  EXPECT_EQ(j["registers"][0x00D], 0x07);  // OCEN
  EXPECT_EQ(j["registers"][0x031].get<int>() >> 4, 0x7);  // ID2 carries KX40089's code

  const auto t = run("plan --set oc1_freq_s=156250000");
  ASSERT_EQ(t.status, 0) << t.err;
  EXPECT_NE(t.out.find("OC1            156.25 MHz from HSDIV"), std::string::npos) << t.out;
  EXPECT_NE(t.out.find("exact"), std::string::npos);
  EXPECT_NE(t.out.find("\n  0x00D OCEN       0x07\n"), std::string::npos) << t.out;

  // Stopping after the frequency plan leaves the register image out.
  const auto e = run("plan --set oc1_freq_s=156250000 --until expert --json");
  ASSERT_EQ(e.status, 0) << e.err;
  EXPECT_FALSE(nlohmann::json::parse(e.out).contains("registers"));
}

TEST(Kovacfg, PlanErrorsAndBadFields) {
  // An output far above the chip's range is an engine error: status 1, ok false.
  const auto r = run("plan --set oc1_freq_s=4000000000 --json");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_FALSE(nlohmann::json::parse(r.out)["ok"].get<bool>());

  const struct {
    const char *args;
    const char *names;
  } cases[] = {
      {"plan --set nosuchfield=1", "nosuchfield"},
      {"plan --set oc1_freq_s=1,2", "oc1_freq_s"},
      {"plan --set dpll_bw_hz=-4", "dpll_bw_hz"},
      {"plan --set =4", "--set"},
      {"plan --set hal_obj_p=0", "hal_obj_p"},
      {"plan --until everything", "--until"},
      {"plan --config /nonexistent/kova.txt", "--config"},
      {"plan --config x.txt --device 40000", "--config"},
  };
  for (const auto &c : cases) {
    const auto e = run(c.args);
    EXPECT_EQ(e.status, 2) << c.args;
    EXPECT_EQ(count_lines(e.err), 1) << c.args << ": " << e.err;
    EXPECT_NE(e.err.find(c.names), std::string::npos) << c.args << ": " << e.err;
  }
}

TEST(Kovacfg, FrequenciesAsTyped) {
  const auto r = run("plan --mode JA --device 40000 --ic1 19.44 --oc1 156.25 --oc2 5000:1:40 --oc3 100:2*5:30 --json");
  ASSERT_EQ(r.status, 0) << r.err;
  const auto f = nlohmann::json::parse(r.out)["fields"];
  EXPECT_EQ(f["ic1_freq_s"], nlohmann::json({19440000, 1, 1}));
  EXPECT_EQ(f["icen_ic1en_u1"], 1);  // a typed input frequency enables the input
  EXPECT_EQ(f["oc1_freq_s"], nlohmann::json({156250000, 1, 1}));
  // 5000 MHz does not fit 32 bits: its factor 10 leaves base and denominator together.
  EXPECT_EQ(f["oc2_freq_s"], nlohmann::json({500000000, 1, 4}));
  EXPECT_EQ(f["oc3_freq_s"], nlohmann::json({100000000, 10, 30}));
  for (const char *bad : {"--oc1 abc", "--oc1 4294.967296", "--ic2 100:0", "--xa 1:x", "--oc3 200000:1:1"}) {
    const auto e = run(std::string("plan ") + bad);
    EXPECT_EQ(e.status, 2) << bad;
    EXPECT_EQ(count_lines(e.err), 1) << bad << ": " << e.err;
    const std::string option = std::string(bad).substr(0, std::string(bad).find(' '));
    EXPECT_NE(e.err.find(option + ":"), std::string::npos) << e.err;
  }
}

}  // namespace
