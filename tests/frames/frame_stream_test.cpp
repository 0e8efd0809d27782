// The frame stream against the plain walk from every cursor: on random and hostile
// captures of every family and framing mode, the frames that reach the report must be
// the same, field by field, whichever way they were assembled.
#include "frames/frame_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame_test_support.h"
#include "frames/frame_runners.h"

namespace qv::test {
namespace {

// ---- random captures ----

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
  bool oneIn(uint32_t n) { return below(n) == 0; }
  template <typename T, size_t N>
  T pick(const T (&values)[N]) {
    return values[below(N)];
  }

 private:
  uint64_t state_;
};

// How a capture leans: plain mixes, or frames that rarely or never end.
struct Mix {
  bool closings = true;  // closing cells, closing bytes, status 7, markers 0 and 1
  unsigned dataPercent = 60;
  unsigned emptyCellPercent = 35;
  unsigned escapePercent = 15;  // share of 0x7D bytes
};

bool endsSomething(uint16_t c) {
  const unsigned status = c & 0x1F;
  const auto byte = static_cast<uint8_t>(c >> 8);
  return status == 5 || status == 6 || status == 7 ||
         (status >= 8 && (byte == 0x7E || byte == 0xC1));
}

uint16_t randomCell(Random& r, const Mix& mix) {
  static constexpr uint8_t kStatuses[] = {0, 1, 3,  4,  4,  4,  5,  5,  6,  7,  7,  8,  8,  8,  8,
                                          9, 9, 10, 11, 12, 13, 16, 16, 17, 20, 20, 21, 24, 28, 31};
  static constexpr uint8_t kBytes[] = {0x7E, 0x7E, 0xC0, 0xC1, 0xC1, 0x00, 0x00, 0x01, 0x41, 0x5D};
  for (;;) {
    if (r.below(100) < mix.emptyCellPercent) return 0;
    const uint8_t status = r.pick(kStatuses);
    uint8_t byte = r.below(100) < mix.escapePercent ? 0x7D
                   : r.oneIn(3)                     ? static_cast<uint8_t>(r.next())
                                                    : r.pick(kBytes);
    const uint16_t c = cell(status, byte);
    if (mix.closings || !endsSomething(c)) return c;
  }
}

uint32_t randomControlWord(Random& r, const Mix& mix) {
  static constexpr uint8_t kSpeeds[] = {0, 2, 5, 5, 6, 7, 8, 10, 0xFF};
  switch (r.below(9)) {
    case 0:
    case 1: return clockStamp(r.below(100), r.below(256), r.below(256), r.oneIn(2));
    case 2: return counterStamp(r.below(1 << 19), r.oneIn(2));
    case 3:  // display columns
      return (r.oneIn(2) ? 4u : 8u) + 1 + r.below(3) +
             (static_cast<uint32_t>(r.next() & 0xFFFF) << 8);
    case 4:
      return build::lineStateWord(static_cast<uint16_t>(r.below(4096)),
                                  static_cast<uint16_t>(r.below(4096)), 16 + r.below(2));
    case 5: return markerWord(mix.closings ? r.below(3) : 2 + r.below(3));
    case 6: return speedWord(r.pick(kSpeeds), r.pick(kSpeeds), r.oneIn(6) ? 1 : 0);
    case 7: return build::idleWord(r.below(20000));
    default: return 19u | (0x40u) | ((mix.closings ? r.below(3) : 2u) << 8);  // kind 19 with bit 6
  }
}

std::vector<uint32_t> randomWords(Random& r, const Mix& mix, size_t count) {
  std::vector<uint32_t> words;
  words.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    if (r.below(100) < mix.dataPercent)
      words.push_back(dataWord(randomCell(r, mix), randomCell(r, mix)));
    else
      words.push_back(randomControlWord(r, mix));
  }
  return words;
}

// ---- the frames that reach the report ----

struct Family {
  FrameFamily family;
  int protocol;
};
constexpr Family kFamilies[] = {
    {FrameFamily::Hdlc, 2}, {FrameFamily::Hdlc, 8},  {FrameFamily::Ppp, 3},  {FrameFamily::Irda, 4},
    {FrameFamily::I2c, 5},  {FrameFamily::Async, 0}, {FrameFamily::Spi, 10},
};

