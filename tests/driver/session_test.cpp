// Whole program runs in-process: banner, dialogue, dispatch of one runner, completion.
#include "session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <streambuf>

#include "capture_builder.h"
#include "driver/program.h"
#include "report_text.h"
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

// Dialogue answers that do something between the first answer and the rest: the capture
// is loaded after the first, so the action falls between the load and the conversion.
class AnswersWithAction : public std::streambuf {
 public:
  AnswersWithAction(std::string first, std::string rest, std::function<void()> action)
      : first_(std::move(first)), rest_(std::move(rest)), action_(std::move(action)) {}

 protected:
  int_type underflow() override {
    std::string* next = nullptr;
    if (stage_ == 0) next = &first_;
    if (stage_ == 1) {
      action_();
      next = &rest_;
    }
    if (next == nullptr) return traits_type::eof();
    ++stage_;
    setg(next->data(), next->data(), next->data() + next->size());
    return traits_type::to_int_type(next->front());
  }

 private:
  std::string first_;
  std::string rest_;
  std::function<void()> action_;
  int stage_ = 0;
};

// The capture file is cut short, or rewritten in place, after it was loaded and before
// the conversion: the report, which may mix two captures, does not replace the earlier
// one, and the run fails. A save by rename leaves the loaded capture as it was.
TEST(Session, CaptureChangedBeforeTheConversionKeepsTheEarlierReport) {
  namespace fs = std::filesystem;
  const std::vector<uint32_t> words(5000, build::sdChar('Q'));
  const std::vector<uint8_t> capture =
      build::CaptureBuilder().dinf({.protocol = 0}).mond(words).bytes();
  const std::string data = test::tempPath("changing-session.cap");
  const std::string report = test::tempPath("changing-session.txt");
  const std::string answers = report + "\n1\n1\n1\n1\n1\n";
  const std::string earlier = "the earlier report\n";
  struct Change {
    const char* name;
    std::function<void()> apply;
    bool fails;
  };
  const Change changes[] = {
      {"cut short", [&] { ASSERT_EQ(::truncate(data.c_str(), 16), 0); }, true},
      {"rewritten in place",
       [&] {
         std::fstream file(data, std::ios::in | std::ios::out | std::ios::binary);
         file.seekp(static_cast<std::streamoff>(capture.size() / 2));
         file.write("\0\0\0\0", 4);
       },
       true},
      {"replaced by rename",
       [&] {
         test::writeFile(data + ".new", captureOf(0));
         fs::rename(data + ".new", data);
       },
       false},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.name);
    test::writeFile(data, capture);
    // Saved long ago, as captures are: a rewrite now moves the modification time.
    const timespec longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, data.c_str(), longAgo, 0), 0);
    test::writeFile(report, std::vector<uint8_t>(earlier.begin(), earlier.end()));
    AnswersWithAction answerBuffer(data + "\n", answers, change.apply);
    std::istream in(&answerBuffer);
    std::ostringstream console;
    auto program = std::make_unique<Program>(in, console);
    const int status = program->main();
    program.reset();
    const std::string tail =
        change.fails ? "Data file changed during conversion.\nComplete.\n" : "Complete.\n";
    EXPECT_EQ(status, change.fails ? 1 : 0);
    EXPECT_TRUE(console.str().ends_with("Convert start.\n" + tail)) << console.str();
    if (change.fails) {
      EXPECT_EQ(test::readFile(report), earlier);
    } else {
      EXPECT_EQ(test::maskTopLine(test::readFile(report)),
                test::convert(capture, "1\n1\n1\n1\n1\n").report);
    }
    for (const auto& entry : fs::directory_iterator(fs::path(report).parent_path()))
      EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
  }
}

