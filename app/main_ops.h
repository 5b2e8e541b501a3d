// The main window's operations as plain functions over the one configuration object, the
// parameter block and the board: start-up, connecting (and the three start-up actions),
// working offline, the initial configuration, re-initialisation, key and ordinary changes,
// the status refresh, DSP reload, restart and reset, loading a configuration text file or a
// register dump, and the save commands. Every failure leaves the previous configuration in
// place. What needs a person (a choice, a window, the refresh timer) goes through main_ui_s,
// so the windows stay thin views and the tests can run every operation without a display.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/app_log.h"
#include "hal/hal_api.h"

// The three start-up actions of the "DUT Connection" query.
enum : int32_t {
  connect_action_defaults_e = 0,  // "Initialize DUT to Defaults"
  connect_action_write_e = 1,     // "Write GUI configuration to DUT"
  connect_action_read_e = 2,      // "Read DUT configuration into GUI"
};
// The text of an action value.
const char *main_connect_action_text(int32_t action);

// What the operations ask of the window they run in.
struct main_ui_s {
  virtual ~main_ui_s() = default;
  // The "DUT Connection" query: one of the offered actions (in order 0, 1, 2); a query closed
  // without a choice answers connect_action_defaults_e.
  virtual int32_t connect_action(const std::vector<int32_t> &offered) = 0;
  // The known-frequency window: sets the frequency of one input or output clock in *hal.
  // False when the user gave none.
  virtual bool known_frequency(hal_api_s *hal) = 0;
  // Opens the initial-configuration window; closing it calls main_initial_config.
  virtual void open_initial_config() = 0;
  virtual void close_child_windows() = 0;
  // The refresh timer: stop it (telling whether it ran), put it back, start it.
  virtual bool timer_stop() = 0;
  virtual void timer_restore(bool was_running) = 0;
  virtual void timer_start() = 0;
  // Reloads every control from the object.
  virtual void reload_controls() = 0;
  // The board went away (a failed status read): the window shows itself disconnected.
  virtual void board_lost() = 0;
};

struct main_state_s {
  hal_api_s hal{};                       // the one configuration object
  __dev_GuiParamS *gui = &__dev_GuiParams;
  main_ui_s *ui = nullptr;
  bool hal_status = false;               // result of the last initialise or recalculate
  int32_t emulation_product = -1;        // connection window's emulation choice: -1 "Use DUT"
  std::string file;                      // the configuration file last loaded or saved
  // The initial-configuration choice.
  int32_t init_mode = kova_mode_ja_e;
  int32_t init_master_clock = 1;
  double init_xa_mhz = 0.0;
};

// A kept copy of the configuration object with a private object of its own, so that the
// solver tables and the sequence state come back with it on restore.
struct main_kept_hal_s {
  hal_api_s hal{};
  explicit main_kept_hal_s(const hal_api_s &src);
  ~main_kept_hal_s();
  main_kept_hal_s(const main_kept_hal_s &) = delete;
  main_kept_hal_s &operator=(const main_kept_hal_s &) = delete;
  void restore(hal_api_s *dst) const { copy_api(dst, &hal); }
};

// Stops the refresh timer for the duration of an engine run or a board operation (a status
// read between two writes would see a half-written chip) and puts it back.
struct main_timer_pause_s {
  main_ui_s *ui;
  bool was_running;
  explicit main_timer_pause_s(main_ui_s *u) : ui(u), was_running(u ? u->timer_stop() : false) {}
  ~main_timer_pause_s() {
    if (ui) ui->timer_restore(was_running);
  }
  main_timer_pause_s(const main_timer_pause_s &) = delete;
  main_timer_pause_s &operator=(const main_timer_pause_s &) = delete;
};

// After the object was replaced: the parameter block records its device and revision, and
// the three input records of the windows are derived from it again.
void main_adopt_object(main_state_s *s);

// True when a board is connected.
bool main_connected(main_state_s *s);

// Start-up: KX40089 with its defaults, initialised; the parameter block records it.
bool main_startup(main_state_s *s);

// After a board channel was opened: identifies the chip, asks for a start-up action and
// carries it out. False (after a message) when the chip cannot be identified or the action
// failed.
bool main_connect(main_state_s *s);

// The actions offered after connecting to a chip of product_index and revision whose
// combined EEPROM-booted and configuration status is status.
std::vector<int32_t> main_connect_offered(const main_state_s *s, int32_t product_index, int32_t revision,
                                          int32_t status);

// Work offline with the connection window's device choice (a product index; -1 invalid).
bool main_work_offline(main_state_s *s, int32_t product_choice);

// Closing the initial-configuration window with a chip mode, a master-clock mode and the
// XA frequency in MHz. False when the re-initialisation failed (the window opens again).
bool main_initial_config(main_state_s *s, int32_t mode, int32_t master_clock_mode, double xa_mhz);

// Re-initialises the window from the object (or from a copy of src first).
bool main_reinitialize(main_state_s *s, const hal_api_s *src = nullptr);

// A key parameter change (device mode, XA mode, anything that needs a new init_api): edit
// is applied to a copy, which replaces the object only when it initialises.
bool main_key_change(main_state_s *s, const std::function<void(hal_api_s *)> &edit);

// An ordinary change: edit the object, recalculate, write the changes to the chip.
bool main_ordinary_change(main_state_s *s, const std::function<void(hal_api_s *)> &edit);

// The XA frequency error, typed in ppm: stored in ppb, rounded half away from zero.
int32_t main_ppm_to_ppb(double ppm);

// Fetches the chip's status into the object. Offline it decodes the image. False when the
// board was connected and its ID register could not be read: the board is then closed and
// "Board connection lost!" shown.
bool main_status_refresh(main_state_s *s);

// The DPLL state text of register 0x056.
std::string main_dpll_state_text(uint8_t reg056);

// Polling rate choice: 0 stops the timer; else its period in milliseconds.
int32_t main_poll_period_ms(int32_t choice);

// DSP reload after a restart (connected only).
void main_dsp_reload(main_state_s *s);
// Restarts the chip (asking first when asked to and automatic reset is off). False when it
// was declined or failed.
bool main_restart(main_state_s *s, bool ask);
// The reset command of the menu.
void main_reset_command(main_state_s *s, bool show_success);

// Loads a configuration text file / a register dump. False (after its messages) with the
// previous configuration in place.
bool main_load_config(main_state_s *s, const std::string &path);
bool main_load_dump(main_state_s *s, const std::string &path);

// The save commands. Each shows its message and tells whether the file was written.
bool main_save_config(main_state_s *s, const std::string &path);
bool main_save_script(main_state_s *s, const std::string &path);
bool main_save_register_config(main_state_s *s, const std::string &path, bool only_changed);
bool main_dump_registers(main_state_s *s, const std::string &path);

// The window title: "Host GUI - Rev 1.1.2", the device, mode and file.
std::string main_title(const main_state_s *s);

constexpr const char *KOVA_GUI_VERSION = "1.1.2";
