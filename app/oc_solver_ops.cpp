#include "app/oc_solver_ops.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/freq_entry.h"
#include "app/run_control.h"
#include "app/user_dialog.h"

const char *const kOcSourceText[4] = {"OCP OCN Auto Source", "OCN From LSDIV", "OC Disabled", "OCP OCN From MSDIV"};

namespace {

// The fields of output N that the window works on.
struct oc_fields_s {
  fprec_s hal_api_s::*freq;
  uint32_t hal_api_s::*en, hal_api_s::*neg, hal_api_s::*msdiv, hal_api_s::*lsdiv, hal_api_s::*divsel,
      hal_api_s::*lssel, hal_api_s::*neglsd, hal_api_s::*ocsf;
  int32_t hal_api_s::*hs_index, hal_api_s::*div_index;
};

#define KOVA_OC_FIELDS(N)                                                                                          \
  {&hal_api_s::oc##N##_freq_s,       &hal_api_s::ocen_oc##N##en_u1,  &hal_api_s::oc##N##_neg_lsdiv_u32,          \
   &hal_api_s::oc##N##_msdiv_u8,     &hal_api_s::oc##N##_lsdiv_u32,  &hal_api_s::oc##N##cr3_divsel_u1,           \
   &hal_api_s::oc##N##cr3_lssel_u1,  &hal_api_s::oc##N##cr3_neglsd_u1, &hal_api_s::oc##N##cr2_ocsf_u3,           \
   &hal_api_s::oc_solver_oc##N##_hsdiv_index, &hal_api_s::oc_solver_oc##N##_ocdiv_index}
const oc_fields_s kOc[3] = {KOVA_OC_FIELDS(1), KOVA_OC_FIELDS(2), KOVA_OC_FIELDS(3)};
#undef KOVA_OC_FIELDS

const oc_fields_s &oc(int n) { return kOc[n - 1]; }

constexpr int kMaxListEntries = 1000;  // the solver's lists hold at most 100 entries
constexpr const char *kDashesFreq = "- - - - -";
constexpr const char *kDashesDiv = "- - - -";

bool two_outputs(uint32_t format) { return format == 4 || format == 7; }

std::string mhz_text(fprec_s f) { return DoubleTextBox_Format(fprec_s_2_double_mhz(f), 6); }

fprec_s unset() { return {0, 1, 1}; }

// f x mul / div, or an unset frequency when it cannot be held exactly.
fprec_s scaled(fprec_s f, uint64_t mul, uint64_t div) {
  if (div == 0 || fprec_s_2_double_mhz(f) <= 0.0) return unset();
  return fprec_scale(&f, mul, div) == 0 ? f : unset();
}

// The HSDIV output frequencies of the working record: VCO x 2 / HSDIV x2, HSDIV2 only when
// enabled, and the APLL input (synthesis) or the PFD clock while HSDIV2 is bypassed.
void derive_hsdiv(hal_api_s *w) {
  w->hsdiv1_freq_s = w->vco_hsdiv1x2_u8 ? scaled(w->vco_freq_s, 2, w->vco_hsdiv1x2_u8) : unset();
  if (w->apllcr1_byphs2_u1)
    w->hsdiv2_freq_s = w->kova_mode_e == kova_mode_syn_e ? w->apll_input_freq_s : w->dco_pfdclk_freq_s;
  else if (w->apllcr1_enhs2_u1 && w->vco_hsdiv2x2_u8)
    w->hsdiv2_freq_s = scaled(w->vco_freq_s, 2, w->vco_hsdiv2x2_u8);
  else
    w->hsdiv2_freq_s = unset();
}

const fprec_s &output_hsdiv_freq(const hal_api_s *w, int n) {
  return w->*oc(n).divsel ? w->hsdiv2_freq_s : w->hsdiv1_freq_s;
}

int32_t *recorded(hal_api_s *w, int list) {
  switch (list) {
    case 0: return &w->oc_solver_vco_index;
    case 1: return &w->oc_solver_hsdiv1_index;
    case 2: return &w->oc_solver_hsdiv2_index;
    default: {
      const int n = list / 3;
      return list % 3 == 0 ? &(w->*oc(n).hs_index) : &(w->*oc(n).div_index);
    }
  }
}

int32_t mode_of(const oc_solver_form_s *f) { return f->work.oc_solver_mode_e; }

// ---------------------------------------------------------------------------------------
// Output source choices.

int32_t source_shown(const hal_api_s *w, int n) {
  const oc_fields_s &o = oc(n);
  if (!(w->*o.en)) return oc_source_disabled_e;
  if (w->*o.neglsd == 1 && two_outputs(w->*o.ocsf)) return oc_source_ocn_lsdiv_e;
  if (w->oc_solver_mode_e == oc_solver_mode_manual_e && w->*o.lssel == 0 && w->*o.lsdiv > 1) return oc_source_msdiv_e;
  return oc_source_auto_e;
}

int32_t apply_source(hal_api_s *w, int n, int32_t choice) {
  const oc_fields_s &o = oc(n);
  if (choice == oc_source_ocn_lsdiv_e && !(two_outputs(w->*o.ocsf) && w->*o.lsdiv > 1)) choice = oc_source_auto_e;
  if (choice == oc_source_msdiv_e && w->oc_solver_mode_e != oc_solver_mode_manual_e) choice = oc_source_auto_e;
  switch (choice) {
    case oc_source_ocn_lsdiv_e:
      w->*o.en = 1, w->*o.neglsd = 1, w->*o.neg = w->*o.lsdiv, w->*o.lssel = 0;
      break;
    case oc_source_disabled_e:
      w->*o.en = 0, w->*o.neglsd = 0, w->*o.neg = 1, w->*o.lssel = 0;
      w->*o.freq = unset();
      break;
    case oc_source_msdiv_e:
      w->*o.en = 1, w->*o.neglsd = 0, w->*o.neg = 1, w->*o.lssel = 0;
      break;
    default:
      choice = oc_source_auto_e;
      w->*o.en = 1, w->*o.neglsd = 0, w->*o.neg = 1, w->*o.lssel = w->*o.lsdiv > 1 ? 1 : 0;
      break;
  }
  return choice;
}

// The source list is filled again from the record, and what it shows is in force.
void refill_source(oc_solver_form_s *f, int n) { f->source[n - 1] = apply_source(&f->work, n, source_shown(&f->work, n)); }

// ---------------------------------------------------------------------------------------
// The cascade of the solver's lists (modes 0 and 1).

std::vector<uint32_t> query(oc_solver_form_s *f, int list) {
  f->work.hal_obj_p = f->s->hal.hal_obj_p;  // the tables of the main object's last calculation
  std::vector<uint32_t> v;
  for (int32_t i = 0; i < kMaxListEntries; ++i) {
    uint32_t x = 0;
    if (get_oc_solver(&f->work, static_cast<oc_solver_param_sel_es>(list), i, &x) != 0) break;
    v.push_back(x);
  }
  return v;
}

std::vector<fprec_s> query_vco(oc_solver_form_s *f) {
  f->work.hal_obj_p = f->s->hal.hal_obj_p;
  std::vector<fprec_s> v;
  for (int32_t i = 0; i < kMaxListEntries; ++i) {
    fprec_s x{};
    if (get_oc_solver(&f->work, oc_solver_sel_vco_e, i, &x) != 0) break;
    v.push_back(x);
  }
  return v;
}

void fill(oc_solver_form_s *f, int list, bool parent_changed);

// Position pos of a solver list is selected (-1: the list is empty): its fields are set and
// the lists below are filled again, told that their parent changed when this selection
// (or one above it) moved.
void take(oc_solver_form_s *f, int list, int32_t pos, bool parent_changed) {
  hal_api_s *w = &f->work;
  int32_t *rec = recorded(w, list);
  const bool changed = parent_changed || pos != *rec;
  f->lists[list].selected = pos;
  if (pos >= 0) {
    *rec = pos;
    const uint32_t v = list == 0 ? 0 : f->lists[list].values[pos];
    if (list == 0) {
      w->vco_freq_s = f->vco[pos];
    } else if (list == 1) {
      w->vco_hsdiv1x2_u8 = v;
    } else if (list == 2) {
      w->vco_hsdiv2x2_u8 = v ? v : 8;
      w->apllcr1_enhs2_u1 = v ? 1 : 0;
    } else if (list % 3 == 0) {
      w->*oc(list / 3).divsel = v == 2 ? 1 : 0;
    } else {
      const int n = list / 3;
      const oc_list_s &ls = f->lists[oc_list_lsdiv(n)];
      w->*oc(n).msdiv = f->lists[oc_list_msdiv(n)].values[pos];
      if (pos < static_cast<int32_t>(ls.values.size())) w->*oc(n).lsdiv = ls.values[pos];
      f->lists[oc_list_msdiv(n)].selected = f->lists[oc_list_lsdiv(n)].selected = pos;
      refill_source(f, n);
    }
    derive_hsdiv(w);
  } else if (list % 3 == 1 && list > 1) {
    f->lists[list + 1].selected = -1;
  }
  if (list == 0 || list == 1) {
    fill(f, list + 1, changed);
  } else if (list == 2) {
    for (int n = 1; n <= 3; ++n) fill(f, oc_list_hsdiv(n), changed);
  } else if (list % 3 == 0) {
    fill(f, list + 1, changed);
  }
}

bool shorter(const std::vector<uint32_t> &now, const std::vector<uint32_t> &before) { return now.size() < before.size(); }

void fill(oc_solver_form_s *f, int list, bool parent_changed) {
  const int32_t mode = mode_of(f);
  bool first = parent_changed;
  size_t count;
  if (list == 0) {
    const std::vector<fprec_s> now = query_vco(f);
    bool differs = now.size() < f->vco_seen.size();
    for (size_t i = 0; i < now.size() && i < f->vco_seen.size() && !differs; ++i)
      differs = fprec_compare(now[i], f->vco_seen[i]) != 0;
    // The first filling has nothing to compare with: the recorded position stands.
    first = f->vco_filled && differs;
    f->vco = now;
    f->vco_seen = now;
    f->vco_filled = true;
    count = now.size();
  } else {
    std::vector<uint32_t> now = query(f, list);
    const bool short_now = shorter(now, f->seen[list]);
    if (list <= 2) first = first || (mode == oc_solver_mode_auto_e && short_now);
    else first = first || (mode == oc_solver_mode_select_e && short_now);
    f->seen[list] = now;
    f->lists[list].values = std::move(now);
    // MSDIV and LSDIV are filled side by side: position i of both is option i.
    if (list % 3 == 1 && list > 1) f->lists[list + 1].values = query(f, list + 1);
    count = f->lists[list].values.size();
  }
  int32_t pos = -1;
  if (count > 0) {
    const int32_t rec = *recorded(&f->work, list);
    pos = first || rec < 0 || rec >= static_cast<int32_t>(count) ? 0 : rec;
  }
  take(f, list, pos, parent_changed);
}

// ---------------------------------------------------------------------------------------
// The fixed lists of manual mode.

int32_t position_of(const std::vector<uint32_t> &v, uint32_t x) {
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i] == x) return static_cast<int32_t>(i);
  return -1;
}

