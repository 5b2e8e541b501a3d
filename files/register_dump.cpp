#include "files/register_dump.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

#include "files/atomic_file.h"
#include "regs/regmap.h"

namespace {

const std::string kSep = ";" + std::string(70, '=');

struct dump_section_s {
  const char *title;
  uint32_t first, last;
};

constexpr dump_section_s kDumpSections[] = {
    {"; Global Registers", 0x000, 0x02F},
    {"; Status Registers", 0x030, 0x0AF},
    {"; APLL Configuration Registers", 0x100, 0x13F},
    {"; OC1 Configuration Registers", 0x200, 0x20F},
    {"; OC2 Configuration Registers", 0x210, 0x21F},
    {"; OC3 Configuration Registers", 0x220, 0x22F},
    {"; IC1 Configuration Registers", 0x300, 0x31F},
    {"; IC2 Configuration Registers", 0x320, 0x33F},
    {"; IC3 Configuration Registers", 0x340, 0x35F},
    {"; DPLL Configuration Registers", 0x400, 0x47F},
    {"; Manufacturer Test Registers", 0x600, 0x63F},
};

constexpr uint32_t kDspBytes = KOVA_DSP_WORDS * 3;

// Rows of 16 values: "AAAA:  VV  VV ...", a row ending after an address ending in F.
void write_rows(FILE *out, uint32_t first, uint32_t last, const uint8_t *bytes) {
  for (uint32_t a = first; a <= last; ++a) {
    if (a == first || (a & 0xF) == 0) std::fprintf(out, "%04X:", a);
    std::fprintf(out, "  %02X", bytes[a - first]);
    if ((a & 0xF) == 0xF || a == last) std::fprintf(out, "\n");
  }
}

bool parse_hex(const std::string &s, uint32_t *out) {
  size_t i = 0;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) i = 2;
  if (i >= s.size() || s.size() - i > 8) return false;
  uint32_t v = 0;
  for (; i < s.size(); ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
    v = v << 4 | static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'a' + 10);
  }
  *out = v;
  return true;
}

std::string trim(const std::string &s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

std::vector<std::string> split_blanks(const std::string &s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    size_t j = i;
    while (j < s.size() && !std::isspace(static_cast<unsigned char>(s[j]))) ++j;
    if (j > i) out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

// A row "AAAA: VV VV ..." (the address is the first four characters of the first piece):
// each value that reads as hexadecimal goes to the next position.
template <typename Store>
void read_row(const std::string &line, Store store) {
  const auto pieces = split_blanks(line);
  if (pieces.empty()) return;
  uint32_t addr;
  if (!parse_hex(pieces[0].substr(0, 4), &addr)) return;
  for (size_t k = 1; k < pieces.size(); ++k) {
    uint32_t v;
    if (parse_hex(pieces[k], &v)) store(addr++, v);
  }
}

// Decimal with blanks and a sign allowed, as the comment lines of scripts and dumps write it.
bool parse_decimal(const std::string &s, int64_t *out) {
  const std::string t = trim(s);
  size_t i = 0;
  bool neg = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
  if (i >= t.size() || t.size() - i > 18) return false;
  int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
    v = v * 10 + (t[i] - '0');
  }
  *out = neg ? -v : v;
  return true;
}


}  // namespace

void file_write_mode_and_frequencies(FILE *out, const hal_api_s *hal) {
  static const char *const modes[] = {"Synthesis", "NCO", "SpreadSpectrum", "JitterAttenuator"};
  if (hal->kova_mode_e >= 0 && hal->kova_mode_e <= 3)
    std::fprintf(out, "; MFG Mode : %s (%d)\n", modes[hal->kova_mode_e], hal->kova_mode_e);
  const struct {
    const char *label;
    fprec_s f;
  } clocks[] = {{"XA  Input ", hal->xa_freq_s},  {"IC1 Input ", hal->ic1_freq_s}, {"IC2 Input ", hal->ic2_freq_s},
                {"IC3 Input ", hal->ic3_freq_s}, {"OC1 Output", hal->oc1_freq_s}, {"OC2 Output", hal->oc2_freq_s},
                {"OC3 Output", hal->oc3_freq_s}};
  for (const auto &c : clocks)
    if (c.f.f != 0)
      std::fprintf(out, "; %s Frequency Hz = %12" PRIu32 " * (%" PRIu32 ") / (%" PRIu32 ")\n", c.label, c.f.f, c.f.n, c.f.m);
}

