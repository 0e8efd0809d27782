// The frame-boundary searches that the frame assembler steps with.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "capture/capture_file.h"
#include "capture_builder.h"
#include "ring_fixture.h"

namespace qv {
namespace {

using namespace build;
using test::loadRing;
using test::Search;
using test::withLineStates;
using test::wordIndex;

struct SearchCase {
  std::string name;
  Search search;
  uint16_t boundary;  // a cell that marks a boundary for this search
  uint16_t other;     // data cells that do not
  uint16_t otherToo;
};

// Boundaries at words 1, 6, 8 (both cells), 11 (both cells) and 13, with line-state
// and kind-30 words in front of some of them.
std::vector<uint32_t> layout(const SearchCase& c) {
  return {
      idleWord(1),                       // 0
      dataWord(c.boundary, 0),           // 1
      dataWord(c.other, 0),              // 2
      dataWord(0, c.otherToo),           // 3
      lineStateWord(0x001, 0x002),       // 4
      speedWord(1, 2),                   // 5
      dataWord(0, c.boundary),           // 6
      dataWord(c.otherToo, c.other),     // 7
      dataWord(c.boundary, c.boundary),  // 8
      dataWord(c.other, 0),              // 9
      lineStateWord(0x002, 0x004, 17),   // 10
      dataWord(c.boundary, c.boundary),  // 11
      speedWord(0, 0, 5),                // 12: a kind-30 word of another sub-kind
      dataWord(c.other, c.boundary),     // 13
      dataWord(c.other, c.otherToo),     // 14
  };
}

class ProtocolSearch : public testing::TestWithParam<SearchCase> {};

TEST_P(ProtocolSearch, StepsFromBoundaryToBoundaryAndReturnsPairsTwice) {
  const SearchCase& c = GetParam();
  const Conditions recorded = withLineStates();
  const auto file = loadRing(layout(c), recorded);
  RecordCursor cursor = file->startCursor();
  cursor.column = 2;
  // (word index, pairPending) after each call; the walk then ends at word 14.
  const std::pair<int, int> expected[] = {{4, 0}, {8, 0}, {8, 1}, {10, 0}, {10, 1}, {12, 0}};
  for (const auto& [index, pair] : expected) {
    ASSERT_TRUE(c.search(*file, cursor)) << "expected word " << index;
    EXPECT_EQ(wordIndex(*file, cursor), index);
    EXPECT_EQ(cursor.pairPending, pair) << "at word " << index;
    EXPECT_EQ(cursor.column, 0);
  }
  const RecordCursor atEnd = cursor;
  EXPECT_FALSE(c.search(*file, cursor));
  EXPECT_EQ(cursor.position, atEnd.position);
  EXPECT_EQ(cursor.pairPending, atEnd.pairPending);
}

// The cursor a search returns carries the line state in force at its word.
TEST_P(ProtocolSearch, ResultCarriesTheLineStateOfItsWord) {
  const SearchCase& c = GetParam();
  const Conditions recorded = withLineStates();
  const auto file = loadRing(layout(c), recorded);
  RecordCursor cursor = file->startCursor();
  ASSERT_TRUE(c.search(*file, cursor));  // word 4, ahead of its change
  EXPECT_EQ(cursor.lineState, 0x001);
  ASSERT_TRUE(c.search(*file, cursor));  // word 8, after it
  EXPECT_EQ(cursor.lineState, 0x002);
}

INSTANTIATE_TEST_SUITE_P(
    Searches, ProtocolSearch,
    testing::Values(SearchCase{"Hdlc", test::inBand(BoundaryKind::Hdlc), cell(4, 0x7E),
                               cell(8, 0x41), cell(5, 0x7E)},
                    SearchCase{"Ppp", test::inBand(BoundaryKind::Ppp), cell(9, 0x7E), cell(8, 0x41),
                               cell(1, 0x7E)},
                    SearchCase{"PppWithBothFlags", test::inBand(BoundaryKind::Ppp), cell(31, 0x7E),
                               cell(30, 0x41), cell(4, 0x7E)},
                    SearchCase{"IrdaOpening", test::inBand(BoundaryKind::Irda), cell(4, 0xC0),
                               cell(10, 0x41), cell(5, 0)},
                    SearchCase{"IrdaFlagged", test::inBand(BoundaryKind::Irda), cell(17, 0xC1),
                               cell(16, 0x41), cell(3, 0)},
                    SearchCase{"I2c", test::inBand(BoundaryKind::I2c), cell(4, 0), cell(4, 1),
                               cell(8, 0)},
                    SearchCase{"Character", test::inBand(BoundaryKind::Character), cell(8, 0x41),
                               cell(1, 0x41), cell(7, 0)},
                    SearchCase{"Spi", test::inBand(BoundaryKind::Spi), cell(10, 0x41),
                               cell(9, 0x41), cell(2, 0)}),
    [](const testing::TestParamInfo<SearchCase>& info) { return info.param.name; });

// Where a search stops, step after step from the start of a ring.
struct StopsCase {
  const char* what;
  std::vector<uint32_t> words;
  test::Search search;
  std::vector<std::pair<int, int>> stops;  // {word index, pair pending}
};

TEST(BoundarySearch, StopsOnlyWhereTheSearchesOwnTestHolds) {
  const StopsCase cases[] = {
      // So that it cannot stop twice on the same word; a marker is no line-state word, so
      // nothing moves back before 'B'.
      {"the character search first leaves the data word it starts on, even an empty one",
       {dataWord(cell(1, 0), 0), idleWord(2), sdChar('A'), markerWord(0), rdChar('B')},
       test::inBand(BoundaryKind::Character),
       {{2, 0}, {4, 0}}},
      {"a character pair needs characters in both cells",
       {dataWord(cell(8, 'A'), cell(1, 0)), dataWord(cell(8, 'B'), cell(8, 'C'))},
       test::inBand(BoundaryKind::Character),
       {{1, 0}, {1, 1}}},
      // Each cell of a pair passes the search's test on its own.
      {"an IrDA pair may mix an opening cell with a flagged character",
       {sdChar(1), dataWord(cell(4, 0), cell(9, 0x41))},
       test::inBand(BoundaryKind::Irda),
       {{1, 1}}},
      {"an I2C status-4 cell with byte 1 is no boundary",
       {dataWord(cell(4, 1), cell(4, 0)), dataWord(cell(4, 0), cell(4, 1))},
       test::inBand(BoundaryKind::I2c),
       {{1, 0}}},
      {"control words whose halves look like opening cells are never boundaries",
       {sdChar(0x7E, 4), markerWord(0), clockStamp(1, 2, 3), markerWord(0) | 0x00040000u,
        sdChar(0x7E, 4)},
       test::inBand(BoundaryKind::Hdlc),
       {{4, 0}}},
  };
  for (const StopsCase& c : cases) {
    SCOPED_TRACE(c.what);
    const auto file = loadRing(c.words);
    RecordCursor cursor = file->startCursor();
    for (auto [index, pairPending] : c.stops) {
      ASSERT_TRUE(c.search(*file, cursor));
      EXPECT_EQ(wordIndex(*file, cursor), index);
      EXPECT_EQ(cursor.pairPending, pairPending);
    }
  }
}

TEST(StampDelimited, EndsAheadOfTheLineStateRunBeforeTheNextStamp) {
  const auto file = loadRing({
      sdChar('A'),              // 0
      clockStamp(1, 2, 3),      // 1
      sdChar('B'),              // 2
      rdChar('C'),              // 3
      lineStateWord(0, 1),      // 4
      speedWord(0, 0, 3),       // 5
      counterStamp(77, true),   // 6
      sdChar('D'),              // 7
      markerWord(0),            // 8
      clockStamp(1, 2, 4) | 1,  // 9: a stamp with a display column set
      rdChar('E'),              // 10
  });
  RecordCursor cursor = file->startCursor();
  cursor.column = 3;
  cursor.pairPending = 1;
  ASSERT_TRUE(file->nextStampDelimited(cursor));
  EXPECT_EQ(wordIndex(*file, cursor), 4);
  EXPECT_EQ(cursor.column, 0);
  EXPECT_EQ(cursor.pairPending, 0);
  ASSERT_TRUE(file->nextStampDelimited(cursor));
  EXPECT_EQ(wordIndex(*file, cursor), 9);
  const RecordCursor last = cursor;
  EXPECT_FALSE(file->nextStampDelimited(cursor));  // no stamp after word 9
  EXPECT_EQ(cursor.position, last.position);

  const auto noStamps = loadRing({sdChar('A'), rdChar('B')});
  RecordCursor start = noStamps->startCursor();
  EXPECT_FALSE(noStamps->nextStampDelimited(start));
  EXPECT_EQ(start.position, noStamps->chunkStart());
}

}  // namespace
}  // namespace qv
