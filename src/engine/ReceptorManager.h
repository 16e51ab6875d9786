#pragma once
// The viewer's load: one call sets the engine options for 1-hour concentrations (zero hours counted, not
// kept), runs a receptor list over the POSTFILE and moves every finished chunk into the disk-buffered blocks.
#include <memory>
#include <string>
#include <vector>

#include "engine/PercentBlocks.h"
#include "engine/PlotFileWriters.h"
#include "engine/PostPercent.h"

namespace zorvik {

// Moves each receptor's PLOTFILE record and its sorted 1-hour concentrations into the blocks.
class TPlotBlockWriter : public TPlotFileWriter {
 public:
  TPlotBlockWriter(const TPercentItem& aPercent, TAttributeCollectionRef& aHeader, TAttributeCollectionRef& aFields,
                   bool aUseInterpolation, TPercentBlocks& blocks)
      : TPlotFileWriter({}, aPercent, aHeader, aFields, {TPostOutType::poConc}, aUseInterpolation), rBlocks(blocks) {}
  void Write(TReceptorItems& aReceptors, int aStart, int aCount, TPlotRecords& records) override;
  bool AddNeededRanks(int, std::vector<int>&) const override { return false; }  // every value, in order
  bool NeedsDates() const override { return false; }

 private:
  TPercentBlocks& rBlocks;
};

class TBlockReceptorList : public TPrReceptorList {
 public:
  TBlockReceptorList(TReceptorListSettings settings, TPercentBlocks& blocks)
      : TPrReceptorList(std::move(settings)), rBlocks(blocks) {}

 protected:
  void CreatePlotWriters(const std::vector<TPercentItem>& data) override;

 private:
  TPercentBlocks& rBlocks;
};

// Limits for a load (0 = none): the chunk budget in bytes and the sorting threads.
struct TLoadLimits {
  int64_t MemoryLimitBytes = 0;
  int MaxThreads = 0;
};

class TReceptorManager {
 public:
  // onProgress receives both progress runs (indexing 0..100, then hours x chunks; a POSTFILE out of memory is
  // indexed during the second); it may set abortOp.
  TReceptorManager(TPercentBlocks& aBlocks, TCB_ProgressEX onProgress = {}, TLoadLimits limits = {})
      : rBlocks(aBlocks), fOnProgress(std::move(onProgress)), fLimits(limits) {}

  // Loads the POSTFILE into the blocks; false when the load was cancelled. A POSTFILE without concentrations
  // is refused with a message.
  bool Execute(const std::string& aPlotFile, const std::string& aPostFile, const std::string& aMetFile,
               bool aUseInterpolation, bool aIsDoublePrecision);
  // Usable hours of the met file of the last load, -1 without one.
  int MeteoUsableHours() const { return fMeteoUsableHours; }
  int ChunkCount() const { return fChunkCount; }
  // The warnings of the last load (hours missing between the POSTFILE's records), for the caller to show.
  const std::vector<std::string>& Warnings() const { return fWarnings; }

 private:
  TPercentBlocks& rBlocks;
  TCB_ProgressEX fOnProgress;
  TLoadLimits fLimits;
  bool fCanceled = false;
  int fMeteoUsableHours = -1;
  int fChunkCount = 0;
  std::vector<std::string> fWarnings;
};

}  // namespace zorvik
