#include "export/packet_mappers.h"

#include <algorithm>
#include <cstdio>

namespace qv {

namespace {

namespace linktype {
constexpr uint16_t kLinuxIrda = 144;
constexpr uint16_t kLapd = 203;
constexpr uint16_t kPppWithDir = 204;
constexpr uint16_t kI2cLinux = 209;
constexpr uint16_t kUpperPdu = 252;
constexpr uint16_t kSdlc = 268;
}  // namespace linktype

constexpr uint16_t kTagDissectorName = 12;
constexpr uint16_t kTagColumnProtocol = 33;
constexpr uint16_t kTagDirection = 35;
constexpr uint16_t kLinuxIrdaProtocol = 0x0017;
constexpr uint32_t kLinuxPacketOutgoing = 4;
constexpr int kParityMp = 5;

void appendBe16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void appendBe32(std::vector<uint8_t>& out, uint32_t value) {
  appendBe16(out, static_cast<uint16_t>(value >> 16));
  appendBe16(out, static_cast<uint16_t>(value));
}

// The frame's length in bytes before the cut.
uint32_t frameOriginalLength(const Frame& frame) {
  const int64_t length = static_cast<int64_t>(frame.count) + frame.overflow;
  return length > 0 ? static_cast<uint32_t>(length) : 0;
}

// A cut frame's check sequence lies beyond what was stored: every stored cell is data.
void appendFrameBytes(const Frame& frame, std::vector<uint8_t>& out) {
  const int32_t count = static_cast<int32_t>(
      std::min<int64_t>(frameOriginalLength(frame), std::max(frame.stored, 0)));
  const size_t from = out.size();
  out.resize(from + static_cast<size_t>(std::max(count, 0)));
  uint8_t* bytes = out.data() + from;
  const int32_t first = std::min(count, kFrameCells);
  for (int32_t i = 0; i < first; ++i) bytes[i] = cellByte(frame.cells[i]);
  for (int32_t i = first; i < count; ++i)
    bytes[i] = cellByte(frame.moreCells[static_cast<size_t>(i - kFrameCells)]);
}

// Exported-PDU tags: text values padded with zeros inside their stated length.
void appendPduTag(std::vector<uint8_t>& out, uint16_t tag, const std::string& text) {
  const size_t padded = (text.size() + 3) / 4 * 4;
  appendBe16(out, tag);
  appendBe16(out, static_cast<uint16_t>(padded));
  out.insert(out.end(), text.begin(), text.end());
  out.insert(out.end(), padded - text.size(), 0);
}

void appendPduDirection(std::vector<uint8_t>& out, bool received) {
  appendBe16(out, kTagDirection);
  appendBe16(out, 4);
  appendBe32(out, received ? 1 : 0);
}

void appendPduEnd(std::vector<uint8_t>& out) {
  appendBe16(out, 0);
  appendBe16(out, 0);
}

bool isReceived(const Frame& frame) { return frame.direction == DirectionRd; }

MappedPacket& firstPacket(std::vector<MappedPacket>& packets) {
  if (packets.empty()) packets.emplace_back();
  MappedPacket& packet = packets[0];
  packet.bytes.clear();
  packet.comment.clear();
  packet.directional = true;
  return packet;
}

// The header that header(bytes) appends, then the whole frame.
template <typename Header>
MappedPacket& withHeader(const Frame& frame, std::vector<MappedPacket>& packets, Header header) {
  MappedPacket& packet = firstPacket(packets);
  header(packet.bytes);
  const uint32_t headerLength = static_cast<uint32_t>(packet.bytes.size());
  appendFrameBytes(frame, packet.bytes);
  packet.originalLength = headerLength + frameOriginalLength(frame);
  return packet;
}

class PlainMapper : public PacketMapper {
 public:
  explicit PlainMapper(uint16_t linkType) : linkType_(linkType) {}
  uint16_t linkType() const override { return linkType_; }
  int map(const Frame& frame, std::vector<MappedPacket>& packets) override {
    withHeader(frame, packets, [](std::vector<uint8_t>&) {});
    return 1;
  }

