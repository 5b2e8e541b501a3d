#include "app/main_ops.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/app_options.h"
#include "app/device_settings.h"
#include "app/run_control.h"
#include "app/user_dialog.h"
#include "board/kxemu.h"
#include "board/kxkovaio.h"
#include "files/hal_config_file.h"
#include "files/mfg_script.h"
#include "files/register_dump.h"
#include "hal/dsp_program.h"
#include "regs/inverse_cfg.h"

namespace {

constexpr uint32_t kRegId2 = 0x031;

void reload(main_state_s *s) {
  if (s->ui) s->ui->reload_controls();
}

void set_apll_mux(hal_api_s *hal) { hal->apllcr3_apllmux_u3 = hal->kova_mode_e == kova_mode_syn_e ? 0 : 6; }

// The three input records of the windows follow the object after it was replaced.
void derive_inputs(main_state_s *s) {
  const int32_t product = __dev_ConvertHalToApiPartNumber(s->hal.kova_device_e);
  for (int i = 0; i < 3; ++i) {
    __dev_ConvertHalToApiInputConfigS(i, &s->hal, &s->gui->inputClock[i]);
    __dev_InputClockMonitorModeDerive(product, &s->gui->inputClock[i]);
  }
}

void record_device(main_state_s *s) {
  s->gui->devicePartNumber = __dev_ConvertHalToApiPartNumber(s->hal.kova_device_e);
  s->gui->deviceRevision = s->hal.kova_device_rev_e;
}

bool freq_zero(const fprec_s &f) { return f.f == 0 || f.n == 0 || f.m == 0; }

void show(const file_message_s &msg) {
  if (!msg.text.empty()) MessageError(msg.text, msg.title);
}

}  // namespace

main_kept_hal_s::main_kept_hal_s(const hal_api_s &src) {
  hal.init_api_mode_e = init_api_blank_e;
  init_api(&hal);
  copy_api(&hal, &src);
}

main_kept_hal_s::~main_kept_hal_s() { delete_api(&hal); }

void main_adopt_object(main_state_s *s) {
  record_device(s);
  derive_inputs(s);
}

const char *main_connect_action_text(int32_t action) {
  switch (action) {
    case connect_action_defaults_e: return "Initialize DUT to Defaults";
    case connect_action_write_e: return "Write GUI configuration to DUT";
    case connect_action_read_e: return "Read DUT configuration into GUI";
    default: return "";
  }
}

bool main_connected(main_state_s *s) { return GuiUtil_EvalBoardConnected(s->gui, &s->hal); }

bool main_startup(main_state_s *s) {
  s->hal.kova_device_e = kova_device_40089_e;
  __dev_DefaultsForDevType(&s->hal, false);
  s->hal.init_api_mode_e = init_api_full_e;
  s->hal_status = HalStruct_Initialize(&s->hal);
  record_device(s);
  derive_inputs(s);
  return s->hal_status;
}

std::vector<int32_t> main_connect_offered(const main_state_s *s, int32_t product_index, int32_t revision,
                                          int32_t status) {
  std::vector<int32_t> offered{connect_action_defaults_e};
  const int32_t device = __dev_ConvertApiToHalPartNumber(product_index);
  if (s->gui->halConfigured == 1 && s->hal.kova_device_e == device && s->hal.kova_device_rev_e == revision)
    offered.push_back(connect_action_write_e);
  if (status != 0) offered.push_back(connect_action_read_e);
  return offered;
}

