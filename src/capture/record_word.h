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

constexpr uint32_t kDataWordFlag = 0x20;

constexpr bool isDataWord(uint32_t w) { return (w & kDataWordFlag) != 0; }
constexpr unsigned recordKind(uint32_t w) { return w & 0x1F; }

// ---- cells ----

// The statuses that mean something to the frame cutting. 8 and above is a character;
// its status bits 0 and 1 are error flags (flag bits 0 and 1).
enum CellStatus : unsigned {
  StatusOpeningFlag = 4,  // in-band opening (HDLC-type framing; I2C start or repeated start)
  StatusClosingFlag = 5,  // closing flag: the check verdict comes from the last character
  StatusAbortSF = 6,      // HDLC-type framing: the frame ends with the SF mark
  StatusAbort = 7,        // abnormal end; an ASYNC frame's last cell
  StatusCharacter = 8,    // the first character status
  StatusGoodCheck = 16,   // the character that closes a frame with a good check sequence
  StatusBadCheck = 20,    // ... with a bad one
};
// I2C opening-flag cells: byte 0 starts a transaction, byte 1 is a repeated start
// inside it.
constexpr uint8_t kI2cStartByte = 0;
constexpr uint8_t kI2cRepeatedStartByte = 1;

constexpr uint16_t sdCell(uint32_t w) { return static_cast<uint16_t>(w); }
constexpr uint16_t rdCell(uint32_t w) { return static_cast<uint16_t>(w >> 16); }
// The cell of a lane: 0 the SD cell (low half), 1 the RD cell (high half).
constexpr uint16_t laneCell(int lane, uint32_t w) { return lane == 0 ? sdCell(w) : rdCell(w); }
constexpr unsigned cellStatus(uint16_t cell) { return cell & 0x1F; }
constexpr uint8_t cellByte(uint16_t cell) { return static_cast<uint8_t>(cell >> 8); }
constexpr bool holdsCharacter(uint16_t cell) { return cellStatus(cell) >= StatusCharacter; }
constexpr bool flagBit0(uint16_t cell) { return (cell & 1) != 0; }
constexpr bool flagBit1(uint16_t cell) { return (cell & 2) != 0; }
// A character whose status is 12-15 is shown through the code's alternate table.
constexpr bool usesAlternateTable(unsigned status) { return (status & 0x1C) == 0x0C; }

// ---- control words ----

// Kinds 4-7 and 8-11: a time stamp with any display column. Both tests are made, without
// a branch, so that a loop over many words can run on several at once.
constexpr bool isTimeStampWord(uint32_t w) {
  return static_cast<bool>(static_cast<unsigned>((w & 0x7C) == KindClockStamp) |
                           static_cast<unsigned>((w & 0x7C) == KindCounterStamp));
}
// Kinds 16 and 17.
constexpr bool isLineStateWord(uint32_t w) { return (w & 0x7E) == KindLineState; }
// Kind 30 with sub-kind 0.
constexpr bool isSpeedWord(uint32_t w) { return (w & 0xFF7F) == KindSpeed; }
// Any kind-30 word, whatever its sub-kind: skipped like line-state words by searches.
constexpr bool isKind30Word(uint32_t w) { return (w & 0x7F) == KindSpeed; }

// Control records of kinds 0-15 (bits 4-6 clear: idle count, time stamps) fill four
// display columns of the listing.
constexpr bool hasDisplayColumns(uint32_t w) { return (w & 0x70) == 0; }
constexpr uint8_t kDisplayColumns = 4;

constexpr uint32_t idleCount(uint32_t w) { return w >> 8; }
constexpr unsigned markerSubKind(uint32_t w) { return (w >> 8) & 0xFF; }

// The 12 line-state bits before and after a line-state change.
constexpr uint16_t lineStateBefore(uint32_t w) { return static_cast<uint16_t>((w >> 8) & 0xFFF); }
constexpr uint16_t lineStateAfter(uint32_t w) { return static_cast<uint16_t>((w >> 20) & 0xFFF); }
// The IrDA speed codes before and after a speed change.
constexpr uint8_t speedCodeBefore(uint32_t w) { return static_cast<uint8_t>(w >> 16); }
constexpr uint8_t speedCodeAfter(uint32_t w) { return static_cast<uint8_t>(w >> 24); }

// Time stamps: bit 15 tells the direction of the frame the stamp opens.
constexpr uint32_t kStampDirectionBit = 0x8000;
constexpr bool isRdStamp(uint32_t w) { return (w & kStampDirectionBit) != 0; }
constexpr uint32_t withoutStampDirection(uint32_t w) { return w & ~kStampDirectionBit; }
// A stamp word (direction bit clear or not) whose kind is a counter stamp, any column.
constexpr bool isCounterStampKind(uint32_t w) { return (w & 0x0C) == KindCounterStamp; }
// Clock stamp fields, each listed as two decimal digits.
constexpr unsigned clockFirstField(uint32_t w) { return (w >> 8) & 0x7F; }
constexpr unsigned clockSecondField(uint32_t w) { return (w >> 16) & 0xFF; }
constexpr unsigned clockThirdField(uint32_t w) { return w >> 24; }
// Counter stamp halves: the low 7 bits and the high 12 bits of a 19-bit count.
constexpr uint32_t counterLowBits(uint32_t w) { return (w >> 8) & 0x7F; }
constexpr uint32_t counterHighBits(uint32_t w) { return (w >> 16) & 0xFFF; }
constexpr uint32_t counterStampValue(uint32_t w) {
  return counterHighBits(w) << 7 | counterLowBits(w);
}

// A position in the monitor ring together with the state in force there.
struct RecordCursor {
  uint8_t column = 0;       // display column 0-3 of a four-column control record
  uint8_t pairPending = 0;  // set when a search stopped at a word opening frames in both directions
  uint8_t speedCode = 0;    // IrDA speed code in force; 0xFF when none is known
  uint16_t lineState = 0;   // the 12 line-state bits in force
  const uint8_t* position = nullptr;  // the current word inside the capture buffer
};

}  // namespace qv
