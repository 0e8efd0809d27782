#pragma once
// Capture generators for the benchmark: realistic traffic for every runner family, and
// adversarial captures that make the frame runners walk far for each frame.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "capture_builder.h"
#include "link_frames.h"

namespace qv::bench {

struct Capture {
  build::Conditions conditions;
  std::vector<uint32_t> words;
  // Frames written (for the listing and the BSC translation: messages and blocks).
  uint64_t frames = 0;
  // The same frames for a packet capture, for the families that have a link type.
  LinkFrames linkFrames;
};

struct Workload {
  const char* name;
  const char* description;
  // The dialogue answers after the two file names, one per line.
  const char* answers;
  // True when the report holds exactly one line per generated frame after its column head.
  bool oneLinePerFrame;
  // Fills the capture with exactly wordCount record words.
  void (*generate)(Capture& capture, size_t wordCount);
};

std::span<const Workload> realisticWorkloads();
std::span<const Workload> adversarialWorkloads();

Capture makeCapture(const Workload& workload, size_t monitorBytes);

// Writes the magic, the DINF chunk and the MOND chunk; returns the file size, or 0 when
// the file could not be written.
uint64_t writeCapture(const std::string& path, const Capture& capture);

// The number of lines after the first line that starts with '-' (the column head of a
// frame report); -1 when the file cannot be read or has no column head.
int64_t countFrameLines(const std::string& reportPath);

}  // namespace qv::bench
