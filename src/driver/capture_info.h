#pragma once
// A summary of one loaded capture, nothing converted: its measurement conditions as the
// report's conditions box names them, counts of its monitor records, and for protocols
// with frames the frames per direction and how they ended.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "capture/capture_file.h"

namespace qv {

// One "Name: value" item. A text is shown as it is, a count as a number, a flag as yes
// or no, and an absent value as "none" (null in JSON).
struct SummaryItem {
  enum class Kind : uint8_t { Absent, Text, Count, Flag };
  const char* key = nullptr;    // the JSON member name
  const char* label = nullptr;  // the text line's name
  Kind kind = Kind::Absent;
  std::string text;
  uint64_t count = 0;
  bool flag = false;
};

using CaptureSummary = std::vector<SummaryItem>;

// "HDLC", "IrDA", ...; "protocol N" for a number without a name.
std::string protocolName(int protocol);

// name is shown as given; size is the file's length in bytes.
CaptureSummary summarizeCapture(const CaptureFile& capture, const std::string& name, uint64_t size);

// One aligned "Name: value" line per item.
void writeSummaryText(std::ostream& out, const CaptureSummary& summary);
// One JSON object (nothing when there is no summary), or an array of them when asArray
// is set; pretty-printed, newline-ended.
void writeSummaryJson(std::ostream& out, const std::vector<CaptureSummary>& summaries,
                      bool asArray);

}  // namespace qv
