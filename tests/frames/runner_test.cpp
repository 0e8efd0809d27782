// The common run of the frame runners, driven with a recording translator so that
// every family's frame walk can be checked without the protocol translators.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "frame_test_support.h"
#include "frames/frame_runners.h"
#include "report/print_file.h"
#include "test_support.h"

namespace qv::test {
namespace {

// Writes "SD:" or "RD:" and the index of the frame's opening word; with `withEnding`
// also the end status and the count ("SD:00 e0 n2").
class RecordingTranslator : public FrameTranslator {
 public:
  const char* title() override { return "(TEST)"; }
  void writeColumnHead() override { writeHead("--", "DATA"); }
  int translate(const Frame& frame) override {
    writePos = lineBuffer;
    if (writeDirection(frame.direction) != 0) return 1;
    writePos = decimalZeros(
        writePos, 2, static_cast<uint32_t>((frame.firstWord - captureFile->chunkStart()) / 4));
    if (withEnding)
      writePos +=
          std::snprintf(writePos, 16, " e%d n%d", static_cast<int>(frame.endStatus), frame.count);
    finishLine();
    return 0;
  }
  bool withEnding = false;
};

class RunnerTest : public CaptureFixture {
 protected:
  template <typename Runner>
  std::string report(ConvertOptions options, int32_t limit = kPageLimit) {
    const std::string path = tempPath("runner_test.txt");
    printFile.setSavePath(path);
    options.translator = &recorder;
    Runner runner(printFile, capture, assembler, translators);
    runner.setOptions(options);
    EXPECT_EQ(0, runner.run(limit));
    return readFile(path);
  }
  // The report of the runner for the capture's protocol, without the guide.
  std::string reportOf(int protocol) {
    switch (protocol) {
      case 0: return report<AsyncFrameConverter>(noGuide());
      case 4: return report<IrlapConverter>(noGuide());
      case 10: return report<SpiConverter>(noGuide());
      default: return report<HdlcFrameConverter>(noGuide());
    }
  }
  static ConvertOptions noGuide(uint8_t dataLine = 0) {
    ConvertOptions options;
    options.skipGuide = 1;
    options.dataLine = dataLine;
    return options;
  }

