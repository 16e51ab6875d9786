#include "engine/HourIndex.h"

#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <thread>

#include "engine/BlockStore.h"
#include "engine/Progress.h"
#include "meteo/MeteoHours.h"
#include "post/PostChecks.h"
#include "post/PostBinReader.h"
#include "util/ExceptionLog.h"
#include "util/FileStream.h"

namespace zorvik {

namespace {
// Reads a file from `from` to its end into the page cache, on a thread of its own, and stops early when
// destroyed. Failures are left to the reader behind it, which meets them with their place.
class TReadThrough {
 public:
  TReadThrough(const std::string& file, int64_t from) {
    if (from >= static_cast<int64_t>(std::filesystem::file_size(file, fError))) return;
    fThread = std::jthread([file, from](std::stop_token stop) {
      try {
        TFileStream stream(file);
        constexpr int64_t kChunk = int64_t{8} << 20;
        const auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
        stream.SetPosition(from);
        while (!stop.stop_requested() && stream.Read(buffer.get(), kChunk) > 0) {
        }
      } catch (const std::exception&) {
      }
    });
  }

 private:
  std::error_code fError;
  std::jthread fThread;
};
}  // namespace

THourIndex IndexHourBlocks(const std::string& postFile, TPostOutTypes types, const THourIndexMeteo& meteo,
                           bool doublePrecision, int receptorCount, TProgressReporter& progress) {
  THourIndex index;
  TBinPostReader reader(postFile, types, meteo.Hours, 1.0, doublePrecision, receptorCount, true);
  progress.Begin("Reading Post File...", 100);
  TProgressFinishGuard finish(progress);
  index.ValueSize = reader.DoublePrecision() ? 8 : 4;

  int32_t lastDate = 0;
  TPostRecordSequence sequence(postFile);
  const TMeteoHours* held = meteo.RequireEveryHour ? meteo.Hours : nullptr;
  int64_t notHeld = 0;
  int32_t firstNotHeld = 0;
  auto enter = [&](int64_t pos) {
    const int32_t date = reader.DateBlock();
    sequence.Check(pos, date, reader.AveragePeriod(), reader.GroupName());
    if (held != nullptr && !held->IsHeld(date) && notHeld++ == 0) firstNotHeld = date;
    if (reader.SkipedHour()) {
      index.Positions.push_back(-1);
      ++index.SkipHourBlocks;
      lastDate = lastDate > 0 ? AdvanceDateOneHour(lastDate) : 0;
    } else {
      index.Positions.push_back(pos);
      lastDate = reader.DateBlock();
      if (index.BlockSize == 0) index.BlockSize = reader.FullBlockSize() - 16;
    }
    index.Dates.push_back(lastDate);
    index.RecordDates.push_back(date);
  };
  enter(reader.FirstBlockPos());

  progress.BeginIterations(postFile);
  TStream& stream = reader.Stream();
  const int64_t size = stream.Size();
  int64_t pos = stream.Position();
  int lastPercent = -1;
  // A POSTFILE that is not in memory (its last byte tells) is read through, in large reads, on a thread of its
  // own while the record headers are read behind it: the headers alone would wait for the disk one by one.
  TReadThrough readThrough(postFile, stream.InMemory(size - 1) ? size : pos);
  while (pos < size) {
    const int percent = static_cast<int>(std::lround(static_cast<double>(pos) * 100.0 / static_cast<double>(size)));
    if (percent != lastPercent || progress.Assigned()) {
      progress.Step(percent);
      lastPercent = percent;
    }
    if (progress.Aborted()) {
      index.Clear();
      break;
    }
    reader.NewBlock(0, TBinPostReader::kHeaderOnly);
    enter(pos);
    pos = stream.Position();
  }
  if (!progress.Aborted()) {
    if (notHeld > 0)
      throw EFormatError(fmt::format("The met file {} does not hold {} of the POSTFILE {}; the first is {}",
                                     meteo.File, HoursText(notHeld), postFile, firstNotHeld));
    if (std::string gaps = sequence.GapWarning(); !gaps.empty()) index.Warnings.push_back(std::move(gaps));
  }
  finish.Finish();
  return index;
}

}  // namespace zorvik
