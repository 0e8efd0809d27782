// Frame delivery cases that depend on the exact order of the assembly walk: state
// picked up before a frame opens, frames of one lane held open while the other lane
// goes on, and words that look like boundaries but open nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "frame_test_support.h"
#include "frames/frame_runners.h"
#include "report/print_file.h"
#include "test_support.h"

namespace qv::test {
namespace {


class AssemblerState : public CaptureFixture {};

// One line per frame: direction, opening word index, end status and count.
class SummaryTranslator : public FrameTranslator {
 public:
  int translate(const Frame& frame) override {
    clearLine();
    if (writeDirection(frame.direction) != 0) return 1;
    const int index = static_cast<int>((frame.firstWord - captureFile->chunkStart()) / 4);
    std::snprintf(writePos, kLineBufferSize - 3, "%02d e%d n%d", index, frame.endStatus, frame.count);
    return 0;
  }
};

class DeliveryTest : public CaptureFixture {
 protected:
  template <typename Runner>
  std::string report() {
    const std::string path = tempPath("assembler_review.txt");
    printFile.setSavePath(path);
    ConvertOptions options;
    options.skipGuide = 1;
    options.translator = &summary;
    Runner runner(printFile, capture, assembler, translators);
    runner.setOptions(options);
    EXPECT_EQ(0, runner.run(kPageLimit));
    return readFile(path);
  }

  std::ostringstream console;
  PrintFile printFile{console};
  TranslatorSet translators;
  SummaryTranslator summary;
};

// An SD frame that never closes holds its lane to the end of the data; the RD frames
// that open meanwhile are each delivered from their own boundary, in opening order.
TEST_F(DeliveryTest, FrameLeftOpenDoesNotHideTheOtherLane) {
  load({kSdOpen, kRdOpen, dataWord(cell(8, 1), cell(8, 2)), kRdClose, kRdOpen, rdChar(3), kRdClose,
        sdChar(4)},
       conditionsFor(2, 1));
  EXPECT_EQ("SD:00 e0 n2\nRD:01 e1 n1\nRD:04 e1 n1\n", report<HdlcFrameConverter>());
}

// A speed word just ahead of a boundary belongs to the frame after it: the cursor
// the step returns lies on the speed word, so the next walk switches to HDLC-type
// framing with a four-byte check before the frame opens.
TEST_F(DeliveryTest, SpeedWordAheadOfTheBoundaryRulesTheNextFrame) {
  load({sdChar(0x11, 9), sdChar(0x22), sdChar(0xC1), speedWord(2, 9), kSdOpen, sdChar(0x33),
        sdChar(0x44), sdChar(0x55), sdChar(0x66, 16), kSdClose},
       conditionsFor(4));
  EXPECT_EQ("SD:00 e1 n2\nSD:04 e2 n0\n", report<IrlapConverter>());
}

// Only kind 4 (and kind 8 outside ASYNC and SPI) opens a frame; a clock stamp word
// with a display column set is a boundary of the step but opens nothing, so the frame
// after it is still reported once.
TEST_F(DeliveryTest, StampWithDisplayColumnOpensNothing) {
  load({clockStamp(1, 2, 3), sdChar(1), sdChar(2, 16), kSdClose, clockStamp(1, 2, 4) | 1, rdChar(9),
        clockStamp(1, 2, 5, true), rdChar(3), rdChar(4, 20), kRdClose},
       conditionsFor(2, 1, 1));
  EXPECT_EQ("SD:00 e2 n0\nRD:06 e3 n0\n", report<HdlcFrameConverter>());
}

// The cursor's speed code is read as a signed byte (0xFF: none known), while a speed
// word's new code counts from 0 to 255.
TEST_F(AssemblerState, CursorSpeedIsSignedSpeedWordIsNot) {
  load({kSdOpen, sdChar(1), sdChar(2), sdChar(3, 16), kSdClose, speedWord(0, 200), kSdOpen,
        sdChar(4), sdChar(5), sdChar(6), sdChar(7, 16), kSdClose},
       conditionsFor(4));
  // Code 200 in the cursor is below zero: SIR framing, where status 4 opens nothing
  // and the first frame is the one after the speed word.
  const Frame afterWord = first(FrameFamily::Irda, cursorAt(0, 0, 200));
  EXPECT_EQ(word(6), afterWord.firstWord);
  EXPECT_EQ(FcsGood, afterWord.endStatus);
  EXPECT_EQ(0, afterWord.count);  // speed 200 from the word: four check bytes
  const Frame fast = first(FrameFamily::Irda, cursorAt(0, 0, 6));
  EXPECT_EQ(word(0), fast.firstWord);
  EXPECT_EQ(1, fast.count);  // two check bytes below speed 8
}

// PPP escape state is kept by the lane whether or not a frame is open, so a control
// escape ahead of an opening changes the opening byte; a marker that ends frames
// (sub-kind 0 or 1) or a status-7 cell clears it, another marker does not.
TEST_F(AssemblerState, EscapeBeforeTheOpeningCarriesIntoTheFrame) {
  struct Case {
    uint32_t between;
    uint8_t firstByte;
  };
  const Case cases[] = {
      {markerWord(2), 0x61}, {markerWord(0), 0x41}, {markerWord(1), 0x41}, {dataWord(cell(7, 0), 0), 0x41},
      {rdChar(0x7E), 0x61},  // the other lane's bytes leave this lane's state alone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.between);
    load({sdChar(0x7D), c.between, sdChar(0x41, 9), sdChar(0x42), sdChar(0x7E)}, conditionsFor(3));
    const Frame frame = first(FrameFamily::Ppp, cursorAt(0));
    EXPECT_EQ(Bytes({c.firstByte, 0x42}), bytesOf(frame));
    EXPECT_EQ(Bytes({0x41, 0x42}), bytesOf(first(FrameFamily::Ppp, cursorAt(2))));
  }
}

}  // namespace
}  // namespace qv::test
