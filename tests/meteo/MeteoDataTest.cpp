#include "meteo/MeteoData.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "meteo/MeteoFormat.h"
#include "support/TestSupport.h"
#include "util/ExceptionLog.h"

namespace zorvik {
namespace {

using test::TempDir;
using test::WriteAll;

// One ISCST3 record, FORMAT (4I2,2F9.4,F6.1,I2,2F7.1).
std::string IscRecord(const char* date8, const char* speed9) {
  return std::string(date8) + " 180.0000" + speed9 + " 273.0" + " 4" + " 1000.0" + "  800.0";
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& l : lines) text += l + "\r\n";
  return text;
}

TMeteoData Load(const std::string& file) {
  TMeteoData met;
  met.SetAermodVersion(av_11103);
  met.LoadDataFromFile(file);
  return met;
}

TEST(MeteoDataTest, MissingFileChangesNothing) {
  TempDir dir;
  TMeteoData met;
  met.SetAermodVersion(av_11103);
  met.LoadDataFromFile(dir.File("absent.met"));
  EXPECT_FALSE(met.HasData());
  EXPECT_EQ(met.LoadPath(), TMeteoLoadPath::mlpNone);
  for (int32_t key : {88010101, 96010101, 0}) EXPECT_FALSE(met.IsExist(key)) << key;
  EXPECT_FALSE(DetectMeteoFormat(dir.File("absent.met"), mfAermetSFC));
}

TEST(MeteoDataTest, IscFileCalmAndUsableHours) {
  TempDir dir;
  const std::string file = dir.File("a.met");
  WriteAll(file, Lines({
                     "14735  88  14735  88",  // station header: counted, no hour
                     IscRecord("88010101", "   2.5000"),
                     IscRecord("88010102", "   0.0000"),  // calm
                     IscRecord("88010103", "  0.00001"),
                     "",                                  // empty: not counted
                     IscRecord("88010104", "0.0000099"),  // calm
                     IscRecord("88010103", "   4.0000"),  // the same hour again: the later speed wins
                 }));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.LoadPath(), TMeteoLoadPath::mlpFixedColumnsIsc);
  EXPECT_TRUE(met.HasData());
  EXPECT_EQ(met.TotalHourCount(), 6);
  EXPECT_EQ(met.HourCount(), 3);
  EXPECT_EQ(met.UsableHourCount(), 2);
  EXPECT_EQ(met.CalmHourCount(), 2);
  EXPECT_EQ(met.UnreadableLineCount(), 1);
  EXPECT_TRUE(met.IsExist(88010101));
  EXPECT_DOUBLE_EQ(met.GetWindSpeed(88010101), 2.5);
  EXPECT_FALSE(met.IsExist(88010102));
  EXPECT_EQ(met.GetWindSpeed(88010102), 0.0);
  EXPECT_DOUBLE_EQ(met.GetWindSpeed(88010103), 4.0);
  EXPECT_FALSE(met.IsExist(88010104));
  // Dates cover every line with a readable date, calm ones included.
  EXPECT_DOUBLE_EQ(met.StartDateTime(), DateKeyToDateTime(88010101));
  EXPECT_DOUBLE_EQ(met.EndDateTime(), DateKeyToDateTime(88010104));
  EXPECT_EQ(met.NumYears(), 1);
}

TEST(MeteoDataTest, FileWithNoUsableHourLeavesTheTableEmpty) {
  TempDir dir;
  const std::string file = dir.File("calm.met");
  WriteAll(file, Lines({IscRecord("88010101", "   0.0000"), IscRecord("88010102", "   0.0000")}));
  TMeteoData met = Load(file);
  EXPECT_TRUE(met.HasData());
  EXPECT_EQ(met.UsableHourCount(), 0);
  EXPECT_FALSE(met.IsExist(88010101));
  EXPECT_FALSE(met.IsExist(88010102));
}

TEST(MeteoDataTest, ReloadReplacesTheTable) {
  TempDir dir;
  const std::string a = dir.File("a.met"), b = dir.File("b.met");
  WriteAll(a, Lines({IscRecord("88010101", "   2.5000")}));
  WriteAll(b, Lines({IscRecord("89010101", "   1.5000")}));
  TMeteoData met;
  met.SetAermodVersion(av_11103);
  met.LoadDataFromFile(a);
  met.LoadDataFromFile(b);
  EXPECT_FALSE(met.IsExist(88010101));
  EXPECT_TRUE(met.IsExist(89010101));
  EXPECT_EQ(met.TotalHourCount(), 1);
  met.Clear();
  EXPECT_FALSE(met.IsExist(89010101));
  EXPECT_FALSE(met.HasData());
}

