// The child runner that times qvconv: input feeding, output capture, exit status,
// peak memory, and the timeout that keeps a quadratic case from hanging the benchmark.
#include "child_run.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace qv::bench {
namespace {

TEST(ChildRun, FeedsTheInputAndReportsTheExitStatusAndMemory) {
  const std::string out = test::tempPath("child.out");
  const ChildResult r = runChild({"/bin/sh", "-c", "cat; exit 3"}, "first\nsecond\n", out, "", 10);
  EXPECT_TRUE(r.started);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitStatus, 3);
  EXPECT_GT(r.peakRssKiB, 0u);
  EXPECT_EQ(test::readFile(out), "first\nsecond\n");
}

TEST(ChildRun, MeasuresCpuTimeAndSendsStandardErrorWhereAsked) {
  const std::string err = test::tempPath("child.err");
  const ChildResult r = runChild(
      {"/bin/sh", "-c", "i=0; while [ $i -lt 100000 ]; do i=$((i+1)); done; echo warn >&2"}, "",
      "/dev/null", "", 30, err);
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_GT(r.cpuSeconds(), 0.0);
  EXPECT_LE(r.cpuSeconds(), r.seconds * 2 + 0.05);  // at most both cores for the whole run
  EXPECT_EQ(test::readFile(err), "warn\n");
}

TEST(ChildRun, RunsInTheWorkingDirectory) {
  const std::string out = test::tempPath("pwd.out");
  const ChildResult r = runChild({"/bin/sh", "-c", "pwd"}, "", out, "/", 10);
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(test::readFile(out), "/\n");
}

TEST(ChildRun, KillsAChildThatOutlivesTheTimeout) {
  const ChildResult r = runChild({"/bin/sleep", "10"}, "", "/dev/null", "", 0.2);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.exitStatus, -1);
  EXPECT_LT(r.seconds, 5);
}

TEST(ChildRun, AChildThatIgnoresItsInputDoesNotStopTheParent) {
  // More than a pipe holds, so that the write is still going on when the child exits:
  // the broken pipe must end the feeding, not the benchmark.
  const ChildResult r = runChild({"/bin/true"}, std::string(1 << 20, 'x'), "/dev/null", "", 10);
  EXPECT_EQ(r.exitStatus, 0);
}

TEST(ChildRun, AMissingProgramEndsWithStatus127) {
  const ChildResult r = runChild({"/nonexistent/qvconv"}, "", "/dev/null", "", 10);
  EXPECT_TRUE(r.started);
  EXPECT_EQ(r.exitStatus, 127);
}

}  // namespace
}  // namespace qv::bench
