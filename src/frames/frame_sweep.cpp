#include "frames/frame_sweep.h"

#include "frames/framing_rules.h"

#include <algorithm>

namespace qv {

using namespace framing;

namespace {

constexpr int kLanes = 2;

uint16_t laneCell(int lane, uint32_t word) { return lane == 0 ? sdCell(word) : rdCell(word); }
int laneOfStamp(uint32_t word) { return (word & 0x8000) != 0 ? 1 : 0; }

bool isByteRule(CellRule rule) { return rule == CellRule::Ppp || rule == CellRule::Sir; }
// PPP, SIR, ASYNC and SPI opening cells are also cells of the frame they open.
bool ruleFollowsOpening(CellRule rule) { return rule != CellRule::Hdlc && rule != CellRule::I2c; }

}  // namespace

// ---- rules ----

CellRule ruleOfFamily(FrameFamily family, int speed) {
  switch (family) {
    case FrameFamily::Hdlc: return CellRule::Hdlc;
    case FrameFamily::Ppp: return CellRule::Ppp;
    case FrameFamily::Irda: return speed > kSirTopSpeed ? CellRule::Hdlc : CellRule::Sir;
    case FrameFamily::I2c: return CellRule::I2c;
    case FrameFamily::Async: return CellRule::Char;
    case FrameFamily::Spi: return CellRule::Spi;
  }
  return CellRule::Hdlc;
}

bool opensInBand(CellRule rule, uint16_t cell) {
  switch (rule) {
    case CellRule::Hdlc: return cellStatus(cell) == 4;
    case CellRule::Ppp:
    case CellRule::Sir: return holdsCharacter(cell) && flagBit0(cell);
    case CellRule::I2c: return cellStatus(cell) == 4 && cellByte(cell) == 0;
    case CellRule::Char: return holdsCharacter(cell);
    case CellRule::Spi: return holdsCharacter(cell) && flagBit1(cell);
  }
  return false;
}

namespace {

LaneEvent hdlcEvent(uint16_t cell) {
  switch (cellStatus(cell)) {
    case 5: return LaneEvent::Close;
    case 6: return LaneEvent::EndSF;
    case 7: return LaneEvent::EndA;
    default: return holdsCharacter(cell) ? LaneEvent::Append : LaneEvent::None;
  }
}

LaneEvent byteEvent(CellRule rule, uint16_t cell) {
  if (cellStatus(cell) == 7) return LaneEvent::EndB;
  if (!holdsCharacter(cell)) return LaneEvent::None;
  const uint8_t byte = cellByte(cell);
  if (rule == CellRule::Sir && byte == kSirBegin) return LaneEvent::None;
  if (byte == kControlEscape) return LaneEvent::EscByte;
  if (byte == (rule == CellRule::Sir ? kSirEnd : kPppFlag)) return LaneEvent::CloseByte;
  return LaneEvent::EscAppend;
}

LaneEvent i2cEvent(uint16_t cell) {
  const unsigned status = cellStatus(cell);
  if (status == 4) return cellByte(cell) == 1 ? LaneEvent::Append : LaneEvent::None;
  if (status == 5) return LaneEvent::Close;
  return holdsCharacter(cell) ? LaneEvent::Append : LaneEvent::None;
}

}  // namespace

LaneEvent cellEvent(CellRule rule, uint16_t cell) {
  switch (rule) {
    case CellRule::Hdlc: return hdlcEvent(cell);
    case CellRule::Ppp:
    case CellRule::Sir: return byteEvent(rule, cell);
    case CellRule::I2c: return i2cEvent(cell);
    case CellRule::Char:
      if (cellStatus(cell) == 7) return LaneEvent::Store7;
      return holdsCharacter(cell) ? LaneEvent::Append : LaneEvent::None;
    case CellRule::Spi: return holdsCharacter(cell) ? LaneEvent::Append : LaneEvent::None;
  }
  return LaneEvent::None;
}

CellRule FamilyRules::ruleAt(int speed) const { return ruleOfFamily(family, speed); }

int32_t FamilyRules::checkLengthAt(int speed) const {
  if (family == FrameFamily::Irda) return speed >= kFcs32Speed ? 4 : 2;
  return fixedCheckLength;
}

LaneEvent FamilyRules::laneEvent(int speed, uint32_t word, int lane) const {
  if (isDataWord(word)) {
    const uint16_t cell = laneCell(lane, word);
    const CellRule rule = ruleAt(speed);
    // ASYNC and SPI: a new opening in the lane detaches the open frame.
    if (!stampDelimited && charFamily() && opensInBand(rule, cell)) return LaneEvent::Detach;
    return cellEvent(rule, cell);
  }
  const unsigned kind = recordKind(word);
  if (kind == KindMarker) {
    const unsigned subKind = markerSubKind(word);
    return subKind == 0 ? LaneEvent::EndOE : subKind == 1 ? LaneEvent::EndLD : LaneEvent::None;
  }
  if (stampDelimited && charFamily() && kind == KindClockStamp && laneOfStamp(word) == lane)
    return LaneEvent::Detach;
  return LaneEvent::None;
}

// ---- positions ----

bool RunRing::init(const CaptureFile& capture, const uint8_t* start) {
  chunkStart_ = capture.chunkStart();
  const uint8_t* chunkEnd = capture.chunkEnd();
  const uint8_t* end = capture.conditions().endPosition;
  if (capture.byteLength() == 0 || chunkStart_ == nullptr || chunkEnd == nullptr ||
      chunkEnd - chunkStart_ < 4 || (chunkEnd - chunkStart_) % 4 != 0)
    return false;
  bytes_ = static_cast<size_t>(chunkEnd - chunkStart_);
  if (bytes_ / 4 > UINT32_MAX / 2) return false;
  auto isWord = [&](const uint8_t* p) {
    return p != nullptr && p >= chunkStart_ && p < chunkEnd && (p - chunkStart_) % 4 == 0;
  };
  if (!isWord(start) || !isWord(end)) return false;
  startOffset_ = static_cast<size_t>(start - chunkStart_);
  size_ = indexOf(end);
  if (size_ == 0) size_ = static_cast<uint32_t>(bytes_ / 4);
  return true;
}

// ---- shared state ----

void WordFeed::start(const RunRing& ring, const FamilyRules& rules) {
  ring_ = &ring;
  rules_ = &rules;
  position_ = ring.at(0);
  index_ = 0;
  speed_ = rules.initialSpeed;
  escape_[0] = escape_[1] = false;
  lastClear_[0] = lastClear_[1] = -1;
}

void WordFeed::step() {
  const uint32_t w = word();
  if (isDataWord(w)) {
    const CellRule cellRule = rule();
    if (isByteRule(cellRule)) {
      for (int lane = 0; lane < kLanes; ++lane) {
        const LaneEvent event = byteEvent(cellRule, laneCell(lane, w));
        if (event == LaneEvent::EscByte)
          escape_[lane] = !escape_[lane];
        else if (event != LaneEvent::None)
          clearEscape(lane);
      }
    }
  } else if (recordKind(w) == KindMarker && markerSubKind(w) <= 1) {
    clearEscape(0);
    clearEscape(1);
  } else if (rules_->family == FrameFamily::Irda && isSpeedWord(w)) {
    speed_ = rules_->signedSpeedWords ? static_cast<int8_t>(w >> 24) : static_cast<int>(w >> 24);
  }
  ++index_;
  position_ = ring_->next(position_);
}

// ---- scanners ----

void OpeningScanner::start(const RunRing& ring, const FamilyRules& rules, Source source) {
  feed_.start(ring, rules);
  source_ = source;
  asked_ = 0;
  parked_ = false;
}

bool OpeningScanner::opensHere() const {
  const uint32_t w = feed_.word();
  if (source_ == Source::SpeedWord) return isSpeedWord(w);
  if (source_ == Source::Stamp) {
    if (isDataWord(w)) return false;
    const unsigned kind = recordKind(w);
    return kind == KindClockStamp || (kind == KindCounterStamp && !feed_.rules().charFamily());
  }
  return isDataWord(w) && opensInBand(feed_.rule(), source_ == Source::SdCell ? sdCell(w) : rdCell(w));
}

bool OpeningScanner::find(uint32_t from, uint32_t& found) {
  if (from < asked_) return false;
  asked_ = from;
  if (parked_) {
    if (feed_.index() >= from) {
      found = feed_.index();
      return true;
    }
    parked_ = false;
    feed_.step();
  }
  while (!feed_.atEnd() && feed_.index() < from) feed_.step();
  for (; !feed_.atEnd(); feed_.step()) {
    if (opensHere()) {
      parked_ = true;
      found = feed_.index();
      return true;
    }
  }
  found = feed_.index();
  return true;
}

bool StateTracker::seek(uint32_t index) {
  if (feed_.index() > index) return false;
  while (feed_.index() < index) feed_.step();
  return true;
}

void LaneEventQueue::start(const RunRing& ring, const FamilyRules& rules, int lane) {
  feed_.start(ring, rules);
  lane_ = lane;
  head_ = count_ = 0;
  dropped_ = -1;
  failed_ = false;
}

bool LaneEventQueue::dropThrough(uint32_t index) {
  if (failed_ || static_cast<int64_t>(index) < dropped_) return false;
  dropped_ = index;
  while (count_ > 0 && events_[head_].index <= index) {
    head_ = (head_ + 1) % kCapacity;
    --count_;
  }
  if (count_ == 0)
    while (!feed_.atEnd() && feed_.index() <= index) feed_.step();
  return true;
}

bool LaneEventQueue::produce() {
  while (!feed_.atEnd()) {
    const uint32_t w = feed_.word();
    const LaneEvent event = feed_.rules().laneEvent(feed_.speed(), w, lane_);
    QueuedEvent queued{feed_.index(), isDataWord(w) ? laneCell(lane_, w) : uint16_t{0}, event, false,
                       static_cast<int8_t>(feed_.rules().checkLengthAt(feed_.speed()))};
    feed_.step();
    if (event == LaneEvent::None) continue;
    if (count_ == kCapacity) {
      failed_ = true;
      return false;
    }
    queued.escapeAfter = feed_.escape(lane_);
    events_[(head_ + count_) % kCapacity] = queued;
    ++count_;
    return true;
  }
  return false;
}

const QueuedEvent* LaneEventQueue::at(uint32_t k) {
  while (count_ <= k)
    if (!produce()) return nullptr;
  return &events_[(head_ + k) % kCapacity];
}

void LaneEndFinder::start(const RunRing& ring, const FamilyRules& rules, int lane) {
  feed_.start(ring, rules);
  lane_ = lane;
  asked_ = 0;
  parked_ = false;
  lastAppend_ = lastOtherAppend_ = -1;
}

// Follows which characters a walk would store under the shared flag and under its
// opposite. Both store every character that is not a 0x7D; a character that clears
// the flag (lastClear) makes the two the same again, so the opposite one is only
// asked about when nothing cleared the flag after the walk's own last word.
void LaneEndFinder::takeIn() {
  const uint32_t w = feed_.word();
  const int64_t index = feed_.index();
  switch (feed_.rules().laneEvent(feed_.speed(), w, lane_)) {
    case LaneEvent::Append:
      lastAppend_ = lastOtherAppend_ = index;
      break;
    case LaneEvent::EscAppend: lastAppend_ = index; break;
    case LaneEvent::EscByte: (feed_.escape(lane_) ? lastAppend_ : lastOtherAppend_) = index; break;
    default: break;
  }
  feed_.step();
}

bool LaneEndFinder::find(uint32_t after, LaneEnd& end) {
  if (after < asked_) return false;
  asked_ = after;
  if (parked_) {
    if (found_.index > after) {
      end = found_;
      return true;
    }
    parked_ = false;
    if (!feed_.atEnd()) takeIn();
  }
  while (!feed_.atEnd() && feed_.index() <= after) takeIn();
  found_ = LaneEnd{};
  for (; !feed_.atEnd(); takeIn()) {
    const uint32_t w = feed_.word();
    const LaneEvent event = feed_.rules().laneEvent(feed_.speed(), w, lane_);
    if (!endsFrame(event)) continue;
    found_.event = event;
    found_.cell = isDataWord(w) ? laneCell(lane_, w) : 0;
    found_.escapeBefore = feed_.escape(lane_);
    found_.checkLength = static_cast<int8_t>(feed_.rules().checkLengthAt(feed_.speed()));
    break;
  }
  found_.index = feed_.index();
  found_.lastClear = feed_.lastClear(lane_);
  found_.lastAppend = lastAppend_;
  found_.lastOtherAppend = lastOtherAppend_;
  parked_ = true;
  end = found_;
  return true;
}

bool LaneEndFinder::summaryAt(uint32_t index, LaneEnd& state) {
  if (feed_.index() > index) return false;
  while (feed_.index() < index) takeIn();
  state = LaneEnd{};
  state.index = index;
  state.escapeBefore = feed_.escape(lane_);
  state.lastClear = feed_.lastClear(lane_);
  state.lastAppend = lastAppend_;
  state.lastOtherAppend = lastOtherAppend_;
  return true;
}

// ---- the sweep ----

void SweepWorld::start(const RunRing& ring) {
  sdOpenings.start(ring, rules, OpeningScanner::Source::SdCell);
  rdOpenings.start(ring, rules, OpeningScanner::Source::RdCell);
  sdOpeningsAfterSkip.start(ring, rules, OpeningScanner::Source::SdCell);
  stampOpenings.start(ring, rules, OpeningScanner::Source::Stamp);
  for (int lane = 0; lane < kLanes; ++lane) {
    atCursor[lane].start(ring, rules);
    atOpening[lane].start(ring, rules);
    queues[lane].start(ring, rules, lane);
    ends[lane].start(ring, rules, lane);
    summaries[lane].start(ring, rules, lane);
  }
}

bool FrameSweep::start(const CaptureFile& capture, const FrameAssembler& assembler,
                       FrameFamily family, const RecordCursor& startCursor) {
  if (!ring_.init(capture, startCursor.position)) return false;
  FamilyRules& rules = main_.rules;
  rules = FamilyRules{};
  rules.family = family;
  rules.stampDelimited = assembler.isStampDelimited(family);
  if (family == FrameFamily::Hdlc || family == FrameFamily::Ppp)
    rules.fixedCheckLength = capture.conditions().checkKind() == 2 ? 4 : 2;
  rules.initialSpeed = static_cast<int8_t>(startCursor.speedCode);
  main_.start(ring_);

  firstSpeedWord_ = -1;
  highSpeedCodes_ = false;
  signedReadings_ = 0;
  if (family == FrameFamily::Irda) {
    const uint8_t* p = ring_.at(0);
    for (uint32_t i = 0; i < ring_.size(); ++i, p = ring_.next(p)) {
      const uint32_t w = readLe32(p);
      if (!isSpeedWord(w)) continue;
      if (firstSpeedWord_ < 0) firstSpeedWord_ = i;
      if ((w >> 24) >= 128) highSpeedCodes_ = true;
    }
  }
  if (highSpeedCodes_) {
    signed_.rules = rules;
    signed_.rules.signedSpeedWords = true;
    signed_.start(ring_);
    after_.rules = rules;
    after_.start(ring_);
    crossing_.rules = rules;
    crossing_.start(ring_);
    speedWords_.start(ring_, rules, OpeningScanner::Source::SpeedWord);
  }
  lane_ = -1;
  return true;
}

// A walk reads the speed code of its cursor as a signed byte but that of a speed word
// as unsigned. Before the first speed word both readings agree with the start code as
// main_ reads it, and so do codes below 128.
bool FrameSweep::readsSpeedAsShared(const RecordCursor& cursor) const {
  if (!highSpeedCodes_) return true;
  return firstSpeedWord_ < 0 || cursorIndex_ <= firstSpeedWord_ || cursor.speedCode < 128;
}

// The first opening at or after from and before limit (lane_ -1 when none). A set skip
// passes over the first SD opening, and is cleared once it has.
bool FrameSweep::findOpeningIn(SweepWorld& world, uint32_t from, uint32_t limit, bool& skip) {
  const uint32_t none = ring_.size();
  lane_ = -1;
  if (world.rules.stampDelimited) {
    uint32_t stamp = none;
    if (!world.stampOpenings.find(from, stamp)) return false;
    if (stamp < limit) {
      lane_ = laneOfStamp(readLe32(ring_.at(stamp)));
      openIndex_ = stamp;
    }
    return true;
  }
  uint32_t sd = none, rd = none;
  if (!world.sdOpenings.find(from, sd) || !world.rdOpenings.find(from, rd)) return false;
  if (sd >= limit) sd = none;
  if (rd >= limit) rd = none;
  // A pending pair passes over the first SD opening: its frame was delivered already.
  if (skip && sd < none) {
    skip = false;
    if (rd <= sd) {
      sd = none;
    } else {
      if (!world.sdOpeningsAfterSkip.find(sd + 1, sd)) return false;
      if (sd >= limit) sd = none;
    }
  }
  if (sd < none && sd <= rd) {
    lane_ = 0;
    openIndex_ = sd;
  } else if (rd < none) {
    lane_ = 1;
    openIndex_ = rd;
  }
  return true;
}

bool FrameSweep::identify(const RecordCursor& cursor, FrameIdentity& identity) {
  if (cursor.position == nullptr) return false;
  cursorIndex_ = ring_.indexOf(cursor.position);
  inSigned_ = !readsSpeedAsShared(cursor);
  switchIndex_ = ring_.size();
  if (inSigned_) {
    ++signedReadings_;
    if (!speedWords_.find(cursorIndex_, switchIndex_)) return false;
  }
  bool skip = !main_.rules.stampDelimited && cursor.pairPending != 0;
  if (!findOpeningIn(inSigned_ ? signed_ : main_, cursorIndex_, switchIndex_, skip)) return false;
  openedAfterSwitch_ = false;
  if (lane_ < 0 && switchIndex_ + 1 < ring_.size()) {
    if (!findOpeningIn(after_, switchIndex_ + 1, ring_.size(), skip)) return false;
    openedAfterSwitch_ = lane_ >= 0;
  }
  identity = FrameIdentity{};
  if (lane_ >= 0) {
    identity.direction = static_cast<uint8_t>(lane_ + 1);
    identity.firstWord = ring_.at(openIndex_);
  }
  return true;
}

// A walk's own state while its frame fills: the frame, the escape flag and the last
// character it took.
struct FrameSweep::Walk {
  Frame& frame;
  int lane;
  bool escape = false;
  bool ended = false;
  int64_t lastData = -1;
  int64_t lastEvent = -1;     // the last word the walk handled itself
  bool sharedEscape = false;  // the shared flag after that word

