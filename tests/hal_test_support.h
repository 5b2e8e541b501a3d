// What the engine tests share: a configuration object released at the end of the test, an
// initialisation by device and modes, the messages of its log, and fields set and checked by
// name as the configuration text writes them.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "hal/hal_api.h"
#include "hal/hal_fields.h"
#include "hal/hal_obj.h"

namespace kova_test {

struct Hal {
  hal_api_s h{};
  Hal() = default;
  Hal(const Hal &) = delete;
  Hal &operator=(const Hal &) = delete;
  ~Hal() { delete_api(&h); }
  hal_api_s *operator->() { return &h; }
  hal_api_s *get() { return &h; }
  uint8_t *img() { return h.hal_obj_p->regs; }
  uint8_t *wr() { return h.hal_obj_p->written; }
};

// Full initialisation; the system clock follows the mode (SYN runs from the ring oscillator)
// unless given.
inline void init_full(hal_api_s *h, int32_t device, int32_t mode, int32_t xa = xa_mode_xo_e, int32_t rev = 0,
                      int32_t sysclk = -1) {
  h->kova_device_e = device;
  h->kova_device_rev_e = rev;
  h->kova_mode_e = mode;
  h->xa_mode_e = xa;
  h->sysclk_mode_e = sysclk >= 0 ? sysclk : mode == kova_mode_syn_e ? sysclk_mode_ro_e : sysclk_mode_xa_e;
  h->jitter_mode_e = 0;
  h->init_api_mode_e = init_api_full_e;
  init_api(h);
}

// Drains the message log in order.
inline std::vector<std::string> drain(hal_api_s *h) {
  std::vector<std::string> out;
  while (const char *m = get_msg(h)) out.emplace_back(m);
  return out;
}

inline bool has_msg(const std::vector<std::string> &msgs, const std::string &text) {
  return std::find(msgs.begin(), msgs.end(), text) != msgs.end();
}

// Calls fn(field, value text) for each "name=value" of a blank-separated list.
template <class Fn>
void each_field(const std::string &assignments, Fn fn) {
  std::istringstream in(assignments);
  for (std::string item; in >> item;) {
    const size_t eq = item.find('=');
    const hal_field_s *f = hal_api_field_find(item.substr(0, eq).c_str());
    if (eq == std::string::npos || !f) {
      ADD_FAILURE() << "no field: " << item;
      continue;
    }
    fn(f, item.substr(eq + 1));
  }
}

// A field by name, typed (uint32_t, int32_t, fprec_s, ...), for fields numbered per input or
// output ("oc" + n + "_msdiv_u8").
template <class T>
T &field(hal_api_s *h, const std::string &name) {
  const hal_field_s *f = hal_api_field_find(name.c_str());
  EXPECT_TRUE(f && f->size == sizeof(T)) << name;
  static T none{};
  return f && f->size == sizeof(T) ? *static_cast<T *>(hal_field_ptr(h, f)) : none;
}

// Sets fields from "name=value ...", values as the configuration text takes them (decimal or
// 0x integers, decimals, F or F,N,M frequencies).
inline void set_fields(hal_api_s *h, const std::string &assignments) {
  each_field(assignments, [h](const hal_field_s *f, const std::string &v) {
    std::string err;
    EXPECT_TRUE(hal_field_set_text(h, f, v.c_str(), &err)) << err;
  });
}

// Checks fields against "name=value ...": each field must hold exactly the value the text
// stands for (a frequency compares its three numbers; "name=~F,N,M" compares only its value).
inline void expect_fields(const hal_api_s *h, const std::string &assignments) {
  each_field(assignments, [h](const hal_field_s *f, const std::string &v) {
    hal_api_s want = *h;
    std::string err;
    const bool by_value = f->kind == hal_field_fprec_e && v[0] == '~';
    ASSERT_TRUE(hal_field_set_text(&want, f, v.c_str() + (by_value ? 1 : 0), &err)) << err;
    const void *got = hal_field_ptr(h, f);
    if (by_value) {
      EXPECT_EQ(fprec_compare(*static_cast<const fprec_s *>(hal_field_ptr(&want, f)), *static_cast<const fprec_s *>(got)), 0)
          << f->name << " is not " << v;
      return;
    }
    std::ostringstream s;  // the value held, for the failure message
    if (f->kind == hal_field_fprec_e) {
      const fprec_s *x = static_cast<const fprec_s *>(got);
      s << x->f << "," << x->n << "," << x->m;
    } else if (f->kind == hal_field_dbl_e) {
      s.precision(17), s << *static_cast<const double *>(got);
    } else if (f->size == 8) {
      s << *static_cast<const int64_t *>(got);
    } else if (f->kind == hal_field_u32_e) {
      s << *static_cast<const uint32_t *>(got);
    } else {
      s << *static_cast<const int32_t *>(got);
    }
    EXPECT_EQ(std::memcmp(hal_field_ptr(&want, f), got, f->size), 0) << f->name << " is " << s.str() << ", expected " << v;
  });
}

}  // namespace kova_test
