// The register view without its widgets: the pages of named registers, the texts of a
// register's cells, typed register and field values, and the register, bit and field edits
// that go through the register image and the write sequence, or straight to the chip.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_log.h"
#include "hal/hal_api.h"
#include "regs/regmap.h"

// One page of the register view: the named registers from start up to the next page's start,
// shown in columns of rows registers each.
struct reg_view_page_s {
  const char *title;
  uint32_t start;
  uint32_t rows;
};
constexpr int REG_VIEW_PAGE_COUNT = 7;
extern const reg_view_page_s reg_view_pages[REG_VIEW_PAGE_COUNT];

// The page an address is shown on (the highest page start at or below it); -1 above 0x7FF.
int reg_view_page_of(uint32_t address);
// The named registers of a page in address order.
std::vector<uint32_t> reg_view_page_registers(int page);

// Cell texts: "0x" and the address with at least two upper-case digits; the value in two.
std::string reg_view_address_text(uint32_t address);
std::string reg_view_value_text(uint32_t value);
// Title of the bit panel: the register name, ", 0x" and the address.
std::string reg_view_panel_title(uint32_t address);

// A typed register value: a hexadecimal byte, "0x" allowed, blanks around it allowed.
// False (value untouched) for anything else, a value above 0xFF included.
bool reg_view_parse_byte(std::string_view text, uint8_t *value);
// A typed field value of at most max: decimal, or hexadecimal after "0x". False otherwise.
bool reg_view_parse_field(std::string_view text, uint64_t max, uint64_t *value);

// The byte after setting bit box `box` (0 on the left, register bit 7 - box) to one or zero.
uint8_t reg_view_bit_apply(uint8_t value, int box, bool one);

// True when the register image holds something else than the register's reset default.
bool reg_view_is_delta(const hal_api_s *hal, uint32_t address);

// Where reads and writes go: with direct, the chip itself (the image when no board is
// connected); otherwise the register image, and writes then run the changes-only write
// sequence so that they reach the chip the way a configuration change does.
struct reg_view_io_s {
  __dev_GuiParamS *gui;
  hal_api_s *hal;
  bool direct;
};

// The register's value as shown.
uint8_t reg_view_read(const reg_view_io_s &io, uint32_t address);
// All 2048 registers as shown (one read of the whole chip when direct), without storing the
// chip's values into the image.
void reg_view_read_all(const reg_view_io_s &io, uint8_t *values);
// Writes one register. False when a connected chip did not take the write.
bool reg_view_write(const reg_view_io_s &io, uint32_t address, uint8_t value);
// Sets or clears the register bit of bit box `box` in the register's current value and
// writes the result.
bool reg_view_write_bit(const reg_view_io_s &io, uint32_t address, int box, bool one);

// A field edited as one value, with the caption it is offered under ("NAME (W Bits)").
struct reg_view_field_s {
  kova_multireg_s value;  // its segments; an in-register field has one
  std::string caption;
};
// The field of a register's layout component (e.g. "LSDIV[7:0]" of 0x213): the value
// spanning several registers that has a segment in this register and whose name begins
// with the component's name, else the component's own bits in this register. False for an
// unused bit, a one-bit field of its own, or a component that is not in the register's layout.
bool reg_view_field_find(uint32_t address, int32_t device, std::string_view component,
                         reg_view_field_s *field);
// The field's value gathered from its registers (from the chip with direct).
uint64_t reg_view_field_read(const reg_view_io_s &io, const kova_multireg_s &field);
// Writes the value into the field's registers, keeping their other bits; without direct the
// image is then written to the chip by the changes-only write sequence. False when a
// connected chip did not take a write.
bool reg_view_field_write(const reg_view_io_s &io, const kova_multireg_s &field, uint64_t value);

// A register or a field found by the filter: its register and the text to list.
struct reg_view_match_s {
  uint32_t address;
  std::string text;   // "MCR2" for a register, "MCLK in MCR2" for a field
  std::string field;  // the field's name; empty for a register
};
// Registers and fields whose names contain the text (any case, blanks around it ignored):
// whole-name matches first, then names that begin with it, then the rest, each in address
// order; at most limit entries. Nothing for a blank text.
std::vector<reg_view_match_s> reg_view_filter(std::string_view text, int32_t device, size_t limit);
