// The MOND chunk walked as a circular ring of record words: stepping, the line state
// and speed code in force at a word, and the frame-boundary searches.
#include <cstddef>
#include <cstdint>

#include "capture/capture_file.h"

namespace qv {

namespace {

// The ring's bounds as one value, so that the walks below can be plain functions.
// Positions handed in from outside are checked against it before any word is read.
class Ring {
 public:
  Ring(const uint8_t* chunkStart, const uint8_t* chunkEnd, const uint8_t* startPosition,
       const uint8_t* endPosition)
      : begin_(chunkStart),
        bytes_(chunkStart != nullptr && chunkEnd != nullptr && chunkEnd > chunkStart
                   ? static_cast<size_t>(chunkEnd - chunkStart) / 4 * 4
                   : 0),
        start_(wordOrFirst(startPosition)),
        end_(wordOrFirst(endPosition)) {}

  // A chunk without one whole word holds no records: reading it would leave the buffer.
  bool empty() const { return bytes_ == 0; }
  size_t wordCount() const { return bytes_ / 4; }
  const uint8_t* start() const { return start_; }
  const uint8_t* end() const { return end_; }
  const uint8_t* wrapPoint() const { return begin_ + bytes_; }

  // Compared as addresses: a stray pointer may not belong to the buffer at all.
  bool holds(const uint8_t* position) const {
    const auto address = reinterpret_cast<uintptr_t>(position);
    const auto first = reinterpret_cast<uintptr_t>(begin_);
    if (empty() || address < first) return false;
    const uintptr_t offset = address - first;
    return offset < bytes_ && offset % 4 == 0;
  }
  const uint8_t* next(const uint8_t* position) const {
    const size_t offset = static_cast<size_t>(position - begin_) + 4;
    return offset >= bytes_ ? begin_ : begin_ + offset;
  }
  const uint8_t* previous(const uint8_t* position) const {
    return position == begin_ ? begin_ + bytes_ - 4 : position - 4;
  }
  const uint8_t* wordsAfter(const uint8_t* position, size_t count) const {
    const size_t offset = (static_cast<size_t>(position - begin_) + 4 * count) % bytes_;
    return begin_ + offset;
  }

 private:
  // A start or end that is not a word of the ring would let a walk run forever or off
  // the chunk; the first word stands in for it.
  const uint8_t* wordOrFirst(const uint8_t* position) const { return holds(position) ? position : begin_; }

