#pragma once
// One assembled frame of one direction, and how it ended.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv {

enum FrameEndStatus : uint8_t {
  Open = 0,
  Ended = 1,
  FcsGood = 2,
  FcsError = 3,
  EndSF = 4,
  EndA = 5,
  EndB = 6,
  EndOE = 7,
  EndLD = 8,
};

enum FrameDirection : uint8_t {
  DirectionNone = 0,
  DirectionSd = 1,
  DirectionRd = 2,
};

// The cells a report frame holds; an export asks the assembler for more.
constexpr int kFrameCells = 64;

struct Frame {
  uint8_t direction = DirectionNone;   // 0 empty slot, 1 SD, 2 RD
  uint8_t endStatus = Open;            // a FrameEndStatus
  const uint8_t* firstWord = nullptr;  // the word that opened the frame
  const uint8_t* lastDataWord = nullptr;
  uint32_t stampWord = 0;              // opening stamp with bit 15 cleared; 0 when opened in-band
  int32_t count = 0;                   // cells stored, less the check length on a verdict
  int32_t stored = 0;                  // cells held, check sequence included
  int32_t overflow = 0;                // characters that came after the capacity was full
  uint16_t cells[kFrameCells] = {};
  std::vector<uint16_t> moreCells;     // cells from kFrameCells on, when the capacity allows
};

// Stores a cell at the frame's count when the capacity leaves room; otherwise counts it
// as overflow, so that the frame's length before the cut stays known.
inline void storeCell(Frame& frame, uint16_t cell, int32_t capacity) {
  if (frame.count < 0 || frame.count >= capacity) {
    ++frame.overflow;
    return;
  }
  if (frame.count < kFrameCells) {
    frame.cells[frame.count++] = cell;
    ++frame.stored;
    return;
  }
  ++frame.stored;
  const std::size_t extra = static_cast<size_t>(frame.count++ - kFrameCells);
  if (extra < frame.moreCells.size())
    frame.moreCells[extra] = cell;
  else
    frame.moreCells.push_back(cell);
}

// The stored cell at index (below the number stored).
inline uint16_t cellAt(const Frame& frame, int32_t index) {
  return index < kFrameCells ? frame.cells[index] : frame.moreCells[index - kFrameCells];
}

// Empties a frame for reuse, keeping the storage of its further cells.
inline void clearFrame(Frame& frame) {
  std::vector<uint16_t> keep = std::move(frame.moreCells);
  keep.clear();
  frame = Frame{};
  frame.moreCells = std::move(keep);
}

// The two-character FC mark of an end status; two blanks outside the table.
const char* endMark(int endStatus);

}  // namespace qv
