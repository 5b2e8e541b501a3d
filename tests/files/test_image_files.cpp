// EEPROM image files: the three writers, checked record by record by an independent reader;
// the dump converters; the readers of programming and verification, and how they refuse
// malformed files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <map>

#include "tests/files/eeprom_test_util.h"

using namespace eetest;

namespace {

// An independent reading of Intel HEX and S-record text, written straight from the format
// definitions: every record is checked, and the data is collected by address.
struct checked_s {
  std::map<uint32_t, uint8_t> data;  // address -> byte
  int data_records = 0;
  int s5_count = -1;
  bool end_seen = false;
  std::vector<std::string> faults;
};

uint32_t hx(const std::string &s, size_t pos, size_t n) { return static_cast<uint32_t>(std::stoul(s.substr(pos, n), nullptr, 16)); }

checked_s check_hex(const std::string &text) {
  checked_s c;
  uint32_t upper = 0;
  for (const std::string &l : lines_of(text)) {
    if (l.empty() || l[0] == ';') continue;
    if (c.end_seen) c.faults.push_back("record after end: " + l);
    if (l[0] != ':' || l.size() < 11 || l.size() % 2 == 0) {
      c.faults.push_back("malformed: " + l);
      continue;
    }
    for (size_t i = 1; i < l.size(); ++i)
      if (!std::isxdigit(static_cast<unsigned char>(l[i])) || std::islower(static_cast<unsigned char>(l[i])))
        c.faults.push_back("not upper-case hex: " + l);
    const uint32_t n = hx(l, 1, 2), addr = hx(l, 3, 4), type = hx(l, 7, 2);
    if (l.size() != 11 + 2 * n) {
      c.faults.push_back("length: " + l);
      continue;
    }
    uint32_t sum = 0;
    for (size_t i = 1; i + 1 < l.size(); i += 2) sum += hx(l, i, 2);
    if (sum % 256 != 0) c.faults.push_back("checksum: " + l);
    if (type == 0) {
      ++c.data_records;
      for (uint32_t k = 0; k < n; ++k) {
        const uint32_t a = (upper << 16) + addr + k;
        if (c.data.count(a)) c.faults.push_back("address twice: " + l);
        c.data[a] = static_cast<uint8_t>(hx(l, 9 + 2 * k, 2));
      }
    } else if (type == 1) {
      if (n != 0 || addr != 0) c.faults.push_back("end record: " + l);
      c.end_seen = true;
    } else if (type == 4) {
      if (n != 2 || addr != 0) c.faults.push_back("linear address record: " + l);
      else upper = hx(l, 9, 4);
    } else {
      c.faults.push_back("type: " + l);
    }
  }
  if (!c.end_seen) c.faults.push_back("no end record");
  return c;
}

checked_s check_srec(const std::string &text) {
  checked_s c;
  for (const std::string &l : lines_of(text)) {
    if (l.empty() || l[0] == ';') continue;
    if (c.end_seen) c.faults.push_back("record after end: " + l);
    if (l.size() < 10 || l[0] != 'S' || l.size() % 2) {
      c.faults.push_back("malformed: " + l);
      continue;
    }
    const char type = l[1];
    const uint32_t n = hx(l, 2, 2);
    if (l.size() != 4 + 2 * n) {
      c.faults.push_back("length: " + l);
      continue;
    }
    uint32_t sum = 0;
    for (size_t i = 2; i + 2 < l.size(); i += 2) sum += hx(l, i, 2);
    if ((~sum & 0xFF) != hx(l, l.size() - 2, 2)) c.faults.push_back("checksum: " + l);
    const uint32_t addr = hx(l, 4, 4);
    if (type == '1') {
      ++c.data_records;
      for (uint32_t k = 0; k + 3 < n; ++k) c.data[addr + k] = static_cast<uint8_t>(hx(l, 8 + 2 * k, 2));
    } else if (type == '5') {
      if (n != 3) c.faults.push_back("S5 length: " + l);
      c.s5_count = static_cast<int>(addr);
    } else if (type == '9') {
      if (n != 3 || addr != 0) c.faults.push_back("S9: " + l);
      c.end_seen = true;
    } else {
      c.faults.push_back("type: " + l);
    }
  }
  if (!c.end_seen) c.faults.push_back("no end record");
  if (c.s5_count != -1 && c.s5_count != c.data_records) c.faults.push_back("S5 count differs from the S1 records");
  return c;
}

void expect_equal_data(const checked_s &c, const std::vector<uint8_t> &want) {
  EXPECT_TRUE(c.faults.empty()) << c.faults.front();
  ASSERT_EQ(c.data.size(), want.size());
  uint32_t expect_addr = 0;
  for (const auto &[a, v] : c.data) {
    ASSERT_EQ(a, expect_addr);
    ASSERT_EQ(v, want[a]) << "address " << a;
    ++expect_addr;
  }
}

// The usable part of an image (what a programmer writes).
std::vector<uint8_t> usable_part(const kova_eeprom_data_s *ee) {
  std::vector<uint8_t> out;
  for (int32_t p = 0; p < ee->usable_size; ++p) out.push_back(static_cast<uint8_t>(ee->image[p]));
  return out;
}

eeprom_image_read_s read_for_write(const std::string &text, int32_t type, int32_t size = 2048, bool reserve = true,
                                   eeprom_ask_fn ask = nullptr, void *ctx = nullptr) {
  eeprom_image_read_s r;
  eeprom_image_check_for_write("image", text, type, size, reserve, ask, ctx, &r);
  return r;
}

struct asked_s {
  bool answer;
  std::vector<std::string> questions;
};
bool ask_recorder(void *ctx, const std::string &text, const std::string &title) {
  auto *a = static_cast<asked_s *>(ctx);
  a->questions.push_back(title + ": " + text);
  return a->answer;
}

const std::string kSyn = config_script(kova_mode_syn_e);
const std::string kJa = config_script(kova_mode_ja_e);

}  // namespace

