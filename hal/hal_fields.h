// The field table of hal_api_s: name, storage kind, text-file keyword and place of every
// field, generated from the same list as the struct.
#pragma once
#include <cstddef>
#include "hal/hal_api.h"

enum hal_field_kind_e {
  hal_field_u32_e,
  hal_field_i32_e,
  hal_field_u64_e,
  hal_field_i64_e,
  hal_field_dbl_e,
  hal_field_fprec_e,
  hal_field_enum_e,
  hal_field_ptr_e,
};

struct hal_field_s {
  const char *name;
  hal_field_kind_e kind;
  const char *keyword;  // configuration text file type word; "" when the field is not written there
  size_t offset;
  size_t size;
};

extern const hal_field_s hal_api_fields[];
extern const size_t hal_api_field_count;

// Title of the group a field belongs to ("Header", "Limits (set by init_api per device and mode)", ...).
const char *hal_api_field_group(const hal_field_s *field);

// The field of that name, or null.
const hal_field_s *hal_api_field_find(const char *name);

// Typed access to a field of an object through its table entry.
inline void *hal_field_ptr(hal_api_s *hal, const hal_field_s *f) {
  return reinterpret_cast<char *>(hal) + f->offset;
}
inline const void *hal_field_ptr(const hal_api_s *hal, const hal_field_s *f) {
  return reinterpret_cast<const char *>(hal) + f->offset;
}

#include <string>

// Sets a field from user text: integers in decimal or 0x hexadecimal (range-checked for the
// field's storage), doubles as decimal numbers, fprec_s as "F" or "F,N,M". On failure the
// field is unchanged and *error says why in one line.
bool hal_field_set_text(hal_api_s *hal, const hal_field_s *field, const char *text, std::string *error);
