#include "report/code_tables.h"

#include <string_view>

#include "report/text_fields.h"

namespace qv {

namespace {

// Builds a table at compile time from the lists it is documented by: control mnemonics
// as "0x00 NU, 0x01 SH, ...", character runs as the characters separated by blanks, and
// katakana runs as the range of code points and the range of bytes shown. A list that
// does not fit its range, or that sets a cell twice, stops the build.
class TableBuilder {
 public:
  constexpr TableBuilder() {
    for (DisplayCell& cell : cells_) cell = {' ', ' '};
  }

  constexpr TableBuilder& mnemonics(std::string_view list) {
    size_t at = 0;
    while (at < list.size()) {
      if (list.substr(at, 2) != "0x" || at + 7 > list.size() || list[at + 4] != ' ') {
        throw "malformed mnemonic list";
      }
      const int code = hexValue(list[at + 2]) * 16 + hexValue(list[at + 3]);
      set(code, list[at + 5], list[at + 6]);
      at += 7;
      if (at < list.size()) {
        if (list.substr(at, 2) != ", ") throw "mnemonics must be separated by \", \"";
        at += 2;
      }
    }
    return *this;
  }

  // One character per code point from first to last, written with a blank between them.
  constexpr TableBuilder& chars(int first, int last, std::string_view spaced) {
    if (spaced.size() != static_cast<size_t>(2 * (last - first) + 1)) {
      throw "character run does not fit its range";
    }
    for (int code = first; code <= last; ++code) {
      const size_t at = static_cast<size_t>(2 * (code - first));
      if (at > 0 && spaced[at - 1] != ' ') throw "characters must be separated by a blank";
      set(code, ' ', spaced[at]);
    }
    return *this;
  }

  // Each code point shows the character of its own value.
  constexpr TableBuilder& sameChars(int first, int last) {
    for (int code = first; code <= last; ++code) set(code, ' ', static_cast<char>(code));
    return *this;
  }

  // Code points first..last show the raw bytes firstByte..lastByte.
  constexpr TableBuilder& kana(int first, int last, int firstByte, int lastByte) {
    if (last - first != lastByte - firstByte) throw "katakana run does not fit its range";
    for (int code = first; code <= last; ++code) {
      set(code, ' ', static_cast<char>(firstByte + code - first));
    }
    return *this;
  }

  constexpr CodeTable table() const { return cells_; }

 private:
  static constexpr int hexValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    throw "bad hex digit";
  }

  constexpr void set(int code, char first, char second) {
    if (code < 0 || code > 0xFF) throw "code point out of range";
    DisplayCell& cell = cells_[static_cast<size_t>(code)];
    if (cell[0] != ' ' || cell[1] != ' ') throw "code point set twice";
    cell = {first, second};
  }

