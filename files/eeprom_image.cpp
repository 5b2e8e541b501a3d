#include "files/eeprom_image.h"

#include <cctype>
#include <cstring>
#include <memory>

#include "files/atomic_file.h"
#include "files/image_files.h"

namespace {

constexpr uint32_t kDalgwr = 0x040E;  // DSP algorithm write port
constexpr uint32_t kMcr1 = 0x009;     // its bit 7 must stay clear in a boot image
constexpr uint32_t kLastEepromReg = 0x008;  // 0x000..0x008: EEPROM selection and offsets

// A scanner with the rules of the C library's scanf for the few forms scripts use: a blank
// in the pattern skips any white space (or none), %d %u %x read a number after white space
// (%x with an optional 0x prefix), anything else must match exactly. Numbers out of range
// do not match. Text after the pattern is ignored. Returns true when every conversion read.
bool scan(const std::string &s, const char *fmt, int64_t *vals) {
  size_t i = 0;
  int n = 0;
  auto skip_ws = [&] {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  };
  for (const char *f = fmt; *f; ++f) {
    if (std::isspace(static_cast<unsigned char>(*f))) {
      skip_ws();
      continue;
    }
    if (*f != '%') {
      if (i >= s.size() || s[i] != *f) return false;
      ++i;
      continue;
    }
    const char conv = *++f;
    if (!conv) return false;
    skip_ws();
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
      neg = s[i] == '-';
      ++i;
    }
    if (neg && conv != 'd') return false;
    const int base = conv == 'x' ? 16 : 10;
    if (base == 16 && i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2])))
      i += 2;
    const size_t start = i;
    uint64_t v = 0;
    while (i < s.size()) {
      const unsigned char c = static_cast<unsigned char>(s[i]);
      int d;
      if (std::isdigit(c)) d = c - '0';
      else if (base == 16 && std::isxdigit(c)) d = std::tolower(c) - 'a' + 10;
      else break;
      v = v * base + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFull) return false;
      ++i;
    }
    if (i == start) return false;
    if (conv == 'd') {
      if (v > (neg ? 0x80000000ull : 0x7FFFFFFFull)) return false;
      vals[n++] = neg ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    } else {
      vals[n++] = static_cast<int64_t>(v);
    }
  }
  return true;
}

void copy_text(char *dst, size_t len, const std::string &src) {
  std::snprintf(dst, len, "%s", src.c_str());
}

bool starts_with(const std::string &s, const char *prefix) { return s.rfind(prefix, 0) == 0; }

// State carried from line to line while a script is read.
struct parse_state_s {
  kova_mfg_data_s *mfg;
  std::vector<kova_mfg_bad_line_s> *bad;  // every bad line, when wanted
  int32_t result = 0;
  int32_t line_no = 0;
  bool in_block_comment = false;
  bool in_dsp = false;
};

void bad_input(parse_state_s *st, const char *reason) {
  st->result |= kova_ee_bad_input_e;
  if (st->bad) st->bad->push_back({st->line_no, reason});
  if (st->mfg->bad_line) return;
  st->mfg->bad_line = st->line_no;
  copy_text(st->mfg->bad_reason, sizeof st->mfg->bad_reason, reason);
}

void add_entry(parse_state_s *st, uint16_t type, uint32_t value, uint16_t data) {
  kova_mfg_data_s *m = st->mfg;
  if (m->entry_count >= KOVA_MFG_MAX_ENTRIES) {
    bad_input(st, "more than 8192 commands");
    return;
  }
  m->entries[m->entry_count++] = {type, value, data};
  if (st->in_dsp) ++m->dsp_count;
  else ++m->other_count;
}

