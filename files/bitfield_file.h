// Bitfield description files and the register-map source text made from them (register view,
// super-user). They serve the maintenance of the register name and bit layout tables and do
// not change the running configuration.
//
// File format: plain text, one register per line, in any order:
//
//     ADDRESS NAME [LAYOUT...]
//
//   ADDRESS  "0x" and one to three hexadecimal digits, 0x000 to 0x6FF
//   NAME     the register's name: 1 to 31 letters, digits or "_"
//   LAYOUT   the bitfields from bit 7 down to bit 0 as the register map writes them ("-",
//            NAME, NAME[h:l], NAME[n]), separated by blanks or tabs; their widths must add
//            up to 8. No layout at all: a named register without bitfields.
//
// "#" starts a comment that runs to the end of the line; blank and comment-only lines are
// skipped; a line may end in CR LF. Example:
//
//     # master control
//     0x009 MCR1 RST VCXO MCSEL1 MCSEL ROSCD DBL XAB[1:0]
//     0x120 DCO1
//
// An address or a name given twice is an error: each would become a second "case" of the
// same value in the generated source.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "files/hal_config_file.h"

// One register of a bitfield file.
struct bitfield_reg_s {
  uint32_t address = 0;
  std::string name;
  std::string layout;  // components joined by single blanks; empty when the register has none
};

// Reads the text of a bitfield file; file_name only names the file in *error. Returns the
// registers in address order, or false with *error = "FILE:LINE: reason" at the first
// malformed line (*regs is then empty).
bool bitfield_text_parse(const std::string &text, const std::string &file_name, std::vector<bitfield_reg_s> *regs,
                         std::string *error);

// Loads a bitfield file ("Bitfield Configuration Load"). On failure *msg holds the text to
// show and *detail says where (file and line) or why the file could not be read.
bool bitfield_file_load(const char *path, std::vector<bitfield_reg_s> *regs, file_message_s *msg,
                        std::string *detail);

// The text of a bitfield file, one line per register in address order.
std::string bitfield_file_text(const std::vector<bitfield_reg_s> &regs);

// The chip's own register map for a device (kova_device_e value): every named register with
// its layout for that device.
std::vector<bitfield_reg_s> bitfield_regs_from_map(int32_t device);

// Register-map source text ("Bitfield Configuration Save"), for every address 0x000 to
// 0x6FF in order:
//   - the address constants "constexpr uint32_t REG_NAME = 0xAAA;" of the named registers;
//   - the name switch: "    case REG_NAME: return \"NAME\";" per named register, else the
//     marker line "//Register Address 0xAAA Not Found";
//   - the layout switch: "    case REG_NAME: return \"LAYOUT\";" per register with a layout,
//     "//Register Address 0xAAA Bitfields undefined" for a named register without one, and
//     "//Register Address 0xAAA Not Found" for an address without a register.
std::string bitfield_source_text(const std::vector<bitfield_reg_s> &regs);

// Writes bitfield_source_text to path ("Bitfield Configuration Save"). *msg holds the text to
// show either way.
bool bitfield_source_save(const std::vector<bitfield_reg_s> &regs, const char *path, file_message_s *msg);
