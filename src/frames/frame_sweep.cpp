#include "frames/frame_sweep.h"

#include <algorithm>
#include <vector>

#include "frames/framing_rules.h"

namespace qv {

using namespace framing;

namespace {

constexpr int kLanes = 2;

int laneOfStamp(uint32_t word) { return isRdStamp(word) ? 1 : 0; }

// Word positions of one run, counted from the run's start cursor to the ring's end.
class RunRing {
 public:
  // False when the ring is empty or the start or end position is not a word of it.
  bool init(const CaptureFile& capture, const uint8_t* start);
  uint32_t size() const { return size_; }
  const uint8_t* at(uint32_t index) const {
    size_t offset = startOffset_ + MonitorRing::kWordBytes * static_cast<size_t>(index);
    if (offset >= bytes_) offset -= bytes_;
    return ring_.firstWord() + offset;
  }
  uint32_t indexOf(const uint8_t* position) const {
    return static_cast<uint32_t>(ring_.distance(start_, position));
  }
  const uint8_t* next(const uint8_t* position) const { return ring_.next(position); }

 private:
  MonitorRing ring_;
  const uint8_t* start_ = nullptr;
  size_t bytes_ = 0;
  size_t startOffset_ = 0;
  uint32_t size_ = 0;
};

// The assembler's rules of one family under the capture's conditions.
struct FamilyRules {
  FrameFamily family = FrameFamily::Hdlc;
  bool stampDelimited = false;
  int32_t fixedCheckLength = 0;
  int initialSpeed = -1;          // IrDA: the speed code at the run's start, as a signed byte
  bool signedSpeedWords = false;  // IrDA: speed words read as signed bytes too

  FramingMode modeAt(int speed) const { return framingModeOf(family, speed); }
  int32_t checkLengthAt(int speed) const;
  bool tracksEscape() const { return family == FrameFamily::Ppp || family == FrameFamily::Irda; }
  bool charFamily() const { return isCharacterFamily(family); }
  // What the word means to the lane (0 SD, 1 RD) holding a frame open.
  LaneEvent laneEvent(int speed, uint32_t word, int lane) const;
};

// A forward walk over the run that keeps what all assembly walks share at each word:
// the IrDA speed and, per lane, the shared escape flag and the last word that cleared it.
class WordFeed {
 public:
  void start(const RunRing& ring, const FamilyRules& rules);
  uint32_t index() const { return index_; }
  bool atEnd() const { return index_ >= ring_->size(); }
  uint32_t word() const { return readLe32(position_); }
  int speed() const { return speed_; }
  bool escape(int lane) const { return escape_[lane]; }
  int64_t lastClear(int lane) const { return lastClear_[lane]; }
  FramingMode mode() const { return rules_->modeAt(speed_); }
  const FamilyRules& rules() const { return *rules_; }
  // Takes in the current word and moves to the next.
  void step();

 private:
  void clearEscape(int lane) {
    escape_[lane] = false;
    lastClear_[lane] = index_;
  }

  const RunRing* ring_ = nullptr;
  const FamilyRules* rules_ = nullptr;
  const uint8_t* position_ = nullptr;
  uint32_t index_ = 0;
  int speed_ = -1;
  bool escape_[2] = {false, false};
  int64_t lastClear_[2] = {-1, -1};
};

// Finds the first word at or after a position that opens a frame: by an opening cell
// of one lane (in-band framing) or by a time stamp word (stamp-delimited framing).
class OpeningScanner {
 public:
  enum class Source : uint8_t { SdCell, RdCell, Stamp, SpeedWord };
  void start(const RunRing& ring, const FamilyRules& rules, Source source);
  // found = the index of that word, or the run's size when there is none.
  bool find(uint32_t from, uint32_t& found);

 private:
  bool opensHere() const;

  WordFeed feed_;
  Source source_ = Source::Stamp;
  uint32_t asked_ = 0;
  bool parked_ = false;  // the feed stands on the opening found last
};

// The shared state just before a word.
class StateTracker {
 public:
  void start(const RunRing& ring, const FamilyRules& rules) { feed_.start(ring, rules); }
  bool seek(uint32_t index);
  const WordFeed& feed() const { return feed_; }

