#include "frames/plain_run.h"

#include "capture/monitor_ring.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QV_PLAIN_SCAN_AVX2 1
#include <immintrin.h>
#endif

namespace qv {

namespace {

using cell_rules::kByteClasses;
using cell_rules::kByteClassOf;
using cell_rules::kClassBytes;

constexpr uint8_t classBit(int byteClass) { return static_cast<uint8_t>(1u << byteClass); }

// A byte's class from its two nibbles: each byte with a class of its own sets its class's
// bit in the row of its low nibble and in the row of its high nibble, so that the two
// rows have that bit in common for that byte alone; no bit in common means class Other.
struct ClassNibbles {
  uint8_t low[16] = {};
  uint8_t high[16] = {};
};

constexpr ClassNibbles buildClassNibbles() {
  ClassNibbles nibbles;
  for (int byteClass = cell_rules::ByteZero; byteClass <= cell_rules::ByteSirEnd; ++byteClass) {
    const uint8_t byte = kClassBytes[byteClass];
    nibbles.low[byte & 15] |= classBit(byteClass);
    nibbles.high[byte >> 4] |= classBit(byteClass);
  }
  return nibbles;
}

constexpr ClassNibbles kClassNibbles = buildClassNibbles();

constexpr bool nibblesTellEveryClass() {
  for (int byte = 0; byte < 256; ++byte) {
    const int common = kClassNibbles.low[byte & 15] & kClassNibbles.high[byte >> 4];
    const int byteClass = kByteClassOf.of[byte];
    if (common != (byteClass == cell_rules::ByteOther ? 0 : classBit(byteClass))) return false;
  }
  return true;
}
static_assert(nibblesTellEveryClass());
static_assert(kByteClasses <= 8, "a class is one bit of a byte");

// A cell holds a character when its status has one of these bits.
constexpr uint32_t kCharacterStatusBits = 0x18;
constexpr bool characterBitsTellCharacters() {
  for (uint16_t status = 0; status < 32; ++status)
    if (((status & kCharacterStatusBits) != 0) != holdsCharacter(status)) return false;
  return true;
}
static_assert(characterBitsTellCharacters());

#ifdef QV_PLAIN_SCAN_AVX2

// A 16-byte lookup row in both halves of a vector (byte shuffles look up within each half).
__attribute__((target("avx2"))) inline __m256i sixteenBytesTwice(const uint8_t* row) {
  return _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(row)));  // NOLINT
}

// Eight words at a time: the status byte of each cell picks its row of non-plain
// classes, the class of its byte (found from the byte's nibbles) is tested against that
// row, and a word without the data-word flag is not plain either. The buffer is read by
// unaligned vector loads, which need no alignment of the chunks.
__attribute__((target("avx2"))) const uint8_t* runEndAvx2(const uint8_t* p, const uint8_t* stop,
                                                          const uint8_t* nonPlainLow,
                                                          const uint8_t* nonPlainHigh) {
  const __m256i statusLow = sixteenBytesTwice(nonPlainLow);
  const __m256i statusHigh = sixteenBytesTwice(nonPlainHigh);
  const __m256i classLow = sixteenBytesTwice(kClassNibbles.low);
  const __m256i classHigh = sixteenBytesTwice(kClassNibbles.high);
  const __m256i statusBits = _mm256_set1_epi8(0x1F);
  const __m256i highStatus = _mm256_set1_epi8(0x10);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i otherClass = _mm256_set1_epi8(static_cast<char>(classBit(cell_rules::ByteOther)));
  const __m256i dataFlag = _mm256_set1_epi32(static_cast<int>(kDataWordFlag));
  const __m256i zero = _mm256_setzero_si256();
  for (; stop - p >= 32; p += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));  // NOLINT
    const __m256i status = _mm256_and_si256(v, statusBits);
    const __m256i rowOfStatus = _mm256_blendv_epi8(
        _mm256_shuffle_epi8(statusLow, status), _mm256_shuffle_epi8(statusHigh, status),
        _mm256_cmpeq_epi8(_mm256_and_si256(v, highStatus), highStatus));
    __m256i byteClass = _mm256_and_si256(
        _mm256_shuffle_epi8(classLow, _mm256_and_si256(v, nibble)),
        _mm256_shuffle_epi8(classHigh, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
    byteClass = _mm256_or_si256(byteClass,
                                _mm256_and_si256(_mm256_cmpeq_epi8(byteClass, zero), otherClass));
    // Each cell's byte follows its status byte: shifting the cells right by a byte puts
    // the byte's class beside the status's row, and leaves zero in the byte's place.
    __m256i notPlain = _mm256_and_si256(rowOfStatus, _mm256_srli_epi16(byteClass, 8));
    notPlain = _mm256_or_si256(notPlain, _mm256_andnot_si256(v, dataFlag));
    const auto plainBytes =
        static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi32(notPlain, zero)));
    if (plainBytes != 0xFFFFFFFFu) return p + __builtin_ctz(~plainBytes);
  }
  return p;
}