// ---- surface files ---------------------------------------------------------------------------------------------

const char* const kHeader24142 =
    "   29.967N   95.350W          UA_ID: 3937      SF_ID: 722430    OS_ID:              VERSION: 24142  ADJ_U*";

// The header line of a surface file with the version text in columns 93-98.
std::string SfcHeader(const std::string& version) {
  std::string h = "   29.967N   95.350W          UA_ID: 3937      SF_ID: 722430    OS_ID:              VERSION:";
  EXPECT_EQ(h.size(), 92u);
  return h + version;
}

std::vector<std::string> Tokens(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> t;
  for (std::string s; in >> s;) t.push_back(s);
  return t;
}

// An hour line of a blank-separated file rewritten at the fixed columns of the long (25 fields) or short
// (20 fields) layout, as an older AERMET would have written it.
std::string FixedColumnLine(const std::string& blankSeparated, int fields) {
  static constexpr struct {
    char kind;  // I or F
    int width, decimals;
  } kLayout[] = {{'I', 2, 0}, {'I', 2, 0}, {'I', 2, 0}, {'I', 3, 0}, {'I', 2, 0}, {'F', 6, 1}, {'F', 6, 3},
                 {'F', 6, 3}, {'F', 6, 3}, {'F', 5, 0}, {'F', 5, 0}, {'F', 8, 1}, {'F', 6, 3}, {'F', 6, 2},
                 {'F', 6, 2}, {'F', 7, 2}, {'F', 5, 0}, {'F', 6, 1}, {'F', 6, 1}, {'F', 6, 1}, {'I', 5, 0},
                 {'F', 6, 1}, {'F', 6, 1}, {'F', 6, 1}, {'I', 5, 0}};
  const auto t = Tokens(blankSeparated);
  std::string line;
  for (int i = 0; i < fields; ++i) {
    if (i > 0) line += ' ';
    const auto& f = kLayout[i];
    const double v = std::stod(t[static_cast<size_t>(i)]);
    std::string cell = f.kind == 'I' ? std::to_string(static_cast<long>(v)) : fmt::format("{:.{}f}", v, f.decimals);
    if (f.kind == 'F' && f.decimals == 0) cell += '.';  // F5.0 prints "-999."
    line += std::string(static_cast<size_t>(std::max(0, f.width - static_cast<int>(cell.size()))), ' ') + cell;
  }
  return line;
}

// Independent judgement of one blank-separated hour line by AERMET's missing indicators: calm when the speed
// is 0; missing when a field holds its indicator (speed, direction, temperature 999; Monin-Obukhov length
// -99999; mechanical height -999; friction velocity -9; in unstable hours also convective height -999 and
// convective velocity -9).
enum class THourKind { calm, missing, usable };
THourKind JudgeByIndicators(const std::string& line, int32_t& key) {
  const auto t = Tokens(line);
  auto num = [&](size_t i) { return std::stod(t.at(i)); };
  key = std::stoi(t[0]) % 100 * 1000000 + std::stoi(t[1]) * 10000 + std::stoi(t[2]) * 100 + std::stoi(t[4]);
  if (num(15) == 0) return THourKind::calm;
  const bool unstable = num(11) < 0;
  if (num(15) == 999 || num(16) == 999 || num(18) == 999 || num(11) == -99999 || num(10) == -999 ||
      num(6) == -9 || (unstable && (num(9) == -999 || num(7) == -9)))
    return THourKind::missing;
  return THourKind::usable;
}

struct TIndependentCount {
  int hours = 0, calm = 0, missing = 0, usable = 0;
};

// Counts the hours of a blank-separated surface file and checks that the table holds exactly its usable hours.
TIndependentCount CheckAgainstIndicators(const std::string& file, const TMeteoData& met) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  std::getline(in, line);  // header
  TIndependentCount n;
  while (std::getline(in, line)) {
    if (Tokens(line).empty()) continue;
    ++n.hours;
    int32_t key = 0;
    switch (JudgeByIndicators(line, key)) {
      case THourKind::calm: ++n.calm; break;
      case THourKind::missing: ++n.missing; break;
      case THourKind::usable: ++n.usable; break;
    }
    EXPECT_EQ(met.IsExist(key), JudgeByIndicators(line, key) == THourKind::usable) << line;
  }
  return n;
}

