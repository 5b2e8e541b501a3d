// Decoding an EEPROM boot image: the preamble, the common code (the DSP code download) and
// each branch's register writes and waits, with the checksum checked. It shows what an
// image will do to a chip before it is programmed, and it is what a booting chip does with
// the image (an emulated chip replays eeprom_boot_steps).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/eeprom_image.h"

// Record kinds of the code sections.
enum : uint8_t {
  eeprom_op_write_e = 0,   // one byte to one register
  eeprom_op_burst_e = 1,   // bytes to consecutive registers
  eeprom_op_repeat_e = 2,  // bytes all to one register
  eeprom_op_wait_e = 3,    // a wait of at least 2^e system clock periods
};

struct eeprom_op_s {
  uint8_t kind = eeprom_op_write_e;
  uint32_t offset = 0;        // image offset of the record
  uint32_t address = 0;       // first register written
  std::vector<uint8_t> data;  // bytes written
  uint32_t wait_code = 0;     // e of a wait
};

struct eeprom_section_s {
  bool present = false;
  uint32_t offset = 0;
  uint32_t length = 0;  // bytes, the end marker included
  std::vector<eeprom_op_s> ops;
};

struct eeprom_decoded_s {
  uint32_t size_code = 0;    // 1 = 2 kbyte, 2 = 4 kbyte, 3 = 8 kbyte
  uint32_t clock_q = 0;      // SPI clock field (byte 1, bits 7 to 2)
  uint32_t length = 0;       // bytes before the checksum
  uint8_t checksum = 0;      // the checksum byte, when it lies inside the bytes given
  bool checksum_ok = false;  // all bytes up to the checksum add up to 0
  uint16_t branch_offset[KOVA_EEPROM_BRANCHES] = {};
  eeprom_section_s common;
  eeprom_section_s branch[KOVA_EEPROM_BRANCHES];
  std::vector<std::string> errors;  // what is wrong with the image, in order
};

// Decodes n bytes (an image, or a whole EEPROM holding one). Never reads beyond n. True
// when the image is sound: preamble, sections with their end markers inside the image
// length, known records, and the checksum.
bool eeprom_image_decode(const uint8_t *img, size_t n, eeprom_decoded_s *out);

// The DSP download carried by the common code: what DPLLCR1 (0x40B) and DALGWR (0x40E)
// writes put into DSP RAM. A download from DSP address 0 starts with the identifier.
struct eeprom_dsp_s {
  bool present = false;
  uint16_t start = 0;           // DSP RAM address
  uint16_t id = 0;              // DSP code identifier (download from address 0)
  std::vector<uint32_t> words;  // 24-bit words
  uint32_t extra_bytes = 0;     // bytes after the last whole word
};
eeprom_dsp_s eeprom_dsp_extract(const eeprom_section_s &common);

// One step of a chip booting from the image.
struct eeprom_boot_step_s {
  bool wait = false;
  uint32_t address = 0;  // register written
  uint8_t data = 0;
  uint32_t wait_code = 0;
};
// The steps of branch b: the common code's writes, then the branch's writes and waits
// (a burst's bytes to consecutive registers, a repeated write's bytes to its register).
std::vector<eeprom_boot_step_s> eeprom_boot_steps(const eeprom_decoded_s &d, int branch);

// Shortest wait, in ns, of a wait code: 2^e x 6.67 ns.
double eeprom_wait_ns(uint32_t wait_code);

// A listing for people: preamble, checksum, the common code with the DSP program, and each
// branch's writes (with register names) and waits.
std::string eeprom_decode_listing(const eeprom_decoded_s &d);
