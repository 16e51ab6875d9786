#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestSupport.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using test::RunCli;
using test::TempDir;

constexpr int kReceptors = 5;

struct TRunFiles {
  TempDir dir;
  std::string post = dir.File("run.pos");
  std::string plot = dir.File("run.plt");
  TRunFiles() {
    TPostFileLayout layout;
    layout.Receptors = kReceptors;
    WritePostFile(post, layout, 96010101, 100, [](int h, int, int r) { return 1.0 + (h * 7 + r) % 13; });
    WriteSamplePlotFile(plot, SampleGrid(kReceptors));
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    if (!lines.back().empty() && lines.back().back() == '\r') lines.back().pop_back();
    at = end + 1;
  }
  return lines;
}

TEST(PlotInputTest, OutputsOfAPlotfileWithoutHeaderDeclareTheirReceptorsAndColumns) {
  TRunFiles run;
  // The same receptors without the header block: valid input, whose outputs still need a true header.
  std::string receptors;
  for (const std::string& line : Lines(test::ReadAll(run.plot)))
    if (!line.empty() && line.front() != '*') receptors += line + "\r\n";
  const std::string bare = run.dir.File("bare.plt");
  test::WriteAll(bare, receptors);
  const std::string inputs = "--post '" + run.post + "' --plot '" + bare + "'";
  const struct {
    const char* name;
    std::string command;
    std::string output;
  } cases[] = {
      {"percentile", "percentile " + inputs + " --percentile 98 --out '" + run.dir.File("p98.plt") + "'",
       run.dir.File("p98.plt")},
      {"viewer", "hours " + inputs + " --receptor 1 --plotfile '" + run.dir.File("v98.plt") + "'",
       run.dir.File("v98.plt")},
  };
  for (const auto& c : cases) {
    auto r = RunCli(c.command);
    ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
    const std::vector<std::string> lines = Lines(test::ReadAll(c.output));
    std::vector<std::string> rows;
    std::string format, titles;
    for (const std::string& line : lines) {
      if (line.empty()) continue;
      if (line.front() != '*') rows.push_back(line);
      if (line.find("FORMAT: ") != std::string::npos) format = line.substr(line.find("FORMAT: ") + 8);
      if (line.find("AVERAGE CONC") != std::string::npos) titles = line;
    }
    EXPECT_NE(std::find(lines.begin(), lines.end(), "*         FOR A TOTAL OF 5 RECEPTORS."), lines.end()) << c.name;
    ASSERT_EQ(rows.size(), static_cast<size_t>(kReceptors)) << c.name;
    ASSERT_FALSE(titles.empty()) << c.name << ": the value column is not declared";
    // Each descriptor after a 1X is one field; every row holds exactly these fields, and the field under the
    // AVERAGE CONC title holds a number.
    std::vector<std::pair<size_t, size_t>> fields;  // first character (from 0), width
    size_t at = 0;
    const std::regex descriptor("1X,[AFI](\\d+)");
    for (std::sregex_iterator m(format.begin(), format.end(), descriptor), end; m != end; ++m) {
      const size_t width = std::stoul((*m)[1]);
      fields.emplace_back(at + 1, width);
      at += 1 + width;
    }
    const size_t concAt = titles.find("AVERAGE CONC");
    for (const std::string& row : rows) {
      EXPECT_EQ(row.size(), at) << c.name << ": " << row << " against " << format;
      for (const auto& [first, width] : fields) {
        if (concAt < first || concAt >= first + width) continue;
        EXPECT_TRUE(std::regex_match(row.substr(first, width), std::regex(" *[0-9.E+-]+"))) << c.name << ": " << row;
      }
    }
  }
}

TEST(PlotInputTest, RefusedPlotfilesNameWhatIsWrongAndNothingIsWritten) {
  TRunFiles run;
  std::string damaged = test::ReadAll(run.plot);
  damaged.replace(damaged.find("FOR A TOTAL OF     5"), 20, "FOR A TOTAL OF   1e9");
  test::WriteAll(run.dir.File("damaged.plt"), damaged);
  const struct {
    const char* name;
    std::string plot;
    std::string post;
    std::string message;
  } cases[] = {
      {"swapped inputs", run.post, run.plot,
       run.post + " is a binary file (it looks like a POSTFILE), not a PLOTFILE"},
      {"damaged count", run.dir.File("damaged.plt"), run.post,
       run.dir.File("damaged.plt") + ", line 5: the receptor count \"1E9\" is not a whole number"},
  };
  for (const auto& c : cases) {
    auto r = RunCli("percentile --post '" + c.post + "' --plot '" + c.plot + "' --out '" + run.dir.File("x.plt") + "'");
    EXPECT_EQ(r.status, 1) << c.name;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
    EXPECT_FALSE(fs::exists(run.dir.File("x.plt"))) << c.name;
  }
}

}  // namespace
}  // namespace zorvik
