#include "engine/HourIndex.h"

#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

#include "engine/BlockStore.h"
#include "engine/Progress.h"
#include "engine/RecordRing.h"
#include "meteo/MeteoHours.h"
#include "post/PostChecks.h"
#include "post/PostBinReader.h"
#include "util/ExceptionLog.h"
#include "util/FileStream.h"

namespace zorvik {

namespace {
// Whether eight bytes spread over the file, the last one included, are in the page cache: a file read at its
// start and end only (as its layout is learnt) still counts as out of memory.
bool InMemoryThroughout(TStream& file) {
  const int64_t size = file.Size();
  for (int i = 1; i <= 8; ++i)
    if (!file.InMemory(size * i / 8 - 1)) return false;
  return true;
}

// The scan of IndexHourBlocks; with `stream`, into the `hours` entries `index` already holds, each published as
// it is entered.
void ScanHourBlocks(THourIndex& index, const std::string& postFile, TPostOutTypes types, const THourIndexMeteo& meteo,
                    bool doublePrecision, int receptorCount, TProgressReporter& progress, THourIndexStream* stream,
                    int hours, std::unique_ptr<TStream> headers) {
  TBinPostReader reader(postFile, types, meteo.Hours, 1.0, doublePrecision, receptorCount, true);
  const bool ownStream = headers == nullptr;
  if (headers) reader.UseStream(std::move(headers));
  progress.Begin("Reading Post File...", 100);
  TProgressFinishGuard finish(progress);
  if (!stream) index.ValueSize = reader.DoublePrecision() ? 8 : 4;

  const auto changed = [&] {
    return EFormatError(fmt::format("The POSTFILE {} changed while it was read, or its records differ in size",
                                    postFile));
  };
  int32_t lastDate = 0;
  int entered = 0;
  TPostRecordSequence sequence(postFile);
  const TMeteoHours* held = meteo.RequireEveryHour ? meteo.Hours : nullptr;
  int64_t notHeld = 0;
  int32_t firstNotHeld = 0;
  auto enter = [&](int64_t pos) {
    const int32_t date = reader.DateBlock();
    sequence.Check(pos, date, reader.AveragePeriod(), reader.GroupName());
    if (held != nullptr && !held->IsHeld(date) && notHeld++ == 0) firstNotHeld = date;
    int64_t position = pos;
    if (reader.SkipedHour()) {
      position = -1;
      ++index.SkipHourBlocks;
      lastDate = lastDate > 0 ? AdvanceDateOneHour(lastDate) : 0;
    } else {
      lastDate = reader.DateBlock();
      if (index.BlockSize == 0) index.BlockSize = reader.FullBlockSize() - 16;
    }
    if (stream) {
      if (entered >= hours) throw changed();
      const auto at = static_cast<size_t>(entered);
      index.Positions[at] = position;
      index.Dates[at] = lastDate;
      index.RecordDates[at] = date;
      stream->Ready.store(entered + 1, std::memory_order_release);
    } else {
      index.Positions.push_back(position);
      index.Dates.push_back(lastDate);
      index.RecordDates.push_back(date);
    }
    ++entered;
  };
  enter(reader.FirstBlockPos());

  progress.BeginIterations(postFile);
  TStream& file = reader.Stream();
  const int64_t size = file.Size();
  int64_t pos = file.Position();
  int lastPercent = -1;
  // A POSTFILE that is not in memory (a few probes tell) is read through, on a thread of its own, while the
  // record headers are read behind it: the headers alone would wait for the disk one by one. A stream of the
  // caller's brings the file in itself.
  TReadThrough readThrough(postFile, !ownStream || InMemoryThroughout(file) ? size : pos);
  while (pos < size) {
    const int percent = static_cast<int>(std::lround(static_cast<double>(pos) * 100.0 / static_cast<double>(size)));
    if (percent != lastPercent || progress.Assigned()) {
      progress.Step(percent);
      lastPercent = percent;
    }
    if (progress.Aborted() || (stream && stream->Stop.load(std::memory_order_relaxed))) {
      if (!stream) index.Clear();
      return;
    }
    reader.NewBlock(0, TBinPostReader::kHeaderOnly);
    enter(pos);
    pos = file.Position();
  }
  if (!progress.Aborted()) {
    if (stream && entered != hours) throw changed();
    if (notHeld > 0)
      throw EFormatError(fmt::format("The met file {} does not hold {} of the POSTFILE {}; the first is {}",
                                     meteo.File, HoursText(notHeld), postFile, firstNotHeld));
    if (std::string gaps = sequence.GapWarning(); !gaps.empty()) index.Warnings.push_back(std::move(gaps));
  }
  finish.Finish();
}
}  // namespace

THourIndex IndexHourBlocks(const std::string& postFile, TPostOutTypes types, const THourIndexMeteo& meteo,
                           bool doublePrecision, int receptorCount, TProgressReporter& progress) {
  THourIndex index;
  ScanHourBlocks(index, postFile, types, meteo, doublePrecision, receptorCount, progress, nullptr, 0, nullptr);
  return index;
}

void IndexHourBlocksStreamed(THourIndex& index, int hours, const std::string& postFile, TPostOutTypes types,
                             const THourIndexMeteo& meteo, bool doublePrecision, THourIndexStream& stream,
                             std::unique_ptr<TStream> headers) {
  struct Done {
    THourIndexStream& stream;
    ~Done() { stream.Done.store(true, std::memory_order_release); }
  } done{stream};
  TProgressReporter quiet({}, nullptr);
  ScanHourBlocks(index, postFile, types, meteo, doublePrecision, 0, quiet, &stream, hours, std::move(headers));
}

bool PostFileInMemory(const std::string& postFile) {
  TFileStream file(postFile);
  return InMemoryThroughout(file);
}

TStandardRecords StandardRecords(const std::string& postFile, TPostOutTypes types, bool doublePrecision) {
  try {
    TBinPostReader reader(postFile, types, nullptr, 1.0, doublePrecision, 0, true);
    // The reader stands at the second record: the first one's size on disk, markers included.
    const int64_t first = reader.FirstBlockPos();
    const int64_t stride = reader.Stream().Position() - first;
    const int64_t bytes = reader.Stream().Size() - first;
    if (stride <= 0 || bytes % stride != 0 || bytes / stride > std::numeric_limits<int>::max()) return {};
    return {static_cast<int>(bytes / stride), first, stride};
  } catch (const std::exception&) {
    return {};  // the scan meets the fault with its place
  }
}

}  // namespace zorvik