void fill_manual(oc_solver_form_s *f) {
  hal_api_s *w = &f->work;
  f->vco = {w->vco_freq_s};
  f->lists[0] = {{}, 0};
  f->lists[1].values.assign(std::begin(OC_SOLVER_HSDIV_X2), std::end(OC_SOLVER_HSDIV_X2));
  f->lists[1].selected = position_of(f->lists[1].values, w->vco_hsdiv1x2_u8);
  f->lists[2].values = {0};
  f->lists[2].values.insert(f->lists[2].values.end(), std::begin(OC_SOLVER_HSDIV_X2), std::end(OC_SOLVER_HSDIV_X2));
  f->lists[2].selected = w->apllcr1_enhs2_u1 == 1 ? position_of(f->lists[2].values, w->vco_hsdiv2x2_u8) : 0;
  for (int n = 1; n <= 3; ++n) {
    const oc_fields_s &o = oc(n);
    f->lists[oc_list_hsdiv(n)] = {{1, 2}, w->*o.divsel ? 1 : 0};
    f->lists[oc_list_msdiv(n)] = {{w->*o.msdiv}, 0};
    f->lists[oc_list_lsdiv(n)] = {{w->*o.msdiv < 2 ? 1u : w->*o.lsdiv}, 0};
    refill_source(f, n);
  }
  derive_hsdiv(w);
}

