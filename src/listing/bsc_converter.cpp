#include "listing/bsc_converter.h"

#include "report/code_tables.h"
#include "report/header.h"
#include "report/print_file.h"

namespace qv {

namespace {

constexpr char kBscTitleLine[] = "* MONITOR DATA (BSC TRANSLATE)        *\n";

}  // namespace

int BscConverter::run(int32_t limit) {
  if (!beginRun(limit)) return 0;
  // Symbols are characters: the translation never shows hex rows.
  options.codeDisplay = ShowChar;
  if (options.skipGuide == 0 && writeGuide() == Flow::Stop) return finishRun();
  // A monitor chunk shorter than one word holds no record: reading one would run past
  // the chunk.
  if (captureFile->chunkStart() != captureFile->chunkEnd()) writeBody();
  return finishRun();
}

Flow BscConverter::writeGuide() {
  writeHeaderLine(printFile);
  printFile.putString(kBscTitleLine);
  writeConditionsBox();
  writeBoxEnd(printFile);
  return endLine();
}

void BscConverter::writeBody() {
  block.capacity = blockCapacityFor(options.printColumns);
  ebcdicCells.load(CodeEbcdic);
  bsc.resetBsc();
  const int rows = rowsPerBlock();
  char text[kRowTextSize];
  for (;;) {
    collectBscBlock();
    if (block.count == 0) return;
    for (int row = 0; row < rows; ++row) {
      formatBscRow(text, row);
      printFile.putString(text);
      if (endLine() == Flow::Stop) return;
    }
    if (options.skipGuide == 0 && endLine() == Flow::Stop) return;
  }
}

void BscConverter::collectBscBlock() {
  block.clear();
  // Symbols left over from the previous block come first; they never fill a block.
  if (moveQueuedSymbols() || runState != 0) return;
  for (;;) {
    takeRecord(CaptureFile::wordAt(cursor.position));
    const bool full = moveQueuedSymbols();
    if (!captureFile->advanceColumn(cursor)) {
      runState = 1;
      return;
    }
    if (full) return;
  }
}

void BscConverter::takeRecord(uint32_t word) {
  if (isDataWord(word)) {
    if (options.dataLine != DataLineRd) bsc.feedSd(sdCell(word));
    if (options.dataLine != DataLineSd) bsc.feedRd(rdCell(word));
  } else if (listsIdleOrStamp(word, options)) {
    block.add(word + cursor.column, cursor.lineState);
  } else if (isListedMarker(word)) {
    block.add(word, cursor.lineState);
    // A marker starts the recognition afresh in both directions.
    bsc.resetBsc();
  }
}

bool BscConverter::moveQueuedSymbols() {
  RecordWord symbol;
  while (!block.full() && bsc.takeSymbol(symbol)) block.add(symbol, cursor.lineState);
  return block.full();
}

int BscConverter::rowsPerBlock() const {
  return options.dataLine == DataLineSd || options.dataLine == DataLineRd ? 1 : 2;
}

int BscConverter::formatBscRow(char* text, int row) const {
  RowLayout layout;
  layout.forms = &bscRowForms();
  layout.code = &ebcdicCells;
  const bool rdRow = options.dataLine == DataLineRd || (options.dataLine != DataLineSd && row == 1);
  layout.rdHalf = rdRow;
  // A one-direction block shows the values of control records; a two-row block shows
  // their labels on the SD row and their values on the RD row.
  layout.labelMode = rowsPerBlock() == 1 ? 1 : row;
  if (options.skipGuide == 0) layout.prefix = rdRow ? "RD:" : "SD:";
  return formatBlockRow(text, block, layout);
}

}  // namespace qv
