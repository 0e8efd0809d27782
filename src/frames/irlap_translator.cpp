// IrLAP frame translator.
#include "frames/irlap_translator.h"

#include <iterator>

#include "frames/hdlc_translators.h"

namespace qv {
namespace {

struct IrlapName {
  const char* command;   // C/R = 1
  const char* response;  // C/R = 0
};

// Supervisory frames, by function (control bits 2-3).
constexpr IrlapName kSupervisoryNames[] = {
    {"RR", "RR"},      // 0x01
    {"RNR", "RNR"},    // 0x05
    {"REJ", "REJ"},    // 0x09
    {"SREJ", "SREJ"},  // 0x0D
};

// Unnumbered frames, by modifier (control bits 5-7 and 2-3); control shown with P/F 0.
constexpr IrlapName kUnnumberedNames[32] = {
    {"UI", "UI"},        // 0  0x03
    {},                  // 1
    {},                  // 2
    {nullptr, "DM"},     // 3  0x0F
    {},                  // 4
    {},                  // 5
    {},                  // 6
    {"XID", nullptr},    // 7  0x2F
    {"DISC", "RD"},      // 8  0x43
    {},                  // 9
    {},                  // 10
    {},                  // 11
    {nullptr, "UA"},     // 12 0x63
    {},                  // 13
    {},                  // 14
    {},                  // 15
    {"SNRM", "RNRM"},    // 16 0x83
    {nullptr, "FRMR"},   // 17 0x87
    {},                  // 18
    {},                  // 19
    {},                  // 20
    {},                  // 21
    {},                  // 22
    {nullptr, "XID"},    // 23 0xAF
    {},                  // 24
    {},                  // 25
    {},                  // 26
    {},                  // 27
    {"TEST", "TEST"},    // 28 0xE3
    {},                  // 29
    {},                  // 30
    {},                  // 31
};

constexpr const char* kHead = "-----TM---AD-TYPE-NR-PF-NS-FC-";
constexpr int kTypeWidth = 4;

const char* nameFor(const IrlapName& row, bool isCommand) {
  return isCommand ? row.command : row.response;
}

}  // namespace

void IrlapTranslator::decode(HdlcHeader& header, const Frame& frame) {
  header = HdlcHeader{};
  const int count = usableCount(frame);
  if (count <= 0) return;
  const uint8_t address = frameByte(frame, 0);
  header.address = address;
  header.commandResponse = address & 1;
  if (count == 1) return;
  const uint8_t control = frameByte(frame, 1);
  header.control1 = control;
  header.controlLength = 1;
  header.pf = (control >> 4) & 1;
  if ((control & 1) == 0) {
    header.frameClass = FrameClassI;
    header.typeIndex = 0;
    header.ns = (control >> 1) & 7;
    header.nr = (control >> 5) & 7;
  } else if ((control & 3) == 1) {
    header.frameClass = FrameClassS;
    header.typeIndex = (control >> 2) & 3;
    header.nr = (control >> 5) & 7;
  } else {
    header.frameClass = FrameClassU;
    header.typeIndex = static_cast<int8_t>(((control >> 5) & 7) * 4 + ((control >> 2) & 3));
  }
  if (count > 2) {
    header.infoStart = 2;
    header.infoCount = static_cast<int8_t>(count - 2);
  }
}

void IrlapTranslator::parseHeader(void* header, const Frame& frame) {
  decode(*static_cast<HdlcHeader*>(header), frame);
}

const char* IrlapTranslator::frameTypeName(bool isCommand, int frameClass, int typeIndex) {
  switch (frameClass) {
    case FrameClassI:
      return "INFO";
    case FrameClassS:
      return typeIndex >= 0 && typeIndex < static_cast<int>(std::size(kSupervisoryNames))
                 ? nameFor(kSupervisoryNames[typeIndex], isCommand)
                 : nullptr;
    case FrameClassU:
      return typeIndex >= 0 && typeIndex < static_cast<int>(std::size(kUnnumberedNames))
                 ? nameFor(kUnnumberedNames[typeIndex], isCommand)
                 : nullptr;
    default:
      return "";  // no control field: the type column stays blank
  }
}

const char* IrlapTranslator::shortTag() { return "-IrLAP- "; }
const char* IrlapTranslator::title() { return "(IrLAP FRAME)"; }
void IrlapTranslator::writeColumnHead() { writeHead(kHead, "IFIELD"); }

void IrlapTranslator::writeTypeColumn(const HdlcHeader& header) {
  const bool isCommand = header.commandResponse == 1;
  const char* name = frameTypeName(isCommand, header.frameClass, header.typeIndex);
  if (name != nullptr) {
    writePos = fixedText(writePos, kTypeWidth, name);
    return;
  }
  writePos = fillChars(writePos, 1, '(');
  writePos = hexField(writePos, 2, header.control1);
  writePos = fillChars(writePos, 1, ')');
}

int IrlapTranslator::translate(const Frame& frame) {
  writePos = lineBuffer;
  if (writeDirection(frame.direction) != 0) return 1;
  HdlcHeader header;
  parseHeader(&header, frame);
  writeTime(frame.stampWord);
  writePos = fillChars(writePos, 1, ' ');
  writePos = hexOrBlanks(writePos, 2, header.address);
  writePos = fillChars(writePos, 1, ' ');
  writeTypeColumn(header);
  writePos = fillChars(writePos, 2, ' ');
  writePos = digitOrBlank(writePos, header.nr);
  writePos = fillChars(writePos, 2, ' ');
  writePos = digitOrBlank(writePos, header.pf);
  writePos = fillChars(writePos, 2, ' ');
  writePos = digitOrBlank(writePos, header.ns);
  writePos = fillChars(writePos, 1, ' ');
  writeEndMark(frame.endStatus);
  writeDataBytes(*this, frame, header.infoStart, header.infoCount);
  finishLine();
  return 0;
}

}  // namespace qv
