// kovacfg inverse: the configuration a register image programs. Reads the image (2048
// hexadecimal bytes, the "registers" array of `kovacfg plan --json`, or a register dump),
// takes one known clock frequency, rebuilds the configuration (init_api mode 1, inverse_cfg,
// init_api mode 2) and prints it.
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/report.h"
#include "files/register_dump.h"
#include "hal/hal_fields.h"
#include "regs/inverse_cfg.h"

namespace {

struct inverse_opts_s {
  std::string image;
  std::vector<std::string> known;
  std::string device;
  int rev = -1;
  bool json = false;
};

// The clocks a known frequency may be given for, by field and by clock name.
constexpr const char *kClockFields[][2] = {{"xa_freq_s", "XA"},   {"ic1_freq_s", "IC1"}, {"ic2_freq_s", "IC2"},
                                           {"ic3_freq_s", "IC3"}, {"oc1_freq_s", "OC1"}, {"oc2_freq_s", "OC2"},
                                           {"oc3_freq_s", "OC3"}};

std::string upper(std::string s) {
  for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string &s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// One register byte written in hexadecimal, with or without 0x.
bool parse_hex_byte(std::string t, uint32_t *out) {
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
  if (t.empty() || t.size() > 2) return false;
  for (char c : t)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  *out = static_cast<uint32_t>(std::stoul(t, nullptr, 16));
  return true;
}

bool load_json(const std::string &text, std::vector<uint32_t> *bytes, std::string *why) {
  nlohmann::json j;
  try {
    j = nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception &) {
    *why = "not valid JSON";
    return false;
  }
  if (j.is_object()) {
    if (!j.contains("registers")) {
      *why = "the JSON object has no \"registers\" array";
      return false;
    }
    j = j["registers"];
  }
  if (!j.is_array() || j.size() != KOVA_REG_COUNT) {
    *why = "\"registers\" must be an array of " + std::to_string(KOVA_REG_COUNT) + " bytes";
    return false;
  }
  for (size_t i = 0; i < j.size(); ++i) {
    uint32_t v = 0;
    const auto &e = j[i];
    const bool ok = (e.is_number_unsigned() && e.get<uint64_t>() <= 255 && ((v = e.get<uint32_t>()), true)) ||
                    (e.is_string() && parse_hex_byte(e.get<std::string>(), &v));
    if (!ok) {
      *why = "register " + std::to_string(i) + " is not a byte";
      return false;
    }
    bytes->push_back(v);
  }
  return true;
}

bool load_plain(const std::string &text, std::vector<uint32_t> *bytes, std::string *why) {
  std::string t = text;
  for (char &c : t)
    if (c == ',') c = ' ';
  std::istringstream in(t);
  std::string tok;
  while (in >> tok) {
    uint32_t v = 0;
    if (!parse_hex_byte(tok, &v)) {
      *why = "\"" + tok + "\" is not a hexadecimal byte";
      return false;
    }
    bytes->push_back(v);
  }
  if (bytes->size() != KOVA_REG_COUNT) {
    *why = "expected " + std::to_string(KOVA_REG_COUNT) + " hexadecimal bytes, found " + std::to_string(bytes->size());
    return false;
  }
  return true;
}

// A register dump has comment lines (";") and rows that begin with their address ("0100:").
bool looks_like_dump(const std::string &text) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const std::string l = trim(line);
    if (l.empty()) continue;
    if (l[0] == ';') return true;
    const size_t sp = l.find_first_of(" \t");
    if (l.substr(0, sp).back() == ':') return true;
  }
  return false;
}

// Loads the image into the blank object. False with *why (naming the file) when it cannot.
bool load_image(const std::string &path, hal_api_s *hal, std::string *why) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    *why = path + ": cannot read the file";
    return false;
  }
  std::stringstream ss;
  ss << f.rdbuf();
  const std::string text = ss.str();
  const std::string t = trim(text);
  std::vector<uint32_t> bytes;
  std::string reason;
  if (!t.empty() && (t[0] == '{' || t[0] == '[')) {
    if (!load_json(text, &bytes, &reason)) {
      *why = path + ": " + reason;
      return false;
    }
  } else if (looks_like_dump(text)) {
    std::vector<uint32_t> dsp;
    file_message_s msg;
    if (!register_dump_load(hal, path.c_str(), &dsp, &msg)) {
      *why = path + ": " + (msg.text.empty() ? std::string("not a register dump") : msg.text);
      return false;
    }
    return true;
  } else if (!load_plain(text, &bytes, &reason)) {
    *why = path + ": " + reason;
    return false;
  }
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) put_reg(hal, a, bytes[a]);
  return true;
}

bool parse_device(const std::string &text, int32_t *device) {
  std::string t = upper(text);
  if (t.rfind("KX", 0) == 0) t = t.substr(2);
  if (t.empty() || t.size() > 5 || t.find_first_not_of("0123456789") != std::string::npos) return false;
  const int32_t v = std::stoi(t);
  if (!kova_device_valid(v)) return false;
  *device = v;
  return true;
}

