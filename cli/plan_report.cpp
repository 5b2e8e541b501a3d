#include "cli/plan_report.h"

#include <cinttypes>
#include <cstdio>

#include "cli/commands.h"
#include "cli/report.h"
#include "regs/regmap.h"

namespace {

void freq(const char *label, fprec_s v) {
  std::printf("  %-14s %.12g MHz (f=%" PRIu32 " n=%" PRIu32 " m=%" PRIu32 ")\n", label, fprec_s_2_double_mhz(v), v.f, v.n, v.m);
}

bool is_set(fprec_s v) { return v.f != 0 && v.n != 0 && v.m != 0; }

struct oc_view_s {
  fprec_s req, lsdiv_freq, msdiv_freq, n_freq;
  uint32_t divsel, msdiv, lsdiv, lssel, en;
  // The output runs from the LSDIV when LSSEL is set, else straight from the MSDIV.
  fprec_s achieved() const { return lssel ? lsdiv_freq : msdiv_freq; }
};

oc_view_s oc_view(const hal_api_s *h, int i) {
  switch (i) {
    case 0: return {h->oc1_freq_s, h->oc1_lsdiv_freq_s, h->oc1_msdiv_freq_s, h->oc1n_freq_s, h->oc1cr3_divsel_u1, h->oc1_msdiv_u8, h->oc1_lsdiv_u32, h->oc1cr3_lssel_u1, h->ocen_oc1en_u1};
    case 1: return {h->oc2_freq_s, h->oc2_lsdiv_freq_s, h->oc2_msdiv_freq_s, h->oc2n_freq_s, h->oc2cr3_divsel_u1, h->oc2_msdiv_u8, h->oc2_lsdiv_u32, h->oc2cr3_lssel_u1, h->ocen_oc2en_u1};
    default: return {h->oc3_freq_s, h->oc3_lsdiv_freq_s, h->oc3_msdiv_freq_s, h->oc3n_freq_s, h->oc3cr3_divsel_u1, h->oc3_msdiv_u8, h->oc3_lsdiv_u32, h->oc3cr3_lssel_u1, h->ocen_oc3en_u1};
  }
}

}  // namespace

void print_plan_text(const hal_api_s *h, const option_error_s *asked) {
  std::printf("Device:        KX%d revision %d\n", h->kova_device_e, h->kova_device_rev_e);
  std::printf("Mode:          %s\n", config_modes_text(h, asked).c_str());
  std::printf("Frequency plan:\n");
  freq("XA", h->xa_freq_s);
  if (is_set(h->apll_input_freq_s)) freq("APLL input", h->apll_input_freq_s);
  if (is_set(h->apll_fbdiv_s)) {
    // A divider ratio, not a frequency.
    const fprec_s d = h->apll_fbdiv_s;
    std::printf("  %-14s %.12g (f=%" PRIu32 " n=%" PRIu32 " m=%" PRIu32 ")\n", "APLL feedback",
                static_cast<double>(d.f) * d.n / d.m, d.f, d.n, d.m);
  }
  freq("VCO", h->vco_freq_s);
  std::printf("  %-14s x2 = %" PRIu32 " -> %.12g MHz\n", "HSDIV1", h->vco_hsdiv1x2_u8, fprec_s_2_double_mhz(h->hsdiv1_freq_s));
  if (h->vco_hsdiv2x2_u8)
    std::printf("  %-14s x2 = %" PRIu32 " -> %.12g MHz\n", "HSDIV2", h->vco_hsdiv2x2_u8, fprec_s_2_double_mhz(h->hsdiv2_freq_s));
  for (int i = 0; i < 3; ++i) {
    const oc_view_s o = oc_view(h, i);
    if (!is_set(o.req)) {
      std::printf("  OC%d            not used\n", i + 1);
      continue;
    }
    const fprec_s achieved = o.achieved();
    const bool exact = fprec_compare(o.req, achieved) == 0;
    std::printf("  OC%d            %.12g MHz from HSDIV%u, MSDIV %" PRIu32 ", LSDIV %" PRIu32 "%s -> %.12g MHz%s\n", i + 1,
                fprec_s_2_double_mhz(o.req), o.divsel + 1, o.msdiv, o.lsdiv, o.lssel ? " (in use)" : "",
                fprec_s_2_double_mhz(achieved), exact ? " exact" : " NOT EXACT");
    if (is_set(o.n_freq) && fprec_compare(o.n_freq, achieved) != 0)
      std::printf("  OC%dN           %.12g MHz\n", i + 1, fprec_s_2_double_mhz(o.n_freq));
  }
  if (h->kova_mode_e == kova_mode_ja_e) {
    const fprec_s ic[3] = {h->ic1_freq_s, h->ic2_freq_s, h->ic3_freq_s};
    const uint32_t hs[3] = {h->ic1_hsdiv_u8, h->ic2_hsdiv_u8, h->ic3_hsdiv_u8};
    const uint32_t dv[3] = {h->ic1_div_u32, h->ic2_div_u32, h->ic3_div_u32};
    for (int i = 0; i < 3; ++i)
      if (is_set(ic[i]))
        std::printf("  IC%d            %.12g MHz, HSDIV %" PRIu32 ", DIV %" PRIu32 "\n", i + 1, fprec_s_2_double_mhz(ic[i]), hs[i], dv[i]);
    freq("PFD", h->pfd_freq_s);
    std::printf("  %-14s %" PRIu32 " Hz, PFD divider %" PRIu32 ", DCO feedback divider %" PRIu32 "\n", "DSP rate",
                h->dsp_rate_hz_u32, h->pfd_div_u16, h->dcofb_div_u32);
  }
}

namespace {

// A message a person acts on: an error or a warning. The message log's own overflow note
// belongs to the solver's listing that filled it.
bool worth_showing(const std::string &m) {
  if (m.find("MSG buffer full") != std::string::npos) return false;
  return m.find("ERROR") != std::string::npos || m.find("WARNING") != std::string::npos;
}

}  // namespace

void cli_print_notable_messages(const std::vector<std::string> &msgs) {
  size_t hidden = 0;
  bool heading = false;
  for (const auto &m : msgs) {
    if (!worth_showing(m)) {
      ++hidden;
      continue;
    }
    if (!heading) std::printf("Warnings and errors:\n");
    heading = true;
    std::printf("  %s\n", m.c_str());
  }
  if (hidden) std::printf("(%zu further messages of the calculation: kovacfg plan --verbose shows them)\n", hidden);
}

void cli_report_plan(const hal_api_s *hal, const std::vector<std::string> &msgs, bool regs_built, bool json,
                     bool verbose, const option_error_s *asked) {
  const bool ok = !messages_failed(msgs);
  if (json) {
    nlohmann::ordered_json extra = nlohmann::ordered_json::object();
    if (regs_built) {
      nlohmann::ordered_json regs = nlohmann::ordered_json::array();
      for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) regs.push_back(get_reg(hal, a));
      extra["registers"] = regs;
    }
    cli_print_json(hal, msgs, ok, extra);
    return;
  }
  print_plan_text(hal, asked);
  if (regs_built) {
    std::printf("Registers that differ from their reset defaults:\n");
    for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) {
      const uint32_t v = get_reg(hal, a);
      if (v == kova_regs_defaults(a)) continue;
      const char *name = kova_reg_name(a);
      std::printf("  0x%03X %-10s 0x%02X\n", a, name ? name : "-", v);
    }
  }
  if (verbose)
    cli_print_messages(msgs);
  else
    cli_print_notable_messages(msgs);
}
