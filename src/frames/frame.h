#pragma once
// One assembled frame of one direction, and how it ended.
#include <cstdint>

namespace qv {

enum class FrameEndStatus : uint8_t {
  Open,      // never closed, or closed before any character came
  Ended,     // closed without a check verdict
  FcsGood,
  FcsError,
  EndSF,
  EndA,
  EndB,
  EndOE,     // marker record, sub-kind 0
  EndLD,     // marker record, sub-kind 1
};

enum FrameDirection : uint8_t {
  DirectionNone = 0,
  DirectionSd = 1,
  DirectionRd = 2,
};

constexpr int kFrameCells = 64;

struct Frame {
  uint8_t direction = DirectionNone;   // 0 empty slot, 1 SD, 2 RD
  FrameEndStatus endStatus = FrameEndStatus::Open;
  const uint8_t* firstWord = nullptr;  // the word that opened the frame
  const uint8_t* lastDataWord = nullptr;
  uint32_t stampWord = 0;              // opening stamp with bit 15 cleared; 0 when opened in-band
  int32_t count = 0;                   // cells stored, less the check length on a verdict
  uint16_t cells[kFrameCells] = {};
};

// The two-character FC mark of an end status; two blanks outside the table.
const char* endMark(FrameEndStatus endStatus);

}  // namespace qv
