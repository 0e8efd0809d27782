#pragma once
// Reading exports back with real readers (libpcap, tshark) and the report lines they are
// held against.
#include <cstdint>
#include <string>
#include <vector>

#include "export/frame_export.h"

namespace qv::test {

struct ReadPacket {
  uint32_t capturedLength = 0;
  uint32_t originalLength = 0;
  uint64_t microseconds = 0;  // as libpcap gives the time
  std::vector<uint8_t> data;
};

struct ReadBack {
  bool opened = false;
  std::string error;
  int linkType = -1;
  std::vector<ReadPacket> packets;
};

// Reads a pcapng file (or an image in memory) with libpcap.
ReadBack readWithLibpcap(const std::string& path);
ReadBack readWithLibpcap(const std::vector<uint8_t>& image);

// Exports a capture image to a fresh temporary file and returns its path; the status
// and message of the export go to status and error.
std::string exportToFile(const std::vector<uint8_t>& capture, ExportOptions options, int& status,
                         std::string& error, const std::string& name = "export");

// True when tshark can be run. Outside CI a missing tshark skips the tshark checks; on
// CI (CI=true) it fails them.
bool tsharkPresent();
#define QV_REQUIRE_TSHARK()                                                                    \
  do {                                                                                         \
    if (!::qv::test::tsharkPresent()) {                                                        \
      if (::qv::test::onCi()) FAIL() << "tshark is required on CI";                            \
      GTEST_SKIP() << "tshark is not installed: the tshark checks are skipped (CI runs them)"; \
    }                                                                                          \
  } while (false)
bool onCi();

// One row per packet, one string per field (tshark -T fields).
std::vector<std::vector<std::string>> tsharkFields(const std::string& path,
                                                   const std::vector<std::string>& fields);

// The frame lines of a report (those after the column head) and the two characters of
// each under the head's "FC" column ("" when the head has none).
struct ReportFrames {
  std::vector<std::string> lines;
  std::vector<std::string> marks;
};
ReportFrames reportFrames(const std::string& report);

}  // namespace qv::test