 private:
  uint16_t linkType_;
};

class PppMapper : public PacketMapper {
 public:
  uint16_t linkType() const override { return linktype::kPppWithDir; }
  int map(const Frame& frame, std::vector<MappedPacket>& packets) override {
    withHeader(frame, packets,
               [&](std::vector<uint8_t>& out) { out.push_back(isReceived(frame) ? 0 : 1); });
    return 1;
  }
};

class IrdaMapper : public PacketMapper {
 public:
  uint16_t linkType() const override { return linktype::kLinuxIrda; }
  int map(const Frame& frame, std::vector<MappedPacket>& packets) override {
    withHeader(frame, packets, [&](std::vector<uint8_t>& out) {
      appendBe16(out, isReceived(frame) ? 0 : kLinuxPacketOutgoing);
      appendBe16(out, 0);           // ARPHRD type
      appendBe16(out, 0);           // link-layer address length
      out.insert(out.end(), 8, 0);  // link-layer address
      appendBe16(out, kLinuxIrdaProtocol);
    });
    return 1;
  }
};

// Which error flags (bits 0-1 of a character's status) mark a character error: none
// for SPI, whose flags mark frame openings; for ASYNC flags 2 and 3, and flag 1 unless
// it carries the multiprocessor bit (parity MP).
enum class CharacterErrors : uint8_t { None, AllFlags, Flags2And3 };

// Frames handed by name to a dissector, with their direction.
class UpperPduMapper : public PacketMapper {
 public:
  UpperPduMapper(std::string dissector, std::string column,
                 CharacterErrors errors = CharacterErrors::None)
      : dissector_(std::move(dissector)), column_(std::move(column)), errors_(errors) {}
  uint16_t linkType() const override { return linktype::kUpperPdu; }
  int map(const Frame& frame, std::vector<MappedPacket>& packets) override {
    MappedPacket& packet = withHeader(frame, packets, [&](std::vector<uint8_t>& out) {
      appendPduTag(out, kTagDissectorName, dissector_);
      if (!column_.empty()) appendPduTag(out, kTagColumnProtocol, column_);
      appendPduDirection(out, isReceived(frame));
      appendPduEnd(out);
    });
    if (errors_ != CharacterErrors::None) describeCharacterErrors(frame, packet.comment);
    return 1;
  }

 private:
  // Characters whose cell carries error flags (status 9-11, 13-15), by position.
  void describeCharacterErrors(const Frame& frame, std::string& comment) const {
    constexpr int kListed = 16;
    int errors = 0;
    for (int32_t i = 0; i < frame.count; ++i) {
      const unsigned status = cellStatus(cellAt(frame, i));
      const unsigned flags = status & 3;
      if (status < 8 || flags == 0 || (flags == 1 && errors_ == CharacterErrors::Flags2And3))
        continue;
      if (++errors > kListed) continue;
      char text[40];
      std::snprintf(text, sizeof text, "%sbyte %d (err%u)", errors == 1 ? "" : ", ", i + 1, flags);
      comment += text;
    }
    if (errors == 0) return;
    if (errors > kListed) comment += ", ...";
    comment = "Character errors: " + comment;
  }

  std::string dissector_;
  std::string column_;
  CharacterErrors errors_;
};

// X.25 modulo 128. The LAPB dissector reads modulo 8 only, so I frames go to the X.25
// dissector after their address and two control bytes, U frames to LAPB (their control
// is one byte either way) and S frames to the data dissector.
class X25Mod128Mapper : public PacketMapper {
 public:
  uint16_t linkType() const override { return linktype::kUpperPdu; }
  int map(const Frame& frame, std::vector<MappedPacket>& packets) override {
    MappedPacket& packet = firstPacket(packets);
    std::vector<uint8_t>& bytes = frameBytes_;
    bytes.clear();
    appendFrameBytes(frame, bytes);
    const uint32_t original = frameOriginalLength(frame);
    const char* dissector = "data";
    size_t skipped = 0;
    char comment[64] = "";
    if (bytes.size() >= 2) {
      const uint8_t control = bytes[1];
      if ((control & 0x03) == 0x03) {
        dissector = "lapb";
        std::snprintf(comment, sizeof comment, "Address %02X, control %02X", bytes[0], control);
      } else if (bytes.size() >= 3) {
        std::snprintf(comment, sizeof comment, "Address %02X, control %02X%02X", bytes[0], control,
                      bytes[2]);
        if ((control & 0x01) == 0) {
          dissector = "x.25_dir";
          skipped = 3;
        }
      }
    }
    appendPduTag(packet.bytes, kTagDissectorName, dissector);
    appendPduDirection(packet.bytes, isReceived(frame));
    appendPduEnd(packet.bytes);
    const uint32_t headerLength = static_cast<uint32_t>(packet.bytes.size());
    packet.bytes.insert(packet.bytes.end(), bytes.begin() + static_cast<ptrdiff_t>(skipped),
                        bytes.end());
    packet.originalLength =
        headerLength + static_cast<uint32_t>(original > skipped ? original - skipped : 0);
    packet.comment = comment;
    return 1;
  }

 private:
  std::vector<uint8_t> frameBytes_;  // reused from frame to frame
};

// ---- I2C ----

constexpr bool isTenBitPrefix(uint8_t b) { return b >= 0xF0 && b <= 0xF7; }
constexpr char ackChar(uint16_t cell) { return (cell & 1) ? 'n' : 'a'; }
// Inside an I2C frame an opening cell marks a repeated start between bus bytes.
constexpr bool isRepeatedStart(uint16_t cell) { return cellStatus(cell) == StatusOpeningFlag; }

// One message: the cells between two repeated starts (or the frame's ends).
struct I2cSegment {
  int32_t begin;
  int32_t end;
};

// A 10-bit write prefix and its second address byte alone, followed by a read prefix of
// the same address: the combined format of a 10-bit read, one message on the bus.
bool isTenBitReadSetup(const Frame& frame, const I2cSegment& write, const I2cSegment& read) {
  if (write.end - write.begin != 2 || read.end <= read.begin) return false;
  const uint8_t prefix = cellByte(cellAt(frame, write.begin));
  const uint8_t readPrefix = cellByte(cellAt(frame, read.begin));
  return isTenBitPrefix(prefix) && (prefix & 1) == 0 && (readPrefix & 1) == 1 &&
         ((prefix ^ readPrefix) & 0xFE) == 0;
}

class I2cMapper : public PacketMapper {
 public:
  uint16_t linkType() const override { return linktype::kI2cLinux; }

