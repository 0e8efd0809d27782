#include "export/pcapng_writer.h"

#include "capture/bytes.h"

namespace qv {

namespace {

constexpr uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
constexpr uint32_t kInterfaceDescriptionBlock = 0x00000001;
constexpr uint32_t kEnhancedPacketBlock = 0x00000006;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr size_t kFlushSize = 1 << 20;

size_t paddingOf(size_t length) { return (4 - length % 4) % 4; }

void appendLe16(std::string& out, uint16_t value) {
  uint8_t bytes[2];
  writeLe16(bytes, value);
  out.append(reinterpret_cast<const char*>(bytes), 2);
}

void appendLe32(std::string& out, uint32_t value) {
  uint8_t bytes[4];
  writeLe32(bytes, value);
  out.append(reinterpret_cast<const char*>(bytes), 4);
}

}  // namespace

// ---- options ----

void PcapngOptions::add(uint16_t code, const void* value, uint16_t length) {
  appendLe16(bytes_, code);
  appendLe16(bytes_, length);
  bytes_.append(static_cast<const char*>(value), length);
  bytes_.append(paddingOf(length), '\0');
}

void PcapngOptions::addText(uint16_t code, std::string_view text) {
  if (text.size() > 0xFFFC) text = text.substr(0, 0xFFFC);
  add(code, text.data(), static_cast<uint16_t>(text.size()));
}

void PcapngOptions::addU32(uint16_t code, uint32_t value) {
  uint8_t bytes[4];
  writeLe32(bytes, value);
  add(code, bytes, 4);
}

void PcapngOptions::addU64(uint16_t code, uint64_t value) {
  uint8_t bytes[8];
  writeLe32(bytes, static_cast<uint32_t>(value));
  writeLe32(bytes + 4, static_cast<uint32_t>(value >> 32));
  add(code, bytes, 8);
}

// ---- blocks ----

void PcapngWriter::put16(uint16_t value) { appendLe16(buffer_, value); }
void PcapngWriter::put32(uint32_t value) { appendLe32(buffer_, value); }

void PcapngWriter::putPadded(const void* data, size_t length) {
  if (length > 0) buffer_.append(static_cast<const char*>(data), length);
  buffer_.append(paddingOf(length), '\0');
}

void PcapngWriter::beginBlock(uint32_t type) {
  blockStart_ = buffer_.size();
  put32(type);
  put32(0);  // total length, filled in by endBlock
}

void PcapngWriter::endBlock(const PcapngOptions& options) {
  if (!options.empty()) {
    buffer_ += options.bytes();
    put32(0);  // opt_endofopt
  }
  const uint32_t total = static_cast<uint32_t>(buffer_.size() - blockStart_ + 4);
  writeLe32(reinterpret_cast<uint8_t*>(&buffer_[blockStart_ + 4]), total);
  put32(total);
  if (buffer_.size() >= kFlushSize) flush();
}

void PcapngWriter::sectionHeader(const PcapngOptions& options) {
  beginBlock(kSectionHeaderBlock);
  put32(kByteOrderMagic);
  put16(1);           // major version
  put16(0);           // minor version
  put32(0xFFFFFFFF);  // section length unknown (-1 as 64 bits)
  put32(0xFFFFFFFF);
  endBlock(options);
}

void PcapngWriter::interfaceDescription(uint16_t linkType, uint32_t snaplen,
                                        const PcapngOptions& options) {
  beginBlock(kInterfaceDescriptionBlock);
  put16(linkType);
  put16(0);
  put32(snaplen);
  endBlock(options);
}

void PcapngWriter::enhancedPacket(uint32_t interfaceId, uint64_t timestamp, const uint8_t* data,
                                  uint32_t capturedLength, uint32_t originalLength,
                                  const PcapngOptions& options) {
  beginBlock(kEnhancedPacketBlock);
  put32(interfaceId);
  put32(static_cast<uint32_t>(timestamp >> 32));
  put32(static_cast<uint32_t>(timestamp));
  put32(capturedLength);
  put32(originalLength);
  putPadded(data, capturedLength);
  endBlock(options);
}

bool PcapngWriter::flush() {
  if (!buffer_.empty() && !failed_ && out_ != nullptr) {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) failed_ = true;
  }
  buffer_.clear();
  if (out_ == nullptr) failed_ = true;
  return !failed_;
}

}  // namespace qv
