// Whole program runs in-process: banner, dialogue, dispatch of one runner, completion.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "capture_builder.h"
#include "driver/program.h"
#include "report_text.h"
#include "session.h"
#include "test_support.h"

namespace qv {
namespace {

using test::kBanner;

std::vector<uint8_t> captureOf(int protocol, uint8_t lineStateRecorded = 0) {
  return build::CaptureBuilder()
      .dinf({.protocol = protocol, .lineStateRecorded = lineStateRecorded})
      .mond({build::sdChar('H'), build::rdChar('i')})
      .bytes();
}

std::string frameTitle(const std::string& title) {
  return "* MONITOR DATA " + title + std::string(22 - title.size(), ' ') + " *";
}
const std::string kListingTitle = "* MONITOR DATA " + std::string(23, ' ') + "*";
const std::string kBscTitle = "* MONITOR DATA (BSC TRANSLATE)        *";

std::string secondLine(const std::string& report) {
  const size_t start = report.find('\n');
  if (start == std::string::npos) return "";
  const size_t end = report.find('\n', start + 1);
  return report.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

TEST(Session, NewUserListsACaptureFromStartToEnd) {
  const test::Conversion run = test::convert(captureOf(0), "1\n1\n1\n1\n1\n");
  EXPECT_EQ(run.session.status, 0);
  EXPECT_EQ(run.session.console,
            std::string(kBanner) +
                "Data filename ? Save filename ? \n"
                "Print format (1:Normal, 2:Translate) ? "
                "Select data line (1:SD & RD, 2:SD, 3:RD) ? "
                "Select code (1:Char. & Hex., 2:Char., 3:Hex.) ? "
                "Skip IDLE/TMSP (1:No, 2:Yes) ? "
                "Skip guide (1:No, 2:Yes) ? "
                "Convert start.\n"
                "Complete.\n");
  // Relies on the record listing runner: it writes the boxed header first.
  EXPECT_EQ(run.report.rfind("*=[KOVREN]", 0), 0u);
}

TEST(Session, FailedDialogueWritesNothingAfterIt) {
  test::Conversion run = test::convert({}, "");
  EXPECT_EQ(run.session.status, 1);
  EXPECT_EQ(run.session.console, std::string(kBanner) + "Data filename ? Data file error.\n");
  EXPECT_EQ(run.report, "");

  // Input ends at the save file name question.
  const std::string data = test::tempPath("session-eof.cap");
  test::writeFile(data, captureOf(2));
  const test::SessionResult eof = test::runSession(data + "\n");
  EXPECT_EQ(eof.status, 1);
  EXPECT_EQ(eof.console, std::string(kBanner) + "Data filename ? Save filename ? ");
}

TEST(Session, UnwritableReportStillCompletes) {
  const std::string data = test::tempPath("session-unwritable.cap");
  test::writeFile(data, captureOf(2));
  const std::string report = test::tempPath("no-such-directory/report.txt");
  const test::SessionResult run = test::runSession(data + "\n" + report + "\n2\n1\n1\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.console, std::string(kBanner) +
                             "Data filename ? Save filename ? \n"
                             "Print format (1:Normal, 2:Translate) ? "
                             "Select data line (1:SD & RD, 2:SD, 3:RD) ? "
                             "Translate level (1:Frame, 2:Packet) ? "
                             "Convert start.\n"
                             "Can't create print data file.\n"
                             "Complete.\n");
  EXPECT_FALSE(std::filesystem::exists(report));
}

// Which runner the dispatch starts, told apart by the title line each one writes.
// Relies on every runner writing the title line of its report kind.
TEST(Dispatch, RunnerByProtocolAndTranslationKind) {
  struct Case {
    int protocol;
    const char* answers;  // after the file names, without line states recorded
    std::string title;
  };
  const Case cases[] = {
      {0, "1\n1\n1\n1\n1\n", kListingTitle},
      {0, "2\n1\n1\n1\n", kBscTitle},
      {1, "2\n1\n1\n1\n", kBscTitle},
      {2, "2\n1\n1\n", frameTitle("(SDLC FRAME)")},
      {8, "2\n1\n2\n", frameTitle("(X.25 PACKET)")},
      {3, "2\n1\n1\n", frameTitle("(PPP TRANSLATION)")},
      {3, "2\n1\n2\n", frameTitle("(PPP FRAME DUMP)")},
      {4, "2\n1\n", frameTitle("(IrLAP FRAME)")},
      {5, "2\n1\n", frameTitle("(I2C FRAME DUMP)")},
      {10, "2\n1\n", frameTitle("(SPI FRAME DUMP)")},
      {6, "1\n1\n1\n1\n", kListingTitle},
  };
  for (const Case& c : cases) {
    const test::Conversion run = test::convert(captureOf(c.protocol), c.answers);
    EXPECT_EQ(run.session.status, 0) << c.protocol << " " << c.answers;
    EXPECT_EQ(secondLine(run.report), c.title) << c.protocol << " " << c.answers;
  }

  const auto asyncFrames = build::CaptureBuilder().dinf({.stampFlag1 = 1}).mond({build::sdChar('a')}).bytes();
  const test::Conversion run = test::convert(asyncFrames, "2\n1\n2\n");
  EXPECT_EQ(secondLine(run.report), frameTitle("(ASYNC FRAME DATA)"));
}

// Combinations the dialogue never produces run nothing: no report file is made.
TEST(Dispatch, CombinationsWithoutARunnerMakeNoReport) {
  struct Case {
    int protocol;
    int frameType;
  };
  const Case cases[] = {{6, 1}, {6, 2}, {2, 3}, {0, -1}, {4, 7}};
  for (const Case& c : cases) {
    const std::string data = test::tempPath("dispatch-none.cap");
    const std::string report = test::tempPath("dispatch-none.txt");
    test::writeFile(data, captureOf(c.protocol));
    std::istringstream in;
    std::ostringstream out;
    auto program = std::make_unique<Program>(in, out);
    ASSERT_EQ(program->capture.loadCaptureFile(data, out), 1);
    program->printFile.setSavePath(report);
    program->frameType = c.frameType;
    program->dispatchConversion();
    EXPECT_FALSE(std::filesystem::exists(report)) << c.protocol << "/" << c.frameType;
    EXPECT_EQ(out.str(), "");
  }
}

}  // namespace
}  // namespace qv
