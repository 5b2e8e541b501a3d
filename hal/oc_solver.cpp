#include "hal/oc_solver.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "arith/bigint128.h"
#include "hal/hal_obj.h"

namespace {

constexpr uint32_t OC_COUNT = 3;
// No divider chain reaches a total divider x2 of 2^46 (HSDIV x2 <= 30, MSDIV <= 255,
// LSDIV < 2^32): an output that needs more has no option at that VCO.
constexpr uint64_t TOTAL_DIV_X2_LIMIT = 1ull << 46;
// The MSDIV loop never runs beyond the 8-bit range of the MSDIV field.
constexpr uint32_t MSDIV_LOOP_MAX = 255;
// Bound on the VCO steps of one search. The standard VCO range (3715 to 4180 MHz) over the
// smallest common frequency (0.495 MHz) needs fewer than 1900; the bound only matters for
// limits edited far outside the chip's range.
constexpr uint32_t MAX_VCO_STEPS = 1u << 16;
constexpr uint32_t VCO_CANDIDATES = 10;  // VCO frequencies that must produce options
constexpr uint32_t TOTAL_WEIGHT_MAX = 10000;
constexpr double FRACTION_ZERO = 0.000000001;

// The per-output fields of the configuration object.
struct oc_fields_s {
  fprec_s *freq;
  uint32_t *neg_lsdiv;
  uint32_t *pw_ns;
  uint32_t *align_en;
  uint32_t *divsel;
  uint32_t *lssel;
  uint32_t *neglsd;
  uint32_t *msdiv;
  uint32_t *lsdiv;
  double *jitter_weight;
  fprec_s *msdiv_freq;
  fprec_s *lsdiv_freq;
  uint32_t *phen;
  int32_t *hsdiv_index;
  int32_t *ocdiv_index;
};

oc_fields_s oc_fields(hal_api_s *h, uint32_t oc) {
  switch (oc) {
    case 1:
      return {&h->oc1_freq_s, &h->oc1_neg_lsdiv_u32, &h->oc1_pw_ns_u16, &h->oc1_align_en,
              &h->oc1cr3_divsel_u1, &h->oc1cr3_lssel_u1, &h->oc1cr3_neglsd_u1, &h->oc1_msdiv_u8,
              &h->oc1_lsdiv_u32, &h->oc1_jitter_weight, &h->oc1_msdiv_freq_s, &h->oc1_lsdiv_freq_s,
              &h->oc1cr1_phen_u1, &h->oc_solver_oc1_hsdiv_index, &h->oc_solver_oc1_ocdiv_index};
    case 2:
      return {&h->oc2_freq_s, &h->oc2_neg_lsdiv_u32, &h->oc2_pw_ns_u16, &h->oc2_align_en,
              &h->oc2cr3_divsel_u1, &h->oc2cr3_lssel_u1, &h->oc2cr3_neglsd_u1, &h->oc2_msdiv_u8,
              &h->oc2_lsdiv_u32, &h->oc2_jitter_weight, &h->oc2_msdiv_freq_s, &h->oc2_lsdiv_freq_s,
              &h->oc2cr1_phen_u1, &h->oc_solver_oc2_hsdiv_index, &h->oc_solver_oc2_ocdiv_index};
    default:
      return {&h->oc3_freq_s, &h->oc3_neg_lsdiv_u32, &h->oc3_pw_ns_u16, &h->oc3_align_en,
              &h->oc3cr3_divsel_u1, &h->oc3cr3_lssel_u1, &h->oc3cr3_neglsd_u1, &h->oc3_msdiv_u8,
              &h->oc3_lsdiv_u32, &h->oc3_jitter_weight, &h->oc3_msdiv_freq_s, &h->oc3_lsdiv_freq_s,
              &h->oc3cr1_phen_u1, &h->oc_solver_oc3_hsdiv_index, &h->oc_solver_oc3_ocdiv_index};
  }
}

// One used output of the search, in rank order.
struct oc_req_s {
  uint32_t output;  // 1 to 3
  fprec_s freq;
  bigint128 r;      // lowest common frequency / output frequency
  uint64_t rc;      // r times the scaling factor c: total divider x2 at VCO = F0 x k / 2 is rc x k
  bool reachable;   // false when rc does not fit in 64 bits
};

struct search_s {
  hal_api_s *hal;
  oc_solver_store_s *st;
  uint32_t used;
  oc_req_s req[OC_COUNT];
  uint32_t vco_set_begin;  // first set of the VCO whose options are being inserted
};

bool is_zero(const bigint128 &x) { return x.w[0] == 0 && x.w[1] == 0; }

double big_to_double(const bigint128 &x) {
  return uint64x_2_double(x.w[1]) * 18446744073709551616.0 + uint64x_2_double(x.w[0]);
}

// ---------------------------------------------------------------------------------------
// Options

// Appends an option record; false when the table is full.
bool add_option(search_s &s, const oc_req_s &rq, uint32_t rank, const fprec_s &vco, uint64_t t,
                uint32_t h, uint32_t msdiv, uint32_t lsdiv) {
  oc_solver_store_s &st = *s.st;
  if (st.option_count >= OC_SOLVER_MAX_OPTIONS) return false;
  oc_option_s &o = st.options[st.option_count++];
  o.vco = vco;
  o.output = rq.output;
  o.rank = rank;
  o.freq = rq.freq;
  o.total_div_x2 = t;
  o.lsdiv = lsdiv;
  o.msdiv = msdiv;
  o.hsdiv_x2 = h;
  o.jweight = 0;
  o.fweight = 0;
  o.valid = 1;
  o.total = 0;
  o.spare = 0;
  return true;
}

// Every MSDIV x LSDIV split of the total divider t (x2) behind HSDIV x2 h. Returns the number
// of options added.
uint32_t add_options(search_s &s, const oc_req_s &rq, uint32_t rank, const fprec_s &vco,
                     double vco_mhz, uint64_t t, uint32_t h) {
  const hal_api_s *hal = s.hal;
  const uint64_t q = t / h;  // MSDIV x LSDIV
  if (q == 1) return add_option(s, rq, rank, vco, t, h, 1, 1) ? 1 : 0;
  const double hsdiv_mhz = vco_mhz / (h / 2.0);
  if (hsdiv_mhz >= hal->oc_msdiv_max_freq_mhz_r * 1.01) return 0;
  uint32_t dmax = hal->oc_msdiv_max_u8;
  if (dmax > MSDIV_LOOP_MAX) dmax = MSDIV_LOOP_MAX;
  uint32_t added = 0;
  for (uint32_t d = 2; d <= dmax && d <= q; ++d) {
    if (q % d != 0) continue;
    const uint64_t l = q / d;
    if (l != 1 && hsdiv_mhz / d >= hal->oc_lsdiv_max_freq_mhz_r * 1.01) continue;
    if (l < hal->oc_lsdiv_min_u32 || l > hal->oc_lsdiv_max_u32) continue;
    if (!add_option(s, rq, rank, vco, t, h, d, static_cast<uint32_t>(l))) break;
    ++added;
  }
  return added;
}

// ---------------------------------------------------------------------------------------
// Jitter weight

uint32_t jitter_weight(const hal_api_s *hal, const oc_option_s &o) {
  const double v = fprec_s_2_double_mhz(o.vco);
  const double a = fprec_s_2_double_mhz(hal->apll_input_freq_s);
  // Fraction penalty of the APLL feedback ratio (the feedback divider is fractional in SYN).
  double p = 0.0;
  if (hal->kova_mode_e == kova_mode_syn_e && a > 0.0) {
    const double r = v / a;
    if (std::isfinite(r)) {
      double x = r - std::floor(r);
      if (x > 0.5) x = 1.0 - x;
      if (x >= FRACTION_ZERO) {
        x *= 2.0;
        if (x > 0.5) x = 1.0 - x;
        if (x < FRACTION_ZERO) {
          p = 3.0;
        } else {
          x *= 2.0;
          if (x > 0.5) x = 1.0 - x;
          if (x < FRACTION_ZERO)
            p = 3.0;
          else
            p = 3.0 - 1.0 / (100.0 * std::log10(x));
        }
      }
    }
  }
  // Half divides followed by an odd MSDIV give an uneven duty cycle.
  const double odd = (o.msdiv != 1 && (o.hsdiv_x2 & 1u) && (o.msdiv & 1u)) ? 10.0 : 0.0;
  const double span = hal->vco_clk_max_mhz_r - hal->vco_clk_min_mhz_r;
  const double vco_term = span > 0.0 ? 2.0 * (v - hal->vco_clk_min_mhz_r) / span : 0.0;
  double w = p + vco_term + (static_cast<double>(o.hsdiv_x2) - 8.0) / 11.0 + odd;
  if (!(w <= 1000.0)) w = 1000.0;  // the cap also catches a NaN
  return static_cast<uint32_t>(jround(10.0 * w));
}

// ---------------------------------------------------------------------------------------
// Solution sets

bool same_vco(const fprec_s &a, const fprec_s &b) {
  if (a.f == b.f && a.n == b.n && a.m == b.m) return true;
  return fprec_compare(a, b) == 0;
}

// A set takes an option unless it is full; the holds bits follow the option's HSDIV.
bool set_take(search_s &s, oc_solution_s &set, uint32_t idx) {
  if (set.opt_count >= OC_SOLVER_SET_OPTIONS) return false;
  if (set.opt_count > 0 && set.opt[set.opt_count - 1] == idx) return true;  // already taken
  const oc_option_s &o = s.st->options[idx];
  set.opt[set.opt_count++] = static_cast<uint16_t>(idx);
  uint8_t bits = 4;
  if (o.hsdiv_x2 == set.hsdiv1_x2) bits |= 1;
  if (o.hsdiv_x2 == set.hsdiv2_x2) bits |= 2;
  set.holds[o.output - 1] |= bits;
  return true;
}

// Creates set (vco, h1, h2) unless it exists or the table is full; its index or NONE.
int32_t set_create(search_s &s, const fprec_s &vco, uint32_t h1, uint32_t h2) {
  oc_solver_store_s &st = *s.st;
  for (uint32_t i = s.vco_set_begin; i < st.set_count; ++i) {
    const oc_solution_s &x = st.sets[i];
    if (x.hsdiv1_x2 == h1 && x.hsdiv2_x2 == h2 && same_vco(x.vco, vco)) return OC_SOLVER_NONE;
  }
  if (st.set_count >= OC_SOLVER_MAX_SETS) return OC_SOLVER_NONE;
  oc_solution_s &n = st.sets[st.set_count];
  n.vco = vco;
  n.hsdiv1_x2 = h1;
  n.hsdiv2_x2 = h2;
  n.opt_count = 0;
  n.valid = 0;
  n.entry_count = 0;
  n.weight = 0;
  for (uint32_t k = 0; k < OC_COUNT; ++k) {
    n.best[k] = OC_SOLVER_NONE;
    n.holds[k] = 0;
  }
  return static_cast<int32_t>(st.set_count++);
}

// A new set receives the options of its source set that use the source's HSDIV1.
void set_copy_hsdiv1(search_s &s, oc_solution_s &dst, const oc_solution_s &src) {
  for (uint32_t i = 0; i < src.opt_count; ++i) {
    if (s.st->options[src.opt[i]].hsdiv_x2 == src.hsdiv1_x2) set_take(s, dst, src.opt[i]);
  }
}

void insert_option(search_s &s, uint32_t idx) {
  oc_solver_store_s &st = *s.st;
  const oc_option_s o = st.options[idx];
  const uint32_t n = o.output - 1;
  const uint32_t h = o.hsdiv_x2;
  // Options arrive in VCO order, so the sets of this VCO are the tail of the table.
  if (s.vco_set_begin < st.set_count && !same_vco(st.sets[s.vco_set_begin].vco, o.vco)) {
    s.vco_set_begin = st.set_count;
  }
  const uint32_t begin = s.vco_set_begin;
  bool taken = false;

  // 1. Sets on this HSDIV1 where the output has nothing on HSDIV2.
  for (uint32_t i = begin; i < st.set_count; ++i) {
    oc_solution_s &x = st.sets[i];
    if (x.hsdiv1_x2 == h && !(x.holds[n] & 2)) taken |= set_take(s, x, idx);
  }
  if (o.rank > 1) {
    // 2. Sets on this HSDIV2 where the output has nothing on HSDIV1.
    for (uint32_t i = begin; i < st.set_count; ++i) {
      oc_solution_s &x = st.sets[i];
      if (x.hsdiv2_x2 == h && !(x.holds[n] & 1)) taken |= set_take(s, x, idx);
    }
    // 3. Single-HSDIV sets without this output grow a second HSDIV for it.
    const uint32_t count = st.set_count;
    for (uint32_t i = begin; i < count; ++i) {
      if (st.sets[i].hsdiv2_x2 != 0 || (st.sets[i].holds[n] & 4)) continue;
      const int32_t k = set_create(s, o.vco, st.sets[i].hsdiv1_x2, h);
      if (k == OC_SOLVER_NONE) return;
      oc_solution_s &nw = st.sets[k];
      set_copy_hsdiv1(s, nw, st.sets[i]);
      taken |= set_take(s, nw, idx);
    }
  }
  if (taken) return;
  if (o.rank > 1) {
    // 5. Move the output to a second HSDIV beside each HSDIV1 it does not use.
    bool created = false;
    const uint32_t count = st.set_count;
    for (uint32_t i = begin; i < count; ++i) {
      if ((st.sets[i].holds[n] & 1) || st.sets[i].hsdiv1_x2 == h) continue;
      const int32_t k = set_create(s, o.vco, st.sets[i].hsdiv1_x2, h);
      if (k == OC_SOLVER_NONE) continue;
      created = true;
      oc_solution_s &nw = st.sets[k];
      set_copy_hsdiv1(s, nw, st.sets[i]);
      set_take(s, nw, idx);
    }
    if (created) return;
  }
  // 6. A set of its own.
  const int32_t k = set_create(s, o.vco, h, 0);
  if (k != OC_SOLVER_NONE) set_take(s, st.sets[k], idx);
}

// A set is valid when each used output has a valid option in it. True when any set is.
bool mark_valid_sets(search_s &s) {
  oc_solver_store_s &st = *s.st;
  bool any = false;
  for (uint32_t i = 0; i < st.set_count; ++i) {
    oc_solution_s &x = st.sets[i];
    uint32_t mask = 0;
    for (uint32_t j = 0; j < x.opt_count; ++j) {
      const oc_option_s &o = st.options[x.opt[j]];
      if (o.valid) mask |= 1u << (o.output - 1);
    }
    const uint32_t outputs = (mask & 1) + ((mask >> 1) & 1) + ((mask >> 2) & 1);
    x.valid = outputs == s.used ? 1 : 0;
    any = any || x.valid;
  }
  return any;
}

// ---------------------------------------------------------------------------------------
// Negative outputs, alignment and pulse width

// OCxN from OCxP: MSDIV makes OCxP and LSDIV makes OCxN from it, so only options with
// MSDIV 6 or more and no LSDIV of their own remain.
void apply_negative_outputs(search_s &s) {
  oc_solver_store_s &st = *s.st;
  bool dropped[OC_COUNT] = {false, false, false};
  bool kept[OC_COUNT] = {false, false, false};
  for (uint32_t i = 0; i < st.option_count; ++i) {
    oc_option_s &o = st.options[i];
    const uint32_t neg = *oc_fields(s.hal, o.output).neg_lsdiv;
    if (neg <= 1) continue;
    if (o.msdiv >= 6 && o.lsdiv == 1) {
      o.lsdiv = neg;
    } else {
      o.valid = 0;
      dropped[o.output - 1] = true;
    }
    if (o.valid) kept[o.output - 1] = true;
  }
  // The combination is unsupported only when the rule leaves the output no option at all.
  for (uint32_t k = 0; k < OC_COUNT; ++k) {
    if (!dropped[k] || kept[k]) continue;
    const int oc = static_cast<int>(k + 1);
    put_msgf(s.hal,
             "ERROR: The requested OC%dP and OC%dN frequency combination is not supported. When OC%dN is "
             "lower frequency than OC%dP, the medium-speed divider is used to generate OC%dP, and the "
             "low-speed divider is used to generate OC%dN from OC%dP. In this mode the medium-speed "
             "divider value must be in the range 6 to 128.",
             oc, oc, oc, oc, oc, oc, oc);
  }
}

bool power_of_two_ratio(uint32_t a, uint32_t b) {
  if (a == 0 || b == 0) return false;
  const uint32_t hi = a > b ? a : b;
  const uint32_t lo = a > b ? b : a;
  if (hi % lo != 0) return false;
  const uint32_t r = hi / lo;
  return (r & (r - 1)) == 0;
}

void add_entry(oc_solution_s &x, const oc_solver_store_s &st, const int32_t chosen[OC_COUNT]) {
  if (x.entry_count >= OC_SOLVER_SET_ENTRIES) return;
  oc_align_entry_s &e = x.entry[x.entry_count++];
  e.weight = 0;
  for (uint32_t k = 0; k < OC_COUNT; ++k) {
    e.opt[k] = chosen[k];
    if (chosen[k] != OC_SOLVER_NONE) e.weight += st.options[chosen[k]].msdiv - 2u;  // modulo 2^32
  }
}

void alignment_entries(search_s &s) {
  oc_solver_store_s &st = *s.st;
  bool aligned[OC_COUNT];
  for (uint32_t k = 0; k < OC_COUNT; ++k) aligned[k] = *oc_fields(s.hal, k + 1).align_en != 0;
  for (uint32_t i = 0; i < st.set_count; ++i) {
    oc_solution_s &x = st.sets[i];
    x.entry_count = 0;
    if (!x.valid) continue;
    // 1. Outputs straight from one HSDIV through MSDIV alone: the first aligned option fixes it.
    int32_t first = OC_SOLVER_NONE;
    for (uint32_t j = 0; j < x.opt_count && first == OC_SOLVER_NONE; ++j) {
      const oc_option_s &o = st.options[x.opt[j]];
      if (o.valid && aligned[o.output - 1]) first = x.opt[j];
    }
    if (first == OC_SOLVER_NONE) continue;
    const uint32_t h = st.options[first].hsdiv_x2;
    int32_t chosen[OC_COUNT] = {OC_SOLVER_NONE, OC_SOLVER_NONE, OC_SOLVER_NONE};
    for (uint32_t j = 0; j < x.opt_count; ++j) {
      const oc_option_s &o = st.options[x.opt[j]];
      if (o.valid && aligned[o.output - 1] && o.hsdiv_x2 == h && o.lsdiv == 1) chosen[o.output - 1] = x.opt[j];
    }
    uint32_t choices = 0;
    for (uint32_t k = 0; k < OC_COUNT; ++k) choices += chosen[k] != OC_SOLVER_NONE;
    if (choices > 1) add_entry(x, st, chosen);

    // 2. The leading options of the first aligned output anchor outputs whose MSDIVs differ
    //    from the anchor's by a power of two behind the same HSDIV.
    const uint32_t anchor_out = st.options[first].output;
    for (uint32_t j = 0; j < x.opt_count; ++j) {
      const oc_option_s &a = st.options[x.opt[j]];
      if (a.output != anchor_out) break;
      if (!a.valid || a.lsdiv == 1) continue;
      int32_t pick[OC_COUNT] = {OC_SOLVER_NONE, OC_SOLVER_NONE, OC_SOLVER_NONE};
      pick[anchor_out - 1] = x.opt[j];
      for (uint32_t m = 0; m < x.opt_count; ++m) {
        const oc_option_s &o = st.options[x.opt[m]];
        if (!o.valid || o.output == anchor_out || !aligned[o.output - 1]) continue;
        if (o.hsdiv_x2 != a.hsdiv_x2 || o.lsdiv == 1 || !power_of_two_ratio(o.msdiv, a.msdiv)) continue;
        pick[o.output - 1] = x.opt[m];
      }
      bool all = true;
      for (uint32_t k = 0; k < OC_COUNT; ++k) {
        if (aligned[k] && pick[k] == OC_SOLVER_NONE) all = false;
      }
      if (all) add_entry(x, st, pick);
    }
  }
}

// Pulse width: how far the nearest whole number of MSDIV output periods is from the
// requested width. Added once per option.
void pulse_width_weights(search_s &s) {
  oc_solver_store_s &st = *s.st;
  for (uint32_t i = 0; i < st.option_count; ++i) {
    oc_option_s &o = st.options[i];
    const uint32_t pw = *oc_fields(s.hal, o.output).pw_ns;
    if (!o.valid || pw == 0 || o.msdiv <= 1 || o.lsdiv <= 1) continue;
    const double v = fprec_s_2_double_mhz(o.vco);
    const double period = o.hsdiv_x2 * 0.5 * o.msdiv * 1000.0 / v;  // MSDIV output period, ns
    const double w = pw;
    bool matched = false;
    if (w < o.lsdiv * period) {
      const int64_t n = jround(w / period);
      if (n < 255) {
        double miss = std::trunc(std::fabs(static_cast<double>(n) * period - w) / w);
        if (!(miss >= 0.0 && miss <= 1000.0)) miss = 1.0;  // |n x P - W| never exceeds W
        o.fweight += static_cast<uint32_t>(1000.0 * miss);
        matched = true;
      }
    }
    if (!matched) o.fweight += 1000;
  }
}

// ---------------------------------------------------------------------------------------
// Best set

void choose_best_set(search_s &s) {
  oc_solver_store_s &st = *s.st;
  bool any_entries = false;
  for (uint32_t i = 0; i < st.set_count; ++i) {
    if (st.sets[i].valid && st.sets[i].entry_count > 0) any_entries = true;
  }
  st.best_set = OC_SOLVER_NONE;
  for (uint32_t i = 0; i < st.set_count; ++i) {
    oc_solution_s &x = st.sets[i];
    for (uint32_t k = 0; k < OC_COUNT; ++k) x.best[k] = OC_SOLVER_NONE;
    x.weight = 0;
    if (!x.valid) continue;
    for (uint32_t j = 0; j < x.opt_count; ++j) {
      oc_option_s &o = st.options[x.opt[j]];
      if (!o.valid) continue;
      const uint64_t t = static_cast<uint64_t>(o.jweight) + o.fweight;
      o.total = t < TOTAL_WEIGHT_MAX ? static_cast<uint32_t>(t) : TOTAL_WEIGHT_MAX;
      int32_t &b = x.best[o.output - 1];
      if (b == OC_SOLVER_NONE || o.total < st.options[b].total) b = x.opt[j];
    }
    if (x.entry_count > 0) {
      uint32_t e = 0;
      for (uint32_t j = 1; j < x.entry_count; ++j) {
        if (x.entry[j].weight < x.entry[e].weight) e = j;
      }
      x.weight = 3u * x.entry[e].weight;
      for (uint32_t k = 0; k < OC_COUNT; ++k) {
        if (x.entry[e].opt[k] != OC_SOLVER_NONE) x.best[k] = x.entry[e].opt[k];
      }
    } else {
      for (uint32_t k = 0; k < OC_COUNT; ++k) {
        if (x.best[k] != OC_SOLVER_NONE) x.weight += st.options[x.best[k]].total;
      }
      if (any_entries) x.weight += 1000;
    }
    if (st.best_set == OC_SOLVER_NONE || x.weight < st.sets[st.best_set].weight) {
      st.best_set = static_cast<int32_t>(i);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Exact common frequency

// gcd of 128-bit values (0 with 0 gives 0).
bigint128 big_gcd(const bigint128 &a, const bigint128 &b) {
  bigint128 g;
  bigint128Gcd(&g, &a, &b);
  return g;
}

// For each used output, r = lowest common multiple of the output frequencies / the output's
// frequency. Returns the flags of the exact arithmetic.
uint32_t common_ratios(search_s &s) {
  uint32_t flags = 0;
  bigint128 p[OC_COUNT];
  for (uint32_t k = 0; k < s.used; ++k) {
    bigint128Mpy64x64(&p[k], s.req[k].freq.f, s.req[k].freq.n);
    for (uint32_t j = 0; j < s.used; ++j) {
      if (j == k) continue;
      uint32_t ov = 0;
      bigint128x64Mpy(&ov, &p[k], &p[k], s.req[j].freq.m);
      if (ov) flags |= OC_SOLVER_FLAG_OVERFLOW;
    }
  }
  if (flags) return flags;
  // Lowest common multiple, built pairwise so that no product is larger than the result.
  bigint128 l = p[0];
  for (uint32_t k = 1; k < s.used; ++k) {
    const bigint128 g = big_gcd(l, p[k]);
    bigint128 q, r;
    bigint128Div(&q, &r, &l, &g);
    if (!is_zero(r)) flags |= OC_SOLVER_FLAG_REMAINDER;
    uint32_t ov = 0;
    bigint128 lp;
    // q x p[k]: multiply by the smaller operand's words through the 64-bit factor when it fits.
    if (p[k].w[1] == 0) {
      bigint128x64Mpy(&ov, &lp, &q, p[k].w[0]);
    } else if (q.w[1] == 0) {
      bigint128x64Mpy(&ov, &lp, &p[k], q.w[0]);
    } else {
      ov = 1;
    }
    if (ov) return flags | OC_SOLVER_FLAG_OVERFLOW;
    l = lp;
  }
  bigint128 g2;
  bigint128Set0(&g2);
  for (uint32_t k = 0; k < s.used; ++k) {
    bigint128 rem;
    bigint128Div(&s.req[k].r, &rem, &l, &p[k]);
    if (!is_zero(rem)) flags |= OC_SOLVER_FLAG_REMAINDER;
    g2 = big_gcd(g2, s.req[k].r);
  }
  if (!is_zero(g2)) {
    for (uint32_t k = 0; k < s.used; ++k) {
      bigint128 rem;
      bigint128Div(&s.req[k].r, &rem, &s.req[k].r, &g2);
      if (!is_zero(rem)) flags |= OC_SOLVER_FLAG_REMAINDER;
    }
  }
  return flags;
}

// Posts a listing line unless the log is full; once it is full, the log's own warning
// closes it and the listing stops.
bool post_listing(hal_api_s *hal, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
bool post_listing(hal_api_s *hal, const char *fmt, ...) {
  const hal_obj_s *obj = hal_obj(hal);
  if (!obj) return false;
  if (obj->msg_count >= KOVA_MSG_MAX) {
    put_msg(hal, "");  // the full log keeps "WARNING: MSG buffer full" as its last entry
    return false;
  }
  char buf[KOVA_MSG_LEN];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  put_msg(hal, buf);
  return true;
}

void post_solution_listing(hal_api_s *hal, const oc_solver_store_s &st) {
  const oc_solution_s &b = st.sets[st.best_set];
  if (!post_listing(hal, "\n\nBEST: VCO freq %12.6f hsdiv1 %4.1f hsdiv2 %4.1f weight %4d",
                    fprec_s_2_double_mhz(b.vco), b.hsdiv1_x2 * 0.5, b.hsdiv2_x2 * 0.5,
                    static_cast<int32_t>(b.weight)))
    return;
  for (uint32_t k = 0; k < OC_COUNT; ++k) {
    if (b.best[k] == OC_SOLVER_NONE) continue;
    const oc_option_s &o = st.options[b.best[k]];
    if (!post_listing(hal, "    OC%d hsdiv %4.1f msdiv %3d lsdiv %6d jweight %4u fweight %4u",
                      static_cast<int>(k + 1), o.hsdiv_x2 * 0.5, static_cast<int32_t>(o.msdiv),
                      static_cast<int32_t>(o.lsdiv), o.jweight, o.fweight))
      return;
  }
  if (!post_listing(hal, "%s", "\n\nList of valid VCO/HSDIV set solutions - every OC divider config\n")) return;
  uint32_t number = 0;
  for (uint32_t i = 0; i < st.set_count; ++i) {
    const oc_solution_s &x = st.sets[i];
    if (!x.valid) continue;
    if (!post_listing(hal, "\n%3u VCO freq %12.6f hsdiv1 %4.1f hsdiv2 %4.1f best weight %4d", number++,
                      fprec_s_2_double_mhz(x.vco), x.hsdiv1_x2 * 0.5, x.hsdiv2_x2 * 0.5,
                      static_cast<int32_t>(x.weight)))
      return;
    for (uint32_t j = 0; j < x.opt_count; ++j) {
      const oc_option_s &o = st.options[x.opt[j]];
      if (!post_listing(hal, "    OC%d freq %12.6f hsdiv %4.1f msdiv %3d lsdiv %6d jweight %4u fweight %4u",
                        static_cast<int>(o.output), fprec_s_2_double_mhz(o.freq), o.hsdiv_x2 * 0.5,
                        static_cast<int32_t>(o.msdiv), static_cast<int32_t>(o.lsdiv), o.jweight, o.fweight))
        return;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Selection lists

struct selection_s {
  fprec_s vco[OC_SOLVER_MAX_SETS];
  uint32_t vco_count;
  uint32_t h1[16];
  uint32_t h1_count;
  uint32_t h2[16];
  uint32_t h2_count;
  int32_t set;  // the selected set, or NONE
};

void sort_u32(uint32_t *v, uint32_t n) {
  for (uint32_t i = 1; i < n; ++i) {
    const uint32_t x = v[i];
    uint32_t j = i;
    for (; j > 0 && v[j - 1] > x; --j) v[j] = v[j - 1];
    v[j] = x;
  }
}

// Up to 16 distinct values in storage order, then sorted.
void add_distinct(uint32_t *v, uint32_t *n, uint32_t x) {
  if (*n >= 16) return;
  for (uint32_t i = 0; i < *n; ++i) {
    if (v[i] == x) return;
  }
  v[(*n)++] = x;
}

void list_vcos(const oc_solver_store_s &st, selection_s &sel) {
  sel.vco_count = 0;
  const uint32_t sets = st.set_count <= OC_SOLVER_MAX_SETS ? st.set_count : 0;
  for (uint32_t i = 0; i < sets; ++i) {
    const oc_solution_s &x = st.sets[i];
    if (!x.valid) continue;
    if (sel.vco_count == 0 || fprec_compare(x.vco, sel.vco[sel.vco_count - 1]) > 0) sel.vco[sel.vco_count++] = x.vco;
  }
}

bool index_ok(int32_t index, uint32_t count) { return index >= 0 && static_cast<uint32_t>(index) < count; }

void list_hsdiv1(const oc_solver_store_s &st, int32_t vco_index, selection_s &sel) {
  sel.h1_count = 0;
  if (!index_ok(vco_index, sel.vco_count)) return;
  const fprec_s &v = sel.vco[vco_index];
  for (uint32_t i = 0; i < st.set_count && i < OC_SOLVER_MAX_SETS; ++i) {
    const oc_solution_s &x = st.sets[i];
    if (x.valid && fprec_compare(x.vco, v) == 0) add_distinct(sel.h1, &sel.h1_count, x.hsdiv1_x2);
  }
  sort_u32(sel.h1, sel.h1_count);
}

void list_hsdiv2(const oc_solver_store_s &st, int32_t vco_index, int32_t h1_index, selection_s &sel) {
  sel.h2_count = 0;
  if (!index_ok(vco_index, sel.vco_count) || !index_ok(h1_index, sel.h1_count)) return;
  const fprec_s &v = sel.vco[vco_index];
  for (uint32_t i = 0; i < st.set_count && i < OC_SOLVER_MAX_SETS; ++i) {
    const oc_solution_s &x = st.sets[i];
    if (x.valid && x.hsdiv1_x2 == sel.h1[h1_index] && fprec_compare(x.vco, v) == 0)
      add_distinct(sel.h2, &sel.h2_count, x.hsdiv2_x2);
  }
  sort_u32(sel.h2, sel.h2_count);
}

void find_set(const oc_solver_store_s &st, int32_t vco_index, int32_t h1_index, int32_t h2_index,
              selection_s &sel) {
  sel.set = OC_SOLVER_NONE;
  if (!index_ok(vco_index, sel.vco_count) || !index_ok(h1_index, sel.h1_count) ||
      !index_ok(h2_index, sel.h2_count))
    return;
  for (uint32_t i = 0; i < st.set_count && i < OC_SOLVER_MAX_SETS; ++i) {
    const oc_solution_s &x = st.sets[i];
    if (x.valid && x.hsdiv1_x2 == sel.h1[h1_index] && x.hsdiv2_x2 == sel.h2[h2_index] &&
        fprec_compare(x.vco, sel.vco[vco_index]) == 0) {
      sel.set = static_cast<int32_t>(i);
      return;
    }
  }
}

// Which HSDIV (1 or 2) an option uses in its set.
uint32_t hsdiv_choice(const oc_solution_s &x, const oc_option_s &o) { return o.hsdiv_x2 == x.hsdiv1_x2 ? 1 : 2; }

// Up to two HSDIV choices of an output in the set, in order of first appearance.
uint32_t list_oc_hsdiv(const oc_solver_store_s &st, const oc_solution_s &x, uint32_t oc, uint32_t out[2]) {
  uint32_t n = 0;
  for (uint32_t j = 0; j < x.opt_count && n < 2; ++j) {
    const oc_option_s &o = st.options[x.opt[j]];
    if (o.output != oc) continue;
    const uint32_t c = hsdiv_choice(x, o);
    if (n == 0 || out[0] != c) out[n++] = c;
  }
  return n;
}

// The index-th option of output oc in the set that uses the HSDIV chosen by hsdiv_index.
const oc_option_s *oc_list_option(const oc_solver_store_s &st, const oc_solution_s &x, uint32_t oc,
                                  int32_t hsdiv_index, int32_t index) {
  uint32_t choices[2];
  const uint32_t n = list_oc_hsdiv(st, x, oc, choices);
  if (!index_ok(hsdiv_index, n) || index < 0) return nullptr;
  const uint32_t want = choices[hsdiv_index];
  int32_t seen = 0;
  for (uint32_t j = 0; j < x.opt_count; ++j) {
    const oc_option_s &o = st.options[x.opt[j]];
    if (o.output != oc || hsdiv_choice(x, o) != want) continue;
    if (seen++ == index) return &o;
  }
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------

uint32_t oc_solver_search(hal_api_s *hal) {
  hal_obj_s *obj = hal_obj(hal);
  if (!obj) return 0;
  search_s s{};
  s.hal = hal;
  s.st = &obj->solver;
  oc_solver_store_s &st = obj->solver;
  st.option_count = 0;
  st.set_count = 0;
  st.best_set = OC_SOLVER_NONE;

  // Used outputs, ranked by frequency, highest first; equal frequencies keep output order.
  for (uint32_t oc = 1; oc <= OC_COUNT; ++oc) {
    const fprec_s f = *oc_fields(hal, oc).freq;
    if (f.f == 0) continue;
    oc_req_s &r = s.req[s.used++];
    r.output = oc;
    r.freq = f;
    bigint128Set0(&r.r);
    r.rc = 0;
    r.reachable = false;
  }
  if (s.used == 0) return 0;
  for (uint32_t i = 1; i < s.used; ++i) {
    const oc_req_s x = s.req[i];
    const double mhz = fprec_s_2_double_mhz(x.freq);
    uint32_t j = i;
    for (; j > 0 && fprec_s_2_double_mhz(s.req[j - 1].freq) < mhz; --j) s.req[j] = s.req[j - 1];
    s.req[j] = x;
  }

  // An output of no frequency (n or m of 0) has no common frequency: no VCO candidate.
  bool zero = false;
  for (uint32_t k = 0; k < s.used; ++k) zero = zero || s.req[k].freq.n == 0 || s.req[k].freq.m == 0;

  uint32_t flags = 0;
  if (!zero) {
    flags = common_ratios(s);
    if (flags) return flags;
  }

  // F0: the lowest frequency from which every output is reached by an integer divider.
  fprec_s f0 = {0, 1, 1};
  bool candidates = !zero;
  const double vco_max = hal->vco_clk_max_mhz_r;
  if (candidates) {
    const oc_req_s &r1 = s.req[0];
    bool exact = false;
    if (r1.r.w[1] == 0 && r1.r.w[0] <= UINT32_MAX) {
      f0 = r1.freq;
      exact = fprec_scale(&f0, r1.r.w[0], 1) == 0;
    }
    if (!exact) {
      // F0 does not fit an exact frequency record: fine when it is beyond every VCO anyway.
      const double f0_mhz = fprec_s_2_double_mhz(r1.freq) * big_to_double(r1.r);
      if (!(f0_mhz / 2.0 <= vco_max)) {
        candidates = false;
      } else {
        return OC_SOLVER_FLAG_OVERFLOW;
      }
    }
  }

  if (candidates) {
    // Raise F0 to at least 0.495 MHz by decades; the dividers grow with it.
    uint64_t c = 1;
    bool c_ok = true;
    while (fprec_s_2_double_mhz(f0) < 0.495) {
      if (static_cast<uint64_t>(f0.f) * 10 <= UINT32_MAX) {
        f0.f *= 10;
      } else if (static_cast<uint64_t>(f0.n) * 10 <= UINT32_MAX) {
        f0.n *= 10;
      } else {
        return OC_SOLVER_FLAG_OVERFLOW;
      }
      if (c > UINT64_MAX / 10) c_ok = false;
      c *= 10;
    }
    for (uint32_t k = 0; k < s.used; ++k) {
      oc_req_s &r = s.req[k];
      r.reachable = c_ok && r.r.w[1] == 0 && !__builtin_mul_overflow(r.r.w[0], c, &r.rc);
    }

    const double k0d = std::ceil(2.0 * hal->vco_clk_min_mhz_r / fprec_s_2_double_mhz(f0));
    uint32_t k = 1;
    if (k0d > static_cast<double>(UINT32_MAX)) {
      candidates = false;
    } else if (k0d >= 1.0) {
      k = static_cast<uint32_t>(k0d);
    }
    uint32_t counted = 0;
    for (uint32_t step = 0; candidates && step < MAX_VCO_STEPS && counted < VCO_CANDIDATES && k != 0;
         ++step, ++k) {
      fprec_s vco = f0;
      if (fprec_scale(&vco, k, 2) != 0) return OC_SOLVER_FLAG_OVERFLOW;
      const double vco_mhz = fprec_s_2_double_mhz(vco);
      if (!(vco_mhz <= vco_max)) break;
      bool last_added = false;
      for (uint32_t j = 0; j < s.used; ++j) {
        const oc_req_s &r = s.req[j];
        uint64_t t = 0;
        if (!r.reachable || __builtin_mul_overflow(r.rc, static_cast<uint64_t>(k), &t) || t >= TOTAL_DIV_X2_LIMIT)
          continue;
        for (uint32_t h : OC_SOLVER_HSDIV_X2) {
          if (t % h != 0) continue;
          last_added = add_options(s, r, j + 1, vco, vco_mhz, t, h) > 0;
        }
      }
      if (last_added) ++counted;
    }
  }

  // Weights and sets, in option order.
  for (uint32_t i = 0; i < st.option_count; ++i) {
    oc_option_s &o = st.options[i];
    if (o.lsdiv == 0 || o.msdiv == 0) continue;
    o.jweight = jitter_weight(hal, o);
    insert_option(s, i);
  }
  if (!mark_valid_sets(s)) {
    put_msgf(hal,
             "ERROR: No VCO and divider solution for the configured output frequencies. A VCO frequency in "
             "the range %4.0lfMHz to %4.0lfMHz must be divisible to each output frequency. Divisors must be "
             "integer multiples of (a) integers 4 to 15 or (b) half divides 4.5 to 7.5.",
             hal->vco_clk_min_mhz_r, hal->vco_clk_max_mhz_r);
    return flags;
  }
  apply_negative_outputs(s);
  if (!mark_valid_sets(s)) {
    put_msg(hal, "ERROR: No valid VCO frequency and HSDIV combination for the requested input frequency combinations.");
    return flags;
  }
  alignment_entries(s);
  pulse_width_weights(s);
  choose_best_set(s);
  return flags;
}

int32_t oc_solver_auto(hal_api_s *hal) {
  hal_obj_s *obj = hal_obj(hal);
  if (!obj) return 0;
  hal->vco_hsdiv1x2_u8 = 0;
  hal->vco_hsdiv2x2_u8 = 0;

  if (hal->oc1_freq_s.f == 0 && hal->oc2_freq_s.f == 0 && hal->oc3_freq_s.f == 0) {
    // Nothing to solve: a plain default plan, and no solution table.
    obj->solver.option_count = 0;
    obj->solver.set_count = 0;
    obj->solver.best_set = OC_SOLVER_NONE;
    set_fprec_s(&hal->vco_freq_s, 3750000000u, 1, 1);
    hal->vco_hsdiv1x2_u8 = 12;
    hal->hsdiv1_freq_s = hal->vco_freq_s;
    fprec_scale(&hal->hsdiv1_freq_s, 2, 12);
    set_fprec_s(&hal->hsdiv2_freq_s, 0, 1, 1);
    set_fprec_s(&hal->oc1_lsdiv_freq_s, 0, 1, 1);
    hal->oc1_jitter_weight = 0.0;
    for (uint32_t oc = 1; oc <= OC_COUNT; ++oc) {
      const oc_fields_s f = oc_fields(hal, oc);
      *f.msdiv = 1;
      *f.lsdiv = 1;
      *f.phen = 0;
    }
    hal->oc1_neg_lsdiv_u32 = 1;
    hal->oc1cr3_divsel_u1 = 0;
    hal->apllcr1_enhs2_u1 = 0;
    hal->oc1_msdiv_freq_s = hal->hsdiv1_freq_s;
    return 0;
  }

  const uint32_t flags = oc_solver_search(hal);
  if (flags & (OC_SOLVER_FLAG_REMAINDER | OC_SOLVER_FLAG_OVERFLOW)) {
    put_msg(hal, "ERROR: A math error condition was detected, contact Talvex Support Team!!!");
    return 1;
  }
  const oc_solver_store_s &st = obj->solver;
  if (st.best_set < 0 || static_cast<uint32_t>(st.best_set) >= st.set_count) return 0;

  post_solution_listing(hal, st);
  const oc_solution_s &b = st.sets[st.best_set];
  hal->vco_freq_s = b.vco;
  hal->vco_hsdiv1x2_u8 = b.hsdiv1_x2;
  hal->vco_hsdiv2x2_u8 = b.hsdiv2_x2;
  hal->hsdiv1_freq_s = b.vco;
  fprec_scale(&hal->hsdiv1_freq_s, 2, b.hsdiv1_x2);
  if (b.hsdiv2_x2 != 0) {
    hal->hsdiv2_freq_s = b.vco;
    fprec_scale(&hal->hsdiv2_freq_s, 2, b.hsdiv2_x2);
  } else {
    set_fprec_s(&hal->hsdiv2_freq_s, 0, 1, 1);  // HSDIV2 unused: no frequency
  }
  for (uint32_t oc = 1; oc <= OC_COUNT; ++oc) {
    const oc_fields_s f = oc_fields(hal, oc);
    if (b.best[oc - 1] != OC_SOLVER_NONE) {
      const oc_option_s &o = st.options[b.best[oc - 1]];
      *f.jitter_weight = o.total;
      *f.divsel = (o.hsdiv_x2 == b.hsdiv2_x2) ? 1 : 0;
      *f.msdiv_freq = *f.divsel ? hal->hsdiv2_freq_s : hal->hsdiv1_freq_s;
      *f.msdiv = o.msdiv;
      *f.lsdiv = o.lsdiv;
      if (o.lsdiv < 2 || *f.neg_lsdiv > 1) {
        *f.lssel = 0;
        *f.neglsd = *f.neg_lsdiv > 1 ? 1 : 0;
      } else {
        *f.lssel = 1;
      }
    } else {
      *f.jitter_weight = 0.0;
      *f.divsel = 0;
      *f.msdiv = 1;
      *f.lsdiv = 1;
      *f.lssel = 0;
      set_fprec_s(f.msdiv_freq, 0, 1, 1);
    }
    fprec_scale(f.msdiv_freq, 1, *f.msdiv);
    *f.lsdiv_freq = *f.msdiv_freq;
    fprec_scale(f.lsdiv_freq, 1, *f.lsdiv);
  }
  if (hal->vco_hsdiv2x2_u8 != 0) hal->apllcr1_enhs2_u1 = 1;
  return 0;
}

int32_t get_oc_solver(hal_api_s *hal, oc_solver_param_sel_es sel, int32_t index, void *out) {
  const hal_obj_s *obj = hal_obj(hal);
  if (!obj || !out || index < 0) return 1;
  const int32_t s = static_cast<int32_t>(sel);
  if (s < 0 || s > oc_solver_sel_oc3_fweight_e) return 1;
  const oc_solver_store_s &st = obj->solver;
  selection_s lists;
  list_vcos(st, lists);
  if (s == oc_solver_sel_vco_e) {
    if (!index_ok(index, lists.vco_count)) return 1;
    *static_cast<fprec_s *>(out) = lists.vco[index];
    return 0;
  }
  list_hsdiv1(st, hal->oc_solver_vco_index, lists);
  if (s == oc_solver_sel_hsdiv1_e) {
    if (!index_ok(index, lists.h1_count)) return 1;
    *static_cast<uint32_t *>(out) = lists.h1[index];
    return 0;
  }
  list_hsdiv2(st, hal->oc_solver_vco_index, hal->oc_solver_hsdiv1_index, lists);
  if (s == oc_solver_sel_hsdiv2_e) {
    if (!index_ok(index, lists.h2_count)) return 1;
    *static_cast<uint32_t *>(out) = lists.h2[index];
    return 0;
  }
  find_set(st, hal->oc_solver_vco_index, hal->oc_solver_hsdiv1_index, hal->oc_solver_hsdiv2_index, lists);
  if (lists.set == OC_SOLVER_NONE) return 1;
  const oc_solution_s &x = st.sets[lists.set];

  // Lists 3 to 11 come in threes per output; 12 to 17 in twos per output.
  uint32_t oc;
  int32_t kind;  // 0 HSDIV choice, 1 MSDIV, 2 LSDIV, 3 jweight, 4 fweight
  if (s <= oc_solver_sel_oc3_lsdiv_e) {
    oc = static_cast<uint32_t>((s - 3) / 3 + 1);
    kind = (s - 3) % 3;
  } else {
    oc = static_cast<uint32_t>((s - 12) / 2 + 1);
    kind = 3 + (s - 12) % 2;
  }
  if (kind == 0) {
    uint32_t choices[2];
    const uint32_t n = list_oc_hsdiv(st, x, oc, choices);
    if (!index_ok(index, n)) return 1;
    *static_cast<uint32_t *>(out) = choices[index];
    return 0;
  }
  const oc_option_s *o = oc_list_option(st, x, oc, *oc_fields(hal, oc).hsdiv_index, index);
  if (!o) return 1;
  uint32_t v = 0;
  switch (kind) {
    case 1: v = o->msdiv; break;
    case 2: v = o->lsdiv; break;
    case 3: v = o->jweight; break;
    default: v = o->fweight; break;
  }
  *static_cast<uint32_t *>(out) = v;
  return 0;
}

void oc_solver_set_indexes(hal_api_s *hal) {
  const hal_obj_s *obj = hal_obj(hal);
  if (!obj) return;
  const oc_solver_store_s &st = obj->solver;
  selection_s lists;
  list_vcos(st, lists);
  for (uint32_t i = 0; i < lists.vco_count; ++i) {
    if (fprec_compare(lists.vco[i], hal->vco_freq_s) == 0) {
      hal->oc_solver_vco_index = static_cast<int32_t>(i);
      break;
    }
  }
  list_hsdiv1(st, hal->oc_solver_vco_index, lists);
  for (uint32_t i = 0; i < lists.h1_count; ++i) {
    if (lists.h1[i] == hal->vco_hsdiv1x2_u8) {
      hal->oc_solver_hsdiv1_index = static_cast<int32_t>(i);
      break;
    }
  }
  list_hsdiv2(st, hal->oc_solver_vco_index, hal->oc_solver_hsdiv1_index, lists);
  for (uint32_t i = 0; i < lists.h2_count; ++i) {
    if (lists.h2[i] == hal->vco_hsdiv2x2_u8) {
      hal->oc_solver_hsdiv2_index = static_cast<int32_t>(i);
      break;
    }
  }
  find_set(st, hal->oc_solver_vco_index, hal->oc_solver_hsdiv1_index, hal->oc_solver_hsdiv2_index, lists);
  if (lists.set == OC_SOLVER_NONE) return;
  const oc_solution_s &x = st.sets[lists.set];
  for (uint32_t oc = 1; oc <= OC_COUNT; ++oc) {
    const oc_fields_s f = oc_fields(hal, oc);
    uint32_t choices[2];
    const uint32_t n = list_oc_hsdiv(st, x, oc, choices);
    for (uint32_t i = 0; i < n; ++i) {
      if (choices[i] == *f.divsel + 1) {
        *f.hsdiv_index = static_cast<int32_t>(i);
        break;
      }
    }
    for (int32_t i = 0;; ++i) {
      const oc_option_s *o = oc_list_option(st, x, oc, *f.hsdiv_index, i);
      if (!o) break;
      if (o->msdiv == *f.msdiv) {
        *f.ocdiv_index = i;
        break;
      }
    }
  }
}
