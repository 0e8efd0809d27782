// PPP translation and dump lines, byte for byte.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "frames/ppp_translators.h"

namespace qv {
namespace {

Frame makeFrame(uint8_t direction, std::initializer_list<uint8_t> bytes,
                uint8_t endStatus = FcsGood) {
  Frame frame;
  frame.direction = direction;
  frame.endStatus = endStatus;
  for (uint8_t b : bytes) frame.cells[frame.count++] = static_cast<uint16_t>(b << 8 | 8);
  return frame;
}

std::string blanks(int n) { return std::string(n, ' '); }
// Direction, blank columns and the FC mark at positions 32-33.
const std::string kOnlyFcGood = "SD:" + blanks(30) + "G";

class PppLines : public ::testing::Test {
 protected:
  std::string translate(const Frame& frame, int width = 79) {
    ppp.prepare(width, buffer, nullptr);
    ppp.translate(frame);
    return buffer;
  }
  std::string dump(const Frame& frame, int width = 79) {
    pppDump.prepare(width, buffer, nullptr);
    pppDump.translate(frame);
    return buffer;
  }

  PppTranslator ppp;
  PppDumpTranslator pppDump;
  char buffer[kLineBufferSize] = {};
};

const Frame kLcpConfReq = makeFrame(DirectionSd, {0xFF, 0x03, 0xC0, 0x21, 0x01, 0x01, 0x00, 0x08,
                                                  0x01, 0x04, 0x05, 0xDC});

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
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xFF, 0x03, 0xC0})),
            kOnlyFcGood);
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

TEST_F(PppLines, ProtocolColumn) {
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xC0, 0x23, 0x01, 0x07})),
            "SD:       PAP      CONF-REQ   7  G");
  // Unknown numbers show as four hex digits, for one- and two-byte fields alike.
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0x57, 0x02, 0x03})),
            "SD:       (0057)   CONF-ACK   3  G");
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0x80, 0x57, 0x02, 0x03})),
            "SD:       (8057)   CONF-ACK   3  G");
  // Names longer than the column are cut at nine characters; none here is, so the
  // longest ones fill it exactly.
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xC4, 0x81, 0x0F, 0x00})),
            "SD:       PropNIDA RES-REP    0  G");
}

TEST_F(PppLines, ProtocolTableLookupCoversBothEndsAndTheGaps) {
  EXPECT_STREQ(PppTranslator::protocolName(0x0001), "Padding");
  EXPECT_STREQ(PppTranslator::protocolName(0xC481), "PropNIDA");
  EXPECT_STREQ(PppTranslator::protocolName(0x0233), "SigmaNS");
  EXPECT_STREQ(PppTranslator::protocolName(0x8021), "IPCP");
  EXPECT_STREQ(PppTranslator::protocolName(0x80FD), "CCP");
  EXPECT_STREQ(PppTranslator::protocolName(0xC223), "CHAP");
  EXPECT_EQ(PppTranslator::protocolName(0x0000), nullptr);
  EXPECT_EQ(PppTranslator::protocolName(0x0057), nullptr);
  EXPECT_EQ(PppTranslator::protocolName(0x8022), nullptr);
  EXPECT_EQ(PppTranslator::protocolName(0xFFFF), nullptr);
}

TEST_F(PppLines, CodeAndIdentifierColumns) {
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xC0, 0x21, 0x00, 0x00})),
            "SD:       LCP      (00)       0  G");
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0xC0, 0x21, 0x10, 0xFF})),
            "SD:       LCP      (10)     255  G");
  EXPECT_EQ(translate(makeFrame(DirectionSd, {0x80, 0x21, 0x05, 0x2A})),
            "SD:       IPCP     TERM-REQ  42  G");
  EXPECT_STREQ(PppTranslator::codeName(15), "RES-REP");
  EXPECT_EQ(PppTranslator::codeName(16), nullptr);
}

TEST_F(PppLines, DataIsCutToTheLineWidth) {
  EXPECT_EQ(translate(kLcpConfReq, 39), "SD:       LCP      CONF-REQ   1  G 0008");
  EXPECT_EQ(dump(kLcpConfReq, 39), "SD:        G FF03C02101010008010405DC");
  Frame longFrame = makeFrame(DirectionSd, {});
  for (int i = 0; i < 20; ++i) {
    longFrame.cells[longFrame.count++] = static_cast<uint16_t>(i << 8 | 8);
  }
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
  const std::string line = dump(frame, 135);
  EXPECT_EQ(line.size(), 13u + 2 * 61);
}

TEST_F(PppLines, NoDirectionGivesAnEmptyLine) {
  Frame frame = kLcpConfReq;
  frame.direction = DirectionNone;
  ppp.prepare(79, buffer, nullptr);
  EXPECT_EQ(ppp.translate(frame), 1);
  EXPECT_STREQ(buffer, "");
  pppDump.prepare(79, buffer, nullptr);
  EXPECT_EQ(pppDump.translate(frame), 1);
  EXPECT_STREQ(buffer, "");
}

TEST_F(PppLines, ColumnHeads) {
  ppp.prepare(79, buffer, nullptr);
  ppp.writeColumnHead();
  EXPECT_EQ(std::string(buffer), "-----TM---PROTOCOL-CODE------ID-FC-" + std::string(20, '-') +
                                     "DATA" + std::string(20, '-'));
  ppp.prepare(39, buffer, nullptr);
  ppp.writeColumnHead();
  EXPECT_STREQ(buffer, "-----TM---PROTOCOL-CODE------ID-FC-DATA");
  pppDump.prepare(79, buffer, nullptr);
  pppDump.writeColumnHead();
  EXPECT_EQ(std::string(buffer),
            "-----TM---FC-" + std::string(31, '-') + "DATA" + std::string(31, '-'));
  pppDump.prepare(39, buffer, nullptr);
  pppDump.writeColumnHead();
  EXPECT_EQ(std::string(buffer),
            "-----TM---FC-" + std::string(11, '-') + "DATA" + std::string(11, '-'));
}

}  // namespace
}  // namespace qv
