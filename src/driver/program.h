#pragma once
// The whole program: the program-wide objects, the operator dialogue, the dispatch of
// one conversion runner, and the exit clean-up. main owns one Program.
#include <iosfwd>
#include <optional>
#include <string>

#include "capture/capture_file.h"
#include "convert/options.h"
#include "frames/frame_assembler.h"
#include "frames/frame_runners.h"
#include "frames/translator_set.h"
#include "listing/bsc_converter.h"
#include "listing/normal_listing.h"
#include "report/print_file.h"

namespace qv {

class ProgressSink;

// What the dialogue asks of a loaded capture; the command line checks its options by it.
enum class FrameTypeQuestion { None, BscOrOther, TranslateLevel, PppFrameType };
// False for the protocols that are only ever listed in the Normal format.
bool asksPrintFormat(int protocol);
FrameTypeQuestion frameTypeQuestion(const CaptureFile& capture);
// The BSC translation takes the skip and guide answers; other translations take none.
bool isBscTranslation(int protocol, int frameType);
// At most this many control lines make a line-state selection.
constexpr int kLineStateSelectionMax = 8;

class Program {
 public:
  Program(std::istream& in, std::ostream& out);
  ~Program();

  // Banner, dialogue, conversion; returns the exit status (0, or 1 when the dialogue failed
  // or the report could not be created or written).
  int main();
  // Returns 1 when every needed answer was taken and the capture is loaded, else 0.
  int runDialogue();
  void dispatchConversion();
  // Closes a report file left open and frees the capture buffer.
  void exitCleanup();

  ConvertOptions options;
  int frameType = 0;
  // Told the progress of the run that dispatchConversion starts; the dialogue leaves it
  // unset.
  ProgressSink* progress = nullptr;

 private:
  // Declared first: the report writer talks to the console from its construction on.
  std::istream& in_;
  std::ostream& out_;

 public:
  // Program-wide objects, in their order of construction.
  BscState bsc;
  CaptureFile capture;
  FrameAssembler assembler{capture};
  PrintFile printFile{out_};
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
  // One piece of an answer line, at most kAnswerPiece characters; lineEnded is set when
  // the piece holds the line's newline or input ended right after it.
  static constexpr int kAnswerPiece = 255;
  struct AnswerPiece {
    char text[kAnswerPiece + 1];
    int length;
    bool lineEnded;
  };

  bool readPiece(AnswerPiece& piece);
  static void dropCarriageReturn(AnswerPiece& piece);
  void discardRestOfLine();
  void writeLine(const char* text);
  void writePrompt(const char* prompt);
  // A number in 1..highest, asking again until one is typed; nullopt at end of input.
  std::optional<int> askChoice(const char* prompt, int highest);
  std::optional<int> askNumber();
  bool askOption(const char* prompt, int highest, uint8_t& option);
  bool askFileName(const char* prompt, std::string& name);
  bool askFilesAndLoad();
  bool askSkipAndGuide();
  bool askLineStateSelection();
  int askPrintFormat();
  bool askFrameType();
  void runConverter(Converter& converter);
};

}  // namespace qv
