// --format csv|geojson|asc, --crs and --top of the percentile, rolling and design commands: each table holds what
// the PLOTFILE of the same run holds, and the options are checked before anything is read.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <fmt/format.h>

#include "plotfile/PlotFile.h"
#include "plotfile/PlotFormat.h"
#include "plotfile/SamplePlotFile.h"
#include "post/PostFileWriter.h"
#include "support/TestProject.h"

namespace zorvik {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::RunCli;

// One receptor of a result as a file gives it back; what the file does not hold stays NaN (or date -1).
struct TReadRow {
  double X = NAN, Y = NAN, Elevation = NAN, Value = NAN;
  long Date = -1;  // 0: no date
};
using TReadRows = std::map<int, TReadRow>;  // by receptor number

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

double Number(const std::string& text) { return text.empty() || text == "null" ? NAN : std::stod(text); }
long DateOf(const std::string& text) { return text.empty() || text == "null" ? 0 : std::stol(text); }

// The PLOTFILE as the engine wrote it: coordinates, elevation, the value column of `key` and the date.
TReadRows ReadPlt(const std::string& file, const std::string& key) {
  const TPlotFile plot = TPlotFile::Read(file);
  const int value = plot.FieldIndex(key), elev = plot.FieldIndex("elev"), date = plot.FieldIndex("date");
  EXPECT_GE(value, 0) << file;
  TReadRows rows;
  for (int i = 0; i < plot.ReceptorCount(); ++i)
    rows[i + 1] = {plot.X(i), plot.Y(i), plot.AsFloat(i, elev), plot.AsFloat(i, value),
                   plot.IsNull(i, date) ? 0 : DateOf(plot.AsString(i, date))};
  return rows;
}

TReadRows ReadCsv(const std::string& file, const std::string& valueName) {
  const std::vector<std::string> lines = Lines(ReadAll(file));
  EXPECT_EQ(lines.at(0), "receptor,x,y,elevation," + valueName + ",date");
  TReadRows rows;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> f;
    std::stringstream line(lines[i] + ",");
    for (std::string field; std::getline(line, field, ',');) f.push_back(field);
    EXPECT_EQ(f.size(), 6u) << lines[i];
    rows[std::stoi(f.at(0))] = {Number(f.at(1)), Number(f.at(2)), Number(f.at(3)), Number(f.at(4)), DateOf(f.at(5))};
  }
  return rows;
}

TReadRows ReadGeoJson(const std::string& file, const std::string& valueName) {
  const std::regex feature(
      R"(\{"type": "Feature", "geometry": \{"type": "Point", "coordinates": \[([^,]+), ([^\]]+)\]\}, )"
      R"("properties": \{"receptor": (\d+), "x": ([^,]+), "y": ([^,]+), "elevation": ([^,]+), ")" +
      valueName + R"(": ([^,]+), "date": ([^}]+)\}\},?)");
  TReadRows rows;
  for (const std::string& line : Lines(ReadAll(file))) {
    std::smatch m;
    if (!std::regex_match(line, m, feature)) continue;
    EXPECT_EQ(m[1].str(), m[4].str());
    EXPECT_EQ(m[2].str(), m[5].str());
    rows[std::stoi(m[3])] = {Number(m[4]), Number(m[5]), Number(m[6]), Number(m[7]), DateOf(m[8])};
  }
  return rows;
}

// The grid's cells matched to the receptors of `plt` by their centres; no elevation or date.
TReadRows ReadAsciiGrid(const std::string& file, const TReadRows& plt) {
  std::istringstream in(ReadAll(file));
  std::map<std::string, double> header;
  for (int i = 0; i < 6; ++i) {
    std::string key;
    double v;
    in >> key >> v;
    header[key] = v;
  }
  const int cols = static_cast<int>(header["ncols"]), nrows = static_cast<int>(header["nrows"]);
  const double cell = header["cellsize"];
  TReadRows rows;
  for (int row = 0; row < nrows; ++row)
    for (int col = 0; col < cols; ++col) {
      double v = NAN;
      in >> v;
      const double x = header["xllcorner"] + (col + 0.5) * cell, y = header["yllcorner"] + (nrows - row - 0.5) * cell;
      for (const auto& [receptor, r] : plt)
        if (std::fabs(r.X - x) < 1e-6 && std::fabs(r.Y - y) < 1e-6) rows[receptor] = {x, y, NAN, v, -1};
    }
  EXPECT_EQ(static_cast<size_t>(cols * nrows), plt.size()) << file;
  return rows;
}

