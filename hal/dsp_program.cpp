#include "hal/dsp_program.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern const char kova_dsp_program_text[];
extern const std::size_t kova_dsp_program_text_len;

namespace {

dsp_program_s g_embedded;
dsp_program_s g_loaded;
const dsp_program_s *g_active = nullptr;

const dsp_program_s *embedded() {
  static const bool ok = [] {
    std::string err;
    const bool parsed = dsp_program_parse(kova_dsp_program_text, kova_dsp_program_text_len,
                                          "dsp_program.txt", &g_embedded, &err);
    if (!parsed) std::fprintf(stderr, "ERROR: built-in DSP program: %s\n", err.c_str());
    return parsed;
  }();
  (void)ok;
  return &g_embedded;
}

std::string where(const char *source, size_t line) {
  return std::string(source ? source : "DSP program") + ":" + std::to_string(line) + ": ";
}

}  // namespace

bool dsp_program_parse(const char *text, size_t len, const char *source, dsp_program_s *out,
                       std::string *error) {
  dsp_program_s prog{};
  size_t count = 0, line = 1, pos = 0;
  auto fail = [&](const std::string &why) {
    if (error) *error = where(source, line) + why;
    return false;
  };
  while (pos < len) {
    size_t end = pos;
    while (end < len && text[end] != '\n') ++end;
    size_t stop = end;
    for (size_t i = pos; i < end; ++i)
      if (text[i] == '#') { stop = i; break; }
    // Words on this line, separated by blanks.
    size_t i = pos;
    while (true) {
      while (i < stop && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
      if (i >= stop) break;
      size_t j = i;
      while (j < stop && text[j] != ' ' && text[j] != '\t' && text[j] != '\r') ++j;
      const std::string tok(text + i, j - i);
      if (count >= KOVA_DSP_WORDS) return fail("more than 320 words");
      if (tok == "unknown") {
        prog.words[count] = 0;
        prog.known[count] = false;
      } else {
        const bool prefixed = tok.size() > 2 && tok[0] == '0' && (tok[1] == 'x' || tok[1] == 'X');
        if (!prefixed || tok.size() > 10) return fail("not a 0x word: \"" + tok.substr(0, 40) + "\"");
        uint32_t v = 0;
        for (size_t k = 2; k < tok.size(); ++k) {
          const char c = tok[k];
          int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
          if (d < 0) return fail("not a 0x word: \"" + tok.substr(0, 40) + "\"");
          v = v << 4 | static_cast<uint32_t>(d);
        }
        if (v > 0xFFFFFFu) return fail("word " + tok + " does not fit in 24 bits");
        prog.words[count] = v;
        prog.known[count] = true;
      }
      ++count;
      i = j;
    }
    pos = end + 1;
    ++line;
  }
  if (count != KOVA_DSP_WORDS) {
    if (error) *error = where(source, line - 1) + "holds " + std::to_string(count) + " words, 320 needed";
    return false;
  }
  *out = prog;
  return true;
}

bool dsp_program_load_file(const char *path, std::string *error) {
  FILE *f = path ? std::fopen(path, "rb") : nullptr;
  if (!f) {
    if (error) *error = std::string(path ? path : "(no file)") + ": " + std::strerror(errno);
    return false;
  }
  std::string text;
  char buf[4096];
  size_t n;
  // A program is a few kilobytes; anything much larger is not one.
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() < (1u << 20)) text.append(buf, n);
  const bool read_error = std::ferror(f) != 0;
  std::fclose(f);
  if (read_error) {
    if (error) *error = std::string(path) + ": read error";
    return false;
  }
  if (text.size() >= (1u << 20)) {
    if (error) *error = std::string(path) + ": too large for a DSP program";
    return false;
  }
  dsp_program_s prog;
  if (!dsp_program_parse(text.data(), text.size(), path, &prog, error)) return false;
  g_loaded = prog;
  g_active = &g_loaded;
  return true;
}

void dsp_program_use_embedded() { g_active = embedded(); }

const dsp_program_s *dsp_program_active() { return g_active ? g_active : embedded(); }

uint32_t dsp_program_unknown_count() {
  const dsp_program_s *p = dsp_program_active();
  uint32_t n = 0;
  for (bool k : p->known) n += k ? 0 : 1;
  return n;
}

uint32_t get_dsp_algo_word24(const hal_api_s *hal, uint32_t index) {
  if (!hal || index >= KOVA_DSP_WORDS || !kova_device_has_dpll(hal->kova_device_e)) return 0;
  return dsp_program_active()->words[index] & 0xFFFFFFu;
}

uint32_t get_dsp_id_word16(const hal_api_s *hal) {
  if (!hal) return 0;
  switch (hal->kova_device_e) {
    case kova_device_40000_e: return 0x0001;
    case kova_device_40075_e: return 0x1950;
    case kova_device_40089_e: return 0x1970;
    case kova_device_40112_e: return 0x1920;
    case kova_device_40113_e: return 0x1930;
    default: return 0;
  }
}
