#include "report/header.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "capture/bytes.h"
#include "report/print_file.h"
#include "report/text_fields.h"
#include "report_text.h"
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
    value.image[static_cast<size_t>(offset)] = static_cast<uint8_t>(byte);
    return *this;
  }
  Conditions& speeds(int32_t send, int32_t receive) {
    writeLe32(&value.image[field::sendSpeed], static_cast<uint32_t>(send));
    writeLe32(&value.image[field::receiveSpeed], static_cast<uint32_t>(receive));
    return *this;
  }
  Conditions& filter(int index, uint8_t mask, uint8_t pattern) {
    const auto entry = static_cast<size_t>(field::frameFilters + 4 * index);
    value.image[entry] = mask;
    value.image[entry + 1] = pattern;
    return *this;
  }
};

TEST(FormatSpeed, FollowsTheRangesOfTheAnalyzer) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, "--"},
      {-1, "--"},
      {INT32_MIN, "--"},
      {750, "75"},
      {1345, "134.5"},
      {1, "0.1"},
      {99999, "9999.9"},
      {96000, "9600"},
      {100000, "10000"},
      {100005, "10000"},
      {999999, "99999"},
      {1000000, "100k"},
      {1150000, "115k"},
      {1152000, "115.2k"},
      {1152999, "115.2k"},
      {3000000, "300k"},
      {2304000, "230.4k"},
      {9999999, "999.9k"},
      {10000000, "1M"},
      {15000000, "1.5M"},
      {12340000, "1.234M"},
      {10200000, "1.02M"},
      {10010000, "1.001M"},
      {10009999, "1M"},
      {100000000, "10M"},
      {INT32_MAX, "214.748M"},
  };
  for (const auto& [speed, text] : cases) {
    char buf[16];
    EXPECT_STREQ(formatSpeed(buf, speed), text) << speed;
  }
}

TEST(Formatters, HexAddressAndFilter) {
  char buf[16];
  EXPECT_STREQ(hexDigits(buf, 2, 0x3), "03");
  EXPECT_STREQ(hexDigits(buf, 2, 0x1AB), "AB");  // the last digits
  EXPECT_STREQ(hexDigits(buf, 4, 0xBEEF), "BEEF");
  EXPECT_STREQ(hexDigits(buf, 8, 0xFFFFFFFFu), "FFFFFFFF");
  EXPECT_STREQ(hexDigits(buf, 10, 0x12345678u), "0012345678");
  EXPECT_STREQ(hexDigits(buf, 0, 0x12), "");

  EXPECT_STREQ(formatAddress(buf, 1, 0x03), "03");
  EXPECT_STREQ(formatAddress(buf, 1, 0xFF), "FF");
  EXPECT_STREQ(formatAddress(buf, 0, 0x03), "*");

  // One character per bit from the top: the pattern bit where the mask is set.
  EXPECT_STREQ(formatFilter(buf, {0xF0, 0xA0}), "1010****");
  EXPECT_STREQ(formatFilter(buf, {0x00, 0xFF}), "********");
  EXPECT_STREQ(formatFilter(buf, {0xFF, 0x01}), "00000001");
  EXPECT_STREQ(formatFilter(buf, {0x81, 0x0F}), "0******1");
}

// A one-digit hour leaves seven equal signs, a two-digit hour six.
TEST(HeaderLine, KeepsItsWidthWhateverTheHour) {
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
  when.tm_mon = 11;
  when.tm_mday = 16;
  when.tm_hour = 23;
  when.tm_min = 59;
  when.tm_sec = 0;
  EXPECT_EQ(written([&](PrintFile& out) { writeHeaderLine(out, when); }),
            "*=[KOVREN]======[2026-12-16 23:59:00]=*\n");

  const std::string now = written([](PrintFile& out) { writeHeaderLine(out); });
  ASSERT_EQ(now.size(), 40u);
  EXPECT_EQ(now.substr(0, 10), "*=[KOVREN]");
  EXPECT_EQ(now.substr(36), "]=*\n");
}

