// The shared test helpers: report masking and temporary files.
#include "test_support.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

TEST(TestSupport, MaskTopLineReplacesOnlyTheDatedTopLine) {
  EXPECT_EQ(maskTopLine("*=[KOVREN]======[2026-04-03 19:05:07]=*\nTITLE\n"),
            "*=[KOVREN]=[DATE-TIME]=*\nTITLE\n");
  EXPECT_EQ(maskTopLine("*=[KOVREN]=======[2026-04-03 9:05:07]=*\r\nX\r\n"),
            "*=[KOVREN]=[DATE-TIME]=*\r\nX\r\n");
  EXPECT_EQ(maskTopLine("*=[KOVREN]=[x]=*"), "*=[KOVREN]=[DATE-TIME]=*");
  EXPECT_EQ(maskTopLine("  SD 41\n*=[KOVREN]=[x]=*\n"), "  SD 41\n*=[KOVREN]=[x]=*\n");
  EXPECT_EQ(maskTopLine(""), "");
}

TEST(TestSupport, FilesRoundTripInAPerProcessDirectory) {
  const std::string path = tempPath("support_roundtrip.bin");
  EXPECT_NE(path.find("/tmp/"), std::string::npos);
  writeFile(path, {'a', 0, '\n', 0xFF});
  EXPECT_EQ(readFile(path), std::string("a\0\n\xFF", 4));
  EXPECT_EQ(readFile(tempPath("never_written")), "");
}

}  // namespace
}  // namespace qv::test
