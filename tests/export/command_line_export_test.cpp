// The export and the salvage load as the command line runs them: -w beside or instead of
// the report, the guards that keep the capture safe, and captures cut short.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/command_line.h"
#include "export_test_support.h"
#include "report_text.h"
#include "session.h"
#include "test_support.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

std::string samplePath(const std::string& stem) {
  return (fs::path(QV_SOURCE_DIR) / "samples" / (stem + ".cap")).string();
}

using test::CliRun;
using test::runCli;

std::vector<uint8_t> bytesOf(const std::string& path) {
  const std::string text = test::readFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The packets the command line writes are the export library's, for every family.
TEST(CommandLineExport, WritesTheLibrarysPackets) {
  for (const char* stem :
       {"ppp", "lapd_q931", "x25_mod128", "sdlc_inband", "irda", "i2c", "spi", "async_dump"}) {
    const std::string pcapng = test::tempPath(std::string("cli-") + stem + ".pcapng");
    const CliRun run = runCli({"-w", pcapng, "--line", "rd", "-s", "100", samplePath(stem)});
    ASSERT_EQ(run.status, ExitConverted) << stem << ": " << run.err;
    EXPECT_EQ(run.out + run.err, "") << stem;

    ExportOptions options;
    options.dataLine = 2;
    options.snaplen = 100;
    int status = 1;
    std::string error;
    const std::string expected =
        test::exportToFile(bytesOf(samplePath(stem)), options, status, error, stem);
    ASSERT_EQ(status, 0) << error;
    const test::ReadBack got = test::readWithLibpcap(pcapng);
    const test::ReadBack want = test::readWithLibpcap(expected);
    ASSERT_TRUE(got.opened) << got.error;
    EXPECT_EQ(got.linkType, want.linkType) << stem;
    ASSERT_EQ(got.packets.size(), want.packets.size()) << stem;
    for (size_t i = 0; i < got.packets.size(); ++i)
      EXPECT_EQ(got.packets[i].data, want.packets[i].data) << stem << " packet " << i;
  }
}

TEST(CommandLineExport, ReportTooWhenOutputIsNamed) {
  const std::string alone = test::tempPath("cli-report-alone.txt");
  ASSERT_EQ(runCli({"-o", alone, samplePath("ppp")}).status, ExitConverted);
  const std::string both = test::tempPath("cli-report-both.txt");
  const std::string pcapng = test::tempPath("cli-report-both.pcapng");
  fs::remove(both);
  const CliRun run = runCli({"-w", pcapng, "-o", both, samplePath("ppp")});
  ASSERT_EQ(run.status, ExitConverted) << run.err;
  EXPECT_EQ(test::maskTopLine(test::readFile(both)), test::maskTopLine(test::readFile(alone)));
  const test::ReadBack back = test::readWithLibpcap(pcapng);
  EXPECT_EQ(back.packets.size(), test::reportFrames(test::readFile(both)).lines.size());
}

TEST(CommandLineExport, CaptureWithoutFramesIsRefusedAndNoFileMade) {
  const std::string pcapng = test::tempPath("cli-no-frames.pcapng");
  fs::remove(pcapng);
  for (const char* stem : {"sync_bsc", "burst", "async_listing"}) {
    const CliRun run = runCli({"-w", pcapng, samplePath(stem)});
    EXPECT_EQ(run.status, ExitFailed) << stem;
    EXPECT_NE(run.err.find("captures hold no frames to export\n"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(pcapng)) << stem;
  }
}

TEST(CommandLineExport, FileThatCannotBeWrittenIsStatusOne) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const CliRun run = runCli({"-w", "/dev/full", samplePath("ppp")});
  EXPECT_EQ(run.status, ExitFailed);
  EXPECT_EQ(run.err, "qvconv: /dev/full: cannot write the pcapng file\n");
}

// Neither the report nor the export may land on the capture, however it is spelled.
TEST(CommandLineExport, TargetThatIsTheCaptureIsRefused) {
  const fs::path directory = test::tempPath("cli-same-file");
  fs::create_directories(directory);
  const std::string capture = (directory / "victim.cap").string();
  fs::copy_file(samplePath("ppp"), capture, fs::copy_options::overwrite_existing);
  fs::remove(directory / "link.cap");
  fs::create_symlink(capture, directory / "link.cap");
  const std::string spellings[] = {
      capture, (directory / "link.cap").string(),
      (directory / ".." / directory.filename() / "victim.cap").string()};
  for (const std::string& target : spellings) {
    for (const char* option : {"-o", "-w"}) {
      const CliRun run = runCli({option, target, capture});
      EXPECT_EQ(run.status, ExitUsage) << option << " " << target;
      EXPECT_EQ(run.err, "qvconv: " + target + ": Save file is the data file.\n");
    }
  }
  EXPECT_EQ(bytesOf(capture), bytesOf(samplePath("ppp")));

  const std::string same = (directory / "out.bin").string();
  const CliRun run = runCli({"-o", same, "-w", same, capture});
  EXPECT_EQ(run.status, ExitUsage);
  EXPECT_EQ(run.err, "qvconv: -o and -w name the same file\n");
}

TEST(CommandLineExport, CaptureCutShortConvertsOnlyWithSalvage) {
  std::vector<uint8_t> bytes = bytesOf(samplePath("sdlc_inband"));
  bytes.resize(bytes.size() - 5);
  const std::string cut = test::tempPath("cli-cut.cap");
  test::writeFile(cut, bytes);
  const std::string report = test::tempPath("cli-cut.txt");
  fs::remove(report);

  CliRun run = runCli({"-o", report, cut});
  EXPECT_EQ(run.status, ExitFailed);
  EXPECT_EQ(run.err, "qvconv: " + cut + ": Data file error. (try --salvage)\n");
  EXPECT_FALSE(fs::exists(report));

  run = runCli({"--salvage", "-o", report, cut});
  EXPECT_EQ(run.status, ExitConverted);
  EXPECT_EQ(run.err.rfind("qvconv: " + cut + ": cut short: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(" bytes of monitor data present\n"), std::string::npos) << run.err;
  EXPECT_FALSE(test::reportFrames(test::readFile(report)).lines.empty());

  // A whole capture loads the same with or without it, and says nothing.
  run = runCli({"--salvage", "-o", report, samplePath("sdlc_inband")});
  EXPECT_EQ(run.status, ExitConverted);
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace qv
