// The emulated evaluation board: an in-process driver backend whose boards behave like a
// real one on the USB. Each board has two FT2232H channels that interpret the MPSSE
// commands sent to them; channel A's SPI bus goes, by the routing pin (ADBUS4), to an
// emulated Kova chip or to an emulated board EEPROM; ADBUS7 is the chip's reset line; the
// high pin bytes of both channels are the board's GPIO.
//
// The chip answers its SPI port (0x06 write enable, 0x05 status, 0x03 read, 0x02 write,
// 16-bit addresses). EESEL (register 0x000, in both address spaces) selects the 2048-byte
// register file or the chip's own EEPROM. The register file holds the reset defaults and
// the identity of the emulated device (ID1, ID2, read-only). Writes need a write enable;
// addresses count up after each byte unless MCR2.AINCDIS (0x00A bit 4) is set. The DSP RAM
// is reached through DPLLCR1 (0x40B: 0x0C address, 0x0D write, 0x0F read) and the ports
// DALGWR (0x40E) and DALGRD (0x40F), which then keep their address; a write from DSP
// address 0 starts with the program's identifier, which lands in DSPID1/DSPID2. EEPROM
// page writes wrap inside their page and keep the write-in-progress bit set for
// kxemu_write_cycle_us of emulated time after the chip select rises.
//
// Time is emulated: every USB transfer advances a clock by a fixed USB turnaround plus
// the SPI clocking of its bytes, and the wait of the board I/O advances it too; nothing
// really sleeps.
#pragma once
#include <cstddef>
#include <cstdint>

#include "board/ft_driver.h"

constexpr uint32_t KXEMU_MAX_BOARDS = 8;
constexpr uint32_t KXEMU_CHIP_REGS = 2048;
constexpr uint32_t KXEMU_CHIP_EEPROM_SIZE = 8192;
constexpr uint32_t KXEMU_CHIP_EEPROM_PAGE = 32;
constexpr uint32_t KXEMU_DSP_RAM_WORDS = 1024;
constexpr uint32_t KXEMU_BOARD_EEPROM_SIZE = 65536;
constexpr uint32_t KXEMU_BOARD_EEPROM_PAGE = 256;
constexpr uint64_t kxemu_write_cycle_us = 5000;  // EEPROM page write time
constexpr uint64_t kxemu_usb_turnaround_us = 125;  // one USB transfer (a high-speed microframe)

// ---------------------------------------------------------------------------------------
// Faults on demand. Counters count FT_Write and FT_Read calls on either channel of the
// board from the moment the faults are set; -1 switches a fault off. Setting the faults
// again re-arms them.
struct kxemu_faults_s {
  int32_t unplug_after = -1;        // transfers that pass; the next one finds the board unplugged
  int32_t short_write_after = -1;   // FT_Write calls that pass; the next one is cut short
  uint32_t short_write_keep = 0;    // bytes the short write accepts (and the bridge receives)
  int32_t read_timeout_after = -1;  // FT_Read calls that pass; then reads time out
  uint32_t read_timeouts = 1;       // reads that time out (0: every read from then on)
  bool bad_sync_answer = false;     // an invalid command is answered 0xFA 0x00
  bool chip_eeprom_stuck_busy = false;   // the chip's write-in-progress bit never clears
  bool board_eeprom_stuck_busy = false;  // the board EEPROM's never clears
};

// What the emulator is asked to emulate.
struct kxemu_config_s {
  uint32_t boards;
  int32_t device[KXEMU_MAX_BOARDS];    // kova_device_e of each board's chip
  uint32_t revision[KXEMU_MAX_BOARDS];
  char state_path[1024];               // empty: the state is not kept between runs
  bool faults_on;                      // arm faults on every board at install
  kxemu_faults_s faults;
};

// Reads the faults a user arms from outside (KOVA_EMULATED_BOARD_FAULT), a comma-separated
// list: "unplug@N" (N transfers pass, the next finds the board unplugged), "short-write@N"
// (N writes pass, the next is cut to nothing), "read-timeout@N" (N reads pass, every later
// read times out), "eeprom-busy" (both EEPROMs stay busy). False with a text naming the bad
// item.
bool kxemu_faults_parse(const char *text, kxemu_faults_s *faults, char *err, size_t len);

