#include "workloads.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <initializer_list>

#include "capture/bytes.h"

namespace qv::bench {
namespace {

using build::cell;
using build::clockStamp;
using build::counterStamp;
using build::dataWord;
using build::idleWord;

// Cell statuses as the analyzer records them.
constexpr unsigned kChar = 8;
constexpr unsigned kCharFlag0 = 9;   // PPP and IrDA SIR frame start, I2C NACK
constexpr unsigned kCharFlag1 = 10;  // SPI frame start
constexpr unsigned kOpen = 4;
constexpr unsigned kClose = 5;
constexpr unsigned kLastGood = 16;
constexpr unsigned kLastBad = 20;

// xorshift64*: fast, and the same captures on every run.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed | 1) {}
  uint32_t next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
  }
  // A value in [low, high].
  unsigned between(unsigned low, unsigned high) { return low + next() % (high - low + 1); }
  uint8_t byte() { return static_cast<uint8_t>(next()); }
  bool oneIn(unsigned n) { return next() % n == 0; }

 private:
  uint64_t state_;
};

// Appends record words up to a fixed count. A unit (a frame, an exchange) that would
// pass the count is cut off whole, and the rest is filled with idle counts, which no
// frame runner and no search treats as a boundary.
class Stream {
 public:
  Stream(Capture& capture, size_t limit)
      : words_(capture.words), links_(capture.linkFrames), limit_(limit) {
    words_.clear();
    words_.reserve(limit + 4096);
  }
  // Keeps a frame's bytes, less its check sequence, for the packet capture.
  void linkFrame(bool rd, const std::vector<uint8_t>& bytes, size_t fcsBytes) {
    links_.add(rd, bytes.data(), bytes.size() - std::min(fcsBytes, bytes.size()));
  }
  void word(uint32_t w) { words_.push_back(w); }
  void put(bool rd, unsigned status, uint8_t byte) {
    const uint16_t c = cell(status, byte);
    words_.push_back(rd ? dataWord(0, c) : dataWord(c, 0));
  }
  void both(unsigned sdStatus, uint8_t sdByte, unsigned rdStatus, uint8_t rdByte) {
    words_.push_back(dataWord(cell(sdStatus, sdByte), cell(rdStatus, rdByte)));
  }
  size_t size() const { return words_.size(); }
  bool full() const { return words_.size() >= limit_; }
  // Writes one unit and counts its frames; false (and nothing written) when it does not fit.
  template <typename Unit>
  bool add(Unit& unit, uint64_t& frames) {
    const size_t mark = words_.size();
    const LinkFrames::Mark linkMark = links_.mark();
    const uint64_t count = static_cast<uint64_t>(unit());
    if (words_.size() > limit_) {
      words_.resize(mark);
      links_.rewind(linkMark);
      return false;
    }
    frames += count;
    return true;
  }
  template <typename Unit>
  void fill(Unit unit, uint64_t& frames) {
    while (add(unit, frames)) {
    }
    while (words_.size() < limit_) words_.push_back(idleWord(9999));
  }

 private:
  std::vector<uint32_t>& words_;
  LinkFrames& links_;
  size_t limit_;
};

// A running clock for the time stamps: minutes, seconds, hundredths.
class Clock {
 public:
  uint32_t stamp(bool rd) {
    return clockStamp(static_cast<unsigned>(ticks_ / 6000 % 60),
                      static_cast<unsigned>(ticks_ / 100 % 60), static_cast<unsigned>(ticks_ % 100),
                      rd);
  }
  void tick(unsigned hundredths) { ticks_ += hundredths; }

 private:
  uint64_t ticks_ = 12 * 6000;
};

// Check sequences, so that the frames are what a line would carry.
uint16_t fcs16(const std::vector<uint8_t>& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
  }
  return static_cast<uint16_t>(~crc);
}

uint32_t fcs32(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

void appendFcs16(std::vector<uint8_t>& bytes) {
  const uint16_t fcs = fcs16(bytes);
  bytes.push_back(static_cast<uint8_t>(fcs));
  bytes.push_back(static_cast<uint8_t>(fcs >> 8));
}

void appendFcs32(std::vector<uint8_t>& bytes) {
  const uint32_t fcs = fcs32(bytes);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(fcs >> (8 * i)));
}

