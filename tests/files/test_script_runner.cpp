// The script runner: command parsing, validation with per-line errors, running offline and
// against a recording target, and the inverse step.
#include <gtest/gtest.h>

#include <map>

#include "files/script_runner.h"
#include "tests/files/eeprom_test_util.h"

using namespace eetest;

namespace {

// A target that records what the runner asks of the board.
struct recorder_s {
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> writes;
  std::vector<uint32_t> sleeps;
  std::vector<std::string> app_log, messages;
  std::vector<std::tuple<uint32_t, uint32_t, std::vector<uint32_t>>> dsp;  // address, identifier, words
  uint8_t chip[KOVA_REG_COUNT] = {};
  int asked = 0;

  script_target_s target(bool connected) {
    script_target_s t;
    t.ctx = this;
    t.connected = connected;
    t.reset_chip = [](void *) { return true; };
    t.write_regs = [](void *c, uint32_t a, const uint8_t *d, uint32_t n) {
      static_cast<recorder_s *>(c)->writes.push_back({a, std::vector<uint8_t>(d, d + n)});
      return true;
    };
    t.read_regs = [](void *c, uint32_t a, uint8_t *d, uint32_t n) {
      std::copy_n(static_cast<recorder_s *>(c)->chip + a, n, d);
      return true;
    };
    t.write_dsp = [](void *c, uint32_t addr, const uint32_t *w, uint32_t n, uint32_t id) {
      static_cast<recorder_s *>(c)->dsp.emplace_back(addr, id, std::vector<uint32_t>(w, w + n));
      return true;
    };
    t.sleep_ms = [](void *c, uint32_t ms) { static_cast<recorder_s *>(c)->sleeps.push_back(ms); };
    t.app_log = [](void *c, const std::string &l, uint32_t m) {
      static_cast<recorder_s *>(c)->app_log.push_back(std::to_string(m) + " " + l);
    };
    t.message = [](void *c, const std::string &text, const std::string &title) {
      static_cast<recorder_s *>(c)->messages.push_back(title + ": " + text);
    };
    t.ask_known_frequency = [](void *c, hal_api_s *hal) {
      ++static_cast<recorder_s *>(c)->asked;
      hal->oc1_freq_s = {156250000, 1, 1};
      return true;
    };
    return t;
  }
};


int inverse_calls = 0;
int32_t fake_inverse(hal_api_s *) {
  ++inverse_calls;
  return 0;
}

// A blank KX40110 object, a runner and a recording target, offline unless told.
struct ScriptRunner : ::testing::Test {
  Hal h{kova_device_40110_e, kova_mode_syn_e};
  script_runner_s r;
  recorder_s rec;
  script_target_s t = rec.target(false);
  bool execute(const std::string &text, bool connected = false) {
    t.connected = connected;
    script_load_text(&r, text);
    return script_execute(&r, h.get(), &t);
  }
};

}  // namespace

// Writes of a 16-bit address and a byte, waits up to 65535 microseconds (100 ms does not
// fit); comments and other lines pass. The values of the good commands.
TEST(ScriptCommands, Parsers) {
  const struct {
    const char *line;
    bool ok;
    uint32_t a = 0, d = 0;  // a good write's address and data; a good wait's microseconds in a
  } cases[] = {
      {"X , 0X031 , 0X05 ; ID2", true, 0x031, 0x05}, {"X,31,5", true, 0x031, 0x05},
      {"X , 0XFFFF , 0XFF ; comment, with a comma", true, 0xFFFF, 0xFF}, {"X , 0X10000 , 0X01", false},
      {"X , 0X031 , 0X100", false}, {"X , 0X031", false}, {"X , 0X031 , 0X05 , 0X06", false}, {"X , 0G31 , 0X05", false},
      {"W , 65535", true, 65535}, {"W , 100000", false}, {"W , -1", false}, {"W , 99999999999999999999", false},
      {"W ,", false}, {"; comment X , zz", true}, {"anything else", true},
  };
  for (const auto &c : cases) {
    std::string why;
    uint32_t a = 0, d = 0;
    EXPECT_EQ(script_check_line(c.line, &why), c.ok) << c.line;
    if (c.line[0] == 'X' || c.line[0] == 'W') {
      EXPECT_EQ(c.line[0] == 'W' ? ScriptWaitCommandParse(c.line, &a) : ScriptWriteCommandParse(c.line, &a, &d), c.ok) << c.line;
    }
    if (c.ok) {
      EXPECT_EQ(std::pair(a, d), std::pair(c.a, c.d)) << c.line;
    }
  }
  std::string why;
  EXPECT_FALSE(script_check_line("W , 100000", &why));
  EXPECT_EQ(why, "wait 100000 is beyond 65535 microseconds");
}

