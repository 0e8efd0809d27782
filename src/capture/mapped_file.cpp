#include "capture/mapped_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace qv {

namespace {

// The mappings the bus-error guard answers for. A reader touching a page that a cut of
// the file took away gets SIGBUS; the guard puts a page of zeros in its place and notes
// the mapping as lost, so the run goes on and then refuses its result. A signal handler
// reaches nothing but globals: the guard's state is global, and atomic.
struct GuardSlot {
  std::atomic<uintptr_t> begin{0};
  std::atomic<uintptr_t> end{0};
  std::atomic<int> lost{0};
};
constexpr int kGuardSlots = 16;
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables)
GuardSlot guardSlots[kGuardSlots];
std::atomic<uintptr_t> pageBytes{4096};
struct sigaction previousAction {};
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

bool patchLostPage(uintptr_t address) {
  for (GuardSlot& slot : guardSlots) {
    const uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    if (begin == 0 || address < begin || address >= slot.end.load(std::memory_order_acquire))
      continue;
    const uintptr_t page = address & ~(pageBytes.load(std::memory_order_relaxed) - 1);
    void* zeros = mmap(reinterpret_cast<void*>(page), pageBytes.load(std::memory_order_relaxed),
                       PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros == MAP_FAILED) return false;
    slot.lost.store(1, std::memory_order_release);
    return true;
  }
  return false;
}

// A bus error anywhere else goes where it went before the guard: to the handler that was
// in place, or to the default action (the faulting access is made again and ends the
// program as it would have).
void onBusError(int signal, siginfo_t* info, void* context) {
  if (patchLostPage(reinterpret_cast<uintptr_t>(info->si_addr))) return;
  if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
    previousAction.sa_sigaction(signal, info, context);
    return;
  }
  if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
    previousAction.sa_handler(signal);
    return;
  }
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGBUS, &fallback, nullptr);
}

// Installed once, by the first mapping.
bool installGuard() {
  static const bool installed = [] {
    const long page = sysconf(_SC_PAGESIZE);
    if (page > 0) pageBytes.store(static_cast<uintptr_t>(page), std::memory_order_relaxed);
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, &previousAction) == 0;
  }();
  return installed;
}

int takeGuardSlot(const uint8_t* data, size_t length) {
  for (int i = 0; i < kGuardSlots; ++i) {
    uintptr_t expected = 0;
    const auto begin = reinterpret_cast<uintptr_t>(data);
    if (!guardSlots[i].begin.compare_exchange_strong(expected, begin)) continue;
    guardSlots[i].lost.store(0);
    guardSlots[i].end.store(begin + length, std::memory_order_release);
    return i;
  }
  return -1;
}

void releaseGuardSlot(int slot) {
  guardSlots[slot].end.store(0, std::memory_order_release);
  guardSlots[slot].begin.store(0, std::memory_order_release);
}

bool sameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool MappedFile::map(int descriptor, size_t length) {
  unmap();
  struct stat status {};
  if (length == 0 || !installGuard() || fstat(descriptor, &status) != 0 ||
      static_cast<size_t>(status.st_size) != length)
    return false;
  void* data = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, descriptor, 0);
  if (data == MAP_FAILED) return false;
  data_ = static_cast<uint8_t*>(data);
  length_ = length;
  guardSlot_ = takeGuardSlot(data_, length_);
  descriptor_ = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (guardSlot_ < 0 || descriptor_ < 0) {
    unmap();
    return false;
  }
  fileSize_ = status.st_size;
  modified_ = status.st_mtim;
  return true;
}

void MappedFile::unmap() {
  if (data_ != nullptr) munmap(data_, length_);
  // The slot is given back after the unmapping: a page of zeros the guard put in while
  // the slot was held is gone with the rest of the mapping.
  if (guardSlot_ >= 0) releaseGuardSlot(guardSlot_);
  if (descriptor_ >= 0) close(descriptor_);
  data_ = nullptr;
  length_ = 0;
  guardSlot_ = -1;
  descriptor_ = -1;
}

bool MappedFile::unchanged() const {
  if (data_ == nullptr) return true;
  if (guardSlots[guardSlot_].lost.load(std::memory_order_acquire) != 0) return false;
  struct stat status {};
  if (fstat(descriptor_, &status) != 0) return false;
  // The change time is not compared: it also moves when the file is renamed or replaced
  // by another under its name, which leaves the mapped pages as they were.
  return status.st_size == fileSize_ && sameTime(status.st_mtim, modified_);
}

}  // namespace qv
