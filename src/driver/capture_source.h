#pragma once
// Loads the capture a command line names: a file, or standard input for "-".
#include <cstdint>
#include <iosfwd>
#include <string>

#include "capture/capture_file.h"

namespace qv {

// The name the command line uses for standard input, and how messages call it.
constexpr const char* kStandardStream = "-";
constexpr const char* kStandardInputName = "standard input";

struct LoadedCapture {
  bool loaded = false;
  uint64_t size = 0;    // bytes of the file or of standard input
  std::string message;  // the loader's message line, without its newline, when not loaded
};

// The stream "-" reads, and the descriptor behind it when there is one (the program's
// standard input; -1 for a stream in memory).
struct StandardInput {
  std::istream& stream;
  int descriptor = -1;
};

// Standard input is read whole into memory first; it gets the loader's size limit and
// messages.
LoadedCapture loadCapture(const std::string& name, const StandardInput& standardInput,
                          CaptureFile& capture, const LoadOptions& options = {});

// "standard input" for "-", else the name itself.
std::string displayName(const std::string& name);

}  // namespace qv
