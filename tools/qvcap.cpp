// qvcap: builds a capture file from a short text description, for tests and samples.
//   qvcap DESCRIPTION.txt OUTPUT.cap
// "-" reads the description from standard input or writes the capture to standard output.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "capture_builder.h"

namespace {

constexpr const char* kUsage =
    "usage: qvcap DESCRIPTION.txt OUTPUT.cap\n"
    "Builds a capture file from a text description; \"-\" reads the description from\n"
    "standard input or writes the capture to standard output.\n";

// Control characters from a description or a file name would act on the terminal.
std::string printable(std::string_view text) {
  std::string shown;
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    } else {
      shown += ch;
    }
  }
  return shown;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "qvcap: %s\n", message.c_str());
  return 1;
}

std::string systemReason() { return std::strerror(errno); }

// False with a reason when the file cannot be read whole.
bool readAll(std::FILE* in, std::string& text, std::string& reason) {
  char block[65536];
  size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, in)) > 0) text.append(block, got);
  if (std::ferror(in)) {
    reason = systemReason();
    return false;
  }
  return true;
}

bool readDescription(const std::string& name, std::string& text, std::string& reason) {
  if (name == "-") return readAll(stdin, text, reason);
  std::FILE* in = std::fopen(name.c_str(), "rb");
  if (in == nullptr) {
    reason = systemReason();
    return false;
  }
  const bool ok = readAll(in, text, reason);
  std::fclose(in);
  return ok;
}

bool writeCapture(const std::string& name, const std::vector<uint8_t>& image, std::string& reason) {
  const bool toStandardOutput = name == "-";
  std::FILE* out = toStandardOutput ? stdout : std::fopen(name.c_str(), "wb");
  if (out == nullptr) {
    reason = systemReason();
    return false;
  }
  bool ok = std::fwrite(image.data(), 1, image.size(), out) == image.size();
  ok = (toStandardOutput ? std::fflush(out) : std::fclose(out)) == 0 && ok;
  if (!ok) {
    reason = systemReason();
    // A capture cut short by a full disk must not be mistaken for a whole one.
    if (!toStandardOutput) std::remove(name.c_str());
  }
  return ok;
}

int run(const std::string& descriptionName, const std::string& outputName) {
  std::string text;
  std::string reason;
  if (!readDescription(descriptionName, text, reason)) {
    return fail("cannot read " + printable(descriptionName) + ": " + reason);
  }
  std::vector<uint8_t> image;
  std::string error;
  if (!qv::build::buildFromText(text, image, error)) {
    std::fprintf(stderr, "%s: %s\n", printable(descriptionName).c_str(), printable(error).c_str());
    return 1;
  }
  if (!writeCapture(outputName, image, reason)) {
    return fail("cannot write " + printable(outputName) + ": " + reason);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc != 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    return run(argv[1], argv[2]);
  } catch (const std::exception& e) {
    return fail(e.what());
  }
}
