// Whole reports of the Normal and Line state formats, through the operator dialogue.
#include <gtest/gtest.h>

#include <string>

#include "session.h"
#include "test_support.h"

namespace qv {
namespace {

struct ReportCase {
  const char* capture;  // listing/captures/<name>.qvcap
  const char* answers;  // after the two file names
  const char* golden;   // listing/golden/<name>.txt
};

// Every data line and code display of the Normal format, three Line state selections,
// a bare listing without idle counts, stamps and guide, and BURST (no format question).
TEST(ListingReport, WholeReportsForEachAnswerSet) {
  const ReportCase cases[] = {
      {"async_every_record", "1\n1\n1\n1\n1\n", "async_normal_both_char_hex"},
      {"async_every_record", "1\n1\n2\n1\n1\n", "async_normal_both_char"},
      {"async_every_record", "1\n1\n3\n1\n1\n", "async_normal_both_hex"},
      {"async_every_record", "1\n2\n1\n1\n1\n", "async_normal_sd_char_hex"},
      {"async_every_record", "1\n2\n2\n1\n1\n", "async_normal_sd_char"},
      {"async_every_record", "1\n2\n3\n1\n1\n", "async_normal_sd_hex"},
      {"async_every_record", "1\n3\n1\n1\n1\n", "async_normal_rd_char_hex"},
      {"async_every_record", "1\n3\n2\n1\n1\n", "async_normal_rd_char"},
      {"async_every_record", "1\n3\n3\n1\n1\n", "async_normal_rd_hex"},
      {"async_every_record", "2\n1\n10\n1\n1\n1\n", "async_linestate_both_cs_rs"},
      {"async_every_record", "2\n2\n2\n2\n1\n1\n", "async_linestate_sd_dr"},
      {"async_every_record", "2\n3\n1\n3\n1\n1\n", "async_linestate_rd_cs"},
      {"async_every_record", "1\n1\n2\n2\n2\n", "async_bare"},
      {"burst_mp_parity", "1\n1\n1\n1\n", "burst_mp_parity"},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.golden);
    const test::Conversion conversion = test::convert(
        test::captureFromDescription(std::string("listing/captures/") + c.capture + ".qvcap"),
        c.answers);
    EXPECT_EQ(conversion.session.status, 0);
    EXPECT_NE(conversion.session.console.find("Convert start.\nComplete.\n"), std::string::npos)
        << conversion.session.console;
    EXPECT_EQ(conversion.report,
              test::testData(std::string("listing/golden/") + c.golden + ".txt"));
  }
}

}  // namespace
}  // namespace qv
