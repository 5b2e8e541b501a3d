#include "files/bitfield_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "files/atomic_file.h"
#include "regs/regmap.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

bool name_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

std::vector<std::string> split_blanks(const std::string &s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && is_blank(s[i])) ++i;
    size_t j = i;
    while (j < s.size() && !is_blank(s[j])) ++j;
    if (j > i) out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

// "0x" and one to three hexadecimal digits, at most the last register address.
bool parse_address(const std::string &s, uint32_t *out) {
  if (s.size() < 3 || s.size() > 5 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return false;
  uint32_t v = 0;
  for (size_t i = 2; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v << 4 | static_cast<uint32_t>(d);
  }
  if (v > KOVA_REG_LAST) return false;
  *out = v;
  return true;
}

bool valid_reg_name(const std::string &s) {
  if (s.empty() || s.size() >= KOVA_BITFIELD_NAME_LEN) return false;
  return std::all_of(s.begin(), s.end(), name_char);
}

// Printable excerpt of a piece of a line for an error text.
std::string excerpt(const std::string &s) {
  std::string out;
  for (char c : s.substr(0, 40)) out.push_back(c >= 0x20 && c < 0x7F ? c : '?');
  return "\"" + out + (s.size() > 40 ? "...\"" : "\"");
}

std::string hex3(uint32_t a) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03X", a);
  return buf;
}

}  // namespace

bool bitfield_text_parse(const std::string &text, const std::string &file_name, std::vector<bitfield_reg_s> *regs,
                         std::string *error) {
  std::vector<bitfield_reg_s> out;
  std::set<uint32_t> addresses;
  std::set<std::string> names;
  int line_no = 0;
  auto fail = [&](const std::string &why) {
    if (error) *error = file_name + ":" + std::to_string(line_no) + ": " + why;
    if (regs) regs->clear();
    return false;
  };
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    if (line.find('\0') != std::string::npos) return fail("a NUL character in the line");
    const auto pieces = split_blanks(line);
    if (pieces.empty()) continue;
    bitfield_reg_s r;
    if (!parse_address(pieces[0], &r.address))
      return fail("not a register address (0x000 to 0x6FF): " + excerpt(pieces[0]));
    if (pieces.size() < 2) return fail("register 0x" + hex3(r.address) + " has no name");
    r.name = pieces[1];
    if (!valid_reg_name(r.name)) return fail("not a register name: " + excerpt(r.name));
    for (size_t k = 2; k < pieces.size(); ++k) {
      if (!BitfieldComponentParse(pieces[k], nullptr, nullptr, nullptr))
        return fail("malformed bitfield " + excerpt(pieces[k]) + " in register " + r.name);
      if (!r.layout.empty()) r.layout += ' ';
      r.layout += pieces[k];
    }
    if (!r.layout.empty()) {
      kova_bitfield_s fields[8];
      uint32_t count = 0;
      if (!kova_layout_parse(r.layout, fields, &count))
        return fail("the bitfields of register " + r.name + " do not add up to 8 bits");
    }
    if (!addresses.insert(r.address).second) return fail("register address 0x" + hex3(r.address) + " given twice");
    if (!names.insert(r.name).second) return fail("register name " + r.name + " given twice");
    out.push_back(std::move(r));
  }
  std::sort(out.begin(), out.end(),
            [](const bitfield_reg_s &a, const bitfield_reg_s &b) { return a.address < b.address; });
  if (regs) *regs = std::move(out);
  if (error) error->clear();
  return true;
}

bool bitfield_file_load(const char *path, std::vector<bitfield_reg_s> *regs, file_message_s *msg,
                        std::string *detail) {
  const char *title = "Bitfield Configuration Load";
  if (detail) detail->clear();
  if (!path || !*path) {
    *msg = {"", title};
    return false;
  }
  std::string text, error;
  bool missing = false;
  if (!file_read_text(path, &text, &error, &missing)) {
    *msg = {std::string(missing ? "Could not find file " : "Could not read from ") + path, title};
    if (detail) *detail = error;
    return false;
  }
  if (!bitfield_text_parse(text, path, regs, &error)) {
    *msg = {std::string("Error in bitfield file ") + path, title};
    if (detail) *detail = error;
    return false;
  }
  *msg = {"Bitfields loaded from " + std::string(path), title};
  return true;
}

std::string bitfield_file_text(const std::vector<bitfield_reg_s> &regs) {
  std::vector<const bitfield_reg_s *> sorted;
  for (const auto &r : regs) sorted.push_back(&r);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const bitfield_reg_s *a, const bitfield_reg_s *b) { return a->address < b->address; });
  std::string out = "# Kova register bitfields: ADDRESS NAME [bitfields from bit 7 down to bit 0]\n";
  for (const bitfield_reg_s *r : sorted) {
    out += "0x" + hex3(r->address) + " " + r->name;
    if (!r->layout.empty()) out += " " + r->layout;
    out += "\n";
  }
  return out;
}

std::vector<bitfield_reg_s> bitfield_regs_from_map(int32_t device) {
  std::vector<bitfield_reg_s> out;
  for (uint32_t a = 0; a <= KOVA_REG_LAST; ++a) {
    const char *name = kova_reg_name(a);
    if (!name) continue;
    out.push_back({a, name, std::string(kova_text(kova_reg_bitfields(a, device)))});
  }
  return out;
}

std::string bitfield_source_text(const std::vector<bitfield_reg_s> &regs) {
  // The register of each address; a later entry for the same address wins.
  std::vector<const bitfield_reg_s *> at(KOVA_REG_LAST + 1, nullptr);
  for (const auto &r : regs)
    if (r.address <= KOVA_REG_LAST) at[r.address] = &r;

  std::string out = "// Kova register map tables, generated from a bitfield file.\n\n";
  for (uint32_t a = 0; a <= KOVA_REG_LAST; ++a)
    if (at[a]) out += "constexpr uint32_t REG_" + at[a]->name + " = 0x" + hex3(a) + ";\n";

  out += "\nconst char *kova_reg_name(uint32_t address) {\n  switch (address) {\n";
  for (uint32_t a = 0; a <= KOVA_REG_LAST; ++a) {
    if (at[a]) out += "    case REG_" + at[a]->name + ": return \"" + at[a]->name + "\";\n";
    else out += "//Register Address 0x" + hex3(a) + " Not Found\n";
  }
  out += "    default: return nullptr;\n  }\n}\n";

  out += "\nconst char *kova_reg_bitfields(uint32_t address) {\n  switch (address) {\n";
  for (uint32_t a = 0; a <= KOVA_REG_LAST; ++a) {
    if (!at[a]) out += "//Register Address 0x" + hex3(a) + " Not Found\n";
    else if (at[a]->layout.empty()) out += "//Register Address 0x" + hex3(a) + " Bitfields undefined\n";
    else out += "    case REG_" + at[a]->name + ": return \"" + at[a]->layout + "\";\n";
  }
  out += "    default: return nullptr;\n  }\n}\n";
  return out;
}

bool bitfield_source_save(const std::vector<bitfield_reg_s> &regs, const char *path, file_message_s *msg) {
  const char *title = "Bitfield Configuration Save";
  if (!path || !*path) {
    *msg = {"", title};
    return false;
  }
  std::string err;
  if (!atomic_write_text(path, bitfield_source_text(regs), &err)) {
    *msg = {"Unable to save file!\n" + err, title};
    return false;
  }
  *msg = {std::string("Register map source saved to ") + path, title};
  return true;
}
