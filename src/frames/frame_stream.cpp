#include "frames/frame_stream.h"

#include <algorithm>

namespace qv {

namespace {

// Realistic frames close within a few dozen words of their cursor, and the cursor
// moves on by a good part of that for each frame, so they are always walked. Captures
// whose frames stay open spend the credit at once and go to the sweep.
constexpr uint64_t kStartCredit = 1u << 16;
constexpr uint64_t kCreditPerWord = 16;
constexpr uint64_t kCreditLimit = 1u << 24;

FrameIdentity identityOf(const Frame& frame) {
  return FrameIdentity{frame.direction, frame.firstWord};
}

}  // namespace

FrameStream::FrameStream(const CaptureFile& capture, FrameAssembler& assembler, FrameFamily family,
                         const RecordCursor& start, Method method)
    : capture_(capture), assembler_(assembler), family_(family), method_(method), cursor_(start) {
  if (method_ != Method::Walk) sweepAvailable_ = sweep_.start(capture, assembler, family, start);
  credit_ = method_ == Method::Adaptive ? kStartCredit : 0;
}

FrameIdentity FrameStream::walkAll() {
  assembler_.assemble(family_, cursor_, &frame_, 1);
  walked_ = true;
  return identityOf(frame_);
}

FrameIdentity FrameStream::identify() {
  walked_ = false;
  if (!sweepAvailable_) return walkAll();
  if (credit_ > 0) {
    uint64_t spent = 0;
    const bool whole = assembler_.assembleWithin(family_, cursor_, frame_, credit_, spent);
    credit_ -= spent;
    wordsWalked_ += spent;
    if (whole) {
      walked_ = true;
      return identityOf(frame_);
    }
  }
  FrameIdentity identity;
  if (sweep_.identify(cursor_, identity)) return identity;
  ++refusals_;
  return walkAll();
}

void FrameStream::assemble(Frame& frame) {
  if (walked_) {
    copyFrame(frame, frame_);
    return;
  }
  if (sweep_.assemble(frame)) return;
  ++refusals_;
  assembler_.assemble(family_, cursor_, &frame, 1);
}

bool FrameStream::advance() {
  const uint8_t* before = cursor_.position;
  if (!assembler_.nextFrameAfterWalk(family_, cursor_)) return false;
  if (method_ == Method::Adaptive && sweepAvailable_) {
    const uint64_t moved = capture_.ring().distance(before, cursor_.position);
    credit_ = std::min(kCreditLimit, credit_ + kCreditPerWord * moved);
  }
  return true;
}

}  // namespace qv