  bool full() const { return frame.count >= kFrameCells; }
  void append(int64_t index, uint16_t cell) {
    lastData = index;
    if (frame.count >= 0 && frame.count < kFrameCells) frame.cells[frame.count++] = cell;
  }
  void endWith(FrameEndStatus status) {
    frame.endStatus = status;
    ended = true;
  }
  void close(const RunRing& ring, int32_t checkLength) {
    ended = true;
    if (lastData < 0) return;
    const unsigned status = cellStatus(laneCell(lane, readLe32(ring.at(static_cast<uint32_t>(lastData)))));
    if (status == kGoodCheckStatus || status == kBadCheckStatus) {
      frame.count -= checkLength;
      frame.endStatus = status == kGoodCheckStatus ? FcsGood : FcsError;
    } else {
      frame.endStatus = Ended;
    }
  }
  void apply(const RunRing& ring, LaneEvent event, int64_t index, uint16_t cell, int32_t checkLength) {
    switch (event) {
      case LaneEvent::None: break;
      case LaneEvent::Append: append(index, cell); break;
      case LaneEvent::EscAppend:
        if (escape) cell ^= kEscapeXor;
        escape = false;
        append(index, cell);
        break;
      case LaneEvent::EscByte:
        if (escape) append(index, cell ^ kEscapeXor);
        escape = !escape;
        break;
      case LaneEvent::CloseByte:
        if (escape)
          endWith(EndA);
        else
          close(ring, checkLength);
        escape = false;
        break;
      case LaneEvent::Close: close(ring, checkLength); break;
      case LaneEvent::EndSF: endWith(EndSF); break;
      case LaneEvent::EndA: endWith(EndA); break;
      case LaneEvent::EndB: endWith(EndB); break;
      case LaneEvent::Store7:
        if (frame.count >= 0 && frame.count < kFrameCells) frame.cells[frame.count++] = cell;
        ended = true;
        break;
      case LaneEvent::Detach: ended = true; break;
      case LaneEvent::EndOE: endWith(EndOE); break;
      case LaneEvent::EndLD: endWith(EndLD); break;
    }
  }
};

// The flag of a walk just before the word at index, given its flag just before from:
// the shared flag when something cleared that in between, and otherwise the shared
// flag changed by the 0x7Ds in between.
bool FrameSweep::escapeAt(SweepWorld& world, int lane, uint32_t from, uint32_t index, bool startEscape,
                          bool& escape) {
  if (!world.atOpening[lane].seek(index)) return false;
  const WordFeed& there = world.atOpening[lane].feed();
  escape = there.escape(lane);
  if (there.lastClear(lane) >= static_cast<int64_t>(from)) return true;
  if (!world.atCursor[lane].seek(from)) return false;
  escape = escape != (world.atCursor[lane].feed().escape(lane) != startEscape);
  return true;
}

// The walk starts with a clear flag at its cursor. One that switches readings at its
// first speed word goes on from there with the flag it had.
bool FrameSweep::escapeAtOpening(int lane, bool& escape, int& speed) {
  escape = false;
  speed = main_.rules.initialSpeed;
  if (!main_.rules.tracksEscape()) return true;
  SweepWorld& first = inSigned_ ? signed_ : main_;
  if (!openedAfterSwitch_) {
    if (!escapeAt(first, lane, cursorIndex_, openIndex_, false, escape)) return false;
    speed = first.atOpening[lane].feed().speed();
    return true;
  }
  bool atSwitch = false;
  if (!escapeAt(first, lane, cursorIndex_, switchIndex_, false, atSwitch)) return false;
  if (!escapeAt(after_, lane, switchIndex_ + 1, openIndex_, atSwitch, escape)) return false;
  speed = after_.atOpening[lane].feed().speed();
  return true;
}

// Takes the queue's events after from and before limit; at the run's end the frame
// stays open.
bool FrameSweep::fillFromQueue(LaneEventQueue& queue, uint32_t from, uint32_t limit, Walk& walk) {
  if (!queue.dropThrough(from)) return false;
  for (uint32_t k = 0; !walk.ended && !walk.full(); ++k) {
    const QueuedEvent* event = queue.at(k);
    if (event == nullptr) {
      if (queue.failed()) return false;
      walk.ended = limit >= ring_.size();
      return true;
    }
    if (event->index >= limit) return true;
    walk.apply(ring_, event->event, event->index, event->cell, event->checkLength);
    walk.lastEvent = event->index;
    walk.sharedEscape = event->escapeAfter;
  }
  return true;
}

// Brings a full frame's last character and flag up to what the walks know at a later
// word. After the last word the walk handled, its flag differs from the shared one at
// most until something clears both.
void FrameSweep::carry(Walk& walk, const LaneEnd& state) const {
  const bool same = walk.escape == walk.sharedEscape || state.lastClear > walk.lastEvent;
  const int64_t later = same ? state.lastAppend : state.lastOtherAppend;
  if (later > walk.lastEvent) walk.lastData = later;
  walk.escape = same ? state.escapeBefore : !state.escapeBefore;
}

// The frame holds 64 cells: only its end and its last character are still to come.
bool FrameSweep::finish(Walk& walk) {
  const int lane = walk.lane;
  const uint32_t size = ring_.size();
  const uint32_t switchAt = switchIndex_;
  LaneEnd end;
  if (walk.lastEvent < switchAt) {
    SweepWorld& first = inSigned_ ? signed_ : main_;
    if (!first.ends[lane].find(openIndex_, end)) return false;
    if (end.index >= switchAt && switchAt < size) {
      // The frame is still open at the walk's first speed word: carry it across.
      LaneEnd atSwitch;
      if (!first.summaries[lane].summaryAt(switchAt, atSwitch)) return false;
      carry(walk, atSwitch);
      if (!crossing_.atCursor[lane].seek(switchAt + 1)) return false;
      walk.lastEvent = switchAt;
      walk.sharedEscape = crossing_.atCursor[lane].feed().escape(lane);
      if (!crossing_.ends[lane].find(switchAt, end)) return false;
    }
  } else if (!afterSwitch().ends[lane].find(std::max(openIndex_, switchAt), end)) {
    return false;
  }
  carry(walk, end);
  if (end.index < size) walk.apply(ring_, end.event, end.index, end.cell, end.checkLength);
  return true;
}

bool FrameSweep::assemble(Frame& frame) {
  frame = Frame{};
  if (lane_ < 0) return true;
  const uint8_t* opening = ring_.at(openIndex_);
  const uint32_t word = readLe32(opening);
  frame.direction = static_cast<uint8_t>(lane_ + 1);
  frame.firstWord = opening;
  if (main_.rules.stampDelimited) frame.stampWord = word & ~0x8000u;

  Walk walk{frame, lane_};
  int speed = main_.rules.initialSpeed;
  if (!escapeAtOpening(lane_, walk.escape, speed)) return false;
  const CellRule rule = main_.rules.ruleAt(speed);
  if (!main_.rules.stampDelimited && ruleFollowsOpening(rule)) {
    const uint16_t cell = laneCell(lane_, word);
    walk.apply(ring_, cellEvent(rule, cell), openIndex_, cell, main_.rules.checkLengthAt(speed));
  }
  walk.lastEvent = openIndex_;
  const uint32_t size = ring_.size();
  if (!openedAfterSwitch_ && !walk.ended && !walk.full() &&
      !fillFromQueue((inSigned_ ? signed_ : main_).queues[lane_], openIndex_, switchIndex_, walk))
    return false;
  if (switchIndex_ < size && !walk.ended && !walk.full() &&
      !fillFromQueue(afterSwitch().queues[lane_], std::max(openIndex_, switchIndex_), size, walk))
    return false;
  if (!walk.ended && !finish(walk)) return false;
  frame.lastDataWord = walk.lastData >= 0 ? ring_.at(static_cast<uint32_t>(walk.lastData)) : nullptr;
  return true;
}

}  // namespace qv
