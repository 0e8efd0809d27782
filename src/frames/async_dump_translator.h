#pragma once
// ASYNC frame dump: the frame's characters through the capture's code table.
#include "frames/translator.h"

namespace qv {

class AsyncDumpTranslator : public FrameTranslator {};

}  // namespace qv
