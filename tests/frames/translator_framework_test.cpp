// The translator framework: number fields, the shared line helpers, the column head,
// the ASYNC dump line, the translator choices and which frames reach the report.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame_test_support.h"
#include "frames/async_dump_translator.h"
#include "frames/frame_runners.h"
#include "frames/translator_set.h"
#include "line_test_support.h"
#include "report/code_tables.h"

namespace qv::test {
namespace {

// Exposes the protected line helpers.
class Probe : public FrameTranslator {
 public:
  using FrameTranslator::extendColumnHead;
  using FrameTranslator::trimLine;
  using FrameTranslator::writeDirection;
  using FrameTranslator::writeEndMark;
  using FrameTranslator::writeTime;
  std::string line() const { return lineBuffer; }
};

class LineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(buffer, 'x', sizeof buffer);
    probe.prepare(79, buffer, nullptr);
  }
  std::string timeColumn(uint32_t stamp) {
    probe.writePos = buffer;
    probe.writeTime(stamp);
    return std::string(buffer, static_cast<size_t>(probe.writePos - buffer));
  }
  char buffer[kLineBufferSize];
  Probe probe;
};

TEST(NumberFieldTest, FieldsKeepTheirWidthAndEndWithATerminator) {
  char out[16];
  struct Case {
    char* (*write)(char*, int, uint32_t);
    int width;
    uint32_t value;
    const char* text;
  };
  const Case cases[] = {
      {decimalZeros, 2, 7, "07"},      {decimalZeros, 6, 123, "000123"},
      {decimalZeros, 2, 1234, "34"},   {decimalBlanks, 3, 0, "  0"},
      {decimalBlanks, 3, 17, " 17"},   {decimalBlanks, 3, 127, "127"},
      {decimalBlanks, 3, 1005, "  5"},
  };
  for (const Case& c : cases) {
    std::memset(out, 'x', sizeof out);
    char* end = c.write(out, c.width, c.value);
    EXPECT_STREQ(c.text, out);
    EXPECT_EQ(out + c.width, end);
  }

  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(out + 5, fixedText(out, 5, "AB"));
  EXPECT_STREQ("AB   ", out);
  fixedText(out, 3, "ABCDEF");
  EXPECT_STREQ("ABC", out);
  fixedText(out, 2, nullptr);
  EXPECT_STREQ("  ", out);

  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(out + 3, fillChars(out, 3, '-'));
  EXPECT_EQ("---x", std::string(out, 4));  // no terminator
}

TEST_F(LineTest, TimeColumnForInBandCounterAndClockStamps) {
  EXPECT_EQ("      ", timeColumn(0));
  EXPECT_EQ("000005", timeColumn(counterStamp(5)));
  EXPECT_EQ("524287", timeColumn(counterStamp(524287)));
  EXPECT_EQ("000128", timeColumn(counterStamp(128)));  // the count spans both fields
  EXPECT_EQ("123456", timeColumn(clockStamp(12, 34, 56)));
  EXPECT_EQ("012399", timeColumn(clockStamp(1, 123, 99)));  // last two digits of 123
  // Kinds 5-7 are clock stamps too; only the pattern of bits 2-3 picks the counter.
  EXPECT_EQ("123456", timeColumn(clockStamp(12, 34, 56) | 3));
}

TEST_F(LineTest, DirectionAndEndMarks) {
  probe.writePos = buffer;
  EXPECT_EQ(0, probe.writeDirection(DirectionSd));
  EXPECT_EQ(0, probe.writeDirection(DirectionRd));
  probe.writeEndMark(FrameEndStatus::FcsGood);
  probe.writeEndMark(FrameEndStatus::Ended);
  probe.writeEndMark(FrameEndStatus::EndLD);
  EXPECT_EQ("SD:RD: G  LD", probe.line());
  char* at = probe.writePos;
  EXPECT_EQ(1, probe.writeDirection(DirectionNone));
  EXPECT_EQ(1, probe.writeDirection(3));
  EXPECT_EQ(at, probe.writePos);
  EXPECT_EQ('\0', *at);

  const char* const marks[] = {"  ", "  ", " G", " E", "SF", " A", " B", "OE", "LD"};
  auto markOf = [](int status) { return endMark(static_cast<FrameEndStatus>(status)); };
  for (int status = 0; status < 9; ++status) EXPECT_STREQ(marks[status], markOf(status));
  EXPECT_STREQ("  ", markOf(9));
  EXPECT_STREQ("  ", markOf(255));
}