namespace {

// Reads the chip back: its registers, one known frequency from the user, the inverse
// configuration. The previous configuration comes back when any step fails.
bool connect_read_back(main_state_s *s, int32_t device, int32_t revision) {
  main_kept_hal_s kept(s->hal);
  hal_api_s *hal = &s->hal;
  hal->kova_device_e = device;
  hal->kova_device_rev_e = revision;
  hal->init_api_mode_e = init_api_blank_e;
  init_api(hal);
  std::vector<uint8_t> regs(KOVA_REG_COUNT);
  __dev_GuiReadReg(s->gui, hal, 0, KOVA_REG_COUNT, regs.data());
  // The chip's ID2 holds its own product; the configuration is of the chosen one.
  regs[kRegId2] = static_cast<uint8_t>((__dev_ConvertHalToApiPartNumber(device) << 4) | (revision & 0x0F));
  if (!s->ui || !s->ui->known_frequency(hal)) {
    kept.restore(hal);
    return false;
  }
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) put_reg(hal, a, regs[a]);
  const bool inverted = inverse_cfg(hal) == 0 && HalUtil_GetMessage(s->gui, hal, kova_log_init_e);
  hal->kova_device_e = device;
  hal->kova_device_rev_e = revision;
  hal->init_api_mode_e = init_api_after_inverse_e;
  init_api(hal);
  if (!inverted || !HalUtil_GetMessage(s->gui, hal, kova_log_init_e)) {
    kept.restore(hal);
    return false;
  }
  HalStruct_RegisterSeqSet(hal, get_seq_mark_written_e);
  record_device(s);
  derive_inputs(s);
  reload(s);
  return true;
}

}  // namespace

bool main_connect(main_state_s *s) {
  if (!main_connected(s)) return false;
  kxKovaIo_HandleS *io = &s->gui->ioHandle;
  uint8_t id2 = 0;
  if (kxKovaIo_DutRegRead(io, kRegId2, 1, &id2) != 0) {
    MessageError("Unable to Read Device Part Number.", "Connect");
    return false;
  }
  const int32_t product = id2 >> 4, revision = id2 & 0x0F;
  if (product >= KOVA_PRODUCT_COUNT || KovaProduct[product].device == 0) {
    MessageError("Invalid Device Part Number " + std::to_string(id2), "Connect");
    return false;
  }
  const int32_t status = kxkovaio_DutEepromBootedStatus(io) | kxkovaio_DutConfigurationStatus(io);
  if (status == -1) {
    MessageError("Error when determining configuration status.", "Connect");
    return false;
  }
  int32_t device = KovaProduct[product].device;
  if (s->emulation_product >= 0)
    device = s->emulation_product < KOVA_PRODUCT_COUNT ? KovaProduct[s->emulation_product].device : 0;
  const int32_t chosen = __dev_ConvertHalToApiPartNumber(device);
  const int32_t action =
      s->ui ? s->ui->connect_action(main_connect_offered(s, chosen, revision, status)) : connect_action_defaults_e;
  bool ok = true;
  if (action == connect_action_read_e) {
    ok = connect_read_back(s, device, revision);
  } else if (action == connect_action_write_e) {
    main_restart(s, false);
    HalStruct_RegisterSeqSet(&s->hal, get_seq_chip_reset_e);
    ok = WriteHalChangesToDevice(&s->hal, true);
    reload(s);
  } else {
    s->hal.kova_device_e = device;
    s->hal.kova_device_rev_e = revision;
    __dev_DefaultsForDevType(&s->hal, true);
    reload(s);
    if (s->ui) s->ui->open_initial_config();
  }
  if (s->ui) s->ui->timer_start();
  return ok;
}

bool main_work_offline(main_state_s *s, int32_t product_choice) {
  const int32_t device = product_choice >= KOVA_PRODUCT_COUNT ? 0 : __dev_ConvertApiToHalPartNumber(product_choice);
  if (product_choice < 0 || device <= 0) {
    MessageError("INVALID Variant (" + std::to_string(product_choice < 0 ? -1 : product_choice) + ")",
                 "Work-Offline");
    return false;
  }
  if (s->gui->halConfigured == 1 && device == s->hal.kova_device_e && s->hal.kova_device_rev_e == 1) {
    HalStruct_RegisterSeqSet(&s->hal, get_seq_chip_reset_e);
    WriteHalChangesToDevice(&s->hal, true);
    reload(s);
  } else {
    s->hal.kova_device_e = device;
    __dev_DefaultsForDevType(&s->hal, false);
    reload(s);
    if (s->ui) s->ui->open_initial_config();
  }
  if (s->ui) s->ui->timer_start();
  return true;
}

