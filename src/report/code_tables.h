#pragma once
// Two-character display cells of the character codes: ASCII, EBCDIC, EBCDIK, JIS7,
// JIS8, HEX, EBCD, TRANSC, IPARS and BAUDOT.
#include <array>
#include <cstdint>

namespace qv {

using DisplayCell = std::array<char, 2>;

enum CodeId : int {
  CodeAscii = 0,
  CodeEbcdic = 1,
  CodeEbcdik = 2,
  CodeJis7 = 3,
  CodeJis8 = 4,
  CodeHex = 5,
  CodeEbcd = 6,
  CodeTransc = 7,
  CodeIpars = 8,
  CodeBaudot = 9,
};

// 256 cells, indexed by the byte value.
using CodeTable = std::array<DisplayCell, 256>;

// The display tables of one character code: the one for plain characters and the one
// for characters the analyzer marked as shifted (the same table when the code has no
// shift). The HEX tables are never read (see displayCell).
struct CodeDisplay {
  CodeId code;
  const CodeTable* primary;
  const CodeTable* alternate;
};

// One row per code, indexed by code id.
extern const std::array<CodeDisplay, 10> codeDisplays;

// The cell of a byte in a code; code id 5 gives the byte's hex digits. A code id
// outside 0-9 gives two blanks.
DisplayCell displayCell(int code, uint8_t byte, bool alternate);

}  // namespace qv
