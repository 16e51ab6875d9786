#pragma once
// The viewer's disk-buffered percentile blocks: one record per receptor in a temporary ".bin" file holding
// the receptor's kept 1-hour values (single precision, highest first), with each record's place and size in
// memory. Any receptor's ordered hours, any single hour value and any percentile are read back without
// reloading the POSTFILE. The buffer file has no name on disk (it is unlinked as soon as it is open), so it
// goes with the blocks, or with the process whatever ends it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/BlockStore.h"
#include "util/FileHandle.h"

namespace zorvik {

class TAttributeCollectionRef;
class TPercentBlocks;

class TPercentReceptor {
 public:
  TPercentReceptor();
  ~TPercentReceptor();
  // Takes the record and drops its deposition fields "tdep", "ddep" and "wdep".
  void SetPlotRecord(std::unique_ptr<TAttributeCollectionRef> Value);
  double CoordX() const;
  double CoordY() const;
  TAttributeCollectionRef* PlotRecord() const { return fPlotRecord.get(); }

  int64_t fBufPosition = 0;
  int32_t fBufSize = 0;

 private:
  std::unique_ptr<TAttributeCollectionRef> fPlotRecord;
};

// Reads one receptor's record of the buffer file as a value store: StoredCount values, N = the total hours.
class TRecBlockStore final : public TSortedStoreBase {
 public:
  explicit TRecBlockStore(const TPercentBlocks& blocks) : rBlocks(blocks) {}
  int StoredCount() const override;
  float GetValue(int Index) const override;
  void SetStoredCount(int) override {}
  void AddItem(float, int32_t) override {}
  int OfferedCount() const override;

  int CurrentReceptor = 0;

 private:
  const TPercentBlocks& rBlocks;
};

class TPercentBlockStore final : public TPrBlockStore {
 public:
  explicit TPercentBlockStore(const TPercentBlocks& blocks);
  TRecBlockStore& Records() { return static_cast<TRecBlockStore&>(HValues()); }
};

class TPercentBlocks {
 public:
  // Creates the buffer file empty, without a name, in the temporary folder.
  TPercentBlocks();
  ~TPercentBlocks();
  TPercentBlocks(const TPercentBlocks&) = delete;
  TPercentBlocks& operator=(const TPercentBlocks&) = delete;

  // Frees every receptor and starts a new, empty buffer file (the start of a load).
  void Clear();
  void Add(std::unique_ptr<TPercentReceptor> aItem);
  TPercentReceptor& GetItem(int index) const { return *fBlocks.at(static_cast<size_t>(index)); }
  int ReceptorCount() const { return static_cast<int>(fBlocks.size()); }
  // Appends the receptor's record from its sorted value store.
  void WriteRecValues(TPercentReceptor& aItem, const TSortedListStore& aValues);
  // Ends writing; the buffer file is read from now on.
  void FinishBufferWrite();
  // Keeps copies of the PLOTFILE header and fields without the deposition fields.
  void SetHeaderFields(const TAttributeCollectionRef& aHeader, const TAttributeCollectionRef& aFields);
  // Loads one receptor's record; GetValue(0 .. ValueCount()-1) then reads it.
  void LoadBufferValues(int aRecIndex);
  float GetValue(int index) const { return fBufSingle[static_cast<size_t>(index)]; }
  // Hour aHour (0-based) of the receptor's descending list, read from the file; 0 past its kept values.
  float GetHourValue(int aRecIndex, int aHour) const;
  float GetPercentile(double aPercent, int aRecIndex);
  // Writes the percentile of every receptor as a PLOTFILE.
  void WritePercentilePlotFile(const std::string& aFile, double aPercentile);

  int ValueCount() const { return fValueCount; }
  int TotalHours() const { return fTotalHours; }
  void SetTotalHours(int hours) { fTotalHours = hours; }
  const std::string& GroupName() const { return fGroupName; }
  void SetGroupName(std::string name) { fGroupName = std::move(name); }
  bool UseInterpolation() const { return fUseInterpolation; }
  void SetUseInterpolation(bool value) { fUseInterpolation = value; }
  const std::string& BufferFileName() const { return fBufName; }
  const TAttributeCollectionRef& Header() const { return *fHeader; }
  const TAttributeCollectionRef& Fields() const { return *fFields; }

 private:
  void OpenForWriting();
  void FlushWrite();
  void RemoveBufferFile();

  std::vector<std::unique_ptr<TPercentReceptor>> fBlocks;
  TFileHandle fBuffer;
  std::string fBufName;  // how messages name the buffer (it has no name on disk)
  std::vector<float> fBufSingle;
  int fValueCount = 0;
  int fTotalHours = 0;
  std::unique_ptr<TPercentBlockStore> fPercentiles;
  bool fUseInterpolation = true;
  std::unique_ptr<TAttributeCollectionRef> fHeader;
  std::unique_ptr<TAttributeCollectionRef> fFields;
  std::string fGroupName;
  std::vector<char> fWriteBuffer;  // staged bytes not yet written
  int64_t fWritePosition = 0;      // file size including staged bytes
  bool fWriting = false;
};

}  // namespace zorvik
