// Whole PPP, IrDA, I2C and SPI reports through the operator dialogue.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "capture_builder.h"
#include "session.h"

namespace qv {
namespace {

using build::cell;
using build::clockStamp;
using build::dataWord;

constexpr bool SD = false;
constexpr bool RD = true;

enum class Check { Good, Bad, Abort };  // Abort: no check sequence, the frame is cut off

// Record words of a capture, written frame by frame on one lane at a time.
class Words {
 public:
  Words& word(uint32_t w) {
    words_.push_back(w);
    return *this;
  }
  Words& on(bool rd, unsigned status, uint8_t byte) {
    const uint16_t c = cell(status, byte);
    return word(rd ? dataWord(0, c) : dataWord(c, 0));
  }
  // The check sequence: ordinary characters, the last one carrying the verdict.
  Words& check(bool rd, int length, Check verdict) {
    if (verdict == Check::Abort) return *this;
    for (int i = 1; i < length; ++i) on(rd, 8, 0x5A);
    return on(rd, verdict == Check::Good ? 16 : 20, 0xA5);
  }
  // Async-HDLC byte stuffing: the escape byte, then the byte with bit 5 inverted.
  Words& stuffed(bool rd, std::initializer_list<uint8_t> bytes,
                 std::initializer_list<uint8_t> special) {
    for (uint8_t b : bytes) {
      bool escape = false;
      for (uint8_t s : special) escape = escape || b == s;
      if (escape) on(rd, 8, 0x7D);
      on(rd, 8, escape ? b ^ 0x20 : b);
    }
    return *this;
  }
  Words& idle() { return word(build::idleWord(3)); }
  const std::vector<uint32_t>& all() const { return words_; }

