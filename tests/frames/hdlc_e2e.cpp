// Whole HDLC-family reports through the operator dialogue: SDLC frames, X.25 modulo 128
// packets and Q.931 messages over LAPD.
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
using build::dataWord;

enum class Check { Good, Bad, Abort };

// Record words of one frame of one direction: the opening (a stamp word, or a status-4
// cell when stamp is 0), the bytes, two check bytes whose last one carries the verdict,
// and the closing cell (status 6 for an aborted frame, which has no check bytes).
class FrameWords {
 public:
  FrameWords& frame(bool rd, uint32_t stamp, std::initializer_list<uint8_t> bytes,
                    Check check = Check::Good) {
    words_.push_back(stamp != 0 ? stamp : onLane(rd, cell(4, 0)));
    for (uint8_t byte : bytes) words_.push_back(onLane(rd, cell(8, byte)));
    if (check != Check::Abort) {
      words_.push_back(onLane(rd, cell(8, 0x5A)));
      words_.push_back(onLane(rd, cell(check == Check::Good ? 16 : 20, 0xA5)));
    }
    words_.push_back(onLane(rd, cell(check == Check::Abort ? 6 : 5, 0)));
    words_.push_back(build::idleWord(3));
    return *this;
  }
  const std::vector<uint32_t>& words() const { return words_; }

 private:
  static uint32_t onLane(bool rd, uint16_t c) { return rd ? dataWord(0, c) : dataWord(c, 0); }
  std::vector<uint32_t> words_;
};

constexpr bool SD = false;
constexpr bool RD = true;

build::Conditions hdlcConditions(int frameProtocol, int packetProtocol, uint8_t stampFlag) {
  build::Conditions conditions;
  conditions.protocol = 2;
  conditions.checkKind = 1;  // FCS16
  conditions.stampFlag1 = stampFlag;
  conditions.frameProtocol = frameProtocol;
  conditions.packetProtocol = packetProtocol;
  return conditions;
}

std::string reportOf(const build::Conditions& conditions, const FrameWords& frames,
                     const std::string& level) {
  const std::vector<uint8_t> capture =
      build::CaptureBuilder().dinf(conditions).mond(frames.words()).bytes();
  const test::Conversion conversion = test::convert(capture, "2\n1\n" + level + "\n");
  EXPECT_EQ(conversion.session.status, 0) << conversion.session.console;
  return conversion.report;
}

std::string header(const std::string& title) {
  return "*=[KOVREN]=[DATE-TIME]=*\n"
         "* MONITOR DATA " + title + std::string(22 - title.size(), ' ') + " *\n"
         "*  PROTOCOL: HDLC                     *\n"
         "*  S-SPEED : 9600    R-SPEED : 9600   *\n"
         "*  CODE    : ASCII   FCS     : FCS16  *\n"
         "*  FORMAT  : NRZ     CLOCK   : ST1    *\n"
         "*  S-ADDR  : *       R-ADDR  : *      *\n"
         "*=====================================*\n"
         "\n";
}

std::string dashes(int n) { return std::string(n, '-'); }
std::string blanks(int n) { return std::string(n, ' '); }

TEST(HdlcReport, SdlcFramesWithTimeStamps) {
  FrameWords frames;
  frames.frame(SD, build::clockStamp(12, 34, 56), {0xC1, 0x10, 0x01, 0x02, 0x03})
      .frame(RD, build::clockStamp(12, 34, 57, true), {0xC1, 0x73})
      .frame(SD, build::counterStamp(5), {0xC1, 0x53}, Check::Bad)
      .frame(RD, build::clockStamp(12, 34, 58, true), {0xC1, 0x53})
      .frame(SD, build::clockStamp(12, 34, 59), {0xC1, 0x12, 0xAA}, Check::Abort)
      .frame(RD, build::clockStamp(12, 35, 0, true), {0xC1, 0x0D});
  EXPECT_EQ(reportOf(hdlcConditions(0, 0, 1), frames, "1"),
            header("(SDLC FRAME)") +
                "-----TM---AD-TYPE---NS-PF-NR-FC-" + dashes(21) + "DATA" + dashes(21) + "\n"
                "SD:123456 C1 INFO   0  1  0   G 010203\n"
                "RD:123457 C1 UA        1      G\n"
                "SD:000005 C1 DISC      1      E\n"
                "RD:123458 C1 RD        1      G\n"
                "SD:123459 C1 INFO   1  1  0  SF AA\n"
                "RD:123500 C1 (0D)      0  0   G\n");
}

