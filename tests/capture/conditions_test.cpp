// Decoding of the DINF measurement-conditions image into the program's own layout.
#include "capture/conditions.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>
#include <vector>

#include "capture_builder.h"

namespace qv {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes le32(uint32_t value) {
  Bytes bytes(4);
  writeLe32(bytes.data(), value);
  return bytes;
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A block whose size word counts itself and the payload.
Bytes block(const Bytes& payload) {
  return join({le32(static_cast<uint32_t>(4 + payload.size())), payload});
}
// A block with a size word that need not match its contents.
Bytes rawBlock(uint32_t size, const Bytes& payload) { return join({le32(size), payload}); }
Bytes container(const Bytes& inner) { return block(inner); }
Bytes filled(size_t count, uint8_t value) { return Bytes(count, value); }

// The setup block: four header bytes, then the sub-blocks.
Bytes setup(std::initializer_list<Bytes> subBlocks) {
  Bytes body = filled(4, 0xEE);
  for (const Bytes& sub : subBlocks) body.insert(body.end(), sub.begin(), sub.end());
  return block(body);
}

Bytes image(std::initializer_list<Bytes> topBlocks) {
  Bytes body;
  for (const Bytes& top : topBlocks) body.insert(body.end(), top.begin(), top.end());
  return join({le32(static_cast<uint32_t>(4 + body.size())), body});
}

Bytes basic(int8_t mode, int8_t protocol) {
  return block({static_cast<uint8_t>(mode), static_cast<uint8_t>(protocol), 0, 0});
}

// A line block payload with the speeds and the code byte set.
Bytes linePayload(size_t size, int32_t send, int32_t receive, uint8_t code) {
  Bytes payload = filled(size, 0);
  writeLe32(&payload[0], static_cast<uint32_t>(send));
  writeLe32(&payload[4], static_cast<uint32_t>(receive));
  if (size > 8) payload[8] = code;
  return payload;
}

struct Decoded {
  MeasureConditions conditions;
  int result = -1;
};

// Decodes from an exactly sized heap copy, so that any read past the chunk is caught.
int decodeInto(MeasureConditions& conditions, const Bytes& chunk) {
  std::vector<uint8_t> exact(chunk.begin(), chunk.end());
  return decodeConditions(conditions, exact.empty() ? nullptr : exact.data(),
                          static_cast<uint32_t>(exact.size()));
}

Decoded decodeFresh(const Bytes& chunk) {
  Decoded decoded;
  resetConditions(decoded.conditions);
  decoded.result = decodeInto(decoded.conditions, chunk);
  return decoded;
}

uint32_t wordAt(const MeasureConditions& conditions, size_t offset) {
  return readLe32(&conditions.image[offset]);
}

// Expects the given bytes and little-endian words of the decoded image, by offset.
void expectBytes(const MeasureConditions& conditions,
                 std::initializer_list<std::pair<size_t, uint8_t>> bytes) {
  for (auto [offset, value] : bytes)
    EXPECT_EQ(conditions.image[offset], value) << "byte " << offset;
}
void expectWords(const MeasureConditions& conditions,
                 std::initializer_list<std::pair<size_t, uint32_t>> words) {
  for (auto [offset, value] : words)
    EXPECT_EQ(wordAt(conditions, offset), value) << "word " << offset;
}

MeasureConditions initialConditions() {
  MeasureConditions conditions;
  resetConditions(conditions);
  return conditions;
}

TEST(ConditionsReset, WritesOnlyTheProgramsSizeWords) {
  MeasureConditions conditions;
  conditions.image.fill(0xAB);
  conditions.byteLength = 99;
  resetConditions(conditions);

  const std::pair<size_t, uint32_t> sizeWords[] = {
      {0, 1216}, {4, 628},  {12, 8},   {20, 8},   {28, 56},   {32, 40}, {84, 496},
      {88, 8},   {580, 32}, {612, 20}, {616, 16}, {632, 584}, {700, 4},
  };
  MeasureConditions expected{};
  for (auto [offset, size] : sizeWords) writeLe32(&expected.image[offset], size);
  EXPECT_EQ(conditions.image, expected.image);
  EXPECT_EQ(conditions.byteLength, 0u);
  EXPECT_EQ(conditions.protocol(), 0);
}

TEST(ConditionsDecode, ImageInTheProgramsOwnSizesReadsBackEveryField) {
  const build::Conditions in{.measureMode = 3,
                             .protocol = 2,
                             .stampFlag1 = 1,
                             .stampFlag2 = 2,
                             .lineStateRecorded = 1,
                             .sendSpeed = 640000,
                             .receiveSpeed = 192000,
                             .code = 4,
                             .charBits = 2,
                             .parity = 5,
                             .stopBitsOrClock = 3,
                             .format = 2,
                             .checkKind = 2,
                             .sendAddressEnabled = 1,
                             .sendAddress = 0xC1,
                             .receiveAddressEnabled = 1,
                             .receiveAddress = 0x03,
                             .frameProtocol = 4,
                             .packetProtocol = 1,
                             .filterMask = {0, 0, 0x0F, 0xF0},
                             .filterPattern = {0, 0, 0x05, 0xA5}};

  const Decoded out = decodeFresh(build::dinfData(in));
  const MeasureConditions& c = out.conditions;
  EXPECT_EQ(out.result, 1);
  const std::tuple<const char*, int, int> fields[] = {
      {"mode", c.measureMode(), 3},
      {"protocol", c.protocol(), 2},
      {"stamp1", c.stampFlag1(), 1},
      {"stamp2", c.stampFlag2(), 2},
      {"lines", c.lineStateRecorded(), 1},
      {"send", c.sendSpeed(), 640000},
      {"receive", c.receiveSpeed(), 192000},
      {"code", c.code(), 4},
      {"bits", c.charBits(), 2},
      {"parity", c.parity(), 5},
      {"clock", c.clock(), 3},
      {"format", c.format(), 2},
      {"check", c.checkKind(), 2},
      {"sdOn", c.sendAddressEnabled(), 1},
      {"sd", c.sendAddress(), 0xC1},
      {"rdOn", c.receiveAddressEnabled(), 1},
      {"rd", c.receiveAddress(), 0x03},
      {"frame", c.frameProtocol(), 4},
      {"packet", c.packetProtocol(), 1},
      {"mask3", c.frameFilter(3).mask, 0xF0},
      {"pattern3", c.frameFilter(3).pattern, 0xA5},
      {"mask2", c.frameFilter(2).mask, 0x0F},
      {"pattern2", c.frameFilter(2).pattern, 0x05},
  };
  for (auto [name, actual, expected] : fields) EXPECT_EQ(actual, expected) << name;
  // Size words are the program's own for the decoded protocol and mode.
  expectWords(c, {{32, 52}, {88, 12}, {700, 48}});
}

TEST(ConditionsDecode, LongerLineBlockIsTruncatedAndTheWalkGoesOnAfterItsContainer) {
  Bytes line = linePayload(56, 96000, 48000, 1);
  line[30] = 4;     // frameProtocol
  line[47] = 0x5A;  // last byte the program keeps (frame filter 4, byte 3)
  line[48] = 0x77;  // beyond the program's 52-byte HDLC line block
  const Bytes lineContainer = container(block(line));  // 64 bytes holding a 60-byte block
  const Bytes mode = container(block({0x11, 0x22, 0x33, 0x44}));

  const Decoded out =
      decodeFresh(image({setup({basic(0, 2), block(filled(4, 0)), lineContainer, mode})}));
  const MeasureConditions& c = out.conditions;
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(c.sendSpeed(), 96000);
  EXPECT_EQ(c.receiveSpeed(), 48000);
  EXPECT_EQ(c.frameProtocol(), 4);
  expectBytes(c, {{83, 0x5A}, {92, 0x11}, {95, 0x44}});
  expectWords(c, {{84, 496}, {32, 52}});
}

TEST(ConditionsDecode, ShortLineBlockLeavesTheRestOfTheLineCleared) {
  MeasureConditions conditions = initialConditions();
  decodeInto(conditions, build::dinfData({.code = 7, .parity = 2}));
  ASSERT_EQ(conditions.code(), 7);

  // A second chunk with a 12-byte ASYNC line block: only the speeds arrive.
  const Bytes shortLine = container(block(linePayload(8, 12000, 24000, 0)));
  EXPECT_EQ(decodeInto(conditions, image({setup({basic(0, 0), block(filled(4, 0)), shortLine})})),
            1);
  EXPECT_EQ(conditions.sendSpeed(), 12000);
  EXPECT_EQ(conditions.receiveSpeed(), 24000);
  EXPECT_EQ(conditions.code(), 0);
  EXPECT_EQ(conditions.parity(), 0);
  EXPECT_EQ(wordAt(conditions, 32), 40u);
}

TEST(ConditionsDecode, SecondChunkOverridesWhatItCarriesAndKeepsTheRest) {
  MeasureConditions conditions = initialConditions();
  decodeInto(conditions,
             build::dinfData(
                 {.protocol = 2, .stampFlag1 = 1, .lineStateRecorded = 1, .sendAddress = 0x42}));

  // The second chunk's recording block is only 6 bytes long: payload bytes 2-3 are kept.
  const Bytes recording = block({0, 0});
  const Bytes line = container(block(linePayload(48, 300, 300, 0)));
  decodeInto(conditions, image({setup({basic(0, 8), recording, line})}));
  EXPECT_EQ(conditions.protocol(), 8);
  EXPECT_EQ(conditions.stampFlag1(), 0);
  EXPECT_EQ(conditions.lineStateRecorded(), 1);
  EXPECT_EQ(conditions.sendSpeed(), 300);
  EXPECT_EQ(conditions.sendAddress(), 0);  // containers are cleared again
}

TEST(ConditionsDecode, BasicBlockChecks) {
  // A 4-byte basic block has nothing to check and nothing to copy.
  const Bytes recording = block({0, 1, 0, 1});
  Decoded out = decodeFresh(image({setup({block({}), recording})}));
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.conditions.protocol(), 0);
  EXPECT_EQ(out.conditions.stampFlag1(), 1);

