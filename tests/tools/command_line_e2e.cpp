// The helper programs' command lines: help, standard streams and error messages.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

#include "capture_builder.h"
#include "test_support.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

struct CommandRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a shell command in a fresh directory with the given standard input.
CommandRun runIn(const fs::path& directory, const std::string& command, const std::string& input) {
  fs::create_directories(directory);
  test::writeFile((directory / "stdin").string(), std::vector<uint8_t>(input.begin(), input.end()));
  const std::string line =
      "cd '" + directory.string() + "' && " + command + " < stdin > stdout 2> stderr";
  const int raw = std::system(line.c_str());
  CommandRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = test::readFile((directory / "stdout").string());
  run.err = test::readFile((directory / "stderr").string());
  return run;
}

const std::string kQvcap = "'" QV_BINARY_DIR "/qvcap'";

TEST(CommandLine, HelpGoesToStandardOutputWithStatusZero) {
  const fs::path directory = test::tempPath("help");
  for (const std::string& program : {kQvcap, std::string("'" QV_BINARY_DIR "/bench/qvbench'")}) {
    const CommandRun run = runIn(directory, program + " --help", "");
    EXPECT_EQ(run.status, 0) << program;
    EXPECT_EQ(run.out.rfind("usage: ", 0), 0u) << program;
    EXPECT_EQ(run.err, "") << program;
  }
}

TEST(CommandLine, QvcapDashReadsStandardInputAndWritesStandardOutput) {
  const fs::path directory = test::tempPath("qvcap-dash");
  const std::string description = "records\n  sd 41 42\n";
  const CommandRun run = runIn(directory, kQvcap + " - -", description);
  std::vector<uint8_t> expected;
  std::string error;
  ASSERT_TRUE(build::buildFromText(description, expected, error));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, std::string(expected.begin(), expected.end()));
  EXPECT_FALSE(fs::exists(directory / "-"));
}

TEST(CommandLine, QvcapFailuresAreMessagesWithStatusOne) {
  const fs::path directory = test::tempPath("qvcap-failures");
  fs::create_directories(directory / "a-directory");
  const struct {
    std::string arguments;
    std::string input;
    std::string message;
  } cases[] = {
      {"a-directory out.cap", "", "qvcap: cannot read a-directory: Is a directory\n"},
      {"missing.txt out.cap", "", "qvcap: cannot read missing.txt: No such file or directory\n"},
      // Control characters of the description are shown, not sent to the terminal.
      {"- out.cap", "records\n\x1B]0;title\x07 1\n",
       "-: line 2: unknown record '\\x1B]0;title\\x07'\n"},
      {"- a-directory", "records\n", "qvcap: cannot write a-directory: Is a directory\n"},
  };
  for (const auto& c : cases) {
    const CommandRun run = runIn(directory, kQvcap + " " + c.arguments, c.input);
    EXPECT_EQ(run.status, 1) << c.arguments;
    EXPECT_EQ(run.err, c.message) << c.arguments;
    EXPECT_FALSE(fs::exists(directory / "out.cap")) << c.arguments;
  }
}

}  // namespace
}  // namespace qv
