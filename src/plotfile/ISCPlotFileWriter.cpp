#include "plotfile/ISCPlotFileWriter.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "plotfile/PlotFormat.h"
#include "util/ExceptionLog.h"
#include "util/StringFile.h"
#include "util/OutputFile.h"

namespace zorvik {
namespace fs = std::filesystem;
namespace {

// Runs `onFailure` when the scope is left by an exception.
template <class F>
class TFailureGuard {
 public:
  explicit TFailureGuard(F f) : fOnFailure(std::move(f)), fExceptions(std::uncaught_exceptions()) {}
  ~TFailureGuard() {
    if (std::uncaught_exceptions() > fExceptions) fOnFailure();
  }
  TFailureGuard(const TFailureGuard&) = delete;
  TFailureGuard& operator=(const TFailureGuard&) = delete;

 private:
  F fOnFailure;
  int fExceptions;
};

bool IsResultColumn(Tplotcolumn c) {
  return c == Tplotcolumn::pltaveconc || c == Tplotcolumn::plttotaldepo || c == Tplotcolumn::pltdrydepo ||
         c == Tplotcolumn::pltwetdepo;
}

}  // namespace

TISCPlotFileWriterBase::TISCPlotFileWriterBase(std::string fileName, std::string appName)
    : fFileName(std::move(fileName)), fAppName(std::move(appName)) {}

TISCPlotFileWriterBase::~TISCPlotFileWriterBase() { Discard(); }

void TISCPlotFileWriterBase::Discard() noexcept {
  fFile.reset();
  fOutput.reset();
}

std::string TISCPlotFileWriterBase::ColumnTitle(Tplotcolumn column) const {
  return std::string(PlotColumnInfo(column).Title);
}

void TISCPlotFileWriterBase::AppendValue(std::string& line, double value) const {
  // Right-aligned in 13 characters; a longer text is not cut.
  const size_t at = line.size();
  AppendPlotValue(line, value, SignificantDigits());
  if (const size_t length = line.size() - at; length < 13) line.insert(at, 13 - length, ' ');
}

void TISCPlotFileWriterBase::WriteOptionsTitle(TStringFile& file) { file.WriteLine("* MODELING OPTIONS USED:"); }

void TISCPlotFileWriterBase::WriteOptionsLine(TStringFile& file, TAttributeCollectionRef& header,
                                              TAttributeCollectionRef& /*fields*/) {
  std::string line = "*  " + SortedPlotOptions(header.ByName("plot options", true, fFileName)->asString());
  if (base_Attribute* addOn = header.ByName("optionaddon")) line += "  " + addOn->asString();
  file.WriteLine(line);
}

void TISCPlotFileWriterBase::ProcessBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) {
  if (fFile) return;
  traced("TISCPlotFileWriterBase.ProcessBegin", [&] {
    if (fFileName.empty()) throw EFOpenError("Cannot create a PLOTFILE: no file name given");
    TFailureGuard guard([this] { Discard(); });
    fOutput = std::make_unique<TOutputFile>(fFileName);
    fFile = std::make_unique<TStringFile>(fFileName, fOutput->Duplicate());
    fColumns.clear();
    for (int i = 1; i < kPlotColumnCount; ++i)
      if (fields.ByName(PlotColumnInfo(i).Key)) fColumns.push_back(static_cast<Tplotcolumn>(i));
    WriteHeaderBlock(header, fields);
  });
}

void TISCPlotFileWriterBase::WriteHeaderBlock(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) {
  TStringFile& file = *fFile;
  file.WriteLine(PlotTitleLine(fAppName, header.ByName("header1", true, fFileName)->asString()));
  WriteOptionsTitle(file);
  WriteOptionsLine(file, header, fields);
  file.WriteLine("*         " + header.ByName("header2", true, fFileName)->asString());
  file.WriteLine(fmt::format("*         FOR A TOTAL OF {} RECEPTORS.",
                             header.ByName("mumreceptors", true, fFileName)->asInteger()));
  file.WriteLine("*         FORMAT: " + PlotFormatStatement(fColumns));
  std::string titles = "*", underline = "*";
  for (size_t i = 0; i < fColumns.size(); ++i) {
    const int width = PlotColumnInfo(fColumns[i]).Width;
    if (i) {
      titles += ' ';
      underline += ' ';
    }
    titles += CenterTitle(ColumnTitle(fColumns[i]), width);
    underline.append(static_cast<size_t>(width), '_');
  }
  file.WriteLine(titles);
  file.WriteLine(underline);
}