bool main_initial_config(main_state_s *s, int32_t mode, int32_t master_clock_mode, double xa_mhz) {
  s->init_mode = mode;
  s->init_master_clock = master_clock_mode;
  s->init_xa_mhz = xa_mhz;
  const bool connected = main_connected(s);
  if (connected) main_reset_command(s, false);
  main_kept_hal_s kept(s->hal);
  if (mode != s->hal.kova_mode_e) {
    s->hal.kova_mode_e = mode;
    __dev_DefaultsForDevMode(&s->hal, connected);
  }
  const int32_t xa = __dev_MasterClockToXaMode(master_clock_mode);
  if (xa >= 0 && xa != s->hal.xa_mode_e) s->hal.xa_mode_e = xa;
  s->hal.init_api_mode_e = init_api_full_e;
  if (!main_reinitialize(s)) {
    kept.restore(&s->hal);
    derive_inputs(s);
    reload(s);
    return false;
  }
  double hz = xa_mhz * 1e6;
  if (!(hz >= 0.0)) hz = 0.0;
  if (hz > 4294967295.0) hz = 4294967295.0;
  const fprec_s xa_freq{static_cast<uint32_t>(hz), 1, 1};
  main_ordinary_change(s, [&](hal_api_s *hal) { hal->xa_freq_s = xa_freq; });
  return true;
}

bool main_reinitialize(main_state_s *s, const hal_api_s *src) {
  if (s->ui) s->ui->close_child_windows();
  main_dsp_reload(s);
  if (src) {
    copy_api(&s->hal, src);
    record_device(s);
  }
  set_apll_mux(&s->hal);
  bool ok = HalStruct_Initialize(&s->hal);
  if (ok) {
    main_timer_pause_s pause(s->ui);
    ok = HalStruct_Recalculate(&s->hal);
  }
  s->hal_status = ok;
  derive_inputs(s);
  reload(s);
  main_status_refresh(s);
  if (ok) HalUtil_WriteSequence(s->gui, &s->hal, true);
  s->gui->halConfigured = 1;
  return ok;
}

bool main_key_change(main_state_s *s, const std::function<void(hal_api_s *)> &edit) {
  if (s->ui) s->ui->close_child_windows();
  bool ok;
  {
    main_timer_pause_s pause(s->ui);
    main_kept_hal_s copy(s->hal);
    edit(&copy.hal);
    ok = HalStruct_Reinitialize(&copy.hal, init_api_keep_user_e) || HalStruct_Reinitialize(&copy.hal, init_api_full_e);
    if (ok) copy_api(&s->hal, &copy.hal);
  }
  set_apll_mux(&s->hal);
  s->hal_status = ok;
  if (ok) {
    main_restart(s, false);
    HalUtil_WriteSequence(s->gui, &s->hal, true);
  }
  record_device(s);
  derive_inputs(s);
  reload(s);
  main_status_refresh(s);
  s->gui->halConfigured = 1;
  return ok;
}

bool main_ordinary_change(main_state_s *s, const std::function<void(hal_api_s *)> &edit) {
  bool ok;
  {
    main_timer_pause_s pause(s->ui);
    main_kept_hal_s kept(s->hal);
    edit(&s->hal);
    ok = HalStruct_Recalculate(&s->hal);
    // A change that does not calculate is taken back: the object, its image and what the
    // chip is taken to hold stay as they were, so the next change starts from a sound plan.
    if (!ok) kept.restore(&s->hal);
  }
  s->hal_status = ok;
  if (ok) WriteHalChangesToDevice(&s->hal, true);
  return ok;
}

