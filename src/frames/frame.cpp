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

const char* endMark(FrameEndStatus endStatus) {
  const int index = static_cast<int>(endStatus);
  if (index >= kEndMarkCount) return "  ";
  return kEndMarks[index];
}

}  // namespace qv
