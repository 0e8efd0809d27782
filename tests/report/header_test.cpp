#include "report/header.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "capture/bytes.h"
#include "report/print_file.h"
#include "test_support.h"

namespace qv {
namespace {

// The report text that the writer call produces.
std::string written(const std::function<void(PrintFile&)>& write) {
  std::ostringstream console;
  PrintFile file(console);
  file.setSavePath(test::tempPath("header_report.txt"));
  if (!file.open()) return "<open failed>";
  write(file);
  file.close();
  return test::readFile(file.savePath());
}

// Conditions as the analyzer stores them, one field at a time.
struct Conditions {
  MeasureConditions value;
  Conditions& set(int offset, int byte) {
    value.image[offset] = static_cast<uint8_t>(byte);
    return *this;
  }
  Conditions& speeds(int32_t send, int32_t receive) {
    writeLe32(&value.image[field::sendSpeed], static_cast<uint32_t>(send));
    writeLe32(&value.image[field::receiveSpeed], static_cast<uint32_t>(receive));
    return *this;
  }
  Conditions& filter(int index, uint8_t mask, uint8_t pattern) {
    value.image[field::frameFilters + 4 * index] = mask;
    value.image[field::frameFilters + 4 * index + 1] = pattern;
    return *this;
  }
};

std::string box(const Conditions& conditions) {
  return written([&](PrintFile& out) { writeConditionsBox(out, conditions.value); });
}

void expectLinesOf39(const std::string& text) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.size(), 39u) << line;
}

std::string speedText(int32_t speed) {
  char buf[16];
  return formatSpeed(buf, speed);
}

TEST(FormatSpeed, FollowsTheRangesOfTheAnalyzer) {
  EXPECT_EQ(speedText(0), "--");
  EXPECT_EQ(speedText(750), "75");
  EXPECT_EQ(speedText(1345), "134.5");
  EXPECT_EQ(speedText(1), "0.1");
  EXPECT_EQ(speedText(99999), "9999.9");
  EXPECT_EQ(speedText(96000), "9600");
  EXPECT_EQ(speedText(100000), "10000");
  EXPECT_EQ(speedText(100005), "10000");
  EXPECT_EQ(speedText(999999), "99999");
  EXPECT_EQ(speedText(1000000), "100k");
  EXPECT_EQ(speedText(1150000), "115k");
  EXPECT_EQ(speedText(1152000), "115.2k");
  EXPECT_EQ(speedText(1152999), "115.2k");
  EXPECT_EQ(speedText(3000000), "300k");
  EXPECT_EQ(speedText(2304000), "230.4k");
  EXPECT_EQ(speedText(9999999), "999.9k");
  EXPECT_EQ(speedText(10000000), "1M");
  EXPECT_EQ(speedText(15000000), "1.5M");
  EXPECT_EQ(speedText(12340000), "1.234M");
  EXPECT_EQ(speedText(10200000), "1.02M");
  EXPECT_EQ(speedText(10010000), "1.001M");
  EXPECT_EQ(speedText(10009999), "1M");
  EXPECT_EQ(speedText(100000000), "10M");
  EXPECT_EQ(speedText(INT32_MAX), "214.748M");
}

TEST(FormatSpeed, NegativeSpeedShowsNoValue) {
  EXPECT_EQ(speedText(-1), "--");
  EXPECT_EQ(speedText(INT32_MIN), "--");
}

TEST(Formatters, HexDigitsKeepsTheLastDigitsWithLeadingZeros) {
  char buf[16];
  EXPECT_STREQ(hexDigits(buf, 2, 0x3), "03");
  EXPECT_STREQ(hexDigits(buf, 2, 0x1AB), "AB");
  EXPECT_STREQ(hexDigits(buf, 4, 0xBEEF), "BEEF");
  EXPECT_STREQ(hexDigits(buf, 8, 0xFFFFFFFFu), "FFFFFFFF");
  EXPECT_STREQ(hexDigits(buf, 10, 0x12345678u), "0012345678");
  EXPECT_STREQ(hexDigits(buf, 0, 0x12), "");
}

TEST(Formatters, AddressShowsHexWhenEnabledAndAStarOtherwise) {
  char buf[4];
  EXPECT_STREQ(formatAddress(buf, 1, 0x03), "03");
  EXPECT_STREQ(formatAddress(buf, 1, 0xFF), "FF");
  EXPECT_STREQ(formatAddress(buf, 0, 0x03), "*");
}

