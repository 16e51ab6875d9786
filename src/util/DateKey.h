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

// The date key one hour later on the calendar: 17123124 gives 18010101, 96022824 gives 96022901. A key that
// names no valid hour (0, a negative key, more than eight digits, month 0 or 13, a day its month lacks, hour 0
// or 25 and up) gives 0, "no date known".
int32_t AdvanceDateOneHour(int32_t key);

// Calendar helpers.
bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Days since 30 December 1899 of a valid calendar date; false when the date is invalid.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);

}  // namespace zorvik
