#pragma once
// Packet times from the capture's time stamp words. The capture holds no date and its
// stamps name no units, so the reading is chosen by the operator; the default keeps
// the report's time column: a clock stamp's three fields read as six decimal digits of
// microseconds, a counter stamp's count as microseconds.
#include <cstdint>
#include <string_view>

#include "capture/capture_file.h"

namespace qv {

constexpr uint64_t kNanosPerMicro = 1000;

enum class ClockStampReading : uint8_t { Digits, HoursMinutesSeconds };

// Turns the stamp words of the exported frames, taken in export order, into times in
// nanoseconds. A counter below the one before it has wrapped (2^19 counts); clock
// fields read as hours, minutes and seconds that run backwards have passed midnight.
class StampClock {
 public:
  StampClock(ClockStampReading reading, uint64_t counterTickNs)
      : reading_(reading), counterTickNs_(counterTickNs) {}
  // stampWord 0 (no stamp): time 0.
  uint64_t nanoseconds(uint32_t stampWord);

 private:
  uint64_t clockNanoseconds(uint32_t stampWord);
  uint64_t counterNanoseconds(uint32_t stampWord);

  ClockStampReading reading_;
  uint64_t counterTickNs_;
  bool counterSeen_ = false;
  uint32_t lastCount_ = 0;
  uint64_t counterWraps_ = 0;
  bool clockSeen_ = false;
  uint64_t lastSecondOfDay_ = 0;
  uint64_t days_ = 0;
};

// The latest time stamp word before an opening word, for frames opened in-band. The
// ring is scanned once, forwards from the run's start; a question about an earlier word
// than the one before is answered from the last few stamps seen.
class OpeningStamps {
 public:
  OpeningStamps(const CaptureFile& capture, const uint8_t* runStart);
  // The stamp word with its direction bit cleared; 0 when no stamp came before.
  uint32_t latestBefore(const uint8_t* word);

  // Blocks of 64 words are passed with one test when they hold no stamp.
  static constexpr uint64_t kStampBlockBytes = 64 * 4;

 private:
  void scanTo(uint64_t limit);
  void scanPiece(const uint8_t* first, uint64_t piece);

  static constexpr int kAskedBack = 16;
  static constexpr int kHistory = kAskedBack + static_cast<int>(kStampBlockBytes / 4);
  struct Seen {
    uint64_t offset;
    uint32_t word;
  };
  uint64_t offsetOf(const uint8_t* word) const;

  const uint8_t* chunkStart_;
  uint64_t ringBytes_;
  uint64_t startOffset_;
  uint64_t scanned_ = 0;  // bytes of the ring looked at, from the run's start
  Seen history_[kHistory] = {};
  int seen_ = 0;  // stamps recorded, the latest at (seen_ - 1) % kHistory
};

// Parsers for the command line: a duration such as 100us, 1ms, 250ns or 2s; a start
// date 2026-12-08T10:00:00 (UTC) in seconds since 1970. False when the text is not one.
bool parseCounterTick(std::string_view text, uint64_t& nanoseconds);
bool parseStartDate(std::string_view text, int64_t& seconds);
bool parseClockStampReading(std::string_view text, ClockStampReading& reading);

}  // namespace qv
