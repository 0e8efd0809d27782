#pragma once
// Record-by-record listing in the Normal and Line state print formats.
#include "convert/converter.h"
#include "listing/listing_cells.h"

namespace qv {

class NormalListingConverter : public Converter {
 public:
  using Converter::Converter;
  int run(int32_t limit) override;

  // The steps of a run; they work on the cursor, options and tables a run has set up.
  // Fills the block from the cursor, and the data cells of its rows; an empty block
  // means the listing is finished.
  void collectBlock();
  // Adds the cells of the block's control records; formatDataRow reads the rows.
  void formatControlCells();
  // Each writes one row of the current block into text (kRowTextSize bytes), trailing
  // blanks removed, and returns its length.
  int formatDataRow(char* text, int row) const;
  int formatLineStateRow(char* text, int line) const;

 private:
  Flow writeGuide();
  int rowsPerBlock() const;
  Flow writeRow(const char* text);
  Flow writeBlock(int rows);
  int formatBlock(int rows);
  Flow writeBlockByLine(int rows);
  template <typename Emit>
  bool forEachRow(int rows, Emit emit) const;
  bool collects(uint32_t word, unsigned column, uint32_t& stored) const;
  void planRows(int rows);
  void putDataCells(int index, uint32_t word);

  // The four rows a block can show, by row selector: bit 0 the character row (else the
  // hex row), bit 1 the RD cell (else the SD cell).
  enum CellRow { kSdHex, kSdChars, kRdHex, kRdChars, kCellRows };
  static constexpr int8_t kUnusedRow = -1;
  struct RowPlan {
    const char* prefix = nullptr;  // 3 characters, or nullptr when the guide is skipped
    int selector = kSdHex;
  };

  RecordBlock block_;
  CodeCells code_;
  CellTable cells_;
  bool plainCells_ = false;
  uint32_t dataStatusMask_ = 0;
  RowPlan rowPlan_[kCellRows];
  // The label mode (see putControlCell) of the block row showing each cell row, or
  // kUnusedRow.
  int8_t labelModeOf_[kCellRows] = {kUnusedRow, kUnusedRow, kUnusedRow, kUnusedRow};
  char rowCells_[kCellRows][2 * kMaxBlockRecords] = {};
  // Where the block's control records are, for formatControlCells.
  int8_t controlRecords_[kMaxBlockRecords] = {};
  int controlCount_ = 0;
  char rowText_[kRowTextSize] = {};
  // The rows of one block: four data rows, two blank lines and twelve line rows at most.
  char blockText_[18 * kRowTextSize] = {};
  size_t blockLength_ = 0;
};

}  // namespace qv
