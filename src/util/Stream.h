#pragma once
// A seekable byte stream with 64-bit positions: the cached file stream and the uncached stream of network
// drives both serve readers through it. Reads are per record or buffer, never per value.
#include <cstdint>
#include <string>

namespace zorvik {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes at the position and advances it; returns the bytes read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Moves the position; a negative result sets it to 0 and returns -1.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size() = 0;
  // Whether the byte at `offset` can be read without waiting for a disk (true where the stream cannot tell).
  virtual bool InMemory(int64_t /*offset*/) { return true; }
  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
};

}  // namespace zorvik
