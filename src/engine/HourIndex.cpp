#include "engine/HourIndex.h"

#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "engine/BlockStore.h"
#include "engine/Progress.h"
#include "meteo/MeteoHours.h"
#include "post/PostChecks.h"
#include "post/PostBinReader.h"
#include "util/ExceptionLog.h"
#include "util/FileStream.h"

namespace zorvik {

namespace {
// Reads a file from `from` to its end into the page cache, on threads of their own, and stops early when
// destroyed. The threads take turns over large pieces, front to back, so that the disk always has two requests
// to serve. Failures are left to the reader behind it, which meets them with their place.
class TReadThrough {
 public:
  TReadThrough(const std::string& file, int64_t from) {
    const auto size = static_cast<int64_t>(std::filesystem::file_size(file, fError));
    if (fError || from >= size) return;
    for (int t = 0; t < kThreads; ++t)
      fThreads.emplace_back([file, from, size, t](std::stop_token stop) {
        try {
          TFileStream stream(file);
          const auto buffer = std::make_unique_for_overwrite<char[]>(kPiece);
          for (int64_t at = from + t * kPiece; at < size && !stop.stop_requested(); at += kThreads * kPiece) {
            stream.SetPosition(at);
            if (stream.Read(buffer.get(), kPiece) <= 0) break;
          }
        } catch (const std::exception&) {
        }
      });
  }

 private:
  static constexpr int kThreads = 2;
  static constexpr int64_t kPiece = int64_t{8} << 20;
  std::error_code fError;
  std::vector<std::jthread> fThreads;
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
  // A POSTFILE that is not in memory (its last byte tells) is read through, in large reads, on threads of their
  // own while the record headers are read behind them: the headers alone would wait for the disk one by one.
  // Measured with the page cache dropped (10,000 receptors x 8,760 hours): two threads a third faster than one,
  // four slower than two.
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
