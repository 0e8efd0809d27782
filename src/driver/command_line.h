#pragma once
// The command-line mode: one conversion without questions, a summary of captures, the
// usage text and the version. It fills the same options the dialogue fills and runs the
// same dispatch, so its reports equal the dialogue's for the same answers.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace qv {

enum ExitStatus : int { ExitConverted = 0, ExitFailed = 1, ExitUsage = 2 };

// The streams the command line talks to. The report itself goes to the C library's
// standard output when the output is "-".
struct Terminal {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
  int inDescriptor = -1;  // the descriptor behind in, when it is the program's own
};

// Runs the arguments (without the program's name); returns the exit status.
int runCommandLine(const std::vector<std::string>& args, const Terminal& terminal);

extern const char kUsageText[];
extern const char kVersionText[];

}  // namespace qv
