#include "meteo/HashedIntegerListReal.h"

#include <cmath>

namespace zorvik {

void THashedIntegerListReal::Add(int32_t aValue, float AReal) {
  const uint32_t b = Biased(aValue);
  auto& n2 = fRoot[b >> 24];
  if (!n2) n2 = std::make_unique<THashNode2>();
  auto& n3 = n2->fItems[(b >> 16) & 0xFF];
  if (!n3) n3 = std::make_unique<THashNode3>();
  auto& leaf = n3->fItems[(b >> 8) & 0xFF];
  if (!leaf) leaf = std::make_unique<THashLeaf>();
  float& slot = leaf->fCounts[b & 0xFF];
  fCount += static_cast<int32_t>(!std::isnan(AReal)) - static_cast<int32_t>(!std::isnan(slot));
  slot = AReal;
}

void THashedIntegerListReal::Remove(int32_t aValue) noexcept {
  const uint32_t b = Biased(aValue);
  THashNode2* n2 = fRoot[b >> 24].get();
  if (!n2) return;
  THashNode3* n3 = n2->fItems[(b >> 16) & 0xFF].get();
  if (!n3) return;
  THashLeaf* leaf = n3->fItems[(b >> 8) & 0xFF].get();
  if (!leaf) return;
  float& slot = leaf->fCounts[b & 0xFF];
  if (!std::isnan(slot)) --fCount;
  slot = EmptySlot();
}

void THashedIntegerListReal::Clear() noexcept {
  for (auto& n2 : fRoot) n2.reset();
  fCount = 0;
}

}  // namespace zorvik
