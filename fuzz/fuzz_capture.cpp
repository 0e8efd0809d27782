// Fuzz target: arbitrary bytes as a capture file, converted along every dialogue path
// the capture's protocol allows, into /dev/null, and exported as pcapng into memory,
// which libpcap must read back whole.
#include <pcap/pcap.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include "driver/program.h"
#include "export/frame_export.h"

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
    case 1:
    case 4:
    case 5:
    case 10: return {0, 1};
    case 2:
    case 3:
    case 8: return {0, 1, 2};
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
        if (capture.lineStateRecorded() && v % 4 == 0)
          paths.push_back({0, listingOptions(v, true)});
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

// Every packet of the export parses, and as many as were written.
void checkReadsBack(const char* image, size_t length) {
  std::FILE* file = fmemopen(const_cast<char*>(image), length, "rb");
  if (file == nullptr) std::abort();
  char error[PCAP_ERRBUF_SIZE];
  pcap_t* handle = pcap_fopen_offline(file, error);
  if (handle == nullptr) {
    std::fprintf(stderr, "libpcap cannot open the export: %s\n", error);
    std::abort();
  }
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  int status = 0;
  while ((status = pcap_next_ex(handle, &header, &data)) == 1) {
    if (header->caplen > header->len) std::abort();
  }
  if (status != PCAP_ERROR_BREAK) {
    std::fprintf(stderr, "libpcap stops reading the export: %s\n", pcap_geterr(handle));
    std::abort();
  }
  pcap_close(handle);
}

void exportToMemory(const qv::CaptureFile& capture, const qv::ExportOptions& options) {
  char* image = nullptr;
  size_t length = 0;
  std::FILE* out = open_memstream(&image, &length);
  if (out == nullptr) std::abort();
  std::string error;
  const int status = qv::exportPcapng(capture, options, out, error);
  std::fclose(out);
  if (status == 0) checkReadsBack(image, length);
  std::free(image);
}

void exportEveryWay(const qv::CaptureFile& capture) {
  if (!qv::captureHasFrames(capture)) return;
  qv::ExportOptions options;
  options.captureName = "fuzz.cap";
  // Past the report's 64 cells, but short: a fuzzed capture whose frames never close
  // makes every frame hold the rest of the capture, an output that grows with the square
  // of the input at the default snaplen.
  options.snaplen = 300;
  exportToMemory(capture, options);
  options.dataLine = 2;
  options.snaplen = 100;
  options.clockStamps = qv::ClockStampReading::HoursMinutesSeconds;
  options.counterTickNs = 250;
  exportToMemory(capture, options);
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
  exportEveryWay(program->capture);
}

}  // namespace

// Every input is loaded twice: as it stands, and in salvage mode, which takes a chunk cut
// short by the end of the input as far as it goes. Each load is also exported to pcapng.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  convertEveryPath(data, size, {});
  convertEveryPath(data, size, {.salvage = true});
  return 0;
}
