#include "engine/RecordRing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "util/FileHandle.h"

namespace zorvik {

namespace {
// Direct reads start, end and land on multiples of this.
constexpr int64_t kAlign = 4096;
int64_t RoundUp(int64_t bytes) { return (bytes + kAlign - 1) / kAlign * kAlign; }
}  // namespace

std::unique_ptr<TRecordRing> TRecordRing::Open(const std::string& file, int64_t first, int64_t stride, int records,
                                               int held, int64_t bufferBytes) {
  if (first < 0 || stride <= 0 || records <= 0) return nullptr;
  TFileHandle fd(::open(file.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0 || st.st_size < first + int64_t{records} * stride) return nullptr;
  // A reader holding `held` records from its passed count on must never wait for a buffer that only its own
  // progress frees: those records span at most two buffers' worth of bytes, with one buffer to spare.
  int64_t bytes = bufferBytes > 0 ? RoundUp(bufferBytes) : kMinBufferBytes;
  bytes = std::max({bytes, RoundUp(2 * stride), RoundUp(int64_t{std::max(held, 1)} * stride / (kBuffers - 2) + 1)});
  std::unique_ptr<TRecordRing> ring(new TRecordRing(file, first, stride, records, bytes, st.st_size));
  ring->fThread = std::jthread([r = ring.get(), fd = std::move(fd)](std::stop_token stop) { r->Run(stop, fd.Get()); });
  return ring;
}

std::unique_ptr<TRecordRing> TRecordRing::OpenShared(const std::string& file, int64_t first, int64_t stride,
                                                     int records, int held, int64_t bufferBytes) {
  if (first < 0 || stride <= 0 || records <= 0) return nullptr;
  TFileHandle fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0 || st.st_size < first + int64_t{records} * stride) return nullptr;
  int64_t bytes = bufferBytes > 0 ? RoundUp(bufferBytes) : kSharedBufferBytes;
  bytes = std::max({bytes, RoundUp(2 * stride), RoundUp(int64_t{std::max(held, 1)} * stride / (kBuffers - 2) + 1)});
  std::unique_ptr<TRecordRing> ring(new TRecordRing(file, first, stride, records, bytes, st.st_size));
  ring->fShared = true;
  ring->fSharedFile = std::move(fd);
  const int64_t end = std::min(st.st_size, first + int64_t{records} * stride);
  ring->fPieces = (end + bytes - 1) / bytes;
  return ring;
}

std::unique_ptr<TRecordRing> TRecordRing::OpenSpans(const std::string& file, int64_t first, int64_t stride,
                                                    int records, int held, int64_t spanBegin, int64_t spanBytes) {
  if (first < 0 || stride <= 0 || records <= 0 || spanBegin < 0 || spanBytes <= 0 || spanBegin + spanBytes > stride)
    return nullptr;
  TFileHandle fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.Get(), &st) != 0 || st.st_size < first + int64_t{records} * stride) return nullptr;
  // A piece holds the spans of a batch of records: a reader holding `held` records from its passed count on
  // then needs at most two pieces, with the other buffers to spare.
  const int perPiece = std::max(held, 1);
  std::unique_ptr<TRecordRing> ring(
      new TRecordRing(file, first, stride, records, int64_t{perPiece} * spanBytes, st.st_size, true));
  ring->fShared = true;
  ring->fSharedFile = std::move(fd);
  ring->fSpanBegin = spanBegin;
  ring->fSpanBytes = spanBytes;
  ring->fSpanRecords = perPiece;
  ring->fPieces = (records + perPiece - 1) / perPiece;
  return ring;
}

bool TRecordRing::LoadSpans(int64_t piece) const {
  const int from = static_cast<int>(piece * fSpanRecords);
  const int to = std::min(fRecords, from + fSpanRecords);
  uint8_t* at = BufferOf(piece);
  for (int h = from; h < to; ++h, at += fSpanBytes)
    if (PreadFull(fSharedFile.Get(), at, static_cast<size_t>(fSpanBytes), fFirst + int64_t{h} * fStride + fSpanBegin) !=
        fSpanBytes)
      return false;
  return true;
}

bool TRecordRing::LoadNext() const {
  int64_t piece = fNextPiece.load(std::memory_order_acquire);
  if (piece >= fPieces || fDetached.load(std::memory_order_acquire)) return false;
  if (piece >= kBuffers && !MayReuse(piece - kBuffers)) return false;
  if (!fNextPiece.compare_exchange_strong(piece, piece + 1, std::memory_order_acq_rel)) return true;
  std::atomic<int64_t>& held = fHeld[static_cast<size_t>(piece % kBuffers)];
  held.store(-1, std::memory_order_release);
  bool whole = true;
  if (Spans()) {
    whole = LoadSpans(piece);
  } else {
    // The record begun in the piece before is read again in front of the piece's bytes.
    const int64_t begin = piece * fBufferBytes;
    const int64_t start =
        piece > 0 ? std::min(begin, fFirst + int64_t{RecordsEndingBy(piece - 1)} * fStride) : begin;
    const int64_t end = std::min((piece + 1) * fBufferBytes, fSize);
    uint8_t* to = BufferOf(piece) - (begin - start);
    whole = PreadFull(fSharedFile.Get(), to, static_cast<size_t>(end - start), start) == end - start;
  }
  const std::lock_guard lock(fPublishLock);
  if (!whole) {  // the readers read the rest from the file, which reports it
    Publish(fLoaded.load(std::memory_order_acquire), true);
    return false;
  }
  held.store(piece, std::memory_order_release);
  while (fPublished + 1 < fPieces &&
         fHeld[static_cast<size_t>((fPublished + 1) % kBuffers)].load(std::memory_order_acquire) == fPublished + 1)
    ++fPublished;
  const int loaded = RecordsEndingBy(fPublished);
  Publish(loaded, loaded >= fRecords);
  return true;
}

