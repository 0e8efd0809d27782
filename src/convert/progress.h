#pragma once
// A listener told how far a conversion run has walked the monitor data. Runs call it
// only every so many report lines, so a listener may look at the clock each time.
#include <cstdint>

namespace qv {

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // done of total bytes of the monitor ring have been passed.
  virtual void update(uint64_t done, uint64_t total) = 0;
};

}  // namespace qv
