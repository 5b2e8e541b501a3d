// What most engine tests need: a configuration object released at the end of the test, the
// messages of its log, and fields set and checked by name.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "hal/hal_api.h"
#include "hal/hal_fields.h"

namespace kova_test {

struct Hal {
  hal_api_s h{};
  Hal() = default;
  Hal(const Hal &) = delete;
  Hal &operator=(const Hal &) = delete;
  ~Hal() { delete_api(&h); }
  hal_api_s *operator->() { return &h; }
  hal_api_s *get() { return &h; }
};

// Drains the message log in order.
inline std::vector<std::string> drain(hal_api_s *h) {
  std::vector<std::string> out;
  while (const char *m = get_msg(h)) out.emplace_back(m);
  return out;
}

// The value of a field as the configuration text writes it.
inline std::string field_text(const hal_api_s *h, const hal_field_s *f) {
  const void *p = hal_field_ptr(h, f);
  std::ostringstream s;
  switch (f->kind) {
    case hal_field_u32_e: s << *static_cast<const uint32_t *>(p); break;
    case hal_field_i32_e:
    case hal_field_enum_e: s << *static_cast<const int32_t *>(p); break;
    case hal_field_u64_e: s << *static_cast<const uint64_t *>(p); break;
    case hal_field_i64_e: s << *static_cast<const int64_t *>(p); break;
    case hal_field_dbl_e: s.precision(17), s << *static_cast<const double *>(p); break;
    case hal_field_fprec_e: {
      const fprec_s *v = static_cast<const fprec_s *>(p);
      s << v->f << "," << v->n << "," << v->m;
      break;
    }
    default: s << "?";
  }
  return s.str();
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

// Sets fields from "name=value ...", values as the configuration text takes them (decimal or
// 0x integers, decimals, F or F,N,M frequencies).
inline void set_fields(hal_api_s *h, const std::string &assignments) {
  each_field(assignments, [h](const hal_field_s *f, const std::string &v) {
    std::string err;
    EXPECT_TRUE(hal_field_set_text(h, f, v.c_str(), &err)) << err;
  });
}

// Checks fields against "name=value ...": each field must hold exactly the value the text
// stands for (a frequency compares its three numbers, not only its value).
inline void expect_fields(const hal_api_s *h, const std::string &assignments) {
  each_field(assignments, [h](const hal_field_s *f, const std::string &v) {
    hal_api_s want = *h;
    std::string err;
    ASSERT_TRUE(hal_field_set_text(&want, f, v.c_str(), &err)) << err;
    EXPECT_EQ(std::memcmp(hal_field_ptr(&want, f), hal_field_ptr(h, f), f->size), 0)
        << f->name << " is " << field_text(h, f) << ", expected " << v;
  });
}

}  // namespace kova_test
