#include "capture/capture_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <ostream>
#include <utility>

namespace qv {

namespace {

constexpr uint8_t kMagic[16] = {'Q', 'U', 'O', 'R', 'V', 'I', 'S', ' ',
                                'D', 'A', 'T', 'A', ' ', ' ', ' ', 0};
constexpr uint8_t kTagDinf[4] = {'D', 'I', 'N', 'F'};
constexpr uint8_t kTagMond[4] = {'M', 'O', 'N', 'D'};
constexpr int32_t kChunkHeadSize = 8;
constexpr uint32_t kWordSize = 4;

// A single read request stays well below what the kernel hands over in one go.
constexpr size_t kReadRequest = size_t{1} << 30;
// Growth step of a capture read from a stream of unknown length.
constexpr size_t kStreamStep = size_t{1} << 20;

bool tagIs(const uint8_t* tag, const uint8_t (&expected)[4]) {
  return std::memcmp(tag, expected, 4) == 0;
}

class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  ~Descriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return descriptor_; }

 private:
  int descriptor_;
};

// Without O_NONBLOCK a FIFO with no writer would keep the open waiting forever.
int openForReading(const std::string& name) {
  if (name.find('\0') != std::string::npos) return -1;
  return ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

// Only a regular file has a length to read: directories, pipes and devices do not.
bool regularFileLength(int descriptor, long long& length) {
  struct stat status {};
  if (descriptor < 0 || fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return false;
  length = status.st_size;
  return true;
}

// Reads until count bytes arrived, the input ended or failed; returns how many arrived.
size_t readUpTo(int descriptor, uint8_t* data, size_t count, bool& failed) {
  size_t done = 0;
  failed = false;
  while (done < count) {
    const ssize_t got = ::read(descriptor, data + done, std::min(count - done, kReadRequest));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failed = true;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

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

// Allocates the capture buffer; false when memory is short.
// A buffer allocated whole, at its final size, is advised to take large pages; one that
// grows step by step keeps the vector's own growth.
bool allocate(CaptureBuffer& buffer, size_t length, bool whole = false) {
  try {
    if (whole) {
      buffer.reserve(length);
      adviseLargePages(buffer.data(), length);
    }
    buffer.resize(length);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

void writeLine(std::ostream& console, const char* text) { console << text << '\n' << std::flush; }

}  // namespace

CaptureFile::CaptureFile() { resetConditions(conditions_); }

bool CaptureFile::startsWithMagic(const uint8_t* head, size_t length) {
  return length >= sizeof kMagic && std::memcmp(head, kMagic, sizeof kMagic) == 0;
}

int CaptureFile::loadCaptureFile(const std::string& name, std::ostream& console,
                                 const LoadOptions& options) {
  cutShort_ = CutShort{};
  loadedFromFile_ = false;
  const Descriptor file(openForReading(name));
  long long length = 0;
  if (!regularFileLength(file.get(), length)) {
    writeLine(console, "Can't open data file.");
    return 0;
  }
  // The magic is checked before the buffer is allocated: a large file that is not a
  // capture is refused without reading it.
  uint8_t head[sizeof kMagic];
  bool failed = false;
  const size_t headLength = static_cast<size_t>(std::min<long long>(length, sizeof head));
  if (readUpTo(file.get(), head, headLength, failed) != headLength) {
    writeLine(console, "Data file read error.");
    return 0;
  }
  if (static_cast<size_t>(length) > kLargestCaptureImage || !startsWithMagic(head, headLength)) {
    writeLine(console, "Data file error.");
    return 0;
  }
  releaseImage();
  // A file is read in place where the system can map it; tests that stand in a reader
  // for read(2) take the buffer.
  if (fileReader_ == nullptr && mapping_.map(file.get(), static_cast<size_t>(length))) {
    rememberSourceFile(file.get());
    return finishLoad(console, options, mapping_.data(), mapping_.size());
  }
  if (!allocate(buffer_, static_cast<size_t>(length), true)) {
    writeLine(console, "Not enough memory.");
    return 0;
  }
  std::memcpy(buffer_.data(), head, sizeof head);
  const size_t rest = buffer_.size() - sizeof head;
  const size_t got = fileReader_ != nullptr
                         ? fileReader_(file.get(), buffer_.data() + sizeof head, rest)
                         : readUpTo(file.get(), buffer_.data() + sizeof head, rest, failed);
  if (got != rest) {
    writeLine(console, "Data file read error.");
    return 0;
  }
  rememberSourceFile(file.get());
  return finishLoad(console, options, buffer_.data(), buffer_.size());
}

int CaptureFile::loadCaptureStream(int descriptor, std::ostream& console,
                                   const LoadOptions& options) {
  cutShort_ = CutShort{};
  loadedFromFile_ = false;
  releaseImage();
  bool failed = false;
  size_t length = 0;
  for (;;) {
    // One byte beyond the limit tells a stream that is too long from one that fits.
    const size_t want = std::min(kStreamStep, kLargestCaptureImage + 1 - length);
    if (!allocate(buffer_, length + want)) {
      writeLine(console, "Not enough memory.");
      return 0;
    }
    // The first request is the magic alone, so that a stream that is not a capture is
    // refused before anything more is read.
    const size_t request = length == 0 ? sizeof kMagic : want;
    const size_t got = readUpTo(descriptor, buffer_.data() + length, request, failed);
    length += got;
    if (failed) {
      writeLine(console, "Data file read error.");
      return 0;
    }
    if (length >= sizeof kMagic && !startsWithMagic(buffer_.data(), length)) break;
    if (got < request || length > kLargestCaptureImage) break;
  }
  if (length > kLargestCaptureImage || !startsWithMagic(buffer_.data(), length)) {
    writeLine(console, "Data file error.");
    return 0;
  }
  buffer_.resize(length);
  buffer_.shrink_to_fit();
  rememberSourceFile(descriptor);
  return finishLoad(console, options, buffer_.data(), buffer_.size());
}

int CaptureFile::finishLoad(std::ostream& console, const LoadOptions& options, const uint8_t* bytes,
                            size_t length) {
  if (!parseCaptureImage(bytes, static_cast<int32_t>(length), options)) {
    writeLine(console, "Data file error.");
    return 0;
  }
  return 1;
}

void CaptureFile::rememberSourceFile(int descriptor) {
  struct stat status {};
  if (fstat(descriptor, &status) != 0) return;
  loadedFromFile_ = true;
  loadedDevice_ = status.st_dev;
  loadedInode_ = status.st_ino;
}

bool CaptureFile::isSameFile(const std::string& path) const {
  struct stat status {};
  if (!loadedFromFile_ || path.find('\0') != std::string::npos) return false;
  if (::stat(path.c_str(), &status) != 0) return false;
  return status.st_dev == loadedDevice_ && status.st_ino == loadedInode_;
}

std::string CaptureFile::cutShortMessage() const {
  return "cut short: " + std::to_string(cutShort_.monitorPresent) + " of " +
         std::to_string(cutShort_.monitorDeclared) + " bytes of monitor data present";
}

int CaptureFile::loadImage(const std::vector<uint8_t>& bytes, const LoadOptions& options) {
  return loadImage(CaptureBuffer(bytes.begin(), bytes.end()), options);
}

int CaptureFile::loadImage(CaptureBuffer bytes, const LoadOptions& options) {
  loadedFromFile_ = false;
  if (bytes.size() > kLargestCaptureImage) return 0;
  mapping_.unmap();
  buffer_ = std::move(bytes);
  return parseCaptureImage(buffer_.data(), static_cast<int32_t>(buffer_.size()), options);
}

int CaptureFile::parseCaptureImage(const uint8_t* bytes, int32_t length,
                                   const LoadOptions& options) {
  resetConditions(conditions_);
  chunkStart_ = nullptr;
  chunkEnd_ = nullptr;
  cutShort_ = CutShort{};
  if (bytes == nullptr || length < 0 || !startsWithMagic(bytes, static_cast<size_t>(length)))
    return 0;

  // Every MOND chunk replaces the ring of an earlier one; the start cursor is built from
  // the conditions decoded so far. Only whole words belong to the ring.
  uint32_t monitorDeclared = 0;
  const auto takeMonitorChunk = [&](const uint8_t* data, uint32_t chunkLength) {
    chunkStart_ = data;
    chunkEnd_ = data + kWordSize * (chunkLength / kWordSize);
    conditions_.byteLength = chunkLength;
    conditions_.startPosition = chunkStart_;
    conditions_.endPosition = chunkStart_;
    seek(0);
    conditions_.savedStartCursor = conditions_.startCursor;
    monitorDeclared = chunkLength;
  };

  const uint8_t* position = bytes + sizeof kMagic;
  uint32_t remaining = static_cast<uint32_t>(length) - static_cast<uint32_t>(sizeof kMagic);
  while (remaining >= kChunkHeadSize) {
    const uint8_t* tag = position;
    const uint32_t chunkLength = readLe32(position + 4);
    position += kChunkHeadSize;
    remaining -= kChunkHeadSize;
    if (chunkLength > remaining) {
      // The file ends inside this chunk: it was cut short, or its head is corrupt.
      const bool monitorCut = tagIs(tag, kTagMond);
      if (!monitorCut && chunkStart_ == nullptr) return 0;
      cutShort_.found = true;
      cutShort_.monitorPresent = monitorCut ? remaining : conditions_.byteLength;
      cutShort_.monitorDeclared = monitorCut ? chunkLength : monitorDeclared;
      if (!options.salvage) return 0;
      if (monitorCut) {
        takeMonitorChunk(position, kWordSize * (remaining / kWordSize));
      } else if (tagIs(tag, kTagDinf)) {
        decodeConditions(conditions_, position, remaining);
      }
      return 1;
    }
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
  releaseImage();
}

void CaptureFile::releaseImage() {
  CaptureBuffer().swap(buffer_);
  mapping_.unmap();
}

}  // namespace qv
