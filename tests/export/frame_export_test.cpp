// Generated captures of every family, exported and read back: whole and cut frames,
// link-type headers, I2C messages, times, comments, and the frames the sweep delivers
// at a large capacity against the walk's.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture/capture_file.h"
#include "capture_builder.h"
#include "export_test_support.h"
#include "frames/frame_assembler.h"
#include "frames/frame_stream.h"
#include "test_support.h"

namespace qv::test {
namespace {

std::vector<uint8_t> captureFrom(const std::string& text) {
  std::vector<uint8_t> image;
  std::string error;
  EXPECT_TRUE(build::buildFromText(text, image, error)) << error;
  return image;
}

std::string hexBytes(size_t count, uint8_t first = 0) {
  std::string text;
  char byte[4];
  for (size_t i = 0; i < count; ++i) {
    std::snprintf(
        byte, sizeof byte, "%02X ",
        static_cast<uint8_t>(first + i * 7) == 0x7E ? 0x11 : static_cast<uint8_t>(first + i * 7));
    text += byte;
  }
  return text;
}

// One LAPD frame of the given length (without its check bytes), then a short one.
std::string lapdCapture(size_t length) {
  return "conditions\nprotocol hdlc\ncheck fcs16\nframe-protocol lapd\n\nrecords\n"
         "sd 7E/4 00 81 " +
         hexBytes(length - 2) + "AA BB/16 7E/5\n" + "rd 7E/4 02 81 01 02 AA BB/16 7E/5\n";
}

ReadBack exportAndRead(const std::string& text, ExportOptions options = {},
                       const std::string& name = "generated") {
  int status = -1;
  std::string error;
  const std::string path = exportToFile(captureFrom(text), options, status, error, name);
  EXPECT_EQ(status, 0) << error;
  return readWithLibpcap(path);
}

TEST(WholeFrames, ComeOutWholeUpToTheSnaplenAndKeepTheirLength) {
  struct Row {
    size_t frameLength;
    uint32_t snaplen;
    uint32_t captured;
  };
  const Row rows[] = {{1500, kDefaultSnaplen, 1500},
                      {70000, kDefaultSnaplen, 65535},
                      {70000, 100, 100},
                      {64, 64, 64},
                      {65, 64, 64}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.frameLength << " bytes, snaplen " << row.snaplen);
    ExportOptions options;
    options.snaplen = row.snaplen;
    const ReadBack back = exportAndRead(lapdCapture(row.frameLength), options);
    ASSERT_TRUE(back.opened) << back.error;
    ASSERT_EQ(back.packets.size(), 2u);
    const ReadPacket& big = back.packets[0];
    EXPECT_EQ(big.capturedLength, row.captured);
    EXPECT_EQ(big.originalLength, row.frameLength);
    ASSERT_GE(big.data.size(), 3u);
    EXPECT_EQ(big.data[0], 0x00);
    EXPECT_EQ(big.data[1], 0x81);
    EXPECT_EQ(big.data.back(), static_cast<uint8_t>((row.captured - 3) * 7) == 0x7E
                                   ? 0x11
                                   : static_cast<uint8_t>((row.captured - 3) * 7));
    EXPECT_EQ(back.packets[1].data, (std::vector<uint8_t>{0x02, 0x81, 0x01, 0x02}));
  }
}

TEST(DataLine, LeavesOutTheOtherDirection) {
  const size_t expected[] = {2, 1, 1};  // both, SD only, RD only
  for (uint8_t line = 0; line < 3; ++line) {
    ExportOptions options;
    options.dataLine = line;
    const ReadBack back = exportAndRead(lapdCapture(10), options);
    ASSERT_EQ(back.packets.size(), expected[line]) << int{line};
    if (line > 0) {
      EXPECT_EQ(back.packets[0].data[0], line == 1 ? 0x00 : 0x02);
    }
  }
}

TEST(WholeFrames, PppFramesAreDeEscapedBeyondTheReportsCells) {
  std::string text = "conditions\nprotocol ppp\ncheck fcs16\n\nrecords\nrd FF/9 03 C0 21 ";
  for (int i = 0; i < 100; ++i) text += "7D 5E 41 ";
  text += "AA BB/16 7E\n";
  const ReadBack back = exportAndRead(text);
  ASSERT_EQ(back.packets.size(), 1u);
  const std::vector<uint8_t>& data = back.packets[0].data;
  ASSERT_EQ(data.size(), 1u + 4 + 200);
  EXPECT_EQ(data[0], 0);  // received
  EXPECT_EQ(data[5], 0x7E);
  EXPECT_EQ(data[204], 0x41);
  EXPECT_EQ(back.packets[0].originalLength, 205u);
}

// The bytes before the frame that each link type puts in the packet.
TEST(LinkTypeHeaders, CarryTheDirectionOfTheFrame) {
  struct Row {
    const char* conditions;
    const char* frame;
    int linkType;
    std::vector<uint8_t> header;
  };
  const Row rows[] = {
      {"protocol ppp\ncheck fcs16", "sd FF/9 03 C0 21 AA BB/16 7E", 204, {1}},
      {"protocol irda\nspeed 96000",
       "rd C0/9 FE 73 AA BB/16 C1",
       144,
       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x17}},
      {"protocol irda\nspeed 96000",
       "sd C0/9 FF 73 AA BB/16 C1",
       144,
       {0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x17}},
      {"protocol hdlc\ncheck fcs16\nframe-protocol x25",
       "rd 7E/4 03 3F AA BB/16 7E/5",
       252,
       {0, 12, 0, 4, 'l', 'a', 'p', 'b', 0, 35, 0, 4, 0, 0, 0, 1, 0, 0, 0, 0}},
      {"protocol hdlc\ncheck fcs16\nframe-protocol sdlc", "sd 7E/4 C1 93 AA BB/16 7E/5", 268, {}},
      {"protocol spi\nstamps 1 0", "clock 1 2 3\nsd 01 02", 252, {0,   12, 0,  4,  'd', 'a', 't',
                                                                  'a', 0,  33, 0,  4,   'S', 'P',
                                                                  'I', 0,  0,  35, 0,   4,   0,
                                                                  0,   0,  0,  0,  0,   0,   0}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.frame);
    const ReadBack back = exportAndRead(std::string("conditions\n") + row.conditions +
                                        "\n\nrecords\n" + row.frame + "\n");
    ASSERT_TRUE(back.opened) << back.error;
    EXPECT_EQ(back.linkType, row.linkType);
    ASSERT_EQ(back.packets.size(), 1u);
    const std::vector<uint8_t>& data = back.packets[0].data;
    ASSERT_GE(data.size(), row.header.size() + 2);
    EXPECT_EQ(std::vector<uint8_t>(data.data(), data.data() + row.header.size()), row.header);
  }
}

