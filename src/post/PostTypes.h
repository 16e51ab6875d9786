#pragma once
// Shared enumerations of the POSTFILE world: output types, averaging periods, high-value ranks and the
// receptor grid, with the engine options that every store reads when it is built.
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zorvik {

enum class TPostOutType : uint8_t { poConc = 0, poDepos = 1, poDDep = 2, poWDep = 3 };
inline constexpr int kPostOutTypeCount = 4;
inline constexpr std::array<TPostOutType, 4> kAllPostOutTypes = {TPostOutType::poConc, TPostOutType::poDepos,
                                                                  TPostOutType::poDDep, TPostOutType::poWDep};

// A small set of enumeration members: bit i for member i.
template <class Enum, class Bits>
class TEnumSet {
 public:
  constexpr TEnumSet() = default;
  constexpr TEnumSet(std::initializer_list<Enum> members) {
    for (Enum m : members) Include(m);
  }
  static constexpr TEnumSet FromBits(Bits bits) {
    TEnumSet s;
    s.fBits = bits;
    return s;
  }
  constexpr bool Contains(Enum m) const { return (fBits >> static_cast<unsigned>(m)) & 1u; }
  constexpr void Include(Enum m) { fBits = static_cast<Bits>(fBits | (Bits{1} << static_cast<unsigned>(m))); }
  constexpr void Exclude(Enum m) { fBits = static_cast<Bits>(fBits & ~(Bits{1} << static_cast<unsigned>(m))); }
  constexpr bool Empty() const { return fBits == 0; }
  constexpr int Count() const { return __builtin_popcount(static_cast<unsigned>(fBits)); }
  constexpr Bits ToBits() const { return fBits; }
  constexpr bool operator==(const TEnumSet&) const = default;

 private:
  Bits fBits = 0;
};

using TPostOutTypes = TEnumSet<TPostOutType, uint8_t>;

// Tarvo header mask: 1 conc, 2 depos, 4 ddep, 8 wdep.
constexpr TPostOutTypes PostOutTypesFromMask(int32_t mask) {
  return TPostOutTypes::FromBits(static_cast<uint8_t>(mask & 0x0F));
}
// The first n members (1..4); any other n gives the empty set.
constexpr TPostOutTypes FirstPostOutTypes(int n) {
  if (n < 1 || n > 4) return {};
  return TPostOutTypes::FromBits(static_cast<uint8_t>((1u << n) - 1u));
}
// "conc", "depos", "ddep", "wdep".
std::string_view PostOutTypeName(TPostOutType t);

enum class TAverageValue : uint8_t {
  hr_1, hr_2, hr_3, hr_4, hr_6, hr_8, hr_12, hr_24, Month, Annual, day_30, hr_half, min_10, period_avg,
  timestep_avg
};
using TAverageValues = TEnumSet<TAverageValue, uint16_t>;
inline constexpr int kAverageValueCount = 15;

// Hours per period (0 for the period average).
int HoursInPeriod(TAverageValue a);
// Two-character code used in output file names ("01", "24", "MO", "M10" ...).
std::string_view AverageValueCode(TAverageValue a);

enum class THighValue : uint8_t { high_1, high_2, high_3, high_4, high_5, high_6, high_7, high_8, high_9, high_10 };
using THighValues = TEnumSet<THighValue, uint16_t>;
inline constexpr int kHighValueCount = 10;
inline constexpr int HighValueRank(THighValue h) { return static_cast<int>(h) + 1; }
// "1ST", "2ND", "3RD", "4TH" ... "10TH".
std::string_view HighValueCode(THighValue h);

struct TGridCell {
  int32_t X = 0;
  int32_t Y = 0;
  bool operator==(const TGridCell&) const = default;
};
using TUniversalGrid = std::vector<TGridCell>;

}  // namespace zorvik
