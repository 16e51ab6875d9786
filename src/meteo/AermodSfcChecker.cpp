#include "meteo/AermodSfcChecker.h"

#include <algorithm>

#include <fmt/format.h>

#include "meteo/AermodSfcRules.h"
#include "util/StringFile.h"
#include "util/ExceptionLog.h"

namespace zorvik {

namespace {
constexpr std::string_view kRecordText = "hour record of the surface file";

double ReadReal(TAttributeCollectionRef& record, std::string_view name) {
  return record.ByName(name, true, kRecordText)->asFloat();
}
int32_t ReadInt(TAttributeCollectionRef& record, std::string_view name) {
  return record.ByName(name, true, kRecordText)->asInteger();
}
}  // namespace

std::string CsvRow(const std::vector<std::string>& cells) {
  // Numbers are always written with '.', so the separator is always ','.
  constexpr char kSeparator = ',';
  std::string row;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) row += kSeparator;
    if (cells[i].find(kSeparator) != std::string::npos)
      row += '"' + cells[i] + '"';
    else
      row += cells[i];
  }
  return row;
}

void TAermodSfc_Checker::ProcessBegin(TAttributeCollectionRef& /*header*/, TAttributeCollectionRef& /*fields*/) {
  if (FData) FData->Clear();
  fStartDateTime = 1e20;
  fEndDateTime = -1e20;
  fHasData = false;
  fHourCount = 0;
  fTotalHourCount = 0;
  fCalmHourCount = 0;
  fMissingHourCount = 0;
  fBadHours.clear();
}

void TAermodSfc_Checker::AddBadHour(TAttributeCollectionRef& record, const std::string& reason) {
  std::vector<std::string> cells;
  cells.reserve(static_cast<size_t>(record.Count()) + 1);
  if (fBadHours.empty()) {
    cells.emplace_back("Error");
    for (base_Attribute& field : record.Items()) cells.push_back(field.FieldName());
    fBadHours.push_back(CsvRow(cells));
    cells.clear();
  }
  cells.push_back(reason);
  for (base_Attribute& field : record.Items()) cells.push_back(field.asString());
  fBadHours.push_back(CsvRow(cells));
}

void TAermodSfc_Checker::ProcessRecord(TAttributeCollectionRef& newRecord) {
  ++fTotalHourCount;
  traced("TAermodSfc_Checker.ProcessRecord", [&] {
    TSfcHourValues v;
    v.windSpeed = ReadReal(newRecord, "w_s");
    if (IsCalmHour(v.windSpeed, fAerVersion)) {
      ++fCalmHourCount;
      AddBadHour(newRecord, BadHourReason(-1, fAerVersion));
      return;
    }
    v.windDir = ReadReal(newRecord, "w_d");
    v.temp = ReadReal(newRecord, "TEMP");
    v.obukhovLength = ReadReal(newRecord, "L");
    v.convMixHeight = ReadReal(newRecord, "PBL");
    v.mechMixHeight = ReadReal(newRecord, "SBL");
    v.frictionVelocity = ReadReal(newRecord, "U_O");
    v.convVelocity = ReadReal(newRecord, "W_O");
    if (const int row = MissingConditionRow(v, fAerVersion); row != 0) {
      ++fMissingHourCount;
      AddBadHour(newRecord, BadHourReason(row, fAerVersion));
      return;
    }

    const int32_t year = ReadInt(newRecord, "YEAR"), month = ReadInt(newRecord, "MONTH"),
                  day = ReadInt(newRecord, "DAY"), hour = ReadInt(newRecord, "HOUR");
    // 64-bit arithmetic: a wild field gives a wild key, not an overflow; the date check below rejects it.
    const auto key = static_cast<int32_t>(static_cast<int64_t>(year % 100) * 1000000 + int64_t{month} * 10000 +
                                          int64_t{day} * 100 + hour);
    if (FData) FData->Add(key, static_cast<float>(v.windSpeed));

    const int fullYear = ExpandMetYear(year % 100);
    TDateTime date = 0;
    if (hour < 1 || hour > 24 || !TryEncodeDate(fullYear, month, day, date))
      throw EConvertError(fmt::format("Impossible date in an hour record: year {}, month {}, day {}, hour {}", year,
                                      month, day, hour));
    date += (hour - 1) / 24.0;
    fStartDateTime = std::min(fStartDateTime, date);
    fEndDateTime = std::max(fEndDateTime, date);
    fHasData = true;
    ++fHourCount;
  });
}

void TAermodSfc_Checker::SaveBadHours(const std::string& aFile) const { SaveTextRows(aFile, fBadHours); }

void SaveTextRows(const std::string& aFile, const std::vector<std::string>& rows) {
  traced("SaveTextRows(" + aFile + ")", [&] {
    TStringFile file(aFile, TStringFileMode::smCreate);
    for (const std::string& row : rows) file.WriteLine(row);
    file.Close();
  });
}

}  // namespace zorvik
