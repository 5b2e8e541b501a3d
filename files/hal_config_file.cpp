#include "files/hal_config_file.h"

#include <cctype>
#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <algorithm>

#include "files/atomic_file.h"
#include "hal/hal_fields.h"
#include "regs/regmap.h"

namespace {

struct section_s {
  const char *title;
  const char *first;  // first field, null for an empty section
  int count;
};

// The thirteen sections of the file, in order; together with the version line they hold
// every field but hal_obj_p and init_api_mode_e, in the field list's order.
constexpr section_s kSections[] = {
    {"init_api inputs.", "kova_device_e", 6},
    {"calc_expert and calc_hal common inputs", "jitter_tol_ns_u16", 23},
    {"calc_expert only inputs", nullptr, 0},
    {"calc_expert outputs used as calc_hal and or build_regs inputs", "ic1_hsdiv_u8", 28},
    {"calc_hal inputs not from calc_expert or used as calc_expert inputs", "apll_afbdiv_fbits_u8", 44},
    {"calc_hal outputs used for build_regs inputs", "mcr2_mclk_u3", 122},
    {"build_reg inputs from init_api output that should normally not be changed", "apll_test_build_disable", 13},
    {"build_reg inputs that can normally be changed", "mcr2_extss_u2", 72},
    {"registers that are not controlled using API", "dalgwr_adwr_u8", 2},
    {"Status register decodes which are decoded with  get_statuses  function", "get_statuses_mode_e", 22},
    {"Status read/write regsiters that are not handled in API", nullptr, 0},
    {"expert and hal outputs for information purposes", "up_monclk_freq_s", 70},
    {"Data used to guide and error check expert and hal", "xa_max_freq_mhz_r", 66},
};

// Enumeration lines written with their own spacing.
struct fixed_prefix_s {
  const char *name;
  const char *prefix;
};
constexpr fixed_prefix_s kFixedPrefixes[] = {
    {"kova_device_e", "enum kova_device_es       kova_device_e"},
    {"kova_device_rev_e", "enum kova_device_rev_es  kova_device_rev_e"},
    {"oc_solver_mode_e", "enum oc_solver_mode_es   oc_solver_mode_e"},
    {"ic1_mon_mode_e", "enum icx_mon_mode_es     ic1_mon_mode_e"},
    {"ic2_mon_mode_e", "enum icx_mon_mode_es     ic2_mon_mode_e"},
    {"ic3_mon_mode_e", "enum icx_mon_mode_es     ic3_mon_mode_e"},
    {"ic1_mon_extlos_e", "enum icx_mon_extlos_es   ic1_mon_extlos_e"},
    {"ic2_mon_extlos_e", "enum icx_mon_extlos_es   ic2_mon_extlos_e"},
    {"ic3_mon_extlos_e", "enum icx_mon_extlos_es   ic3_mon_extlos_e"},
    {"hitless_mode_e", "enum hitless_mode_es     hitless_mode_e"},
};

const char kSlashes[] = "//////////////////////////////////////////////////////";  // 54
static_assert(sizeof(kSlashes) == 55);

uint32_t word32(const hal_api_s *hal, const hal_field_s *f) {
  uint32_t v;
  std::memcpy(&v, hal_field_ptr(hal, f), sizeof v);
  return v;
}

uint64_t word64(const hal_api_s *hal, const hal_field_s *f) {
  uint64_t v;
  std::memcpy(&v, hal_field_ptr(hal, f), sizeof v);
  return v;
}

// A double as "%g" prints it whenever that reads back as the same value, else with the
// fewest further digits that do: plain "%g" keeps six digits and would turn a limit of
// 127.9999 into 128 on the next load.
std::string double_text(double v) {
  char buf[40];
  for (int prec = 6; prec <= 17; ++prec) {
    std::snprintf(buf, sizeof buf, "%.*g", prec, v);
    if (std::strtod(buf, nullptr) == v || v != v) break;
  }
  return buf;
}

void write_field_line(const hal_api_s *hal, const hal_field_s *f, FILE *out) {
  std::string prefix;
  for (const auto &fx : kFixedPrefixes)
    if (std::strcmp(fx.name, f->name) == 0) prefix = fx.prefix;
  if (prefix.empty()) {
    const size_t used = std::strlen(f->keyword) + std::strlen(f->name);
    prefix = std::string(f->keyword) + std::string(used < 37 ? 38 - used : 1, ' ') + f->name;
  }
  const std::string kw = f->keyword;
  std::fprintf(out, "%s = ", prefix.c_str());
  if (kw == "uint8x") std::fprintf(out, "0x%02X %d\n", word32(hal, f), static_cast<int>(word32(hal, f)));
  else if (kw == "uint16x") std::fprintf(out, "0x%04X %d\n", word32(hal, f), static_cast<int>(word32(hal, f)));
  else if (kw == "uint32x") std::fprintf(out, "0x%08X %d\n", word32(hal, f), static_cast<int>(word32(hal, f)));
  else if (kw == "int8x") std::fprintf(out, "0x%02X %u\n", word32(hal, f), word32(hal, f));
  else if (kw == "int16x") std::fprintf(out, "0x%04X %u\n", word32(hal, f), word32(hal, f));
  else if (kw == "int32x") std::fprintf(out, "0x%08X %u\n", word32(hal, f), word32(hal, f));
  else if (kw == "uint64x")
    std::fprintf(out, "0x%016" PRIX64 " %" PRId64 "\n", word64(hal, f), static_cast<int64_t>(word64(hal, f)));
  else if (kw == "int64x") std::fprintf(out, "0x%016" PRIX64 " %" PRIu64 "\n", word64(hal, f), word64(hal, f));
  else if (kw == "doublex") std::fprintf(out, "%s\n", double_text(*static_cast<const double *>(hal_field_ptr(hal, f))).c_str());
  else if (kw == "fprec_s") {
    const fprec_s v = *static_cast<const fprec_s *>(hal_field_ptr(hal, f));
    std::fprintf(out, "%g f=%d n=%d m=%d\n", fprec_s_2_double_mhz(v), static_cast<int>(v.f),
                 static_cast<int>(v.n), static_cast<int>(v.m));
  } else  // enum
    std::fprintf(out, "0x%04X %d\n", word32(hal, f), static_cast<int>(word32(hal, f)));
}

// ----- reading: a small matcher with the semantics of the file's patterns -----

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

struct cursor_s {
  const char *p;
  void skip_blanks() {
    while (*p && is_blank(*p)) ++p;
  }
  bool literal(const char *lit) {
    const size_t n = std::strlen(lit);
    if (std::strncmp(p, lit, n) != 0) return false;
    p += n;
    return true;
  }
  // Unsigned or signed decimal, read modulo 2^64 (callers keep the low 32 bits for 32-bit fields).
  bool decimal(uint64_t *out) {
    skip_blanks();
    bool neg = false;
    if (*p == '+' || *p == '-') neg = *p++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    uint64_t v = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) v = v * 10 + static_cast<uint64_t>(*p++ - '0');
    *out = neg ? 0 - v : v;
    return true;
  }
  // Hexadecimal digits (an optional 0x of their own allowed), read modulo 2^64.
  bool hex(uint64_t *out) {
    skip_blanks();
    bool neg = false;
    if (*p == '+' || *p == '-') neg = *p++ == '-';
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && std::isxdigit(static_cast<unsigned char>(p[2]))) p += 2;
    if (!std::isxdigit(static_cast<unsigned char>(*p))) return false;
    uint64_t v = 0;
    while (std::isxdigit(static_cast<unsigned char>(*p))) {
      const char c = *p++;
      v = v << 4 | static_cast<uint64_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10));
    }
    *out = neg ? 0 - v : v;
    return true;
  }
  bool real(double *out) {
    skip_blanks();
    char *end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p) return false;
    p = end;
    *out = v;
    return true;
  }
};

