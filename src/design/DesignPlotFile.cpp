// The PLOTFILE of a design output: the run's own PLOTFILE header and receptor lines, with the output's title and
// values.
#include <charconv>

#include "design/DesignRun.h"
#include "engine/PlotFileWriters.h"
#include "engine/PlotRecords.h"
#include "engine/ReceptorItem.h"
#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

// Sets a text column, or leaves it blank for an empty text.
void SetText(TAttributeCollectionRef& record, std::string_view key, std::string_view text) {
  if (!text.empty())
    record.DefineString(key, text);
  else if (base_Attribute* field = record.ByName(key))
    field->Clear();
}

}  // namespace

void WriteDesignPlotFile(TDesignRun& run, const TDesignOutput& output, const std::string& file) {
  traced("TDesignRun.WritePlotFile", [&] {
    const TPlotFile& plot = run.Plot();
    auto header = CloneAs(plot.Header());
    header->DefineString("header2", output.Title);
    header->DefineString("high", output.RankText);
    header->DefineString("hour", output.PeriodText);
    TPcntPlotFileWriter writer(file);
    writer.ProcessBegin(*header, *ResultPlotFields(plot.Fields(), run.PostOutTypes(), {"period", "sgroup", "date", "rank"}));
    TPlotRecords records(plot);
    for (int i = 0; i < plot.ReceptorCount(); ++i) {
      const auto r = static_cast<size_t>(i);
      TAttributeCollectionRef& record = records.Record(i);
      for (const TDesignColumn& column : output.Columns)
        record.DefineFloat(OutputFieldName(column.Type), column.Rows[r].Value);
      // The DATE column tells when the first output type's value happened.
      const int32_t date = output.Columns.empty() ? 0 : output.Columns.front().Rows[r].Date;
      char text[16];
      const auto [end, ec] = std::to_chars(text, text + sizeof text, date);
      SetText(record, "date", date != 0 ? std::string_view(text, static_cast<size_t>(end - text)) : std::string_view());
      SetText(record, "period", output.PeriodText);
      SetText(record, "sgroup", run.GroupName());
      SetText(record, "rank", output.RankText);
      writer.ProcessRecord(record);
    }
    TAttributeCollectionRef footer("footer");
    writer.ProcessFinish(footer);
  });
}

}  // namespace zorvik
