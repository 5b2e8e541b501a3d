// The EEPROM window without its widgets: the choices it offers, which EEPROM the product
// boots from and the wording of its commands, and the EEPROM access a command works with.
#pragma once
#include <cstdint>
#include <string>

#include "app/eeprom_program.h"

// Choices of the window, in the order shown.
constexpr int32_t EEPROM_WINDOW_SIZES = 3;      // "2 kbyte" (default), "4 kbyte", "8 kbyte"
constexpr int32_t EEPROM_WINDOW_CLOCKS = 4;     // "1 MHz", "2 MHz", "5 MHz" (default), "10 MHz"
constexpr int32_t EEPROM_WINDOW_PAGES = 4;      // "16 bytes", "32 bytes" (default), "64 bytes", "256 bytes"
constexpr int32_t EEPROM_WINDOW_SCRIPTS = 4;    // input scripts, branches 0 to 3
constexpr int32_t EEPROM_WINDOW_SIZE_DEFAULT = 0;
constexpr int32_t EEPROM_WINDOW_CLOCK_DEFAULT = 2;
constexpr int32_t EEPROM_WINDOW_PAGE_DEFAULT = 1;

const char *eeprom_window_size_text(int32_t index);
int32_t eeprom_window_size_bytes(int32_t index);  // 2048, 4096, 8192; 2048 outside the range
const char *eeprom_window_clock_text(int32_t index);
uint32_t eeprom_window_clock_ns(int32_t index);   // 1000, 500, 200, 100 ns; 200 outside the range
const char *eeprom_window_page_text(int32_t index);
// The page-size choice whose size is the board I/O's current board EEPROM page size.
int32_t eeprom_window_page_index(uint32_t page_size);

// What the window offers for the product of the configuration (a product index, -1 when the
// device is unknown).
struct eeprom_window_target_s {
  bool board = false;             // the product boots from the board EEPROM
  bool reserve12 = true;          // the last 12 bytes are reserved by default
  std::string dump_text;          // "Dump DUT EEPROM to File" / "Dump Board EEPROM to File"
  std::string verify_text;        // "Verify DUT EEPROM against File" / "Verify Board EEPROM ..."
  bool chip_write = true;         // writing to the chip's EEPROM is offered
  bool board_write = false;       // writing to the board EEPROM is offered
  std::string part_number;        // "KX40112" ("" for an unknown product)
};
eeprom_window_target_s eeprom_window_target(int32_t product_index);

// Tooltip of every board command while no board is connected.
extern const char *const EEPROM_WINDOW_OFFLINE_TIP;
// Tooltip of the write command that the product does not boot from.
std::string eeprom_window_other_target_tip(const eeprom_window_target_s &t);

// The EEPROM access of a board command: the product's EEPROM (page size of the board
// EEPROM as chosen), the size choice and the reserve flag.
eeprom_io_s eeprom_window_io(kxKovaIo_HandleS *board, const eeprom_window_target_s &t, int32_t size_index,
                             bool reserve12);

// Text of the progress window while an operation runs: "Writing DUT EEPROM: 512 of 2036 bytes".
std::string eeprom_window_progress_text(const std::string &what, uint32_t done, uint32_t total);
