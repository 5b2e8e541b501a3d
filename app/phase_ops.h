// The phase tools: the chip's phase meter between two chosen signals (MABCR1 to MABCR3,
// MABSR1, MABSR2) and the output phase adjustment (OCnPH with the arm and trigger logic of
// PACR1, PACR2). Every access goes to the chip when a board is connected and to the register
// image when not; a connected chip that does not answer a read is reported, never read as a
// value from the image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/app_log.h"
#include "hal/hal_api.h"

constexpr uint32_t PHASE_REG_PACR1 = 0x01B, PHASE_REG_PACR2 = 0x01C;
constexpr uint32_t PHASE_REG_MABCR1 = 0x01D, PHASE_REG_MABCR2 = 0x01E, PHASE_REG_MABCR3 = 0x01F;
constexpr uint32_t PHASE_REG_MABSR1 = 0x04B, PHASE_REG_MABSR2 = 0x04C;
constexpr int PHASE_METER_MAX_POLLS = 100;  // reads of MABSR1 waiting for BUSY to clear

// Register access of the phase tools over the board (or the image offline).
struct phase_io_s {
  __dev_GuiParamS *gui;
  hal_api_s *hal;
  // False when a connected chip did not answer (value left 0).
  bool read(uint32_t address, uint8_t *value) const;
  // Writes the chip (when connected) and, with to_image, the register image too; offline
  // the image is the chip. False when a connected chip did not take the byte.
  bool write(uint32_t address, uint8_t value, bool to_image = false) const;
  // Read-modify-write: (old AND keep) OR set.
  bool modify(uint32_t address, uint8_t keep, uint8_t set, bool to_image = false) const;
};

// ---------------------------------------------------------------------------------------
// Phase meter.

struct phase_signal_s {
  const char *text;
  uint8_t code;  // ASRC / BSRC
};
extern const phase_signal_s PHASE_METER_SIGNALS[10];
// The signal list position of a source code, or -1.
int phase_signal_index(uint8_t code);

struct phase_timebase_s {
  const char *text;
  uint8_t tbsrc;
  fprec_s freq;  // the clock whose period is the time base
};
// The time bases offered in the object's mode: all four in JA, else the three MSDIV ones.
std::vector<phase_timebase_s> phase_timebase_list(const hal_api_s *hal);
// Period in ns of a frequency (0 when it is not above 0) and its text "= 6.400 ns" or
// " (not running)".
double phase_period_ns(fprec_s freq);
std::string phase_period_text(double period_ns);

// Reset: MABSR1 bit 4 and MABCR1.RST set (read-modify-write).
bool phase_meter_reset(const phase_io_s &io);
// Source A (which 0) or B (1): code into bits 4..0 of MABCR2 / MABCR3; inversion in bit 7.
bool phase_meter_source_set(const phase_io_s &io, int which, uint8_t code);
bool phase_meter_invert_set(const phase_io_s &io, int which, bool inverted);
// Time base: TBSRC into bits 2..0 of MABCR1.
bool phase_meter_timebase_set(const phase_io_s &io, uint8_t tbsrc);

// A measurement count from MABSR1 bits 2..0 and MABSR2: a signed 11-bit number of periods.
int32_t phase_meter_count(uint8_t mabsr1, uint8_t mabsr2);

enum phase_meter_outcome_e { phase_meter_done_e, phase_meter_overflow_e, phase_meter_timeout_e, phase_meter_no_answer_e };
struct phase_meter_result_s {
  phase_meter_outcome_e outcome;
  int polls;        // reads of MABSR1 made while waiting for BUSY
  int32_t periods;  // the count, when done
  double ns;        // periods x the time-base period, when done
  std::string text;  // what the window shows: the ns with three decimals, "Overflow", "Timeout"
};
// Start: MABCR1.START set, then MABSR1 read until BUSY (bit 3) clears, at most 100 reads.
phase_meter_result_s phase_meter_start(const phase_io_s &io, double period_ns);

// ---------------------------------------------------------------------------------------
// Phase adjustment of output n (0 to 2).

// Enables or disables output n for adjustment (OCnCR1.PHEN, chip and image); every output's
// alignment is switched off in the object.
bool phase_adjust_enable(const phase_io_s &io, int n, bool enabled);
// Steps of an adjustment of d ns for MSDIV code c at f MHz (half an HSDIV period each),
// clamped to what the output divider allows.
int32_t phase_adjust_steps(double d_ns, uint32_t msdiv_code, double f_mhz);
// Applies an adjustment of d ns to output n: OCnPH (chip and image) = the steps. Returns
// the adjustment made in ns (0 when the HSDIV frequency is 0); *ok false when the chip did
// not answer.
double phase_adjust_set(const phase_io_s &io, int n, double d_ns, bool *ok);
// PACR2 = arm source x 16 + trigger source (arm sources 1 to 7, trigger sources 0 to 7); not
// written unless both are chosen (arm >= 1, trigger >= 0).
bool phase_adjust_sources_set(const phase_io_s &io, int32_t arm, int32_t trigger);
// The reset (0x80), arm (0x20) and trigger (0x40) commands into PACR1, with TINV and MODE.
constexpr uint8_t PHASE_CMD_RESET = 0x80, PHASE_CMD_ARM = 0x20, PHASE_CMD_TRIGGER = 0x40;
bool phase_adjust_command(const phase_io_s &io, uint8_t command, bool trigger_inverted, bool relative);
// Closing: PACR1, PACR2, OCnPH, OCnCR1, OCnCR3 copied from the chip into the image, and each
// output's alignment derived from them into the object.
bool phase_adjust_close(const phase_io_s &io);