// One bit for each of the eight words at `at` whose cell under the status bits holds a
// character.
__attribute__((target("avx2"))) inline unsigned wordsWithCharacter(const uint8_t* at,
                                                                   __m256i status) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));  // NOLINT
  const __m256i none = _mm256_cmpeq_epi32(_mm256_and_si256(v, status), _mm256_setzero_si256());
  return ~static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(none))) & 0xFFu;
}

// Eight words at a time.
__attribute__((target("avx2"))) const uint8_t* countCharactersAvx2(int lane, const uint8_t* p,
                                                                   const uint8_t* stop,
                                                                   int32_t& characters) {
  const auto characterBits = static_cast<int>(kCharacterStatusBits << (16 * lane));
  const __m256i status = _mm256_set1_epi32(characterBits);
  const uint8_t* const from = p;
  for (; stop - p >= 32; p += 32) characters += __builtin_popcount(wordsWithCharacter(p, status));
  // The last few words: the eight words before stop, less those already counted.
  if (p != stop && stop - from >= 32) {
    const auto left = static_cast<unsigned>(stop - p) / 4;
    characters += __builtin_popcount(wordsWithCharacter(stop - 32, status) >> (8 - left));
    p = stop;
  }
  return p;
}

// Asked once, when the program starts.
bool detectAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}
const bool kHasAvx2 = detectAvx2();

#endif

}  // namespace

PlainCells::PlainCells(FramingMode mode, PlainView view) {
  for (uint32_t cell = 0; cell < 65536; ++cell)
    if (isPlainCell(mode, view, static_cast<uint16_t>(cell)))
      bits_[cell >> 6] |= uint64_t{1} << (cell & 63);
  for (uint16_t status = 0; status < 32; ++status) {
    uint8_t& row = status < 16 ? nonPlainClassesLow_[status] : nonPlainClassesHigh_[status - 16];
    for (int byteClass = cell_rules::ByteOther; byteClass <= cell_rules::ByteSirEnd; ++byteClass)
      if (!plain(static_cast<uint16_t>(kClassBytes[byteClass] << 8 | status)))
        row |= classBit(byteClass);
  }
}

const uint8_t* PlainCells::runEndByWords(const uint8_t* from, const uint8_t* stop) const {
  const uint8_t* p = from;
  while (p != stop && plainWord(MonitorRing::wordAt(p))) p += MonitorRing::kWordBytes;
  return p;
}

const uint8_t* PlainCells::runEnd(const uint8_t* from, const uint8_t* stop) const {
#ifdef QV_PLAIN_SCAN_AVX2
  if (kHasAvx2) {
    const uint8_t* p = runEndAvx2(from, stop, nonPlainClassesLow_, nonPlainClassesHigh_);
    if (stop - p >= 32) return p;  // stopped at a word that is not plain
    return runEndByWords(p, stop);
  }
#endif
  return runEndByWords(from, stop);
}

int32_t PlainCells::countCharactersByWords(int lane, const uint8_t* from, const uint8_t* stop) {
  int32_t characters = 0;
  for (const uint8_t* p = from; p != stop; p += MonitorRing::kWordBytes)
    characters += holdsCharacter(laneCell(lane, MonitorRing::wordAt(p))) ? 1 : 0;
  return characters;
}

int32_t PlainCells::countCharacters(int lane, const uint8_t* from, const uint8_t* stop) {
#ifdef QV_PLAIN_SCAN_AVX2
  if (kHasAvx2) {
    int32_t characters = 0;
    const uint8_t* p = countCharactersAvx2(lane, from, stop, characters);
    return characters + countCharactersByWords(lane, p, stop);
  }
#endif
  return countCharactersByWords(lane, from, stop);
}

bool PlainCells::scansByVectors() {
#ifdef QV_PLAIN_SCAN_AVX2
  return kHasAvx2;
#else
  return false;
#endif
}

namespace {

// Each table is built the first time a walk of its mode and view needs it.
template <FramingMode mode, PlainView view>
const PlainCells& sharedPlainCells() {
  static const PlainCells cells(mode, view);
  return cells;
}

template <FramingMode mode>
const PlainCells& sharedPlainCells(PlainView view) {
  switch (view) {
    case PlainView::InBand: return sharedPlainCells<mode, PlainView::InBand>();
    case PlainView::InBandBothFramings:
      return sharedPlainCells<mode, PlainView::InBandBothFramings>();
    case PlainView::StampDelimited: return sharedPlainCells<mode, PlainView::StampDelimited>();
  }
  return sharedPlainCells<mode, PlainView::InBand>();
}

}  // namespace

const PlainCells& plainCells(FramingMode mode, PlainView view) {
  switch (mode) {
    case FramingMode::Hdlc: return sharedPlainCells<FramingMode::Hdlc>(view);
    case FramingMode::Ppp: return sharedPlainCells<FramingMode::Ppp>(view);
    case FramingMode::Sir: return sharedPlainCells<FramingMode::Sir>(view);
    case FramingMode::I2c: return sharedPlainCells<FramingMode::I2c>(view);
    case FramingMode::Char: return sharedPlainCells<FramingMode::Char>(view);
    case FramingMode::Spi: return sharedPlainCells<FramingMode::Spi>(view);
  }
  return sharedPlainCells<FramingMode::Hdlc>(view);
}

}  // namespace qv