void parse_line(parse_state_s *st, std::string line) {
  kova_mfg_data_s *m = st->mfg;
  ++st->line_no;
  if (st->in_block_comment) {
    if (line.find("*/") == std::string::npos) return;
    st->in_block_comment = false;
  } else if (line.find("/*") != std::string::npos) {
    // Opens a block comment unless it is closed on the same line.
    if (line.find("*/", line.find("/*") + 2) == std::string::npos) {
      st->in_block_comment = true;
      return;
    }
  }
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (line.find("kova_hal_api_version") != std::string::npos) st->result |= kova_ee_gui_file_e;

  int64_t v[3];
  if (starts_with(line, "; GUI Version : ")) copy_text(m->gui_version, sizeof m->gui_version, line.substr(16));
  if (starts_with(line, "; HAL Version : ")) copy_text(m->hal_version, sizeof m->hal_version, line.substr(16));
  if (scan(line, "; Device Type : %d", v)) m->device_type = static_cast<int32_t>(v[0]);
  if (scan(line, "; Device Rev : %d", v)) m->device_rev = static_cast<int32_t>(v[0]);
  static const char *const kFreq[kova_mfg_freq_count] = {
      "; XA  Input  Frequency Hz = %u * (%u) / (%u)", "; IC1 Input  Frequency Hz = %u * (%u) / (%u)",
      "; IC2 Input  Frequency Hz = %u * (%u) / (%u)", "; IC3 Input  Frequency Hz = %u * (%u) / (%u)",
      "; OC1 Output Frequency Hz = %u * (%u) / (%u)", "; OC2 Output Frequency Hz = %u * (%u) / (%u)",
      "; OC3 Output Frequency Hz = %u * (%u) / (%u)"};
  for (int k = 0; k < kova_mfg_freq_count; ++k)
    if (scan(line, kFreq[k], v))
      m->freq[k] = {static_cast<uint32_t>(v[0]), static_cast<uint32_t>(v[1]), static_cast<uint32_t>(v[2])};

  for (char &c : line) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (line.find("DSP CODE SEGMENT START") != std::string::npos) st->in_dsp = true;
  else if (st->in_dsp && (line.find("DSP CODE SEGMENT STOP") != std::string::npos || line.size() < 2))
    st->in_dsp = false;

  line = line.substr(0, line.find(';'));
  line = line.substr(0, line.find("//"));
  std::string cmd;
  for (char c : line)
    if (!std::isspace(static_cast<unsigned char>(c))) cmd += c;

  if (scan(cmd, "W,%d", v)) {
    if (v[0] < 0) bad_input(st, "negative wait");
    else add_entry(st, kova_mfg_wait_e, static_cast<uint32_t>(v[0]), 0);
  } else if (scan(cmd, "X,%x,%x", v)) {
    if (v[0] > KOVA_EEPROM_MAX_ADDRESS) bad_input(st, "register address above 0x3FFF");
    else add_entry(st, st->in_dsp ? kova_mfg_dsp_write_e : kova_mfg_write_e, static_cast<uint32_t>(v[0]),
                   static_cast<uint16_t>(v[1] & 0xFF));
  } else if (starts_with(cmd, "W,")) {
    bad_input(st, "malformed wait command");
  } else if (starts_with(cmd, "X,")) {
    bad_input(st, "malformed register write command");
  }
}

bool skipped_register(uint32_t address) { return address <= kLastEepromReg; }
uint8_t boot_data(uint32_t address, uint16_t data) {
  return static_cast<uint8_t>(address == kMcr1 ? data & 0x7F : data & 0xFF);
}

void put_single(std::vector<uint8_t> *out, uint32_t address, uint16_t data) {
  out->push_back(static_cast<uint8_t>(address >> 8 & 0x3F));
  out->push_back(static_cast<uint8_t>(address & 0xFF));
  out->push_back(boot_data(address, data));
}

bool is_dalgwr(const kova_mfg_data_s *m, int32_t i) {
  return i < m->entry_count && m->entries[i].type == kova_mfg_dsp_write_e && m->entries[i].value == kDalgwr;
}

// Copies bytes into the image from offset, as far as the buffer reaches.
void store(kova_eeprom_data_s *ee, int32_t offset, const std::vector<uint8_t> &bytes) {
  for (size_t k = 0; k < bytes.size(); ++k) {
    const int64_t p = static_cast<int64_t>(offset) + static_cast<int64_t>(k);
    if (p >= 0 && p < KOVA_EEPROM_MAX) ee->image[p] = bytes[k];
  }
}

int16_t clamp16(size_t n) { return static_cast<int16_t>(n > 0x7FFF ? 0x7FFF : n); }

}  // namespace

void kova_mfg_clear(kova_mfg_data_s *mfg) { std::memset(static_cast<void *>(mfg), 0, sizeof *mfg); }

