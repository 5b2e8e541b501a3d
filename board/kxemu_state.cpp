// State file of the emulated boards:
//
//   KOVA EMULATED BOARD STATE 1
//   board 0 KX40000 rev 1
//   chip-registers 2048      then 64 lines of 32 bytes, hexadecimal
//   chip-eeprom 8192         256 lines
//   dsp-ram 1024             128 lines of 8 words of 6 hexadecimal digits
//   board-eeprom 65536       2048 lines
//   (further boards)
//   end
#include "board/kxemu_state.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board/kxemu.h"
#include "files/atomic_file.h"

namespace {

constexpr const char *kHeader = "KOVA EMULATED BOARD STATE 1";
constexpr uint32_t kBytesPerLine = 32;
constexpr uint32_t kWordsPerLine = 8;

struct parsed_s {
  int32_t device = 0;
  uint32_t revision = 0;
  std::vector<uint8_t> regs, chip_eeprom, board_eeprom;
  std::vector<uint32_t> dsp;
};

struct reader_s {
  std::vector<std::string> lines;
  size_t at = 0;
  std::string problem;
  size_t problem_line = 0;

  bool fail(const std::string &why) {
    if (problem.empty()) {
      problem = why;
      problem_line = at + 1;
    }
    return false;
  }
  bool next(std::string *line) {
    if (at >= lines.size()) return fail("the file ends too early");
    *line = lines[at++];
    return true;
  }
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool read_bytes(reader_s &r, const char *name, uint32_t size, std::vector<uint8_t> *out) {
  std::string line;
  if (!r.next(&line)) return false;
  if (line != std::string(name) + " " + std::to_string(size)) {
    --r.at;
    return r.fail(std::string("expected \"") + name + " " + std::to_string(size) + "\"");
  }
  out->clear();
  for (uint32_t l = 0; l < size / kBytesPerLine; ++l) {
    if (!r.next(&line)) return false;
    if (line.size() != 2 * kBytesPerLine) {
      --r.at;
      return r.fail(std::string("a line of ") + name + " must hold 32 bytes");
    }
    for (uint32_t i = 0; i < kBytesPerLine; ++i) {
      const int hi = hex_digit(line[2 * i]), lo = hex_digit(line[2 * i + 1]);
      if (hi < 0 || lo < 0) {
        --r.at;
        return r.fail(std::string("not hexadecimal in ") + name);
      }
      out->push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
  }
  return true;
}

bool read_words(reader_s &r, std::vector<uint32_t> *out) {
  std::string line;
  if (!r.next(&line)) return false;
  if (line != "dsp-ram " + std::to_string(KXEMU_DSP_RAM_WORDS)) {
    --r.at;
    return r.fail("expected \"dsp-ram " + std::to_string(KXEMU_DSP_RAM_WORDS) + "\"");
  }
  out->clear();
  for (uint32_t l = 0; l < KXEMU_DSP_RAM_WORDS / kWordsPerLine; ++l) {
    if (!r.next(&line)) return false;
    if (line.size() != kWordsPerLine * 7 - 1) {
      --r.at;
      return r.fail("a line of dsp-ram must hold 8 words of 6 digits");
    }
    for (uint32_t i = 0; i < kWordsPerLine; ++i) {
      uint32_t w = 0;
      for (uint32_t d = 0; d < 6; ++d) {
        const int v = hex_digit(line[7 * i + d]);
        if (v < 0) {
          --r.at;
          return r.fail("not hexadecimal in dsp-ram");
        }
        w = w << 4 | static_cast<uint32_t>(v);
      }
      if (i + 1 < kWordsPerLine && line[7 * i + 6] != ' ') {
        --r.at;
        return r.fail("words of dsp-ram are separated by one blank");
      }
      out->push_back(w);
    }
  }
  return true;
}

bool read_board(reader_s &r, uint32_t index, parsed_s *p) {
  std::string line;
  if (!r.next(&line)) return false;
  unsigned idx = 0, rev = 0;
  int device = 0, used = 0;
  if (std::sscanf(line.c_str(), "board %u KX%d rev %u%n", &idx, &device, &rev, &used) != 3 ||
      static_cast<size_t>(used) != line.size() || idx != index || rev > 1) {
    --r.at;
    return r.fail("expected \"board " + std::to_string(index) + " KX<device> rev <0 or 1>\"");
  }
  p->device = device;
  p->revision = rev;
  return read_bytes(r, "chip-registers", KXEMU_CHIP_REGS, &p->regs) &&
         read_bytes(r, "chip-eeprom", KXEMU_CHIP_EEPROM_SIZE, &p->chip_eeprom) && read_words(r, &p->dsp) &&
         read_bytes(r, "board-eeprom", KXEMU_BOARD_EEPROM_SIZE, &p->board_eeprom);
}

void put_bytes(std::string &out, const char *name, const uint8_t *bytes, uint32_t size) {
  static const char hex[] = "0123456789ABCDEF";
  out += name;
  out += " " + std::to_string(size) + "\n";
  for (uint32_t i = 0; i < size; ++i) {
    out += hex[bytes[i] >> 4];
    out += hex[bytes[i] & 0xF];
    if (i % kBytesPerLine == kBytesPerLine - 1) out += '\n';
  }
}

}  // namespace

bool kxemu_state_load(const char *path, kxemu_board_state_s *boards, uint32_t count, char *err, size_t len) {
  std::string text, why;
  bool missing = false;
  if (!file_read_text(path, &text, &why, &missing)) {
    if (missing) return true;
    if (err && len) std::snprintf(err, len, "cannot read the emulated board state file %s", why.c_str());
    return false;
  }
  reader_s r;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    r.lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  std::vector<parsed_s> parsed;
  std::string line;
  bool ok = r.next(&line) && (line == kHeader || (--r.at, r.fail("not an emulated board state file")));
  while (ok) {
    if (!r.next(&line)) {
      ok = false;
      break;
    }
    if (line == "end") break;
    --r.at;
    parsed.emplace_back();
    ok = read_board(r, static_cast<uint32_t>(parsed.size() - 1), &parsed.back());
  }
  if (ok && r.at != r.lines.size() && !(r.at + 1 == r.lines.size() && r.lines.back().empty()))
    ok = r.fail("text after \"end\"");
  if (ok)
    for (uint32_t i = 0; i < count && i < parsed.size(); ++i)
      if (parsed[i].device != boards[i].device || parsed[i].revision != boards[i].revision) {
        if (err && len)
          std::snprintf(err, len,
                        "the emulated board state file %s holds board %u as a KX%d revision %u, not a KX%d "
                        "revision %u; remove the file to start afresh",
                        path, i, parsed[i].device, parsed[i].revision, boards[i].device, boards[i].revision);
        return false;
      }
  if (!ok) {
    if (err && len)
      std::snprintf(err, len, "the emulated board state file %s is corrupt (line %zu: %s); remove it to start afresh",
                    path, r.problem_line, r.problem.c_str());
    return false;
  }
  for (uint32_t i = 0; i < count && i < parsed.size(); ++i) {
    std::memcpy(boards[i].regs, parsed[i].regs.data(), KXEMU_CHIP_REGS);
    std::memcpy(boards[i].chip_eeprom, parsed[i].chip_eeprom.data(), KXEMU_CHIP_EEPROM_SIZE);
    std::memcpy(boards[i].dsp_ram, parsed[i].dsp.data(), KXEMU_DSP_RAM_WORDS * sizeof(uint32_t));
    std::memcpy(boards[i].board_eeprom, parsed[i].board_eeprom.data(), KXEMU_BOARD_EEPROM_SIZE);
  }
  return true;
}

bool kxemu_state_write(const char *path, const kxemu_board_state_s *boards, uint32_t count, char *err, size_t len) {
  std::string out = std::string(kHeader) + "\n";
  for (uint32_t b = 0; b < count; ++b) {
    out += "board " + std::to_string(b) + " KX" + std::to_string(boards[b].device) + " rev " +
           std::to_string(boards[b].revision) + "\n";
    put_bytes(out, "chip-registers", boards[b].regs, KXEMU_CHIP_REGS);
    put_bytes(out, "chip-eeprom", boards[b].chip_eeprom, KXEMU_CHIP_EEPROM_SIZE);
    out += "dsp-ram " + std::to_string(KXEMU_DSP_RAM_WORDS) + "\n";
    for (uint32_t i = 0; i < KXEMU_DSP_RAM_WORDS; ++i) {
      char w[8];
      std::snprintf(w, sizeof w, "%06X", boards[b].dsp_ram[i] & 0xFFFFFFu);
      out += w;
      out += i % kWordsPerLine == kWordsPerLine - 1 ? '\n' : ' ';
    }
    put_bytes(out, "board-eeprom", boards[b].board_eeprom, KXEMU_BOARD_EEPROM_SIZE);
  }
  out += "end\n";
  std::string why;
  if (atomic_write_text(path, out, &why)) return true;
  if (err && len) std::snprintf(err, len, "cannot save the emulated board state file %s", why.c_str());
  return false;
}
