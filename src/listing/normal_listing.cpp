#include "listing/normal_listing.h"

#include <cstring>

#include "report/header.h"
#include "report/print_file.h"

namespace qv {

namespace {

constexpr char kTitleStart[] = "* MONITOR DATA ";
constexpr char kTitleLineState[] = "(WITH LINE STATE)";
constexpr char kTitleNormal[] = "                 ";
constexpr char kTitleEnd[] = "      *";

// Two letters per control line, indexed by line 0-7; lines 8-11 have no name.
constexpr char kLineNames[] = "RSCSDRCDERSQCIEX";
constexpr int kNamedLines = 8;
constexpr int kLineStateBits = 12;

constexpr bool oneDirection(const ConvertOptions& o) {
  return o.dataLine == DataLineSd || o.dataLine == DataLineRd;
}
constexpr bool oneForm(const ConvertOptions& o) {
  return o.codeDisplay == ShowChar || o.codeDisplay == ShowHex;
}

// What one data row shows: bit 0 of the selector picks the character row (else the hex
// row), bit 1 the RD cell (else the SD cell).
struct RowChoice {
  int selector;
  const char* prefix;
};

RowChoice chooseRow(const ConvertOptions& o, int row) {
  const char* continuation = "   ";
  if (oneDirection(o)) {
    const int rd = o.dataLine == DataLineRd ? 2 : 0;
    const int form = o.codeDisplay == ShowChar ? 1 : o.codeDisplay == ShowHex ? 0 : row;
    return {rd + form, row == 0 ? (rd ? "RD:" : "SD:") : continuation};
  }
  const int k = oneForm(o) ? 2 * row : row;
  const int selector = k + (o.codeDisplay == ShowChar ? 1 : 0);
  return {selector, k == 0 ? "SD:" : k == 2 ? "RD:" : continuation};
}

// Rows of mostly one direction end in long runs of blanks: eight at a time first.
size_t withoutTrailingBlanks(const char* text, size_t length) {
  constexpr uint64_t kEightBlanks = 0x2020202020202020;
  for (uint64_t eight; length >= 8; length -= 8) {
    std::memcpy(&eight, text + length - 8, 8);
    if (eight != kEightBlanks) break;
  }
  while (length > 0 && text[length - 1] == ' ') --length;
  return length;
}

inline char levelOf(unsigned state, int line) {
  // A set bit is the line's active level, listed as "0".
  return line < kLineStateBits && ((state >> line) & 1) != 0 ? '0' : '1';
}

}  // namespace

int NormalListingConverter::run(int32_t limit) {
  if (!beginRun(limit)) return 0;
  if (options.printCode < 0) options.printCode = captureFile->code();
  code_.load(options.printCode);
  cells_.build(hexRowForms(), charRowForms(wordKind), code_);
  plainCells_ = cells_.plain();
  if (!options.skipGuide && writeGuide() == Flow::Stop) return finishRun();
  // A monitor chunk shorter than one word holds no record: reading one would run past
  // the end of the file.
  const bool noRecords = captureFile->chunkStart() == captureFile->chunkEnd() ||
                         captureFile->byteLength() == 0 || cursor.position == nullptr;
  if (noRecords) return finishRun();
  block_.capacity = blockCapacityFor(options.printColumns);
  const int rows = rowsPerBlock();
  planRows(rows);
  // A data word is listed when a cell of a listed direction holds something.
  constexpr uint32_t kSdStatus = 0x1F, kRdStatus = 0x1F0000;
  dataStatusMask_ = options.dataLine == DataLineSd   ? kSdStatus
                    : options.dataLine == DataLineRd ? kRdStatus
                                                     : kSdStatus | kRdStatus;
  for (;;) {
    collectBlock();
    if (block_.count == 0) break;
    formatControlCells();
    if (writeBlock(rows) == Flow::Stop) break;
  }
  return finishRun();
}

// Writes the header box and title.
Flow NormalListingConverter::writeGuide() {
  writeHeaderLine(printFile);
  printFile.putString(kTitleStart);
  printFile.putString(options.lineStateFormat ? kTitleLineState : kTitleNormal);
  printFile.putString(kTitleEnd);
  printFile.putChar('\n');
  writeConditionsBox();
  writePrintCode(printFile, options.printCode);
  writeBoxEnd(printFile);
  return endLine();
}

int NormalListingConverter::rowsPerBlock() const {
  const int rows = oneDirection(options) ? 2 : 4;
  return oneForm(options) ? rows / 2 : rows;
}

void NormalListingConverter::planRows(int rows) {
  for (int8_t& mode : labelModeOf_) mode = kUnusedRow;
  for (int row = 0; row < rows; ++row) {
    const RowChoice choice = chooseRow(options, row);
    rowPlan_[row] = {options.skipGuide ? nullptr : choice.prefix, choice.selector};
    // A block of one row shows the values of control records, never their labels.
    labelModeOf_[choice.selector] = static_cast<int8_t>(rows == 1 ? 1 : row < 2 ? row : 2);
  }
}

Flow NormalListingConverter::writeRow(const char* text) {
  printFile.putString(text);
  return endLine();
}

// Writes the data rows and, in the Line state format, the selected line rows of the
// current block; Stop when the run must stop. The rows go to the report as one piece
// unless the page limit may fall inside the block or a cell could hold a character the
// writer gives a meaning to: then they go line by line, each followed by endLine.
Flow NormalListingConverter::writeBlock(int rows) {
  const int lines = formatBlock(rows);
  if (!plainCells_ || printFile.linesBeforePage(runLimit) <= lines) return writeBlockByLine(rows);
  printFile.putLines(blockText_, blockLength_, lines);
  return printFile.isFailed() ? Flow::Stop : Flow::Continue;
}

// Hands each row of the current block to emit, in order: the data rows, a blank line,
// and in the Line state format the selected line rows and another blank line (the blank
// lines only with the guide). emit(format) calls format(text) to write the row into
// text, trailing blanks removed, and gets its length; emit returns false to stop.
template <typename Emit>
bool NormalListingConverter::forEachRow(int rows, Emit emit) const {
  const auto blank = [](char* text) {
    *text = '\0';
    return 0;
  };
  for (int row = 0; row < rows; ++row) {
    if (!emit([&](char* text) { return formatDataRow(text, row); })) return false;
  }
  if (!options.skipGuide && !emit(blank)) return false;
  if (!options.lineStateFormat) return true;
  for (const int8_t line : options.lineStateSelection) {
    if (line >= 0 && !emit([&](char* text) { return formatLineStateRow(text, line); }))
      return false;
  }
  return options.skipGuide || emit(blank);
}

// The rows of writeBlock as one text, each ended by a newline; returns the line count.
int NormalListingConverter::formatBlock(int rows) {
  char* out = blockText_;
  int lines = 0;
  forEachRow(rows, [&](auto format) {
    out += format(out);
    *out++ = '\n';
    ++lines;
    return true;
  });
  blockLength_ = static_cast<size_t>(out - blockText_);
  return lines;
}

Flow NormalListingConverter::writeBlockByLine(int rows) {
  const bool whole = forEachRow(rows, [&](auto format) {
    format(rowText_);
    return writeRow(rowText_) == Flow::Continue;
  });
  return whole ? Flow::Continue : Flow::Stop;
}

// Whether the listing shows the word under the cursor (at display column `column`), and
// the word it stores.
bool NormalListingConverter::collects(uint32_t word, unsigned column, uint32_t& stored) const {
  stored = word;
  if (isDataWord(word)) return (word & dataStatusMask_) != 0;
  if (isIdleOrStamp(word)) {
    stored = word + column;
    return listsIdleOrStamp(word, options);
  }
  if (recordKind(word) == KindLineStateListed) return options.lineStateFormat != 0;
  return isListedMarker(word);
}

// Steps as advanceColumn does: a four-column record is visited once per column. Inside a
// straight run of the ring the steps need no ring test; advance takes the last step of
// each run. The cursor and the count live in locals so that they stay in registers.
void NormalListingConverter::collectBlock() {
  block_.clear();
  controlCount_ = 0;
  if (runState) return;
  RecordCursor at = cursor;
  int count = 0;
  size_t runLeft = captureFile->straightRun(cursor);
  bool more = runLeft != 0;
  while (more) {
    // Data words fill one column and change no state: the common case in a tight loop.
    while (runLeft > 1 && count < block_.capacity) {
      const uint32_t word = CaptureFile::wordAt(at.position);
      if (!isDataWord(word)) break;
      if ((word & dataStatusMask_) != 0) {
        putDataCells(count, word);
        block_.records[count++] = {word, at.lineState};
      }
      at.position += 4;
      --runLeft;
    }
    if (count >= block_.capacity) break;
    const uint32_t word = CaptureFile::wordAt(at.position);
    uint32_t stored = 0;
    if (collects(word, at.column, stored)) {
      if (isDataWord(word)) {
        putDataCells(count, word);
      } else {
        controlRecords_[controlCount_++] = static_cast<int8_t>(count);
      }
      block_.records[count++] = {stored, at.lineState};
    }
    const bool full = count >= block_.capacity;
    if ((word & 0x70) == 0 && ++at.column < 4) {
      if (full) break;
      continue;
    }
    at.column = 0;
    if (runLeft > 1) {
      CaptureFile::stepInRun(at);
      --runLeft;
    } else {
      // Only copies go to the calls, so that the compiler keeps `at` in registers.
      RecordCursor stepped = at;
      more = captureFile->advance(stepped);
      runLeft = more ? captureFile->straightRun(stepped) : 0;
      at = stepped;
    }
    if (full) break;
  }
  cursor = at;
  block_.count = count;
  if (!more) runState = 1;
}

// A data word's cells in all four rows a block can show (SD hex, SD characters, RD hex,
// RD characters): one lookup per direction.
void NormalListingConverter::putDataCells(int index, uint32_t word) {
  const int column = 2 * index;
  const char* sd = cells_.hex(sdCell(word));
  const char* rd = cells_.hex(rdCell(word));
  std::memcpy(&rowCells_[kSdHex][column], sd, 2);
  std::memcpy(&rowCells_[kSdChars][column], sd + 2, 2);
  std::memcpy(&rowCells_[kRdHex][column], rd, 2);
  std::memcpy(&rowCells_[kRdChars][column], rd + 2, 2);
}

void NormalListingConverter::formatControlCells() {
  for (int k = 0; k < controlCount_; ++k) {
    const int i = controlRecords_[k];
    const uint32_t word = block_.records[i].word;
    char* const cells[kCellRows] = {&rowCells_[kSdHex][2 * i], &rowCells_[kSdChars][2 * i],
                                    &rowCells_[kRdHex][2 * i], &rowCells_[kRdChars][2 * i]};
    putControlCells(word, cells, labelModeOf_, kCellRows);
  }
}

int NormalListingConverter::formatDataRow(char* text, int row) const {
  const RowPlan& plan = rowPlan_[row];
  char* out = text;
  if (plan.prefix != nullptr) {
    std::memcpy(out, plan.prefix, 3);
    out += 3;
  }
  const size_t length = 2 * static_cast<size_t>(block_.count);
  std::memcpy(out, rowCells_[plan.selector], length);
  out += length;
  out = text + withoutTrailingBlanks(text, static_cast<size_t>(out - text));
  *out = '\0';
  return static_cast<int>(out - text);
}

int NormalListingConverter::formatLineStateRow(char* text, int line) const {
  char* out = text;
  if (!options.skipGuide) {
    const bool named = line >= 0 && line < kNamedLines;
    out[0] = named ? kLineNames[2 * line] : ' ';
    out[1] = named ? kLineNames[2 * line + 1] : ' ';
    out[2] = ':';
    out += 3;
  }
  for (int i = 0; i < block_.count; ++i, out += 2) {
    const BlockRecord& record = block_.records[i];
    unsigned before = record.lineStateThen;
    unsigned after = before;
    if (!isDataWord(record.word) && recordKind(record.word) == KindLineStateListed) {
      before = lineStateBefore(record.word);
      after = lineStateAfter(record.word);
    }
    out[0] = levelOf(before, line);
    out[1] = levelOf(after, line);
  }
  while (out > text && out[-1] == ' ') --out;
  *out = '\0';
  return static_cast<int>(out - text);
}

}  // namespace qv
