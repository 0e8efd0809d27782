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

using Search = bool (CaptureFile::*)(RecordCursor&) const;
inline constexpr Search kAllSearches[] = {
    &CaptureFile::nextStampDelimited, &CaptureFile::nextHdlcBoundary,
    &CaptureFile::nextPppBoundary,    &CaptureFile::nextIrdaBoundary,
    &CaptureFile::nextI2cBoundary,    &CaptureFile::nextCharacterBoundary,
    &CaptureFile::nextSpiBoundary,
};

}  // namespace qv::test
