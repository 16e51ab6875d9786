#pragma once
// Date keys: a model hour as YYMMDDHH in one int32, hour 1..24 (hour 1 ends at 01:00). Date-times are doubles
// counting days since 30 December 1899, the fraction being the time of day.
#include <cstdint>
#include <string_view>

namespace zorvik {

using TDateTime = double;

struct TDateKeyParts {
  int year = 0;  // four digits: 00..49 -> 20xx, 50..99 -> 19xx
  int month = 0;
  int day = 0;
  int hour = 0;
};

TDateKeyParts DecodeDateKey(int32_t key);
// -1.0 for a key <= 0 or one whose parts do not form a valid date-time.
TDateTime DateKeyToDateTime(int32_t key);
int32_t DateTimeToDateKey(TDateTime dt);
bool IsValidDateKey(std::string_view text);

// Calendar helpers shared by the met readers.
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Days since 30 December 1899 of a valid calendar date; false when the date is invalid.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);

}  // namespace zorvik

namespace zorvik {
// The date key one hour later (96123124 -> 97010101); 0 stays 0.
int32_t NextHourDateKey(int32_t key);
}  // namespace zorvik
