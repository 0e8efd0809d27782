#pragma once
// The whole program: the program-wide objects, the operator dialogue, the dispatch of
// one conversion runner, and the exit clean-up. main owns one Program.
#include <iosfwd>
#include <string>

#include "capture/capture_file.h"
#include "driver/options.h"
#include "frames/frame_assembler.h"
#include "frames/frame_runners.h"
#include "frames/translator_set.h"
#include "listing/bsc_converter.h"
#include "listing/normal_listing.h"
#include "report/print_file.h"

namespace qv {

class Program {
 public:
  Program(std::istream& in, std::ostream& out);
  ~Program();

  // Banner, dialogue, conversion; returns the exit status (0, or 1 when the dialogue failed).
  int main();
  // Returns 1 when every needed answer was taken and the capture is loaded, else 0.
  int runDialogue();
  void dispatchConversion();
  // Closes a report file left open and frees the capture buffer.
  void exitCleanup();

  ConvertOptions options;
  int frameType = 0;

  // Program-wide objects, in their order of construction.
  BscState bsc;
  CaptureFile capture;
  FrameAssembler assembler{capture};
  PrintFile printFile;
  NormalListingConverter normalListing{printFile, capture};
  BscConverter bscConverter{printFile, capture, bsc};
  HdlcFrameConverter hdlcFrame{printFile, capture, assembler, translators};
  HdlcPacketConverter hdlcPacket{printFile, capture, assembler, translators};
  PppTranslateConverter pppTranslate{printFile, capture, assembler, translators};
  PppDumpConverter pppDump{printFile, capture, assembler, translators};
  IrlapConverter irlap{printFile, capture, assembler, translators};
  I2cConverter i2c{printFile, capture, assembler, translators};
  AsyncFrameConverter asyncFrame{printFile, capture, assembler, translators};
  SpiConverter spi{printFile, capture, assembler, translators};
  TranslatorSet translators;

 private:
  std::istream& in_;
  std::ostream& out_;
};

}  // namespace qv
