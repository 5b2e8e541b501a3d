// The EEPROM image builder: script parsing, record encoding, layout and result flags, and
// the decoder, which must give back every write and wait the builder put in.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "files/eeprom_decode.h"
#include "tests/files/eeprom_test_util.h"

using namespace eetest;

namespace {

using step_t = std::tuple<bool, uint32_t, uint8_t, uint32_t>;  // wait, address, data, wait code

std::vector<step_t> steps_of(const std::vector<eeprom_boot_step_s> &steps) {
  std::vector<step_t> out;
  for (const auto &s : steps) out.emplace_back(s.wait, s.address, s.data, s.wait_code);
  return out;
}

// The writes a chip should perform for a branch, from the script's commands: every write
// except to 0x000..0x008, MCR1 with bit 7 cleared, and the waits' codes.
std::vector<step_t> expected_steps(const kova_mfg_data_s *m, bool dsp) {
  std::vector<step_t> out;
  for (int32_t i = 0; i < m->entry_count; ++i) {
    const kova_mfg_entry_s &e = m->entries[i];
    if (e.type == kova_mfg_wait_e) {
      if (!dsp) out.emplace_back(true, 0, 0, kova_eeprom_wait_code(e.value));
    } else if ((e.type == kova_mfg_dsp_write_e) == dsp && e.value > 8) {
      out.emplace_back(false, e.value, static_cast<uint8_t>(e.value == 9 ? e.data & 0x7F : e.data), 0);
    }
  }
  return out;
}

// The decoded steps of one branch of a built image.
std::vector<step_t> decoded_steps(const built_s &b, int branch, eeprom_decoded_s *d) {
  const std::vector<uint8_t> img = b.bytes();
  EXPECT_TRUE(eeprom_image_decode(img.data(), img.size(), d)) << d->errors.front();
  return steps_of(eeprom_boot_steps(*d, branch));
}

std::string run_script(uint32_t first, uint32_t n, uint32_t seed = 0) {
  std::string s;
  for (uint32_t k = 0; k < n; ++k) s += write_line(first + k, (k * 7 + seed) & 0xFF);
  return s;
}

int32_t offset(const kova_eeprom_data_s &ee, int branch) { return ee.image[8 + 2 * branch] | ee.image[9 + 2 * branch] << 8; }

}  // namespace

TEST(EepromImage, WaitCodesAreTheShortestPowerOfTwoThatCoversTheWait) {
  EXPECT_EQ(kova_eeprom_wait_code(1), 8u);
  EXPECT_EQ(kova_eeprom_wait_code(0), 0u);
  EXPECT_EQ(kova_eeprom_wait_code(0xFFFFFFFFu), 31u);
  for (uint32_t us = 1; us < 200000; us = us * 3 / 2 + 1) {
    const uint32_t e = kova_eeprom_wait_code(us);
    EXPECT_GE(std::ldexp(6.67, static_cast<int>(e)), us * 1000.0) << us;
    EXPECT_LT(std::ldexp(6.67, static_cast<int>(e) - 1), us * 1000.0) << us;
  }
}

// The offered SPI clocks; q must fit in six bits and be at least 1: no silent wrap into the
// size code.
TEST(EepromImage, ClockFieldOfTheOfferedSpiClocks) {
  for (const auto &[khz, ok, field] : {std::tuple{1000u, true, 0x98}, {500u, true, 0x4C}, {200u, true, 0x20}, {100u, true, 0x10},
                                       {1680u, true, 0xFC}, {1690u, false, 0}, {0u, false, 0}}) {
    uint8_t f = 0;
    EXPECT_EQ(kova_eeprom_clock_field(khz, &f), ok) << khz;
    EXPECT_EQ(f, field) << khz;  // untouched when refused
  }
  EXPECT_EQ(build({write_line(0x100, 1)}, 2048, 1, 5000).result & kova_ee_bad_clock_e, kova_ee_bad_clock_e);
}

