// The chip's register tables as data: register names and bit layouts, the address ranges
// that hold no register, the layouts of the values that span several registers, and the
// packing of the register field values of hal_api_s into register bytes. The tables live
// in regmap_data.cpp; the lookups in regmap.h and build_regs.h are the public interface.
#pragma once
#include <cstddef>
#include <cstdint>

// Device classes of the layouts that differ between devices.
enum : int {
  kova_layout_class_a = 0,  // KX40110, KX40111: synthesis devices without DPLL
  kova_layout_class_b = 1,  // KX40112, KX40113
  kova_layout_class_c = 2,  // every other device
  kova_layout_class_count = 3,
};

// One named register. layout[0] is the layout of every device, or of class A when a later
// column is set; layout[1] and layout[2] are those of classes B and C, null meaning "same as
// the column on its left". A register without a bit layout has layout[0] null.
struct kova_reg_row_s {
  uint16_t address;
  const char *name;
  const char *layout[kova_layout_class_count];
};

extern const kova_reg_row_s kova_reg_rows[];  // ascending address order
extern const size_t kova_reg_row_count;

// An inclusive address range.
struct kova_reg_range_s {
  uint16_t first;
  uint16_t last;
};

// Address ranges of the register space that hold no register at all.
extern const kova_reg_range_s kova_reg_gaps[];
extern const size_t kova_reg_gap_count;

// Layouts of the values that span several registers: "NAME;[vh:vl:RRR:rh:rl]...".
constexpr size_t KOVA_MULTIREG_COUNT = 42;
extern const char *const kova_multireg_layouts[KOVA_MULTIREG_COUNT];

// Packing of hal_api_s register field values into register bytes (build_regs).
enum kova_build_when_e : uint8_t {
  kova_build_always_e,     // every build
  kova_build_mcr1_e,       // every build; XAB bits forced to 0 in SYN when the XA is disabled
  kova_build_apll_test_e,  // only when apll_test_build_disable is 0
  kova_build_ss_e,         // only in mode SS
  kova_build_ja_e,         // only in mode JA
  kova_build_pcen0_e,      // only when the PCEN bit of the row's monitor is 0
  kova_build_pcen1_e,      // only when the PCEN bit of the row's monitor is 1
};

// Register bits reg_high..reg_low receive the field bits starting at field_low.
struct kova_build_slot_s {
  uint8_t reg_high;
  uint8_t reg_low;
  uint8_t field_low;
  uint8_t field_size;     // 4 or 8 bytes
  uint16_t field_offset;  // offset of the field in hal_api_s
};

constexpr size_t KOVA_BUILD_MAX_SLOTS = 8;

// One register byte as build_regs writes it; bits without a slot are written 0.
struct kova_build_row_s {
  uint16_t address;
  kova_build_when_e when;
  uint8_t monitor;  // 1 to 3 for the PCEN conditions, else 0
  uint8_t slot_count;
  kova_build_slot_s slot[KOVA_BUILD_MAX_SLOTS];
};

extern const kova_build_row_s kova_build_rows[];  // in write order
extern const size_t kova_build_row_count;
