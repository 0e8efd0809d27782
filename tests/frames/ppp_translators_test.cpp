// PPP translation and dump lines, byte for byte.
#include "frames/ppp_translators.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "line_test_support.h"

namespace qv::test {
namespace {

// Direction, blank columns and the FC mark at positions 32-33.
const std::string kOnlyFcGood = "SD:" + blanks(30) + "G";

const Frame kLcpConfReq = makeFrame(
    DirectionSd, {0xFF, 0x03, 0xC0, 0x21, 0x01, 0x01, 0x00, 0x08, 0x01, 0x04, 0x05, 0xDC});

class PppLines : public ::testing::Test {
 protected:
  std::string translate(const Frame& frame, int width = 79) { return lineOf(ppp, frame, width); }
  std::string dump(const Frame& frame, int width = 79) { return lineOf(pppDump, frame, width); }

  PppTranslator ppp;
  PppDumpTranslator pppDump;
};

TEST_F(PppLines, WorkedExamples) {
  EXPECT_EQ(translate(kLcpConfReq), "SD:       LCP      CONF-REQ   1  G 0008010405DC");
  EXPECT_EQ(dump(kLcpConfReq), "SD:        G FF03C02101010008010405DC");
  // Address, control and protocol compressed: an IP datagram.
  EXPECT_EQ(translate(makeFrame(DirectionRd, {0x21, 0x45, 0x00, 0x00, 0x1C})),
            "RD:       IP       (45)       0  G 001C");
}

TEST_F(PppLines, ShortFramesLeaveTheMissingFieldsBlank) {
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xFF, 0x03, 0xC0, 0x21})),
            "SD:       LCP" + blanks(20) + "G");
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xC0, 0x21, 0x09})),
            "SD:       LCP      ECHO-REQ" + blanks(6) + "G");
  // The first byte of a two-byte protocol field alone is no protocol.
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xFF, 0x03, 0xC0})), kOnlyFcGood);
  // A lone all-stations address.
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xFF})), kOnlyFcGood);
  EXPECT_EQ(translate(makeFrame(DirectionSd, {})), kOnlyFcGood);
}

TEST_F(PppLines, ControlOtherThanUiStopsTheDecoding) {
  const Frame frame = makeFrame(DirectionRd, {0xFF, 0x13, 0xC0, 0x21, 0x01, 0x01, 0xAA});
  EXPECT_EQ(translate(frame), "RD:" + blanks(30) + "G");
  PppHeader header;
  ppp.parseHeader(&header, frame);
  EXPECT_EQ(header.address, 0xFF);
  EXPECT_EQ(header.hasControl, 1);
  EXPECT_EQ(header.control, 0x13);
  EXPECT_EQ(header.protocol, -1);
  EXPECT_EQ(header.dataCount, 0);
  // The dump still shows every byte.
  EXPECT_EQ(dump(frame), "RD:        G FF13C0210101AA");
}

TEST_F(PppLines, ProtocolCodeAndIdentifierColumns) {
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xC0, 0x23, 0x01, 0x07})),
            "SD:       PAP      CONF-REQ   7  G");
  // Unknown numbers show as four hex digits, for one- and two-byte fields alike.
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0x57, 0x02, 0x03})),
            "SD:       (0057)   CONF-ACK   3  G");
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0x80, 0x57, 0x02, 0x03})),
            "SD:       (8057)   CONF-ACK   3  G");
  // The longest names fill their columns exactly.
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xC4, 0x81, 0x0F, 0x00})),
            "SD:       PropNIDA RES-REP    0  G");
  // Unnamed codes, and identifiers up to three digits.
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xC0, 0x21, 0x00, 0x00})),
            "SD:       LCP      (00)       0  G");
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xC0, 0x21, 0x10, 0xFF})),
            "SD:       LCP      (10)     255  G");
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0x80, 0x21, 0x05, 0x2A})),
            "SD:       IPCP     TERM-REQ  42  G");
}