std::string file_date_text() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, "%c", &tm);
  return buf;
}

bool register_dump_write(const hal_api_s *hal, const char *path, const uint8_t *regs, const uint32_t *dsp_words,
                         int product_index, file_message_s *msg) {
  const file_message_s failure{"Error creating register dump file!", "File Error"};
  if (!hal || !regs || !path || !*path) {
    *msg = failure;
    return false;
  }
  atomic_file_s f;
  std::string err;
  if (!atomic_open(&f, path, &err)) {
    *msg = {failure.text + "\n" + err, failure.title};
    return false;
  }
  FILE *out = f.fp;
  std::fprintf(out, "; KX%d Register Dump\n; %s\n\n", hal->kova_device_e, file_date_text().c_str());
  std::fprintf(out, "%s\n; The following lines are only for EVKIT GUI configuration:\n%s\n", kSep.c_str(), kSep.c_str());
  file_write_mode_and_frequencies(out, hal);
  std::fprintf(out, "%s\n\n", kSep.c_str());
  uint8_t copy[KOVA_REG_COUNT];
  std::memcpy(copy, regs, sizeof copy);
  copy[0x031] = static_cast<uint8_t>((copy[0x031] & 0x0F) | (product_index & 0x0F) << 4);
  for (const auto &s : kDumpSections) {
    std::fprintf(out, "%s\n", s.title);
    write_rows(out, s.first, s.last, copy + s.first);
    std::fprintf(out, "\n");
  }
  if (hal->kova_mode_e == kova_mode_ja_e && dsp_words) {
    uint8_t bytes[kDspBytes];
    for (uint32_t i = 0; i < KOVA_DSP_WORDS; ++i) {
      bytes[3 * i] = static_cast<uint8_t>(dsp_words[i]);
      bytes[3 * i + 1] = static_cast<uint8_t>(dsp_words[i] >> 8);
      bytes[3 * i + 2] = static_cast<uint8_t>(dsp_words[i] >> 16);
    }
    std::fprintf(out, "; DSP Code\n");
    write_rows(out, 0, kDspBytes - 1, bytes);
  }
  if (!atomic_commit(&f, &err)) {
    *msg = {failure.text + "\n" + err, failure.title};
    return false;
  }
  *msg = {std::string("Register values saved to ") + path, "Register Dump"};
  return true;
}

bool register_dump_load(hal_api_s *hal, const char *path, std::vector<uint32_t> *dsp_code, file_message_s *msg) {
  std::string text, err;
  bool missing = true;
  if (!path || !file_read_text(path, &text, &err, &missing)) {
    *msg = {missing ? std::string("Could not find file ") + (path ? path : "") : "Could not read from " + err,
            "Dump File Load Error!"};
    return false;
  }
  register_dump_load_text(hal, path, text, dsp_code, msg);
  return true;
}

void register_dump_load_text(hal_api_s *hal, const char *path, const std::string &text, std::vector<uint32_t> *dsp_code,
                             file_message_s *msg) {
  std::istringstream in(text);
  std::string raw;
  bool in_dsp = false;
  uint8_t dsp[kDspBytes] = {};
  while (std::getline(in, raw)) {
    const std::string line = trim(raw);
    if (line.empty()) continue;
    if (in_dsp) {
      if (line[0] == ';') continue;
      read_row(line, [&](uint32_t pos, uint32_t v) {
        if (pos < kDspBytes) dsp[pos] = static_cast<uint8_t>(v);
      });
    } else if (line.rfind("; DSP Code", 0) == 0) {
      in_dsp = true;
    } else if (line[0] == ';') {
      ScriptCommentLineParse(hal, line);
    } else {
      read_row(line, [&](uint32_t addr, uint32_t v) { put_reg(hal, addr, v); });
    }
  }
  if (in_dsp && dsp_code)
    for (uint32_t i = 0; i < KOVA_DSP_WORDS; ++i)
      dsp_code->push_back(static_cast<uint32_t>(dsp[3 * i]) | static_cast<uint32_t>(dsp[3 * i + 1]) << 8 |
                          static_cast<uint32_t>(dsp[3 * i + 2]) << 16);
  *msg = {std::string("Register values loaded from ") + path, "Dump File Load"};
}

