// EEPROM image files: the writers checked record by record by an independent reader, the
// dump converters, and the readers of programming and verification with their refusals.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/files/eeprom_test_util.h"

using namespace eetest;

namespace {

// The bytes of an image file as the reader finds them; a file that does not parse has none.
std::vector<uint8_t> parsed_bytes(const std::string &text, int32_t type) {
  eeprom_file_data_s d;
  EXPECT_TRUE(eeprom_file_parse(text, type, &d)) << d.error_line << ": " << d.error;
  return d.bytes;
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

long count_prefix(const std::vector<std::string> &lines, const std::string &prefix) {
  return std::count_if(lines.begin(), lines.end(), [&](const std::string &l) { return l.rfind(prefix, 0) == 0; });
}

const std::string kSyn = config_script(kova_mode_syn_e);
const std::string kJa = config_script(kova_mode_ja_e);
constexpr int32_t kTypes[] = {kova_ee_file_bytes_e, kova_ee_file_hex_e, kova_ee_file_srec_e};

}  // namespace

TEST(ImageFiles, FileTypeComesFromTheName) {
  for (const auto &[name, type] : {std::pair{"a.hex", kova_ee_file_hex_e}, {"a.HEX", kova_ee_file_hex_e}, {"a.REC", kova_ee_file_srec_e},
                                   {"a.txt", kova_ee_file_bytes_e}, {"hex", kova_ee_file_bytes_e}})
    EXPECT_EQ(eeprom_file_type_from_name(name), type) << name;
}

// Every encoding of every size, with and without the reserved bytes, carries the usable part
// of the image and reads back as it (record form, lengths and checksums are checked on reading).
TEST(ImageFiles, RecordsAreWellFormedAndReadBackAsTheImage) {
  for (const int32_t size : {2048, 4096, 8192})
    for (const int32_t reserve : {0, 1}) {
      SCOPED_TRACE("size " + std::to_string(size) + " reserve " + std::to_string(reserve));
      const built_s b = build({kSyn, kJa}, size, reserve);
      ASSERT_EQ(b.result & ~(0xC), 0);
      const std::vector<uint8_t> want = b.bytes(b.ee->usable_size);
      for (const int32_t type : kTypes) {
        const std::string text = image_file_text(b.ee.get(), type);
        const eeprom_image_read_s r = read_for_write(text, type, size, reserve);
        ASSERT_EQ(r.status, eeprom_read_ok_e) << r.msg.text;
        EXPECT_EQ(r.bytes, want) << "type " << type;
      }
    }
}

TEST(ImageFiles, RecordCountsOfATwoKbyteImageWithReserve) {
  const built_s b = build({kSyn}, 2048, 1);
  const auto hex = lines_of(image_file_text(b.ee.get(), kova_ee_file_hex_e));
  EXPECT_EQ(count_prefix(hex, ":04"), 509);
  EXPECT_TRUE(has(hex, ":020000040000FA"));
  EXPECT_TRUE(has(hex, ":0407F000FFFFFFFF09"));  // the last one, 0x07F0
  const auto rec = lines_of(image_file_text(b.ee.get(), kova_ee_file_srec_e));
  EXPECT_EQ(count_prefix(rec, "S113"), 127);
  EXPECT_EQ(count_prefix(rec, "S107"), 1);
  EXPECT_TRUE(has(rec, "S50300807C"));
  EXPECT_TRUE(has(rec, "S9030000FC"));
  EXPECT_EQ(hex[1], "; EEPROM Byte File Writer");
  EXPECT_TRUE(has(hex, "; Address range 0x07F4 to 0x07FF is reserved for factory test and"));
  EXPECT_EQ(hex[hex.size() - 2], "; End of EEPROM file");
}

// From script files to an image file named .rec and back; a build that fails says why and
// leaves the previous file as it was.
TEST(ImageFiles, CreateFromScriptFiles) {
  kova_eeprom_create_s c;
  const std::string out = temp_path("img.rec"), bad = temp_path("bad.mfg"), no_dir = temp_path("no/such/dir/out.hex");
  const std::vector<std::string> in = {temp_path("syn.mfg"), temp_path("ja.mfg")};
  std::ofstream(in[0]) << kSyn;
  std::ofstream(in[1]) << kJa;
  std::ofstream(bad) << "X , 0X100 , 0X01\nX , 0X4000 , 0X01\nW , -5\nX , 0X101\nX , 0X102 , 0X03\n";
  std::ofstream(out) << "the previous image\n";
  EXPECT_FALSE(kova_eeprom_create_file({}, out, 200, 2048, 1, &c));
  EXPECT_EQ(c.text.rfind("EEPROM image file not written.\nError: At least one input file must be specified.", 0), 0u);
  EXPECT_FALSE(kova_eeprom_create_file({temp_path("does_not_exist.mfg")}, out, 200, 2048, 1, &c));
  EXPECT_EQ(c.title, "File Open Error!");
  EXPECT_FALSE(kova_eeprom_create_file({bad}, out, 200, 2048, 1, &c));
  for (const char *line : {":2: register address above 0x3FFF", ":3: negative wait", ":4: malformed register write"})
    EXPECT_NE(c.text.find(bad + line), std::string::npos) << c.text;
  EXPECT_EQ(read_all(out), "the previous image\n");
  EXPECT_FALSE(kova_eeprom_create_file(in, no_dir, 200, 2048, 1, &c));
  EXPECT_EQ(c.text, "Could not open " + no_dir + ": No such file or directory");

  ASSERT_TRUE(kova_eeprom_create_file(in, out, 200, 2048, 1, &c)) << c.text;
  EXPECT_EQ(c.text, "EEPROM image file save was successful.");
  eeprom_image_read_s r;
  eeprom_image_read_for_write(out, 2048, true, nullptr, nullptr, &r);
  ASSERT_EQ(r.status, eeprom_read_ok_e) << r.msg.text;
  EXPECT_EQ(r.bytes, build({kSyn, kJa}, 2048, 1).bytes(2036));
  eeprom_image_read_for_write(out + ".none", 2048, true, nullptr, nullptr, &r);
  EXPECT_EQ(r.msg.text, "Could not find " + out + ".none");
  for (const auto &f : {in[0], in[1], out, bad}) std::remove(f.c_str());
}

TEST(ImageFiles, AnImageTooLongIsCommentedOutAndRefused) {
  // 2036 usable bytes; an image of 2046: 18 + 673 single writes + a burst of 4 + end + checksum.
  std::string s;
  for (uint32_t k = 0; k < 673; ++k) s += write_line(0x100 + 2 * k, k & 0xFF);
  for (uint32_t k = 0; k < 4; ++k) s += write_line(0x700 + k, k);
  const built_s b = build({s});
  ASSERT_EQ(b.ee->image_len, 2046);
  ASSERT_TRUE(b.result & kova_ee_too_long_e);
  for (const int32_t type : kTypes) {
    SCOPED_TRACE(type);
    const std::string text = image_file_text(b.ee.get(), type);
    EXPECT_NE(text.find(";  - Total Bytes Needed : 2046 / 2036\n"), std::string::npos);
    EXPECT_NE(text.find("; *** EEPROM code bytes do not fit in selected EEPROM size"), std::string::npos);
    int commented = 0;
    for (const auto &l : lines_of(text)) commented += l.size() > 1 && l[0] == ';' && (l[1] == ':' || l[1] == 'S' || (l.size() == 4 && l[1] == ' '));
    EXPECT_EQ(commented, type == kova_ee_file_bytes_e ? 10 : type == kova_ee_file_hex_e ? 3 : 1);
    const eeprom_image_read_s r = read_for_write(text, type);
    EXPECT_EQ(r.status, eeprom_read_refused_e);
    EXPECT_EQ(r.msg.text, "File contains 2036 bytes, expected 2046");
    EXPECT_EQ(r.msg.title, "EEPROM File Error!");
    EXPECT_EQ(parsed_bytes(text, type), b.bytes(2036));  // what is commented out is not read
  }
}

// What the reader for writing takes, asks about (with the answer given) or refuses: an image
// built for 2048 bytes without reserve goes into an EEPROM whose last 12 are reserved only when
// the user agrees, and never into the factory-test range; one built with the reserve goes as
// it is into a product without; a byte changed by hand no longer fits the checksum.
TEST(ImageFiles, ReadForWriteTakesAsksOrRefuses) {
  const built_s full = build({kSyn}, 2048, 0), reserved = build({kSyn}, 2048, 1), big = build({kSyn}, 4096, 0);
  kova_eeprom_data_s in_reserve = *full.ee, changed = *reserved.ee;
  in_reserve.image[2040] = 0x12;
  changed.image[20] ^= 0x10;  // in the branch code
  const int32_t hex = kova_ee_file_hex_e, txt = kova_ee_file_bytes_e;
  const std::string full_hex = image_file_text(full.ee.get(), hex), changed_txt = image_file_text(&changed, txt);
  const std::string ask = "EEPROM Image Write: File extends into reserved area, but can still safely be programmed into "
                          "2036 bytes. Continue with programming?";
  const struct {
    std::string text;
    int32_t type;
    bool reserve, ask, answer, force;
    int32_t status;
    std::string msg;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {full_hex, hex, true, true, false, false, eeprom_read_declined_e, "", {}},
      {full_hex, hex, true, true, true, false, eeprom_read_ok_e, "", full.bytes(2036)},
      {image_file_text(reserved.ee.get(), txt), txt, false, false, false, false, eeprom_read_ok_e, "", reserved.bytes(2036)},
      {image_file_text(&in_reserve, hex), hex, true, false, true, false, eeprom_read_refused_e, "File contains data in reserved address range!", {}},
      {image_file_text(big.ee.get(), txt), txt, false, false, true, false, eeprom_read_refused_e, "File contains data beyond 2048 bytes!", {}},
      {"01\n02\n", txt, true, false, true, false, eeprom_read_refused_e, "File contains 2 bytes, expected 0", {}},  // no statistics line
      {"; nothing\n", txt, true, false, true, false, eeprom_read_refused_e, "No data to write!", {}},
      {changed_txt, txt, true, false, true, false, eeprom_read_refused_e, "img is not a sound boot image: checksum", {}},
      {changed_txt, txt, true, false, true, true, eeprom_read_ok_e, "", std::vector<uint8_t>(changed.image, changed.image + 2036)},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text.substr(0, 300));
    asked_s asked{c.answer, {}};
    eeprom_image_read_s r;
    eeprom_image_check_for_write("img", c.text, c.type, 2048, c.reserve, ask_recorder, &asked, &r, c.force);
    EXPECT_EQ(r.status, c.status) << r.msg.text;
    EXPECT_EQ(asked.questions, c.ask ? std::vector<std::string>{ask} : std::vector<std::string>{});
    EXPECT_EQ(r.msg.text.rfind(c.msg, 0), 0u) << r.msg.text;
    if (c.status == eeprom_read_ok_e) {
      EXPECT_EQ(r.bytes, c.bytes);
    }
  }
  // Verifying takes what writing takes.
  eeprom_file_data_s d;
  file_message_s msg;
  EXPECT_TRUE(eeprom_image_check_for_verify("img", image_file_text(reserved.ee.get(), txt), txt, 2048, false, &d, &msg)) << msg.text;
  EXPECT_EQ(d.bytes, reserved.bytes(2036));
}

