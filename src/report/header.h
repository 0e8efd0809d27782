#pragma once
// The report's boxed header: top line with the date and time, the conditions box,
// the print code line and the closing line, with their small text formatters.
#include <cstdint>
#include <ctime>

#include "capture/conditions.h"

namespace qv {

class PrintFile;

// Each formatter writes a zero-terminated text into buf and returns buf.
char* formatSpeed(char* buf, int32_t speed);  // buf of at least 16 bytes; 0 or less: "--"
char* formatAddress(char* buf, uint8_t enabled, uint8_t address);
char* formatFilter(char* buf, FilterEntry entry);  // buf of at least 9 bytes

// Name of a character code id 0-9, or nullptr outside the table.
const char* codeName(int code);

// The conditions box's tables of value names, and the names of the HDLC frame and packet
// protocols, for other views of the conditions (summaries, the export).
enum class ConditionTable {
  CharBits,
  Parity,
  StopBits,
  LineCoding,
  Clock,
  Bcc,
  Fcs,
  FrameProtocol,
  PacketProtocol
};
// The box's name of the value, or nullptr outside the table.
const char* conditionValueName(ConditionTable table, int value);

// The 39-character top line for the given local time (without the newline); buf of at
// least 40 bytes.
void formatHeaderLine(char* buf, const std::tm& when);
void writeHeaderLine(PrintFile& out);  // the current local time
void writeHeaderLine(PrintFile& out, const std::tm& when);
// Condition values outside the name tables show as their decimal value.
void writeConditionsBox(PrintFile& out, const MeasureConditions& conditions);
void writePrintCode(PrintFile& out, int8_t code);
void writeBoxEnd(PrintFile& out);

}  // namespace qv