void appendRandom(std::vector<uint8_t>& bytes, Random& random, unsigned count) {
  for (unsigned i = 0; i < count; ++i) bytes.push_back(random.byte());
}

void appendText(std::vector<uint8_t>& bytes, Random& random, unsigned count) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ,.-+=";
  for (unsigned i = 0; i < count; ++i)
    bytes.push_back(static_cast<uint8_t>(kLetters[random.next() % (sizeof kLetters - 1)]));
}

// In-band HDLC framing: opening cell, the bytes (the last one carries the FCS verdict),
// closing cell.
void hdlcFrame(Stream& s, bool rd, const std::vector<uint8_t>& bytes,
               unsigned lastStatus = kLastGood, size_t fcsBytes = 2) {
  s.linkFrame(rd, bytes, fcsBytes);
  s.put(rd, kOpen, 0x7E);
  for (size_t i = 0; i < bytes.size(); ++i)
    s.put(rd, i + 1 == bytes.size() ? lastStatus : kChar, bytes[i]);
  s.put(rd, kClose, 0x7E);
}

// Byte-stuffed framing of PPP (closing byte 0x7E) and IrDA SIR (BOF 0xC0, EOF 0xC1): the
// first recorded byte carries flag bit 0, escaped bytes arrive as 0x7D and the byte XOR 0x20.
bool pppNeedsEscape(uint8_t b, bool controlChars) {
  return b == 0x7E || b == 0x7D || (controlChars && b < 0x20);
}
bool sirNeedsEscape(uint8_t b) { return b == 0xC0 || b == 0xC1 || b == 0x7D; }

void stuffedBytes(Stream& s, bool rd, const std::vector<uint8_t>& bytes, bool sir,
                  bool controlChars, bool opened) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned status = i + 1 == bytes.size() ? kLastGood : kChar;
    const uint8_t b = bytes[i];
    const bool escape = sir ? sirNeedsEscape(b) : pppNeedsEscape(b, controlChars);
    if (escape) {
      s.put(rd, opened ? kChar : kCharFlag0, 0x7D);
      s.put(rd, status, b ^ 0x20);
    } else {
      s.put(rd, opened ? status : kCharFlag0, b);
    }
    opened = true;
  }
}

void pppFrame(Stream& s, bool rd, const std::vector<uint8_t>& bytes, bool controlChars) {
  s.linkFrame(rd, bytes, 2);
  stuffedBytes(s, rd, bytes, false, controlChars, false);
  s.put(rd, kChar, 0x7E);
}

void sirFrame(Stream& s, bool rd, const std::vector<uint8_t>& bytes) {
  s.linkFrame(rd, bytes, 2);
  s.put(rd, kCharFlag0, 0xC0);
  stuffedBytes(s, rd, bytes, true, false, true);
  s.put(rd, kChar, 0xC1);
}

void text(Stream& s, bool rd, const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes) s.put(rd, kChar, b);
}

build::Conditions conditionsFor(int protocol) {
  build::Conditions c;
  c.protocol = protocol;
  return c;
}

// ---------------------------------------------------------------------------------------
// Realistic traffic.

// A terminal talking to a modem-like device: commands, replies, idle gaps, clock stamps.
void asyncExchange(Stream& s, Random& random, Clock& clock, std::vector<uint8_t>& bytes,
                   bool stamps) {
  for (bool rd : {false, true}) {
    bytes.clear();
    if (rd) bytes.push_back('\n');
    bytes.push_back(rd ? 'O' : 'A');
    bytes.push_back(rd ? 'K' : 'T');
    appendText(bytes, random, random.between(4, 60));
    bytes.push_back('\r');
    if (stamps || random.oneIn(2)) s.word(clock.stamp(rd));
    text(s, rd, bytes);
    s.word(idleWord(random.between(1, 400)));
    clock.tick(random.between(1, 30));
  }
}

void generateListing(Capture& c, size_t n) {
  c.conditions = conditionsFor(0);
  Stream s(c, n);
  Random random(1);
  Clock clock;
  std::vector<uint8_t> bytes;
  s.fill(
      [&] {
        asyncExchange(s, random, clock, bytes, false);
        return 2;
      },
      c.frames);
}

