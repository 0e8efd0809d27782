// IrLAP, I2C and SPI lines, byte for byte.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "frames/hdlc_translators.h"
#include "frames/i2c_translator.h"
#include "frames/irlap_translator.h"
#include "frames/spi_translator.h"
#include "line_test_support.h"

namespace qv::test {
namespace {

// ---- IrLAP ----

class IrlapLines : public ::testing::Test {
 protected:
  std::string line(int direction, std::initializer_list<uint8_t> bytes,
                   FrameEndStatus endStatus = FrameEndStatus::FcsGood) {
    return lineOf(irlap, makeFrame(direction, bytes, endStatus));
  }
  IrlapTranslator irlap;
};

TEST_F(IrlapLines, WorkedExamplesAndSupervisoryFrames) {
  EXPECT_EQ(line(DirectionSd, {0xFF, 0x93}), "SD:       FF SNRM     1     G");
  EXPECT_EQ(line(DirectionSd, {0x01, 0x74, 0xAA, 0xBB}), "SD:       01 INFO  3  1  2  G AABB");
  EXPECT_EQ(line(DirectionRd, {0xFE, 0x73}), "RD:       FE UA       1     G");
  EXPECT_EQ(line(DirectionRd, {0xFE, 0xE3, 0x10, 0x20, 0x30}),
            "RD:       FE TEST     0     G 102030");
  // SREJ with N(R) 5 and P/F 1; S frames carry no N(S).
  EXPECT_EQ(line(DirectionRd, {0x02, 0xBD}), "RD:       02 SREJ  5  1     G");
  EXPECT_EQ(line(DirectionRd, {0x02, 0x05}, FrameEndStatus::FcsError),
            "RD:       02 RNR   0  0     E");
}

TEST_F(IrlapLines, NamesFollowTheCrBitNotTheDirection) {
  // 0x83 is SNRM as a command and RNRM as a response, whichever way it travels.
  EXPECT_EQ(line(DirectionRd, {0x03, 0x83}), "RD:       03 SNRM     0     G");
  EXPECT_EQ(line(DirectionSd, {0x02, 0x83}), "SD:       02 RNRM     0     G");
  EXPECT_EQ(line(DirectionSd, {0x03, 0x43}), "SD:       03 DISC     0     G");
  EXPECT_EQ(line(DirectionSd, {0x02, 0x43}), "SD:       02 RD       0     G");
  // XID has a command form (0x2F) and a response form (0xAF) with different modifiers.
  EXPECT_EQ(line(DirectionSd, {0x03, 0x2F}), "SD:       03 XID      0     G");
  EXPECT_EQ(line(DirectionSd, {0x02, 0xBF}), "SD:       02 XID      1     G");
  EXPECT_EQ(line(DirectionSd, {0x03, 0xAF}), "SD:       03 (AF)     0     G");
  EXPECT_EQ(line(DirectionSd, {0x02, 0x2F}), "SD:       02 (2F)     0     G");
}

TEST_F(IrlapLines, ShortAndLongFrames) {
  EXPECT_EQ(line(DirectionSd, {0xFF}), "SD:       FF" + blanks(16) + "G");
  EXPECT_EQ(line(DirectionSd, {}), "SD:" + blanks(25) + "G");
  Frame negative = makeFrame(DirectionSd, {0xFF, 0x93});
  negative.count = -2;  // a check length longer than the frame
  EXPECT_EQ(lineOf(irlap, negative), "SD:" + blanks(25) + "G");
  // The information is cut to the line width.
  const Frame frame = makeFrame(DirectionSd, {0x01, 0x74, 1, 2, 3, 4, 5, 6});
  EXPECT_EQ(lineOf(irlap, frame, 39), "SD:       01 INFO  3  1  2  G 01020304");
  EXPECT_EQ(lineOf(irlap, frame), "SD:       01 INFO  3  1  2  G 010203040506");
}

TEST_F(IrlapLines, ColumnHeads) {
  const std::string head = "-----TM---AD-TYPE-NR-PF-NS-FC-";
  EXPECT_EQ(columnHeadOf(irlap, 79), head + dashes(21) + "IFIELD" + dashes(21));
  EXPECT_EQ(columnHeadOf(irlap, 39), head + "-IFIELD-");
}

// ---- I2C ----

constexpr uint16_t ack(uint8_t b) { return static_cast<uint16_t>(b << 8 | 8); }
constexpr uint16_t nack(uint8_t b) { return static_cast<uint16_t>(b << 8 | 9); }
constexpr uint16_t kRestart = 0x0104;  // repeated start, as the assembler stores it

Frame i2cFrame(std::initializer_list<uint16_t> cells) { return frameOfCells(DirectionSd, cells); }

class I2cLines : public ::testing::Test {
 protected:
  // The transaction text after the blank time column and its blank.
  std::string text(std::initializer_list<uint16_t> cells, int width = 79) {
    const std::string line = lineOf(i2c, i2cFrame(cells), width);
    if (line.empty()) return line;
    EXPECT_EQ(line.substr(0, 7), "       ");
    return line.substr(7);
  }
  I2cTranslator i2c;
};

TEST_F(I2cLines, SevenBitAddresses) {
  EXPECT_EQ(
      lineOf(i2c, i2cFrame({ack(0xA0), ack(0x10), ack(0x20), kRestart, ack(0xA1), nack(0x55)})),
      "       A0a=>10a20a  A0a<=55n");
  EXPECT_EQ(text({nack(0x51)}), "50n<=");
  EXPECT_EQ(text({ack(0x00), ack(0x06)}), "00a06a");  // general call: shown as data
  EXPECT_EQ(text({ack(0xF9), ack(0x0F)}), "F9a0Fa");  // reserved range 0xF8-0xFF
  // A repeated start before any address is ignored; one after data separates transfers.
  EXPECT_EQ(text({kRestart, ack(0x90), ack(0x01), kRestart, kRestart, ack(0x91), nack(0x02)}),
            "90a=>01a  90a<=02n");
}

TEST_F(I2cLines, TenBitAddresses) {
  EXPECT_EQ(text({ack(0xF2), ack(0x34), ack(0x56)}), "01a34a=>56a");
  EXPECT_EQ(text({ack(0xF6), nack(0x34)}), "03a34n=>");
  EXPECT_EQ(text({ack(0xF2), ack(0x34), kRestart}), "01a34a=>");
  // A combined write and read: the read prefix repeats the held address.
  EXPECT_EQ(text({ack(0xF2), ack(0x34), kRestart, ack(0xF3), ack(0x77), nack(0x78)}),
            "01a34a<=77a78n");
  // The held address outlives a write transfer with data.
  EXPECT_EQ(text({ack(0xF2), ack(0x34), ack(0x56), kRestart, ack(0xF3), nack(0x77)}),
            "01a34a=>56a  01a34a<=77n");
  // A write prefix alone, or followed by a repeated start, was a 7-bit transfer of its own.
  EXPECT_EQ(text({ack(0xF2)}), "F2a=>");
  EXPECT_EQ(text({ack(0xF2), kRestart}), "F2a=>");
  EXPECT_EQ(text({ack(0xF2), kRestart, ack(0xA1), ack(0x33)}), "F2a=>  A0a<=33a");
}

TEST_F(I2cLines, HeldTenBitAddressBeforeAnotherAddress) {
  // Another 10-bit prefix writes the held address first.
  EXPECT_EQ(text({ack(0xF2), ack(0x34), kRestart, ack(0xF4), ack(0x56)}), "01a34a=>  02a56a=>");
  EXPECT_EQ(text({ack(0xF2), ack(0x34), kRestart, ack(0xF5), ack(0x66)}), "01a34a=>  F4a<=66a");
  // A 7-bit address or a reserved byte does not.
  EXPECT_EQ(text({ack(0xF2), ack(0x34), kRestart, ack(0xA0), ack(0x11)}), "A0a=>11a");
  EXPECT_EQ(text({ack(0xF2), ack(0x34), kRestart, ack(0x00), ack(0x11)}), "00a11a");
}

TEST_F(I2cLines, ItemsThatDoNotFitEndTheLine) {
  // Width 39 leaves 32 characters: an address and nine data items fill them exactly.
  EXPECT_EQ(text({ack(0xA0), ack(1), ack(2), ack(3), ack(4), ack(5), ack(6), ack(7), ack(8), ack(9),
                  ack(10), ack(11)},
                 39),
            "A0a=>01a02a03a04a05a06a07a08a09a");
  // 29 characters, a separator (31), then an address of 5 that does not fit: nothing
  // after it is written, not even the smaller data item.
  EXPECT_EQ(text({ack(0xA0), ack(1), ack(2), ack(3), ack(4), ack(5), ack(6), ack(7), ack(8),
                  kRestart, ack(0xA1), ack(9)},
                 39),
            "A0a=>01a02a03a04a05a06a07a08a");
  // Width 16 leaves 9: room for a held 10-bit address (8) but not for the address
  // and the separator that another 10-bit prefix needs before it (10).
  EXPECT_EQ(text({ack(0xF2), ack(0x34), kRestart}, 16), "01a34a=>");
  EXPECT_EQ(text({ack(0xF2), ack(0x34), kRestart, ack(0xF4), ack(0x56)}, 16), "");
}

TEST_F(I2cLines, TimeColumnEmptyFrameAndColumnHeads) {
  Frame frame = i2cFrame({ack(0xA0)});
  frame.stampWord = 0x38220C04;
  EXPECT_EQ(lineOf(i2c, frame), "123456 A0a=>");
  EXPECT_EQ(lineOf(i2c, i2cFrame({})), "");
  EXPECT_EQ(columnHeadOf(i2c, 79), "--TM---" + dashes(30) + "ADDRESS/DATA" + dashes(30));
  EXPECT_EQ(columnHeadOf(i2c, 39), "--TM---" + dashes(10) + "ADDRESS/DATA" + dashes(10));
}

// ---- SPI ----

TEST(SpiLines, DumpLineAndColumnHead) {
  SpiDumpTranslator spi;
  EXPECT_EQ(lineOf(spi, makeFrame(DirectionSd, {0x9F, 0x00, 0xEF, 0x40, 0x18})),
            "SD:       9F00EF4018");
  // No FC column, whatever the ending.
  EXPECT_EQ(lineOf(spi, makeFrame(DirectionRd, {0x01}, FrameEndStatus::EndOE)), "RD:       01");
  Frame frame = makeFrame(DirectionSd, {});
  for (int i = 0; i < 20; ++i) frame.cells[frame.count++] = static_cast<uint16_t>(i << 8 | 10);
  EXPECT_EQ(lineOf(spi, frame, 39), "SD:       000102030405060708090A0B0C0D");
  EXPECT_EQ(columnHeadOf(spi, 79), "-----TM---" + dashes(32) + "DATA" + dashes(32));
  EXPECT_EQ(columnHeadOf(spi, 39), "-----TM---" + dashes(12) + "DATA" + dashes(12));
}

}  // namespace
}  // namespace qv::test
