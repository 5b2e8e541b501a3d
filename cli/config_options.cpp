#include "cli/config_options.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/freq_entry.h"
#include "cli/commands.h"
#include "cli/report.h"
#include "files/hal_config_file.h"
#include "hal/dsp_program.h"
#include "hal/hal_fields.h"

std::string cli_upper(std::string s) {
  for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

namespace {

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
  std::string t = cli_upper(text);
  if (t.rfind("KX", 0) == 0) t = t.substr(2);
  int v = 0;
  if (!parse_small_int(t, 0, 99999, &v) || !kova_device_valid(v)) return false;
  *device = v;
  return true;
}

bool parse_mode(const std::string &text, int32_t *mode) {
  const std::string t = cli_upper(text);
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
  const std::string t = cli_upper(text);
  if (t == "XA" || t == "0") *sysclk = sysclk_mode_xa_e;
  else if (t == "RO" || t == "1") *sysclk = sysclk_mode_ro_e;
  else return false;
  return true;
}

}  // namespace

namespace {

// A plain decimal number as a person types it: digits with at most one point and an
// optional exponent ("19.44", "125e6"). Hexadecimal, blanks, signs, "inf" and "nan" are not.
bool plain_decimal(const std::string &t) {
  size_t i = 0, digits = 0;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    const size_t e = i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
    if (i == e) return false;
  }
  return i == t.size();
}

bool all_zero_digits(const std::string &t) {
  for (char c : t) {
    if (c == 'e' || c == 'E') break;
    if (c != '0' && c != '.') return false;
  }
  return true;
}

using u128 = unsigned __int128;

// Exact value of a plain decimal number times 10^shift, as a reduced ratio p / q. False
// when it does not fit 64 bits.
bool decimal_ratio(const std::string &t, int shift, uint64_t *p, uint64_t *q) {
  u128 mant = 0;
  int exp = shift;
  size_t i = 0;
  bool point = false;
  for (; i < t.size() && t[i] != 'e' && t[i] != 'E'; ++i) {
    if (t[i] == '.') {
      point = true;
      continue;
    }
    if (mant > (u128(1) << 100)) return false;  // more digits than any frequency needs
    mant = mant * 10 + static_cast<unsigned>(t[i] - '0');
    if (point) --exp;
  }
  if (i < t.size()) {
    const std::string e = t.substr(i + 1);
    if (e.size() > 4) return false;
    exp += std::atoi(e.c_str());
  }
  if (mant == 0) {
    *p = 0;
    *q = 1;
    return true;
  }
  u128 num = mant, den = 1;
  for (; exp > 0; --exp) {
    num *= 10;
    if (num > UINT64_MAX) return false;
  }
  for (; exp < 0; ++exp) {
    den *= 10;
    if (den > (u128(1) << 100)) return false;
  }
  u128 a = num, b = den;
  while (b) {
    const u128 r = a % b;
    a = b;
    b = r;
  }
  if (a > 1) num /= a, den /= a;
  if (num > UINT64_MAX || den > UINT64_MAX) return false;
  *p = static_cast<uint64_t>(num);
  *q = static_cast<uint64_t>(den);
  return true;
}

// p / q Hz as a record {f, n, m} with 32-bit words: p split into f x n when it is larger.
bool ratio_record(uint64_t p, uint64_t q, fprec_s *out) {
  if (q > UINT32_MAX) return false;
  if (p <= UINT32_MAX) {
    set_fprec_s(out, static_cast<uint32_t>(p), 1, static_cast<uint32_t>(q));
    return true;
  }
  for (uint64_t n = (p + UINT32_MAX - 1) / UINT32_MAX; n <= UINT32_MAX && n < 1000000; ++n)
    if (p % n == 0 && p / n <= UINT32_MAX) {
      set_fprec_s(out, static_cast<uint32_t>(p / n), static_cast<uint32_t>(n), static_cast<uint32_t>(q));
      return true;
    }
  return false;
}

}  // namespace

bool parse_typed_frequency(const std::string &text, fprec_s *out, std::string *why) {
  const size_t c1 = text.find(':');
  const std::string base = text.substr(0, c1);
  if (!plain_decimal(base)) {
    *why = c1 == std::string::npos ? "expected MHz as a decimal number (such as 156.25), or BASE_MHZ:NUMERATOR[:DENOMINATOR]"
                                   : "the base must be MHz as a decimal number";
    return false;
  }
  fprec_s v{0, 1, 1};
  if (c1 == std::string::npos) {
    if (!frequency_from_mhz_text(text, &v)) {
      *why = "expected MHz from 0 to 4294.967295, or BASE_MHZ:NUMERATOR[:DENOMINATOR]";
      return false;
    }
  } else {
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
    if (!freq_calc_set_base(&calc, base)) {
      *why = "the base must be MHz from 0 to 100000";
      return false;
    }
    set_fprec_s(&v, calc.base_hz, calc.numerator, calc.denominator);
  }
  // 0 means "not used"; anything else that comes out as 0 Hz was a typing slip.
  if (v.f == 0 && !all_zero_digits(base)) {
    *why = "rounds to 0 Hz (frequencies are MHz; write 0 for an unused clock)";
    return false;
  }
  *out = v;
  return true;
}