TEST_F(LineTest, TrimLineCutsTrailingBlanksTabsAndNewlines) {
  std::strcpy(buffer, "SD: 1 \t\n  ");
  probe.writePos = buffer + std::strlen(buffer);
  probe.trimLine();
  EXPECT_EQ("SD: 1", probe.line());
  std::strcpy(buffer, "   ");
  probe.writePos = buffer + 3;
  probe.trimLine();
  EXPECT_EQ("", probe.line());
}

TEST_F(LineTest, ColumnHeadCentresTheLabelInAnEvenRunOfDashes) {
  AsyncDumpTranslator dump;
  const auto headAt = [&](int width) { return columnHeadOf(dump, width); };
  EXPECT_EQ("-----TM---" + dashes(12) + "DATA" + dashes(12), headAt(39));
  EXPECT_EQ("-----TM---" + dashes(32) + "DATA" + dashes(32), headAt(79));
  EXPECT_EQ("-----TM---" + dashes(60) + "DATA" + dashes(60), headAt(135));
  EXPECT_EQ(headAt(78), headAt(79));    // 69 spare columns give 68 dashes
  EXPECT_EQ("-----TM---", headAt(13));  // no room for the label
  EXPECT_EQ("-----TM---DATA", headAt(14));

  probe.prepare(20, buffer, nullptr);
  std::strcpy(buffer, "--AB--");
  probe.extendColumnHead("ADDRESS/DATA");  // spare 14: one dash either side
  EXPECT_EQ("--AB---ADDRESS/DATA-", probe.line());
}

TEST(BaseTranslatorTest, DefaultsMakeEmptyLines) {
  char buffer[kLineBufferSize] = "old text";
  Probe probe;
  probe.prepare(79, buffer, nullptr);
  EXPECT_EQ(nullptr, probe.frameTypeName(true, 0, 0));
  EXPECT_STREQ("", probe.title());
  probe.writeColumnHead();
  EXPECT_STREQ("", buffer);
  std::strcpy(buffer, "old text");
  probe.translate(Frame{});
  EXPECT_STREQ("", buffer);
}

// ---- the ASYNC dump line ----

class AsyncDumpTest : public CaptureFixture {
 protected:
  std::string lineFor(const Frame& frame, int code, int width = 79) {
    build::Conditions conditions = conditionsFor(0, 0, 1);
    conditions.code = code;
    load({0}, conditions);
    dump.prepare(width, buffer, &capture);
    result = dump.translate(frame);
    return buffer;
  }
  static Frame frameOf(uint8_t direction, uint32_t stamp, std::initializer_list<uint16_t> cells) {
    Frame frame = frameOfCells(direction, cells);
    frame.stampWord = stamp;
    return frame;
  }
  AsyncDumpTranslator dump;
  char buffer[kLineBufferSize];
  int result = -1;
};

TEST_F(AsyncDumpTest, ExampleLineInAsciiAndHex) {
  const Frame frame = frameOf(DirectionSd, clockStamp(12, 34, 56),
                              {build::cell(8, 0x41), build::cell(8, 0x42), build::cell(8, 0x0D)});
  EXPECT_EQ("SD:123456  A BCR", lineFor(frame, 0));
  EXPECT_EQ(0, result);
  EXPECT_EQ("SD:123456 41420D", lineFor(frame, 5));
  EXPECT_STREQ("(ASYNC FRAME DATA)", dump.title());
  EXPECT_STREQ("-DUMP-  ", dump.shortTag());
}

