#include "frames/frame_assembler.h"

#include "frames/framing_rules.h"

#include <cstring>

namespace qv {

using namespace framing;

namespace {


int32_t irdaCheckLength(int speed) { return speed >= kFcs32Speed ? 4 : 2; }

uint16_t laneCell(uint8_t laneId, uint32_t word) {
  return laneId == DirectionSd ? sdCell(word) : rdCell(word);
}

}  // namespace

// ---- slots and lanes ----

void FrameAssembler::resetSlots(Frame* slots, int32_t slotCount, int32_t checkLength) {
  if (slots == nullptr || slotCount < 0) slotCount = 0;
  for (int32_t i = 0; i < slotCount; ++i) clearFrame(slots[i]);
  slots_ = slots;
  slotsEnd_ = slots + slotCount;
  nextSlot_ = slotCount > 0 ? slots : nullptr;
  for (LaneState* lane : {&sdLane_, &rdLane_}) {
    lane->checkLength = checkLength;
    lane->escapePending = false;
    lane->openFrame = nullptr;
  }
}

void FrameAssembler::openFrameAt(LaneState& lane, const uint8_t* word, uint32_t stamp) {
  if (nextSlot_ == nullptr) return;  // all slots taken: the lane keeps what it has
  Frame* frame = nextSlot_;
  ++nextSlot_;
  if (nextSlot_ == slotsEnd_) nextSlot_ = nullptr;
  lane.openFrame = frame;
  frame->direction = lane.laneId;
  frame->endStatus = Open;
  frame->firstWord = word;
  frame->lastDataWord = nullptr;
  frame->stampWord = stamp & ~0x8000u;
  frame->count = 0;
  frame->stored = 0;
  frame->overflow = 0;
}

void FrameAssembler::appendCell(LaneState& lane, const uint8_t* word, uint16_t cell) {
  Frame* frame = lane.openFrame;
  if (frame == nullptr) return;
  // The last data word follows every character, stored or not, so that the check
  // verdict of an overlong frame is still found.
  frame->lastDataWord = word;
  storeCell(*frame, cell, cellCapacity_);
}

void FrameAssembler::closeFrame(LaneState& lane) {
  Frame* frame = lane.openFrame;
  if (frame == nullptr) return;
  if (frame->lastDataWord != nullptr) {
    const unsigned status =
        cellStatus(laneCell(lane.laneId, CaptureFile::wordAt(frame->lastDataWord)));
    if (status == kGoodCheckStatus) {
      frame->count -= lane.checkLength;
      frame->endStatus = FcsGood;
    } else if (status == kBadCheckStatus) {
      frame->count -= lane.checkLength;
      frame->endStatus = FcsError;
    } else {
      frame->endStatus = Ended;
    }
  }
  lane.openFrame = nullptr;
}

void FrameAssembler::endFrameWith(LaneState& lane, FrameEndStatus status) {
  if (lane.openFrame == nullptr) return;
  lane.openFrame->endStatus = status;
  lane.openFrame = nullptr;
}

void FrameAssembler::resetLane(LaneState& lane) {
  lane.escapePending = false;
  lane.openFrame = nullptr;
}

void FrameAssembler::applyMarker(uint32_t word) {
  const unsigned subKind = markerSubKind(word);
  if (subKind > 1) return;
  const FrameEndStatus mark = subKind == 0 ? EndOE : EndLD;
  for (LaneState* lane : {&sdLane_, &rdLane_}) {
    if (lane->openFrame != nullptr) lane->openFrame->endStatus = mark;
    resetLane(*lane);
  }
}

void FrameAssembler::setSpeed(int speed) {
  speed_ = speed;
  sdLane_.checkLength = irdaCheckLength(speed);
  rdLane_.checkLength = irdaCheckLength(speed);
}

void FrameAssembler::applySpeed(uint32_t word) {
  if (family_ == FrameFamily::Irda && isSpeedWord(word)) setSpeed(static_cast<int>(word >> 24));
}

// ---- cell rules ----

void FrameAssembler::hdlcCell(LaneState& lane, const uint8_t* word, uint16_t cell) {
  switch (cellStatus(cell)) {
    case 5:
      closeFrame(lane);
      break;
    case 6:
      endFrameWith(lane, EndSF);
      break;
    case 7:
      endFrameWith(lane, EndA);
      break;
    default:
      if (holdsCharacter(cell)) appendCell(lane, word, cell);
      break;
  }
}

void FrameAssembler::pppCell(LaneState& lane, const uint8_t* word, uint16_t cell,
                             uint8_t closingByte, bool dropC0) {
  if (cellStatus(cell) == 7) {
    if (lane.openFrame != nullptr) lane.openFrame->endStatus = EndB;
    resetLane(lane);
    return;
  }
  if (!holdsCharacter(cell)) return;
  const uint8_t byte = cellByte(cell);
  if (dropC0 && byte == kSirBegin) return;
  if (byte == kControlEscape) {
    if (lane.escapePending) {
      lane.escapePending = false;
      appendCell(lane, word, cell ^ kEscapeXor);
    } else {
      lane.escapePending = true;
    }
  } else if (byte == closingByte) {
    if (lane.escapePending) {
      lane.escapePending = false;
      endFrameWith(lane, EndA);
    } else {
      closeFrame(lane);
    }
  } else {
    if (lane.escapePending) {
      lane.escapePending = false;
      cell ^= kEscapeXor;
    }
    appendCell(lane, word, cell);
  }
}

void FrameAssembler::i2cCell(LaneState& lane, const uint8_t* word, uint16_t cell) {
  const unsigned status = cellStatus(cell);
  if (status == 4) {
    if (cellByte(cell) == 1) appendCell(lane, word, cell);
  } else if (status == 5) {
    closeFrame(lane);
  } else if (holdsCharacter(cell)) {
    appendCell(lane, word, cell);
  }
}

void FrameAssembler::charCell(LaneState& lane, const uint8_t* word, uint16_t cell) {
  if (cellStatus(cell) == 7) {
    // The status-7 cell ends the frame as its last cell; it brings no character.
    if (lane.openFrame != nullptr) storeCell(*lane.openFrame, cell, cellCapacity_);
    resetLane(lane);
  } else if (holdsCharacter(cell)) {
    appendCell(lane, word, cell);
  }
}

void FrameAssembler::spiCell(LaneState& lane, const uint8_t* word, uint16_t cell) {
  if (holdsCharacter(cell)) appendCell(lane, word, cell);
}

bool FrameAssembler::hdlcTypeFraming() const {
  return family_ == FrameFamily::Hdlc || (family_ == FrameFamily::Irda && speed_ > kSirTopSpeed);
}

void FrameAssembler::applyCellRule(LaneState& lane, const uint8_t* word, uint16_t cell) {
  switch (family_) {
    case FrameFamily::Hdlc:
      hdlcCell(lane, word, cell);
      break;
    case FrameFamily::Ppp:
      pppCell(lane, word, cell, kPppFlag, false);
      break;
    case FrameFamily::Irda:
      if (hdlcTypeFraming())
        hdlcCell(lane, word, cell);
      else
        pppCell(lane, word, cell, kSirEnd, true);
      break;
    case FrameFamily::I2c:
      i2cCell(lane, word, cell);
      break;
    case FrameFamily::Async:
      charCell(lane, word, cell);
      break;
    case FrameFamily::Spi:
      spiCell(lane, word, cell);
      break;
  }
}

// ---- word rules ----

void FrameAssembler::handleStampDelimitedWord(const uint8_t* position) {
  const uint32_t word = CaptureFile::wordAt(position);
  if (isDataWord(word)) {
    applyCellRule(sdLane_, position, sdCell(word));
    applyCellRule(rdLane_, position, rdCell(word));
    return;
  }
  // Counter stamps neither open nor end ASYNC and SPI frames; a clock stamp there
  // detaches the frame its lane was filling.
  const bool charFamily = family_ == FrameFamily::Async || family_ == FrameFamily::Spi;
  switch (recordKind(word)) {
    case KindClockStamp:
      if (charFamily) resetLane(laneOfStamp(word));
      openFrameAt(laneOfStamp(word), position, word);
      break;
    case KindCounterStamp:
      if (!charFamily) openFrameAt(laneOfStamp(word), position, word);
      break;
    case KindMarker:
      applyMarker(word);
      break;
    case KindSpeed:
      applySpeed(word);
      break;
    default:
      break;
  }
}

bool FrameAssembler::opensInBand(uint16_t cell) const {
  switch (family_) {
    case FrameFamily::Hdlc:
      return cellStatus(cell) == 4;
    case FrameFamily::Ppp:
      return holdsCharacter(cell) && flagBit0(cell);
    case FrameFamily::Irda:
      return hdlcTypeFraming() ? cellStatus(cell) == 4 : holdsCharacter(cell) && flagBit0(cell);
    case FrameFamily::I2c:
      return cellStatus(cell) == 4 && cellByte(cell) == 0;
    case FrameFamily::Async:
      return holdsCharacter(cell);
    case FrameFamily::Spi:
      return holdsCharacter(cell) && flagBit1(cell);
  }
  return false;
}

// PPP, SIR, ASYNC and SPI opening cells are also cells of the frame they open; the
// HDLC-type and I2C opening cells are pure markers.
bool FrameAssembler::cellRuleFollowsOpening() const {
  return !hdlcTypeFraming() && family_ != FrameFamily::I2c;
}

bool FrameAssembler::resetsLaneOnOpening() const {
  return family_ == FrameFamily::Async || family_ == FrameFamily::Spi;
}

void FrameAssembler::handleInBandWord(const uint8_t* position, bool& skip) {
  const uint32_t word = CaptureFile::wordAt(position);
  if (!isDataWord(word)) {
    if (recordKind(word) == KindMarker) applyMarker(word);
    if (recordKind(word) == KindSpeed) applySpeed(word);
    return;
  }
  const uint16_t sd = sdCell(word);
  const uint16_t rd = rdCell(word);
  const bool sdOpens = opensInBand(sd);
  const bool rdOpens = opensInBand(rd);
  if (sdOpens) {
    // A set skip flag passes over the SD opening whose frame was delivered already.
    if (!skip) {
      if (resetsLaneOnOpening()) resetLane(sdLane_);
      openFrameAt(sdLane_, position, 0);
    }
    skip = false;
  }
  if (!sdOpens || cellRuleFollowsOpening()) applyCellRule(sdLane_, position, sd);
  if (rdOpens) {
    if (resetsLaneOnOpening()) resetLane(rdLane_);
    openFrameAt(rdLane_, position, 0);
  }
  if (!rdOpens || cellRuleFollowsOpening()) applyCellRule(rdLane_, position, rd);
}

// ---- the walk ----

bool FrameAssembler::isStampDelimited(FrameFamily family) const {
  if (family == FrameFamily::Async || family == FrameFamily::Spi) return capture_.stampFlag1() != 0;
  return capture_.stampFlag1() != 0 || capture_.stampFlag2() != 0;
}

void FrameAssembler::assemble(FrameFamily family, const RecordCursor& cursor, Frame* slots,
                              int32_t slotCount) {
  uint64_t walked = 0;
  walk(family, cursor, slots, slotCount, UINT64_MAX, walked);
}

bool FrameAssembler::assembleWithin(FrameFamily family, const RecordCursor& cursor, Frame& frame,
                                    uint64_t wordBudget, uint64_t& wordsWalked) {
  return walk(family, cursor, &frame, 1, wordBudget, wordsWalked);
}

bool FrameAssembler::walk(FrameFamily family, const RecordCursor& cursor, Frame* slots,
                          int32_t slotCount, uint64_t wordBudget, uint64_t& wordsWalked) {
  wordsWalked = 0;
  family_ = family;
  int32_t checkLength = 0;
  if (family == FrameFamily::Hdlc || family == FrameFamily::Ppp)
    checkLength = capture_.conditions().checkKind() == 2 ? 4 : 2;
  resetSlots(slots, slotCount, checkLength);

  const uint8_t* chunkStart = capture_.chunkStart();
  const uint8_t* chunkEnd = capture_.chunkEnd();
  const uint8_t* endPosition = capture_.conditions().endPosition;
  const uint8_t* position = cursor.position;
  if (capture_.byteLength() == 0 || chunkStart == nullptr || chunkEnd - chunkStart < 4) return true;
  // A cursor that does not point at a whole word of the ring delivers nothing.
  if (position == nullptr || position < chunkStart || position >= chunkEnd ||
      (position - chunkStart) % 4 != 0)
    return true;

  speed_ = -1;
  if (family == FrameFamily::Irda) setSpeed(static_cast<int8_t>(cursor.speedCode));
  const bool stampDelimited = isStampDelimited(family);
  bool skip = !stampDelimited && cursor.pairPending != 0;

  // The walk never handles more words than the ring holds, whatever endPosition says.
  for (ptrdiff_t left = (chunkEnd - chunkStart) / 4; left > 0; --left) {
    if (wordsWalked == wordBudget) return false;
    ++wordsWalked;
    if (stampDelimited)
      handleStampDelimitedWord(position);
    else
      handleInBandWord(position, skip);
    position += 4;
    if (position >= chunkEnd) position = chunkStart;
    if (position == endPosition) break;
    if (nextSlot_ == nullptr && !anyLaneOpen()) break;
  }
  return true;
}

void FrameAssembler::assembleHdlc(const RecordCursor& c, Frame* s, int32_t n) {
  assemble(FrameFamily::Hdlc, c, s, n);
}
void FrameAssembler::assemblePpp(const RecordCursor& c, Frame* s, int32_t n) {
  assemble(FrameFamily::Ppp, c, s, n);
}
void FrameAssembler::assembleIrda(const RecordCursor& c, Frame* s, int32_t n) {
  assemble(FrameFamily::Irda, c, s, n);
}
void FrameAssembler::assembleI2c(const RecordCursor& c, Frame* s, int32_t n) {
  assemble(FrameFamily::I2c, c, s, n);
}
void FrameAssembler::assembleAsync(const RecordCursor& c, Frame* s, int32_t n) {
  assemble(FrameFamily::Async, c, s, n);
}
void FrameAssembler::assembleSpi(const RecordCursor& c, Frame* s, int32_t n) {
  assemble(FrameFamily::Spi, c, s, n);
}

// ---- next-frame steps ----

bool FrameAssembler::nextFrame(FrameFamily family, RecordCursor& cursor) const {
  if (isStampDelimited(family)) return capture_.nextStampDelimited(cursor);
  switch (family) {
    case FrameFamily::Hdlc:
      return capture_.nextHdlcBoundary(cursor);
    case FrameFamily::Ppp:
      return capture_.nextPppBoundary(cursor);
    case FrameFamily::Irda:
      return capture_.nextIrdaBoundary(cursor);
    case FrameFamily::I2c:
      return capture_.nextI2cBoundary(cursor);
    case FrameFamily::Async:
      return capture_.nextCharacterBoundary(cursor);
    case FrameFamily::Spi:
      return capture_.nextSpiBoundary(cursor);
  }
  return false;
}

bool FrameAssembler::nextHdlcFrame(RecordCursor& c) const {
  return nextFrame(FrameFamily::Hdlc, c);
}
bool FrameAssembler::nextPppFrame(RecordCursor& c) const { return nextFrame(FrameFamily::Ppp, c); }
bool FrameAssembler::nextIrdaFrame(RecordCursor& c) const {
  return nextFrame(FrameFamily::Irda, c);
}
bool FrameAssembler::nextI2cFrame(RecordCursor& c) const { return nextFrame(FrameFamily::I2c, c); }
bool FrameAssembler::nextAsyncFrame(RecordCursor& c) const {
  return nextFrame(FrameFamily::Async, c);
}
bool FrameAssembler::nextSpiFrame(RecordCursor& c) const { return nextFrame(FrameFamily::Spi, c); }

}  // namespace qv
