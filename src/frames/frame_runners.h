#pragma once
// The eight runners that print one report line per frame. They share one run: header
// box and title, column head, then assemble / translate / step to the next frame.
#include <cstddef>
#include <vector>

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
// both cells are such boundaries can take the frames after it out of turn. A frame is
// a repeat when a frame of its direction with the same opening word was delivered
// before: each frame is reported once, and at most one empty slot is printed in a run.
//
// Frames need not come in the order of their opening words: an IrDA walk reads a speed
// code of 128 or more in its cursor as a signed byte but as unsigned when it passes the
// speed word, so a walk from a later cursor can deliver a frame that opens before one
// already delivered. Only the frames that open at or after the cursor can come again
// (a walk starts at its cursor and cursors only move forward), and those are the first
// openings after the cursor under at most two readings of the speed, with or without a
// passed-over SD opening: the filter keeps just those few.
class FrameDeliveryFilter {
 public:
  // The ring walked from walkStart.
  FrameDeliveryFilter(uint8_t dataLine, const uint8_t* walkStart, const MonitorRing& ring)
      : dataLine_(dataLine), walkStart_(walkStart), ring_(ring) {}
  // The frame the assembly at cursor delivered.
  bool shouldPrint(const Frame& frame, const uint8_t* cursor) {
    return shouldPrint(frame.direction, frame.firstWord, cursor);
  }
  bool shouldPrint(uint8_t direction, const uint8_t* firstWord, const uint8_t* cursor);

 private:
  struct Delivered {
    size_t offset;  // words from the start of the walk, in ring order
    uint8_t direction;
  };
  size_t walkOffset(const uint8_t* word) const { return ring_.distance(walkStart_, word); }
  // Forgets the frames that open before the cursor: no later walk reaches them.
  void forgetBefore(size_t cursorOffset);
  bool delivered(uint8_t direction, size_t offset) const;

  uint8_t dataLine_;
  const uint8_t* walkStart_;
  MonitorRing ring_;
  bool emptyPrinted_ = false;
  std::vector<Delivered> ahead_;  // delivered frames opening at or after the cursor
};

// The frame loop of a run: hands onFrame, in order, every frame the filter lets through
// from the stream, each assembled whole into the one slot given. onFrame returns
// Flow::Stop when the run must stop. The report, the capture summary and the pcapng
// export all go through it.
template <typename OnFrame>
void forEachDeliveredFrame(FrameStream& frames, FrameDeliveryFilter& filter, Frame& slot,
                           OnFrame&& onFrame) {
  do {
    const FrameIdentity identity = frames.identify();
    if (!filter.shouldPrint(identity.direction, identity.firstWord, frames.cursor().position))
      continue;
    frames.assemble(slot);
    if (onFrame(slot) == Flow::Stop) return;
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
