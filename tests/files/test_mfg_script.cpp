// The configuration script writer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/mfg_script.h"
#include "regs/seq.h"

namespace {

struct Hal {
  hal_api_s h{};
  Hal(int32_t device, int32_t mode) {
    h.kova_device_e = device;
    h.kova_mode_e = mode;
    h.xa_mode_e = xa_mode_xo_e;
    h.sysclk_mode_e = mode == kova_mode_syn_e ? sysclk_mode_ro_e : sysclk_mode_xa_e;
    init_api(&h);
    while (get_msg(&h)) {
    }
    get_seq_s rec;
    get_seq(&h, get_seq_chip_reset_e, &rec);
  }
  ~Hal() { delete_api(&h); }
  hal_api_s *operator->() { return &h; }
  hal_api_s *get() { return &h; }
};

struct script_s {
  int32_t code;
  std::vector<std::string> lines;
};

script_s write_script(hal_api_s *h) {
  char *buf = nullptr;
  size_t len = 0;
  FILE *f = open_memstream(&buf, &len);
  script_s s;
  s.code = kova_hal_api_to_mfg(h, f, "1.2.3");
  std::fclose(f);
  std::stringstream ss(std::string(buf, len));
  std::free(buf);
  std::string l;
  while (std::getline(ss, l)) s.lines.push_back(l);
  return s;
}

int index_of(const std::vector<std::string> &lines, const std::string &text) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == text) return static_cast<int>(i);
  return -1;
}

int count_prefix(const std::vector<std::string> &lines, const std::string &prefix) {
  int n = 0;
  for (const auto &l : lines) n += l.rfind(prefix, 0) == 0;
  return n;
}

const std::string kSep = ";" + std::string(70, '=');

TEST(MfgScript, DefaultsGiveAnEmptySequence) {
  Hal h(kova_device_40110_e, kova_mode_syn_e);
  // The register image at its reset defaults, ID2's device code included, is what the chip holds.
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) put_reg(h.get(), a, kova_regs_defaults(a));
  const script_s s = write_script(h.get());
  EXPECT_EQ(s.code, mfg_no_writes_e);
  EXPECT_EQ(s.lines[0], kSep);
  EXPECT_EQ(s.lines[1], "; MFG Writer");
  EXPECT_EQ(s.lines[3], "; Device Type : 40110");
  EXPECT_EQ(s.lines[5], "; GUI Version : 1.2.3");
  EXPECT_EQ(s.lines[6], "; HAL Version : 09111400");
  EXPECT_EQ(s.lines[7].rfind("; File Generation Date : ", 0), 0u);
  EXPECT_NE(index_of(s.lines, "; MFG Mode : Synthesis (0)"), -1);
  EXPECT_NE(index_of(s.lines, "; XA  Input  Frequency Hz =    125000000 * (1) / (1)"), -1);
  EXPECT_EQ(count_prefix(s.lines, "; IC1"), 0);  // no frequency, no line
  EXPECT_EQ(index_of(s.lines, "; DSP Code segment start"), -1);
  const int seq = index_of(s.lines, "; Register Sequences");
  ASSERT_NE(seq, -1);
  EXPECT_EQ(s.lines[seq + 1], kSep);
  EXPECT_EQ(s.lines[seq + 2], "");
  EXPECT_EQ(s.lines[seq + 4], "; Performed 0 register writes");
  EXPECT_EQ(s.lines.back(), kSep);
  EXPECT_EQ(s.lines[s.lines.size() - 2], "; End of MFG");
  EXPECT_NE(index_of(s.lines, ";        format and must have the \"0X\" prefix."), -1);
}

