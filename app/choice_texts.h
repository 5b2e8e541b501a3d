// The texts of every choice list of the windows, in one place, and the helpers that fill a
// list from them. A list's position is what the window stores; each entry carries a value
// (its table position, or what the list says) so that filtered lists still store the right
// setting. Plain text and integers only: the windows copy a choice_list_s into their own
// list widget.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/device_settings.h"

// ---------------------------------------------------------------------------------------
// Text tables. The device, master-clock and XA-pin tables live with the product table.

extern const char *const (&__dev_DeviceModeStr)[4];  // by kova_mode_e
extern const char *const (&__dev_XaXbLabelStr)[4];   // master oscillator block title by kova_mode_e
extern const char *const __dev_InputClockStr[3];
extern const char *const __dev_OutputClockStr[3];
extern const char *const __dev_GpioStr[4];
extern const char *const __dev_ApllSourceStr[4];
extern const char *const __dev_DpllModeStr[3];
extern const char *const __dev_DpllPriorityStr[4];
extern const char *const __dev_DpllHoldoverModeStr[3];
extern const char *const __dev_DpllHitlessSwitchStr[3];
extern const char *const __dev_MonitorStateStr[4];
extern const char *const __dev_MonitorModeStr[3];
extern const char *const __dev_InputClockPpmMonModeStr[3];
extern const char *const __dev_OutputClockSignalFormatStr[8];
extern const char *const __dev_OutputClockDriveStrengthStr[4];
extern const char *const __dev_OutputClockStopModeStr[3];
extern const char *const __dev_GpioControlStr[8];
extern const char *const __dev_PhaseAdjustArmSourceStr[7];
extern const char *const __dev_PhaseAdjustTriggerSrcStr[8];
extern const char *const __dev_PhaseMeasureTimeBaseStr[4];
extern const char *const __dev_EEPROMSizeStr[3];
extern const char *const __dev_EEPROMPageStr[4];
extern const char *const __dev_EEPROMSCLKStr[4];
extern const char *const __dev_FormRefreshOptionsStr[6];

template <typename T, int N>
constexpr int choice_count(T (&)[N]) {
  return N;
}

// ---------------------------------------------------------------------------------------
// A list: entries of a text and a carried value, and the selected position (-1 none).

struct ComboBoxPair {
  std::string text;
  int32_t value;
};

struct choice_list_s {
  std::vector<ComboBoxPair> items;
  int32_t selected = -1;
};

// Empties the list and adds the first n entries of the table, each carrying its position.
int32_t ComboBoxUtil_LoadCharArray(choice_list_s *list, const char *const *table, int32_t n);
// Adds the first n entries after those present, each carrying its position in the list.
int32_t ComboBoxUtil_AppendCharArray(choice_list_s *list, const char *const *table, int32_t n);
// Empties the list and adds the entries i (0 to n-1) whose bit i is set in mask, each
// carrying i. A table of more than 20 entries shows "Array too long n" and gives 0;
// otherwise the number of entries added.
int32_t ComboBoxUtil_LoadCharArrayByMask(choice_list_s *list, const char *const *table, int32_t n, uint32_t mask);

// Selection by list position, by carried value or by text; false (selection unchanged)
// when no entry matches.
bool ComboBoxUtil_SelectByIndex(choice_list_s *list, int32_t index);
bool ComboBoxUtil_SelectByValue(choice_list_s *list, int32_t value);
bool ComboBoxUtil_SelectByText(choice_list_s *list, const std::string &text);
// The carried value of the selection; fallback when nothing is selected.
int32_t ComboBoxUtil_GetSelectedValue(const choice_list_s &list, int32_t fallback = -1);

// ---------------------------------------------------------------------------------------
// The lists the windows build from the tables.

// Device choice of the connection window: the product table's part numbers offered in
// customer mode (mask 0xAF) or super-user mode (0x1AF), carrying the product index. The
// device's own entry is selected, else the first.
constexpr uint32_t CHOICE_DEVICE_MASK_CUSTOMER = 0xAF, CHOICE_DEVICE_MASK_SUPER = 0x1AF;
choice_list_s choice_device_list(bool customer_mode, int32_t device);
// Emulation choice (super-user): "Use DUT" carrying -1, then the entries of mask 0x1AF.
choice_list_s choice_emulation_list();

// Device modes a product offers (its mode mask), carrying kova_mode_e; mode selected when
// offered, else the first.
choice_list_s choice_device_mode_list(int32_t product_index, int32_t mode);
// Master-clock entries allowed in a chip mode: 90 for synthesis, 66 for jitter attenuation,
// 82 for NCO and spread spectrum.
uint32_t choice_master_clock_mask(int32_t mode);
// The master-clock list of a chip mode, carrying the application's master-clock mode, with
// master_clock selected; *kept tells whether it was offered (else the first is selected).
choice_list_s choice_master_clock_list(int32_t mode, int32_t master_clock, bool *kept);

// "Internal" then IC1 to IC3 (DPLL feedback); GPIO0 to GPIO3 then "Disabled" (external
// switching); "None" then GPIO0 to GPIO3 (loss-of-signal source).
choice_list_s choice_dpll_feedback_list();
choice_list_s choice_dpll_ext_switch_list();
choice_list_s choice_los_source_list();

// Output stop source: "Stop Checkbox" stores 0 and shows the output's stop check box;
// GPIOk stores k + 8 and hides it.
choice_list_s choice_stop_source_list(uint32_t stop_source);
uint32_t choice_stop_source_value(int32_t position);
bool choice_stop_source_uses_checkbox(uint32_t stop_source);

// The input ppm monitor modes offered for an input frequency: all three from 1 MHz, only
// "Slow Invalidate" and "High Jitter Tolerance (slowest)" below. A stored mode not offered
// selects the first entry.
choice_list_s choice_ppm_monitor_list(double input_mhz, int32_t ppm_mode);

// The monitor state entries that switch the monitor off (the range, ppm mode and
// threshold controls are hidden for them).
bool choice_monitor_state_is_off(int32_t monitor_state);

// Output signal formats with a separate N output ("2 CMOS", "2 CMOS-Comp").
bool choice_signal_format_has_n(int32_t format);
// The frequency label of output `output` (0 to 2) for a signal format.
std::string choice_output_frequency_label(int output, int32_t format);
