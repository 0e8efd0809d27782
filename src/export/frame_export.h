#pragma once
// Exports every frame the frame report would show, whole, as one pcapng packet (I2C:
// one packet per message), on interface 0 (SD) or 1 (RD), with its time, its check
// verdict and the capture's conditions.
#include <cstdint>
#include <cstdio>
#include <string>

#include "capture/capture_file.h"
#include "export/export_time.h"

namespace qv {

constexpr uint32_t kDefaultSnaplen = 65535;
// The longest packet libpcap reads back.
constexpr uint32_t kLargestSnaplen = 262144;

struct ExportOptions {
  std::string captureName;             // shown in the section comment
  uint8_t dataLine = 0;                // 0 SD and RD, 1 SD only, 2 RD only
  uint32_t snaplen = kDefaultSnaplen;  // longest packet written; longer ones are cut
  ClockStampReading clockStamps = ClockStampReading::Digits;
  uint64_t counterTickNs = 1000;  // one counter count; below 1 us the times are in ns
  int64_t startSeconds = 0;       // if_tsoffset: seconds since 1970 added to every time
  std::string payload = "data";   // dissector of SPI and ASYNC frames
};

// True when the capture's protocol delivers frames (HDLC, PPP, IrDA, I2C, SPI, and
// ASYNC whose time stamps delimit frames).
bool captureHasFrames(const CaptureFile& capture);
// "qvconv: FILE: PROTOCOL captures hold no frames to export"
std::string noFramesMessage(const std::string& fileName, const CaptureFile& capture);

// Writes the pcapng file to out. Returns 0 on success; 1 with a message in error when
// the capture holds no frames (the whole noFramesMessage line) or the file could not be
// written (a text for the caller to put after the output's name).
int exportPcapng(const CaptureFile& capture, const ExportOptions& options, std::FILE* out,
                 std::string& error);

}  // namespace qv
