#include "files/image_files.h"

#include <cctype>
#include <cerrno>
#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "files/atomic_file.h"
#include "files/eeprom_decode.h"
#include "files/mfg_script.h"
#include "files/register_dump.h"

namespace {

const std::string kSep = ";" + std::string(70, '=');

void line(FILE *f, const std::string &text) { std::fprintf(f, "%s\n", text.c_str()); }

std::string hex2(uint32_t v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02X", v & 0xFF);
  return b;
}
std::string hex4(uint32_t v) {
  char b[8];
  std::snprintf(b, sizeof b, "%04X", v & 0xFFFF);
  return b;
}
// An address in a message: at least four digits, all of them when an address record has
// moved the data above 64 kbyte.
std::string hex_address(uint32_t v) {
  char b[12];
  std::snprintf(b, sizeof b, "%04X", v);
  return b;
}

uint8_t image_byte(const kova_eeprom_data_s *ee, int32_t p) { return static_cast<uint8_t>(ee->image[p] & 0xFF); }

// One Intel HEX record: count, address, type, data and the two's complement checksum.
std::string hex_record(uint32_t address, uint8_t type, const uint8_t *data, uint32_t n) {
  std::string r = ":" + hex2(n) + hex4(address) + hex2(type);
  uint32_t sum = n + (address >> 8 & 0xFF) + (address & 0xFF) + type;
  for (uint32_t k = 0; k < n; ++k) {
    r += hex2(data[k]);
    sum += data[k];
  }
  return r + hex2(-sum & 0xFF);
}

// One S-record with a 16-bit address: count (address, data and checksum bytes), address,
// data and the ones' complement checksum.
std::string srec_record(char type, uint32_t address, const uint8_t *data, uint32_t n) {
  std::string r = std::string("S") + type + hex2(n + 3) + hex4(address);
  uint32_t sum = n + 3 + (address >> 8 & 0xFF) + (address & 0xFF);
  for (uint32_t k = 0; k < n; ++k) {
    r += hex2(data[k]);
    sum += data[k];
  }
  return r + hex2(~sum & 0xFF);
}

const char *const kClockLabels[kova_mfg_freq_count] = {"XA  Input ", "IC1 Input ", "IC2 Input ", "IC3 Input ",
                                                        "OC1 Output", "OC2 Output", "OC3 Output"};

std::string trim(const std::string &s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

bool hex_digit(char c, uint32_t *v) {
  if (c >= '0' && c <= '9') *v = static_cast<uint32_t>(c - '0');
  else if (c >= 'A' && c <= 'F') *v = static_cast<uint32_t>(c - 'A' + 10);
  else if (c >= 'a' && c <= 'f') *v = static_cast<uint32_t>(c - 'a' + 10);
  else return false;
  return true;
}

// The hexadecimal pairs of a record after its lead-in; false with the reason otherwise.
bool record_bytes(const std::string &digits, std::vector<uint8_t> *out, std::string *why) {
  out->clear();
  for (char c : digits) {
    uint32_t v;
    if (!hex_digit(c, &v)) {
      *why = "'" + std::string(1, std::isprint(static_cast<unsigned char>(c)) ? c : '?') +
             "' is not a hexadecimal digit";
      return false;
    }
  }
  if (digits.size() % 2) {
    *why = "odd number of hexadecimal digits";
    return false;
  }
  for (size_t i = 0; i < digits.size(); i += 2) {
    uint32_t h = 0, l = 0;
    hex_digit(digits[i], &h);
    hex_digit(digits[i + 1], &l);
    out->push_back(static_cast<uint8_t>(h << 4 | l));
  }
  return true;
}

bool fail(eeprom_file_data_s *out, int32_t line_no, const std::string &why) {
  out->error_line = line_no;
  out->error = why;
  return false;
}

constexpr const char *kStatsPrefix = ";  - Total Bytes Needed :";

bool parse_stats(const std::string &l, eeprom_file_data_s *out) {
  // ";  - Total Bytes Needed : N / U"
  const std::string rest = l.substr(std::strlen(kStatsPrefix));
  long long n = 0, u = 0;
  char tail = 0;
  if (std::sscanf(rest.c_str(), " %8lld / %8lld %c", &n, &u, &tail) != 2 || n < 0 || u < 0) return false;
  out->has_stats = true;
  out->needed = static_cast<int32_t>(n);
  out->usable = static_cast<int32_t>(u);
  return true;
}

void append_data(eeprom_file_data_s *out, const uint8_t *data, size_t n, int32_t line_no) {
  out->bytes.insert(out->bytes.end(), data, data + n);
  out->byte_line.insert(out->byte_line.end(), n, line_no);
  ++out->data_lines;
}

std::string where(const std::string &name, const eeprom_file_data_s &d) {
  return "Error in " + name + " at line " + std::to_string(d.error_line) + ": " + d.error;
}

int32_t usable_of(int32_t ee_size, bool reserve12) {
  if (!reserve12) return ee_size;
  return ee_size > KOVA_EEPROM_RESERVED ? ee_size - KOVA_EEPROM_RESERVED : 0;
}

// The note on the reserved bytes of an EEPROM: its last 12 bytes.
std::string reserved_note(uint32_t first, uint32_t last) {
  char b[160];
  std::snprintf(b, sizeof b,
                "; Address range 0x%04X through 0x%04X is reserved for factory test and should not be modified.", first,
                last);
  return b;
}

}  // namespace

int32_t eeprom_file_type_from_name(const std::string &name) {
  auto ends = [&](const char *s) {
    const size_t n = std::strlen(s);
    return name.size() >= n && name.compare(name.size() - n, n, s) == 0;
  };
  if (ends(".hex") || ends(".HEX")) return kova_ee_file_hex_e;
  if (ends(".rec") || ends(".REC")) return kova_ee_file_srec_e;
  return kova_ee_file_bytes_e;
}

void kova_eeprom_header(FILE *f, const kova_eeprom_data_s *ee) {
  line(f, kSep);
  line(f, "; EEPROM Byte File Writer");
  line(f, kSep);
  for (int b = 0; b < KOVA_EEPROM_BRANCHES; ++b) {
    const kova_mfg_data_s *m = ee->mfg[b];
    if (!m) continue;
    std::fprintf(f, "; File (%d) : %s\n", b, m->file_name);
    if (m->device_type != 0) {
      std::fprintf(f, ";  - Device Type : %d\n", m->device_type);
      std::fprintf(f, ";  - Device Rev : %d\n", m->device_rev);
    }
    std::fprintf(f, ";  - GUI Version : %s\n", m->gui_version);
    std::fprintf(f, ";  - HAL Version : %s\n", m->hal_version);
    for (int k = 0; k < kova_mfg_freq_count; ++k)
      if (m->freq[k].f != 0)
        std::fprintf(f, ";  - %s Frequency Hz = %12" PRIu32 " * (%" PRIu32 ") / (%" PRIu32 ")\n", kClockLabels[k],
                     m->freq[k].f, m->freq[k].n, m->freq[k].m);
    if (m->dsp_count == 0) line(f, ";  - No DSP code in file");
    else if (ee->common_src == b) line(f, ";  - EEPROM DSP code built from this file");
    else if (m->dsp_status == kova_dsp_matches_e) line(f, ";  - DSP code matches code used for EEPROM");
    else line(f, ";  - DSP code DOES NOT match code used for EEPROM");
    if (m->dsp_count) std::fprintf(f, ";  - DSP Code writes : %d\n", m->dsp_count);
    if (m->other_count) std::fprintf(f, ";  - Reg wr or Waits : %d\n", m->other_count);
    line(f, kSep);
  }
  line(f, "; EEPROM File Statistics");
  if (ee->preamble_len) std::fprintf(f, ";  - Preamble bytes : %d\n", ee->preamble_len);
  if (ee->common_len) std::fprintf(f, ";  - Common code bytes : %d\n", ee->common_len);
  if (ee->common_src >= 0) std::fprintf(f, ";  - Common code used from File : %d\n", ee->common_src);
  for (int b = 0; b < KOVA_EEPROM_BRANCHES; ++b)
    if (ee->branch_len[b]) std::fprintf(f, ";  - Branch %d code bytes : %d\n", b, ee->branch_len[b]);
  std::fprintf(f, "%s %d / %d\n", kStatsPrefix, ee->image_len, ee->usable_size);
  line(f, kSep);
  if (ee->image_len > ee->usable_size) {
    line(f, "; *** EEPROM code bytes do not fit in selected EEPROM size");
    line(f, kSep);
  }
  line(f, "; File Generation Date : " + get_mytime());
  line(f, kSep);
  if (ee->reserve12) {
    std::fprintf(f, "; Address range 0x%04X to 0x%04X is reserved for factory test and\n",
                 static_cast<unsigned>(ee->usable_size), static_cast<unsigned>(ee->ee_size - 1));
    line(f, "; should not be modified.");
    line(f, "; This address range is omitted from the EEPROM data image to prevent");
    line(f, "; it from being overwritten.");
    line(f, kSep);
  }
}

void kova_eeprom_footer(FILE *f) {
  line(f, kSep);
  line(f, "; End of EEPROM file");
  line(f, kSep);
}

int32_t kova_eedata2eeprom_wr(int32_t fileType, FILE *f, const kova_eeprom_data_s *ee) {
  if (!f || !ee) return 0;
  kova_eeprom_header(f, ee);
  const int32_t usable = ee->usable_size < KOVA_EEPROM_MAX ? ee->usable_size : KOVA_EEPROM_MAX;
  int32_t end = ee->usable_size > ee->image_len ? ee->usable_size : ee->image_len;
  if (end > KOVA_EEPROM_MAX) end = KOVA_EEPROM_MAX;  // the image buffer ends there
  // Records never straddle the usable size: what lies beyond it is commented out whole.
  auto chunk = [&](int32_t p, int32_t per) {
    int32_t n = end - p < per ? end - p : per;
    if (p < usable && usable - p < n) n = usable - p;
    return n;
  };
  uint8_t buf[16];
  if (fileType == kova_ee_file_hex_e) {
    const uint8_t upper[2] = {0, 0};
    line(f, hex_record(0, 0x04, upper, 2));
    for (int32_t p = 0; p < end;) {
      const int32_t n = chunk(p, 4);
      for (int32_t k = 0; k < n; ++k) buf[k] = image_byte(ee, p + k);
      line(f, (p >= usable ? ";" : "") + hex_record(static_cast<uint32_t>(p), 0x00, buf, static_cast<uint32_t>(n)));
      p += n;
    }
    line(f, ":00000001FF");
  } else if (fileType == kova_ee_file_srec_e) {
    uint32_t records = 0;
    for (int32_t p = 0; p < end;) {
      const int32_t n = chunk(p, 16);
      for (int32_t k = 0; k < n; ++k) buf[k] = image_byte(ee, p + k);
      // The S5 count covers the records other tools see, not the commented ones.
      if (p < usable) ++records;
      line(f, (p >= usable ? ";" : "") + srec_record('1', static_cast<uint32_t>(p), buf, static_cast<uint32_t>(n)));
      p += n;
    }
    line(f, srec_record('5', records, nullptr, 0));
    line(f, "S9030000FC");
  } else {
    for (int32_t p = 0; p < end; ++p) line(f, (p >= usable ? "; " : "") + hex2(image_byte(ee, p)));
  }
  kova_eeprom_footer(f);
  return 0;
}

bool ConvertToHEX(uint32_t baseAddr, const uint8_t *data, uint32_t numBytes, uint32_t bytesPerLine,
                  std::string *HEXData, bool reserve12) {
  std::string &t = *HEXData;
  t.clear();
  if (bytesPerLine == 0 || bytesPerLine > 255) bytesPerLine = 16;
  const uint32_t n = reserve12 ? (numBytes > 12 ? numBytes - 12 : 0) : numBytes;
  uint32_t upper = baseAddr >> 16;
  const uint8_t ela[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
  t += hex_record(0, 0x04, ela, 2);
  for (uint32_t p = 0; p < n;) {
    const uint32_t a = baseAddr + p;
    if (a >> 16 != upper) {
      // Crossing into the next 64 kbyte: a new extended linear address record.
      upper = a >> 16;
      const uint8_t e[2] = {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
      t += "\n" + hex_record(0, 0x04, e, 2);
    }
    uint32_t k = n - p < bytesPerLine ? n - p : bytesPerLine;
    if ((a & 0xFFFF) + k > 0x10000) k = 0x10000 - (a & 0xFFFF);
    t += "\n" + hex_record(a & 0xFFFF, 0x00, data + p, k);
    p += k;
  }
  t += "\n:00000001FF";
  if (reserve12 && numBytes > n) {
    t += "\n" + reserved_note(baseAddr + n, baseAddr + numBytes - 1);
    for (uint32_t p = n; p < numBytes; ++p) t += "\n;" + hex2(data[p]);
  }
  return true;
}

bool ConvertToSRec(uint32_t baseAddr, const uint8_t *data, uint32_t numBytes, uint32_t bytesPerLine,
                   std::string *SRecData, bool reserve12) {
  std::string &t = *SRecData;
  t.clear();
  if (bytesPerLine == 0 || bytesPerLine > 252) bytesPerLine = 16;
  const uint32_t n = reserve12 ? (numBytes > 12 ? numBytes - 12 : 0) : numBytes;
  uint32_t records = 0;
  for (uint32_t p = 0; p < n; p += bytesPerLine) {
    const uint32_t k = n - p < bytesPerLine ? n - p : bytesPerLine;
    t += srec_record('1', (baseAddr + p) & 0xFFFF, data + p, k) + "\n";
    ++records;
  }
  t += srec_record('5', records & 0xFFFF, nullptr, 0) + "\n";
  t += "S9030000FC";
  if (reserve12 && numBytes > n) {
    t += "\n" + reserved_note(baseAddr + n, baseAddr + numBytes - 1);
    for (uint32_t p = n; p < numBytes; ++p) t += "\n;" + hex2(data[p]);
  }
  return true;
}

bool HexStringToUint32(const std::string &text, uint32_t *value) {
  std::string s;
  for (char c : trim(text))
    if (c != 'X' && c != 'x') s += c;
  s = trim(s);
  if (s.empty()) return false;
  uint32_t v = 0;
  for (char c : s) {
    uint32_t d;
    if (!hex_digit(c, &d)) return false;
    if (v > 0x0FFFFFFFu) return false;  // more than 32 bits
    v = v << 4 | d;
  }
  *value = v;
  return true;
}

bool eeprom_file_parse(const std::string &text, int32_t fileType, eeprom_file_data_s *out) {
  *out = eeprom_file_data_s{};
  int32_t line_no = 0;
  bool ended = false;
  uint32_t base = 0;        // Intel HEX: extended segment or linear address
  uint32_t data_records = 0;  // S-record: S1 records so far
  std::vector<uint8_t> rec;
  std::string why;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    const std::string l = trim(text.substr(pos, eol - pos));
    pos = eol + 1;
    ++line_no;
    if (l.empty()) continue;
    if (l[0] == ';') {
      if (l.rfind(kStatsPrefix, 0) == 0 && !parse_stats(l, out)) return fail(out, line_no, "malformed statistics line");
      continue;
    }
    if (ended) return fail(out, line_no, "data after the end record");
    const uint32_t expect = static_cast<uint32_t>(out->bytes.size());

    if (fileType == kova_ee_file_hex_e) {
      if (l[0] != ':') return fail(out, line_no, "not an Intel HEX record (no ':' at its start)");
      if (!record_bytes(l.substr(1), &rec, &why)) return fail(out, line_no, why);
      if (rec.size() < 5) return fail(out, line_no, "record too short");
      if (rec.size() != rec[0] + 5u)
        return fail(out, line_no, "byte count 0x" + hex2(rec[0]) + " does not match the record's length");
      uint32_t sum = 0;
      for (uint8_t b : rec) sum += b;
      if (sum & 0xFF) {
        uint32_t body = 0;
        for (size_t k = 0; k + 1 < rec.size(); ++k) body += rec[k];
        return fail(out, line_no, "checksum 0x" + hex2(rec.back()) + " is wrong (0x" + hex2(-body) + " expected)");
      }
      const uint32_t count = rec[0], addr = static_cast<uint32_t>(rec[1]) << 8 | rec[2], type = rec[3];
      switch (type) {
        case 0x00:
          if (base + addr != expect)
            return fail(out, line_no, "record address 0x" + hex_address(base + addr) +
                                          " does not follow the data before it (0x" + hex_address(expect) + " expected)");
          append_data(out, rec.data() + 4, count, line_no);
          break;
        case 0x01:
          if (count != 0) return fail(out, line_no, "end record with data");
          ended = true;
          break;
        case 0x02:
        case 0x04:
          if (count != 2) return fail(out, line_no, "address record without two address bytes");
          base = (static_cast<uint32_t>(rec[4]) << 8 | rec[5]) << (type == 0x02 ? 4 : 16);
          break;
        case 0x03:
        case 0x05:
          if (count != 4) return fail(out, line_no, "start address record without four address bytes");
          break;
        default:
          return fail(out, line_no, "record type 0x" + hex2(type) + " is not a data, end or address record");
      }
    } else if (fileType == kova_ee_file_srec_e) {
      if (l[0] != 'S' || l.size() < 2 || !std::isdigit(static_cast<unsigned char>(l[1])))
        return fail(out, line_no, "not an S-record (no 'S' and record type at its start)");
      const char type = l[1];
      if (!record_bytes(l.substr(2), &rec, &why)) return fail(out, line_no, why);
      if (rec.size() < 2) return fail(out, line_no, "record too short");
      if (rec.size() != rec[0] + 1u)
        return fail(out, line_no, "byte count 0x" + hex2(rec[0]) + " does not match the record's length");
      uint32_t sum = 0;
      for (uint8_t b : rec) sum += b;
      if ((sum & 0xFF) != 0xFF) {
        uint32_t body = 0;
        for (size_t k = 0; k + 1 < rec.size(); ++k) body += rec[k];
        return fail(out, line_no, "checksum 0x" + hex2(rec.back()) + " is wrong (0x" + hex2(~body) + " expected)");
      }
      const size_t n = rec.size();
      switch (type) {
        case '0':
          if (n < 4) return fail(out, line_no, "header record too short");
          break;
        case '1': {
          if (n < 4) return fail(out, line_no, "data record without an address");
          const uint32_t addr = static_cast<uint32_t>(rec[1]) << 8 | rec[2];
          if (addr != expect)
            return fail(out, line_no, "record address 0x" + hex4(addr) + " does not follow the data before it (0x" +
                                          hex4(expect) + " expected)");
          append_data(out, rec.data() + 3, n - 4, line_no);
          ++data_records;
          break;
        }
        case '5':
        case '6': {
          const size_t width = type == '5' ? 2 : 3;
          if (n != width + 2) return fail(out, line_no, "count record of the wrong length");
          uint32_t v = 0;
          for (size_t k = 1; k <= width; ++k) v = v << 8 | rec[k];
          if (v != data_records)
            return fail(out, line_no, "record count " + std::to_string(v) + " does not match the " +
                                          std::to_string(data_records) + " data records before it");
          break;
        }
        case '9':
          if (n != 4) return fail(out, line_no, "end record of the wrong length");
          ended = true;
          break;
        default:
          return fail(out, line_no, std::string("record type S") + type +
                                        " is not supported (only 16-bit addresses: S0, S1, S5, S6, S9)");
      }
    } else {
      uint32_t v = 0;
      if (!HexStringToUint32(l, &v)) return fail(out, line_no, "not a hexadecimal byte value");
      if (v > 0xFF) return fail(out, line_no, "value 0x" + hex4(v) + " does not fit in a byte");
      const uint8_t b = static_cast<uint8_t>(v);
      append_data(out, &b, 1, line_no);
    }
  }
  if (!ended && fileType != kova_ee_file_bytes_e)
    return fail(out, line_no + 1, fileType == kova_ee_file_hex_e ? "the file ends without its end record :00000001FF"
                                                                 : "the file ends without its end record S9");
  return true;
}

bool eeprom_file_load(const std::string &path, std::string *text, bool *missing, std::string *error) {
  std::string err;
  const bool ok = file_read_text(path, text, &err, missing);
  if (error) *error = err;
  return ok;
}

std::string eeprom_file_load_failure(const std::string &path, bool missing, const std::string &error) {
  return missing ? "Could not find " + path : "Could not read from " + error;
}

void eeprom_image_check_for_write(const std::string &name, const std::string &text, int32_t fileType,
                                  int32_t ee_size, bool reserve12, eeprom_ask_fn ask, void *ctx,
                                  eeprom_image_read_s *out, bool force) {
  const char *kFileError = "EEPROM File Error!";
  out->status = eeprom_read_refused_e;
  out->bytes.clear();
  eeprom_file_data_s d;
  if (!eeprom_file_parse(text, fileType, &d)) {
    out->msg = {where(name, d), kFileError};
    return;
  }
  const int32_t count = static_cast<int32_t>(d.bytes.size());
  if (count == 0) {
    out->msg = {"No data to write!", kFileError};
    return;
  }
  // The statistics line gives the usable size the image was built for; an image that did
  // not fit needs more bytes than that, and the needed count is then the one to match.
  const int32_t expected = !d.has_stats ? 0 : (d.needed > d.usable ? d.needed : d.usable);
  if (count != expected) {
    out->msg = {"File contains " + std::to_string(count) + " bytes, expected " + std::to_string(expected), kFileError};
    return;
  }
  // A chip boots only from a sound image: one whose checksum is wrong was changed after it
  // was built, and programming it leaves a chip that does not start configured.
  eeprom_decoded_s decoded;
  if (!force && !eeprom_image_decode(d.bytes.data(), d.bytes.size(), &decoded)) {
    out->msg = {name + " is not a sound boot image: " + decoded.errors.front() +
                    ". Nothing was written (--force programs it anyway).",
                kFileError};
    return;
  }
  const int32_t usable = usable_of(ee_size, reserve12);
  if (reserve12 && count > usable) {
    for (int32_t p = usable; p < count; ++p)
      if (d.bytes[p] != 0xFF) {
        out->msg = {"File contains data in reserved address range!", kFileError};
        return;
      }
    const std::string q = "File extends into reserved area, but can still safely be programmed into " +
                          std::to_string(usable) + " bytes. Continue with programming?";
    if (!ask || !ask(ctx, q, "EEPROM Image Write")) {
      out->status = eeprom_read_declined_e;
      out->msg = {};
      return;
    }
    d.bytes.resize(static_cast<size_t>(usable));  // the factory-test range is never written
  }
  if (static_cast<int32_t>(d.bytes.size()) > ee_size) {
    out->msg = {"File contains data beyond " + std::to_string(ee_size) + " bytes!", kFileError};
    return;
  }
  out->bytes = std::move(d.bytes);
  out->status = eeprom_read_ok_e;
  out->msg = {};
}

void eeprom_image_read_for_write(const std::string &path, int32_t ee_size, bool reserve12, eeprom_ask_fn ask,
                                 void *ctx, eeprom_image_read_s *out, bool force) {
  out->status = eeprom_read_refused_e;
  out->bytes.clear();
  if (path.empty()) {
    out->msg = {"No EEPROM image file specified!", "EEPROM Write Error"};
    return;
  }
  std::string text, err;
  bool missing = false;
  if (!eeprom_file_load(path, &text, &missing, &err)) {
    out->msg = {eeprom_file_load_failure(path, missing, err), "File Open Error!"};
    return;
  }
  eeprom_image_check_for_write(path, text, eeprom_file_type_from_name(path), ee_size, reserve12, ask, ctx, out, force);
}

bool eeprom_image_check_for_verify(const std::string &name, const std::string &text, int32_t fileType,
                                   int32_t ee_size, bool reserve12, eeprom_file_data_s *data, file_message_s *msg) {
  const char *kTitle = "EEPROM Verification Error";
  if (!eeprom_file_parse(text, fileType, data)) {
    *msg = {where(name, *data), kTitle};
    return false;
  }
  const int32_t usable = usable_of(ee_size, reserve12);
  const int32_t count = static_cast<int32_t>(data->bytes.size());
  // What the write command programs from this file is what is compared: an image built for
  // the usable size it names (with or without the reserved bytes), or a dump of the whole
  // EEPROM; bytes in the reserved range must be erased and are not compared.
  const bool built_size = data->has_stats && count == std::max(data->needed, data->usable) && count <= ee_size;
  if (count != usable && !built_size && count != ee_size) {
    *msg = {"Error: the size of " + name + " (" + std::to_string(count) + " bytes) doesn't match the selected EEPROM size (" +
                std::to_string(usable) + " usable bytes)!",
            kTitle};
    return false;
  }
  if (reserve12 && count > usable) {
    for (int32_t p = usable; p < count; ++p)
      if (data->bytes[p] != 0xFF) {
        *msg = {"Error: " + name + " contains data in the reserved address range!", kTitle};
        return false;
      }
    data->bytes.resize(static_cast<size_t>(usable));
    data->byte_line.resize(static_cast<size_t>(usable));
  }
  return true;
}

bool eeprom_image_read_for_verify(const std::string &path, int32_t ee_size, bool reserve12, eeprom_file_data_s *data,
                                  file_message_s *msg) {
  if (path.empty()) {
    *msg = {"No EEPROM image file specified!", "EEPROM Verify Error"};
    return false;
  }
  std::string text, err;
  bool missing = false;
  if (!eeprom_file_load(path, &text, &missing, &err)) {
    *msg = {eeprom_file_load_failure(path, missing, err), "File Open Error!"};
    return false;
  }
  return eeprom_image_check_for_verify(path, text, eeprom_file_type_from_name(path), ee_size, reserve12, data, msg);
}

eeprom_compare_s eeprom_compare(const uint8_t *expected, const uint8_t *found, uint32_t n) {
  eeprom_compare_s c;
  for (uint32_t p = 0; p < n; ++p) {
    if (expected[p] == found[p]) continue;
    if (c.differ_count++ == 0) {
      c.first_addr = p;
      c.expected = expected[p];
      c.found = found[p];
    }
  }
  return c;
}

std::string eeprom_dump_text(int32_t fileType, const uint8_t *data, uint32_t size, bool reserve12,
                             const char *part_number, const std::string &date) {
  std::string t = kSep + "\n";
  if (fileType == kova_ee_file_srec_e) t += "; EEPROM Memory Dump File (S-Record format)\n";
  else if (fileType == kova_ee_file_hex_e) t += "; EEPROM Memory Dump File (Intel HEX format)\n";
  else t += "; EEPROM Memory Dump File (ASCII format)\n";
  t += "; " + date + "\n";
  t += part_number ? "; From " + std::string(part_number) + " internal EEPROM\n" : "; From external board EEPROM\n";
  t += "; EEPROM Size: " + std::to_string(size) + " bytes\n";
  t += kSep + "\n";
  std::string body;
  if (fileType == kova_ee_file_srec_e) {
    ConvertToSRec(0, data, size, 16, &body, reserve12);
  } else if (fileType == kova_ee_file_hex_e) {
    ConvertToHEX(0, data, size, 4, &body, reserve12);
  } else {
    const uint32_t n = reserve12 ? (size > 12 ? size - 12 : 0) : size;
    for (uint32_t p = 0; p < n; ++p) body += hex2(data[p]) + "\n";
    if (reserve12 && size > n) {
      body += reserved_note(n, size - 1);
      for (uint32_t p = n; p < size; ++p) body += "\n;" + hex2(data[p]);
    }
  }
  t += body;
  if (!t.empty() && t.back() != '\n') t += "\n";
  return t;
}

bool eeprom_dump_file_write(const std::string &path, const uint8_t *data, uint32_t size, bool reserve12,
                            const char *part_number, file_message_s *msg) {
  if (path.empty()) {
    *msg = {"No EEPROM memory dump file specified!", "EEPROM Dump Error"};
    return false;
  }
  const std::string text =
      eeprom_dump_text(eeprom_file_type_from_name(path), data, size, reserve12, part_number, file_date_text());
  std::string err;
  if (!atomic_write_text(path, text, &err)) {
    *msg = {"Could not write to file " + err, "File Write Error!"};
    return false;
  }
  *msg = {"Wrote " + std::to_string(size) + " bytes to " + path, "EEPROM Memory Dump"};
  return true;
}
