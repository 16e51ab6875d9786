#include "engine/PlotFileWriters.h"

#include <array>
#include <charconv>
#include <cmath>

#include <fmt/format.h>

#include "engine/BlockStore.h"
#include "engine/ParallelRanges.h"
#include "engine/PlotLineParts.h"
#include "engine/PlotRecords.h"
#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"
#include "util/StringFile.h"

namespace zorvik {

std::string OrdinalText(int n) {
  std::string text = std::to_string(n);
  if (n == 1) return text + "ST";
  if (n == 2) return text + "ND";
  if (n == 3) return text + "RD";
  if (n >= 4 && n <= 10) return text + "TH";
  return text;
}

std::string PercentItemTitle(const TPercentItem& item) {
  const std::string ave = fmt::format("{}-HR", HoursInPeriod(item.AvgPeriod));
  if (item.HighValue <= 0)
    return fmt::format("         PLOT FILE OF {:5.2f}TH PERCENTILE {} VALUES FOR SOURCE GROUP: {}", item.Percent, ave,
                       item.GroupName);
  return fmt::format("         PLOT FILE OF  HIGH {}  HIGH  {}{} VALUES FOR SOURCE GROUP: {}", OrdinalText(item.HighValue),
                     ave, item.Block ? " BLOCK" : "", item.GroupName);
}

std::unique_ptr<TAttributeCollectionRef> ResultPlotFields(const TAttributeCollectionRef& fields, TPostOutTypes post,
                                                          const std::vector<std::string_view>& filled) {
  auto result = CloneAs(fields);
  for (TPostOutType t : kAllPostOutTypes)
    if (post.Contains(t) && !result->ByName(OutputFieldName(t)))
      result->AddAttribute(std::make_unique<Atr_Float>(std::string(OutputFieldName(t))));
  for (std::string_view key : filled)
    if (!result->ByName(key)) result->AddAttribute(std::make_unique<Atr_String>(std::string(key)));
  return result;
}

TPlotFileWriter::TPlotFileWriter(const std::string& aPath, const TPercentItem& aPercent,
                                 TAttributeCollectionRef& aHeader, TAttributeCollectionRef& aFields,
                                 TPostOutTypes aPost, bool aUseInterpolation)
    : rPercent(aPercent), rPost(aPost), fUseInterpolation(aUseInterpolation) {
  fStrAve = fmt::format("{}-HR", HoursInPeriod(rPercent.AvgPeriod));
  if (rPercent.HighValue > 0) fStrHigh = OrdinalText(rPercent.HighValue);
  if (aPath.empty()) return;
  fFileName = aPath + rPercent.PlotName;
  fWriter = std::make_unique<TPcntPlotFileWriter>(fFileName);
  aHeader.DefineString("header2", PercentItemTitle(rPercent));
  aHeader.DefineString("high", fStrHigh);
  aHeader.DefineString("hour", fStrAve);
  // The header declares every column a line carries: the input's own columns and those this writer fills,
  // which a PLOTFILE without header (or with other columns) may lack.
  std::vector<std::string_view> filled = {"period", "sgroup"};
  if (rPercent.HighValue >= 1 || rPercent.Percent > 0) filled.push_back("date");
  fWriter->ProcessBegin(aHeader, *ResultPlotFields(aFields, rPost, filled));
}

TPlotFileWriter::~TPlotFileWriter() = default;  // an unfinished PLOTFILE is deleted by its writer

void TPlotFileWriter::Commit() {
  if (!fWriter) return;
  TAttributeCollectionRef footer("footer");
  fWriter->ProcessFinish(footer);
}

bool TPlotFileWriter::AddNeededRanks(int offered, std::vector<int>& ranks) const {
  if (rPercent.HighValue >= 1) {
    ranks.push_back(rPercent.HighValue);
  } else if (rPercent.Percent > 0) {
    for (int r : TPrBlockStore::PercentRanks(offered, rPercent.Percent)) ranks.push_back(r);
  }
  return true;
}

bool TPlotFileWriter::NeedsDatesOfRanks(int offered) const {
  if (rPercent.HighValue >= 1) return true;
  double p = rPercent.Percent;
  if (rPercent.Percent <= 0 || offered <= 0 || !detail::BoundPercent(p)) return false;
  // As RankedPercent: a date goes with the value of a single rank, none with a value between two.
  const detail::TPercentSteps steps = detail::FindPercentSteps(offered, p);
  return !fUseInterpolation || steps.pLo - steps.pHi <= 0;
}

base_Attribute* TPlotFileWriter::Field(TAttributeCollectionRef& record, int& slot, std::string_view name,
                                       bool create, bool asString) {
  // Records of one run share their layout: the position found in the previous record serves while the
  // attribute there has the name.
  base_Attribute* field = record.ByNameAt(name, slot);
  if (!field && create) {
    field = asString ? &record.DefineString(name, "") : &record.DefineFloat(name, 0.0);
    slot = record.IndexOfName(name);
  }
  return field;
}

double TPlotFileWriter::RankedValue(const TPrReceptorItem& receptor, TPostOutType t, int32_t& date) const {
  date = 0;
  if (rPercent.HighValue >= 1) return receptor.POSTValue(rPercent.AvgPeriod, t, rPercent.HighValue, date);
  if (rPercent.Percent > 0) return receptor.POSTValue(rPercent.AvgPeriod, t, rPercent.Percent, fUseInterpolation, date);
  return 0.0;
}

void TPlotFileWriter::SetLineData(const TPrReceptorItem& receptor, TAttributeCollectionRef& record) {
  SetLineData(receptor, record, fSlots);
}

void TPlotFileWriter::SetLineData(const TPrReceptorItem& receptor, TAttributeCollectionRef& record,
                                  TFieldSlots& slots) const {
  traced("TPlotFileWriter.SetLineData", [&] {
    for (TPostOutType t : kAllPostOutTypes) {
      if (!rPost.Contains(t)) continue;
      int32_t date = 0;
      const double value = RankedValue(receptor, t, date);
      // Each file shows its own date: one written by an earlier writer of the same record is cleared.
      if (date != 0) {
        char text[16];
        const auto [end, ec] = std::to_chars(text, text + sizeof text, date);
        Field(record, slots.date, "date", true, true)->SetAsString(std::string_view(text, static_cast<size_t>(end - text)));
      } else if (base_Attribute* field = Field(record, slots.date, "date", false, true)) {
        field->Clear();
      }
      Field(record, slots.value[static_cast<size_t>(t)], OutputFieldName(t), true, false)->SetAsFloat(value);
    }
    Field(record, slots.period, "period", true, true)->SetAsString(fStrAve);
    Field(record, slots.sgroup, "sgroup", true, true)->SetAsString(rPercent.GroupName);
  });
}

void TPlotFileWriter::WriteRecord(TAttributeCollectionRef& record) {
  // A declared column that the record lacks is written blank by the PLOTFILE writer.
  if (fWriter) fWriter->ProcessRecord(record);
}

void TPlotFileWriter::Write(TReceptorItems& aReceptors, int aStart, int aCount, TPlotRecords& records) {
  if (!fWriter) {
    for (int i = aStart; i < aStart + aCount; ++i)
      if (const TPrReceptorItem* receptor = aReceptors[static_cast<size_t>(i)].get())
        SetLineData(*receptor, records.Record(i));
    return;
  }
  // The columns this file fills go into a record of their own; the others come formatted from the parts the
  // writers of this group share.
  if (!fScratch) fScratch = std::make_unique<TLineScratch>(MakeScratch(records.Record(aStart)));
  const TPlotLineParts& parts = records.LineParts(*fWriter, fScratch->Columns, aStart, aCount);
  WriteComposed(aReceptors, parts, aStart, aStart + aCount, *fScratch, records);
}

void TPlotFileWriter::WriteOnThreads(TReceptorItems& aReceptors, int aStart, int aCount, const TPlotFile& plot,
                                     int threads) {
  if (!fWriter || threads < 2 || aCount < 2 * kComposePiece) {
    TPlotWriterBase::WriteOnThreads(aReceptors, aStart, aCount, plot, threads);
    return;
  }
  // Each thread composes the lines of a part of the receptors, with records, parts and fields of its own; the
  // file then gets the parts in order. A line only the record path can write ends its part's composing: from
  // there the part goes through Write, which raises its error after the lines before it.
  const std::vector<TReceptorRange> ranges = SplitRange(aStart, aCount, threads);
  struct TPart {
    std::string text;
    int lines = 0;
    int stop = 0;
  };
  std::vector<TPart> composed(ranges.size());
  RunInParallel(ranges.size(), [&](size_t i) {
    const TReceptorRange& range = ranges[i];
    TPlotRecords records(plot);
    TLineScratch scratch = MakeScratch(records.Record(range.from));
    const TPlotLineParts& parts = records.LineParts(*fWriter, scratch.Columns, range.from, range.count);
    TPart& part = composed[i];
    part.stop = Compose(aReceptors, parts, range.from, range.from + range.count, scratch, part.text, part.lines);
  });
  for (size_t i = 0; i < ranges.size(); ++i) {
    fWriter->WriteLines(composed[i].text, composed[i].lines);
    std::string().swap(composed[i].text);
    if (const int end = ranges[i].from + ranges[i].count; composed[i].stop < end) {
      TPlotRecords records(plot);
      Write(aReceptors, composed[i].stop, end - composed[i].stop, records);
    }
  }
}

void TPlotFileWriter::WriteComposed(TReceptorItems& aReceptors, const TPlotLineParts& parts, int from, int end,
                                    TLineScratch& scratch, TPlotRecords& records) {
  std::string text;
  while (from < end) {
    // A piece at a time, so that the text composed stays small.
    const int pieceEnd = std::min(end, from + kComposePiece);
    int lines = 0;
    text.clear();
    const int stop = Compose(aReceptors, parts, from, pieceEnd, scratch, text, lines);
    fWriter->WriteLines(text, lines);
    from = stop;
    if (stop < pieceEnd) {  // a value that does not fit its column: the record path reports it
      TAttributeCollectionRef& record = records.Record(stop);
      SetLineData(*aReceptors[static_cast<size_t>(stop)], record);
      WriteRecord(record);
      ++from;
    }
  }
}

int TPlotFileWriter::Compose(TReceptorItems& aReceptors, const TPlotLineParts& parts, int from, int end,
                             TLineScratch& scratch, std::string& text, int& lines) const {
  std::string line;
  for (int i = from; i < end; ++i) {
    const TPrReceptorItem* receptor = aReceptors[static_cast<size_t>(i)].get();
    if (!receptor) continue;
    if (!parts.Composable(i)) return i;
    bool hasValue = parts.HasValue(i);
    if (!scratch.Direct.empty()) {
      if (!ComposeDirect(*receptor, parts, i, scratch, line, hasValue)) return i;  // the record path reports it
    } else {
      SetLineData(*receptor, *scratch.Filled, scratch.Slots);
      line.assign(parts.Segment(i, 0));
      for (size_t k = 0; k < scratch.Columns.size(); ++k) {
        const base_Attribute* a = scratch.Values[k];
        if (!fWriter->AppendColumn(line, scratch.Columns[k], a, hasValue)) fWriter->RaiseUnwritable(scratch.Columns[k], *a);
        line += parts.Segment(i, k + 1);
      }
    }
    if (!hasValue) continue;
    text += line;
    text += TStringFile::kLineEnd;
    ++lines;
  }
  return end;
}

bool TPlotFileWriter::ComposeDirect(const TPrReceptorItem& receptor, const TPlotLineParts& parts, int i,
                                    const TLineScratch& scratch, std::string& line, bool& hasValue) const {
  // The values and the date SetLineData gives the record: the date is the last output type's.
  std::array<double, kPostOutTypeCount> values{};
  int32_t date = 0;
  traced("TPlotFileWriter.SetLineData", [&] {
    for (TPostOutType t : kAllPostOutTypes)
      if (rPost.Contains(t)) values[static_cast<size_t>(t)] = RankedValue(receptor, t, date);
  });
  line.assign(parts.Segment(i, 0));
  for (size_t k = 0; k < scratch.Columns.size(); ++k) {
    const Tplotcolumn column = scratch.Columns[k];
    const TLineScratch::TDirect& direct = scratch.Direct[k];
    switch (direct.Kind) {
      case TLineScratch::TDirect::TKind::Value:
        // A NaN leaves the float attribute null.
        if (const double value = values[static_cast<size_t>(direct.Type)]; std::isnan(value))
          TISCPlotFileWriterBase::AppendBlankColumn(line, column);
        else if (!fWriter->AppendNumberColumn(line, column, value, hasValue))
          return false;
        break;
      case TLineScratch::TDirect::TKind::Date:
        if (date != 0) {
          char text[16];
          const auto [end, ec] = std::to_chars(text, text + sizeof text, date);
          if (!TISCPlotFileWriterBase::AppendTextColumn(line, column, std::string_view(text, static_cast<size_t>(end - text)),
                                                        hasValue))
            return false;
        } else {
          TISCPlotFileWriterBase::AppendBlankColumn(line, column);
        }
        break;
      case TLineScratch::TDirect::TKind::Fixed:
        line += direct.Text;
        hasValue = true;  // a text column that holds one
        break;
    }
    line += parts.Segment(i, k + 1);
  }
  return true;
}

void TPlotFileWriter::MakeDirect(TLineScratch& scratch) const {
  TAttributeCollectionRef& filled = *scratch.Filled;
  const TFieldSlots& slots = scratch.Slots;
  const auto isField = [&](const base_Attribute* a, int slot) { return slot >= 0 && a == &filled.ByIndex(slot); };
  std::vector<TLineScratch::TDirect> direct(scratch.Columns.size());
  for (size_t k = 0; k < scratch.Columns.size(); ++k) {
    const base_Attribute* a = scratch.Values[k];
    TLineScratch::TDirect& way = direct[k];
    bool known = false;
    for (TPostOutType t : kAllPostOutTypes)
      if (rPost.Contains(t) && isField(a, slots.value[static_cast<size_t>(t)]) && a->FieldType() == AttrType::atFloat) {
        way.Kind = TLineScratch::TDirect::TKind::Value;
        way.Type = t;
        known = true;
      }
    if (isField(a, slots.date) && a->FieldType() == AttrType::atString) {
      way.Kind = TLineScratch::TDirect::TKind::Date;
      known = true;
    }
    const bool period = isField(a, slots.period);
    if ((period || isField(a, slots.sgroup)) && a->FieldType() == AttrType::atString) {
      // The text SetLineData sets on every line, written once here.
      const std::string_view text = period ? std::string_view(fStrAve) : std::string_view(rPercent.GroupName);
      bool marks = false;
      if (!TISCPlotFileWriterBase::AppendTextColumn(way.Text, scratch.Columns[k], text, marks)) return;
      way.Kind = TLineScratch::TDirect::TKind::Fixed;
      known = true;
    }
    if (!known) return;
  }
  scratch.Direct = std::move(direct);
}

TPlotFileWriter::TLineScratch TPlotFileWriter::MakeScratch(const TAttributeCollectionRef& record) const {
  std::vector<std::string_view> keys = {"date", "period", "sgroup"};
  for (TPostOutType t : kAllPostOutTypes)
    if (rPost.Contains(t)) keys.push_back(OutputFieldName(t));
  TLineScratch scratch;
  scratch.Filled = std::make_unique<TAttributeCollectionRef>("filled");
  TAttributeCollectionRef& filled = *scratch.Filled;
  // A field the PLOTFILE has keeps its kind; the others are made as SetLineData makes them in a record.
  for (const std::string_view key : keys)
    if (const base_Attribute* a = record.ByName(key)) filled.AddAttribute(a->Clone());
  TFieldSlots& slots = scratch.Slots;
  for (TPostOutType t : kAllPostOutTypes)
    if (rPost.Contains(t)) Field(filled, slots.value[static_cast<size_t>(t)], OutputFieldName(t), true, false);
  Field(filled, slots.date, "date", true, true)->Clear();
  Field(filled, slots.period, "period", true, true);
  Field(filled, slots.sgroup, "sgroup", true, true);
  for (const Tplotcolumn column : fWriter->Columns()) {
    const int slot = filled.IndexOfName(PlotColumnInfo(column).Key);
    if (slot < 0) continue;
    scratch.Columns.push_back(column);
    scratch.Values.push_back(&filled.ByIndex(slot));
  }
  MakeDirect(scratch);
  return scratch;
}

void CreatePercentPlotWriters(std::vector<std::unique_ptr<TPlotWriterBase>>& writers, const std::string& plotPath,
                              const std::vector<TPercentItem>& data, TAttributeCollectionRef& header,
                              TAttributeCollectionRef& fields, TPostOutTypes post, bool useInterpolation) {
  writers.clear();
  for (const TPercentItem& item : data)
    writers.push_back(std::make_unique<TPlotFileWriter>(plotPath, item, header, fields, post, useInterpolation));
}

}  // namespace zorvik
