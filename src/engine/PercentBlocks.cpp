#include "engine/PercentBlocks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/PlotFileWriters.h"
#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"
#include "util/FileUtils.h"
#include "util/tempfiles.h"

namespace zorvik {

namespace {
constexpr size_t kWriteChunk = size_t{4} << 20;
// Records of at least this size go to the file straight from their store, not through the staging buffer.
constexpr size_t kDirectRecord = size_t{16} << 10;

void DropDepositionFields(TAttributeCollectionRef& record) {
  for (const char* name : {"tdep", "ddep", "wdep"}) record.DropByName(name);
}
}  // namespace

TPercentReceptor::TPercentReceptor() = default;
TPercentReceptor::~TPercentReceptor() = default;

void TPercentReceptor::SetPlotRecord(std::unique_ptr<TAttributeCollectionRef> Value) {
  traced("TPercentReceptor.SetPlotRecord", [&] {
    fPlotRecord = std::move(Value);
    if (fPlotRecord) DropDepositionFields(*fPlotRecord);
  });
}

double TPercentReceptor::CoordX() const {
  const base_Attribute* x = fPlotRecord ? fPlotRecord->ByName("xloc") : nullptr;
  return x ? x->asFloat() : 0.0;
}

double TPercentReceptor::CoordY() const {
  const base_Attribute* y = fPlotRecord ? fPlotRecord->ByName("yloc") : nullptr;
  return y ? y->asFloat() : 0.0;
}

int TRecBlockStore::StoredCount() const { return rBlocks.GetItem(CurrentReceptor).fBufSize / 4; }
float TRecBlockStore::GetValue(int Index) const { return rBlocks.GetHourValue(CurrentReceptor, Index); }
int TRecBlockStore::OfferedCount() const { return rBlocks.TotalHours(); }

TPercentBlockStore::TPercentBlockStore(const TPercentBlocks& blocks)
    : TPrBlockStore(TAverageValue::hr_1, THighValues{THighValue::high_1}, 0, std::make_unique<TRecBlockStore>(blocks)) {}

TPercentBlocks::TPercentBlocks()
    : fPercentiles(std::make_unique<TPercentBlockStore>(*this)),
      fHeader(std::make_unique<TAttributeCollectionRef>("collection")),
      fFields(std::make_unique<TAttributeCollectionRef>("collection")) {
  traced("TPercentBlocks.Create", [&] { OpenForWriting(); });
}

TPercentBlocks::~TPercentBlocks() {
  fBlocks.clear();
  RemoveBufferFile();
}

void TPercentBlocks::RemoveBufferFile() { fBuffer.Reset(); }

void TPercentBlocks::OpenForWriting() {
  // The buffer never has a name on disk: an unnamed file in the temporary folder, or where the file system
  // has none, a unique file that is unlinked as soon as it is open. Whatever ends the process, the kernel
  // frees the space with the last descriptor.
  fBuffer.Reset();
  const std::string folder = TemporaryPath();
  fBufName = folder + "(unnamed buffer file)";
  fBuffer.Reset(OpenRetry(folder.c_str(), O_TMPFILE | O_RDWR, 0600));
  if (!fBuffer && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
    const std::string name = TemporaryFileName();
    fBuffer.Reset(OpenRetry(name.c_str(), O_RDWR | O_TRUNC, 0600));
    const int err = errno;
    DeleteAnyFile(name);
    errno = err;
  }
  if (!fBuffer) RaiseLastOSError("Cannot create the buffer file in " + folder);
  fWriteBuffer.clear();
  fWritePosition = 0;
  fWriting = true;
}

void TPercentBlocks::Clear() {
  traced("TPercentBlocks.Clear", [&] {
    fBlocks.clear();
    fValueCount = 0;
    fTotalHours = 0;
    OpenForWriting();
  });
}

void TPercentBlocks::Add(std::unique_ptr<TPercentReceptor> aItem) { fBlocks.push_back(std::move(aItem)); }

void TPercentBlocks::FlushWrite() {
  if (fWriteBuffer.empty()) return;
  if (WriteFull(fBuffer.Get(), fWriteBuffer.data(), fWriteBuffer.size()) != static_cast<int64_t>(fWriteBuffer.size()))
    RaiseLastOSError("Cannot write the buffer file " + fBufName);
  fWriteBuffer.clear();
}

void TPercentBlocks::WriteRecValues(TPercentReceptor& aItem, const TSortedListStore& aValues) {
  traced("TPercentBlocks.WriteRecValues", [&] {
    if (!fWriting) throw Exception("The buffer file " + fBufName + " is not open for writing");
    const auto values = aValues.Values();
    const size_t bytes = values.size() * sizeof(float);
    aItem.fBufPosition = fWritePosition;
    aItem.fBufSize = static_cast<int32_t>(bytes);
    if (bytes == 0) return;
    const char* p = reinterpret_cast<const char*>(values.data());
    fWritePosition += static_cast<int64_t>(bytes);
    if (bytes >= kDirectRecord) {  // a copy into the buffer would cost as much as the write
      FlushWrite();
      if (WriteFull(fBuffer.Get(), p, bytes) != static_cast<int64_t>(bytes))
        RaiseLastOSError("Cannot write the buffer file " + fBufName);
      return;
    }
    fWriteBuffer.insert(fWriteBuffer.end(), p, p + bytes);
    if (fWriteBuffer.size() >= kWriteChunk) FlushWrite();
  });
}

void TPercentBlocks::FinishBufferWrite() {
  traced("TPercentBlocks.FinishBufferWrite", [&] {
    if (fWriting) FlushWrite();
    fWriteBuffer.shrink_to_fit();
    fWriting = false;
  });
}

void TPercentBlocks::SetHeaderFields(const TAttributeCollectionRef& aHeader, const TAttributeCollectionRef& aFields) {
  traced("TPercentBlocks.SetHeaderFields", [&] {
    fHeader = CloneAs(aHeader);
    fFields = CloneAs(aFields);
    DropDepositionFields(*fHeader);
    DropDepositionFields(*fFields);
  });
}

void TPercentBlocks::LoadBufferValues(int aRecIndex) {
  traced("TPercentBlocks.LoadBufferValues", [&] {
    const TPercentReceptor& item = GetItem(aRecIndex);
    const size_t count = static_cast<size_t>(item.fBufSize) / 4;
    if (fBufSingle.size() < count) fBufSingle.resize(count);
    if (count > 0 && PreadFull(fBuffer.Get(), fBufSingle.data(), count * 4, item.fBufPosition) !=
                         static_cast<int64_t>(count * 4))
      throw EInOutError("Cannot read receptor " + std::to_string(aRecIndex + 1) + " from the buffer file " + fBufName);
    fValueCount = static_cast<int>(count);
  });
}

float TPercentBlocks::GetHourValue(int aRecIndex, int aHour) const {
  return traced("TPercentBlocks.GetHourValue", [&] {
    const TPercentReceptor& item = GetItem(aRecIndex);
    if (aHour < 0 || int64_t{aHour} * 4 >= item.fBufSize) return 0.0f;
    float value = 0.0f;
    if (PreadFull(fBuffer.Get(), &value, 4, item.fBufPosition + int64_t{aHour} * 4) != 4)
      throw EInOutError("Cannot read receptor " + std::to_string(aRecIndex + 1) + " from the buffer file " + fBufName);
    return value;
  });
}

float TPercentBlocks::GetPercentile(double aPercent, int aRecIndex) {
  return traced("TPercentBlocks.GetPercentile", [&] {
    fPercentiles->Records().CurrentReceptor = aRecIndex;
    int32_t date = 0;
    return static_cast<float>(fPercentiles->GetPercent(aPercent, fUseInterpolation, date));
  });
}

}  // namespace zorvik

