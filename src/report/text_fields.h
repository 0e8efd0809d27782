#pragma once
// The hex digits every part of the report writes with.
#include <cstdint>

namespace qv {

inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// Writes exactly n upper-case hex digits of value (the last ones when it has more) and a
// terminating zero into buf; returns buf.
char* hexDigits(char* buf, int n, uint32_t value);

}  // namespace qv
