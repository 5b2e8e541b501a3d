// Shared helpers of the register model tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "hal/hal_api.h"
#include "hal/hal_obj.h"
#include "regs/seq.h"
#include "tests/hal_test_support.h"

namespace regs_test {

using kova_test::drain;

// A configuration object released at the end of the test, with its images at hand.
struct Hal : kova_test::Hal {
  uint8_t *img() { return h.hal_obj_p->regs; }
  uint8_t *wr() { return h.hal_obj_p->written; }
  uint32_t *seq() { return h.hal_obj_p->seq; }
};

inline void init_full(hal_api_s *h, int32_t device, int32_t mode, int32_t rev = 0,
                      int32_t xa = xa_mode_xo_e) {
  h->kova_device_e = device;
  h->kova_device_rev_e = rev;
  h->kova_mode_e = mode;
  h->xa_mode_e = xa;
  h->sysclk_mode_e = mode == kova_mode_syn_e ? sysclk_mode_ro_e : sysclk_mode_xa_e;
  h->jitter_mode_e = 0;
  h->init_api_mode_e = init_api_full_e;
  init_api(h);
}


// Every record of one sequence; stops (and fails the caller's check) after `limit` records.
inline std::vector<get_seq_s> collect(hal_api_s *h, int32_t mode, size_t limit = 10000) {
  std::vector<get_seq_s> out;
  get_seq_s rec;
  while (out.size() < limit && get_seq(h, mode, &rec)) out.push_back(rec);
  return out;
}

inline std::vector<uint32_t> addresses(const std::vector<get_seq_s> &recs) {
  std::vector<uint32_t> out;
  for (const get_seq_s &r : recs) out.push_back(r.address);
  return out;
}

inline void append_range(std::vector<uint32_t> &v, uint32_t first, uint32_t last) {
  for (uint32_t a = first; a <= last; ++a) v.push_back(a);
}

// The addresses of the sequence order, without procedures.
inline std::vector<uint32_t> sequence_order() {
  std::vector<uint32_t> v{0x000, 0x009, 0x00A};
  append_range(v, 0x600, 0x632);
  append_range(v, 0x100, 0x12C);
  append_range(v, 0x00E, 0x01F);
  append_range(v, 0x300, 0x35C);
  append_range(v, 0x400, 0x40A);
  append_range(v, 0x40C, 0x467);
  v.push_back(0x40B);
  append_range(v, 0x200, 0x228);
  v.insert(v.end(), {0x00C, 0x00B, 0x00D});
  return v;
}

}  // namespace regs_test