// A damaged record fails the parse with its line, and the reader for writing refuses the file
// naming that line; so do files that are incomplete or do not add up.
TEST(ImageFiles, MalformedFilesAreRefusedWithTheirLine) {
  const built_s b = build({kSyn}, 2048, 1);
  const std::string hex = image_file_text(b.ee.get(), kova_ee_file_hex_e);
  const std::string rec = image_file_text(b.ee.get(), kova_ee_file_srec_e);
  const size_t h0 = hex.find("\n:04") + 1, r0 = rec.find("\nS1") + 1, rn = rec.rfind("\nS1") + 1;  // data records
  // The text with the record starting at pos replaced (an empty record: the line removed).
  auto with = [](const std::string &text, size_t pos, const std::string &record) {
    const size_t end = text.find('\n', pos);
    return text.substr(0, pos) + record + (record.empty() ? "" : "\n") + text.substr(end + 1);
  };
  const std::string h = hex.substr(h0, hex.find('\n', h0) - h0), r = rec.substr(r0, rec.find('\n', r0) - r0);
  const auto line_at = [](const std::string &text, size_t pos) { return std::count(text.begin(), text.begin() + pos, '\n') + 1; };
  const long hl = line_at(hex, h0), rl = line_at(rec, r0);
  const struct {
    int32_t type;
    std::string text;
    long line;
    const char *why;
  } cases[] = {
      {kova_ee_file_hex_e, with(hex, h0, h.substr(0, h.size() - 2) + "00"), hl, "checksum"},
      {kova_ee_file_hex_e, with(hex, h0, h.substr(0, h.size() - 1)), hl, "odd number"},
      {kova_ee_file_hex_e, with(hex, h0, ":0400000200000000FA"), hl, "address record"},
      {kova_ee_file_hex_e, with(hex, h0, ":0400000700000000F5"), hl, "record type 0x07"},
      {kova_ee_file_hex_e, with(hex, h0, ":0500000000000000FB"), hl, "byte count"},
      {kova_ee_file_hex_e, with(hex, h0, "garbage"), hl, "not an Intel HEX record"},
      {kova_ee_file_hex_e, with(hex, h0, ":04000G00FFFFFFFF00"), hl, "not a hexadecimal digit"},
      {kova_ee_file_hex_e, with(hex, h0, ""), hl, "does not follow"},  // a gap
      {kova_ee_file_srec_e, with(rec, r0, r.substr(0, r.size() - 2) + "00"), rl, "checksum"},
      {kova_ee_file_srec_e, with(rec, r0, "S208" + std::string(14, '0') + "F7"), rl, "not supported"},
      {kova_ee_file_srec_e, with(rec, r0, "X1130000"), rl, "not an S-record"},
      {kova_ee_file_srec_e, with(rec, r0, ""), rl, "does not follow"},
      {kova_ee_file_srec_e, with(rec, rn, ""), line_at(rec, rn), "record count 128 does not match"},
      // An extended linear address of 0x0001 puts the next record at 64 kbyte, not at 0.
      {kova_ee_file_hex_e, ":020000040001F9\n:0400000001020304F2\n:00000001FF\n", 2, "address 0x10000 does not follow"},
      {kova_ee_file_hex_e, hex.substr(0, hex.find(":00000001FF")), -1, "without its end record"},
      {kova_ee_file_srec_e, rec.substr(0, rec.find("S9030000FC")), -1, "without its end record"},
      {kova_ee_file_bytes_e, "01\n1FF\n", 2, ""},
      {kova_ee_file_bytes_e, "01\nzz\n", 2, ""},
      {kova_ee_file_bytes_e, ";  - Total Bytes Needed : twelve\n", 1, "malformed statistics line"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text.substr(0, 200));
    eeprom_file_data_s d;
    EXPECT_FALSE(eeprom_file_parse(c.text, c.type, &d));
    if (c.line > 0) {
      EXPECT_EQ(d.error_line, c.line);
    }
    EXPECT_NE(d.error.find(c.why), std::string::npos) << d.error;
    const eeprom_image_read_s read = read_for_write(c.text, c.type);
    EXPECT_EQ(read.status, eeprom_read_refused_e);
    EXPECT_EQ(read.msg.text, "Error in image at line " + std::to_string(d.error_line) + ": " + d.error);
  }
}

