// EEPROM image files: the byte list (one byte per line), Intel HEX and S-record encodings
// of an image with their comment block, the same encodings of an EEPROM dump, and the
// readers that programming and verification use.
//
// Every record written is well formed for other tools of a production flow: record types,
// byte counts, addresses and checksums as the formats define them. Comment lines start with
// ";". The readers check every record the same way and refuse a malformed file with the
// number of the line that is wrong.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "files/eeprom_image.h"
#include "files/hal_config_file.h"

// File type by name: ".hex" or ".HEX" Intel HEX, ".rec" or ".REC" S-record, anything else
// a byte list.
int32_t eeprom_file_type_from_name(const std::string &name);

// Comment block before the records of an image file, and the one after them.
void kova_eeprom_header(FILE *fpo, const kova_eeprom_data_s *ee);
void kova_eeprom_footer(FILE *fpo);
// Writes the header, the records of the image (positions up to the larger of the usable
// size and the image length; those at or beyond the usable size as comment lines) and the
// footer. Returns 0.
int32_t kova_eedata2eeprom_wr(int32_t fileType, FILE *fpo, const kova_eeprom_data_s *ee);

// Dump text of a byte buffer: Intel HEX records of bytesPerLine bytes between an extended
// linear address record and the end record, or S1 records with an S5 count and the S9 end.
// With reserve12 the last 12 bytes are left out of the records and listed after a note as
// comment lines. Lines are separated by a line feed. Always true.
bool ConvertToHEX(uint32_t baseAddr, const uint8_t *data, uint32_t numBytes, uint32_t bytesPerLine,
                  std::string *HEXData, bool reserve12);
bool ConvertToSRec(uint32_t baseAddr, const uint8_t *data, uint32_t numBytes, uint32_t bytesPerLine,
                   std::string *SRecData, bool reserve12);

// Trims the text, removes every "X" and "x" and reads the rest as a hexadecimal number of at
// most 32 bits; false when it is not one.
bool HexStringToUint32(const std::string &text, uint32_t *value);

// The data of an image or dump file, read strictly.
struct eeprom_file_data_s {
  std::vector<uint8_t> bytes;      // in address order from 0
  std::vector<int32_t> byte_line;  // file line (1-based) of each byte
  int32_t data_lines = 0;          // data records (lines) read
  bool has_stats = false;          // a ";  - Total Bytes Needed : N / U" line was found
  int32_t needed = 0;              // N: bytes the image needs, checksum included
  int32_t usable = 0;              // U: the usable size it was built for
  int32_t error_line = 0;          // 0 when the file is well formed
  std::string error;               // what is wrong on that line
};
// Reads the records of a file's text by its type. Records must be well formed and follow
// each other in address order from 0 without gaps; Intel HEX and S-record files must end
// with their end record. False with error_line and error set at the first fault.
bool eeprom_file_parse(const std::string &text, int32_t fileType, eeprom_file_data_s *out);

// Reads a whole text file (file_read_text: a regular file of bounded size and line length).
// False when it does not exist or cannot be read; *error says why ("PATH: reason").
bool eeprom_file_load(const std::string &path, std::string *text, bool *missing, std::string *error = nullptr);
// The message of a failed load: "Could not find PATH" or "Could not read from PATH: reason".
std::string eeprom_file_load_failure(const std::string &path, bool missing, const std::string &error);

// Questions to the user go through the caller: the answer to a yes/no question.
typedef bool (*eeprom_ask_fn)(void *ctx, const std::string &text, const std::string &title);

enum : int32_t {
  eeprom_read_ok_e = 0,
  eeprom_read_refused_e = 1,   // the file cannot be programmed; msg says why
  eeprom_read_declined_e = 2,  // the user answered no
};
struct eeprom_image_read_s {
  int32_t status = eeprom_read_refused_e;
  std::vector<uint8_t> bytes;  // what to write from EEPROM address 0
  file_message_s msg;
};
// Reads an image file for programming an EEPROM of ee_size bytes: the byte count must be
// what the file's statistics line expects (the usable size it was built for, or the bytes
// needed when the image did not fit); with reserve12 a file reaching into the last 12 bytes
// is accepted only when everything from there on is erased (0xFF) and the user agrees to
// program the part before it; nothing beyond ee_size is written.
// The data must also be a sound boot image (eeprom_image_decode: its checksum right): an
// image changed after it was built is refused unless force is set.
void eeprom_image_read_for_write(const std::string &path, int32_t ee_size, bool reserve12, eeprom_ask_fn ask,
                                 void *ctx, eeprom_image_read_s *out, bool force = false);
// The same on a file's text (name only for the messages).
void eeprom_image_check_for_write(const std::string &name, const std::string &text, int32_t fileType,
                                  int32_t ee_size, bool reserve12, eeprom_ask_fn ask, void *ctx,
                                  eeprom_image_read_s *out, bool force = false);

// Reads an image or dump file for verification against an EEPROM of ee_size bytes: its data
// fills the usable size, the size its statistics line says it was built for, or the whole
// EEPROM (a dump), so that a file the write command accepts verifies too; with reserve12,
// bytes in the reserved range must be erased (0xFF) and are dropped from *data, since the
// write leaves them alone. False with *msg set otherwise.
bool eeprom_image_read_for_verify(const std::string &path, int32_t ee_size, bool reserve12, eeprom_file_data_s *data,
                                  file_message_s *msg);
bool eeprom_image_check_for_verify(const std::string &name, const std::string &text, int32_t fileType,
                                   int32_t ee_size, bool reserve12, eeprom_file_data_s *data, file_message_s *msg);

// Byte-wise comparison of what an EEPROM should hold and what it holds.
struct eeprom_compare_s {
  uint32_t differ_count = 0;
  uint32_t first_addr = 0;  // first differing address (when differ_count > 0)
  uint8_t expected = 0;
  uint8_t found = 0;
};
eeprom_compare_s eeprom_compare(const uint8_t *expected, const uint8_t *found, uint32_t n);

// Text of an EEPROM dump file: the comment block (format, date, source, size) and the data.
// part_number names the chip whose own EEPROM was read; null for the board EEPROM.
std::string eeprom_dump_text(int32_t fileType, const uint8_t *data, uint32_t size, bool reserve12,
                             const char *part_number, const std::string &date);
// Writes a dump file (through a temporary file). *msg holds the message to show.
bool eeprom_dump_file_write(const std::string &path, const uint8_t *data, uint32_t size, bool reserve12,
                            const char *part_number, file_message_s *msg);
