#pragma once
// Percentile PLOTFILE writers: for every receptor of a finished chunk, one ranked value per output type (a
// percentile or the n-th highest value of one averaging period) goes into the receptor's PLOTFILE record, which
// is written in the models' layout. The file gets its name only when the run completes.
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/PercentItem.h"
#include "engine/PostPercent.h"
#include "plotfile/ISCPlotFileWriter.h"

namespace zorvik {

class TPlotLineParts;

// The PLOTFILE writer with five significant digits in the value columns.
class TPcntPlotFileWriter : public TISCPlotFileWriterBase {
 public:
  using TISCPlotFileWriterBase::TISCPlotFileWriterBase;
  int SignificantDigits() const override { return 5; }
};

// "1ST", "2ND", "3RD", "4TH" ... "10TH"; numbers outside 1..10 without suffix.
std::string OrdinalText(int n);
// The second title line of a percentile or high-value PLOTFILE.
std::string PercentItemTitle(const TPercentItem& item);
// The columns of a result PLOTFILE: the input's own (`fields`), with a value column for each output type of
// `post` and the text columns `filled` ("period", "date" ...) added where the input lacks them.
std::unique_ptr<TAttributeCollectionRef> ResultPlotFields(const TAttributeCollectionRef& fields, TPostOutTypes post,
                                                          const std::vector<std::string_view>& filled);

class TPlotFileWriter : public TPlotWriterBase {
 public:
  // With a non-empty aPath (a folder with its trailing separator) opens aPath + PlotName and writes its
  // header at once; with an empty one opens nothing.
  TPlotFileWriter(const std::string& aPath, const TPercentItem& aPercent, TAttributeCollectionRef& aHeader,
                  TAttributeCollectionRef& aFields, TPostOutTypes aPost, bool aUseInterpolation);
  ~TPlotFileWriter() override;

  void Write(TReceptorItems& aReceptors, int aStart, int aCount, TPlotRecords& records) override;
  void WriteOnThreads(TReceptorItems& aReceptors, int aStart, int aCount, const TPlotFile& plot,
                      int threads) override;
  bool CanWriteInParallel() const override { return fWriter != nullptr; }
  bool AddNeededRanks(int offered, std::vector<int>& ranks) const override;
  // A high value's date, and a percentile's where it is the value of one rank (not interpolated).
  bool NeedsDatesOfRanks(int offered) const override;
  void Commit() override;
  const TPercentItem& Percent() const { return rPercent; }
  // The full name of the PLOTFILE (empty without a folder).
  const std::string& FileName() const { return fFileName; }

 protected:
  // Fills the receptor's `record` with the receptor's values.
  void SetLineData(const TPrReceptorItem& receptor, TAttributeCollectionRef& record);
  // Writes one record through the PLOTFILE writer.
  void WriteRecord(TAttributeCollectionRef& record);
  // The value of output type t that the receptor's line gets, and its date (0 when it has none).
  double RankedValue(const TPrReceptorItem& receptor, TPostOutType t, int32_t& date) const;

  TPercentItem rPercent;
  TPostOutTypes rPost;
  bool fUseInterpolation;
  std::unique_ptr<TPcntPlotFileWriter> fWriter;
  std::string fStrHigh;
  std::string fStrAve;
  std::string fFileName;

 private:
  // The field `name` of the record (created when absent and `create`), by its position in the previous
  // record when that still fits.
  static base_Attribute* Field(TAttributeCollectionRef& record, int& slot, std::string_view name, bool create,
                               bool asString);
  struct TFieldSlots {
    std::array<int, kPostOutTypeCount> value{-1, -1, -1, -1};
    int date = -1, period = -1, sgroup = -1;
  };
  TFieldSlots fSlots;
  void SetLineData(const TPrReceptorItem& receptor, TAttributeCollectionRef& record, TFieldSlots& slots) const;

  // What composing lines needs of its own: the fields this file fills (of the kinds the PLOTFILE gives them),
  // their places, and the file's columns they fill with their attributes, in column order.
  struct TLineScratch {
    std::unique_ptr<TAttributeCollectionRef> Filled;
    TFieldSlots Slots;
    std::vector<Tplotcolumn> Columns;
    std::vector<const base_Attribute*> Values;
    // How each of Columns is written straight from the receptor, without its attribute: a value of one output
    // type, the date, or a text every line has (period, source group), kept formatted. Empty where a column's
    // attribute is of a kind this does not cover: the lines then go through the attributes.
    struct TDirect {
      enum class TKind : uint8_t { Value, Date, Fixed } Kind = TKind::Fixed;
      TPostOutType Type = TPostOutType::poConc;  // Value's
      std::string Text;                          // Fixed's, with the blank before it
    };
    std::vector<TDirect> Direct;
  };
  // The direct ways of the scratch's columns (see TLineScratch::Direct).
  void MakeDirect(TLineScratch& scratch) const;
  // Compose's line of receptor i by the direct ways; false where a value does not fit its column.
  bool ComposeDirect(const TPrReceptorItem& receptor, const TPlotLineParts& parts, int i,
                     const TLineScratch& scratch, std::string& line, bool& hasValue) const;
  TLineScratch MakeScratch(const TAttributeCollectionRef& record) const;
  // Appends to `text` the lines of receptors from .. end - 1 (each with its line end; `lines` counts them) from
  // their parts and the filled columns; stops at the first receptor whose line only the record path can write
  // and returns it (end when none).
  int Compose(TReceptorItems& aReceptors, const TPlotLineParts& parts, int from, int end, TLineScratch& scratch,
              std::string& text, int& lines) const;
  // Writes receptors from .. end - 1: composed a piece at a time, a line that cannot be composed by the record
  // path.
  void WriteComposed(TReceptorItems& aReceptors, const TPlotLineParts& parts, int from, int end,
                     TLineScratch& scratch, TPlotRecords& records);
  static constexpr int kComposePiece = 2048;  // receptors composed before their text is written
  std::unique_ptr<TLineScratch> fScratch;  // Write's
};

// The list that writes one TPlotFileWriter per item.
void CreatePercentPlotWriters(std::vector<std::unique_ptr<TPlotWriterBase>>& writers, const std::string& plotPath,
                              const std::vector<TPercentItem>& data, TAttributeCollectionRef& header,
                              TAttributeCollectionRef& fields, TPostOutTypes post, bool useInterpolation);

}  // namespace zorvik
