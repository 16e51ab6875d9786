#include "plotfile/PlotSniff.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace zorvik {
namespace {

constexpr std::streamsize kSniffBytes = 4096;

int32_t Int32At(const char* bytes) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  return static_cast<int32_t>(v);
}

// A byte that no text file of the models holds: NUL and the control characters other than tab, line and page
// ends, and the DOS end-of-file mark.
bool IsBinaryByte(unsigned char c) {
  return c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v' && c != 0x1A;
}

}  // namespace

std::string DescribeBinaryPlotInput(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return {};
  std::array<char, kSniffBytes> head{};
  in.read(head.data(), kSniffBytes);
  const auto n = static_cast<size_t>(in.gcount());
  size_t binary = 0;
  for (size_t i = 0; i < n; ++i) binary += IsBinaryByte(static_cast<unsigned char>(head[i])) ? 1 : 0;
  // A stray control byte in a text file is a damaged line, which the reader reports with its line; a binary
  // file is full of them (zero bytes of small integers and of the values).
  if (binary == 0 || binary * 20 < n) return {};

  // A POSTFILE starts with a record length (or -1, the mark of a header with the receptors) that its first
  // record repeats after itself.
  if (n >= 4) {
    const int32_t length = Int32At(head.data());
    if (length == -1) return "a binary file (it looks like a POSTFILE)";
    if (length > 0) {
      std::array<char, 4> trailer{};
      const int64_t at = 4 + static_cast<int64_t>(length);
      if (at + 4 <= static_cast<int64_t>(n)) {
        std::memcpy(trailer.data(), head.data() + at, 4);
      } else {
        in.clear();
        in.seekg(at);
        in.read(trailer.data(), 4);
        if (in.gcount() != 4) return "a binary file";
      }
      if (Int32At(trailer.data()) == length) return "a binary file (it looks like a POSTFILE)";
    }
  }
  return "a binary file";
}

}  // namespace zorvik
