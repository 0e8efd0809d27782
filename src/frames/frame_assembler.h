#pragma once
// Cuts the monitor ring into frames, one lane per direction, by the rules of one
// protocol family (HDLC, PPP, IrDA, I2C, ASYNC, SPI).
//
// Each assemble call walks the ring from the cursor's word and fills the caller's
// slots with the frames opened along the way, in the order of their opening; with one
// slot it delivers the first frame opened at or after the cursor. The next-frame steps
// move the cursor to the following frame boundary.
#include <cstdint>

#include "capture/capture_file.h"
#include "frames/frame.h"
#include "frames/framing_rules.h"
#include "frames/plain_run.h"

namespace qv {

class FrameAssembler {
 public:
  explicit FrameAssembler(const CaptureFile& capture) : capture_(capture) {}

  // Fills the slots with the frames opened along the walk from the cursor, in the order
  // of their opening; unused slots stay empty (direction 0).
  void assemble(FrameFamily family, const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  // The same walk into one slot, handling at most wordBudget words. Returns false when
  // the walk would have to go further (the frame is then incomplete); wordsWalked
  // tells how many words were handled.
  bool assembleWithin(FrameFamily family, const RecordCursor& cursor, Frame& frame,
                      uint64_t wordBudget, uint64_t& wordsWalked);

  // Moves the cursor to the next frame boundary of the family; false when there is none
  // (the cursor is then unchanged).
  bool nextFrame(FrameFamily family, RecordCursor& cursor) const;

  // The same step right after a walk from the cursor: when that walk ended its frame
  // and met no opening besides the frame's own, the step goes on from the word after the
  // frame instead of reading the frame's words once more. Otherwise as nextFrame.
  bool nextFrameAfterWalk(FrameFamily family, RecordCursor& cursor) const;
  // Whether nextFrameAfterWalk would go on from the last walk's frame end.
  bool continuesAfterWalk(FrameFamily family, const RecordCursor& cursor) const {
    return trailFits(family, cursor);
  }

  // True when the family's frames are delimited by time stamp words under the
  // capture's conditions; otherwise they are opened by cells inside the data.
  bool isStampDelimited(FrameFamily family) const;

  // How many cells a frame keeps (kFrameCells for the report); later characters are
  // only counted, in the frame's overflow.
  void setCellCapacity(int32_t capacity) { cellCapacity_ = capacity < 0 ? 0 : capacity; }
  int32_t cellCapacity() const { return cellCapacity_; }

 private:
  bool walk(FrameFamily family, const RecordCursor& cursor, Frame* slots, int32_t slotCount,
            uint64_t wordBudget, uint64_t& wordsWalked);
  size_t walkPlainRun(const uint8_t* position, const uint8_t* stop);
  void resetSlots(Frame* slots, int32_t slotCount, int32_t checkLength);
  void openFrameAt(LaneState& lane, const uint8_t* word, uint32_t stamp);
  void setSpeed(int speed);

  void handleControlWord(uint32_t word, const uint8_t* position, bool stampDelimited);
  void handleStampDelimitedWord(const uint8_t* position);
  void handleInBandWord(const uint8_t* position, bool& skip);
  void openInBand(LaneState& lane, const uint8_t* position);

  const uint8_t* plainRunStop(const MonitorRing& ring, const uint8_t* position,
                              uint64_t maxWords) const;
  void choosePlainCells(bool stampDelimited);
  void startTrail(const RecordCursor& cursor, bool stampDelimited);
  void noteOpening(const uint8_t* position, bool bothLanes);
  bool trailFits(FrameFamily family, const RecordCursor& cursor) const;

  LaneState& laneOfStamp(uint32_t stampWord) { return isRdStamp(stampWord) ? rdLane_ : sdLane_; }
  bool anyLaneOpen() const { return sdLane_.openFrame != nullptr || rdLane_.openFrame != nullptr; }

  const CaptureFile& capture_;
  PlainView plainView_ = PlainView::InBand;  // the walk's, with mode_ choosing plain_
  const PlainCells* plain_ = nullptr;
  LaneState sdLane_{DirectionSd, false, 0, nullptr};
  LaneState rdLane_{DirectionRd, false, 0, nullptr};
  Frame* nextSlot_ = nullptr;
  Frame* slotsEnd_ = nullptr;
  FrameFamily family_ = FrameFamily::Hdlc;
  FramingMode mode_ = FramingMode::Hdlc;  // the cell rules in force during the walk
  int32_t cellCapacity_ = kFrameCells;

  // What the last walk saw that the next-frame step can start from.
  struct WalkTrail {
    RecordCursor from;  // the cursor walked from
    FrameFamily family = FrameFamily::Hdlc;
    bool tracked = false;  // in-band framing whose search the walk can stand in for
    bool usable = false;   // the walk ended its frame with no other opening on the way
    const uint8_t* firstOpening = nullptr;
    bool otherOpening = false;
    RecordCursor after;  // the word after the frame, with the state in force there
  };
  WalkTrail trail_;
};

}  // namespace qv
