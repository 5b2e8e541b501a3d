// Configuration scripts on arbitrary text: the image builder's parser (and an image built
// from the parse), and the script runner's validation and offline run.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "files/eeprom_decode.h"
#include "files/eeprom_image.h"
#include "files/script_runner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);

  static kova_mfg_data_s *mfg = new kova_mfg_data_s;
  static kova_eeprom_data_s *ee = new kova_eeprom_data_s;
  kova_mfg_clear(mfg);
  mfg->present = 1;
  kova_mfg_parse_text(mfg, text);
  if (mfg->entry_count < 0 || mfg->entry_count > KOVA_MFG_MAX_ENTRIES) __builtin_trap();
  kova_mfg_data_s *const in[KOVA_EEPROM_BRANCHES] = {mfg, nullptr, mfg, nullptr};
  const int32_t r = kova_eeprom_build(ee, in, 200, 8192, 0);
  if (!(r & kova_ee_too_long_e)) {
    // What fits decodes back without complaint.
    uint8_t img[KOVA_EEPROM_MAX];
    for (int32_t p = 0; p < ee->image_len; ++p) img[p] = static_cast<uint8_t>(ee->image[p]);
    eeprom_decoded_s d;
    if (!eeprom_image_decode(img, static_cast<size_t>(ee->image_len), &d)) __builtin_trap();
  }

  script_runner_s runner;
  script_load_text(&runner, text);
  script_validate(&runner, nullptr);
  hal_api_s hal{};
  hal.init_api_mode_e = init_api_blank_e;
  init_api(&hal);
  script_execute(&runner, &hal, nullptr);
  // A run fails with its bad lines named, or because the script is empty.
  if (runner.run_ok == !runner.errors.empty()) {
    bool blank = true;
    for (const auto &l : runner.lines) blank = blank && l.find_first_not_of(" \t\r\v\f") == std::string::npos;
    if (runner.run_ok || !blank) __builtin_trap();
  }
  delete_api(&hal);
  return 0;
}
