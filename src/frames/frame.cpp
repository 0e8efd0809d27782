#include "frames/frame.h"

namespace qv {

namespace {

// The FC column of a frame line, indexed by end status; statuses without a mark
// (Open, Ended) show two blanks.
constexpr const char* kEndMarks[] = {
    "  ",  // Open
    "  ",  // Ended
    " G",  // FcsGood
    " E",  // FcsError
    "SF",  // EndSF
    " A",  // EndA
    " B",  // EndB
    "OE",  // EndOE
    "LD",  // EndLD
};
constexpr int kEndMarkCount = sizeof(kEndMarks) / sizeof(kEndMarks[0]);

}  // namespace

void storeFurtherCell(Frame& frame, uint16_t cell, int32_t capacity) {
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
  putFurtherCell(frame, frame.count++, cell);
}

const char* endMark(FrameEndStatus endStatus) {
  const int index = static_cast<int>(endStatus);
  if (index >= kEndMarkCount) return "  ";
  return kEndMarks[index];
}

}  // namespace qv
