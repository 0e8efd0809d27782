#include "driver/capture_source.h"

#include <filesystem>
#include <istream>
#include <new>
#include <sstream>

namespace qv {

namespace {

// Standard input is read a megabyte at a time.
constexpr size_t kReadPiece = 1 << 20;

std::string withoutNewline(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

LoadedCapture loadStandardInput(std::istream& in, int descriptor, CaptureFile& capture,
                                const LoadOptions& options) {
  LoadedCapture result;
  CaptureBuffer bytes;
  try {
    for (;;) {
      const size_t have = bytes.size();
      bytes.resize(have + kReadPiece);
      in.read(reinterpret_cast<char*>(bytes.data() + have), kReadPiece);
      bytes.resize(have + static_cast<size_t>(in.gcount()));
      // Like a file, a stream that does not start as a capture is refused before the
      // rest of it is read.
      if (bytes.size() > kLargestCaptureImage ||
          (bytes.size() >= 16 && !CaptureFile::startsWithMagic(bytes.data(), bytes.size()))) {
        result.message = "Data file error.";
        return result;
      }
      if (!in) break;
    }
  } catch (const std::bad_alloc&) {
    result.message = "Not enough memory.";
    return result;
  } catch (const std::length_error&) {
    result.message = "Not enough memory.";
    return result;
  }
  if (in.bad()) {
    result.message = "Data file read error.";
    return result;
  }
  result.size = bytes.size();
  if (!capture.loadImage(std::move(bytes), options)) {
    result.message = "Data file error.";
    return result;
  }
  // A capture redirected from a file is known by that file, so that no report is
  // written over it.
  if (descriptor >= 0) capture.rememberSourceFile(descriptor);
  result.loaded = true;
  return result;
}

}  // namespace

LoadedCapture loadCapture(const std::string& name, const StandardInput& standardInput,
                          CaptureFile& capture, const LoadOptions& options) {
  if (name == kStandardStream)
    return loadStandardInput(standardInput.stream, standardInput.descriptor, capture, options);
  LoadedCapture result;
  std::ostringstream console;
  result.loaded = capture.loadCaptureFile(name, console, options) != 0;
  result.message = withoutNewline(console.str());
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(name, error);
  if (result.loaded && !error) result.size = size;
  return result;
}

std::string displayName(const std::string& name) {
  return name == kStandardStream ? std::string(kStandardInputName) : name;
}

}  // namespace qv