// withOverflow: whether the overflow is compared (the sweep counts it only beyond the
// report's capacity).
std::string describe(const Frame& f, const uint8_t* base, bool withOverflow) {
  auto at = [&](const uint8_t* p) {
    return p == nullptr ? -1L : static_cast<long>((p - base) / 4);
  };
  std::string text = "dir " + std::to_string(f.direction) + " end " +
                     std::to_string(static_cast<int>(f.endStatus)) + " first " +
                     std::to_string(at(f.firstWord)) + " last " +
                     std::to_string(at(f.lastDataWord)) + " stamp " + std::to_string(f.stampWord) +
                     " count " + std::to_string(f.count) + " stored " + std::to_string(f.stored) +
                     " overflow " + std::to_string(withOverflow ? f.overflow : 0) + " cells";
  for (int i = 0; i < kFrameCells; ++i)
    if (f.cells[i] != 0) text += " " + std::to_string(i) + ":" + std::to_string(f.cells[i]);
  for (int32_t i = kFrameCells; i < f.stored; ++i) text += " " + std::to_string(cellAt(f, i));
  return text;
}

// The runner's loop over the frames it would translate: their descriptions (when
// asked for), how many, and what the stream spent on them.
struct Delivery {
  std::vector<std::string> frames;
  size_t count = 0;
  size_t outOfTurn = 0;  // frames opening before one printed earlier in their direction
  uint32_t refusals = 0;
  uint64_t walked = 0;
};

Delivery deliver(const CaptureFile& capture, FrameFamily family, uint8_t dataLine,
                 FrameStream::Method method, bool describeFrames = true,
                 int32_t capacity = kFrameCells, bool withOverflow = false) {
  FrameAssembler assembler(capture);
  assembler.setCellCapacity(capacity);
  const RecordCursor start = capture.startCursor();
  FrameDeliveryFilter filter(dataLine, start.position, capture.ring());
  FrameStream frames(capture, assembler, family, start, method);
  Delivery delivery;
  Frame frame;
  const uint8_t* latest[3] = {};
  do {
    const FrameIdentity identity = frames.identify();
    if (!filter.shouldPrint(identity.direction, identity.firstWord, frames.cursor().position))
      continue;
    frames.assemble(frame);
    ++delivery.count;
    if (identity.firstWord != nullptr && identity.firstWord < latest[identity.direction])
      ++delivery.outOfTurn;
    if (identity.firstWord > latest[identity.direction])
      latest[identity.direction] = identity.firstWord;
    if (describeFrames)
      delivery.frames.push_back(describe(frame, capture.chunkStart(), withOverflow));
  } while (frames.advance());
  delivery.refusals = frames.refusals();
  delivery.walked = frames.wordsWalked();
  return delivery;
}

std::vector<uint8_t> captureImage(const std::vector<uint32_t>& words, int protocol, Random& r) {
  build::Conditions conditions;
  conditions.protocol = protocol;
  conditions.checkKind = static_cast<int>(r.below(3));
  conditions.stampFlag1 = r.oneIn(2) ? 1 : 0;
  conditions.stampFlag2 = r.oneIn(3) ? 1 : 0;
  conditions.lineStateRecorded = r.oneIn(2) ? 1 : 0;
  return build::CaptureBuilder().dinf(conditions).mond(words).bytes();
}

// Compares the three ways on one capture; returns false (after reporting) on a difference.
// outOfTurn, when given, adds the walk's frames that came out of turn. capacity: the cells
// a frame keeps, as an export asks for them; withOverflow compares the overflow too.
bool sameFrames(const std::vector<uint8_t>& image, FrameFamily family, uint8_t dataLine,
                int startIndex, const std::string& label, size_t* outOfTurn = nullptr,
                int32_t capacity = kFrameCells, bool withOverflow = false) {
  CaptureFile capture;
  if (capture.loadImage(image) != 1) {
    ADD_FAILURE() << label << ": capture not loaded";
    return false;
  }
  if (startIndex > 0) capture.seek(startIndex);
  const Delivery walk =
      deliver(capture, family, dataLine, FrameStream::Method::Walk, true, capacity, withOverflow);
  const std::vector<std::string>& walked = walk.frames;
  if (outOfTurn != nullptr) *outOfTurn += walk.outOfTurn;
  const Delivery swept =
      deliver(capture, family, dataLine, FrameStream::Method::Sweep, true, capacity, withOverflow);
  const std::vector<std::string> adaptive =
      deliver(capture, family, dataLine, FrameStream::Method::Adaptive, true, capacity,
              withOverflow)
          .frames;
  EXPECT_EQ(0u, swept.refusals) << label;
  EXPECT_EQ(walked, swept.frames) << label;
  EXPECT_EQ(walked, adaptive) << label;
  return walked == swept.frames && walked == adaptive && swept.refusals == 0;
}