void generateAsyncDump(Capture& c, size_t n) {
  c.conditions = conditionsFor(0);
  c.conditions.stampFlag1 = 1;
  Stream s(c, n);
  Random random(2);
  Clock clock;
  std::vector<uint8_t> bytes;
  s.fill(
      [&] {
        asyncExchange(s, random, clock, bytes, true);
        return 2;
      },
      c.frames);
}

// EBCDIC BSC: SYN SYN ahead of every transmission, text blocks with STX/ETB/ETX and a
// CRC-16 BCC, ACK0/ACK1 answers, an ENQ bid now and then, transparent blocks.
void generateBsc(Capture& c, size_t n) {
  c.conditions = conditionsFor(1);
  c.conditions.code = 1;
  c.conditions.checkKind = 3;
  constexpr uint8_t kSyn = 0x32, kStx = 0x02, kEtx = 0x03, kEtb = 0x26, kDle = 0x10, kEnq = 0x2D;
  static constexpr uint8_t kEbcdicText[] = {0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xD1, 0xD2, 0xD3, 0xE2,
                                            0xE3, 0xF0, 0xF1, 0xF2, 0xF3, 0x40, 0x4B, 0x6B, 0x7D};
  Stream s(c, n);
  Random random(3);
  bool ack1 = false;
  s.fill(
      [&] {
        uint64_t blocks = 0;
        auto syn = [&](bool rd) {
          s.put(rd, kChar, kSyn);
          s.put(rd, kChar, kSyn);
        };
        auto answer = [&] {
          syn(true);
          s.put(true, kChar, kDle);
          s.put(true, kChar, ack1 ? 0x61 : 0x70);
          ack1 = !ack1;
          ++blocks;
        };
        if (random.oneIn(8)) {
          syn(false);
          s.put(false, kChar, kEnq);
          ++blocks;
          answer();
        }
        syn(false);
        const bool transparent = random.oneIn(6);
        if (transparent) s.put(false, kChar, kDle);
        s.put(false, kChar, kStx);
        const unsigned length = random.between(20, 240);
        for (unsigned i = 0; i < length; ++i) {
          const uint8_t b =
              transparent ? random.byte() : kEbcdicText[random.next() % sizeof kEbcdicText];
          s.put(false, kChar, b);
          if (transparent && b == kDle) s.put(false, kChar, kDle);
        }
        if (transparent) s.put(false, kChar, kDle);
        s.put(false, kChar, random.oneIn(3) ? kEtb : kEtx);
        s.put(false, kChar, random.byte());
        s.put(false, kChar, random.byte());
        ++blocks;
        answer();
        s.word(idleWord(random.between(1, 200)));
        return blocks;
      },
      c.frames);
}

build::Conditions hdlcConditions(int frameProtocol, int packetProtocol) {
  build::Conditions c = conditionsFor(2);
  c.sendSpeed = c.receiveSpeed = 640000;
  c.checkKind = 1;
  c.frameProtocol = frameProtocol;
  c.packetProtocol = packetProtocol;
  return c;
}

// An SDLC primary polling one secondary: I frames with EBCDIC-like data, RR and RNR
// answers, the odd frame with a bad FCS.
void generateSdlc(Capture& c, size_t n) {
  c.conditions = hdlcConditions(0, 0);
  c.linkFrames.setType(kLinkSdlc);
  Stream s(c, n);
  Random random(4);
  std::vector<uint8_t> bytes;
  unsigned ns = 0, nr = 0;
  auto frame = [&](bool rd, std::initializer_list<uint8_t> head, unsigned infoLength) {
    bytes.assign(head);
    appendRandom(bytes, random, infoLength);
    appendFcs16(bytes);
    hdlcFrame(s, rd, bytes, random.oneIn(200) ? kLastBad : kLastGood);
  };
  frame(false, {0xC1, 0x93}, 0);
  frame(true, {0xC1, 0x73}, 0);
  uint64_t frames = 2;
  s.fill(
      [&] {
        const uint8_t poll = random.oneIn(4) ? 0x10 : 0x00;
        frame(false, {0xC1, static_cast<uint8_t>(ns << 1 | poll | nr << 5)},
              random.between(8, 200));
        ns = (ns + 1) & 7;
        if (random.oneIn(3)) {
          frame(true, {0xC1, static_cast<uint8_t>(nr << 1 | 0x10 | ns << 5)},
                random.between(8, 120));
          nr = (nr + 1) & 7;
        } else {
          frame(true,
                {0xC1, static_cast<uint8_t>((random.oneIn(20) ? 0x05 : 0x01) | 0x10 | ns << 5)}, 0);
        }
        s.word(idleWord(random.between(1, 50)));
        return 2;
      },
      c.frames);
  c.frames += frames;
}

