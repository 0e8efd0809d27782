#pragma once
// SPI frame dump.
#include "frames/translator.h"

namespace qv {

class SpiDumpTranslator : public FrameTranslator {};

}  // namespace qv
