#include "app/choice_texts.h"

#include "app/user_dialog.h"

const char *const (&__dev_DeviceModeStr)[4] = __dev_ChipModeStr;
const char *const (&__dev_XaXbLabelStr)[4] = __dev_XaPinsLabelStr;
const char *const __dev_InputClockStr[3] = {"IC1", "IC2", "IC3"};
const char *const __dev_OutputClockStr[3] = {"OC1", "OC2", "OC3"};
const char *const __dev_GpioStr[4] = {"GPIO0", "GPIO1", "GPIO2", "GPIO3"};
const char *const __dev_ApllSourceStr[4] = {"XA", "IC1", "IC2", "IC3"};
const char *const __dev_DpllModeStr[3] = {"Automatic", "Freerun", "Holdover"};
const char *const __dev_DpllPriorityStr[4] = {"Unavailable", "1 (Highest)", "2", "3 (Lowest)"};
const char *const __dev_DpllHoldoverModeStr[3] = {"Averaged", "Averaged (Clear on Switch)", "Free Run"};
const char *const __dev_DpllHitlessSwitchStr[3] = {"Off", "Switch Only", "Switch or Valid"};
const char *const __dev_MonitorStateStr[4] = {"OFF (Input INVALID)", "OFF (Input VALID)", "ON",
                                              "ON (High Gap Tolerance)"};
const char *const __dev_MonitorModeStr[3] = {"Activity only", "Activity and Frequency <500ppm",
                                             "Activity and Frequency >= 1%"};
const char *const __dev_InputClockPpmMonModeStr[3] = {"Fast Invalidate", "Slow Invalidate",
                                                      "High Jitter Tolerance (slowest)"};
const char *const __dev_OutputClockSignalFormatStr[8] = {"Disabled", "CML (800mV)", "CML (400mV)", "HSTL",
                                                         "2 CMOS",   "1 CMOS-N",    "1 CMOS-P",    "2 CMOS-Comp"};
const char *const __dev_OutputClockDriveStrengthStr[4] = {"1x", "2x", "3x", "4x"};
const char *const __dev_OutputClockStopModeStr[3] = {"Never Stop", "Stop High", "Stop Low"};
const char *const __dev_GpioControlStr[8] = {"General Purpose Input",
                                             "General Purpose Input (Inverted)",
                                             "General Purpose Output (Low)",
                                             "General Purpose Output (High)",
                                             "Status Output",
                                             "Status Output (Inverted)",
                                             "Status Output: Open Drain",
                                             "Status Output: Open Drain (Inverted)"};
const char *const __dev_PhaseAdjustArmSourceStr[7] = {"ARM button",       "APLL locks",       "DPLL locks",
                                                      "GPIO0 transition", "GPIO1 transition", "GPIO2 transition",
                                                      "GPIO3 transition"};
const char *const __dev_PhaseAdjustTriggerSrcStr[8] = {"Trigger button",   "APLL locks",       "DPLL locks",
                                                       "DPLL edge rise",   "GPIO0 transition", "GPIO1 transition",
                                                       "GPIO2 transition", "GPIO3 transition"};
const char *const __dev_PhaseMeasureTimeBaseStr[4] = {"XO/Crystal", "OC1 MSDIV", "OC2 MSDIV", "OC3 MSDIV"};
const char *const __dev_EEPROMSizeStr[3] = {"2 kbyte", "4 kbyte", "8 kbyte"};
const char *const __dev_EEPROMPageStr[4] = {"16 bytes", "32 bytes", "64 bytes", "256 bytes"};
const char *const __dev_EEPROMSCLKStr[4] = {"1 MHz", "2 MHz", "5 MHz", "10 MHz"};
const char *const __dev_FormRefreshOptionsStr[6] = {"Use main form polling rate", "Manual (use refresh button)",
                                                    "500 msec",                   "1 second",
                                                    "2 seconds",                  "4 seconds"};

namespace {

constexpr int32_t kMaskedTableMax = 20;

// A fixed leading or trailing entry of a list (carrying its position like the others).
void add(choice_list_s *list, const char *text) {
  list->items.push_back({text, static_cast<int32_t>(list->items.size())});
}

}  // namespace

int32_t ComboBoxUtil_LoadCharArray(choice_list_s *list, const char *const *table, int32_t n) {
  if (!list) return 0;
  list->items.clear();
  list->selected = -1;
  return ComboBoxUtil_AppendCharArray(list, table, n);
}

int32_t ComboBoxUtil_AppendCharArray(choice_list_s *list, const char *const *table, int32_t n) {
  if (!list || !table || n <= 0) return 0;
  for (int32_t i = 0; i < n; ++i) add(list, table[i] ? table[i] : "");
  return n;
}

int32_t ComboBoxUtil_LoadCharArrayByMask(choice_list_s *list, const char *const *table, int32_t n, uint32_t mask) {
  if (!list) return 0;
  if (n > kMaskedTableMax) {
    MessageError("Array too long " + std::to_string(n), "Error");
    return 0;
  }
  list->items.clear();
  list->selected = -1;
  if (!table) return 0;
  for (int32_t i = 0; i < n; ++i)
    if (mask & (1u << i)) list->items.push_back({table[i] ? table[i] : "", i});
  return static_cast<int32_t>(list->items.size());
}

bool ComboBoxUtil_SelectByIndex(choice_list_s *list, int32_t index) {
  if (!list || index < 0 || index >= static_cast<int32_t>(list->items.size())) return false;
  list->selected = index;
  return true;
}

