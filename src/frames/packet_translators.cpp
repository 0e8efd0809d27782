#include "frames/packet_translators.h"

namespace qv {

namespace {

constexpr ValueName kFlowControlNames[] = {
    {0, "RR", "RR"},
    {1, "RNR", "RNR"},
    {2, "REJ", nullptr},
};

// Class 2 packets by type byte >> 2.
constexpr ValueName kControlPacketNames[] = {
    {2, "CR", "IC"},        // 0x0B call request / incoming call
    {3, "CA", "CC"},        // 0x0F call accepted / call connected
    {4, "CQ", "CI"},        // 0x13 clear request / clear indication
    {5, "CF", "CF"},        // 0x17 clear confirmation
    {6, "RQ", "RI"},        // 0x1B reset request / reset indication
    {7, "RF", "RF"},        // 0x1F reset confirmation
    {8, "IT", "IT"},        // 0x23 interrupt
    {9, "IF", "IF"},        // 0x27 interrupt confirmation
    {60, "REGQ", nullptr},  // 0xF3 registration request
    {61, nullptr, "REGF"},  // 0xF7 registration confirmation
    {62, "SQ", "SI"},       // 0xFB restart request / restart indication
    {63, "SF", "SF"},       // 0xFF restart confirmation
};

// Class 3 packets by type byte >> 2.
constexpr ValueName kOtherPacketNames[] = {
    {60, "DIAG", "DIAG"},  // 0xF1
};

// Q.931 message types, named the same in both directions.
// clang-format off
constexpr ValueName kMessageNames[] = {
    {0x00, "ESCAPE"},
    {0x01, "ALAERT"},
    {0x02, "CALL PROC"},
    {0x03, "PROG"},
    {0x05, "SETUP"},
    {0x07, "CONN"},
    {0x0D, "SETUP ACK"},
    {0x0F, "CONN ACK"},
    {0x20, "USER INFO"},
    {0x21, "SUSP REJ"},
    {0x22, "RES REJ"},
    {0x25, "SUSP"},
    {0x26, "RES"},
    {0x2D, "SUSP ACK"},
    {0x2E, "RES ACK"},
    {0x45, "DISC"},
    {0x46, "REST"},
    {0x4D, "REL"},
    {0x4E, "REST ACK"},
    {0x5A, "REL COMP"},
    {0x60, "SEGMENT"},
    {0x62, "FAC"},
    {0x6E, "NOTIFY"},
    {0x75, "STATUS EN"},
    {0x79, "CON CON"},
    {0x7B, "INFO"},
    {0x7D, "STATUS"},
};
// clang-format on

static_assert(ascendingValues(kFlowControlNames));
static_assert(ascendingValues(kControlPacketNames));
static_assert(ascendingValues(kOtherPacketNames));
static_assert(ascendingValues(kMessageNames));

constexpr char kGnCnHead[] = "-----TM---GN--CN-PTYPE--PS--PR-MQD-FC-";
constexpr char kPdMessageHead[] = "-----TM---PD--MESSAGE-CRF-CR---FC-";

// Hands out the bytes of an I frame's information field one at a time.
class InfoReader {
 public:
  InfoReader(const Frame& frame, const HdlcHeader& header)
      : frame_(frame), next_(header.infoStart), end_(header.infoStart + header.infoCount) {}

  bool take(uint8_t& byte) {
    if (next_ >= end_) return false;
    byte = frameByte(frame_, next_++);
    return true;
  }
  bool empty() const { return next_ >= end_; }
  int8_t position() const { return static_cast<int8_t>(next_); }
  int8_t remaining() const { return static_cast<int8_t>(end_ - next_); }

