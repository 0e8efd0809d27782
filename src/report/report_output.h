#pragma once
// Where the report goes. A regular file, new or existing, is written under a temporary
// name in its own directory and renamed over the target only when it is complete, so
// that a failed or interrupted run leaves an earlier report exactly as it was. Anything
// else (a FIFO, a terminal, a device, the program's own standard output) is written
// directly, so that a report can still be streamed.
#include <cstdio>
#include <string>

namespace qv {

class ReportOutput {
 public:
  ReportOutput() = default;
  ~ReportOutput() { discard(); }
  ReportOutput(const ReportOutput&) = delete;
  ReportOutput& operator=(const ReportOutput&) = delete;

  // The stream to write the report to, or nullptr when it cannot be created.
  std::FILE* open(const std::string& path);
  // Closes the stream and puts a temporary file in place of the target. False when the
  // data may not all have arrived; the target then keeps what it had.
  bool commit();
  // Closes the stream and removes a temporary file; the target keeps what it had.
  void discard();
  // The temporary file being written, empty when the target is written directly.
  const std::string& temporaryPath() const { return temporary_; }

 private:
  std::FILE* openTemporary(const std::string& target, bool replacing, unsigned mode);
  void closeStream(bool& ok);

  std::FILE* stream_ = nullptr;
  std::string target_;
  std::string temporary_;
};

}  // namespace qv