// A whole number typed into a box; saturates far beyond every limit.
bool parse_whole(const std::string &text, long long *out) {
  const char *s = text.c_str();
  char *end = nullptr;
  errno = 0;
  const long long v = std::strtoll(s, &end, 10);
  if (end == s) return false;
  while (*end == ' ') ++end;
  if (*end != '\0') return false;
  *out = v;
  return true;
}

long long clamp(long long v, long long lo, long long hi) { return v < lo ? lo : v > hi ? hi : v; }

// A divider against its frequency limit, with the usual 1 % allowance of the range checks.
bool above(double mhz, double limit) { return mhz > limit * 1.01; }

std::string limit_text(double mhz) { return DoubleTextBox_Format(mhz, 2); }

}  // namespace

namespace {
// The fields the window edits, copied either way between the window's record and the object:
// the solver mode, the VCO with its HSDIVs and each output's dividers and list positions.
void copy_solver_choice(hal_api_s *to, const hal_api_s *from) {
  to->oc_solver_mode_e = from->oc_solver_mode_e;
  to->vco_freq_s = from->vco_freq_s;
  to->vco_hsdiv1x2_u8 = from->vco_hsdiv1x2_u8;
  to->vco_hsdiv2x2_u8 = from->vco_hsdiv2x2_u8;
  to->apllcr1_enhs2_u1 = from->apllcr1_enhs2_u1;
  to->apllcr1_byphs2_u1 = from->apllcr1_byphs2_u1;
  to->oc_solver_vco_index = from->oc_solver_vco_index;
  to->oc_solver_hsdiv1_index = from->oc_solver_hsdiv1_index;
  to->oc_solver_hsdiv2_index = from->oc_solver_hsdiv2_index;
  for (const oc_fields_s &o : kOc) {
    to->*o.freq = from->*o.freq;
    to->*o.en = from->*o.en;
    to->*o.neg = from->*o.neg;
    to->*o.msdiv = from->*o.msdiv;
    to->*o.lsdiv = from->*o.lsdiv;
    to->*o.divsel = from->*o.divsel;
    to->*o.lssel = from->*o.lssel;
    to->*o.neglsd = from->*o.neglsd;
    to->*o.hs_index = from->*o.hs_index;
    to->*o.div_index = from->*o.div_index;
  }
}
}  // namespace