// Reads a device list such as "40000", "KX40089:0" or "40000,40112" (device, optionally
// ":" and the revision 0 or 1; revision 1 when none is given). False with a text naming
// the bad item.
bool kxemu_config_parse(const char *devices, kxemu_config_s *cfg, char *err, size_t len);
// Creates the boards, loads their state from cfg->state_path when that file exists, and
// makes the emulator the driver in use. With a state file the boards are claimed for this
// process until kxemu_remove (a lock beside the file, "<state file>.lock"): while another
// process holds them the install fails with "board busy". False with a text (busy, an
// unreadable or corrupt state file, naming it); nothing is installed then (an emulator
// installed before is removed first).
bool kxemu_install(const kxemu_config_s *cfg, char *err, size_t len);
// kxemu_install from KOVA_EMULATED_BOARD, KOVA_EMULATED_BOARD_STATE and
// KOVA_EMULATED_BOARD_FAULT.
bool kxemu_install_from_env(char *err, size_t len);
// Saves the state (when a state file is set), drops the boards, releases them to other
// processes and leaves the choice of driver to the environment again. False with the text
// of the first failed save since the install (a full disk): what was written to the boards
// was then not kept.
bool kxemu_remove(char *err = nullptr, size_t len = 0);
bool kxemu_active();
const ft_backend_s *kxemu_backend();
// Saves every board's chip registers, chip EEPROM, DSP RAM and board EEPROM to the state
// file (written to a temporary file and renamed). Also done whenever a channel closes. False
// with the system's reason when the file cannot be written to the end.
bool kxemu_state_save(char *err, size_t len);

// Boards are listed like FT2232H boards: channel A then B of each board, serial "EMU",
// the board number in four digits and the channel letter ("EMU0000A"), description
// "Kova Emulated Board A" or "... B", location 0x1001 + 16 x board for A and one more for B.
uint32_t kxemu_board_count();

void kxemu_faults_set(uint32_t board, const kxemu_faults_s *faults);

// Pulls the USB plug: the board leaves the list and every call on its handles fails with
// FT_IO_ERROR (closing them still works). Plugging in again lists it again; it must be
// reopened; the chip keeps its state.
void kxemu_unplug(uint32_t board);
void kxemu_replug(uint32_t board);
bool kxemu_plugged(uint32_t board);

// The board's memories, for inspection and set-up by tests (null for a bad board).
uint8_t *kxemu_chip_regs(uint32_t board);
uint8_t *kxemu_chip_eeprom(uint32_t board);
uint32_t *kxemu_dsp_ram(uint32_t board);
uint8_t *kxemu_board_eeprom(uint32_t board);
// Restores the chip as after its reset pin: register defaults and identity, DSP RAM clear.
void kxemu_chip_reset(uint32_t board);

// Pin levels of a channel (0 = A, 1 = B). Input pins read the external levels, which
// start high (the bridge's pull-ups).
struct kxemu_pins_s {
  bool mpsse;  // the channel is in MPSSE mode
  uint8_t lo_data, lo_dir, hi_data, hi_dir;
  uint8_t lo_ext, hi_ext;
  uint32_t divisor;  // last clock divisor (0x86)
  bool div5;         // 12 MHz master clock instead of 60 MHz
  uint32_t read_timeout_ms;
  uint8_t latency_ms;
};
bool kxemu_pins(uint32_t board, uint32_t channel, kxemu_pins_s *pins);
void kxemu_gpio_inputs_set(uint32_t board, uint32_t channel, uint8_t hi_levels);

// Every FT_Write the bridge received, in order, per channel (only the bytes accepted).
void kxemu_wire_log_enable(bool on);
uint32_t kxemu_wire_count(uint32_t board, uint32_t channel);
bool kxemu_wire_get(uint32_t board, uint32_t channel, uint32_t index, const uint8_t **bytes, uint32_t *n);
void kxemu_wire_clear(uint32_t board);

// Counters of a board since the last clear.
struct kxemu_stats_s {
  uint64_t writes;     // FT_Write calls
  uint64_t reads;      // FT_Read calls
  uint64_t bytes_out;  // bytes written
  uint64_t bytes_in;   // bytes read
  uint64_t spi_bytes;  // bytes clocked on channel A's SPI bus
  uint64_t spi_frames;  // chip-select low periods on channel A
};
kxemu_stats_s kxemu_stats(uint32_t board);
void kxemu_stats_clear(uint32_t board);

// The emulated clock in microseconds.
uint64_t kxemu_clock_us();
