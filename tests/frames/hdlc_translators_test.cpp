// Frame-level lines of the SDLC, X.25 and LAPD translators.
#include "frames/hdlc_translators.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "line_test_support.h"

namespace qv::test {
namespace {

class HdlcLineTest : public ::testing::Test {
 protected:
  SdlcFrameTranslator sdlc;
  X25FrameTranslator x25;
  LapdFrameTranslator lapd;
};

TEST_F(HdlcLineTest, Modulo8Lines) {
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {0xC1, 0x10, 0x01, 0x02, 0x03})),
            "SD:       C1 INFO   0  1  0   G 010203");
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionRd, {0xC1, 0x73})), "RD:       C1 UA        1      G");
  // S frame: N(R) 5, P/F 0, no N(S).
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {0x01, 0xA1}, FrameEndStatus::FcsError)),
            "SD:       01 RR        0  5   E");
  // Unnamed S and U types show their control byte.
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {0x01, 0x0D}, FrameEndStatus::Ended)),
            "SD:       01 (0D)      0  0");
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {0x01, 0x0F}, FrameEndStatus::Ended)),
            "SD:       01 (0F)      0");
  Frame stamped = makeFrame(DirectionRd, {0xC1, 0x73}, FrameEndStatus::EndSF);
  stamped.stampWord = 4u | (12u << 8) | (34u << 16) | (56u << 24);
  EXPECT_EQ(lineOf(sdlc, stamped), "RD:123456 C1 UA        1     SF");
}

TEST_F(HdlcLineTest, UnnumberedNamesDependOnDirection) {
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {0xC1, 0x53})), "SD:       C1 DISC      1      G");
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionRd, {0xC1, 0x53})), "RD:       C1 RD        1      G");
  // UI exists in SDLC but not in X.25.
  EXPECT_EQ(lineOf(x25, makeFrame(DirectionSd, {0x03, 0x03})), "SD:       03 (03)      0      G");
}

// The analyzer names LAPB and LAPD unnumbered frames by the line they were seen on, SD
// with the command name and RD with the response name, not by the LAPB address or the
// LAPD C/R bit. Reports are compared with the analyzer's, so these names stay as they are.
TEST_F(HdlcLineTest, UnnumberedNamesFollowTheLineNotTheAddressOrCrBit) {
  struct Case {
    FrameTranslator* translator;
    int direction;
    std::initializer_list<uint8_t> bytes;
    const char* line;
  };
  const Case cases[] = {
      // LAPB DM response with F set, sent by the DTE: the SD name of the same control byte.
      {&x25, DirectionSd, {0x03, 0x1F}, "SD:       03 SARM      1      G"},
      {&x25, DirectionRd, {0x03, 0x1F}, "RD:       03 DM        1      G"},
      // LAPB SABM command with P set, sent by the DCE: RD has no name for it.
      {&x25, DirectionRd, {0x03, 0x3F}, "RD:       03 (3F)      1      G"},
      {&x25, DirectionSd, {0x01, 0x3F}, "SD:       01 SABM      1      G"},
      // LAPD UI commands: from the user (C/R 0) on SD, and a broadcast from the network
      // (C/R 1, TEI 127) on RD, where UI has no name.
      {&lapd, DirectionSd, {0x00, 0x81, 0x03, 0x08}, "SD:        0  64 0 UI        0      G 08"},
      {&lapd,
       DirectionRd,
       {0x02, 0xFF, 0x03, 0x08, 0x01, 0x01, 0x05},
       "RD:        0 127 1 (03)      0      G 08010105"},
      // A LAPD DM response from the user (C/R 1) on SD: no SD name either.
      {&lapd, DirectionSd, {0x02, 0x81, 0x1F}, "SD:        0  64 1 (1F)      1      G"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(lineOf(*c.translator, makeFrame(c.direction, c.bytes)), c.line);
}

TEST_F(HdlcLineTest, ShortOrMiscountedFramesShowOnlyTheFieldsPresent) {
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {})), "SD:" + blanks(27) + "G");
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {}, FrameEndStatus::Open)), "SD:");
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionRd, {0xC1})), "RD:       C1" + blanks(18) + "G");
  // A check verdict on a frame shorter than its check sequence leaves a negative count.
  Frame shortened = makeFrame(DirectionSd, {0xC1, 0x10});
  shortened.count = -2;
  EXPECT_EQ(lineOf(sdlc, shortened), "SD:" + blanks(27) + "G");
  // A count beyond the stored cells reads only those.
  Frame overlong = makeFrame(DirectionSd, {0xC1, 0x10});
  overlong.count = 1000;
  HdlcHeader header;
  sdlc.parseHeader(&header, overlong);
  EXPECT_EQ(header.infoStart, 2);
  EXPECT_EQ(header.infoCount, kFrameCells - 2);
}

TEST_F(HdlcLineTest, Modulo128ControlFields) {
  sdlc.setModulo128(true);
  x25.setModulo128(true);
  // I frame cut after its first control byte: N(S) only.
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {0xC1, 0xFE})),
            "SD:       C1 INFO  127" + blanks(8) + "G");
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {0xC1, 0x0A, 0x05, 0xAB})),
            "SD:       C1 INFO    5 1   2  G AB");
  // S frame with an unnamed function keeps both control bytes in the type column.
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionRd, {0xC1, 0x0D, 0x23})),
            "RD:       C1 (0D23)    1  17  G");
  EXPECT_EQ(lineOf(x25, makeFrame(DirectionRd, {0x01, 0x01, 0x0B})),
            "RD:       01 RR        1   5  G");
  // U frames keep one control byte: the information starts right after it.
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {0xC1, 0x03, 0xAA, 0xBB})),
            "SD:       C1 UI        0      G AABB");
}

