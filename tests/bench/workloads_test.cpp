// The benchmark's capture generators, checked by converting small captures with the
// whole program: a generator that miscounts or mis-frames its traffic would make the
// benchmark's frames per second and its line check meaningless.
#include "workloads.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "capture_builder.h"
#include "child_run.h"
#include "link_frames.h"
#include "session.h"
#include "test_support.h"

namespace qv::bench {
namespace {

constexpr size_t kSmall = 256 * 1024;

std::vector<uint8_t> fileBytes(const Capture& capture) {
  const std::string path = test::tempPath("workload.cap");
  EXPECT_GT(writeCapture(path, capture), 0u);
  const std::string text = test::readFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The lines after the column head, as the benchmark counts them.
std::vector<std::string_view> frameLines(const std::string& report) {
  std::vector<std::string_view> lines;
  bool headSeen = false;
  for (size_t start = 0; start < report.size();) {
    const size_t end = report.find('\n', start);
    const std::string_view line(report.data() + start,
                                (end == std::string::npos ? report.size() : end) - start);
    if (headSeen) lines.push_back(line);
    if (!headSeen && line.starts_with("-")) headSeen = true;
    start = end == std::string::npos ? report.size() : end + 1;
  }
  return lines;
}

const Workload& named(std::span<const Workload> workloads, std::string_view name) {
  for (const Workload& w : workloads)
    if (name == w.name) return w;
  ADD_FAILURE() << "no workload " << name;
  return workloads.front();
}

TEST(BenchCapture, WrittenFileEqualsTheCaptureBuilderImage) {
  const Capture capture = makeCapture(named(realisticWorkloads(), "hdlc-frame"), 4096);
  const std::vector<uint8_t> expected =
      build::CaptureBuilder().dinf(capture.conditions).mond(capture.words).bytes();
  EXPECT_EQ(fileBytes(capture), expected);
}

TEST(BenchCapture, EveryGeneratorFillsExactlyTheRequestedMonitorData) {
  for (auto workloads : {realisticWorkloads(), adversarialWorkloads()}) {
    for (const Workload& w : workloads) {
      for (size_t bytes : {size_t{4096}, kSmall}) {
        const Capture capture = makeCapture(w, bytes + 2);  // a size that is not a whole word count
        EXPECT_EQ(capture.words.size(), bytes / 4) << w.name;
        EXPECT_GT(capture.frames, 0u) << w.name;
      }
    }
  }
}

// Where the FC mark stands in each frame report that has one.
int fcColumn(std::string_view workload) {
  static constexpr struct {
    std::string_view name;
    int column;
  } kColumns[] = {{"hdlc-frame", 29}, {"hdlc-packet", 35}, {"ppp-translate", 32},
                  {"ppp-dump", 10},   {"irda", 27},        {"lapd", 31}};
  for (const auto& c : kColumns)
    if (c.name == workload) return c.column;
  return -1;
}

TEST(BenchCapture, FrameRunnersPrintOneGoodLinePerGeneratedFrame) {
  for (const Workload& w : realisticWorkloads()) {
    if (!w.oneLinePerFrame) continue;
    SCOPED_TRACE(w.name);
    const Capture capture = makeCapture(w, kSmall);
    const test::Conversion result = test::convert(fileBytes(capture), w.answers);
    ASSERT_EQ(result.session.status, 0);
    const std::vector<std::string_view> lines = frameLines(result.report);
    ASSERT_EQ(lines.size(), capture.frames);
    const int fc = fcColumn(w.name);
    size_t notGood = 0;
    for (std::string_view line : lines) {
      ASSERT_FALSE(line.empty()) << "an empty slot: the generator left a boundary without a frame";
      ASSERT_TRUE(line.starts_with("SD:") || line.starts_with("RD:") || line.starts_with("       "))
          << line;
      if (fc >= 0 && line.substr(static_cast<size_t>(fc), 2) != " G") ++notGood;
    }
    // Only the SDLC traffic carries the odd bad FCS on purpose (about one frame in 200).
    EXPECT_LE(notGood, lines.size() / 50);
  }
}

TEST(BenchCapture, DecodedTrafficIsWhatEachGeneratorIntends) {
  const struct {
    const char* workload;
    const char* expected;
  } cases[] = {
      {"hdlc-frame", "SD:       C1 SNRM      1      G"},
      {"hdlc-packet", "   1 DT "},
      {"lapd", "SD:       08 SETUP     0  01    G 04038090A318018970058135353535"},
      {"lapd", "SD:       [RR    ]              G"},
      {"ppp-translate", "SD:       LCP      CONF-REQ   1  G 000E010405DC050612345678"},
      {"ppp-translate", "IP       (45)"},
      {"ppp-dump", "SD:        G FF03C0210101000E010405DC050612345678"},
      {"irda", "SD:       FF XID      1     G"},
      {"irda", " 05 INFO "},
      {"i2c", "       90a=>00a  90a<="},
      {"i2c", "       01a34a=>"},
      {"spi", "SD:       03"},
      {"spi", "RD:       FFFFFFFF"},
      {"async-dump", "SD:120000  A T"},
      {"bsc", "SD:SX -E"},
      {"bsc", "AK 0"},
      {"listing", "[ TMSP ]"},
  };
  for (const auto& c : cases) {
    const Workload& w = named(realisticWorkloads(), c.workload);
    const test::Conversion result = test::convert(fileBytes(makeCapture(w, 64 * 1024)), w.answers);
    ASSERT_EQ(result.session.status, 0) << c.workload;
    EXPECT_NE(result.report.find(c.expected), std::string::npos)
        << c.workload << " lacks |" << c.expected << "|";
  }
}

TEST(BenchCapture, AdversarialCapturesConvertAtASmallSize) {
  for (const Workload& w : adversarialWorkloads()) {
    SCOPED_TRACE(w.name);
    const Capture capture = makeCapture(w, 8 * 1024);
    const test::Conversion result = test::convert(fileBytes(capture), w.answers);
    ASSERT_EQ(result.session.status, 0);
    if (w.oneLinePerFrame) {
      EXPECT_EQ(frameLines(result.report).size(), capture.frames);
    }
  }
}

// The packet capture must hold exactly the frames qvconv reports, or the TShark anchor
// compares different work; TShark itself must read them all when it is installed.
TEST(BenchCapture, PacketCaptureHoldsTheSameFrames) {
  const bool haveTshark = access("/usr/bin/tshark", X_OK) == 0;
  for (const char* name : {"hdlc-frame", "hdlc-packet", "lapd", "ppp-translate", "irda"}) {
    SCOPED_TRACE(name);
    const Capture capture = makeCapture(named(realisticWorkloads(), name), 64 * 1024);
    ASSERT_NE(capture.linkFrames.type(), kLinkNone);
    EXPECT_EQ(capture.linkFrames.count(), capture.frames);
    if (!haveTshark) continue;
    const std::string pcap = test::tempPath("frames.pcap");
    ASSERT_TRUE(capture.linkFrames.writePcap(pcap));
    std::vector<std::string> argv = {"/usr/bin/tshark", "-n"};
    for (const std::string& option : tsharkOptions(capture.linkFrames.type()))
      argv.push_back(option);
    argv.insert(argv.end(), {"-r", pcap});
    const std::string summary = test::tempPath("frames.txt");
    ASSERT_EQ(runChild(argv, "", summary, "", 60, "/dev/null").exitStatus, 0);
    const std::string text = test::readFile(summary);
    EXPECT_EQ(static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n')), capture.frames);
  }
}

TEST(BenchCapture, PcapFileLayout) {
  LinkFrames ppp(kLinkPppWithDir);
  const uint8_t frame[] = {0xFF, 0x03, 0xC0, 0x21};
  ppp.add(false, frame, sizeof frame);
  ppp.add(true, frame, 2);
  const LinkFrames::Mark mark = ppp.mark();
  ppp.add(true, frame, 3);
  ppp.rewind(mark);
  const std::string path = test::tempPath("layout.pcap");
  ASSERT_TRUE(ppp.writePcap(path));
  const std::string file = test::readFile(path);
  const std::string expected =
      std::string("\xD4\xC3\xB2\xA1\x02\x00\x04\x00", 8) + std::string(8, '\0') +
      std::string("\xFF\xFF\x00\x00\xCC\x00\x00\x00", 8) +
      // 0 s 0 us, 5 bytes: sent by this host (SD)
      std::string("\0\0\0\0\0\0\0\0\x05\0\0\0\x05\0\0\0\x01\xFF\x03\xC0\x21", 21) +
      // 0 s 1000 us, 3 bytes: received (RD)
      std::string("\0\0\0\0\xE8\x03\0\0\x03\0\0\0\x03\0\0\0\x00\xFF\x03", 19);
  EXPECT_EQ(file, expected);

  LinkFrames irda(kLinkLinuxIrda);
  irda.add(false, frame, 1);
  ASSERT_TRUE(irda.writePcap(path));
  const std::string irdaFile = test::readFile(path);
  ASSERT_EQ(irdaFile.size(), 24u + 16u + 16u + 1u);
  // Outgoing packet type, IrDA hardware type, IrDA protocol, then the frame.
  EXPECT_EQ(irdaFile.substr(40), std::string("\0\x04\x03\x0F", 4) + std::string(10, '\0') +
                                     std::string("\0\x17\xFF", 3));
  EXPECT_FALSE(LinkFrames().writePcap(path));
}

TEST(BenchReport, FrameLinesAreCountedAfterTheColumnHead) {
  const std::string path = test::tempPath("report.txt");
  test::writeFile(path, std::vector<uint8_t>{});
  EXPECT_EQ(countFrameLines(path), -1) << "no column head";
  const std::string report = "*=[X]=*\n* MONITOR DATA *\n\n-----TM---DATA\nSD:  41\n\nRD:  42\n";
  test::writeFile(path, std::vector<uint8_t>(report.begin(), report.end()));
  EXPECT_EQ(countFrameLines(path), 3);
  EXPECT_EQ(countFrameLines(test::tempPath("missing.txt")), -1);
}

}  // namespace
}  // namespace qv::bench
