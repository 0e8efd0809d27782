#include "frames/hdlc_translators.h"

namespace qv {

namespace {

// Supervisory functions, the same for SDLC, X.25 and LAPD (control byte for modulo 8
// with P/F and N(R) zero). Function 3 (0x0D) has no name.
constexpr ValueName kSupervisoryNames[] = {
    {0, "RR", "RR"},    // 0x01
    {1, "RNR", "RNR"},  // 0x05
    {2, "REJ", "REJ"},  // 0x09
};

// Unnumbered modifiers (the five modifier bits without P/F) by protocol.
constexpr ValueName kSdlcUnnumberedNames[] = {
    {0, "UI", "UI"},         // 0x03
    {1, "SIM", "RIM"},       // 0x07
    {3, nullptr, "DM"},      // 0x0F
    {4, "UP", nullptr},      // 0x23
    {8, "DISC", "RD"},       // 0x43
    {12, nullptr, "UA"},     // 0x63
    {16, "SNRM", nullptr},   // 0x83
    {17, nullptr, "FRMR"},   // 0x87
    {23, "XID", "XID"},      // 0xAF
    {25, "CFGR", "CFGR"},    // 0xC7
    {27, "SNRME", nullptr},  // 0xCF
    {28, "TEST", "TEST"},    // 0xE3
    {31, nullptr, "BCN"},    // 0xEF
};

constexpr ValueName kX25UnnumberedNames[] = {
    {3, "SARM", "DM"},       // 0x0F
    {7, "SABM", nullptr},    // 0x2F
    {8, "DISC", nullptr},    // 0x43
    {12, nullptr, "UA"},     // 0x63
    {15, "SABME", nullptr},  // 0x6F
    {17, nullptr, "FRMR"},   // 0x87
};

constexpr ValueName kLapdUnnumberedNames[] = {
    {0, "UI", nullptr},      // 0x03
    {3, nullptr, "DM"},      // 0x0F
    {8, "DISC", nullptr},    // 0x43
    {12, nullptr, "UA"},     // 0x63
    {15, "SABME", nullptr},  // 0x6F
    {17, nullptr, "FRMR"},   // 0x87
    {23, "XID", "XID"},      // 0xAF
};

static_assert(ascendingValues(kSupervisoryNames));
static_assert(ascendingValues(kSdlcUnnumberedNames));
static_assert(ascendingValues(kX25UnnumberedNames));
static_assert(ascendingValues(kLapdUnnumberedNames));

constexpr char kAdTypeHead[] = "-----TM---AD-TYPE---NS-PF-NR-FC-";
constexpr char kSapTeCrHead[] = "-----TM--SAP--TE-CR-TYPE--NS-PF-NR-FC-";

const char* linkTypeName(bool isSd, int frameClass, int typeIndex, ValueNames unnumbered) {
  switch (frameClass) {
    case FrameClassI: return "INFO";
    case FrameClassS: return directionalName(kSupervisoryNames, typeIndex, isSd);
    case FrameClassU: return directionalName(unnumbered, typeIndex, isSd);
    default: return "";
  }
}

// The five modifier bits of a U control byte, without P/F.
int8_t unnumberedModifier(uint8_t control) {
  return static_cast<int8_t>(((control >> 5) & 0x07) * 4 + ((control >> 2) & 0x03));
}

void setInfo(HdlcHeader& header, int headerLength, int count) {
  if (count > headerLength) {
    header.infoStart = static_cast<int8_t>(headerLength);
    header.infoCount = static_cast<int8_t>(count - headerLength);
  }
}

void decodeUnnumbered(HdlcHeader& header, uint8_t control) {
  header.frameClass = FrameClassU;
  header.typeIndex = unnumberedModifier(control);
  header.pf = (control >> 4) & 1;
}

// The part of an I or S control byte that does not depend on the modulus.
void decodeSequenced(HdlcHeader& header, uint8_t control, bool mod128) {
  if ((control & 0x01) == 0) {
    header.frameClass = FrameClassI;
    header.typeIndex = 0;
    header.ns = static_cast<int8_t>(mod128 ? control >> 1 : (control >> 1) & 0x07);
  } else {
    header.frameClass = FrameClassS;
    header.typeIndex = static_cast<int8_t>(mod128 ? control >> 2 : (control >> 2) & 0x03);
  }
}

// Decodes the control field from byte `at` on: one byte for U frames and in modulo 8,
// two for I and S frames in modulo 128. Returns the header length, or 0 when the frame
// ends inside the control field.
int decodeControl(HdlcHeader& header, const Frame& frame, int at, int count, bool mod128) {
  const uint8_t control = frameByte(frame, at);
  header.control1 = control;
  header.controlLength = 1;
  if ((control & 0x03) == 0x03) {
    decodeUnnumbered(header, control);
    return at + 1;
  }
  decodeSequenced(header, control, mod128);
  if (!mod128) {
    header.pf = (control >> 4) & 1;
    header.nr = static_cast<int8_t>(control >> 5);
    return at + 1;
  }
  if (count <= at + 1) return 0;
  const uint8_t control2 = frameByte(frame, at + 1);
  header.control2 = control2;
  header.controlLength = 2;
  header.pf = control2 & 1;
  header.nr = static_cast<int8_t>(control2 >> 1);
  return at + 2;
}

// The N(S) and N(R) cells of the AD-TYPE layout: one centred digit in modulo 8.
template <bool kModulo128>
char* writeSequence(char* position, int value) {
  if (kModulo128) return decimalOrBlanks(position, 3, value);
  position = fillChars(position, 1, ' ');
  position = digitOrBlank(position, value);
  return fillChars(position, 1, ' ');
}

// AD, TYPE, NS, PF and NR (positions 10-27).
template <bool kModulo128>
char* writeAdTypeColumns(char* p, FrameTranslator& namer, bool isSd, const HdlcHeader& header) {
  p = hexOrBlanks(p, 2, header.address);
  p = fillChars(p, 1, ' ');
  p = writeFrameTypeColumn(p, namer, isSd, header);
  p = writeSequence<kModulo128>(p, header.ns);
  p = fillChars(p, 1, ' ');
  p = digitOrBlank(p, header.pf);
  p = fillChars(p, 1, ' ');
  return writeSequence<kModulo128>(p, header.nr);
}

// SAP, TE, CR, TYPE, NS, PF and NR (positions 10-33).
char* writeSapTeCrColumns(char* p, FrameTranslator& namer, bool isSd, const HdlcHeader& header) {
  p = decimalOrBlanks(p, 2, header.address);
  p = fillChars(p, 1, ' ');
  p = decimalOrBlanks(p, 3, header.tei);
  p = fillChars(p, 1, ' ');
  p = digitOrBlank(p, header.commandResponse);
  p = fillChars(p, 1, ' ');
  p = writeFrameTypeColumn(p, namer, isSd, header);
  p = decimalOrBlanks(p, 3, header.ns);
  p = fillChars(p, 1, ' ');
  p = digitOrBlank(p, header.pf);
  p = fillChars(p, 1, ' ');
  return decimalOrBlanks(p, 3, header.nr);
}

}  // namespace

// ---- shared helpers ----

void decodeControlAndInfo(HdlcHeader& header, const Frame& frame, int at, int count, bool mod128) {
  const int headerLength = decodeControl(header, frame, at, count, mod128);
  if (headerLength > 0) setInfo(header, headerLength, count);
}

char* writeFrameTypeColumn(char* position, FrameTranslator& namer, bool isSd,
                           const HdlcHeader& header) {
  if (header.frameClass < 0) return fillChars(position, 6, ' ');
  const char* name = namer.frameTypeName(isSd, header.frameClass, header.typeIndex);
  const bool twoBytes = header.controlLength >= 2;
  const uint32_t control =
      twoBytes ? static_cast<uint32_t>(header.control1 << 8 | header.control2) : header.control1;
  return nameOrHexColumn(position, 6, name, control, twoBytes ? 4 : 2);
}

int LinkFrameTranslator::translateWith(const Frame& frame, ColumnWriter writeColumns) {
  HdlcHeader header;
  if (!beginFrameLine(frame, &header)) return 1;
  char* p = fillChars(writePos, 1, ' ');
  p = writeColumns(p, *this, frame.direction == DirectionSd, header);
  writePos = fillChars(p, 1, ' ');
  writeEndMark(frame.endStatus);
  writeDataBytes(*this, frame, header.infoStart, header.infoCount);
  finishLine();
  return 0;
}

// ---- SDLC and X.25 ----

void HdlcFrameTranslator::decode(HdlcHeader& header, const Frame& frame, bool mod128) {
  header = HdlcHeader{};
  const int count = usableCount(frame);
  if (count <= 0) return;
  header.address = frameByte(frame, 0);
  if (count == 1) return;
  decodeControlAndInfo(header, frame, 1, count, mod128);
}

void HdlcFrameTranslator::parseHeader(void* header, const Frame& frame) {
  decode(*static_cast<HdlcHeader*>(header), frame, modulo128_);
}

void HdlcFrameTranslator::writeColumnHead() { writeHead(kAdTypeHead, "DATA"); }

int HdlcFrameTranslator::translate(const Frame& frame) {
  return translateWith(frame, modulo128_ ? writeAdTypeColumns<true> : writeAdTypeColumns<false>);
}

const char* SdlcFrameTranslator::frameTypeName(bool isSd, int frameClass, int typeIndex) {
  return linkTypeName(isSd, frameClass, typeIndex, kSdlcUnnumberedNames);
}

const char* SdlcFrameTranslator::shortTag() { return modulo128() ? "F-SDLCE-" : "F -SDLC-"; }

const char* SdlcFrameTranslator::title() {
  return modulo128() ? "(SDLC MOD128 FRAME)" : "(SDLC FRAME)";
}

const char* X25FrameTranslator::frameTypeName(bool isSd, int frameClass, int typeIndex) {
  return linkTypeName(isSd, frameClass, typeIndex, kX25UnnumberedNames);
}

const char* X25FrameTranslator::shortTag() { return modulo128() ? "F-X.25E-" : "F -X.25-"; }

const char* X25FrameTranslator::title() {
  return modulo128() ? "(X.25 MOD128 FRAME)" : "(X.25 FRAME)";
}

// ---- LAPD ----

void LapdFrameTranslator::decode(HdlcHeader& header, const Frame& frame) {
  header = HdlcHeader{};
  const int count = usableCount(frame);
  if (count <= 0) return;
  const uint8_t address = frameByte(frame, 0);
  header.address = static_cast<int16_t>(address >> 2);
  header.commandResponse = (address >> 1) & 1;
  if (count == 1) return;
  header.tei = static_cast<int8_t>(frameByte(frame, 1) >> 1);
  if (count == 2) return;
  decodeControlAndInfo(header, frame, 2, count, true);
}

void LapdFrameTranslator::parseHeader(void* header, const Frame& frame) {
  decode(*static_cast<HdlcHeader*>(header), frame);
}

const char* LapdFrameTranslator::frameTypeName(bool isSd, int frameClass, int typeIndex) {
  return linkTypeName(isSd, frameClass, typeIndex, kLapdUnnumberedNames);
}

const char* LapdFrameTranslator::shortTag() { return "F -LAPD-"; }

const char* LapdFrameTranslator::title() { return "(LAPD FRAME)"; }

void LapdFrameTranslator::writeColumnHead() { writeHead(kSapTeCrHead, "DATA"); }

int LapdFrameTranslator::translate(const Frame& frame) {
  return translateWith(frame, writeSapTeCrColumns);
}

}  // namespace qv
