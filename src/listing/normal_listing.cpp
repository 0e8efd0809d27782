#include "listing/normal_listing.h"

#include <algorithm>
#include <bit>
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

// The blanks that end eight characters read as one word, from the bits in which the
// characters differ from blanks (not all zero): the last character in memory is the
// word's most significant byte on a little-endian machine, its least on a big-endian one.
inline size_t blanksEnding(uint64_t differing) {
  const int sameBits = std::endian::native == std::endian::little ? std::countl_zero(differing)
                                                                  : std::countr_zero(differing);
  return static_cast<size_t>(sameBits) / 8;
}

// Rows of mostly one direction end in long runs of blanks: eight at a time.
size_t withoutTrailingBlanks(const char* text, size_t length) {
  constexpr uint64_t kEightBlanks = 0x2020202020202020;
  for (uint64_t eight; length >= 8; length -= 8) {
    std::memcpy(&eight, text + length - 8, 8);
    if (eight != kEightBlanks) return length - blanksEnding(eight ^ kEightBlanks);
  }
  while (length > 0 && text[length - 1] == ' ') --length;
  return length;
}

// withoutTrailingBlanks for a row of cells collected an instant ago. Their characters
// were stored two at a time, and a load of just the last cell is answered from its store,
// while a wider load has to wait until the stores reach the cache (about 4 ms of the
// 64 MiB listing). Most rows end in a cell that is not blank, so the last cell alone
// decides them; the others are trimmed as before.
size_t withoutTrailingBlankCells(const char* cells, size_t length) {
  if (length == 0) return 0;
  char last[2];
  std::memcpy(last, cells + length - 2, 2);
  if (last[1] != ' ') return length;
  if (last[0] != ' ') return length - 1;
  return withoutTrailingBlanks(cells, length - 2);
}

// A marker is listed when its sub-kind is 0 or 1, that is when it has none of these bits.
constexpr uint32_t kMarkerSubKindAboveOne = 0xFE00;
constexpr bool subKindBitsTellListedMarkers() {
  for (uint32_t subKind = 0; subKind < 256; ++subKind) {
    const uint32_t word = KindMarker | subKind << 8;
    if (isListedMarker(word) != ((word & kMarkerSubKindAboveOne) == 0)) return false;
  }
  return true;
}
static_assert(subKindBitsTellListedMarkers());

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
  buildControlTexts();
  fastBlocksLeft_ = 0;
  // Every block writes as many lines: counted once, for the page limit's test before a
  // block is written.
  linesPerBlock_ = 0;
  forEachRow(rows, [&](auto) { return ++linesPerBlock_ > 0; });
  runLeft_ = captureFile->straightRun(cursor);
  // A data word is listed when a cell of a listed direction holds something.
  constexpr uint32_t kSdStatus = 0x1F, kRdStatus = 0x1F0000;
  dataStatusMask_ = options.dataLine == DataLineSd   ? kSdStatus
                    : options.dataLine == DataLineRd ? kRdStatus
                                                     : kSdStatus | kRdStatus;
  for (;;) {
    if (options.lineStateFormat)
      collectBlock<true>();
    else
      collectBlock<false>();
    if (block_.count == 0) break;
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
  for (uint8_t& mode : textModeOf_) mode = kBlanks;
  for (int row = 0; row < rows; ++row) {
    const RowChoice choice = chooseRow(options, row);
    RowPlan& plan = rowPlan_[row];
    plan.selector = choice.selector;
    plan.prefixLength = options.skipGuide ? 0 : 3;
    std::memcpy(plan.prefix, choice.prefix, 3);
    plan.bareLength =
        static_cast<uint8_t>(options.skipGuide ? 0 : withoutTrailingBlanks(choice.prefix, 3));
    // A block of one row shows the values of control records, never their labels.
    const ControlTextMode mode = rows == 1  ? kValues
                                 : row == 0 ? kLabels
                                 : row == 1 ? kValues
                                            : kBlanks;
    textModeOf_[choice.selector] = static_cast<uint8_t>(mode);
  }
}

Flow NormalListingConverter::writeRow(const char* text) {
  printFile.putString(text);
  return endLine();
}

