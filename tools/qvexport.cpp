// qvexport: writes the frames of a capture as pcapng, for tests and trials until the
// converter's command line carries the export.
//   qvexport [-s SNAPLEN] [--line both|sd|rd] [--clock-stamps digits|hms]
//            [--counter-tick DURATION] [--start DATE] [--payload DISSECTOR] CAPTURE OUT
// OUT "-" writes to standard output.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "capture/capture_file.h"
#include "export/frame_export.h"

namespace {

int usage() {
  std::cerr << "usage: qvexport [-s SNAPLEN] [--line both|sd|rd] [--clock-stamps digits|hms]\n"
               "                [--counter-tick DURATION] [--start DATE] [--payload DISSECTOR]\n"
               "                CAPTURE OUT.pcapng\n";
  return 2;
}

bool parseLine(std::string_view text, uint8_t& line) {
  constexpr std::string_view kLines[] = {"both", "sd", "rd"};
  for (uint8_t i = 0; i < 3; ++i)
    if (text == kLines[i]) {
      line = i;
      return true;
    }
  return false;
}

bool parseSnaplen(const char* text, uint32_t& snaplen) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || value > 0xFFFFFFFFul) return false;
  snaplen = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qv::ExportOptions options;
  std::string paths[2];
  int pathCount = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    bool ok = true;
    if (arg == "-s" && hasValue) {
      ok = parseSnaplen(argv[++i], options.snaplen);
    } else if (arg == "--line" && hasValue) {
      ok = parseLine(argv[++i], options.dataLine);
    } else if (arg == "--clock-stamps" && hasValue) {
      ok = qv::parseClockStampReading(argv[++i], options.clockStamps);
    } else if (arg == "--counter-tick" && hasValue) {
      ok = qv::parseCounterTick(argv[++i], options.counterTickNs);
    } else if (arg == "--start" && hasValue) {
      ok = qv::parseStartDate(argv[++i], options.startSeconds);
    } else if (arg == "--payload" && hasValue) {
      options.payload = argv[++i];
    } else if (pathCount < 2 && (arg == "-" || arg.empty() || arg[0] != '-')) {
      paths[pathCount++] = argv[i];
    } else {
      ok = false;
    }
    if (!ok) return usage();
  }
  if (pathCount != 2) return usage();

  qv::CaptureFile capture;
  if (!capture.loadCaptureFile(paths[0], std::cerr)) return 1;
  options.captureName = paths[0];
  if (!qv::captureHasFrames(capture)) {
    std::cerr << qv::noFramesMessage(paths[0], capture) << "\n";
    return 1;
  }
  const bool toStdout = paths[1] == "-";
  std::FILE* out = toStdout ? stdout : std::fopen(paths[1].c_str(), "wb");
  if (out == nullptr) {
    std::cerr << "qvexport: cannot create " << paths[1] << "\n";
    return 1;
  }
  std::string error;
  int status = qv::exportPcapng(capture, options, out, error);
  if (!toStdout && std::fclose(out) != 0 && status == 0) {
    error = "qvexport: cannot write " + paths[1];
    status = 1;
  }
  if (status != 0) std::cerr << error << "\n";
  return status;
}
