#pragma once
// The hex digits every part of the report writes with.
#include <cstdint>

namespace qv {

inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// Writes exactly n upper-case hex digits of value (the last ones when it has more) and a
// terminating zero into buf; returns buf.
char* hexDigits(char* buf, int n, uint32_t value);

// The two hex digits of every byte value, for the fields written byte by byte.
struct HexPairTable {
  char pair[256][2] = {};
};

constexpr HexPairTable buildHexPairTable() {
  HexPairTable table;
  for (int byte = 0; byte < 256; ++byte) {
    table.pair[byte][0] = kUpperHexDigits[byte >> 4];
    table.pair[byte][1] = kUpperHexDigits[byte & 0xF];
  }
  return table;
}

inline constexpr HexPairTable kHexPairs = buildHexPairTable();

// Writes the byte's two hex digits (no terminating zero); returns the position after them.
inline char* putHexByte(char* position, uint8_t byte) {
  position[0] = kHexPairs.pair[byte][0];
  position[1] = kHexPairs.pair[byte][1];
  return position + 2;
}

}  // namespace qv
