#include "post/UnbufferedFileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstdint>
#include <cstring>

#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

constexpr int64_t kMaxBufferSize = int64_t{1} << 30;

std::atomic<bool> gDirectAccessAllowed{true};

// The position `offset` bytes from `base`: -1 when negative, the largest position when the sum overflows.
int64_t SeekTarget(int64_t base, int64_t offset) {
  int64_t target = 0;
  if (__builtin_add_overflow(base, offset, &target)) return offset > 0 ? INT64_MAX : -1;
  return target < 0 ? -1 : target;
}

// Closes the descriptor on leaving a fill or flush when the stream runs in stealth mode.
class StealthCloser {
 public:
  StealthCloser(TFileHandle& handle, bool stealth) : fHandle(handle), fStealth(stealth) {}
  ~StealthCloser() {
    if (fStealth) fHandle.Reset();
  }
  StealthCloser(const StealthCloser&) = delete;
  StealthCloser& operator=(const StealthCloser&) = delete;

 private:
  TFileHandle& fHandle;
  bool fStealth;
};

// Turns cache bypassing off or on for a descriptor opened with O_DIRECT.
void SetDirect(int fd, bool on) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return;
  ::fcntl(fd, F_SETFL, on ? (flags | O_DIRECT) : (flags & ~O_DIRECT));
}

}  // namespace

void detail::SetDirectAccessAllowed(bool allowed) noexcept { gDirectAccessAllowed = allowed; }

void TUnbufferedFileStream::FreeDeleter::operator()(std::byte* p) const noexcept { std::free(p); }

int TUnbufferedFileStream::BufferSizeFor(int aBufferSizeKB) {
  if (aBufferSizeKB <= 0) return kDefaultBufferSize;
  const int64_t bytes = (static_cast<int64_t>(aBufferSizeKB) + 3) / 4 * kBlockSize;
  if (bytes > kMaxBufferSize) {
    RaiseLastOSError("Buffer of " + std::to_string(aBufferSizeKB) + " KB for " + "unbuffered reading", ENOMEM);
  }
  return static_cast<int>(bytes);
}

TUnbufferedFileStream::TUnbufferedFileStream(const std::string& AFileName, uint16_t AMode, int aBufferSizeKB) {
  traced("TUnbufferedFileStream.Create", [&] {
    if (AMode == fmCreate) throw Exception("file create mode is not supported yet");
    int fd = OpenHandle(AFileName, AMode);
    if (fd < 0) throw EFOpenError("Cannot open file " + AFileName + ": " + ErrorText(errno));
    fHandle.Reset(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) RaiseLastOSError("Size of " + AFileName);
    fFileSize = st.st_size;
    SetBufferSize(aBufferSizeKB);
    AllocateBuffer();
    fStealthMode = false;
  });
}

TUnbufferedFileStream::~TUnbufferedFileStream() {
  try {
    if (fBufferDirty) FlushBuffer();
  } catch (...) {
    // A stealth reopen that fails here loses the unwritten tail; Close reports it.
  }
  fHandle.Reset();
  ReleaseBuffer();
}

