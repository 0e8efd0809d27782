#include "capture/conditions.h"

#include <algorithm>
#include <cstring>

namespace qv {

namespace {

// Where each block of the image lives in the program's own layout.
namespace at {
constexpr uint32_t image = 0;
constexpr uint32_t setup = 4;
constexpr uint32_t basic = 12;
constexpr uint32_t recording = 20;
constexpr uint32_t lineContainer = 28;
constexpr uint32_t line = 32;
constexpr uint32_t modeContainer = 84;
constexpr uint32_t mode = 88;
constexpr uint32_t subBlock5 = 580;
constexpr uint32_t subBlock6Container = 612;
constexpr uint32_t subBlock6 = 616;
constexpr uint32_t extension = 632;
constexpr uint32_t extensionWord1 = 636;
constexpr uint32_t extensionWord2 = 640;
constexpr uint32_t finalBlock = 700;
}  // namespace at

// The four extension entries: a word, then a block of a fixed maximum size.
struct ExtensionEntry {
  uint32_t wordAt;
  uint32_t blockAt;
  uint32_t blockMax;
};
constexpr ExtensionEntry kExtensionEntries[] = {
    {644, 648, 12},
    {660, 664, 12},
    {676, 680, 8},
    {688, 692, 8},
};

constexpr uint32_t kLineMax = 52;
constexpr uint32_t kModeMax = 492;
constexpr uint32_t kSubBlock5Size = 32;
constexpr uint32_t kSubBlock6Size = 16;
constexpr uint32_t kFinalMax = 516;
constexpr uint32_t kNoSize = 0;

struct SizeWord {
  uint32_t offset;
  uint32_t size;
};
// The initial image: every size word the program writes before any chunk is decoded.
constexpr SizeWord kInitialSizeWords[] = {
    {at::image, kConditionsImageSize},
    {at::setup, 628},
    {at::basic, 8},
    {at::recording, 8},
    {at::lineContainer, 56},
    {at::line, 40},
    {at::modeContainer, 496},
    {at::mode, 8},
    {at::subBlock5, kSubBlock5Size},
    {at::subBlock6Container, 20},
    {at::subBlock6, kSubBlock6Size},
    {at::extension, 584},
    {at::finalBlock, 4},
};

// Line block size (size word included) by protocol 0-10; 0 = protocol not accepted.
constexpr uint32_t kLineSizeByProtocol[] = {40, 40, 52, 28, 24, 20, 20, kNoSize, 52, kNoSize, 20};

// Mode block size by measurement mode 0-9.
constexpr uint32_t kModeSizeByMode[] = {8, 12, 12, 12, 16, 16, 8, 24, 12, 492};

// Extension final block size by measurement mode 0-8; mode 9 depends on the mode block.
constexpr uint32_t kFinalSizeByMode[] = {4, 24, 24, 48, 4, 4, 404, 76, 4};

// Measurement mode 9: final block size by mode block payload byte 0.
constexpr uint32_t kMode9FinalSizes[] = {12, 516};

constexpr bool kProtocolAccepted[] = {true, true,  true, true,  true, true,
                                      true, false, true, false, true};

// Mode 2 blocks written without payload bytes 4-5 get a default there, chosen by payload byte 1.
constexpr uint16_t mode2Default(uint8_t payloadByte1) {
  switch (payloadByte1) {
    case 1: return 60;
    case 2: return 240;
    default: return 10;
  }
}

template <size_t N>
uint32_t sizeFor(const uint32_t (&table)[N], int selector) {
  if (selector < 0 || static_cast<size_t>(selector) >= N) return kNoSize;
  return table[selector];
}

// A bounded view of the chunk bytes still to be decoded at one nesting level.
struct Span {
  const uint8_t* data;
  uint32_t remaining;