 private:
  WordFeed feed_;
};

struct QueuedEvent {
  uint32_t index;
  uint16_t cell;
  LaneEvent event;
  bool escapeAfter;  // the shared flag after the word
  int8_t checkLength;
};

// The events of one lane after a position, produced on demand.
class LaneEventQueue {
 public:
  // cellCapacity: the most cells a frame takes from the queue.
  void start(const RunRing& ring, const FamilyRules& rules, int lane, int32_t cellCapacity);
  // Forgets the events at or before index; false when index lies behind the last call.
  bool dropThrough(uint32_t index);
  // The k-th event kept, or none when the run ends first; failed() tells when it
  // could not be kept.
  const QueuedEvent* at(uint32_t k);
  bool failed() const { return failed_; }

 private:
  bool produce();
  bool grow();
  // The ring's size: a power of two (it starts at one and doubles), so that a position
  // wraps with a mask.
  uint32_t slots() const { return static_cast<uint32_t>(events_.size()); }
  uint32_t slotOf(uint32_t k) const { return (head_ + k) & (slots() - 1); }

  // A frame reads at most two events per cell and its end; the queue starts small and
  // grows up to that.
  static constexpr uint32_t kStartCapacity = 512;
  static_assert((kStartCapacity & (kStartCapacity - 1)) == 0);
  std::vector<QueuedEvent> events_;
  uint32_t maxEvents_ = kStartCapacity;
  uint32_t head_ = 0;
  uint32_t count_ = 0;
  int64_t dropped_ = -1;
  int lane_ = 0;
  bool failed_ = false;
  WordFeed feed_;
};

// The event that ends a frame of one lane, with what the walks need to finish a full
// frame from there: the last characters the shared flag and its opposite would store.
struct LaneEnd {
  uint32_t index = 0;  // the run's size when the frame stays open to the end
  LaneEvent event = LaneEvent::None;
  uint16_t cell = 0;
  bool escapeBefore = false;
  int8_t checkLength = 0;
  int64_t lastClear = -1;        // last word before index that cleared the flag
  int64_t lastAppend = -1;       // last character stored under the shared flag
  int64_t lastOtherAppend = -1;  // ... under the opposite flag
  int64_t appends = 0;           // characters stored under the shared flag before index
  int64_t otherAppends = 0;      // ... under the opposite flag
};

class LaneEndFinder {
 public:
  void start(const RunRing& ring, const FamilyRules& rules, int lane);
  // The first ending event after the position.
  bool find(uint32_t after, LaneEnd& end);
  // What the walks know just before the word at index (used on its own instance: the
  // event there is not looked at).
  bool summaryAt(uint32_t index, LaneEnd& state);
  // The same just after the first word past `after` that cleared the flag (on its own
  // instance too; `after` never moves back). False when the instance went past it.
  bool summaryAfterClear(int64_t after, LaneEnd& state);

 private:
  void takeIn();

  WordFeed feed_;
  int lane_ = 0;
  uint32_t asked_ = 0;
  bool parked_ = false;
  LaneEnd found_;
  int64_t lastAppend_ = -1;
  int64_t lastOtherAppend_ = -1;
  int64_t appends_ = 0;
  int64_t otherAppends_ = 0;
  int64_t clearAsked_ = -1;
};

// One reading of the run's speed words, with every scanner the walks need under it.
struct SweepWorld {
  FamilyRules rules;
  OpeningScanner sdOpenings, rdOpenings, sdOpeningsAfterSkip, stampOpenings;
  StateTracker atCursor[2], atOpening[2];
  LaneEventQueue queues[2];
  LaneEndFinder ends[2], summaries[2];
  LaneEndFinder counts[2];  // characters up to where a frame filled its capacity
  LaneEndFinder clears[2];  // ... and up to the first word after it that cleared the flag

