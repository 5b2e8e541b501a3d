#include "cli/config_options.h"

#include <cctype>
#include <cstdlib>

#include "app/freq_entry.h"
#include "files/hal_config_file.h"
#include "hal/dsp_program.h"
#include "hal/hal_fields.h"

namespace {

std::string upper(std::string s) {
  for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool parse_small_int(const std::string &t, int lo, int hi, int *out) {
  if (t.empty() || t.size() > 6) return false;
  for (char c : t)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  const int v = std::atoi(t.c_str());
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool parse_device(const std::string &text, int32_t *device) {
  std::string t = upper(text);
  if (t.rfind("KX", 0) == 0) t = t.substr(2);
  int v = 0;
  if (!parse_small_int(t, 0, 99999, &v) || !kova_device_valid(v)) return false;
  *device = v;
  return true;
}

bool parse_mode(const std::string &text, int32_t *mode) {
  const std::string t = upper(text);
  for (int32_t m = 0; m <= 3; ++m)
    if (t == kova_mode_label(m)) {
      *mode = m;
      return true;
    }
  int v = 0;
  if (!parse_small_int(t, 0, 3, &v)) return false;
  *mode = v;
  return true;
}

bool parse_sysclk(const std::string &text, int32_t *sysclk) {
  const std::string t = upper(text);
  if (t == "XA" || t == "0") *sysclk = sysclk_mode_xa_e;
  else if (t == "RO" || t == "1") *sysclk = sysclk_mode_ro_e;
  else return false;
  return true;
}

}  // namespace

bool parse_typed_frequency(const std::string &text, fprec_s *out, std::string *why) {
  const size_t c1 = text.find(':');
  if (c1 == std::string::npos) {
    if (frequency_from_mhz_text(text, out)) return true;
    *why = "expected MHz from 0 to 4294.967295, or BASE_MHZ:NUMERATOR[:DENOMINATOR]";
    return false;
  }
  const size_t c2 = text.find(':', c1 + 1);
  const std::string num = text.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1);
  const std::string den = c2 == std::string::npos ? "1" : text.substr(c2 + 1);
  freq_calc_s calc{0, 1, 1};
  const freq_scrub_s n = FreqMultDivText_Scrub(num), d = FreqMultDivText_Scrub(den);
  if (!n.accepted || !d.accepted) {
    *why = "numerator and denominator must be whole numbers above 0 (products such as 4*25 allowed)";
    if (!n.error.empty() || !d.error.empty()) *why += ": " + (n.error.empty() ? d.error : n.error);
    return false;
  }
  calc.numerator = n.value;
  calc.denominator = d.value;
  if (!freq_calc_set_base(&calc, text.substr(0, c1))) {
    *why = "the base must be MHz from 0 to 100000";
    return false;
  }
  set_fprec_s(out, calc.base_hz, calc.numerator, calc.denominator);
  return true;
}

void add_config_options(CLI::App *cmd, config_options_s *o) {
  cmd->add_option("--device", o->device, "Device: 40000, 40075, 40089, 40110, 40111, 40112, 40113 (KX prefix allowed)")
      ->capture_default_str();
  cmd->add_option("--rev", o->rev, "Device revision (0 or 1)")->capture_default_str();
  cmd->add_option("--mode", o->mode, "Operating mode: SYN, NCO, SS or JA")->capture_default_str();
  cmd->add_option("--xa-mode", o->xa_mode,
                  "XA pins: 0 disabled, 1 XO, 2 TCXO, 3 XTAL, 4 XTAL doubled, 5 XO doubled, 6 TCXO doubled (default 1)");
  cmd->add_option("--sysclk", o->sysclk, "System clock: XA or RO (default RO in SYN, XA otherwise)");
  cmd->add_option("--xa", o->xa, "XA frequency: MHz, or BASE_MHZ:NUMERATOR[:DENOMINATOR]");
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i + 1);
    cmd->add_option("--ic" + n, o->ic[i], "IC" + n + " frequency (enables the input): MHz or BASE_MHZ:NUM[:DEN]");
    cmd->add_option("--oc" + n, o->oc[i], "OC" + n + " frequency: MHz or BASE_MHZ:NUM[:DEN]");
  }
  cmd->add_option("--set", o->sets, "FIELD=VALUE: set any configuration field after initialisation "
                                    "(integers decimal or 0x hex; frequencies F or F,N,M)");
  auto *cfg = cmd->add_option("--config", o->config_file, "Start from a configuration text file (as kovacfg save writes it)");
  for (const char *opt : {"--device", "--rev", "--mode", "--xa-mode", "--sysclk"}) cfg->excludes(opt);
  cmd->add_option("--dsp-program", o->dsp_program,
                  "File holding the 320-word DSP program (default: $KOVA_DSP_PROGRAM, else the built-in copy)");
}

