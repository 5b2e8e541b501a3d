#include "app/register_view_ops.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "app/run_control.h"
#include "regs/regmap_data.h"

const reg_view_page_s reg_view_pages[REG_VIEW_PAGE_COUNT] = {
    {"Global", 0x000, 9}, {"Status", 0x030, 16}, {"APLL", 0x100, 14}, {"Outputs", 0x200, 9},
    {"Inputs", 0x300, 17}, {"DPLL", 0x400, 16}, {"Test", 0x600, 16},
};

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool has_hex_prefix(std::string_view s) { return s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'); }

// The whole text as one number of the base, nothing before or after it.
bool parse_number(std::string_view s, int base, uint64_t *value) {
  if (s.empty()) return false;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), *value, base);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool board_connected(const reg_view_io_s &io) { return GuiUtil_EvalBoardConnected(io.gui, io.hal); }

// One register byte to the chip (direct) or into the image.
bool put_byte(const reg_view_io_s &io, uint32_t address, uint8_t value) {
  if (io.direct) return gui_write_reg_checked(io.gui, io.hal, address, 1, &value, false);
  put_reg(io.hal, address, value);
  return true;
}

// After edits of the image: the changes reach the chip through the write sequence. Offline
// the sequence is only logged, which is not a failure.
bool write_changes(const reg_view_io_s &io) {
  if (io.direct) return true;
  const bool connected = board_connected(io);
  const bool ok = HalUtil_WriteSequence(io.gui, io.hal, true);
  return ok || !connected;
}

std::string upper(std::string_view s) {
  std::string u(s);
  for (char &c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

}  // namespace

int reg_view_page_of(uint32_t address) {
  if (address >= KOVA_REG_COUNT) return -1;
  int page = 0;
  for (int i = 0; i < REG_VIEW_PAGE_COUNT; ++i)
    if (reg_view_pages[i].start <= address) page = i;
  return page;
}

std::vector<uint32_t> reg_view_page_registers(int page) {
  std::vector<uint32_t> out;
  if (page < 0 || page >= REG_VIEW_PAGE_COUNT) return out;
  const uint32_t end = page + 1 < REG_VIEW_PAGE_COUNT ? reg_view_pages[page + 1].start : KOVA_REG_COUNT;
  for (uint32_t a = reg_view_pages[page].start; a < end; ++a)
    if (kova_reg_name(a)) out.push_back(a);
  return out;
}

std::string reg_view_address_text(uint32_t address) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%02X", address);
  return b;
}

std::string reg_view_value_text(uint32_t value) {
  char b[8];
  std::snprintf(b, sizeof b, "%02X", value & 0xFF);
  return b;
}

std::string reg_view_panel_title(uint32_t address) {
  return std::string(kova_text(kova_reg_name(address))) + ", " + reg_view_address_text(address);
}

bool reg_view_parse_byte(std::string_view text, uint8_t *value) {
  std::string_view s = trim(text);
  if (has_hex_prefix(s)) s.remove_prefix(2);
  uint64_t v = 0;
  if (!parse_number(s, 16, &v) || v > 0xFF) return false;
  if (value) *value = static_cast<uint8_t>(v);
  return true;
}

bool reg_view_parse_field(std::string_view text, uint64_t max, uint64_t *value) {
  std::string_view s = trim(text);
  uint64_t v = 0;
  const bool ok = has_hex_prefix(s) ? parse_number(s.substr(2), 16, &v) : parse_number(s, 10, &v);
  if (!ok || v > max) return false;
  if (value) *value = v;
  return true;
}

uint8_t reg_view_bit_apply(uint8_t value, int box, bool one) {
  if (box < 0 || box > 7) return value;
  const uint8_t mask = static_cast<uint8_t>(1u << (7 - box));
  return one ? static_cast<uint8_t>(value | mask) : static_cast<uint8_t>(value & ~mask);
}

bool reg_view_is_delta(const hal_api_s *hal, uint32_t address) {
  return get_reg(hal, address) != kova_regs_defaults(address);
}

uint8_t reg_view_read(const reg_view_io_s &io, uint32_t address) {
  if (!io.direct) return static_cast<uint8_t>(get_reg(io.hal, address));
  uint8_t v = 0;
  __dev_GuiReadReg(io.gui, io.hal, address, 1, &v, false);
  return v;
}

void reg_view_read_all(const reg_view_io_s &io, uint8_t *values) {
  if (io.direct) {
    __dev_GuiReadReg(io.gui, io.hal, 0, KOVA_REG_COUNT, values, false);
    return;
  }
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) values[a] = static_cast<uint8_t>(get_reg(io.hal, a));
}

bool reg_view_write(const reg_view_io_s &io, uint32_t address, uint8_t value) {
  if (address >= KOVA_REG_COUNT) return false;
  return put_byte(io, address, value) && write_changes(io);
}

