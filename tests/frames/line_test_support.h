#pragma once
// Frames made from bytes, and the line or column head a translator writes for them.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "frames/translator.h"

namespace qv::test {

// Appends the bytes as plain characters (status 8).
inline Frame& append(Frame& frame, std::initializer_list<uint8_t> bytes) {
  for (uint8_t byte : bytes) frame.cells[frame.count++] = static_cast<uint16_t>(byte << 8 | 8);
  return frame;
}

inline Frame makeFrame(int direction, std::initializer_list<uint8_t> bytes,
                       FrameEndStatus endStatus = FrameEndStatus::FcsGood) {
  Frame frame;
  frame.direction = static_cast<uint8_t>(direction);
  frame.endStatus = endStatus;
  return append(frame, bytes);
}

// A frame of the given cells, stored as they are.
inline Frame frameOfCells(int direction, std::initializer_list<uint16_t> cells) {
  Frame frame;
  frame.direction = static_cast<uint8_t>(direction);
  for (uint16_t c : cells) frame.cells[frame.count++] = c;
  return frame;
}

// The line the translator makes for the frame; the buffer starts out stale so that a
// translator that leaves it untouched is caught.
inline std::string lineOf(FrameTranslator& translator, const Frame& frame, int width = 79) {
  char buffer[kLineBufferSize] = "stale";
  translator.prepare(width, buffer, nullptr);
  translator.translate(frame);
  return buffer;
}

inline std::string columnHeadOf(FrameTranslator& translator, int width) {
  char buffer[kLineBufferSize] = "stale";
  translator.prepare(width, buffer, nullptr);
  translator.writeColumnHead();
  return buffer;
}

inline std::string blanks(int n) { return std::string(static_cast<size_t>(n), ' '); }
inline std::string dashes(int n) { return std::string(static_cast<size_t>(n), '-'); }

}  // namespace qv::test
