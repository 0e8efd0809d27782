// The common run of the frame runners, driven with a recording translator so that
// every family's frame walk can be checked without the protocol translators.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "frame_test_support.h"
#include "frames/frame_runners.h"
#include "report/print_file.h"
#include "test_support.h"

namespace qv::test {
namespace {

using build::cell;
using build::clockStamp;
using build::counterStamp;
using build::dataWord;
using build::rdChar;
using build::sdChar;
using build::speedWord;

// Writes "SD:" or "RD:" and the index of the frame's opening word.
class RecordingTranslator : public FrameTranslator {
 public:
  const char* title() override { return "(TEST)"; }
  void writeColumnHead() override { writeHead("--", "DATA"); }
  int translate(const Frame& frame) override {
    writePos = lineBuffer;
    if (writeDirection(frame.direction) != 0) return 1;
    writePos = decimalZeros(
        writePos, 2, static_cast<uint32_t>((frame.firstWord - captureFile->chunkStart()) / 4));
    finishLine();
    return 0;
  }
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

TEST_F(RunnerTest, AsyncCounterStampBoundaryDoesNotRepeatTheNextFrame) {
  // The step from the SD frame stops at the counter stamp, which opens nothing; the
  // assembly from there and the step after it both deliver the RD frame.
  load({clockStamp(1, 2, 3), sdChar('A'), counterStamp(9), sdChar('B'), clockStamp(1, 2, 4, true),
        rdChar('C')},
       conditionsFor(0, 0, 1));
  EXPECT_EQ("SD:00\nRD:04\n", report<AsyncFrameConverter>(noGuide()));
}

TEST_F(RunnerTest, SpiCounterStampBoundaryDoesNotRepeatTheNextFrame) {
  load({counterStamp(1), sdChar(1), clockStamp(1, 2, 3), sdChar(2), counterStamp(2),
        clockStamp(1, 2, 4, true), rdChar(3)},
       conditionsFor(10, 0, 1));
  EXPECT_EQ("SD:02\nRD:05\n", report<SpiConverter>(noGuide()));
}

TEST_F(RunnerTest, IrdaFalseBoundariesDoNotRepeatFrames) {
  // HDLC framing (speed 6): an error-flagged character is a boundary of the search but
  // opens nothing.
  load({speedWord(2, 6), dataWord(cell(4, 0), 0), sdChar('a', 9), dataWord(cell(5, 0), 0),
        dataWord(0, cell(4, 0)), rdChar('b'), dataWord(0, cell(5, 0))},
       conditionsFor(4));
  EXPECT_EQ("SD:01\nRD:04\n", report<IrlapConverter>(noGuide()));

  // A word whose two cells are both such boundaries: the search stops there twice,
  // and the SD and RD frames after it come round again in turn.
  load({speedWord(2, 6), dataWord(cell(9, 'a'), cell(9, 'b')), dataWord(cell(4, 0), 0),
        dataWord(cell(8, 1), 0), dataWord(cell(5, 0), 0), dataWord(0, cell(4, 0)), rdChar(2),
        dataWord(0, cell(5, 0))},
       conditionsFor(4));
  EXPECT_EQ("SD:02\nRD:05\n", report<IrlapConverter>(noGuide()));
  // The same with two SD frames: the walk from the pair word passes over the first
  // and delivers the second before the first comes round again.
  load({speedWord(2, 6), dataWord(cell(9, 'a'), cell(9, 'b')), dataWord(cell(4, 0), 0),
        dataWord(cell(8, 1), 0), dataWord(cell(5, 0), 0), dataWord(cell(4, 0), 0), sdChar(2),
        dataWord(cell(5, 0), 0)},
       conditionsFor(4));
  EXPECT_EQ("SD:02\nSD:05\n", report<IrlapConverter>(noGuide()));

  // SIR framing (no speed known): a status-4 cell is a boundary that opens nothing.
  load({sdChar(0x01, 9), sdChar(0xC1), dataWord(0, cell(4, 0)), rdChar(0x02, 9), rdChar(0xC1)},
       conditionsFor(4));
  EXPECT_EQ("SD:00\nRD:03\n", report<IrlapConverter>(noGuide()));
}

TEST_F(RunnerTest, PairWordsStillGiveBothFrames) {
  load({dataWord(cell(4, 0), cell(4, 0)), dataWord(cell(8, 1), cell(8, 2)), dataWord(cell(5, 0), 0),
        dataWord(0, cell(5, 0)), dataWord(cell(4, 0), 0), sdChar(3), dataWord(cell(5, 0), 0)},
       conditionsFor(2));
  EXPECT_EQ("SD:00\nRD:00\nSD:04\n", report<HdlcFrameConverter>(noGuide()));
}

TEST_F(RunnerTest, NoFrameGivesOneEmptyLine) {
  load({0, 0}, conditionsFor(2));
  EXPECT_EQ("\n", report<HdlcFrameConverter>(noGuide()));
  // Trailing counter stamps open nothing, and only one empty line is written.
  load({clockStamp(1, 2, 3), sdChar('A'), clockStamp(1, 2, 4), counterStamp(1), counterStamp(2)},
       conditionsFor(0, 0, 1));
  EXPECT_EQ("SD:00\nSD:02\n\n", report<AsyncFrameConverter>(noGuide()));
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