  // Unknown modes and protocols reject the basic block and everything after it.
  const std::pair<int8_t, int8_t> rejected[] = {{0, 7}, {0, 9}, {0, 11}, {0, -1}, {10, 2}, {-1, 2}};
  for (auto [mode, protocol] : rejected) {
    out = decodeFresh(image({setup({basic(mode, protocol), recording})}));
    EXPECT_EQ(out.result, 0) << int(mode) << "/" << int(protocol);
    EXPECT_EQ(out.conditions.image, initialConditions().image) << int(mode) << "/" << int(protocol);
  }

  // A 5-byte basic block checks the mode only.
  out = decodeFresh(image({setup({block({9}), recording})}));
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.conditions.measureMode(), 9);
}

TEST(ConditionsDecode, Mode2DefaultWhenPayloadBytes4And5AreMissing) {
  const std::pair<uint8_t, uint16_t> defaults[] = {{1, 60}, {2, 240}, {0, 10}, {7, 10}};
  for (auto [byte1, expected] : defaults) {
    const Bytes mode = container(block({0, byte1, 0, 0}));  // 8-byte mode block
    const Decoded out =
        decodeFresh(image({setup({basic(2, 0), block({}), container(block({})), mode})}));
    EXPECT_EQ(readLe16(&out.conditions.image[96]), expected) << int(byte1);
    EXPECT_EQ(wordAt(out.conditions, 88), 12u);
  }
  // A whole 12-byte mode 2 block keeps the file's value.
  const Bytes whole = container(block({0, 2, 0, 0, 0x34, 0x12, 0, 0}));
  const Decoded out =
      decodeFresh(image({setup({basic(2, 0), block({}), container(block({})), whole})}));
  EXPECT_EQ(readLe16(&out.conditions.image[96]), 0x1234);
}

