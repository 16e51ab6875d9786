#pragma once
// Memory for the values of one chunk of receptors: one mapping, advised for huge pages, handed out by a
// monotonic resource and reused chunk after chunk. A year of hours for thousands of receptors then costs a few
// hundred huge-page faults instead of hundreds of thousands of small ones, and the next chunk touches no new
// memory at all.
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>
#include <memory_resource>
#include <optional>

namespace zorvik {

// A block of fresh memory of its own mapping, advised for huge pages (a few faults for megabytes instead of one
// per 4 KB page) and returned to the system when destroyed. Its bytes start as zeros.
class THugePageBlock {
 public:
  explicit THugePageBlock(size_t bytes);
  ~THugePageBlock();
  THugePageBlock(const THugePageBlock&) = delete;
  THugePageBlock& operator=(const THugePageBlock&) = delete;
  void* Data() const { return fBase; }
  size_t Size() const { return fSize; }

 private:
  void* fBase = nullptr;
  size_t fSize = 0;
};

// Blocks handed from one task to the next: memory a task gives back is the next task's, already in the
// process, instead of fresh memory the system must clear first. Thread-safe.
class THugePagePool {
 public:
  // A block of at least `bytes`: one given back (the largest; replaced when too small) or a new one.
  std::unique_ptr<THugePageBlock> Take(size_t bytes);
  void Give(std::unique_ptr<THugePageBlock> block);

 private:
  std::mutex fLock;
  std::vector<std::unique_ptr<THugePageBlock>> fFree;
};

class TChunkArena {
 public:
  TChunkArena() = default;
  ~TChunkArena();
  TChunkArena(const TChunkArena&) = delete;
  TChunkArena& operator=(const TChunkArena&) = delete;

  // Starts a chunk that needs about `bytes`: everything handed out before is released. Falls back to the
  // heap beyond the mapping.
  std::pmr::memory_resource* StartChunk(size_t bytes);

 private:
  void Unmap();
  void* fBase = nullptr;
  size_t fSize = 0;
  std::optional<std::pmr::monotonic_buffer_resource> fResource;
};

}  // namespace zorvik
