// Walking the monitor ring: stepping, display columns, the state in force at a word,
// and the start cursor.
#include <gtest/gtest.h>

#include <memory>

#include "capture/capture_file.h"
#include "capture_builder.h"
#include "ring_fixture.h"

namespace qv {
namespace {

using namespace build;
using test::loadRing;
using test::withLineStates;

// The ring's arithmetic on a chunk of three words and a partial one, which is not part
// of the ring.
TEST(MonitorRing, StepsWrapAndDistancesCountForward) {
  const uint8_t chunk[14] = {};
  const MonitorRing ring(chunk, chunk + 14);
  const uint8_t* w[] = {chunk, chunk + 4, chunk + 8};
  EXPECT_EQ(3u, ring.wordCount());
  EXPECT_EQ(chunk + 12, ring.wrapPoint());
  struct Step {
    const uint8_t* from;
    const uint8_t* next;
    const uint8_t* previous;
  };
  for (const Step& step :
       {Step{w[0], w[1], w[2]}, Step{w[1], w[2], w[0]}, Step{w[2], w[0], w[1]}}) {
    EXPECT_EQ(step.next, ring.next(step.from));
    EXPECT_EQ(step.previous, ring.previous(step.from));
  }
  struct Span {
    const uint8_t* from;
    const uint8_t* to;
    size_t words;
  };
  for (const Span& span :
       {Span{w[0], w[0], 0}, Span{w[0], w[2], 2}, Span{w[2], w[0], 1}, Span{w[1], w[0], 2}}) {
    EXPECT_EQ(span.words, ring.distance(span.from, span.to));
    EXPECT_EQ(span.to, ring.wordsAfter(span.from, span.words + 3));  // whole turns add nothing
  }
  EXPECT_TRUE(ring.holds(w[2]));
  EXPECT_FALSE(ring.holds(chunk + 12));  // the partial word
  EXPECT_FALSE(ring.holds(chunk + 2));   // inside a word
  EXPECT_EQ(w[0], ring.wordOrFirst(chunk + 13));
  EXPECT_TRUE(MonitorRing(chunk, chunk + 3).empty());
  EXPECT_TRUE(MonitorRing().empty());
}

TEST(MonitorRing, VisitsEveryWordOnceThenStopsWithCursorUnchanged) {
  const auto file = loadRing({sdChar('A'), rdChar('B'), idleWord(3)});
  RecordCursor cursor = file->startCursor();
  EXPECT_EQ(cursor.position, file->chunkStart());
  ASSERT_TRUE(file->advance(cursor));
  EXPECT_EQ(cursor.position, file->chunkStart() + 4);
  ASSERT_TRUE(file->advance(cursor));
  EXPECT_EQ(cursor.position, file->chunkStart() + 8);
  const RecordCursor last = cursor;
  EXPECT_FALSE(file->advance(cursor));
  EXPECT_EQ(cursor.position, last.position);
}

TEST(MonitorRing, AdvanceTakesStateFromTheWordsItLeaves) {
  const Conditions irda = withLineStates(ProtocolIrda);
  const auto file =
      loadRing({sdChar('A'), lineStateWord(0x001, 0x002), lineStateWord(0x002, 0x0F0, 17),
                speedWord(3, 8), speedWord(8, 9, 1), sdChar('B')},
               irda);
  RecordCursor cursor = file->startCursor();
  EXPECT_EQ(cursor.lineState, 0x001);
  EXPECT_EQ(cursor.speedCode, 3);
  const uint16_t lineStates[] = {0x001, 0x002, 0x0F0, 0x0F0, 0x0F0};
  const uint8_t speedCodes[] = {3, 3, 3, 8, 8};  // a kind-30 word of sub-kind 1 is no speed change
  for (int step = 0; step < 5; ++step) {
    ASSERT_TRUE(file->advance(cursor));
    EXPECT_EQ(cursor.lineState, lineStates[step]) << "step " << step;
    EXPECT_EQ(cursor.speedCode, speedCodes[step]) << "step " << step;
  }
}

TEST(MonitorRing, FourColumnRecordsAreVisitedFourTimes) {
  const auto file = loadRing({idleWord(7), sdChar('A'), clockStamp(1, 2, 3), lineStateWord(1, 0),
                              counterStamp(9), markerWord(0)});
  RecordCursor cursor = file->startCursor();
  int visits[6] = {};
  do {
    ++visits[(cursor.position - file->chunkStart()) / 4];
    EXPECT_LT(cursor.column, 4);
  } while (file->advanceColumn(cursor));
  const int expected[6] = {4, 1, 4, 1, 4, 1};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(visits[i], expected[i]) << "word " << i;
}

TEST(MonitorRing, IdleColumnsStayOnTheWordThenMoveOn) {
  const auto file = loadRing({idleWord(7), sdChar('A')});
  RecordCursor cursor = file->startCursor();
  for (int column = 1; column <= 3; ++column) {
    ASSERT_TRUE(file->advanceColumn(cursor));
    EXPECT_EQ(cursor.column, column);
    EXPECT_EQ(cursor.position, file->chunkStart());
  }
  ASSERT_TRUE(file->advanceColumn(cursor));
  EXPECT_EQ(cursor.column, 0);
  EXPECT_EQ(cursor.position, file->chunkStart() + 4);
}

TEST(MonitorRing, LineStateComesFromTheNearestChange) {
  const Conditions recorded = withLineStates();
  const auto file = loadRing({sdChar('A'), lineStateWord(0x123, 0x456), sdChar('B'),
                              lineStateWord(0x456, 0x789), sdChar('C')},
                             recorded);
  const uint8_t* at = file->chunkStart();
  EXPECT_EQ(file->lineStateAt(at), 0x123);      // the next change tells the state before it
  EXPECT_EQ(file->lineStateAt(at + 4), 0x123);  // a change at the position itself too
  EXPECT_EQ(file->lineStateAt(at + 8), 0x456);
  EXPECT_EQ(file->lineStateAt(at + 16), 0x789);  // only earlier changes: the state after
  EXPECT_EQ(file->startCursor().lineState, 0x123);

  const auto unrecorded = loadRing({sdChar('A'), lineStateWord(0x123, 0x456)});
  EXPECT_EQ(unrecorded->lineStateAt(unrecorded->chunkStart()), 0);
  const auto noChanges = loadRing({sdChar('A'), sdChar('B')}, recorded);
  EXPECT_EQ(noChanges->lineStateAt(noChanges->chunkStart() + 4), 0);
}

TEST(MonitorRing, SpeedCodeIsKnownOnlyForIrda) {
  const Conditions irda{.protocol = ProtocolIrda};
  const std::vector<uint32_t> words = {sdChar('A'), speedWord(1, 2, 7), speedWord(3, 4),
                                       sdChar('B')};
  const auto file = loadRing(words, irda);
  const uint8_t* at = file->chunkStart();
  EXPECT_EQ(file->speedCodeAt(at), 3);  // the sub-kind 7 word is passed over
  EXPECT_EQ(file->speedCodeAt(at + 8), 3);
  EXPECT_EQ(file->speedCodeAt(at + 12), 4);

  for (int protocol : {ProtocolAsync, ProtocolHdlc, ProtocolPpp, ProtocolSpi}) {
    const auto notIrda = loadRing(words, {.protocol = protocol});
    EXPECT_EQ(notIrda->speedCodeAt(notIrda->chunkStart()), -1) << "protocol " << protocol;
    EXPECT_EQ(notIrda->startCursor().speedCode, 0xFF);
  }
  const auto noSpeedWords = loadRing({sdChar('A'), speedWord(1, 2, 1)}, irda);
  EXPECT_EQ(noSpeedWords->speedCodeAt(noSpeedWords->chunkStart()), -1);
}

TEST(MonitorRing, SeekClampsToTheRingAndRebuildsTheStartCursor) {
  const Conditions irda = withLineStates(ProtocolIrda);
  const auto file =
      loadRing({sdChar('A'), lineStateWord(0x00A, 0x00B), speedWord(5, 6), sdChar('B')}, irda);
  EXPECT_EQ(file->seek(99), 6);
  EXPECT_EQ(file->startCursor().position, file->chunkStart() + 12);
  EXPECT_EQ(file->startCursor().lineState, 0x00B);
  EXPECT_EQ(file->startCursor().speedCode, 6);
  EXPECT_EQ(file->seek(-5), 5);
  EXPECT_EQ(file->startCursor().position, file->chunkStart());
  EXPECT_EQ(file->startCursor().lineState, 0x00A);
  EXPECT_EQ(file->seek(2), 5);
  EXPECT_EQ(file->startCursor().position, file->chunkStart() + 8);
}

// An empty chunk, or one too short for a whole word, is an empty ring; placed last in the
// file, any read of its word would leave the buffer.
TEST(MonitorRing, RingWithoutWholeWordsHasNoRecords) {
  const Conditions irda = withLineStates(ProtocolIrda);
  for (const std::vector<uint8_t>& data :
       {std::vector<uint8_t>{}, std::vector<uint8_t>{0x30, 0x41, 0x00}}) {
    CaptureFile file;
    ASSERT_EQ(file.loadImage(CaptureBuilder().dinf(irda).chunk("MOND", data).bytes()), 1);
    EXPECT_EQ(file.byteLength(), data.size());
    EXPECT_NE(file.chunkStart(), nullptr);
    EXPECT_EQ(file.chunkEnd(), file.chunkStart());
    RecordCursor cursor = file.startCursor();
    EXPECT_FALSE(file.advance(cursor));
    EXPECT_FALSE(file.advanceColumn(cursor));
    EXPECT_EQ(file.lineStateAt(cursor.position), 0);
    EXPECT_EQ(file.speedCodeAt(cursor.position), -1);
    EXPECT_EQ(file.seek(0), -1);
    for (auto search : test::kAllSearches) EXPECT_FALSE(search(file, cursor));
  }
}

TEST(MonitorRing, CursorOutsideTheRingIsRefused) {
  const auto file = loadRing({sdChar('A'), sdChar('B')});
  RecordCursor stray;  // never placed in the ring
  EXPECT_FALSE(file->advance(stray));
  EXPECT_FALSE(file->advanceColumn(stray));
  for (auto search : test::kAllSearches) EXPECT_FALSE(search(*file, stray));
  RecordCursor misaligned = file->startCursor();
  misaligned.position += 2;
  EXPECT_FALSE(file->advance(misaligned));
  EXPECT_EQ(file->lineStateAt(file->chunkEnd()), 0);
}

// A walk that takes the steps inside straight runs without ring tests must see every word
// with the same state as one that calls advance for each step.
TEST(MonitorRing, StraightRunsVisitWhatAdvanceVisits) {
  const Conditions irda = withLineStates(ProtocolIrda);
  const std::vector<uint32_t> words = {sdChar('A'),
                                       lineStateWord(0x001, 0x002),
                                       speedWord(3, 8),
                                       idleWord(2),
                                       lineStateWord(0x002, 0x0F0, 17),
                                       speedWord(8, 9, 1),
                                       rdChar('B'),
                                       sdChar('C')};
  const auto file = loadRing(words, irda);
  for (int start : {0, 3, 7}) {
    SCOPED_TRACE(start);
    file->seek(start);
    std::vector<RecordCursor> expected;
    RecordCursor one = file->startCursor();
    do expected.push_back(one);
    while (file->advance(one));
    std::vector<RecordCursor> seen;
    RecordCursor run = file->startCursor();
    for (size_t left = file->straightRun(run); left > 0;) {
      seen.push_back(run);
      if (left > 1) {
        CaptureFile::stepInRun(run);
        --left;
      } else {
        left = file->advance(run) ? file->straightRun(run) : 0;
      }
    }
    ASSERT_EQ(seen.size(), expected.size());
    EXPECT_EQ(seen.size(), words.size() - static_cast<size_t>(start));
    for (size_t i = 0; i < seen.size(); ++i) {
      EXPECT_EQ(seen[i].position, expected[i].position) << i;
      EXPECT_EQ(seen[i].lineState, expected[i].lineState) << i;
      EXPECT_EQ(seen[i].speedCode, expected[i].speedCode) << i;
    }
  }
  RecordCursor stray;
  EXPECT_EQ(file->straightRun(stray), 0u);
}

}  // namespace
}  // namespace qv
