#pragma once
// The byte values and thresholds of the framing rules, shared by the assembly walk and
// the forward sweep so that both cut frames by the same numbers.
#include <cstdint>

namespace qv::framing {

constexpr uint16_t kEscapeXor = 0x2000;  // XOR 0x20 on the byte of a cell
constexpr uint8_t kControlEscape = 0x7D;
constexpr uint8_t kPppFlag = 0x7E;       // PPP closing byte
constexpr uint8_t kSirEnd = 0xC1;        // SIR closing byte
constexpr uint8_t kSirBegin = 0xC0;      // SIR opening byte, dropped
constexpr unsigned kGoodCheckStatus = 16;
constexpr unsigned kBadCheckStatus = 20;
// IrDA speed codes: above kSirTopSpeed the line uses HDLC-type framing, from
// kFcs32Speed on a four-byte check sequence.
constexpr int kSirTopSpeed = 5;
constexpr int kFcs32Speed = 8;

}  // namespace qv::framing
