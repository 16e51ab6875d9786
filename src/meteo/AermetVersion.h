#pragma once
// AERMET versions of a surface file and the record layout each one implies. The version text stands in
// columns 93-98 of the surface file's header line.
#include <cstdint>
#include <string_view>

namespace zorvik {

enum class TAermetVersion : uint8_t {
  tav_null,   // empty version text, or one that is no version number: no layout
  tav_02222,
  tav_04300,
  tav_01247,
  tav_98314,
  tav_06341,
  tav_09040,
  tav_11059,  // blank-separated; also every later version (five digits not listed here)
};
using enum TAermetVersion;

// How the hour lines of a version are cut.
enum class TSfcLineLayout : uint8_t {
  sllNone,            // tav_null: the file cannot be read
  sllShortColumns,    // 20 fields at fixed columns
  sllLongColumns,     // 25 fields at fixed columns
  sllBlankSeparated,  // 25 fields separated by blanks
};

// The version text of a member ("" for tav_null).
std::string_view AermetVersionText(TAermetVersion version);
// The member of a VERDATE text: blanks stripped, compared ignoring ASCII case. A version number (five
// digits, YYDDD) that names no member is a later AERMET version: tav_11059. Any other text, the empty one
// included, is tav_null.
TAermetVersion DetectAermetVersion(std::string_view verDate);
TSfcLineLayout SfcLineLayout(TAermetVersion version);
// Fields of an hour record: 20, 25, or 0 for tav_null.
int SfcFieldCount(TAermetVersion version);

}  // namespace zorvik
