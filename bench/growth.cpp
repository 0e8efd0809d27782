#include "growth.h"

#include <cstdio>

namespace qv::bench {

namespace {
// Linear growth gives 4 and 16; the target allows a quarter more.
constexpr double kGrowthLimit = 20;
}  // namespace

const char* growthVerdict(const Measurement (&runs)[3], double timeout, std::string& ratio) {
  ratio = "n/a";
  if (!runs[0].completed)
    return runs[0].child.timedOut ? "times out at the smallest size" : "failed";
  auto atLeast = [&](const Measurement& m) { return m.completed ? m.child.seconds : timeout; };
  const double growth16 = atLeast(runs[2]) / runs[0].child.seconds;
  char text[32];
  std::snprintf(text, sizeof text, runs[2].completed ? "%.1f" : "> %.0f", growth16);
  ratio = text;
  if (runs[2].completed)
    return growth16 <= kGrowthLimit ? "within 20x" : "grows faster than the size";
  const double growth4 = atLeast(runs[1]) / runs[0].child.seconds;
  if (growth16 > kGrowthLimit || growth4 > kGrowthLimit / 4) return "grows faster than the size";
  return "timed out at a larger size";
}

}  // namespace qv::bench
