// The built program on the command line: what reaches its standard output and standard
// error, and its exit status, with the report and the capture on the standard streams.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace qv {
namespace {

struct ShellRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `qvconv ARGS` under /bin/sh; an input redirection may follow the arguments.
// Standard output goes to outPath when one is given (out then stays empty).
ShellRun shell(const std::string& arguments, std::string outPath = "") {
  static int sequence = 0;
  const std::string stem = test::tempPath("cli-binary-" + std::to_string(++sequence));
  if (outPath.empty()) outPath = stem + ".out";
  const std::string command = "cd '" QV_SOURCE_DIR "' && '" QV_BINARY_DIR "/qvconv' " + arguments +
                              " > '" + outPath + "' 2> '" + stem + ".err'";
  const int raw = std::system(command.c_str());
  ShellRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (outPath == stem + ".out") run.out = test::readFile(outPath);
  run.err = test::readFile(stem + ".err");
  return run;
}

class CommandLineBinary : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(QV_BINARY_DIR "/qvconv"))
      FAIL() << "build the qvconv target first";
  }
};

TEST_F(CommandLineBinary, ReportAndCaptureOnTheStandardStreams) {
  const std::string file = test::tempPath("cli-binary-report.txt");
  const ShellRun toFile = shell("-o '" + file + "' samples/ppp.cap");
  ASSERT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_EQ(toFile.out + toFile.err, "");
  const std::string expected = test::maskTopLine(test::readFile(file));

  for (const char* arguments : {"samples/ppp.cap", "-o - samples/ppp.cap", "- < samples/ppp.cap",
                                "-q -o - - < samples/ppp.cap"}) {
    const ShellRun run = shell(arguments);
    EXPECT_EQ(run.status, 0) << arguments;
    EXPECT_EQ(run.err, "") << arguments;
    EXPECT_EQ(test::maskTopLine(run.out), expected) << arguments;
  }
}

// A capture redirected from a file is that file: a report or an export naming it is
// refused, and the capture stays as it was.
TEST_F(CommandLineBinary, CaptureOnStandardInputIsNotWrittenOver) {
  const std::string capture = test::tempPath("cli-binary-stdin.cap");
  std::filesystem::copy_file(QV_SOURCE_DIR "/samples/ppp.cap", capture,
                             std::filesystem::copy_options::overwrite_existing);
  const std::string bytes = test::readFile(capture);
  for (const char* option : {"-o", "-w"}) {
    const ShellRun run = shell(std::string(option) + " '" + capture + "' - < '" + capture + "'");
    EXPECT_EQ(run.status, 2) << option;
    EXPECT_EQ(run.err, "qvconv: " + capture + ": Save file is the data file.\n") << option;
    EXPECT_EQ(test::readFile(capture), bytes) << option;
  }
}

TEST_F(CommandLineBinary, FailuresWriteNothingToStandardOutput) {
  ShellRun run = shell("samples/no-such.cap");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "qvconv: samples/no-such.cap: Can't open data file.\n");

  run = shell("- < /dev/null");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "qvconv: standard input: Data file error.\n");

  // An endless stream that is not a capture is refused after its first piece, not read
  // up to the size limit.
  const auto start = std::chrono::steady_clock::now();
  run = shell("- < /dev/zero");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "qvconv: standard input: Data file error.\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

  run = shell("--level packet samples/ppp.cap");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "qvconv: --level does not apply to this PPP capture\n");
}

TEST_F(CommandLineBinary, ReportThatCannotBeWrittenIsStatusOne) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const ShellRun run = shell("samples/ppp.cap", "/dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "qvconv: standard output: Can't write print data file.\n");
}

TEST_F(CommandLineBinary, VersionAndTheDialogueWithoutArguments) {
  ShellRun run = shell("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "qvconv 1.04\n");
  run = shell("< /dev/null");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "===== QUORVIS Data File Converter =====\n Version 1.04\n\nData filename ? ");
}

}  // namespace
}  // namespace qv
