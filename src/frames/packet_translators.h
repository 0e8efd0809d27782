#pragma once
// X.25 packet and LAPD (Q.931) message translators. Each decodes the information field
// of I frames on top of a frame translator (lowerTranslator), which decodes the address
// and control fields and names the other frame types.
#include <cstdint>

#include "frames/hdlc_translators.h"

namespace qv {

// Classes of an X.25 packet, as held in X25PacketHeader::packetClass.
enum X25PacketClass : int8_t {
  PacketClassAbsent = -1,
  PacketClassData = 0,
  PacketClassFlowControl = 1,  // RR, RNR, REJ
  PacketClassControl = 2,      // call set-up and clearing, interrupt, reset, restart, registration
  PacketClassOther = 3,        // diagnostic and the other types with bit 4 set
};

struct X25PacketHeader : HdlcHeader {
  int8_t gfi = -1;
  int8_t lcgn = -1;
  int16_t lcn = -1;
  int8_t packetClass = PacketClassAbsent;
  int8_t packetTypeIndex = 0;
  int8_t typeLength = 0;  // packet type bytes kept: 0, 1 or 2
  uint8_t type1 = 0;
  uint8_t type2 = 0;
  int8_t ps = -1;
  int8_t pr = -1;
  int8_t m = -1;
  int8_t q = -1;
  int8_t d = -1;
  int8_t dataStart = 0;  // index in Frame::cells of the first byte after the packet header
  int8_t dataCount = 0;
};

constexpr int kCallReferenceBytes = 15;

struct Q931Header : HdlcHeader {
  int16_t protocolDiscriminator = -1;
  int16_t messageType = -1;
  int16_t callReference[kCallReferenceBytes] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                -1, -1, -1, -1, -1, -1, -1};
  uint8_t callReferenceLength = 0;
  int8_t callReferenceFlag = -1;
  int8_t dataStart = 0;  // index in Frame::cells of the first byte after the message type
  int8_t dataCount = 0;
};

// X.25 packets (modulo 8 or 128 by the GFI), GN-CN layout.
class HdlcPacketTranslator : public FrameTranslator {
 public:
  // header points to an X25PacketHeader.
  void parseHeader(void* header, const Frame& frame) override;
  void writeColumnHead() override;
  int translate(const Frame& frame) override;
};

class X25PacketTranslator : public HdlcPacketTranslator {
 public:
  const char* frameTypeName(bool isSd, int packetClass, int packetTypeIndex) override;
  const char* shortTag() override;
  const char* title() override;
};

// Q.931 messages carried in LAPD I frames, PD-MESSAGE layout.
class LapdPacketTranslator : public FrameTranslator {
 public:
  // header points to a Q931Header.
  void parseHeader(void* header, const Frame& frame) override;
  // Named by message type; the direction does not matter.
  const char* frameTypeName(bool isSd, int frameClass, int messageType) override;
  const char* shortTag() override;
  const char* title() override;
  void writeColumnHead() override;
  int translate(const Frame& frame) override;
};

}  // namespace qv
