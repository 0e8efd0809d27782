#pragma once
// The operator's answers, copied whole into every conversion runner.
#include <cstdint>

namespace qv {

class FrameTranslator;

struct ConvertOptions {
  uint8_t dataLine = 0;       // 0 SD and RD, 1 SD only, 2 RD only
  uint8_t codeDisplay = 0;    // 0 character and hex, 1 character only, 2 hex only
  int8_t printCode = -1;      // code id used to show characters; -1 = the capture's own code
  uint8_t skipIdle = 0;
  uint8_t skipTimeStamp = 0;
  uint8_t skipGuide = 0;      // 1 = no header box and no title line
  uint8_t lineStateFormat = 0;
  int8_t lineStateSelection[12] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  int32_t printColumns = 80;
  FrameTranslator* translator = nullptr;  // set by a frame runner in its own copy
};

}  // namespace qv