// LAPB with X.25 data packets on two logical channels; the DCE answers with RR frames
// and, now and then, an RR packet.
void generateX25(Capture& c, size_t n) {
  c.conditions = hdlcConditions(2, 0);
  c.linkFrames.setType(kLinkUser0);
  Stream s(c, n);
  Random random(5);
  std::vector<uint8_t> bytes;
  unsigned ns = 0, ps[2] = {0, 0};
  auto frame = [&](bool rd, std::initializer_list<uint8_t> head, unsigned infoLength) {
    bytes.assign(head);
    appendRandom(bytes, random, infoLength);
    appendFcs16(bytes);
    hdlcFrame(s, rd, bytes);
  };
  frame(false, {0x01, 0x3F}, 0);
  frame(true, {0x01, 0x73}, 0);
  s.fill(
      [&] {
        const unsigned channel = random.next() & 1;
        const uint8_t more = random.oneIn(5) ? 0x10 : 0x00;
        frame(false,
              {0x01, static_cast<uint8_t>(ns << 1), static_cast<uint8_t>(0x10),
               static_cast<uint8_t>(channel + 1), static_cast<uint8_t>(ps[channel] << 1 | more)},
              random.between(16, 128));
        ns = (ns + 1) & 7;
        ps[channel] = (ps[channel] + 1) & 7;
        if (random.oneIn(4)) {
          frame(true,
                {0x01, 0x00, 0x10, static_cast<uint8_t>(channel + 1),
                 static_cast<uint8_t>(0x01 | ps[channel] << 5)},
                0);
        } else {
          frame(true, {0x01, static_cast<uint8_t>(0x01 | ns << 5)}, 0);
        }
        return 2;
      },
      c.frames);
  c.frames += 2;
}

// LAPD on an ISDN D channel: a terminal (SD) places calls, the network (RD) answers;
// every Q.931 message goes in an I frame that the other side acknowledges with RR.
void generateLapd(Capture& c, size_t n) {
  c.conditions = hdlcConditions(4, 1);
  c.linkFrames.setType(kLinkLapd);
  Stream s(c, n);
  Random random(16);
  std::vector<uint8_t> bytes;
  constexpr uint8_t kTei = 64 << 1 | 1;
  // The C/R bit: set on the network's commands and on the terminal's responses.
  auto address = [](bool rd, bool command) {
    return static_cast<uint8_t>(rd == command ? 0x02 : 0x00);
  };
  unsigned sent[2] = {0, 0};  // N(S) of the next I frame, by side
  uint8_t callReference = 1;
  auto acknowledge = [&](bool rd) {
    bytes.assign({address(rd, false), kTei, 0x01, static_cast<uint8_t>(sent[!rd] << 1)});
    appendFcs16(bytes);
    hdlcFrame(s, rd, bytes);
  };
  auto message = [&](bool rd, uint8_t type, std::initializer_list<uint8_t> elements) {
    bytes.assign({address(rd, true), kTei, static_cast<uint8_t>(sent[rd] << 1),
                  static_cast<uint8_t>(sent[!rd] << 1), 0x08, 0x01,
                  static_cast<uint8_t>(callReference | (rd ? 0x80 : 0x00)), type});
    bytes.insert(bytes.end(), elements);
    appendFcs16(bytes);
    hdlcFrame(s, rd, bytes);
    sent[rd] = (sent[rd] + 1) & 0x7F;
    acknowledge(!rd);
  };
  s.fill(
      [&] {
        const uint8_t digit = static_cast<uint8_t>('0' + random.between(0, 9));
        message(false, 0x05,
                {0x04, 0x03, 0x80, 0x90, 0xA3, 0x18, 0x01, 0x89, 0x70, 0x05, 0x81, '5', '5', '5',
                 digit});
        message(true, 0x02, {0x18, 0x01, 0x89});
        message(true, 0x01, {});
        message(true, 0x07, {});
        message(false, 0x0F, {});
        message(false, 0x45, {0x08, 0x02, 0x80, 0x90});
        message(true, 0x4D, {});
        message(false, 0x5A, {});
        callReference = static_cast<uint8_t>(callReference % 127 + 1);
        return 16;
      },
      c.frames);
}

