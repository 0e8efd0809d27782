// The command line run in-process: the same reports as the dialogue for the same answers,
// one line and status 2 for every usage error, status 1 for a capture or report that
// fails, and the capture summaries.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#ifdef QV_HAVE_JSON
#include <nlohmann/json.hpp>
#endif

#include "driver/command_line.h"
#include "report_text.h"
#include "session.h"
#include "test_support.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(QV_SOURCE_DIR) / "samples";

std::string samplePath(const std::string& stem) { return (kSamples / (stem + ".cap")).string(); }

std::vector<uint8_t> sampleBytes(const std::string& stem) {
  const std::string text = test::readFile(samplePath(stem));
  return std::vector<uint8_t>(text.begin(), text.end());
}

using test::CliRun;
using test::runCli;

// Converts with the arguments into a fresh report file; "" when no report was made.
std::string cliReport(const std::string& capture, std::vector<std::string> args, CliRun& run) {
  static int sequence = 0;
  const std::string report = test::tempPath("cli-" + std::to_string(++sequence) + ".txt");
  args.insert(args.end(), {"-o", report, capture});
  run = runCli(args);
  if (!fs::exists(report)) return "";
  const std::string text = test::maskTopLine(test::readFile(report));
  fs::remove(report);
  return text;
}

// "@name" stands for the answers kept in samples/name.answers.
struct SameReport {
  const char* capture;
  const char* answers;
  std::vector<std::string> args;
};

const SameReport kSameReports[] = {
    // Every runner, through the sample answer sets.
    {"async_listing", "@async_listing", {"-f", "normal"}},
    {"async_linestate", "@async_linestate", {"--line-states", "RS,CS,DR,CD"}},
    {"async_bsc", "@async_bsc", {}},
    {"async_dump", "@async_dump", {}},
    {"async_dump", "@async_dump", {"--async", "dump"}},
    {"sync_bsc", "@sync_bsc", {"--format=translate"}},
    {"burst", "@burst", {}},
    {"sdlc_inband", "@sdlc_inband", {}},
    {"sdlc_stamped", "@sdlc_stamped", {"--level", "frame"}},
    {"hdlc_filter", "@hdlc_filter", {}},
    {"lapd_q931", "@lapd_q931", {"--level=packet"}},
    {"lapd_q931", "@lapd_q931.frame", {}},
    {"x25_mod128", "@x25_mod128", {"--level", "packet"}},
    {"x25_mod128", "@x25_mod128.frame", {}},
    {"ppp", "@ppp", {"--ppp", "translate"}},
    {"ppp", "@ppp.dump", {"--ppp", "dump"}},
    {"irda", "@irda", {}},
    {"i2c", "@i2c", {"-f", "frame"}},
    {"spi", "@spi", {}},
    // Answers other than the first choice.
    {"async_dump", "2\n1\n1\n1\n1\n", {"--async", "bsc"}},
    {"async_dump", "2\n3\n2\n", {"--async", "dump", "-l", "rd"}},
    {"async_linestate",
     "2\n2\n57\n2\n1\n2\n",
     {"--line-states", "57", "-l", "sd", "-c", "char", "--no-guide"}},
    {"async_linestate", "3\n1\n1\n1\n", {"-f", "translate"}},
    {"async_listing",
     "1\n3\n3\n2\n2\n",
     {"-f", "normal", "-l", "rd", "-c", "hex", "--skip-idle", "--no-guide"}},
    {"sync_bsc", "2\n3\n2\n2\n", {"--line", "rd", "--skip-idle", "--no-guide"}},
    {"burst", "2\n2\n1\n1\n", {"-l", "sd", "-c", "char"}},
    {"hdlc_filter", "1\n1\n2\n1\n1\n", {"-f", "normal", "--code=char"}},
    {"ppp", "2\n2\n2\n", {"-l", "sd", "--ppp", "dump"}},
};

