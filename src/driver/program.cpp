#include "driver/program.h"

#include <algorithm>
#include <climits>
#include <istream>
#include <iterator>
#include <ostream>

namespace qv {

namespace {

enum PrintFormat : int { FormatNormal = 1, FormatLineState = 2, FormatTranslate = 3 };

// The print format question of one protocol family, with and without recorded line states.
struct PrintFormatQuestion {
  const char* withLineState;
  const char* withoutLineState;
};
constexpr PrintFormatQuestion kTranslateFormats{
    "Print format (1:Normal, 2:Line state, 3:Translate) ? ",
    "Print format (1:Normal, 2:Translate) ? "};
constexpr PrintFormatQuestion kFrameFormats{"Print format (1:Normal, 2:Line state, 3:Frame) ? ",
                                            "Print format (1:Normal, 2:Frame) ? "};

// nullptr: the protocol is only ever listed in the Normal format.
const PrintFormatQuestion* printFormatQuestion(int protocol) {
  switch (protocol) {
    case ProtocolAsync:
    case ProtocolSync:
    case ProtocolHdlc:
    case ProtocolPpp:
    case ProtocolIrda:
    case ProtocolHdlcFiltered: return &kTranslateFormats;
    case ProtocolI2c:
    case ProtocolSpi: return &kFrameFormats;
    default: return nullptr;
  }
}

constexpr const char* kBscOrOther = "Frame type (1:BSC, 2:Other) ? ";
constexpr const char* kTranslateLevel = "Translate level (1:Frame, 2:Packet) ? ";
constexpr const char* kPppFrameType = "Frame type (1:PPP translate, 2:Dump) ? ";

constexpr const char* kDataLineQuestion = "Select data line (1:SD & RD, 2:SD, 3:RD) ? ";
constexpr const char* kCodeQuestion = "Select code (1:Char. & Hex., 2:Char., 3:Hex.) ? ";
constexpr const char* kSkipQuestion = "Skip IDLE/TMSP (1:No, 2:Yes) ? ";
constexpr const char* kGuideQuestion = "Skip guide (1:No, 2:Yes) ? ";
constexpr const char* kLineStateQuestion =
    "Select line state (0:RS,1:CS,2:DR,3:CD,4:ER,5:SQ,6:CI,7:EX) ? ";

constexpr int kLineStateEntries = std::size(ConvertOptions{}.lineStateSelection);

bool isLeadingBlank(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// The leading signed decimal number of the text (0 when there is none). Its true value
// decides: a negative number gives -1 and a number beyond an int gives INT_MAX, which
// no question accepts.
int leadingNumber(const char* text) {
  while (isLeadingBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value <= INT_MAX) value = value * 10 + (*text - '0');
  }
  if (negative && value != 0) return -1;
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// Up to eight digits 0-7, newlines passed over; anything else rejects the answer, as
// does an answer without digits. The selection is written only when accepted.
bool parseLineStateSelection(const char* text, int length, int8_t (&selection)[kLineStateEntries]) {
  int8_t typed[kLineStateEntries];
  std::fill(std::begin(typed), std::end(typed), int8_t{-1});
  int count = 0;
  for (int i = 0; i < length; ++i) {
    const char ch = text[i];
    if (ch == '\n') continue;
    if (ch < '0' || ch > '7' || count == kLineStateSelectionMax) return false;
    typed[count++] = static_cast<int8_t>(ch - '0');
  }
  if (count == 0) return false;
  std::copy(std::begin(typed), std::end(typed), selection);
  return true;
}

}  // namespace

bool asksPrintFormat(int protocol) { return printFormatQuestion(protocol) != nullptr; }

FrameTypeQuestion frameTypeQuestion(const CaptureFile& capture) {
  const int protocol = capture.protocol();
  if (protocol == ProtocolAsync && (capture.stampFlag1() != 0 || capture.stampFlag2() != 0)) {
    return FrameTypeQuestion::BscOrOther;
  }
  if (protocol == ProtocolHdlc || protocol == ProtocolHdlcFiltered) {
    return FrameTypeQuestion::TranslateLevel;
  }
  if (protocol == ProtocolPpp) return FrameTypeQuestion::PppFrameType;
  return FrameTypeQuestion::None;
}

bool isBscTranslation(int protocol, int frameType) {
  return (protocol == ProtocolAsync && frameType == 1) || protocol == ProtocolSync;
}

Program::Program(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

Program::~Program() { exitCleanup(); }

int Program::main() {
  writeLine("===== QUORVIS Data File Converter =====");
  writeLine(" Version 1.04");
  writeLine("");
  options = ConvertOptions{};
  frameType = 0;
  if (!runDialogue()) return 1;
  writeLine("Convert start.");
  dispatchConversion();
  writeLine("Complete.");
  // A report that could not be created or written whole is a failed run.
  return printFile.failureReported() ? 1 : 0;
}

void Program::exitCleanup() {
  if (printFile.isOpen()) printFile.close();
  capture.freeBuffer();
  out_.flush();
}

// ---- Dialogue ----

int Program::runDialogue() {
  if (!askFilesAndLoad()) return 0;
  const int printFormat = askPrintFormat();
  if (printFormat == 0) return 0;
  if (!askOption(kDataLineQuestion, 3, options.dataLine)) return 0;
  if (printFormat == FormatLineState) {
    options.lineStateFormat = 1;
    if (!askLineStateSelection()) return 0;
  } else if (printFormat == FormatTranslate) {
    if (!askFrameType()) return 0;
    // Frame translations take no more answers; the BSC translation shows characters only.
    if (!isBscTranslation(capture.protocol(), frameType)) return 1;
    return askSkipAndGuide() ? 1 : 0;
  }
  if (!askOption(kCodeQuestion, 3, options.codeDisplay)) return 0;
  return askSkipAndGuide() ? 1 : 0;
}

bool Program::askFilesAndLoad() {
  std::string dataName;
  if (!askFileName("Data filename ? ", dataName)) return false;
  if (!capture.loadCaptureFile(dataName, out_)) return false;
  std::string saveName;
  for (;;) {
    if (!askFileName("Save filename ? ", saveName)) return false;
    // The report must never take the place of the capture it is made from.
    if (!capture.isSameFile(saveName)) break;
    writeLine("Save file is the data file.");
  }
  printFile.setSavePath(std::move(saveName));
  writeLine("");
  return true;
}

bool Program::askSkipAndGuide() {
  if (!askOption(kSkipQuestion, 2, options.skipIdle)) return false;
  options.skipTimeStamp = options.skipIdle;
  return askOption(kGuideQuestion, 2, options.skipGuide);
}

// Stores the answer 1..highest as the option value 0..highest-1.
bool Program::askOption(const char* prompt, int highest, uint8_t& option) {
  const std::optional<int> answer = askChoice(prompt, highest);
  if (!answer) return false;
  option = static_cast<uint8_t>(*answer - 1);
  return true;
}

// Returns 1-3, or 0 at end of input. The two-choice questions mean print format 3 by 2.
int Program::askPrintFormat() {
  const PrintFormatQuestion* question = printFormatQuestion(capture.protocol());
  if (question == nullptr) return FormatNormal;
  if (capture.lineStateRecorded() != 0) {
    return askChoice(question->withLineState, 3).value_or(0);
  }
  const std::optional<int> answer = askChoice(question->withoutLineState, 2);
  if (!answer) return 0;
  return *answer == 2 ? FormatTranslate : FormatNormal;
}

// Sets frameType for a translation, asking only where the protocol offers two kinds.
bool Program::askFrameType() {
  const char* prompt = nullptr;
  switch (frameTypeQuestion(capture)) {
    case FrameTypeQuestion::BscOrOther: prompt = kBscOrOther; break;
    case FrameTypeQuestion::TranslateLevel: prompt = kTranslateLevel; break;
    case FrameTypeQuestion::PppFrameType: prompt = kPppFrameType; break;
    case FrameTypeQuestion::None: break;
  }
  frameType = 1;
  if (prompt == nullptr) return true;
  const std::optional<int> answer = askChoice(prompt, 2);
  if (!answer) return false;
  frameType = *answer;
  return true;
}

bool Program::askLineStateSelection() {
  AnswerPiece piece;
  for (;;) {
    writePrompt(kLineStateQuestion);
    if (!readPiece(piece)) return false;
    if (!piece.lineEnded) {
      // Longer than the answer buffer: cannot be a selection; refuse the whole line.
      discardRestOfLine();
      continue;
    }
    if (parseLineStateSelection(piece.text, piece.length, options.lineStateSelection)) return true;
  }
}

std::optional<int> Program::askChoice(const char* prompt, int highest) {
  for (;;) {
    writePrompt(prompt);
    const std::optional<int> answer = askNumber();
    if (!answer) return std::nullopt;
    if (*answer >= 1 && *answer <= highest) return answer;
  }
}

// A line longer than the answer buffer is read in pieces; the number of the last counts.
std::optional<int> Program::askNumber() {
  AnswerPiece piece;
  if (!readPiece(piece)) return std::nullopt;
  while (!piece.lineEnded) {
    if (!readPiece(piece)) return std::nullopt;
  }
  return leadingNumber(piece.text);
}

bool Program::askFileName(const char* prompt, std::string& name) {
  AnswerPiece piece;
  for (;;) {
    writePrompt(prompt);
    if (!readPiece(piece)) return false;
    const bool newline = piece.length > 0 && piece.text[piece.length - 1] == '\n';
    if (!newline && piece.length == kAnswerPiece) {
      // The name and its newline do not fit the answer buffer: refuse the whole line.
      discardRestOfLine();
      continue;
    }
    name.assign(piece.text, static_cast<size_t>(piece.length - (newline ? 1 : 0)));
    // A NUL would silently cut the name short when the file is opened.
    if (!name.empty() && name.find('\0') == std::string::npos) return true;
  }
}

// Reads up to kAnswerPiece characters, stopping after a newline. A last line without a
// newline still counts as a whole answer. False when input has ended.
bool Program::readPiece(AnswerPiece& piece) {
  piece.length = 0;
  piece.lineEnded = false;
  char ch = 0;
  while (piece.length < kAnswerPiece && in_.get(ch)) {
    piece.text[piece.length++] = ch;
    if (ch == '\n') {
      piece.lineEnded = true;
      break;
    }
  }
  piece.text[piece.length] = '\0';
  if (piece.length == 0) return false;
  if (!piece.lineEnded) {
    piece.lineEnded = in_.peek() == std::istream::traits_type::eof();
    in_.clear(in_.rdstate() & ~std::ios::failbit);
  }
  if (piece.lineEnded) dropCarriageReturn(piece);
  return true;
}

// Lines typed or saved on systems that end them with CR LF: the CR goes with the LF.
void Program::dropCarriageReturn(AnswerPiece& piece) {
  const bool newline = piece.length > 0 && piece.text[piece.length - 1] == '\n';
  const int crAt = piece.length - (newline ? 2 : 1);
  if (crAt < 0 || piece.text[crAt] != '\r') return;
  if (newline) piece.text[crAt] = '\n';
  piece.text[--piece.length] = '\0';
}

void Program::discardRestOfLine() {
  char ch = 0;
  while (in_.get(ch) && ch != '\n') {
  }
}

// Each line is flushed at once: "Convert start." must show while the conversion runs.
void Program::writeLine(const char* text) { out_ << text << '\n' << std::flush; }

void Program::writePrompt(const char* prompt) { out_ << prompt << std::flush; }

// ---- Dispatch ----

void Program::runConverter(Converter& converter) {
  converter.setOptions(options);
  converter.setProgressSink(progress);
  converter.run(kPageLimit);
}

void Program::dispatchConversion() {
  const int protocol = capture.protocol();
  if (frameType == 0) {
    runConverter(normalListing);
    return;
  }
  if (frameType != 1 && frameType != 2) return;
  const bool second = frameType == 2;
  switch (protocol) {
    case ProtocolAsync:
      if (second) {
        runConverter(asyncFrame);
        return;
      }
      bsc.prepare(ProtocolAsync, capture.code());
      runConverter(bscConverter);
      return;
    case ProtocolSync:
      bsc.prepare(ProtocolSync, capture.code());
      runConverter(bscConverter);
      return;
    case ProtocolHdlc:
    case ProtocolHdlcFiltered:
      runConverter(second ? static_cast<Converter&>(hdlcPacket) : hdlcFrame);
      return;
    case ProtocolPpp:
      runConverter(second ? static_cast<Converter&>(pppDump) : pppTranslate);
      return;
    case ProtocolIrda: runConverter(irlap); return;
    case ProtocolI2c: runConverter(i2c); return;
    case ProtocolSpi: runConverter(spi); return;
    default: return;  // BURST and unknown protocols have no translation
  }
}

}  // namespace qv
