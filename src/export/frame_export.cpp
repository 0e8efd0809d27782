#include "export/frame_export.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

#include "export/packet_mappers.h"
#include "export/pcapng_writer.h"
#include "frames/frame_assembler.h"
#include "frames/frame_runners.h"
#include "frames/frame_stream.h"
#include "report/header.h"
#include "report/print_file.h"
#include "report/value_names.h"

namespace qv {

namespace {

constexpr const char* kUserApplication = "qvconv 1.04";

// ---- names ----

// Filtered HDLC captures are HDLC on the line.
constexpr ValueName kProtocolNames[] = {
    {ProtocolAsync, "ASYNC"}, {ProtocolSync, "SYNC"},         {ProtocolHdlc, "HDLC"},
    {ProtocolPpp, "PPP"},     {ProtocolIrda, "IrDA"},         {ProtocolI2c, "I2C"},
    {ProtocolBurst, "BURST"}, {ProtocolHdlcFiltered, "HDLC"}, {ProtocolSpi, "SPI"},
};
static_assert(ascendingValues(kProtocolNames));

std::string protocolName(int protocol) {
  const char* name = valueName(kProtocolNames, protocol);
  return name != nullptr ? name : std::to_string(protocol);
}

// The conditions box's FCS name, except that no check reads "no FCS".
const char* fcsName(int checkKind) {
  return checkKind == 0 ? "no FCS" : conditionValueName(ConditionTable::Fcs, checkKind);
}

FrameFamily familyOf(int protocol) {
  switch (protocol) {
    case ProtocolPpp: return FrameFamily::Ppp;
    case ProtocolIrda: return FrameFamily::Irda;
    case ProtocolI2c: return FrameFamily::I2c;
    case ProtocolSpi: return FrameFamily::Spi;
    case ProtocolAsync: return FrameFamily::Async;
    default: return FrameFamily::Hdlc;
  }
}

std::string interfaceDescription(const MeasureConditions& conditions) {
  const int protocol = conditions.protocol();
  std::string text = protocolName(protocol);
  const bool hdlc = protocol == ProtocolHdlc || protocol == ProtocolHdlcFiltered;
  if (hdlc) {
    if (const char* frame =
            conditionValueName(ConditionTable::FrameProtocol, conditions.frameProtocol()))
      text += std::string(", frame protocol ") + frame;
    if (const char* packet =
            conditionValueName(ConditionTable::PacketProtocol, conditions.packetProtocol()))
      text += std::string(", packet protocol ") + packet;
  }
  if (hdlc || protocol == ProtocolPpp) {
    if (const char* fcs = fcsName(conditions.checkKind())) text += std::string(", ") + fcs;
  }
  return text + ", FCS not included";
}

// ---- the section comment ----

// The conditions box exactly as the report prints it, through the report's own writer.
std::string conditionsBoxText(const MeasureConditions& conditions) {
  char* text = nullptr;
  size_t length = 0;
  std::FILE* memory = open_memstream(&text, &length);
  if (memory == nullptr) return "";
  std::ostringstream console;
  {
    PrintFile printFile(console);
    printFile.useStream(memory);
    if (printFile.open()) {
      writeConditionsBox(printFile, conditions);
      writeBoxEnd(printFile);
      printFile.close();
    }
  }
  std::fclose(memory);
  std::string box(text, length);
  std::free(text);
  return box;
}

// ---- interfaces ----

struct TimeScale {
  uint8_t resolution;  // if_tsresol: 6 microseconds, 9 nanoseconds
  uint64_t nanosPerUnit;
};

TimeScale timeScaleOf(const ExportOptions& options) {
  if (options.counterTickNs % kNanosPerMicro == 0) return {6, kNanosPerMicro};
  return {9, 1};
}

void writeInterfaces(PcapngWriter& writer, const CaptureFile& capture, uint16_t linkType,
                     uint32_t snaplen, const ExportOptions& options) {
  const MeasureConditions& conditions = capture.conditions();
  const std::string description = interfaceDescription(conditions);
  const bool oneSpeed = capture.protocol() == ProtocolIrda;
  const int32_t speeds[2] = {conditions.sendSpeed(),
                             oneSpeed ? conditions.sendSpeed() : conditions.receiveSpeed()};
  const char* names[2] = {"SD", "RD"};
  for (int i = 0; i < 2; ++i) {
    PcapngOptions idb;
    idb.addText(pcapng::kIfName, names[i]);
    idb.addText(pcapng::kIfDescription, description);
    // Speeds are kept in tenths of a bit per second.
    if (speeds[i] > 0) idb.addU64(pcapng::kIfSpeed, static_cast<uint64_t>(speeds[i]) / 10);
    idb.addU8(pcapng::kIfTsResol, timeScaleOf(options).resolution);
    idb.addU8(pcapng::kIfFcsLen, 0);
    if (options.startSeconds != 0)
      idb.addU64(pcapng::kIfTsOffset, static_cast<uint64_t>(options.startSeconds));
    writer.interfaceDescription(linkType, snaplen, idb);
  }
}

// ---- packets ----

// What a check mark means, for the marks that end a frame abnormally.
const char* checkMarkMeaning(FrameEndStatus endStatus) {
  switch (endStatus) {
    case FrameEndStatus::EndSF: return "short frame";
    case FrameEndStatus::EndA: return "frame aborted";
    case FrameEndStatus::EndB: return "frame broken off by a status-7 character";
    case FrameEndStatus::EndOE: return "overrun";
    case FrameEndStatus::EndLD: return "length error";
    default: return nullptr;
  }
}

// What the report's check mark says about a frame that did not end normally; empty for
// a normal end.
std::string endComment(const Frame& frame, FrameFamily family) {
  if (frame.endStatus == FrameEndStatus::FcsError) return "FCS error";
  if (frame.endStatus == FrameEndStatus::Open) {
    if (family == FrameFamily::Async || family == FrameFamily::Spi) return "";
    return "Frame still open at the end of the data";
  }
  const char* meaning = checkMarkMeaning(frame.endStatus);
  if (meaning == nullptr) return "";
  const char* mark = endMark(frame.endStatus);
  if (*mark == ' ') ++mark;  // the report right-aligns one-letter marks
  return std::string("Check mark ") + mark + ": " + meaning;
}

class PacketWriter {
 public:
  PacketWriter(PcapngWriter& writer, const CaptureFile& capture, const ExportOptions& options,
               uint32_t snaplen, FrameFamily family, bool stampDelimited, const uint8_t* runStart)
      : writer_(writer),
        snaplen_(snaplen),
        family_(family),
        stampDelimited_(stampDelimited),
        clock_(options.clockStamps, options.counterTickNs),
        scale_(timeScaleOf(options)),
        openings_(capture, runStart) {}

