// The configuration text file saved from a computed configuration of each mode and loaded
// into a fresh object: every field of the file and every named register come back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "files/hal_config_file.h"
#include "hal/calc_expert.h"
#include "hal/calc_hal.h"
#include "hal/hal_fields.h"
#include "regs/build_regs.h"
#include "regs/regmap.h"
#include "tests/hal/test_calc_hal_configs.h"

namespace {

using calc_test::Hal;

struct mode_case_s {
  const char *name;
  void (*configure)(hal_api_s *);
  int product_index;
};

class ConfigFileModes : public ::testing::TestWithParam<mode_case_s> {};

TEST_P(ConfigFileModes, SaveLoadRoundTrip) {
  const mode_case_s &mc = GetParam();
  Hal src;
  mc.configure(src.get());
  calc_test::drain(src.get());
  const auto msgs = calc_test::recalc(src.get());
  ASSERT_FALSE(calc_test::any_error(msgs)) << mc.name << ": " << (msgs.empty() ? "" : msgs.front());
  build_regs(src.get());
  ASSERT_FALSE(calc_test::any_error(calc_test::drain(src.get())));
  // The calculation really produced something to save: dividers and frequencies set.
  ASSERT_NE(src->oc1_freq_s.f, 0u);

  const std::string path =
      ::testing::TempDir() + "/kova_modes_" + std::to_string(getpid()) + "_" + mc.name + ".txt";
  file_message_s msg;
  ASSERT_TRUE(hal_config_save_file(src.get(), path.c_str(), mc.product_index, &msg)) << msg.text;

  // A fresh object of a different device and mode, so that nothing matches by accident.
  Hal dst;
  calc_test::init_full(dst.get(), 40110, kova_mode_syn_e);
  calc_test::drain(dst.get());
  std::string detail;
  ASSERT_TRUE(hal_config_load_file(dst.get(), path.c_str(), &msg, &detail)) << detail;
  std::remove(path.c_str());

  size_t fields = 0;
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s *f = &hal_api_fields[i];
    if (!*f->keyword) continue;
    ++fields;
    EXPECT_EQ(std::memcmp(hal_field_ptr(src.get(), f), hal_field_ptr(dst.get(), f), f->size), 0)
        << mc.name << " " << f->name;
  }
  EXPECT_GT(fields, 400u);

  size_t named = 0, differ_from_default = 0;
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) {
    if (!kova_reg_name(a)) continue;
    ++named;
    const uint32_t expect = a == 0x031
                                ? (static_cast<uint32_t>(mc.product_index) << 4) | (get_reg(src.get(), a) & 0x0F)
                                : get_reg(src.get(), a);
    EXPECT_EQ(get_reg(dst.get(), a), expect) << mc.name << " register 0x" << std::hex << a;
    if (get_reg(src.get(), a) != kova_regs_defaults(a)) ++differ_from_default;
  }
  EXPECT_EQ(named, 586u);
  // The register image is a computed one, not the reset defaults.
  EXPECT_GT(differ_from_default, 10u) << mc.name;
}

INSTANTIATE_TEST_SUITE_P(AllModes, ConfigFileModes,
                         ::testing::Values(mode_case_s{"SYN", calc_test::cfg_syn, 5},
                                           mode_case_s{"NCO", calc_test::cfg_nco, 0},
                                           mode_case_s{"SS", calc_test::cfg_ss, 9},
                                           mode_case_s{"JA", calc_test::cfg_ja, 15}),
                         [](const ::testing::TestParamInfo<mode_case_s> &info) { return info.param.name; });

}  // namespace