bool config_initialise(const config_options_s &o, hal_api_s *hal, option_error_s *err) {
  int32_t device = 0, mode = 0, sysclk = 0;
  int xa = xa_mode_xo_e;
  if (!parse_device(o.device, &device)) {
    err->message = "--device: unknown device \"" + o.device + "\" (known: 40000, 40075, 40089, 40110, 40111, 40112, 40113)";
    return false;
  }
  if (o.rev < 0 || o.rev > 1) {
    err->message = "--rev: revision must be 0 or 1, not " + std::to_string(o.rev);
    return false;
  }
  if (!parse_mode(o.mode, &mode)) {
    err->message = "--mode: unknown mode \"" + o.mode + "\" (SYN, NCO, SS or JA)";
    return false;
  }
  if (!o.xa_mode.empty() && !parse_small_int(o.xa_mode, 0, 6, &xa)) {
    err->message = "--xa-mode: expected a number from 0 to 6, not \"" + o.xa_mode + "\"";
    return false;
  }
  sysclk = mode == kova_mode_syn_e ? sysclk_mode_ro_e : sysclk_mode_xa_e;
  if (!o.sysclk.empty() && !parse_sysclk(o.sysclk, &sysclk)) {
    err->message = "--sysclk: expected XA or RO, not \"" + o.sysclk + "\"";
    return false;
  }
  std::string dsp_path = o.dsp_program;
  if (dsp_path.empty()) {
    const char *env = std::getenv("KOVA_DSP_PROGRAM");
    if (env && *env) dsp_path = env;
  }
  if (!dsp_path.empty()) {
    std::string why;
    if (!dsp_program_load_file(dsp_path.c_str(), &why)) {
      err->message = "--dsp-program: " + why;
      return false;
    }
  }

  if (!o.config_file.empty()) {
    // A blank object holds what the file gives; mode 3 then validates it on a fresh image.
    hal->init_api_mode_e = init_api_blank_e;
    init_api(hal);
    file_message_s msg;
    std::string detail;
    const bool loaded = hal_config_load_file(hal, o.config_file.c_str(), &msg, &detail);
    if (!loaded) {
      std::string why = detail.empty() ? msg.text : detail;
      if (why.empty()) why = o.config_file + ": no register lines: not a configuration file";
      for (char &c : why)
        if (c == '\n') c = ' ';
      err->message = "--config: " + why;
      return false;
    }
    hal->init_api_mode_e = init_api_after_load_e;
    init_api(hal);
  } else {
    hal->kova_device_e = device;
    hal->kova_device_rev_e = o.rev;
    hal->kova_mode_e = mode;
    hal->xa_mode_e = xa;
    hal->sysclk_mode_e = sysclk;
    hal->jitter_mode_e = jitter_mode_rj_e;
    hal->init_api_mode_e = init_api_full_e;
    init_api(hal);
  }

  // Frequencies as typed, before --set so that a field set by name has the last word.
  struct typed_s {
    const std::string *text;
    const char *option;
    fprec_s *field;
    uint32_t *enable;
  } typed[] = {
      {&o.xa, "--xa", &hal->xa_freq_s, nullptr},
      {&o.ic[0], "--ic1", &hal->ic1_freq_s, &hal->icen_ic1en_u1},
      {&o.ic[1], "--ic2", &hal->ic2_freq_s, &hal->icen_ic2en_u1},
      {&o.ic[2], "--ic3", &hal->ic3_freq_s, &hal->icen_ic3en_u1},
      {&o.oc[0], "--oc1", &hal->oc1_freq_s, nullptr},
      {&o.oc[1], "--oc2", &hal->oc2_freq_s, nullptr},
      {&o.oc[2], "--oc3", &hal->oc3_freq_s, nullptr},
  };
  for (const auto &t : typed) {
    if (t.text->empty()) continue;
    std::string why;
    if (!parse_typed_frequency(*t.text, t.field, &why)) {
      err->message = std::string(t.option) + ": \"" + *t.text + "\": " + why;
      return false;
    }
    if (t.enable) *t.enable = t.field->f != 0 ? 1 : 0;
  }

  for (const std::string &s : o.sets) {
    const size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0) {
      err->message = "--set: expected FIELD=VALUE, not \"" + s + "\"";
      return false;
    }
    const std::string name = s.substr(0, eq);
    const hal_field_s *f = hal_api_field_find(name.c_str());
    if (!f || f->kind == hal_field_ptr_e) {
      err->message = "--set: unknown field \"" + name + "\"";
      return false;
    }
    std::string why;
    if (!hal_field_set_text(hal, f, s.c_str() + eq + 1, &why)) {
      err->message = "--set: " + why;
      return false;
    }
  }
  return true;
}
