#pragma once
// SDLC, X.25 and LAPD frame-level translators.
#include "frames/translator.h"

namespace qv {

class HdlcFrameTranslator : public FrameTranslator {};
class SdlcFrameTranslator : public HdlcFrameTranslator {};
class X25FrameTranslator : public HdlcFrameTranslator {};
class LapdFrameTranslator : public HdlcFrameTranslator {};

}  // namespace qv
