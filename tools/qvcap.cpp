// qvcap: builds a capture file from a short text description, for tests and samples.
//   qvcap DESCRIPTION.txt OUTPUT.cap
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "capture_builder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: qvcap DESCRIPTION.txt OUTPUT.cap\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "qvcap: cannot read " << argv[1] << "\n";
    return 1;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> image;
  std::string error;
  if (!qv::build::buildFromText(text, image, error)) {
    std::cerr << argv[1] << ": " << error << "\n";
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  out.close();
  if (!out) {
    std::cerr << "qvcap: cannot write " << argv[2] << "\n";
    return 1;
  }
  return 0;
}
