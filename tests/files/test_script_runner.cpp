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
  bool reset_ok = true;
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> writes;
  std::vector<uint32_t> sleeps;
  std::vector<std::string> app_log, messages;
  int dsp_writes = 0;
  uint32_t dsp_addr = 0, dsp_id = 0, dsp_n = 0, dsp_word0 = 0, dsp_word319 = 0;
  uint8_t chip[KOVA_REG_COUNT] = {};
  int asked = 0;

  script_target_s target(bool connected) {
    script_target_s t;
    t.ctx = this;
    t.connected = connected;
    t.reset_chip = [](void *c) { return static_cast<recorder_s *>(c)->reset_ok; };
    t.write_regs = [](void *c, uint32_t a, const uint8_t *d, uint32_t n) {
      static_cast<recorder_s *>(c)->writes.push_back({a, std::vector<uint8_t>(d, d + n)});
      return true;
    };
    t.read_regs = [](void *c, uint32_t a, uint8_t *d, uint32_t n) {
      for (uint32_t k = 0; k < n; ++k) d[k] = static_cast<recorder_s *>(c)->chip[a + k];
      return true;
    };
    t.write_dsp = [](void *c, uint32_t addr, const uint32_t *w, uint32_t n, uint32_t id) {
      auto *r = static_cast<recorder_s *>(c);
      ++r->dsp_writes;
      r->dsp_addr = addr, r->dsp_id = id, r->dsp_n = n, r->dsp_word0 = w[0], r->dsp_word319 = w[319];
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

struct Hal {
  hal_api_s h{};
  Hal() {
    h.kova_device_e = kova_device_40110_e;
    h.init_api_mode_e = init_api_full_e;
    init_api(&h);
    while (get_msg(&h)) {
    }
  }
  ~Hal() { delete_api(&h); }
};

bool has(const std::vector<std::string> &v, const std::string &s) { return std::find(v.begin(), v.end(), s) != v.end(); }

int inverse_calls = 0;
int32_t fake_inverse(hal_api_s *hal) {
  ++inverse_calls;
  hal->kova_mode_e = kova_mode_syn_e;
  return 0;
}
int32_t failing_inverse(hal_api_s *) { return 1; }

}  // namespace

TEST(ScriptRunner, CommandParsers) {
  const struct {
    const char *line;
    bool ok;
    uint32_t address, data;
  } writes[] = {
      {"X , 0X031 , 0X05 ; ID2", true, 0x031, 0x05},  {"X,31,5", true, 0x031, 0x05},
      {"X , 0XFFFF , 0XFF ; comment, with a comma", true, 0xFFFF, 0xFF}, {"X , 0X10000 , 0X01", false, 0, 0},
      {"X , 0X031 , 0X100", false, 0, 0},  {"X , 0X031", false, 0, 0},  {"X , 0X031 , 0X05 , 0X06", false, 0, 0},
      {"X , 0G31 , 0X05", false, 0, 0},
  };
  for (const auto &c : writes) {
    uint32_t a = 0, d = 0;
    ASSERT_EQ(ScriptWriteCommandParse(c.line, &a, &d), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(a << 8 | d, c.address << 8 | c.data) << c.line;
    }
  }
  uint32_t w = 0;
  ASSERT_TRUE(ScriptWaitCommandParse("W , 65535", &w));
  EXPECT_EQ(w, 65535u);
  for (const char *bad : {"W , 100000", "W , -1", "W , 99999999999999999999", "W ,"})
    EXPECT_FALSE(ScriptWaitCommandParse(bad, &w)) << bad;  // 100 ms does not fit
  std::string why;
  EXPECT_FALSE(script_check_line("W , 100000", &why));
  EXPECT_EQ(why, "wait 100000 is beyond 65535 microseconds");
  EXPECT_TRUE(script_check_line("; comment X , zz", &why));
  EXPECT_TRUE(script_check_line("anything else", &why));
}

TEST(ScriptRunner, ValidationNamesEveryBadLine) {
  script_runner_s r;
  recorder_s rec;
  const script_target_s t = rec.target(false);
  script_load_text(&r, "; header\nX , 0X031 , 0X05\nW , 100000\n\nX , 0X1 ; no data\nW , 10\n");
  EXPECT_FALSE(script_validate(&r, &t));
  EXPECT_FALSE(r.run_ok);
  ASSERT_EQ(r.errors.size(), 2u);
  EXPECT_EQ(r.errors[0].line, 3);
  EXPECT_EQ(r.errors[1].line, 5);
  EXPECT_EQ(r.marked_line, 3);
  EXPECT_EQ(rec.messages, std::vector<std::string>{"Validate Script Error: Command Validation FAILED (line: 3)"});

  script_load_text(&r, "X , 0X031 , 0X05\r\nW , 10\r\n");
  EXPECT_TRUE(script_validate(&r, &t));
  EXPECT_TRUE(r.run_ok);

  script_load_text(&r, "  \n\n");
  EXPECT_FALSE(script_validate(&r, &t));
  EXPECT_EQ(rec.messages.back(), "Execute Script Error: Empty Script");
}

TEST(ScriptRunner, OfflineRunWritesTheRegisterImage) {
  Hal h;
  script_runner_s r;
  recorder_s rec;
  const script_target_s t = rec.target(false);
  script_load_text(&r, config_script(kova_mode_ja_e));
  ASSERT_TRUE(script_validate(&r, &t));
  ASSERT_TRUE(script_execute(&r, &h.h, &t)) << r.errors.size();
  EXPECT_TRUE(r.run_ok);
  // The script's comments give device and clocks; the object was initialised blank.
  EXPECT_EQ(h.h.kova_device_e, kova_device_40000_e);
  EXPECT_EQ(h.h.ic1_freq_s.f, 25000000u);
  EXPECT_EQ(h.h.oc1_freq_s.f, 156250000u);
  // Offline the DSP section is run as register writes into the image, no DSP RAM write.
  EXPECT_EQ(rec.dsp_writes, 0);
  EXPECT_TRUE(rec.writes.empty());
  EXPECT_TRUE(has(r.log, "WRITING: Address 0x40E with Value 0x62"));
  EXPECT_TRUE(has(rec.app_log, "208 W , 10000"));
  // The image holds the last value the script wrote to each register.
  std::map<uint32_t, uint32_t> last;
  for (const auto &l : lines_of(config_script(kova_mode_ja_e))) {
    uint32_t a, d;
    if (ScriptWriteCommandParse(l, &a, &d)) last[a] = d;
  }
  ASSERT_GT(last.size(), 50u);
  for (const auto &[a, d] : last) EXPECT_EQ(get_reg(&h.h, a), d) << a;

  // A DSP section alone: byte by byte into DPLLCR1 and DALGWR.
  script_load_text(&r, "; DSP Code segment start\nX , 0X040B , 0X0C\nX , 0X040E , 0X11\nX , 0X040E , 0X22\n"
                       "; DSP Code segment stop\n");
  ASSERT_TRUE(script_execute(&r, &h.h, &t));
  EXPECT_EQ(get_reg(&h.h, 0x40B), 0x0Cu);
  EXPECT_EQ(get_reg(&h.h, 0x40E), 0x22u);
  EXPECT_EQ(rec.dsp_writes, 0);
}

TEST(ScriptRunner, ConnectedRunSendsTheDspProgramInOneTransfer) {
  Hal h;
  script_runner_s r;
  r.reinit = true;
  recorder_s rec;
  const script_target_s t = rec.target(true);
  script_load_text(&r, config_script(kova_mode_ja_e));
  ASSERT_TRUE(script_execute(&r, &h.h, &t));
  EXPECT_EQ(rec.dsp_writes, 1);
  EXPECT_EQ(rec.dsp_addr, 0u);
  EXPECT_EQ(rec.dsp_id, 1u);
  EXPECT_EQ(rec.dsp_n, 320u);
  EXPECT_EQ(rec.dsp_word0, 0x008062u);
  EXPECT_TRUE(has(r.log, "BATCH WRITING: DSP code PASSED"));
  // The re-initialisation writes the whole image first; then one write per register line,
  // none for the DSP section.
  ASSERT_FALSE(rec.writes.empty());
  EXPECT_EQ(rec.writes[0].first, 0u);
  EXPECT_EQ(rec.writes[0].second.size(), KOVA_REG_COUNT);
  for (size_t i = 1; i < rec.writes.size(); ++i) EXPECT_EQ(rec.writes[i].second.size(), 1u);
  EXPECT_EQ(rec.writes.size(), 1u + 1065 - 967);
  // Waits pause in whole milliseconds.
  EXPECT_EQ(rec.sleeps, std::vector<uint32_t>{10});
  EXPECT_TRUE(rec.messages.empty());
}

TEST(ScriptRunner, ShortDspSectionIsReportedAndStillWritten) {
  Hal h;
  script_runner_s r;
  recorder_s rec;
  const script_target_s t = rec.target(true);
  script_load_text(&r,
                   "; DSP Code segment start\n"
                   "X , 0X040E , 0X34 ; Write DSPID LSB\n"
                   "X , 0X040E , 0X12 ; Write DSPID MSB\n"
                   "X , 0X040E , 0X01 ; DSP Addr 0X000 Byte0\n"
                   "X , 0X040E , 0X02 ; DSP Addr 0X000 Byte1\n"
                   "X , 0X040E , 0X03 ; DSP Addr 0X13F Byte2\n"
                   "; DSP Code segment stop\n"
                   "W , 500\n");
  ASSERT_TRUE(script_execute(&r, &h.h, &t));
  EXPECT_EQ(rec.dsp_writes, 1);
  EXPECT_EQ(rec.dsp_id, 0x1234u);
  EXPECT_EQ(rec.dsp_word0, 0x030201u);
  ASSERT_EQ(rec.messages.size(), 1u);
  EXPECT_EQ(rec.messages[0], "DUT Config Load Error: Found 1 codewords, expected 320!");
  EXPECT_TRUE(rec.sleeps.empty());  // below a millisecond: no pause
}

// A script with a bad line runs not at all: the object stays as it was and the chip is not
// left half written.
TEST(ScriptRunner, ABadScriptLeavesObjectAndChipAlone) {
  Hal h;
  put_reg(&h.h, 0x100, 0x5A);
  h.h.oc2_freq_s = {100000000, 1, 1};
  script_runner_s r;
  script_load_text(&r, "; Device Type : 40000\nX , 0X100 , 0X01\nW , 70000\nX , 0X101 , 0X02\n");
  recorder_s rec;
  const script_target_s t = rec.target(true);
  EXPECT_FALSE(script_execute(&r, &h.h, &t));
  EXPECT_TRUE(rec.writes.empty());
  EXPECT_FALSE(r.run_ok);
  ASSERT_EQ(r.errors.size(), 1u);
  EXPECT_EQ(r.errors[0].line, 3);
  EXPECT_EQ(h.h.kova_device_e, kova_device_40110_e);
  EXPECT_EQ(h.h.oc2_freq_s.f, 100000000u);
  EXPECT_EQ(get_reg(&h.h, 0x100), 0x5Au);
}

TEST(ScriptRunner, InverseStepAsksForAFrequencyWhenTheScriptNamesNone) {
  Hal h;
  script_runner_s r;
  recorder_s rec;
  script_target_s t = rec.target(false);
  script_load_text(&r, "X , 0X100 , 0X01\n");
  ASSERT_TRUE(script_execute(&r, &h.h, &t));
  inverse_calls = 0;
  ASSERT_TRUE(script_inverse(&r, &h.h, &t, fake_inverse));
  EXPECT_EQ(rec.asked, 1);
  EXPECT_EQ(inverse_calls, 1);
  EXPECT_EQ(h.h.init_api_mode_e, init_api_after_inverse_e);
  EXPECT_TRUE(r.run_ok);

  // No answer: the step fails before the inverse configuration.
  t.ask_known_frequency = nullptr;
  script_load_text(&r, "X , 0X100 , 0X01\n");
  ASSERT_TRUE(script_execute(&r, &h.h, &t));
  EXPECT_FALSE(script_inverse(&r, &h.h, &t, fake_inverse));
  EXPECT_EQ(inverse_calls, 1);

  // Connected, the registers are read back from the chip first.
  recorder_s board;
  board.chip[0x123] = 0x77;
  script_target_s bt = board.target(true);
  script_load_text(&r, "; OC1 Output Frequency Hz =    156250000 * (1) / (1)\n");
  ASSERT_TRUE(script_execute(&r, &h.h, &bt));
  ASSERT_TRUE(script_inverse(&r, &h.h, &bt, fake_inverse));
  EXPECT_EQ(board.asked, 0);
  EXPECT_EQ(get_reg(&h.h, 0x123), 0x77u);

  EXPECT_FALSE(script_load_and_apply(&r, &h.h, &bt, failing_inverse));
  EXPECT_EQ(board.messages.back(), "DUT Config Load: DUT Config file load failed!");
  EXPECT_TRUE(script_load_and_apply(&r, &h.h, &bt, fake_inverse));
  EXPECT_EQ(board.messages.back(), "DUT Config Load: DUT Config file successfully loaded!");
}

TEST(ScriptRunner, ScriptsOfBothModesBecomeTheConfiguration) {
  for (const int32_t mode : {kova_mode_syn_e, kova_mode_ja_e}) {
    Hal h;
    script_runner_s r;
    script_load_text(&r, config_script(mode));
    ASSERT_TRUE(script_load_and_apply(&r, &h.h, nullptr));
    EXPECT_EQ(h.h.kova_device_e, kova_device_40000_e);
    EXPECT_EQ(h.h.kova_mode_e, mode);
    EXPECT_EQ(h.h.oc1_freq_s.f, 156250000u);
    EXPECT_EQ(h.h.init_api_mode_e, init_api_after_inverse_e);
    EXPECT_LT(msg_level(&h.h), 2u);
  }
  script_runner_s r;
  file_message_s msg;
  EXPECT_FALSE(script_load_file(&r, "", &msg));
  EXPECT_EQ(msg.text, "No DUT Config file specified.");
}
