#include "regs/regmap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include "hal/hal_api.h"
#include "regs/regmap_data.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

// Decimal number no larger than max (blanks around it allowed).
bool parse_dec(std::string_view s, uint32_t max, uint32_t *out) {
  s = trim(s);
  if (s.empty()) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > max) return false;
  }
  *out = static_cast<uint32_t>(v);
  return true;
}

// Hexadecimal number without prefix, no larger than max (blanks around it allowed).
bool parse_hex(std::string_view s, uint32_t max, uint32_t *out) {
  s = trim(s);
  if (s.empty()) return false;
  uint64_t v = 0;
  for (char c : s) {
    uint32_t d;
    if (c >= '0' && c <= '9') d = static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F') d = static_cast<uint32_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f') d = static_cast<uint32_t>(c - 'a' + 10);
    else return false;
    v = v * 16 + d;
    if (v > max) return false;
  }
  *out = static_cast<uint32_t>(v);
  return true;
}

// A field or value name: letters, digits and underscores, short enough for a name buffer.
bool valid_name(std::string_view n) {
  if (n.empty() || n.size() >= KOVA_BITFIELD_NAME_LEN) return false;
  for (char c : n) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_';
    if (!ok) return false;
  }
  return true;
}

void copy_name(char *dst, std::string_view src) {
  size_t n = std::min(src.size(), KOVA_BITFIELD_NAME_LEN - 1);
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

const kova_reg_row_s *find_row(uint32_t address) {
  const kova_reg_row_s *end = kova_reg_rows + kova_reg_row_count;
  const kova_reg_row_s *it = std::lower_bound(
      kova_reg_rows, end, address,
      [](const kova_reg_row_s &row, uint32_t a) { return row.address < a; });
  return (it != end && it->address == address) ? it : nullptr;
}

// A segment that can be applied without shifting out of a byte or a 64-bit value.
bool segment_usable(const kova_multireg_seg_s &s) {
  return s.reg < KOVA_REG_COUNT && s.width >= 1 && s.width <= 8 && s.reg_low + s.width <= 8 &&
         s.value_low + s.width <= 64;
}

}  // namespace

const char *kova_reg_name(uint32_t address) {
  const kova_reg_row_s *row = find_row(address);
  return row ? row->name : nullptr;
}

int kova_reg_layout_class(int32_t device) {
  switch (device) {
    case kova_device_40110_e:
    case kova_device_40111_e:
      return kova_layout_class_a;
    case kova_device_40112_e:
    case kova_device_40113_e:
      return kova_layout_class_b;
    default:
      return kova_layout_class_c;
  }
}

const char *kova_reg_bitfields(uint32_t address, int32_t device) {
  const kova_reg_row_s *row = find_row(address);
  if (!row || !row->layout[0]) return nullptr;
  // A missing column repeats the one on its left.
  int k = kova_reg_layout_class(device);
  while (k > 0 && !row->layout[k]) --k;
  return row->layout[k];
}

const char *kova_bitfield_map(std::string_view name) {
  if (name.empty()) return nullptr;
  for (const char *text : kova_multireg_layouts)
    if (std::string_view(text).starts_with(name)) return text;
  return nullptr;
}

int kovaRegDefaultsGet(uint8_t *buffer) {
  if (!buffer) return -1;
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a)
    buffer[a] = static_cast<uint8_t>(kova_regs_defaults(a));
  return 0;
}

bool IsMultiBitField(std::string_view text) { return text.find('[') != std::string_view::npos; }

