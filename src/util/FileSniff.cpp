#include "util/FileSniff.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include <fmt/format.h>

#include "util/Exceptions.h"
#include "util/FileHandle.h"

namespace zorvik {
namespace {

constexpr size_t kSniffLength = 4096;
constexpr int32_t kPostRecordHeaderLength = 16;  // date key, period, group id
constexpr int32_t kMaxPostRecordLength = 104857600;

int32_t ReadInt32LE(const char* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return static_cast<int32_t>(v);
}

// NUL and the control characters other than tab, line and page ends and the DOS end-of-file mark.
bool IsControlByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f' && u != 0x1A;
}

}  // namespace

TFileSniff SniffFile(const std::string& fileName) {
  TFileHandle handle(OpenRetry(fileName.c_str(), O_RDONLY));
  if (!handle) throw EFOpenError(fmt::format("Cannot open file \"{}\". {}", fileName, ErrorText(errno)));
  std::string head(kSniffLength, '\0');
  const int64_t n = PreadFull(handle.Get(), head.data(), head.size(), 0);
  if (n < 0) throw EFOpenError(fmt::format("Cannot read file \"{}\". {}", fileName, ErrorText(errno)));
  head.resize(static_cast<size_t>(n));
  struct stat st {};
  const int64_t size = ::fstat(handle.Get(), &st) == 0 ? st.st_size : n;

  TFileSniff sniff;
  sniff.Length = head.size();
  for (const char c : head) sniff.ControlBytes += IsControlByte(c);
  if (head.size() < 4) return sniff;
  // A POSTFILE: a header with the receptors (-1 first), or a first record whose length word stands before and
  // after it (further on than the bytes looked at, for a long record).
  const int32_t first = ReadInt32LE(head.data());
  if (first == -1) {
    sniff.LooksLikePostFile = true;
  } else if (first >= kPostRecordHeaderLength && first <= kMaxPostRecordLength && first + int64_t{8} <= size) {
    char trailer[4];
    const int64_t at = 4 + int64_t{first};
    if (at + 4 <= static_cast<int64_t>(head.size()))
      sniff.LooksLikePostFile = ReadInt32LE(head.data() + at) == first;
    else
      sniff.LooksLikePostFile = PreadFull(handle.Get(), trailer, 4, at) == 4 && ReadInt32LE(trailer) == first;
  }
  return sniff;
}

}  // namespace zorvik
