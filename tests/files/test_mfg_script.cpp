// The configuration script writer.
#include <gtest/gtest.h>

#include <algorithm>

#include "files/mfg_script.h"
#include "regs/seq.h"
#include "tests/files/eeprom_test_util.h"

using namespace eetest;

namespace {

struct script_s {
  int32_t code;
  std::vector<std::string> lines;
  int index_of(const std::string &text) const {
    const auto it = std::find(lines.begin(), lines.end(), text);
    return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
  }
  long count_prefix(const std::string &prefix) const {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string &l) { return l.rfind(prefix, 0) == 0; });
  }
};

// The script of an object fresh from a chip reset whose registers were then given by set_regs.
script_s script_of(int32_t device, int32_t mode, void (*set_regs)(hal_api_s *)) {
  Hal h(device, mode);
  get_seq_s rec;
  get_seq(h.get(), get_seq_chip_reset_e, &rec);
  set_regs(h.get());
  script_s s;
  s.lines = lines_of(written([&](FILE *f) { s.code = kova_hal_api_to_mfg(h.get(), f, "1.2.3"); }));
  return s;
}

TEST(MfgScript, DefaultsGiveAnEmptySequence) {
  // The register image at its reset defaults, ID2's device code included, is what the chip holds.
  const script_s s = script_of(kova_device_40110_e, kova_mode_syn_e, [](hal_api_s *h) {
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) put_reg(h, a, kova_regs_defaults(a));
  });
  EXPECT_EQ(s.code, mfg_no_writes_e);
  EXPECT_EQ(std::vector<std::string>(s.lines.begin() + 3, s.lines.begin() + 6),
            (std::vector<std::string>{"; Device Type : 40110", "; Device Rev : 0", "; GUI Version : 1.2.3"}));
  EXPECT_NE(s.index_of("; Performed 0 register writes"), -1);
  EXPECT_EQ(s.count_prefix("; IC1") + s.count_prefix("; DSP Code"), 0);  // no frequency, no line; no DSP section
  EXPECT_EQ(script_of(0, kova_mode_syn_e, [](hal_api_s *) {}).code & mfg_no_device_e, mfg_no_device_e);
}

// Jitter attenuation writes the DSP section first and counts its 967 writes; synthesis has
// none; every write is counted, sequence writes carry names, and a write that needs settling
// (PLLEN, bit 0 of 0x00B) is followed by its wait in microseconds.
TEST(MfgScript, TheDspSectionOnlyInJitterAttenuation) {
  const auto regs = [](hal_api_s *h) {
    put_reg(h, 0x10B, 0x03);
    put_reg(h, 0x00B, 0x01);
  };
  const script_s s = script_of(kova_device_40000_e, kova_mode_ja_e, regs);
  const int start = s.index_of("; DSP Code segment start");
  ASSERT_NE(start, -1);
  EXPECT_EQ(s.lines[start + 2], "X , 0X040B , 0X0C ; Set DSP RAM write address mode");
  EXPECT_EQ(s.lines[start + 8 + 3 * 319 + 2], "X , 0X040E , 0X05 ; DSP Addr 0X13F Byte2");
  EXPECT_EQ(s.lines[start + 8 + 960], "X , 0X040B , 0X00 ; Set DSP RAM reset mode");
  EXPECT_GT(s.index_of("; Register Sequences"), start);
  EXPECT_EQ(s.code, 0);
  EXPECT_NE(s.index_of("; MFG Mode : JitterAttenuator (3)"), -1);
  EXPECT_NE(s.count_prefix("X , 0X010B , 0X03 ; "), 0);
  const script_s syn = script_of(kova_device_40000_e, kova_mode_syn_e, regs);
  EXPECT_EQ(syn.count_prefix("X , 0X040E"), 0);
  for (const script_s *t : {&s, &syn}) {
    const long writes = t->count_prefix("X , ");
    EXPECT_NE(t->index_of("; Performed " + std::to_string(writes) + " register writes"), -1);
    EXPECT_EQ(writes > 967, t == &s);
    EXPECT_GT(t->count_prefix("W , "), 0);
    for (size_t i = 1; i < t->lines.size(); ++i)
      if (t->lines[i].rfind("W , ", 0) == 0) {
        EXPECT_EQ(t->lines[i], "W , " + std::to_string(KOVA_SEQ_WAIT * 1000));
        EXPECT_EQ(t->lines[i - 1].rfind("X , ", 0), 0u);
      }
  }
}

// Every register that differs from its reset default is part of the saved script, whatever
// was written to a chip before.
TEST(MfgScript, Saving) {
  Hal g(kova_device_40089_e, kova_mode_syn_e);
  put_reg(g.get(), 0x10B, 0x03);
  get_seq_s rec;
  get_seq(g.get(), get_seq_mark_written_e, &rec);
  const std::string path = temp_path("save.mfg");
  int32_t code = -1;
  file_message_s msg;
  ASSERT_TRUE(mfg_save_file(g.get(), path.c_str(), "1.0", &code, &msg));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(msg.text, "DUT Config file successfully saved.");
  EXPECT_NE(read_all(path).find("\nX , 0X010B , 0X03 ; "), std::string::npos);
  std::remove(path.c_str());
  EXPECT_FALSE(mfg_save_file(g.get(), std::string(1024, 'a').c_str(), "1.0", &code, &msg));
  EXPECT_EQ(msg.text, "File name length too long.");
  EXPECT_EQ(kova_hal_api_to_mfg(nullptr, nullptr, "x"), mfg_no_file_e);
}

}  // namespace