int32_t main_ppm_to_ppb(double ppm) {
  const double ppb = std::round(ppm * 1000.0);  // half away from zero
  if (!(ppb == ppb)) return 0;
  if (ppb > 2147483647.0) return INT32_MAX;
  if (ppb < -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(ppb);
}

bool main_status_refresh(main_state_s *s) {
  const bool connected = main_connected(s);
  HalStruct_StatusGet(&s->hal);
  if (!connected) return true;
  uint8_t id2 = 0;
  if (kxKovaIo_DutRegRead(&s->gui->ioHandle, kRegId2, 1, &id2) == 0) return true;
  if (s->ui) s->ui->timer_stop();
  kxKovaIo_EvalBoardClose(&s->gui->ioHandle);
  s->gui->ioHandle = kxKovaIo_HandleS{};
  MessageError("Board connection lost!", "Connection Error");
  if (s->ui) s->ui->board_lost();
  return false;
}

std::string main_dpll_state_text(uint8_t reg056) {
  if (reg056 & 0x10) return std::string("Tracking; ") + ((reg056 & 0x20) ? "Unlocked" : "Locked");
  if (reg056 & 0x08) return "Holdover";
  return "Freerun";
}

int32_t main_poll_period_ms(int32_t choice) {
  switch (choice) {
    case 0: return 0;
    case 1: return 1000;
    case 2: return 2000;
    default: return 5000;
  }
}

void main_dsp_reload(main_state_s *s) {
  if (!main_connected(s)) return;
  kxKovaIo_HandleS *io = &s->gui->ioHandle;
  uint32_t id = 0;
  if (isInCustomerMode()) {
    id = get_dsp_id_word16(&s->hal);
  } else {
    uint8_t b[2] = {0, 0};
    if (kxKovaIo_DutRegRead(io, 0x030, 2, b) != 0) {
      MessageError("Unable to Read Device ID register.", "Connect");
      return;
    }
    id = (static_cast<uint32_t>(b[0]) << 8) | b[1];
  }
  if (id == 0) {
    GuiLogMessage(s->gui, ">>> Skip Reloading DSP RAM (dspId = 0)", kova_log_restart_e);
    return;
  }
  // A program with words nobody could transcribe is never written to a real chip.
  if (dsp_program_unknown_count() != 0 && !kxemu_active()) {
    MessageError("The DSP program in use has " + std::to_string(dsp_program_unknown_count()) +
                     " unknown words: load the real program before writing a chip (KOVA_DSP_PROGRAM).",
                 "DSP Reload");
    return;
  }
  GuiLogMessage(s->gui, (">>> Reloading DSP RAM (dspId = " + std::to_string(id) + ")").c_str(), kova_log_restart_e);
  uint32_t words[KOVA_DSP_WORDS];
  for (uint32_t i = 0; i < KOVA_DSP_WORDS; ++i) words[i] = get_dsp_algo_word24(&s->hal, i);
  if (kxkovaio_DspRamWrite(io, 0, KOVA_DSP_WORDS, words, id) != 0)
    MessageError("Reloading the DSP RAM failed (FT Error " + std::to_string(kxKovaIo_UsbError()) + ").", "DSP Reload");
}

bool main_restart(main_state_s *s, bool ask) {
  if (!main_connected(s)) return false;
  if (ask && !isAutoResetDutEnabled() && !app_dialog().ask_yes_no("Restart Device?", "GUI Update")) return false;
  GuiLogMessage(s->gui, ">>> Restarting DUT: Begin", kova_log_restart_e);
  if (kxKovaIo_DutReset(&s->gui->ioHandle) != 0) {
    MessageError("Error Resetting EVAL Board Device", "GUI Update");
    GuiLogMessage(s->gui, ">>> Restarting DUT: ERROR", kova_log_restart_e);
    return false;
  }
  main_dsp_reload(s);
  return true;
}

void main_reset_command(main_state_s *s, bool show_success) {
  if (!main_connected(s)) {
    MessageError("No Connection: Resetting using local values.", "Reset Device");
    return;
  }
  if (!isAutoResetDutEnabled() && !app_dialog().ask_yes_no("Restart Device?", "GUI Update")) return;
  if (kxKovaIo_DutReset(&s->gui->ioHandle) != 0) {
    MessageError("Error Resetting Eval Board Device.", "Reset Device");
    return;
  }
  if (show_success) MessageError("Eval Board Device Reset Successfully.", "Reset Device");
}

bool main_load_config(main_state_s *s, const std::string &path) {
  main_kept_hal_s kept(s->hal);
  hal_api_s *hal = &s->hal;
  file_message_s msg;
  std::string detail;
  if (!hal_config_load_file(hal, path.c_str(), &msg, &detail)) {
    kept.restore(hal);
    if (!detail.empty()) msg.text += msg.text.empty() ? detail : "\n" + detail;
    if (msg.text.empty()) msg = {"Unable to load " + path, "GUI Config Load"};
    show(msg);
    return false;
  }
  const int32_t loaded_dev = hal->kova_device_e, loaded_rev = hal->kova_device_rev_e;
  if (main_connected(s) && (loaded_dev != kept.hal.kova_device_e || loaded_rev != kept.hal.kova_device_rev_e)) {
    kept.restore(hal);
    MessageError("File does not match connected device or revision!", "GUI Config Load");
    MessageError("Orig ID = " + std::to_string(kept.hal.kova_device_e) + ", Config ID = " + std::to_string(loaded_dev),
                 "GUI Config Load");
    MessageError("Orig rev = " + std::to_string(kept.hal.kova_device_rev_e) +
                     ", Config rev = " + std::to_string(loaded_rev),
                 "GUI Config Load");
    return false;
  }
  main_restart(s, false);
  std::vector<uint8_t> regs(KOVA_REG_COUNT);
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) regs[a] = static_cast<uint8_t>(get_reg(hal, a));
  hal->init_api_mode_e = init_api_after_load_e;
  init_api(hal);
  if (!HalUtil_GetMessage(s->gui, hal, kova_log_init_e)) {
    kept.restore(hal);
    return false;
  }
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) put_reg(hal, a, regs[a]);
  HalStruct_RegisterSeqSet(hal, get_seq_chip_reset_e);
  HalUtil_WriteSequence(s->gui, hal, true);
  s->hal_status = true;
  s->file = path;
  // Loaded and written: the next connection may write it to a chip of the same device.
  s->gui->halConfigured = 1;
  record_device(s);
  derive_inputs(s);
  reload(s);
  MessageError("GUI Config file successfully loaded!", "GUI Config Load");
  return true;
}

