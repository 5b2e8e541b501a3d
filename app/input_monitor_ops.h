// The input monitor windows without their widgets: the validation timer choices of an
// input, its status indicators, the lock-timeout clear command, the windows' own refresh
// rates, the linked threshold rules of the input configuration window and the bounded
// history of frequency and phase offsets that the status window charts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "app/app_log.h"
#include "app/choice_texts.h"
#include "hal/hal_api.h"

// ---------------------------------------------------------------------------------------
// Validation timer

// The multipliers of the base period offered for a monitor range (0 off, 1 fine, 2 coarse)
// and ppm monitor mode: none when the monitor is off.
std::vector<int32_t> input_valwait_multipliers(int32_t range, int32_t ppm_mode);

// The wait of k base periods at a measurement rate in Hz, in whole milliseconds
// (floor(k x 1000 / rate)); 0 when the rate is not above 0. Both the list's texts and the
// stored wait come from here, so a chosen entry always finds itself again. Saturates at the
// largest 32-bit value.
int32_t input_valwait_ms(double rate_hz, int32_t k);

// The list: one entry per multiplier, its text the wait in ms and its carried value k; a
// disabled list (range 0) holds the single entry "0". The entry whose text is the current
// wait is selected; none (-1) when no entry matches: the window then shows "Select Value".
choice_list_s input_valwait_list(double rate_hz, int32_t range, int32_t ppm_mode, int32_t wait_ms);
constexpr const char *INPUT_VALWAIT_NO_MATCH = "Select Value";

// When the list must be rebuilt: it was never built, or the rate or the set of multipliers
// changed since it was last built.
struct input_valwait_memo_s {
  bool built = false;
  double rate_hz = -1.0;
  std::vector<int32_t> multipliers;
};
bool input_valwait_needs_rebuild(input_valwait_memo_s *memo, double rate_hz, int32_t range, int32_t ppm_mode);

// ---------------------------------------------------------------------------------------
// Status of one input (0 to 2) from the register image: VALSR1, VALSR2 and the input's
// status register. true is the good state (shown green), false the bad one (orange).

struct input_status_s {
  bool lock_timeout_good;    // "LKTO": bit 6 clear
  bool loss_of_signal_good;  // "LOS": bit 5 clear
  bool monitor_good;         // "SCVAL": bits 4, 3 and 2 set
  bool val_good;             // "VAL": bit 1 set
  bool valt_good;            // "VALT": bit 0 set
  bool valid;                // "VALID" / "INVALID" from VALSR2:VALSR1 bit 4n
};
input_status_s input_monitor_status(const hal_api_s *hal, int input);

// "Clear Lock Timeout": writes 0x80 to the input's status register (0x050 + input) on the
// chip. Offline nothing is written and the result is true; false when the chip did not
// take the byte.
constexpr uint32_t INPUT_STATUS_REG_IC1 = 0x050;
constexpr uint8_t INPUT_LOCK_TIMEOUT_CLEAR = 0x80;
bool input_monitor_clear_lock_timeout(__dev_GuiParamS *gui, hal_api_s *hal, int input);

// The status windows' refresh choice (position in __dev_FormRefreshOptionsStr): the
// period of the window's own timer (0: none), whether the "Refresh" button is enabled and
// whether the window follows the main window's status refresh.
int32_t input_monitor_refresh_period_ms(int32_t choice);
inline bool input_monitor_refresh_manual(int32_t choice) { return choice == 1; }
inline bool input_monitor_refresh_follows_main(int32_t choice) { return choice == 0; }

// ---------------------------------------------------------------------------------------
// Input configuration: the monitor controls of one input record and their linked rules.
// The rules only edit the record; the window then copies it into the object.

struct input_config_layout_s {
  bool range_shown, ppm_shown, accept_shown, hysteresis_shown, reject_shown;
  std::string accept_label;
  int32_t accept_min, accept_max, accept_step;
  int32_t accept_value;  // in the field's unit (percent in the coarse range, else ppm)
  int32_t reject_value;  // ppm
};
constexpr int32_t INPUT_FINE_MAX_PPM = 500, INPUT_FINE_STEP_PPM = 5;
constexpr int32_t INPUT_COARSE_MIN_PCT = 1, INPUT_COARSE_MAX_PCT = 20, INPUT_PPM_PER_PCT = 10000;

input_config_layout_s input_config_layout(const __dev_InputClockConfigS &r);

// The monitor ranges the product offers (its monitor mask), carrying the range; the
// record's range is selected, else the first.
choice_list_s input_config_range_list(__dev_DeviceIdE product, int32_t range);

// Monitor state (a position of __dev_MonitorStateStr). Switching the monitor on runs the
// range rule again.
void input_config_choose_state(__dev_InputClockConfigS *r, int32_t state);
// Monitor range: off clears both thresholds; fine keeps a threshold of at most 500 ppm and
// applies the hysteresis rule; coarse keeps a threshold of 1 % to 20 % and clears the
// reject threshold. A threshold outside the range's field is brought into it, so that what
// the field shows is what the chip is given.
void input_config_choose_range(__dev_InputClockConfigS *r, int32_t range);
// Hysteresis box (fine range): checked switches hysteresis off and clears the reject
// threshold.
void input_config_set_hysteresis_off(__dev_InputClockConfigS *r, bool off);
// Accept threshold typed in the field's unit: a shown, non-zero reject threshold below it
// is raised to it.
void input_config_set_accept(__dev_InputClockConfigS *r, int32_t value);
// Reject threshold in ppm: when shown and non-zero, an accept threshold above it is
// lowered to it.
void input_config_set_reject(__dev_InputClockConfigS *r, int32_t value);

// ---------------------------------------------------------------------------------------
// Offset history for the live chart: at each status refresh the DPLL's frequency offset
// (credited to the input the DPLL tracks, the only one it measures) and its phase offset.

struct input_offset_sample_s {
  double t_s;         // seconds since the history started
  int32_t tracked;    // input the DPLL tracks (0 to 2), -1 when it tracks none
  double freq_ppm;    // output_freq_offset_ppm_r
  double phase_ns;    // input_phase_offset_ns_r
};

// Samples of the last span_s seconds, never more than capacity of them (a few minutes at
// the fastest refresh of 500 ms), so the history does not grow however often the status
// is refreshed.
constexpr size_t INPUT_HISTORY_CAPACITY = 720;
constexpr double INPUT_HISTORY_SPAN_S = 300.0;
struct input_offset_history_s {
  size_t capacity = INPUT_HISTORY_CAPACITY;
  double span_s = INPUT_HISTORY_SPAN_S;
  std::deque<input_offset_sample_s> samples;
};
void input_history_add(input_offset_history_s *h, const input_offset_sample_s &s);

// The sample of the status just fetched into the object, at time t_s. False (nothing to
// record) outside jitter attenuation, where the chip has no DPLL status.
bool input_history_sample(const hal_api_s *hal, double t_s, input_offset_sample_s *s);

// The chart's lines: for series 0 to 2 the frequency offset of IC1 to IC3 while the DPLL
// tracked it, for series 3 the phase offset. A line breaks where a sample does not belong
// to it or its value is not a finite number, so that no line bridges a gap.
constexpr int INPUT_HISTORY_PHASE_SERIES = 3;
using input_history_run = std::vector<std::pair<double, double>>;
std::vector<input_history_run> input_history_runs(const input_offset_history_s &h, int series);
// The value range of the given series' points, widened by a tenth on each side; -1 to 1
// when there are none or all are equal to 0.
std::pair<double, double> input_history_value_range(const input_offset_history_s &h, const std::vector<int> &series);