  void start(const RunRing& ring, int32_t cellCapacity);
};

}  // namespace

class FrameSweep::Run {
 public:
  // False when the sweep cannot serve the run (the runner then walks every frame).
  bool start(const CaptureFile& capture, const FrameAssembler& assembler, FrameFamily family,
             const RecordCursor& startCursor);
  // Which frame the assembly at the cursor delivers; false when refused.
  bool identify(const RecordCursor& cursor, FrameIdentity& identity);
  // The whole frame identified last; false when refused.
  bool assemble(Frame& frame);
  // Frames whose walks read their first speed code otherwise than the shared state.
  uint32_t signedReadings() const { return signedReadings_; }

 private:
  struct Walk;
  bool readsSpeedAsShared(const RecordCursor& cursor) const;
  bool findOpeningIn(SweepWorld& world, uint32_t from, uint32_t limit, bool& skip);
  bool escapeAt(SweepWorld& world, int lane, uint32_t from, uint32_t index, bool startEscape,
                bool& escape);
  bool escapeAtOpening(int lane, bool& escape, int& speed);
  bool fillFromQueue(LaneEventQueue& queue, uint32_t from, uint32_t limit, Walk& walk);
  bool finish(Walk& walk);
  void carry(Walk& walk, const LaneEnd& state) const;
  bool countOverflow(SweepWorld& world, const Walk& walk, const LaneEnd& upTo);

  RunRing ring_;
  // main_ reads the speed words as the walks that pass them do. A walk whose cursor
  // comes after a speed word with a code of 128 or more reads that code as a signed
  // byte until its next speed word (signed_), and then as main_ does. Past that word
  // it reads from after_ when its frame opens there, and from crossing_ when its frame
  // opened before and is still open: copies of main_, so that the questions of each
  // kind come in order (a frame opening after one walk's speed word may lie beyond the
  // next speed word, where a later walk's frame crosses).
  SweepWorld main_, signed_, after_, crossing_;
  SweepWorld& afterSwitch() { return openedAfterSwitch_ ? after_ : crossing_; }
  // The reading the walk identified last starts in.
  SweepWorld& firstWorld() { return inSigned_ ? signed_ : main_; }
  OpeningScanner speedWords_;
  int64_t firstSpeedWord_ = -1;  // IrDA: index of the first speed word, -1 when none
  bool highSpeedCodes_ = false;  // IrDA: a speed word carries a code of 128 or more
  uint32_t signedReadings_ = 0;
  int32_t cellCapacity_ = kFrameCells;

