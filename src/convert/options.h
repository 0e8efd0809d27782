#pragma once
// The operator's answers, copied whole into every conversion runner.
#include <cstdint>

namespace qv {

class FrameTranslator;

// The answers to "Select data line" and "Select code", as the options hold them.
enum DataLine : uint8_t { DataLineBoth = 0, DataLineSd = 1, DataLineRd = 2 };
enum CodeShown : uint8_t { ShowCharAndHex = 0, ShowChar = 1, ShowHex = 2 };

struct ConvertOptions {
  uint8_t dataLine = DataLineBoth;       // a DataLine
  uint8_t codeDisplay = ShowCharAndHex;  // a CodeShown
  int8_t printCode = -1;  // code id used to show characters; -1 = the capture's own code
  uint8_t skipIdle = 0;
  uint8_t skipTimeStamp = 0;
  uint8_t skipGuide = 0;  // 1 = no header box and no title line
  uint8_t lineStateFormat = 0;
  int8_t lineStateSelection[12] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  int32_t printColumns = 80;
  FrameTranslator* translator = nullptr;  // set by a frame runner in its own copy
};

}  // namespace qv
