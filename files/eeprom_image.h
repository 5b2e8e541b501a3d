// The EEPROM boot image: what the chip loads at power-up from its own EEPROM (or the
// board's), built from one to four configuration scripts called branches 0 to 3.
//
// Layout: a 16-byte preamble (format, size code and SPI clock field, image length, branch
// offsets), one common code section with the DSP code download shared by every branch,
// one code section per branch with its register writes and waits, and a checksum byte that
// makes all bytes of the image add up to 0 modulo 256. Cells up to the usable size that the
// image does not use hold 0xFF (the erased state).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "arith/fprec.h"

constexpr int32_t KOVA_MFG_MAX_ENTRIES = 8192;  // commands of one parsed script
constexpr int32_t KOVA_EEPROM_MAX = 8192;       // largest EEPROM, and the image buffer
constexpr int32_t KOVA_EEPROM_BRANCHES = 4;
constexpr int32_t KOVA_EEPROM_RESERVED = 12;    // factory-test bytes at the end of the EEPROM
constexpr int32_t KOVA_EEPROM_PREAMBLE = 16;
constexpr double KOVA_EEPROM_SYSCLK_NS = 6.67;  // the chip's system clock period while it boots
constexpr uint32_t KOVA_EEPROM_MAX_ADDRESS = 0x3FFF;  // largest register address a record can carry

// Kinds of parsed script entries.
enum : uint16_t {
  kova_mfg_dsp_write_e = 1,  // register write inside the DSP code segment
  kova_mfg_write_e = 2,      // register write outside it
  kova_mfg_wait_e = 3,       // wait in microseconds
};

// DSP code status of a parsed script.
enum : int16_t {
  kova_dsp_differs_e = 0,  // its DSP code differs from the common code
  kova_dsp_matches_e = 1,  // its DSP code matches the common code
  kova_dsp_source_e = 2,   // the common code was built from it
};

struct kova_mfg_entry_s {
  uint16_t type;   // kova_mfg_*_e
  uint32_t value;  // register address, or wait in microseconds
  uint16_t data;   // byte written
};

// Frequencies of the script's comment lines, in this order.
enum { kova_mfg_xa_e, kova_mfg_ic1_e, kova_mfg_ic2_e, kova_mfg_ic3_e, kova_mfg_oc1_e, kova_mfg_oc2_e, kova_mfg_oc3_e,
       kova_mfg_freq_count };

// One parsed configuration script (about 100 kbyte: allocate it, do not put it on the stack).
struct kova_mfg_data_s {
  char file_name[100];
  int32_t device_type;
  int32_t device_rev;
  char gui_version[100];
  char hal_version[200];
  int32_t entry_count;
  int16_t present;       // 1 when the branch has an input file
  int16_t dsp_count;     // entries inside the DSP code segment
  int16_t other_count;   // entries outside it
  int16_t dsp_status;    // kova_dsp_*_e
  kova_mfg_entry_s entries[KOVA_MFG_MAX_ENTRIES];
  fprec_s freq[kova_mfg_freq_count];
  // The first command the image cannot carry (more than 8192 commands, a register address
  // above 0x3FFF, a negative wait, a malformed "X" or "W" command): its line and why.
  int32_t bad_line;      // 0 when there is none
  char bad_reason[96];
};

// The image and what it was built from.
struct kova_eeprom_data_s {
  int32_t ee_size;        // EEPROM size in bytes
  int32_t usable_size;    // the size, or the size minus the 12 reserved bytes
  int32_t reserve12;
  int32_t image_len;      // bytes of the image, checksum included (may exceed the buffer)
  double sysclk_ns;       // 6.67
  double spiclk_ns;       // SPI clock period
  int16_t common_len;     // common code bytes, the two closing 0xFF included (0: none)
  int16_t common_src;     // branch the common code was built from, -1 when none
  kova_mfg_data_s *mfg[KOVA_EEPROM_BRANCHES];  // the parsed scripts (null: no input)
  int16_t preamble_len;   // 16, or 18 when there is no common code
  int16_t branch_len[KOVA_EEPROM_BRANCHES];
  uint16_t image[KOVA_EEPROM_MAX];  // one byte value per cell
};

// Result flags of the parser and the builder (0 = success).
enum : int32_t {
  kova_ee_no_input0_e = 1,  // input 0 missing (2, 4, 8 for inputs 1 to 3)
  kova_ee_no_output_e = 16,
  kova_ee_dsp_differs_e = 32,
  kova_ee_no_dsp_e = 64,
  kova_ee_no_config_e = 128,
  kova_ee_too_long_e = 256,
  kova_ee_size_too_big_e = 512,
  kova_ee_gui_file_e = 1024,
  kova_ee_bad_input_e = 2048,
  kova_ee_bad_clock_e = 4096,
};
constexpr int32_t KOVA_EE_ALL_INPUTS_MISSING = 15;

