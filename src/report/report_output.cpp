#include "report/report_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace qv {

namespace {

// The temporary file a signal must not leave behind. The handler may only use
// async-signal-safe calls, so the path is kept preformatted in a fixed buffer, and
// `pendingArmed` is set only once the buffer holds a whole path.
// A signal handler can reach nothing but globals, so these two must be mutable ones.
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables)
char pendingPath[PATH_MAX + 1];
volatile sig_atomic_t pendingArmed = 0;
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void removePendingAndDie(int signalNumber) {
  if (pendingArmed) ::unlink(pendingPath);
  // The handler was installed with SA_RESETHAND: the raised signal now takes its default
  // action as soon as the handler returns, so the exit status still tells the signal.
  ::raise(signalNumber);
}

// Installed once, the first time a temporary file exists. A signal the program was told
// to ignore (nohup) stays ignored.
void installCleanupHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int signalNumber : kCleanupSignals) {
    struct sigaction previous {};
    if (sigaction(signalNumber, nullptr, &previous) != 0) continue;
    if (previous.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = removePendingAndDie;
    sigemptyset(&action.sa_mask);
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigaction(signalNumber, &action, nullptr);
  }
}

// Holds the cleanup signals back while a temporary file changes hands, so that the
// handler never sees a half-written path or unlinks a name already renamed.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signalNumber : kCleanupSignals) sigaddset(&held, signalNumber);
    sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

void armPending(const std::string& path) {
  if (path.size() >= sizeof pendingPath) return;
  std::memcpy(pendingPath, path.c_str(), path.size() + 1);
  pendingArmed = 1;
}

// The process's own standard output or error, reached through a name such as /dev/stdout:
// it is already open and must be written where it stands.
bool isStandardStream(const struct stat& target) {
  for (int descriptor : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat status {};
    if (fstat(descriptor, &status) == 0 && status.st_dev == target.st_dev &&
        status.st_ino == target.st_ino) {
      return true;
    }
  }
  return false;
}

// The file a path names at the end of its symbolic links: the report replaces that file,
// not the link.
std::string resolvedPath(const std::string& path) {
  const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr),
                                                         &std::free);
  return real ? std::string(real.get()) : path;
}

}  // namespace

std::FILE* ReportOutput::open(const std::string& path) {
  discard();
  if (path.find('\0') != std::string::npos) {
    errno = EINVAL;
    return nullptr;
  }
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) {
    if (S_ISREG(status.st_mode) && !isStandardStream(status)) {
      stream_ = openTemporary(resolvedPath(path), true, status.st_mode & 07777);
    }
  } else if (errno == ENOENT && ::lstat(path.c_str(), &status) != 0) {
    // Not there yet (and not a symbolic link pointing nowhere).
    stream_ = openTemporary(path, false, 0666);
  }
  // A path that cannot take a temporary file beside it (a directory that may not be
  // written, a name too long for a suffix) is written in place, as are non-files.
  if (stream_ == nullptr) stream_ = std::fopen(path.c_str(), "w");
  return stream_;
}

std::FILE* ReportOutput::openTemporary(const std::string& target, bool replacing, unsigned mode) {
  static unsigned sequence = 0;
  installCleanupHandlers();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate =
        target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(++sequence);
    SignalsHeld held;
    // A new report gets the mode any new file gets (the umask applies); a replaced one
    // keeps the mode of the file it replaces.
    const int descriptor =
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : mode);
    if (descriptor < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    if (replacing) fchmod(descriptor, mode);
    std::FILE* stream = fdopen(descriptor, "w");
    if (stream == nullptr) {
      ::close(descriptor);
      ::unlink(candidate.c_str());
      return nullptr;
    }
    target_ = target;
    temporary_ = candidate;
    armPending(temporary_);
    return stream;
  }
  return nullptr;
}

void ReportOutput::closeStream(bool& ok) {
  if (stream_ == nullptr) return;
  if (std::fclose(stream_) != 0) ok = false;
  stream_ = nullptr;
}

bool ReportOutput::commit() {
  bool ok = stream_ != nullptr;
  closeStream(ok);
  if (temporary_.empty()) return ok;
  SignalsHeld held;
  if (ok) ok = std::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!ok) ::unlink(temporary_.c_str());
  pendingArmed = 0;
  temporary_.clear();
  return ok;
}

void ReportOutput::discard() {
  bool ignored = true;
  closeStream(ignored);
  if (temporary_.empty()) return;
  SignalsHeld held;
  ::unlink(temporary_.c_str());
  pendingArmed = 0;
  temporary_.clear();
}

}  // namespace qv