std::string answersOf(const SameReport& row) {
  const std::string answers = row.answers;
  if (answers[0] != '@') return answers;
  return test::readFile((kSamples / (answers.substr(1) + ".answers")).string());
}

TEST(CommandLine, WritesTheDialoguesReportForTheSameAnswers) {
  for (const SameReport& row : kSameReports) {
    std::string shown = std::string(row.capture) + " with";
    for (const std::string& arg : row.args) shown += " " + arg;
    const test::Conversion dialogue = test::convert(sampleBytes(row.capture), answersOf(row));
    ASSERT_EQ(dialogue.session.status, 0) << shown;
    ASSERT_NE(dialogue.report, "") << shown;
    CliRun run;
    const std::string report = cliReport(samplePath(row.capture), row.args, run);
    EXPECT_EQ(run.status, ExitConverted) << shown << "\n" << run.err;
    EXPECT_EQ(run.out + run.err, "") << shown;
    EXPECT_EQ(report, dialogue.report) << shown;
  }
}

// The dialogue cannot change the width; the option reaches the runners.
TEST(CommandLine, WidthWidensListingsAndFrameLines) {
  CliRun run;
  const std::string wide =
      cliReport(samplePath("async_listing"), {"-f", "normal", "--width", "136"}, run);
  const std::string narrow =
      cliReport(samplePath("async_listing"), {"-f", "normal", "--width", "40"}, run);
  const std::string normal = cliReport(samplePath("async_listing"), {"-f", "normal"}, run);
  EXPECT_NE(wide, normal);
  EXPECT_NE(narrow, normal);
  size_t widest = 0;
  for (const std::string& line : test::linesOf(test::bodyOf(wide)))
    widest = std::max(widest, line.size());
  EXPECT_GT(widest, 80u);
}

struct UsageError {
  std::vector<std::string> args;
  const char* message;  // the whole line on standard error
};