void oc_solver_copy_from_api(hal_api_s *w, const hal_api_s *m) {
  copy_solver_choice(w, m);
  // What the window shows beside the choice, and the limits the entries are held to.
  w->kova_mode_e = m->kova_mode_e;
  w->hal_obj_p = m->hal_obj_p;
  w->apll_input_freq_s = m->apll_input_freq_s;
  w->dco_pfdclk_freq_s = m->dco_pfdclk_freq_s;
  w->oc1cr2_ocsf_u3 = m->oc1cr2_ocsf_u3;
  w->oc2cr2_ocsf_u3 = m->oc2cr2_ocsf_u3;
  w->oc3cr2_ocsf_u3 = m->oc3cr2_ocsf_u3;
  w->vco_clk_min_mhz_r = m->vco_clk_min_mhz_r;
  w->vco_clk_max_mhz_r = m->vco_clk_max_mhz_r;
  w->oc_msdiv_min_u8 = m->oc_msdiv_min_u8;
  w->oc_msdiv_max_u8 = m->oc_msdiv_max_u8;
  w->oc_lsdiv_min_u32 = m->oc_lsdiv_min_u32;
  w->oc_lsdiv_max_u32 = m->oc_lsdiv_max_u32;
  w->oc_msdiv_max_freq_mhz_r = m->oc_msdiv_max_freq_mhz_r;
  w->oc_lsdiv_max_freq_mhz_r = m->oc_lsdiv_max_freq_mhz_r;
}

void oc_solver_copy_to_api(const hal_api_s *w, hal_api_s *m) { copy_solver_choice(m, w); }

void oc_solver_open(oc_solver_form_s *f, main_state_s *s) {
  f->s = s;
  oc_solver_copy_from_api(&f->work, &s->hal);
  f->dirty = false;
  oc_solver_refresh(f);
}

void oc_solver_refresh(oc_solver_form_s *f) {
  if (mode_of(f) == oc_solver_mode_manual_e) {
    fill_manual(f);
  } else {
    fill(f, 0, false);
  }
  derive_hsdiv(&f->work);
}

bool oc_solver_set_mode(oc_solver_form_s *f, int32_t mode) {
  bool ok = true;
  if (mode == oc_solver_mode_manual_e) {
    f->s->hal.oc_solver_mode_e = mode;
    f->work.oc_solver_mode_e = mode;
  } else {
    // The solver chooses first, so that its lists are fresh; a configuration it cannot
    // solve is taken back whole (object, image and the chip's written image).
    ok = main_ordinary_change(f->s, [](hal_api_s *h) { h->oc_solver_mode_e = oc_solver_mode_auto_e; });
    if (!ok) MessageError(OC_SOLVER_RESTORE_TEXT, OC_SOLVER_TITLE);
    oc_solver_copy_from_api(&f->work, &f->s->hal);
    if (ok && mode == oc_solver_mode_select_e) {
      f->s->hal.oc_solver_mode_e = mode;
      f->work.oc_solver_mode_e = mode;
    }
  }
  f->dirty = true;
  oc_solver_refresh(f);
  return ok;
}

