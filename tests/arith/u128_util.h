// Conversions between bigint128 and the compiler's 128-bit integer, for checks.
#pragma once
#include <string>

#include "arith/bigint128.h"

using u128 = unsigned __int128;

inline bigint128 big(u128 v) {
  bigint128 b;
  bigint128Set(&b, static_cast<uint64_t>(v), static_cast<uint64_t>(v >> 64));
  return b;
}

inline u128 val(const bigint128 &b) { return (static_cast<u128>(b.w[1]) << 64) | b.w[0]; }

// Decimal text of a 128-bit value, for failure messages.
inline std::string dec(u128 v) {
  if (v == 0) return "0";
  std::string s;
  while (v != 0) {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
    v /= 10;
  }
  return s;
}

// 128-bit value from its decimal text.
inline u128 from_dec(const char *s) {
  u128 v = 0;
  for (; *s != 0; ++s) v = v * 10 + static_cast<unsigned>(*s - '0');
  return v;
}
