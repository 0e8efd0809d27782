// IrLAP frame translator.
#include "frames/irlap_translator.h"

namespace qv {
namespace {

// Frame types named by the frame's C/R bit: the command name (C/R 1) first, the
// response name (C/R 0) second.

// Supervisory frames, by function (control bits 2-3).
constexpr ValueName kSupervisoryNames[] = {
    {0, "RR", "RR"},      // 0x01
    {1, "RNR", "RNR"},    // 0x05
    {2, "REJ", "REJ"},    // 0x09
    {3, "SREJ", "SREJ"},  // 0x0D
};

// Unnumbered frames, by modifier (control bits 5-7 and 2-3); control shown with P/F 0.
constexpr ValueName kUnnumberedNames[] = {
    {0, "UI", "UI"},        // 0x03
    {3, nullptr, "DM"},     // 0x0F
    {7, "XID", nullptr},    // 0x2F
    {8, "DISC", "RD"},      // 0x43
    {12, nullptr, "UA"},    // 0x63
    {16, "SNRM", "RNRM"},   // 0x83
    {17, nullptr, "FRMR"},  // 0x87
    {23, nullptr, "XID"},   // 0xAF
    {28, "TEST", "TEST"},   // 0xE3
};

static_assert(ascendingValues(kSupervisoryNames));
static_assert(ascendingValues(kUnnumberedNames));

constexpr const char* kHead = "-----TM---AD-TYPE-NR-PF-NS-FC-";
constexpr int kTypeWidth = 4;

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
    case FrameClassI: return "INFO";
    case FrameClassS: return valueName(kSupervisoryNames, typeIndex, !isCommand);
    case FrameClassU: return valueName(kUnnumberedNames, typeIndex, !isCommand);
    default: return "";  // no control field: the type column stays blank
  }
}

const char* IrlapTranslator::shortTag() { return "-IrLAP- "; }
const char* IrlapTranslator::title() { return "(IrLAP FRAME)"; }
void IrlapTranslator::writeColumnHead() { writeHead(kHead, "IFIELD"); }

int IrlapTranslator::translate(const Frame& frame) {
  return translateWith(frame, writeIrlapColumns);
}

}  // namespace qv
