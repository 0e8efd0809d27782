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

namespace qv {

enum class FrameFamily : uint8_t { Hdlc, Ppp, Irda, I2c, Async, Spi };

// The assembler's view of one line direction.
struct LaneState {
  uint8_t laneId = 0;          // copied into the direction of the frames the lane opens
  bool escapePending = false;  // PPP and IrDA SIR: the next byte is to be de-escaped
  int32_t checkLength = 0;     // check-sequence bytes hidden from count on a verdict
  Frame* openFrame = nullptr;
};

class FrameAssembler {
 public:
  explicit FrameAssembler(const CaptureFile& capture) : capture_(capture) {}

  void assembleHdlc(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assemblePpp(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assembleIrda(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assembleI2c(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assembleAsync(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assembleSpi(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assemble(FrameFamily family, const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  // The same walk into one slot, handling at most wordBudget words. Returns false when
  // the walk would have to go further (the frame is then incomplete); wordsWalked
  // tells how many words were handled.
  bool assembleWithin(FrameFamily family, const RecordCursor& cursor, Frame& frame,
                      uint64_t wordBudget, uint64_t& wordsWalked);

  bool nextHdlcFrame(RecordCursor& cursor) const;
  bool nextPppFrame(RecordCursor& cursor) const;
  bool nextIrdaFrame(RecordCursor& cursor) const;
  bool nextI2cFrame(RecordCursor& cursor) const;
  bool nextAsyncFrame(RecordCursor& cursor) const;
  bool nextSpiFrame(RecordCursor& cursor) const;
  bool nextFrame(FrameFamily family, RecordCursor& cursor) const;

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
  void resetSlots(Frame* slots, int32_t slotCount, int32_t checkLength);
  void openFrameAt(LaneState& lane, const uint8_t* word, uint32_t stamp);
  void appendCell(LaneState& lane, const uint8_t* word, uint16_t cell);
  static void closeFrame(LaneState& lane);
  static void endFrameWith(LaneState& lane, FrameEndStatus status);
  static void resetLane(LaneState& lane);
  void applyMarker(uint32_t word);
  void applySpeed(uint32_t word);
  void setSpeed(int speed);

  void handleStampDelimitedWord(const uint8_t* position);
  void handleInBandWord(const uint8_t* position, bool& skip);
  bool opensInBand(uint16_t cell) const;
  void applyCellRule(LaneState& lane, const uint8_t* word, uint16_t cell);
  bool cellRuleFollowsOpening() const;
  bool resetsLaneOnOpening() const;
  bool hdlcTypeFraming() const;

  void hdlcCell(LaneState& lane, const uint8_t* word, uint16_t cell);
  void pppCell(LaneState& lane, const uint8_t* word, uint16_t cell, uint8_t closingByte,
               bool dropC0);
  void i2cCell(LaneState& lane, const uint8_t* word, uint16_t cell);
  void charCell(LaneState& lane, const uint8_t* word, uint16_t cell);
  void spiCell(LaneState& lane, const uint8_t* word, uint16_t cell);

  LaneState& laneOfStamp(uint32_t stampWord) { return (stampWord & 0x8000) ? rdLane_ : sdLane_; }
  bool anyLaneOpen() const { return sdLane_.openFrame != nullptr || rdLane_.openFrame != nullptr; }

  const CaptureFile& capture_;
  LaneState sdLane_{1, false, 0, nullptr};
  LaneState rdLane_{2, false, 0, nullptr};
  Frame* nextSlot_ = nullptr;
  Frame* slotsEnd_ = nullptr;
  Frame* slots_ = nullptr;
  FrameFamily family_ = FrameFamily::Hdlc;
  int speed_ = -1;  // IrDA speed code in force during the walk; -1 when unknown
  int32_t cellCapacity_ = kFrameCells;
};

}  // namespace qv
