#include "report/code_tables.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace qv {
namespace {

std::string cell(int code, int byte, bool alternate = false) {
  const DisplayCell c = displayCell(code, static_cast<uint8_t>(byte), alternate);
  return std::string(c.begin(), c.end());
}

std::string raw(int byte) { return std::string(" ") + static_cast<char>(byte); }

TEST(CodeTables, SpacesAndUndefinedCodePointsAreBlank) {
  EXPECT_EQ(cell(CodeAscii, 0x20), "  ");
  EXPECT_EQ(cell(CodeAscii, 0x80), "  ");
  EXPECT_EQ(cell(CodeAscii, 0xFF), "  ");
  EXPECT_EQ(cell(CodeEbcdic, 0x40), "  ");
  for (int byte : {0x30, 0x31, 0x3E, 0x79, 0xB0, 0xBA, 0xBB, 0xE0, 0xFF}) {
    EXPECT_EQ(cell(CodeEbcdic, byte), "  ") << byte;
  }
  // The 6-bit codes stop at 0x3F, BAUDOT at 0x1F.
  for (int code : {CodeEbcd, CodeTransc, CodeIpars}) {
    EXPECT_EQ(cell(code, 0x40), "  ");
    EXPECT_EQ(cell(code, 0xC1, true), "  ");
  }
  EXPECT_EQ(cell(CodeBaudot, 0x20), "  ");
  EXPECT_EQ(cell(CodeBaudot, 0x04), "  ");
  EXPECT_EQ(cell(CodeBaudot, 0x04, true), "  ");
}

TEST(CodeTables, Ascii) {
  EXPECT_EQ(cell(CodeAscii, 0x00), "NU");
  EXPECT_EQ(cell(CodeAscii, 0x11), "D1");
  EXPECT_EQ(cell(CodeAscii, 0x1F), "US");
  EXPECT_EQ(cell(CodeAscii, 0x7F), "DT");
  EXPECT_EQ(cell(CodeAscii, 0x21), " !");
  EXPECT_EQ(cell(CodeAscii, 0x41), " A");
  EXPECT_EQ(cell(CodeAscii, 0x7E), " ~");
  EXPECT_EQ(cell(CodeAscii, 0x41, true), " A");
}

TEST(CodeTables, EbcdicAndEbcdik) {
  EXPECT_EQ(cell(CodeEbcdic, 0x04), "PF");
  EXPECT_EQ(cell(CodeEbcdic, 0x2D), "EQ");
  EXPECT_EQ(cell(CodeEbcdic, 0x32), "SY");
  EXPECT_EQ(cell(CodeEbcdic, 0x3F), "SB");
  EXPECT_EQ(cell(CodeEbcdic, 0x4B), " .");
  EXPECT_EQ(cell(CodeEbcdic, 0x5B), " $");
  EXPECT_EQ(cell(CodeEbcdic, 0x7F), " \"");
  EXPECT_EQ(cell(CodeEbcdic, 0x81), " a");
  EXPECT_EQ(cell(CodeEbcdic, 0xA1), " ~");
  EXPECT_EQ(cell(CodeEbcdic, 0xA9), " z");
  EXPECT_EQ(cell(CodeEbcdic, 0xC1), " A");
  EXPECT_EQ(cell(CodeEbcdic, 0xD0), " }");
  EXPECT_EQ(cell(CodeEbcdic, 0xE2), " S");
  EXPECT_EQ(cell(CodeEbcdic, 0xF9), " 9");

  EXPECT_EQ(cell(CodeEbcdik, 0x5B), " \\");
  EXPECT_EQ(cell(CodeEbcdik, 0x3D), "NK");
  EXPECT_EQ(cell(CodeEbcdik, 0xC9), " I");
  EXPECT_EQ(cell(CodeEbcdik, 0xA1), " ~");
  // Katakana replace the lower-case letters; the gaps between the runs stay blank.
  EXPECT_EQ(cell(CodeEbcdik, 0x81), raw(0xB1));
  EXPECT_EQ(cell(CodeEbcdik, 0x8A), raw(0xBA));
  EXPECT_EQ(cell(CodeEbcdik, 0x8B), "  ");
  EXPECT_EQ(cell(CodeEbcdik, 0x8C), raw(0xBB));
  EXPECT_EQ(cell(CodeEbcdik, 0x9A), raw(0xC9));
  EXPECT_EQ(cell(CodeEbcdik, 0x9B), "  ");
  EXPECT_EQ(cell(CodeEbcdik, 0x9E), raw(0xCB));
  EXPECT_EQ(cell(CodeEbcdik, 0xA2), raw(0xCD));
  EXPECT_EQ(cell(CodeEbcdik, 0xAB), "  ");
  EXPECT_EQ(cell(CodeEbcdik, 0xAF), raw(0xD9));
  EXPECT_EQ(cell(CodeEbcdik, 0xBA), raw(0xDA));
  EXPECT_EQ(cell(CodeEbcdik, 0xBE), raw(0xDE));
  EXPECT_EQ(cell(CodeEbcdik, 0xBF), "  ");
}

TEST(CodeTables, JapaneseCodesShowKatakanaAsRawBytes) {
  EXPECT_EQ(cell(CodeJis7, 0x41), " A");
  EXPECT_EQ(cell(CodeJis7, 0x41, true), raw(0xC1));
  EXPECT_EQ(cell(CodeJis7, 0x21, true), raw(0xA1));
  EXPECT_EQ(cell(CodeJis7, 0x5F, true), raw(0xDF));
  EXPECT_EQ(cell(CodeJis7, 0x60, true), "  ");
  EXPECT_EQ(cell(CodeJis7, 0x1B, true), "EC");
  EXPECT_EQ(cell(CodeJis7, 0x7F, true), "DT");

  EXPECT_EQ(cell(CodeJis8, 0x7E), " ~");
  EXPECT_EQ(cell(CodeJis8, 0xA0), "  ");
  EXPECT_EQ(cell(CodeJis8, 0xA1), raw(0xA1));
  EXPECT_EQ(cell(CodeJis8, 0xDF, true), raw(0xDF));
  EXPECT_EQ(cell(CodeJis8, 0xE0), "  ");
}

TEST(CodeTables, HexRuleIgnoresTheShiftStatus) {
  EXPECT_EQ(cell(CodeHex, 0x7E), "7E");
  EXPECT_EQ(cell(CodeHex, 0x7E, true), "7E");
  EXPECT_EQ(cell(CodeHex, 0x00), "00");
  EXPECT_EQ(cell(CodeHex, 0xA5), "A5");
  EXPECT_EQ(cell(CodeHex, 0xFF), "FF");
}

TEST(CodeTables, Ebcd) {
  EXPECT_EQ(cell(CodeEbcd, 0x00), "  ");
  EXPECT_EQ(cell(CodeEbcd, 0x01), " -");
  EXPECT_EQ(cell(CodeEbcd, 0x01, true), " _");
  EXPECT_EQ(cell(CodeEbcd, 0x02), " @");
  EXPECT_EQ(cell(CodeEbcd, 0x02, true), "  ");
  EXPECT_EQ(cell(CodeEbcd, 0x0B), " d");
  EXPECT_EQ(cell(CodeEbcd, 0x0B, true), " D");
  EXPECT_EQ(cell(CodeEbcd, 0x15), "VT");
  EXPECT_EQ(cell(CodeEbcd, 0x15, true), "VT");
  EXPECT_EQ(cell(CodeEbcd, 0x14, true), " )");
  EXPECT_EQ(cell(CodeEbcd, 0x24, true), " (");
  EXPECT_EQ(cell(CodeEbcd, 0x34), " #");
  EXPECT_EQ(cell(CodeEbcd, 0x34, true), " \"");
  EXPECT_EQ(cell(CodeEbcd, 0x3B), " g");
  EXPECT_EQ(cell(CodeEbcd, 0x3F, true), "DT");
}

TEST(CodeTables, TranscAndIpars) {
  EXPECT_EQ(cell(CodeTransc, 0x00), "SH");
  EXPECT_EQ(cell(CodeTransc, 0x01), " A");
  EXPECT_EQ(cell(CodeTransc, 0x0C), " <");
  EXPECT_EQ(cell(CodeTransc, 0x1A), "  ");
  EXPECT_EQ(cell(CodeTransc, 0x20), " _");
  EXPECT_EQ(cell(CodeTransc, 0x3C), " @");
  EXPECT_EQ(cell(CodeTransc, 0x3F, true), "DT");

  EXPECT_EQ(cell(CodeIpars, 0x00), "  ");
  EXPECT_EQ(cell(CodeIpars, 0x0A), " 0");
  EXPECT_EQ(cell(CodeIpars, 0x0D), "EI");
  EXPECT_EQ(cell(CodeIpars, 0x0E), " =");
  EXPECT_EQ(cell(CodeIpars, 0x0F), "  ");
  EXPECT_EQ(cell(CodeIpars, 0x1E), " [");
  EXPECT_EQ(cell(CodeIpars, 0x2C), " +");
  EXPECT_EQ(cell(CodeIpars, 0x2D), "EU");
  EXPECT_EQ(cell(CodeIpars, 0x31), " A");
  EXPECT_EQ(cell(CodeIpars, 0x3C), " %");
  EXPECT_EQ(cell(CodeIpars, 0x3F), "S1");
}

TEST(CodeTables, BaudotLettersAndFigures) {
  EXPECT_EQ(cell(CodeBaudot, 0x01), " E");
  EXPECT_EQ(cell(CodeBaudot, 0x01, true), " 3");
  EXPECT_EQ(cell(CodeBaudot, 0x0B), " J");
  EXPECT_EQ(cell(CodeBaudot, 0x0B, true), "BL");
  EXPECT_EQ(cell(CodeBaudot, 0x1A), " G");
  EXPECT_EQ(cell(CodeBaudot, 0x1A, true), " &");
  EXPECT_EQ(cell(CodeBaudot, 0x1B), "SO");
  EXPECT_EQ(cell(CodeBaudot, 0x1E, true), " ;");
  EXPECT_EQ(cell(CodeBaudot, 0x1F, true), "SI");
}

TEST(CodeTables, SelectorsShareTablesWhereACodeHasNoShift) {
  for (int code : {CodeAscii, CodeEbcdic, CodeEbcdik, CodeJis8, CodeTransc, CodeIpars}) {
    EXPECT_EQ(primaryTables[code], alternateTables[code]) << code;
  }
  for (int code : {CodeJis7, CodeEbcd, CodeBaudot}) {
    EXPECT_NE(primaryTables[code], alternateTables[code]) << code;
  }
}

TEST(CodeTables, EveryCellIsAMnemonicACharacterOrBlank) {
  for (int code = 0; code < 10; ++code) {
    if (code == CodeHex) continue;
    for (const CodeTable* table : {primaryTables[code], alternateTables[code]}) {
      for (const DisplayCell& c : *table) {
        const bool mnemonic = std::isalnum(static_cast<unsigned char>(c[0])) &&
                              std::isalnum(static_cast<unsigned char>(c[1]));
        const bool character = c[0] == ' ';
        EXPECT_TRUE(mnemonic || character) << "code " << code;
      }
    }
  }
}

TEST(CodeTables, CodeOutsideTheTenGivesBlanks) {
  EXPECT_EQ(cell(10, 0x41), "  ");
  EXPECT_EQ(cell(-1, 0x41, true), "  ");
  EXPECT_EQ(cell(127, 0x00), "  ");
}

}  // namespace
}  // namespace qv
