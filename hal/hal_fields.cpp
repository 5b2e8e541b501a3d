#include "hal/hal_fields.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#define KOVA_FIELD_KIND_U32 hal_field_u32_e
#define KOVA_FIELD_KIND_I32 hal_field_i32_e
#define KOVA_FIELD_KIND_U64 hal_field_u64_e
#define KOVA_FIELD_KIND_I64 hal_field_i64_e
#define KOVA_FIELD_KIND_DBL hal_field_dbl_e
#define KOVA_FIELD_KIND_FPREC hal_field_fprec_e
#define KOVA_FIELD_KIND_ENUM hal_field_enum_e
#define KOVA_FIELD_KIND_PTR hal_field_ptr_e

const hal_field_s hal_api_fields[] = {
#define KOVA_GROUP(title)
#define KOVA_FIELD(kind, name, keyword) \
  {#name, KOVA_FIELD_KIND_##kind, keyword, offsetof(hal_api_s, name), sizeof(hal_api_s::name)},
#include "hal/hal_api_fields.def"
#undef KOVA_FIELD
#undef KOVA_GROUP
};

const size_t hal_api_field_count = sizeof(hal_api_fields) / sizeof(hal_api_fields[0]);

const hal_field_s *hal_api_field_find(const char *name) {
  if (!name) return nullptr;
  for (size_t i = 0; i < hal_api_field_count; ++i)
    if (std::strcmp(hal_api_fields[i].name, name) == 0) return &hal_api_fields[i];
  return nullptr;
}

namespace {

// The field list with its group titles, in order: a null name starts a group.
struct def_item_s {
  const char *name;
  const char *group;
};

constexpr def_item_s kDefItems[] = {
#define KOVA_GROUP(title) {nullptr, title},
#define KOVA_FIELD(kind, name, keyword) {#name, nullptr},
#include "hal/hal_api_fields.def"
#undef KOVA_FIELD
#undef KOVA_GROUP
};

}  // namespace

const char *hal_api_field_group(const hal_field_s *field) {
  if (!field || field < hal_api_fields || field >= hal_api_fields + hal_api_field_count) return nullptr;
  const size_t index = static_cast<size_t>(field - hal_api_fields);
  const char *group = "";
  size_t seen = 0;
  for (const def_item_s &item : kDefItems) {
    if (!item.name) {
      group = item.group;
    } else if (seen++ == index) {
      return group;
    }
  }
  return nullptr;
}

namespace {

// Decimal, or hexadecimal with a 0x prefix; a leading zero never means octal.
int number_base(const std::string &t) {
  const size_t i = !t.empty() && t[0] == '-' ? 1 : 0;
  return t.size() > i + 1 && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X') ? 16 : 10;
}

bool parse_u64(const std::string &t, uint64_t *out) {
  if (t.empty() || t[0] == '-' || t[0] == '+' || std::isspace(static_cast<unsigned char>(t[0]))) return false;
  errno = 0;
  char *end = nullptr;
  const unsigned long long v = std::strtoull(t.c_str(), &end, number_base(t));
  if (errno != 0 || end == t.c_str() || *end != '\0') return false;
  *out = v;
  return true;
}

bool parse_i64(const std::string &t, int64_t *out) {
  if (t.empty() || std::isspace(static_cast<unsigned char>(t[0])) || t[0] == '+') return false;
  errno = 0;
  char *end = nullptr;
  const long long v = std::strtoll(t.c_str(), &end, number_base(t));
  if (errno != 0 || end == t.c_str() || *end != '\0') return false;
  *out = v;
  return true;
}

}  // namespace

bool hal_field_set_text(hal_api_s *hal, const hal_field_s *field, const char *text, std::string *error) {
  auto fail = [&](const char *why) {
    if (error) *error = std::string(field ? field->name : "?") + ": " + why + ": \"" + (text ? text : "") + "\"";
    return false;
  };
  if (!hal || !field || !text) return fail("nothing to set");
  const std::string t(text);
  void *p = hal_field_ptr(hal, field);
  switch (field->kind) {
    case hal_field_u32_e: {
      uint64_t v;
      if (!parse_u64(t, &v) || v > UINT32_MAX) return fail("expected an unsigned 32-bit integer");
      *static_cast<uint32_t *>(p) = static_cast<uint32_t>(v);
      return true;
    }
    case hal_field_i32_e:
    case hal_field_enum_e: {
      int64_t v;
      if (!parse_i64(t, &v) || v < INT32_MIN || v > INT32_MAX) return fail("expected a signed 32-bit integer");
      *static_cast<int32_t *>(p) = static_cast<int32_t>(v);
      return true;
    }
    case hal_field_u64_e: {
      uint64_t v;
      if (!parse_u64(t, &v)) return fail("expected an unsigned 64-bit integer");
      *static_cast<uint64_t *>(p) = v;
      return true;
    }
    case hal_field_i64_e: {
      int64_t v;
      if (!parse_i64(t, &v)) return fail("expected a signed 64-bit integer");
      *static_cast<int64_t *>(p) = v;
      return true;
    }
    case hal_field_dbl_e: {
      if (t.empty() || std::isspace(static_cast<unsigned char>(t[0]))) return fail("expected a number");
      errno = 0;
      char *end = nullptr;
      const double v = std::strtod(t.c_str(), &end);
      if (errno == ERANGE || end == t.c_str() || *end != '\0' || !std::isfinite(v)) return fail("expected a number");
      *static_cast<double *>(p) = v;
      return true;
    }
    case hal_field_fprec_e: {
      uint64_t parts[3] = {0, 1, 1};
      size_t count = 0, start = 0;
      while (count < 3) {
        const size_t comma = t.find(',', start);
        const std::string piece = t.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!parse_u64(piece, &parts[count]) || parts[count] > UINT32_MAX) break;
        ++count;
        if (comma == std::string::npos) {
          start = std::string::npos;
          break;
        }
        start = comma + 1;
      }
      if (start != std::string::npos || (count != 1 && count != 3))
        return fail("expected a frequency F or F,N,M (unsigned 32-bit integers)");
      fprec_s v;
      set_fprec_s(&v, static_cast<uint32_t>(parts[0]), static_cast<uint32_t>(parts[1]), static_cast<uint32_t>(parts[2]));
      *static_cast<fprec_s *>(p) = v;
      return true;
    }
    case hal_field_ptr_e:
      break;
  }
  return fail("cannot be set");
}
