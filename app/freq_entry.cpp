#include "app/freq_entry.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::string trim(const std::string &s) {
  size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

bool parse_double(const std::string &text, double *out) {
  const std::string t = trim(text);
  if (t.empty()) return false;
  errno = 0;
  char *end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

// MHz to whole hertz. Rounded, not truncated: 4.100001 MHz is 4100000.999... in binary
// floating point and must still give 4100001 Hz.
uint64_t mhz_to_hz(double mhz) { return static_cast<uint64_t>(jround(mhz * 1000000.0)); }

constexpr double kMax32Mhz = 4294.967295;

}  // namespace

double FrequencyTextBox_Calculate(uint32_t f, uint32_t n, uint32_t m) {
  fprec_s v;
  set_fprec_s(&v, f, n, m);
  return fprec_s_2_double_mhz(v);
}

bool DoubleTextBox_Validate(const std::string &text, double min, double max, bool inclusive, double *value) {
  double v;
  if (!value || !parse_double(text, &v)) return false;
  const bool inside = (v > min && v < max) || (inclusive && (v == min || v == max));
  if (inside) *value = v;
  return inside;
}

std::string DoubleTextBox_Format(double value, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  return buf;
}

bool frequency_from_mhz_text(const std::string &text, fprec_s *out) {
  double mhz = 0;
  if (!out || !DoubleTextBox_Validate(text, 0.0, KOVA_FREQ_MAX_MHZ, true, &mhz)) return false;
  // A plain entry holds a 32-bit number of hertz; larger values go through the calculator,
  // which factors them. Wrapping them round would give a wrong frequency without a word.
  if (mhz > kMax32Mhz) return false;
  set_fprec_s(out, static_cast<uint32_t>(mhz_to_hz(mhz)), 1, 1);
  return true;
}

bool freq_calc_set_base(freq_calc_s *calc, const std::string &mhz_text) {
  double mhz = 0;
  if (!calc || !DoubleTextBox_Validate(mhz_text, 0.0, KOVA_FREQ_MAX_MHZ, true, &mhz)) return false;
  uint64_t b = mhz_to_hz(mhz);
  if (mhz > kMax32Mhz) {
    constexpr uint64_t kFactors[] = {10, 2, 3, 5};
    uint64_t d = calc->denominator, n = calc->numerator;
    if (d > 1)
      for (uint64_t k : kFactors)
        while (b % k == 0 && d % k == 0 && b > 4294967295u) b /= k, d /= k;
    if (b > 2147483647u)
      for (uint64_t k : kFactors)
        while (b % k == 0 && n * k <= 4294967295u && b > 4294967295u) b /= k, n *= k;
    calc->denominator = static_cast<uint32_t>(d);
    calc->numerator = static_cast<uint32_t>(n);
  }
  // A base that the factors cannot bring to 32 bits is truncated; the actual frequency shows it.
  calc->base_hz = static_cast<uint32_t>(b);
  return true;
}

freq_scrub_s FreqMultDivText_Scrub(const std::string &text) {
  freq_scrub_s r{false, 0, "", ""};
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t star = text.find('*', start);
    const std::string part = trim(text.substr(start, star == std::string::npos ? std::string::npos : star - start));
    if (!part.empty()) parts.push_back(part);
    if (star == std::string::npos) break;
    start = star + 1;
  }
  if (parts.empty()) return r;  // nothing typed: refused without a message
  int64_t product = 1;
  for (const auto &p : parts) {
    errno = 0;
    char *end = nullptr;
    const long long v = std::strtoll(p.c_str(), &end, 10);
    // A factor is a whole number; a negative one would make the numerator or denominator wrap.
    if (*end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX || v < 0) {
      r.error = "Unknown Component value";
      return r;
    }
    product *= v;
    if (product == 0) {
      r.error = "Component multiple == 0";
      return r;
    }
    if (product > 2147483647) {
      r.error = "Multiple Overflow";
      return r;
    }
  }
  for (size_t i = 0; i < parts.size(); ++i) r.text += (i ? " * " : "") + parts[i];
  r.accepted = true;
  r.value = static_cast<uint32_t>(product);
  return r;
}

bool freq_calc_paste(freq_calc_s *calc, const std::string &text, std::string *error) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t tab = text.find('\t', start);
    const std::string f = trim(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (!f.empty()) fields.push_back(f);
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  // The numerator and denominator are taken before the base: factoring a base above 32 bits
  // multiplies its factors into them, which a pasted numerator must not overwrite.
  for (size_t i : {size_t{1}, size_t{2}, size_t{0}}) {
    if (i >= fields.size()) continue;
    if (i == 0) {
      if (!freq_calc_set_base(calc, fields[0])) {
        if (error) *error = "Base Frequency must be less than 100 GHz. Values above 2.147 GHz will be factored.";
        return false;
      }
      continue;
    }
    const freq_scrub_s s = FreqMultDivText_Scrub(fields[i]);
    if (!s.accepted) {
      if (error) *error = s.error;
      return false;
    }
    (i == 1 ? calc->numerator : calc->denominator) = s.value;
  }
  return true;
}

uint32_t isMultiple(double p_mhz, double n_mhz) {
  if (!(n_mhz > 0) || !(p_mhz >= 0)) return 0;
  const double q = p_mhz / n_mhz;
  if (!std::isfinite(q) || q >= 4294967295.0) return 0;
  const double i = std::trunc(q);
  const double r = q - i;
  if (r == 0 || r < 0.0000001) return static_cast<uint32_t>(i);
  if (r > 0.999999) return static_cast<uint32_t>(i) + 1;
  return 0;
}

bool entry_char_allowed(freq_field_kind_e kind, char c, const std::string &current, bool selected_all) {
  if (c == '\b') return true;
  const auto in = [c](const char *set) { return c != '\0' && std::string(set).find(c) != std::string::npos; };
  switch (kind) {
    case field_frequency_e:
      if (c == '.') return selected_all || current.find('.') == std::string::npos;
      return in("0123456789");
    case field_multdiv_e: return in("0123456789 *");
    case field_hex_e: return in("0123456789ABCDEFabcdef");
    case field_signed_e: return in("-0123456789");
    case field_whole_e: return in("0123456789");
  }
  return false;
}
