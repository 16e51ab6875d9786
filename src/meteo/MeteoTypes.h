#pragma once
// Small types shared by the met data table and the surface file checker.
#include <cstdint>

namespace zorvik {

// Which rule set judges the hours of a surface file. The system always loads with av_11103.
enum class TAermod_Version : uint8_t { av_Unknown, av_11103 };
using enum TAermod_Version;

// A two-digit met year 0..99 becomes 1900 + y when y >= 50, else 2000 + y; any other year passes unchanged.
// A negative year fails the assertion "Met Year cannot be negative"; a result outside 1950..2049 fails
// "Met Year must be between 1950 and 2049".
int ExpandMetYear(int year);

}  // namespace zorvik