TEST(ImageFiles, FileTypeComesFromTheName) {
  for (const auto &[name, type] : {std::pair{"a.hex", kova_ee_file_hex_e}, {"a.HEX", kova_ee_file_hex_e}, {"a.REC", kova_ee_file_srec_e},
                                   {"a.txt", kova_ee_file_bytes_e}, {"hex", kova_ee_file_bytes_e}})
    EXPECT_EQ(eeprom_file_type_from_name(name), type) << name;
}

TEST(ImageFiles, RecordsAreWellFormedAndCarryTheImage) {
  for (const int32_t size : {2048, 4096, 8192})
    for (const int32_t reserve : {0, 1}) {
      SCOPED_TRACE("size " + std::to_string(size) + " reserve " + std::to_string(reserve));
      const built_s b = build({kSyn, kJa}, size, reserve);
      ASSERT_EQ(b.result & ~(0xC), 0);
      const std::vector<uint8_t> want = usable_part(b.ee.get());
      expect_equal_data(check_hex(image_file_text(b.ee.get(), kova_ee_file_hex_e)), want);
      expect_equal_data(check_srec(image_file_text(b.ee.get(), kova_ee_file_srec_e)), want);
    }
}

TEST(ImageFiles, RecordCountsOfATwoKbyteImageWithReserve) {
  const built_s b = build({kSyn}, 2048, 1);
  const auto hex = lines_of(image_file_text(b.ee.get(), kova_ee_file_hex_e));
  int records = 0;
  for (const auto &l : hex) records += l.rfind(":04", 0) == 0;
  EXPECT_EQ(records, 509);
  EXPECT_NE(std::find(hex.begin(), hex.end(), ":020000040000FA"), hex.end());
  EXPECT_NE(std::find(hex.begin(), hex.end(), ":0407F000FFFFFFFF09"), hex.end());  // the last one, 0x07F0
  const auto rec = lines_of(image_file_text(b.ee.get(), kova_ee_file_srec_e));
  int s16 = 0, s4 = 0;
  for (const auto &l : rec) {
    s16 += l.rfind("S113", 0) == 0;
    s4 += l.rfind("S107", 0) == 0;
  }
  EXPECT_EQ(s16, 127);
  EXPECT_EQ(s4, 1);
  EXPECT_NE(std::find(rec.begin(), rec.end(), "S50300807C"), rec.end());
  EXPECT_NE(std::find(rec.begin(), rec.end(), "S9030000FC"), rec.end());
  // Header and footer.
  EXPECT_EQ(hex[1], "; EEPROM Byte File Writer");
  EXPECT_NE(std::find(hex.begin(), hex.end(), "; Address range 0x07F4 to 0x07FF is reserved for factory test and"), hex.end());
  EXPECT_EQ(hex[hex.size() - 2], "; End of EEPROM file");
}