bool main_load_dump(main_state_s *s, const std::string &path) {
  static const char *kTitle = "Register Configuration Load";
  main_kept_hal_s kept(s->hal);
  hal_api_s *hal = &s->hal;
  auto fail = [&](const char *text) {
    kept.restore(hal);
    if (text) MessageError(text, kTitle);
    return false;
  };
  hal->init_api_mode_e = init_api_blank_e;
  init_api(hal);
  std::vector<uint32_t> dsp;
  file_message_s msg;
  if (!register_dump_load(hal, path.c_str(), &dsp, &msg)) return fail("Unable to Load Selected File");
  const bool none_known = freq_zero(hal->xa_freq_s) && freq_zero(hal->ic1_freq_s) && freq_zero(hal->ic2_freq_s) &&
                          freq_zero(hal->ic3_freq_s) && freq_zero(hal->oc1_freq_s) && freq_zero(hal->oc2_freq_s) &&
                          freq_zero(hal->oc3_freq_s);
  if (none_known && (!s->ui || !s->ui->known_frequency(hal))) return fail(nullptr);
  const bool inverted = inverse_cfg(hal) == 0 && HalUtil_GetMessage(s->gui, hal, kova_log_init_e);
  if (!inverted) return fail(nullptr);
  const int32_t device = hal->kova_device_e, revision = hal->kova_device_rev_e;
  hal->init_api_mode_e = init_api_after_inverse_e;
  init_api(hal);
  if (!HalUtil_GetMessage(s->gui, hal, kova_log_init_e)) return fail(nullptr);
  if (main_connected(s)) {
    if (device != kept.hal.kova_device_e || revision != kept.hal.kova_device_rev_e)
      return fail("File does not match Connected Device");
    if (dsp.empty()) {
      main_restart(s, false);
    } else {
      const uint32_t id = (get_reg(hal, 0x033) << 8) | get_reg(hal, 0x032);
      kxKovaIo_DutReset(&s->gui->ioHandle);
      kxkovaio_DspRamWrite(&s->gui->ioHandle, 0, static_cast<uint32_t>(dsp.size()), dsp.data(), id);
    }
  }
  record_device(s);
  HalStruct_RegisterSeqSet(hal, get_seq_chip_reset_e);
  HalUtil_WriteSequence(s->gui, hal, true);
  s->hal_status = true;
  s->file = path;
  s->gui->halConfigured = 1;
  derive_inputs(s);
  reload(s);
  return true;
}

