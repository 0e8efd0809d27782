#pragma once
// How one conversion went, and the verdict on how the time grows with the capture size.
#include <cstdint>
#include <string>

#include "child_run.h"

namespace qv::bench {

struct Measurement {
  ChildResult child;
  uint64_t fileBytes = 0;
  int64_t frameLines = -1;
  bool completed = false;  // exit status 0 and "Complete." on the console
  double cpuSeconds = 0;   // the least CPU time (user + system) of the runs
};

// The time of the largest run over the smallest, for runs at 1, 4 and 16 times a size:
// sets ratio ("17.3", "> 40", or "n/a") and returns the verdict. A run that timed out
// counts with the timeout as a lower bound of its time.
const char* growthVerdict(const Measurement (&runs)[3], double timeout, std::string& ratio);

}  // namespace qv::bench
