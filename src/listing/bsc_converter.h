#pragma once
// BSC translation of ASYNC and SYNC traffic.
#include "driver/converter.h"

namespace qv {

// The recognizers of both directions and the queue of recognized symbols.
class BscState {
 public:
  // Chooses the recognizer family by the capture's character code (protocol 0 or 1),
  // then resets.
  void prepare(int protocol, int code);
};

class BscConverter : public Converter {
 public:
  BscConverter(PrintFile& printFile, const CaptureFile& capture, BscState& bsc)
      : Converter(printFile, capture), bsc(bsc) {}
  int run(int32_t limit) override;

 private:
  BscState& bsc;
};

}  // namespace qv
