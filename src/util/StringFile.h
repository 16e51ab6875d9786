#pragma once
// TStringFile: the line-oriented text file through which PLOTFILEs, met file headers and progress files are
// read and written. Lines end in CR, LF, CR LF, LF CR or NUL; written lines end in CR LF. Bytes pass through
// unchanged (8-bit text).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/FileHandle.h"

namespace zorvik {

enum class TStringFileMode {
  smRead,    // open an existing file for reading
  smCreate,  // create the file, or empty an existing one, for writing (and reading back)
  smAppend,  // open for writing at its end, creating it when missing
};

// A saved reading place: position, current line, line number and end flag.
struct TStringFileBookmark {
  int64_t fPosition = 0;
  std::string fCurrLine;
  int32_t fLineNum = 0;
  bool fEoF = true;
};

class TStringFile {
 public:
  static constexpr int kBufferSize = 16384;

  // Opens the file; raises EFOpenError naming the file and the reason when that fails.
  TStringFile(const std::string& AFileName, TStringFileMode Mode = TStringFileMode::smRead);
  // Writes to a file that is already open and empty (an output file's descriptor); errors name AFileName.
  TStringFile(const std::string& AFileName, TFileHandle AHandle);
  // Writes what is still buffered; a failure there is lost (call Close to see it).
  ~TStringFile();
  TStringFile(const TStringFile&) = delete;
  TStringFile& operator=(const TStringFile&) = delete;

  // The next line without its terminator; the empty text at the end of the file.
  std::string GetLine();
  // The next line with blanks and control characters removed at both ends.
  std::string GetTrimLine();
  // Reads until a non-empty line or the end of the file (the result is then empty).
  std::string GetNotEmptyLine();
  std::string GetNotEmptyLineTrim();

  // The file position of the next unread byte.
  int64_t GetPosition() const { return fStreamPos - BufSize + StartPos; }
  // Goes to aPosition, clamped to 0..size; the line number stays.
  void MoveTo(int64_t aPosition);
  // Back to the start: line number 0.
  void Reset();
  void GetBookmark(TStringFileBookmark& aBookmark) const;
  TStringFileBookmark GetBookmark() const {
    TStringFileBookmark b;
    GetBookmark(b);
    return b;
  }
  void GotoBookmark(const TStringFileBookmark& aBookmark);
  // Counts the lines from the current position to the end, then goes back to the start.
  int32_t GetLineCount();

  // Writes the text followed by CR LF; both forms count one line.
  void WriteLine(std::string_view Value);
  void WriteString(std::string_view Value);
  // Writes `count` lines composed elsewhere, each with its kLineEnd.
  void WriteLines(std::string_view text, int32_t count);
  static constexpr std::string_view kLineEnd = "\r\n";
  // Writes out buffered text; raises EInOutError naming the file when that fails.
  void Flush();
  // Flushes and closes; raises EInOutError when either fails. Further use raises EInOutError.
  void Close();

  // The file's size (buffered text written first).
  int64_t Size();
  // True when no further line can be read (the EOF property; EOF itself is a C library macro).
  bool Eof() const { return FEOF; }
  const std::string& CurrentLine() const { return FCurrentLine; }
  const std::string& FileName() const { return FFileName; }
  int32_t LineNumber() const { return fLineNumber; }

 private:
  void FillBuffer();
  void EmptyBuffer(int64_t position);
  void CheckOpen() const;
  [[noreturn]] void RaiseIOError(const char* what, int err) const;

  TFileHandle fHandle;
  int32_t StartPos = 0;
  bool FEOF = true;
  int32_t BufSize = 0;
  std::array<char, kBufferSize> Buffer{};
  std::string FCurrentLine;
  std::string FFileName;
  int32_t fLineNumber = 0;
  // File offset just past the buffered bytes (reads use explicit offsets).
  int64_t fStreamPos = 0;
  bool fWritable = false;
  // Text written but not yet handed to the operating system.
  std::string fWriteBuffer;
};

}  // namespace zorvik