const UsageError kUsageErrors[] = {
    {{}, "qvconv: no CAPTURE given (see qvconv --help)"},
    {{"-q"}, "qvconv: no CAPTURE given (see qvconv --help)"},
    {{"--bogus", "x.cap"}, "qvconv: unknown option --bogus (see qvconv --help)"},
    {{"-x", "x.cap"}, "qvconv: unknown option -x (see qvconv --help)"},
    {{"--quiet=yes", "x.cap"}, "qvconv: option --quiet takes no value (see qvconv --help)"},
    {{"--l", "sd", "x.cap"}, "qvconv: unknown option --l (see qvconv --help)"},
    {{"x.cap", "-f"}, "qvconv: option --format needs a value (see qvconv --help)"},
    {{"-f", "table", "x.cap"},
     "qvconv: bad value 'table' for --format (normal, line-state, translate, frame) (see qvconv "
     "--help)"},
    {{"--line=both,sd", "x.cap"},
     "qvconv: bad value 'both,sd' for --line (both, sd, rd) (see qvconv --help)"},
    {{"--width", "100", "x.cap"},
     "qvconv: bad value '100' for --width (40, 80, 136) (see qvconv --help)"},
    {{"--line-states", "0,2", "x.cap"},
     "qvconv: bad value '0,2' for --line-states (up to 8 of RS,CS,DR,CD,ER,SQ,CI,EX or digits 0-7) "
     "(see qvconv --help)"},
    {{"--line-states", "012345670", "x.cap"},
     "qvconv: bad value '012345670' for --line-states (up to 8 of RS,CS,DR,CD,ER,SQ,CI,EX or "
     "digits 0-7) (see qvconv --help)"},
    {{"--line-states", "RS,,CS", "x.cap"},
     "qvconv: bad value 'RS,,CS' for --line-states (up to 8 of RS,CS,DR,CD,ER,SQ,CI,EX or digits "
     "0-7) (see qvconv --help)"},
    {{"-o", "", "x.cap"}, "qvconv: empty file name for --output (see qvconv --help)"},
    {{"a.cap", "b.cap"},
     "qvconv: one CAPTURE per conversion (use a shell loop for several) (see qvconv --help)"},
    {{"--json", "x.cap"}, "qvconv: --json needs --info (see qvconv --help)"},
    {{"--info"}, "qvconv: no CAPTURE given (see qvconv --help)"},
    {{"--info", "-o", "r.txt", "x.cap"},
     "qvconv: conversion options do not go with --info (see qvconv --help)"},
    {{"--info", "-w", "x.pcapng", "x.cap"},
     "qvconv: conversion options do not go with --info (see qvconv --help)"},
    {{"-s", "100", "x.cap"},
     "qvconv: the export options (-s, --clock-stamps, --counter-tick, --start, --payload) need -w "
     "(see qvconv --help)"},
    {{"-w", "-", "-o", "-", "x.cap"},
     "qvconv: -w - and -o - cannot both write to standard output (see qvconv --help)"},
    {{"-w", "x.pcapng", "-s", "0", "x.cap"},
     "qvconv: bad value '0' for --snaplen (1 to 262144) (see qvconv --help)"},
    {{"-w", "x.pcapng", "--clock-stamps", "ticks", "x.cap"},
     "qvconv: bad value 'ticks' for --clock-stamps (digits, hms) (see qvconv --help)"},
    {{"-w", "x.pcapng", "--start", "yesterday", "x.cap"},
     "qvconv: bad value 'yesterday' for --start (YYYY-MM-DDTHH:MM:SS) (see qvconv --help)"},
    // What the capture's protocol does not ask.
    {{"--level", "packet", "@ppp"}, "qvconv: --level does not apply to this PPP capture"},
    {{"--ppp", "dump", "@sdlc_inband"}, "qvconv: --ppp does not apply to this HDLC capture"},
    {{"--async", "bsc", "@async_bsc"}, "qvconv: --async does not apply to this ASYNC capture"},
    {{"--async", "dump", "@sync_bsc"}, "qvconv: --async does not apply to this SYNC capture"},
    {{"--level", "frame", "@i2c"}, "qvconv: --level does not apply to this I2C capture"},
    {{"-f", "line-state", "--line-states", "0", "@ppp"},
     "qvconv: --format line-state does not apply: this PPP capture has no line states recorded"},
    {{"--line-states", "CD", "@sdlc_inband"},
     "qvconv: --line-states does not apply: this HDLC capture has no line states recorded"},
    {{"-f", "line-state", "@async_linestate"}, "qvconv: --format line-state needs --line-states"},
    {{"-f", "normal", "--line-states", "0", "@async_linestate"},
     "qvconv: --line-states needs --format line-state"},
    {{"-f", "translate", "@burst"},
     "qvconv: --format translate does not apply: this BURST capture has only the normal format"},
    {{"--line-states", "RS", "@burst"},
     "qvconv: --line-states does not apply: this BURST capture has only the normal format"},
    {{"-f", "normal", "--level", "packet", "@sdlc_inband"},
     "qvconv: --level does not apply to the normal format of this HDLC capture"},
    {{"-c", "hex", "@ppp"},
     "qvconv: -c/--code does not apply to the translate format of this PPP capture"},
    {{"-c", "hex", "@sync_bsc"},
     "qvconv: -c/--code does not apply to the translate format of this SYNC capture"},
    {{"--skip-idle", "@irda"},
     "qvconv: --skip-idle does not apply to the translate format of this IrDA capture"},
    {{"--no-guide", "--level=packet", "@x25_mod128"},
     "qvconv: --no-guide does not apply to the translate format of this HDLC capture"},
};

