#pragma once
// TMeteoData: the usable hours of one met file (every hour that is neither calm nor missing), keyed by date key
// and carrying the hour's wind speed. The percentile engine and the rolling averages ask it, hour by hour,
// whether a POSTFILE hour is usable.
//
// Loading a met file:
//
//   TMeteoData met;                       // empty: IsExist is false for every key
//   met.SetAermodVersion(av_11103);       // the rule set of surface files; always av_11103 in this system
//   met.LoadDataFromFile(fileName);       // raises for an unreadable surface file (see below)
//   if (met.UsableHourCount() == 0) ...   // warn: every hour of the POSTFILE will count as calm
//   TBinPostReader reader(postFile, types, &met, ...);  // a TMeteoHours: the reader asks IsExist per hour
//   if (!met.IsExist(dateKey)) ...        // per POSTFILE hour: calm or missing
//   if (!met.IsHeld(dateKey)) ...         // per POSTFILE hour: not in the met file at all
//
// Two kinds of file are accepted, told apart by content; either is read as text lines (TMetTextFile: CR LF or
// LF line ends, a byte-order mark skipped, a line longer than any met file line raises EFormatError naming the
// file and line). A binary file (a POSTFILE given by mistake) raises EFormatError "<file> is a binary file
// (it looks like a POSTFILE), not a met file" before anything is read.
// - an AERMET surface file whose first line is the full header (it contains "UA_ID", "SF_ID", "OS_ID" and
//   "VERSION"): read by TAERMET_SFC_Reader, each hour judged by TAermodSfc_Checker. A failure (a version field
//   that is no AERMET version number, an hour whose date is impossible) raises a traced exception whose chain
//   names the file and line (LineNumber() holds the line too); the hours stored before it stay in the table.
//   A line that is not an hour of the layout (a number that is none) raises EFormatError "<file>, line <n>:
//   not an hour line of the surface file: ..."; an empty line ends the reading, quietly when only blank lines
//   follow it, otherwise with EFormatError (the hours after it would be lost). A line with fewer fields than
//   its layout reads its missing fields as empty, so that hour is calm or missing (IncompleteLineCount).
// - an ISCST3 ASCII met file, or a surface file without the full header: read at fixed columns. A line that is
//   not an hour (ReadFixedColumnLine) raises EFormatError "<file>, line <n>: not an hour line of the ... layout:
//   <why>"; only the first line of an ISCST3 file may be a short station header, and blank lines are skipped.
// A file that does not exist is ignored: nothing changes, HasData stays false. Create a TMeteoData only for a
// file that exists: an empty table makes every hour calm.
//
// No usable hour: when a met file exists but yields no usable hour (all hours calm, or a file of another kind),
// the table is empty and every POSTFILE hour counts as calm. That is the rule; callers that want to tell the
// user check UsableHourCount() (hours in the table) or HourCount() after the load.
//
// Lookups: IsExist is a four-level radix lookup (THashedIntegerListReal) with no hashing, allocation or locking,
// inline in this header. Between loads the object is read-only and may be queried from any thread.
#include <cstdint>
#include <string>
#include <vector>

#include "meteo/AermetVersion.h"
#include "meteo/HashedIntegerListReal.h"
#include "meteo/MeteoHours.h"
#include "meteo/MeteoTypes.h"
#include "util/DateKey.h"

namespace zorvik {

// Which way the last load read the file.
enum class TMeteoLoadPath : uint8_t {
  mlpNone,                // no load yet, or the file did not exist
  mlpSurfaceFile,         // AERMET surface file with its full header
  mlpFixedColumnsIsc,     // fixed columns, ISCST3 layout
  mlpFixedColumnsSurface, // fixed columns, surface layout (first line holds "UA_ID" but not the full header)
};

class TMeteoData final : public TMeteoHours {
 public:
  TMeteoData() = default;
  TMeteoData(const TMeteoData&) = delete;
  TMeteoData& operator=(const TMeteoData&) = delete;
  TMeteoData(TMeteoData&&) noexcept = default;
  TMeteoData& operator=(TMeteoData&&) noexcept = default;

  // Empties the tables and sets HasData false; counts and dates stay.
  void Clear();
  // Loads the file (see above). Each load starts from an empty table, so a second load replaces the first.
  void LoadDataFromFile(const std::string& FMeteoFile);

  // True when the hour of the date key is usable. The one question the rest of the system asks.
  bool IsExist(int32_t ADate) const noexcept override { return FData.Contains(ADate); }
  // True when the file holds the hour at all, usable, calm or missing: a POSTFILE hour it does not hold is an
  // hour the met file knows nothing of. The same radix lookup as IsExist.
  // TODO(integration): mark `override` once TMeteoHours declares IsHeld.
  bool IsHeld(int32_t ADate) const noexcept override { return fHeld.Contains(ADate); }
  // Distinct hours the file holds, usable, calm or missing.
  int32_t HeldHourCount() const noexcept { return fHeld.Count(); }
  // The stored wind speed of the hour; 0 when the hour is not in the table.
  double GetWindSpeed(int32_t ADate) const noexcept;