// The table agrees with the PLOTFILE: same receptors and coordinates, the value to the PLOTFILE's printed
// digits, the same elevation and date where the table holds them.
void ExpectSameResult(const TReadRows& table, const TReadRows& plt) {
  ASSERT_EQ(table.size(), plt.size());
  for (const auto& [receptor, p] : plt) {
    SCOPED_TRACE("receptor " + std::to_string(receptor));
    ASSERT_EQ(table.count(receptor), 1u);
    const TReadRow& t = table.at(receptor);
    EXPECT_EQ(fmt::format("{:.5f} {:.5f}", t.X, t.Y), fmt::format("{:.5f} {:.5f}", p.X, p.Y));
    EXPECT_EQ(FormatPlotValue(t.Value, 5), FormatPlotValue(p.Value, 5)) << t.Value;
    if (!std::isnan(t.Elevation)) {
      EXPECT_EQ(fmt::format("{:.2f}", t.Elevation), fmt::format("{:.2f}", p.Elevation));
    }
    if (t.Date >= 0) {
      EXPECT_EQ(t.Date, p.Date);
    }
  }
}

// A run of 12 receptors on a 4 x 3 grid with zero hours, ties and two output types (conc, and depos at a
// quarter of it).
struct GridProject : test::TestProject {
  GridProject()
      : TestProject(12, 200, [](int h, int type, int r) {
          const int mix = (h * 37 + r * 11) % 40;
          const double conc = mix < 8 ? 0.0 : (mix / 4) * (r % 5 + 1) * 0.37;
          return type == 0 ? conc : conc / 4;  // a power of two: both types rank their hours alike
        }, Layout()) {}
  static TPostFileLayout Layout() {
    TPostFileLayout layout;
    layout.Framing = TPostFraming::pfTarvo;
    layout.Types = {TPostOutType::poConc, TPostOutType::poDepos};
    return layout;
  }
};

struct TRunCase {
  std::string Args;  // the command and its choices, without inputs and outputs
  std::string Name;  // the PLOTFILE's name without extension
};
const TRunCase kRuns[] = {
    {"percentile --percentile 98 --no-interpolation", "P98_00"},
    {"percentile --percentile 75", "P75_00"},
    {"rolling --periods 8 --ranks 2", "RA08_2ND"},
    {"rolling --blocks --periods 24 --ranks 1", "BA24_1ST"},
    {"design --series daily-max-1h --rank 2 --years period", "DAILY_MAX_1H_2ND_PERIOD"},
    {"design --series hours --percentile 98 --years max", "HOURS_P98_00_MAX"},
};

TEST(ResultFormatsTest, TablesHoldWhatThePlotFileOfTheRunHolds) {
  GridProject p;
  for (const TRunCase& run : kRuns) {
    SCOPED_TRACE(run.Args);
    const auto out = [&](const std::string& format) {
      fs::create_directories(p.dir.Path() / format);
      return " --out-dir '" + p.dir.File(format) + "'";
    };
    ASSERT_EQ(RunCli(run.Args + " " + p.Inputs() + out("plt")).status, 0);
    const std::string plt = p.dir.File("plt/" + run.Name + ".PLT");
    for (const char* format : {"csv", "geojson", "asc"}) {
      SCOPED_TRACE(format);
      const auto r = RunCli(run.Args + " " + p.Inputs() + out(format) + " --format " + format);
      ASSERT_EQ(r.status, 0) << r.err;
      std::string listed;
      // One file per output type: conc in the PLOTFILE's "conc" column, depos in its "tdep" column.
      for (const auto& [type, suffix, column] : {std::tuple{"conc", "_CONC.", "conc"}, {"depos", "_DEPOS.", "tdep"}}) {
        const std::string file = p.dir.File(format + ("/" + run.Name) + suffix + format);
        listed += file + "\n";
        const TReadRows expected = ReadPlt(plt, column);
        const std::string f = format;
        ExpectSameResult(f == "csv"       ? ReadCsv(file, type)
                         : f == "geojson" ? ReadGeoJson(file, type)
                                          : ReadAsciiGrid(file, expected),
                         expected);
      }
      EXPECT_EQ(r.out, listed);
    }
  }
}

