#include "capture_builder.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <optional>

#include "capture/bytes.h"
#include "capture/conditions.h"

namespace qv::build {

namespace {

// Offsets of the DINF image written with the program's own block sizes.
namespace at {
constexpr size_t setup = 4;
constexpr size_t basic = 12;
constexpr size_t recording = 20;
constexpr size_t lineContainer = 28;
constexpr size_t lineBlock = 32;
constexpr size_t modeContainer = 84;
constexpr size_t modeBlock = 88;
constexpr size_t subBlock5 = 580;
constexpr size_t subBlock6 = 612;
constexpr size_t subBlock6Inner = 616;
constexpr size_t extension = 632;
constexpr size_t extensionEntry1Block = 648;
constexpr size_t extensionEntry2Block = 664;
constexpr size_t extensionEntry3Block = 680;
constexpr size_t extensionEntry4Block = 692;
constexpr size_t finalBlock = 700;
}  // namespace at

uint32_t lineBlockSize(int protocol) {
  switch (protocol) {
    case 2:
    case 8: return 52;
    case 3: return 28;
    case 4: return 24;
    case 5:
    case 6:
    case 10: return 20;
    default: return 40;  // ASYNC, SYNC, and values the analyzer never writes
  }
}

uint32_t modeBlockSize(int measureMode) {
  static constexpr std::array<uint32_t, 10> kSizes = {8, 12, 12, 12, 16, 16, 8, 24, 12, 492};
  return measureMode >= 0 && measureMode <= 9 ? kSizes[static_cast<size_t>(measureMode)] : 8;
}

// Mode 9 takes the size from the mode block's first payload byte, which the builder
// leaves at 0 (a 12-byte final block).
uint32_t finalBlockSize(int measureMode) {
  static constexpr std::array<uint32_t, 10> kSizes = {4, 24, 24, 48, 4, 4, 404, 76, 4, 12};
  return measureMode >= 0 && measureMode <= 9 ? kSizes[static_cast<size_t>(measureMode)] : 4;
}

class ImageWriter {
 public:
  explicit ImageWriter(std::vector<uint8_t>& image) : image_(image) {}
  void word(size_t offset, uint32_t value) { writeLe32(&image_[offset], value); }
  void byte(size_t offset, int value) { image_[offset] = static_cast<uint8_t>(value); }
  // Line fields are written only when they lie inside the protocol's line block.
  void lineByte(size_t offset, int value, uint32_t blockSize) {
    if (offset < at::lineBlock + blockSize) byte(offset, value);
  }
  void lineWord(size_t offset, uint32_t value, uint32_t blockSize) {
    if (offset + 4 <= at::lineBlock + blockSize) word(offset, value);
  }

