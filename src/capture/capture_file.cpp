#include "capture/capture_file.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <ostream>

namespace qv {

namespace {

constexpr uint8_t kMagic[16] = {'Q', 'U', 'O', 'R', 'V', 'I', 'S', ' ', 'D', 'A', 'T', 'A', ' ', ' ', ' ', 0};
constexpr uint8_t kTagDinf[4] = {'D', 'I', 'N', 'F'};
constexpr uint8_t kTagMond[4] = {'M', 'O', 'N', 'D'};
constexpr int32_t kChunkHeadSize = 8;

// The whole image must be addressable with a signed 32-bit length.
constexpr long long kLargestImage = std::numeric_limits<int32_t>::max();

bool tagIs(const uint8_t* tag, const uint8_t (&expected)[4]) {
  return std::memcmp(tag, expected, 4) == 0;
}

class OpenFile {
 public:
  explicit OpenFile(const std::string& name) : file_(std::fopen(name.c_str(), "rb")) {}
  ~OpenFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  std::FILE* get() const { return file_; }

  // Only a regular file has a length to read: directories, pipes and devices do not.
  bool isRegular(long long& length) const {
    struct stat status {};
    if (file_ == nullptr || fstat(fileno(file_), &status) != 0) return false;
    if (!S_ISREG(status.st_mode)) return false;
    length = status.st_size;
    return true;
  }

 private:
  std::FILE* file_;
};

void writeLine(std::ostream& console, const char* text) { console << text << '\n'; }

// A capture of many megabytes is read into memory whole: asking for large pages lets the
// system map it with a few dozen faults instead of one per 4 KiB page. Only advice: a
// system without large pages maps it as before.
void adviseLargePages(const uint8_t* data, size_t length) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kLargePage = 2 * 1024 * 1024;
  const auto first = (reinterpret_cast<uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
  const auto last = (reinterpret_cast<uintptr_t>(data) + length) & ~(kLargePage - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)length;
#endif
}

}  // namespace

CaptureFile::CaptureFile() { resetConditions(conditions_); }

int CaptureFile::loadCaptureFile(const std::string& name, std::ostream& console) {
  OpenFile file(name);
  long long length = 0;
  if (name.find('\0') != std::string::npos || !file.isRegular(length)) {
    writeLine(console, "Can't open data file.");
    return 0;
  }
  if (length > kLargestImage) {
    writeLine(console, "Data file error.");
    return 0;
  }
  try {
    buffer_.clear();
    buffer_.reserve(static_cast<size_t>(length));
    adviseLargePages(buffer_.data(), static_cast<size_t>(length));
    buffer_.assign(static_cast<size_t>(length), 0);
  } catch (const std::bad_alloc&) {
    writeLine(console, "Not enough memory.");
    return 0;
  } catch (const std::length_error&) {
    writeLine(console, "Not enough memory.");
    return 0;
  }
  if (!buffer_.empty() &&
      std::fread(buffer_.data(), 1, buffer_.size(), file.get()) != buffer_.size()) {
    writeLine(console, "Data file read error.");
    return 0;
  }
  if (!parseCaptureImage(buffer_.data(), static_cast<int32_t>(buffer_.size()))) {
    writeLine(console, "Data file error.");
    return 0;
  }
  return 1;
}

int CaptureFile::loadImage(std::vector<uint8_t> bytes) {
  if (bytes.size() > static_cast<size_t>(kLargestImage)) return 0;
  buffer_ = std::move(bytes);
  return parseCaptureImage(buffer_.data(), static_cast<int32_t>(buffer_.size()));
}

int CaptureFile::parseCaptureImage(const uint8_t* bytes, int32_t length) {
  resetConditions(conditions_);
  chunkStart_ = nullptr;
  chunkEnd_ = nullptr;
  if (bytes == nullptr || length < static_cast<int32_t>(sizeof kMagic)) return 0;
  if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0) return 0;

  // Every MOND chunk replaces the ring of an earlier one; the start cursor is built from
  // the conditions decoded so far. Only whole words belong to the ring.
  const auto takeMonitorChunk = [this](const uint8_t* data, uint32_t chunkLength) {
    chunkStart_ = data;
    chunkEnd_ = data + 4 * (chunkLength / 4);
    conditions_.byteLength = chunkLength;
    conditions_.startPosition = chunkStart_;
    conditions_.endPosition = chunkStart_;
    seek(0);
    conditions_.savedStartCursor = conditions_.startCursor;
  };

  const uint8_t* position = bytes + sizeof kMagic;
  uint32_t remaining = static_cast<uint32_t>(length) - sizeof kMagic;
  while (remaining >= kChunkHeadSize) {
    const uint8_t* tag = position;
    const uint32_t chunkLength = readLe32(position + 4);
    position += kChunkHeadSize;
    remaining -= kChunkHeadSize;
    if (chunkLength > remaining) return 0;
    if (tagIs(tag, kTagMond)) {
      takeMonitorChunk(position, chunkLength);
    } else if (tagIs(tag, kTagDinf)) {
      decodeConditions(conditions_, position, chunkLength);
    }
    position += chunkLength;
    remaining -= chunkLength;
  }
  return chunkStart_ != nullptr ? 1 : 0;
}

void CaptureFile::freeBuffer() {
  chunkStart_ = nullptr;
  chunkEnd_ = nullptr;
  conditions_.byteLength = 0;
  conditions_.startPosition = nullptr;
  conditions_.endPosition = nullptr;
  conditions_.startCursor = RecordCursor{};
  conditions_.savedStartCursor = RecordCursor{};
  std::vector<uint8_t>().swap(buffer_);
}

}  // namespace qv