// A real AERMOD run: 36 discrete receptors with terrain, Lovett met with its calm hours.
TEST(ResultFormatsTest, TablesOfARealRunHoldWhatItsPlotFileHolds) {
  const std::string post = test::FixtureFile("disc36/disc36.pos"), plot = test::FixtureFile("disc36/disc36.plt"),
                    met = test::FixtureFile("disc36/LOVETT.SFC");
  if (post.empty() || plot.empty() || met.empty()) GTEST_SKIP() << "the disc36 run is not there";
  test::TempDir dir;
  const std::string inputs = "--post '" + post + "' --plot '" + plot + "' --met '" + met + "' --out-dir '" +
                             dir.Path().string() + "'";
  for (const TRunCase& run : kRuns) {
    SCOPED_TRACE(run.Args);
    ASSERT_EQ(RunCli(run.Args + " " + inputs).status, 0);
    const TReadRows expected = ReadPlt(dir.File(run.Name + ".PLT"), "conc");
    for (const char* format : {"csv", "geojson"}) {
      ASSERT_EQ(RunCli(run.Args + " " + inputs + " --format " + format).status, 0);
      const std::string file = dir.File(run.Name + "." + format);
      ExpectSameResult(std::string(format) == "csv" ? ReadCsv(file, "conc") : ReadGeoJson(file, "conc"), expected);
    }
  }
  // Discrete receptors are no grid.
  test::ExpectOneLineError(RunCli("percentile " + inputs + " --format asc"), 2,
                           "--format asc refused for the PLOTFILE " + plot + ": ESRI ASCII grid: the receptors do "
                           "not form a regular Cartesian grid (");
}

// Receptors 3, 6 and 10 share the highest values, 2, 4, 8 and 12 the next; every hour of a receptor differs.
struct TiedProject : test::TestProject {
  TiedProject()
      : TestProject(12, 200, [](int h, int, int r) {
          static constexpr int kLevel[12] = {2, 5, 9, 5, 1, 9, 0, 5, 3, 9, 4, 5};
          return kLevel[r] * 1000.0 + h;
        }) {}
};

// The receptor column of every --top table in `out`, and the lines before the first empty line (the files).
struct TTopOutput {
  std::vector<std::string> Files;
  std::vector<std::vector<int>> Tables;
};
TTopOutput ParseTop(const std::string& out) {
  TTopOutput parsed;
  const std::vector<std::string> lines = Lines(out);
  size_t i = 0;
  for (; i < lines.size() && !lines[i].empty(); ++i) parsed.Files.push_back(lines[i]);
  for (; i < lines.size(); ++i) {
    if (lines[i].empty()) {
      parsed.Tables.emplace_back();
      i += 2;  // the heading and the column titles
      continue;
    }
    std::istringstream row(lines[i]);
    int rank = 0, receptor = 0;
    row >> rank >> receptor;
    EXPECT_EQ(rank, static_cast<int>(parsed.Tables.back().size()) + 1) << lines[i];
    parsed.Tables.back().push_back(receptor);
  }
  return parsed;
}

