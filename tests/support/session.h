#pragma once
// Runs the whole program in-process with scripted answers.
#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

struct SessionResult {
  int status = -1;
  std::string console;
};

// Feeds the answers (lines separated by "\n") to a fresh program object.
SessionResult runSession(const std::string& answers);

// Writes the capture to a temporary file, converts it with the answers that follow the
// two file names, and returns the report with its top line masked ("" if none made).
struct Conversion {
  SessionResult session;
  std::string report;
};
Conversion convert(const std::vector<uint8_t>& capture, const std::string& laterAnswers);

// Runs the command line in-process, input as its standard input; what it wrote to its
// standard output and standard error, and its exit status.
struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};
CliRun runCli(const std::vector<std::string>& args, const std::string& input = "");

}  // namespace qv::test