  CodeTable cells_{};
};

// Control mnemonics shared by several codes.
constexpr std::string_view kAsciiControls =
    "0x00 NU, 0x01 SH, 0x02 SX, 0x03 EX, 0x04 ET, 0x05 EQ, 0x06 AK, 0x07 BL, 0x08 BS, "
    "0x09 HT, 0x0A LF, 0x0B VT, 0x0C FF, 0x0D CR, 0x0E SO, 0x0F SI, 0x10 DL, 0x11 D1, "
    "0x12 D2, 0x13 D3, 0x14 D4, 0x15 NK, 0x16 SY, 0x17 EB, 0x18 CN, 0x19 EM, 0x1A SB, "
    "0x1B EC, 0x1C FS, 0x1D GS, 0x1E RS, 0x1F US, 0x7F DT";

constexpr std::string_view kEbcdicControls =
    "0x00 NU, 0x01 SH, 0x02 SX, 0x03 EX, 0x04 PF, 0x05 HT, 0x06 LC, 0x07 DT, 0x08 GE, "
    "0x09 S1, 0x0A RT, 0x0B VT, 0x0C FF, 0x0D CR, 0x0E SO, 0x0F SI, 0x10 DL, 0x11 D1, "
    "0x12 D2, 0x13 D3, 0x14 RE, 0x15 NL, 0x16 BS, 0x17 PC, 0x18 CN, 0x19 EM, 0x1A US, "
    "0x1B C1, 0x1C IF, 0x1D IG, 0x1E RS, 0x1F IB, 0x20 DS, 0x21 SS, 0x22 FS, 0x23 WS, "
    "0x24 BP, 0x25 LF, 0x26 EB, 0x27 EC, 0x28 SA, 0x29 SE, 0x2A SM, 0x2B CP, 0x2C MA, "
    "0x2D EQ, 0x2E AK, 0x2F BL, 0x32 SY, 0x33 IR, 0x34 PN, 0x35 TN, 0x36 NS, 0x37 ET, "
    "0x38 S2, 0x39 IT, 0x3A RF, 0x3B C3, 0x3C D4, 0x3D NK, 0x3F SB";

constexpr std::string_view kEbcdControls =
    "0x15 VT, 0x16 FF, 0x1C SO, 0x1D BS, 0x1E EB, 0x1F SI, 0x2C RS, 0x2D CR, 0x2E LF, "
    "0x2F HT, 0x3C ET, 0x3D SY, 0x3E EC, 0x3F DT";

constexpr CodeTable kAscii = TableBuilder().mnemonics(kAsciiControls).sameChars(0x21, 0x7E).table();

constexpr CodeTable kEbcdic = TableBuilder()
                                  .mnemonics(kEbcdicControls)
                                  .chars(0x4B, 0x50, ". < ( + | &")
                                  .chars(0x5A, 0x5E, "! $ * ) ;")
                                  .chars(0x60, 0x61, "- /")
                                  .chars(0x6B, 0x6F, ", % _ > ?")
                                  .chars(0x7A, 0x7F, ": # @ ' = \"")
                                  .chars(0x81, 0x89, "a b c d e f g h i")
                                  .chars(0x91, 0x99, "j k l m n o p q r")
                                  .chars(0xA1, 0xA9, "~ s t u v w x y z")
                                  .chars(0xC0, 0xC9, "{ A B C D E F G H I")
                                  .chars(0xD0, 0xD9, "} J K L M N O P Q R")
                                  .chars(0xE2, 0xE9, "S T U V W X Y Z")
                                  .chars(0xF0, 0xF9, "0 1 2 3 4 5 6 7 8 9")
                                  .table();

// EBCDIC with the lower-case letters replaced by half-width katakana.
constexpr CodeTable kEbcdik = TableBuilder()
                                  .mnemonics(kEbcdicControls)
                                  .chars(0x4B, 0x50, ". < ( + | &")
                                  .chars(0x5A, 0x5E, "! \\ * ) ;")
                                  .chars(0x60, 0x61, "- /")
                                  .chars(0x6B, 0x6F, ", % _ > ?")
                                  .chars(0x7A, 0x7F, ": # @ ' = \"")
                                  .chars(0xA1, 0xA1, "~")
                                  .chars(0xC0, 0xC9, "{ A B C D E F G H I")
                                  .chars(0xD0, 0xD9, "} J K L M N O P Q R")
                                  .chars(0xE2, 0xE9, "S T U V W X Y Z")
                                  .chars(0xF0, 0xF9, "0 1 2 3 4 5 6 7 8 9")
                                  .kana(0x81, 0x8A, 0xB1, 0xBA)
                                  .kana(0x8C, 0x9A, 0xBB, 0xC9)
                                  .kana(0x9D, 0x9E, 0xCA, 0xCB)
                                  .kana(0xA2, 0xAA, 0xCD, 0xD5)
                                  .kana(0xAC, 0xAF, 0xD6, 0xD9)
                                  .kana(0xBA, 0xBE, 0xDA, 0xDE)
                                  .table();

constexpr CodeTable kJis7 = TableBuilder().mnemonics(kAsciiControls).sameChars(0x21, 0x7E).table();

// Shifted JIS7 characters are the katakana of the single-byte set.
constexpr CodeTable kJis7Shifted =
    TableBuilder().mnemonics(kAsciiControls).kana(0x21, 0x5F, 0xA1, 0xDF).table();

constexpr CodeTable kJis8 = TableBuilder()
                                .mnemonics(kAsciiControls)
                                .sameChars(0x21, 0x7E)
                                .kana(0xA1, 0xDF, 0xA1, 0xDF)
                                .table();

constexpr CodeTable kEbcd = TableBuilder()
                                .mnemonics(kEbcdControls)
                                .chars(0x01, 0x0B, "- @ & 8 q y h 4 m u d")
                                .chars(0x10, 0x14, "2 k s b 0")
                                .chars(0x18, 0x1B, "6 o w f")
                                .chars(0x20, 0x2B, "1 j / a 9 r z i 5 n v e")
                                .chars(0x30, 0x3B, "3 l t c # $ , . 7 p x g")
                                .table();

// EBCD in upper case (shifted).
constexpr CodeTable kEbcdShifted = TableBuilder()
                                       .mnemonics(kEbcdControls)
                                       .chars(0x01, 0x01, "_")
                                       .chars(0x03, 0x0B, "+ * Q Y H : M U D")
                                       .chars(0x10, 0x14, "< K S B )")
                                       .chars(0x18, 0x1B, ", O W F")
                                       .chars(0x20, 0x2B, "= J ? A ( R Z I % N V E")
                                       .chars(0x30, 0x3B, "; L T C \" ! , . > P X G")
                                       .table();

constexpr CodeTable kTransc =
    TableBuilder()
        .mnemonics(
            "0x00 SH, 0x0A SX, 0x0D BL, 0x0E SB, 0x0F EB, 0x1D US, 0x1E ET, 0x1F DL, "
            "0x2A EC, 0x2D EQ, 0x2E EX, 0x2F HT, 0x3A SY, 0x3D NK, 0x3E EM, 0x3F DT")
        .chars(0x01, 0x09, "A B C D E F G H I")
        .chars(0x0B, 0x0C, ". <")
        .chars(0x10, 0x19, "& J K L M N O P Q R")
        .chars(0x1B, 0x1C, "$ *")
        .chars(0x20, 0x29, "_ / S T U V W X Y Z")
        .chars(0x2B, 0x2C, ", %")
        .chars(0x30, 0x39, "0 1 2 3 4 5 6 7 8 9")
        .chars(0x3B, 0x3C, "# @")
        .table();

constexpr CodeTable kIpars =
    TableBuilder()
        .mnemonics("0x0C CR, 0x0D EI, 0x1D EC, 0x2D EU, 0x3D EP, 0x3E S2, 0x3F S1")
        .chars(0x01, 0x0B, "1 2 3 4 5 6 7 8 9 0 *")
        .chars(0x0E, 0x0E, "=")
        .chars(0x11, 0x1B, "/ S T U V W X Y Z - #")
        .chars(0x1E, 0x2C, "[ , @ J K L M N O P Q R : < +")
        .chars(0x2E, 0x3C, ") ( $ A B C D E F G H I ? . %")
        .table();

// BAUDOT letters (primary) and figures (shifted).
constexpr CodeTable kBaudot = TableBuilder()
                                  .mnemonics("0x00 NU, 0x02 LF, 0x08 CR, 0x1B SO, 0x1F SI")
                                  .chars(0x01, 0x01, "E")
                                  .chars(0x03, 0x03, "A")
                                  .chars(0x05, 0x07, "S I U")
                                  .chars(0x09, 0x1A, "D R J N F C K T Z L W H Y P Q O B G")
                                  .chars(0x1C, 0x1E, "M X V")
                                  .table();

constexpr CodeTable kBaudotShifted =
    TableBuilder()
        .mnemonics("0x00 NU, 0x02 LF, 0x08 CR, 0x0B BL, 0x1B SO, 0x1F SI")
        .chars(0x01, 0x01, "3")
        .chars(0x03, 0x03, "-")
        .chars(0x05, 0x07, "' 8 7")
        .chars(0x09, 0x0A, "$ 4")
        .chars(0x0C, 0x1A, ", ! : ( 5 \" ) 2 # 6 0 1 9 ? &")
        .chars(0x1C, 0x1E, ". / ;")
        .table();

}  // namespace

