// SPI frame dump.
#include "frames/spi_translator.h"

namespace qv {

const char* SpiDumpTranslator::shortTag() { return "-SPI- D "; }
const char* SpiDumpTranslator::title() { return "(SPI FRAME DUMP)"; }
void SpiDumpTranslator::writeColumnHead() { writeHead("-----TM---", "DATA"); }

int SpiDumpTranslator::translate(const Frame& frame) {
  BodyExtent extent;
  if (!beginFrameLine(frame, &extent)) return 1;
  writeDataBytes(*this, frame, extent.bodyStart, extent.bodyCount);
  finishLine();
  return 0;
}

}  // namespace qv