TEST(X25Modulo128, IFramesGoToX25AfterTheirLinkHeader) {
  const ReadBack back = exportAndRead(
      "conditions\nprotocol hdlc\ncheck fcs16\nframe-protocol x25-128\n\nrecords\n"
      "sd 7E/4 01 00 02 10 01 0B AA BB/16 7E/5\n"  // I frame: X.25 after 3 bytes
      "rd 7E/4 01 01 04 AA BB/16 7E/5\n"           // S frame (RR): data
      "sd 7E/4 01 7F AA BB/16 7E/5\n");            // U frame (SABME): LAPB
  ASSERT_EQ(back.packets.size(), 3u);
  const std::vector<uint8_t> iFrame = back.packets[0].data;
  ASSERT_EQ(iFrame.size(), 12u + 8 + 4 + 3);
  EXPECT_EQ(std::string(iFrame.begin() + 4, iFrame.begin() + 12), "x.25_dir");
  EXPECT_EQ(std::vector<uint8_t>(iFrame.end() - 3, iFrame.end()),
            (std::vector<uint8_t>{0x10, 0x01, 0x0B}));
  EXPECT_EQ(std::string(back.packets[1].data.begin() + 4, back.packets[1].data.begin() + 8),
            "data");
  EXPECT_EQ(std::string(back.packets[2].data.begin() + 4, back.packets[2].data.begin() + 8),
            "lapb");
}

