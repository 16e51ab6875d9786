#include "plotfile/PlotFile.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "plotfile/ISCPlotReader.h"
#include "records/Conversions.h"
#include "util/ExceptionLog.h"
#include "util/TextUtils.h"

namespace zorvik {

// Copies every receptor's values into the flat arrays of the TPlotFile, and the completed header.
class TPlotFileCollector : public base_AttributeWriter {
 public:
  TPlotFileCollector(TPlotFile& plot, const TISCPlotReader& reader) : fPlot(plot), fReader(reader) {}

  void ProcessBegin(TAttributeCollectionRef& header, TAttributeCollectionRef& fields) override {
    // Room for the stated receptors, bounded by what the file can hold (a receptor line has more than 16 bytes).
    size_t expected = 0;
    if (const base_Attribute* stated = header.ByName("mumreceptors"); stated && !stated->IsNull() &&
                                                                       stated->asInteger() > 0) {
      std::error_code ec;
      const auto size = std::filesystem::file_size(fReader.DataSetName(), ec);
      expected = std::min<size_t>(static_cast<size_t>(stated->asInteger()), ec ? 0 : size / 16 + 1);
    }
    fPlot.fX.reserve(expected);
    fPlot.fY.reserve(expected);
    fPlot.fFieldsRecord = CloneAs(fields);
    fXID = fields.IndexOfName("xloc");
    fYID = fields.IndexOfName("yloc");
    const auto& order = fReader.ValueOrder();
    for (size_t i = 0; i < order.size(); ++i) {
      if (order[i] == Tplotcolumn::pltnullcolumn) continue;
      const std::string& key = fReader.FieldNames()[i];
      const int id = fields.IndexOfName(key);
      if (id < 0 || fPlot.FieldIndex(key) >= 0) continue;  // one field per record key
      fPlot.fColumns.push_back(order[i]);
      fPlot.fColumnNames.push_back(fReader.GetPlotColumnNameByID(static_cast<int>(i)));
      fPlot.fFieldKeys.push_back(key);
      TPlotFile::TField field;
      field.Kind = fields.ByIndex(id).FieldType();
      field.Null.reserve(expected);
      switch (field.Kind) {
        case AttrType::atFloat: field.Floats.reserve(expected); break;
        case AttrType::atInteger: field.Integers.reserve(expected); break;
        default:
          field.Ends.reserve(expected);
          field.Chars.reserve(expected * 4);
          break;
      }
      fPlot.fFields.push_back(std::move(field));
      fIDs.push_back(id);
    }
  }

  void ProcessRecord(TAttributeCollectionRef& record) override {
    if (fReader.DirectFields()) {
      CopyLineFields();
      return;
    }
    const base_Attribute* x = fXID >= 0 ? &record.ByIndex(fXID) : nullptr;
    const base_Attribute* y = fYID >= 0 ? &record.ByIndex(fYID) : nullptr;
    if (!x || x->IsNull()) MissingCoordinate("X");
    if (!y || y->IsNull()) MissingCoordinate("Y");
    fPlot.fX.push_back(x->asFloat());
    fPlot.fY.push_back(y->asFloat());
    for (size_t f = 0; f < fIDs.size(); ++f) {
      const base_Attribute& a = record.ByIndex(fIDs[f]);
      TPlotFile::TField& field = fPlot.fFields[f];
      field.Null.push_back(a.IsNull() ? 1 : 0);
      switch (field.Kind) {
        case AttrType::atFloat: field.Floats.push_back(a.asFloat()); break;
        case AttrType::atInteger: field.Integers.push_back(a.asInteger()); break;
        default: AppendText(field, a.asString()); break;
      }
    }
  }

  // The same from the fields the reader parsed the line into.
  void CopyLineFields() {
    using TLineField = TISCPlotReader::TLineField;
    const TLineField* x = fXID >= 0 ? &fReader.LineField(fXID) : nullptr;
    const TLineField* y = fYID >= 0 ? &fReader.LineField(fYID) : nullptr;
    if (!x || x->null) MissingCoordinate("X");
    if (!y || y->null) MissingCoordinate("Y");
    fPlot.fX.push_back(x->number);
    fPlot.fY.push_back(y->number);
    for (size_t f = 0; f < fIDs.size(); ++f) {
      const TLineField& a = fReader.LineField(fIDs[f]);
      TPlotFile::TField& field = fPlot.fFields[f];
      field.Null.push_back(a.null ? 1 : 0);
      switch (field.Kind) {
        case AttrType::atFloat: field.Floats.push_back(a.number); break;
        case AttrType::atInteger: field.Integers.push_back(a.whole); break;
        default: AppendText(field, fReader.LineText(a)); break;
      }
    }
  }

  void ProcessError(attributeReaderStatus /*error*/) override {}

  void ProcessFinish(TAttributeCollectionRef& footer) override {
    fPlot.fHeader = CloneAs(footer);
    fFinished = true;
  }

  bool Finished() const { return fFinished; }

 private:
  void AppendText(TPlotFile::TField& field, std::string_view text) const {
    field.Chars += text;
    if (field.Chars.size() > UINT32_MAX) throw EFormatError(fReader.DataSetName() + ": too much text to keep");
    field.Ends.push_back(static_cast<uint32_t>(field.Chars.size()));
  }
  [[noreturn]] void MissingCoordinate(const char* which) {
    throw EFormatError(fmt::format("{}, line {}: the receptor has no {} coordinate", fReader.DataSetName(),
                                   fReader.RecordLineNumber(), which));
  }

