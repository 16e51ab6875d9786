#include "util/StringFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "util/Exceptions.h"
#include "util/TextUtils.h"

namespace zorvik {
namespace {

constexpr size_t kWriteChunk = 65536;

bool IsTerminator(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// The first terminator in [p, end), or end: sixteen characters at a time where the processor can.
const char* FindTerminator(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), nul = _mm_setzero_si128();
  for (; end - p >= 16; p += 16) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(c, cr), _mm_cmpeq_epi8(c, lf)), _mm_cmpeq_epi8(c, nul));
    if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask != 0)
      return p + std::countr_zero(mask);
  }
#endif
  while (p < end && !IsTerminator(*p)) ++p;
  return p;
}

// CR LF and LF CR are one terminator.
bool IsTerminatorPair(char a, char b) { return (a == '\r' && b == '\n') || (a == '\n' && b == '\r'); }

}  // namespace

TStringFile::TStringFile(const std::string& AFileName, TStringFileMode Mode) : FFileName(AFileName) {
  int flags = O_RDONLY;
  const char* verb = "open";
  switch (Mode) {
    case TStringFileMode::smRead:
      flags = O_RDONLY;
      break;
    case TStringFileMode::smCreate:
      flags = O_RDWR | O_CREAT | O_TRUNC;
      verb = "create";
      break;
    case TStringFileMode::smAppend:
      flags = O_RDWR | O_CREAT | O_APPEND;
      break;
  }
  fWritable = Mode != TStringFileMode::smRead;
  int fd = OpenRetry(AFileName.c_str(), flags);
  if (fd < 0) {
    int err = errno;
    throw EFOpenError("Cannot " + std::string(verb) + " file \"" + AFileName + "\". " + ErrorText(err));
  }
  fHandle.Reset(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    throw EFOpenError("Cannot " + std::string(verb) + " file \"" + AFileName + "\". " + ErrorText(err));
  }
  FEOF = st.st_size == 0;
}

TStringFile::TStringFile(const std::string& AFileName, TFileHandle AHandle)
    : fHandle(std::move(AHandle)), FFileName(AFileName), fWritable(true) {
  CheckOpen();
}

TStringFile::~TStringFile() {
  if (fHandle && !fWriteBuffer.empty()) WriteFull(fHandle.Get(), fWriteBuffer.data(), fWriteBuffer.size());
}

void TStringFile::CheckOpen() const {
  if (!fHandle) throw EInOutError("File \"" + FFileName + "\" is closed");
}

void TStringFile::RaiseIOError(const char* what, int err) const {
  throw EInOutError("Error " + std::string(what) + " file \"" + FFileName + "\": " + ErrorText(err));
}

int64_t TStringFile::Size() {
  CheckOpen();
  Flush();
  struct stat st {};
  if (::fstat(fHandle.Get(), &st) != 0) RaiseIOError("reading", errno);
  return st.st_size;
}

void TStringFile::FillBuffer() {
  // The unread bytes (at most two: a terminator that may be the first half of a pair) move to the start.
  const int32_t unread = BufSize - StartPos;
  if (unread > 0 && StartPos > 0) std::memmove(Buffer.data(), Buffer.data() + StartPos, static_cast<size_t>(unread));
  int64_t n = PreadFull(fHandle.Get(), Buffer.data() + unread, static_cast<size_t>(kBufferSize - unread), fStreamPos);
  if (n < 0) RaiseIOError("reading", errno);
  fStreamPos += n;
  BufSize = unread + static_cast<int32_t>(n);
  StartPos = 0;
  // The end: nothing left, or nothing but the terminator of the line being read.
  FEOF = BufSize == 0 || (BufSize == 1 && IsTerminator(Buffer[0])) ||
         (BufSize == 2 && IsTerminatorPair(Buffer[0], Buffer[1]));
}

