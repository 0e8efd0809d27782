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

}  // namespace qv