TEST(MeteoDataSurfaceTest, EveryLayoutOfTheSameHoursGivesTheSameTable) {
  const std::string slice = test::DataFile("meteo/houston_300h.sfc");
  std::vector<std::string> hourLines;
  {
    std::ifstream in(slice, std::ios::binary);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) hourLines.push_back(line.substr(0, line.find('\r')));
  }
  TMeteoData reference = Load(slice);
  ASSERT_EQ(reference.LoadPath(), TMeteoLoadPath::mlpSurfaceFile);
  const TIndependentCount n = CheckAgainstIndicators(slice, reference);
  EXPECT_EQ(n.hours, 300);
  EXPECT_EQ(reference.TotalHourCount(), n.hours);
  EXPECT_EQ(reference.HourCount(), n.usable);
  EXPECT_EQ(reference.CalmHourCount(), n.calm);
  EXPECT_EQ(reference.MissingHourCount(), n.missing);
  EXPECT_EQ(reference.AermetVersion(), tav_11059);
  EXPECT_EQ(reference.AermetVersionText(), " 24142");

  struct Case {
    const char* version;
    TAermetVersion member;
    int fields;  // 0: blank-separated as in the slice
  } cases[] = {{"06341", tav_06341, 25}, {"09040", tav_09040, 25}, {"04300", tav_04300, 25},
               {"98314", tav_98314, 20}, {"02222", tav_02222, 20}, {"11059", tav_11059, 0}};
  TempDir dir;
  for (const auto& c : cases) {
    std::string text = SfcHeader(c.version) + "\r\n";
    for (const auto& l : hourLines) text += (c.fields ? FixedColumnLine(l, c.fields) : l) + "\r\n";
    const std::string file = dir.File(std::string("v") + c.version + ".sfc");
    WriteAll(file, text);
    TMeteoData met = Load(file);
    EXPECT_EQ(met.AermetVersion(), c.member) << c.version;
    EXPECT_EQ(met.TotalHourCount(), n.hours) << c.version;
    EXPECT_EQ(met.HourCount(), n.usable) << c.version;
    EXPECT_EQ(met.CalmHourCount(), n.calm) << c.version;
    EXPECT_EQ(met.MissingHourCount(), n.missing) << c.version;
    EXPECT_EQ(met.IncompleteLineCount(), 0) << c.version;
    EXPECT_DOUBLE_EQ(met.StartDateTime(), reference.StartDateTime()) << c.version;
    EXPECT_DOUBLE_EQ(met.EndDateTime(), reference.EndDateTime()) << c.version;
    CheckAgainstIndicators(slice, met);
    for (int32_t key = 96010101; key <= 96011324; ++key)
      if (reference.IsExist(key)) {
        ASSERT_FLOAT_EQ(met.GetWindSpeed(key), reference.GetWindSpeed(key)) << key;
      }
  }
}

TEST(MeteoDataSurfaceTest, RealStationYears) {
  struct Case {
    const char* file;
    int hours, calm, missing, usable;  // -1: not published, the independent count decides
  } cases[] = {
      {"grid144/HOUSTON_ADJU.SFC", 8784, 1588, 370, 6826},
      {"disc36/LOVETT.SFC", 8784, -1, -1, -1},
  };
  for (const auto& c : cases) {
    const std::string file = test::FixtureFile(c.file);
    if (file.empty()) GTEST_SKIP() << "fixtures not present";
    TMeteoData met = Load(file);
    ASSERT_EQ(met.LoadPath(), TMeteoLoadPath::mlpSurfaceFile) << c.file;
    const TIndependentCount n = CheckAgainstIndicators(file, met);
    EXPECT_EQ(n.hours, c.hours) << c.file;
    if (c.calm >= 0) {
      EXPECT_EQ(n.calm, c.calm) << c.file;
      EXPECT_EQ(n.missing, c.missing) << c.file;
      EXPECT_EQ(n.usable, c.usable) << c.file;
    }
    EXPECT_EQ(met.TotalHourCount(), n.hours) << c.file;
    EXPECT_EQ(met.HourCount(), n.usable) << c.file;
    EXPECT_EQ(met.UsableHourCount(), n.usable) << c.file;
    EXPECT_EQ(met.CalmHourCount(), n.calm) << c.file;
    EXPECT_EQ(met.MissingHourCount(), n.missing) << c.file;
    EXPECT_EQ(met.NumYears(), 1) << c.file;
  }
}

}  // namespace
}  // namespace zorvik

