#include "meteo/MetTextFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "util/Exceptions.h"
#include "util/FileSniff.h"

namespace zorvik {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Room for the longest line with its two-byte line end, read in big steps.
constexpr size_t kBufferSize = 65536;
static_assert(kBufferSize >= kMaxMetLineLength + 2);

bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\0'; }
bool IsLineEndPair(char a, char b) { return (a == '\r' && b == '\n') || (a == '\n' && b == '\r'); }

[[noreturn]] void ThrowReadError(const std::string& fileName, int err) {
  throw EInOutError(fmt::format("Error reading file \"{}\": {}", fileName, ErrorText(err)));
}

}  // namespace

TMetTextFile::TMetTextFile(std::string fileName) : fFileName(std::move(fileName)), fBuffer(kBufferSize) {
  const int fd = OpenRetry(fFileName.c_str(), O_RDONLY);
  if (fd < 0) {
    const int err = errno;
    throw EFOpenError(fmt::format("Cannot open file \"{}\". {}", fFileName, ErrorText(err)));
  }
  fHandle.Reset(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    throw EFOpenError(fmt::format("Cannot open file \"{}\". {}", fFileName, ErrorText(err)));
  }
  fSize = st.st_size;
  const size_t n = Fill(kByteOrderMark.size());
  if (n == kByteOrderMark.size() && std::memcmp(fBuffer.data(), kByteOrderMark.data(), n) == 0)
    fPosition = static_cast<int64_t>(n);
}

size_t TMetTextFile::Fill(size_t count) {
  const int64_t end = fBufferStart + static_cast<int64_t>(fBufferLength);
  if (fPosition >= fBufferStart && fPosition + static_cast<int64_t>(count) <= end)
    return count;
  if (fPosition < fBufferStart || fPosition > end || end < fSize) {
    // Read afresh from fPosition: a whole buffer, so that the lines after this one need no read.
    const int64_t n = PreadFull(fHandle.Get(), fBuffer.data(), fBuffer.size(), fPosition);
    if (n < 0) ThrowReadError(fFileName, errno);
    fBufferStart = fPosition;
    // A file that shrank while being read ends where its bytes end; one that grew, at its size when opened.
    if (n < static_cast<int64_t>(fBuffer.size())) fSize = std::min(fSize, fPosition + n);
    fBufferLength = static_cast<size_t>(std::clamp<int64_t>(fSize - fPosition, 0, n));
  }
  const int64_t available = fBufferStart + static_cast<int64_t>(fBufferLength) - fPosition;
  return static_cast<size_t>(std::clamp<int64_t>(available, 0, static_cast<int64_t>(count)));
}

std::string TMetTextFile::GetLine() {
  ++fLineNumber;
  if (Eof()) return {};
  // The line, its line end and the second byte of a pair: never more than the buffer holds.
  const size_t available = Fill(kMaxMetLineLength + 2);
  const char* start = fBuffer.data() + (fPosition - fBufferStart);
  const size_t limit = std::min(available, kMaxMetLineLength + 1);
  size_t length = 0;
  while (length < limit && !IsLineEnd(start[length])) ++length;
  if (length > kMaxMetLineLength) ThrowMetLineTooLong(fFileName, fLineNumber);
  std::string line(start, length);
  size_t consumed = length;
  if (consumed < available) {  // a line end follows
    ++consumed;
    if (consumed < available && IsLineEndPair(start[length], start[consumed])) ++consumed;
  }
  fPosition += static_cast<int64_t>(consumed);
  return line;
}

void TMetTextFile::GotoBookmark(const TMetTextBookmark& mark) noexcept {
  fPosition = mark.position;
  fLineNumber = mark.lineNumber;
}

void ThrowMetLineTooLong(const std::string& fileName, int32_t line) {
  throw EFormatError(fmt::format("{}, line {}: the line is longer than {} characters, longer than any met file "
                                 "line; the file is damaged or not a met file",
                                 fileName, line, kMaxMetLineLength));
}

void CheckMetFileIsText(const std::string& fileName) {
  const TFileSniff sniff = SniffFile(fileName);
  if (sniff.ControlBytes == 0) return;
  if (!sniff.LooksLikePostFile) throw EFormatError(fmt::format("{} is a binary file, not a met file", fileName));
  throw EFormatError(fmt::format("{} is a binary file (it looks like a POSTFILE), not a met file", fileName));
}

}  // namespace zorvik