bool reg_view_write_bit(const reg_view_io_s &io, uint32_t address, int box, bool one) {
  return reg_view_write(io, address, reg_view_bit_apply(reg_view_read(io, address), box, one));
}

bool reg_view_field_find(uint32_t address, int32_t device, std::string_view component,
                         reg_view_field_s *field) {
  const std::string_view name = trim(component.substr(0, component.find('[')));
  kova_bitfield_s comps[8];
  uint32_t count = 0;
  if (name.empty() || name == "-" || !kova_layout_parse(kova_reg_bitfields(address, device), comps, &count))
    return false;
  const kova_bitfield_s *comp = nullptr;
  for (uint32_t i = 0; i < count && !comp; ++i)
    if (name == comps[i].name) comp = &comps[i];
  if (!comp) return false;
  reg_view_field_s f{};
  // The wide value this register holds a part of. The layouts of the three inputs and
  // outputs use the same field names ("DIV", "LSDIV"), so the name alone would pick the
  // first channel's value: the value must have a segment in these very register bits.
  bool found = false;
  for (const char *text : kova_multireg_layouts) {
    kova_multireg_s m{};
    if (found || !std::string_view(text).starts_with(name) || !kova_multireg_parse(text, &m)) continue;
    for (uint32_t s = 0; s < m.count; ++s)
      if (m.seg[s].reg == address && m.seg[s].reg_high <= comp->reg_high && m.seg[s].reg_low >= comp->reg_low)
        found = true;
    if (found) f.value = m;
  }
  if (!found) {
    if (comp->width < 2) return false;  // a one-bit field is its bit box
    std::snprintf(f.value.name, sizeof f.value.name, "%s", comp->name);
    f.value.count = 1;
    f.value.width = comp->width;
    f.value.seg[0] = {comp->width - 1, 0, address, comp->reg_high, comp->reg_low, comp->width};
  }
  char caption[64];
  kova_multireg_caption(f.value.name, f.value.width, caption, sizeof caption);
  f.caption = caption;
  if (field) *field = f;
  return true;
}

uint64_t reg_view_field_read(const reg_view_io_s &io, const kova_multireg_s &field) {
  std::vector<uint8_t> bytes(KOVA_REG_COUNT);
  for (uint32_t s = 0; s < field.count; ++s) bytes[field.seg[s].reg] = reg_view_read(io, field.seg[s].reg);
  return kova_multireg_read(bytes.data(), &field);
}

bool reg_view_field_write(const reg_view_io_s &io, const kova_multireg_s &field, uint64_t value) {
  // The registers as they are now (from the chip when direct, so that a direct write keeps
  // the chip's other bits), merged segment by segment; a register holding two segments
  // gets both.
  std::vector<uint8_t> bytes(KOVA_REG_COUNT);
  for (uint32_t s = 0; s < field.count; ++s) bytes[field.seg[s].reg] = reg_view_read(io, field.seg[s].reg);
  bool ok = true;
  for (uint32_t s = 0; s < field.count && ok; ++s) {
    const kova_multireg_seg_s &seg = field.seg[s];
    bytes[seg.reg] = kova_multireg_merge(bytes[seg.reg], &seg, value);
    ok = put_byte(io, seg.reg, bytes[seg.reg]);
  }
  return write_changes(io) && ok;
}

std::vector<reg_view_match_s> reg_view_filter(std::string_view text, int32_t device, size_t limit) {
  const std::string want = upper(trim(text));
  std::vector<std::pair<int, reg_view_match_s>> found;
  if (want.empty()) return {};
  auto consider = [&](std::string_view name, uint32_t address, std::string shown, std::string field) {
    const std::string n = upper(name);
    const size_t at = n.find(want);
    if (at == std::string::npos) return;
    const int rank = n == want ? 0 : at == 0 ? 1 : 2;
    found.push_back({rank, {address, std::move(shown), std::move(field)}});
  };
  for (size_t r = 0; r < kova_reg_row_count; ++r) {
    const uint32_t a = kova_reg_rows[r].address;
    const std::string reg = kova_reg_rows[r].name;
    consider(reg, a, reg, "");
    kova_bitfield_s comps[8];
    uint32_t count = 0;
    if (!kova_layout_parse(kova_reg_bitfields(a, device), comps, &count)) continue;
    for (uint32_t i = 0; i < count; ++i) {
      const std::string_view f = comps[i].name;
      bool seen = f == "-";
      for (uint32_t j = 0; j < i && !seen; ++j) seen = f == comps[j].name;
      if (!seen) consider(f, a, std::string(f) + " in " + reg, std::string(f));
    }
  }
  std::stable_sort(found.begin(), found.end(), [](const auto &x, const auto &y) { return x.first < y.first; });
  std::vector<reg_view_match_s> out;
  for (size_t i = 0; i < found.size() && out.size() < limit; ++i) out.push_back(std::move(found[i].second));
  return out;
}
