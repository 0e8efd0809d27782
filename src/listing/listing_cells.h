#pragma once
// Building blocks shared by the record listing and the BSC translation: the block of
// collected records, the two-character forms of data cells, the four-column texts of
// idle counts, time stamps and markers, and the formatting of one block row.
//
// Rows are written straight into a caller's character buffer: no allocation, no
// per-cell strings, so that a listing runs at the speed of copying.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "capture/record_word.h"
#include "convert/options.h"

namespace qv {

constexpr int kMaxBlockRecords = 56;
// A row: a 3-character prefix, up to 56 columns of 2 characters and the terminator.
constexpr int kRowTextSize = 140;

struct BlockRecord {
  uint32_t word;
  uint16_t lineStateThen;  // the line state in force when the record was collected
};

// The records of one block, in ring order.
struct RecordBlock {
  BlockRecord records[kMaxBlockRecords];
  int count = 0;
  int capacity = 28;

  void clear() { count = 0; }
  bool full() const { return count >= capacity; }
  void add(uint32_t word, uint16_t lineState) { records[count++] = {word, lineState}; }
};

// Records per block for a report width: 14 below 80 columns, 28 below 136, else 56.
int blockCapacityFor(int32_t printColumns);

// How a data cell becomes two characters.
enum class CellForm : uint8_t {
  Hex,     // the byte's two upper-case hex digits
  Char,    // the print code's primary cell of the byte
  Alt,     // the print code's alternate cell of the byte
  Blank,   // "  "
  Dash,    // " -"
  Stars,   // "**"
  Braces,  // "{}"
  Query,   // "??"
  Err1,    // "?1"
  Err2,    // "?2"
  Err3,    // "?3"
  Hashes,  // "##"
  Err5,    // "?5"
  End,     // ">>" for byte 0 or 1, "^^" otherwise
  Start,   // "<<" for byte 0, "^^" otherwise
  Ab,      // "AA" for a non-zero byte, "BB" for 0
  Flag,    // "7E" for the byte 0x7E, blanks otherwise
};

// A cell form for each of the 32 cell statuses.
using StatusForms = std::array<CellForm, 32>;

// The hex rows of the listing (every word kind).
const StatusForms& hexRowForms();
// The character rows of the listing, by word kind 0-5 (other values read as 0).
const StatusForms& charRowForms(unsigned wordKind);
// The rows of the BSC translation: characters through the primary table only.
const StatusForms& bscRowForms();

// The display cells of one character code, looked up once per run so that a row is
// built by copying two bytes per character.
class CodeCells {
 public:
  void load(int code);
  const char* primary(uint8_t byte) const { return &primary_[2 * byte]; }
  const char* alternate(uint8_t byte) const { return &alternate_[2 * byte]; }
  friend bool operator==(const CodeCells&, const CodeCells&) = default;

 private:
  char primary_[512] = {};
  char alternate_[512] = {};
};

// Writes the two characters of a data cell (status in bits 0-4, byte in bits 8-15).
void putDataCell(char* out, uint16_t cell, const StatusForms& forms, const CodeCells& code);

// Every data cell resolved in advance for both rows of a direction, the hex cell and the
// character cell side by side, indexed by the whole 16-bit cell (the bits between status
// and byte are ignored), so that a busy listing turns a data cell into the four
// characters of its two rows with one lookup.
class CellTable {
 public:
  void build(const StatusForms& hexForms, const StatusForms& charForms, const CodeCells& code);
  const char* hex(uint16_t cell) const { return &cells_[4 * size_t{cell}]; }
  const char* chars(uint16_t cell) const { return &cells_[4 * size_t{cell} + 2]; }
  // The whole table: the four characters of cell c start at pairs() + 4 * c.
  const char* pairs() const { return cells_.get(); }
  // True when no cell holds a NUL, newline or form feed, the characters the report
  // writer does not copy as they are.
  bool plain() const { return plain_; }

 private:
  static constexpr size_t kCells = 1 << 16;
  std::unique_ptr<char[]> cells_;
  bool plain_ = false;
  // What the table was built from: runs that ask for the same table again keep it.
  StatusForms builtHex_{};
  StatusForms builtChar_{};
  CodeCells builtCode_;
};

// Writes the two characters a stored control word shows in its column: the display
// kind is its low five bits (idle 0-3, clock stamp 4-7, counter stamp 8-11, kind 17,
// marker 19). labelMode 0 shows the labels ("[ IDLE ]", "[ TMSP ]", "OE"/"LD"),
// 1 the values ("[ 0012 ]", "[123456]", "||"), 2 and more blanks ("||" for markers).
void putControlCell(char* out, uint32_t word, int labelMode);

// Record kinds below this one (idle counts and time stamps) fill four columns.
constexpr unsigned kFourColumnKinds = 12;
// The label modes of putControlCell.
enum ControlTextMode : uint8_t { kLabels, kValues, kBlanks };
// Writes the eight characters a control record shows under a label mode at each of
// `places[i]` with `modes[i]`: column c of a four-column record is characters 2c and
// 2c + 1, a one-column record fills the first two and blanks the rest. `word` is the
// record as the capture holds it (column 0).
void putControlTexts(uint32_t word, char* const* places, const uint8_t* modes, int count);
// Writes the eight characters of a four-column record's values at out: "[ 0012 ]" or
// "[ OVER ]" for an idle count, "[dddddd]" for a time stamp (the three fields of a clock
// stamp, two digits each, or the six digits of a counter stamp's count).
void putFourColumnValues(char* out, uint32_t word);

// Idle counts and time stamps fill four columns: a listing stores the record word plus
// the cursor's column, so that the stored word's low five bits name the column shown.
constexpr bool isIdleOrStamp(uint32_t word) {
  if (isDataWord(word)) return false;
  const unsigned kind = recordKind(word);
  return kind == KindIdle || kind == KindClockStamp || kind == KindCounterStamp;
}
// Whether the options keep an idle count or time stamp (false for any other word).
constexpr bool listsIdleOrStamp(uint32_t word, const ConvertOptions& options) {
  if (!isIdleOrStamp(word)) return false;
  if (recordKind(word) == KindIdle) return options.skipIdle == 0;
  return options.skipTimeStamp == 0;
}
// Markers of sub-kind 0 ("OE") and 1 ("LD") are listed; other sub-kinds are not.
constexpr bool isListedMarker(uint32_t word) {
  return !isDataWord(word) && recordKind(word) == KindMarker && markerSubKind(word) <= 1;
}

// How one row of a block is laid out.
struct RowLayout {
  const char* prefix = nullptr;  // 3 characters, or nullptr when the guide is skipped
  int labelMode = 0;             // see putControlCell
  bool rdHalf = false;           // data words show their RD cell, else their SD cell
  const StatusForms* forms = nullptr;
  const CodeCells* code = nullptr;
};

// Formats one row of the block into text (at least kRowTextSize bytes), removes the
// trailing blanks, terminates it and returns its length.
int formatBlockRow(char* text, const RecordBlock& block, const RowLayout& layout);

}  // namespace qv
