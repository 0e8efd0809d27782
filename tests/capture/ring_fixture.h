#pragma once
// Loads record words as a capture so that ring tests can walk them.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "capture/capture_file.h"
#include "capture_builder.h"

namespace qv::test {

// Conditions of a capture that recorded its line-state changes.
inline build::Conditions withLineStates(int protocol = 0) {
  build::Conditions conditions;
  conditions.protocol = protocol;
  conditions.lineStateRecorded = 1;
  return conditions;
}

inline std::unique_ptr<CaptureFile> loadRing(const std::vector<uint32_t>& words,
                                             const build::Conditions& conditions = {}) {
  auto file = std::make_unique<CaptureFile>();
  EXPECT_EQ(file->loadImage(build::CaptureBuilder().dinf(conditions).mond(words).bytes()), 1);
  return file;
}

inline int wordIndex(const CaptureFile& file, const RecordCursor& cursor) {
  return static_cast<int>((cursor.position - file.chunkStart()) / 4);
}

// One of the boundary searches: the stamp-delimited one, or the in-band one of a kind.
struct Search {
  bool stampDelimited = false;
  BoundaryKind kind = BoundaryKind::Hdlc;
  bool operator()(const CaptureFile& file, RecordCursor& cursor) const {
    return stampDelimited ? file.nextStampDelimited(cursor) : file.nextBoundary(kind, cursor);
  }
};
inline constexpr Search inBand(BoundaryKind kind) { return Search{false, kind}; }
inline constexpr Search kAllSearches[] = {
    Search{true},
    inBand(BoundaryKind::Hdlc),
    inBand(BoundaryKind::Ppp),
    inBand(BoundaryKind::Irda),
    inBand(BoundaryKind::I2c),
    inBand(BoundaryKind::Character),
    inBand(BoundaryKind::Spi),
};

}  // namespace qv::test