bool BitfieldComponentParse(std::string_view component, uint32_t *high, uint32_t *low,
                            uint32_t *width) {
  uint32_t h = 0, l = 0, w = 1;
  bool ok = false;
  std::string_view s = trim(component);
  size_t open = s.find('[');
  if (open == std::string_view::npos) {
    ok = s == "-" || valid_name(s);
  } else if (valid_name(s.substr(0, open)) && s.back() == ']') {
    std::string_view inner = s.substr(open + 1, s.size() - open - 2);
    size_t colon = inner.find(':');
    if (inner.find_first_of("[]") != std::string_view::npos) {
      ok = false;
    } else if (colon == std::string_view::npos) {
      ok = parse_dec(inner, 63, &h);
      l = h;
    } else {
      ok = parse_dec(inner.substr(0, colon), 63, &h) &&
           parse_dec(inner.substr(colon + 1), 63, &l) && h >= l && h - l < 8;
      if (ok) w = h - l + 1;
    }
  }
  if (!ok) h = l = 0, w = 1;
  if (high) *high = h;
  if (low) *low = l;
  if (width) *width = w;
  return ok;
}

bool BitfieldMappingParse(std::string_view segment, uint32_t *value_high, uint32_t *value_low,
                          uint32_t *reg, uint32_t *reg_high, uint32_t *reg_low,
                          uint32_t *width) {
  uint32_t f[5] = {0, 0, 0, 0, 0};
  bool ok = false;
  std::string_view s = trim(segment);
  if (s.size() >= 2 && s.front() == '[' && s.back() == ']') {
    std::string_view inner = s.substr(1, s.size() - 2);
    std::string_view part[5];
    size_t n = 0;
    bool split_ok = inner.find_first_of("[]") == std::string_view::npos;
    while (split_ok) {
      size_t colon = inner.find(':');
      if (n == 4) {
        // The last field takes the rest; a fifth colon makes a sixth field.
        split_ok = colon == std::string_view::npos;
        part[n++] = inner;
        break;
      }
      if (colon == std::string_view::npos) {
        split_ok = false;
        break;
      }
      part[n++] = inner.substr(0, colon);
      inner.remove_prefix(colon + 1);
    }
    ok = split_ok && n == 5 && parse_dec(part[0], 63, &f[0]) && parse_dec(part[1], 63, &f[1]) &&
         parse_hex(part[2], KOVA_REG_COUNT - 1, &f[2]) && parse_dec(part[3], 7, &f[3]) &&
         parse_dec(part[4], 7, &f[4]) && f[0] >= f[1] && f[3] >= f[4] &&
         f[0] - f[1] == f[3] - f[4];
  }
  if (!ok) std::fill(f, f + 5, 0u);
  if (value_high) *value_high = f[0];
  if (value_low) *value_low = f[1];
  if (reg) *reg = f[2];
  if (reg_high) *reg_high = f[3];
  if (reg_low) *reg_low = f[4];
  if (width) *width = ok ? f[3] - f[4] + 1 : 0;
  return ok;
}

bool kova_layout_parse(std::string_view layout, kova_bitfield_s fields[8], uint32_t *count) {
  uint32_t n = 0;
  uint32_t used = 0;  // register bits taken so far, from bit 7 down
  bool ok = fields != nullptr;
  std::string_view rest = layout;
  while (ok) {
    rest = trim(rest);
    if (rest.empty()) break;
    size_t end = 0;
    while (end < rest.size() && !is_blank(rest[end])) ++end;
    std::string_view comp = rest.substr(0, end);
    rest.remove_prefix(end);
    uint32_t h, l, w;
    if (n == 8 || !BitfieldComponentParse(comp, &h, &l, &w) || used + w > 8) {
      ok = false;
      break;
    }
    kova_bitfield_s &f = fields[n++];
    copy_name(f.name, comp.substr(0, comp.find('[')));
    f.high = h;
    f.low = l;
    f.width = w;
    f.reg_high = 7 - used;
    f.reg_low = 8 - used - w;
    used += w;
  }
  ok = ok && used == 8;
  if (count) *count = ok ? n : 0;
  return ok;
}

