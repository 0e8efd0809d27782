#include "report/code_tables.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "report_text.h"
#include "test_support.h"

namespace qv {
namespace {

// "| \xB1|" gives " " followed by the byte B1.
std::string unescapeCell(const std::string& text) {
  std::string cell;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\x") == 0) {
      cell += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      cell += text[i];
    }
  }
  return cell;
}

// Every sample cell listed in report/golden/code_cells.txt.
TEST(CodeTables, SampleCellsOfEveryCode) {
  const auto rows = test::tableRows(test::testData("report/golden/code_cells.txt"));
  for (const test::TableRow& row : rows) {
    ASSERT_EQ(row.fields.size(), 3u) << row.line;
    const std::string& which = row.fields[2];
    ASSERT_TRUE(which == "primary" || which == "alternate") << row.line;
    const DisplayCell c = displayCell(test::codeByName(row.fields[0]),
                                      static_cast<uint8_t>(std::stoi(row.fields[1], nullptr, 16)),
                                      which == "alternate");
    EXPECT_EQ(std::string(c.begin(), c.end()), unescapeCell(row.text)) << row.line;
  }
  EXPECT_GT(rows.size(), 100u);
}

TEST(CodeTables, SelectorsShareTablesWhereACodeHasNoShift) {
  for (int code : {CodeAscii, CodeEbcdic, CodeEbcdik, CodeJis8, CodeTransc, CodeIpars}) {
    const CodeDisplay& display = codeDisplays[static_cast<size_t>(code)];
    EXPECT_EQ(display.primary, display.alternate) << code;
  }
  for (int code : {CodeJis7, CodeEbcd, CodeBaudot}) {
    const CodeDisplay& display = codeDisplays[static_cast<size_t>(code)];
    EXPECT_NE(display.primary, display.alternate) << code;
  }
}

TEST(CodeTables, EveryCellIsAMnemonicACharacterOrBlank) {
  for (int code = 0; code < 10; ++code) {
    if (code == CodeHex) continue;
    const CodeDisplay& display = codeDisplays[static_cast<size_t>(code)];
    for (const CodeTable* table : {display.primary, display.alternate}) {
      for (const DisplayCell& c : *table) {
        const bool mnemonic = std::isalnum(static_cast<unsigned char>(c[0])) &&
                              std::isalnum(static_cast<unsigned char>(c[1]));
        const bool character = c[0] == ' ';
        EXPECT_TRUE(mnemonic || character) << "code " << code;
      }
    }
  }
}

}  // namespace
}  // namespace qv