// PPP: LCP and IPCP negotiation, then IP datagrams both ways with an LCP echo now and then.
void generatePpp(Capture& c, size_t n) {
  c.conditions = conditionsFor(3);
  c.linkFrames.setType(kLinkPppWithDir);
  c.conditions.sendSpeed = c.conditions.receiveSpeed = 1152000;
  c.conditions.checkKind = 1;
  Stream s(c, n);
  Random random(6);
  std::vector<uint8_t> bytes;
  uint8_t id = 1;
  auto control = [&](bool rd, uint8_t protocolHigh, uint8_t protocolLow, uint8_t code,
                     std::initializer_list<uint8_t> options) {
    bytes.assign({0xFF, 0x03, protocolHigh, protocolLow, code, id, 0x00,
                  static_cast<uint8_t>(4 + options.size())});
    bytes.insert(bytes.end(), options);
    appendFcs16(bytes);
    pppFrame(s, rd, bytes, true);
  };
  auto datagram = [&](bool rd) {
    const unsigned length = random.between(40, 300);
    bytes.assign({0xFF, 0x03, 0x00, 0x21, 0x45, 0x00, static_cast<uint8_t>(length >> 8),
                  static_cast<uint8_t>(length)});
    appendRandom(bytes, random, length - 4);
    appendFcs16(bytes);
    pppFrame(s, rd, bytes, false);
  };
  for (bool rd : {false, true})
    control(rd, 0xC0, 0x21, 1, {0x01, 0x04, 0x05, 0xDC, 0x05, 0x06, 0x12, 0x34, 0x56, 0x78});
  for (bool rd : {true, false})
    control(rd, 0xC0, 0x21, 2, {0x01, 0x04, 0x05, 0xDC, 0x05, 0x06, 0x12, 0x34, 0x56, 0x78});
  ++id;
  for (bool rd : {false, true})
    control(rd, 0x80, 0x21, 1, {0x03, 0x06, 0xC0, 0xA8, 0x01, rd ? uint8_t{2} : uint8_t{1}});
  for (bool rd : {true, false})
    control(rd, 0x80, 0x21, 2, {0x03, 0x06, 0xC0, 0xA8, 0x01, rd ? uint8_t{1} : uint8_t{2}});
  s.fill(
      [&] {
        if (random.oneIn(50)) {
          ++id;
          control(false, 0xC0, 0x21, 9, {0x12, 0x34, 0x56, 0x78});
          control(true, 0xC0, 0x21, 10, {0x9A, 0xBC, 0xDE, 0xF0});
          return 2;
        }
        datagram(false);
        datagram(true);
        return 2;
      },
      c.frames);
  c.frames += 8;
}

// IrDA: discovery and connection at 9600 bit/s with SIR framing, then a speed change
// to 4 Mbit/s (HDLC-type framing, 32-bit FCS) for the data transfer.
void generateIrda(Capture& c, size_t n) {
  c.conditions = conditionsFor(4);
  c.linkFrames.setType(kLinkLinuxIrda);
  Stream s(c, n);
  Random random(7);
  std::vector<uint8_t> bytes;
  auto sir = [&](bool rd, std::initializer_list<uint8_t> head, unsigned infoLength) {
    bytes.assign(head);
    appendRandom(bytes, random, infoLength);
    appendFcs16(bytes);
    sirFrame(s, rd, bytes);
  };
  auto sirSession = [&] {
    for (uint8_t slot = 0; slot < 6; ++slot)
      sir(false,
          {0xFF, 0x3F, 0x01, 0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, slot, 0x00}, 0);
    sir(true, {0xFE, 0xBF, 0x01, 0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78, 0x01, 0x02, 0x00},
        8);
    sir(false, {0xFF, 0x93, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x04}, 6);
    sir(true, {0x04, 0x73, 0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}, 6);
    for (unsigned i = 0; i < 4; ++i) {
      sir(false, {0x05, static_cast<uint8_t>(i << 1 | 0x10)}, random.between(8, 60));
      sir(true, {0x04, static_cast<uint8_t>(0x11 | (i + 1) % 8 << 5)}, 0);
    }
    return 17;
  };
  // The first twentieth of the data at 9600 bit/s.
  while (s.size() < n / 20 && s.add(sirSession, c.frames)) {
  }
  s.word(build::speedWord(3, 8));
  unsigned ns = 0;
  s.fill(
      [&] {
        bytes.assign({0x05, static_cast<uint8_t>(ns << 1 | 0x10)});
        appendRandom(bytes, random, random.between(32, 240));
        appendFcs32(bytes);
        hdlcFrame(s, false, bytes, kLastGood, 4);
        ns = (ns + 1) & 7;
        bytes.assign({0x04, static_cast<uint8_t>(0x11 | ns << 5)});
        appendFcs32(bytes);
        hdlcFrame(s, true, bytes, kLastGood, 4);
        return 2;
      },
      c.frames);
}