TEST_F(HdlcLineTest, NameTables) {
  struct Case {
    FrameTranslator* translator;
    bool isSd;
    int frameClass;
    int typeIndex;
    const char* name;
  };
  const Case cases[] = {
      {&sdlc, true, FrameClassI, 0, "INFO"},   {&lapd, false, FrameClassI, 0, "INFO"},
      {&x25, false, FrameClassS, 2, "REJ"},    {&lapd, true, FrameClassS, 1, "RNR"},
      {&sdlc, true, FrameClassS, 3, nullptr},  {&sdlc, true, FrameClassS, 4, nullptr},
      {&sdlc, true, FrameClassU, 1, "SIM"},    {&sdlc, false, FrameClassU, 1, "RIM"},
      {&sdlc, false, FrameClassU, 31, "BCN"},  {&sdlc, true, FrameClassU, 31, nullptr},
      {&sdlc, true, FrameClassU, 27, "SNRME"}, {&x25, true, FrameClassU, 15, "SABME"},
      {&x25, true, FrameClassU, 23, nullptr},  {&lapd, true, FrameClassU, 0, "UI"},
      {&lapd, false, FrameClassU, 0, nullptr}, {&lapd, false, FrameClassU, 23, "XID"},
      {&sdlc, true, FrameClassAbsent, 0, ""},  {&lapd, true, FrameClassAbsent, 0, ""},
  };
  for (const Case& c : cases) {
    const char* name = c.translator->frameTypeName(c.isSd, c.frameClass, c.typeIndex);
    SCOPED_TRACE(std::to_string(c.frameClass) + "/" + std::to_string(c.typeIndex));
    EXPECT_STREQ(name, c.name);  // also tells no name (nullptr) from the empty string
  }
}

TEST_F(HdlcLineTest, TitlesFollowTheModulus) {
  EXPECT_STREQ(sdlc.title(), "(SDLC FRAME)");
  EXPECT_STREQ(x25.shortTag(), "F -X.25-");
  sdlc.setModulo128(true);
  x25.setModulo128(true);
  EXPECT_STREQ(sdlc.title(), "(SDLC MOD128 FRAME)");
  EXPECT_STREQ(sdlc.shortTag(), "F-SDLCE-");
  EXPECT_STREQ(x25.title(), "(X.25 MOD128 FRAME)");
  EXPECT_STREQ(lapd.title(), "(LAPD FRAME)");
}

TEST_F(HdlcLineTest, ColumnHeadsAndNarrowLines) {
  EXPECT_EQ(columnHeadOf(sdlc, 79),
            "-----TM---AD-TYPE---NS-PF-NR-FC-" + dashes(21) + "DATA" + dashes(21));
  EXPECT_EQ(columnHeadOf(lapd, 79),
            "-----TM--SAP--TE-CR-TYPE--NS-PF-NR-FC-" + dashes(18) + "DATA" + dashes(18));
  EXPECT_EQ(columnHeadOf(sdlc, 39), "-----TM---AD-TYPE---NS-PF-NR-FC--DATA-");
  EXPECT_EQ(columnHeadOf(lapd, 39), "-----TM--SAP--TE-CR-TYPE--NS-PF-NR-FC-");
  // Narrow lines cut the information bytes.
  EXPECT_EQ(lineOf(sdlc, makeFrame(DirectionSd, {0xC1, 0x10, 1, 2, 3, 4, 5}), 39),
            "SD:       C1 INFO   0  1  0   G 010203");
  EXPECT_EQ(lineOf(lapd, makeFrame(DirectionSd, {0x00, 0x01, 0x00, 0x00, 1, 2}), 39),
            "SD:        0   0 0 INFO    0 0   0  G");
  // The widest line still ends inside the line buffer.
  Frame full = makeFrame(DirectionSd, {0xC1, 0x10});
  full.count = kFrameCells;
  EXPECT_EQ(lineOf(sdlc, full, 135).size(), 32u + 2 * 51);
}

TEST_F(HdlcLineTest, LapdAddressAndControl) {
  // SAPI 0 with C/R 1, TEI 127, I frame N(S) 64, P 1, N(R) 17.
  EXPECT_EQ(lineOf(lapd, makeFrame(DirectionSd, {0x02, 0xFF, 0x80, 0x23, 0x08})),
            "SD:        0 127 1 INFO   64 1  17  G 08");
  EXPECT_EQ(lineOf(lapd, makeFrame(DirectionRd, {0xFC, 0x01, 0x73})),
            "RD:       63   0 0 UA        1      G");
  EXPECT_EQ(lineOf(lapd, makeFrame(DirectionRd, {0x00, 0x01, 0x0D, 0x01})),
            "RD:        0   0 0 (0D01)    1   0  G");
  // The frame ends inside the address or control field.
  EXPECT_EQ(lineOf(lapd, makeFrame(DirectionSd, {0xFE})), "SD:       63     1" + blanks(18) + "G");
  EXPECT_EQ(lineOf(lapd, makeFrame(DirectionSd, {0x00, 0x01, 0x04})),
            "SD:        0   0 0 INFO    2" + blanks(8) + "G");
  // LAPD control fields are always two bytes.
  HdlcHeader header;
  lapd.parseHeader(&header, makeFrame(DirectionSd, {0x00, 0x01, 0x02, 0x04}));
  EXPECT_EQ(header.ns, 1);
  EXPECT_EQ(header.nr, 2);
  EXPECT_EQ(header.controlLength, 2);
  EXPECT_EQ(header.infoCount, 0);
}

}  // namespace
}  // namespace qv::test
