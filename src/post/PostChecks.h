#pragma once
// Checks of what a POSTFILE's records hold, beyond their framing: the record headers as a walk over the file meets
// them, and the stored values. A damaged file is an EFormatError naming the file, the byte offset and the fault.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "post/PostTypes.h"

namespace zorvik {

// The record headers of one POSTFILE in file order: every date key a calendar hour, each later than the one before,
// and one averaging period and one source group throughout. Hours missing between records (a run over selected
// days) are allowed: they are counted, for a warning.
class TPostRecordSequence {
 public:
  explicit TPostRecordSequence(std::string postFile) : fPostFile(std::move(postFile)) {}

  // The header of the record at byte offset `pos`; raises on a fault.
  void Check(int64_t pos, int32_t date, int32_t period, std::string_view group);

  int64_t Records() const { return fRecords; }
  // Hours missing between records, and the date of the record after which the first of them is missing.
  int64_t MissingHours() const { return fMissingHours; }
  int32_t FirstGapAfter() const { return fFirstGapAfter; }
  // "the POSTFILE <file> skips <n> hours between records; the first gap follows <date>", or "" without a gap.
  std::string GapWarning() const;

 private:
  std::string fPostFile;
  int64_t fRecords = 0;
  int32_t fFirstPeriod = 0;
  std::string fFirstGroup;
  int32_t fLastDate = 0;
  int64_t fLastHour = 0;
  int64_t fMissingHours = 0;
  int32_t fFirstGapAfter = 0;
};

// Hours since 30 December 1899 00:00 of the hour ending at a date key (YYMMDDHH, hour 1..24); -1 for a key that is
// no calendar hour (month 13, day 32, hour 0 or 25 ...).
int64_t DateKeyHourNumber(int32_t key);

// "1 hour", "48 hours".
std::string HoursText(int64_t n);

// Index of the first of `count` stored values (little-endian float64 or float32) that is not a number, infinite or
// beyond single precision (|v| > FLT_MAX); -1 when every one is sound.
int FirstBadPostValue(const uint8_t* bytes, int count, bool doublePrecision);

// Where a stored value lies, for the message about it.
struct TPostValuePlace {
  int64_t Offset = 0;  // byte offset in the file
  int32_t Date = 0;    // date key of the record
  int Receptor = 0;    // 0-based, in PLOTFILE order
  TPostOutType Type = TPostOutType::poConc;
};
// Raises EFormatError: the value at `place` (its bytes at `bytes`) cannot be read as a result.
[[noreturn]] void RaiseBadPostValue(const std::string& postFile, const TPostValuePlace& place, const uint8_t* bytes,
                                    bool doublePrecision);
// Raises the error for the first of `count` stored values at `values` that cannot be read: the values of receptors
// firstReceptor, firstReceptor + 1 ... of output type `type` in the record of `date`, the first of them at byte
// offset `offset` of the file.
[[noreturn]] void RaiseFirstBadPostValue(const std::string& postFile, int64_t offset, const uint8_t* values, int count,
                                         bool doublePrecision, int firstReceptor, TPostOutType type, int32_t date);

}  // namespace zorvik