void compareRandomCaptures(const Mix& mix, uint64_t seed, int capturesPerFamily, size_t maxWords) {
  Random r(seed);
  for (const Family& family : kFamilies) {
    for (int i = 0; i < capturesPerFamily; ++i) {
      const size_t count = 1 + r.below(static_cast<uint32_t>(maxWords));
      const std::vector<uint32_t> words = randomWords(r, mix, count);
      const std::vector<uint8_t> image = captureImage(words, family.protocol, r);
      const int startIndex =
          r.oneIn(5) ? static_cast<int>(r.below(static_cast<uint32_t>(count))) : 0;
      const std::string label = "protocol " + std::to_string(family.protocol) + " seed " +
                                std::to_string(seed) + " capture " + std::to_string(i);
      if (!sameFrames(image, family.family, static_cast<uint8_t>(r.below(3)), startIndex, label))
        return;
    }
  }
}

TEST(FrameStreamTest, RandomCapturesGiveTheWalkedFrames) {
  struct Run {
    Mix mix;
    uint64_t seed;
    int capturesPerFamily;
    size_t maxWords;
  };
  const Run runs[] = {
      {Mix{}, 1, 400, 120},
      {Mix{.closings = false}, 2, 200, 200},  // frames that rarely end
      {Mix{.closings = false, .dataPercent = 80, .emptyCellPercent = 85}, 3, 200, 300},
      {Mix{.emptyCellPercent = 20, .escapePercent = 70}, 4, 200, 200},  // escape runs
      {Mix{.closings = false, .emptyCellPercent = 20, .escapePercent = 70}, 5, 150, 300},
  };
  for (const Run& run : runs)
    compareRandomCaptures(run.mix, run.seed, run.capturesPerFamily, run.maxWords);
}

// ---- the next-frame step after a walk ----

std::string describe(const RecordCursor& c, const uint8_t* base) {
  return "word " + std::to_string((c.position - base) / 4) + " pair " +
         std::to_string(c.pairPending) + " line state " + std::to_string(c.lineState) + " speed " +
         std::to_string(c.speedCode);
}

// Walks every frame of one capture from its cursor and takes the step both ways; returns
// how many steps went on from the frame's end, or -1 after a difference.
int compareSteps(const CaptureFile& capture, FrameFamily family, const std::string& label) {
  FrameAssembler assembler(capture);
  RecordCursor cursor = capture.startCursor();
  Frame frame;
  int continued = 0;
  for (size_t step = 0; step <= capture.ring().wordCount() * 2; ++step) {
    assembler.assemble(family, cursor, &frame, 1);
    if (assembler.continuesAfterWalk(family, cursor)) ++continued;
    RecordCursor searched = cursor;
    RecordCursor afterWalk = cursor;
    const bool found = assembler.nextFrame(family, searched);
    const bool foundAfterWalk = assembler.nextFrameAfterWalk(family, afterWalk);
    const uint8_t* base = capture.chunkStart();
    if (found != foundAfterWalk || describe(searched, base) != describe(afterWalk, base)) {
      ADD_FAILURE() << label << " step " << step << " from " << describe(cursor, base)
                    << ": search " << found << " " << describe(searched, base)
                    << ", after the walk " << foundAfterWalk << " " << describe(afterWalk, base);
      return -1;
    }
    if (!found) break;
    cursor = searched;
  }
  return continued;
}

