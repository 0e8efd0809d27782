// The end of a run of plain words and the characters a lane brings over it: the vector
// scans against the word-by-word rules, for every framing mode and walk.
#include "frames/plain_run.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "capture/bytes.h"

namespace qv {
namespace {

constexpr FramingMode kModes[] = {FramingMode::Hdlc, FramingMode::Ppp,  FramingMode::Sir,
                                  FramingMode::I2c,  FramingMode::Char, FramingMode::Spi};
constexpr PlainView kViews[] = {PlainView::InBand, PlainView::InBandBothFramings,
                                PlainView::StampDelimited};

// The bytes the cell rules tell apart, their neighbours, and a few others.
constexpr uint8_t kBytes[] = {0x00, 0x01, 0x02, 0x0F, 0x10, 0x3C, 0x5D, 0x7C, 0x7D, 0x7E,
                              0x7F, 0xBF, 0xC0, 0xC1, 0xC2, 0xD0, 0xE1, 0xFE, 0xFF};

uint32_t dataWord(uint16_t sd, uint16_t rd) {
  return static_cast<uint32_t>(rd) << 16 | sd | kDataWordFlag;
}

std::vector<uint8_t> bytesOf(const std::vector<uint32_t>& words) {
  std::vector<uint8_t> bytes(words.size() * 4);
  for (size_t i = 0; i < words.size(); ++i) writeLe32(&bytes[4 * i], words[i]);
  return bytes;
}

uint16_t anyCell(std::mt19937& random) {
  const auto status = static_cast<uint16_t>(random() % 256);  // bits 5-7 set now and then
  return static_cast<uint16_t>(kBytes[random() % std::size(kBytes)] << 8 | status);
}

// Mostly plain words of the given table, so that runs are long enough for the vector
// scan, with a word of any kind now and then.
std::vector<uint32_t> mostlyPlainWords(const PlainCells& cells, std::mt19937& random,
                                       size_t count) {
  std::vector<uint32_t> words;
  while (words.size() < count) {
    const uint32_t word =
        dataWord(anyCell(random), anyCell(random)) ^ (random() % 16 == 0 ? kDataWordFlag : 0);
    if (cells.plainWord(word) || random() % 24 == 0) words.push_back(word);
  }
  return words;
}

TEST(PlainRun, VectorScanEndsWhereTheWordRulesEnd) {
  if (!PlainCells::scansByVectors()) GTEST_SKIP() << "no vector scan on this processor";
  std::mt19937 random(20261208);
  for (FramingMode mode : kModes) {
    for (PlainView view : kViews) {
      SCOPED_TRACE(testing::Message()
                   << "mode " << static_cast<int>(mode) << " view " << static_cast<int>(view));
      const PlainCells& cells = plainCells(mode, view);
      const std::vector<uint8_t> bytes = bytesOf(mostlyPlainWords(cells, random, 4000));
      const uint8_t* begin = bytes.data();
      for (size_t from = 0; from + 4 <= bytes.size(); from += 4 * (1 + random() % 5)) {
        const size_t words = random() % 40;
        const uint8_t* stop = begin + std::min(bytes.size(), from + 4 * words);
        ASSERT_EQ(cells.runEndByWords(begin + from, stop), cells.runEnd(begin + from, stop))
            << "from word " << from / 4 << ", " << words << " words";
      }
    }
  }
}

// Every cell the rules tell apart, at every place of an eight-word block, in either lane,
// among plain words: the scan must stop exactly at it when it is not plain.
TEST(PlainRun, EveryCellStopsTheScanAtItsOwnWord) {
  for (FramingMode mode : kModes) {
    for (PlainView view : kViews) {
      const PlainCells& cells = plainCells(mode, view);
      // A plain character where there is one (every character opens an ASYNC frame).
      uint32_t plainCell = 0x0808;
      while (plainCell < 0x10000 && !cells.plain(static_cast<uint16_t>(plainCell))) ++plainCell;
      if (plainCell == 0x10000) plainCell = 0;
      const uint32_t filler =
          dataWord(static_cast<uint16_t>(plainCell), static_cast<uint16_t>(plainCell));
      for (unsigned status = 0; status < 32; ++status) {
        for (uint8_t byte : kBytes) {
          const auto cell = static_cast<uint16_t>(unsigned{byte} << 8 | status);
          for (int lane = 0; lane < 2; ++lane) {
            const auto other = static_cast<uint16_t>(plainCell);
            const uint32_t odd = lane == 0 ? dataWord(cell, other) : dataWord(other, cell);
            for (size_t at = 0; at < 9; ++at) {
              std::vector<uint32_t> words(24, filler);
              words[at + 4] = odd;
              const std::vector<uint8_t> bytes = bytesOf(words);
              const uint8_t* from = bytes.data() + 4;
              const uint8_t* stop = bytes.data() + bytes.size();
              ASSERT_EQ(cells.runEndByWords(from, stop), cells.runEnd(from, stop))
                  << "mode " << static_cast<int>(mode) << " view " << static_cast<int>(view)
                  << " cell " << cell << " lane " << lane << " at " << at;
            }
          }
        }
      }
      // A control word is never plain, whatever its upper bits.
      std::vector<uint32_t> words(16, filler);
      words[9] = 0xFFFFFFDFu;
      const std::vector<uint8_t> bytes = bytesOf(words);
      EXPECT_EQ(bytes.data() + 36, cells.runEnd(bytes.data(), bytes.data() + bytes.size()));
    }
  }
}

TEST(PlainRun, CharactersCountedInEachLane) {
  std::mt19937 random(7);
  std::vector<uint32_t> words(300);
  for (uint32_t& word : words) word = static_cast<uint32_t>(random());
  const std::vector<uint8_t> bytes = bytesOf(words);
  for (int lane = 0; lane < 2; ++lane) {
    for (size_t from = 0; from < 40; from += 3) {
      for (size_t count : {0u, 1u, 7u, 8u, 9u, 63u, 64u, 65u, 250u}) {
        const uint8_t* first = bytes.data() + 4 * from;
        const uint8_t* stop = first + 4 * count;
        int32_t expected = 0;
        for (size_t i = from; i < from + count; ++i)
          expected += holdsCharacter(laneCell(lane, words[i])) ? 1 : 0;
        ASSERT_EQ(expected, PlainCells::countCharacters(lane, first, stop))
            << "lane " << lane << " from " << from << " count " << count;
      }
    }
  }
}

}  // namespace
}  // namespace qv