// Writes the data rows and, in the Line state format, the selected line rows of the
// current block; Stop when the run must stop. The rows are formatted straight into the
// report's buffer unless the page checkpoint (the page limit, or the next progress
// report) may fall inside the block or a cell could hold a character the writer gives a
// meaning to: then they go line by line, each followed by endLine.
Flow NormalListingConverter::writeBlock(int rows) {
  if (fastBlocksLeft_ == 0) {
    // Only lines written one by one move the checkpoint, so the blocks that fit before it
    // are counted once rather than asked for block by block.
    const int64_t lines = printFile.linesBeforePage(pageCheckpoint());
    if (!plainCells_ || lines <= linesPerBlock_) return writeBlockByLine(rows);
    fastBlocksLeft_ = (lines - 1) / linesPerBlock_;
  }
  --fastBlocksLeft_;
  static_assert(kBlockTextSize <= PrintFile::kMaxReserve);
  char* out = printFile.reserve(kBlockTextSize);
  if (out == nullptr) return Flow::Stop;
  if (options.lineStateFormat) {
    forEachRow(rows, [&](auto format) {
      out += format(out);
      *out++ = '\n';
      return true;
    });
  } else {
    // At most four rows; unrolled, their loop costs nothing of its own.
#pragma GCC unroll 4
    for (int row = 0; row < rows; ++row) {
      out = putDataRow(out, rowPlan_[row]);
      *out++ = '\n';
    }
    if (!options.skipGuide) *out++ = '\n';
  }
  printFile.commitLines(out, linesPerBlock_);
  return Flow::Continue;
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

Flow NormalListingConverter::writeBlockByLine(int rows) {
  const bool whole = forEachRow(rows, [&](auto format) {
    format(rowText_);
    return writeRow(rowText_) == Flow::Continue;
  });
  return whole ? Flow::Continue : Flow::Stop;
}

// Whether the listing shows a control word (any of its columns).
bool NormalListingConverter::collectsControl(uint32_t word) const {
  if (isIdleOrStamp(word)) return listsIdleOrStamp(word, options);
  if (recordKind(word) == KindLineStateListed) return options.lineStateFormat != 0;
  return isListedMarker(word);
}

// Steps as advanceColumn does, a four-column record once per column, but takes as many
// columns of a record at once as the block has room for. Inside a straight run of the
// ring the steps need no ring test; advance takes the last step of each run. The cursor
// and the count live in locals so that they stay in registers. Only the line rows read
// the block's records: without them, data words store none.
template <bool kKeepsRecords>
void NormalListingConverter::collectBlock() {
  block_.clear();
  if (runState) return;
  RecordCursor at = cursor;
  size_t runLeft = runLeft_;
  const int capacity = block_.capacity;
  int count = 0;
  bool more = runLeft != 0;
  while (more && count < capacity) {
    count = collectDataWords<kKeepsRecords>(at, runLeft, count);
    if (count >= capacity) break;
    const uint32_t word = CaptureFile::wordAt(at.position);
    if (isDataWord(word)) {
      if ((word & dataStatusMask_) != 0) {
        putDataCells(cellRow(0) + 2 * count, word, cells_.pairs());
        if constexpr (kKeepsRecords) block_.records[count] = {word, at.lineState};
        ++count;
      }
    } else if (const ControlTexts& texts = controlTexts_[controlTextKey(word)];
               texts.listed && (word & texts.clearWhenListed) == 0) {
      const int columnsLeft = hasDisplayColumns(word) ? kDisplayColumns - at.column : 1;
      const int columns = std::min(columnsLeft, capacity - count);
      putControlColumns<kKeepsRecords>(count, word, texts, at.column, columns, at.lineState);
      count += columns;
      if (columns < columnsLeft) {
        // The block is full inside the record: the next block goes on from this column.
        at.column = static_cast<uint8_t>(at.column + columns);
        break;
      }
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
  }
  cursor = at;
  runLeft_ = runLeft;
  block_.count = count;
  if (!more) runState = 1;
}

// Data words fill one column and change no state: the common case, in a tight loop up to
// the last word of the straight run (whose step may wrap or end the ring). One bound serves
// both the run and the block: it stops early when unlisted words leave cells free, and the
// caller comes back. The cursor is on a word of the run (runLeft is at least 1). Returns
// the count after the words taken.
template <bool kKeepsRecords>
int NormalListingConverter::collectDataWords(RecordCursor& at, size_t& runLeft, int count) {
  const char* const pairs = cells_.pairs();
  const uint32_t listedStatus = dataStatusMask_;
  const uint16_t lineState = at.lineState;
  char* const firstCell = cellRow(0) + 2 * count;
  char* cells = firstCell;
  const size_t steps = std::min(runLeft - 1, static_cast<size_t>(block_.capacity - count));
  const uint8_t* position = at.position;
  const uint8_t* const stop = position + steps * MonitorRing::kWordBytes;
  // Unrolled: the loop's own step and test were a good part of each word's work (2 to 3
  // ms of the 64 MiB listing's 58).
#pragma GCC unroll 4
  for (; position != stop; position += MonitorRing::kWordBytes) {
    const uint32_t word = CaptureFile::wordAt(position);
    if (!isDataWord(word)) break;
    if ((word & listedStatus) == 0) continue;
    putDataCells(cells, word, pairs);
    if constexpr (kKeepsRecords)
      block_.records[count + (cells - firstCell) / 2] = {word, lineState};
    cells += 2;
  }
  runLeft -= static_cast<size_t>(position - at.position) / MonitorRing::kWordBytes;
  at.position = position;
  return count + static_cast<int>((cells - firstCell) / 2);
}

// A data word's cells in all four rows a block can show (SD hex, SD characters, RD hex,
// RD characters), `cells` being its place in the first: one lookup per direction in the
// cell table.
void NormalListingConverter::putDataCells(char* cells, uint32_t word, const char* pairs) {
  constexpr size_t kRow = kCellRowStride;
  // Each direction's four characters in one load, then split.
  char sd[4], rd[4];
  std::memcpy(sd, pairs + 4 * size_t{sdCell(word)}, 4);
  std::memcpy(rd, pairs + 4 * size_t{rdCell(word)}, 4);
  std::memcpy(cells + kSdHex * kRow, sd, 2);
  std::memcpy(cells + kSdChars * kRow, sd + 2, 2);
  std::memcpy(cells + kRdHex * kRow, rd, 2);
  std::memcpy(cells + kRdChars * kRow, rd + 2, 2);
}

// Columns [column, column + columns) of a control record, at block index `index` on: its
// whole text goes into each row, starting `column` cells before `index` (only a record
// the last block could not finish starts past column 0, and then at index 0).
template <bool kKeepsRecords>
void NormalListingConverter::putControlColumns(int index, uint32_t word, const ControlTexts& texts,
                                               unsigned column, int columns, uint16_t lineState) {
  char* const first = cellRow(0) + 2 * (index - static_cast<int>(column));
  for (size_t row = 0; row < kCellRows; ++row)
    std::memcpy(first + row * kCellRowStride, &texts.rows[row], 8);
  if (texts.valuesRow >= 0)
    putFourColumnValues(first + static_cast<size_t>(texts.valuesRow) * kCellRowStride, word);
  if constexpr (kKeepsRecords) {
    // A four-column record is stored with its column added to the kind; a one-column
    // record is always at column 0, so it is stored as it is.
    for (int k = 0; k < columns; ++k)
      block_.records[index + k] = {word + column + static_cast<unsigned>(k), lineState};
  }
}

// Inlined into the block writer, where it runs for every row.
[[gnu::always_inline]] inline char* NormalListingConverter::putDataRow(char* out,
                                                                       const RowPlan& plan) const {
  const char* const cells = cellRow(plan.selector);
  // Trimmed where the cells were collected rather than in the text just written: reading
  // back fresh stores of another width stalls.
  const size_t length = withoutTrailingBlankCells(cells, 2 * static_cast<size_t>(block_.count));
  std::memcpy(out, plan.prefix, sizeof plan.prefix);
  out += length != 0 ? plan.prefixLength : plan.bareLength;
  // The cells in copies of 32 characters; what lies past the trimmed cells is cut off
  // again.
  static_assert(3 + kCellRowCopy <= kRowTextSize - 1);
  for (size_t i = 0; i < length; i += 32) std::memcpy(out + i, cells + i, 32);
  return out + length;
}

int NormalListingConverter::formatDataRow(char* text, int row) const {
  char* const end = putDataRow(text, rowPlan_[row]);
  *end = '\0';
  return static_cast<int>(end - text);
}

// The texts of every key (see controlTextKey) under this run's row modes.
void NormalListingConverter::buildControlTexts() {
  for (uint32_t key = 0; key < kControlTextKeys; ++key) {
    const uint32_t word = (key & 0x1F) | (key >> 5) << 8;
    char texts[kCellRows][8];
    char* places[kCellRows];
    for (size_t row = 0; row < kCellRows; ++row) places[row] = texts[row];
    putControlTexts(word, places, textModeOf_, kCellRows);
    ControlTexts& entry = controlTexts_[key];
    entry.listed = collectsControl(word);
    entry.clearWhenListed = recordKind(word) == KindMarker ? kMarkerSubKindAboveOne : 0;
    entry.valuesRow = -1;
    for (size_t row = 0; row < kCellRows; ++row) {
      std::memcpy(&entry.rows[row], texts[row], 8);
      if (recordKind(word) < kFourColumnKinds && textModeOf_[row] == kValues)
        entry.valuesRow = static_cast<int8_t>(row);
    }
  }
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
