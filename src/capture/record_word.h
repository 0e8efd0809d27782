#pragma once
// One 32-bit monitor record and the cursor that walks the monitor ring.
//
// Data word (bit 5 set): the low half is the SD cell, the high half the RD cell;
// a cell has its status in bits 0-4 and its byte in bits 8-15.
// Control word (bit 5 clear): the record kind is bits 0-4, the payload bits 8-31.
#include <cstdint>

namespace qv {

using RecordWord = uint32_t;

enum RecordKind : unsigned {
  KindIdle = 0,
  KindClockStamp = 4,
  KindCounterStamp = 8,
  KindLineState = 16,
  KindLineStateListed = 17,
  KindMarker = 19,
  KindSpeed = 30,
};

constexpr bool isDataWord(uint32_t w) { return (w & 0x20) != 0; }
constexpr unsigned recordKind(uint32_t w) { return w & 0x1F; }

constexpr uint16_t sdCell(uint32_t w) { return static_cast<uint16_t>(w); }
constexpr uint16_t rdCell(uint32_t w) { return static_cast<uint16_t>(w >> 16); }
constexpr unsigned cellStatus(uint16_t cell) { return cell & 0x1F; }
constexpr uint8_t cellByte(uint16_t cell) { return static_cast<uint8_t>(cell >> 8); }
constexpr bool holdsCharacter(uint16_t cell) { return cellStatus(cell) >= 8; }
constexpr bool flagBit0(uint16_t cell) { return (cell & 1) != 0; }
constexpr bool flagBit1(uint16_t cell) { return (cell & 2) != 0; }
// A character whose status is 12-15 is shown through the code's alternate table.
constexpr bool usesAlternateTable(unsigned status) { return (status & 0x1C) == 0x0C; }

// Kinds 4-7 and 8-11: a time stamp with any display column.
constexpr bool isTimeStampWord(uint32_t w) {
  return (w & 0x7C) == 4 || (w & 0x7C) == 8;
}
// Kinds 16 and 17.
constexpr bool isLineStateWord(uint32_t w) { return (w & 0x7E) == 0x10; }
// Kind 30 with sub-kind 0.
constexpr bool isSpeedWord(uint32_t w) { return (w & 0xFF7F) == 0x1E; }
// Any kind-30 word, whatever its sub-kind: skipped like line-state words by searches.
constexpr bool isKind30Word(uint32_t w) { return (w & 0x7F) == 0x1E; }

constexpr uint32_t idleCount(uint32_t w) { return w >> 8; }
// The 19-bit count of a counter time stamp.
constexpr uint32_t counterStampValue(uint32_t w) {
  return (((w >> 16) & 0xFFF) << 7) | ((w >> 8) & 0x7F);
}
constexpr unsigned markerSubKind(uint32_t w) { return (w >> 8) & 0xFF; }

// A position in the monitor ring together with the state in force there.
struct RecordCursor {
  uint8_t column = 0;       // display column 0-3 of a four-column control record
  uint8_t pairPending = 0;  // set when a search stopped at a word opening frames in both directions
  uint8_t speedCode = 0;    // IrDA speed code in force; 0xFF when none is known
  uint16_t lineState = 0;   // the 12 line-state bits in force
  const uint8_t* position = nullptr;  // the current word inside the capture buffer
};

}  // namespace qv
