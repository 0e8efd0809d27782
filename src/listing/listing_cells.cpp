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

// The last decimal digit of a value.
inline char digit(uint32_t value) { return static_cast<char>('0' + value % 10); }

inline CellText cellText(char first, char second) { return CellText::of(first, second); }

// Labels of the four-column records, by display kind 0-11.
constexpr char kControlLabels[12][3] = {
    "[ ", "ID", "LE", " ]",  // idle count
    "[ ", "TM", "SP", " ]",  // clock time stamp
    "[ ", "TM", "SP", " ]",  // counter time stamp
};

constexpr uint32_t kIdleOverflow = 10000;

// The values of a four-column record read as one framed text of eight characters:
// "[ 0012 ]" or "[ OVER ]" for an idle count, "[dddddd]" for a time stamp (the three
// fields of a clock stamp, two digits each, or the six digits of a counter stamp's
// count). Column c shows characters 2c and 2c + 1 of that text; only those two are
// worked out, with constant divisors, as every column of every such record is listed.
CellText valueCell(uint32_t word) {
  const unsigned kind = recordKind(word);
  const unsigned column = kind & 3;
  if (kind < KindClockStamp) {
    const uint32_t count = idleCount(word);
    if (count >= kIdleOverflow) {
      const char* over = &"[ OVER ]"[2 * column];
      return cellText(over[0], over[1]);
    }
    switch (column) {
      case 0: return cellText('[', ' ');
      case 1: return cellText(digit(count / 1000), digit(count / 100));
      case 2: return cellText(digit(count / 10), digit(count));
      default: return cellText(' ', ']');
    }
  }
  if (kind < KindCounterStamp) {
    const uint32_t first = clockFirstField(word), second = clockSecondField(word);
    const uint32_t third = clockThirdField(word);
    switch (column) {
      case 0: return cellText('[', digit(first / 10));
      case 1: return cellText(digit(first), digit(second / 10));
      case 2: return cellText(digit(second), digit(third / 10));
      default: return cellText(digit(third), ']');
    }
  }
  const uint32_t count = counterStampValue(word) % 1000000;
  switch (column) {
    case 0: return cellText('[', digit(count / 100000));
    case 1: return cellText(digit(count / 10000), digit(count / 1000));
    case 2: return cellText(digit(count / 100), digit(count / 10));
    default: return cellText(digit(count), ']');
  }
}

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
    case CellForm::Hex: put2(out, kUpperHexDigits[byte >> 4], kUpperHexDigits[byte & 0xF]); return;
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

// The cells of a stored control word under label modes 0, 1 and 2.
struct ControlCells {
  CellText label;
  CellText value;
  CellText blank;

  CellText forMode(int labelMode) const {
    return labelMode == 0 ? label : labelMode == 1 ? value : blank;
  }
};

inline ControlCells controlCellsOf(uint32_t word) {
  const unsigned kind = recordKind(word);
  if (kind == KindMarker) {
    const unsigned subKind = markerSubKind(word);
    const CellText label = subKind == 0   ? cellText('O', 'E')
                           : subKind == 1 ? cellText('L', 'D')
                                          : cellText(' ', ' ');
    return {label, cellText('|', '|'), cellText('|', '|')};
  }
  const CellText blank = cellText(' ', ' ');
  if (kind >= 12) return {blank, blank, blank};
  const char* label = kControlLabels[kind];
  return {cellText(label[0], label[1]), valueCell(word), blank};
}

}  // namespace

void putControlCell(char* out, uint32_t word, int labelMode) {
  controlCellsOf(word).forMode(labelMode).writeTo(out);
}

void putControlCells(uint32_t word, char* const* cells, const int8_t* labelModes, int rowCount) {
  const ControlCells control = controlCellsOf(word);
  for (int row = 0; row < rowCount; ++row) {
    if (labelModes[row] >= 0) control.forMode(labelModes[row]).writeTo(cells[row]);
  }
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
