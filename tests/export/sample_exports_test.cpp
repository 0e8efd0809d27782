// Every sample capture that holds frames, exported and read back with libpcap and
// tshark, against the report the same capture gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "export_test_support.h"
#include "session.h"
#include "test_support.h"

namespace qv::test {
namespace {

struct SampleCase {
  const char* name;  // samples/<name>.cap with samples/<name>.answers
  int linkType;
  bool perMessage;  // I2C: one packet per message of a report line
  bool wellFormed;  // tshark must find no malformed packet among the sound frames
  std::vector<size_t> malformedContent;  // packets whose sample bytes tshark cannot follow
};

// The IrDA sample's SNRM (packet 5) ends in a negotiation parameter without its value,
// and its I frame (packet 8) carries four bytes that are no IrLMP PDU: the sample's own
// content, decoded as far as it goes.
const SampleCase kSamples[] = {
    {"lapd_q931", 203, false, true, {}},     {"ppp", 204, false, true, {}},
    {"irda", 144, false, true, {5, 8}},      {"i2c", 209, true, true, {}},
    {"x25_mod128", 252, false, false, {}},   {"sdlc_inband", 268, false, false, {}},
    {"sdlc_stamped", 268, false, false, {}}, {"hdlc_filter", 268, false, false, {}},
    {"spi", 252, false, false, {}},          {"async_dump", 252, false, false, {}},
};

void PrintTo(const SampleCase& c, std::ostream* out) { *out << c.name; }

std::vector<uint8_t> sampleBytes(const std::string& name) {
  std::ifstream in(std::string(QV_SOURCE_DIR) + "/samples/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct SampleRun {
  ReportFrames report;
  std::string pcapng;
};

SampleRun runSample(const std::string& name) {
  SampleRun run;
  const std::vector<uint8_t> capture = sampleBytes(name + ".cap");
  const Conversion conversion =
      convert(capture, readFile(std::string(QV_SOURCE_DIR) + "/samples/" + name + ".answers"));
  run.report = reportFrames(conversion.report);
  int status = -1;
  std::string error;
  run.pcapng = exportToFile(capture, ExportOptions{}, status, error, name);
  EXPECT_EQ(status, 0) << error;
  return run;
}

// I2C: the messages of a transaction line are separated by two blanks.
size_t messagesOf(const std::vector<std::string>& lines) {
  size_t messages = 0;
  for (const std::string& line : lines) {
    ++messages;
    for (size_t at = line.find_first_not_of(' ');
         (at = line.find("  ", at)) != std::string::npos;) {
      at = line.find_first_not_of(' ', at);
      if (at == std::string::npos) break;
      ++messages;
    }
  }
  return messages;
}

class SampleExport : public ::testing::TestWithParam<SampleCase> {};

TEST_P(SampleExport, LibpcapReadsOnePacketPerReportFrame) {
  const SampleCase& c = GetParam();
  const SampleRun run = runSample(c.name);
  ASSERT_FALSE(run.report.lines.empty());
  const ReadBack back = readWithLibpcap(run.pcapng);
  ASSERT_TRUE(back.opened) << back.error;
  EXPECT_EQ(back.error, "");
  EXPECT_EQ(back.linkType, c.linkType);
  const size_t expected = c.perMessage ? messagesOf(run.report.lines) : run.report.lines.size();
  EXPECT_EQ(back.packets.size(), expected);
}

TEST_P(SampleExport, TsharkSeesTheReportsDirectionsAndVerdicts) {
  QV_REQUIRE_TSHARK();
  const SampleCase& c = GetParam();
  const SampleRun run = runSample(c.name);
  const auto rows = tsharkFields(
      run.pcapng,
      {"frame.interface_name", "frame.packet_flags_crc_error", "_ws.malformed", "frame.comment"});
  if (c.perMessage) {
    EXPECT_EQ(rows.size(), messagesOf(run.report.lines));
  } else {
    ASSERT_EQ(rows.size(), run.report.lines.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      SCOPED_TRACE(run.report.lines[i]);
      EXPECT_EQ(rows[i].at(0) + ":", run.report.lines[i].substr(0, 3));
      const bool markedE = run.report.marks[i] == " E";
      EXPECT_EQ(rows[i].at(1), markedE ? "1" : "0");
    }
  }
  if (!c.wellFormed) return;
  // Frames with a bad check or an abnormal end are cut short on the line; only sound
  // frames must decode whole.
  for (size_t i = 0; i < rows.size(); ++i) {
    const bool sound = rows[i].at(1) == "0" && rows[i].at(3).rfind("Check mark", 0) != 0 &&
                       rows[i].at(3).rfind("Frame still open", 0) != 0;
    const bool known = std::find(c.malformedContent.begin(), c.malformedContent.end(), i + 1) !=
                       c.malformedContent.end();
    if (sound && !known) {
      EXPECT_EQ(rows[i].at(2), "") << "packet " << i + 1 << " is malformed";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleExport, ::testing::ValuesIn(kSamples));

// The decoded fields agree with the report's own translation, line by line.
struct SpotCase {
  const char* sample;
  const char* field;
  size_t column;  // where the report line shows the value
  size_t width;
  std::map<std::string, std::string> values;  // report text -> tshark value
};

TEST(SampleExportFields, AgreeWithTheReportColumns) {
  QV_REQUIRE_TSHARK();
  const SpotCase cases[] = {
      {"lapd_q931",
       "q931.message_type",
       13,
       9,
       {{"SETUP    ", "0x05"},
        {"CALL PROC", "0x02"},
        {"ALERT    ", "0x01"},
        {"CONN     ", "0x07"},
        {"CONN ACK ", "0x0f"},
        {"DISC     ", "0x45"},
        {"REL      ", "0x4d"},
        {"REL COMP ", "0x5a"}}},
      {"ppp",
       "ppp.protocol",
       10,
       8,
       {{"LCP     ", "0xc021"}, {"IPCP    ", "0x8021"}, {"IP      ", "0x0021"}}},
      {"x25_mod128",
       "x25.type",
       17,
       2,
       {{"CR", "0x0b"},
        {"CC", "0x0f"},
        {"DT", "0x00"},
        {"RR", "0x01"},
        {"IT", "0x23"},
        {"IF", "0x27"},
        {"CQ", "0x13"},
        {"CF", "0x17"}}},
  };
  for (const SpotCase& c : cases) {
    SCOPED_TRACE(c.sample);
    const SampleRun run = runSample(c.sample);
    const auto rows = tsharkFields(run.pcapng, {c.field});
    ASSERT_EQ(rows.size(), run.report.lines.size());
    int checked = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
      const std::string shown = run.report.lines[i].substr(c.column, c.width);
      const auto value = c.values.find(shown);
      if (value == c.values.end()) continue;
      EXPECT_EQ(rows[i].at(0), value->second) << run.report.lines[i];
      ++checked;
    }
    EXPECT_GT(checked, 0) << "no report line showed a known value";
  }
}

}  // namespace
}  // namespace qv::test