TEST(EepromImage, ParseReadsCommentFieldsSegmentsAndCommands) {
  const std::string text =
      "; Device Type : 40112\n; Device Rev : 1\n; GUI Version : 1.1.2\n; HAL Version : 09111400\n"
      "; XA  Input  Frequency Hz =    125000000 * (1) / (1)\n; OC2 Output Frequency Hz =156250000*(3)/   (7)\n"
      "; DSP Code segment start\nX , 0X040B , 0X0C ; mode\nW , 5\n; DSP Code segment stop\n"
      "x,0x0100,0x1ff // data keeps its low 8 bits\n"
      "/* a block comment\nX , 0X0101 , 0X02\n*/ closes it\n"
      "  X , 31 , 5   \nW,10000\ngarbage that is ignored\n";
  int32_t r = -1;
  mfg_ptr m = parsed(text, "a.mfg", &r);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(std::tuple(m->device_type, m->device_rev, std::string(m->gui_version), std::string(m->hal_version)),
            std::tuple(40112, 1, std::string("1.1.2"), std::string("09111400")));
  EXPECT_EQ(m->freq[kova_mfg_xa_e].f, 125000000u);
  EXPECT_EQ(m->freq[kova_mfg_oc2_e].m, 7u);
  EXPECT_EQ(std::tuple(m->dsp_count, m->other_count), std::tuple(2, 3));
  std::vector<std::tuple<int32_t, uint32_t, uint32_t>> entries;
  for (int32_t i = 0; i < m->entry_count; ++i) entries.emplace_back(m->entries[i].type, m->entries[i].value, m->entries[i].data);
  const std::vector<std::tuple<int32_t, uint32_t, uint32_t>> want = {
      {kova_mfg_dsp_write_e, 0x40B, 0x0C}, {kova_mfg_wait_e, 5, 0}, {kova_mfg_write_e, 0x100, 0xFF},
      {kova_mfg_write_e, 0x31, 5},  // the block comment's write is skipped
      {kova_mfg_wait_e, 10000, 0}};
  EXPECT_EQ(entries, want);
  // An empty line closes the DSP segment.
  m = parsed("; DSP Code segment start\nX,0X40E,0X01\n\nX,0X40E,0X02\n");
  EXPECT_EQ(std::tuple(m->dsp_count, m->other_count), std::tuple(1, 1));
}

TEST(EepromImage, ConfigurationFileFlagIsSetOnceAndBadCommandsAreFlagged) {
  int32_t r = 0;
  parsed("kova_hal_api_version 1\nkova_hal_api_version 2\nkova_hal_api_version 3\n", "c", &r);
  EXPECT_EQ(r, kova_ee_gui_file_e);
  // Bad lines are flagged from the first and not stored (their texts: the image file tests).
  mfg_ptr m = parsed("X,0X100,0X01\nX,0X4000,0X01\nW,-3\n", "c", &r);
  EXPECT_EQ(std::tuple(r, m->bad_line, m->entry_count), std::tuple(kova_ee_bad_input_e, 2, 1));
  // More commands than the record holds: the excess is refused, never stored.
  std::string big;
  for (int i = 0; i < KOVA_MFG_MAX_ENTRIES + 5; ++i) big += "W,1\n";
  m = parsed(big, "c", &r);
  EXPECT_EQ(std::tuple(r, m->entry_count, m->bad_line), std::tuple(kova_ee_bad_input_e, KOVA_MFG_MAX_ENTRIES, KOVA_MFG_MAX_ENTRIES + 1));
}

// The branch code of short scripts, byte for byte: single writes, bursts, waits, the EEPROM's
// own registers left out and MCR1's bit 7 cleared.
TEST(EepromImage, BranchCodeOfShortScripts) {
  for (const auto &[script, code] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
           {write_line(0x120, 0x11) + "W , 10\n" + write_line(0x210, 1) + write_line(0x211, 2),
            {0x01, 0x20, 0x11, 0xCB, 0x42, 0x10, 0x01, 0x01, 0x02, 0xFF}},
           {write_line(0x000, 1) + write_line(0x008, 2) + write_line(0x009, 0x85), {0x00, 0x09, 0x05, 0xFF}},
           {write_line(0x009, 0xFF) + write_line(0x00A, 0xFF), {0x40, 0x09, 0x01, 0x7F, 0xFF, 0xFF}},
           {"; DSP Code segment start\nX,0X40E,0X01\n", {}},  // only DSP entries: no code
       })
    EXPECT_EQ(kova_eeprom_branch_code(parsed(script).get()), code) << script;
  // 300 writes: a burst of 256 data bytes (count byte 0xFF) and one of 44 from 0x200.
  const std::vector<uint8_t> code = kova_eeprom_branch_code(parsed(run_script(0x100, 300)).get());
  ASSERT_EQ(code.size(), 3u + 256 + 3 + 44 + 1);
  EXPECT_EQ(std::vector<uint8_t>(code.begin(), code.begin() + 3), (std::vector<uint8_t>{0x41, 0x00, 0xFF}));
  EXPECT_EQ(std::vector<uint8_t>(code.begin() + 259, code.begin() + 262), (std::vector<uint8_t>{0x42, 0x00, 43}));
}