// I2C messages split at repeated starts: bus 0, flags (1 = read), the address byte as on
// the bus, then the data; a 10-bit address keeps its second byte at the start of the data.
TEST(I2cMessages, SplitAtRepeatedStartsWithTenBitAddresses) {
  const ReadBack back = exportAndRead(
      "conditions\nprotocol i2c\n\nrecords\n"
      "sd 00/4 A0 10 01/4 A1 55 66/9 00/5\n"
      "sd 00/4 F2 34 56 78 00/5\n"
      "sd 00/4 F2 34 01/4 F3 9A BC/9 00/5\n");
  using Bytes = std::vector<uint8_t>;
  const Bytes expected[] = {
      {0, 0, 0, 0, 0, 0xA0, 0x10},
      {0, 0, 0, 0, 1, 0xA1, 0x55, 0x66},
      {0, 0, 0, 0, 0, 0xF2, 0x34, 0x56, 0x78},
      {0, 0, 0, 0, 1, 0xF3, 0x34, 0x9A, 0xBC},
  };
  ASSERT_EQ(back.linkType, 209);
  ASSERT_EQ(back.packets.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(back.packets[i].data, expected[i]);
}

TEST(I2cMessages, TsharkShowsTheTransactionAndTheTenBitAddress) {
  QV_REQUIRE_TSHARK();
  int status = -1;
  std::string error;
  const std::string path = exportToFile(
      captureFrom("conditions\nprotocol i2c\n\nrecords\nsd 00/4 F2 34 01/4 F3 9A BC/9 00/5\n"), {},
      status, error, "i2c10");
  const auto rows = tsharkFields(path, {"i2c.flags", "frame.comment", "_ws.malformed"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at(0), "0x00000001");
  EXPECT_EQ(rows[0].at(1), "Transaction 1, 10-bit address 134, acknowledge: aaan");
  EXPECT_EQ(rows[0].at(2), "");
}

// Times: six clock digits as microseconds by default, or hours, minutes and seconds;
// counters in microseconds or the tick given; the start date as the offset.
TEST(PacketTimes, FollowTheStampsAndTheTimeOptions) {
  QV_REQUIRE_TSHARK();
  const std::string stamped =
      "conditions\nprotocol hdlc\ncheck fcs16\nstamps 1 0\nframe-protocol sdlc\n\nrecords\n"
      "clock 12 34 56\nsd C1 93 AA BB/16 00/5\n"
      "clock 23 59 59 rd\nrd C1 73 AA BB/16 00/5\n"
      "clock 0 0 1\nsd C1 53 AA BB/16 00/5\n"
      "counter 524287\nsd C1 11 AA BB/16 00/5\n"
      "counter 3\nrd C1 11 AA BB/16 00/5\n";
  struct Row {
    const char* name;
    ClockStampReading reading;
    uint64_t tick;
    int64_t start;
    std::vector<std::string> epochs;
  };
  const Row rows[] = {
      {"digits",
       ClockStampReading::Digits,
       1000,
       0,
       {"0.123456000", "0.235959000", "0.000001000", "0.524287000", "0.524291000"}},
      {"hms",
       ClockStampReading::HoursMinutesSeconds,
       1000,
       0,
       {"45296.000000000", "86399.000000000", "86401.000000000", "0.524287000", "0.524291000"}},
      {"tick",
       ClockStampReading::Digits,
       100,
       1796724000,
       {"1796724000.123456000", "1796724000.235959000", "1796724000.000001000",
        "1796724000.052428700", "1796724000.052429100"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ExportOptions options;
    options.clockStamps = row.reading;
    options.counterTickNs = row.tick;
    options.startSeconds = row.start;
    int status = -1;
    std::string error;
    const std::string path = exportToFile(captureFrom(stamped), options, status, error, row.name);
    const auto rows = tsharkFields(path, {"frame.time_epoch"});
    ASSERT_EQ(rows.size(), row.epochs.size());
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].at(0), row.epochs[i]) << i;
  }
}

// Frames opened in-band take the latest stamp before their opening, however far back
// it lies among the idle words and wherever it falls in the export's scan.
TEST(PacketTimes, InBandFramesTakeTheLatestStampBeforeThem) {
  std::string text = "conditions\nprotocol hdlc\ncheck fcs16\nframe-protocol sdlc\n\nrecords\n";
  std::vector<uint64_t> expected;
  uint64_t latest = 0;
  for (unsigned i = 0; i < 300; ++i) {
    if (i % 7 == 0 || i % 11 == 3) {
      const unsigned first = i % 100, second = i * 3 % 100, third = i * 7 % 100;
      text += "clock " + std::to_string(first) + " " + std::to_string(second) + " " +
              std::to_string(third) + "\n";
      latest = first * 10000u + second * 100u + third;
    }
    const unsigned idle = i * 37 % 211;
    for (unsigned k = 0; k < idle; ++k) text += k % 16 == 0 ? "\nsd 00/0" : " 00/0";
    text += "\n";
    text += "sd 7E/4 C1 93 AA BB/16 7E/5\n";
    expected.push_back(latest);
  }
  std::vector<uint64_t> times;
  for (const ReadPacket& packet : exportAndRead(text).packets) times.push_back(packet.microseconds);
  EXPECT_EQ(times, expected);
}

// Each frame followed closely by a burst of stamps: the stamps after an opening are no
// frame's time but that of the next one.
TEST(PacketTimes, StampsRightAfterAnOpeningAreNotItsTime) {
  std::string text = "conditions\nprotocol hdlc\ncheck fcs16\nframe-protocol sdlc\n\nrecords\n";
  std::vector<uint64_t> expected;
  uint64_t latest = 0;
  for (unsigned i = 0; i < 40; ++i) {
    text += "sd 7E/4 C1 93 AA BB/16 7E/5\n";
    expected.push_back(latest);
    for (unsigned k = 0; k < 30; ++k) {
      const unsigned second = (i + k) % 60, third = (i * 30 + k) % 100;
      text += "clock 1 " + std::to_string(second) + " " + std::to_string(third) + "\n";
      latest = 10000u + second * 100u + third;
    }
  }
  std::vector<uint64_t> times;
  for (const ReadPacket& packet : exportAndRead(text).packets) times.push_back(packet.microseconds);
  EXPECT_EQ(times, expected);
}

TEST(PacketComments, NameTheCheckMarkAndFlagBadChecks) {
  QV_REQUIRE_TSHARK();
  int status = -1;
  std::string error;
  const std::string path = exportToFile(
      captureFrom("conditions\nprotocol hdlc\ncheck fcs16\nframe-protocol sdlc\n\nrecords\n"
                  "sd 7E/4 C1 93 AA BB/16 7E/5\n"
                  "rd 7E/4 C1 73 AA BB/20 7E/5\n"
                  "sd 7E/4 C1 10 01 7E/6\n"
                  "rd 7E/4 C1 10 02 7E/7\n"
                  "sd 7E/4 C1 10 03\n"),
      {}, status, error, "comments");
  const auto rows =
      tsharkFields(path, {"frame.interface_name", "frame.packet_flags_crc_error", "frame.comment"});
  const std::vector<std::vector<std::string>> expected = {
      {"SD", "0", ""},
      {"RD", "1", "FCS error"},
      {"SD", "0", "Check mark SF: short frame"},
      {"RD", "0", "Check mark A: frame aborted"},
      {"SD", "0", "Frame still open at the end of the data"},
  };
  EXPECT_EQ(rows, expected);
}

TEST(NoFrames, SyncBurstAndListedAsyncCapturesAreRefused) {
  const char* conditions[] = {"protocol sync", "protocol burst", "protocol async"};
  for (const char* condition : conditions) {
    CaptureFile capture;
    capture.loadImage(
        captureFrom(std::string("conditions\n") + condition + "\n\nrecords\nsd 41\n"));
    EXPECT_FALSE(captureHasFrames(capture)) << condition;
    ExportOptions options;
    options.captureName = "x.cap";
    std::string error;
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(exportPcapng(capture, options, out, error), 1);
    std::fclose(out);
    const std::string name = std::string(condition).substr(9);
    std::string upper;
    for (char ch : name) upper += static_cast<char>(std::toupper(ch));
    EXPECT_EQ(error, "qvconv: x.cap: " + upper + " captures hold no frames to export");
  }
}

// A run of frames that never close, with escapes: the sweep's frames at a capacity above
// the report's, overflow included, are the walk's.
TEST(LargeCapacity, SweepDeliversTheFramesTheWalkDoes) {
  std::string ppp = "conditions\nprotocol ppp\ncheck fcs16\n\nrecords\n";
  for (int i = 0; i < 600; ++i)
    ppp += i % 5 == 0 ? "sd 7D/9\n" : i % 7 == 0 ? "sd 7D\n" : "sd 41/9\nrd 42\n";
  std::string hdlc = "conditions\nprotocol hdlc\ncheck fcs16\nstamps 1 0\n\nrecords\n";
  for (int i = 0; i < 300; ++i)
    hdlc += std::string("clock 1 2 3") + (i % 2 ? " rd\n" : "\n") + (i % 2 ? "rd" : "sd") +
            " C1 10 33\n";
  // A frame opened inside a run of 0x7Ds, whose walk reads the run with the opposite
  // escape flag to the shared one, cut inside the run and cleared after it.
  std::string escapes = "conditions\nprotocol ppp\ncheck fcs16\n\nrecords\nsd 7D\nsd 7D/9\n";
  for (int i = 0; i < 261; ++i) escapes += "sd 7D\n";
  for (int i = 0; i < 20; ++i) escapes += "sd 41/9\nsd 7D\nsd 7D\n";
  const struct {
    const char* name;
    std::string text;
    FrameFamily family;
  } cases[] = {{"ppp", ppp, FrameFamily::Ppp},
               {"hdlc", hdlc, FrameFamily::Hdlc},
               {"escapes", escapes, FrameFamily::Ppp}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CaptureFile capture;
    capture.loadImage(captureFrom(c.text));
    FrameAssembler walker(capture), sweeper(capture);
    walker.setCellCapacity(100);
    sweeper.setCellCapacity(100);
    FrameStream walk(capture, walker, c.family, capture.startCursor(), FrameStream::Method::Walk);
    FrameStream sweep(capture, sweeper, c.family, capture.startCursor(),
                      FrameStream::Method::Sweep);
    Frame walked, swept;
    int frames = 0, cut = 0;
    do {
      walk.identify();
      sweep.identify();
      walk.assemble(walked);
      sweep.assemble(swept);
      ASSERT_EQ(walked.firstWord, swept.firstWord) << frames;
      ASSERT_EQ(walked.count, swept.count) << frames;
      ASSERT_EQ(walked.overflow, swept.overflow) << frames;
      ASSERT_EQ(walked.endStatus, swept.endStatus) << frames;
      for (int32_t i = 0; i < walked.count; ++i) ASSERT_EQ(cellAt(walked, i), cellAt(swept, i));
      ++frames;
      cut += walked.overflow > 0;
      const bool more = walk.advance();
      ASSERT_EQ(sweep.advance(), more);
      if (!more) break;
    } while (true);
    EXPECT_EQ(sweep.refusals(), 0u);
    EXPECT_GT(cut, 0);
  }
}

}  // namespace
}  // namespace qv::test
