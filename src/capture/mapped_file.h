#pragma once
// A capture file mapped into memory, read-only, instead of copied into a buffer: the
// system then neither zeroes a buffer nor copies the file into it, which is about a
// quarter of a large conversion's time.
//
// A mapping is no snapshot: the file may be rewritten or cut short while the run reads
// it. Both are noticed. A page that a cut took away reads as zeros instead of stopping
// the program with a bus error, and unchanged() then says false, as it does when the
// file's length or modification time moved since it was mapped; a run that finds so
// does not put its report in place.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace qv {

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { unmap(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the first `length` bytes of the regular file open on descriptor, which must be
  // its whole length. False, nothing mapped, when the system cannot map it or too many
  // files are mapped at once: the caller then reads it instead.
  bool map(int descriptor, size_t length);
  void unmap();

  const uint8_t* data() const { return data_; }
  size_t size() const { return length_; }

  // False when a page of the mapping was found cut away, or the file's length or
  // modification time differ from when it was mapped.
  bool unchanged() const;

 private:
  uint8_t* data_ = nullptr;
  size_t length_ = 0;
  int descriptor_ = -1;  // a duplicate, kept to look at the file again
  int guardSlot_ = -1;
  off_t fileSize_ = 0;
  timespec modified_{};
};

}  // namespace qv