  bool hasWord() const { return remaining >= 4; }
  uint32_t word() const { return readLe32(data); }
  void skip(uint32_t count) {
    data += count;
    remaining -= count;
  }
};

enum class Step { Stop, Failed, Block };

// Looks at the next block of a walk: Stop when fewer than 4 bytes remain, Failed when its
// size word cannot be right, otherwise Block with blockSize set.
Step nextBlock(const Span& span, uint32_t& blockSize) {
  if (!span.hasWord()) return Step::Stop;
  blockSize = span.word();
  if (blockSize < 4 || blockSize > span.remaining) return Step::Failed;
  return Step::Block;
}

class Decoder {
 public:
  explicit Decoder(MeasureConditions& conditions) : image_(conditions.image) {}

  int decode(const uint8_t* data, uint32_t length) {
    if (length < 4) return 1;
    const uint32_t bound = std::min(readLe32(data), length);
    if (bound < 8) return 1;
    Span top{data + 4, bound - 4};
    uint32_t size = 0;
    Step step = nextBlock(top, size);
    if (step != Step::Block) return step == Step::Stop ? 1 : 0;
    if (!decodeSetup(top.data, size)) return 0;
    top.skip(size);
    step = nextBlock(top, size);
    if (step != Step::Block) return step == Step::Stop ? 1 : 0;
    return decodeExtension(top.data, size) ? 1 : 0;
  }

 private:
  uint8_t* dest(uint32_t offset) { return image_.data() + offset; }

  // Copies as much of a source block as the destination holds, keeping the
  // destination's own size word. Returns the number of payload bytes copied.
  uint32_t copyClamped(const uint8_t* source, uint32_t sourceSize, uint32_t destOffset,
                       uint32_t destMax) {
    const uint32_t taken = std::min(sourceSize, destMax);
    if (taken <= 4) return 0;
    std::memcpy(dest(destOffset + 4), source + 4, taken - 4);
    return taken - 4;
  }

  void clear(uint32_t offset, uint32_t size) { std::memset(dest(offset), 0, size); }

  // A container's inner block replaces the destination whole, sized by the selector.
  bool decodeContainer(const uint8_t* source, uint32_t size, uint32_t innerOffset,
                       uint32_t innerMax, uint32_t innerSize) {
    if (size < 8) return true;
    const uint32_t sourceInner = readLe32(source + 4);
    if (sourceInner < 4 || sourceInner > size - 4) return false;
    clear(innerOffset, innerMax);
    if (innerSize == kNoSize) return true;
    writeLe32(dest(innerOffset), innerSize);
    copyClamped(source + 4, sourceInner, innerOffset, innerSize);
    return true;
  }

  bool basicPayloadValid(const uint8_t* source, uint32_t size) const {
    if (size >= 5) {
      const int mode = static_cast<int8_t>(source[4]);
      if (mode < 0 || mode > 9) return false;
    }
    if (size >= 6) {
      const int protocol = static_cast<int8_t>(source[5]);
      if (protocol < 0 || protocol > 10 || !kProtocolAccepted[protocol]) return false;
    }
    return true;
  }

  int measureMode() const { return static_cast<int8_t>(image_[field::measureMode]); }
  int protocol() const { return static_cast<int8_t>(image_[field::protocol]); }

  bool decodeMode(const uint8_t* source, uint32_t size) {
    if (!decodeContainer(source, size, at::mode, kModeMax, sizeFor(kModeSizeByMode, measureMode())))
      return false;
    if (measureMode() != 2 || size < 8) return true;
    const uint32_t sourceInner = readLe32(source + 4);
    if (sourceInner >= 5 && sourceInner <= 8) {
      writeLe16(dest(at::mode + 4 + 4), mode2Default(image_[at::mode + 4 + 1]));
    }
    return true;
  }

  void decodeSubBlock5(const uint8_t* source, uint32_t size) {
    if (copyClamped(source, size, at::subBlock5, kSubBlock5Size) > 0) {
      clear(at::subBlock5 + 29, 3);
    }
  }