bool kova_multireg_parse(std::string_view layout, kova_multireg_s *out) {
  if (!out) return false;
  *out = kova_multireg_s{};
  size_t semi = layout.find(';');
  if (semi == std::string_view::npos) return false;
  std::string_view name = trim(layout.substr(0, semi));
  if (!valid_name(name)) return false;
  kova_multireg_s m{};
  copy_name(m.name, name);
  std::string_view rest = layout.substr(semi + 1);
  while (!trim(rest).empty()) {
    size_t close = rest.find(']');
    // A last piece without its closing bracket is malformed.
    if (close == std::string_view::npos || m.count == KOVA_MULTIREG_MAX_SEGMENTS) return false;
    kova_multireg_seg_s &s = m.seg[m.count];
    if (!BitfieldMappingParse(rest.substr(0, close + 1), &s.value_high, &s.value_low, &s.reg,
                              &s.reg_high, &s.reg_low, &s.width))
      return false;
    m.width += s.width;
    ++m.count;
    rest.remove_prefix(close + 1);
  }
  if (m.count == 0 || m.width > KOVA_MULTIREG_MAX_WIDTH) return false;
  *out = m;
  return true;
}

bool kova_multireg_find(std::string_view component, kova_multireg_s *out) {
  std::string_view s = trim(component);
  std::string_view name = trim(s.substr(0, s.find('[')));
  const char *text = kova_bitfield_map(name);
  if (!text) {
    if (out) *out = kova_multireg_s{};
    return false;
  }
  return kova_multireg_parse(text, out);
}

uint64_t kova_multireg_max(uint32_t width) {
  return width >= 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
}

uint64_t kova_multireg_read(const uint8_t *image, const kova_multireg_s *m) {
  if (!image || !m) return 0;
  uint64_t value = 0;
  for (uint32_t i = 0; i < m->count && i < KOVA_MULTIREG_MAX_SEGMENTS; ++i) {
    const kova_multireg_seg_s &s = m->seg[i];
    if (!segment_usable(s)) continue;
    uint64_t part = (image[s.reg] >> s.reg_low) & kova_multireg_max(s.width);
    value |= part << s.value_low;
  }
  return value;
}

uint8_t kova_multireg_merge(uint8_t old_byte, const kova_multireg_seg_s *seg, uint64_t value) {
  if (!seg || !segment_usable(*seg)) return old_byte;
  uint32_t mask = static_cast<uint32_t>(kova_multireg_max(seg->width));
  uint32_t bits = static_cast<uint32_t>((value >> seg->value_low) & mask) << seg->reg_low;
  return static_cast<uint8_t>(bits | (old_byte & ~(mask << seg->reg_low)));
}

void kova_multireg_write(uint8_t *image, const kova_multireg_s *m, uint64_t value) {
  if (!image || !m) return;
  for (uint32_t i = 0; i < m->count && i < KOVA_MULTIREG_MAX_SEGMENTS; ++i) {
    const kova_multireg_seg_s &s = m->seg[i];
    if (segment_usable(s)) image[s.reg] = kova_multireg_merge(image[s.reg], &s, value);
  }
}

uint64_t kova_multireg_get(const hal_api_s *hal, const kova_multireg_s *m) {
  if (!hal || !m) return 0;
  uint64_t value = 0;
  for (uint32_t i = 0; i < m->count && i < KOVA_MULTIREG_MAX_SEGMENTS; ++i) {
    const kova_multireg_seg_s &s = m->seg[i];
    if (!segment_usable(s)) continue;
    uint64_t part = (get_reg(hal, s.reg) >> s.reg_low) & kova_multireg_max(s.width);
    value |= part << s.value_low;
  }
  return value;
}

void kova_multireg_put(hal_api_s *hal, const kova_multireg_s *m, uint64_t value) {
  if (!hal || !m) return;
  for (uint32_t i = 0; i < m->count && i < KOVA_MULTIREG_MAX_SEGMENTS; ++i) {
    const kova_multireg_seg_s &s = m->seg[i];
    if (!segment_usable(s)) continue;
    uint8_t old_byte = static_cast<uint8_t>(get_reg(hal, s.reg));
    put_reg(hal, s.reg, kova_multireg_merge(old_byte, &s, value));
  }
}

int kova_multireg_caption(std::string_view name, uint32_t width, char *buffer, size_t size) {
  if (!buffer) size = 0;
  return std::snprintf(buffer, size, "%.*s (%u Bits)", static_cast<int>(name.size()),
                       name.data(), width);
}
