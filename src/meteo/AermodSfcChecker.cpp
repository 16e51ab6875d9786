#include "meteo/AermodSfcChecker.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "meteo/AermodSfcRules.h"
#include "util/OutputFile.h"
#include "util/ExceptionLog.h"

namespace zorvik {

namespace {
constexpr std::string_view kRecordText = "hour record of the surface file";

}  // namespace

base_Attribute& TAermodSfc_Checker::Field(TAttributeCollectionRef& record, TField field) {
  // Found where it was in the record before while that place holds it (a look-up by name lower-cases the name
  // and hashes it); a record without it raises.
  static constexpr std::array<std::string_view, kFieldCount> kNames = {
      "YEAR", "MONTH", "DAY", "J_DAY", "HOUR", "w_s", "w_d", "TEMP", "L", "PBL", "SBL", "U_O", "W_O"};
  const std::string_view name = kNames[static_cast<size_t>(field)];
  if (base_Attribute* found = record.ByNameAt(name, fFieldAt[static_cast<size_t>(field)])) return *found;
  return *record.ByName(name, true, kRecordText);
}

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
  if (fHeld) fHeld->Clear();
  fFirstHeldDateTime = 1e20;
  fLastHeldDateTime = -1e20;
}

namespace {
// Column names of the bad-hours rows, by record field; a field not listed keeps its name in lower case.
constexpr std::pair<std::string_view, std::string_view> kColumnNames[] = {
    {"precipcode", "precip_code"}, {"preciprate", "precip_rate"}, {"pressurecloudcover", "cloud_cover"}};

std::string ColumnName(std::string_view fieldName) {
  std::string name(fieldName);
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (const auto& [field, column] : kColumnNames)
    if (name == field) return std::string(column);
  return name;
}

// The fields that the date columns at the start of a row already show.
bool IsDateField(const std::string& column) {
  return column == "year" || column == "month" || column == "day" || column == "j_day" || column == "hour";
}
}  // namespace

void TAermodSfc_Checker::AddBadHour(TAttributeCollectionRef& record, const THourDate& date,
                                    const std::string& reason) {
  if (!fKeepBadHours) return;
  std::vector<std::string> cells;
  cells.reserve(static_cast<size_t>(record.Count()) + 2);
  if (fBadHours.empty()) {
    for (const char* column : {"date", "year", "month", "day", "j_day", "hour", "reason"}) cells.emplace_back(column);
    for (base_Attribute& field : record.Items())
      if (const std::string column = ColumnName(field.FieldName()); !IsDateField(column)) cells.push_back(column);
    fBadHours.push_back(CsvRow(cells));
    cells.clear();
  }
  cells.push_back(fmt::format("{:04d}{:02d}{:02d}{:02d}", date.fullYear, date.month, date.day, date.hour));
  cells.push_back(std::to_string(date.fullYear));
  for (const int32_t part : {date.month, date.day, date.julianDay, date.hour}) cells.push_back(std::to_string(part));
  cells.push_back(reason);
  for (base_Attribute& field : record.Items())
    if (!IsDateField(ColumnName(field.FieldName()))) cells.push_back(field.asString());
  fBadHours.push_back(CsvRow(cells));
}

void TAermodSfc_Checker::ProcessRecord(TAttributeCollectionRef& newRecord) {
  ++fTotalHourCount;
  traced("TAermodSfc_Checker.ProcessRecord", [&] {
    // Every hour line names a real hour, whatever its values: calm and missing hours are hours of the file.
    THourDate d;
    const int32_t year = Field(newRecord, kYear).asInteger();
    d.month = Field(newRecord, kMonth).asInteger();
    d.day = Field(newRecord, kDay).asInteger();
    d.julianDay = Field(newRecord, kJulianDay).asInteger();
    d.hour = Field(newRecord, kHour).asInteger();
    TDateTime date = 0;
    d.fullYear = ExpandMetYear(year % 100);
    if (d.hour < 1 || d.hour > 24 || !TryEncodeDate(d.fullYear, d.month, d.day, date))
      throw EConvertError(fmt::format("Impossible date in an hour record: year {}, month {}, day {}, hour {}", year,
                                      d.month, d.day, d.hour));
    date += (d.hour - 1) / 24.0;
    const int32_t key = (year % 100) * 1000000 + d.month * 10000 + d.day * 100 + d.hour;
    if (fHeld) fHeld->Add(key, 0.0f);
    fFirstHeldDateTime = std::min(fFirstHeldDateTime, date);
    fLastHeldDateTime = std::max(fLastHeldDateTime, date);

    TSfcHourValues v;
    v.windSpeed = Field(newRecord, kWindSpeed).asFloat();
    if (IsCalmHour(v.windSpeed, fAerVersion)) {
      ++fCalmHourCount;
      AddBadHour(newRecord, d, BadHourReason(-1, fAerVersion));
      return;
    }
    v.windDir = Field(newRecord, kWindDir).asFloat();
    v.temp = Field(newRecord, kTemp).asFloat();
    v.obukhovLength = Field(newRecord, kObukhov).asFloat();
    v.convMixHeight = Field(newRecord, kConvMix).asFloat();
    v.mechMixHeight = Field(newRecord, kMechMix).asFloat();
    v.frictionVelocity = Field(newRecord, kFriction).asFloat();
    v.convVelocity = Field(newRecord, kConvVelocity).asFloat();
    if (const int row = MissingConditionRow(v, fAerVersion); row != 0) {
      ++fMissingHourCount;
      AddBadHour(newRecord, d, BadHourReason(row, fAerVersion));
      return;
    }

    if (FData) FData->Add(key, static_cast<float>(v.windSpeed));
    fStartDateTime = std::min(fStartDateTime, date);
    fEndDateTime = std::max(fEndDateTime, date);
    fHasData = true;
    ++fHourCount;
  });
}

void TAermodSfc_Checker::SaveBadHours(const std::string& aFile) const { SaveTextRows(aFile, fBadHours); }

void SaveTextRows(const std::string& aFile, const std::vector<std::string>& rows) {
  traced("SaveTextRows(" + aFile + ")", [&] {
    size_t size = 0;
    for (const std::string& row : rows) size += row.size() + 2;
    std::string text;
    text.reserve(size);
    for (const std::string& row : rows) text.append(row).append("\r\n");
    WriteFileAtomically(aFile, text);
  });
}

}  // namespace zorvik
