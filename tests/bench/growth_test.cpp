// The growth verdict of the adversarial table, above all with runs that timed out.
#include "growth.h"

#include <gtest/gtest.h>

#include <string>

namespace qv::bench {
namespace {

Measurement done(double seconds) {
  Measurement m;
  m.completed = true;
  m.child.exitStatus = 0;
  m.child.seconds = seconds;
  return m;
}

Measurement timedOut() {
  Measurement m;
  m.child.timedOut = true;
  return m;
}

TEST(GrowthVerdict, CompletedRunsAreJudgedByTheirRatio) {
  std::string ratio;
  const Measurement linear[3] = {done(0.1), done(0.4), done(1.6)};
  EXPECT_STREQ(growthVerdict(linear, 120, ratio), "within 20x");
  EXPECT_EQ(ratio, "16.0");
  const Measurement quadratic[3] = {done(0.1), done(1.6), done(25.6)};
  EXPECT_STREQ(growthVerdict(quadratic, 120, ratio), "grows faster than the size");
  EXPECT_EQ(ratio, "256.0");
}

TEST(GrowthVerdict, ATimeoutIsALowerBoundNotAVerdict) {
  std::string ratio;
  // 120 s over 10 s is only a bound of 12, and the 4x run grew linearly: no verdict.
  const Measurement slow[3] = {done(10), done(40), timedOut()};
  EXPECT_STREQ(growthVerdict(slow, 120, ratio), "timed out at a larger size");
  EXPECT_EQ(ratio, "> 12");
  // The 4x run already grew by more than five times.
  const Measurement steep[3] = {done(10), done(60), timedOut()};
  EXPECT_STREQ(growthVerdict(steep, 120, ratio), "grows faster than the size");
  // Both larger sizes skipped after the 4x run timed out.
  const Measurement skipped[3] = {done(2), timedOut(), timedOut()};
  EXPECT_STREQ(growthVerdict(skipped, 120, ratio), "grows faster than the size");
  EXPECT_EQ(ratio, "> 60");
}

TEST(GrowthVerdict, NoRatioWithoutTheSmallestRun) {
  std::string ratio;
  const Measurement hung[3] = {timedOut(), timedOut(), timedOut()};
  EXPECT_STREQ(growthVerdict(hung, 120, ratio), "times out at the smallest size");
  EXPECT_EQ(ratio, "n/a");
  Measurement crashed[3] = {Measurement{}, done(1), done(2)};
  crashed[0].child.exitStatus = -1;
  EXPECT_STREQ(growthVerdict(crashed, 120, ratio), "failed");
}

}  // namespace
}  // namespace qv::bench
