// Reading and writing PLOTFILEs of 100,000 receptors: the whole-file read that the engine and the command line
// use (a copy of every receptor record), a bare reader pass, and writing the receptors again.
//
//   build/bench/bench_plotfile --benchmark_min_time=1
//
// Data: a PLOTFILE in the AERMOD layout (eleven columns) with receptors on a square grid, written by the
// benchmark into a temporary folder that is removed when it ends.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "plotfile/ISCPlotFileWriter.h"
#include "plotfile/ISCPlotReader.h"
#include "plotfile/PlotFile.h"
#include "plotfile/SamplePlotFile.h"

namespace {

namespace fs = std::filesystem;
using namespace zorvik;

constexpr int kReceptors = 100000;

// The temporary folder with the sample PLOTFILE; removed at exit.
class TBenchFolder {
 public:
  TBenchFolder() {
    fPath = fs::temp_directory_path() / ("zorvik-bench-plot-" + std::to_string(::getpid()));
    fs::create_directories(fPath);
    fPlotFile = (fPath / "receptors.plt").string();
    WriteSamplePlotFile(fPlotFile, SampleGrid(kReceptors));
  }
  ~TBenchFolder() {
    std::error_code ec;
    fs::remove_all(fPath, ec);
  }
  const std::string& PlotFile() const { return fPlotFile; }
  std::string File(const std::string& name) const { return (fPath / name).string(); }

 private:
  fs::path fPath;
  std::string fPlotFile;
};

const TBenchFolder& Folder() {
  static TBenchFolder folder;
  return folder;
}

// Counts the records without keeping them.
class TCountingWriter : public base_AttributeWriter {
 public:
  void ProcessBegin(TAttributeCollectionRef&, TAttributeCollectionRef&) override {}
  void ProcessRecord(TAttributeCollectionRef&) override { ++count; }
  void ProcessError(attributeReaderStatus) override {}
  int64_t count = 0;
};

void BM_ReadPlotFile(benchmark::State& state) {
  const std::string& file = Folder().PlotFile();
  for (auto _ : state) {
    TPlotFile plot = TPlotFile::Read(file);
    if (plot.ReceptorCount() != kReceptors) state.SkipWithError("wrong receptor count");
    benchmark::DoNotOptimize(plot.X(kReceptors - 1));
  }
  state.SetItemsProcessed(state.iterations() * kReceptors);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(file)));
}
BENCHMARK(BM_ReadPlotFile)->Unit(benchmark::kMillisecond);

void BM_ReaderPass(benchmark::State& state) {
  const std::string& file = Folder().PlotFile();
  for (auto _ : state) {
    TISCPlotReader reader(file);
    TCountingWriter counter;
    reader.WriterSubscribe(counter);
    reader.Process();
    if (counter.count != kReceptors) state.SkipWithError("wrong receptor count");
  }
  state.SetItemsProcessed(state.iterations() * kReceptors);
}
BENCHMARK(BM_ReaderPass)->Unit(benchmark::kMillisecond);

void BM_ReadAndWritePlotFile(benchmark::State& state) {
  const std::string& file = Folder().PlotFile();
  const std::string copy = Folder().File("copy.plt");
  for (auto _ : state) {
    TISCPlotReader reader(file);
    TISCPlotFileWriterBase writer(copy);
    reader.WriterSubscribe(writer);
    reader.Process();
  }
  state.SetItemsProcessed(state.iterations() * kReceptors);
}
BENCHMARK(BM_ReadAndWritePlotFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