TEST(FrameStreamTest, StepAfterAWalkLandsWhereTheSearchFromTheOpeningLands) {
  Random r(21);
  const Mix mixes[] = {
      Mix{},
      Mix{.dataPercent = 85, .emptyCellPercent = 90},  // sparse openings: most steps go on
      Mix{.dataPercent = 70, .emptyCellPercent = 85, .escapePercent = 60},
  };
  int continued = 0;
  for (const Mix& mix : mixes) {
    for (const Family& family : kFamilies) {
      for (int i = 0; i < 300; ++i) {
        const size_t count = 1 + r.below(200);
        const std::vector<uint8_t> image =
            captureImage(randomWords(r, mix, count), family.protocol, r);
        CaptureFile capture;
        ASSERT_EQ(1, capture.loadImage(image));
        if (r.oneIn(4)) capture.seek(static_cast<int>(r.below(static_cast<uint32_t>(count))));
        const int steps = compareSteps(
            capture, family.family,
            "protocol " + std::to_string(family.protocol) + " capture " + std::to_string(i));
        ASSERT_GE(steps, 0);
        continued += steps;
      }
    }
  }
  EXPECT_GT(continued, 1500);  // the step after a walk was really taken
}

// ---- hostile captures ----

// Frames that hold more than 64 characters and then end in every way a lane can end.
std::vector<uint32_t> longFrames(Random& r, int protocol) {
  static constexpr uint16_t kEndings[] = {cell(5, 0),    cell(6, 0),  cell(7, 0), cell(8, 0x7E),
                                          cell(8, 0xC1), cell(16, 1), cell(20, 2)};
  std::vector<uint32_t> words;
  for (int frame = 0; frame < 6; ++frame) {
    const bool rd = r.oneIn(2);
    auto put = [&](uint16_t c) { words.push_back(rd ? dataWord(0, c) : dataWord(c, 0)); };
    if (r.oneIn(2)) words.push_back(clockStamp(1, 2, static_cast<unsigned>(frame), rd));
    put(protocol == 3 || protocol == 0 || protocol == 10 ? cell(11, 0x41) : cell(4, 0));
    const int length = 60 + static_cast<int>(r.below(12));
    for (int i = 0; i < length; ++i) {
      put(r.oneIn(5) ? cell(8, 0x7D) : cell(r.oneIn(8) ? 16 : 8, static_cast<uint8_t>(r.next())));
      if (r.oneIn(10)) words.push_back(dataWord(rd ? cell(8, 1) : 0, rd ? 0 : cell(8, 1)));
    }
    if (r.oneIn(4))
      words.push_back(markerWord(r.below(2)));
    else
      put(r.pick(kEndings));
  }
  return words;
}

TEST(FrameStreamTest, FullFramesEndAsWalked) {
  Random r(6);
  for (int round = 0; round < 60; ++round) {
    for (const Family& family : kFamilies) {
      const std::vector<uint8_t> image =
          captureImage(longFrames(r, family.protocol), family.protocol, r);
      if (!sameFrames(image, family.family, 0, 0,
                      "long frames, protocol " + std::to_string(family.protocol)))
        return;
    }
  }
}

// Long runs of 0x7D (some of them opening frames) around frames that fill up: walks
// from different cursors keep opposite escape flags for long stretches.
std::vector<uint32_t> escapeRuns(Random& r, size_t count) {
  std::vector<uint32_t> words;
  const unsigned run = 20 + r.below(300);
  for (size_t i = 0; i < count; ++i) {
    if (r.oneIn(run)) {
      words.push_back(r.oneIn(3)   ? markerWord(r.below(3))
                      : r.oneIn(2) ? clockStamp(1, 2, 3, r.oneIn(2))
                                   : 5u + r.below(3));
      continue;
    }
    auto laneCell = [&](bool sd) -> uint16_t {
      if (r.oneIn(sd ? 2 : 6)) return 0;
      const unsigned roll = r.below(run);
      const uint8_t byte = roll == 0   ? 0x7E
                           : roll == 1 ? 0xC1
                           : roll == 2 ? 0x41
                           : roll == 3 ? 0xC0
                                       : 0x7D;
      const unsigned status = r.oneIn(9)    ? 9
                              : r.oneIn(12) ? 16
                              : r.oneIn(12) ? 20
                              : r.oneIn(15) ? 4
                                            : 8;
      return r.oneIn(run) ? cell(r.oneIn(2) ? 5 : 7, 0) : cell(status, byte);
    };
    words.push_back(dataWord(laneCell(true), laneCell(false)));
  }
  return words;
}

