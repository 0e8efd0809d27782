// The capture builder and the qvcap text format, checked against the loader.
#include "capture_builder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/capture_file.h"
#include "test_support.h"

namespace qv {
namespace {

using namespace build;

// The loader keeps the extension entries' own size words at zero: they are never taken
// from the file, and the program's image has none of its own.
std::vector<uint8_t> expectedImage(const Conditions& conditions) {
  std::vector<uint8_t> image = dinfData(conditions);
  for (size_t entryBlock : {648u, 664u, 680u, 692u}) writeLe32(&image[entryBlock], 0);
  return image;
}

TEST(CaptureBuilder, ConditionsImageLoadsUnchangedForEveryProtocolAndMode) {
  for (int protocol : {0, 1, 2, 3, 4, 5, 6, 8, 10}) {
    for (int mode = 0; mode <= 9; ++mode) {
      const Conditions c{.measureMode = mode,
                         .protocol = protocol,
                         .stampFlag2 = 1,
                         .code = 4,
                         .checkKind = 2,
                         .frameProtocol = 3,
                         .filterMask = {0, 0, 0, 0xF0}};
      CaptureFile file;
      ASSERT_EQ(file.loadImage(CaptureBuilder().dinf(c).mond({}).bytes()), 1);
      const std::vector<uint8_t> expected = expectedImage(c);
      const auto& image = file.conditions().image;
      ASSERT_EQ(std::vector<uint8_t>(image.begin(), image.end()), expected)
          << "protocol " << protocol << " mode " << mode;
    }
  }
}

TEST(CaptureBuilder, ChunksFollowTheMagicInCallOrder) {
  const std::vector<uint8_t> bytes =
      CaptureBuilder().chunk("JUNK", {1, 2, 3}).mond({0x11223344}).tail({0xAA}).bytes();
  const std::vector<uint8_t> expected = {'Q', 'U', 'O', 'R', 'V', 'I',  'S',  ' ',  'D',  'A',
                                         'T', 'A', ' ', ' ', ' ', 0,    'J',  'U',  'N',  'K',
                                         3,   0,   0,   0,   1,   2,    3,    'M',  'O',  'N',
                                         'D', 4,   0,   0,   0,   0x44, 0x33, 0x22, 0x11, 0xAA};
  EXPECT_EQ(bytes, expected);
}

// Every statement of the text format (tools/captures/every_statement.qvcap) against the
// API calls that write the same bytes.
TEST(CaptureText, DescribesTheSameBytesAsTheApi) {
  const Conditions c{.measureMode = 2,
                     .protocol = ProtocolHdlc,
                     .stampFlag1 = 1,
                     .lineStateRecorded = 1,
                     .receiveSpeed = 12000,
                     .code = 1,
                     .charBits = 2,
                     .parity = 5,
                     .stopBitsOrClock = 2,  // "clock rt" overrides "stopbits 2"
                     .format = 3,
                     .checkKind = 2,
                     .sendAddressEnabled = 1,
                     .sendAddress = 0xC1,
                     .receiveAddressEnabled = 1,
                     .receiveAddress = 3,
                     .frameProtocol = 3,
                     .packetProtocol = 1,
                     .filterMask = {0, 0, 0, 0xF0},
                     .filterPattern = {0, 0, 0, 0x50}};
  const std::vector<uint32_t> words = {sdChar(0x41),
                                       sdChar(0x7E, 4),
                                       sdChar('A', 12),
                                       sdChar('"', 12),
                                       sdChar(0x7E, 12),
                                       rdChar(0x42),
                                       dataWord(cell(8, 0x41), cell(8, 0x42)),
                                       dataWord(cell(4, 0x7E), cell(5, 0x7E)),
                                       idleWord(12),
                                       clockStamp(12, 34, 56, true),
                                       counterStamp(300000),
                                       lineStateWord(1, 0, 17),
                                       lineStateWord(5, 6),
                                       markerWord(1),
                                       speedWord(3, 8),
                                       speedWord(3, 8, 2),
                                       0x12345678,
                                       7};
  const std::vector<uint8_t> expected =
      CaptureBuilder().dinf(c).mond(words).chunk("junk", {1, 2, 3}).mond({}).tail({0, 1}).bytes();

  EXPECT_EQ(test::captureFromDescription("tools/captures/every_statement.qvcap"), expected);
}

TEST(CaptureText, ErrorsNameTheLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"records\nsd 4G\n", "line 2: '4G' is not a hex byte"},
      {"sd 41\n", "line 1: 'sd' outside a conditions or records section"},
      {"conditions\n\nprotocol x99\n", "line 3: unknown protocol 'x99'"},
      {"records\nrd 41/32\n", "line 2: bad status '/32' (want /0 to /31)"},
      {"records\nsd \"ABC\n", "line 2: unterminated string"},
      {"records\nclock 128 0 0\n", "line 2: '128' is out of range"},
      {"records\nboth 41\n", "line 2: 'both' takes SD and RD cells in pairs"},
      {"raw-chunk MON 00\n", "line 1: a chunk tag has four characters"},
      {"raw-chunk MOND 123\n", "line 1: '123' is not a whole number of hex bytes"},
      {"conditions\nspeed\n", "line 2: too few values"},
      {"records\nfrobnicate\n", "line 2: unknown record 'frobnicate'"},
  };
  for (const auto& [text, message] : cases) {
    std::vector<uint8_t> image = {9};
    std::string error;
    EXPECT_FALSE(buildFromText(text, image, error)) << text;
    EXPECT_EQ(error, message);
    EXPECT_EQ(image, std::vector<uint8_t>{9}) << "no image on an error";
  }
}

TEST(CaptureText, QvcapWritesTheDescribedFile) {
  const std::string qvcap = std::string(QV_BINARY_DIR) + "/qvcap";
  if (!std::filesystem::exists(qvcap)) GTEST_SKIP() << "qvcap not built";
  const std::string description = test::tempPath("qvcap_description.txt");
  const std::string output = test::tempPath("qvcap_output.cap");
  const std::string text = "conditions\nprotocol ppp\nrecords\nsd 7E/4 41 7E/5\n";
  test::writeFile(description, std::vector<uint8_t>(text.begin(), text.end()));
  ASSERT_EQ(std::system((qvcap + " " + description + " " + output).c_str()), 0);
  std::vector<uint8_t> expected;
  std::string error;
  ASSERT_TRUE(buildFromText(text, expected, error));
  EXPECT_EQ(test::readFile(output), std::string(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace qv