namespace zorvik {
namespace {

// Hours of 1 January 1996 as the blank-separated layout writes them (27 tokens: 25 fields and two texts).
std::string Hour(int hour, const char* speed = "2.10", const char* month = "1") {
  return fmt::format(
      "96 {:>2} 1   1 {:>2}  -21.5  0.222 -9.000 -9.000 -999.  251.     54.1  0.1500   0.70   1.00 {:>7}   28.0"
      "    6.1  287.5    2.0     0   0.00   100.   997.    10 NAD-SFC NoSubs",
      month, hour, speed);
}

std::string SurfaceFile(const std::vector<std::string>& hours, const std::string& version = " 24142") {
  std::string h = "   29.967N   95.350W          UA_ID: 3937      SF_ID: 722430    OS_ID:              VERSION:";
  return Lines({h + version}) + Lines(hours);
}

struct TLoadFailure {
  std::string root, chain;
  int32_t line = 0;
};

TLoadFailure LoadFailure(const std::string& file) {
  TMeteoData met;
  met.SetAermodVersion(av_11103);
  try {
    met.LoadDataFromFile(file);
  } catch (const std::exception& e) {
    return {RootMessage(e), e.what(), met.LineNumber()};
  }
  ADD_FAILURE() << "no failure for " << file;
  return {};
}

TEST(MeteoDataBadInputTest, HeaderVersions) {
  TempDir dir;
  // Empty or blank version text: no layout.
  for (const std::string version : {"", "      "}) {
    const std::string file = dir.File("v.sfc");
    WriteAll(file, SurfaceFile({Hour(1)}, version));
    TLoadFailure f = LoadFailure(file);
    EXPECT_EQ(f.root, "unknown aermet sfc version :" + version);
    EXPECT_EQ(f.line, 1);
    EXPECT_NE(f.chain.find("EUnknownAermetVersion: unknown aermet sfc version :"), std::string::npos) << f.chain;
    EXPECT_NE(f.chain.find("TAERMET_SFC_Reader.ReadHeader(" + file + ", line 1)"), std::string::npos) << f.chain;
  }
  // A version text no member names: a later AERMET, read blank-separated.
  const std::string file = dir.File("later.sfc");
  WriteAll(file, SurfaceFile({Hour(1), Hour(2)}, "99999"));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.AermetVersion(), tav_11059);
  EXPECT_TRUE(met.IsExist(96010101));
  EXPECT_TRUE(met.IsExist(96010102));
}

TEST(MeteoDataBadInputTest, ImpossibleDateNamesFileAndLine) {
  TempDir dir;
  const std::string file = dir.File("date.sfc");
  WriteAll(file, SurfaceFile({Hour(1), Hour(2), Hour(3, "2.10", "13")}));
  TLoadFailure f = LoadFailure(file);
  EXPECT_EQ(f.root, "Impossible date in an hour record: year 96, month 13, day 1, hour 3");
  EXPECT_EQ(f.line, 4);
  EXPECT_NE(f.chain.find("TAermodSfc_Checker.ProcessRecord"), std::string::npos) << f.chain;
  EXPECT_NE(f.chain.find("TAERMET_SFC_Reader.ReadRecord(" + file + ", line 4)"), std::string::npos) << f.chain;

  WriteAll(file, SurfaceFile({Hour(0)}));  // hour 0
  EXPECT_EQ(LoadFailure(file).root, "Impossible date in an hour record: year 96, month 1, day 1, hour 0");
}

TEST(MeteoDataBadInputTest, TruncatedLastLineIsNeverUsableWithTheValuesOfTheLineBefore) {
  TempDir dir;
  const std::string file = dir.File("cut.sfc");
  const std::string full = Hour(3);
  WriteAll(file, SurfaceFile({Hour(1), Hour(2), full.substr(0, 40)}));  // ends inside the mixing heights
  TMeteoData met = Load(file);
  EXPECT_EQ(met.TotalHourCount(), 3);
  EXPECT_TRUE(met.IsExist(96010102));
  EXPECT_FALSE(met.IsExist(96010103));
  EXPECT_EQ(met.CalmHourCount(), 1);  // its wind speed is absent
  EXPECT_EQ(met.IncompleteLineCount(), 1);
  EXPECT_EQ(met.FirstIncompleteLine(), 4);
}

TEST(MeteoDataBadInputTest, EmptyLineStopsTheReadingOnlyAtTheEnd) {
  TempDir dir;
  const std::string file = dir.File("gap.sfc");
  // Blank lines after the last hour: the file simply ends there.
  WriteAll(file, SurfaceFile({Hour(1), Hour(2), "", "   "}));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.TotalHourCount(), 2);
  EXPECT_TRUE(met.IsExist(96010102));
  // An empty line with hours after it: those hours would be lost, so the load fails naming the line.
  WriteAll(file, SurfaceFile({Hour(1), "", Hour(2)}));
  EXPECT_EQ(LoadFailure(file).root, file + ", line 3: empty line; the hour lines after it cannot be read");
}

