#pragma once
// The command-line mode: one conversion without questions, a summary of captures, the
// usage text and the version. It fills the same options the dialogue fills and runs the
// same dispatch, so its reports equal the dialogue's for the same answers.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "capture/capture_file.h"
#include "convert/options.h"
#include "export/export_time.h"

namespace qv {

enum ExitStatus : int { ExitConverted = 0, ExitFailed = 1, ExitUsage = 2 };

enum class ReportFormat { Normal, LineState, Translate };

// The arguments, checked for form only; what the capture allows is checked once it is
// loaded. An absent optional is an option not given.
struct CommandLine {
  // In rising precedence when several are given.
  enum class Action { Convert, Info, Version, Help };
  Action action = Action::Convert;
  bool json = false;
  bool quiet = false;
  std::optional<std::string> output;
  std::vector<std::string> captures;
  std::optional<ReportFormat> format;
  std::optional<uint8_t> dataLine;
  std::optional<std::vector<int8_t>> lineStates;
  // frameType values: 1 the first translation kind, 2 the second.
  std::optional<int> asyncKind;
  std::optional<int> level;
  std::optional<int> pppKind;
  std::optional<uint8_t> codeDisplay;
  bool skipIdle = false;
  bool noGuide = false;
  std::optional<int> width;
  // Convert what a capture cut short holds.
  bool salvage = false;
  // The pcapng export and its own options.
  std::optional<std::string> pcapng;
  std::optional<uint32_t> snaplen;
  std::optional<ClockStampReading> clockStamps;
  std::optional<uint64_t> counterTickNs;
  std::optional<int64_t> startSeconds;
  std::optional<std::string> payload;
};

// False with a one-line message (without "qvconv: ") when the arguments are malformed.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error);

// The dialogue's answers that the command line stands for, on one loaded capture.
struct ConversionChoices {
  ConvertOptions options;
  int frameType = 0;
};
// False with a one-line message naming the option and the capture's protocol when an
// option does not apply to the capture.
bool choicesFor(const CommandLine& line, const CaptureFile& capture, ConversionChoices& choices,
                std::string& error);

// The streams the command line talks to. The report itself goes to the C library's
// standard output when the output is "-".
struct Terminal {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
};

// Runs the arguments (without the program's name); returns the exit status.
int runCommandLine(const std::vector<std::string>& args, const Terminal& terminal);

extern const char kUsageText[];
extern const char kVersionText[];

}  // namespace qv