 private:
  const Frame& frame_;
  int next_;
  int end_;
};

// Lets the frame translator below decode the address and control fields; without one
// every link field stays absent.
void decodeLink(FrameTranslator* lower, HdlcHeader& header, const Frame& frame) {
  if (lower != nullptr) lower->parseHeader(&header, frame);
}

bool carriesInformation(const HdlcHeader& header) {
  return header.frameClass == FrameClassI && header.infoCount > 0;
}

template <typename Header>
void keepRest(Header& header, const InfoReader& reader) {
  if (reader.empty()) return;
  header.dataStart = reader.position();
  header.dataCount = reader.remaining();
}

// Modulo 128 data and flow-control packets carry their P(R) (and M) in a second type
// byte; false when the packet ends before it.
bool decodeSecondTypeByte(X25PacketHeader& packet, InfoReader& reader) {
  uint8_t type2 = 0;
  if (!reader.take(type2)) return false;
  packet.type2 = type2;
  packet.typeLength = 2;
  packet.pr = static_cast<int8_t>(type2 >> 1);
  if (packet.packetClass == PacketClassData) packet.m = type2 & 1;
  return true;
}

void decodeDataType(X25PacketHeader& packet, uint8_t type, bool mod128) {
  packet.packetClass = PacketClassData;
  packet.packetTypeIndex = 0;
  packet.q = (packet.gfi >> 3) & 1;
  packet.d = (packet.gfi >> 2) & 1;
  if (mod128) {
    packet.ps = static_cast<int8_t>(type >> 1);
    return;
  }
  packet.ps = (type >> 1) & 0x07;
  packet.m = (type >> 4) & 1;
  packet.pr = static_cast<int8_t>(type >> 5);
}

void decodeFlowControlType(X25PacketHeader& packet, uint8_t type, bool mod128) {
  packet.packetClass = PacketClassFlowControl;
  if (mod128) {
    packet.packetTypeIndex = static_cast<int8_t>(type >> 2);
    return;
  }
  packet.packetTypeIndex = (type >> 2) & 0x07;
  packet.pr = static_cast<int8_t>(type >> 5);
}

// The packet type and sequence fields from the type byte on; false when the packet
// ends inside its header.
bool decodePacketType(X25PacketHeader& packet, InfoReader& reader) {
  uint8_t type = 0;
  if (!reader.take(type)) return false;
  packet.type1 = type;
  packet.typeLength = 1;
  const bool mod128 = (packet.gfi & 0x03) == 2;
  if ((type & 0x01) == 0) {
    decodeDataType(packet, type, mod128);
  } else if ((type & 0x12) != 0) {
    // One type byte in either modulus, and no sequence numbers.
    packet.packetClass = (type & 0x02) != 0 ? PacketClassControl : PacketClassOther;
    packet.packetTypeIndex = static_cast<int8_t>(type >> 2);
    return true;
  } else {
    decodeFlowControlType(packet, type, mod128);
  }
  return !mod128 || decodeSecondTypeByte(packet, reader);
}

char* writePacketTypeColumn(char* position, FrameTranslator& namer, bool isSd,
                            const X25PacketHeader& packet) {
  if (packet.packetClass < 0) return fillChars(position, 6, ' ');
  const char* name = namer.frameTypeName(isSd, packet.packetClass, packet.packetTypeIndex);
  const bool twoBytes = packet.typeLength == 2;
  const uint32_t type =
      twoBytes ? static_cast<uint32_t>(packet.type1 << 8 | packet.type2) : packet.type1;
  return nameOrHexColumn(position, 6, name, type, twoBytes ? 4 : 2);
}

char* writeMessageColumn(char* position, FrameTranslator& namer, bool isSd,
                         const Q931Header& message) {
  if (message.messageType < 0) return fillChars(position, 10, ' ');
  const char* name = namer.frameTypeName(isSd, message.frameClass, message.messageType);
  return nameOrHexColumn(position, 10, name, static_cast<uint32_t>(message.messageType), 2);
}

// "[" + the frame type column of the link frame + "]", for frames that carry no packet.
char* writeBracketedFrameType(char* position, FrameTranslator* lower, bool isSd,
                              const HdlcHeader& header) {
  position = fillChars(position, 1, '[');
  if (lower != nullptr)
    position = writeFrameTypeColumn(position, *lower, isSd, header);
  else
    position = fillChars(position, 6, ' ');
  return fillChars(position, 1, ']');
}

// GN, CN, PTYPE, PS, PR and MQD of an I frame's packet (positions 10-33).
char* writePacketColumns(char* p, FrameTranslator& namer, bool isSd,
                         const X25PacketHeader& packet) {
  p = decimalOrBlanks(p, 2, packet.lcgn);
  p = fillChars(p, 1, ' ');
  p = decimalOrBlanks(p, 3, packet.lcn);
  p = fillChars(p, 1, ' ');
  p = writePacketTypeColumn(p, namer, isSd, packet);
  p = decimalOrBlanks(p, 3, packet.ps);
  p = fillChars(p, 1, ' ');
  p = decimalOrBlanks(p, 3, packet.pr);
  p = fillChars(p, 1, ' ');
  p = digitOrBlank(p, packet.m);
  p = digitOrBlank(p, packet.q);
  return digitOrBlank(p, packet.d);
}

// PD, MESSAGE, CRF and the first two call reference bytes (positions 10-29).
char* writeMessageColumns(char* p, FrameTranslator& namer, bool isSd, const Q931Header& message) {
  p = hexOrBlanks(p, 2, message.protocolDiscriminator);
  p = fillChars(p, 1, ' ');
  p = writeMessageColumn(p, namer, isSd, message);
  p = digitOrBlank(p, message.callReferenceFlag);
  p = fillChars(p, 2, ' ');
  p = hexOrBlanks(p, 2, message.callReference[0]);
  return hexOrBlanks(p, 2, message.callReference[1]);
}

}  // namespace

// ---- X.25 packets ----

void HdlcPacketTranslator::parseHeader(void* header, const Frame& frame) {
  X25PacketHeader& packet = *static_cast<X25PacketHeader*>(header);
  packet = X25PacketHeader{};
  decodeLink(lowerTranslator, packet, frame);
  if (!carriesInformation(packet)) return;
  InfoReader reader(frame, packet);
  uint8_t byte = 0;
  if (!reader.take(byte)) return;
  packet.gfi = static_cast<int8_t>(byte >> 4);
  packet.lcgn = static_cast<int8_t>(byte & 0x0F);
  if (!reader.take(byte)) return;
  packet.lcn = byte;
  if (decodePacketType(packet, reader)) keepRest(packet, reader);
}

void HdlcPacketTranslator::writeColumnHead() { writeHead(kGnCnHead, "DATA"); }

int HdlcPacketTranslator::translate(const Frame& frame) {
  X25PacketHeader packet;
  if (!beginFrameLine(frame, &packet)) return 1;
  const bool isSd = frame.direction == DirectionSd;
  char* p = fillChars(writePos, 1, ' ');
  if (packet.frameClass == FrameClassI) {
    p = writePacketColumns(p, *this, isSd, packet);
  } else if (packet.frameClass >= 0) {
    p = fillChars(p, 1, ' ');
    p = writeBracketedFrameType(p, lowerTranslator, isSd, packet);
    p = fillChars(p, 15, ' ');
  } else {
    p = fillChars(p, 24, ' ');
  }
  writePos = fillChars(p, 1, ' ');
  writeEndMark(frame.endStatus);
  writeDataBytes(*this, frame, packet.dataStart, packet.dataCount);
  finishLine();
  return 0;
}

const char* X25PacketTranslator::frameTypeName(bool isSd, int packetClass, int packetTypeIndex) {
  switch (packetClass) {
    case PacketClassData: return "DT";
    case PacketClassFlowControl: return directionalName(kFlowControlNames, packetTypeIndex, isSd);
    case PacketClassControl: return directionalName(kControlPacketNames, packetTypeIndex, isSd);
    case PacketClassOther: return directionalName(kOtherPacketNames, packetTypeIndex, isSd);
    default: return "";
  }
}

const char* X25PacketTranslator::shortTag() { return "P -X.25-"; }

const char* X25PacketTranslator::title() { return "(X.25 PACKET)"; }

// ---- Q.931 messages ----

void LapdPacketTranslator::parseHeader(void* header, const Frame& frame) {
  Q931Header& message = *static_cast<Q931Header*>(header);
  message = Q931Header{};
  decodeLink(lowerTranslator, message, frame);
  if (!carriesInformation(message)) return;
  InfoReader reader(frame, message);
  uint8_t byte = 0;
  if (!reader.take(byte)) return;
  message.protocolDiscriminator = byte;
  if (!reader.take(byte)) return;
  message.callReferenceLength = byte & 0x0F;
  for (int i = 0; i < message.callReferenceLength; ++i) {
    if (!reader.take(byte)) return;
    if (i == 0) {
      message.callReferenceFlag = static_cast<int8_t>(byte >> 7);
      byte &= 0x7F;
    }
    message.callReference[i] = byte;
  }
  if (!reader.take(byte)) return;
  message.messageType = byte;
  keepRest(message, reader);
}

const char* LapdPacketTranslator::frameTypeName(bool, int, int messageType) {
  if (messageType < 0) return "";
  if ((messageType & 0x80) != 0) return nullptr;  // the escape range has no names here
  return valueName(kMessageNames, messageType);
}

const char* LapdPacketTranslator::shortTag() { return "P -LAPD-"; }

const char* LapdPacketTranslator::title() { return "(LAPD PACKET)"; }

void LapdPacketTranslator::writeColumnHead() { writeHead(kPdMessageHead, "DATA"); }

int LapdPacketTranslator::translate(const Frame& frame) {
  Q931Header message;
  if (!beginFrameLine(frame, &message)) return 1;
  const bool isSd = frame.direction == DirectionSd;
  char* p = fillChars(writePos, 1, ' ');
  if (message.frameClass == FrameClassI) {
    p = writeMessageColumns(p, *this, isSd, message);
  } else if (message.frameClass >= 0) {
    p = writeBracketedFrameType(p, lowerTranslator, isSd, message);
    p = fillChars(p, 12, ' ');
  } else {
    p = fillChars(p, 20, ' ');
  }
  writePos = fillChars(p, 1, ' ');
  writeEndMark(frame.endStatus);
  writeDataBytes(*this, frame, message.dataStart, message.dataCount);
  finishLine();
  return 0;
}

}  // namespace qv
