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
  // Fills the block from the cursor; an empty block means the listing is finished.
  void collectBlock();
  // Each writes one row of the current block into text (kRowTextSize bytes), trailing
  // blanks removed, and returns its length.
  int formatDataRow(char* text, int row) const;
  int formatLineStateRow(char* text, int line) const;

 private:
  Flow writeGuide();
  int rowsPerBlock() const;
  bool writeRow(const char* text);
  bool writeBlock(int rows);
  bool collects(uint32_t word, uint32_t& stored) const;

  RecordBlock block_;
  CodeCells code_;
  CellTable hexCells_;
  CellTable charCells_;
  char rowText_[kRowTextSize] = {};
};

}  // namespace qv