TEST(ImageFiles, WriteThenReadGivesTheSameBytesInEveryEncoding) {
  const built_s b = build({kSyn, kJa, kSyn}, 4096, 0);
  const std::vector<uint8_t> want = usable_part(b.ee.get());
  for (const int32_t type : {kova_ee_file_bytes_e, kova_ee_file_hex_e, kova_ee_file_srec_e}) {
    const eeprom_image_read_s r = read_for_write(image_file_text(b.ee.get(), type), type, 4096, false);
    ASSERT_EQ(r.status, eeprom_read_ok_e) << r.msg.text;
    EXPECT_EQ(r.bytes, want) << "type " << type;
  }
  // Through a file on disk and its name.
  const std::string path = ::testing::TempDir() + "/kova_img_" + std::to_string(getpid()) + ".rec";
  kova_eeprom_create_s c;
  std::vector<std::string> in;
  for (const auto *t : {&kSyn, &kJa}) {
    in.push_back(path + std::to_string(in.size()) + ".mfg");
    std::ofstream(in.back()) << *t;
  }
  ASSERT_TRUE(kova_eeprom_create_file(in, path, 200, 2048, 1, &c)) << c.text;
  EXPECT_EQ(c.text, "EEPROM image file save was successful.");
  eeprom_image_read_s r;
  eeprom_image_read_for_write(path, 2048, true, nullptr, nullptr, &r);
  ASSERT_EQ(r.status, eeprom_read_ok_e) << r.msg.text;
  EXPECT_EQ(r.bytes.size(), 2036u);
  EXPECT_EQ(r.bytes, usable_part(build({kSyn, kJa}, 2048, 1).ee.get()));
  for (const auto &f : in) std::remove(f.c_str());
  std::remove(path.c_str());
}

TEST(ImageFiles, CreateReportsFlagsAndMissingFiles) {
  kova_eeprom_create_s c;
  const std::string dir = ::testing::TempDir();
  EXPECT_FALSE(kova_eeprom_create_file({}, dir + "/kova_none.txt", 200, 2048, 1, &c));
  EXPECT_EQ(c.text.rfind("EEPROM image file not written.\nError: At least one input file must be specified.", 0), 0u);
  EXPECT_FALSE(std::ifstream(dir + "/kova_none.txt").good());
  EXPECT_FALSE(kova_eeprom_create_file({dir + "/does_not_exist.mfg"}, dir + "/kova_none.txt", 200, 2048, 1, &c));
  EXPECT_EQ(c.title, "File Open Error!");
  const std::string script = dir + "/kova_one.mfg";
  std::ofstream(script) << eetest::config_script(kova_mode_syn_e);
  EXPECT_FALSE(kova_eeprom_create_file({script}, dir + "/no/such/dir/out.hex", 200, 2048, 1, &c));
  EXPECT_EQ(c.text, "Could not open " + dir + "/no/such/dir/out.hex: No such file or directory");
  std::remove(script.c_str());
}

