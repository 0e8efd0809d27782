#pragma once
// Record-by-record listing in the Normal and Line state print formats.
#include <algorithm>

#include "convert/converter.h"
#include "listing/listing_cells.h"

namespace qv {

class NormalListingConverter : public Converter {
 public:
  using Converter::Converter;
  int run(int32_t limit) override;

 private:
  Flow writeGuide();
  int rowsPerBlock() const;
  void planRows(int rows);
  // Fills the block from the cursor, with the cells of its rows; an empty block means the
  // listing is finished.
  template <bool kKeepsRecords>
  void collectBlock();
  bool collectsControl(uint32_t word) const;
  template <bool kKeepsRecords>
  int collectDataWords(RecordCursor& at, size_t& runLeft, int count);
  void putDataCells(char* cells, uint32_t word, const char* pairs);
  struct ControlTexts;
  template <bool kKeepsRecords>
  void putControlColumns(int index, uint32_t word, const ControlTexts& texts, unsigned column,
                         int columns, uint16_t lineState);
  Flow writeBlock(int rows);
  Flow writeBlockByLine(int rows);
  Flow writeRow(const char* text);
  template <typename Emit>
  bool forEachRow(int rows, Emit emit) const;
  // Each writes one row of the current block into text, trailing blanks removed and a
  // terminator after them, and returns its length. text needs kRowTextSize bytes.
  int formatDataRow(char* text, int row) const;
  int formatLineStateRow(char* text, int line) const;

  // The four rows a block can show, by row selector: bit 0 the character row (else the
  // hex row), bit 1 the RD cell (else the SD cell).
  enum CellRow { kSdHex, kSdChars, kRdHex, kRdChars, kCellRows };
  struct RowPlan {
    int selector = kSdHex;
    char prefix[4] = {};       // the prefix and one spare character, stored at once
    uint8_t prefixLength = 0;  // 3, or 0 when the guide is skipped
    uint8_t bareLength = 0;    // the prefix's length in a row that shows no cell
  };
  // Writes a data row's prefix and cells at out, trailing blanks removed, and returns its
  // end; up to kRowTextSize - 1 bytes past out may be written.
  char* putDataRow(char* out, const RowPlan& plan) const;
  // The rows of one block: four data rows, two blank lines and twelve line rows at most.
  static constexpr size_t kBlockTextSize = 18 * kRowTextSize;

  RecordBlock block_;
  CodeCells code_;
  CellTable cells_;
  bool plainCells_ = false;
  uint32_t dataStatusMask_ = 0;
  // The words left in the straight run of the ring that starts at the cursor.
  size_t runLeft_ = 0;
  int linesPerBlock_ = 0;
  // Blocks still to be written whole before the page checkpoint must be looked at again.
  int64_t fastBlocksLeft_ = 0;
  RowPlan rowPlan_[kCellRows];
  // The control text (ControlTextMode) each cell row shows.
  uint8_t textModeOf_[kCellRows] = {kBlanks, kBlanks, kBlanks, kBlanks};
  // The eight characters a control record shows in each cell row, worked out for the run
  // by key; a four-column record's values row is filled in record by record.
  struct ControlTexts {
    uint64_t rows[kCellRows];
    int8_t valuesRow;  // -1 when no row shows the record's values
    // A record is listed when listed is set and it has none of these bits (a marker's
    // sub-kind above 1).
    bool listed;
    uint32_t clearWhenListed;
  };
  // A record's kind and, for a marker, the low bit of its sub-kind (only sub-kinds 0 and 1
  // are listed).
  static constexpr size_t kControlTextKeys = 64;
  static constexpr size_t controlTextKey(uint32_t word) {
    return recordKind(word) | (word >> 8 & 1) << 5;
  }
  ControlTexts controlTexts_[kControlTextKeys] = {};
  void buildControlTexts();
  // The cells of the four rows, one row after the other, each with room for eight
  // characters more than a block's cells, and the first row with eight characters before
  // it: a control record's text goes in whole, from before the block's first cell (a
  // record the last block could not finish) or past its last one.
  static constexpr size_t kCellRowPadding = 8;
  static constexpr size_t kCellRowStride = 2 * kMaxBlockRecords + kCellRowPadding;
  // A row's cells are copied in pieces of 32 characters: this many may be read from its
  // start.
  static constexpr size_t kCellRowCopy = (2 * kMaxBlockRecords + 31) / 32 * 32;
  char cellRows_[kCellRowPadding + (kCellRows - 1) * kCellRowStride +
                 std::max(kCellRowStride, kCellRowCopy)] = {};
  char* cellRow(int row) {
    return &cellRows_[kCellRowPadding + static_cast<size_t>(row) * kCellRowStride];
  }
  const char* cellRow(int row) const {
    return &cellRows_[kCellRowPadding + static_cast<size_t>(row) * kCellRowStride];
  }
  char rowText_[kRowTextSize] = {};
};

}  // namespace qv
