#pragma once
// TMetTextFile: the line reader of met files. Lines end in CR, LF, CR LF, LF CR or NUL (the same line ends the
// rest of the system reads); a UTF-8 byte-order mark at the start of the file is skipped. No met file layout
// has lines longer than a few hundred characters, so a line longer than kMaxMetLineLength is refused as soon
// as the reader has seen that many characters of it: a damaged or foreign file never makes the reader hold a
// line of megabytes.
//
//   TMetTextFile file(fileName);          // EFOpenError when it cannot be opened
//   while (!file.Eof()) {
//     std::string line = file.GetLine();  // EFormatError "<file>, line <n>: the line is longer than ..."
//     ...
//   }
//
// Also the test of a file's first bytes: a file with NUL or other non-text bytes there is no met file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/FileHandle.h"

namespace zorvik {

// The longest line a met file may hold: the surface file lines are about 200 characters, ISCST3 records 48 and
// more, so this leaves room for any trailing text and blanks.
inline constexpr size_t kMaxMetLineLength = 4096;

// A reading place of a TMetTextFile.
struct TMetTextBookmark {
  int64_t position = 0;
  int32_t lineNumber = 0;
};

class TMetTextFile {
 public:
  explicit TMetTextFile(std::string fileName);
  TMetTextFile(const TMetTextFile&) = delete;
  TMetTextFile& operator=(const TMetTextFile&) = delete;

  // The next line without its line end; the empty text at the end of the file. A line end at the very end of
  // the file starts no further line.
  std::string GetLine();
  bool Eof() const noexcept { return fPosition >= fSize; }
  // The number of the line read last (from 1).
  int32_t LineNumber() const noexcept { return fLineNumber; }
  const std::string& FileName() const noexcept { return fFileName; }

  TMetTextBookmark GetBookmark() const noexcept { return {fPosition, fLineNumber}; }
  void GotoBookmark(const TMetTextBookmark& mark) noexcept;

 private:
  // Makes the bytes from fPosition on, up to count of them, lie in the buffer; returns how many do.
  size_t Fill(size_t count);

  std::string fFileName;
  TFileHandle fHandle;
  int64_t fSize = 0;
  int64_t fPosition = 0;  // the next unread byte
  int32_t fLineNumber = 0;
  std::vector<char> fBuffer;
  int64_t fBufferStart = 0;  // file position of fBuffer[0]
  size_t fBufferLength = 0;
};

// The error of a line longer than kMaxMetLineLength.
[[noreturn]] void ThrowMetLineTooLong(const std::string& fileName, int32_t line);

// Raises EFormatError "<file> is a binary file (it looks like a POSTFILE), not a met file" when the file's
// first bytes are not text.
void CheckMetFileIsText(const std::string& fileName);

}  // namespace zorvik
