#pragma once
// Helpers shared by the tests: temporary files and report text handling.
#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

// A fresh path in a per-process temporary directory.
std::string tempPath(const std::string& name);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
// Replaces a report's top line (the one that starts with "*=[KOVREN]" and carries the
// date and time) by "*=[KOVREN]=[DATE-TIME]=*", so that whole reports can be compared
// with expected text. Any other text is returned unchanged.
std::string maskTopLine(const std::string& report);

// A file kept with the tests (expected reports, capture descriptions), by its path
// relative to tests/. A missing file fails the calling test.
std::string testData(const std::string& relativePath);
// A capture built from a qvcap description kept with the tests (path relative to
// tests/). A description that does not parse fails the calling test.
std::vector<uint8_t> captureFromDescription(const std::string& relativePath);

}  // namespace qv::test
