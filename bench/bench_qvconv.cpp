// qvbench: times the real qvconv binary on generated captures and prints Markdown tables.
//   qvbench [--quick] [--size MIB] [--adv-base KIB] [--timeout SECONDS] [--only NAME,...]
//           [--no-realistic] [--no-adversarial] [--no-export] [--export-only] [--qvconv PATH]
//           [--baseline PATH] [--tshark PATH] [--no-anchors] [--keep DIR] [--list]
#include <unistd.h>

#include <array>
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

#include "capture/bytes.h"
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
// The anchors: TShark summarising the same frames should take at least this many times
// qvconv's CPU time; the listing at most this many times the CPU time of copying its report.
constexpr double kTsharkFactorGoal = 10;
constexpr double kWriteFloorFactorGoal = 2;

struct Settings {
  double realisticMiB = 64;
  unsigned adversarialBaseKiB = 1024;
  double timeoutSeconds = 120;
  int repeat = 3;
  std::vector<std::string> only;
  bool realistic = true;
  bool adversarial = true;
  bool exports = true;
  std::string qvconv = QV_QVCONV_PATH;
  std::string baseline;  // a second qvconv (an older build) timed on the same captures
  std::string tshark;    // empty: no TShark anchor
  bool anchors = true;
  std::string keepDir;
};

// One realistic capture with what it is measured against.
struct AnchorRow {
  std::string family;
  Measurement qvconv;
  std::optional<Measurement> baseline;
  bool sameReport = false;
  std::string anchorName;  // "tshark" or "cp", empty when there is none
  Measurement anchor;
};

