#include "app/eeprom_window_ops.h"

#include "app/device_settings.h"

namespace {

constexpr const char *kSizeText[EEPROM_WINDOW_SIZES] = {"2 kbyte", "4 kbyte", "8 kbyte"};
constexpr int32_t kSizeBytes[EEPROM_WINDOW_SIZES] = {2048, 4096, 8192};
constexpr const char *kClockText[EEPROM_WINDOW_CLOCKS] = {"1 MHz", "2 MHz", "5 MHz", "10 MHz"};
constexpr uint32_t kClockNs[EEPROM_WINDOW_CLOCKS] = {1000, 500, 200, 100};
constexpr const char *kPageText[EEPROM_WINDOW_PAGES] = {"16 bytes", "32 bytes", "64 bytes", "256 bytes"};

bool in(int32_t i, int32_t n) { return i >= 0 && i < n; }

}  // namespace

const char *const EEPROM_WINDOW_OFFLINE_TIP = "No board connected: connect to an evaluation board to use its EEPROM.";

const char *eeprom_window_size_text(int32_t i) { return in(i, EEPROM_WINDOW_SIZES) ? kSizeText[i] : ""; }
int32_t eeprom_window_size_bytes(int32_t i) { return kSizeBytes[in(i, EEPROM_WINDOW_SIZES) ? i : 0]; }
const char *eeprom_window_clock_text(int32_t i) { return in(i, EEPROM_WINDOW_CLOCKS) ? kClockText[i] : ""; }
uint32_t eeprom_window_clock_ns(int32_t i) {
  return kClockNs[in(i, EEPROM_WINDOW_CLOCKS) ? i : EEPROM_WINDOW_CLOCK_DEFAULT];
}
const char *eeprom_window_page_text(int32_t i) { return in(i, EEPROM_WINDOW_PAGES) ? kPageText[i] : ""; }

int32_t eeprom_window_page_index(uint32_t page_size) {
  for (int32_t i = 0; i < EEPROM_WINDOW_PAGES; ++i)
    if (kxKovaIo_EepromPageSizeChoice(i) == page_size) return i;
  return EEPROM_WINDOW_PAGE_DEFAULT;
}

eeprom_window_target_s eeprom_window_target(int32_t product_index) {
  eeprom_window_target_s t;
  t.board = eeprom_product_uses_board(product_index);
  t.reserve12 = eeprom_product_reserve(product_index);
  const char *which = t.board ? "Board" : "DUT";
  t.dump_text = std::string("Dump ") + which + " EEPROM to File";
  t.verify_text = std::string("Verify ") + which + " EEPROM against File";
  t.chip_write = !t.board;
  t.board_write = t.board;
  if (product_index >= 0 && product_index < KOVA_PRODUCT_COUNT && KovaProduct[product_index].device != 0)
    t.part_number = __dev_DeviceIdStr[product_index];
  return t;
}

std::string eeprom_window_other_target_tip(const eeprom_window_target_s &t) {
  const std::string part = t.part_number.empty() ? "This device" : t.part_number;
  return t.board ? part + " boots from the board EEPROM: only the board EEPROM is written."
                 : part + " boots from its own EEPROM: only the DUT EEPROM is written.";
}

eeprom_io_s eeprom_window_io(kxKovaIo_HandleS *board, const eeprom_window_target_s &t, int32_t size_index,
                             bool reserve12) {
  eeprom_io_s io;
  io.board = board;
  io.target = t.board ? eeprom_target_board_e : eeprom_target_chip_e;
  io.page_size = EEPROMPageSize;
  io.ee_size = eeprom_window_size_bytes(size_index);
  io.reserve12 = reserve12;
  io.part_number = t.part_number;
  return io;
}

std::string eeprom_window_progress_text(const std::string &what, uint32_t done, uint32_t total) {
  return what + ": " + std::to_string(done) + " of " + std::to_string(total) + " bytes";
}