bool ComboBoxUtil_SelectByValue(choice_list_s *list, int32_t value) {
  if (!list) return false;
  for (size_t i = 0; i < list->items.size(); ++i)
    if (list->items[i].value == value) return ComboBoxUtil_SelectByIndex(list, static_cast<int32_t>(i));
  return false;
}

bool ComboBoxUtil_SelectByText(choice_list_s *list, const std::string &text) {
  if (!list) return false;
  for (size_t i = 0; i < list->items.size(); ++i)
    if (list->items[i].text == text) return ComboBoxUtil_SelectByIndex(list, static_cast<int32_t>(i));
  return false;
}

int32_t ComboBoxUtil_GetSelectedValue(const choice_list_s &list, int32_t fallback) {
  if (list.selected < 0 || list.selected >= static_cast<int32_t>(list.items.size())) return fallback;
  return list.items[list.selected].value;
}

choice_list_s choice_device_list(bool customer_mode, int32_t device) {
  choice_list_s list;
  ComboBoxUtil_LoadCharArrayByMask(&list, __dev_DeviceIdStr, KOVA_PRODUCT_COUNT,
                                   customer_mode ? CHOICE_DEVICE_MASK_CUSTOMER : CHOICE_DEVICE_MASK_SUPER);
  if (!ComboBoxUtil_SelectByText(&list, "KX" + std::to_string(device))) ComboBoxUtil_SelectByIndex(&list, 0);
  return list;
}

choice_list_s choice_emulation_list() {
  choice_list_s list;
  ComboBoxUtil_LoadCharArrayByMask(&list, __dev_DeviceIdStr, KOVA_PRODUCT_COUNT, CHOICE_DEVICE_MASK_SUPER);
  list.items.insert(list.items.begin(), ComboBoxPair{"Use DUT", -1});
  list.selected = 0;
  return list;
}

choice_list_s choice_device_mode_list(int32_t product_index, int32_t mode) {
  choice_list_s list;
  const uint32_t mask = product_index >= 0 && product_index < KOVA_PRODUCT_COUNT
                            ? static_cast<uint32_t>(KovaProduct[product_index].modeMask)
                            : 0u;
  ComboBoxUtil_LoadCharArrayByMask(&list, __dev_DeviceModeStr, 4, mask);
  if (!ComboBoxUtil_SelectByValue(&list, mode)) ComboBoxUtil_SelectByIndex(&list, 0);
  return list;
}

uint32_t choice_master_clock_mask(int32_t mode) {
  switch (mode) {
    case kova_mode_syn_e: return 90;  // XO, Crystal, XO Doubled, Crystal Doubled
    case kova_mode_ja_e: return 66;   // XO, Crystal Doubled
    default: return 82;               // XO, XO Doubled, Crystal Doubled
  }
}

choice_list_s choice_master_clock_list(int32_t mode, int32_t master_clock, bool *kept) {
  choice_list_s list;
  ComboBoxUtil_LoadCharArrayByMask(&list, __dev_MasterClockModeStr, 7, choice_master_clock_mask(mode));
  const bool found = ComboBoxUtil_SelectByValue(&list, master_clock);
  if (!found) ComboBoxUtil_SelectByIndex(&list, 0);
  if (kept) *kept = found;
  return list;
}

choice_list_s choice_dpll_feedback_list() {
  choice_list_s list;
  add(&list, "Internal");
  ComboBoxUtil_AppendCharArray(&list, __dev_InputClockStr, 3);
  list.selected = 0;
  return list;
}

choice_list_s choice_dpll_ext_switch_list() {
  choice_list_s list;
  ComboBoxUtil_LoadCharArray(&list, __dev_GpioStr, 4);
  add(&list, "Disabled");
  list.selected = 0;
  return list;
}

choice_list_s choice_los_source_list() {
  choice_list_s list;
  add(&list, "None");
  ComboBoxUtil_AppendCharArray(&list, __dev_GpioStr, 4);
  list.selected = 0;
  return list;
}

uint32_t choice_stop_source_value(int32_t position) {
  return position >= 1 && position <= 4 ? static_cast<uint32_t>(position + 7) : 0u;
}

bool choice_stop_source_uses_checkbox(uint32_t stop_source) { return stop_source < 8 || stop_source > 11; }

choice_list_s choice_stop_source_list(uint32_t stop_source) {
  choice_list_s list;
  add(&list, "Stop Checkbox");
  for (int32_t k = 0; k < 4; ++k) list.items.push_back({__dev_GpioStr[k], static_cast<int32_t>(k + 8)});
  if (choice_stop_source_uses_checkbox(stop_source) || !ComboBoxUtil_SelectByValue(&list, static_cast<int32_t>(stop_source)))
    list.selected = 0;
  return list;
}

choice_list_s choice_ppm_monitor_list(double input_mhz, int32_t ppm_mode) {
  choice_list_s list;
  ComboBoxUtil_LoadCharArrayByMask(&list, __dev_InputClockPpmMonModeStr, 3, input_mhz >= 1.0 ? 7u : 6u);
  if (!ComboBoxUtil_SelectByValue(&list, ppm_mode)) list.selected = 0;
  return list;
}

bool choice_monitor_state_is_off(int32_t monitor_state) { return monitor_state == 0 || monitor_state == 1; }

bool choice_signal_format_has_n(int32_t format) { return format == 4 || format == 7; }

std::string choice_output_frequency_label(int output, int32_t format) {
  if (choice_signal_format_has_n(format)) return "OC" + std::to_string(output + 1) + "P Frequency (MHz) (0=Unused)";
  return "Frequency (MHz) (0=Unused)";
}