void kova_mfg_set_name(kova_mfg_data_s *mfg, const char *name) {
  const std::string n = name ? name : "";
  if (n.size() < sizeof mfg->file_name) copy_text(mfg->file_name, sizeof mfg->file_name, n);
  else copy_text(mfg->file_name, sizeof mfg->file_name, "..." + n.substr(n.size() - (sizeof mfg->file_name - 4)));
}

int32_t kova_mfg_parse_text(kova_mfg_data_s *mfg, const std::string &text) {
  return kova_mfg_parse_text(mfg, text, nullptr);
}

int32_t kova_mfg_parse_text(kova_mfg_data_s *mfg, const std::string &text, std::vector<kova_mfg_bad_line_s> *bad) {
  if (!mfg) return 0;
  char name[sizeof mfg->file_name];
  std::memcpy(name, mfg->file_name, sizeof name);
  const int16_t present = mfg->present;
  kova_mfg_clear(mfg);
  std::memcpy(mfg->file_name, name, sizeof name);
  mfg->present = present;
  parse_state_s st{mfg, bad};
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    parse_line(&st, text.substr(pos, end - pos));
    pos = end + 1;
  }
  return st.result;
}

int32_t kova_mfg_parse(kova_mfg_data_s *mfg, FILE *fpi) {
  if (!mfg) return 0;
  std::string text;
  if (fpi) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fpi)) > 0) text.append(buf, n);
  }
  return kova_mfg_parse_text(mfg, text);
}

std::vector<uint8_t> kova_eeprom_common_code(const kova_mfg_data_s *m) {
  std::vector<uint8_t> out;
  size_t open = SIZE_MAX;  // position of the open repeated write's count byte
  for (int32_t i = 0; m && i < m->entry_count; ++i) {
    const kova_mfg_entry_s &e = m->entries[i];
    if (e.type != kova_mfg_dsp_write_e || skipped_register(e.value)) continue;
    if (e.value == kDalgwr && is_dalgwr(m, i + 1) && is_dalgwr(m, i + 2)) {
      if (open != SIZE_MAX && out[open] < 255) {
        ++out[open];
      } else {
        out.insert(out.end(), {static_cast<uint8_t>(0x80 | kDalgwr >> 8), static_cast<uint8_t>(kDalgwr & 0xFF), 0});
        open = out.size() - 1;
      }
      for (int k = 0; k < 3; ++k) out.push_back(static_cast<uint8_t>(m->entries[i + k].data & 0xFF));
      i += 2;
      continue;
    }
    open = SIZE_MAX;
    put_single(&out, e.value, e.data);
  }
  out.insert(out.end(), {0xFF, 0xFF});
  return out;
}

std::vector<uint8_t> kova_eeprom_branch_code(const kova_mfg_data_s *m) {
  std::vector<uint8_t> out;
  if (!m || m->other_count == 0) return out;
  size_t open = SIZE_MAX;  // position of the open burst's count byte
  for (int32_t i = 0; i < m->entry_count; ++i) {
    const kova_mfg_entry_s &e = m->entries[i];
    if (e.type == kova_mfg_wait_e) {
      out.push_back(static_cast<uint8_t>(0xC0 + kova_eeprom_wait_code(e.value)));
      continue;
    }
    if (e.type != kova_mfg_write_e || skipped_register(e.value)) continue;
    const bool run_goes_on = i + 1 < m->entry_count && m->entries[i + 1].type == kova_mfg_write_e &&
                             m->entries[i + 1].value == e.value + 1;
    const bool room = open != SIZE_MAX && out[open] < 255;
    if (run_goes_on) {
      if (room) {
        ++out[open];
      } else {
        out.insert(out.end(), {static_cast<uint8_t>(0x40 | (e.value >> 8 & 0x3F)), static_cast<uint8_t>(e.value & 0xFF), 0});
        open = out.size() - 1;
      }
      out.push_back(boot_data(e.value, e.data));
    } else if (room) {
      // The run ends here: its last write closes the burst.
      ++out[open];
      out.push_back(boot_data(e.value, e.data));
      open = SIZE_MAX;
    } else {
      // No burst open, or one already holding 256 bytes: the write stands alone.
      open = SIZE_MAX;
      put_single(&out, e.value, e.data);
    }
  }
  out.push_back(0xFF);
  return out;
}

