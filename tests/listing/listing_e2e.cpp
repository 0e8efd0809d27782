// Whole reports of the Normal and Line state formats, through the operator dialogue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_builder.h"
#include "session.h"

namespace qv {
namespace {

using namespace build;

// An ASYNC capture with every kind of listed record: a clock stamp, SD and RD
// characters, an idle count, a character with an error flag, a listed line-state
// change that clears CS, an LD marker and a control character.
std::vector<uint8_t> asyncCapture() {
  Conditions conditions;
  conditions.protocol = 0;
  conditions.lineStateRecorded = 1;
  return CaptureBuilder()
      .dinf(conditions)
      .mond({clockStamp(12, 34, 56), sdChar('A'), rdChar('b'), idleWord(12),
             dataWord(cell(8, 'C'), cell(9, 'd')), lineStateWord(0x003, 0x001, 17), markerWord(1),
             sdChar(0x0D)})
      .bytes();
}

std::string asyncHeader(bool lineState) {
  return std::string("*=[KOVREN]=[DATE-TIME]=*\n") +
         (lineState ? "* MONITOR DATA (WITH LINE STATE)      *\n"
                    : "* MONITOR DATA                        *\n") +
         "*  PROTOCOL: ASYNC                    *\n"
         "*  S-SPEED : 9600    R-SPEED : 9600   *\n"
         "*  CODE    : ASCII   CHAR BIT: 8      *\n"
         "*  PARITY  : NONE    STOP BIT: 1      *\n"
         "*  BCC     : NONE                     *\n"
         "*                 PRINT CODE : ASCII  *\n"
         "*=====================================*\n"
         "\n";
}

struct ReportCase {
  const char* answers;  // after the two file names
  bool lineState;
  std::string body;
};

void expectReport(const std::vector<uint8_t>& capture, const std::string& answers,
                  const std::string& expected) {
  const test::Conversion conversion = test::convert(capture, answers);
  EXPECT_EQ(conversion.session.status, 0) << answers;
  EXPECT_NE(conversion.session.console.find("Convert start.\nComplete.\n"), std::string::npos)
      << conversion.session.console;
  EXPECT_EQ(conversion.report, expected) << "answers: " << answers;
}

// Each row is written as its column groups, in record order:
// stamp, A, b, idle, C/d, (line-state change), marker, CR.
TEST(ListingReport, AsyncNormalFormatEveryDataLineAndCodeDisplay) {
  const ReportCase cases[] = {
      {"1\n1\n1\n1\n1\n", false,
       "SD:" "[ TMSP ]" "41" " -" "[ IDLE ]" "43" "LD" "0D" "\n"
       "   " "[123456]" " A" "  " "[ 0012 ]" " C" "||" "CR" "\n"
       "RD:" "        " " -" "62" "        " "64" "||" " -" "\n"
       "   " "        " "  " " b" "        " "?1" "||" "\n"
       "\n"},
      {"1\n1\n2\n1\n1\n", false,
       "SD:" "[ TMSP ]" " A" "  " "[ IDLE ]" " C" "LD" "CR" "\n"
       "RD:" "[123456]" "  " " b" "[ 0012 ]" "?1" "||" "\n"
       "\n"},
      {"1\n1\n3\n1\n1\n", false,
       "SD:" "[ TMSP ]" "41" " -" "[ IDLE ]" "43" "LD" "0D" "\n"
       "RD:" "[123456]" " -" "62" "[ 0012 ]" "64" "||" " -" "\n"
       "\n"},
      {"1\n2\n1\n1\n1\n", false,
       "SD:" "[ TMSP ]" "41" "[ IDLE ]" "43" "LD" "0D" "\n"
       "   " "[123456]" " A" "[ 0012 ]" " C" "||" "CR" "\n"
       "\n"},
      {"1\n2\n2\n1\n1\n", false,
       "SD:" "[123456]" " A" "[ 0012 ]" " C" "||" "CR" "\n"
       "\n"},
      {"1\n2\n3\n1\n1\n", false,
       "SD:" "[123456]" "41" "[ 0012 ]" "43" "||" "0D" "\n"
       "\n"},
      {"1\n3\n1\n1\n1\n", false,
       "RD:" "[ TMSP ]" "62" "[ IDLE ]" "64" "LD" "\n"
       "   " "[123456]" " b" "[ 0012 ]" "?1" "||" "\n"
       "\n"},
      {"1\n3\n2\n1\n1\n", false,
       "RD:" "[123456]" " b" "[ 0012 ]" "?1" "||" "\n"
       "\n"},
      {"1\n3\n3\n1\n1\n", false,
       "RD:" "[123456]" "62" "[ 0012 ]" "64" "||" "\n"
       "\n"},
  };
  for (const ReportCase& c : cases) expectReport(asyncCapture(), c.answers, asyncHeader(false) + c.body);
}

TEST(ListingReport, AsyncLineStateFormat) {
  const ReportCase cases[] = {
      {"2\n1\n10\n1\n1\n1\n", true,
       "SD:" "[ TMSP ]" "41" " -" "[ IDLE ]" "43" "  " "LD" "0D" "\n"
       "   " "[123456]" " A" "  " "[ 0012 ]" " C" "  " "||" "CR" "\n"
       "RD:" "        " " -" "62" "        " "64" "  " "||" " -" "\n"
       "   " "        " "  " " b" "        " "?1" "  " "||" "\n"
       "\n"
       "CS:" "00000000" "00" "00" "00000000" "00" "01" "11" "11" "\n"
       "RS:" "00000000" "00" "00" "00000000" "00" "00" "00" "00" "\n"
       "\n"},
      {"2\n2\n2\n2\n1\n1\n", true,
       "SD:" "[123456]" " A" "[ 0012 ]" " C" "  " "||" "CR" "\n"
       "\n"
       "DR:" "11111111" "11" "11111111" "11" "11" "11" "11" "\n"
       "\n"},
      {"2\n3\n1\n3\n1\n1\n", true,
       "RD:" "[123456]" "62" "[ 0012 ]" "64" "  " "||" "\n"
       "\n"
       "CS:" "00000000" "00" "00000000" "00" "01" "11" "\n"
       "\n"},
  };
  for (const ReportCase& c : cases) expectReport(asyncCapture(), c.answers, asyncHeader(true) + c.body);
}

TEST(ListingReport, AsyncWithoutIdleStampsAndGuide) {
  expectReport(asyncCapture(), "1\n1\n2\n2\n2\n",
               " A" "  " " C" "LD" "CR" "\n"
               "  " " b" "?1" "||" "\n");
}

// BURST asks no print format question. MP parity shows a character's first error flag
// as "##"; a hex-only byte (status 28) leaves its character cell blank.
TEST(ListingReport, BurstCapture) {
  Conditions conditions;
  conditions.protocol = 6;
  conditions.code = 1;  // EBCDIC
  conditions.parity = 5;
  const std::vector<uint8_t> capture =
      CaptureBuilder()
          .dinf(conditions)
          .mond({counterStamp(123456), sdChar(0xC1), rdChar(0xC2, 9), idleWord(10000),
                 markerWord(0), dataWord(cell(28, 0xFF), cell(4, 0x7E))})
          .bytes();
  expectReport(capture, "1\n1\n1\n1\n",
               "*=[KOVREN]=[DATE-TIME]=*\n"
               "* MONITOR DATA                        *\n"
               "*  PROTOCOL: BURST                    *\n"
               "*  CODE    : EBCDIC                   *\n"
               "*                 PRINT CODE : EBCDIC *\n"
               "*=====================================*\n"
               "\n"
               "SD:" "[ TMSP ]" "C1" " -" "[ IDLE ]" "OE" "FF" "\n"
               "   " "[123456]" " A" "  " "[ OVER ]" "||" "\n"
               "RD:" "        " " -" "C2" "        " "||" "7E" "\n"
               "   " "        " "  " "##" "        " "||" "^^" "\n"
               "\n");
}

}  // namespace
}  // namespace qv