// File types of image files.
enum : int32_t {
  kova_ee_file_bytes_e = 0,  // one byte per line
  kova_ee_file_hex_e = 1,    // Intel HEX
  kova_ee_file_srec_e = 2,   // S-record
};

// Clears the record (counts, entries, frequencies and texts).
void kova_mfg_clear(kova_mfg_data_s *mfg);
// Stores the script's name; a name too long for the record keeps its end, behind "...".
void kova_mfg_set_name(kova_mfg_data_s *mfg, const char *name);

// Reads one script into the record. Returns kova_ee_gui_file_e when a line contains
// "kova_hal_api_version" (a configuration text file is not a script), kova_ee_bad_input_e
// when a command cannot be put into an image (bad_line says which), 0 otherwise.
int32_t kova_mfg_parse(kova_mfg_data_s *mfg, FILE *fpi);
int32_t kova_mfg_parse_text(kova_mfg_data_s *mfg, const std::string &text);
// The same, listing every line the image cannot carry in *bad (not only the first).
struct kova_mfg_bad_line_s {
  int32_t line;        // 1-based
  std::string reason;
};
int32_t kova_mfg_parse_text(kova_mfg_data_s *mfg, const std::string &text, std::vector<kova_mfg_bad_line_s> *bad);

// Common code: the first branch with DSP entries builds it at offset (result 0) and becomes
// its source; a later branch's DSP code is compared with it (result 1 when different, and
// its status becomes kova_dsp_differs_e).
int32_t kova_mfgdata_to_commoncode(kova_eeprom_data_s *ee, int32_t branch, kova_mfg_data_s *mfg, int32_t offset);
// Writes a branch's code at offset; returns its length in bytes (0 for a branch without
// register writes or waits). Bytes beyond the image buffer are counted but not stored.
int32_t kova_mfgdata_to_branchcode(kova_eeprom_data_s *ee, int32_t branch, kova_mfg_data_s *mfg, int32_t offset);

// The two encoders on their own: the bytes of a section for a parsed script.
std::vector<uint8_t> kova_eeprom_common_code(const kova_mfg_data_s *mfg);
std::vector<uint8_t> kova_eeprom_branch_code(const kova_mfg_data_s *mfg);

// Wait byte exponent: the smallest e with 2^e system clock periods at least the wait
// (0 to 31; a wait of 0 gives 0).
uint32_t kova_eeprom_wait_code(uint32_t wait_us);
// SPI clock field of preamble byte 1: q = ceil(period / 6.67 ns / 4) shifted left by 2.
// False when the period gives no q from 1 to 63.
bool kova_eeprom_clock_field(uint32_t spiclk_ns, uint8_t *field);
// Size code of preamble byte 1: 3 for 8192 bytes, 2 for 4096, 1 for any other size.
uint8_t kova_eeprom_size_code(int32_t ee_size);

// Builds the image from the parsed scripts (null: no input for that branch). esclk is the
// SPI clock period in ns, eesize the EEPROM size, reserve12 keeps the last 12 bytes out.
// Returns the builder's flags (the parse results are the caller's).
int32_t kova_eeprom_build(kova_eeprom_data_s *ee, kova_mfg_data_s *const mfg[KOVA_EEPROM_BRANCHES], uint32_t esclk,
                          int32_t eesize, int32_t reserve12);

// Parses up to four open scripts, builds the image and writes it to fpo in the file type.
// fniN names input N (for the header). Returns the flags; the file is written whenever
// fpo is given, so that its statistics show what went wrong.
int32_t kova_mfg_to_eeprom(int32_t fileType, FILE *fpo, uint32_t esclk, int32_t eesize, int32_t reserve12,
                           const char *fni0, FILE *fpi0, const char *fni1, FILE *fpi1, const char *fni2, FILE *fpi2,
                           const char *fni3, FILE *fpi3);

// The EEPROM window's create command without its window: reads the inputs (empty names are
// missing inputs), builds the image and writes it to out_path (through a temporary file) in
// file_type, or by default in the type of the output name. An image with any error (a flag
// of kova_eeprom_flag_messages) is not written at all: false, and *text lists the errors and
// every line the image cannot carry as "FILE:LINE: reason". Returns true when the file was
// written; *result holds the flags and *text the message to show (title "Save EEPROM Image
// File", or "File Save Error!" when the output cannot be written, with the system's reason).
struct kova_eeprom_create_s {
  int32_t result;
  std::string text;
  std::string title;
  int32_t image_len;
  int32_t usable_size;
};
bool kova_eeprom_create_file(const std::vector<std::string> &inputs, const std::string &out_path, uint32_t esclk,
                             int32_t eesize, int32_t reserve12, kova_eeprom_create_s *out, int32_t file_type = -1);

// The message lines of the reported flags (all inputs missing, 16, 32, 128, 256, 512,
// 1024, and this tool's 2048 and 4096), in that order.
std::vector<std::string> kova_eeprom_flag_messages(int32_t result, int32_t usable_size);
