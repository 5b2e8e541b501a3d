// The configuration text file: layout, field lines, reading rules and the save/load round trip.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "files/hal_config_file.h"
#include "hal/hal_fields.h"
#include "hal/hal_obj.h"
#include "regs/regmap.h"
#include "tests/files/eeprom_test_util.h"


using namespace eetest;

namespace {

void read_text(hal_api_s *h, const std::string &text) {
  FILE *f = fmemopen(const_cast<char *>(text.data()), text.size(), "r");
  ASSERT_NE(f, nullptr);
  kova_hal_api_struct_wr(h, f);
  std::fclose(f);
}

std::string write_text(const hal_api_s *h) {
  return written([&](FILE *f) { kova_hal_api_struct_rd(h, f); });
}

// The version first; a field per line, its name ending at column 38 (one blank where type
// and name leave no room; enumerations have their own spacing); negative values as their
// 32-bit pattern; no private pointer and no init mode.
TEST(ConfigFile, LayoutOfTheFieldPart) {
  Hal h;
  h->oc1ph_phadj_i8 = -3;
  const std::string text = write_text(h.get());
  const auto lines = lines_of(text);
  EXPECT_EQ(lines[0], "uint32x           kova_hal_api_version = 0x09111400 152114176");
  int field_lines = 0;
  for (const std::string &l : lines) {
    const size_t eq = l.find(" = ");
    field_lines += eq != std::string::npos;
    if (eq != std::string::npos && l.rfind("enum", 0) != 0 && l.rfind(' ', eq - 1) + 1 > l.find(' ') + 1) {
      EXPECT_EQ(eq, 38u) << l;
    }
  }
  EXPECT_EQ(field_lines, 469);
  for (const char *want : {"\n/// @section init_api inputs.\n//\nenum kova_device_es       kova_device_e = 0x9C40 40000\n",
                           "\nint8x                   oc1ph_phadj_i8 = 0xFFFFFFFD 4294967293\n",
                           "\nfprec_s                      xa_freq_s = 114.285 f=114285000 n=1 m=1\n"})
    EXPECT_NE(text.find(want), std::string::npos) << want;
  EXPECT_EQ(text.find("hal_obj_p"), std::string::npos);
  EXPECT_EQ(text.find("init_api_mode_e"), std::string::npos);
}

// Each line of one file, and the value its field holds afterwards (as the field's own text
// form); fields set before reading show what the line must not change.
TEST(ConfigFile, ReadingRules) {
  const struct {
    const char *line, *field, *value;
  } rows[] = {
      {"uint8x xa_disable = 0x01 1", "xa_disable", "1"},
      {"uint8x    dpll_df=0x05 7", "dpll_df", "7"},                       // the decimal wins
      {"enum xa_mode_es xa_mode_e = 0x0003 4", "xa_mode_e", "3"},         // the hexadecimal wins
      {"enum hitless_mode_es hitless_mode_e = 0x0X0001 7", "hitless_mode_e", "1"},  // a doubled 0x is read once
      {"uint16x dpll_bw_hz = 77 77", "dpll_bw_hz", "50"},                 // no 0x: nothing set
      {"uint8x ss_pctx10 = 0x09 9;", "ss_pctx10", "9"},                   // ';' is a blank
      {"fprec_s xa_freq_s = 0 f=25000000 n=1 m=1", "xa_freq_s", "25000000,1,1"},  // the MHz figure is ignored
      {"int8x oc2ph_phadj_i8 = 0xFFFFFFFD 4294967293", "oc2ph_phadj_i8", "-3"},
      {"int32x man_phoff_ps = 0x0 -5", "man_phoff_ps", "-5"},
      {"uint32x oc1_lsdiv_u32 = 0x0 4294967297", "oc1_lsdiv_u32", "1"},  // read modulo 2^32
      {"uint64x afbdiv1_afbdiv_u42 = 0x0 18446744073709551615", "afbdiv1_afbdiv_u42", "18446744073709551615"},
      {"doublex vco_clk_max_mhz_r = 4180.25", "vco_clk_max_mhz_r", "4180.25"},
      {"uint16x xa_disable = 0x00 0", "xa_disable", "1"},                 // wrong keyword for the field
      {"  uint8x ss_mod_hz = 0x01 1", "ss_mod_hz", "0"},                  // leading blanks: no pattern matches
      {"/* a comment", "", ""},
      {"uint8x sco_sco_i8 = 0x07 7", "sco_sco_i8", "0"},
      {"uint8x apllcr4_pdss_u3 = 0x03 3 end of comment */", "apllcr4_pdss_u3", "3"},  // the closing line is read
      {"uint8x apllcr4_piss_u3 = 0x02 2 and some trailing text", "apllcr4_piss_u3", "2"},
      {"int16x oc_solver_vco_index = 0xFFFF 4294967295", "oc_solver_vco_index", "-1"},
      {"uint8x dpll_mode_e = 0x01 1", "dpll_mode_e", "0"},                // an enum field under a wrong keyword
      {"doublex dco_clk_frac_min_r = 0.75", "dco_clk_frac_min_r", "0.75"},  // last line without a line feed
  };
  Hal h, want;
  std::string text, error;
  for (const auto &r : rows) text += std::string(text.empty() ? "" : "\n") + r.line;
  h->dpll_bw_hz = want->dpll_bw_hz = 50;
  h->sco_sco_i8 = want->sco_sco_i8 = 0;
  read_text(h.get(), text);
  for (const auto &r : rows) {
    if (!*r.field) continue;
    const hal_field_s *f = hal_api_field_find(r.field);
    ASSERT_NE(f, nullptr) << r.field;
    ASSERT_TRUE(hal_field_set_text(want.get(), f, r.value, &error)) << error;
    EXPECT_EQ(std::memcmp(hal_field_ptr(h.get(), f), hal_field_ptr(want.get(), f), f->size), 0) << r.line;
  }
}

// A computed configuration of each mode, with values at the edges of their types (doubles
// that need all their digits, a NaN), saved and loaded into a fresh object of another device and mode: every field of the file and every
// named register come back, ID2 carrying the product index in its upper nibble.
struct mode_case_s {
  const char *name;
  int32_t mode, product_index;
  void (*outputs)(hal_api_s *);
};

class ConfigFileModes : public ::testing::TestWithParam<mode_case_s> {};

TEST_P(ConfigFileModes, SaveAndLoadRoundTrip) {
  const mode_case_s &mc = GetParam();
  Hal src(kova_device_40000_e, mc.mode);
  src->kova_device_rev_e = 1;
  src->init_api_mode_e = init_api_full_e;
  init_api(src.get());
  mc.outputs(src.get());
  calc_expert(src.get());
  calc_hal(src.get());
  build_regs(src.get());
  while (const char *m = get_msg(src.get())) ASSERT_EQ(std::strstr(m, "ERROR"), nullptr) << m;
  src->oc3ph_phadj_i8 = -100;
  src->lfint_rw_i64_22 = -123456789012345;
  src->dfreqz1_freqz_u40 = 0xFFFFFFFFFFull;
  src->oc1_jitter_weight = 1.0 / 3.0;
  src->output_freq_offset_ppm_r = -2.5e-7;
  src->freqoff_rw_i32_0 = INT32_MIN;
  src->dpll_bw_warp_C_r = 0.1 + 0.2;
  src->appl_fbdiv_max_r = 127.9999;  // %g alone would write 128
  src->ic1_mon_hyst_ppm_r = NAN;
  size_t computed = 0;  // registers the calculation set; the others get a pattern of all values
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a)
    if (get_reg(src.get(), a) != kova_regs_defaults(a)) ++computed;
    else put_reg(src.get(), a, (a * 7 + 3) & 0xFF);
  EXPECT_GT(computed, 10u);  // a computed image, not the reset defaults
  const std::string path = temp_path(std::string(mc.name) + ".txt");
  file_message_s msg;
  ASSERT_TRUE(hal_config_save_file(src.get(), path.c_str(), mc.product_index, &msg)) << msg.text;
  EXPECT_EQ(msg.text, "GUI Config file successfully saved!");
  Hal dst(kova_device_40110_e, mc.mode == kova_mode_syn_e ? kova_mode_ja_e : kova_mode_syn_e);
  std::string detail;
  ASSERT_TRUE(hal_config_load_file(dst.get(), path.c_str(), &msg, &detail)) << detail;
  std::remove(path.c_str());
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s *f = &hal_api_fields[i];
    if (*f->keyword) {
      EXPECT_EQ(std::memcmp(hal_field_ptr(src.get(), f), hal_field_ptr(dst.get(), f), f->size), 0) << f->name;
    }
  }
  size_t named = 0;
  for (uint32_t a = 0; a < KOVA_REG_COUNT; ++a) {
    if (!kova_reg_name(a)) continue;
    ++named;
    const uint32_t v = get_reg(src.get(), a);
    const uint32_t expect = a == 0x031 ? static_cast<uint32_t>(mc.product_index) << 4 | (v & 0x0F) : v;
    EXPECT_EQ(get_reg(dst.get(), a), expect) << "register 0x" << std::hex << a;
  }
  EXPECT_EQ(named, 586u);
}

