// Packet-level lines: X.25 packets and Q.931 messages on top of the link frames.
#include "frames/packet_translators.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "line_test_support.h"

namespace qv::test {
namespace {

class PacketLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    x25Packet.lowerTranslator = &x25Frame;
    lapdPacket.lowerTranslator = &lapdFrame;
  }

  // The line of a LAPD I frame (SAPI 0, TEI 0, N(S) 0, N(R) 0) carrying the message.
  std::string message(std::initializer_list<uint8_t> info) {
    Frame frame = makeFrame(DirectionSd, {0x00, 0x01, 0x00, 0x00});
    return lineOf(lapdPacket, append(frame, info));
  }
  // The six-character packet type column of an X.25 modulo 8 link I frame.
  std::string packetType(int direction, std::initializer_list<uint8_t> packet) {
    Frame frame = makeFrame(direction, {0x01, 0x00});
    return lineOf(x25Packet, append(frame, packet)).substr(17, 6);
  }

  X25FrameTranslator x25Frame;
  SdlcFrameTranslator sdlcFrame;
  LapdFrameTranslator lapdFrame;
  X25PacketTranslator x25Packet;
  LapdPacketTranslator lapdPacket;
};

TEST_F(PacketLineTest, LapdMessageLines) {
  EXPECT_EQ(message({0x08, 0x01, 0x05, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3}),
            "SD:       08 SETUP     0  05    G 04038090A3");
  EXPECT_EQ(lineOf(lapdPacket, makeFrame(DirectionRd, {0x02, 0x01, 0x01, 0x01})),
            "RD:       [RR    ]              G");
  // Unnamed U frame: the control byte in hex inside the brackets.
  EXPECT_EQ(lineOf(lapdPacket, makeFrame(DirectionSd, {0x00, 0x01, 0x87})),
            "SD:       [(87)  ]              G");
  // Bit 7 set: no name, whatever the low bits are.
  EXPECT_EQ(
      lineOf(lapdPacket, makeFrame(DirectionRd, {0x00, 0x01, 0x00, 0x00, 0x08, 0x01, 0x05, 0x85})),
      "RD:       08 (85)      0  05    G");
}

// The analyzer reads every LAPD I frame as a Q.931 message, whatever its SAPI and protocol
// discriminator, names the message type from the one Q.931 table and leaves UI frames
// undecoded. Reports are compared with the analyzer's, so these lines stay as they are.
TEST_F(PacketLineTest, MessagesAreReadAsTheAnalyzerDoes) {
  struct Case {
    int direction;
    std::initializer_list<uint8_t> bytes;
    const char* line;
  };
  const Case cases[] = {
      // ALERTING keeps the analyzer's spelling.
      {DirectionRd,
       {0x02, 0x81, 0x00, 0x02, 0x08, 0x01, 0x81, 0x01},
       "RD:       08 ALAERT    1  01    G"},
      // A maintenance SERVICE message (discriminator 03, type 0F) takes the Q.931 name of 0F.
      {DirectionSd,
       {0x00, 0x81, 0x02, 0x02, 0x03, 0x01, 0x01, 0x0F, 0x01, 0x01, 0xC0},
       "SD:       03 CONN ACK  0  01    G 0101C0"},
      // An X.25 CALL REQUEST on SAPI 16: GFI and channel fill PD, CR length and CR.
      {DirectionSd,
       {0x40, 0x81, 0x04, 0x02, 0x10, 0x01, 0x0B, 0x55, 0x12, 0x34, 0x56, 0x78, 0x00},
       "SD:       10 (55)      0  0B    G 1234567800"},
      // A SETUP broadcast in a UI frame shows only the frame type, unnamed on RD.
      {DirectionRd,
       {0x02, 0xFF, 0x03, 0x08, 0x01, 0x01, 0x05, 0x04, 0x03, 0x80, 0x90, 0xA3},
       "RD:       [(03)  ]              G"},
      {DirectionSd,
       {0x00, 0x81, 0x03, 0x08, 0x01, 0x01, 0x05},
       "SD:       [UI    ]              G"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(lineOf(lapdPacket, makeFrame(c.direction, c.bytes)), c.line);
}

TEST_F(PacketLineTest, CallReferenceLengths) {
  EXPECT_EQ(message({0x08, 0x00, 0x05}), "SD:       08 SETUP" + blanks(14) + "G");
  EXPECT_EQ(message({0x08, 0x01, 0x85, 0x07}), "SD:       08 CONN      1  05    G");
  EXPECT_EQ(message({0x08, 0x02, 0x81, 0x23, 0x4D, 0xEE}), "SD:       08 REL       1  0123  G EE");
  // Only the first two call reference bytes are shown; the message type follows all of them.
  EXPECT_EQ(message({0x08, 0x03, 0x01, 0x02, 0x03, 0x5A}), "SD:       08 REL COMP  0  0102  G");
  // A length longer than the frame: the message type stays blank.
  EXPECT_EQ(message({0x08, 0x05, 0x01, 0x02}), "SD:       08" + blanks(11) + "0  0102  G");
  EXPECT_EQ(message({0x08, 0x01}), "SD:       08" + blanks(20) + "G");
}

TEST_F(PacketLineTest, MessageNames) {
  EXPECT_STREQ(lapdPacket.frameTypeName(true, FrameClassI, 0x01), "ALAERT");
  EXPECT_STREQ(lapdPacket.frameTypeName(false, FrameClassI, 0x7D), "STATUS");
  EXPECT_STREQ(lapdPacket.frameTypeName(false, FrameClassI, 0x04), nullptr);
  EXPECT_STREQ(lapdPacket.frameTypeName(true, FrameClassI, 0x85), nullptr);
  EXPECT_STREQ(lapdPacket.frameTypeName(true, FrameClassI, -1), "");
}

TEST_F(PacketLineTest, FramesWithoutAPacket) {
  // I frame with an empty information field, and a frame with no control field.
  EXPECT_EQ(message({}), "SD:" + blanks(29) + "G");
  EXPECT_EQ(lineOf(lapdPacket, makeFrame(DirectionSd, {0x00, 0x01})), "SD:" + blanks(29) + "G");
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionRd, {0x01, 0x00})), "RD:" + blanks(33) + "G");
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionRd, {})), "RD:" + blanks(33) + "G");
  // Without a link translator the fields stay blank.
  x25Packet.lowerTranslator = nullptr;
  lapdPacket.lowerTranslator = nullptr;
  const Frame frame = makeFrame(DirectionSd, {0x00, 0x01, 0x00, 0x00, 0x08, 0x00, 0x05});
  EXPECT_EQ(lineOf(x25Packet, frame), "SD:" + blanks(33) + "G");
  EXPECT_EQ(lineOf(lapdPacket, frame), "SD:" + blanks(29) + "G");
}

