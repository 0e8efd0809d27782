#include "listing/normal_listing.h"

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

constexpr bool oneDirection(const ConvertOptions& o) { return o.dataLine == 1 || o.dataLine == 2; }
constexpr bool oneForm(const ConvertOptions& o) { return o.codeDisplay == 1 || o.codeDisplay == 2; }

// What one data row shows: bit 0 of the selector picks the character row (else the hex
// row), bit 1 the RD cell (else the SD cell).
struct RowChoice {
  int selector;
  const char* prefix;
};

RowChoice chooseRow(const ConvertOptions& o, int row) {
  const char* continuation = "   ";
  if (oneDirection(o)) {
    const int rd = o.dataLine == 2 ? 2 : 0;
    const int form = o.codeDisplay == 1 ? 1 : o.codeDisplay == 2 ? 0 : row;
    return {rd + form, row == 0 ? (rd ? "RD:" : "SD:") : continuation};
  }
  const int k = oneForm(o) ? 2 * row : row;
  const int selector = k + (o.codeDisplay == 1 ? 1 : 0);
  return {selector, k == 0 ? "SD:" : k == 2 ? "RD:" : continuation};
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
  hexCells_.build(hexRowForms(), code_);
  charCells_.build(charRowForms(wordKind), code_);
  if (!options.skipGuide && writeGuide() == Flow::Stop) return finishRun();
  // A monitor chunk shorter than one word holds no record: reading one would run past
  // the end of the file.
  const bool noRecords = captureFile->chunkStart() == captureFile->chunkEnd() ||
                         captureFile->byteLength() == 0 || cursor.position == nullptr;
  if (noRecords) return finishRun();
  block_.capacity = blockCapacityFor(options.printColumns);
  const int rows = rowsPerBlock();
  for (;;) {
    collectBlock();
    if (block_.count == 0 || writeBlock(rows)) break;
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
  return endStep();
}

int NormalListingConverter::rowsPerBlock() const {
  const int rows = oneDirection(options) ? 2 : 4;
  return oneForm(options) ? rows / 2 : rows;
}

bool NormalListingConverter::writeRow(const char* text) {
  printFile.putString(text);
  return endLine();
}

// Writes the data rows and, in the Line state format, the selected line rows of the
// current block; true when the run must stop.
bool NormalListingConverter::writeBlock(int rows) {
  for (int row = 0; row < rows; ++row) {
    formatDataRow(rowText_, row);
    if (writeRow(rowText_)) return true;
  }
  if (!options.skipGuide && endLine()) return true;
  if (!options.lineStateFormat) return false;
  for (const int8_t line : options.lineStateSelection) {
    if (line < 0) continue;
    formatLineStateRow(rowText_, line);
    if (writeRow(rowText_)) return true;
  }
  return !options.skipGuide && endLine();
}

// Whether the listing shows the word under the cursor, and the word it stores.
bool NormalListingConverter::collects(uint32_t word, uint32_t& stored) const {
  stored = word;
  if (isDataWord(word)) {
    const bool sd = cellStatus(sdCell(word)) != 0;
    const bool rd = cellStatus(rdCell(word)) != 0;
    return options.dataLine == 1 ? sd : options.dataLine == 2 ? rd : (sd || rd);
  }
  if (isIdleOrStamp(word)) {
    stored = word + cursor.column;
    return listsIdleOrStamp(word, options);
  }
  if (recordKind(word) == KindLineStateListed) return options.lineStateFormat != 0;
  return isListedMarker(word);
}

void NormalListingConverter::collectBlock() {
  block_.clear();
  if (runState) return;
  for (;;) {
    uint32_t stored = 0;
    if (collects(CaptureFile::wordAt(cursor.position), stored)) block_.add(stored, cursor.lineState);
    const bool full = block_.full();
    if (!captureFile->advanceColumn(cursor)) {
      runState = 1;
      return;
    }
    if (full) return;
  }
}

int NormalListingConverter::formatDataRow(char* text, int row) const {
  const RowChoice choice = chooseRow(options, row);
  RowLayout layout;
  layout.prefix = options.skipGuide ? nullptr : choice.prefix;
  // A block of one row shows the values of control records, never their labels.
  layout.labelMode = oneDirection(options) && oneForm(options) ? 1 : row;
  layout.rdHalf = (choice.selector & 2) != 0;
  layout.table = (choice.selector & 1) != 0 ? &charCells_ : &hexCells_;
  return formatBlockRow(text, block_, layout);
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
      before = (record.word >> 8) & 0xFFF;
      after = (record.word >> 20) & 0xFFF;
    }
    out[0] = levelOf(before, line);
    out[1] = levelOf(after, line);
  }
  while (out > text && out[-1] == ' ') --out;
  *out = '\0';
  return static_cast<int>(out - text);
}

}  // namespace qv
