// The image decoder on arbitrary bytes (an EEPROM holding anything).
#include <cstddef>
#include <cstdint>

#include "files/eeprom_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  eeprom_decoded_s d;
  const bool ok = eeprom_image_decode(data, size, &d);
  if (ok != d.errors.empty()) __builtin_trap();
  eeprom_decode_listing(d);
  for (int b = -1; b < KOVA_EEPROM_BRANCHES; ++b) eeprom_boot_steps(d, b);
  eeprom_dsp_extract(d.common);
  return 0;
}
