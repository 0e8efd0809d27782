#pragma once
// Runs of plain words: data words whose two cells neither open nor end a frame and bring
// at most a character stored as it is. Such words change nothing but the open frames'
// cells, so the walks take them in a tight loop; this file tells where a run ends.
#include <cstdint>

#include "capture/cell_rules.h"
#include "capture/record_word.h"

namespace qv {

// isPlainCell of one framing mode and walk, for every cell.
class PlainCells {
 public:
  PlainCells(FramingMode mode, PlainView view);

  bool plain(uint16_t cell) const { return (bits_[cell >> 6] >> (cell & 63) & 1) != 0; }
  bool plainWord(uint32_t word) const {
    return isDataWord(word) && plain(sdCell(word)) && plain(rdCell(word));
  }

  // The first word from `from` on, before stop, that is not plain; stop when every word
  // is. Both point at whole words of one straight stretch of the capture buffer.
  const uint8_t* runEnd(const uint8_t* from, const uint8_t* stop) const;
  // The same, one word at a time: the path where no vector scan is built in, and the
  // reference the vector scan is tested against.
  const uint8_t* runEndByWords(const uint8_t* from, const uint8_t* stop) const;

  // How many of one lane's cells (0 SD, 1 RD) from `from` on, before stop, hold a
  // character.
  static int32_t countCharacters(int lane, const uint8_t* from, const uint8_t* stop);
  static int32_t countCharactersByWords(int lane, const uint8_t* from, const uint8_t* stop);

  // Whether runEnd and countCharacters take the vector scans on this processor.
  static bool scansByVectors();

 private:
  // One bit per cell: a cell tested with one load from these 8 KiB.
  uint64_t bits_[65536 / 64] = {};
  // The vector scan's form of the same rules. Whether a cell is plain depends only on
  // its status and on the class of its byte (cell_rules::ByteClass); for each status, the
  // classes whose cells are not plain, one bit per class, for statuses 0-15 and 16-31.
  uint8_t nonPlainClassesLow_[16] = {};
  uint8_t nonPlainClassesHigh_[16] = {};
};

// The table of a framing mode and walk, built when first asked for and then shared.
const PlainCells& plainCells(FramingMode mode, PlainView view);

}  // namespace qv
