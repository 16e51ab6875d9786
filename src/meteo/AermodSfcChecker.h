#pragma once
// TAermodSfc_Checker: judges each hour record of an AERMOD surface file as calm, missing or usable (the rules of
// AermodSfcRules.h). Every record must name a real hour (else it raises), and its date key goes into the table
// of held hours when one is given. Usable hours go into the hour table it is given, keyed by date key with
// their wind speed; calm and missing hours go into a list of bad-hours rows (comma-separated: the hour's date
// as YYYYMMDDHH, its year, month, day, Julian day and hour, the reason, then the other fields of the record).
// A record writer: subscribe it to a TAERMET_SFC_Reader.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "meteo/HashedIntegerListReal.h"
#include "meteo/MeteoTypes.h"
#include "records/RecordIO.h"
#include "util/DateKey.h"

namespace zorvik {

class TAermodSfc_Checker : public base_AttributeWriter {
 public:
  // The hour table (not owned); the owner sets it, and the rule set, before the reader starts.
  THashedIntegerListReal* Data() const { return FData; }
  void SetData(THashedIntegerListReal* data) { FData = data; }
  // The table of every hour a record names, usable, calm or missing (not owned; may be none).
  void SetHeld(THashedIntegerListReal* held) { fHeld = held; }
  TAermod_Version AerVersion() const { return fAerVersion; }
  void SetAerVersion(TAermod_Version version) { fAerVersion = version; }
  // Whether BadHours gets a row per calm or missing hour (the default); a loader that does not save them spares
  // their making.
  void SetKeepBadHours(bool keep) { fKeepBadHours = keep; }

  // After the header: clears the table, the counts, the dates and the bad hours.
  void ProcessBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) override;
  // One hour record. A failure (a field that is absent or unreadable, an impossible date) is raised with the
  // context "TAermodSfc_Checker.ProcessRecord"; hours stored before it stay in the table.
  void ProcessRecord(TAttributeCollectionRef& newRecord) override;
  void ProcessError(attributeReaderStatus /*error*/) override {}

  // The rows: none without bad hours, else a header row of column names (lower case: date, year, month, day,
  // j_day, hour, reason, then the other fields) and one row per hour.
  const std::vector<std::string>& BadHours() const { return fBadHours; }
  std::vector<std::string> TakeBadHours() { return std::move(fBadHours); }
  // Writes the rows, one per line ended by CR LF; an existing file is replaced.
  void SaveBadHours(const std::string& aFile) const;

  // Results of the run, copied by the owner.
  TDateTime fEndDateTime = -1e20;    // start of the latest usable hour
  TDateTime fStartDateTime = 1e20;   // start of the earliest usable hour
  bool fHasData = false;             // a usable hour was stored
  int32_t fHourCount = 0;            // usable hours stored
  int32_t fTotalHourCount = 0;       // records received
  int32_t fCalmHourCount = 0;
  int32_t fMissingHourCount = 0;
  TDateTime fFirstHeldDateTime = 1e20;  // start of the earliest hour of any kind
  TDateTime fLastHeldDateTime = -1e20;  // start of the latest

 private:
  // The date of a record: four-digit year, month, day, Julian day, hour 1..24.
  struct THourDate {
    int32_t fullYear = 0, month = 0, day = 0, julianDay = 0, hour = 0;
  };
  void AddBadHour(TAttributeCollectionRef& record, const THourDate& date, const std::string& reason);
  // The fields an hour is judged by.
  enum TField { kYear, kMonth, kDay, kJulianDay, kHour, kWindSpeed, kWindDir, kTemp, kObukhov, kConvMix, kMechMix,
                kFriction, kConvVelocity, kFieldCount };
  base_Attribute& Field(TAttributeCollectionRef& record, TField field);
  std::array<int, kFieldCount> fFieldAt{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};  // record places
  bool fKeepBadHours = true;

  THashedIntegerListReal* FData = nullptr;
  THashedIntegerListReal* fHeld = nullptr;
  TAermod_Version fAerVersion = av_Unknown;
  std::vector<std::string> fBadHours;
};

// One comma-separated row: a cell that holds the separator is enclosed in double quotes.
std::string CsvRow(const std::vector<std::string>& cells);
// Writes rows to a text file, one per line ended by CR LF, replacing an existing file only once the whole text
// is written (a failure leaves the earlier file as it was).
void SaveTextRows(const std::string& aFile, const std::vector<std::string>& rows);

}  // namespace zorvik
