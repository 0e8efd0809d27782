// The sample captures in samples/: each description builds the committed capture byte for
// byte, and each set of answers converts it into a report that holds the lines worked out
// by hand in tools/golden/sample_lines.txt.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "capture_builder.h"
#include "report_text.h"
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
  const auto rows = test::tableRows(test::testData("tools/golden/sample_lines.txt"));
  for (const test::TableRow& row : rows) {
    const test::Conversion result = convertSample(kSamples / (row.fields.at(0) + ".answers"));
    EXPECT_NE(result.report.find("\n" + row.text + "\n"), std::string::npos)
        << row.fields[0] << " lacks the line |" << row.text << "|\n"
        << result.report;
  }
  EXPECT_GE(rows.size(), 33u);
}

}  // namespace
}  // namespace qv