TEST(ImageFiles, DumpConverters) {
  std::vector<uint8_t> data(2048);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37);
  const std::vector<uint8_t> first(data.begin(), data.begin() + 2036);
  std::string hex, rec, high;
  ASSERT_TRUE(ConvertToHEX(0, data.data(), 2048, 4, &hex, true));
  ASSERT_TRUE(ConvertToSRec(0, data.data(), 2048, 16, &rec, true));
  EXPECT_EQ(parsed_bytes(hex, kova_ee_file_hex_e), first);
  EXPECT_EQ(parsed_bytes(rec, kova_ee_file_srec_e), first);
  const auto hl = lines_of(hex);
  EXPECT_EQ(hl[0], ":020000040000FA");
  ConvertToHEX(0x20000, data.data(), 4, 4, &high, false);  // above 64 kbyte: in the linear address record
  EXPECT_EQ(lines_of(high)[0], ":020000040002F8");
  ASSERT_TRUE(ConvertToHEX(0, data.data(), 12, 4, &high, true));  // all twelve bytes reserved: no data record
  EXPECT_TRUE(parsed_bytes(high, kova_ee_file_hex_e).empty());
  EXPECT_EQ(hl[hl.size() - 14], ":00000001FF");
  EXPECT_EQ(hl[hl.size() - 13], "; Address range 0x07F4 through 0x07FF is reserved for factory test and should not be modified.");
  char last[8];
  std::snprintf(last, sizeof last, ";%02X", data[2047]);
  EXPECT_EQ(hl.back(), last);
  // 300 one-byte records: S5 count 012C with checksum CF; no line break after the end record.
  ASSERT_TRUE(ConvertToSRec(0, data.data(), 300, 1, &rec, false));
  EXPECT_EQ(rec.substr(rec.size() - 22), "\nS503012CCF\nS9030000FC");

  // A dump file of each type reads back for verification, at its own size only.
  eeprom_file_data_s d;
  file_message_s msg;
  for (const int32_t type : kTypes) {
    const std::string text = eeprom_dump_text(type, data.data(), 2048, true, "KX40110", "today");
    EXPECT_NE(text.find("; From KX40110 internal EEPROM\n; EEPROM Size: 2048 bytes\n"), std::string::npos);
    ASSERT_TRUE(eeprom_image_check_for_verify("dump", text, type, 2048, true, &d, &msg)) << msg.text;
    EXPECT_EQ(d.bytes, first);
    EXPECT_FALSE(eeprom_image_check_for_verify("dump", text, type, 4096, true, &d, &msg));
    EXPECT_EQ(msg.text, "Error: the size of dump (2036 bytes) doesn't match the selected EEPROM size (4084 usable bytes)!");
  }
  const std::string whole = eeprom_dump_text(kova_ee_file_bytes_e, data.data(), 2048, false, nullptr, "today");
  EXPECT_NE(whole.find("; From external board EEPROM\n"), std::string::npos);
  EXPECT_FALSE(eeprom_image_check_for_verify("dump", whole, kova_ee_file_bytes_e, 2048, true, &d, &msg));
  EXPECT_EQ(msg.text, "Error: dump contains data in the reserved address range!");
}

