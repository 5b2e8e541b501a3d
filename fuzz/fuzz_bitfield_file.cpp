// Bitfield description files on arbitrary text: a failure names the file and a line; an
// accepted file has valid 8-bit layouts, is written and read back the same, and makes source
// text with one name case per register.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/bitfield_file.h"
#include "regs/regmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  std::vector<bitfield_reg_s> regs;
  std::string error;
  if (!bitfield_text_parse(text, "fuzz.bf", &regs, &error)) {
    if (error.rfind("fuzz.bf:", 0) != 0 || !regs.empty()) __builtin_trap();
    return 0;
  }
  for (size_t i = 0; i < regs.size(); ++i) {
    const bitfield_reg_s &r = regs[i];
    if (r.address > KOVA_REG_LAST || (i > 0 && regs[i - 1].address >= r.address)) __builtin_trap();
    kova_bitfield_s fields[8];
    uint32_t count = 0;
    if (!r.layout.empty() && !kova_layout_parse(r.layout, fields, &count)) __builtin_trap();
  }
  std::vector<bitfield_reg_s> again;
  if (!bitfield_text_parse(bitfield_file_text(regs), "again", &again, &error)) __builtin_trap();
  if (again.size() != regs.size()) __builtin_trap();
  for (size_t i = 0; i < regs.size(); ++i)
    if (again[i].address != regs[i].address || again[i].name != regs[i].name || again[i].layout != regs[i].layout)
      __builtin_trap();
  const std::string src = bitfield_source_text(regs);
  size_t cases = 0;
  for (size_t p = src.find("\n    case REG_"); p != std::string::npos; p = src.find("\n    case REG_", p + 1)) ++cases;
  size_t with_layout = 0;
  for (const auto &r : regs) with_layout += !r.layout.empty();
  if (cases != regs.size() + with_layout) __builtin_trap();
  return 0;
}
