#include "driver/command_line.h"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string_view>

#include "capture/capture_file.h"
#include "convert/options.h"
#include "convert/progress.h"
#include "driver/capture_info.h"
#include "driver/capture_source.h"
#include "driver/program.h"
#include "export/export_time.h"
#include "export/frame_export.h"
#include "report/report_output.h"

namespace qv {

const char kVersionText[] = "qvconv 1.04\n";

const char kUsageText[] =
    "Usage: qvconv                             the dialogue: questions one at a time\n"
    "       qvconv [OPTIONS] CAPTURE           one conversion, no questions\n"
    "       qvconv --info [--json] CAPTURE...  a summary of each capture\n"
    "       qvconv --help | --version\n"
    "\n"
    "Converts a capture saved by the analyzer into a text report. CAPTURE may be -\n"
    "for standard input.\n"
    "\n"
    "Conversion options:\n"
    "  -o, --output FILE       the report file; - is standard output (the default)\n"
    "  -f, --format F          normal, line-state or translate (frame is the same);\n"
    "                          default translate where the protocol has one, else normal\n"
    "  -l, --line L            both (default), sd or rd\n"
    "      --line-states LIST  control lines of the line-state format: names RS,CS,DR,\n"
    "                          CD,ER,SQ,CI,EX separated by commas, or digits 0-7 (0257);\n"
    "                          implies --format line-state\n"
    "      --async K           ASYNC whose time stamps delimit frames: bsc or dump (default)\n"
    "      --level K           HDLC: frame (default) or packet\n"
    "      --ppp K             PPP: translate (default) or dump\n"
    "  -c, --code K            listings: both (default), char or hex\n"
    "      --skip-idle         leave idle counts and time stamps out (listings, BSC)\n"
    "      --no-guide          no header box and no headings (listings, BSC)\n"
    "      --width N           report width: 40, 80 (default) or 136\n"
    "  -q, --quiet             no progress line on standard error\n"
    "      --salvage           convert what a capture cut short holds\n"
    "\n"
    "Export options (frames to pcapng, for Wireshark and tshark):\n"
    "  -w FILE                 write every frame to FILE as pcapng; - is standard output.\n"
    "                          Without -o no report is written\n"
    "  -s, --snaplen N         cut packets at N bytes (default 65535)\n"
    "      --clock-stamps K    digits (default: the report's TM as microseconds) or hms\n"
    "      --counter-tick D    one count of a counter stamp: 1us (default), 100us, 1ms, 250ns\n"
    "      --start DATE        the time of the first stamp's zero, e.g. 2026-12-08T10:00:00\n"
    "      --payload NAME      Wireshark dissector of SPI and ASYNC frames (default data)\n"
    "\n"
    "Summary options:\n"
    "      --info              summarize each capture; nothing is converted\n"
    "      --json              the summary as JSON (an array for several captures)\n"
    "\n"
    "  -h, --help              this text\n"
    "  -V, --version           the version\n"
    "\n"
    "Exit status: 0 converted, 1 a capture could not be loaded or the report not\n"
    "written, 2 usage error.\n";

namespace {

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

// The dialogue's answers that the command line stands for, on one loaded capture.
struct ConversionChoices {
  ConvertOptions options;
  int frameType = 0;
};

// Long options without a short letter take values past the character range.
enum OptionId : int {
  OptOutput = 'o',
  OptFormat = 'f',
  OptLine = 'l',
  OptCode = 'c',
  OptQuiet = 'q',
  OptHelp = 'h',
  OptVersion = 'V',
  OptLineStates = 256,
  OptAsync,
  OptLevel,
  OptPpp,
  OptSkipIdle,
  OptNoGuide,
  OptWidth,
  OptInfo,
  OptJson,
  OptSalvage,
  OptPcapng = 'w',
  OptSnaplen = 's',
  OptClockStamps = 512,
  OptCounterTick,
  OptStart,
  OptPayload,
};

// The leading colon makes getopt_long report a missing value as ':' and stay silent.
constexpr const char* kShortOptions = ":o:f:l:c:w:s:qhV";

constexpr std::array<option, 23> kLongOptions = {{
    {"output", required_argument, nullptr, OptOutput},
    {"format", required_argument, nullptr, OptFormat},
    {"line", required_argument, nullptr, OptLine},
    {"line-states", required_argument, nullptr, OptLineStates},
    {"async", required_argument, nullptr, OptAsync},
    {"level", required_argument, nullptr, OptLevel},
    {"ppp", required_argument, nullptr, OptPpp},
    {"code", required_argument, nullptr, OptCode},
    {"skip-idle", no_argument, nullptr, OptSkipIdle},
    {"no-guide", no_argument, nullptr, OptNoGuide},
    {"width", required_argument, nullptr, OptWidth},
    {"quiet", no_argument, nullptr, OptQuiet},
    {"info", no_argument, nullptr, OptInfo},
    {"json", no_argument, nullptr, OptJson},
    {"salvage", no_argument, nullptr, OptSalvage},
    {"snaplen", required_argument, nullptr, OptSnaplen},
    {"clock-stamps", required_argument, nullptr, OptClockStamps},
    {"counter-tick", required_argument, nullptr, OptCounterTick},
    {"start", required_argument, nullptr, OptStart},
    {"payload", required_argument, nullptr, OptPayload},
    {"help", no_argument, nullptr, OptHelp},
    {"version", no_argument, nullptr, OptVersion},
    {nullptr, 0, nullptr, 0},
}};

std::string optionName(int id) {
  for (const option& entry : kLongOptions) {
    if (entry.name != nullptr && entry.val == id) return std::string("--") + entry.name;
  }
  return "-" + std::string(1, static_cast<char>(id));
}

// One accepted word of an option's value and what it stands for.
struct ValueWord {
  std::string_view word;
  int value;
};

constexpr std::array<ValueWord, 4> kFormatWords = {
    {{"normal", static_cast<int>(ReportFormat::Normal)},
     {"line-state", static_cast<int>(ReportFormat::LineState)},
     {"translate", static_cast<int>(ReportFormat::Translate)},
     {"frame", static_cast<int>(ReportFormat::Translate)}}};
// formatName reads a format's word at its value.
static_assert(kFormatWords[0].value == 0 && kFormatWords[1].value == 1 &&
              kFormatWords[2].value == 2);
// The data line and code answers as option values: answer - 1.
constexpr std::array<ValueWord, 3> kLineWords = {{{"both", 0}, {"sd", 1}, {"rd", 2}}};
constexpr std::array<ValueWord, 3> kCodeWords = {{{"both", 0}, {"char", 1}, {"hex", 2}}};
// Translation kinds as frameType values.
constexpr std::array<ValueWord, 2> kAsyncWords = {{{"bsc", 1}, {"dump", 2}}};
constexpr std::array<ValueWord, 2> kLevelWords = {{{"frame", 1}, {"packet", 2}}};
constexpr std::array<ValueWord, 2> kPppWords = {{{"translate", 1}, {"dump", 2}}};
constexpr std::array<ValueWord, 3> kWidthWords = {{{"40", 40}, {"80", 80}, {"136", 136}}};
constexpr std::array<std::string_view, 8> kLineStateNames = {"RS", "CS", "DR", "CD",
                                                             "ER", "SQ", "CI", "EX"};

template <size_t N>
std::optional<int> lookUpWord(const std::array<ValueWord, N>& words, std::string_view text) {
  for (const ValueWord& entry : words) {
    if (entry.word == text) return entry.value;
  }
  return std::nullopt;
}

template <size_t N>
std::string wordList(const std::array<ValueWord, N>& words) {
  std::string list;
  for (const ValueWord& entry : words) list += (list.empty() ? "" : ", ") + std::string(entry.word);
  return list;
}

std::string badValue(int id, std::string_view value, const std::string& expected) {
  return "bad value '" + std::string(value) + "' for " + optionName(id) + " (" + expected + ")";
}

std::optional<int> lineStateIndex(std::string_view name) {
  std::string upper(name);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
  for (size_t i = 0; i < kLineStateNames.size(); ++i) {
    if (kLineStateNames[i] == upper) return static_cast<int>(i);
  }
  return std::nullopt;
}

// "0257", or names separated by commas; at most eight entries, repeats kept as typed.
std::optional<std::vector<int8_t>> parseLineStates(std::string_view text) {
  std::vector<int8_t> selection;
  const bool digits = !text.empty() && std::all_of(text.begin(), text.end(),
                                                   [](char ch) { return ch >= '0' && ch <= '7'; });
  if (digits) {
    for (char ch : text) selection.push_back(static_cast<int8_t>(ch - '0'));
  } else {
    size_t start = 0;
    for (;;) {
      const size_t comma = text.find(',', start);
      const std::optional<int> index = lineStateIndex(text.substr(start, comma - start));
      if (!index) return std::nullopt;
      selection.push_back(static_cast<int8_t>(*index));
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  if (selection.empty() || selection.size() > static_cast<size_t>(kLineStateSelectionMax))
    return std::nullopt;
  return selection;
}

class ArgumentParser {
 public:
  ArgumentParser(CommandLine& line, std::string& error) : line_(line), error_(error) {}

  // One option with its value; false with error_ set when it is malformed.
  bool take(int id, const char* value) {
    switch (id) {
      case OptOutput: return takeFileName(id, value, line_.output);
      case OptFormat:
        return takeWord(id, value, kFormatWords,
                        [&](int v) { line_.format = static_cast<ReportFormat>(v); });
      case OptLine:
        return takeWord(id, value, kLineWords,
                        [&](int v) { line_.dataLine = static_cast<uint8_t>(v); });
      case OptCode:
        return takeWord(id, value, kCodeWords,
                        [&](int v) { line_.codeDisplay = static_cast<uint8_t>(v); });
      case OptAsync: return takeWord(id, value, kAsyncWords, [&](int v) { line_.asyncKind = v; });
      case OptLevel: return takeWord(id, value, kLevelWords, [&](int v) { line_.level = v; });
      case OptPpp: return takeWord(id, value, kPppWords, [&](int v) { line_.pppKind = v; });
      case OptWidth: return takeWord(id, value, kWidthWords, [&](int v) { line_.width = v; });
      case OptLineStates: return takeLineStates(value);
      case OptSkipIdle: line_.skipIdle = true; return true;
      case OptNoGuide: line_.noGuide = true; return true;
      case OptQuiet: line_.quiet = true; return true;
      case OptJson: return takeJson();
      case OptSalvage: line_.salvage = true; return true;
      case OptPcapng: return takeFileName(id, value, line_.pcapng);
      case OptPayload: return takeFileName(id, value, line_.payload);
      case OptSnaplen: return takeSnaplen(value);
      case OptClockStamps:
        return takeParsed(id, value, "digits, hms", parseClockStampReading, line_.clockStamps);
      case OptCounterTick:
        return takeParsed(id, value, "a count and a unit: 1us, 100us, 1ms, 250ns", parseCounterTick,
                          line_.counterTickNs);
      case OptStart:
        return takeParsed(id, value, "YYYY-MM-DDTHH:MM:SS", parseStartDate, line_.startSeconds);
      case OptInfo: return takeAction(CommandLine::Action::Info);
      case OptHelp: return takeAction(CommandLine::Action::Help);
      case OptVersion: return takeAction(CommandLine::Action::Version);
      default: return false;
    }
  }

 private:
  template <size_t N, typename Store>
  bool takeWord(int id, const char* value, const std::array<ValueWord, N>& words, Store store) {
    const std::optional<int> found = lookUpWord(words, value);
    if (!found) {
      error_ = badValue(id, value, wordList(words));
      return false;
    }
    store(*found);
    return true;
  }

  bool takeFileName(int id, const char* value, std::optional<std::string>& into) {
    if (*value == '\0') {
      error_ = std::string(id == OptPayload ? "empty value for " : "empty file name for ") +
               optionName(id);
      return false;
    }
    into = value;
    return true;
  }

  template <typename T, typename Parse>
  bool takeParsed(int id, const char* value, const char* expected, Parse parse,
                  std::optional<T>& into) {
    T parsed{};
    if (!parse(value, parsed)) {
      error_ = badValue(id, value, expected);
      return false;
    }
    into = parsed;
    return true;
  }

  bool takeSnaplen(const char* value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(value, &end, 10);
    if (*value < '0' || *value > '9' || *end != '\0' || errno != 0 || parsed == 0 ||
        parsed > kLargestSnaplen) {
      error_ = badValue(OptSnaplen, value, "1 to " + std::to_string(kLargestSnaplen));
      return false;
    }
    line_.snaplen = static_cast<uint32_t>(parsed);
    return true;
  }

  bool takeJson() {
#ifdef QV_HAVE_JSON
    line_.json = true;
    return true;
#else
    error_ = "--json is not available: qvconv was built without nlohmann-json";
    return false;
#endif
  }

  bool takeLineStates(const char* value) {
    line_.lineStates = parseLineStates(value);
    if (line_.lineStates) return true;
    error_ = badValue(OptLineStates, value, "up to 8 of RS,CS,DR,CD,ER,SQ,CI,EX or digits 0-7");
    return false;
  }

  // Help wins over version, version over a summary, a summary over a conversion.
  bool takeAction(CommandLine::Action action) {
    if (static_cast<int>(action) > static_cast<int>(line_.action)) line_.action = action;
    return true;
  }

  CommandLine& line_;
  std::string& error_;
};

std::string getoptFailure(int result, const std::vector<char*>& argv) {
  const bool typedKnown = optind > 0 && optind <= static_cast<int>(argv.size()) - 1;
  const std::string typed =
      typedKnown ? std::string(argv[static_cast<size_t>(optind - 1)]) : std::string();
  if (result == ':') {
    return "option " + (optopt != 0 ? optionName(optopt) : typed) + " needs a value";
  }
  if (typed.rfind("--", 0) != 0)
    return "unknown option -" + std::string(1, static_cast<char>(optopt));
  // A long option is refused for a value it does not take, or as unknown or ambiguous.
  if (optopt != 0) return "option " + optionName(optopt) + " takes no value";
  return "unknown option " + typed;
}

// Options that only a conversion takes, or only a summary, may not meet the other.
bool checkActionOptions(const CommandLine& line, std::string& error) {
  const bool info = line.action == CommandLine::Action::Info;
  const bool conversionOptions = line.output || line.format || line.dataLine || line.lineStates ||
                                 line.asyncKind || line.level || line.pppKind || line.codeDisplay ||
                                 line.skipIdle || line.noGuide || line.width;
  const bool exportOptions =
      line.snaplen || line.clockStamps || line.counterTickNs || line.startSeconds || line.payload;
  if (info && (conversionOptions || line.salvage || line.pcapng || exportOptions)) {
    error = "conversion options do not go with --info";
    return false;
  }
  if (exportOptions && !line.pcapng) {
    error = "the export options (-s, --clock-stamps, --counter-tick, --start, --payload) need -w";
    return false;
  }
  if (line.pcapng && line.output && *line.pcapng == kStandardStream &&
      *line.output == kStandardStream) {
    error = "-w - and -o - cannot both write to standard output";
    return false;
  }
  if (line.json && !info) {
    error = "--json needs --info";
    return false;
  }
  if (line.action == CommandLine::Action::Convert && line.captures.size() != 1) {
    error = line.captures.empty() ? "no CAPTURE given"
                                  : "one CAPTURE per conversion (use a shell loop for several)";
    return false;
  }
  if (info && line.captures.empty()) {
    error = "no CAPTURE given";
    return false;
  }
  return true;
}

// False with a one-line message (without "qvconv: ") when the arguments are malformed.
bool parseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error) {
  std::vector<std::string> storage;
  storage.reserve(args.size() + 1);
  storage.push_back("qvconv");
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : storage) argv.push_back(arg.data());
  argv.push_back(nullptr);

  line = CommandLine{};
  ArgumentParser parser(line, error);
  optind = 0;  // a fresh scan: the parser keeps state between calls
  opterr = 0;
  const int argc = static_cast<int>(argv.size()) - 1;
  for (;;) {
    optopt = 0;
    const int result = getopt_long(argc, argv.data(), kShortOptions, kLongOptions.data(), nullptr);
    if (result == -1) break;
    if (result == '?' || result == ':') {
      error = getoptFailure(result, argv);
      return false;
    }
    if (!parser.take(result, optarg)) return false;
  }
  for (int i = optind; i < argc; ++i) line.captures.emplace_back(argv[static_cast<size_t>(i)]);
  if (line.action == CommandLine::Action::Help || line.action == CommandLine::Action::Version) {
    return true;
  }
  return checkActionOptions(line, error);
}

// ---- What the capture allows ----

// The --format word of a format: the table lists them in the order of ReportFormat.
std::string formatName(ReportFormat format) {
  return std::string(kFormatWords[static_cast<size_t>(format)].word);
}

std::string thisCapture(const CaptureFile& capture) {
  return "this " + protocolName(capture.protocol()) + " capture";
}

// The format the dialogue's print format answer would give; nullopt with error set.
std::optional<ReportFormat> formatFor(const CommandLine& line, const CaptureFile& capture,
                                      std::string& error) {
  std::optional<ReportFormat> format = line.format;
  if (line.lineStates) {
    if (format && *format != ReportFormat::LineState) {
      error = "--line-states needs --format line-state";
      return std::nullopt;
    }
    format = ReportFormat::LineState;
  }
  if (!asksPrintFormat(capture.protocol())) {
    if (format && *format != ReportFormat::Normal) {
      const std::string option =
          line.lineStates ? std::string("--line-states") : "--format " + formatName(*format);
      error = option + " does not apply: " + thisCapture(capture) + " has only the normal format";
      return std::nullopt;
    }
    return ReportFormat::Normal;
  }
  if (format == ReportFormat::LineState) {
    if (capture.lineStateRecorded() == 0) {
      error = std::string(line.format ? "--format line-state" : "--line-states") +
              " does not apply: " + thisCapture(capture) + " has no line states recorded";
      return std::nullopt;
    }
    if (!line.lineStates) {
      error = "--format line-state needs --line-states";
      return std::nullopt;
    }
  }
  return format.value_or(ReportFormat::Translate);
}

// The frameType of a translation; 0 with error set when an option asks what the
// capture's protocol does not.
int frameTypeFor(const CommandLine& line, const CaptureFile& capture, std::string& error) {
  struct KindOption {
    const std::optional<int>& value;
    FrameTypeQuestion question;
    const char* name;
    int byDefault;
  };
  const KindOption kinds[] = {
      {line.asyncKind, FrameTypeQuestion::BscOrOther, "--async", 2},
      {line.level, FrameTypeQuestion::TranslateLevel, "--level", 1},
      {line.pppKind, FrameTypeQuestion::PppFrameType, "--ppp", 1},
  };
  const FrameTypeQuestion asked = frameTypeQuestion(capture);
  int frameType = 1;
  for (const KindOption& kind : kinds) {
    if (kind.question == asked) frameType = kind.value.value_or(kind.byDefault);
    if (kind.value && kind.question != asked) {
      error = std::string(kind.name) + " does not apply to " + thisCapture(capture);
      return 0;
    }
  }
  return frameType;
}

// Options of questions that the chosen report does not ask.
bool checkUnasked(const CommandLine& line, const CaptureFile& capture, ReportFormat format,
                  int frameType, std::string& error) {
  const char* unasked = nullptr;
  if (format != ReportFormat::Translate) {
    if (line.asyncKind) unasked = "--async";
    if (line.level) unasked = "--level";
    if (line.pppKind) unasked = "--ppp";
  } else {
    const bool bsc = isBscTranslation(capture.protocol(), frameType);
    if (line.codeDisplay) unasked = "-c/--code";
    if (!bsc && line.skipIdle) unasked = "--skip-idle";
    if (!bsc && line.noGuide) unasked = "--no-guide";
  }
  if (unasked == nullptr) return true;
  error = std::string(unasked) + " does not apply to the " + formatName(format) + " format of " +
          thisCapture(capture);
  return false;
}

// False with a one-line message naming the option and the capture's protocol when an
// option does not apply to the capture.
bool choicesFor(const CommandLine& line, const CaptureFile& capture, ConversionChoices& choices,
                std::string& error) {
  const std::optional<ReportFormat> format = formatFor(line, capture, error);
  if (!format) return false;
  int frameType = 0;
  if (*format == ReportFormat::Translate) {
    frameType = frameTypeFor(line, capture, error);
    if (frameType == 0) return false;
  }
  if (!checkUnasked(line, capture, *format, frameType, error)) return false;

  choices = ConversionChoices{};
  ConvertOptions& options = choices.options;
  choices.frameType = frameType;
  options.dataLine = line.dataLine.value_or(0);
  options.codeDisplay = line.codeDisplay.value_or(0);
  options.skipIdle = line.skipIdle ? 1 : 0;
  options.skipTimeStamp = options.skipIdle;
  options.skipGuide = line.noGuide ? 1 : 0;
  options.printColumns = line.width.value_or(options.printColumns);
  if (*format == ReportFormat::LineState) {
    options.lineStateFormat = 1;
    std::copy(line.lineStates->begin(), line.lineStates->end(), options.lineStateSelection);
  }
  return true;
}

// ---- Running ----

// One self-updating line on a terminal's error stream: shown once a run has taken half a
// second, redrawn at most ten times a second, erased at the end.
class ProgressLine : public ProgressSink {
 public:
  explicit ProgressLine(std::ostream& err) : err_(err), started_(Clock::now()) {}
  ~ProgressLine() override { erase(); }

