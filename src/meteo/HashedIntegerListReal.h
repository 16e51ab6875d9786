#pragma once
// The hour table of the met data: a sparse map from a 32-bit key (a date key) to a single-precision value, in
// which "absent" and "NaN" are the same thing. A four-level radix tree of fixed 256-way nodes: a lookup is four
// array indexings, no hashing and no allocation; memory is spent only on the 256-key stretches that occur.
#include <array>
#include <bit>
#include <cstdint>
#include <memory>

namespace zorvik {

class THashedIntegerListReal {
 public:
  THashedIntegerListReal() = default;
  ~THashedIntegerListReal() = default;
  THashedIntegerListReal(const THashedIntegerListReal&) = delete;
  THashedIntegerListReal& operator=(const THashedIntegerListReal&) = delete;
  THashedIntegerListReal(THashedIntegerListReal&&) noexcept = default;
  THashedIntegerListReal& operator=(THashedIntegerListReal&&) noexcept = default;

  // The value of a slot that was never set: the quiet NaN with bit pattern FFC00000.
  static float EmptySlot() noexcept { return std::bit_cast<float>(uint32_t{0xFFC00000u}); }

  // Stores AReal under the key, overwriting any earlier value; creates the path as needed. Storing a NaN
  // makes the key absent.
  void Add(int32_t aValue, float AReal);
  // Makes the key absent; nodes are never freed by it.
  void Remove(int32_t aValue) noexcept;
  // True when the key holds a value that is not a NaN. The hot path: four array indexings.
  bool Contains(int32_t aValue) const noexcept {
    const float* slot = Slot(aValue);
    return slot && *slot == *slot;  // a NaN never equals itself
  }
  // The slot as stored (NaN when never set), NaN when its stretch of keys never occurred.
  float GetValue(int32_t aValue) const noexcept {
    const float* slot = Slot(aValue);
    return slot ? *slot : EmptySlot();
  }
  // Frees every node and leaf.
  void Clear() noexcept;
  // Keys holding a value (not a NaN) at the moment.
  int32_t Count() const noexcept { return fCount; }

 private:
  struct THashLeaf {
    THashLeaf() { fCounts.fill(EmptySlot()); }
    std::array<float, 256> fCounts;
  };
  struct THashNode3 {
    std::array<std::unique_ptr<THashLeaf>, 256> fItems;
  };
  struct THashNode2 {
    std::array<std::unique_ptr<THashNode3>, 256> fItems;
  };

  // The key biased by 2147483647 in wrapping 32-bit arithmetic.
  static uint32_t Biased(int32_t key) noexcept { return static_cast<uint32_t>(key) + 2147483647u; }

  const float* Slot(int32_t key) const noexcept {
    const uint32_t b = Biased(key);
    const THashNode2* n2 = fRoot[b >> 24].get();
    if (!n2) return nullptr;
    const THashNode3* n3 = n2->fItems[(b >> 16) & 0xFF].get();
    if (!n3) return nullptr;
    const THashLeaf* leaf = n3->fItems[(b >> 8) & 0xFF].get();
    if (!leaf) return nullptr;
    return &leaf->fCounts[b & 0xFF];
  }

  std::array<std::unique_ptr<THashNode2>, 256> fRoot;
  int32_t fCount = 0;
};

}  // namespace zorvik
