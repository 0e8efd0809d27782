#pragma once
// The one report writer: writes characters, strings and formatted text to the report
// file, counts lines and 66-line pages, and turns a file that could not be created into
// silent no-ops. A write that fails later is told once on the console and sets the
// failed flag, so that the run stops at its next endLine.
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>

#include "report/report_output.h"

namespace qv {

class PrintFile {
 public:
  explicit PrintFile(std::ostream& console);
  ~PrintFile();
  PrintFile(const PrintFile&) = delete;
  PrintFile& operator=(const PrintFile&) = delete;

  // The report file name, kept by the dialogue.
  void setSavePath(std::string path) { savePath_ = std::move(path); }
  const std::string& savePath() const { return savePath_; }
  // Writes the report into a stream the caller owns instead of the save file (standard
  // output for the command line's "-o -", a memory stream); it is flushed, never closed,
  // at the end of a run.
  void useStream(std::FILE* stream) { directStream_ = stream; }

  // 1 on success; 0 after telling the console that the file cannot be created.
  int open();
  // 0 when the report was written whole and put in place, nonzero when data was lost (an
  // earlier report at the path is then kept), 0 when nothing is open. Afterwards every
  // write is a no-op until the next open.
  int close();
  // Ends the run without putting its report in place and tells the console why, once: an
  // earlier report at the path is kept. A report written to a stream the writer does not
  // own has partly gone out already; what is still held back is dropped. Returns nonzero
  // when a report was open.
  int abandon(const char* reason);
  // True when the report of the last open could not be created or written whole (the
  // console has been told).
  bool failureReported() const { return failureReported_; }
  void putChar(int ch);
  void putString(const char* text);
  // Formats into a 256-byte buffer (longer text is cut); returns the length written.
  int print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Bytes handed to the stream in one write; only the last write of a report is shorter.
  static constexpr size_t kBlockSize = 512 * 1024;
  // The largest reserve.
  static constexpr size_t kMaxReserve = 16 * 1024;
  // Room for up to `length` (at most kMaxReserve) bytes inside the writer's own buffer, so
  // that a listing formats a block of rows where they are sent from; nullptr once the
  // report has failed.
  char* reserve(size_t length);
  // Takes what was written into the reserved room up to `end`: whole lines, each ended by
  // a newline, counted as lineCount lines as newLine counts them. The bytes go out as they
  // are, so they must hold no form feed and no NUL.
  void commitLines(const char* end, int lineCount);
  void newLine();
  void newPage();
  void resetCounters();
  bool isFailed() const { return failed_ != 0; }
  bool isOpen() const { return stream_ != nullptr; }
  int pageCount() const { return pageCount_; }
  int lineOnPage() const { return lineOnPage_; }
  // How many more lines newLine can count before pageCount reaches pageLimit.
  int64_t linesBeforePage(int32_t pageLimit) const;

 private:
  void countLines(int lineCount);
  void writeByte(char ch);
  void writeRun(const char* text, size_t length);
  // Hands everything pending to the stream.
  bool flushBuffer();
  // Hands the pending bytes to the stream in whole blocks, keeping the rest.
  bool flushWholeBlocks();
  // Hands bytes to the stream; false (and the failure told) when they did not all go.
  bool send(const char* bytes, size_t length);
  void reportWriteFailure();

  std::ostream& console_;
  std::string savePath_;
  ReportOutput output_;
  std::FILE* directStream_ = nullptr;  // written directly, flushed but never closed
  std::FILE* stream_ = nullptr;
  int failed_ = 1;
  bool failureReported_ = false;
  int lineOnPage_ = 0;
  int pageCount_ = 0;
  std::unique_ptr<char[]> pending_;  // bytes not yet handed to the stream
  size_t pendingSize_ = 0;
};

}  // namespace qv