TEST_F(ScriptRunner, ValidationNamesEveryBadLine) {
  script_load_text(&r, "; header\nX , 0X031 , 0X05\nW , 100000\n\nX , 0X1 ; no data\nW , 10\n");
  EXPECT_FALSE(script_validate(&r, &t));
  EXPECT_FALSE(r.run_ok);
  ASSERT_EQ(r.errors.size(), 2u);
  EXPECT_EQ(std::tuple(r.errors[0].line, r.errors[1].line, r.marked_line), std::tuple(3, 5, 3));
  EXPECT_EQ(rec.messages, std::vector<std::string>{"Validate Script Error: Command Validation FAILED (line: 3)"});
  script_load_text(&r, "X , 0X031 , 0X05\r\nW , 10\r\n");
  EXPECT_TRUE(script_validate(&r, &t));
  EXPECT_TRUE(r.run_ok);
  script_load_text(&r, "  \n\n");
  EXPECT_FALSE(script_validate(&r, &t));
  EXPECT_EQ(rec.messages.back(), "Execute Script Error: Empty Script");
}

TEST_F(ScriptRunner, OfflineRunWritesTheRegisterImage) {
  const std::string script = config_script(kova_mode_ja_e);
  ASSERT_TRUE(execute(script)) << r.errors.size();
  EXPECT_TRUE(r.run_ok);
  // The script's comments give device and clocks; the object was initialised blank.
  EXPECT_EQ(std::tuple(h->kova_device_e, h->ic1_freq_s.f, h->oc1_freq_s.f), std::tuple(kova_device_40000_e, 25000000u, 156250000u));
  // Offline the DSP section is run as register writes into the image, nothing goes to a board.
  EXPECT_TRUE(rec.dsp.empty());
  EXPECT_TRUE(rec.writes.empty());
  EXPECT_TRUE(has(r.log, "WRITING: Address 0x40E with Value 0x62"));
  EXPECT_TRUE(has(rec.app_log, "208 W , 10000"));
  // The image holds the last value the script wrote to each register.
  std::map<uint32_t, uint32_t> last;
  for (const auto &l : lines_of(script)) {
    uint32_t a, d;
    if (ScriptWriteCommandParse(l, &a, &d)) last[a] = d;
  }
  ASSERT_GT(last.size(), 50u);
  for (const auto &[a, d] : last) EXPECT_EQ(get_reg(h.get(), a), d) << a;
  // A DSP section alone: byte by byte into DPLLCR1 and DALGWR.
  ASSERT_TRUE(execute("; DSP Code segment start\nX , 0X040B , 0X0C\nX , 0X040E , 0X11\nX , 0X040E , 0X22\n"));
  EXPECT_EQ(std::pair(get_reg(h.get(), 0x40B), get_reg(h.get(), 0x40E)), std::pair(0x0Cu, 0x22u));
  EXPECT_TRUE(rec.dsp.empty());
}

