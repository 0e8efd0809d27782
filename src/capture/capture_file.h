#pragma once
// The loaded capture file: one buffer holding the whole file, the decoded measurement
// conditions, and the MOND chunk seen as a circular ring of record words.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "capture/bytes.h"
#include "capture/conditions.h"
#include "capture/mapped_file.h"
#include "capture/monitor_ring.h"
#include "capture/record_word.h"

namespace qv {

// The largest capture image: the whole of it must be addressable with a signed 32-bit
// length. A larger file is refused as "Data file error.".
inline constexpr size_t kLargestCaptureImage =
    static_cast<size_t>(std::numeric_limits<int32_t>::max());

struct LoadOptions {
  // Takes a capture whose last chunk runs past the end of the file as far as it goes:
  // a MOND chunk shortened to its whole words present, a DINF chunk decoded as far as
  // its bytes reach. Without it such a file is refused.
  bool salvage = false;
};

// What the last load found out about a capture cut short: a chunk whose length runs past
// the end of the file, with monitor data to show (a ring from an earlier chunk, or the
// cut chunk itself is the MOND chunk).
struct CutShort {
  bool found = false;
  uint32_t monitorPresent = 0;   // bytes of the ring's MOND data in the file
  uint32_t monitorDeclared = 0;  // bytes its chunk head declares
};

// Which cells the in-band boundary searches stop at: those opening a frame under the
// family's framing (IrDA: under either of its framings); the character search stops at
// any data word.
enum class BoundaryKind : uint8_t { Hdlc, Ppp, Irda, I2c, Character, Spi };

// The capture buffer's bytes are not zeroed when it is sized: every load fills or cuts
// away each byte it keeps, and zeroing a large capture first costs about as much as
// reading it.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  // Value construction without arguments, which resize asks for, leaves the bytes as they
  // are; construction from a value goes on as usual.
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
};
using CaptureBuffer = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

class CaptureFile {
 public:
  CaptureFile();
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;

  // Reads and validates the named file, which must be a regular file. Returns 1 on
  // success; on failure writes one message line to the console and returns 0.
  int loadCaptureFile(const std::string& name, std::ostream& console,
                      const LoadOptions& options = {});
  // The same for a capture read from an open descriptor to its end (standard input), into
  // a buffer that grows under the same size limit.
  int loadCaptureStream(int descriptor, std::ostream& console, const LoadOptions& options = {});
  // How loads read the file's bytes after its head: read(2) unless set. A reader that
  // delivers less than asked stands for a file that is shorter than its length.
  using FileReader = size_t (*)(int descriptor, uint8_t* into, size_t length);
  void setFileReader(FileReader reader) { fileReader_ = reader; }
  // Takes an in-memory image as the capture buffer and parses it (tests, fuzzing).
  int loadImage(const std::vector<uint8_t>& bytes, const LoadOptions& options = {});
  // The same without a copy, for a capture read into a buffer of the loader's kind.
  int loadImage(CaptureBuffer bytes, const LoadOptions& options = {});
  // Takes the file behind an open descriptor as the one the capture came from, as the
  // loads from a file do: a capture read from standard input and handed over by
  // loadImage is then also known to isSameFile.
  void rememberSourceFile(int descriptor);
  // Parses an image that stays owned by the caller and must outlive this object's use.
  int parseCaptureImage(const uint8_t* bytes, int32_t length, const LoadOptions& options = {});
  // Set by every load: whether the capture was cut short, and how much is present.
  const CutShort& cutShort() const { return cutShort_; }
  // "cut short: N of M bytes of monitor data present"
  std::string cutShortMessage() const;
  // True when the path names the file the capture was loaded from (the same device and
  // inode, whatever the spelling, link or symbolic link); false when it does not exist.
  bool isSameFile(const std::string& path) const;
  // Whether bytes read so far start with the capture magic (false while fewer than 16).
  static bool startsWithMagic(const uint8_t* head, size_t length);
  // False when the capture was read in place from its file and the file has since been
  // cut short or rewritten, so that what was read may mix two captures; true for a
  // capture held in memory.
  bool unchangedSinceLoad() const { return mapping_.unchanged(); }
  // Frees the capture buffer; the ring becomes empty.
  void freeBuffer();

  const MeasureConditions& conditions() const { return conditions_; }
  int8_t protocol() const { return conditions_.protocol(); }
  int8_t code() const { return conditions_.code(); }
  uint8_t lineStateRecorded() const { return conditions_.lineStateRecorded(); }
  uint8_t stampFlag1() const { return conditions_.stampFlag1(); }
  uint8_t stampFlag2() const { return conditions_.stampFlag2(); }

  // The ring: chunkStart() is the first word, chunkEnd() the wrap point (the chunk
  // start plus the whole words of the chunk; a partial trailing word is not part of it).
  const uint8_t* chunkStart() const { return chunkStart_; }
  const uint8_t* chunkEnd() const { return chunkEnd_; }
  MonitorRing ring() const { return MonitorRing(chunkStart_, chunkEnd_); }
  uint32_t byteLength() const { return conditions_.byteLength; }
  const RecordCursor& startCursor() const { return conditions_.startCursor; }
  static uint32_t wordAt(const uint8_t* position) { return MonitorRing::wordAt(position); }

  bool advance(RecordCursor& cursor) const;
  bool advanceColumn(RecordCursor& cursor) const;
  // The words from the cursor's on that advance steps through as plain neighbours in
  // memory: every word of the run but the last is followed by the next one, so a walk
  // over many words can use stepInRun for those steps and advance for the last one
  // (which wraps or stops). 0 when the cursor is not on a word of the ring.
  size_t straightRun(const RecordCursor& cursor) const;
  // advance from a word of a straight run that is not its last: no ring test needed.
  static void stepInRun(RecordCursor& cursor) {
    const uint32_t left = wordAt(cursor.position);
    if (isLineStateWord(left)) cursor.lineState = lineStateAfter(left);
    if (isSpeedWord(left)) cursor.speedCode = speedCodeAfter(left);
    cursor.position += MonitorRing::kWordBytes;
  }
  int seek(int index);
  uint16_t lineStateAt(const uint8_t* position) const;
  int speedCodeAt(const uint8_t* position) const;

  // Boundary searches: move the cursor to the next frame boundary and return true,
  // or return false and leave the cursor unchanged.
  bool nextStampDelimited(RecordCursor& cursor) const;
  // The in-band search of one kind of boundary cell.
  bool nextBoundary(BoundaryKind kind, RecordCursor& cursor) const;
  // The second half of an in-band search: from a cursor (with the state in force there)
  // past the current frame's opening word, with no boundary between that word and the
  // cursor, moves to the next boundary as the search from the opening would. False,
  // cursor unchanged, when there is none.
  bool continueBoundarySearch(BoundaryKind kind, RecordCursor& cursor) const;

 private:
  int finishLoad(std::ostream& console, const LoadOptions& options, const uint8_t* bytes,
                 size_t length);
  void releaseImage();

  MeasureConditions conditions_;
  CaptureBuffer buffer_;
  MappedFile mapping_;  // a file read in place instead of into buffer_
  CutShort cutShort_;
  bool loadedFromFile_ = false;
  uint64_t loadedDevice_ = 0;
  uint64_t loadedInode_ = 0;
  const uint8_t* chunkStart_ = nullptr;
  const uint8_t* chunkEnd_ = nullptr;
  FileReader fileReader_ = nullptr;
};

}  // namespace qv