TEST(EepromImage, TwoConfigurationsShareOneCommonCode) {
  const std::string ja = config_script(kova_mode_ja_e);
  const built_s b = build({config_script(kova_mode_syn_e), ja, ja});
  EXPECT_EQ(b.result, kova_ee_no_input0_e << 3);
  const kova_eeprom_data_s &ee = *b.ee;
  EXPECT_EQ(std::tuple(ee.common_src, ee.preamble_len), std::tuple(1, 16));
  // 4 single writes, two repeated writes (256 and 64 triples), 3 single writes, end marker.
  EXPECT_EQ(ee.common_len, 12 + 3 + 768 + 3 + 192 + 9 + 2);
  EXPECT_EQ(ee.image[16 + 12], 0x84);
  EXPECT_EQ(std::tuple(b.scripts[1]->dsp_status, b.scripts[2]->dsp_status), std::tuple(kova_dsp_source_e, kova_dsp_matches_e));
  // Branch 0 follows the common code; branches follow each other.
  const std::vector<int32_t> offsets = {offset(ee, 0), offset(ee, 1), offset(ee, 2), offset(ee, 3)};
  const int32_t first = 16 + ee.common_len;
  EXPECT_EQ(offsets, (std::vector<int32_t>{first, first + ee.branch_len[0], first + ee.branch_len[0] + ee.branch_len[1], 0}));
  EXPECT_NE(image_file_text(&ee, kova_ee_file_bytes_e).find(";  - DSP code matches code used for EEPROM"), std::string::npos);
  // A different DSP program is flagged.
  std::string other = ja;
  const size_t at = other.find("X , 0X040E , 0X62 ; DSP Addr 0X000 Byte0");
  ASSERT_NE(at, std::string::npos);
  other.replace(at, 17, "X , 0X040E , 0X63");
  const built_s d = build({ja, other});
  EXPECT_TRUE(d.result & kova_ee_dsp_differs_e);
  EXPECT_EQ(d.scripts[1]->dsp_status, kova_dsp_differs_e);
}

TEST(EepromImage, LayoutWithoutDspCode) {
  const built_s b = build({"", write_line(0x100, 0x12) + "W , 1000\n"}, 4096, 0, 1000);
  EXPECT_EQ(b.result, kova_ee_no_input0_e | (kova_ee_no_input0_e << 2) | (kova_ee_no_input0_e << 3) | kova_ee_no_dsp_e);
  const std::vector<uint8_t> img = b.bytes();
  const std::vector<uint8_t> want = {0x01, 0x98 + 2, 0x00, 0x00, 0x17, 0x40, 0x01, 0x07, 0, 0,    18,   0,
                                     0,    0,        0,    0,    0xFF, 0xFF, 0x01, 0x00, 0x12, 0xD2, 0xFF};
  ASSERT_EQ(img.size(), want.size() + 1);
  EXPECT_EQ(std::vector<uint8_t>(img.begin(), img.end() - 1), want);
  uint32_t sum = 0;
  for (uint8_t v : img) sum += v;
  EXPECT_EQ(sum & 0xFF, 0u);
  // The rest up to the usable size is erased.
  std::vector<uint8_t> erased = img;
  erased.resize(4096, 0xFF);
  EXPECT_EQ(b.bytes(4096), erased);
}

