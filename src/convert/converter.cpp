#include "convert/converter.h"

#include "report/header.h"
#include "report/print_file.h"

namespace qv {

bool Converter::endLine() {
  printFile.putChar('\n');
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

int Converter::finishRun() {
  printFile.resetCounters();
  return printFile.close();
}

}  // namespace qv
