#include "meteo/MetTextFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "util/Exceptions.h"

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

// How many bytes of the file's start the sniff looks at.
constexpr size_t kSniffLength = 4096;
constexpr int32_t kPostRecordHeaderLength = 16;     // date key, period, group id
constexpr int32_t kMaxPostRecordLength = 104857600;

int32_t ReadInt32LE(const char* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return static_cast<int32_t>(v);
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

TBinarySniff SniffBinaryBytes(std::string_view data, int64_t fileSize) {
  TBinarySniff result;
  for (const char c : data) {
    const auto u = static_cast<unsigned char>(c);
    // Text: printable bytes (8-bit included), tab, line ends, vertical tab, form feed, the DOS end mark.
    if (u < ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f' && u != 0x1A) {
      result.binary = true;
      break;
    }
  }
  if (!result.binary || data.size() < 4) return result;
  // A POSTFILE: a Tarvo header (-1 first), or a record whose 4-byte length stands before and after it.
  const int32_t first = ReadInt32LE(data.data());
  if (first == -1) {
    result.looksLike = "a POSTFILE";
  } else if (first >= kPostRecordHeaderLength && first <= kMaxPostRecordLength && first + int64_t{8} <= fileSize &&
             static_cast<size_t>(first) + 8 <= data.size() &&
             ReadInt32LE(data.data() + 4 + first) == first) {
    result.looksLike = "a POSTFILE";
  }
  return result;
}

TBinarySniff SniffBinary(const std::string& fileName) {
  const int fd = OpenRetry(fileName.c_str(), O_RDONLY);
  if (fd < 0) {
    const int err = errno;
    throw EFOpenError(fmt::format("Cannot open file \"{}\". {}", fileName, ErrorText(err)));
  }
  TFileHandle handle(fd);
  std::string head(kSniffLength, '\0');
  const int64_t n = PreadFull(fd, head.data(), head.size(), 0);
  if (n < 0) ThrowReadError(fileName, errno);
  head.resize(static_cast<size_t>(n));
  struct stat st {};
  const int64_t size = ::fstat(fd, &st) == 0 ? st.st_size : n;
  TBinarySniff result = SniffBinaryBytes(head, size);
  if (result.binary && result.looksLike.empty() && head.size() >= 4) {
    // A first record longer than the bytes looked at: its trailing length word lies further on.
    const int32_t first = ReadInt32LE(head.data());
    if (first >= kPostRecordHeaderLength && first <= kMaxPostRecordLength && first + int64_t{8} <= size) {
      char trailer[4];
      if (PreadFull(fd, trailer, 4, 4 + int64_t{first}) == 4 && ReadInt32LE(trailer) == first)
        result.looksLike = "a POSTFILE";
    }
  }
  return result;
}

void CheckMetFileIsText(const std::string& fileName) {
  const TBinarySniff sniff = SniffBinary(fileName);
  if (!sniff.binary) return;
  if (sniff.looksLike.empty())
    throw EFormatError(fmt::format("{} is a binary file, not a met file", fileName));
  throw EFormatError(fmt::format("{} is a binary file (it looks like {}), not a met file", fileName, sniff.looksLike));
}

}  // namespace zorvik
