#include "plotfile/ISCPlotReader.h"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <tuple>

#include "meteo/F77FmtParser.h"
#include "plotfile/PlotLineParse.h"
#include "plotfile/PlotSniff.h"
#include "records/Conversions.h"
#include "util/DateKey.h"
#include "util/ExceptionLog.h"
#include "util/StringFile.h"
#include "util/TextUtils.h"

namespace zorvik {
namespace {

using enum Tplotcolumn;

constexpr int kFormatLineLength = 65536;
// The shortest receptor line: X, Y and one value, blank-separated, and a line end.
constexpr int64_t kMinReceptorLineBytes = 6;

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
  text = TrimView(text);
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

// A text found in the file, quoted for a one-line message: control bytes as \xNN, long texts cut.
std::string Shown(std::string_view text) {
  constexpr size_t kMax = 40;
  std::string out = "\"";
  for (size_t i = 0; i < text.size() && i < kMax; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F)
      out += fmt::format("\\x{:02X}", c);
    else
      out += static_cast<char>(c);
  }
  if (text.size() > kMax) out += "...";
  return out + "\"";
}

// The problems of a receptor line, worded once; the reader adds the file and the line.
namespace problem {
std::string NotANumber(std::string_view heading, std::string_view text) {
  if (text.empty()) return fmt::format("the {} field is empty; it must hold a number", heading);
  return fmt::format("the {} field holds {}, which is not a number", heading, Shown(text));
}
std::string NotAWholeNumber(std::string_view heading, std::string_view text) {
  return fmt::format("the {} field holds {}, which is not a whole number", heading, Shown(text));
}
std::string EndsBefore(std::string_view heading, int start, size_t fields) {
  return fmt::format("the line ends before the {} field (character {}); the FORMAT statement describes {} fields",
                     heading, start, fields);
}
std::string TextOutsideFields(std::string_view text, size_t at, bool beyond) {
  return beyond ? fmt::format("the line holds {} from character {} on, beyond the fields of the FORMAT statement",
                              Shown(text), at)
                : fmt::format("the line holds {} at character {}, between the fields of the FORMAT statement",
                              Shown(text), at);
}
std::string FieldCountDiffers(size_t found, size_t expected) {
  return fmt::format("the line holds {} fields; the first receptor line holds {}", found, expected);
}
}  // namespace problem

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
    if (!TrimView(line).empty()) {
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
  fInField.clear();
  fGaps.clear();
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
  fFirstRecord = true;
  fGroupDefined = false;
  fPltAverageKeyword = TPltAverageKeyword::kwNoAvg;
  fconcunit.clear();
  fdepunit.clear();
  fChemName.clear();
  ResetFields();

  try {
    if (std::string what = DescribeBinaryPlotInput(fDataSetName); !what.empty())
      throw TEFormat(fmt::format("{} is {}, not a PLOTFILE", fDataSetName, what));
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
  header.ByName("header1")->SetAsString(TrimView(header1));

  const int32_t blockLine = fCurrentLineNumber;
  bool kindFound = false;
  bool formatFound = false;
  std::string ending;
  int32_t endingLine = 0;
  while (!fEOF) {
    int32_t n = 0;
    std::string line = NextLine(n);
    if (line.empty()) break;
    std::string upper = AsciiUpper(line);
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
      if (IsReceptorCountLine(body)) ParseReceptorCount(header, body, n);
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

void TISCPlotReader::ParseReceptorCount(TAttributeCollectionRef& header, const std::string& body, int32_t line) {
  int32_t count = 0;
  std::string token;
  if (!ReceptorCountOf(body, count, &token))
    BadFormat(line, fmt::format("the receptor count {} is not a whole number from 0 to {}", Shown(token), INT32_MAX));
  // Checked against the file before anyone sizes anything by it.
  std::error_code ec;
  const auto size = static_cast<int64_t>(std::filesystem::file_size(fDataSetName, ec));
  if (!ec && count > size / kMinReceptorLineBytes)
    BadFormat(line, fmt::format("the header states {} receptors, more than a file of {} bytes can hold", count, size));
  header.ByName("mumreceptors")->SetAsInteger(count);
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
  std::string problem;
  try {
    parser.SetFmtStr(statement);
    problem = PlotFormatProblem(statement);
    if (problem.empty()) parser.LexElements(std::string(kFormatLineLength, 'A'), elements);
  } catch (const std::exception& e) {
    problem = RootMessage(e);
  }
  if (!problem.empty()) BadFormat(line, fmt::format("the FORMAT statement {} cannot be used: {}", statement, problem));
  ResetFields();
  for (base_Attribute& element : elements.Items()) {
    int start = 0;
    std::from_chars(element.FieldName().data(), element.FieldName().data() + element.FieldName().size(), start);
    const auto width = static_cast<int>(element.asString().size());
    if (width == 0 || start - 1 + width > kFormatLineLength)
      BadFormat(line, fmt::format("the FORMAT statement {} describes lines longer than {} characters", statement,
                                  kFormatLineLength));
    fColumns.emplace_back(start, width);
  }
  if (fColumns.size() < 3)
    BadFormat(line, fmt::format("the FORMAT statement {} describes {} field(s); a PLOTFILE line has at least three",
                                statement, fColumns.size()));
  for (auto [start, width] : fColumns) {
    if (start < 1 || width < 1) continue;
    const auto end = static_cast<size_t>(start - 1 + width);
    if (fInField.size() < end) fInField.resize(end, false);
    std::fill(fInField.begin() + (start - 1), fInField.begin() + static_cast<std::ptrdiff_t>(end), true);
  }
  for (size_t i = 0; i < fInField.size();) {
    if (fInField[i]) {
      ++i;
      continue;
    }
    const size_t from = i;
    while (i < fInField.size() && !fInField[i]) ++i;
    fGaps.emplace_back(from, i);
  }

  int32_t headingsLine = 0;
  std::string headings = NextLine(headingsLine);
  if (headings.empty() || headings.front() != '*')
    BadFormat(headings.empty() ? line : headingsLine, "the FORMAT statement is not followed by the column headings");
  for (auto [start, width] : fColumns) {
    std::string_view heading;
    if (start >= 1 && static_cast<size_t>(start - 1) < headings.size())
      heading = std::string_view(headings).substr(static_cast<size_t>(start - 1), static_cast<size_t>(width));
    std::string found(TrimView(heading));
    if (AsciiUpper(found) == "RAN") found = "RANK";
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
      ApplyKindWord(AsciiUpper(t), hour, high, highSet);
    } else if (IsHighValueWord(t)) {
      add(pltRank, "rank", "");
      ApplyKindWord(AsciiUpper(t), hour, high, highSet);
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
  fLineFields.assign(static_cast<size_t>(record.Count()), {});
  fLineKinds.resize(static_cast<size_t>(record.Count()));
  for (int id = 0; id < record.Count(); ++id) fLineKinds[static_cast<size_t>(id)] = record.ByIndex(id).FieldType();
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
  text = TrimView(text);
  switch (attribute.FieldType()) {
    case AttrType::atFloat: {
      // Coordinates, results and elevations are what the engine works with: each must be a number.
      double value;
      if (!TryTextToFloat(text, value))
        throw TEFormat(problem::NotANumber(GetPlotColumnNameByID(field), text));
      attribute.SetAsFloat(value);
      break;
    }
    case AttrType::atInteger: {
      // A count field holds a whole number or nothing.
      int32_t value;
      if (text.empty())
        attribute.Clear();
      else if (TryWholeInteger(text, value))
        attribute.SetAsInteger(value);
      else
        throw TEFormat(problem::NotAWholeNumber(GetPlotColumnNameByID(field), text));
      break;
    }
    default:
      attribute.SetAsString(text);
      break;
  }
}

void TISCPlotReader::StoreLineField(int id, std::string_view line, std::string_view text, int field) {
  // What StoreField does to the attribute, with the attributes' rules: a value is taken once it differs from
  // the one before (as text) or anything has been taken, a number that is not one (NaN) clears the field.
  text = TrimView(text);
  TLineField& f = fLineFields[static_cast<size_t>(id)];
  const auto clear = [&f] {
    f.changed |= !f.null;
    f.null = true;
    f.number = 0.0;
    f.whole = 0;
  };
  switch (fLineKinds[static_cast<size_t>(id)]) {
    case AttrType::atFloat: {
      double value;
      if (!TryTextToFloat(text, value)) throw TEFormat(problem::NotANumber(GetPlotColumnNameByID(field), text));
      if (std::isnan(value)) {
        clear();
        break;
      }
      if (!f.changed && std::bit_cast<uint64_t>(value) != std::bit_cast<uint64_t>(f.number))
        f.changed = FloatToText(value) != FloatToText(f.number);
      if (f.changed) f.number = value;
      f.null = false;
      break;
    }
    case AttrType::atInteger: {
      int32_t value;
      if (text.empty()) {
        clear();
      } else if (TryWholeInteger(text, value)) {
        f.changed |= value != f.whole;
        f.whole = value;
        f.null = false;
      } else {
        throw TEFormat(problem::NotAWholeNumber(GetPlotColumnNameByID(field), text));
      }
      break;
    }
    default:
      // Texts are taken as they are (a text equal to the one before is the same text).
      f.from = text.empty() ? 0 : static_cast<uint32_t>(text.data() - line.data());
      f.size = static_cast<uint32_t>(text.size());
      f.changed = true;
      f.null = false;
      break;
  }
}

void TISCPlotReader::CheckFixedLayout(std::string_view line) {
  // Every character of a receptor line belongs to a field of the FORMAT statement: text between or beyond the
  // fields means a line that does not follow the layout, whose fields would be cut in the wrong places.
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::string_view body = line;
  while (!body.empty() && blank(body.back())) body.remove_suffix(1);
  // Only the characters between the fields and beyond the last one are looked at, in line order.
  for (const auto& [from, to] : fGaps) {
    for (size_t i = from; i < std::min(to, body.size()); ++i) {
      if (blank(body[i])) continue;
      size_t end = i;
      while (end < std::min(to, body.size()) && !blank(body[end])) ++end;
      throw TEFormat(problem::TextOutsideFields(body.substr(i, end - i), i + 1, false));
    }
  }
  for (size_t i = fInField.size(); i < body.size(); ++i)
    if (!blank(body[i])) throw TEFormat(problem::TextOutsideFields(body.substr(i), i + 1, true));
  // A line that stops short of a number field lacks fields (text fields at its end may be blank).
  for (size_t f = 0; f < fColumns.size(); ++f) {
    if (fFieldNameIDs[f] < 0 || PlotColumnInfo(fValueOrder[f]).Kind != TPlotValueKind::pvkFloat) continue;
    const int start = fColumns[f].first;
    if (start >= 1 && static_cast<size_t>(start - 1) >= body.size())
      throw TEFormat(problem::EndsBefore(GetPlotColumnNameByID(static_cast<int>(f)), start, fColumns.size()));
  }
}

void TISCPlotReader::SetMonthDate(base_Attribute& date, int month, int year) {
  date.SetAsString(std::to_string(MonthEndKey(year, month)));
}

void TISCPlotReader::ParseLine(TAttributeCollectionRef& record, std::string_view line, bool direct) {
  const int fields = static_cast<int>(fValueOrder.size());
  if (!fHeaderless) {
    CheckFixedLayout(line);
    for (int i = 0; i < fields; ++i) {
      const int id = fFieldNameIDs[static_cast<size_t>(i)];
      if (id < 0) continue;
      auto [start, width] = fColumns[static_cast<size_t>(i)];
      std::string_view text;
      if (start >= 1 && static_cast<size_t>(start - 1) < line.size())
        text = line.substr(static_cast<size_t>(start - 1), static_cast<size_t>(width));
      if (direct)
        StoreLineField(id, line, text, i);
      else
        StoreField(record.ByIndex(id), text, i);
    }
    if (direct) return;  // the data record's fields stay unset, their maxima too
  } else {
    const auto tokens = PlotLineTokens(line);
    if (tokens.size() != fValueOrder.size())
      throw TEFormat(problem::FieldCountDiffers(tokens.size(), fValueOrder.size()));
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
  try {
    ParseLine(record, fCurrentLine, DirectFields());
  } catch (const TEFormat& e) {
    // A damaged receptor line ends the pass; no writer sees the record or the end of the pass.
    SetReaderStatus(attributeReaderStatus::arsBadFormat);
    fStatusMessage = fmt::format("{}, line {}: {}", fDataSetName, fRecordLineNumber, e.what());
    return;
  }

  if (DirectFields()) {
    fRecordLine.swap(fCurrentLine);  // the fields' texts lie in it (AdvanceLine replaces the current line)
    if (fFirstRecord) {
      fFirstRecord = false;
      if (const int id = record.IndexOfName("sgroup"); !fGroupDefined && MetaData && id >= 0)
        if (const std::string_view group = LineText(LineField(id)); !LineField(id).null && !group.empty())
          MetaData->ByName("group")->SetAsString(group);
    }
    for (const auto& [id, low, high] : {std::tuple{fXID, &fMinX, &fMaxX}, std::tuple{fYID, &fMinY, &fMaxY}})
      if (id >= 0 && !LineField(id).null) {
        *low = std::min(*low, LineField(id).number);
        *high = std::max(*high, LineField(id).number);
      }
    AdvanceLine();
    return;
  }
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
  const std::string second = AsciiUpper(tokens[1]);
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
  try {
    ParseLine(*RecordData, ALine);
  } catch (const TEFormat& e) {
    throw TEFormat(fmt::format("{}: {}", fDataSetName, e.what()));
  }
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