// One box per protocol family, then values the analyzer never writes: they must show as
// numbers, never reach past a name table. Each box follows its name in brackets.
TEST(ConditionsBox, EveryProtocolFamily) {
  Conditions async;
  async.set(field::protocol, ProtocolAsync).speeds(96000, 1152000);
  async.set(field::code, 0).set(field::charBits, 3).set(field::parity, 2).set(field::stopBits, 0);
  async.set(field::checkKind, 3);
  Conditions sync;
  sync.set(field::protocol, ProtocolSync).speeds(0, 1345);
  sync.set(field::code, 1).set(field::charBits, 0).set(field::parity, 5).set(field::clock, 2);
  sync.set(field::checkKind, 6).set(field::format, 1);
  Conditions hdlc;  // the SD address disabled
  hdlc.set(field::protocol, ProtocolHdlc).speeds(640000, 20480000);
  hdlc.set(field::code, 5).set(field::checkKind, 1).set(field::format, 3).set(field::clock, 3);
  hdlc.set(field::sendAddressEnabled, 0).set(field::sendAddress, 0x55);
  hdlc.set(field::receiveAddressEnabled, 1).set(field::receiveAddress, 3);
  Conditions ppp;
  ppp.set(field::protocol, ProtocolPpp).speeds(1152000, 1152000);
  ppp.set(field::code, 0).set(field::checkKind, 2);
  Conditions irda;  // the send speed only
  irda.set(field::protocol, ProtocolIrda).speeds(40000000, 96000).set(field::code, 4);
  Conditions i2c, burst, spi;
  i2c.set(field::protocol, ProtocolI2c).set(field::code, 9);
  burst.set(field::protocol, ProtocolBurst).set(field::code, 7);
  spi.set(field::protocol, ProtocolSpi).set(field::code, 0);
  Conditions filtered;
  filtered.set(field::protocol, ProtocolHdlcFiltered).speeds(96000, 96000);
  filtered.set(field::code, 2).set(field::format, 2);
  filtered.filter(0, 0xF0, 0xA0).filter(1, 0x00, 0x00).filter(2, 0xFF, 0x03).filter(3, 0x0F, 0x05);
  Conditions badAsync;
  badAsync.set(field::protocol, ProtocolAsync).speeds(-5, 96000);
  badAsync.set(field::code, 10)
      .set(field::charBits, 4)
      .set(field::parity, -1)
      .set(field::stopBits, 2);
  badAsync.set(field::checkKind, 7);
  Conditions badHdlc = badAsync;
  badHdlc.set(field::protocol, ProtocolHdlc).set(field::checkKind, 3).set(field::format, -128);
  badHdlc.set(field::clock, 4);
  const std::pair<const char*, Conditions> boxes[] = {
      {"async", async},
      {"sync", sync},
      {"hdlc", hdlc},
      {"ppp", ppp},
      {"irda", irda},
      {"i2c", i2c},
      {"burst", burst},
      {"spi", spi},
      {"hdlc-filter", filtered},
      {"async-unnamed-values", badAsync},
      {"hdlc-unnamed-values", badHdlc},
  };
  std::string all;
  for (const auto& [name, conditions] : boxes) {
    // Older compilers (clang before 16) cannot capture a structured binding.
    const MeasureConditions& value = conditions.value;
    const std::string box = written([&](PrintFile& out) { writeConditionsBox(out, value); });
    for (const std::string& line : test::linesOf(box))
      EXPECT_EQ(line.size(), 39u) << name << ": " << line;
    all += std::string("[") + name + "]\n" + box;
  }
  EXPECT_EQ(all, test::testData("report/golden/conditions_boxes.txt"));

  for (int protocol : {7, 9, 11, -1}) {
    Conditions other;
    other.set(field::protocol, protocol);
    EXPECT_EQ(written([&](PrintFile& out) { writeConditionsBox(out, other.value); }), "")
        << protocol;
  }
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
