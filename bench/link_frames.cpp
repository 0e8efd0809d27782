#include "link_frames.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "capture/bytes.h"

namespace qv::bench {
namespace {

constexpr uint32_t kPcapMagic = 0xA1B2C3D4;
constexpr uint16_t kPcapMajor = 2, kPcapMinor = 4;
constexpr uint32_t kSnapLength = 65535;
// One frame every millisecond; only the order matters to the reader.
constexpr uint32_t kMicrosecondsApart = 1000;

// The IrDA header is the Linux "cooked" header: the packet type (0 incoming, 4
// outgoing), the hardware type, an empty address and the protocol.
constexpr uint16_t kIrdaIncoming = 0, kIrdaOutgoing = 4;
constexpr uint16_t kHardwareIrda = 783, kProtocolIrda = 0x0017;
constexpr size_t kIrdaHeaderSize = 16;

void putBe16(uint8_t* out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value >> 8);
  out[1] = static_cast<uint8_t>(value);
}

// The pseudo-header written ahead of a frame, by link type; its length.
size_t linkHeader(LinkType type, bool sent, uint8_t* header) {
  switch (type) {
    case kLinkPppWithDir: header[0] = sent ? 1 : 0; return 1;
    case kLinkLinuxIrda:
      std::fill(header, header + kIrdaHeaderSize, 0);
      putBe16(header, sent ? kIrdaOutgoing : kIrdaIncoming);
      putBe16(header + 2, kHardwareIrda);
      putBe16(header + 14, kProtocolIrda);
      return kIrdaHeaderSize;
    default: return 0;
  }
}

}  // namespace

std::vector<std::string> tsharkOptions(LinkType type) {
  if (type != kLinkUser0) return {};
  return {"-o", R"x(uat:user_dlts:"User 0 (DLT=147)","lapb","0","","0","")x"};
}

void LinkFrames::add(bool rd, const uint8_t* data, size_t size) {
  if (type_ == kLinkNone) return;
  const size_t at = records_.size();
  records_.resize(at + 5 + size);
  records_[at] = rd ? 0 : 1;
  writeLe32(&records_[at + 1], static_cast<uint32_t>(size));
  std::copy(data, data + size, records_.begin() + static_cast<std::ptrdiff_t>(at + 5));
  ++count_;
}

bool LinkFrames::writePcap(const std::string& path) const {
  if (type_ == kLinkNone) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::array<uint8_t, 24> file{};
  writeLe32(&file[0], kPcapMagic);
  writeLe16(&file[4], kPcapMajor);
  writeLe16(&file[6], kPcapMinor);
  writeLe32(&file[16], kSnapLength);
  writeLe32(&file[20], type_);
  out.write(reinterpret_cast<const char*>(file.data()), file.size());
  uint64_t micros = 0;
  for (size_t at = 0; at < records_.size(); micros += kMicrosecondsApart) {
    const bool sent = records_[at] != 0;
    const uint32_t size = readLe32(&records_[at + 1]);
    std::array<uint8_t, 16 + kIrdaHeaderSize> head{};
    const size_t headerSize = linkHeader(type_, sent, &head[16]);
    const uint32_t length = static_cast<uint32_t>(headerSize + size);
    writeLe32(&head[0], static_cast<uint32_t>(micros / 1000000));
    writeLe32(&head[4], static_cast<uint32_t>(micros % 1000000));
    writeLe32(&head[8], length);
    writeLe32(&head[12], length);
    out.write(reinterpret_cast<const char*>(head.data()),
              static_cast<std::streamsize>(16 + headerSize));
    out.write(reinterpret_cast<const char*>(&records_[at + 5]), size);
    at += 5 + size;
  }
  out.close();
  return static_cast<bool>(out);
}

}  // namespace qv::bench