// I2C: EEPROM random reads and page writes, a sensor read with a repeated start, and a
// 10-bit device; everything on the SD side, as the bus has one data line.
void generateI2c(Capture& c, size_t n) {
  c.conditions = conditionsFor(5);
  c.conditions.sendSpeed = c.conditions.receiveSpeed = 4000000;
  Stream s(c, n);
  Random random(8);
  auto start = [&] { s.put(false, kOpen, 0x00); };
  auto repeatedStart = [&] { s.put(false, kOpen, 0x01); };
  auto stop = [&] { s.put(false, kClose, 0x00); };
  auto byte = [&](uint8_t b, bool nack = false) { s.put(false, nack ? kCharFlag0 : kChar, b); };
  auto readBytes = [&](unsigned count) {
    for (unsigned i = 0; i < count; ++i)
      byte(random.byte(), i + 1 == count);  // the last one is not acknowledged
  };
  auto writeBytes = [&](unsigned count) {
    for (unsigned i = 0; i < count; ++i) byte(random.byte());
  };
  s.fill(
      [&] {
        start();
        switch (random.next() % 4) {
          case 0:  // EEPROM random read: write the address, then read after a repeated start
            byte(0xA0);
            writeBytes(2);
            repeatedStart();
            byte(0xA1);
            readBytes(random.between(1, 32));
            break;
          case 1:  // EEPROM page write
            byte(0xA0);
            writeBytes(2 + random.between(1, 16));
            break;
          case 2:  // sensor register read
            byte(0x90);
            byte(0x00);
            repeatedStart();
            byte(0x91);
            readBytes(2);
            break;
          default:  // 10-bit device write
            byte(0xF2);
            byte(0x34);
            writeBytes(2);
            break;
        }
        stop();
        s.word(idleWord(random.between(1, 100)));
        return 1;
      },
      c.frames);
}

// SPI flash traffic: MOSI on the SD side, MISO on the RD side, both marked at the start
// of every transfer (so each transfer makes one SD and one RD frame).
void generateSpi(Capture& c, size_t n) {
  c.conditions = conditionsFor(10);
  c.conditions.sendSpeed = c.conditions.receiveSpeed = 100000000;
  Stream s(c, n);
  Random random(9);
  s.fill(
      [&] {
        const bool read = !random.oneIn(4);
        const unsigned count = random.between(1, read ? 64 : 16);
        s.both(kCharFlag1, read ? 0x03 : 0x9F, kCharFlag1, 0xFF);
        for (unsigned i = 0; i < 3; ++i) s.both(kChar, random.byte(), kChar, 0xFF);
        for (unsigned i = 0; i < count; ++i) s.both(kChar, 0x00, kChar, random.byte());
        s.word(idleWord(random.between(1, 40)));
        return 2;
      },
      c.frames);
}

// ---------------------------------------------------------------------------------------
// Adversarial captures: each makes every frame of the runner walk a long way.

void generateHdlcOpenEveryWord(Capture& c, size_t n) {
  c.conditions = hdlcConditions(0, 0);
  Stream s(c, n);
  s.fill(
      [&] {
        s.put(false, kOpen, 0x7E);
        return 1;
      },
      c.frames);
}

