#pragma once
// A small pcapng writer: one section header, interface descriptions and enhanced
// packet blocks, each with its options. Every field is stored little-endian byte by
// byte, as the capture is read. Blocks gather in a buffer that is handed to the
// output file in large pieces.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace qv {

namespace pcapng {
// Option codes.
constexpr uint16_t kOptComment = 1;
constexpr uint16_t kShbUserAppl = 4;
constexpr uint16_t kIfName = 2;
constexpr uint16_t kIfDescription = 3;
constexpr uint16_t kIfSpeed = 8;
constexpr uint16_t kIfTsResol = 9;
constexpr uint16_t kIfFcsLen = 13;
constexpr uint16_t kIfTsOffset = 14;
constexpr uint16_t kEpbFlags = 2;

// Enhanced packet flags.
constexpr uint32_t kInbound = 0x1;
constexpr uint32_t kOutbound = 0x2;
constexpr uint32_t kCrcError = 1u << 24;
}  // namespace pcapng

// The options of one block, built before the block itself.
class PcapngOptions {
 public:
  void clear() { bytes_.clear(); }
  void add(uint16_t code, const void* value, uint16_t length);
  void addText(uint16_t code, std::string_view text);
  void addU8(uint16_t code, uint8_t value) { add(code, &value, 1); }
  void addU32(uint16_t code, uint32_t value);
  void addU64(uint16_t code, uint64_t value);
  bool empty() const { return bytes_.empty(); }
  // The options; the block adds their end-of-options marker.
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

class PcapngWriter {
 public:
  explicit PcapngWriter(std::FILE* out) : out_(out) {}
  ~PcapngWriter() { flush(); }
  PcapngWriter(const PcapngWriter&) = delete;
  PcapngWriter& operator=(const PcapngWriter&) = delete;

  void sectionHeader(const PcapngOptions& options);
  void interfaceDescription(uint16_t linkType, uint32_t snaplen, const PcapngOptions& options);
  // data holds the captured bytes; originalLength is the packet's length before any cut.
  void enhancedPacket(uint32_t interfaceId, uint64_t timestamp, const uint8_t* data,
                      uint32_t capturedLength, uint32_t originalLength,
                      const PcapngOptions& options);
  // Hands the buffer to the file; false once any write has failed.
  bool flush();

 private:
  void beginBlock(uint32_t type);
  void endBlock(const PcapngOptions& options);
  void put16(uint16_t value);
  void put32(uint32_t value);
  void putPadded(const void* data, size_t length);

  std::FILE* out_;
  std::string buffer_;
  size_t blockStart_ = 0;
  bool failed_ = false;
};

}  // namespace qv
