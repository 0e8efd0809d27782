#pragma once
// The eight runners that print one report line per frame.
#include "driver/converter.h"
#include "frames/frame_assembler.h"
#include "frames/translator_set.h"

namespace qv {

class FrameConverter : public Converter {
 public:
  FrameConverter(PrintFile& printFile, const CaptureFile& capture, FrameAssembler& assembler,
                 TranslatorSet& translators)
      : Converter(printFile, capture), assembler(assembler), translators(translators) {}
  int run(int32_t limit) override;

 protected:
  FrameAssembler& assembler;
  TranslatorSet& translators;
};

#define QV_FRAME_CONVERTER(Name)                    \
  class Name : public FrameConverter {              \
   public:                                          \
    using FrameConverter::FrameConverter;           \
  };
QV_FRAME_CONVERTER(HdlcFrameConverter)
QV_FRAME_CONVERTER(HdlcPacketConverter)
QV_FRAME_CONVERTER(PppTranslateConverter)
QV_FRAME_CONVERTER(PppDumpConverter)
QV_FRAME_CONVERTER(IrlapConverter)
QV_FRAME_CONVERTER(I2cConverter)
QV_FRAME_CONVERTER(AsyncFrameConverter)
QV_FRAME_CONVERTER(SpiConverter)
#undef QV_FRAME_CONVERTER

}  // namespace qv