int TUnbufferedFileStream::OpenHandle(const std::string& AFileName, uint16_t AMode) {
  fFileName = AFileName;
  fMode = AMode;
  const int access = AMode & 0x3;
  const int sharing = (AMode >> 4) & 0xF;
  if (access > 2 || sharing > 4) {
    errno = EINVAL;
    return -1;
  }
  static constexpr int kAccess[] = {O_RDONLY, O_WRONLY, O_RDWR};
  const int flags = kAccess[access];
  fDirect = gDirectAccessAllowed;
  int fd = fDirect ? OpenRetry(AFileName.c_str(), flags | O_DIRECT) : -1;
  if (!fDirect || (fd < 0 && errno == EINVAL)) {
    // The file system does not do direct access (tmpfs, some FUSE mounts): read through the cache and drop
    // the pages after each fill instead.
    fDirect = false;
    fd = OpenRetry(AFileName.c_str(), flags);
  }
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

void TUnbufferedFileStream::EnsureHandle() {
  if (fHandle) return;
  int fd = OpenHandle(fFileName, fMode);
  if (fd < 0) throw EFOpenError("Cannot open file " + fFileName + ": " + ErrorText(errno));
  fHandle.Reset(fd);
}

void TUnbufferedFileStream::SetBufferSize(int Value) { fBufferSize = BufferSizeFor(Value); }

void TUnbufferedFileStream::AllocateBuffer() {
  const long page = ::sysconf(_SC_PAGESIZE);
  const size_t alignment = static_cast<size_t>(std::max<long>(kBlockSize, page));
  void* p = nullptr;
  if (int rc = ::posix_memalign(&p, alignment, static_cast<size_t>(fBufferSize)); rc != 0) {
    RaiseLastOSError("Buffer of " + std::to_string(fBufferSize) + " bytes for " + fFileName, rc);
  }
  fBuffer.reset(static_cast<std::byte*>(p));
}

void TUnbufferedFileStream::ReleaseBuffer() {
  fBufferDataSize = 0;
  fBuffer.reset();
}

bool TUnbufferedFileStream::FillBuffer() {
  EnsureHandle();
  StealthCloser closer(fHandle, fStealthMode);
  const int64_t start = fFilePosition / fBufferSize * fBufferSize;
  auto* buffer = fBuffer.get();
  int64_t total = 0;
  while (total < fBufferSize) {
    ssize_t n = ::pread(fHandle.Get(), buffer + total, static_cast<size_t>(fBufferSize - total),
                        static_cast<off_t>(start + total));
    if (n < 0) {
      if (errno == EINTR) continue;
      // The buffer may be partly overwritten: it no longer holds what it held.
      fBufferDataSize = 0;
      return false;
    }
    if (n == 0) break;
    total += n;
    // A direct read ends short only at the end of the file; the next offset would not be aligned.
    if (fDirect && total % kBlockSize != 0) break;
  }
  if (!fDirect && total > 0) ::posix_fadvise(fHandle.Get(), start, total, POSIX_FADV_DONTNEED);
  fBufferPosition = start;
  fBufferDataSize = static_cast<int>(total);
  return total > 0;
}

int64_t TUnbufferedFileStream::Read(void* buffer, int64_t count) {
  return traced("TUnbufferedFileStream.Read", [&]() -> int64_t {
    if (count <= 0) return 0;
    if (fBufferDirty && !FlushBuffer()) return 0;
    auto* out = static_cast<std::byte*>(buffer);
    int64_t done = 0;
    while (done < count) {
      if (fFilePosition < fBufferPosition || fFilePosition >= fBufferPosition + fBufferDataSize) {
        if (!FillBuffer()) break;
      }
      const int64_t available = fBufferPosition + fBufferDataSize - fFilePosition;
      const int64_t n = std::min(count - done, available);
      if (n <= 0) break;
      std::memcpy(out + done, fBuffer.get() + (fFilePosition - fBufferPosition), static_cast<size_t>(n));
      fFilePosition += n;
      done += n;
    }
    return done;
  });
}

bool TUnbufferedFileStream::ReadByte(uint8_t& aData) { return Read(&aData, 1) == 1; }

bool TUnbufferedFileStream::FlushBuffer() {
  if (!fBufferDirty || fBufferDataSize == 0) {
    fBufferDirty = false;
    return true;
  }
  EnsureHandle();
  StealthCloser closer(fHandle, fStealthMode);
  // Whole aligned buffers go straight to the device; a partial one goes through the cache, so that no byte
  // beyond the data is ever written and nothing has to be cut off afterwards.
  const bool whole = fBufferDataSize == fBufferSize && fBufferPosition % kBlockSize == 0;
  if (fDirect && !whole) SetDirect(fHandle.Get(), false);
  const int64_t written =
      PwriteFull(fHandle.Get(), fBuffer.get(), static_cast<size_t>(fBufferDataSize), fBufferPosition);
  const int err = errno;
  if (fDirect && !whole) SetDirect(fHandle.Get(), true);
  if (written != fBufferDataSize) {
    errno = err;
    return false;
  }
  fFileSize = std::max(fFileSize, fBufferPosition + written);
  fBufferPosition += written;
  fBufferDataSize = 0;
  fBufferDirty = false;
  return true;
}

int64_t TUnbufferedFileStream::Write(const void* buffer, int64_t count) {
  return traced("TUnbufferedFileStream.Write", [&]() -> int64_t {
    if (count <= 0) return 0;
    fIsWriting = true;
    if (!fBufferDirty) {
      // Bytes held for reading are dropped; the write window starts at the position.
      fBufferDataSize = 0;
      fBufferPosition = fFilePosition;
    } else if (fFilePosition != fBufferPosition + fBufferDataSize) {
      if (!FlushBuffer()) return 0;
      fBufferPosition = fFilePosition;
    }
    const auto* in = static_cast<const std::byte*>(buffer);
    int64_t done = 0;
    while (done < count) {
      if (fBufferDataSize == fBufferSize && !FlushBuffer()) break;
      const int64_t n = std::min<int64_t>(count - done, fBufferSize - fBufferDataSize);
      std::memcpy(fBuffer.get() + fBufferDataSize, in + done, static_cast<size_t>(n));
      fBufferDataSize += static_cast<int>(n);
      fBufferDirty = true;
      fFilePosition += n;
      done += n;
    }
    return done;
  });
}

int64_t TUnbufferedFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  switch (origin) {
    case TSeekOrigin::soBeginning:
      base = 0;
      break;
    case TSeekOrigin::soCurrent:
      base = fFilePosition;
      break;
    case TSeekOrigin::soEnd:
      base = fFileSize;
      break;
  }
  const int64_t target = SeekTarget(base, offset);
  fFilePosition = target < 0 ? 0 : target;
  return target;
}

void TUnbufferedFileStream::SetSize(int64_t) { throw Exception("setsize for unbuffered files is not supported yet"); }

void TUnbufferedFileStream::Close() {
  traced("TUnbufferedFileStream.Close", [&] {
    if (fBufferDirty && !FlushBuffer()) {
      const int err = errno;
      fHandle.Reset();
      fBufferDirty = false;
      fBufferDataSize = 0;
      throw EInOutError("Error writing file " + fFileName + " at byte " + std::to_string(fBufferPosition) + ". " +
                        ErrorText(err));
    }
    if (int err = fHandle.Close(); err != 0) {
      throw EInOutError("Error closing file " + fFileName + ". " + ErrorText(err));
    }
  });
}

}  // namespace zorvik
