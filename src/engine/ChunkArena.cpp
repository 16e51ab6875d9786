#include "engine/ChunkArena.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace zorvik {

namespace {
// Mappings grow in steps of this size, so that a chunk a little larger than the last one seldom maps anew.
constexpr size_t kGranule = size_t{2} << 20;
}

TMappedBlock::TMappedBlock(size_t bytes) : fSize(std::max<size_t>(bytes, 1)) {
  void* base = ::mmap(nullptr, fSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) throw std::bad_alloc();
  fBase = base;
}

TMappedBlock::~TMappedBlock() { ::munmap(fBase, fSize); }

std::unique_ptr<TMappedBlock> TBlockPool::Take(size_t bytes) {
  {
    const std::lock_guard lock(fLock);
    if (!fFree.empty()) {
      auto largest = std::max_element(fFree.begin(), fFree.end(),
                                      [](const auto& a, const auto& b) { return a->Size() < b->Size(); });
      std::unique_ptr<TMappedBlock> block = std::move(*largest);
      fFree.erase(largest);
      if (block->Size() >= bytes) return block;
    }
  }
  return std::make_unique<TMappedBlock>(bytes);
}

void TBlockPool::Give(std::unique_ptr<TMappedBlock> block) {
  if (!block) return;
  const std::lock_guard lock(fLock);
  fFree.push_back(std::move(block));
}

TChunkArena::~TChunkArena() {
  fResource.reset();
  Unmap();
}

void TChunkArena::Unmap() {
  if (fBase) ::munmap(fBase, fSize);
  fBase = nullptr;
  fSize = 0;
}

std::pmr::memory_resource* TChunkArena::StartChunk(size_t bytes) {
  fResource.reset();
  const size_t wanted = (bytes + kGranule - 1) / kGranule * kGranule;
  if (wanted > fSize) {
    Unmap();
    void* base = ::mmap(nullptr, wanted, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base != MAP_FAILED) {
      fBase = base;
      fSize = wanted;
    }
  }
  if (fBase)
    fResource.emplace(fBase, fSize, std::pmr::new_delete_resource());
  else
    fResource.emplace(std::pmr::new_delete_resource());
  return &*fResource;
}

}  // namespace zorvik
