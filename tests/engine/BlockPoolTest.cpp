#include <gtest/gtest.h>

#include <cstring>

#include "engine/ChunkArena.h"

namespace zorvik {
namespace {

// A block given back serves the next task that fits in it; a larger need gets a new block, and the blocks
// start as zeros.
TEST(BlockPoolTest, BlocksGivenBackServeTheNextTake) {
  TBlockPool pool;
  auto first = pool.Take(1000);
  ASSERT_GE(first->Size(), 1000u);
  EXPECT_EQ(static_cast<const unsigned char*>(first->Data())[999], 0);
  std::memset(first->Data(), 7, 1000);
  void* const memory = first->Data();
  pool.Give(std::move(first));

  auto again = pool.Take(500);
  EXPECT_EQ(again->Data(), memory);
  pool.Give(std::move(again));

  auto larger = pool.Take(size_t{1} << 22);
  EXPECT_GE(larger->Size(), size_t{1} << 22);
  EXPECT_NE(larger->Data(), memory);
  EXPECT_EQ(static_cast<const unsigned char*>(larger->Data())[(size_t{1} << 22) - 1], 0);
}

}  // namespace
}  // namespace zorvik