bool oc_solver_choose(oc_solver_form_s *f, int list, int32_t pos) {
  if (list < 0 || list >= OC_LIST_COUNT || !oc_solver_list_enabled(f, list)) return false;
  const size_t count = list == 0 ? f->vco.size() : f->lists[list].values.size();
  if (pos < 0 || static_cast<size_t>(pos) >= count) return false;
  f->dirty = true;
  if (mode_of(f) != oc_solver_mode_manual_e) {
    take(f, list, pos, false);
    return true;
  }
  hal_api_s *w = &f->work;
  const uint32_t v = f->lists[list].values[pos];
  if (list == 1) {
    w->vco_hsdiv1x2_u8 = v;
  } else if (list == 2) {
    w->vco_hsdiv2x2_u8 = v ? v : 8;
    w->apllcr1_enhs2_u1 = v ? 1 : 0;
  } else if (list % 3 == 0) {
    w->*oc(list / 3).divsel = v == 2 ? 1 : 0;
  }
  fill_manual(f);
  return true;
}

int32_t oc_solver_choose_source(oc_solver_form_s *f, int n, int32_t choice) {
  if (n < 1 || n > 3) return -1;
  f->dirty = true;
  f->source[n - 1] = apply_source(&f->work, n, choice);
  if (mode_of(f) == oc_solver_mode_manual_e) fill_manual(f);
  return f->source[n - 1];
}

std::vector<std::string> oc_solver_source_texts(const oc_solver_form_s *f) {
  const int count = mode_of(f) == oc_solver_mode_manual_e ? 4 : 3;
  return {kOcSourceText, kOcSourceText + count};
}

bool oc_solver_enter_vco(oc_solver_form_s *f, const std::string &text) {
  double mhz = 0.0;
  if (!DoubleTextBox_Validate(text, -HUGE_VAL, HUGE_VAL, false, &mhz)) return false;
  const hal_api_s *w = &f->work;
  fprec_s v{};
  if (mhz < w->vco_clk_min_mhz_r)
    set_fprec_s(&v, static_cast<uint32_t>(w->vco_clk_min_mhz_r * 1e6), 1, 1);
  else if (mhz > w->vco_clk_max_mhz_r)
    set_fprec_s(&v, static_cast<uint32_t>(w->vco_clk_max_mhz_r * 1e6), 1, 1);
  else if (!frequency_from_mhz_text(text, &v))  // MHz x 1000000, truncated
    return false;
  f->dirty = true;
  f->work.vco_freq_s = v;
  fill_manual(f);
  return true;
}

void oc_solver_set_vco(oc_solver_form_s *f, fprec_s vco) {
  hal_api_s *w = &f->work;
  const double mhz = fprec_s_2_double_mhz(vco);
  if (mhz < w->vco_clk_min_mhz_r)
    set_fprec_s(&vco, static_cast<uint32_t>(w->vco_clk_min_mhz_r * 1e6), 1, 1);
  else if (mhz > w->vco_clk_max_mhz_r)
    set_fprec_s(&vco, static_cast<uint32_t>(w->vco_clk_max_mhz_r * 1e6), 1, 1);
  f->dirty = true;
  w->vco_freq_s = vco;
  fill_manual(f);
}

bool oc_solver_enter_msdiv(oc_solver_form_s *f, int n, const std::string &text) {
  long long v = 0;
  if (n < 1 || n > 3 || !parse_whole(text, &v)) return false;
  hal_api_s *w = &f->work;
  const oc_fields_s &o = oc(n);
  w->*o.msdiv = static_cast<uint32_t>(clamp(v, w->oc_msdiv_min_u8, w->oc_msdiv_max_u8));
  if (w->*o.msdiv < 2) w->*o.lsdiv = 1;  // MSDIV 1 passes the HSDIV straight through
  f->dirty = true;
  fill_manual(f);
  return true;
}

