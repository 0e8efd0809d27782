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
//   characters and the ending of an open frame), enough to fill 64 cells;
// - per lane, an end finder finds the event that ends a frame that is already full.
//
// With one slot nothing else opens while a frame is open, so a frame depends only on
// its opening, its own lane's cells, the markers and the IrDA speed; which words end
// it does not depend on where its walk began. Only the lane's control-escape flag
// (PPP, IrDA SIR) differs between walks from different cursors. It is kept relative
// to one shared flag: a walk's flag is the shared one, or its opposite until the next
// character that clears it (a 0x7D flips both alike, every other character clears both).
// The IrDA speed is shared too, except that a walk reads a speed code of 128 or more
// in its cursor as a signed byte up to its first speed word (see FrameSweep).
//
// Every query must lie at or after the one before it on the same scanner. The runners
// ask in cursor order and assemble only frames that open after the last one reported
// in their direction, so their queries always do; a query that does not is refused
// (the caller then walks that frame). A run whose positions the scanners cannot
// represent is refused as a whole.
#include <cstdint>

#include "capture/capture_file.h"
#include "frames/frame.h"
#include "frames/frame_assembler.h"

namespace qv {

// Word positions of one run, counted from the run's start cursor to the ring's end.
class RunRing {
 public:
  // False when the ring is empty or the start or end position is not a word of it.
  bool init(const CaptureFile& capture, const uint8_t* start);
  uint32_t size() const { return size_; }
  const uint8_t* at(uint32_t index) const {
    size_t offset = startOffset_ + 4 * static_cast<size_t>(index);
    if (offset >= bytes_) offset -= bytes_;
    return chunkStart_ + offset;
  }
  uint32_t indexOf(const uint8_t* position) const {
    const size_t offset = static_cast<size_t>(position - chunkStart_);
    return static_cast<uint32_t>((offset >= startOffset_ ? offset - startOffset_ : offset + bytes_ - startOffset_) / 4);
  }
  const uint8_t* next(const uint8_t* position) const {
    position += 4;
    return position == chunkStart_ + bytes_ ? chunkStart_ : position;
  }

 private:
  const uint8_t* chunkStart_ = nullptr;
  size_t bytes_ = 0;
  size_t startOffset_ = 0;
  uint32_t size_ = 0;
};

// How one cell is handled: the cell rule of the family (IrDA by its speed).
enum class CellRule : uint8_t { Hdlc, Ppp, Sir, I2c, Char, Spi };

// What a word means to a lane that has a frame open. The values from CloseByte on end
// the frame.
enum class LaneEvent : uint8_t {
  None,
  Append,     // a character stored as it is
  EscAppend,  // PPP/SIR character: de-escaped when the flag is set, clears the flag
  EscByte,    // PPP/SIR 0x7D: sets the flag, or is stored as 0x5D when it was set
  CloseByte,  // PPP 0x7E, SIR 0xC1: ends with EndA when the flag is set, else closes
  Close,      // closing cell: the check verdict comes from the last character
  EndSF,
  EndA,
  EndB,
  Store7,  // ASYNC status 7: stored as the last cell, the frame ends open
  Detach,  // ASYNC/SPI: a new opening in the lane leaves the frame open
  EndOE,
  EndLD,
};

constexpr bool endsFrame(LaneEvent event) { return event >= LaneEvent::CloseByte; }

// The assembler's rules of one family under the capture's conditions.
struct FamilyRules {
  FrameFamily family = FrameFamily::Hdlc;
  bool stampDelimited = false;
  int32_t fixedCheckLength = 0;
  int initialSpeed = -1;  // IrDA: the speed code at the run's start, as a signed byte
  bool signedSpeedWords = false;  // IrDA: speed words read as signed bytes too

  CellRule ruleAt(int speed) const;
  int32_t checkLengthAt(int speed) const;
  bool tracksEscape() const { return family == FrameFamily::Ppp || family == FrameFamily::Irda; }
  bool charFamily() const { return family == FrameFamily::Async || family == FrameFamily::Spi; }
  // What the word means to the lane (0 SD, 1 RD) holding a frame open.
  LaneEvent laneEvent(int speed, uint32_t word, int lane) const;
};

CellRule ruleOfFamily(FrameFamily family, int speed);
bool opensInBand(CellRule rule, uint16_t cell);
LaneEvent cellEvent(CellRule rule, uint16_t cell);

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
  CellRule rule() const { return ruleOfFamily(rules_->family, speed_); }
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
  void start(const RunRing& ring, const FamilyRules& rules, int lane);
  // Forgets the events at or before index; false when index lies behind the last call.
  bool dropThrough(uint32_t index);
  // The k-th event kept, or none when the run ends first; failed() tells when it
  // could not be kept.
  const QueuedEvent* at(uint32_t k);
  bool failed() const { return failed_; }

 private:
  bool produce();

  static constexpr uint32_t kCapacity = 512;  // a frame reads at most 129 events
  QueuedEvent events_[kCapacity];
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
};

class LaneEndFinder {
 public:
  void start(const RunRing& ring, const FamilyRules& rules, int lane);
  // The first ending event after the position.
  bool find(uint32_t after, LaneEnd& end);
  // What the walks know just before the word at index (used on its own instance: the
  // event there is not looked at).
  bool summaryAt(uint32_t index, LaneEnd& state);

 private:
  void takeIn();

  WordFeed feed_;
  int lane_ = 0;
  uint32_t asked_ = 0;
  bool parked_ = false;
  LaneEnd found_;
  int64_t lastAppend_ = -1;
  int64_t lastOtherAppend_ = -1;
};

struct FrameIdentity {
  uint8_t direction = DirectionNone;
  const uint8_t* firstWord = nullptr;
};

// One reading of the run's speed words, with every scanner the walks need under it.
struct SweepWorld {
  FamilyRules rules;
  OpeningScanner sdOpenings, rdOpenings, sdOpeningsAfterSkip, stampOpenings;
  StateTracker atCursor[2], atOpening[2];
  LaneEventQueue queues[2];
  LaneEndFinder ends[2], summaries[2];

  void start(const RunRing& ring);
};

class FrameSweep {
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
  OpeningScanner speedWords_;
  int64_t firstSpeedWord_ = -1;  // IrDA: index of the first speed word, -1 when none
  bool highSpeedCodes_ = false;   // IrDA: a speed word carries a code of 128 or more
  uint32_t signedReadings_ = 0;

  // The frame identified last.
  uint32_t cursorIndex_ = 0;
  uint32_t openIndex_ = 0;
  uint32_t switchIndex_ = 0;  // the walk's first speed word when it starts in signed_
  bool inSigned_ = false;
  bool openedAfterSwitch_ = false;
  int lane_ = -1;  // -1: the walk opens nothing
};

}  // namespace qv