TEST(CommandLine, EachUsageErrorIsOneLineAndStatusTwo) {
  const std::string report = test::tempPath("usage-report.txt");
  for (const UsageError& row : kUsageErrors) {
    std::vector<std::string> args = {"-o", report};
    if (row.args.empty() || row.args[0] == "--json" || row.args[0] == "--info") args.clear();
    for (const std::string& arg : row.args)
      args.push_back(arg[0] == '@' ? samplePath(arg.substr(1)) : arg);
    const CliRun run = runCli(args);
    EXPECT_EQ(run.status, ExitUsage) << row.message;
    EXPECT_EQ(run.err, std::string(row.message) + "\n");
    EXPECT_EQ(run.out, "") << row.message;
    EXPECT_FALSE(fs::exists(report)) << row.message;
  }
}

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"-h"},
                                               {"x.cap", "-f", "normal", "--help"},
                                               {"-V", "-h"}}) {
    const CliRun run = runCli(args);
    EXPECT_EQ(run.status, ExitConverted);
    EXPECT_EQ(run.out, kUsageText);
    EXPECT_EQ(run.err, "");
  }
  for (const char* option : {"--version", "-V"}) {
    const CliRun run = runCli({option});
    EXPECT_EQ(run.status, ExitConverted);
    EXPECT_EQ(run.out, "qvconv 1.04\n");
  }
}

// Every long option of the usage text is documented in the manual page and the README.
TEST(CommandLine, ManualPageAndReadmeNameEveryOption) {
  const std::string manual = test::readFile(QV_SOURCE_DIR "/doc/qvconv.1");
  const std::string readme = test::readFile(QV_SOURCE_DIR "/README.md");
  const std::string usage = kUsageText;
  int options = 0;
  for (size_t at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2)) {
    const size_t end = usage.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
    const std::string name = usage.substr(at + 2, end - at - 2);
    ++options;
    EXPECT_NE(manual.find("\\-\\-" + name), std::string::npos)
        << "--" << name << " in doc/qvconv.1";
    EXPECT_NE(readme.find("--" + name), std::string::npos) << "--" << name << " in README.md";
  }
  EXPECT_GE(options, 16);
}

TEST(CommandLine, FailedCaptureOrReportIsStatusOne) {
  const std::string missing = test::tempPath("cli-missing.cap");
  CliRun run = runCli({missing});
  EXPECT_EQ(run.status, ExitFailed);
  EXPECT_EQ(run.err, "qvconv: " + missing + ": Can't open data file.\n");

  const std::string notCapture = test::tempPath("cli-not-a-capture.cap");
  test::writeFile(notCapture, {'n', 'o', 't', '\n'});
  run = runCli({"-o", test::tempPath("cli-unused.txt"), notCapture});
  EXPECT_EQ(run.status, ExitFailed);
  EXPECT_EQ(run.err, "qvconv: " + notCapture + ": Data file error.\n");

  const std::string unwritable = test::tempPath("no-such-dir") + "/report.txt";
  run = runCli({"-o", unwritable, samplePath("ppp")});
  EXPECT_EQ(run.status, ExitFailed);
  EXPECT_EQ(run.err, "qvconv: " + unwritable + ": Can't create print data file.\n");
  EXPECT_EQ(run.out, "");
}

TEST(CommandLine, CaptureFromStandardInput) {
  const std::string bytes = test::readFile(samplePath("sdlc_stamped"));
  const std::string report = test::tempPath("cli-stdin.txt");
  CliRun run = runCli({"-o", report, "-"}, bytes);
  EXPECT_EQ(run.status, ExitConverted) << run.err;
  const std::string fromStdin = test::maskTopLine(test::readFile(report));
  EXPECT_EQ(fromStdin, cliReport(samplePath("sdlc_stamped"), {}, run));

  run = runCli({"-o", report, "-"}, "QUORVIS DATA");
  EXPECT_EQ(run.status, ExitFailed);
  EXPECT_EQ(run.err, "qvconv: standard input: Data file error.\n");

  run = runCli({"--info", "-"}, bytes);
  EXPECT_EQ(run.status, ExitConverted);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n', run.out.find('\n') + 1)),
            "File:                       standard input\n"
            "File size:                  " +
                std::to_string(bytes.size()) + " bytes");
}