TEST(ImageFiles, AnImageTooLongIsCommentedOutAndRefused) {
  // 2036 usable bytes; an image of 2046: 18 + 673 single writes + a burst of 4 + end + checksum.
  std::string s;
  for (uint32_t k = 0; k < 673; ++k) s += write_line(0x100 + 2 * k, k & 0xFF);
  for (uint32_t k = 0; k < 4; ++k) s += write_line(0x700 + k, k);
  const built_s b = build({s});
  ASSERT_EQ(b.ee->image_len, 2046);
  ASSERT_TRUE(b.result & kova_ee_too_long_e);
  for (const int32_t type : {kova_ee_file_bytes_e, kova_ee_file_hex_e, kova_ee_file_srec_e}) {
    const std::string text = image_file_text(b.ee.get(), type);
    EXPECT_NE(text.find(";  - Total Bytes Needed : 2046 / 2036\n"), std::string::npos);
    EXPECT_NE(text.find("; *** EEPROM code bytes do not fit in selected EEPROM size"), std::string::npos);
    int commented = 0;
    for (const auto &l : lines_of(text)) commented += l.size() > 1 && l[0] == ';' && (l[1] == ':' || l[1] == 'S' || (l.size() == 4 && l[1] == ' '));
    EXPECT_EQ(commented, type == kova_ee_file_bytes_e ? 10 : type == kova_ee_file_hex_e ? 3 : 1) << type;
    const eeprom_image_read_s r = read_for_write(text, type);
    EXPECT_EQ(r.status, eeprom_read_refused_e);
    EXPECT_EQ(r.msg.text, "File contains 2036 bytes, expected 2046");
    EXPECT_EQ(r.msg.title, "EEPROM File Error!");
    // The commented records are not counted by other tools either.
    if (type == kova_ee_file_srec_e) {
      EXPECT_TRUE(check_srec(text).faults.empty());
    }
  }
}

TEST(ImageFiles, ReservedAreaQuestionAndSizeChecks) {
  // Built for 2048 bytes without reserve, programmed into an EEPROM whose last 12 are reserved.
  const built_s b = build({kSyn}, 2048, 0);
  const std::string text = image_file_text(b.ee.get(), kova_ee_file_hex_e);
  asked_s no{false, {}};
  eeprom_image_read_s r = read_for_write(text, kova_ee_file_hex_e, 2048, true, ask_recorder, &no);
  EXPECT_EQ(r.status, eeprom_read_declined_e);
  ASSERT_EQ(no.questions.size(), 1u);
  EXPECT_EQ(no.questions[0], "EEPROM Image Write: File extends into reserved area, but can still safely be programmed "
                             "into 2036 bytes. Continue with programming?");
  asked_s yes{true, {}};
  r = read_for_write(text, kova_ee_file_hex_e, 2048, true, ask_recorder, &yes);
  ASSERT_EQ(r.status, eeprom_read_ok_e);
  EXPECT_EQ(r.bytes.size(), 2036u);  // never the factory-test range

  // Data in the reserved range is refused without asking.
  kova_eeprom_data_s ee = *b.ee;
  ee.image[2040] = 0x12;
  asked_s never{true, {}};
  r = read_for_write(image_file_text(&ee, kova_ee_file_hex_e), kova_ee_file_hex_e, 2048, true, ask_recorder, &never);
  EXPECT_EQ(r.msg.text, "File contains data in reserved address range!");
  EXPECT_TRUE(never.questions.empty());

  // A 4 kbyte image does not go into a 2 kbyte EEPROM.
  const built_s big = build({kSyn}, 4096, 0);
  r = read_for_write(image_file_text(big.ee.get(), kova_ee_file_bytes_e), kova_ee_file_bytes_e, 2048, false);
  EXPECT_EQ(r.msg.text, "File contains data beyond 2048 bytes!");

  // No statistics line: the expected count is 0.
  r = read_for_write("01\n02\n", kova_ee_file_bytes_e);
  EXPECT_EQ(r.msg.text, "File contains 2 bytes, expected 0");
  r = read_for_write("; nothing\n", kova_ee_file_bytes_e);
  EXPECT_EQ(r.msg.text, "No data to write!");
}

