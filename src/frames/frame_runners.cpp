#include "frames/frame_runners.h"

#include <algorithm>

#include "report/header.h"
#include "report/print_file.h"

namespace qv {

FrameTranslator* chooseHdlcFrameTranslator(TranslatorSet& set, int frameProtocol) {
  struct HdlcChoice {
    FrameTranslator* translator;
    uint8_t mod128;  // two-byte control fields
  };
  // Indexed by frameProtocol.
  const HdlcChoice choices[] = {
      {&set.sdlcFrame, 0}, {&set.sdlcFrame, 1}, {&set.x25Frame, 0},
      {&set.x25Frame, 1},  {&set.lapdFrame, 0},
  };
  constexpr int kChoiceCount = sizeof choices / sizeof choices[0];
  const bool known = frameProtocol >= 0 && frameProtocol < kChoiceCount;
  const HdlcChoice& choice = choices[known ? frameProtocol : 0];
  mod128Mode = choice.mod128;
  return choice.translator;
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
  if (options.skipGuide == 0 && writeGuide(translator)) return finishRun();
  if (captureFile->byteLength() == 0) return finishRun();
  translator.prepare(frameLineWidth(options.printColumns), lineBuffer_, captureFile);
  if (options.skipGuide == 0 && writeColumnHead(translator)) return finishRun();
  writeFrameLines(translator);
  return finishRun();
}

bool FrameConverter::writeGuide(FrameTranslator& translator) {
  writeHeaderLine(printFile);
  printFile.print("* MONITOR DATA %-22s *\n", translator.title());
  writeConditionsBox();
  writeExtraHeaderLines();
  writeBoxEnd(printFile);
  return endLine();
}

bool FrameConverter::writeColumnHead(FrameTranslator& translator) {
  translator.writeColumnHead();
  printFile.putString(lineBuffer_);
  return endLine();
}

void FrameConverter::writeFrameLines(FrameTranslator& translator) {
  FrameDeliveryFilter filter(options.dataLine, cursor.position, captureFile->ring());
  // Only the frames that reach the report are assembled in full.
  FrameStream frames(*captureFile, assembler, family_, cursor);
  do {
    const FrameIdentity identity = frames.identify();
    if (!filter.shouldPrint(identity.direction, identity.firstWord, frames.cursor().position))
      continue;
    frames.assemble(frame_);
    translator.translate(frame_);
    printFile.putString(lineBuffer_);
    if (endLine()) return;
  } while (frames.advance());
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