  const uint8_t* begin_;
  size_t bytes_;
  const uint8_t* start_;
  const uint8_t* end_;
};

Ring ringOf(const CaptureFile& file) {
  const MeasureConditions& c = file.conditions();
  return Ring(file.chunkStart(), file.chunkEnd(), c.startPosition, c.endPosition);
}

uint32_t wordAt(const uint8_t* position) { return CaptureFile::wordAt(position); }

uint16_t lineStateBefore(uint32_t w) { return static_cast<uint16_t>((w >> 8) & 0xFFF); }
uint16_t lineStateAfter(uint32_t w) { return static_cast<uint16_t>((w >> 20) & 0xFFF); }
uint8_t speedCodeBefore(uint32_t w) { return static_cast<uint8_t>(w >> 16); }
uint8_t speedCodeAfter(uint32_t w) { return static_cast<uint8_t>(w >> 24); }

// The state in force at a position comes from the nearest change record: the first one
// at or after the position tells the state before it; failing that, the last one before
// the position tells the state after it. Returns false when the ring has no such record.
template <typename IsChange, typename Before, typename After, typename Value>
bool stateAround(const Ring& ring, const uint8_t* position, IsChange isChange, Before before,
                 After after, Value& value) {
  const uint8_t* p = position;
  do {
    const uint32_t w = wordAt(p);
    if (isChange(w)) { value = before(w); return true; }
    p = ring.next(p);
  } while (p != ring.end());
  for (p = position; p != ring.start();) {
    p = ring.previous(p);
    const uint32_t w = wordAt(p);
    if (isChange(w)) { value = after(w); return true; }
  }
  return false;
}

// Line-state and speed records that lie just before a boundary belong to the next
// frame, so the searches' snapshots are not moved past them.
bool keepsSnapshot(uint32_t w) { return isLineStateWord(w) || isKind30Word(w); }

// Which cells mark a frame boundary for one protocol family. The word qualifies when
// either cell passes the test of the phase; a pair stops the search when both cells
// pass the pair test.
struct BoundaryRule {
  bool (*firstBoundary)(uint16_t cell);
  bool (*nextBoundary)(uint16_t cell);
  bool (*pairCell)(uint16_t cell);
};

bool opensFrame(uint16_t cell) { return cellStatus(cell) == 4; }
bool closesWithFlag0(uint16_t cell) { return holdsCharacter(cell) && flagBit0(cell); }
bool closesWithFlag1(uint16_t cell) { return holdsCharacter(cell) && flagBit1(cell); }
bool opensOrFlag0(uint16_t cell) { return opensFrame(cell) || closesWithFlag0(cell); }
bool opensI2c(uint16_t cell) { return opensFrame(cell) && cellByte(cell) == 0; }
bool anyCell(uint16_t) { return true; }
bool characterCell(uint16_t cell) { return holdsCharacter(cell); }

constexpr BoundaryRule kHdlcRule = {opensFrame, opensFrame, opensFrame};
constexpr BoundaryRule kPppRule = {closesWithFlag0, closesWithFlag0, closesWithFlag0};
constexpr BoundaryRule kIrdaRule = {opensOrFlag0, opensOrFlag0, opensOrFlag0};
constexpr BoundaryRule kI2cRule = {opensI2c, opensI2c, opensI2c};
constexpr BoundaryRule kCharacterRule = {anyCell, characterCell, characterCell};
constexpr BoundaryRule kSpiRule = {closesWithFlag1, closesWithFlag1, closesWithFlag1};

bool eitherCell(uint32_t w, bool (*test)(uint16_t)) {
  return isDataWord(w) && (test(sdCell(w)) || test(rdCell(w)));
}
bool bothCells(uint32_t w, bool (*test)(uint16_t)) {
  return isDataWord(w) && test(sdCell(w)) && test(rdCell(w));
}

}  // namespace

bool CaptureFile::advance(RecordCursor& cursor) const {
  const Ring ring = ringOf(*this);
  if (!ring.holds(cursor.position)) return false;
  const uint8_t* next = ring.next(cursor.position);
  if (next == ring.end()) return false;
  stepInRun(cursor);        // takes the state the word leaves in force
  cursor.position = next;   // the wrap point leads back to the chunk start
  return true;
}

size_t CaptureFile::straightRun(const RecordCursor& cursor) const {
  const Ring ring = ringOf(*this);
  if (!ring.holds(cursor.position)) return 0;
  // The end stops the walk before the wrap point when it lies ahead in memory.
  const uint8_t* limit = ring.end() > cursor.position ? ring.end() : ring.wrapPoint();
  return static_cast<size_t>(limit - cursor.position) / 4;
}

// Control records of kinds 0-15 (idle count, time stamps) fill four display columns,
// so the listing visits them four times before moving on.
bool CaptureFile::advanceColumn(RecordCursor& cursor) const {
  if (!ringOf(*this).holds(cursor.position)) return false;
  if ((wordAt(cursor.position) & 0x70) == 0) {
    ++cursor.column;
    if (cursor.column < 4) return true;
  }
  cursor.column = 0;
  return advance(cursor);
}

int CaptureFile::seek(int index) {
  const Ring ring = ringOf(*this);
  const long long last = static_cast<long long>(ring.wordCount()) - 1;
  long long clamped = index;
  if (clamped > last) clamped = last;
  if (clamped < 0) clamped = 0;
  const uint8_t* position =
      ring.empty() ? conditions_.startPosition : ring.wordsAfter(ring.start(), static_cast<size_t>(clamped));
  const int speedCode = speedCodeAt(position);
  RecordCursor& cursor = conditions_.startCursor;
  cursor = RecordCursor{};
  cursor.position = position;
  cursor.lineState = lineStateAt(position);
  cursor.speedCode = static_cast<uint8_t>(speedCode);
  return speedCode;
}

uint16_t CaptureFile::lineStateAt(const uint8_t* position) const {
  const Ring ring = ringOf(*this);
  if (lineStateRecorded() == 0 || byteLength() == 0 || !ring.holds(position)) return 0;
  uint16_t state = 0;
  stateAround(ring, position, isLineStateWord, lineStateBefore, lineStateAfter, state);
  return state;
}

int CaptureFile::speedCodeAt(const uint8_t* position) const {
  const Ring ring = ringOf(*this);
  if (protocol() != ProtocolIrda || byteLength() == 0 || !ring.holds(position)) return -1;
  uint8_t code = 0;
  if (!stateAround(ring, position, isSpeedWord, speedCodeBefore, speedCodeAfter, code)) return -1;
  return code;
}

namespace {

// Advances the cursor until the word under it passes the test, keeping in snapshot the
// position after the last word that was neither a line-state nor a kind-30 record.
template <typename IsBoundary>
bool scanTo(const CaptureFile& file, RecordCursor& cursor, RecordCursor& snapshot, IsBoundary isBoundary) {
  for (;;) {
    const uint32_t w = CaptureFile::wordAt(cursor.position);
    if (isBoundary(w)) return true;
    if (!file.advance(cursor)) return false;
    if (!keepsSnapshot(w)) snapshot = cursor;
  }
}

bool boundarySearch(const CaptureFile& file, RecordCursor& cursor, const BoundaryRule& rule) {
  if (file.byteLength() == 0 || !ringOf(file).holds(cursor.position)) return false;
  RecordCursor work = cursor;
  work.column = 0;
  RecordCursor snapshot = work;
  if (!scanTo(file, work, snapshot, [&](uint32_t w) { return eitherCell(w, rule.firstBoundary); })) return false;
  // A word opening frames in both directions is returned once for each of them.
  if (work.pairPending == 0 && bothCells(CaptureFile::wordAt(work.position), rule.pairCell)) {
    snapshot.pairPending = 1;
    cursor = snapshot;
    return true;
  }
  if (!file.advance(work)) return false;
  work.pairPending = 0;
  snapshot = work;
  if (!scanTo(file, work, snapshot, [&](uint32_t w) { return eitherCell(w, rule.nextBoundary); })) return false;
  cursor = snapshot;
  return true;
}

}  // namespace

bool CaptureFile::nextStampDelimited(RecordCursor& cursor) const {
  if (byteLength() == 0 || !ringOf(*this).holds(cursor.position)) return false;
  RecordCursor work = cursor;
  work.column = 0;
  work.pairPending = 0;
  RecordCursor ignored = work;
  if (!scanTo(*this, work, ignored, isTimeStampWord)) return false;
  if (!advance(work)) return false;
  RecordCursor snapshot = work;
  if (!scanTo(*this, work, snapshot, isTimeStampWord)) return false;
  cursor = snapshot;
  return true;
}

bool CaptureFile::nextHdlcBoundary(RecordCursor& cursor) const { return boundarySearch(*this, cursor, kHdlcRule); }
bool CaptureFile::nextPppBoundary(RecordCursor& cursor) const { return boundarySearch(*this, cursor, kPppRule); }
bool CaptureFile::nextIrdaBoundary(RecordCursor& cursor) const { return boundarySearch(*this, cursor, kIrdaRule); }
bool CaptureFile::nextI2cBoundary(RecordCursor& cursor) const { return boundarySearch(*this, cursor, kI2cRule); }
bool CaptureFile::nextSpiBoundary(RecordCursor& cursor) const { return boundarySearch(*this, cursor, kSpiRule); }
bool CaptureFile::nextCharacterBoundary(RecordCursor& cursor) const {
  return boundarySearch(*this, cursor, kCharacterRule);
}

}  // namespace qv