 private:
  std::vector<uint32_t> words_;
};

std::string report(int protocol, uint8_t stampFlag1, const Words& words,
                   const std::string& answers) {
  build::Conditions conditions;
  conditions.protocol = protocol;
  conditions.checkKind = 1;  // FCS16
  conditions.stampFlag1 = stampFlag1;
  const std::vector<uint8_t> capture =
      build::CaptureBuilder().dinf(conditions).mond(words.all()).bytes();
  const test::Conversion conversion = test::convert(capture, answers);
  EXPECT_EQ(conversion.session.status, 0) << conversion.session.console;
  EXPECT_NE(conversion.session.console.find("Convert start.\nComplete.\n"), std::string::npos)
      << conversion.session.console;
  return conversion.report;
}

std::string header(const std::string& title, const std::string& box) {
  return "*=[KOVREN]=[DATE-TIME]=*\n"
         "* MONITOR DATA " + title + std::string(22 - title.size(), ' ') + " *\n" + box +
         "*=====================================*\n"
         "\n";
}

std::string dashes(int n) { return std::string(n, '-'); }

// ---- PPP ----

// PPP frames open at a time stamp and close with the flag byte 0x7E; 0x7D 0x7E aborts.
void pppFrame(Words& words, bool rd, uint32_t stamp, std::initializer_list<uint8_t> bytes,
              Check verdict = Check::Good) {
  words.word(stamp).stuffed(rd, bytes, {0x7D, 0x7E}).check(rd, 2, verdict);
  if (verdict == Check::Abort) words.on(rd, 8, 0x7D);
  words.on(rd, 8, 0x7E).idle();
}

uint32_t at(unsigned second, bool rd) { return clockStamp(10, 0, second, rd); }

Words pppNegotiationAndTraffic() {
  Words w;
  // LCP: each side asks for its options and acknowledges the other's.
  pppFrame(w, SD, at(1, SD), {0xFF, 0x03, 0xC0, 0x21, 0x01, 0x01, 0x00, 0x0E, 0x01, 0x04, 0x05,
                              0xDC, 0x05, 0x06, 0x12, 0x34, 0x56, 0x78});
  pppFrame(w, RD, at(1, RD), {0xFF, 0x03, 0xC0, 0x21, 0x01, 0x11, 0x00, 0x0A, 0x05, 0x06, 0x9A,
                              0xBC, 0xDE, 0xF0});
  pppFrame(w, RD, at(2, RD), {0xFF, 0x03, 0xC0, 0x21, 0x02, 0x01, 0x00, 0x0E, 0x01, 0x04, 0x05,
                              0xDC, 0x05, 0x06, 0x12, 0x34, 0x56, 0x78});
  pppFrame(w, SD, at(2, SD), {0xFF, 0x03, 0xC0, 0x21, 0x02, 0x11, 0x00, 0x0A, 0x05, 0x06, 0x9A,
                              0xBC, 0xDE, 0xF0});
  // IPCP: the peer proposes another address.
  pppFrame(w, SD, at(3, SD), {0xFF, 0x03, 0x80, 0x21, 0x01, 0x01, 0x00, 0x0A, 0x03, 0x06, 0xC0,
                              0xA8, 0x01, 0x01});
  pppFrame(w, RD, at(3, RD), {0xFF, 0x03, 0x80, 0x21, 0x03, 0x01, 0x00, 0x0A, 0x03, 0x06, 0xC0,
                              0xA8, 0x01, 0x02});
  // IP with address, control and protocol compressed; 7D and 7E travel escaped.
  pppFrame(w, SD, at(4, SD), {0x21, 0x45, 0x00, 0x00, 0x1C, 0x7D, 0x7E, 0x40, 0x00, 0x40, 0x11});
  // A long IP datagram with a bad check sequence.
  std::vector<uint8_t> datagram = {0xFF, 0x03, 0x00, 0x21, 0x45, 0x00};
  for (uint8_t b = 0; b < 34; ++b) datagram.push_back(b);
  w.word(at(5, RD));
  for (uint8_t b : datagram) w.on(RD, 8, b);
  w.check(RD, 2, Check::Bad).on(RD, 8, 0x7E).idle();
  // LCP echo.
  pppFrame(w, SD, at(6, SD), {0xFF, 0x03, 0xC0, 0x21, 0x09, 0x03, 0x00, 0x08, 0x12, 0x34, 0x56,
                              0x78});
  pppFrame(w, RD, at(6, RD), {0xFF, 0x03, 0xC0, 0x21, 0x0A, 0x03, 0x00, 0x08, 0x9A, 0xBC, 0xDE,
                              0xF0});
  pppFrame(w, SD, at(7, SD), {0xFF, 0x03, 0x00, 0x57, 0x60, 0x00});  // not a listed protocol
  // Cut off by the escape-and-flag abort sequence.
  pppFrame(w, SD, at(8, SD), {0xFF, 0x03, 0xC0, 0x21, 0x05, 0x04, 0x00, 0x04}, Check::Abort);
  return w;
}

const std::string kPppBox =
    "*  PROTOCOL: PPP                      *\n"
    "*  S-SPEED : 9600    R-SPEED : 9600   *\n"
    "*  CODE    : ASCII   FCS     : FCS16  *\n";

TEST(PppReport, Translation) {
  EXPECT_EQ(report(3, 1, pppNegotiationAndTraffic(), "2\n1\n1\n"),
            header("(PPP TRANSLATION)", kPppBox) +
                "-----TM---PROTOCOL-CODE------ID-FC-" + dashes(20) + "DATA" + dashes(20) + "\n"
                "SD:100001 LCP      CONF-REQ   1  G 000E010405DC050612345678\n"
                "RD:100001 LCP      CONF-REQ  17  G 000A05069ABCDEF0\n"
                "RD:100002 LCP      CONF-ACK   1  G 000E010405DC050612345678\n"
                "SD:100002 LCP      CONF-ACK  17  G 000A05069ABCDEF0\n"
                "SD:100003 IPCP     CONF-REQ   1  G 000A0306C0A80101\n"
                "RD:100003 IPCP     CONF-NAK   1  G 000A0306C0A80102\n"
                "SD:100004 IP       (45)       0  G 001C7D7E40004011\n"
                "RD:100005 IP       (45)       0  E 000102030405060708090A0B0C0D0E0F101112131415\n"
                "SD:100006 LCP      ECHO-REQ   3  G 000812345678\n"
                "RD:100006 LCP      ECHO-REP   3  G 00089ABCDEF0\n"
                "SD:100007 (0057)   (60)       0  G\n"
                "SD:100008 LCP      TERM-REQ   4  A 0004\n");
}

TEST(PppReport, Dump) {
  EXPECT_EQ(report(3, 1, pppNegotiationAndTraffic(), "2\n1\n2\n"),
            header("(PPP FRAME DUMP)", kPppBox) +
                "-----TM---FC-" + dashes(31) + "DATA" + dashes(31) + "\n"
                "SD:100001  G FF03C0210101000E010405DC050612345678\n"
                "RD:100001  G FF03C0210111000A05069ABCDEF0\n"
                "RD:100002  G FF03C0210201000E010405DC050612345678\n"
                "SD:100002  G FF03C0210211000A05069ABCDEF0\n"
                "SD:100003  G FF0380210101000A0306C0A80101\n"
                "RD:100003  G FF0380210301000A0306C0A80102\n"
                "SD:100004  G 214500001C7D7E40004011\n"
                "RD:100005  E FF0300214500000102030405060708090A0B0C0D0E0F101112131415161718191A\n"
                "SD:100006  G FF03C0210903000812345678\n"
                "RD:100006  G FF03C0210A0300089ABCDEF0\n"
                "SD:100007  G FF0300576000\n"
                "SD:100008  A FF03C02105040004\n");
}

// ---- IrDA ----

// SIR frames: BOF 0xC0, the stuffed bytes, the check sequence and EOF 0xC1.
void sirFrame(Words& words, bool rd, uint32_t stamp, std::initializer_list<uint8_t> bytes) {
  words.word(stamp).on(rd, 8, 0xC0).stuffed(rd, bytes, {0x7D, 0xC0, 0xC1});
  words.check(rd, 2, Check::Good).on(rd, 8, 0xC1).idle();
}

// Frames at higher speeds: HDLC-type framing, closed by a status-5 cell.
void hdlcFrame(Words& words, bool rd, uint32_t stamp, std::initializer_list<uint8_t> bytes,
               int checkLength, Check verdict = Check::Good) {
  words.word(stamp);
  for (uint8_t b : bytes) words.on(rd, 8, b);
  words.check(rd, checkLength, verdict).on(rd, 5, 0).idle();
}

uint32_t irAt(unsigned second, bool rd) { return clockStamp(11, 0, second, rd); }

TEST(IrdaReport, DiscoveryInSirThenFramesAtHigherSpeeds) {
  Words w;
  // Discovery and connection at 9600 bit/s (speed code 3), SIR framing.
  sirFrame(w, SD, irAt(1, SD), {0xFF, 0x3F, 0x01, 0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF,
                                0xFF, 0x01, 0xC0, 0x00});
  sirFrame(w, RD, irAt(2, RD), {0xFE, 0xBF, 0x01, 0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56,
                                0x78, 0x01, 0x05, 0x00});
  sirFrame(w, SD, irAt(3, SD), {0xFF, 0x93, 0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78, 0x54});
  sirFrame(w, RD, irAt(4, RD), {0x54, 0x73});
  // Speed code 6: HDLC-type framing with a two-byte check sequence.
  w.word(build::speedWord(3, 6));
  hdlcFrame(w, SD, irAt(5, SD), {0x55, 0x11}, 2);
  hdlcFrame(w, RD, irAt(5, RD), {0x54, 0x11}, 2);
  hdlcFrame(w, SD, irAt(6, SD), {0x55, 0x10, 0x48, 0x65, 0x6C, 0x6C, 0x6F}, 2);
  hdlcFrame(w, RD, irAt(6, RD), {0x54, 0x32, 0x57, 0x6F, 0x72, 0x6C, 0x64}, 2, Check::Bad);
  // Speed code 8: a four-byte check sequence.
  w.word(build::speedWord(6, 8));
  hdlcFrame(w, SD, irAt(7, SD), {0x55, 0x53}, 4);
  hdlcFrame(w, RD, irAt(7, RD), {0x54, 0x73}, 4);
  EXPECT_EQ(report(4, 1, w, "2\n1\n"),
            header("(IrLAP FRAME)",
                   "*  PROTOCOL: IrDA                     *\n"
                   "*  SPEED   : 9600    CODE    : ASCII  *\n") +
                "-----TM---AD-TYPE-NR-PF-NS-FC-" + dashes(21) + "IFIELD" + dashes(21) + "\n"
                "SD:110001 FF XID      1     G 0112345678FFFFFFFF01C000\n"
                "RD:110002 FE XID      1     G 019ABCDEF012345678010500\n"
                "SD:110003 FF SNRM     1     G 9ABCDEF01234567854\n"
                "RD:110004 54 UA       1     G\n"
                "SD:110005 55 RR    0  1     G\n"
                "RD:110005 54 RR    0  1     G\n"
                "SD:110006 55 INFO  0  1  0  G 48656C6C6F\n"
                "RD:110006 54 INFO  1  1  1  E 576F726C64\n"
                "SD:110007 55 DISC     1     G\n"
                "RD:110007 54 UA       1     G\n");
}

// ---- I2C ----

// One bus transaction: start condition, bytes with their acknowledge bits and repeated
// starts, stop condition.
class Transaction {
 public:
  Transaction& ack(uint8_t b) { return put(8, b); }
  Transaction& nack(uint8_t b) { return put(9, b); }
  Transaction& restart() { return put(4, 1); }
  Words& end(Words& words) {
    words.on(SD, 4, 0);
    for (uint16_t c : cells_) words.on(SD, c & 0x1F, static_cast<uint8_t>(c >> 8));
    return words.on(SD, 5, 0).idle();
  }