  void update(uint64_t done, uint64_t total) override {
    const Clock::time_point now = Clock::now();
    if (now - started_ < kDelay || (shown_ && now - drawn_ < kInterval)) return;
    const unsigned percent = static_cast<unsigned>(total == 0 ? 0 : done * 100 / total);
    err_ << "\rqvconv: converting " << percent << "%" << std::flush;
    shown_ = true;
    drawn_ = now;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kDelay = std::chrono::milliseconds(500);
  static constexpr Clock::duration kInterval = std::chrono::milliseconds(100);

  void erase() {
    if (shown_) err_ << "\r\033[K" << std::flush;
    shown_ = false;
  }

  std::ostream& err_;
  Clock::time_point started_;
  Clock::time_point drawn_{};
  bool shown_ = false;
};

int usageError(std::ostream& err, const std::string& message, bool pointToHelp) {
  err << "qvconv: " << message;
  if (pointToHelp) err << " (see qvconv --help)";
  err << '\n';
  return ExitUsage;
}

// Every line the report writer told its console means the report was not made whole.
bool forwardReportMessages(std::ostream& err, const std::string& output, const std::string& text) {
  std::istringstream lines(text);
  std::string message;
  bool any = false;
  while (std::getline(lines, message)) {
    err << "qvconv: " << output << ": " << message << '\n';
    any = true;
  }
  return any;
}

// The loader's message, with a hint when salvage would recover the capture.
void writeLoadFailure(std::ostream& err, const std::string& name, const LoadedCapture& load,
                      const CaptureFile& capture, bool salvage) {
  err << "qvconv: " << displayName(name) << ": " << load.message;
  if (!salvage && capture.cutShort().found) err << " (try --salvage)";
  err << '\n';
}

// A report or export that would overwrite the capture is refused before anything is opened.
bool checkTargets(const CommandLine& line, const CaptureFile& capture, bool writesReport,
                  std::ostream& err) {
  std::vector<std::string> targets;
  if (writesReport && line.output && *line.output != kStandardStream)
    targets.push_back(*line.output);
  if (line.pcapng && *line.pcapng != kStandardStream) targets.push_back(*line.pcapng);
  for (const std::string& target : targets) {
    if (capture.isSameFile(target)) {
      err << "qvconv: " << target << ": Save file is the data file.\n";
      return false;
    }
  }
  std::error_code error;
  if (targets.size() == 2 &&
      (targets[0] == targets[1] || std::filesystem::equivalent(targets[0], targets[1], error))) {
    usageError(err, "-o and -w name the same file", false);
    return false;
  }
  return true;
}

ExportOptions exportOptionsFor(const CommandLine& line, const std::string& name,
                               const ConversionChoices& choices) {
  ExportOptions options;
  options.captureName = displayName(name);
  options.dataLine = choices.options.dataLine;
  options.snaplen = line.snaplen.value_or(options.snaplen);
  options.clockStamps = line.clockStamps.value_or(options.clockStamps);
  options.counterTickNs = line.counterTickNs.value_or(options.counterTickNs);
  options.startSeconds = line.startSeconds.value_or(options.startSeconds);
  options.payload = line.payload.value_or(options.payload);
  return options;
}

// Tells when the capture file was cut short or rewritten while it was read: what was made
// from it is then not to be put in place.
bool captureChanged(const CaptureFile& capture, const std::string& shownName, std::ostream& err) {
  if (capture.unchangedSinceLoad()) return false;
  err << "qvconv: " << shownName << ": " << kCaptureChangedLine << '\n';
  return true;
}

// Writes the pcapng file: to standard output for "-", else beside its target and renamed
// over it only when whole, like a report.
int writeExport(const CaptureFile& capture, const ExportOptions& options, const std::string& target,
                std::ostream& err) {
  std::string error;
  if (target == kStandardStream) {
    if (exportPcapng(capture, options, stdout, error) != 0 || std::fflush(stdout) != 0) {
      err << "qvconv: standard output: " << (error.empty() ? "write error" : error) << '\n';
      return ExitFailed;
    }
    return captureChanged(capture, options.captureName, err) ? ExitFailed : ExitConverted;
  }
  ReportOutput output;
  std::FILE* stream = output.open(target);
  if (stream == nullptr) {
    err << "qvconv: " << target << ": cannot create the file\n";
    return ExitFailed;
  }
  if (exportPcapng(capture, options, stream, error) != 0) {
    output.discard();
    err << "qvconv: " << target << ": " << (error.empty() ? "write error" : error) << '\n';
    return ExitFailed;
  }
  if (captureChanged(capture, options.captureName, err)) {
    output.discard();
    return ExitFailed;
  }
  if (!output.commit()) {
    err << "qvconv: " << target << ": write error\n";
    return ExitFailed;
  }
  return ExitConverted;
}

int writeReport(const CommandLine& line, const Terminal& terminal, Program& program,
                std::ostringstream& console) {
  const std::string output = line.output.value_or(kStandardStream);
  if (output == kStandardStream) {
    program.printFile.useStream(stdout);
  } else {
    program.printFile.setSavePath(output);
  }
  std::unique_ptr<ProgressLine> progress;
  if (terminal.errIsTerminal && !line.quiet)
    progress = std::make_unique<ProgressLine>(terminal.err);
  program.progress = progress.get();
  program.dispatchConversion();
  progress.reset();
  program.progress = nullptr;
  const std::string shownOutput = output == kStandardStream ? "standard output" : output;
  return forwardReportMessages(terminal.err, shownOutput, console.str()) ? ExitFailed
                                                                         : ExitConverted;
}

int convert(const CommandLine& line, const Terminal& terminal) {
  std::ostringstream console;
  // The program object holds every runner and translator: too large for the stack.
  auto program = std::make_unique<Program>(terminal.in, console);
  const std::string& name = line.captures.front();
  const LoadedCapture load = loadCapture(name, {terminal.in, terminal.inDescriptor},
                                         program->capture, LoadOptions{.salvage = line.salvage});
  if (!load.loaded) {
    writeLoadFailure(terminal.err, name, load, program->capture, line.salvage);
    return ExitFailed;
  }
  if (program->capture.cutShort().found) {
    terminal.err << "qvconv: " << displayName(name) << ": " << program->capture.cutShortMessage()
                 << '\n';
  }
  ConversionChoices choices;
  std::string error;
  if (!choicesFor(line, program->capture, choices, error))
    return usageError(terminal.err, error, false);
  // With -w alone the frames are the whole output; -o asks for the report as well.
  const bool writesReport = !line.pcapng || line.output;
  if (!checkTargets(line, program->capture, writesReport, terminal.err)) return ExitUsage;
  if (line.pcapng && !captureHasFrames(program->capture)) {
    terminal.err << noFramesMessage(displayName(name), program->capture) << '\n';
    return ExitFailed;
  }

  program->options = choices.options;
  program->frameType = choices.frameType;
  int status = ExitConverted;
  if (writesReport) status = writeReport(line, terminal, *program, console);
  if (line.pcapng && status == ExitConverted) {
    status = writeExport(program->capture, exportOptionsFor(line, name, choices), *line.pcapng,
                         terminal.err);
  }
  program->exitCleanup();
  return status;
}

int summarize(const CommandLine& line, const Terminal& terminal) {
  int status = ExitConverted;
  std::vector<CaptureSummary> summaries;
  for (const std::string& name : line.captures) {
    CaptureFile capture;
    const LoadedCapture load = loadCapture(name, {terminal.in, terminal.inDescriptor}, capture);
    if (!load.loaded) {
      writeLoadFailure(terminal.err, name, load, capture, false);
      status = ExitFailed;
      continue;
    }
    CaptureSummary summary = summarizeCapture(capture, displayName(name), load.size);
    if (captureChanged(capture, displayName(name), terminal.err)) {
      status = ExitFailed;
      continue;
    }
    summaries.push_back(std::move(summary));
    if (line.json) continue;
    if (summaries.size() > 1) terminal.out << '\n';
    writeSummaryText(terminal.out, summaries.back());
  }
  if (line.json) writeSummaryJson(terminal.out, summaries, line.captures.size() > 1);
  terminal.out.flush();
  return status;
}

}  // namespace

int runCommandLine(const std::vector<std::string>& args, const Terminal& terminal) {
  CommandLine line;
  std::string error;
  if (!parseCommandLine(args, line, error)) return usageError(terminal.err, error, true);
  switch (line.action) {
    case CommandLine::Action::Help: terminal.out << kUsageText << std::flush; return ExitConverted;
    case CommandLine::Action::Version:
      terminal.out << kVersionText << std::flush;
      return ExitConverted;
    case CommandLine::Action::Info: return summarize(line, terminal);
    case CommandLine::Action::Convert: break;
  }
  return convert(line, terminal);
}

}  // namespace qv
