// qvbench: times the real qvconv binary on generated captures and prints Markdown tables.
//   qvbench [--quick] [--size MIB] [--adv-base KIB] [--timeout SECONDS] [--only NAME,...]
//           [--no-realistic] [--no-adversarial] [--qvconv PATH] [--keep DIR] [--list]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "child_run.h"
#include "growth.h"
#include "workloads.h"

#ifndef QV_QVCONV_PATH
#define QV_QVCONV_PATH "qvconv"
#endif
#ifndef QV_BUILD_TYPE
#define QV_BUILD_TYPE ""
#endif

namespace fs = std::filesystem;

namespace qv::bench {
namespace {

constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kListingTargetMBs = 100;
constexpr double kFrameTargetMBs = 50;
constexpr double kRssSlackMiB = 16;
constexpr double kGrowthLimit = 20;

struct Settings {
  double realisticMiB = 64;
  unsigned adversarialBaseKiB = 1024;
  double timeoutSeconds = 120;
  int repeat = 3;
  std::vector<std::string> only;
  bool realistic = true;
  bool adversarial = true;
  std::string qvconv = QV_QVCONV_PATH;
  std::string keepDir;
};


void usage(std::FILE* stream) {
  std::fputs(
      "usage: qvbench [options]\n"
      "  --quick            8 MiB realistic captures, adversarial sizes 64/256/1024 KiB, 30 s timeout\n"
      "  --size MIB         monitor data per realistic capture (default 64)\n"
      "  --adv-base KIB     smallest adversarial capture; the others are 4 and 16 times it (default 1024)\n"
      "  --timeout SECONDS  limit per qvconv run (default 120)\n"
      "  --repeat N         convert each capture N times and keep the fastest run (default 3)\n"
      "  --only NAME,...    run only the named cases (see --list)\n"
      "  --no-realistic     skip the realistic captures\n"
      "  --no-adversarial   skip the adversarial captures\n"
      "  --qvconv PATH      the converter to time (default: the one built beside qvbench)\n"
      "  --keep DIR         keep the captures and reports in DIR\n"
      "  --list             list the cases and exit\n"
      "  --help             show this help and exit\n",
      stream);
}

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> names;
  std::stringstream in(text);
  for (std::string name; std::getline(in, name, ',');)
    if (!name.empty()) names.push_back(name);
  return names;
}

void listCases() {
  std::puts("Realistic:");
  for (const Workload& w : realisticWorkloads()) std::printf("  %-24s %s\n", w.name, w.description);
  std::puts("Adversarial:");
  for (const Workload& w : adversarialWorkloads()) std::printf("  %-24s %s\n", w.name, w.description);
}

std::optional<Settings> parseArguments(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--quick") {
      settings.realisticMiB = 8;
      settings.adversarialBaseKiB = 64;
      settings.timeoutSeconds = 30;
      settings.repeat = 1;
    } else if (arg == "--size" && hasValue) {
      settings.realisticMiB = std::atof(argv[++i]);
    } else if (arg == "--adv-base" && hasValue) {
      settings.adversarialBaseKiB = static_cast<unsigned>(std::atoi(argv[++i]));
    } else if (arg == "--timeout" && hasValue) {
      settings.timeoutSeconds = std::atof(argv[++i]);
    } else if (arg == "--repeat" && hasValue) {
      settings.repeat = std::atoi(argv[++i]);
    } else if (arg == "--only" && hasValue) {
      settings.only = splitList(argv[++i]);
    } else if (arg == "--no-realistic") {
      settings.realistic = false;
    } else if (arg == "--no-adversarial") {
      settings.adversarial = false;
    } else if (arg == "--qvconv" && hasValue) {
      settings.qvconv = argv[++i];
    } else if (arg == "--keep" && hasValue) {
      settings.keepDir = argv[++i];
    } else if (arg == "--list") {
      listCases();
      std::exit(0);
    } else if (arg == "--help" || arg == "-h") {
      usage(stdout);
      std::exit(0);
    } else {
      usage(stderr);
      return std::nullopt;
    }
  }
  if (settings.realisticMiB <= 0 || settings.adversarialBaseKiB == 0 || settings.timeoutSeconds <= 0 ||
      settings.repeat < 1) {
    usage(stderr);
    return std::nullopt;
  }
  return settings;
}

