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
  // Validation fails with its bad lines named, or because the script is empty.
  const bool valid = script_validate(&runner, nullptr);
  bool blank = true;
  for (const auto &l : runner.lines) blank = blank && l.find_first_not_of(" \t\r\v\f") == std::string::npos;
  if (valid != runner.errors.empty() && !(blank && !valid)) __builtin_trap();
  static hal_api_s *hal = [] {
    static hal_api_s h{};
    h.init_api_mode_e = init_api_blank_e;
    init_api(&h);
    return &h;
  }();
  // What validates runs; what does not, runs not at all.
  const int32_t device = hal->kova_device_e;
  if (script_execute(&runner, hal, nullptr) != valid) __builtin_trap();
  if (!valid && hal->kova_device_e != device) __builtin_trap();
  return 0;
}

// Every offline run initialises the configuration object afresh (a new HAL object of about
// 1 MB); kept in the sanitizer's quarantine they would make the target ten times slower.
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=0"; }
