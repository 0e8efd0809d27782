#include "report/print_file.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <ostream>

namespace qv {

namespace {

// Blocks of half a megabyte keep the listing fast: a report of a hundred megabytes costs
// the system two hundred writes rather than thousands, and the block the system copies
// from is still in the processor's cache (a megabyte measured slower, a quarter no
// faster). Blocks go out whole while more is pending, so that each write covers whole
// pages of the file and the system never comes back to a page it has already filled. The
// stream itself is left unbuffered so that a failing device shows up on the block write
// that hit it rather than somewhere inside the C library.
constexpr size_t kBlockSize = PrintFile::kBlockSize;
static_assert(PrintFile::kMaxReserve <= kBlockSize);
// Room for a whole block and the largest reserve past it.
constexpr size_t kBufferSize = kBlockSize + PrintFile::kMaxReserve;

constexpr int kLinesPerPage = 66;
constexpr int kPageBreakLines = 6;
constexpr int kFormFeed = 12;

// The first `ch` in [from, to), or `to`.
const char* find(const char* from, const char* to, int ch) {
  const void* found = std::memchr(from, ch, static_cast<size_t>(to - from));
  return found != nullptr ? static_cast<const char*>(found) : to;
}

}  // namespace

PrintFile::PrintFile(std::ostream& console)
    : console_(console), pending_(std::make_unique_for_overwrite<char[]>(kBufferSize)) {}

PrintFile::~PrintFile() { close(); }

int PrintFile::open() {
  // A report left open by an earlier run must not leak its stream.
  if (stream_ != nullptr) close();
  failed_ = 1;
  lineOnPage_ = 0;
  pageCount_ = 0;
  pendingSize_ = 0;
  failureReported_ = false;
  stream_ = directStream_ != nullptr ? directStream_ : output_.open(savePath_);
  if (stream_ == nullptr) {
    failureReported_ = true;
    console_ << "Can't create print data file.\n";
    console_.flush();
    return 0;
  }
  // The writer keeps its own buffer; a stream given by the caller keeps the buffering its
  // kind needs (a memory stream cannot run unbuffered).
  if (directStream_ == nullptr || directStream_ == stdout)
    std::setvbuf(stream_, nullptr, _IONBF, 0);
  failed_ = 0;
  return 1;
}

int PrintFile::close() {
  if (stream_ == nullptr) return 0;
  // While the file is open, failed_ is set only by a write that did not go through.
  const bool flushed = flushBuffer() && !failed_;
  std::FILE* const stream = stream_;
  stream_ = nullptr;
  int result = 0;
  if (directStream_ != nullptr) {
    // A stream given to the writer stays open for its owner; only its data must arrive.
    result = std::fflush(stream) == 0 && flushed ? 0 : EOF;
  } else {
    result = flushed && output_.commit() ? 0 : EOF;
    if (!flushed) output_.discard();
  }
  if (result != 0) reportWriteFailure();
  // Nothing is open for writing any more: later writes must be no-ops.
  failed_ = 1;
  return result;
}

int PrintFile::abandon(const char* reason) {
  if (stream_ == nullptr) return 0;
  std::FILE* const stream = stream_;
  stream_ = nullptr;
  pendingSize_ = 0;
  if (directStream_ != nullptr) {
    std::fflush(stream);
  } else {
    output_.discard();
  }
  if (!failureReported_) {
    console_ << reason << '\n';
    console_.flush();
  }
  failureReported_ = true;
  failed_ = 1;
  return EOF;
}

void PrintFile::putChar(int ch) {
  if (failed_) return;
  if (ch == '\n') {
    newLine();
  } else if (ch == kFormFeed) {
    newPage();
  } else {
    writeByte(static_cast<char>(ch));
  }
}

void PrintFile::putString(const char* text) {
  // Runs of ordinary characters go into the block in one piece; only newlines and form
  // feeds need the counting of putChar. The library's scans find both kinds of stop.
  const char* const end = text + std::strlen(text);
  const char* formFeed = find(text, end, kFormFeed);
  while (text < end && !failed_) {
    if (formFeed < text) formFeed = find(text, end, kFormFeed);
    const char* stop = find(text, formFeed, '\n');
    if (stop != text) writeRun(text, static_cast<size_t>(stop - text));
    if (stop == end || failed_) break;
    putChar(static_cast<unsigned char>(*stop));
    text = stop + 1;
  }
}

int PrintFile::print(const char* format, ...) {
  char buf[256];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  if (length < 0) return 0;
  putString(buf);
  // Text past the buffer was cut off; report what was actually written.
  return length < static_cast<int>(sizeof buf) ? length : static_cast<int>(sizeof buf) - 1;
}

char* PrintFile::reserve(size_t length) {
  if (failed_) return nullptr;
  if (pendingSize_ + length > kBufferSize && !flushWholeBlocks()) return nullptr;
  return &pending_[pendingSize_];
}

void PrintFile::commitLines(const char* end, int lineCount) {
  pendingSize_ = static_cast<size_t>(end - pending_.get());
  countLines(lineCount);
}

void PrintFile::newLine() {
  if (!failed_) writeByte('\n');
  if (++lineOnPage_ >= kLinesPerPage) {
    lineOnPage_ = 0;
    ++pageCount_;
  }
}

void PrintFile::countLines(int lineCount) {
  lineOnPage_ += lineCount;
  pageCount_ += lineOnPage_ / kLinesPerPage;
  lineOnPage_ %= kLinesPerPage;
}

int64_t PrintFile::linesBeforePage(int32_t pageLimit) const {
  const int64_t pagesLeft = int64_t{pageLimit} - pageCount_;
  return pagesLeft <= 0 ? 0 : pagesLeft * kLinesPerPage - lineOnPage_;
}

void PrintFile::newPage() {
  if (!failed_) {
    for (int i = 0; i < kPageBreakLines; ++i) writeByte('\n');
  }
  lineOnPage_ = 0;
  ++pageCount_;
}

void PrintFile::resetCounters() {
  lineOnPage_ = 0;
  pageCount_ = 0;
}

// A run longer than the buffer's room goes through it in pieces, so that even then the
// stream gets whole blocks.
void PrintFile::writeRun(const char* text, size_t length) {
  while (length > 0 && !failed_) {
    if (pendingSize_ >= kBlockSize && !flushWholeBlocks()) return;
    const size_t piece = std::min(length, kBufferSize - pendingSize_);
    std::memcpy(&pending_[pendingSize_], text, piece);
    pendingSize_ += piece;
    text += piece;
    length -= piece;
  }
}

void PrintFile::writeByte(char ch) {
  if (pendingSize_ >= kBufferSize && !flushWholeBlocks()) return;
  pending_[pendingSize_++] = ch;
}

bool PrintFile::flushBuffer() {
  const size_t size = pendingSize_;
  pendingSize_ = 0;
  if (stream_ == nullptr) return false;
  return size == 0 || send(pending_.get(), size);
}

bool PrintFile::flushWholeBlocks() {
  size_t sent = 0;
  for (; pendingSize_ - sent >= kBlockSize; sent += kBlockSize) {
    if (stream_ == nullptr || !send(&pending_[sent], kBlockSize)) {
      pendingSize_ = 0;
      return false;
    }
  }
  pendingSize_ -= sent;
  std::memmove(pending_.get(), &pending_[sent], pendingSize_);
  return true;
}

bool PrintFile::send(const char* bytes, size_t length) {
  const bool complete = std::fwrite(bytes, 1, length, stream_) == length;
  if (!complete) reportWriteFailure();
  return complete;
}

void PrintFile::reportWriteFailure() {
  if (failed_) return;
  failed_ = 1;
  failureReported_ = true;
  console_ << "Can't write print data file.\n";
  console_.flush();
}

}  // namespace qv
