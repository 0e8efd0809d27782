#pragma once
// The framing rules of the frame families: which cell rules a family uses at an IrDA
// speed, and the one place where a lane event changes a lane and its open frame. The
// assembly walk and the forward sweep both cut frames through these.
#include <cstddef>
#include <cstdint>

#include "capture/capture_file.h"
#include "capture/cell_rules.h"
#include "capture/monitor_ring.h"
#include "frames/frame.h"

namespace qv {

enum class FrameFamily : uint8_t { Hdlc, Ppp, Irda, I2c, Async, Spi };

namespace framing {

// IrDA speed codes: above kSirTopSpeed the line uses HDLC-type framing, from
// kFcs32Speed on a four-byte check sequence.
constexpr int kSirTopSpeed = 5;
constexpr int kFcs32Speed = 8;

constexpr int32_t kFcs16Length = 2;
constexpr int32_t kFcs32Length = 4;
constexpr int kCheckKindFcs32 = 2;  // the conditions' check kind of a 32-bit FCS

constexpr int32_t irdaCheckLength(int speed) {
  return speed >= kFcs32Speed ? kFcs32Length : kFcs16Length;
}
// HDLC and PPP take the check length from the conditions (NONE counts as FCS16);
// I2C, ASYNC and SPI frames have none. IrDA's follows the speed.
constexpr int32_t fixedCheckLength(FrameFamily family, int checkKind) {
  if (family != FrameFamily::Hdlc && family != FrameFamily::Ppp) return 0;
  return checkKind == kCheckKindFcs32 ? kFcs32Length : kFcs16Length;
}

}  // namespace framing

constexpr FramingMode framingModeOf(FrameFamily family, int speed) {
  switch (family) {
    case FrameFamily::Hdlc: return FramingMode::Hdlc;
    case FrameFamily::Ppp: return FramingMode::Ppp;
    case FrameFamily::Irda:
      return speed > framing::kSirTopSpeed ? FramingMode::Hdlc : FramingMode::Sir;
    case FrameFamily::I2c: return FramingMode::I2c;
    case FrameFamily::Async: return FramingMode::Char;
    case FrameFamily::Spi: return FramingMode::Spi;
  }
  return FramingMode::Hdlc;
}

// The cells the family's in-band next-frame step stops at.
constexpr BoundaryKind boundaryKindOf(FrameFamily family) {
  switch (family) {
    case FrameFamily::Hdlc: return BoundaryKind::Hdlc;
    case FrameFamily::Ppp: return BoundaryKind::Ppp;
    case FrameFamily::Irda: return BoundaryKind::Irda;
    case FrameFamily::I2c: return BoundaryKind::I2c;
    case FrameFamily::Async: return BoundaryKind::Character;
    case FrameFamily::Spi: return BoundaryKind::Spi;
  }
  return BoundaryKind::Hdlc;
}

// ASYNC and SPI frames are delimited by clock stamps only; their lanes are detached by
// a new opening.
constexpr bool isCharacterFamily(FrameFamily family) {
  return family == FrameFamily::Async || family == FrameFamily::Spi;
}

// The assembler's view of one line direction.
struct LaneState {
  uint8_t laneId = 0;          // copied into the direction of the frames the lane opens
  bool escapePending = false;  // PPP and IrDA SIR: the next byte is to be de-escaped
  int32_t checkLength = 0;     // check-sequence bytes hidden from count on a verdict
  Frame* openFrame = nullptr;
  int32_t cellCapacity = kFrameCells;  // cells a frame keeps; later characters only counted