  void write(const Frame& frame, PacketMapper& mapper) {
    if (frame.direction != DirectionSd && frame.direction != DirectionRd) return;
    uint32_t stamp = frame.stampWord;
    if (stamp == 0 && !stampDelimited_) stamp = openings_.latestBefore(frame.firstWord);
    const uint64_t time = clock_.nanoseconds(stamp) / scale_.nanosPerUnit;
    const std::string ending = endComment(frame, family_);
    const int made = mapper.map(frame, packets_);
    for (int i = 0; i < made; ++i) {
      writePacket(frame, packets_[static_cast<size_t>(i)], ending, time);
    }
  }

 private:
  void writePacket(const Frame& frame, const MappedPacket& packet, const std::string& ending,
                   uint64_t time) {
    options_.clear();
    std::string comment = ending;
    if (!packet.comment.empty()) comment += (comment.empty() ? "" : "; ") + packet.comment;
    if (!comment.empty()) options_.addText(pcapng::kOptComment, comment);
    uint32_t flags = 0;
    if (packet.directional)
      flags = frame.direction == DirectionSd ? pcapng::kOutbound : pcapng::kInbound;
    if (frame.endStatus == FrameEndStatus::FcsError) flags |= pcapng::kCrcError;
    if (flags != 0) options_.addU32(pcapng::kEpbFlags, flags);
    const uint32_t captured = std::min(static_cast<uint32_t>(packet.bytes.size()), snaplen_);
    const uint32_t original = std::max(packet.originalLength, captured);
    writer_.enhancedPacket(frame.direction == DirectionSd ? 0 : 1, time, packet.bytes.data(),
                           captured, original, options_);
  }

  PcapngWriter& writer_;
  uint32_t snaplen_;
  FrameFamily family_;
  bool stampDelimited_;
  StampClock clock_;
  TimeScale scale_;
  OpeningStamps openings_;
  PcapngOptions options_;
  std::vector<MappedPacket> packets_;
};

uint32_t snaplenOf(const ExportOptions& options) {
  if (options.snaplen == 0) return kDefaultSnaplen;
  return std::min(options.snaplen, kLargestSnaplen);
}

}  // namespace

bool captureHasFrames(const CaptureFile& capture) {
  return makePacketMapper(capture, "data") != nullptr;
}

std::string noFramesMessage(const std::string& fileName, const CaptureFile& capture) {
  return "qvconv: " + fileName + ": " + protocolName(capture.protocol()) +
         " captures hold no frames to export";
}

int exportPcapng(const CaptureFile& capture, const ExportOptions& options, std::FILE* out,
                 std::string& error) {
  std::unique_ptr<PacketMapper> mapper = makePacketMapper(capture, options.payload);
  if (mapper == nullptr) {
    error = noFramesMessage(options.captureName, capture);
    return 1;
  }
  if (out == nullptr) {
    error = "no file to write the pcapng to";
    return 1;
  }
  const uint32_t snaplen = snaplenOf(options);
  PcapngWriter writer(out);
  PcapngOptions section;
  section.addText(pcapng::kOptComment, "Capture " + options.captureName + "\n" +
                                           conditionsBoxText(capture.conditions()));
  section.addText(pcapng::kShbUserAppl, kUserApplication);
  writer.sectionHeader(section);
  writeInterfaces(writer, capture, mapper->linkType(), snaplen, options);

  if (capture.byteLength() > 0 && capture.chunkStart() != nullptr) {
    const FrameFamily family = familyOf(capture.protocol());
    const RecordCursor start = capture.startCursor();
    FrameAssembler assembler(capture);
    assembler.setCellCapacity(static_cast<int32_t>(snaplen));
    FrameDeliveryFilter filter(options.dataLine, start.position, capture.ring());
    FrameStream frames(capture, assembler, family, start);
    PacketWriter packets(writer, capture, options, snaplen, family,
                         assembler.isStampDelimited(family), start.position);
    Frame slot;
    forEachDeliveredFrame(frames, filter, slot, [&](const Frame& frame) {
      packets.write(frame, *mapper);
      return Flow::Continue;
    });
  }
  if (!writer.flush() || std::fflush(out) != 0) {
    error = "cannot write the pcapng file";
    return 1;
  }
  return 0;
}

}  // namespace qv
