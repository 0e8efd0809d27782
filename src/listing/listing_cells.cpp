#include "listing/listing_cells.h"

#include <algorithm>
#include <cstring>

#include "report/code_tables.h"
#include "report/text_fields.h"

namespace qv {

namespace {

// Hand-laid tables: four statuses to a group.
// clang-format off
using F = CellForm;
constexpr F Hx = F::Hex, Ch = F::Char, Al = F::Alt, Bl = F::Blank, Ds = F::Dash, St = F::Stars,
            Br = F::Braces, Qu = F::Query, E1 = F::Err1, E2 = F::Err2, E3 = F::Err3,
            Hs = F::Hashes, E5 = F::Err5, En = F::End, Sa = F::Start, Ab = F::Ab, Fl = F::Flag;

// Each table row covers four statuses: 0-3, 4-7, 8-11, ... 28-31.
constexpr StatusForms kHexRow = {
    Ds, St, St, St,  Fl, Fl, Hx, Hx,  Hx, Hx, Hx, Hx,  Hx, Hx, Hx, Hx,
    Hx, Hx, Hx, Hx,  Hx, Hx, Hx, Hx,  St, St, St, St,  Hx, Hx, Hx, Hx,
};

// Character rows by word kind. Statuses 8-23 and 28-31 carry two error flags in bits
// 0-1; how a flagged character shows depends on how the protocol uses those bits.
constexpr StatusForms kCharRows[6] = {
    // 0: HDLC, and ASYNC or BURST without MP parity
    {Bl, St, St, St,  En, Sa, E5, Ab,  Ch, E1, E2, E3,  Al, E1, E2, E3,
     Br, E1, E2, E3,  Qu, E1, E2, E3,  St, St, St, St,  Bl, E1, E2, E3},
    // 1: ASYNC or BURST with MP parity
    {Bl, St, St, St,  En, Sa, E5, Ab,  Ch, Hs, E2, E2,  Al, Hs, E2, E2,
     Br, Hs, E2, E2,  Qu, Hs, E2, E2,  St, St, St, St,  Bl, Hs, E2, E2},
    // 2: I2C
    {Bl, St, St, St,  En, Sa, E5, Ab,  Ch, Hs, E2, E2,  Al, Hs, E2, E2,
     Br, Hs, E2, E2,  Qu, Hs, E2, E2,  St, St, St, St,  Bl, Hs, E2, E2},
    // 3: PPP and IrDA
    {Bl, St, St, St,  En, Sa, E5, Ab,  Ch, Ch, E2, E2,  Al, Al, E2, E2,
     Br, Br, E2, E2,  Qu, Qu, E2, E2,  St, St, St, St,  Bl, Bl, E2, E2},
    // 4: SYNC
    {Bl, St, St, St,  En, Sa, E5, Ab,  Ch, E1, Ch, E1,  Al, E1, Al, E1,
     Br, E1, Br, E1,  Qu, E1, Qu, E1,  St, St, St, St,  Bl, E1, Bl, E1},
    // 5: SPI
    {Bl, St, St, St,  En, Sa, E5, Ab,  Ch, Ch, Ch, Ch,  Al, Al, Al, Al,
     Br, Br, Br, Br,  Qu, Qu, Qu, Qu,  St, St, St, St,  Bl, Bl, Bl, Bl},
};

// BSC symbols are shown through the primary table whatever their status bits say.
constexpr StatusForms kBscRow = {
    Bl, St, St, St,  En, Sa, E5, Ab,  Ch, Ch, Ch, Ch,  Ch, Ch, Ch, Ch,
    Br, Br, Br, Br,  Qu, Qu, Qu, Qu,  St, St, St, St,  Ch, Ch, Ch, Ch,
};


// The fixed two-character texts of the forms that do not depend on the byte.
constexpr const char* kFixedText[] = {
    nullptr, nullptr, nullptr,       // Hex, Char, Alt
    "  ", " -", "**", "{}", "??",    // Blank, Dash, Stars, Braces, Query
    "?1", "?2", "?3", "##", "?5",    // Err1, Err2, Err3, Hashes, Err5
};
// clang-format on

inline void put2(char* out, char a, char b) {
  out[0] = a;
  out[1] = b;
}

// "00" to "99".
constexpr std::array<char, 200> kTwoDigits = [] {
  std::array<char, 200> digits{};
  for (size_t n = 0; n < 100; ++n) {
    digits[2 * n] = static_cast<char>('0' + n / 10);
    digits[2 * n + 1] = static_cast<char>('0' + n % 10);
  }
  return digits;
}();

// The last two decimal digits of a value.
inline void putTwoDigits(char* out, uint32_t value) {
  std::memcpy(out, &kTwoDigits[2 * (value % 100)], 2);
}

constexpr uint32_t kIdleOverflow = 10000;
constexpr uint32_t kCounterDigitsLimit = 1000000;

}  // namespace

int blockCapacityFor(int32_t printColumns) {
  if (printColumns < 80) return 14;
  if (printColumns < 136) return 28;
  return kMaxBlockRecords;
}

const StatusForms& hexRowForms() { return kHexRow; }

const StatusForms& charRowForms(unsigned wordKind) {
  return kCharRows[wordKind < 6 ? wordKind : 0];
}

const StatusForms& bscRowForms() { return kBscRow; }

void CodeCells::load(int code) {
  for (int byte = 0; byte < 256; ++byte) {
    const DisplayCell primary = displayCell(code, static_cast<uint8_t>(byte), false);
    const DisplayCell alternate = displayCell(code, static_cast<uint8_t>(byte), true);
    put2(&primary_[2 * byte], primary[0], primary[1]);
    put2(&alternate_[2 * byte], alternate[0], alternate[1]);
  }
}

void putDataCell(char* out, uint16_t cell, const StatusForms& forms, const CodeCells& code) {
  const uint8_t byte = cellByte(cell);
  const CellForm form = forms[cellStatus(cell)];
  switch (form) {
    case CellForm::Hex: putHexByte(out, byte); return;
    case CellForm::Char: std::memcpy(out, code.primary(byte), 2); return;
    case CellForm::Alt: std::memcpy(out, code.alternate(byte), 2); return;
    case CellForm::End: std::memcpy(out, byte <= 1 ? ">>" : "^^", 2); return;
    case CellForm::Start: std::memcpy(out, byte == 0 ? "<<" : "^^", 2); return;
    case CellForm::Ab: std::memcpy(out, byte != 0 ? "AA" : "BB", 2); return;
    case CellForm::Flag: std::memcpy(out, byte == 0x7E ? "7E" : "  ", 2); return;
    default: std::memcpy(out, kFixedText[static_cast<int>(form)], 2); return;
  }
}

namespace {

// The control texts that do not depend on the record's value.
const char* fixedControlText(uint32_t word, ControlTextMode mode) {
  const unsigned kind = recordKind(word);
  if (kind == KindMarker) {
    if (mode != kLabels) return "||      ";
    const unsigned subKind = markerSubKind(word);
    return subKind == 0 ? "OE      " : subKind == 1 ? "LD      " : "        ";
  }
  if (kind < kFourColumnKinds && mode == kLabels)
    return kind < KindClockStamp ? "[ IDLE ]" : "[ TMSP ]";
  return "        ";
}

}  // namespace

void putFourColumnValues(char* out, uint32_t word) {
  const unsigned kind = recordKind(word);
  if (kind < KindClockStamp) {
    const uint32_t count = idleCount(word);
    if (count >= kIdleOverflow) {
      std::memcpy(out, "[ OVER ]", 8);
      return;
    }
    std::memcpy(out, "[ ", 2);
    putTwoDigits(out + 2, count / 100);
    putTwoDigits(out + 4, count);
    std::memcpy(out + 6, " ]", 2);
    return;
  }
  out[0] = '[';
  if (kind < KindCounterStamp) {
    putTwoDigits(out + 1, clockFirstField(word));
    putTwoDigits(out + 3, clockSecondField(word));
    putTwoDigits(out + 5, clockThirdField(word));
  } else {
    const uint32_t count = counterStampValue(word) % kCounterDigitsLimit;
    putTwoDigits(out + 1, count / 10000);
    putTwoDigits(out + 3, count / 100);
    putTwoDigits(out + 5, count);
  }
  out[7] = ']';
}

void putControlTexts(uint32_t word, char* const* places, const uint8_t* modes, int count) {
  const bool fourColumns = recordKind(word) < kFourColumnKinds;
  for (int i = 0; i < count; ++i) {
    const auto mode = static_cast<ControlTextMode>(modes[i]);
    if (fourColumns && mode == kValues)
      putFourColumnValues(places[i], word);
    else
      std::memcpy(places[i], fixedControlText(word, mode), 8);
  }
}

void putControlCell(char* out, uint32_t word, int labelMode) {
  // A stored four-column word carries its column in the kind's low two bits.
  const unsigned kind = recordKind(word);
  const unsigned column = kind < kFourColumnKinds ? kind & 3 : 0;
  const uint8_t mode = labelMode == 0 ? kLabels : labelMode == 1 ? kValues : kBlanks;
  char text[8];
  char* const place = text;
  putControlTexts(word - column, &place, &mode, 1);
  std::memcpy(out, &text[2 * column], 2);
}

void CellTable::build(const StatusForms& hexForms, const StatusForms& charForms,
                      const CodeCells& code) {
  if (cells_ && hexForms == builtHex_ && charForms == builtChar_ && code == builtCode_) return;
  if (!cells_) cells_ = std::make_unique<char[]>(4 * kCells);
  builtHex_ = hexForms;
  builtChar_ = charForms;
  builtCode_ = code;
  // Worked out once per status and byte, then copied to the cells that differ only in the
  // three bits between them.
  constexpr unsigned kBetween = 0xE0;
  plain_ = true;
  for (unsigned byte = 0; byte < 256; ++byte) {
    for (unsigned status = 0; status < 32; ++status) {
      const uint16_t cell = static_cast<uint16_t>(byte << 8 | status);
      char pair[4];
      putDataCell(pair, cell, hexForms, code);
      putDataCell(pair + 2, cell, charForms, code);
      plain_ = plain_ && std::none_of(pair, pair + 4, [](char ch) {
                 return ch == '\0' || ch == '\n' || ch == '\f';
               });
      for (unsigned between = 0; between <= kBetween; between += 0x20)
        std::memcpy(&cells_[4 * size_t{cell | between}], pair, 4);
    }
  }
}

int formatBlockRow(char* text, const RecordBlock& block, const RowLayout& layout) {
  char* out = text;
  if (layout.prefix != nullptr) {
    std::memcpy(out, layout.prefix, 3);
    out += 3;
  }
  for (int i = 0; i < block.count; ++i, out += 2) {
    const uint32_t word = block.records[i].word;
    if (!isDataWord(word)) {
      putControlCell(out, word, layout.labelMode);
    } else {
      putDataCell(out, laneCell(layout.rdHalf ? 1 : 0, word), *layout.forms, *layout.code);
    }
  }
  while (out > text && out[-1] == ' ') --out;
  *out = '\0';
  return static_cast<int>(out - text);
}

}  // namespace qv