bool main_save_config(main_state_s *s, const std::string &path) {
  file_message_s msg;
  const bool ok =
      hal_config_save_file(&s->hal, path.c_str(), __dev_ConvertHalToApiPartNumber(s->hal.kova_device_e), &msg);
  show(msg);
  if (ok) s->file = path;
  return ok;
}

bool main_save_script(main_state_s *s, const std::string &path) {
  file_message_s msg;
  int32_t code = 0;
  const bool ok = mfg_save_file(&s->hal, path.c_str(), KOVA_GUI_VERSION, &code, &msg);
  show(msg);
  return ok;
}

bool main_save_register_config(main_state_s *s, const std::string &path, bool only_changed) {
  std::vector<uint8_t> regs(KOVA_REG_COUNT);
  __dev_GuiReadReg(s->gui, &s->hal, 0, KOVA_REG_COUNT, regs.data(), false);
  file_message_s msg;
  const bool ok = register_config_write(path.c_str(), regs.data(), only_changed, &msg);
  show(msg);
  return ok;
}

bool main_dump_registers(main_state_s *s, const std::string &path) {
  std::vector<uint8_t> regs(KOVA_REG_COUNT);
  uint32_t dsp[KOVA_DSP_WORDS];
  const bool connected = main_connected(s);
  __dev_GuiReadReg(s->gui, &s->hal, 0, KOVA_REG_COUNT, regs.data(), false);
  bool have_dsp = false;
  if (connected) {
    have_dsp = kxkovaio_DspRamRead(&s->gui->ioHandle, 0, KOVA_DSP_WORDS, dsp) == 0;
  } else {
    // The image stands in for the chip, which holds its revision in ID2's low four bits.
    regs[kRegId2] = static_cast<uint8_t>((regs[kRegId2] & 0xF0) | (s->hal.kova_device_rev_e & 0x0F));
    for (uint32_t i = 0; i < KOVA_DSP_WORDS; ++i) dsp[i] = get_dsp_algo_word24(&s->hal, i);
    have_dsp = true;
  }
  file_message_s msg;
  const bool ok = register_dump_write(&s->hal, path.c_str(), regs.data(), have_dsp ? dsp : nullptr,
                                      __dev_ConvertHalToApiPartNumber(s->hal.kova_device_e), &msg);
  show(msg);
  return ok;
}

std::string main_title(const main_state_s *s) {
  std::string t = std::string("Host GUI - Rev ") + KOVA_GUI_VERSION + " - KX" + std::to_string(s->hal.kova_device_e);
  if (const char *m = kova_mode_label(s->hal.kova_mode_e)) t += std::string(" ") + m;
  if (!s->file.empty()) {
    const size_t slash = s->file.find_last_of('/');
    t += " - " + (slash == std::string::npos ? s->file : s->file.substr(slash + 1));
  }
  return t;
}