namespace zorvik {

// The viewer's percentile PLOTFILE: the input PLOTFILE's layout with the concentration as its only value.
class TPercentilePlotBlockWriter : public TPlotFileWriter {
 public:
  TPercentilePlotBlockWriter(const std::string& aPlotFile, TPercentBlocks& aBlocks, TAttributeCollectionRef& header,
                             TAttributeCollectionRef& fields, double aPercentile)
      : TPlotFileWriter(FolderOf(aPlotFile), MakeItem(aPlotFile, aBlocks, aPercentile), header, fields,
                        {TPostOutType::poConc}, aBlocks.UseInterpolation()),
        rBlocks(aBlocks) {}

  void WritePlot() {
    traced("TPercentilePlotBlockWriter.WritePlot", [&] {
      for (int i = 0; i < rBlocks.ReceptorCount(); ++i) {
        const float x = rBlocks.GetPercentile(rPercent.Percent, i);
        TAttributeCollectionRef* record = rBlocks.GetItem(i).PlotRecord();
        if (!record) continue;
        record->DefineFloat("conc", x);
        WriteRecord(*record);
      }
    });
  }

 private:
  static std::string FolderOf(const std::string& file) {
    std::string folder = std::filesystem::path(file).parent_path().string();
    return folder.empty() ? std::string("./") : folder + "/";
  }
  static TPercentItem MakeItem(const std::string& file, const TPercentBlocks& blocks, double percentile) {
    TPercentItem item;
    item.Percent = percentile;
    item.AvgPeriod = TAverageValue::hr_1;
    item.HighValue = 0;
    item.GroupName = blocks.GroupName();
    item.PlotName = std::filesystem::path(file).filename().string();
    return item;
  }
  TPercentBlocks& rBlocks;
};

void TPercentBlocks::WritePercentilePlotFile(const std::string& aFile, double aPercentile) {
  traced("TPercentBlocks.WritePercentilePlotFile", [&] {
    TPercentilePlotBlockWriter writer(aFile, *this, *fHeader, *fFields, aPercentile);
    writer.WritePlot();
    writer.Commit();
  });
}

}  // namespace zorvik
