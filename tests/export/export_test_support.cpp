#include "export_test_support.h"

#include <pcap/pcap.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "capture/capture_file.h"
#include "test_support.h"

namespace qv::test {

namespace {

ReadBack readAll(pcap_t* handle, const char* error) {
  ReadBack result;
  if (handle == nullptr) {
    result.error = error;
    return result;
  }
  result.opened = true;
  result.linkType = pcap_datalink(handle);
  pcap_pkthdr* header = nullptr;
  const u_char* data = nullptr;
  int status = 0;
  while ((status = pcap_next_ex(handle, &header, &data)) == 1) {
    ReadPacket packet;
    packet.capturedLength = header->caplen;
    packet.microseconds = static_cast<uint64_t>(header->ts.tv_sec) * 1000000u +
                          static_cast<uint64_t>(header->ts.tv_usec);
    packet.originalLength = header->len;
    packet.data.assign(data, data + header->caplen);
    result.packets.push_back(std::move(packet));
  }
  if (status == PCAP_ERROR) result.error = pcap_geterr(handle);
  pcap_close(handle);
  return result;
}

}  // namespace

ReadBack readWithLibpcap(const std::string& path) {
  char error[PCAP_ERRBUF_SIZE] = "";
  return readAll(pcap_open_offline(path.c_str(), error), error);
}

ReadBack readWithLibpcap(const std::vector<uint8_t>& image) {
  char error[PCAP_ERRBUF_SIZE] = "";
  std::FILE* file = fmemopen(const_cast<uint8_t*>(image.data()), image.size(), "rb");
  if (file == nullptr) return ReadBack{};
  pcap_t* handle = pcap_fopen_offline(file, error);
  if (handle == nullptr) std::fclose(file);
  return readAll(handle, error);
}

std::string exportToFile(const std::vector<uint8_t>& capture, ExportOptions options, int& status,
                         std::string& error, const std::string& name) {
  CaptureFile file;
  file.loadImage(capture);
  const std::string path = tempPath(name + ".pcapng");
  if (options.captureName.empty()) options.captureName = name + ".cap";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  status = exportPcapng(file, options, out, error);
  std::fclose(out);
  return path;
}

bool onCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

bool tsharkPresent() {
  static const bool present = std::system("tshark -v >/dev/null 2>&1") == 0;
  return present;
}

std::vector<std::vector<std::string>> tsharkFields(const std::string& path,
                                                   const std::vector<std::string>& fields) {
  std::string command = "tshark -r '" + path + "' -T fields -E separator=/t -E occurrence=f";
  for (const std::string& field : fields) command += " -e " + field;
  command += " 2>/dev/null";
  std::vector<std::vector<std::string>> rows;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return rows;
  std::string text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
  pclose(pipe);
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> row;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      row.push_back(line.substr(start, tab - start));
    row.push_back(line.substr(start));
    rows.push_back(std::move(row));
  }
  return rows;
}

ReportFrames reportFrames(const std::string& report) {
  ReportFrames frames;
  std::istringstream lines(report);
  std::string line;
  size_t markColumn = std::string::npos;
  bool inFrames = false;
  while (std::getline(lines, line)) {
    if (!inFrames) {
      if (!line.empty() && line[0] == '-') {
        inFrames = true;
        markColumn = line.find("FC");
      }
      continue;
    }
    if (line.empty()) continue;
    frames.lines.push_back(line);
    frames.marks.push_back(markColumn < line.size() ? line.substr(markColumn, 2) : "");
  }
  return frames;
}

}  // namespace qv::test