TEST(ConditionsDecode, SubBlock5LosesItsLastThreeBytes) {
  const Bytes sub5 = block(filled(28, 0x66));
  const Bytes sub6 = container(block(filled(12, 0x77)));
  const Decoded out = decodeFresh(image(
      {setup({basic(0, 0), block({}), container(block({})), container(block({})), sub5, sub6})}));
  EXPECT_EQ(out.result, 1);
  expectBytes(out.conditions,
              {{584, 0x66}, {608, 0x66}, {609, 0}, {611, 0}, {620, 0x77}, {631, 0x77}});
}

TEST(ConditionsDecode, ShortSetupBlockContributesNothingButTheExtensionIsRead) {
  for (size_t size = 8; size < 12; ++size) {
    const Bytes shortSetup = block(filled(size - 4, 0x05));
    const Bytes extension = block(join({le32(0xCAFE), le32(0xBEEF)}));
    const Decoded out = decodeFresh(image({shortSetup, extension}));
    EXPECT_EQ(out.result, 1) << size;
    EXPECT_EQ(out.conditions.protocol(), 0) << size;
    EXPECT_EQ(wordAt(out.conditions, 636), 0xCAFEu) << size;
    EXPECT_EQ(wordAt(out.conditions, 640), 0xBEEFu) << size;
  }
}

