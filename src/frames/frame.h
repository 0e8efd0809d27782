#pragma once
// One assembled frame of one direction, and how it ended.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace qv {

enum class FrameEndStatus : uint8_t {
  Open,   // never closed, or closed before any character came
  Ended,  // closed without a check verdict
  FcsGood,
  FcsError,
  EndSF,
  EndA,
  EndB,
  EndOE,  // marker record, sub-kind 0
  EndLD,  // marker record, sub-kind 1
};

enum FrameDirection : uint8_t {
  DirectionNone = 0,
  DirectionSd = 1,
  DirectionRd = 2,
};

// The cells a report frame holds; an export asks the assembler for more.
constexpr int kFrameCells = 64;

struct Frame {
  uint8_t direction = DirectionNone;  // 0 empty slot, 1 SD, 2 RD
  FrameEndStatus endStatus = FrameEndStatus::Open;
  const uint8_t* firstWord = nullptr;  // the word that opened the frame
  const uint8_t* lastDataWord = nullptr;
  uint32_t stampWord = 0;  // opening stamp with bit 15 cleared; 0 when opened in-band
  int32_t count = 0;       // cells stored, less the check length on a verdict
  int32_t stored = 0;      // cells held, check sequence included
  int32_t overflow = 0;    // characters that came after the capacity was full
  uint16_t cells[kFrameCells] = {};
  std::vector<uint16_t> moreCells;  // cells from kFrameCells on, when the capacity allows
};

// The stored cell at index (below the number stored).
// Stores a cell past the first 64 when the capacity leaves room, or counts it as overflow
// when it does not, so that the frame's length before the cut stays known.
void storeFurtherCell(Frame& frame, uint16_t cell, int32_t capacity);

inline uint16_t cellAt(const Frame& frame, int32_t index) {
  if (index < kFrameCells) return frame.cells[index];
  return frame.moreCells[static_cast<size_t>(index - kFrameCells)];
}

// Empties a frame for reuse, keeping the storage of its further cells.
inline void clearFrame(Frame& frame) {
  std::vector<uint16_t> keep = std::move(frame.moreCells);
  keep.clear();
  frame = Frame{};
  frame.moreCells = std::move(keep);
}

// The two-character FC mark of an end status; two blanks outside the table.
const char* endMark(FrameEndStatus endStatus);

}  // namespace qv
