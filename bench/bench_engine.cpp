// The engine on a year of hours over many receptors, against the disk yardsticks it cannot beat.
//
//   cmake --build build -j2 --target bench_engine && build/bench/bench_engine
//   build/bench/bench_engine --benchmark_filter='BM_ReadPostfile|BM_Percentile/threads:0/mem_chunks:1/|BM_PercentileSet'
//   build/bench/bench_engine --benchmark_filter='BM_ReadPostfile|BM_WriteBufferSized|BM_ViewerLoad'
//   ZORVIK_BENCH_RECEPTORS=500 build/bench/bench_engine        (a small project for a quick run)
//
// The project: a synthetic double-precision POSTFILE of 10,000 receptors x 8,760 hours (about 700 MB) and its
// PLOTFILE, written once into $TMPDIR/zorvik-bench-<receptors>x<hours>/ (or /tmp/...) and reused by later runs.
// ZORVIK_BENCH_DIR names another folder; ZORVIK_BENCH_RECEPTORS and ZORVIK_BENCH_HOURS change the size. The
// POSTFILE is read once before anything is timed, so every figure is taken with a warm file cache.
//
// The figures:
//   BM_ReadPostfile      the whole POSTFILE read sequentially in 1 MB reads (`cat FILE > /dev/null`).
//   BM_WriteBufferSized  a file of the viewer buffer's size written in 1 MB writes into the temporary folder
//                        the viewer uses, then deleted (`dd`). The size is the sum of the bytes each receptor
//                        keeps in the buffer (its non-zero hours x 4), taken from one untimed viewer load.
//   BM_Percentile        `zorvik-cli percentile`: 1-hour concentrations, zero hours kept, the 98th percentile
//                        PLOTFILE of every receptor. threads = the MaxThreads cap (0 = every processor);
//                        mem_chunks = 4 caps the memory at a quarter of all values x 8 bytes (about 4 chunks).
//   BM_ViewerLoad        `zorvik-cli hours`: the viewer's load of every receptor into the disk-buffered blocks,
//                        then the chart of the first receptor at the 98th percentile.
//   BM_Rolling           `zorvik-cli rolling`: the 1st to 6th highest 3-, 8- and 24-hour rolling averages of every
//                        receptor, 18 PLOTFILEs (blocks = 1: the non-overlapping block averages instead).
//   BM_Design            `zorvik-cli design`: form = 0 the 8th-highest daily maximum hour (us-no2-1h, one PLOTFILE),
//                        form = 1 the 36th-highest daily mean and the days above 50 (eu-pm10-24h, two PLOTFILEs).
//   BM_ReadUncached      the whole POSTFILE read from the disk past the file cache, in 8 MB O_DIRECT reads
//                        (`dd iflag=direct bs=8M`); the file cache keeps what it had.
//   BM_PercentileSet     `zorvik-cli percentile` with other percentiles, every processor, no memory cap: set 0 the
//                        75th alone (the deepest of the ranked-entries path), set 1 the 98th, 99th, 99.5th and
//                        99.9th, set 2 the 98th, 99th, 90th and 75th (one PLOTFILE each).
//   BM_PercentileCold    BM_Percentile (every processor, no memory cap) with the POSTFILE dropped from the file
//                        cache before each run (posix_fadvise; skipped where the file system keeps it), as
//                        `zorvik-cli percentile` runs it: the index read alongside the run.
// Each row's "x_read" counter is its time over BM_ReadPostfile's, and BM_ViewerLoad's "x_read_write" is its
// time over BM_ReadPostfile + BM_WriteBufferSized (present when the yardsticks ran in the same run). The targets,
// repeated in the summary printed at the end: the percentile within 5x the read; the viewer load within 1.5x
// the read plus the buffer-sized write; the rolling run and each design run within 1.5x the percentile run
// (threads:0/mem_chunks:1). The summary also holds the percentile against the speed goal of 2x the read and the
// viewer load against 3x the read plus the write (the command line's goals, there against `cat` and `dd`), and
// the cold percentile against 1.2x the uncached read. The percentile rows also count the processor time of the
// process per hourly value ("cpu_ns_per_value", goal <= 3 ns), and a set of percentiles is held against the
// deepest of them run alone (goal: no more).
#include <time.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "BenchProject.h"
#include "design/DesignRun.h"
#include "engine/EngineOptions.h"
#include "engine/HourIndex.h"
#include "engine/PercentBlocks.h"
#include "engine/PercentItem.h"
#include "engine/PercentView.h"
#include "engine/PostPercent.h"
#include "engine/ReceptorManager.h"
#include "rolling/RollingAverage.h"
#include "util/FileHandle.h"
#include "util/tempfiles.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr size_t kIoBlock = 1 << 20;

