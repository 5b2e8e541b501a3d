// kovacfg as a user runs it offline: exit statuses, one-line errors, frequencies as typed and
// by field, the JSON shape and the plan's text.
#include <gtest/gtest.h>

#include "tests/cli/kovacfg_run.h"

#include <algorithm>
#include <string>

namespace {

using namespace kovacfg_test;
using nlohmann::json;

// One JSON shape: ok (the exit status is 0), every message, every field by name and, beside
// the records, each frequency in hertz; engine errors give status 1 and "ok": false.
TEST(Kovacfg, JsonHoldsOkMessagesFieldsAndHertz) {
  auto j = json_of(run("init --device KX40110 --mode JA --json"));
  EXPECT_TRUE(j["ok"].get<bool>());
  EXPECT_EQ(j["messages"][0], "WARNING: Invalid kova_mode_e, set to SYN");
  EXPECT_EQ(j["fields"].size(), 470u);  // every field but the private object pointer
  EXPECT_EQ(j["fields"]["xa_freq_s"], json({125000000, 1, 1}));
  EXPECT_EQ(j["hz"]["xa_freq_s"], 125000000);
  EXPECT_FALSE(j["hz"].contains("apll_fbdiv_s"));  // a ratio, not a frequency
  const auto p = run("plan --oc1 156.25 --oc2 100:1:3 --json");
  ASSERT_EQ(p.status, 0) << p.err;
  j = json_of(p);
  EXPECT_EQ(j["hz"]["oc2_freq_s"], "100000000/3");
  ASSERT_EQ(j["registers"].size(), 2048u);
  EXPECT_EQ(j["registers"][0x00D], 0x07);  // OCEN
  for (const char *args : {"init --device 40000 --mode JA --sysclk RO --json", "plan --oc1 4000 --json"}) {
    const auto e = run(args);
    EXPECT_EQ(e.status, 1) << args;
    EXPECT_FALSE(json_of(e)["ok"].get<bool>()) << args;
  }
}

// One case per kind of refusal, in every command: a bad choice, number, option, field, file,
// image, unit, address, count, byte or page size, and a bad board setting in the
// environment; nothing on standard output.
TEST(Kovacfg, BadOptionsGiveOneLineNamingTheOptionAndStatusTwo) {
  const std::string short_image = write_tmp("short.txt", "19 20 30");
  const struct {
    std::string env, args, names;
  } cases[] = {
      {"", "init --device KX", "--device"},
      {"", "init --bogus", "--bogus"},
      {"", "plan --set nosuchfield=1", "nosuchfield"},
      {"", "plan --config /nonexistent/kova.txt", "--config"},
      {"", "plan --oc1 4294.967296", "--oc1:"},
      {"", "plan --set apll_fbdiv_s=5MHz", "apll_fbdiv_s"},
      {"", "inverse " + short_image + " --known OC1=1", short_image},
      {"", "inverse " + short_image + " --known OC1=1x", "--known"},
      {"", "inverse", "image"},
      {"", "board read 800 1 --emulator", "ADDR"},
      {"", "board read 7FF 2 --emulator", "COUNT"},
      {"", "board write FFFF 1 2 --eeprom --emulator", "BYTE"},
      {"", "board write 0 1 --page-size 512 --board-eeprom --emulator", "--page-size"},
      {"", "board read 0 1 --emulator --usb-trace /nonexistent-dir/t.txt", "--usb-trace"},
      {"KOVA_EMULATED_BOARD=KX1", "board list", "KOVA_EMULATED_BOARD"},
      {"KOVA_EMULATED_BOARD_FAULT=melt@1", "board list --emulator", "KOVA_EMULATED_BOARD_FAULT"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args);
    const auto r = run(c.args, c.env);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(has(r.err, c.names)) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

// Typed options take MHz; --set takes the field's own record, or a unit written out; a bare
// number below 1 kHz is taken as hertz, as scripts rely on, with a warning.
TEST(Kovacfg, FrequenciesAsTypedAndByField) {
  const struct {
    const char *args, *field;
    json record;
  } cases[] = {
      {"--oc2 5000:1:40", "oc2_freq_s", {500000000, 1, 4}},  // 5000 MHz is factored into 32 bits
      {"--set oc2_freq_s=100000000,1,3", "oc2_freq_s", {100000000, 1, 3}},
      {"--set oc2_freq_s=62.5kHz", "oc2_freq_s", {62500, 1, 1}},
      {"--ic1 19.44", "icen_ic1en_u1", 1},  // a typed input is enabled
  };
  for (const auto &c : cases) {
    const auto r = run(std::string("init ") + c.args + " --json");
    ASSERT_EQ(r.status, 0) << c.args << r.err;
    EXPECT_EQ(json_of(r)["fields"][c.field], c.record) << c.args;
    EXPECT_FALSE(has(r.err, "warning")) << c.args;
  }
  const auto w = run("init --set oc2_freq_s=100 --json");
  EXPECT_EQ(json_of(w)["fields"]["oc2_freq_s"], json({100, 1, 1}));
  EXPECT_TRUE(has(w.err, "warning: --set oc2_freq_s=100 is 100 Hz")) << w.err;
}

// The plan, then its warnings and errors; the solver's listing only with --verbose; the
// versions.
TEST(Kovacfg, PlanTextShowsThePlanThenWarningsAndErrors) {
  const auto t = run("plan --oc1 156.25 --oc2 100 --oc3 125");
  ASSERT_EQ(t.status, 0) << t.err;
  EXPECT_TRUE(has(t.out, "OC1            156.25 MHz from HSDIV")) << t.out;
  EXPECT_TRUE(has(t.out, "\n  0x00D OCEN       0x07\n"));
  EXPECT_TRUE(has(t.out, "Warnings and errors:\n  WARNING: OO Align"));
  EXPECT_FALSE(has(t.out, "VCO/HSDIV set solutions"));
  EXPECT_TRUE(has(run("plan --oc1 156.25 --oc2 100 --oc3 125 --verbose").out, "List of valid VCO/HSDIV set solutions"));
  EXPECT_TRUE(has(run("--version").out, "kovacfg 0.1, engine 0x09111400"));
}

}  // namespace
