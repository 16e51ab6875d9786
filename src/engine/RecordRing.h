#pragma once
// Reading a POSTFILE that is not in the page cache.
//
// TRecordRing reads a file of records of one size once, front to back, past the page cache (O_DIRECT), into a
// few large buffers that its readers use in place: the index scan (through TRingStream) and the workers of a
// pass. The disk then delivers straight into those buffers, and nobody copies or caches the file a second time.
// A buffer is read again only when every reader has passed its records, so the fastest reader waits for the
// slowest one a few buffers back.
//
// A shared ring (OpenShared) does the same from the page cache, without a thread: its readers read the next piece
// of the file themselves when they need it, each piece once. Records of a few thousand receptors hold little
// besides one worker's slice, so that every worker would otherwise copy every record whole, and the index would
// read each record's header on its own.
//
// TReadThrough is the other way: it has the system read a file into the page cache ahead of readers that read
// it there, and keeps only a few pieces asked for and not yet in.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/ChunkArena.h"
#include "util/FileHandle.h"
#include "util/FileStream.h"
#include "util/Stream.h"

namespace zorvik {

class TRecordRing {
 public:
  // Buffers that are read into in turn; a reader holds records of at most two or three of them at once.
  static constexpr int kBuffers = 6;
  static constexpr int64_t kMinBufferBytes = int64_t{4} << 20;
  static constexpr int64_t kSharedBufferBytes = int64_t{512} << 10;

  // Starts reading `records` records of `stride` bytes from byte `first` on. A reader of the ring holds up to
  // `held` records at once (a batch of hours). Null where the file cannot be read past the page cache (its file
  // system refuses, or it cannot be opened: its reader meets that) or holds fewer bytes than the records. A
  // nonzero `bufferBytes` sets the buffers' size (rounded up to 4 KB), for tests; it grows where `held` records
  // need it.
  static std::unique_ptr<TRecordRing> Open(const std::string& file, int64_t first, int64_t stride, int records,
                                           int held, int64_t bufferBytes = 0);
  // A ring over a file in the page cache that its readers fill themselves, a piece each as they need it (no
  // thread of its own): each piece of the file is copied once, by one of them. Smaller buffers than Open's by
  // default: the pieces come from memory. Null where the file cannot be opened or holds fewer bytes than the
  // records.
  static std::unique_ptr<TRecordRing> OpenShared(const std::string& file, int64_t first, int64_t stride, int records,
                                                 int held, int64_t bufferBytes = 0);
  // A shared ring that holds only bytes spanBegin .. spanBegin + spanBytes - 1 of each record (counted from the
  // record's start): the slices of the workers of one chunk of receptors, where the records are far longer. Its
  // readers read a batch of `held` records' spans at a time, each span in one read, instead of each worker its
  // own slice of every record in a read of its own. Null where the file cannot be opened or holds fewer bytes
  // than the records, or the span does not lie within a record.
  static std::unique_ptr<TRecordRing> OpenSpans(const std::string& file, int64_t first, int64_t stride, int records,
                                                int held, int64_t spanBegin, int64_t spanBytes);
  bool Shared() const { return fShared; }
  bool Spans() const { return fSpanBytes > 0; }
  // Stops reading and waits for the reading thread.
  ~TRecordRing();
  TRecordRing(const TRecordRing&) = delete;
  TRecordRing& operator=(const TRecordRing&) = delete;

  // The readers whose progress frees the buffers: each counts the records it has passed (it reads no record
  // before that count any more); one that is done stores a count beyond the last record. A count must stay
  // valid until it is removed or the ring is detached.
  void AddReader(const std::atomic<int>* passed);
  void RemoveReader(const std::atomic<int>* passed);
  // Every reader is added: from now on a buffer is read into again once all of them have passed its records.
  // Until then the ring stops at the buffers in hand.
  void Release();
  // Reading stops after the buffer being read; the records read so far stay readable. Readers that still need
  // later records read them from the file (WaitRecords says false).
  void Detach();

  // Waits until records 0 .. count - 1 have been read into the ring (a reader of a shared ring reads the pieces
  // it needs itself); false when reading ended before them (detached, an error or the end of the file). A reader
  // may use only records at or beyond its passed count.
  bool WaitRecords(int count) const;
  // The bytes pos .. pos + count - 1 of the file, where they lie within one record the ring has read (after
  // WaitRecords) and the caller has not passed; null otherwise.
  const uint8_t* Bytes(int64_t pos, int64_t count) const;
  // Copies the bytes pos .. pos + count - 1 of the file where the ring holds every one of them (in the buffers
  // of one or more pieces of the file); false otherwise.
  bool Copy(int64_t pos, int64_t count, void* out) const;
  // Records read so far.
  int Loaded() const { return fLoaded.load(std::memory_order_acquire); }
  bool Detached() const { return fDetached.load(std::memory_order_acquire); }
  int Records() const { return fRecords; }
  int64_t First() const { return fFirst; }
  int64_t Stride() const { return fStride; }
  int64_t BufferBytes() const { return fBufferBytes; }
  const std::string& File() const { return fFile; }

