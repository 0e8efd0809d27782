// ASYNC frame dump reports made through the whole dialogue.
#include <gtest/gtest.h>

#include <string>

#include "capture_builder.h"
#include "session.h"

namespace qv::test {
namespace {

using build::cell;
using build::clockStamp;
using build::counterStamp;
using build::dataWord;
using build::rdChar;
using build::sdChar;

// Print format 2 (Translate), the data line answer, frame type 2 (Other).
std::string answers(int dataLineAnswer) { return "2\n" + std::to_string(dataLineAnswer) + "\n2\n"; }

std::vector<uint8_t> capture(const build::Conditions& conditions,
                             const std::vector<uint32_t>& words) {
  return build::CaptureBuilder().dinf(conditions).mond(words).bytes();
}

std::string header(const char* codeName) {
  return std::string(
             "*=[KOVREN]=[DATE-TIME]=*\n"
             "* MONITOR DATA (ASYNC FRAME DATA)     *\n"
             "*  PROTOCOL: ASYNC                    *\n"
             "*  S-SPEED : 9600    R-SPEED : 9600   *\n") +
         "*  CODE    : " + codeName +
         "  CHAR BIT: 8      *\n"
         "*  PARITY  : NONE    STOP BIT: 1      *\n"
         "*  BCC     : NONE                     *\n"
         "*                 PRINT CODE : (HEX)  *\n"
         "*=====================================*\n"
         "\n"
         "-----TM---" +
         std::string(32, '-') + "DATA" + std::string(32, '-') + "\n";
}

TEST(AsyncFrameReport, StampDelimitedFramesInAscii) {
  build::Conditions conditions;
  conditions.stampFlag1 = 1;
  const std::vector<uint32_t> words{
      clockStamp(12, 34, 56),
      sdChar('H'),
      sdChar('i'),
      dataWord(cell(7, 0x0D), 0),
      clockStamp(12, 34, 57, true),
      rdChar('O'),
      rdChar('K'),
      counterStamp(5),  // neither opens nor ends a frame
      rdChar('!'),
      clockStamp(12, 35, 0),
      sdChar('B'),
      sdChar('y'),
      sdChar('e'),
  };
  const Conversion result = convert(capture(conditions, words), answers(1));
  EXPECT_EQ(0, result.session.status);
  // The step to the counter stamp and the one after it both find the last SD frame;
  // it is reported once.
  EXPECT_EQ(header("ASCII ") +
                "SD:123456  H iCR\n"
                "RD:123457  O K !\n"
                "SD:123500  B y e\n",
            result.report);
}

TEST(AsyncFrameReport, InBandFramesInHexForOneDirection) {
  // Only the second stamp flag: the frame type is asked, and the frames are opened by
  // the characters themselves, so the time column stays blank.
  build::Conditions conditions;
  conditions.stampFlag2 = 1;
  conditions.code = 5;
  const std::vector<uint32_t> words{
      dataWord(cell(8, 'A'), cell(8, 'x')),
      dataWord(cell(7, 0x00), 0),
      sdChar('B'),
      rdChar('y'),
  };
  const Conversion sdOnly = convert(capture(conditions, words), answers(2));
  EXPECT_EQ(header("HEX   ") +
                "SD:       4100\n"
                "SD:       42\n",
            sdOnly.report);

  const Conversion both = convert(capture(conditions, words), answers(1));
  EXPECT_EQ(header("HEX   ") +
                "SD:       4100\n"
                "RD:       78\n"
                "SD:       42\n"
                "RD:       79\n",
            both.report);
}

TEST(AsyncFrameReport, NoMonitorDataGivesTheHeaderOnly) {
  build::Conditions conditions;
  conditions.stampFlag1 = 1;
  const Conversion result = convert(capture(conditions, {}), answers(1));
  const std::string full = header("ASCII ");
  EXPECT_EQ(full.substr(0, full.find("-----TM")), result.report);
}

}  // namespace
}  // namespace qv::test