TEST_F(ScriptRunner, ConnectedRunSendsTheDspProgramInOneTransfer) {
  r.reinit = true;
  ASSERT_TRUE(execute(config_script(kova_mode_ja_e), true));
  ASSERT_EQ(rec.dsp.size(), 1u);
  const auto &[addr, id, words] = rec.dsp[0];
  EXPECT_EQ(std::tuple(addr, id, words.size(), words[0]), std::tuple(0u, 1u, 320u, 0x008062u));
  EXPECT_TRUE(has(r.log, "BATCH WRITING: DSP code PASSED"));
  // The re-initialisation writes the whole image first; then one write per register line,
  // none for the DSP section.
  ASSERT_EQ(rec.writes.size(), 1u + 1065 - 967);
  EXPECT_EQ(std::pair(rec.writes[0].first, rec.writes[0].second.size()), std::pair(0u, size_t{KOVA_REG_COUNT}));
  for (size_t i = 1; i < rec.writes.size(); ++i) EXPECT_EQ(rec.writes[i].second.size(), 1u);
  EXPECT_EQ(rec.sleeps, std::vector<uint32_t>{10});  // waits pause in whole milliseconds
  EXPECT_TRUE(rec.messages.empty());
  // A short DSP section is reported and still written; a wait below a millisecond does not pause.
  ASSERT_TRUE(execute("; DSP Code segment start\nX , 0X040E , 0X34 ; Write DSPID LSB\nX , 0X040E , 0X12 ; Write DSPID MSB\n"
                      "X , 0X040E , 0X01 ; DSP Addr 0X000 Byte0\nX , 0X040E , 0X02 ; DSP Addr 0X000 Byte1\n"
                      "X , 0X040E , 0X03 ; DSP Addr 0X13F Byte2\n; DSP Code segment stop\nW , 500\n",
                      true));
  std::vector<uint32_t> short_words(320);  // nothing left of the previous program
  short_words[0] = 0x030201;
  ASSERT_EQ(rec.dsp.size(), 2u);
  EXPECT_EQ(std::tuple(std::get<1>(rec.dsp[1]), std::get<2>(rec.dsp[1])), std::tuple(0x1234u, short_words));
  EXPECT_EQ(rec.messages, std::vector<std::string>{"DUT Config Load Error: Found 1 codewords, expected 320!"});
  EXPECT_EQ(rec.sleeps.size(), 1u);
}

// A script with a bad line runs not at all: the object stays as it was and the chip is not
// left half written.
TEST_F(ScriptRunner, ABadScriptLeavesObjectAndChipAlone) {
  put_reg(h.get(), 0x100, 0x5A);
  h->oc2_freq_s = {100000000, 1, 1};
  EXPECT_FALSE(execute("; Device Type : 40000\nX , 0X100 , 0X01\nW , 70000\nX , 0X101 , 0X02\n", true));
  EXPECT_TRUE(rec.writes.empty());
  EXPECT_FALSE(r.run_ok);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].line, 3);
  EXPECT_EQ(std::tuple(h->kova_device_e, h->oc2_freq_s.f, get_reg(h.get(), 0x100)), std::tuple(kova_device_40110_e, 100000000u, 0x5Au));
}

TEST_F(ScriptRunner, InverseStepAsksForAFrequencyWhenTheScriptNamesNone) {
  ASSERT_TRUE(execute("X , 0X100 , 0X01\n"));
  inverse_calls = 0;
  ASSERT_TRUE(script_inverse(&r, h.get(), &t, fake_inverse));
  EXPECT_EQ(std::pair(rec.asked, inverse_calls), std::pair(1, 1));
  EXPECT_EQ(h->init_api_mode_e, init_api_after_inverse_e);
  EXPECT_TRUE(r.run_ok);
  // No answer: the step fails before the inverse configuration.
  t.ask_known_frequency = nullptr;
  ASSERT_TRUE(execute("X , 0X100 , 0X01\n"));
  EXPECT_FALSE(script_inverse(&r, h.get(), &t, fake_inverse));
  EXPECT_EQ(inverse_calls, 1);
  // Connected, the registers are read back from the chip first.
  recorder_s board;
  board.chip[0x123] = 0x77;
  script_target_s bt = board.target(true);
  script_load_text(&r, "; OC1 Output Frequency Hz =    156250000 * (1) / (1)\n");
  ASSERT_TRUE(script_execute(&r, h.get(), &bt));
  ASSERT_TRUE(script_inverse(&r, h.get(), &bt, fake_inverse));
  EXPECT_EQ(board.asked, 0);
  EXPECT_EQ(get_reg(h.get(), 0x123), 0x77u);
  EXPECT_FALSE(script_load_and_apply(&r, h.get(), &bt, [](hal_api_s *) { return 1; }));
  EXPECT_EQ(board.messages.back(), "DUT Config Load: DUT Config file load failed!");
  EXPECT_TRUE(script_load_and_apply(&r, h.get(), &bt, fake_inverse));
  EXPECT_EQ(board.messages.back(), "DUT Config Load: DUT Config file successfully loaded!");
}
