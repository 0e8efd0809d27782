#include "convert/converter.h"

#include "report/header.h"
#include "report/print_file.h"

namespace qv {

bool Converter::endLine() {
  printFile.putChar('\n');
  if (progressSink_ != nullptr && --linesToProgressUpdate_ == 0) reportProgress();
  if (printFile.isFailed()) return true;
  return printFile.pageCount() >= runLimit;
}

bool Converter::beginRun(int32_t limit) {
  if (!printFile.open()) return false;
  cursor = captureFile->startCursor();
  wordKind = wordKindOf(captureFile->conditions());
  runState = 0;
  runLimit = limit;
  return true;
}

void Converter::writeConditionsBox() {
  qv::writeConditionsBox(printFile, captureFile->conditions());
}

// The distance from the start cursor in ring order: the walk may start mid-chunk and wrap.
void Converter::reportProgress() {
  linesToProgressUpdate_ = kLinesPerProgressUpdate;
  const uint8_t* begin = captureFile->chunkStart();
  const uint8_t* position = progressCursor->position;
  const uint8_t* start = captureFile->startCursor().position;
  const uint64_t total = static_cast<uint64_t>(captureFile->chunkEnd() - begin);
  if (total == 0 || position == nullptr || start == nullptr) return;
  const uint64_t at = static_cast<uint64_t>(position - begin);
  const uint64_t from = static_cast<uint64_t>(start - begin);
  progressSink_->update((at + total - from) % total, total);
}

int Converter::finishRun() {
  printFile.resetCounters();
  return printFile.close();
}

}  // namespace qv
