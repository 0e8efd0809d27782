#pragma once
// One assembled frame of one direction, and how it ended.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "capture/capture_file.h"

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

using FrameCells = std::vector<uint16_t, UninitializedAllocator<uint16_t>>;

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
  // Cells from kFrameCells on, when the capacity allows. Grown without zeroing: the
  // assembler writes each cell it keeps.
  FrameCells moreCells;
};

// Puts a cell at an index from 64 on among the further cells.
inline void putFurtherCell(Frame& frame, int32_t index, uint16_t cell) {
  const auto extra = static_cast<size_t>(index - kFrameCells);
  if (extra < frame.moreCells.size())
    frame.moreCells[extra] = cell;
  else
    frame.moreCells.push_back(cell);
}

// The stored cell at index (below the number stored).
inline uint16_t cellAt(const Frame& frame, int32_t index) {
  if (index < kFrameCells) return frame.cells[index];
  return frame.moreCells[static_cast<size_t>(index - kFrameCells)];
}

// How many of the first 64 cells a frame may have written. Every cell after them is zero
// in a frame emptied by clearFrame and filled by the assembler, which writes cells in
// order; so emptying or copying a frame only has to touch these.
inline int32_t cellsTouched(const Frame& frame) {
  const int32_t reach = frame.stored > frame.count ? frame.stored : frame.count;
  return reach < 0 ? 0 : reach > kFrameCells ? kFrameCells : reach;
}

// Empties a frame for reuse, keeping the storage of its further cells.
inline void clearFrame(Frame& frame) {
  std::fill_n(frame.cells, cellsTouched(frame), uint16_t{0});
  frame.direction = DirectionNone;
  frame.endStatus = FrameEndStatus::Open;
  frame.firstWord = nullptr;
  frame.lastDataWord = nullptr;
  frame.stampWord = 0;
  frame.count = 0;
  frame.stored = 0;
  frame.overflow = 0;
  frame.moreCells.clear();
}

// Makes `to` a copy of `from`, as frame assignment would, writing only the cells either of
// them touched.
inline void copyFrame(Frame& to, const Frame& from) {
  const int32_t cells = std::max(cellsTouched(to), cellsTouched(from));
  std::copy_n(from.cells, cells, to.cells);
  to.direction = from.direction;
  to.endStatus = from.endStatus;
  to.firstWord = from.firstWord;
  to.lastDataWord = from.lastDataWord;
  to.stampWord = from.stampWord;
  to.count = from.count;
  to.stored = from.stored;
  to.overflow = from.overflow;
  to.moreCells.assign(from.moreCells.begin(), from.moreCells.end());
}

// The two-character FC mark of an end status; two blanks outside the table.
const char* endMark(FrameEndStatus endStatus);

}  // namespace qv
