#include "cli/report.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

std::vector<std::string> drain_messages(hal_api_s *hal) {
  std::vector<std::string> out;
  while (const char *m = get_msg(hal)) out.emplace_back(m);
  return out;
}

bool messages_failed(const std::vector<std::string> &msgs) {
  for (const auto &m : msgs)
    if (m.find("ERROR") != std::string::npos) return true;
  return false;
}

nlohmann::ordered_json fields_json(const hal_api_s *hal) {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s *f = &hal_api_fields[i];
    const void *p = hal_field_ptr(hal, f);
    switch (f->kind) {
      case hal_field_u32_e: j[f->name] = *static_cast<const uint32_t *>(p); break;
      case hal_field_i32_e:
      case hal_field_enum_e: j[f->name] = *static_cast<const int32_t *>(p); break;
      case hal_field_u64_e: j[f->name] = *static_cast<const uint64_t *>(p); break;
      case hal_field_i64_e: j[f->name] = *static_cast<const int64_t *>(p); break;
      case hal_field_dbl_e: j[f->name] = *static_cast<const double *>(p); break;  // NaN and inf become null
      case hal_field_fprec_e: {
        const fprec_s v = *static_cast<const fprec_s *>(p);
        j[f->name] = {v.f, v.n, v.m};
        break;
      }
      case hal_field_ptr_e: break;
    }
  }
  return j;
}

bool hal_field_is_frequency(const hal_field_s *f) {
  return f->kind == hal_field_fprec_e && std::strstr(f->name, "_freq_s") != nullptr;
}

nlohmann::ordered_json hz_value(fprec_s v) {
  if (v.m == 0) return nullptr;
  // f x n fits 64 bits; the ratio is reduced by the greatest common divisor with m.
  uint64_t p = static_cast<uint64_t>(v.f) * v.n, q = v.m;
  uint64_t a = p, b = q;
  while (b) {
    const uint64_t t = a % b;
    a = b;
    b = t;
  }
  if (a > 1) p /= a, q /= a;
  if (q == 1) return p;
  return std::to_string(p) + "/" + std::to_string(q);
}

nlohmann::ordered_json hz_json(const hal_api_s *hal) {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  for (size_t i = 0; i < hal_api_field_count; ++i) {
    const hal_field_s *f = &hal_api_fields[i];
    if (hal_field_is_frequency(f)) j[f->name] = hz_value(*static_cast<const fprec_s *>(hal_field_ptr(hal, f)));
  }
  return j;
}

std::string field_text(const hal_api_s *hal, const hal_field_s *f) {
  const void *p = hal_field_ptr(hal, f);
  char buf[128];
  switch (f->kind) {
    case hal_field_u32_e: std::snprintf(buf, sizeof buf, "%" PRIu32, *static_cast<const uint32_t *>(p)); break;
    case hal_field_i32_e:
    case hal_field_enum_e: std::snprintf(buf, sizeof buf, "%" PRId32, *static_cast<const int32_t *>(p)); break;
    case hal_field_u64_e: std::snprintf(buf, sizeof buf, "%" PRIu64, *static_cast<const uint64_t *>(p)); break;
    case hal_field_i64_e: std::snprintf(buf, sizeof buf, "%" PRId64, *static_cast<const int64_t *>(p)); break;
    case hal_field_dbl_e: std::snprintf(buf, sizeof buf, "%.10g", *static_cast<const double *>(p)); break;
    case hal_field_fprec_e: {
      const fprec_s v = *static_cast<const fprec_s *>(p);
      std::snprintf(buf, sizeof buf, "%.12g MHz (f=%" PRIu32 " n=%" PRIu32 " m=%" PRIu32 ")",
                    fprec_s_2_double_mhz(v), v.f, v.n, v.m);
      break;
    }
    case hal_field_ptr_e: buf[0] = '\0'; break;
  }
  return buf;
}
