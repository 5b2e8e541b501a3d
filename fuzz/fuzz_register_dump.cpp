// Register dump loading on arbitrary text (from memory), and the comment-line reader on
// every line of it. The DSP code is appended whole (320 words) or not at all.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/register_dump.h"

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

  std::vector<uint32_t> dsp{1, 2};
  file_message_s msg;
  register_dump_load_text(hal, "dump.txt", text, &dsp, &msg);
  if (dsp.size() != 2 && dsp.size() != 2 + KOVA_DSP_WORDS) __builtin_trap();
  for (size_t i = 2; i < dsp.size(); ++i)
    if (dsp[i] > 0xFFFFFFu) __builtin_trap();
  if (!kova_device_valid(hal->kova_device_e) && hal->kova_device_e != 0) __builtin_trap();
  if (hal->hal_obj_p != saved.hal_obj_p) __builtin_trap();
  *hal = saved;

  ScriptCommentLineParse(hal, text);
  if (hal->hal_obj_p != saved.hal_obj_p) __builtin_trap();
  *hal = saved;
  return 0;
}