TEST(ResultFormatsTest, TopListsTheHighestReceptorsAfterTheFilesWritten) {
  TiedProject p;
  const auto r = RunCli("percentile " + p.Inputs() + " --percentile 98,50 --no-interpolation --top 6 --out-dir '" +
                        p.dir.File("") + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string p98 = p.dir.File("P98_00.PLT"), p50 = p.dir.File("P50_00.PLT");
  // Rank 4 of 200 hours is hour 197 (96010905), rank 100 hour 101 (96010505).
  EXPECT_EQ(r.out, p98 + "\n" + p50 + "\n" +
                       "\n" + p98 + ": the 6 highest of 12 receptors (conc)\n"
                       " RANK  RECEPTOR          CONC      DATE              X              Y\n"
                       "    1         3        9196.0  96010905       -4800.00       -5000.00\n"
                       "    2         6        9196.0  96010905       -4900.00       -4900.00\n"
                       "    3        10        9196.0  96010905       -4900.00       -4800.00\n"
                       "    4         2        5196.0  96010905       -4900.00       -5000.00\n"
                       "    5         4        5196.0  96010905       -4700.00       -5000.00\n"
                       "    6         8        5196.0  96010905       -4700.00       -4900.00\n"
                       "\n" + p50 + ": the 6 highest of 12 receptors (conc)\n"
                       " RANK  RECEPTOR          CONC      DATE              X              Y\n"
                       "    1         3        9100.0  96010505       -4800.00       -5000.00\n"
                       "    2         6        9100.0  96010505       -4900.00       -4900.00\n"
                       "    3        10        9100.0  96010505       -4900.00       -4800.00\n"
                       "    4         2        5100.0  96010505       -4900.00       -5000.00\n"
                       "    5         4        5100.0  96010505       -4700.00       -5000.00\n"
                       "    6         8        5100.0  96010505       -4700.00       -4900.00\n");

  struct {
    std::string args;
    std::vector<std::string> files;
    std::vector<int> receptors;
  } const cases[] = {
      {"percentile --percentile 90 --format csv --top 7", {"P90_00.csv"}, {3, 6, 10, 2, 4, 8, 12}},
      {"rolling --periods 3,8 --ranks 1 --format geojson --top 4", {"RA03_1ST.geojson", "RA08_1ST.geojson"},
       {3, 6, 10, 2}},
      {"rolling --periods 24 --ranks 3 --blocks --top 20", {"BA24_3RD.PLT"}, {3, 6, 10, 2, 4, 8, 12, 11, 9, 1, 5, 7}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const auto run = RunCli(c.args + " " + p.Inputs() + " --out-dir '" + p.dir.File("") + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    const TTopOutput top = ParseTop(run.out);
    std::vector<std::string> files;
    for (const std::string& name : c.files) files.push_back(p.dir.File(name));
    EXPECT_EQ(top.Files, files);
    ASSERT_EQ(top.Tables.size(), files.size());
    for (const auto& table : top.Tables) EXPECT_EQ(table, c.receptors);
    for (const std::string& file : files) EXPECT_TRUE(fs::exists(file)) << file;
  }
}

std::set<std::string> Entries(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// Mistakes in the options and outputs that would replace an input stop the run before anything is read or
// written, with one line and status 2 (1 for an output folder that is not there).
TEST(ResultFormatsTest, BadOptionsAndClashingOutputsAreRefusedBeforeReading) {
  GridProject grid;
  test::TestProject scattered(10, 24, [](int h, int, int r) { return h + r; });  // a 4 x 3 grid lacking two cells
  test::TestProject clash(12, 24, [](int h, int, int r) { return h + r; }, {}, "RA03_1ST.csv");
  test::TestProject typeClash(12, 24, [](int h, int, int r) { return h + r; }, {}, "P98_00_CONC.csv");
  const auto in = [](const test::TestProject& p) { return p.Inputs() + " --out-dir '" + p.dir.File("") + "'"; };
  const std::string notGrid = "ESRI ASCII grid: the receptors do not form a regular Cartesian grid (no receptor at "
                              "x -4800, y -4800)";
  struct {
    const test::TestProject& project;
    std::string args;
    int status;
    std::string message;
  } const cases[] = {
      {grid, "percentile --format csv --crs EPSG:32615", 2, "--crs is written into GeoJSON only"},
      {grid, "rolling --crs EPSG:32615", 2, "--crs is written into GeoJSON only"},
      {grid, "percentile --format geojson --crs 32615", 2, "--crs: \"32615\" is not EPSG:N"},
      {grid, "rolling --format geojson --crs EPSG:0", 2, "--crs: \"EPSG:0\" is not EPSG:N"},
      {grid, "rolling --format geojson --crs EPSG:+5", 2, "--crs: \"EPSG:+5\" is not EPSG:N"},
      {grid, "percentile --format xls", 2, "--format: \"xls\" is not one of plt, csv, geojson and asc"},
      {grid, "rolling --top 0", 2, "--top"},
      {scattered, "percentile --format asc", 2,
       "--format asc refused for the PLOTFILE " + scattered.plot + ": " + notGrid},
      {scattered, "rolling --format ASC --top 3", 2,
       "--format asc refused for the PLOTFILE " + scattered.plot + ": " + notGrid},
      {clash, "rolling --format csv", 2, "--out-dir file RA03_1ST.csv is the PLOTFILE of this run"},
      {typeClash, "percentile --format csv", 2,
       "--out-dir file P98_00.csv (its conc file) is the PLOTFILE of this run"},
      {grid, "percentile --format csv --out '" + grid.post + "'", 2, "--out is the POSTFILE of this run"},
      {grid, "percentile --format csv --out '" + grid.dir.File("none/p.csv") + "'", 1, "does not exist"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const auto before = Entries(c.project.dir.Path());
    const std::string args = c.args.find("--out ") == std::string::npos ? in(c.project) : c.project.Inputs();
    test::ExpectOneLineError(RunCli(c.args + " " + args), c.status, c.message);
    EXPECT_EQ(Entries(c.project.dir.Path()), before);
  }
}

// Table files are checked as files of their own: a PLOTFILE with the name of a PLOTFILE output does not stop
// a CSV run, and a table replaces an earlier file of its name whole.
TEST(ResultFormatsTest, TablesReplaceTheirOwnFilesOnly) {
  test::TestProject p(12, 24, [](int h, int, int r) { return h * r; }, {}, "RA03_1ST.PLT");
  test::WriteAll(p.dir.Path() / "RA03_1ST.csv", std::string(100000, 'x'));
  const std::string plot = ReadAll(p.plot);
  const auto r = RunCli("rolling " + p.Inputs() + " --periods 3 --ranks 1 --format csv");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, p.dir.File("RA03_1ST.csv") + "\n");
  EXPECT_EQ(ReadAll(p.plot), plot);
  EXPECT_EQ(ReadAll(p.dir.File("RA03_1ST.csv")).rfind("receptor,x,y,elevation,conc,date\r\n1,", 0), 0u);
  EXPECT_EQ(Entries(p.dir.Path()), (std::set<std::string>{"run.pos", "RA03_1ST.PLT", "RA03_1ST.csv"}));
}

// Rows are collected chunk after chunk, beside PLOTFILE writers on other threads: the files and tables are the
// same whatever the chunks and threads (400 receptors x 400 hours take several chunks of 1 MB).
TEST(ResultFormatsTest, SameTablesWhateverTheChunksAndThreads) {
  test::TestProject p(400, 400, [](int h, int, int r) { return (h * 31 + r * 17) % 97 * 0.25; });
  for (const std::string args : {"percentile --percentile 98,50 --format csv --top 5",
                                 "rolling --periods 3,24 --ranks 1,3 --format asc --top 5",
                                 "rolling --periods 8 --ranks 2 --top 5"}) {
    SCOPED_TRACE(args);
    std::vector<test::CliResult> runs;
    for (const char* limits : {"", " --memory 1 --threads 1", " --memory 1 --threads 2"}) {
      const fs::path folder = p.dir.Path() / std::to_string(runs.size());
      fs::create_directories(folder);
      runs.push_back(RunCli(args + " " + p.Inputs() + limits + " --out-dir '" + folder.string() + "'"));
      ASSERT_EQ(runs.back().status, 0) << runs.back().err;
    }
    const TTopOutput first = ParseTop(runs[0].out);
    ASSERT_FALSE(first.Files.empty());
    for (size_t i = 1; i < runs.size(); ++i) {
      const std::string folder0 = p.dir.File("0"), folder = p.dir.File(std::to_string(i));
      std::string out = runs[i].out;
      for (size_t at = out.find(folder); at != std::string::npos; at = out.find(folder, at + folder0.size()))
        out.replace(at, folder.size(), folder0);
      EXPECT_EQ(out, runs[0].out);
      for (const std::string& file : first.Files)
        EXPECT_EQ(ReadAll(folder + file.substr(folder0.size())), ReadAll(file)) << file;
    }
  }
}

}  // namespace
}  // namespace zorvik
