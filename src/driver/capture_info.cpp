#include "driver/capture_info.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>

#ifdef QV_HAVE_JSON
#include <nlohmann/json.hpp>
#endif

#include "frames/frame_assembler.h"
#include "frames/frame_runners.h"
#include "frames/frame_stream.h"
#include "report/header.h"
#include "report/value_names.h"

namespace qv {

namespace {

SummaryItem& addItem(CaptureSummary& items, const char* key, const char* label,
                     SummaryItem::Kind kind) {
  SummaryItem& item = items.emplace_back();
  item.key = key;
  item.label = label;
  item.kind = kind;
  return item;
}

void addText(CaptureSummary& items, const char* key, const char* label, std::string text) {
  addItem(items, key, label, SummaryItem::Kind::Text).text = std::move(text);
}

void addCount(CaptureSummary& items, const char* key, const char* label, uint64_t count) {
  addItem(items, key, label, SummaryItem::Kind::Count).count = count;
}

void addFlag(CaptureSummary& items, const char* key, const char* label, bool flag) {
  addItem(items, key, label, SummaryItem::Kind::Flag).flag = flag;
}

struct ProtocolFacts {
  int protocol = 0;
  const char* name = "";
  bool twoSpeeds = false;  // S- and R-speed
  bool oneSpeed = false;   // IrDA: one speed
  bool characterFraming = false;
  std::optional<ConditionTable> check = std::nullopt;
  bool lineCoding = false;
  bool clock = false;
  bool hdlcLevels = false;  // frame and packet protocol
  bool addresses = false;
  bool filters = false;
  std::optional<FrameFamily> frames = std::nullopt;
};

// Which conditions the summary of each protocol shows (those of its conditions box, and
// the check kind of a filtered HDLC capture), and how its frames are cut.
constexpr std::array<ProtocolFacts, 9> kProtocols = {{
    {.protocol = ProtocolAsync,
     .name = "ASYNC",
     .twoSpeeds = true,
     .characterFraming = true,
     .check = ConditionTable::Bcc,
     .frames = FrameFamily::Async},
    {.protocol = ProtocolSync,
     .name = "SYNC",
     .twoSpeeds = true,
     .characterFraming = true,
     .check = ConditionTable::Bcc,
     .lineCoding = true,
     .clock = true},
    {.protocol = ProtocolHdlc,
     .name = "HDLC",
     .twoSpeeds = true,
     .check = ConditionTable::Fcs,
     .lineCoding = true,
     .clock = true,
     .hdlcLevels = true,
     .addresses = true,
     .frames = FrameFamily::Hdlc},
    {.protocol = ProtocolPpp,
     .name = "PPP",
     .twoSpeeds = true,
     .check = ConditionTable::Fcs,
     .frames = FrameFamily::Ppp},
    {.protocol = ProtocolIrda, .name = "IrDA", .oneSpeed = true, .frames = FrameFamily::Irda},
    {.protocol = ProtocolI2c, .name = "I2C", .frames = FrameFamily::I2c},
    {.protocol = ProtocolBurst, .name = "BURST"},
    {.protocol = ProtocolHdlcFiltered,
     .name = "HDLC with frame filter",
     .twoSpeeds = true,
     .check = ConditionTable::Fcs,
     .lineCoding = true,
     .hdlcLevels = true,
     .filters = true,
     .frames = FrameFamily::Hdlc},
    {.protocol = ProtocolSpi, .name = "SPI", .frames = FrameFamily::Spi},
}};

// An unknown protocol shows its number and nothing the box would not show.
const ProtocolFacts* factsOf(int protocol) {
  const auto* found =
      std::find_if(kProtocols.begin(), kProtocols.end(),
                   [protocol](const ProtocolFacts& f) { return f.protocol == protocol; });
  return found == kProtocols.end() ? nullptr : found;
}

// A value without a name shows as its number.
std::string nameOrNumber(const char* name, int value) {
  return name != nullptr ? std::string(name) : std::to_string(value);
}

std::string conditionText(ConditionTable table, int value) {
  return nameOrNumber(conditionValueName(table, value), value);
}

std::string speedText(int32_t speed) {
  char buf[16];
  return formatSpeed(buf, speed);
}

std::string codeText(int code) { return nameOrNumber(codeName(code), code); }

std::string filterText(const MeasureConditions& c, int first) {
  char a[9];
  char b[9];
  return std::string(formatFilter(a, c.frameFilter(first))) + " " +
         formatFilter(b, c.frameFilter(first + 1));
}

std::string addressText(uint8_t enabled, uint8_t address) {
  char buf[3];
  return formatAddress(buf, enabled, address);
}

// Six digits as the listing shows a time stamp: the three two-digit fields of a clock
// stamp, or the last six digits of a counter stamp's count.
std::string stampText(uint32_t word) {
  char text[7];
  if (recordKind(word) < KindCounterStamp) {
    std::snprintf(text, sizeof text, "%02u%02u%02u", clockFirstField(word) % 100,
                  clockSecondField(word) % 100, clockThirdField(word) % 100);
  } else {
    std::snprintf(text, sizeof text, "%06u", counterStampValue(word) % 1000000);
  }
  return text;
}

struct RecordCounts {
  uint64_t records = 0;
  uint64_t sdData = 0;
  uint64_t rdData = 0;
  uint64_t idles = 0;
  uint64_t clockStamps = 0;
  uint64_t counterStamps = 0;
  uint64_t markers = 0;
  uint64_t lineStateChanges = 0;
  uint64_t speedChanges = 0;
  std::optional<uint32_t> firstStamp;
  std::optional<uint32_t> lastStamp;