int EnvInt(const char* name, int fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  const int value = std::atoi(text);
  return value > 0 ? value : fallback;
}

struct TProject {
  zorvik::bench::TBenchProject Files;
  int Receptors = 0;
  int Hours = 0;
  int64_t PostBytes = 0;
  std::string OutFolder;  // receives the percentile PLOTFILEs
  std::optional<int64_t> BufferBytes;
};

// Reads the whole file in 1 MB reads; returns the bytes read.
int64_t ReadWholeFile(const std::string& file) {
  zorvik::TFileHandle fd(zorvik::OpenRetry(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) throw std::runtime_error("Cannot open " + file + ": " + zorvik::ErrorText(errno));
  std::vector<char> buffer(kIoBlock);
  int64_t total = 0;
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("Cannot read " + file + ": " + zorvik::ErrorText(errno));
    }
    if (n == 0) break;
    total += n;
  }
  return total;
}

std::optional<TProject>& ProjectSlot(int farPercent, int calmPercent = 0) {
  static std::map<std::pair<int, int>, std::optional<TProject>> projects;
  return projects[{farPercent, calmPercent}];
}

// The project, written (or found) and read once into the file cache on first use; with farPercent or
// calmPercent, the project of that shape (see TBenchShape), in a folder of its own.
TProject& Project(int farPercent = 0, int calmPercent = 0) {
  auto& slot = ProjectSlot(farPercent, calmPercent);
  if (!slot) slot = [farPercent, calmPercent] {
    TProject p;
    p.Receptors = EnvInt("ZORVIK_BENCH_RECEPTORS", 10000);
    p.Hours = EnvInt("ZORVIK_BENCH_HOURS", 8760);
    const char* dir = std::getenv("ZORVIK_BENCH_DIR");
    std::string folder = dir != nullptr && *dir != '\0'
                             ? std::string(dir)
                             : fmt::format("{}zorvik-bench-{}x{}", zorvik::TemporaryPath(), p.Receptors, p.Hours);
    if (farPercent > 0) folder += fmt::format("-far{}", farPercent);
    if (calmPercent > 0) folder += fmt::format("-calm{}", calmPercent);
    const auto start = Clock::now();
    p.Files = zorvik::bench::MakeBenchProject(folder, p.Receptors, p.Hours, {farPercent, calmPercent});
    p.PostBytes = ReadWholeFile(p.Files.PostFile);
    ReadWholeFile(p.Files.PlotFile);
    p.OutFolder = folder + "/out";
    fs::create_directories(p.OutFolder);
    std::fprintf(stderr, "project: %s (%d receptors x %d hours, %.0f MB), ready in %.1f s\n",
                 p.Files.PostFile.c_str(), p.Receptors, p.Hours, static_cast<double>(p.PostBytes) / 1e6,
                 std::chrono::duration<double>(Clock::now() - start).count());
    return p;
  }();
  return *slot;
}

// Mean wall seconds per iteration of each finished benchmark row, for the ratios.
std::map<std::string, double>& Means() {
  static std::map<std::string, double> means;
  return means;
}

// Mean processor seconds (every thread of the process) per iteration, for the rows that count them.
std::map<std::string, double>& CpuMeans() {
  static std::map<std::string, double> means;
  return means;
}

double ProcessCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs body once per iteration, timing each run by the wall clock; keeps the mean under `key`, and the mean
// processor time of the process under the same key in CpuMeans.
// A failure ends the row with its message.
// `untimed`, when given, runs before each run, outside the timing.
template <typename Body>
bool TimedLoop(benchmark::State& state, const std::string& key, Body&& body,
               const std::function<void()>& untimed = {}) {
  double seconds = 0.0;
  double cpu = 0.0;
  int64_t runs = 0;
  try {
    for (auto _ : state) {
      if (untimed) {
        state.PauseTiming();
        untimed();
        state.ResumeTiming();
      }
      const double cpuStart = ProcessCpuSeconds();
      const auto start = Clock::now();
      body();
      seconds += std::chrono::duration<double>(Clock::now() - start).count();
      cpu += ProcessCpuSeconds() - cpuStart;
      ++runs;
    }
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return false;
  }
  if (runs > 0) {
    Means()[key] = seconds / static_cast<double>(runs);
    CpuMeans()[key] = cpu / static_cast<double>(runs);
  }
  return runs > 0;
}