TEST(MeteoDataBadInputTest, RepeatedHeaderOfConcatenatedYearsIsSkipped) {
  TempDir dir;
  const std::string file = dir.File("two.sfc");
  WriteAll(file, SurfaceFile({Hour(1), kHeader24142, Hour(2)}));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.TotalHourCount(), 2);
  EXPECT_TRUE(met.IsExist(96010101));
  EXPECT_TRUE(met.IsExist(96010102));
}

TEST(MeteoDataBadInputTest, FixedColumnSurfaceLayoutWithoutFullHeader) {
  TempDir dir;
  const std::string file = dir.File("old.sfc");
  const std::string header = "   41.300N   74.000W          UA_ID: 14735     SF_ID: 14735     OS_ID: LOVETT";
  // Long layout lines: a good stable hour, a missing Monin-Obukhov length, a calm hour.
  const std::string good = FixedColumnLine(Hour(1), 25);
  const std::string missing = FixedColumnLine(
      "96  1  1   1  2  -21.5  0.222 -9.000 -9.000 -999.  251. -99999.0  0.1500   0.70   1.00    2.10   28.0"
      "    6.1  287.5    2.0     0   0.00   100.   997.    10",
      25);
  const std::string calm = FixedColumnLine(Hour(3, "0.00"), 25);
  WriteAll(file, Lines({header, good, missing, calm}));
  TMeteoData met = Load(file);
  EXPECT_EQ(met.LoadPath(), TMeteoLoadPath::mlpFixedColumnsSurface);
  EXPECT_EQ(met.TotalHourCount(), 3);
  EXPECT_TRUE(met.IsExist(96010101));
  EXPECT_DOUBLE_EQ(met.GetWindSpeed(96010101), 2.1f);
  EXPECT_FALSE(met.IsExist(96010102));
  EXPECT_FALSE(met.IsExist(96010103));
  EXPECT_EQ(met.MissingHourCount(), 1);
  EXPECT_EQ(met.CalmHourCount(), 1);
}

TEST(MeteoDataBadInputTest, BadHoursRowsAreKeptOnRequest) {
  TempDir dir;
  const std::string file = dir.File("bad.sfc");
  WriteAll(file, SurfaceFile({Hour(1, "0.00"), Hour(2), Hour(3, "999.00")}));
  TMeteoData met;
  met.SetAermodVersion(av_11103);
  met.SetKeepBadHours(true);
  met.LoadDataFromFile(file);
  ASSERT_EQ(met.BadHours().size(), 3u);
  EXPECT_EQ(met.BadHours()[0].substr(0, 28), "Error,year,month,day,j_day,h");
  EXPECT_EQ(met.BadHours()[1].substr(0, 15), "Calm,96,1,1,1,1");
  EXPECT_EQ(met.BadHours()[2].substr(0, 48), "Missing: (WSpeed >= 90) or (WSpeed < 0),96,1,1,1");
  met.SaveBadHours(dir.File("bad.csv"));
  const std::string saved = test::ReadAll(dir.File("bad.csv"));
  EXPECT_EQ(saved, met.BadHours()[0] + "\r\n" + met.BadHours()[1] + "\r\n" + met.BadHours()[2] + "\r\n");
}

}  // namespace
}  // namespace zorvik
