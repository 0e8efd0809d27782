#include "test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "capture_builder.h"

namespace qv::test {

namespace {

// One directory per test process, so that parallel test runs never share files. A
// directory of the same name was left by an earlier process with the same process id
// that did not end normally, so it is emptied first: its files (a FIFO, say) would
// otherwise fail the tests that make them anew. The process removes its directory when
// it ends (a forked child, which shares the id's directory, does not).
class ProcessDirectory {
 public:
  ProcessDirectory()
      : owner_(::getpid()),
        path_(std::filesystem::path("/tmp") / ("qvconv-test-" + std::to_string(owner_))) {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    std::filesystem::create_directories(path_);
  }
  ProcessDirectory(const ProcessDirectory&) = delete;
  ProcessDirectory& operator=(const ProcessDirectory&) = delete;
  ~ProcessDirectory() {
    std::error_code ignored;
    if (::getpid() == owner_) std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  pid_t owner_;
  std::filesystem::path path_;
};

const std::filesystem::path& processDirectory() {
  static const ProcessDirectory directory;
  return directory.path();
}

}  // namespace

std::string tempPath(const std::string& name) { return (processDirectory() / name).string(); }

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::string maskTopLine(const std::string& report) {
  static const std::string kTopLineStart = "*=[KOVREN]";
  static const std::string kMaskedTopLine = "*=[KOVREN]=[DATE-TIME]=*";
  if (report.compare(0, kTopLineStart.size(), kTopLineStart) != 0) return report;
  size_t lineEnd = report.find('\n');
  if (lineEnd == std::string::npos) lineEnd = report.size();
  if (lineEnd > 0 && report[lineEnd - 1] == '\r') --lineEnd;
  return kMaskedTopLine + report.substr(lineEnd);
}

std::string testData(const std::string& relativePath) {
  const std::filesystem::path path = std::filesystem::path(QV_TESTS_DIR) / relativePath;
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "missing test data file " << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> captureFromDescription(const std::string& relativePath) {
  std::vector<uint8_t> image;
  std::string error;
  if (!build::buildFromText(testData(relativePath), image, error)) {
    ADD_FAILURE() << relativePath << ": " << error;
  }
  return image;
}

}  // namespace qv::test
