#pragma once
// IrLAP frame translator.
#include "frames/hdlc_translators.h"

namespace qv {

// One line per IrDA link frame: address, frame type (named by the frame's C/R bit, not
// its direction), N(R), P/F, N(S), check mark and the information field in hex.
class IrlapTranslator : public LinkFrameTranslator {
 public:
  // header points to an HdlcHeader; always modulo 8.
  void parseHeader(void* header, const Frame& frame) override;
  // isCommand is the frame's C/R bit: 1 takes the command name, 0 the response name.
  const char* frameTypeName(bool isCommand, int frameClass, int typeIndex) override;
  const char* shortTag() override;
  const char* title() override;
  void writeColumnHead() override;
  int translate(const Frame& frame) override;

  static void decode(HdlcHeader& header, const Frame& frame);
};

}  // namespace qv
