// Fuzz target: arbitrary bytes as a capture file, converted along every dialogue path
// the capture's protocol allows, into /dev/null.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <vector>

#include "driver/program.h"

namespace {

struct Path {
  int frameType;
  qv::ConvertOptions options;
};

// The print formats the dialogue offers for a protocol: 0 = listing, then the frame
// types of its translations.
std::vector<int> frameTypesFor(int protocol, bool stampFlags) {
  switch (protocol) {
    case 0: return stampFlags ? std::vector<int>{0, 1, 2} : std::vector<int>{0, 1};
    case 1: case 4: case 5: case 10: return {0, 1};
    case 2: case 3: case 8: return {0, 1, 2};
    default: return {0};
  }
}

qv::ConvertOptions listingOptions(int variant, bool lineState) {
  qv::ConvertOptions o;
  o.dataLine = static_cast<uint8_t>(variant % 3);
  o.codeDisplay = static_cast<uint8_t>((variant / 3) % 3);
  o.skipIdle = o.skipTimeStamp = static_cast<uint8_t>((variant / 9) & 1);
  o.skipGuide = static_cast<uint8_t>((variant / 18) & 1);
  o.printColumns = (variant / 36) ? 136 : 40;
  if (lineState) {
    o.lineStateFormat = 1;
    for (int i = 0; i < 8; ++i) o.lineStateSelection[i] = static_cast<int8_t>(7 - i);
  }
  return o;
}

std::vector<Path> pathsFor(const qv::CaptureFile& capture) {
  std::vector<Path> paths;
  const int protocol = capture.protocol();
  const bool stampFlags = capture.stampFlag1() || capture.stampFlag2();
  const bool bscCapable = protocol == 0 || protocol == 1;
  for (int frameType : frameTypesFor(protocol, stampFlags)) {
    const bool listing = frameType == 0;
    const bool bsc = bscCapable && (frameType == 1 || protocol == 1);
    const int variants = listing || bsc ? 72 : 6;
    for (int v = 0; v < variants; ++v) {
      if (listing) {
        paths.push_back({0, listingOptions(v, false)});
        if (capture.lineStateRecorded() && v % 4 == 0) paths.push_back({0, listingOptions(v, true)});
      } else {
        qv::ConvertOptions o = bsc ? listingOptions(v, false) : qv::ConvertOptions{};
        if (!bsc) {
          o.dataLine = static_cast<uint8_t>(v % 3);
          o.printColumns = v < 3 ? 40 : 136;
        }
        o.codeDisplay = 0;
        paths.push_back({frameType, o});
      }
    }
  }
  return paths;
}

void convertEveryPath(const uint8_t* data, size_t size, const qv::LoadOptions& load) {
  std::istringstream in;
  std::ostringstream console;
  auto program = std::make_unique<qv::Program>(in, console);
  if (!program->capture.loadImage(std::vector<uint8_t>(data, data + size), load)) return;
  // A salvage load of an input that is not cut short converts exactly as the first load.
  if (load.salvage && !program->capture.cutShort().found) return;
  program->printFile.setSavePath("/dev/null");
  for (const Path& path : pathsFor(program->capture)) {
    program->options = path.options;
    program->frameType = path.frameType;
    program->dispatchConversion();
  }
}

}  // namespace

// Every input is loaded twice: as it stands, and in salvage mode, which takes a chunk cut
// short by the end of the input as far as it goes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  convertEveryPath(data, size, {});
  convertEveryPath(data, size, {.salvage = true});
  return 0;
}