constexpr std::array<CodeDisplay, 10> codeDisplays = {{
    {CodeAscii, &kAscii, &kAscii},
    {CodeEbcdic, &kEbcdic, &kEbcdic},
    {CodeEbcdik, &kEbcdik, &kEbcdik},
    {CodeJis7, &kJis7, &kJis7Shifted},
    {CodeJis8, &kJis8, &kJis8},
    {CodeHex, &kAscii, &kAscii},
    {CodeEbcd, &kEbcd, &kEbcdShifted},
    {CodeTransc, &kTransc, &kTransc},
    {CodeIpars, &kIpars, &kIpars},
    {CodeBaudot, &kBaudot, &kBaudotShifted},
}};

consteval bool indexedByCode() {
  for (size_t i = 0; i < codeDisplays.size(); ++i) {
    if (codeDisplays[i].code != static_cast<int>(i)) return false;
  }
  return true;
}
static_assert(indexedByCode());

DisplayCell displayCell(int code, uint8_t byte, bool alternate) {
  if (code == CodeHex) return {kUpperHexDigits[byte >> 4], kUpperHexDigits[byte & 0xF]};
  if (code < 0 || code >= static_cast<int>(codeDisplays.size())) return {' ', ' '};
  const CodeDisplay& display = codeDisplays[static_cast<size_t>(code)];
  return (*(alternate ? display.alternate : display.primary))[byte];
}

}  // namespace qv
