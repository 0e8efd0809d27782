#pragma once
// The MOND chunk seen as a circular array of record words: stepping forward past the
// last word continues at the first, stepping back from the first at the last.
#include <cstddef>
#include <cstdint>

#include "capture/bytes.h"

namespace qv {

class MonitorRing {
 public:
  static constexpr size_t kWordBytes = 4;

  MonitorRing() = default;
  // The words from chunkStart up to chunkEnd; a partial trailing word is not part of it.
  MonitorRing(const uint8_t* chunkStart, const uint8_t* chunkEnd)
      : first_(chunkStart),
        bytes_(chunkStart != nullptr && chunkEnd != nullptr && chunkEnd > chunkStart
                   ? static_cast<size_t>(chunkEnd - chunkStart) / kWordBytes * kWordBytes
                   : 0) {}

  // A chunk without one whole word holds no records: reading it would leave the buffer.
  bool empty() const { return bytes_ == 0; }
  const uint8_t* firstWord() const { return first_; }
  const uint8_t* wrapPoint() const { return first_ + bytes_; }
  size_t wordCount() const { return bytes_ / kWordBytes; }
  static uint32_t wordAt(const uint8_t* position) { return readLe32(position); }

  // Compared as addresses: a stray pointer may not belong to the buffer at all.
  bool holds(const uint8_t* position) const {
    const auto address = reinterpret_cast<uintptr_t>(position);
    const auto first = reinterpret_cast<uintptr_t>(first_);
    if (empty() || address < first) return false;
    const uintptr_t offset = address - first;
    return offset < bytes_ && offset % kWordBytes == 0;
  }
  // A start or end that is not a word of the ring would let a walk run forever or off
  // the chunk; the first word stands in for it.
  const uint8_t* wordOrFirst(const uint8_t* position) const {
    return holds(position) ? position : first_;
  }

  const uint8_t* next(const uint8_t* position) const {
    position += kWordBytes;
    return position == wrapPoint() ? first_ : position;
  }
  const uint8_t* previous(const uint8_t* position) const {
    return position == first_ ? wrapPoint() - kWordBytes : position - kWordBytes;
  }
  const uint8_t* wordsAfter(const uint8_t* position, size_t count) const {
    const size_t offset =
        (static_cast<size_t>(position - first_) + kWordBytes * (count % wordCount())) % bytes_;
    return first_ + offset;
  }
  // How many steps forward lead from one word to another (0 for the same word).
  size_t distance(const uint8_t* from, const uint8_t* to) const {
    const ptrdiff_t bytes = to - from;
    return static_cast<size_t>(bytes < 0 ? bytes + static_cast<ptrdiff_t>(bytes_) : bytes) /
           kWordBytes;
  }

 private:
  const uint8_t* first_ = nullptr;
  size_t bytes_ = 0;
};

}  // namespace qv
