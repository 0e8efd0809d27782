#include "frames/frame_assembler.h"

#include <algorithm>

namespace qv {

using namespace framing;

// ---- slots and lanes ----

void FrameAssembler::resetSlots(Frame* slots, int32_t slotCount, int32_t checkLength) {
  if (slots == nullptr || slotCount < 0) slotCount = 0;
  for (int32_t i = 0; i < slotCount; ++i) clearFrame(slots[i]);
  slotsEnd_ = slots + slotCount;
  nextSlot_ = slotCount > 0 ? slots : nullptr;
  for (LaneState* lane : {&sdLane_, &rdLane_}) {
    lane->checkLength = checkLength;
    lane->cellCapacity = cellCapacity_;
    lane->reset();
  }
}

void FrameAssembler::openFrameAt(LaneState& lane, const uint8_t* word, uint32_t stamp) {
  if (nextSlot_ == nullptr) return;  // all slots taken: the lane keeps what it has
  Frame* frame = nextSlot_;
  ++nextSlot_;
  if (nextSlot_ == slotsEnd_) nextSlot_ = nullptr;
  lane.openFrame = frame;
  // resetSlots cleared the slot, and a walk opens each slot once.
  frame->direction = lane.laneId;
  frame->firstWord = word;
  frame->stampWord = withoutStampDirection(stamp);
}

void FrameAssembler::setSpeed(int speed) {
  mode_ = framingModeOf(family_, speed);
  plain_ = &plainCells(mode_, plainView_);
  sdLane_.checkLength = irdaCheckLength(speed);
  rdLane_.checkLength = irdaCheckLength(speed);
}

// ---- word rules ----

// Markers end the frames of both lanes; an IrDA speed word changes the framing from the
// next data word on. Time stamps open frames only in stamp-delimited framing: a clock
// stamp always, a counter stamp outside ASYNC and SPI, where a clock stamp also
// detaches the frame its lane was filling.
void FrameAssembler::handleControlWord(uint32_t word, const uint8_t* position,
                                       bool stampDelimited) {
  // The state a search's cursor takes from the word as it steps over it.
  if (isLineStateWord(word)) trail_.after.lineState = lineStateAfter(word);
  if (isSpeedWord(word)) trail_.after.speedCode = speedCodeAfter(word);
  switch (recordKind(word)) {
    case KindClockStamp:
      if (!stampDelimited) break;
      if (isCharacterFamily(family_)) laneOfStamp(word).reset();
      openFrameAt(laneOfStamp(word), position, word);
      break;
    case KindCounterStamp:
      if (stampDelimited && !isCharacterFamily(family_))
        openFrameAt(laneOfStamp(word), position, word);
      break;
    case KindMarker:
      applyLaneEvent(sdLane_, markerEvent(word), position, 0);
      applyLaneEvent(rdLane_, markerEvent(word), position, 0);
      break;
    case KindSpeed:
      if (family_ == FrameFamily::Irda && isSpeedWord(word)) setSpeed(speedCodeAfter(word));
      break;
    default: break;
  }
}

// In stamp-delimited framing the opening flags inside the data are ignored.
void FrameAssembler::handleStampDelimitedWord(const uint8_t* position) {
  const uint32_t word = CaptureFile::wordAt(position);
  if (!isDataWord(word)) {
    handleControlWord(word, position, true);
    return;
  }
  applyCellEvent(sdLane_, classifyCell(mode_, sdCell(word)).event, position, sdCell(word));
  applyCellEvent(rdLane_, classifyCell(mode_, rdCell(word)).event, position, rdCell(word));
}

void FrameAssembler::openInBand(LaneState& lane, const uint8_t* position) {
  if (openingDetaches(mode_)) lane.reset();
  openFrameAt(lane, position, 0);
}

// The SD cell first. A set skip flag passes over the SD opening whose frame was
// delivered already. An opening cell is then handled as a cell of the frame it opened
// (the HDLC-type and I2C opening flags bring nothing to it).
void FrameAssembler::handleInBandWord(const uint8_t* position, bool& skip) {
  const uint32_t word = CaptureFile::wordAt(position);
  if (!isDataWord(word)) {
    handleControlWord(word, position, false);
    return;
  }
  const CellClass sd = classifyCell(mode_, sdCell(word));
  const CellClass rd = classifyCell(mode_, rdCell(word));
  // IrDA searches stop at the openings of both of its framings.
  const bool irda = family_ == FrameFamily::Irda;
  const bool sdBoundary = irda ? sd.irdaBoundary : sd.opens;
  const bool rdBoundary = irda ? rd.irdaBoundary : rd.opens;
  if (sdBoundary || rdBoundary) noteOpening(position, sdBoundary && rdBoundary);
  if (sd.opens) {
    if (!skip) openInBand(sdLane_, position);
    skip = false;
  }
  applyCellEvent(sdLane_, sd.event, position, sdCell(word));
  if (rd.opens) openInBand(rdLane_, position);
  applyCellEvent(rdLane_, rd.event, position, rdCell(word));
}

// The search from the walk's cursor stops at the first word with an opening cell, and
// at once when both its cells open (unless the cursor stands for the second of them);
// otherwise it goes on to the next word with one.
void FrameAssembler::noteOpening(const uint8_t* position, bool bothLanes) {
  if (trail_.firstOpening != nullptr) {
    trail_.otherOpening = true;
    return;
  }
  trail_.firstOpening = position;
  if (bothLanes && trail_.from.pairPending == 0) trail_.otherOpening = true;
}

// ---- the walk ----

bool FrameAssembler::isStampDelimited(FrameFamily family) const {
  if (isCharacterFamily(family)) return capture_.stampFlag1() != 0;
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

namespace {

// Puts the characters one lane's cells bring over a run of plain words into the lane's
// open frame, as framing::storeCell would one at a time: stored while the capacity leaves
// room, counted as overflow after that. The counters are kept in locals: stores into the
// frame's cells could otherwise be taken by the compiler for changes of its counters.
template <int lane>
class RunFill {
 public:
  RunFill(Frame& frame, int32_t capacity)
      : frame_(frame),
        capacity_(capacity),
        count_(frame.count),
        stored_(frame.stored),
        overflow_(frame.overflow) {}

  void add(const uint8_t* p, const uint8_t* end) {
    p = storeFirstCells(p, end);
    if (p != end) p = storeFurtherCells(p, end);
    if (p != end) countOverflow(p, end);
    frame_.count = count_;
    frame_.stored = stored_;
    frame_.overflow = overflow_;
    if (last_ != nullptr) frame_.lastDataWord = last_;
  }

 private:
  static uint16_t cellAt(const uint8_t* p) { return laneCell(lane, CaptureFile::wordAt(p)); }
  bool hasRoom(int32_t limit) const { return count_ >= 0 && count_ < limit; }

  size_t wordsWithRoom(const uint8_t* p, const uint8_t* end, int32_t limit) const {
    return std::min(static_cast<size_t>(end - p) / MonitorRing::kWordBytes,
                    static_cast<size_t>(limit - count_));
  }

  // Into the frame's own 64 cells.
  const uint8_t* storeFirstCells(const uint8_t* p, const uint8_t* end) {
    const int32_t limit = std::min(capacity_, kFrameCells);
    if (!hasRoom(limit)) return p;
    return store(p, end, limit, frame_.cells + count_);
  }

  // Among the further cells, grown once for the run and cut back to what was stored.
  const uint8_t* storeFurtherCells(const uint8_t* p, const uint8_t* end) {
    if (count_ < kFrameCells || !hasRoom(capacity_)) return p;
    FrameCells& more = frame_.moreCells;
    const size_t heldBefore = more.size();
    const auto first = static_cast<size_t>(count_ - kFrameCells);
    // At most one cell a word, and no more than the room.
    more.resize(std::max(heldBefore, first + wordsWithRoom(p, end, capacity_)));
    p = store(p, end, capacity_, more.data() + first);
    more.resize(std::max(heldBefore, static_cast<size_t>(count_ - kFrameCells)));
    return p;
  }

  // Stores the cells that bring a character at `into` on, while the count stays below
  // limit. Where every word of the stretch brings one (a frame's bytes back to back), they
  // are copied without a test each.
  const uint8_t* store(const uint8_t* p, const uint8_t* end, int32_t limit, uint16_t* into) {
    const size_t words = wordsWithRoom(p, end, limit);
    const uint8_t* stretchEnd = p + words * MonitorRing::kWordBytes;
    if (words > 0 &&
        PlainCells::countCharacters(lane, p, stretchEnd) == static_cast<int32_t>(words)) {
      for (size_t i = 0; i < words; ++i) into[i] = cellAt(p + i * MonitorRing::kWordBytes);
      count_ += static_cast<int32_t>(words);
      stored_ += static_cast<int32_t>(words);
      last_ = stretchEnd - MonitorRing::kWordBytes;
      return stretchEnd;
    }
    for (; p != end && count_ < limit; p += MonitorRing::kWordBytes) {
      const uint16_t cell = cellAt(p);
      if (!holdsCharacter(cell)) continue;
      *into++ = cell;
      ++count_;
      ++stored_;
      last_ = p;
    }
    return p;
  }

  // Past the capacity characters are only counted; the last one is still the frame's
  // last data word, which its check verdict is read from.
  void countOverflow(const uint8_t* p, const uint8_t* end) {
    const int32_t characters = PlainCells::countCharacters(lane, p, end);
    if (characters == 0) return;
    overflow_ += characters;
    const uint8_t* q = end;
    do q -= MonitorRing::kWordBytes;
    while (!holdsCharacter(cellAt(q)));
    last_ = q;
  }

  Frame& frame_;
  const int32_t capacity_;
  int32_t count_;
  int32_t stored_;
  int32_t overflow_;
  const uint8_t* last_ = nullptr;
};

}  // namespace

// Handles the words from position on, up to (not including) stop, while each is a data
// word whose two cells neither open nor end a frame and bring at most a character stored
// as it is: such words change nothing but the open frames' cells, so they need no lane
// bookkeeping. Returns how many words were handled.
size_t FrameAssembler::walkPlainRun(const uint8_t* position, const uint8_t* stop) {
  // A pending escape changes the next character: that word takes the full rules.
  if (sdLane_.escapePending || rdLane_.escapePending) return 0;
  const uint8_t* end = plain_->runEnd(position, stop);
  if (sdLane_.openFrame != nullptr)
    RunFill<0>(*sdLane_.openFrame, sdLane_.cellCapacity).add(position, end);
  if (rdLane_.openFrame != nullptr)
    RunFill<1>(*rdLane_.openFrame, rdLane_.cellCapacity).add(position, end);
  return static_cast<size_t>(end - position) / MonitorRing::kWordBytes;
}

bool FrameAssembler::walk(FrameFamily family, const RecordCursor& cursor, Frame* slots,
                          int32_t slotCount, uint64_t wordBudget, uint64_t& wordsWalked) {
  wordsWalked = 0;
  family_ = family;
  mode_ = framingModeOf(family, -1);
  const bool stampDelimited = isStampDelimited(family);
  choosePlainCells(stampDelimited);
  resetSlots(slots, slotCount, fixedCheckLength(family, capture_.conditions().checkKind()));

  const MonitorRing ring = capture_.ring();
  // A cursor that does not point at a whole word of the ring delivers nothing.
  if (capture_.byteLength() == 0 || !ring.holds(cursor.position)) return true;
  const uint8_t* endPosition = capture_.conditions().endPosition;
  const uint8_t* position = cursor.position;

  // The cursor's speed code is read as a signed byte (0xFF: unknown).
  if (family == FrameFamily::Irda) setSpeed(static_cast<int8_t>(cursor.speedCode));
  bool skip = !stampDelimited && cursor.pairPending != 0;
  startTrail(cursor, stampDelimited);
  // The walk stops where the searches stop only when the end is a word of the ring.
  if (!ring.holds(endPosition)) trail_.tracked = false;

  // The walk never handles more words than the ring holds, whatever endPosition says.
  for (size_t left = ring.wordCount(); left > 0; --left) {
    if (wordsWalked == wordBudget) return false;
    ++wordsWalked;
    if (stampDelimited)
      handleStampDelimitedWord(position);
    else
      handleInBandWord(position, skip);
    position = ring.next(position);
    if (position == endPosition) break;
    if (nextSlot_ == nullptr && !anyLaneOpen()) {
      trail_.usable = trail_.tracked && trail_.firstOpening != nullptr && !trail_.otherOpening;
      trail_.after.position = position;
      break;
    }
    // The first word of a plain run is tried here, so that captures where few words are
    // plain pay next to nothing for the runs.
    if (!plain_->plainWord(CaptureFile::wordAt(position))) continue;
    const size_t plain = walkPlainRun(
        position,
        plainRunStop(ring, position, std::min<uint64_t>(left - 1, wordBudget - wordsWalked)));
    position += plain * MonitorRing::kWordBytes;
    wordsWalked += plain;
    left -= plain;
  }
  return true;
}

// A plain run stops before the last word of the straight run from position, whose step
// may wrap or meet the end, and after at most maxWords words.
const uint8_t* FrameAssembler::plainRunStop(const MonitorRing& ring, const uint8_t* position,
                                            uint64_t maxWords) const {
  const uint8_t* endPosition = capture_.conditions().endPosition;
  const uint8_t* limit =
      endPosition > position && endPosition < ring.wrapPoint() ? endPosition : ring.wrapPoint();
  const size_t room = static_cast<size_t>(limit - position) / MonitorRing::kWordBytes - 1;
  return position + std::min<uint64_t>(room, maxWords) * MonitorRing::kWordBytes;
}

// Stamp-delimited walks ignore the opening cells; an IrDA walk notes the openings of both
// of its framings for the next-frame step.
void FrameAssembler::choosePlainCells(bool stampDelimited) {
  plainView_ = stampDelimited                 ? PlainView::StampDelimited
               : family_ == FrameFamily::Irda ? PlainView::InBandBothFramings
                                              : PlainView::InBand;
  plain_ = &plainCells(mode_, plainView_);
}

void FrameAssembler::startTrail(const RecordCursor& cursor, bool stampDelimited) {
  trail_ = WalkTrail{};
  trail_.from = cursor;
  trail_.family = family_;
  trail_.after.lineState = cursor.lineState;
  trail_.after.speedCode = cursor.speedCode;
  trail_.tracked = !stampDelimited && family_ != FrameFamily::Async;
}

// ---- next-frame steps ----

bool FrameAssembler::trailFits(FrameFamily family, const RecordCursor& cursor) const {
  const RecordCursor& from = trail_.from;
  return trail_.usable && trail_.family == family && from.position == cursor.position &&
         from.pairPending == cursor.pairPending && from.lineState == cursor.lineState &&
         from.speedCode == cursor.speedCode;
}

bool FrameAssembler::nextFrameAfterWalk(FrameFamily family, RecordCursor& cursor) const {
  if (!trailFits(family, cursor)) return nextFrame(family, cursor);
  RecordCursor next = trail_.after;
  if (!capture_.continueBoundarySearch(boundaryKindOf(family), next)) return false;
  cursor = next;
  return true;
}

bool FrameAssembler::nextFrame(FrameFamily family, RecordCursor& cursor) const {
  if (isStampDelimited(family)) return capture_.nextStampDelimited(cursor);
  return capture_.nextBoundary(boundaryKindOf(family), cursor);
}

}  // namespace qv
