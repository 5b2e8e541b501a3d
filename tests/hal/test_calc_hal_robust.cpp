// Any field values, limits included, however wrong: the expert calculation ends in a plan or
// in messages, the register calculation ends, and every register field it writes stays within
// the width its name states. No crash, no hang, no undefined arithmetic (the sanitizer build
// traps on that).
#include <cmath>
#include <cstring>
#include <random>
#include <regex>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

struct Sweep {
  std::mt19937 rng{12345};
  uint32_t pick(std::initializer_list<uint32_t> v) { return *(v.begin() + rng() % v.size()); }

  // Values that break arithmetic: zeros, ones, field limits, 32-bit extremes.
  uint32_t nasty() {
    if (rng() % 3 == 0) return rng();
    return pick({0, 1, 2, 3, 7, 8, 15, 16, 100, 127, 128, 255, 256, 1023, 1024, 65535, 1u << 20, 1u << 25, 0x7FFFFFFFu,
                 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu});
  }

  // Mostly frequencies the chip can take (outputs now and then x 1/3 or x 255/237), sometimes
  // anything at all.
  fprec_s freq(bool input) {
    if (rng() % 3 == 0) {
      return fp(pick({0, 1, 7, 1000, 19440000, 25000000, 100000000, 156250000, 622080000, 4294967291u, 4294967295u}),
                pick({0, 1, 1, 1, 3, 255, 65536, 4294967295u}), pick({0, 1, 1, 1, 3, 237, 536870913, 4294967295u}));
    }
    if (input) return fp(pick({0, 19440000, 25000000, 125000000, 155520000}));
    const uint32_t r = rng() % 4;
    return fp(pick({0, 1, 10000, 1000000, 25000000, 100000000, 156250000, 622080000}), r == 3 ? 255 : 1,
              r == 3 ? 237 : r == 2 ? 3 : 1);
  }

  // Now and then 0, negative, NaN, infinite, far off.
  double real(double v) {
    const double k[] = {0.0, -1.0, static_cast<double>(NAN), static_cast<double>(INFINITY), 1000.0, 0.001};
    const uint32_t r = rng() % 12;
    return r >= 6 ? v : r == 2 || r == 3 ? k[r] : v * k[r];
  }

  // The user's requests and options, with broken settings and limits when scrambling: every
  // real limit scrambled, or all range checks wide open.
  void requests(hal_api_s *h, bool scramble) {
    if (scramble) h->xa_freq_s = freq(false);
    h->ic1_freq_s = freq(true);
    if (rng() % 2) h->ic2_freq_s = freq(true);
    if (rng() % 4 == 0) h->ic3_freq_s = freq(true);
    h->oc1_freq_s = freq(false);
    if (rng() % 2) h->oc2_freq_s = freq(false);
    if (rng() % 2) h->oc3_freq_s = freq(false);
    h->oc1_neg_lsdiv_u32 = pick({0, 1, 4, 4294967295u});
    h->oc2_pw_ns_u16 = pick({0, 1, 100, 65535});
    h->oc3_align_en = rng() % 2;
    h->dpll_bw_hz = pick({0, 1, 50, 100, 500, 4294967295u});
    h->jitter_tol_ns_u16 = pick({0, 0, 1, 2000});
    h->pfd_div_lock_u16 = pick({0, 0, 1, 100, 20000});
    h->ss_mod_hz = pick({0, 30000, 4294967295u});
    h->ss_pctx10 = pick({0, 5, 4294967295u});
    if (!scramble) return;
    h->apllcr1_aidiv_u2 = pick({0, 1, 3, 63, 64, 4294967295u});
    h->ic1_hsdiv_u8 = pick({0, 1, 3, 4294967295u});
    h->oc_msdiv_max_u8 = pick({128, 0, 4294967295u});
    h->oc_lsdiv_max_u32 = pick({33554432, 0, 4294967295u});
    const bool open = rng() % 2 == 0;
    static const auto limits = fields_in({"Limits"});
    for (const hal_field_s *f : limits) {
      if (f->kind != hal_field_dbl_e) continue;
      const std::string name = f->name;
      double &lim = *static_cast<double *>(hal_field_ptr(h, f));
      lim = !open ? real(lim) : name.find("_min_freq") != std::string::npos ? 0.0
                              : name.find("_max_freq") != std::string::npos ? 1e30 : lim;
    }
  }

