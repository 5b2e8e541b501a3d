// kovacfg as a user runs it offline: help, exit statuses, one-line errors, frequencies as
// typed and by field, the JSON shape and the plan's text.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <string>

namespace {

using namespace kovacfg_test;
using nlohmann::json;

bool has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST(Kovacfg, HelpNamesTheCommandsTheExitStatusesAndTheVersions) {
  const auto h = run("");
  EXPECT_EQ(h.status, 0) << h.err;
  for (const char *cmd : {"init", "plan", "apply", "status", "inverse", "eeprom", "board"})
    EXPECT_TRUE(has(h.out, std::string("  ") + cmd + " ")) << cmd;
  EXPECT_TRUE(has(h.out, "  4  the board could not be reached or read")) << h.out;
  const auto v = run("--version");
  EXPECT_EQ(v.status, 0);
  EXPECT_TRUE(has(v.out, "kovacfg 0.1, engine 0x09111400")) << v.out;
}

// One JSON shape: ok (the exit status is 0), every message, every field by name and, beside
// the records, each frequency in hertz.
TEST(Kovacfg, JsonHoldsOkMessagesFieldsAndHertz) {
  auto j = json_of(run("init --device KX40110 --mode JA --json"));
  EXPECT_TRUE(j["ok"].get<bool>());
  EXPECT_EQ(j["messages"][0], "WARNING: Invalid kova_mode_e, set to SYN");
  EXPECT_EQ(j["fields"].size(), 470u);  // every field but the private object pointer
  EXPECT_EQ(j["fields"]["kova_hal_api_version"], 0x09111400);
  EXPECT_EQ(j["fields"]["xa_freq_s"], json({125000000, 1, 1}));
  EXPECT_EQ(j["hz"]["xa_freq_s"], 125000000);
  EXPECT_FALSE(j["hz"].contains("apll_fbdiv_s"));  // a ratio, not a frequency
  const auto f = json_of(run("init --device 40000 --rev 1 --mode ja --xa-mode 4 --sysclk XA --json"))["fields"];
  EXPECT_EQ(f["kova_mode_e"], 3);
  EXPECT_EQ(f["xa_mode_e"], 4);
  EXPECT_EQ(f["kova_device_rev_e"], 1);
  EXPECT_EQ(f["xa_min_freq_mhz_r"], 40.0);

  const auto p = run("plan --oc1 156.25 --oc2 100:1:3 --json");
  ASSERT_EQ(p.status, 0) << p.err;
  j = json_of(p);
  EXPECT_EQ(j["fields"]["vco_freq_s"], json({156250000, 24, 1}));
  EXPECT_EQ(j["hz"]["vco_freq_s"], 3750000000u);
  EXPECT_EQ(j["hz"]["oc2_freq_s"], "100000000/3");
  EXPECT_EQ(j["hz"]["oc2_lsdiv_freq_s"], j["hz"]["oc2_freq_s"]);  // the output is exact
  ASSERT_EQ(j["registers"].size(), 2048u);
  EXPECT_EQ(j["registers"][0x00D], 0x07);  // OCEN

  // Engine errors: status 1 and "ok": false, whatever the stage.
  for (const char *args : {"init --device 40000 --mode JA --sysclk RO --json", "plan --oc1 4000 --json"}) {
    const auto e = run(args);
    EXPECT_EQ(e.status, 1) << args;
    EXPECT_FALSE(json_of(e)["ok"].get<bool>()) << args;
  }
}

TEST(Kovacfg, BadOptionsGiveOneLineNamingTheOptionAndStatusTwo) {
  const struct {
    const char *args, *names;
  } cases[] = {
      {"init --device KX", "--device"},       {"init --mode FOO", "--mode"},
      {"init --xa-mode 7", "--xa-mode"},      {"init --xa-mode 1x", "--xa-mode"},
      {"init --sysclk XB", "--sysclk"},       {"init --rev 2", "--rev"},
      {"init --rev x", "--rev"},              {"plan --set dpll_bw_hz=-4", "dpll_bw_hz"},
      {"init --bogus", "--bogus"},            {"init --dsp-program /nonexistent/p.txt", "--dsp-program"},
      {"plan --set nosuchfield=1", "nosuchfield"}, {"plan --set oc1_freq_s=1,2", "oc1_freq_s"},
      {"plan --set =4", "--set"},             {"plan --set hal_obj_p=0", "hal_obj_p"},
      {"plan --until everything", "--until"}, {"plan --config /nonexistent/kova.txt", "--config"},
      {"plan --config x.txt --device 40000", "--config"},
      {"plan --oc1 abc", "--oc1:"},           {"plan --oc1 4294.967296", "--oc1:"},
      {"plan --ic2 100:0", "--ic2:"},         {"plan --oc3 200000:1:1", "--oc3:"},
      {"plan --oc1 0x10", "--oc1:"},          {"plan --oc1 ''", "--oc1"},
      {"plan --oc1 0.0000001", "--oc1:"},     {"plan --xa 0x10:1", "--xa:"},
      {"plan --set oc1_freq_s=xMHz", "oc1_freq_s"}, {"plan --set oc1_freq_s=1e-10Hz", "oc1_freq_s"},
      {"plan --set apll_fbdiv_s=5MHz", "apll_fbdiv_s"},  // a ratio takes no unit
  };
  for (const auto &c : cases) {
    const auto r = run(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(count_lines(r.err), 1) << c.args << ": " << r.err;
    EXPECT_TRUE(has(r.err, c.names)) << c.args << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << c.args;
  }
}

// Typed options take MHz; --set takes the field's own unit, hertz, or a unit written out.
TEST(Kovacfg, FrequenciesAsTypedAndByField) {
  const struct {
    const char *args, *field;
    json record;
  } cases[] = {
      {"--ic1 19.44", "ic1_freq_s", {19440000, 1, 1}},
      {"--oc2 5000:1:40", "oc2_freq_s", {500000000, 1, 4}},  // 5000 MHz is factored into 32 bits
      {"--oc3 100:2*5:30", "oc3_freq_s", {100000000, 10, 30}},
      {"--oc1 1e2", "oc1_freq_s", {100000000, 1, 1}},
      {"--oc1 0", "oc1_freq_s", {0, 1, 1}},
      {"--set oc2_freq_s=100000000,1,3", "oc2_freq_s", {100000000, 1, 3}},
      {"--set oc2_freq_s=19.44MHz", "oc2_freq_s", {19440000, 1, 1}},
      {"--set oc2_freq_s=125e6Hz", "oc2_freq_s", {125000000, 1, 1}},
      {"--set oc2_freq_s=62.5kHz", "oc2_freq_s", {62500, 1, 1}},
      {"--set oc2_freq_s=0.5Hz", "oc2_freq_s", {1, 1, 2}},
      {"--set oc2_freq_s=5GHz", "oc2_freq_s", {2500000000u, 2, 1}},
  };
  for (const auto &c : cases) {
    const auto r = run(std::string("init ") + c.args + " --json");
    ASSERT_EQ(r.status, 0) << c.args << r.err;
    EXPECT_EQ(json_of(r)["fields"][c.field], c.record) << c.args;
    EXPECT_FALSE(has(r.err, "warning")) << c.args;
  }
  EXPECT_EQ(json_of(run("init --ic1 19.44 --json"))["fields"]["icen_ic1en_u1"], 1);  // typed input enabled
  // A bare number below 1 kHz is taken as hertz, as scripts rely on, with a warning.
  const auto w = run("init --set oc2_freq_s=100 --json");
  EXPECT_EQ(json_of(w)["fields"]["oc2_freq_s"], json({100, 1, 1}));
  EXPECT_TRUE(has(w.err, "warning: --set oc2_freq_s=100 is 100 Hz")) << w.err;
}

// The plan, then its warnings and errors; the solver's listing only with --verbose; a mode
// that init changed is said in the header.
TEST(Kovacfg, PlanTextShowsThePlanThenWarningsAndErrors) {
  const auto t = run("plan --oc1 156.25 --oc2 100 --oc3 125");
  ASSERT_EQ(t.status, 0) << t.err;
  EXPECT_TRUE(has(t.out, "OC1            156.25 MHz from HSDIV")) << t.out;
  EXPECT_TRUE(has(t.out, "\n  0x00D OCEN       0x07\n"));
  EXPECT_TRUE(has(t.out, "Warnings and errors:\n  WARNING: OO Align"));
  EXPECT_FALSE(has(t.out, "VCO/HSDIV set solutions"));
  EXPECT_FALSE(has(t.out, "DPLL BW set to minimum"));
  EXPECT_LT(count_lines(t.out), 60);
  const auto v = run("plan --oc1 156.25 --oc2 100 --oc3 125 --verbose");
  EXPECT_TRUE(has(v.out, "List of valid VCO/HSDIV set solutions"));
  const auto ja = run("plan --device 40000 --mode JA --xa-mode 3 --xa 49.152 --ic1 19.44 --oc1 156.25 --until expert");
  EXPECT_TRUE(has(ja.out, "Mode:          JA, XA mode 4 (XTAL DBL) (init changed it from 3, XTAL)")) << ja.out;
}

// A configuration gives the same registers whether typed or loaded from its saved file, and
// load takes the same options as the other commands.
TEST(Kovacfg, SavedAndTypedConfigurationsGiveTheSameImage) {
  const std::string cfg = "--device 40112 --rev 1 --mode JA --xa 114.285 --ic1 19.44 --oc1 156.25 --oc2 100";
  const std::string file = tmp("ja.cfg");
  ASSERT_EQ(run("save " + file + " " + cfg).status, 0);
  const auto typed = json_of(run("plan " + cfg + " --json")), loaded = json_of(run("plan --config " + file + " --json"));
  EXPECT_EQ(typed["registers"], loaded["registers"]);
  EXPECT_EQ(typed["registers"][0x031], 0x21);  // KX40112's code and revision 1, as the chip holds them
  const auto l = json_of(run("load " + file + " --oc2 125 --json"));
  std::remove(file.c_str());
  EXPECT_EQ(l["fields"]["oc2_freq_s"], json({125000000, 1, 1}));
  EXPECT_EQ(l["registers"].size(), 2048u);
}

// SYN: an input with no common APLL frequency has its HSDIV multiplied by p (16 when no p
// fits) before the calculation stops.
TEST(Kovacfg, ExpertErrorLeavesTheInputDividerItReached) {
  const auto r = run("plan --device 40113 --mode SYN --xa-mode 4 --sysclk RO --set xa_freq_s=37602000,1,1 "
                     "--set ic1_freq_s=125000000,1,1 --set icen_ic1en_u1=1 --until expert --json");
  EXPECT_EQ(r.status, 1);
  const auto j = json_of(r);
  EXPECT_TRUE(has(j["messages"].back().get<std::string>(), "divisible by 1, 2, 4 or 8"));
  EXPECT_EQ(j["fields"]["ic1_hsdiv_u8"], 16);
}

}  // namespace