 private:
  std::vector<uint8_t>& image_;
};

void writeSizeWords(ImageWriter& out, const Conditions& c) {
  out.word(0, kConditionsImageSize);
  out.word(at::setup, 628);
  out.word(at::basic, 8);
  out.word(at::recording, 8);
  out.word(at::lineContainer, 56);
  out.word(at::lineBlock, lineBlockSize(c.protocol));
  out.word(at::modeContainer, 496);
  out.word(at::modeBlock, modeBlockSize(c.measureMode));
  out.word(at::subBlock5, 32);
  out.word(at::subBlock6, 20);
  out.word(at::subBlock6Inner, 16);
  out.word(at::extension, 584);
  out.word(at::extensionEntry1Block, 12);
  out.word(at::extensionEntry2Block, 12);
  out.word(at::extensionEntry3Block, 8);
  out.word(at::extensionEntry4Block, 8);
  out.word(at::finalBlock, finalBlockSize(c.measureMode));
}

void writeLineFields(ImageWriter& out, const Conditions& c) {
  const uint32_t size = lineBlockSize(c.protocol);
  out.lineWord(field::sendSpeed, static_cast<uint32_t>(c.sendSpeed), size);
  out.lineWord(field::receiveSpeed, static_cast<uint32_t>(c.receiveSpeed), size);
  out.lineByte(field::code, c.code, size);
  out.lineByte(field::charBits, c.charBits, size);
  out.lineByte(field::parity, c.parity, size);
  out.lineByte(field::stopBits, c.stopBitsOrClock, size);
  out.lineByte(field::format, c.format, size);
  out.lineByte(field::checkKind, c.checkKind, size);
  out.lineByte(field::sendAddressEnabled, c.sendAddressEnabled, size);
  out.lineByte(field::sendAddress, c.sendAddress, size);
  out.lineByte(field::receiveAddressEnabled, c.receiveAddressEnabled, size);
  out.lineByte(field::receiveAddress, c.receiveAddress, size);
  out.lineByte(field::frameProtocol, c.frameProtocol, size);
  out.lineByte(field::packetProtocol, c.packetProtocol, size);
  for (size_t i = 0; i < 4; ++i) {
    const size_t entry = field::frameFilters + 4 * i;
    out.lineByte(entry, c.filterMask[i], size);
    out.lineByte(entry + 1, c.filterPattern[i], size);
  }
}

}  // namespace

std::vector<uint8_t> dinfData(const Conditions& conditions) {
  std::vector<uint8_t> image(kConditionsImageSize, 0);
  ImageWriter out(image);
  writeSizeWords(out, conditions);
  out.byte(field::measureMode, conditions.measureMode);
  out.byte(field::protocol, conditions.protocol);
  out.byte(field::stampFlag1, conditions.stampFlag1);
  out.byte(field::stampFlag2, conditions.stampFlag2);
  out.byte(field::lineStateRecorded, conditions.lineStateRecorded);
  writeLineFields(out, conditions);
  return image;
}

std::vector<uint8_t> magic() {
  static constexpr char kMagic[16] = "QUORVIS DATA   ";  // 15 characters and the NUL
  return std::vector<uint8_t>(kMagic, kMagic + 16);
}

std::vector<uint8_t> wordBytes(const std::vector<uint32_t>& words) {
  std::vector<uint8_t> bytes(words.size() * 4);
  for (size_t i = 0; i < words.size(); ++i) writeLe32(&bytes[4 * i], words[i]);
  return bytes;
}

CaptureBuilder& CaptureBuilder::dinf(const Conditions& conditions) {
  return chunk("DINF", dinfData(conditions));
}

CaptureBuilder& CaptureBuilder::chunk(std::string_view tag, const std::vector<uint8_t>& data) {
  for (size_t i = 0; i < 4; ++i) body_.push_back(i < tag.size() ? static_cast<uint8_t>(tag[i]) : 0);
  uint8_t length[4];
  writeLe32(length, static_cast<uint32_t>(data.size()));
  body_.insert(body_.end(), length, length + 4);
  body_.insert(body_.end(), data.begin(), data.end());
  return *this;
}

CaptureBuilder& CaptureBuilder::mond(const std::vector<uint32_t>& words) {
  return chunk("MOND", wordBytes(words));
}

CaptureBuilder& CaptureBuilder::tail(const std::vector<uint8_t>& bytes) {
  body_.insert(body_.end(), bytes.begin(), bytes.end());
  return *this;
}

std::vector<uint8_t> CaptureBuilder::bytes() const {
  std::vector<uint8_t> file = magic();
  file.insert(file.end(), body_.begin(), body_.end());
  return file;
}

bool CaptureBuilder::writeFile(const std::string& path) const {
  const std::vector<uint8_t> file = bytes();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  out.close();
  return static_cast<bool>(out);
}

// ---------------------------------------------------------------------------------------
// The qvcap text format: one statement per line, '#' starts a comment.

namespace {

struct NamedValue {
  std::string_view name;
  int value;
};

constexpr NamedValue kProtocols[] = {
    {"async", 0}, {"sync", 1},  {"hdlc", 2},        {"ppp", 3},  {"irda", 4},
    {"i2c", 5},   {"burst", 6}, {"hdlc-filter", 8}, {"spi", 10},
};
constexpr NamedValue kCodes[] = {
    {"ascii", 0}, {"ebcdic", 1}, {"ebcdik", 2}, {"jis7", 3},  {"jis8", 4},
    {"hex", 5},   {"ebcd", 6},   {"transc", 7}, {"ipars", 8}, {"baudot", 9},
};
constexpr NamedValue kCharBits[] = {{"5", 0}, {"6", 1}, {"7", 2}, {"8", 3}};
constexpr NamedValue kParities[] = {
    {"none", 0}, {"odd", 1}, {"even", 2}, {"mark", 3}, {"space", 4}, {"mp", 5},
};
constexpr NamedValue kStopBits[] = {{"1", 0}, {"2", 1}};
constexpr NamedValue kClocks[] = {{"st1", 0}, {"st2", 1}, {"rt", 2}, {"ar", 3}};
constexpr NamedValue kFormats[] = {{"nrz", 0}, {"nrzi", 1}, {"fm0", 2}, {"fm1", 3}};
constexpr NamedValue kChecks[] = {
    {"none", 0}, {"lrc-odd", 1}, {"lrc-even", 2}, {"crc16", 3}, {"itu-t", 4},
    {"crc6", 5}, {"crc12", 6},   {"fcs16", 1},    {"fcs32", 2},
};
constexpr NamedValue kFrameProtocols[] = {
    {"sdlc", 0}, {"sdlc128", 1}, {"x25", 2}, {"x25-128", 3}, {"lapd", 4},
};
constexpr NamedValue kPacketProtocols[] = {{"x25", 0}, {"lapd", 1}};
constexpr NamedValue kFilters[] = {{"sd1", 0}, {"sd2", 1}, {"rd1", 2}, {"rd2", 3}};

struct ParseError {
  std::string reason;
};

// One word of a statement. A double-quoted string is kept decoded (escapes \\, \" and
// \xHH), with whatever follows its closing quote (a "/status") in suffix.
struct Token {
  std::string text;
  bool quoted = false;
  std::string suffix;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the string that starts at line[i] (the opening quote); i ends after the close.
std::string quotedText(std::string_view line, size_t& i) {
  std::string text;
  for (++i; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      ++i;
      return text;
    }
    if (c != '\\') {
      text.push_back(c);
      continue;
    }
    if (++i >= line.size()) break;
    if (line[i] != 'x') {
      text.push_back(line[i]);
      continue;
    }
    const int high = i + 1 < line.size() ? hexDigit(line[i + 1]) : -1;
    const int low = i + 2 < line.size() ? hexDigit(line[i + 2]) : -1;
    if (high < 0 || low < 0) throw ParseError{"bad \\x escape in a string"};
    text.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  throw ParseError{"unterminated string"};
}

std::vector<Token> tokenize(std::string_view line) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    if (isBlank(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == '#') break;
    Token token;
    if (line[i] == '"') {
      token.quoted = true;
      token.text = quotedText(line, i);
    }
    std::string& rest = token.quoted ? token.suffix : token.text;
    while (i < line.size() && !isBlank(line[i])) rest.push_back(line[i++]);
    tokens.push_back(std::move(token));
  }
  return tokens;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::optional<uint64_t> parseDigits(std::string_view text, int base) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Decimal, or hexadecimal with a 0x prefix; an optional leading minus for signed fields.
std::optional<int64_t> parseNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  std::optional<uint64_t> magnitude;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    magnitude = parseDigits(text.substr(2), 16);
  } else {
    magnitude = parseDigits(text, 10);
  }
  if (!magnitude || *magnitude > 0xFFFFFFFFull) return std::nullopt;
  return negative ? -static_cast<int64_t>(*magnitude) : static_cast<int64_t>(*magnitude);
}

using Args = std::vector<Token>;

void expectCount(const Args& args, size_t low, size_t high) {
  if (args.size() < low) throw ParseError{"too few values"};
  if (args.size() > high) throw ParseError{"too many values"};
}

// A plain (unquoted) word; strings are only allowed where characters are listed.
const std::string& plain(const Token& token) {
  if (token.quoted) throw ParseError{"a string is not allowed here"};
  return token.text;
}

int64_t number(const Token& token, int64_t low, int64_t high) {
  const std::string& text = plain(token);
  const std::optional<int64_t> value = parseNumber(text);
  if (!value) throw ParseError{"'" + text + "' is not a number"};
  if (*value < low || *value > high) throw ParseError{"'" + text + "' is out of range"};
  return *value;
}

uint8_t byteValue(const Token& token) { return static_cast<uint8_t>(number(token, 0, 255)); }

template <size_t N>
int named(const Token& token, const NamedValue (&table)[N], const char* what) {
  const std::string key = lower(plain(token));
  for (const NamedValue& entry : table) {
    if (entry.name == key) return entry.value;
  }
  throw ParseError{std::string("unknown ") + what + " '" + token.text + "'"};
}

// Protocols and codes may also be given by number, so that odd values can be written.
template <size_t N>
int namedOrNumber(const Token& token, const NamedValue (&table)[N], const char* what) {
  if (parseNumber(plain(token))) return static_cast<int>(number(token, -128, 255));
  return named(token, table, what);
}

constexpr NamedValue kDirections[] = {{"sd", 0}, {"rd", 1}};

bool directionIsRd(const Args& args, size_t index) {
  return index < args.size() && named(args[index], kDirections, "direction") == 1;
}

unsigned statusSuffix(std::string_view suffix) {
  if (suffix.empty()) return 8;
  const std::optional<uint64_t> status =
      suffix[0] == '/' ? parseDigits(suffix.substr(1), 10) : std::nullopt;
  if (!status || *status > 31)
    throw ParseError{"bad status '" + std::string(suffix) + "' (want /0 to /31)"};
  return static_cast<unsigned>(*status);
}

// A cell token is a hex byte with an optional "/status" (decimal), e.g. 41 or 7E/4;
// without a status the cell is a plain character (status 8).
uint16_t oneCell(const Token& token) {
  const std::string& text = plain(token);
  const size_t slash = std::min(text.find('/'), text.size());
  const std::string_view byteText = std::string_view(text).substr(0, slash);
  const std::optional<uint64_t> byte =
      byteText.size() <= 2 ? parseDigits(byteText, 16) : std::nullopt;
  if (!byte) throw ParseError{"'" + std::string(byteText) + "' is not a hex byte"};
  return cell(statusSuffix(std::string_view(text).substr(slash)), static_cast<uint8_t>(*byte));
}

// Cells of one direction: hex bytes and strings, each string character one cell.
template <typename Emit>
void forEachCell(const Args& args, Emit&& emit) {
  for (const Token& token : args) {
    if (!token.quoted) {
      emit(oneCell(token));
      continue;
    }
    const unsigned status = statusSuffix(token.suffix);
    for (char c : token.text) emit(cell(status, static_cast<uint8_t>(c)));
  }
}

// Hex data: tokens of any even length, "0102" and "01 02" alike.
std::vector<uint8_t> hexBytes(const Args& args, size_t first) {
  std::vector<uint8_t> bytes;
  for (size_t i = first; i < args.size(); ++i) {
    const std::string& text = plain(args[i]);
    if (text.size() % 2 != 0) throw ParseError{"'" + text + "' is not a whole number of hex bytes"};
    for (size_t j = 0; j < text.size(); j += 2) {
      const std::optional<uint64_t> value = parseDigits(std::string_view(text).substr(j, 2), 16);
      if (!value) throw ParseError{"'" + text + "' is not hex"};
      bytes.push_back(static_cast<uint8_t>(*value));
    }
  }
  return bytes;
}

void conditionStatement(Conditions& c, const std::string& keyword, const Args& args) {
  if (keyword == "speed") {
    expectCount(args, 1, 2);
    c.sendSpeed = static_cast<int32_t>(number(args[0], INT32_MIN, INT32_MAX));
    c.receiveSpeed = args.size() == 2 ? static_cast<int32_t>(number(args[1], INT32_MIN, INT32_MAX))
                                      : c.sendSpeed;
  } else if (keyword == "stamps") {
    expectCount(args, 2, 2);
    c.stampFlag1 = byteValue(args[0]);
    c.stampFlag2 = byteValue(args[1]);
  } else if (keyword == "address") {
    expectCount(args, 2, 2);
    const bool rd = directionIsRd(args, 0);
    (rd ? c.receiveAddressEnabled : c.sendAddressEnabled) = 1;
    (rd ? c.receiveAddress : c.sendAddress) = byteValue(args[1]);
  } else if (keyword == "filter") {
    expectCount(args, 3, 3);
    const int entry = named(args[0], kFilters, "filter");
    c.filterMask[entry] = byteValue(args[1]);
    c.filterPattern[entry] = byteValue(args[2]);
  } else {
    expectCount(args, 1, 1);
    const Token& a = args[0];
    if (keyword == "mode")
      c.measureMode = static_cast<int>(number(a, -128, 255));
    else if (keyword == "protocol")
      c.protocol = namedOrNumber(a, kProtocols, "protocol");
    else if (keyword == "code")
      c.code = namedOrNumber(a, kCodes, "code");
    else if (keyword == "charbits")
      c.charBits = named(a, kCharBits, "character length");
    else if (keyword == "parity")
      c.parity = named(a, kParities, "parity");
    else if (keyword == "stopbits")
      c.stopBitsOrClock = named(a, kStopBits, "stop bits");
    else if (keyword == "clock")
      c.stopBitsOrClock = named(a, kClocks, "clock");
    else if (keyword == "format")
      c.format = named(a, kFormats, "format");
    else if (keyword == "check")
      c.checkKind = named(a, kChecks, "check");
    else if (keyword == "linestate")
      c.lineStateRecorded = byteValue(a);
    else if (keyword == "frame-protocol")
      c.frameProtocol = named(a, kFrameProtocols, "frame protocol");
    else if (keyword == "packet-protocol")
      c.packetProtocol = named(a, kPacketProtocols, "packet protocol");
    else
      throw ParseError{"unknown condition '" + keyword + "'"};
  }
}

void controlRecord(std::vector<uint32_t>& words, const std::string& keyword, const Args& args) {
  if (keyword == "idle") {
    expectCount(args, 1, 1);
    words.push_back(idleWord(static_cast<uint32_t>(number(args[0], 0, 0xFFFFFF))));
  } else if (keyword == "clock") {
    expectCount(args, 3, 4);
    words.push_back(clockStamp(static_cast<unsigned>(number(args[0], 0, 127)), byteValue(args[1]),
                               byteValue(args[2]), directionIsRd(args, 3)));
  } else if (keyword == "counter") {
    expectCount(args, 1, 2);
    words.push_back(
        counterStamp(static_cast<uint32_t>(number(args[0], 0, 524287)), directionIsRd(args, 1)));
  } else if (keyword == "line") {
    expectCount(args, 2, 3);
    if (args.size() == 3 && lower(plain(args[2])) != "listed")
      throw ParseError{"expected 'listed' after the line states"};
    words.push_back(lineStateWord(static_cast<uint16_t>(number(args[0], 0, 0xFFF)),
                                  static_cast<uint16_t>(number(args[1], 0, 0xFFF)),
                                  args.size() == 3 ? 17 : 16));
  } else if (keyword == "marker") {
    expectCount(args, 1, 1);
    words.push_back(markerWord(byteValue(args[0])));
  } else if (keyword == "speed") {
    expectCount(args, 2, 3);
    words.push_back(speedWord(byteValue(args[0]), byteValue(args[1]),
                              args.size() == 3 ? byteValue(args[2]) : 0));
  } else if (keyword == "word") {
    expectCount(args, 1, SIZE_MAX);
    for (const Token& a : args) words.push_back(static_cast<uint32_t>(number(a, 0, 0xFFFFFFFF)));
  } else {
    throw ParseError{"unknown record '" + keyword + "'"};
  }
}

void recordStatement(std::vector<uint32_t>& words, const std::string& keyword, const Args& args) {
  if (keyword == "sd") {
    forEachCell(args, [&](uint16_t c) { words.push_back(dataWord(c, 0)); });
  } else if (keyword == "rd") {
    forEachCell(args, [&](uint16_t c) { words.push_back(dataWord(0, c)); });
  } else if (keyword == "both") {
    if (args.empty() || args.size() % 2 != 0)
      throw ParseError{"'both' takes SD and RD cells in pairs"};
    for (size_t i = 0; i < args.size(); i += 2)
      words.push_back(dataWord(oneCell(args[i]), oneCell(args[i + 1])));
  } else {
    controlRecord(words, keyword, args);
  }
}

// Collects the statements; a section becomes its chunk when the next section, a raw
// chunk or the end of the text closes it, so chunks appear in the order written.
class TextBuilder {
 public:
  void statement(const std::vector<Token>& tokens) {
    const std::string keyword = lower(plain(tokens[0]));
    const Args args(tokens.begin() + 1, tokens.end());
    if (keyword == "conditions" || keyword == "records") {
      expectCount(args, 0, 0);
      closeSection();
      section_ = keyword == "conditions" ? Section::Conditions : Section::Records;
    } else if (keyword == "raw-chunk") {
      expectCount(args, 1, SIZE_MAX);
      if (plain(args[0]).size() != 4) throw ParseError{"a chunk tag has four characters"};
      closeSection();
      builder_.chunk(args[0].text, hexBytes(args, 1));
    } else if (keyword == "tail") {
      closeSection();
      builder_.tail(hexBytes(args, 0));
    } else if (section_ == Section::Conditions) {
      conditionStatement(conditions_, keyword, args);
    } else if (section_ == Section::Records) {
      recordStatement(words_, keyword, args);
    } else {
      throw ParseError{"'" + keyword + "' outside a conditions or records section"};
    }
  }

  std::vector<uint8_t> finish() {
    closeSection();
    return builder_.bytes();
  }

 private:
  enum class Section { None, Conditions, Records };

  void closeSection() {
    if (section_ == Section::Conditions) builder_.dinf(conditions_);
    if (section_ == Section::Records) builder_.mond(words_);
    section_ = Section::None;
    conditions_ = Conditions{};
    words_.clear();
  }

  Section section_ = Section::None;
  Conditions conditions_;
  std::vector<uint32_t> words_;
  CaptureBuilder builder_;
};

}  // namespace

bool buildFromText(std::string_view text, std::vector<uint8_t>& image, std::string& error) {
  TextBuilder builder;
  size_t lineNumber = 0;
  try {
    while (!text.empty()) {
      ++lineNumber;
      const size_t end = text.find('\n');
      const std::string_view line = text.substr(0, end);
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
      const std::vector<Token> tokens = tokenize(line);
      if (!tokens.empty()) builder.statement(tokens);
    }
  } catch (const ParseError& e) {
    error = "line " + std::to_string(lineNumber) + ": " + e.reason;
    return false;
  }
  image = builder.finish();
  error.clear();
  return true;
}

}  // namespace qv::build
