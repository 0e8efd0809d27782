#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "capture_builder.h"
#include "listing/bsc_converter.h"
#include "report/code_tables.h"
#include "report/print_file.h"
#include "report_text.h"
#include "test_support.h"

namespace qv {
namespace {

using build::cell;
using build::rdChar;
using build::sdChar;
using test::repeat;

// Feeds SD cells to a freshly prepared state and returns the queued symbols as the
// report shows them, two characters each.
std::string shownSymbols(int protocol, int code, const std::vector<uint16_t>& cells) {
  BscState bsc;
  bsc.prepare(protocol, code);
  for (uint16_t c : cells) bsc.feedSd(c);
  CodeCells ebcdic;
  ebcdic.load(CodeEbcdic);
  std::string shown;
  RecordWord word;
  while (bsc.takeSymbol(word)) {
    char two[2];
    putDataCell(two, sdCell(word), bscRowForms(), ebcdic);
    shown.append(two, 2);
  }
  return shown;
}

// Every row of listing/golden/bsc_symbols.txt: the code, the SD characters in hex and
// the symbols they give.
TEST(BscRecognizer, ControlCharactersSequencesAndTransparencyOfEachCodeFamily) {
  const auto rows = test::tableRows(test::testData("listing/golden/bsc_symbols.txt"));
  for (const test::TableRow& row : rows) {
    std::vector<uint16_t> cells;
    for (size_t i = 1; i < row.fields.size(); ++i)
      cells.push_back(cell(8, static_cast<uint8_t>(std::stoi(row.fields[i], nullptr, 16))));
    EXPECT_EQ(shownSymbols(1, test::codeByName(row.fields.at(0)), cells), row.text) << row.line;
  }
  EXPECT_GE(rows.size(), 54u);
}

TEST(BscRecognizer, CodesWithoutBscAndOtherProtocolsAreInert) {
  const std::vector<uint16_t> busy = {cell(8, 0x02), cell(8, 'A'), cell(8, 0x03), cell(8, 0x05),
                                      cell(8, 0x2D), cell(7, 0),   cell(16, 0x41)};
  for (int code : {5, 6, 8, 9, 10, 127, -1, -128}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(shownSymbols(1, code, busy), "");
  }
  EXPECT_EQ(shownSymbols(0, 0, busy), "SX -EXEQBB{}");
  for (int protocol : {2, 3, 6, -1}) EXPECT_EQ(shownSymbols(protocol, 0, busy), "");
}

TEST(BscRecognizer, OnlyCleanCharactersAndPassCellsCount) {
  // Flagged characters (9-11, 13-15) and marks change nothing; status 12 is a character.
  std::vector<uint16_t> cells = {cell(8, 0x02)};
  for (unsigned status :
       {0u, 1u, 2u, 3u, 4u, 5u, 6u, 9u, 10u, 11u, 13u, 14u, 15u, 17u, 21u, 24u, 29u, 31u}) {
    cells.push_back(cell(status, 0x03));
  }
  cells.push_back(cell(12, 'A'));
  cells.push_back(cell(8, 0x03));
  EXPECT_EQ(shownSymbols(1, 0, cells), "SX -EX");

  // Pass cells are shown as they are and let the following text show a dash again.
  EXPECT_EQ(shownSymbols(1, 0,
                         {cell(8, 0x02), cell(8, 'A'), cell(16, 0x41), cell(8, 'B'), cell(20, 0x42),
                          cell(28, 0x2D), cell(7, 0), cell(8, 0x03)}),
            "SX -{} -??EQBBEX");
  // STX followed by a pass cell: the STX, the cell, then text with a dash.
  EXPECT_EQ(shownSymbols(1, 0, {cell(8, 0x02), cell(7, 1), cell(8, 'A'), cell(8, 0x03)}),
            "SXAA -EX");
  // Between blocks and after a DLE a pass cell is shown too.
  EXPECT_EQ(shownSymbols(1, 0, {cell(7, 0), cell(8, 0x10), cell(16, 0xC1), cell(8, 0x30)}), "BB{}");
}

TEST(BscRecognizer, SymbolsSitInTheirDirectionsHalf) {
  BscState bsc;
  bsc.prepare(0, 0);
  bsc.feedSd(cell(8, 0x05));
  bsc.feedRd(cell(8, 0x15) | 0xE0);  // unused bits of the cell do not leak into symbols
  bsc.feedRd(cell(7, 0x55) | 0xE0);
  RecordWord word = 0;
  ASSERT_TRUE(bsc.takeSymbol(word));
  EXPECT_EQ(word, 0x2D08u | 0x20u);
  ASSERT_TRUE(bsc.takeSymbol(word));
  EXPECT_EQ(word, (0x3D08u << 16) | 0x20u);
  ASSERT_TRUE(bsc.takeSymbol(word));
  EXPECT_EQ(word, (0x5507u << 16) | 0x20u);
  EXPECT_FALSE(bsc.takeSymbol(word));
}

TEST(BscRecognizer, ResetReturnsBothDirectionsToIdleAndEmptiesTheQueue) {
  BscState bsc;
  bsc.prepare(1, 1);
  bsc.feedSd(cell(8, 0x10));
  bsc.feedSd(cell(8, 0x02));  // SD now in transparent text
  bsc.feedRd(cell(8, 0x02));  // RD waits after STX
  bsc.resetBsc();
  RecordWord word;
  EXPECT_FALSE(bsc.takeSymbol(word));
  bsc.feedSd(cell(8, 0xC1));
  bsc.feedSd(cell(8, 0x37));  // no DLE before it: nothing in EBCDIC
  bsc.feedRd(cell(8, 0x2D));  // ENQ alone, not STX ENQ
  ASSERT_TRUE(bsc.takeSymbol(word));
  EXPECT_EQ(word, (0x2D08u << 16) | 0x20u);
  EXPECT_FALSE(bsc.takeSymbol(word));
  EXPECT_EQ(bsc.sdRecognizer.textPending, 0);
}

TEST(BscSymbolQueue, WrapsAndNeverOverwritesUnreadWords) {
  BscSymbolQueue queue;
  RecordWord word = 0;
  for (uint32_t i = 0; i < 200; ++i) {  // many times round the ring
    queue.push(i);
    ASSERT_TRUE(queue.take(word));
    ASSERT_EQ(word, i);
  }
  for (uint32_t i = 0; i < BscSymbolQueue::kSize + 5; ++i) queue.push(i);
  for (uint32_t i = 0; i < BscSymbolQueue::kSize; ++i) {
    ASSERT_TRUE(queue.take(word));
    ASSERT_EQ(word, i);
  }
  EXPECT_FALSE(queue.take(word));
}

// Runs the BSC translation of a capture and returns the report.
class BscRunTest : public ::testing::Test {
 protected:
  BscRunTest() : printFile(console), converter(printFile, capture, bsc) {
    printFile.setSavePath(test::tempPath("bsc_report.txt"));
  }

