#pragma once
// SPI frame dump.
#include "frames/translator.h"

namespace qv {

// One line per SPI frame: direction, time and the frame's bytes in hex; SPI has no
// check sequence, so there is no FC column.
class SpiDumpTranslator : public WholeFrameTranslator {
 public:
  const char* shortTag() override;
  const char* title() override;
  void writeColumnHead() override;
  int translate(const Frame& frame) override;
};

}  // namespace qv