// Hexadecimal values with or without their prefix, up to all 32 bits; the first difference
// of two images.
TEST(ImageFiles, HexStringsAndComparison) {
  for (const auto &[text, ok, value] : {std::tuple{"  0X1f ", true, 0x1Fu}, {"x31", true, 0x31u}, {"00000000000FF", true, 0xFFu},
                                        {"FFFFFFFF", true, 0xFFFFFFFFu}, {"0X", true, 0u}, {"1FFFFFFFF", false, 0xDEADu},
                                        {" x ", false, 0xDEADu}, {"1 2", false, 0xDEADu}, {"g", false, 0xDEADu}}) {
    uint32_t v = 0xDEAD;
    EXPECT_EQ(HexStringToUint32(text, &v), ok) << text;
    EXPECT_EQ(v, value) << text;  // untouched when refused
  }
  const uint8_t a[] = {1, 2, 3, 4, 5};
  const uint8_t b[] = {1, 9, 3, 8, 5};
  const eeprom_compare_s c = eeprom_compare(a, b, 5);
  EXPECT_EQ(std::tuple(c.differ_count, c.first_addr, c.expected, c.found), std::tuple(2u, 1u, 2, 9));
  EXPECT_EQ(eeprom_compare(a, a, 5).differ_count, 0u);
}
