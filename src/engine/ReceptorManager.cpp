#include "engine/ReceptorManager.h"

#include "engine/PlotRecords.h"
#include "records/AttributeCollection.h"
#include "util/ExceptionLog.h"

namespace zorvik {

void TPlotBlockWriter::Write(TReceptorItems& aReceptors, int aStart, int aCount, TPlotRecords& records) {
  traced("TPlotBlockWriter.Write", [&] {
    for (int i = aStart; i < aStart + aCount; ++i) {
      TPrReceptorItem* receptor = aReceptors[static_cast<size_t>(i)].get();
      if (!receptor) continue;
      auto item = std::make_unique<TPercentReceptor>();
      TPercentReceptor& added = *item;
      rBlocks.Add(std::move(item));
      added.SetPlotRecord(records.Take(i));
      const TSortedListStore* store = receptor->GetBlockStore(TAverageValue::hr_1, TPostOutType::poConc);
      if (store) {
        rBlocks.WriteRecValues(added, *store);
      } else {
        rBlocks.WriteRecValues(added, TSortedListStore(true));
      }
    }
  });
}

void TBlockReceptorList::CreatePlotWriters(const std::vector<TPercentItem>& data) {
  traced("TBlockReceptorList.CreatePlotWriters", [&] {
    fPlotWriters.clear();
    for (const TPercentItem& item : data)
      fPlotWriters.push_back(std::make_unique<TPlotBlockWriter>(item, *fHeader, *fFields, fUseInterpolation, rBlocks));
    rBlocks.SetHeaderFields(*fHeader, *fFields);
  });
}

bool TReceptorManager::Execute(const std::string& aPlotFile, const std::string& aPostFile, const std::string& aMetFile,
                               bool aUseInterpolation, bool aIsDoublePrecision) {
  return traced("TReceptorManager.Execute", [&] {
    rBlocks.Clear();
    fWarnings.clear();
    const std::vector<TPercentItem> percentList = traced("TReceptorManager.CreatePercentList", [&] {
      TPercentItem item;
      item.AvgPeriod = TAverageValue::hr_1;
      item.Percent = 100.0;
      item.HighValue = 0;
      return std::vector<TPercentItem>{item};
    });
    fCanceled = false;
    TCB_ProgressEX handler = [this](const void* sender, TProgressStatusInfo& info) {
      if (info.cbIterState == Tcb_iterState::cb_Begin) fCanceled = false;
      if (fOnProgress) fOnProgress(sender, info);
      if (info.abortOp) fCanceled = true;
      info.abortOp = fCanceled;
    };
    TReceptorListSettings settings;
    settings.PlotFile = aPlotFile;
    settings.PostFile = aPostFile;
    settings.MeteoFile = aMetFile;
    settings.OnProgress = handler;
    settings.UseInterpolation = aUseInterpolation;
    settings.DoublePrecision = aIsDoublePrecision;
    settings.MemoryLimitBytes = fLimits.MemoryLimitBytes;
    settings.MaxThreads = fLimits.MaxThreads;
    // The viewer keeps 1-hour values only, and of them only the non-zero ones (the zero hours are counted).
    settings.Options = TEngineOptions{TAverageValues{TAverageValue::hr_1}, false, true};
    settings.StreamIndex = TReceptorListSettings::TStreamIndex::WhenCold;
    {
      TBlockReceptorList list(std::move(settings), rBlocks);
      fMeteoUsableHours = list.MeteoUsableHours();
      if (!list.PostOutTypes().Contains(TPostOutType::poConc))
        throw EFormatError("The POSTFILE " + aPostFile +
                           " holds no concentrations: the percentile viewer shows hourly concentrations only");
      if (!fCanceled) list.Execute(percentList);
      fWarnings = list.Warnings();  // known once the index has been read
      fChunkCount = list.ChunkCount();
      rBlocks.SetTotalHours(list.TotalHours());
      rBlocks.SetGroupName(list.GroupName());
    }
    rBlocks.FinishBufferWrite();
    return !fCanceled;
  });
}

}  // namespace zorvik