  int lane() const { return laneId == DirectionSd ? 0 : 1; }
  // Drops the frame the lane was filling; the frame keeps its end status.
  void reset() {
    escapePending = false;
    openFrame = nullptr;
  }
};

namespace framing {

// Stores a cell at the frame's count when the capacity leaves room; otherwise counts it
// as overflow, so that the frame's length before the cut stays known.
inline void storeCell(Frame& frame, uint16_t cell, int32_t capacity) {
  if (frame.count < 0 || frame.count >= capacity) {
    ++frame.overflow;
    return;
  }
  if (frame.count < kFrameCells)
    frame.cells[frame.count] = cell;
  else
    putFurtherCell(frame, frame.count, cell);
  ++frame.count;
  ++frame.stored;
}

// The last data word follows every character, stored or not, so that the check verdict
// of an overlong frame is still found.
inline void appendCell(LaneState& lane, const uint8_t* word, uint16_t cell) {
  Frame* frame = lane.openFrame;
  if (frame == nullptr) return;
  frame->lastDataWord = word;
  storeCell(*frame, cell, lane.cellCapacity);
}

// The verdict comes from the lane's cell in the last word that brought a character.
inline void closeFrame(LaneState& lane) {
  Frame* frame = lane.openFrame;
  if (frame == nullptr) return;
  if (frame->lastDataWord != nullptr) {
    const unsigned status =
        cellStatus(laneCell(lane.lane(), MonitorRing::wordAt(frame->lastDataWord)));
    if (status == StatusGoodCheck) {
      frame->count -= lane.checkLength;
      frame->endStatus = FrameEndStatus::FcsGood;
    } else if (status == StatusBadCheck) {
      frame->count -= lane.checkLength;
      frame->endStatus = FrameEndStatus::FcsError;
    } else {
      frame->endStatus = FrameEndStatus::Ended;
    }
  }
  lane.openFrame = nullptr;
}

inline void endFrameWith(LaneState& lane, FrameEndStatus status) {
  if (lane.openFrame == nullptr) return;
  lane.openFrame->endStatus = status;
  lane.openFrame = nullptr;
}

// Marks the open frame, if any, and resets the lane.
inline void markAndReset(LaneState& lane, FrameEndStatus status) {
  if (lane.openFrame != nullptr) lane.openFrame->endStatus = status;
  lane.reset();
}

// What an event does to the lane: the escape flag changes also while no frame is open.
inline void applyLaneEvent(LaneState& lane, LaneEvent event, const uint8_t* word, uint16_t cell) {
  switch (event) {
    case LaneEvent::None: break;
    case LaneEvent::Append: appendCell(lane, word, cell); break;
    case LaneEvent::EscAppend:
      if (lane.escapePending) cell ^= kEscapeXor;
      lane.escapePending = false;
      appendCell(lane, word, cell);
      break;
    case LaneEvent::EscByte:
      if (lane.escapePending) appendCell(lane, word, cell ^ kEscapeXor);
      lane.escapePending = !lane.escapePending;
      break;
    case LaneEvent::CloseByte:
      if (lane.escapePending)
        endFrameWith(lane, FrameEndStatus::EndA);
      else
        closeFrame(lane);
      lane.escapePending = false;
      break;
    case LaneEvent::Close: closeFrame(lane); break;
    case LaneEvent::EndSF: endFrameWith(lane, FrameEndStatus::EndSF); break;
    case LaneEvent::EndA: endFrameWith(lane, FrameEndStatus::EndA); break;
    case LaneEvent::EndB: markAndReset(lane, FrameEndStatus::EndB); break;
    case LaneEvent::Store7:
      // The status-7 cell ends the frame as its last cell; it brings no character.
      if (lane.openFrame != nullptr) storeCell(*lane.openFrame, cell, lane.cellCapacity);
      lane.reset();
      break;
    case LaneEvent::Detach: lane.reset(); break;
    case LaneEvent::EndOE: markAndReset(lane, FrameEndStatus::EndOE); break;
    case LaneEvent::EndLD: markAndReset(lane, FrameEndStatus::EndLD); break;
  }
}

// applyLaneEvent with the most frequent events, a character stored as it is, handled
// in line: a walk meets them at nearly every word.
inline void applyCellEvent(LaneState& lane, LaneEvent event, const uint8_t* word, uint16_t cell) {
  if (event == LaneEvent::None) return;
  if (event == LaneEvent::Append || (event == LaneEvent::EscAppend && !lane.escapePending)) {
    appendCell(lane, word, cell);
    return;
  }
  applyLaneEvent(lane, event, word, cell);
}

// What a marker record does to every lane: sub-kinds 0 and 1 end the open frames.
constexpr LaneEvent markerEvent(uint32_t word) {
  const unsigned subKind = markerSubKind(word);
  return subKind == 0 ? LaneEvent::EndOE : subKind == 1 ? LaneEvent::EndLD : LaneEvent::None;
}

}  // namespace framing
}  // namespace qv