bool selected(const Settings& settings, const Workload& workload) {
  if (settings.only.empty()) return true;
  for (const std::string& name : settings.only)
    if (name == workload.name) return true;
  return false;
}

bool consoleSaysComplete(const std::string& path) {
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text.find("Complete.") != std::string::npos;
}

// Generates the capture, converts it once and removes the files again (unless kept).
Measurement measure(const Settings& settings, const fs::path& dir, const Workload& workload, size_t monitorBytes,
                    const std::string& tag, uint64_t& frames) {
  Measurement m;
  const std::string base = std::string(workload.name) + "-" + tag;
  const fs::path capturePath = dir / (base + ".cap");
  const fs::path reportPath = dir / (base + ".txt");
  const fs::path consolePath = dir / (base + ".console");
  {
    const Capture capture = makeCapture(workload, monitorBytes);
    frames = capture.frames;
    m.fileBytes = writeCapture(capturePath, capture);
  }
  if (m.fileBytes == 0) {
    std::fprintf(stderr, "qvbench: cannot write %s\n", capturePath.c_str());
    return m;
  }
  std::fprintf(stderr, "  %-24s %-8s ", workload.name, tag.c_str());
  const std::string answers = capturePath.string() + "\n" + reportPath.string() + "\n" + workload.answers;
  // The fastest of the runs: the machine's other load only ever adds time. A run that
  // fails or times out is not repeated.
  for (int run = 0; run < settings.repeat; ++run) {
    const ChildResult child = runChild({settings.qvconv}, answers, consolePath, "", settings.timeoutSeconds);
    const bool completed = !child.timedOut && child.exitStatus == 0 && consoleSaysComplete(consolePath);
    if (run == 0 || (completed && child.seconds < m.child.seconds)) m.child = child;
    m.completed = completed;
    if (!completed) break;
  }
  if (m.completed) m.frameLines = countFrameLines(reportPath);
  std::fprintf(stderr, "%s\n", m.child.timedOut ? "timed out" : m.completed ? "done" : "FAILED");
  if (settings.keepDir.empty()) {
    std::error_code ignored;
    fs::remove(capturePath, ignored);
    fs::remove(reportPath, ignored);
    fs::remove(consolePath, ignored);
  }
  return m;
}

std::string seconds(const Measurement& m, double timeout, const char* format = "%.2f") {
  char text[32];
  if (m.child.timedOut)
    std::snprintf(text, sizeof text, "> %.0f s", timeout);
  else if (!m.completed)
    std::snprintf(text, sizeof text, "failed");
  else
    std::snprintf(text, sizeof text, format, m.child.seconds);
  return text;
}

void printRealisticRow(const Settings& settings, const Workload& workload, size_t monitorBytes, uint64_t frames,
                       const Measurement& m) {
  const double rssMiB = m.child.peakRssKiB / 1024.0;
  const double overFile = rssMiB - m.fileBytes / kMiB;
  if (!m.completed) {
    std::printf("| %s | %.0f | %s | | | %.1f | %.1f | | missed |\n", workload.name, monitorBytes / kMiB,
                seconds(m, settings.timeoutSeconds).c_str(), rssMiB, overFile);
    return;
  }
  std::string lines = "n/a";
  if (workload.oneLinePerFrame)
    lines = m.frameLines == static_cast<int64_t>(frames) ? "ok" : std::to_string(m.frameLines) + " of " + std::to_string(frames);
  const double mbs = monitorBytes / 1e6 / m.child.seconds;
  const double target = std::strcmp(workload.name, "listing") == 0 ? kListingTargetMBs : kFrameTargetMBs;
  const bool met = mbs >= target && overFile <= kRssSlackMiB;
  std::printf("| %s | %.0f | %.2f | %.1f | %.0f | %.1f | %.1f | %s | %s |\n", workload.name, monitorBytes / kMiB,
              m.child.seconds, mbs, frames / m.child.seconds, rssMiB, overFile, lines.c_str(), met ? "met" : "missed");
}

