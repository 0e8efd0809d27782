#include "listing/bsc_recognizers.h"

#include <span>

#include "report/code_tables.h"

namespace qv {

namespace {

// What a cell means to a recognizer. Characters that are not control characters of the
// family are Other; cells shown as they are (abnormal frame end, good or bad check
// character, hex-only byte) are Pass.
// clang-format off
enum class Input : uint8_t {
  Other, Soh, Stx, Etx, Eot, Enq, Ack, Dle, Nak, Etb, Itb,
  Ack0, Ack1, Wack, Rvi,  // second bytes of the DLE sequences
  Pass,
};
// clang-format on

constexpr int kNone = -1;

struct ControlCharacter {
  Input input;
  int16_t ascii;
  int16_t ebcdic;
  int16_t transc;
};

// The control characters of each family, as they appear on the line.
// clang-format off
constexpr ControlCharacter kControlCharacters[] = {
    {Input::Soh, 0x01, 0x01, 0x00},
    {Input::Stx, 0x02, 0x02, 0x0A},
    {Input::Etx, 0x03, 0x03, 0x2E},
    {Input::Eot, 0x04, 0x37, 0x1E},
    {Input::Enq, 0x05, 0x2D, 0x2D},
    {Input::Ack, 0x06, 0x2E, kNone},
    {Input::Dle, 0x10, 0x10, 0x1F},
    {Input::Nak, 0x15, 0x3D, 0x3D},
    {Input::Etb, 0x17, 0x26, 0x0F},
    {Input::Itb, 0x1F, 0x1F, 0x1D},
    {Input::Ack0, 0x30, 0x70, 0x20},
    {Input::Ack1, 0x31, 0x61, 0x23},
    {Input::Wack, 0x3B, 0x6B, 0x26},
    {Input::Rvi, 0x3C, 0x7C, 0x32},
};
// clang-format on

using ByteInputs = std::array<Input, 256>;

constexpr int16_t familyByte(const ControlCharacter& c, BscFamily family) {
  switch (family) {
    case BscFamily::Ascii: return c.ascii;
    case BscFamily::Ebcdic: return c.ebcdic;
    case BscFamily::Transc: return c.transc;
    case BscFamily::Inert: break;
  }
  return kNone;
}

consteval ByteInputs byteInputsOf(BscFamily family) {
  ByteInputs inputs{};
  for (const ControlCharacter& c : kControlCharacters) {
    const int16_t byte = familyByte(c, family);
    if (byte == kNone) continue;
    // Two meanings for one byte would make the table ambiguous: refuse to compile.
    const auto index = static_cast<size_t>(byte);
    if (inputs[index] != Input::Other) throw "control byte listed twice";
    inputs[index] = c.input;
  }
  return inputs;
}

constexpr ByteInputs kAsciiInputs = byteInputsOf(BscFamily::Ascii);
constexpr ByteInputs kEbcdicInputs = byteInputsOf(BscFamily::Ebcdic);
constexpr ByteInputs kTranscInputs = byteInputsOf(BscFamily::Transc);
constexpr ByteInputs kInertInputs = byteInputsOf(BscFamily::Inert);

// What a step queues. Symbols name their EBCDIC byte; PassCell queues the input cell
// itself, PendingDash a dash only when textPending is set.
// clang-format off
enum class Emit : uint8_t {
  None, Soh, Stx, Etx, Dle, Itb, Etb, Enq, Ack, Eot, Nak,
  Dash, Digit0, Digit1, LetterD, LetterR, LetterT, LetterV, LetterW,
  PassCell, PendingDash,
};
// clang-format on

// EBCDIC byte of each symbol, indexed by Emit (0 for the entries that are not symbols).
// clang-format off
constexpr uint8_t kSymbolBytes[] = {
    0x00,                                                  // None
    0x01, 0x02, 0x03, 0x10, 0x1F, 0x26, 0x2D, 0x2E, 0x37, 0x3D,  // SH SX EX DL IB EB EQ AK ET NK
    0x60,                                                  // " -"
    0xF0, 0xF1,                                            // " 0" " 1"
    0xC4, 0xD9, 0xE3, 0xE5, 0xE6,                          // " D" " R" " T" " V" " W"
    0x00, 0x00,                                            // PassCell, PendingDash
};
// clang-format on
static_assert(sizeof kSymbolBytes == static_cast<size_t>(Emit::PendingDash) + 1);

enum class Pending : uint8_t { Keep, Set, Clear };

// The state a step moves to; Stay keeps the current one.
enum class Next : uint8_t { Stay, Idle, StxPending, Text, AfterDle, Transparent, TransparentDle };

struct Step {
  Input on;
  Emit first;
  Emit second;
  Pending pending;
  Next next;
  bool again = false;  // the new state handles the same cell once more
};

using Rules = std::span<const Step>;

// Every rule list ends with the Other and Pass rules, so a lookup always finds one.
constexpr Step kIdleRules[] = {
    {Input::Soh, Emit::Soh, Emit::None, Pending::Set, Next::Text},
    {Input::Stx, Emit::None, Emit::None, Pending::Keep, Next::StxPending},
    {Input::Eot, Emit::Eot, Emit::None, Pending::Keep, Next::Stay},
    {Input::Enq, Emit::Enq, Emit::None, Pending::Keep, Next::Stay},
    {Input::Nak, Emit::Nak, Emit::None, Pending::Keep, Next::Stay},
    {Input::Ack, Emit::Ack, Emit::None, Pending::Keep, Next::Stay},
    {Input::Dle, Emit::None, Emit::None, Pending::Keep, Next::AfterDle},
    {Input::Other, Emit::None, Emit::None, Pending::Keep, Next::Stay},
    {Input::Pass, Emit::PassCell, Emit::None, Pending::Keep, Next::Stay},
};

// The EBCDIC family shows EOT only as part of DLE EOT.
constexpr Step kIdleWithoutEotRules[] = {
    {Input::Soh, Emit::Soh, Emit::None, Pending::Set, Next::Text},
    {Input::Stx, Emit::None, Emit::None, Pending::Keep, Next::StxPending},
    {Input::Enq, Emit::Enq, Emit::None, Pending::Keep, Next::Stay},
    {Input::Nak, Emit::Nak, Emit::None, Pending::Keep, Next::Stay},
    {Input::Ack, Emit::Ack, Emit::None, Pending::Keep, Next::Stay},
    {Input::Dle, Emit::None, Emit::None, Pending::Keep, Next::AfterDle},
    {Input::Other, Emit::None, Emit::None, Pending::Keep, Next::Stay},
    {Input::Pass, Emit::PassCell, Emit::None, Pending::Keep, Next::Stay},
};

// STX ENQ is a temporary text delay (TTD), shown as " T D".
constexpr Step kStxPendingRules[] = {
    {Input::Enq, Emit::LetterT, Emit::LetterD, Pending::Clear, Next::Idle},
    {Input::Other, Emit::Stx, Emit::None, Pending::Set, Next::Text, true},
    {Input::Pass, Emit::Stx, Emit::PassCell, Pending::Set, Next::Text},
};

constexpr Step kTextRules[] = {
    {Input::Stx, Emit::Stx, Emit::None, Pending::Set, Next::Stay},
    {Input::Itb, Emit::Itb, Emit::None, Pending::Set, Next::Stay},
    {Input::Etx, Emit::Etx, Emit::None, Pending::Clear, Next::Idle},
    {Input::Etb, Emit::Etb, Emit::None, Pending::Clear, Next::Idle},
    {Input::Other, Emit::PendingDash, Emit::None, Pending::Clear, Next::Stay},
    {Input::Pass, Emit::PassCell, Emit::None, Pending::Set, Next::Stay},
};

constexpr Step kAfterDleRules[] = {
    {Input::Soh, Emit::Dle, Emit::Soh, Pending::Set, Next::Transparent},
    {Input::Stx, Emit::Dle, Emit::Stx, Pending::Set, Next::Transparent},
    {Input::Eot, Emit::Dle, Emit::Eot, Pending::Keep, Next::Idle},
    {Input::Ack0, Emit::Ack, Emit::Digit0, Pending::Keep, Next::Idle},
    {Input::Ack1, Emit::Ack, Emit::Digit1, Pending::Keep, Next::Idle},
    {Input::Wack, Emit::LetterW, Emit::Ack, Pending::Keep, Next::Idle},
    {Input::Rvi, Emit::LetterR, Emit::LetterV, Pending::Keep, Next::Idle},
    {Input::Other, Emit::None, Emit::None, Pending::Keep, Next::Idle},
    {Input::Pass, Emit::PassCell, Emit::None, Pending::Keep, Next::Idle},
};

// ASCII transparent text ends on a bare control character; a DLE inside it is text.
constexpr Step kAsciiTransparentRules[] = {
    {Input::Stx, Emit::Dle, Emit::Stx, Pending::Clear, Next::Stay},
    {Input::Itb, Emit::Dle, Emit::Itb, Pending::Clear, Next::Stay},
    {Input::Etx, Emit::Dle, Emit::Etx, Pending::Clear, Next::Idle},
    {Input::Etb, Emit::Dle, Emit::Etb, Pending::Clear, Next::Idle},
    {Input::Other, Emit::PendingDash, Emit::None, Pending::Clear, Next::Stay},
    {Input::Pass, Emit::PassCell, Emit::None, Pending::Set, Next::Stay},
};

// EBCDIC and TRANSC transparent text ends only on a DLE-prefixed control character.
constexpr Step kTransparentRules[] = {
    {Input::Dle, Emit::None, Emit::None, Pending::Keep, Next::TransparentDle},
    {Input::Other, Emit::PendingDash, Emit::None, Pending::Clear, Next::Stay},
    {Input::Pass, Emit::PassCell, Emit::None, Pending::Set, Next::Stay},
};

constexpr Step kTransparentDleRules[] = {
    {Input::Stx, Emit::Dle, Emit::Stx, Pending::Set, Next::Transparent},
    {Input::Itb, Emit::Dle, Emit::Itb, Pending::Set, Next::Transparent},
    {Input::Etx, Emit::Dle, Emit::Etx, Pending::Clear, Next::Idle},
    {Input::Etb, Emit::Dle, Emit::Etb, Pending::Clear, Next::Idle},
    {Input::Other, Emit::PendingDash, Emit::None, Pending::Clear, Next::Transparent},
    {Input::Pass, Emit::PassCell, Emit::None, Pending::Set, Next::Transparent},
};

constexpr Step kInertRules[] = {
    {Input::Other, Emit::None, Emit::None, Pending::Keep, Next::Stay},
    {Input::Pass, Emit::None, Emit::None, Pending::Keep, Next::Stay},
};

consteval bool endsWithOtherAndPass(Rules rules) {
  return rules.size() >= 2 && rules[rules.size() - 2].on == Input::Other &&
         rules[rules.size() - 1].on == Input::Pass;
}
static_assert(endsWithOtherAndPass(kIdleRules) && endsWithOtherAndPass(kIdleWithoutEotRules) &&
              endsWithOtherAndPass(kStxPendingRules) && endsWithOtherAndPass(kTextRules) &&
              endsWithOtherAndPass(kAfterDleRules) &&
              endsWithOtherAndPass(kAsciiTransparentRules) &&
              endsWithOtherAndPass(kTransparentRules) &&
              endsWithOtherAndPass(kTransparentDleRules) && endsWithOtherAndPass(kInertRules));

struct FamilyMachine {
  const ByteInputs* inputs;
  Rules phases[6];  // indexed by BscPhase
};

// Indexed by BscFamily.
constexpr FamilyMachine kMachines[] = {
    {&kInertInputs, {kInertRules, kInertRules, kInertRules, kInertRules, kInertRules, kInertRules}},
    {&kAsciiInputs,
     {kIdleRules, kStxPendingRules, kTextRules, kAfterDleRules, kAsciiTransparentRules,
      kAsciiTransparentRules}},  // never enters TransparentDle
    {&kEbcdicInputs,
     {kIdleWithoutEotRules, kStxPendingRules, kTextRules, kAfterDleRules, kTransparentRules,
      kTransparentDleRules}},
    {&kTranscInputs,
     {kIdleRules, kStxPendingRules, kTextRules, kAfterDleRules, kTransparentRules,
      kTransparentDleRules}},
};

// The codes BSC traffic is read in; every other code leaves the recognizers inert.
struct CodeFamily {
  CodeId code;
  BscFamily family;
};

constexpr CodeFamily kCodeFamilies[] = {
    {CodeAscii, BscFamily::Ascii}, {CodeEbcdic, BscFamily::Ebcdic}, {CodeEbcdik, BscFamily::Ebcdic},
    {CodeJis7, BscFamily::Ascii},  {CodeJis8, BscFamily::Ascii},    {CodeTransc, BscFamily::Transc},
};

// The character status shown through the alternate table, and the hex-only byte, both
// without error flags.
constexpr unsigned kAlternateCharacter = 12;
constexpr unsigned kHexOnlyByte = 28;
// Character statuses: plain or alternate table. Flagged characters are ignored.
constexpr bool isCleanCharacter(unsigned status) {
  return status == StatusCharacter || status == kAlternateCharacter;
}
// Abnormal frame end, good and bad check characters, hex-only byte: passed on as they are.
constexpr bool isPassStatus(unsigned status) {
  return status == StatusAbort || status == StatusGoodCheck || status == StatusBadCheck ||
         status == kHexOnlyByte;
}

const Step& ruleFor(Rules rules, Input input) {
  for (const Step& step : rules) {
    if (step.on == input) return step;
  }
  // Any character without its own rule takes the Other rule, next to last.
  return rules[rules.size() - 2];
}

BscPhase phaseAfter(Next next, BscPhase current) {
  switch (next) {
    case Next::Stay: return current;
    case Next::Idle: return BscPhase::Idle;
    case Next::StxPending: return BscPhase::StxPending;
    case Next::Text: return BscPhase::Text;
    case Next::AfterDle: return BscPhase::AfterDle;
    case Next::Transparent: return BscPhase::Transparent;
    case Next::TransparentDle: return BscPhase::TransparentDle;
  }
  return current;
}

constexpr uint16_t symbolCell(uint8_t ebcdicByte) {
  return static_cast<uint16_t>(8 | (ebcdicByte << 8));
}

// The input class of a cell, or false for a cell that has no effect at all.
bool inputOf(uint16_t cell, const ByteInputs& inputs, Input& input) {
  const unsigned status = cellStatus(cell);
  if (isCleanCharacter(status)) {
    input = inputs[cellByte(cell)];
    return true;
  }
  if (isPassStatus(status)) {
    input = Input::Pass;
    return true;
  }
  return false;
}

void queueSymbol(Emit what, uint16_t cell, const BscRecognizer& recognizer, BscSymbolQueue& queue) {
  if (what == Emit::None || (what == Emit::PendingDash && recognizer.textPending == 0)) return;
  uint16_t symbol;
  if (what == Emit::PassCell) {
    symbol = static_cast<uint16_t>(cell & 0xFF1F);  // status and byte only
  } else {
    const Emit shown = what == Emit::PendingDash ? Emit::Dash : what;
    symbol = symbolCell(kSymbolBytes[static_cast<int>(shown)]);
  }
  queue.push(0x20u | (static_cast<RecordWord>(symbol) << recognizer.shift));
}

}  // namespace

BscFamily bscFamilyFor(int protocol, int code) {
  if (protocol != 0 && protocol != 1) return BscFamily::Inert;
  for (const CodeFamily& row : kCodeFamilies) {
    if (row.code == code) return row.family;
  }
  return BscFamily::Inert;
}

void BscSymbolQueue::push(RecordWord word) {
  if (count_ == kSize) return;
  words_[write_] = word;
  write_ = static_cast<uint8_t>((write_ + 1) % kSize);
  ++count_;
}

bool BscSymbolQueue::take(RecordWord& word) {
  if (count_ == 0) return false;
  word = words_[read_];
  read_ = static_cast<uint8_t>((read_ + 1) % kSize);
  --count_;
  return true;
}

void BscRecognizer::feed(uint16_t cell, BscSymbolQueue& queue) {
  const FamilyMachine& machine = kMachines[static_cast<int>(state.family)];
  Input input;
  if (!inputOf(cell, *machine.inputs, input)) return;
  // At most two rounds: only StxPending hands a cell on, and only to Text.
  for (int round = 0; round < 2; ++round) {
    const Step& step = ruleFor(machine.phases[static_cast<int>(state.phase)], input);
    queueSymbol(step.first, cell, *this, queue);
    queueSymbol(step.second, cell, *this, queue);
    if (step.pending != Pending::Keep) textPending = step.pending == Pending::Set ? 1 : 0;
    state.phase = phaseAfter(step.next, state.phase);
    if (!step.again) break;
  }
}

void BscState::prepare(int protocol, int code) {
  startState = {bscFamilyFor(protocol, code), BscPhase::Idle};
  resetBsc();
}

void BscState::resetBsc() {
  symbolQueue.clear();
  sdRecognizer.reset(startState);
  rdRecognizer.reset(startState);
}

}  // namespace qv
