// The DSP program table and its file format.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "hal/dsp_program.h"

namespace {

hal_api_s with_device(int32_t device) {
  hal_api_s h{};
  h.kova_device_e = device;
  return h;
}

std::string read_shipped() {
  const char *src = std::getenv("KOVA_SOURCE_DIR");
  std::ifstream in(std::string(src ? src : ".") + "/hal/data/dsp_program.txt");
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(DspProgram, BuiltInWordsOnlyForDevicesWithADpll) {
  dsp_program_use_embedded();
  const hal_api_s h = with_device(40000);
  const uint32_t words[][2] = {{0, 0x008062}, {1, 0x006462}, {2, 0x000092}, {7, 0x00006A}, {319, 0x050814},
                               {300, 0},      {320, 0},      {0xFFFFFFFF, 0}};
  for (const auto &w : words) EXPECT_EQ(get_dsp_algo_word24(&h, w[0]), w[1]) << w[0];
  const dsp_program_s *p = dsp_program_active();
  EXPECT_TRUE(p->known[14] && p->known[25] && p->known[47] && p->known[216] && p->known[277]);
  EXPECT_FALSE(p->known[8] || p->known[276]);
  // Words 8 to 276 except the four known zeros are not carried by the shipped copy.
  EXPECT_EQ(dsp_program_unknown_count(), 265u);
  for (int32_t dev : {40110, 40111, 12345}) {
    const hal_api_s n = with_device(dev);
    EXPECT_EQ(get_dsp_id_word16(&n), 0u);
    for (uint32_t i = 0; i < 320; ++i) ASSERT_EQ(get_dsp_algo_word24(&n, i), 0u) << dev;
  }
}

TEST(DspProgram, ParserReportsTheLine) {
  std::string err;
  dsp_program_s p;
  std::string text = read_shipped();
  ASSERT_FALSE(text.empty());
  EXPECT_TRUE(dsp_program_parse(text.data(), text.size(), "shipped", &p, &err)) << err;

  auto fails_with = [&](const std::string &t, const std::string &expect) {
    dsp_program_s q;
    q.words[0] = 0xDEAD;
    err.clear();
    EXPECT_FALSE(dsp_program_parse(t.data(), t.size(), "f.txt", &q, &err));
    EXPECT_NE(err.find(expect), std::string::npos) << err;
    EXPECT_EQ(q.words[0], 0xDEADu);  // untouched on failure
  };
  const std::pair<std::string, const char *> bad[] = {
      {"", "f.txt:0: holds 0 words"}, {"0x1\n0x2\n", "holds 2 words"},
      {"0x1\n0x1000000\n", "f.txt:2: word 0x1000000 does not fit in 24 bits"}, {"0x1 12\n", "f.txt:1: not a 0x word: \"12\""},
      {"0xG\n", "not a 0x word"}, {"0x00000000001\n", "not a 0x word"}, {text + "0x0\n", "more than 320 words"},
      {std::string("0x1\0garbage\n", 12), "not a 0x word"}};
  for (const auto &[t, expect] : bad) fails_with(t, expect);
}

TEST(DspProgram, LoadingAFileReplacesTheProgram) {
  std::string text;
  for (int i = 0; i < 320; ++i) text += "0x" + std::to_string(100000 + i) + "  # word\n";
  const std::string path = ::testing::TempDir() + "/kova_dsp_test.txt";
  {
    std::ofstream out(path);
    out << text;
  }
  std::string err;
  ASSERT_TRUE(dsp_program_load_file(path.c_str(), &err)) << err;
  const hal_api_s h = with_device(40089);
  EXPECT_EQ(get_dsp_algo_word24(&h, 0), 0x100000u);
  EXPECT_EQ(get_dsp_algo_word24(&h, 319), 0x100319u);
  EXPECT_EQ(dsp_program_unknown_count(), 0u);

  // A bad file leaves the loaded program in place.
  EXPECT_FALSE(dsp_program_load_file("/nonexistent/kova.txt", &err));
  EXPECT_NE(err.find("/nonexistent/kova.txt"), std::string::npos);
  EXPECT_EQ(get_dsp_algo_word24(&h, 0), 0x100000u);
  dsp_program_use_embedded();
  EXPECT_EQ(get_dsp_algo_word24(&h, 0), 0x008062u);
  std::remove(path.c_str());
}

}  // namespace
