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
    : capture_(capture),
      assembler_(assembler),
      family_(family),
      method_(method),
      start_(start),
      cursor_(start) {
  sweepState_ = method_ == Method::Walk ? SweepState::Unavailable : SweepState::NotStarted;
  credit_ = method_ == Method::Adaptive ? kStartCredit : 0;
}

// The sweep is started from the run's start the first time a frame needs it: runs whose
// walks stay short never pay for it.
bool FrameStream::sweepReady() {
  if (sweepState_ == SweepState::NotStarted)
    sweepState_ = sweep_.start(capture_, assembler_, family_, start_) ? SweepState::Available
                                                                      : SweepState::Unavailable;
  return sweepState_ == SweepState::Available;
}

FrameIdentity FrameStream::walkAll() {
  assembler_.assemble(family_, cursor_, &frame_, 1);
  walked_ = true;
  return identityOf(frame_);
}

FrameIdentity FrameStream::identify() {
  walked_ = false;
  if (sweepState_ == SweepState::Unavailable) return walkAll();
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
  if (!sweepReady()) return walkAll();
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
  if (method_ == Method::Adaptive && sweepState_ != SweepState::Unavailable) {
    const uint64_t moved = capture_.ring().distance(before, cursor_.position);
    credit_ = std::min(kCreditLimit, credit_ + kCreditPerWord * moved);
  }
  return true;
}

}  // namespace qv