void SetRatio(benchmark::State& state, const char* counter, const std::string& key, std::initializer_list<const char*> yardsticks) {
  const auto& means = Means();
  double base = 0.0;
  for (const char* y : yardsticks) {
    const auto it = means.find(y);
    if (it == means.end()) return;
    base += it->second;
  }
  if (base > 0.0) state.counters[counter] = means.at(key) / base;
}

// The buffer the viewer writes: the bytes every receptor keeps (its non-zero hours x 4), from one viewer load.
int64_t ViewerBufferBytes() {
  TProject& p = Project();
  if (!p.BufferBytes) {
    zorvik::TPercentBlocks blocks;
    zorvik::TReceptorManager manager(blocks);
    manager.Execute(p.Files.PlotFile, p.Files.PostFile, "", false, true);
    int64_t bytes = 0;
    for (int i = 0; i < blocks.ReceptorCount(); ++i) bytes += blocks.GetItem(i).fBufSize;
    p.BufferBytes = bytes;
    std::fprintf(stderr, "viewer buffer: %.0f MB (%.1f %% of the hours non-zero)\n", static_cast<double>(bytes) / 1e6,
                 100.0 * static_cast<double>(bytes) / 4.0 / (static_cast<double>(p.Receptors) * p.Hours));
  }
  return *p.BufferBytes;
}