std::string TStringFile::GetLine() {
  ++fLineNumber;
  if (FEOF) {
    FCurrentLine.clear();
    return {};
  }
  CheckOpen();
  Flush();
  std::string line;
  for (;;) {
    const char* const data = Buffer.data();
    const auto p = static_cast<int32_t>(FindTerminator(data + StartPos, data + BufSize) - data);
    line.append(Buffer.data() + StartPos, static_cast<size_t>(p - StartPos));
    StartPos = p;
    const bool found = p < BufSize;
    if (BufSize - StartPos <= 2) FillBuffer();
    if (FEOF) {
      StartPos = BufSize;  // the final terminator, if any, is consumed with the last line
      break;
    }
    if (found) {
      const char c = Buffer[StartPos++];
      if (StartPos < BufSize && IsTerminatorPair(c, Buffer[StartPos])) ++StartPos;
      break;
    }
  }
  FCurrentLine = line;
  return line;
}

std::string TStringFile::GetTrimLine() { return std::string(TrimView(GetLine())); }

std::string TStringFile::GetNotEmptyLine() {
  std::string line;
  do {
    line = GetLine();
  } while (line.empty() && !FEOF);
  return line;
}

std::string TStringFile::GetNotEmptyLineTrim() {
  std::string line;
  do {
    line = GetTrimLine();
  } while (line.empty() && !FEOF);
  return line;
}

void TStringFile::EmptyBuffer(int64_t position) {
  fStreamPos = position;
  BufSize = 0;
  StartPos = 0;
}

void TStringFile::MoveTo(int64_t aPosition) {
  const int64_t size = Size();
  aPosition = std::clamp<int64_t>(aPosition, 0, size);
  EmptyBuffer(aPosition);
  if (fWritable) ::lseek(fHandle.Get(), static_cast<off_t>(aPosition), SEEK_SET);
  FEOF = aPosition == size;
}

void TStringFile::Reset() {
  MoveTo(0);
  fLineNumber = 0;
}

void TStringFile::GetBookmark(TStringFileBookmark& aBookmark) const {
  aBookmark.fPosition = GetPosition();
  aBookmark.fCurrLine = FCurrentLine;
  aBookmark.fLineNum = fLineNumber;
  aBookmark.fEoF = FEOF;
}

void TStringFile::GotoBookmark(const TStringFileBookmark& aBookmark) {
  CheckOpen();
  Flush();
  EmptyBuffer(aBookmark.fPosition);
  FCurrentLine = aBookmark.fCurrLine;
  fLineNumber = aBookmark.fLineNum;
  FEOF = aBookmark.fEoF;
}

int32_t TStringFile::GetLineCount() {
  int32_t count = 0;
  while (!FEOF) {
    GetLine();
    ++count;
  }
  Reset();
  return count;
}

void TStringFile::WriteString(std::string_view Value) {
  CheckOpen();
  if (!fWritable) RaiseIOError("writing", EBADF);
  fWriteBuffer.append(Value);
  ++fLineNumber;
  if (fWriteBuffer.size() >= kWriteChunk) Flush();
}

void TStringFile::WriteLine(std::string_view Value) {
  WriteString(Value);
  fWriteBuffer.append(kLineEnd);
}

void TStringFile::WriteLines(std::string_view text, int32_t count) {
  CheckOpen();
  if (!fWritable) RaiseIOError("writing", EBADF);
  fWriteBuffer.append(text);
  fLineNumber += count;
  if (fWriteBuffer.size() >= kWriteChunk) Flush();
}

void TStringFile::Flush() {
  if (fWriteBuffer.empty()) return;
  CheckOpen();
  int64_t n = WriteFull(fHandle.Get(), fWriteBuffer.data(), fWriteBuffer.size());
  if (n != static_cast<int64_t>(fWriteBuffer.size())) {
    int err = errno;
    fWriteBuffer.erase(0, static_cast<size_t>(std::max<int64_t>(n, 0)));
    RaiseIOError("writing", err);
  }
  fWriteBuffer.clear();
}

void TStringFile::Close() {
  if (!fHandle) return;
  try {
    Flush();
  } catch (...) {
    fWriteBuffer.clear();
    fHandle.Reset();
    throw;
  }
  if (int err = fHandle.Close(); err != 0) RaiseIOError("closing", err);
}

}  // namespace zorvik
