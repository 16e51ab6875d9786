#pragma once
// The cached file stream: positional reads (pread) on a read-only descriptor, so a seek costs nothing and a
// reader that positions per record makes one system call per read.
#include <string>

#include "util/FileHandle.h"
#include "util/Stream.h"

namespace zorvik {

class TFileStream : public TStream {
 public:
  // Opens an existing file read-only; raises EFOpenError "Cannot open file <name>: <reason>".
  explicit TFileStream(const std::string& fileName);
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return fSize; }
  bool InMemory(int64_t offset) override;
  // Asks the system to start reading bytes offset .. offset + count - 1 into the page cache, without waiting
  // for them: a hint, which may be ignored (no error is raised).
  void WillNeed(int64_t offset, int64_t count);
  const std::string& FileName() const { return fFileName; }

 private:
  TFileHandle fHandle;
  std::string fFileName;
  int64_t fSize = 0;
  int64_t fPosition = 0;
};

// Asks the system to start reading a whole file into the page cache (TFileStream::WillNeed); nothing when the
// file cannot be opened, which its reader reports.
void WillNeedFile(const std::string& fileName) noexcept;

}  // namespace zorvik