  // The setup block's sub-blocks, in their fixed order.
  bool decodeSetup(const uint8_t* block, uint32_t blockSize) {
    if (blockSize < 12) return true;
    Span span{block + 8, blockSize - 8};
    for (int index = 1; index <= 6; ++index) {
      uint32_t size = 0;
      const Step step = nextBlock(span, size);
      if (step != Step::Block) return step == Step::Stop;
      if (!decodeSubBlock(index, span.data, size)) return false;
      span.skip(size);
    }
    return true;
  }

  bool decodeSubBlock(int index, const uint8_t* source, uint32_t size) {
    switch (index) {
      case 1:
        if (!basicPayloadValid(source, size)) return false;
        copyClamped(source, size, at::basic, 8);
        return true;
      case 2: copyClamped(source, size, at::recording, 8); return true;
      case 3:
        return decodeContainer(source, size, at::line, kLineMax,
                               sizeFor(kLineSizeByProtocol, protocol()));
      case 4: return decodeMode(source, size);
      case 5: decodeSubBlock5(source, size); return true;
      default: return decodeContainer(source, size, at::subBlock6, kSubBlock6Size, kSubBlock6Size);
    }
  }

  uint32_t finalBlockSize() const {
    if (measureMode() == 9) {
      const int selector = static_cast<int8_t>(image_[at::mode + 4]);
      return sizeFor(kMode9FinalSizes, selector);
    }
    return sizeFor(kFinalSizeByMode, measureMode());
  }

  // Copies one bare word; false when the block has no whole word left.
  bool takeWord(Span& span, uint32_t destOffset) {
    if (!span.hasWord()) return false;
    std::memcpy(dest(destOffset), span.data, 4);
    span.skip(4);
    return true;
  }

  // The extension block: two words, four word-and-block entries, the final block.
  // Returns false only for a malformed block size.
  bool decodeExtension(const uint8_t* block, uint32_t blockSize) {
    Span span{block + 4, blockSize - 4};
    if (!takeWord(span, at::extensionWord1) || !takeWord(span, at::extensionWord2)) return true;
    uint32_t size = 0;
    for (const ExtensionEntry& entry : kExtensionEntries) {
      if (!takeWord(span, entry.wordAt)) return true;
      const Step step = nextBlock(span, size);
      if (step != Step::Block) return step == Step::Stop;
      copyClamped(span.data, size, entry.blockAt, entry.blockMax);
      span.skip(size);
    }
    const Step step = nextBlock(span, size);
    if (step != Step::Block) return step == Step::Stop;
    clear(at::finalBlock, kFinalMax);
    const uint32_t finalSize = finalBlockSize();
    if (finalSize == kNoSize) return true;
    writeLe32(dest(at::finalBlock), finalSize);
    copyClamped(span.data, size, at::finalBlock, finalSize);
    return true;
  }

  std::array<uint8_t, kConditionsImageSize>& image_;
};

// wordKind by protocol 0-10; -1 = decided by the parity (ASYNC and the rest).
constexpr int8_t kWordKindByProtocol[] = {-1, 4, 0, 3, 3, 2, -1, -1, 0, -1, 5};
constexpr int kParityMp = 5;

}  // namespace

void resetConditions(MeasureConditions& conditions) {
  conditions = MeasureConditions{};
  for (const SizeWord& word : kInitialSizeWords) {
    writeLe32(&conditions.image[word.offset], word.size);
  }
}

int decodeConditions(MeasureConditions& conditions, const uint8_t* data, uint32_t length) {
  if (data == nullptr) return 1;
  return Decoder(conditions).decode(data, length);
}

uint8_t wordKindOf(const MeasureConditions& conditions) {
  const int protocol = conditions.protocol();
  int kind = -1;
  if (protocol >= 0 && protocol < static_cast<int>(std::size(kWordKindByProtocol))) {
    kind = kWordKindByProtocol[protocol];
  }
  if (kind >= 0) return static_cast<uint8_t>(kind);
  return conditions.parity() == kParityMp ? 1 : 0;
}

}  // namespace qv