void store32(hal_api_s *hal, const hal_field_s *f, uint64_t v, bool store) {
  if (!store) return;
  const uint32_t w = static_cast<uint32_t>(v);
  std::memcpy(hal_field_ptr(hal, f), &w, sizeof w);
}

// Matches the value part after "=" and, with store, stores it; the field is set only when
// every conversion of its pattern succeeds.
bool read_value(hal_api_s *hal, const hal_field_s *f, cursor_s c, bool store) {
  const std::string kw = f->keyword;
  if (kw == "doublex") {
    double v;
    if (!c.real(&v)) return false;
    if (store) *static_cast<double *>(hal_field_ptr(hal, f)) = v;
    return true;
  }
  if (kw == "fprec_s") {
    double ignored;
    uint64_t fv, nv, mv;
    if (!c.real(&ignored)) return false;
    c.skip_blanks();
    if (!c.literal("f=") || !c.decimal(&fv)) return false;
    c.skip_blanks();
    if (!c.literal("n=") || !c.decimal(&nv)) return false;
    c.skip_blanks();
    if (!c.literal("m=") || !c.decimal(&mv)) return false;
    if (store)
      set_fprec_s(static_cast<fprec_s *>(hal_field_ptr(hal, f)), static_cast<uint32_t>(fv), static_cast<uint32_t>(nv),
                  static_cast<uint32_t>(mv));
    return true;
  }
  uint64_t h, d;
  c.skip_blanks();
  if (!c.literal("0x") || !c.hex(&h)) return false;
  if (!c.decimal(&d)) return false;
  if (kw.rfind("enum", 0) == 0) {
    store32(hal, f, h, store);
  } else if (kw == "uint64x" || kw == "int64x") {
    if (store) std::memcpy(hal_field_ptr(hal, f), &d, sizeof d);
  } else {
    store32(hal, f, d, store);
  }
  return true;
}

