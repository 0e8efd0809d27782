#include "report/header.h"

#include <cstdio>
#include <cstring>

#include "report/code_tables.h"
#include "report/print_file.h"
#include "report/text_fields.h"
#include "report/value_names.h"

namespace qv {

namespace {

// Condition names by the value of the condition field.
constexpr ValueName kCodeNames[] = {
    {CodeAscii, "ASCII"}, {CodeEbcdic, "EBCDIC"}, {CodeEbcdik, "EBCDIK"}, {CodeJis7, "JIS7"},
    {CodeJis8, "JIS8"},   {CodeHex, "HEX"},       {CodeEbcd, "EBCD"},     {CodeTransc, "TRANSC"},
    {CodeIpars, "IPARS"}, {CodeBaudot, "BAUDOT"},
};
constexpr ValueName kCharBitNames[] = {{0, "5"}, {1, "6"}, {2, "7"}, {3, "8"}};
constexpr ValueName kParityNames[] = {{0, "NONE"}, {1, "ODD"},   {2, "EVEN"},
                                      {3, "MARK"}, {4, "SPACE"}, {5, "MP"}};
constexpr ValueName kStopBitNames[] = {{0, "1"}, {1, "2"}};
constexpr ValueName kLineCodingNames[] = {{0, "NRZ"}, {1, "NRZI"}, {2, "FM0"}, {3, "FM1"}};
constexpr ValueName kClockNames[] = {{0, "ST1"}, {1, "ST2"}, {2, "RT"}, {3, "AR"}};
constexpr ValueName kBccNames[] = {{0, "NONE"},  {1, "LRC O"}, {2, "LRC E"}, {3, "CRC-16"},
                                   {4, "ITU-T"}, {5, "CRC-6"}, {6, "CRC-12"}};
constexpr ValueName kFcsNames[] = {{0, "NONE"}, {1, "FCS16"}, {2, "FCS32"}};

// The HDLC frame and packet protocols, by the values of their condition fields.
constexpr ValueName kFrameProtocolNames[] = {
    {0, "SDLC"}, {1, "SDLC modulo 128"}, {2, "X.25"}, {3, "X.25 modulo 128"}, {4, "LAPD"}};
constexpr ValueName kPacketProtocolNames[] = {{0, "X.25"}, {1, "LAPD"}};

static_assert(ascendingValues(kCodeNames) && ascendingValues(kCharBitNames) &&
              ascendingValues(kParityNames) && ascendingValues(kStopBitNames) &&
              ascendingValues(kLineCodingNames) && ascendingValues(kClockNames) &&
              ascendingValues(kBccNames) && ascendingValues(kFcsNames) &&
              ascendingValues(kFrameProtocolNames) && ascendingValues(kPacketProtocolNames));

// A value the analyzer never writes still gets a readable field: its decimal value.
struct FieldText {
  char text[16];
};

FieldText nameOf(ValueNames names, int value) {
  FieldText field{};
  if (const char* name = valueName(names, value)) {
    std::snprintf(field.text, sizeof field.text, "%s", name);
  } else {
    std::snprintf(field.text, sizeof field.text, "%d", value);
  }
  return field;
}

FieldText speedOf(int32_t speed) {
  FieldText field{};
  formatSpeed(field.text, speed);
  return field;
}

FieldText addressOf(uint8_t enabled, uint8_t address) {
  FieldText field{};
  formatAddress(field.text, enabled, address);
  return field;
}

FieldText filterOf(FilterEntry entry) {
  FieldText field{};
  formatFilter(field.text, entry);
  return field;
}

// The top line: the date-time ends right before the closing bracket at position 36.
constexpr char kTopLineTemplate[] = "*=[KOVREN]==========================]=*";
constexpr int kDateTimeEnd = 36;
constexpr int kDateTimeMaxLength = 25;  // keeps "*=[KOVREN]" and the opening "[" intact

void writeSpeedLine(PrintFile& out, const MeasureConditions& c) {
  out.print("*  S-SPEED : %-6s  R-SPEED : %-6s *\n", speedOf(c.sendSpeed()).text,
            speedOf(c.receiveSpeed()).text);
}

void writeCodeOnlyLine(PrintFile& out, const MeasureConditions& c) {
  out.print("*  CODE    : %-6s                   *\n", nameOf(kCodeNames, c.code()).text);
}

void writeCodeCharBitLine(PrintFile& out, const MeasureConditions& c) {
  out.print("*  CODE    : %-6s  CHAR BIT: %-6s *\n", nameOf(kCodeNames, c.code()).text,
            nameOf(kCharBitNames, c.charBits()).text);
}

void writeCodeFcsLine(PrintFile& out, const MeasureConditions& c) {
  out.print("*  CODE    : %-6s  FCS     : %-6s *\n", nameOf(kCodeNames, c.code()).text,
            nameOf(kFcsNames, c.checkKind()).text);
}

void writeAsyncBox(PrintFile& out, const MeasureConditions& c) {
  out.putString("*  PROTOCOL: ASYNC                    *\n");
  writeSpeedLine(out, c);
  writeCodeCharBitLine(out, c);
  out.print("*  PARITY  : %-6s  STOP BIT: %-6s *\n", nameOf(kParityNames, c.parity()).text,
            nameOf(kStopBitNames, c.stopBits()).text);
  out.print("*  BCC     : %-6s                   *\n", nameOf(kBccNames, c.checkKind()).text);
}

void writeSyncBox(PrintFile& out, const MeasureConditions& c) {
  out.putString("*  PROTOCOL: SYNC                     *\n");
  writeSpeedLine(out, c);
  writeCodeCharBitLine(out, c);
  out.print("*  PARITY  : %-6s  CLOCK   : %-6s *\n", nameOf(kParityNames, c.parity()).text,
            nameOf(kClockNames, c.clock()).text);
  out.print("*  BCC     : %-6s  FORMAT  : %-6s *\n", nameOf(kBccNames, c.checkKind()).text,
            nameOf(kLineCodingNames, c.format()).text);
}

void writeHdlcBox(PrintFile& out, const MeasureConditions& c) {
  out.putString("*  PROTOCOL: HDLC                     *\n");
  writeSpeedLine(out, c);
  writeCodeFcsLine(out, c);
  out.print("*  FORMAT  : %-6s  CLOCK   : %-6s *\n", nameOf(kLineCodingNames, c.format()).text,
            nameOf(kClockNames, c.clock()).text);
  out.print("*  S-ADDR  : %-6s  R-ADDR  : %-6s *\n",
            addressOf(c.sendAddressEnabled(), c.sendAddress()).text,
            addressOf(c.receiveAddressEnabled(), c.receiveAddress()).text);
}

void writePppBox(PrintFile& out, const MeasureConditions& c) {
  out.putString("*  PROTOCOL: PPP                      *\n");
  writeSpeedLine(out, c);
  writeCodeFcsLine(out, c);
}

void writeIrdaBox(PrintFile& out, const MeasureConditions& c) {
  out.putString("*  PROTOCOL: IrDA                     *\n");
  out.print("*  SPEED   : %-6s  CODE    : %-6s *\n", speedOf(c.sendSpeed()).text,
            nameOf(kCodeNames, c.code()).text);
}

void writeI2cBox(PrintFile& out, const MeasureConditions& c) {
  out.putString("*  PROTOCOL: I2C                      *\n");
  writeCodeOnlyLine(out, c);
}

void writeBurstBox(PrintFile& out, const MeasureConditions& c) {
  out.putString("*  PROTOCOL: BURST                    *\n");
  writeCodeOnlyLine(out, c);
}

void writeSpiBox(PrintFile& out, const MeasureConditions& c) {
  out.putString("* PROTOCOL: SPI                       *\n");
  writeCodeOnlyLine(out, c);
}

// Filter entries are kept in the order SD first, SD second, RD first, RD second.
void writeFilteredHdlcBox(PrintFile& out, const MeasureConditions& c) {
  out.putString("*  PROTOCOL: HDLC                     *\n");
  writeSpeedLine(out, c);
  out.print("*  CODE    : %-6s  FORMAT  : %-6s *\n", nameOf(kCodeNames, c.code()).text,
            nameOf(kLineCodingNames, c.format()).text);
  out.print("*  FRAME FILTER SD:%-8s %-8s  *\n", filterOf(c.frameFilter(0)).text,
            filterOf(c.frameFilter(1)).text);
  out.print("*               RD:%-8s %-8s  *\n", filterOf(c.frameFilter(2)).text,
            filterOf(c.frameFilter(3)).text);
}

}  // namespace

// Speeds are kept in tenths of a bit per second; the text keeps the precision the
// analyzer shows for each range.
char* formatSpeed(char* buf, int32_t speed) {
  constexpr size_t kSize = 16;
  if (speed <= 0) {
    std::snprintf(buf, kSize, "--");
  } else if (speed < 100000 && speed % 10 != 0) {
    std::snprintf(buf, kSize, "%d.%1d", speed / 10, speed % 10);
  } else if (speed < 1000000) {
    std::snprintf(buf, kSize, "%d", speed / 10);
  } else if (speed < 10000000) {
    const int hundreds = speed / 1000;
    if (hundreds % 10 == 0) {
      std::snprintf(buf, kSize, "%dk", hundreds / 10);
    } else {
      std::snprintf(buf, kSize, "%d.%dk", hundreds / 10, hundreds % 10);
    }
  } else {
    const int megabits = speed / 10000000;
    int thousandths = speed / 10000 % 1000;
    if (thousandths == 0) {
      std::snprintf(buf, kSize, "%dM", megabits);
    } else {
      int digits = 3;
      while (thousandths % 10 == 0) {
        thousandths /= 10;
        --digits;
      }
      std::snprintf(buf, kSize, "%d.%0*dM", megabits, digits, thousandths);
    }
  }
  return buf;
}

char* formatAddress(char* buf, uint8_t enabled, uint8_t address) {
  if (enabled) return hexDigits(buf, 2, address);
  buf[0] = '*';
  buf[1] = '\0';
  return buf;
}

char* formatFilter(char* buf, FilterEntry entry) {
  for (int bit = 0; bit < 8; ++bit) {
    const uint8_t m = static_cast<uint8_t>(0x80 >> bit);
    buf[bit] = (entry.mask & m) == 0 ? '*' : ((entry.pattern & m) != 0 ? '1' : '0');
  }
  buf[8] = '\0';
  return buf;
}

const char* codeName(int code) { return valueName(kCodeNames, code); }

const char* conditionValueName(ConditionTable table, int value) {
  switch (table) {
    case ConditionTable::CharBits: return valueName(kCharBitNames, value);
    case ConditionTable::Parity: return valueName(kParityNames, value);
    case ConditionTable::StopBits: return valueName(kStopBitNames, value);
    case ConditionTable::LineCoding: return valueName(kLineCodingNames, value);
    case ConditionTable::Clock: return valueName(kClockNames, value);
    case ConditionTable::Bcc: return valueName(kBccNames, value);
    case ConditionTable::Fcs: return valueName(kFcsNames, value);
    case ConditionTable::FrameProtocol: return valueName(kFrameProtocolNames, value);
    case ConditionTable::PacketProtocol: return valueName(kPacketProtocolNames, value);
  }
  return nullptr;
}

void formatHeaderLine(char* buf, const std::tm& when) {
  char dateTime[80];
  std::snprintf(dateTime, sizeof dateTime, "%d-%02d-%02d %d:%02d:%02d", when.tm_year + 1900,
                when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
  int length = static_cast<int>(std::strlen(dateTime));
  if (length > kDateTimeMaxLength) length = kDateTimeMaxLength;
  std::memcpy(buf, kTopLineTemplate, sizeof kTopLineTemplate);
  std::memcpy(buf + kDateTimeEnd - length, dateTime, static_cast<size_t>(length));
  buf[kDateTimeEnd - length - 1] = '[';
}

void writeHeaderLine(PrintFile& out) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  writeHeaderLine(out, local);
}

void writeHeaderLine(PrintFile& out, const std::tm& when) {
  char line[sizeof kTopLineTemplate];
  formatHeaderLine(line, when);
  out.putString(line);
  out.putChar('\n');
}

void writeConditionsBox(PrintFile& out, const MeasureConditions& conditions) {
  switch (conditions.protocol()) {
    case ProtocolAsync: writeAsyncBox(out, conditions); break;
    case ProtocolSync: writeSyncBox(out, conditions); break;
    case ProtocolHdlc: writeHdlcBox(out, conditions); break;
    case ProtocolPpp: writePppBox(out, conditions); break;
    case ProtocolIrda: writeIrdaBox(out, conditions); break;
    case ProtocolI2c: writeI2cBox(out, conditions); break;
    case ProtocolBurst: writeBurstBox(out, conditions); break;
    case ProtocolHdlcFiltered: writeFilteredHdlcBox(out, conditions); break;
    case ProtocolSpi: writeSpiBox(out, conditions); break;
    default: break;  // protocols without a conditions box
  }
}

void writePrintCode(PrintFile& out, int8_t code) {
  const FieldText name = code < 0 ? FieldText{"(HEX)"} : nameOf(kCodeNames, code);
  out.print("*                 PRINT CODE : %-6s *\n", name.text);
}

void writeBoxEnd(PrintFile& out) { out.putString("*=====================================*\n"); }

}  // namespace qv
