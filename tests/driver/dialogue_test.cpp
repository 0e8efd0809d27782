// The operator dialogue on its own: which questions each capture gets, how answers are
// read, and the options they produce. No conversion runs here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>

#include "capture_builder.h"
#include "driver/program.h"
#include "report_text.h"
#include "test_support.h"

namespace qv {
namespace {

using test::repeat;

constexpr const char* kFileNames = "Data filename ? Save filename ? \n";
constexpr const char* kFormat2 = "Print format (1:Normal, 2:Translate) ? ";
constexpr const char* kFormat3 = "Print format (1:Normal, 2:Line state, 3:Translate) ? ";
constexpr const char* kFrameFormat2 = "Print format (1:Normal, 2:Frame) ? ";
constexpr const char* kFrameFormat3 = "Print format (1:Normal, 2:Line state, 3:Frame) ? ";
constexpr const char* kDataLine = "Select data line (1:SD & RD, 2:SD, 3:RD) ? ";
constexpr const char* kLineState = "Select line state (0:RS,1:CS,2:DR,3:CD,4:ER,5:SQ,6:CI,7:EX) ? ";
constexpr const char* kCode = "Select code (1:Char. & Hex., 2:Char., 3:Hex.) ? ";
constexpr const char* kSkip = "Skip IDLE/TMSP (1:No, 2:Yes) ? ";
constexpr const char* kGuide = "Skip guide (1:No, 2:Yes) ? ";
constexpr const char* kBscOrOther = "Frame type (1:BSC, 2:Other) ? ";
constexpr const char* kLevel = "Translate level (1:Frame, 2:Packet) ? ";
constexpr const char* kPppType = "Frame type (1:PPP translate, 2:Dump) ? ";

struct DialogueRun {
  int result = -1;
  std::string console;
  ConvertOptions options;
  int frameType = -1;
  std::string savePath;
};

std::string writeCapture(const build::Conditions& conditions) {
  static int sequence = 0;
  const std::string path = test::tempPath("dialogue-" + std::to_string(++sequence) + ".cap");
  test::writeFile(path,
                  build::CaptureBuilder().dinf(conditions).mond({build::sdChar('A')}).bytes());
  return path;
}

DialogueRun runAnswers(const std::string& answers) {
  std::istringstream in(answers);
  std::ostringstream out;
  auto program = std::make_unique<Program>(in, out);
  DialogueRun run;
  run.result = program->runDialogue();
  run.console = out.str();
  run.options = program->options;
  run.frameType = program->frameType;
  run.savePath = program->printFile.savePath();
  return run;
}

// Answers the two file names, then the given answers.
DialogueRun dialogue(const build::Conditions& conditions, const std::string& laterAnswers) {
  return runAnswers(writeCapture(conditions) + "\nreport.txt\n" + laterAnswers);
}

build::Conditions withProtocol(int protocol, uint8_t lineStateRecorded = 0) {
  return {.protocol = protocol, .lineStateRecorded = lineStateRecorded};
}

// ---- Questions asked per protocol ----

struct QuestionCase {
  const char* what;
  build::Conditions conditions;
  const char* answers;               // after the two file names
  std::vector<std::string> prompts;  // after the two file names
  int frameType;
  std::function<void(const ConvertOptions&)> expectOptions = [](const ConvertOptions&) {};
};

TEST(DialogueQuestions, QuestionsDependOnTheProtocolAndTheFormat) {
  const build::Conditions stamped{.stampFlag2 = 1, .lineStateRecorded = 1};
  const QuestionCase cases[] = {
      {"ASYNC without stamps translates BSC",
       withProtocol(0),
       "2\n1\n2\n1\n",
       {kFormat2, kDataLine, kSkip, kGuide},
       1,
       [](const ConvertOptions& o) {
         EXPECT_EQ(o.codeDisplay, 0);
         EXPECT_EQ(o.skipIdle, 1);
         EXPECT_EQ(o.skipTimeStamp, 1);
         EXPECT_EQ(o.skipGuide, 0);
       }},
      {"ASYNC with stamps, other frames",
       stamped,
       "3\n2\n2\n",
       {kFormat3, kDataLine, kBscOrOther},
       2,
       [](const ConvertOptions& o) { EXPECT_EQ(o.dataLine, 1); }},
      {"ASYNC with stamps, BSC",
       stamped,
       "3\n1\n1\n2\n2\n",
       {kFormat3, kDataLine, kBscOrOther, kSkip, kGuide},
       1,
       [](const ConvertOptions& o) { EXPECT_EQ(o.skipGuide, 1); }},
      {"SYNC translates BSC",
       withProtocol(1, 1),
       "3\n3\n1\n1\n",
       {kFormat3, kDataLine, kSkip, kGuide},
       1,
       [](const ConvertOptions& o) { EXPECT_EQ(o.dataLine, 2); }},
      // HDLC ends after the level; the report keeps its header box.
      {"HDLC",
       withProtocol(2),
       "2\n1\n2\n",
       {kFormat2, kDataLine, kLevel},
       2,
       [](const ConvertOptions& o) { EXPECT_EQ(o.skipGuide, 0); }},
      {"HDLC with filter",
       withProtocol(8),
       "2\n1\n2\n",
       {kFormat2, kDataLine, kLevel},
       2,
       [](const ConvertOptions& o) { EXPECT_EQ(o.skipGuide, 0); }},
      {"PPP", withProtocol(3, 1), "3\n1\n1\n", {kFormat3, kDataLine, kPppType}, 1},
      {"IrDA", withProtocol(4), "2\n1\n", {kFormat2, kDataLine}, 1},
      {"I2C", withProtocol(5), "2\n1\n", {kFrameFormat2, kDataLine}, 1},
      {"SPI", withProtocol(10, 1), "3\n2\n", {kFrameFormat3, kDataLine}, 1},
      {"BURST has no format question",
       withProtocol(6, 1),
       "1\n3\n1\n1\n",
       {kDataLine, kCode, kSkip, kGuide},
       0,
       [](const ConvertOptions& o) {
         EXPECT_EQ(o.codeDisplay, 2);
         EXPECT_EQ(o.lineStateFormat, 0);
       }},
      {"Normal format",
       withProtocol(2, 1),
       "1\n2\n2\n2\n2\n",
       {kFormat3, kDataLine, kCode, kSkip, kGuide},
       0,
       [](const ConvertOptions& o) {
         EXPECT_EQ(o.dataLine, 1);
         EXPECT_EQ(o.codeDisplay, 1);
         EXPECT_EQ(o.skipIdle, 1);
         EXPECT_EQ(o.skipGuide, 1);
         EXPECT_EQ(o.printCode, -1);
         EXPECT_EQ(o.printColumns, 80);
       }},
      {"Line state format asks the selection before the code",
       withProtocol(0, 1),
       "2\n1\n0257\n1\n1\n1\n",
       {kFormat3, kDataLine, kLineState, kCode, kSkip, kGuide},
       0,
       [](const ConvertOptions& o) {
         EXPECT_EQ(o.lineStateFormat, 1);
         const int8_t expected[12] = {0, 2, 5, 7, -1, -1, -1, -1, -1, -1, -1, -1};
         EXPECT_TRUE(std::equal(expected, expected + 12, o.lineStateSelection));
       }},
      // 3 is out of range for the two-choice question; 2 means Translate, not Line state.
      {"two-choice format question",
       withProtocol(0),
       "3\n2\n1\n1\n1\n",
       {kFormat2, kFormat2, kDataLine, kSkip, kGuide},
       1,
       [](const ConvertOptions& o) { EXPECT_EQ(o.lineStateFormat, 0); }},
  };
  for (const QuestionCase& c : cases) {
    SCOPED_TRACE(c.what);
    const DialogueRun run = dialogue(c.conditions, c.answers);
    std::string console = kFileNames;
    for (const std::string& prompt : c.prompts) console += prompt;
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.console, console);
    EXPECT_EQ(run.frameType, c.frameType);
    EXPECT_EQ(run.savePath, "report.txt");
    c.expectOptions(run.options);
  }
}

// ---- Reading numeric answers ----

struct NumericCase {
  const char* answers;  // typed at the data line question
  int prompts;          // how often the question is written
  uint8_t dataLine;     // the accepted answer - 1
};

TEST(NumericAnswers, LeadingNumberIsTakenAndOutOfRangeAsksAgain) {
  const std::string longBlanks = std::string(255, ' ') + "2\n";
  const std::string lastPieceCounts = "2" + std::string(254, 'x') + "9\n1\n";
  const NumericCase cases[] = {
      {"2abc\n", 1, 1},
      {" 3\n", 1, 2},
      {"+2\n", 1, 1},
      {"0\n3\n", 2, 2},
      {"x\n1\n", 2, 0},
      {"\n2\n", 2, 1},
      {"-1\n-0\n2\n", 3, 1},
      {"4\n1\n", 2, 0},
      {"4294967298\n2\n", 2, 1},  // not 2 by wrapping around
      {"99999999999999999999999\n3\n", 2, 2},
      {"-4294967295\n3\n", 2, 2},
      {longBlanks.c_str(), 1, 1},       // the number is in the second 255-character piece
      {lastPieceCounts.c_str(), 2, 0},  // "2..." then "9": the last piece decides
      {"3", 1, 2},                      // a last answer without its newline still counts
  };
  for (const NumericCase& c : cases) {
    const DialogueRun run = dialogue(withProtocol(4), std::string("2\n") + c.answers);
    EXPECT_EQ(run.result, 1) << c.answers;
    EXPECT_EQ(run.console, std::string(kFileNames) + kFormat2 + repeat(kDataLine, c.prompts))
        << c.answers;
    EXPECT_EQ(run.options.dataLine, c.dataLine) << c.answers;
  }
}

// ---- Reading file names ----

TEST(FileNameAnswers, EmptyOrNulNamesAreAskedAgainAndBlanksAreKept) {
  const std::string path = writeCapture(withProtocol(4));
  const DialogueRun run =
      runAnswers("\n\n" + path + "\n\n" + std::string("rep\0ort\n", 8) + " my report \n2\n1\n");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.console,
            "Data filename ? Data filename ? Data filename ? Save filename ? Save filename ? "
            "Save filename ? \n" +
                std::string(kFormat2) + kDataLine);
  EXPECT_EQ(run.savePath, " my report ");
}