  // Every user input, plan and derived value a value of its kind, sane or broken; input and
  // VCO HSDIVs stay valid so that the run goes on past them.
  void plan(hal_api_s *h) {
    static const auto inputs = fields_in({"Frequencies", "Divider plan", "DPLL, monitor", "Derived"});
    for (const hal_field_s *f : inputs) {
      const std::string name = f->name;
      void *p = hal_field_ptr(h, f);
      if (f->kind == hal_field_fprec_e) {
        *static_cast<fprec_s *>(p) = rng() % 4 == 0 ? fp(0) : fp(nasty(), nasty(), nasty());
      } else if (f->kind == hal_field_enum_e) {
        *static_cast<int32_t *>(p) = static_cast<int32_t>(rng() % 6) - 1;
      } else if (f->kind == hal_field_u32_e || f->kind == hal_field_i32_e) {
        *static_cast<uint32_t *>(p) = name.substr(name.size() - 3) == "_u1" ? rng() % 2 : nasty();
      }
    }
    h->vco_hsdiv1x2_u8 = pick({8, 9, 10, 12, 15, 20, 24, 30});
    h->vco_hsdiv2x2_u8 = pick({8, 9, 10, 12, 15, 20, 24, 30});
    for (uint32_t *u : {&h->ic1_hsdiv_u8, &h->ic2_hsdiv_u8, &h->ic3_hsdiv_u8}) *u = 1u << (rng() % 4);
  }

  static std::vector<const hal_field_s *> fields_in(std::initializer_list<const char *> groups) {
    std::vector<const hal_field_s *> out;
    for (size_t i = 0; i < hal_api_field_count; ++i) {
      const std::string group = hal_api_field_group(&hal_api_fields[i]);
      for (const char *g : groups)
        if (group.rfind(g, 0) == 0) out.push_back(&hal_api_fields[i]);
    }
    return out;
  }
};

// The register fields with the width their names end in ("_u7", "_i8", "_ro_u16_36"). Two
// words are range-checked wider than their names: the spread-spectrum step (24 bits) and the
// PFD scale (32 bits).
std::vector<std::pair<const hal_field_s *, int>> register_widths() {
  static const std::regex width_re("_[ui]([0-9]+)(_[0-9]+)?$");
  std::vector<std::pair<const hal_field_s *, int>> out;
  for (const hal_field_s *f : Sweep::fields_in({"Register field values"})) {
    const std::string name = f->name;
    std::smatch m;
    if (!std::regex_search(name, m, width_re)) continue;
    out.emplace_back(f, name == "dssdec1_decinc_u20" ? 24 : name == "pfdnscale_ro_u16_52" ? 32 : std::stoi(m[1].str()));
  }
  return out;
}

// A register field the run wrote fits its width as an unsigned count or as a signed value held
// in a 32-bit word (some conversions are signed whatever the name).
void expect_in_width(const hal_api_s &before, const hal_api_s &after, int iteration) {
  static const auto widths = register_widths();
  for (const auto &[f, bits] : widths) {
    if (std::memcmp(hal_field_ptr(&before, f), hal_field_ptr(&after, f), f->size) == 0) continue;
    if (f->size == 8) {
      ASSERT_LT(*static_cast<const uint64_t *>(hal_field_ptr(&after, f)), uint64_t{1} << bits) << f->name;
      continue;
    }
    const uint32_t u = *static_cast<const uint32_t *>(hal_field_ptr(&after, f));
    const int64_t half = int64_t{1} << (bits - 1), s = static_cast<int32_t>(u);
    ASSERT_TRUE(bits >= 32 || u < 2 * half || (s >= -half && s < half)) << f->name << " = " << u << " at " << iteration;
  }
}

TEST(CalcRobust, AnyFieldValuesEndInAPlanOrMessagesWithFieldsInTheirWidths) {
  Sweep sw;
  const int32_t modes[][3] = {{kova_mode_syn_e, xa_mode_xo_e, sysclk_mode_ro_e},
                              {kova_mode_syn_e, xa_mode_disabled_e, sysclk_mode_ro_e},
                              {kova_mode_nco_e, xa_mode_xo_e, sysclk_mode_xa_e},
                              {kova_mode_ss_e, xa_mode_xtal_dbl_e, sysclk_mode_xa_e},
                              {kova_mode_ja_e, xa_mode_xo_e, sysclk_mode_xa_e},
                              {kova_mode_ja_e, xa_mode_xo_dbl_e, sysclk_mode_xa_e}};
  for (int i = 0; i < 1000; ++i) {
    const auto &md = modes[sw.rng() % 6];
    Hal h;
    init_full(h.get(), kova_device_40000_e, md[0], md[1], sw.rng() % 2, md[2]);
    drain(h.get());
    sw.requests(h.get(), sw.rng() % 2 == 0);
    calc_expert(h.get());
    const auto msgs = drain(h.get());
    EXPECT_LE(msgs.size(), KOVA_MSG_MAX);
    // A run that posts no error leaves a plan whose dividers give OC1 exactly.
    if (!any_error(msgs) && h->oc1_freq_s.f != 0 && h->oc1_freq_s.n != 0 && h->oc1_freq_s.m != 0 &&
        h->oc1_neg_lsdiv_u32 <= 1) {
      EXPECT_EQ(fprec_compare(h->oc1_lsdiv_freq_s, h->oc1_freq_s), 0) << i;
    }
    if (sw.rng() % 2 == 0) sw.plan(h.get());  // or a plan nobody chose
    const hal_api_s before = h.h;
    calc_hal(h.get());
    drain(h.get());
    expect_in_width(before, h.h, i);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
