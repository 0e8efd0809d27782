// The MOND chunk walked as a circular ring of record words: stepping, the line state
// and speed code in force at a word, and the frame-boundary searches.
#include <cstddef>
#include <cstdint>

#include "capture/capture_file.h"
#include "capture/cell_rules.h"

namespace qv {

namespace {

// The ring with the oldest word and the word walks stop before, both checked to be
// words of it.
struct RingWalk {
  explicit RingWalk(const CaptureFile& file)
      : ring(file.ring()),
        start(ring.wordOrFirst(file.conditions().startPosition)),
        end(ring.wordOrFirst(file.conditions().endPosition)) {}
  MonitorRing ring;
  const uint8_t* start;
  const uint8_t* end;
};

uint32_t wordAt(const uint8_t* position) { return MonitorRing::wordAt(position); }

// The state in force at a position comes from the nearest change record: the first one
// at or after the position tells the state before it; failing that, the last one before
// the position tells the state after it. Returns false when the ring has no such record.
template <typename IsChange, typename Before, typename After, typename Value>
bool stateAround(const RingWalk& walk, const uint8_t* position, IsChange isChange, Before before,
                 After after, Value& value) {
  const uint8_t* p = position;
  do {
    const uint32_t w = wordAt(p);
    if (isChange(w)) {
      value = before(w);
      return true;
    }
    p = walk.ring.next(p);
  } while (p != walk.end);
  for (p = position; p != walk.start;) {
    p = walk.ring.previous(p);
    const uint32_t w = wordAt(p);
    if (isChange(w)) {
      value = after(w);
      return true;
    }
  }
  return false;
}

// Line-state and speed records that lie just before a boundary belong to the next
// frame, so the searches' snapshots are not moved past them.
bool keepsSnapshot(uint32_t w) { return isLineStateWord(w) || isKind30Word(w); }

template <BoundaryKind kind>
constexpr bool isBoundaryByRules(uint16_t cell) {
  switch (kind) {
    case BoundaryKind::Hdlc: return opensFrame(FramingMode::Hdlc, cell);
    case BoundaryKind::Ppp: return opensFrame(FramingMode::Ppp, cell);
    case BoundaryKind::Irda: return classifyCell(FramingMode::Sir, cell).irdaBoundary;
    case BoundaryKind::I2c: return opensFrame(FramingMode::I2c, cell);
    case BoundaryKind::Character: return opensFrame(FramingMode::Char, cell);
    case BoundaryKind::Spi: return opensFrame(FramingMode::Spi, cell);
  }
  return false;
}

// The statuses of the boundary cells as a bit mask, for the kinds whose boundaries do
// not depend on the byte (every kind but I2C, whose start and repeated start share a
// status); the searches then test a cell with a shift instead of two table loads.
struct StatusMask {
  bool byteMatters = false;
  uint32_t statuses = 0;
};

template <BoundaryKind kind>
constexpr StatusMask boundaryStatuses() {
  StatusMask mask;
  for (uint16_t status = 0; status < 32; ++status) {
    const bool first = isBoundaryByRules<kind>(status);
    for (int byte = 0; byte < 256; ++byte)
      if (isBoundaryByRules<kind>(static_cast<uint16_t>(byte << 8 | status)) != first)
        mask.byteMatters = true;
    if (first) mask.statuses |= 1u << status;
  }
  return mask;
}

template <BoundaryKind kind>
inline constexpr StatusMask kBoundaryStatuses = boundaryStatuses<kind>();

template <BoundaryKind kind>
[[gnu::always_inline]] inline bool isBoundaryCell(uint16_t cell) {
  if constexpr (kBoundaryStatuses<kind>.byteMatters) {
    return isBoundaryByRules<kind>(cell);
  } else {
    return (kBoundaryStatuses<kind>.statuses >> cellStatus(cell) & 1) != 0;
  }
}

// In line in the searches' tight loops.
template <BoundaryKind kind>
[[gnu::always_inline]] inline bool eitherCell(uint32_t w) {
  return isDataWord(w) && (isBoundaryCell<kind>(sdCell(w)) || isBoundaryCell<kind>(rdCell(w)));
}
template <BoundaryKind kind>
bool bothCells(uint32_t w) {
  return isDataWord(w) && isBoundaryCell<kind>(sdCell(w)) && isBoundaryCell<kind>(rdCell(w));
}
template <BoundaryKind kind>
bool firstBoundary(uint32_t w) {
  return kind == BoundaryKind::Character ? isDataWord(w) : eitherCell<kind>(w);
}

// One step of a cursor known to be on a word of the ring.
bool stepCursor(const RingWalk& walk, RecordCursor& cursor) {
  const uint8_t* next = walk.ring.next(cursor.position);
  if (next == walk.end) return false;
  CaptureFile::stepInRun(cursor);  // takes the state the word leaves in force
  cursor.position = next;          // the wrap point leads back to the chunk start
  return true;
}

}  // namespace

bool CaptureFile::advance(RecordCursor& cursor) const {
  const RingWalk walk(*this);
  return walk.ring.holds(cursor.position) && stepCursor(walk, cursor);
}

size_t CaptureFile::straightRun(const RecordCursor& cursor) const {
  const RingWalk walk(*this);
  if (!walk.ring.holds(cursor.position)) return 0;
  // The end stops the walk before the wrap point when it lies ahead in memory.
  const uint8_t* limit = walk.end > cursor.position ? walk.end : walk.ring.wrapPoint();
  return static_cast<size_t>(limit - cursor.position) / MonitorRing::kWordBytes;
}

// Control records of kinds 0-15 (idle count, time stamps) fill four display columns,
// so the listing visits them four times before moving on.
bool CaptureFile::advanceColumn(RecordCursor& cursor) const {
  if (!ring().holds(cursor.position)) return false;
  if (hasDisplayColumns(wordAt(cursor.position))) {
    ++cursor.column;
    if (cursor.column < kDisplayColumns) return true;
  }
  cursor.column = 0;
  return advance(cursor);
}

int CaptureFile::seek(int index) {
  const RingWalk walk(*this);
  const long long last = static_cast<long long>(walk.ring.wordCount()) - 1;
  long long clamped = index;
  if (clamped > last) clamped = last;
  if (clamped < 0) clamped = 0;
  const uint8_t* position = walk.ring.empty()
                                ? conditions_.startPosition
                                : walk.ring.wordsAfter(walk.start, static_cast<size_t>(clamped));
  const int speedCode = speedCodeAt(position);
  RecordCursor& cursor = conditions_.startCursor;
  cursor = RecordCursor{};
  cursor.position = position;
  cursor.lineState = lineStateAt(position);
  cursor.speedCode = static_cast<uint8_t>(speedCode);
  return speedCode;
}

uint16_t CaptureFile::lineStateAt(const uint8_t* position) const {
  const RingWalk walk(*this);
  if (lineStateRecorded() == 0 || byteLength() == 0 || !walk.ring.holds(position)) return 0;
  uint16_t state = 0;
  stateAround(walk, position, isLineStateWord, lineStateBefore, lineStateAfter, state);
  return state;
}

int CaptureFile::speedCodeAt(const uint8_t* position) const {
  const RingWalk walk(*this);
  if (protocol() != ProtocolIrda || byteLength() == 0 || !walk.ring.holds(position)) return -1;
  uint8_t code = 0;
  if (!stateAround(walk, position, isSpeedWord, speedCodeBefore, speedCodeAfter, code)) return -1;
  return code;
}

namespace {

// Advances the cursor until the word under it passes the test, keeping in snapshot the
// position after the last word that was neither a line-state nor a kind-30 record.
// Data words change no cursor state, so a run of them that does not pass is skipped in a
// tight loop up to the last word of the straight run (whose step may wrap or stop).
template <typename IsBoundary>
bool scanTo(const RingWalk& walk, RecordCursor& cursor, RecordCursor& snapshot,
            IsBoundary isBoundary) {
  for (;;) {
    const uint8_t* limit = walk.end > cursor.position ? walk.end : walk.ring.wrapPoint();
    const uint8_t* runLast = limit - MonitorRing::kWordBytes;
    const uint8_t* p = cursor.position;
    while (p != runLast) {
      const uint32_t w = wordAt(p);
      if (!isDataWord(w) || isBoundary(w)) break;
      p += MonitorRing::kWordBytes;
    }
    if (p != cursor.position) {
      cursor.position = p;
      snapshot = cursor;
    }
    const uint32_t w = wordAt(cursor.position);
    if (isBoundary(w)) return true;
    if (!stepCursor(walk, cursor)) return false;
    if (!keepsSnapshot(w)) snapshot = cursor;
  }
}

// The second half of a search: from a cursor past the frame's opening word to the next
// word with a boundary cell, moved back before the line-state and kind-30 records just
// ahead of it.
template <BoundaryKind kind>
bool searchOnFrom(const RingWalk& walk, RecordCursor work, RecordCursor& cursor) {
  work.column = 0;
  work.pairPending = 0;
  RecordCursor snapshot = work;
  if (!scanTo(walk, work, snapshot, [](uint32_t w) { return eitherCell<kind>(w); })) return false;
  cursor = snapshot;
  return true;
}

// pastOpening: the cursor lies past the current frame's opening word, with no boundary
// between, so that only the second half is left.
template <BoundaryKind kind>
bool boundarySearch(const CaptureFile& file, RecordCursor& cursor, bool pastOpening) {
  const RingWalk walk(file);
  if (file.byteLength() == 0 || !walk.ring.holds(cursor.position)) return false;
  if (pastOpening) return searchOnFrom<kind>(walk, cursor, cursor);
  RecordCursor work = cursor;
  work.column = 0;
  RecordCursor snapshot = work;
  if (!scanTo(walk, work, snapshot, [](uint32_t w) { return firstBoundary<kind>(w); }))
    return false;
  // A word opening frames in both directions is returned once for each of them.
  if (work.pairPending == 0 && bothCells<kind>(wordAt(work.position))) {
    snapshot.pairPending = 1;
    cursor = snapshot;
    return true;
  }
  if (!stepCursor(walk, work)) return false;
  return searchOnFrom<kind>(walk, work, cursor);
}

bool searchOfKind(const CaptureFile& file, BoundaryKind kind, RecordCursor& cursor,
                  bool pastOpening) {
  switch (kind) {
    case BoundaryKind::Hdlc: return boundarySearch<BoundaryKind::Hdlc>(file, cursor, pastOpening);
    case BoundaryKind::Ppp: return boundarySearch<BoundaryKind::Ppp>(file, cursor, pastOpening);
    case BoundaryKind::Irda: return boundarySearch<BoundaryKind::Irda>(file, cursor, pastOpening);
    case BoundaryKind::I2c: return boundarySearch<BoundaryKind::I2c>(file, cursor, pastOpening);
    case BoundaryKind::Character:
      return boundarySearch<BoundaryKind::Character>(file, cursor, pastOpening);
    case BoundaryKind::Spi: return boundarySearch<BoundaryKind::Spi>(file, cursor, pastOpening);
  }
  return false;
}

}  // namespace

bool CaptureFile::nextStampDelimited(RecordCursor& cursor) const {
  const RingWalk walk(*this);
  if (byteLength() == 0 || !walk.ring.holds(cursor.position)) return false;
  RecordCursor work = cursor;
  work.column = 0;
  work.pairPending = 0;
  RecordCursor ignored = work;
  if (!scanTo(walk, work, ignored, [](uint32_t w) { return isTimeStampWord(w); })) return false;
  if (!stepCursor(walk, work)) return false;
  RecordCursor snapshot = work;
  if (!scanTo(walk, work, snapshot, [](uint32_t w) { return isTimeStampWord(w); })) return false;
  cursor = snapshot;
  return true;
}

bool CaptureFile::nextBoundary(BoundaryKind kind, RecordCursor& cursor) const {
  return searchOfKind(*this, kind, cursor, false);
}

bool CaptureFile::continueBoundarySearch(BoundaryKind kind, RecordCursor& cursor) const {
  return searchOfKind(*this, kind, cursor, true);
}

}  // namespace qv
