// The sample captures in samples/: each description builds the committed capture byte for
// byte, and each set of answers converts it into a report that holds a line worked out by
// hand from the conversion rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "capture_builder.h"
#include "session.h"
#include "test_support.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(QV_SOURCE_DIR) / "samples";

std::vector<uint8_t> bytesOf(const fs::path& path) {
  const std::string text = test::readFile(path.string());
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<fs::path> samplesWith(const std::string& extension) {
  std::vector<fs::path> paths;
  for (const fs::directory_entry& entry : fs::directory_iterator(kSamples))
    if (entry.path().extension() == extension) paths.push_back(entry.path());
  return paths;
}

// "ppp.dump.answers" converts samples/ppp.cap.
test::Conversion convertSample(const fs::path& answers) {
  const std::string stem = answers.stem().string();
  const fs::path capture = kSamples / (stem.substr(0, stem.find('.')) + ".cap");
  return test::convert(bytesOf(capture), test::readFile(answers.string()));
}

TEST(Samples, EveryDescriptionBuildsTheCommittedCapture) {
  const std::vector<fs::path> descriptions = samplesWith(".txt");
  ASSERT_GE(descriptions.size(), 15u);
  for (const fs::path& description : descriptions) {
    std::vector<uint8_t> image;
    std::string error;
    ASSERT_TRUE(build::buildFromText(test::readFile(description.string()), image, error))
        << description << ": " << error;
    fs::path capture = description;
    capture.replace_extension(".cap");
    EXPECT_EQ(image, bytesOf(capture)) << capture << " is stale; run tools/make_demo.sh --update";
  }
}

TEST(Samples, EveryAnswerSetCompletesAConversion) {
  const std::vector<fs::path> answerSets = samplesWith(".answers");
  ASSERT_GE(answerSets.size(), 18u);
  for (const fs::path& answers : answerSets) {
    const test::Conversion result = convertSample(answers);
    EXPECT_EQ(result.session.status, 0) << answers;
    EXPECT_NE(result.session.console.find("\nComplete.\n"), std::string::npos) << answers;
    EXPECT_NE(result.report.find("\n\n"), std::string::npos) << answers << " made no report body";
  }
}

TEST(Samples, ReportsHoldTheLinesWorkedOutByHand) {
  const std::string cdRow = "CD:" + std::string(41, '1') + std::string(15, '0');
  const struct {
    const char* answers;
    std::string line;
  } cases[] = {
      {"async_listing", "   [101530] A T ZCR[ 0120 ][101531]            [ 2500 ][101"},
      {"async_linestate", "            A T D T 5 5 5 1 2 3 4CR[ 0800 ]"},
      {"async_linestate", cdRow},
      {"async_dump", "SD:093000  P O L L   0 1CR"},
      {"async_dump", "*                 PRINT CODE : (HEX)  *"},
      {"async_bsc", "SD:EQ    SX -EX    DLSX -DLEX    [ IDLE ]ET"},
      {"async_bsc", "RD:  AK 0      AK 1          AK 0[ 0050 ]"},
      {"sync_bsc", "RD:  AK 0      AK 1       WAK[ 0200 ]  AK 0"},
      {"sdlc_inband", "SD:       C1 INFO   2  1  0   E D9C5D7E3"},
      {"sdlc_inband", "SD:       C1 INFO   2  1  0   A D9C5"},
      {"sdlc_stamped", "SD:123456 C1 INFO   1  1  1   G D6D2"},
      {"sdlc_stamped", "RD:140300 C1 RR        1  2  OE D6D2"},
      {"x25_mod128", "SD:        1   5 DT      0   0 100  G 48454C4C4F2C20"},
      {"x25_mod128", "RD:        1   5 RR          2      G"},
      {"x25_mod128", "SD:        [SABME ]                 G"},
      {"x25_mod128.frame", "SD:       01 INFO    1 0   1  G 2105000148454C4C4F2C20"},
      {"lapd_q931", "SD:       08 SETUP     0  01    G 04038090A318018370058135353531"},
      {"lapd_q931", "RD:       08 ALAERT    1  01    G"},
      {"lapd_q931.frame", "SD:        0  64 0 SABME     1      G"},
      {"hdlc_filter", "*  FRAME FILTER SD:11000001 *******0  *"},
      {"ppp", "SD:       LCP      CONF-REQ   1  G 000E010405DC050612345678"},
      {"ppp", "RD:       IP       (45)       0  G 001C567800004001A2E5C0A80102C0A801010000FFFF"},
      {"ppp", "SD:       LCP      TERM-REQ      A"},
      {"ppp.dump", "SD:        G FF0300214500001C1234000040017E3FC0A80101C0A801020800F7FF00000000"},
      {"ppp.dump", "SD:        A FF03C02105"},
      {"irda", "RD:       54 INFO  0  1  0  G C1020304"},
      {"irda", "SD:       55 INFO  1  1  1  G 0102030405060708090A"},
      {"i2c", "       A0a=>10a20a  A0a<=55a66a77n"},
      {"i2c", "       01a34a<=9AaBCn"},
      {"i2c", "       3Cn=>"},
      {"spi", "RD:       FFFFFFFF48656C6C6F"},
      {"spi", "SD:       030010000000000000"},
      {"burst", "   [080000]55AA0102030405060708[ 0500 ][080001]"},
  };
  for (const auto& c : cases) {
    const test::Conversion result = convertSample(kSamples / (std::string(c.answers) + ".answers"));
    EXPECT_NE(result.report.find("\n" + c.line + "\n"), std::string::npos)
        << c.answers << " lacks the line |" << c.line << "|\n" << result.report;
  }
}

}  // namespace
}  // namespace qv
