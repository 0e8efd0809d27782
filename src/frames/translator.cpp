#include "frames/translator.h"

#include <algorithm>
#include <cstring>

#include "capture/record_word.h"

namespace qv {

namespace {

// Writes the last `width` decimal digits of value, zero-padded.
char* lastDigits(char* position, int width, uint32_t value) {
  if (width < 0) width = 0;
  for (int i = width - 1; i >= 0; --i) {
    position[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  position[width] = '\0';
  return position + width;
}

bool isTrailingSpace(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

void WholeFrameTranslator::parseHeader(void* header, const Frame& frame) {
  BodyExtent& extent = *static_cast<BodyExtent*>(header);
  extent.bodyStart = 0;
  extent.bodyCount = static_cast<int8_t>(usableCount(frame));
}

// ---- formatting helpers ----

char* fixedText(char* position, int width, const char* text) {
  if (width < 0) width = 0;
  int i = 0;
  if (text != nullptr) {
    for (; i < width && text[i] != '\0'; ++i) position[i] = text[i];
  }
  for (; i < width; ++i) position[i] = ' ';
  position[width] = '\0';
  return position + width;
}

char* decimalZeros(char* position, int width, uint32_t value) {
  return lastDigits(position, width, value);
}

char* decimalBlanks(char* position, int width, uint32_t value) {
  char* end = lastDigits(position, width, value);
  for (char* p = position; p + 1 < end && *p == '0'; ++p) *p = ' ';
  return end;
}

char* hexOrBlanks(char* position, int width, int value) {
  if (value < 0) return fillChars(position, width, ' ');
  return hexDigits(position, width, static_cast<uint32_t>(value)) + width;
}

char* decimalOrBlanks(char* position, int width, int value) {
  if (value < 0) return fillChars(position, width, ' ');
  return decimalBlanks(position, width, static_cast<uint32_t>(value));
}

char* digitOrBlank(char* position, int value) {
  return fillChars(position, 1, value < 0 ? ' ' : static_cast<char>('0' + value % 10));
}

char* nameOrHexColumn(char* position, int width, const char* name, uint32_t value, int digits) {
  if (name != nullptr) return fixedText(position, width, name);
  position = fillChars(position, 1, '(');
  position = hexDigits(position, digits, value) + digits;
  position = fillChars(position, 1, ')');
  return fillChars(position, width - digits - 2, ' ');
}

// ---- frame bytes ----

int usableCount(const Frame& frame) {
  return std::clamp(frame.count, 0, static_cast<int32_t>(kFrameCells));
}

void writeDataBytes(FrameTranslator& translator, const Frame& frame, int start, int count) {
  char* position = fillChars(translator.writePos, 1, ' ');
  // The line buffer bounds the room too, whatever width the run asked for.
  const int lastColumn = std::min<int>(translator.lineWidth, kLineBufferSize - 1);
  const int room = (lastColumn - static_cast<int>(position - translator.lineBuffer)) / 2;
  const int shown = std::min({count, room, kFrameCells - start});
  for (int i = 0; i < shown; ++i) position = putHexByte(position, frameByte(frame, start + i));
  if (shown > 0) *position = '\0';
  translator.writePos = position;
}

// ---- virtual defaults ----

void FrameTranslator::parseHeader(void*, const Frame&) {}

const char* FrameTranslator::frameTypeName(bool, int, int) { return nullptr; }

const char* FrameTranslator::shortTag() { return ""; }

const char* FrameTranslator::title() { return ""; }

void FrameTranslator::writeColumnHead() { clearLine(); }

int FrameTranslator::translate(const Frame&) {
  clearLine();
  return 0;
}

// ---- shared line helpers ----

void FrameTranslator::clearLine() {
  writePos = lineBuffer;
  if (lineBuffer != nullptr) lineBuffer[0] = '\0';
}

bool FrameTranslator::beginFrameLine(const Frame& frame, void* header) {
  writePos = lineBuffer;
  if (writeDirection(frame.direction) != 0) return false;
  parseHeader(header, frame);
  writeTime(frame.stampWord);
  return true;
}

int FrameTranslator::writeDirection(int direction) {
  if (direction == DirectionSd || direction == DirectionRd) {
    writePos = fixedText(writePos, 3, direction == DirectionSd ? "SD:" : "RD:");
    return 0;
  }
  *writePos = '\0';
  return 1;
}

void FrameTranslator::writeTime(uint32_t stampWord) {
  if (stampWord == 0) {  // opened in-band: no stamp to show
    writePos = fixedText(writePos, 6, "");
  } else if (isCounterStampKind(stampWord)) {
    writePos = decimalZeros(writePos, 6, counterStampValue(stampWord) % 1000000);
  } else {
    // The stamp word comes with its direction bit cleared, so the first field is whole.
    writePos = decimalZeros(writePos, 2, clockFirstField(stampWord));
    writePos = decimalZeros(writePos, 2, clockSecondField(stampWord));
    writePos = decimalZeros(writePos, 2, clockThirdField(stampWord));
  }
}

void FrameTranslator::writeEndMark(FrameEndStatus endStatus) {
  writePos = fixedText(writePos, 2, endMark(endStatus));
}

void FrameTranslator::extendColumnHead(const char* label) {
  const int headLength = static_cast<int>(std::strlen(lineBuffer));
  const int labelLength = static_cast<int>(std::strlen(label));
  int spare = lineWidth - headLength;
  if (spare < 0) spare = 0;
  spare &= ~1;  // dashes come in pairs so the label stays centred
  if (spare < labelLength) {
    writePos = lineBuffer + headLength;
    return;
  }
  char* dashes = lineBuffer + headLength;
  fillChars(dashes, spare, '-');
  std::memcpy(dashes + (spare - labelLength) / 2, label, static_cast<size_t>(labelLength));
  writePos = dashes + spare;
  *writePos = '\0';
}

void FrameTranslator::writeHead(const char* headText, const char* label) {
  writePos = fixedText(lineBuffer, static_cast<int>(std::strlen(headText)), headText);
  extendColumnHead(label);
}

void FrameTranslator::trimLine() {
  char* p = writePos;
  while (p > lineBuffer && isTrailingSpace(p[-1])) --p;
  *p = '\0';
}

int FrameTranslator::cellRoom() const {
  const int room = (lineWidth - static_cast<int>(writePos - lineBuffer)) / 2;
  return room > 0 ? room : 0;
}

void FrameTranslator::finishLine() {
  *writePos = '\0';
  trimLine();
}

}  // namespace qv
