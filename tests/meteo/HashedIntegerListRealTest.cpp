#include "meteo/HashedIntegerListReal.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

namespace zorvik {
namespace {

TEST(HashedIntegerListRealTest, KeysAcrossTheWholeRangeAreKeptApart) {
  THashedIntegerListReal table;
  // Extremes of the biased key, neighbours within one leaf and keys 256 apart (neighbouring leaves).
  const int32_t keys[] = {std::numeric_limits<int32_t>::min(), -1, 0, 1, 255, 256, 88010101, 88010102, 88010357,
                          std::numeric_limits<int32_t>::max()};
  for (size_t i = 0; i < std::size(keys); ++i) table.Add(keys[i], static_cast<float>(i) + 0.5f);
  for (size_t i = 0; i < std::size(keys); ++i) {
    EXPECT_TRUE(table.Contains(keys[i])) << keys[i];
    EXPECT_EQ(table.GetValue(keys[i]), static_cast<float>(i) + 0.5f) << keys[i];
  }
  for (int32_t absent : {2, 88010100, 88010103, 96010101, -2})
    EXPECT_FALSE(table.Contains(absent)) << absent;
  EXPECT_EQ(table.Count(), static_cast<int32_t>(std::size(keys)));
}

TEST(HashedIntegerListRealTest, AbsentAndNaNAreTheSame) {
  THashedIntegerListReal table;
  // A key whose leaf was never made, and a key whose leaf exists but whose slot was never set.
  EXPECT_TRUE(std::isnan(table.GetValue(88010101)));
  table.Add(88010101, 2.5f);
  EXPECT_EQ(std::bit_cast<uint32_t>(table.GetValue(88010102)), 0xFFC00000u);

  table.Add(88010101, std::numeric_limits<float>::quiet_NaN());
  EXPECT_FALSE(table.Contains(88010101));
  EXPECT_EQ(table.Count(), 0);

  table.Add(88010101, 0.0f);  // zero is a value like any other
  EXPECT_TRUE(table.Contains(88010101));
  table.Remove(88010101);
  table.Remove(12345678);  // nothing there: no effect
  EXPECT_FALSE(table.Contains(88010101));
  EXPECT_EQ(table.Count(), 0);
}

TEST(HashedIntegerListRealTest, AddOverwritesAndClearEmpties) {
  THashedIntegerListReal table;
  table.Add(96123124, 1.0f);
  table.Add(96123124, 3.25f);
  EXPECT_EQ(table.GetValue(96123124), 3.25f);
  EXPECT_EQ(table.Count(), 1);
  table.Clear();
  EXPECT_FALSE(table.Contains(96123124));
  EXPECT_EQ(table.Count(), 0);
  table.Add(96123124, 4.0f);  // usable again after Clear
  EXPECT_EQ(table.GetValue(96123124), 4.0f);
}

}  // namespace
}  // namespace zorvik