TEST(ConditionsDecode, MalformedSizesEndTheDecodeKeepingWhatCameBefore) {
  const Bytes recording = block({0, 1, 0, 0});
  // A sub-block size below 4, then one beyond the setup block.
  for (uint32_t badSize : {0u, 3u, 200u}) {
    const Decoded out = decodeFresh(image(
        {setup({basic(0, 3), rawBlock(badSize, {}), recording}), block(join({le32(1), le32(2)}))}));
    EXPECT_EQ(out.result, 0) << badSize;
    EXPECT_EQ(out.conditions.protocol(), 3) << badSize;
    EXPECT_EQ(out.conditions.stampFlag1(), 0) << badSize;
    EXPECT_EQ(wordAt(out.conditions, 636), 0u) << badSize;  // extension never reached
  }
  // A line container whose inner block claims more than the container holds.
  const Bytes badContainer = join({le32(12), le32(9), filled(4, 0)});
  const Decoded out = decodeFresh(image({setup({basic(0, 1), recording, badContainer})}));
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.conditions.protocol(), 1);
  EXPECT_EQ(out.conditions.stampFlag1(), 1);
}

TEST(ConditionsDecode, NeverReadsBeyondTheChunk) {
  // The image size word claims far more than the chunk holds.
  Bytes chunk = build::dinfData(build::Conditions{});
  chunk.resize(30);
  writeLe32(chunk.data(), 0xFFFFFFF0u);
  Decoded out = decodeFresh(chunk);
  EXPECT_EQ(out.result, 0);  // the setup block runs past the bound
  EXPECT_EQ(out.conditions.image, initialConditions().image);

  for (size_t length = 0; length < 8; ++length) {
    out = decodeFresh(Bytes(length, 0x10));
    EXPECT_EQ(out.result, 1) << length;
    EXPECT_EQ(out.conditions.image, initialConditions().image) << length;
  }
  // A chunk cut inside the basic block's neighbour still takes the basic block.
  Bytes cut = image({setup({basic(0, 4), block({0, 0, 1, 0})})});
  cut.resize(cut.size() - 2);
  writeLe32(cut.data(), static_cast<uint32_t>(cut.size()));
  out = decodeFresh(cut);
  EXPECT_EQ(out.conditions.protocol(), 0);  // the setup block itself no longer fits
}

TEST(ConditionsDecode, ExtensionEntriesAndFinalBlockBySelector) {
  const auto extension = [](const Bytes& finalBlock) {
    return block(
        join({le32(1), le32(2), le32(3), block(filled(12, 0xA1)), le32(4), block(filled(8, 0xA2)),
              le32(5), block(filled(8, 0xA3)), le32(6), block(filled(4, 0xA4)), finalBlock}));
  };
  const Bytes bigFinal = block(filled(600, 0xF1));

  // Mode 3 keeps 48 bytes of the final block; the entries are clamped to their sizes.
  Decoded out = decodeFresh(image({setup({basic(3, 0)}), extension(bigFinal)}));
  EXPECT_EQ(out.result, 1);
  expectWords(out.conditions, {{644, 3}, {660, 4}, {688, 6}, {700, 48}});
  expectBytes(out.conditions, {{652, 0xA1}, {675, 0xA2}, {696, 0xA4}, {747, 0xF1}, {748, 0}});

  // Mode 9 sizes the final block by the mode block's first payload byte.
  const auto mode9 = [&](uint8_t selector) {
    Bytes modeBlock = filled(488, 0);
    modeBlock[0] = selector;
    return image(
        {setup({basic(9, 0), block({}), container(block({})), container(block(modeBlock))}),
         extension(bigFinal)});
  };
  // {selector, final block size word, a byte just inside or beyond it, its value}
  const std::tuple<uint8_t, uint32_t, int, uint8_t> mode9Cases[] = {
      {1, 516, 1215, 0xF1}, {0, 12, 712, 0}, {2, 0, 704, 0}};
  for (auto [selector, size, offset, value] : mode9Cases) {
    out = decodeFresh(mode9(selector));
    EXPECT_EQ(out.result, 1) << int(selector);
    expectWords(out.conditions, {{700, size}});
    expectBytes(out.conditions, {{offset, value}});
  }
}

TEST(WordKind, ByProtocolAndParity) {
  // {protocol, parity, word kind}: the MP parity (5) matters only outside the other kinds.
  const std::tuple<int, uint8_t, uint8_t> kinds[] = {
      {1, 0, 4}, {2, 0, 0}, {8, 0, 0},  {3, 0, 3}, {4, 0, 3}, {5, 0, 2}, {10, 0, 5}, {0, 0, 0},
      {6, 0, 0}, {7, 0, 0}, {-3, 0, 0}, {0, 5, 1}, {6, 5, 1}, {9, 5, 1}, {1, 5, 4}};
  for (auto [protocol, parity, kind] : kinds) {
    MeasureConditions conditions = initialConditions();
    conditions.image[field::protocol] = static_cast<uint8_t>(protocol);
    conditions.image[field::parity] = parity;
    EXPECT_EQ(wordKindOf(conditions), kind) << protocol << "/" << int(parity);
  }
}

}  // namespace
}  // namespace qv
