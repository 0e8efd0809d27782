#pragma once
// BSC recognizers: one small state machine per line direction that turns the characters
// of that direction into BSC symbols (control characters and sequences, one dash per
// run of text). Each recognizer family knows the control characters of its character
// code; every symbol carries the EBCDIC value of what it stands for, so the report
// shows all of them through the EBCDIC display table.
#include <array>
#include <cstdint>

#include "capture/record_word.h"

namespace qv {

// Which control characters a recognizer knows. The inert family ignores every cell.
enum class BscFamily : uint8_t { Inert, Ascii, Ebcdic, Transc };

// The family that reads a capture of the given protocol and character code id: ASYNC
// and SYNC captures in ASCII, JIS7, JIS8, EBCDIC, EBCDIK or TRANSC; inert otherwise.
BscFamily bscFamilyFor(int protocol, int code);

// Where a recognizer is within a transmission block.
enum class BscPhase : uint8_t {
  Idle,            // between blocks
  StxPending,      // an STX was seen; it may still turn out to be STX ENQ
  Text,            // inside ordinary text
  AfterDle,        // a DLE was seen between blocks
  Transparent,     // inside transparent text (after DLE STX or DLE SOH)
  TransparentDle,  // a DLE was seen inside transparent text (EBCDIC and TRANSC)
};

struct BscRecognizerState {
  BscFamily family = BscFamily::Inert;
  BscPhase phase = BscPhase::Idle;
};

// Recognized symbols waiting to be placed into a block, as data words with the symbol
// in the direction's half. Holds 64 words; symbols are taken out after every record
// word, so only a handful are ever waiting.
class BscSymbolQueue {
 public:
  static constexpr int kSize = 64;

  void clear() { read_ = write_ = count_ = 0; }
  bool empty() const { return count_ == 0; }
  // Adds a word; a full queue keeps what it holds rather than overwrite unread words.
  void push(RecordWord word);
  // Takes the oldest word; false when the queue is empty.
  bool take(RecordWord& word);

 private:
  std::array<RecordWord, kSize> words_{};
  uint8_t read_ = 0;
  uint8_t write_ = 0;
  uint8_t count_ = 0;
};

class BscRecognizer {
 public:
  explicit BscRecognizer(int shift) : shift(shift) {}

  // Runs the current state on one cell (status in bits 0-4, byte in bits 8-15),
  // queuing 0, 1 or 2 symbols.
  void feed(uint16_t cell, BscSymbolQueue& queue);
  void reset(BscRecognizerState start) {
    textPending = 0;
    state = start;
  }

  uint8_t textPending = 0;  // the next ordinary text character is shown as a dash
  int shift;                // 0 (SD) or 16 (RD): the half of the queued word
  BscRecognizerState state;
};

// The recognizers of both directions and the queue of their symbols.
class BscState {
 public:
  // Chooses the recognizer family for the capture (protocol 0 or 1, the capture's
  // character code), then resets.
  void prepare(int protocol, int code);
  // Empties the queue and puts both recognizers back to the start state.
  void resetBsc();
  void feedSd(uint16_t cell) { sdRecognizer.feed(cell, symbolQueue); }
  void feedRd(uint16_t cell) { rdRecognizer.feed(cell, symbolQueue); }
  bool takeSymbol(RecordWord& word) { return symbolQueue.take(word); }

  BscRecognizer sdRecognizer{0};
  BscRecognizer rdRecognizer{16};
  BscRecognizerState startState;
  BscSymbolQueue symbolQueue;
};

}  // namespace qv
