#pragma once
// What one cell means to the cutting of frames, by framing mode: whether it opens a
// frame in in-band framing, and what it does to the frame its lane is filling. The
// classification depends on nothing but the mode and the cell; the lane's state (the
// open frame, the control-escape flag) is taken into account where the event is
// applied. The assembly walk, the forward sweep and the boundary searches all read
// cells through classifyCell.
#include <cstdint>

#include "capture/record_word.h"

namespace qv {

// The cell rules of the frame families; IrDA uses Sir up to a speed code of 5 and Hdlc
// above it.
enum class FramingMode : uint8_t { Hdlc, Ppp, Sir, I2c, Char, Spi };

// What a word does to the lane holding a frame open. Cells give the events up to
// Store7; Detach, EndOE and EndLD come from openings and marker records. The values
// from CloseByte on end the frame.
enum class LaneEvent : uint8_t {
  None,
  Append,     // a character stored as it is
  EscAppend,  // PPP/SIR character: de-escaped when the flag is set, clears the flag
  EscByte,    // PPP/SIR 0x7D: sets the flag, or is stored as 0x5D when it was set
  CloseByte,  // PPP 0x7E, SIR 0xC1: ends with EndA when the flag is set, else closes
  Close,      // closing flag: the check verdict comes from the last character
  EndSF,
  EndA,
  EndB,
  Store7,  // ASYNC status 7: stored as the last cell, the frame ends open
  Detach,  // ASYNC/SPI: a new opening in the lane leaves the frame open
  EndOE,
  EndLD,
};

constexpr bool endsFrame(LaneEvent event) { return event >= LaneEvent::CloseByte; }

namespace framing {

constexpr uint16_t kEscapeXor = 0x2000;  // XOR 0x20 on the byte of a cell
constexpr uint8_t kControlEscape = 0x7D;
constexpr uint8_t kPppFlag = 0x7E;   // PPP closing byte
constexpr uint8_t kSirEnd = 0xC1;    // SIR closing byte
constexpr uint8_t kSirBegin = 0xC0;  // SIR opening byte, dropped

}  // namespace framing

// A cell's event and whether it opens a frame. irdaBoundary: the IrDA boundary search
// stops at the cell, which opens a frame under one of the two IrDA framing modes.
struct CellClass {
  LaneEvent event = LaneEvent::None;
  bool opens = false;
  bool irdaBoundary = false;
};

namespace cell_rules {

constexpr CellClass hdlcCell(uint16_t cell) {
  switch (cellStatus(cell)) {
    case StatusOpeningFlag: return {LaneEvent::None, true};
    case StatusClosingFlag: return {LaneEvent::Close, false};
    case StatusAbortSF: return {LaneEvent::EndSF, false};
    case StatusAbort: return {LaneEvent::EndA, false};
    default: return {holdsCharacter(cell) ? LaneEvent::Append : LaneEvent::None, false};
  }
}

// PPP and SIR: bytes with a meaning of their own, and a character with flag bit 0
// (the analyzer's frame start) opens a frame it also belongs to.
constexpr CellClass byteCell(uint16_t cell, uint8_t closingByte, bool dropsSirBegin) {
  if (cellStatus(cell) == StatusAbort) return {LaneEvent::EndB, false};
  if (!holdsCharacter(cell)) return {};
  const bool opens = flagBit0(cell);
  const uint8_t byte = cellByte(cell);
  if (dropsSirBegin && byte == framing::kSirBegin) return {LaneEvent::None, opens};
  if (byte == framing::kControlEscape) return {LaneEvent::EscByte, opens};
  if (byte == closingByte) return {LaneEvent::CloseByte, opens};
  return {LaneEvent::EscAppend, opens};
}

// An I2C opening-flag cell starts a transaction with byte 0 and is a cell of the open
// one (a repeated start) with byte 1.
constexpr CellClass i2cCell(uint16_t cell) {
  const unsigned status = cellStatus(cell);
  if (status == StatusOpeningFlag) {
    const uint8_t byte = cellByte(cell);
    if (byte == kI2cStartByte) return {LaneEvent::None, true};
    return {byte == kI2cRepeatedStartByte ? LaneEvent::Append : LaneEvent::None, false};
  }
  if (status == StatusClosingFlag) return {LaneEvent::Close, false};
  return {holdsCharacter(cell) ? LaneEvent::Append : LaneEvent::None, false};
}

// ASYNC: every character opens a frame of its own; status 7 is the frame's last cell.
constexpr CellClass charCell(uint16_t cell) {
  if (cellStatus(cell) == StatusAbort) return {LaneEvent::Store7, false};
  if (holdsCharacter(cell)) return {LaneEvent::Append, true};
  return {};
}

// SPI: a character with flag bit 1 opens a frame.
constexpr CellClass spiCell(uint16_t cell) {
  if (!holdsCharacter(cell)) return {};
  return {LaneEvent::Append, flagBit1(cell)};
}

constexpr CellClass classifyByRules(FramingMode mode, uint16_t cell) {
  switch (mode) {
    case FramingMode::Hdlc: return hdlcCell(cell);
    case FramingMode::Ppp: return byteCell(cell, framing::kPppFlag, false);
    case FramingMode::Sir: return byteCell(cell, framing::kSirEnd, true);
    case FramingMode::I2c: return i2cCell(cell);
    case FramingMode::Char: return charCell(cell);
    case FramingMode::Spi: return spiCell(cell);
  }
  return {};
}

// The rules above as one table per framing mode, indexed by the cell's status and the
// class of its byte, so that a walk classifies a cell with two loads and no branch. The
// rules tell bytes apart only by the values below; every other byte is of class Other.
// Each entry is the event with kOpensBit added when the cell opens a frame and
// kIrdaBoundaryBit when it is an IrDA boundary.
enum ByteClass : uint8_t {
  ByteOther,
  ByteZero,
  ByteOne,
  ByteEscape,
  BytePppFlag,
  ByteSirBegin,
  ByteSirEnd
};
constexpr int kByteClasses = 8;
constexpr uint8_t kClassBytes[] = {0x02,
                                   0x00,
                                   0x01,
                                   framing::kControlEscape,
                                   framing::kPppFlag,
                                   framing::kSirBegin,
                                   framing::kSirEnd};

constexpr int kFramingModes = 6;
constexpr int kCellKeys = 32 * kByteClasses;
constexpr uint8_t kOpensBit = 0x80;
constexpr uint8_t kIrdaBoundaryBit = 0x40;
constexpr uint8_t kEventBits = 0x3F;
static_assert(static_cast<int>(LaneEvent::EndLD) <= kEventBits);

struct ByteClassTable {
  uint8_t of[256] = {};
};

constexpr ByteClassTable buildByteClassTable() {
  ByteClassTable table;
  for (uint8_t byteClass = ByteZero; byteClass <= ByteSirEnd; ++byteClass)
    table.of[kClassBytes[byteClass]] = byteClass;
  return table;
}

inline constexpr ByteClassTable kByteClassOf = buildByteClassTable();

constexpr int cellKey(uint16_t cell) {
  return (cell & 0x1F) * kByteClasses + kByteClassOf.of[cell >> 8];
}

struct ClassTable {
  uint8_t packed[kFramingModes][kCellKeys] = {};
};

constexpr ClassTable buildClassTable() {
  ClassTable table;
  for (int status = 0; status < 32; ++status) {
    for (uint8_t byteClass = ByteOther; byteClass <= ByteSirEnd; ++byteClass) {
      const auto cell = static_cast<uint16_t>(kClassBytes[byteClass] << 8 | status);
      const bool irdaBoundary = classifyByRules(FramingMode::Hdlc, cell).opens ||
                                classifyByRules(FramingMode::Sir, cell).opens;
      for (int mode = 0; mode < kFramingModes; ++mode) {
        const CellClass c = classifyByRules(static_cast<FramingMode>(mode), cell);
        table.packed[mode][cellKey(cell)] =
            static_cast<uint8_t>(static_cast<uint8_t>(c.event) | (c.opens ? kOpensBit : 0) |
                                 (irdaBoundary ? kIrdaBoundaryBit : 0));
      }
    }
  }
  return table;
}

inline constexpr ClassTable kClassTable = buildClassTable();

}  // namespace cell_rules

constexpr CellClass classifyCell(FramingMode mode, uint16_t cell) {
  const uint8_t packed =
      cell_rules::kClassTable.packed[static_cast<int>(mode)][cell_rules::cellKey(cell)];
  return {static_cast<LaneEvent>(packed & cell_rules::kEventBits),
          (packed & cell_rules::kOpensBit) != 0, (packed & cell_rules::kIrdaBoundaryBit) != 0};
}

// ---- plain cells ----
//
// The walks take runs of plain words in a tight loop: words whose two cells neither open
// nor end a frame and bring at most a character stored as it is. A plain cell's event is
// None or a character append, and it brings a character exactly when it holds one. What
// counts as an opening depends on the walk: a stamp-delimited walk ignores the opening
// cells, an IrDA walk also stops at the openings of its other framing.
enum class PlainView : uint8_t { InBand, InBandBothFramings, StampDelimited };

constexpr bool isPlainCell(FramingMode mode, PlainView view, uint16_t cell) {
  const CellClass c = classifyCell(mode, cell);
  if (view == PlainView::InBand && c.opens) return false;
  if (view == PlainView::InBandBothFramings && (c.opens || c.irdaBoundary)) return false;
  if (c.event != LaneEvent::None && c.event != LaneEvent::Append && c.event != LaneEvent::EscAppend)
    return false;
  return (c.event != LaneEvent::None) == holdsCharacter(cell);
}

constexpr bool opensFrame(FramingMode mode, uint16_t cell) {
  return classifyCell(mode, cell).opens;
}

// ASYNC and SPI: an opening detaches the frame its lane was filling.
constexpr bool openingDetaches(FramingMode mode) {
  return mode == FramingMode::Char || mode == FramingMode::Spi;
}

}  // namespace qv
