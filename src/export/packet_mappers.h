#pragma once
// One mapper per family of captures: turns an assembled frame into the bytes of its
// pcapng packets under the family's link type.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_file.h"
#include "frames/frame.h"

namespace qv {

namespace linktype {
constexpr uint16_t kLinuxIrda = 144;
constexpr uint16_t kLapd = 203;
constexpr uint16_t kPppWithDir = 204;
constexpr uint16_t kI2cLinux = 209;
constexpr uint16_t kUpperPdu = 252;
constexpr uint16_t kSdlc = 268;
}  // namespace linktype

struct MappedPacket {
  std::vector<uint8_t> bytes;   // the link-type header, then the frame's stored bytes
  uint32_t originalLength = 0;  // the header plus the frame's length before any cut
  std::string comment;          // empty: none
  bool directional = true;      // false: no direction in the flags (the I2C bus has none)
};

class PacketMapper {
 public:
  virtual ~PacketMapper() = default;
  virtual uint16_t linkType() const = 0;
  // Fills the first packets of the list (their storage reused; the list grows when
  // needed) and returns how many the frame gives.
  virtual int map(const Frame& frame, std::vector<MappedPacket>& packets) = 0;
};

// The mapper for the capture's protocol and frame protocol; nullptr when the capture
// holds no frames. payload: the dissector named for SPI and ASYNC frames ("data" when
// empty).
std::unique_ptr<PacketMapper> makePacketMapper(const CaptureFile& capture,
                                               const std::string& payload);

// The frame's stored bytes, and its length in bytes before the cut.
void appendFrameBytes(const Frame& frame, std::vector<uint8_t>& out);
uint32_t frameOriginalLength(const Frame& frame);

// Exported-PDU tags: text values padded with zeros inside their stated length.
void appendPduTag(std::vector<uint8_t>& out, uint16_t tag, const std::string& text);
void appendPduDirection(std::vector<uint8_t>& out, bool received);
void appendPduEnd(std::vector<uint8_t>& out);

}  // namespace qv