TEST(FrameStreamTest, FullFramesInEscapeRunsEndAsWalked) {
  Random r(9);
  for (int round = 0; round < 150; ++round) {
    for (const Family& family : {kFamilies[2], kFamilies[3]}) {
      std::vector<uint32_t> words;
      if (family.protocol == 4 && r.oneIn(2)) words.push_back(speedWord(0, r.oneIn(2) ? 2 : 9));
      for (uint32_t w : escapeRuns(r, 100 + r.below(700))) words.push_back(w);
      if (family.protocol == 4 && r.oneIn(3))
        words.insert(words.begin() + r.below(static_cast<uint32_t>(words.size())),
                     speedWord(0, static_cast<uint8_t>(r.below(12))));
      const std::vector<uint8_t> image = captureImage(words, family.protocol, r);
      // An export's capacity: frames cut inside runs of 0x7Ds under either flag.
      const int32_t capacity = round % 2 ? kFrameCells : 100;
      if (!sameFrames(image, family.family, static_cast<uint8_t>(r.below(3)), 0,
                      "escape runs, protocol " + std::to_string(family.protocol) + " round " +
                          std::to_string(round) + " capacity " + std::to_string(capacity),
                      nullptr, capacity, capacity > kFrameCells))
        return;
    }
  }
}

// IrDA with speed words everywhere, many of them with codes of 128 or more: the walks
// from cursors after such a word read it as a signed byte up to their next speed word.
TEST(FrameStreamTest, IrdaSpeedCodesReadBothWaysGiveTheWalkedFrames) {
  static constexpr uint8_t kCodes[] = {0xFF, 0xFF, 200, 128, 0, 3, 5, 6, 9};
  Random r(10);
  for (int round = 0; round < 500; ++round) {
    Mix mix;
    mix.closings = r.oneIn(2);
    mix.escapePercent = r.oneIn(2) ? 60 : 10;
    std::vector<uint32_t> words =
        r.oneIn(2) ? escapeRuns(r, 50 + r.below(400)) : randomWords(r, mix, 50 + r.below(300));
    const uint32_t speedWords = 1 + r.below(8);
    for (uint32_t i = 0; i < speedWords; ++i)
      words.insert(words.begin() + r.below(static_cast<uint32_t>(words.size())),
                   speedWord(r.pick(kCodes), r.pick(kCodes)));
    const std::vector<uint8_t> image = captureImage(words, 4, r);
    if (!sameFrames(image, FrameFamily::Irda, static_cast<uint8_t>(r.below(3)), 0,
                    "IrDA speed codes, round " + std::to_string(round)))
      return;
  }
}

// IrDA frames opened after a speed code of 128 or more that fill up under the signed
// reading and stay open across the next speed word, or end only under the reading after it.
std::vector<uint32_t> irdaCrossings(Random& r) {
  static constexpr uint8_t kCodes[] = {0xFF, 200, 3, 6, 9};
  static constexpr uint16_t kLater[] = {cell(5, 0),    cell(6, 0),  cell(7, 0),  cell(8, 0xC1),
                                        cell(8, 0x7E), cell(16, 1), cell(20, 2), cell(8, 0x7D),
                                        cell(4, 0),    cell(9, 3)};
  std::vector<uint32_t> words;
  for (int block = 0; block < 4; ++block) {
    const bool rd = r.oneIn(2);
    auto put = [&](uint16_t c) { words.push_back(rd ? dataWord(0, c) : dataWord(c, 0)); };
    words.push_back(speedWord(r.pick(kCodes), r.oneIn(4) ? 200 : 0xFF));
    words.push_back(build::idleWord(1));
    put(cell(9, r.oneIn(2) ? 0x7D : 0x41));
    const uint32_t length = r.oneIn(3) ? r.below(8) : 60 + r.below(90);
    for (uint32_t i = 0; i < length; ++i)
      put(cell(r.oneIn(6) ? 9 : 8, r.oneIn(2) ? 0x7D : static_cast<uint8_t>(r.next())));
    words.push_back(speedWord(0xFF, r.oneIn(2) ? 3 : r.pick(kCodes)));
    const uint32_t after = r.below(40);
    // The last block may hold no character at all after the speed word: under the
    // signed reading its frame then has nothing more to come.
    const bool bare = block == 3 && r.oneIn(3);
    for (uint32_t i = 0; i < after; ++i) {
      if (bare)
        put(cell(r.oneIn(2) ? 5 : 6, 0));
      else
        put(r.oneIn(3) ? r.pick(kLater)
                       : cell(r.oneIn(5) ? 16 : 8, r.oneIn(4)   ? 0x42
                                                   : r.oneIn(6) ? 0xC1
                                                                : 0x7D));
    }
    if (!bare && r.oneIn(4)) words.push_back(markerWord(r.below(3)));
  }
  return words;
}

