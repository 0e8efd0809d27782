#pragma once
// A loaded capture built from record words, with a frame assembler on it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "capture/capture_file.h"
#include "capture_builder.h"
#include "frames/frame_assembler.h"

namespace qv::test {

using build::cell;
using build::clockStamp;
using build::counterStamp;
using build::dataWord;
using build::markerWord;
using build::rdChar;
using build::sdChar;
using build::speedWord;
using Bytes = std::vector<uint8_t>;

// In-band HDLC opening and closing cells of either direction.
constexpr uint32_t kSdOpen = dataWord(cell(4, 0), 0);
constexpr uint32_t kSdClose = dataWord(cell(5, 0), 0);
constexpr uint32_t kRdOpen = dataWord(0, cell(4, 0));
constexpr uint32_t kRdClose = dataWord(0, cell(5, 0));

class CaptureFixture : public ::testing::Test {
 protected:
  void load(const std::vector<uint32_t>& words, const build::Conditions& conditions) {
    ASSERT_EQ(1, capture.loadImage(build::CaptureBuilder().dinf(conditions).mond(words).bytes()));
  }
  const uint8_t* word(int index) const { return capture.chunkStart() + 4 * index; }
  RecordCursor cursorAt(int index, uint8_t pairPending = 0, uint8_t speedCode = 0xFF) const {
    RecordCursor cursor = capture.startCursor();
    cursor.position = word(index);
    cursor.pairPending = pairPending;
    cursor.speedCode = speedCode;
    return cursor;
  }
  int indexOf(const uint8_t* position) const {
    return static_cast<int>((position - capture.chunkStart()) / 4);
  }
  // The first frame opened at or after the cursor.
  Frame first(FrameFamily family, const RecordCursor& cursor) {
    Frame frame;
    assembler.assemble(family, cursor, &frame, 1);
    return frame;
  }
  std::vector<Frame> frames(FrameFamily family, const RecordCursor& cursor, int slotCount) {
    std::vector<Frame> slots(static_cast<size_t>(slotCount));
    assembler.assemble(family, cursor, slots.data(), slotCount);
    return slots;
  }

  CaptureFile capture;
  FrameAssembler assembler{capture};
};

inline std::vector<uint8_t> bytesOf(const Frame& frame) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < frame.count && i < kFrameCells; ++i)
    bytes.push_back(static_cast<uint8_t>(frame.cells[i] >> 8));
  return bytes;
}

inline build::Conditions conditionsFor(int protocol, int checkKind = 0, uint8_t stampFlag1 = 0,
                                       uint8_t stampFlag2 = 0) {
  build::Conditions conditions;
  conditions.protocol = protocol;
  conditions.checkKind = checkKind;
  conditions.stampFlag1 = stampFlag1;
  conditions.stampFlag2 = stampFlag2;
  return conditions;
}

}  // namespace qv::test