void generatePppOpenEveryChar(Capture& c, size_t n) {
  c.conditions = conditionsFor(3);
  Stream s(c, n);
  Random random(10);
  s.fill(
      [&] {
        uint8_t b = random.byte();
        if (b == 0x7E || b == 0x7D) b = 0x41;
        s.put(false, kCharFlag0, b);
        return 1;
      },
      c.frames);
}

// One SD frame opened at the start and never closed, while RD carries short frames.
void generateHdlcHeldLane(Capture& c, size_t n) {
  c.conditions = hdlcConditions(0, 0);
  Stream s(c, n);
  Random random(11);
  s.put(false, kOpen, 0x7E);
  s.fill(
      [&] {
        s.both(kChar, random.byte(), kOpen, 0x7E);
        s.both(kChar, random.byte(), kChar, 0xC1);
        s.both(kChar, random.byte(), kChar, 0x11);
        s.both(kChar, random.byte(), kChar, random.byte());
        s.both(kChar, random.byte(), kLastGood, random.byte());
        s.both(kChar, random.byte(), kClose, 0x7E);
        return 1;
      },
      c.frames);
  c.frames += 1;
}

void generateStampedHeldLane(Capture& c, size_t n) {
  c.conditions = hdlcConditions(0, 0);
  c.conditions.stampFlag1 = 1;
  Stream s(c, n);
  Random random(12);
  Clock clock;
  s.word(clock.stamp(false));
  s.fill(
      [&] {
        s.word(clock.stamp(true));
        s.both(kChar, random.byte(), kChar, 0xC1);
        s.both(kChar, random.byte(), kChar, 0x11);
        s.both(kChar, random.byte(), kChar, random.byte());
        s.both(kChar, random.byte(), kLastGood, random.byte());
        s.both(kChar, random.byte(), kClose, 0x7E);
        clock.tick(1);
        return 1;
      },
      c.frames);
  c.frames += 1;
}

void generatePppHeldLane(Capture& c, size_t n) {
  c.conditions = conditionsFor(3);
  Stream s(c, n);
  Random random(13);
  auto sdByte = [&] {
    const uint8_t b = random.byte();
    return b == 0x7E || b == 0x7D ? uint8_t{0x41} : b;
  };
  s.put(false, kCharFlag0, 0xFF);
  s.fill(
      [&] {
        s.both(kChar, sdByte(), kCharFlag0, 0x21);
        s.both(kChar, sdByte(), kChar, 0x45);
        s.both(kChar, sdByte(), kChar, 0x00);
        s.both(kChar, sdByte(), kLastGood, 0x12);
        s.both(kChar, sdByte(), kChar, 0x7E);
        return 1;
      },
      c.frames);
  c.frames += 1;
}

// Stamp-delimited ASYNC or SPI: one clock-stamped frame, then counter stamps, which
// are boundaries to the next-frame step but open no frame.
void counterStamps(Capture& c, size_t n, int protocol) {
  c.conditions = conditionsFor(protocol);
  c.conditions.stampFlag1 = 1;
  Stream s(c, n);
  Random random(14);
  Clock clock;
  s.word(clock.stamp(false));
  text(s, false, {'H', 'E', 'L', 'L', 'O'});
  uint32_t count = 0;
  s.fill(
      [&] {
        s.word(counterStamp(count++ & 0x7FFFF, random.oneIn(2)));
        if (random.oneIn(4)) s.put(false, kChar, random.byte());
        return 1;
      },
      c.frames);
  c.frames += 1;
}

void generateAsyncCounterStamps(Capture& c, size_t n) { counterStamps(c, n, 0); }
void generateSpiCounterStamps(Capture& c, size_t n) { counterStamps(c, n, 10); }

// Stamp-delimited HDLC whose frames never get a closing cell: every frame stays open to
// the end of the monitor data.
void generateStampedUnclosed(Capture& c, size_t n) {
  c.conditions = hdlcConditions(0, 0);
  c.conditions.stampFlag1 = 1;
  Stream s(c, n);
  Random random(15);
  Clock clock;
  bool rd = false;
  s.fill(
      [&] {
        s.word(clock.stamp(rd));
        s.put(rd, kChar, 0xC1);
        s.put(rd, kChar, 0x10);
        s.put(rd, kChar, random.byte());
        rd = !rd;
        clock.tick(1);
        return 1;
      },
      c.frames);
}

