#include "plotfile/ISCPlotReader.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>

#include "meteo/DateKey.h"
#include "meteo/F77FmtParser.h"
#include "plotfile/PlotLineParse.h"
#include "records/Conversions.h"
#include "util/ExceptionLog.h"
#include "util/StringFile.h"

namespace zorvik {
namespace {

using enum Tplotcolumn;

constexpr size_t kMaxFieldErrors = 100;
constexpr int kFormatLineLength = 65536;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (auto& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::string Join(const std::vector<std::string>& words, std::string_view separator, size_t from = 0) {
  std::string out;
  for (size_t i = from; i < words.size(); ++i) {
    if (i > from) out += separator;
    out += words[i];
  }
  return out;
}

// A whole decimal integer, blanks around allowed.
bool TryWholeInteger(std::string_view text, int32_t& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

// The date key of the last hour of a month.
int32_t MonthEndKey(int year, int month) {
  return (year % 100) * 1000000 + month * 10000 + DaysInMonth(year, month) * 100 + 24;
}

class TEFormat : public EFormatError {
 public:
  using EFormatError::EFormatError;
};

}  // namespace

TISCPlotReader::TISCPlotReader(std::string NameOfDataSet) : TBaseDataSetReader(std::move(NameOfDataSet)) {
  auto terminators = processTerminators();
  terminators.Exclude(attributeReaderStatus::arsBadRecord);
  SetProcessTerminators(terminators);
}

TISCPlotReader::~TISCPlotReader() = default;

// ---- lines -------------------------------------------------------------------------------------------------

void TISCPlotReader::OpenDataHandle() {
  fStringFile = std::make_unique<TStringFile>(fDataSetName, TStringFileMode::smRead);
  fEOF = fStringFile->Eof();
  fCurrentLine.clear();
  fCurrentLineNumber = 0;
}

void TISCPlotReader::CloseDataHandle() { fStringFile.reset(); }

bool TISCPlotReader::EndOfData() { return fEOF && fCurrentLine.empty(); }

std::string TISCPlotReader::NextLine(int32_t& lineNumber) {
  while (!fStringFile->Eof()) {
    std::string line = fStringFile->GetLine();
    if (!Trim(line).empty()) {
      fEOF = fStringFile->Eof();
      lineNumber = fStringFile->LineNumber();
      return line;
    }
  }
  fEOF = true;
  lineNumber = fStringFile->LineNumber();
  return {};
}

void TISCPlotReader::BadFormat(int32_t line, const std::string& problem) const {
  if (line > 0) throw TEFormat(fmt::format("{}, line {}: {}", fDataSetName, line, problem));
  throw TEFormat(fmt::format("{}: {}", fDataSetName, problem));
}

// ---- header ------------------------------------------------------------------------------------------------

void TISCPlotReader::ResetFields() {
  fValueOrder.clear();
  fFieldNames.clear();
  fPlotColumnNames.clear();
  fColumns.clear();
  fFieldNameIDs.clear();
  fMaxFieldNameIDs.clear();
  fXID = fYID = -1;
}

void TISCPlotReader::ReadHeader(TAttributeCollectionRef& metadata, TAttributeCollectionRef& record) {
  for (const char* name : {"header1", "header2"}) metadata.AddAttribute(std::make_unique<Atr_String>(name));
  for (const char* name : {"minimum x", "maximum x", "minimum y", "mayimum y"})
    metadata.AddAttribute(std::make_unique<Atr_Float>(name));
  metadata.AddAttribute(std::make_unique<Atr_Integer>("mumreceptors"));
  for (const char* name : {"plot options", "format", "group", "hour", "high"})
    metadata.AddAttribute(std::make_unique<Atr_String>(name));
  metadata.AddAttribute(std::make_unique<Atr_Integer>("datatype"));

  fMinX = 1e30;
  fMaxX = -1e30;
  fMinY = 1e30;
  fMaxY = -1e30;
  fStatusMessage.clear();
  fFieldErrors.clear();
  fFieldErrorCount = 0;
  fFirstRecord = true;
  fGroupDefined = false;
  fPltAverageKeyword = TPltAverageKeyword::kwNoAvg;
  fconcunit.clear();
  fdepunit.clear();
  fChemName.clear();
  ResetFields();

  try {
    ParseHeader(metadata);
  } catch (const std::exception& e) {
    // Any failure to understand the header ends the pass quietly; the message says where and why.
    SetReaderStatus(attributeReaderStatus::arsBadFormat);
    fStatusMessage = dynamic_cast<const TEFormat*>(&e)
                         ? std::string(e.what())
                         : fmt::format("{}, line {}: {}", fDataSetName, fCurrentLineNumber, RootMessage(e));
    return;
  }
  DefineRecord(record);
}

void TISCPlotReader::ParseHeader(TAttributeCollectionRef& header) {
  fPlotOptions.Clear();
  fExplicitOptions = false;
  fDateLeadColumn1 = fDateLeadColumn2 = -1;
  fLayerNames.clear();

  int32_t lineNumber = 0;
  std::string first = NextLine(lineNumber);
  if (first.empty()) BadFormat(0, "the file is empty");
  fCurrentLine = first;
  fCurrentLineNumber = lineNumber;
  if (first.front() != '*') {
    fHeaderless = true;
    InferColumns(header);
    return;
  }
  fHeaderless = false;

  for (int block = 1;; ++block) {
    const int32_t blockLine = fCurrentLineNumber;
    if (!ParseHeaderBlock(header)) {
      if (block == 1)
        BadFormat(blockLine, "the header block has no line naming what the file holds (such as \"PLOT FILE OF\")");
      break;
    }
    const int32_t dataType = header.ByName("datatype")->asInteger();
    if (dataType == 4)
      fLayerNames.push_back(header.ByName("high")->asString());
    else if (dataType == 8)
      fLayerNames.push_back(fmt::format("Year {}", block));
    else
      fLayerNames.push_back(std::to_string(block));
    if ((dataType != 4 && dataType != 8) || static_cast<int>(fLayerNames.size()) == fLayerID + 1) break;
    // The records of this block are skipped up to the next header block.
    std::string line;
    int32_t n = 0;
    do {
      line = NextLine(n);
    } while (!line.empty() && line.front() != '*');
    fCurrentLine = line;
    fCurrentLineNumber = n;
    if (line.empty()) break;
  }

  if (fLayerID < 0) {
    if (!fLayerNames.empty() && header.ByName("datatype")->asInteger() == 8) fLayerNames.back() = "Average";
    fStringFile->Reset();
    fEOF = fStringFile->Eof();
    fCurrentLine = NextLine(fCurrentLineNumber);
    ParseHeaderBlock(header);
  }
}

bool TISCPlotReader::ParseHeaderBlock(TAttributeCollectionRef& header) {
  std::string header1 = fCurrentLine;
  if (!fPreserveModelVersion)
    if (auto colon = header1.find(':'); colon != std::string::npos) header1.erase(0, colon + 1);
  header.ByName("header1")->SetAsString(Trim(header1));

  const int32_t blockLine = fCurrentLineNumber;
  bool kindFound = false;
  bool formatFound = false;
  std::string ending;
  int32_t endingLine = 0;
  while (!fEOF) {
    int32_t n = 0;
    std::string line = NextLine(n);
    if (line.empty()) break;
    std::string upper = Upper(line);
    if (upper.front() != '*') {
      ending = std::move(upper);
      endingLine = n;
      break;
    }
    std::string body = upper.substr(1);
    if (int kind = PlotFileKindOf(body)) {
      ParseKindLine(header, body, kind);
      kindFound = true;
    } else if (body.find("FORMAT: ") != std::string::npos) {
      ParseFormat(header, body, n);
      formatFound = true;
    } else if (body.find("TOTAL OF") != std::string::npos) {
      int32_t count = 0;
      if (ReceptorCountOf(body, count)) header.ByName("mumreceptors")->SetAsInteger(count);
    } else {
      ParseOptionsLine(header, body);
    }
  }
  if (fPlotOptions.Empty()) DeriveOptionsFromFields();
  // A header that runs to the end of the file leaves no receptor line to read.
  fCurrentLine = std::move(ending);
  fCurrentLineNumber = endingLine;
  if (!formatFound) BadFormat(blockLine, "the header block has no FORMAT statement");
  return kindFound;
}

void TISCPlotReader::ParseKindLine(TAttributeCollectionRef& header, const std::string& body, int kind) {
  header.ByName("datatype")->SetAsInteger(kind);
  TPlotKindLine k = ParsePlotKindLine(body);
  header.ByName("group")->SetAsString(k.group);
  fGroupDefined = k.hasGroup;
  if (!k.hour.empty()) header.ByName("hour")->SetAsString(k.hour);
  header.ByName("high")->SetAsString(k.high);
  fPltAverageKeyword = k.keyword;
  header.ByName("header2")->SetAsString(k.header2);
}

void TISCPlotReader::ParseOptionsLine(TAttributeCollectionRef& header, const std::string& body) {
  // The models' own options line wins over any earlier line that merely contains option words (an AERMOD
  // second title line may name CONC or DEPOS); its caption is no option word.
  static constexpr std::string_view kCaption = "MODELING OPTIONS USED:";
  std::vector<std::string> tokens;
  if (auto p = body.find(kCaption); p != std::string::npos) {
    tokens = PlotLineTokens(std::string_view(body).substr(p + kCaption.size()));
    if (tokens.empty()) return;
    fPlotOptions.Clear();
    fExplicitOptions = true;
  } else {
    if (fExplicitOptions || !fPlotOptions.Empty()) return;
    tokens = PlotLineTokens(body);
  }
  bool any = false;
  for (const auto& token : tokens) {
    TPlotOption option;
    if (FindPlotOption(token, option)) {
      fPlotOptions.Include(option);
      any = true;
    }
  }
  if (any || fExplicitOptions) header.ByName("plot options")->SetAsString(Join(tokens, ","));
}

void TISCPlotReader::DeriveOptionsFromFields() {
  for (Tplotcolumn c : fValueOrder) {
    switch (c) {
      case pltaveconc: fPlotOptions.Include(TPlotOption::pltoCONC); break;
      case plttotaldepo: fPlotOptions.Include(TPlotOption::pltoDEPOS); break;
      case pltdrydepo: fPlotOptions.Include(TPlotOption::pltoDDEP); break;
      case pltwetdepo: fPlotOptions.Include(TPlotOption::pltoWDEP); break;
      case pltZElev: fPlotOptions.Include(TPlotOption::pltoELEV); break;
      default: break;
    }
  }
}

void TISCPlotReader::ParseFormat(TAttributeCollectionRef& header, const std::string& body, int32_t line) {
  std::string statement;
  for (char c : std::string_view(body).substr(body.find("FORMAT: ") + 8))
    if (c != ' ') statement += c;
  if (statement.empty() || statement.back() != ')') statement += ')';
  header.ByName("format")->SetAsString(statement);

  TF77_FMT_Parser parser;
  parser.SetElementAsString(true);
  TAttributeCollectionRef elements;
  try {
    parser.SetFmtStr(statement);
    parser.LexElements(std::string(kFormatLineLength, 'A'), elements);
  } catch (const std::exception& e) {
    BadFormat(line, fmt::format("the FORMAT statement {} cannot be used: {}", statement, RootMessage(e)));
  }
  ResetFields();
  for (base_Attribute& element : elements.Items()) {
    int start = 0;
    std::from_chars(element.FieldName().data(), element.FieldName().data() + element.FieldName().size(), start);
    fColumns.emplace_back(start, static_cast<int>(element.asString().size()));
  }
  if (fColumns.size() < 3)
    BadFormat(line, fmt::format("the FORMAT statement {} describes {} field(s); a PLOTFILE line has at least three",
                                statement, fColumns.size()));

  int32_t headingsLine = 0;
  std::string headings = NextLine(headingsLine);
  if (headings.empty() || headings.front() != '*')
    BadFormat(headings.empty() ? line : headingsLine, "the FORMAT statement is not followed by the column headings");
  for (auto [start, width] : fColumns) {
    std::string_view heading;
    if (start >= 1 && static_cast<size_t>(start - 1) < headings.size())
      heading = std::string_view(headings).substr(static_cast<size_t>(start - 1), static_cast<size_t>(width));
    std::string found(Trim(heading));
    if (Upper(found) == "RAN") found = "RANK";
    const Tplotcolumn column = PlotColumnOfHeading(found);
    fValueOrder.push_back(column);
    fFieldNames.push_back(column == pltnullcolumn ? std::string() : PlotFieldKey(column, found));
    fPlotColumnNames.push_back(std::move(found));
  }
}

void TISCPlotReader::InferColumns(TAttributeCollectionRef& header) {
  const auto tokens = PlotLineTokens(fCurrentLine);
  const int32_t line = fCurrentLineNumber;
  if (tokens.size() < 3)
    BadFormat(line, "a PLOTFILE without header needs X, Y and values on its first line");
  if (!IsPlotNumber(tokens[0]) || !IsPlotNumber(tokens[1]))
    BadFormat(line, fmt::format("the first line does not begin with X and Y coordinates (\"{}\", \"{}\")", tokens[0],
                                tokens[1]));
  size_t j = 0;
  while (j < 7 && 2 + j < tokens.size() && tokens[2 + j].find('.') != std::string::npos &&
         IsPlotNumber(tokens[2 + j]))
    ++j;
  if (j <= 3)
    BadFormat(line, fmt::format("the first line holds {} decimal value(s) after X and Y; at least four are needed", j));
  bool monthly = false;
  for (size_t i = 2 + j; i < tokens.size(); ++i) monthly = monthly || MonthOfName(tokens[i]) != 0;

  ResetFields();
  int dataCount = 0, dateYearCount = 0;
  auto add = [&](Tplotcolumn column, std::string key, std::string heading) {
    fValueOrder.push_back(column);
    fFieldNames.push_back(std::move(key));
    fPlotColumnNames.push_back(std::move(heading));
  };
  auto addData = [&] {
    ++dataCount;
    add(pltData, fmt::format("data{}", dataCount),
        fmt::format("{} {}", PlotColumnInfo(pltData).Caption, dataCount));
  };
  add(pltX, "xloc", "");
  add(pltY, "yloc", "");
  const size_t n = j;
  for (size_t k = 0; k < n; ++k) {
    const size_t fromLast = n - 1 - k;  // 0 for the last number field
    Tplotcolumn column;
    if (!monthly)
      column = fromLast == 0 ? pltZFlag : fromLast == 1 ? pltZHill : fromLast == 2 ? pltZElev : pltData;
    else
      column = fromLast == 0 ? pltaveconc : fromLast == 1 ? pltZFlag : fromLast == 2 ? pltZHill : pltZElev;
    if (column == pltData)
      addData();
    else
      add(column, std::string(PlotColumnInfo(column).Key), "");
  }

  std::string hour, high;
  bool highSet = false, groupSeen = false;
  for (size_t i = 2 + n; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    const Tplotcolumn previous = fValueOrder.back();
    int32_t year = 0;
    if (MonthOfName(t)) {
      add(pltDate, "date", "");
      fDateLeadColumn1 = static_cast<int>(i);
    } else if (IsAverageWord(t)) {
      add(pltAve, "period", "");
      ApplyKindWord(Upper(t), hour, high, highSet);
    } else if (IsHighValueWord(t)) {
      add(pltRank, "rank", "");
      ApplyKindWord(Upper(t), hour, high, highSet);
    } else if (t.find('.') != std::string::npos && IsPlotNumber(t)) {
      addData();
    } else if (IsValidDateKey(t)) {
      if (previous == pltData)
        add(pltDateYr, fmt::format("dateyr{}", ++dateYearCount), "");
      else
        add(pltDate, "date", "");
    } else if (fDateLeadColumn1 == static_cast<int>(i) - 1 && t.size() == 4 && TryWholeInteger(t, year) &&
               year > 1900) {
      add(pltnullcolumn, "", "");
      fDateLeadColumn2 = static_cast<int>(i);
    } else if (!groupSeen) {
      add(pltGrp, "sgroup", "");
      groupSeen = true;
    } else {
      add(pltNetID, "netid", "");
    }
  }
  if (monthly) {
    hour = "3 MONTH";
    high = "1ST";
    highSet = true;
  }
  if (!hour.empty()) header.ByName("hour")->SetAsString(hour);
  header.ByName("high")->SetAsString(highSet ? high : "OTHERS");
  DeriveOptionsFromFields();
}

void TISCPlotReader::DefineRecord(TAttributeCollectionRef& record) {
  record.AddAttribute(std::make_unique<Atr_Float>("xloc"));
  record.DefineFloat("maxofxloc", 0.0);
  record.AddAttribute(std::make_unique<Atr_Float>("yloc"));
  record.DefineFloat("maxofyloc", 0.0);
  for (size_t i = 0; i < fValueOrder.size(); ++i) {
    const Tplotcolumn column = fValueOrder[i];
    if (static_cast<int>(column) <= static_cast<int>(pltY)) continue;
    const std::string& key = fFieldNames[i];
    if (record.ByName(key)) continue;
    switch (PlotColumnInfo(column).Kind) {
      case TPlotValueKind::pvkFloat:
        record.AddAttribute(std::make_unique<Atr_Float>(key));
        record.DefineFloat("maxof" + key, 0.0);
        break;
      case TPlotValueKind::pvkInteger:
        record.AddAttribute(std::make_unique<Atr_Integer>(key));
        break;
      default:
        record.AddAttribute(std::make_unique<Atr_String>(key));
        break;
    }
  }
  fXID = record.IndexOfName("xloc");
  fYID = record.IndexOfName("yloc");
  fFieldNameIDs.assign(fValueOrder.size(), -1);
  fMaxFieldNameIDs.assign(fValueOrder.size(), -1);
  for (size_t i = 0; i < fValueOrder.size(); ++i) {
    if (fValueOrder[i] == pltnullcolumn) continue;
    fFieldNameIDs[i] = record.IndexOfName(fFieldNames[i]);
    if (PlotColumnInfo(fValueOrder[i]).Kind == TPlotValueKind::pvkFloat)
      fMaxFieldNameIDs[i] = record.IndexOfName("maxof" + fFieldNames[i]);
  }
}

// ---- records -----------------------------------------------------------------------------------------------

void TISCPlotReader::StoreField(base_Attribute& attribute, std::string_view text, int field) {
  text = Trim(text);
  bool stored = true;
  switch (attribute.FieldType()) {
    case AttrType::atFloat: {
      double value;
      if (text.empty())
        attribute.Clear();
      else if (TryTextToFloat(text, value))
        attribute.SetAsFloat(value);
      else
        stored = false;
      break;
    }
    case AttrType::atInteger: {
      // A count field holds a whole number or nothing; anything else is no value, not zero.
      int32_t value;
      if (text.empty())
        attribute.Clear();
      else if (TryWholeInteger(text, value))
        attribute.SetAsInteger(value);
      else
        stored = false;
      break;
    }
    default:
      attribute.SetAsString(text);
      break;
  }
  if (stored) return;
  attribute.Clear();
  ++fFieldErrorCount;
  if (fFieldErrors.size() < kMaxFieldErrors)
    fFieldErrors.push_back({fRecordLineNumber, field, GetPlotColumnNameByID(field), std::string(text)});
}

void TISCPlotReader::SetMonthDate(base_Attribute& date, int month, int year) {
  date.SetAsString(std::to_string(MonthEndKey(year, month)));
}

void TISCPlotReader::ParseLine(TAttributeCollectionRef& record, std::string_view line) {
  const int fields = static_cast<int>(fValueOrder.size());
  if (!fHeaderless) {
    for (int i = 0; i < fields; ++i) {
      const int id = fFieldNameIDs[static_cast<size_t>(i)];
      if (id < 0) continue;
      auto [start, width] = fColumns[static_cast<size_t>(i)];
      std::string_view text;
      if (start >= 1 && static_cast<size_t>(start - 1) < line.size())
        text = line.substr(static_cast<size_t>(start - 1), static_cast<size_t>(width));
      StoreField(record.ByIndex(id), text, i);
    }
  } else {
    const auto tokens = PlotLineTokens(line);
    base_Attribute* date = fDateLeadColumn1 >= 0 && fFieldNameIDs[static_cast<size_t>(fDateLeadColumn1)] >= 0
                               ? &record.ByIndex(fFieldNameIDs[static_cast<size_t>(fDateLeadColumn1)])
                               : nullptr;
    int month = 0;
    for (int i = 0; i < fields; ++i) {
      const bool present = static_cast<size_t>(i) < tokens.size();
      if (i == fDateLeadColumn1 && date) {
        month = present ? MonthOfName(tokens[static_cast<size_t>(i)]) : 0;
        if (month == 0) {
          date->Clear();
          continue;
        }
        int year = 1900;
        if (!date->IsNull() && date->asInteger() > 0) year = DecodeDateKey(date->asInteger()).year;
        SetMonthDate(*date, month, year);
        continue;
      }
      if (i == fDateLeadColumn2 && date) {
        int32_t year = 0;
        if (month != 0 && present && TryWholeInteger(tokens[static_cast<size_t>(i)], year) && year >= 1900 &&
            year <= 2100)
          SetMonthDate(*date, month, year);
        else
          date->Clear();
        continue;
      }
      const int id = fFieldNameIDs[static_cast<size_t>(i)];
      if (id < 0) continue;
      if (present)
        StoreField(record.ByIndex(id), tokens[static_cast<size_t>(i)], i);
      else
        record.ByIndex(id).Clear();
    }
  }
  for (int i = 0; i < fields; ++i) {
    const int maxId = fMaxFieldNameIDs[static_cast<size_t>(i)];
    if (maxId < 0) continue;
    const base_Attribute& value = record.ByIndex(fFieldNameIDs[static_cast<size_t>(i)]);
    base_Attribute& maximum = record.ByIndex(maxId);
    if (!value.IsNull() && value.asFloat() > maximum.asFloat()) maximum.SetAsFloat(value.asFloat());
  }
}

void TISCPlotReader::ReadRecord(TAttributeCollectionRef& record) {
  fRecordLineNumber = fCurrentLineNumber;
  ParseLine(record, fCurrentLine);

  if (fFirstRecord) {
    fFirstRecord = false;
    if (!fGroupDefined && MetaData)
      if (base_Attribute* group = record.ByName("sgroup"); group && !group->asString().empty())
        MetaData->ByName("group")->SetAsString(group->asString());
  }
  if (fXID >= 0)
    if (const base_Attribute& x = record.ByIndex(fXID); !x.IsNull()) {
      fMinX = std::min(fMinX, x.asFloat());
      fMaxX = std::max(fMaxX, x.asFloat());
    }
  if (fYID >= 0)
    if (const base_Attribute& y = record.ByIndex(fYID); !y.IsNull()) {
      fMinY = std::min(fMinY, y.asFloat());
      fMaxY = std::max(fMaxY, y.asFloat());
    }
  AdvanceLine();
}

void TISCPlotReader::AdvanceLine() {
  for (;;) {
    fCurrentLine = NextLine(fCurrentLineNumber);
    if (fCurrentLine.empty() || fCurrentLine.front() != '*') return;
    ParseRemark(fCurrentLine);
    if (fLayerID >= 0) {
      // The block's records end here: the rest of the file only adds remarks.
      while (!fEOF) {
        int32_t n = 0;
        std::string line = NextLine(n);
        if (!line.empty() && line.front() == '*') ParseRemark(line);
      }
      fCurrentLine.clear();
      return;
    }
  }
}

void TISCPlotReader::ParseRemark(std::string_view line) {
  const auto tokens = PlotLineTokens(line);
  if (tokens.size() < 3) return;
  const std::string second = Upper(tokens[1]);
  if (second == "CONCUNIT")
    fconcunit = tokens[2];
  else if (second == "DEPUNIT")
    fdepunit = tokens[2];
  else if (SameTextAscii(tokens[1] + tokens[2], "ChemicalName:"))
    fChemName = Join(tokens, " ", 3);
}

void TISCPlotReader::ReadFooter(TAttributeCollectionRef& metadata) {
  if (base_Attribute* a = metadata.ByName("minimum x")) a->SetAsFloat(fMinX);
  if (base_Attribute* a = metadata.ByName("maximum x")) a->SetAsFloat(fMaxX);
  if (base_Attribute* a = metadata.ByName("minimum y")) a->SetAsFloat(fMinY);
  if (base_Attribute* a = metadata.ByName("mayimum y")) a->SetAsFloat(fMaxY);
}

// ---- further entry points ----------------------------------------------------------------------------------

void TISCPlotReader::ProcessHeader(TAttributeCollectionRef& AMetaData) {
  traced(std::string(ClassName()) + ".ProcessHeader", [&] {
    OpenRecordset();
    if (MetaData && RecordData && readerStatus() == attributeReaderStatus::arsOK) {
      const std::string group = MetaData->ByName("group")->asString();
      if ((group.empty() || group == "Unknown") && !EndOfData()) ReadRecord(*RecordData);
      AMetaData.Assign(*MetaData);
    }
    CloseRecordset();
  });
}

void TISCPlotReader::ProcessRecord(std::string_view ALine) {
  if (!RecordData) throw Exception("TISCPlotReader.ProcessRecord: no PLOTFILE is being read");
  ParseLine(*RecordData, ALine);
}

std::string TISCPlotReader::GetLayerName(int i) const {
  return i >= 0 && i < LayerCount() ? fLayerNames[static_cast<size_t>(i)] : std::string();
}

std::string TISCPlotReader::GetFieldNameByID(int i) const {
  return i >= 0 && static_cast<size_t>(i) < fFieldNames.size() ? fFieldNames[static_cast<size_t>(i)] : std::string();
}

std::string TISCPlotReader::GetPlotColumnNameByID(int i) const {
  if (i < 0 || static_cast<size_t>(i) >= fPlotColumnNames.size()) return {};
  const std::string& heading = fPlotColumnNames[static_cast<size_t>(i)];
  return heading.empty() ? std::string(PlotColumnInfo(fValueOrder[static_cast<size_t>(i)]).Title) : heading;
}

std::string TISCPlotReader::GetLayerTitle(TAttributeCollectionRef& AMetaData) const {
  const base_Attribute* dataType = AMetaData.ByName("datatype");
  return dataType && dataType->asInteger() == 4 ? "Rank" : "Layer";
}

}  // namespace zorvik
