#include "listing/normal_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "capture/capture_file.h"
#include "capture_builder.h"
#include "convert/progress.h"
#include "report/code_tables.h"
#include "report/print_file.h"
#include "report_text.h"
#include "test_support.h"

namespace qv {
namespace {

using build::CaptureBuilder;
using build::clockStamp;
using build::counterStamp;
using build::idleWord;
using build::lineStateWord;
using build::markerWord;
using build::rdChar;
using build::sdChar;
using test::bodyOf;
using test::linesOf;

struct Listing {
  int result = -1;
  std::string report;
  std::string console;
};

Listing runImage(const std::vector<uint8_t>& image, const ConvertOptions& options,
                 int32_t limit = kPageLimit,
                 const std::string& savePath = test::tempPath("listing.txt")) {
  CaptureFile capture;
  EXPECT_EQ(capture.loadImage(image), 1);
  std::ostringstream console;
  PrintFile printFile(console);
  printFile.setSavePath(savePath);
  NormalListingConverter converter(printFile, capture);
  converter.setOptions(options);
  Listing listing;
  listing.result = converter.run(limit);
  listing.report = test::readFile(savePath);
  listing.console = console.str();
  return listing;
}

Listing runListing(const std::vector<uint32_t>& words, const ConvertOptions& options,
                   const build::Conditions& conditions = {}, int32_t limit = kPageLimit,
                   const std::string& savePath = test::tempPath("listing.txt")) {
  return runImage(CaptureBuilder().dinf(conditions).mond(words).bytes(), options, limit, savePath);
}

// Options for a listing without the guide, so that the report holds only the rows.
ConvertOptions bare(uint8_t dataLine, uint8_t codeDisplay, int32_t printColumns = 80,
                    int8_t printCode = -1) {
  return {.dataLine = dataLine,
          .codeDisplay = codeDisplay,
          .printCode = printCode,
          .skipGuide = 1,
          .printColumns = printColumns};
}

// Options for the Line state format listing SD in hex, with the lines selected in order.
ConvertOptions lineStateOptions(std::initializer_list<int8_t> selection) {
  ConvertOptions options{.dataLine = 1, .codeDisplay = 2, .lineStateFormat = 1};
  std::copy(selection.begin(), selection.end(), options.lineStateSelection);
  return options;
}

const build::Conditions kLineStatesRecorded{.lineStateRecorded = 1};

std::string rowsOf(const std::vector<uint32_t>& words, const ConvertOptions& options,
                   const build::Conditions& conditions = {}) {
  return runListing(words, options, conditions).report;
}

// Whole blocks go to the report between the progress checkpoints, so a long listing
// still tells its progress, and writes the same report as without it.
TEST(NormalListing, TellsItsProgressAndWritesTheSameReport) {
  struct Updates : ProgressSink {
    std::vector<uint64_t> done;
    void update(uint64_t bytes, uint64_t) override { done.push_back(bytes); }
  };
  std::vector<uint32_t> words;
  for (uint32_t i = 0; i < 40000; ++i) words.push_back(sdChar(static_cast<uint8_t>('A' + i % 26)));
  const std::vector<uint8_t> image = CaptureBuilder().dinf({}).mond(words).bytes();
  const std::string plain = runImage(image, ConvertOptions{}).report;

  CaptureFile capture;
  ASSERT_EQ(capture.loadImage(image), 1);
  std::ostringstream console;
  PrintFile printFile(console);
  const std::string path = test::tempPath("listing-progress.txt");
  printFile.setSavePath(path);
  NormalListingConverter converter(printFile, capture);
  Updates updates;
  converter.setProgressSink(&updates);
  converter.run(kPageLimit);
  EXPECT_EQ(test::maskTopLine(test::readFile(path)), test::maskTopLine(plain));
  EXPECT_GE(updates.done.size(), 10u);
  EXPECT_TRUE(std::is_sorted(updates.done.begin(), updates.done.end()));
}

TEST(NormalListing, WorkedExampleWithHeader) {
  const Listing listing = runListing({sdChar('A'), idleWord(12), rdChar('B')}, ConvertOptions{});
  EXPECT_EQ(listing.result, 0);  // the close result of a good file
  EXPECT_EQ(test::maskTopLine(listing.report),
            test::testData("listing/golden/normal_worked_example.txt"));
}

struct RowsCase {
  const char* what;
  std::vector<uint32_t> words;
  ConvertOptions options;
  std::string rows;
};

TEST(NormalListing, RowsByRecordKindDataLineDisplayAndWidth) {
  using build::cell;
  using build::dataWord;
  const std::vector<uint32_t> controls = {idleWord(9999), idleWord(10000), clockStamp(99, 200, 7),
                                          counterStamp(524287), counterStamp(5)};
  const std::vector<uint32_t> mixed = {sdChar('A'),      idleWord(12),  clockStamp(12, 34, 56),
                                       idleWord(123456), markerWord(0), rdChar('B')};
  const std::vector<uint32_t> data = {sdChar('A'), rdChar('B'),
                                      dataWord(cell(8, 'C'), cell(8, 'D')), dataWord(0, 0)};
  std::vector<uint32_t> straddle(12, sdChar('A'));
  straddle.insert(straddle.end(), {idleWord(12), sdChar('B'), clockStamp(1, 2, 3)});
  const RowsCase cases[] = {
      {"two rows: labels on the SD row, values on the RD row", controls, bare(0, 1),
       "[ IDLE ][ IDLE ][ TMSP ][ TMSP ][ TMSP ]\n"
       "[ 9999 ][ OVER ][990007][524287][000005]\n"},
      {"four rows: the hex and character rows of RD stay blank under control records",
       {idleWord(12), sdChar('A')},
       bare(0, 0),
       "[ IDLE ]41\n[ 0012 ] A\n         -\n\n"},
      {"one-row blocks show values without labels (SD)", mixed, bare(1, 1),
       " A[ 0012 ][123456][ OVER ]||\n"},
      {"one-row blocks show values without labels (RD)", mixed, bare(2, 2),
       "[ 0012 ][123456][ OVER ]||42\n"},
      {"SD data only", data, bare(1, 2), "4143\n"},
      {"RD data only", data, bare(2, 2), "4244\n"},
      {"both directions", data, bare(0, 2), "41 -43\n -4244\n"},
      {"markers take a column, other control records none",
       {markerWord(0), markerWord(1), markerWord(2), lineStateWord(1, 0, 16),
        lineStateWord(1, 0, 17), build::speedWord(1, 2), sdChar('A')},
       bare(0, 0),
       "OELD41\n|||| A\n|||| -\n||||\n"},
      {"four-column records continue into the next block (14 records a block)", straddle,
       bare(1, 0, 40),
       "414141414141414141414141[ ID\n"
       " A A A A A A A A A A A A[ 00\n"
       "LE ]42[ TMSP ]\n"
       "12 ] B[010203]\n"},
      {"the print code overrides the capture's ASCII",
       {sdChar(0x01), sdChar(0x01, 12)},
       bare(1, 1, 80, 9),
       " E 3\n"},
      {"HEX shows the digits in the character row too", {sdChar(0x01)}, bare(1, 1, 80, 5), "01\n"},
  };
  for (const RowsCase& c : cases) EXPECT_EQ(rowsOf(c.words, c.options), c.rows) << c.what;
}

TEST(NormalListing, BlockCapacityFollowsTheReportWidth) {
  std::vector<uint32_t> words(60, sdChar(0x30));
  auto rowLengths = [&](int32_t columns, size_t count) {
    std::vector<size_t> lengths;
    for (const std::string& line :
         linesOf(rowsOf({words.begin(), words.begin() + static_cast<std::ptrdiff_t>(count)},
                        bare(1, 2, columns))))
      lengths.push_back(line.size());
    return lengths;
  };
  EXPECT_EQ(rowLengths(79, 60), (std::vector<size_t>{28, 28, 28, 28, 8}));
  EXPECT_EQ(rowLengths(80, 60), (std::vector<size_t>{56, 56, 8}));
  EXPECT_EQ(rowLengths(135, 60), (std::vector<size_t>{56, 56, 8}));
  EXPECT_EQ(rowLengths(136, 60), (std::vector<size_t>{112, 8}));
  // A listing that fills its blocks exactly ends without an empty block.
  EXPECT_EQ(rowLengths(80, 56), (std::vector<size_t>{56, 56}));
}

TEST(NormalListing, SkipFlagsDropWholeRecords) {
  const std::vector<uint32_t> words = {sdChar('A'),     idleWord(5),   clockStamp(1, 2, 3),
                                       counterStamp(7), markerWord(0), sdChar('B')};
  ConvertOptions options = bare(1, 0);
  options.skipIdle = 1;
  EXPECT_EQ(linesOf(rowsOf(words, options))[0], "41[ TMSP ][ TMSP ]OE42");
  options.skipIdle = 0;
  options.skipTimeStamp = 1;
  EXPECT_EQ(linesOf(rowsOf(words, options))[0], "41[ IDLE ]OE42");
  options.skipIdle = 1;
  EXPECT_EQ(rowsOf(words, options), "41OE42\n A|| B\n");
}

TEST(NormalListing, LineStateRowsAroundAListedChange) {
  const build::Conditions& conditions = kLineStatesRecorded;
  // Lines RS (bit 0) and CS (bit 1) are active at the start; the listed change clears
  // CS and a later unlisted change clears RS.
  const std::vector<uint32_t> words = {sdChar('A'),
                                       sdChar('B'),
                                       lineStateWord(0x003, 0x001, 17),
                                       sdChar('C'),
                                       lineStateWord(0x001, 0x000, 16),
                                       sdChar('D')};
  ConvertOptions options = lineStateOptions({1, -1, 0, 7});
  Listing listing = runListing(words, options, conditions);
  EXPECT_EQ(bodyOf(listing.report),
            "SD:4142  4344\n"
            "\n"
            "CS:0000011111\n"
            "RS:0000000011\n"
            "EX:1111111111\n"
            "\n");
  EXPECT_NE(listing.report.find("* MONITOR DATA (WITH LINE STATE)      *\n"), std::string::npos);

  options.skipGuide = 1;
  EXPECT_EQ(rowsOf(words, options, conditions), "4142  4344\n0000011111\n0000000011\n1111111111\n");

  // The Normal format neither lists the change nor writes line rows.
  options.lineStateFormat = 0;
  EXPECT_EQ(rowsOf(words, options, conditions), "41424344\n");
}

TEST(NormalListing, UnnamedLinesShowBlankNames) {
  const Listing listing = runListing({lineStateWord(0x800, 0x000, 17), sdChar('A')},
                                     lineStateOptions({11}), kLineStatesRecorded);
  EXPECT_EQ(bodyOf(listing.report), "SD:  41\n\n  :0111\n\n");
}

// Every status of an SD cell, shown with BAUDOT, whose byte 0x01 reads "E" in the primary
// table and "3" in the alternate one; then the byte-dependent forms with other bytes.
std::vector<uint32_t> everyStatus() {
  std::vector<uint32_t> words;
  for (unsigned status = 0; status < 32; ++status)
    words.push_back(build::dataWord(build::cell(status, 0x01), build::cell(8, 0x7E)));
  for (const uint16_t cell : {build::cell(4, 0), build::cell(4, 2), build::cell(5, 0),
                              build::cell(7, 0), build::cell(4, 0x7E), build::cell(5, 0x7E)})
    words.push_back(build::dataWord(cell, build::cell(8, 0x7E)));
  return words;
}

TEST(NormalListing, HexRowStatusTable) {
  // 136 columns put every cell in one block.
  const std::string sdHexRow = linesOf(rowsOf(everyStatus(), bare(0, 2, 136)))[0];
  EXPECT_EQ(sdHexRow,
            " -******"
            "    0101"
            "01010101"
            "01010101"
            "01010101"
            "01010101"
            "********"
            "01010101"
            "      007E7E");
}

struct CharRowCase {
  int protocol;
  int parity;
  const char* statuses8to31;  // statuses 8-31; 0-7 and the extra cells are the same for all
};

TEST(NormalListing, CharacterRowStatusTableForEveryWordKind) {
  const CharRowCase cases[] = {
      {2, 0, " E?1?2?3 3?1?2?3{}?1?2?3???1?2?3********  ?1?2?3"},   // word kind 0
      {0, 5, " E##?2?2 3##?2?2{}##?2?2??##?2?2********  ##?2?2"},   // 1: ASYNC with MP
      {5, 0, " E##?2?2 3##?2?2{}##?2?2??##?2?2********  ##?2?2"},   // 2: I2C
      {3, 0, " E E?2?2 3 3?2?2{}{}?2?2?????2?2********    ?2?2"},   // 3: PPP
      {1, 0, " E?1 E?1 3?1 3?1{}?1{}?1???1???1********  ?1  ?1"},   // 4: SYNC
      {10, 0, " E E E E 3 3 3 3{}{}{}{}????????********        "},  // 5: SPI
      {0, 0, " E?1?2?3 3?1?2?3{}?1?2?3???1?2?3********  ?1?2?3"},   // ASYNC reads as 0
  };
  for (const CharRowCase& c : cases) {
    const build::Conditions conditions{
        .protocol = c.protocol, .code = CodeBaudot, .parity = c.parity};
    const std::string sdCharRow = linesOf(rowsOf(everyStatus(), bare(0, 1, 136), conditions))[0];
    EXPECT_EQ(sdCharRow, std::string("  ******>>^^?5AA") + c.statuses8to31 + ">>^^<<BB^^^^")
        << "protocol " << c.protocol << " parity " << c.parity;
  }
}

// The listing looks cells up by their whole 16 bits; the three bits between status and
// byte (the data-word flag sits there in SD cells) must not change what a cell shows.
TEST(CellTable, WholeCellLookupAgreesWithTheFormsForEveryCell) {
  CodeCells code;
  code.load(CodeBaudot);
  CellTable table;
  table.build(hexRowForms(), charRowForms(3), code);
  EXPECT_TRUE(table.plain());
  for (unsigned cell = 0; cell < 0x10000; ++cell) {
    const uint16_t plainCell = static_cast<uint16_t>(cell & 0xFF1F);
    char hex[2], chars[2];
    putDataCell(hex, plainCell, hexRowForms(), code);
    putDataCell(chars, plainCell, charRowForms(3), code);
    ASSERT_EQ(std::string(table.hex(static_cast<uint16_t>(cell)), 2), std::string(hex, 2))
        << std::hex << cell;
    ASSERT_EQ(std::string(table.chars(static_cast<uint16_t>(cell)), 2), std::string(chars, 2))
        << std::hex << cell;
  }
}

// ---- The listing against a column-by-column model ----
//
// The listing collects a block's cells in bulk (runs of data words, the columns of a
// four-column record at once) and trims rows eight characters at a time. The model works
// every column out on its own from the per-cell functions, cuts blocks at the width's
// capacity and trims each row character by character.

// Mixed records: runs of data words with any status and byte in either lane, idle counts
// (some past the overflow), both kinds of time stamp, markers, and control words that are
// never listed or list only one column (a kind with bit 6 set has no display columns).
std::vector<uint32_t> mixedRecords(uint32_t seed, size_t count) {
  std::mt19937 random(seed);
  const auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  const auto anyCell = [&] {
    return pick(4) == 0 ? uint16_t{0} : build::cell(pick(32), static_cast<uint8_t>(pick(256)));
  };
  std::vector<uint32_t> words;
  while (words.size() < count) {
    switch (pick(9)) {
      case 0: words.push_back(idleWord(pick(12000))); break;
      case 1: words.push_back(clockStamp(pick(128), pick(256), pick(256), pick(2) != 0)); break;
      case 2: words.push_back(counterStamp(pick(524288))); break;
      case 3: words.push_back(markerWord(pick(3))); break;
      case 4: {
        constexpr uint32_t kOddKinds[] = {1, 6, 16, 17, 30, 0x40, 0x44, 0x48, 0x51};
        words.push_back(kOddKinds[pick(9)] | pick(1 << 24) << 8);
        break;
      }
      default:
        for (uint32_t n = 1 + pick(60); n > 0; --n)
          words.push_back(build::dataWord(anyCell(), anyCell()));
    }
  }
  return words;
}

// How a block row shows its columns.
struct ModelRow {
  const char* prefix;
  int lane;       // 0 SD, 1 RD
  bool chars;     // the character form, else hex
  int labelMode;  // see putControlCell
};

// The rows of a block by data line (both, SD, RD) and code display (both, char, hex).
std::vector<ModelRow> modelRows(uint8_t dataLine, uint8_t codeDisplay) {
  if (dataLine == DataLineBoth) {
    if (codeDisplay == ShowChar) return {{"SD:", 0, true, 0}, {"RD:", 1, true, 1}};
    if (codeDisplay == ShowHex) return {{"SD:", 0, false, 0}, {"RD:", 1, false, 1}};
    return {{"SD:", 0, false, 0}, {"   ", 0, true, 1}, {"RD:", 1, false, 2}, {"   ", 1, true, 2}};
  }
  const int lane = dataLine == DataLineRd ? 1 : 0;
  const char* prefix = lane == 0 ? "SD:" : "RD:";
  if (codeDisplay == ShowChar) return {{prefix, lane, true, 1}};
  if (codeDisplay == ShowHex) return {{prefix, lane, false, 1}};
  return {{prefix, lane, false, 0}, {"   ", lane, true, 1}};
}

// A column of the listing: the word it shows (a four-column record's word plus the
// column) and the line states before and after it.
struct ModelColumn {
  uint32_t word;
  uint16_t before;
  uint16_t after;
};

// The columns the listing shows: a listed data word, every column of a four-column
// record, a listed marker, and in the Line state format a listed line-state change. The
// line state in force starts as the first change's state before it and follows every
// change.
std::vector<ModelColumn> modelColumns(const std::vector<uint32_t>& words, const ConvertOptions& o) {
  const uint32_t listed = o.dataLine == DataLineSd   ? 0x1Fu
                          : o.dataLine == DataLineRd ? 0x1F0000u
                                                     : 0x1F001Fu;
  const auto isChange = [](uint32_t word) { return (word & 0x7E) == 16; };
  const auto firstChange = std::find_if(words.begin(), words.end(), isChange);
  uint16_t state = firstChange == words.end() ? 0 : lineStateBefore(*firstChange);
  std::vector<ModelColumn> columns;
  for (const uint32_t word : words) {
    const unsigned kind = word & 0x1F;
    if ((word & 0x20) != 0) {
      if ((word & listed) != 0) columns.push_back({word, state, state});
    } else if (kind == 0 || kind == 4 || kind == 8) {
      if (kind == 0 ? o.skipIdle : o.skipTimeStamp) continue;
      const unsigned shown = (word & 0x70) == 0 ? 4 : 1;
      for (unsigned column = 0; column < shown; ++column)
        columns.push_back({word + column, state, state});
    } else if (kind == 19 && ((word >> 8) & 0xFF) <= 1) {
      columns.push_back({word, state, state});
    } else if (kind == 17 && o.lineStateFormat) {
      columns.push_back({word, lineStateBefore(word), lineStateAfter(word)});
    }
    if (isChange(word)) state = lineStateAfter(word);
  }
  return columns;
}

std::string modelDataRow(const std::vector<ModelColumn>& columns, const ModelRow& row,
                         const CodeCells& code, const ConvertOptions& o) {
  std::string line = o.skipGuide ? "" : row.prefix;
  for (const ModelColumn& column : columns) {
    char cell[2];
    if ((column.word & 0x20) != 0)
      putDataCell(cell, laneCell(row.lane, column.word),
                  row.chars ? charRowForms(0) : hexRowForms(), code);
    else
      putControlCell(cell, column.word, row.labelMode);
    line.append(cell, 2);
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line + "\n";
}

// An active line (its bit set) is listed as "0".
std::string modelLineRow(const std::vector<ModelColumn>& columns, int line,
                         const ConvertOptions& o) {
  static const char* const kNames[] = {"RS:", "CS:", "DR:", "CD:", "ER:", "SQ:", "CI:", "EX:"};
  std::string row = o.skipGuide ? "" : line < 8 ? kNames[line] : "  :";
  for (const ModelColumn& column : columns) {
    row += (column.before >> line & 1) != 0 ? '0' : '1';
    row += (column.after >> line & 1) != 0 ? '0' : '1';
  }
  return row + "\n";
}

std::string modelListing(const std::vector<uint32_t>& words, const ConvertOptions& o) {
  CodeCells code;
  code.load(o.printCode);
  const std::vector<ModelColumn> columns = modelColumns(words, o);
  const size_t capacity = o.printColumns < 80 ? 14 : o.printColumns < 136 ? 28 : 56;
  const std::string blank = o.skipGuide ? "" : "\n";
  std::string text;
  for (size_t first = 0; first < columns.size(); first += capacity) {
    const std::vector<ModelColumn> block(
        columns.begin() + static_cast<std::ptrdiff_t>(first),
        columns.begin() + static_cast<std::ptrdiff_t>(std::min(columns.size(), first + capacity)));
    for (const ModelRow& row : modelRows(o.dataLine, o.codeDisplay))
      text += modelDataRow(block, row, code, o);
    text += blank;
    if (!o.lineStateFormat) continue;
    for (const int8_t line : o.lineStateSelection)
      if (line >= 0) text += modelLineRow(block, line, o);
    text += blank;
  }
  return text;
}

TEST(NormalListing, AgreesWithAColumnByColumnModel) {
  for (const uint32_t seed : {1u, 2u, 3u, 4u}) {
    const std::vector<uint32_t> words = mixedRecords(seed, 400);
    for (const uint8_t dataLine : {DataLineBoth, DataLineSd, DataLineRd}) {
      for (const uint8_t display : {ShowCharAndHex, ShowChar, ShowHex}) {
        for (const int32_t width : {40, 80, 136}) {
          for (const int skips : {0, 1, 2, 3}) {
            ConvertOptions o = seed == 4 ? lineStateOptions({1, -1, 0, 7, 11}) : ConvertOptions{};
            o.dataLine = dataLine;
            o.codeDisplay = display;
            o.printColumns = width;
            o.printCode = seed == 3 ? CodeBaudot : CodeAscii;
            o.skipIdle = static_cast<uint8_t>(skips & 1);
            o.skipTimeStamp = static_cast<uint8_t>(skips >> 1);
            o.skipGuide = seed % 2;
            const std::string report = runListing(words, o, kLineStatesRecorded).report;
            ASSERT_EQ(o.skipGuide ? report : bodyOf(report), modelListing(words, o))
                << "seed " << seed << " line " << int{dataLine} << " display " << int{display}
                << " width " << width << " skips " << skips;
          }
        }
      }
    }
  }
}

TEST(NormalListing, EmptyMonitorDataGivesTheHeaderAlone) {
  const Listing listing = runListing({}, ConvertOptions{});
  EXPECT_EQ(bodyOf(listing.report), "");
  EXPECT_EQ(runListing({}, bare(0, 0)).report, "");
  // A monitor chunk too short to hold one record word has nothing to list either.
  const std::vector<uint8_t> partialWord =
      CaptureBuilder().dinf({}).chunk("MOND", {0x20, 0x08}).bytes();
  EXPECT_EQ(bodyOf(runImage(partialWord, ConvertOptions{}).report), "");
}

TEST(NormalListing, PageLimitStopsTheRunAtThePageEnd) {
  const std::vector<uint32_t> words(28 * 200, sdChar('A'));
  const Listing listing = runListing(words, bare(1, 2), {}, 1);
  EXPECT_EQ(linesOf(listing.report).size(), 66u);
  EXPECT_EQ(runListing(words, bare(1, 2), {}, 2).report.size(), 132u * 57u);
}

// Blocks go to the report whole unless the page limit falls inside one; then the run must
// still stop right after the page's last line, with the same lines as an unlimited run.
TEST(NormalListing, PageLimitInsideABlockStopsAtThePageEnd) {
  std::vector<uint32_t> words;
  for (int i = 0; i < 28 * 40; ++i)
    words.push_back(i % 9 == 0 ? idleWord(static_cast<uint32_t>(i))
                               : sdChar(static_cast<uint8_t>(i)));
  for (const ConvertOptions& options : {bare(0, 0), ConvertOptions{}}) {
    const std::vector<std::string> all = linesOf(runListing(words, options).report);
    for (int32_t limit : {1, 2}) {
      std::vector<std::string> limited = linesOf(runListing(words, options, {}, limit).report);
      ASSERT_EQ(limited.size(), 66u * static_cast<unsigned>(limit))
          << "guide " << !options.skipGuide;
      if (!options.skipGuide) limited[0] = all[0];  // the top line holds the time of the run
      EXPECT_TRUE(std::equal(limited.begin(), limited.end(), all.begin()));
    }
  }
}

// A run from a start cursor inside the ring lists what a capture holding only the words
// from there lists.
TEST(NormalListing, StartInsideTheRingListsTheRestOfTheRing) {
  const std::vector<uint32_t> words = {sdChar('A'), idleWord(7),   rdChar('B'), clockStamp(1, 2, 3),
                                       sdChar('C'), markerWord(1), sdChar('D'), counterStamp(42)};
  for (int start : {1, 3, 7}) {
    CaptureFile capture;
    ASSERT_EQ(capture.loadImage(CaptureBuilder().dinf({}).mond(words).bytes()), 1);
    capture.seek(start);
    std::ostringstream console;
    PrintFile printFile(console);
    printFile.setSavePath(test::tempPath("listing_seek.txt"));
    NormalListingConverter converter(printFile, capture);
    converter.setOptions(bare(0, 0, 40));
    converter.run(kPageLimit);
    EXPECT_EQ(test::readFile(printFile.savePath()),
              rowsOf({words.begin() + start, words.end()}, bare(0, 0, 40)))
        << "start " << start;
  }
}

TEST(NormalListing, ReportThatCannotBeCreatedEndsTheRunAtOnce) {
  const Listing listing =
      runListing({sdChar('A')}, bare(0, 0), {}, kPageLimit, "/nonexistent-dir/report.txt");
  EXPECT_EQ(listing.result, 0);
  EXPECT_EQ(listing.console, "Can't create print data file.\n");
}

}  // namespace
}  // namespace qv