uint32_t kova_eeprom_wait_code(uint32_t wait_us) {
  if (wait_us == 0) return 0;
  // 2^e x 6.67 ns >= wait: 2^e x 667 >= wait_us x 100000, exactly in integers.
  const uint64_t need = static_cast<uint64_t>(wait_us) * 100000u;
  uint32_t e = 0;
  while (e < 31 && (uint64_t{667} << e) < need) ++e;
  return e;
}

bool kova_eeprom_clock_field(uint32_t spiclk_ns, uint8_t *field) {
  // q = ceil(period / 6.67 x 0.25) = ceil(period x 25 / 667).
  const uint64_t q = (static_cast<uint64_t>(spiclk_ns) * 25 + 666) / 667;
  if (q < 1 || q > 63) return false;
  *field = static_cast<uint8_t>(q << 2);
  return true;
}

uint8_t kova_eeprom_size_code(int32_t ee_size) {
  if (ee_size == 8192) return 3;
  if (ee_size == 4096) return 2;
  return 1;
}

int32_t kova_mfgdata_to_commoncode(kova_eeprom_data_s *ee, int32_t branch, kova_mfg_data_s *mfg, int32_t offset) {
  if (!ee || !mfg || branch < 0 || branch >= KOVA_EEPROM_BRANCHES) return 0;
  const std::vector<uint8_t> code = kova_eeprom_common_code(mfg);
  if (ee->common_src < 0) {
    store(ee, offset, code);
    ee->common_len = clamp16(code.size());
    ee->common_src = static_cast<int16_t>(branch);
    mfg->dsp_status = kova_dsp_source_e;
    return 0;
  }
  // Compared whole, count bytes included: the source is encoded again for the comparison,
  // since its code may not have fitted into the image buffer.
  const std::vector<uint8_t> source = kova_eeprom_common_code(ee->mfg[ee->common_src]);
  if (code == source) {
    mfg->dsp_status = kova_dsp_matches_e;
    return 0;
  }
  mfg->dsp_status = kova_dsp_differs_e;
  return 1;
}

int32_t kova_mfgdata_to_branchcode(kova_eeprom_data_s *ee, int32_t branch, kova_mfg_data_s *mfg, int32_t offset) {
  if (!ee || !mfg || branch < 0 || branch >= KOVA_EEPROM_BRANCHES) return 0;
  const std::vector<uint8_t> code = kova_eeprom_branch_code(mfg);
  store(ee, offset, code);
  return static_cast<int32_t>(code.size());
}

