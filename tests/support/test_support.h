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
// Replaces the date and time in a report's top line by "<time>", so that whole reports
// can be compared with expected text.
std::string maskTopLine(const std::string& report);

}  // namespace qv::test
