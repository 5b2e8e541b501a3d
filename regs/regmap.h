// The Kova chip's register map: register names, bit layouts, the values that span several
// registers, and the parsers of layout components and multi-register segments.
//
// Layout texts list a register's bitfields from bit 7 down to bit 0, separated by single
// blanks: "-" is an unused bit, NAME a one-bit field, NAME[h:l] bits h..l of a wider value,
// NAME[n] bit n of a wider value. Multi-register layouts read "NAME;[vh:vl:RRR:rh:rl]...":
// value bits vh..vl sit in bits rh..rl of register RRR (hexadecimal).
//
// The parsers also read texts from files a user edits: a malformed text is reported by a
// false result, never read beyond its end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

struct hal_api_s;

constexpr uint32_t KOVA_REG_LAST = 0x6FF;          // last address of the chip's register space
constexpr uint32_t KOVA_MULTIREG_MAX_SEGMENTS = 8;  // segments of one multi-register value
constexpr uint32_t KOVA_MULTIREG_MAX_WIDTH = 64;    // bits of a multi-register value
constexpr size_t KOVA_BITFIELD_NAME_LEN = 32;       // name buffer, terminator included

// Name of the register at the address, or null when the address holds no register.
const char *kova_reg_name(uint32_t address);

// Bit layout of the register at the address for the device (kova_device_e value, e.g.
// 40110), or null when the register has no layout or the address holds no register.
const char *kova_reg_bitfields(uint32_t address, int32_t device);

// Layout class of a device: 0 for KX40110/KX40111, 1 for KX40112/KX40113, 2 for the others.
int kova_reg_layout_class(int32_t device);

// First multi-register layout, in table order, whose text begins with the name (a prefix
// match: "DIV1" finds DIV1, "PP" finds PPLT1); null when none does or the name is empty.
const char *kova_bitfield_map(std::string_view name);

// Fills a 2048-byte buffer with the register reset defaults. 0, or -1 without a buffer.
int kovaRegDefaultsGet(uint8_t *buffer);

// True when a layout component or text names part of a wider value (contains "[").
bool IsMultiBitField(std::string_view text);

// Reads one layout component ("-", "NAME", "NAME[h:l]", "NAME[n]"; blanks around it do not
// count). Gives high and low bits of the value and the component's width in the register:
// 0, 0, 1 for a plain name. A malformed component (empty, missing bracket, a number that is
// not decimal or too large, h below l, more than 8 bits) gives 0, 0, 1 and false.
// Null output pointers are allowed.
bool BitfieldComponentParse(std::string_view component, uint32_t *high, uint32_t *low,
                            uint32_t *width);

// Reads one segment "[vh:vl:RRR:rh:rl]" of a multi-register layout, brackets included:
// decimal value bits, hexadecimal register address (blanks around fields allowed), decimal
// register bits; width = rh-rl+1. A malformed segment (missing bracket, field count, a
// field that is not a number, a register above 0x7FF, register bits above 7, value bits
// above 63, high below low, value and register ranges of different widths) gives zeros
// and false. Null output pointers are allowed.
bool BitfieldMappingParse(std::string_view segment, uint32_t *value_high, uint32_t *value_low,
                          uint32_t *reg, uint32_t *reg_high, uint32_t *reg_low,
                          uint32_t *width);

// One bitfield of a register layout, placed in the register.
struct kova_bitfield_s {
  char name[KOVA_BITFIELD_NAME_LEN];  // "-" for an unused bit
  uint32_t high;                      // bits of the field's value (0, 0 for a plain name)
  uint32_t low;
  uint32_t width;     // bits it occupies in the register
  uint32_t reg_high;  // register bits it occupies
  uint32_t reg_low;
};

// Splits a layout text into its components, the first at the top of the register. False
// when a component is malformed, there are more than 8, or the widths do not add up to 8.
bool kova_layout_parse(std::string_view layout, kova_bitfield_s fields[8], uint32_t *count);

// A parsed multi-register layout.
struct kova_multireg_seg_s {
  uint32_t value_high;
  uint32_t value_low;
  uint32_t reg;
  uint32_t reg_high;
  uint32_t reg_low;
  uint32_t width;
};

struct kova_multireg_s {
  char name[KOVA_BITFIELD_NAME_LEN];
  uint32_t count;  // segments, in the order of the text
  kova_multireg_seg_s seg[KOVA_MULTIREG_MAX_SEGMENTS];
  uint32_t width;  // sum of the segment widths
};

// Parses "NAME;[..][..]...". False on a missing ";", an empty or too long name, a malformed
// segment, no segment, more than 8 segments, or a total width above 64.
bool kova_multireg_parse(std::string_view layout, kova_multireg_s *out);

// Looks up the multi-register value of a layout component: its name up to "[" is matched with
// kova_bitfield_map and the layout parsed. False when no layout matches or it is malformed.
bool kova_multireg_find(std::string_view component, kova_multireg_s *out);

// The value gathered from a 2048-byte register image, segment by segment.
uint64_t kova_multireg_read(const uint8_t *image, const kova_multireg_s *m);

// The register byte after writing the segment's part of value into old_byte; the register
// bits outside the segment keep their values.
uint8_t kova_multireg_merge(uint8_t old_byte, const kova_multireg_seg_s *seg, uint64_t value);

// Writes the value into a 2048-byte register image, segment by segment.
void kova_multireg_write(uint8_t *image, const kova_multireg_s *m, uint64_t value);

// The same against the register image of a configuration (get_reg / put_reg).
uint64_t kova_multireg_get(const hal_api_s *hal, const kova_multireg_s *m);
void kova_multireg_put(hal_api_s *hal, const kova_multireg_s *m, uint64_t value);

// Largest value of a multi-register value of the given width (2^width - 1).
uint64_t kova_multireg_max(uint32_t width);

// The same for C texts; a null text counts as empty (kova_reg_bitfields returns null for
// registers without a layout).
inline std::string_view kova_text(const char *text) { return text ? std::string_view(text) : ""; }
inline const char *kova_bitfield_map(const char *name) { return kova_bitfield_map(kova_text(name)); }
inline bool IsMultiBitField(const char *text) { return IsMultiBitField(kova_text(text)); }
inline bool BitfieldComponentParse(const char *component, uint32_t *high, uint32_t *low,
                                   uint32_t *width) {
  return BitfieldComponentParse(kova_text(component), high, low, width);
}
inline bool BitfieldMappingParse(const char *segment, uint32_t *value_high, uint32_t *value_low,
                                 uint32_t *reg, uint32_t *reg_high, uint32_t *reg_low,
                                 uint32_t *width) {
  return BitfieldMappingParse(kova_text(segment), value_high, value_low, reg, reg_high, reg_low,
                              width);
}
inline bool kova_layout_parse(const char *layout, kova_bitfield_s fields[8], uint32_t *count) {
  return kova_layout_parse(kova_text(layout), fields, count);
}
inline bool kova_multireg_parse(const char *layout, kova_multireg_s *out) {
  return kova_multireg_parse(kova_text(layout), out);
}
inline bool kova_multireg_find(const char *component, kova_multireg_s *out) {
  return kova_multireg_find(kova_text(component), out);
}

// Editing caption of a multi-register value: name, " (", width, " Bits)". Returns the
// length snprintf would write; the text is cut to the buffer.
int kova_multireg_caption(std::string_view name, uint32_t width, char *buffer, size_t size);