TEST(Formatters, FilterShowsOneCharacterPerBitFromTheTop) {
  char buf[9];
  EXPECT_STREQ(formatFilter(buf, {0xF0, 0xA0}), "1010****");
  EXPECT_STREQ(formatFilter(buf, {0x00, 0xFF}), "********");
  EXPECT_STREQ(formatFilter(buf, {0xFF, 0x01}), "00000001");
  EXPECT_STREQ(formatFilter(buf, {0x81, 0x0F}), "0******1");
}

TEST(Formatters, CodeNamesCoverTheTenCodes) {
  EXPECT_STREQ(codeName(0), "ASCII");
  EXPECT_STREQ(codeName(5), "HEX");
  EXPECT_STREQ(codeName(9), "BAUDOT");
  EXPECT_EQ(codeName(10), nullptr);
  EXPECT_EQ(codeName(-1), nullptr);
}

TEST(HeaderLine, OneDigitHourLeavesSevenEqualSigns) {
  std::tm when{};
  when.tm_year = 2026 - 1900;
  when.tm_mon = 3;
  when.tm_mday = 3;
  when.tm_hour = 9;
  when.tm_min = 5;
  when.tm_sec = 7;
  char buf[40];
  formatHeaderLine(buf, when);
  EXPECT_STREQ(buf, "*=[KOVREN]=======[2026-04-03 9:05:07]=*");
}

TEST(HeaderLine, TwoDigitHourLeavesSixEqualSigns) {
  std::tm when{};
  when.tm_year = 2026 - 1900;
  when.tm_mon = 11;
  when.tm_mday = 16;
  when.tm_hour = 23;
  when.tm_min = 59;
  when.tm_sec = 0;
  EXPECT_EQ(written([&](PrintFile& out) { writeHeaderLine(out, when); }),
            "*=[KOVREN]======[2026-12-16 23:59:00]=*\n");
}

TEST(HeaderLine, CurrentTimeLineHasTheTemplateShape) {
  const std::string line = written([](PrintFile& out) { writeHeaderLine(out); });
  ASSERT_EQ(line.size(), 40u);
  EXPECT_EQ(line.substr(0, 10), "*=[KOVREN]");
  EXPECT_EQ(line.substr(36), "]=*\n");
}

TEST(ConditionsBox, Async) {
  Conditions c;
  c.set(field::protocol, ProtocolAsync).speeds(96000, 1152000);
  c.set(field::code, 0).set(field::charBits, 3).set(field::parity, 2).set(field::stopBits, 0);
  c.set(field::checkKind, 3);
  const std::string text = box(c);
  EXPECT_EQ(text,
            "*  PROTOCOL: ASYNC                    *\n"
            "*  S-SPEED : 9600    R-SPEED : 115.2k *\n"
            "*  CODE    : ASCII   CHAR BIT: 8      *\n"
            "*  PARITY  : EVEN    STOP BIT: 1      *\n"
            "*  BCC     : CRC-16                   *\n");
  expectLinesOf39(text);
}

TEST(ConditionsBox, Sync) {
  Conditions c;
  c.set(field::protocol, ProtocolSync).speeds(0, 1345);
  c.set(field::code, 1).set(field::charBits, 0).set(field::parity, 5).set(field::clock, 2);
  c.set(field::checkKind, 6).set(field::format, 1);
  EXPECT_EQ(box(c),
            "*  PROTOCOL: SYNC                     *\n"
            "*  S-SPEED : --      R-SPEED : 134.5  *\n"
            "*  CODE    : EBCDIC  CHAR BIT: 5      *\n"
            "*  PARITY  : MP      CLOCK   : RT     *\n"
            "*  BCC     : CRC-12  FORMAT  : NRZI   *\n");
}

TEST(ConditionsBox, HdlcWithOneAddressDisabled) {
  Conditions c;
  c.set(field::protocol, ProtocolHdlc).speeds(640000, 20480000);
  c.set(field::code, 5).set(field::checkKind, 1).set(field::format, 3).set(field::clock, 3);
  c.set(field::sendAddressEnabled, 0).set(field::sendAddress, 0x55);
  c.set(field::receiveAddressEnabled, 1).set(field::receiveAddress, 3);
  const std::string text = box(c);
  EXPECT_EQ(text,
            "*  PROTOCOL: HDLC                     *\n"
            "*  S-SPEED : 64000   R-SPEED : 2.048M *\n"
            "*  CODE    : HEX     FCS     : FCS16  *\n"
            "*  FORMAT  : FM1     CLOCK   : AR     *\n"
            "*  S-ADDR  : *       R-ADDR  : 03     *\n");
  expectLinesOf39(text);
}