 private:
  TRecordRing(const std::string& file, int64_t first, int64_t stride, int records, int64_t bufferBytes, int64_t size,
              bool spans = false);
  void Run(std::stop_token stop, int fd);
  // Shared rings: claims the next piece and reads it when its buffer is free; false when there is none to read
  // now (every piece claimed, or the buffer still in use).
  bool LoadNext() const;
  // The records whose last byte lies in buffer-sized piece p of the file, or before it (with spans: the records
  // of pieces 0 .. p).
  int RecordsEndingBy(int64_t piece) const;
  // The piece of the file (and with it the buffer) holding record h whole (with spans: its span).
  int64_t PieceOf(int h) const {
    return Spans() ? h / fSpanRecords : (fFirst + (int64_t{h} + 1) * fStride - 1) / fBufferBytes;
  }
  // Reads piece p's records' spans into its buffer; false when one cannot be read whole.
  bool LoadSpans(int64_t piece) const;
  uint8_t* BufferOf(int64_t piece) const;
  bool MayReuse(int64_t piece) const;
  void Publish(int loaded, bool ended) const;

  std::string fFile;
  int64_t fFirst;
  int64_t fStride;
  int fRecords;
  int64_t fBufferBytes;  // of file bytes read into each buffer
  int64_t fLead;         // room before each buffer's read bytes for the start of a record begun in the piece before
  int64_t fSize;
  std::unique_ptr<TMappedBlock> fMemory;
  // What a shared ring's readers change as they read pieces in (see LoadNext) is mutable.
  mutable std::array<std::atomic<int64_t>, kBuffers> fHeld;  // the piece each buffer holds whole (-1: none)
  mutable std::atomic<int> fLoaded{0};
  mutable std::atomic<bool> fEnded{false};
  mutable std::atomic<uint32_t> fEvents{0};  // changes with every record count published and at the end
  mutable std::mutex fLock;
  std::vector<const std::atomic<int>*> fPassed;  // under fLock
  bool fReleased = false;                        // under fLock
  std::atomic<bool> fDetached{false};
  std::jthread fThread;
  bool fShared = false;
  TFileHandle fSharedFile;
  int64_t fPieces = 0;
  int64_t fSpanBegin = 0;
  int64_t fSpanBytes = 0;  // 0: the ring holds the file's bytes whole
  int fSpanRecords = 0;    // records per piece, with spans
  mutable std::atomic<int64_t> fNextPiece{0};
  mutable std::mutex fPublishLock;
  mutable int64_t fPublished = -1;  // under fPublishLock: the pieces up to it are all read
};

// A stream over the POSTFILE that takes its bytes from a ring where the ring has them and from the file
// otherwise (before the first record, or records the ring no longer reads). Reads at the position of a record
// the ring has not read yet wait for it.
class TRingStream : public TStream {
 public:
  // Counts as a reader of the ring (see TRecordRing::AddReader) while it exists.
  explicit TRingStream(TRecordRing& ring);
  ~TRingStream() override;
  TRingStream(const TRingStream&) = delete;
  TRingStream& operator=(const TRingStream&) = delete;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return fFile.Size(); }

 private:
  TRecordRing& fRing;
  TFileStream fFile;
  int64_t fPosition = 0;
  // The records before the one before the position: a read of a record's end reaches into the next one.
  std::atomic<int> fPassed{0};
};

// Has a file read from `from` to its end into the page cache, on a thread of its own, and stops early when
// destroyed. The thread asks the system for the file piece by piece, which keeps the disk busy and copies
// nothing, and keeps only a few pieces asked for and not yet in: any other read that must wait for the disk (a
// file opened later, a folder looked up) then waits behind those only, not behind the rest of the file.
// Failures are left to the reader behind it, which meets them with their place.
class TReadThrough {
 public:
  TReadThrough(const std::string& file, int64_t from);

 private:
  static constexpr int64_t kPiece = int64_t{8} << 20;
  static constexpr int kAhead = 4;
  std::error_code fError;
  std::jthread fThread;
};

}  // namespace zorvik