void ScriptCommentLineParse(hal_api_s *hal, const std::string &line) {
  enum { start, device, type, revision, name, f_state, n_state, m_state, done } state = start;
  fprec_s *clock = nullptr;
  int64_t fv = 0, nv = 0;
  std::string piece;
  auto handle = [&](const std::string &p) {
    if (p.empty()) return;
    int64_t v = 0;
    const bool num = parse_decimal(p, &v);
    switch (state) {
      case start:
        if (p == "Device") {
          state = device;
        } else {
          const struct {
            const char *label;
            fprec_s *f;
          } clocks[] = {{"XA", &hal->xa_freq_s},   {"IC1", &hal->ic1_freq_s}, {"IC2", &hal->ic2_freq_s},
                        {"IC3", &hal->ic3_freq_s}, {"OC1", &hal->oc1_freq_s}, {"OC2", &hal->oc2_freq_s},
                        {"OC3", &hal->oc3_freq_s}};
          for (const auto &c : clocks)
            if (p == c.label) {
              clock = c.f;
              state = name;
            }
        }
        break;
      case device:
        if (p == "Type") state = type;
        else if (p == "Rev") state = revision;
        break;
      case type:
        if (num) {
          hal->kova_device_e = kova_device_valid(static_cast<int32_t>(v)) ? static_cast<int32_t>(v) : 0;
          state = done;
        }
        break;
      case revision:
        if (num && (v == 0 || v == 1)) hal->kova_device_rev_e = static_cast<int32_t>(v);
        break;
      case name:
        if (p == "=") state = f_state;
        break;
      case f_state:
        if (num && v > 0 && v <= UINT32_MAX) fv = v, state = n_state;
        break;
      case n_state:
        if (num && v > 0 && v <= UINT32_MAX) nv = v, state = m_state;
        break;
      case m_state:
        if (num && v > 0 && v <= UINT32_MAX && clock) {
          set_fprec_s(clock, static_cast<uint32_t>(fv), static_cast<uint32_t>(nv), static_cast<uint32_t>(v));
          state = done;
        }
        break;
      case done:
        break;
    }
  };
  for (char c : line) {
    if (c == ' ' || c == '\t' || c == ':' || c == '*' || c == '/' || c == '(' || c == ')' || c == '\r' || c == '\n') {
      handle(piece);
      piece.clear();
    } else {
      piece.push_back(c);
    }
  }
  handle(piece);
}

bool register_config_write(const char *path, const uint8_t *regs, bool save_only_diff, file_message_s *msg) {
  atomic_file_s f;
  std::string err;
  if (!regs || !atomic_open(&f, path, &err)) {
    *msg = {"Unable to open file for saving!\n" + err, "Save Configuration"};
    return false;
  }
  std::fprintf(f.fp, "Kova Register Configuration\n%s\n+++++++++++++++++++++++\n+++++++++++++++++++++++\n",
               file_date_text().c_str());
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) {
    const char *name = kova_reg_name(a);
    if (!name || (save_only_diff && regs[a] == kova_regs_defaults(a))) continue;
    std::fprintf(f.fp, "0x%03X    0x%02X    %s\n", a, regs[a], name);
  }
  if (!atomic_commit(&f, &err)) {
    *msg = {"Unable to save file!\n" + err, "Save Configuration"};
    return false;
  }
  *msg = {std::string("Register configuration saved to ") + path, "Save Configuration"};
  return true;
}
