// Register dumps, their loading and comment lines, and register configuration files.
#include <gtest/gtest.h>

#include <algorithm>

#include "files/register_dump.h"
#include "regs/regmap.h"
#include "tests/files/eeprom_test_util.h"

using namespace eetest;

namespace {

TEST(RegisterDump, WriteAndLoadBack) {
  Hal h(kova_device_40089_e);
  set_fprec_s(&h->ic1_freq_s, 19440000, 1, 1);
  set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
  uint8_t regs[KOVA_REG_COUNT];
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) regs[a] = static_cast<uint8_t>(a * 13 + 1);
  regs[0x031] = 0x21;
  std::vector<uint32_t> dsp(KOVA_DSP_WORDS);
  for (uint32_t i = 0; i < KOVA_DSP_WORDS; ++i) dsp[i] = (i * 0x10203u + 7) & 0xFFFFFF;
  const std::string path = temp_path("dump.txt");
  file_message_s msg;
  ASSERT_TRUE(register_dump_write(h.get(), path.c_str(), regs, dsp.data(), 4, &msg));
  EXPECT_EQ(msg.text, "Register values saved to " + path);
  EXPECT_EQ(msg.title, "Register Dump");
  const std::string text = read_all(path);
  EXPECT_EQ(text.rfind("; KX40089 Register Dump\n; ", 0), 0u);
  char status_row[40];  // 0x21 with product index 4 becomes 0x41
  std::snprintf(status_row, sizeof status_row, "\n; Status Registers\n0030:  %02X  41  ", regs[0x030]);
  for (const char *want : {"\n; MFG Mode : JitterAttenuator (3)\n", "\n; IC1 Input  Frequency Hz =     19440000 * (1) / (1)\n",
                           "\n; OC1 Output Frequency Hz =    156250000 * (1) / (1)\n", static_cast<const char *>(status_row),
                           "\n; Manufacturer Test Registers\n0600:", "\n; DSP Code\n0000:  07  00  00  0A  02  01", "\n03B0:"})
    EXPECT_NE(text.find(want), std::string::npos) << want;
  EXPECT_EQ(text.find("\n03C0:"), std::string::npos);
  std::vector<uint32_t> code;
  Hal g(kova_device_40089_e, kova_mode_syn_e);
  ASSERT_TRUE(register_dump_load(g.get(), path.c_str(), &code, &msg));
  std::remove(path.c_str());
  EXPECT_EQ(std::pair(g->ic1_freq_s.f, g->oc1_freq_s.f), std::pair(19440000u, 156250000u));
  EXPECT_EQ(code, dsp);
  const uint32_t ranges[][2] = {{0x000, 0x0AF}, {0x100, 0x13F}, {0x200, 0x22F}, {0x300, 0x35F}, {0x400, 0x47F}, {0x600, 0x63F}};
  for (const auto &r : ranges)
    for (uint32_t a = r[0]; a <= r[1]; ++a) ASSERT_EQ(get_reg(g.get(), a), a == 0x031 ? 0x41u : regs[a]) << a;
}

// Hand-edited dumps load what can be read and skip the rest.
TEST(RegisterDump, LoadingIsLenient) {
  Hal h(kova_device_40089_e);
  const std::string path = temp_path("partial.txt");
  std::ofstream(path) << "0100:  AA  BB  CC\n"   // a short row stores only what it has
                         "0200:  11  zz  22\n"   // a non-hex value is skipped, not counted
                         "XYZ0:  55\n"           // no address: the row is skipped
                         "   \n"
                         "0610:  0x7F  123456789  66\n"  // the 9-digit piece is not a byte value
                         "07FF:  01  02  03\n"  // past the image: ignored
                         // Comment lines set what they name, unless it does not fit.
                         "; XA  Input  Frequency Hz =    125000000 * (2) / (3)\n; Device Rev : 2\n"
                         "; OC2 Output Frequency Hz = 5 * (1)\n; OC3 Output Frequency Hz = 99999999999999999999999 * (1) / (1)\n";
  std::vector<uint32_t> code;
  file_message_s msg;
  ASSERT_TRUE(register_dump_load(h.get(), path.c_str(), &code, &msg));
  std::remove(path.c_str());
  std::vector<uint32_t> got;
  for (uint32_t a : {0x100, 0x102, 0x103, 0x201, 0x610, 0x611, 0x7FF}) got.push_back(get_reg(h.get(), a));
  EXPECT_EQ(got, (std::vector<uint32_t>{0xAA, 0xCC, 0x00, 0x22, 0x7F, 0x66, 0x01}));
  EXPECT_EQ(std::tuple(h->xa_freq_s.f, h->xa_freq_s.n, h->xa_freq_s.m), std::tuple(125000000u, 2u, 3u));
  EXPECT_EQ(std::tuple(h->kova_device_rev_e, h->oc2_freq_s.f, h->oc3_freq_s.f), std::tuple(0, 0u, 0u));
  EXPECT_FALSE(register_dump_load(h.get(), "/nonexistent/dump.txt", &code, &msg));
  EXPECT_EQ(msg.text, "Could not find file /nonexistent/dump.txt");
  EXPECT_EQ(msg.title, "Dump File Load Error!");
}

TEST(RegisterConfigFile, WritesNamedRegisters) {
  uint8_t regs[KOVA_REG_COUNT];
  kovaRegDefaultsGet(regs);
  const std::string path = temp_path("regs.cfg");
  file_message_s msg;
  ASSERT_TRUE(register_config_write(path.c_str(), regs, true, &msg));
  const std::string header = read_all(path);  // all at their defaults: only the header
  EXPECT_EQ(std::count(header.begin(), header.end(), '\n'), 4);
  EXPECT_EQ(header.rfind("Kova Register Configuration\n", 0), 0u);
  regs[0x10B] = 0x03;
  ASSERT_TRUE(register_config_write(path.c_str(), regs, true, &msg));
  EXPECT_EQ(read_all(path), header + "0x10B    0x03    " + kova_reg_name(0x10B) + "\n");
  ASSERT_TRUE(register_config_write(path.c_str(), regs, false, &msg));
  const std::string all = read_all(path);
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 4 + 586);
  std::remove(path.c_str());
}

}  // namespace