TEST(FrameStreamTest, IrdaFramesCarriedAcrossTheirFirstSpeedWordEndAsWalked) {
  Random r(11);
  for (int round = 0; round < 600; ++round) {
    const std::vector<uint8_t> image = captureImage(irdaCrossings(r), 4, r);
    // An export's capacity cuts some of the frames before their speed word, some after.
    for (const int32_t capacity : {kFrameCells, 100}) {
      if (!sameFrames(image, FrameFamily::Irda, 0, 0,
                      "IrDA crossings, round " + std::to_string(round) + " capacity " +
                          std::to_string(capacity),
                      nullptr, capacity, capacity > kFrameCells))
        return;
    }
  }
}

// IrDA frames in SIR and HDLC-type framing with speed words between them, many with
// codes of 128-255: a walk from a cursor after such a word reads it as a signed byte
// (SIR framing) and can deliver a frame that opens before one already printed.
std::vector<uint32_t> irdaFramesAroundHighSpeedWords(Random& r) {
  std::vector<uint32_t> words;
  const int frames = 2 + static_cast<int>(r.below(10));
  for (int frame = 0; frame < frames; ++frame) {
    if (r.oneIn(2)) {
      const uint8_t code =
          r.oneIn(4) ? static_cast<uint8_t>(r.below(10)) : static_cast<uint8_t>(128 + r.below(128));
      words.push_back(speedWord(static_cast<uint8_t>(r.next()), code));
      if (r.oneIn(2)) words.push_back(build::idleWord(1));
    }
    const bool rd = r.oneIn(3);
    auto put = [&](uint16_t c) {
      words.push_back(rd ? dataWord(r.oneIn(4) ? cell(8, 1) : 0, c) : dataWord(c, 0));
    };
    const bool sir = r.oneIn(2);
    put(sir ? cell(9, 0xFF) : cell(4, 0));
    const uint32_t length = r.below(6);
    for (uint32_t i = 0; i < length; ++i)
      put(cell(r.oneIn(5) ? 9 : 8, r.oneIn(6) ? 0x7D : static_cast<uint8_t>(r.next())));
    put(sir ? cell(8, 0xC1) : r.oneIn(4) ? cell(4, 0) : cell(5, 0));
  }
  return words;
}

TEST(FrameStreamTest, IrdaFramesAroundHighSpeedWordsGiveTheWalkedFrames) {
  Random r(12);
  size_t outOfTurn = 0;
  for (int round = 0; round < 800; ++round) {
    const std::vector<uint8_t> image = captureImage(irdaFramesAroundHighSpeedWords(r), 4, r);
    const int startIndex = r.oneIn(4) ? static_cast<int>(r.below(8)) : 0;
    if (!sameFrames(image, FrameFamily::Irda, static_cast<uint8_t>(r.below(3)), startIndex,
                    "IrDA high speed words, round " + std::to_string(round), &outOfTurn))
      return;
  }
  EXPECT_GT(outOfTurn, 20u);  // the captures do bring frames out of turn
}

// Captures of the kinds that make every walk run to the end of the ring.
std::vector<std::vector<uint32_t>> hostileCaptures(size_t n) {
  std::vector<std::vector<uint32_t>> captures(9);
  for (size_t i = 0; i < n; ++i) {
    captures[0].push_back(
        dataWord(cell(4, 0), i % 7 == 0 ? cell(8, 1) : 0));  // opens, never closes
    captures[1].push_back(
        dataWord(cell(i % 3 ? 9 : 8, i % 5 ? 0x7D : 0x41), 0));  // PPP, escapes, no 0x7E
    captures[2].push_back(
        i % 6 == 0 ? dataWord(0, cell(4, 0))
                   : dataWord(i < 2 ? cell(4, 0) : cell(8, 2), cell(i % 6 == 5 ? 5 : 8, 3)));
    captures[3].push_back(i % 3 == 0 ? counterStamp(static_cast<uint32_t>(i), i % 2)
                                     : dataWord(cell(8, 'x'), 0));
    captures[4].push_back(i % 2 ? clockStamp(1, 2, 3, i % 4 == 1)
                                : dataWord(cell(8, 1), cell(8, 2)));
    captures[5].push_back(dataWord(cell(4, 0), cell(9, 0x7D)));  // IrDA SIR: false boundaries
    captures[6].push_back(i % 4 == 0 ? markerWord(2) : dataWord(cell(10, 1), cell(8, 2)));
    captures[7].push_back(i % 2 ? 5u : dataWord(cell(8, 0xC0), cell(9, 0x7D)));
    // IrDA: every few words a speed code that later walks read as signed.
    captures[8].push_back(i % 5 == 0 ? speedWord(0xFF, 0xFF)
                                     : dataWord(cell(9, 0x41), cell(i % 2 ? 4 : 8, 0x7D)));
  }
  return captures;
}

