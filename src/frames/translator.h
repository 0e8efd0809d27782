#pragma once
// The abstract frame translator and the line-building helpers every translator shares.
#include <cstdint>

#include "capture/record_word.h"
#include "frames/frame.h"
#include "report/text_fields.h"

namespace qv {

class CaptureFile;

constexpr int kLineBufferSize = 140;

// The cells of a dump to show: the header record of the ASYNC and SPI dumps.
struct BodyExtent {
  int8_t bodyStart = 0;
  int8_t bodyCount = 0;
};

class FrameTranslator {
 public:
  FrameTranslator() = default;
  virtual ~FrameTranslator() = default;
  FrameTranslator(const FrameTranslator&) = delete;
  FrameTranslator& operator=(const FrameTranslator&) = delete;

  // Fills the translator's own header record (its type is chosen by the subclass).
  virtual void parseHeader(void* header, const Frame& frame);
  // The name of a frame type, or nullptr when it has none.
  virtual const char* frameTypeName(bool isSd, int frameClass, int typeIndex);
  virtual const char* shortTag();
  virtual const char* title();
  virtual void writeColumnHead();
  // Builds the frame's line in lineBuffer; returns 1 when the direction is neither SD
  // nor RD (the line is then empty).
  virtual int translate(const Frame& frame);

  // Set by the runner before the column head.
  void prepare(int width, char* buffer, const CaptureFile* capture) {
    lineWidth = width;
    lineBuffer = buffer;
    writePos = buffer;
    captureFile = capture;
  }

  FrameTranslator* lowerTranslator = nullptr;
  int32_t lineWidth = 0;
  char* lineBuffer = nullptr;
  char* writePos = nullptr;
  // The capture whose conditions (code, ...) the translator reads during a run.
  const CaptureFile* captureFile = nullptr;

 protected:
  // Shared line helpers: each writes at writePos and moves it on.
  int writeDirection(int direction);
  void writeTime(uint32_t stampWord);
  void writeEndMark(FrameEndStatus endStatus);
  void extendColumnHead(const char* label);
  void trimLine();
  // Copies the head text into lineBuffer and extends it with dashes and the label.
  void writeHead(const char* headText, const char* label);
  // How many two-character data cells fit between writePos and lineWidth (0 or more).
  int cellRoom() const;
  // Ends the line at writePos and cuts its trailing blanks.
  void finishLine();
  // The start every frame line shares: the direction, the translator's header record
  // parsed into `header`, the time column. False (the line left empty) when the
  // frame's direction is neither SD nor RD.
  bool beginFrameLine(const Frame& frame, void* header);
  // Makes lineBuffer the empty line and puts writePos at its start.
  void clearLine();
};

// A translator whose header record is a BodyExtent over every stored cell of the frame.
class WholeFrameTranslator : public FrameTranslator {
 public:
  // header points to a BodyExtent.
  void parseHeader(void* header, const Frame& frame) override;
};

// n copies of ch (no terminating zero); in line, as most fields are a few characters
// wide, too short for a call to pay.
inline char* fillChars(char* position, int n, char ch) {
  for (int i = 0; i < n; ++i) position[i] = ch;
  return n > 0 ? position + n : position;
}

// Formatting helpers: each writes exactly the given width at position and a
// terminating zero right after it; they return the position after the field. Hex
// fields are written with the report's hexDigits.
char* fixedText(char* position, int width, const char* text);
char* decimalZeros(char* position, int width, uint32_t value);
char* decimalBlanks(char* position, int width, uint32_t value);

// Number cells of the frame lines; a negative (absent) value fills the cell with blanks.
char* hexOrBlanks(char* position, int width, int value);
char* decimalOrBlanks(char* position, int width, int value);
char* digitOrBlank(char* position, int value);

// A name column of `width`: the name, or when there is none the value's `digits`
// hex digits in parentheses, padded with blanks. Returns the position after it.
char* nameOrHexColumn(char* position, int width, const char* name, uint32_t value, int digits);

// The byte of the Frame's n-th cell.
inline uint8_t frameByte(const Frame& frame, int n) { return cellByte(frame.cells[n]); }

// The number of bytes a translator may read from the frame: its count, kept within the
// cells actually stored so that a damaged count never reads past them.
int usableCount(const Frame& frame);

// Writes a blank and then the frame bytes from cell `start` in hex, as many of `count`
// as fit before the translator's line width.
void writeDataBytes(FrameTranslator& translator, const Frame& frame, int start, int count);

}  // namespace qv