void usage(std::FILE* stream) {
  std::fputs(
      "usage: qvbench [options]\n"
      "  --quick            8 MiB realistic captures, adversarial sizes 64/256/1024 KiB, 30 s "
      "timeout\n"
      "  --size MIB         monitor data per realistic capture (default 64)\n"
      "  --adv-base KIB     smallest adversarial capture; the others are 4 and 16 times it "
      "(default 1024)\n"
      "  --timeout SECONDS  limit per qvconv run (default 120)\n"
      "  --repeat N         convert each capture N times and keep the fastest run (default 3)\n"
      "  --only NAME,...    run only the named cases (see --list)\n"
      "  --no-realistic     skip the realistic captures\n"
      "  --no-adversarial   skip the adversarial captures\n"
      "  --no-export        skip the pcapng export tables\n"
      "  --export-only      run only the pcapng export tables\n"
      "  --qvconv PATH      the converter to time (default: the one built beside qvbench)\n"
      "  --baseline PATH    also time this converter (an older build) on the same captures and\n"
      "                     compare its reports with those of --qvconv\n"
      "  --tshark PATH      the TShark to time on the same frames (default: tshark on the PATH)\n"
      "  --no-anchors       skip the TShark and cp anchors\n"
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
  for (const Workload& w : adversarialWorkloads())
    std::printf("  %-24s %s\n", w.name, w.description);
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
    } else if (arg == "--no-export") {
      settings.exports = false;
    } else if (arg == "--export-only") {
      settings.realistic = settings.adversarial = false;
      settings.exports = true;
    } else if (arg == "--qvconv" && hasValue) {
      settings.qvconv = argv[++i];
    } else if (arg == "--baseline" && hasValue) {
      settings.baseline = argv[++i];
    } else if (arg == "--tshark" && hasValue) {
      settings.tshark = argv[++i];
    } else if (arg == "--no-anchors") {
      settings.anchors = false;
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
  if (settings.realisticMiB <= 0 || settings.adversarialBaseKiB == 0 ||
      settings.timeoutSeconds <= 0 || settings.repeat < 1) {
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

// Runs the program `repeat` times and keeps the fastest run (the machine's other load
// only ever adds time) and the least CPU time. A run that fails or times out is not
// repeated. The file the program writes (`output`, if any) is removed before every run:
// replacing a file costs the system more than writing a new one, and only the first run
// would be spared it.
template <typename Completed>
Measurement timeRuns(const Settings& settings, const std::vector<std::string>& argv,
                     const std::string& input, const std::string& stdoutPath, Completed completed,
                     const std::string& stderrPath = "", const fs::path& output = {}) {
  Measurement m;
  for (int run = 0; run < settings.repeat; ++run) {
    if (!output.empty()) {
      std::error_code ignored;
      fs::remove(output, ignored);
    }
    const ChildResult child =
        runChild(argv, input, stdoutPath, "", settings.timeoutSeconds, stderrPath);
    const bool good = !child.timedOut && child.exitStatus == 0 && completed();
    if (run == 0 || (good && child.seconds < m.child.seconds)) m.child = child;
    if (run == 0 || (good && child.cpuSeconds() < m.cpuSeconds)) m.cpuSeconds = child.cpuSeconds();
    m.completed = good;
    if (!good) break;
  }
  return m;
}

// Whether two reports are the same after their first line (which holds the time of the
// conversion).
bool sameAfterFirstLine(const fs::path& a, const fs::path& b) {
  std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
  std::string lineA, lineB;
  if (!first || !second) return false;
  std::getline(first, lineA);
  std::getline(second, lineB);
  std::array<char, 1 << 16> blockA, blockB;
  for (;;) {
    first.read(blockA.data(), blockA.size());
    second.read(blockB.data(), blockB.size());
    if (first.gcount() != second.gcount()) return false;
    if (std::memcmp(blockA.data(), blockB.data(), static_cast<size_t>(first.gcount())) != 0)
      return false;
    if (first.gcount() == 0 || !first || !second) return !first && !second;
  }
}

// TShark summarising a pcap file to nowhere, without name resolution.
Measurement timeTshark(const Settings& settings, const fs::path& pcapPath, LinkType linkType) {
  std::vector<std::string> argv = {settings.tshark, "-n"};
  for (const std::string& option : tsharkOptions(linkType)) argv.push_back(option);
  argv.insert(argv.end(), {"-r", pcapPath.string()});
  return timeRuns(
      settings, argv, "", "/dev/null", [] { return true; }, "/dev/null");
}

// The anchors of one realistic capture: the baseline converter, and TShark on the same
// frames or cp of the report.
void measureAnchors(const Settings& settings, const Workload& workload, const fs::path& capturePath,
                    const fs::path& reportPath, const fs::path& pcapPath, LinkType linkType,
                    AnchorRow& row) {
  const fs::path consolePath = reportPath.string() + ".console";
  if (!settings.baseline.empty()) {
    const fs::path baselineReport = reportPath.string() + ".baseline";
    const std::string answers =
        capturePath.string() + "\n" + baselineReport.string() + "\n" + workload.answers;
    row.baseline = timeRuns(
        settings, {settings.baseline}, answers, consolePath,
        [&] { return consoleSaysComplete(consolePath); }, "", baselineReport);
    row.sameReport = row.baseline->completed && sameAfterFirstLine(reportPath, baselineReport);
    std::error_code ignored;
    fs::remove(baselineReport, ignored);
    fs::remove(consolePath, ignored);
  }
  if (!settings.anchors) return;
  if (linkType != kLinkNone) {
    row.anchorName = "tshark";
    row.anchor = timeTshark(settings, pcapPath, linkType);
  } else if (std::strcmp(workload.name, "listing") == 0 && row.qvconv.completed) {
    const fs::path copyPath = reportPath.string() + ".copy";
    row.anchorName = "cp";
    row.anchor = timeRuns(
        settings, {"/bin/cp", reportPath.string(), copyPath.string()}, "", "/dev/null",
        [] { return true; }, "", copyPath);
    std::error_code ignored;
    fs::remove(copyPath, ignored);
  }
}

// Generates the capture, converts it and removes the files again (unless kept). With
// anchors, also times what the conversion is measured against.
Measurement measure(const Settings& settings, const fs::path& dir, const Workload& workload,
                    size_t monitorBytes, const std::string& tag, uint64_t& frames,
                    AnchorRow* anchors = nullptr) {
  Measurement m;
  const std::string base = std::string(workload.name) + "-" + tag;
  const fs::path capturePath = dir / (base + ".cap");
  const fs::path reportPath = dir / (base + ".txt");
  const fs::path consolePath = dir / (base + ".console");
  const fs::path pcapPath = dir / (base + ".pcap");
  LinkType linkType = kLinkNone;  // stays so when there is no pcap file to time TShark on
  {
    const Capture capture = makeCapture(workload, monitorBytes);
    frames = capture.frames;
    m.fileBytes = writeCapture(capturePath, capture);
    if (anchors != nullptr && settings.anchors && !settings.tshark.empty() &&
        capture.linkFrames.count() > 0 && capture.linkFrames.writePcap(pcapPath))
      linkType = capture.linkFrames.type();
  }
  if (m.fileBytes == 0) {
    std::fprintf(stderr, "qvbench: cannot write %s\n", capturePath.c_str());
    return m;
  }
  std::fprintf(stderr, "  %-24s %-8s ", workload.name, tag.c_str());
  const std::string answers =
      capturePath.string() + "\n" + reportPath.string() + "\n" + workload.answers;
  const uint64_t fileBytes = m.fileBytes;
  m = timeRuns(
      settings, {settings.qvconv}, answers, consolePath,
      [&] { return consoleSaysComplete(consolePath); }, "", reportPath);
  m.fileBytes = fileBytes;
  if (m.completed) m.frameLines = countFrameLines(reportPath);
  std::fprintf(stderr, "%s\n", m.child.timedOut ? "timed out" : m.completed ? "done" : "FAILED");
  if (anchors != nullptr) {
    anchors->family = workload.name;
    anchors->qvconv = m;
    if (settings.anchors || !settings.baseline.empty())
      measureAnchors(settings, workload, capturePath, reportPath, pcapPath, linkType, *anchors);
  }
  if (settings.keepDir.empty()) {
    std::error_code ignored;
    for (const fs::path& path : {capturePath, reportPath, consolePath, pcapPath})
      fs::remove(path, ignored);
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

void printRealisticRow(const Settings& settings, const Workload& workload, size_t monitorBytes,
                       uint64_t frames, const Measurement& m) {
  const double rssMiB = static_cast<double>(m.child.peakRssKiB) / 1024.0;
  const double overFile = rssMiB - static_cast<double>(m.fileBytes) / kMiB;
  if (!m.completed) {
    std::printf("| %s | %.0f | %s | | | %.1f | %.1f | | missed |\n", workload.name,
                static_cast<double>(monitorBytes) / kMiB,
                seconds(m, settings.timeoutSeconds).c_str(), rssMiB, overFile);
    return;
  }
  std::string lines = "n/a";
  if (workload.oneLinePerFrame)
    lines = m.frameLines == static_cast<int64_t>(frames)
                ? "ok"
                : std::to_string(m.frameLines) + " of " + std::to_string(frames);
  const double mbs = static_cast<double>(monitorBytes) / 1e6 / m.child.seconds;
  const double target =
      std::strcmp(workload.name, "listing") == 0 ? kListingTargetMBs : kFrameTargetMBs;
  const bool met = mbs >= target && overFile <= kRssSlackMiB;
  std::printf("| %s | %.0f | %.2f | %.1f | %.0f | %.1f | %.1f | %s | %s |\n", workload.name,
              static_cast<double>(monitorBytes) / kMiB, m.child.seconds, mbs,
              static_cast<double>(frames) / m.child.seconds, rssMiB, overFile, lines.c_str(),
              met ? "met" : "missed");
}

std::string cpu(const Measurement& m) {
  char text[32];
  std::snprintf(text, sizeof text, m.completed ? "%.3f" : "failed", m.cpuSeconds);
  return text;
}

// TShark: how many times qvconv's CPU time it takes (the more the better). cp: how many
// times the copy's CPU time the conversion takes (the less the better).
double anchorFactor(const AnchorRow& row, const Measurement& converter) {
  if (row.anchorName == "tshark") return row.anchor.cpuSeconds / converter.cpuSeconds;
  return converter.cpuSeconds / row.anchor.cpuSeconds;
}

bool anchorGoalMet(const AnchorRow& row, double factor) {
  return row.anchorName == "tshark" ? factor >= kTsharkFactorGoal : factor <= kWriteFloorFactorGoal;
}

std::string factorText(const AnchorRow& row, const Measurement& converter) {
  if (!converter.completed || !row.anchor.completed || converter.cpuSeconds <= 0 ||
      row.anchor.cpuSeconds <= 0)
    return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", anchorFactor(row, converter));
  return text;
}

void anchorTable(const Settings& settings, const std::vector<AnchorRow>& rows) {
  const bool withBaseline = !settings.baseline.empty();
  std::printf("\n### Anchors: TShark on the same frames, cp of the listing's report\n\n");
  std::printf(
      "| Family | qvconv CPU s | qvconv wall s | Anchor | Anchor CPU s | Anchor wall s | Factor "
      "|%s Goal |\n",
      withBaseline ? " Baseline CPU s | Baseline factor | Same report |" : "");
  std::printf("|---|---:|---:|---|---:|---:|---:|%s---|\n", withBaseline ? "---:|---:|---|" : "");
  for (const AnchorRow& row : rows) {
    const bool anchored = !row.anchorName.empty();
    std::string verdict = "";
    if (anchored && factorText(row, row.qvconv) != "n/a") {
      verdict = anchorGoalMet(row, anchorFactor(row, row.qvconv)) ? "met" : "missed";
    }
    std::string baselineCells;
    if (withBaseline) {
      const Measurement none;
      const Measurement& b = row.baseline ? *row.baseline : none;
      char cells[96];
      std::snprintf(cells, sizeof cells, " %s | %s | %s |", row.baseline ? cpu(b).c_str() : "n/a",
                    anchored && row.baseline ? factorText(row, b).c_str() : "",
                    row.sameReport ? "yes" : "NO");
      baselineCells = cells;
    }
    std::printf("| %s | %s | %.3f | %s | %s | %s | %s |%s %s |\n", row.family.c_str(),
                cpu(row.qvconv).c_str(), row.qvconv.child.seconds,
                anchored ? row.anchorName.c_str() : "none", anchored ? cpu(row.anchor).c_str() : "",
                anchored ? seconds(row.anchor, settings.timeoutSeconds, "%.3f").c_str() : "",
                anchored ? factorText(row, row.qvconv).c_str() : "", baselineCells.c_str(),
                verdict.c_str());
  }
  std::printf(
      "\nCPU time is user plus system time of the process (wait4), the least of the runs. Factor "
      "for\n"
      "tshark: TShark's CPU time over qvconv's on the same frames written as a pcap file (goal at "
      "least\n"
      "%.0f); for cp: the conversion's CPU time over that of copying its report (goal at most "
      "%.0f).\n",
      kTsharkFactorGoal, kWriteFloorFactorGoal);
  if (settings.tshark.empty() && settings.anchors)
    std::printf("TShark was not found: no TShark anchors.\n");
}

// TShark's own start-up: the CPU time it takes to read a pcap file without frames.
void tsharkStartup(const Settings& settings, const fs::path& dir) {
  const fs::path emptyPath = dir / "empty.pcap";
  if (!LinkFrames(kLinkPppWithDir).writePcap(emptyPath)) return;
  const Measurement m = timeTshark(settings, emptyPath, kLinkPppWithDir);
  std::printf("TShark on a pcap file without frames (its start-up): %s s CPU, %s s wall.\n",
              cpu(m).c_str(), seconds(m, settings.timeoutSeconds, "%.3f").c_str());
  std::error_code ignored;
  fs::remove(emptyPath, ignored);
}

void realisticTable(const Settings& settings, const fs::path& dir) {
  const size_t monitorBytes = static_cast<size_t>(settings.realisticMiB * kMiB) / 4 * 4;
  std::printf("\n### Realistic captures, %.0f MiB of monitor data each\n\n",
              static_cast<double>(monitorBytes) / kMiB);
  std::printf(
      "| Family | Monitor MiB | Seconds | MB/s | Frames/s | Peak RSS MiB | RSS - file MiB | Frame "
      "lines | Targets |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---|---|\n");
  std::fflush(stdout);
  std::vector<AnchorRow> anchors;
  for (const Workload& workload : realisticWorkloads()) {
    if (!selected(settings, workload)) continue;
    uint64_t frames = 0;
    AnchorRow& row = anchors.emplace_back();
    const Measurement m = measure(settings, dir, workload, monitorBytes, "real", frames, &row);
    printRealisticRow(settings, workload, monitorBytes, frames, m);
    std::fflush(stdout);
  }
  std::printf(
      "\nTargets: listing at least %.0f MB/s, every frame runner at least %.0f MB/s (1 MB = 10^6 "
      "bytes of\n"
      "monitor data), peak RSS at most the capture file size plus %.0f MiB. For the listing the "
      "frames are\n"
      "messages and for BSC transmission blocks.\n",
      kListingTargetMBs, kFrameTargetMBs, kRssSlackMiB);
  if (settings.anchors || !settings.baseline.empty()) anchorTable(settings, anchors);
  if (settings.anchors && !settings.tshark.empty()) tsharkStartup(settings, dir);
}

void adversarialTable(const Settings& settings, const fs::path& dir) {
  const unsigned base = settings.adversarialBaseKiB;
  std::printf("\n### Adversarial captures, %u, %u and %u KiB of monitor data\n\n", base, 4 * base,
              16 * base);
  std::printf("| Case | %u KiB s | %u KiB s | %u KiB s | 16x/1x time | Verdict |\n", base, 4 * base,
              16 * base);
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
      runs[i] = measure(settings, dir, workload, size_t{factors[i]} * base * 1024,
                        std::to_string(factors[i]) + "x", frames);
      gaveUp = runs[i].child.timedOut;
    }
    std::string ratio = "n/a";
    const char* verdict = growthVerdict(runs, settings.timeoutSeconds, ratio);
    const double limit = settings.timeoutSeconds;
    std::printf("| %s | %s | %s | %s | %s | %s |\n", workload.name,
                seconds(runs[0], limit, "%.3f").c_str(), seconds(runs[1], limit, "%.3f").c_str(),
                seconds(runs[2], limit, "%.3f").c_str(), ratio.c_str(), verdict);
    std::fflush(stdout);
  }
  std::printf(
      "\nTarget: the largest capture takes at most %.0f times as long as the smallest (linear "
      "growth\n"
      "gives 16). A size not run because a smaller one of the same case already timed out shows as "
      "the\n"
      "timeout.\n",
      kGrowthLimit);
}

// ---- the pcapng export ----

// The enhanced packet blocks of a pcapng file, walked block by block; -1 when the file
// cannot be read or a block length is out of place.
int64_t countPackets(const fs::path& path, uint64_t& bytes) {
  std::ifstream in(path, std::ios::binary);
  bytes = 0;
  if (!in) return -1;
  int64_t packets = 0;
  uint8_t head[8];
  while (in.read(reinterpret_cast<char*>(head), 8)) {
    const uint32_t type = readLe32(head);
    const uint32_t length = readLe32(head + 4);
    if (length < 12 || length % 4 != 0) return -1;
    if (type == 6) ++packets;
    bytes += length;
    in.seekg(length - 8, std::ios::cur);
  }
  return packets;
}

struct ExportMeasurement {
  Measurement run;
  int64_t packets = -1;
  uint64_t outputBytes = 0;
};

ExportMeasurement measureExport(const Settings& settings, const fs::path& dir,
                                const Workload& workload, size_t monitorBytes,
                                const std::string& tag, uint32_t snaplen, uint64_t& frames) {
  ExportMeasurement m;
  const std::string base = std::string(workload.name) + "-export-" + tag;
  const fs::path capturePath = dir / (base + ".cap");
  const fs::path outPath = dir / (base + ".pcapng");
  {
    const Capture capture = makeCapture(workload, monitorBytes);
    frames = capture.frames;
    m.run.fileBytes = writeCapture(capturePath, capture);
  }
  if (m.run.fileBytes == 0) return m;
  std::fprintf(stderr, "  %-24s %-12s ", workload.name, tag.c_str());
  const std::vector<std::string> argv = {
      settings.qvconv, "-w", outPath.string(), "-s", std::to_string(snaplen), capturePath.string()};
  const uint64_t fileBytes = m.run.fileBytes;
  m.run = timeRuns(
      settings, argv, "", "/dev/null", [] { return true; }, "", outPath);
  m.run.fileBytes = fileBytes;
  if (m.run.completed) m.packets = countPackets(outPath, m.outputBytes);
  std::fprintf(stderr, "%s\n",
               m.run.child.timedOut ? "timed out"
               : m.run.completed    ? "done"
                                    : "FAILED");
  std::error_code ignored;
  if (settings.keepDir.empty()) fs::remove(capturePath, ignored);
  fs::remove(outPath, ignored);
  return m;
}

constexpr uint32_t kDefaultSnaplen = 65535;
constexpr double kPppExportFramesPerSecond = 1e6;

void exportTable(const Settings& settings, const fs::path& dir) {
  const size_t monitorBytes = static_cast<size_t>(settings.realisticMiB * kMiB) / 4 * 4;
  std::printf("\n### pcapng export, %.0f MiB of monitor data each, default snaplen\n\n",
              static_cast<double>(monitorBytes) / kMiB);
  std::printf("| Family | Seconds | MB/s | Frames/s | Output MB | Packets | Target |\n");
  std::printf("|---|---:|---:|---:|---:|---|---|\n");
  std::fflush(stdout);
  for (const Workload& workload : realisticWorkloads()) {
    if (!workload.oneLinePerFrame || !selected(settings, workload)) continue;
    uint64_t frames = 0;
    const ExportMeasurement m =
        measureExport(settings, dir, workload, monitorBytes, "real", kDefaultSnaplen, frames);
    if (!m.run.completed) {
      std::printf("| %s | %s | | | | | missed |\n", workload.name,
                  seconds(m.run, settings.timeoutSeconds).c_str());
      continue;
    }
    const double secs = m.run.child.seconds;
    // I2C exports one packet per message, not per transaction.
    const bool perFrame = std::strcmp(workload.name, "i2c") != 0;
    const std::string packets = !perFrame ? std::to_string(m.packets)
                                : m.packets == static_cast<int64_t>(frames)
                                    ? "ok"
                                    : std::to_string(m.packets) + " of " + std::to_string(frames);
    const char* target = "";
    if (std::strcmp(workload.name, "ppp-translate") == 0)
      target = static_cast<double>(frames) / secs >= kPppExportFramesPerSecond ? "met" : "missed";
    std::printf("| %s | %.2f | %.1f | %.0f | %.1f | %s | %s |\n", workload.name, secs,
                static_cast<double>(monitorBytes) / 1e6 / secs, static_cast<double>(frames) / secs,
                static_cast<double>(m.outputBytes) / 1e6, packets.c_str(), target);
    std::fflush(stdout);
  }
  std::printf(
      "\nTarget: at least %.0f frames a second on the PPP workload. MB/s counts the monitor data "
      "read.\n",
      kPppExportFramesPerSecond);
}

// Captures whose frames each hold everything after them: at a large snaplen their export
// itself grows with the square of the capture, so only the small snaplen is timed.
bool outputGrowsWithTheSquare(const Workload& workload) {
  return std::strcmp(workload.name, "ppp-open-every-char") == 0 ||
         std::strcmp(workload.name, "hdlc-stamped-unclosed") == 0;
}

void exportGrowthTable(const Settings& settings, const fs::path& dir) {
  const unsigned base = settings.adversarialBaseKiB;
  std::printf("\n### pcapng export of the adversarial captures, %u, %u and %u KiB\n\n", base,
              4 * base, 16 * base);
  std::printf("| Case | Snaplen | %u KiB s | %u KiB s | %u KiB s | 16x/1x time | Verdict |\n", base,
              4 * base, 16 * base);
  std::printf("|---|---:|---:|---:|---:|---:|---|\n");
  std::fflush(stdout);
  for (const Workload& workload : adversarialWorkloads()) {
    if (!selected(settings, workload)) continue;
    for (const uint32_t snaplen : {uint32_t{64}, kDefaultSnaplen}) {
      if (snaplen == kDefaultSnaplen && outputGrowsWithTheSquare(workload)) {
        std::printf("| %s | %u | | | | | output grows with the square: not timed |\n",
                    workload.name, snaplen);
        continue;
      }
      Measurement runs[3];
      const unsigned factors[3] = {1, 4, 16};
      bool gaveUp = false;
      for (int i = 0; i < 3; ++i) {
        if (gaveUp) {
          runs[i].child.timedOut = true;
          continue;
        }
        uint64_t frames = 0;
        runs[i] = measureExport(settings, dir, workload, size_t{factors[i]} * base * 1024,
                                std::to_string(factors[i]) + "x-s" + std::to_string(snaplen),
                                snaplen, frames)
                      .run;
        gaveUp = runs[i].child.timedOut;
      }
      std::string ratio = "n/a";
      const char* verdict = growthVerdict(runs, settings.timeoutSeconds, ratio);
      const double limit = settings.timeoutSeconds;
      std::printf("| %s | %u | %s | %s | %s | %s | %s |\n", workload.name, snaplen,
                  seconds(runs[0], limit, "%.3f").c_str(), seconds(runs[1], limit, "%.3f").c_str(),
                  seconds(runs[2], limit, "%.3f").c_str(), ratio.c_str(), verdict);
      std::fflush(stdout);
    }
  }
}

std::string cpuModel() {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  return "unknown CPU";
}

// The program's path when an executable of that name is on the PATH, else empty.
std::string onPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

int run(Settings settings) {
  if (settings.anchors && settings.tshark.empty()) settings.tshark = onPath("tshark");
  if (!settings.baseline.empty() && access(settings.baseline.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "qvbench: cannot run the baseline %s\n", settings.baseline.c_str());
    return 1;
  }
  if (access(settings.qvconv.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "qvbench: cannot run %s (build qvconv, or give --qvconv PATH)\n",
                 settings.qvconv.c_str());
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
  std::printf(
      "## qvbench, %s\n\n%s, %ld online CPUs; qvconv: %s (build type %s); fastest of %d run%s\n",
      date, cpuModel().c_str(), sysconf(_SC_NPROCESSORS_ONLN), settings.qvconv.c_str(),
      QV_BUILD_TYPE, settings.repeat, settings.repeat == 1 ? "" : "s");
  if (!settings.baseline.empty()) std::printf("Baseline: %s\n", settings.baseline.c_str());
  if (!settings.tshark.empty()) std::printf("TShark: %s\n", settings.tshark.c_str());
  if (settings.realistic) realisticTable(settings, dir);
  if (settings.adversarial) adversarialTable(settings, dir);
  if (settings.exports) {
    exportTable(settings, dir);
    exportGrowthTable(settings, dir);
  }
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
