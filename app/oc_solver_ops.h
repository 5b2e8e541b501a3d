// The output clock solver window without its widgets: a working record of the divider
// fields, the three ways of finding the dividers (the solver chooses, the user picks one
// of the solver's solutions through a cascade of lists, or the user types them), the lists
// and texts the window shows, and the load that writes the working record into the one
// configuration object, recalculates and sends the changes to the chip.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/main_ops.h"
#include "hal/oc_solver.h"

constexpr const char *OC_SOLVER_TITLE = "OCSolverForm";
constexpr const char *OC_SOLVER_RESTORE_TEXT =
    "ERROR: An error occured while process the configuration, restoring to last known good configuration.";

// The output source choices of an output, in list order; the last only in manual mode.
enum oc_source_e : int32_t {
  oc_source_auto_e = 0,       // "OCP OCN Auto Source"
  oc_source_ocn_lsdiv_e = 1,  // "OCN From LSDIV"
  oc_source_disabled_e = 2,   // "OC Disabled"
  oc_source_msdiv_e = 3,      // "OCP OCN From MSDIV"
};
extern const char *const kOcSourceText[4];

// The lists of the window, numbered as the solver's selection lists: 0 VCO, 1 HSDIV1,
// 2 HSDIV2, then per output N (1 to 3) 3N its HSDIV choice, 3N + 1 MSDIV, 3N + 2 LSDIV.
constexpr int OC_LIST_COUNT = 12;
constexpr int oc_list_hsdiv(int n) { return 3 * n; }
constexpr int oc_list_msdiv(int n) { return 3 * n + 1; }
constexpr int oc_list_lsdiv(int n) { return 3 * n + 2; }

// One list: the values it holds (HSDIV as x2 values with 0 for "OFF", the output's HSDIV as
// 1 or 2, dividers; the VCO list keeps its exact frequencies beside) and the selected
// position (-1 none).
struct oc_list_s {
  std::vector<uint32_t> values;
  int32_t selected = -1;
};

struct oc_solver_form_s {
  main_state_s *s = nullptr;
  // The working record. Its HAL object is the main object's (the solver's tables are
  // read through it), so it is never initialised, copied over or deleted on its own.
  hal_api_s work{};
  std::vector<fprec_s> vco;  // the entries of the VCO list (list 0 keeps only its selection)
  std::array<oc_list_s, OC_LIST_COUNT> lists;
  std::array<int32_t, 3> source{};  // the source choice shown for each output
  bool dirty = false;               // a choice was made since the last load (load button marked)
  // What each solver list held when it was last filled, to tell whether it changed.
  std::vector<fprec_s> vco_seen;
  bool vco_filled = false;
  std::array<std::vector<uint32_t>, OC_LIST_COUNT> seen;
};

// The working record from the main object, and back (the latter without the mode, the HAL
// object, the APLL input and PFD frequencies and the output formats, which it only reads).
void oc_solver_copy_from_api(hal_api_s *work, const hal_api_s *main);
void oc_solver_copy_to_api(const hal_api_s *work, hal_api_s *main);

// Opening: the working record from the main object, then every list filled.
void oc_solver_open(oc_solver_form_s *f, main_state_s *s);
// Fills every list and text again from the working record (in modes 0 and 1 through the
// cascade of the solver's lists, in mode 2 from the fixed lists).
void oc_solver_refresh(oc_solver_form_s *f);

// The mode buttons (oc_solver_mode_es). The automatic and select modes recalculate the main
// object with the solver choosing and write the changes; when that fails the restore message
// is shown and the previous configuration comes back (select then stays off). False then.
bool oc_solver_set_mode(oc_solver_form_s *f, int32_t mode);

// The user chose position pos of list `list`: the fields follow and the lists below are
// filled again. False when the list has no such entry.
bool oc_solver_choose(oc_solver_form_s *f, int list, int32_t pos);
// The user chose an output source for output n (1 to 3); returns the choice in force
// ("OCN From LSDIV" falls back to the automatic source where it cannot be used).
int32_t oc_solver_choose_source(oc_solver_form_s *f, int n, int32_t choice);
// The source list of output n in the current mode (three choices, four in manual mode).
std::vector<std::string> oc_solver_source_texts(const oc_solver_form_s *f);

// Manual entries. A typed value is limited to the device's range; text that is not a number
// is refused (false: the box shows its previous entry again).
bool oc_solver_enter_vco(oc_solver_form_s *f, const std::string &mhz_text);
void oc_solver_set_vco(oc_solver_form_s *f, fprec_s vco);  // from the frequency calculator
bool oc_solver_enter_msdiv(oc_solver_form_s *f, int n, const std::string &text);
bool oc_solver_enter_lsdiv(oc_solver_form_s *f, int n, const std::string &text);
void oc_solver_set_bypass(oc_solver_form_s *f, bool on);

// Whether a list (or the source list of output n, with list = -n) takes choices.
bool oc_solver_list_enabled(const oc_solver_form_s *f, int list);
// The entry texts of a list, and what an empty list shows: the value in force (no
// calculation has filled the solver's tables since a configuration was loaded), "OFF" for
// HSDIV2 and dashes for the HSDIV of an output not in use.
std::vector<std::string> oc_solver_list_texts(const oc_solver_form_s *f, int list);
std::string oc_solver_empty_text(const oc_solver_form_s *f, int list);

// The texts of the frequency displays.
std::string oc_solver_vco_text(const oc_solver_form_s *f);
std::string oc_solver_apll_input_text(const oc_solver_form_s *f);
std::string oc_solver_ratio_text(const oc_solver_form_s *f);
std::string oc_solver_hsdiv_freq_text(const oc_solver_form_s *f, int hsdiv);  // 1 or 2
std::string oc_solver_msdiv_freq_text(const oc_solver_form_s *f, int n);
std::string oc_solver_lsdiv_freq_text(const oc_solver_form_s *f, int n);
std::string oc_solver_ocp_freq_text(const oc_solver_form_s *f, int n);
std::string oc_solver_ocn_freq_text(const oc_solver_form_s *f, int n);

// The checks of the load on the working record (manual mode first derives each enabled
// output's frequency from its dividers). The first failure's message, or "".
std::string oc_solver_load_check(oc_solver_form_s *f);
// The load: the checks (a failure is shown and nothing is written), then the working record
// into the main object, recalculation and the changes to the chip; a failed calculation
// shows the restore message and the previous configuration comes back. True when loaded.
bool oc_solver_load(oc_solver_form_s *f);
