#pragma once
// Builds capture files: the magic, a DINF chunk written in the program's own block
// sizes (or raw blocks of any size), and MOND record words.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::build {

// Measurement conditions as the analyzer sets them.
struct Conditions {
  int measureMode = 0;
  int protocol = 0;
  uint8_t stampFlag1 = 0;
  uint8_t stampFlag2 = 0;
  uint8_t lineStateRecorded = 0;
  int32_t sendSpeed = 96000;
  int32_t receiveSpeed = 96000;
  int code = 0;
  int charBits = 3;
  int parity = 0;
  int stopBitsOrClock = 0;  // stop bits for ASYNC, clock for SYNC and HDLC
  int format = 0;
  int checkKind = 0;
  uint8_t sendAddressEnabled = 0;
  uint8_t sendAddress = 0;
  uint8_t receiveAddressEnabled = 0;
  uint8_t receiveAddress = 0;
  int frameProtocol = 0;
  int packetProtocol = 0;
  uint8_t filterMask[4] = {0, 0, 0, 0};  // SD first, SD second, RD first, RD second
  uint8_t filterPattern[4] = {0, 0, 0, 0};
};

// The DINF chunk data for the conditions, with the program's own block sizes (the line
// block sized for the protocol, the mode and final blocks for the measurement mode, the
// extension entries' blocks at their largest): 1216 bytes laid out like the converter's
// own image, so a loaded capture shows each field at its usual offset. Line fields that
// lie beyond the protocol's line block are not written.
std::vector<uint8_t> dinfData(const Conditions& conditions);

class CaptureBuilder {
 public:
  CaptureBuilder& dinf(const Conditions& conditions);
  // Any chunk with the given four-character tag and data, written as it stands.
  CaptureBuilder& chunk(std::string_view tag, const std::vector<uint8_t>& data);
  CaptureBuilder& mond(const std::vector<uint32_t>& words);
  // Bytes appended after the last chunk (trailing garbage, truncated heads).
  CaptureBuilder& tail(const std::vector<uint8_t>& bytes);

  std::vector<uint8_t> bytes() const;
  bool writeFile(const std::string& path) const;

 private:
  std::vector<uint8_t> body_;
};

std::vector<uint8_t> magic();
std::vector<uint8_t> wordBytes(const std::vector<uint32_t>& words);

// Record words.
constexpr uint16_t cell(unsigned status, uint8_t byte) {
  return static_cast<uint16_t>((status & 0x1Fu) | (unsigned{byte} << 8));
}
constexpr uint32_t dataWord(uint16_t sd, uint16_t rd) {
  return static_cast<uint32_t>(sd) | 0x20u | (static_cast<uint32_t>(rd) << 16);
}
constexpr uint32_t sdChar(uint8_t byte, unsigned status = 8) {
  return dataWord(cell(status, byte), 0);
}
constexpr uint32_t rdChar(uint8_t byte, unsigned status = 8) {
  return dataWord(0, cell(status, byte));
}
constexpr uint32_t idleWord(uint32_t count) { return (count & 0xFFFFFF) << 8; }
// Clock stamp with fields 1 (7 bits), 2 and 3; rd selects the RD direction.
constexpr uint32_t clockStamp(unsigned f1, unsigned f2, unsigned f3, bool rd = false) {
  return 4u | ((f1 & 0x7F) << 8) | (rd ? 0x8000u : 0u) | ((f2 & 0xFF) << 16) | ((f3 & 0xFF) << 24);
}
// Counter stamp of a 19-bit count.
constexpr uint32_t counterStamp(uint32_t count, bool rd = false) {
  return 8u | ((count & 0x7F) << 8) | (rd ? 0x8000u : 0u) | (((count >> 7) & 0xFFF) << 16);
}
// Line-state change (kind 16, or 17 for a change listed in the Line state format).
constexpr uint32_t lineStateWord(uint16_t before, uint16_t after, unsigned kind = 16) {
  return kind | ((before & 0xFFFu) << 8) | ((after & 0xFFFu) << 20);
}
constexpr uint32_t markerWord(unsigned subKind) { return 19u | ((subKind & 0xFF) << 8); }
constexpr uint32_t speedWord(uint8_t before, uint8_t after, uint8_t subKind = 0) {
  return 30u | (static_cast<uint32_t>(subKind) << 8) | (static_cast<uint32_t>(before) << 16) |
         (static_cast<uint32_t>(after) << 24);
}

// Parses the text description that qvcap reads (its syntax is in the README's qvcap
// section) into a capture image. On a syntax error returns false and sets error to
// "line N: reason".
bool buildFromText(std::string_view text, std::vector<uint8_t>& image, std::string& error);

}  // namespace qv::build
