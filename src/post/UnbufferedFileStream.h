#pragma once
// TUnbufferedFileStream: a seekable stream over an existing file that bypasses the operating system's file
// cache. It reads whole buffers at offsets that are multiples of the buffer size into a page-aligned buffer
// of its own (O_DIRECT); where the file system refuses direct access it reads through an ordinary descriptor
// and tells the kernel to drop the pages it has read. In stealth mode the descriptor is open only while a
// buffer is being filled, so a file on a network share is not held open between reads.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "util/FileHandle.h"
#include "util/Stream.h"

namespace zorvik {

class TUnbufferedFileStream : public TStream {
 public:
  // Mode word: the low two bits are the access, bits 4-7 the sharing (accepted, not enforced on Linux).
  static constexpr uint16_t fmOpenRead = 0x0000;
  static constexpr uint16_t fmOpenWrite = 0x0001;
  static constexpr uint16_t fmOpenReadWrite = 0x0002;
  static constexpr uint16_t fmShareCompat = 0x0000;
  static constexpr uint16_t fmShareExclusive = 0x0010;
  static constexpr uint16_t fmShareDenyWrite = 0x0020;
  static constexpr uint16_t fmShareDenyRead = 0x0030;
  static constexpr uint16_t fmShareDenyNone = 0x0040;
  static constexpr uint16_t fmCreate = 0xFF00;

  static constexpr int kDefaultBufferSize = 262144;
  static constexpr int kBlockSize = 4096;

  // Opens an existing file. aBufferSizeKB <= 0 selects 256 KB; otherwise the size is rounded up to 4 KB.
  TUnbufferedFileStream(const std::string& AFileName, uint16_t AMode = fmOpenRead, int aBufferSizeKB = 0);
  // Writes out what was written and closes; failures are lost here (call Close to see them).
  ~TUnbufferedFileStream() override;
  TUnbufferedFileStream(const TUnbufferedFileStream&) = delete;
  TUnbufferedFileStream& operator=(const TUnbufferedFileStream&) = delete;

  // Up to count bytes from the position; fewer (possibly 0) at the end of the file or when a fill fails.
  int64_t Read(void* buffer, int64_t count) override;
  // One byte at the position; false when none is available there.
  bool ReadByte(uint8_t& aData);
  // Takes count bytes for writing at the position; returns the bytes taken.
  int64_t Write(const void* buffer, int64_t count);
  // Purely logical; a negative target sets the position to 0 and returns -1.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // The file size taken at creation (grown by writing past it).
  int64_t Size() override { return fFileSize; }
  // Not supported: raises "setsize for unbuffered files is not supported yet".
  [[noreturn]] void SetSize(int64_t newSize);
  // Writes out buffered data and closes the descriptor; raises EInOutError when writing fails.
  void Close();

  int64_t DataSize() const { return fFileSize; }
  int64_t DataPosition() const { return fFilePosition; }
  void SetDataPosition(int64_t value) { fFilePosition = value < 0 ? 0 : value; }
  bool StealthMode() const { return fStealthMode; }
  void SetStealthMode(bool value) { fStealthMode = value; }

  int BufferSize() const { return fBufferSize; }
  const std::string& FileName() const { return fFileName; }
  bool IsHandleOpen() const { return fHandle.IsOpen(); }
  // True while the descriptor bypasses the cache (false where the file system refused direct access).
  bool IsDirect() const { return fDirect; }

  // The buffer size in bytes for a size in KB as Create takes it.
  static int BufferSizeFor(int aBufferSizeKB);

 private:
  struct FreeDeleter {
    void operator()(std::byte* p) const noexcept;
  };

  // Opens the file with the remembered mode; -1 with errno set when that fails or the mode is invalid.
  int OpenHandle(const std::string& AFileName, uint16_t AMode);
  // Makes sure the descriptor is open (stealth mode closes it between fills).
  void EnsureHandle();
  bool FillBuffer();
  bool FlushBuffer();
  void SetBufferSize(int Value);
  void AllocateBuffer();
  void ReleaseBuffer();

  std::unique_ptr<std::byte, FreeDeleter> fBuffer;
  int fBufferSize = 0;
  int64_t fFilePosition = 0;
  int64_t fBufferPosition = 0;
  int fBufferDataSize = 0;
  int64_t fFileSize = 0;
  bool fIsWriting = false;
  std::string fFileName;
  uint16_t fMode = 0;
  bool fStealthMode = false;

  TFileHandle fHandle;
  bool fDirect = false;
  // True while the buffer holds bytes written but not yet handed to the file.
  bool fBufferDirty = false;
};

namespace detail {
// Whether new descriptors ask for direct access (tests switch it off to exercise the cached path that file
// systems without direct access get).
void SetDirectAccessAllowed(bool allowed) noexcept;
}  // namespace detail

}  // namespace zorvik
