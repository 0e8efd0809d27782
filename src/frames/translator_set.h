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

}  // namespace qv