 private:
  Transaction& put(unsigned status, uint8_t b) {
    cells_.push_back(cell(status, b));
    return *this;
  }
  std::vector<uint16_t> cells_;
};

TEST(I2cReport, SevenAndTenBitTransactions) {
  Words w;
  Transaction().ack(0xA0).ack(0x10).ack(0x20).end(w);
  Transaction().ack(0xA0).ack(0x00).restart().ack(0xA1).ack(0x55).nack(0x66).end(w);
  Transaction().ack(0xF2).ack(0x34).ack(0x56).ack(0x78).end(w);
  Transaction().ack(0xF2).ack(0x34).restart().ack(0xF3).ack(0x9A).nack(0xBC).end(w);
  Transaction().ack(0x00).ack(0x06).end(w);  // general call
  Transaction().nack(0x51).end(w);           // nobody answers
  Transaction long_;
  long_.ack(0xA0);
  for (uint8_t b = 0; b < 30; ++b) long_.ack(b);
  long_.end(w);
  std::string items = "A0a=>";
  const char* hex = "0123456789ABCDEF";
  for (int b = 0; b < 22; ++b) items += std::string{hex[b >> 4], hex[b & 15], 'a'};
  EXPECT_EQ(report(5, 0, w, "2\n1\n"),
            header("(I2C FRAME DUMP)",
                   "*  PROTOCOL: I2C                      *\n"
                   "*  CODE    : ASCII                    *\n") +
                "--TM---" + dashes(30) + "ADDRESS/DATA" + dashes(30) + "\n"
                "       A0a=>10a20a\n"
                "       A0a=>00a  A0a<=55a66n\n"
                "       01a34a=>56a78a\n"
                "       01a34a<=9AaBCn\n"
                "       00a06a\n"
                "       50n<=\n"
                "       " + items + "\n");
}

// ---- SPI ----

TEST(SpiReport, FramesOfBothLinesAndALongOne) {
  Words w;
  // A frame opens with a character whose flag bit 1 is set (status 10); both lines
  // shift at once, so each word carries an SD and an RD byte.
  auto both = [&w](unsigned status, uint8_t sd, uint8_t rd) {
    w.word(dataWord(cell(status, sd), cell(status, rd)));
  };
  both(10, 0x9F, 0xFF);
  both(8, 0x00, 0xEF);
  both(8, 0x00, 0x40);
  both(8, 0x00, 0x18);
  w.idle();
  both(10, 0x03, 0xFF);
  both(8, 0x00, 0xFF);
  both(8, 0x10, 0xFF);
  both(8, 0x00, 0x11);
  both(8, 0x00, 0x22);
  w.idle();
  w.on(SD, 10, 0x02);
  for (uint8_t b = 0; b < 39; ++b) w.on(SD, 8, b);
  std::string written = "02";
  const char* hex = "0123456789ABCDEF";
  for (int b = 0; b < 33; ++b) written += std::string{hex[b >> 4], hex[b & 15]};
  EXPECT_EQ(report(10, 0, w, "2\n1\n"),
            header("(SPI FRAME DUMP)",
                   "* PROTOCOL: SPI                       *\n"
                   "*  CODE    : ASCII                    *\n") +
                "-----TM---" + dashes(32) + "DATA" + dashes(32) + "\n"
                "SD:       9F000000\n"
                "RD:       FFEF4018\n"
                "SD:       0300100000\n"
                "RD:       FFFFFF1122\n"
                "SD:       " + written + "\n");
}

}  // namespace
}  // namespace qv
