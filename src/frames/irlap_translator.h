#pragma once
// IrLAP frame translator.
#include "frames/translator.h"

namespace qv {

class IrlapTranslator : public FrameTranslator {};

}  // namespace qv
