#include "util/FileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>

#include <algorithm>
#include <cerrno>

#include "util/Exceptions.h"

namespace zorvik {

TFileStream::TFileStream(const std::string& fileName) : fFileName(fileName) {
  fHandle.Reset(OpenRetry(fileName.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fHandle) throw EFOpenError("Cannot open file " + fileName + ": " + ErrorText(errno));
  struct stat st {};
  if (::fstat(fHandle.Get(), &st) != 0) RaiseLastOSError("Cannot read the size of " + fileName);
  if (S_ISDIR(st.st_mode)) throw EFOpenError("Cannot open file " + fileName + ": it is a folder");
  fSize = st.st_size;
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || fPosition >= fSize) return 0;
  const int64_t n = PreadFull(fHandle.Get(), buffer, static_cast<size_t>(count), fPosition);
  if (n < 0) RaiseLastOSError("Cannot read " + fFileName + " at byte offset " + std::to_string(fPosition));
  fPosition += n;
  return n;
}

bool TFileStream::InMemory(int64_t offset) {
  if (offset < 0 || offset >= fSize) return true;
  // A read that must not wait: it fails with EAGAIN when the byte is not in the page cache.
  char probe;
  iovec io{&probe, 1};
  return ::preadv2(fHandle.Get(), &io, 1, offset, RWF_NOWAIT) >= 0 || errno != EAGAIN;
}

void TFileStream::WillNeed(int64_t offset, int64_t count) {
  // The system reads at most the larger of the read-ahead size and the device's largest transfer for one hint:
  // pieces no larger than either usually is have all of the range read, whatever the settings.
  constexpr int64_t kPiece = int64_t{512} << 10;
  for (int64_t at = offset; at < offset + count; at += kPiece)
    ::posix_fadvise(fHandle.Get(), at, std::min(kPiece, offset + count - at), POSIX_FADV_WILLNEED);
}

void WillNeedFile(const std::string& fileName) noexcept {
  try {
    TFileStream file(fileName);
    file.WillNeed(0, file.Size());
  } catch (const std::exception&) {
  }
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target = offset;
  if (origin == TSeekOrigin::soCurrent) target = fPosition + offset;
  if (origin == TSeekOrigin::soEnd) target = fSize + offset;
  if (target < 0) {
    fPosition = 0;
    return -1;
  }
  fPosition = target;
  return fPosition;
}

}  // namespace zorvik
