#pragma once
// PPP translation and PPP frame dump.
#include <cstdint>

#include "frames/translator.h"

namespace qv {

// The decoded PPP header of one frame; absent values are negative.
struct PppHeader {
  int16_t address = -1;    // 0xFF when the frame starts with the all-stations address
  uint8_t hasControl = 0;  // 1 when a control byte followed that address
  uint8_t control = 0;
  int32_t protocol = -1;    // 0x0000-0xFFFF
  int16_t code = -1;        // the byte after the protocol field
  int16_t identifier = -1;  // the byte after the code
  int8_t dataStart = 0;     // first byte after the identifier
  int8_t dataCount = 0;
};

// One line per frame: protocol and LCP/NCP code names, identifier, check mark and the
// rest of the frame in hex.
class PppTranslator : public FrameTranslator {
 public:
  // header points to a PppHeader.
  void parseHeader(void* header, const Frame& frame) override;
  const char* shortTag() override;
  const char* title() override;
  void writeColumnHead() override;
  int translate(const Frame& frame) override;

  // The assigned name of a protocol number, or nullptr.
  static const char* protocolName(int32_t protocol);
  // The name of an LCP/NCP code, or nullptr.
  static const char* codeName(int code);

 private:
  void writeNameColumn(int32_t value, const char* name, int digits);
};

// One line per frame: check mark and every byte of the frame in hex.
class PppDumpTranslator : public FrameTranslator {
 public:
  // header points to a PppHeader; only dataStart and dataCount are set.
  void parseHeader(void* header, const Frame& frame) override;
  const char* shortTag() override;
  const char* title() override;
  void writeColumnHead() override;
  int translate(const Frame& frame) override;
};

}  // namespace qv
