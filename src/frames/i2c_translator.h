#pragma once
// I2C transaction translator.
#include "frames/translator.h"

namespace qv {

class I2cTranslator : public FrameTranslator {};

}  // namespace qv
