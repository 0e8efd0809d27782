// Every capture of the fuzz corpus that holds frames exports to a file that libpcap
// reads back whole, packet for packet.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capture/capture_file.h"
#include "export_test_support.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// Enhanced packet blocks, counted by walking the blocks.
size_t packetBlocks(const std::vector<uint8_t>& image) {
  size_t packets = 0;
  for (size_t at = 0; at + 8 <= image.size();) {
    const uint32_t type = readLe32(&image[at]);
    const uint32_t length = readLe32(&image[at + 4]);
    if (length < 12 || at + length > image.size()) return SIZE_MAX;
    packets += type == 6;
    at += length;
  }
  return packets;
}

std::vector<uint8_t> exportToMemory(const CaptureFile& capture, const ExportOptions& options,
                                    int& status) {
  char* image = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&image, &length);
  std::string error;
  status = exportPcapng(capture, options, out, error);
  std::fclose(out);
  std::vector<uint8_t> bytes(image, image + length);
  std::free(image);
  return bytes;
}

TEST(CorpusExports, LibpcapReadsEveryPacketBack) {
  int exported = 0;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(QV_SOURCE_DIR) / "fuzz" / "corpus")) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    CaptureFile capture;
    if (!capture.loadImage(bytes) || !captureHasFrames(capture)) continue;
    ExportOptions options;
    options.snaplen = 100;
    int status = -1;
    const std::vector<uint8_t> image = exportToMemory(capture, options, status);
    ASSERT_EQ(status, 0) << entry.path();
    const ReadBack back = readWithLibpcap(image);
    ASSERT_TRUE(back.opened) << entry.path() << ": " << back.error;
    EXPECT_EQ(back.error, "") << entry.path();
    EXPECT_EQ(back.packets.size(), packetBlocks(image)) << entry.path();
    for (const ReadPacket& packet : back.packets) {
      EXPECT_LE(packet.capturedLength, 100u) << entry.path();
      EXPECT_LE(packet.capturedLength, packet.originalLength) << entry.path();
    }
    ++exported;
  }
  EXPECT_GT(exported, 100);
}

}  // namespace
}  // namespace qv::test