TEST(Session, NewUserListsACaptureFromStartToEnd) {
  const test::Conversion run = test::convert(captureOf(0), "1\n1\n1\n1\n1\n");
  EXPECT_EQ(run.session.status, 0);
  EXPECT_EQ(run.session.console, std::string(kBanner) +
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

// The console lines stay those of a completed run; the status tells that the report is
// missing or incomplete.
TEST(Session, ReportThatCannotBeCreatedOrWrittenEndsWithStatusOne) {
  const std::string data = test::tempPath("session-unwritable.cap");
  test::writeFile(data, captureOf(2));
  const std::string directory = test::tempPath("session-a-directory");
  std::filesystem::create_directories(directory);
  const struct {
    std::string report;
    const char* message;
  } cases[] = {
      {test::tempPath("no-such-directory/report.txt"), "Can't create print data file.\n"},
      {directory, "Can't create print data file.\n"},
      {"/dev/full", "Can't write print data file.\n"},
  };
  for (const auto& c : cases) {
    const test::SessionResult run = test::runSession(data + "\n" + c.report + "\n2\n1\n1\n");
    EXPECT_EQ(run.status, 1) << c.report;
    EXPECT_EQ(run.console, std::string(kBanner) +
                               "Data filename ? Save filename ? \n"
                               "Print format (1:Normal, 2:Translate) ? "
                               "Select data line (1:SD & RD, 2:SD, 3:RD) ? "
                               "Translate level (1:Frame, 2:Packet) ? "
                               "Convert start.\n" +
                               c.message + "Complete.\n");
  }
  EXPECT_FALSE(std::filesystem::exists(test::tempPath("no-such-directory/report.txt")));
}

// Every spelling of the capture's own file is refused as the report and asked again; the
// capture keeps its bytes.
TEST(Session, SaveFileThatIsTheDataFileIsAskedAgain) {
  namespace fs = std::filesystem;
  const fs::path directory = test::tempPath("session-victim");
  fs::create_directories(directory);
  const std::string data = (directory / "victim.cap").string();
  const std::vector<uint8_t> capture = captureOf(2);
  test::writeFile(data, capture);
  fs::remove(directory / "symlink.cap");
  fs::remove(directory / "hardlink.cap");
  fs::create_symlink(data, directory / "symlink.cap");
  fs::create_hard_link(data, directory / "hardlink.cap");
  const std::string report = (directory / "report.txt").string();

  const std::string sameFile[] = {data, (directory / "symlink.cap").string(),
                                  (directory / "hardlink.cap").string(),
                                  (directory / ".." / "session-victim" / "victim.cap").string()};
  for (const std::string& spelling : sameFile) {
    const test::SessionResult run =
        test::runSession(data + "\n" + spelling + "\n" + report + "\n2\n1\n1\n");
    EXPECT_EQ(run.status, 0) << spelling;
    EXPECT_EQ(run.console, std::string(kBanner) +
                               "Data filename ? Save filename ? Save file is the data file.\n"
                               "Save filename ? \n"
                               "Print format (1:Normal, 2:Translate) ? "
                               "Select data line (1:SD & RD, 2:SD, 3:RD) ? "
                               "Translate level (1:Frame, 2:Packet) ? "
                               "Convert start.\n"
                               "Complete.\n")
        << spelling;
    const std::string kept = test::readFile(data);
    EXPECT_EQ(std::vector<uint8_t>(kept.begin(), kept.end()), capture) << spelling;
    EXPECT_EQ(test::readFile(report).rfind("*=[KOVREN]", 0), 0u) << spelling;
  }
}

// Answers typed or saved with CR LF line ends give the run of LF line ends.
TEST(Session, CarriageReturnsBeforeLineFeedsAreDropped) {
  const std::vector<uint8_t> capture = captureOf(0, 1);
  const std::string answers = "2\n1\n0257\n1\n1\n2\n";
  std::string crlf;
  for (const char ch : answers) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  const test::Conversion plain = test::convert(capture, answers);
  ASSERT_EQ(plain.session.status, 0);
  const std::string data = test::tempPath("session-crlf.cap");
  const std::string report = test::tempPath("session-crlf.txt");
  test::writeFile(data, capture);
  const test::SessionResult run = test::runSession(data + "\r\n" + report + "\r\n" + crlf);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.console, plain.session.console);
  EXPECT_EQ(test::maskTopLine(test::readFile(report)), plain.report);
}

// A console that remembers what had been flushed each time it was flushed.
class FlushLog : public std::stringbuf {
 public:
  std::vector<std::string> flushed;

 protected:
  int sync() override {
    flushed.push_back(str());
    return 0;
  }
};

TEST(Session, ConvertStartIsOnTheConsoleBeforeTheConversionRuns) {
  const std::string data = test::tempPath("session-flush.cap");
  test::writeFile(data, captureOf(2));
  std::istringstream in(data + "\n" + test::tempPath("session-flush.txt") + "\n2\n1\n1\n");
  FlushLog log;
  std::ostream console(&log);
  {
    auto program = std::make_unique<Program>(in, console);
    ASSERT_EQ(program->main(), 0);
  }
  const auto endsWithConvertStart = [](const std::string& text) {
    return text.size() >= 15 && text.compare(text.size() - 15, 15, "Convert start.\n") == 0;
  };
  EXPECT_TRUE(std::any_of(log.flushed.begin(), log.flushed.end(), endsWithConvertStart));
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

  const auto asyncFrames =
      build::CaptureBuilder().dinf({.stampFlag1 = 1}).mond({build::sdChar('a')}).bytes();
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