  std::string translate(const std::vector<uint32_t>& words, ConvertOptions options = {},
                        build::Conditions conditions = {}) {
    return translateImage(build::CaptureBuilder().dinf(conditions).mond(words).bytes(), options,
                          conditions);
  }

  std::string translateImage(const std::vector<uint8_t>& image, ConvertOptions options,
                             const build::Conditions& conditions) {
    EXPECT_EQ(capture.loadImage(image), 1);
    bsc.prepare(conditions.protocol, conditions.code);
    converter.setOptions(options);
    result = converter.run(kPageLimit);
    return test::readFile(printFile.savePath());
  }

  // The report after the header box and its empty line.
  std::string body(const std::vector<uint32_t>& words, ConvertOptions options = {},
                   build::Conditions conditions = {}) {
    return test::bodyOf(translate(words, options, conditions));
  }

  std::ostringstream console;
  PrintFile printFile;
  CaptureFile capture;
  BscState bsc;
  BscConverter converter;
  int result = -1;
};

TEST_F(BscRunTest, ExampleBlockWithTheWholeHeader) {
  const std::string report = translate({sdChar(0x05), rdChar(0x10), rdChar('0'), sdChar(0x02),
                                        sdChar('A'), sdChar('B'), sdChar(0x03)});
  EXPECT_EQ(test::maskTopLine(report), test::testData("listing/golden/bsc_worked_example.txt"));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(console.str(), "");
}

struct BodyCase {
  const char* what;
  std::vector<uint32_t> words;
  ConvertOptions options;
  build::Conditions conditions;
  std::string body;
};

TEST_F(BscRunTest, BodiesByRecordKindDirectionOptionAndCode) {
  using build::idleWord;
  using build::markerWord;
  const ConvertOptions sd{.dataLine = 1};
  const build::Conditions ebcdic{.code = CodeEbcdic};
  const BodyCase cases[] = {
      {"control records keep their four-column form",
       {sdChar(0x05), idleWord(12), markerWord(1), rdChar(0x15), build::clockStamp(12, 34, 56),
        build::counterStamp(123456, true)},
       {},
       {},
       "SD:EQ[ IDLE ]LD  [ TMSP ][ TMSP ]\n"
       "RD:  [ 0012 ]||NK[123456][123456]\n\n"},
      {"line-state and speed records and other markers take no column",
       {sdChar(0x05), build::lineStateWord(1, 2), build::lineStateWord(2, 1, 17),
        build::speedWord(1, 2), markerWord(2), sdChar(0x15)},
       {},
       {},
       "SD:EQNK\nRD:\n\n"},
      {"skipped idle counts",
       {idleWord(3), sdChar(0x05), build::clockStamp(1, 2, 3)},
       {.skipIdle = 1},
       {},
       "SD:EQ[ TMSP ]\nRD:  [010203]\n\n"},
      {"skipped time stamps",
       {idleWord(3), sdChar(0x05), build::clockStamp(1, 2, 3)},
       {.skipTimeStamp = 1},
       {},
       "SD:[ IDLE ]EQ\nRD:[ 0003 ]\n\n"},
      // After the marker 'B' and ETX are outside a block; the next STX starts afresh.
      {"marker inside text resets the recognizers",
       {sdChar(0x02), sdChar('A'), markerWord(0), sdChar('B'), sdChar(0x03), sdChar(0x02),
        sdChar('C'), sdChar(0x03)},
       {},
       {},
       "SD:SX -OESX -EX\nRD:    ||\n\n"},
      {"marker ends EBCDIC transparency",
       {sdChar(0x10), sdChar(0x02), markerWord(1), sdChar(0x10), sdChar(0x37)},
       sd,
       ebcdic,
       "SD:DLSX||DLET\n\n"},
      {"SD only, with the values of control records",
       {sdChar(0x05), rdChar(0x02), rdChar('A'), rdChar(0x03), idleWord(5),
        build::dataWord(cell(8, 0x15), cell(8, 0x10)), rdChar('0')},
       sd,
       {},
       "SD:EQ[ 0005 ]NK\n\n"},
      {"RD only, with the values of control records",
       {sdChar(0x05), rdChar(0x02), rdChar('A'), rdChar(0x03), idleWord(5),
        build::dataWord(cell(8, 0x15), cell(8, 0x10)), rdChar('0')},
       {.dataLine = 2},
       {},
       "RD:SX -EX[ 0005 ]AK 0\n\n"},
      {"both directions of one word: SD first",
       {build::dataWord(cell(8, 0x05), cell(8, 0x15))},
       {},
       {},
       "SD:EQ\nRD:  NK\n\n"},
      // Were RD fed, its DLE 0 would queue AK 0 and take two blank columns of the SD row.
      {"SD only never feeds the RD recognizer",
       {rdChar(0x10), sdChar(0x05), rdChar('0'), sdChar(0x15)},
       sd,
       {},
       "SD:EQNK\n\n"},
      {"symbols show through EBCDIC whatever the code",
       {sdChar(0x0A), sdChar(0x01), sdChar(0x2E), rdChar(0x1F), rdChar(0x20)},
       {},
       {.protocol = 1, .code = CodeTransc},
       "SD:SX -EX\nRD:      AK 0\n\n"},
      {"codes without BSC list only control records",
       {sdChar(0x02), sdChar('A'), sdChar(0x03), idleWord(9), rdChar(0x05), markerWord(0)},
       {},
       {.code = CodeHex},
       "SD:[ IDLE ]OE\nRD:[ 0009 ]||\n\n"},
  };
  for (const BodyCase& c : cases)
    EXPECT_EQ(body(c.words, c.options, c.conditions), c.body) << c.what;
}

TEST_F(BscRunTest, TextRunAcrossBlocksGivesOneDash) {
  const ConvertOptions narrow{.dataLine = 1, .printColumns = 79};  // 14 columns per block
  std::vector<uint32_t> words(13, sdChar(0x05));
  // The 14th symbol (STX) fills the block; its dash waits for the next block.
  words.insert(words.end(), {sdChar(0x02), sdChar('A'), sdChar('B'), sdChar('C'), sdChar(0x03)});
  EXPECT_EQ(body(words, narrow), "SD:" + repeat("EQ", 13) + "SX\n\nSD: -EX\n\n");

  // The text run goes on after a full block of control records.
  const std::vector<uint32_t> straddle = {
      sdChar(0x02),       sdChar('A'), build::idleWord(7), build::idleWord(7),
      build::idleWord(7), sdChar('B'), sdChar(0x03)};
  EXPECT_EQ(body(straddle, narrow),
            "SD:SX -[ 0007 ][ 0007 ][ 0007 ]\n"
            "\n"
            "SD:EX\n"
            "\n");
}

TEST_F(BscRunTest, BlockEndingInsideAFourColumnRecordGoesOnInTheNext) {
  const ConvertOptions narrow{.printColumns = 79};
  std::vector<uint32_t> words(12, rdChar(0x15));
  words.push_back(build::idleWord(42));
  words.push_back(sdChar(0x05));
  EXPECT_EQ(body(words, narrow), "SD:" + std::string(24, ' ') +
                                     "[ ID\n"
                                     "RD:" +
                                     repeat("NK", 12) +
                                     "[ 00\n"
                                     "\n"
                                     "SD:LE ]EQ\n"
                                     "RD:42 ]\n"
                                     "\n");
}

TEST_F(BscRunTest, DisplayIsForcedToCharactersOnly) {
  const ConvertOptions hexOnly{.codeDisplay = 2, .printCode = CodeHex};
  EXPECT_EQ(body({sdChar(0x05), rdChar(0x06)}, hexOnly), "SD:EQ\nRD:  AK\n\n");
  EXPECT_EQ(converter.runOptions().codeDisplay, 1);
}

TEST_F(BscRunTest, SkippedGuideLeavesOutHeaderPrefixesAndEmptyLines) {
  ConvertOptions bare{.skipGuide = 1, .printColumns = 79};
  std::vector<uint32_t> words(15, sdChar(0x05));
  // Each block is an SD row and an (empty) RD row, with no line between blocks.
  EXPECT_EQ(translate(words, bare), repeat("EQ", 14) + "\n\nEQ\n\n");
  bare.dataLine = 1;
  EXPECT_EQ(translate(words, bare), repeat("EQ", 14) + "\nEQ\n");
  EXPECT_EQ(translate({}, bare), "");
}

TEST_F(BscRunTest, EmptyMonitorDataGivesTheHeaderAlone) {
  const std::string report = translate({});
  EXPECT_NE(report.find("* MONITOR DATA (BSC TRANSLATE)        *\n"), std::string::npos);
  EXPECT_EQ(test::bodyOf(report), "");
  // Two bytes of monitor data are less than one record word: the bytes after the chunk
  // (here an ENQ would be read from them) are not part of the ring.
  const auto shortChunk =
      build::CaptureBuilder().dinf({}).chunk("MOND", {0x28, 0x05}).tail({0, 0}).bytes();
  EXPECT_EQ(test::bodyOf(translateImage(shortChunk, {}, {})), "");
}

TEST_F(BscRunTest, UncreatableReportEndsTheRunAtOnce) {
  printFile.setSavePath(test::tempPath("no-such-dir/report.txt"));
  translate({sdChar(0x05)});
  EXPECT_EQ(result, 0);
  EXPECT_EQ(console.str(), "Can't create print data file.\n");
}

}  // namespace
}  // namespace qv