TEST_F(AsyncDumpTest, ShiftedStatusesUseTheAlternateTable) {
  // BAUDOT byte 0x01 is E among the letters and 3 among the figures; only statuses
  // 12-15 mark a shifted character.
  const Frame frame =
      frameOf(DirectionSd, 0,
              {build::cell(8, 0x01), build::cell(11, 0x01), build::cell(12, 0x01),
               build::cell(15, 0x01), build::cell(16, 0x01), build::cell(28, 0x01)});
  EXPECT_EQ("SD:        E E 3 3 E E", lineFor(frame, CodeBaudot));
}

TEST_F(AsyncDumpTest, CellsStopAtTheLineWidth) {
  Frame frame = frameOf(DirectionRd, counterStamp(5), {});
  for (int i = 0; i < kFrameCells; ++i) frame.cells[frame.count++] = build::cell(8, 0xAA);
  const std::string prefix = "RD:000005 ";
  EXPECT_EQ(prefix + std::string(2 * 14, 'A'), lineFor(frame, 5, 39));
  EXPECT_EQ(prefix + std::string(2 * 34, 'A'), lineFor(frame, 5, 79));
  EXPECT_EQ(prefix + std::string(2 * 62, 'A'), lineFor(frame, 5, 135));
  frame.count = 3;
  EXPECT_EQ(prefix + "AAAAAA", lineFor(frame, 5, 135));
}

TEST_F(AsyncDumpTest, EmptySlotsAndBlankLinesAreCut) {
  EXPECT_EQ("", lineFor(Frame{}, 0));
  EXPECT_EQ(1, result);
  // In-band frame whose characters all show as blanks.
  EXPECT_EQ("SD:", lineFor(frameOf(DirectionSd, 0, {build::cell(8, ' '), build::cell(8, ' ')}), 0));
  EXPECT_EQ("RD:", lineFor(frameOf(DirectionRd, 0, {}), 0));
}

// ---- translator choice ----

TEST(TranslatorChoiceTest, HdlcAndPacketChoicesSetTheModulusAndFallBackToTheFirstEntry) {
  TranslatorSet set;
  struct Case {
    int frameProtocol;
    FrameTranslator* translator;
    bool modulo128;
  };
  const Case cases[] = {{0, &set.sdlcFrame, false},  {1, &set.sdlcFrame, true},
                        {2, &set.x25Frame, false},   {3, &set.x25Frame, true},
                        {4, &set.lapdFrame, false},  {5, &set.sdlcFrame, false},
                        {-1, &set.sdlcFrame, false}, {127, &set.sdlcFrame, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frameProtocol);
    set.sdlcFrame.setModulo128(!c.modulo128);
    set.x25Frame.setModulo128(!c.modulo128);
    EXPECT_EQ(c.translator, chooseHdlcFrameTranslator(set, c.frameProtocol));
    if (c.translator != &set.lapdFrame) {
      EXPECT_EQ(c.modulo128, static_cast<HdlcFrameTranslator*>(c.translator)->modulo128());
    }
  }

  EXPECT_EQ(&set.x25Packet, choosePacketTranslator(set, 0, 3));
  EXPECT_EQ(&set.x25Frame, set.x25Packet.lowerTranslator);
  EXPECT_TRUE(set.x25Frame.modulo128());
  EXPECT_EQ(&set.lapdPacket, choosePacketTranslator(set, 1, 4));
  EXPECT_EQ(&set.lapdFrame, set.lapdPacket.lowerTranslator);
  EXPECT_EQ(&set.x25Packet, choosePacketTranslator(set, 2, 0));
  EXPECT_EQ(&set.x25Packet, choosePacketTranslator(set, -1, 0));
}

// An empty slot gives an empty line and 1 from every translator (the runner writes the
// line as it is); a frame of either direction gives 0.
TEST(TranslatorSetTest, EveryTranslatorLeavesAnEmptySlotEmpty) {
  TranslatorSet set;
  set.x25Packet.lowerTranslator = &set.x25Frame;
  set.lapdPacket.lowerTranslator = &set.lapdFrame;
  FrameTranslator* const translators[] = {
      &set.sdlcFrame, &set.x25Frame, &set.lapdFrame, &set.x25Packet, &set.lapdPacket,
      &set.ppp,       &set.pppDump,  &set.irlap,     &set.i2c,       &set.spiDump};
  for (FrameTranslator* translator : translators) {
    SCOPED_TRACE(translator->title());
    char buffer[kLineBufferSize] = "stale";
    translator->prepare(79, buffer, nullptr);
    EXPECT_EQ(1, translator->translate(makeFrame(DirectionNone, {0xC1, 0x10})));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(0, translator->translate(makeFrame(DirectionSd, {0xC1, 0x10})));
    EXPECT_EQ(0, translator->translate(makeFrame(DirectionRd, {0xC1, 0x10})));
  }
}

