#include "post/PostChecks.h"

#include <fmt/format.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "util/DateKey.h"
#include "util/Exceptions.h"

namespace zorvik {

namespace {

std::string Trimmed(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return std::string(s);
}

}  // namespace

std::string HoursText(int64_t n) { return fmt::format("{} hour{}", n, n == 1 ? "" : "s"); }

int64_t DateKeyHourNumber(int32_t key) {
  if (key <= 0 || key > 99999999) return -1;
  const TDateKeyParts p = DecodeDateKey(key);
  TDateTime day;
  if (p.hour < 1 || p.hour > 24 || !TryEncodeDate(p.year, p.month, p.day, day)) return -1;
  return static_cast<int64_t>(day) * 24 + p.hour - 1;
}

void TPostRecordSequence::Check(int64_t pos, int32_t date, int32_t period, std::string_view group) {
  const int64_t hour = DateKeyHourNumber(date);
  if (hour < 0)
    throw EFormatError(fmt::format(
        "Corrupt POSTFILE {}: the record at byte offset {} has the date key {}, which is no calendar hour", fPostFile,
        pos, date));
  if (fRecords == 0) {
    fFirstPeriod = period;
    fFirstGroup = std::string(group);
  } else {
    if (period != fFirstPeriod)
      throw EFormatError(fmt::format(
          "Corrupt POSTFILE {}: the record at byte offset {} has the averaging period {}, the first record {}",
          fPostFile, pos, period, fFirstPeriod));
    if (group != fFirstGroup)
      throw EFormatError(fmt::format(
          "Corrupt POSTFILE {}: the record at byte offset {} has the source group \"{}\", the first record \"{}\"",
          fPostFile, pos, Trimmed(group), Trimmed(fFirstGroup)));
    const int64_t step = fFirstPeriod > 1 ? fFirstPeriod : 1;
    const int64_t after = hour - fLastHour;
    if (after == 0)
      throw EFormatError(fmt::format("Corrupt POSTFILE {}: the record at byte offset {} repeats the hour {}",
                                     fPostFile, pos, date));
    if (after < 0)
      throw EFormatError(fmt::format(
          "Corrupt POSTFILE {}: the record at byte offset {} has the date {}, earlier than the {} before it",
          fPostFile, pos, date, fLastDate));
    if (after > step) {
      if (fMissingHours == 0) fFirstGapAfter = fLastDate;
      fMissingHours += after - step;
    }
  }
  fLastDate = date;
  fLastHour = hour;
  ++fRecords;
}

std::string TPostRecordSequence::GapWarning() const {
  if (fMissingHours == 0) return {};
  return fmt::format("the POSTFILE {} skips {} between records; the first gap follows {}", fPostFile,
                     HoursText(fMissingHours), fFirstGapAfter);
}

int FirstBadPostValue(const uint8_t* bytes, int count, bool doublePrecision) {
  for (int i = 0; i < count; ++i) {
    double v;
    if (doublePrecision) {
      std::memcpy(&v, bytes + 8 * static_cast<size_t>(i), 8);
    } else {
      float f;
      std::memcpy(&f, bytes + 4 * static_cast<size_t>(i), 4);
      v = f;
    }
    if (!(std::fabs(v) <= static_cast<double>(FLT_MAX))) return i;
  }
  return -1;
}

void RaiseBadPostValue(const std::string& postFile, const TPostValuePlace& place, const uint8_t* bytes,
                       bool doublePrecision) {
  double v;
  if (doublePrecision) {
    std::memcpy(&v, bytes, 8);
  } else {
    float f;
    std::memcpy(&f, bytes, 4);
    v = f;
  }
  const std::string what = std::isnan(v)   ? std::string("not a number")
                           : std::isinf(v) ? std::string("infinite")
                                           : fmt::format("{:g}, beyond single precision", v);
  throw EFormatError(fmt::format(
      "Corrupt POSTFILE {}: the {} value of receptor {} for the hour {} at byte offset {} is {}", postFile,
      PostOutTypeName(place.Type), place.Receptor + 1, place.Date, place.Offset, what));
}

void RaiseFirstBadPostValue(const std::string& postFile, int64_t offset, const uint8_t* values, int count,
                            bool doublePrecision, int firstReceptor, TPostOutType type, int32_t date) {
  const int valueSize = doublePrecision ? 8 : 4;
  const int bad = std::max(0, FirstBadPostValue(values, count, doublePrecision));
  TPostValuePlace place;
  place.Offset = offset + int64_t{bad} * valueSize;
  place.Date = date;
  place.Receptor = firstReceptor + bad;
  place.Type = type;
  RaiseBadPostValue(postFile, place, values + static_cast<size_t>(bad) * valueSize, doublePrecision);
}

}  // namespace zorvik
