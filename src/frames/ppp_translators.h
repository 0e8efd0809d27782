#pragma once
// PPP translation and PPP frame dump.
#include "frames/translator.h"

namespace qv {

class PppTranslator : public FrameTranslator {};
class PppDumpTranslator : public FrameTranslator {};

}  // namespace qv
