// What most engine tests need: a configuration object released at the end of the test, and
// the messages of its log.
#pragma once
#include <string>
#include <vector>

#include "hal/hal_api.h"

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

}  // namespace kova_test
