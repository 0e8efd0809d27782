// The built program itself: answers on its standard input, the console on its standard
// output, and its exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "capture_builder.h"
#include "report_text.h"
#include "test_support.h"

namespace qv {
namespace {

using test::kBanner;

struct ProgramRun {
  int status = -1;
  std::string console;
};

// Runs the program under /bin/sh with the given answers; shellPrefix may set limits first.
ProgramRun runProgram(const std::string& answers, const std::string& shellPrefix = "") {
  static int sequence = 0;
  const std::string stem = "binary-" + std::to_string(++sequence);
  const std::string input = test::tempPath(stem + ".in");
  const std::string output = test::tempPath(stem + ".out");
  {
    std::ofstream(input, std::ios::binary) << answers;
  }
  const std::string command = shellPrefix + "'" QV_BINARY_DIR "/qvconv' < '" + input + "' > '" + output + "'";
  const int raw = std::system(command.c_str());
  ProgramRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.console = test::readFile(output);
  return run;
}

class Binary : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(QV_BINARY_DIR "/qvconv")) FAIL() << "build the qvconv target first";
  }
};

TEST_F(Binary, WholeHdlcFrameSession) {
  const std::string data = test::tempPath("binary-hdlc.cap");
  const std::string report = test::tempPath("binary-hdlc.txt");
  test::writeFile(data, build::CaptureBuilder().dinf({.protocol = 2}).mond({build::sdChar(0x41)}).bytes());

  const ProgramRun run = runProgram(data + "\n" + report + "\n2\n1\n1\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.console, std::string(kBanner) +
                             "Data filename ? Save filename ? \n"
                             "Print format (1:Normal, 2:Translate) ? "
                             "Select data line (1:SD & RD, 2:SD, 3:RD) ? "
                             "Translate level (1:Frame, 2:Packet) ? "
                             "Convert start.\n"
                             "Complete.\n");
  EXPECT_EQ(test::readFile(report).rfind("*=[KOVREN]", 0), 0u);
}

TEST_F(Binary, FailedDialogueExitsWithStatusOne) {
  ProgramRun run = runProgram("");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.console, std::string(kBanner) + "Data filename ? ");

  run = runProgram(test::tempPath("binary-missing.cap") + "\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.console, std::string(kBanner) + "Data filename ? Can't open data file.\n");
}

TEST_F(Binary, BufferThatCannotBeAllocatedIsReported) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run under a memory limit";
#endif
  const std::string data = test::tempPath("binary-large.cap");
  {
    std::ofstream create(data, std::ios::binary);
  }
  std::error_code error;
  std::filesystem::resize_file(data, (uintmax_t{1} << 31) - 1, error);  // sparse
  if (error) GTEST_SKIP() << "cannot make a sparse file here";

  const ProgramRun run = runProgram(data + "\n", "ulimit -v 1000000 && ");
  std::filesystem::remove(data, error);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.console, std::string(kBanner) + "Data filename ? Not enough memory.\n");
}

}  // namespace
}  // namespace qv
