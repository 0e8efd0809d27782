#pragma once
// ASYNC frame dump: the frame's characters through the capture's code table.
#include "frames/translator.h"

namespace qv {

class AsyncDumpTranslator : public WholeFrameTranslator {
 public:
  const char* shortTag() override { return "-DUMP-  "; }
  const char* title() override { return "(ASYNC FRAME DATA)"; }
  void writeColumnHead() override;
  int translate(const Frame& frame) override;

 private:
  void writeCell(uint16_t cell);
};

}  // namespace qv
