#include "regs/build_regs.h"

#include <cstring>
#include "hal/hal_api.h"
#include "regs/regmap_data.h"

namespace {

// The field behind a slot, as an unsigned bit pattern (signed fields in two's complement).
uint64_t field_bits(const hal_api_s *hal, const kova_build_slot_s &slot) {
  const char *p = reinterpret_cast<const char *>(hal) + slot.field_offset;
  if (slot.field_size == sizeof(uint64_t)) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

uint32_t monitor_pcen(const hal_api_s *hal, uint32_t monitor) {
  switch (monitor) {
    case 1: return hal->mon1cr2_pcen_u1 & 1;
    case 2: return hal->mon2cr2_pcen_u1 & 1;
    case 3: return hal->mon3cr2_pcen_u1 & 1;
    default: return 0;
  }
}

bool row_applies(const hal_api_s *hal, const kova_build_row_s &row) {
  switch (row.when) {
    case kova_build_always_e:
    case kova_build_mcr1_e:
      return true;
    case kova_build_apll_test_e:
      return hal->apll_test_build_disable == 0;
    case kova_build_ss_e:
      return hal->kova_mode_e == kova_mode_ss_e;
    case kova_build_ja_e:
      return hal->kova_mode_e == kova_mode_ja_e;
    case kova_build_pcen0_e:
      return monitor_pcen(hal, row.monitor) == 0;
    case kova_build_pcen1_e:
      return monitor_pcen(hal, row.monitor) == 1;
  }
  return false;
}

uint32_t row_byte(const hal_api_s *hal, const kova_build_row_s &row) {
  uint32_t byte = 0;
  for (uint32_t i = 0; i < row.slot_count; ++i) {
    const kova_build_slot_s &s = row.slot[i];
    uint32_t width = s.reg_high - s.reg_low + 1u;
    uint32_t mask = (1u << width) - 1u;
    uint32_t bits = static_cast<uint32_t>(field_bits(hal, s) >> s.field_low) & mask;
    byte |= bits << s.reg_low;
  }
  // With the XA disabled in synthesis mode the XA/XB pins are left unconfigured.
  if (row.when == kova_build_mcr1_e && hal->kova_mode_e == kova_mode_syn_e &&
      hal->xa_disable != 0)
    byte &= ~0x03u;
  return byte;
}

}  // namespace

void build_regs(hal_api_s *hal) {
  if (!hal || !hal->hal_obj_p) return;
  if (init_api_modes_changed(hal)) return;
  for (size_t i = 0; i < kova_build_row_count; ++i) {
    const kova_build_row_s &row = kova_build_rows[i];
    if (row_applies(hal, row)) put_reg(hal, row.address, row_byte(hal, row));
  }
}
