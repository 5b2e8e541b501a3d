// The state file of the emulated boards: per board its chip registers, chip EEPROM, DSP
// RAM and board EEPROM, as text (hexadecimal lines), so that successive programs talk to
// the same chip.
#pragma once
#include <cstddef>
#include <cstdint>

// One board's memories (arrays of the sizes in board/kxemu.h) and what it emulates.
struct kxemu_board_state_s {
  int32_t device;
  uint32_t revision;
  uint8_t *regs;
  uint8_t *chip_eeprom;
  uint32_t *dsp_ram;
  uint8_t *board_eeprom;
};

// Fills the boards from the file. A missing file is no error (nothing changes). A file
// that cannot be read, is not a state file, is damaged or holds a board of another device
// gives false and a text naming the file; the boards are then left unchanged. Boards the
// file holds beyond count are ignored.
bool kxemu_state_load(const char *path, kxemu_board_state_s *boards, uint32_t count, char *err, size_t len);
// Writes the file: to a temporary file beside it, then renamed over it.
bool kxemu_state_write(const char *path, const kxemu_board_state_s *boards, uint32_t count, char *err, size_t len);