// The keyword part of a field's pattern: "enum" and the type name are two words.
bool match_keyword(cursor_s *c, const char *keyword) {
  const char *space = std::strchr(keyword, ' ');
  if (!space) return c->literal(keyword);
  const std::string first(keyword, static_cast<size_t>(space - keyword));
  if (!c->literal(first.c_str())) return false;
  c->skip_blanks();
  return c->literal(space + 1);
}

// The value text of a field line for a message: from "=" on, shortened.
std::string value_text(const char *eq) {
  std::string v = eq + 1;
  size_t a = 0;
  while (a < v.size() && is_blank(v[a])) ++a;
  v = v.substr(a, 40);
  while (!v.empty() && is_blank(v.back())) v.pop_back();
  return v;
}

// Reads one line; with store, sets the field it gives. A line that names a field and "=",
// with or without its type keyword, is a field line: false with *why when its value does not
// convert (a frequency "f=abc", a number "zzz"), since loading it would silently leave the
// field as it was. Every other line (banners, register lines, the user's notes) is ignored.
bool process_line(hal_api_s *hal, char *line, bool store, std::string *why) {
  for (char *q = line; *q; ++q)
    if (*q == ';' || *q == '"') *q = ' ';
  // The name is the text after the keyword up to a blank or "="; find the field by it and
  // check the keyword, which is the same as trying every field's pattern in turn.
  const hal_field_s *named = nullptr;
  const char *eq = nullptr;
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s *f = &hal_api_fields[i];
    if (!*f->keyword || line[0] != f->keyword[0]) continue;
    cursor_s c{line};
    if (!match_keyword(&c, f->keyword)) continue;
    c.skip_blanks();
    if (!c.literal(f->name)) continue;
    c.skip_blanks();
    if (!c.literal("=")) continue;
    if (read_value(hal, f, c, store)) return true;
    if (!named) named = f, eq = c.p - 1;
  }
  if (!named) {
    // A field named without its type keyword ("dpll_bw_hz = 20") sets nothing either.
    cursor_s c{line};
    c.skip_blanks();
    const char *start = c.p;
    while (std::isalnum(static_cast<unsigned char>(*c.p)) || *c.p == '_') ++c.p;
    const std::string name(start, static_cast<size_t>(c.p - start));
    const hal_field_s *f = name.empty() ? nullptr : hal_api_field_find(name.c_str());
    c.skip_blanks();
    if (!f || !*f->keyword || *c.p != '=') return true;
    if (why) *why = name + ": a field line starts with its type (\"" + f->keyword + " " + name + " = ...\")";
    return false;
  }
  if (why) {
    const std::string kw = named->keyword;
    const char *form = kw == "doublex" ? "a number"
                       : kw == "fprec_s" ? "MHZ f=F n=N m=M with decimal F, N and M"
                                         : "0xHEX DECIMAL";
    *why = std::string(named->name) + ": the value \"" + value_text(eq) + "\" does not convert (" + form + ")";
  }
  return false;
}

// Reads the field lines of a text. With store, sets each field whose line it finds. The
// bad field lines go to *bad as "LINE: why" (numbered from 1); true when there is none.
bool read_fields(hal_api_s *hal, const std::string &text, bool store, std::vector<std::string> *bad) {
  bool in_comment = false;
  size_t pos = 0;
  int line_no = 0;
  std::string line;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    line.assign(text, pos, end - pos);
    pos = end + 1;
    ++line_no;
    if (line.find("/*") != std::string::npos) in_comment = true;
    if (line.find("*/") != std::string::npos) {
      in_comment = false;
    } else if (in_comment) {
      continue;
    }
    std::string why;
    if (!process_line(hal, line.data(), store, &why) && bad) bad->push_back(std::to_string(line_no) + ": " + why);
  }
  return !bad || bad->empty();
}

std::string trim(const std::string &s) {
  size_t a = 0, b = s.size();
  while (a < b && is_blank(s[a])) ++a;
  while (b > a && is_blank(s[b - 1])) --b;
  return s.substr(a, b - a);
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool hex_text(const std::string &s, uint32_t *out) {
  if (s.empty()) return false;
  uint32_t v = 0;
  for (char c : s) {
    const int d = hex_digit(c);
    if (d < 0) return false;
    v = v << 4 | static_cast<uint32_t>(d);
  }
  *out = v;
  return true;
}

}  // namespace

