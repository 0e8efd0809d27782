#pragma once
// The frames of a generated capture as a link-layer packet capture holds them (byte
// stuffing undone, check sequence left off, direction kept), so that another analyzer
// can be timed on the same frames. Written as a classic pcap file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::bench {

// pcap link-layer header types of the frame families that have one.
enum LinkType : uint32_t {
  kLinkNone = 0,
  kLinkLinuxIrda = 144,   // 16-byte header with the direction, then the IrLAP frame
  kLinkUser0 = 147,       // a private link type: here the LAPB frame (see tsharkOptions)
  kLinkLapd = 203,        // the LAPD frame from its address field
  kLinkPppWithDir = 204,  // 1 direction byte (non-zero: sent), then the PPP frame
  kLinkSdlc = 268,        // the SDLC frame from its address field
};

// The options TShark needs to read a link type: the private one is mapped to its LAPB
// dissector (TShark reads no LAPB link type of its own from a pcap file).
std::vector<std::string> tsharkOptions(LinkType type);

class LinkFrames {
 public:
  explicit LinkFrames(LinkType type = kLinkNone) : type_(type) {}

  LinkType type() const { return type_; }
  void setType(LinkType type) { type_ = type; }
  uint64_t count() const { return count_; }

  // Keeps one frame (nothing when the family has no link type). SD frames count as sent
  // by the capturing host, RD frames as received.
  void add(bool rd, const uint8_t* data, size_t size);

  // A point to return to, for a generator that takes back a unit that did not fit.
  struct Mark {
    size_t bytes;
    uint64_t count;
  };
  Mark mark() const { return {records_.size(), count_}; }
  void rewind(Mark mark) {
    records_.resize(mark.bytes);
    count_ = mark.count;
  }

  // Writes the pcap file; false when it cannot be written or there is no link type.
  bool writePcap(const std::string& path) const;

 private:
  LinkType type_;
  // Per frame: the direction byte, the length (4 bytes, little-endian), the bytes.
  std::vector<uint8_t> records_;
  uint64_t count_ = 0;
};

}  // namespace qv::bench