  int map(const Frame& frame, std::vector<MappedPacket>& packets) override {
    ++transaction_;
    segments_.clear();
    int32_t begin = 0;
    const int32_t count = frame.count > 0 ? frame.count : 0;
    for (int32_t i = 0; i <= count; ++i) {
      if (i < count && !isRepeatedStart(cellAt(frame, i))) continue;
      if (i > begin) segments_.push_back(I2cSegment{begin, i});
      begin = i + 1;
    }
    // Cells past the capacity are not stored: the last message carries the cut.
    int made = 0;
    for (size_t s = 0; s < segments_.size(); ++s) {
      const I2cSegment* setup = nullptr;
      if (s + 1 < segments_.size() && isTenBitReadSetup(frame, segments_[s], segments_[s + 1]))
        setup = &segments_[s++];
      const bool last = s + 1 == segments_.size();
      const uint32_t lost = last && frame.overflow > 0 ? static_cast<uint32_t>(frame.overflow) : 0;
      if (packets.size() <= static_cast<size_t>(made)) packets.emplace_back();
      message(frame, setup, segments_[s], lost, packets[static_cast<size_t>(made++)]);
    }
    return made;
  }

 private:
  void message(const Frame& frame, const I2cSegment* setup, const I2cSegment& segment,
               uint32_t lost, MappedPacket& packet) {
    packet.bytes.clear();
    packet.directional = false;
    const uint16_t addressCell = cellAt(frame, segment.begin);
    const uint8_t address = cellByte(addressCell);
    const bool read = (address & 1) != 0 && address > 0x0F && address < 0xF8;
    packet.bytes.push_back(0);  // bus / event
    appendBe32(packet.bytes, read ? 1 : 0);
    packet.bytes.push_back(address);
    std::string acks(1, ackChar(addressCell));
    int tenBitAddress = -1;
    int32_t data = segment.begin + 1;
    if (setup != nullptr) {
      const uint16_t second = cellAt(frame, setup->begin + 1);
      tenBitAddress = ((address >> 1) & 0x03) << 8 | cellByte(second);
      packet.bytes.push_back(cellByte(second));
      acks += ackChar(second);
    } else if (isTenBitPrefix(address) && (address & 1) == 0 && segment.end - segment.begin >= 2) {
      tenBitAddress = ((address >> 1) & 0x03) << 8 | cellByte(cellAt(frame, data));
    }
    for (int32_t i = data; i < segment.end; ++i) {
      packet.bytes.push_back(cellByte(cellAt(frame, i)));
      acks += ackChar(cellAt(frame, i));
    }
    packet.originalLength = static_cast<uint32_t>(packet.bytes.size()) + lost;
    char text[64];
    std::snprintf(text, sizeof text, "Transaction %u", transaction_);
    packet.comment = text;
    if (tenBitAddress >= 0) {
      std::snprintf(text, sizeof text, ", 10-bit address %03X", tenBitAddress);
      packet.comment += text;
    }
    packet.comment += ", acknowledge: " + acks;
  }

  uint32_t transaction_ = 0;
  std::vector<I2cSegment> segments_;
};

}  // namespace

std::unique_ptr<PacketMapper> makePacketMapper(const CaptureFile& capture,
                                               const std::string& payloadName) {
  const std::string payload = payloadName.empty() ? "data" : payloadName;
  switch (capture.protocol()) {
    case ProtocolHdlc:
    case ProtocolHdlcFiltered:
      switch (capture.conditions().frameProtocol()) {
        case 2: return std::make_unique<UpperPduMapper>("lapb", "");
        case 3: return std::make_unique<X25Mod128Mapper>();
        case 4: return std::make_unique<PlainMapper>(linktype::kLapd);
        default:  // SDLC and its modulo-128 variant; unknown values read as SDLC
          return std::make_unique<PlainMapper>(linktype::kSdlc);
      }
    case ProtocolPpp: return std::make_unique<PppMapper>();
    case ProtocolIrda: return std::make_unique<IrdaMapper>();
    case ProtocolI2c: return std::make_unique<I2cMapper>();
    case ProtocolSpi: return std::make_unique<UpperPduMapper>(payload, "SPI");
    case ProtocolAsync:
      if (capture.stampFlag1() == 0 && capture.stampFlag2() == 0) return nullptr;
      return std::make_unique<UpperPduMapper>(payload, "ASYNC",
                                              capture.conditions().parity() == kParityMp
                                                  ? CharacterErrors::Flags2And3
                                                  : CharacterErrors::AllFlags);
    default: return nullptr;
  }
}

}  // namespace qv
