#include "export/export_time.h"

#include <algorithm>
#include <charconv>

namespace qv {

namespace {

constexpr uint64_t kNanosPerSecond = 1000000000;
constexpr uint64_t kSecondsPerDay = 86400;
constexpr uint64_t kCounterSpan = 1u << 19;

uint32_t clockField(uint32_t stampWord, int index) { return (stampWord >> (8 * index + 8)) & 0xFF; }

struct TickUnit {
  std::string_view suffix;
  uint64_t nanoseconds;
};
// "s" comes last, after the units that end in it.
constexpr TickUnit kTickUnits[] = {
    {"ns", 1}, {"us", kNanosPerMicro}, {"ms", 1000000}, {"s", kNanosPerSecond}};

bool parseNumber(std::string_view text, int64_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

// ---- stamp clock ----

uint64_t StampClock::nanoseconds(uint32_t stampWord) {
  if (stampWord == 0) return 0;
  if (isCounterStampKind(stampWord)) return counterNanoseconds(stampWord);
  return clockNanoseconds(stampWord);
}

uint64_t StampClock::clockNanoseconds(uint32_t stampWord) {
  const uint64_t f1 = clockField(stampWord, 0);
  const uint64_t f2 = clockField(stampWord, 1);
  const uint64_t f3 = clockField(stampWord, 2);
  if (reading_ == ClockStampReading::Digits) return (f1 * 10000 + f2 * 100 + f3) * kNanosPerMicro;
  const uint64_t second = f1 * 3600 + f2 * 60 + f3;
  if (clockSeen_ && second < lastSecondOfDay_) ++days_;
  clockSeen_ = true;
  lastSecondOfDay_ = second;
  return (days_ * kSecondsPerDay + second) * kNanosPerSecond;
}

uint64_t StampClock::counterNanoseconds(uint32_t stampWord) {
  const uint32_t count = counterStampValue(stampWord);
  if (counterSeen_ && count < lastCount_) ++counterWraps_;
  counterSeen_ = true;
  lastCount_ = count;
  return (counterWraps_ * kCounterSpan + count) * counterTickNs_;
}

// ---- stamps before in-band openings ----

OpeningStamps::OpeningStamps(const CaptureFile& capture, const uint8_t* runStart)
    : chunkStart_(capture.chunkStart()),
      ringBytes_(static_cast<uint64_t>(capture.chunkEnd() - capture.chunkStart())),
      startOffset_(0) {
  if (chunkStart_ != nullptr && runStart != nullptr && runStart >= chunkStart_ &&
      static_cast<uint64_t>(runStart - chunkStart_) < ringBytes_)
    startOffset_ = static_cast<uint64_t>(runStart - chunkStart_);
  ringBytes_ -= ringBytes_ % 4;
}

uint64_t OpeningStamps::offsetOf(const uint8_t* word) const {
  const uint64_t at = static_cast<uint64_t>(word - chunkStart_);
  return at >= startOffset_ ? at - startOffset_ : at + ringBytes_ - startOffset_;
}

namespace {

// Stamps are few among the words: a block without one is passed with a single test, in a
// loop of fixed length that the compiler runs on several words at once.
bool blockHoldsStamp(const uint8_t* words) {
  unsigned found = 0;
  for (uint64_t i = 0; i < OpeningStamps::kStampBlockBytes; i += 4)
    found |= static_cast<unsigned>(isTimeStampWord(readLe32(words + i)));
  return found != 0;
}

}  // namespace

uint32_t OpeningStamps::latestBefore(const uint8_t* word) {
  if (chunkStart_ == nullptr || word == nullptr || ringBytes_ < 4) return 0;
  const uint64_t target = offsetOf(word);
  // The scan goes on to the end of the block that holds the target, so that the next
  // question's scan starts on a block: the stamps it passes beyond the target wait in the
  // history, which keeps kAskedBack more for questions about earlier words.
  const uint64_t blockEnd = (target + kStampBlockBytes - 1) / kStampBlockBytes * kStampBlockBytes;
  scanTo(std::min(blockEnd, ringBytes_));
  const int kept = seen_ < kHistory ? seen_ : kHistory;
  for (int back = 1; back <= kept; ++back) {
    const Seen& seen = history_[(seen_ - back) % kHistory];
    if (seen.offset < target) return seen.word;
  }
  return 0;
}

// The words up to limit in at most two pieces that are plain neighbours in memory: up to
// the wrap point, then from the chunk start.
void OpeningStamps::scanTo(uint64_t limit) {
  while (scanned_ < limit) {
    uint64_t at = startOffset_ + scanned_;
    if (at >= ringBytes_) at -= ringBytes_;
    const uint64_t piece = std::min(limit - scanned_, ringBytes_ - at) / 4 * 4;
    if (piece == 0) break;
    scanPiece(chunkStart_ + at, piece);
    scanned_ += piece;
  }
}

void OpeningStamps::scanPiece(const uint8_t* first, uint64_t piece) {
  for (uint64_t i = 0; i < piece;) {
    if (piece - i >= kStampBlockBytes && !blockHoldsStamp(first + i)) {
      i += kStampBlockBytes;
      continue;
    }
    const uint64_t end = std::min(piece, i + kStampBlockBytes);
    for (; i < end; i += 4) {
      const uint32_t w = readLe32(first + i);
      if (!isTimeStampWord(w)) continue;
      history_[seen_ % kHistory] = Seen{scanned_ + i, w & ~0x8000u};
      ++seen_;
    }
  }
}

// ---- command-line values ----

bool parseCounterTick(std::string_view text, uint64_t& nanoseconds) {
  for (const TickUnit& unit : kTickUnits) {
    if (text.size() <= unit.suffix.size() || !text.ends_with(unit.suffix)) continue;
    const std::string_view digits = text.substr(0, text.size() - unit.suffix.size());
    int64_t value = 0;
    if (!parseNumber(digits, value) || value <= 0) return false;
    if (static_cast<uint64_t>(value) > UINT64_MAX / unit.nanoseconds / (4 * kCounterSpan))
      return false;
    nanoseconds = static_cast<uint64_t>(value) * unit.nanoseconds;
    return true;
  }
  return false;
}

bool parseStartDate(std::string_view text, int64_t& seconds) {
  // YYYY-MM-DDTHH:MM:SS
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' ||
      (text[10] != 'T' && text[10] != ' ') || text[13] != ':' || text[16] != ':')
    return false;
  int64_t year, month, day, hour, minute, second;
  if (!parseNumber(text.substr(0, 4), year) || !parseNumber(text.substr(5, 2), month) ||
      !parseNumber(text.substr(8, 2), day) || !parseNumber(text.substr(11, 2), hour) ||
      !parseNumber(text.substr(14, 2), minute) || !parseNumber(text.substr(17, 2), second))
    return false;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return false;
  seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}

bool parseClockStampReading(std::string_view text, ClockStampReading& reading) {
  if (text == "digits") {
    reading = ClockStampReading::Digits;
    return true;
  }
  if (text == "hms") {
    reading = ClockStampReading::HoursMinutesSeconds;
    return true;
  }
  return false;
}

}  // namespace qv