TEST(ImageFiles, MalformedFilesAreRefusedWithTheirLine) {
  const built_s b = build({kSyn}, 2048, 1);
  const std::string hex = image_file_text(b.ee.get(), kova_ee_file_hex_e);
  const std::string rec = image_file_text(b.ee.get(), kova_ee_file_srec_e);
  const auto hl = lines_of(hex);
  const auto rl = lines_of(rec);
  size_t h0 = 0, r0 = 0;  // first data record
  while (hl[h0].rfind(":04", 0) != 0) ++h0;
  while (rl[r0].rfind("S1", 0) != 0) ++r0;

  auto refused = [](std::vector<std::string> lines, size_t at, const std::string &line, int32_t type,
                    const std::string &why) {
    if (line.empty()) lines.erase(lines.begin() + static_cast<long>(at));
    else lines[at] = line;
    std::string text;
    for (const auto &l : lines) text += l + "\n";
    eeprom_file_data_s d;
    EXPECT_FALSE(eeprom_file_parse(text, type, &d)) << line;
    EXPECT_EQ(d.error_line, static_cast<int32_t>(at + 1)) << line;
    EXPECT_NE(d.error.find(why), std::string::npos) << d.error;
    const eeprom_image_read_s r = read_for_write(text, type);
    EXPECT_EQ(r.status, eeprom_read_refused_e);
    EXPECT_EQ(r.msg.text, "Error in image at line " + std::to_string(at + 1) + ": " + d.error);
  };
  const std::string h = hl[h0];
  refused(hl, h0, h.substr(0, h.size() - 2) + "00", kova_ee_file_hex_e, "checksum");
  refused(hl, h0, h.substr(0, h.size() - 1), kova_ee_file_hex_e, "odd number");
  refused(hl, h0, ":0400000200000000FA", kova_ee_file_hex_e, "address record");
  refused(hl, h0, ":0400000700000000F5", kova_ee_file_hex_e, "record type 0x07");
  refused(hl, h0, ":0500000000000000FB", kova_ee_file_hex_e, "byte count");
  refused(hl, h0, "garbage", kova_ee_file_hex_e, "not an Intel HEX record");
  refused(hl, h0, ":04000G00FFFFFFFF00", kova_ee_file_hex_e, "not a hexadecimal digit");
  refused(hl, h0 + 1, "", kova_ee_file_hex_e, "does not follow");  // a gap
  const std::string r = rl[r0];
  refused(rl, r0, r.substr(0, r.size() - 2) + "00", kova_ee_file_srec_e, "checksum");
  refused(rl, r0, "S208" + std::string(14, '0') + "F7", kova_ee_file_srec_e, "not supported");
  refused(rl, r0, "X1130000", kova_ee_file_srec_e, "not an S-record");
  refused(rl, r0 + 1, "", kova_ee_file_srec_e, "does not follow");
  std::vector<std::string> counted = rl;
  counted.erase(counted.begin() + static_cast<long>(r0));  // then S5 no longer matches
  std::string t;
  for (const auto &l : counted) t += l + "\n";
  eeprom_file_data_s d;
  EXPECT_FALSE(eeprom_file_parse(t, kova_ee_file_srec_e, &d));

  // An extended linear address of 0x0001 puts the next record at 64 kbyte, not at 0.
  EXPECT_FALSE(eeprom_file_parse(":020000040001F9\n:0400000001020304F2\n:00000001FF\n", kova_ee_file_hex_e, &d));
  EXPECT_NE(d.error.find("does not follow"), std::string::npos) << d.error;
  // Truncated: no end record.
  EXPECT_FALSE(eeprom_file_parse(hex.substr(0, hex.find(":00000001FF")), kova_ee_file_hex_e, &d));
  EXPECT_NE(d.error.find("end record"), std::string::npos);
  EXPECT_FALSE(eeprom_file_parse(rec.substr(0, rec.find("S9030000FC")), kova_ee_file_srec_e, &d));
  EXPECT_FALSE(eeprom_file_parse("01\n1FF\n", kova_ee_file_bytes_e, &d));
  EXPECT_EQ(d.error_line, 2);
  EXPECT_FALSE(eeprom_file_parse("01\nzz\n", kova_ee_file_bytes_e, &d));
  EXPECT_FALSE(eeprom_file_parse(";  - Total Bytes Needed : twelve\n", kova_ee_file_bytes_e, &d));
  EXPECT_EQ(d.error, "malformed statistics line");
}

