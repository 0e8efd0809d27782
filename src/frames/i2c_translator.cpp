// I2C transaction translator.
#include "frames/i2c_translator.h"

#include <algorithm>

#include "capture/record_word.h"

namespace qv {
namespace {

// Inside an I2C frame an opening cell marks a repeated start between bus bytes.
constexpr unsigned kRepeatedStart = StatusOpeningFlag;
constexpr int kTextStart = 7;  // after the time column and one blank

constexpr int kAddress7Length = 5;   // "A0a=>"
constexpr int kAddress10Length = 8;  // "01a34a=>"
constexpr int kDataLength = 3;       // "55n"
constexpr int kSeparatorLength = 2;

// The acknowledge bit that followed the byte: 0 = ACK, 1 = NACK.
constexpr char ackChar(uint16_t cell) { return (cell & 1) ? 'n' : 'a'; }
constexpr const char* transferArrow(bool read) { return read ? "<=" : "=>"; }

constexpr bool isReservedByte(uint8_t b) { return b <= 0x0F || b >= 0xF8; }
constexpr bool isTenBitPrefix(uint8_t b) { return b >= 0xF0 && b <= 0xF7; }

// Builds the transaction text of one frame. Every operation that writes returns false
// when its text does not fit in the room left, which ends the line.
class I2cLineBuilder {
 public:
  I2cLineBuilder(char* position, int room) : pos_(position), room_(room) {}

  bool addCell(uint16_t cell, bool last) {
    if (cellStatus(cell) == kRepeatedStart) return repeatedStart(last);
    switch (state_) {
      case I2cState::expectAddress:
      case I2cState::tenBitHeld: return addressByte(cell, last);
      case I2cState::tenBitFirst:
        second_ = cell;
        state_ = I2cState::tenBitComplete;
        return !last || address10(false);
      case I2cState::tenBitComplete:
        state_ = I2cState::dataPhase;
        if (!address10(false)) return false;
        return room_ == 0 || data(cell);
      case I2cState::dataPhase: return data(cell);
    }
    return false;
  }

  int room() const { return room_; }
  char* end() const { return pos_; }

 private:
  bool repeatedStart(bool last) {
    switch (state_) {
      case I2cState::expectAddress: return true;
      case I2cState::tenBitFirst:
        // No second byte came: the held prefix was a 7-bit transfer of its own.
        if (!fits(kAddress7Length + kSeparatorLength)) return false;
        address7(first_);
        separator();
        state_ = I2cState::expectAddress;
        return true;
      case I2cState::tenBitComplete: state_ = I2cState::tenBitHeld; [[fallthrough]];
      case I2cState::tenBitHeld: return !last || address10(false);
      case I2cState::dataPhase:
        if (!separator()) return false;
        state_ = I2cState::expectAddress;
        return true;
    }
    return false;
  }

  // A held 10-bit write address is written out only when another 10-bit prefix follows
  // the repeated start; a 7-bit address or a reserved byte leaves it unwritten.
  bool addressByte(uint16_t cell, bool last) {
    const uint8_t b = cellByte(cell);
    if (isReservedByte(b)) {
      state_ = I2cState::dataPhase;
      return data(cell);
    }
    if (!isTenBitPrefix(b)) {
      state_ = I2cState::dataPhase;
      return address7(cell);
    }
    if (b & 1) return tenBitRead(cell);
    if (state_ == I2cState::tenBitHeld && !flushHeldWrite()) return false;
    first_ = cell;
    state_ = I2cState::tenBitFirst;
    return !last || address7(cell);
  }

  // A read prefix that repeats the held write address reads from that 10-bit address.
  bool tenBitRead(uint16_t cell) {
    const bool samePrefix = ((cellByte(first_) ^ cellByte(cell)) & 0xFE) == 0;
    if (second_ != 0 && samePrefix) {
      state_ = I2cState::dataPhase;
      return address10(true);
    }
    if (state_ == I2cState::tenBitHeld && !flushHeldWrite()) return false;
    state_ = I2cState::dataPhase;
    return address7(cell);
  }

  bool flushHeldWrite() {
    if (!fits(kAddress10Length + kSeparatorLength)) return false;
    address10(false);
    return separator();
  }

  bool fits(int length) const { return room_ >= length; }

  bool address7(uint16_t cell) {
    if (!fits(kAddress7Length)) return false;
    const uint8_t b = cellByte(cell);
    pos_ = hexDigits(pos_, 2, b & 0xFE) + 2;
    pos_ = fillChars(pos_, 1, ackChar(cell));
    pos_ = fixedText(pos_, 2, transferArrow(b & 1));
    room_ -= kAddress7Length;
    return true;
  }

  bool address10(bool read) {
    if (!fits(kAddress10Length)) return false;
    pos_ = hexDigits(pos_, 2, (cellByte(first_) >> 1) & 0x03) + 2;
    pos_ = fillChars(pos_, 1, ackChar(first_));
    pos_ = hexDigits(pos_, 2, cellByte(second_)) + 2;
    pos_ = fillChars(pos_, 1, ackChar(second_));
    pos_ = fixedText(pos_, 2, transferArrow(read));
    room_ -= kAddress10Length;
    return true;
  }

  bool data(uint16_t cell) {
    if (!fits(kDataLength)) return false;
    pos_ = hexDigits(pos_, 2, cellByte(cell)) + 2;
    pos_ = fillChars(pos_, 1, ackChar(cell));
    room_ -= kDataLength;
    return true;
  }

  bool separator() {
    if (!fits(kSeparatorLength)) return false;
    pos_ = fillChars(pos_, kSeparatorLength, ' ');
    room_ -= kSeparatorLength;
    return true;
  }

  char* pos_;
  int room_;
  I2cState state_ = I2cState::expectAddress;
  uint16_t first_ = 0;   // held first 10-bit address cell; 0 = none
  uint16_t second_ = 0;  // held second 10-bit address cell; 0 = none
};

}  // namespace

const char* I2cTranslator::shortTag() { return "-I2C-   "; }
const char* I2cTranslator::title() { return "(I2C FRAME DUMP)"; }
void I2cTranslator::writeColumnHead() { writeHead("--TM---", "ADDRESS/DATA"); }

int I2cTranslator::translate(const Frame& frame) {
  clearLine();
  if (frame.direction != DirectionSd && frame.direction != DirectionRd) return 1;
  BodyExtent extent;
  parseHeader(&extent, frame);
  writeTime(frame.stampWord);
  writePos = fillChars(writePos, 1, ' ');
  const int width = std::min(lineWidth, kLineBufferSize - 1);
  I2cLineBuilder builder(writePos, width - kTextStart);
  const int end = extent.bodyStart + extent.bodyCount;
  for (int n = extent.bodyStart; n < end && builder.room() > 0; ++n) {
    if (!builder.addCell(frame.cells[n], n + 1 == end)) break;
  }
  writePos = builder.end();
  finishLine();
  return 0;
}

}  // namespace qv