TEST(LineWidthTest, WidthClassesOfThePrintColumns) {
  const int columnsAndWidths[][2] = {{0, 39}, {79, 39}, {80, 79}, {135, 79}, {136, 135}};
  for (const auto& [columns, width] : columnsAndWidths)
    EXPECT_EQ(width, frameLineWidth(columns)) << columns;
}

// ---- which frames reach the report ----

// One run's deliveries in turn: the frame (direction, opening word) that the assembly
// at the cursor delivered, and whether it is printed. Word indexes count from the
// ring's first word; the ring holds eight words.
struct Delivery {
  uint8_t direction;
  int firstWord;
  int cursor;
  bool printed;
};

void expectDeliveries(uint8_t dataLine, int walkStart, std::initializer_list<Delivery> deliveries) {
  const uint8_t ring[32] = {};
  FrameDeliveryFilter filter(dataLine, ring + 4 * walkStart, MonitorRing(ring, ring + 32));
  int step = 0;
  for (const Delivery& d : deliveries) {
    Frame frame;
    frame.direction = d.direction;
    frame.firstWord = d.direction == DirectionNone ? nullptr : ring + 4 * d.firstWord;
    EXPECT_EQ(d.printed, filter.shouldPrint(frame, ring + 4 * d.cursor)) << "delivery " << step;
    ++step;
  }
}

TEST(DeliveryFilterTest, EachFrameOnceAndAtMostOneEmptySlot) {
  expectDeliveries(
      0, 0,
      {
          {DirectionSd, 0, 0, true},
          {DirectionSd, 0, 0, false},  // back to back
          {DirectionRd, 0, 0, true},   // same word, other lane
          // A pair word whose cells are both false boundaries repeats SD and RD in turn.
          {DirectionSd, 1, 1, true},
          {DirectionRd, 1, 1, true},
          {DirectionSd, 1, 1, false},
          {DirectionRd, 1, 1, false},
          // ... or two frames of one direction in turn.
          {DirectionSd, 2, 1, true},
          {DirectionSd, 1, 1, false},
          {DirectionSd, 2, 2, false},
          {DirectionNone, 0, 2, true},
          {DirectionNone, 0, 3, false},
      });
}

// A walk from a later cursor may deliver a frame that opens before one already printed
// in its direction (an IrDA speed code read as a signed byte): it is new, and printed.
TEST(DeliveryFilterTest, AFrameArrivingOutOfTurnIsPrintedOnce) {
  expectDeliveries(0, 0,
                   {
                       {DirectionSd, 6, 0, true},
                       {DirectionSd, 3, 3, true},
                       {DirectionSd, 6, 3, false},
                       {DirectionSd, 3, 3, false},
                       {DirectionSd, 6, 6, false},
                       {DirectionRd, 6, 6, true},
                   });
}

TEST(DeliveryFilterTest, RingOrderWrapsAtTheChunkEnd) {
  expectDeliveries(0, 6,
                   {
                       {DirectionSd, 7, 6, true},
                       {DirectionSd, 0, 7, true},  // after the wrap
                       {DirectionSd, 7, 7, false},
                   });
}

TEST(DeliveryFilterTest, DataLineLeavesOutTheOtherDirectionButNeverTheEmptySlot) {
  expectDeliveries(1, 0,
                   {
                       {DirectionSd, 0, 0, true},
                       {DirectionRd, 1, 0, false},
                       {DirectionNone, 0, 1, true},
                   });
  expectDeliveries(2, 0,
                   {
                       {DirectionSd, 0, 0, false},
                       {DirectionRd, 1, 0, true},
                   });
}

}  // namespace
}  // namespace qv::test
