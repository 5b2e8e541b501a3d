// The configuration text file on arbitrary text: the field part read by
// kova_hal_api_struct_wr from memory, and the whole file (fields and register lines) read by
// hal_config_load_file from a temporary file. The object keeps its private part whatever
// the text sets.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "files/hal_config_file.h"

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

const std::string &temp_path() {
  static const std::string p = "/tmp/kova_fuzz_config_text_" + std::to_string(getpid()) + ".txt";
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  hal_api_s *hal = base_object();
  const hal_api_s saved = *hal;

  if (size > 0) {
    FILE *mem = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (mem) {
      kova_hal_api_struct_wr(hal, mem);
      std::fclose(mem);
    }
  }
  if (hal->hal_obj_p != saved.hal_obj_p) __builtin_trap();
  *hal = saved;

  FILE *f = std::fopen(temp_path().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  file_message_s msg;
  std::string detail;
  const bool ok = hal_config_load_file(hal, temp_path().c_str(), &msg, &detail);
  if (hal->hal_obj_p != saved.hal_obj_p) __builtin_trap();
  // A failure that names a line names this file.
  if (!ok && !detail.empty() && detail.rfind(temp_path(), 0) != 0) __builtin_trap();
  *hal = saved;
  return 0;
}
