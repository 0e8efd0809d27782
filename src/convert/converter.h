#pragma once
// The abstract conversion runner: one concrete runner per kind of report.
#include <cstdint>

#include "capture/capture_file.h"
#include "capture/record_word.h"
#include "convert/options.h"
#include "convert/progress.h"

namespace qv {

class PrintFile;

// The page limit the driver passes to every run.
constexpr int32_t kPageLimit = 999999999;
// The console line of a run whose capture file changed under it.
constexpr const char* kCaptureChangedLine = "Data file changed during conversion.";

// What a step of a run tells the run: go on, or stop (the report file failed or the
// page limit was reached).
enum class Flow { Continue, Stop };

class Converter {
 public:
  Converter(PrintFile& printFile, const CaptureFile& capture)
      : printFile(printFile), captureFile(&capture) {}
  virtual ~Converter() = default;
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Writes the newline ending a report line; Stop when the report file failed or the
  // page limit was reached.
  Flow endLine();
  virtual int run(int32_t limit) = 0;
  void setOptions(const ConvertOptions& driverOptions) { options = driverOptions; }
  const ConvertOptions& runOptions() const { return options; }
  // Progress goes to the sink from the next run on; nullptr (the start value) for none.
  void setProgressSink(ProgressSink* sink) { progressSink_ = sink; }

 protected:
  // The steps every run starts with: opens the report (false when that fails), then
  // takes the start cursor, the word kind, clears runState and stores the limit.
  bool beginRun(int32_t limit);
  void writeConditionsBox();
  // resetCounters and close; returns the close result.
  int finishRun();
  // The page at which endLine next stops to check the limit and tell the progress: a
  // runner that hands over many lines at once goes line by line before it.
  int32_t pageCheckpoint() const { return pageCheckpoint_; }

  PrintFile& printFile;
  uint8_t runState = 0;
  uint8_t wordKind = 0;
  ConvertOptions options;
  const CaptureFile* captureFile;
  int32_t runLimit = 0;
  RecordCursor cursor{};
  // The cursor whose position tells the progress; a runner that walks with a cursor of
  // its own points this at it for the walk.
  const RecordCursor* progressCursor = &cursor;

 private:
  // Report pages (of 66 lines) between two progress updates.
  static constexpr int32_t kPagesPerProgressUpdate = 4;
  // At the page checkpoint: true when the page limit is reached, else tells the progress
  // and sets the next checkpoint.
  bool passCheckpoint();
  void reportProgress();

  ProgressSink* progressSink_ = nullptr;
  int32_t pageCheckpoint_ = 0;
};

}  // namespace qv