TEST(HdlcReport, X25Modulo128Packets) {
  FrameWords frames;
  frames.frame(SD, 0, {0x01, 0x7F})
      .frame(RD, 0, {0x01, 0x73})
      .frame(SD, 0, {0x01, 0x00, 0x00, 0x21, 0x0C, 0x0B, 0x00, 0xAA})
      .frame(RD, 0, {0x01, 0x00, 0x02, 0x21, 0x0C, 0x0F})
      .frame(SD, 0, {0x01, 0x02, 0x02, 0x21, 0x0C, 0x02, 0x05, 0x41, 0x42})
      .frame(RD, 0, {0x01, 0x02, 0x04, 0x21, 0x0C, 0x01, 0x0A})
      .frame(RD, 0, {0x01, 0x04, 0x04, 0x21, 0x0C, 0x09, 0x0A})
      .frame(RD, 0, {0x01, 0x01, 0x04})
      .frame(SD, 0, {0x01, 0x0D, 0x23});
  EXPECT_EQ(reportOf(hdlcConditions(3, 0, 0), frames, "2"),
            header("(X.25 PACKET)") +
                "-----TM---GN--CN-PTYPE--PS--PR-MQD-FC-" + dashes(18) + "DATA" + dashes(18) + "\n"
                "SD:        [SABME ]" + blanks(17) + "G\n"
                "RD:        [UA    ]" + blanks(17) + "G\n"
                "SD:        1  12 CR" + blanks(17) + "G 00AA\n"
                "RD:        1  12 CC" + blanks(17) + "G\n"
                "SD:        1  12 DT      1   2 100  G 4142\n"
                "RD:        1  12 RR" + blanks(10) + "5" + blanks(6) + "G\n"
                "RD:        1  12 (090A)" + blanks(6) + "5" + blanks(6) + "G\n"
                "RD:        [RR    ]" + blanks(17) + "G\n"
                "SD:        [(0D23)]" + blanks(17) + "G\n");
}

TEST(HdlcReport, Q931MessagesOverLapd) {
  FrameWords frames;
  frames.frame(SD, build::counterStamp(1), {0x00, 0x01, 0x7F})
      .frame(RD, build::counterStamp(2, true), {0x00, 0x01, 0x73})
      .frame(SD, build::counterStamp(3), {0x00, 0x01, 0x00, 0x00, 0x08, 0x01, 0x05, 0x05, 0x04,
                                          0x03, 0x80, 0x90, 0xA3})
      .frame(RD, build::counterStamp(4, true), {0x02, 0x01, 0x01, 0x02})
      .frame(RD, build::counterStamp(200, true), {0x02, 0x01, 0x00, 0x02, 0x08, 0x01, 0x85, 0x07})
      .frame(SD, build::counterStamp(201), {0x00, 0x01, 0x02, 0x02, 0x08, 0x01, 0x05, 0x4D})
      .frame(RD, build::counterStamp(202, true), {0x02, 0x01, 0x02, 0x04, 0x08, 0x01, 0x85, 0x5A})
      .frame(SD, build::counterStamp(203), {0x00, 0x01, 0x04, 0x04, 0x08, 0x02, 0x05, 0x01, 0x85});
  EXPECT_EQ(reportOf(hdlcConditions(4, 1, 1), frames, "2"),
            header("(LAPD PACKET)") +
                "-----TM---PD--MESSAGE-CRF-CR---FC-" + dashes(20) + "DATA" + dashes(20) + "\n"
                "SD:000001 [SABME ]              G\n"
                "RD:000002 [UA    ]              G\n"
                "SD:000003 08 SETUP     0  05    G 04038090A3\n"
                "RD:000004 [RR    ]              G\n"
                "RD:000200 08 CONN      1  05    G\n"
                "SD:000201 08 REL       0  05    G\n"
                "RD:000202 08 REL COMP  1  05    G\n"
                "SD:000203 08 (85)      0  0501  G\n");
}

}  // namespace
}  // namespace qv