int parse_frequency_with_unit(const std::string &text, fprec_s *out, std::string *why) {
  struct unit_s {
    const char *name;
    int shift;
  };
  // Longest first, so that "MHz" is not read as "Hz".
  constexpr unit_s kUnits[] = {{"GHZ", 9}, {"MHZ", 6}, {"KHZ", 3}, {"HZ", 0}};
  const std::string u = cli_upper(text);
  for (const auto &unit : kUnits) {
    const size_t len = std::strlen(unit.name);
    if (u.size() < len || u.compare(u.size() - len, len, unit.name) != 0) continue;
    std::string number = text.substr(0, text.size() - len);
    while (!number.empty() && number.back() == ' ') number.pop_back();
    uint64_t p = 0, q = 1;
    if (!plain_decimal(number)) {
      *why = "\"" + text + "\": expected a decimal number before the unit (such as 19.44MHz)";
      return -1;
    }
    if (!decimal_ratio(number, unit.shift, &p, &q) || !ratio_record(p, q, out)) {
      *why = "\"" + text + "\": cannot be held exactly as a frequency (F x N / M Hz with 32-bit words)";
      return -1;
    }
    if (p == 0 && !all_zero_digits(number)) {
      *why = "\"" + text + "\": rounds to 0 Hz";
      return -1;
    }
    return 1;
  }
  return 0;
}

void add_config_change_options(CLI::App *cmd, config_options_s *o) {
  // A frequency option given blank is refused, not read as "not used".
  const CLI::Validator not_blank(
      [](std::string &s) { return s.empty() ? std::string("a frequency, not blank (0 for an unused clock)") : std::string(); },
      "");
  cmd->add_option("--xa", o->xa, "XA frequency in MHz (such as 114.285), or BASE_MHZ:NUMERATOR[:DENOMINATOR]")
      ->check(not_blank);
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i + 1);
    cmd->add_option("--ic" + n, o->ic[i], "IC" + n + " frequency in MHz (enables the input), or BASE_MHZ:NUM[:DEN]")
        ->check(not_blank);
    cmd->add_option("--oc" + n, o->oc[i], "OC" + n + " frequency in MHz, or BASE_MHZ:NUM[:DEN]")->check(not_blank);
  }
  cmd->add_option("--set", o->sets, "FIELD=VALUE: set any configuration field after initialisation "
                                    "(integers decimal or 0x hex; frequencies in Hz: F or F,N,M meaning F x N / M Hz, "
                                    "or with a unit: 100MHz, 19.44MHz, 125e6Hz)");
  cmd->add_option("--dsp-program", o->dsp_program,
                  "File holding the 320-word DSP program (default: $KOVA_DSP_PROGRAM, else the built-in copy)");
}

void add_config_options(CLI::App *cmd, config_options_s *o) {
  cmd->add_option("--device", o->device,
                  "Device: 40000, 40075, 40089, 40110, 40111, 40112, 40113 (KX prefix allowed; default: the "
                  "board's chip for apply, else 40089)");
  cmd->add_option("--rev", o->rev, "Device revision, 0 or 1 (default: the board's chip for apply, else 0)");
  cmd->add_option("--mode", o->mode, "Operating mode: SYN, NCO, SS or JA")->capture_default_str();
  cmd->add_option("--xa-mode", o->xa_mode,
                  "XA pins: 0 disabled, 1 XO, 2 TCXO, 3 XTAL, 4 XTAL doubled, 5 XO doubled, 6 TCXO doubled (default 1)");
  cmd->add_option("--sysclk", o->sysclk, "System clock: XA or RO (default RO in SYN, XA otherwise)");
  auto *cfg = cmd->add_option("--config", o->config_file, "Start from a configuration text file (as kovacfg save writes it)");
  for (const char *opt : {"--device", "--rev", "--mode", "--xa-mode", "--sysclk"}) cfg->excludes(opt);
  add_config_change_options(cmd, o);
}

namespace {

// The device code the engine keeps in the upper four bits of ID2 (0x031), as init_api
// writes it for a device.
uint32_t id2_device_code(int32_t device) {
  hal_api_s s{};
  s.kova_device_e = device;
  s.kova_mode_e = kova_mode_syn_e;
  s.xa_mode_e = xa_mode_xo_e;
  s.sysclk_mode_e = sysclk_mode_ro_e;
  s.init_api_mode_e = init_api_full_e;
  init_api(&s);
  const uint32_t code = get_reg(&s, 0x031) >> 4;
  delete_api(&s);
  return code;
}

}  // namespace

