// What the file tests share: a configuration object initialised with its messages drained,
// scratch files, writers' text in memory, scripts made from real configurations, parsed
// scripts made from command lists, and image building in memory.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "files/eeprom_image.h"
#include "files/image_files.h"
#include "files/mfg_script.h"
#include "hal/calc_expert.h"
#include "hal/calc_hal.h"
#include "regs/build_regs.h"
#include "regs/seq.h"

namespace eetest {

// A configuration object, by default a KX40000 in jitter attenuation.
struct Hal {
  hal_api_s h{};
  explicit Hal(int32_t device = kova_device_40000_e, int32_t mode = kova_mode_ja_e) {
    h.kova_device_e = device;
    h.kova_mode_e = mode;
    h.xa_mode_e = xa_mode_xo_e;
    h.sysclk_mode_e = mode == kova_mode_syn_e ? sysclk_mode_ro_e : sysclk_mode_xa_e;
    init_api(&h);
    while (get_msg(&h)) {
    }
  }
  ~Hal() { delete_api(&h); }
  Hal(const Hal &) = delete;
  Hal &operator=(const Hal &) = delete;
  hal_api_s *operator->() { return &h; }
  hal_api_s *get() { return &h; }
};

// A file name in the test's temporary folder, unique to this process.
inline std::string temp_path(const std::string &name) {
  return ::testing::TempDir() + "/kova_files_" + std::to_string(getpid()) + "_" + name;
}

inline std::string read_all(const std::string &path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// What a writer puts into a FILE, as text.
template <class F>
std::string written(F &&write) {
  char *buf = nullptr;
  size_t len = 0;
  FILE *f = open_memstream(&buf, &len);
  write(f);
  std::fclose(f);
  std::string text(buf, len);
  std::free(buf);
  return text;
}

// The script of a configuration computed from its frequencies: 40000 in synthesis (OC1 at
// 156.25 MHz) or in jitter attenuation (IC1 at 25 MHz, OC1 at 156.25 MHz).
inline std::string config_script(int32_t mode, uint32_t oc1_hz = 156250000) {
  Hal h(kova_device_40000_e, mode);
  h->oc1_freq_s = {oc1_hz, 1, 1};
  if (mode == kova_mode_ja_e) h->ic1_freq_s = {25000000, 1, 1};
  calc_expert(h.get());
  calc_hal(h.get());
  build_regs(h.get());
  while (get_msg(h.get())) {
  }
  get_seq_s rec;
  get_seq(h.get(), get_seq_chip_reset_e, &rec);
  return written([&](FILE *f) { kova_hal_api_to_mfg(h.get(), f, "1.1.2"); });
}

struct mfg_ptr {
  std::unique_ptr<kova_mfg_data_s> p = std::make_unique<kova_mfg_data_s>();
  mfg_ptr() { kova_mfg_clear(p.get()); }
  kova_mfg_data_s *get() const { return p.get(); }
  kova_mfg_data_s *operator->() const { return p.get(); }
};

// A parsed script from text, marked present.
inline mfg_ptr parsed(const std::string &text, const char *name = "script.mfg", int32_t *result = nullptr) {
  mfg_ptr m;
  kova_mfg_set_name(m.get(), name);
  m->present = 1;
  const int32_t r = kova_mfg_parse_text(m.get(), text);
  if (result) *result = r;
  return m;
}

struct built_s {
  int32_t result = 0;
  std::unique_ptr<kova_eeprom_data_s> ee = std::make_unique<kova_eeprom_data_s>();
  std::vector<mfg_ptr> scripts;
  std::vector<uint8_t> bytes(int32_t n = -1) const {  // the first n bytes; by default the image, checksum included
    const int32_t len = n < 0 ? std::min(ee->image_len, KOVA_EEPROM_MAX) : n;
    return std::vector<uint8_t>(ee->image, ee->image + len);
  }
};

// Builds an image from script texts (an empty text is a missing input).
inline built_s build(const std::vector<std::string> &texts, int32_t eesize = 2048, int32_t reserve12 = 1,
                     uint32_t esclk = 200) {
  built_s b;
  kova_mfg_data_s *mfg[KOVA_EEPROM_BRANCHES] = {};
  for (size_t i = 0; i < texts.size() && i < 4; ++i) {
    b.scripts.emplace_back();
    if (texts[i].empty()) continue;
    int32_t r = 0;
    b.scripts.back() = parsed(texts[i], ("in" + std::to_string(i) + ".mfg").c_str(), &r);
    b.result |= r;
    mfg[i] = b.scripts.back().get();
  }
  b.result |= kova_eeprom_build(b.ee.get(), mfg, esclk, eesize, reserve12);
  return b;
}

// The text of an image file written in memory.
inline std::string image_file_text(const kova_eeprom_data_s *ee, int32_t type) {
  return written([&](FILE *f) { kova_eedata2eeprom_wr(type, f, ee); });
}

inline bool has(const std::vector<std::string> &lines, const std::string &line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline std::vector<std::string> lines_of(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

inline std::string write_line(uint32_t address, uint32_t data) {
  char b[64];
  std::snprintf(b, sizeof b, "X , 0X%04X , 0X%02X ; R\n", address, data);
  return b;
}

}  // namespace eetest
