#pragma once
// Small text helpers for comparing reports and console output, and for reading the
// tables of expected texts kept with the tests.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace qv::test {

// The program's greeting, written before the first question.
inline constexpr const char* kBanner = "===== QUORVIS Data File Converter =====\n Version 1.04\n\n";

// The report after the header box and its empty line ("<no header>" when there is none).
inline std::string bodyOf(const std::string& report) {
  static const std::string kBoxEnd = "*=====================================*\n\n";
  const size_t at = report.find(kBoxEnd);
  return at == std::string::npos ? "<no header>" : report.substr(at + kBoxEnd.size());
}

inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One row of a table kept with the tests: blank-separated fields, then the expected text
// between the first and the last bar ("|EQ|"); anything after the last bar is a comment.
struct TableRow {
  std::vector<std::string> fields;
  std::string text;
  std::string line;  // the whole row, for failure messages
};

// The rows of a table text; blank lines and lines starting with '#' are skipped.
inline std::vector<TableRow> tableRows(const std::string& table) {
  std::vector<TableRow> rows;
  for (const std::string& line : linesOf(table)) {
    const size_t first = line.find('|');
    const size_t last = line.rfind('|');
    if (line.empty() || line[0] == '#') continue;
    if (first == last) {
      ADD_FAILURE() << "table row without its |text|: " << line;
      continue;
    }
    TableRow row{{}, line.substr(first + 1, last - first - 1), line};
    std::istringstream fields(line.substr(0, first));
    for (std::string field; fields >> field;) row.fields.push_back(field);
    rows.push_back(row);
  }
  return rows;
}

// A character code by the name the report gives it ("EBCDIC"), or by its number.
inline int codeByName(const std::string& name) {
  constexpr const char* kNames[] = {"ASCII", "EBCDIC", "EBCDIK", "JIS7",  "JIS8",
                                    "HEX",   "EBCD",   "TRANSC", "IPARS", "BAUDOT"};
  for (int code = 0; code < 10; ++code)
    if (name == kNames[code]) return code;
  return std::stoi(name);
}

inline std::string repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

}  // namespace qv::test
