#pragma once
// A move-only owner of an operating-system file descriptor, and the small loops around read and write that
// survive short transfers and interrupted calls.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace zorvik {

class TFileHandle {
 public:
  TFileHandle() noexcept = default;
  explicit TFileHandle(int fd) noexcept : fFd(fd) {}
  ~TFileHandle() { Reset(); }
  TFileHandle(TFileHandle&& other) noexcept : fFd(std::exchange(other.fFd, -1)) {}
  TFileHandle& operator=(TFileHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      fFd = std::exchange(other.fFd, -1);
    }
    return *this;
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;

  int Get() const noexcept { return fFd; }
  bool IsOpen() const noexcept { return fFd >= 0; }
  explicit operator bool() const noexcept { return IsOpen(); }
  // Closes the descriptor, ignoring a failure (the destructor's path).
  void Reset(int fd = -1) noexcept;
  // Closes the descriptor; returns 0 or the error number of a failed close.
  int Close() noexcept;

 private:
  int fFd = -1;
};

// open(2) retried on EINTR; returns the descriptor or -1 with errno set.
int OpenRetry(const char* name, int flags, mode_t mode = 0666) noexcept;
// Reads up to count bytes at offset, looping over short reads until count bytes or the end of the file.
// Returns the bytes read, or -1 with errno set.
int64_t PreadFull(int fd, void* buffer, size_t count, int64_t offset) noexcept;
// Writes all count bytes at the descriptor's position; returns the bytes written (count unless an error
// stopped it; errno is then set).
int64_t WriteFull(int fd, const void* buffer, size_t count) noexcept;
// The same at an explicit offset.
int64_t PwriteFull(int fd, const void* buffer, size_t count, int64_t offset) noexcept;
namespace detail {
// Test seam: after `successfulWrites` more writes through WriteFull or PwriteFull, every further one fails
// with the error number `err` (ENOSPC, EIO ...); InjectWriteFault(0, 0) ends the injection.
void InjectWriteFault(int err, int successfulWrites) noexcept;
}  // namespace detail

// The text of an error number ("No such file or directory").
std::string ErrorText(int err);

}  // namespace zorvik