TRecordRing::TRecordRing(const std::string& file, int64_t first, int64_t stride, int records, int64_t bufferBytes,
                         int64_t size, bool spans)
    : fFile(file),
      fFirst(first),
      fStride(stride),
      fRecords(records),
      fBufferBytes(bufferBytes),
      fLead(spans ? 0 : RoundUp(stride)),
      fSize(size),
      fMemory(std::make_unique<TMappedBlock>(static_cast<size_t>(kBuffers * (fLead + fBufferBytes)))) {
  for (auto& held : fHeld) held.store(-1);
}

TRecordRing::~TRecordRing() {
  fDetached.store(true, std::memory_order_release);
  if (fThread.joinable()) {
    fThread.request_stop();
    fThread.join();
  }
}

uint8_t* TRecordRing::BufferOf(int64_t piece) const {
  return static_cast<uint8_t*>(fMemory->Data()) + (piece % kBuffers) * (fLead + fBufferBytes) + fLead;
}

int TRecordRing::RecordsEndingBy(int64_t piece) const {
  if (Spans()) return static_cast<int>(std::min<int64_t>(fRecords, (piece + 1) * fSpanRecords));
  const int64_t end = std::min((piece + 1) * fBufferBytes, fSize);
  if (end < fFirst + fStride) return 0;
  return static_cast<int>(std::min<int64_t>(fRecords, (end - fFirst) / fStride));
}

void TRecordRing::AddReader(const std::atomic<int>* passed) {
  const std::lock_guard lock(fLock);
  fPassed.push_back(passed);
}

void TRecordRing::RemoveReader(const std::atomic<int>* passed) {
  const std::lock_guard lock(fLock);
  std::erase(fPassed, passed);
}

void TRecordRing::Release() {
  const std::lock_guard lock(fLock);
  fReleased = true;
}

void TRecordRing::Detach() {
  fDetached.store(true, std::memory_order_release);
  {
    const std::lock_guard lock(fLock);
    fPassed.clear();
  }
  // Readers waiting for records the ring will not read now turn to the file.
  fEvents.fetch_add(1, std::memory_order_release);
  fEvents.notify_all();
}

bool TRecordRing::MayReuse(int64_t piece) const {
  const int needed = RecordsEndingBy(piece);
  const std::lock_guard lock(fLock);
  if (!fReleased) return false;
  return std::all_of(fPassed.begin(), fPassed.end(),
                     [needed](const std::atomic<int>* p) { return p->load(std::memory_order_acquire) >= needed; });
}

void TRecordRing::Publish(int loaded, bool ended) const {
  fLoaded.store(loaded, std::memory_order_release);
  if (ended) fEnded.store(true, std::memory_order_release);
  fEvents.fetch_add(1, std::memory_order_release);
  fEvents.notify_all();
}

void TRecordRing::Run(std::stop_token stop, int fd) {
  const auto quit = [&] { return stop.stop_requested() || fDetached.load(std::memory_order_acquire); };
  int loaded = 0;
  for (int64_t piece = 0; loaded < fRecords; ++piece) {
    // The buffer is free once every reader has passed the records of the piece it held.
    if (piece >= kBuffers)
      while (!MayReuse(piece - kBuffers)) {
        if (quit()) break;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
    if (quit()) break;
    uint8_t* buffer = BufferOf(piece);
    std::atomic<int64_t>& held = fHeld[static_cast<size_t>(piece % kBuffers)];
    held.store(-1, std::memory_order_release);
    // The record begun in the piece before (the first one not yet whole) goes in front of the read bytes.
    const int64_t begin = piece * fBufferBytes;
    if (const int64_t start = fFirst + int64_t{loaded} * fStride; piece > 0 && start < begin)
      std::memcpy(buffer - (begin - start), BufferOf(piece - 1) + (start - (begin - fBufferBytes)),
                  static_cast<size_t>(begin - start));
    const int64_t expected = std::min(fBufferBytes, fSize - begin);
    const int64_t asked = RoundUp(expected);
    int64_t got = 0;
    while (got < expected && got % kAlign == 0) {
      const ssize_t r = ::pread(fd, buffer + got, static_cast<size_t>(asked - got), begin + got);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      got += r;
    }
    // A refused or failed read, or a file cut short: the readers read the rest from the file, which reports it.
    if (got < expected) break;
    held.store(piece, std::memory_order_release);
    loaded = RecordsEndingBy(piece);
    Publish(loaded, false);
  }
  Publish(loaded, true);
}

bool TRecordRing::WaitRecords(int count) const {
  for (;;) {
    const uint32_t events = fEvents.load(std::memory_order_acquire);
    if (fLoaded.load(std::memory_order_acquire) >= count) return true;
    if (fEnded.load(std::memory_order_acquire) || fDetached.load(std::memory_order_acquire))
      return fLoaded.load(std::memory_order_acquire) >= count;
    if (fShared) {
      if (LoadNext()) continue;
      // Every piece is claimed (one being read wakes the wait), or a buffer waits for a reader to pass it.
      if (fNextPiece.load(std::memory_order_acquire) >= fPieces) {
        fEvents.wait(events, std::memory_order_acquire);
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(20));
      }
      continue;
    }
    fEvents.wait(events, std::memory_order_acquire);
  }
}

