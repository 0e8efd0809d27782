#include "frames/async_dump_translator.h"

#include "capture/capture_file.h"
#include "report/code_tables.h"

namespace qv {

void AsyncDumpTranslator::writeColumnHead() { writeHead("-----TM---", "DATA"); }

void AsyncDumpTranslator::writeCell(uint16_t cell) {
  const int code = captureFile != nullptr ? captureFile->code() : static_cast<int>(CodeHex);
  const uint8_t byte = cellByte(cell);
  if (code == CodeHex) {
    writePos = hexDigits(writePos, 2, byte) + 2;
    return;
  }
  const DisplayCell shown = displayCell(code, byte, usesAlternateTable(cellStatus(cell)));
  *writePos++ = shown[0];
  *writePos++ = shown[1];
}

int AsyncDumpTranslator::translate(const Frame& frame) {
  BodyExtent extent;
  if (!beginFrameLine(frame, &extent)) return 1;
  *writePos++ = ' ';
  int first = extent.bodyStart < 0 ? 0 : extent.bodyStart;
  int shown = extent.bodyCount < cellRoom() ? extent.bodyCount : cellRoom();
  if (first + shown > kFrameCells) shown = kFrameCells - first;
  for (int i = 0; i < shown; ++i) writeCell(frame.cells[first + i]);
  finishLine();
  return 0;
}

}  // namespace qv