INSTANTIATE_TEST_SUITE_P(
    AllModes, ConfigFileModes,
    ::testing::Values(mode_case_s{"SYN", kova_mode_syn_e, 5, [](hal_api_s *h) {
                        set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
                        set_fprec_s(&h->oc2_freq_s, 100000000, 1, 3);
                      }},
                      mode_case_s{"NCO", kova_mode_nco_e, 0, [](hal_api_s *h) { set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1); }},
                      mode_case_s{"SS", kova_mode_ss_e, 9, [](hal_api_s *h) { set_fprec_s(&h->oc1_freq_s, 100000000, 1, 1); }},
                      mode_case_s{"JA", kova_mode_ja_e, 15, [](hal_api_s *h) {
                        set_fprec_s(&h->ic1_freq_s, 10000000, 1, 1);
                        h->icen_ic1en_u1 = 1;
                        set_fprec_s(&h->oc1_freq_s, 156250000, 1, 1);
                      }}),
    [](const ::testing::TestParamInfo<mode_case_s> &info) { return info.param.name; });

// A file that cannot be loaded whole is not loaded at all: every bad line is named and the
// object keeps what it held. Lower-case hexadecimal register lines are read.
TEST(ConfigFile, ABadLineFailsTheWholeLoad) {
  const std::string path = temp_path("bad.txt");
  for (const auto &[text, want] : std::vector<std::pair<std::string, std::string>>{
           {"0x10B 0x03 AFBDIV6\n0xZZZ 0x05 X\n0x10C 0x09 AFBDEN1\n", ":2: not a register line"},
           {"0x10B 0x03 AFBDIV6\n  x  \n", ":2: a line of one character"},
           {"0x10B 0x0\n", ":1: register line too short"},
           {"0x10B 0x03 AFBDIV6\n0x\n", ":2: register line too short"},
           {"uint8x xa_disable = 0x01\n0x10B 0x03 AFBDIV6\n", ":1: xa_disable: the value \"0x01\" does not convert"},
           {"xa_disable = 1\n0x10B 0x03 AFBDIV6\n", ":1: xa_disable: a field line starts with its type"},
           {"no registers here\n", ""},
           {"0x10b 0x0f afbdiv6\n", "ok"},
       }) {
    SCOPED_TRACE(text);
    std::ofstream(path) << text;
    Hal h;
    std::string detail;
    file_message_s msg;
    const bool ok = want == "ok";
    EXPECT_EQ(hal_config_load_file(h.get(), path.c_str(), &msg, &detail), ok);
    EXPECT_EQ(get_reg(h.get(), 0x10B), ok ? 0x0Fu : kova_regs_defaults(0x10B));
    EXPECT_EQ(h->xa_disable, 0u);
    if (want.empty()) {
      EXPECT_EQ(msg.text + detail, "");
    } else if (!ok) {
      EXPECT_EQ(msg.text, "Error loading GUI Config file!");
      EXPECT_NE(detail.find(path + want), std::string::npos) << detail;
    }
  }
  std::remove(path.c_str());
  Hal h;
  std::string detail;
  file_message_s msg;
  EXPECT_FALSE(hal_config_load_file(h.get(), "/nonexistent/dir/cfg.txt", &msg, &detail));
  EXPECT_EQ(detail, "/nonexistent/dir/cfg.txt: No such file or directory");
  EXPECT_FALSE(hal_config_load_file(h.get(), std::string(1100, 'a').c_str(), &msg, &detail));
  EXPECT_EQ(msg.text, "File name Length too long.");
}

}  // namespace
