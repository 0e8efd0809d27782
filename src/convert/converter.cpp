#include "convert/converter.h"

#include <algorithm>

#include "report/header.h"
#include "report/print_file.h"

namespace qv {

// The page count is compared with the checkpoint alone, which is the page limit unless
// progress is wanted: a run without a progress sink does no more work per line.
Flow Converter::endLine() {
  printFile.putChar('\n');
  if (printFile.isFailed()) return Flow::Stop;
  const bool stop = printFile.pageCount() >= pageCheckpoint_ && passCheckpoint();
  return stop ? Flow::Stop : Flow::Continue;
}

bool Converter::passCheckpoint() {
  const int32_t pages = printFile.pageCount();
  if (pages >= runLimit) return true;
  reportProgress();
  pageCheckpoint_ =
      pages < runLimit - kPagesPerProgressUpdate ? pages + kPagesPerProgressUpdate : runLimit;
  return false;
}

bool Converter::beginRun(int32_t limit) {
  if (!printFile.open()) return false;
  cursor = captureFile->startCursor();
  wordKind = wordKindOf(captureFile->conditions());
  runState = 0;
  runLimit = limit;
  pageCheckpoint_ =
      progressSink_ != nullptr && limit > 0 ? std::min(limit, kPagesPerProgressUpdate) : limit;
  return true;
}

void Converter::writeConditionsBox() {
  qv::writeConditionsBox(printFile, captureFile->conditions());
}

// The distance from the start cursor in ring order: the walk may start mid-chunk and wrap.
void Converter::reportProgress() {
  const MonitorRing ring = captureFile->ring();
  const uint8_t* position = progressCursor->position;
  const uint8_t* start = captureFile->startCursor().position;
  if (ring.empty() || position == nullptr || start == nullptr) return;
  progressSink_->update(ring.distance(start, position) * MonitorRing::kWordBytes,
                        ring.wordCount() * MonitorRing::kWordBytes);
}

int Converter::finishRun() {
  printFile.resetCounters();
  // A capture read in place from its file, which was cut short or rewritten during the
  // run, may have given a report of two captures mixed: it is not put in place.
  if (!captureFile->unchangedSinceLoad()) return printFile.abandon(kCaptureChangedLine);
  return printFile.close();
}

}  // namespace qv
