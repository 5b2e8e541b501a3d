// The configuration text file on arbitrary text, from memory: the whole file (fields and
// register lines) read by hal_config_load_text, whose field part is the reading of
// kova_hal_api_struct_wr. The object keeps its private part whatever the text sets; a
// failed load leaves the object as it was and names lines of the file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "files/hal_config_file.h"
#include "hal/hal_fields.h"

namespace {

hal_api_s *base_object() {
  static hal_api_s hal = [] {
    hal_api_s h{};
    h.kova_device_e = kova_device_40000_e;
    h.kova_mode_e = kova_mode_ja_e;
    h.xa_mode_e = xa_mode_xo_e;
    h.sysclk_mode_e = sysclk_mode_xa_e;
    init_api(&h);
    while (get_msg(&h)) {
    }
    return h;
  }();
  return &hal;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  hal_api_s *hal = base_object();
  const hal_api_s saved = *hal;

  const std::string text(reinterpret_cast<const char *>(data), size);
  file_message_s msg;
  std::string detail;
  const bool ok = hal_config_load_text(hal, "cfg.txt", text, &msg, &detail);
  if (hal->hal_obj_p != saved.hal_obj_p) __builtin_trap();
  if (!ok && !detail.empty()) {
    // Every line named is a line of this file, and nothing was set.
    if (detail.rfind("cfg.txt:", 0) != 0) __builtin_trap();
    for (size_t i = 0; i < hal_api_field_count; ++i) {
      const hal_field_s *f = &hal_api_fields[i];
      if (std::memcmp(hal_field_ptr(hal, f), hal_field_ptr(&saved, f), f->size) != 0) __builtin_trap();
    }
  }
  *hal = saved;
  return 0;
}