const uint8_t* TRecordRing::Bytes(int64_t pos, int64_t count) const {
  if (pos < fFirst || count < 0) return nullptr;
  const int64_t h = (pos - fFirst) / fStride;
  if (h >= fLoaded.load(std::memory_order_acquire) || pos + count > fFirst + (h + 1) * fStride) return nullptr;
  const int64_t piece = PieceOf(static_cast<int>(h));
  if (Spans()) {
    const int64_t within = pos - fFirst - h * fStride - fSpanBegin;
    if (within < 0 || within + count > fSpanBytes) return nullptr;
    return BufferOf(piece) + (h - piece * fSpanRecords) * fSpanBytes + within;
  }
  return BufferOf(piece) + (pos - piece * fBufferBytes);
}

bool TRecordRing::Copy(int64_t pos, int64_t count, void* out) const {
  if (count <= 0) return count == 0;
  if (const uint8_t* bytes = Bytes(pos, count)) {
    std::memcpy(out, bytes, static_cast<size_t>(count));
    return true;
  }
  if (Spans()) return false;
  // Piece by piece, from the bytes read into each buffer.
  auto* to = static_cast<uint8_t*>(out);
  for (int64_t at = pos, end = pos + count; at < end;) {
    const int64_t piece = at / fBufferBytes;
    if (fHeld[static_cast<size_t>(piece % kBuffers)].load(std::memory_order_acquire) != piece) return false;
    const int64_t n = std::min(end, (piece + 1) * fBufferBytes) - at;
    std::memcpy(to, BufferOf(piece) + (at - piece * fBufferBytes), static_cast<size_t>(n));
    to += n;
    at += n;
  }
  return true;
}

TRingStream::TRingStream(TRecordRing& ring) : fRing(ring), fFile(ring.File()) { fRing.AddReader(&fPassed); }

TRingStream::~TRingStream() { fRing.RemoveReader(&fPassed); }

int64_t TRingStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target = offset;
  if (origin == TSeekOrigin::soCurrent) target += fPosition;
  if (origin == TSeekOrigin::soEnd) target += fFile.Size();
  if (target < 0) {
    fPosition = 0;
    return -1;
  }
  fPosition = target;
  return fPosition;
}

int64_t TRingStream::Read(void* buffer, int64_t count) {
  const int64_t n = std::min(count, fFile.Size() - fPosition);
  if (n <= 0) return 0;
  if (const int64_t first = fRing.First(); fPosition >= first) {
    const int64_t stride = fRing.Stride();
    const auto record = static_cast<int>((fPosition - first) / stride);
    fPassed.store(std::max(0, record - 1), std::memory_order_release);
    const auto last = static_cast<int>(std::min<int64_t>(fRing.Records() - 1, (fPosition + n - 1 - first) / stride));
    if (fRing.WaitRecords(last + 1) && fRing.Copy(fPosition, n, buffer)) {
      fPosition += n;
      return n;
    }
  }
  fFile.SetPosition(fPosition);
  const int64_t got = fFile.Read(buffer, count);
  fPosition += std::max<int64_t>(got, 0);
  return got;
}

TReadThrough::TReadThrough(const std::string& file, int64_t from) {
  const auto size = static_cast<int64_t>(std::filesystem::file_size(file, fError));
  if (fError || from >= size) return;
  fThread = std::jthread([file, from, size](std::stop_token stop) {
    try {
      TFileStream stream(file);
      char last;
      for (int64_t at = from; at < size && !stop.stop_requested(); at += kPiece) {
        stream.WillNeed(at, std::min(kPiece, size - at));
        // Waits for the piece kAhead - 1 back: its last byte comes in with it.
        if (const int64_t back = at - (kAhead - 1) * kPiece; back >= from) {
          stream.SetPosition(back + kPiece - 1);
          stream.Read(&last, 1);
        }
      }
    } catch (const std::exception&) {
    }
  });
}

}  // namespace zorvik
