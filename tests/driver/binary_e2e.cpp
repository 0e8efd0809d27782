// The built program itself: answers on its standard input, the console on its standard
// output, and its exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

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
  { std::ofstream(input, std::ios::binary) << answers; }
  const std::string command =
      shellPrefix + "'" QV_BINARY_DIR "/qvconv' < '" + input + "' > '" + output + "'";
  const int raw = std::system(command.c_str());
  ProgramRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.console = test::readFile(output);
  return run;
}

class Binary : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(QV_BINARY_DIR "/qvconv"))
      FAIL() << "build the qvconv target first";
  }
};

TEST_F(Binary, WholeHdlcFrameSession) {
  const std::string data = test::tempPath("binary-hdlc.cap");
  const std::string report = test::tempPath("binary-hdlc.txt");
  test::writeFile(
      data, build::CaptureBuilder().dinf({.protocol = 2}).mond({build::sdChar(0x41)}).bytes());

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
  // A capture's magic, then nothing: the size alone decides.
  const std::string data = test::tempPath("binary-large.cap");
  test::writeFile(data, build::magic());
  std::error_code error;
  std::filesystem::resize_file(data, (uintmax_t{1} << 31) - 1, error);  // sparse
  if (error) GTEST_SKIP() << "cannot make a sparse file here";

  const ProgramRun run = runProgram(data + "\n", "ulimit -v 1000000 && ");
  std::filesystem::remove(data, error);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.console, std::string(kBanner) + "Data filename ? Not enough memory.\n");
}

TEST_F(Binary, LargeFileThatIsNotACaptureIsRefusedAtOnceInLittleMemory) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer cannot run under a memory limit";
#endif
  const std::string data = test::tempPath("binary-not-a-capture.bin");
  { std::ofstream create(data, std::ios::binary); }
  std::error_code error;
  std::filesystem::resize_file(data, uintmax_t{1} << 30, error);  // sparse
  if (error) GTEST_SKIP() << "cannot make a sparse file here";

  const auto start = std::chrono::steady_clock::now();
  const ProgramRun run = runProgram(data + "\n", "ulimit -v 300000 && ");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  std::filesystem::remove(data, error);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.console, std::string(kBanner) + "Data filename ? Data file error.\n");
  EXPECT_LT(elapsed, std::chrono::milliseconds(500));
}

// Interrupted halfway through a long listing: the earlier report is still there, byte for
// byte, and the report that was being written is gone.
TEST_F(Binary, InterruptedConversionKeepsTheEarlierReport) {
  namespace fs = std::filesystem;
  const fs::path directory = test::tempPath("binary-interrupt");
  fs::remove_all(directory);
  fs::create_directories(directory);
  const std::string data = (directory / "large.cap").string();
  const std::string report = (directory / "report.txt").string();
  const std::string answers = (directory / "answers").string();
  // Eight million characters make a listing of some hundred megabytes.
  test::writeFile(data, build::CaptureBuilder()
                            .dinf({})
                            .mond(std::vector<uint32_t>(8 << 20, build::sdChar('x')))
                            .bytes());
  const std::string earlier = "the earlier report\n";
  std::ofstream(report, std::ios::binary) << earlier;
  std::ofstream(answers, std::ios::binary) << data << "\n" << report << "\n1\n1\n1\n1\n1\n";

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int in = ::open(answers.c_str(), O_RDONLY);
    const int out = ::open("/dev/null", O_WRONLY);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    execl(QV_BINARY_DIR "/qvconv", "qvconv", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Stop the program once its new report holds some data, so that the signal surely comes
  // in the middle of the conversion.
  bool caught = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!caught && std::chrono::steady_clock::now() < deadline) {
    for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
      std::error_code ignored;
      const std::string name = entry.path().filename().string();
      if (name.rfind("report.txt", 0) == 0 && name != "report.txt" &&
          fs::file_size(entry.path(), ignored) > (1u << 20)) {
        caught = kill(child, SIGSTOP) == 0;
      }
    }
    if (!caught) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  kill(child, SIGINT);
  kill(child, SIGCONT);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(caught) << "the conversion ended before it could be interrupted";

  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
  EXPECT_EQ(test::readFile(report), earlier);
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"answers", "large.cap", "report.txt"}));
  fs::remove_all(directory);
}

}  // namespace
}  // namespace qv