  TPlotFile& fPlot;
  const TISCPlotReader& fReader;
  int fXID = -1, fYID = -1;
  std::vector<int> fIDs;  // record index of each field
  bool fFinished = false;
};

TPlotFile TPlotFile::Read(const std::string& fileName) {
  return traced("TPlotFile.Read", [&] {
    std::error_code ec;
    if (!std::filesystem::exists(fileName, ec)) throw EFileNotFound("The file does not exist: " + fileName);
    TPlotFile plot;
    plot.fFileName = fileName;
    TISCPlotReader reader(fileName);
    TPlotFileCollector collector(plot, reader);
    reader.WriterSubscribe(collector);
    reader.SetDirectFields(true);  // the collector is the only subscriber
    reader.Process();
    if (reader.readerStatus() != attributeReaderStatus::arsOK || !collector.Finished())
      throw EFormatError(reader.StatusMessage().empty()
                             ? fmt::format("{}: the file cannot be read as a PLOTFILE", fileName)
                             : reader.StatusMessage());
    plot.fHeaderless = reader.Headerless();
    base_Attribute* stated = plot.fHeader->ByName("mumreceptors");
    if (stated && !stated->IsNull()) {
      plot.fStatedCount = stated->asInteger();
      if (plot.fStatedCount != plot.ReceptorCount())
        throw EFormatError(fmt::format("{}: the header states {} receptors, but the file holds {} receptor lines",
                                       fileName, plot.fStatedCount, plot.ReceptorCount()));
    } else if (stated) {
      // A file without header (or without count line): a PLOTFILE written from it states the true count.
      stated->SetAsInteger(plot.ReceptorCount());
    }
    return plot;
  });
}

std::string TPlotFile::SourceGroup() const {
  std::string group = fHeader->GetAttributeValue("group");
  return group.empty() ? "Unknown" : group;
}
std::string TPlotFile::AveragingPeriod() const { return fHeader->GetAttributeValue("hour"); }
std::string TPlotFile::HighValue() const { return fHeader->GetAttributeValue("high"); }

int TPlotFile::FieldIndex(std::string_view key) const {
  for (size_t f = 0; f < fFieldKeys.size(); ++f)
    if (SameTextAscii(fFieldKeys[f], key)) return static_cast<int>(f);
  return -1;
}

bool TPlotFile::IsNull(int i, int field) const {
  return fFields.at(static_cast<size_t>(field)).Null.at(static_cast<size_t>(i)) != 0;
}

double TPlotFile::AsFloat(int i, int field) const {
  const TField& f = fFields.at(static_cast<size_t>(field));
  const auto r = static_cast<size_t>(i);
  if (f.Null.at(r)) return std::numeric_limits<double>::quiet_NaN();
  switch (f.Kind) {
    case AttrType::atFloat: return f.Floats[r];
    case AttrType::atInteger: return f.Integers[r];
    default: return std::numeric_limits<double>::quiet_NaN();
  }
}

std::string TPlotFile::AsString(int i, int field) const {
  const TField& f = fFields.at(static_cast<size_t>(field));
  const auto r = static_cast<size_t>(i);
  const bool null = f.Null.at(r) != 0;
  switch (f.Kind) {
    case AttrType::atFloat: return null ? std::string() : FloatToText(f.Floats[r]);
    case AttrType::atInteger: return null ? std::string() : std::to_string(f.Integers[r]);
    default: return std::string(f.Text(r));
  }
}

int32_t TPlotFile::WholeValue(int i, int field) const {
  const TField& f = fFields.at(static_cast<size_t>(field));
  return f.Kind == AttrType::atInteger ? f.Integers.at(static_cast<size_t>(i)) : 0;
}

std::string_view TPlotFile::TextValue(int i, int field) const {
  const TField& f = fFields.at(static_cast<size_t>(field));
  if (f.Kind == AttrType::atFloat || f.Kind == AttrType::atInteger) return {};
  return f.Text(static_cast<size_t>(i));
}

std::unique_ptr<TAttributeCollectionRef> TPlotFile::ReceptorRecord(int i) const {
  auto record = std::make_unique<TAttributeCollectionRef>("collection");
  for (size_t k = 0; k < fFields.size(); ++k) {
    const std::string& key = fFieldKeys[k];
    switch (fFields[k].Kind) {
      case AttrType::atFloat: record->AddAttribute(std::make_unique<Atr_Float>(key)); break;
      case AttrType::atInteger: record->AddAttribute(std::make_unique<Atr_Integer>(key)); break;
      default: record->AddAttribute(std::make_unique<Atr_String>(key)); break;
    }
  }
  FillRecord(i, *record);
  return record;
}

void TPlotFile::FillRecord(int i, TAttributeCollectionRef& record) const {
  const auto r = static_cast<size_t>(i);
  for (size_t k = 0; k < fFields.size(); ++k) {
    const TField& f = fFields[k];
    base_Attribute& a = record.ByIndex(static_cast<int>(k));
    if (f.Null.at(r)) {
      a.Clear();
      continue;
    }
    switch (f.Kind) {
      // -0 as 0: a new attribute takes no value that reads as its empty one (the model prints -0.00000).
      case AttrType::atFloat: a.SetAsFloat(f.Floats[r] == 0.0 ? 0.0 : f.Floats[r]); break;
      case AttrType::atInteger: a.SetAsInteger(f.Integers[r]); break;
      default: a.SetAsString(f.Text(r)); break;
    }
  }
}

}  // namespace zorvik
