// PPP translation and PPP frame dump.
#include "frames/ppp_translators.h"

#include <iterator>

#include "report/value_names.h"

namespace qv {
namespace {

// Assigned PPP protocol numbers.
constexpr ValueName kProtocols[] = {
    {0x0001, "Padding"},  {0x0021, "IP"},       {0x0023, "OSI"},     {0x0025, "XNS"},
    {0x0027, "DECnet"},   {0x0029, "AT"},       {0x002B, "IPX"},     {0x002D, "VJCTCPIP"},
    {0x002F, "VJUTCPIP"}, {0x0031, "BPDU"},     {0x0033, "ST"},      {0x0035, "VINES"},
    {0x0039, "AT-EDDP"},  {0x003B, "AT-SB"},    {0x003D, "MP"},      {0x003F, "NETBIOS"},
    {0x0041, "Cisco"},    {0x0043, "Ascom"},    {0x0045, "LBLB"},    {0x0047, "DCA"},
    {0x0049, "SDTP"},     {0x004B, "SNA802.2"}, {0x004D, "SNA"},     {0x004F, "IPv6"},
    {0x006F, "SB"},       {0x00FB, "CSLMG"},    {0x00FD, "1stComp"}, {0x0201, "802.1dHP"},
    {0x0203, "SR-BPDU"},  {0x0205, "DECLBST"},  {0x0231, "Luxcom"},  {0x0233, "SigmaNS"},
    {0x8021, "IPCP"},     {0x8023, "OSINLCP"},  {0x8025, "XNSCP"},   {0x8027, "DNCP"},
    {0x8029, "ATCP"},     {0x802B, "IPXCP"},    {0x8031, "BCP"},     {0x8035, "BVCP"},
    {0x803D, "MPCP"},     {0x803F, "NETBIOSC"}, {0x8041, "CiscoCP"}, {0x8043, "AscomCP"},
    {0x8045, "LBLBCP"},   {0x8047, "DCA-CP"},   {0x8049, "SDCP"},    {0x804B, "SNA802CP"},
    {0x804D, "SNACP"},    {0x804F, "IPv6CP"},   {0x806F, "SBCP"},    {0x80FB, "CSLMGCP"},
    {0x80FD, "CCP"},      {0xC021, "LCP"},      {0xC023, "PAP"},     {0xC025, "LQR"},
    {0xC027, "SPAP"},     {0xC029, "CBCP"},     {0xC223, "CHAP"},    {0xC26F, "SBAP"},
    {0xC281, "PropAP"},   {0xC481, "PropNIDA"},
};
static_assert(std::size(kProtocols) == 62);
static_assert(ascendingValues(kProtocols));

// LCP/NCP packet codes; code 0 has no name.
constexpr ValueName kCodeNames[] = {
    {1, "CONF-REQ"},  {2, "CONF-ACK"}, {3, "CONF-NAK"},  {4, "CONF-REJ"}, {5, "TERM-REQ"},
    {6, "TERM-ACK"},  {7, "CODE-REJ"}, {8, "PROT-REJ"},  {9, "ECHO-REQ"}, {10, "ECHO-REP"},
    {11, "DISC-REQ"}, {12, "IDENT"},   {13, "TIME-REM"}, {14, "RES-REQ"}, {15, "RES-REP"},
};
static_assert(ascendingValues(kCodeNames));

constexpr const char* kTranslateHead = "-----TM---PROTOCOL-CODE------ID-FC-";
constexpr const char* kDumpHead = "-----TM---FC-";
constexpr int kNameWidth = 9;

// Decodes address, control, protocol, code and identifier; each field needs its bytes,
// and decoding stops at the first one missing, leaving the later fields absent.
void decodePpp(PppHeader& header, const Frame& frame) {
  header = PppHeader{};
  const int count = usableCount(frame);
  int at = 0;
  if (count <= 0) return;
  if (frameByte(frame, 0) == 0xFF) {
    header.address = 0xFF;
    if (count == 1) return;
    header.hasControl = 1;
    header.control = frameByte(frame, 1);
    if (header.control != 0x03) return;  // not a PPP frame: no fields after the control
    at = 2;
  }
  if (at >= count) return;
  const uint8_t first = frameByte(frame, at++);
  if ((first & 1) == 0) {  // an even first byte announces a two-byte protocol field
    if (at >= count) return;
    header.protocol = first * 256 + frameByte(frame, at++);
  } else {
    header.protocol = first;
  }
  if (at >= count) return;
  header.code = frameByte(frame, at++);
  if (at >= count) return;
  header.identifier = frameByte(frame, at++);
  if (at >= count) return;
  header.dataStart = static_cast<int8_t>(at);
  header.dataCount = static_cast<int8_t>(count - at);
}

}  // namespace

const char* PppTranslator::protocolName(int32_t protocol) {
  return valueName(kProtocols, protocol);
}

const char* PppTranslator::codeName(int code) { return valueName(kCodeNames, code); }

void PppTranslator::parseHeader(void* header, const Frame& frame) {
  decodePpp(*static_cast<PppHeader*>(header), frame);
}

const char* PppTranslator::shortTag() { return "-PPP-   "; }
const char* PppTranslator::title() { return "(PPP TRANSLATION)"; }
void PppTranslator::writeColumnHead() { writeHead(kTranslateHead, "DATA"); }

// Blanks when the frame ends before the field.
void PppTranslator::writeNameColumn(int32_t value, const char* name, int digits) {
  writePos =
      value < 0 ? fillChars(writePos, kNameWidth, ' ')
                : nameOrHexColumn(writePos, kNameWidth, name, static_cast<uint32_t>(value), digits);
}

int PppTranslator::translate(const Frame& frame) {
  PppHeader header;
  if (!beginFrameLine(frame, &header)) return 1;
  writePos = fillChars(writePos, 1, ' ');
  writeNameColumn(header.protocol, protocolName(header.protocol), 4);
  writeNameColumn(header.code, codeName(header.code), 2);
  writePos = decimalOrBlanks(writePos, 3, header.identifier);
  writePos = fillChars(writePos, 1, ' ');
  writeEndMark(frame.endStatus);
  writeDataBytes(*this, frame, header.dataStart, header.dataCount);
  finishLine();
  return 0;
}

void PppDumpTranslator::parseHeader(void* header, const Frame& frame) {
  PppHeader& dump = *static_cast<PppHeader*>(header);
  dump = PppHeader{};
  dump.dataStart = 0;
  dump.dataCount = static_cast<int8_t>(usableCount(frame));
}

const char* PppDumpTranslator::shortTag() { return "-PPP- D "; }
const char* PppDumpTranslator::title() { return "(PPP FRAME DUMP)"; }
void PppDumpTranslator::writeColumnHead() { writeHead(kDumpHead, "DATA"); }

int PppDumpTranslator::translate(const Frame& frame) {
  PppHeader header;
  if (!beginFrameLine(frame, &header)) return 1;
  writePos = fillChars(writePos, 1, ' ');
  writeEndMark(frame.endStatus);
  writeDataBytes(*this, frame, header.dataStart, header.dataCount);
  finishLine();
  return 0;
}

}  // namespace qv