TEST(MfgScript, JitterAttenuationWritesTheDspSectionFirst) {
  Hal h(kova_device_40000_e, kova_mode_ja_e);
  put_reg(h.get(), 0x10B, 0x03);
  const script_s s = write_script(h.get());
  const int start = index_of(s.lines, "; DSP Code segment start");
  ASSERT_NE(start, -1);
  EXPECT_EQ(s.lines[start + 2], "X , 0X040B , 0X0C ; Set DSP RAM write address mode");
  EXPECT_EQ(s.lines[start + 6], "X , 0X040E , 0X01 ; Write DSPID LSB");
  EXPECT_EQ(s.lines[start + 7], "X , 0X040E , 0X00 ; Write DSPID MSB");
  EXPECT_EQ(s.lines[start + 8], "X , 0X040E , 0X62 ; DSP Addr 0X000 Byte0");
  EXPECT_EQ(s.lines[start + 9], "X , 0X040E , 0X80 ; DSP Addr 0X000 Byte1");
  EXPECT_EQ(s.lines[start + 10], "X , 0X040E , 0X00 ; DSP Addr 0X000 Byte2");
  EXPECT_EQ(s.lines[start + 8 + 3 * 319 + 2], "X , 0X040E , 0X05 ; DSP Addr 0X13F Byte2");
  EXPECT_EQ(s.lines[start + 8 + 960], "X , 0X040B , 0X00 ; Set DSP RAM reset mode");
  const int seq = index_of(s.lines, "; Register Sequences");
  ASSERT_GT(seq, start);
  // Every write is counted, the DSP section's 967 included.
  const int writes = count_prefix(s.lines, "X , ");
  EXPECT_EQ(index_of(s.lines, "; Performed " + std::to_string(writes) + " register writes") != -1, true);
  EXPECT_GT(writes, 967);
  EXPECT_EQ(s.code, 0);
  EXPECT_NE(index_of(s.lines, "; MFG Mode : JitterAttenuator (3)"), -1);
  // Sequence writes carry the register names.
  EXPECT_NE(count_prefix(s.lines, "X , 0X010B , 0X03 ; "), 0);
}

TEST(MfgScript, SynthesisHasNoDspSectionEvenWithAnIdentifier) {
  Hal h(kova_device_40000_e, kova_mode_syn_e);
  put_reg(h.get(), 0x10B, 0x03);
  const script_s s = write_script(h.get());
  EXPECT_EQ(index_of(s.lines, "; DSP Code segment start"), -1);
  EXPECT_EQ(count_prefix(s.lines, "X , 0X040E"), 0);
  const int writes = count_prefix(s.lines, "X , ");
  EXPECT_NE(index_of(s.lines, "; Performed " + std::to_string(writes) + " register writes"), -1);
  EXPECT_LT(writes, 967);
}

TEST(MfgScript, WaitsAreWrittenInMicroseconds) {
  Hal h(kova_device_40000_e, kova_mode_syn_e);
  // Enabling the APLL (PLLEN bit 0) needs a settling wait.
  put_reg(h.get(), 0x00B, 0x01);
  const script_s s = write_script(h.get());
  int waits = 0;
  for (size_t i = 0; i < s.lines.size(); ++i)
    if (s.lines[i].rfind("W , ", 0) == 0) {
      ++waits;
      EXPECT_EQ(s.lines[i], "W , " + std::to_string(KOVA_SEQ_WAIT * 1000));
      EXPECT_EQ(s.lines[i - 1].rfind("X , ", 0), 0u);  // a wait follows the write that needs it
    }
  EXPECT_GT(waits, 0);
}

TEST(MfgScript, FlagsAndSaving) {
  EXPECT_EQ(kova_hal_api_to_mfg(nullptr, nullptr, "x"), mfg_no_file_e);
  Hal h(kova_device_40000_e, kova_mode_syn_e);
  h->kova_device_e = 0;
  const script_s s = write_script(h.get());
  EXPECT_EQ(s.code & mfg_no_device_e, mfg_no_device_e);

  Hal g(kova_device_40089_e, kova_mode_syn_e);
  put_reg(g.get(), 0x10B, 0x03);
  const std::string path = ::testing::TempDir() + "/kova_mfg_" + std::to_string(getpid()) + ".mfg";
  int32_t code = -1;
  file_message_s msg;
  get_seq_s rec;
  get_seq(g.get(), get_seq_mark_written_e, &rec);
  ASSERT_TRUE(mfg_save_file(g.get(), path.c_str(), "1.0", &code, &msg));
  // Mode 3 makes every register that differs from its reset default part of the script,
  // whatever was written to a chip before.
  EXPECT_EQ(code, 0);
  EXPECT_EQ(msg.text, "DUT Config file successfully saved.");
  EXPECT_EQ(msg.title, "Save DUT Config");
  std::ifstream in(path);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(all.find("\nX , 0X010B , 0X03 ; "), std::string::npos);
  std::remove(path.c_str());

  EXPECT_FALSE(mfg_save_file(g.get(), "/nonexistent/dir/x.mfg", "1.0", &code, &msg));
  EXPECT_EQ(msg.title, "File Error");
  const std::string long_path(1024, 'a');
  EXPECT_FALSE(mfg_save_file(g.get(), long_path.c_str(), "1.0", &code, &msg));
  EXPECT_EQ(msg.text, "File name length too long.");
}

}  // namespace
