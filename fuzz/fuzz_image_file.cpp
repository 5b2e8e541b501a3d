// Image and dump file readers on arbitrary text: the first byte picks the encoding and the
// EEPROM settings, the rest is the file. Whatever is accepted must read back the same after
// being written again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "files/eeprom_decode.h"
#include "files/image_files.h"

namespace {

bool ask(void *ctx, const std::string &, const std::string &) { return ctx != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  const uint8_t sel = data[0];
  const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  const int32_t type = sel % 3;
  const int32_t ee_size = (sel >> 2 & 3) == 0 ? 2048 : (sel >> 2 & 3) == 1 ? 4096 : 8192;
  const bool reserve = sel & 0x10;

  eeprom_file_data_s d;
  if (eeprom_file_parse(text, type, &d)) {
    if (d.bytes.size() != d.byte_line.size()) __builtin_trap();
    // Written again as a dump and read back: the same bytes.
    if (!d.bytes.empty() && d.bytes.size() <= 65536) {
      std::string again;
      if (type == 1) ConvertToHEX(0, d.bytes.data(), static_cast<uint32_t>(d.bytes.size()), 4, &again, false);
      else ConvertToSRec(0, d.bytes.data(), static_cast<uint32_t>(d.bytes.size()), 16, &again, false);
      eeprom_file_data_s e;
      if (!eeprom_file_parse(again, type == 1 ? 1 : 2, &e) || e.bytes != d.bytes) __builtin_trap();
    }
    eeprom_decoded_s dec;
    eeprom_image_decode(d.bytes.data(), d.bytes.size(), &dec);
    eeprom_decode_listing(dec);
  } else if (d.error_line < 1 || d.error.empty()) {
    __builtin_trap();
  }

  eeprom_image_read_s r;
  eeprom_image_check_for_write("fuzz", text, type, ee_size, reserve, ask, (sel & 0x20) ? &r : nullptr, &r);
  if (r.status == eeprom_read_ok_e && (r.bytes.empty() || r.bytes.size() > static_cast<size_t>(ee_size)))
    __builtin_trap();
  if (r.status == eeprom_read_ok_e && reserve && r.bytes.size() > static_cast<size_t>(ee_size - 12)) __builtin_trap();
  eeprom_file_data_s v;
  file_message_s msg;
  eeprom_image_check_for_verify("fuzz", text, type, ee_size, reserve, &v, &msg);
  uint32_t value;
  HexStringToUint32(text, &value);
  return 0;
}
