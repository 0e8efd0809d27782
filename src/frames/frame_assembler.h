#pragma once
// Cuts the monitor ring into frames, one lane per direction, by the rules of one
// protocol family (HDLC, PPP, IrDA, I2C, ASYNC, SPI).
#include <cstdint>

#include "capture/capture_file.h"
#include "frames/frame.h"

namespace qv {

class FrameAssembler {
 public:
  explicit FrameAssembler(const CaptureFile& capture) : capture_(capture) {}

  void assembleHdlc(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assemblePpp(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assembleIrda(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assembleI2c(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assembleAsync(const RecordCursor& cursor, Frame* slots, int32_t slotCount);
  void assembleSpi(const RecordCursor& cursor, Frame* slots, int32_t slotCount);

  bool nextHdlcFrame(RecordCursor& cursor) const;
  bool nextPppFrame(RecordCursor& cursor) const;
  bool nextIrdaFrame(RecordCursor& cursor) const;
  bool nextI2cFrame(RecordCursor& cursor) const;
  bool nextAsyncFrame(RecordCursor& cursor) const;
  bool nextSpiFrame(RecordCursor& cursor) const;

 private:
  const CaptureFile& capture_;
};

}  // namespace qv
