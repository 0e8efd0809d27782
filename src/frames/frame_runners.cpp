#include "frames/frame_runners.h"

#include <algorithm>

#include "report/header.h"
#include "report/print_file.h"

namespace qv {

FrameTranslator* chooseHdlcFrameTranslator(TranslatorSet& set, int frameProtocol) {
  const auto choose = [](HdlcFrameTranslator& translator, bool modulo128) {
    translator.setModulo128(modulo128);
    return &translator;
  };
  switch (frameProtocol) {
    case 1: return choose(set.sdlcFrame, true);
    case 2: return choose(set.x25Frame, false);
    case 3: return choose(set.x25Frame, true);
    case 4: return &set.lapdFrame;
    default: return choose(set.sdlcFrame, false);
  }
}

FrameTranslator* choosePacketTranslator(TranslatorSet& set, int packetProtocol, int frameProtocol) {
  FrameTranslator* packet = packetProtocol == 1 ? static_cast<FrameTranslator*>(&set.lapdPacket)
                                                : static_cast<FrameTranslator*>(&set.x25Packet);
  packet->lowerTranslator = chooseHdlcFrameTranslator(set, frameProtocol);
  return packet;
}

int frameLineWidth(int32_t printColumns) {
  if (printColumns < 80) return 39;
  if (printColumns < 136) return 79;
  return 135;
}

// ---- delivery filter ----

// The operator's data line choice (0: both directions).
constexpr uint8_t kSdLineOnly = 1;
constexpr uint8_t kRdLineOnly = 2;

void FrameDeliveryFilter::forgetBefore(size_t cursorOffset) {
  std::erase_if(ahead_, [&](const Delivered& d) { return d.offset < cursorOffset; });
}

bool FrameDeliveryFilter::delivered(uint8_t direction, size_t offset) const {
  return std::any_of(ahead_.begin(), ahead_.end(), [&](const Delivered& d) {
    return d.offset == offset && d.direction == direction;
  });
}

bool FrameDeliveryFilter::shouldPrint(uint8_t direction, const uint8_t* firstWord,
                                      const uint8_t* cursor) {
  if (direction != DirectionSd && direction != DirectionRd) {
    if (emptyPrinted_) return false;
    emptyPrinted_ = true;
    return true;
  }
  forgetBefore(walkOffset(cursor));
  const size_t offset = walkOffset(firstWord);
  if (delivered(direction, offset)) return false;
  ahead_.push_back(Delivered{offset, direction});
  if (dataLine_ == kSdLineOnly && direction == DirectionRd) return false;
  if (dataLine_ == kRdLineOnly && direction == DirectionSd) return false;
  return true;
}

// ---- the common run ----

int FrameConverter::run(int32_t limit) {
  if (!beginRun(limit)) return 0;
  if (options.translator == nullptr) options.translator = chooseTranslator();
  FrameTranslator& translator = *options.translator;
  if (options.skipGuide == 0 && writeGuide(translator) == Flow::Stop) return finishRun();
  if (captureFile->byteLength() == 0) return finishRun();
  translator.prepare(frameLineWidth(options.printColumns), lineBuffer_, captureFile);
  if (options.skipGuide == 0 && writeColumnHead(translator) == Flow::Stop) return finishRun();
  writeFrameLines(translator);
  return finishRun();
}

Flow FrameConverter::writeGuide(FrameTranslator& translator) {
  writeHeaderLine(printFile);
  printFile.print("* MONITOR DATA %-22s *\n", translator.title());
  writeConditionsBox();
  writeExtraHeaderLines();
  writeBoxEnd(printFile);
  return endLine();
}

Flow FrameConverter::writeColumnHead(FrameTranslator& translator) {
  translator.writeColumnHead();
  printFile.putString(lineBuffer_);
  return endLine();
}

void FrameConverter::writeFrameLines(FrameTranslator& translator) {
  FrameDeliveryFilter filter(options.dataLine, cursor.position, captureFile->ring());
  // Only the frames that reach the report are assembled in full.
  FrameStream frames(*captureFile, assembler, family_, cursor);
  progressCursor = &frames.cursor();
  forEachDeliveredFrame(frames, filter, frame_, [&](const Frame& frame) {
    translator.translate(frame);
    printFile.putString(lineBuffer_);
    return endLine();
  });
  progressCursor = &cursor;
}

// ---- translator choice of each runner ----

FrameTranslator* HdlcFrameConverter::chooseTranslator() {
  return chooseHdlcFrameTranslator(translators, captureFile->conditions().frameProtocol());
}

FrameTranslator* HdlcPacketConverter::chooseTranslator() {
  const MeasureConditions& conditions = captureFile->conditions();
  return choosePacketTranslator(translators, conditions.packetProtocol(),
                                conditions.frameProtocol());
}

FrameTranslator* PppTranslateConverter::chooseTranslator() { return &translators.ppp; }
FrameTranslator* PppDumpConverter::chooseTranslator() { return &translators.pppDump; }
FrameTranslator* IrlapConverter::chooseTranslator() { return &translators.irlap; }
FrameTranslator* I2cConverter::chooseTranslator() { return &translators.i2c; }
FrameTranslator* SpiConverter::chooseTranslator() { return &translators.spiDump; }
FrameTranslator* AsyncFrameConverter::chooseTranslator() { return &translators.asyncDump; }

void AsyncFrameConverter::writeExtraHeaderLines() { writePrintCode(printFile, options.printCode); }

}  // namespace qv
