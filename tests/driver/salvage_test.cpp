// Loading a capture cut short in salvage mode: the cut chunk counts as far as the file
// goes, so the report is the one of the same capture with that chunk shortened by hand.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "capture/bytes.h"
#include "capture_builder.h"
#include "driver/program.h"
#include "test_support.h"

namespace qv {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kMagicSize = 16;
constexpr size_t kHeadSize = 8;

Bytes sample(const std::string& name) {
  const std::string text = test::readFile(QV_SOURCE_DIR "/samples/" + name);
  return Bytes(text.begin(), text.end());
}

// The image cut after `cut` bytes, with the chunk the cut falls in shortened to the bytes
// that remain (a MOND chunk to its whole words), as a careful editor would have saved it.
Bytes shortenedByHand(const Bytes& image, size_t cut) {
  size_t head = kMagicSize;
  while (head + kHeadSize + readLe32(&image[head + 4]) <= cut) {
    head += kHeadSize + readLe32(&image[head + 4]);
  }
  uint32_t present = static_cast<uint32_t>(cut - head - kHeadSize);
  if (std::equal(image.data() + head, image.data() + head + 4, "MOND")) present &= ~3u;
  Bytes shortened(image.data(), image.data() + head + kHeadSize + present);
  writeLe32(&shortened[head + 4], present);
  return shortened;
}

struct Converted {
  int loaded = 0;
  std::string report;
  std::string message;
};

Converted convertImage(const Bytes& image, bool salvage, int frameType) {
  static int sequence = 0;
  const std::string reportPath = test::tempPath("salvage-" + std::to_string(++sequence) + ".txt");
  std::istringstream in;
  std::ostringstream console;
  auto program = std::make_unique<Program>(in, console);
  Converted converted;
  converted.loaded = program->capture.loadImage(image, LoadOptions{.salvage = salvage});
  converted.message = program->capture.cutShortMessage();
  if (!converted.loaded) return converted;
  program->printFile.setSavePath(reportPath);
  program->frameType = frameType;
  program->dispatchConversion();
  converted.report = test::maskTopLine(test::readFile(reportPath));
  std::filesystem::remove(reportPath);
  return converted;
}

TEST(Salvage, CutCaptureConvertsLikeTheChunkShortenedByHand) {
  struct Case {
    const char* sample;
    int frameType;
  };
  const Case cases[] = {{"sdlc_stamped.cap", 1}, {"async_listing.cap", 0}, {"ppp.cap", 1}};
  for (const Case& c : cases) {
    const Bytes image = sample(c.sample);
    // Cuts inside the last (MOND) chunk: on a word boundary, in the middle of a word, one
    // byte into the data, and three bytes short of the end.
    for (const size_t shortBy : {size_t{3}, size_t{4}, size_t{5}, size_t{13}, size_t{40}}) {
      const size_t cut = image.size() - shortBy;
      SCOPED_TRACE(std::string(c.sample) + " cut " + std::to_string(shortBy) + " short");
      const Bytes cutImage(image.data(), image.data() + cut);
      const Converted salvaged = convertImage(cutImage, true, c.frameType);
      const Converted byHand = convertImage(shortenedByHand(image, cut), false, c.frameType);
      ASSERT_EQ(salvaged.loaded, 1);
      ASSERT_EQ(byHand.loaded, 1);
      EXPECT_FALSE(salvaged.report.empty());
      EXPECT_EQ(salvaged.report, byHand.report);
    }
  }
}

TEST(Salvage, ConditionsChunkCutInsideABlockIsDecodedAsFarAsItGoes) {
  // The monitor data comes first here, so that a cut in the conditions leaves a ring.
  const Bytes image = build::CaptureBuilder()
                          .mond({build::sdChar(0x7E), build::sdChar('A'), build::sdChar(0x7E)})
                          .dinf({.protocol = 2, .sendSpeed = 9600, .code = 1})
                          .bytes();
  const size_t dinfData = kMagicSize + kHeadSize + 12 + kHeadSize;
  for (const size_t into : std::initializer_list<size_t>{0, 2, 7, 30, 200, 1000}) {
    SCOPED_TRACE("cut " + std::to_string(into) + " bytes into the conditions");
    const size_t cut = dinfData + into;
    const Converted salvaged = convertImage(Bytes(image.data(), image.data() + cut), true, 0);
    const Converted byHand = convertImage(shortenedByHand(image, cut), false, 0);
    ASSERT_EQ(salvaged.loaded, 1);
    EXPECT_EQ(salvaged.report, byHand.report);
    EXPECT_EQ(salvaged.message, "cut short: 12 of 12 bytes of monitor data present");
  }
}

TEST(Salvage, WithoutSalvageACutCaptureIsRefusedAndToldApart) {
  const Bytes image = build::CaptureBuilder()
                          .dinf({.protocol = 2})
                          .mond({build::sdChar('1'), build::sdChar('2'), build::sdChar('3')})
                          .bytes();
  const Bytes cut(image.begin(), image.end() - 3);
  CaptureFile capture;
  EXPECT_EQ(capture.loadImage(cut), 0);
  EXPECT_TRUE(capture.cutShort().found);
  EXPECT_EQ(capture.cutShortMessage(), "cut short: 9 of 12 bytes of monitor data present");

  ASSERT_EQ(capture.loadImage(cut, {.salvage = true}), 1);
  EXPECT_EQ(capture.byteLength(), 8u);
  EXPECT_EQ(capture.chunkEnd() - capture.chunkStart(), 8);

  // A whole capture is not cut short; nor is a conditions chunk running past the end with
  // no monitor data before it: there is nothing to salvage.
  EXPECT_EQ(capture.loadImage(image, {.salvage = true}), 1);
  EXPECT_FALSE(capture.cutShort().found);
  const Bytes conditionsCut(image.begin(), image.begin() + 100);
  EXPECT_EQ(capture.loadImage(conditionsCut, {.salvage = true}), 0);
  EXPECT_FALSE(capture.cutShort().found);
}

}  // namespace
}  // namespace qv
