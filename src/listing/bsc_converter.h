#pragma once
// BSC translation of ASYNC and SYNC traffic: the BSC control characters and sequences of
// each direction, one column per symbol and one dash per run of text, with idle counts,
// time stamps and markers in the four-column form of the record listing.
#include "convert/converter.h"
#include "listing/bsc_recognizers.h"
#include "listing/listing_cells.h"

namespace qv {

class BscConverter : public Converter {
 public:
  BscConverter(PrintFile& printFile, const CaptureFile& capture, BscState& bsc)
      : Converter(printFile, capture), bsc(bsc) {}
  int run(int32_t limit) override;

 private:
  // Header top line, BSC title, conditions box and closing line.
  Flow writeGuide();
  void writeBody();
  // Fills the block with symbols and listed control records; an empty block means the
  // translation is finished.
  void collectBscBlock();
  void takeRecord(uint32_t word);
  // Moves queued symbols into the block until it is full; true when it is full.
  bool moveQueuedSymbols();
  int rowsPerBlock() const;
  int formatBscRow(char* text, int row) const;

  BscState& bsc;
  RecordBlock block;
  CodeCells ebcdicCells;
};

}  // namespace qv