int32_t kova_eeprom_build(kova_eeprom_data_s *ee, kova_mfg_data_s *const mfg[KOVA_EEPROM_BRANCHES], uint32_t esclk,
                          int32_t eesize, int32_t reserve12) {
  std::memset(static_cast<void *>(ee), 0, sizeof *ee);
  int32_t result = 0;
  for (int b = 0; b < KOVA_EEPROM_BRANCHES; ++b) {
    ee->mfg[b] = mfg[b] && mfg[b]->present ? mfg[b] : nullptr;
    if (!ee->mfg[b]) result |= kova_ee_no_input0_e << b;
  }
  ee->ee_size = eesize;
  ee->reserve12 = reserve12 ? 1 : 0;
  ee->usable_size = reserve12 ? (eesize > KOVA_EEPROM_RESERVED ? eesize - KOVA_EEPROM_RESERVED : 0) : (eesize > 0 ? eesize : 0);
  ee->sysclk_ns = KOVA_EEPROM_SYSCLK_NS;
  ee->spiclk_ns = esclk;
  ee->common_src = -1;
  for (int32_t p = 0; p < KOVA_EEPROM_MAX; ++p) ee->image[p] = p < ee->usable_size ? 0xFF : 0x00;

  uint8_t clock = 0;
  if (!kova_eeprom_clock_field(esclk, &clock)) result |= kova_ee_bad_clock_e;
  const uint8_t preamble[KOVA_EEPROM_PREAMBLE] = {0x01, static_cast<uint8_t>(kova_eeprom_size_code(eesize) + clock),
                                                  0x00, static_cast<uint8_t>(ee->usable_size >> 8 & 0xFF),
                                                  static_cast<uint8_t>(ee->usable_size & 0xFF), 0x40, 0x01, 0x07};
  for (int p = 0; p < KOVA_EEPROM_PREAMBLE; ++p) ee->image[p] = preamble[p];

  // Common code.
  for (int b = 0; b < KOVA_EEPROM_BRANCHES; ++b) {
    if (!ee->mfg[b] || ee->mfg[b]->dsp_count == 0) continue;
    if (kova_mfgdata_to_commoncode(ee, b, ee->mfg[b], KOVA_EEPROM_PREAMBLE)) result |= kova_ee_dsp_differs_e;
  }
  int32_t offset;
  if (ee->common_src < 0) {
    ee->image[16] = 0xFF;
    ee->image[17] = 0xFF;
    ee->preamble_len = 18;
    result |= kova_ee_no_dsp_e;
    offset = 18;
  } else {
    ee->preamble_len = KOVA_EEPROM_PREAMBLE;
    offset = KOVA_EEPROM_PREAMBLE + ee->common_len;
  }

  // Branch code, each branch right after the previous one.
  bool any_code = false;
  for (int b = 0; b < KOVA_EEPROM_BRANCHES; ++b) {
    if (!ee->mfg[b]) continue;
    const int32_t len = kova_mfgdata_to_branchcode(ee, b, ee->mfg[b], offset);
    ee->branch_len[b] = clamp16(static_cast<size_t>(len));
    if (len == 0) continue;  // no code: its offset stays 0
    any_code = true;
    ee->image[8 + 2 * b] = static_cast<uint8_t>(offset & 0xFF);
    ee->image[9 + 2 * b] = static_cast<uint8_t>(offset >> 8 & 0xFF);
    offset += len;
  }
  if (!any_code) result |= kova_ee_no_config_e;

  // Length without the checksum, then the checksum itself.
  const int32_t len = offset;
  ee->image[3] = static_cast<uint8_t>(len >> 8 & 0xFF);
  ee->image[4] = static_cast<uint8_t>(len & 0xFF);
  if (len < KOVA_EEPROM_MAX) {
    uint32_t sum = 0;
    for (int32_t p = 0; p < len; ++p) sum += ee->image[p] & 0xFF;
    ee->image[len] = static_cast<uint8_t>(-sum & 0xFF);
  }
  ee->image_len = len + 1;
  if (ee->image_len > ee->usable_size) result |= kova_ee_too_long_e;
  if (ee->usable_size > KOVA_EEPROM_MAX) result |= kova_ee_size_too_big_e;
  return result;
}

int32_t kova_mfg_to_eeprom(int32_t fileType, FILE *fpo, uint32_t esclk, int32_t eesize, int32_t reserve12,
                           const char *fni0, FILE *fpi0, const char *fni1, FILE *fpi1, const char *fni2, FILE *fpi2,
                           const char *fni3, FILE *fpi3) {
  const char *names[KOVA_EEPROM_BRANCHES] = {fni0, fni1, fni2, fni3};
  FILE *inputs[KOVA_EEPROM_BRANCHES] = {fpi0, fpi1, fpi2, fpi3};
  std::unique_ptr<kova_mfg_data_s> data[KOVA_EEPROM_BRANCHES];
  kova_mfg_data_s *mfg[KOVA_EEPROM_BRANCHES] = {};
  int32_t result = fpo ? 0 : kova_ee_no_output_e;
  for (int b = 0; b < KOVA_EEPROM_BRANCHES; ++b) {
    if (!inputs[b]) continue;
    data[b] = std::make_unique<kova_mfg_data_s>();
    mfg[b] = data[b].get();
    kova_mfg_clear(mfg[b]);
    kova_mfg_set_name(mfg[b], names[b]);
    mfg[b]->present = 1;
    result |= kova_mfg_parse(mfg[b], inputs[b]);
  }
  auto ee = std::make_unique<kova_eeprom_data_s>();
  result |= kova_eeprom_build(ee.get(), mfg, esclk, eesize, reserve12);
  if (fpo) kova_eedata2eeprom_wr(fileType, fpo, ee.get());
  return result;
}