  bool HasData() const noexcept { return fHasData; }
  // Hours stored by the last load (an hour that occurs twice counts twice).
  int32_t HourCount() const noexcept { return fHourCount; }
  // Hour lines or records examined by the last load.
  int32_t TotalHourCount() const noexcept { return fTotalHourCount; }
  // Distinct hours in the table now: 0 means every POSTFILE hour will count as calm.
  int32_t UsableHourCount() const noexcept { return FData.Count(); }
  // Hours of the last load judged calm, and missing (fixed columns: missing only in the surface layout).
  int32_t CalmHourCount() const noexcept { return fCalmHourCount; }
  int32_t MissingHourCount() const noexcept { return fMissingHourCount; }
  // Fixed columns only: 1 when the first line is an ISCST3 station header, else 0.
  int32_t UnreadableLineCount() const noexcept { return fUnreadableLineCount; }
  // Surface file only: hour lines with fewer fields than the layout (their missing fields read as empty, so
  // such an hour is calm or missing, never usable with values of another hour), and the first of them.
  int32_t IncompleteLineCount() const noexcept { return fIncompleteLineCount; }
  int32_t FirstIncompleteLine() const noexcept { return fFirstIncompleteLine; }
  // The number of the line the last load read last: where it failed, when it failed.
  int32_t LineNumber() const noexcept { return fLineNumber; }

  // Start of the earliest and latest usable hour; 1e20 and -1e20 when there was none.
  TDateTime StartDateTime() const noexcept { return fStartDateTime; }
  TDateTime EndDateTime() const noexcept { return fEndDateTime; }
  // Start of the earliest and latest hour the file holds, usable, calm or missing; 1e20 and -1e20 when none.
  TDateTime FirstHourDateTime() const noexcept { return fFirstHeldDateTime; }
  TDateTime LastHourDateTime() const noexcept { return fLastHeldDateTime; }
  // Calendar year of the end minus that of the start, plus 1; 0 when no hour had a date.
  int NumYears() const;

  TAermod_Version AermodVersion() const noexcept { return fAermodVersion; }
  void SetAermodVersion(TAermod_Version value) noexcept { fAermodVersion = value; }

  TMeteoLoadPath LoadPath() const noexcept { return fLoadPath; }
  // Surface file: the version recognised from the header and the header's version text as written.
  TAermetVersion AermetVersion() const noexcept { return fAermetVersion; }
  const std::string& AermetVersionText() const noexcept { return fAermetVersionText; }

  // Keep the bad-hours rows of a surface file load (a header row of column names, then one row per calm or
  // missing hour: its date YYYYMMDDHH, year, month, day, Julian day, hour, reason and the other fields); off by
  // default, since the engine has no use for them.
  void SetKeepBadHours(bool keep) noexcept { fKeepBadHours = keep; }
  const std::vector<std::string>& BadHours() const noexcept { return fBadHours; }
  // Writes the kept rows, one per line ended by CR LF. The file takes its name only once it is complete: a
  // failure leaves an earlier file of that name as it was.
  void SaveBadHours(const std::string& aFile) const;

  // The hour table (shared with the surface file checker during a load).
  const THashedIntegerListReal& Data() const noexcept { return FData; }

 private:
  void LoadAermetSfc(const std::string& fileName);
  void LoadFixedColumns(const std::string& fileName);
  void ResetCounts();

  TDateTime fEndDateTime = -1e20;
  TDateTime fStartDateTime = 1e20;
  TAermod_Version fAermodVersion = av_Unknown;
  THashedIntegerListReal FData;
  THashedIntegerListReal fHeld;  // every hour of the file, usable, calm or missing (values unused)
  TDateTime fFirstHeldDateTime = 1e20;
  TDateTime fLastHeldDateTime = -1e20;
  bool fHasData = false;
  int32_t fHourCount = 0;
  int32_t fTotalHourCount = 0;

  int32_t fCalmHourCount = 0;
  int32_t fMissingHourCount = 0;
  int32_t fUnreadableLineCount = 0;
  int32_t fIncompleteLineCount = 0;
  int32_t fFirstIncompleteLine = 0;
  int32_t fLineNumber = 0;
  TMeteoLoadPath fLoadPath = TMeteoLoadPath::mlpNone;
  TAermetVersion fAermetVersion = tav_null;
  std::string fAermetVersionText;
  bool fKeepBadHours = false;
  std::vector<std::string> fBadHours;
};

}  // namespace zorvik
