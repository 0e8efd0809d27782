#include "report/print_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace qv {
namespace {

class PrintFileTest : public ::testing::Test {
 protected:
  PrintFileTest() : file(console) { file.setSavePath(test::tempPath("print_file_report.txt")); }

  std::string report() const { return test::readFile(file.savePath()); }

  std::ostringstream console;
  PrintFile file;
};

TEST_F(PrintFileTest, WritesCharactersStringsAndFormattedText) {
  ASSERT_EQ(file.open(), 1);
  EXPECT_FALSE(file.isFailed());
  file.putChar('A');
  file.putString(" line");
  EXPECT_EQ(file.print("%-6s|%02d|%d", "ab", 7, -3), 12);
  file.putChar('\n');
  EXPECT_EQ(file.close(), 0);
  EXPECT_EQ(report(), "A lineab    |07|-3\n");
  EXPECT_EQ(console.str(), "");
}

TEST_F(PrintFileTest, OpenReplacesAnExistingFile) {
  test::writeFile(file.savePath(), {'o', 'l', 'd', '\n', 'x'});
  ASSERT_EQ(file.open(), 1);
  file.putString("new\n");
  file.close();
  EXPECT_EQ(report(), "new\n");
}

TEST_F(PrintFileTest, CountsSixtySixLinesToAPageWithoutABreakInTheFile) {
  ASSERT_EQ(file.open(), 1);
  for (int i = 0; i < 65; ++i) file.putChar('\n');
  EXPECT_EQ(file.lineOnPage(), 65);
  EXPECT_EQ(file.pageCount(), 0);
  file.putChar('\n');  // the 66th line ends the page
  EXPECT_EQ(file.lineOnPage(), 0);
  EXPECT_EQ(file.pageCount(), 1);
  for (int i = 0; i < 66; ++i) file.newLine();
  EXPECT_EQ(file.pageCount(), 2);
  file.close();
  EXPECT_EQ(report(), std::string(132, '\n'));
}

TEST_F(PrintFileTest, FormFeedWritesSixEmptyLinesAndCountsAPage) {
  ASSERT_EQ(file.open(), 1);
  file.putString("ab\n");
  file.putString("x\fy");
  EXPECT_EQ(file.pageCount(), 1);
  EXPECT_EQ(file.lineOnPage(), 0);
  file.print("%s", "\f");
  EXPECT_EQ(file.pageCount(), 2);
  file.close();
  EXPECT_EQ(report(), "ab\nx\n\n\n\n\n\ny\n\n\n\n\n\n");
}

// Newlines and form feeds anywhere in a string, next to each other or at its ends.
TEST_F(PrintFileTest, StringsWithNewlinesAndFormFeedsInAnyOrder) {
  const struct {
    const char* text;
    const char* written;
    int lines;
    int pages;
  } cases[] = {
      {"plain", "plain", 0, 0},
      {"\n\nab\n", "\n\nab\n", 3, 0},
      {"a\nb\fc\nd", "a\nb\n\n\n\n\n\nc\nd", 1, 1},
      {"\f\f", "\n\n\n\n\n\n\n\n\n\n\n\n", 0, 2},
      {"x\f\ny\n\f", "x\n\n\n\n\n\n\ny\n\n\n\n\n\n\n", 0, 2},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(file.open(), 1);
    file.putString(c.text);
    EXPECT_EQ(file.lineOnPage(), c.lines) << c.text;
    EXPECT_EQ(file.pageCount(), c.pages) << c.text;
    file.close();
    EXPECT_EQ(report(), c.written) << c.text;
  }
}

TEST_F(PrintFileTest, CountersRestartOnOpenAndReset) {
  ASSERT_EQ(file.open(), 1);
  for (int i = 0; i < 70; ++i) file.newLine();
  EXPECT_EQ(file.pageCount(), 1);
  EXPECT_EQ(file.lineOnPage(), 4);
  file.resetCounters();
  EXPECT_EQ(file.pageCount(), 0);
  EXPECT_EQ(file.lineOnPage(), 0);
  file.newPage();
  file.close();
  ASSERT_EQ(file.open(), 1);
  EXPECT_EQ(file.pageCount(), 0);
  file.close();
}

TEST_F(PrintFileTest, FailedOpenReportsOnceAndMakesEveryWriteANoOp) {
  file.setSavePath(test::tempPath("no-such-directory/report.txt"));
  EXPECT_EQ(file.open(), 0);
  EXPECT_EQ(console.str(), "Can't create print data file.\n");
  EXPECT_TRUE(file.isFailed());
  EXPECT_FALSE(file.isOpen());
  file.putString("text\n\fmore");
  EXPECT_EQ(file.print("%d", 12345), 5);
  EXPECT_EQ(file.pageCount(), 0);
  EXPECT_EQ(file.close(), 0);
  EXPECT_EQ(console.str(), "Can't create print data file.\n");
}

TEST_F(PrintFileTest, CloseWithNothingOpenReturnsZeroAndLaterWritesGoNowhere) {
  EXPECT_EQ(file.close(), 0);
  ASSERT_EQ(file.open(), 1);
  file.putString("kept\n");
  EXPECT_EQ(file.close(), 0);
  EXPECT_EQ(file.close(), 0);
  file.putString("after close\n");
  EXPECT_EQ(report(), "kept\n");
}

TEST_F(PrintFileTest, PrintTruncatesTextBeyondItsBuffer) {
  ASSERT_EQ(file.open(), 1);
  const std::string longText(400, 'x');
  EXPECT_EQ(file.print("%s", longText.c_str()), 255);
  file.close();
  EXPECT_EQ(report(), std::string(255, 'x'));
}

// Whole lines handed over at once count as the same lines written one by one would.
TEST_F(PrintFileTest, LinesHandedOverAtOnceCountAsSingleLines) {
  ASSERT_EQ(file.open(), 1);
  std::string block;
  for (int i = 0; i < 50; ++i) block += "row\n";
  EXPECT_EQ(file.linesBeforePage(2), 132);
  const auto handOver = [&] {
    char* room = file.reserve(block.size());
    ASSERT_NE(room, nullptr);
    std::memcpy(room, block.data(), block.size());
    file.commitLines(room + block.size(), 50);
  };
  handOver();
  EXPECT_EQ(file.lineOnPage(), 50);
  EXPECT_EQ(file.linesBeforePage(2), 82);
  handOver();
  EXPECT_EQ(file.pageCount(), 1);
  EXPECT_EQ(file.lineOnPage(), 34);
  EXPECT_EQ(file.linesBeforePage(1), 0);
  file.putString("end\n");
  file.close();
  EXPECT_EQ(report(), block + block + "end\n");
}

// Rows formatted in the writer's own buffer arrive in order with the other writes,
// wherever the buffer's end falls among them, and a piece longer than the whole buffer
// goes out whole; once closed, the writer lends no room.
TEST_F(PrintFileTest, ReservedRowsAndLongPiecesArriveInOrder) {
  ASSERT_EQ(file.open(), 1);
  std::string expected;
  int lines = 0;
  for (int i = 0; i < 40000; ++i) {
    char row[80];
    const int length =
        std::snprintf(row, sizeof row, "row %05d %.*s\n", i, i % 61,
                      "..............................................................");
    char* room = file.reserve(PrintFile::kMaxReserve);
    ASSERT_NE(room, nullptr);
    std::memcpy(room, row, static_cast<size_t>(length));
    file.commitLines(room + length, 1);
    expected += row;
    ++lines;
    if (i % 997 == 0) {
      file.putString("between\n");
      expected += "between\n";
      ++lines;
    }
  }
  const std::string longPiece(3 << 20, 'y');
  file.putString(longPiece.c_str());
  file.putChar('\n');
  expected += longPiece + "\n";
  ++lines;
  EXPECT_EQ(file.pageCount() * 66 + file.lineOnPage(), lines);
  EXPECT_EQ(file.close(), 0);
  EXPECT_EQ(file.reserve(1), nullptr);
  EXPECT_EQ(report(), expected);
}

// The sizes of the writes that reach a stream, and what they carried.
struct WriteLog {
  std::vector<size_t> sizes;
  std::string data;
};

std::FILE* loggingStream(WriteLog& log) {
  cookie_io_functions_t functions{};
  functions.write = [](void* cookie, const char* bytes, size_t size) -> ssize_t {
    auto* log = static_cast<WriteLog*>(cookie);
    log->sizes.push_back(size);
    log->data.append(bytes, size);
    return static_cast<ssize_t>(size);
  };
  std::FILE* stream = fopencookie(&log, "w", functions);
  if (stream != nullptr) std::setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

// Every write but the last is one whole block, so that the file is filled a whole number
// of pages at a time, however the rows and strings fall across the blocks' ends.
TEST_F(PrintFileTest, ReportGoesOutInWholeBlocks) {
  WriteLog log;
  std::FILE* stream = loggingStream(log);
  ASSERT_NE(stream, nullptr);
  file.useStream(stream);
  ASSERT_EQ(file.open(), 1);
  std::string expected;
  for (int i = 0; i < 60000; ++i) {
    const std::string row =
        "row " + std::to_string(i) + std::string(static_cast<size_t>(i % 97), '.') + "\n";
    if (i % 3 == 0) {
      file.putString(row.c_str());
    } else {
      char* room = file.reserve(PrintFile::kMaxReserve);
      ASSERT_NE(room, nullptr);
      std::memcpy(room, row.data(), row.size());
      file.commitLines(room + row.size(), 1);
    }
    expected += row;
    if (i == 30000) {
      // A piece longer than the whole buffer keeps the blocks whole as well.
      const std::string longPiece(PrintFile::kBlockSize * 3 + 12345, 'y');
      file.putString(longPiece.c_str());
      expected += longPiece;
    }
  }
  EXPECT_EQ(file.close(), 0);
  std::fclose(stream);
  EXPECT_EQ(log.data, expected);
  ASSERT_GE(log.sizes.size(), 3u);
  EXPECT_TRUE(std::all_of(log.sizes.begin(), log.sizes.end() - 1,
                          [](size_t size) { return size == PrintFile::kBlockSize; }));
  EXPECT_LE(log.sizes.back(), PrintFile::kBlockSize + PrintFile::kMaxReserve);
}

TEST_F(PrintFileTest, LargeOutputArrivesWholeAndInOrder) {
  ASSERT_EQ(file.open(), 1);
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    file.print("line %05d\n", i);
    char line[16];
    std::snprintf(line, sizeof line, "line %05d\n", i);
    expected += line;
  }
  file.close();
  EXPECT_EQ(report(), expected);
}

// A device that is full accepts the open but rejects the data: the run must learn of it.
TEST_F(PrintFileTest, WriteFailureOnAFullDeviceIsReportedOnceAndStopsWriting) {
  file.setSavePath("/dev/full");
  ASSERT_EQ(file.open(), 1);
  const std::string line(79, 'x');
  for (int i = 0; i < 40000 && !file.isFailed(); ++i) {
    file.putString(line.c_str());
    file.putChar('\n');
  }
  EXPECT_TRUE(file.isFailed());
  file.putString("more text after the failure\n");
  EXPECT_NE(file.close(), 0);
  EXPECT_EQ(console.str(), "Can't write print data file.\n");
}

TEST_F(PrintFileTest, WriteFailureDetectedAtCloseWhenTheDataFitOneBlock) {
  file.setSavePath("/dev/full");
  ASSERT_EQ(file.open(), 1);
  file.putString("short report\n");
  EXPECT_FALSE(file.isFailed());
  EXPECT_NE(file.close(), 0);
  EXPECT_TRUE(file.isFailed());
  EXPECT_EQ(console.str(), "Can't write print data file.\n");
}

// ---- Replacing an earlier report ----

namespace fs = std::filesystem;

// The names in a directory other than the given ones: temporary files left behind.
std::vector<std::string> strayFiles(const fs::path& directory, std::vector<std::string> known) {
  std::vector<std::string> stray;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    const std::string name = entry.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) stray.push_back(name);
  }
  return stray;
}

class ReplaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int sequence = 0;
    directory = test::tempPath("replace-" + std::to_string(++sequence));
    fs::create_directories(directory);
    report = (directory / "report.txt").string();
    test::writeFile(report, {'o', 'l', 'd', '\n'});
    ::chmod(report.c_str(), 0640);
    file.setSavePath(report);
  }

  fs::path directory;
  std::string report;
  std::ostringstream console;
  PrintFile file{console};
};

TEST_F(ReplaceTest, EarlierReportStaysUntilTheNewOneIsClosedAndKeepsItsMode) {
  ASSERT_EQ(file.open(), 1);
  file.putString(std::string(100000, 'x').c_str());
  file.putChar('\n');
  EXPECT_EQ(test::readFile(report), "old\n");
  EXPECT_EQ(strayFiles(directory, {"report.txt"}).size(), 1u);  // the report being written
  EXPECT_EQ(file.close(), 0);
  EXPECT_EQ(test::readFile(report), std::string(100000, 'x') + "\n");
  EXPECT_TRUE(strayFiles(directory, {"report.txt"}).empty());
  struct stat status {};
  ASSERT_EQ(::stat(report.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST_F(ReplaceTest, FailedWriteKeepsTheEarlierReportAndLeavesNoTemporaryFile) {
  // A file size limit makes the write fail as a full disk would.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit limited = saved;
  limited.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  ASSERT_EQ(file.open(), 1);
  for (int i = 0; i < 2000 && !file.isFailed(); ++i) file.putString("a line of the report\n");
  const int closed = file.close();
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_NE(closed, 0);
  EXPECT_TRUE(file.failureReported());
  EXPECT_EQ(console.str(), "Can't write print data file.\n");
  EXPECT_EQ(test::readFile(report), "old\n");
  EXPECT_TRUE(strayFiles(directory, {"report.txt"}).empty());
}

TEST_F(ReplaceTest, SymbolicLinkKeepsPointingAtTheReplacedReport) {
  const fs::path link = directory / "link.txt";
  fs::create_symlink(report, link);
  file.setSavePath(link.string());
  ASSERT_EQ(file.open(), 1);
  file.putString("new\n");
  EXPECT_EQ(file.close(), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(test::readFile(report), "new\n");
  EXPECT_TRUE(strayFiles(directory, {"report.txt", "link.txt"}).empty());
}

TEST_F(ReplaceTest, NewReportGetsTheModeOfANewFile) {
  const mode_t mask = ::umask(022);
  file.setSavePath((directory / "new.txt").string());
  ASSERT_EQ(file.open(), 1);
  file.putString("new\n");
  EXPECT_EQ(file.close(), 0);
  ::umask(mask);
  struct stat status {};
  ASSERT_EQ(::stat((directory / "new.txt").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0644u);
  EXPECT_TRUE(strayFiles(directory, {"report.txt", "new.txt"}).empty());
}

// A FIFO is written as it stands: the reader sees the report while it is written.
TEST_F(ReplaceTest, FifoIsWrittenDirectly) {
  const fs::path fifo = directory / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = test::readFile(fifo.string()); });
  file.setSavePath(fifo.string());
  ASSERT_EQ(file.open(), 1);
  file.putString("streamed\n");
  EXPECT_EQ(file.close(), 0);
  reader.join();
  EXPECT_EQ(received, "streamed\n");
  EXPECT_TRUE(strayFiles(directory, {"report.txt", "pipe"}).empty());
}

}  // namespace
}  // namespace qv