std::vector<std::string> kova_eeprom_flag_messages(int32_t result, int32_t usable_size) {
  std::vector<std::string> out;
  if ((result & KOVA_EE_ALL_INPUTS_MISSING) == KOVA_EE_ALL_INPUTS_MISSING)
    out.push_back("Error: At least one input file must be specified.");
  if (result & kova_ee_no_output_e) out.push_back("Error: Output file handle is not valid.");
  if (result & kova_ee_dsp_differs_e)
    out.push_back("Error: Two or more input files had different DSP code. This is not supported by the EEPROM image "
                  "file generator.");
  if (result & kova_ee_no_config_e) out.push_back("Error: Input files had no configuration information other than DSP code.");
  if (result & kova_ee_too_long_e)
    out.push_back("Error: EEPROM image does not fit in " + std::to_string(usable_size) + " bytes of EEPROM memory.");
  if (result & kova_ee_size_too_big_e) out.push_back("Error: Specified EEPROM size exceeds maximum value.");
  if (result & kova_ee_gui_file_e)
    out.push_back("Error: One or more input files appear to be GUI configuration files rather than device "
                  "configuration files.");
  if (result & kova_ee_bad_input_e)
    out.push_back("Error: One or more input files hold commands that cannot be put into an EEPROM image.");
  if (result & kova_ee_bad_clock_e) out.push_back("Error: The SPI clock gives no valid EEPROM clock setting.");
  return out;
}

bool kova_eeprom_create_file(const std::vector<std::string> &inputs, const std::string &out_path, uint32_t esclk,
                             int32_t eesize, int32_t reserve12, kova_eeprom_create_s *out, int32_t file_type) {
  *out = {};
  out->title = "Save EEPROM Image File";
  std::unique_ptr<kova_mfg_data_s> data[KOVA_EEPROM_BRANCHES];
  kova_mfg_data_s *mfg[KOVA_EEPROM_BRANCHES] = {};
  int32_t result = 0;
  std::vector<std::string> details;
  for (int b = 0; b < KOVA_EEPROM_BRANCHES && b < static_cast<int>(inputs.size()); ++b) {
    if (inputs[b].empty()) continue;
    std::string text, err;
    bool missing = false;
    if (!file_read_text(inputs[b], &text, &err, &missing)) {
      *out = {0, missing ? "Could not open " + inputs[b] : "Could not read from " + err, "File Open Error!", 0, 0};
      return false;
    }
    data[b] = std::make_unique<kova_mfg_data_s>();
    mfg[b] = data[b].get();
    kova_mfg_clear(mfg[b]);
    kova_mfg_set_name(mfg[b], inputs[b].c_str());
    mfg[b]->present = 1;
    std::vector<kova_mfg_bad_line_s> bad;
    result |= kova_mfg_parse_text(mfg[b], text, &bad);
    for (const auto &l : bad) details.push_back(inputs[b] + ":" + std::to_string(l.line) + ": " + l.reason);
  }
  auto ee = std::make_unique<kova_eeprom_data_s>();
  result |= kova_eeprom_build(ee.get(), mfg, esclk, eesize, reserve12);
  out->result = result;
  out->image_len = ee->image_len;
  out->usable_size = ee->usable_size;
  const std::vector<std::string> msgs = kova_eeprom_flag_messages(result, ee->usable_size);
  if (!msgs.empty()) {
    // An image with an error is never written: the output keeps what it held.
    out->text = "EEPROM image file not written.";
    for (const auto &m : msgs) out->text += "\n" + m;
    for (const auto &d : details) out->text += "\n" + d;
    return false;
  }
  atomic_file_s file;
  std::string err;
  if (!atomic_open(&file, out_path.c_str(), &err)) {
    out->result = result | kova_ee_no_output_e;
    out->text = "Could not open " + err;
    out->title = "File Save Error!";
    return false;
  }
  kova_eedata2eeprom_wr(file_type < 0 ? eeprom_file_type_from_name(out_path) : file_type, file.fp, ee.get());
  if (!atomic_commit(&file, &err)) {
    out->result = result | kova_ee_no_output_e;
    out->text = "Error saving EEPROM image file: " + err;
    out->title = "File Save Error!";
    return false;
  }
  out->text = "EEPROM image file save was successful.";
  return true;
}
