#pragma once
// Assembles the frames of one run without walking each frame's span again.
//
// A runner assembles one frame per next-frame step, each by a walk from its own cursor
// to the end of the first frame opened there. Where frames stay open for long (no
// closing cells, a lane held open while the other carries thousands of frames) those
// walks overlap and a run costs the square of the capture size. The sweep gets the
// same frames from a few forward scanners that never move back:
//
// - opening scanners find the first opening word at or after a cursor;
// - per lane, an event queue holds the lane's next events after an opening (the
//   characters and the ending of an open frame), enough to fill a frame's capacity;
// - per lane, an end finder finds the event that ends a frame that is already full.
//
// With one slot nothing else opens while a frame is open, so a frame depends only on
// its opening, its own lane's cells, the markers and the IrDA speed; which words end
// it does not depend on where its walk began. Only the lane's control-escape flag
// (PPP, IrDA SIR) differs between walks from different cursors. It is kept relative
// to one shared flag: a walk's flag is the shared one, or its opposite until the next
// character that clears it (a 0x7D flips both alike, every other character clears both).
// The IrDA speed is shared too, except that a walk reads a speed code of 128 or more
// in its cursor as a signed byte up to its first speed word: such walks read from
// copies of the scanners of their own.
//
// Every query must lie at or after the one before it on the same scanner. The runners
// ask in cursor order, and the frames of one reading of the speed open in cursor order,
// so their queries always do; a query that does not is refused (the caller then walks
// that frame). A run whose positions the scanners cannot represent is refused as a
// whole.
#include <cstdint>
#include <memory>

#include "capture/capture_file.h"
#include "frames/frame.h"
#include "frames/frame_assembler.h"

namespace qv {

struct FrameIdentity {
  uint8_t direction = DirectionNone;
  const uint8_t* firstWord = nullptr;
};

class FrameSweep {
 public:
  FrameSweep();
  ~FrameSweep();
  FrameSweep(FrameSweep&&) noexcept;
  FrameSweep& operator=(FrameSweep&&) noexcept;

  // False when the sweep cannot serve the run (the runner then walks every frame).
  bool start(const CaptureFile& capture, const FrameAssembler& assembler, FrameFamily family,
             const RecordCursor& startCursor);
  // Which frame the assembly at the cursor delivers; false when refused.
  bool identify(const RecordCursor& cursor, FrameIdentity& identity);
  // The whole frame identified last; false when refused.
  bool assemble(Frame& frame);
  // Frames whose walks read their first speed code otherwise than the shared state.
  uint32_t signedReadings() const;

 private:
  class Run;
  std::unique_ptr<Run> run_;
};

}  // namespace qv