void BM_ReadPostfile(benchmark::State& state) {
  const TProject& p = Project();
  int64_t bytes = 0;
  if (!TimedLoop(state, "read", [&] { bytes = ReadWholeFile(p.Files.PostFile); })) return;
  if (bytes != p.PostBytes) state.SkipWithError("The POSTFILE changed size while being read");
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_WriteBufferSized(benchmark::State& state) {
  int64_t size = 0;
  try {
    size = ViewerBufferBytes();
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  const std::vector<char> block(kIoBlock, '\x5A');
  const bool ok = TimedLoop(state, "write", [&] {
    const std::string name = zorvik::TemporaryFileName();
    {
      zorvik::TFileHandle fd(zorvik::OpenRetry(name.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
      if (!fd) throw std::runtime_error("Cannot open " + name + ": " + zorvik::ErrorText(errno));
      for (int64_t left = size; left > 0;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(kIoBlock)));
        if (zorvik::WriteFull(fd.Get(), block.data(), n) != static_cast<int64_t>(n))
          throw std::runtime_error("Cannot write " + name + ": " + zorvik::ErrorText(errno));
        left -= static_cast<int64_t>(n);
      }
      if (fd.Close() != 0) throw std::runtime_error("Cannot close " + name);
    }
    fs::remove(name);
  });
  if (!ok) return;
  state.SetBytesProcessed(state.iterations() * size);
}

// The percentile PLOTFILEs of every receptor (the 98th unless told), as `zorvik-cli percentile` writes them;
// returns the chunk count.
int RunPercentile(const TProject& p, int threads, int64_t chunks, const std::vector<double>& percents = {98.0}) {
  zorvik::TReceptorListSettings settings;
  settings.PlotFile = p.Files.PlotFile;
  settings.PlotPath = p.OutFolder + "/";
  settings.PostFile = p.Files.PostFile;
  settings.MeteoFile = p.Files.MetFile;
  settings.MaxThreads = threads;
  settings.StreamIndex = zorvik::TReceptorListSettings::TStreamIndex::WhenCold;
  if (chunks > 1)
    settings.MemoryLimitBytes = int64_t{p.Receptors} * p.Hours * zorvik::TPrReceptorList::kBytesPerValue / chunks;
  zorvik::TPrReceptorList list(std::move(settings));
  std::vector<zorvik::TPercentItem> items;
  for (const double percent : percents) {
    zorvik::TPercentItem item;
    item.AvgPeriod = zorvik::TAverageValue::hr_1;
    item.Percent = percent;
    item.HighValue = 0;
    item.PlotName = fmt::format("P{:05.2f}.PLT", percent);
    item.GroupName = list.GroupName();
    items.push_back(item);
  }
  list.Execute(items);
  return list.ChunkCount();
}

// The processor time per hourly value of a row, as a counter.
void SetCpuPerValue(benchmark::State& state, const TProject& p, const std::string& key) {
  const auto it = CpuMeans().find(key);
  if (it != CpuMeans().end())
    state.counters["cpu_ns_per_value"] = it->second * 1e9 / (static_cast<double>(p.Receptors) * p.Hours);
}

// Args: the thread cap (0 = every processor), and how many chunks the memory cap asks for (1 = no cap).
void BM_Percentile(benchmark::State& state) {
  const TProject& p = Project();
  const int threads = static_cast<int>(state.range(0));
  const int64_t chunks = state.range(1);
  const std::string key = fmt::format("percentile threads:{} mem_chunks:{}", threads, chunks);
  int chunkCount = 0;
  const bool ok = TimedLoop(state, key, [&] { chunkCount = RunPercentile(p, threads, chunks); });
  if (!ok) return;
  state.counters["chunks"] = chunkCount;
  state.SetBytesProcessed(state.iterations() * p.PostBytes);
  SetRatio(state, "x_read", key, {"read"});
  SetCpuPerValue(state, p, key);
}

// The sets of BM_PercentileSet, and the row of the deepest percentile of each run alone.
struct TPercentSet {
  std::vector<double> Percents;
  const char* Deepest;  // the key of the deepest one's row, "" for a set of one
};
const std::vector<TPercentSet>& PercentSets() {
  static const std::vector<TPercentSet> sets = {
      {{75.0}, ""},
      {{98.0, 99.0, 99.5, 99.9}, "percentile threads:0 mem_chunks:1"},
      {{98.0, 99.0, 90.0, 75.0}, "percentiles 75"},
  };
  return sets;
}

std::string PercentSetKey(const TPercentSet& set) {
  std::string key = "percentiles ";
  for (size_t i = 0; i < set.Percents.size(); ++i) key += fmt::format("{}{:g}", i ? "," : "", set.Percents[i]);
  return key;
}

// Args: the set (an index into PercentSets), and the share of far receptors of the project (0: the bench
// project). Series with many zero hours tie at zero: selections must not slow down on ties.
void BM_PercentileSet(benchmark::State& state) {
  const auto farPercent = static_cast<int>(state.range(1));
  const TProject& p = Project(farPercent);
  const TPercentSet& set = PercentSets().at(static_cast<size_t>(state.range(0)));
  const std::string far = farPercent > 0 ? fmt::format(" far{}", farPercent) : std::string();
  const std::string key = PercentSetKey(set) + far;
  if (!TimedLoop(state, key, [&] { RunPercentile(p, 0, 1, set.Percents); })) return;
  state.SetBytesProcessed(state.iterations() * p.PostBytes);
  SetRatio(state, "x_read", key, {"read"});
  SetCpuPerValue(state, p, key);
  // The rows of the deepest percentile alone are the bench project's.
  if (*set.Deepest != '\0' && (farPercent == 0 || std::string_view(set.Deepest).starts_with("percentiles"))) {
    const std::string deepest = set.Deepest + far;
    SetRatio(state, "x_deepest", key, {deepest.c_str()});
  }
}

// The 98th percentile of the project whose POSTFILE holds 0 in 22 % of the hours, which its met file makes calm
// (as the grid144 fixture's does): the met file's load, and a sample that must count those hours as the index
// does, against the same run without a met file.
void BM_PercentileMet(benchmark::State& state) {
  const TProject& p = Project(0, 22);
  const std::string key = "percentile met calm22";
  if (!TimedLoop(state, key, [&] { RunPercentile(p, 0, 1); })) return;
  state.SetBytesProcessed(state.iterations() * p.PostBytes);
  SetRatio(state, "x_read", key, {"read"});
  SetRatio(state, "x_without_met", key, {"percentile threads:0 mem_chunks:1"});
  SetCpuPerValue(state, p, key);
}

// Drops the file from the file cache; raises where the file system keeps it.
void DropFromFileCache(const std::string& file) {
  zorvik::TFileHandle fd(zorvik::OpenRetry(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) throw std::runtime_error("Cannot open " + file + ": " + zorvik::ErrorText(errno));
  ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_DONTNEED);
  if (zorvik::PostFileInMemory(file))
    throw std::runtime_error("The file system keeps " + file + " in memory: no cold run here");
}

void BM_ReadUncached(benchmark::State& state) {
  const TProject& p = Project();
  constexpr size_t kPiece = size_t{8} << 20;
  struct TFree {
    void operator()(void* block) const { std::free(block); }
  };
  const std::unique_ptr<void, TFree> buffer(std::aligned_alloc(4096, kPiece));
  int64_t bytes = 0;
  const bool ok = TimedLoop(state, "read uncached", [&] {
    zorvik::TFileHandle fd(zorvik::OpenRetry(p.Files.PostFile.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC));
    if (!fd)
      throw std::runtime_error("Cannot open " + p.Files.PostFile + " past the file cache: " + zorvik::ErrorText(errno));
    bytes = 0;
    for (;;) {
      const ssize_t n = ::read(fd.Get(), buffer.get(), kPiece);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw std::runtime_error("Cannot read " + p.Files.PostFile + ": " + zorvik::ErrorText(errno));
      if (n == 0) break;
      bytes += n;
    }
  });
  if (!ok) return;
  state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_PercentileCold(benchmark::State& state) {
  const TProject& p = Project();
  const bool ok = TimedLoop(state, "percentile cold", [&] { RunPercentile(p, 0, 1); },
                            [&] { DropFromFileCache(p.Files.PostFile); });
  ReadWholeFile(p.Files.PostFile);  // warm again for whatever runs next
  if (!ok) return;
  state.SetBytesProcessed(state.iterations() * p.PostBytes);
  SetRatio(state, "x_read_uncached", "percentile cold", {"read uncached"});
}

void BM_ViewerLoad(benchmark::State& state) {
  const TProject& p = Project();
  int chunkCount = 0;
  float value = 0.0f;
  const bool ok = TimedLoop(state, "viewer", [&] {
    zorvik::TPercentBlocks blocks;
    zorvik::TReceptorManager manager(blocks);
    if (!manager.Execute(p.Files.PlotFile, p.Files.PostFile, "", false, true))
      throw std::runtime_error("The viewer load was cancelled");
    const zorvik::TPercentView view = zorvik::BuildPercentView(blocks, 0, 98.0);
    value = view.Value;
    chunkCount = manager.ChunkCount();
  });
  if (!ok) return;
  benchmark::DoNotOptimize(value);
  state.counters["chunks"] = chunkCount;
  state.SetBytesProcessed(state.iterations() * p.PostBytes);
  SetRatio(state, "x_read", "viewer", {"read"});
  SetRatio(state, "x_read_write", "viewer", {"read", "write"});
}

void BM_Rolling(benchmark::State& state) {
  const TProject& p = Project();
  const bool blocks = state.range(0) != 0;
  const std::string key = blocks ? "blocks" : "rolling";
  const bool ok = TimedLoop(state, key, [&] {
    zorvik::TRollingRunParams run;
    run.PostFile = p.Files.PostFile;
    run.PlotFile = p.Files.PlotFile;
    run.OutputFolder = p.OutFolder + "/";
    run.Periods = {zorvik::TAverageValue::hr_3, zorvik::TAverageValue::hr_8, zorvik::TAverageValue::hr_24};
    for (int r = 0; r < 6; ++r) run.Ranks.Include(static_cast<zorvik::THighValue>(r));
    run.Blocks = blocks;
    zorvik::GeneratePlotFiles(run);
  });
  if (!ok) return;
  state.SetBytesProcessed(state.iterations() * p.PostBytes);
  SetRatio(state, "x_read", key, {"read"});
  SetRatio(state, "x_percentile", key, {"percentile threads:0 mem_chunks:1"});
}

// Args: the form, 0 = us-no2-1h, 1 = eu-pm10-24h.
void BM_Design(benchmark::State& state) {
  const TProject& p = Project();
  const char* form = state.range(0) == 0 ? "us-no2-1h" : "eu-pm10-24h";
  const std::string key = fmt::format("design {}", form);
  const bool ok = TimedLoop(state, key, [&] {
    zorvik::TDesignSettings settings;
    settings.PostFile = p.Files.PostFile;
    settings.PlotFile = p.Files.PlotFile;
    settings.Request = zorvik::FindDesignForm(form)->Request;
    zorvik::TDesignRun run(settings);
    run.Execute();
    for (const zorvik::TDesignOutput& out : run.Outputs())
      zorvik::WriteDesignPlotFile(run, out, p.OutFolder + "/" + out.Name.FileName);
  });
  if (!ok) return;
  state.SetBytesProcessed(state.iterations() * p.PostBytes);
  SetRatio(state, "x_read", key, {"read"});
  SetRatio(state, "x_percentile", key, {"percentile threads:0 mem_chunks:1"});
}

BENCHMARK(BM_ReadPostfile)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBufferSized)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Percentile)
    ->ArgNames({"threads", "mem_chunks"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({0, 4})
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PercentileSet)
    ->ArgNames({"set", "far"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({0, 80})
    ->Args({2, 80})
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PercentileMet)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewerLoad)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rolling)->ArgName("blocks")->Arg(0)->Arg(1)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Design)->ArgName("form")->Arg(0)->Arg(1)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadUncached)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PercentileCold)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// The targets against the yardsticks, for the rows that ran.
void PrintSummary() {
  const auto& means = Means();
  const auto find = [&](const std::string& key) -> std::optional<double> {
    const auto it = means.find(key);
    return it == means.end() ? std::nullopt : std::optional<double>(it->second);
  };
  const auto read = find("read");
  const auto write = find("write");
  std::printf("\nSummary (mean wall time per run)\n");
  if (read) std::printf("  read POSTFILE                      %9.1f ms\n", *read * 1e3);
  if (write) std::printf("  write buffer-sized file            %9.1f ms\n", *write * 1e3);
  const auto cpuPerValue = [&](const std::string& key) {
    const auto it = CpuMeans().find(key);
    if (it == CpuMeans().end() || !ProjectSlot(0)) return;
    const double ns = it->second * 1e9 / (static_cast<double>(ProjectSlot(0)->Receptors) * ProjectSlot(0)->Hours);
    std::printf("  %-34s %9.2f ns of processor time per value (goal <= 3 ns: %s)\n", "", ns, ns <= 3.0 ? "met" : "missed");
  };
  for (const auto& [key, seconds] : means) {
    if (key.rfind("percentile ", 0) != 0 || key == "percentile cold") continue;
    std::printf("  %-34s %9.1f ms", key.c_str(), seconds * 1e3);
    if (read)
      std::printf("  = %.2fx read (target <= 5x: %s; goal <= 2x: %s)", seconds / *read,
                  seconds <= 5.0 * *read ? "met" : "missed", seconds <= 2.0 * *read ? "met" : "missed");
    std::printf("\n");
    cpuPerValue(key);
  }
  for (const TPercentSet& set : PercentSets()) {
    const std::string key = PercentSetKey(set);
    const auto seconds = find(key);
    if (!seconds) continue;
    std::printf("  %-34s %9.1f ms", key.c_str(), *seconds * 1e3);
    if (read)
      std::printf("  = %.2fx read (goal <= 2x: %s)", *seconds / *read, *seconds <= 2.0 * *read ? "met" : "missed");
    if (const auto deepest = find(set.Deepest))
      std::printf("; %.2fx the deepest alone (goal <= 1x: %s)", *seconds / *deepest,
                  *seconds <= *deepest ? "met" : "missed");
    std::printf("\n");
    cpuPerValue(key);
  }
  const auto percentile = find("percentile threads:0 mem_chunks:1");
  for (const char* key : {"rolling", "blocks", "design us-no2-1h", "design eu-pm10-24h"}) {
    const auto seconds = find(key);
    if (!seconds) continue;
    std::printf("  %-34s %9.1f ms", key, *seconds * 1e3);
    if (percentile)
      std::printf("  = %.2fx percentile (target <= 1.5x: %s)", *seconds / *percentile,
                  *seconds <= 1.5 * *percentile ? "met" : "missed");
    std::printf("\n");
  }
  if (const auto viewer = find("viewer")) {
    std::printf("  viewer load                        %9.1f ms", *viewer * 1e3);
    if (read && write)
      std::printf("  = %.2fx (read + write) (target <= 1.5x: %s; goal <= 3x: %s)", *viewer / (*read + *write),
                  *viewer <= 1.5 * (*read + *write) ? "met" : "missed",
                  *viewer <= 3.0 * (*read + *write) ? "met" : "missed");
    std::printf("\n");
  }
  const auto uncached = find("read uncached");
  if (uncached) std::printf("  read POSTFILE past the file cache  %9.1f ms\n", *uncached * 1e3);
  if (const auto cold = find("percentile cold")) {
    std::printf("  percentile, POSTFILE not cached    %9.1f ms", *cold * 1e3);
    if (uncached)
      std::printf("  = %.2fx uncached read (goal <= 1.2x: %s)", *cold / *uncached,
                  *cold <= 1.2 * *uncached ? "met" : "missed");
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintSummary();
  std::error_code ec;
  for (const auto& [far, calm] : {std::pair{0, 0}, {80, 0}, {0, 22}})
    if (ProjectSlot(far, calm)) fs::remove_all(ProjectSlot(far, calm)->OutFolder, ec);
  return 0;
}
