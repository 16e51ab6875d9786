#include "util/DateKey.h"

#include <charconv>
#include <cmath>

namespace zorvik {

TDateKeyParts DecodeDateKey(int32_t key) {
  TDateKeyParts p;
  int y = key / 1000000;
  p.year = y < 50 ? 2000 + y : 1900 + y;
  p.month = (key / 10000) % 100;
  p.day = (key % 10000) / 100;
  p.hour = key % 100;
  return p;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

namespace {
// Days from 0001-01-01 (day 1) in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;  // days since 1970-01-01
}
constexpr int64_t kEpoch1899 = -25569;  // 1899-12-30 relative to 1970-01-01
}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  result = static_cast<double>(DaysFromCivil(year, month, day) - kEpoch1899);
  return true;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
  int64_t z = static_cast<int64_t>(std::floor(dt)) + kEpoch1899 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

TDateTime DateKeyToDateTime(int32_t key) {
  if (key <= 0) return -1.0;
  TDateKeyParts p = DecodeDateKey(key);
  TDateTime date;
  if (p.hour < 1 || p.hour > 24 || !TryEncodeDate(p.year, p.month, p.day, date)) return -1.0;
  return date + (p.hour - 1) / 24.0;
}

int32_t DateTimeToDateKey(TDateTime dt) {
  int y, m, d;
  // Round to the nearest millisecond first so that 23:00 does not decode as 22:59:59.999.
  double ms = std::round(dt * 86400000.0);
  double days = std::floor(ms / 86400000.0);
  DecodeDate(days, y, m, d);
  int hour = static_cast<int>((ms - days * 86400000.0) / 3600000.0);
  return (y % 100) * 1000000 + m * 10000 + d * 100 + hour + 1;
}

bool IsValidDateKey(std::string_view text) {
  int32_t value = -1;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size()) value = -1;
  return value > 0 && DateKeyToDateTime(value) > 0;
}

int32_t AdvanceDateOneHour(int32_t key) {
  if (key <= 0 || key > 99999999) return 0;
  TDateKeyParts p = DecodeDateKey(key);
  if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > DaysInMonth(p.year, p.month) || p.hour < 1 || p.hour > 24)
    return 0;
  // Hour h ends at h:00; one hour later the key names hour h + 1, or hour 1 of the next day.
  int hour = p.hour + 1;
  if (hour > 24) {
    hour = 1;
    if (++p.day > DaysInMonth(p.year, p.month)) {
      p.day = 1;
      if (++p.month > 12) {
        p.month = 1;
        ++p.year;
      }
    }
  }
  return (p.year % 100) * 1000000 + p.month * 10000 + p.day * 100 + hour;
}

}  // namespace zorvik