  std::ostringstream console;
  PrintFile printFile{console};
  TranslatorSet translators;
  RecordingTranslator recorder;
};

// ---- every frame once ----

// Each frame reaches the report once, in the order of its opening, whatever boundaries
// the step between frames stops at and whatever state it carries to the next walk.
TEST_F(RunnerTest, EveryFrameReachesTheReportOnce) {
  struct Case {
    const char* why;
    std::vector<uint32_t> words;
    build::Conditions conditions;
    const char* expected;
    bool withEnding = false;
  };
  const Case cases[] = {
      {"ASYNC: the step stops at the counter stamp, which opens nothing; the assembly from "
       "there and the step after it both deliver the RD frame",
       {clockStamp(1, 2, 3), sdChar('A'), counterStamp(9), sdChar('B'), clockStamp(1, 2, 4, true),
        rdChar('C')},
       conditionsFor(0, 0, 1),
       "SD:00\nRD:04\n"},
      {"SPI: the same with counter stamps around the frames",
       {counterStamp(1), sdChar(1), clockStamp(1, 2, 3), sdChar(2), counterStamp(2),
        clockStamp(1, 2, 4, true), rdChar(3)},
       conditionsFor(10, 0, 1),
       "SD:02\nRD:05\n"},
      {"IrDA HDLC framing (speed 6): an error-flagged character is a boundary that opens nothing",
       {speedWord(2, 6), dataWord(cell(4, 0), 0), sdChar('a', 9), dataWord(cell(5, 0), 0),
        dataWord(0, cell(4, 0)), rdChar('b'), dataWord(0, cell(5, 0))},
       conditionsFor(4),
       "SD:01\nRD:04\n"},
      {"a word whose two cells are both such boundaries: the SD and RD frames after it come "
       "round again in turn",
       {speedWord(2, 6), dataWord(cell(9, 'a'), cell(9, 'b')), dataWord(cell(4, 0), 0),
        dataWord(cell(8, 1), 0), dataWord(cell(5, 0), 0), dataWord(0, cell(4, 0)), rdChar(2),
        dataWord(0, cell(5, 0))},
       conditionsFor(4),
       "SD:02\nRD:05\n"},
      {"the same with two SD frames: the walk from the pair word passes over the first and "
       "delivers the second before the first comes round again",
       {speedWord(2, 6), dataWord(cell(9, 'a'), cell(9, 'b')), dataWord(cell(4, 0), 0),
        dataWord(cell(8, 1), 0), dataWord(cell(5, 0), 0), dataWord(cell(4, 0), 0), sdChar(2),
        dataWord(cell(5, 0), 0)},
       conditionsFor(4),
       "SD:02\nSD:05\n"},
      {"IrDA SIR framing (no speed known): a status-4 cell is a boundary that opens nothing",
       {sdChar(0x01, 9), sdChar(0xC1), dataWord(0, cell(4, 0)), rdChar(0x02, 9), rdChar(0xC1)},
       conditionsFor(4),
       "SD:00\nRD:03\n"},
      {"pair words still give both frames",
       {dataWord(cell(4, 0), cell(4, 0)), dataWord(cell(8, 1), cell(8, 2)), dataWord(cell(5, 0), 0),
        dataWord(0, cell(5, 0)), dataWord(cell(4, 0), 0), sdChar(3), dataWord(cell(5, 0), 0)},
       conditionsFor(2),
       "SD:00\nRD:00\nSD:04\n"},
      {"no frame: one empty line", {0, 0}, conditionsFor(2), "\n"},
      {"trailing counter stamps open nothing, and only one empty line is written",
       {clockStamp(1, 2, 3), sdChar('A'), clockStamp(1, 2, 4), counterStamp(1), counterStamp(2)},
       conditionsFor(0, 0, 1),
       "SD:00\nSD:02\n\n"},
      {"an SD frame that never closes holds its lane to the end of the data; the RD frames "
       "that open meanwhile are each delivered from their own boundary",
       {kSdOpen, kRdOpen, dataWord(cell(8, 1), cell(8, 2)), kRdClose, kRdOpen, rdChar(3), kRdClose,
        sdChar(4)},
       conditionsFor(2, 1),
       "SD:00 e0 n2\nRD:01 e1 n1\nRD:04 e1 n1\n",
       true},
      {"a speed word just ahead of a boundary belongs to the frame after it: the next walk "
       "starts on it and uses HDLC-type framing with a four-byte check",
       {sdChar(0x11, 9), sdChar(0x22), sdChar(0xC1), speedWord(2, 9), kSdOpen, sdChar(0x33),
        sdChar(0x44), sdChar(0x55), sdChar(0x66, 16), kSdClose},
       conditionsFor(4),
       "SD:00 e1 n2\nSD:04 e2 n0\n",
       true},
      {"a clock stamp with a display column set is a boundary of the step but opens nothing "
       "(only kind 4, and kind 8 outside ASYNC and SPI, opens)",
       {clockStamp(1, 2, 3), sdChar(1), sdChar(2, 16), kSdClose, clockStamp(1, 2, 4) | 1, rdChar(9),
        clockStamp(1, 2, 5, true), rdChar(3), rdChar(4, 20), kRdClose},
       conditionsFor(2, 1, 1),
       "SD:00 e2 n0\nRD:06 e3 n0\n",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    load(c.words, c.conditions);
    recorder.withEnding = c.withEnding;
    EXPECT_EQ(c.expected, reportOf(c.conditions.protocol));
  }
}

// ---- options ----

TEST_F(RunnerTest, DataLineLeavesOutTheOtherDirection) {
  load({dataWord(cell(8, 'a'), cell(8, 'x')), sdChar('b'), rdChar('y')}, conditionsFor(0));
  EXPECT_EQ("SD:00\nRD:00\nSD:01\nRD:02\n", report<AsyncFrameConverter>(noGuide(0)));
  EXPECT_EQ("SD:00\nSD:01\n", report<AsyncFrameConverter>(noGuide(1)));
  EXPECT_EQ("RD:00\nRD:02\n", report<AsyncFrameConverter>(noGuide(2)));
}

TEST_F(RunnerTest, GuideAndColumnHeadFollowTheLineWidth) {
  load({sdChar('a')}, conditionsFor(5));
  ConvertOptions options;
  options.printColumns = 40;
  const std::string text = maskTopLine(report<I2cConverter>(options));
  EXPECT_EQ(
      "*=[KOVREN]=[DATE-TIME]=*\n"
      "* MONITOR DATA (TEST)                 *\n"
      "*  PROTOCOL: I2C                      *\n"
      "*  CODE    : ASCII                    *\n"
      "*=====================================*\n"
      "\n"
      "------------------DATA----------------\n"
      "\n",  // no status-4 opening: the empty slot
      text);
  EXPECT_EQ(39, recorder.lineWidth);
}

TEST_F(RunnerTest, EmptyRingWritesTheHeaderOnly) {
  load({}, conditionsFor(5));
  const std::string text = report<I2cConverter>(ConvertOptions{});
  EXPECT_EQ(std::string::npos, text.find("DATA-"));
  EXPECT_EQ("*=====================================*\n\n", text.substr(text.size() - 41));
  EXPECT_EQ("", report<I2cConverter>(noGuide()));
}

TEST_F(RunnerTest, PageLimitStopsTheRun) {
  std::vector<uint32_t> words;
  for (int i = 0; i < 100; ++i) words.push_back(sdChar('a'));
  load(words, conditionsFor(0));
  const std::string text = report<AsyncFrameConverter>(noGuide(), 1);
  EXPECT_EQ(66, std::count(text.begin(), text.end(), '\n'));
}

TEST_F(RunnerTest, ChoosesTheTranslatorWhenTheOptionsCarryNone) {
  load({sdChar('a')}, conditionsFor(0));
  const std::string path = tempPath("runner_choice.txt");
  printFile.setSavePath(path);
  AsyncFrameConverter runner(printFile, capture, assembler, translators);
  runner.setOptions(noGuide());
  EXPECT_EQ(0, runner.run(kPageLimit));
  EXPECT_EQ(&translators.asyncDump, runner.runOptions().translator);
  EXPECT_EQ("SD:        a\n", readFile(path));
}

TEST_F(RunnerTest, UnopenableReportReturnsZeroAtOnce) {
  load({sdChar('a')}, conditionsFor(0));
  printFile.setSavePath(tempPath("no-such-dir/report.txt"));
  AsyncFrameConverter runner(printFile, capture, assembler, translators);
  runner.setOptions(noGuide());
  EXPECT_EQ(0, runner.run(kPageLimit));
  EXPECT_EQ(nullptr, runner.runOptions().translator);
  EXPECT_EQ("Can't create print data file.\n", console.str());
}

}  // namespace
}  // namespace qv::test