void kova_hal_api_struct_rd(const hal_api_s *hal, FILE *out) {
  if (!hal || !out) return;
  write_field_line(hal, hal_api_field_find("kova_hal_api_version"), out);
  for (const section_s &s : kSections) {
    std::fprintf(out, "\n%s\n%s\n%s\n//\n/// @section %s\n//\n", kSlashes, kSlashes, kSlashes, s.title);
    if (!s.first) continue;
    const hal_field_s *f = hal_api_field_find(s.first);
    for (int k = 0; f && k < s.count; ++k, ++f) write_field_line(hal, f, out);
  }
}

int kova_hal_api_struct_wr(hal_api_s *hal, FILE *in) {
  if (!hal || !in) return 1;
  // A last line without a line feed is read like any other: a hand-edited file often ends
  // that way, and its last setting must not be lost.
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) text.append(buf, n);
  read_fields(hal, text, true, nullptr);
  return 1;
}

bool hal_config_save_file(const hal_api_s *hal, const char *path, int device_id, file_message_s *msg) {
  const char *title = "Configuration Save";
  if (!path || !*path) {
    *msg = {"", title};
    return false;
  }
  if (std::strlen(path) > KOVA_PATH_MAX) {
    *msg = {"File name Length too long.", "Load Configuration"};
    return false;
  }
  atomic_file_s file;
  std::string err;
  if (!atomic_open(&file, path, &err)) {
    *msg = {"Unable to open file for saving!\n" + err, title};
    return false;
  }
  kova_hal_api_struct_rd(hal, file.fp);
  std::fprintf(file.fp, "\n\n%s\n%s\n//\n/// @section KOVA REGISTER DATA FORMAT: ADDR DATA REG_NAME\n//\n", kSlashes,
               kSlashes);
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) {
    const char *name = kova_reg_name(a);
    if (!name) continue;
    uint32_t byte = get_reg(hal, a);
    if (a == 0x031) byte = (byte & 0x0Fu) | (static_cast<uint32_t>(device_id) & 0x0Fu) << 4;
    std::fprintf(file.fp, "0x%03X 0x%02X %s\n", a, byte, name);
  }
  if (!atomic_commit(&file, &err)) {
    *msg = {"Unable to save file!\n" + err, title};
    return false;
  }
  *msg = {"GUI Config file successfully saved!", title};
  return true;
}

bool hal_config_load_file(hal_api_s *hal, const char *path, file_message_s *msg, std::string *detail) {
  *msg = {};
  if (detail) detail->clear();
  if (!path || !*path) return false;
  if (std::strlen(path) > KOVA_PATH_MAX) {
    *msg = {"File name Length too long.", "GUI Config Load"};
    return false;
  }
  std::string text, err;
  if (!file_read_text(path, &text, &err)) {
    if (detail) *detail = err;
    return false;
  }
  return hal_config_load_text(hal, path, text, msg, detail);
}

bool hal_config_load_text(hal_api_s *hal, const char *path, const std::string &text, file_message_s *msg,
                          std::string *detail) {
  *msg = {};
  if (detail) detail->clear();
  const file_message_s failure{"Error loading GUI Config file!", "File Error"};
  // Every line is checked before anything is set: a file that cannot be loaded whole
  // leaves the object as it was.
  std::vector<std::string> bad;
  read_fields(hal, text, false, &bad);
  struct reg_s {
    uint32_t addr, data;
  };
  std::vector<reg_s> regs;
  size_t pos = 0;
  int line_no = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string t = trim(text.substr(pos, end - pos));
    pos = end + 1;
    ++line_no;
    const std::string at = std::to_string(line_no) + ": ";
    if (t.size() == 1) bad.push_back(at + "a line of one character");
    if (t.size() < 2 || !(t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))) continue;
    uint32_t addr = 0, data = 0;
    if (t.size() < 10) bad.push_back(at + "register line too short: \"" + t.substr(0, 40) + "\"");
    else if (!hex_text(t.substr(2, 3), &addr) || !hex_text(t.substr(8, 2), &data) || addr >= KOVA_REG_COUNT)
      bad.push_back(at + "not a register line (\"0xADR 0xDD NAME\"): \"" + t.substr(0, 40) + "\"");
    else
      regs.push_back({addr, data});
  }
  if (!bad.empty()) {
    *msg = failure;
    if (detail) {
      // Line order, the field lines and the register lines together.
      std::stable_sort(bad.begin(), bad.end(), [](const std::string &a, const std::string &b) {
        return std::atoi(a.c_str()) < std::atoi(b.c_str());
      });
      for (size_t k = 0; k < bad.size(); ++k) *detail += (k ? "\n" : "") + std::string(path) + ":" + bad[k];
    }
    return false;
  }
  read_fields(hal, text, true, nullptr);
  for (const reg_s &r : regs) put_reg(hal, r.addr, r.data);
  return !regs.empty();
}
