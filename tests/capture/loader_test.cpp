// Loading a capture file: the file checks with their console messages, the chunk walk,
// and the ring bounds the loader sets up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <thread>

#include "capture/capture_file.h"
#include "capture_builder.h"
#include "test_support.h"

namespace qv {
namespace {

using build::CaptureBuilder;
using Bytes = std::vector<uint8_t>;

struct Load {
  int result = -1;
  std::string console;
};

Load loadPath(CaptureFile& capture, const std::string& path) {
  std::ostringstream console;
  Load load;
  load.result = capture.loadCaptureFile(path, console);
  load.console = console.str();
  return load;
}

Load loadBytes(CaptureFile& capture, const Bytes& bytes) {
  static int sequence = 0;
  const std::string path = test::tempPath("loader-" + std::to_string(++sequence) + ".cap");
  test::writeFile(path, bytes);
  return loadPath(capture, path);
}

Bytes validCapture() {
  return CaptureBuilder().dinf(build::Conditions{}).mond({build::sdChar('A')}).bytes();
}

// Messages from real files on disk.
TEST(Loader, FilesThatCannotBeOpened) {
  CaptureFile capture;
  EXPECT_EQ(loadPath(capture, test::tempPath("no-such-file.cap")).console,
            "Can't open data file.\n");
  const std::string directory = test::tempPath("a-directory.cap");
  std::filesystem::create_directories(directory);
  const Load load = loadPath(capture, directory);
  EXPECT_EQ(load.result, 0);
  EXPECT_EQ(load.console, "Can't open data file.\n");
  const std::string fifo = test::tempPath("a-fifo.cap");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Opening a FIFO for reading would wait for a writer; keep one end open so it cannot.
  const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  EXPECT_EQ(loadPath(capture, fifo).console, "Can't open data file.\n");
  if (writer >= 0) ::close(writer);
}

TEST(Loader, ShortOrForeignFilesAreDataFileErrors) {
  Bytes badTerminator = validCapture();
  badTerminator[15] = ' ';
  Bytes wrongCase = validCapture();
  wrongCase[0] = 'q';
  Bytes magicCut = build::magic();
  magicCut.pop_back();
  const Bytes candidates[] = {
      {},
      magicCut,
      build::magic(),
      badTerminator,
      wrongCase,
      CaptureBuilder().dinf(build::Conditions{}).bytes(),
      CaptureBuilder().chunk("mond", build::wordBytes({0x20})).bytes(),
  };
  int index = 0;
  for (const Bytes& bytes : candidates) {
    CaptureFile capture;
    const Load load = loadBytes(capture, bytes);
    EXPECT_EQ(load.result, 0) << index;
    EXPECT_EQ(load.console, "Data file error.\n") << index;
    ++index;
  }
}

// A load that could block forever must not take the test run with it: when it has not
// finished in time, release() lets it go on, and the answer is false.
template <typename Load, typename Release>
bool finishesWithin(std::chrono::milliseconds limit, Load load, Release release) {
  auto future = std::async(std::launch::async, load);
  if (future.wait_for(limit) == std::future_status::ready) return true;
  release();
  return false;
}

TEST(Loader, FifoWithoutAWriterIsRefusedAtOnce) {
  const std::string fifo = test::tempPath("lonely-fifo.cap");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  CaptureFile capture;
  Load load;
  const bool finished = finishesWithin(
      std::chrono::seconds(2), [&] { load = loadPath(capture, fifo); },
      [&] {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) ::close(writer);
      });
  EXPECT_TRUE(finished) << "the load waited for a writer";
  EXPECT_EQ(load.console, "Can't open data file.\n");
}

long peakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(Loader, LargeFileThatIsNotACaptureIsRefusedWithoutReadingIt) {
  const std::string path = test::tempPath("large-not-a-capture.bin");
  { std::ofstream create(path, std::ios::binary); }
  std::error_code error;
  std::filesystem::resize_file(path, uintmax_t{1} << 30, error);  // sparse: takes no space
  if (error) GTEST_SKIP() << "cannot make a sparse file here";
  const long peakBefore = peakResidentKiB();
  const auto start = std::chrono::steady_clock::now();
  CaptureFile capture;
  const Load load = loadPath(capture, path);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::filesystem::remove(path, error);
  EXPECT_EQ(load.console, "Data file error.\n");
  EXPECT_LT(elapsed, std::chrono::milliseconds(250));
  EXPECT_LT(peakResidentKiB() - peakBefore, 64 * 1024);
}

TEST(Loader, SameFileWhateverTheSpelling) {
  const std::filesystem::path directory = test::tempPath("same-file");
  std::filesystem::create_directories(directory);
  const std::string data = (directory / "victim.cap").string();
  test::writeFile(data, validCapture());
  CaptureFile capture;
  EXPECT_FALSE(capture.isSameFile(data));  // nothing loaded yet
  ASSERT_EQ(loadPath(capture, data).result, 1);

  std::filesystem::remove(directory / "symlink.cap");
  std::filesystem::remove(directory / "hardlink.cap");
  std::filesystem::create_symlink(data, directory / "symlink.cap");
  std::filesystem::create_hard_link(data, directory / "hardlink.cap");
  test::writeFile((directory / "other.cap").string(), validCapture());
  const struct {
    std::string path;
    bool same;
  } cases[] = {
      {data, true},
      {(directory / "symlink.cap").string(), true},
      {(directory / "hardlink.cap").string(), true},
      {(directory / ".." / "same-file" / "." / "victim.cap").string(), true},
      {(directory / "other.cap").string(), false},
      {(directory / "missing.cap").string(), false},
      {directory.string(), false},
  };
  for (const auto& c : cases) EXPECT_EQ(capture.isSameFile(c.path), c.same) << c.path;
}

// Standard input: a pipe read to its end, refused as soon as its first bytes are wrong.
TEST(Loader, CaptureFromAStream) {
  const Bytes image = validCapture();
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::thread writer([&] {
    EXPECT_EQ(write(ends[1], image.data(), image.size()), static_cast<ssize_t>(image.size()));
    ::close(ends[1]);
  });
  CaptureFile capture;
  std::ostringstream console;
  EXPECT_EQ(capture.loadCaptureStream(ends[0], console), 1);
  writer.join();
  ::close(ends[0]);
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(CaptureFile::wordAt(capture.chunkStart()), build::sdChar('A'));

  // Not a capture: refused while the writer still holds the pipe open.
  ASSERT_EQ(pipe(ends), 0);
  const std::string foreign(16, 'x');
  ASSERT_EQ(write(ends[1], foreign.data(), foreign.size()), 16);
  std::ostringstream refused;
  int result = -1;
  const bool finished = finishesWithin(
      std::chrono::seconds(2), [&] { result = capture.loadCaptureStream(ends[0], refused); },
      [&] { ::close(ends[1]); });
  if (finished) ::close(ends[1]);
  EXPECT_TRUE(finished) << "the load read on past the first bytes";
  EXPECT_EQ(result, 0);
  ::close(ends[0]);
  EXPECT_EQ(refused.str(), "Data file error.\n");
}

// Kernel attribute files, for one, report a whole page as their length but deliver less.
TEST(Loader, FileShorterThanItsReportedLengthIsAReadError) {
  const std::string path = test::tempPath("short-read.cap");
  test::writeFile(path, validCapture());
  const CaptureFile::FileReader shortReaders[] = {
      [](int descriptor, uint8_t* into, size_t length) {
        const ssize_t got = ::read(descriptor, into, length - 1);
        return got < 0 ? size_t{0} : static_cast<size_t>(got);
      },
      [](int, uint8_t*, size_t) { return size_t{0}; },
  };
  for (const CaptureFile::FileReader reader : shortReaders) {
    CaptureFile capture;
    capture.setFileReader(reader);
    const Load load = loadPath(capture, path);
    EXPECT_EQ(load.result, 0);
    EXPECT_EQ(load.console, "Data file read error.\n");
  }
}

TEST(Loader, FileOfTwoGibibytesIsRefusedBeforeAnythingIsAllocated) {
  const std::string path = test::tempPath("huge.cap");
  { std::ofstream create(path, std::ios::binary); }
  std::error_code error;
  std::filesystem::resize_file(path, uintmax_t{1} << 31, error);  // sparse: takes no space
  if (error) GTEST_SKIP() << "cannot make a sparse file here";
  CaptureFile capture;
  const Load load = loadPath(capture, path);
  std::filesystem::remove(path, error);
  EXPECT_EQ(load.result, 0);
  EXPECT_EQ(load.console, "Data file error.\n");
}

TEST(Loader, ValidFileLoadsSilently) {
  CaptureFile capture;
  const Load load = loadBytes(capture, validCapture());
  EXPECT_EQ(load.result, 1);
  EXPECT_EQ(load.console, "");
  ASSERT_NE(capture.chunkStart(), nullptr);
  EXPECT_EQ(CaptureFile::wordAt(capture.chunkStart()), build::sdChar('A'));
}

// A capture file is read where it lies. One cut short under the reader reads as zeros
// past its new end instead of ending the program, and is known to have changed; one
// replaced by another under its name (a save by rename) is still read as it was loaded.
TEST(Loader, CaptureFileChangedUnderTheLoadedCapture) {
  const std::vector<uint32_t> words(6000, build::sdChar('A'));
  const Bytes bytes = CaptureBuilder().dinf(build::Conditions{}).mond(words).bytes();
  const std::string path = test::tempPath("changing.cap");

  test::writeFile(path, bytes);
  CaptureFile cut;
  ASSERT_EQ(loadPath(cut, path).result, 1);
  EXPECT_TRUE(cut.unchangedSinceLoad());
  ASSERT_EQ(::truncate(path.c_str(), 16), 0);
  uint64_t characters = 0;
  for (const uint8_t* p = cut.chunkStart(); p != cut.chunkEnd(); p += 4)
    characters += CaptureFile::wordAt(p) == build::sdChar('A') ? 1u : 0u;
  EXPECT_LT(characters, words.size());  // the pages past the cut read as zeros
  EXPECT_FALSE(cut.unchangedSinceLoad());

  test::writeFile(path, bytes);
  CaptureFile replaced;
  ASSERT_EQ(loadPath(replaced, path).result, 1);
  test::writeFile(path + ".new", Bytes(bytes.size(), 0));
  std::filesystem::rename(path + ".new", path);
  characters = 0;
  for (const uint8_t* p = replaced.chunkStart(); p != replaced.chunkEnd(); p += 4)
    characters += CaptureFile::wordAt(p) == build::sdChar('A') ? 1u : 0u;
  EXPECT_EQ(characters, words.size());
  EXPECT_TRUE(replaced.unchangedSinceLoad());

  // A capture held in memory has nothing that could change.
  CaptureFile image;
  ASSERT_EQ(image.loadImage(bytes), 1);
  EXPECT_TRUE(image.unchangedSinceLoad());
}

// The chunk walk, on in-memory images.
TEST(ChunkWalk, ChunkLengthsAtTheEdgeOfTheFile) {
  const Bytes mond = build::wordBytes({build::sdChar('x'), build::rdChar('y')});
  CaptureFile capture;
  // A MOND chunk that ends exactly at the end of the file.
  EXPECT_EQ(capture.loadImage(CaptureBuilder().chunk("MOND", mond).bytes()), 1);
  EXPECT_EQ(capture.byteLength(), 8u);
  EXPECT_EQ(capture.chunkEnd() - capture.chunkStart(), 8);

  // One byte more than the file holds.
  Bytes tooLong = CaptureBuilder().chunk("MOND", mond).bytes();
  writeLe32(&tooLong[20], 9);
  EXPECT_EQ(capture.loadImage(tooLong), 0);

  // A huge length must not wrap around the remaining count.
  Bytes huge = CaptureBuilder().chunk("MOND", mond).bytes();
  writeLe32(&huge[20], 0xFFFFFFF8u);
  EXPECT_EQ(capture.loadImage(huge), 0);

  // A partial trailing word is counted in the length but is not part of the ring.
  Bytes partial = mond;
  partial.resize(partial.size() + 3, 0x20);
  ASSERT_EQ(capture.loadImage(CaptureBuilder().chunk("MOND", partial).bytes()), 1);
  EXPECT_EQ(capture.byteLength(), 11u);
  EXPECT_EQ(capture.chunkEnd() - capture.chunkStart(), 8);

  // One to seven bytes after the last chunk are not a chunk head.
  for (size_t extra = 1; extra < 8; ++extra) {
    const Bytes tail(extra, 0xFF);
    EXPECT_EQ(capture.loadImage(CaptureBuilder().chunk("MOND", mond).tail(tail).bytes()), 1)
        << extra;
    EXPECT_EQ(capture.byteLength(), 8u) << extra;
  }
}

TEST(ChunkWalk, RepeatedAndUnknownChunks) {
  const build::Conditions hdlc{.protocol = 2, .code = 1};
  const build::Conditions ppp{.protocol = 3};
  const Bytes image = CaptureBuilder()
                          .chunk("MONd", build::wordBytes({0x11111120}))
                          .mond({build::sdChar('1')})
                          .dinf(hdlc)
                          .chunk("XTRA", {1, 2, 3})
                          .mond({build::sdChar('2'), build::sdChar('3')})
                          .dinf(ppp)
                          .bytes();
  CaptureFile capture;
  ASSERT_EQ(capture.loadImage(image), 1);
  // The last MOND chunk is the ring; the second DINF chunk overrides the first.
  EXPECT_EQ(capture.byteLength(), 8u);
  EXPECT_EQ(CaptureFile::wordAt(capture.chunkStart()), build::sdChar('2'));
  EXPECT_EQ(capture.startCursor().position, capture.chunkStart());
  EXPECT_EQ(capture.protocol(), 3);
  EXPECT_EQ(capture.code(), 0);
}

TEST(ChunkWalk, StartCursorIsBuiltFromTheConditionsSeenBeforeMond) {
  const build::Conditions irda{.protocol = 4, .lineStateRecorded = 1};
  const std::vector<uint32_t> words = {build::lineStateWord(0x005, 0x00A), build::speedWord(3, 6),
                                       build::sdChar('a')};
  CaptureFile before;
  ASSERT_EQ(before.loadImage(CaptureBuilder().dinf(irda).mond(words).bytes()), 1);
  EXPECT_EQ(before.startCursor().lineState, 0x005);
  EXPECT_EQ(before.startCursor().speedCode, 3);
  EXPECT_EQ(before.conditions().savedStartCursor.lineState, 0x005);

  CaptureFile after;
  ASSERT_EQ(after.loadImage(CaptureBuilder().mond(words).dinf(irda).bytes()), 1);
  EXPECT_EQ(after.protocol(), 4);
  EXPECT_EQ(after.startCursor().lineState, 0);
  EXPECT_EQ(after.startCursor().speedCode, 0xFF);
  EXPECT_EQ(after.conditions().savedStartCursor.speedCode, 0xFF);
}

TEST(ChunkWalk, RejectedImageKeepsEarlierChunksAndAResetClearsThem) {
  Bytes image =
      CaptureBuilder().dinf({.protocol = 1}).mond({build::sdChar('z')}).chunk("JUNK", {}).bytes();
  writeLe32(&image[image.size() - 4], 1);  // the last chunk runs past the end
  CaptureFile capture;
  EXPECT_EQ(capture.loadImage(image), 0);
  EXPECT_EQ(capture.protocol(), 1);
  // A later parse starts from the initial conditions again.
  EXPECT_EQ(capture.loadImage(CaptureBuilder().mond({}).bytes()), 1);
  EXPECT_EQ(capture.protocol(), 0);
}

TEST(ChunkWalk, FreeingTheBufferLeavesAnEmptyRing) {
  CaptureFile capture;
  ASSERT_EQ(capture.loadImage(validCapture()), 1);
  capture.freeBuffer();
  EXPECT_EQ(capture.chunkStart(), nullptr);
  EXPECT_EQ(capture.byteLength(), 0u);
  capture.freeBuffer();  // a second clean-up is harmless
}

}  // namespace
}  // namespace qv