// Calls check(family, image) for every hostile capture in every family, with and
// without stamp-delimited framing, until it returns false.
template <typename Check>
void forEachHostileImage(size_t wordCount, Check check) {
  for (const std::vector<uint32_t>& words : hostileCaptures(wordCount))
    for (const Family& family : kFamilies)
      for (uint8_t stampFlag = 0; stampFlag < 2; ++stampFlag) {
        build::Conditions conditions;
        conditions.protocol = family.protocol;
        conditions.stampFlag1 = stampFlag;
        if (!check(family, build::CaptureBuilder().dinf(conditions).mond(words).bytes())) return;
      }
}

TEST(FrameStreamTest, HostileCapturesGiveTheWalkedFrames) {
  Random r(7);
  forEachHostileImage(300, [&](const Family& family, const std::vector<uint8_t>& image) {
    return sameFrames(image, family.family, static_cast<uint8_t>(r.below(3)), 0,
                      "hostile, protocol " + std::to_string(family.protocol));
  });
}

// A speed code of 128 or more is read as a signed byte by the walks from cursors after
// it, and as unsigned by the walks that pass it.
TEST(FrameStreamTest, IrdaHighSpeedCodesAreReadAsEachWalkReadsThem) {
  build::Conditions conditions;
  conditions.protocol = 4;
  const std::vector<uint32_t> words = {
      dataWord(cell(9, 1), 0),  dataWord(cell(8, 2), 0),   speedWord(0xFF, 200),
      dataWord(cell(4, 0), 0),  dataWord(cell(9, 3), 0),   dataWord(cell(8, 0xC1), 0),
      dataWord(cell(16, 4), 0), dataWord(cell(5, 0), 0),   speedWord(200, 3),
      dataWord(0, cell(9, 5)),  dataWord(0, cell(8, 0xC1))};
  const std::vector<uint8_t> image = build::CaptureBuilder().dinf(conditions).mond(words).bytes();
  CaptureFile capture;
  ASSERT_EQ(1, capture.loadImage(image));
  FrameAssembler assembler(capture);
  FrameStream frames(capture, assembler, FrameFamily::Irda, capture.startCursor(),
                     FrameStream::Method::Sweep);
  Frame frame;
  uint32_t delivered = 0;
  do {
    frames.identify();
    frames.assemble(frame);
    ++delivered;
  } while (frames.advance());
  // Cursors at words 0, 2 (the start code, unknown, as the sweep reads it), 4 and 8.
  EXPECT_EQ(4u, delivered);
  EXPECT_EQ(2u, frames.sweep().signedReadings());
  EXPECT_EQ(0u, frames.refusals());
  EXPECT_TRUE(sameFrames(image, FrameFamily::Irda, 0, 0, "high speed code"));
}

// ---- cost ----

// On the hostile captures, walks stay within their credit and the sweep serves every
// other frame: walking each frame there would handle about n * n / 2 words.
TEST(FrameStreamTest, HostileCapturesAreNotWalkedFrameByFrame) {
  constexpr size_t kWords = 30000;
  forEachHostileImage(kWords, [](const Family& family, const std::vector<uint8_t>& image) {
    CaptureFile capture;
    if (capture.loadImage(image) != 1) {
      ADD_FAILURE() << "capture not loaded";
      return false;
    }
    const Delivery delivery =
        deliver(capture, family.family, 0, FrameStream::Method::Adaptive, false);
    EXPECT_EQ(0u, delivery.refusals);
    EXPECT_LE(delivery.walked, (1u << 16) + 16 * kWords) << "protocol " << family.protocol;
    return true;
  });
}

}  // namespace
}  // namespace qv::test