// --known FIELD=VALUE: a clock field (or its clock name) and its frequency in Hz ("F" or "F,N,M").
bool apply_known(const std::string &text, hal_api_s *hal, std::string *why) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) {
    *why = "--known: expected FIELD=HZ, not \"" + text + "\"";
    return false;
  }
  const std::string name = text.substr(0, eq);
  const char *field = nullptr;
  for (const auto &c : kClockFields)
    if (name == c[0] || upper(name) == c[1]) field = c[0];
  if (!field) {
    *why = "--known: \"" + name +
           "\" is not a clock (xa_freq_s, ic1_freq_s .. ic3_freq_s, oc1_freq_s .. oc3_freq_s, or XA, IC1 .. OC3)";
    return false;
  }
  std::string err;
  if (!hal_field_set_text(hal, hal_api_field_find(field), text.c_str() + eq + 1, &err)) {
    *why = "--known: " + err;
    return false;
  }
  return true;
}

void line(const char *label, const std::string &value) { std::printf("  %-24s %s\n", label, value.c_str()); }

std::string field(const hal_api_s *hal, const char *name) { return field_text(hal, hal_api_field_find(name)); }

void print_fields(const hal_api_s *hal, std::initializer_list<const char *> names) {
  for (const char *n : names) line(n, field(hal, n));
}

bool used(fprec_s f) { return f.f != 0 && f.n != 0 && f.m != 0; }

void print_configuration(const hal_api_s *h) {
  const char *mode = kova_mode_label(h->kova_mode_e);
  const char *xa = xa_mode_label(h->xa_mode_e);
  const char *sys = sysclk_mode_label(h->sysclk_mode_e);
  std::printf("Device:        KX%d revision %d\n", h->kova_device_e, h->kova_device_rev_e);
  std::printf("Mode:          %s, XA mode %d (%s), system clock %s\n", mode ? mode : "?", h->xa_mode_e, xa ? xa : "?",
              sys ? sys : "?");
  std::printf("Frequencies:\n");
  print_fields(h, {"xa_freq_s"});
  const char *ic[3][4] = {{"ic1_freq_s", "ic1_hsdiv_u8", "ic1_div_u32", "icen_ic1en_u1"},
                          {"ic2_freq_s", "ic2_hsdiv_u8", "ic2_div_u32", "icen_ic2en_u1"},
                          {"ic3_freq_s", "ic3_hsdiv_u8", "ic3_div_u32", "icen_ic3en_u1"}};
  const fprec_s icf[3] = {h->ic1_freq_s, h->ic2_freq_s, h->ic3_freq_s};
  for (int n = 0; n < 3; ++n)
    if (used(icf[n])) {
      line(ic[n][0], field(h, ic[n][0]));
      std::printf("  %-24s HSDIV %s, DIV %s\n", "", field(h, ic[n][1]).c_str(), field(h, ic[n][2]).c_str());
    }
  print_fields(h, {"apll_input_freq_s", "vco_freq_s", "vco_hsdiv1x2_u8", "vco_hsdiv2x2_u8"});
  const fprec_s ocf[3] = {h->oc1_freq_s, h->oc2_freq_s, h->oc3_freq_s};
  const char *oc[3][7] = {
      {"oc1_freq_s", "oc1cr3_divsel_u1", "oc1_msdiv_u8", "oc1_lsdiv_u32", "oc1_neg_lsdiv_u32", "oc1_pw_ns_u16", "oc1_align_nsx10_u16"},
      {"oc2_freq_s", "oc2cr3_divsel_u1", "oc2_msdiv_u8", "oc2_lsdiv_u32", "oc2_neg_lsdiv_u32", "oc2_pw_ns_u16", "oc2_align_nsx10_u16"},
      {"oc3_freq_s", "oc3cr3_divsel_u1", "oc3_msdiv_u8", "oc3_lsdiv_u32", "oc3_neg_lsdiv_u32", "oc3_pw_ns_u16", "oc3_align_nsx10_u16"}};
  const uint32_t align[3] = {h->oc1_align_en, h->oc2_align_en, h->oc3_align_en};
  for (int k = 0; k < 3; ++k) {
    if (!used(ocf[k])) {
      std::printf("  OC%d                      not used\n", k + 1);
      continue;
    }
    line(oc[k][0], field(h, oc[k][0]));
    std::printf("  %-24s HSDIV%d, MSDIV %s, LSDIV %s, OCN LSDIV %s, pulse width %s ns", "",
                field(h, oc[k][1]) == "1" ? 2 : 1, field(h, oc[k][2]).c_str(), field(h, oc[k][3]).c_str(),
                field(h, oc[k][4]).c_str(), field(h, oc[k][5]).c_str());
    if (align[k]) std::printf(", aligned at %s x 0.1 ns", field(h, oc[k][6]).c_str());
    std::printf("\n");
  }
  std::printf("Settings:\n");
  print_fields(h, {"oc_solver_mode_e", "auto_apll_disable", "apll_afbdiv_fbits_u8", "apllcr1_aidiv_u2"});
  if (h->kova_mode_e == kova_mode_ss_e) print_fields(h, {"ss_mode_e", "ss_pctx10", "ss_mod_hz", "ss_cnt_u16"});
  if (h->kova_mode_e == kova_mode_nco_e || h->kova_mode_e == kova_mode_ss_e) print_fields(h, {"dco_freq_s"});
  if (h->kova_mode_e != kova_mode_ja_e) return;
  print_fields(h, {"dco_freq_s", "pfd_freq_s", "pfd_div_u16", "dsp_rate_hz_u32", "dcofb_div_u32", "dpll_mode_e",
                   "ho_mode_e", "hitless_mode_e", "dpll_bw_hz", "dpll_df", "phlkto_ms", "lkato_ms", "lolthr_ns",
                   "lolset_us", "lolclr_us", "hoavgto_us", "howaitto_us", "pfixavgto_us", "man_phoff_ps",
                   "pslim_ns_sec", "hofd_ppb_sec", "fchlim_ppb_sec", "fqhlim_ppb"});
  for (int n = 1; n <= 3; ++n) {
    if (!used(icf[n - 1])) continue;
    char name[6][32];
    const char *what[6] = {"mode_e", "ppm_mode_e", "extlos_e", "thr_ppm", "thr2_ppm", "valwait_ms"};
    std::string text;
    for (int i = 0; i < 6; ++i) {
      std::snprintf(name[i], sizeof name[i], "ic%d_mon_%s", n, what[i]);
      text += std::string(i ? ", " : "") + what[i] + " " + field(h, name[i]);
    }
    char label[32];
    std::snprintf(label, sizeof label, "IC%d monitor", n);
    line(label, text);
  }
}