void realisticTable(const Settings& settings, const fs::path& dir) {
  const size_t monitorBytes = static_cast<size_t>(settings.realisticMiB * kMiB) / 4 * 4;
  std::printf("\n### Realistic captures, %.0f MiB of monitor data each\n\n", monitorBytes / kMiB);
  std::printf("| Family | Monitor MiB | Seconds | MB/s | Frames/s | Peak RSS MiB | RSS - file MiB | Frame lines | Targets |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---|---|\n");
  std::fflush(stdout);
  for (const Workload& workload : realisticWorkloads()) {
    if (!selected(settings, workload)) continue;
    uint64_t frames = 0;
    const Measurement m = measure(settings, dir, workload, monitorBytes, "real", frames);
    printRealisticRow(settings, workload, monitorBytes, frames, m);
    std::fflush(stdout);
  }
  std::printf("\nTargets: listing at least %.0f MB/s, every frame runner at least %.0f MB/s (1 MB = 10^6 bytes of\n"
              "monitor data), peak RSS at most the capture file size plus %.0f MiB. For the listing the frames are\n"
              "messages and for BSC transmission blocks.\n",
              kListingTargetMBs, kFrameTargetMBs, kRssSlackMiB);
}

void adversarialTable(const Settings& settings, const fs::path& dir) {
  const unsigned base = settings.adversarialBaseKiB;
  std::printf("\n### Adversarial captures, %u, %u and %u KiB of monitor data\n\n", base, 4 * base, 16 * base);
  std::printf("| Case | %u KiB s | %u KiB s | %u KiB s | 16x/1x time | Verdict |\n", base, 4 * base, 16 * base);
  std::printf("|---|---:|---:|---:|---:|---|\n");
  std::fflush(stdout);
  for (const Workload& workload : adversarialWorkloads()) {
    if (!selected(settings, workload)) continue;
    Measurement runs[3];
    const unsigned factors[3] = {1, 4, 16};
    bool gaveUp = false;
    for (int i = 0; i < 3; ++i) {
      if (gaveUp) {
        runs[i].child.timedOut = true;  // a larger capture of a case that already timed out
        continue;
      }
      uint64_t frames = 0;
      runs[i] = measure(settings, dir, workload, size_t{factors[i]} * base * 1024, std::to_string(factors[i]) + "x", frames);
      gaveUp = runs[i].child.timedOut;
    }
    std::string ratio = "n/a";
    const char* verdict = growthVerdict(runs, settings.timeoutSeconds, ratio);
    const double limit = settings.timeoutSeconds;
    std::printf("| %s | %s | %s | %s | %s | %s |\n", workload.name, seconds(runs[0], limit, "%.3f").c_str(),
                seconds(runs[1], limit, "%.3f").c_str(), seconds(runs[2], limit, "%.3f").c_str(), ratio.c_str(),
                verdict);
    std::fflush(stdout);
  }
  std::printf("\nTarget: the largest capture takes at most %.0f times as long as the smallest (linear growth\n"
              "gives 16). A size not run because a smaller one of the same case already timed out shows as the\n"
              "timeout.\n",
              kGrowthLimit);
}

std::string cpuModel() {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown CPU";
}

int run(const Settings& settings) {
  if (access(settings.qvconv.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "qvbench: cannot run %s (build qvconv, or give --qvconv PATH)\n", settings.qvconv.c_str());
    return 1;
  }
  fs::path dir;
  if (!settings.keepDir.empty()) {
    dir = settings.keepDir;
    fs::create_directories(dir);
  } else {
    std::string pattern = (fs::temp_directory_path() / "qvbench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      std::fprintf(stderr, "qvbench: cannot make a temporary directory\n");
      return 1;
    }
    dir = pattern;
  }
  const std::time_t now = std::time(nullptr);
  char date[64];
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
  std::printf("## qvbench, %s\n\n%s, %ld online CPUs; qvconv: %s (build type %s); fastest of %d run%s\n", date,
              cpuModel().c_str(), sysconf(_SC_NPROCESSORS_ONLN), settings.qvconv.c_str(), QV_BUILD_TYPE,
              settings.repeat, settings.repeat == 1 ? "" : "s");
  if (settings.realistic) realisticTable(settings, dir);
  if (settings.adversarial) adversarialTable(settings, dir);
  if (settings.keepDir.empty()) {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  return 0;
}

}  // namespace
}  // namespace qv::bench

int main(int argc, char** argv) {
  const std::optional<qv::bench::Settings> settings = qv::bench::parseArguments(argc, argv);
  if (!settings) return 2;
  return qv::bench::run(*settings);
}
