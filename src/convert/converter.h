#pragma once
// The abstract conversion runner: one concrete runner per kind of report.
#include <cstdint>

#include "capture/capture_file.h"
#include "capture/record_word.h"
#include "convert/options.h"

namespace qv {

class PrintFile;

// The page limit the driver passes to every run.
constexpr int32_t kPageLimit = 999999999;

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

  // Writes the newline ending a report line; true means the run must stop (the
  // report file failed or the page limit was reached).
  bool endLine();
  // endLine for the steps that return a Flow.
  Flow endStep() { return endLine() ? Flow::Stop : Flow::Continue; }
  virtual int run(int32_t limit) = 0;
  void setOptions(const ConvertOptions& driverOptions) { options = driverOptions; }
  const ConvertOptions& runOptions() const { return options; }

 protected:
  // The steps every run starts with: opens the report (false when that fails), then
  // takes the start cursor, the word kind, clears runState and stores the limit.
  bool beginRun(int32_t limit);
  void writeConditionsBox();
  // resetCounters and close; returns the close result.
  int finishRun();

  PrintFile& printFile;
  uint8_t runState = 0;
  uint8_t wordKind = 0;
  ConvertOptions options;
  const CaptureFile* captureFile;
  int32_t runLimit = 0;
  RecordCursor cursor{};
};

}  // namespace qv