bool oc_solver_enter_lsdiv(oc_solver_form_s *f, int n, const std::string &text) {
  long long v = 0;
  if (n < 1 || n > 3 || !parse_whole(text, &v) || !oc_solver_list_enabled(f, oc_list_lsdiv(n))) return false;
  hal_api_s *w = &f->work;
  w->*oc(n).lsdiv = static_cast<uint32_t>(clamp(v, w->oc_lsdiv_min_u32, w->oc_lsdiv_max_u32));
  f->dirty = true;
  fill_manual(f);
  return true;
}

void oc_solver_set_bypass(oc_solver_form_s *f, bool on) {
  f->work.apllcr1_byphs2_u1 = on ? 1 : 0;
  f->dirty = true;
  fill_manual(f);
}

bool oc_solver_list_enabled(const oc_solver_form_s *f, int list) {
  const int32_t mode = mode_of(f);
  if (mode == oc_solver_mode_auto_e) return false;
  if (list < 0) return true;  // an output's source list
  if (mode == oc_solver_mode_manual_e) return list % 3 != 2 || list == 2 || f->work.*oc(list / 3).msdiv >= 2;
  return list == 0 ? !f->vco.empty() : !f->lists[list].values.empty();
}

std::vector<std::string> oc_solver_list_texts(const oc_solver_form_s *f, int list) {
  std::vector<std::string> t;
  if (list == 0) {
    for (const fprec_s &v : f->vco) t.push_back(mhz_text(v));
    return t;
  }
  for (uint32_t v : f->lists[list].values) {
    if (list == 1 || list == 2)
      t.push_back(v == 0 ? "OFF" : DoubleTextBox_Format(v * 0.5, 1));
    else if (list % 3 == 0)
      t.push_back(v == 2 ? "HSDIV2" : "HSDIV1");
    else
      t.push_back(std::to_string(v));
  }
  return t;
}

std::string oc_solver_empty_text(const oc_solver_form_s *f, int list) {
  const hal_api_s *w = &f->work;
  if (list == 0) return fprec_s_2_double_mhz(w->vco_freq_s) > 0.0 ? mhz_text(w->vco_freq_s) : "";
  if (list == 1) return w->vco_hsdiv1x2_u8 ? DoubleTextBox_Format(w->vco_hsdiv1x2_u8 * 0.5, 1) : "";
  if (list == 2) return w->apllcr1_enhs2_u1 ? DoubleTextBox_Format(w->vco_hsdiv2x2_u8 * 0.5, 1) : "OFF";
  const oc_fields_s &o = oc(list / 3);
  const bool used = w->*o.en && fprec_s_2_double_mhz(w->*o.freq) > 0.0;
  if (list % 3 == 0) return used ? (w->*o.divsel ? "HSDIV2" : "HSDIV1") : "- - - - - - -";
  if (!used) return "";
  return std::to_string(list % 3 == 1 ? w->*o.msdiv : w->*o.lsdiv);
}

std::string oc_solver_vco_text(const oc_solver_form_s *f) { return mhz_text(f->work.vco_freq_s); }

std::string oc_solver_apll_input_text(const oc_solver_form_s *f) { return mhz_text(f->work.apll_input_freq_s); }

std::string oc_solver_ratio_text(const oc_solver_form_s *f) {
  const double in = fprec_s_2_double_mhz(f->work.apll_input_freq_s);
  if (in <= 0.0) return kDashesDiv;
  return DoubleTextBox_Format(fprec_s_2_double_mhz(f->work.vco_freq_s) / in, 6);
}

std::string oc_solver_hsdiv_freq_text(const oc_solver_form_s *f, int hsdiv) {
  const hal_api_s *w = &f->work;
  const fprec_s &v = hsdiv == 2 ? w->hsdiv2_freq_s : w->hsdiv1_freq_s;
  if (fprec_s_2_double_mhz(v) <= 0.0 || (hsdiv == 2 && w->apllcr1_enhs2_u1 == 0)) return kDashesFreq;
  return mhz_text(v);
}

std::string oc_solver_msdiv_freq_text(const oc_solver_form_s *f, int n) {
  const hal_api_s *w = &f->work;
  const uint32_t msdiv = w->*oc(n).msdiv;
  const fprec_s v = scaled(output_hsdiv_freq(w, n), 1, msdiv);
  if (msdiv < 2 || fprec_s_2_double_mhz(v) <= 0.0) return kDashesDiv;
  return mhz_text(v);
}

