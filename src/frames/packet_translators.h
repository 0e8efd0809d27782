#pragma once
// X.25 packet and LAPD (Q.931) message translators.
#include "frames/hdlc_translators.h"

namespace qv {

class HdlcPacketTranslator : public FrameTranslator {};
class X25PacketTranslator : public HdlcPacketTranslator {};
class LapdPacketTranslator : public HdlcPacketTranslator {};

}  // namespace qv