  void count(uint32_t word) {
    ++records;
    if (isDataWord(word)) {
      if (holdsCharacter(sdCell(word))) ++sdData;
      if (holdsCharacter(rdCell(word))) ++rdData;
      return;
    }
    const unsigned kind = recordKind(word);
    if (kind < KindClockStamp) ++idles;
    if (isTimeStampWord(word)) {
      ++(kind < KindCounterStamp ? clockStamps : counterStamps);
      if (!firstStamp) firstStamp = word;
      lastStamp = word;
    }
    if (kind == KindMarker) ++markers;
    if (isLineStateWord(word)) ++lineStateChanges;
    if (isSpeedWord(word)) ++speedChanges;
  }
};

bool hasRecords(const CaptureFile& capture) {
  return capture.byteLength() != 0 && capture.startCursor().position != nullptr &&
         capture.chunkEnd() - capture.chunkStart() >= 4;
}

RecordCounts countRecords(const CaptureFile& capture) {
  RecordCounts counts;
  if (!hasRecords(capture)) return counts;
  RecordCursor cursor = capture.startCursor();
  do {
    counts.count(CaptureFile::wordAt(cursor.position));
  } while (capture.advance(cursor));
  return counts;
}

struct FrameCounts {
  uint64_t sd = 0;
  uint64_t rd = 0;
  uint64_t badCheck = 0;
  uint64_t aborted = 0;
  uint64_t otherAbnormal = 0;
};

// The frames a report of both directions shows, walked as a frame runner walks them.
FrameCounts countFrames(const CaptureFile& capture, FrameFamily family) {
  FrameCounts counts;
  if (!hasRecords(capture)) return counts;
  FrameAssembler assembler(capture);
  const RecordCursor& start = capture.startCursor();
  FrameDeliveryFilter filter(0, start.position, capture.ring());
  FrameStream frames(capture, assembler, family, start);
  Frame frame;
  forEachDeliveredFrame(frames, filter, frame, [&counts](const Frame& delivered) {
    // The empty slot a report prints once is no frame.
    if (delivered.direction == DirectionNone) return Flow::Continue;
    ++(delivered.direction == DirectionSd ? counts.sd : counts.rd);
    switch (delivered.endStatus) {
      case FrameEndStatus::FcsError: ++counts.badCheck; break;
      case FrameEndStatus::EndA: ++counts.aborted; break;
      case FrameEndStatus::EndSF:
      case FrameEndStatus::EndB:
      case FrameEndStatus::EndOE:
      case FrameEndStatus::EndLD: ++counts.otherAbnormal; break;
      default: break;
    }
    return Flow::Continue;
  });
  return counts;
}

void addConditions(CaptureSummary& items, const CaptureFile& capture, const ProtocolFacts& p) {
  const MeasureConditions& c = capture.conditions();
  if (p.twoSpeeds) {
    addText(items, "send_speed", "SD speed", speedText(c.sendSpeed()));
    addText(items, "receive_speed", "RD speed", speedText(c.receiveSpeed()));
  }
  if (p.oneSpeed) addText(items, "speed", "Speed", speedText(c.sendSpeed()));
  addText(items, "code", "Code", codeText(c.code()));
  if (p.characterFraming) {
    addText(items, "char_bits", "Character bits",
            conditionText(ConditionTable::CharBits, c.charBits()));
    addText(items, "parity", "Parity", conditionText(ConditionTable::Parity, c.parity()));
    if (p.protocol == ProtocolAsync) {
      addText(items, "stop_bits", "Stop bits",
              conditionText(ConditionTable::StopBits, c.stopBits()));
    }
  }
  if (p.check) addText(items, "check", "Check", conditionText(*p.check, c.checkKind()));
  if (p.lineCoding) {
    addText(items, "line_coding", "Line coding",
            conditionText(ConditionTable::LineCoding, c.format()));
  }
  if (p.clock) addText(items, "clock", "Clock", conditionText(ConditionTable::Clock, c.clock()));
  if (p.hdlcLevels) {
    addText(items, "frame_protocol", "Frame protocol",
            conditionText(ConditionTable::FrameProtocol, c.frameProtocol()));
    addText(items, "packet_protocol", "Packet protocol",
            conditionText(ConditionTable::PacketProtocol, c.packetProtocol()));
  }
  if (p.addresses) {
    addText(items, "sd_address", "SD address",
            addressText(c.sendAddressEnabled(), c.sendAddress()));
    addText(items, "rd_address", "RD address",
            addressText(c.receiveAddressEnabled(), c.receiveAddress()));
  }
  if (p.filters) {
    addText(items, "sd_frame_filter", "SD frame filter", filterText(c, 0));
    addText(items, "rd_frame_filter", "RD frame filter", filterText(c, 2));
  }
}

void addStamp(CaptureSummary& items, const char* key, const char* label,
              std::optional<uint32_t> word) {
  if (word) {
    addText(items, key, label, stampText(*word));
  } else {
    addItem(items, key, label, SummaryItem::Kind::Absent);
  }
}

void addRecords(CaptureSummary& items, const CaptureFile& capture) {
  const RecordCounts r = countRecords(capture);
  addCount(items, "monitor_records", "Monitor records", r.records);
  addCount(items, "sd_data_records", "SD data records", r.sdData);
  addCount(items, "rd_data_records", "RD data records", r.rdData);
  addCount(items, "idle_counts", "Idle counts", r.idles);
  addCount(items, "clock_time_stamps", "Clock time stamps", r.clockStamps);
  addCount(items, "counter_time_stamps", "Counter time stamps", r.counterStamps);
  addCount(items, "markers", "Markers", r.markers);
  addCount(items, "line_state_changes", "Line-state changes", r.lineStateChanges);
  addCount(items, "speed_changes", "Speed changes", r.speedChanges);
  addStamp(items, "first_time_stamp", "First time stamp", r.firstStamp);
  addStamp(items, "last_time_stamp", "Last time stamp", r.lastStamp);
}

void addFrames(CaptureSummary& items, const CaptureFile& capture, FrameFamily family) {
  const FrameCounts f = countFrames(capture, family);
  addCount(items, "sd_frames", "SD frames", f.sd);
  addCount(items, "rd_frames", "RD frames", f.rd);
  addCount(items, "bad_check_frames", "Frames with a bad check", f.badCheck);
  addCount(items, "aborted_frames", "Aborted frames", f.aborted);
  addCount(items, "other_abnormal_frames", "Other abnormal ends", f.otherAbnormal);
}

std::string protocolText(int protocol, const ProtocolFacts* facts) {
  return facts != nullptr ? std::string(facts->name) : "protocol " + std::to_string(protocol);
}

}  // namespace

std::string protocolName(int protocol) { return protocolText(protocol, factsOf(protocol)); }

CaptureSummary summarizeCapture(const CaptureFile& capture, const std::string& name,
                                uint64_t size) {
  const MeasureConditions& c = capture.conditions();
  const ProtocolFacts* facts = factsOf(c.protocol());
  CaptureSummary items;
  addText(items, "file", "File", name);
  addCount(items, "size", "File size", size);
  addText(items, "protocol", "Protocol", protocolText(c.protocol(), facts));
  addCount(items, "measurement_mode", "Measurement mode",
           static_cast<uint64_t>(std::max<int>(c.measureMode(), 0)));
  if (facts != nullptr) addConditions(items, capture, *facts);
  bool framesShown = facts != nullptr && facts->frames.has_value();
  const FrameFamily family = framesShown ? *facts->frames : FrameFamily::Hdlc;
  if (framesShown) {
    const bool stampDelimited = FrameAssembler(capture).isStampDelimited(family);
    addFlag(items, "stamp_delimited_frames", "Time stamps delimit frames", stampDelimited);
    // ASYNC frames exist only where time stamps delimit them.
    if (family == FrameFamily::Async && !stampDelimited) framesShown = false;
  }
  addFlag(items, "line_states_recorded", "Line states recorded", c.lineStateRecorded() != 0);
  addRecords(items, capture);
  if (framesShown) addFrames(items, capture, family);
  return items;
}

void writeSummaryText(std::ostream& out, const CaptureSummary& summary) {
  size_t width = 0;
  for (const SummaryItem& item : summary) width = std::max(width, std::strlen(item.label));
  for (const SummaryItem& item : summary) {
    out << item.label << ':' << std::string(width + 1 - std::strlen(item.label), ' ');
    switch (item.kind) {
      case SummaryItem::Kind::Text: out << item.text; break;
      case SummaryItem::Kind::Count: out << item.count; break;
      case SummaryItem::Kind::Flag: out << (item.flag ? "yes" : "no"); break;
      case SummaryItem::Kind::Absent: out << "none"; break;
    }
    if (std::strcmp(item.key, "size") == 0) out << " bytes";
    out << '\n';
  }
}

#ifdef QV_HAVE_JSON
namespace {

nlohmann::ordered_json summaryObject(const CaptureSummary& summary) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const SummaryItem& item : summary) {
    nlohmann::ordered_json& member = object[item.key];
    switch (item.kind) {
      case SummaryItem::Kind::Text: member = item.text; break;
      case SummaryItem::Kind::Count: member = item.count; break;
      case SummaryItem::Kind::Flag: member = item.flag; break;
      case SummaryItem::Kind::Absent: member = nullptr; break;
    }
  }
  return object;
}

}  // namespace

void writeSummaryJson(std::ostream& out, const std::vector<CaptureSummary>& summaries,
                      bool asArray) {
  nlohmann::ordered_json document = nlohmann::ordered_json::array();
  for (const CaptureSummary& summary : summaries) document.push_back(summaryObject(summary));
  if (!asArray && document.empty()) return;
  const nlohmann::ordered_json& shown = asArray ? document : document.front();
  // Names may hold any bytes: invalid UTF-8 is replaced rather than refused.
  out << shown.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

#else
void writeSummaryJson(std::ostream&, const std::vector<CaptureSummary>&, bool) {}
#endif

}  // namespace qv
