// Inputs the fuzz targets found worth keeping (tests/data/fuzz/<reader>/), replayed through the same reader
// calls as the targets: each is read, or refused with one of the system's own errors and a message. A library
// error leaking through (out of range, bad allocation ...) or a crash fails.
// ZORVIK_FUZZ_CORPUS=<folder> replays a whole fuzzing corpus of one reader (subfolders post, plot, met, fmt).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "meteo/F77FmtParser.h"
#include "meteo/MeteoData.h"
#include "plotfile/PlotFile.h"
#include "post/PostBinTypeDetector.h"
#include "post/PostSummary.h"
#include "records/AttributeCollection.h"
#include "support/TestSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;

// Runs one reader call; a failure must be one of ours, with a message.
void Refused(const std::string& what, const std::function<void()>& read) {
  try {
    read();
  } catch (const Exception& e) {
    EXPECT_FALSE(RootMessage(e).empty()) << what;
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": a library error leaked: " << e.what();
  }
}

void ReplayPost(const std::string& input, const test::TempDir& dir) {
  const std::string bytes = test::ReadAll(input);
  if (bytes.empty()) return;
  const auto first = static_cast<unsigned char>(bytes[0]);
  const int receptors = 1 + first % 16;
  const bool doublePrecision = first & 0x80;
  const std::string file = dir.File("input.pos");
  test::WriteAll(file, bytes.substr(1));
  Refused(input, [&] { TPostBinTypeDetector detector(file, receptors, doublePrecision); });
  Refused(input, [&] { SummarizePostFile(file, receptors, doublePrecision); });
}

void ReplayPlot(const std::string& input, const test::TempDir&) {
  Refused(input, [&] {
    TPlotFile plot = TPlotFile::Read(input);
    for (int i = 0; i < plot.ReceptorCount(); ++i) plot.ReceptorRecord(i);
  });
}

void ReplayMet(const std::string& input, const test::TempDir&) {
  Refused(input, [&] {
    TMeteoData met;
    met.SetAermodVersion(av_11103);
    met.LoadDataFromFile(input);
  });
}

void ReplayFormat(const std::string& input, const test::TempDir&) {
  const std::string text = test::ReadAll(input);
  const size_t split = text.find('\n');
  const std::string statement = text.substr(0, split);
  const std::string line = split == std::string::npos ? std::string() : text.substr(split + 1);
  for (bool columns : {false, true})
    Refused(input, [&] {
      TF77_FMT_Parser parser;
      parser.SetElementAsString(columns);
      parser.SetFmtStr(statement);
      TAttributeCollectionRef elements("line");
      parser.LexElements(line, elements);
    });
}

TEST(FuzzCorpusTest, KeptInputsAreReadOrRefusedWithOurOwnErrors) {
  struct Reader {
    const char* folder;
    void (*replay)(const std::string&, const test::TempDir&);
  };
  const Reader readers[] = {{"post", ReplayPost}, {"plot", ReplayPlot}, {"met", ReplayMet}, {"fmt", ReplayFormat}};
  const char* whole = std::getenv("ZORVIK_FUZZ_CORPUS");
  const fs::path root = whole ? fs::path(whole) : fs::path(test::DataFile("fuzz"));
  test::TempDir dir;
  int replayed = 0;
  for (const Reader& reader : readers) {
    const fs::path folder = root / reader.folder;
    if (!fs::is_directory(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder)) {
      reader.replay(entry.path().string(), dir);
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0) << "no kept inputs under " << root;
}

}  // namespace
}  // namespace zorvik