TEST(ImageFiles, DumpConverters) {
  std::vector<uint8_t> data(2048);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37);
  std::string hex, rec;
  ASSERT_TRUE(ConvertToHEX(0, data.data(), 2048, 4, &hex, true));
  ASSERT_TRUE(ConvertToSRec(0, data.data(), 2048, 16, &rec, true));
  const std::vector<uint8_t> first(data.begin(), data.begin() + 2036);
  expect_equal_data(check_hex(hex), first);
  expect_equal_data(check_srec(rec), first);
  const auto hl = lines_of(hex);
  EXPECT_EQ(hl[0], ":020000040000FA");
  std::string high;  // a base address above 64 kbyte goes into the linear address record
  ConvertToHEX(0x20000, data.data(), 4, 4, &high, false);
  EXPECT_EQ(lines_of(high)[0], ":020000040002F8");
  EXPECT_EQ(hl[hl.size() - 14], ":00000001FF");
  EXPECT_EQ(hl[hl.size() - 13],
            "; Address range 0x07F4 through 0x07FF is reserved for factory test and should not be modified.");
  EXPECT_EQ(hl.back(), ";" + std::string(1, "0123456789ABCDEF"[data[2047] >> 4]) + "0123456789ABCDEF"[data[2047] & 15]);
  // 300 one-byte records: S5 count 012C with checksum CF.
  ASSERT_TRUE(ConvertToSRec(0, data.data(), 300, 1, &rec, false));
  EXPECT_NE(rec.find("\nS503012CCF\nS9030000FC"), std::string::npos);
  EXPECT_EQ(rec.back(), 'C');  // no line break after the end record

  // A dump file of each type reads back for verification.
  for (const int32_t type : {kova_ee_file_bytes_e, kova_ee_file_hex_e, kova_ee_file_srec_e}) {
    const std::string text = eeprom_dump_text(type, data.data(), 2048, true, "KX40110", "today");
    EXPECT_NE(text.find("; From KX40110 internal EEPROM\n; EEPROM Size: 2048 bytes\n"), std::string::npos);
    eeprom_file_data_s d;
    file_message_s msg;
    ASSERT_TRUE(eeprom_image_check_for_verify("dump", text, type, 2048, true, &d, &msg)) << msg.text;
    EXPECT_EQ(d.bytes, first);
    EXPECT_FALSE(eeprom_image_check_for_verify("dump", text, type, 4096, true, &d, &msg));
    EXPECT_EQ(msg.text, "Error: the size of dump (2036 bytes) doesn't match the selected EEPROM size (4084 usable bytes)!");
  }
  const std::string whole = eeprom_dump_text(kova_ee_file_bytes_e, data.data(), 2048, false, nullptr, "today");
  EXPECT_NE(whole.find("; From external board EEPROM\n"), std::string::npos);
  eeprom_file_data_s d;
  file_message_s msg;
  EXPECT_FALSE(eeprom_image_check_for_verify("dump", whole, kova_ee_file_bytes_e, 2048, true, &d, &msg));
  EXPECT_EQ(msg.text, "Error: dump contains data in the reserved address range!");
}

TEST(ImageFiles, HexStringsAndComparison) {
  uint32_t v = 0;
  EXPECT_TRUE(HexStringToUint32("  0X1f ", &v));
  EXPECT_EQ(v, 0x1Fu);
  EXPECT_TRUE(HexStringToUint32("x31", &v));
  EXPECT_EQ(v, 0x31u);
  EXPECT_TRUE(HexStringToUint32("00000000000FF", &v));
  EXPECT_EQ(v, 0xFFu);
  EXPECT_FALSE(HexStringToUint32("1FFFFFFFF", &v));
  EXPECT_TRUE(HexStringToUint32("FFFFFFFF", &v));  // all 32 bits
  EXPECT_EQ(v, 0xFFFFFFFFu);
  EXPECT_TRUE(HexStringToUint32("0X", &v));  // "0" once the X is gone
  EXPECT_FALSE(HexStringToUint32(" x ", &v));
  EXPECT_FALSE(HexStringToUint32("1 2", &v));
  EXPECT_FALSE(HexStringToUint32("g", &v));

  const uint8_t a[] = {1, 2, 3, 4, 5};
  const uint8_t b[] = {1, 9, 3, 8, 5};
  const eeprom_compare_s c = eeprom_compare(a, b, 5);
  EXPECT_EQ(c.differ_count, 2u);
  EXPECT_EQ(c.first_addr, 1u);
  EXPECT_EQ(c.expected, 2);
  EXPECT_EQ(c.found, 9);
  EXPECT_EQ(eeprom_compare(a, a, 5).differ_count, 0u);
}