TEST(FileNameAnswers, NameMustFitTheAnswerBufferWithItsNewline) {
  const std::string path = writeCapture(withProtocol(4));
  const std::string longest(254, 'r');
  DialogueRun run = runAnswers(path + "\n" + longest + "\n2\n1\n");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.savePath, longest);

  // 255 characters and more are refused whole; the rest of the line is no answer.
  for (size_t length : {255u, 256u, 600u}) {
    run = runAnswers(path + "\n" + std::string(length, 's') + "\nreport\n2\n1\n");
    EXPECT_EQ(run.result, 1) << length;
    EXPECT_EQ(run.savePath, "report") << length;
    EXPECT_EQ(run.console, "Data filename ? Save filename ? Save filename ? \n" +
                               std::string(kFormat2) + kDataLine)
        << length;
  }
}

TEST(FileNameAnswers, DataFileNameIsUsedAsTyped) {
  const std::string path = writeCapture(withProtocol(4));
  const std::string blankNamed = test::tempPath(" blank named ");
  std::rename(path.c_str(), blankNamed.c_str());
  const DialogueRun run = runAnswers(blankNamed + "\nr\n2\n1\n");
  EXPECT_EQ(run.result, 1);
  const DialogueRun trimmed = runAnswers(test::tempPath("blank named") + "\nr\n");
  EXPECT_EQ(trimmed.result, 0);
  EXPECT_EQ(trimmed.console, "Data filename ? Can't open data file.\n");
}