// ---- Summaries ----

std::vector<std::string> sampleStems() {
  std::vector<std::string> stems;
  for (const fs::directory_entry& entry : fs::directory_iterator(kSamples))
    if (entry.path().extension() == ".cap") stems.push_back(entry.path().stem().string());
  std::sort(stems.begin(), stems.end());
  return stems;
}

// Summaries name the capture as given: run from the source tree with relative names.
class Summaries : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    fs::current_path(QV_SOURCE_DIR);
  }
  void TearDown() override { fs::current_path(saved_); }

 private:
  fs::path saved_;
};

TEST_F(Summaries, TextOfEverySampleMatchesItsGoldenFile) {
  const std::vector<std::string> stems = sampleStems();
  ASSERT_GE(stems.size(), 15u);
  for (const std::string& stem : stems) {
    const CliRun run = runCli({"--info", "samples/" + stem + ".cap"});
    EXPECT_EQ(run.status, ExitConverted) << stem;
    EXPECT_EQ(run.out, test::testData("driver/golden/info/" + stem + ".txt")) << stem;
  }
}

TEST_F(Summaries, UnloadableCaptureIsReportedAndTheOthersStillSummarized) {
  const CliRun run = runCli({"--info", "samples/ppp.cap", "samples/none.cap", "samples/spi.cap"});
  EXPECT_EQ(run.status, ExitFailed);
  EXPECT_EQ(run.err, "qvconv: samples/none.cap: Can't open data file.\n");
  EXPECT_EQ(run.out, test::testData("driver/golden/info/ppp.txt") + "\n" +
                         test::testData("driver/golden/info/spi.txt"));
}

#ifdef QV_HAVE_JSON
// A JSON member as the text shows it.
std::string asText(const nlohmann::ordered_json& value) {
  if (value.is_null()) return "none";
  if (value.is_boolean()) return value.get<bool>() ? "yes" : "no";
  if (value.is_string()) return value.get<std::string>();
  return value.dump();
}

TEST_F(Summaries, JsonParsesBackToTheTextValues) {
  std::vector<std::string> args = {"--info", "--json"};
  for (const std::string& stem : sampleStems()) args.push_back("samples/" + stem + ".cap");
  const CliRun run = runCli(args);
  ASSERT_EQ(run.status, ExitConverted);
  const nlohmann::ordered_json all = nlohmann::ordered_json::parse(run.out);
  ASSERT_TRUE(all.is_array());
  ASSERT_EQ(all.size(), args.size() - 2);
  for (const nlohmann::ordered_json& summary : all) {
    const std::string stem = fs::path(summary.at("file").get<std::string>()).stem().string();
    const std::string text = test::testData("driver/golden/info/" + stem + ".txt");
    EXPECT_EQ(summary.size(), test::linesOf(text).size()) << stem;
    // Members come in the order of the text lines.
    auto member = summary.begin();
    for (const std::string& line : test::linesOf(text)) {
      if (member == summary.end()) break;
      std::string shown = line.substr(line.find_first_not_of(' ', line.find(':') + 1));
      if (member.key() == "size") shown.resize(shown.find(" bytes"));
      EXPECT_EQ(asText(*member), shown) << stem << ": " << member.key();
      ++member;
    }
  }
}

TEST_F(Summaries, OneCaptureGivesOneObject) {
  const CliRun run = runCli({"--info", "--json", "samples/i2c.cap"});
  const nlohmann::json summary = nlohmann::json::parse(run.out);
  ASSERT_TRUE(summary.is_object());
  EXPECT_EQ(summary.at("protocol"), "I2C");
  EXPECT_EQ(summary.at("file"), "samples/i2c.cap");
}
#endif

}  // namespace
}  // namespace qv