bool config_initialise(const config_options_s &o, hal_api_s *hal, option_error_s *err) {
  int32_t device = 0, mode = 0, sysclk = 0;
  int xa = xa_mode_xo_e;
  const std::string device_text = o.device.empty() ? kDefaultDevice : o.device;
  if (!parse_device(device_text, &device)) {
    err->message = "--device: unknown device \"" + o.device + "\" (known: 40000, 40075, 40089, 40110, 40111, 40112, 40113)";
    return false;
  }
  if (o.rev < -1 || o.rev > 1) {
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
    err->asked_mode = hal->kova_mode_e;
    err->asked_xa_mode = hal->xa_mode_e;
    err->asked_sysclk = hal->sysclk_mode_e;
    hal->init_api_mode_e = init_api_after_load_e;
    init_api(hal);
    // The file's ID2 holds the application's product index; the image holds the engine's
    // device code there, as it does for a configuration stated on the command line.
    put_reg(hal, 0x031, (get_reg(hal, 0x031) & 0x0Fu) | id2_device_code(hal->kova_device_e) << 4);
  } else {
    err->asked_mode = mode;
    err->asked_xa_mode = xa;
    err->asked_sysclk = sysclk;
    hal->kova_device_e = device;
    hal->kova_device_rev_e = o.rev < 0 ? 0 : o.rev;
    hal->kova_mode_e = mode;
    hal->xa_mode_e = xa;
    hal->sysclk_mode_e = sysclk;
    hal->jitter_mode_e = jitter_mode_rj_e;
    hal->init_api_mode_e = init_api_full_e;
    init_api(hal);
  }
  // The image stands for the chip, which holds its revision in ID2's low four bits.
  put_reg(hal, 0x031, (get_reg(hal, 0x031) & 0xF0u) | (static_cast<uint32_t>(hal->kova_device_rev_e) & 0x0Fu));

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
    const std::string name = s.substr(0, eq), value = s.substr(eq + 1);
    const hal_field_s *f = hal_api_field_find(name.c_str());
    if (!f || f->kind == hal_field_ptr_e) {
      err->message = "--set: unknown field \"" + name + "\"";
      return false;
    }
    std::string why;
    fprec_s v{};
    const int unit = hal_field_is_frequency(f) ? parse_frequency_with_unit(value, &v, &why) : 0;
    if (unit < 0) {
      err->message = "--set: " + name + ": " + why;
      return false;
    }
    if (unit > 0) {
      *static_cast<fprec_s *>(hal_field_ptr(hal, f)) = v;
    } else if (!hal_field_set_text(hal, f, value.c_str(), &why)) {
      err->message = "--set: " + why;
      return false;
    } else if (f->kind == hal_field_fprec_e) {
      v = *static_cast<const fprec_s *>(hal_field_ptr(hal, f));
      // --set takes hertz where the frequency options take MHz: a clock below 1 kHz was
      // most likely meant in MHz.
      const double hz = fprec_s_2_double_mhz(v) * 1e6;
      if (err->warn && hz > 0 && hz < 1000 && hal_field_is_frequency(f))
        std::fprintf(stderr, "kovacfg: warning: --set %s is %.6g Hz: --set takes hertz (write %sMHz for megahertz)\n",
                     s.c_str(), hz, plain_decimal(value) ? value.c_str() : "F");
    }
  }
  return true;
}

std::string config_modes_text(const hal_api_s *h, const option_error_s *asked) {
  const char *mode = kova_mode_label(h->kova_mode_e);
  const char *xa = xa_mode_label(h->xa_mode_e);
  const char *sys = sysclk_mode_label(h->sysclk_mode_e);
  std::string t = std::string(mode ? mode : "?");
  if (asked && asked->asked_mode >= 0 && asked->asked_mode != h->kova_mode_e) {
    const char *a = kova_mode_label(asked->asked_mode);
    t += std::string(" (init changed it from ") + (a ? a : std::to_string(asked->asked_mode).c_str()) + ")";
  }
  t += ", XA mode " + std::to_string(h->xa_mode_e) + " (" + (xa ? xa : "?") + ")";
  if (asked && asked->asked_xa_mode >= 0 && asked->asked_xa_mode != h->xa_mode_e) {
    const char *a = xa_mode_label(asked->asked_xa_mode);
    t += " (init changed it from " + std::to_string(asked->asked_xa_mode) + ", " + (a ? a : "?") + ")";
  }
  t += std::string(", system clock ") + (sys ? sys : "?");
  if (asked && asked->asked_sysclk >= 0 && asked->asked_sysclk != h->sysclk_mode_e) {
    const char *a = sysclk_mode_label(asked->asked_sysclk);
    t += std::string(" (init changed it from ") + (a ? a : "?") + ")";
  }
  return t;
}
