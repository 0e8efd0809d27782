// Frame assembly: how each family cuts the record stream into frames, and how the
// next-frame steps walk the frame boundaries.
#include <gtest/gtest.h>

#include "frame_test_support.h"

namespace qv::test {
namespace {

constexpr int kFcs16 = 1;
constexpr int kFcs32 = 2;

class AssemblerTest : public CaptureFixture {};

// ---- HDLC in-band: check verdicts and the closing rules ----

std::vector<uint32_t> hdlcFrameEndingWith(unsigned lastStatus) {
  return {kSdOpen, sdChar(0xC1), sdChar(0x13), sdChar(0xA5), sdChar(0x3C, lastStatus), kSdClose};
}

TEST_F(AssemblerTest, HdlcCheckVerdictSetsEndStatusAndHidesCheckBytes) {
  struct Case {
    unsigned lastStatus;
    int checkKind;
    FrameEndStatus endStatus;
    int count;
  };
  const Case cases[] = {
      {16, kFcs16, FrameEndStatus::FcsGood, 2},
      {20, kFcs16, FrameEndStatus::FcsError, 2},
      {8, kFcs16, FrameEndStatus::Ended, 4},
      {16, kFcs32, FrameEndStatus::FcsGood, 0},
      {20, kFcs32, FrameEndStatus::FcsError, 0},
      {17, kFcs16, FrameEndStatus::Ended, 4},  // 16 with an error flag is no verdict
      {16, 0, FrameEndStatus::FcsGood, 2},     // NONE still takes two check bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "status " << c.lastStatus << " check " << c.checkKind);
    load(hdlcFrameEndingWith(c.lastStatus), conditionsFor(2, c.checkKind));
    const Frame frame = first(FrameFamily::Hdlc, cursorAt(0));
    EXPECT_EQ(DirectionSd, frame.direction);
    EXPECT_EQ(c.endStatus, frame.endStatus);
    EXPECT_EQ(c.count, frame.count);
    EXPECT_EQ(0xC1, frame.cells[0] >> 8);
    EXPECT_EQ(0x3C, frame.cells[3] >> 8);  // the check bytes stay stored
    EXPECT_EQ(word(0), frame.firstWord);
    EXPECT_EQ(word(4), frame.lastDataWord);
    EXPECT_EQ(0u, frame.stampWord);
  }
}

TEST_F(AssemblerTest, HdlcClosingCellsWithoutCharactersOrFrame) {
  // A closing cell with no frame open does nothing; one in a frame without any
  // character leaves it Open.
  load({kSdClose, kSdOpen, kSdClose, kSdOpen, sdChar(0x01), kSdClose}, conditionsFor(2, kFcs16));
  const std::vector<Frame> slots = frames(FrameFamily::Hdlc, cursorAt(0), 2);
  EXPECT_EQ(DirectionSd, slots[0].direction);
  EXPECT_EQ(FrameEndStatus::Open, slots[0].endStatus);
  EXPECT_EQ(0, slots[0].count);
  EXPECT_EQ(nullptr, slots[0].lastDataWord);
  EXPECT_EQ(FrameEndStatus::Ended, slots[1].endStatus);
  EXPECT_EQ(Bytes{0x01}, bytesOf(slots[1]));
}

TEST_F(AssemblerTest, HdlcEndMarksAndOpenAtEndOfData) {
  load({kSdOpen, sdChar(1), dataWord(cell(6, 0), 0), kRdOpen, rdChar(2), dataWord(0, cell(7, 0)),
        kSdOpen, sdChar(3)},
       conditionsFor(2, kFcs16));
  const std::vector<Frame> slots = frames(FrameFamily::Hdlc, cursorAt(0), 4);
  EXPECT_EQ(FrameEndStatus::EndSF, slots[0].endStatus);
  EXPECT_EQ(DirectionRd, slots[1].direction);
  EXPECT_EQ(FrameEndStatus::EndA, slots[1].endStatus);
  EXPECT_EQ(FrameEndStatus::Open, slots[2].endStatus);  // still open when the data ended
  EXPECT_EQ(Bytes{3}, bytesOf(slots[2]));
  EXPECT_EQ(DirectionNone, slots[3].direction);
}

TEST_F(AssemblerTest, OverlongFrameKeepsSixtyFourCellsAndItsVerdict) {
  std::vector<uint32_t> words{kSdOpen};
  for (int i = 1; i <= 70; ++i) words.push_back(sdChar(static_cast<uint8_t>(i), i == 70 ? 16 : 8));
  words.push_back(kSdClose);
  load(words, conditionsFor(2, kFcs16));
  const Frame frame = first(FrameFamily::Hdlc, cursorAt(0));
  EXPECT_EQ(FrameEndStatus::FcsGood, frame.endStatus);
  EXPECT_EQ(62, frame.count);
  EXPECT_EQ(1, frame.cells[0] >> 8);
  EXPECT_EQ(64, frame.cells[63] >> 8);
  EXPECT_EQ(word(70), frame.lastDataWord);  // the last character, though not stored
}

// ---- PPP and IrDA SIR byte rules ----

TEST_F(AssemblerTest, PppControlEscapes) {
  // Opening byte 0x01 (flag bit 0), then 7D 5E, 7D 7D, 7D 21 with an error status,
  // then the closing flag.
  load({sdChar(0x01, 9), sdChar(0x7D), sdChar(0x5E), sdChar(0x7D), sdChar(0x7D), sdChar(0x7D),
        sdChar(0x21, 10), sdChar(0x7E)},
       conditionsFor(3, kFcs16));
  const Frame frame = first(FrameFamily::Ppp, cursorAt(0));
  EXPECT_EQ(Bytes({0x01, 0x7E, 0x5D, 0x01}), bytesOf(frame));
  EXPECT_EQ(10u, frame.cells[3] & 0x1F);  // status bits survive de-escaping
  EXPECT_EQ(FrameEndStatus::Ended, frame.endStatus);
}

TEST_F(AssemblerTest, PppEscapedFlagAbortsAndStatusSevenEndsWithB) {
  load({sdChar(0x01, 9), sdChar(0x41), sdChar(0x7D), sdChar(0x7E), sdChar(0x03, 9), sdChar(0x42),
        dataWord(cell(7, 0), 0), sdChar(0x05, 9), sdChar(0x43), sdChar(0x44, 16), sdChar(0x7E)},
       conditionsFor(3, kFcs16));
  const std::vector<Frame> slots = frames(FrameFamily::Ppp, cursorAt(0), 3);
  EXPECT_EQ(FrameEndStatus::EndA, slots[0].endStatus);
  EXPECT_EQ(Bytes({0x01, 0x41}), bytesOf(slots[0]));
  EXPECT_EQ(FrameEndStatus::EndB, slots[1].endStatus);
  EXPECT_EQ(Bytes({0x03, 0x42}), bytesOf(slots[1]));
  EXPECT_EQ(FrameEndStatus::FcsGood, slots[2].endStatus);
  EXPECT_EQ(1, slots[2].count);  // three cells less the two check bytes
}

// PPP escape state is kept by the lane whether or not a frame is open, so a control
// escape ahead of an opening changes the opening byte; a marker that ends frames
// (sub-kind 0 or 1) or a status-7 cell clears it, another marker does not.
TEST_F(AssemblerTest, PppEscapeBeforeTheOpeningCarriesIntoTheFrame) {
  struct Case {
    uint32_t between;
    uint8_t firstByte;
  };
  const Case cases[] = {
      {markerWord(2), 0x61},           {markerWord(0), 0x41}, {markerWord(1), 0x41},
      {dataWord(cell(7, 0), 0), 0x41}, {rdChar(0x7E), 0x61},  // the other lane's bytes leave this
                                                              // lane's state alone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.between);
    load({sdChar(0x7D), c.between, sdChar(0x41, 9), sdChar(0x42), sdChar(0x7E)}, conditionsFor(3));
    EXPECT_EQ(Bytes({c.firstByte, 0x42}), bytesOf(first(FrameFamily::Ppp, cursorAt(0))));
    EXPECT_EQ(Bytes({0x41, 0x42}), bytesOf(first(FrameFamily::Ppp, cursorAt(2))));
  }
}

TEST_F(AssemblerTest, SirDropsBeginBytesKeepsFlagBytesAndClosesOnEnd) {
  load({sdChar(0xC0, 9), sdChar(0x7E), sdChar(0xC0), sdChar(0x7D), sdChar(0xE1), sdChar(0xC1)},
       conditionsFor(4));
  // The opening 0xC0 opens the frame and is then dropped like every 0xC0.
  const Frame frame = first(FrameFamily::Irda, cursorAt(0, 0, 2));
  EXPECT_EQ(DirectionSd, frame.direction);
  EXPECT_EQ(Bytes({0x7E, 0xC1}), bytesOf(frame));
  EXPECT_EQ(FrameEndStatus::Ended, frame.endStatus);
}

TEST_F(AssemblerTest, IrdaSpeedWordSwitchesToHdlcFramingAndCheckLength) {
  // At SIR speed a status-4 cell opens nothing; after the switch it does.
  const std::vector<uint32_t> words{
      speedWord(2, 6), kSdOpen,   sdChar(1), sdChar(2), sdChar(3, 16), kSdClose, speedWord(6, 8),
      kSdOpen,         sdChar(4), sdChar(5), sdChar(6), sdChar(7, 16), kSdClose};
  load(words, conditionsFor(4));
  const std::vector<Frame> slots = frames(FrameFamily::Irda, cursorAt(0, 0, 2), 2);
  EXPECT_EQ(FrameEndStatus::FcsGood, slots[0].endStatus);
  EXPECT_EQ(1, slots[0].count);
  EXPECT_EQ(FrameEndStatus::FcsGood, slots[1].endStatus);
  EXPECT_EQ(0, slots[1].count);  // four check bytes at speed 8

  // Without the speed words the status-4 cells open nothing in SIR framing.
  load({kSdOpen, sdChar(1), kSdClose}, conditionsFor(4));
  EXPECT_EQ(DirectionNone, first(FrameFamily::Irda, cursorAt(0, 0, 2)).direction);
}

// The cursor's speed code is read as a signed byte (0xFF: none known), while a speed
// word's new code counts from 0 to 255.
TEST_F(AssemblerTest, CursorSpeedIsSignedSpeedWordIsNot) {
  load({kSdOpen, sdChar(1), sdChar(2), sdChar(3, 16), kSdClose, speedWord(0, 200), kSdOpen,
        sdChar(4), sdChar(5), sdChar(6), sdChar(7, 16), kSdClose},
       conditionsFor(4));
  // Code 200 in the cursor is below zero: SIR framing, where status 4 opens nothing
  // and the first frame is the one after the speed word.
  const Frame afterWord = first(FrameFamily::Irda, cursorAt(0, 0, 200));
  EXPECT_EQ(word(6), afterWord.firstWord);
  EXPECT_EQ(FrameEndStatus::FcsGood, afterWord.endStatus);
  EXPECT_EQ(0, afterWord.count);  // speed 200 from the word: four check bytes
  // Code 6 in the cursor alone selects HDLC framing: the first status-4 cell opens.
  const Frame fast = first(FrameFamily::Irda, cursorAt(0, 0, 6));
  EXPECT_EQ(word(0), fast.firstWord);
  EXPECT_EQ(1, fast.count);  // two check bytes below speed 8
}

// ---- markers ----

TEST_F(AssemblerTest, MarkersEndBothLanes) {
  const std::vector<uint32_t> open2{kSdOpen, kRdOpen, dataWord(cell(8, 1), cell(8, 2))};
  for (const auto& [subKind, expected] :
       {std::pair<unsigned, FrameEndStatus>{0, FrameEndStatus::EndOE},
        {1, FrameEndStatus::EndLD},
        {2, FrameEndStatus::Open}}) {
    SCOPED_TRACE(subKind);
    std::vector<uint32_t> words = open2;
    words.push_back(markerWord(subKind));
    words.push_back(dataWord(cell(8, 3), cell(8, 4)));
    load(words, conditionsFor(2));
    const std::vector<Frame> slots = frames(FrameFamily::Hdlc, cursorAt(0), 2);
    EXPECT_EQ(expected, slots[0].endStatus);
    EXPECT_EQ(expected, slots[1].endStatus);
    // A marker that ends frames detaches them: later characters are not theirs.
    EXPECT_EQ(subKind == 2 ? 2u : 1u, bytesOf(slots[0]).size());
  }
}

// ---- stamp-delimited framing ----

TEST_F(AssemblerTest, HdlcStampDelimitedOpensByStampAndIgnoresStatusFour) {
  const uint32_t rdStamp = clockStamp(12, 34, 56, true);
  load({rdStamp, rdChar(0x11), dataWord(0, cell(4, 0)), rdChar(0x22, 16), kRdClose},
       conditionsFor(2, kFcs16, 0, 1));
  const Frame frame = first(FrameFamily::Hdlc, cursorAt(0));
  EXPECT_EQ(DirectionRd, frame.direction);
  EXPECT_EQ(rdStamp & ~0x8000u, frame.stampWord);
  EXPECT_EQ(word(0), frame.firstWord);
  EXPECT_EQ(FrameEndStatus::FcsGood, frame.endStatus);
  EXPECT_EQ(0, frame.count);
  EXPECT_EQ(Bytes({0x11, 0x22}),
            Bytes({uint8_t(frame.cells[0] >> 8), uint8_t(frame.cells[1] >> 8)}));
}

TEST_F(AssemblerTest, AsyncStampDelimitedFraming) {
  // Clock stamps of one direction delimit its frames; counter stamps neither open nor
  // end them; a status-7 cell is the frame's last cell.
  load({clockStamp(1, 2, 3), sdChar('A'), counterStamp(5), sdChar('B'), clockStamp(1, 2, 4),
        sdChar('C'), dataWord(cell(7, 0x55), 0), sdChar('D'), clockStamp(1, 2, 5, true),
        rdChar('E')},
       conditionsFor(0, 0, 1));
  const std::vector<Frame> slots = frames(FrameFamily::Async, cursorAt(0), 4);
  EXPECT_EQ(Bytes({'A', 'B'}), bytesOf(slots[0]));
  EXPECT_EQ(FrameEndStatus::Open, slots[0].endStatus);
  EXPECT_EQ(Bytes({'C', 0x55}), bytesOf(slots[1]));
  EXPECT_EQ(7u, slots[1].cells[1] & 0x1F);
  EXPECT_EQ(word(5), slots[1].lastDataWord);  // the status-7 cell is no character
  EXPECT_EQ(DirectionRd, slots[2].direction);
  EXPECT_EQ(Bytes({'E'}), bytesOf(slots[2]));
  EXPECT_EQ(DirectionNone, slots[3].direction);
  // A counter stamp opens nothing: from there the first frame is the next clock stamp's.
  EXPECT_EQ(word(4), first(FrameFamily::Async, cursorAt(2)).firstWord);
}

TEST_F(AssemblerTest, AsyncInBandEveryCharacterOpensAFrame) {
  load({dataWord(cell(8, 'a'), cell(8, 'x')), dataWord(cell(7, 0), 0), sdChar('b'), rdChar('y')},
       conditionsFor(0));
  const std::vector<Frame> slots = frames(FrameFamily::Async, cursorAt(0), 5);
  EXPECT_EQ(DirectionSd, slots[0].direction);
  EXPECT_EQ(2, slots[0].count);  // 'a' and the status-7 cell
  EXPECT_EQ(DirectionRd, slots[1].direction);
  EXPECT_EQ(Bytes{'x'}, bytesOf(slots[1]));
  EXPECT_EQ(FrameEndStatus::Open, slots[1].endStatus);
  EXPECT_EQ(Bytes{'b'}, bytesOf(slots[2]));
  EXPECT_EQ(Bytes{'y'}, bytesOf(slots[3]));
  EXPECT_EQ(DirectionNone, slots[4].direction);
}

TEST_F(AssemblerTest, SpiAndI2cOpeningCells) {
  // SPI: flag bit 1 opens (and the opening character is stored); a new opening in
  // the lane detaches the frame it was filling.
  load({sdChar(0x10, 10), sdChar(0x11), sdChar(0x12, 10), sdChar(0x13)}, conditionsFor(10));
  std::vector<Frame> slots = frames(FrameFamily::Spi, cursorAt(0), 2);
  EXPECT_EQ(Bytes({0x10, 0x11}), bytesOf(slots[0]));
  EXPECT_EQ(Bytes({0x12, 0x13}), bytesOf(slots[1]));

  // I2C: status 4 with byte 0 opens, with byte 1 it is a cell; no check bytes.
  load({dataWord(cell(4, 0), 0), sdChar(0xA0), dataWord(cell(4, 1), 0), sdChar(0x55, 16), kSdClose},
       conditionsFor(5));
  const Frame frame = first(FrameFamily::I2c, cursorAt(0));
  EXPECT_EQ(Bytes({0xA0, 0x01, 0x55}), bytesOf(frame));
  EXPECT_EQ(FrameEndStatus::FcsGood, frame.endStatus);
  EXPECT_EQ(3, frame.count);
}

// ---- slots, pairs and the skip flag ----

TEST_F(AssemblerTest, OneSlotIgnoresOpeningsWhileItsFrameFills) {
  load({kSdOpen, kRdOpen, dataWord(cell(8, 1), cell(8, 2)), kSdClose, kRdClose}, conditionsFor(2));
  const Frame frame = first(FrameFamily::Hdlc, cursorAt(0));
  EXPECT_EQ(DirectionSd, frame.direction);
  EXPECT_EQ(Bytes{1}, bytesOf(frame));
  // From the RD opening the RD frame is the first.
  EXPECT_EQ(DirectionRd, first(FrameFamily::Hdlc, cursorAt(1)).direction);

  // With several slots the frames come in the order of their openings, SD first
  // within one word.
  load({dataWord(cell(4, 0), cell(4, 0)), dataWord(cell(8, 1), cell(8, 2)), kSdClose, kRdClose},
       conditionsFor(2));
  const std::vector<Frame> slots = frames(FrameFamily::Hdlc, cursorAt(0), 2);
  EXPECT_EQ(DirectionSd, slots[0].direction);
  EXPECT_EQ(DirectionRd, slots[1].direction);
}

TEST_F(AssemblerTest, SkipFlagPassesOverTheFirstSdOpeningOnly) {
  const uint32_t pair = dataWord(cell(4, 0), cell(4, 0));
  load({sdChar(0x99), pair, dataWord(cell(8, 1), cell(8, 2)), kSdClose, kRdClose},
       conditionsFor(2));
  EXPECT_EQ(DirectionSd, first(FrameFamily::Hdlc, cursorAt(1, 0)).direction);
  EXPECT_EQ(DirectionRd, first(FrameFamily::Hdlc, cursorAt(1, 1)).direction);
  // The SD character before the pair opens nothing, so it does not clear the flag.
  EXPECT_EQ(DirectionRd, first(FrameFamily::Hdlc, cursorAt(0, 1)).direction);

  // ASYNC: every character opens, so the first SD character is the one passed over.
  load({dataWord(cell(8, 'a'), cell(8, 'x')), sdChar('b')}, conditionsFor(0));
  EXPECT_EQ(Bytes{'x'}, bytesOf(first(FrameFamily::Async, cursorAt(0, 1))));
  // Stamp-delimited walks ignore the flag.
  load({clockStamp(1, 1, 1), sdChar('a')}, conditionsFor(0, 0, 1));
  EXPECT_EQ(DirectionSd, first(FrameFamily::Async, cursorAt(0, 1)).direction);
}

TEST_F(AssemblerTest, WorkedSequenceDeliversEachFrameInOpeningOrder) {
  // W1 opens SD; W2-W4 SD characters; W5 closes SD; W6 opens SD and RD; W7 one
  // character each; W8 closes SD; W9 closes RD.
  const std::vector<uint32_t> words{kSdOpen,
                                    sdChar(0x01),
                                    sdChar(0x02),
                                    sdChar(0x03),
                                    kSdClose,
                                    dataWord(cell(4, 0), cell(4, 0)),
                                    dataWord(cell(8, 0x11), cell(8, 0x21)),
                                    kSdClose,
                                    kRdClose};
  load(words, conditionsFor(2));
  RecordCursor cursor = capture.startCursor();

  Frame frame = first(FrameFamily::Hdlc, cursor);
  EXPECT_EQ(DirectionSd, frame.direction);
  EXPECT_EQ(Bytes({1, 2, 3}), bytesOf(frame));
  EXPECT_EQ(FrameEndStatus::Ended, frame.endStatus);

  ASSERT_TRUE(assembler.nextFrame(FrameFamily::Hdlc, cursor));
  EXPECT_EQ(5, indexOf(cursor.position));
  EXPECT_EQ(0, cursor.pairPending);
  frame = first(FrameFamily::Hdlc, cursor);
  EXPECT_EQ(DirectionSd, frame.direction);
  EXPECT_EQ(word(5), frame.firstWord);
  EXPECT_EQ(Bytes{0x11}, bytesOf(frame));

  ASSERT_TRUE(assembler.nextFrame(FrameFamily::Hdlc, cursor));
  EXPECT_EQ(5, indexOf(cursor.position));
  EXPECT_EQ(1, cursor.pairPending);
  frame = first(FrameFamily::Hdlc, cursor);
  EXPECT_EQ(DirectionRd, frame.direction);
  EXPECT_EQ(word(5), frame.firstWord);
  EXPECT_EQ(Bytes{0x21}, bytesOf(frame));
  EXPECT_EQ(word(6), frame.lastDataWord);

  EXPECT_FALSE(assembler.nextFrame(FrameFamily::Hdlc, cursor));  // no boundary after W6
}

// ---- unsafe input ----

TEST_F(AssemblerTest, EmptyRingOrStrayCursorGivesAnEmptySlot) {
  load({}, conditionsFor(2));
  EXPECT_EQ(DirectionNone, first(FrameFamily::Hdlc, capture.startCursor()).direction);

  load({kSdOpen, sdChar(1), kSdClose}, conditionsFor(2));
  RecordCursor stray = cursorAt(0);
  stray.position = capture.chunkStart() + 2;  // not on a word
  EXPECT_EQ(DirectionNone, first(FrameFamily::Hdlc, stray).direction);
  stray.position = capture.chunkEnd();
  EXPECT_EQ(DirectionNone, first(FrameFamily::Hdlc, stray).direction);
}

}  // namespace
}  // namespace qv::test