  // The frame identified last.
  uint32_t cursorIndex_ = 0;
  uint32_t openIndex_ = 0;
  uint32_t switchIndex_ = 0;  // the walk's first speed word when it starts in signed_
  bool inSigned_ = false;
  bool openedAfterSwitch_ = false;
  int lane_ = -1;  // -1: the walk opens nothing
};

// ---- rules ----

int32_t FamilyRules::checkLengthAt(int speed) const {
  return family == FrameFamily::Irda ? irdaCheckLength(speed) : fixedCheckLength;
}

LaneEvent FamilyRules::laneEvent(int speed, uint32_t word, int lane) const {
  if (isDataWord(word)) {
    const FramingMode mode = modeAt(speed);
    const CellClass cell = classifyCell(mode, laneCell(lane, word));
    // ASYNC and SPI: a new opening in the lane detaches the open frame.
    if (!stampDelimited && openingDetaches(mode) && cell.opens) return LaneEvent::Detach;
    return cell.event;
  }
  const unsigned kind = recordKind(word);
  if (kind == KindMarker) return markerEvent(word);
  if (stampDelimited && charFamily() && kind == KindClockStamp && laneOfStamp(word) == lane)
    return LaneEvent::Detach;
  return LaneEvent::None;
}

// ---- positions ----

bool RunRing::init(const CaptureFile& capture, const uint8_t* start) {
  ring_ = capture.ring();
  const uint8_t* end = capture.conditions().endPosition;
  if (capture.byteLength() == 0 || ring_.empty()) return false;
  if (ring_.wordCount() > UINT32_MAX / 2) return false;
  if (!ring_.holds(start) || !ring_.holds(end)) return false;
  start_ = start;
  bytes_ = MonitorRing::kWordBytes * ring_.wordCount();
  startOffset_ = static_cast<size_t>(start - ring_.firstWord());
  size_ = indexOf(end);
  if (size_ == 0) size_ = static_cast<uint32_t>(ring_.wordCount());
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
    const FramingMode framing = mode();
    if (framing == FramingMode::Ppp || framing == FramingMode::Sir) {
      for (int lane = 0; lane < kLanes; ++lane) {
        const LaneEvent event = classifyCell(framing, laneCell(lane, w)).event;
        if (event == LaneEvent::EscByte)
          escape_[lane] = !escape_[lane];
        else if (event != LaneEvent::None)
          clearEscape(lane);
      }
    }
  } else if (recordKind(w) == KindMarker && markerEvent(w) != LaneEvent::None) {
    clearEscape(0);
    clearEscape(1);
  } else if (rules_->family == FrameFamily::Irda && isSpeedWord(w)) {
    const uint8_t code = speedCodeAfter(w);
    speed_ = rules_->signedSpeedWords ? static_cast<int8_t>(code) : static_cast<int>(code);
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
  return isDataWord(w) &&
         opensFrame(feed_.mode(), source_ == Source::SdCell ? sdCell(w) : rdCell(w));
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

void LaneEventQueue::start(const RunRing& ring, const FamilyRules& rules, int lane,
                           int32_t cellCapacity) {
  feed_.start(ring, rules);
  if (events_.empty()) events_.resize(kStartCapacity);
  maxEvents_ = std::max<uint32_t>(kStartCapacity, 2 * static_cast<uint32_t>(cellCapacity) + 8);
  lane_ = lane;
  head_ = count_ = 0;
  dropped_ = -1;
  failed_ = false;
}

bool LaneEventQueue::dropThrough(uint32_t index) {
  if (failed_ || static_cast<int64_t>(index) < dropped_) return false;
  dropped_ = index;
  while (count_ > 0 && events_[head_].index <= index) {
    head_ = slotOf(1);
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
    QueuedEvent queued{feed_.index(), isDataWord(w) ? laneCell(lane_, w) : uint16_t{0}, event,
                       false, static_cast<int8_t>(feed_.rules().checkLengthAt(feed_.speed()))};
    feed_.step();
    if (event == LaneEvent::None) continue;
    if (count_ == slots() && !grow()) {
      failed_ = true;
      return false;
    }
    queued.escapeAfter = feed_.escape(lane_);
    events_[slotOf(count_)] = queued;
    ++count_;
    return true;
  }
  return false;
}

const QueuedEvent* LaneEventQueue::at(uint32_t k) {
  while (count_ <= k)
    if (!produce()) return nullptr;
  return &events_[slotOf(k)];
}

// Doubles the ring, its events laid out again from the head.
bool LaneEventQueue::grow() {
  if (slots() >= maxEvents_) return false;
  std::vector<QueuedEvent> larger(2 * events_.size());
  for (uint32_t k = 0; k < count_; ++k) larger[k] = events_[slotOf(k)];
  events_ = std::move(larger);
  head_ = 0;
  return true;
}

void LaneEndFinder::start(const RunRing& ring, const FamilyRules& rules, int lane) {
  feed_.start(ring, rules);
  lane_ = lane;
  asked_ = 0;
  parked_ = false;
  lastAppend_ = lastOtherAppend_ = -1;
  appends_ = otherAppends_ = 0;
  clearAsked_ = -1;
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
      ++appends_;
      ++otherAppends_;
      break;
    case LaneEvent::EscAppend:
      lastAppend_ = index;
      ++appends_;
      ++otherAppends_;
      break;
    case LaneEvent::EscByte:
      if (feed_.escape(lane_)) {
        lastAppend_ = index;
        ++appends_;
      } else {
        lastOtherAppend_ = index;
        ++otherAppends_;
      }
      break;
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
  found_.appends = appends_;
  found_.otherAppends = otherAppends_;
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
  state.appends = appends_;
  state.otherAppends = otherAppends_;
  return true;
}

// The instance only ever stops just after a clearing word, or at the run's end: standing
// past `after` it has already found the first clearing word after it, if there is one.
bool LaneEndFinder::summaryAfterClear(int64_t after, LaneEnd& state) {
  if (after < clearAsked_) return false;
  clearAsked_ = after;
  const int64_t cleared = feed_.lastClear(lane_);
  if (cleared > after && feed_.index() != cleared + 1) return false;
  while (feed_.lastClear(lane_) <= after && !feed_.atEnd()) takeIn();
  return summaryAt(feed_.index(), state);
}

// ---- the sweep ----

void SweepWorld::start(const RunRing& ring, int32_t cellCapacity) {
  sdOpenings.start(ring, rules, OpeningScanner::Source::SdCell);
  rdOpenings.start(ring, rules, OpeningScanner::Source::RdCell);
  sdOpeningsAfterSkip.start(ring, rules, OpeningScanner::Source::SdCell);
  stampOpenings.start(ring, rules, OpeningScanner::Source::Stamp);
  for (int lane = 0; lane < kLanes; ++lane) {
    atCursor[lane].start(ring, rules);
    atOpening[lane].start(ring, rules);
    queues[lane].start(ring, rules, lane, cellCapacity);
    ends[lane].start(ring, rules, lane);
    summaries[lane].start(ring, rules, lane);
    counts[lane].start(ring, rules, lane);
    clears[lane].start(ring, rules, lane);
  }
}

bool FrameSweep::Run::start(const CaptureFile& capture, const FrameAssembler& assembler,
                            FrameFamily family, const RecordCursor& startCursor) {
  if (!ring_.init(capture, startCursor.position)) return false;
  FamilyRules& rules = main_.rules;
  rules = FamilyRules{};
  rules.family = family;
  rules.stampDelimited = assembler.isStampDelimited(family);
  rules.fixedCheckLength = framing::fixedCheckLength(family, capture.conditions().checkKind());
  rules.initialSpeed = static_cast<int8_t>(startCursor.speedCode);
  cellCapacity_ = assembler.cellCapacity();
  main_.start(ring_, cellCapacity_);

  firstSpeedWord_ = -1;
  highSpeedCodes_ = false;
  signedReadings_ = 0;
  if (family == FrameFamily::Irda) {
    const uint8_t* p = ring_.at(0);
    for (uint32_t i = 0; i < ring_.size(); ++i, p = ring_.next(p)) {
      const uint32_t w = readLe32(p);
      if (!isSpeedWord(w)) continue;
      if (firstSpeedWord_ < 0) firstSpeedWord_ = i;
      if (speedCodeAfter(w) >= 128) highSpeedCodes_ = true;
    }
  }
  if (highSpeedCodes_) {
    signed_.rules = rules;
    signed_.rules.signedSpeedWords = true;
    signed_.start(ring_, cellCapacity_);
    after_.rules = rules;
    after_.start(ring_, cellCapacity_);
    crossing_.rules = rules;
    crossing_.start(ring_, cellCapacity_);
    speedWords_.start(ring_, rules, OpeningScanner::Source::SpeedWord);
  }
  lane_ = -1;
  return true;
}

// A walk reads the speed code of its cursor as a signed byte but that of a speed word
// as unsigned. Before the first speed word both readings agree with the start code as
// main_ reads it, and so do codes below 128.
bool FrameSweep::Run::readsSpeedAsShared(const RecordCursor& cursor) const {
  if (!highSpeedCodes_) return true;
  return firstSpeedWord_ < 0 || cursorIndex_ <= firstSpeedWord_ || cursor.speedCode < 128;
}

// The first opening at or after from and before limit (lane_ -1 when none). A set skip
// passes over the first SD opening, and is cleared once it has.
bool FrameSweep::Run::findOpeningIn(SweepWorld& world, uint32_t from, uint32_t limit, bool& skip) {
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

bool FrameSweep::Run::identify(const RecordCursor& cursor, FrameIdentity& identity) {
  if (cursor.position == nullptr) return false;
  cursorIndex_ = ring_.indexOf(cursor.position);
  inSigned_ = !readsSpeedAsShared(cursor);
  switchIndex_ = ring_.size();
  if (inSigned_) {
    ++signedReadings_;
    if (!speedWords_.find(cursorIndex_, switchIndex_)) return false;
  }
  bool skip = !main_.rules.stampDelimited && cursor.pairPending != 0;
  if (!findOpeningIn(firstWorld(), cursorIndex_, switchIndex_, skip)) return false;
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

// A walk's own state while its frame fills: the frame's lane, with the escape flag, and
// how far the walk has handled words itself.
struct FrameSweep::Run::Walk {
  Walk(Frame& frame, int lane, int32_t capacity)
      : frame(frame), state{static_cast<uint8_t>(lane + 1), false, 0, &frame, capacity} {}

  bool ended() const { return atRunEnd || state.openFrame == nullptr; }
  bool full() const { return frame.count >= state.cellCapacity; }
  void apply(const RunRing& ring, LaneEvent event, int64_t index, uint16_t cell,
             int32_t checkLength) {
    state.checkLength = checkLength;
    applyLaneEvent(state, event, ring.at(static_cast<uint32_t>(index)), cell);
  }

  Frame& frame;
  LaneState state;
  bool atRunEnd = false;      // the run ended with the frame still open
  int64_t lastEvent = -1;     // the last word the walk handled itself
  bool sharedEscape = false;  // the shared flag after that word
};

// The flag of a walk just before the word at index, given its flag just before from:
// the shared flag when something cleared that in between, and otherwise the shared
// flag changed by the 0x7Ds in between.
bool FrameSweep::Run::escapeAt(SweepWorld& world, int lane, uint32_t from, uint32_t index,
                               bool startEscape, bool& escape) {
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
bool FrameSweep::Run::escapeAtOpening(int lane, bool& escape, int& speed) {
  escape = false;
  speed = main_.rules.initialSpeed;
  if (!main_.rules.tracksEscape()) return true;
  SweepWorld& first = firstWorld();
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
bool FrameSweep::Run::fillFromQueue(LaneEventQueue& queue, uint32_t from, uint32_t limit,
                                    Walk& walk) {
  if (!queue.dropThrough(from)) return false;
  for (uint32_t k = 0; !walk.ended() && !walk.full(); ++k) {
    const QueuedEvent* event = queue.at(k);
    if (event == nullptr) {
      if (queue.failed()) return false;
      walk.atRunEnd = limit >= ring_.size();
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
void FrameSweep::Run::carry(Walk& walk, const LaneEnd& state) const {
  bool& escape = walk.state.escapePending;
  const bool same = escape == walk.sharedEscape || state.lastClear > walk.lastEvent;
  const int64_t later = same ? state.lastAppend : state.lastOtherAppend;
  if (later > walk.lastEvent) walk.frame.lastDataWord = ring_.at(static_cast<uint32_t>(later));
  escape = same ? state.escapeBefore : !state.escapeBefore;
}

// Adds to a full frame's overflow the characters it would store after the last word it
// handled, up to the state given. Only a capacity beyond the report's asks for it (the
// report never shows the length of a cut frame). A walk whose flag differs from the
// shared one stores as the opposite flag does up to the first word that clears both, and
// as the shared one after it.
bool FrameSweep::Run::countOverflow(SweepWorld& world, const Walk& walk, const LaneEnd& upTo) {
  if (cellCapacity_ <= kFrameCells) return true;
  LaneEnd from;
  const int lane = walk.state.lane();
  if (!world.counts[lane].summaryAt(static_cast<uint32_t>(walk.lastEvent + 1), from)) return false;
  int64_t more = upTo.appends - from.appends;
  if (walk.state.escapePending != walk.sharedEscape) {
    if (upTo.lastClear <= walk.lastEvent) {
      more = upTo.otherAppends - from.otherAppends;
    } else {
      LaneEnd cleared;
      if (!world.clears[lane].summaryAfterClear(walk.lastEvent, cleared)) return false;
      more = cleared.otherAppends - from.otherAppends + upTo.appends - cleared.appends;
    }
  }
  if (more > 0) walk.frame.overflow += static_cast<int32_t>(more);
  return true;
}

// The frame holds its capacity: only its end and its last character are still to come.
bool FrameSweep::Run::finish(Walk& walk) {
  const int lane = walk.state.lane();
  const uint32_t size = ring_.size();
  const uint32_t switchAt = switchIndex_;
  LaneEnd end;
  if (walk.lastEvent < switchAt) {
    SweepWorld& first = firstWorld();
    if (!first.ends[lane].find(openIndex_, end)) return false;
    if (end.index >= switchAt && switchAt < size) {
      // The frame is still open at the walk's first speed word: carry it across.
      LaneEnd atSwitch;
      if (!first.summaries[lane].summaryAt(switchAt, atSwitch)) return false;
      if (!countOverflow(first, walk, atSwitch)) return false;
      carry(walk, atSwitch);
      if (!crossing_.atCursor[lane].seek(switchAt + 1)) return false;
      walk.lastEvent = switchAt;
      walk.sharedEscape = crossing_.atCursor[lane].feed().escape(lane);
      if (!crossing_.ends[lane].find(switchAt, end)) return false;
    }
  } else if (!afterSwitch().ends[lane].find(std::max(openIndex_, switchAt), end)) {
    return false;
  }
  SweepWorld& last = walk.lastEvent < switchAt ? firstWorld() : afterSwitch();
  if (!countOverflow(last, walk, end)) return false;
  carry(walk, end);
  if (end.index < size) walk.apply(ring_, end.event, end.index, end.cell, end.checkLength);
  return true;
}

bool FrameSweep::Run::assemble(Frame& frame) {
  clearFrame(frame);
  if (lane_ < 0) return true;
  const uint8_t* opening = ring_.at(openIndex_);
  const uint32_t word = readLe32(opening);
  frame.direction = static_cast<uint8_t>(lane_ + 1);
  frame.firstWord = opening;
  if (main_.rules.stampDelimited) frame.stampWord = withoutStampDirection(word);

  Walk walk(frame, lane_, cellCapacity_);
  int speed = main_.rules.initialSpeed;
  if (!escapeAtOpening(lane_, walk.state.escapePending, speed)) return false;
  // An in-band opening cell is also a cell of the frame it opens.
  if (!main_.rules.stampDelimited) {
    const uint16_t cell = laneCell(lane_, word);
    walk.apply(ring_, classifyCell(main_.rules.modeAt(speed), cell).event, openIndex_, cell,
               main_.rules.checkLengthAt(speed));
  }
  walk.lastEvent = openIndex_;
  const uint32_t size = ring_.size();
  if (!openedAfterSwitch_ && !walk.ended() && !walk.full() &&
      !fillFromQueue(firstWorld().queues[lane_], openIndex_, switchIndex_, walk))
    return false;
  if (switchIndex_ < size && !walk.ended() && !walk.full() &&
      !fillFromQueue(afterSwitch().queues[lane_], std::max(openIndex_, switchIndex_), size, walk))
    return false;
  return walk.ended() || finish(walk);
}

// ---- the public face ----

FrameSweep::FrameSweep() = default;
FrameSweep::~FrameSweep() = default;
FrameSweep::FrameSweep(FrameSweep&&) noexcept = default;
FrameSweep& FrameSweep::operator=(FrameSweep&&) noexcept = default;

bool FrameSweep::start(const CaptureFile& capture, const FrameAssembler& assembler,
                       FrameFamily family, const RecordCursor& startCursor) {
  if (run_ == nullptr) run_ = std::make_unique<Run>();
  return run_->start(capture, assembler, family, startCursor);
}

bool FrameSweep::identify(const RecordCursor& cursor, FrameIdentity& identity) {
  return run_ != nullptr && run_->identify(cursor, identity);
}

bool FrameSweep::assemble(Frame& frame) { return run_ != nullptr && run_->assemble(frame); }

uint32_t FrameSweep::signedReadings() const { return run_ == nullptr ? 0 : run_->signedReadings(); }

}  // namespace qv