// ---- Line state selection ----

struct SelectionCase {
  const char* answers;
  int prompts;
  std::vector<int8_t> selection;
};

TEST(LineStateAnswers, DigitsZeroToSevenUpToEight) {
  const std::string tooLong = std::string(300, '1') + "\n2\n";
  const SelectionCase cases[] = {
      {"0257\n", 1, {0, 2, 5, 7}}, {"0 2\n1\n", 2, {1}},
      {"012345670\n3\n", 2, {3}},  {"01234567\n", 1, {0, 1, 2, 3, 4, 5, 6, 7}},
      {"\n\n6\n", 3, {6}},         {"0129\n5\n", 2, {5}},
      {"33\n", 1, {3, 3}},         {"8\n-1\n+1\n1a\n4\n", 5, {4}},
      {tooLong.c_str(), 2, {2}},
  };
  for (const SelectionCase& c : cases) {
    const DialogueRun run =
        dialogue(withProtocol(3, 1), std::string("2\n1\n") + c.answers + "1\n1\n1\n");
    EXPECT_EQ(run.result, 1) << c.answers;
    EXPECT_EQ(run.console, std::string(kFileNames) + kFormat3 + kDataLine +
                               repeat(kLineState, c.prompts) + kCode + kSkip + kGuide)
        << c.answers;
    std::vector<int8_t> expected = c.selection;
    expected.resize(12, -1);
    EXPECT_EQ(
        std::vector<int8_t>(run.options.lineStateSelection, run.options.lineStateSelection + 12),
        expected)
        << c.answers;
  }
}

// ---- End of input ----

TEST(EndOfInput, EveryQuestionEndsTheDialogueSilently) {
  const build::Conditions stamped{.stampFlag1 = 1, .lineStateRecorded = 1};
  struct Path {
    build::Conditions conditions;
    std::vector<std::string> answers;
    std::vector<std::string> prompts;  // after the file names
  };
  const Path paths[] = {
      {withProtocol(0, 1),
       {"2", "1", "01"},
       {kFormat3, kDataLine, kLineState, kCode, kSkip, kGuide}},
      {stamped, {"3", "1"}, {kFormat3, kDataLine, kBscOrOther}},
      {withProtocol(2), {"2", "1"}, {kFormat2, kDataLine, kLevel}},
      {withProtocol(3), {"2", "1"}, {kFormat2, kDataLine, kPppType}},
  };
  for (const Path& path : paths) {
    const std::string data = writeCapture(path.conditions);
    // Before and after the save file name.
    DialogueRun run = runAnswers("");
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.console, "Data filename ? ");
    run = runAnswers(data + "\n");
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.console, "Data filename ? Save filename ? ");

    std::string answers = data + "\nreport\n";
    std::string console = kFileNames;
    for (size_t i = 0; i < path.prompts.size(); ++i) {
      console += path.prompts[i];
      run = runAnswers(answers);
      EXPECT_EQ(run.result, 0) << path.prompts[i];
      EXPECT_EQ(run.console, console);
      answers += (i < path.answers.size() ? path.answers[i] : std::string("1")) + "\n";
    }
  }
}

}  // namespace
}  // namespace qv
