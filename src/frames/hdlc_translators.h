#pragma once
// SDLC, X.25 and LAPD frame-level translators.
#include <cstdint>

#include "frames/translator.h"
#include "report/value_names.h"

namespace qv {

// Classes of an HDLC-family frame, as held in HdlcHeader::frameClass.
enum HdlcFrameClass : int8_t {
  FrameClassAbsent = -1,
  FrameClassI = 0,
  FrameClassS = 1,
  FrameClassU = 2,
};

// The decoded address and control fields of an HDLC-family (or IrLAP) frame. A field
// that the frame is too short to hold stays absent: -1 for the signed fields.
struct HdlcHeader {
  int16_t address = -1;         // SDLC/X.25/IrLAP: the address byte; LAPD: the SAPI
  int8_t tei = -1;              // LAPD only
  int8_t commandResponse = -1;  // LAPD and IrLAP: the C/R bit
  int8_t frameClass = FrameClassAbsent;
  int8_t typeIndex = 0;      // S: supervisory function; U: modifier 0-31; I: 0
  int8_t controlLength = 0;  // control bytes present: 0, 1 or 2
  uint8_t control1 = 0;
  uint8_t control2 = 0;
  int8_t ns = -1;
  int8_t nr = -1;
  int8_t pf = -1;
  int8_t infoStart = 0;  // index of the first information byte in Frame::cells
  int8_t infoCount = 0;
};

// The name of a frame or packet type in a table whose rows name commands (SD frames)
// first and responses (RD frames) second; nullptr when the type has no name in that
// direction.
constexpr const char* directionalName(ValueNames table, int code, bool isSd) {
  return valueName(table, code, !isSd);
}

// Decodes the control field from byte `at` on (one byte for U frames and in modulo 8,
// two for I and S frames in modulo 128) and places the information field after it. A
// frame of `count` bytes that ends inside the control field has no information field.
void decodeControlAndInfo(HdlcHeader& header, const Frame& frame, int at, int count, bool mod128);

// The 6-character frame type column: the name, or the control byte(s) in hex
// ("(0D)  ", "(0D23)") when the frame type has none; blanks when there is no control
// field. Returns the position after it.
char* writeFrameTypeColumn(char* position, FrameTranslator& namer, bool isSd,
                           const HdlcHeader& header);

// The line of a link frame: direction, time, the address and control columns of the
// layout, FC mark and the information field in hex.
class LinkFrameTranslator : public FrameTranslator {
 protected:
  // Writes the columns between the time and the FC mark; returns the position after them.
  using ColumnWriter = char* (*)(char* position, FrameTranslator& namer, bool isSd,
                                 const HdlcHeader& header);
  int translateWith(const Frame& frame, ColumnWriter writeColumns);
};

// Shared by SDLC and X.25 link frames: modulo 8 or 128, AD-TYPE layout.
class HdlcFrameTranslator : public LinkFrameTranslator {
 public:
  // header points to an HdlcHeader.
  void parseHeader(void* header, const Frame& frame) override;
  void writeColumnHead() override;
  int translate(const Frame& frame) override;

  // Set by the HDLC translator choice: two-byte control fields for I and S frames.
  void setModulo128(bool modulo128) { modulo128_ = modulo128; }
  bool modulo128() const { return modulo128_; }

  static void decode(HdlcHeader& header, const Frame& frame, bool mod128);

 private:
  bool modulo128_ = false;
};

class SdlcFrameTranslator : public HdlcFrameTranslator {
 public:
  const char* frameTypeName(bool isSd, int frameClass, int typeIndex) override;
  const char* shortTag() override;
  const char* title() override;
};

class X25FrameTranslator : public HdlcFrameTranslator {
 public:
  const char* frameTypeName(bool isSd, int frameClass, int typeIndex) override;
  const char* shortTag() override;
  const char* title() override;
};

// LAPD: SAPI/TEI address, always modulo 128, SAP-TE-CR layout.
class LapdFrameTranslator : public LinkFrameTranslator {
 public:
  // header points to an HdlcHeader.
  void parseHeader(void* header, const Frame& frame) override;
  const char* frameTypeName(bool isSd, int frameClass, int typeIndex) override;
  const char* shortTag() override;
  const char* title() override;
  void writeColumnHead() override;
  int translate(const Frame& frame) override;

  static void decode(HdlcHeader& header, const Frame& frame);
};

}  // namespace qv