std::string oc_solver_lsdiv_freq_text(const oc_solver_form_s *f, int n) {
  const hal_api_s *w = &f->work;
  const oc_fields_s &o = oc(n);
  if (w->*o.lsdiv < 2 || !(w->*o.lssel || w->*o.neglsd)) return kDashesDiv;
  const fprec_s v = scaled(output_hsdiv_freq(w, n), 1, uint64_t{w->*o.msdiv ? w->*o.msdiv : 1} * w->*o.lsdiv);
  return fprec_s_2_double_mhz(v) > 0.0 ? mhz_text(v) : kDashesDiv;
}

std::string oc_solver_ocp_freq_text(const oc_solver_form_s *f, int n) {
  const hal_api_s *w = &f->work;
  const oc_fields_s &o = oc(n);
  if (!(w->*o.en)) return kDashesDiv;
  uint64_t div = w->*o.msdiv ? w->*o.msdiv : 1;
  if (w->*o.lssel) div *= w->*o.lsdiv;
  const fprec_s v = scaled(output_hsdiv_freq(w, n), 1, div);
  return fprec_s_2_double_mhz(v) > 0.0 ? mhz_text(v) : kDashesDiv;
}

std::string oc_solver_ocn_freq_text(const oc_solver_form_s *f, int n) {
  const hal_api_s *w = &f->work;
  const oc_fields_s &o = oc(n);
  if (!(w->*o.en)) return kDashesDiv;
  if (w->*o.neglsd && w->*o.lsdiv > 1) return oc_solver_lsdiv_freq_text(f, n);
  return oc_solver_ocp_freq_text(f, n);
}

std::string oc_solver_load_check(oc_solver_form_s *f) {
  hal_api_s *w = &f->work;
  derive_hsdiv(w);
  for (int n = 1; n <= 3; ++n) {
    const oc_fields_s &o = oc(n);
    const std::string ocn = "ERROR: OC" + std::to_string(n);
    const uint32_t msdiv = w->*o.msdiv;
    if (!(w->*o.en)) {
      w->*o.freq = unset();
    } else if (w->oc_solver_mode_e == oc_solver_mode_manual_e) {
      const fprec_s &hs = output_hsdiv_freq(w, n);
      fprec_s out = hs;
      const bool exact = fprec_scale(&out, 1, msdiv ? msdiv : 1) == 0 &&
                         (w->*o.lssel == 0 || fprec_scale(&out, 1, w->*o.lsdiv ? w->*o.lsdiv : 1) == 0);
      if (msdiv > 1) {
        const double hs_mhz = fprec_s_2_double_mhz(hs);
        if (above(hs_mhz, w->oc_msdiv_max_freq_mhz_r))
          return ocn + " Selected HSDIV frequency too high for MSDIV, it must be <= " +
                 limit_text(w->oc_msdiv_max_freq_mhz_r) + " MHz";
        if (above(hs_mhz / msdiv, w->oc_lsdiv_max_freq_mhz_r))
          return ocn + " MSDIV frequency too high for LSDIV, it must be <=  " + limit_text(w->oc_lsdiv_max_freq_mhz_r) +
                 " MHz";
      }
      // A frequency that no longer fits 32-bit words would be another frequency than the
      // dividers give: refused rather than rounded.
      if (!exact) return ocn + " output frequency of these dividers cannot be held exactly";
      w->*o.freq = fprec_s_2_double_mhz(hs) > 0.0 ? out : unset();
    }
    if (w->*o.neg > 1 && msdiv < 6)
      return ocn +
             " When OCP comes from MSDIV and OCN comes from LSDIV, the MSDIV value must be in the range 6 to 128.";
  }
  return "";
}

bool oc_solver_load(oc_solver_form_s *f) {
  const std::string error = oc_solver_load_check(f);
  if (!error.empty()) {
    MessageError(error, OC_SOLVER_TITLE);
    return false;
  }
  // Written to the chip only when the whole calculation succeeds; otherwise the kept
  // configuration comes back and the chip keeps what it runs.
  const bool ok = main_ordinary_change(f->s, [f](hal_api_s *h) { oc_solver_copy_to_api(&f->work, h); });
  if (!ok) MessageError(OC_SOLVER_RESTORE_TEXT, OC_SOLVER_TITLE);
  oc_solver_copy_from_api(&f->work, &f->s->hal);
  f->dirty = false;
  oc_solver_refresh(f);
  return ok;
}
