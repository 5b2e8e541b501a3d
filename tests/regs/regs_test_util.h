// Shared helpers of the register model tests.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "hal/calc_expert.h"
#include "hal/calc_hal.h"
#include "regs/build_regs.h"
#include "regs/seq.h"
#include "tests/hal_test_support.h"

namespace regs_test {

using namespace kova_test;  // the engine tests' object, messages and fields by name

// A blank object (init_api mode 1: register defaults, nothing known), then the chip's bytes.
inline void load_blank(hal_api_s *h, const uint8_t *image = nullptr) {
  h->init_api_mode_e = init_api_blank_e;
  init_api(h);
  for (uint32_t a = 0; image && a < KOVA_REG_COUNT; ++a) put_reg(h, a, image[a]);
}

// The first error among the messages logged since the last call; notes a feedback remainder
// cut to 32 bits (the chip then runs a hair off the frequencies asked for).
inline std::string first_error(hal_api_s *h, bool *truncated = nullptr) {
  std::string err;
  for (const std::string &m : drain(h)) {
    if (truncated && m.find("Fbm > 32 bits") != std::string::npos) *truncated = true;
    if (err.empty() && m.find("ERROR") != std::string::npos) err = m;
  }
  return err;
}

// Plans the configuration into its register image; false with the first error if a stage fails.
inline bool plan(hal_api_s *h, std::string *why, bool *truncated = nullptr) {
  for (auto stage : {calc_expert, calc_hal, build_regs}) {
    stage(h);
    *why = first_error(h, truncated);
    if (!why->empty()) return false;
  }
  return true;
}

// One record of a write sequence: register, byte and the wait (ms) after it.
struct W {
  uint32_t address, value, wait = 0;
  bool operator==(const W &o) const { return address == o.address && value == o.value && wait == o.wait; }
};

inline std::ostream &operator<<(std::ostream &os, const W &w) {
  return os << std::hex << "{0x" << w.address << ", 0x" << w.value << ", " << std::dec << w.wait << "}";
}

// Every record of one sequence; stops (and fails the caller's check) after `limit` records.
inline std::vector<W> collect(hal_api_s *h, int32_t mode, size_t limit = 10000) {
  std::vector<W> out;
  get_seq_s rec;
  while (out.size() < limit && get_seq(h, mode, &rec)) out.push_back({rec.address, rec.value, rec.wait});
  return out;
}

// The addresses of the sequence order, without procedures.
inline std::vector<uint32_t> sequence_order() {
  std::vector<uint32_t> v{0x000, 0x009, 0x00A};
  static const uint32_t kRanges[][2] = {{0x600, 0x632}, {0x100, 0x12C}, {0x00E, 0x01F}, {0x300, 0x35C},
                                        {0x400, 0x40A}, {0x40C, 0x467}, {0x40B, 0x40B}, {0x200, 0x228}};
  for (const auto &r : kRanges)
    for (uint32_t a = r[0]; a <= r[1]; ++a) v.push_back(a);
  v.insert(v.end(), {0x00C, 0x00B, 0x00D});
  return v;
}

}  // namespace regs_test