int run_inverse(const inverse_opts_s &o) {
  hal_api_s hal{};
  hal.init_api_mode_e = init_api_blank_e;
  init_api(&hal);
  std::string why;
  int32_t device = 0;
  if (!o.device.empty() && !parse_device(o.device, &device)) why = "--device: unknown device \"" + o.device + "\"";
  if (why.empty() && o.rev != -1 && o.rev != 0 && o.rev != 1)
    why = "--rev: revision must be 0 or 1, not " + std::to_string(o.rev);
  // The options first, then the file; the known frequencies go in after the image, whose
  // comments (a dump's) may state frequencies of their own.
  hal_api_s options{};
  for (size_t i = 0; why.empty() && i < o.known.size(); ++i) apply_known(o.known[i], &options, &why);
  if (why.empty()) load_image(o.image, &hal, &why);
  for (size_t i = 0; why.empty() && i < o.known.size(); ++i) apply_known(o.known[i], &hal, &why);
  if (!why.empty()) {
    delete_api(&hal);
    return cli_bad_options(why);
  }
  if (device != 0) hal.kova_device_e = device;
  // The revision lives in the low four bits of ID2, as a chip holds it.
  if (o.rev != -1) put_reg(&hal, 0x031, (get_reg(&hal, 0x031) & 0xF0u) | static_cast<uint32_t>(o.rev));

  const int32_t rc = inverse_cfg(&hal);
  std::vector<std::string> msgs = drain_messages(&hal);
  if (rc == 0) {
    hal.init_api_mode_e = init_api_after_inverse_e;
    init_api(&hal);
    for (auto &m : drain_messages(&hal)) msgs.push_back(std::move(m));
  }
  const bool failed = rc != 0 || messages_failed(msgs);
  if (o.json) {
    cli_print_json(&hal, msgs);
  } else {
    if (rc == 0) print_configuration(&hal);
    cli_print_messages(msgs);
  }
  delete_api(&hal);
  return failed ? kExitEngineError : kExitOk;
}

void add_inverse(CLI::App &app, int *exit_status) {
  static inverse_opts_s opts;
  CLI::App *cmd = app.add_subcommand(
      "inverse", "Derive the configuration a register image programs, from one known clock frequency");
  cmd->add_option("image", opts.image,
                  "Register image: 2048 hexadecimal bytes, the JSON of `kovacfg plan --json` (its \"registers\"), "
                  "or a register dump")
      ->required();
  cmd->add_option("--known", opts.known,
                  "FIELD=HZ: a clock frequency known on the chip (xa_freq_s, ic1_freq_s .. oc3_freq_s or XA, "
                  "IC1 .. OC3; F or F,N,M)");
  cmd->add_option("--device", opts.device, "Device, when the ID registers do not name it (KX40000)");
  cmd->add_option("--rev", opts.rev, "Device revision, when the ID register (0x031) does not hold it");
  cmd->add_flag("--json", opts.json, "Print one JSON object: ok, messages and every field");
  cmd->callback([exit_status] { *exit_status = run_inverse(opts); });
}

}  // namespace

KOVACFG_COMMAND(add_inverse, 40);
