#include "cli/inverse_report.h"

#include <cctype>
#include <cstdio>

#include "cli/commands.h"
#include "cli/config_options.h"
#include "cli/report.h"
#include "hal/hal_fields.h"
#include "regs/inverse_cfg.h"

namespace {

// The clocks a known frequency may be given for, by field and by clock name.
constexpr const char *kClockFields[][2] = {{"xa_freq_s", "XA"},   {"ic1_freq_s", "IC1"}, {"ic2_freq_s", "IC2"},
                                           {"ic3_freq_s", "IC3"}, {"oc1_freq_s", "OC1"}, {"oc2_freq_s", "OC2"},
                                           {"oc3_freq_s", "OC3"}};

void line(const char *label, const std::string &value) { std::printf("  %-24s %s\n", label, value.c_str()); }

std::string field(const hal_api_s *hal, const char *name) { return field_text(hal, hal_api_field_find(name)); }

void print_fields(const hal_api_s *hal, std::initializer_list<const char *> names) {
  for (const char *n : names) line(n, field(hal, n));
}

bool used(fprec_s f) { return f.f != 0 && f.n != 0 && f.m != 0; }

}  // namespace

// --known FIELD=VALUE: a clock field (or its clock name) and its frequency in Hz ("F" or "F,N,M").
bool cli_apply_known(const std::string &text, hal_api_s *hal, std::string *why) {
  const size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) {
    *why = "--known: expected FIELD=HZ, not \"" + text + "\"";
    return false;
  }
  const std::string name = text.substr(0, eq);
  const char *field = nullptr;
  for (const auto &c : kClockFields)
    if (name == c[0] || cli_upper(name) == c[1]) field = c[0];
  if (!field) {
    *why = "--known: \"" + name +
           "\" is not a clock (xa_freq_s, ic1_freq_s .. ic3_freq_s, oc1_freq_s .. oc3_freq_s, or XA, IC1 .. OC3)";
    return false;
  }
  std::string err;
  const hal_field_s *f = hal_api_field_find(field);
  fprec_s v{};
  const int unit = parse_frequency_with_unit(text.substr(eq + 1), &v, &err);
  if (unit < 0) {
    *why = "--known: " + name + ": " + err;
    return false;
  }
  if (unit > 0) {
    *static_cast<fprec_s *>(hal_field_ptr(hal, f)) = v;
    return true;
  }
  if (!hal_field_set_text(hal, f, text.c_str() + eq + 1, &err)) {
    *why = "--known: " + err;
    return false;
  }
  return true;
}

void cli_print_configuration(const hal_api_s *h) {
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

int cli_derive_and_report(hal_api_s *hal, bool json, bool no_known) {
  const int32_t rc = inverse_cfg(hal);
  std::vector<std::string> msgs = drain_messages(hal);
  if (rc == 0) {
    hal->init_api_mode_e = init_api_after_inverse_e;
    init_api(hal);
    for (auto &m : drain_messages(hal)) msgs.push_back(std::move(m));
  }
  const bool failed = rc != 0 || messages_failed(msgs);
  bool lacks_frequency = false;
  for (const auto &m : msgs) lacks_frequency = lacks_frequency || m.find("no input or output frequency") != std::string::npos;
  if (failed && no_known && lacks_frequency)
    msgs.push_back("Give one clock frequency the chip runs at with --known, such as --known IC1=19.44MHz or "
                   "--known OC1=156250000");
  if (json) {
    cli_print_json(hal, msgs, !failed);
  } else {
    if (rc == 0) cli_print_configuration(hal);
    cli_print_messages(msgs);
  }
  return failed ? kExitEngineError : kExitOk;
}
