#pragma once
// The loaded capture file: one buffer holding the whole file, the decoded measurement
// conditions, and the MOND chunk seen as a circular ring of record words.
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "capture/bytes.h"
#include "capture/conditions.h"
#include "capture/monitor_ring.h"
#include "capture/record_word.h"

namespace qv {

class CaptureFile {
 public:
  CaptureFile();
  virtual ~CaptureFile() = default;
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;

  // Reads and validates the named file. Returns 1 on success; on failure writes one
  // message line to the console and returns 0.
  int loadCaptureFile(const std::string& name, std::ostream& console);
  // Takes an in-memory image as the capture buffer and parses it (tests, fuzzing).
  int loadImage(std::vector<uint8_t> bytes);
  // Parses an image that stays owned by the caller and must outlive this object's use.
  int parseCaptureImage(const uint8_t* bytes, int32_t length);
  // Frees the capture buffer; the ring becomes empty.
  void freeBuffer();

  const MeasureConditions& conditions() const { return conditions_; }
  int8_t protocol() const { return conditions_.protocol(); }
  int8_t code() const { return conditions_.code(); }
  uint8_t lineStateRecorded() const { return conditions_.lineStateRecorded(); }
  uint8_t stampFlag1() const { return conditions_.stampFlag1(); }
  uint8_t stampFlag2() const { return conditions_.stampFlag2(); }

  // The ring: chunkStart() is the first word, chunkEnd() the wrap point (the chunk
  // start plus the whole words of the chunk; a partial trailing word is not part of it).
  const uint8_t* chunkStart() const { return chunkStart_; }
  const uint8_t* chunkEnd() const { return chunkEnd_; }
  MonitorRing ring() const { return MonitorRing(chunkStart_, chunkEnd_); }
  uint32_t byteLength() const { return conditions_.byteLength; }
  const RecordCursor& startCursor() const { return conditions_.startCursor; }
  static uint32_t wordAt(const uint8_t* position) { return MonitorRing::wordAt(position); }

  bool advance(RecordCursor& cursor) const;
  bool advanceColumn(RecordCursor& cursor) const;
  int seek(int index);
  uint16_t lineStateAt(const uint8_t* position) const;
  int speedCodeAt(const uint8_t* position) const;

  // Boundary searches: move the cursor to the next frame boundary and return true,
  // or return false and leave the cursor unchanged.
  bool nextStampDelimited(RecordCursor& cursor) const;
  bool nextHdlcBoundary(RecordCursor& cursor) const;
  bool nextPppBoundary(RecordCursor& cursor) const;
  bool nextIrdaBoundary(RecordCursor& cursor) const;
  bool nextI2cBoundary(RecordCursor& cursor) const;
  bool nextCharacterBoundary(RecordCursor& cursor) const;
  bool nextSpiBoundary(RecordCursor& cursor) const;

 private:
  MeasureConditions conditions_;
  std::vector<uint8_t> buffer_;
  const uint8_t* chunkStart_ = nullptr;
  const uint8_t* chunkEnd_ = nullptr;
};

}  // namespace qv
