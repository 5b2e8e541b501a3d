// Register write sequences: the ordered writes that take a chip from the written image
// (what it holds) to the register image (what the configuration asks for), with the chip's
// own procedures (APLL and output restarts, DCO calibration, output alignment, settling
// waits, grouped DPLL values).
#pragma once
#include <cstdint>

struct hal_api_s;

// One register write handed out by get_seq.
struct get_seq_s {
  uint32_t address;  // register address
  uint32_t value;    // byte to write
  uint32_t wait;     // 0, or 10 when the caller must wait before the next write
};

// get_seq_mode_es: what get_seq is asked to do.
enum : int32_t {
  get_seq_mark_written_e = 0,  // the chip now holds the register image (after init_api)
  get_seq_all_e = 1,           // hand out every register of the sequence order
  get_seq_changes_e = 2,       // hand out the registers that differ, with the procedures
  get_seq_chip_reset_e = 3,    // the chip now holds its reset defaults
};

// Wait a write may carry (in the unit of the configuration script's wait command).
constexpr uint32_t KOVA_SEQ_WAIT = 10;

// Hands out the next write of the sequence: 1 with the record filled, 0 when the sequence
// is finished (a new one then starts from the beginning) or the mode does its work at once
// (modes 0 and 3; other mode values only reset the sequencing state). The record is zeroed
// on every call; a missing record posts "ERROR: HAL object not initialized." and changes
// nothing.
uint32_t get_seq(hal_api_s *hal, int32_t mode, get_seq_s *record);

// The written image: what the chip is taken to hold (2048 bytes). False without an object.
bool seq_written_get(const hal_api_s *hal, uint8_t *bytes);
// Replaces the written image, for instance with the registers read from a chip or with what
// reached the chip before a write failed, and resets the sequencing state.
bool seq_written_set(hal_api_s *hal, const uint8_t *bytes);

// Indexes of the sequencing words in the HAL object's 24 sequencing and status words.
// Words from seq_words_used on are free; the status decode keeps its word there.
enum : int {
  seq_phase_w = 0,           // position in the sequence order (0 to 14, 14 = finished)
  seq_cursor_w = 1,          // register address of the next write
  seq_apll_restart_w = 2,    // APLL restart pending
  seq_out_restart_w = 3,     // output restart pending
  seq_align_pending_w = 4,   // output alignment pending
  seq_align_step_w = 5,      // alignment step (0 to 8)
  seq_dco_pending_w = 6,     // DCO calibration pending
  seq_dco_step_w = 7,        // DCO calibration step (0 to 13)
  seq_freq_group_w = 8,      // DFREQZ1..DFREQZ5 group pending
  seq_phoff_group_w = 9,     // DPHOFF1..DPHOFF4 group pending
  seq_dco_save_w = 10,       // 7 words: DCO1, AFBDIV1..AFBDIV5, PLLEN before the calibration
  seq_align_snap_w = 17,     // 6 words: oc1_align_nsx10_u16, oc1_align_en, oc2..., oc3...
  seq_words_used = 23,
  seq_status_w = 23,         // free for the status decode
};

// Phases of the sequence order (value of seq_phase_w).
enum : uint32_t {
  seq_phase_start = 0,    // 0x000, then the DCO calibration steps when pending
  seq_phase_master = 1,   // MCR1, MCR2
  seq_phase_test = 2,     // 0x600..0x632
  seq_phase_apll = 3,     // 0x100..0x12C
  seq_phase_control = 4,  // 0x00E..0x01F
  seq_phase_dpll = 5,     // 0x400..0x467 without DPLLCR1
  seq_phase_dpllcr1 = 6,  // 0x40B
  seq_phase_inputs = 7,   // 0x300..0x35C
  seq_phase_outputs = 8,  // 0x200..0x228
  seq_phase_pllen = 9,    // 0x00B
  seq_phase_ocen = 10,    // 0x00D
  seq_phase_align = 11,   // the alignment steps
  seq_phase_icen = 12,    // 0x00C
  seq_phase_check = 13,   // alignment pending again, or finished
  seq_phase_done = 14,
};
