// The BSC translation through the whole program: dialogue, dispatch and report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_builder.h"
#include "session.h"

namespace qv {
namespace {

using build::cell;
using build::dataWord;
using build::rdChar;
using build::sdChar;

constexpr char kBscDialogue[] =
    "===== QUORVIS Data File Converter =====\n"
    " Version 1.04\n"
    "\n"
    "Data filename ? Save filename ? \n"
    "Print format (1:Normal, 2:Translate) ? "
    "Select data line (1:SD & RD, 2:SD, 3:RD) ? "
    "Skip IDLE/TMSP (1:No, 2:Yes) ? "
    "Skip guide (1:No, 2:Yes) ? "
    "Convert start.\n"
    "Complete.\n";

void append(std::vector<uint32_t>& words, std::initializer_list<uint32_t> more) {
  words.insert(words.end(), more);
}

TEST(BscEndToEnd, SyncEbcdicPollingAndTransparentReply) {
  build::Conditions sync;
  sync.protocol = 1;
  sync.code = 1;  // EBCDIC
  sync.checkKind = 3;
  std::vector<uint32_t> words;
  // Poll: EOT, station address, ENQ. A bare EOT shows nothing in EBCDIC.
  append(words, {sdChar(0x37), sdChar(0x40), sdChar(0x40), sdChar(0x7F), sdChar(0x7F),
                 sdChar(0x2D), build::idleWord(250)});
  // Reply: STX, text, ETB and its good check character; a flagged character is ignored.
  append(words, {rdChar(0x02), rdChar(0xC1), rdChar(0xC2, 9), rdChar(0xC3), rdChar(0x26),
                 rdChar(0x5A, 16), build::clockStamp(10, 20, 30, true)});
  // Positive acknowledgement, then a transparent block with a data DLE and a bare ETX.
  append(words, {sdChar(0x10), sdChar(0x70), rdChar(0x10), rdChar(0x02), rdChar(0xC1),
                 rdChar(0x10), rdChar(0x10), rdChar(0x03), rdChar(0xC2), rdChar(0x10),
                 rdChar(0x03)});
  // Both directions in one word: SD's symbol comes first.
  append(words, {sdChar(0x10), dataWord(cell(8, 0x61), cell(8, 0x3D)), build::markerWord(0),
                 rdChar(0x10), rdChar(0x37), sdChar(0x02), sdChar(0x2D)});
  // The 29th symbol opens a second block.
  append(words, {sdChar(0x10), sdChar(0x37), rdChar(0x2D)});

  const test::Conversion result =
      test::convert(build::CaptureBuilder().dinf(sync).mond(words).bytes(), "2\n1\n1\n1\n");
  EXPECT_EQ(result.session.status, 0);
  EXPECT_EQ(result.session.console, kBscDialogue);
  EXPECT_EQ(result.report,
            "*=[KOVREN]=[DATE-TIME]=*\n"
            "* MONITOR DATA (BSC TRANSLATE)        *\n"
            "*  PROTOCOL: SYNC                     *\n"
            "*  S-SPEED : 9600    R-SPEED : 9600   *\n"
            "*  CODE    : EBCDIC  CHAR BIT: 8      *\n"
            "*  PARITY  : NONE    CLOCK   : ST1    *\n"
            "*  BCC     : CRC-16  FORMAT  : NRZ    *\n"
            "*=====================================*\n"
            "\n"
            "SD:EQ[ IDLE ]        [ TMSP ]AK 0          AK 1  OE     T D\n"
            "RD:  [ 0250 ]SX -EB{}[102030]    DLSX -DLEX    NK||DLET\n"
            "\n"
            "SD:DLET\n"
            "RD:    EQ\n"
            "\n");
}

TEST(BscEndToEnd, AsyncWithoutStampFlagsTranslatesBscWithoutAsking) {
  build::Conditions async;  // ASCII, both stamp flags zero
  std::vector<uint32_t> words;
  for (int i = 0; i < 3; ++i) {
    append(words, {sdChar(0x02), sdChar('D'), sdChar('A'), sdChar('T'), sdChar('A'),
                   sdChar(0x17), build::idleWord(5), build::counterStamp(77)});
  }
  append(words, {sdChar(0x02), sdChar('E'), sdChar('N'), sdChar('D'), sdChar(0x03),
                 rdChar(0x10), rdChar(0x31), sdChar(0x04)});
  for (int i = 0; i < 20; ++i) append(words, {sdChar(0x05), rdChar(0x15)});

  // SD only, idle counts and time stamps skipped, guide shown.
  const test::Conversion result =
      test::convert(build::CaptureBuilder().dinf(async).mond(words).bytes(), "2\n2\n2\n1\n");
  EXPECT_EQ(result.session.status, 0);
  EXPECT_EQ(result.session.console, kBscDialogue);
  const std::string enq15 = "EQEQEQEQEQEQEQEQEQEQEQEQEQEQEQ";
  EXPECT_EQ(result.report,
            "*=[KOVREN]=[DATE-TIME]=*\n"
            "* MONITOR DATA (BSC TRANSLATE)        *\n"
            "*  PROTOCOL: ASYNC                    *\n"
            "*  S-SPEED : 9600    R-SPEED : 9600   *\n"
            "*  CODE    : ASCII   CHAR BIT: 8      *\n"
            "*  PARITY  : NONE    STOP BIT: 1      *\n"
            "*  BCC     : NONE                     *\n"
            "*=====================================*\n"
            "\n"
            "SD:SX -EBSX -EBSX -EBSX -EXET" + enq15 + "\n"
            "\n"
            "SD:EQEQEQEQEQ\n"
            "\n");
}

}  // namespace
}  // namespace qv
