#pragma once
// The measurement conditions decoded from a capture's DINF chunk, kept as an image in
// the program's own block layout, plus the monitor ring bookkeeping the loader fills.
#include <array>
#include <cstddef>
#include <cstdint>

#include "capture/bytes.h"
#include "capture/record_word.h"

namespace qv {

constexpr uint32_t kConditionsImageSize = 1216;

// Offsets of the fields other parts read, from the start of the image.
namespace field {
constexpr int measureMode = 16;
constexpr int protocol = 17;
constexpr int stampFlag1 = 25;
constexpr int stampFlag2 = 26;
constexpr int lineStateRecorded = 27;
constexpr int sendSpeed = 36;
constexpr int receiveSpeed = 40;
constexpr int code = 44;
constexpr int charBits = 45;
constexpr int parity = 46;
constexpr int stopBits = 47;  // ASYNC; the same byte is the clock for SYNC and HDLC
constexpr int clock = 47;
constexpr int format = 48;
constexpr int checkKind = 57;
constexpr int sendAddressEnabled = 58;
constexpr int sendAddress = 59;
constexpr int receiveAddressEnabled = 60;
constexpr int receiveAddress = 61;
constexpr int frameProtocol = 66;
constexpr int packetProtocol = 67;
constexpr int frameFilters =
    68;  // four entries of 4 bytes: SD first, SD second, RD first, RD second
}  // namespace field

enum Protocol : int {
  ProtocolAsync = 0,
  ProtocolSync = 1,
  ProtocolHdlc = 2,
  ProtocolPpp = 3,
  ProtocolIrda = 4,
  ProtocolI2c = 5,
  ProtocolBurst = 6,
  ProtocolHdlcFiltered = 8,
  ProtocolSpi = 10,
};

struct FilterEntry {
  uint8_t mask;
  uint8_t pattern;
};

struct MeasureConditions {
  std::array<uint8_t, kConditionsImageSize> image{};

  // Monitor ring bookkeeping, filled by the loader when it meets the MOND chunk.
  uint32_t byteLength = 0;
  const uint8_t* startPosition = nullptr;
  const uint8_t* endPosition = nullptr;
  RecordCursor startCursor{};
  RecordCursor savedStartCursor{};

  static std::size_t at(int offset) { return static_cast<std::size_t>(offset); }
  int8_t s8(int offset) const { return static_cast<int8_t>(image[at(offset)]); }
  uint8_t u8(int offset) const { return image[at(offset)]; }
  int32_t s32(int offset) const { return static_cast<int32_t>(readLe32(&image[at(offset)])); }

  int8_t measureMode() const { return s8(field::measureMode); }
  int8_t protocol() const { return s8(field::protocol); }
  uint8_t stampFlag1() const { return u8(field::stampFlag1); }
  uint8_t stampFlag2() const { return u8(field::stampFlag2); }
  uint8_t lineStateRecorded() const { return u8(field::lineStateRecorded); }
  int32_t sendSpeed() const { return s32(field::sendSpeed); }
  int32_t receiveSpeed() const { return s32(field::receiveSpeed); }
  int8_t code() const { return s8(field::code); }
  int8_t charBits() const { return s8(field::charBits); }
  int8_t parity() const { return s8(field::parity); }
  int8_t stopBits() const { return s8(field::stopBits); }
  int8_t clock() const { return s8(field::clock); }
  int8_t format() const { return s8(field::format); }
  int8_t checkKind() const { return s8(field::checkKind); }
  uint8_t sendAddressEnabled() const { return u8(field::sendAddressEnabled); }
  uint8_t sendAddress() const { return u8(field::sendAddress); }
  uint8_t receiveAddressEnabled() const { return u8(field::receiveAddressEnabled); }
  uint8_t receiveAddress() const { return u8(field::receiveAddress); }
  int8_t frameProtocol() const { return s8(field::frameProtocol); }
  int8_t packetProtocol() const { return s8(field::packetProtocol); }
  FilterEntry frameFilter(int index) const {
    const int first = field::frameFilters + 4 * index;
    return {image[at(first)], image[at(first + 1)]};
  }
};

// Writes the initial image: all zero except the program's own block size words.
void resetConditions(MeasureConditions& conditions);

// Decodes one DINF chunk on top of what the block holds. Returns 1 when the image was
// walked to its end or stopped quietly, 0 when it met a malformed block. Never reads
// beyond data[0 .. length).
int decodeConditions(MeasureConditions& conditions, const uint8_t* data, uint32_t length);

// How the error flags of a data cell are to be read (0-5), by protocol and parity.
uint8_t wordKindOf(const MeasureConditions& conditions);

}  // namespace qv
