// Whole frame translation reports through the operator dialogue, one row per capture
// and set of answers; the captures and expected reports are kept as text beside this
// file (captures/*.qvcap, golden/*.txt).
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

#include "session.h"
#include "test_support.h"

namespace qv::test {
namespace {

struct ReportCase {
  const char* capture;  // captures/<name>.qvcap
  const char* answers;  // the answers after the two file names
  const char* golden;   // golden/<name>.txt
};

// Answers: print format 2 (Translate), data line (1 SD & RD, 2 SD), then where the
// protocol asks: the ASYNC frame type (2 Other), the HDLC level (1 Frame, 2 Packet) or
// the PPP kind (1 Translation, 2 Dump).
constexpr ReportCase kReports[] = {
    // ASYNC frames cut at time stamps; a counter stamp neither opens nor ends a frame,
    // and the frame found again after it is reported once.
    {"async_stamped", "2\n1\n2\n", "async_stamped"},
    // Frames opened in band: blank time column; the data line leaves out RD.
    {"async_inband_hex", "2\n1\n2\n", "async_inband_hex"},
    {"async_inband_hex", "2\n2\n2\n", "async_inband_hex_sd_only"},
    // No monitor data: the header box only, without a column head.
    {"async_no_data", "2\n1\n2\n", "async_no_data"},
    // Good, bad and aborted frames, clock and counter stamps, an unnamed U frame.
    {"sdlc_frames", "2\n1\n1\n", "sdlc_frames"},
    {"x25_mod128_packets", "2\n1\n2\n", "x25_mod128_packets"},
    {"lapd_messages", "2\n1\n2\n", "lapd_messages"},
    // Negotiation, escaped bytes, a long frame with a bad check, an unlisted protocol
    // and an aborted frame, translated and dumped.
    {"ppp_session", "2\n1\n1\n", "ppp_translation"},
    {"ppp_session", "2\n1\n2\n", "ppp_dump"},
    // SIR framing at 9600 bit/s, then two- and four-byte check sequences at higher speeds.
    {"irda_frames", "2\n1\n", "irda_frames"},
    // A walk from a later boundary reads a speed code of 191 as a signed byte and
    // delivers a frame that opens before one already printed: it is printed too.
    {"irda_signed_speed", "2\n1\n", "irda_signed_speed"},
    // 7- and 10-bit addresses, repeated starts, general call, no acknowledge, a long one.
    {"i2c_transactions", "2\n1\n", "i2c_transactions"},
    {"spi_frames", "2\n1\n", "spi_frames"},
};

// Names the row in failure messages instead of dumping its bytes.
void PrintTo(const ReportCase& c, std::ostream* out) {
  *out << c.capture << " + \"" << c.answers << "\" -> " << c.golden;
}

class FrameReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(FrameReport, MatchesTheExpectedText) {
  const ReportCase& c = GetParam();
  const Conversion conversion = convert(
      captureFromDescription(std::string("frames/captures/") + c.capture + ".qvcap"), c.answers);
  EXPECT_EQ(conversion.session.status, 0) << conversion.session.console;
  EXPECT_NE(conversion.session.console.find("Convert start.\nComplete.\n"), std::string::npos)
      << conversion.session.console;
  EXPECT_EQ(testData(std::string("frames/golden/") + c.golden + ".txt"), conversion.report);
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameReport, ::testing::ValuesIn(kReports),
                         [](const ::testing::TestParamInfo<ReportCase>& info) {
                           // Test names take no underscores: async_no_data -> AsyncNoData.
                           std::string name;
                           bool upper = true;
                           for (const char* p = info.param.golden; *p; ++p) {
                             if (*p == '_') {
                               upper = true;
                             } else {
                               name += upper ? static_cast<char>(std::toupper(*p)) : *p;
                               upper = false;
                             }
                           }
                           return name;
                         });

}  // namespace
}  // namespace qv::test