void TISCPlotFileWriterBase::ProcessRecord(TAttributeCollectionRef& newRecord) {
  if (!fFile) return;
  traced("TISCPlotFileWriterBase.ProcessRecord", [&] {
    std::string line;
    line.reserve(160);
    bool hasValue = false;
    const auto& slots = ColumnSlots(newRecord);
    // Exactly the columns the header declares, in its order: one the record lacks is written blank, one the
    // header does not declare is not written, so every line fits the FORMAT statement above it.
    for (const Tplotcolumn column : fColumns) {
      const int slot = slots[static_cast<size_t>(column)];
      const base_Attribute* a = slot < 0 ? nullptr : &newRecord.ByIndex(slot);
      if (!AppendColumn(line, column, a, hasValue)) RaiseUnwritable(column, *a);
    }
    if (hasValue) fFile->WriteLine(line);
  });
}

bool TISCPlotFileWriterBase::AppendColumn(std::string& line, Tplotcolumn column, const base_Attribute* a,
                                          bool& hasValue) const {
  if (!a || a->IsNull()) {
    AppendBlankColumn(line, column);
    return true;
  }
  switch (a->FieldType()) {
    case AttrType::atFloat:
      return AppendNumberColumn(line, column, a->asFloat(), hasValue);
    case AttrType::atInteger:
      return AppendWholeColumn(line, column, a->asInteger(), hasValue);
    default:
      return AppendTextColumn(line, column, a->asString(), hasValue);
  }
}

void TISCPlotFileWriterBase::AppendBlankColumn(std::string& line, Tplotcolumn column) {
  line += ' ';
  line.append(static_cast<size_t>(PlotColumnInfo(column).Width), ' ');
}

bool TISCPlotFileWriterBase::AppendNumberColumn(std::string& line, Tplotcolumn column, double value,
                                                bool& hasValue) const {
  MarkValue(column, hasValue);
  line += ' ';
  if (!IsResultColumn(column)) return AppendOutputFormat(line, PlotColumnInfo(column).OutputFormat, value);
  // A result beyond the range of numbers (an average of values near the largest single-precision one) has no
  // text a PLOTFILE reader takes.
  if (!std::isfinite(value)) return false;
  AppendValue(line, value);
  return true;
}

bool TISCPlotFileWriterBase::AppendTextColumn(std::string& line, Tplotcolumn column, std::string_view text,
                                              bool& hasValue) {
  MarkValue(column, hasValue);
  line += ' ';
  return AppendOutputFormat(line, PlotColumnInfo(column).OutputFormat, text);
}

bool TISCPlotFileWriterBase::AppendWholeColumn(std::string& line, Tplotcolumn column, int64_t value,
                                               bool& hasValue) {
  MarkValue(column, hasValue);
  line += ' ';
  return AppendOutputFormat(line, PlotColumnInfo(column).OutputFormat, value);
}

void TISCPlotFileWriterBase::MarkValue(Tplotcolumn column, bool& hasValue) {
  if (column != Tplotcolumn::pltX && column != Tplotcolumn::pltY) hasValue = true;
}

void TISCPlotFileWriterBase::RaiseUnwritable(Tplotcolumn column, const base_Attribute& a) const {
  const TPlotColumnInfo& info = PlotColumnInfo(column);
  throw EConvertError(fmt::format("{}, line {}: the {} value \"{}\" cannot be written with the format {}", fFileName,
                                  fFile->LineNumber() + 1, info.Title, a.asString(), info.OutputFormat));
}

void TISCPlotFileWriterBase::WriteLine(std::string_view line) {
  if (fFile) fFile->WriteLine(line);
}

void TISCPlotFileWriterBase::WriteLines(std::string_view text, int count) {
  if (fFile) fFile->WriteLines(text, count);
}

const std::array<int, kPlotColumnCount>& TISCPlotFileWriterBase::ColumnSlots(TAttributeCollectionRef& record) {
  // Records of one run share their layout: the positions found for the previous record serve as long as the
  // attribute names are the same, in the same order.
  const int count = record.Count();
  bool same = static_cast<int>(fSlotNames.size()) == count;
  for (int i = 0; same && i < count; ++i) same = record.ByIndex(i).FieldName() == fSlotNames[static_cast<size_t>(i)];
  if (!same) {
    fSlotNames.clear();
    for (int i = 0; i < count; ++i) fSlotNames.push_back(record.ByIndex(i).FieldName());
    fSlots[0] = -1;
    for (int c = 1; c < kPlotColumnCount; ++c) fSlots[static_cast<size_t>(c)] = record.IndexOfName(PlotColumnInfo(c).Key);
  }
  return fSlots;
}

void TISCPlotFileWriterBase::ProcessFinish(TAttributeCollectionRef& /*footer*/) {
  if (!fFile) return;
  traced("TISCPlotFileWriterBase.ProcessFinish", [&] {
    TFailureGuard guard([this] { Discard(); });
    fFile->Close();
    fFile.reset();
    fOutput->Commit();
    fOutput.reset();
  });
}

}  // namespace zorvik
