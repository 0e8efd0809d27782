#include "child_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

namespace qv::bench {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void becomeChild(const std::vector<std::string>& argv, int inputFd,
                              const std::string& stdoutPath, const std::string& workDir,
                              const std::string& stderrPath) {
  if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
  const int outFd = open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (outFd < 0 || dup2(inputFd, 0) < 0 || dup2(outFd, 1) < 0) _exit(126);
  if (!stderrPath.empty()) {
    const int errFd = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (errFd < 0 || dup2(errFd, 2) < 0) _exit(126);
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

// Feeds the answers; a child that ends without reading them must not kill us with SIGPIPE.
void feed(int fd, const std::string& input) {
  struct sigaction ignore = {}, previous = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);
  for (size_t done = 0; done < input.size();) {
    const ssize_t n = write(fd, input.data() + done, input.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  sigaction(SIGPIPE, &previous, nullptr);
}

void napOneMillisecond() {
  const timespec pause = {0, 1000000};
  nanosleep(&pause, nullptr);
}

double secondsOf(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

}  // namespace

ChildResult runChild(const std::vector<std::string>& argv, const std::string& input,
                     const std::string& stdoutPath, const std::string& workDir,
                     double timeoutSeconds, const std::string& stderrPath) {
  ChildResult result;
  if (argv.empty()) return result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return result;
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return result;
  }
  if (pid == 0) {
    close(pipeFds[1]);
    becomeChild(argv, pipeFds[0], stdoutPath, workDir, stderrPath);
  }
  result.started = true;
  close(pipeFds[0]);
  feed(pipeFds[1], input);

  int status = 0;
  rusage usage = {};
  for (;;) {
    const pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid || done < 0) break;
    if (std::chrono::duration<double>(Clock::now() - start).count() > timeoutSeconds) {
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      result.timedOut = true;
      break;
    }
    napOneMillisecond();
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.userSeconds = secondsOf(usage.ru_utime);
  result.systemSeconds = secondsOf(usage.ru_stime);
  result.peakRssKiB = static_cast<uint64_t>(usage.ru_maxrss);
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace qv::bench
