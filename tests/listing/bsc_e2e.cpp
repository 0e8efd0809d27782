// The BSC translation through the whole program: dialogue, dispatch and report.
#include <gtest/gtest.h>

#include <string>

#include "report_text.h"
#include "session.h"
#include "test_support.h"

namespace qv {
namespace {

const std::string kBscDialogue = std::string(test::kBanner) +
                                 "Data filename ? Save filename ? \n"
                                 "Print format (1:Normal, 2:Translate) ? "
                                 "Select data line (1:SD & RD, 2:SD, 3:RD) ? "
                                 "Skip IDLE/TMSP (1:No, 2:Yes) ? "
                                 "Skip guide (1:No, 2:Yes) ? "
                                 "Convert start.\n"
                                 "Complete.\n";

// SYNC EBCDIC polling with both directions and a transparent reply; then ASYNC without
// stamp flags, which translates BSC without asking, SD only with idle counts and time
// stamps skipped.
TEST(BscEndToEnd, WholeReports) {
  const struct {
    const char* name;  // the capture and the expected report share it
    const char* answers;
  } cases[] = {{"bsc_sync_ebcdic", "2\n1\n1\n1\n"}, {"bsc_async_ascii", "2\n2\n2\n1\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name = c.name;
    const test::Conversion result = test::convert(
        test::captureFromDescription("listing/captures/" + name + ".qvcap"), c.answers);
    EXPECT_EQ(result.session.status, 0);
    EXPECT_EQ(result.session.console, kBscDialogue);
    EXPECT_EQ(result.report, test::testData("listing/golden/" + name + ".txt"));
  }
}

}  // namespace
}  // namespace qv
