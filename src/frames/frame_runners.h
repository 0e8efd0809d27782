#pragma once
// The eight runners that print one report line per frame. They share one run: header
// box and title, column head, then assemble / translate / step to the next frame.
#include <cstddef>

#include "convert/converter.h"
#include "frames/frame_assembler.h"
#include "frames/frame_stream.h"
#include "frames/translator_set.h"

namespace qv {

// The usable width of a report line for the operator's print columns (39, 79 or 135).
int frameLineWidth(int32_t printColumns);

// Decides which assembled frames reach the report. A next-frame step can stop at a
// boundary that opens no frame; the assembly from there delivers a later frame that a
// following step delivers again from its own boundary, and a walk from a word in which
// both cells are such boundaries can take the frames after it out of turn. The frames
// of one direction are first delivered in the order of their opening words, so a
// frame that opens at or before the last one delivered in its direction is a repeat:
// each frame is reported once, and at most one empty slot is printed in a run.
class FrameDeliveryFilter {
 public:
  // The ring from chunkStart to chunkEnd, walked from walkStart.
  FrameDeliveryFilter(uint8_t dataLine, const uint8_t* walkStart, const uint8_t* chunkStart,
                      const uint8_t* chunkEnd)
      : dataLine_(dataLine), walkStart_(walkStart), ringBytes_(chunkEnd - chunkStart) {}
  bool shouldPrint(const Frame& frame) { return shouldPrint(frame.direction, frame.firstWord); }
  bool shouldPrint(uint8_t direction, const uint8_t* firstWord);

 private:
  // Distance of a word from the start of the walk, in ring order.
  ptrdiff_t walkOffset(const uint8_t* word) const;

  uint8_t dataLine_;
  const uint8_t* walkStart_;
  ptrdiff_t ringBytes_;
  bool emptyPrinted_ = false;
  ptrdiff_t lastOffset_[3] = {-1, -1, -1};  // by direction; -1 before the first frame
};

// The frame loop of a run: hands onFrame, in order, every frame the filter lets through
// from the stream, each assembled whole into the one slot given. onFrame returns true
// when the run must stop. The report and the pcapng export both go through it.
template <typename OnFrame>
void forEachDeliveredFrame(FrameStream& frames, FrameDeliveryFilter& filter, Frame& slot,
                           OnFrame&& onFrame) {
  do {
    const FrameIdentity identity = frames.identify();
    if (!filter.shouldPrint(identity.direction, identity.firstWord)) continue;
    frames.assemble(slot);
    if (onFrame(slot)) return;
  } while (frames.advance());
}

class FrameConverter : public Converter {
 public:
  FrameConverter(PrintFile& printFile, const CaptureFile& capture, FrameAssembler& assembler,
                 TranslatorSet& translators, FrameFamily family)
      : Converter(printFile, capture),
        assembler(assembler),
        translators(translators),
        family_(family) {}
  int run(int32_t limit) override;

 protected:
  virtual FrameTranslator* chooseTranslator() = 0;
  // Header lines between the conditions box and its closing line.
  virtual void writeExtraHeaderLines() {}

  FrameAssembler& assembler;
  TranslatorSet& translators;

 private:
  Flow writeGuide(FrameTranslator& translator);
  Flow writeColumnHead(FrameTranslator& translator);
  void writeFrameLines(FrameTranslator& translator);

  FrameFamily family_;
  Frame frame_;                            // the one slot, reused for every frame
  char lineBuffer_[kLineBufferSize] = {};  // the one line buffer, reused for every line
};

#define QV_FRAME_CONVERTER(Name, Family)                                              \
  class Name : public FrameConverter {                                                \
   public:                                                                            \
    Name(PrintFile& printFile, const CaptureFile& capture, FrameAssembler& assembler, \
         TranslatorSet& translators)                                                  \
        : FrameConverter(printFile, capture, assembler, translators, Family) {}       \
                                                                                      \
   protected:                                                                         \
    FrameTranslator* chooseTranslator() override;                                     \
  };
QV_FRAME_CONVERTER(HdlcFrameConverter, FrameFamily::Hdlc)
QV_FRAME_CONVERTER(HdlcPacketConverter, FrameFamily::Hdlc)
QV_FRAME_CONVERTER(PppTranslateConverter, FrameFamily::Ppp)
QV_FRAME_CONVERTER(PppDumpConverter, FrameFamily::Ppp)
QV_FRAME_CONVERTER(IrlapConverter, FrameFamily::Irda)
QV_FRAME_CONVERTER(I2cConverter, FrameFamily::I2c)
QV_FRAME_CONVERTER(SpiConverter, FrameFamily::Spi)
#undef QV_FRAME_CONVERTER

class AsyncFrameConverter : public FrameConverter {
 public:
  AsyncFrameConverter(PrintFile& printFile, const CaptureFile& capture, FrameAssembler& assembler,
                      TranslatorSet& translators)
      : FrameConverter(printFile, capture, assembler, translators, FrameFamily::Async) {}

 protected:
  FrameTranslator* chooseTranslator() override;
  void writeExtraHeaderLines() override;  // the print code line
};

}  // namespace qv