TEST(EepromImage, ResultFlagsOfUnusableInputs) {
  EXPECT_EQ(build({"", "", "", ""}).result & 0xFF, KOVA_EE_ALL_INPUTS_MISSING | kova_ee_no_dsp_e | kova_ee_no_config_e);
  EXPECT_TRUE(build({"; DSP Code segment start\nX,0X40B,0X0C\n"}).result & kova_ee_no_config_e);
  EXPECT_TRUE(build({write_line(0x100, 1)}, 16384, 0).result & kova_ee_size_too_big_e);
  // A branch producing no code keeps offset 0 even when it had an input.
  const built_s b = build({"; only a comment\n", write_line(0x100, 1)});
  EXPECT_EQ(std::tuple(offset(*b.ee, 0), offset(*b.ee, 1)), std::tuple(0, 18));
  const std::vector<std::string> msgs = kova_eeprom_flag_messages(kova_ee_too_long_e | kova_ee_gui_file_e, 2036);
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0], "Error: EEPROM image does not fit in 2036 bytes of EEPROM memory.");
}

TEST(EepromImage, ImagesLongerThanTheLargestEepromStayInsideTheBuffer) {
  // Four branches of 2000 isolated writes each: about 24000 bytes of code.
  std::string big;
  for (uint32_t k = 0; k < 2000; ++k) big += write_line(0x100 + 2 * (k % 0x300), k & 0xFF);
  const built_s b = build({big, big, big, big}, 8192, 0);
  EXPECT_TRUE(b.result & kova_ee_too_long_e);
  EXPECT_EQ(b.ee->image_len, 18 + 4 * (3 * 2000 + 1) + 1);
  // The file shows the statistics and comments out what does not fit, up to the buffer end.
  const std::vector<std::string> lines = lines_of(image_file_text(b.ee.get(), kova_ee_file_bytes_e));
  EXPECT_NE(std::find(lines.begin(), lines.end(), ";  - Total Bytes Needed : 24023 / 8192"), lines.end());
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string &l) { return l.size() == 2; }), 8192);
}

TEST(EepromImage, DecoderGivesBackTheDspSectionAndTheBranch) {
  const built_s one = build({config_script(kova_mode_ja_e)}, 8192, 0);
  ASSERT_EQ(one.result & ~0xE, 0);
  eeprom_decoded_s d;
  auto all = expected_steps(one.scripts[0].get(), true);
  EXPECT_EQ(decoded_steps(one, -1, &d), all);
  const auto br = expected_steps(one.scripts[0].get(), false);
  all.insert(all.end(), br.begin(), br.end());
  EXPECT_EQ(decoded_steps(one, 0, &d), all);
  const eeprom_dsp_s dsp = eeprom_dsp_extract(d.common);
  ASSERT_TRUE(dsp.present);
  ASSERT_EQ(dsp.words.size(), 320u);
  EXPECT_EQ(std::tuple(dsp.id, dsp.words[0], dsp.extra_bytes), std::tuple(1, 0x008062u, 0u));
}

// Bursts around the 256-byte limit separated by waits, the EEPROM registers, then random
// scripts: the decoder gives back every write and wait, from a third branch.
TEST(EepromImage, DecoderAgreesOnBurstBoundariesAndRandomScripts) {
  std::vector<std::string> scripts(1);
  uint32_t base = 0x100;
  for (uint32_t n : {1u, 2u, 255u, 256u, 257u, 513u}) {
    scripts[0] += run_script(base, n, n) + "W , " + std::to_string(n * 13) + "\n";
    base += n + 1;
  }
  scripts[0] += write_line(0x009, 0x85) + write_line(0x00A, 0x10) + write_line(0x003, 0x44);
  std::mt19937 rng(12345);
  for (int round = 0; round < 60; ++round) {
    std::string s;
    uint32_t a = rng() % 0x700;
    const int n = 1 + static_cast<int>(rng() % 400);
    for (int i = 0; i < n; ++i) {
      const uint32_t r = rng() % 10;
      if (r == 0) s += "W , " + std::to_string(rng() % 70000) + "\n";
      else if (r == 1) a = rng() % 0x700;
      s += write_line(a, rng() & 0xFF);
      a = (a + 1) % 0x7FF;
    }
    scripts.push_back(s);
  }
  for (const std::string &s : scripts) {
    const built_s b = build({"", "", s}, 8192, 0);
    ASSERT_FALSE(b.result & kova_ee_too_long_e);
    eeprom_decoded_s d;
    EXPECT_EQ(decoded_steps(b, 2, &d), expected_steps(b.scripts[2].get(), false));
    EXPECT_EQ(d.branch_offset[2], 18);
    for (const auto &op : d.branch[2].ops)
      if (op.kind == eeprom_op_burst_e) {
        EXPECT_LE(op.data.size(), 256u);
      }
  }
}
