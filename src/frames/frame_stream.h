#pragma once
// The frames of one run, one per next-frame step, each exactly as the assembler
// delivers it from the runner's cursor, at a cost that grows linearly with the capture.
//
// A frame is walked from its cursor while the walks stay short: every word the cursor
// moves on earns credit, and a walk may spend what has been earned. A frame whose walk
// would overspend comes from the sweep instead, which never goes back over the ring.
#include <cstdint>

#include "capture/capture_file.h"
#include "frames/frame.h"
#include "frames/frame_assembler.h"
#include "frames/frame_sweep.h"

namespace qv {

class FrameStream {
 public:
  // Adaptive as above; Walk walks every frame; Sweep takes every frame it can from the
  // sweep (the two others exist to compare the ways).
  enum class Method : uint8_t { Adaptive, Walk, Sweep };

  FrameStream(const CaptureFile& capture, FrameAssembler& assembler, FrameFamily family,
              const RecordCursor& start, Method method = Method::Adaptive);

  // Which frame the assembly at the cursor delivers (direction 0: an empty slot).
  FrameIdentity identify();
  // The whole frame that identify named.
  void assemble(Frame& frame);
  // The next-frame step; false when there is no further frame.
  bool advance();

  const RecordCursor& cursor() const { return cursor_; }
  // Frames the sweep was asked for but refused, so that they were walked.
  uint32_t refusals() const { return refusals_; }
  const FrameSweep& sweep() const { return sweep_; }
  // Words handled by walks within the credit: at most the start credit plus a fixed
  // share per word the cursor moved on.
  uint64_t wordsWalked() const { return wordsWalked_; }

 private:
  FrameIdentity walkAll();
  bool sweepReady();

  const CaptureFile& capture_;
  FrameAssembler& assembler_;
  FrameFamily family_;
  Method method_;
  RecordCursor start_;
  RecordCursor cursor_;
  FrameSweep sweep_;
  enum class SweepState : uint8_t { NotStarted, Available, Unavailable };
  SweepState sweepState_ = SweepState::NotStarted;
  bool walked_ = false;  // frame_ holds the frame identified last
  Frame frame_;
  uint64_t credit_ = 0;
  uint32_t refusals_ = 0;
  uint64_t wordsWalked_ = 0;
};

}  // namespace qv