TEST(ConditionsBox, Ppp) {
  Conditions c;
  c.set(field::protocol, ProtocolPpp).speeds(1152000, 1152000);
  c.set(field::code, 0).set(field::checkKind, 2);
  EXPECT_EQ(box(c),
            "*  PROTOCOL: PPP                      *\n"
            "*  S-SPEED : 115.2k  R-SPEED : 115.2k *\n"
            "*  CODE    : ASCII   FCS     : FCS32  *\n");
}

TEST(ConditionsBox, IrdaShowsTheSendSpeedOnly) {
  Conditions c;
  c.set(field::protocol, ProtocolIrda).speeds(40000000, 96000).set(field::code, 4);
  EXPECT_EQ(box(c),
            "*  PROTOCOL: IrDA                     *\n"
            "*  SPEED   : 4M      CODE    : JIS8   *\n");
}

TEST(ConditionsBox, I2cBurstAndSpi) {
  Conditions c;
  c.set(field::code, 9);
  c.set(field::protocol, ProtocolI2c);
  EXPECT_EQ(box(c),
            "*  PROTOCOL: I2C                      *\n"
            "*  CODE    : BAUDOT                   *\n");
  c.set(field::protocol, ProtocolBurst).set(field::code, 7);
  EXPECT_EQ(box(c),
            "*  PROTOCOL: BURST                    *\n"
            "*  CODE    : TRANSC                   *\n");
  c.set(field::protocol, ProtocolSpi).set(field::code, 0);
  const std::string spi = box(c);
  EXPECT_EQ(spi,
            "* PROTOCOL: SPI                       *\n"
            "*  CODE    : ASCII                    *\n");
  expectLinesOf39(spi);
}

TEST(ConditionsBox, HdlcWithFrameFilter) {
  Conditions c;
  c.set(field::protocol, ProtocolHdlcFiltered).speeds(96000, 96000);
  c.set(field::code, 2).set(field::format, 2);
  c.filter(0, 0xF0, 0xA0).filter(1, 0x00, 0x00).filter(2, 0xFF, 0x03).filter(3, 0x0F, 0x05);
  const std::string text = box(c);
  EXPECT_EQ(text,
            "*  PROTOCOL: HDLC                     *\n"
            "*  S-SPEED : 9600    R-SPEED : 9600   *\n"
            "*  CODE    : EBCDIK  FORMAT  : FM0    *\n"
            "*  FRAME FILTER SD:1010**** ********  *\n"
            "*               RD:00000011 ****0101  *\n");
  expectLinesOf39(text);
}

TEST(ConditionsBox, ProtocolsWithoutABoxWriteNothing) {
  Conditions c;
  for (int protocol : {7, 9, 11, -1}) {
    c.set(field::protocol, protocol);
    EXPECT_EQ(box(c), "") << protocol;
  }
}

// Values the analyzer never writes must not reach past a name table.
TEST(ConditionsBox, ValuesOutsideTheTablesShowAsNumbers) {
  Conditions c;
  c.set(field::protocol, ProtocolAsync).speeds(-5, 96000);
  c.set(field::code, 10).set(field::charBits, 4).set(field::parity, -1).set(field::stopBits, 2);
  c.set(field::checkKind, 7);
  EXPECT_EQ(box(c),
            "*  PROTOCOL: ASYNC                    *\n"
            "*  S-SPEED : --      R-SPEED : 9600   *\n"
            "*  CODE    : 10      CHAR BIT: 4      *\n"
            "*  PARITY  : -1      STOP BIT: 2      *\n"
            "*  BCC     : 7                        *\n");
  c.set(field::protocol, ProtocolHdlc).set(field::checkKind, 3).set(field::format, -128);
  c.set(field::clock, 4);
  EXPECT_EQ(box(c),
            "*  PROTOCOL: HDLC                     *\n"
            "*  S-SPEED : --      R-SPEED : 9600   *\n"
            "*  CODE    : 10      FCS     : 3      *\n"
            "*  FORMAT  : -128    CLOCK   : 4      *\n"
            "*  S-ADDR  : *       R-ADDR  : *      *\n");
}

TEST(BoxLines, PrintCodeAndClosingLine) {
  EXPECT_EQ(written([](PrintFile& out) { writePrintCode(out, -1); }),
            "*                 PRINT CODE : (HEX)  *\n");
  EXPECT_EQ(written([](PrintFile& out) { writePrintCode(out, 1); }),
            "*                 PRINT CODE : EBCDIC *\n");
  EXPECT_EQ(written([](PrintFile& out) { writePrintCode(out, 12); }),
            "*                 PRINT CODE : 12     *\n");
  EXPECT_EQ(written([](PrintFile& out) { writeBoxEnd(out); }),
            "*=====================================*\n");
}

}  // namespace
}  // namespace qv