// Where the analyzer's PPP names differ from the assigned ones: code and identifier come
// from the two bytes after any protocol field, authentication codes take the LCP names,
// IPv6 sits at 0x004F, and CCP's Reset-Ack is RES-REP. Reports are compared with the
// analyzer's, so these lines stay as they are.
TEST_F(PppLines, NamesFollowTheAnalyzer) {
  struct Case {
    std::initializer_list<uint8_t> bytes;
    const char* line;
  };
  const Case cases[] = {
      // An IP datagram: version and header length, then type of service.
      {{0xFF, 0x03, 0x00, 0x21, 0x45, 0x00, 0x00, 0x1C}, "SD:       IP       (45)       0  G 001C"},
      // CHAP Challenge, Response, Success, Failure; PAP Authenticate-Nak.
      {{0xFF, 0x03, 0xC2, 0x23, 0x01, 0x01, 0x00, 0x06, 0x01, 0xAA},
       "SD:       CHAP     CONF-REQ   1  G 000601AA"},
      {{0xFF, 0x03, 0xC2, 0x23, 0x02, 0x01, 0x00, 0x06, 0x01, 0xBB},
       "SD:       CHAP     CONF-ACK   1  G 000601BB"},
      {{0xFF, 0x03, 0xC2, 0x23, 0x03, 0x01, 0x00, 0x04}, "SD:       CHAP     CONF-NAK   1  G 0004"},
      {{0xFF, 0x03, 0xC2, 0x23, 0x04, 0x01, 0x00, 0x04}, "SD:       CHAP     CONF-REJ   1  G 0004"},
      {{0xFF, 0x03, 0xC0, 0x23, 0x03, 0x02, 0x00, 0x05, 0x00},
       "SD:       PAP      CONF-NAK   2  G 000500"},
      // A real IPv6 datagram (0x0057) is unnamed; 0x004F and 0x804F carry the IPv6 names.
      {{0xFF, 0x03, 0x00, 0x57, 0x60, 0x00, 0x00, 0x00, 0x00, 0x08},
       "SD:       (0057)   (60)       0  G 00000008"},
      {{0xFF, 0x03, 0x00, 0x4F, 0x01, 0x02, 0x03}, "SD:       IPv6     CONF-REQ   2  G 03"},
      {{0xFF, 0x03, 0x80, 0x4F, 0x01, 0x03, 0x00, 0x04}, "SD:       IPv6CP   CONF-REQ   3  G 0004"},
      // CCP Reset-Request and Reset-Ack.
      {{0xFF, 0x03, 0x80, 0xFD, 0x0E, 0x05, 0x00, 0x04}, "SD:       CCP      RES-REQ    5  G 0004"},
      {{0xFF, 0x03, 0x80, 0xFD, 0x0F, 0x05, 0x00, 0x04}, "SD:       CCP      RES-REP    5  G 0004"},
  };
  for (const Case& c : cases) EXPECT_EQ(translate(makeFrame(DirectionSd, c.bytes)), c.line);
}

TEST_F(PppLines, NameLookupsCoverBothEndsAndTheGaps) {
  const struct {
    int protocol;
    const char* name;
  } protocols[] = {{0x0001, "Padding"}, {0xC481, "PropNIDA"}, {0x0233, "SigmaNS"},
                   {0x8021, "IPCP"},    {0x80FD, "CCP"},      {0xC223, "CHAP"},
                   {0x0000, nullptr},   {0x0057, nullptr},    {0x8022, nullptr},
                   {0xFFFF, nullptr}};
  for (const auto& p : protocols)
    EXPECT_STREQ(PppTranslator::protocolName(p.protocol), p.name) << p.protocol;
  EXPECT_STREQ(PppTranslator::codeName(15), "RES-REP");
  EXPECT_EQ(PppTranslator::codeName(16), nullptr);
}

TEST_F(PppLines, DataIsCutToTheLineWidth) {
  EXPECT_EQ(translate(kLcpConfReq, 39), "SD:       LCP      CONF-REQ   1  G 0008");
  EXPECT_EQ(dump(kLcpConfReq, 39), "SD:        G FF03C02101010008010405DC");
  Frame longFrame = makeFrame(DirectionSd, {});
  for (int i = 0; i < 20; ++i) append(longFrame, {static_cast<uint8_t>(i)});
  EXPECT_EQ(dump(longFrame, 39), "SD:        G 000102030405060708090A0B0C");
  EXPECT_EQ(dump(longFrame), "SD:        G 000102030405060708090A0B0C0D0E0F10111213");
}

TEST_F(PppLines, CountOutsideTheStoredCellsReadsNothingBeyondThem) {
  Frame frame = kLcpConfReq;
  frame.count = -2;  // a check length larger than the frame
  EXPECT_EQ(translate(frame), kOnlyFcGood);
  EXPECT_EQ(dump(frame), "SD:        G");
  frame.count = 1000;
  for (auto& cell : frame.cells) cell = 0x2108;
  EXPECT_EQ(dump(frame, 135).size(), 13u + 2 * 61);
}

TEST_F(PppLines, ColumnHeads) {
  EXPECT_EQ(columnHeadOf(ppp, 79),
            "-----TM---PROTOCOL-CODE------ID-FC-" + dashes(20) + "DATA" + dashes(20));
  EXPECT_EQ(columnHeadOf(ppp, 39), "-----TM---PROTOCOL-CODE------ID-FC-DATA");
  EXPECT_EQ(columnHeadOf(pppDump, 79), "-----TM---FC-" + dashes(31) + "DATA" + dashes(31));
  EXPECT_EQ(columnHeadOf(pppDump, 39), "-----TM---FC-" + dashes(11) + "DATA" + dashes(11));
}

}  // namespace
}  // namespace qv::test
