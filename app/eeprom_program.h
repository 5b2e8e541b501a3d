// Programming, dumping and verifying the boot EEPROM through the board I/O: the chip's own
// EEPROM (pages of 32 bytes) or, on the products that boot from it, the board EEPROM (the
// chosen page size). A whole EEPROM takes a while: every operation reports its progress
// (bytes done of total) and can be cancelled between pages. Questions to the user and the
// final message go back to the caller; nothing here opens a window.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "board/kxkovaio.h"
#include "files/hal_config_file.h"
#include "files/image_files.h"

// Which EEPROM an operation works on.
enum : int32_t {
  eeprom_target_chip_e = 0,   // the chip's own EEPROM
  eeprom_target_board_e = 1,  // the board EEPROM
};

struct eeprom_io_s {
  kxKovaIo_HandleS *board = nullptr;
  int32_t target = eeprom_target_chip_e;
  uint32_t page_size = 32;            // board EEPROM page size (16, 32, 64 or 256)
  int32_t ee_size = 2048;             // 2048, 4096 or 8192 bytes
  bool reserve12 = true;              // the last 12 bytes hold factory test data
  std::string part_number;            // the chip's part number, for dump headers ("KX40110")
  bool force = false;                 // write: program an image that is not sound (its checksum wrong)
};

// Bytes done of total; false cancels the operation before its next page.
using eeprom_progress_fn = std::function<bool(uint32_t done, uint32_t total)>;
// A yes/no question to the user; the answer.
using eeprom_ask_fn_t = std::function<bool(const std::string &text, const std::string &title)>;

// Outcome of an operation.
enum : int32_t {
  eeprom_done_e = 0,
  eeprom_failed_e = 1,      // a bad file, or the board refused a write
  eeprom_cancelled_e = 2,   // cancelled through the progress function
  eeprom_differs_e = 3,     // verify: the EEPROM holds other data
  eeprom_unreadable_e = 4,  // the EEPROM could not be read
  eeprom_declined_e = 5,    // the user answered no
};

struct eeprom_result_s {
  int32_t status = eeprom_failed_e;
  file_message_s msg;          // the message to show (empty when there is none)
  uint32_t bytes_done = 0;     // bytes written or read
  eeprom_compare_s compare;    // verify: the differences
};

// Products 0 and 2 boot from the board EEPROM, with nothing reserved; the others boot from
// the chip's own EEPROM whose last 12 bytes are reserved.
bool eeprom_product_uses_board(int32_t product_index);
bool eeprom_product_reserve(int32_t product_index);

// Writes n bytes from EEPROM address 0, page by page.
eeprom_result_s eeprom_write_bytes(const eeprom_io_s &io, const uint8_t *data, uint32_t n,
                                   const eeprom_progress_fn &progress);
// Reads n bytes from EEPROM address 0.
eeprom_result_s eeprom_read_bytes(const eeprom_io_s &io, uint8_t *data, uint32_t n, const eeprom_progress_fn &progress);

// The write command: reads the image file (with its checks and the reserved-area question),
// programs it, and reads the written bytes back to compare them, as a programmer does: a
// difference fails the write (eeprom_differs_e) naming the first differing address.
eeprom_result_s eeprom_program_file(const eeprom_io_s &io, const std::string &path, const eeprom_ask_fn_t &ask,
                                    const eeprom_progress_fn &progress);
// The dump command: reads the whole EEPROM and writes it to a file in the encoding of its
// name.
eeprom_result_s eeprom_dump_file(const eeprom_io_s &io, const std::string &path, const eeprom_progress_fn &progress);
// The verify command: compares the EEPROM with an image or dump file byte by byte. A
// difference names the first differing address, the expected and the found byte, and the
// number of differing bytes.
eeprom_result_s eeprom_verify_file(const eeprom_io_s &io, const std::string &path, const eeprom_progress_fn &progress);
