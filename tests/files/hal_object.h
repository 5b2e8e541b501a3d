// A KX40000 jitter-attenuation configuration object, initialised with its messages drained,
// for the file tests.
#pragma once
#include "hal/hal_api.h"

struct Hal {
  hal_api_s h{};
  Hal() {
    h.kova_device_e = kova_device_40000_e;
    h.kova_mode_e = kova_mode_ja_e;
    h.xa_mode_e = xa_mode_xo_e;
    h.sysclk_mode_e = sysclk_mode_xa_e;
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
