// Any field values, however wrong: the register calculation ends, and every register field
// it writes stays within the width its name states.
#include <cstring>
#include <random>
#include <regex>

#include "test_calc_hal_util.h"

namespace {
using namespace calc_test;

// Values that break arithmetic: zeros, ones, field limits, 32-bit extremes.
uint32_t nasty(std::mt19937 &rng) {
  static const uint32_t pool[] = {0, 1, 2, 3, 7, 8, 15, 16, 100, 127, 128, 255, 256, 1023, 1024, 65535, 1u << 20,
                                  1u << 25, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
  if (rng() % 3 == 0) return rng();
  return pool[rng() % (sizeof pool / sizeof pool[0])];
}

fprec_s nasty_freq(std::mt19937 &rng) {
  switch (rng() % 4) {
    case 0: return fp(0);
    case 1: return fp(nasty(rng), nasty(rng), nasty(rng));
    case 2: return fp(static_cast<uint32_t>(1000 + rng() % 300000000));
    default: return fp(static_cast<uint32_t>(1000000 + rng() % 200000000), 1 + rng() % 7, 1 + rng() % 7);
  }
}

// A register field written by the calculation must fit the width its name ends in ("_u7",
// "_i8", "_ro_u16_36"), as an unsigned count or as a signed value held in a 32-bit word (some
// conversions are signed whatever the name). Two words are range-checked wider than their
// names: the spread-spectrum step (24 bits) and the PFD scale (32 bits).
std::vector<std::pair<const hal_field_s *, int>> register_widths() {
  static const std::regex width_re("_[ui]([0-9]+)(_[0-9]+)?$");
  std::vector<std::pair<const hal_field_s *, int>> out;
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s *f = &hal_api_fields[i];
    const std::string name = f->name;
    std::smatch m;
    if (std::strncmp(hal_api_field_group(f), "Register field values", 21) != 0 || !std::regex_search(name, m, width_re))
      continue;
    out.emplace_back(f, name == "dssdec1_decinc_u20" ? 24 : name == "pfdnscale_ro_u16_52" ? 32 : std::stoi(m[1].str()));
  }
  return out;
}

void expect_in_width(const hal_api_s &before, const hal_api_s &after, int32_t mode) {
  static const auto widths = register_widths();
  for (const auto &[f, bits] : widths) {
    if (std::memcmp(hal_field_ptr(&before, f), hal_field_ptr(&after, f), f->size) == 0) continue;
    if (f->size == 8) {
      ASSERT_LT(*static_cast<const uint64_t *>(hal_field_ptr(&after, f)), uint64_t{1} << bits) << f->name;
      continue;
    }
    const uint32_t u = *static_cast<const uint32_t *>(hal_field_ptr(&after, f));
    const int64_t half = int64_t{1} << (bits - 1), s = static_cast<int32_t>(u);
    ASSERT_TRUE(bits >= 32 || u < 2 * half || (s >= -half && s < half)) << f->name << " = " << u << " in mode " << mode;
  }
}

// Every user input, plan and derived value gets a value of its kind, sane or broken; input
// HSDIVs stay valid so that the run goes on past them.
std::vector<const hal_field_s *> input_fields() {
  std::vector<const hal_field_s *> out;
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const std::string group = hal_api_field_group(&hal_api_fields[i]);
    for (const char *g : {"Frequencies", "Divider plan", "DPLL, monitor", "Derived"})
      if (group.rfind(g, 0) == 0) out.push_back(&hal_api_fields[i]);
  }
  return out;
}

void scramble(hal_api_s *h, std::mt19937 &rng) {
  static const auto inputs = input_fields();
  for (const hal_field_s *f : inputs) {
    const std::string name = f->name;
    void *p = hal_field_ptr(h, f);
    if (f->kind == hal_field_fprec_e) {
      *static_cast<fprec_s *>(p) = nasty_freq(rng);
    } else if (f->kind == hal_field_enum_e) {
      *static_cast<int32_t *>(p) = static_cast<int32_t>(rng() % 6) - 1;
    } else if (f->kind == hal_field_u32_e || f->kind == hal_field_i32_e) {
      *static_cast<uint32_t *>(p) = name.size() > 3 && name.substr(name.size() - 3) == "_u1" ? rng() % 2 : nasty(rng);
    }
  }
  static const uint32_t kX2[] = {8, 9, 10, 12, 15, 20, 24, 30};
  h->vco_hsdiv1x2_u8 = kX2[rng() % 8];
  h->vco_hsdiv2x2_u8 = kX2[rng() % 8];
  for (uint32_t *u : {&h->ic1_hsdiv_u8, &h->ic2_hsdiv_u8, &h->ic3_hsdiv_u8}) *u = 1u << (rng() % 4);
  if (rng() % 4 == 0) h->ic_mondiv_max_u8 = nasty(rng);  // broken limits too
  if (rng() % 4 == 0) h->lkto_dsp_ratio_min_r = -1.0;
}

TEST(CalcHalRobust, AnyPlanEndsWithFieldsInTheirWidths) {
  std::mt19937 rng(20240611);
  for (int32_t mode : {kova_mode_syn_e, kova_mode_nco_e, kova_mode_ss_e, kova_mode_ja_e}) {
    for (int iter = 0; iter < 400; ++iter) {
      Hal hal;
      init_full(hal.get(), 40000, mode, xa_mode_xo_e, iter % 2);
      drain(hal.get());
      scramble(hal.get(), rng);
      const hal_api_s before = hal.h;
      calc_hal(hal.get());
      drain(hal.get());
      expect_in_width(before, hal.h, mode);
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
