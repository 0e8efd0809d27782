// IrLAP frame translator.
#include "frames/irlap_translator.h"

#include <iterator>

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

// AD, TYPE, NR, PF and NS. The type is named by the frame's C/R bit, not its direction.
char* writeIrlapColumns(char* p, FrameTranslator& namer, bool, const HdlcHeader& header) {
  p = hexOrBlanks(p, 2, header.address);
  p = fillChars(p, 1, ' ');
  const bool isCommand = header.commandResponse == 1;
  const char* name = namer.frameTypeName(isCommand, header.frameClass, header.typeIndex);
  p = nameOrHexColumn(p, kTypeWidth, name, header.control1, 2);
  p = fillChars(p, 2, ' ');
  p = digitOrBlank(p, header.nr);
  p = fillChars(p, 2, ' ');
  p = digitOrBlank(p, header.pf);
  p = fillChars(p, 2, ' ');
  return digitOrBlank(p, header.ns);
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
  decodeControlAndInfo(header, frame, 1, count, false);  // IrLAP is always modulo 8
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

int IrlapTranslator::translate(const Frame& frame) {
  return translateWith(frame, writeIrlapColumns);
}

}  // namespace qv