TEST_F(PacketLineTest, X25Packets) {
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionSd, {0x01, 0x00, 0x10, 0x05, 0x22, 0xAA, 0xBB})),
            "SD:        0   5 DT      1   1 000  G AABB");
  // GFI 0xD: Q 1, D 1; M 1, P(S) 7, P(R) 7 in the type byte.
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionRd, {0x01, 0x00, 0xD3, 0xFF, 0xFE})),
            "RD:        3 255 DT      7   7 111  G");
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionRd, {0x03, 0x01})),
            "RD:        [RR    ]" + blanks(17) + "G");
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionSd, {0x03, 0x3F})),
            "SD:        [SABM  ]" + blanks(17) + "G");
  // The packet ends inside its header.
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionSd, {0x01, 0x00, 0x1F})),
            "SD:       15" + blanks(24) + "G");
  // Modulo 128 (GFI 2): two type bytes for DT and RR.
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionSd, {0x01, 0x00, 0x21, 0x0C, 0x02, 0x05, 0x41})),
            "SD:        1  12 DT      1   2 100  G 41");
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionRd, {0x01, 0x00, 0x21, 0x0C, 0x01, 0x0A})),
            "RD:        1  12 RR" + blanks(10) + "5" + blanks(6) + "G");
  // Second type byte missing: P(S) only.
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionSd, {0x01, 0x00, 0x20, 0x01, 0x04})),
            "SD:        0   1 DT      2" + blanks(6) + "00  G");
}

TEST_F(PacketLineTest, PacketTypeColumn) {
  struct Case {
    int direction;
    std::initializer_list<uint8_t> packet;
    const char* type;
  };
  const Case cases[] = {
      {DirectionSd, {0x10, 0x05, 0x0B}, "CR    "},
      {DirectionRd, {0x10, 0x05, 0x0B}, "IC    "},
      {DirectionSd, {0x10, 0x00, 0xF3}, "REGQ  "},
      {DirectionSd, {0x10, 0x00, 0xF7}, "(F7)  "},
      {DirectionSd, {0x10, 0x05, 0x07}, "(07)  "},
      {DirectionSd, {0x10, 0x05, 0x09}, "REJ   "},
      {DirectionRd, {0x10, 0x05, 0x09}, "(09)  "},
      {DirectionRd, {0x10, 0x05, 0x0D}, "(0D)  "},
      {DirectionSd, {0x10, 0x00, 0xF1}, "DIAG  "},
      {DirectionRd, {0x10, 0x00, 0x11}, "(11)  "},
      {DirectionRd, {0x20, 0x05, 0x09, 0x0A}, "(090A)"},
      // Class 2 and 3 keep one type byte also in modulo 128.
      {DirectionSd, {0x20, 0x00, 0x11, 0x22}, "(11)  "},
  };
  for (const Case& c : cases) EXPECT_EQ(packetType(c.direction, c.packet), c.type);
}

TEST_F(PacketLineTest, BracketedFrameTypeComesFromTheLinkTranslator) {
  sdlcFrame.setModulo128(true);
  x25Packet.lowerTranslator = &sdlcFrame;
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionRd, {0xC1, 0x0D, 0x23})),
            "RD:        [(0D23)]" + blanks(17) + "G");
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionRd, {0xC1, 0x53})),
            "RD:        [RD    ]" + blanks(17) + "G");
  // Modulo 128 I frames: the packet starts after both control bytes.
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionSd, {0xC1, 0x00, 0x00, 0x10, 0x05, 0x22})),
            "SD:        0   5 DT      1   1 000  G");
}

TEST_F(PacketLineTest, ColumnHeadsAndNarrowLines) {
  EXPECT_EQ(columnHeadOf(x25Packet, 39), "-----TM---GN--CN-PTYPE--PS--PR-MQD-FC-");
  EXPECT_EQ(columnHeadOf(lapdPacket, 39), "-----TM---PD--MESSAGE-CRF-CR---FC-DATA");
  EXPECT_EQ(columnHeadOf(lapdPacket, 79),
            "-----TM---PD--MESSAGE-CRF-CR---FC-" + dashes(20) + "DATA" + dashes(20));
  EXPECT_EQ(lineOf(x25Packet, makeFrame(DirectionSd, {0x01, 0x00, 0x10, 0x05, 0x22, 0xAA}), 39),
            "SD:        0   5 DT      1   1 000  G");
  EXPECT_EQ(lineOf(lapdPacket,
                   makeFrame(DirectionSd, {0x00, 0x01, 0x00, 0x00, 0x08, 0x00, 0x05, 1, 2, 3}), 39),
            "SD:       08 SETUP" + blanks(14) + "G 0102");
}

}  // namespace
}  // namespace qv::test