constexpr Workload kRealistic[] = {
    {"listing", "ASYNC record listing (Normal format)", "1\n1\n1\n1\n1\n", false, generateListing},
    {"bsc", "SYNC EBCDIC BSC translation", "2\n1\n1\n1\n", false, generateBsc},
    {"hdlc-frame", "HDLC SDLC frames, in-band", "2\n1\n1\n", true, generateSdlc},
    {"hdlc-packet", "HDLC X.25 packets, in-band", "2\n1\n2\n", true, generateX25},
    {"lapd", "HDLC LAPD Q.931 messages, in-band", "2\n1\n2\n", true, generateLapd},
    {"ppp-translate", "PPP translation, in-band", "2\n1\n1\n", true, generatePpp},
    {"ppp-dump", "PPP frame dump, in-band", "2\n1\n2\n", true, generatePpp},
    {"irda", "IrLAP, SIR then 4 Mbit/s framing", "2\n1\n", true, generateIrda},
    {"i2c", "I2C transactions, in-band", "2\n1\n", true, generateI2c},
    {"spi", "SPI transfers, in-band", "2\n1\n", true, generateSpi},
    {"async-dump", "ASYNC frame dump, stamp-delimited", "2\n1\n2\n", true, generateAsyncDump},
};

constexpr Workload kAdversarial[] = {
    {"hdlc-open-every-word", "HDLC in-band: every word opens an SD frame, none closes", "2\n1\n1\n",
     true, generateHdlcOpenEveryWord},
    {"ppp-open-every-char", "PPP: every character opens a frame, no 0x7E", "2\n1\n2\n", true,
     generatePppOpenEveryChar},
    {"hdlc-held-lane", "HDLC in-band: SD held open, RD short frames", "2\n1\n1\n", true,
     generateHdlcHeldLane},
    {"hdlc-stamped-held-lane", "HDLC stamp-delimited: SD held open, RD short frames", "2\n1\n1\n",
     true, generateStampedHeldLane},
    {"ppp-held-lane", "PPP: SD held open, RD short frames", "2\n1\n2\n", true, generatePppHeldLane},
    {"async-counter-stamps", "ASYNC stamp-delimited, mostly counter stamps", "2\n1\n2\n", false,
     generateAsyncCounterStamps},
    {"spi-counter-stamps", "SPI stamp-delimited, mostly counter stamps", "2\n1\n", false,
     generateSpiCounterStamps},
    {"hdlc-stamped-unclosed", "HDLC stamp-delimited frames without closing cells", "2\n1\n1\n",
     true, generateStampedUnclosed},
};

}  // namespace

std::span<const Workload> realisticWorkloads() { return kRealistic; }
std::span<const Workload> adversarialWorkloads() { return kAdversarial; }

Capture makeCapture(const Workload& workload, size_t monitorBytes) {
  Capture capture;
  workload.generate(capture, monitorBytes / 4);
  return capture;
}

uint64_t writeCapture(const std::string& path, const Capture& capture) {
  std::vector<uint8_t> head = build::CaptureBuilder().dinf(capture.conditions).bytes();
  const uint64_t mondBytes = capture.words.size() * 4ull;
  head.insert(head.end(), {'M', 'O', 'N', 'D', 0, 0, 0, 0});
  writeLe32(&head[head.size() - 4], static_cast<uint32_t>(mondBytes));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
  std::array<uint8_t, 1 << 16> block;
  for (size_t i = 0; i < capture.words.size();) {
    size_t used = 0;
    for (; i < capture.words.size() && used < block.size(); ++i, used += 4)
      writeLe32(&block[used], capture.words[i]);
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(used));
  }
  out.close();
  return out ? head.size() + mondBytes : 0;
}

int64_t countFrameLines(const std::string& reportPath) {
  std::ifstream in(reportPath, std::ios::binary);
  if (!in) return -1;
  std::array<char, 1 << 16> block;
  int64_t lines = 0;
  bool headSeen = false, atLineStart = true;
  while (in.read(block.data(), block.size()) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      const char ch = block[static_cast<size_t>(i)];
      if (atLineStart && !headSeen && ch == '-') {
        headSeen = true;
        lines = -1;  // the head line itself is not a frame line
      }
      if (ch == '\n') ++lines;
      atLineStart = ch == '\n';
    }
  }
  return headSeen ? lines : -1;
}

}  // namespace qv::bench
