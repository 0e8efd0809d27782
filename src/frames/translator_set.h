#pragma once
// One object of every concrete translator class, shared by all runs.
#include "frames/async_dump_translator.h"
#include "frames/hdlc_translators.h"
#include "frames/i2c_translator.h"
#include "frames/irlap_translator.h"
#include "frames/packet_translators.h"
#include "frames/ppp_translators.h"
#include "frames/spi_translator.h"

namespace qv {

struct TranslatorSet {
  AsyncDumpTranslator asyncDump;
  SdlcFrameTranslator sdlcFrame;
  X25FrameTranslator x25Frame;
  LapdFrameTranslator lapdFrame;
  X25PacketTranslator x25Packet;
  LapdPacketTranslator lapdPacket;
  PppTranslator ppp;
  PppDumpTranslator pppDump;
  IrlapTranslator irlap;
  I2cTranslator i2c;
  SpiDumpTranslator spiDump;
};

// The frame-level translator for a frameProtocol (0-1 SDLC, 2-3 X.25, 4 LAPD), set to
// modulo 128 for protocols 1 and 3 and to modulo 8 for 0 and 2. Any other value is
// taken as 0, so that a capture with an unknown protocol is still reported.
FrameTranslator* chooseHdlcFrameTranslator(TranslatorSet& set, int frameProtocol);
// The packet translator for a packetProtocol (0 X.25, 1 LAPD; any other value as 0),
// wired to the frame translator of frameProtocol.
FrameTranslator* choosePacketTranslator(TranslatorSet& set, int packetProtocol, int frameProtocol);

}  // namespace qv
