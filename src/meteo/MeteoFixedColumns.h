#pragma once
// Reading met hours at fixed columns: ISCST3 ASCII met files (FORMAT (4I2,2F9.4,F6.1,I2,2F7.1), 48 characters a
// record) and AERMET surface files whose first line lacks the full header. The met data table feeds every line
// of such a file through ReadFixedColumnLine; a line that cannot be read as an hour is classified as such, with
// the reason, and the table decides what that means (only the station header of an ISCST3 file may be one).
#include <cstdint>
#include <string>
#include <string_view>

#include "util/DateKey.h"

namespace zorvik {

// How a fixed-column line was judged.
enum class TFixedLineKind : uint8_t {
  flkEmpty,       // nothing on the line: not counted
  flkUnreadable,  // not an hour of the layout: see TFixedLine::problem
  flkCalm,        // wind speed below 0.00001 (also an empty or unreadable speed)
  flkMissing,     // surface layout only: a field holds its missing value (SfcLineIsValid is false)
  flkUsable,      // stored in the hour table
};

struct TFixedLine {
  TFixedLineKind kind = TFixedLineKind::flkEmpty;
  bool hasDate = false;  // ParseLineDate succeeded
  TDateTime date = 0;    // start of the hour when hasDate
  int32_t key = 0;       // date key, for calm, missing and usable lines
  float speed = 0;       // wind speed rounded to single precision, for usable lines
  std::string_view problem;  // why an unreadable line is no hour ("the line is shorter than ...")
};

// A record shorter than this carries no hour.
inline constexpr size_t kFixedRecordLength = 48;

// Judges one line of a fixed-column met file. surfaceLayout: the AERMET surface columns (year 1-2, month 4-5,
// day 7-8, hour 14-15, wind speed from 87); otherwise the ISCST3 columns (year, month, day, hour in 1-8, wind
// speed 18-26). Trailing blanks never count. A line whose first two characters after leading blanks are both
// non-blank is read trimmed; otherwise it keeps its leading blanks (a one-digit year in a two-column field),
// and the blanks of the key become zeros.
// An hour line has at least 48 characters, a valid date and a wind speed that is blank (calm) or a number; an
// ISCST3 line also holds blanks or numbers in each of the fields of its 48 columns. Any other line is
// flkUnreadable.
TFixedLine ReadFixedColumnLine(std::string_view line, bool surfaceLayout);

// The date-time of the hour of a line: year, month, day and hour from columns 1-2, 4-5, 7-8, 14-15 (surface
// layout) or 1-2, 3-4, 5-6, 7-8 (ISCST3), each stripped of blanks and read as an integer; a year y <= 50 is
// 2000 + y, a larger one 1900 + y; the hour 1..24 starts at (hour - 1):00. False for any unreadable part or an
// invalid date.
bool ParseLineDate(std::string_view line, bool surfaceLayout, TDateTime& result);

// False as soon as one of the surface fields (heat flux 17-22, friction velocity 24-29, mechanical mixing height
// 51-55, Monin-Obukhov length 57-64, wind direction 95-99; when the heat flux is positive also convective
// velocity 31-36, temperature gradient 38-43, convective mixing height 45-49) does not read completely as a
// decimal number or equals its missing value.
bool SfcLineIsValid(std::string_view line);

namespace detail {
// Columns first..first+count-1 of a line (counted from 1), shorter or empty beyond its end.
std::string_view Columns(std::string_view line, size_t first, size_t count);
// The whole text, stripped of blanks, as a decimal number ("." always); false when empty or not complete.
bool TryReadDecimal(std::string_view text, double& value);
// The whole text, stripped of blanks, as a signed decimal integer; false when empty or not complete.
bool TryReadInteger(std::string_view text, int64_t& value);
}  // namespace detail

}  // namespace zorvik
