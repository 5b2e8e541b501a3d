// Bitfield description files: reading, failures named by file and line, the round trip of the
// chip's own register map, and the generated register-map source text.
#include <gtest/gtest.h>

#include <tuple>

#include "files/bitfield_file.h"
#include "tests/files/eeprom_test_util.h"

using namespace eetest;

namespace {

using reg_t = std::tuple<uint32_t, std::string, std::string>;

std::vector<reg_t> tuples(const std::vector<bitfield_reg_s> &regs) {
  std::vector<reg_t> out;
  for (const auto &r : regs) out.emplace_back(r.address, r.name, r.layout);
  return out;
}

TEST(BitfieldFile, ReadsRegistersCommentsAndBlanksInAddressOrder) {
  std::vector<bitfield_reg_s> regs;
  std::string error;
  ASSERT_TRUE(bitfield_text_parse("# master control\r\n\n"
                                  "0x00A  MCR2\t- EXTSS[1:0]  AINCDIS - MCLK[2:0]   # trailing comment\n"
                                  "0x9 MCR1 RST VCXO MCSEL1 MCSEL ROSCD DBL XAB[1:0]\r\n   \t\n0X120 DCO1\n"
                                  "0x202 OC1CR3 SRLSEN DIVSEL NEGLSD LSSEL - - - LSDIV[24]",  // no final line feed
                                  "t.bf", &regs, &error))
      << error;
  const std::vector<reg_t> want = {{0x009, "MCR1", "RST VCXO MCSEL1 MCSEL ROSCD DBL XAB[1:0]"},
                                   {0x00A, "MCR2", "- EXTSS[1:0] AINCDIS - MCLK[2:0]"},
                                   {0x120, "DCO1", ""},
                                   {0x202, "OC1CR3", "SRLSEN DIVSEL NEGLSD LSSEL - - - LSDIV[24]"}};
  EXPECT_EQ(tuples(regs), want);
  EXPECT_TRUE(bitfield_text_parse("# only a comment\n\n", "t.bf", &regs, &error));
  EXPECT_TRUE(regs.empty());
}

TEST(BitfieldFile, MalformedLinesNameFileAndLineAndKeepNothing) {
  for (const auto &[text, want] : std::vector<std::pair<std::string, std::string>>{
           {"# c\n0x009 MCR1 A B C D E F G H I\n", "t.bf:2: the bitfields of register MCR1 do not add up to 8 bits"},
           {"0x009 MCR1 A[7:0] B\n", "t.bf:1: the bitfields of register MCR1 do not add up to 8 bits"},
           {"\n\n0x700 X A[7:0]\n", "t.bf:3: not a register address (0x000 to 0x6FF): \"0x700\""},
           {"0x0009 MCR1 A[7:0]\n", "t.bf:1: not a register address (0x000 to 0x6FF): \"0x0009\""},
           {"0x12G MCR1\n", "t.bf:1: not a register address (0x000 to 0x6FF): \"0x12G\""},
           {"0x009\n", "t.bf:1: register 0x009 has no name"},
           {"0x009 " + std::string(32, 'A') + "\n", "t.bf:1: not a register name: \"" + std::string(32, 'A') + "\""},
           {"0x009 MCR1 XAB[1:0 A B C D E F\n", "t.bf:1: malformed bitfield \"XAB[1:0\" in register MCR1"},
           {"0x009 MCR1 X[0:1] A B C D E F G\n", "t.bf:1: malformed bitfield \"X[0:1]\" in register MCR1"},
           {"0x009 MCR1 X[8:0]\n", "t.bf:1: malformed bitfield \"X[8:0]\" in register MCR1"},
           {"0x009 A X[7:0]\n0x009 B X[7:0]\n", "t.bf:2: register address 0x009 given twice"},
           {"0x009 A X[7:0]\n0x00A A X[7:0]\n", "t.bf:2: register name A given twice"},
           {std::string("0x009 A X[7:0]\n0x00A B\0 X\n", 25), "t.bf:2: a NUL character in the line"},
           {"0x009 A\x01\xff\n", "t.bf:1: not a register name: \"A??\""},  // unprintable bytes are not copied
       }) {
    std::vector<bitfield_reg_s> regs{{1, "X", ""}};
    std::string error;
    EXPECT_FALSE(bitfield_text_parse(text, "t.bf", &regs, &error)) << text;
    EXPECT_EQ(error, want);
    EXPECT_TRUE(regs.empty());
  }
}

// A file that does not load says why, by file and line, and keeps nothing.
TEST(BitfieldFile, LoadFailures) {
  const std::string path = temp_path("map.bf");
  std::vector<bitfield_reg_s> back{{1, "X", ""}};
  file_message_s msg;
  std::string detail;
  std::ofstream(path) << "0x009 MCR1 RST VCXO MCSEL1 MCSEL ROSCD DBL XAB[1:0]\n0x00A MCR2 - EXTSS[1:0]\n";
  EXPECT_FALSE(bitfield_file_load(path.c_str(), &back, &msg, &detail));
  EXPECT_EQ(std::tuple(msg.title, msg.text), std::tuple("Bitfield Configuration Load", "Error in bitfield file " + path));
  EXPECT_EQ(detail, path + ":2: the bitfields of register MCR2 do not add up to 8 bits");
  EXPECT_TRUE(back.empty());
  std::remove(path.c_str());
  EXPECT_FALSE(bitfield_file_load(path.c_str(), &back, &msg, &detail));
  EXPECT_EQ(msg.text, "Could not find file " + path);
}

// One name case per register, one layout case per register with a layout (a "Bitfields
// undefined" line for the others), a "Not Found" line for each missing address, in address
// order; saved as it was made.
TEST(BitfieldFile, SourceText) {
  const std::vector<bitfield_reg_s> regs = {{0x009, "MCR1", ""}, {0x00A, "MCR2", "- EXTSS[1:0] AINCDIS - MCLK[2:0]"}};
  const std::string src = bitfield_source_text(regs);
  for (const char *want : {"constexpr uint32_t REG_MCR1 = 0x009;\nconstexpr uint32_t REG_MCR2 = 0x00A;\n",
                           "//Register Address 0x008 Not Found\n    case REG_MCR1: return \"MCR1\";\n"
                           "    case REG_MCR2: return \"MCR2\";\n//Register Address 0x00B Not Found\n",
                           "//Register Address 0x009 Bitfields undefined\n"
                           "    case REG_MCR2: return \"- EXTSS[1:0] AINCDIS - MCLK[2:0]\";\n"})
    EXPECT_NE(src.find(want), std::string::npos) << want;
  const std::string path = temp_path("src.h");
  file_message_s msg;
  ASSERT_TRUE(bitfield_source_save(regs, path.c_str(), &msg));
  EXPECT_EQ(read_all(path), src);
  std::remove(path.c_str());
  EXPECT_FALSE(bitfield_source_save(regs, "/nonexistent_dir_kova/x.h", &msg));
  EXPECT_EQ(msg.text, "Unable to save file!\n/nonexistent_dir_kova/x.h: No such file or directory");
}

}  // namespace
