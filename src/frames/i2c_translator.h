#pragma once
// I2C transaction translator.
#include <cstdint>

#include "frames/translator.h"

namespace qv {

// Where the I2C line builder stands within one transaction.
enum class I2cState : uint8_t {
  expectAddress = 0,   // the next byte cell is an address byte
  tenBitFirst = 1,     // the first byte of a 10-bit write address is held
  tenBitHeld = 2,      // a complete 10-bit write address is held, a repeated start followed
  tenBitComplete = 3,  // both bytes of a 10-bit write address are held
  dataPhase = 4,       // data bytes follow
};

// One line per bus transaction: the time, then address items (7-bit "A0a=>", 10-bit
// "01a34a=>"), data items ("55n") and a two-blank separator at each repeated start.
class I2cTranslator : public WholeFrameTranslator {
 public:
  const char* shortTag() override;
  const char* title() override;
  void writeColumnHead() override;
  int translate(const Frame& frame) override;
};

}  // namespace qv
