#pragma once
// Runs a program as a child process with its standard input fed from a string, and
// measures its wall time, CPU time and peak resident memory.
#include <cstdint>
#include <string>
#include <vector>

namespace qv::bench {

struct ChildResult {
  bool started = false;
  bool timedOut = false;
  // The exit code, or -1 when the child was ended by a signal (or never started).
  int exitStatus = -1;
  double seconds = 0;
  // CPU time of the child, from wait4: user and system.
  double userSeconds = 0;
  double systemSeconds = 0;
  uint64_t peakRssKiB = 0;

  double cpuSeconds() const { return userSeconds + systemSeconds; }
};

// argv[0] is the program's path. The child's standard output goes to stdoutPath
// ("/dev/null" to drop it), its standard error to stderrPath unless that is empty; it
// runs in workDir when that is not empty. A child still running after timeoutSeconds is
// killed and reported as timed out.
ChildResult runChild(const std::vector<std::string>& argv, const std::string& input,
                     const std::string& stdoutPath, const std::string& workDir,
                     double timeoutSeconds, const std::string& stderrPath = "");

}  // namespace qv::bench
